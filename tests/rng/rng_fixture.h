// Shared helpers of the random stream tests: the ready generators as table rows and
// raw draws through their registry records.
#pragma once
#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
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

// Every built-in generator that is ready and has all three outputs, from the one
// generator list except the non-deterministic TRNG; families use member 17, seeds are
// the first words of a fixed key.
inline const std::vector<Gen>& generators() {
  static const std::vector<Gen> g = [] {
    const std::vector<uint32_t> key = {12345, 678, 1, 2, 3, 4};
    std::vector<Gen> out;
#define NRX_TEST_ROW(Name, NAME, id, state, seeds, zero, word, bits, members, split, cpu, avail, kind, label)    \
  NRX_BRNG_WHEN_USABLE(avail, kind,                                                                              \
                       if ((cpu) != DRU_CPU_RDRAND) out.push_back(                                               \
                           {#Name, id + (members > 17 ? 17 : 0),                                                 \
                            std::vector<uint32_t>(key.begin(), key.begin() + (seeds < 6 ? seeds : 6)), word / 4, \
                            ((split)&DRU_SPLIT_LEAPFROG) != 0, ((split)&DRU_SPLIT_SKIP) != 0});)
    NRX_BRNG_LIST(NRX_TEST_ROW)
#undef NRX_TEST_ROW
    return out;
  }();
  return g;
}

// The fixture row of a generator identifier (without member).
inline const Gen& gen(int32_t brng) {
  for (const Gen& g : generators())
    if ((g.brng & ~0xFFFFF) == brng) return g;
  throw std::runtime_error("generator not in the fixture");
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
