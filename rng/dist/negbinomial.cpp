// The negative binomial law (failures before the a-th success, a > 0 real) as a
// Poisson law whose mean is a gamma variate of shape a and scale (1 - p) / p.
#include <algorithm>
#include <cmath>

#include "rng/dist/poisson.h"

namespace nrx::rng::dist {
namespace {

int32_t negbinomial(int32_t method, DruStream* s, int32_t n, int32_t* r, double a, double p) {
  // Largest mean a (1 - p) / p accepted, 2^26: the gamma tail stays far below 2^31.
  constexpr double kMaxMean = 67108864.0;
  if (bad_call(s, n, r) || method != DRU_RNG_NEGBINOMIAL_MIXTURE || !(a > 0) || !(p > 0 && p <= 1) ||
      !(a * (1 - p) / p <= kMaxMean))
    return DRU_E_BAD_ARGUMENT;
  if (p == 1) {
    std::fill(r, r + n, 0);
    return DRU_OK;
  }
  const double scale = (1 - p) / p;
  alignas(64) double mean[kBlock];
  Uniforms src(s);
  for (int32_t done = 0; done < n;) {
    const int32_t k = std::min(kBlock, n - done);
    if (int32_t st = drudRngGamma(DRU_RNG_GAMMA_MARSAGLIA_TSANG, s, k, mean, a, 0.0, scale); st < 0) return st;
    Frame frame(nullptr);
    // A gamma variate far out in its tail: the count stops at the largest Poisson mean.
    for (int32_t i = 0; i < k; ++i) mean[i] = std::min(mean[i], kPoissonMaxMean);
    if (int32_t st = poisson_each(k, mean, r + done, src); st < 0) return st;
    done += k;
  }
  return DRU_OK;
}

}  // namespace
}  // namespace nrx::rng::dist

extern "C" NRX_RNG_API int32_t druiRngNegbinomial(int32_t method, DruStream* stream, int32_t n, int32_t* r, double a,
                                                  double p) {
  return nrx::rng::dist::negbinomial(method, stream, n, r, a, p);
}
