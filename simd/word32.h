// Sixteen 32-bit unsigned words in one 512-bit integer register (IReg), for the
// twister generators: loads and stores of word runs, word shifts, byte shifts inside
// each 128-bit block and moves by whole blocks.
#pragma once
#include "simd/int64.h"

namespace nrx::simd {

using Mask16 = __mmask16;

// The first k of sixteen words (all for k >= 16).
inline Mask16 first_words(int64_t k) { return k >= 16 ? Mask16(0xFFFF) : Mask16((1u << k) - 1u); }
inline IReg load_words(const uint32_t* p) { return _mm512_loadu_si512(p); }
inline IReg load_words(const uint32_t* p, Mask16 m) { return _mm512_maskz_loadu_epi32(m, p); }
inline void store_words(uint32_t* p, IReg v) { _mm512_storeu_si512(p, v); }
inline void store_words(uint32_t* p, Mask16 m, IReg v) { _mm512_mask_storeu_epi32(p, m, v); }
inline IReg splat_word(uint32_t x) { return _mm512_set1_epi32(int32_t(x)); }
// Four words repeated in every 128-bit block (w0 lowest).
inline IReg splat_block(uint32_t w0, uint32_t w1, uint32_t w2, uint32_t w3) {
  return _mm512_set4_epi32(int32_t(w3), int32_t(w2), int32_t(w1), int32_t(w0));
}
inline IReg bit_or(IReg a, IReg b) { return _mm512_or_si512(a, b); }
inline IReg sub_words(IReg a, IReg b) { return _mm512_sub_epi32(a, b); }
// Masked forms with every lane selected here and below: GCC 12 warns on the unmasked
// ones' undefined source.
template <int N> inline IReg words_right(IReg a) { return _mm512_maskz_srli_epi32(Mask16(0xFFFF), a, N); }
template <int N> inline IReg words_left(IReg a) { return _mm512_maskz_slli_epi32(Mask16(0xFFFF), a, N); }
// Each 128-bit block shifted by B bytes toward its high end / its low end.
template <int B> inline IReg blocks_left_bytes(IReg a) { return _mm512_bslli_epi128(a, B); }
template <int B> inline IReg blocks_right_bytes(IReg a) { return _mm512_bsrli_epi128(a, B); }
// The last K 128-bit blocks of lo followed by the first 4 - K blocks of hi (1 <= K <= 3).
template <int K> inline IReg blocks_carry(IReg hi, IReg lo) {
  return _mm512_maskz_alignr_epi64(__mmask8(0xFF), hi, lo, 8 - 2 * K);
}

// Block K of a in all four 128-bit blocks.
template <int K> inline IReg broadcast_block(IReg a) {
  return _mm512_maskz_shuffle_i64x2(__mmask8(0xFF), a, a, K * 0x55);
}
// The 128-bit blocks of yes where bit 2k and 2k + 1 of m are set, of no elsewhere.
inline IReg select_blocks(__mmask8 m, IReg yes, IReg no) { return _mm512_mask_blend_epi64(m, no, yes); }

// d[0..n) ^= s[0..n), sixteen words at a time (any alignment).
inline void xor_words(uint32_t* d, const uint32_t* s, int64_t n) {
  for (int64_t i = 0; i < n; i += 16) {
    const Mask16 m = first_words(n - i);
    store_words(d + i, m, bit_xor(load_words(d + i, m), load_words(s + i, m)));
  }
}

}  // namespace nrx::simd
