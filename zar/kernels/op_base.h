// Common pieces of the operation types the kernel frame runs (see frame.h).
#pragma once
#include <cstring>

#include "zar/kernels/frame.h"

namespace nrx::zar::ops {

using simd::Mask;
using simd::Reg;

// Shape and types of a vector operation whose inputs and results share element type T.
template <class T, Shape S, int NIn, int NOut, class X = NoExtra> struct VectorOp {
  using TI = T;
  using TO = T;
  using TL = T;
  using R = RealOf<T>;
  using V = Reg<R>;
  using M = Mask<R>;
  using Extra = X;
  static constexpr Shape kShape = S;
  static constexpr int kIn = NIn;
  static constexpr int kOut = NOut;
  static constexpr int kRegs = 2;
};

template <class T> using Unary = VectorOp<T, Shape::v1, 1, 1>;
template <class T> using Binary = VectorOp<T, Shape::v2, 2, 1>;

// Scalar routine of an operation without special lanes: the element runs through the
// vector body in lane 0 (the other lanes hold 0.75), so both paths give the same bits.
template <class Op>
int32_t scalar_by_vector(const typename Op::TI* const* a, typename Op::TO* const* r, const typename Op::Extra& ex) {
  using R = typename Op::R;
  constexpr int L = simd::lanes<R>;
  constexpr int W = Elem<typename Op::TI>::width;
  typename Op::V in[Op::kIn], out[Op::kOut];
  alignas(64) R buf[L];
  for (int k = 0; k < Op::kIn; ++k) {
    for (R& x : buf) x = R(0.75);
    std::memcpy(buf, a[k], sizeof(R) * W);
    in[k] = simd::load(buf);
  }
  Op::vec(in, out, ex);
  for (int k = 0; k < Op::kOut; ++k) {
    simd::store(buf, out[k]);
    std::memcpy(r[k], buf, sizeof(R) * W);
  }
  return 0;
}

// Base of an operation whose vector body handles every lane (CRTP: Self is the operation).
template <class Self, class Base> struct AllLanes : Base {
  static int32_t scalar(const typename Base::TI* const* a, typename Base::TO* const* r,
                        const typename Base::Extra& ex) {
    return scalar_by_vector<Self>(a, r, ex);
  }
};

}  // namespace nrx::zar::ops
