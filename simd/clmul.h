// Carry-less products of 64-bit words, polynomials over GF(2), for the generators'
// skip-ahead. Compiled for PCLMULQDQ and VPCLMULQDQ whatever the unit's own flags.
#pragma once
#include "simd/intrinsics.h"

#include <cstdint>

#define NRX_CLMUL_TARGET __attribute__((target("pclmul,vpclmulqdq,avx512f,avx512bw")))

namespace nrx::simd {

// The high 64 bits of the 127-bit product a b.
NRX_CLMUL_TARGET inline uint64_t clmul_hi(uint64_t a, uint64_t b) {
  const __m128i p = _mm_clmulepi64_si128(_mm_cvtsi64_si128(int64_t(a)), _mm_cvtsi64_si128(int64_t(b)), 0);
  return uint64_t(_mm_cvtsi128_si64(_mm_unpackhi_epi64(p, p)));
}

// p[0..n] ^= q a[0..n-1], eight words of a per round; p must have room up to
// p[n rounded up to 8]. Products of even words land on word pairs in place, those of
// odd words one word up, moved there across rounds.
NRX_CLMUL_TARGET inline void clmul_accumulate(uint64_t* p, uint64_t q, const uint64_t* a, int n) {
  const __m512i qv = _mm512_set1_epi64(int64_t(q));
  __m512i carry = _mm512_setzero_si512();
  int j = 0;
  for (; j < n; j += 8) {
    const __mmask8 m = n - j >= 8 ? __mmask8(0xFF) : __mmask8((1u << (n - j)) - 1u);
    const __m512i av = _mm512_maskz_loadu_epi64(m, a + j);
    const __m512i even = _mm512_clmulepi64_epi128(qv, av, 0x00);
    const __m512i odd = _mm512_clmulepi64_epi128(qv, av, 0x10);
    const __m512i up = _mm512_alignr_epi64(odd, carry, 7);  // carry's top word, then odd's first seven
    _mm512_storeu_si512(p + j, _mm512_xor_si512(_mm512_loadu_si512(p + j), _mm512_xor_si512(even, up)));
    carry = odd;
  }
  p[j] ^= uint64_t(_mm256_extract_epi64(_mm512_maskz_extracti64x4_epi64(__mmask8(0xF), carry, 1), 3));
}

}  // namespace nrx::simd

// ---- twister generators ----

namespace nrx::simd {

// p[0..2n) = the square of a[0..n): each word's bits spread to the even positions of a
// word pair, eight words per round. p needs room up to 2 n rounded up to 16.
NRX_CLMUL_TARGET inline void clmul_square(uint64_t* p, const uint64_t* a, int n) {
  const __m512i lo_pairs = _mm512_set_epi64(11, 10, 3, 2, 9, 8, 1, 0);
  const __m512i hi_pairs = _mm512_set_epi64(15, 14, 7, 6, 13, 12, 5, 4);
  for (int j = 0; j < n; j += 8) {
    const __mmask8 m = n - j >= 8 ? __mmask8(0xFF) : __mmask8((1u << (n - j)) - 1u);
    const __m512i av = _mm512_maskz_loadu_epi64(m, a + j);
    const __m512i even = _mm512_clmulepi64_epi128(av, av, 0x00);  // words 0, 2, 4, 6 squared
    const __m512i odd = _mm512_clmulepi64_epi128(av, av, 0x11);   // words 1, 3, 5, 7 squared
    _mm512_storeu_si512(p + 2 * j, _mm512_permutex2var_epi64(even, lo_pairs, odd));
    _mm512_storeu_si512(p + 2 * j + 8, _mm512_permutex2var_epi64(even, hi_pairs, odd));
  }
}

}  // namespace nrx::simd
