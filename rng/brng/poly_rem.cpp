// x^N mod phi over GF(2), exported for callers that build their own skip-ahead.
#include "rng/brng/gf2_jump.h"
#include "rng/internal.h"

extern "C" NRX_RNG_API int32_t _druPolyRem(uint32_t* rem, uint64_t n, int32_t degree, int32_t nterms,
                                           const uint32_t* terms) {
  using namespace nrx::rng::gf2;
  if (!rem || !valid_terms(degree, nterms, terms)) return DRU_E_BAD_ARGUMENT;
  Poly g;
  power_of_x(g, n, Modulus(terms, nterms));
  std::memcpy(rem, g.w, size_t(degree + 31) / 32 * 4);
  return DRU_OK;
}
