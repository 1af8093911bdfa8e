// Error-function family: Erf, Erfc, CdfNorm (float and double, one algorithm).
//
// Float Erf near zero (|x| < 3/4): erf(x) = x (c1 + c1_lo + z Q(z)) with z = x^2; beyond, a
// polynomial on one of 10 intervals picked by the leading bits of |x| + 1/2. Double Erf takes
// every |x| from 16 such intervals instead, the first centred at 0 with the form
// t (erf(t) / t), so the relative error holds down to the subnormals without a second
// polynomial (HA: c1 in two parts). Erfc of every |x| is e^(-x^2) g(x): x^2 in two parts, the
// exponential body's reduction and table left unscaled, and g a polynomial on one of 16
// intervals picked by the leading bits of |x| + 2, the first [0, 1/2) (see tools/erf_gen.py);
// erfc(-|x|) = 2 - erfc(|x|), one plain subtraction in every flavour: the result's ulp is at
// least twice that of erfc(|x|) <= 1, so HA's value error (at most 0.77 ulp of its own) adds
// under 0.4 ulp to the difference's rounding (one masked subtraction). One path serves every
// lane: no register branches on where its lanes lie. The scale 2^k is applied last: in the
// vector path, whose |x| is clamped at the subnormal threshold, as an integer add to the
// exponent field; lanes from the threshold on go to the routine, which applies it by scalef,
// so results in the subnormal range are rounded once. Double LA and the EP sets centre the
// first interval at 0 with the exact constant 1 (1/2), which gives +-0 its exact result; HA
// and float LA (centred at 1/4) test for zero. CdfNorm(-x) = erfc(x/sqrt 2)/2 = e^(-x^2/2) h(x) with
// h on the same intervals scaled by sqrt 2: x itself is the variable, x^2 in two parts halved
// by the exponential's constants. HA keeps the polynomial's constant term and the exponential in two parts up to the
// last fused step; LA drops them and uses lower degrees; EP lower degrees still.
#pragma once
#include <bit>
#include <cmath>
#include <type_traits>

#include "simd/index32.h"
#include "zar/kernels/erf_data.h"
#include "zar/kernels/log.h"
#include "zar/kernels/twopart.h"

namespace nrx::zar::ops {

// The generated polynomial set of a type and flavour (float LA's Erf uses the HA set), the
// set of the Erfc and CdfNorm tails (float LA has its own, one degree lower), and the type's
// constants and thresholds.
template <class T, Flavour F> using ErfData =
    std::conditional_t<std::is_same_v<T, double>,
                       std::conditional_t<F == Flavour::HA, special::ErfHA_d,
                                          std::conditional_t<F == Flavour::LA, special::ErfLA_d, special::ErfEP_d>>,
                       std::conditional_t<F == Flavour::EP, special::ErfEP_s, special::ErfHA_s>>;
template <class T, Flavour F> using ErfcData =
    std::conditional_t<std::is_same_v<T, float> && F == Flavour::LA, special::ErfLA_s, ErfData<T, F>>;
template <class T> using ErfLimits =
    std::conditional_t<std::is_same_v<T, double>, special::ErfLimits_d, special::ErfLimits_s>;

// exp_poly's coefficients for the argument 2r: c_k 2^-(k+1), so that 2r times their
// polynomial in 2r is exp_poly(r) rounded the same at every step (each scaling is by a power
// of two, far from the subnormals).
template <class T, Flavour F> struct ExpPolyOfTwice {
  using U = std::conditional_t<std::is_same_v<T, double>, uint64_t, uint32_t>;
  static constexpr size_t n = std::extent_v<decltype(ExpPoly<T, F>::c)>;
  struct Coefs {
    U v[n];
  };
  static constexpr Coefs c = [] {
    Coefs out{};
    T scale = T(0.5);
    for (size_t k = 0; k < n; ++k, scale *= T(0.5))
      out.v[k] = std::bit_cast<U>(std::bit_cast<T>(ExpPoly<T, F>::c[k]) * scale);
    return out;
  }();
};

// The exponential body's call, in one place: e^-(s + s_lo) = 2^scale (hi + lo) with hi the
// table entry 2^(j/N) and the scale left for the caller; also = 2^scale hi (1 + p) up to the
// table's low part (kept in lo by HA only). With Half, e^-((s + s_lo) / 2), the halving
// carried by the constants: the reduced argument is 2r, with the same bits as r's.
template <class T> struct ScaledExp {
  Reg<T> hi, lo, scale, p;
  simd::IReg idx;  // k in the low bits: 2^scale hi = 2^(k/N)
};
template <class T, Flavour F, bool Half = false> inline ScaledExp<T> exp_neg_unscaled(Reg<T> s, Reg<T> s_lo) {
  using C = ExpConst<T>;
  using simd::splat;
  constexpr T h = Half ? T(0.5) : T(1);
  // The sign of -s goes into the constants: t = shifter - s N / ln 2, r = -s - kf ln2 / N.
  const Reg<T> t = simd::fnma(s, splat(T(C::n_over_ln2 * h)), splat(C::shifter));
  const Reg<T> kf = simd::sub(t, splat(C::shifter));
  Reg<T> r = simd::fms(kf, splat(T(-C::ln2_hi / C::N / h)), s);
  if constexpr (F != Flavour::EP) r = simd::sub(simd::fnma(kf, splat(T(C::ln2_lo / C::N / h)), r), s_lo);
  Reg<T> p;
  if constexpr (Half) p = simd::mul(r, simd::horner(r, ExpPolyOfTwice<T, F>::c.v));
  else p = exp_poly<T, F>(r);
  const simd::IReg idx = simd::as_int(t);
  const Reg<T> hi = table2<T>(C::hi, idx);
  const Reg<T> lo = F == Flavour::HA ? simd::fma(hi, p, table2<T>(C::lo, idx)) : simd::mul(hi, p);
  return {hi, lo, simd::mul(kf, splat(T(1.0 / C::N))), p, idx};
}

// c1 + c2 t + ... + cn t^(n-1) from the rows 3 .. R-1 of a 16-interval table (from the row
// First: that row's coefficient first). HA and float by Horner; double LA and EP in even and
// odd halves (in t^2), which halves the chain of dependent steps.
template <class T, Flavour F, size_t R, int First = 3>
inline Reg<T> rows_poly(const std::conditional_t<std::is_same_v<T, double>, uint64_t, uint32_t> (&tab)[R][16],
                        simd::IReg idx, Reg<T> t) {
  constexpr int rows = int(R);
  Reg<T> q;
  if constexpr (F == Flavour::HA || std::is_same_v<T, float>) {
    q = table16<T>(tab[rows - 1], idx);
    for (int k = rows - 2; k >= First; --k) q = simd::fma(q, t, table16<T>(tab[k], idx));
  } else {
    const Reg<T> tt = simd::mul(t, t);
    constexpr int n = rows - 3;  // c1 .. cn in rows 3 .. rows - 1
    constexpr int last_e = 3 + 2 * ((n - 1) / 2), last_o = 4 + 2 * ((n - 2) / 2);
    Reg<T> e = table16<T>(tab[last_e], idx), o = table16<T>(tab[last_o], idx);
    for (int k = last_e - 2; k >= 3; k -= 2) e = simd::fma(e, tt, table16<T>(tab[k], idx));
    for (int k = last_o - 2; k >= 4; k -= 2) o = simd::fma(o, tt, table16<T>(tab[k], idx));
    q = simd::fma(o, t, e);
  }
  return q;
}

// 2^scale v; idx holds the exponential's k (scale = k/N) in its low bits.
template <class T> struct ScaledValue {
  Reg<T> v, scale;
  simd::IReg idx;
};

// 2^scale v with Exact, by scalef, which rounds a subnormal result once; else floor(k/N) added
// to v's exponent field by two shifts and an integer add, for results in the normal range
// (where the scale's product and scalef would take two floating operations).
template <class T, bool Exact> inline Reg<T> apply_scale(const ScaledValue<T>& s) {
  if constexpr (Exact) {
    return simd::scalef(s.v, s.scale);
  } else {
    constexpr int m = simd::Traits<T>::mant_bits, n = ExpConst<T>::N == 16 ? 4 : 5;
    simd::IReg e;
    if constexpr (std::is_same_v<T, double>) e = simd::shift_left64<m>(simd::shift_right64<n>(s.idx));
    else e = simd::shift_left32<m>(simd::shift_right32<n>(s.idx));
    return simd::as_real(simd::int_add(simd::as_int(s.v), e, T()), T());
  }
}

// Whether the first tail interval is centred at 0, where its exact constant term gives
// erfc(0) = 1 and CdfNorm(0) = 1/2 with no rounding.
template <class T, Flavour F, bool Cdf> constexpr bool erfc_zero_centred() {
  return (Cdf ? ErfcData<T, F>::cdf_tail : ErfcData<T, F>::tail)[0][0] == 0;
}

// erfc(a) = 2^scale v for a >= 0, or with Cdf, CdfNorm(-a) = erfc(a / sqrt 2) / 2:
// e^(-a^2/2) times the polynomial of the interval of a / sqrt 2 (the division only
// picks the interval, so a itself enters unrounded).
template <class T, Flavour F, bool Cdf> inline ScaledValue<T> erfc_tail(Reg<T> a) {
  using simd::splat;
  const auto& tab = Cdf ? ErfcData<T, F>::cdf_tail : ErfcData<T, F>::tail;
  // Exponent and two leading mantissa bits of a (/ sqrt 2) + 2: 16 intervals from 0.
  const Reg<T> sel = Cdf ? simd::fma(a, splat(-simd::bits_to(ErfLimits<T>::minus_inv_sqrt2[0])), splat(T(2)))
                         : simd::add(a, splat(T(2)));
  const simd::IReg idx = simd::shift_right<simd::Traits<T>::mant_bits - 2>(sel);
  const Reg<T> t = simd::sub(a, table16<T>(tab[0], idx));  // exact: a lies within the centre's binade
  const Reg<T> c0 = table16<T>(tab[1], idx);
  // CdfNorm's e^(-a^2/2) takes a^2 and halves it in the exponential's constants.
  const Reg<T> s = simd::mul(a, a);
  const ScaledExp<T> e = exp_neg_unscaled<T, F, Cdf>(s, simd::fms(a, a, s));
  if constexpr (F == Flavour::HA) {
    // g = g_hi + g_lo with g_hi = c0 + t c1 rounded and its error kept: t c1 reaches a third of g
    // on the first intervals, and near a result of 1/2 (CdfNorm near 0) half an ulp of it is
    // a full ulp of the result.
    constexpr size_t R = std::extent_v<std::remove_reference_t<decltype(tab)>>;
    const Reg<T> c1 = table16<T>(tab[3], idx);
    const Reg<T> q2 = rows_poly<T, F, R, 4>(tab, idx, t);  // c2 + c3 t + ...
    const Reg<T> g_hi = simd::fma(t, c1, c0);
    const Reg<T> err = simd::fma(t, c1, simd::sub(c0, g_hi));  // c0 - g_hi is exact (|t c1| < c0 / 2)
    const Reg<T> g_lo = simd::add(err, simd::fma(simd::mul(t, t), q2, table16<T>(tab[2], idx)));
    const Reg<T> rest = simd::fma(e.hi, g_lo, simd::mul(e.lo, simd::add(g_hi, g_lo)));
    return {simd::fma(e.hi, g_hi, rest), e.scale, e.idx};
  } else {
    const Reg<T> g = simd::fma(t, rows_poly<T, F>(tab, idx, t), c0);
    // EP: hi (g + p g), one rounding more than LA's hi g + (hi p) g (which stays under 4 ulp).
    if constexpr (F == Flavour::EP) return {simd::mul(e.hi, simd::fma(e.p, g, g)), e.scale, e.idx};
    return {simd::fma(e.hi, g, simd::mul(e.lo, g)), e.scale, e.idx};
  }
}

// erf(x) near zero as x c1 + rest, with x = x_hi + x_lo (x_lo zero unless Lo); rest is
// scaled like xs, x times a power of two.
template <class T, Flavour F, bool Lo> inline Reg<T> erf_near_rest(Reg<T> x, Reg<T> x_lo, Reg<T> xs) {
  using simd::splat;
  const T c1_lo = simd::bits_to(ErfLimits<T>::c1[1]);
  const Reg<T> z = simd::mul(x, x);
  Reg<T> rest = simd::mul(xs, simd::fma(z, simd::horner(z, ErfData<T, F>::near), splat(c1_lo)));
  if constexpr (Lo) rest = simd::fma(x_lo, splat(simd::bits_to(ErfLimits<T>::c1[0])), rest);
  return rest;
}

// erf(a) for 3/4 <= a <= the clamp (from 0 where the set has mid_from_zero): a polynomial on
// one of the intervals of a + 1/2. HA sets with c1 in two parts (from 0, where t c1 is up to a
// third of the result) sum c0 + t c1 with the fused step's error term, so that only the last
// addition rounds at the result's scale.
template <class T, Flavour F> inline Reg<T> erf_mid(Reg<T> a) {
  using simd::splat;
  using D = ErfData<T, F>;
  const auto& tab = D::mid;
  const simd::IReg idx = simd::shift_right<simd::Traits<T>::mant_bits - 2>(simd::add(a, splat(T(0.5))));
  const Reg<T> t = simd::sub(a, table16<T>(tab[0], idx));
  const Reg<T> c0 = table16<T>(tab[1], idx);
  if constexpr (F == Flavour::HA && requires { D::mid_c1_lo; }) {
    constexpr size_t R = std::extent_v<std::remove_reference_t<decltype(tab)>>;
    Reg<T> q2 = table16<T>(tab[R - 1], idx);  // c2 + c3 t + ...
    for (int k = int(R) - 2; k >= 4; --k) q2 = simd::fma(q2, t, table16<T>(tab[k], idx));
    const Reg<T> c1 = table16<T>(tab[3], idx);
    const Reg<T> s = simd::fma(t, c1, c0);
    const Reg<T> err = simd::fma(t, c1, simd::sub(c0, s));  // c0 + t c1 - s
    const Reg<T> lo = simd::add(err, simd::fma(t, table16<T>(D::mid_c1_lo, idx), table16<T>(tab[2], idx)));
    return simd::add(s, simd::fma(simd::mul(t, t), q2, lo));
  } else {
    const Reg<T> q = rows_poly<T, F>(tab, idx, t);
    if constexpr (F == Flavour::HA) return simd::add(c0, simd::fma(t, q, table16<T>(tab[2], idx)));
    else return simd::fma(t, q, c0);
  }
}

template <class T, Flavour F> struct Erf : AllLanes<Erf<T, F>, Unary<T>> {
  static constexpr const char* kName = "Erf";
  using V = Reg<T>;
  static Mask<T> vec(const V (&in)[1], V (&r)[1], const NoExtra&) {
    using simd::splat;
    const V x = in[0];
    const V a = simd::min(splat(simd::bits_to(ErfLimits<T>::clamp[0])), simd::abs_of<T>(x));  // NaN stays
    if constexpr (ErfData<T, F>::mid_from_zero) {  // one polynomial for every lane
      V v = erf_mid<T, F>(a);
      if constexpr (F == Flavour::HA) {
        // Below 2^-960 the terms after t c1 fall under the subnormals: x (c1 + c1_lo), scaled.
        const Mask<T> tiny = simd::lt(a, splat(T(0x1p-960)));
        if (tiny) {
          const V as = simd::mul(a, splat(T(0x1p64)));
          const V lo = simd::mul(as, splat(simd::bits_to(ErfLimits<T>::c1[1])));
          const V w = simd::fma(as, splat(simd::bits_to(ErfLimits<T>::c1[0])), lo);
          v = simd::select(tiny, simd::mul(w, splat(T(0x1p-64))), v);
        }
      }
      r[0] = simd::copysign<T>(v, x);
      return 0;
    }
    // Scaled by 2^64 so that x c1_lo keeps its bits for the smallest x.
    V v = erf_mid<T, F>(simd::max(splat(T(0.75)), a));
    const Mask<T> near = simd::lt(a, splat(T(0.75)));
    if (near) {  // registers without such lanes skip the polynomial near zero
      const V as = simd::mul(a, splat(T(0x1p64)));
      const V c1 = splat(simd::bits_to(ErfLimits<T>::c1[0]));
      v = simd::select(near, simd::mul(simd::fma(as, c1, erf_near_rest<T, F, false>(a, a, as)), splat(T(0x1p-64))), v);
    }
    r[0] = simd::copysign<T>(v, x);
    return 0;
  }
};

// Lane 0 of Op::value<true>(x): the routine's lanes, whose results may be subnormal.
template <class Op, class T> inline T exact_value(T x) {
  alignas(64) T buf[simd::lanes<T>];
  simd::store(buf, Op::template value<true>(simd::splat(x)));
  return buf[0];
}

// What Erfc and CdfNorm differ in, seen through u, the argument in the direction of the tail:
// erfc(x) with u = x, and CdfNorm(x) = erfc(-x / sqrt 2) / 2 with u = -x. Both are the tail
// T(|x|) (erfc_tail, whose Cdf flag holds the scaling by 1/sqrt 2) for u >= 0 and
// reflect - T(|x|) for u < 0; at_zero is T(0). The vector path clamps |x| at vec_clamp (the
// subnormal threshold, from where every lane with u >= under goes to the routine), the
// routine at exact_clamp, and gives +0 from u > zero_from.
template <class T, bool Cdf> struct ErfcKind {
  using L = ErfLimits<T>;
  static constexpr const char* name = Cdf ? "CdfNorm" : "Erfc";
  static constexpr T reflect = Cdf ? T(1) : T(2), at_zero = Cdf ? T(0.5) : T(1);
  static T vec_clamp() { return Cdf ? -simd::bits_to(L::cdf_under[0]) : simd::bits_to(L::erfc_under[0]); }
  static T exact_clamp() { return simd::bits_to(Cdf ? L::clamp[2] : L::clamp[1]); }
  static T under() { return vec_clamp(); }
  static T zero_from() { return Cdf ? exact_clamp() : simd::bits_to(L::erfc_under[2]); }
  // The lanes with u < 0 (the reflected side), and those with u >= under or NaN (the routine's).
  static Mask<T> reflected(Reg<T> x) { return Cdf ? simd::gt(x, simd::splat(T(0))) : simd::lt(x, simd::splat(T(0))); }
  static Mask<T> routine(Reg<T> x) {
    return Cdf ? simd::not_gt(x, simd::splat(-under())) : simd::not_lt(x, simd::splat(under()));
  }
};

// Erfc (Cdf false) and CdfNorm (Cdf true): one body, the differences in ErfcKind.
template <class T, Flavour F, bool Cdf> struct ErfcFamily : Unary<T> {
  using K = ErfcKind<T, Cdf>;
  static constexpr const char* kName = K::name;
  using V = Reg<T>;
  // The vector path (Exact false) clamps |x| at the subnormal threshold, where the result is
  // still normal (the reflection's difference there is the reflect value): every lane from
  // there on goes to the routine, which clamps where the tail ends and scales exactly.
  template <bool Exact> static V value(V x) {
    using simd::splat;
    const V a = simd::abs_min(x, splat(Exact ? K::exact_clamp() : K::vec_clamp()));  // NaN: the routine's
    V e = apply_scale<T, Exact>(erfc_tail<T, F, Cdf>(a));
    // A first interval centred at 0 gives +-0 its exact T(0); one centred at 1/4 does not.
    if constexpr (!erfc_zero_centred<T, F, Cdf>()) e = simd::select(simd::eq(x, splat(T(0))), splat(K::at_zero), e);
    return simd::sub_from_where(K::reflected(x), splat(K::reflect), e);
  }
  static Mask<T> vec(const V (&in)[1], V (&r)[1], const NoExtra&) {
    r[0] = value<false>(in[0]);
    return K::routine(in[0]);
  }
  // Arguments from the subnormal threshold on (u >= under), reported as underflow; NaN and
  // the infinities, whose results are exact, are not.
  static int32_t scalar(const T* const* a, T* const* r, const NoExtra&) {
    const T x = simd::daz(*a[0]);
    const T u = Cdf ? -x : x;
    if (std::isnan(x)) return *r[0] = x + x, ZAR_ST_NONE;
    if (std::isinf(x)) return *r[0] = u > 0 ? T(0) : K::reflect, ZAR_ST_NONE;
    if (u > K::zero_from()) return *r[0] = T(0), ZAR_ST_RESULT_TOO_SMALL;
    *r[0] = exact_value<ErfcFamily>(x);
    return u >= K::under() ? ZAR_ST_RESULT_TOO_SMALL : ZAR_ST_NONE;
  }
};
template <class T, Flavour F> using Erfc = ErfcFamily<T, F, false>;
template <class T, Flavour F> using CdfNorm = ErfcFamily<T, F, true>;

}  // namespace nrx::zar::ops
