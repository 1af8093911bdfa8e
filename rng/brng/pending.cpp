// Generators that are registered but not built yet. This list is the one place that
// names them: each function returns DRU_E_BRNG_INVALID until its generator exists,
// so streams of them can be created (the seeding status says the generator is absent)
// but never produce numbers.
#include "rng/internal.h"

// Sobol, Niederreiter, the Mersenne twisters, the hardware and counter-based generators.
#define NRX_PENDING_BRNGS(X) \
  X(Sobol)                   \
  X(Niederr)                 \
  X(MT19937)                 \
  X(MT2203)                  \
  X(SFMT19937)               \
  X(TRNG)                    \
  X(ARS5)                    \
  X(PHILOX4X32X10)

#define NRX_PENDING_FUNCTIONS(Name)                                                                       \
  NRX_RNG_API int32_t _druBRng##Name##InitStream(int32_t, DruStream*, int32_t, const uint32_t*) {        \
    return DRU_E_BRNG_INVALID;                                                                            \
  }                                                                                                       \
  NRX_RNG_API int32_t _drusBRng##Name(DruStream*, int32_t, float*, float, float) { return DRU_E_BRNG_INVALID; } \
  NRX_RNG_API int32_t _drudBRng##Name(DruStream*, int32_t, double*, double, double) {                    \
    return DRU_E_BRNG_INVALID;                                                                            \
  }                                                                                                       \
  NRX_RNG_API int32_t _druiBRng##Name(DruStream*, int32_t, uint32_t*) { return DRU_E_BRNG_INVALID; }

extern "C" {

NRX_PENDING_BRNGS(NRX_PENDING_FUNCTIONS)

// Caller-fed abstract streams: seeding and the one real output of each kind.
NRX_RNG_API int32_t _druBRngiAbstractInitStream(int32_t, DruStream*, int32_t, const uint32_t*) {
  return DRU_E_BRNG_INVALID;
}
NRX_RNG_API int32_t _druBRngdAbstractInitStream(int32_t, DruStream*, int32_t, const uint32_t*) {
  return DRU_E_BRNG_INVALID;
}
NRX_RNG_API int32_t _druBRngsAbstractInitStream(int32_t, DruStream*, int32_t, const uint32_t*) {
  return DRU_E_BRNG_INVALID;
}
NRX_RNG_API int32_t _druiBRngiAbstract(DruStream*, int32_t, uint32_t*) { return DRU_E_BRNG_INVALID; }
NRX_RNG_API int32_t _drudBRngdAbstract(DruStream*, int32_t, double*, double, double) { return DRU_E_BRNG_INVALID; }
NRX_RNG_API int32_t _drusBRngsAbstract(DruStream*, int32_t, float*, float, float) { return DRU_E_BRNG_INVALID; }

}  // extern "C"
