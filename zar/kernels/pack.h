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
#include "zar/kernels/pack_out.h"
#include "zar/kernels/pack_stride.h"

namespace nrx::zar::pack {

// The masked forms move whole registers by compress and expand under masked loads and stores,
// but for the double complex pack, which stores its compressed registers whole (its masked
// four-element blocks were slower than element moves). Double complex lane masks (two lanes
// an element) are built from the entries in vector registers.
template <bool Spread, class T> inline constexpr bool kBlocks = Spread || Units<T>::W == 1;

// Elements this far ahead of the indexed moves are fetched early on outputs beyond the
// caches: the random lines then arrive many at a time.
inline constexpr int64_t kAhead = 32;
inline constexpr int64_t kFetchFrom = int64_t(1) << 16;

// The strided gather over [i, i1), at strides 2, 3 and 4 from whole registers where that is
// faster: for floats always, for 64-bit elements while the input span is in the private cache
// or the input registers can start on line boundaries (beyond the cache, register loads across
// lines split twice the lines the element loads do and lose to them); double complex elements
// move one by one. Streamed outputs keep the line alignment of their stores instead.
template <bool Stream, class T> void gather_strided(int64_t i, int64_t i1, const T* a, int64_t inca, T* y) {
  const auto at = [=](int64_t j) { return a + j * inca; };
  if (Units<T>::W == 1 && inca >= 2 && inca <= 4) {
    const int64_t j = Stream ? -1 : line_start(i, i1, a, inca);
    if (sizeof(T) == 4 || j >= 0 || i1 * inca * int64_t(sizeof(T)) <= simd::kWholeRegisterSpan) {
      if (j > i) gather_lanes<Stream>(i, j, at, y), i = j;
      i = simd::with_stride<2, 3, 4>(inca, [&](auto s) { return gather_stride<s, Stream>(i, i1, a, y); });
    }
  }
  gather_lanes<Stream>(i, i1, at, y);
}

template <class T> void packI(int64_t n, const T* a, int64_t inca, T* y, int32_t flag) {
  n = count_of(n, flag);
  if (n <= 0) return;
  inca = count_of(inca, flag);
  if (inca == 1) return copy(n, a, y);
  const int64_t h = stream_from(n, y);
  gather_strided<false>(0, h, a, inca, y);
  if (h < n) gather_strided<true>(h, n, a, inca, y), simd::streaming_done();
}

// The scatter direction: at strides 2 and 3, floats, doubles and single complex values over
// spans in the private cache go a register at a time, one permute and one masked store per
// register of y the elements span (n = 1,000 at stride 3: floats 0.61-0.82 -> 0.22-0.31 cycles
// per element, doubles 0.60-0.82 -> 0.53-0.66; double complex values gained nothing). Others
// store element by element: this core's scatters are no faster at n = 1,000 and three times
// slower on arrays beyond the cache. Four stores a step, from two running addresses.
template <class T> void unpackI(int64_t n, const T* a, T* y, int64_t incy, int32_t flag) {
  n = count_of(n, flag);
  if (n <= 0) return;
  incy = count_of(incy, flag);
  if (incy == 1) return copy(n, a, y);
  int64_t i = 0;
  if (Units<T>::W == 1 && (incy == 2 || incy == 3) && n * incy * int64_t(sizeof(T)) <= simd::kWholeRegisterSpan) {
    constexpr int E = Units<T>::E;
    simd::with_stride<2, 3>(incy, [&](auto s) {
      for (; i + E <= n; i += E, y += E * s) simd::store_stride<int(sizeof(T)), s>(y, simd::load_bits(a + i));
    });
  }
  for (; i + 4 <= n; i += 4, y += 4 * incy) {
    T* const y2 = y + 2 * incy;
    y[0] = a[i], y[incy] = a[i + 1], y2[0] = a[i + 2], y2[incy] = a[i + 3];
  }
  for (; i < n; ++i, y += incy) *y = a[i];
}

template <bool Stream, class T, class Ix> void gather_indexed(int64_t i, int64_t i1, const T* a, const Ix* ia, T* y) {
  const auto at = [=](int64_t j) { return a + ia[j]; };
  constexpr int64_t C = 16;  // elements per step of the fetched-ahead loop
  if (i1 >= kFetchFrom)
    for (; i + C + kAhead <= i1; i += C) {
      for (int64_t j = i + kAhead; j < i + kAhead + C; ++j) __builtin_prefetch(at(j));
      gather_lanes<Stream>(i, i + C, at, y);
    }
  gather_lanes<Stream>(i, i1, at, y);
}

template <class T, class Ix> void pack_v(int64_t n, const T* a, const Ix* ia, T* y) {
  const int64_t h = stream_from(n, y);
  gather_indexed<false>(0, h, a, ia, y);
  if (h < n) gather_indexed<true>(h, n, a, ia, y), simd::streaming_done();
}

template <class T, class Ix> void unpack_v(int64_t n, const T* a, T* y, const Ix* iy) {
  int64_t i = 0;
  if (n >= kFetchFrom)
    for (; i + 4 + kAhead <= n; i += 4) {
      for (int64_t j = i + kAhead; j < i + kAhead + 4; ++j) __builtin_prefetch(y + iy[j], 1);
      y[iy[i]] = a[i], y[iy[i + 1]] = a[i + 1], y[iy[i + 2]] = a[i + 2], y[iy[i + 3]] = a[i + 3];
    }
  for (; i + 4 <= n; i += 4) y[iy[i]] = a[i], y[iy[i + 1]] = a[i + 1], y[iy[i + 2]] = a[i + 2], y[iy[i + 3]] = a[i + 3];
  for (; i < n; ++i) y[iy[i]] = a[i];
}

// Masked forms: Spread false packs (the selected elements of a, compressed into y from y[0]),
// true unpacks (the next elements of a, expanded into the selected places of y).
template <bool Spread, class T, class Ix> void masked_move(int64_t n, const T* a, T* y, const Ix* mask) {
  using Un = Units<T>;
  using U = typename Un::U;
  using M = typename Un::M;
  constexpr int E = Un::E;
  constexpr int W = Un::W;
  int64_t i = 0, k = 0;
  if constexpr (kBlocks<Spread, T>)
    for (; i + E <= n; i += E) {
      M m;
      if constexpr (W == 1) m = M(simd::nonzero_entries<E>(mask + i));
      else m = simd::nonzero_entries_twice(mask + i);
      const int c = std::popcount(unsigned(m)) / W;
      if constexpr (Spread) {
        const auto next = simd::masked_load_bits(reinterpret_cast<const U*>(a + k), simd::first_lanes<M>(c * W));
        simd::masked_store_bits(reinterpret_cast<U*>(y + i), m, simd::expand(m, next));
      } else {
        simd::masked_store_bits(reinterpret_cast<U*>(y + k), simd::first_lanes<M>(c * W),
                                simd::compress(m, simd::load_bits(a + i)));
      }
      k += c;
    }
  if constexpr (!kBlocks<Spread, T>) {
    // Double complex pack: compressed registers stored whole (the lane mask built in vector
    // registers, the masked store avoided) while E selected elements remain from i on, so the
    // lanes past the selected ones land where the next selected elements go.
    int64_t last_block = n, seen = 0;  // the place of the E-th selected element from the end
    while (last_block > i && seen < E) seen += mask[--last_block] != 0;
    if (seen < E) last_block = -1;
    int64_t lanes = W * k;
    for (; i <= last_block && i + E <= n; i += E) {
      const M m = simd::nonzero_entries_twice(mask + i);
      simd::store_bits(reinterpret_cast<U*>(y) + lanes, simd::compress(m, simd::load_bits(a + i)));
      lanes += std::popcount(unsigned(m));
    }
    k = lanes / W;
    // Then without a branch per element: each element goes to y[k], which the next selected one
    // overwrites, up to the last selected element, so nothing lands past the output.
    int64_t last = n;
    while (last > i && mask[last - 1] == 0) --last;
    for (; i < last; ++i) y[k] = a[i], k += mask[i] != 0;
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
