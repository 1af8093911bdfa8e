// Hyperbolic functions: Sinh, Cosh, Tanh, Asinh, Acosh, Atanh (float and double, one
// algorithm each, built on the exponential, logarithm and square-root bodies).
//
// With a = |x| and E = e^a: HA keeps E and 1/E in two parts (hyperbolic_exp), so sinh a =
// (E - 1/E)/2 loses nothing to cancellation from a = 1/2 on; below it sinh a is its own
// polynomial, and tanh a = sinh a / cosh a is one two-part quotient. LA and EP take sinh a =
// (u + u/(u + 1))/2 and tanh a = u'/(u' + 2) from u = e^a - 1, u' = e^(2a) - 1 (expm1_body),
// and cosh a = (E + 1/E)/2 from exp_body. From a = HypConst::big on, sinh a and cosh a are
// e^a / 2 (the exponential's scale lowered by one, so no intermediate overflows up to the
// limit) and tanh a rounds to 1.
//
// The inverses are logarithms of a value w kept in two parts, ln(w_hi + w_lo) = log_body(
// w_hi) + w_lo / w_hi, as Log1p does: asinh a = ln(a + sqrt(a^2 + 1)), acosh x = ln(x +
// sqrt(x^2 - 1)) and atanh a = ln(1 + 2a / (1 - a)) / 2. HA forms w from exact products
// and a two-part square root; LA and EP round w = 1 + y once, y = a + a^2 / (1 + sqrt(a^2
// + 1)), (x - 1) + sqrt((x - 1)(x + 1)) or 2a / (1 - a), and keep the rounding error. From
// HypConst::log_big on, asinh and acosh are ln(2a) = ln a + ln 2.
#pragma once
#include <cmath>
#include <limits>

#include "zar/kernels/exp.h"
#include "zar/kernels/hyperbolic_data.h"
#include "zar/kernels/log.h"

namespace nrx::zar::ops {

template <class T> struct HypConst;
template <> struct HypConst<double> {
  static constexpr const uint64_t* overflow = hyperbolic::kSinhOverflow_d;  // 710.47586007394386
  static constexpr double vector_limit = 710.47;  // above: the scalar routine (e^a/2 meets 2^1024)
  static constexpr double big = 22;               // e^-2a below 2^-63: sinh a = cosh a = e^a/2
  static constexpr double tanh_one = 19.1;        // 1 - tanh a below 2^-55: tanh a rounds to 1
  static constexpr double tiny = 0x1p-26;         // asinh a and atanh a round to a
  static constexpr double log_big = 0x1p28;       // asinh a = acosh a = ln 2a within 2^-60
  static constexpr const auto& sinh_poly = hyperbolic::kSinhPoly_d;
};
template <> struct HypConst<float> {
  static constexpr const uint32_t* overflow = hyperbolic::kSinhOverflow_s;  // 89.415985107421875
  static constexpr float vector_limit = 89.4f;
  static constexpr float big = 12;                // e^-2a below 2^-34
  static constexpr float tanh_one = 9.1f;         // 1 - tanh a below 2^-26
  static constexpr float tiny = 0x1p-12f;
  static constexpr float log_big = 0x1p12f;       // the dropped 1/(4a^2) below 2^-29 of ln 2a
  static constexpr const auto& sinh_poly = hyperbolic::kSinhPoly_s;
};

template <class T> using TwoR = twopart::Two<Reg<T>>;

// e^a in two parts (|lo| <= ulp(hi) / 2) for |a| below ExpConst<T>::body_limit: the
// exponential's reduction, table and HA polynomial, the scaled table entry kept apart.
template <class T> inline TwoR<T> hyperbolic_exp(Reg<T> a) {
  using C = ExpConst<T>;
  const ExpReduced<T> s = exp_reduce<T, Base::E, Flavour::HA>(a);
  const Reg<T> t_hi = table2<T>(C::hi, s.idx);
  const Reg<T> rest = simd::fma(t_hi, exp_poly<T, Flavour::HA>(s.r), table2<T>(C::lo, s.idx));
  return twopart::fast_two_sum(simd::scalef(t_hi, s.scale), simd::scalef(rest, s.scale));
}

// e^a / 2 for a up to HypConst<T>::vector_limit: the exponential with its scale one lower.
template <class T, Flavour F> inline Reg<T> half_exp(Reg<T> a) {
  ExpReduced<T> s = exp_reduce<T, Base::E, F>(a);
  s.scale = simd::sub(s.scale, simd::splat(T(1)));
  return exp_assemble<T, F>(s, exp_poly<T, F>(s.r));
}

template <class T> inline TwoR<T> half_of(TwoR<T> v) {
  return {simd::mul(v.hi, simd::splat(T(0.5))), simd::mul(v.lo, simd::splat(T(0.5)))};
}

// sinh a and cosh a in two parts for 0 <= a < HypConst<T>::big (HA).
template <class T> struct SinhCosh {
  TwoR<T> s, c;
};
template <class T> inline SinhCosh<T> sinh_cosh_two(Reg<T> a) {
  using simd::splat;
  const TwoR<T> e = hyperbolic_exp<T>(a);
  const TwoR<T> inv = twopart::div(TwoR<T>{splat(T(1)), splat(T(0))}, e);
  SinhCosh<T> out{half_of<T>(twopart::add(e, TwoR<T>{simd::negate<T>(inv.hi), simd::negate<T>(inv.lo)})),
                  half_of<T>(twopart::add(e, inv))};
  const Mask<T> small = simd::lt(a, splat(T(0.5)));
  if (small) {  // a + a^3 P(a^2): its low part is exact beside a
    const Reg<T> aa = simd::mul(a, a);
    const TwoR<T> p = twopart::fast_two_sum(a, simd::mul(simd::mul(aa, a), simd::horner(aa, HypConst<T>::sinh_poly)));
    out.s = {simd::select(small, p.hi, out.s.hi), simd::select(small, p.lo, out.s.lo)};
  }
  return out;
}

// y (non-negative) with the sign of x.
template <class T> inline Reg<T> with_sign_of(Reg<T> y, Reg<T> x) {
  return simd::bit_or(y, simd::bit_and(x, simd::sign_mask<T>()));
}

enum HypKind { kSinhK, kCoshK, kTanhK };

// sinh, cosh or tanh of |x| (the caller puts back the sign).
template <class T, Flavour F, int K> inline Reg<T> hyperbolic_abs(Reg<T> a) {
  using simd::splat;
  using C = HypConst<T>;
  Reg<T> y;
  if constexpr (F == Flavour::HA) {
    const SinhCosh<T> sc = sinh_cosh_two<T>(a);
    if constexpr (K == kSinhK) y = twopart::value(sc.s);
    if constexpr (K == kCoshK) y = twopart::value(sc.c);
    if constexpr (K == kTanhK) y = twopart::value(twopart::div(sc.s, sc.c));
  } else if constexpr (K == kCoshK) {
    const Reg<T> e = exp_body<T, F>(a);
    y = simd::fma(e, splat(T(0.5)), simd::div(splat(T(0.5)), e));
  } else if constexpr (K == kSinhK) {
    const Reg<T> u = expm1_body<T, F>(a);
    y = simd::mul(splat(T(0.5)), simd::add(u, simd::div(u, simd::add(u, splat(T(1))))));
  } else {
    const Reg<T> u = expm1_body<T, F>(simd::add(a, a));
    y = simd::div(u, simd::add(u, splat(T(2))));
  }
  if constexpr (K == kTanhK) return simd::select(simd::ge(a, splat(C::tanh_one)), splat(T(1)), y);
  const Mask<T> big = simd::ge(a, splat(C::big));
  if (big) y = simd::select(big, half_exp<T, F>(a), y);
  return y;
}

// Scalar routine of Sinh and Cosh: NaN and infinities pass (cosh gives +inf), beyond the
// overflow limit +-inf with code 3, the band below it from long double.
template <class T, int K> inline int32_t sinh_cosh_scalar(T x, T* r) {
  if (std::isnan(x)) return *r = x + x, ZAR_ST_NONE;
  const T a = std::fabs(x);
  const T sign = K == kSinhK ? x : a;
  if (std::isinf(x)) return *r = sign, ZAR_ST_NONE;
  if (a > simd::bits_to(HypConst<T>::overflow[0]))
    return *r = std::copysign(std::numeric_limits<T>::infinity(), sign), ZAR_ST_RESULT_TOO_LARGE;
  *r = T(K == kSinhK ? std::sinh((long double)x) : std::cosh((long double)x));
  return ZAR_ST_NONE;
}

template <class T, Flavour F, int K> struct HyperbolicOp : Unary<T> {
  using V = Reg<T>;
  static Mask<T> vec(const V (&in)[1], V (&r)[1], const NoExtra&) {
    const V x = in[0], a = simd::abs_of<T>(x);
    const V y = hyperbolic_abs<T, F, K>(a);
    if constexpr (K == kCoshK) r[0] = y;
    else r[0] = with_sign_of<T>(y, x);
    if constexpr (K == kTanhK) return 0;  // 1 for infinities, NaN stays NaN
    return simd::not_le(a, simd::splat(HypConst<T>::vector_limit));
  }
  static int32_t scalar(const T* const* a, T* const* r, const NoExtra& ex) {
    if constexpr (K == kTanhK) return scalar_by_vector<HyperbolicOp>(a, r, ex);
    else return sinh_cosh_scalar<T, K>(*a[0], r[0]);
  }
};

template <class T, Flavour F> struct Sinh : HyperbolicOp<T, F, kSinhK> {
  static constexpr const char* kName = "Sinh";
};
template <class T, Flavour F> struct Cosh : HyperbolicOp<T, F, kCoshK> {
  static constexpr const char* kName = "Cosh";
};
template <class T, Flavour F> struct Tanh : HyperbolicOp<T, F, kTanhK> {
  static constexpr const char* kName = "Tanh";
};

// ---- inverses ----

// ln(w) for w = hi + lo, |lo| <= ulp(hi): lo / hi joins the logarithm's small part. Where
// big is set, ln(2 b) instead (ln 2 joins it).
template <class T, Flavour F> inline Reg<T> ln_two(Reg<T> hi, Reg<T> lo, Mask<T> big, Reg<T> b) {
  const Reg<T> ln2 = simd::splat(T(0.693147180559945309417));
  return log_body<T, F, Base::E>(simd::select(big, b, hi), simd::select(big, ln2, simd::div(lo, hi)));
}

// 1 + y in two parts for y >= 0 (LA and EP).
template <class T> inline TwoR<T> one_plus(Reg<T> y) {
  const Reg<T> u = simd::add(y, simd::splat(T(1)));
  return {u, simd::sub(y, simd::sub(u, simd::splat(T(1))))};
}

// t + t_lo = sqrt(s + s_lo) for s >= 0, t_lo from the exact residual s - t^2.
template <class T> inline TwoR<T> sqrt_two(TwoR<T> s) {
  const Reg<T> t = simd::sqrt(s.hi);
  const Reg<T> h = simd::div(simd::splat(T(0.5)), simd::max(t, simd::splat(std::numeric_limits<T>::min())));
  return {t, simd::mul(simd::add(simd::fnma(t, t, s.hi), s.lo), h)};
}

// x^2 + c (c = 1 or -1) exactly in two parts, for x^2 >= |c| / 2 or c = 1.
template <class T> inline TwoR<T> square_plus(Reg<T> x, T c) {
  const TwoR<T> p = twopart::two_prod(x, x);
  const TwoR<T> s = twopart::two_sum(p.hi, simd::splat(c));
  return twopart::fast_two_sum(s.hi, simd::add(s.lo, p.lo));
}

// asinh a for a >= 0.
template <class T, Flavour F> inline Reg<T> asinh_abs(Reg<T> a) {
  using simd::splat;
  const Mask<T> big = simd::ge(a, splat(HypConst<T>::log_big));
  TwoR<T> w;
  if constexpr (F == Flavour::HA) {
    const TwoR<T> t = sqrt_two<T>(square_plus<T>(a, T(1)));
    w = twopart::fast_two_sum(t.hi, a);
    w.lo = simd::add(w.lo, t.lo);
  } else {
    const Reg<T> aa = simd::mul(a, a);
    w = one_plus<T>(simd::add(a, simd::div(aa, simd::add(splat(T(1)), simd::sqrt(simd::add(aa, splat(T(1))))))));
  }
  const Reg<T> y = ln_two<T, F>(w.hi, w.lo, big, a);
  return simd::select(simd::lt(a, splat(HypConst<T>::tiny)), a, y);
}

// acosh x for 1 <= x < inf.
template <class T, Flavour F> inline Reg<T> acosh_body(Reg<T> x) {
  using simd::splat;
  const Mask<T> big = simd::ge(x, splat(HypConst<T>::log_big));
  TwoR<T> w;
  if constexpr (F == Flavour::HA) {
    const TwoR<T> t = sqrt_two<T>(square_plus<T>(x, T(-1)));
    w = twopart::fast_two_sum(x, t.hi);
    w.lo = simd::add(w.lo, t.lo);
  } else {
    const Reg<T> d = simd::sub(x, splat(T(1)));  // exact
    w = one_plus<T>(simd::add(d, simd::sqrt(simd::fma(d, d, simd::add(d, d)))));
  }
  return ln_two<T, F>(w.hi, w.lo, big, x);
}

// atanh a for 0 <= a < 1: ln(1 + q) / 2, q = 2a / (1 - a).
template <class T, Flavour F> inline Reg<T> atanh_abs(Reg<T> a) {
  using simd::splat;
  TwoR<T> w;
  if constexpr (F == Flavour::HA) {
    const TwoR<T> q = twopart::div(TwoR<T>{simd::add(a, a), splat(T(0))},
                                   twopart::fast_two_sum(splat(T(1)), simd::negate<T>(a)));
    w = twopart::two_sum(splat(T(1)), q.hi);
    w = twopart::fast_two_sum(w.hi, simd::add(w.lo, q.lo));
  } else {
    w = one_plus<T>(simd::div(simd::add(a, a), simd::sub(splat(T(1)), a)));
  }
  const Reg<T> y = simd::mul(ln_two<T, F>(w.hi, w.lo, Mask<T>(0), a), splat(T(0.5)));
  return simd::select(simd::lt(a, splat(HypConst<T>::tiny)), a, y);
}

// asinh: every lane in the body; infinities and NaN come back as x + x.
template <class T, Flavour F> struct Asinh : AllLanes<Asinh<T, F>, Unary<T>> {
  static constexpr const char* kName = "Asinh";
  using V = Reg<T>;
  static Mask<T> vec(const V (&in)[1], V (&r)[1], const NoExtra&) {
    const V x = in[0];
    const V y = with_sign_of<T>(asinh_abs<T, F>(simd::abs_of<T>(x)), x);
    r[0] = simd::select(simd::fpclass<simd::kInf | simd::kNaN>(x), simd::add(x, x), y);
    return 0;
  }
};

// acosh: x < 1, -inf and NaN go to the scalar routine (NaN with code 1, NaN passes), +inf too.
template <class T, Flavour F> struct Acosh : Unary<T> {
  static constexpr const char* kName = "Acosh";
  using V = Reg<T>;
  static Mask<T> vec(const V (&in)[1], V (&r)[1], const NoExtra&) {
    r[0] = acosh_body<T, F>(in[0]);
    return Mask<T>(simd::not_ge(in[0], simd::splat(T(1))) | simd::fpclass<simd::kPosInf>(in[0]));
  }
  static int32_t scalar(const T* const* a, T* const* r, const NoExtra&) {
    const T x = *a[0];
    if (std::isnan(x) || x == std::numeric_limits<T>::infinity()) return *r[0] = x + x, ZAR_ST_NONE;
    if (x < 1) return *r[0] = std::numeric_limits<T>::quiet_NaN(), ZAR_ST_DOMAIN;
    *r[0] = T(std::acosh((long double)x));
    return ZAR_ST_NONE;
  }
};

// atanh: |x| >= 1 and NaN go to the scalar routine: +-1 give +-inf (code 2), beyond NaN (code 1).
template <class T, Flavour F> struct Atanh : Unary<T> {
  static constexpr const char* kName = "Atanh";
  using V = Reg<T>;
  static Mask<T> vec(const V (&in)[1], V (&r)[1], const NoExtra&) {
    const V x = in[0], a = simd::abs_of<T>(x);
    r[0] = with_sign_of<T>(atanh_abs<T, F>(a), x);
    return simd::not_lt(a, simd::splat(T(1)));
  }
  static int32_t scalar(const T* const* a, T* const* r, const NoExtra&) {
    const T x = *a[0];
    if (std::isnan(x)) return *r[0] = x + x, ZAR_ST_NONE;
    if (std::fabs(x) == 1) return *r[0] = std::copysign(std::numeric_limits<T>::infinity(), x), ZAR_ST_POLE;
    if (std::fabs(x) > 1) return *r[0] = std::numeric_limits<T>::quiet_NaN(), ZAR_ST_DOMAIN;
    *r[0] = T(std::atanh((long double)x));
    return ZAR_ST_NONE;
  }
};

}  // namespace nrx::zar::ops
