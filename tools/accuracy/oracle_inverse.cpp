// Inverses of erf, erfc and the normal distribution function: a long double starting value
// refined by Newton's method in MPFR, all in relative terms so that tiny arguments and tiny
// tails keep their precision.
#include <cmath>

#include "tools/accuracy/mp.h"
#include "tools/accuracy/oracle.h"

namespace nrx::accuracy {
namespace {

constexpr mpfr_rnd_t N = MPFR_RNDN;
constexpr long double kTwoOverSqrtPi = 1.1283791670955125738961589031215452L;

// y with erf(y) = x, for |x| <= 1/2.
long double erfinv_start(long double x) {
  long double y = x / kTwoOverSqrtPi;
  for (int i = 0; i < 8; ++i) y -= (erfl(y) - x) / (kTwoOverSqrtPi * expl(-y * y));
  return y;
}

// y >= 0 with erfc(y) = t, for 0 < t <= 1/2. Newton on log erfc(y) - log t, which is concave
// and decreasing: started above the root (erfc(y) <= exp(-y^2) puts sqrt(-log t) there) it
// descends onto the root without overshooting.
long double erfcinv_start(long double t) {
  const long double lt = logl(t);
  long double y = sqrtl(-lt);
  for (int i = 0; i < 200; ++i) {
    const long double e = erfcl(y);
    const long double step = (logl(e) - lt) * e / (kTwoOverSqrtPi * expl(-y * y));
    y += step;
    if (fabsl(step) <= 1e-19L * y) break;
  }
  return y;
}

// y with f(y) = target, f = erf (tail = false) or erfc: Newton's method from `start` at
// 32 bits above p, then rounded into out.
void solve(mpfr_ptr out, double target, long double start, bool tail, mpfr_prec_t p) {
  const mpfr_prec_t q = p + 32;
  Mp y(q), t(q, target), f(q), d(q), k(q);
  mpfr_set_ld(y, start, N);
  mpfr_const_pi(k, N);
  mpfr_rec_sqrt(k, k, N);
  mpfr_mul_2ui(k, k, 1, N);  // 2 / sqrt(pi)
  for (int i = 0; i < 40; ++i) {
    if (tail) mpfr_erfc(f, y, N);
    else mpfr_erf(f, y, N);
    mpfr_sub(f, f, t, N);
    mpfr_sqr(d, y, N);
    mpfr_neg(d, d, N);
    mpfr_exp(d, d, N);
    mpfr_mul(d, d, k, N);  // erf'(y) = -erfc'(y)
    mpfr_div(f, f, d, N);
    if (tail) mpfr_add(y, y, f, N);
    else mpfr_sub(y, y, f, N);
    if (mpfr_zero_p(f) || mpfr_get_exp(f) < mpfr_get_exp(y) - q + 4) break;
  }
  mpfr_set(out, y, N);
}

void erfinv_small(mpfr_ptr out, double x, mpfr_prec_t p) {
  if (x == 0) mpfr_set_d(out, x, N);
  else solve(out, x, erfinv_start(x), false, p);
}

void erfcinv_tail(mpfr_ptr out, double t, mpfr_prec_t p) { solve(out, t, erfcinv_start(t), true, p); }

void erfcinv_any(mpfr_ptr out, double t, mpfr_prec_t p) {
  if (std::isnan(t) || t < 0 || t > 2) {
    mpfr_set_nan(out);
  } else if (t == 0) {
    mpfr_set_inf(out, 1);
  } else if (t == 2) {
    mpfr_set_inf(out, -1);
  } else if (t >= 0.5 && t <= 1.5) {
    erfinv_small(out, 1 - t, p);  // exact subtraction (Sterbenz)
  } else if (t < 0.5) {
    erfcinv_tail(out, t, p);
  } else {
    erfcinv_tail(out, 2 - t, p);  // exact as well
    mpfr_neg(out, out, N);
  }
}

int erfinv_(mpfr_ptr* o, const double* in, const EvalCtx& c) {
  const double x = in[0];
  if (std::isnan(x) || std::fabs(x) > 1) {
    mpfr_set_nan(o[0]);
  } else if (std::fabs(x) == 1) {
    mpfr_set_inf(o[0], x < 0 ? -1 : 1);
  } else if (std::fabs(x) <= 0.5) {
    erfinv_small(o[0], x, c.wp);
  } else {
    erfcinv_tail(o[0], 1 - std::fabs(x), c.wp);
    if (x < 0) mpfr_neg(o[0], o[0], N);
  }
  return kRefExact;
}

int erfcinv_(mpfr_ptr* o, const double* in, const EvalCtx& c) {
  erfcinv_any(o[0], in[0], c.wp);
  if (mpfr_zero_p(o[0])) mpfr_set_zero(o[0], 1);
  return kRefExact;
}

// Phi^-1(p) = -sqrt(2) erfcinv(2p).
int cdfnorminv_(mpfr_ptr* o, const double* in, const EvalCtx& c) {
  const double p = in[0];
  if (std::isnan(p) || p < 0 || p > 1) {
    mpfr_set_nan(o[0]);
    return kRefExact;
  }
  const mpfr_prec_t q = c.wp + 16;
  Mp y(q), s(q);
  erfcinv_any(y, 2 * p, q);
  mpfr_sqrt_ui(s, 2, N);
  mpfr_mul(y, y, s, N);
  mpfr_neg(o[0], y, N);
  if (mpfr_zero_p(o[0])) mpfr_set_zero(o[0], 1);
  return kRefExact;
}

const Oracle kTable[] = {
    {"erfinv", erfinv_, nullptr},
    {"erfcinv", erfcinv_, nullptr},
    {"cdfnorminv", cdfnorminv_, nullptr},
};

}  // namespace

OracleTable inverse_oracles() { return {std::begin(kTable), std::end(kTable)}; }

}  // namespace nrx::accuracy
