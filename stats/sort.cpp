// drudSSSort / drusSSSort: each selected component sorted ascending by the radix sort
// into the sorted-data result (or back into the data), components over the threads.
#include "nrx/stats.h"
#include "stats/order_stats.h"
#include "stats/radix_sort.h"
#include "stats/task.h"

namespace nrx::stats {
namespace {

constexpr uint64_t kMethodRadix = 0x100000;

template <class T> int32_t sort(NrxSSTask* t, uint64_t, uint64_t meth, const nrx_threading* th) {
  if (!t) return NRX_SS_STATUS_NULL_TASK;
  if (!t->sorted_data) return NRX_SS_STATUS_NULL_SORTED_DATA;
  if (!t->sorted_data_storage) return NRX_SS_STATUS_NULL_STORAGE;
  const int64_t out_layout = read_int(t, t->sorted_data_storage);
  const bool in_place = t->sorted_data == t->data;
  if (!t->data_layout) return NRX_SS_STATUS_NULL_STORAGE;
  const int64_t layout = read_int(t, t->data_layout);
  if (in_place) {
    if (layout != out_layout) return NRX_SS_STATUS_NULL_STORAGE;
    if (t->indices) return NRX_SS_STATUS_SORT_IN_PLACE_WITH_INDICES;
  }
  if (!valid_layout(layout) || !valid_layout(out_layout)) return NRX_SS_STATUS_BAD_STORAGE;
  if (!(meth & kMethodRadix)) return NRX_SS_STATUS_BAD_METHOD;
  ComponentWork<T> work;  // the values and a second buffer for the radix passes
  if (int32_t st = work.open(t, layout, th, [](int64_t n) { return 2 * n; })) return st;
  const DataView<T>& d = work.data;
  const int64_t n = d.n, p = d.p;
  T* out = static_cast<T*>(t->sorted_data);
  const bool out_rows = out_layout == NRX_SS_STORAGE_ROWS;
  work.run(th, [&](int64_t j, T* v, int64_t) {
    d.gather(j, v);
    radix_sort(v, v + n, n);
    T* row = out + (out_rows ? j * n : j);
    const int64_t s = out_rows ? 1 : p;
    for (int64_t i = 0; i < n; ++i) row[i * s] = v[i];
  });
  return NRX_SS_STATUS_OK;
}

}  // namespace
}  // namespace nrx::stats

NRX_SS_ENTRIES(Sort, nrx::stats::sort)
