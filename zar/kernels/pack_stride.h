// Strided packs at strides 2, 3 and 4: each register of output is assembled by lane permutes
// from the S whole registers of input that span its elements (simd::load_stride), instead of
// element by element, while another element follows the register's, so that the loads stay
// inside the strided array.
#pragma once
#include <cstdint>

#include "simd/spaced.h"
#include "simd/vec.h"
#include "zar/kernels/pack_out.h"

namespace nrx::zar::pack {

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
  constexpr int E = Units<T>::E;
  int64_t i = i0;
  for (; i + E < i1; i += E) put<Stream>(y + i, simd::load_stride<int(sizeof(T)), S>(a + i * S));
  return i;
}

}  // namespace nrx::zar::pack
