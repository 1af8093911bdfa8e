// Pack and unpack: gather strided, indexed or masked elements of a into consecutive
// elements of y, and scatter back. One kernel for every flavour; nothing is reported and
// the floating-point state is not touched. Counts, strides and index or mask entries are
// 32-bit when flag is 1 (the low word of the 64-bit count and stride), 64-bit otherwise.
//
// Elements move as raw bits: a float as one 32-bit lane, a double or a single complex as one
// 64-bit lane, a double complex as two. Full blocks of a register go through scatters
// (strided, indexed unpack) or compress and expand (masked); the rest one by one.
// Stride 1 is a plain copy.
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

// Double complex values move as one 128-bit value each: their scatters (two 64-bit lanes per
// element) and four-element compress and expand blocks are slower than element moves.
template <class T> inline constexpr bool kScatters = Units<T>::W == 1;

inline int64_t count_of(int64_t n, int32_t flag) { return flag == 1 ? int64_t(int32_t(n)) : n; }

// Offsets of the next block of elements idx[0 .. E).
template <class T, class Ix> inline auto index_offsets(const Ix* idx) {
  if constexpr (Units<T>::E == 16) return simd::offsets16(idx);
  else return simd::offsets8(idx);
}

// Calls f with the offsets of elements 0, inc, 2 inc, ... of one block: 32-bit offsets where
// they fit, 64-bit otherwise.
template <class T, class F> inline void with_stride_offsets(int64_t inc, F f) {
  constexpr int E = Units<T>::E;
  if constexpr (E == 16) {
    if (inc > -(int64_t(1) << 26) && inc < (int64_t(1) << 26)) {
      alignas(64) int32_t o[16];
      for (int j = 0; j < 16; ++j) o[j] = int32_t(j * inc);
      return f(simd::offsets16(o));
    }
    alignas(64) int64_t o[16];
    for (int j = 0; j < 16; ++j) o[j] = j * inc;
    return f(simd::offsets16(o));
  } else {
    alignas(64) int64_t o[8];
    for (int j = 0; j < 8; ++j) o[j] = j * inc;
    return f(simd::offsets8(o));
  }
}

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

template <class T> void unpackI(int64_t n, const T* a, T* y, int64_t incy, int32_t flag) {
  using U = typename Units<T>::U;
  constexpr int E = Units<T>::E;
  n = count_of(n, flag);
  if (n <= 0) return;
  incy = count_of(incy, flag);
  if (incy == 1) return void(std::memmove(y, a, size_t(n) * sizeof(T)));
  int64_t i = 0;
  if constexpr (kScatters<T>)
    with_stride_offsets<T>(incy, [&](auto off) {
      for (; i + E <= n; i += E) simd::scatter(reinterpret_cast<U*>(y + i * incy), off, simd::load_bits(a + i));
    });
  for (; i < n; ++i) y[i * incy] = a[i];
}

template <class T, class Ix> void pack_v(int64_t n, const T* a, const Ix* ia, T* y) { gather_lanes(n, a, 0, ia, y); }

template <class T, class Ix> void unpack_v(int64_t n, const T* a, T* y, const Ix* iy) {
  using U = typename Units<T>::U;
  constexpr int E = Units<T>::E;
  int64_t i = 0;
  if constexpr (kScatters<T>)
    for (; i + E <= n; i += E) simd::scatter(reinterpret_cast<U*>(y), index_offsets<T>(iy + i), simd::load_bits(a + i));
  for (; i < n; ++i) y[iy[i]] = a[i];
}

template <class T, class Ix> void pack_m(int64_t n, const T* a, const Ix* ma, T* y) {
  using Un = Units<T>;
  using U = typename Un::U;
  constexpr int E = Un::E;
  int64_t i = 0, k = 0;
  if constexpr (kScatters<T>)
    for (; i + E <= n; i += E) {
      const uint32_t m = simd::nonzero_entries<E>(ma + i);
      const int c = std::popcount(m);
      const auto out = simd::compress(typename Un::M(m), simd::load_bits(a + i));
      simd::masked_store_bits(reinterpret_cast<U*>(y + k), simd::first_lanes<typename Un::M>(c), out);
      k += c;
    }
  for (; i < n; ++i)
    if (ma[i] != 0) y[k++] = a[i];
}

template <class T, class Ix> void unpack_m(int64_t n, const T* a, T* y, const Ix* my) {
  using Un = Units<T>;
  using U = typename Un::U;
  constexpr int E = Un::E;
  int64_t i = 0, k = 0;
  if constexpr (kScatters<T>)
    for (; i + E <= n; i += E) {
      const uint32_t m = simd::nonzero_entries<E>(my + i);
      const int c = std::popcount(m);
      const auto sel = typename Un::M(m);
      const auto next = simd::masked_load_bits(reinterpret_cast<const U*>(a + k), simd::first_lanes<typename Un::M>(c));
      simd::masked_store_bits(reinterpret_cast<U*>(y + i), sel, simd::expand(sel, next));
      k += c;
    }
  for (; i < n; ++i)
    if (my[i] != 0) y[i] = a[k++];
}

// The kernels of the function tables: the flag picks 32- or 64-bit index and mask entries.
template <class T> void packV(int64_t n, const T* a, const void* ia, T* y, int32_t flag) {
  if ((n = count_of(n, flag)) <= 0) return;
  if (flag == 1) pack_v(n, a, static_cast<const int32_t*>(ia), y);
  else pack_v(n, a, static_cast<const int64_t*>(ia), y);
}
template <class T> void packM(int64_t n, const T* a, const void* ma, T* y, int32_t flag) {
  if ((n = count_of(n, flag)) <= 0) return;
  if (flag == 1) pack_m(n, a, static_cast<const int32_t*>(ma), y);
  else pack_m(n, a, static_cast<const int64_t*>(ma), y);
}
template <class T> void unpackV(int64_t n, const T* a, T* y, const void* iy, int32_t flag) {
  if ((n = count_of(n, flag)) <= 0) return;
  if (flag == 1) unpack_v(n, a, y, static_cast<const int32_t*>(iy));
  else unpack_v(n, a, y, static_cast<const int64_t*>(iy));
}
template <class T> void unpackM(int64_t n, const T* a, T* y, const void* my, int32_t flag) {
  if ((n = count_of(n, flag)) <= 0) return;
  if (flag == 1) unpack_m(n, a, y, static_cast<const int32_t*>(my));
  else unpack_m(n, a, y, static_cast<const int64_t*>(my));
}

}  // namespace nrx::zar::pack
