// Deterministic facts of the integer laws: which generators give full-width words and
// how many they consume, the degenerate parameters, refused arguments leaving the
// stream as it was, the method thresholds seen in the setup chunks, results that do
// not depend on how n is split over calls, setup chunks surviving save and load, and
// the law list naming exported functions.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <numeric>
#include <string>
#include <vector>

#include "rng_fixture.h"

namespace {

using nrx_test::gen;
using nrx_test::Stream;

using Draw = std::function<int32_t(DruStream*, int32_t, int32_t*)>;

std::vector<int32_t> draw(DruStream* s, const Draw& f, int32_t n) {
  std::vector<int32_t> r(size_t(n) + 1, -7);
  EXPECT_EQ(f(s, n, r.data()), 0);
  r.pop_back();
  return r;
}

// Setup chunk of kind id: its table length (0 for a rejection hat), -1 when absent.
int32_t setup_len(DruStream* s, uint32_t id) {
  const void* d = _druSearchChunk(s, id);
  if (!d) return -1;
  int32_t len;
  std::memcpy(&len, static_cast<const char*>(d) + 28, sizeof len);
  return len;
}

// The full-width words are the generator's own: Bits32 equals the raw output of
// MT19937-like generators, Bits64 pairs two of them (first low) and consumes both.
TEST(IntegerLaws, FullWordsFollowTheGenerator) {
  for (int32_t brng : {DRU_BRNG_MT19937, DRU_BRNG_SFMT19937, DRU_BRNG_PHILOX4X32X10}) {
    Stream a(gen(brng)), b(gen(brng));
    std::vector<uint32_t> raw(21), bits(21);
    ASSERT_EQ(druiRngUniformBits(0, a.s, 21, raw.data()), 0);
    ASSERT_EQ(druiRngUniformBits32(0, b.s, 5, bits.data()), 0);
    uint64_t wide = 0;
    ASSERT_EQ(druiRngUniformBits64(0, b.s, 1, &wide), 0);
    ASSERT_EQ(druiRngUniformBits32(0, b.s, 14, bits.data() + 7), 0);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(bits[i], raw[i]) << brng;
    EXPECT_EQ(wide, uint64_t(raw[5]) | uint64_t(raw[6]) << 32) << brng;
    for (int i = 7; i < 21; ++i) EXPECT_EQ(bits[i], raw[i]) << brng << " after the 64-bit word at " << i;
  }
}

// MCG59 gives the top 32 of its 59 bits: x >> 27 of the raw 64-bit values.
TEST(IntegerLaws, Mcg59GivesItsTopBits) {
  Stream a(gen(DRU_BRNG_MCG59)), b(gen(DRU_BRNG_MCG59));
  std::vector<uint64_t> raw(3001);
  ASSERT_EQ(druiRngUniformBits(0, a.s, 3001, reinterpret_cast<uint32_t*>(raw.data())), 0);
  std::vector<uint32_t> top(2999);
  uint64_t wide = 0;
  ASSERT_EQ(druiRngUniformBits32(0, b.s, 2999, top.data()), 0);
  ASSERT_EQ(druiRngUniformBits64(0, b.s, 1, &wide), 0);
  for (int i = 0; i < 2999; ++i) ASSERT_EQ(top[i], uint32_t(raw[i] >> 27)) << i;
  EXPECT_EQ(wide, (raw[2999] >> 27) | (raw[3000] >> 27) << 32);
}

// Generators without full-width words refuse with -1014 and the stream is unchanged.
TEST(IntegerLaws, NoFullBitsLeavesTheStream) {
  BrngProperties mine{};
  ASSERT_EQ(_druGetBrngProperties(DRU_BRNG_MT19937, &mine), 0);
  static const int32_t user = _druRegisterBrng(&mine);
  ASSERT_GT(user, 0);
  const struct {
    int32_t brng;
    std::vector<uint32_t> seed;
  } rows[] = {{DRU_BRNG_MCG31M1, {5}}, {DRU_BRNG_R250, {5}},           {DRU_BRNG_MRG32K3A, {5}},
              {DRU_BRNG_WH + 3, {5}},  {2, {5}} /* legacy MRG32K3A */, {user, {5}}};
  for (const auto& row : rows) {
    Stream s;
    ASSERT_EQ(_druNewStreamEx(&s.s, row.brng, 1, row.seed.data()), 0);
    const auto before = s.image();
    uint32_t w[4] = {};
    uint64_t q[2] = {};
    EXPECT_EQ(druiRngUniformBits32(0, s.s, 4, w), DRU_E_NO_FULL_BITS) << std::hex << row.brng;
    EXPECT_EQ(druiRngUniformBits64(0, s.s, 2, q), DRU_E_NO_FULL_BITS) << std::hex << row.brng;
    EXPECT_EQ(s.image(), before) << std::hex << row.brng;
    EXPECT_EQ(w[0] | q[0], 0u);
  }
  Stream legacy;
  ASSERT_EQ(_druNewStreamEx(&legacy.s, 3 /* legacy MCG59 */, 1, (const uint32_t[]){5}), 0);
  uint32_t w = 0;
  EXPECT_EQ(druiRngUniformBits32(0, legacy.s, 1, &w), 0);
}

// Degenerate parameters give their one value; trials = 0 neither draws nor looks up a chunk.
TEST(IntegerLaws, DegenerateParameters) {
  const struct {
    const char* what;
    Draw f;
    int32_t value;
    bool draws;
  } rows[] = {
      {"uniform [0, 1)", [](DruStream* s, int32_t n, int32_t* r) { return druiRngUniform(0, s, n, r, 0, 1); }, 0, true},
      {"uniform [-5, -4)", [](DruStream* s, int32_t n, int32_t* r) { return druiRngUniform(0, s, n, r, -5, -4); }, -5,
       true},
      {"bernoulli 0", [](DruStream* s, int32_t n, int32_t* r) { return druiRngBernoulli(0, s, n, r, 0.0); }, 0, true},
      {"bernoulli 1", [](DruStream* s, int32_t n, int32_t* r) { return druiRngBernoulli(0, s, n, r, 1.0); }, 1, true},
      {"geometric 1", [](DruStream* s, int32_t n, int32_t* r) { return druiRngGeometric(0, s, n, r, 1.0); }, 0, true},
      {"binomial 0 trials", [](DruStream* s, int32_t n, int32_t* r) { return druiRngBinomial(0, s, n, r, 0, 0.3); }, 0,
       false},
      {"binomial p 0", [](DruStream* s, int32_t n, int32_t* r) { return druiRngBinomial(0, s, n, r, 40, 0.0); }, 0,
       false},
      {"binomial p 1", [](DruStream* s, int32_t n, int32_t* r) { return druiRngBinomial(0, s, n, r, 40, 1.0); }, 40,
       false},
      {"poisson 0", [](DruStream* s, int32_t n, int32_t* r) { return druiRngPoisson(0, s, n, r, 0.0); }, 0, true},
      {"negbinomial p 1", [](DruStream* s, int32_t n, int32_t* r) { return druiRngNegbinomial(0, s, n, r, 3.0, 1.0); },
       0, false},
      {"hypergeometric all marked",
       [](DruStream* s, int32_t n, int32_t* r) { return druiRngHypergeometric(0, s, n, r, 9, 4, 9); }, 4, true},
      {"hypergeometric whole lot",
       [](DruStream* s, int32_t n, int32_t* r) { return druiRngHypergeometric(0, s, n, r, 9, 9, 3); }, 3, true},
  };
  for (const auto& row : rows) {
    Stream s(gen(DRU_BRNG_MT19937));
    const auto before = s.image();
    for (int32_t v : draw(s.s, row.f, 3000)) ASSERT_EQ(v, row.value) << row.what;
    if (!row.draws) {
      EXPECT_EQ(s.image(), before) << row.what;
    }
  }
}

// Bernoulli is exactly u < (float)p on the stream's float uniforms, geometric
// floor(ln u / ln(1 - p)) on the same uniforms within the logarithm's rounding.
TEST(IntegerLaws, BernoulliAndGeometricFollowTheUniforms) {
  for (double p : {0.3, 1e-3, 0.999}) {
    Stream a(gen(DRU_BRNG_MT19937)), b(gen(DRU_BRNG_MT19937)), c(gen(DRU_BRNG_MT19937));
    const auto u = c.floats(5000);
    const auto bern = draw(
        a.s, [p](DruStream* s, int32_t n, int32_t* r) { return druiRngBernoulli(0, s, n, r, p); }, 5000);
    const auto geo = draw(
        b.s, [p](DruStream* s, int32_t n, int32_t* r) { return druiRngGeometric(0, s, n, r, p); }, 5000);
    int off = 0;
    for (int i = 0; i < 5000; ++i) {
      ASSERT_EQ(bern[i], u[i] < float(p) ? 1 : 0) << p << " at " << i;
      const double exact = std::floor(std::log(double(u[i])) / std::log1p(-p));
      off += geo[i] != exact;
      ASSERT_LE(std::fabs(geo[i] - exact), 1) << p << " at " << i;
    }
    EXPECT_LT(off, 50) << p;
  }
}

// Every refused call returns -3 before drawing: the stream image is unchanged.
TEST(IntegerLaws, BadArgumentsLeaveTheStream) {
  const double bad_sum[] = {0.5, 0.4}, negative[] = {1.2, -0.2}, fine[] = {0.5, 0.5};
  const double lambdas[] = {1.0, -1.0, 2.0};
  const struct {
    const char* what;
    Draw f;
  } rows[] = {
      {"n < 0", [](DruStream* s, int32_t, int32_t* r) { return druiRngPoisson(0, s, -1, r, 1.0); }},
      {"uniform a = b", [](DruStream* s, int32_t n, int32_t* r) { return druiRngUniform(0, s, n, r, 3, 3); }},
      {"uniform method", [](DruStream* s, int32_t n, int32_t* r) { return druiRngUniform(1, s, n, r, 0, 3); }},
      {"bernoulli p > 1", [](DruStream* s, int32_t n, int32_t* r) { return druiRngBernoulli(0, s, n, r, 1.5); }},
      {"bernoulli NaN", [](DruStream* s, int32_t n, int32_t* r) { return druiRngBernoulli(0, s, n, r, NAN); }},
      {"geometric p 0", [](DruStream* s, int32_t n, int32_t* r) { return druiRngGeometric(0, s, n, r, 0.0); }},
      {"geometric p < 0", [](DruStream* s, int32_t n, int32_t* r) { return druiRngGeometric(0, s, n, r, -0.1); }},
      {"binomial trials < 0", [](DruStream* s, int32_t n, int32_t* r) { return druiRngBinomial(0, s, n, r, -1, 0.5); }},
      {"binomial p > 1", [](DruStream* s, int32_t n, int32_t* r) { return druiRngBinomial(0, s, n, r, 10, 1.01); }},
      {"binomial method", [](DruStream* s, int32_t n, int32_t* r) { return druiRngBinomial(1, s, n, r, 10, 0.5); }},
      {"poisson lambda < 0", [](DruStream* s, int32_t n, int32_t* r) { return druiRngPoisson(0, s, n, r, -1.0); }},
      {"poisson lambda huge", [](DruStream* s, int32_t n, int32_t* r) { return druiRngPoisson(1, s, n, r, 1e10); }},
      {"poisson method 2", [](DruStream* s, int32_t n, int32_t* r) { return druiRngPoisson(2, s, n, r, 1.0); }},
      {"poissonv negative mean",
       [&](DruStream* s, int32_t, int32_t* r) { return druiRngPoissonV(0, s, 3, r, lambdas); }},
      {"poissonv null means", [](DruStream* s, int32_t n, int32_t* r) { return druiRngPoissonV(0, s, n, r, nullptr); }},
      {"negbinomial a 0", [](DruStream* s, int32_t n, int32_t* r) { return druiRngNegbinomial(0, s, n, r, 0.0, 0.5); }},
      {"negbinomial p 0", [](DruStream* s, int32_t n, int32_t* r) { return druiRngNegbinomial(0, s, n, r, 2.0, 0.0); }},
      {"hypergeometric l < 0",
       [](DruStream* s, int32_t n, int32_t* r) { return druiRngHypergeometric(0, s, n, r, -1, 0, 0); }},
      {"hypergeometric s > l",
       [](DruStream* s, int32_t n, int32_t* r) { return druiRngHypergeometric(0, s, n, r, 10, 11, 3); }},
      {"hypergeometric m > l",
       [](DruStream* s, int32_t n, int32_t* r) { return druiRngHypergeometric(0, s, n, r, 10, 3, 11); }},
      {"hypergeometric m < 0",
       [](DruStream* s, int32_t n, int32_t* r) { return druiRngHypergeometric(0, s, n, r, 10, 3, -1); }},
      {"multinomial sum",
       [&](DruStream* s, int32_t n, int32_t* r) { return druiRngMultinomial(0, s, n / 2, r, 5, 2, bad_sum); }},
      {"multinomial negative",
       [&](DruStream* s, int32_t n, int32_t* r) { return druiRngMultinomial(0, s, n / 2, r, 5, 2, negative); }},
      {"multinomial trials < 0",
       [&](DruStream* s, int32_t n, int32_t* r) { return druiRngMultinomial(0, s, n / 2, r, -5, 2, fine); }},
      {"multinomial k 0",
       [&](DruStream* s, int32_t n, int32_t* r) { return druiRngMultinomial(0, s, n, r, 5, 0, fine); }},
      {"bits method", [](DruStream* s, int32_t n,
                         int32_t* r) { return druiRngUniformBits32(1, s, n, reinterpret_cast<uint32_t*>(r)); }},
  };
  for (const auto& row : rows) {
    Stream s(gen(DRU_BRNG_MT19937));
    ASSERT_EQ(druiRngBinomial(0, s.s, 1, std::vector<int32_t>(1).data(), 1000, 0.4), 0);  // a chunk to keep
    const auto before = s.image();
    std::vector<int32_t> r(8, -7);
    EXPECT_EQ(row.f(s.s, 8, r.data()), DRU_E_BAD_ARGUMENT) << row.what;
    EXPECT_EQ(s.image(), before) << row.what;
    EXPECT_EQ(r, std::vector<int32_t>(8, -7)) << row.what;
  }
}

// The setup chunk shows the method: a table below the threshold, the hat at and above it.
TEST(IntegerLaws, ThresholdsPickTheMethod) {
  const struct {
    const char* what;
    Draw f;
    uint32_t chunk;
    bool table;
  } rows[] = {
      {"poisson 26.99", [](DruStream* s, int32_t n, int32_t* r) { return druiRngPoisson(0, s, n, r, 26.99); },
       DRU_CHUNK_POISSON, true},
      {"poisson 27", [](DruStream* s, int32_t n, int32_t* r) { return druiRngPoisson(0, s, n, r, 27.0); },
       DRU_CHUNK_POISSON, false},
      {"binomial 100 x 0.2999",
       [](DruStream* s, int32_t n, int32_t* r) { return druiRngBinomial(0, s, n, r, 100, 0.2999); }, DRU_CHUNK_BINOMIAL,
       true},
      {"binomial 100 x 0.3", [](DruStream* s, int32_t n, int32_t* r) { return druiRngBinomial(0, s, n, r, 100, 0.3); },
       DRU_CHUNK_BINOMIAL, false},
      {"binomial 100 x 0.7001",
       [](DruStream* s, int32_t n, int32_t* r) { return druiRngBinomial(0, s, n, r, 100, 0.7001); }, DRU_CHUNK_BINOMIAL,
       true},
      {"binomial 100 x 0.7", [](DruStream* s, int32_t n, int32_t* r) { return druiRngBinomial(0, s, n, r, 100, 0.7); },
       DRU_CHUNK_BINOMIAL, false},
  };
  for (const auto& row : rows) {
    Stream s(gen(DRU_BRNG_MT19937));
    const auto x = draw(s.s, row.f, 2000);
    EXPECT_EQ(setup_len(s.s, row.chunk) > 0, row.table) << row.what;
    for (int32_t v : x) ASSERT_TRUE(v >= 0 && v <= (row.chunk == DRU_CHUNK_BINOMIAL ? 100 : 1000)) << row.what;
  }
}

// Methods with one uniform per variate give the same results however n is split.
TEST(IntegerLaws, OneUniformPerVariateIgnoresCallSizes) {
  const struct {
    const char* what;
    Draw f;
  } rows[] = {
      {"uniform", [](DruStream* s, int32_t n, int32_t* r) { return druiRngUniform(0, s, n, r, -40, 1000); }},
      {"bernoulli", [](DruStream* s, int32_t n, int32_t* r) { return druiRngBernoulli(0, s, n, r, 0.6); }},
      {"geometric", [](DruStream* s, int32_t n, int32_t* r) { return druiRngGeometric(0, s, n, r, 0.1); }},
      {"binomial table", [](DruStream* s, int32_t n, int32_t* r) { return druiRngBinomial(0, s, n, r, 50, 0.85); }},
      {"poisson table", [](DruStream* s, int32_t n, int32_t* r) { return druiRngPoisson(0, s, n, r, 12.5); }},
      {"poisson normal", [](DruStream* s, int32_t n, int32_t* r) { return druiRngPoisson(1, s, n, r, 500.0); }},
      {"hypergeometric",
       [](DruStream* s, int32_t n, int32_t* r) { return druiRngHypergeometric(0, s, n, r, 5000, 800, 1500); }},
  };
  for (const auto& row : rows) {
    Stream whole(gen(DRU_BRNG_MT19937)), split(gen(DRU_BRNG_MT19937));
    const auto a = draw(whole.s, row.f, 3001);
    std::vector<int32_t> b;
    for (int32_t part : {1, 1023, 1025, 952}) {
      const auto x = draw(split.s, row.f, part);
      b.insert(b.end(), x.begin(), x.end());
    }
    EXPECT_EQ(a, b) << row.what;
    EXPECT_EQ(whole.image(), split.image()) << row.what;
  }
}

// A stream saved after a call and loaded again continues exactly as the original,
// setup chunks included; changing the parameters replaces the chunk rather than adding one.
TEST(IntegerLaws, SetupChunksSurviveSaveAndLoad) {
  const struct {
    const char* what;
    Draw f, other;
    uint32_t chunk;
  } rows[] = {
      {"binomial BTPE", [](DruStream* s, int32_t n, int32_t* r) { return druiRngBinomial(0, s, n, r, 5000, 0.4); },
       [](DruStream* s, int32_t n, int32_t* r) { return druiRngBinomial(0, s, n, r, 20, 0.4); }, DRU_CHUNK_BINOMIAL},
      {"poisson PTPE", [](DruStream* s, int32_t n, int32_t* r) { return druiRngPoisson(0, s, n, r, 300.0); },
       [](DruStream* s, int32_t n, int32_t* r) { return druiRngPoisson(0, s, n, r, 3.0); }, DRU_CHUNK_POISSON},
      {"hypergeometric",
       [](DruStream* s, int32_t n, int32_t* r) { return druiRngHypergeometric(0, s, n, r, 900, 300, 100); },
       [](DruStream* s, int32_t n, int32_t* r) { return druiRngHypergeometric(0, s, n, r, 90, 30, 10); },
       DRU_CHUNK_HYPERGEOMETRIC},
  };
  for (const auto& row : rows) {
    Stream s(gen(DRU_BRNG_MT19937));
    draw(s.s, row.f, 777);
    const auto image = s.image();
    const auto next = draw(s.s, row.f, 2000);
    Stream loaded;
    ASSERT_EQ(_druLoadStreamM(&loaded.s, image.data()), 0) << row.what;
    ASSERT_NE(_druSearchChunk(loaded.s, row.chunk), nullptr) << row.what;
    EXPECT_EQ(draw(loaded.s, row.f, 2000), next) << row.what;
    const int32_t chunks = _druGetNumChunks(s.s);
    draw(s.s, row.other, 10);
    draw(s.s, row.f, 10);
    EXPECT_EQ(_druGetNumChunks(s.s), chunks) << row.what;
  }
}

// Multinomial vectors sum to the trials; zero-probability categories stay empty, k = 1
// takes everything, and the work area is gone after the call (no chunk).
TEST(IntegerLaws, MultinomialVectors) {
  const std::vector<double> p = {0.25, 0.0, 0.5, 0.25};
  Stream s(gen(DRU_BRNG_MT19937));
  std::vector<int32_t> r(4 * 3000);
  ASSERT_EQ(druiRngMultinomial(0, s.s, 3000, r.data(), 200, 4, p.data()), 0);
  for (int v = 0; v < 3000; ++v) {
    ASSERT_EQ(r[4 * v] + r[4 * v + 1] + r[4 * v + 2] + r[4 * v + 3], 200) << v;
    ASSERT_EQ(r[4 * v + 1], 0) << v;
  }
  const double one = 1.0;
  ASSERT_EQ(druiRngMultinomial(0, s.s, 10, r.data(), 17, 1, &one), 0);
  for (int v = 0; v < 10; ++v) EXPECT_EQ(r[v], 17);
  EXPECT_EQ(_druGetNumChunks(s.s), 0);
}

// The law list names functions the library exports, one per type letter of its row.
TEST(IntegerLaws, LawListNamesExportedFunctions) {
  std::vector<std::string> names;
#define NRX_TEST_SD(Law) names.push_back("drusRng" #Law), names.push_back("drudRng" #Law)
#define NRX_TEST_I(Law) names.push_back("druiRng" #Law)
#define NRX_TEST_LAW(Law, label, types, shape, params, defaults, methods) NRX_TEST_##types(Law);
  NRX_RNG_LAW_LIST(NRX_TEST_LAW)
#undef NRX_TEST_LAW
#undef NRX_TEST_I
#undef NRX_TEST_SD
  EXPECT_EQ(names.size(), 2u * 13 + 12);
  for (const auto& n : names) EXPECT_NE(dlsym(RTLD_DEFAULT, n.c_str()), nullptr) << n;
}

}  // namespace
