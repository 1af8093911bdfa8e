// TRNG through a scripted stand-in for RDRAND: the retry limit and its defaults, pairs
// discarded and read again, odd counts, the statuses, and the real conversions; then a
// few draws from the processor's own instruction.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <vector>

#include "nrx/rng.h"
#include "rng/brng/rdrand_source.h"

namespace {

using nrx::rng::rdrand_source;

// Read number t (from 0) gives the word 1000 + t and fails when t is in `fails`, or
// always from read `fail_from` on.
struct Script {
  std::set<uint64_t> fails;
  uint64_t fail_from = ~0ull;
  uint64_t reads = 0;
  bool present = true;
};
Script* script = nullptr;

struct Fake {
  explicit Fake(Script& s) : saved(rdrand_source) {
    script = &s;
    rdrand_source = {[] { return script->present; },
                     [](uint32_t* w) {
                       const uint64_t t = script->reads++;
                       *w = uint32_t(1000 + t);
                       return t >= script->fail_from || script->fails.count(t) ? 0 : 1;
                     }};
  }
  ~Fake() { rdrand_source = saved; }
  nrx::rng::RdrandSource saved;
};

DruStream* trng(std::vector<uint32_t> params) {
  DruStream* s = nullptr;
  EXPECT_EQ(_druNewStreamEx(&s, DRU_BRNG_TRNG, int32_t(params.size()), params.data()), DRU_OK);
  return s;
}

// Words a correct generator writes under a script: pairs (or a last single read) whose
// reads all succeed within 1 + limit tries; fewer words when a try budget runs out.
std::vector<uint32_t> expected_words(const Script& sc, uint32_t limit, int n, bool* exhausted) {
  std::vector<uint32_t> out;
  uint64_t t = 0;
  *exhausted = false;
  while (int(out.size()) < n) {
    const int k = n - int(out.size()) >= 2 ? 2 : 1;
    bool got = false;
    for (uint32_t attempt = 0; attempt <= limit && !got; ++attempt) {
      bool ok = true;
      for (int j = 0; j < k; ++j) ok = ok && !(t + j >= sc.fail_from || sc.fails.count(t + j));
      if (ok)
        for (int j = 0; j < k; ++j) out.push_back(uint32_t(1000 + t + j));
      got = ok;
      t += uint64_t(k);
    }
    if (!got) {
      *exhausted = true;
      break;
    }
  }
  return out;
}

TEST(Trng, RetryRulesAgainstScript) {
  struct Row {
    const char* fault;
    std::vector<uint32_t> params;
    uint32_t limit;
    int n;
    std::set<uint64_t> fails;
    uint64_t fail_from;
  } rows[] = {
      {"no failures", {0, 4}, 4, 7, {}, ~0ull},
      {"one failing read discards its whole pair", {0, 4}, 4, 6, {1}, ~0ull},
      {"the partner read is discarded too", {0, 4}, 4, 6, {2}, ~0ull},
      {"exactly the limit of retries still succeeds", {0, 2}, 2, 4, {0, 2, 4}, ~0ull},
      {"one more failure than the limit gives up", {0, 2}, 2, 4, {0, 2, 4, 6}, ~0ull},
      {"an odd count ends with a single read and its own retries", {0, 3}, 3, 5, {4, 5, 6}, ~0ull},
      {"the last single read gives up", {0, 1}, 1, 3, {}, 4},
      {"failure mid-call keeps the words written", {0, 3}, 3, 9, {}, 6},
      {"n = 1 keeps the default limit of 10", {5}, 10, 2, {}, 0},
      {"a zero limit means the default 10", {0, 0}, 10, 2, {}, 0},
      {"a limit of 3", {0, 3}, 3, 2, {}, 0},
  };
  for (const Row& r : rows) {
    Script sc;
    sc.fails = r.fails;
    sc.fail_from = r.fail_from;
    Fake fake(sc);
    DruStream* s = trng(r.params);
    std::vector<uint32_t> got(size_t(r.n), 7u);
    const int32_t st = _druiBRngTRNG(s, r.n, got.data());
    bool exhausted = false;
    const std::vector<uint32_t> want = expected_words(sc, r.limit, r.n, &exhausted);
    EXPECT_EQ(st, exhausted ? DRU_E_RDRAND_RETRIES : DRU_OK) << r.fault;
    for (size_t i = 0; i < got.size(); ++i)
      EXPECT_EQ(got[i], i < want.size() ? want[i] : 7u) << r.fault << ", word " << i;
    if (r.fail_from == 0) {
      EXPECT_EQ(sc.reads, 2 * (r.limit + 1)) << r.fault;  // tries of the first pair
    }
    _druDeleteStream(&s);
  }
}

TEST(Trng, NoRdrandRefusesEveryOutput) {
  Script sc;
  sc.present = false;
  Fake fake(sc);
  DruStream* s = trng({});
  uint32_t w[2] = {7, 7};
  double d[2] = {7, 7};
  float f[2] = {7, 7};
  EXPECT_EQ(_druiBRngTRNG(s, 2, w), DRU_E_NO_RDRAND);
  EXPECT_EQ(_drudBRngTRNG(s, 2, d, 0, 1), DRU_E_NO_RDRAND);
  EXPECT_EQ(_drusBRngTRNG(s, 2, f, 0, 1), DRU_E_NO_RDRAND);
  EXPECT_EQ(sc.reads, 0u);
  EXPECT_EQ(w[0], 7u);
  EXPECT_EQ(d[0], 7.0);
  EXPECT_EQ(f[0], 7.0f);
  _druDeleteStream(&s);
}

// Doubles join two reads low word first into v and give a + (b - a) v 2^-64; floats give
// a + (b - a) u 2^-32 per read. Checked in long double to within the rounding of one step.
TEST(Trng, RealsFromScriptedWords) {
  Script sc;
  Fake fake(sc);
  DruStream* s = trng({0, 1});
  const double a = -2.0, b = 5.0;
  double d[3];
  ASSERT_EQ(_drudBRngTRNG(s, 3, d, a, b), DRU_OK);
  for (int i = 0; i < 3; ++i) {
    const long double v = (long double)(1000 + 2 * i) + 4294967296.0L * (long double)(1001 + 2 * i);
    const long double want = a + (b - a) * v / 18446744073709551616.0L;
    EXPECT_LE(std::fabs((long double)d[i] - want), 2 * std::ldexp(1.0L, -52)) << i;
  }
  float f[3];
  ASSERT_EQ(_drusBRngTRNG(s, 3, f, 1.0f, 3.0f), DRU_OK);
  for (int i = 0; i < 3; ++i) {
    const double want = 1.0 + 2.0 * double(1006 + i) / 4294967296.0;
    EXPECT_LE(std::fabs(double(f[i]) - want), std::ldexp(1.0, -22)) << i;
  }
  _druDeleteStream(&s);
}

TEST(Trng, SplittingRefused) {
  DruStream* s = trng({});
  const uint64_t w[1] = {1};
  EXPECT_EQ(_druLeapfrogStream(s, 0, 2), DRU_E_NO_LEAPFROG);
  EXPECT_EQ(_druSkipAheadStream(s, 5), DRU_E_NO_SKIP_AHEAD);
  EXPECT_EQ(_druSkipAheadStreamEx(s, 1, w), DRU_E_NO_SKIP_AHEAD_EX);
  _druDeleteStream(&s);
}

// The processor's own words: no error, not constant, doubles inside [a, b).
TEST(Trng, HardwareDraws) {
  if (!rdrand_source.present()) GTEST_SKIP() << "no RDRAND";
  DruStream* s = trng({});
  std::vector<uint32_t> w(1001);
  ASSERT_EQ(_druiBRngTRNG(s, 1001, w.data()), DRU_OK);
  EXPECT_GT(std::set<uint32_t>(w.begin(), w.end()).size(), 990u);
  std::vector<double> d(4000);
  ASSERT_EQ(_drudBRngTRNG(s, 4000, d.data(), 2.0, 3.0), DRU_OK);
  double mean = 0;
  for (double x : d) {
    ASSERT_GE(x, 2.0);
    ASSERT_LT(x, 3.0);
    mean += x / 4000;
  }
  EXPECT_NEAR(mean, 2.5, 0.03);  // six standard deviations of the mean
  _druDeleteStream(&s);
}

}  // namespace
