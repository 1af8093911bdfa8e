// Ascending sites against the breakpoints: counts of breakpoints not above a
// site found forward from a known count, and runs of sites whose cells are
// counted in registers.
#pragma once

#include <bit>

#include "fit/common.h"
#include "simd/index32.h"

namespace nrx::fit {

// Number of breakpoints not above t, searched forward from c (all of x[0..c-1]
// are known to be <= t) by doubling steps, then bisection.
template <class T> [[gnu::noinline]] int64_t gallop_from(const T* x, int64_t nx, int64_t c, T t) {
  int64_t lo = c, step = 1;
  while (lo + step <= nx && x[lo + step - 1] <= t) {
    lo += step;
    step *= 2;
  }
  int64_t hi = std::min(nx, lo + step);  // x[hi-1] > t or hi = nx
  while (lo < hi) {
    const int64_t mid = lo + (hi - lo) / 2;
    if (x[mid] <= t) lo = mid + 1;
    else hi = mid;
  }
  return lo;
}

// The same, deciding on one vector of the next breakpoints when it can.
template <class T> inline int64_t count_from(const T* x, int64_t nx, int64_t c, T t) {
  constexpr int W = simd::lanes<T>;
  const auto probe = simd::le(simd::masked_load(x + c, simd::tail<T>(nx - c), t), simd::splat(t));
  const int k = std::countr_one(uint32_t(probe));
  if (k < W || c + W >= nx) return std::min<int64_t>(c + k, nx);
  return gallop_from(x, nx, c + W, t);
}

// Number of breakpoints not above t by a bisection without branches.
template <class T> int64_t count_not_above(const T* x, int64_t nx, T t) {
  const T* base = x;
  int64_t len = nx;
  while (len > 1) {
    const int64_t half = len / 2;
    base = base[half] <= t ? base + half : base;
    len -= half;
  }
  return (base - x) + (base[0] <= t ? 1 : 0);
}

// Ascending sites in runs of at most `run`: f(i, m, c0, c1) for the sites
// [i, i+m), whose cells all lie in [c0, c1]. from: a count known not to
// exceed the first site's, or -1. Returns the last site's count.
constexpr int64_t kSortedRun = 32;
template <class T, class F>
int64_t sorted_runs(const T* x, int64_t nx, int64_t n, const T* site, int64_t run, int64_t from, F&& f) {
  // The last count of a run bounds the next run's cells from below.
  int64_t c1 = from >= 0 ? std::min(from, nx) : count_not_above(x, nx, site[0]);
  for (int64_t i = 0; i < n; i += run) {
    const int64_t m = std::min(run, n - i), c0 = c1;
    c1 = count_from(x, nx, c0, site[i + m - 1]);
    f(i, m, c0, c1);
  }
  return c1;
}

// The sites of a run of ascending sites (at most kSortedRun) in registers, with
// their counts of breakpoints not above them: c0 plus those of x[c0..c1-1]
// (the vectors share each broadcast breakpoint). The cell is the count, but
// nx-1 for a site equal to the last breakpoint.
template <class T> struct RunCells {
  static constexpr int W = simd::lanes<T>, V = int(kSortedRun) / W;
  simd::Reg<T> t[V];
  simd::Idx<T> c[V];
  simd::Mask<T> live[V];
  RunCells(const T* x, int64_t m, const T* site, int64_t c0, int64_t c1) {
    using namespace simd;
    for (int v = 0; v < V; ++v) {
      live[v] = tail<T>(m - v * W);
      t[v] = masked_load(site + v * W, live[v], T(0));
      c[v] = splat32<T>(int32_t(c0));
    }
    for (int64_t j = c0; j < c1; ++j) {
      const auto xj = splat(x[j]);
      for (int v = 0; v < V; ++v) c[v] = increment32(c[v], le(xj, t[v]));
    }
  }
  void store_cells(const T* x, int64_t nx, int32_t* cell) const {
    using namespace simd;
    const auto xl = splat(x[nx - 1]);
    const auto last = splat32<T>(int32_t(nx - 1));
    for (int v = 0; v < V; ++v) masked_store(cell + v * W, live[v], select32(eq(t[v], xl), last, c[v]));
  }
};

}  // namespace nrx::fit
