// Shared pieces of the Mersenne twisters: the array initialisation by key, the state
// walk that hands out words of a state array regenerated in place, and the word twister
// of MT19937 and MT2203 (regeneration sixteen words per register, tempering).
#pragma once
#include <cstdint>

#include "rng/brng/output.h"
#include "rng/internal.h"
#include "simd/word32.h"

namespace nrx::rng {

// The key of a seeding: the n words at params, or the one word 1 when n < 1.
struct TwisterKey {
  const uint32_t* words;
  int32_t length;
};
inline TwisterKey twister_key(int32_t n, const uint32_t* params) {
  static const uint32_t kOne = 1;
  return n < 1 ? TwisterKey{&kOne, 1} : TwisterKey{params, n};
}

// MT19937's array initialisation over N words (mt19937ar's init_by_array).
template <int N> void init_by_key(uint32_t* mt, TwisterKey key) {
  mt[0] = 19650218u;
  for (uint32_t i = 1; i < uint32_t(N); ++i) mt[i] = 1812433253u * (mt[i - 1] ^ (mt[i - 1] >> 30)) + i;
  uint32_t i = 1, j = 0;
  for (int32_t k = N > key.length ? N : key.length; k > 0; --k) {
    mt[i] = (mt[i] ^ ((mt[i - 1] ^ (mt[i - 1] >> 30)) * 1664525u)) + key.words[j] + j;
    if (++i >= uint32_t(N)) mt[0] = mt[N - 1], i = 1;
    if (++j >= uint32_t(key.length)) j = 0;
  }
  for (int k = N - 1; k > 0; --k) {
    mt[i] = (mt[i] ^ ((mt[i - 1] ^ (mt[i - 1] >> 30)) * 1566083941u)) - i;
    if (++i >= uint32_t(N)) mt[0] = mt[N - 1], i = 1;
  }
  mt[0] = 0x80000000u;
}

// Hands out n words of a state of N words whose next word is at *pos (N: regenerate
// first): take(first, count) receives each run of words still to deliver.
template <int N, class Regen, class Take>
[[gnu::always_inline]] inline void walk(uint32_t* pos, int64_t n, Regen&& regenerate, Take&& take) {
  uint32_t p = *pos > uint32_t(N) ? uint32_t(N) : *pos;  // a damaged image regenerates
  for (int64_t i = 0; i < n;) {
    if (p == uint32_t(N)) regenerate(), p = 0;
    const int64_t m = n - i < int64_t(N - p) ? n - i : int64_t(N - p);
    take(p, i, m);
    p += uint32_t(m), i += m;
  }
  *pos = p;
}

// The word twister of N words with middle distance M; the upper word part keeps the
// bits under Upper. mt[i + t] for the words t of m: y = upper(mt[i + t]) |
// lower(mt[i + t + 1]), mt[i + t] = far[t] ^ (y >> 1) ^ (odd y ? matrix : 0).
template <uint32_t Upper>
inline void twist(uint32_t* mt, int i, const uint32_t* far, simd::IReg matrix, simd::Mask16 m) {
  using namespace simd;
  const IReg y =
      bit_or(bit_and(load_words(mt + i, m), splat_word(Upper)), bit_and(load_words(mt + i + 1, m), splat_word(~Upper)));
  const IReg odd = sub_words(splat_word(0), bit_and(y, splat_word(1)));  // all ones where y is odd
  store_words(mt + i, m, bit_xor(bit_xor(load_words(far, m), words_right<1>(y)), bit_and(odd, matrix)));
}

// The next N words in place: the first N - M take their far word from the old array,
// the rest from the words just made (N - M words back), the last wraps to mt[0].
template <int N, int M, uint32_t Upper> void regenerate(uint32_t* mt, uint32_t matrix) {
  constexpr int kSplit = N - M;
  const simd::IReg a = simd::splat_word(matrix);
  int i = 0;
  for (; i < kSplit; i += 16) twist<Upper>(mt, i, mt + i + M, a, simd::first_words(kSplit - i));
  for (i = kSplit; i < N - 1; i += 16) twist<Upper>(mt, i, mt + i - kSplit, a, simd::first_words(N - 1 - i));
  const uint32_t y = (mt[N - 1] & Upper) | (mt[0] & ~Upper);
  mt[N - 1] = mt[M - 1] ^ (y >> 1) ^ ((y & 1u) ? matrix : 0u);
}

// Tempering with first shift U and masks b, c: y ^= y >> U; y ^= (y << 7) & b;
// y ^= (y << 15) & c; y ^= y >> 18.
template <int U> struct Temper {
  simd::IReg b, c;
  Temper(uint32_t mb, uint32_t mc) : b(simd::splat_word(mb)), c(simd::splat_word(mc)) {}
  simd::IReg operator()(simd::IReg y) const {
    using namespace simd;
    y = bit_xor(y, words_right<U>(y));
    y = bit_xor(y, bit_and(words_left<7>(y), b));
    y = bit_xor(y, bit_and(words_left<15>(y), c));
    return bit_xor(y, words_right<18>(y));
  }
};

// n tempered words of the twister (N, M, Upper, matrix) whose next word is at *pos into out.
template <int N, int M, uint32_t Upper, int U> inline void tempered_words(uint32_t* mt, uint32_t* pos, uint32_t* out,
                                                                          int64_t n, uint32_t matrix,
                                                                          const Temper<U>& temper) {
  walk<N>(
      pos, n, [mt, matrix] { regenerate<N, M, Upper>(mt, matrix); },
      [mt, out, &temper](uint32_t p, int64_t i, int64_t m) {
        for (int64_t t = 0; t < m; t += 16) {
          const simd::Mask16 k = simd::first_words(m - t);
          simd::store_words(out + i + t, k, temper(simd::load_words(mt + p + t, k)));
        }
      });
}

// The outputs of a twister whose Raw(state, out, n) writes its next n words: 32-bit
// words as they are, reals a + (b - a) u 2^-32.
template <class State, void (*Raw)(State*, uint32_t*, int64_t)> struct TwisterOutputs {
  template <class T> static void reals(DruStream* s, int64_t n, T* r, double a, double b) {
    State* st = state_of<State>(s);
    emit_blocks<2048, uint32_t>(
        0, n, [st](uint32_t* w, int64_t m) { Raw(st, w, m); }, RealSink<T>(r, 0x1p-32, a, b));
  }
  static void words(DruStream* s, int64_t n, uint32_t* r) {
    if (n > 0) Raw(state_of<State>(s), r, n);
  }
};

// Where a skip of count words from position pos of a 624-word array lands: the array
// regenerated `arrays` times more and the position in it, 624 (regenerate first) rather
// than 0 when it falls on an array's end, as passing over the words leaves it.
struct Target {
  unsigned __int128 arrays;
  uint32_t pos;
};
inline Target target(uint32_t pos, uint64_t count) {
  constexpr uint32_t n = 624;
  const unsigned __int128 total = (unsigned __int128)(pos > n ? n : pos) + count;
  Target t{total / n, uint32_t(total % n)};
  if (t.pos == 0 && t.arrays > 0) t.arrays -= 1, t.pos = n;
  return t;
}

}  // namespace nrx::rng
