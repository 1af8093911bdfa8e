// x^N mod phi over GF(2), exported for callers that build their own skip-ahead.
#include "nrx/core.h"
#include "rng/brng/gf2_jump.h"
#include "rng/internal.h"

extern "C" NRX_RNG_API int32_t _druPolyRem(uint32_t* rem, uint64_t n, int32_t degree, int32_t nterms,
                                           const uint32_t* terms) {
  using namespace nrx::rng::gf2;
  if (!rem || !valid_terms(degree, nterms, terms)) return DRU_E_BAD_ARGUMENT;
  auto* g = static_cast<Poly*>(nrx_serv_allocate(sizeof(Poly), 128));
  if (!g) return DRU_E_NO_MEMORY;
  power_of_x(*g, n, Modulus(terms, nterms));
  std::memcpy(rem, g->w, size_t(degree + 31) / 32 * 4);
  nrx_serv_deallocate(g);
  return DRU_OK;
}
