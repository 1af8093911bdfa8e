// drudSSMAD / drusSSMAD: median absolute deviation (about the median) and mean absolute
// deviation (about the mean, or the registered mean with method 0x100) per component.
// The means are the basic statistics' own (a one-component task over the thread's buffer).
#include "nrx/stats.h"
#include "stats/order_stats.h"
#include "stats/task.h"

namespace nrx::stats {
namespace {

template <class T> int32_t basic_of(NrxSSTask* t, uint64_t est, uint64_t meth) {
  if constexpr (sizeof(T) == 8) return drudSSBasic(t, est, meth, &nrx_threading_serial);
  else return drusSSBasic(t, est, meth, &nrx_threading_serial);
}

// The weighted mean of v[0..n) by the fast basic method.
template <class T> int32_t mean_of(const T* v, const T* w, int64_t n, T* mean) {
  const int64_t one = 1, layout = NRX_SS_STORAGE_ROWS;
  NrxSSTask inner{};
  inner.int64_flag = 1;
  inner.dimension = &one;
  inner.observations = &n;
  inner.data = v;
  inner.weights = w;
  inner.data_layout = &layout;
  inner.mean = mean;
  const int32_t st = basic_of<T>(&inner, NRX_SS_EST_MEAN, NRX_SS_METHOD_FAST);
  nrx_serv_deallocate(inner.basic_buffer);
  return st;
}

template <class T> T median_of(T* v, int64_t n) {
  const T half = T(0.5);
  int64_t ranks[2];
  T out;
  quantiles_by_selection(v, n, &half, 1, ranks, &out);
  return out;
}

template <class T> int32_t mad(NrxSSTask* t, uint64_t est, uint64_t meth, const nrx_threading* th) {
  if (!t) return NRX_SS_STATUS_NULL_TASK;
  int64_t layout = 0;
  if (int32_t st = data_layout(t, &layout)) return st;
  const bool want_median = est & NRX_SS_EST_MEDIAN_ABS_DEVIATION, want_mean = est & NRX_SS_EST_MEAN_ABS_DEVIATION;
  if (want_median) {
    if (!t->median_abs_deviation) return NRX_SS_STATUS_NULL_MEDIAN_ABS_DEVIATION;
    if (!(meth & NRX_SS_METHOD_FAST)) return NRX_SS_STATUS_BAD_METHOD;
  }
  const bool given_mean = meth & NRX_SS_METHOD_FAST_GIVEN_MEAN;
  if (want_mean) {
    if (!t->mean_abs_deviation) return NRX_SS_STATUS_NULL_MEAN_ABS_DEVIATION;
    if (!(meth & (NRX_SS_METHOD_FAST | NRX_SS_METHOD_FAST_GIVEN_MEAN))) return NRX_SS_STATUS_BAD_METHOD;
    if (given_mean && !t->mean) return NRX_SS_STATUS_NULL_MEAN;
  }
  if (!want_median && !want_mean) return NRX_SS_STATUS_OK;
  ComponentWork<T> work;
  if (int32_t st = work.open(t, layout, th, [](int64_t n) { return n; })) return st;
  const DataView<T>& d = work.data;
  const int64_t n = d.n;
  const T* w = static_cast<const T*>(t->weights);
  const T* given = static_cast<const T*>(t->mean);
  T* median_out = static_cast<T*>(t->median_abs_deviation);
  T* mean_out = static_cast<T*>(t->mean_abs_deviation);
  common::FirstError err;
  work.run(th, [&](int64_t j, T* v, int64_t) {
    if (want_median) {
      d.gather(j, v);
      const T centre = median_of(v, n);
      for (int64_t i = 0; i < n; ++i) v[i] = std::abs(v[i] - centre);
      median_out[j] = median_of(v, n);
    }
    if (want_mean) {
      d.gather(j, v);
      T centre;
      if (given_mean) {
        centre = given[j];
      } else if (int32_t st = mean_of(v, w, n, &centre)) {
        err.set(st);
        return;
      }
      for (int64_t i = 0; i < n; ++i) v[i] = std::abs(v[i] - centre);
      T result;
      if (int32_t st = mean_of(v, w, n, &result)) {
        err.set(st);
        return;
      }
      mean_out[j] = result;
    }
  });
  return err.get();
}

}  // namespace
}  // namespace nrx::stats

NRX_SS_ENTRIES(MAD, nrx::stats::mad)
