// Pieces shared by the construction kernels: boundary variants, the prepared
// partition (breakpoints, steps, inverse steps), per-function value access and
// the conversions from breakpoint derivatives to piece coefficients.
#pragma once

#include "common/core_calls.h"
#include "fit/common.h"

namespace nrx::fit {

using common::Core;

// Boundary-condition type -> variant number.
enum Variant { kNotAKnot = 0, kFree = 1, k1st1st = 2, k1st2nd = 3, k2nd1st = 4, k2nd2nd = 5, kPeriodic = 6, kNone = 7 };

struct BcEntry {
  int64_t bc_type;
  Variant variant;
  bool needs_array;
};
inline constexpr BcEntry kBoundaryTable[] = {
    {DFK_BC_NOT_A_KNOT, kNotAKnot, false},
    {DFK_BC_FREE_END, kFree, false},
    {DFK_BC_1ST_LEFT | DFK_BC_1ST_RIGHT, k1st1st, true},
    {DFK_BC_1ST_LEFT | DFK_BC_2ND_RIGHT, k1st2nd, true},
    {DFK_BC_2ND_LEFT | DFK_BC_1ST_RIGHT, k2nd1st, true},
    {DFK_BC_2ND_LEFT | DFK_BC_2ND_RIGHT, k2nd2nd, true},
    {DFK_BC_PERIODIC, kPeriodic, false},
    {0, kNone, false},
};

// The periodic condition takes a boundary array with the default and the Hermite
// spline types (the Hermite kind reads bc[0] as the end derivative).
inline bool periodic_needs_array(const DfTask* t) { return t->type == DFK_TYPE_DEFAULT || t->type == DFK_TYPE_HERMITE; }

// Maps the task's boundary type to a variant; allow_none admits type 0 (Akima),
// periodic_array makes the periodic condition need the boundary array whatever the type.
inline int32_t boundary_variant(const DfTask* t, bool allow_none, bool periodic_array, Variant* v) {
  for (const auto& e : kBoundaryTable) {
    if (e.bc_type != t->bc_type) continue;
    if (e.variant == kNone && !allow_none) return DFK_ERR_BC_TYPE;
    const bool periodic_array_needed = e.variant == kPeriodic && (periodic_array || periodic_needs_array(t));
    if ((e.needs_array || periodic_array_needed) && !t->bc) return DFK_ERR_BC;
    *v = e.variant;
    return DFK_OK;
  }
  return DFK_ERR_BC_TYPE;
}

inline bool left_first(Variant v) { return v == k1st1st || v == k1st2nd; }
inline bool right_first(Variant v) { return v == k1st1st || v == k2nd1st; }
inline bool left_second(Variant v) { return v == k2nd1st || v == k2nd2nd; }
inline bool right_second(Variant v) { return v == k1st2nd || v == k2nd2nd; }

// Breakpoints, steps and inverse steps, materialised for uniform partitions.
template <class T> struct Prepared {
  int64_t nx = 0;
  const T* x = nullptr;
  T* h = nullptr;
  T* inv = nullptr;
  Buffer<T> store;
  explicit Prepared(const DfTask* t) : nx(t->nx), store(3 * size_t(t->nx)) {
    if (!store) return;
    const Grid<T> g(t);
    T* xs = store.p;
    h = xs + nx;
    inv = h + nx;
    if (g.uniform) {
      for (int64_t i = 0; i < nx; ++i) xs[i] = g.at(i);
      x = xs;
    } else {
      x = g.x;
    }
    for (int64_t i = 0; i + 1 < nx; ++i) {
      h[i] = x[i + 1] - x[i];
      inv[i] = T(1) / h[i];
    }
  }
  bool ok() const { return store.p != nullptr; }
};

// The values of function f: its own array under row storage, else gathered into buf.
template <class T> const T* function_values(const DfTask* t, int64_t f, T* buf) {
  const Values<T> v(t);
  if (!v.cols) return v.p[f];
  for (int64_t j = 0; j < t->nx; ++j) buf[j] = v(f, j);
  return buf;
}

// Periodic data must repeat its first value at the end (exact, NaN fails).
template <class T> int32_t check_periodic(const DfTask* t) {
  const Values<T> v(t);
  for (int64_t f = 0; f < t->ny; ++f)
    if (!(v(f, 0) == v(f, t->nx - 1))) return DFK_ERR_PERIODIC;
  return DFK_OK;
}

// Common preamble: y hint, function and coefficient pointers.
inline int32_t check_storage(const DfTask* t) {
  if (!valid_storage_hint(t->yhint)) return DFK_ERR_YHINT;
  if (t->ny < 1) return DFK_ERR_NY;
  if (!t->y || !t->y[0]) return DFK_ERR_Y;
  if (!column_storage(t)) {
    if (pointer_array_size(t->y) < t->ny) return DFK_ERR_Y;
    for (int64_t f = 0; f < t->ny; ++f)
      if (!t->y[f]) return DFK_ERR_Y;
  }
  if (!t->coeff || pointer_array_size(t->coeff) < t->ny) return DFK_ERR_COEFF;
  for (int64_t f = 0; f < t->ny; ++f)
    if (!t->coeff[f]) return DFK_ERR_COEFF;
  return DFK_OK;
}

// Cubic pieces [i0, i1) from first derivatives d (indexed by breakpoint).
template <class T> void cubic_from_first(const Prepared<T>& p, const T* y, const T* d, int64_t i0, int64_t i1, T* c) {
  for (int64_t i = i0; i < i1; ++i) {
    const T r = p.inv[i], m = (y[i + 1] - y[i]) * r;
    c[4 * i] = y[i];
    c[4 * i + 1] = d[i];
    c[4 * i + 2] = (T(3) * m - T(2) * d[i] - d[i + 1]) * r;
    c[4 * i + 3] = (d[i] + d[i + 1] - T(2) * m) * r * r;
  }
}

// Cubic pieces from second derivatives M.
template <class T> void cubic_from_second(const Prepared<T>& p, const T* y, const T* M, T* c) {
  for (int64_t i = 0; i + 1 < p.nx; ++i) {
    const T h = p.h[i], m = (y[i + 1] - y[i]) * p.inv[i];
    c[4 * i] = y[i];
    c[4 * i + 1] = m - h * (M[i] / T(3) + M[i + 1] / T(6));
    c[4 * i + 2] = M[i] / T(2);
    c[4 * i + 3] = (M[i + 1] - M[i]) * p.inv[i] / T(6);
  }
}

}  // namespace nrx::fit
