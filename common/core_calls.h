// The core service calls in the precision of T, so one algorithm body serves
// float and double: the tridiagonal solvers, the dense factorisations and products, and the triangular multiplies.
#pragma once

#include <cstdint>

#include "nrx/core.h"

namespace nrx::common {

template <class T> struct Core {
  static constexpr bool kDouble = sizeof(T) == 8;

  // Tridiagonal LU without pivoting; the info word (0 on success).
  static int32_t tridiag_factor(int32_t n, T* dl, T* d, T* du) {
    int32_t info = 0;
    if constexpr (kDouble) ddttrfb_4dfl(&n, dl, d, du, &info);
    else sdttrfb_4dfl(&n, dl, d, du, &info);
    return info;
  }
  static int32_t tridiag_solve(int32_t n, int32_t nrhs, const T* dl, const T* d, const T* du, T* b, int32_t ldb) {
    int32_t info = 0;
    if constexpr (kDouble) ddttrsb_4dfl("N", &n, &nrhs, dl, d, du, b, &ldb, &info);
    else sdttrsb_4dfl("N", &n, &nrhs, dl, d, du, b, &ldb, &info);
    return info;
  }
  static int32_t tridiag_factor_solve(int32_t n, T* dl, T* d, T* du, T* b, int32_t ldb) {
    int32_t info = 0, one = 1;
    if constexpr (kDouble) ddtsvb_4dfl(&n, &one, dl, d, du, b, &ldb, &info);
    else sdtsvb_4dfl(&n, &one, dl, d, du, b, &ldb, &info);
    return info;
  }

  // Cholesky factor and inverse from it, in place (uplo 'L' or 'U'); the info word.
  static int32_t potrf(const char* uplo, int32_t n, T* a, int32_t lda) {
    int32_t info = 0;
    if constexpr (kDouble) nrx_lapack_dpotrf(uplo, &n, a, &lda, &info);
    else nrx_lapack_spotrf(uplo, &n, a, &lda, &info);
    return info;
  }
  static int32_t potri(const char* uplo, int32_t n, T* a, int32_t lda) {
    int32_t info = 0;
    if constexpr (kDouble) nrx_lapack_dpotri(uplo, &n, a, &lda, &info);
    else nrx_lapack_spotri(uplo, &n, a, &lda, &info);
    return info;
  }
  // Inverse of a triangular matrix with a non-unit diagonal, in place; the info word.
  static int32_t trtri(const char* uplo, int32_t n, T* a, int32_t lda) {
    int32_t info = 0;
    if constexpr (kDouble) nrx_lapack_dtrtri(uplo, "N", &n, a, &lda, &info);
    else nrx_lapack_strtri(uplo, "N", &n, a, &lda, &info);
    return info;
  }
  // y := alpha A x + beta y (unit strides), A m x n.
  static void gemv(const char* trans, int32_t m, int32_t n, T alpha, const T* a, int32_t lda, const T* x, T beta,
                   T* y) {
    const int32_t one = 1;
    if constexpr (kDouble) nrx_blas_dgemv(trans, &m, &n, &alpha, a, &lda, x, &one, &beta, y, &one);
    else nrx_blas_sgemv(trans, &m, &n, &alpha, a, &lda, x, &one, &beta, y, &one);
  }
  // Symmetric eigen-decomposition (jobz 'N' or 'V'); work holds lwork reals.
  static int32_t syev(const char* jobz, const char* uplo, int32_t n, T* a, int32_t lda, T* w, T* work, int32_t lwork) {
    int32_t info = 0;
    if constexpr (kDouble) nrx_lapack_dsyev(jobz, uplo, &n, a, &lda, w, work, &lwork, &info);
    else nrx_lapack_ssyev(jobz, uplo, &n, a, &lda, w, work, &lwork, &info);
    return info;
  }
  static void gemm(const char* ta, const char* tb, int32_t m, int32_t n, int32_t k, T alpha, const T* a, int32_t lda,
                   const T* b, int32_t ldb, T beta, T* c, int32_t ldc) {
    if constexpr (kDouble) nrx_blas_dgemm(ta, tb, &m, &n, &k, &alpha, a, &lda, b, &ldb, &beta, c, &ldc);
    else nrx_blas_sgemm(ta, tb, &m, &n, &k, &alpha, a, &lda, b, &ldb, &beta, c, &ldc);
  }
  static void syrk(const char* uplo, const char* trans, int32_t n, int32_t k, T alpha, const T* a, int32_t lda, T beta,
                   T* c, int32_t ldc) {
    if constexpr (kDouble) nrx_blas_dsyrk(uplo, trans, &n, &k, &alpha, a, &lda, &beta, c, &ldc);
    else nrx_blas_ssyrk(uplo, trans, &n, &k, &alpha, a, &lda, &beta, c, &ldc);
  }
  // Serial symmetric product (C = alpha A B + beta C for side 'L').
  static void symm(const char* side, const char* uplo, int32_t m, int32_t n, T alpha, const T* a, int32_t lda,
                   const T* b, int32_t ldb, T beta, T* c, int32_t ldc) {
    if constexpr (kDouble) nrx_blas_xdsymm(side, uplo, &m, &n, &alpha, a, &lda, b, &ldb, &beta, c, &ldc);
    else nrx_blas_xssymm(side, uplo, &m, &n, &alpha, a, &lda, b, &ldb, &beta, c, &ldc);
  }
  // B := op(A) B, A triangular m x m in full (lda) or packed storage, B m x n.
  static void trmm(const char* uplo, const char* trans, int32_t m, int32_t n, const T* a, int32_t lda, T* b,
                   int32_t ldb) {
    const T one = 1;
    if constexpr (kDouble) nrx_blas4zar_dtrmm("L", uplo, trans, "N", &m, &n, &one, a, &lda, b, &ldb);
    else nrx_blas4zar_strmm("L", uplo, trans, "N", &m, &n, &one, a, &lda, b, &ldb);
  }
  static void packed_trmm(const char* uplo, const char* trans, int32_t m, int32_t n, const T* ap, T* b, int32_t ldb) {
    const T one = 1;
    if constexpr (kDouble) nrx_blas4zar_dptrmm("L", uplo, trans, "N", &m, &n, &one, ap, b, &ldb);
    else nrx_blas4zar_sptrmm("L", uplo, trans, "N", &m, &n, &one, ap, b, &ldb);
  }
};

}  // namespace nrx::common
