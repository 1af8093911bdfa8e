// The normal law inside the library: other laws draw their normals through it.
#pragma once
#include <cstdint>

#include "nrx/rng.h"

namespace nrx::rng::dist {

// Method routine alone, inside a frame the caller holds; the method code is valid.
template <class T> int32_t gaussian_routine(int32_t method, DruStream* s, int32_t n, T* r, T a, T sigma);
// The public call: arguments checked, own frame.
template <class T> int32_t gaussian(int32_t method, DruStream* s, int32_t n, T* r, T a, T sigma);

}  // namespace nrx::rng::dist
