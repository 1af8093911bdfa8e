// The four C entry points of a generator: seeding, then double, float and 32-bit word
// output. G supplies
//   static int32_t seed(DruStream* s, int32_t n, const uint32_t* params);
//   static int32_t leapfrog(DruStream* s, int32_t k, int32_t total);      if it splits so
//   static int32_t skip(DruStream* s, uint64_t count);                    if it skips
//   static int32_t skip_words(DruStream* s, int32_t n, const uint64_t* count); multi-word
//   template <class T> static void reals(DruStream* s, int64_t n, T* r, double a, double b);
//   static void words(DruStream* s, int64_t n, uint32_t* r);
//   (outputs that can fail return int32_t statuses instead of void)
//   static bool usable(); static constexpr int32_t kUnusable;  if output needs a
//                                                  processor feature (status without it)
// The one Init dispatcher refuses the methods the generator's row of NRX_BRNG_LIST does
// not list. Output of an existing stream succeeds unless the generator names a processor
// feature it lacks. Used inside namespace
// nrx::rng (the functions keep their C names).
#pragma once
#include <type_traits>

#include "rng/internal.h"
#include "rng/registry/rows.h"

namespace nrx::rng {

// The count of a one-word skip-ahead seeding: params[0] low, params[1] (when given) high.
inline uint64_t skip_count(int32_t n, const uint32_t* params) {
  return uint64_t(params[0]) | (n >= 2 ? uint64_t(params[1]) << 32 : 0);
}

template <class G, uint32_t Split> int32_t init_dispatch(int32_t method, DruStream* s, int32_t n, const uint32_t* p) {
  switch (method) {
    case DRU_INIT_STANDARD: return G::seed(s, n, p);
    case DRU_INIT_LEAPFROG:
      if constexpr ((Split & DRU_SPLIT_LEAPFROG) != 0) return G::leapfrog(s, int32_t(p[0]), n);
      return DRU_E_NO_LEAPFROG;
    case DRU_INIT_SKIP_AHEAD:
      if constexpr ((Split & DRU_SPLIT_SKIP) != 0) return G::skip(s, skip_count(n, p));
      return DRU_E_NO_SKIP_AHEAD;
    case DRU_INIT_SKIP_AHEAD_EX:
      if constexpr ((Split & DRU_SPLIT_SKIP_EX) != 0) return G::skip_words(s, n, reinterpret_cast<const uint64_t*>(p));
      return DRU_E_NO_SKIP_AHEAD_EX;
    default: return DRU_E_BAD_METHOD;
  }
}

// The status of an output: the generator's own when it returns one, else 0.
template <class F> int32_t output_result(F&& f) {
  if constexpr (std::is_void_v<decltype(f())>) {
    f();
    return DRU_OK;
  } else {
    return f();
  }
}

// 0, or the generator's status when the processor lacks what its output needs.
template <class G> int32_t output_status() {
  if constexpr (requires { G::usable(); }) return G::usable() ? int32_t(DRU_OK) : G::kUnusable;
  return DRU_OK;
}

}  // namespace nrx::rng

#define NRX_BRNG_ENTRY_POINTS(Name, G)                                                                         \
  extern "C" {                                                                                                 \
  NRX_RNG_API int32_t _druBRng##Name##InitStream(int32_t method, DruStream* s, int32_t n, const uint32_t* p) { \
    return init_dispatch<G, kSplit##Name>(method, s, n, p);                                                    \
  }                                                                                                            \
  NRX_RNG_API int32_t _drudBRng##Name(DruStream* s, int32_t n, double* r, double a, double b) {                \
    if (const int32_t st = output_status<G>()) return st;                                                      \
    return output_result([&] { return G::reals(s, n, r, a, b); });                                             \
  }                                                                                                            \
  NRX_RNG_API int32_t _drusBRng##Name(DruStream* s, int32_t n, float* r, float a, float b) {                   \
    if (const int32_t st = output_status<G>()) return st;                                                      \
    return output_result([&] { return G::reals(s, n, r, double(a), double(b)); });                             \
  }                                                                                                            \
  NRX_RNG_API int32_t _druiBRng##Name(DruStream* s, int32_t n, uint32_t* r) {                                  \
    if (const int32_t st = output_status<G>()) return st;                                                      \
    return output_result([&] { return G::words(s, n, r); });                                                   \
  }                                                                                                            \
  }
