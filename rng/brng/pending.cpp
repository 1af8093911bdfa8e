// Generators that are registered but not built yet: the rows of NRX_BRNG_LIST in state
// PENDING. Their functions return DRU_E_BRNG_INVALID, so streams of them can be created
// (the seeding status says the generator is absent) but never produce numbers. An
// abstract row has one output of its own here; its other two are the wrong-kind
// function (abstract_kind.cpp).
#include "rng/internal.h"

#define NRX_PENDING_ROW(Name, NAME, id, state, seeds, zero, word, bits, members, split, cpu, avail, kind, label) \
  NRX_PENDING_##avail(Name, kind)
#define NRX_PENDING_READY(Name, kind)
#define NRX_PENDING_PENDING(Name, kind) NRX_PENDING_INIT(Name) NRX_PENDING_OUT_##kind(Name)
#define NRX_PENDING_OUT_ALL(Name) NRX_PENDING_OUT_S(Name) NRX_PENDING_OUT_D(Name) NRX_PENDING_OUT_I(Name)
#define NRX_PENDING_INIT(Name)                                                                    \
  NRX_RNG_API int32_t _druBRng##Name##InitStream(int32_t, DruStream*, int32_t, const uint32_t*) { \
    return DRU_E_BRNG_INVALID;                                                                    \
  }
#define NRX_PENDING_OUT_S(Name) \
  NRX_RNG_API int32_t _drusBRng##Name(DruStream*, int32_t, float*, float, float) { return DRU_E_BRNG_INVALID; }
#define NRX_PENDING_OUT_D(Name) \
  NRX_RNG_API int32_t _drudBRng##Name(DruStream*, int32_t, double*, double, double) { return DRU_E_BRNG_INVALID; }
#define NRX_PENDING_OUT_I(Name) \
  NRX_RNG_API int32_t _druiBRng##Name(DruStream*, int32_t, uint32_t*) { return DRU_E_BRNG_INVALID; }

extern "C" {

NRX_BRNG_LIST(NRX_PENDING_ROW)

}  // extern "C"
