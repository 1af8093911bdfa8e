// Mahalanobis distances of a range of observations from a mean under an
// inverse covariance, for the outlier and robust estimators.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "common/buffer.h"
#include "common/core_calls.h"
#include "nrx/stats.h"
#include "stats/sym_matrix.h"
#include "stats/task.h"

namespace nrx::stats {
namespace {

constexpr int64_t kDirectMaxP = 1024;  // above this the quadratic forms go through the symmetric product
constexpr int64_t kBlock = 256;        // observations per symmetric product

template <class T> int32_t mah_distance(NrxSSTask* t) {
  if (!t) return NRX_SS_STATUS_NULL_TASK;
  void* const* ctx = t->mahalanobis;
  if (!t->data) return NRX_SS_STATUS_NULL_DATA;
  if (!t->data_layout) return NRX_SS_STATUS_NULL_STORAGE;
  if (!ctx[0] || !ctx[1] || !ctx[2] || !ctx[3] || !ctx[4]) return NRX_SS_STATUS_BAD_PARAMETER;
  const int64_t layout = read_int(t, t->data_layout);
  if (!valid_layout(layout)) return NRX_SS_STATUS_BAD_STORAGE;
  const int64_t p = read_int(t, t->dimension), n = read_int(t, t->observations);
  const int64_t first = read_int(t, ctx[0]), end = std::min(read_int(t, ctx[1]), n);
  const T* x = static_cast<const T*>(t->data);
  const T* mean = static_cast<const T*>(ctx[2]);
  const T* s = static_cast<const T*>(ctx[3]);
  T* dist = static_cast<T*>(ctx[4]);
  const int64_t rs = layout == NRX_SS_STORAGE_ROWS ? n : 1, os = layout == NRX_SS_STORAGE_ROWS ? 1 : p;
  if (first >= end) return NRX_SS_STATUS_OK;
  if (p <= kDirectMaxP) {
    common::Buffer<double> d(p);
    if (!d) return NRX_SS_STATUS_NO_MEMORY;
    for (int64_t i = first; i < end; ++i) {
      for (int64_t j = 0; j < p; ++j) d[j] = double(x[j * rs + i * os]) - double(mean[j]);
      double q = 0.0;
      for (int64_t j = 0; j < p; ++j) {
        const T* col = s + j * p;  // lower triangle of column j: rows j..p-1
        double off = 0.0;
        for (int64_t r = j + 1; r < p; ++r) off += double(col[r]) * d[r];
        q += d[j] * (double(col[j]) * d[j] + 2.0 * off);
      }
      dist[i] = T(std::sqrt(q));
    }
    return NRX_SS_STATUS_OK;
  }
  common::Buffer<T> work(size_t(p) * size_t(p) + 2 * size_t(p) * kBlock);
  if (!work) return NRX_SS_STATUS_NO_MEMORY;
  T* full = work.get();
  T* d = full + size_t(p) * p;
  T* y = d + size_t(p) * kBlock;
  for (int64_t j = 0; j < p; ++j)
    for (int64_t r = j; r < p; ++r) full[r + j * p] = s[r + j * p];
  for (int64_t b0 = first; b0 < end; b0 += kBlock) {
    const int64_t nb = std::min(kBlock, end - b0);
    for (int64_t i = 0; i < nb; ++i)
      for (int64_t j = 0; j < p; ++j) d[j + i * p] = x[j * rs + (b0 + i) * os] - mean[j];
    common::Core<T>::symm("L", "L", int32_t(p), int32_t(nb), T(1), full, int32_t(p), d, int32_t(p), T(0), y,
                          int32_t(p));
    for (int64_t i = 0; i < nb; ++i) {
      double q = 0.0;
      for (int64_t j = 0; j < p; ++j) q += double(d[j + i * p]) * double(y[j + i * p]);
      dist[b0 + i] = T(std::sqrt(q));
    }
  }
  return NRX_SS_STATUS_OK;
}

}  // namespace
}  // namespace nrx::stats

extern "C" {
NRX_SS_API int32_t drudSSMahDistance(NrxSSTask* t) { return nrx::stats::mah_distance<double>(t); }
NRX_SS_API int32_t drusSSMahDistance(NrxSSTask* t) { return nrx::stats::mah_distance<float>(t); }
}
