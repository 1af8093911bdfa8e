// Where TRNG takes its words: the processor's RDRAND behind two replaceable functions, so
// a test can stand in a source that fails on demand.
#pragma once
#include <cstdint>

namespace nrx::rng {

struct RdrandSource {
  bool (*present)();            // the processor has RDRAND
  int (*read)(uint32_t* word);  // 1 with a word, 0 when the read failed
};
// The source TRNG uses; the processor's own unless replaced.
extern RdrandSource rdrand_source;

}  // namespace nrx::rng
