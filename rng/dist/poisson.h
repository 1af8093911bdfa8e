// The Poisson law with a mean per variate inside the library: the negative
// binomial law draws through it.
#pragma once
#include <cstdint>

#include "rng/dist/discrete.h"

namespace nrx::rng::dist {

// Below this mean the law is inverted, at and above it PTPE's hat is used.
inline constexpr double kPoissonThreshold = 27;
// Largest mean accepted, 2^30: the variates stay well inside 32 bits.
inline constexpr double kPoissonMaxMean = 1073741824.0;

// r[i] ~ Poisson(lambda[i]) for i < k, lambda[i] >= 0, uniforms from src.
int32_t poisson_each(int32_t k, const double* lambda, int32_t* r, Uniforms& src);

}  // namespace nrx::rng::dist
