// Registers of elements spaced s elements apart in memory (any s): element j of a register at
// byte j s B from p, for elements of B = 4, 8 or 16 bytes (a float, a double or a single
// complex value, a double complex value), moved one by one with 128-bit inserts and extracts.
// On cores that run gathers and scatters as microcode this is the faster way: AMD Zen 5, a
// double add at stride 2 took 2.7-3.4 cycles per element with them, 1.2 with element moves
// (a plain loop 1.1), and a strided double Exp 4.5 against 1.8. Masked loads and stores of
// the registers the elements span, with lane permutes, measured slower still at strides 3
// and 4 (2.5-2.9), their masks having holes.
#pragma once
#include <cstdint>

#include "simd/vec.h"

namespace nrx::simd {

// The 64 / B elements at p, p + s, ..., one by one.
template <int B> [[gnu::always_inline]] inline IReg load_spaced(const void* p, int64_t s) {
  constexpr int G = 16 / B;  // elements per 128 bits
  const auto* q = static_cast<const unsigned char*>(p);
  const int64_t d = s * B;
  const auto part = [&](int k) {
    return elements_at<B>([&](int e) { return static_cast<const void*>(q + (G * k + e) * d); });
  };
  return join_bits(join_bits(part(0), part(1)), join_bits(part(2), part(3)));
}

template <int B> [[gnu::always_inline]] inline void store_spaced(void* p, int64_t s, IReg v) {
  auto* q = static_cast<unsigned char*>(p);
  const int64_t d = s * B;
  const auto put = [&](int k, __m128i x) {
    if constexpr (B == 16) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(q + k * d), x);
    } else if constexpr (B == 8) {
      _mm_storel_pd(reinterpret_cast<double*>(q + 2 * k * d), _mm_castsi128_pd(x));
      _mm_storeh_pd(reinterpret_cast<double*>(q + (2 * k + 1) * d), _mm_castsi128_pd(x));
    } else {
      const __m128 f = _mm_castsi128_ps(x);
      _mm_store_ss(reinterpret_cast<float*>(q + 4 * k * d), f);
      _mm_store_ss(reinterpret_cast<float*>(q + (4 * k + 1) * d), _mm_movehdup_ps(f));
      _mm_store_ss(reinterpret_cast<float*>(q + (4 * k + 2) * d), _mm_movehl_ps(f, f));
      _mm_store_ss(reinterpret_cast<float*>(q + (4 * k + 3) * d), _mm_shuffle_ps(f, f, 3));
    }
  };
  put(0, _mm512_castsi512_si128(v));
  put(1, _mm512_extracti64x2_epi64(v, 1));
  put(2, _mm512_extracti64x2_epi64(v, 2));
  put(3, _mm512_extracti64x2_epi64(v, 3));
}

}  // namespace nrx::simd
