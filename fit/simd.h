// Thin AVX-512 wrappers that let one kernel template serve float (16 lanes)
// and double (8 lanes) with 32-bit lane indices.
#pragma once

#include <immintrin.h>

#include <cstdint>

namespace nrx::fit::simd {

template <class T>
struct V;

template <>
struct V<double> {
    static constexpr int W = 8;
    using reg = __m512d;
    using ireg = __m256i;
    using mask = __mmask8;
    static reg load(const double* p) { return _mm512_loadu_pd(p); }
    static reg load(mask m, const double* p) { return _mm512_maskz_loadu_pd(m, p); }
    static void store(double* p, reg v) { _mm512_storeu_pd(p, v); }
    static void store(double* p, mask m, reg v) { _mm512_mask_storeu_pd(p, m, v); }
    static reg set1(double v) { return _mm512_set1_pd(v); }
    static reg zero() { return _mm512_setzero_pd(); }
    static reg add(reg a, reg b) { return _mm512_add_pd(a, b); }
    static reg sub(reg a, reg b) { return _mm512_sub_pd(a, b); }
    static reg mul(reg a, reg b) { return _mm512_mul_pd(a, b); }
    static reg fma(reg a, reg b, reg c) { return _mm512_fmadd_pd(a, b, c); }
    static reg max(reg a, reg b) { return _mm512_max_pd(a, b); }
    static reg min(reg a, reg b) { return _mm512_min_pd(a, b); }
    static mask le(reg a, reg b) { return _mm512_cmp_pd_mask(a, b, _CMP_LE_OQ); }
    static mask lt(reg a, reg b) { return _mm512_cmp_pd_mask(a, b, _CMP_LT_OQ); }
    static mask ge(reg a, reg b) { return _mm512_cmp_pd_mask(a, b, _CMP_GE_OQ); }
    static mask eq(reg a, reg b) { return _mm512_cmp_pd_mask(a, b, _CMP_EQ_OQ); }
    static reg gather(ireg i, const double* b) { return _mm512_i32gather_pd(i, b, 8); }
    static reg gather(reg src, mask m, ireg i, const double* b) { return _mm512_mask_i32gather_pd(src, m, i, b, 8); }
    static ireg truncate(reg v) { return _mm512_cvttpd_epi32(v); }
    static reg to_real(ireg v) { return _mm512_cvtepi32_pd(v); }
    // 32-bit lane integers
    static ireg iset1(int32_t v) { return _mm256_set1_epi32(v); }
    static ireg iload(mask m, const int32_t* p) { return _mm256_maskz_loadu_epi32(m, p); }
    static void istore(int32_t* p, mask m, ireg v) { _mm256_mask_storeu_epi32(p, m, v); }
    static ireg iadd(ireg a, ireg b) { return _mm256_add_epi32(a, b); }
    static ireg isub(ireg a, ireg b) { return _mm256_sub_epi32(a, b); }
    static ireg imax(ireg a, ireg b) { return _mm256_max_epi32(a, b); }
    static ireg imin(ireg a, ireg b) { return _mm256_min_epi32(a, b); }
    static ireg ihalf(ireg a) { return _mm256_srli_epi32(a, 1); }
    static ireg ishl(ireg a, int k) { return _mm256_sllv_epi32(a, _mm256_set1_epi32(k)); }
    static mask igt(ireg a, ireg b) { return _mm256_cmpgt_epi32_mask(a, b); }
    static ireg iblend(mask m, ireg a, ireg b) { return _mm256_mask_blend_epi32(m, a, b); }
    static ireg igather(ireg i, const uint32_t* b) {
        return _mm256_mmask_i32gather_epi32(_mm256_setzero_si256(), 0xFF, i, b, 4);
    }
    static mask tail(int64_t n) { return n >= W ? mask(0xFF) : mask((1u << n) - 1); }
};

template <>
struct V<float> {
    static constexpr int W = 16;
    using reg = __m512;
    using ireg = __m512i;
    using mask = __mmask16;
    static reg load(const float* p) { return _mm512_loadu_ps(p); }
    static reg load(mask m, const float* p) { return _mm512_maskz_loadu_ps(m, p); }
    static void store(float* p, reg v) { _mm512_storeu_ps(p, v); }
    static void store(float* p, mask m, reg v) { _mm512_mask_storeu_ps(p, m, v); }
    static reg set1(float v) { return _mm512_set1_ps(v); }
    static reg zero() { return _mm512_setzero_ps(); }
    static reg add(reg a, reg b) { return _mm512_add_ps(a, b); }
    static reg sub(reg a, reg b) { return _mm512_sub_ps(a, b); }
    static reg mul(reg a, reg b) { return _mm512_mul_ps(a, b); }
    static reg fma(reg a, reg b, reg c) { return _mm512_fmadd_ps(a, b, c); }
    static reg max(reg a, reg b) { return _mm512_max_ps(a, b); }
    static reg min(reg a, reg b) { return _mm512_min_ps(a, b); }
    static mask le(reg a, reg b) { return _mm512_cmp_ps_mask(a, b, _CMP_LE_OQ); }
    static mask lt(reg a, reg b) { return _mm512_cmp_ps_mask(a, b, _CMP_LT_OQ); }
    static mask ge(reg a, reg b) { return _mm512_cmp_ps_mask(a, b, _CMP_GE_OQ); }
    static mask eq(reg a, reg b) { return _mm512_cmp_ps_mask(a, b, _CMP_EQ_OQ); }
    static reg gather(ireg i, const float* b) { return _mm512_i32gather_ps(i, b, 4); }
    static reg gather(reg src, mask m, ireg i, const float* b) { return _mm512_mask_i32gather_ps(src, m, i, b, 4); }
    static ireg truncate(reg v) { return _mm512_cvttps_epi32(v); }
    static reg to_real(ireg v) { return _mm512_cvtepi32_ps(v); }
    static ireg iset1(int32_t v) { return _mm512_set1_epi32(v); }
    static ireg iload(mask m, const int32_t* p) { return _mm512_maskz_loadu_epi32(m, p); }
    static void istore(int32_t* p, mask m, ireg v) { _mm512_mask_storeu_epi32(p, m, v); }
    static ireg iadd(ireg a, ireg b) { return _mm512_add_epi32(a, b); }
    static ireg isub(ireg a, ireg b) { return _mm512_sub_epi32(a, b); }
    static ireg imax(ireg a, ireg b) { return _mm512_max_epi32(a, b); }
    static ireg imin(ireg a, ireg b) { return _mm512_min_epi32(a, b); }
    static ireg ihalf(ireg a) { return _mm512_srli_epi32(a, 1); }
    static ireg ishl(ireg a, int k) { return _mm512_sllv_epi32(a, _mm512_set1_epi32(k)); }
    static mask igt(ireg a, ireg b) { return _mm512_cmpgt_epi32_mask(a, b); }
    static ireg iblend(mask m, ireg a, ireg b) { return _mm512_mask_blend_epi32(m, a, b); }
    static ireg igather(ireg i, const uint32_t* b) { return _mm512_i32gather_epi32(i, b, 4); }
    static mask tail(int64_t n) { return n >= W ? mask(0xFFFF) : mask((1u << n) - 1); }
};

}  // namespace nrx::fit::simd
