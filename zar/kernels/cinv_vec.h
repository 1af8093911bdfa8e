// Vector bodies of the complex inverse functions Asin, Acos, Atan, Asinh, Acosh, Atanh for
// float parts, computed in double, and for double parts, in two parts where a rounding would
// reach the result's ulp. Both work on eight elements at a time, a register of real parts and
// one of imaginary parts (double pairs arrive so from the frame).
//
// A float register of eight (re, im) pairs is widened to two double registers and split into
// one register of the eight real parts and one of the eight imaginary parts, so every double
// lane works on its own element. Squares of float parts neither overflow nor underflow in
// double, so the cores need no scaling, and their rounding errors (a few double ulps: no step
// cancels) stay far below half a float ulp of the result.
//
// The arc sine core (Hull, Fairgrieve and Tang) on X, Y >= 0: R = |z + 1|, S = |z - 1|,
// A = (R + S) / 2, B = X / A. Re asin = atan2(X, d) and Re acos = atan2(d, X) with
// d = sqrt(A^2 - X^2): (A - X)(A + X) where B <= 0.6417, else with A - X taken apart
// without cancellation (X <= 1 and X > 1 differently). The imaginary part is
// log1p(Am1 + sqrt(Am1 (A + 1))) with Am1 = A - 1 formed from its parts where A <= 1.5.
// The inverse hyperbolic tangent core (Kahan): 1/4 log1p(4X / ((1 - X)^2 + Y^2)) and
// 1/2 atan2(2Y, 1 - X^2 - Y^2), the squares exact and their sum kept in two parts, so
// 1 - |z|^2 near the unit circle is exact before its one rounding.
// asin z = -i asinh(iz), atan z = -i atanh(iz) and acosh z = +-i acos z give the other
// functions; signs come back by the symmetries of each function.
#pragma once
#include <cstdint>
#include <numbers>

#include "zar/kernels/atrig.h"
#include "zar/kernels/log.h"
#include "zar/kernels/twopart.h"

namespace nrx::zar::ops::cinvvec {

using D = ::nrx::simd::Reg<double>;
using DM = ::nrx::simd::Mask<double>;

using Parts = ::nrx::simd::Parts<double>;

// The eight real parts and the eight imaginary parts of a float register of pairs, in double.
inline Parts split(::nrx::simd::Reg<float> a) { return simd::widen_parts(a); }

// The pairs (re[j], im[j]) rounded to a float register.
inline ::nrx::simd::Reg<float> join(Parts p) { return simd::narrow_parts(p); }

// ln(1 + t) for t >= 0: the logarithm of u = 1 + t with its reduction taken from t itself.
inline D log1p_of(D t) { return log_body<double, Flavour::LA, Base::E, true, true>(simd::add(t, simd::splat(1.0)), t); }

inline D atan2_of(D y, D x) {
  D out;
  atan2_body<double, Flavour::LA, false>(y, x, out);  // no tiny lanes: float parts keep y/x above 2^-300
  return out;
}

// Re asin (in [0, pi/2]), Re acos and |Im asin| of X + iY for X, Y >= 0 from float parts;
// Re acos is that of -X + iY in the lanes of xneg.
struct ArcSine {
  D re_asin, re_acos, im;
};

inline D reflect(D re_acos, DM xneg) {
  return simd::select(xneg, simd::sub(simd::splat(std::numbers::pi), re_acos), re_acos);
}

inline ArcSine arc_sine(D X, D Y, DM xneg) {
  using simd::add, simd::sub, simd::mul, simd::div, simd::sqrt, simd::select, simd::splat;
  const D one = splat(1.0), half = splat(0.5);
  const D yy = mul(Y, Y);
  const D xp1 = add(X, one), xm1 = sub(X, one), omx = sub(one, X);
  const D R = sqrt(simd::fma(xp1, xp1, yy)), S = sqrt(simd::fma(xm1, xm1, yy));
  const D A = mul(add(R, S), half), B = div(X, A);
  const D rx1 = add(R, xp1);  // R + (X + 1): no cancellation
  const D y_rx1 = div(yy, rx1);
  const DM x_below1 = simd::lt(X, one), x_atmost1 = simd::le(X, one);
  // sqrt(A^2 - X^2)
  const D ax = mul(add(A, X), half);
  const D d_near =
      select(x_atmost1, sqrt(mul(ax, add(y_rx1, add(S, omx)))), mul(Y, sqrt(add(div(ax, rx1), div(ax, add(S, xm1))))));
  const D d = select(simd::le(B, splat(0.6417)), sqrt(mul(sub(A, X), add(A, X))), d_near);
  // A - 1
  const D am1_near = mul(half, add(y_rx1, select(x_below1, div(yy, add(S, omx)), add(S, xm1))));
  const D am1 = select(simd::le(A, splat(1.5)), am1_near, sub(A, one));
  return {atan2_of(X, d), reflect(atan2_of(d, X), xneg), log1p_of(add(am1, sqrt(mul(am1, add(A, one)))))};
}

// Re atanh and |Im atanh| of X + iY for X, Y >= 0 from float parts; X = 1, Y = 0 gives an
// infinite real part (the caller's pole).
inline Parts arc_tanh(D X, D Y) {
  using simd::add, simd::sub, simd::mul, simd::splat;
  const D one = splat(1.0);
  const D xx = mul(X, X), yy = mul(Y, Y);  // exact
  const D omx = sub(one, X);
  const D re = mul(log1p_of(simd::div(mul(X, splat(4.0)), simd::fma(omx, omx, yy))), splat(0.25));
  const twopart::Two<D> s = twopart::two_sum(xx, yy);
  const D den = sub(sub(one, s.hi), s.lo);  // 1 - s.hi is exact where it cancels
  return {re, mul(atan2_of(add(Y, Y), den), splat(0.5))};
}

using T2 = twopart::Two<D>;

// a + b exactly for a, b >= 0: the larger and the smaller by max and min, so the rounding
// error of the sum takes two subtractions (Dekker's fast sum).
inline T2 sum_exact(D a, D b) {
  const D s = simd::add(a, b);
  return {s, simd::sub(simd::min(a, b), simd::sub(s, simd::max(a, b)))};
}
// a + b for a, b >= 0 in two parts, the low part the sum's error and both low parts, not
// renormalised: it stays within a few ulp of the high part, which every step below allows for.
inline T2 sum(T2 a, T2 b) {
  const T2 s = sum_exact(a.hi, b.hi);
  return {s.hi, simd::add(s.lo, simd::add(a.lo, b.lo))};
}
inline T2 sum(T2 a, D b) {
  const T2 s = sum_exact(a.hi, b);
  return {s.hi, simd::add(s.lo, a.lo)};
}
// x^2 + y^2 for x >= 0 in two parts and y^2 = yy exact, renormalised (the root reads its high part).
inline T2 sum_squares(T2 x, T2 yy) {
  const T2 p = twopart::two_prod(x.hi, x.hi);
  const D pl = simd::fma(simd::add(x.hi, x.hi), x.lo, p.lo);  // x.lo^2 is below 2^-106 of the sum
  const T2 s = sum_exact(p.hi, yy.hi);
  return twopart::fast_two_sum(s.hi, simd::add(s.lo, simd::add(pl, yy.lo)));
}

// sqrt(s.hi + s.lo) in two parts, s.lo within a few ulp of s.hi: the root of the high part
// and the correction (s - h^2) / 2h from the 14-bit reciprocal, a few ulp of h at most, so
// its error weighs 2^-64 of the root (the floor keeps 0 * (1/0) away from a zero root).
inline T2 sqrt_wide(T2 s) {
  const D h = simd::sqrt(s.hi);
  const D inv2h = simd::mul(simd::splat(0.5), simd::rcp14(simd::max(h, simd::splat(0x1p-600))));
  return {h, simd::mul(simd::add(simd::fnma(h, h, s.hi), s.lo), inv2h)};
}
// a / b for b > 0 in two parts: the quotient of the high parts and the exact remainder over b
// from the 14-bit reciprocal (the remainder is a few ulp of the quotient: its own error counts
// at 2^-64), in place of a second division.
inline T2 div_wide(T2 a, T2 b) {
  const D q = simd::div(a.hi, b.hi);
  const D r = simd::add(simd::fnma(q, b.lo, simd::fnma(q, b.hi, a.hi)), a.lo);
  return {q, simd::mul(r, simd::rcp14(b.hi))};
}
inline T2 halved(T2 a) { return {simd::mul(a.hi, simd::splat(0.5)), simd::mul(a.lo, simd::splat(0.5))}; }
inline T2 pick(DM m, T2 a, T2 b) { return {simd::select(m, a.hi, b.hi), simd::select(m, a.lo, b.lo)}; }

// atan2(y, x) for y, x >= 0 in two parts, the larger of them in [1/2, 2^31]: the reduction's
// remainders and low parts stay normal without scaling. atan2(y, -x) in the lanes of xneg.
inline D atan2_wide(T2 y, T2 x, DM xneg) {
  const DM sw = simd::gt(y.hi, x.hi);
  return atan_quadrant<double, Flavour::HA, false, true>(pick(sw, x, y), pick(sw, y, x), sw, xneg);
}

// ln(1 + t) for t >= 0 in two parts: below 2^-15, t - t^2/2 + t^3/3 - t^4/4 (2^-62 of the
// result left out) with t's low part added before the one rounding (1 + t rounded would lose
// bits of t that the logarithm's own sum rounds a second time); above, the logarithm of 1 + t
// rounded plus the rest over it, computed only when a lane needs it.
inline D log1p_wide(T2 t) {
  using simd::splat;
  const D tt = simd::mul(t.hi, t.hi);
  const D p = simd::fma(t.hi, simd::fma(t.hi, splat(-0.25), splat(1.0 / 3)), splat(-0.5));
  const D small = simd::add(t.hi, simd::fma(tt, p, t.lo));
  const DM is_small = simd::lt(t.hi, splat(0x1p-15));
  if (is_small == DM(0xff)) return small;
  const T2 u = twopart::two_sum(splat(1.0), t.hi);
  const D big = log_body<double, Flavour::HA, Base::E>(u.hi, simd::div(simd::add(u.lo, t.lo), u.hi));
  return simd::select(is_small, small, big);
}

// The arc sine core for double parts X, Y >= 0, each zero or in [2^-250, 2^250], at most
// 2^28: every quantity in two parts (X + 1 and |X - 1| exact), so atan2 and ln(1 + t) read
// arguments accurate far below the result's ulp. With P = S + |X - 1| and Q = Y^2 / P =
// S - |X - 1|, 2(A - X) = Y^2 / (R + X + 1) + (S - (X - 1)) and 2(A - 1) = Y^2 / (R + X + 1) +
// (S + (X - 1)), each a sum of terms >= 0 on either side of X = 1: two divisions serve both
// differences. The doubled quantities are kept (no halving on the way): 4(A - X)(A + X) =
// (2d)^2, atan2 reads 2d against 2X, and 2t = 2(A - 1) + sqrt(2(A - 1) (2A + 2)).
// Re is that of acos (of -X + iY in the lanes of xneg) when Acos, else that of asin.
template <bool Acos> inline Parts arc_sine_near(D X, D Y, DM xneg) {
  using simd::splat;
  const D one = splat(1.0);
  const DM x_atmost1 = simd::le(X, one), x_below1 = simd::lt(X, one);
  const D big = simd::max(X, one), small = simd::min(X, one);
  const D xp1h = simd::add(X, one), dxh = simd::sub(big, small);
  const T2 xp1 = {xp1h, simd::sub(small, simd::sub(xp1h, big))};  // X + 1
  const T2 dx = {dxh, simd::sub(simd::sub(big, dxh), small)};     // |X - 1|
  const T2 yy = twopart::two_prod(Y, Y);
  const T2 R = sqrt_wide(sum_squares(xp1, yy)), S = sqrt_wide(sum_squares(dx, yy));
  const T2 A2 = sum(R, S);  // 2A
  const T2 y_rx1 = div_wide(yy, sum(R, xp1));
  const T2 P = sum(S, dx);
  const T2 Q = div_wide(yy, P);  // NaN at X = 1, Y = 0, where only P is picked
  const T2 amx2 = sum(y_rx1, pick(x_atmost1, P, Q));
  const T2 am12 = sum(y_rx1, pick(x_below1, Q, P));
  const D x2 = simd::add(X, X);
  const T2 d2 = sqrt_wide(twopart::mul_loose(amx2, sum(A2, x2)));  // 2 sqrt(A^2 - X^2)
  const T2 ap2 = twopart::fast_two_sum(A2.hi, splat(2.0));         // 2A >= 2
  const T2 t2 = sum(am12, sqrt_wide(twopart::mul_loose(am12, T2{ap2.hi, simd::add(ap2.lo, A2.lo)})));
  const T2 x2w{x2, splat(0.0)};
  return {Acos ? atan2_wide(d2, x2w, xneg) : atan2_wide(x2w, d2, DM(0)), log1p_wide(halved(t2))};
}

// Far from the branch points, max(X, Y) >= 2^28: A^2 - X^2 = Y^2 (1 + 1/|z|^2 + ...) and
// A + sqrt(A^2 - 1) = 2|z| (1 + O(|z|^-2)), so Re asin = atan2(X, Y), Re acos = atan2(Y, X)
// to a relative 2^-57 and |Im| = ln 2|z| to 2^-58 of a value above 20: the double atan2 and
// logarithm of the parts and of their plain hypotenuse stay within the ulp bound.
inline DM far(D X, D Y) { return simd::ge(simd::max(X, Y), simd::splat(0x1p28)); }
template <bool Acos> inline Parts arc_sine_far(D X, D Y, DM xneg) {
  D re;
  if constexpr (Acos) atan2_body<double, Flavour::HA, false>(Y, simd::select(xneg, simd::negate<double>(X), X), re);
  else atan2_body<double, Flavour::HA, false>(X, Y, re);
  const D r = simd::sqrt(simd::fma(X, X, simd::mul(Y, Y)));
  return {re, log_body<double, Flavour::HA, Base::E, false>(simd::add(r, r), simd::splat(0.0))};
}

// Both forms, each computed only where a lane needs it.
template <bool Acos> inline Parts arc_sine_wide(D X, D Y, DM xneg) {
  const DM f = far(X, Y);
  if (f == DM(0xff)) return arc_sine_far<Acos>(X, Y, xneg);
  const Parts n = arc_sine_near<Acos>(X, Y, xneg);
  if (f == 0) return n;
  const Parts w = arc_sine_far<Acos>(X, Y, xneg);
  return {simd::select(f, w.re, n.re), simd::select(f, w.im, n.im)};
}

// Double parts (type z), in two parts where a rounding would reach the result's ulp: Re and
// |Im| of atanh(X + iY) for X, Y >= 0, each zero or in [2^-250, 2^250]. |1 - X| is exact in
// two parts, the squares and (1 - X)^2 + Y^2 two-part and the quotient 4X / ((1 - X)^2 + Y^2)
// two-part, its ln(1 + q) the logarithm of 1 + q rounded plus the rest over it; 1 - X^2 - Y^2
// from exact squares in two parts and atan2 of it with its low part. off receives the lanes where
// 1 - |z|^2 cancels beyond 2^-30 of |z|^2 + 1 (the low parts no longer cover the result)
// and the pole X = 1, Y = 0.
inline Parts arc_tanh_wide(D X, D Y, DM& off) {
  using simd::add, simd::mul, simd::splat, simd::select;
  const D one = splat(1.0), zero = splat(0.0);
  const D big = simd::max(X, one), small = simd::min(X, one), omxh = simd::sub(big, small);
  const T2 omx = {omxh, simd::sub(simd::sub(big, omxh), small)};  // |1 - X|
  const T2 xx = twopart::two_prod(X, X), yy = twopart::two_prod(Y, Y);
  const T2 q = div_wide(T2{mul(X, splat(4.0)), zero}, sum_squares(omx, yy));
  const D re = mul(log1p_wide(q), splat(0.25));
  // 1 - (X^2 + Y^2): the sum exact in two parts, then 1 minus its high part exact
  const T2 s = sum_exact(xx.hi, yy.hi);
  const T2 h = twopart::two_sum(one, simd::negate<double>(s.hi));
  const T2 d = twopart::fast_two_sum(h.hi, simd::sub(h.lo, add(s.lo, add(xx.lo, yy.lo))));
  const D ad = simd::abs_of<double>(d.hi);
  off = DM(off | simd::not_ge(ad, mul(splat(0x1p-30), add(one, s.hi))));
  // atan2(2Y, d) with d in two parts, n <= dd: the larger lies in [2^-30, 2^502] where the lanes
  // stay, and their ratio above 2^-750, so the reduction's remainders and low parts stay normal
  // unscaled
  const DM xn = simd::fpclass<simd::kNegative | simd::kNegZero>(d.hi);
  const D dl = select(xn, simd::negate<double>(d.lo), d.lo);
  const D ay = add(Y, Y);
  const DM sw = simd::gt(ay, ad);
  const T2 n{select(sw, ad, ay), select(sw, dl, zero)}, dd{select(sw, ay, ad), select(sw, zero, dl)};
  const D im = atan_quadrant<double, Flavour::HA, false, true>(n, dd, sw, xn);
  return {re, mul(im, splat(0.5))};
}

// Elements whose real or imaginary part is neither zero nor in [2^-250, 2^250] (infinities
// and NaN included).
inline DM outside_wide(D x, D y) {
  const auto in = [](D v) {
    const D a = simd::abs_of<double>(v);
    return DM((simd::ge(a, simd::splat(0x1p-250)) & simd::le(a, simd::splat(0x1p250))) | simd::fpclass<simd::kZero>(v));
  };
  return DM(~(in(x)&in(y)));
}

inline D abs(D v) { return simd::abs_of<double>(v); }
inline D sign_of(D mag, D s) { return simd::copysign<double>(mag, s); }
inline DM negative(D x) { return simd::fpclass<simd::kNegative | simd::kNegZero>(x); }

// The six functions of (x, y), finite, eight elements to a register of real parts and one of
// imaginary parts. eval runs the float parts' core (arc_sine, arc_tanh), eval_wide the double
// parts' one (arc_sine_wide, arc_tanh_wide) and marks in off the elements it leaves.
struct AsinBody {
  static Parts eval(D x, D y) {
    const ArcSine s = arc_sine(abs(x), abs(y), DM(0));
    return {sign_of(s.re_asin, x), sign_of(s.im, y)};
  }
  static Parts eval_wide(D x, D y, DM& off) {
    off = outside_wide(x, y);
    const Parts s = arc_sine_wide<false>(abs(x), abs(y), DM(0));
    return {sign_of(s.re, x), sign_of(s.im, y)};
  }
};
struct AsinhBody {
  static Parts eval(D x, D y) {
    const ArcSine s = arc_sine(abs(y), abs(x), DM(0));
    return {sign_of(s.im, x), sign_of(s.re_asin, y)};
  }
  static Parts eval_wide(D x, D y, DM& off) {
    off = outside_wide(x, y);
    const Parts s = arc_sine_wide<false>(abs(y), abs(x), DM(0));
    return {sign_of(s.im, x), sign_of(s.re, y)};
  }
};
struct AcosBody {
  static Parts eval(D x, D y) {
    const ArcSine s = arc_sine(abs(x), abs(y), negative(x));
    return {s.re_acos, simd::negate<double>(sign_of(s.im, y))};
  }
  static Parts eval_wide(D x, D y, DM& off) {
    off = outside_wide(x, y);
    const Parts s = arc_sine_wide<true>(abs(x), abs(y), negative(x));
    return {s.re, simd::negate<double>(sign_of(s.im, y))};
  }
};
struct AcoshBody {
  static Parts eval(D x, D y) {
    const ArcSine s = arc_sine(abs(x), abs(y), negative(x));
    return {s.im, sign_of(s.re_acos, y)};
  }
  static Parts eval_wide(D x, D y, DM& off) {
    off = outside_wide(x, y);
    const Parts s = arc_sine_wide<true>(abs(x), abs(y), negative(x));
    return {s.im, sign_of(s.re, y)};
  }
};
struct AtanhBody {
  static Parts eval(D x, D y) {
    const Parts w = arc_tanh(abs(x), abs(y));
    return {sign_of(w.re, x), sign_of(w.im, y)};
  }
  static Parts eval_wide(D x, D y, DM& off) {
    off = outside_wide(x, y);
    const Parts w = arc_tanh_wide(abs(x), abs(y), off);
    return {sign_of(w.re, x), sign_of(w.im, y)};
  }
};
struct AtanBody {
  static Parts eval(D x, D y) {
    const Parts w = arc_tanh(abs(y), abs(x));
    return {sign_of(w.im, x), sign_of(w.re, y)};
  }
  static Parts eval_wide(D x, D y, DM& off) {
    off = outside_wide(x, y);
    const Parts w = arc_tanh_wide(abs(y), abs(x), off);
    return {sign_of(w.im, x), sign_of(w.re, y)};
  }
};

}  // namespace nrx::zar::ops::cinvvec
