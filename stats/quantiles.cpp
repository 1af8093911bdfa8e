// drudSSQuantiles / drusSSQuantiles: quantiles and order statistics per component,
// components spread over the threading table's item loop.
#include "nrx/stats.h"
#include "stats/order_stats.h"
#include "stats/radix_sort.h"
#include "stats/task.h"

namespace nrx::stats {
namespace {

// Up to this many distinct ranks a multiple selection beats sorting the whole component.
constexpr int64_t kSelectRanks = 4;

template <class T> int32_t quantiles(NrxSSTask* t, uint64_t est, uint64_t meth, const nrx_threading* th) {
  if (!t) return NRX_SS_STATUS_NULL_TASK;
  int64_t layout = 0;
  if (int32_t st = data_layout(t, &layout)) return st;
  const bool want_q = est & NRX_SS_EST_QUANTILES, want_os = est & NRX_SS_EST_ORDER_STATISTICS;
  int64_t m = 0;
  const T* q = static_cast<const T*>(t->quantile_orders);
  if (want_q) {
    if (!t->quantiles) return NRX_SS_STATUS_NULL_QUANTILES;
    if (!q) return NRX_SS_STATUS_NULL_QUANTILE_ORDERS;
    if (!t->quantile_order_count || (m = read_int(t, t->quantile_order_count)) < 0)
      return NRX_SS_STATUS_BAD_QUANTILE_ORDER_COUNT;
    for (int64_t o = 0; o < m; ++o)
      if (!(q[o] >= T(0) && q[o] <= T(1))) return NRX_SS_STATUS_BAD_QUANTILE_ORDER_COUNT;
  }
  int64_t os_layout = NRX_SS_STORAGE_ROWS;
  if (want_os) {
    if (!t->order_statistics) return NRX_SS_STATUS_NULL_ORDER_STATISTICS;
    if (!t->order_statistics_storage) return NRX_SS_STATUS_NULL_STORAGE;
    os_layout = read_int(t, t->order_statistics_storage);
    if (!valid_layout(os_layout)) return NRX_SS_STATUS_BAD_STORAGE;
  }
  if (!(meth & NRX_SS_METHOD_FAST)) return NRX_SS_STATUS_BAD_METHOD;
  if (!want_os && (!want_q || m == 0)) return NRX_SS_STATUS_OK;
  // Per thread: the values, a second buffer for the radix passes and the m quantiles; 2 m ranks.
  ComponentWork<T> work;
  if (int32_t st = work.open(t, layout, th, [m](int64_t n) { return 2 * n + m; })) return st;
  common::ThreadBuffers<int64_t> ranks{size_t(work.threads()), size_t(2 * m)};
  if (!ranks) return NRX_SS_STATUS_NO_MEMORY;
  const DataView<T>& d = work.data;
  const int64_t n = d.n, p = d.p;

  T* os = static_cast<T*>(t->order_statistics);
  const bool os_rows = os_layout == NRX_SS_STORAGE_ROWS;
  T* qout = static_cast<T*>(t->quantiles);
  work.run(th, [&](int64_t j, T* v, int64_t thread) {
    d.gather(j, v);
    if (want_os) {
      quick_sort(Access<T>{v, 1, nullptr}, n);
      T* row = os + (os_rows ? j * n : j);
      const int64_t s = os_rows ? 1 : p;
      for (int64_t i = 0; i < n; ++i) row[i * s] = v[i];
      if (want_q) quantiles_from_sorted(v, 1, n, q, m, qout + j * m);
      return;
    }
    T* result = v + 2 * n;
    if (quantile_ranks(q, m, n, ranks.of(thread)) > kSelectRanks) {
      radix_sort(v, v + n, n);
      quantiles_from_sorted(v, 1, n, q, m, result);
    } else {
      quantiles_by_selection(v, n, q, m, ranks.of(thread), result);
    }
    for (int64_t o = 0; o < m; ++o) qout[j * m + o] = result[o];
  });
  return NRX_SS_STATUS_OK;
}

}  // namespace
}  // namespace nrx::stats

NRX_SS_ENTRIES(Quantiles, nrx::stats::quantiles)
