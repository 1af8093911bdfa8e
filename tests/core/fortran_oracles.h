// Reference LAPACK/BLAS routines called directly, as independent oracles.
#pragma once
#include <cstddef>
#include <cstdint>

extern "C" {
void dgtsv_(const int32_t* n, const int32_t* nrhs, double* dl, double* d, double* du, double* b, const int32_t* ldb,
            int32_t* info);
void dtrmm_(const char* side, const char* uplo, const char* transa, const char* diag, const int32_t* m,
            const int32_t* n, const double* alpha, const double* a, const int32_t* lda, double* b, const int32_t* ldb,
            size_t, size_t, size_t, size_t);
void strmm_(const char* side, const char* uplo, const char* transa, const char* diag, const int32_t* m,
            const int32_t* n, const float* alpha, const float* a, const int32_t* lda, float* b, const int32_t* ldb,
            size_t, size_t, size_t, size_t);
}

// dtrmm_/strmm_ chosen by element type.
inline void reference_trmm(const char* s, const char* u, const char* t, const char* d, const int32_t* m,
                           const int32_t* n, const double* alpha, const double* a, const int32_t* lda, double* b,
                           const int32_t* ldb) {
  dtrmm_(s, u, t, d, m, n, alpha, a, lda, b, ldb, 1, 1, 1, 1);
}
inline void reference_trmm(const char* s, const char* u, const char* t, const char* d, const int32_t* m,
                           const int32_t* n, const float* alpha, const float* a, const int32_t* lda, float* b,
                           const int32_t* ldb) {
  strmm_(s, u, t, d, m, n, alpha, a, lda, b, ldb, 1, 1, 1, 1);
}
