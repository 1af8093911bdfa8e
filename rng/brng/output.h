// Output conversion shared by the generators: raw 64-bit lanes to caller results.
// Each conversion is evaluated as written, one rounding per operation and no fused
// multiply-add (the unit builds with -ffp-contract=off), so every value is the one
// the formula gives in double.
#pragma once
#include <cmath>

#include "rng/brng/lanes.h"

namespace nrx::rng {

// Real results of type T from raw integer lanes: a + (b - a) u scale, left to right.
template <class T> struct RealSink {
  T* r;
  lanes::f64x8 scale, a, ba;
  RealSink(T* out, double s, double lo, double hi)
      : r(out), scale(lanes::splat_d(s)), a(lanes::splat_d(lo)), ba(lanes::splat_d(hi - lo)) {}
  void put(int64_t i, lanes::u64x8 u, lanes::mask8 m) const {
    lanes::put_real(r + i, lanes::add(a, lanes::mul(lanes::mul(ba, lanes::to_double(u)), scale)), m);
  }
  // Values already in [0, 1): a + (b - a) u.
  void put_unit(int64_t i, lanes::f64x8 u, lanes::mask8 m) const {
    lanes::put_real(r + i, lanes::add(a, lanes::mul(ba, u)), m);
  }
};

// Real results as u ((b - a) scale) + a: the interval scaled once, then one product
// and one sum per value.
template <class T> struct ScaledRangeSink {
  T* r;
  lanes::f64x8 step, a;
  ScaledRangeSink(T* out, double s, double lo, double hi)
      : r(out), step(lanes::splat_d((hi - lo) * s)), a(lanes::splat_d(lo)) {}
  void put(int64_t i, lanes::u64x8 u, lanes::mask8 m) const {
    lanes::put_real(r + i, lanes::add(lanes::mul(lanes::to_double(u), step), a), m);
  }
};

// Raw words of 4 bytes (W = 1) or 8 bytes (W = 2).
template <int W> struct WordSink {
  uint32_t* r;
  void put(int64_t i, lanes::u64x8 u, lanes::mask8 m) const {
    if constexpr (W == 1)
      lanes::put_u32(r + i, u, m);
    else
      lanes::put_u64(r + 2 * i, u, m);
  }
};

// The first lanes (mask k) of raw words held in memory, zero-extended to 64 bits.
inline lanes::u64x8 load_lanes(const uint32_t* w, lanes::mask8 k) { return lanes::widen_load(w, k); }
inline lanes::u64x8 load_lanes(const uint64_t* w, lanes::mask8 k) { return lanes::masked_load(w, k); }

// Results i .. n - 1 through the sink in pieces of at most B raw words: fill(w, m)
// writes the next m raw words to w, which then go out eight lanes at a time.
template <int B, class Word, class Fill, class Sink>
[[gnu::always_inline]] inline void emit_blocks(int64_t i, int64_t n, Fill&& fill, const Sink& sink) {
  alignas(64) Word w[B];
  while (i < n) {
    const int64_t m = n - i < B ? n - i : B;
    fill(w, m);
    for (int64_t t = 0; t < m; t += 8) {
      const lanes::mask8 k = lanes::first(m - t);
      sink.put(i + t, load_lanes(w + t, k), k);
    }
    i += m;
  }
}

}  // namespace nrx::rng
