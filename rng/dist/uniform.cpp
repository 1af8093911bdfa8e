// The continuous uniform law on [a, b): the stream's own real output, optionally
// clamped into [a, b] (the accurate method).
#include <algorithm>

#include "rng/internal.h"

namespace nrx::rng {
namespace {

template <class T> struct RealOutput;
template <> struct RealOutput<float> {
  static DruGenSFn of(const BrngProperties* r) { return r->GenS; }
};
template <> struct RealOutput<double> {
  static DruGenDFn of(const BrngProperties* r) { return r->GenD; }
};

template <class T> int32_t uniform(int32_t method, DruStream* stream, int32_t n, T* r, T a, T b) {
  if ((method & ~DRU_RNG_UNIFORM_ACCURATE) != 0 || n < 0 || (n > 0 && !r) || !(a < b) || !stream)
    return DRU_E_BAD_ARGUMENT;
  const int32_t st = RealOutput<T>::of(record_of(stream->brng))(stream, n, r, a, b);
  if (st < 0) return st;
  if (method & DRU_RNG_UNIFORM_ACCURATE)
    for (int32_t i = 0; i < n; ++i) r[i] = std::min(b, std::max(a, r[i]));
  return st;
}

}  // namespace
}  // namespace nrx::rng

extern "C" {

NRX_RNG_API int32_t drusRngUniform(int32_t method, DruStream* stream, int32_t n, float* r, float a, float b) {
  return nrx::rng::uniform(method, stream, n, r, a, b);
}
NRX_RNG_API int32_t drudRngUniform(int32_t method, DruStream* stream, int32_t n, double* r, double a, double b) {
  return nrx::rng::uniform(method, stream, n, r, a, b);
}

}  // extern "C"
