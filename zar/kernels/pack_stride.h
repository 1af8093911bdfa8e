// Strided packs at strides 2, 3 and 4: each register of output is assembled by lane permutes
// from the S whole registers of input that span its elements, instead of element by element.
// The loads also read the bytes between the elements (never past the start of the element
// after the block, so never outside the strided array).
#pragma once
#include <array>
#include <cstdint>

#include "simd/vec.h"
#include "zar/kernels/pack_out.h"

namespace nrx::zar::pack {

template <class T, int S> struct StridePick {
  using Un = Units<T>;
  using U = typename Un::U;
  using M = typename Un::M;
  static constexpr int L = Un::L, W = Un::W;
  // Lane j of the output is lane src(j) of the S input registers laid end to end.
  static constexpr int src(int j) { return (j / W) * S * W + j % W; }
  static constexpr std::array<U, L> idx = [] {
    std::array<U, L> r{};
    for (int j = 0; j < L; ++j) r[j] = U(src(j));
    return r;
  }();
  // The lanes that come from the third and fourth registers.
  static constexpr M upper = [] {
    M m = 0;
    for (int j = 0; j < L; ++j)
      if (src(j) >= 2 * L) m = M(m | (M(1) << j));
    return m;
  }();
};

// The first element in [i, i + E) and before i1 whose place in a starts a 64-byte line, or -1:
// from there on the S registers of input behind each register of output are whole lines.
template <class T> int64_t line_start(int64_t i, int64_t i1, const T* a, int64_t inca) {
  for (int64_t j = i; j < i + Units<T>::E && j < i1; ++j)
    if ((reinterpret_cast<uintptr_t>(a + j * inca) & 63u) == 0) return j;
  return -1;
}

// The elements [i0, i1) of y from a[i S], in whole registers while another element follows
// the register's; returns where the registers stopped.
template <int S, bool Stream, class T> int64_t gather_stride(int64_t i0, int64_t i1, const T* a, T* y) {
  using P = StridePick<T, S>;
  using U = typename P::U;
  constexpr int L = P::L, E = Units<T>::E;
  const simd::IReg idx = simd::load_bits(P::idx.data());
  int64_t i = i0;
  for (; i + E < i1; i += E) {
    const U* p = reinterpret_cast<const U*>(a + i * S);
    const simd::IReg lo = simd::pick_lanes<U>(simd::load_bits(p), idx, simd::load_bits(p + L));
    if constexpr (S == 2) put<Stream>(y + i, lo);
    if constexpr (S == 3) put<Stream>(y + i, simd::pick_lanes_where(P::upper, lo, idx, simd::load_bits(p + 2 * L)));
    if constexpr (S == 4)
      put<Stream>(
          y + i,
          simd::select(P::upper, simd::pick_lanes<U>(simd::load_bits(p + 2 * L), idx, simd::load_bits(p + 3 * L)), lo));
  }
  return i;
}

}  // namespace nrx::zar::pack
