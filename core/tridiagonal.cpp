// Tridiagonal LU factorisation and solve without pivoting.
//
// A = L * U with L unit lower bidiagonal (multipliers in dl) and U upper
// bidiagonal (diagonal in d, super-diagonal du unchanged). Without row
// exchanges this is stable for diagonally dominant matrices, which is what
// spline construction produces.
#include "nrx/core.h"

#include <cstdint>

namespace {

template <class T>
int32_t factor(int32_t n, T* dl, T* d, const T* du) {
    if (n < 0) return -1;
    for (int32_t i = 0; i + 1 < n; ++i) {
        if (d[i] == T(0)) return i + 1;
        const T l = dl[i] / d[i];
        dl[i] = l;
        d[i + 1] -= l * du[i];
    }
    if (n > 0 && d[n - 1] == T(0)) return n;
    return 0;
}

// A x = b: forward substitution with L, then back substitution with U.
template <class T>
void solve_plain(int32_t n, const T* dl, const T* d, const T* du, T* x) {
    for (int32_t i = 1; i < n; ++i) x[i] -= dl[i - 1] * x[i - 1];
    x[n - 1] /= d[n - 1];
    for (int32_t i = n - 2; i >= 0; --i) x[i] = (x[i] - du[i] * x[i + 1]) / d[i];
}

// A^T x = b, A^T = U^T L^T: forward with U^T, then back with L^T.
template <class T>
void solve_transposed(int32_t n, const T* dl, const T* d, const T* du, T* x) {
    x[0] /= d[0];
    for (int32_t i = 1; i < n; ++i) x[i] = (x[i] - du[i - 1] * x[i - 1]) / d[i];
    for (int32_t i = n - 2; i >= 0; --i) x[i] -= dl[i] * x[i + 1];
}

template <class T>
void solve_columns(bool transposed, int32_t n, int32_t nrhs, const T* dl, const T* d, const T* du, T* b,
                   int32_t ldb) {
    if (n == 0) return;
    for (int32_t j = 0; j < nrhs; ++j) {
        T* x = b + static_cast<int64_t>(j) * ldb;
        if (transposed)
            solve_transposed(n, dl, d, du, x);
        else
            solve_plain(n, dl, d, du, x);
    }
}

int32_t at_least_one(int32_t n) { return n > 1 ? n : 1; }

template <class T>
void dttrs(const char* trans, const int32_t* n, const int32_t* nrhs, const T* dl, const T* d, const T* du, T* b,
           const int32_t* ldb, int32_t* info) {
    const char t = *trans;
    const bool plain = t == 'N' || t == 'n';
    const bool transposed = t == 'T' || t == 't' || t == 'C' || t == 'c';
    if (!plain && !transposed)
        *info = -1;
    else if (*n < 0)
        *info = -2;
    else if (*nrhs < 0)
        *info = -3;
    else if (*ldb < at_least_one(*n))
        *info = -8;
    else
        *info = 0;
    if (*info == 0) solve_columns(transposed, *n, *nrhs, dl, d, du, b, *ldb);
}

template <class T>
void dtsv(const int32_t* n, const int32_t* nrhs, T* dl, T* d, T* du, T* b, const int32_t* ldb, int32_t* info) {
    if (*n < 0)
        *info = -1;
    else if (*nrhs < 0)
        *info = -2;
    else if (*ldb < at_least_one(*n))
        *info = -7;
    else
        *info = factor(*n, dl, d, du);
    if (*info == 0) solve_columns(false, *n, *nrhs, dl, d, du, b, *ldb);
}

}  // namespace

void ddttrfb_4dfl(const int32_t* n, double* dl, double* d, double* du, int32_t* info) {
    *info = factor(*n, dl, d, du);
}
void sdttrfb_4dfl(const int32_t* n, float* dl, float* d, float* du, int32_t* info) {
    *info = factor(*n, dl, d, du);
}

void ddttrsb_4dfl(const char* trans, const int32_t* n, const int32_t* nrhs, const double* dl, const double* d,
                  const double* du, double* b, const int32_t* ldb, int32_t* info) {
    dttrs(trans, n, nrhs, dl, d, du, b, ldb, info);
}
void sdttrsb_4dfl(const char* trans, const int32_t* n, const int32_t* nrhs, const float* dl, const float* d,
                  const float* du, float* b, const int32_t* ldb, int32_t* info) {
    dttrs(trans, n, nrhs, dl, d, du, b, ldb, info);
}

void ddtsvb_4dfl(const int32_t* n, const int32_t* nrhs, double* dl, double* d, double* du, double* b,
                 const int32_t* ldb, int32_t* info) {
    dtsv(n, nrhs, dl, d, du, b, ldb, info);
}
void sdtsvb_4dfl(const int32_t* n, const int32_t* nrhs, float* dl, float* d, float* du, float* b,
                 const int32_t* ldb, int32_t* info) {
    dtsv(n, nrhs, dl, d, du, b, ldb, info);
}
