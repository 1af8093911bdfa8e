// Shared helpers of the random stream tests: the five generators as table rows and
// raw draws through their registry records.
#pragma once
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "nrx/core.h"
#include "nrx/rng.h"

namespace nrx_test {

// A 64-byte block from the library's allocator, for chunk data.
inline void* nrx_serv_test_block() { return nrx_serv_allocate(64, 128); }

struct Gen {
  const char* name;
  int32_t brng;
  std::vector<uint32_t> seed;
  int words;  // 32-bit words per integer output
  bool leapfrog, skip;
};

inline const std::vector<Gen>& generators() {
  static const std::vector<Gen> g = {
      {"MCG31M1", DRU_BRNG_MCG31M1, {12345}, 1, true, true},
      {"MCG59", DRU_BRNG_MCG59, {12345, 678}, 2, true, true},
      {"MRG32K3A", DRU_BRNG_MRG32K3A, {1, 2, 3, 4, 5, 6}, 1, false, true},
      {"R250", DRU_BRNG_R250, {4711}, 1, false, false},
      {"WH", DRU_BRNG_WH + 17, {1, 2, 3, 4}, 4, true, true},
  };
  return g;
}

struct Stream {
  DruStream* s = nullptr;
  Stream() = default;
  explicit Stream(const Gen& g) { EXPECT_EQ(_druNewStreamEx(&s, g.brng, int32_t(g.seed.size()), g.seed.data()), 0); }
  ~Stream() { _druDeleteStream(&s); }
  Stream(const Stream&) = delete;
  Stream& operator=(const Stream&) = delete;
  BrngProperties props() const {
    BrngProperties p{};
    EXPECT_EQ(_druGetBrngProperties(int32_t(s->brng), &p), 0);
    return p;
  }
  int words() const { return props().WordBytes / 4; }
  std::vector<uint32_t> ints(int32_t n) const {
    std::vector<uint32_t> r(size_t(n) * words() + 1);
    EXPECT_EQ(props().GenI(s, n, r.data()), 0);
    r.pop_back();
    return r;
  }
  std::vector<double> reals(int32_t n) const {
    std::vector<double> r(static_cast<size_t>(n));
    EXPECT_EQ(props().GenD(s, n, r.data(), -1.0, 3.0), 0);
    return r;
  }
  std::vector<float> floats(int32_t n) const {
    std::vector<float> r(static_cast<size_t>(n));
    EXPECT_EQ(props().GenS(s, n, r.data(), 0.0f, 1.0f), 0);
    return r;
  }
  // The whole image, header to last chunk.
  std::vector<unsigned char> image() const {
    std::vector<unsigned char> b(size_t(_druGetStreamSize(s)));
    EXPECT_EQ(_druSaveStreamM(s, b.data()), 0);
    return b;
  }
};

inline std::string gen_name(const testing::TestParamInfo<Gen>& i) { return i.param.name; }

}  // namespace nrx_test
