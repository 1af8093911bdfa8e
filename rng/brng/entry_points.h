// The four C entry points of a generator: seeding, then double, float and 32-bit word
// output. G supplies
//   static int32_t init(int32_t method, DruStream* s, int32_t n, const uint32_t* params);
//   template <class T> static void reals(DruStream* s, int64_t n, T* r, double a, double b);
//   static void words(DruStream* s, int64_t n, uint32_t* r);
// Output of an existing stream always succeeds. Used inside namespace nrx::rng (the
// functions keep their C names).
#pragma once
#include "rng/internal.h"

namespace nrx::rng {

// The count of a one-word skip-ahead seeding: params[0] low, params[1] (when given) high.
inline uint64_t skip_count(int32_t n, const uint32_t* params) {
  return uint64_t(params[0]) | (n >= 2 ? uint64_t(params[1]) << 32 : 0);
}

}  // namespace nrx::rng

#define NRX_BRNG_ENTRY_POINTS(Name, G)                                                                         \
  extern "C" {                                                                                                 \
  NRX_RNG_API int32_t _druBRng##Name##InitStream(int32_t method, DruStream* s, int32_t n, const uint32_t* p) { \
    return G::init(method, s, n, p);                                                                           \
  }                                                                                                            \
  NRX_RNG_API int32_t _drudBRng##Name(DruStream* s, int32_t n, double* r, double a, double b) {                \
    G::reals(s, n, r, a, b);                                                                                   \
    return DRU_OK;                                                                                             \
  }                                                                                                            \
  NRX_RNG_API int32_t _drusBRng##Name(DruStream* s, int32_t n, float* r, float a, float b) {                   \
    G::reals(s, n, r, double(a), double(b));                                                                   \
    return DRU_OK;                                                                                             \
  }                                                                                                            \
  NRX_RNG_API int32_t _druiBRng##Name(DruStream* s, int32_t n, uint32_t* r) {                                  \
    G::words(s, n, r);                                                                                         \
    return DRU_OK;                                                                                             \
  }                                                                                                            \
  }
