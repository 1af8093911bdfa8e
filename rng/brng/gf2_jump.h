// Polynomials over GF(2) for the twisters' skip-ahead: with T the one-step map of a
// generator and phi(T) = 0 (tools/twister_poly.py), T^M = g(T) for g = x^M mod phi.
#pragma once
#include <cstdint>
#include <cstring>
#include <initializer_list>

#include "simd/clmul.h"

namespace nrx::rng::gf2 {

constexpr int kMaxDegree = 19968;
constexpr int kPolyWords = kMaxDegree / 64 + 1;

// A polynomial of degree below 2 * kMaxDegree, bit i = coefficient of x^i; the spare
// words take the last round of a product.
struct Poly {
  uint64_t w[2 * kPolyWords + 16];
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
  // Bits hi down to lo (all >= D) of p cleared by adding phi x^(k - D) for each set bit k.
  void reduce_bits(Poly& p, int hi, int lo) const {
    const int words = degree / 64 + 1;
    for (int k = hi; k >= lo; --k) {
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

// 64 bits of p from bit k on (bits below 0 read as zero).
inline uint64_t bits_from(const uint64_t* p, int k) {
  if (k < 0) return p[0] << -k;
  const int q = k >> 6, r = k & 63;
  return r ? (p[q] >> r) | (p[q + 1] << (64 - r)) : p[q];
}

// floor(x^128 / (x^64 + a)) - x^64: with it floor(w x^64 / (x^64 + a)) = w ^ hi(w mu),
// exact over GF(2) (Barrett).
inline uint64_t barrett(uint64_t a) {
  unsigned __int128 r = (unsigned __int128)a << 64, q = 0;
  for (int i = 63; i >= 0; --i)
    if ((r >> (64 + i)) & 1)
      r ^= ((unsigned __int128)1 << (64 + i)) ^ ((unsigned __int128)a << i), q |= (unsigned __int128)1 << i;
  return uint64_t(q);
}

// p mod phi a word at a time: word c >= t of p is cleared by adding Q phi x^(64c - D'),
// phi' = phi x^sd of degree D' = 64 t, with the quotient word Q from one product;
// the sd bits from D up to D' then by Q' phi, Q' from phi's own top 64 bits.
struct Reducer {
  uint64_t shifted[kPolyWords + 2];
  int t, sd;
  uint64_t mu, mu_tail;
  explicit Reducer(const Modulus& m) : shifted{}, t((m.degree + 63) / 64), sd(64 * t - m.degree) {
    for (int i = 0; i <= m.degree; ++i)
      if (m.phi.bit(i)) shifted[(i + sd) >> 6] |= uint64_t(1) << ((i + sd) & 63);
    mu = barrett(shifted[t - 1]);
    mu_tail = barrett(bits_from(m.phi.w, m.degree - 64));
  }
  void reduce(Poly& p, const Modulus& m) const {
    for (int c = (2 * m.degree - 2) / 64; c >= t; --c) {
      const uint64_t w = p.w[c];
      if (w) simd::clmul_accumulate(p.w + c - t, w ^ simd::clmul_hi(w, mu), shifted, t + 1);
    }
    if (!sd) return;
    const uint64_t w = bits_from(p.w, m.degree);
    if (w) simd::clmul_accumulate(p.w, w ^ simd::clmul_hi(w, mu_tail), m.phi.w, m.degree / 64 + 1);
  }
};

// x^e mod phi into g, left to right: the leading bits of e while their value stays
// below D give a single term, then square and multiply by x where e has a one.
inline void power_of_x(Poly& g, unsigned __int128 e, const Modulus& m) {
  std::memset(&g, 0, sizeof g);
  int b = 127;
  while (b >= 0 && !((e >> b) & 1)) --b;
  unsigned lead = 0;
  for (; b >= 0 && 2 * lead + unsigned((e >> b) & 1) < unsigned(m.degree); --b)
    lead = 2 * lead + unsigned((e >> b) & 1);
  g.flip(int(lead));
  if (b < 0) return;
  const Reducer reducer(m);
  for (; b >= 0; --b) {
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
    reducer.reduce(sq, m);
    if ((e >> b) & 1) {  // times x
      for (int i = 2 * kPolyWords - 1; i > 0; --i) sq.w[i] = (sq.w[i] << 1) | (sq.w[i - 1] >> 63);
      sq.w[0] <<= 1;
      if (sq.bit(m.degree)) m.reduce_bits(sq, m.degree, m.degree);
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
