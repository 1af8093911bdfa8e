// The exponential law inside the library: the Gumbel law draws through it.
#pragma once
#include <cstdint>

#include "nrx/rng.h"

namespace nrx::rng::dist {

// a + beta E in the caller's frame; arguments already checked.
template <class T> int32_t exponential_routine(DruStream* s, int32_t n, T* r, T a, T beta);
// The public call: arguments checked, own frame.
template <class T> int32_t exponential(DruStream* s, int32_t n, T* r, T a, T beta);

}  // namespace nrx::rng::dist
