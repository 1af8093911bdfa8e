// Exponential family: Exp, Exp2, Exp10, Expm1 (float and double, one algorithm each).
//
// Every member goes through one reduction (exp_reduce): x log2(b) = k/N + d with the table
// 2^(j/N) (N = 16 double, 32 float, looked up by register permutes), then evaluates
// e^r - 1 (r = d ln 2) by a short polynomial and scales by 2^floor(k/N) (exp_assemble).
// HA adds the low parts of the table and of ln 2; LA drops the table's low parts; EP drops
// both and most of the polynomial. Arguments whose results leave the normal range, and
// infinities, go to the scalar routine, which gives the special results and status codes.
//
// Entries for other kernels: exp_body<T, F>(x) is e^x and expm1_body<T, F>(x) is e^x - 1,
// each for |x| below ExpConst<T>::body_limit (other lanes hold unspecified values).
#pragma once
#include <cmath>

#include "zar/kernels/explog_data.h"
#include "zar/kernels/op_base.h"
#include "zar/kernels/twopart.h"

namespace nrx::zar::ops {

enum class Base { E, Two, Ten };

template <class T> struct ExpConst;
template <> struct ExpConst<double> {
  static constexpr int N = 16;
  static constexpr double shifter = 0x1.8p52;    // ulp 1: t - shifter = round(x N / ln 2)
  static constexpr double shifter_n = 0x1.8p48;  // ulp 1/16: t - shifter_n = x rounded to 1/N
  static constexpr double n_over_ln2 = 0x1.71547652b82fep+4;
  static constexpr double ln2_hi = 0x1.62e42fefa39efp-1;     // 0x3FE62E42FEFA39EF
  static constexpr double ln2_lo = 0x1.abc9e3b39803fp-56;    // 0x3C7ABC9E3B39803F
  static constexpr double n_log2_10 = 0x1.a934f0979a371p+5;  // 16 log2(10)
  static constexpr double log10_2_hi = 0x1.34413509f79ffp-2;
  static constexpr double log10_2_lo = -0x1.9dc1da994fd21p-59;
  static constexpr double ln10_hi = 0x1.26bb1bbb55516p+1;
  static constexpr double ln10_lo = -0x1.f48ad494ea3e9p-53;
  static constexpr double body_limit = 0x1.61da04cbafe44p+9;  // 707.7032713517042 = 1021 ln 2
  static constexpr double overflow = 0x1.62e42fefa39efp+9;    // 709.782712893384: e^x finite up to here
  static constexpr double underflow = -0x1.74910d52d3051p+9;  // -745.1332191019411: e^x rounds to 0 below
  static constexpr double subnormal = -0x1.6232bdd7abcd2p+9;  // -708.3964185322641: e^x subnormal below
  static constexpr double exp2_limit = 1022;                  // |x| of 2^x the body covers
  static constexpr double exp10_limit = 307;                  // |x| of 10^x the body covers
  static constexpr const uint64_t* hi = explog::kExp2Hi_d;
  static constexpr const uint64_t* lo = explog::kExp2Lo_d;
};
template <> struct ExpConst<float> {
  static constexpr int N = 32;
  static constexpr float shifter = 0x1.8p23f;
  static constexpr float shifter_n = 0x1.8p18f;  // ulp 1/32
  static constexpr float n_over_ln2 = 0x1.715476p+5f;
  static constexpr float ln2_hi = 0x1.62e430p-1f;       // 0x3F317218
  static constexpr float ln2_lo = -0x1.05c610p-29f;     // 0xB102E308
  static constexpr float n_log2_10 = 0x1.a934f0p+6f;    // 32 log2(10)
  static constexpr float log2_10_hi = 0x1.a934f0p+1f;   // 0x40549A78
  static constexpr float log2_10_lo = 0x1.2f346ep-24f;  // 0x33979A37
  static constexpr float log10_2_hi = 0x1.344136p-2f;
  static constexpr float log10_2_lo = -0x1.ec10c0p-27f;
  static constexpr float ln10_hi = 0x1.26bb1cp+1f;
  static constexpr float ln10_lo = -0x1.12aabap-25f;
  static constexpr float body_limit = 0x1.5d589ep+6f;  // 87.33654022216797 (0x42AEAC4F)
  static constexpr float overflow = 0x1.62e42ep+6f;    // 88.72283172607422
  static constexpr float underflow = -0x1.9fe368p+6f;  // -103.97207641601562
  static constexpr float subnormal = -body_limit;
  static constexpr float exp2_limit = 126;
  static constexpr float exp10_limit = 37.5f;
  static constexpr const uint32_t* hi = explog::kExp2Hi_s;
  static constexpr const uint32_t* lo = explog::kExp2Lo_s;
};

// Coefficients c1.. of e^r - 1 = r (c1 + c2 r + ...), per type and flavour.
template <class T, Flavour F> struct ExpPoly;
template <> struct ExpPoly<double, Flavour::HA> {
  static constexpr uint64_t c[] = {0x3FF0000000000000,      explog::kExpPolyHA_d[0], explog::kExpPolyHA_d[1],
                                   explog::kExpPolyHA_d[2], explog::kExpPolyHA_d[3], explog::kExpPolyHA_d[4],
                                   explog::kExpPolyHA_d[5]};
};
template <> struct ExpPoly<double, Flavour::LA> {
  static constexpr uint64_t c[] = {0x3FF0000000000000,      explog::kExpPolyLA_d[0], explog::kExpPolyLA_d[1],
                                   explog::kExpPolyLA_d[2], explog::kExpPolyLA_d[3], explog::kExpPolyLA_d[4]};
};
template <> struct ExpPoly<double, Flavour::EP> {
  static constexpr uint64_t c[] = {0x3FF0000000000000, explog::kExpPolyEP_d[0], explog::kExpPolyEP_d[1],
                                   explog::kExpPolyEP_d[2]};
};
template <> struct ExpPoly<float, Flavour::HA> {
  static constexpr uint32_t c[] = {0x3F800000, explog::kExpPolyHA_s[0], explog::kExpPolyHA_s[1],
                                   explog::kExpPolyHA_s[2]};
};
template <> struct ExpPoly<float, Flavour::LA> : ExpPoly<float, Flavour::HA> {};
template <> struct ExpPoly<float, Flavour::EP> {
  static constexpr uint32_t c[] = {0x3F800000, explog::kExpPolyEP_s[0]};
};

// Entry (idx mod N) of an N-entry table held in two registers.
template <class T> inline Reg<T> table2(const typename simd::Traits<T>::uint* tab, simd::IReg idx) {
  return simd::lookup(simd::from_bits(tab), simd::from_bits(tab + simd::lanes<T>), idx);
}

// x = (k/N + d) log_B(2): scale = k/N as a floating value, idx holds k mod N in its low bits.
template <class T> struct ExpReduced {
  Reg<T> scale;
  simd::IReg idx;
  Reg<T> r;  // d ln 2, or d itself when the caller asked for base-2 units
};

// The one reduction of the exponentials, for the bases e, 2 and 10; x_lo (Lo) is a low part
// of x. Base e subtracts k ln2/N in two parts (one for EP); base 2 rounds x to a multiple
// of 1/N by adding a shifter whose ulp is 1/N, so d = x - k/N is exact and r = d ln 2 takes
// one multiply (ln 2's low part lies below 2^-60 |r|), or r = d (Natural false) for a
// base-2 polynomial; base 10 subtracts k log10(2)/N in two parts and multiplies by ln 10
// in two parts.
template <class T, Base B, Flavour F, bool Lo = false, bool Natural = true>
inline ExpReduced<T> exp_reduce(Reg<T> x, Reg<T> x_lo = Reg<T>()) {
  using simd::splat;
  using C = ExpConst<T>;
  if constexpr (B == Base::Two) {
    const Reg<T> t = simd::add(x, splat(C::shifter_n));
    const Reg<T> kn = simd::sub(t, splat(C::shifter_n));
    Reg<T> r = simd::sub(x, kn);
    if constexpr (Lo) r = simd::add(r, x_lo);
    if constexpr (Natural) r = simd::mul(r, splat(C::ln2_hi));
    return {kn, simd::as_int(t), r};
  } else {
    constexpr T scale = B == Base::E ? C::n_over_ln2 : C::n_log2_10;
    const Reg<T> t = simd::fma(x, splat(scale), splat(C::shifter));
    const Reg<T> kf = simd::sub(t, splat(C::shifter));
    Reg<T> r;
    if constexpr (B == Base::E) {
      r = simd::fnma(kf, splat(T(C::ln2_hi / C::N)), x);
      if constexpr (F != Flavour::EP) r = simd::fnma(kf, splat(T(C::ln2_lo / C::N)), r);
      if constexpr (Lo) r = simd::add(r, x_lo);
    } else {
      r = simd::fnma(kf, splat(T(C::log10_2_hi / C::N)), x);
      r = simd::fnma(kf, splat(T(C::log10_2_lo / C::N)), r);
      r = simd::fma(r, splat(C::ln10_hi), simd::mul(r, splat(C::ln10_lo)));
    }
    return {simd::mul(kf, splat(T(1.0 / C::N))), simd::as_int(t), r};
  }
}

// 2^(k/N) (1 + p), scaled by 2^floor(k/N); p ~ e^r - 1 (or 2^r - 1) of the reduction.
template <class T, Flavour F> inline Reg<T> exp_assemble(const ExpReduced<T>& s, Reg<T> p) {
  using C = ExpConst<T>;
  const Reg<T> t_hi = table2<T>(C::hi, s.idx);
  Reg<T> y;
  if constexpr (F == Flavour::HA) y = simd::add(t_hi, simd::fma(t_hi, p, table2<T>(C::lo, s.idx)));
  else y = simd::fma(t_hi, p, t_hi);
  return simd::scalef(y, s.scale);
}

template <class T, Flavour F> inline Reg<T> exp_poly(Reg<T> r) {
  return simd::mul(r, simd::horner(r, ExpPoly<T, F>::c));
}

// e^x for |x| below ExpConst<T>::body_limit.
template <class T, Flavour F> inline Reg<T> exp_body(Reg<T> x) {
  const ExpReduced<T> s = exp_reduce<T, Base::E, F>(x);
  return exp_assemble<T, F>(s, exp_poly<T, F>(s.r));
}

// Shared scalar routine of Exp: computes in double, codes 3 (overflow) and 4 (underflow).
template <class T> int32_t exp_scalar(T x, T* r) {
  if (std::isnan(x)) return *r = x * x, ZAR_ST_NONE;
  if (std::isinf(x)) return *r = x < 0 ? T(0) : x * x, ZAR_ST_NONE;
  using C = ExpConst<T>;
  if (x > C::overflow) return *r = std::numeric_limits<T>::infinity(), ZAR_ST_RESULT_TOO_LARGE;
  if (x < C::underflow) return *r = T(0), ZAR_ST_RESULT_TOO_SMALL;
  *r = T(std::exp(double(x)));
  return x < C::subnormal ? ZAR_ST_RESULT_TOO_SMALL : ZAR_ST_NONE;
}

// Results from a double value of the same function: overflow gives code 3, a subnormal or
// zero result of a finite argument code 4.
template <class T> int32_t range_code(double exact, T* r) {
  *r = T(exact);
  if (std::isinf(*r)) return ZAR_ST_RESULT_TOO_LARGE;
  if (std::fabs(*r) < std::numeric_limits<T>::min()) return ZAR_ST_RESULT_TOO_SMALL;
  return ZAR_ST_NONE;
}

template <class T> inline Mask<T> beyond(Reg<T> x, T limit) { return simd::ge(simd::abs_of<T>(x), simd::splat(limit)); }

template <class T, Flavour F> struct Exp : Unary<T> {
  static constexpr const char* kName = "Exp";
  using V = Reg<T>;
  static Mask<T> vec(const V (&a)[1], V (&r)[1], const NoExtra&) {
    r[0] = exp_body<T, F>(a[0]);
    return beyond<T>(a[0], ExpConst<T>::body_limit);
  }
  static int32_t scalar(const T* const* a, T* const* r, const NoExtra&) { return exp_scalar(*a[0], r[0]); }
};

// 2^(hi + lo) for |hi| <= 1022 (double), the polynomial in two Horner chains.
template <Flavour F, bool Lo = false> inline Reg<double> exp2_wide(Reg<double> hi, Reg<double> lo = Reg<double>()) {
  const ExpReduced<double> s = exp_reduce<double, Base::Two, F, Lo>(hi, lo);
  const Reg<double> p = simd::mul(s.r, simd::horner_split(s.r, simd::mul(s.r, s.r), ExpPoly<double, F>::c));
  return exp_assemble<double, F>(s, p);
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
    return beyond<T>(x, C::exp2_limit);
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
      const twopart::Two<V> w =
          twopart::mul_loose(x, twopart::Two<V>{simd::splat(C::log2_10_hi), simd::splat(C::log2_10_lo)});
      r[0] = exp2_direct<true>(w.hi, w.lo);
    } else {
      const ExpReduced<T> s = exp_reduce<T, Base::Ten, Flavour::HA>(x);
      r[0] = exp_assemble<T, Flavour::HA>(s, exp_poly<T, Flavour::HA>(s.r));
    }
    return beyond<T>(x, C::exp10_limit);
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

// x below which e^x - 1 rounds to -1.
template <class T> inline constexpr T kExpm1Low = sizeof(T) == 8 ? T(-40) : T(-17.5);

// e^x - 1 for x below ExpConst<T>::body_limit: the direct polynomial for |x| <= ln 2 / 2
// (evaluated only when a lane needs it); elsewhere e^x = s + rest with s = 2^(k/N) from the
// table, and the -1 added where it loses nothing. Zeros keep their sign.
template <class T, Flavour F> inline Reg<T> expm1_body(Reg<T> x) {
  using simd::splat;
  using V = Reg<T>;
  using C = ExpConst<T>;
  // Below kExpm1Low the result rounds to -1, as it does at kExpm1Low: clamped there (max
  // keeps a NaN x, its second operand; -inf becomes kExpm1Low).
  const ExpReduced<T> red = exp_reduce<T, Base::E, F>(simd::max(splat(kExpm1Low<T>), x));
  const V p = simd::mul(red.r, simd::horner(red.r, ExpPoly<T, F>::c));
  const V t_hi = table2<T>(C::hi, red.idx);
  const V t_lo = F != Flavour::EP ? table2<T>(C::lo, red.idx) : splat(T(0));
  const V s = simd::scalef(t_hi, red.scale);
  const V rest = simd::scalef(simd::fma(t_hi, p, t_lo), red.scale);
  // s - 1 is exact from 1/2 to 2^mant and kept exact with its rounding error below 1/2
  // (-1 first: |s| may be below 1); above 2^mant the -1 joins rest, where it loses nothing.
  const twopart::Two<V> sm1 = twopart::fast_two_sum(splat(T(-1)), s);
  V value;
  if constexpr (F == Flavour::HA) {
    const Mask<T> big = simd::ge(s, splat(T(sizeof(T) == 8 ? 0x1p52 : 0x1p23)));
    value = simd::add(simd::select(big, s, sm1.hi),
                      simd::select(big, simd::sub(rest, splat(T(1))), simd::add(rest, sm1.lo)));
  } else {  // above 2^mant the -1 may be lost: half an ulp at most
    value = simd::add(sm1.hi, simd::add(rest, sm1.lo));
  }
  const Mask<T> near0 = simd::le(simd::abs_of<T>(x), splat(T(0.34657359027997264)));
  if (near0) {
    value = simd::select(near0, simd::fma(simd::mul(x, x), simd::horner(x, Expm1Poly<T, F>::c), x), value);
    value = simd::select(simd::fpclass<simd::kZero>(x), x, value);
  }
  return value;
}

template <class T, Flavour F> struct Expm1 : Unary<T> {
  static constexpr const char* kName = "Expm1";
  using V = Reg<T>;
  using C = ExpConst<T>;
  static Mask<T> vec(const V (&a)[1], V (&r)[1], const NoExtra&) {
    r[0] = expm1_body<T, F>(a[0]);
    return simd::ge(a[0], simd::splat(C::body_limit));
  }
  static int32_t scalar(const T* const* a, T* const* r, const NoExtra&) {
    const T x = *a[0];
    if (std::isnan(x)) return *r[0] = x + x, ZAR_ST_NONE;
    if (x > C::overflow) return *r[0] = std::numeric_limits<T>::infinity(), ZAR_ST_RESULT_TOO_LARGE;
    if (x < kExpm1Low<T>) return *r[0] = T(-1), ZAR_ST_NONE;
    *r[0] = T(std::expm1(double(x)));
    return ZAR_ST_NONE;
  }
};

}  // namespace nrx::zar::ops
