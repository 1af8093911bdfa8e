// The output slots of the abstract records that do not match the stream's kind: one
// function, exported under the six names the rows of kind I, D and S leave over, that
// does nothing and returns DRU_E_ABSTRACT_KIND.
#include "rng/internal.h"

extern "C" {

// Ignores its arguments, so every output signature may call it.
int32_t nrx_rng_wrong_kind() { return DRU_E_ABSTRACT_KIND; }

#pragma GCC diagnostic push
#if !defined(__clang__)
#pragma GCC diagnostic ignored "-Wattribute-alias"
#endif
#define NRX_WRONG_KIND_ROW(Name, NAME, id, state, seeds, zero, word, bits, members, split, cpu, avail, kind, label) \
  NRX_WRONG_KIND_##kind(Name)
#define NRX_WRONG_KIND_ALL(Name)
#define NRX_WRONG_KIND_I(Name) NRX_WRONG_KIND_S_(Name) NRX_WRONG_KIND_D_(Name)
#define NRX_WRONG_KIND_D(Name) NRX_WRONG_KIND_S_(Name) NRX_WRONG_KIND_I_(Name)
#define NRX_WRONG_KIND_S(Name) NRX_WRONG_KIND_D_(Name) NRX_WRONG_KIND_I_(Name)
#define NRX_WRONG_KIND_S_(Name)                                                  \
  NRX_RNG_API int32_t _drusBRng##Name(DruStream*, int32_t, float*, float, float) \
      __attribute__((alias("nrx_rng_wrong_kind")));
#define NRX_WRONG_KIND_D_(Name)                                                     \
  NRX_RNG_API int32_t _drudBRng##Name(DruStream*, int32_t, double*, double, double) \
      __attribute__((alias("nrx_rng_wrong_kind")));
#define NRX_WRONG_KIND_I_(Name) \
  NRX_RNG_API int32_t _druiBRng##Name(DruStream*, int32_t, uint32_t*) __attribute__((alias("nrx_rng_wrong_kind")));

NRX_BRNG_LIST(NRX_WRONG_KIND_ROW)
#pragma GCC diagnostic pop

}  // extern "C"
