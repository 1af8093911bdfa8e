// Outlier detection by BACON: a basic subset of clean observations grown from
// an initial one until its size settles; its members get weight 1.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "common/buffer.h"
#include "nrx/stats.h"
#include "stats/numeric.h"
#include "stats/sub_task.h"
#include "stats/task.h"

namespace nrx::stats {
namespace {

constexpr uint64_t kMethodBacon = 0x20;
constexpr int64_t kInitialPerDim = 4;  // initial basic subset: the 4 p nearest observations

struct BaconParams {
  int method = 2;
  double alpha = 0.05;
  double stop = 0.005;
};

template <class T> BaconParams bacon_params(const NrxSSTask* t) {
  BaconParams bp;
  if (!t->outlier_parameter_count || !t->outlier_parameters || read_int(t, t->outlier_parameter_count) != 3) return bp;
  const T* v = static_cast<const T*>(t->outlier_parameters);
  const double m = std::trunc(double(v[0]));
  bp.method = m == 1.0 ? 1 : 2;
  if (v[1] >= T(0) && v[1] <= T(1)) bp.alpha = double(v[1]);
  if (v[2] > T(0)) bp.stop = double(v[2]);
  return bp;
}

template <class T> int32_t outliers_detection(NrxSSTask* t, uint64_t, uint64_t method, const nrx_threading* th) {
  if (!t) return NRX_SS_STATUS_NULL_TASK;
  const int64_t p = t->dimension ? read_int(t, t->dimension) : 0;
  if (p < 1) return NRX_SS_STATUS_BAD_DIMENSION;
  const int64_t n = t->observations ? read_int(t, t->observations) : 0;
  if (n < 5 * p) return NRX_SS_STATUS_BAD_OBSERVATIONS;
  if (!t->data_layout || !valid_layout(read_int(t, t->data_layout))) return NRX_SS_STATUS_BAD_STORAGE;
  const BaconParams bp = bacon_params<T>(t);
  if (!t->outlier_weights) return NRX_SS_STATUS_NULL_OUTLIER_WEIGHTS;
  if (!(method & kMethodBacon)) return NRX_SS_STATUS_BAD_METHOD;
  if (!t->data) return NRX_SS_STATUS_NULL_DATA;
  const int64_t layout = read_int(t, t->data_layout);
  const T* x = static_cast<const T*>(t->data);
  T* wout = static_cast<T*>(t->outlier_weights);

  const double h = double((n + p + 1) / 2);
  const double c_np = 1.0 + double(p + 1) / double(n - p) + 2.0 / double(n - 1 - 3 * p);
  const double cutoff = std::sqrt(chi2_icdf(double(p), 1.0 - bp.alpha));

  // Work: mean, covariance (p + p^2), distances and their copy (2 n), subset members (n), compact data (n p).
  common::Buffer<T> work(size_t(p + p * p + 2 * n + n * p));
  common::Buffer<int64_t> members{size_t(n)};
  if (!work || !members) return NRX_SS_STATUS_NO_MEMORY;
  T* mean = work.get();
  T* cov = mean + p;
  T* dist = cov + p * p;
  T* sorted = dist + n;
  T* compact = sorted + n;
  SubTask<T> all(p, n, layout, x);
  SubTask<T> subset(p, n, NRX_SS_STORAGE_COLUMNS, compact);
  if (all.status()) return all.status();
  if (subset.status()) return subset.status();
  std::fill(wout, wout + n, T(0));

  // Initial distances: method 1 Mahalanobis from the mean, method 2 Euclidean from the medians.
  int32_t st;
  if (bp.method == 1) {
    if ((st = all.mean_cov(mean, cov, th))) return st;
    if ((st = SubTask<T>::invert(p, cov))) return st;
  } else {
    const T half = T(0.5);
    if ((st = all.quantile(&half, mean, th))) return st;
    std::fill(cov, cov + p * p, T(0));
    for (int64_t j = 0; j < p; ++j) cov[j + j * p] = T(1);
  }
  if ((st = all.distances(mean, cov, dist))) return st;
  std::memcpy(sorted, dist, sizeof(T) * size_t(n));
  const int64_t m0 = std::min(n, kInitialPerDim * p);
  std::nth_element(sorted, sorted + (m0 - 1), sorted + n);
  T limit = sorted[m0 - 1];
  int64_t r = 0;
  for (int64_t i = 0; i < n && r < m0; ++i)
    if (dist[i] <= limit) members[r++] = i;

  const int64_t rs = layout == NRX_SS_STORAGE_ROWS ? n : 1, os = layout == NRX_SS_STORAGE_ROWS ? 1 : p;
  for (int64_t it = 0; it < n; ++it) {
    for (int64_t k = 0; k < r; ++k)
      for (int64_t j = 0; j < p; ++j) compact[k * p + j] = x[j * rs + members[k] * os];
    subset.set_observations(r);
    if ((st = subset.mean_cov(mean, cov, th))) return st;
    if ((st = SubTask<T>::invert(p, cov))) return st;
    if ((st = all.distances(mean, cov, dist))) return st;
    // The correction grows while the subset is smaller than half the data.
    const double c = c_np + std::max(0.0, (h - double(r)) / (h + double(r)));
    limit = T(cutoff * c);
    int64_t r_new = 0;
    for (int64_t i = 0; i < n; ++i)
      if (dist[i] < limit) ++r_new;
    // A subset too small for a covariance keeps the previous one.
    if (r_new <= p) break;
    r_new = 0;
    for (int64_t i = 0; i < n; ++i)
      if (dist[i] < limit) members[r_new++] = i;
    const double change = std::fabs(double(r_new - r)) / double(r);
    r = r_new;
    if (change < bp.stop) break;
  }
  for (int64_t k = 0; k < r; ++k) wout[members[k]] = T(1);
  return NRX_SS_STATUS_OK;
}

}  // namespace
}  // namespace nrx::stats

NRX_SS_ENTRIES(OutliersDetection, nrx::stats::outliers_detection)
