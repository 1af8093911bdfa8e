// Sixteen 32-bit words as four planes of sixteen blocks: the high and low halves of a
// word product and the interleave of four word planes into blocks of four words, for
// the counter-based generators that keep word j of sixteen blocks in one register.
#pragma once
#include "simd/word32.h"

namespace nrx::simd {

inline IReg mul_lo_words(IReg a, IReg b) { return _mm512_mullo_epi32(a, b); }
// High 32 bits of each 32 x 32-bit word product.
inline IReg mul_hi_words(IReg a, IReg b) {
  const IReg even = _mm512_srli_epi64(_mm512_mul_epu32(a, b), 32);
  const IReg odd = _mm512_mul_epu32(_mm512_srli_epi64(a, 32), _mm512_srli_epi64(b, 32));
  return _mm512_mask_blend_epi32(Mask16(0xAAAA), even, odd);
}
inline IReg add_words(IReg a, IReg b) { return _mm512_add_epi32(a, b); }
// {0, 1, ..., 15}.
inline IReg word_index() { return _mm512_set_epi32(15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0); }

// p[j] holds word j of blocks 0 .. 15; out[q] receives blocks 4q .. 4q + 3 in word order.
inline void planes_to_blocks(const IReg p[4], IReg out[4]) {
  const IReg t0 = _mm512_unpacklo_epi32(p[0], p[1]), t1 = _mm512_unpacklo_epi32(p[2], p[3]);
  const IReg t2 = _mm512_unpackhi_epi32(p[0], p[1]), t3 = _mm512_unpackhi_epi32(p[2], p[3]);
  // u_j: block 4g + j in the 128-bit group g.
  const IReg u0 = _mm512_unpacklo_epi64(t0, t1), u1 = _mm512_unpackhi_epi64(t0, t1);
  const IReg u2 = _mm512_unpacklo_epi64(t2, t3), u3 = _mm512_unpackhi_epi64(t2, t3);
  const IReg w0 = _mm512_shuffle_i32x4(u0, u1, 0x44), w1 = _mm512_shuffle_i32x4(u2, u3, 0x44);
  const IReg w2 = _mm512_shuffle_i32x4(u0, u1, 0xEE), w3 = _mm512_shuffle_i32x4(u2, u3, 0xEE);
  out[0] = _mm512_shuffle_i32x4(w0, w1, 0x88);
  out[1] = _mm512_shuffle_i32x4(w0, w1, 0xDD);
  out[2] = _mm512_shuffle_i32x4(w2, w3, 0x88);
  out[3] = _mm512_shuffle_i32x4(w2, w3, 0xDD);
}

}  // namespace nrx::simd
