// The Bernoulli law and the geometric law (failures before the first success), one
// float uniform per variate each.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "rng/dist/discrete.h"

namespace nrx::rng::dist {
namespace {

bool bad_probability(double p) { return !(p >= 0 && p <= 1); }

int32_t bernoulli(int32_t method, DruStream* s, int32_t n, int32_t* r, double p) {
  if (bad_call(s, n, r) || method != DRU_RNG_BERNOULLI_ICDF || bad_probability(p)) return DRU_E_BAD_ARGUMENT;
  // Non-negative floats order as their bit patterns.
  const float pf = float(p);
  int32_t pbits;
  std::memcpy(&pbits, &pf, sizeof pbits);
  return per_uniform(s, n, 0.0f, 1.0f, [&](int32_t k, const float* u, int32_t done) {
    for (int32_t i = 0; i < k; ++i) {
      int32_t bits;
      std::memcpy(&bits, &u[i], sizeof bits);
      r[done + i] = bits < pbits;
    }
  });
}

int32_t geometric(int32_t method, DruStream* s, int32_t n, int32_t* r, double p) {
  if (bad_call(s, n, r) || method != DRU_RNG_GEOMETRIC_ICDF || bad_probability(p) || p == 0)
    return DRU_E_BAD_ARGUMENT;
  // 1 / ln(1 - p); -0 at p = 1, where every variate is 0.
  const float c = float(1 / std::log1p(-p));
  Frame frame(&gaussian_callback<float>);
  alignas(64) float lu[kBlock];
  return per_uniform(s, n, 0.0f, 1.0f, [&](int32_t k, const float* u, int32_t done) {
    Vm<float>::ln(k, u, lu);
    // Counts past 2^31 - 1 (p below about 1e-9 and u near 0) stop at 2^31 - 128.
    for (int32_t i = 0; i < k; ++i) r[done + i] = int32_t(std::min(std::floor(c * lu[i]), 2147483520.0f));
  });
}

}  // namespace
}  // namespace nrx::rng::dist

using namespace nrx::rng::dist;

extern "C" {

NRX_RNG_API int32_t druiRngBernoulli(int32_t method, DruStream* stream, int32_t n, int32_t* r, double p) {
  return bernoulli(method, stream, n, r, p);
}
NRX_RNG_API int32_t druiRngGeometric(int32_t method, DruStream* stream, int32_t n, int32_t* r, double p) {
  return geometric(method, stream, n, r, p);
}

}  // extern "C"
