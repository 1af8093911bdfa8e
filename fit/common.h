// Shared pieces of the data fitting kernels: task access in the task's
// precision, the partition view and the owned pointer arrays.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "common/buffer.h"
#include "common/parallel.h"
#include "nrx/core.h"
#include "nrx/fit.h"

namespace nrx::fit {

using common::Buffer;
using common::FirstError;
using common::run_blocks;
using common::thread_count;

// Storage codes of the y hint that the kernels accept.
inline bool valid_storage_hint(int64_t h) { return h == 0 || h == 16 || h == 32 || h == 128; }
inline bool column_storage(const DfTask* t) { return t->yhint == DFK_COLS; }
inline bool uniform_partition(const DfTask* t) { return (t->xhint & DFK_UNIFORM) != 0; }

// The task's owned pointer arrays remember their length in the word before
// entry 0, so kernels can refuse a function count edited beyond it.
template <class P> P* pointer_array(int64_t n) {
  auto* block = static_cast<int64_t*>(nrx_serv_allocate(sizeof(void*) * size_t(n + 2), 128));
  if (!block) return nullptr;
  block[1] = n;
  P* p = reinterpret_cast<P*>(block + 2);
  for (int64_t i = 0; i < n; ++i) p[i] = nullptr;
  return p;
}
template <class P> void free_pointer_array(P* p) {
  if (p) nrx_serv_deallocate(reinterpret_cast<int64_t*>(const_cast<void*>(static_cast<const void*>(p))) - 2);
}
template <class P> int64_t pointer_array_size(P* p) {
  return p ? reinterpret_cast<const int64_t*>(static_cast<const void*>(p))[-1] : 0;
}

// Values per function of the coefficient block.
inline int64_t coeff_stride(int64_t order, int64_t type, int64_t nx) {
  return order * (type == DFK_TYPE_QUAD_KNOTS ? nx : nx - 1);
}

// The breakpoints of a task: given explicitly or as the two ends of a uniform grid.
template <class T> struct Grid {
  const T* x;
  int64_t nx;
  bool uniform;
  T x0, xl, h;
  Grid(const DfTask* t) : x(static_cast<const T*>(t->x)), nx(t->nx), uniform(uniform_partition(t)) {
    x0 = x[0];
    xl = uniform ? x[1] : x[nx - 1];
    h = uniform ? (xl - x0) / T(nx - 1) : T(0);
  }
  T at(int64_t i) const { return uniform ? (i == nx - 1 ? xl : x0 + T(i) * h) : x[i]; }
  T step(int64_t i) const { return uniform ? h : x[i + 1] - x[i]; }
};

// Function values of a task: row storage (one pointer per function) or columns.
template <class T> struct Values {
  const T* const* p;
  int64_t ny;
  bool cols;
  Values(const DfTask* t) : p(reinterpret_cast<const T* const*>(t->y)), ny(t->ny), cols(column_storage(t)) {}
  T operator()(int64_t f, int64_t j) const { return cols ? p[0][j * ny + f] : p[f][j]; }
};

template <class T> T* coeffs(const DfTask* t, int64_t f) { return static_cast<T*>(t->coeff[f]); }

// Reciprocal of the step refined from an estimate: r*(1+e)*(1+e*e), e = 1 - h*r.
template <class T> inline T refined_reciprocal(T h) {
  T r = T(1) / h;
  if (r == T(0) || std::isinf(r)) return r;
  T e = T(1) - h * r;
  return r * (T(1) + e) * (T(1) + e * e);
}

}  // namespace nrx::fit
