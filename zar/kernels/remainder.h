// Remainder family: Fmod (quotient truncated) and Remainder (quotient rounded to nearest
// even). Both are exact. The vector path takes lanes whose quotient has fewer bits than
// the mantissa; the others, zeros, infinities, NaN and subnormals go to the C library.
#pragma once
#include <cmath>
#include <limits>
#include <type_traits>

#include "zar/kernels/op_base.h"

namespace nrx::zar::ops {

template <class T> struct Remainders {
  Reg<T> r;     // |a| fmod |b|
  Reg<T> q;     // truncated quotient |a| / |b|
  Mask<T> off;  // lanes for the scalar routine
};

template <class T> inline Remainders<T> remainders(Reg<T> a, Reg<T> b) {
  using simd::splat;
  const Reg<T> aa = simd::abs_of<T>(a), ab = simd::abs_of<T>(b);
  // Below 2^(emin + mant) for |b| the residual below could be subnormal, and flushed.
  const Mask<T> odd =
      Mask<T>(simd::fpclass<simd::kInf | simd::kNaN | simd::kDenormal>(a) |
              simd::fpclass<simd::kZero | simd::kInf | simd::kNaN | simd::kDenormal>(b) |
              simd::lt(ab, splat(T(std::numeric_limits<T>::min() / std::numeric_limits<T>::epsilon()))));
  const Reg<T> span = simd::sub(simd::getexp(aa), simd::getexp(ab));
  const Mask<T> wide = simd::not_lt(span, splat(T(simd::Traits<T>::mant_bits - 1)));
  // The rounded quotient is k or k + 1 for the true truncated quotient k < 2^(mant-1);
  // |a| - q|b| is then exact, and one correction step gives the remainder.
  Reg<T> q = simd::round<simd::kRoundZero>(simd::div(aa, ab));
  Reg<T> r = simd::fnma(q, ab, aa);
  const Mask<T> over = simd::lt(r, splat(T(0)));
  r = simd::select(over, simd::add(r, ab), r);
  q = simd::select(over, simd::sub(q, splat(T(1))), q);
  return {r, q, Mask<T>(odd | wide)};
}

// Exact in the wider format, so that flushing of subnormal intermediates cannot touch it.
template <class T> using WiderOf = std::conditional_t<sizeof(T) == 4, double, long double>;

template <class T> inline int32_t remainder_code(T a, T b) {
  return (b == 0 || std::isinf(a)) && !std::isnan(a) && !std::isnan(b) ? ZAR_ST_DOMAIN : ZAR_ST_NONE;
}

template <class T, Flavour F> struct Fmod : Binary<T> {
  static constexpr const char* kName = "Fmod";
  using V = Reg<T>;
  static Mask<T> vec(const V (&in)[2], V (&r)[1], const NoExtra&) {
    const Remainders<T> x = remainders<T>(in[0], in[1]);
    r[0] = simd::copysign<T>(x.r, in[0]);
    return x.off;
  }
  static int32_t scalar(const T* const* a, T* const* r, const NoExtra&) {
    const T x = simd::daz(*a[0]), y = simd::daz(*a[1]);
    *r[0] = T(std::fmod(WiderOf<T>(x), WiderOf<T>(y)));
    return remainder_code(x, y);
  }
};

template <class T, Flavour F> struct Remainder : Binary<T> {
  static constexpr const char* kName = "Remainder";
  using V = Reg<T>;
  static Mask<T> vec(const V (&in)[2], V (&r)[1], const NoExtra&) {
    using simd::splat;
    const Remainders<T> x = remainders<T>(in[0], in[1]);
    const V ab = simd::abs_of<T>(in[1]);
    const V rest = simd::sub(ab, x.r);  // exact where it matters: r >= |b| / 2
    const V half_q = simd::round<simd::kRoundZero>(simd::mul(x.q, splat(T(0.5))));
    const Mask<T> q_odd = simd::ne(simd::fnma(half_q, splat(T(2)), x.q), splat(T(0)));
    const Mask<T> up = Mask<T>(simd::gt(x.r, rest) | (simd::eq(x.r, rest) & q_odd));
    const V m = simd::select(up, simd::negate<T>(rest), x.r);
    r[0] = simd::bit_xor(m, simd::bit_and(in[0], simd::sign_mask<T>()));
    return x.off;
  }
  static int32_t scalar(const T* const* a, T* const* r, const NoExtra&) {
    const T x = simd::daz(*a[0]), y = simd::daz(*a[1]);
    *r[0] = T(std::remainder(WiderOf<T>(x), WiderOf<T>(y)));
    return remainder_code(x, y);
  }
};

}  // namespace nrx::zar::ops
