// Whole aligned 64-byte lines stored past the caches, for outputs larger than the caches
// hold (no line is read before it is written), or through them.
#pragma once
#include "simd/vec.h"

namespace nrx::simd {

// One whole line (p a multiple of 64).
inline void stream_line(void* p, IReg v) { _mm512_stream_si512(static_cast<__m512i*>(p), v); }
// One whole line through the caches (p a multiple of 64).
inline void store_line(void* p, IReg v) { _mm512_store_si512(p, v); }
// 128 bits (p a multiple of 16); consecutive ones fill a line before it leaves the core.
inline void stream_bits(void* p, Bits128 v) { _mm_stream_si128(static_cast<__m128i*>(p), v); }
inline void stream_bits(void* p, Bits256 v) { _mm256_stream_si256(static_cast<__m256i*>(p), v); }
// Orders the streamed lines before the stores that follow, as a hand-off to another
// thread needs.
inline void streaming_done() { _mm_sfence(); }

}  // namespace nrx::simd
