// The 2203-bit twister recurrence of one member, word by word on a ring of 69 words, and
// its characteristic polynomial, from the recurrence's output (Berlekamp-Massey) and in
// closed form as a sum over the bits of the matrix word.
#pragma once
#include <array>
#include <cstdint>
#include <vector>

#include "tools/mt2203/gf2x.h"

namespace mt2203 {

constexpr int kN = 69, kM = 34, kR = 5, kW = 32;  // 69 * 32 - 5 = 2203
constexpr uint32_t kUpper = 0xFFFFFFE0u, kLower = 0x0000001Fu;

// 69 words whose oldest is at head; the word at head keeps only its upper 27 bits.
struct Ring {
  uint32_t w[kN];
  int head = 0;
  // The next untempered word, written over the oldest.
  uint32_t step(uint32_t a) {
    const int next = head + 1 == kN ? 0 : head + 1, far = head + kM < kN ? head + kM : head + kM - kN;
    const uint32_t y = (w[head] & kUpper) | (w[next] & kLower);
    const uint32_t out = w[far] ^ (y >> 1) ^ ((y & 1u) ? a : 0u);
    w[head] = out;
    head = next;
    return out;
  }
};

inline uint32_t temper(uint32_t y, uint32_t b, uint32_t c) {
  y ^= y >> 12;
  y ^= (y << 7) & b;
  y ^= (y << 15) & c;
  return y ^ (y >> 18);
}

// The characteristic polynomial of the word step for matrix word a, from 4406 top bits
// of the words it makes; 0 when the bits' minimal polynomial has lower degree.
inline bool charpoly_from_output(uint32_t a, uint64_t* phi) {
  Ring r;
  uint32_t x = 0x9E3779B9u;
  for (uint32_t& v : r.w) v = x = x * 1664525u + 1013904223u;
  std::vector<uint8_t> s(2 * kDeg);
  for (uint8_t& v : s) v = uint8_t(r.step(a) >> 31);
  Wide p;
  if (minimal_polynomial(s, p) != kDeg) return false;
  std::copy(p, p + kWords, phi);
  return true;
}

// phi_a = Q^r P^(w-r) + sum over the bits a_i of a of a_i B_i, with P = x^n + x^m,
// Q = x^(n-1) + x^(m-1), B_i = Q^(r-1-i) P^(w-r) for i < r and P^(w-1-i) from r on
// (bit i counted from the least significant): the matrix word enters linearly.
struct ClosedForm {
  using Poly = std::array<uint64_t, kWords>;
  Poly base{}, term[32]{};
  ClosedForm() {
    std::vector<Poly> p(kW - kR + 1), q(kR + 1);
    p[0][0] = q[0][0] = 1;
    Poly px{}, qx{};
    flip(px.data(), kN), flip(px.data(), kM), flip(qx.data(), kN - 1), flip(qx.data(), kM - 1);
    for (size_t k = 1; k < p.size(); ++k) p[k] = times(p[k - 1], px);
    for (size_t k = 1; k < q.size(); ++k) q[k] = times(q[k - 1], qx);
    base = times(q[kR], p[kW - kR]);
    for (int i = 0; i < kW; ++i) term[i] = i < kR ? times(q[kR - 1 - i], p[kW - kR]) : p[kW - 1 - i];
  }
  static Poly times(const Poly& a, const Poly& b) {
    Wide t;
    mul(t, a.data(), b.data());
    Poly r;
    std::copy(t, t + kWords, r.begin());
    return r;
  }
  void of(uint32_t a, uint64_t* phi) const {
    std::copy(base.begin(), base.end(), phi);
    for (uint32_t m = a; m; m &= m - 1)
      for (int k = 0; k < kWords; ++k) phi[k] ^= term[__builtin_ctz(m)][k];
  }
};

}  // namespace mt2203
