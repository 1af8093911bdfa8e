// Inverse error-function family: ErfInv, ErfcInv, CdfNormInv (float and double, one algorithm).
//
// Each argument becomes a central variable x and the exact distance u of the value from
// its nearer end: ErfInv x = p, u = 1 - |p|; ErfcInv x = 1 - p, u = min(p, 2 - p);
// CdfNormInv x = 2p - 1, u = 2 min(p, 1 - p). With w = -ln(u (2 - u)) = -ln(1 - x^2), for
// w <= 5 (|x| <= 0.9966, every lane of most registers) y = |x| P(w), one polynomial;
// registers with a lane beyond take it from the tail: y = g(v), v = sqrt(-log2 u), g a
// polynomial on one of 15 intervals of v picked by the leading bits of v + 2, in double
// (tools/erfinv_gen.py). The result takes the sign of x. LA and EP (inv_w_body) run in the
// element type's lanes; HA (inv_w_wide) too, with P's constant and linear terms taken from
// the logarithm's reduction exactly (a table entry and a multiple of the exponent), the
// rest small, and one rounding of the product with x (CdfNormInv's set scaled by sqrt(2));
// double HA's tail keeps v and its constant term in two parts, float HA's runs in double
// on each half register. inv_two_part is the scalar routine: |x| <= 9/16 from a polynomial
// in x^2, the tail as above, every step in two-part arithmetic.
#pragma once
#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <limits>
#include <type_traits>

#include "zar/kernels/erfinv_data.h"
#include "zar/kernels/log.h"

namespace nrx::zar::ops {

enum class InvKind { Erf, Erfc, CdfNorm };

// The generated set of an element type and flavour: float HA and LA take double EP's
// (2^-30 relative), float EP its own.
template <class T, Flavour F> using InvSet = std::conditional_t<
    std::is_same_v<T, double>,
    std::conditional_t<F == Flavour::HA, special::ErfInvHA_d,
                       std::conditional_t<F == Flavour::LA, special::ErfInvLA_d, special::ErfInvEP_d>>,
    std::conditional_t<F == Flavour::EP, special::ErfInvEP_s, special::ErfInvEP_d>>;

// g(sqrt(-log2 u)) = hi + lo for 0 < u < 7/16; Wide: v and the constant term in two parts
// (lo = 0 otherwise).
template <class S, bool Wide, bool Short> inline twopart::Two<Reg<double>> inv_tail(Reg<double> u) {
  using simd::splat;
  using D = Reg<double>;
  D v, v_lo = splat(0.0);
  if constexpr (Short) {
    v = simd::sqrt(simd::negate<double>(log_body<double, Flavour::EP, Base::Two, false>(u, u)));
  } else {
    const twopart::Two<D> l = log2_wide(u);
    const D l_hi = simd::negate<double>(l.hi);
    v = simd::sqrt(l_hi);
    // (l - v^2) / (2 v): the square root's correction, l = -(l.hi + l.lo).
    if constexpr (Wide) v_lo = simd::div(simd::sub(simd::fnma(v, v, l_hi), l.lo), simd::add(v, v));
  }
  const auto& tab = S::tail;
  constexpr int rows = int(std::extent_v<std::remove_reference_t<decltype(tab)>>);
  const simd::IReg idx = simd::shift_right<50>(simd::add(v, splat(2.0)));  // exponent and two bits of v + 2
  const D t = simd::sub(v, table16<double>(tab[0], idx));                  // exact: v lies within the centre's binade
  D q = table16<double>(tab[rows - 1], idx);
  for (int k = rows - 2; k >= (Wide ? 4 : 3); --k) q = simd::fma(q, t, table16<double>(tab[k], idx));
  const D c0 = table16<double>(tab[1], idx);
  if constexpr (!Wide) return {simd::fma(t, q, c0), splat(0.0)};
  // c0 + c1 t exactly in two parts, then the low parts: c0's, v's through the linear term
  // and t^2 (c2 + c3 t + ...).
  const D c1 = table16<double>(tab[3], idx);
  const twopart::Two<D> p = twopart::two_prod(t, c1);
  const twopart::Two<D> h = twopart::fast_two_sum(c0, p.hi);  // |c1 t| < c0 on every interval
  D lo = simd::add(simd::fma(v_lo, c1, table16<double>(tab[2], idx)), p.lo);
  lo = simd::fma(simd::mul(t, t), q, lo);
  return {h.hi, simd::add(h.lo, lo)};
}

// inv_tail in T lanes (float through its double halves, rounded once), times sqrt(2) with
// Scale = 2: out of line, so that registers without a tail lane keep their constants in
// registers.
template <class S, class T, bool Short, int Scale> [[gnu::noinline, gnu::cold]] Reg<T> inv_tail_lanes(Reg<T> u) {
  const auto g = [](Reg<double> ud) {
    const Reg<double> v = inv_tail<S, false, Short>(ud).hi;
    return Scale == 2 ? simd::mul(v, simd::splat(1.4142135623730950488)) : v;
  };
  if constexpr (sizeof(T) == 8) return g(u);
  else return simd::narrow(g(simd::widen_lo(u)), g(simd::widen_hi(u)));
}

// Double HA's tail in two parts, out of line as above.
[[gnu::noinline, gnu::cold]] inline twopart::Two<Reg<double>> inv_tail_two(Reg<double> u) {
  return inv_tail<special::ErfInvHA_d, true, false>(u);
}

// x, the rounding error of x and u for kind K at p: ErfInv x = p, u = 1 - |p| (rounded
// below |p| = 1/2, where t = u (2 - u) moves by at most |p| ulp(1) and w with it); ErfcInv
// x = 1 - p (exact from p = 1/2 on), u = min(p, 2 - p); CdfNormInv x = 2p - 1 (exact from
// p = 1/4 on), u = 2 min(p, 1 - p). u is exact for ErfcInv and CdfNormInv.
template <class T> struct InvArgs { Reg<T> x, x_lo, u; };
template <InvKind K, class T> inline InvArgs<T> inv_args(Reg<T> p) {
  using simd::splat;
  const Reg<T> one = splat(T(1)), two = splat(T(2));
  if constexpr (K == InvKind::Erf) {
    return {p, splat(T(0)), simd::sub(one, simd::abs_of<T>(p))};
  } else if constexpr (K == InvKind::Erfc) {
    const twopart::Two<Reg<T>> d = twopart::fast_two_sum(one, simd::negate<T>(p));  // |p| < 2
    return {d.hi, d.lo, simd::min(p, simd::sub(two, p))};
  } else {
    const Reg<T> x = simd::fms(p, two, one);
    return {x, simd::fma(p, two, simd::sub(simd::negate<T>(one), x)), simd::mul(two, simd::min(p, simd::sub(one, p)))};
  }
}

// The inverse of kind K at p in T lanes through w = -ln(u (2 - u)) = -ln(1 - x^2): for
// w <= W0, |y| = |x| P(w) (W), one polynomial and a logarithm of flavour LF; registers with
// a lane above W0 take that lane from inv_tail of the tail set S in double (float halves
// widened), the short logarithm with Short. x rounded once (ErfcInv below p = 1/2,
// CdfNormInv below 1/4) moves y by the same relative amount.
template <InvKind K, class T, Flavour LF, class W, class S, bool Short> inline Reg<T> inv_w_body(Reg<T> p) {
  using simd::splat;
  using V = Reg<T>;
  const auto [x, x_lo, u] = inv_args<K, T>(p);
  const V w = simd::negate<T>(log_body<T, LF, Base::E, false>(simd::mul(u, simd::sub(splat(T(2)), u)), u));
  V y = simd::mul(simd::abs_of<T>(x), simd::horner_split(w, simd::mul(w, w), W::p));
  const Mask<T> central = simd::le(w, splat(T(special::kErfInvW0)));
  if (!simd::every_lane<T>(central)) {
    y = simd::select(central, y, inv_tail_lanes<S, T, Short, 1>(u));
  }
  if constexpr (K == InvKind::CdfNorm) y = simd::mul(y, splat(T(1.4142135623730950488)));
  return simd::copysign<T>(y, x);
}

// HA through w = -ln t, t = 2u - u^2 rounded once with its error t_lo, and the reduction of
// the logarithm t = 2^e m (m in [1, 2)), c_i near 1/m from the table entry i of m's four
// leading mantissa bits, r = m c_i - 1 rounded (its error, under 2^-p |r|, is far below
// what w may carry; log_reduce's exact r, from a reciprocal estimate rounded to a 6-bit c,
// costs three operations more than this lookup): w = -e ln 2 - lam_i - ln(1 + r) with
// lam_i = ln(1/c_i). P(w) = c0 + c1 w + w^2 R(w - W0/2) then
// splits into S = T_hi[i] - e K_hi, exact (T = c0 - c1 lam, K = c1 ln 2, high parts on a
// common grid; the set of tools/erfinv_gen.py), and the small rest
//   L = T_lo[i] - e K_lo - c1 (ln(1 + r) + t_lo / t) + w^2 R(w - W0/2),
// at most a tenth of P, rounded in T: its error stays near 2^-4 ulp. w enters only R's
// term, which moves by under 0.02 times w's error, so w - W0/2 = H0[i] - e ln 2 - ln(1 + r)
// takes three roundings. y = |x| S + |x| L (+ x_lo S) in one fused step: one rounding of a
// nearly exact sum. CdfNormInv's set is scaled by sqrt(2). ErfInv below 2^-960 (float
// 2^-100), where |x| L would fall under the normal range, takes x (c0 + c0_lo) scaled by
// 2^64 (float: x c0 in double, rounded once).
// Registers with a lane beyond W0 take it from inv_tail: in double with v and the constant
// term in two parts; in float from the double tail of the EP_d set on each half, rounded
// once (after the product with sqrt(2)).
template <InvKind K, class T> inline Reg<T> inv_w_wide(Reg<T> p) {
  using simd::splat;
  using V = Reg<T>;
  using twopart::Two;
  constexpr bool kNorm = K == InvKind::CdfNorm;
  using W = std::conditional_t<sizeof(T) == 8, std::conditional_t<kNorm, special::NormInvWHA_d, special::ErfInvWHA_d>,
                               std::conditional_t<kNorm, special::NormInvWHA_s, special::ErfInvWHA_s>>;
  using Ln = std::conditional_t<sizeof(T) == 8, special::ErfInvLn_d, special::ErfInvLn_s>;
  const auto c = [](auto b) { return splat(simd::bits_to(b)); };
  const auto look = [](const auto* tab, simd::IReg i) { return table16<T>(tab, i); };
  const auto [x, x_lo, u] = inv_args<K, T>(p);
  const V a = simd::abs_of<T>(x);
  const V u2 = simd::add(u, u);
  const V t = simd::fnma(u, u, u2);                   // 2u - u^2 rounded once
  const V t_lo = simd::fnma(u, u, simd::sub(u2, t));  // its error: u <= t <= 2u, so 2u - t is exact
  simd::IReg idx;                                     // m's four leading mantissa bits
  if constexpr (sizeof(T) == 8) idx = simd::shift_right64<48>(simd::as_int(t));
  else idx = simd::shift_right32<19>(simd::as_int(t));
  const V e = simd::getexp(t);
  const V r = simd::fma(simd::mantissa(t), look(Ln::c, idx), splat(T(-1)));  // |r| < 1/33
  const V rr = simd::mul(r, r);
  const V s = ln1p_reduced<T, Flavour::HA>(r, rr);
  const V h = simd::sub(simd::fnma(e, splat(T(0.6931471805599453094)), look(Ln::h0, idx)), s);
  const V sum = simd::fnma(e, c(W::k[0]), look(W::t_hi, idx));  // S, exact
  V lo = simd::fnma(e, c(W::k[1]), look(W::t_lo, idx));
  lo = simd::fnma(c(W::c1[0]), simd::fma(t_lo, simd::rcp14(t), s), lo);
  const V w = simd::add(h, splat(T(special::kErfInvW0 / 2)));
  lo = simd::fma(simd::mul(w, w), simd::horner_split(h, simd::mul(h, h), W::r), lo);
  const V al = simd::mul(a, lo);
  const V a_lo = simd::bit_xor(x_lo, simd::bit_and(x, simd::sign_mask<T>()));  // x_lo with |x|'s sign
  V y = simd::fma(a, sum, K == InvKind::Erf ? al : simd::fma(a_lo, sum, al));  // ErfInv's x is exact
  const Mask<T> central = simd::le(h, splat(T(special::kErfInvW0 / 2)));
  const bool tail = !simd::every_lane<T>(central);
  if constexpr (sizeof(T) == 8) {
    if (tail) {
      const Two<V> g = inv_tail_two(u);
      V v = simd::add(g.hi, g.lo);
      if constexpr (kNorm) {
        const V s_hi = c(special::InvSqrt2::v[0]), s_lo = c(special::InvSqrt2::v[1]);
        v = simd::fma(g.hi, s_hi, simd::fma(g.hi, s_lo, simd::mul(g.lo, s_hi)));
      }
      y = simd::select(central, y, v);
    }
  }
  if constexpr (K == InvKind::Erf) {
    const Mask<T> tiny = simd::lt(a, splat(T(sizeof(T) == 8 ? 0x1p-960 : 0x1p-100)));
    if (tiny) {
      V v;
      if constexpr (sizeof(T) == 8) {
        const V as = simd::mul(a, splat(0x1p64));
        v = simd::mul(simd::fma(as, c(W::c0[0]), simd::mul(as, c(W::c0[1]))), splat(0x1p-64));
      } else {  // one rounding from double, also for subnormal results
        const auto f = [](Reg<double> ad) { return simd::mul(ad, splat(simd::bits_to(special::ErfInvWHA_d::c0[0]))); };
        v = simd::narrow(f(simd::widen_lo(a)), f(simd::widen_hi(a)));
      }
      y = simd::select(tiny, v, y);
    }
  }
  if constexpr (sizeof(T) == 4) {
    if (tail) {
      constexpr int scale = kNorm ? 2 : 1;
      y = simd::select(central, y, inv_tail_lanes<special::ErfInvEP_d, T, false, scale>(u));
    }
  }
  return simd::copysign<T>(y, x);
}

// The inverse of kind K at one p inside the open domain, in two-part arithmetic from the
// argument to the result with double HA's polynomials: the kernels' scalar path and the
// per-element reference of the benchmarks. |x| < 2^-35 takes the linear term scaled by
// 2^256, so that subnormal arguments keep their bits.
template <InvKind K> double inv_two_part(double p) {
  using twopart::Two;
  using S = special::ErfInvHA_d;
  const auto c = [](uint64_t b) { return simd::bits_to(b); };
  Two<double> x;
  double u;
  if constexpr (K == InvKind::Erf) {
    x = {p, 0.0}, u = 1 - std::fabs(p);
  } else if constexpr (K == InvKind::Erfc) {
    x = twopart::two_sum(1.0, -p), u = std::min(p, 2 - p);
  } else {
    x = twopart::two_sum(2 * p, -1.0), u = 2 * std::min(p, 1 - p);
  }
  const bool neg = std::signbit(x.hi);
  const Two<double> a = neg ? Two<double>{-x.hi, -x.lo} : x;
  const Two<double> c1{c(S::c1[0]), c(S::c1[1])};
  Two<double> y;
  int scale = 0;
  if (a.hi < 0x1p-35) {  // erfinv x = c1 x (1 + O(x^2)), the square below 2^-70
    y = twopart::mul(Two<double>{a.hi * 0x1p256, a.lo * 0x1p256}, c1), scale = -256;
  } else if (a.hi <= 0.5625) {
    const Two<double> z = twopart::sqr(a);
    double q = c(S::near[std::size(S::near) - 1]);
    for (size_t k = std::size(S::near) - 1; k-- > 0;) q = std::fma(q, z.hi, c(S::near[k]));
    y = twopart::mul(a, twopart::add(c1, twopart::mul(z, q)));
  } else {
    // v = sqrt(-log2 u) in two parts from the two-part logarithm of one lane.
    alignas(64) double l_hi[simd::lanes<double>], l_lo[simd::lanes<double>];
    const Two<Reg<double>> l = log2_wide(simd::splat(u));
    simd::store(l_hi, l.hi), simd::store(l_lo, l.lo);
    const double v = std::sqrt(-l_hi[0]);
    const double v_lo = (std::fma(-v, v, -l_hi[0]) - l_lo[0]) / (v + v);
    const auto& tab = S::tail;
    constexpr size_t rows = std::extent_v<std::remove_reference_t<decltype(tab)>>;
    uint64_t vb;
    const double v2 = v + 2;
    std::memcpy(&vb, &v2, 8);
    const size_t idx = (vb >> 50) & 15;                                // exponent and two bits of v + 2
    const Two<double> t = twopart::two_sum(v - c(tab[0][idx]), v_lo);  // v - centre is exact
    Two<double> q{c(tab[rows - 1][idx]), 0.0};
    for (size_t k = rows - 2; k >= 3; --k) q = twopart::add(twopart::mul(q, t), c(tab[k][idx]));
    y = twopart::add(twopart::mul(q, t), Two<double>{c(tab[1][idx]), c(tab[2][idx])});
  }
  if constexpr (K == InvKind::CdfNorm)
    y = twopart::mul(y, Two<double>{c(special::InvSqrt2::v[0]), c(special::InvSqrt2::v[1])});
  const double r = scale ? std::ldexp(twopart::value(y), scale) : twopart::value(y);
  return neg ? -r : r;
}

template <InvKind K, class T, Flavour F> struct InvOp : Unary<T> {
  using V = Reg<T>;
  using S = InvSet<T, F>;
  static constexpr bool kDouble = std::is_same_v<T, double>;
  static constexpr bool kShort = F == Flavour::EP;

  // Lanes outside the open domain (NaN included) go to the scalar routine.
  static Mask<T> outside(V p) {
    using simd::splat;
    if constexpr (K == InvKind::Erf) return simd::not_lt(simd::abs_of<T>(p), splat(T(1)));
    const T top = K == InvKind::Erfc ? T(2) : T(1);
    return Mask<T>(simd::not_gt(p, splat(T(0))) | simd::not_lt(p, splat(top)));
  }
  static Mask<T> vec(const V (&in)[1], V (&r)[1], const NoExtra&) {
    if constexpr (F == Flavour::HA) {
      r[0] = inv_w_wide<K, T>(in[0]);
    } else if constexpr (kDouble) {
      using W = std::conditional_t<F == Flavour::LA, special::ErfInvWLA_d, special::ErfInvWEP_d>;
      r[0] = inv_w_body<K, double, F, W, S, kShort>(in[0]);
    } else {
      using W = std::conditional_t<F == Flavour::LA, special::ErfInvWLA_s, special::ErfInvWEP_s>;
      r[0] = inv_w_body<K, float, F, W, S, kShort>(in[0]);
    }
    return outside(in[0]);
  }
  // The ends and everything outside [lo, hi]; an argument inside (a subnormal read as zero
  // excepted) never comes here, but would get the two-part value.
  static int32_t scalar(const T* const* a, T* const* r, const NoExtra&) {
    const T p = simd::daz(*a[0]);
    constexpr T inf = std::numeric_limits<T>::infinity();
    const T lo = K == InvKind::Erf ? T(-1) : T(0);
    const T hi = K == InvKind::Erfc ? T(2) : T(1);
    if (std::isnan(p)) return *r[0] = p + p, ZAR_ST_NONE;
    if (p < lo || p > hi || std::isinf(p)) return *r[0] = std::numeric_limits<T>::quiet_NaN(), ZAR_ST_DOMAIN;
    if (p == lo) return *r[0] = K == InvKind::Erfc ? inf : -inf, ZAR_ST_POLE;
    if (p == hi) return *r[0] = K == InvKind::Erfc ? -inf : inf, ZAR_ST_POLE;
    *r[0] = T(inv_two_part<K>(double(p)));
    return ZAR_ST_NONE;
  }
};

template <class T, Flavour F> struct ErfInv : InvOp<InvKind::Erf, T, F> {
  static constexpr const char* kName = "ErfInv";
};
template <class T, Flavour F> struct ErfcInv : InvOp<InvKind::Erfc, T, F> {
  static constexpr const char* kName = "ErfcInv";
};
template <class T, Flavour F> struct CdfNormInv : InvOp<InvKind::CdfNorm, T, F> {
  static constexpr const char* kName = "CdfNormInv";
};

}  // namespace nrx::zar::ops
