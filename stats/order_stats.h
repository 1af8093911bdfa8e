// Pieces shared by the order-based routines (quantiles, sorting, weighted median,
// absolute deviations): the data view of a task, gathering one component, the work
// over the selected components and threads, and the quantile rule.
#pragma once
#include <cmath>
#include <cstdint>
#include <utility>

#include "common/buffer.h"
#include "common/parallel.h"
#include "nrx/core.h"
#include "nrx/stats.h"
#include "stats/qsort.h"
#include "stats/task.h"

namespace nrx::stats {

// p, n, data and layout of a task, tested in the order dimension, observations, data.
template <class T> struct DataView {
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

// Per-component work of a routine: the data, the selected components in increasing
// order, and a buffer of reals for each thread; components run over the table's item
// loop on at most 2^30 bytes of buffers (one thread per component at most).
template <class T> class ComponentWork {
 public:
  DataView<T> data;

  ComponentWork() = default;
  ComponentWork(const ComponentWork&) = delete;
  ComponentWork& operator=(const ComponentWork&) = delete;
  ~ComponentWork() {
    nrx_serv_deallocate(list_);
    nrx_serv_deallocate(buffers_);
  }

  // Tests the data (-4001, -4002, -4032), then obtains the list and `per_thread(n)`
  // reals per thread (-4000).
  template <class PerThread>
  int32_t open(const NrxSSTask* t, int64_t layout, const nrx_threading* th, PerThread per_thread) {
    if (int32_t st = data.open(t, layout)) return st;
    list_ = static_cast<int64_t*>(nrx_serv_allocate(sizeof(int64_t) * size_t(data.p), 128));
    if (!list_) return NRX_SS_STATUS_NO_MEMORY;
    for (int64_t j = 0; j < data.p; ++j)
      if (selected(t, j)) list_[count_++] = j;
    per_thread_ = per_thread(data.n);
    threads_ = common::thread_count(th);
    const int64_t cap = (int64_t(1) << 30) / (per_thread_ * int64_t(sizeof(T)));
    if (threads_ > cap) threads_ = cap;
    if (threads_ > count_) threads_ = count_;
    if (threads_ < 1) threads_ = 1;
    buffers_ = static_cast<T*>(nrx_serv_allocate(sizeof(T) * size_t(per_thread_ * threads_), 128));
    return buffers_ ? NRX_SS_STATUS_OK : NRX_SS_STATUS_NO_MEMORY;
  }

  int64_t threads() const { return threads_; }

  // f(component, the thread's buffer, thread) for every selected component.
  template <class F> void run(const nrx_threading* th, F&& f) {
    common::run_blocks(th, count_, threads_,
                       [&](int64_t c, int64_t thread) { f(list_[c], buffers_ + thread * per_thread_, thread); });
  }

 private:
  int64_t* list_ = nullptr;
  T* buffers_ = nullptr;
  int64_t count_ = 0, per_thread_ = 1, threads_ = 1;
};

// Quantile of order q from the k-th and (k+1)-th smallest: h = q (n - 1), k = trunc(h).
// At a whole rank the value itself (so infinite data gives its infinity, not NaN).
template <class T> T interpolate(T lo, T hi, double f) {
  return f == 0 ? lo : T(double(lo) + f * (double(hi) - double(lo)));
}

// Quantiles from an ascending array with stride s.
template <class T> void quantiles_from_sorted(const T* v, int64_t s, int64_t n, const T* q, int64_t m, T* out) {
  for (int64_t o = 0; o < m; ++o) {
    const double h = double(q[o]) * double(n - 1);
    const int64_t k = int64_t(h);
    const int64_t k1 = k + 1 < n ? k + 1 : n - 1;
    out[o] = interpolate(v[k * s], v[k1 * s], h - double(k));
  }
}

// Ranks k and min(k + 1, n - 1) of every order, ascending and distinct, into `ranks`
// (2 m entries); returns how many.
template <class T> int64_t quantile_ranks(const T* q, int64_t m, int64_t n, int64_t* ranks) {
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
template <class T> void quantiles_by_selection(T* v, int64_t n, const T* q, int64_t m, int64_t* ranks, T* out) {
  const int64_t count = quantile_ranks(q, m, n, ranks);
  multi_select(Access<T>{v, 1, nullptr}, 0, n - 1, ranks, count);
  quantiles_from_sorted(v, 1, n, q, m, out);
}

}  // namespace nrx::stats
