// Reciprocals without the division instruction: the 14-bit estimate refined by Newton
// steps, each of which doubles the correct bits.
#pragma once
#include "zar/kernels/op_base.h"

namespace nrx::zar::ops {

// 1/v for normal v: the estimate and Steps Newton steps, y + y (1 - v y).
template <class T, int Steps> inline Reg<T> recip_newton(Reg<T> v) {
  Reg<T> y = simd::rcp14(v);
  for (int k = 0; k < Steps; ++k) y = simd::fma(y, simd::fnma(v, y, simd::splat(T(1))), y);
  return y;
}

}  // namespace nrx::zar::ops
