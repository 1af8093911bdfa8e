// Tridiagonal LU factorisation and solve without pivoting.
//
// A = L * U with L unit lower bidiagonal (multipliers in dl) and U upper
// bidiagonal (diagonal in d, super-diagonal du unchanged). Without row
// exchanges this is stable for diagonally dominant matrices, which is what
// spline construction produces.
//
// The pivot recurrence u[i] = d[i] - dl[i-1] du[i-1] / u[i-1] has a division
// on its critical path. The factorisation instead runs the equivalent linear
// recurrence of leading minors, t[i] = d[i] t[i-1] - dl[i-1] du[i-1] t[i-2]
// (u[i] = t[i] / t[i-1]), one multiply-add per row, in blocks of kBlock rows
// restarted from the last pivot so the minors stay in range; the pivots and
// multipliers of a block are then independent divisions. A block whose minors
// leave the safe range, or that meets a zero pivot, is redone by the plain
// recurrence, which also finds the first zero pivot. The substitutions divide
// by the pivots a block at a time, off their dependency chains.
#include "nrx/core.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#if defined(__SANITIZE_THREAD__)
// ThreadSanitizer instruments the clones' resolver, which runs before its runtime is ready.
#define NRX_TRIDIAG_CLONES
#else
#define NRX_TRIDIAG_CLONES __attribute__((target_clones("arch=x86-64-v4", "default")))
#endif
#define NRX_TRIDIAG_INLINE [[gnu::always_inline]] inline

namespace {

constexpr int32_t kBlock = 32;

// Plain recurrence over rows [s, e); d[s-1] and dl[s-1] are final. Returns the
// 1-based row of the first zero pivot, or 0.
template <class T> NRX_TRIDIAG_INLINE int32_t factor_rows(int32_t n, int32_t s, int32_t e, T* dl, T* d, const T* du) {
  for (int32_t i = s; i < e; ++i) {
    if (i > 0) d[i] -= dl[i - 1] * du[i - 1];
    if (d[i] == T(0)) return i + 1;
    if (i + 1 < n) dl[i] /= d[i];
  }
  return 0;
}

// Minors of rows [s, s+m) in double (float matrices gain range and accuracy),
// scaled so that the minor before the block is the previous pivot and the one
// before that is 1; t[j+1] for row s+j, t[0] = prev. e0: dl[s-1] du[s-1] of the
// input matrix. Returns the block's last pivot, t[m] / t[m-1].
template <class T>
NRX_TRIDIAG_INLINE double minors(int32_t m, const T* d, double e0, double prev, const T* dl, const T* du, double* t) {
  double a = prev, b = double(d[0]) * prev - e0;
  t[0] = a;
  t[1] = b;
  for (int32_t j = 1; j < m; ++j) {
    const double c = double(d[j]) * b - double(dl[j - 1]) * double(du[j - 1]) * a;
    a = b;
    b = c;
    t[j + 1] = c;
  }
  return b / a;
}

// Pivots and multipliers of rows [s, s+m) from their minors. Pivots are
// correctly rounded quotients: a minor that is an exact multiple of the one
// before gives the exact pivot, as the plain recurrence would. Minors and
// pivots must be normal and finite (NaN fails every test); otherwise nothing
// is written and the result is false.
template <class T> NRX_TRIDIAG_INLINE bool pivots(int32_t n, int32_t s, int32_t m, const double* t, T* dl, T* d) {
  constexpr double lo = 0x1p-960, hi = 0x1p960;
  constexpr double umin = std::numeric_limits<T>::min(), umax = std::numeric_limits<T>::max();
  double p[kBlock];
  int bad = 0;
  for (int32_t j = 0; j < m; ++j) {
    p[j] = t[j + 1] / t[j];
    const double a = std::fabs(t[j + 1]), u = std::fabs(p[j]);
    bad |= int(!(a >= lo)) | int(!(a <= hi)) | int(!(u >= umin)) | int(!(u <= umax));
  }
  if (bad) return false;
  const int32_t ml = s + m < n ? m : m - 1;
  for (int32_t j = 0; j < m; ++j) d[s + j] = T(p[j]);
  for (int32_t j = 0; j < ml; ++j) dl[s + j] /= d[s + j];
  return true;
}

template <class T> NRX_TRIDIAG_INLINE int32_t factor(int32_t n, T* dl, T* d, const T* du) {
  if (n < 0) return -1;
  double t[kBlock + 1];
  double prev = 1, e0 = 0;
  for (int32_t s = 0; s < n; s += kBlock) {
    const int32_t m = std::min(kBlock, n - s);
    const double last = minors(m, d + s, e0, prev, dl + s, du + s, t);
    const double e_next = s + m < n ? double(dl[s + m - 1]) * double(du[s + m - 1]) : 0.0;
    if (pivots(n, s, m, t, dl, d)) {
      prev = last;
    } else {
      if (const int32_t z = factor_rows(n, s, s + m, dl, d, du)) return z;
      prev = double(d[s + m - 1]);
    }
    e0 = e_next;
  }
  return 0;
}

// The first-order recurrence y[k] = c(k) - a(k) y[k-1] (y[-1] = prev) for
// k = 0..m-1, y[k] stored at y[Dir*k]. The second half of the block starts
// from zero beside the first, with the running product of its -a(k), and is
// corrected once the first half's end is known: two chains of half the length.
template <int Dir, class T, class C, class A> NRX_TRIDIAG_INLINE T recur(int32_t m, T prev, T* y, C c, A a) {
  const int32_t h = m / 2;
  T q[kBlock];
  T v = prev, w = 0, r = 1;
  for (int32_t k = 0; k < m - h; ++k) {
    if (k < h) {
      v = c(k) - a(k) * v;
      y[Dir * k] = v;
    }
    const int32_t k2 = h + k;
    w = c(k2) - a(k2) * w;
    r = -a(k2) * r;
    y[Dir * k2] = w;
    q[k] = r;
  }
  for (int32_t k = 0; k < m - h; ++k) y[Dir * (h + k)] += q[k] * v;
  return y[Dir * (m - 1)];
}

// Solves U x = y bottom-up (transposed: U^T x = y top-down) with the pivot
// quotients of each block computed ahead of the chain.
template <class T> NRX_TRIDIAG_INLINE void solve_upper(bool transposed, int32_t n, const T* d, const T* du, T* x) {
  T z[kBlock], u[kBlock];
  T next = 0;
  if (!transposed) {
    for (int32_t e = n; e > 0; e -= kBlock) {
      const int32_t s = std::max(0, e - kBlock), m = e - s;
      for (int32_t j = 0; j < m; ++j) {
        z[j] = x[s + j] / d[s + j];
        u[j] = s + j + 1 < n ? du[s + j] / d[s + j] : T(0);
      }
      next = recur<-1>(
          m, next, x + e - 1, [&](int32_t k) { return z[m - 1 - k]; }, [&](int32_t k) { return u[m - 1 - k]; });
    }
    return;
  }
  for (int32_t s = 0; s < n; s += kBlock) {
    const int32_t m = std::min(kBlock, n - s);
    for (int32_t j = 0; j < m; ++j) {
      z[j] = x[s + j] / d[s + j];
      u[j] = s + j > 0 ? du[s + j - 1] / d[s + j] : T(0);
    }
    next = recur<1>(
        m, next, x + s, [&](int32_t k) { return z[k]; }, [&](int32_t k) { return u[k]; });
  }
}

// Solves L x = y top-down (transposed: L^T x = y bottom-up).
template <class T> NRX_TRIDIAG_INLINE void solve_lower(bool transposed, int32_t n, const T* dl, T* x) {
  if (!transposed) {
    T prev = x[0];
    for (int32_t s = 1; s < n; s += kBlock) {
      const int32_t m = std::min(kBlock, n - s);
      T* y = x + s;
      const T* l = dl + s - 1;
      prev = recur<1>(
          m, prev, y, [&](int32_t k) { return y[k]; }, [&](int32_t k) { return l[k]; });
    }
    return;
  }
  T prev = x[n - 1];
  for (int32_t e = n - 1; e > 0; e -= kBlock) {
    const int32_t s = std::max(0, e - kBlock), m = e - s;
    T* y = x + e - 1;
    const T* l = dl + e - 1;
    prev = recur<-1>(
        m, prev, y, [&](int32_t k) { return y[-k]; }, [&](int32_t k) { return l[-k]; });
  }
}

// A x = b: forward substitution with L, then U. A^T x = b: U^T, then L^T.
template <class T> NRX_TRIDIAG_INLINE void solve_columns(bool transposed, int32_t n, int32_t nrhs, const T* dl,
                                                         const T* d, const T* du, T* b, int32_t ldb) {
  if (n == 0) return;
  for (int32_t j = 0; j < nrhs; ++j) {
    T* x = b + static_cast<int64_t>(j) * ldb;
    if (transposed) {
      solve_upper(true, n, d, du, x);
      solve_lower(true, n, dl, x);
    } else {
      solve_lower(false, n, dl, x);
      solve_upper(false, n, d, du, x);
    }
  }
}

int32_t at_least_one(int32_t n) { return n > 1 ? n : 1; }

template <class T> NRX_TRIDIAG_INLINE void dttrs(const char* trans, const int32_t* n, const int32_t* nrhs, const T* dl,
                                                 const T* d, const T* du, T* b, const int32_t* ldb, int32_t* info) {
  const char t = *trans;
  const bool plain = t == 'N' || t == 'n';
  const bool transposed = t == 'T' || t == 't' || t == 'C' || t == 'c';
  if (!plain && !transposed) *info = -1;
  else if (*n < 0) *info = -2;
  else if (*nrhs < 0) *info = -3;
  else if (*ldb < at_least_one(*n)) *info = -8;
  else *info = 0;
  if (*info == 0) solve_columns(transposed, *n, *nrhs, dl, d, du, b, *ldb);
}

template <class T> NRX_TRIDIAG_INLINE void dtsv(const int32_t* n, const int32_t* nrhs, T* dl, T* d, T* du, T* b,
                                                const int32_t* ldb, int32_t* info) {
  if (*n < 0) *info = -1;
  else if (*nrhs < 0) *info = -2;
  else if (*ldb < at_least_one(*n)) *info = -7;
  else *info = factor(*n, dl, d, du);
  if (*info == 0) solve_columns(false, *n, *nrhs, dl, d, du, b, *ldb);
}

}  // namespace

NRX_TRIDIAG_CLONES void ddttrfb_4dfl(const int32_t* n, double* dl, double* d, double* du, int32_t* info) {
  *info = factor(*n, dl, d, du);
}
NRX_TRIDIAG_CLONES void sdttrfb_4dfl(const int32_t* n, float* dl, float* d, float* du, int32_t* info) {
  *info = factor(*n, dl, d, du);
}

NRX_TRIDIAG_CLONES void ddttrsb_4dfl(const char* trans, const int32_t* n, const int32_t* nrhs, const double* dl,
                                     const double* d, const double* du, double* b, const int32_t* ldb, int32_t* info) {
  dttrs(trans, n, nrhs, dl, d, du, b, ldb, info);
}
NRX_TRIDIAG_CLONES void sdttrsb_4dfl(const char* trans, const int32_t* n, const int32_t* nrhs, const float* dl,
                                     const float* d, const float* du, float* b, const int32_t* ldb, int32_t* info) {
  dttrs(trans, n, nrhs, dl, d, du, b, ldb, info);
}

NRX_TRIDIAG_CLONES void ddtsvb_4dfl(const int32_t* n, const int32_t* nrhs, double* dl, double* d, double* du, double* b,
                                    const int32_t* ldb, int32_t* info) {
  dtsv(n, nrhs, dl, d, du, b, ldb, info);
}
NRX_TRIDIAG_CLONES void sdtsvb_4dfl(const int32_t* n, const int32_t* nrhs, float* dl, float* d, float* du, float* b,
                                    const int32_t* ldb, int32_t* info) {
  dtsv(n, nrhs, dl, d, du, b, ldb, info);
}
