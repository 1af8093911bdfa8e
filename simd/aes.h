// AES encryption rounds on one 128-bit block (AES-NI) and on four blocks of a 512-bit
// register (VAES), with the 64-bit lane additions of a Weyl key schedule. Functions
// that call them carry NRX_AES_TARGET and run only after the processor was checked.
#pragma once
#include "simd/word32.h"

#define NRX_AES_TARGET __attribute__((target("aes,vaes")))

namespace nrx::simd {

using Block = __m128i;

NRX_AES_TARGET inline Block load_block(const uint32_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
NRX_AES_TARGET inline void store_block(uint32_t* p, Block v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
NRX_AES_TARGET inline Block block_of(uint64_t lo, uint64_t hi) { return _mm_set_epi64x(int64_t(hi), int64_t(lo)); }
NRX_AES_TARGET inline Block block_xor(Block a, Block b) { return _mm_xor_si128(a, b); }
NRX_AES_TARGET inline Block block_add64(Block a, Block b) { return _mm_add_epi64(a, b); }
NRX_AES_TARGET inline Block aes_round(Block v, Block k) { return _mm_aesenc_si128(v, k); }
NRX_AES_TARGET inline Block aes_last_round(Block v, Block k) { return _mm_aesenclast_si128(v, k); }

// Four copies of a block.
NRX_AES_TARGET inline IReg splat_block(Block b) { return _mm512_broadcast_i32x4(b); }
// Blocks {first, 0}, {first + 1, 0}, {first + 2, 0}, {first + 3, 0} as 64-bit halves.
NRX_AES_TARGET inline IReg low_half_steps(uint64_t first) {
  return _mm512_set_epi64(0, int64_t(first + 3), 0, int64_t(first + 2), 0, int64_t(first + 1), 0, int64_t(first));
}
NRX_AES_TARGET inline IReg aes_round(IReg v, IReg k) { return _mm512_aesenc_epi128(v, k); }
NRX_AES_TARGET inline IReg aes_last_round(IReg v, IReg k) { return _mm512_aesenclast_epi128(v, k); }

}  // namespace nrx::simd
