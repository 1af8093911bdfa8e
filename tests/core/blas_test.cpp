// Packed triangular products against reference trmm on the unpacked
// triangle, and the BLAS/LAPACK forwards against textbook identities.
#include "nrx/core.h"
#include "tests/core/fortran_oracles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <random>
#include <vector>

namespace {

template <class T> struct Packed;
template <> struct Packed<double> { static constexpr auto trmm = nrx_blas4zar_dptrmm; };
template <> struct Packed<float> { static constexpr auto trmm = nrx_blas4zar_sptrmm; };

template <class T> std::vector<T> random_vector(size_t n, std::mt19937& gen) {
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  std::vector<T> v(n);
  for (T& x : v) x = T(u(gen));
  return v;
}

// Packs the `uplo` triangle of the k x k column-major matrix a (leading
// dimension k) column by column.
template <class T> std::vector<T> pack(const std::vector<T>& a, int32_t k, char uplo) {
  std::vector<T> ap;
  for (int32_t j = 0; j < k; ++j)
    for (int32_t i = (uplo == 'U' ? 0 : j); i < (uplo == 'U' ? j + 1 : k); ++i) ap.push_back(a[i + j * k]);
  return ap;
}

}  // namespace

template <class T> class CorePackedTrmm : public ::testing::Test {};
using Precisions = ::testing::Types<double, float>;
TYPED_TEST_SUITE(CorePackedTrmm, Precisions);

TYPED_TEST(CorePackedTrmm, MatchesTrmmOnUnpackedTriangle) {
  using T = TypeParam;
  std::mt19937 gen(7);
  struct Shape {
    int32_t m, n, pad;
    T alpha;
  } shapes[] = {{1, 1, 0, T(1)}, {5, 7, 2, T(0.75)}, {9, 3, 0, T(-2)}, {33, 17, 1, T(1)}};
  for (const Shape& sh : shapes)
    for (char side : {'L', 'R'})
      for (char uplo : {'U', 'L'})
        for (char trans : {'N', 'T', 'C'})
          for (char diag : {'N', 'U'}) {
            const int32_t k = side == 'L' ? sh.m : sh.n, ldb = sh.m + sh.pad;
            std::vector<T> a = random_vector<T>(size_t(k) * k, gen);
            std::vector<T> ap = pack(a, k, uplo);
            if (diag == 'U')  // the unit diagonal must not be read
              for (int32_t j = 0; j < k; ++j) ap[uplo == 'U' ? j * (j + 3) / 2 : j * (2 * k - j + 1) / 2] = T(777);
            std::vector<T> b = random_vector<T>(size_t(ldb) * sh.n, gen), ref = b;
            reference_trmm(&side, &uplo, &trans, &diag, &sh.m, &sh.n, &sh.alpha, a.data(), &k, ref.data(), &ldb);
            Packed<T>::trmm(&side, &uplo, &trans, &diag, &sh.m, &sh.n, &sh.alpha, ap.data(), b.data(), &ldb);
            const double tol = 4.0 * k * std::numeric_limits<T>::epsilon() * std::fabs(sh.alpha);
            for (size_t i = 0; i < b.size(); ++i)
              ASSERT_NEAR(b[i], ref[i], tol)
                  << side << uplo << trans << diag << " m=" << sh.m << " n=" << sh.n << " at " << i;
          }
}

TYPED_TEST(CorePackedTrmm, ZeroAlphaAndRejectedArguments) {
  using T = TypeParam;
  const int32_t m = 3, n = 2, ldb = 4, bad_ldb = 2, neg = -1;
  const T zero = 0, one = 1;
  std::vector<T> ap(6, T(1)), b(8, T(5));
  Packed<T>::trmm("L", "U", "N", "N", &m, &n, &zero, ap.data(), b.data(), &ldb);
  EXPECT_EQ(b, (std::vector<T>{0, 0, 0, 5, 0, 0, 0, 5}));
  std::vector<T> c(8, T(5));
  Packed<T>::trmm("X", "U", "N", "N", &m, &n, &one, ap.data(), c.data(), &ldb);
  Packed<T>::trmm("L", "Q", "N", "N", &m, &n, &one, ap.data(), c.data(), &ldb);
  Packed<T>::trmm("L", "U", "N", "N", &m, &n, &one, ap.data(), c.data(), &bad_ldb);
  Packed<T>::trmm("L", "U", "N", "N", &neg, &n, &one, ap.data(), c.data(), &ldb);
  EXPECT_EQ(c, std::vector<T>(8, T(5)));
}

TEST(CoreBlas, GemmMatchesNaiveProduct) {
  std::mt19937 gen(11);
  struct Case {
    char ta, tb;
    int32_t m, n, k, pad;
  } cases[] = {{'N', 'N', 4, 5, 6, 0}, {'T', 'N', 7, 3, 5, 2}, {'N', 'T', 2, 9, 4, 1}, {'T', 'T', 6, 6, 1, 3}};
  const double alpha = 1.25, beta = -0.5;
  for (const Case& c : cases) {
    const int32_t lda = (c.ta == 'N' ? c.m : c.k) + c.pad, ldb = (c.tb == 'N' ? c.k : c.n) + c.pad;
    const int32_t ldc = c.m + c.pad;
    std::vector<double> a = random_vector<double>(size_t(lda) * std::max(c.m, c.k), gen);
    std::vector<double> b = random_vector<double>(size_t(ldb) * std::max(c.k, c.n), gen);
    std::vector<double> cm = random_vector<double>(size_t(ldc) * c.n, gen), ref = cm;
    auto A = [&](int i, int l) { return c.ta == 'N' ? a[i + l * lda] : a[l + i * lda]; };
    auto B = [&](int l, int j) { return c.tb == 'N' ? b[l + j * ldb] : b[j + l * ldb]; };
    for (int j = 0; j < c.n; ++j)
      for (int i = 0; i < c.m; ++i) {
        double s = 0;
        for (int l = 0; l < c.k; ++l) s += A(i, l) * B(l, j);
        ref[i + j * ldc] = alpha * s + beta * ref[i + j * ldc];
      }
    for (auto* gemm : {nrx_blas_dgemm, nrx_blas_xdgemm}) {
      std::vector<double> got = cm;
      gemm(&c.ta, &c.tb, &c.m, &c.n, &c.k, &alpha, a.data(), &lda, b.data(), &ldb, &beta, got.data(), &ldc);
      for (size_t i = 0; i < got.size(); ++i) ASSERT_NEAR(got[i], ref[i], 1e-14 * (c.k + 1)) << c.ta << c.tb;
    }
  }
}

// The second-difference matrix tridiag(-1, 2, -1) of order n has the
// eigenvalues 2 - 2 cos(k pi / (n + 1)), k = 1..n.
TEST(CoreLapack, EigenvaluesOfSecondDifferenceMatrix) {
  const int32_t n = 9, lwork = 3 * n * n, liwork = 3 + 5 * n;
  std::vector<double> a(n * n, 0.0), w(n), work(lwork), z(n * n);
  std::vector<int32_t> iwork(liwork);
  for (int i = 0; i < n; ++i) {
    a[i + i * n] = 2;
    if (i + 1 < n) a[i + 1 + i * n] = a[i + (i + 1) * n] = -1;
  }
  std::vector<double> ap = pack(a, n, 'L');
  int32_t info = -99;
  nrx_lapack_dsyev("N", "U", &n, a.data(), &n, w.data(), work.data(), &lwork, &info);
  ASSERT_EQ(info, 0);
  for (int k = 0; k < n; ++k) EXPECT_NEAR(w[k], 2 - 2 * std::cos((k + 1) * std::numbers::pi / (n + 1)), 1e-13);
  nrx_lapack_dspevd("V", "L", &n, ap.data(), w.data(), z.data(), &n, work.data(), &lwork, iwork.data(), &liwork, &info);
  ASSERT_EQ(info, 0);
  for (int k = 0; k < n; ++k) EXPECT_NEAR(w[k], 2 - 2 * std::cos((k + 1) * std::numbers::pi / (n + 1)), 1e-13);
}
