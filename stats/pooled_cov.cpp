// Pooled and group covariance: per-group weighted means and cross-products in
// one pass, merged over threads, pooled over all groups.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "common/buffer.h"
#include "common/parallel.h"
#include "nrx/stats.h"
#include "stats/sym_matrix.h"
#include "stats/task.h"

namespace nrx::stats {
namespace {

constexpr uint64_t kMethodPooled = 0x2;
constexpr int64_t kSerialMaxP = 10;  // below this one thread does the pass
constexpr int64_t kBlockObs = 4096;  // observations per work item

// Running weight sums, mean and lower-triangle cross-product of one group.
struct GroupAcc {
  double* w;     // W0, W1
  double* mean;  // p
  double* cp;    // p x p, lower triangle used
};

inline GroupAcc group_acc(double* base, int64_t p, int64_t g) {
  double* b = base + g * (2 + p + p * p);
  return {b, b + 2, b + 2 + p};
}

// Folds accumulator b into a (pairwise merge of weighted means and cross-products).
inline void merge(GroupAcc a, GroupAcc b, int64_t p) {
  const double wa = a.w[0], wb = b.w[0], w = wa + wb;
  if (wb == 0.0) return;
  const double f = wa == 0.0 ? 0.0 : wa * wb / w;
  for (int64_t j = 0; j < p; ++j)
    for (int64_t i = j; i < p; ++i)
      a.cp[i + j * p] += b.cp[i + j * p] + f * (a.mean[i] - b.mean[i]) * (a.mean[j] - b.mean[j]);
  for (int64_t j = 0; j < p; ++j) a.mean[j] = (wa * a.mean[j] + wb * b.mean[j]) / w;
  a.w[0] = w;
  a.w[1] += b.w[1];
}

inline int64_t int_at(const NrxSSTask* t, const void* a, int64_t i) {
  return t->int64_flag ? static_cast<const int64_t*>(a)[i] : static_cast<const int32_t*>(a)[i];
}

// Stores f times the lower-triangle cross-product cp in the given storage.
template <class T> void store_scaled(const double* cp, double f, int64_t p, int storage, T* out) {
  for (int64_t j = 0; j < p; ++j)
    for (int64_t i = j; i < p; ++i) {
      out[packed_index(storage, p, j, i)] = T(cp[i + j * p] * f);
      if (storage == NRX_SS_MATRIX_FULL) out[i * p + j] = T(cp[i + j * p] * f);
    }
}

// 1 / (W0 - W1 / W0): the unbiased weighted divisor (1 with no weight).
inline double cov_factor(const double* w) { return w[0] > 0.0 ? 1.0 / (w[0] - w[1] / w[0]) : 1.0; }

template <class T> int32_t pooled_covariance(NrxSSTask* t, uint64_t est, uint64_t method, const nrx_threading* th) {
  if (!t) return NRX_SS_STATUS_NULL_TASK;
  if (!t->data_layout || !valid_layout(read_int(t, t->data_layout))) return NRX_SS_STATUS_BAD_STORAGE;
  if (!t->group_indices) return NRX_SS_STATUS_NULL_GROUP_INDICES;
  const bool want_pmean = est & (NRX_SS_EST_POOLED_COVARIANCE | NRX_SS_EST_POOLED_MEAN);
  const bool want_pcov = est & NRX_SS_EST_POOLED_COVARIANCE;
  const bool want_gmean = est & (NRX_SS_EST_GROUP_COVARIANCE | NRX_SS_EST_GROUP_MEAN);
  const bool want_gcov = est & NRX_SS_EST_GROUP_COVARIANCE;
  if (want_pmean && !t->pooled_mean) return NRX_SS_STATUS_NULL_POOLED_MEAN;
  if (want_pcov && !t->pooled_covariance_storage) return NRX_SS_STATUS_NULL_STORAGE;
  if (want_pcov && !t->pooled_covariance) return NRX_SS_STATUS_NULL_POOLED_COVARIANCE;
  if (want_gmean && !t->requested_groups) return NRX_SS_STATUS_NULL_GROUP_INDICES;
  if (want_gmean && !t->group_means) return NRX_SS_STATUS_NULL_GROUP_MEANS;
  if (want_gcov && !t->group_covariance_storage) return NRX_SS_STATUS_NULL_STORAGE;
  if (want_gcov && !t->group_covariances) return NRX_SS_STATUS_NULL_GROUP_COVARIANCES;
  if (!(method & kMethodPooled)) return NRX_SS_STATUS_BAD_METHOD;
  const int pst = matrix_storage(t, t->pooled_covariance_storage);
  const int gst = matrix_storage(t, t->group_covariance_storage);
  if (!t->observations) return NRX_SS_STATUS_BAD_OBSERVATIONS;
  const int64_t p = read_int(t, t->dimension), n = read_int(t, t->observations);
  if (n <= 0) return NRX_SS_STATUS_BAD_OBSERVATIONS;
  if (!t->data) return NRX_SS_STATUS_NULL_DATA;
  int64_t groups = 0;
  for (int64_t i = 0; i < n; ++i) {
    const int64_t g = int_at(t, t->group_indices, i);
    if (g < 0) return NRX_SS_STATUS_BAD_GROUP_INDICES;
    groups = std::max(groups, g + 1);
  }
  if (want_gmean)
    for (int64_t g = 0; g < groups; ++g) {
      const int64_t r = int_at(t, t->requested_groups, g);
      if (r != 0 && r != 1) return NRX_SS_STATUS_BAD_GROUP_INDICES;
    }
  const int64_t threads = p <= kSerialMaxP ? 1 : common::thread_count(th);
  const int64_t per_group = 2 + p + p * p;
  // Per thread: the groups' accumulators, then p reals of deviations.
  const int64_t per_thread = groups * per_group + p;
  common::ThreadBuffers<double> acc{size_t(threads), size_t(per_thread)};
  common::Buffer<double> total(size_t(per_group + p * p));
  if (!acc || !total) return NRX_SS_STATUS_NO_MEMORY;
  std::memset(acc.all.get(), 0, sizeof(double) * size_t(threads * per_thread));
  const bool rows = read_int(t, t->data_layout) == NRX_SS_STORAGE_ROWS;
  const T* x = static_cast<const T*>(t->data);
  const T* wts = static_cast<const T*>(t->weights);
  const int64_t nblocks = (n + kBlockObs - 1) / kBlockObs;
  common::run_blocks(th, nblocks, threads, [&](int64_t b, int64_t thread) {
    double* base = acc.of(thread);
    double* dev = base + groups * per_group;
    const int64_t end = std::min(n, (b + 1) * kBlockObs);
    for (int64_t i = b * kBlockObs; i < end; ++i) {
      const double w = wts ? double(wts[i]) : 1.0;
      GroupAcc a = group_acc(base, p, int_at(t, t->group_indices, i));
      const double w_old = a.w[0], w_new = w_old + w;
      a.w[0] = w_new;
      a.w[1] += w * w;
      if (w_new == 0.0) continue;
      const double r = w / w_new, c = w * w_old / w_new;
      for (int64_t j = 0; j < p; ++j) {
        dev[j] = double(rows ? x[j * n + i] : x[i * p + j]) - a.mean[j];
        a.mean[j] += r * dev[j];
      }
      for (int64_t j = 0; j < p; ++j) {
        const double cj = c * dev[j];
        double* col = a.cp + j * p;
        for (int64_t k = j; k < p; ++k) col[k] += cj * dev[k];
      }
    }
  });
  for (int64_t th_i = 1; th_i < threads; ++th_i)
    for (int64_t g = 0; g < groups; ++g) merge(group_acc(acc.of(0), p, g), group_acc(acc.of(th_i), p, g), p);
  // Requested groups in index order: group means p apart, covariances one matrix apart.
  const int64_t msize = gst == NRX_SS_MATRIX_FULL ? p * p : p * (p + 1) / 2;
  int64_t slot = 0;
  if (want_gmean)
    for (int64_t g = 0; g < groups; ++g) {
      if (int_at(t, t->requested_groups, g) != 1) continue;
      const GroupAcc a = group_acc(acc.of(0), p, g);
      T* m = static_cast<T*>(t->group_means) + slot * p;
      for (int64_t j = 0; j < p; ++j) m[j] = T(a.mean[j]);
      if (want_gcov) store_scaled(a.cp, cov_factor(a.w), p, gst, static_cast<T*>(t->group_covariances) + slot * msize);
      ++slot;
    }
  if (want_pmean) {
    // Pooled cross-product: the within-group sums over the sum of the groups' own divisors.
    std::memset(total.get(), 0, sizeof(double) * size_t(per_group + p * p));
    const GroupAcc all = group_acc(total.get(), p, 0);
    double* within = total.get() + per_group;
    double divisor = 0.0;
    for (int64_t g = 0; g < groups; ++g) {
      const GroupAcc a = group_acc(acc.of(0), p, g);
      if (a.w[0] > 0.0) divisor += a.w[0] - a.w[1] / a.w[0];
      for (int64_t k = 0; k < p * p; ++k) within[k] += a.cp[k];
      merge(all, a, p);
    }
    T* pm = static_cast<T*>(t->pooled_mean);
    for (int64_t j = 0; j < p; ++j) pm[j] = T(all.mean[j]);
    if (want_pcov) store_scaled(within, 1.0 / divisor, p, pst, static_cast<T*>(t->pooled_covariance));
  }
  return NRX_SS_STATUS_OK;
}

}  // namespace
}  // namespace nrx::stats

NRX_SS_ENTRIES(PooledCovariance, nrx::stats::pooled_covariance)
