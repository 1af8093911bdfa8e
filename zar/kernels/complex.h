// Simple complex family: Conj, Add, Sub, Mul, MulByConj. Registers hold (re, im) pairs.
// LA and HA share one kernel that reports code 3 for an element whose parts are finite
// and whose result has an infinite part; EP kernels of Add and Sub report nothing.
#pragma once
#include <cmath>
#include <type_traits>

#include "zar/kernels/op_base.h"

namespace nrx::zar::ops {

template <class C> using Wide = std::conditional_t<sizeof(RealOf<C>) == 4, double, long double>;

// Odd lanes (imaginary parts) negated.
template <class R> inline Reg<R> conj_of(Reg<R> a) {
  return simd::bit_xor(a, simd::select(Mask<R>(~simd::even_lanes<R>()), simd::splat(R(-0.0)), simd::splat(R(0))));
}

template <class C, Flavour F> struct Conj : AllLanes<Conj<C, F>, Unary<C>> {
  static constexpr const char* kName = "Conj";
  using V = Reg<RealOf<C>>;
  static Mask<RealOf<C>> vec(const V (&a)[1], V (&r)[1], const NoExtra&) {
    r[0] = conj_of<RealOf<C>>(a[0]);
    return 0;
  }
};

// Lanes whose inputs are finite and whose result is not.
template <class R> inline Mask<R> overflowed(Reg<R> a, Reg<R> b, Reg<R> r) {
  const Mask<R> bad_in = Mask<R>(simd::fpclass<simd::kInf | simd::kNaN>(a) | simd::fpclass<simd::kInf | simd::kNaN>(b));
  return Mask<R>(simd::fpclass<simd::kInf | simd::kNaN>(r) & ~simd::pairs_of<R>(bad_in));
}

// The scalar routine of the reporting kernels: the product or sum in wider precision,
// code 3 when a part of the rounded result is infinite.
template <class C, int Kind> inline int32_t complex_scalar(const C* const* a, C* const* r) {
  using W = Wide<C>;
  using R = RealOf<C>;
  const W ar = a[0]->real, ai = a[0]->imag, br = a[1]->real, bi = Kind == 3 ? -W(a[1]->imag) : W(a[1]->imag);
  W re, im;
  if constexpr (Kind == 0) re = ar + br, im = ai + bi;
  else if constexpr (Kind == 1) re = ar - br, im = ai - bi;
  else re = ar * br - ai * bi, im = ar * bi + ai * br;
  r[0]->real = R(re);
  r[0]->imag = R(im);
  return std::isinf(r[0]->real) || std::isinf(r[0]->imag) ? ZAR_ST_RESULT_TOO_LARGE : ZAR_ST_NONE;
}

// Kind: 0 add, 1 sub, 2 mul, 3 mul by conj.
template <class C, Flavour F, int Kind> struct ComplexBinary : Binary<C> {
  using R = RealOf<C>;
  using V = Reg<R>;
  static constexpr bool kReports = F != Flavour::EP || Kind >= 2;
  static Mask<R> vec(const V (&in)[2], V (&r)[1], const NoExtra&) {
    const V a = in[0];
    V b = in[1];
    if constexpr (Kind == 0) r[0] = simd::add(a, b);
    if constexpr (Kind == 1) r[0] = simd::sub(a, b);
    if constexpr (Kind >= 2) {
      if constexpr (Kind == 3) b = conj_of<R>(b);
      // (ar br - ai bi, ar bi + ai br): even lanes subtract, odd lanes add.
      r[0] = simd::fmaddsub(simd::dup_even(a), b, simd::mul(simd::dup_odd(a), simd::swap_pairs(b)));
    }
    if constexpr (kReports) return overflowed<R>(a, in[1], r[0]);
    else return 0;
  }
  static int32_t scalar(const C* const* a, C* const* r, const NoExtra&) { return complex_scalar<C, Kind>(a, r); }
};

template <class C, Flavour F> struct ComplexAdd : ComplexBinary<C, F, 0> { static constexpr const char* kName = "Add"; };
template <class C, Flavour F> struct ComplexSub : ComplexBinary<C, F, 1> { static constexpr const char* kName = "Sub"; };
template <class C, Flavour F> struct ComplexMul : ComplexBinary<C, F, 2> { static constexpr const char* kName = "Mul"; };
template <class C, Flavour F> struct MulByConj : ComplexBinary<C, F, 3> { static constexpr const char* kName = "MulByConj"; };

}  // namespace nrx::zar::ops
