// Shared pieces of the Mersenne twisters: the array initialisation by key and the
// state walk that hands out words of a state array regenerated in place.
#pragma once
#include <cstdint>

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
