// Sixteen 32-bit unsigned words in one 512-bit integer register (IReg), for the
// twister generators: loads and stores of word runs and word shifts; and pairs of
// 128-bit blocks for the block twister.
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
// Words k..k+15 of the 32-word concatenation (lo, hi), 0 <= k <= 16.
inline IReg window_words(IReg lo, IReg hi, int k) {
  const IReg idx =
      _mm512_add_epi32(_mm512_set_epi32(15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0), _mm512_set1_epi32(k));
  return _mm512_permutex2var_epi32(lo, idx, hi);
}
inline IReg bit_or(IReg a, IReg b) { return _mm512_or_si512(a, b); }
inline IReg sub_words(IReg a, IReg b) { return _mm512_sub_epi32(a, b); }
// Masked forms with every lane selected: GCC 12 warns on the unmasked ones' undefined
// source.
template <int N> inline IReg words_right(IReg a) { return _mm512_maskz_srli_epi32(Mask16(0xFFFF), a, N); }
template <int N> inline IReg words_left(IReg a) { return _mm512_maskz_slli_epi32(Mask16(0xFFFF), a, N); }

// Two consecutive 128-bit blocks in one 256-bit register (the lower first), for the
// terms a block recurrence takes from its old state. 512-bit operations would take the
// vector unit that the 128-bit carried steps (Block, vec.h) share, so these stay at
// 256 bits.
using BlockPair = __m256i;
inline BlockPair pair_load(const uint32_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
inline void pair_store(uint32_t* p, BlockPair v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }
// Four words repeated in both blocks (w0 lowest).
inline BlockPair pair_splat(uint32_t w0, uint32_t w1, uint32_t w2, uint32_t w3) {
  return _mm256_setr_epi32(int32_t(w0), int32_t(w1), int32_t(w2), int32_t(w3), int32_t(w0), int32_t(w1), int32_t(w2),
                           int32_t(w3));
}
inline BlockPair pair_xor(BlockPair a, BlockPair b) { return _mm256_xor_si256(a, b); }
inline BlockPair pair_and(BlockPair a, BlockPair b) { return _mm256_and_si256(a, b); }
// Each block shifted by B bytes toward its high end; each word shifted right by N bits.
template <int B> inline BlockPair pair_left_bytes(BlockPair a) { return _mm256_bslli_epi128(a, B); }
template <int N> inline BlockPair pair_words_right(BlockPair a) { return _mm256_srli_epi32(a, N); }
// The block at p read back from memory after a wider store there: the compiler would
// otherwise take it out of the stored register with a shuffle, where the load is free.
inline Block block_reload(const uint32_t* p) {
  asm("" : "+r"(p));  // p's value is no longer known to be the store's address
  return block_load(p);
}
inline Block block_xor2(Block a, Block b) { return _mm_xor_si128(a, b); }

// d[0..n) ^= s[0..n), sixteen words at a time (any alignment).
inline void xor_words(uint32_t* d, const uint32_t* s, int64_t n) {
  for (int64_t i = 0; i < n; i += 16) {
    const Mask16 m = first_words(n - i);
    store_words(d + i, m, bit_xor(load_words(d + i, m), load_words(s + i, m)));
  }
}

}  // namespace nrx::simd
