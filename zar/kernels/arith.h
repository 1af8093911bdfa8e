// Real arithmetic family: Abs, Sqr, Add, Sub, Mul, Inv, Div, CopySign, NextAfter, Fdim,
// Fmax, Fmin, MaxMag, MinMag, LinearFrac. All exact except the EP kernels of Inv and Div
// (a refined reciprocal estimate, at least half the mantissa bits).
#pragma once
#include <cmath>
#include <limits>

#include "zar/kernels/op_base.h"

namespace nrx::zar::ops {

// |x| with the sign bit cleared, then + 0.0 so a signalling NaN comes back quiet.
template <class T, Flavour F> struct RealAbs : AllLanes<RealAbs<T, F>, Unary<T>> {
  static constexpr const char* kName = "Abs";
  using V = Reg<T>;
  static Mask<T> vec(const V (&a)[1], V (&r)[1], const NoExtra&) {
    r[0] = simd::add(simd::abs_of<T>(a[0]), simd::splat(T(0)));
    return 0;
  }
};

template <class T, Flavour F> struct Sqr : AllLanes<Sqr<T, F>, Unary<T>> {
  static constexpr const char* kName = "Sqr";
  using V = Reg<T>;
  static Mask<T> vec(const V (&a)[1], V (&r)[1], const NoExtra&) {
    r[0] = simd::mul(a[0], a[0]);
    return 0;
  }
};

// A two-input operation r = f(a, b) exact in one instruction sequence, no special lanes.
#define NRX_BINARY_OP(Name, Expr)                                                           \
  template <class T, Flavour F> struct Real##Name : AllLanes<Real##Name<T, F>, Binary<T>> { \
    static constexpr const char* kName = #Name;                                             \
    using V = Reg<T>;                                                                       \
    static Mask<T> vec(const V (&in)[2], V (&r)[1], const NoExtra&) {                       \
      const V a = in[0], b = in[1];                                                         \
      r[0] = (Expr);                                                                        \
      return 0;                                                                             \
    }                                                                                       \
  };
NRX_BINARY_OP(Add, simd::add(a, b))
NRX_BINARY_OP(Sub, simd::sub(a, b))
NRX_BINARY_OP(Mul, simd::mul(a, b))
NRX_BINARY_OP(CopySign, simd::copysign<T>(a, b))
#undef NRX_BINARY_OP

template <class T> constexpr T kHugeForReciprocal = sizeof(T) == 4 ? 0x1p125f : 0x1p1021;

// Reciprocal: the division (LA, HA), or the 14-bit estimate with one Newton step for
// double (EP). Zeros and infinities go to the scalar routine, and for EP also the lanes
// whose reciprocal leaves the normal range, where the estimate is not refined correctly.
template <class T, Flavour F> inline Reg<T> reciprocal(Reg<T> b) {
  if constexpr (F != Flavour::EP) {
    return simd::div(simd::splat(T(1)), b);
  } else {
    Reg<T> r = simd::rcp14(b);
    if constexpr (sizeof(T) == 8) r = simd::fma(r, simd::fnma(b, r, simd::splat(T(1))), r);
    return r;
  }
}
template <class T, Flavour F> inline Mask<T> reciprocal_specials(Reg<T> b) {
  if constexpr (F != Flavour::EP) {
    return simd::fpclass<simd::kZero | simd::kInf>(b);
  } else {
    const Mask<T> odd = simd::fpclass<simd::kZero | simd::kInf | simd::kNaN | simd::kDenormal>(b);
    return Mask<T>(odd | simd::gt(simd::abs_of<T>(b), simd::splat(kHugeForReciprocal<T>)));
  }
}

template <class T, Flavour F> struct Inv : Unary<T> {
  static constexpr const char* kName = "Inv";
  using V = Reg<T>;
  static Mask<T> vec(const V (&a)[1], V (&r)[1], const NoExtra&) {
    r[0] = reciprocal<T, F>(a[0]);
    return reciprocal_specials<T, F>(a[0]);
  }
  static int32_t scalar(const T* const* a, T* const* r, const NoExtra&) {
    const T x = *a[0];
    *r[0] = T(1) / x;
    return x == 0 ? ZAR_ST_POLE : ZAR_ST_NONE;
  }
};

template <class T, Flavour F> struct RealDiv : Binary<T> {
  static constexpr const char* kName = "Div";
  using V = Reg<T>;
  static Mask<T> vec(const V (&in)[2], V (&r)[1], const NoExtra&) {
    if constexpr (F != Flavour::EP) r[0] = simd::div(in[0], in[1]);
    else r[0] = simd::mul(in[0], reciprocal<T, F>(in[1]));
    return reciprocal_specials<T, F>(in[1]);
  }
  static int32_t scalar(const T* const* a, T* const* r, const NoExtra&) {
    const T b = *a[1];
    *r[0] = *a[0] / b;
    return b == 0 ? ZAR_ST_POLE : ZAR_ST_NONE;
  }
};

// Lanes where either input is NaN; their scalar routines follow the C library.
template <class T> inline Mask<T> either_nan(Reg<T> a, Reg<T> b) { return simd::unordered(a, b); }

// The neighbour of a towards b: a when a = b; the smallest subnormal with b's sign from ±0.
template <class T, Flavour F> struct NextAfter : Binary<T> {
  static constexpr const char* kName = "NextAfter";
  using V = Reg<T>;
  static Mask<T> vec(const V (&in)[2], V (&r)[1], const NoExtra&) {
    const V a = in[0], b = in[1];
    const Mask<T> up = simd::lt(a, b);
    const Mask<T> neg = simd::fpclass<simd::kNegative | simd::kNegInf>(a);
    const Mask<T> grow = Mask<T>(up ^ neg);  // magnitude grows
    const simd::IReg one = simd::int_splat(1, T()), minus = simd::int_splat(-1, T());
    const simd::IReg bits = simd::as_int(a);
    V step = simd::as_real(
        simd::int_add(bits, simd::as_int(simd::select(grow, simd::as_real(one, T()), simd::as_real(minus, T()))), T()),
        T());
    const V tiny = simd::copysign<T>(simd::splat(std::numeric_limits<T>::denorm_min()), b);
    step = simd::select(simd::fpclass<simd::kZero>(a), tiny, step);
    r[0] = simd::select(simd::eq(a, b), a, step);
    return either_nan<T>(a, b);
  }
  static int32_t scalar(const T* const* a, T* const* r, const NoExtra&) {
    *r[0] = *a[0] + *a[1];  // a NaN input: the quiet NaN
    return 0;
  }
};

template <class T, Flavour F> struct Fdim : Binary<T> {
  static constexpr const char* kName = "Fdim";
  using V = Reg<T>;
  static Mask<T> vec(const V (&in)[2], V (&r)[1], const NoExtra&) {
    r[0] = simd::select(simd::gt(in[0], in[1]), simd::sub(in[0], in[1]), simd::splat(T(0)));
    return either_nan<T>(in[0], in[1]);
  }
  static int32_t scalar(const T* const* a, T* const* r, const NoExtra&) {
    *r[0] = *a[0] + *a[1];
    return 0;
  }
};

// Larger / smaller of a and b; of +0 and -0 the larger is +0 (bits AND) and the smaller -0 (OR).
template <class T> inline Reg<T> max_of(Reg<T> a, Reg<T> b) {
  return simd::select(simd::gt(a, b), a, simd::select(simd::gt(b, a), b, simd::bit_and(a, b)));
}
template <class T> inline Reg<T> min_of(Reg<T> a, Reg<T> b) {
  return simd::select(simd::lt(a, b), a, simd::select(simd::lt(b, a), b, simd::bit_or(a, b)));
}
// Argument of larger / smaller magnitude; on equal magnitudes the larger / smaller one.
template <class T> inline Reg<T> max_mag(Reg<T> a, Reg<T> b) {
  const Reg<T> aa = simd::abs_of<T>(a), ab = simd::abs_of<T>(b);
  return simd::select(simd::gt(aa, ab), a, simd::select(simd::gt(ab, aa), b, max_of<T>(a, b)));
}
template <class T> inline Reg<T> min_mag(Reg<T> a, Reg<T> b) {
  const Reg<T> aa = simd::abs_of<T>(a), ab = simd::abs_of<T>(b);
  return simd::select(simd::lt(aa, ab), a, simd::select(simd::lt(ab, aa), b, min_of<T>(a, b)));
}

// When exactly one input is NaN the result is the other; both NaN give NaN.
enum class Pick { Max, Min, MaxMag, MinMag };
template <class T, Pick P> inline Reg<T> pick(Reg<T> a, Reg<T> b) {
  if constexpr (P == Pick::Max) return max_of<T>(a, b);
  if constexpr (P == Pick::Min) return min_of<T>(a, b);
  if constexpr (P == Pick::MaxMag) return max_mag<T>(a, b);
  if constexpr (P == Pick::MinMag) return min_mag<T>(a, b);
}
template <class T, Pick P> struct Extremum : Binary<T> {
  using V = Reg<T>;
  static Mask<T> vec(const V (&in)[2], V (&r)[1], const NoExtra&) {
    r[0] = pick<T, P>(in[0], in[1]);
    return either_nan<T>(in[0], in[1]);
  }
  static int32_t scalar(const T* const* a, T* const* r, const NoExtra&) {
    const T x = *a[0], y = *a[1];
    *r[0] = std::isnan(x) ? (std::isnan(y) ? x + y : y) : x;
    return 0;
  }
};
template <class T, Flavour F> struct Fmax : Extremum<T, Pick::Max> { static constexpr const char* kName = "Fmax"; };
template <class T, Flavour F> struct Fmin : Extremum<T, Pick::Min> { static constexpr const char* kName = "Fmin"; };
template <class T, Flavour F> struct MaxMag : Extremum<T, Pick::MaxMag> {
  static constexpr const char* kName = "MaxMag";
};
template <class T, Flavour F> struct MinMag : Extremum<T, Pick::MinMag> {
  static constexpr const char* kName = "MinMag";
};

// (scalea * a + shifta) / (scaleb * b + shiftb); reports nothing.
template <class T, Flavour F> struct LinearFrac
    : AllLanes<LinearFrac<T, F>, VectorOp<T, Shape::lf, 2, 1, LinearFactors<T>>> {
  static constexpr const char* kName = "LinearFrac";
  using V = Reg<T>;
  static Mask<T> vec(const V (&in)[2], V (&r)[1], const LinearFactors<T>& f) {
    const V num = simd::fma(simd::splat(f.sa), in[0], simd::splat(f.sha));
    const V den = simd::fma(simd::splat(f.sb), in[1], simd::splat(f.shb));
    r[0] = simd::div(num, den);
    return 0;
  }
};

}  // namespace nrx::zar::ops
