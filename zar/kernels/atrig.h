// Inverse circular functions: Atan, Atan2, Asin, Acos and their forms in units of pi (float
// and double, one algorithm).
//
// Atan(x) is atan2 of the point (1, x). With n = min(|y|, |x|) and d = max(|y|, |x|) the
// result is Q + s atan(n/d): Q = 0, pi/2 or pi and the sign s from whether n and d were
// swapped and from the sign of x; the sign of y goes on last. atan(n/d) = atan(c) + atan(tau)
// with c = j/8 picked from a 14-bit estimate of n/d and tau = (n - c d)/(d + c n),
// |tau| < 0.063, so one division and a short odd polynomial serve the whole range (HA picks
// c from 16 or 32 narrower intervals, so that tau stays small beside the result). Asin and
// Acos need no division: one odd polynomial of asin on [0, 1/2], taken at |x| or at
// sqrt((1 - |x|) / 2). The pi forms take the table, Q and the polynomial already divided by
// pi (Q / pi = 0, 1/2, 1 exactly). HA adds Q and the table value exactly and the rest in one
// rounding before the last; LA and EP use one part and differ in the polynomial. Only Asin and Acos have special lanes:
// |x| > 1, infinities and NaN go to the scalar routine.
#pragma once
#include <cmath>
#include <iterator>
#include <limits>

#include "zar/kernels/atrig_data.h"
#include "zar/kernels/trig.h"
#include "zar/kernels/twopart.h"

namespace nrx::zar::ops {

template <class T> using TwoReg = twopart::Two<Reg<T>>;

// Tables and constants of one type, for the plain (Pi = false) or pi-scaled results.
template <class T, bool Pi> struct AtrigTables;
template <> struct AtrigTables<double, false> {
  static constexpr const uint64_t *hi = atrig::kAtanHi, *lo = atrig::kAtanLo, *half = atrig::kHalfPi;
};
template <> struct AtrigTables<double, true> {
  static constexpr const uint64_t *hi = atrig::kAtanPiHi, *lo = atrig::kAtanPiLo;
  static constexpr uint64_t half[2] = {0x3FE0000000000000ull, 0};  // 0.5
};
template <> struct AtrigTables<float, false> {
  static constexpr const uint32_t *hi = atrig::kAtanHi_s, *lo = atrig::kAtanLo_s, *half = atrig::kHalfPi_s;
};
template <> struct AtrigTables<float, true> {
  static constexpr const uint32_t *hi = atrig::kAtanPiHi_s, *lo = atrig::kAtanPiLo_s;
  static constexpr uint32_t half[2] = {0x3F000000u, 0};  // 0.5
};
inline constexpr const uint64_t* inv_pi(double) { return atrig::kInvPi; }
inline constexpr const uint32_t* inv_pi(float) { return atrig::kInvPi_s; }

// Polynomial of atan(tau) (over pi when Pi): five coefficients for double HA and LA, two for
// double EP and float HA and LA, one for float EP.
template <class T, Flavour F, bool Pi> constexpr const auto& atan_poly() {
  if constexpr (sizeof(T) == 8) {
    if constexpr (F == Flavour::EP) return Pi ? atrig::kAtanPiPoly2 : atrig::kAtanPoly2;
    else if constexpr (F == Flavour::HA) return Pi ? atrig::kAtanPiNodePoly5 : atrig::kAtanNodePoly5;
    else return Pi ? atrig::kAtanPiPoly5 : atrig::kAtanPoly5;
  } else {
    if constexpr (F == Flavour::EP) return Pi ? atrig::kAtanPiPoly1_s : atrig::kAtanPoly1_s;
    else if constexpr (F == Flavour::HA) return Pi ? atrig::kAtanPiNodePoly2_s : atrig::kAtanNodePoly2_s;
    else return Pi ? atrig::kAtanPiPoly2_s : atrig::kAtanPoly2_s;
  }
}

// Nodes of the HA reduction and atan of them (over pi when Pi), by table position.
template <class T, bool Pi> struct AtanNodes;
template <> struct AtanNodes<double, false> {
  static constexpr const uint64_t *c = atrig::kAtanNode, *hi = atrig::kAtanNodeHi, *lo = atrig::kAtanNodeLo;
  static constexpr const uint64_t* half = atrig::kHalfPiGrid;
};
template <> struct AtanNodes<double, true> {
  static constexpr const uint64_t *c = atrig::kAtanNode, *hi = atrig::kAtanPiNodeHi, *lo = atrig::kAtanPiNodeLo;
  static constexpr uint64_t half[2] = {0x3FE0000000000000ull, 0};  // 0.5
};
template <> struct AtanNodes<float, false> {
  static constexpr const uint32_t *c = atrig::kAtanNode_s, *hi = atrig::kAtanNodeHi_s, *lo = atrig::kAtanNodeLo_s;
  static constexpr const uint32_t* half = atrig::kHalfPiGrid_s;
};
template <> struct AtanNodes<float, true> {
  static constexpr const uint32_t *c = atrig::kAtanNode_s, *hi = atrig::kAtanPiNodeHi_s, *lo = atrig::kAtanPiNodeLo_s;
  static constexpr uint32_t half[2] = {0x3F000000u, 0};  // 0.5
};
// The HA index: t~ clamped to [1/16, 1) and shifted right until 2 (double) or 3 (float)
// mantissa bits and the exponent's two low bits are left: 16 or 32 positions, one register
// pair lookup. 1 - 2^-p is the largest value below 1.
template <class T> struct AtanIndex;
template <> struct AtanIndex<double> {
  static constexpr int shift = 50;
  static constexpr double below_one = 0x1.fffffffffffffp-1;
};
template <> struct AtanIndex<float> {
  static constexpr int shift = 20;
  static constexpr float below_one = 0x1.fffffep-1f;
};

// HA lanes whose result falls below the normal range (n/d < ratio where Q = 0, outside
// `excluded`): the scalar routine divides in long double and rounds once.
template <class T> struct AtrigTiny;
template <> struct AtrigTiny<double> { static constexpr double ratio = 0x1p-960; };
template <> struct AtrigTiny<float> { static constexpr float ratio = 0x1p-90f; };
template <class T, Flavour F> inline Mask<T> tiny_lanes(Reg<T> n, Reg<T> d, Mask<T> excluded) {
  if constexpr (F != Flavour::HA) return 0;
  else return Mask<T>(simd::lt(n, simd::mul(d, simd::splat(AtrigTiny<T>::ratio))) & ~excluded);
}

// Atan and Atan2 (HA) take their ratio higher: below 2^-700 (double) or 2^-60 (float)
// atan t = t to far below the last bit, and above it n/d, the division's remainder and the
// low parts stay normal for every d from 2^-260 (2^-40) on -- the range the kernels take n
// and d as they are (AtrigRange). n 2^k < d: exact for every n and d, d below normal too.
template <class T> struct AtanTiny;
template <> struct AtanTiny<double> { static constexpr double scale = 0x1p700; };
template <> struct AtanTiny<float> { static constexpr float scale = 0x1p60f; };
template <class T, Flavour F> inline Mask<T> atan_tiny_lanes(Reg<T> n, Reg<T> d, Mask<T> excluded) {
  if constexpr (F != Flavour::HA) return 0;
  else return Mask<T>(simd::lt(simd::mul(n, simd::splat(AtanTiny<T>::scale)), d) & ~excluded);
}

// HA: Q + s atan(n/d) for 0 <= n <= d, as atan_quadrant below. c is the node of t's interval
// (16 or 32 intervals over [1/16, 1), each 1/4 or 1/8 of an octave wide; c = 0 below
// 5/64 or 9/128), tau = (n - c d) / (d + c n) with |tau| < 0.079 and |tau| < 0.11 atan(c)
// (0.06 for float): tau is corrected by the rest of the division, and the roundings of
// n - c d, d + c n and of the sum below Q + s atan(c) weigh at most a third (a fifth) of
// the result's last bit -- within 0.85 ulp in all, 0.65 seen. The sum is Q + s a_hi
// exactly, then everything else in one rounding. With Parts (and Lo) n - c d and d + c n
// are kept in two parts (p = c d rounded, n - p exact since c/t is in (1/2, 2);
// d - (d + c n) exact since c n <= d), tau and Q + s a summed exactly and the rounding
// error of the result stored in *rest when given. Unit (Atan): d = 1 wherever n/d lies below
// the first node and n and d are not swapped, and x >= 0 -- there tau = n is exact, and
// elsewhere its rounding weighs at most 0.06 (0.03) of the result's last bit, so the rest of
// the division is left out.
template <class T, bool Pi, bool Lo, bool Parts, bool Unit = false>
inline Reg<T> atan_quadrant_ha(TwoReg<T> n, TwoReg<T> d, Mask<T> sw, Mask<T> xn, Reg<T>* rest) {
  using simd::splat;
  using V = Reg<T>;
  using Nd = AtanNodes<T, Pi>;
  constexpr bool exact = Lo || Parts;
  const V ta =
      simd::min(simd::max(simd::mul(n.hi, simd::rcp14(d.hi)), splat(T(0.0625))), splat(AtanIndex<T>::below_one));
  const simd::IReg idx = simd::shift_right<AtanIndex<T>::shift>(ta);
  const V c = trig_table_sc(Nd::c, idx);
  V nh, dh, e = splat(T(0));
  if constexpr (exact) {
    const V p = simd::mul(c, d.hi);
    nh = simd::sub(n.hi, p);
    V nl = simd::fms(c, d.hi, p);  // n - c d = nh - nl
    dh = simd::fma(c, n.hi, d.hi);
    V dl = simd::fma(c, n.hi, simd::sub(d.hi, dh));  // d + c n = dh + dl
    if constexpr (Lo) {
      nl = simd::fma(c, d.lo, simd::sub(nl, n.lo));
      dl = simd::add(dl, simd::fma(c, n.lo, d.lo));
    }
    const V tau = simd::div(nh, dh);
    e = simd::fnma(tau, dl, simd::sub(simd::fnma(tau, dh, nh), nl));
    nh = tau;
  } else {
    dh = simd::fma(c, n.hi, d.hi);
    const V num = simd::fnma(c, d.hi, n.hi);
    nh = simd::div(num, dh);
    if constexpr (!Unit) e = simd::fnma(nh, dh, num);
  }
  const V tau = nh, tau_lo = Unit ? splat(T(0)) : simd::mul(e, simd::rcp14(dh));
  const V u = simd::mul(tau, tau);
  const V tu = simd::mul(tau, u), pu = simd::horner(u, atan_poly<T, Flavour::HA, Pi>());
  const V sg = simd::select(Mask<T>(sw ^ xn), simd::sign_mask<T>(), splat(T(0)));
  const V half = splat(simd::bits_to(Nd::half[0])), hl = splat(simd::bits_to(Nd::half[1]));
  const V qh = simd::select(sw, half, simd::select(xn, simd::add(half, half), splat(T(0))));
  const V ql = simd::select(sw, hl, simd::select(xn, simd::add(hl, hl), splat(T(0))));
  // Q_hi and a_hi are multiples of ulp(pi) (of 1 for the pi forms): exact.
  const V h = simd::add(qh, simd::bit_xor(trig_table_sc(Nd::hi, idx), sg));
  const V al = trig_table_sc(Nd::lo, idx);
  const V ih = splat(simd::bits_to(inv_pi(T())[0])), il = splat(simd::bits_to(inv_pi(T())[1]));
  if constexpr (Unit) {
    // sg and Q_lo are those of the swapped lanes only: Q_lo - with the sign is added there.
    V small = simd::add(al, Pi ? simd::fma(tu, pu, simd::mul(tau, il)) : simd::mul(tu, pu));
    if constexpr (!Pi) small = simd::add_where(sw, small, simd::negate<T>(hl));
    const V lo = simd::bit_xor(Pi ? simd::fma(tau, ih, small) : simd::add(tau, small), sg);
    return simd::add(h, lo);
  } else if constexpr (!Parts) {
    V small = simd::fma(tu, pu, Pi ? simd::fma(tau, il, simd::mul(tau_lo, ih)) : tau_lo);
    small = simd::add(simd::add(al, small), simd::bit_xor(ql, sg));
    const V lo = simd::bit_xor(Pi ? simd::fma(tau, ih, small) : simd::add(tau, small), sg);
    return simd::add(h, lo);
  } else {
    TwoReg<T> ts{tau, tau_lo};
    if constexpr (Pi) {
      ts = twopart::two_prod(tau, ih);
      ts.lo = simd::fma(tau_lo, ih, simd::fma(tau, il, ts.lo));
    }
    // |Q +- a| >= |tau| (or Q +- a = 0): exact.
    const TwoReg<T> t = twopart::fast_two_sum(h, simd::bit_xor(ts.hi, sg));
    const V small = simd::add(simd::add(al, ts.lo), simd::mul(tu, pu));
    const V lo = simd::add(t.lo, simd::add(ql, simd::bit_xor(small, sg)));
    const V v = simd::add(t.hi, lo);
    if (rest) *rest = simd::sub(lo, simd::sub(v, t.hi));
    return v;
  }
}

// Q + s atan(n/d) (over pi when Pi) for 0 <= n <= d with d finite and normal; lo parts of n
// and d are read in HA when Lo. sw: n and d were swapped (Q = pi/2, s = -1 unless x < 0);
// xn: x < 0 (Q = pi, s = -1 unless swapped). HA with Parts (and Lo) keeps the result in two
// parts, the rounding error of the result in *rest when given.
template <class T, Flavour F, bool Pi, bool Lo = false, bool Parts = Lo, bool Unit = false>
inline Reg<T> atan_quadrant(TwoReg<T> n, TwoReg<T> d, Mask<T> sw, Mask<T> xn, Reg<T>* rest = nullptr) {
  using simd::splat;
  using V = Reg<T>;
  using Tab = AtrigTables<T, Pi>;
  if constexpr (F == Flavour::HA) {
    return atan_quadrant_ha<T, Pi, Lo, Parts, Unit>(n, d, sw, xn, rest);
  } else {
    // j = round(8 (1 - 2^-12) t~): the bias keeps c/t below 2. Added to 1.5 2^p (p the
    // mantissa width) j lands in the low bits, where the table lookup reads it, and c = j/8
    // comes back exactly.
    constexpr T magic = sizeof(T) == 8 ? T(0x1.8p52) : T(0x1.8p23);
    const V ta = simd::mul(n.hi, simd::rcp14(d.hi));
    const V jr = simd::fma(ta, splat(T(8 - 0x1p-9)), splat(magic));
    const simd::IReg idx = simd::as_int(jr);
    const V c = simd::fms(jr, splat(T(0.125)), splat(T(magic / 8)));
    const V tau = simd::div(simd::fnma(c, d.hi, n.hi), simd::fma(c, n.hi, d.hi));
    const V u = simd::mul(tau, tau);
    const V tu = simd::mul(tau, u), pu = simd::horner(u, atan_poly<T, F, Pi>());
    const V sg = simd::select(Mask<T>(sw ^ xn), simd::sign_mask<T>(), splat(T(0)));
    const V half = splat(simd::bits_to(Tab::half[0]));
    const V qh = simd::select(sw, half, simd::select(xn, simd::add(half, half), splat(T(0))));
    const V ah = simd::bit_xor(trig_table(Tab::hi, idx), sg);
    const V small =
        Pi ? simd::fma(tau, splat(simd::bits_to(inv_pi(T())[0])), simd::mul(tu, pu)) : simd::fma(tu, pu, tau);
    return simd::add(simd::add(qh, ah), simd::bit_xor(small, sg));
  }
}

// Atan2 of (x, y) in the lanes of registers, NaN in either giving NaN; returns the tiny lanes.
// Zeros, infinities, NaN and d beyond the range where no step under- or overflows.
template <class T, Flavour F, bool Pi> inline Mask<T> atan2_full(Reg<T> y, Reg<T> x, Reg<T>& out) {
  using simd::splat;
  using V = Reg<T>;
  const V ay = simd::abs_of<T>(y), ax = simd::abs_of<T>(x);
  const Mask<T> sw = simd::gt(ay, ax);
  V n = simd::select(sw, ax, ay), d = simd::select(sw, ay, ax);
  // Two infinities make the ratio 1, an infinite d with finite n makes it 0; d = 0 means n = 0.
  const Mask<T> dinf = simd::fpclass<simd::kInf>(d);
  n = simd::select(dinf, simd::select(simd::eq(n, d), splat(T(1)), splat(T(0))), n);
  d = simd::select(Mask<T>(dinf | simd::eq(d, splat(T(0)))), splat(T(1)), d);
  const Mask<T> xn = simd::fpclass<simd::kNegative | simd::kNegZero | simd::kNegInf>(x);
  const Mask<T> tiny = atan_tiny_lanes<T, F>(n, d, Mask<T>(sw | xn));
  // d scaled into [1, 2): d + c n cannot overflow, and no product falls below the normal range.
  const V e = simd::negate<T>(simd::getexp(d));
  const V r = atan_quadrant<T, F, Pi>({simd::scalef(n, e), splat(T(0))}, {simd::scalef(d, e), splat(T(0))}, sw, xn);
  out = simd::select(simd::unordered(y, x), simd::add(y, x), simd::copysign<T>(r, y));
  return tiny;
}

// Bounds of |x| + |y| between which the kernels take n and d as they are: 1/d (the 14-bit
// estimate) stays normal, d + c n finite, and c d loses nothing that matters below the
// normal range (LA and EP) or every low part and remainder of HA stays normal (AtanTiny).
template <class T, Flavour F> struct AtrigRange;
template <Flavour F> struct AtrigRange<double, F> {
  static constexpr double lo = F == Flavour::HA ? 0x1p-260 : 0x1p-960, hi = 0x1p1020;
};
template <Flavour F> struct AtrigRange<float, F> {
  static constexpr float lo = F == Flavour::HA ? 0x1p-40f : 0x1p-100f, hi = 0x1p125f;
};

// Atan2 of (x, y): one test per register whether a lane needs the full treatment above (the
// quotients are the same: scaling n and d by a power of two changes none).
template <class T, Flavour F, bool Pi> inline Mask<T> atan2_body(Reg<T> y, Reg<T> x, Reg<T>& out) {
  using simd::splat;
  using V = Reg<T>;
  const V ay = simd::abs_of<T>(y), ax = simd::abs_of<T>(x);
  const V sum = simd::add(ay, ax);  // NaN if either is
  if (Mask<T>(simd::not_le(sum, splat(AtrigRange<T, F>::hi)) | simd::lt(sum, splat(AtrigRange<T, F>::lo))))
    return atan2_full<T, F, Pi>(y, x, out);
  const Mask<T> sw = simd::gt(ay, ax);
  const Mask<T> xn = simd::fpclass<simd::kNegative | simd::kNegZero>(x);
  const V n = simd::min(ay, ax), d = simd::max(ay, ax);
  const V r = atan_quadrant<T, F, Pi>({n, splat(T(0))}, {d, splat(T(0))}, sw, xn);
  out = simd::copysign<T>(r, y);
  return atan_tiny_lanes<T, F>(n, d, Mask<T>(sw | xn));
}

// Atan2 of (x, y) in two parts (HA) for finite x and y, not both zero; returns the lanes
// whose result falls below the normal range (a zero y is not one of them).
template <class T> inline Mask<T> atan2_parts(Reg<T> y, Reg<T> x, TwoReg<T>& out) {
  using V = Reg<T>;
  const V ay = simd::abs_of<T>(y), ax = simd::abs_of<T>(x);
  const Mask<T> sw = simd::gt(ay, ax);
  const V n = simd::select(sw, ax, ay), d = simd::select(sw, ay, ax);
  const Mask<T> xn = simd::fpclass<simd::kNegative | simd::kNegZero>(x);
  const Mask<T> tiny = Mask<T>(tiny_lanes<T, Flavour::HA>(n, d, Mask<T>(sw | xn)) & ~simd::fpclass<simd::kZero>(n));
  const V e = simd::negate<T>(simd::getexp(d));
  const V zero = simd::splat(T(0));
  V lo;
  const V hi = atan_quadrant<T, Flavour::HA, false, false, true>({simd::scalef(n, e), zero}, {simd::scalef(d, e), zero},
                                                                 sw, xn, &lo);
  // the result is Q + atan(n/d) >= 0 for y >= 0; y's sign goes on both parts
  const V sg = simd::bit_and(simd::sign_mask<T>(), y);
  out = {simd::bit_xor(hi, sg), simd::bit_xor(lo, sg)};
  return tiny;
}

template <class T, Flavour F, bool Pi> inline Mask<T> atan_body(Reg<T> x, Reg<T>& out) {
  using simd::splat;
  using V = Reg<T>;
  // Beyond 2^60, atan x rounds to pi/2 in both types; the bound also keeps infinities out.
  // min and max give their second operand where one is NaN: a NaN x stays in ax, n and d,
  // and every step passes it on, quieted, to the result.
  const V ax = simd::min(splat(T(0x1p60)), simd::abs_of<T>(x));
  const V one = splat(T(1)), n = simd::min(one, ax), d = simd::max(one, ax);
  const Mask<T> sw = simd::gt(ax, one);
  const V r = atan_quadrant<T, F, Pi, false, false, true>({n, splat(T(0))}, {d, splat(T(0))}, sw, Mask<T>(0));
  out = simd::copysign<T>(r, x);
  // the tiny lanes of atan_tiny_lanes: d = 1 below 1
  if constexpr (F != Flavour::HA) return 0;
  else return simd::lt(ax, splat(T(1) / AtanTiny<T>::scale));
}

// Polynomial of (asin t - t) / t^3 in t^2 on |t| <= 1/2: thirteen coefficients for double HA,
// twelve for LA, six for EP; six, five and two for float.
template <class T, Flavour F> constexpr const auto& asin_poly() {
  if constexpr (sizeof(T) == 8) {
    if constexpr (F == Flavour::HA) return atrig::kAsinPoly13;
    else if constexpr (F == Flavour::LA) return atrig::kAsinPoly12;
    else return atrig::kAsinPoly6;
  } else {
    if constexpr (F == Flavour::HA) return atrig::kAsinPoly6_s;
    else if constexpr (F == Flavour::LA) return atrig::kAsinPoly5_s;
    else return atrig::kAsinPoly2_s;
  }
}

// HA polynomials of the plain and pi forms: (asin t - t) / t^3, over pi when Pi.
template <class T, bool Pi> constexpr const auto& asin_poly_ha() {
  if constexpr (sizeof(T) == 8) return Pi ? atrig::kAsinPiPoly13 : atrig::kAsinPoly13;
  else return Pi ? atrig::kAsinPiPoly6_s : atrig::kAsinPoly6_s;
}

// Asin (Cos = false) or Acos of the lanes with |x| <= 1; returns the other lanes. For
// |x| <= 1/2, asin |x| = a(|x|) with a(t) = t + t^3 P(t^2); above, asin |x| = pi/2 - 2 a(s)
// with s = sqrt(z), z = (1 - |x|) / 2 exact. The result is Q -+ k (s + s z P(z)) (over pi
// when Pi), k = 1 or 2: Q = 0 or pi/2 for Asin, pi/2, 0 or pi for Acos. HA keeps k s, the
// low part of the root (z - s^2) / 2s and Q in two parts and rounds once.
template <class T, Flavour F, bool Pi, bool Cos> inline Mask<T> asin_body(Reg<T> x, Reg<T>& out) {
  using simd::splat;
  using V = Reg<T>;
  using Tab = AtrigTables<T, Pi>;
  const V ax = simd::abs_of<T>(x), half = splat(T(0.5));
  const Mask<T> sp = simd::not_le(ax, splat(T(1)));
  const Mask<T> big = simd::gt(ax, half);
  const V z = simd::select(big, simd::fnma(ax, half, half), simd::mul(ax, ax));
  const V s = simd::select(big, simd::sqrt(z), ax);
  const V qh0 = splat(simd::bits_to(Tab::half[0]));
  const Mask<T> qhalf = Cos ? Mask<T>(~big) : big;
  const Mask<T> qone = Mask<T>(Cos ? big & simd::fpclass<simd::kNegative | simd::kNegZero>(x) : 0);
  const V qh = simd::select(qhalf, qh0, simd::select(qone, simd::add(qh0, qh0), splat(T(0))));
  V r;
  if constexpr (F != Flavour::HA) {
    // m = +-k with the sign: Asin -2 above 1/2 (the sign of x goes on last); Acos -1 times
    // the sign of x below 1/2, 2 or -2 above for x >= 0 or x < 0. The result is
    // Q + m u with u = s + s z P(z).
    V m = simd::select(big, splat(T(Cos ? 2 : -2)), splat(T(Cos ? -1 : 1)));
    if constexpr (Cos) m = simd::bit_xor(m, simd::bit_and(x, simd::sign_mask<T>()));
    // The long polynomial (double LA) with even and odd coefficients apart: half the
    // dependent steps of Horner's, which the short ones do not need.
    const auto& poly = asin_poly<T, F>();
    V pz;
    if constexpr (std::size(poly) >= 10) pz = simd::horner_split(z, simd::mul(z, z), poly);
    else pz = simd::horner(z, poly);
    const V sz = simd::mul(s, z);
    if constexpr (Pi) {
      // Q and m s first, the product unrounded: Q - m s/pi cancels to a third of Q where
      // Asinpi passes 1/2.
      const V ih = splat(simd::bits_to(inv_pi(T())[0]));
      r = simd::fma(simd::mul(simd::mul(sz, m), pz), ih, simd::fma(simd::mul(s, m), ih, qh));
    } else {
      r = simd::fma(simd::fma(sz, pz, s), m, qh);
    }
  } else {
    // k carries the sign: negated for Asin above 1/2, for Acos below 1/2 with x >= 0 and
    // above 1/2 with x < 0.
    const Mask<T> xn = simd::fpclass<simd::kNegative | simd::kNegZero>(x);
    const Mask<T> neg = Cos ? Mask<T>(~(big ^ xn)) : big;
    const V k = simd::bit_xor(simd::select(big, splat(T(2)), splat(T(1))),
                              simd::select(neg, simd::sign_mask<T>(), splat(T(0))));
    // l = s z P(z) and the low part of the root, (z - s^2) / 2s, both over pi when Pi.
    V l = simd::mul(simd::mul(s, z), simd::horner(z, asin_poly_ha<T, Pi>()));
    // s is 0 or above 2^-27 (2^-13 for float): the floor only keeps 0 * (1/0) away.
    const V inv2s = simd::mul(splat(T(Pi ? 0.5 * 0.318309886183790671537767526745028724 : 0.5)),
                              simd::rcp14(simd::max(s, splat(T(0x1p-40)))));
    l = simd::add_where(big, l, simd::mul(simd::fnma(s, s, z), inv2s));
    const V ks = simd::mul(k, s);  // exact
    TwoReg<T> a{ks, simd::mul(k, l)};
    if constexpr (Pi) {
      const V ih = splat(simd::bits_to(inv_pi(T())[0])), il = splat(simd::bits_to(inv_pi(T())[1]));
      const TwoReg<T> p = twopart::two_prod(ks, ih);
      a = {p.hi, simd::fma(k, l, simd::fma(ks, il, p.lo))};
    }
    // |Q| >= k s (k s <= 1 where Q = pi/2): the sum is exact.
    const TwoReg<T> t = twopart::fast_two_sum(qh, a.hi);
    V lo = t.lo;
    // The low part of Q (none for the pi forms, where Q is 0, 1/2 or 1): Q_lo / Q_hi is the
    // same for pi/2 and pi, and its rounding weighs nothing beside the last bit.
    if constexpr (!Pi) lo = simd::fma(qh, splat(simd::bits_to(Tab::half[1]) / simd::bits_to(Tab::half[0])), lo);
    r = simd::add(t.hi, simd::add(lo, a.lo));
  }
  out = Cos ? r : simd::copysign<T>(r, x);
  if constexpr (Cos) return sp;  // acos x is 0 or above 2^-27
  else return Mask<T>(sp | tiny_lanes<T, F>(ax, splat(T(1)), Mask<T>(0)));
}

// The tiny lanes: y/x (times 1/pi) in long double, rounded once; atan t - t is below t 2^-1900.
// A zero y (over x = +0 too) keeps its sign.
template <class T, bool Pi> inline T atan_tiny(T y, T x) {
  const long double k = Pi ? 0.318309886183790671537767526745028724L : 1.0L;
  const T yd = simd::daz(y);
  return yd == 0 ? yd : T((long double)yd / (long double)simd::daz(x) * k);
}

// Scalar routine of Asin and Acos: NaN (code 0), |x| > 1 and the infinities (NaN, code 1),
// and the tiny lanes of Asin (|x| <= 1).
template <class T, bool Pi> inline int32_t asin_scalar(T x, T* r) {
  if (std::isnan(x)) {
    *r = x + x;
    return ZAR_ST_NONE;
  }
  if (std::fabs(x) <= T(1)) {
    *r = atan_tiny<T, Pi>(x, T(1));
    return ZAR_ST_NONE;
  }
  *r = std::numeric_limits<T>::quiet_NaN();
  return ZAR_ST_DOMAIN;
}

template <class T, Flavour F, bool Pi> struct AtanOf : Unary<T> {
  using V = Reg<T>;
  static Mask<T> vec(const V (&a)[1], V (&r)[1], const NoExtra&) { return atan_body<T, F, Pi>(a[0], r[0]); }
  static int32_t scalar(const T* const* a, T* const* r, const NoExtra&) {
    *r[0] = atan_tiny<T, Pi>(*a[0], T(1));
    return ZAR_ST_NONE;
  }
};

template <class T, Flavour F, bool Pi> struct Atan2Of : Binary<T> {
  using V = Reg<T>;
  static Mask<T> vec(const V (&a)[2], V (&r)[1], const NoExtra&) { return atan2_body<T, F, Pi>(a[0], a[1], r[0]); }
  static int32_t scalar(const T* const* a, T* const* r, const NoExtra&) {
    *r[0] = atan_tiny<T, Pi>(*a[0], *a[1]);
    return ZAR_ST_NONE;
  }
};

template <class T, Flavour F, bool Pi, bool Cos> struct AsinOf : Unary<T> {
  using V = Reg<T>;
  static Mask<T> vec(const V (&a)[1], V (&r)[1], const NoExtra&) { return asin_body<T, F, Pi, Cos>(a[0], r[0]); }
  static int32_t scalar(const T* const* a, T* const* r, const NoExtra&) { return asin_scalar<T, Pi>(*a[0], r[0]); }
};

template <class T, Flavour F> struct Atan : AtanOf<T, F, false> { static constexpr const char* kName = "Atan"; };
template <class T, Flavour F> struct Atanpi : AtanOf<T, F, true> { static constexpr const char* kName = "Atanpi"; };
template <class T, Flavour F> struct Atan2 : Atan2Of<T, F, false> { static constexpr const char* kName = "Atan2"; };
template <class T, Flavour F> struct Atan2pi : Atan2Of<T, F, true> { static constexpr const char* kName = "Atan2pi"; };
template <class T, Flavour F> struct Asin : AsinOf<T, F, false, false> { static constexpr const char* kName = "Asin"; };
template <class T, Flavour F> struct Asinpi : AsinOf<T, F, true, false> {
  static constexpr const char* kName = "Asinpi";
};
template <class T, Flavour F> struct Acos : AsinOf<T, F, false, true> { static constexpr const char* kName = "Acos"; };
template <class T, Flavour F> struct Acospi : AsinOf<T, F, true, true> {
  static constexpr const char* kName = "Acospi";
};

}  // namespace nrx::zar::ops
