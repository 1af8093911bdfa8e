// drudSSMinmax / drusSSMinmax: folds the block into the caller's minimum and maximum
// arrays. `x < m ? x : m` keeps m when x is NaN and keeps a NaN m (the vector min/max
// instructions have exactly this operand rule).
#include "nrx/core.h"
#include "nrx/stats.h"
#include "stats/task.h"

namespace nrx::stats {
namespace {

template <class T> int32_t minmax(NrxSSTask* t, uint64_t est, uint64_t meth, const nrx_threading*) {
  if (!t) return NRX_SS_STATUS_NULL_TASK;
  if (!t->data_layout) return NRX_SS_STATUS_NULL_STORAGE;
  const int64_t layout = read_int(t, t->data_layout);
  if (!valid_layout(layout)) return NRX_SS_STATUS_BAD_STORAGE;
  const bool want_min = est & NRX_SS_EST_MINIMUM, want_max = est & NRX_SS_EST_MAXIMUM;
  if (want_min && !t->minimum) return NRX_SS_STATUS_NULL_MINIMUM;
  if (want_max && !t->maximum) return NRX_SS_STATUS_NULL_MAXIMUM;
  if (!(meth & (NRX_SS_METHOD_FAST | NRX_SS_METHOD_ONE_PASS))) return NRX_SS_STATUS_BAD_METHOD;
  if (!want_min && !want_max) return NRX_SS_STATUS_OK;
  if (!t->observations || read_int(t, t->observations) <= 0) return NRX_SS_STATUS_BAD_OBSERVATIONS;
  if (!t->data) return NRX_SS_STATUS_NULL_DATA;
  const int64_t n = read_int(t, t->observations), p = read_int(t, t->dimension);
  auto* list = static_cast<int32_t*>(nrx_serv_allocate(sizeof(int32_t) * size_t(p), 128));
  if (!list) return NRX_SS_STATUS_NO_MEMORY;
  int64_t count = 0;
  for (int64_t j = 0; j < p; ++j)
    if (selected(t, j)) list[count++] = int32_t(j);
  const T* x = static_cast<const T*>(t->data);
  T* mn = static_cast<T*>(t->minimum);
  T* mx = static_cast<T*>(t->maximum);
  if (layout == NRX_SS_STORAGE_ROWS) {
    for (int64_t c = 0; c < count; ++c) {
      const int64_t j = list[c];
      const T* xj = x + j * n;
      if (want_min) {
        T m = mn[j];
        for (int64_t i = 0; i < n; ++i) m = xj[i] < m ? xj[i] : m;
        mn[j] = m;
      }
      if (want_max) {
        T m = mx[j];
        for (int64_t i = 0; i < n; ++i) m = xj[i] > m ? xj[i] : m;
        mx[j] = m;
      }
    }
  } else {
    for (int64_t i = 0; i < n; ++i) {
      const T* xi = x + i * p;
      for (int64_t c = 0; c < count; ++c) {
        const int64_t j = list[c];
        if (want_min) mn[j] = xi[j] < mn[j] ? xi[j] : mn[j];
        if (want_max) mx[j] = xi[j] > mx[j] ? xi[j] : mx[j];
      }
    }
  }
  nrx_serv_deallocate(list);
  return NRX_SS_STATUS_OK;
}

}  // namespace
}  // namespace nrx::stats

NRX_SS_ENTRIES(Minmax, nrx::stats::minmax)
