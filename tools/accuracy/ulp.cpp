#include "tools/accuracy/ulp.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace nrx::accuracy {

const char* mismatch_name(Mismatch m) {
  switch (m) {
    case Mismatch::none: return "none";
    case Mismatch::nan: return "nan";
    case Mismatch::inf: return "inf";
    case Mismatch::zero_sign: return "zero-sign";
    case Mismatch::inexact: return "not-correctly-rounded";
    case Mismatch::stray: return "stray-write";
    case Mismatch::annex_g: return "annex-g";
  }
  return "?";
}

int round_to(mpfr_ptr y, mpfr_srcptr x, Format f) {
  // Round to p bits in the full exponent range first, then let MPFR apply the format's
  // range: check_range handles overflow and underflow, subnormalize uses the ternary value
  // so that the second rounding into the subnormal range is not a double rounding.
  int inex = mpfr_set(y, x, MPFR_RNDN);
  const mpfr_exp_t old_emin = mpfr_get_emin(), old_emax = mpfr_get_emax();
  mpfr_set_emin(f.emin);
  mpfr_set_emax(f.emax);
  inex = mpfr_check_range(y, inex, MPFR_RNDN);
  inex = mpfr_subnormalize(y, inex, MPFR_RNDN);
  mpfr_set_emin(old_emin);
  mpfr_set_emax(old_emax);
  return inex;
}

double rounded(mpfr_srcptr x, Format f) {
  mpfr_t y;
  mpfr_init2(y, f.p);
  round_to(y, x, f);
  const double d = mpfr_get_d(y, MPFR_RNDN);
  mpfr_clear(y);
  return d;
}

long ulp_exponent(mpfr_srcptr x, Format f) {
  const long lo = f.emin + f.p - 1;  // exponent of the smallest normal value
  long e;
  if (mpfr_zero_p(x) || mpfr_nan_p(x)) e = lo;
  else if (mpfr_inf_p(x)) e = f.emax;
  else e = std::clamp<long>(mpfr_get_exp(x), lo, f.emax);
  return e - f.p;
}

double ulp_error(double got, mpfr_srcptr exact, mpfr_srcptr unit, Format f) {
  if (std::isnan(got) || mpfr_nan_p(exact)) return NAN;
  if (mpfr_inf_p(exact)) {
    const bool same = std::isinf(got) && (got < 0) == (mpfr_sgn(exact) < 0);
    return same ? 0.0 : INFINITY;
  }
  mpfr_t g, d;
  mpfr_init2(g, 64);
  mpfr_init2(d, std::max<mpfr_prec_t>(mpfr_get_prec(exact), 64) + 64);
  if (std::isinf(got)) mpfr_set_si_2exp(g, got < 0 ? -1 : 1, f.emax, MPFR_RNDN);
  else mpfr_set_d(g, got, MPFR_RNDN);
  mpfr_sub(d, g, exact, MPFR_RNDN);
  mpfr_abs(d, d, MPFR_RNDN);
  mpfr_mul_2si(d, d, -ulp_exponent(unit, f), MPFR_RNDN);
  const double u = mpfr_get_d(d, MPFR_RNDU);
  mpfr_clear(g);
  mpfr_clear(d);
  return u;
}

static uint64_t bits(double x) {
  uint64_t u;
  std::memcpy(&u, &x, sizeof u);
  return u;
}

Check compare(double got, mpfr_srcptr exact, mpfr_srcptr unit, Format f, const CompareOptions& o) {
  const bool en = mpfr_nan_p(exact), gn = std::isnan(got);
  if (en || gn) return en && gn ? Check{0, Mismatch::none} : Check{NAN, Mismatch::nan};
  const double want = rounded(exact, f);
  if (mpfr_inf_p(exact)) {
    const bool ok = got == want || (!o.overflow_sign && std::isinf(got));
    return ok ? Check{0, Mismatch::none} : Check{NAN, Mismatch::inf};
  }
  if (std::isinf(got) && std::isinf(want) && got != want)
    return o.overflow_sign ? Check{NAN, Mismatch::inf} : Check{0, Mismatch::none};

  Check c;
  // An infinity where the exact value overflows the format is the correctly rounded result.
  c.ulp = std::isinf(got) && got == want ? 0.0 : ulp_error(got, exact, unit, f);
  const double min_normal = std::ldexp(1.0, f.emin + f.p - 2);
  // Flushing: a kernel may flush results and intermediate values below the normal range, or
  // pass a subnormal input through a selection or sign operation untouched.
  const bool flushed = o.flush && std::fabs(got - want) < min_normal;
  if (flushed) c.ulp = 0;
  const bool alt = o.also && bits(got) == bits(*o.also);
  if (alt) c.ulp = 0;
  if (o.signed_zero && got == 0 && want == 0 && std::signbit(got) != std::signbit(want) && !alt)
    c.kind = Mismatch::zero_sign;
  else if (o.correctly_rounded && bits(got) != bits(want) && !flushed && !alt) c.kind = Mismatch::inexact;
  return c;
}

}  // namespace nrx::accuracy
