// Polynomials over GF(2) for the twisters' skip-ahead: with T the one-step map of a
// generator and phi(T) = 0 (tools/twister_poly.py), T^M = g(T) for g = x^M mod phi.
#pragma once
#include <cstdint>
#include <cstring>
#include <initializer_list>

#include "simd/word32.h"

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

// Multiples of phi for clearing a byte at a time: entry b is Q_b phi x^sh, whose byte
// `top` is b, with sh the shift that puts bit D + sh on a byte boundary.
constexpr size_t kEntryBytes = (kMaxDegree / 8 + 2 + 63) / 64 * 64;
constexpr size_t kByteTableBytes = 256 * kEntryBytes;

struct ByteTable {
  uint8_t* entry;  // kByteTableBytes, from the caller
  int sh, top;
  ByteTable(uint8_t* mem, const Modulus& m) : entry(mem), sh((8 - m.degree % 8) % 8), top((m.degree + sh) / 8) {
    std::memset(entry, 0, kByteTableBytes);
    auto add_shifted = [&](uint8_t* v, int s) {  // v ^= phi x^s, s < 16
      for (int i = 0; i <= m.degree; ++i)
        if (m.phi.bit(i)) v[(i + s) >> 3] ^= uint8_t(1u << ((i + s) & 7));
    };
    for (int j = 0; j < 8; ++j) {
      uint8_t* v = at(1 << j);
      add_shifted(v, j + sh);
      for (int i = j - 1; i >= 0; --i)
        if ((v[top] >> i) & 1) add_shifted(v, i + sh);
    }
    for (int b = 3; b < 256; ++b) {
      const int low = b & -b;
      if (b == low) continue;
      std::memcpy(at(b), at(b - low), kEntryBytes);
      simd::xor_bytes(at(b), at(low), top + 1);
    }
  }
  uint8_t* at(int b) const { return entry + size_t(b) * kEntryBytes; }
  // p mod phi for p of degree below 2D: whole bytes from the top, then the bits of the
  // byte that straddles D one at a time.
  void reduce(Poly& p, const Modulus& m) const {
    auto* bytes = reinterpret_cast<uint8_t*>(p.w);
    for (int c = (2 * m.degree - 2) / 8; c >= top; --c)
      if (bytes[c]) simd::xor_bytes(bytes + c - top, at(bytes[c]), top + 1);
    if (sh) m.reduce_bits(p, m.degree + sh - 1, m.degree);
  }
};

// x^e mod phi into g, left to right: the leading bits of e while their value stays
// below D give a single term, then square and multiply by x where e has a one.
inline void power_of_x(Poly& g, unsigned __int128 e, const Modulus& m, uint8_t* table_memory) {
  std::memset(&g, 0, sizeof g);
  int b = 127;
  while (b >= 0 && !((e >> b) & 1)) --b;
  unsigned lead = 0;
  for (; b >= 0 && 2 * lead + unsigned((e >> b) & 1) < unsigned(m.degree); --b) lead = 2 * lead + unsigned((e >> b) & 1);
  g.flip(int(lead));
  if (b < 0) return;
  const ByteTable table(table_memory, m);
  for (; b >= 0; --b) {
    Poly sq;
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
    table.reduce(sq, m);
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
