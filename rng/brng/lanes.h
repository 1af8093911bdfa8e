// The SIMD vocabulary of the generators: eight 64-bit integer lanes in one 512-bit
// register, and the stores that turn lanes of raw outputs into caller results. This
// is the only generator file that holds intrinsics.
#pragma once
#include <immintrin.h>

#include <cstdint>

namespace nrx::rng::lanes {

using u64x8 = __m512i;
using f64x8 = __m512d;
using mask8 = __mmask8;

inline u64x8 splat(uint64_t x) { return _mm512_set1_epi64(int64_t(x)); }
inline u64x8 load(const uint64_t* p) { return _mm512_loadu_si512(p); }
inline u64x8 masked_load(const uint64_t* p, mask8 m) { return _mm512_maskz_loadu_epi64(m, p); }
inline void store(uint64_t* p, u64x8 v) { _mm512_storeu_si512(p, v); }
inline uint64_t lane0(u64x8 v) { return uint64_t(_mm_cvtsi128_si64(_mm512_castsi512_si128(v))); }
// The first k of eight 32-bit words, zero-extended to 64-bit lanes.
inline u64x8 widen_load(const uint32_t* p, mask8 m) { return _mm512_cvtepu32_epi64(_mm256_maskz_loadu_epi32(m, p)); }
inline u64x8 add(u64x8 a, u64x8 b) { return _mm512_add_epi64(a, b); }
inline u64x8 sub(u64x8 a, u64x8 b) { return _mm512_sub_epi64(a, b); }
inline u64x8 bit_and(u64x8 a, u64x8 b) { return _mm512_and_si512(a, b); }
inline u64x8 bit_xor(u64x8 a, u64x8 b) { return _mm512_xor_si512(a, b); }
template <int S> inline u64x8 shr(u64x8 a) { return _mm512_srli_epi64(a, S); }
// Low 32 bits of each lane times low 32 bits of each lane, full 64-bit product.
inline u64x8 mul32(u64x8 a, u64x8 b) { return _mm512_mul_epu32(a, b); }
// Low 64 bits of the lane products.
inline u64x8 mul64(u64x8 a, u64x8 b) { return _mm512_mullo_epi64(a, b); }
inline u64x8 min(u64x8 a, u64x8 b) { return _mm512_min_epu64(a, b); }
inline mask8 less_equal(u64x8 a, u64x8 b) { return _mm512_cmple_epu64_mask(a, b); }
inline u64x8 add_where(mask8 m, u64x8 a, u64x8 b) { return _mm512_mask_add_epi64(a, m, a, b); }
// Lanes 1..7 of lo followed by lane 0 of hi: the sequence shifted by one.
inline u64x8 shift1(u64x8 hi, u64x8 lo) { return _mm512_alignr_epi64(hi, lo, 1); }
// Lanes k..k+7 of the 16-lane concatenation (lo, hi), 0 <= k <= 8.
inline u64x8 window(u64x8 lo, u64x8 hi, int k) {
  const u64x8 idx = _mm512_add_epi64(_mm512_set_epi64(7, 6, 5, 4, 3, 2, 1, 0), splat(uint64_t(k)));
  return _mm512_permutex2var_epi64(lo, idx, hi);
}
// Lane k of v in every lane.
inline u64x8 broadcast_lane(u64x8 v, int k) { return _mm512_permutexvar_epi64(splat(uint64_t(k)), v); }
inline mask8 first(int64_t k) { return k >= 8 ? mask8(0xFF) : mask8((1u << k) - 1u); }

// ---- double lanes ----
inline f64x8 splat_d(double x) { return _mm512_set1_pd(x); }
inline f64x8 load_d(const double* p) { return _mm512_loadu_pd(p); }
inline f64x8 masked_load_d(const double* p, mask8 m) { return _mm512_maskz_loadu_pd(m, p); }
inline void store_d(double* p, f64x8 v) { _mm512_storeu_pd(p, v); }
inline double lane0(f64x8 v) { return _mm512_cvtsd_f64(v); }
inline f64x8 mul(f64x8 a, f64x8 b) { return _mm512_mul_pd(a, b); }
inline f64x8 add(f64x8 a, f64x8 b) { return _mm512_add_pd(a, b); }
inline f64x8 sub(f64x8 a, f64x8 b) { return _mm512_sub_pd(a, b); }
inline f64x8 fma(f64x8 a, f64x8 b, f64x8 c) { return _mm512_fmadd_pd(a, b, c); }
inline f64x8 fnma(f64x8 a, f64x8 b, f64x8 c) { return _mm512_fnmadd_pd(a, b, c); }
inline f64x8 floor(f64x8 a) { return _mm512_roundscale_pd(a, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC); }
inline f64x8 broadcast_lane(f64x8 v, int k) { return _mm512_permutexvar_pd(splat(uint64_t(k)), v); }
inline f64x8 to_double(u64x8 v) { return _mm512_cvtepu64_pd(v); }
inline u64x8 to_u64(f64x8 v) { return _mm512_cvttpd_epu64(v); }

// ---- result stores: lanes of raw outputs to caller arrays ----

// 32-bit words.
inline void put_u32(uint32_t* r, u64x8 v, mask8 m) { _mm512_mask_cvtepi64_storeu_epi32(r, m, v); }
// 64-bit words (two 32-bit words each, low first).
inline void put_u64(uint32_t* r, u64x8 v, mask8 m) { _mm512_mask_storeu_epi64(r, m, v); }
// Reals a + (b - a) * (u * scale), in double, rounded to the result type.
inline void put_real(double* r, f64x8 v, mask8 m) { _mm512_mask_storeu_pd(r, m, v); }
inline void put_real(float* r, f64x8 v, mask8 m) { _mm256_mask_storeu_ps(r, m, _mm512_cvtpd_ps(v)); }

}  // namespace nrx::rng::lanes
