// Power family: Pow, Powr and Powx (float and double, one algorithm).
//
// x^y = 2^w with w = y log2 x. Double HA and LA take log2 x in two parts (log2_wide), form
// w = y log2 x as a high and a low part and evaluate 2^w by the exponential's table of
// 2^(j/16), its polynomial and a scale by 2^floor(w); LA drops the table's low parts. EP
// takes the one-part logarithm of the LA flavour and drops most of the polynomial. Float
// computes in double with the EP body and rounds once. Lanes the body does not cover --
// x NaN, zero, infinite or negative, y NaN or infinite, 2^w outside the normal range --
// go to the scalar routine, which gives the C99 special results and the codes.
#pragma once
#include <cmath>
#include <limits>

#include "zar/kernels/log.h"

namespace nrx::zar::ops {

// 2^(hi + lo) for |hi| <= 1022 (double).
template <int F> inline __m512d exp2_wide(__m512d hi, __m512d lo) {
  using simd::splat;
  using C = ExpConst<double>;
  const __m512d t = simd::add(hi, splat(C::shifter_n));
  const __m512d kn = simd::sub(t, splat(C::shifter_n));  // hi rounded to a multiple of 1/16
  const __m512d d = simd::add(simd::sub(hi, kn), lo);     // hi - kn is exact
  const __m512d r = simd::mul(d, splat(C::ln2_hi));  // ln 2's low part is below 2^-60 |r|
  const __m512d p = simd::mul(r, simd::horner_split(r, simd::mul(r, r), ExpPoly<double, F>::c));
  return exp_assemble<double, F>(simd::mul(kn, splat(16.0)), simd::as_int(t), p);
}

// x^y for positive finite x; w receives the high part of y log2 x (for the range test).
template <int F> inline __m512d pow_body(__m512d x, __m512d y, __m512d& w) {
  if constexpr (F == kEP) {  // the one-part logarithm: w within about 2^-50 |w|
    w = simd::mul(y, log_body<double, kLA, Base::Two, false>(x, simd::splat(0.0)));
    return exp2_wide<kEP>(w, simd::splat(0.0));
  }
  __m512d h, l;
  log2_wide(x, h, l);
  w = simd::mul(y, h);
  const __m512d w_lo = simd::fma(y, l, simd::fma(y, h, simd::negate<double>(w)));
  return exp2_wide<F>(w, w_lo);
}

// Lanes for the scalar routine: x NaN, zero, subnormal, infinite or negative; y NaN or infinite; w
// beyond the range of normal results (or NaN).
inline __mmask8 pow_special(__m512d x, __m512d y, __m512d w, double limit) {
  return __mmask8(simd::fpclass<0xFF>(x) | simd::fpclass<0x99>(y) |
                  simd::cmp<_CMP_NLE_UQ>(simd::abs_of<double>(w), simd::splat(limit)));
}

template <class T, int F> inline Mask<T> pow_vec(Reg<T> x, Reg<T> y, Reg<T>& r) {
  if constexpr (sizeof(T) == 8) {
    __m512d w;
    r = pow_body<F>(x, y, w);
    return pow_special(x, y, w, 1022.0);
  } else {
    __m512d w0, w1;
    const __m512d x0 = simd::widen_lo(x), x1 = simd::widen_hi(x), y0 = simd::widen_lo(y), y1 = simd::widen_hi(y);
    const __m512d r0 = pow_body<kEP>(x0, y0, w0), r1 = pow_body<kEP>(x1, y1, w1);
    r = simd::narrow(r0, r1);
    return Mask<T>(pow_special(x0, y0, w0, 126.0) | (Mask<T>(pow_special(x1, y1, w1, 126.0)) << 8));
  }
}

// y as 0 (not an integer), 1 (odd integer) or 2 (even integer; |y| >= 2^53 counts as even).
inline int integer_kind(double y) {
  if (std::isinf(y) || std::isnan(y)) return 0;
  if (std::fabs(y) >= 0x1p53) return 2;
  if (std::trunc(y) != y) return 0;
  return std::fmod(y, 2.0) == 0 ? 2 : 1;
}

// |x|^y for finite positive |x| through long double, overflow reported with code 3;
// underflow is not reported.
template <class T> int32_t pow_finite(double ax, double y, bool negative, T* r) {
  const long double v = std::pow((long double)ax, (long double)y);
  T res = T(double(v));
  if (negative) res = -res;
  *r = res;
  return std::isinf(res) ? ZAR_ST_RESULT_TOO_LARGE : ZAR_ST_NONE;
}

// Scalar routine of Pow and Powx: the C99 special cases; zero_code is the code of ±0 raised
// to a negative power.
template <class T> int32_t pow_scalar(T xt, T yt, T* r, int32_t zero_code) {
  xt = simd::daz(xt);
  yt = simd::daz(yt);
  const double x = xt, y = yt;
  const T inf = std::numeric_limits<T>::infinity();
  if (y == 0) return *r = T(1), ZAR_ST_NONE;
  if (x == 1) return *r = T(1), ZAR_ST_NONE;
  if (std::isnan(x) || std::isnan(y)) return *r = xt + yt, ZAR_ST_NONE;
  const int kind = integer_kind(y);
  if (x == 0) {
    if (y > 0) return *r = kind == 1 ? xt : T(0), ZAR_ST_NONE;
    return *r = kind == 1 ? std::copysign(inf, xt) : inf, zero_code;
  }
  if (std::isinf(y)) {
    const double ax = std::fabs(x);
    if (ax == 1) return *r = T(1), ZAR_ST_NONE;
    return *r = (ax < 1) == (y < 0) ? inf : T(0), ZAR_ST_NONE;
  }
  if (std::isinf(x)) {
    const T mag = y > 0 ? inf : T(0);
    return *r = x < 0 && kind == 1 ? -mag : mag, ZAR_ST_NONE;
  }
  if (x < 0) {
    if (kind == 0) return *r = std::numeric_limits<T>::quiet_NaN(), ZAR_ST_DOMAIN;
    return pow_finite<T>(-x, y, kind == 1, r);
  }
  return pow_finite<T>(x, y, false, r);
}

template <class T, int F> struct Pow : Binary<T> {
  static constexpr const char* kName = "Pow";
  using V = Reg<T>;
  static Mask<T> vec(const V (&a)[2], V (&r)[1], const NoExtra&) { return pow_vec<T, F>(a[0], a[1], r[0]); }
  static int32_t scalar(const T* const* a, T* const* r, const NoExtra&) {
    return pow_scalar<T>(*a[0], *a[1], r[0], ZAR_ST_DOMAIN);
  }
};

// Powx: the exponent is one scalar for every element.
template <class T, int F> struct Powx : VectorOp<T, Shape::vs, 1, 1, ScalarB<T>> {
  static constexpr const char* kName = "Powx";
  using V = Reg<T>;
  static Mask<T> vec(const V (&a)[1], V (&r)[1], const ScalarB<T>& ex) {
    return pow_vec<T, F>(a[0], simd::splat(ex.b), r[0]);
  }
  static int32_t scalar(const T* const* a, T* const* r, const ScalarB<T>& ex) {
    return pow_scalar<T>(*a[0], ex.b, r[0], ZAR_ST_DOMAIN);
  }
};

// Powr: exp(y ln x) for x >= 0, the IEEE powr cases: NaN for negative x, for 0^0, inf^0
// and 1^inf (code 1); ±0 raised to a negative power is +inf with code 2.
template <class T, int F> struct Powr : Binary<T> {
  static constexpr const char* kName = "Powr";
  using V = Reg<T>;
  static Mask<T> vec(const V (&a)[2], V (&r)[1], const NoExtra&) { return pow_vec<T, F>(a[0], a[1], r[0]); }
  static int32_t scalar(const T* const* a, T* const* r, const NoExtra&) {
    const T x = simd::daz(*a[0]), y = simd::daz(*a[1]);
    const T nan = std::numeric_limits<T>::quiet_NaN(), inf = std::numeric_limits<T>::infinity();
    if (std::isnan(x) || std::isnan(y)) return *r[0] = x + y, ZAR_ST_NONE;
    if (x < 0) return *r[0] = nan, ZAR_ST_DOMAIN;
    if (x == 1) return std::isinf(y) ? (*r[0] = nan, ZAR_ST_DOMAIN) : (*r[0] = T(1), ZAR_ST_NONE);
    if ((x == 0 || std::isinf(x)) && y == 0) return *r[0] = nan, ZAR_ST_DOMAIN;
    if (x == 0) return y > 0 ? (*r[0] = T(0), ZAR_ST_NONE) : (*r[0] = inf, ZAR_ST_POLE);
    return pow_scalar<T>(x, y, r[0], ZAR_ST_POLE);
  }
};

}  // namespace nrx::zar::ops
