// Complex vector kernels: Abs, Arg, CIS, Exp, Ln, Sqrt, Div (types c and z).
//
// Registers hold (re, im) pairs; each kernel runs the real bodies on the even and odd lanes:
// Abs is Hypot of the pair, Arg is atan2 of the swapped pair, CIS is the sine body with the
// even lanes a quarter turn ahead (cos y on the real lane, sin y on the imaginary one), Exp
// is e^x times that, Ln is log|z| on the real lane and atan2 on the imaginary one, Sqrt is
// t = sqrt((|x| + |z|) / 2) and |y| / 2t placed by the sign of x, and Div multiplies by the
// conjugate over |b|^2. Double HA keeps the pieces in two parts (exp table and polynomial,
// sin and cos, |z|^2, the numerator of Div) and rounds once. Single precision runs the same
// double bodies on the two halves of its register, where squares and exponentials neither
// overflow nor underflow (Abs and Arg take the float bodies directly). Elements with an
// infinite or NaN part, zero arguments of Ln, Sqrt and Div, and results that overflow go to
// the scalar routines, which give the values of C99 Annex G.
//
// Codes: 3 where finite parts give an infinite part (Abs, Exp, Div), 2 for Ln of zero and
// Div by zero with a finite numerator, 1 where parts without NaN give a NaN part (Exp and
// CIS of an infinite angle, Div of two infinities); the EP kernel of Div reports nothing.
#pragma once
#include <cmath>
#include <limits>

#include "zar/kernels/atrig.h"
#include "zar/kernels/complex.h"
#include "zar/kernels/exp.h"
#include "zar/kernels/log.h"
#include "zar/kernels/root.h"
#include "zar/kernels/trig.h"

namespace nrx::zar::ops {

namespace cvec {
using D = ::nrx::simd::Reg<double>;
using DM = ::nrx::simd::Mask<double>;
using TwoD = twopart::Two<D>;

inline D even_odd(D even, D odd) { return simd::select(simd::even_lanes<double>(), even, odd); }

// 1/d for normal d: the 14-bit estimate and Steps Newton steps (28, 56 bits).
template <int Steps> inline D reciprocal(D d) {
  D y = simd::rcp14(d);
  for (int k = 0; k < Steps; ++k) y = simd::fma(y, simd::fnma(d, y, simd::splat(1.0)), y);
  return y;
}

// (n + n_lo) / (d + d_lo) rounded once, from one reciprocal: q = n / d to about an ulp, then
// q plus the exact remainder over d.
inline D quotient(D n, D n_lo, D d, D d_lo) {
  const D y = reciprocal<2>(d);
  const D q = simd::mul(n, y);
  const D r = simd::add(simd::fnma(q, d, n), simd::fnma(q, d_lo, n_lo));
  return simd::fma(r, y, q);
}

// cos y on the even lanes and sin y on the odd ones, in two parts; y finite (other lanes unused).
template <Flavour F> inline TwoD cis_parts(D y) {
  DM big;
  TrigReduced<double> a = trig_reduce<F == Flavour::HA>(y, big);
  const simd::IReg n = simd::int_add(a.n, simd::int_even_lanes(8, 0.0), 0.0);  // 8 steps of pi/16
  TwoD c = trig_assemble<double, F>(trig_poly<double, F>(a), n);
  // sin y rounds to y where |y| is tiny, and keeps the sign of a zero; min with the bound passes
  // y through an instruction, so a subnormal y becomes the zero of its sign when MXCSR treats
  // denormal inputs as zero.
  const Reg<double> bound = simd::splat(TrigConst<double>::tiny);
  const DM tiny = DM(~simd::even_lanes<double>() & simd::lt(simd::abs_of<double>(y), bound));
  return {simd::select(tiny, simd::min(y, bound), c.hi), simd::select(tiny, simd::splat(-0.0), c.lo)};
}

// e^x cis y for the pair (x, y) in both lanes of each element; x is clamped where e^x times
// any non-zero double leaves the range either way, so the result is then +-inf or +-0.
template <Flavour F> inline D exp_pairs(D z) {
  constexpr double kClamp = 1500;
  const D x = simd::min(simd::splat(kClamp), simd::max(simd::splat(-kClamp), simd::dup_even(z)));
  const ExpReduced<double> s = exp_reduce<double, Base::E, F>(x);
  const D p = exp_poly<double, F>(s.r);
  const TwoD c = cis_parts<F>(simd::dup_odd(z));
  D v;
  if constexpr (F == Flavour::HA) {  // (t + t p + t_lo)(c + c_lo), rounded once
    const D t = table2<double>(ExpConst<double>::hi, s.idx);
    const D t_rest = simd::fma(t, p, table2<double>(ExpConst<double>::lo, s.idx));
    v = simd::fma(t, c.hi, simd::fma(t, c.lo, simd::mul(t_rest, twopart::value(c))));
  } else {
    ExpReduced<double> unscaled = s;
    unscaled.scale = simd::splat(0.0);
    v = simd::mul(exp_assemble<double, F>(unscaled, p), twopart::value(c));
  }
  // e^x times a zero sine is a zero of the sine's sign (y 0 gives that zero; the class test
  // also takes a subnormal y for zero when MXCSR treats denormal inputs as zero)
  const D y = simd::dup_odd(z);
  const D y_zero = simd::mul(y, simd::splat(0.0));
  return simd::select(DM(simd::fpclass<simd::kZero>(y) & ~simd::even_lanes<double>()), y_zero,
                      simd::scalef(v, s.scale));
}

// ln z = ln|z| + i atan2(y, x); tiny receives the lanes whose atan2 falls below the normal range.
// |z|^2 is taken in two parts from x and y scaled by 2^-k, k the exponent of the larger part
// when it lies beyond 2^+-500 (0 otherwise, so no cancellation of k ln 2 near |z| = 1).
template <Flavour F> inline D log_pairs(D z, DM& tiny) {
  using simd::splat;
  const D x = simd::dup_even(z), y = simd::dup_odd(z);
  const D k0 = simd::getexp(simd::max(simd::abs_of<double>(x), simd::abs_of<double>(y)));
  const D k = simd::select(simd::gt(simd::abs_of<double>(k0), splat(500.0)), k0, splat(0.0));
  const D nk = simd::negate<double>(k);
  D lo;
  const D s = hypot_sum<double, Flavour::HA>(simd::scalef(x, nk), simd::scalef(y, nk), lo);
  const D l = log_body<double, F, Base::E, true>(s, simd::div(lo, s));  // ln(s + lo)
  const D re = simd::fma(k, splat(ExpConst<double>::ln2_hi),
                         simd::fma(k, splat(ExpConst<double>::ln2_lo), simd::mul(l, splat(0.5))));
  D im;
  tiny = DM(atan2_body<double, F, false>(y, x, im) & ~simd::even_lanes<double>());
  return even_odd(re, im);
}

// sqrt z for finite z != 0: x and y scaled by 2^-2j (j = floor(e/2), e the exponent of the larger
// part), t = sqrt((|x| + |z|) / 2) and q = |y| / 2t, (t, +-q) for x >= 0, (q, +-t) for x < 0.
// q divides the unscaled |y| when j >= 0 and the scaled one otherwise, so a small part keeps its
// bits. HA keeps |z|, the half-sum and t in two parts.
template <Flavour F> inline D sqrt_pairs(D z) {
  using simd::splat;
  const D x = simd::dup_even(z), y = simd::dup_odd(z);
  const D ax = simd::abs_of<double>(x), ay = simd::abs_of<double>(y);
  const D j = simd::round<simd::kRoundDown>(simd::mul(simd::getexp(simd::max(ax, ay)), splat(0.5)));
  const D m2j = simd::mul(j, splat(-2.0));
  const D xs = simd::scalef(ax, m2j), ys = simd::scalef(ay, m2j);
  const DM up = simd::ge(j, splat(0.0));
  const D num = simd::select(up, ay, ys), qscale = simd::select(up, simd::negate<double>(j), j);
  D t, q;
  if constexpr (F == Flavour::HA) {
    D lo;
    const D s = hypot_sum<double, Flavour::HA>(xs, ys, lo);
    const D h = simd::sqrt(s);
    // the corrections are below an ulp: the 14-bit reciprocal serves them
    const D h_lo = simd::mul(simd::add(simd::fnma(h, h, s), lo), simd::mul(simd::rcp14(h), splat(0.5)));  // |z| - h
    const TwoD w = twopart::two_sum(xs, h);
    const D w_hi = simd::mul(w.hi, splat(0.5)), w_lo = simd::mul(simd::add(w.lo, h_lo), splat(0.5));
    const D th = simd::sqrt(w_hi);
    const D tl = simd::mul(simd::add(simd::fnma(th, th, w_hi), w_lo), simd::mul(simd::rcp14(th), splat(0.5)));
    t = simd::add(th, tl);
    q = quotient(num, splat(0.0), simd::add(th, th), simd::add(tl, tl));
  } else {
    const D s = simd::fma(xs, xs, simd::mul(ys, ys));
    t = simd::sqrt(simd::mul(simd::add(xs, simd::sqrt(s)), splat(0.5)));
    q = simd::div(num, simd::add(t, t));
  }
  t = simd::scalef(t, j);
  q = simd::scalef(q, qscale);
  const DM xneg = simd::fpclass<simd::kNegative | simd::kNegZero>(x);
  return even_odd(simd::select(xneg, q, t), simd::copysign<double>(simd::select(xneg, t, q), y));
}

// a / b for finite a and b != 0: a times conj(b) over |b|^2. Where the larger part of a or b
// lies beyond 2^+-450 (a zero a aside), b is scaled by 2^-kb (kb the exponent of its larger
// part) and a by 2^-ka where its larger part lies beyond 2^+-900, the quotient scaled back by
// 2^(ka - kb). HA forms the numerator and |b|^2 in two parts and divides once.
template <Flavour F> inline D div_pairs(D a, D b) {
  using simd::splat;
  const auto larger = [](D v) { return simd::max(simd::abs_of<double>(v), simd::abs_of<double>(simd::swap_pairs(v))); };
  const D am = larger(a), bm = larger(b);
  const DM off = DM(simd::not_le(am, splat(0x1p450)) | simd::not_le(bm, splat(0x1p450)) |
                    simd::lt(bm, splat(0x1p-450)) | (simd::lt(am, splat(0x1p-450)) & ~simd::fpclass<simd::kZero>(am)));
  D as = a, bs = b, k = splat(0.0);
  if (__builtin_expect(off != 0, 0)) {
    const D kb = simd::getexp(bm), ka0 = simd::getexp(am);
    const D ka = simd::select(DM(simd::gt(simd::abs_of<double>(ka0), splat(900.0)) & ~simd::fpclass<simd::kInf>(ka0)),
                              ka0, splat(0.0));
    as = simd::scalef(a, simd::negate<double>(ka)), bs = simd::scalef(b, simd::negate<double>(kb));
    k = simd::sub(ka, kb);
  }
  const D c = simd::dup_even(bs), d = simd::dup_odd(bs);
  // even lanes ar c + ai d, odd lanes ai c - ar d
  const D swapped = conj_of<double>(simd::swap_pairs(as));
  D v;
  if constexpr (F == Flavour::EP) {
    v = simd::mul(simd::fma(as, c, simd::mul(swapped, d)), reciprocal<1>(simd::fma(c, c, simd::mul(d, d))));
  } else {
    const TwoD p = twopart::two_prod(as, c), q = twopart::two_prod(swapped, d);
    const TwoD n = twopart::two_sum(p.hi, q.hi);
    D lo;
    const D den = hypot_sum<double, Flavour::HA>(c, d, lo);
    v = quotient(n.hi, simd::add(n.lo, simd::add(p.lo, q.lo)), den, lo);
  }
  return off ? simd::scalef(v, k) : v;
}

// ln|z| + i atan2(y, x) for float parts held in double: x^2 + y^2 is exact but for the last of
// 53 bits, far below a float ulp of the logarithm, and never leaves the range.
template <Flavour F> inline D log_pairs_of_floats(D z) {
  const D x = simd::dup_even(z), y = simd::dup_odd(z);
  const D s = simd::fma(x, x, simd::mul(y, y));
  D im;
  atan2_body<double, F, false>(y, x, im);
  return even_odd(simd::mul(log_body<double, F, Base::E, false>(s, simd::splat(0.0)), simd::splat(0.5)), im);
}

// f applied to the two double halves of a float register, rounded back.
template <class Fn> inline ::nrx::simd::Reg<float> on_halves(::nrx::simd::Reg<float> a, Fn f) {
  return simd::narrow(f(simd::widen_lo(a)), f(simd::widen_hi(a)));
}
template <class Fn>
inline ::nrx::simd::Reg<float> on_halves(::nrx::simd::Reg<float> a, ::nrx::simd::Reg<float> b, Fn f) {
  return simd::narrow(f(simd::widen_lo(a), simd::widen_lo(b)), f(simd::widen_hi(a), simd::widen_hi(b)));
}
// Flavour of the double body that serves a float kernel: LA is well inside a float HA ulp,
// EP (26 bits) inside the few ulp of float LA.
template <Flavour F> inline constexpr Flavour kHalves = F == Flavour::HA ? Flavour::LA : Flavour::EP;

// Element masks of a register of pairs.
template <class R> inline Mask<R> nonfinite_pairs(Reg<R> v) {
  return simd::pairs_of<R>(simd::fpclass<simd::kInf | simd::kNaN>(v));
}
template <class R> inline Mask<R> zero_pairs(Reg<R> v) {
  const Mask<R> z = simd::fpclass<simd::kZero>(v);
  return simd::pairs_of<R>(Mask<R>(z & (z >> 1) & simd::even_lanes<R>()));
}

// Code of one element: 3 where finite parts give an infinite part, 1 where parts without NaN
// give a NaN part.
template <class R> inline int32_t element_code(bool finite_in, bool nan_in, R re, R im) {
  if (finite_in && (std::isinf(re) || std::isinf(im))) return ZAR_ST_RESULT_TOO_LARGE;
  if (!nan_in && (std::isnan(re) || std::isnan(im))) return ZAR_ST_DOMAIN;
  return ZAR_ST_NONE;
}
template <class R> inline bool finite2(R x, R y) { return std::isfinite(x) && std::isfinite(y); }
template <class R> inline bool nan2(R x, R y) { return std::isnan(x) || std::isnan(y); }
}  // namespace cvec

template <class C, Flavour F> struct ComplexAbs : VectorOp<C, Shape::c2r, 1, 1> {
  using R = RealOf<C>;
  using V = Reg<R>;
  using TO = R;
  static constexpr const char* kName = "Abs";
  static Mask<R> vec(const V (&a)[1], V (&r)[1], const NoExtra&) {
    const V in[2] = {a[0], simd::swap_pairs(a[0])};
    V h[1];
    const Mask<R> sp = Hypot<R, F>::vec(in, h, NoExtra{});
    r[0] = simd::evens_to_low(h[0]);
    return simd::pairs_of<R>(Mask<R>(sp & simd::even_lanes<R>()));
  }
  static int32_t scalar(const C* const* a, R* const* r, const NoExtra&) {
    const R x = simd::daz(a[0]->real), y = simd::daz(a[0]->imag);
    if (std::isinf(x) || std::isinf(y)) return *r[0] = std::numeric_limits<R>::infinity(), ZAR_ST_NONE;
    *r[0] = R(std::hypot(double(x), double(y)));  // NaN stays NaN
    return cvec::element_code<R>(cvec::finite2(x, y), cvec::nan2(x, y), *r[0], R(0));
  }
};

template <class C, Flavour F> struct Arg : VectorOp<C, Shape::c2r, 1, 1> {
  using R = RealOf<C>;
  using V = Reg<R>;
  using TO = R;
  static constexpr const char* kName = "Arg";
  static Mask<R> vec(const V (&a)[1], V (&r)[1], const NoExtra&) {
    V t;
    const Mask<R> tiny = atan2_body<R, F, false>(simd::swap_pairs(a[0]), a[0], t);
    r[0] = simd::evens_to_low(t);
    return simd::pairs_of<R>(Mask<R>(tiny & simd::even_lanes<R>()));
  }
  static int32_t scalar(const C* const* a, R* const* r, const NoExtra&) {
    *r[0] = std::atan2(simd::daz(a[0]->imag), simd::daz(a[0]->real));
    return ZAR_ST_NONE;
  }
};

template <class C, Flavour F> struct CIS : VectorOp<C, Shape::r2c, 1, 1> {
  using R = RealOf<C>;
  using V = Reg<R>;
  using TI = R;
  static constexpr const char* kName = "CIS";
  static Mask<R> vec(const V (&a)[1], V (&r)[1], const NoExtra&) {
    const V y = simd::low_to_pairs(a[0]);
    if constexpr (sizeof(R) == 8) r[0] = twopart::value(cvec::cis_parts<F>(y));
    else r[0] = cvec::on_halves(y, [](cvec::D v) { return twopart::value(cvec::cis_parts<cvec::kHalves<F>>(v)); });
    return cvec::nonfinite_pairs<R>(y);
  }
  // Infinite angles give NaN parts with code 1; NaN gives NaN parts.
  static int32_t scalar(const R* const* a, C* const* r, const NoExtra&) {
    const R x = *a[0];
    r[0]->real = r[0]->imag = std::numeric_limits<R>::quiet_NaN();
    return std::isinf(x) ? ZAR_ST_DOMAIN : ZAR_ST_NONE;
  }
};

template <class C, Flavour F> struct ComplexExp : Unary<C> {
  using R = RealOf<C>;
  using V = Reg<R>;
  static constexpr const char* kName = "Exp";
  static Mask<R> vec(const V (&a)[1], V (&r)[1], const NoExtra&) {
    if constexpr (sizeof(R) == 8) r[0] = cvec::exp_pairs<F>(a[0]);
    else r[0] = cvec::on_halves(a[0], [](cvec::D v) { return cvec::exp_pairs<cvec::kHalves<F>>(v); });
    return Mask<R>(cvec::nonfinite_pairs<R>(a[0]) | simd::pairs_of<R>(simd::fpclass<simd::kInf>(r[0])));
  }
  static int32_t scalar(const C* const* a, C* const* r, const NoExtra& ex) {
    // Parts read as the vector instructions read them (subnormal parts are zeros under DAZ).
    const C z{simd::daz(a[0]->real), simd::daz(a[0]->imag)};
    const C* const in[1] = {&z};
    const R x = z.real, y = z.imag;
    if (cvec::finite2(x, y)) scalar_by_vector<ComplexExp>(in, r, ex);
    else annex_g(x, y, r[0]->real, r[0]->imag);
    return cvec::element_code<R>(cvec::finite2(x, y), cvec::nan2(x, y), r[0]->real, r[0]->imag);
  }
  // e^x cis y where x or y is infinite or NaN.
  static void annex_g(R x, R y, R& re, R& im) {
    const R inf = std::numeric_limits<R>::infinity(), nan = std::numeric_limits<R>::quiet_NaN();
    if (std::isinf(x) && std::isfinite(y)) {
      const R m = x > 0 ? inf : R(0);
      re = y == 0 ? m : m * std::cos(y), im = y == 0 ? y : m * std::sin(y);
    } else if (std::isinf(x)) {
      re = x > 0 ? inf : R(0), im = x > 0 ? nan : std::copysign(R(0), y);
    } else {
      re = nan, im = y == 0 ? y : nan;
    }
  }
};

template <class C, Flavour F> struct ComplexLn : Unary<C> {
  using R = RealOf<C>;
  using V = Reg<R>;
  static constexpr const char* kName = "Ln";
  static Mask<R> vec(const V (&a)[1], V (&r)[1], const NoExtra&) {
    Mask<R> tiny;
    if constexpr (sizeof(R) == 8) {
      r[0] = cvec::log_pairs<F>(a[0], tiny);
    } else {  // atan2 of floats in double stays in double's normal range
      r[0] = cvec::on_halves(a[0], [](cvec::D v) { return cvec::log_pairs_of_floats<cvec::kHalves<F>>(v); });
      tiny = 0;
    }
    return Mask<R>(cvec::nonfinite_pairs<R>(a[0]) | cvec::zero_pairs<R>(a[0]) | simd::pairs_of<R>(tiny));
  }
  static int32_t scalar(const C* const* a, C* const* r, const NoExtra& ex) {
    const R x = simd::daz(a[0]->real), y = simd::daz(a[0]->imag);
    const R inf = std::numeric_limits<R>::infinity();
    R& re = r[0]->real;
    if (std::isinf(x) || std::isinf(y)) re = inf;
    else if (std::isnan(x) || std::isnan(y)) re = x + y;
    else if (x == 0 && y == 0) re = -inf;
    else scalar_by_vector<ComplexLn>(a, r, ex);
    r[0]->imag = std::atan2(y, x);
    if (x == 0 && y == 0) return ZAR_ST_POLE;
    return ZAR_ST_NONE;
  }
};

template <class C, Flavour F> struct ComplexSqrt : Unary<C> {
  using R = RealOf<C>;
  using V = Reg<R>;
  static constexpr const char* kName = "Sqrt";
  static Mask<R> vec(const V (&a)[1], V (&r)[1], const NoExtra&) {
    if constexpr (sizeof(R) == 8) r[0] = cvec::sqrt_pairs<F>(a[0]);
    else r[0] = cvec::on_halves(a[0], [](cvec::D v) { return cvec::sqrt_pairs<cvec::kHalves<F>>(v); });
    return Mask<R>(cvec::nonfinite_pairs<R>(a[0]) | cvec::zero_pairs<R>(a[0]));
  }
  // Zeros, infinities and NaN parts; the imaginary part's sign carries through.
  static int32_t scalar(const C* const* a, C* const* r, const NoExtra&) {
    const R x = simd::daz(a[0]->real), y = simd::daz(a[0]->imag);
    const R inf = std::numeric_limits<R>::infinity(), nan = std::numeric_limits<R>::quiet_NaN();
    R re, im;
    if (std::isinf(y)) re = inf, im = y;
    else if (x == -inf) re = std::isnan(y) ? nan : R(0), im = std::isnan(y) ? inf : std::copysign(inf, y);
    else if (x == inf) re = inf, im = std::isnan(y) ? nan : std::copysign(R(0), y);
    else if (std::isnan(x) || std::isnan(y)) re = im = nan;
    else re = R(0), im = y;  // both zero
    r[0]->real = re, r[0]->imag = im;
    return ZAR_ST_NONE;
  }
};

template <class C, Flavour F> struct ComplexDiv : Binary<C> {
  using R = RealOf<C>;
  using V = Reg<R>;
  static constexpr const char* kName = "Div";
  static Mask<R> vec(const V (&a)[2], V (&r)[1], const NoExtra&) {
    if constexpr (sizeof(R) == 8) {
      r[0] = cvec::div_pairs<F>(a[0], a[1]);
    } else {  // exact products in double: the plain formula, rounded twice
      r[0] = cvec::on_halves(a[0], a[1], [](cvec::D x, cvec::D y) {
        const cvec::D c = simd::dup_even(y), d = simd::dup_odd(y);
        const cvec::D num = simd::fma(x, c, simd::mul(conj_of<double>(simd::swap_pairs(x)), d));
        return simd::div(num, simd::fma(c, c, simd::mul(d, d)));
      });
    }
    return Mask<R>(cvec::nonfinite_pairs<R>(a[0]) | cvec::nonfinite_pairs<R>(a[1]) | cvec::zero_pairs<R>(a[1]) |
                   cvec::nonfinite_pairs<R>(r[0]));
  }
  static int32_t scalar(const C* const* a, C* const* r, const NoExtra& ex) {
    const R ar = a[0]->real, ai = a[0]->imag, br = a[1]->real, bi = a[1]->imag;
    const bool finite_in = cvec::finite2(ar, ai) && cvec::finite2(br, bi);
    if (finite_in && (br != 0 || bi != 0)) scalar_by_vector<ComplexDiv>(a, r, ex);
    else annex_g(ar, ai, br, bi, r[0]->real, r[0]->imag);
    if (F == Flavour::EP) return ZAR_ST_NONE;
    if (finite_in && br == 0 && bi == 0) return ZAR_ST_POLE;
    return cvec::element_code<R>(finite_in, cvec::nan2(ar, ai) || cvec::nan2(br, bi), r[0]->real, r[0]->imag);
  }
  // The quotient where an operand is infinite or NaN or b is zero: the scaled formula, then the
  // infinities and zeros that C99 Annex G recovers from a NaN result.
  static void annex_g(R a, R b, R c, R d, R& x, R& y) {
    const R inf = std::numeric_limits<R>::infinity();
    int k = 0;
    const R m = std::fmax(std::fabs(c), std::fabs(d));
    if (std::isfinite(m) && m != 0) k = std::ilogb(m), c = std::scalbn(c, -k), d = std::scalbn(d, -k);
    const R den = c * c + d * d;
    x = std::scalbn((a * c + b * d) / den, -k);
    y = std::scalbn((b * c - a * d) / den, -k);
    if (!(std::isnan(x) && std::isnan(y))) return;
    if (den == 0 && (!std::isnan(a) || !std::isnan(b))) {
      x = std::copysign(inf, c) * a, y = std::copysign(inf, c) * b;
    } else if ((std::isinf(a) || std::isinf(b)) && std::isfinite(c) && std::isfinite(d)) {
      a = std::copysign(std::isinf(a) ? R(1) : R(0), a), b = std::copysign(std::isinf(b) ? R(1) : R(0), b);
      x = inf * (a * c + b * d), y = inf * (b * c - a * d);
    } else if (std::isinf(m) && std::isfinite(a) && std::isfinite(b)) {
      c = std::copysign(std::isinf(c) ? R(1) : R(0), c), d = std::copysign(std::isinf(d) ? R(1) : R(0), d);
      x = R(0) * (a * c + b * d), y = R(0) * (b * c - a * d);
    }
  }
};

// The complex types' kernels under the names the function tables use.
template <Flavour F> struct Exp<NrxComplex8, F> : ComplexExp<NrxComplex8, F> {};
template <Flavour F> struct Exp<NrxComplex16, F> : ComplexExp<NrxComplex16, F> {};
template <Flavour F> struct Ln<NrxComplex8, F> : ComplexLn<NrxComplex8, F> {};
template <Flavour F> struct Ln<NrxComplex16, F> : ComplexLn<NrxComplex16, F> {};
template <Flavour F> struct Sqrt<NrxComplex8, F> : ComplexSqrt<NrxComplex8, F> {};
template <Flavour F> struct Sqrt<NrxComplex16, F> : ComplexSqrt<NrxComplex16, F> {};

}  // namespace nrx::zar::ops
