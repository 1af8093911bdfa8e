// The output slots of the abstract records that do not match the stream's kind: one
// behaviour under six names, doing nothing and returning DRU_E_ABSTRACT_KIND.
#include "rng/internal.h"

extern "C" {

NRX_RNG_API int32_t _drudBRngiAbstract(DruStream*, int32_t, double*, double, double) { return DRU_E_ABSTRACT_KIND; }
NRX_RNG_API int32_t _drudBRngsAbstract(DruStream*, int32_t, double*, double, double) { return DRU_E_ABSTRACT_KIND; }
NRX_RNG_API int32_t _druiBRngdAbstract(DruStream*, int32_t, uint32_t*) { return DRU_E_ABSTRACT_KIND; }
NRX_RNG_API int32_t _druiBRngsAbstract(DruStream*, int32_t, uint32_t*) { return DRU_E_ABSTRACT_KIND; }
NRX_RNG_API int32_t _drusBRngdAbstract(DruStream*, int32_t, float*, float, float) { return DRU_E_ABSTRACT_KIND; }
NRX_RNG_API int32_t _drusBRngiAbstract(DruStream*, int32_t, float*, float, float) { return DRU_E_ABSTRACT_KIND; }

}  // extern "C"
