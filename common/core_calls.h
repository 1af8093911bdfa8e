// The core service calls in the precision of T, so one algorithm body serves
// float and double: the tridiagonal solvers and the triangular multiplies.
#pragma once

#include <cstdint>

#include "nrx/core.h"

namespace nrx::common {

template <class T>
struct Core {
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

    // B := op(A) B, A triangular m x m in full (lda) or packed storage, B m x n.
    static void trmm(const char* uplo, const char* trans, int32_t m, int32_t n, const T* a, int32_t lda, T* b,
                     int32_t ldb) {
        const T one = 1;
        if constexpr (kDouble) nrx_blas4zar_dtrmm("L", uplo, trans, "N", &m, &n, &one, a, &lda, b, &ldb);
        else nrx_blas4zar_strmm("L", uplo, trans, "N", &m, &n, &one, a, &lda, b, &ldb);
    }
    static void packed_trmm(const char* uplo, const char* trans, int32_t m, int32_t n, const T* ap, T* b,
                            int32_t ldb) {
        const T one = 1;
        if constexpr (kDouble) nrx_blas4zar_dptrmm("L", uplo, trans, "N", &m, &n, &one, ap, b, &ldb);
        else nrx_blas4zar_sptrmm("L", uplo, trans, "N", &m, &n, &one, ap, b, &ldb);
    }
};

}  // namespace nrx::common
