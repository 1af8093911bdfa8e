// Pack and unpack: gather strided, indexed or masked elements of a into consecutive
// elements of y, and scatter back. One kernel for every flavour; nothing is reported and
// the floating-point state is not touched. Counts, strides and index or mask entries are
// 32-bit when flag is 1 (the low word of the 64-bit count and stride), 64-bit otherwise.
//
// Elements move as raw bits: a float as one 32-bit lane, a double or a single complex as one
// 64-bit lane, a double complex as two. The masked forms compress and expand full registers;
// the strided and indexed packs assemble 128 bits from lane loads; stride 1 is a plain copy.
#pragma once
#include <bit>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "nrx/zar.h"
#include "simd/vec.h"

namespace nrx::zar::pack {

// Lane type and lanes per element of T.
template <class T> struct Units {
  using U = std::conditional_t<sizeof(T) == 4, uint32_t, uint64_t>;
  static constexpr int W = int(sizeof(T) / sizeof(U));
  static constexpr int E = simd::lanes<std::conditional_t<sizeof(U) == 4, float, double>> / W;  // per block
  using M = simd::Mask<std::conditional_t<sizeof(U) == 4, float, double>>;
};

// Double complex values move as one 128-bit value each: their four-element compress and
// expand blocks are slower than element moves.
template <class T> inline constexpr bool kBlocks = Units<T>::W == 1;

inline int64_t count_of(int64_t n, int32_t flag) { return flag == 1 ? int64_t(int32_t(n)) : n; }

// The gather direction: 128 bits at a time from lane loads (two doubles or single complex
// values, four floats); a double complex value is one 128-bit move of its own.
template <class T> inline void gather_lanes(int64_t n, const T* a, int64_t inca, const auto* ia, T* y) {
  using U = typename Units<T>::U;
  constexpr int G = Units<T>::W == 2 ? 1 : int(16 / sizeof(T));
  const auto at = [&](int64_t i) { return reinterpret_cast<const U*>(ia ? a + ia[i] : a + i * inca); };
  int64_t i = 0;
  if constexpr (G == 2)
    for (; i + 2 <= n; i += 2) simd::store_bits(y + i, simd::lanes_at(at(i), at(i + 1)));
  if constexpr (G == 4)
    for (; i + 4 <= n; i += 4) simd::store_bits(y + i, simd::lanes_at(at(i), at(i + 1), at(i + 2), at(i + 3)));
  for (; i < n; ++i) y[i] = *reinterpret_cast<const T*>(at(i));
}

template <class T> void packI(int64_t n, const T* a, int64_t inca, T* y, int32_t flag) {
  n = count_of(n, flag);
  if (n <= 0) return;
  inca = count_of(inca, flag);
  if (inca == 1) return void(std::memmove(y, a, size_t(n) * sizeof(T)));
  gather_lanes(n, a, inca, static_cast<const int32_t*>(nullptr), y);
}

// The scatter direction stores element by element: this core's scatters are no faster at
// n = 1,000 and three times slower on arrays beyond the cache.
template <class T> void unpackI(int64_t n, const T* a, T* y, int64_t incy, int32_t flag) {
  n = count_of(n, flag);
  if (n <= 0) return;
  incy = count_of(incy, flag);
  if (incy == 1) return void(std::memmove(y, a, size_t(n) * sizeof(T)));
  for (int64_t i = 0; i < n; ++i) y[i * incy] = a[i];
}

template <class T, class Ix> void pack_v(int64_t n, const T* a, const Ix* ia, T* y) { gather_lanes(n, a, 0, ia, y); }

template <class T, class Ix> void unpack_v(int64_t n, const T* a, T* y, const Ix* iy) {
  for (int64_t i = 0; i < n; ++i) y[iy[i]] = a[i];
}

// Masked forms: Spread false packs (the selected elements of a, compressed into y from y[0]),
// true unpacks (the next elements of a, expanded into the selected places of y).
template <bool Spread, class T, class Ix> void masked_move(int64_t n, const T* a, T* y, const Ix* mask) {
  using Un = Units<T>;
  using U = typename Un::U;
  using M = typename Un::M;
  constexpr int E = Un::E;
  int64_t i = 0, k = 0;
  if constexpr (kBlocks<T>)
    for (; i + E <= n; i += E) {
      const M m = M(simd::nonzero_entries<E>(mask + i));
      const int c = std::popcount(uint32_t(m));
      if constexpr (Spread) {
        const auto next = simd::masked_load_bits(reinterpret_cast<const U*>(a + k), simd::first_lanes<M>(c));
        simd::masked_store_bits(reinterpret_cast<U*>(y + i), m, simd::expand(m, next));
      } else {
        simd::masked_store_bits(reinterpret_cast<U*>(y + k), simd::first_lanes<M>(c),
                                simd::compress(m, simd::load_bits(a + i)));
      }
      k += c;
    }
  for (; i < n; ++i)
    if (mask[i] != 0) Spread ? void(y[i] = a[k++]) : void(y[k++] = a[i]);
}

// The kernels of the function tables: the flag picks 32- or 64-bit index and mask entries.
template <class T> void packV(int64_t n, const T* a, const void* ia, T* y, int32_t flag) {
  if ((n = count_of(n, flag)) <= 0) return;
  if (flag == 1) pack_v(n, a, static_cast<const int32_t*>(ia), y);
  else pack_v(n, a, static_cast<const int64_t*>(ia), y);
}
template <class T> void packM(int64_t n, const T* a, const void* ma, T* y, int32_t flag) {
  if ((n = count_of(n, flag)) <= 0) return;
  if (flag == 1) masked_move<false>(n, a, y, static_cast<const int32_t*>(ma));
  else masked_move<false>(n, a, y, static_cast<const int64_t*>(ma));
}
template <class T> void unpackV(int64_t n, const T* a, T* y, const void* iy, int32_t flag) {
  if ((n = count_of(n, flag)) <= 0) return;
  if (flag == 1) unpack_v(n, a, y, static_cast<const int32_t*>(iy));
  else unpack_v(n, a, y, static_cast<const int64_t*>(iy));
}
template <class T> void unpackM(int64_t n, const T* a, T* y, const void* my, int32_t flag) {
  if ((n = count_of(n, flag)) <= 0) return;
  if (flag == 1) masked_move<true>(n, a, y, static_cast<const int32_t*>(my));
  else masked_move<true>(n, a, y, static_cast<const int64_t*>(my));
}

}  // namespace nrx::zar::pack
