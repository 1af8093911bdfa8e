// The processor's random-number instruction: one 32-bit word, and whether it was ready.
#pragma once
#include "simd/intrinsics.h"

#include <cstdint>

namespace nrx::simd {

// 1 with a fresh word in *w, 0 when the instruction reported no word available.
__attribute__((target("rdrnd"))) inline int rdrand_word(uint32_t* w) {
  unsigned int v = 0;
  const int ok = _rdrand32_step(&v);
  *w = v;
  return ok;
}

}  // namespace nrx::simd
