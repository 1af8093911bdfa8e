// The SIMD vocabulary of the kernels: one 512-bit register of float or double lanes.
// Kernels speak only these names; this file and x87.h / fpstate.h are the only places
// that hold intrinsics. Arithmetic uses embedded round-to-nearest with exceptions
// suppressed, so the caller's rounding mode never reaches a result.
#pragma once
#include "simd/intrinsics.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace nrx::simd {

template <class T> struct Traits;
template <> struct Traits<float> {
  using reg = __m512;
  using mask = __mmask16;
  using uint = uint32_t;
  using ireg = __m512i;
  static constexpr int lanes = 16;
  static constexpr int mant_bits = 23;
};
template <> struct Traits<double> {
  using reg = __m512d;
  using mask = __mmask8;
  using uint = uint64_t;
  using ireg = __m512i;
  static constexpr int lanes = 8;
  static constexpr int mant_bits = 52;
};

template <class T> using Reg = typename Traits<T>::reg;
template <class T> using Mask = typename Traits<T>::mask;
template <class T> inline constexpr int lanes = Traits<T>::lanes;

constexpr int kNear = _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC;

// Class-test selectors of fpclass().
enum : int {
  kQNaN = 0x01,
  kPosZero = 0x02,
  kNegZero = 0x04,
  kPosInf = 0x08,
  kNegInf = 0x10,
  kDenormal = 0x20,
  kNegative = 0x40 /* finite, non-zero */,
  kSNaN = 0x80,
  kNaN = kQNaN | kSNaN,
  kZero = kPosZero | kNegZero,
  kInf = kPosInf | kNegInf,
};

// Rounding selectors of round<>().
enum : int {
  kRoundNearest = _MM_FROUND_TO_NEAREST_INT,
  kRoundDown = _MM_FROUND_TO_NEG_INF,
  kRoundUp = _MM_FROUND_TO_POS_INF,
  kRoundZero = _MM_FROUND_TO_ZERO,
};

template <class M> constexpr M first_lanes(int k) { return k >= int(sizeof(M) * 8) ? M(~M(0)) : M((1u << k) - 1u); }

// Lanes [0, n) of a register of T, n clamped to the lane count.
template <class T> inline Mask<T> tail(int64_t n) {
  return first_lanes<Mask<T>>(n >= lanes<T> ? lanes<T> : int(n < 0 ? 0 : n));
}

// Whether m holds every lane of a register of T.
template <class T> inline bool every_lane(Mask<T> m) { return m == Mask<T>(~Mask<T>(0)); }

// ---- float and double ----
// One definition per operation for both lane types: V is the register, M its mask, T the
// element, U its bit pattern, S the intrinsic suffix (ps or pd).
// fms is a*b - c; fmaddsub gives even lanes a*b - c and odd lanes a*b + c (fmsubadd the
// reverse); max and min return b where either is NaN; add_where is a + b in the lanes of m,
// a elsewhere, sub_from_where c - a in the lanes of m, a elsewhere (one instruction each); bit_andnot is ~a & b; lookup
// picks entry (idx & 15 for float, & 7 for double) of one register or twice that of two; scalef is a * 2^floor(b), with
// overflow and underflow rounded like a product; mantissa is the significand in [1, 2) and mantissa_p75 in [0.75, 1.5),
// signs dropped; round_frac<K> rounds to nearest at a multiple of 2^-K; from_bits loads a register of bit patterns (the
// form tables and constants are stored in); abs_max and abs_min are the larger and smaller of |a| and |b| in one
// instruction, larger_mag and smaller_mag the operand of larger or smaller magnitude with its sign (all four pass over
// a NaN operand: the other one comes out); range_key gives 1 for zeros, +inf for NaN and every
// other value unchanged, for range tests that pass zeros and catch NaN.
#define NRX_SIMD_REAL_OPS(V, M, T, U, S)                                                                       \
  inline V splat(T x) { return _mm512_set1_##S(x); }                                                           \
  inline V load(const T* p) { return _mm512_loadu_##S(p); }                                                    \
  inline V masked_load(const T* p, M m, T fill) { return _mm512_mask_loadu_##S(_mm512_set1_##S(fill), m, p); } \
  inline void store(T* p, V v) { _mm512_storeu_##S(p, v); }                                                    \
  inline void masked_store(T* p, M m, V v) { _mm512_mask_storeu_##S(p, m, v); }                                \
  inline V add(V a, V b) { return _mm512_add_round_##S(a, b, kNear); }                                         \
  inline V sub(V a, V b) { return _mm512_sub_round_##S(a, b, kNear); }                                         \
  inline V mul(V a, V b) { return _mm512_mul_round_##S(a, b, kNear); }                                         \
  inline V div(V a, V b) { return _mm512_div_round_##S(a, b, kNear); }                                         \
  inline V fma(V a, V b, V c) { return _mm512_fmadd_round_##S(a, b, c, kNear); }                               \
  inline V fnma(V a, V b, V c) { return _mm512_fnmadd_round_##S(a, b, c, kNear); }                             \
  inline V fms(V a, V b, V c) { return _mm512_fmsub_round_##S(a, b, c, kNear); }                               \
  inline V fmaddsub(V a, V b, V c) { return _mm512_fmaddsub_round_##S(a, b, c, kNear); }                       \
  inline V fmsubadd(V a, V b, V c) { return _mm512_fmsubadd_round_##S(a, b, c, kNear); }                       \
  inline V sqrt(V a) { return _mm512_sqrt_round_##S(a, kNear); }                                               \
  inline V max(V a, V b) { return _mm512_max_##S(a, b); }                                                      \
  inline V min(V a, V b) { return _mm512_min_##S(a, b); }                                                      \
  inline V rcp14(V a) { return _mm512_rcp14_##S(a); }                                                          \
  inline V rsqrt14(V a) { return _mm512_rsqrt14_##S(a); }                                                      \
  template <int R> inline V round(V a) { return _mm512_roundscale_##S(a, R | _MM_FROUND_NO_EXC); }             \
  template <int C> inline M fpclass(V a) { return _mm512_fpclass_##S##_mask(a, C); }                           \
  template <int P> inline M cmp(V a, V b) { return _mm512_cmp_##S##_mask(a, b, P); }                           \
  inline V select(M m, V yes, V no) { return _mm512_mask_blend_##S(m, no, yes); }                              \
  inline V add_where(M m, V a, V b) { return _mm512_mask_add_round_##S(a, m, a, b, kNear); }                   \
  inline V sub_from_where(M m, V c, V a) { return _mm512_mask_sub_round_##S(a, m, c, a, kNear); }              \
  inline V bit_and(V a, V b) { return _mm512_and_##S(a, b); }                                                  \
  inline V bit_or(V a, V b) { return _mm512_or_##S(a, b); }                                                    \
  inline V bit_xor(V a, V b) { return _mm512_xor_##S(a, b); }                                                  \
  inline V bit_andnot(V a, V b) { return _mm512_andnot_##S(a, b); }                                            \
  inline __m512i as_int(V a) { return _mm512_cast##S##_si512(a); }                                             \
  inline V as_real(__m512i a, T) { return _mm512_castsi512_##S(a); }                                           \
  inline V getexp(V a) { return _mm512_getexp_round_##S(a, _MM_FROUND_NO_EXC); }                               \
  inline V abs_max(V a, V b) { return _mm512_range_##S(a, b, 0xB); }                                           \
  inline V abs_min(V a, V b) { return _mm512_range_##S(a, b, 0xA); }                                           \
  inline V larger_mag(V a, V b) { return _mm512_range_##S(a, b, 0x7); }                                        \
  inline V smaller_mag(V a, V b) { return _mm512_range_##S(a, b, 0x6); }                                       \
  inline V range_key(V a) { return _mm512_fixupimm_##S(a, a, _mm512_set1_epi32(0x11111A55), 0); }              \
  inline V lookup(V t, __m512i idx) { return _mm512_permutexvar_##S(idx, t); }                                 \
  inline V lookup(V lo, V hi, __m512i idx) { return _mm512_permutex2var_##S(lo, idx, hi); }                    \
  inline V scalef(V a, V b) { return _mm512_scalef_round_##S(a, b, kNear); }                                   \
  inline V mantissa(V a) {                                                                                     \
    return _mm512_getmant_round_##S(a, _MM_MANT_NORM_1_2, _MM_MANT_SIGN_zero, _MM_FROUND_NO_EXC);              \
  }                                                                                                            \
  inline V mantissa_p75(V a) {                                                                                 \
    return _mm512_getmant_round_##S(a, _MM_MANT_NORM_p75_1p5, _MM_MANT_SIGN_zero, _MM_FROUND_NO_EXC);          \
  }                                                                                                            \
  template <int K> inline V round_frac(V a) {                                                                  \
    return _mm512_roundscale_##S(a, (K << 4) | _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);                 \
  }                                                                                                            \
  inline V from_bits(const U* p) { return _mm512_castsi512_##S(_mm512_loadu_si512(p)); }

NRX_SIMD_REAL_OPS(__m512, __mmask16, float, uint32_t, ps)
NRX_SIMD_REAL_OPS(__m512d, __mmask8, double, uint64_t, pd)
#undef NRX_SIMD_REAL_OPS

// What differs by lane width: integer lanes, pair swaps (real and imaginary parts), and
// conversion to integers.
inline __m512i int_add(__m512i a, __m512i b, float) { return _mm512_add_epi32(a, b); }
inline __m512i int_add(__m512i a, __m512i b, double) { return _mm512_add_epi64(a, b); }
inline __m512i int_sub(__m512i a, __m512i b, float) { return _mm512_sub_epi32(a, b); }
inline __m512i int_sub(__m512i a, __m512i b, double) { return _mm512_sub_epi64(a, b); }
inline __m512i int_splat(int64_t x, float) { return _mm512_set1_epi32(int32_t(x)); }
inline __m512i int_splat(int64_t x, double) { return _mm512_set1_epi64(x); }
inline __m512 swap_pairs(__m512 a) { return _mm512_permute_ps(a, 0xB1); }
inline __m512d swap_pairs(__m512d a) { return _mm512_permute_pd(a, 0x55); }
inline __m512 dup_even(__m512 a) { return _mm512_moveldup_ps(a); }
inline __m512d dup_even(__m512d a) { return _mm512_movedup_pd(a); }
inline __m512 dup_odd(__m512 a) { return _mm512_movehdup_ps(a); }
inline __m512d dup_odd(__m512d a) { return _mm512_permute_pd(a, 0xFF); }
inline __m512i to_int(__m512 a) { return _mm512_cvt_roundps_epi32(a, kNear); }
inline __m512i to_int(__m512d a) { return _mm512_cvt_roundpd_epi64(a, kNear); }
template <int N> inline __m512i shift_right32(__m512i a) { return _mm512_srli_epi32(a, N); }
template <int N> inline __m512i shift_right64(__m512i a) { return _mm512_srli_epi64(a, N); }

// ---- conversions ----
// The low and high eight float lanes as doubles, and two double registers rounded back.
inline __m512d widen_lo(__m512 a) { return _mm512_cvtps_pd(_mm512_castps512_ps256(a)); }
inline __m512d widen_hi(__m512 a) { return _mm512_cvtps_pd(_mm512_extractf32x8_ps(a, 1)); }
inline __m512 narrow(__m512d lo, __m512d hi) {
  return _mm512_insertf32x8(_mm512_castps256_ps512(_mm512_cvt_roundpd_ps(lo, kNear)), _mm512_cvt_roundpd_ps(hi, kNear),
                            1);
}

// ---- generic helpers ----
inline float bits_to(uint32_t b) {
  float x;
  std::memcpy(&x, &b, 4);
  return x;
}
inline double bits_to(uint64_t b) {
  double x;
  std::memcpy(&x, &b, 8);
  return x;
}

// c[0] + c[1] x + ... + c[N-1] x^(N-1), by Horner's rule with fused steps.
template <class V, class U, size_t N> inline V horner(V x, const U (&c)[N]) {
  V p = splat(bits_to(c[N - 1]));
  for (size_t k = N - 1; k-- > 0;) p = fma(p, x, splat(bits_to(c[k])));
  return p;
}

// The same polynomial with its even and odd coefficients in two Horner chains in x^2
// (half the dependent steps); xx = x * x.
template <class V, class U, size_t N> inline V horner_split(V x, V xx, const U (&c)[N]) {
  constexpr size_t ne = (N + 1) / 2, no = N / 2;
  V e = splat(bits_to(c[2 * (ne - 1)]));
  for (size_t k = ne - 1; k-- > 0;) e = fma(e, xx, splat(bits_to(c[2 * k])));
  if constexpr (no == 0) return e;
  V o = splat(bits_to(c[2 * no - 1]));
  for (size_t k = no - 1; k-- > 0;) o = fma(o, xx, splat(bits_to(c[2 * k + 1])));
  return fma(o, x, e);
}

// x for the scalar routines: a subnormal x becomes the zero of its sign while MXCSR treats
// denormal inputs as zero (as the vector instructions do).
// The test reads the bits: comparisons themselves see such an x as zero.
template <class T> inline T daz(T x) {
  using U = typename Traits<T>::uint;
  U b;
  std::memcpy(&b, &x, sizeof b);
  constexpr U sign = U(1) << (sizeof(T) * 8 - 1), expo = U(~U(0) >> 1) & ~((U(1) << Traits<T>::mant_bits) - 1);
  if ((_mm_getcsr() & 0x40u) && (b & expo) == 0 && (b & ~sign) != 0) {
    b &= sign;
    std::memcpy(&x, &b, sizeof b);
  }
  return x;
}

// Integer lanes (32 or 64 bits each, as the operation says): table indices, exponents, bits.
using IReg = __m512i;

// Named comparisons. The ordered forms are false where either lane is NaN; not_* and ne
// are their complements, true where either lane is NaN.
template <class V> inline auto lt(V a, V b) { return cmp<_CMP_LT_OQ>(a, b); }
template <class V> inline auto le(V a, V b) { return cmp<_CMP_LE_OQ>(a, b); }
template <class V> inline auto gt(V a, V b) { return cmp<_CMP_GT_OQ>(a, b); }
template <class V> inline auto ge(V a, V b) { return cmp<_CMP_GE_OQ>(a, b); }
template <class V> inline auto eq(V a, V b) { return cmp<_CMP_EQ_OQ>(a, b); }
template <class V> inline auto ne(V a, V b) { return cmp<_CMP_NEQ_UQ>(a, b); }
template <class V> inline auto not_lt(V a, V b) { return cmp<_CMP_NLT_UQ>(a, b); }
template <class V> inline auto not_le(V a, V b) { return cmp<_CMP_NLE_UQ>(a, b); }
template <class V> inline auto not_gt(V a, V b) { return cmp<_CMP_NGT_UQ>(a, b); }
template <class V> inline auto not_ge(V a, V b) { return cmp<_CMP_NGE_UQ>(a, b); }
template <class V> inline auto unordered(V a, V b) { return cmp<_CMP_UNORD_Q>(a, b); }

template <class T> inline Reg<T> sign_mask() { return splat(T(-0.0)); }
template <class T> inline Reg<T> abs_of(Reg<T> a) { return bit_andnot(sign_mask<T>(), a); }
// Magnitude of a with the sign of b, bitwise.
template <class T> inline Reg<T> copysign(Reg<T> a, Reg<T> b) {
  return bit_or(bit_andnot(sign_mask<T>(), a), bit_and(sign_mask<T>(), b));
}
template <class T> inline Reg<T> negate(Reg<T> a) { return bit_xor(sign_mask<T>(), a); }

// Gathers lanes p[0], p[s], p[2s], ... of mask m (64-bit offsets, so any 32-bit stride works);
// unselected lanes hold fill.
inline __m512d gather(const double* p, int64_t s, __mmask8 m, double fill) {
  __m512i idx = _mm512_mullo_epi64(_mm512_set_epi64(7, 6, 5, 4, 3, 2, 1, 0), _mm512_set1_epi64(s));
  return _mm512_mask_i64gather_pd(_mm512_set1_pd(fill), m, idx, p, 8);
}
inline __m512 gather(const float* p, int64_t s, __mmask16 m, float fill) {
  __m512i lo = _mm512_mullo_epi64(_mm512_set_epi64(7, 6, 5, 4, 3, 2, 1, 0), _mm512_set1_epi64(s));
  __m512i hi = _mm512_add_epi64(lo, _mm512_set1_epi64(8 * s));
  __m256 f = _mm256_set1_ps(fill);
  __m256 a = _mm512_mask_i64gather_ps(f, __mmask8(m), lo, p, 4);
  __m256 b = _mm512_mask_i64gather_ps(f, __mmask8(m >> 8), hi, p, 4);
  return _mm512_insertf32x8(_mm512_castps256_ps512(a), b, 1);
}
inline void scatter(double* p, int64_t s, __mmask8 m, __m512d v) {
  __m512i idx = _mm512_mullo_epi64(_mm512_set_epi64(7, 6, 5, 4, 3, 2, 1, 0), _mm512_set1_epi64(s));
  _mm512_mask_i64scatter_pd(p, m, idx, v, 8);
}
inline void scatter(float* p, int64_t s, __mmask16 m, __m512 v) {
  __m512i lo = _mm512_mullo_epi64(_mm512_set_epi64(7, 6, 5, 4, 3, 2, 1, 0), _mm512_set1_epi64(s));
  __m512i hi = _mm512_add_epi64(lo, _mm512_set1_epi64(8 * s));
  _mm512_mask_i64scatter_ps(p, __mmask8(m), lo, _mm512_castps512_ps256(v), 4);
  _mm512_mask_i64scatter_ps(p, __mmask8(m >> 8), hi, _mm512_extractf32x8_ps(v, 1), 4);
}

// Pairs of lanes (complex elements) with element stride s: lanes 2j, 2j+1 come from p[2js], p[2js+1].
template <class T> inline Reg<T> gather_pairs(const T* p, int64_t s, Mask<T> m, T fill) {
  alignas(64) T buf[lanes<T>];
  for (int j = 0; j < lanes<T>; ++j) buf[j] = (m >> j) & 1 ? p[(j / 2) * 2 * s + (j & 1)] : fill;
  return load(buf);
}
template <class T> inline void scatter_pairs(T* p, int64_t s, Mask<T> m, Reg<T> v) {
  alignas(64) T buf[lanes<T>];
  store(buf, v);
  for (int j = 0; j < lanes<T>; ++j)
    if ((m >> j) & 1) p[(j / 2) * 2 * s + (j & 1)] = buf[j];
}

// Lane masks of even lanes (real parts) and the element mask widened to both lanes of a pair.
template <class T> constexpr Mask<T> even_lanes() { return Mask<T>(sizeof(T) == 4 ? 0x5555 : 0x55); }
template <class T> constexpr Mask<T> pairs_of(Mask<T> m) {
  Mask<T> e = Mask<T>((m | (m >> 1)) & even_lanes<T>());
  return Mask<T>(e | (e << 1));
}

}  // namespace nrx::simd

// ---- special-function kernels ----
namespace nrx::simd {
// The bits of every lane shifted right by N (32-bit lanes for float, 64-bit for double).
template <int N> inline IReg shift_right(__m512 a) { return _mm512_srli_epi32(_mm512_castps_si512(a), N); }
template <int N> inline IReg shift_right(__m512d a) { return _mm512_srli_epi64(_mm512_castpd_si512(a), N); }

}  // namespace nrx::simd

// ---- trigonometric kernels ----
namespace nrx::simd {

// 64-bit integer lanes: bitwise, arithmetic and shifts (variable counts of 64 or more give 0).
inline IReg int_and(IReg a, IReg b) { return _mm512_and_si512(a, b); }
inline IReg int_or(IReg a, IReg b) { return _mm512_or_si512(a, b); }
inline IReg int_add64(IReg a, IReg b) { return _mm512_add_epi64(a, b); }
inline IReg int_sub64(IReg a, IReg b) { return _mm512_sub_epi64(a, b); }
inline IReg int_splat64(int64_t x) { return _mm512_set1_epi64(x); }
inline IReg int_max64(IReg a, IReg b) { return _mm512_max_epi64(a, b); }
inline IReg int_min64(IReg a, IReg b) { return _mm512_min_epi64(a, b); }
template <int N> inline IReg shift_left64(IReg a) { return _mm512_slli_epi64(a, N); }
template <int N> inline IReg shift_right_arith64(IReg a) { return _mm512_srai_epi64(a, N); }
inline IReg shift_left64(IReg a, IReg n) { return _mm512_sllv_epi64(a, n); }
inline IReg shift_right64(IReg a, IReg n) { return _mm512_srlv_epi64(a, n); }
// Low 32 bits of each lane of a times those of b, the full 64-bit product.
inline IReg mul_u32(IReg a, IReg b) { return _mm512_mul_epu32(a, b); }
// p[idx] for each 64-bit lane.
inline IReg gather64(const uint64_t* p, IReg idx) { return _mm512_i64gather_epi64(idx, p, 8); }
// Signed 64-bit lanes to double, rounded to nearest (exact below 2^53).
inline __m512d to_double(IReg a) { return _mm512_cvt_roundepi64_pd(a, kNear); }
inline IReg select(__mmask8 m, IReg yes, IReg no) { return _mm512_mask_blend_epi64(m, no, yes); }
inline IReg select(__mmask16 m, IReg yes, IReg no) { return _mm512_mask_blend_epi32(m, no, yes); }
// The low 32 bits of the 64-bit lanes of lo (lanes 0..7) and hi (lanes 8..15) as 32-bit lanes.
inline IReg narrow_int64(IReg lo, IReg hi) {
  const __m512i even = _mm512_set_epi32(30, 28, 26, 24, 22, 20, 18, 16, 14, 12, 10, 8, 6, 4, 2, 0);
  return _mm512_permutex2var_epi32(lo, even, hi);
}

}  // namespace nrx::simd
namespace nrx::simd {
// The sign bit from bit 4 of each integer lane (64-bit lanes for double, 32-bit for float).
inline __m512d sign_of_bit4(IReg n, double) { return _mm512_castsi512_pd(_mm512_slli_epi64(n, 59)); }
inline __m512 sign_of_bit4(IReg n, float) { return _mm512_castsi512_ps(_mm512_slli_epi32(n, 27)); }
// The lanes whose bit K is set (64-bit lanes for double, 32-bit for float).
template <int K> inline __mmask8 bit_set(IReg n, double) {
  return _mm512_test_epi64_mask(n, _mm512_set1_epi64(int64_t(1) << K));
}
template <int K> inline __mmask16 bit_set(IReg n, float) {
  return _mm512_test_epi32_mask(n, _mm512_set1_epi32(1 << K));
}
}  // namespace nrx::simd

// ---- twister generators ----
namespace nrx::simd {

// One 128-bit block of four 32-bit words, for recurrences that carry block by block (the
// same type as aes.h's, whose functions are compiled for the AES instructions only).
using Block = __m128i;
inline Block block_load(const uint32_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline void block_store(uint32_t* p, Block v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
// The block shifted by B bytes toward its low end; each word shifted left by N bits.
template <int B> inline Block block_right_bytes(Block a) { return _mm_srli_si128(a, B); }
template <int N> inline Block block_words_left(Block a) { return _mm_slli_epi32(a, N); }
inline Block block_xor3(Block a, Block b, Block c) { return _mm_ternarylogic_epi32(a, b, c, 0x96); }
}  // namespace nrx::simd

// ---- quasi-random generators ----
namespace nrx::simd {
// The low and the high eight unsigned 32-bit words of a as doubles (exact).
inline __m512d words_lo_to_double(IReg a) { return _mm512_cvtepu32_pd(_mm512_castsi512_si256(a)); }
inline __m512d words_hi_to_double(IReg a) { return _mm512_cvtepu32_pd(_mm512_extracti64x4_epi64(a, 1)); }
}  // namespace nrx::simd

// ---- discrete laws ----
namespace nrx::simd {
// Table entries p[idx] of 64-bit index lanes: doubles, and 32-bit integers widened to 64 bits.
inline __m512d gather_at(const double* p, IReg idx) { return _mm512_i64gather_pd(idx, p, 8); }
inline IReg gather_at(const int32_t* p, IReg idx) { return _mm512_cvtepi32_epi64(_mm512_i64gather_epi32(idx, p, 4)); }
// Doubles truncated toward zero to 64-bit integers.
inline IReg trunc_to_int64(__m512d a) { return _mm512_cvtt_roundpd_epi64(a, _MM_FROUND_NO_EXC); }
}  // namespace nrx::simd

// ---- complex kernels ----
// Whole-element data movement (pack and unpack): lanes of 32 or 64 raw bits, compressed and
// expanded under element masks, or assembled from lane loads.
namespace nrx::simd {

inline IReg load_bits(const void* p) { return _mm512_loadu_si512(p); }
inline IReg masked_load_bits(const uint32_t* p, __mmask16 m) { return _mm512_maskz_loadu_epi32(m, p); }
inline IReg masked_load_bits(const uint64_t* p, __mmask8 m) { return _mm512_maskz_loadu_epi64(m, p); }
inline void masked_store_bits(uint32_t* p, __mmask16 m, IReg v) { _mm512_mask_storeu_epi32(p, m, v); }
inline void masked_store_bits(uint64_t* p, __mmask8 m, IReg v) { _mm512_mask_storeu_epi64(p, m, v); }

// The lanes of m moved, in order, to the lowest lanes (compress), and back (expand); the
// register forms, since the memory forms are microcoded on some cores.
inline IReg compress(__mmask16 m, IReg v) { return _mm512_maskz_compress_epi32(m, v); }
inline IReg compress(__mmask8 m, IReg v) { return _mm512_maskz_compress_epi64(m, v); }
inline IReg expand(__mmask16 m, IReg v) { return _mm512_maskz_expand_epi32(m, v); }
inline IReg expand(__mmask8 m, IReg v) { return _mm512_maskz_expand_epi64(m, v); }

// 128 bits assembled from two 64-bit or four 32-bit lanes at arbitrary addresses, and stored:
// lane loads with inserts beat a hardware gather on cores whose gathers are microcoded.
using Bits128 = __m128i;
inline Bits128 lanes_at(const uint64_t* p0, const uint64_t* p1) {
  return _mm_castpd_si128(
      _mm_loadh_pd(_mm_load_sd(reinterpret_cast<const double*>(p0)), reinterpret_cast<const double*>(p1)));
}
inline Bits128 lanes_at(const uint32_t* p0, const uint32_t* p1, const uint32_t* p2, const uint32_t* p3) {
  const __m128i lo = _mm_insert_epi32(_mm_cvtsi32_si128(int(*p0)), int(*p1), 1);
  return _mm_insert_epi32(_mm_insert_epi32(lo, int(*p2), 2), int(*p3), 3);
}
inline Bits128 load_bits128(const void* p) { return _mm_loadu_si128(static_cast<const __m128i*>(p)); }
inline void store_bits(void* p, Bits128 v) { _mm_storeu_si128(static_cast<__m128i*>(p), v); }
// 256 bits from two 128-bit halves, and stored.
using Bits256 = __m256i;
inline Bits256 join_bits(Bits128 lo, Bits128 hi) { return _mm256_inserti128_si256(_mm256_castsi128_si256(lo), hi, 1); }
inline void store_bits(void* p, Bits256 v) { _mm256_storeu_si256(static_cast<__m256i*>(p), v); }
inline IReg join_bits(Bits256 lo, Bits256 hi) { return _mm512_inserti64x4(_mm512_castsi256_si512(lo), hi, 1); }
// 128 bits of the 16 / B elements of B bytes (4, 8 or 16) at at(0), at(1), ... (pointers to
// their first bytes), by lane loads and inserts.
template <int B, class At> inline Bits128 elements_at(At at) {
  static_assert(B == 4 || B == 8 || B == 16);
  if constexpr (B == 16) return load_bits128(at(0));
  if constexpr (B == 8) return lanes_at(static_cast<const uint64_t*>(at(0)), static_cast<const uint64_t*>(at(1)));
  if constexpr (B == 4)
    return lanes_at(static_cast<const uint32_t*>(at(0)), static_cast<const uint32_t*>(at(1)),
                    static_cast<const uint32_t*>(at(2)), static_cast<const uint32_t*>(at(3)));
}
inline void store_bits(void* p, IReg v) { _mm512_storeu_si512(p, v); }

// Lane idx[j] of the concatenation (lo, hi) in lane j, for 32- or 64-bit lanes U (idx taken
// modulo twice the lane count).
template <class U> inline IReg pick_lanes(IReg lo, IReg idx, IReg hi) {
  if constexpr (sizeof(U) == 4) return _mm512_permutex2var_epi32(lo, idx, hi);
  else return _mm512_permutex2var_epi64(lo, idx, hi);
}
// Lane idx[j] of v (modulo the lane count) in lane j, for 32- or 64-bit lanes U.
template <class U> inline IReg permute_lanes(IReg v, IReg idx) {
  if constexpr (sizeof(U) == 4) return _mm512_permutexvar_epi32(idx, v);
  else return _mm512_permutexvar_epi64(idx, v);
}
// In the lanes of m, lane idx[j] (modulo the lane count) of v; elsewhere acc.
inline IReg pick_lanes_where(__mmask16 m, IReg acc, IReg idx, IReg v) {
  return _mm512_mask_permutexvar_epi32(acc, m, idx, v);
}
inline IReg pick_lanes_where(__mmask8 m, IReg acc, IReg idx, IReg v) {
  return _mm512_mask_permutexvar_epi64(acc, m, idx, v);
}

// Bit j set where entry p[j] of the next E (16, 8 or 4) is non-zero.
template <int E> inline uint32_t nonzero_entries(const int32_t* p) {
  if constexpr (E == 16) return _mm512_test_epi32_mask(load_bits(p), load_bits(p));
  if constexpr (E == 8) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    return _mm256_test_epi32_mask(v, v);
  }
  if constexpr (E == 4) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    return _mm_test_epi32_mask(v, v);
  }
}
template <int E> inline uint32_t nonzero_entries(const int64_t* p) {
  if constexpr (E == 16) {
    const IReg lo = load_bits(p), hi = load_bits(p + 8);
    return uint32_t(_mm512_test_epi64_mask(lo, lo)) | uint32_t(_mm512_test_epi64_mask(hi, hi)) << 8;
  }
  if constexpr (E == 8) return _mm512_test_epi64_mask(load_bits(p), load_bits(p));
  if constexpr (E == 4) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    return _mm256_test_epi64_mask(v, v);
  }
}

// Bits 2j and 2j + 1 set where entry p[j] of the next 4 is non-zero: the lane mask of four
// elements of two 64-bit lanes each, without a trip through a general register.
inline __mmask8 nonzero_entries_twice(const int32_t* p) {
  const __m256i v =
      _mm256_permutexvar_epi32(_mm256_setr_epi32(0, 0, 1, 1, 2, 2, 3, 3),
                               _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))));
  return _mm256_test_epi32_mask(v, v);
}
inline __mmask8 nonzero_entries_twice(const int64_t* p) {
  const IReg v =
      _mm512_permutexvar_epi64(_mm512_setr_epi64(0, 0, 1, 1, 2, 2, 3, 3),
                               _mm512_castsi256_si512(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p))));
  return _mm512_test_epi64_mask(v, v);
}

}  // namespace nrx::simd

// ---- quasi-random generators ----
namespace nrx::simd {
// Lanes of b where m is set XORed into a: sixteen 32-bit or eight 64-bit lanes.
inline IReg xor_where_words(__mmask16 m, IReg a, IReg b) { return _mm512_mask_xor_epi32(a, m, a, b); }
inline IReg xor_where_u64(__mmask8 m, IReg a, IReg b) { return _mm512_mask_xor_epi64(a, m, a, b); }
inline __m512d bits_as_double(IReg a) { return _mm512_castsi512_pd(a); }
}  // namespace nrx::simd

// ---- complex vector kernels ----
namespace nrx::simd {
// The even lanes (real parts) moved in order to the low half; the high half repeats them.
inline __m512 evens_to_low(__m512 a) {
  return _mm512_permutexvar_ps(_mm512_set_epi32(14, 12, 10, 8, 6, 4, 2, 0, 14, 12, 10, 8, 6, 4, 2, 0), a);
}
inline __m512d evens_to_low(__m512d a) { return _mm512_permutexvar_pd(_mm512_set_epi64(6, 4, 2, 0, 6, 4, 2, 0), a); }
// Lane j of the low half copied to lanes 2j and 2j + 1 (a real value to both parts of a pair).
inline __m512 low_to_pairs(__m512 a) {
  return _mm512_permutexvar_ps(_mm512_set_epi32(7, 7, 6, 6, 5, 5, 4, 4, 3, 3, 2, 2, 1, 1, 0, 0), a);
}
inline __m512d low_to_pairs(__m512d a) { return _mm512_permutexvar_pd(_mm512_set_epi64(3, 3, 2, 2, 1, 1, 0, 0), a); }
// Integer lanes (32 bits for float, 64 for double) holding v in the even lanes and 0 in the odd.
inline IReg int_even_lanes(int64_t v, float) { return _mm512_maskz_set1_epi32(0x5555, int32_t(v)); }
inline IReg int_even_lanes(int64_t v, double) { return _mm512_maskz_set1_epi64(0x55, v); }
// The high half of a register moved to its low half (the high half repeats it).
inline __m512 high_to_low(__m512 a) { return _mm512_shuffle_f32x4(a, a, 0xEE); }
inline __m512d high_to_low(__m512d a) { return _mm512_shuffle_f64x2(a, a, 0xEE); }

// Two registers of (re, im) pairs as one register of their real parts and one of their
// imaginary parts, element j of the pair of registers in lane j, and back.
template <class T> struct Parts { Reg<T> re, im; };
namespace detail {
template <class T> struct PartIndex {
  static constexpr int L = lanes<T>;
  using I = std::conditional_t<sizeof(T) == 8, int64_t, int32_t>;
  alignas(64) static constexpr auto re = [] {
    std::array<I, L> t{};
    for (int j = 0; j < L; ++j) t[j] = 2 * j;
    return t;
  }();
  alignas(64) static constexpr auto im = [] {
    std::array<I, L> t{};
    for (int j = 0; j < L; ++j) t[j] = 2 * j + 1;
    return t;
  }();
  alignas(64) static constexpr auto lo = [] {
    std::array<I, L> t{};
    for (int j = 0; j < L; ++j) t[j] = j / 2 + (j & 1) * L;
    return t;
  }();
  alignas(64) static constexpr auto hi = [] {
    std::array<I, L> t{};
    for (int j = 0; j < L; ++j) t[j] = L / 2 + j / 2 + (j & 1) * L;
    return t;
  }();
};
}  // namespace detail
template <class T> inline Parts<T> split_parts(Reg<T> a0, Reg<T> a1) {
  using P = detail::PartIndex<T>;
  return {lookup(a0, a1, load_bits(P::re.data())), lookup(a0, a1, load_bits(P::im.data()))};
}
template <class T> inline void join_parts(Parts<T> p, Reg<T>& a0, Reg<T>& a1) {
  using P = detail::PartIndex<T>;
  a0 = lookup(p.re, p.im, load_bits(P::lo.data()));
  a1 = lookup(p.re, p.im, load_bits(P::hi.data()));
}
// The eight (re, im) pairs of a float register as doubles, real parts in element order in one
// register and imaginary parts in the other: the pairs of even and of odd elements gathered
// into the two halves (one in-register move of whole pairs), widened, and interleaved back by
// the in-lane unpacks. narrow_parts is the inverse.
inline Parts<double> widen_parts(__m512 a) {
  const __m512 p =
      _mm512_castpd_ps(_mm512_permutexvar_pd(_mm512_set_epi64(7, 5, 3, 1, 6, 4, 2, 0), _mm512_castps_pd(a)));
  const __m512d even = widen_lo(p), odd = widen_hi(p);
  return {_mm512_unpacklo_pd(even, odd), _mm512_unpackhi_pd(even, odd)};
}
inline __m512 narrow_parts(Parts<double> z) {
  const __m512 p = narrow(_mm512_unpacklo_pd(z.re, z.im), _mm512_unpackhi_pd(z.re, z.im));
  return _mm512_castpd_ps(_mm512_permutexvar_pd(_mm512_set_epi64(7, 3, 6, 2, 5, 1, 4, 0), _mm512_castps_pd(p)));
}
// Bit j set where lane 2j or 2j + 1 of m0 is, bit j + lanes/2 likewise from m1: the
// elements of two registers of pairs, inverse of pairs_from_elements.
template <class T> constexpr unsigned elements_from_pairs(Mask<T> m0, Mask<T> m1) {
  const auto half = [](unsigned m) {
    m = (m | (m >> 1)) & 0x5555u;
    m = (m | (m >> 1)) & 0x3333u;
    m = (m | (m >> 2)) & 0x0F0Fu;
    return (m | (m >> 4)) & 0x00FFu;
  };
  return half(unsigned(m0)) | (half(unsigned(m1)) << lanes<T> / 2);
}
// Bit j of m, for j below half the lanes, on lanes 2j and 2j + 1.
template <class T> constexpr Mask<T> pairs_from_elements(unsigned m) {
  m &= (1u << lanes<T> / 2) - 1;
  m = (m | (m << 4)) & 0x0F0Fu;
  m = (m | (m << 2)) & 0x3333u;
  m = (m | (m << 1)) & 0x5555u;
  return Mask<T>(m | (m << 1));
}
}  // namespace nrx::simd
