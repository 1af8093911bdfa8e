// Registers of elements spaced s elements apart in memory: element j of a register at byte
// j s B from p, for elements of B = 4, 8 or 16 bytes (a float, a double or a single complex
// value, a double complex value).
//
// Any s: moved one by one with 128-bit inserts and extracts. On cores that run gathers and
// scatters as microcode this beats them: AMD Zen 5, a double add at stride 2 took 2.7-3.4
// cycles per element with them, 1.2 with element moves, a strided double Exp 4.5 against 1.8.
//
// Strides 2 to 4 (elements of up to 8 bytes) have whole-register paths: loads of the S
// registers that span the elements and lane permutes, and for stores at strides 2 and 3 one
// permute and one masked store per spanned register (the lanes between the elements are not
// written). Measured on AMD Zen 5 against the element moves at n = 1,000, timestamp ticks per
// double: stores at stride 2 0.15 against 0.29, at stride 3 0.23-0.32 against 0.29, but at
// stride 4 0.57-0.65, so stride 4 stores go element by element.
#pragma once
#include <array>
#include <cstdint>
#include <type_traits>
#include <utility>

#include "simd/vec.h"

namespace nrx::simd {

// The 64 / B elements at p, p + s, ..., one by one.
template <int B> [[gnu::always_inline]] inline IReg load_spaced(const void* p, int64_t s) {
  constexpr int G = 16 / B;  // elements per 128 bits
  const auto* q = static_cast<const unsigned char*>(p);
  const int64_t d = s * B;
  const auto part = [&](int k) {
    return elements_at<B>([&](int e) { return static_cast<const void*>(q + (G * k + e) * d); });
  };
  return join_bits(join_bits(part(0), part(1)), join_bits(part(2), part(3)));
}

// The elements of the first Parts quarters of v (all four, or the low half) to p, p + s, ...
template <int B, int Parts = 4> [[gnu::always_inline]] inline void store_spaced(void* p, int64_t s, IReg v) {
  auto* q = static_cast<unsigned char*>(p);
  const int64_t d = s * B;
  const auto put = [&](int k, __m128i x) {
    if constexpr (B == 16) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(q + k * d), x);
    } else if constexpr (B == 8) {
      _mm_storel_pd(reinterpret_cast<double*>(q + 2 * k * d), _mm_castsi128_pd(x));
      _mm_storeh_pd(reinterpret_cast<double*>(q + (2 * k + 1) * d), _mm_castsi128_pd(x));
    } else {
      const __m128 f = _mm_castsi128_ps(x);
      _mm_store_ss(reinterpret_cast<float*>(q + 4 * k * d), f);
      _mm_store_ss(reinterpret_cast<float*>(q + (4 * k + 1) * d), _mm_movehdup_ps(f));
      _mm_store_ss(reinterpret_cast<float*>(q + (4 * k + 2) * d), _mm_movehl_ps(f, f));
      _mm_store_ss(reinterpret_cast<float*>(q + (4 * k + 3) * d), _mm_shuffle_ps(f, f, 3));
    }
  };
  put(0, _mm512_castsi512_si128(v));
  put(1, _mm512_extracti64x2_epi64(v, 1));
  if constexpr (Parts == 4) {
    put(2, _mm512_extracti64x2_epi64(v, 2));
    put(3, _mm512_extracti64x2_epi64(v, 3));
  }
}

// Strided spans of 64-bit elements up to this size take the whole-register paths; beyond the
// private cache the register loads and stores across lines touch twice the lines the element
// moves do, and lose to them (AMD Zen 5, n = 10^6: a single complex Conj at strides 2 and 2
// 1.13 against 1.77 timestamp ticks per element, a double Exp at strides 3 and 3 1.77 against
// 2.31). Floats gain at every size (a float Add at strides 2, 2, 2: 1.19 -> 0.70).
inline constexpr int64_t kWholeRegisterSpan = int64_t(1) << 20;

// Strides 2, 3 and 4 of elements of B = 4, 8 or 16 bytes: the register of the 64 / B
// elements from p is assembled by lane permutes from the S whole registers from p, which
// span them (lane j is lane src(j) of those registers laid end to end). The loads read the
// bytes between the elements, up to the start of the element after the last, which must exist.
template <int B, int S> struct StrideLanes {
  using U = std::conditional_t<B == 4, uint32_t, uint64_t>;
  using M = std::conditional_t<B == 4, uint16_t, uint8_t>;               // a bit per lane
  static constexpr int L = 64 / int(sizeof(U)), W = B / int(sizeof(U));  // lanes, lanes an element
  static constexpr int src(int j) { return (j / W) * S * W + j % W; }
  static constexpr std::array<U, L> idx = [] {
    std::array<U, L> r{};
    for (int j = 0; j < L; ++j) r[j] = U(src(j));
    return r;
  }();
  // The lanes from the third and fourth registers.
  static constexpr auto upper = [] {
    M m = 0;
    for (int j = 0; j < L; ++j)
      if (src(j) >= 2 * L) m = M(m | (M(1) << j));
    return m;
  }();
};

template <int B, int S> [[gnu::always_inline]] inline IReg load_stride(const void* p) {
  using P = StrideLanes<B, S>;
  using U = typename P::U;
  constexpr int L = P::L;
  const U* q = static_cast<const U*>(p);
  const IReg idx = load_bits(P::idx.data());
  const IReg lo = pick_lanes<U>(load_bits(q), idx, load_bits(q + L));
  if constexpr (S == 2) return lo;
  if constexpr (S == 3) return pick_lanes_where(P::upper, lo, idx, load_bits(q + 2 * L));
  if constexpr (S == 4) return select(P::upper, pick_lanes<U>(load_bits(q + 2 * L), idx, load_bits(q + 3 * L)), lo);
}

// The opposite move: the register's 64 / B elements to p, p + S, ..., at strides 2 and 3 each
// of the S registers from p taking the elements it spans by one lane permute and a store under
// the mask of their lanes (the bytes between the elements are not written), at stride 4 element
// by element (see above).
template <int B, int S> struct StrideSpread {
  using U = typename StrideLanes<B, S>::U;
  using M = typename StrideLanes<B, S>::M;
  static constexpr int L = StrideLanes<B, S>::L, W = StrideLanes<B, S>::W;
  // Lane l of register r is place g = r L + l of the span: lane (g / (S W)) W + g % (S W) of
  // the elements' register where g % (S W) < W.
  static constexpr std::array<std::array<U, L>, S> idx = [] {
    std::array<std::array<U, L>, S> r{};
    for (int k = 0; k < S; ++k)
      for (int l = 0; l < L; ++l) {
        const int g = k * L + l, e = g / (S * W), part = g % (S * W);
        r[k][l] = U(part < W ? e * W + part : 0);
      }
    return r;
  }();
  static constexpr std::array<M, S> mask = [] {
    std::array<M, S> m{};
    for (int k = 0; k < S; ++k)
      for (int l = 0; l < L; ++l)
        if ((k * L + l) % (S * W) < W) m[k] = M(m[k] | (M(1) << l));
    return m;
  }();
};

// The stores' expansion is forced inline: left to the compiler it was once made a function of
// its own, called per register (a strided float Exp took 2.2 cycles per element instead of
// 0.95, Intel Xeon, n = 1,000, strides 2, 3, 2).
template <int B, int S> [[gnu::always_inline]] inline void store_stride(void* p, IReg v) {
  using P = StrideSpread<B, S>;
  if constexpr (S == 4) {
    store_spaced<B>(p, 4, v);
  } else {
    auto* q = static_cast<typename P::U*>(p);
    [&]<int... k>(std::integer_sequence<int, k...>) __attribute__((always_inline)) {
      (masked_store_bits(q + k * P::L, P::mask[k], permute_lanes<typename P::U>(v, load_bits(P::idx[k].data()))), ...);
    }
    (std::make_integer_sequence<int, S>());
  }
}

// f(std::integral_constant<int, S>()) for the first of the strides S0, S... that equals s, or
// for the last: a runtime stride made a constant of the paths above.
template <int S0, int... S, class F> [[gnu::always_inline]] inline decltype(auto) with_stride(int64_t s, F&& f) {
  if constexpr (sizeof...(S) > 0)
    if (s != S0) return with_stride<S...>(s, f);
  return f(std::integral_constant<int, S0>());
}

}  // namespace nrx::simd
