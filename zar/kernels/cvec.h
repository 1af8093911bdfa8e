// Complex vector kernels: Abs, Arg, CIS, Exp, Ln, Sqrt, Div (types c and z).
//
// Registers hold (re, im) pairs. Abs, Arg, Ln, Sqrt and Div take the main loop's
// registers in twos and split them into one register of real parts and one of imaginary parts,
// so each lane works on its own element: Abs is Hypot of the parts, Arg is atan2, Ln is log|z|
// and atan2, Sqrt is t = sqrt((|x| + |z|) / 2) and |y| / 2t placed by the sign of x, Div
// multiplies by the conjugate over |b|^2; a single register (the tail) runs the same body with
// its elements repeated. CIS is the sine body on the pairs with the even lanes a quarter turn
// ahead (cos y on the real lane, sin y on the imaginary one), Exp is e^x times that. HA keeps
// the pieces in two parts (exp table and polynomial, sin and cos, |z|^2, the numerator of Div)
// and rounds once. One template serves float and double; float Exp and CIS run the double bodies on the
// two halves of a register only where an angle lies beyond the float reduction. Elements with an infinite or NaN part,
// zero arguments of Ln, Sqrt and Div, and results that overflow go to the scalar routines, which give the values of C99
// Annex G.
//
// Codes: 3 where finite parts give an infinite part (Abs, Exp, Div), 2 for Ln of zero and
// Div by zero with a finite numerator, 1 where parts without NaN give a NaN part (Exp and
// CIS of an infinite angle, Div of two infinities); the EP kernel of Div reports nothing.
#pragma once
#include <bit>
#include <cmath>
#include <limits>

#include "simd/int64.h"
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
template <int Steps, class V> inline V reciprocal(V d) {
  using T = std::conditional_t<std::is_same_v<V, D>, double, float>;
  V y = simd::rcp14(d);
  for (int k = 0; k < Steps; ++k) y = simd::fma(y, simd::fnma(d, y, simd::splat(T(1))), y);
  return y;
}

// (n + n_lo) / (d + d_lo) rounded once, from one reciprocal: q = n / d to Steps Newton steps,
// then q plus the exact remainder over d. One step (28 bits) leaves the correction r y off by
// 2^-56 of q, well inside the half ulp the final rounding adds.
// quotient_by takes the reciprocal y of d from the caller (two numerators over one d).
template <class V> inline V quotient_by(V n, V n_lo, V d, V d_lo, V y) {
  const V q = simd::mul(n, y);
  const V r = simd::add(simd::fnma(q, d, n), simd::fnma(q, d_lo, n_lo));
  return simd::fma(r, y, q);
}
template <int Steps = 2> inline D quotient(D n, D n_lo, D d, D d_lo) {
  return quotient_by(n, n_lo, d, d_lo, reciprocal<Steps>(d));
}

// Whether the float reduction covers every angle of the register (|y| up to TrigConst::large);
// double registers always take their own bodies. Float registers with a larger angle run the
// double bodies on their halves.
template <class R> inline bool angles_fit(Reg<R> y) {
  if constexpr (sizeof(R) == 8) return true;
  else return simd::not_le(simd::abs_of<R>(y), simd::splat(TrigConst<R>::large)) == 0;
}

// The reduction of y with the even lanes a quarter turn ahead (8 steps of pi/16), so the sine
// sums give cos y there; y finite (other lanes unused) and, for float, within angles_fit.
template <class R, Flavour F> inline TrigReduced<R> cis_reduce(Reg<R> y) {
  TrigReduced<R> a;
  if constexpr (sizeof(R) == 8) {
    DM big;
    a = trig_reduce<F == Flavour::HA>(y, big);
  } else {
    a = trig_reduce_small<R, F == Flavour::HA>(y);
  }
  a.n = simd::int_add(a.n, simd::int_even_lanes(8, R(0)), R(0));
  return a;
}

// The lanes of sin y where |y| is tiny: sin y rounds to y there and keeps the sign of a zero.
// min with the bound passes y through an instruction, so a subnormal y becomes the zero of its
// sign when MXCSR treats denormal inputs as zero.
template <class R> inline Mask<R> cis_tiny(Reg<R> y) {
  return Mask<R>(~simd::even_lanes<R>() & simd::lt(simd::abs_of<R>(y), simd::splat(TrigConst<R>::tiny)));
}
template <class R> inline Reg<R> cis_tiny_value(Reg<R> y) { return simd::min(y, simd::splat(TrigConst<R>::tiny)); }

// cos y on the even lanes and sin y on the odd ones, in two parts (HA; LA and EP round the
// sum S_j + C_j r and keep the rest in the low part).
template <class R, Flavour F> inline twopart::Two<Reg<R>> cis_parts(Reg<R> y) {
  const TrigReduced<R> a = cis_reduce<R, F>(y);
  const twopart::Two<Reg<R>> c = trig_assemble<R, F>(trig_poly<R, F>(a), a.n);
  const Mask<R> tiny = cis_tiny<R>(y);
  return {simd::select(tiny, cis_tiny_value<R>(y), c.hi), simd::select(tiny, simd::splat(R(-0.0)), c.lo)};
}

// cos y on the even lanes and sin y on the odd ones, rounded. LA and EP take the short sums of
// the real sine and cosine, which give sin y = y rounded wherever |y| is tiny but lose the sign
// of a zero (S_0 + C_0 r is +0 for r = -0): with Zeros, zero and subnormal angles pass through
// (exp_pairs sets the zero sines itself).
template <class R, Flavour F, bool Zeros = true> inline Reg<R> cis_value(Reg<R> y) {
  const TrigReduced<R> a = cis_reduce<R, F>(y);
  if constexpr (F == Flavour::HA) {
    return simd::select(cis_tiny<R>(y), cis_tiny_value<R>(y),
                        twopart::value(trig_assemble<R, F>(trig_poly<R, F>(a), a.n)));
  } else {
    const Reg<R> v = trig_value_short<R>(trig_poly_short<R, F>(a), a.n);
    if constexpr (!Zeros) return v;
    const Mask<R> zero = Mask<R>(~simd::even_lanes<R>() & simd::fpclass<simd::kZero | simd::kDenormal>(y));
    return simd::select(zero, cis_tiny_value<R>(y), v);
  }
}

// |x| beyond which e^x times any non-zero part of cis y leaves the range either way.
template <class R> inline constexpr R kExpClamp = sizeof(R) == 8 ? R(1500) : R(200);

// e^x cis y for the pair (x, y) in both lanes of each element; x is clamped where e^x times
// any non-zero part leaves the range either way, so the result is then +-inf or +-0.
template <class R, Flavour F> inline Reg<R> exp_pairs(Reg<R> z) {
  using V = Reg<R>;
  const V x = simd::min(simd::splat(kExpClamp<R>), simd::max(simd::splat(-kExpClamp<R>), simd::dup_even(z)));
  const ExpReduced<R> s = exp_reduce<R, Base::E, F>(x);
  const V p = exp_poly<R, F>(s.r);
  V v;
  if constexpr (F == Flavour::HA) {  // (t + t p + t_lo)(c + c_lo), rounded once
    const twopart::Two<V> c = cis_parts<R, F>(simd::dup_odd(z));
    const V t = table2<R>(ExpConst<R>::hi, s.idx);
    const V t_rest = simd::fma(t, p, table2<R>(ExpConst<R>::lo, s.idx));
    v = simd::fma(t, c.hi, simd::fma(t, c.lo, simd::mul(t_rest, twopart::value(c))));
  } else {
    ExpReduced<R> unscaled = s;
    unscaled.scale = simd::splat(R(0));
    v = simd::mul(exp_assemble<R, F>(unscaled, p), cis_value<R, F, false>(simd::dup_odd(z)));
  }
  // e^x times a zero sine is a zero of the sine's sign (y 0 gives that zero; the class test
  // also takes a subnormal y for zero when MXCSR treats denormal inputs as zero)
  const V y = simd::dup_odd(z);
  const V y_zero = simd::mul(y, simd::splat(R(0)));
  return simd::select(Mask<R>(simd::fpclass<simd::kZero>(y) & ~simd::even_lanes<R>()), y_zero,
                      simd::scalef(v, s.scale));
}

// |k| of the exponent beyond which ln z scales its parts: squares stay normal inside.
template <class R> inline constexpr R kLogScale = sizeof(R) == 8 ? R(500) : R(50);

// ln z = ln|z| + i atan2(y, x) for registers of real parts x and imaginary parts y; returns the
// lanes whose atan2 falls below the normal range. |z|^2 is taken in two parts from x and y scaled
// by 2^-k, k the exponent of the larger part when it lies beyond 2^+-kLogScale (0 otherwise, so no
// cancellation of k ln 2 near |z| = 1); the low part enters the logarithm as the correction
// lo / s, from the 14-bit reciprocal.
template <class R, Flavour F> inline Mask<R> log_parts(Reg<R> x, Reg<R> y, Reg<R>& re, Reg<R>& im) {
  using simd::splat;
  using V = Reg<R>;
  const V k0 = simd::getexp(simd::max(simd::abs_of<R>(x), simd::abs_of<R>(y)));
  const V k = simd::select(simd::gt(simd::abs_of<R>(k0), splat(kLogScale<R>)), k0, splat(R(0)));
  const V nk = simd::negate<R>(k);
  V lo;
  const V s = hypot_sum<R, Flavour::HA>(simd::scalef(x, nk), simd::scalef(y, nk), lo);
  const V l = log_body<R, F, Base::E, true>(s, simd::mul(lo, simd::rcp14(s)));  // ln(s + lo)
  re = simd::fma(k, splat(ExpConst<R>::ln2_hi), simd::fma(k, splat(ExpConst<R>::ln2_lo), simd::mul(l, splat(R(0.5)))));
  return atan2_body<R, F, false>(y, x, im);
}

// sqrt z for finite z != 0: x and y scaled by 2^-2j (j = floor(e/2), e the exponent of the larger
// part), t = sqrt((|x| + |z|) / 2) and q = |y| / 2t, (t, +-q) for x >= 0, (q, +-t) for x < 0.
// q divides the unscaled |y| when j >= 0 and the scaled one otherwise, so a small part keeps its
// bits. The roots come from the reciprocal square root estimate and Goldschmidt steps, which
// also give 1/2t for q. HA keeps |z|^2, |z|, the half-sum and t in two parts and corrects q by
// its remainder; LA and EP take the steps of the real roots at their accuracy. x and y are
// registers of real and imaginary parts; returns the lanes of zeros, infinities and NaN, for
// the scalar routine.
template <class R, Flavour F> inline Mask<R> sqrt_parts(Reg<R> x, Reg<R> y, Reg<R>& re, Reg<R>& im) {
  using simd::splat;
  using V = Reg<R>;
  const V ax = simd::abs_of<R>(x), ay = simd::abs_of<R>(y), big = simd::max(ax, ay);
  const V j = simd::round<simd::kRoundDown>(simd::mul(simd::getexp(big), splat(R(0.5))));
  const V m2j = simd::mul(j, splat(R(-2)));
  const V xs = simd::scalef(ax, m2j), ys = simd::scalef(ay, m2j);  // |z| scaled lies in [1, 8)
  const Mask<R> up = simd::ge(j, splat(R(0)));
  const V num = simd::select(up, ay, ys), qscale = simd::select(up, simd::negate<R>(j), j);
  V t, q;
  if constexpr (F == Flavour::HA) {
    constexpr int steps = kSqrtSteps<R, F> - 1;
    V lo, h;
    const V s = hypot_sum<R, Flavour::HA>(xs, ys, lo);
    const V m = sqrt_steps<R, steps>(s, simd::rsqrt14(s), h);
    const V m_lo = simd::mul(h, simd::add(simd::fnma(m, m, s), lo));  // |z| - m
    const twopart::Two<V> w = twopart::fast_two_sum(m, xs);           // |z| >= |x|
    const V w_hi = simd::mul(w.hi, splat(R(0.5))), w_lo = simd::mul(simd::add(w.lo, m_lo), splat(R(0.5)));
    V g;
    const V th = sqrt_steps<R, steps>(w_hi, simd::rsqrt14(w_hi), g);  // g ~ 1/2t
    const V tl = simd::mul(g, simd::add(simd::fnma(th, th, w_hi), w_lo));
    t = simd::add(th, tl);
    // q0 = |y| g, then q0 plus the remainder |y| - 2 t q0 over 2t
    const V q0 = simd::mul(num, g);
    const V r = simd::fnma(simd::add(q0, q0), tl, simd::fnma(simd::add(q0, q0), th, num));
    q = simd::fma(r, g, q0);
  } else {
    // the steps of the real square root, and one more for 1/2t
    constexpr int steps = kSqrtSteps<R, F>;
    V h, g;
    const V s = simd::fma(xs, xs, simd::mul(ys, ys));
    const V m = sqrt_steps<R, steps>(s, simd::rsqrt14(s), h);
    const V w = simd::mul(simd::add(xs, m), splat(R(0.5)));
    t = sqrt_steps<R, steps>(w, simd::rsqrt14(w), g);
    q = simd::mul(num, g);
  }
  t = simd::scalef(t, j);
  q = simd::scalef(q, qscale);
  const Mask<R> xneg = simd::fpclass<simd::kNegative | simd::kNegZero>(x);
  re = simd::select(xneg, q, t);
  im = simd::copysign<R>(simd::select(xneg, t, q), y);
  // The larger magnitude is zero for z = 0 and for a NaN beside a zero (max passes the second
  // operand where one is NaN), infinite for an infinite part; a NaN beside another part
  // makes the result NaN.
  return Mask<R>(simd::fpclass<simd::kZero | simd::kInf | simd::kNaN>(big) | simd::fpclass<simd::kNaN>(re) |
                 simd::fpclass<simd::kNaN>(im));
}

// Element masks of registers of parts.
template <class R> inline Mask<R> nonfinite_parts(simd::Parts<R> z) {
  return Mask<R>(simd::fpclass<simd::kInf | simd::kNaN>(z.re) | simd::fpclass<simd::kInf | simd::kNaN>(z.im));
}
template <class R> inline Mask<R> zero_parts(simd::Parts<R> z) {
  return Mask<R>(simd::fpclass<simd::kZero>(z.re) & simd::fpclass<simd::kZero>(z.im));
}

// EP division works unscaled where every part is zero or within [2^-w, 2^w]: products, squares
// and quotients then stay inside the normal range. Beyond (and for HA and LA where the results
// fail their test), b is scaled to its larger part and a where its larger part lies beyond
// 2^+-kDivScaleA.
template <class R> inline constexpr R kDivWindow = sizeof(R) == 8 ? R(0x1p450) : R(0x1p30);
template <class R> inline constexpr R kDivScaleA = sizeof(R) == 8 ? R(900) : R(100);

// Whether a lane of the four registers holds a part other than zero outside [1/w, w]
// (infinities and NaN included): zeros become ones and NaN infinities, and the largest and
// smallest magnitudes are compared with the window.
template <class R> inline bool off_window(Reg<R> x0, Reg<R> x1, Reg<R> x2, Reg<R> x3) {
  using simd::abs_max, simd::abs_min;
  const Reg<R> u0 = simd::range_key(x0), u1 = simd::range_key(x1);
  const Reg<R> u2 = simd::range_key(x2), u3 = simd::range_key(x3);
  const Reg<R> big = abs_max(abs_max(u0, u1), abs_max(u2, u3));
  const Reg<R> small = abs_min(abs_min(u0, u1), abs_min(u2, u3));
  const Mask<R> in =
      Mask<R>(simd::le(big, simd::splat(kDivWindow<R>)) & simd::ge(small, simd::splat(R(1) / kDivWindow<R>)));
  return in != Mask<R>(~Mask<R>(0));
}

// x y + z w in two parts: the exact products, their high parts summed exactly in the order of
// their magnitudes, the low parts added to the sum's error.
template <class V> inline twopart::Two<V> dot_two(V x, V y, V z, V w) {
  const twopart::Two<V> p = twopart::two_prod(x, y), q = twopart::two_prod(z, w);
  const twopart::Two<V> s = twopart::fast_two_sum(simd::larger_mag(p.hi, q.hi), simd::smaller_mag(p.hi, q.hi));
  return {s.hi, simd::add(s.lo, simd::add(p.lo, q.lo))};
}

// The unscaled quotient of HA and LA is exact to the last step where |b| lies within
// [2^-kDivB, 2^kDivB] and g = max(|re|, |im|) of a conj(b) within [2^-kDivG, 2^kDivG]: |b|^2 and
// the products stay normal with their low parts (a product that underflows is below 2^-kDivG of
// g by far more than the format's bits), and |a / b| <= sqrt 2 g / |b|^2 lies inside
// [2^-(kDivG + 2 kDivB + 1), 2^(kDivG + 2 kDivB + 1)], in the normal range. The test reads the
// results: an infinite or NaN part of a or b makes g or the larger part of b infinite or NaN
// (every part enters both numerators), and b = 0 fails the lower bound.
template <class R> inline constexpr R kDivB = sizeof(R) == 8 ? R(0x1p250) : R(0x1p30);
template <class R> inline constexpr R kDivG = sizeof(R) == 8 ? R(0x1p450) : R(0x1p60);

template <class R> inline Mask<R> within(Reg<R> x, R bound) {
  return Mask<R>(simd::le(x, simd::splat(bound)) & simd::ge(x, simd::splat(R(1) / bound)));
}

// a conj(b) / |b|^2 on registers of parts, HA and LA: the numerators and |b|^2 in two parts, one
// reciprocal for both quotients; g is the larger magnitude of the numerators' high parts.
template <class R> inline simd::Parts<R> div_body(Reg<R> ar, Reg<R> ai, Reg<R> c, Reg<R> d, Reg<R>& g, Reg<R>& den) {
  using V = Reg<R>;
  const twopart::Two<V> n = dot_two(ar, c, ai, d), m = dot_two(ai, c, simd::negate<R>(ar), d);
  V lo;
  den = hypot_sum<R, Flavour::HA>(c, d, lo);
  const V y = reciprocal<1>(den);
  g = simd::abs_max(n.hi, m.hi);
  return {quotient_by(n.hi, n.lo, den, lo, y), quotient_by(m.hi, m.lo, den, lo, y)};
}

// b scaled by 2^-kb (kb the exponent of its larger part) and a by 2^-ka where its larger part
// lies beyond 2^+-kDivScaleA; the quotient is scaled back by 2^(ka - kb).
struct DivScale {
  template <class R>
  static Reg<R> exponents(simd::Parts<R> a, simd::Parts<R> b, simd::Parts<R>& as, simd::Parts<R>& bs) {
    using V = Reg<R>;
    using M = Mask<R>;
    const V kb = simd::getexp(simd::abs_max(b.re, b.im)), ka0 = simd::getexp(simd::abs_max(a.re, a.im));
    const V ka =
        simd::select(M(simd::gt(simd::abs_of<R>(ka0), simd::splat(kDivScaleA<R>)) & ~simd::fpclass<simd::kInf>(ka0)),
                     ka0, simd::splat(R(0)));
    const V nka = simd::negate<R>(ka), nkb = simd::negate<R>(kb);
    as = {simd::scalef(a.re, nka), simd::scalef(a.im, nka)};
    bs = {simd::scalef(b.re, nkb), simd::scalef(b.im, nkb)};
    return simd::sub(ka, kb);
  }
};

// a / b for the 2E elements of two registers of pairs each: a times conj(b) over |b|^2 on
// registers of real and imaginary parts, the quotients back in pairs in r0, r1; returns the
// elements for the scalar routine. HA and LA run unscaled and test the results (above); a
// register with a lane outside runs again scaled. EP tests the operands first: where every part is
// zero or within [2^-kDivWindow, 2^kDivWindow] the only special elements are those with b = 0.
// Scaled, the specials are the elements with an infinite or NaN part, b = 0 or an infinite
// quotient. Float EP adds the low part of one product to the fused sum, so a numerator that
// cancels keeps its leading bits (double EP has 27 bits to spare).
template <class R, Flavour F>
[[gnu::always_inline]] inline Mask<R> div_parts(Reg<R> a0, Reg<R> a1, Reg<R> b0, Reg<R> b1, Reg<R>& r0, Reg<R>& r1) {
  using V = Reg<R>;
  using M = Mask<R>;
  using P = simd::Parts<R>;
  const P a = simd::split_parts<R>(a0, a1), b = simd::split_parts<R>(b0, b1);
  P v;
  V den;
  M special;
  if constexpr (F == Flavour::EP) {
    const bool off = off_window<R>(a0, a1, b0, b1);
    P as = a, bs = b;
    V k{};
    if (__builtin_expect(off, 0)) k = DivScale::exponents<R>(a, b, as, bs);
    const V ar = as.re, ai = as.im, c = bs.re, d = bs.im, nar = simd::negate<R>(ar);
    den = simd::fma(c, c, simd::mul(d, d));
    const V y = reciprocal<1>(den);
    if constexpr (sizeof(R) == 4) {
      const twopart::Two<V> p = twopart::two_prod(ai, d), q = twopart::two_prod(nar, d);
      v.re = simd::mul(simd::add(simd::fma(ar, c, p.hi), p.lo), y);
      v.im = simd::mul(simd::add(simd::fma(ai, c, q.hi), q.lo), y);
    } else {
      v.re = simd::mul(simd::fma(ar, c, simd::mul(ai, d)), y);
      v.im = simd::mul(simd::fma(ai, c, simd::mul(nar, d)), y);
    }
    special = simd::fpclass<simd::kZero>(den);
    if (__builtin_expect(off, 0)) {
      v.re = simd::scalef(v.re, k), v.im = simd::scalef(v.im, k);
      special = M(special | nonfinite_parts<R>(a) | nonfinite_parts<R>(b) | nonfinite_parts<R>(v));
    }
  } else {
    V g;
    v = div_body<R>(a.re, a.im, b.re, b.im, g, den);
    const M in = M(within<R>(simd::abs_max(b.re, b.im), kDivB<R>) & within<R>(g, kDivG<R>));
    special = M(0);
    if (__builtin_expect(in != M(~M(0)), 0)) {
      P as, bs;
      const V k = DivScale::exponents<R>(a, b, as, bs);
      v = div_body<R>(as.re, as.im, bs.re, bs.im, g, den);
      v.re = simd::scalef(v.re, k), v.im = simd::scalef(v.im, k);
      special =
          M(simd::fpclass<simd::kZero>(den) | nonfinite_parts<R>(a) | nonfinite_parts<R>(b) | nonfinite_parts<R>(v));
    }
  }
  simd::join_parts<R>(v, r0, r1);
  return special;
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

// One register through Op::vec_two, its elements repeated in the second register (the tail
// of the main loop and the scalar routine); returns the lanes for the scalar routine.
template <class Op, class V, int NIn, int NOut, class X>
inline simd::Mask<typename Op::R> one_register(const V (&a)[NIn], V (&r)[NOut], const X& ex) {
  V a2[2][NIn], r2[2][NOut];
  for (int q = 0; q < NIn; ++q) a2[0][q] = a2[1][q] = a[q];
  const auto m = Op::vec_two(a2, r2, ex);
  for (int q = 0; q < NOut; ++q) r[q] = r2[0][q];
  return simd::pairs_from_elements<typename Op::R>(m);
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
  // Hypot of the real and imaginary parts of two registers, one element per lane.
  static Mask<R> vec_two(const V (&a)[2][1], V (&r)[2][1], const NoExtra&) {
    const simd::Parts<R> z = simd::split_parts<R>(a[0][0], a[1][0]);
    const V in[2] = {z.re, z.im};
    V h[1];
    const Mask<R> sp = Hypot<R, F>::vec(in, h, NoExtra{});
    r[0][0] = h[0], r[1][0] = simd::high_to_low(h[0]);
    return sp;
  }
  static Mask<R> vec(const V (&a)[1], V (&r)[1], const NoExtra& ex) { return cvec::one_register<ComplexAbs>(a, r, ex); }
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
  static Mask<R> vec_two(const V (&a)[2][1], V (&r)[2][1], const NoExtra&) {
    const simd::Parts<R> z = simd::split_parts<R>(a[0][0], a[1][0]);
    V t;
    const Mask<R> tiny = atan2_body<R, F, false>(z.im, z.re, t);
    r[0][0] = t, r[1][0] = simd::high_to_low(t);
    return tiny;
  }
  static Mask<R> vec(const V (&a)[1], V (&r)[1], const NoExtra& ex) { return cvec::one_register<Arg>(a, r, ex); }
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
    if (cvec::angles_fit<R>(y)) r[0] = cvec::cis_value<R, F>(y);
    else if constexpr (sizeof(R) == 4)
      r[0] = cvec::on_halves(y, [](cvec::D v) { return cvec::cis_value<double, cvec::kHalves<F>>(v); });
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
    // float LA takes the HA body: the one-part exponential, sine and cosine come near 4 ulp
    constexpr Flavour FB = sizeof(R) == 4 && F == Flavour::LA ? Flavour::HA : F;
    if (cvec::angles_fit<R>(simd::dup_odd(a[0]))) r[0] = cvec::exp_pairs<R, FB>(a[0]);
    else if constexpr (sizeof(R) == 4)
      r[0] = cvec::on_halves(a[0], [](cvec::D v) { return cvec::exp_pairs<double, cvec::kHalves<F>>(v); });
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
  static Mask<R> vec_two(const V (&a)[2][1], V (&r)[2][1], const NoExtra&) {
    const simd::Parts<R> z = simd::split_parts<R>(a[0][0], a[1][0]);
    simd::Parts<R> w;
    const Mask<R> tiny = cvec::log_parts<R, F>(z.re, z.im, w.re, w.im);
    simd::join_parts<R>(w, r[0][0], r[1][0]);
    return Mask<R>(tiny | cvec::nonfinite_parts<R>(z) | cvec::zero_parts<R>(z));
  }
  static Mask<R> vec(const V (&a)[1], V (&r)[1], const NoExtra& ex) { return cvec::one_register<ComplexLn>(a, r, ex); }
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
  static Mask<R> vec_two(const V (&a)[2][1], V (&r)[2][1], const NoExtra&) {
    const simd::Parts<R> z = simd::split_parts<R>(a[0][0], a[1][0]);
    simd::Parts<R> w;
    const Mask<R> special = cvec::sqrt_parts<R, F>(z.re, z.im, w.re, w.im);
    simd::join_parts<R>(w, r[0][0], r[1][0]);
    return special;
  }
  static Mask<R> vec(const V (&a)[1], V (&r)[1], const NoExtra& ex) {
    return cvec::one_register<ComplexSqrt>(a, r, ex);
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
  static Mask<R> vec_two(const V (&a)[2][2], V (&r)[2][1], const NoExtra&) {
    return cvec::div_parts<R, F>(a[0][0], a[1][0], a[0][1], a[1][1], r[0][0], r[1][0]);
  }
  static Mask<R> vec(const V (&a)[2], V (&r)[1], const NoExtra& ex) { return cvec::one_register<ComplexDiv>(a, r, ex); }
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
