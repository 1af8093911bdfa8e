// Circular functions: Sin, Cos, SinCos, Tan (float and double, one algorithm).
//
// x = N pi/16 + r (trig_reduce.h); with j = N mod 16 and the table S_j = sin(j pi/16),
// C_j = cos(j pi/16): sin x = +-(S_j cos r + C_j sin r), the sign from bit 4 of N, and
// cos x is the same with N + 8. Tan divides the two. HA keeps r, the table and the sum
// S_j + C_j r in two parts and rounds once at the end; LA drops the low parts; EP and every
// float flavour use the short polynomials. Float lanes run through the double body (the
// float result is then within a sixtieth of an ulp of the double one before rounding).
// Only NaN and infinities go to the scalar routine.
#pragma once
#include <cmath>
#include <limits>

#include "zar/kernels/exp.h"
#include "zar/kernels/trig_reduce.h"

namespace nrx::zar::ops {

// The double body of a flavour; float lanes take EP's, which is exact enough for them.
template <class T, int F> inline constexpr int kTrigBody = sizeof(T) == 4 ? kEP : F;

// sin r = rh + sr and cos r = 1 + cm1.
struct TrigPoly {
  __m512d rh, sr, cm1;
};

template <int F> inline TrigPoly trig_poly(const TrigReduced& a) {
  const __m512d r2 = simd::mul(a.rh, a.rh), r3 = simd::mul(r2, a.rh);
  if constexpr (F == kEP) {
    return {a.rh, simd::mul(r3, simd::horner(r2, trig::kSinPolyShort)), simd::mul(r2, simd::horner(r2, trig::kCosPolyShort))};
  } else if constexpr (F == kLA) {
    return {a.rh, simd::mul(r3, simd::horner(r2, trig::kSinPoly)), simd::mul(r2, simd::horner(r2, trig::kCosPoly))};
  } else {
    // rl enters sin r once and cos r through -r rl.
    const __m512d sr = simd::fma(r3, simd::horner(r2, trig::kSinPoly), a.rl);
    const __m512d cm1 = simd::fms(r2, simd::horner(r2, trig::kCosPoly), simd::mul(a.rh, a.rl));
    return {a.rh, sr, cm1};
  }
}

inline __m512d trig_table(const uint64_t* t, simd::IReg idx) {
  return simd::lookup(simd::from_bits(t), simd::from_bits(t + 8), idx);
}

// sin(N pi/16 + r) in two parts (N from the low bits of idx), the sign applied.
template <int F> inline twopart::Two<__m512d> trig_assemble(const TrigPoly& p, simd::IReg idx) {
  const __m512d sh = trig_table(trig::kSinHi, idx), ch = trig_table(trig::kCosHi, idx);
  const __m512d sign = simd::as_real(simd::shift_left64<59>(idx), 0.0);
  __m512d hi, lo;
  if constexpr (F == kHA) {
    // |S_j| >= |C_j r| for j != 0, and S_0 = 0: the quick sum is exact.
    const twopart::Two<__m512d> cr = twopart::two_prod(ch, p.rh);
    const twopart::Two<__m512d> s = twopart::fast_two_sum(sh, cr.hi);
    lo = simd::add(simd::add(s.lo, cr.lo), trig_table(trig::kSinLo, idx));
    lo = simd::fma(trig_table(trig::kCosLo, idx), p.rh, lo);
    lo = simd::fma(ch, p.sr, simd::fma(sh, p.cm1, lo));
    hi = s.hi;
  } else {
    hi = simd::fma(ch, p.rh, sh);
    lo = simd::fma(ch, p.sr, simd::mul(sh, p.cm1));
  }
  const __m512d sign_bit = simd::bit_and(sign, simd::sign_mask<double>());
  return {simd::bit_xor(hi, sign_bit), simd::bit_xor(lo, sign_bit)};
}

inline simd::IReg trig_quarter(simd::IReg n) { return simd::int_add64(n, simd::int_splat64(8)); }

// x itself below 2^-27, where sin x and tan x round to x (and keep the sign of zero).
inline __m512d trig_tiny(__m512d x, __m512d y) {
  return simd::select(simd::lt(simd::abs_of<double>(x), simd::splat(0x1p-27)), x, y);
}

template <int F> inline __m512d sin_body(__m512d x, __mmask8& sp) {
  const TrigReduced a = trig_reduce<F == kHA>(x, sp);
  return trig_tiny(x, twopart::value(trig_assemble<F>(trig_poly<F>(a), a.n)));
}

template <int F> inline __m512d cos_body(__m512d x, __mmask8& sp) {
  const TrigReduced a = trig_reduce<F == kHA>(x, sp);
  return twopart::value(trig_assemble<F>(trig_poly<F>(a), trig_quarter(a.n)));
}

template <int F> inline void sincos_body(__m512d x, __m512d& s, __m512d& c, __mmask8& sp) {
  const TrigReduced a = trig_reduce<F == kHA>(x, sp);
  const TrigPoly p = trig_poly<F>(a);
  s = trig_tiny(x, twopart::value(trig_assemble<F>(p, a.n)));
  c = twopart::value(trig_assemble<F>(p, trig_quarter(a.n)));
}

template <int F> inline __m512d tan_body(__m512d x, __mmask8& sp) {
  const TrigReduced a = trig_reduce<F == kHA>(x, sp);
  const TrigPoly p = trig_poly<F>(a);
  // LA assembles in two parts too: the quotient would double the rounding of one-part values.
  constexpr int FA = F == kEP ? kEP : kHA;
  const twopart::Two<__m512d> s = trig_assemble<FA>(p, a.n), c = trig_assemble<FA>(p, trig_quarter(a.n));
  __m512d t;
  if constexpr (F == kHA)  // the low parts are not yet below half an ulp of the high ones
    t = twopart::value(twopart::div(twopart::fast_two_sum(s.hi, s.lo), twopart::fast_two_sum(c.hi, c.lo)));
  else t = simd::div(twopart::value(s), twopart::value(c));
  return trig_tiny(x, t);
}

// Results of a double body for the lanes of a float or double register; the special lanes
// of both halves are merged into the float mask.
template <class T, class Body> inline void on_double_lanes(const Reg<T>& x, Reg<T>* out, int nout, Mask<T>& sp,
                                                         Body body) {
  if constexpr (sizeof(T) == 8) {
    body(x, out, sp);
  } else {
    __m512d lo[2], hi[2];
    __mmask8 sl, sh;
    body(simd::widen_lo(x), lo, sl);
    body(simd::widen_hi(x), hi, sh);
    for (int k = 0; k < nout; ++k) out[k] = simd::narrow(lo[k], hi[k]);
    sp = Mask<T>(sl | (unsigned(sh) << 8));
  }
}

// Scalar routine of the circular functions: infinities give NaN with code 1, NaN gives NaN.
template <class T> inline int32_t trig_scalar(T x, T* const* r, int nout) {
  const bool inf = std::isinf(x);
  const T y = inf ? std::numeric_limits<T>::quiet_NaN() : x * x;
  for (int k = 0; k < nout; ++k) *r[k] = y;
  return inf ? ZAR_ST_DOMAIN : ZAR_ST_NONE;
}

template <class T, int F> struct Sin : Unary<T> {
  static constexpr const char* kName = "Sin";
  using V = Reg<T>;
  static Mask<T> vec(const V (&a)[1], V (&r)[1], const NoExtra&) {
    Mask<T> sp;
    on_double_lanes<T>(a[0], r, 1, sp, [](__m512d x, __m512d* o, __mmask8& s) { o[0] = sin_body<kTrigBody<T, F>>(x, s); });
    return sp;
  }
  static int32_t scalar(const T* const* a, T* const* r, const NoExtra&) { return trig_scalar(*a[0], r, 1); }
};

template <class T, int F> struct Cos : Unary<T> {
  static constexpr const char* kName = "Cos";
  using V = Reg<T>;
  static Mask<T> vec(const V (&a)[1], V (&r)[1], const NoExtra&) {
    Mask<T> sp;
    on_double_lanes<T>(a[0], r, 1, sp, [](__m512d x, __m512d* o, __mmask8& s) { o[0] = cos_body<kTrigBody<T, F>>(x, s); });
    return sp;
  }
  static int32_t scalar(const T* const* a, T* const* r, const NoExtra&) { return trig_scalar(*a[0], r, 1); }
};

template <class T, int F> struct SinCos : VectorOp<T, Shape::v1r2, 1, 2> {
  static constexpr const char* kName = "SinCos";
  using V = Reg<T>;
  static Mask<T> vec(const V (&a)[1], V (&r)[2], const NoExtra&) {
    Mask<T> sp;
    on_double_lanes<T>(a[0], r, 2, sp,
                       [](__m512d x, __m512d* o, __mmask8& s) { sincos_body<kTrigBody<T, F>>(x, o[0], o[1], s); });
    return sp;
  }
  static int32_t scalar(const T* const* a, T* const* r, const NoExtra&) { return trig_scalar(*a[0], r, 2); }
};

template <class T, int F> struct Tan : Unary<T> {
  static constexpr const char* kName = "Tan";
  using V = Reg<T>;
  static Mask<T> vec(const V (&a)[1], V (&r)[1], const NoExtra&) {
    Mask<T> sp;
    on_double_lanes<T>(a[0], r, 1, sp, [](__m512d x, __m512d* o, __mmask8& s) { o[0] = tan_body<kTrigBody<T, F>>(x, s); });
    return sp;
  }
  static int32_t scalar(const T* const* a, T* const* r, const NoExtra&) { return trig_scalar(*a[0], r, 1); }
};

}  // namespace nrx::zar::ops
