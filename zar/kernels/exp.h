// Exponential family: Exp, Exp2, Exp10, Expm1 (float and double, one algorithm each).
//
// Every member reduces x to k/N + r with the table 2^(j/N) (N = 16 double, 32 float,
// looked up by register permutes), evaluates e^r - 1 by a short polynomial and scales by
// 2^floor(k/N). HA adds the low parts of the table and of ln 2; LA drops the table's low
// parts; EP drops both and most of the polynomial. Arguments whose results leave the
// normal range, and infinities, go to the scalar routine, which gives the special results
// and status codes.
#pragma once
#include <cmath>

#include "zar/kernels/explog_data.h"
#include "zar/kernels/op_base.h"

namespace nrx::zar::ops {

template <class T> struct ExpConst;
template <> struct ExpConst<double> {
  static constexpr int N = 16;
  static constexpr double shifter = 0x1.8p52;       // ulp 1: t - shifter = round(x N / ln 2)
  static constexpr double shifter_n = 0x1.8p48;     // ulp 1/16
  static constexpr double n_over_ln2 = 0x1.71547652b82fep+4;
  static constexpr double ln2_hi = 0x1.62e42fefa39efp-1;   // 0x3FE62E42FEFA39EF
  static constexpr double ln2_lo = 0x1.abc9e3b39803fp-56;  // 0x3C7ABC9E3B39803F
  static constexpr double n_log2_10 = 0x1.a934f0979a371p+5;  // 16 log2(10)
  static constexpr double log10_2_hi = 0x1.34413509f79ffp-2;
  static constexpr double log10_2_lo = -0x1.9dc1da994fd21p-59;
  static constexpr double ln10_hi = 0x1.26bb1bbb55516p+1;
  static constexpr double ln10_lo = -0x1.f48ad494ea3e9p-53;
  static constexpr double body_limit = 0x1.61da04cbafe44p+9;  // 707.7032713517042 = 1021 ln 2
  static constexpr const uint64_t* hi = explog::kExp2Hi_d;
  static constexpr const uint64_t* lo = explog::kExp2Lo_d;
};
template <> struct ExpConst<float> {
  static constexpr int N = 32;
  static constexpr float shifter = 0x1.8p23f;
  static constexpr float shifter_n = 0x1.8p18f;  // ulp 1/32
  static constexpr float n_over_ln2 = 0x1.715476p+5f;
  static constexpr float ln2_hi = 0x1.62e430p-1f;   // 0x3F317218
  static constexpr float ln2_lo = -0x1.05c610p-29f;  // 0xB102E308
  static constexpr float n_log2_10 = 0x1.a934f0p+6f;  // 32 log2(10)
  static constexpr float log2_10_hi = 0x1.a934f0p+1f;  // 0x40549A78
  static constexpr float log2_10_lo = 0x1.2f346ep-24f;  // 0x33979A37
  static constexpr float log10_2_hi = 0x1.344136p-2f;
  static constexpr float log10_2_lo = -0x1.ec10c0p-27f;
  static constexpr float ln10_hi = 0x1.26bb1cp+1f;
  static constexpr float ln10_lo = -0x1.12aabap-25f;
  static constexpr float body_limit = 0x1.5d589ep+6f;  // 87.33654022216797 (0x42AEAC4F)
  static constexpr const uint32_t* hi = explog::kExp2Hi_s;
  static constexpr const uint32_t* lo = explog::kExp2Lo_s;
};

// Coefficients c1.. of e^r - 1 = r (c1 + c2 r + ...), per type and flavour.
template <class T, Flavour F> struct ExpPoly;
template <> struct ExpPoly<double, Flavour::HA> {
  static constexpr uint64_t c[] = {0x3FF0000000000000, explog::kExpPolyHA_d[0], explog::kExpPolyHA_d[1],
                                   explog::kExpPolyHA_d[2], explog::kExpPolyHA_d[3], explog::kExpPolyHA_d[4],
                                   explog::kExpPolyHA_d[5]};
};
template <> struct ExpPoly<double, Flavour::LA> {
  static constexpr uint64_t c[] = {0x3FF0000000000000, explog::kExpPolyLA_d[0], explog::kExpPolyLA_d[1],
                                   explog::kExpPolyLA_d[2], explog::kExpPolyLA_d[3], explog::kExpPolyLA_d[4]};
};
template <> struct ExpPoly<double, Flavour::EP> {
  static constexpr uint64_t c[] = {0x3FF0000000000000, explog::kExpPolyEP_d[0], explog::kExpPolyEP_d[1],
                                   explog::kExpPolyEP_d[2]};
};
template <> struct ExpPoly<float, Flavour::HA> {
  static constexpr uint32_t c[] = {0x3F800000, explog::kExpPolyHA_s[0], explog::kExpPolyHA_s[1], explog::kExpPolyHA_s[2]};
};
template <> struct ExpPoly<float, Flavour::LA> : ExpPoly<float, Flavour::HA> {};
template <> struct ExpPoly<float, Flavour::EP> {
  static constexpr uint32_t c[] = {0x3F800000, explog::kExpPolyEP_s[0]};
};

// Entry (idx mod N) of an N-entry table held in two registers.
template <class T> inline Reg<T> table2(const typename simd::Traits<T>::uint* tab, simd::IReg idx) {
  return simd::lookup(simd::from_bits(tab), simd::from_bits(tab + simd::lanes<T>), idx);
}

// 2^(k/N) (1 + p), scaled by 2^floor(k/N); kf = k as a floating value, p ~ e^r - 1.
template <class T, Flavour F> inline Reg<T> exp_assemble(Reg<T> kf, simd::IReg idx, Reg<T> p) {
  using C = ExpConst<T>;
  const Reg<T> t_hi = table2<T>(C::hi, idx);
  Reg<T> y;
  if constexpr (F == Flavour::HA) y = simd::add(t_hi, simd::fma(t_hi, p, table2<T>(C::lo, idx)));
  else y = simd::fma(t_hi, p, t_hi);
  return simd::scalef(y, simd::mul(kf, simd::splat(T(1.0 / C::N))));
}

template <class T, Flavour F> inline Reg<T> exp_poly(Reg<T> r) { return simd::mul(r, simd::horner(r, ExpPoly<T, F>::c)); }

// e^x for |x| below the body limit.
template <class T, Flavour F> inline Reg<T> exp_body(Reg<T> x) {
  using C = ExpConst<T>;
  const Reg<T> t = simd::fma(x, simd::splat(C::n_over_ln2), simd::splat(C::shifter));
  const Reg<T> kf = simd::sub(t, simd::splat(C::shifter));
  const Reg<T> step_hi = simd::splat(T(C::ln2_hi / C::N)), step_lo = simd::splat(T(C::ln2_lo / C::N));
  Reg<T> r = simd::fnma(kf, step_hi, x);
  if constexpr (F != Flavour::EP) r = simd::fnma(kf, step_lo, r);
  return exp_assemble<T, F>(kf, simd::as_int(t), exp_poly<T, F>(r));
}

// Shared scalar routine of Exp: computes in double, codes 3 (overflow) and 4 (underflow).
template <class T> int32_t exp_scalar(T x, T* r) {
  if (std::isnan(x)) return *r = x * x, ZAR_ST_NONE;
  if (std::isinf(x)) return *r = x < 0 ? T(0) : x * x, ZAR_ST_NONE;
  if constexpr (sizeof(T) == 8) {
    if (x > 0x1.62e42fefa39efp+9) return *r = T(HUGE_VAL), ZAR_ST_RESULT_TOO_LARGE;  // 709.782712893384
    if (x < -0x1.74910d52d3051p+9) return *r = T(0), ZAR_ST_RESULT_TOO_SMALL;           // -745.1332191019411
    *r = std::exp(x);
    return x < -0x1.6232bdd7abcd2p+9 ? ZAR_ST_RESULT_TOO_SMALL : ZAR_ST_NONE;            // -708.3964185322641
  } else {
    if (x > 0x1.62e42ep+6f) return *r = T(HUGE_VALF), ZAR_ST_RESULT_TOO_LARGE;   // 88.72283172607422
    if (x < -0x1.9fe368p+6f) return *r = T(0), ZAR_ST_RESULT_TOO_SMALL;          // -103.97207641601562
    *r = float(std::exp(double(x)));
    return x < -0x1.5d589ep+6f ? ZAR_ST_RESULT_TOO_SMALL : ZAR_ST_NONE;          // -87.33654022216797
  }
}

// Results from a double value of the same function: overflow gives code 3, a subnormal or
// zero result of a finite argument code 4.
template <class T> int32_t range_code(double exact, T* r) {
  *r = T(exact);
  if (std::isinf(*r)) return ZAR_ST_RESULT_TOO_LARGE;
  if (std::fabs(*r) < std::numeric_limits<T>::min()) return ZAR_ST_RESULT_TOO_SMALL;
  return ZAR_ST_NONE;
}

template <class T> inline Mask<T> beyond(Reg<T> x, T limit) {
  return simd::ge(simd::abs_of<T>(x), simd::splat(limit));
}

template <class T, Flavour F> struct Exp : Unary<T> {
  static constexpr const char* kName = "Exp";
  using V = Reg<T>;
  static Mask<T> vec(const V (&a)[1], V (&r)[1], const NoExtra&) {
    r[0] = exp_body<T, F>(a[0]);
    return beyond<T>(a[0], ExpConst<T>::body_limit);
  }
  static int32_t scalar(const T* const* a, T* const* r, const NoExtra&) { return exp_scalar(*a[0], r[0]); }
};

// 2^(hi + lo) for |hi| <= 1022 (double): k/16 = hi rounded to the table step, hi - k/16
// exact, and ln 2's low part below 2^-60 |r|, so one multiply gives r.
template <Flavour F, bool Lo = false> inline Reg<double> exp2_wide(Reg<double> hi, Reg<double> lo = Reg<double>()) {
  using simd::splat;
  using C = ExpConst<double>;
  const Reg<double> t = simd::fma(hi, splat(16.0), splat(C::shifter));
  const Reg<double> k = simd::sub(t, splat(C::shifter));  // 16 hi rounded
  Reg<double> d = simd::fnma(k, splat(1.0 / 16), hi);
  if constexpr (Lo) d = simd::add(d, lo);
  const Reg<double> r = simd::mul(d, splat(C::ln2_hi));
  const Reg<double> p = simd::mul(r, simd::horner_split(r, simd::mul(r, r), ExpPoly<double, F>::c));
  return exp_assemble<double, F>(k, simd::as_int(t), p);
}

// Float 2^(w + w_lo) without a table: 2^k (1 + f P(f)) with k = rint(w), f = (w - k) + w_lo,
// |f| <= 1/2 plus |w_lo|.
template <bool Lo = false> inline Reg<float> exp2_direct(Reg<float> w, Reg<float> w_lo = Reg<float>()) {
  const Reg<float> k = simd::round<simd::kRoundNearest>(w);
  Reg<float> f = simd::sub(w, k);  // exact
  if constexpr (Lo) f = simd::add(f, w_lo);
  return simd::scalef(simd::fma(f, simd::horner(f, explog::kExp2Direct_s), simd::splat(1.0f)), k);
}

// 2^x: k/N = x rounded to the table step, r = (x - k/N) ln 2 with x - k/N exact (double);
// a single polynomial on |f| <= 1/2 (float).
template <class T, Flavour F> struct Exp2 : Unary<T> {
  static constexpr const char* kName = "Exp2";
  using V = Reg<T>;
  using C = ExpConst<T>;
  static Mask<T> vec(const V (&a)[1], V (&r)[1], const NoExtra&) {
    const V x = a[0];
    if constexpr (sizeof(T) == 4) r[0] = exp2_direct(x);
    else r[0] = exp2_wide<Flavour::HA>(x);
    return beyond<T>(x, T(sizeof(T) == 8 ? 1022 : 126));
  }
  static int32_t scalar(const T* const* a, T* const* r, const NoExtra&) {
    const T x = *a[0];
    if (std::isnan(x)) return *r[0] = x + x, ZAR_ST_NONE;
    if (std::isinf(x)) return *r[0] = x < 0 ? T(0) : x, ZAR_ST_NONE;
    return range_code<T>(std::exp2(double(x)), r[0]);
  }
};

// 10^x: k/N = x log2(10) rounded, r = (x - k log10(2)/N) ln 10 in two-part arithmetic (double);
// 2^w with w = x log2(10) in two parts and no table (float).
template <class T, Flavour F> struct Exp10 : Unary<T> {
  static constexpr const char* kName = "Exp10";
  using V = Reg<T>;
  using C = ExpConst<T>;
  static Mask<T> vec(const V (&a)[1], V (&r)[1], const NoExtra&) {
    const V x = a[0];
    if constexpr (sizeof(T) == 4) {
      const V l_hi = simd::splat(C::log2_10_hi), l_lo = simd::splat(C::log2_10_lo);
      const V w = simd::mul(x, l_hi);
      r[0] = exp2_direct<true>(w, simd::fma(x, l_lo, simd::fms(x, l_hi, w)));
    } else {
      const V t = simd::fma(x, simd::splat(C::n_log2_10), simd::splat(C::shifter));
      const V kf = simd::sub(t, simd::splat(C::shifter));
      V d = simd::fnma(kf, simd::splat(T(C::log10_2_hi / C::N)), x);
      d = simd::fnma(kf, simd::splat(T(C::log10_2_lo / C::N)), d);
      const V rr = simd::fma(d, simd::splat(C::ln10_hi), simd::mul(d, simd::splat(C::ln10_lo)));
      r[0] = exp_assemble<T, Flavour::HA>(kf, simd::as_int(t), exp_poly<T, Flavour::HA>(rr));
    }
    return beyond<T>(x, T(sizeof(T) == 8 ? 307.0 : 37.5));
  }
  static int32_t scalar(const T* const* a, T* const* r, const NoExtra&) {
    const T x = *a[0];
    if (std::isnan(x)) return *r[0] = x + x, ZAR_ST_NONE;
    if (std::isinf(x)) return *r[0] = x < 0 ? T(0) : x, ZAR_ST_NONE;
    if (std::fabs(x) < T(0x1p-52)) return *r[0] = T(1) + x, ZAR_ST_NONE;
    return range_code<T>(std::pow(10.0, double(x)), r[0]);
  }
};

// Coefficients c0.. of (e^x - 1 - x) / x^2 on |x| <= ln 2 / 2, per type and flavour.
template <class T, Flavour F> struct Expm1Poly;
template <> struct Expm1Poly<double, Flavour::HA> { static constexpr const auto& c = explog::kExpm1DirectHA_d; };
template <> struct Expm1Poly<double, Flavour::LA> { static constexpr const auto& c = explog::kExpm1DirectLA_d; };
template <> struct Expm1Poly<double, Flavour::EP> { static constexpr const auto& c = explog::kExpm1DirectEP_d; };
template <> struct Expm1Poly<float, Flavour::HA> { static constexpr const auto& c = explog::kExpm1DirectHA_s; };
template <> struct Expm1Poly<float, Flavour::LA> : Expm1Poly<float, Flavour::HA> {};
template <> struct Expm1Poly<float, Flavour::EP> { static constexpr const auto& c = explog::kExpm1DirectEP_s; };

// e^x - 1: the direct polynomial near 0; elsewhere e^x = s + rest with s = 2^(k/N) from
// the table, and the -1 added where it loses nothing.
template <class T, Flavour F> struct Expm1 : Unary<T> {
  static constexpr const char* kName = "Expm1";
  using V = Reg<T>;
  using C = ExpConst<T>;
  static constexpr T kLow = sizeof(T) == 8 ? T(-40) : T(-17.5);  // e^x - 1 rounds to -1 below (and -inf)
  static Mask<T> vec(const V (&a)[1], V (&r)[1], const NoExtra&) {
    using simd::splat;
    const V x = a[0];
    const V direct = simd::fma(simd::mul(x, x), simd::horner(x, Expm1Poly<T, F>::c), x);
    const V t = simd::fma(x, splat(C::n_over_ln2), splat(C::shifter));
    const V kf = simd::sub(t, splat(C::shifter));
    V rr = simd::fnma(kf, splat(T(C::ln2_hi / C::N)), x);
    if constexpr (F != Flavour::EP) rr = simd::fnma(kf, splat(T(C::ln2_lo / C::N)), rr);
    const V p = simd::mul(rr, simd::horner(rr, ExpPoly<T, F == Flavour::EP ? Flavour::EP : Flavour::HA>::c));
    const simd::IReg idx = simd::as_int(t);
    const V t_hi = table2<T>(C::hi, idx);
    const V t_lo = F != Flavour::EP ? table2<T>(C::lo, idx) : splat(T(0));
    const V scale = simd::mul(kf, splat(T(1.0 / C::N)));
    const V s = simd::scalef(t_hi, scale);
    const V rest = simd::scalef(simd::fma(t_hi, p, t_lo), scale);
    // s - 1 is exact from 1/2 to 2^mant and kept exact with its rounding error below 1/2;
    // above 2^mant the -1 joins rest, where it loses nothing.
    const V sum = simd::sub(s, splat(T(1)));
    const V err = simd::sub(s, simd::add(sum, splat(T(1))));
    const Mask<T> big = simd::ge(s, splat(T(sizeof(T) == 8 ? 0x1p52 : 0x1p23)));
    const V table = simd::add(simd::select(big, s, sum),
                              simd::select(big, simd::sub(rest, splat(T(1))), simd::add(rest, err)));
    const Mask<T> near0 = simd::le(simd::abs_of<T>(x), splat(T(0.34657359027997264)));
    const V value = simd::select(simd::lt(x, splat(kLow)), splat(T(-1)), simd::select(near0, direct, table));
    r[0] = simd::select(simd::fpclass<simd::kZero>(x), x, value);
    return simd::ge(x, splat(C::body_limit));
  }
  static int32_t scalar(const T* const* a, T* const* r, const NoExtra&) {
    const T x = *a[0];
    if (std::isnan(x)) return *r[0] = x + x, ZAR_ST_NONE;
    const T top = sizeof(T) == 8 ? T(709.782712893384) : T(88.72283172607422);
    if (x > top) return *r[0] = T(HUGE_VAL), ZAR_ST_RESULT_TOO_LARGE;
    if (x < kLow) return *r[0] = T(-1), ZAR_ST_NONE;
    *r[0] = T(std::expm1(double(x)));
    return ZAR_ST_NONE;
  }
};

}  // namespace nrx::zar::ops
