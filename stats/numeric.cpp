// Exported scalar routines of the summary statistics: floor, square root, a
// table-driven logarithm, log-gamma and the chi-square distribution functions.
#include "stats/numeric.h"

#include <bit>
#include <cmath>
#include <cstdint>

#include "common/vm_mode.h"
#include "nrx/stats.h"
#include "nrx/zar_functions.h"

namespace nrx::stats {
namespace {

constexpr double kEps = 9.999999999999999e-16;      // convergence of the series and fractions
constexpr double kBig = 4503599627185248.0;         // rescaling threshold, 2^52 - 2^20 - ...
constexpr double kBigInv = 2.2204460491251566e-16;  // 2^-52
constexpr double kMaxLog = 709.7827129;             // below -kMaxLog e^t underflows
constexpr double kLnNaN = -744.4400719213812;       // ln of the least subnormal double

// 1/c and -ln(1/c) for the 128 buckets of the leading mantissa bits. Buckets
// 0..63 take c at their left end in [1, 1.5); buckets 64..127 are halved into
// [0.75, 1) with c at their right end, so x near 1 meets c = 1 from both sides.
struct LnTable {
  double inv[128], neg_ln_inv[128];
  LnTable() {
    for (int i = 0; i < 128; ++i) {
      const long double c = i < 64 ? 1.0L + i / 128.0L : (1.0L + (i + 1) / 128.0L) / 2.0L;
      inv[i] = double(1.0L / c);
      neg_ln_inv[i] = double(-logl(static_cast<long double>(inv[i])));
    }
  }
};

const LnTable& ln_table() {
  static const LnTable t;
  return t;
}

template <class T> struct LnTraits;
template <> struct LnTraits<double> { static constexpr double kInvalid = kLnNaN; };
template <> struct LnTraits<float> {
  static constexpr double kInvalid = -103.27892990343185;  // ln of the least subnormal float
};

// One logarithm in double for both precisions; the float twin rounds the result.
template <class T> T table_ln(T xt) {
  double x = double(xt);
  if (!(x > 0.0) || std::isinf(x)) return T(LnTraits<T>::kInvalid);
  int64_t e = 0;
  uint64_t bits = std::bit_cast<uint64_t>(x);
  if ((bits >> 52) == 0) {  // subnormal: scale by 2^52 first
    x *= 0x1p52;
    bits = std::bit_cast<uint64_t>(x);
    e = -52;
  }
  e += int64_t(bits >> 52) - 1023;
  const int i = int((bits >> 45) & 127);
  double m = std::bit_cast<double>((bits & 0x000FFFFFFFFFFFFFull) | 0x3FF0000000000000ull);
  if (i >= 64) {
    m *= 0.5;
    e += 1;
  }
  const LnTable& t = ln_table();
  const double r = std::fma(m, t.inv[i], -1.0);
  // log1p(r) for |r| < 2^-7: Taylor to degree 10 (next term below 2^-70).
  double s = -1.0 / 10;
  for (int k = 9; k >= 2; --k) s = s * r + (k % 2 ? 1.0 : -1.0) / k;
  const double log1p_r = r + r * r * s;
  constexpr double ln2_hi = 0x1.62e42fefa3800p-1, ln2_lo = 0x1.ef35793c76730p-45;
  const double ed = double(e);
  return T(ed * ln2_hi + (t.neg_ln_inv[i] + (ed * ln2_lo + log1p_r)));
}

double vm1(nrx_zar_v1_d_fn* table, int slot, double x) {
  const common::VmModeGuard mode(common::kInternalMode);
  double r;
  table[slot](1, &x, &r);
  return r;
}

// a ln y - y - lnGamma(a): the log of the common factor of both ratios.
double gamma_log_factor(double a, double y) { return a * vm_ln(y) - y - ln_gamma(a); }

double gamma_series(double a, double y) {
  const double t = gamma_log_factor(a, y);
  if (t < -kMaxLog) return 0.0;
  double r = a, c = 1.0, s = 1.0;
  do {
    r += 1.0;
    c *= y / r;
    s += c;
  } while (c / s > kEps);
  return s * vm_exp(t) / a;
}

double gamma_fraction(double a, double y) {
  const double t = gamma_log_factor(a, y);
  if (t < -kMaxLog) return 0.0;
  double u = 1.0 - a, z = y + u + 1.0, c = 0.0;
  double p2 = 1.0, q2 = y, p1 = y + 1.0, q1 = z * y;
  double r = p1 / q1, change;
  do {
    c += 1.0;
    u += 1.0;
    z += 2.0;
    const double k = u * c;
    const double p = p1 * z - p2 * k, q = q1 * z - q2 * k;
    if (q != 0.0) {
      const double rn = p / q;
      change = std::fabs((r - rn) / rn);
      r = rn;
    } else {
      change = 1.0;
    }
    p2 = p1;
    q2 = q1;
    p1 = p;
    q1 = q;
    if (std::fabs(p) > kBig) {
      p2 *= kBigInv;
      q2 *= kBigInv;
      p1 *= kBigInv;
      q1 *= kBigInv;
    }
  } while (change > kEps);
  return r * vm_exp(t);
}

}  // namespace

double ln_gamma(double x) {
  int sign = 1;
  return lgamma_r(x, &sign);
}
double vm_ln(double x) { return vm1(nrx_zar_kernel_dLn_ttab, 1, x); }
double vm_exp(double x) { return vm1(nrx_zar_kernel_dExp_ttab, 1, x); }

double gamma_p(double a, double y) {
  if (y <= 0.0 || a <= 0.0) return 0.0;
  if (y > 1.0 && y > a) return 1.0 - gamma_fraction(a, y);
  return gamma_series(a, y);
}

double gamma_q(double a, double y) {
  if (y <= 0.0 || a <= 0.0) return 1.0;
  if (y < 1.0 || y < a) return 1.0 - gamma_series(a, y);
  return gamma_fraction(a, y);
}

double chi2_cdf(double k, double x) { return gamma_p(k / 2, x / 2); }

double chi2_icdf(double k, double q) {
  if (std::isnan(q) || std::isnan(k) || k <= 0.0) return NAN;
  if (q <= 0.0) return 0.0;
  if (q >= 1.0) return INFINITY;
  const double a = k / 2, qc = 1.0 - q, lga = ln_gamma(a);
  const double t = 0.1111111111111111 / a;  // 1 / (9 a)
  const double e = vm1(nrx_zar_kernel_dErfInv_ttab, 1, 1.0 - q), st = vm1(nrx_zar_kernel_dSqrt_ttab, 1, t);
  const double w = 1.0 - t - st * e;
  double x = a * w * w * w;
  double lo = 0.0, hi = kBig;
  bool converged = false;
  for (int it = 0; it < 10; ++it) {
    if (!(x > lo && x < hi)) break;
    const double y = gamma_q(a, x);
    if (y < qc) hi = x;
    else lo = x;
    const double d = (a - 1.0) * vm_ln(x) - x - lga;
    if (d < -kMaxLog) break;
    const double step = (y - qc) / -vm_exp(d);
    if (std::fabs(step / x) < kEps) {
      converged = true;
      break;
    }
    x -= step;
  }
  if (converged) return 2.0 * x;
  // Bracketing search: find an upper end by growing x, then bisect.
  if (hi == kBig) {
    double f = 0.0625;
    x = x > lo ? x : (lo > 0.0 ? lo : 1.0);
    while (gamma_q(a, x) >= qc) {
      lo = x;
      x *= 1.0 + f;
      f *= 2.0;
    }
    hi = x;
  }
  while (hi - lo > 5.0 * kEps * hi) {
    const double mid = 0.5 * (lo + hi);
    if (mid <= lo || mid >= hi) break;
    if (gamma_q(a, mid) < qc) hi = mid;
    else lo = mid;
  }
  return 2.0 * (0.5 * (lo + hi));
}

}  // namespace nrx::stats

using namespace nrx::stats;

extern "C" {

NRX_SS_API double _drudChi2CDF(int32_t k, double x) { return chi2_cdf(double(k), x); }

NRX_SS_API double _drudChi2PDF(int32_t k, double x) {
  if (!(x > 0.0) || k <= 0) return 0.0;
  const double a = 0.5 * k;
  const double c = std::bit_cast<double>(uint64_t(0x3FE62E42FEFFBB3Bull));  // 0.6931471805999999, not ln 2
  const double lx = vm_ln(x);
  return vm_exp(a * (lx - c) - (lx + x / 2 + ln_gamma(a)));
}

NRX_SS_API double _drudChi2ICDF(int32_t k, double q) { return chi2_icdf(double(k), q); }

NRX_SS_API double _drudFloor(double x) { return std::floor(x); }
NRX_SS_API double _drudSqrt(double x) { return std::sqrt(x); }
NRX_SS_API double _drudLn(double x) { return table_ln(x); }
NRX_SS_API float _drusLn(float x) { return table_ln(x); }
NRX_SS_API double _drudLGamma(double x) { return ln_gamma(x); }

}  // extern "C"
