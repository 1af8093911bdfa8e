// Eight 64-bit unsigned integer lanes (IReg) beside the eight double lanes of vec.h: the
// modular arithmetic of the random number generators and the stores that turn lanes of
// raw outputs into caller results. Masks are those of the double lanes.
#pragma once
#include "simd/vec.h"

namespace nrx::simd {

using Mask8 = Mask<double>;

inline IReg splat_u64(uint64_t x) { return _mm512_set1_epi64(int64_t(x)); }
inline IReg load(const uint64_t* p) { return _mm512_loadu_si512(p); }
// Lanes of m from p, zero elsewhere.
inline IReg masked_load(const uint64_t* p, Mask8 m) { return _mm512_maskz_loadu_epi64(m, p); }
inline void store(uint64_t* p, IReg v) { _mm512_storeu_si512(p, v); }
inline uint64_t first_lane(IReg v) { return uint64_t(_mm_cvtsi128_si64(_mm512_castsi512_si128(v))); }
inline double first_lane(Reg<double> v) { return _mm512_cvtsd_f64(v); }
// The 32-bit words of lanes m, zero-extended to 64-bit lanes (zero elsewhere).
inline IReg widen_load(const uint32_t* p, Mask8 m) { return _mm512_cvtepu32_epi64(_mm256_maskz_loadu_epi32(m, p)); }

inline IReg add64(IReg a, IReg b) { return _mm512_add_epi64(a, b); }
inline IReg sub64(IReg a, IReg b) { return _mm512_sub_epi64(a, b); }
// a + b in the lanes of m, a elsewhere.
inline IReg add64_where(Mask8 m, IReg a, IReg b) { return _mm512_mask_add_epi64(a, m, a, b); }
inline IReg bit_and(IReg a, IReg b) { return _mm512_and_si512(a, b); }
inline IReg bit_xor(IReg a, IReg b) { return _mm512_xor_si512(a, b); }
// Full 64-bit products of the low 32 bits of each lane.
inline IReg mul32x32(IReg a, IReg b) { return _mm512_mul_epu32(a, b); }
// Low 64 bits of the lane products.
inline IReg mul64(IReg a, IReg b) { return _mm512_mullo_epi64(a, b); }
inline IReg min_u64(IReg a, IReg b) { return _mm512_min_epu64(a, b); }
inline Mask8 le_u64(IReg a, IReg b) { return _mm512_cmple_epu64_mask(a, b); }

// Lanes 1..7 of lo followed by lane 0 of hi: the sequence moved on by one.
inline IReg slide1(IReg hi, IReg lo) { return _mm512_alignr_epi64(hi, lo, 1); }
// Lanes k..k+7 of the 16-lane concatenation (lo, hi), 0 <= k <= 8.
inline IReg window(IReg lo, IReg hi, int k) {
  const IReg idx = _mm512_add_epi64(_mm512_set_epi64(7, 6, 5, 4, 3, 2, 1, 0), splat_u64(uint64_t(k)));
  return _mm512_permutex2var_epi64(lo, idx, hi);
}
// Lane k of v in every lane.
inline IReg broadcast_lane(IReg v, int k) { return _mm512_permutexvar_epi64(splat_u64(uint64_t(k)), v); }
inline Reg<double> broadcast_lane(Reg<double> v, int k) { return _mm512_permutexvar_pd(splat_u64(uint64_t(k)), v); }

inline Reg<double> u64_to_real(IReg v) { return _mm512_cvt_roundepu64_pd(v, kNear); }

// Low 32 bits of the lanes of m to p[0..7], and the lanes of m as 64-bit words (p need
// only be 4-byte aligned).
inline void masked_store_low32(uint32_t* p, Mask8 m, IReg v) { _mm512_mask_cvtepi64_storeu_epi32(p, m, v); }
inline void masked_store_u64(void* p, Mask8 m, IReg v) { _mm512_mask_storeu_epi64(p, m, v); }
// Double lanes of m rounded to float.
inline void masked_store_narrow(float* p, Mask8 m, Reg<double> v) {
  _mm256_mask_storeu_ps(p, m, _mm512_cvt_roundpd_ps(v, kNear));
}

}  // namespace nrx::simd
