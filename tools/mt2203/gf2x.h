// Dense polynomials over GF(2) of degree below 2 * 2240 as little-endian 64-bit words:
// products by carry-less multiplication, reduction modulo a degree-2203 polynomial by
// Barrett's method, the minimal polynomial of a bit sequence (Berlekamp-Massey) and the
// irreducibility test that, 2^2203 - 1 being prime, is also the primitivity test.
#pragma once
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "simd/clmul.h"

namespace mt2203 {

constexpr int kDeg = 2203;             // 69 words of 32 bits less the 5 unused low bits
constexpr int kWords = kDeg / 64 + 1;  // 35 words hold degree <= 2239
constexpr int kWide = 80;              // a product of two kWords polynomials, with the room clmul needs

using Wide = uint64_t[kWide];

inline bool bit(const uint64_t* p, int k) { return (p[k >> 6] >> (k & 63)) & 1u; }
inline void flip(uint64_t* p, int k) { p[k >> 6] ^= uint64_t(1) << (k & 63); }

// p = a b, a and b of kWords words.
inline void mul(uint64_t* p, const uint64_t* a, const uint64_t* b) {
  std::memset(p, 0, kWide * sizeof(uint64_t));
  for (int j = 0; j < kWords; ++j)
    if (a[j]) nrx::simd::clmul_accumulate(p + j, a[j], b, kWords);
}

// The words of a b below word kWords (and some above).
inline void mul_low(uint64_t* p, const uint64_t* a, const uint64_t* b) {
  std::memset(p, 0, kWide * sizeof(uint64_t));
  for (int j = 0; j < kWords; ++j)
    if (a[j]) nrx::simd::clmul_accumulate(p + j, a[j], b, kWords - j);
}

// The words of a b from word kWords - 1 on (and some below): a word product a_j b_k
// reaches word j + k + 1 at most, so those with j + k < kWords - 2 are left out.
inline void mul_high(uint64_t* p, const uint64_t* a, const uint64_t* b) {
  std::memset(p, 0, kWide * sizeof(uint64_t));
  for (int j = 0; j < kWords; ++j) {
    const int k = std::max(0, kWords - 2 - j);
    if (a[j]) nrx::simd::clmul_accumulate(p + j + k, a[j], b + k, kWords - k);
  }
}

// d[0..kWords) = bits s .. s + 2239 of p.
inline void bits_from(uint64_t* d, const uint64_t* p, int s) {
  const int w = s >> 6, b = s & 63;
  for (int k = 0; k < kWords; ++k) d[k] = b ? (p[w + k] >> b) | (p[w + k + 1] << (64 - b)) : p[w + k];
}

// Arithmetic modulo phi, monic of degree 2203: mu = floor(x^4406 / phi) for Barrett.
struct Modulus {
  uint64_t phi[kWords], mu[kWords];
  explicit Modulus(const uint64_t* p) {
    std::memcpy(phi, p, sizeof phi);
    Wide r{};
    flip(r, 2 * kDeg);
    std::memset(mu, 0, sizeof mu);
    for (int k = 2 * kDeg; k >= kDeg; --k) {
      if (!bit(r, k)) continue;
      const int s = k - kDeg, w = s >> 6, b = s & 63;
      flip(mu, s);
      for (int j = 0; j < kWords; ++j) {
        r[w + j] ^= phi[j] << b;
        if (b) r[w + j + 1] ^= phi[j] >> (64 - b);
      }
    }
  }
  // y = s mod phi for s of degree below 4406 (kWide words).
  void reduce(uint64_t* y, const uint64_t* s) const {
    uint64_t hi[kWords], q[kWords];
    Wide t;
    bits_from(hi, s, kDeg);
    mul_high(t, hi, mu);
    bits_from(q, t, kDeg);
    mul_low(t, q, phi);
    for (int k = 0; k < kWords; ++k) y[k] = s[k] ^ t[k];
    y[kWords - 1] &= (uint64_t(1) << (kDeg & 63)) - 1;
  }
  void square(uint64_t* y) const {
    Wide s{};
    nrx::simd::clmul_square(s, y, kWords);
    reduce(y, s);
  }
};

// The degree of p[0..kWords), -1 for zero.
inline int degree(const uint64_t* p) {
  for (int k = kWords - 1; k >= 0; --k)
    if (p[k]) return 64 * k + 63 - __builtin_clzll(p[k]);
  return -1;
}

// gcd(a, b) has degree 0: the larger-degree side is reduced by the other, shifted.
inline bool coprime(uint64_t* a, uint64_t* b) {
  int da = degree(a), db = degree(b);
  while (da >= 0 && db >= 0) {
    if (da < db) std::swap(a, b), std::swap(da, db);
    const int s = da - db, w = s >> 6, sh = s & 63;
    for (int k = kWords - 1 - w; k >= 0; --k) {
      a[k + w] ^= b[k] << sh;
      if (sh && k + w + 1 < kWords) a[k + w + 1] ^= b[k] >> (64 - sh);
    }
    da = degree(a);
  }
  return (da < 0 ? db : da) == 0;
}

// phi(0) = phi(1) = 1 and x^(2^2203) = x mod phi: every factor then has degree 1 or
// 2203, and neither 0 nor 1 is a root, so phi is irreducible, and primitive because the
// order of x divides the prime 2^2203 - 1. On the way, phi must be coprime to the
// product of x^(2^d) - x for d <= 64, whose factors are those of degree <= 64: most
// reducible candidates leave there.
inline bool primitive(const uint64_t* phi) {
  if (!bit(phi, kDeg) || !bit(phi, 0)) return false;
  int terms = 0;
  for (int k = 0; k < kWords; ++k) terms += __builtin_popcountll(phi[k]);
  if (terms % 2 == 0) return false;
  const Modulus m(phi);
  constexpr int kEarly = 64;
  uint64_t y[kWords] = {}, acc[kWords] = {};
  flip(y, 2), flip(acc, 0);
  for (int d = 1; d < kDeg; ++d) {  // y = x^(2^d)
    if (d <= kEarly) {
      uint64_t t[kWords];
      std::copy(y, y + kWords, t);
      flip(t, 1);
      Wide p;
      mul(p, acc, t);
      m.reduce(acc, p);
      if (d == kEarly) {
        uint64_t f[kWords];
        std::copy(phi, phi + kWords, f);
        if (!coprime(acc, f)) return false;
      }
    }
    m.square(y);
  }
  uint64_t x[kWords] = {};
  flip(x, 1);
  return std::equal(y, y + kWords, x);
}

// The minimal polynomial of the bits s[0..n) (Berlekamp-Massey), as kWide words with
// its degree L: C(x) = 1 + c1 x + ... + cL x^L annihilates the sequence; returned
// reversed, x^L C(1/x), which is the characteristic polynomial of the recurrence.
inline int minimal_polynomial(const std::vector<uint8_t>& s, uint64_t* out) {
  const int n = int(s.size());
  std::vector<uint64_t> rev((n + 63) / 64 + kWide, 0);  // bit n - 1 - j holds s[j]
  for (int j = 0; j < n; ++j)
    if (s[j]) rev[(n - 1 - j) >> 6] |= uint64_t(1) << ((n - 1 - j) & 63);
  std::vector<uint64_t> c(kWide, 0), b(kWide, 0), t(kWide, 0);
  c[0] = b[0] = 1;
  int len = 0, shift = 1;
  for (int i = 0; i < n; ++i) {
    const int o = n - 1 - i, w = o >> 6, sh = o & 63, used = len / 64 + 1;
    uint64_t acc = 0;  // sum over k <= len of c_k s[i - k]: window bit k is s[i - k]
    for (int k = 0; k < used; ++k) {
      const uint64_t win = sh ? (rev[w + k] >> sh) | (rev[w + k + 1] << (64 - sh)) : rev[w + k];
      acc ^= c[k] & win;
    }
    if (!(__builtin_popcountll(acc) & 1)) {
      ++shift;
      continue;
    }
    const bool grow = 2 * len <= i;
    if (grow) t = c;
    const int sw = shift >> 6, sb = shift & 63;
    for (int k = 0; k + sw < kWide; ++k) {
      c[k + sw] ^= b[k] << sb;
      if (sb && k + sw + 1 < kWide) c[k + sw + 1] ^= b[k] >> (64 - sb);
    }
    if (grow) {
      len = i + 1 - len, b = t, shift = 1;
    } else {
      ++shift;
    }
  }
  std::memset(out, 0, kWide * sizeof(uint64_t));
  for (int k = 0; k <= len; ++k)
    if (bit(c.data(), k)) flip(out, len - k);
  return len;
}

}  // namespace mt2203
