// Splitting, blocking, copying and persistence never change the sequence: each
// property is checked against plain drawing on every generator.
#include <cstdio>
#include <string>

#include "tests/rng/rng_fixture.h"

using namespace nrx_test;

namespace {

class Consistency : public testing::TestWithParam<Gen> {};

// Draws of a stream's words with index range [from, from + count) of a longer run.
std::vector<uint32_t> slice(const std::vector<uint32_t>& v, int words, size_t from, size_t count) {
  return {v.begin() + from * words, v.begin() + (from + count) * words};
}

// Guards against skip-ahead powers off by one or ignoring the high word.
TEST_P(Consistency, SkipAheadEqualsDrawAndDiscard) {
  const Gen& g = GetParam();
  for (uint64_t n : {0ull, 1ull, 7ull, 31ull, 32ull, 33ull, 1000ull, 12345ull}) {
    Stream a(g), b(g);
    const auto before = a.image();
    const int32_t st = _druSkipAheadStream(a.s, n);
    if (!g.skip) {
      EXPECT_EQ(st, DRU_E_NO_SKIP_AHEAD);
      EXPECT_EQ(a.image(), before) << "refused skip changed the stream";
      continue;
    }
    ASSERT_EQ(st, 0);
    const auto all = b.ints(int32_t(n) + 40);
    EXPECT_EQ(a.ints(40), slice(all, g.words, n, 40)) << g.name << " skip " << n;
  }
}

// Guards against leapfrog starting at the wrong member or striding wrongly, also
// combined with a later skip-ahead (which counts leapfrogged outputs). The k-th of
// `total` streams delivers the values of 0-based index k + i total - 1, i = 1, 2, ...
TEST_P(Consistency, LeapfrogTakesEveryTotalthValue) {
  const Gen& g = GetParam();
  const int pairs[][2] = {{0, 1}, {2, 5}, {7, 8}, {3, 33}};
  for (const auto& kt : pairs) {
    Stream a(g), b(g);
    const auto before = a.image();
    const int32_t st = _druLeapfrogStream(a.s, kt[0], kt[1]);
    if (!g.leapfrog) {
      EXPECT_EQ(st, DRU_E_NO_LEAPFROG);
      EXPECT_EQ(a.image(), before);
      continue;
    }
    ASSERT_EQ(st, 0);
    ASSERT_EQ(_druSkipAheadStream(a.s, 3), 0);
    const auto all = b.ints(60 * kt[1]);
    std::vector<uint32_t> want;
    for (int i = 4; i < 51; ++i) {
      const auto one = slice(all, g.words, size_t(kt[0] + i * kt[1] - 1), 1);
      want.insert(want.end(), one.begin(), one.end());
    }
    EXPECT_EQ(a.ints(47), want) << g.name << " k " << kt[0] << " of " << kt[1];
  }
}

// Guards against block and tail paths disagreeing or dropping state at call ends.
TEST_P(Consistency, OneCallEqualsManyCallsOfRandomLength) {
  const Gen& g = GetParam();
  Stream whole(g), ints(g), reals(g), floats(g);
  const auto wi = whole.ints(10000);
  Stream whole_r(g), whole_f(g);
  const auto wr = whole_r.reals(10000);
  const auto wf = whole_f.floats(10000);
  std::vector<uint32_t> pi;
  std::vector<double> pr;
  std::vector<float> pf;
  uint32_t lcg = 99;
  for (int done = 0; done < 10000;) {
    lcg = lcg * 1103515245u + 12345u;
    const int len = std::min<int>(10000 - done, int(lcg >> 16) % 700 + 1);
    auto a = ints.ints(len);
    auto b = reals.reals(len);
    auto c = floats.floats(len);
    pi.insert(pi.end(), a.begin(), a.end());
    pr.insert(pr.end(), b.begin(), b.end());
    pf.insert(pf.end(), c.begin(), c.end());
    done += len;
  }
  EXPECT_EQ(pi, wi);
  EXPECT_EQ(pr, wr);
  EXPECT_EQ(pf, wf);
  for (double v : wr) ASSERT_TRUE(v >= -1.0 && v <= 3.0) << v;
}

// Guards against images that lose a word of state or the cache chunk.
TEST_P(Consistency, SaveLoadContinueEqualsUninterrupted) {
  const Gen& g = GetParam();
  Stream a(g);
  a.ints(123);
  const auto img = a.image();
  Stream m;
  ASSERT_EQ(_druLoadStreamM(&m.s, img.data()), 0);
  const std::string path = testing::TempDir() + "rng_" + g.name + ".bin";
  ASSERT_EQ(_druSaveStreamF(a.s, path.data(), int32_t(path.size())), 0);
  Stream f;
  ASSERT_EQ(_druLoadStreamF(&f.s, int32_t(path.size()), path.data()), 0);
  EXPECT_EQ(m.image(), img);
  const auto want = a.ints(500);
  EXPECT_EQ(m.ints(500), want);
  EXPECT_EQ(f.ints(500), want);
  std::remove(path.c_str());
}

// Guards against copies sharing state or chunk data with the original.
TEST_P(Consistency, CopyEqualsOriginal) {
  const Gen& g = GetParam();
  Stream a(g), c, d(g);
  a.ints(77);
  ASSERT_EQ(_druCopyStream(&c.s, a.s), 0);
  ASSERT_EQ(_druCopyStreamState(d.s, a.s), 0);
  EXPECT_EQ(_druGetNumChunks(c.s), _druGetNumChunks(a.s));
  const auto want = a.ints(300);
  EXPECT_EQ(c.ints(300), want);
  EXPECT_EQ(d.ints(300), want);
  EXPECT_EQ(_druCopyStreamState(a.s, a.s), 0);
}

INSTANTIATE_TEST_SUITE_P(Generators, Consistency, testing::ValuesIn(generators()), gen_name);

// Multi-word skip-ahead of MRG32K3A: two words equal two 2^63 skips plus the rest;
// zero words beyond the fourth keep the same result.
TEST(MultiWordSkip, Mrg32k3aMatchesRepeatedSkips) {
  const Gen& g = gen(DRU_BRNG_MRG32K3A);
  Stream a(g), b(g), c(g);
  const uint64_t two[2] = {5, 1};  // 2^64 + 5
  const uint64_t five[5] = {5, 1, 0, 0, 0};
  ASSERT_EQ(_druSkipAheadStreamEx(a.s, 2, two), 0);
  ASSERT_EQ(_druSkipAheadStreamEx(c.s, 5, five), 0);
  for (int i = 0; i < 2; ++i) ASSERT_EQ(_druSkipAheadStream(b.s, 1ull << 63), 0);
  ASSERT_EQ(_druSkipAheadStream(b.s, 5), 0);
  const auto want = b.ints(20);
  EXPECT_EQ(a.ints(20), want);
  EXPECT_EQ(c.ints(20), want);
}

// Twister skip-ahead across the switch from passing over words to the polynomial:
// both ways reach the same stream image, and far skips add up.
TEST(TwisterSkip, PolynomialAgreesWithPassingOver) {
  struct Row {
    int32_t brng;
    uint64_t first, draw, second;  // skip first, draw some words, skip second ...
    uint64_t whole, draw_after;    // ... equals one skip of whole, then draw_after words
  };
  const Row rows[] = {
      {DRU_BRNG_MT19937, 8388607, 1, 0, 8388608, 0},  // the last plain skip and the first jump
      {DRU_BRNG_MT19937, 1ull << 40, 0, 1ull << 41, 3ull << 40, 0},
      {DRU_BRNG_MT19937, ~0ull, 0, 0, ~0ull - 624, 624},
      {DRU_BRNG_SFMT19937, 19967, 1, 0, 19968, 0},
      {DRU_BRNG_SFMT19937, 1ull << 50, 3, 1ull << 33, (1ull << 50) + (1ull << 33), 3},
  };
  for (const Row& r : rows) {
    Stream a(gen(r.brng)), b(gen(r.brng));
    ASSERT_EQ(_druSkipAheadStream(a.s, r.first), 0);
    a.ints(int32_t(r.draw));
    ASSERT_EQ(_druSkipAheadStream(a.s, r.second), 0);
    ASSERT_EQ(_druSkipAheadStream(b.s, r.whole), 0);
    b.ints(int32_t(r.draw_after));
    EXPECT_EQ(a.image(), b.image()) << std::hex << r.brng << " " << r.first;
    EXPECT_EQ(a.ints(1000), b.ints(1000)) << std::hex << r.brng << " " << r.first;
  }
}

}  // namespace
