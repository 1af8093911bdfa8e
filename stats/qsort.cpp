// The exported sort and selection routines over plain arrays.
#include "stats/qsort.h"
#include "nrx/stats.h"

extern "C" {
NRX_SS_API int32_t _drudQSort(int32_t n, double* a) {
  if (n > 1) nrx::stats::quick_sort(nrx::stats::Access<double>{a, 1, nullptr}, n);
  return 0;
}
NRX_SS_API int32_t _drusQSort(int32_t n, float* a) {
  if (n > 1) nrx::stats::quick_sort(nrx::stats::Access<float>{a, 1, nullptr}, n);
  return 0;
}
NRX_SS_API int32_t _drudQSortStep(int32_t n, double* a, int32_t stride) {
  if (n > 1) nrx::stats::quick_sort(nrx::stats::Access<double, void, true>{a, stride, nullptr}, n);
  return 0;
}
NRX_SS_API int32_t _drusQSortStep(int32_t n, float* a, int32_t stride) {
  if (n > 1) nrx::stats::quick_sort(nrx::stats::Access<float, void, true>{a, stride, nullptr}, n);
  return 0;
}
// A rank outside 0..n-1 has no value: NaN.
NRX_SS_API double _drudQSortSelect(int32_t n, double* a, int32_t k) {
  if (k < 0 || k >= n) return __builtin_nan("");
  return nrx::stats::quick_select(nrx::stats::Access<double>{a, 1, nullptr}, 0, n - 1, k);
}
NRX_SS_API float _drusQSortSelect(int32_t n, float* a, int32_t k) {
  if (k < 0 || k >= n) return __builtin_nanf("");
  return nrx::stats::quick_select(nrx::stats::Access<float>{a, 1, nullptr}, 0, n - 1, k);
}
}
