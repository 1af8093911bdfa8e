// Polynomials over GF(2) for the twisters' skip-ahead: with T the one-step map of a
// generator and phi(T) = 0 (tools/twister_poly.py), T^M = g(T) for g = x^M mod phi.
#pragma once
#include <cstdint>
#include <cstring>
#include <initializer_list>

namespace nrx::rng::gf2 {

constexpr int kMaxDegree = 19968;
constexpr int kPolyWords = kMaxDegree / 64 + 1;

// A polynomial of degree below 2 * kMaxDegree, bit i = coefficient of x^i.
struct Poly {
  uint64_t w[2 * kPolyWords];
  bool bit(int i) const { return (w[i >> 6] >> (i & 63)) & 1; }
  void flip(int i) { w[i >> 6] ^= uint64_t(1) << (i & 63); }
};

// The modulus phi of degree D from its ascending exponents (the last is D).
struct Modulus {
  Poly phi;
  int degree;
  Modulus(const uint32_t* exps, int count) : phi{}, degree(int(exps[count - 1])) {
    for (int k = 0; k < count; ++k) phi.flip(int(exps[k]));
  }
  // p mod phi for p of degree below 2D: from the top, each set bit k >= D is cleared by
  // adding phi x^(k - D).
  void reduce(Poly& p) const {
    const int words = degree / 64 + 1;
    for (int k = 2 * degree - 2; k >= degree; --k) {
      if (!p.bit(k)) continue;
      const int s = k - degree, q = s >> 6, r = s & 63;
      for (int i = words; i >= 0; --i) {
        uint64_t v = phi.w[i] << r;
        if (r && i > 0) v |= phi.w[i - 1] >> (64 - r);
        p.w[q + i] ^= v;
      }
    }
  }
};

// x^e mod phi into g, left to right: square, and multiply by x where e has a one.
inline void power_of_x(Poly& g, unsigned __int128 e, const Modulus& m) {
  std::memset(&g, 0, sizeof g);
  g.flip(0);
  int top = 127;
  while (top >= 0 && !((e >> top) & 1)) --top;
  for (int b = top; b >= 0; --b) {
    Poly sq{};
    for (int i = 0; i < kPolyWords; ++i) {  // squaring spreads the bits apart
      uint64_t lo = g.w[i] & 0xFFFFFFFFu, hi = g.w[i] >> 32;
      for (uint64_t* x : {&lo, &hi}) {
        uint64_t v = *x;
        v = (v | (v << 16)) & 0x0000FFFF0000FFFFull;
        v = (v | (v << 8)) & 0x00FF00FF00FF00FFull;
        v = (v | (v << 4)) & 0x0F0F0F0F0F0F0F0Full;
        v = (v | (v << 2)) & 0x3333333333333333ull;
        v = (v | (v << 1)) & 0x5555555555555555ull;
        *x = v;
      }
      sq.w[2 * i] = lo, sq.w[2 * i + 1] = hi;
    }
    m.reduce(sq);
    if ((e >> b) & 1) {  // times x
      for (int i = 2 * kPolyWords - 1; i > 0; --i) sq.w[i] = (sq.w[i] << 1) | (sq.w[i - 1] >> 63);
      sq.w[0] <<= 1;
      if (sq.bit(m.degree)) m.reduce(sq);
    }
    std::memcpy(&g, &sq, sizeof g);
  }
}

// A term list phi of 1 <= degree <= kMaxDegree: ascending exponents ending with degree.
inline bool valid_terms(int32_t degree, int32_t nterms, const uint32_t* terms) {
  if (!terms || degree < 1 || degree > kMaxDegree || nterms < 1 || int32_t(terms[nterms - 1]) != degree) return false;
  for (int32_t k = 0; k + 1 < nterms; ++k)
    if (terms[k] >= terms[k + 1]) return false;
  return true;
}

}  // namespace nrx::rng::gf2
