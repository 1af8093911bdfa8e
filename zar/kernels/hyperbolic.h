// Hyperbolic functions: Sinh, Cosh, Tanh, Asinh, Acosh, Atanh (float and double, one
// algorithm each, built on the exponential, logarithm and square-root bodies).
//
// With a = |x| and h = e^a / 2 (the exponential with its scale one lower, so nothing
// overflows up to the limit): sinh a = h - 1/(4h), cosh a = h + 1/(4h); for large a the
// second term vanishes by itself. HA keeps h and 1/(4h) in two parts, so sinh a loses
// nothing to cancellation from a = 1/2 on; below it sinh a is its own polynomial, and tanh a
// = sinh a / cosh a is one corrected quotient. LA and EP round h and 1/(4h) once (sinh a
// below 1/2 from the same polynomial) and take tanh a = 1 - 2/(e^(2a) + 1) from
// HypConst::tanh_small on (tanh a >= 1/2 there, so the subtraction loses nothing), below
// it tanh a = a + a^3 P(a^2), evaluated only for registers that hold such a lane. Tanh
// rounds to 1 from HypConst::tanh_one on.
//
// The inverses are logarithms of a value w kept in two parts, ln(w_hi + w_lo) = log_body(
// w_hi) + w_lo / w_hi, as Log1p does: asinh a = ln(a + sqrt(a^2 + 1)), acosh x = ln(x +
// sqrt(x^2 - 1)) and atanh a = ln(1 + 2a / (1 - a)) / 2. HA forms w from exact products
// and a two-part square root; LA and EP round w = 1 + y once, y = a + a^2 / (1 + sqrt(a^2
// + 1)), (x - 1) + sqrt((x - 1)(x + 1)) or 2a / (1 - a), and keep the rounding error. From
// HypConst::log_big on, asinh and acosh are ln(2a) = ln a + ln 2; a register whose lanes
// all lie there takes that logarithm alone and forms no w.
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
  static constexpr double vector_limit = 710.44;  // e^a/2 below 2^1024 with its table entry scaled apart
  static constexpr double tanh_one = 19.1;        // 1 - tanh a below 2^-55: tanh a rounds to 1
  static constexpr double tiny = 0x1p-26;         // asinh a and atanh a round to a
  static constexpr double log_big = 0x1p28;       // asinh a = acosh a = ln 2a within 2^-60
  static constexpr double tanh_small = 0.55;      // tanh a by its polynomial below
  static constexpr const auto& sinh_poly = hyperbolic::kSinhPoly_d;
  static constexpr const auto& tanh_poly = hyperbolic::kTanhPoly_d;
};
template <> struct HypConst<float> {
  static constexpr const uint32_t* overflow = hyperbolic::kSinhOverflow_s;  // 89.415985107421875
  static constexpr float vector_limit = 89.4f;
  static constexpr float tanh_one = 9.1f;  // 1 - tanh a below 2^-26
  static constexpr float tiny = 0x1p-12f;
  static constexpr float log_big = 0x1p12f;  // the dropped 1/(4a^2) below 2^-29 of ln 2a
  static constexpr float tanh_small = 0.55f;
  static constexpr const auto& sinh_poly = hyperbolic::kSinhPoly_s;
  static constexpr const auto& tanh_poly = hyperbolic::kTanhPoly_s;
};

template <class T> using TwoR = twopart::Two<Reg<T>>;

// The exponential's reduction of a with its scale one lower: the result is e^a / 2, and no
// intermediate overflows up to HypConst<T>::vector_limit.
template <class T, Flavour F> inline ExpReduced<T> half_exp_reduce(Reg<T> a) {
  ExpReduced<T> s = exp_reduce<T, Base::E, F>(a);
  s.scale = simd::sub(s.scale, simd::splat(T(1)));
  return s;
}

// e^a / 2 in two parts (|lo| <= ulp(hi) / 2): the HA table and polynomial, the scaled table
// entry kept apart from the rest.
template <class T> inline TwoR<T> half_exp_two(Reg<T> a) {
  using C = ExpConst<T>;
  const ExpReduced<T> s = half_exp_reduce<T, Flavour::HA>(a);
  const Reg<T> t_hi = table2<T>(C::hi, s.idx);
  const Reg<T> rest = simd::fma(t_hi, exp_poly<T, Flavour::HA>(s.r), table2<T>(C::lo, s.idx));
  return twopart::fast_two_sum(simd::scalef(t_hi, s.scale), simd::scalef(rest, s.scale));
}

// 1/(4h) in two parts for h = e^a / 2 (a >= 0): one division, the exact residual
// 1/4 - h_hi q and h_lo correct it. From h = 2^(p/2) on (p the precision) it is far below
// h's last bit and is replaced by 1/(4 2^(p/2)), which keeps every step off the subnormals.
template <class T> inline TwoR<T> quarter_over(TwoR<T> h) {
  using simd::splat;
  constexpr T cap = sizeof(T) == 8 ? T(0x1p27) : T(0x1p12);
  const Mask<T> far = simd::gt(h.hi, splat(cap));
  const Reg<T> hh = simd::select(far, splat(cap), h.hi), hl = simd::select(far, splat(T(0)), h.lo);
  const Reg<T> q = simd::div(splat(T(0.25)), hh);
  const Reg<T> e = simd::fnma(hh, q, splat(T(0.25)));
  return {q, simd::mul(simd::mul(q, splat(T(4))), simd::fnma(hl, q, e))};
}

// a^3 P(a^2) = sinh a - a for a below 1/2.
template <class T> inline Reg<T> sinh_poly_tail(Reg<T> a) {
  const Reg<T> aa = simd::mul(a, a);
  return simd::mul(simd::mul(aa, a), simd::horner(aa, HypConst<T>::sinh_poly));
}

// sinh a from y = h - 1/(4h), its polynomial below a = 1/2 (where h - 1/(4h) cancels).
template <class T> inline Reg<T> sinh_small(Reg<T> a, Reg<T> y) {
  const Mask<T> small = simd::lt(a, simd::splat(T(0.5)));
  return small ? simd::select(small, simd::add(a, sinh_poly_tail<T>(a)), y) : y;
}

// sinh a = h - 1/(4h) and cosh a = h + 1/(4h) in two parts, h = e^a / 2 >= 1/(4h); sinh a
// below 1/2 by its polynomial a + a^3 P(a^2), whose low part is exact beside a.
template <class T, bool S, bool C> struct SinhCosh { TwoR<T> s, c; };
template <class T, bool S, bool C> inline SinhCosh<T, S, C> sinh_cosh_two(Reg<T> a) {
  using simd::splat;
  const TwoR<T> h = half_exp_two<T>(a), q = quarter_over<T>(h);
  SinhCosh<T, S, C> out;
  if constexpr (C) {
    const TwoR<T> c = twopart::fast_two_sum(h.hi, q.hi);
    out.c = twopart::fast_two_sum(c.hi, simd::add(c.lo, simd::add(h.lo, q.lo)));
  }
  if constexpr (S) {
    const TwoR<T> s = twopart::fast_two_sum(h.hi, simd::negate<T>(q.hi));
    out.s = twopart::fast_two_sum(s.hi, simd::add(s.lo, simd::sub(h.lo, q.lo)));
    const Mask<T> small = simd::lt(a, splat(T(0.5)));
    if (small) {
      const TwoR<T> p = twopart::fast_two_sum(a, sinh_poly_tail<T>(a));  // exact beside a
      out.s = {simd::select(small, p.hi, out.s.hi), simd::select(small, p.lo, out.s.lo)};
    }
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
  if constexpr (F == Flavour::HA) {
    const SinhCosh<T, K != kCoshK, K != kSinhK> sc = sinh_cosh_two<T, K != kCoshK, K != kSinhK>(a);
    if constexpr (K == kSinhK) return twopart::value(sc.s);
    if constexpr (K == kCoshK) return twopart::value(sc.c);
    if constexpr (K == kTanhK) {
      // s/c = t + (s - t c)/c: the residual needs 1/c to a few bits only.
      const Reg<T> t = simd::div(sc.s.hi, sc.c.hi);
      const Reg<T> r = simd::fnma(t, sc.c.lo, simd::add(simd::fnma(t, sc.c.hi, sc.s.hi), sc.s.lo));
      const Reg<T> y = simd::fma(r, simd::rcp14(sc.c.hi), t);
      return simd::select(simd::ge(a, splat(HypConst<T>::tanh_one)), splat(T(1)), y);
    }
  } else if constexpr (K == kTanhK) {
    using C = HypConst<T>;
    // e^(2a) up to 2 tanh_one only (min keeps a NaN a): there 2/(e^(2a) + 1) is below half
    // the last bit under 1 (2^-25.3 for float, 2^-54.1 for double), so 1 - it rounds to 1
    // exactly and needs no select.
    const Reg<T> e2 = exp_body<T, F>(simd::min(splat(T(2 * C::tanh_one)), simd::add(a, a)));
    Reg<T> y = simd::sub(splat(T(1)), simd::div(splat(T(2)), simd::add(e2, splat(T(1)))));
    const Mask<T> small = simd::lt(a, splat(C::tanh_small));
    if (small) {
      const Reg<T> aa = simd::mul(a, a);
      y = simd::select(small, simd::fma(simd::mul(aa, a), simd::horner(aa, C::tanh_poly), a), y);
    }
    return y;
  } else {
    const ExpReduced<T> s = half_exp_reduce<T, F>(a);
    const Reg<T> h = exp_assemble<T, F>(s, exp_poly<T, F>(s.r));
    const Reg<T> q = simd::div(splat(T(0.25)), simd::min(h, splat(T(sizeof(T) == 8 ? 0x1p27 : 0x1p12))));
    if constexpr (K == kCoshK) return simd::add(h, q);
    return sinh_small<T>(a, simd::sub(h, q));
  }
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

template <class T, Flavour F> struct Sinh : HyperbolicOp<T, F, kSinhK> { static constexpr const char* kName = "Sinh"; };
template <class T, Flavour F> struct Cosh : HyperbolicOp<T, F, kCoshK> { static constexpr const char* kName = "Cosh"; };
template <class T, Flavour F> struct Tanh : HyperbolicOp<T, F, kTanhK> { static constexpr const char* kName = "Tanh"; };

// ---- inverses ----

// ln(w) for w = hi + lo, |lo| <= ulp(hi): lo / hi joins the logarithm's small part. Where
// big is set, ln(2 b) instead (ln 2 joins it).
template <class T, Flavour F> inline Reg<T> ln_two(Reg<T> hi, Reg<T> lo, Mask<T> big, Reg<T> b) {
  using simd::splat;
  // One division: cheaper than the estimate and a Newton step where the divider is pipelined.
  const Reg<T> corr = simd::div(lo, hi);
  return log_body<T, F, Base::E>(simd::select(big, b, hi), simd::select(big, splat(T(0.693147180559945309417)), corr));
}

// ln(2 b), for registers whose lanes all lie from HypConst::log_big on (wide argument ranges
// are mostly such registers): the logarithm alone, without forming w.
template <class T, Flavour F> inline Reg<T> ln_twice(Reg<T> b) {
  return log_body<T, F, Base::E>(b, simd::splat(T(0.693147180559945309417)));
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
  if (simd::every_lane<T>(big)) return ln_twice<T, F>(a);
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
  if (simd::every_lane<T>(big)) return ln_twice<T, F>(x);
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

// atanh a for 0 <= a < 1: ln(1 + q) / 2, q = 2a / (1 - a). Double LA and EP round q once (its
// error weighs at most its own relative size in the result) and reduce the logarithm from
// w = (1 + a) / (1 - a) to 14 bits (the reciprocal estimate), beside the division instead of
// after it; r comes from q itself. For tiny a the reduction is c = 1, r = q, and the
// logarithm gives q by itself. Float LA and EP and HA keep 1 + q in two parts.
template <class T, Flavour F> inline Reg<T> atanh_abs(Reg<T> a) {
  using simd::splat;
  const Reg<T> one = splat(T(1)), d = simd::sub(one, a);
  if constexpr (F != Flavour::HA && sizeof(T) == 8) {
    const Reg<T> q = simd::div(simd::add(a, a), d);
    const Reg<T> w = simd::mul(simd::add(one, a), simd::rcp14(d));
    return simd::mul(log_body<T, F, Base::E, true, true, true>(w, q), splat(T(0.5)));
  }
  TwoR<T> w;
  if constexpr (F == Flavour::HA) {
    // q in two parts: the residual of 2a - q (1 - a) over the reciprocal estimate of 1 - a
    // (its 2^-14 weighs 2^-67 of q), one division in place of twopart::div's two.
    const TwoR<T> b = twopart::fast_two_sum(one, simd::negate<T>(a));
    const Reg<T> aa = simd::add(a, a), qh = simd::div(aa, b.hi);
    const TwoR<T> qb = twopart::mul(b, qh);
    const Reg<T> res = simd::sub(simd::sub(aa, qb.hi), qb.lo);
    const TwoR<T> q = twopart::fast_two_sum(qh, simd::mul(res, simd::rcp14(b.hi)));
    w = twopart::two_sum(one, q.hi);
    w = twopart::fast_two_sum(w.hi, simd::add(w.lo, q.lo));
  } else {
    w = one_plus<T>(simd::div(simd::add(a, a), d));
  }
  const Reg<T> y = simd::mul(ln_two<T, F>(w.hi, w.lo, Mask<T>(0), a), splat(T(0.5)));
  // float LA and EP: for tiny a, w is 1 + 2a in two parts and the logarithm gives 2a by itself.
  if constexpr (F != Flavour::HA) return y;
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
