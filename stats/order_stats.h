// Pieces shared by the order-based routines (quantiles, sorting, weighted median,
// absolute deviations): the data view of a task, the selected component list,
// gathering one component, the quantile rule, and the spread over threads.
#pragma once
#include <cmath>
#include <cstdint>
#include <utility>

#include "common/buffer.h"
#include "common/parallel.h"
#include "nrx/stats.h"
#include "stats/qsort.h"
#include "stats/task.h"

namespace nrx::stats {

// p, n, data and layout of a task, tested in the order dimension, observations, data.
template <class T>
struct DataView {
  int64_t p = 0, n = 0;
  const T* x = nullptr;
  bool rows = true;
  int32_t open(const NrxSSTask* t, int64_t layout) {
    if (!t->dimension || (p = read_int(t, t->dimension)) <= 0) return NRX_SS_STATUS_BAD_DIMENSION;
    if (!t->observations || (n = read_int(t, t->observations)) <= 0) return NRX_SS_STATUS_BAD_OBSERVATIONS;
    if (!t->data) return NRX_SS_STATUS_NULL_DATA;
    x = static_cast<const T*>(t->data);
    rows = layout == NRX_SS_STORAGE_ROWS;
    return NRX_SS_STATUS_OK;
  }
  // Element i of component j.
  T at(int64_t j, int64_t i) const { return rows ? x[j * n + i] : x[i * p + j]; }
  void gather(int64_t j, T* out) const {
    if (rows) {
      const T* xj = x + j * n;
      for (int64_t i = 0; i < n; ++i) out[i] = xj[i];
    } else {
      for (int64_t i = 0; i < n; ++i) out[i] = x[i * p + j];
    }
  }
};

// The data layout code, or the status of a missing or unknown one.
inline int32_t data_layout(const NrxSSTask* t, int64_t* layout) {
  if (!t->data_layout) return NRX_SS_STATUS_NULL_STORAGE;
  *layout = read_int(t, t->data_layout);
  return valid_layout(*layout) ? NRX_SS_STATUS_OK : NRX_SS_STATUS_BAD_STORAGE;
}

// The components that take part, in increasing order.
struct ComponentList {
  common::Buffer<int64_t> list;
  int64_t count = 0;
  ComponentList(const NrxSSTask* t, int64_t p) : list(size_t(p)) {
    if (!list) return;
    for (int64_t j = 0; j < p; ++j)
      if (selected(t, j)) list[size_t(count++)] = j;
  }
  explicit operator bool() const { return bool(list); }
  int64_t operator[](int64_t c) const { return list.p[c]; }
};

// Threads for per-component work with a buffer of `per_thread_bytes` each: the table's
// count, at most 2^30 bytes of buffers in all and one per component, at least 1.
inline int64_t component_threads(const nrx_threading* th, int64_t components, int64_t per_thread_bytes) {
  int64_t nt = common::thread_count(th);
  const int64_t cap = per_thread_bytes > 0 ? (int64_t(1) << 30) / per_thread_bytes : nt;
  if (nt > cap) nt = cap;
  if (nt > components) nt = components;
  return nt < 1 ? 1 : nt;
}

// Quantile of order q from the k-th and (k+1)-th smallest: h = q (n - 1), k = trunc(h).
// At a whole rank the value itself (so infinite data gives its infinity, not NaN).
template <class T>
T interpolate(T lo, T hi, double f) {
  return f == 0 ? lo : T(double(lo) + f * (double(hi) - double(lo)));
}

// Quantiles from an ascending array with stride s.
template <class T>
void quantiles_from_sorted(const T* v, int64_t s, int64_t n, const T* q, int64_t m, T* out) {
  for (int64_t o = 0; o < m; ++o) {
    const double h = double(q[o]) * double(n - 1);
    const int64_t k = int64_t(h);
    const int64_t k1 = k + 1 < n ? k + 1 : n - 1;
    out[o] = interpolate(v[k * s], v[k1 * s], h - double(k));
  }
}

// Ranks k and min(k + 1, n - 1) of every order, ascending and distinct, into `ranks`
// (2 m entries); returns how many.
template <class T>
int64_t quantile_ranks(const T* q, int64_t m, int64_t n, int64_t* ranks) {
  int64_t c = 0;
  for (int64_t o = 0; o < m; ++o) {
    const int64_t k = int64_t(double(q[o]) * double(n - 1));
    ranks[c++] = k;
    ranks[c++] = k + 1 < n ? k + 1 : n - 1;
  }
  for (int64_t a = 1; a < c; ++a)
    for (int64_t b = a; b > 0 && ranks[b - 1] > ranks[b]; --b) std::swap(ranks[b - 1], ranks[b]);
  int64_t u = 0;
  for (int64_t a = 0; a < c; ++a)
    if (u == 0 || ranks[u - 1] != ranks[a]) ranks[u++] = ranks[a];
  return u;
}

// Quantiles of v[0..n) (reordered) at the m orders: every rank they read is put in
// place by one multiple selection; `ranks` holds 2 m entries of scratch.
template <class T>
void quantiles_by_selection(T* v, int64_t n, const T* q, int64_t m, int64_t* ranks, T* out) {
  const int64_t count = quantile_ranks(q, m, n, ranks);
  multi_select(Access<T>{v, 1, nullptr}, 0, n - 1, ranks, count);
  quantiles_from_sorted(v, 1, n, q, m, out);
}

}  // namespace nrx::stats
