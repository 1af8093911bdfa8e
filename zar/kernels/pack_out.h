// The consecutive output of the packs: element lanes, and where an output is larger than the
// caches hold, stores that bypass them from the first 64-byte line of y on (no line of y is
// read before it is written, which saves a third of the memory traffic of a copy).
#pragma once
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "nrx/zar.h"
#include "simd/stream.h"
#include "simd/vec.h"

namespace nrx::zar::pack {

// Lane type and lanes per element of T.
template <class T> struct Units {
  using U = std::conditional_t<sizeof(T) == 4, uint32_t, uint64_t>;
  static constexpr int W = int(sizeof(T) / sizeof(U));
  static constexpr int L = int(64 / sizeof(U));  // lanes per register
  static constexpr int E = L / W;                // elements per register
  using M = simd::Mask<std::conditional_t<sizeof(U) == 4, float, double>>;
};

inline int64_t count_of(int64_t n, int32_t flag) { return flag == 1 ? int64_t(int32_t(n)) : n; }

// Outputs from this size on are streamed: beyond what the core's caches keep of a call's
// input and output together, and far beyond the private cache. On AMD Zen 5 an 8 MB copy
// measured faster stored plainly (0.59 against 0.75 cycles per double, the pair stays in
// the shared cache) and a 16 MB one faster streamed (1.47 against 1.74 per double complex).
inline constexpr int64_t kStreamBytes = int64_t(12) << 20;

// A register of whole elements to y: a streamed store when y is a line of a streamed part.
template <bool Stream> inline void put(void* y, simd::IReg v) {
  if constexpr (Stream) simd::stream_line(y, v);
  else simd::store_bits(y, v);
}
template <bool Stream> inline void put(void* y, simd::Bits128 v) {
  if constexpr (Stream) simd::stream_bits(y, v);
  else simd::store_bits(y, v);
}
template <bool Stream> inline void put(void* y, simd::Bits256 v) {
  if constexpr (Stream) simd::stream_bits(y, v);
  else simd::store_bits(y, v);
}

// The first element of y[0, n) from which the output is streamed (n for none): outputs below
// kStreamBytes and elements that never meet a line boundary are stored plainly, others
// plainly up to the first line boundary of y, so that every register put from there on
// fills one aligned line (or a 16-byte quarter of one). A streamed part ends with
// simd::streaming_done().
template <class T> int64_t stream_from(int64_t n, const T* y) {
  const auto off = (-reinterpret_cast<uintptr_t>(y)) & 63u;
  if (n * int64_t(sizeof(T)) < kStreamBytes || off % sizeof(T) != 0) return n;
  return int64_t(off / sizeof(T));
}

// The gather direction over [i, i1): 256 bits at a time from two 128-bit parts of lane loads
// (two doubles or single complex values, four floats, one double complex value each), then
// 128 bits at a time.
template <bool Stream, class T, class At> void gather_lanes(int64_t i, int64_t i1, At at, T* y) {
  constexpr int G = int(16 / sizeof(T));
  // 128 bits of elements from [j, j + G).
  const auto part = [&](int64_t j) {
    return simd::elements_at<int(sizeof(T))>([&](int e) { return static_cast<const void*>(at(j + e)); });
  };
  for (; i + 4 * G <= i1; i += 4 * G) {
    put<Stream>(y + i, simd::join_bits(part(i), part(i + G)));
    put<Stream>(y + i + 2 * G, simd::join_bits(part(i + 2 * G), part(i + 3 * G)));
  }
  for (; i + G <= i1; i += G) put<Stream>(y + i, part(i));
  for (; i < i1; ++i) y[i] = *at(i);
}

// y[0, n) = a[0, n): a plain copy for outputs in cache or overlapping ranges, else whole
// registers streamed into the lines of y.
template <class T> void copy(int64_t n, const T* a, T* y) {
  const size_t bytes = size_t(n) * sizeof(T);
  const auto* from = reinterpret_cast<const unsigned char*>(a);
  auto* to = reinterpret_cast<unsigned char*>(y);
  if (int64_t(bytes) < kStreamBytes || (to < from + bytes && from < to + bytes)) return void(std::memmove(y, a, bytes));
  const size_t head = (-reinterpret_cast<uintptr_t>(to)) & 63u, lines = (bytes - head) / 64;
  std::memcpy(to, from, head);
  for (size_t k = 0; k < lines; ++k) simd::stream_line(to + head + 64 * k, simd::load_bits(from + head + 64 * k));
  simd::streaming_done();
  const size_t done = head + 64 * lines;
  std::memcpy(to + done, from + done, bytes - done);
}

}  // namespace nrx::zar::pack
