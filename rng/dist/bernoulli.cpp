// The Bernoulli law and the geometric law (failures before the first success), one
// float uniform per variate each.
#include <algorithm>
#include <cmath>

#include "rng/dist/discrete.h"
#include "simd/word32.h"

namespace nrx::rng::dist {
namespace {

bool bad_probability(double p) { return !(p >= 0 && p <= 1); }

int32_t bernoulli(int32_t method, DruStream* s, int32_t n, int32_t* r, double p) {
  if (bad_call(s, n, r) || method != DRU_RNG_BERNOULLI_ICDF || bad_probability(p)) return DRU_E_BAD_ARGUMENT;
  namespace v = nrx::simd;
  // Non-negative floats order as their values, so the value comparison is the bit one.
  const auto below = v::splat(float(p)), one = v::as_real(v::int_splat(1, 0.0f), 0.0f), zero = v::splat(0.0f);
  return per_uniform(s, n, 0.0f, 1.0f, [&](int32_t k, const float* u, int32_t done) {
    for (int32_t i = 0; i < k; i += v::lanes<float>) {
      const auto lanes = v::tail<float>(k - i);
      const auto hit = v::lt(v::masked_load(u + i, lanes, 1.0f), below);
      v::store_words(reinterpret_cast<uint32_t*>(r + done + i), lanes, v::as_int(v::select(hit, one, zero)));
    }
  });
}

int32_t geometric(int32_t method, DruStream* s, int32_t n, int32_t* r, double p) {
  if (bad_call(s, n, r) || method != DRU_RNG_GEOMETRIC_ICDF || bad_probability(p) || p == 0) return DRU_E_BAD_ARGUMENT;
  // 1 / ln(1 - p); -0 at p = 1, where every variate is 0.
  const float c = float(1 / std::log1p(-p));
  Frame frame(&gaussian_callback<float>);
  namespace v = nrx::simd;
  // Counts past 2^31 - 1 (p below about 1e-9 and u near 0) stop at 2^31 - 128.
  const auto scale = v::splat(c), most = v::splat(2147483520.0f);
  alignas(64) float lu[kBlock];
  return per_uniform(s, n, 0.0f, 1.0f, [&](int32_t k, const float* u, int32_t done) {
    Vm<float>::ln(k, u, lu);
    for (int32_t i = 0; i < k; i += v::lanes<float>) {
      const auto lanes = v::tail<float>(k - i);
      const auto x = v::round<v::kRoundDown>(v::mul(scale, v::masked_load(lu + i, lanes, 0.0f)));
      v::store_words(reinterpret_cast<uint32_t*>(r + done + i), lanes, v::to_int(v::min(x, most)));
    }
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
