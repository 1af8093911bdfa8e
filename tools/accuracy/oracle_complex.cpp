// Complex references. Finite arguments with non-zero parts (any finite ones for Mul,
// MulByConj and Div): MPC, correctly rounded to the working precision. Arguments with an
// infinite, NaN or (for the analytic functions) zero part: the C library's long double
// complex functions, C99 Annex G; those are compared by the class of each part only.
#include <mpc.h>

#include <cmath>
#include <complex>

#include "tools/accuracy/mp.h"
#include "tools/accuracy/oracle.h"

namespace nrx::accuracy {
namespace {

using LC = std::complex<long double>;

// A complex argument with an infinite or NaN part, or (zero_too) a zero part.
bool special(const double* z, bool zero_too) {
  const auto part = [zero_too](double x) { return !std::isfinite(x) || (zero_too && x == 0); };
  return part(z[0]) || part(z[1]);
}

int annex_g(mpfr_ptr* o, LC r) {
  mpfr_set_ld(o[0], r.real(), MPFR_RNDN);
  mpfr_set_ld(o[1], r.imag(), MPFR_RNDN);
  return kRefAnnexG;
}

// An MPC number of the given precision, freed on every path.
struct Mc {
  mpc_t v;
  explicit Mc(mpfr_prec_t p) { mpc_init2(v, p); }
  Mc(mpfr_prec_t p, const double* z) : Mc(p) { mpc_set_d_d(v, z[0], z[1], MPC_RNDNN); }
  ~Mc() { mpc_clear(v); }
  Mc(const Mc&) = delete;
  Mc& operator=(const Mc&) = delete;
};

using Mpc1 = int (*)(mpc_ptr, mpc_srcptr, mpc_rnd_t);
using Mpc2 = int (*)(mpc_ptr, mpc_srcptr, mpc_srcptr, mpc_rnd_t);
using Glibc = LC (*)(LC a, LC b);

int mpc_mul_conj(mpc_ptr r, mpc_srcptr a, mpc_srcptr b, mpc_rnd_t rnd) {
  Mc c(mpfr_get_prec(mpc_realref(b)));
  mpc_conj(c.v, b, MPC_RNDNN);  // exact
  return mpc_mul(r, a, c.v, rnd);
}

// One complex function: the Annex G reference for special arguments, else MPC's result.
int complex_fn(mpfr_ptr* o, const double* in, const EvalCtx& c, bool zero_special, Mpc1 f1, Mpc2 f2, Glibc lib) {
  const bool two = f2 != nullptr;
  const bool sp = special(in, zero_special) || (two && (special(in + 2, false) || (in[2] == 0 && in[3] == 0)));
  if (sp) return annex_g(o, lib(LC(in[0], in[1]), LC(in[2], in[3])));
  Mc a(53, in), r(c.wp);
  if (two) {
    Mc b(53, in + 2);
    f2(r.v, a.v, b.v, MPC_RNDNN);
  } else {
    f1(r.v, a.v, MPC_RNDNN);
  }
  mpfr_set(o[0], mpc_realref(r.v), MPFR_RNDN);
  mpfr_set(o[1], mpc_imagref(r.v), MPFR_RNDN);
  return kRefExact;
}

LC g_exp(LC a, LC) { return std::exp(a); }
LC g_log(LC a, LC) { return std::log(a); }
LC g_log10(LC a, LC) { return std::log10(a); }
LC g_sqrt(LC a, LC) { return std::sqrt(a); }
LC g_sin(LC a, LC) { return std::sin(a); }
LC g_cos(LC a, LC) { return std::cos(a); }
LC g_tan(LC a, LC) { return std::tan(a); }
LC g_sinh(LC a, LC) { return std::sinh(a); }
LC g_cosh(LC a, LC) { return std::cosh(a); }
LC g_tanh(LC a, LC) { return std::tanh(a); }
LC g_asin(LC a, LC) { return std::asin(a); }
LC g_acos(LC a, LC) { return std::acos(a); }
LC g_atan(LC a, LC) { return std::atan(a); }
LC g_asinh(LC a, LC) { return std::asinh(a); }
LC g_acosh(LC a, LC) { return std::acosh(a); }
LC g_atanh(LC a, LC) { return std::atanh(a); }
LC g_pow(LC a, LC b) { return std::pow(a, b); }
LC g_mul(LC a, LC b) { return a * b; }
LC g_mulbyconj(LC a, LC b) { return a * std::conj(b); }
LC g_div(LC a, LC b) { return a / b; }

// zero: a zero part is special too (analytic functions: their signed zeros on the axes
// follow Annex G, which the C library reference gives).
template <bool zero, Mpc1 f, Glibc lib> int zf(mpfr_ptr* o, const double* in, const EvalCtx& c) {
  return complex_fn(o, in, c, zero, f, nullptr, lib);
}
template <bool zero, Mpc2 f, Glibc lib> int zf2(mpfr_ptr* o, const double* in, const EvalCtx& c) {
  return complex_fn(o, in, c, zero, nullptr, f, lib);
}

const Oracle kTable[] = {
    {"zexp", zf<true, mpc_exp, g_exp>, nullptr},
    {"zlog", zf<true, mpc_log, g_log>, nullptr},
    {"zlog10", zf<true, mpc_log10, g_log10>, nullptr},
    {"zsqrt", zf<true, mpc_sqrt, g_sqrt>, nullptr},
    {"zsin", zf<true, mpc_sin, g_sin>, nullptr},
    {"zcos", zf<true, mpc_cos, g_cos>, nullptr},
    {"ztan", zf<true, mpc_tan, g_tan>, nullptr},
    {"zsinh", zf<true, mpc_sinh, g_sinh>, nullptr},
    {"zcosh", zf<true, mpc_cosh, g_cosh>, nullptr},
    {"ztanh", zf<true, mpc_tanh, g_tanh>, nullptr},
    {"zasin", zf<true, mpc_asin, g_asin>, nullptr},
    {"zacos", zf<true, mpc_acos, g_acos>, nullptr},
    {"zatan", zf<true, mpc_atan, g_atan>, nullptr},
    {"zasinh", zf<true, mpc_asinh, g_asinh>, nullptr},
    {"zacosh", zf<true, mpc_acosh, g_acosh>, nullptr},
    {"zatanh", zf<true, mpc_atanh, g_atanh>, nullptr},
    {"zpow", zf2<true, mpc_pow, g_pow>, nullptr},
    {"zmul", zf2<false, mpc_mul, g_mul>, nullptr},
    {"zmulbyconj", zf2<false, mpc_mul_conj, g_mulbyconj>, nullptr},
    {"zdiv", zf2<false, mpc_div, g_div>, nullptr},
};

}  // namespace

OracleTable complex_oracles() { return {std::begin(kTable), std::end(kTable)}; }

}  // namespace nrx::accuracy
