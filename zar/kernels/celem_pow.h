// Complex Pow (z^w) and Powx (z^b, one b for every element) as a per-element routine in x87
// extended precision:
//   w = 0                         1 + 0i for every z, NaN and infinities included;
//   z finite non-zero, w integer  binary powering for |w| <= 64, so real bases stay real;
//   otherwise                     e^(w ln z), with the Annex G values of exp and ln at their
//                                 special points and no 0 * inf products for a real w, so a
//                                 positive real base and a real exponent give a real result.
#pragma once
#include <cmath>

#include "zar/kernels/celem_log.h"
#include "zar/kernels/pow.h"

namespace nrx::zar {
namespace celem {

// e^(a + ib) with the special values of C99 Annex G for cexp.
inline cxl exp_of(ld a, ld b) {
  if (std::isfinite(a) && std::isfinite(b)) {
    if (b == 0) return {std::exp(a), b};
    const ld e = std::exp(a);
    ld s, c;
    sin_cos(b, s, c);
    return {e * c, e * s};
  }
  if (std::isinf(a)) {
    if (a < 0) {
      if (!std::isfinite(b)) return {0, 0};
      ld s, c;
      sin_cos(b, s, c);
      return {0 * c, 0 * s};
    }
    if (b == 0) return {a, b};
    if (!std::isfinite(b)) return {a, b - b};
    ld s, c;
    sin_cos(b, s, c);
    return {a * c, a * s};
  }
  if (std::isnan(a) && b == 0) return {a, b};
  return {a + b, a + b};
}

inline cxl mul(cxl p, cxl q) {
  return {p.real() * q.real() - p.imag() * q.imag(), p.real() * q.imag() + p.imag() * q.real()};
}

// p with its larger part scaled into [1, 2); k receives the power of two taken out.
inline cxl normalised(cxl p, int& k) {
  k = std::ilogb(std::max(std::fabs(p.real()), std::fabs(p.imag())));
  return {std::scalbn(p.real(), -k), std::scalbn(p.imag(), -k)};
}

// z^n for a finite non-zero z, |n| <= 64, as p 2^ep from base 2^eb: squarings and products of
// scaled values, so no intermediate leaves the range; the reciprocal by Smith's division.
inline cxl int_pow(cxl z, int n) {
  int eb, ep = 0, k;
  cxl base = normalised(z, eb), p = 1;
  for (unsigned m = unsigned(n < 0 ? -n : n);; m >>= 1) {
    if (m & 1) {
      p = normalised(mul(p, base), k);
      ep += eb + k;
    }
    if (m <= 1) break;
    base = normalised(mul(base, base), k);
    eb = 2 * eb + k;
  }
  if (n < 0) {
    const ld a = p.real(), b = p.imag();
    if (std::fabs(a) >= std::fabs(b)) {
      const ld r = b / a, d = a + b * r;
      p = {1 / d, -r / d};
    } else {
      const ld r = a / b, d = a * r + b;
      p = {r / d, -1 / d};
    }
    ep = -ep;
  }
  return {std::scalbn(p.real(), ep), std::scalbn(p.imag(), ep)};
}

inline cxl pow_of(cxl z, cxl w) {
  const ld x = z.real(), y = z.imag(), u = w.real(), v = w.imag();
  if (u == 0 && v == 0) return {1, 0};
  if (v == 0 && std::isfinite(u)) {
    if (u == std::trunc(u) && std::fabs(u) <= 64 && std::isfinite(x) && std::isfinite(y) && (x != 0 || y != 0))
      return int_pow(z, int(u));
  }
  const cxl l = log_of(z);
  if (v == 0) return exp_of(u * l.real(), std::isinf(l.real()) ? u * l.imag() : u * l.imag() + v * l.real());
  return exp_of(u * l.real() - v * l.imag(), u * l.imag() + v * l.real());
}

struct PowRoutine {
  static constexpr const char* kName = "Pow";
  static constexpr bool kOverflow = true;
  static cxl eval(cxl z, cxl w) { return pow_of(z, w); }
};
struct PowxRoutine {
  static constexpr const char* kName = "Powx";
  static constexpr bool kOverflow = true;
  static cxl eval(cxl z, cxl w) { return pow_of(z, w); }
};

}  // namespace celem

}  // namespace nrx::zar
