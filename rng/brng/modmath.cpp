// Exported modular helpers and the built-in MRG32K3A matrix-power tables.
#include "rng/brng/modmath.h"

#include "rng/brng/mrg32k3a.h"
#include "rng/internal.h"

namespace nrx::rng {
namespace {

// A^(2^i) for i = 0 .. 255: exponents of four 64-bit words.
struct PowerTable {
  Mat3 p[256];
};
constexpr PowerTable make_powers(const Mat3& a, uint32_t m) {
  PowerTable t{};
  t.p[0] = a;
  for (int i = 1; i < 256; ++i) t.p[i] = mat_mul(t.p[i - 1], t.p[i - 1], m);
  return t;
}
constinit const PowerTable kPow1 = make_powers(kMrgA1, kMrgM1);
constinit const PowerTable kPow2 = make_powers(kMrgA2, kMrgM2);

void table_apply(const PowerTable& t, const Mat3& a, uint32_t m, uint32_t v[3], int32_t nwords, const uint64_t* e) {
  for (int32_t w = 4; w < nwords; ++w)
    if (e[w] != 0) return mat_pow_apply(a, v, m, nwords, e);
  const int32_t words = nwords < 4 ? nwords : 4;
  for (int32_t w = 0; w < words; ++w)
    for (int i = 0; i < 64; ++i)
      if ((e[w] >> i) & 1) mat_apply(t.p[64 * w + i], v, m);
}

}  // namespace

void mrg_skip(uint32_t x1[3], uint32_t x2[3], int32_t nwords, const uint64_t* e) {
  table_apply(kPow1, kMrgA1, kMrgM1, x1, nwords, e);
  table_apply(kPow2, kMrgA2, kMrgM2, x2, nwords, e);
}

}  // namespace nrx::rng

using namespace nrx::rng;

extern "C" {

NRX_RNG_API uint32_t _druiPowMod(uint32_t a, uint64_t e, uint32_t m) { return m ? powmod(a, e, m) : 0; }
NRX_RNG_API uint32_t _druiPowMod2P31M1(uint32_t a, uint64_t e) { return powmod31(a, e); }
NRX_RNG_API uint64_t _druiPowMod2P59(uint64_t a, uint64_t e) { return powmod59(a, e); }

NRX_RNG_API void _druiVect3PowMod(uint32_t v[3], const uint32_t M[9], uint32_t m, uint64_t e) {
  _druiVect3PowArrayMod(v, M, m, 1, &e);
}

NRX_RNG_API void _druiVect3PowArrayMod(uint32_t v[3], const uint32_t M[9], uint32_t m, int32_t nwords,
                                       const uint64_t* e) {
  if (m == 0) return;
  Mat3 a{};
  for (int i = 0; i < 9; ++i) a.e[i] = M[i] % m;
  for (int i = 0; i < 3; ++i) v[i] %= m;
  mat_pow_apply(a, v, m, nwords, e);
}

NRX_RNG_API void _druiVect3PowArrayMod_M1(uint32_t v[3], int32_t nwords, const uint64_t* e) {
  table_apply(kPow1, kMrgA1, kMrgM1, v, nwords, e);
}
NRX_RNG_API void _druiVect3PowArrayMod_M2(uint32_t v[3], int32_t nwords, const uint64_t* e) {
  table_apply(kPow2, kMrgA2, kMrgM2, v, nwords, e);
}

}  // extern "C"
