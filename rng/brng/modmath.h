// Modular arithmetic of the congruential generators: powers modulo 2^31-1, 2^59 and
// general moduli below 2^32, and 3x3 matrix powers for MRG32K3A.
#pragma once
#include <cstdint>

namespace nrx::rng {

constexpr uint32_t kM31 = 0x7FFFFFFFu;          // 2^31 - 1
constexpr uint64_t kMask59 = (1ull << 59) - 1;  // 2^59 - 1

constexpr uint32_t mulmod(uint32_t a, uint32_t b, uint32_t m) { return uint32_t(uint64_t(a) * b % m); }

// a*b mod 2^31-1 by folding the 62-bit product.
constexpr uint32_t mulmod31(uint32_t a, uint32_t b) {
  const uint64_t p = uint64_t(a) * b;
  const uint32_t lo = uint32_t(p), hi = uint32_t(p >> 32);
  uint32_t r = (lo & kM31) + ((hi << 1) | (lo >> 31));
  if (r >= kM31) r -= kM31;
  return r;
}

constexpr uint32_t powmod(uint32_t a, uint64_t e, uint32_t m) {
  uint32_t r = 1 % m, b = a % m;
  for (; e; e >>= 1, b = mulmod(b, b, m))
    if (e & 1) r = mulmod(r, b, m);
  return r;
}

constexpr uint32_t powmod31(uint32_t a, uint64_t e) {
  uint32_t r = 1, b = a % kM31;
  for (; e; e >>= 1, b = mulmod31(b, b))
    if (e & 1) r = mulmod31(r, b);
  return r;
}

constexpr uint64_t powmod59(uint64_t a, uint64_t e) {
  uint64_t r = 1, b = a & kMask59;
  for (; e; e >>= 1, b = (b * b) & kMask59)
    if (e & 1) r = (r * b) & kMask59;
  return r;
}

// 3x3 matrices modulo m, row-major.
struct Mat3 {
  uint32_t e[9];
};

constexpr Mat3 mat_mul(const Mat3& a, const Mat3& b, uint32_t m) {
  Mat3 c{};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      uint64_t s = 0;
      for (int k = 0; k < 3; ++k) s = (s + uint64_t(a.e[3 * i + k]) * b.e[3 * k + j] % m) % m;
      c.e[3 * i + j] = uint32_t(s);
    }
  return c;
}

constexpr void mat_apply(const Mat3& a, uint32_t v[3], uint32_t m) {
  uint32_t r[3] = {};
  for (int i = 0; i < 3; ++i) {
    uint64_t s = 0;
    for (int k = 0; k < 3; ++k) s = (s + uint64_t(a.e[3 * i + k]) * v[k] % m) % m;
    r[i] = uint32_t(s);
  }
  for (int i = 0; i < 3; ++i) v[i] = r[i];
}

// v <- M^e v mod m for an exponent of nwords 64-bit words, least significant first.
constexpr void mat_pow_apply(Mat3 b, uint32_t v[3], uint32_t m, int32_t nwords, const uint64_t* e) {
  for (int32_t w = 0; w < nwords; ++w) {
    uint64_t bits = e[w];
    for (int i = 0; i < 64; ++i, bits >>= 1) {
      if (bits & 1) mat_apply(b, v, m);
      if (w + 1 == nwords && (bits >> 1) == 0) return;
      b = mat_mul(b, b, m);
    }
  }
}

}  // namespace nrx::rng
