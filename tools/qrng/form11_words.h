// Seed words of seeding form 11 for a quasi-random stream of d dimensions, all different:
// direction numbers v_c = 2^(31 - c) times an odd number below 2^(c + 1), c = 0 .. 31, from
// a linear congruential sequence. Form 1 gives every dimension from 2 on the same numbers;
// the speed of generation does not depend on which.
#pragma once
#include <cstdint>
#include <vector>

namespace nrx::qrng_testing {

inline std::vector<uint32_t> form11_words(uint32_t d) {
  std::vector<uint32_t> p = {d, 1, 11};
  uint32_t x = 12345;
  for (uint32_t j = 0; j < d; ++j)
    for (uint32_t c = 0; c < 32; ++c) {
      x = x * 1664525u + 1013904223u;
      p.push_back(uint32_t(((uint64_t(x) | 1u) & ((uint64_t(2) << c) - 1)) << (31 - c)));
    }
  return p;
}

}  // namespace nrx::qrng_testing
