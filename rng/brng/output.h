// Output conversion shared by the generators: raw 64-bit lanes to caller results.
// Each conversion is evaluated as written, one rounding per operation and no fused
// multiply-add, so every value is the one the formula gives in double.
#pragma once
#include <cmath>

#include <type_traits>

#include "simd/int64.h"

namespace nrx::rng {

// Real results of type T from lanes of doubles.
template <class T> inline void store_reals(T* r, int64_t i, simd::Reg<double> v, simd::Mask8 m) {
  if constexpr (std::is_same_v<T, float>) simd::masked_store_narrow(r + i, m, v);
  else simd::masked_store(r + i, m, v);
}

// Real results of type T from raw integer lanes: a + (b - a) u scale, left to right.
template <class T> struct RealSink {
  T* r;
  simd::Reg<double> scale, a, ba;
  RealSink(T* out, double s, double lo, double hi)
      : r(out), scale(simd::splat(s)), a(simd::splat(lo)), ba(simd::splat(hi - lo)) {}
  void put(int64_t i, simd::IReg u, simd::Mask8 m) const {
    store_reals(r, i, simd::add(a, simd::mul(simd::mul(ba, simd::u64_to_real(u)), scale)), m);
  }
  // Values already in [0, 1): a + (b - a) u.
  void put_unit(int64_t i, simd::Reg<double> u, simd::Mask8 m) const {
    store_reals(r, i, simd::add(a, simd::mul(ba, u)), m);
  }
};

// Real results as u ((b - a) scale) + a: the interval scaled once, then one product
// and one sum per value.
template <class T> struct ScaledRangeSink {
  T* r;
  simd::Reg<double> step, a;
  ScaledRangeSink(T* out, double s, double lo, double hi)
      : r(out), step(simd::splat((hi - lo) * s)), a(simd::splat(lo)) {}
  void put(int64_t i, simd::IReg u, simd::Mask8 m) const {
    store_reals(r, i, simd::add(simd::mul(simd::u64_to_real(u), step), a), m);
  }
};

// Raw words of 4 bytes (W = 1) or 8 bytes (W = 2).
template <int W> struct WordSink {
  uint32_t* r;
  void put(int64_t i, simd::IReg u, simd::Mask8 m) const {
    if constexpr (W == 1) simd::masked_store_low32(r + i, m, u);
    else simd::masked_store_u64(r + 2 * i, m, u);
  }
};

// The first lanes (mask k) of raw words held in memory, zero-extended to 64 bits.
inline simd::IReg load_lanes(const uint32_t* w, simd::Mask8 k) { return simd::widen_load(w, k); }
inline simd::IReg load_lanes(const uint64_t* w, simd::Mask8 k) { return simd::masked_load(w, k); }

// Results i .. n - 1 through the sink in pieces of at most B raw words: fill(w, m)
// writes the next m raw words to w, which then go out eight lanes at a time.
template <int B, class Word, class Fill, class Sink>
[[gnu::always_inline]] inline void emit_blocks(int64_t i, int64_t n, Fill&& fill, const Sink& sink) {
  alignas(64) Word w[B];
  while (i < n) {
    const int64_t m = n - i < B ? n - i : B;
    fill(w, m);
    for (int64_t t = 0; t < m; t += 8) {
      const simd::Mask8 k = simd::tail<double>(m - t);
      sink.put(i + t, load_lanes(w + t, k), k);
    }
    i += m;
  }
}

}  // namespace nrx::rng
