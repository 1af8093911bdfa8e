// Rounding family: Ceil, Floor, Trunc, Rint, NearbyInt, Round, Frac, Modf.
// Exact in every flavour; one kernel per type serves all three slots.
#pragma once
#include <cmath>

#include "zar/kernels/op_base.h"

namespace nrx::zar::ops {

template <class Self, class T, int Mode> struct RoundTo : AllLanes<Self, Unary<T>> {
  using typename Unary<T>::V;
  using typename Unary<T>::M;
  static M vec(const V (&a)[1], V (&r)[1], const NoExtra&) {
    r[0] = simd::round<Mode>(a[0]);
    return 0;
  }
};

template <class T, Flavour F> struct Ceil : RoundTo<Ceil<T, F>, T, simd::kRoundUp> {
  static constexpr const char* kName = "Ceil";
};
template <class T, Flavour F> struct Floor : RoundTo<Floor<T, F>, T, simd::kRoundDown> {
  static constexpr const char* kName = "Floor";
};
template <class T, Flavour F> struct Trunc : RoundTo<Trunc<T, F>, T, simd::kRoundZero> {
  static constexpr const char* kName = "Trunc";
};
template <class T, Flavour F> struct Rint : RoundTo<Rint<T, F>, T, simd::kRoundNearest> {
  static constexpr const char* kName = "Rint";
};
template <class T, Flavour F> struct NearbyInt : RoundTo<NearbyInt<T, F>, T, simd::kRoundNearest> {
  static constexpr const char* kName = "NearbyInt";
};

// Ties away from zero: t = rint(|x|), plus 1 when |x| - t is exactly 0.5, with the sign of x.
template <class T, Flavour F> struct Round : AllLanes<Round<T, F>, Unary<T>> {
  static constexpr const char* kName = "Round";
  using typename Unary<T>::V;
  using typename Unary<T>::M;
  static M vec(const V (&a)[1], V (&r)[1], const NoExtra&) {
    const V ax = simd::abs_of<T>(a[0]);
    const V t = simd::round<simd::kRoundNearest>(ax);
    const M tie = simd::eq(simd::sub(ax, t), simd::splat(T(0.5)));
    r[0] = simd::copysign<T>(simd::select(tie, simd::add(t, simd::splat(T(1))), t), a[0]);
    return 0;
  }
};

// x - trunc(x) with the sign of x, so -3 gives -0. Infinities and NaN go to the scalar routine.
template <class T> inline Reg<T> frac_of(Reg<T> x) {
  return simd::copysign<T>(simd::sub(x, simd::round<simd::kRoundZero>(x)), x);
}

template <class T, Flavour F> struct Frac : Unary<T> {
  static constexpr const char* kName = "Frac";
  using typename Unary<T>::V;
  using typename Unary<T>::M;
  static M vec(const V (&a)[1], V (&r)[1], const NoExtra&) {
    r[0] = frac_of<T>(a[0]);
    return simd::fpclass<simd::kInf | simd::kNaN>(a[0]);
  }
  static int32_t scalar(const T* const* a, T* const* r, const NoExtra&) {
    const T x = *a[0];
    *r[0] = std::isnan(x) ? x + x : std::copysign(T(0), x);
    return 0;
  }
};

// r1 = trunc(x), r2 = x - trunc(x) with the sign of x.
template <class T, Flavour F> struct Modf : VectorOp<T, Shape::v1r2, 1, 2> {
  static constexpr const char* kName = "Modf";
  using V = Reg<T>;
  using M = Mask<T>;
  static M vec(const V (&a)[1], V (&r)[2], const NoExtra&) {
    r[0] = simd::round<simd::kRoundZero>(a[0]);
    r[1] = frac_of<T>(a[0]);
    return simd::fpclass<simd::kInf | simd::kNaN>(a[0]);
  }
  static int32_t scalar(const T* const* a, T* const* r, const NoExtra&) {
    const T x = *a[0];
    *r[0] = std::isnan(x) ? x + x : x;
    *r[1] = std::isnan(x) ? x + x : std::copysign(T(0), x);
    return 0;
  }
};

}  // namespace nrx::zar::ops
