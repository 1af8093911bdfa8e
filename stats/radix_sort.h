// LSD radix sort of floating-point values: each value's bits become an unsigned key
// that orders like the value (sign bit flipped; all bits flipped for negatives), the
// keys are sorted by counting sort on digits of 11, 11 and 10 bits per 32-bit half,
// passing between two buffers, and mapped back. Passes whose digit is one value for
// every key are skipped.
#pragma once
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace nrx::stats {

template <class T> struct RadixKey;
template <> struct RadixKey<double> {
  using U = uint64_t;
  static constexpr int kDigits = 6;
  static constexpr int kShift[kDigits] = {0, 11, 22, 32, 43, 54};
  static constexpr int kBits[kDigits] = {11, 11, 10, 11, 11, 10};
};
template <> struct RadixKey<float> {
  using U = uint32_t;
  static constexpr int kDigits = 3;
  static constexpr int kShift[kDigits] = {0, 11, 22};
  static constexpr int kBits[kDigits] = {11, 11, 10};
};

template <class U> inline U to_key(U bits) {
  constexpr U top = U(1) << (sizeof(U) * 8 - 1);
  const U k = bits ^ top;
  return (k & top) ? k : ~bits;  // negatives: every bit inverted
}
template <class U> inline U from_key(U k) {
  constexpr U top = U(1) << (sizeof(U) * 8 - 1);
  return (k & top) ? k ^ top : ~k;
}

// Sorts v[0..n) ascending; `tmp` holds n more values. The result ends in v.
template <class T> void radix_sort(T* v, T* tmp, int64_t n) {
  using K = RadixKey<T>;
  using U = typename K::U;
  static_assert(sizeof(U) == sizeof(T));
  constexpr int D = K::kDigits;
  uint64_t count[D][2048];
  std::memset(count, 0, sizeof(count));
  U* a = reinterpret_cast<U*>(v);
  U* b = reinterpret_cast<U*>(tmp);
  // One read makes the keys in place and counts every digit.
  for (int64_t i = 0; i < n; ++i) {
    U bits;
    std::memcpy(&bits, &v[i], sizeof(U));
    const U k = to_key(bits);
    a[i] = k;
    for (int d = 0; d < D; ++d) ++count[d][(k >> K::kShift[d]) & ((U(1) << K::kBits[d]) - 1)];
  }
  for (int d = 0; d < D; ++d) {
    const int size = 1 << K::kBits[d];
    uint64_t* c = count[d];
    bool single = false;
    for (int s = 0; s < size; ++s)
      if (c[s]) {
        single = int64_t(c[s]) == n;
        break;
      }
    if (single) continue;
    uint64_t sum = 0;
    for (int s = 0; s < size; ++s) {
      const uint64_t t = c[s];
      c[s] = sum;
      sum += t;
    }
    const int shift = K::kShift[d];
    const U mask = (U(1) << K::kBits[d]) - 1;
    for (int64_t i = 0; i < n; ++i) {
      const U k = a[i];
      b[c[(k >> shift) & mask]++] = k;
    }
    std::swap(a, b);
  }
  for (int64_t i = 0; i < n; ++i) {
    const U bits = from_key(a[i]);
    std::memcpy(&v[i], &bits, sizeof(U));
  }
}

}  // namespace nrx::stats
