// Tridiagonal solvers without pivoting, checked against LAPACK dgtsv (partial
// pivoting, double precision) on diagonally dominant random systems.
#include "nrx/core.h"
#include "tests/core/fortran_oracles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace {

template <class T> struct Solver;
template <> struct Solver<double> {
  static constexpr auto trf = ddttrfb_4dfl;
  static constexpr auto trs = ddttrsb_4dfl;
  static constexpr auto sv = ddtsvb_4dfl;
};
template <> struct Solver<float> {
  static constexpr auto trf = sdttrfb_4dfl;
  static constexpr auto trs = sdttrsb_4dfl;
  static constexpr auto sv = sdtsvb_4dfl;
};

constexpr double kPad = 12345.0;  // rows ldb beyond n must keep this value

template <class T> struct System {
  int32_t n, nrhs, ldb;
  std::vector<T> dl, d, du, b;
};

// Off-diagonals in [-1, 1]; each diagonal entry exceeds both its row and its
// column off-diagonal sums by at least `margin`, so A and A^T are strictly
// diagonally dominant and ||A^-1||_inf, ||A^-T||_inf <= 1 / margin.
template <class T> System<T> make_system(int32_t n, int32_t nrhs, int32_t ldb, double margin, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  System<T> s{n,
              nrhs,
              ldb,
              std::vector<T>(std::max(n - 1, 1)),
              std::vector<T>(n),
              std::vector<T>(std::max(n - 1, 1)),
              std::vector<T>(static_cast<size_t>(ldb) * nrhs, T(kPad))};
  for (int32_t i = 0; i + 1 < n; ++i) {
    s.dl[i] = T(u(gen));
    s.du[i] = T(u(gen));
  }
  for (int32_t i = 0; i < n; ++i) {
    const double row = (i > 0 ? std::fabs(s.dl[i - 1]) : 0) + (i + 1 < n ? std::fabs(s.du[i]) : 0);
    const double col = (i > 0 ? std::fabs(s.du[i - 1]) : 0) + (i + 1 < n ? std::fabs(s.dl[i]) : 0);
    const double sign = u(gen) < 0 ? -1.0 : 1.0;
    s.d[i] = T(sign * (std::max(row, col) + margin * (1.5 + 0.5 * u(gen))));
  }
  for (int32_t j = 0; j < nrhs; ++j)
    for (int32_t i = 0; i < n; ++i) s.b[i + j * ldb] = T(4.0 * u(gen));
  return s;
}

// Infinity-norm condition bound of op(A) from its dominance margin.
template <class T> double condition_bound(const System<T>& s, bool transposed) {
  const std::vector<T>& lo = transposed ? s.du : s.dl;
  const std::vector<T>& up = transposed ? s.dl : s.du;
  double norm = 0, margin = std::numeric_limits<double>::infinity();
  for (int32_t i = 0; i < s.n; ++i) {
    const double off = (i > 0 ? std::fabs(lo[i - 1]) : 0) + (i + 1 < s.n ? std::fabs(up[i]) : 0);
    norm = std::max(norm, off + std::fabs(s.d[i]));
    margin = std::min(margin, std::fabs(s.d[i]) - off);
  }
  return norm / margin;
}

// Solution of op(A) X = B by dgtsv in double.
template <class T> std::vector<double> oracle(const System<T>& s, bool transposed) {
  std::vector<double> dl(s.dl.begin(), s.dl.end()), d(s.d.begin(), s.d.end()), du(s.du.begin(), s.du.end());
  std::vector<double> b(s.b.begin(), s.b.end());
  if (transposed) std::swap(dl, du);
  int32_t info = -99;
  dgtsv_(&s.n, &s.nrhs, dl.data(), d.data(), du.data(), b.data(), &s.ldb, &info);
  EXPECT_EQ(info, 0);
  return b;
}

template <class T> void expect_close(const System<T>& s, const std::vector<T>& x, const std::vector<double>& ref,
                                     double tol, const char* what) {
  for (int32_t j = 0; j < s.nrhs; ++j) {
    double err = 0, scale = 0;
    for (int32_t i = 0; i < s.n; ++i) {
      err = std::max(err, std::fabs(x[i + j * s.ldb] - ref[i + j * s.ldb]));
      scale = std::max(scale, std::fabs(ref[i + j * s.ldb]));
    }
    EXPECT_LE(err, tol * scale) << what << " n=" << s.n << " column " << j;
    for (int32_t i = s.n; i < s.ldb; ++i) EXPECT_EQ(x[i + j * s.ldb], T(kPad)) << what;
  }
}

struct Case {
  int32_t n, nrhs, pad;
  char trans;
  double margin;
};
const Case kCases[] = {
    {1, 1, 0, 'N', 1.0},     {2, 1, 0, 'N', 1.0},   {3, 2, 1, 'N', 0.5},    {3, 1, 0, 'T', 1.0},
    {2, 3, 2, 'C', 1.0},     {1, 2, 0, 't', 0.1},   {1000, 1, 0, 'N', 1.0}, {1000, 4, 3, 'T', 0.05},
    {1000, 5, 0, 'n', 1e-3}, {777, 2, 0, 'C', 0.2},
};

}  // namespace

template <class T> class CoreTridiagonal : public ::testing::Test {};
using Precisions = ::testing::Types<double, float>;
TYPED_TEST_SUITE(CoreTridiagonal, Precisions);

// Both paths: factor then solve op(A) X = B, and (for A itself) the combined
// factor-and-solve.
TYPED_TEST(CoreTridiagonal, MatchesDgtsv) {
  using T = TypeParam;
  unsigned seed = 1;
  for (const Case& c : kCases) {
    const bool transposed = c.trans != 'N' && c.trans != 'n';
    System<T> s = make_system<T>(c.n, c.nrhs, c.n + c.pad, c.margin, seed++), t = s;
    const std::vector<double> ref = oracle(s, transposed);
    const double tol = 16 * std::numeric_limits<T>::epsilon() * condition_bound(s, transposed);
    int32_t info = -99;
    Solver<T>::trf(&s.n, s.dl.data(), s.d.data(), s.du.data(), &info);
    ASSERT_EQ(info, 0);
    Solver<T>::trs(&c.trans, &s.n, &s.nrhs, s.dl.data(), s.d.data(), s.du.data(), s.b.data(), &s.ldb, &info);
    ASSERT_EQ(info, 0);
    expect_close(s, s.b, ref, tol, "trf+trs");
    if (transposed) continue;
    Solver<T>::sv(&t.n, &t.nrhs, t.dl.data(), t.d.data(), t.du.data(), t.b.data(), &t.ldb, &info);
    ASSERT_EQ(info, 0);
    expect_close(t, t.b, ref, tol, "sv");
  }
}

TYPED_TEST(CoreTridiagonal, ExactlyZeroPivotIsReported) {
  using T = TypeParam;
  struct Pivot {
    std::vector<T> dl, d, du;
    int32_t info;
  } cases[] = {
      {{0}, {0}, {0}, 1},
      {{1, 1}, {0, 1, 1}, {1, 1}, 1},
      {{1, 1}, {1, 1, 1}, {1, 1}, 2},    // 1 - 1*1 = 0 at the second pivot
      {{0, 1}, {2, 2, 0.5}, {0, 1}, 3},  // 0.5 - 0.5*1 = 0 at the last pivot
      {{0.5, 0.5}, {2, 2, 2}, {1, 1}, 0},
  };
  for (Pivot& c : cases) {
    const int32_t n = static_cast<int32_t>(c.d.size()), one = 1;
    int32_t info = -99;
    std::vector<T> dl = c.dl, d = c.d, du = c.du;
    Solver<T>::trf(&n, dl.data(), d.data(), du.data(), &info);
    EXPECT_EQ(info, c.info) << "trf n=" << n;
    std::vector<T> b(n, T(1));
    Solver<T>::sv(&n, &one, c.dl.data(), c.d.data(), c.du.data(), b.data(), &n, &info);
    EXPECT_EQ(info, c.info) << "sv n=" << n;
  }
}

TYPED_TEST(CoreTridiagonal, BadArgumentsAreNamed) {
  using T = TypeParam;
  std::vector<T> dl(4, T(0.5)), d(5, T(3)), du(4, T(0.5)), b(10, T(1));
  int32_t info = 0;
  const int32_t n5 = 5, neg = -1, one = 1, zero = 0, ld4 = 4;
  Solver<T>::trf(&neg, dl.data(), d.data(), du.data(), &info);
  EXPECT_EQ(info, -1);
  Solver<T>::trs("X", &n5, &one, dl.data(), d.data(), du.data(), b.data(), &n5, &info);
  EXPECT_EQ(info, -1);
  Solver<T>::trs("N", &neg, &one, dl.data(), d.data(), du.data(), b.data(), &n5, &info);
  EXPECT_EQ(info, -2);
  Solver<T>::trs("N", &n5, &neg, dl.data(), d.data(), du.data(), b.data(), &n5, &info);
  EXPECT_EQ(info, -3);
  Solver<T>::trs("T", &n5, &one, dl.data(), d.data(), du.data(), b.data(), &ld4, &info);
  EXPECT_EQ(info, -8);
  Solver<T>::sv(&neg, &one, dl.data(), d.data(), du.data(), b.data(), &n5, &info);
  EXPECT_EQ(info, -1);
  Solver<T>::sv(&n5, &neg, dl.data(), d.data(), du.data(), b.data(), &n5, &info);
  EXPECT_EQ(info, -2);
  Solver<T>::sv(&n5, &one, dl.data(), d.data(), du.data(), b.data(), &ld4, &info);
  EXPECT_EQ(info, -7);
  EXPECT_EQ(d, std::vector<T>(5, T(3)));  // rejected calls leave the matrix alone
  info = -99;
  Solver<T>::sv(&zero, &one, dl.data(), d.data(), du.data(), b.data(), &one, &info);
  EXPECT_EQ(info, 0);
  EXPECT_EQ(b, std::vector<T>(10, T(1)));
}

// Rows are handled in blocks: a zero pivot anywhere, on either side of a block
// edge, stops the factorisation at its own row. Rows k-1 and k are decoupled
// from the rest above and built so that the pivot of row k is 1 - 1 * 2 / 2.
TYPED_TEST(CoreTridiagonal, ZeroPivotInAnyBlockIsReported) {
  using T = TypeParam;
  const int32_t n = 100, one = 1;
  for (int32_t k : {1, 2, 31, 32, 33, 63, 64, 70, 99}) {
    std::vector<T> dl(n - 1, T(1)), d(n, T(4)), du(n - 1, T(1));
    if (k >= 2) dl[k - 2] = 0;
    d[k - 1] = 2, dl[k - 1] = 1, du[k - 1] = 2, d[k] = 1;
    std::vector<T> fdl = dl, fd = d, fdu = du, b(n, T(1));
    int32_t info = -99;
    Solver<T>::trf(&n, fdl.data(), fd.data(), fdu.data(), &info);
    EXPECT_EQ(info, k + 1) << "trf";
    Solver<T>::sv(&n, &one, dl.data(), d.data(), du.data(), b.data(), &n, &info);
    EXPECT_EQ(info, k + 1) << "sv";
  }
}

// Scaling A and b together leaves x unchanged. Scales whose leading minors over
// a block leave the floating range take the plain recurrence.
TYPED_TEST(CoreTridiagonal, ScaledSystemsKeepTheirSolution) {
  using T = TypeParam;
  const double big = sizeof(T) == 8 ? 1e250 : 1e30;
  unsigned seed = 100;
  for (double scale : {1.0, 1e8, big, 1 / big}) {
    for (int32_t n : {31, 32, 33, 65, 257}) {
      System<T> s = make_system<T>(n, 2, n, 0.5, seed++);
      const std::vector<double> ref = oracle(s, false);
      const double tol = 16 * std::numeric_limits<T>::epsilon() * condition_bound(s, false);
      for (auto* v : {&s.dl, &s.d, &s.du, &s.b})
        for (T& e : *v) e = T(e * scale);
      int32_t info = -99;
      Solver<T>::sv(&s.n, &s.nrhs, s.dl.data(), s.d.data(), s.du.data(), s.b.data(), &s.ldb, &info);
      ASSERT_EQ(info, 0) << "scale " << scale << " n " << n;
      expect_close(s, s.b, ref, tol, "scaled sv");
    }
  }
}
