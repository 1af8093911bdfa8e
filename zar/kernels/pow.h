// Power family: Pow, Powr and Powx (float and double).
//
// x^y = 2^w with w = y log2 x. Double HA and LA take log2 x in two parts (log2_wide), form
// w = y log2 x as a high and a low part and evaluate 2^w by the exponential's table of
// 2^(j/16), its polynomial and a scale by 2^floor(w); LA drops the table's low parts. EP
// takes a one-part logarithm with a shorter polynomial and a short 2^f on the same table.
// Float stays in float lanes: HA and LA form y ln x as a high and a low part from an exact
// reduction r = m c - 1 and evaluate e^(y ln x) with the float exponential's table; EP
// multiplies the float logarithm by y and takes 2^w without a table. Lanes the body does
// not cover -- x NaN, zero, subnormal, infinite or negative, y NaN or infinite, results
// outside the normal range -- go to the scalar routine, which gives the C99 special
// results and the codes.
#pragma once
#include <cmath>
#include <limits>

#include "zar/kernels/log.h"

namespace nrx::zar::ops {

// log2 x for positive finite double x in one part (EP): one rounded table and a degree-7
// ln(1 + r); relative error about 2^-42, so y log2 x keeps 2^-32 up to |w| = 1022.
inline Reg<double> log2_short(Reg<double> x) {
  using simd::splat;
  const auto [r, e, idx] = log_reduce<double>(x);
  const Reg<double> rr = simd::mul(r, r);
  const Reg<double> s = simd::fma(rr, simd::horner_split(r, rr, explog::kPowLnEP_d), r);
  const Reg<double> a = simd::add(e, table16<double>(explog::kLog2Full_d, idx));
  return simd::fma(s, splat(simd::bits_to(explog::kLog2OfE_d[0])), a);
}

// 2^w for |w| <= 1022 to about 2^-28 (double EP): 2^(j/16) times 2^f, |f| <= 1/32.
inline Reg<double> exp2_short(Reg<double> w) {
  using simd::splat;
  using C = ExpConst<double>;
  const Reg<double> t = simd::add(w, splat(C::shifter_n));
  const Reg<double> kn = simd::sub(t, splat(C::shifter_n));
  const Reg<double> f = simd::sub(w, kn);
  const Reg<double> p = simd::mul(f, simd::horner(f, explog::kPowExp2EP_d));
  const Reg<double> s = table2<double>(C::hi, simd::as_int(t));
  return simd::scalef(simd::fma(s, p, s), kn);
}

// x^y for positive finite x; w receives the high part of y log2 x (for the range test).
template <Flavour F> inline Reg<double> pow_body(Reg<double> x, Reg<double> y, Reg<double>& w) {
  if constexpr (F == Flavour::EP) {
    w = simd::mul(y, log2_short(x));
    return exp2_short(w);
  }
  Reg<double> h, l;
  log2_wide(x, h, l);
  w = simd::mul(y, h);
  const Reg<double> w_lo = simd::fma(y, l, simd::fms(y, h, w));
  return exp2_wide<F, true>(w, w_lo);
}

// y ln x = wh + wl for positive normal float x (HA, LA). e ln 2 + ln(1/c) has an exact high
// part a (both rounded to multiples of 2^-12) and |a| >= |r| unless a = 0, so a + ln(1 + r)
// adds with its error. HA keeps r - r^2/2 in two parts (the square's error and the sum's),
// LA rounds r^2 q(r) once: y r^2 2^-24 stays below 2^-24 |w| r.
template <Flavour F> inline void ln_wide_s(Reg<float> x, Reg<float> y, Reg<float>& wh, Reg<float>& wl) {
  using simd::splat;
  using V = Reg<float>;
  const auto [r, e, idx] = log_reduce<float>(x);
  V lo;
  const V a = log_parts<float, Base::E>(e, idx, lo);
  const V rr = simd::mul(r, r);
  V s = r, s_lo;
  if constexpr (F == Flavour::HA) s = ln1p_wide<float>(r, rr, explog::kPowLnTail_s, s_lo);
  else s_lo = simd::mul(rr, simd::horner(r, LnPoly<float, Flavour::HA>::c));
  const V h = simd::add(a, s);
  lo = simd::add(lo, simd::add(s_lo, simd::sub(s, simd::sub(h, a))));
  const V hn = simd::add(h, lo);  // renormalised: the table's low part reaches 2^-13
  lo = simd::sub(lo, simd::sub(hn, h));
  wh = simd::mul(y, hn);
  wl = simd::fma(y, lo, simd::fms(y, hn, wh));
}

// e^(wh + wl) for |wh| below the float exponential's limit: 2^(k/32) e^f, wh - k ln2/32 exact.
template <Flavour F> inline Reg<float> exp_wide_s(Reg<float> wh, Reg<float> wl) {
  using simd::splat;
  using C = ExpConst<float>;
  const Reg<float> t = simd::fma(wh, splat(C::n_over_ln2), splat(C::shifter));
  const Reg<float> kf = simd::sub(t, splat(C::shifter));
  const Reg<float> f = simd::fnma(kf, splat(C::ln2_hi / C::N), wh);
  const Reg<float> g = simd::fnma(kf, splat(C::ln2_lo / C::N), simd::add(f, wl));
  return exp_assemble<float, F>(kf, simd::as_int(t), exp_poly<float, Flavour::HA>(g));
}

template <class T, Flavour F> inline Mask<T> pow_vec(Reg<T> x, Reg<T> y, Reg<T>& r) {
  // Lanes for the scalar routine: x NaN, zero, subnormal, infinite or negative; y NaN or
  // infinite; w beyond the range of normal results (or NaN): |w| > 126, in units of ln 2
  // for float HA and LA.
  const Mask<T> args = Mask<T>(simd::fpclass<0xFF>(x) | simd::fpclass<0x99>(y));
  Reg<T> w;
  T limit;
  if constexpr (sizeof(T) == 8) {
    r = pow_body<F>(x, y, w);
    limit = 1022;
  } else if constexpr (F == Flavour::EP) {  // log2 x to about 2^-22, 2^f to 2^-12
    w = simd::mul(y, log_pieces<Base::Two>(x, simd::splat(0.0f)));
    const Reg<float> k = simd::round<simd::kRoundNearest>(w), f = simd::sub(w, k);
    r = simd::scalef(simd::fma(f, simd::horner(f, explog::kPowExp2EP_s), simd::splat(1.0f)), k);
    limit = 126;
  } else {
    Reg<float> wl;
    ln_wide_s<F>(x, y, w, wl);
    r = exp_wide_s<F>(w, wl);
    limit = ExpConst<float>::body_limit;
  }
  return Mask<T>(args | simd::not_le(simd::abs_of<T>(w), simd::splat(limit)));
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

template <class T, Flavour F> struct Pow : Binary<T> {
  static constexpr const char* kName = "Pow";
  using V = Reg<T>;
  static Mask<T> vec(const V (&a)[2], V (&r)[1], const NoExtra&) { return pow_vec<T, F>(a[0], a[1], r[0]); }
  static int32_t scalar(const T* const* a, T* const* r, const NoExtra&) {
    return pow_scalar<T>(*a[0], *a[1], r[0], ZAR_ST_DOMAIN);
  }
};

// Powx: the exponent is one scalar for every element.
template <class T, Flavour F> struct Powx : VectorOp<T, Shape::vs, 1, 1, ScalarB<T>> {
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
template <class T, Flavour F> struct Powr : Binary<T> {
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
