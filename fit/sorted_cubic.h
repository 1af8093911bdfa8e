// Cubic pieces at ascending sites: a run's cells are counted in registers and,
// when the run's pieces fit in one register of breakpoints, their coefficients
// and left ends are loaded once and every lane picks its own by permutation.
#pragma once

#include "fit/eval.h"
#include "fit/search.h"
#include "fit/sorted_runs.h"

namespace nrx::fit {

// One run of at most kSortedRun ascending sites whose cells lie in [c0, c1],
// for functions 0..ny-1: coef(f) is the coefficient block of f and dest(f) where
// its results go (derivative k at dest(f) + k*ld). cells, unless null, receives
// the cells. Returns false, having written nothing, when the run's pieces span
// more than one register.
template <class T, class Coef, class Dest>
bool sorted_cubic_run(const T* x, int64_t nx, int64_t m, const T* site, int64_t c0, int64_t c1, int64_t ny, Coef coef,
                      Dest dest, int64_t nres, const int64_t* ders, int64_t ld, int32_t* cells) {
  using namespace simd;
  constexpr int W = lanes<T>, V = kSortedRun / W;
  const int64_t np = nx - 1;
  const int64_t p0 = std::clamp<int64_t>(c0 - 1, 0, np - 1), p1 = std::clamp<int64_t>(c1 - 1, 0, np - 1);
  if (p1 - p0 >= W) return false;
  const int64_t held = std::min<int64_t>(W, np - p0);
  const RunCells<T> rc(x, m, site, c0, c1);
  if (cells) rc.store_cells(x, nx, cells);
  // Each lane's piece clamp(count - 1, 0, np - 1) as an index into the held ones, and its offset from
  // the piece's left end.
  const auto left = masked_load(x + p0, tail<T>(held), T(0));
  const auto first = splat32<T>(int32_t(p0 + 1)), zero = splat32<T>(0), top = splat32<T>(int32_t(held - 1));
  Idx<T> local[V];
  Reg<T> u[V];
  for (int v = 0; v < V; ++v) {
    local[v] = min32(max32(sub32(rc.c[v], first), zero), top);
    u[v] = sub(rc.t[v], lookup(left, local[v]));
  }
  // Per function: the held pieces' coefficients, then a register per coefficient over the pieces.
  const auto step = shift_left32<2>(lane_index<T>());
  for (int64_t f = 0; f < ny; ++f) {
    const T* cf = coef(f) + 4 * p0;
    Reg<T> rows[4], cq[4];
    for (int r = 0; r < 4; ++r) rows[r] = masked_load(cf + r * W, tail<T>(4 * held - r * W), T(0));
    for (int q = 0; q < 4; ++q) cq[q] = lookup4(rows, add32(step, splat32<T>(q)));
    T* out = dest(f);
    for (int64_t k = 0; k < nres; ++k) {
      const int64_t q = ders[k];
      for (int v = 0; v < V; ++v) {
        Reg<T> cv[4];
        for (int r = 0; r < 4; ++r) cv[r] = lookup(cq[r], local[v]);
        masked_store(out + k * ld + v * W, rc.live[v], cubic_derivative<T>(q, cv, u[v]));
      }
    }
  }
  return true;
}

}  // namespace nrx::fit
