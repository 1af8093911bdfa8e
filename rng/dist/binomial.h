// The binomial law inside the library: the multinomial law draws through it.
#pragma once
#include <cstdint>

#include "rng/dist/discrete.h"

namespace nrx::rng::dist {

// Below this mean of the rarer outcome (trials min(p, 1 - p)) the law is inverted,
// at and above it BTPE's hat is used.
inline constexpr double kBinomialThreshold = 30;

// BTPE's hat for `trials` and the rarer outcome's probability r <= 1/2.
struct BinomialHat {
  Tpe hat;
  double n, r, q;
};
BinomialHat binomial_hat(int32_t trials, double r);
// One BTPE variate of the rarer outcome's count; false when the generator failed.
bool binomial_btpe(const BinomialHat& h, Uniforms& src, double& out);
// One variate by sequential inversion for a small mean of the rarer outcome, given
// first = (1 - r)^trials.
bool binomial_search(int32_t trials, double r, double first, Uniforms& src, int32_t& out);

}  // namespace nrx::rng::dist
