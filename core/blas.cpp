// BLAS and LAPACK entry points, forwarded to the system's Fortran libraries.
//
// Fortran passes every argument by reference and appends one hidden length
// argument (size_t with gfortran) per CHARACTER argument, after all the
// others. Each of our character arguments is a single character.
#include "nrx/core.h"

#include <cstddef>

namespace {
using fint = int32_t;
using flen = size_t;
constexpr flen k1 = 1;
}  // namespace

// Each macro declares the Fortran routine for prefix P (d or s) with scalar
// type T and defines the forwarders that share its argument list.

#define NRX_GEMM(P, T)                                                                                                 \
  extern "C" void P##gemm_(const char*, const char*, const fint*, const fint*, const fint*, const T*, const T*,        \
                           const fint*, const T*, const fint*, const T*, T*, const fint*, flen, flen);                 \
  void nrx_blas_##P##gemm(const char* ta, const char* tb, const fint* m, const fint* n, const fint* k, const T* alpha, \
                          const T* a, const fint* lda, const T* b, const fint* ldb, const T* beta, T* c,               \
                          const fint* ldc) {                                                                           \
    P##gemm_(ta, tb, m, n, k, alpha, a, lda, b, ldb, beta, c, ldc, k1, k1);                                            \
  }                                                                                                                    \
  void nrx_blas_x##P##gemm(const char* ta, const char* tb, const fint* m, const fint* n, const fint* k,                \
                           const T* alpha, const T* a, const fint* lda, const T* b, const fint* ldb, const T* beta,    \
                           T* c, const fint* ldc) {                                                                    \
    P##gemm_(ta, tb, m, n, k, alpha, a, lda, b, ldb, beta, c, ldc, k1, k1);                                            \
  }

#define NRX_GEMV(P, T)                                                                                               \
  extern "C" void P##gemv_(const char*, const fint*, const fint*, const T*, const T*, const fint*, const T*,         \
                           const fint*, const T*, T*, const fint*, flen);                                            \
  void nrx_blas_##P##gemv(const char* tr, const fint* m, const fint* n, const T* alpha, const T* a, const fint* lda, \
                          const T* x, const fint* incx, const T* beta, T* y, const fint* incy) {                     \
    P##gemv_(tr, m, n, alpha, a, lda, x, incx, beta, y, incy, k1);                                                   \
  }

#define NRX_SYR(P, T)                                                                                          \
  extern "C" void P##syr_(const char*, const fint*, const T*, const T*, const fint*, T*, const fint*, flen);   \
  void nrx_blas_##P##syr(const char* uplo, const fint* n, const T* alpha, const T* x, const fint* incx, T* a,  \
                         const fint* lda) {                                                                    \
    P##syr_(uplo, n, alpha, x, incx, a, lda, k1);                                                              \
  }                                                                                                            \
  void nrx_blas_x##P##syr(const char* uplo, const fint* n, const T* alpha, const T* x, const fint* incx, T* a, \
                          const fint* lda) {                                                                   \
    P##syr_(uplo, n, alpha, x, incx, a, lda, k1);                                                              \
  }

#define NRX_SYRK(P, T)                                                                                                 \
  extern "C" void P##syrk_(const char*, const char*, const fint*, const fint*, const T*, const T*, const fint*,        \
                           const T*, T*, const fint*, flen, flen);                                                     \
  void nrx_blas_##P##syrk(const char* uplo, const char* tr, const fint* n, const fint* k, const T* alpha, const T* a,  \
                          const fint* lda, const T* beta, T* c, const fint* ldc) {                                     \
    P##syrk_(uplo, tr, n, k, alpha, a, lda, beta, c, ldc, k1, k1);                                                     \
  }                                                                                                                    \
  void nrx_blas_x##P##syrk(const char* uplo, const char* tr, const fint* n, const fint* k, const T* alpha, const T* a, \
                           const fint* lda, const T* beta, T* c, const fint* ldc) {                                    \
    P##syrk_(uplo, tr, n, k, alpha, a, lda, beta, c, ldc, k1, k1);                                                     \
  }

#define NRX_SYMM(P, T)                                                                                          \
  extern "C" void P##symm_(const char*, const char*, const fint*, const fint*, const T*, const T*, const fint*, \
                           const T*, const fint*, const T*, T*, const fint*, flen, flen);                       \
  void nrx_blas_x##P##symm(const char* side, const char* uplo, const fint* m, const fint* n, const T* alpha,    \
                           const T* a, const fint* lda, const T* b, const fint* ldb, const T* beta, T* c,       \
                           const fint* ldc) {                                                                   \
    P##symm_(side, uplo, m, n, alpha, a, lda, b, ldb, beta, c, ldc, k1, k1);                                    \
  }

#define NRX_TRMM_ONE(NAME, P, T)                                                                                \
  void NAME(const char* side, const char* uplo, const char* ta, const char* diag, const fint* m, const fint* n, \
            const T* alpha, const T* a, const fint* lda, T* b, const fint* ldb) {                               \
    P##trmm_(side, uplo, ta, diag, m, n, alpha, a, lda, b, ldb, k1, k1, k1, k1);                                \
  }
#define NRX_TRMM(P, T)                                                                                             \
  extern "C" void P##trmm_(const char*, const char*, const char*, const char*, const fint*, const fint*, const T*, \
                           const T*, const fint*, T*, const fint*, flen, flen, flen, flen);                        \
  NRX_TRMM_ONE(nrx_blas_##P##trmm, P, T)                                                                           \
  NRX_TRMM_ONE(nrx_blas_x##P##trmm_4zar, P, T)                                                                     \
  NRX_TRMM_ONE(nrx_blas4zar_##P##trmm, P, T)

#define NRX_POTRF_POTRI(P, T)                                                                      \
  extern "C" void P##potrf_(const char*, const fint*, T*, const fint*, fint*, flen);               \
  extern "C" void P##potri_(const char*, const fint*, T*, const fint*, fint*, flen);               \
  void nrx_lapack_##P##potrf(const char* uplo, const fint* n, T* a, const fint* lda, fint* info) { \
    P##potrf_(uplo, n, a, lda, info, k1);                                                          \
  }                                                                                                \
  void nrx_lapack_##P##potri(const char* uplo, const fint* n, T* a, const fint* lda, fint* info) { \
    P##potri_(uplo, n, a, lda, info, k1);                                                          \
  }

#define NRX_TRTRI(P, T)                                                                                              \
  extern "C" void P##trtri_(const char*, const char*, const fint*, T*, const fint*, fint*, flen, flen);              \
  void nrx_lapack_##P##trtri(const char* uplo, const char* diag, const fint* n, T* a, const fint* lda, fint* info) { \
    P##trtri_(uplo, diag, n, a, lda, info, k1, k1);                                                                  \
  }

#define NRX_SYEV(P, T)                                                                                               \
  extern "C" void P##syev_(const char*, const char*, const fint*, T*, const fint*, T*, T*, const fint*, fint*, flen, \
                           flen);                                                                                    \
  void nrx_lapack_##P##syev(const char* jobz, const char* uplo, const fint* n, T* a, const fint* lda, T* w, T* work, \
                            const fint* lwork, fint* info) {                                                         \
    P##syev_(jobz, uplo, n, a, lda, w, work, lwork, info, k1, k1);                                                   \
  }

#define NRX_SPEVD(P, T)                                                                                             \
  extern "C" void P##spevd_(const char*, const char*, const fint*, T*, T*, T*, const fint*, T*, const fint*, fint*, \
                            const fint*, fint*, flen, flen);                                                        \
  void nrx_lapack_##P##spevd(const char* jobz, const char* uplo, const fint* n, T* ap, T* w, T* z, const fint* ldz, \
                             T* work, const fint* lwork, fint* iwork, const fint* liwork, fint* info) {             \
    P##spevd_(jobz, uplo, n, ap, w, z, ldz, work, lwork, iwork, liwork, info, k1, k1);                              \
  }

#define NRX_ALL(P, T)   \
  NRX_GEMM(P, T)        \
  NRX_GEMV(P, T)        \
  NRX_SYR(P, T)         \
  NRX_SYRK(P, T)        \
  NRX_SYMM(P, T)        \
  NRX_TRMM(P, T)        \
  NRX_POTRF_POTRI(P, T) \
  NRX_TRTRI(P, T)       \
  NRX_SYEV(P, T)        \
  NRX_SPEVD(P, T)

NRX_ALL(d, double)
NRX_ALL(s, float)
