// Registers of 32-bit lane indices beside the float and double registers of
// vec.h: one index per real lane (eight in a 256-bit register for double,
// sixteen in a 512-bit one for float). Index arithmetic, index compares and
// blends, gathers of reals or table entries by index, and conversions between
// real lanes and indices.
#pragma once
#include "simd/vec.h"

namespace nrx::simd {

template <class T> struct Index32;
template <> struct Index32<double> { using reg = __m256i; };
template <> struct Index32<float> { using reg = __m512i; };
template <class T> using Idx = typename Index32<T>::reg;

// Constants: v in every lane; 0, 1, 2, ... lanes - 1.
template <class T> inline Idx<T> splat32(int32_t v);
template <> inline __m256i splat32<double>(int32_t v) { return _mm256_set1_epi32(v); }
template <> inline __m512i splat32<float>(int32_t v) { return _mm512_set1_epi32(v); }
template <class T> inline Idx<T> lane_index();
template <> inline __m256i lane_index<double>() { return _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7); }
template <> inline __m512i lane_index<float>() {
  return _mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
}

// Each operation for eight indices (double lanes), then sixteen (float lanes).
inline __m256i masked_load(const int32_t* p, __mmask8 m, int32_t fill) {
  return _mm256_mask_loadu_epi32(_mm256_set1_epi32(fill), m, p);
}
inline __m512i masked_load(const int32_t* p, __mmask16 m, int32_t fill) {
  return _mm512_mask_loadu_epi32(_mm512_set1_epi32(fill), m, p);
}
inline void masked_store(int32_t* p, __mmask8 m, __m256i v) { _mm256_mask_storeu_epi32(p, m, v); }
inline void masked_store(int32_t* p, __mmask16 m, __m512i v) { _mm512_mask_storeu_epi32(p, m, v); }

inline __m256i add32(__m256i a, __m256i b) { return _mm256_add_epi32(a, b); }
inline __m512i add32(__m512i a, __m512i b) { return _mm512_add_epi32(a, b); }
inline __m256i sub32(__m256i a, __m256i b) { return _mm256_sub_epi32(a, b); }
inline __m512i sub32(__m512i a, __m512i b) { return _mm512_sub_epi32(a, b); }
inline __m256i min32(__m256i a, __m256i b) { return _mm256_min_epi32(a, b); }
inline __m512i min32(__m512i a, __m512i b) { return _mm512_min_epi32(a, b); }
inline __m256i max32(__m256i a, __m256i b) { return _mm256_max_epi32(a, b); }
inline __m512i max32(__m512i a, __m512i b) { return _mm512_max_epi32(a, b); }
// a + 1 in the lanes of m.
inline __m256i increment32(__m256i a, __mmask8 m) { return _mm256_mask_sub_epi32(a, m, a, _mm256_set1_epi32(-1)); }
inline __m512i increment32(__m512i a, __mmask16 m) { return _mm512_mask_sub_epi32(a, m, a, _mm512_set1_epi32(-1)); }
template <int N> inline __m256i shift_right32(__m256i a) { return _mm256_srli_epi32(a, N); }  // __m512i: vec.h
template <int N> inline __m256i shift_left32(__m256i a) { return _mm256_slli_epi32(a, N); }
template <int N> inline __m512i shift_left32(__m512i a) { return _mm512_slli_epi32(a, N); }

inline __mmask8 greater32(__m256i a, __m256i b) { return _mm256_cmpgt_epi32_mask(a, b); }
inline __mmask16 greater32(__m512i a, __m512i b) { return _mm512_cmpgt_epi32_mask(a, b); }
inline __m256i select32(__mmask8 m, __m256i yes, __m256i no) { return _mm256_mask_blend_epi32(m, no, yes); }
inline __m512i select32(__mmask16 m, __m512i yes, __m512i no) { return _mm512_mask_blend_epi32(m, no, yes); }

// p[idx] in the lanes of m, fill elsewhere; table entries p[idx] in every lane.
inline __m512d gather(const double* p, __m256i idx, __mmask8 m, __m512d fill) {
  return _mm512_mask_i32gather_pd(fill, m, idx, p, 8);
}
inline __m512 gather(const float* p, __m512i idx, __mmask16 m, __m512 fill) {
  return _mm512_mask_i32gather_ps(fill, m, idx, p, 4);
}
inline __m256i gather(const uint32_t* p, __m256i idx) {
  return _mm256_mmask_i32gather_epi32(_mm256_setzero_si256(), 0xFF, idx, p, 4);
}
inline __m512i gather(const uint32_t* p, __m512i idx) { return _mm512_i32gather_epi32(idx, p, 4); }

// Truncation toward zero, and back.
inline __m256i truncate32(__m512d a) { return _mm512_cvtt_roundpd_epi32(a, _MM_FROUND_NO_EXC); }
inline __m512i truncate32(__m512 a) { return _mm512_cvtt_roundps_epi32(a, _MM_FROUND_NO_EXC); }
inline __m512d to_real(__m256i a) { return _mm512_cvtepi32_pd(a); }
inline __m512 to_real(__m512i a) { return _mm512_cvtepi32_ps(a); }

// Entry idx of one register, and of the 4 * lanes entries of t[0..3], per lane.
inline __m512d lookup(__m512d t, __m256i idx) { return _mm512_permutexvar_pd(_mm512_cvtepi32_epi64(idx), t); }
inline __m512d lookup4(const __m512d t[4], __m256i idx) {
  const __m512i i = _mm512_cvtepi32_epi64(idx);
  const __mmask8 upper = _mm512_test_epi64_mask(i, _mm512_set1_epi64(16));
  return _mm512_mask_blend_pd(upper, _mm512_permutex2var_pd(t[0], i, t[1]), _mm512_permutex2var_pd(t[2], i, t[3]));
}
inline __m512 lookup4(const __m512 t[4], __m512i idx) {
  const __mmask16 upper = _mm512_test_epi32_mask(idx, _mm512_set1_epi32(32));
  return _mm512_mask_blend_ps(upper, _mm512_permutex2var_ps(t[0], idx, t[1]), _mm512_permutex2var_ps(t[2], idx, t[3]));
}

// Rows p[4 idx[k] .. 4 idx[k] + 3] of eight double lanes, transposed: r[q] lane k = p[4 idx[k] + q].
// Eight 256-bit loads and a transpose, cheaper than four gathers.
inline void gather_rows4(const double* p, const int32_t* idx, __m512d r[4]) {
  auto pair = [&](int k) {
    const __m256d a = _mm256_loadu_pd(p + 4 * int64_t(idx[k]));
    const __m256d b = _mm256_loadu_pd(p + 4 * int64_t(idx[k + 1]));
    return _mm512_insertf64x4(_mm512_castpd256_pd512(a), b, 1);
  };
  const __m512d v01 = pair(0), v23 = pair(2), v45 = pair(4), v67 = pair(6);
  // lo: a0c0 a2c0 a0c2 a2c2 a1c0 a3c0 a1c2 a3c2 (hi: the same with c1, c3)
  const __m512d lo03 = _mm512_unpacklo_pd(v01, v23), hi03 = _mm512_unpackhi_pd(v01, v23);
  const __m512d lo47 = _mm512_unpacklo_pd(v45, v67), hi47 = _mm512_unpackhi_pd(v45, v67);
  const __m512i even = _mm512_setr_epi64(0, 4, 1, 5, 8, 12, 9, 13);
  const __m512i odd = _mm512_setr_epi64(2, 6, 3, 7, 10, 14, 11, 15);
  r[0] = _mm512_permutex2var_pd(lo03, even, lo47);
  r[2] = _mm512_permutex2var_pd(lo03, odd, lo47);
  r[1] = _mm512_permutex2var_pd(hi03, even, hi47);
  r[3] = _mm512_permutex2var_pd(hi03, odd, hi47);
}

}  // namespace nrx::simd
