// Complex references. Finite arguments with non-zero parts: closed forms over real MPFR
// operations at a working precision raised by the arguments' exponent spread, so that the
// cancellations of the inverse functions do not reach the rounded result. Arguments with an
// infinite, NaN or (for the analytic functions) zero part: the C library's long double
// complex functions, C99 Annex G; those are compared by the class of each part only.
#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdlib>
#include <utility>

#include "tools/accuracy/mp.h"
#include "tools/accuracy/oracle.h"

namespace nrx::accuracy {
namespace {

constexpr mpfr_rnd_t N = MPFR_RNDN;
using LC = std::complex<long double>;

struct Cx {
  Mp re, im;
  explicit Cx(mpfr_prec_t p) : re(p), im(p) {}
  Cx(mpfr_prec_t p, double a, double b) : re(p, a), im(p, b) {}
};

// A complex argument with an infinite or NaN part, or (zero_too) a zero part.
bool special(const double* z, bool zero_too) {
  const auto part = [zero_too](double x) { return !std::isfinite(x) || (zero_too && x == 0); };
  return part(z[0]) || part(z[1]);
}

// One MPFR operation on the real parts, then on the imaginary parts: a complex
// argument stands for its part, any other argument (a real, a shift) is passed as it is.
mpfr_ptr part(Cx& c, bool imag) { return imag ? c.im.get() : c.re.get(); }
template <class T> T&& part(T&& x, bool) { return std::forward<T>(x); }
template <class F, class... A> void parts(F f, Cx& r, A&&... a) {
  f(r.re, part(a, false)..., N);
  f(r.im, part(a, true)..., N);
}

// Working precision for the inverse functions: grows with the exponents of the arguments.
mpfr_prec_t spread_precision(mpfr_prec_t wp, std::initializer_list<double> xs) {
  int e = 0;
  for (double x : xs)
    if (x != 0 && std::isfinite(x)) e = std::max(e, std::abs(std::ilogb(x)));
  return std::min<mpfr_prec_t>(wp + 2 * e + 64, 20000);
}

int annex_g(mpfr_ptr* o, LC r) {
  mpfr_set_ld(o[0], r.real(), N);
  mpfr_set_ld(o[1], r.imag(), N);
  return kRefAnnexG;
}

void store(mpfr_ptr* o, Cx& r) {
  mpfr_set(o[0], r.re, N);
  mpfr_set(o[1], r.im, N);
}

// e^z at precision p: e^x (cos y + i sin y).
void c_exp(Cx& r, Cx& z, mpfr_prec_t p) {
  Mp e(p), s(p), k(p);
  mpfr_exp(e, z.re, N);
  mpfr_sin_cos(s, k, z.im, N);
  mpfr_mul(r.re, e, k, N);
  mpfr_mul(r.im, e, s, N);
}

// x^2 + y^2 exactly.
void exact_norm(mpfr_ptr s, mpfr_srcptr x, mpfr_srcptr y) {
  long span = 0;
  if (!mpfr_zero_p(x) && !mpfr_zero_p(y)) span = 2 * std::labs(long(mpfr_get_exp(x)) - long(mpfr_get_exp(y)));
  const mpfr_prec_t q = 2 * std::max(mpfr_get_prec(x), mpfr_get_prec(y)) + 4;
  Mp xx(q), yy(q);
  mpfr_sqr(xx, x, N);
  mpfr_sqr(yy, y, N);
  mpfr_set_prec(s, q + span + 4);
  mpfr_add(s, xx, yy, N);
}

void c_log(Cx& r, Cx& z) {
  const mpfr_prec_t p = mpfr_get_prec(r.re);
  Mp s(p);
  exact_norm(s, z.re, z.im);
  mpfr_log(r.re, s, N);
  mpfr_div_2ui(r.re, r.re, 1, N);
  mpfr_atan2(r.im, z.im, z.re, N);
}

// Principal square root, for any signs and zeros of the parts.
void c_sqrt(Cx& r, Cx& z) {
  const mpfr_prec_t p = mpfr_get_prec(r.re) + 16;
  Mp m(p), t(p);
  mpfr_hypot(m, z.re, z.im, N);
  if (mpfr_sgn(z.re) >= 0) {
    mpfr_add(t, m, z.re, N);
    mpfr_div_2ui(t, t, 1, N);
    mpfr_sqrt(r.re, t, N);
    if (mpfr_zero_p(r.re)) {
      mpfr_set(r.im, z.im, N);
    } else {
      mpfr_div(r.im, z.im, r.re, N);
      mpfr_div_2ui(r.im, r.im, 1, N);
    }
  } else {
    mpfr_sub(t, m, z.re, N);
    mpfr_div_2ui(t, t, 1, N);
    mpfr_sqrt(t, t, N);
    mpfr_setsign(r.im, t, mpfr_signbit(z.im), N);
    mpfr_abs(r.re, z.im, N);
    mpfr_div(r.re, r.re, t, N);
    mpfr_div_2ui(r.re, r.re, 1, N);
  }
}

void c_mul(Cx& r, Cx& a, Cx& b) {
  const mpfr_prec_t p = mpfr_get_prec(r.re) + 16;
  Mp t(p), u(p);
  mpfr_mul(t, a.re, b.re, N);
  mpfr_mul(u, a.im, b.im, N);
  Mp re(p);
  mpfr_sub(re, t, u, N);
  mpfr_mul(t, a.re, b.im, N);
  mpfr_mul(u, a.im, b.re, N);
  mpfr_add(r.im, t, u, N);
  mpfr_set(r.re, re, N);
}

// asinh z = log(z + sqrt(z^2 + 1)) for Re z >= 0, odd.
void c_asinh(Cx& r, Cx& z0) {
  const mpfr_prec_t p = mpfr_get_prec(r.re);
  const bool flip = mpfr_sgn(z0.re) < 0;
  Cx z(p), w(p), s(p);
  parts(flip ? mpfr_neg : mpfr_set, z, z0);
  c_mul(w, z, z);
  mpfr_add_ui(w.re, w.re, 1, N);
  c_sqrt(s, w);
  parts(mpfr_add, s, s, z);
  c_log(r, s);
  if (flip) parts(mpfr_neg, r, r);
}

// acosh z = log(z + sqrt(z + 1) sqrt(z - 1)).
void c_acosh(Cx& r, Cx& z) {
  const mpfr_prec_t p = mpfr_get_prec(r.re);
  Cx a(p), b(p), sa(p), sb(p), w(p);
  mpfr_add_ui(a.re, z.re, 1, N);
  mpfr_set(a.im, z.im, N);
  mpfr_sub_ui(b.re, z.re, 1, N);
  mpfr_set(b.im, z.im, N);
  c_sqrt(sa, a);
  c_sqrt(sb, b);
  c_mul(w, sa, sb);
  parts(mpfr_add, w, w, z);
  c_log(r, w);
}

// atanh z = (log(1 + z) - log(1 - z)) / 2.
void c_atanh(Cx& r, Cx& z) {
  const mpfr_prec_t p = mpfr_get_prec(r.re);
  Cx a(p), b(p), la(p), lb(p);
  mpfr_add_ui(a.re, z.re, 1, N);
  mpfr_set(a.im, z.im, N);
  mpfr_ui_sub(b.re, 1, z.re, N);
  mpfr_neg(b.im, z.im, N);
  c_log(la, a);
  c_log(lb, b);
  parts(mpfr_sub, r, la, lb);
  parts(mpfr_div_2ui, r, r, 1ul);
}

// f(i z) = i g(z) style rotations: returns (B, -A) for the result (A, B) of f at (-y, x).
template <class F>
void rotated(Cx& r, Cx& z, F f) {
  const mpfr_prec_t p = mpfr_get_prec(r.re);
  Cx iz(p), t(p);
  mpfr_neg(iz.re, z.im, N);
  mpfr_set(iz.im, z.re, N);
  f(t, iz);
  mpfr_set(r.re, t.im, N);
  mpfr_neg(r.im, t.re, N);
}

using Closed = void (*)(Cx& r, Cx& z, const double* in);
using Glibc = LC (*)(LC a, LC b);

// One complex function: the Annex G reference for special arguments, else the closed form.
int complex_fn(mpfr_ptr* o, const double* in, const EvalCtx& c, bool two_args, bool zero_special,
               bool spread, Closed closed, Glibc lib) {
  const bool sp = special(in, zero_special) || (two_args && (special(in + 2, false) || (in[2] == 0 && in[3] == 0)));
  if (sp) return annex_g(o, lib(LC(in[0], in[1]), LC(in[2], in[3])));
  const mpfr_prec_t p = spread ? spread_precision(c.wp, {in[0], in[1], in[0] - 1, in[0] + 1, in[1] - 1, in[1] + 1})
                               : c.wp + 32;
  Cx z(p, in[0], in[1]), r(p);
  closed(r, z, in);
  store(o, r);
  return kRefExact;
}

// The closed forms, z the first argument, in[] the raw inputs (second argument at in[2]).
void f_exp(Cx& r, Cx& z, const double*) { c_exp(r, z, mpfr_get_prec(r.re)); }
void f_log(Cx& r, Cx& z, const double*) { c_log(r, z); }
void f_log10(Cx& r, Cx& z, const double*) {
  Mp l(mpfr_get_prec(r.re));
  c_log(r, z);
  mpfr_set_ui(l, 10, N);
  mpfr_log(l, l, N);
  parts(mpfr_div, r, r, l);
}
void f_sqrt(Cx& r, Cx& z, const double*) { c_sqrt(r, z); }

// sin, cos, sinh and cosh of x + iy: f(x) e(y) + i f'(x) o(y), where (o, e) is (sinh, cosh)
// for the circular f and (sin, cos) for the hyperbolic f. `hyp` picks the kind of f, `even`
// cos or cosh over sin or sinh.
template <bool hyp, bool even>
void f_trig(Cx& r, Cx& z, const double*) {
  const mpfr_prec_t p = mpfr_get_prec(r.re);
  Mp fo(p), fe(p), o(p), e(p);  // odd and even functions of x of f's kind, of y of the other
  if (hyp) {
    mpfr_sinh_cosh(fo, fe, z.re, N);
    mpfr_sin_cos(o, e, z.im, N);
  } else {
    mpfr_sin_cos(fo, fe, z.re, N);
    mpfr_sinh_cosh(o, e, z.im, N);
  }
  mpfr_mul(r.re, even ? fe : fo, e, N);
  mpfr_mul(r.im, even ? fo : fe, o, N);
  if (even && !hyp) mpfr_neg(r.im, r.im, N);  // cos' = -sin
}
// tan(x+iy) = (sin x cos x sech^2 y + i tanh y) / (cos^2 x sech^2 y + tanh^2 y): sums of
// squares only, and no overflow for large |y| (where the result tends to +-i).
void f_tan(Cx& r, Cx& z, const double*) {
  const mpfr_prec_t p = mpfr_get_prec(r.re);
  Mp s(p), k(p), t(p), h(p), d(p), u(p);
  mpfr_sin_cos(s, k, z.re, N);
  mpfr_tanh(t, z.im, N);
  mpfr_sech(h, z.im, N);
  mpfr_sqr(h, h, N);          // sech^2 y
  mpfr_sqr(d, k, N);
  mpfr_mul(d, d, h, N);
  mpfr_sqr(u, t, N);
  mpfr_add(d, d, u, N);       // cos^2 x sech^2 y + tanh^2 y
  mpfr_mul(r.re, s, k, N);
  mpfr_mul(r.re, r.re, h, N);
  mpfr_div(r.re, r.re, d, N);
  mpfr_div(r.im, t, d, N);
}
// tanh z = -i tan(iz).
void f_tanh(Cx& r, Cx& z, const double*) {
  rotated(r, z, [](Cx& a, Cx& b) { f_tan(a, b, nullptr); });
}
void f_asinh(Cx& r, Cx& z, const double*) { c_asinh(r, z); }
void f_acosh(Cx& r, Cx& z, const double*) { c_acosh(r, z); }
void f_atanh(Cx& r, Cx& z, const double*) { c_atanh(r, z); }
void f_asin(Cx& r, Cx& z, const double*) { rotated(r, z, c_asinh); }
void f_atan(Cx& r, Cx& z, const double*) { rotated(r, z, c_atanh); }
// acos z = pi/2 - asin z.
void f_acos(Cx& r, Cx& z, const double*) {
  const mpfr_prec_t p = mpfr_get_prec(r.re);
  Cx t(p);
  Mp h(p);
  rotated(t, z, c_asinh);
  mpfr_const_pi(h, N);
  mpfr_div_2ui(h, h, 1, N);
  mpfr_sub(r.re, h, t.re, N);
  mpfr_neg(r.im, t.im, N);
}
// a^b = exp(b log a).
void f_pow(Cx& r, Cx& z, const double* in) {
  const mpfr_prec_t p = mpfr_get_prec(r.re) + 64;
  Cx l(p), b(p, in[2], in[3]), e(p);
  c_log(l, z);
  c_mul(e, b, l);
  c_exp(r, e, p);
}
void f_mul(Cx& r, Cx& z, const double* in) {
  Cx b(mpfr_get_prec(r.re), in[2], in[3]);
  c_mul(r, z, b);
}
void f_mulbyconj(Cx& r, Cx& z, const double* in) {
  Cx b(mpfr_get_prec(r.re), in[2], -in[3]);
  c_mul(r, z, b);
}
void f_div(Cx& r, Cx& z, const double* in) {
  const mpfr_prec_t p = mpfr_get_prec(r.re) + 16;
  Cx b(p, in[2], -in[3]), n(p);
  Mp d(p);
  c_mul(n, z, b);
  exact_norm(d, b.re, b.im);
  parts(mpfr_div, r, n, d);
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

// two: a second complex argument; zero: a zero part is special too (analytic functions,
// whose branch cuts and signed zeros the closed forms do not follow); spread: raise the
// precision with the arguments' exponents.
template <bool two, bool zero, bool spread, Closed closed, Glibc lib>
int zf(mpfr_ptr* o, const double* in, const EvalCtx& c) {
  return complex_fn(o, in, c, two, zero, spread, closed, lib);
}

const Oracle kTable[] = {
    {"zexp", zf<false, true, false, f_exp, g_exp>, nullptr},
    {"zlog", zf<false, true, false, f_log, g_log>, nullptr},
    {"zlog10", zf<false, true, false, f_log10, g_log10>, nullptr},
    {"zsqrt", zf<false, true, false, f_sqrt, g_sqrt>, nullptr},
    {"zsin", zf<false, true, false, f_trig<false, false>, g_sin>, nullptr},
    {"zcos", zf<false, true, false, f_trig<false, true>, g_cos>, nullptr},
    {"ztan", zf<false, true, false, f_tan, g_tan>, nullptr},
    {"zsinh", zf<false, true, false, f_trig<true, false>, g_sinh>, nullptr},
    {"zcosh", zf<false, true, false, f_trig<true, true>, g_cosh>, nullptr},
    {"ztanh", zf<false, true, false, f_tanh, g_tanh>, nullptr},
    {"zasin", zf<false, true, true, f_asin, g_asin>, nullptr},
    {"zacos", zf<false, true, true, f_acos, g_acos>, nullptr},
    {"zatan", zf<false, true, true, f_atan, g_atan>, nullptr},
    {"zasinh", zf<false, true, true, f_asinh, g_asinh>, nullptr},
    {"zacosh", zf<false, true, true, f_acosh, g_acosh>, nullptr},
    {"zatanh", zf<false, true, true, f_atanh, g_atanh>, nullptr},
    {"zpow", zf<true, true, false, f_pow, g_pow>, nullptr},
    {"zmul", zf<true, false, false, f_mul, g_mul>, nullptr},
    {"zmulbyconj", zf<true, false, false, f_mulbyconj, g_mulbyconj>, nullptr},
    {"zdiv", zf<true, false, false, f_div, g_div>, nullptr},
};

}  // namespace

OracleTable complex_oracles() { return {std::begin(kTable), std::end(kTable)}; }

}  // namespace nrx::accuracy
