// Deterministic facts of the continuous laws: stream consumption, the pending pair,
// finite tails from a uniform of exactly 0, Laplace's sign split, chi-square through
// gamma, the multivariate transform against a + L z, argument checks and the frame.
#include <gtest/gtest.h>
#include <xmmintrin.h>

#include <cmath>
#include <vector>

#include "nrx/rng.h"
#include "nrx/zar.h"

namespace {

constexpr int32_t kSeed = 20240;

struct Mt {
  DruStream* s = nullptr;
  Mt() { EXPECT_EQ(_druNewStreamEx(&s, DRU_BRNG_MT19937, 1, (const uint32_t[]){kSeed}), 0); }
  ~Mt() { _druDeleteStream(&s); }
  double next() {
    double u;
    EXPECT_EQ(drudRngUniform(0, s, 1, &u, 0.0, 1.0), 0);
    return u;
  }
};

// A caller generator that replays a script of uniforms in [0, 1), then fails.
std::vector<double> g_script;
size_t g_pos = 0;
int32_t script_init(int32_t, DruStream*, int32_t, const uint32_t*) { return 0; }
template <class T> int32_t script_gen(DruStream*, int32_t n, T* r, T a, T b) {
  for (int32_t i = 0; i < n; ++i) {
    if (g_pos >= g_script.size()) return DRU_E_BRNG_INVALID;
    r[i] = a + (b - a) * T(g_script[g_pos++]);
  }
  return 0;
}
int32_t script_ints(DruStream*, int32_t, uint32_t*) { return 0; }
int32_t script_brng() {
  static const int32_t id = [] {
    BrngProperties p{16, 1, 1, 4, 32, &script_init, &script_gen<float>, &script_gen<double>, &script_ints};
    return _druRegisterBrng(&p);
  }();
  return id;
}
struct Scripted {
  DruStream* s = nullptr;
  explicit Scripted(std::vector<double> u) {
    g_script = std::move(u);
    g_pos = 0;
    EXPECT_EQ(_druNewStreamEx(&s, script_brng(), 0, nullptr), 0);
  }
  ~Scripted() { _druDeleteStream(&s); }
};

const double kLnZero = -744.4400719213812;

// Two calls of n = 1 with method 1 give the sine and cosine of one pair, as n = 2 does.
TEST(ContinuousLaws, PendingPairCarriesAcrossCalls) {
  const struct { int32_t first, second; } rows[] = {{1, 1}, {3, 5}, {1, 2047}, {2049, 1}};
  for (const auto& row : rows) {
    Mt split, whole;
    std::vector<double> a(row.first + row.second), b(a.size());
    ASSERT_EQ(drudRngGaussian(1, split.s, row.first, a.data(), 0.5, 2.0), 0);
    ASSERT_EQ(drudRngGaussian(1, split.s, row.second, a.data() + row.first, 0.5, 2.0), 0);
    ASSERT_EQ(drudRngGaussian(1, whole.s, int32_t(b.size()), b.data(), 0.5, 2.0), 0);
    for (size_t i = 0; i < a.size(); ++i) ASSERT_EQ(a[i], b[i]) << row.first << "+" << row.second << " at " << i;
    std::vector<float> fa(a.size()), fb(a.size());
    Mt fs, fw;
    ASSERT_EQ(drusRngGaussian(1, fs.s, row.first, fa.data(), 0.5f, 2.0f), 0);
    ASSERT_EQ(drusRngGaussian(1, fs.s, row.second, fa.data() + row.first, 0.5f, 2.0f), 0);
    ASSERT_EQ(drusRngGaussian(1, fw.s, int32_t(fb.size()), fb.data(), 0.5f, 2.0f), 0);
    for (size_t i = 0; i < fa.size(); ++i) ASSERT_EQ(fa[i], fb[i]) << "float at " << i;
  }
}

// A uniform of exactly 0 (or -1 for the inverse method) gives the finite tail value.
TEST(ContinuousLaws, ZeroUniformGivesFiniteTail) {
  const double rho = std::sqrt(-2 * kLnZero);
  struct Row {
    const char* law;
    std::vector<double> script;
    double expect;
  };
  const Row rows[] = {
      {"gaussian0", {0.0, 0.25}, 1.0 + 2.0 * rho},
      {"gaussian1", {0.0, 0.25}, 1.0 + 2.0 * rho},
      {"gaussian2", {0.0}, 1.0 - std::sqrt(2.0) * 2.0 * 5.8635847487551676},
      {"exponential", {0.0}, 1.0 + 744.4400719213812 * 2.0},
      {"rayleigh", {0.0}, 1.0 + 2.0 * std::sqrt(744.4400719213812)},
  };
  for (const Row& row : rows) {
    Scripted s(row.script);
    double r = 0;
    const std::string law = row.law;
    int32_t st = -99;
    if (law.rfind("gaussian", 0) == 0) st = drudRngGaussian(law.back() - '0', s.s, 1, &r, 1.0, 2.0);
    else if (law == "exponential") st = drudRngExponential(0, s.s, 1, &r, 1.0, 2.0);
    else st = drudRngRayleigh(0, s.s, 1, &r, 1.0, 2.0);
    ASSERT_EQ(st, 0) << law;
    EXPECT_NEAR(r, row.expect, 1e-9 * std::fabs(row.expect)) << law;
  }
}

// Laplace: positions 0, 2, 4 are magnitudes, 1, 3, 5 the signs (<= 0.5 above a).
TEST(ContinuousLaws, LaplaceSplitsEvenAndOdd) {
  Scripted s({0.2, 0.3, 0.6, 0.7, 0.9, 0.5});
  double r[3];
  ASSERT_EQ(drudRngLaplace(0, s.s, 3, r, 1.0, 2.0), 0);
  const double expect[3] = {1.0 - 2.0 * std::log(0.2), 1.0 + 2.0 * std::log(0.6), 1.0 - 2.0 * std::log(0.9)};
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(r[i], expect[i], 1e-7 * std::fabs(expect[i])) << i;
  EXPECT_EQ(g_pos, 6u);
}

// Calls that must leave the same number of uniforms consumed.
TEST(ContinuousLaws, ConsumptionMatchesTheLawsDrawnThrough) {
  constexpr int32_t n = 1001;
  std::vector<double> r(4 * n);
  struct Row {
    const char* what;
    int32_t (*call)(DruStream*, double*);
    int64_t uniforms;
  };
  const Row rows[] = {
      {"exponential", [](DruStream* s, double* r) { return drudRngExponential(0, s, n, r, 0, 1); }, n},
      {"gumbel", [](DruStream* s, double* r) { return drudRngGumbel(0, s, n, r, 0, 1); }, n},
      {"gaussian1", [](DruStream* s, double* r) { return drudRngGaussian(1, s, n, r, 0, 1); }, n + 1},
      {"lognormal0", [](DruStream* s, double* r) { return drudRngLognormal(0, s, n, r, 0, 1, 0, 1); }, n + 1},
      {"lognormal1", [](DruStream* s, double* r) { return drudRngLognormal(1, s, n, r, 0, 1, 0, 1); }, n},
      {"laplace", [](DruStream* s, double* r) { return drudRngLaplace(0, s, n, r, 0, 1); }, 2 * n},
      {"chisquare4", [](DruStream* s, double* r) { return drudRngChiSquare(0, s, n, r, 4); }, 2 * n},
      {"chisquare3", [](DruStream* s, double* r) { return drudRngChiSquare(0, s, n, r, 3); }, 3 * n},
      {"cauchy", [](DruStream* s, double* r) { return drudRngCauchy(0, s, n, r, 0, 1); }, n},
  };
  for (const Row& row : rows) {
    Mt law, plain;
    ASSERT_EQ(row.call(law.s, r.data()), 0) << row.what;
    std::vector<double> skip(row.uniforms);
    ASSERT_EQ(drudRngUniform(0, plain.s, int32_t(skip.size()), skip.data(), 0, 1), 0);
    EXPECT_EQ(law.next(), plain.next()) << row.what;
  }
}

TEST(ContinuousLaws, ChiSquareFiveIsGammaTwoAndAHalf) {
  Mt c, g;
  std::vector<double> x(3000), y(3000);
  ASSERT_EQ(drudRngChiSquare(0, c.s, 3000, x.data(), 5), 0);
  ASSERT_EQ(drudRngGamma(0, g.s, 3000, y.data(), 2.5, 0.0, 2.0), 0);
  for (size_t i = 0; i < x.size(); ++i) ASSERT_EQ(x[i], y[i]) << i;
  EXPECT_EQ(c.next(), g.next());
}

// a + L z per vector, with z the same stream's standard normals, in every storage.
TEST(ContinuousLaws, MultivariateIsMeanPlusFactorTimesNormals) {
  for (int32_t dim : {1, 4, 12}) {
    std::vector<double> L(dim * dim, 0.0), mean(dim);
    for (int i = 0; i < dim; ++i) {
      mean[i] = i - 1.5;
      for (int j = 0; j <= i; ++j) L[i * dim + j] = i == j ? 1.0 + 0.1 * i : 0.3 / (1 + i - j) - 0.05 * j;
    }
    std::vector<double> packed, diag;
    for (int j = 0; j < dim; ++j) {
      diag.push_back(L[j * dim + j]);
      for (int i = j; i < dim; ++i) packed.push_back(L[i * dim + j]);
    }
    const int32_t n = 37;
    for (int32_t storage : {0, 1, 2}) {
      const std::vector<double>& t = storage == 0 ? L : storage == 1 ? packed : diag;
      Mt a, b;
      std::vector<double> x(n * dim), z(n * dim);
      ASSERT_EQ(drudRngGaussianMV(1, a.s, n, x.data(), dim, storage, mean.data(), t.data()), 0);
      ASSERT_EQ(drudRngGaussian(1, b.s, n * dim, z.data(), 0.0, 1.0), 0);
      for (int v = 0; v < n; ++v)
        for (int i = 0; i < dim; ++i) {
          double e = mean[i];
          for (int j = 0; j <= i; ++j)
            if (storage != 2 || i == j) e += L[i * dim + j] * z[v * dim + j];
          ASSERT_NEAR(x[v * dim + i], e, 1e-12 * (1 + std::fabs(e))) << dim << " " << storage << " " << v;
        }
    }
  }
}

// Refused calls: DRU_E_BAD_ARGUMENT and the stream not advanced.
TEST(ContinuousLaws, BadArgumentsDrawNothing) {
  double r[4], t[4] = {1, 0, 0, 1}, a[2] = {0, 0};
  struct Row {
    const char* what;
    int32_t (*call)(DruStream*, double*, double*, double*);
  };
  const Row rows[] = {
      {"n < 0", [](DruStream* s, double* r, double*, double*) { return drudRngGaussian(0, s, -1, r, 0, 1); }},
      {"sigma 0", [](DruStream* s, double* r, double*, double*) { return drudRngGaussian(0, s, 4, r, 0, 0); }},
      {"method 3", [](DruStream* s, double* r, double*, double*) { return drudRngGaussian(3, s, 4, r, 0, 1); }},
      {"sigma NaN", [](DruStream* s, double* r, double*, double*) { return drudRngGaussian(2, s, 4, r, 0, NAN); }},
      {"lognormal beta",
       [](DruStream* s, double* r, double*, double*) { return drudRngLognormal(0, s, 4, r, 0, 1, 0, 0); }},
      {"lognormal method",
       [](DruStream* s, double* r, double*, double*) { return drudRngLognormal(2, s, 4, r, 0, 1, 0, 1); }},
      {"exponential beta",
       [](DruStream* s, double* r, double*, double*) { return drudRngExponential(0, s, 4, r, 0, -1); }},
      {"exponential method",
       [](DruStream* s, double* r, double*, double*) { return drudRngExponential(1, s, 4, r, 0, 1); }},
      {"weibull alpha", [](DruStream* s, double* r, double*, double*) { return drudRngWeibull(0, s, 4, r, 0, 0, 1); }},
      {"laplace beta", [](DruStream* s, double* r, double*, double*) { return drudRngLaplace(0, s, 4, r, 0, 0); }},
      {"cauchy n", [](DruStream* s, double* r, double*, double*) { return drudRngCauchy(0, s, -2, r, 0, 1); }},
      {"gamma shape", [](DruStream* s, double* r, double*, double*) { return drudRngGamma(0, s, 4, r, 0, 0, 1); }},
      {"gamma method", [](DruStream* s, double* r, double*, double*) { return drudRngGamma(1, s, 4, r, 1, 0, 1); }},
      {"chi-square v", [](DruStream* s, double* r, double*, double*) { return drudRngChiSquare(0, s, 4, r, 0); }},
      {"beta q", [](DruStream* s, double* r, double*, double*) { return drudRngBeta(0, s, 4, r, 1, -1, 0, 1); }},
      {"mv storage",
       [](DruStream* s, double* r, double* t, double* a) { return drudRngGaussianMV(0, s, 2, r, 2, 3, a, t); }},
      {"mv dim",
       [](DruStream* s, double* r, double* t, double* a) { return drudRngGaussianMV(0, s, 2, r, 0, 0, a, t); }},
      {"mv method",
       [](DruStream* s, double* r, double* t, double* a) { return drudRngGaussianMV(5, s, 2, r, 2, 0, a, t); }},
  };
  for (const Row& row : rows) {
    Mt law, fresh;
    EXPECT_EQ(row.call(law.s, r, t, a), DRU_E_BAD_ARGUMENT) << row.what;
    EXPECT_EQ(law.next(), fresh.next()) << row.what << " drew";
  }
}

int32_t user_callback(ZarErrorContext*) { return 0; }

// Mode word, callback and MXCSR come back as they were, on success and on a failing generator.
TEST(ContinuousLaws, FrameRestoredOnEveryPath) {
  zarSetMode(ZAR_HA | ZAR_ERRMODE_STDERR);
  zarSetErrorCallBack(&user_callback);
  const uint32_t mode = zarGetMode();
  const unsigned csr = _mm_getcsr();
  for (size_t script : {size_t(64), size_t(3)}) {
    std::vector<double> u(script, 0.0);
    Scripted s(u);
    double r[16];
    const int32_t st_g = drudRngGaussian(0, s.s, 16, r, 0, 1);
    const int32_t st_e = drudRngExponential(0, s.s, 16, r, 0, 1);
    EXPECT_EQ(script == 3 ? DRU_E_BRNG_INVALID : 0, st_g);
    (void)st_e;
    EXPECT_EQ(zarGetMode(), mode);
    EXPECT_EQ(zarGetErrorCallBack(), &user_callback);
    EXPECT_EQ(_mm_getcsr(), csr) << "ln 0 left a flag or a changed control word";
  }
  zarSetErrorCallBack(nullptr);
}

}  // namespace
