// Rejection of characteristic polynomials with an irreducible factor of small degree:
// phi_a mod f is linear in the bits of a, so the residues of the closed form's base and
// terms (recurrence.h) modulo every irreducible f of degree <= kMaxDeg are computed once, and a
// candidate costs one XOR per set bit of a per factor tried, smallest degrees first.
#pragma once
#include <cstdint>
#include <vector>

#include "tools/mt2203/recurrence.h"

namespace mt2203 {

constexpr int kMaxDeg = 16;

inline int degree(uint64_t f) { return 63 - __builtin_clzll(f); }

// v mod f, v of degree below 64.
inline uint64_t reduce(uint64_t v, uint64_t f) {
  const int d = degree(f);
  for (int k = 63; k >= d; --k)
    if ((v >> k) & 1u) v ^= f << (k - d);
  return v;
}

// a b mod f for a, b of degree below that of f (<= 31).
inline uint64_t mulmod(uint64_t a, uint64_t b, uint64_t f) {
  uint64_t p = 0;
  for (uint64_t m = b; m; m &= m - 1) p ^= a << __builtin_ctzll(m);
  return reduce(p, f);
}

// x^k mod f.
inline uint64_t xpow(int k, uint64_t f) {
  uint64_t r = reduce(1, f), x = reduce(2, f);
  for (; k; k >>= 1, x = mulmod(x, x, f))
    if (k & 1) r = mulmod(r, x, f);
  return r;
}

struct SmallFactors {
  struct Factor {
    uint32_t base, term[32];
  };
  std::vector<Factor> factors;  // ascending degree

  SmallFactors() {
    // Sieve: mark every product g h of degree <= kMaxDeg with g irreducible.
    const uint64_t limit = uint64_t(1) << (kMaxDeg + 1);
    std::vector<uint8_t> reducible(limit, 0);
    std::vector<uint64_t> irreducible;
    for (uint64_t g = 2; g < limit; ++g) {
      if (reducible[g]) continue;
      irreducible.push_back(g);
      const int dg = degree(g);
      if (2 * dg > kMaxDeg) continue;
      for (uint64_t h = 2; h < (uint64_t(1) << (kMaxDeg + 1 - dg)); ++h) {
        uint64_t p = 0;
        for (uint64_t m = h; m; m &= m - 1) p ^= g << __builtin_ctzll(m);
        reducible[p] = 1;
      }
    }
    // The closed form's products taken modulo f factor by factor.
    factors.reserve(irreducible.size());
    for (uint64_t f : irreducible) {
      uint64_t p[kW - kR + 1], q[kR + 1];
      p[0] = q[0] = reduce(1, f);
      const uint64_t px = xpow(kN, f) ^ xpow(kM, f), qx = xpow(kN - 1, f) ^ xpow(kM - 1, f);
      for (int k = 1; k <= kW - kR; ++k) p[k] = mulmod(p[k - 1], px, f);
      for (int k = 1; k <= kR; ++k) q[k] = mulmod(q[k - 1], qx, f);
      Factor r;
      r.base = uint32_t(mulmod(q[kR], p[kW - kR], f));
      for (int i = 0; i < kW; ++i) r.term[i] = uint32_t(i < kR ? mulmod(q[kR - 1 - i], p[kW - kR], f) : p[kW - 1 - i]);
      factors.push_back(r);
    }
  }
  // No factor of degree <= kMaxDeg divides phi_a.
  bool passes(uint32_t a) const {
    for (const Factor& f : factors) {
      uint32_t r = f.base;
      for (uint32_t m = a; m; m &= m - 1) r ^= f.term[__builtin_ctz(m)];
      if (r == 0) return false;
    }
    return true;
  }
};

}  // namespace mt2203
