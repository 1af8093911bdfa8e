// drudSSWMedian / drusSSWMedian: the weighted quantile of the first quantile order for
// every component, from the values sorted with their weights.
#include "nrx/stats.h"
#include "stats/order_stats.h"

namespace nrx::stats {
namespace {

// Weighted quantile of order q of v[0..n) with weights w (both reordered).
template <class T> T weighted_quantile(T* v, T* w, int64_t n, double q) {
  quick_sort(Access<T, T>{v, 1, w}, n);
  double W = 0;
  for (int64_t i = 0; i < n; ++i) W += double(w[i]);
  const double target = q * W;
  double c = 0;
  int64_t i = 0;
  for (; i < n; ++i) {
    c += double(w[i]);
    if (c >= target) break;
  }
  if (i == n) i = n - 1;  // rounding left the target above every running sum
  const bool odd = n & 1;
  if (c > target) {
    const double below = c - double(w[i]);
    if (below <= 0) return v[i];
    if (odd && below == (W - double(w[i])) * q) return v[i];
    int64_t u = i - 1;
    while (u > 0 && !(w[u] > T(0))) --u;
    return T(double(v[u]) + (double(v[i]) - double(v[u])) * (target - below) / double(w[i]));
  }
  if (odd || i == n - 1) return v[i];
  int64_t a = i + 1;
  while (a < n - 1 && !(w[a] > T(0))) ++a;
  return T((double(v[i]) + double(v[a])) / 2);
}

template <class T> int32_t wmedian(NrxSSTask* t) {
  if (!t) return NRX_SS_STATUS_NULL_TASK;
  int64_t layout = 0;
  if (int32_t st = data_layout(t, &layout)) return st;
  if (!t->quantiles) return NRX_SS_STATUS_NULL_QUANTILES;
  if (!t->quantile_orders) return NRX_SS_STATUS_NULL_QUANTILE_ORDERS;
  const double q = double(*static_cast<const T*>(t->quantile_orders));
  if (!(q >= 0 && q <= 1)) return NRX_SS_STATUS_BAD_QUANTILE_ORDER_COUNT;
  DataView<T> d;
  if (int32_t st = d.open(t, layout)) return st;
  const int64_t n = d.n;
  common::Buffer<T> buf(size_t(2 * n));
  if (!buf) return NRX_SS_STATUS_NO_MEMORY;
  T* v = buf.p;
  T* w = buf.p + n;
  const T* weights = static_cast<const T*>(t->weights);
  T* out = static_cast<T*>(t->quantiles);
  for (int64_t j = 0; j < d.p; ++j) {
    d.gather(j, v);
    for (int64_t i = 0; i < n; ++i) w[i] = weights ? weights[i] : T(1);
    out[j] = weighted_quantile(v, w, n, q);
  }
  return NRX_SS_STATUS_OK;
}

}  // namespace
}  // namespace nrx::stats

extern "C" {
NRX_SS_API int32_t drudSSWMedian(NrxSSTask* task) { return nrx::stats::wmedian<double>(task); }
NRX_SS_API int32_t drusSSWMedian(NrxSSTask* task) { return nrx::stats::wmedian<float>(task); }
}
