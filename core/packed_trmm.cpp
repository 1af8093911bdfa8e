// Triangular matrix times general matrix with the triangle in packed storage:
// B := alpha * op(A) * B (side 'L') or B := alpha * B * op(A) (side 'R').
//
// Packed layout is column by column: for an upper triangle column j holds
// rows 0..j, for a lower triangle rows j..n-1.
#include "nrx/core.h"

#include <cstdint>

namespace {

template <class T> class PackedTriangle {
 public:
  PackedTriangle(const T* ap, int64_t n, bool upper, bool unit) : ap_(ap), n_(n), upper_(upper), unit_(unit) {}

  // First stored element of column j (row 0 when upper, row j when lower).
  const T* column(int64_t j) const { return ap_ + (upper_ ? j * (j + 1) / 2 : j * (2 * n_ - j + 1) / 2); }
  // Element (i, j) of the stored triangle; i <= j when upper, i >= j when lower.
  T at(int64_t i, int64_t j) const { return column(j)[upper_ ? i : i - j]; }
  T diag(int64_t j) const { return unit_ ? T(1) : at(j, j); }

 private:
  const T* ap_;
  int64_t n_;
  bool upper_;
  bool unit_;
};

// x := alpha * op(A) * x for one column x of length m.
template <class T> void left_column(const PackedTriangle<T>& a, bool upper, bool trans, int64_t m, T alpha, T* x) {
  if (!trans && upper) {
    for (int64_t j = 0; j < m; ++j) {
      const T t = alpha * x[j];
      const T* col = a.column(j);
      for (int64_t i = 0; i < j; ++i) x[i] += t * col[i];
      x[j] = t * a.diag(j);
    }
  } else if (!trans) {
    for (int64_t j = m - 1; j >= 0; --j) {
      const T t = alpha * x[j];
      const T* col = a.column(j) - j;
      x[j] = t * a.diag(j);
      for (int64_t i = j + 1; i < m; ++i) x[i] += t * col[i];
    }
  } else if (upper) {
    for (int64_t j = m - 1; j >= 0; --j) {
      const T* col = a.column(j);
      T s = x[j] * a.diag(j);
      for (int64_t i = 0; i < j; ++i) s += col[i] * x[i];
      x[j] = alpha * s;
    }
  } else {
    for (int64_t j = 0; j < m; ++j) {
      const T* col = a.column(j) - j;
      T s = x[j] * a.diag(j);
      for (int64_t i = j + 1; i < m; ++i) s += col[i] * x[i];
      x[j] = alpha * s;
    }
  }
}

// B := alpha * B * op(A); B is m x n, A n x n. Column j of the result mixes
// columns k of B with weights op(A)(k, j); the sweep order leaves the columns
// still needed untouched.
template <class T> void right_product(const PackedTriangle<T>& a, bool upper, bool trans, int64_t m, int64_t n, T alpha,
                                      T* b, int64_t ldb) {
  auto op = [&](int64_t k, int64_t j) { return trans ? a.at(j, k) : a.at(k, j); };
  const bool op_upper = upper != trans;
  auto update = [&](int64_t j) {
    T* bj = b + j * ldb;
    const T dj = alpha * a.diag(j);
    for (int64_t i = 0; i < m; ++i) bj[i] *= dj;
    const int64_t k0 = op_upper ? 0 : j + 1;
    const int64_t k1 = op_upper ? j : n;
    for (int64_t k = k0; k < k1; ++k) {
      const T w = alpha * op(k, j);
      const T* bk = b + k * ldb;
      for (int64_t i = 0; i < m; ++i) bj[i] += w * bk[i];
    }
  };
  if (op_upper)
    for (int64_t j = n - 1; j >= 0; --j) update(j);
  else
    for (int64_t j = 0; j < n; ++j) update(j);
}

char upper_case(const char* c) { return (*c >= 'a' && *c <= 'z') ? static_cast<char>(*c - 'a' + 'A') : *c; }

template <class T> void packed_trmm(const char* side_c, const char* uplo_c, const char* trans_c, const char* diag_c,
                                    const int32_t* m_p, const int32_t* n_p, const T* alpha_p, const T* ap, T* b,
                                    const int32_t* ldb_p) {
  const char side = upper_case(side_c), uplo = upper_case(uplo_c);
  const char trans = upper_case(trans_c), diag = upper_case(diag_c);
  const int64_t m = *m_p, n = *n_p, ldb = *ldb_p;
  if ((side != 'L' && side != 'R') || (uplo != 'U' && uplo != 'L') || (trans != 'N' && trans != 'T' && trans != 'C') ||
      (diag != 'U' && diag != 'N') || m < 0 || n < 0 || ldb < (m > 1 ? m : 1))
    return;
  if (m == 0 || n == 0) return;
  const T alpha = *alpha_p;
  if (alpha == T(0)) {
    for (int64_t j = 0; j < n; ++j)
      for (int64_t i = 0; i < m; ++i) b[i + j * ldb] = T(0);
    return;
  }
  const bool upper = uplo == 'U', transposed = trans != 'N';
  const PackedTriangle<T> a(ap, side == 'L' ? m : n, upper, diag == 'U');
  if (side == 'L')
    for (int64_t j = 0; j < n; ++j) left_column(a, upper, transposed, m, alpha, b + j * ldb);
  else right_product(a, upper, transposed, m, n, alpha, b, ldb);
}

}  // namespace

void nrx_blas4zar_dptrmm(const char* side, const char* uplo, const char* transa, const char* diag, const int32_t* m,
                         const int32_t* n, const double* alpha, const double* ap, double* b, const int32_t* ldb) {
  packed_trmm(side, uplo, transa, diag, m, n, alpha, ap, b, ldb);
}

void nrx_blas4zar_sptrmm(const char* side, const char* uplo, const char* transa, const char* diag, const int32_t* m,
                         const int32_t* n, const float* alpha, const float* ap, float* b, const int32_t* ldb) {
  packed_trmm(side, uplo, transa, diag, m, n, alpha, ap, b, ldb);
}
