// Real transcendental references: MPFR at the working precision.
#include <cmath>

#include "tools/accuracy/mp.h"
#include "tools/accuracy/oracle.h"

namespace nrx::accuracy {
namespace {

constexpr mpfr_rnd_t N = MPFR_RNDN;

#define NRX_UNARY(name, call)                                 \
  int name(mpfr_ptr* o, const double* in, const EvalCtx& c) { \
    Mp x(c.wp, in[0]);                                        \
    call;                                                     \
    return kRefExact;                                         \
  }
#define NRX_BINARY(name, call)                                \
  int name(mpfr_ptr* o, const double* in, const EvalCtx& c) { \
    Mp x(c.wp, in[0]), y(c.wp, in[2]);                        \
    call;                                                     \
    return kRefExact;                                         \
  }

NRX_UNARY(exp_, mpfr_exp(o[0], x, N))
NRX_UNARY(exp2_, mpfr_exp2(o[0], x, N))
NRX_UNARY(exp10_, mpfr_exp10(o[0], x, N))
NRX_UNARY(expm1_, mpfr_expm1(o[0], x, N))
NRX_UNARY(log_, mpfr_log(o[0], x, N))
NRX_UNARY(log2_, mpfr_log2(o[0], x, N))
NRX_UNARY(log10_, mpfr_log10(o[0], x, N))
NRX_UNARY(log1p_, mpfr_log1p(o[0], x, N))
NRX_UNARY(sqrt_, mpfr_sqrt(o[0], x, N))
NRX_UNARY(cbrt_, mpfr_cbrt(o[0], x, N))
NRX_UNARY(sin_, mpfr_sin(o[0], x, N))
NRX_UNARY(cos_, mpfr_cos(o[0], x, N))
NRX_UNARY(tan_, mpfr_tan(o[0], x, N))
NRX_UNARY(sinpi_, mpfr_sinpi(o[0], x, N))
NRX_UNARY(cospi_, mpfr_cospi(o[0], x, N))
NRX_UNARY(tanpi_, mpfr_tanpi(o[0], x, N))
NRX_UNARY(sind_, mpfr_sinu(o[0], x, 360, N))
NRX_UNARY(cosd_, mpfr_cosu(o[0], x, 360, N))
NRX_UNARY(tand_, mpfr_tanu(o[0], x, 360, N))
NRX_UNARY(asin_, mpfr_asin(o[0], x, N))
NRX_UNARY(acos_, mpfr_acos(o[0], x, N))
NRX_UNARY(atan_, mpfr_atan(o[0], x, N))
NRX_UNARY(asinpi_, mpfr_asinpi(o[0], x, N))
NRX_UNARY(acospi_, mpfr_acospi(o[0], x, N))
NRX_UNARY(atanpi_, mpfr_atanpi(o[0], x, N))
NRX_UNARY(sinh_, mpfr_sinh(o[0], x, N))
NRX_UNARY(cosh_, mpfr_cosh(o[0], x, N))
NRX_UNARY(tanh_, mpfr_tanh(o[0], x, N))
NRX_UNARY(asinh_, mpfr_asinh(o[0], x, N))
NRX_UNARY(acosh_, mpfr_acosh(o[0], x, N))
NRX_UNARY(atanh_, mpfr_atanh(o[0], x, N))
NRX_UNARY(erf_, mpfr_erf(o[0], x, N))
NRX_UNARY(tgamma_, mpfr_gamma(o[0], x, N))
NRX_UNARY(inv_, mpfr_ui_div(o[0], 1, x, N))
NRX_UNARY(sincos_, mpfr_sin_cos(o[0], o[1], x, N))
NRX_BINARY(pow_, mpfr_pow(o[0], x, y, N))
NRX_BINARY(atan2_, mpfr_atan2(o[0], x, y, N))
NRX_BINARY(atan2pi_, mpfr_atan2pi(o[0], x, y, N))
NRX_BINARY(hypot_, mpfr_hypot(o[0], x, y, N))
NRX_BINARY(div_, mpfr_div(o[0], x, y, N))

// Double Gamma of |x| below 2^-1019 is defined as the infinity of x's sign (code 3).
bool tgamma_alt(const double* in, const EvalCtx& c, double* out) {
  *out = std::copysign(INFINITY, in[0]);
  return c.f.p == 53 && in[0] != 0 && std::fabs(in[0]) < 0x1p-1019;
}

int lgamma_(mpfr_ptr* o, const double* in, const EvalCtx& c) {
  Mp x(c.wp, in[0]);
  int sign;
  mpfr_lgamma(o[0], &sign, x, N);
  return kRefExact;
}

// exp(y log x): NaN for any NaN argument (powr(+1, y) is 1 for finite y only), otherwise the
// IEEE powr cases as MPFR has them.
int powr_(mpfr_ptr* o, const double* in, const EvalCtx& c) {
  if (std::isnan(in[0]) || std::isnan(in[2])) {
    mpfr_set_nan(o[0]);
    return kRefExact;
  }
  Mp x(c.wp, in[0]), y(c.wp, in[2]);
  mpfr_powr(o[0], x, y, N);
  return kRefExact;
}

// 1/sqrt(x) with the signs of 1/sqrt: -0 gives -Inf.
int rec_sqrt_(mpfr_ptr* o, const double* in, const EvalCtx& c) {
  if (in[0] == 0) {
    mpfr_set_inf(o[0], std::signbit(in[0]) ? -1 : 1);
    return kRefExact;
  }
  Mp x(c.wp, in[0]);
  mpfr_rec_sqrt(o[0], x, N);
  return kRefExact;
}

int rec_cbrt_(mpfr_ptr* o, const double* in, const EvalCtx& c) {
  Mp x(c.wp, in[0]), t(c.wp + 16);
  mpfr_cbrt(t, x, N);
  mpfr_ui_div(o[0], 1, t, N);
  return kRefExact;
}

// x^(3/2) of the real square root: NaN for every negative x, -0 gives +0.
int pow3o2_(mpfr_ptr* o, const double* in, const EvalCtx& c) {
  if (in[0] < 0 || std::isnan(in[0])) {
    mpfr_set_nan(o[0]);
    return kRefExact;
  }
  Mp x(c.wp, std::fabs(in[0])), y(c.wp, 1.5);
  mpfr_pow(o[0], x, y, N);
  return kRefExact;
}

// x^(2/3) as the square of the real cube root, defined for negative x too.
int pow2o3_(mpfr_ptr* o, const double* in, const EvalCtx& c) {
  Mp x(c.wp, in[0]), t(c.wp + 16);
  mpfr_cbrt(t, x, N);
  mpfr_sqr(o[0], t, N);
  return kRefExact;
}

// E1(x) = -Ei(-x) for x > 0; the pole at 0 and NaN for negative arguments.
int eint1_(mpfr_ptr* o, const double* in, const EvalCtx& c) {
  const double x = in[0];
  if (std::isnan(x) || x < 0) {
    mpfr_set_nan(o[0]);
  } else if (x == 0) {
    mpfr_set_inf(o[0], 1);
  } else if (std::isinf(x)) {
    mpfr_set_zero(o[0], 1);
  } else {
    Mp m(c.wp, -x);
    mpfr_eint(o[0], m, N);
    mpfr_neg(o[0], o[0], N);
  }
  return kRefExact;
}

// The double kernels give +0 (with an underflow report) above 26.699372268345602, where erfc
// is below 2^-1034.
int erfc_(mpfr_ptr* o, const double* in, const EvalCtx& c) {
  if (c.f.p == kDouble.p && in[0] > 0x1.ab30a0f9c4611p+4) {
    mpfr_set_zero(o[0], 1);
    return kRefExact;
  }
  mpfr_erfc(o[0], Mp(c.wp, in[0]), N);
  return kRefExact;
}

// Phi(x) = erfc(-x / sqrt 2) / 2.
int cdfnorm_(mpfr_ptr* o, const double* in, const EvalCtx& c) {
  const mpfr_prec_t p = c.wp + 32;
  Mp x(p, in[0]), s(p);
  mpfr_sqrt_ui(s, 2, N);
  mpfr_div(s, x, s, N);
  mpfr_neg(s, s, N);
  mpfr_erfc(o[0], s, N);
  mpfr_div_2ui(o[0], o[0], 1, N);
  return kRefExact;
}

// Complex modulus and argument, complex to real.
int cabs_(mpfr_ptr* o, const double* in, const EvalCtx& c) {
  Mp x(c.wp, in[0]), y(c.wp, in[1]);
  mpfr_hypot(o[0], x, y, N);
  return kRefExact;
}

int arg_(mpfr_ptr* o, const double* in, const EvalCtx& c) {
  Mp x(c.wp, in[0]), y(c.wp, in[1]);
  mpfr_atan2(o[0], y, x, N);
  return kRefExact;
}

// cos x + i sin x, real to complex.
int cis_(mpfr_ptr* o, const double* in, const EvalCtx& c) {
  Mp x(c.wp, in[0]);
  mpfr_sin_cos(o[1], o[0], x, N);
  return kRefExact;
}

const Oracle kTable[] = {
    {"exp", exp_, nullptr},           {"exp2", exp2_, nullptr},     {"exp10", exp10_, nullptr},
    {"expm1", expm1_, nullptr},       {"log", log_, nullptr},       {"log2", log2_, nullptr},
    {"log10", log10_, nullptr},       {"log1p", log1p_, nullptr},   {"sqrt", sqrt_, nullptr},
    {"rec_sqrt", rec_sqrt_, nullptr}, {"cbrt", cbrt_, nullptr},     {"rec_cbrt", rec_cbrt_, nullptr},
    {"pow", pow_, nullptr},           {"powr", powr_, nullptr},     {"pow3o2", pow3o2_, nullptr},
    {"pow2o3", pow2o3_, nullptr},     {"sin", sin_, nullptr},       {"cos", cos_, nullptr},
    {"tan", tan_, nullptr},           {"sinpi", sinpi_, nullptr},   {"cospi", cospi_, nullptr},
    {"tanpi", tanpi_, nullptr},       {"sind", sind_, nullptr},     {"cosd", cosd_, nullptr},
    {"tand", tand_, nullptr},         {"asin", asin_, nullptr},     {"acos", acos_, nullptr},
    {"atan", atan_, nullptr},         {"asinpi", asinpi_, nullptr}, {"acospi", acospi_, nullptr},
    {"atanpi", atanpi_, nullptr},     {"atan2", atan2_, nullptr},   {"atan2pi", atan2pi_, nullptr},
    {"hypot", hypot_, nullptr},       {"sinh", sinh_, nullptr},     {"cosh", cosh_, nullptr},
    {"tanh", tanh_, nullptr},         {"asinh", asinh_, nullptr},   {"acosh", acosh_, nullptr},
    {"atanh", atanh_, nullptr},       {"erf", erf_, nullptr},       {"erfc", erfc_, nullptr},
    {"cdfnorm", cdfnorm_, nullptr},   {"lgamma", lgamma_, nullptr}, {"tgamma", tgamma_, tgamma_alt},
    {"eint1", eint1_, nullptr},       {"sincos", sincos_, nullptr}, {"div", div_, nullptr},
    {"inv", inv_, nullptr},           {"cabs", cabs_, nullptr},     {"arg", arg_, nullptr},
    {"cis", cis_, nullptr},
};

}  // namespace

OracleTable real_oracles() { return {std::begin(kTable), std::end(kTable)}; }

}  // namespace nrx::accuracy
