// An internal task over the caller's data for the iterative estimators: its
// own 64-bit dimension, count and layout, and typed calls of the basic
// statistics, quantiles and Mahalanobis distances on it.
#pragma once
#include <cstdint>

#include "nrx/stats.h"
#include "stats/task.h"

namespace nrx::stats {

template <class T> class SubTask {
 public:
  static constexpr bool kDouble = sizeof(T) == 8;

  // Status of the creation in status(); the task reads x through the caller's layout.
  SubTask(int64_t p, int64_t n, int64_t layout, const T* x) : dims_{p, n, layout} {
    if constexpr (kDouble) status_ = _drudSSNewTask(&t_, &dims_[0], &dims_[1], &dims_[2], x, nullptr, nullptr, 1);
    else status_ = _drusSSNewTask(&t_, &dims_[0], &dims_[1], &dims_[2], x, nullptr, nullptr, 1);
  }
  ~SubTask() {
    if (t_) _druSSDeleteTask(&t_);
  }
  SubTask(const SubTask&) = delete;
  SubTask& operator=(const SubTask&) = delete;

  int32_t status() const { return status_; }
  NrxSSTask* get() const { return t_; }
  int64_t* dims() { return dims_; }

  // Observation weights from now on (null: all 1).
  void set_weights(const T* w) { t_->weights = w; }

  // Uses the first n observations from now on.
  void set_observations(int64_t n) { dims_[1] = n; }

  // Mean and full covariance (one-pass method) of the observations.
  int32_t mean_cov(T* mean, T* cov, const nrx_threading* th) {
    static const int64_t full = NRX_SS_MATRIX_FULL;
    t_->mean = mean;
    t_->covariance = cov;
    t_->covariance_storage = &full;
    t_->accumulated_weights = nullptr;
    const uint64_t est = NRX_SS_EST_MEAN | NRX_SS_EST_COVARIANCE;
    if constexpr (kDouble) return drudSSBasic(t_, est, NRX_SS_METHOD_ONE_PASS, th);
    else return drusSSBasic(t_, est, NRX_SS_METHOD_ONE_PASS, th);
  }

  // Per-component quantile of order q (one value per component).
  int32_t quantile(const T* order, T* out, const nrx_threading* th) {
    static const int64_t one = 1;
    t_->quantile_order_count = &one;
    t_->quantile_orders = order;
    t_->quantiles = out;
    if constexpr (kDouble) return drudSSQuantiles(t_, NRX_SS_EST_QUANTILES, NRX_SS_METHOD_QUANTILES, th);
    else return drusSSQuantiles(t_, NRX_SS_EST_QUANTILES, NRX_SS_METHOD_QUANTILES, th);
  }

  // Distances of observations [0, n) from mean under the lower triangle of inv.
  int32_t distances(const T* mean, const T* inv, T* dist) {
    static const int64_t first = 0;
    void** ctx = t_->mahalanobis;
    ctx[0] = const_cast<int64_t*>(&first);
    ctx[1] = &dims_[1];
    ctx[2] = const_cast<T*>(mean);
    ctx[3] = const_cast<T*>(inv);
    ctx[4] = dist;
    int32_t st;
    if constexpr (kDouble) st = drudSSMahDistance(t_);
    else st = drusSSMahDistance(t_);
    for (int k = 0; k < 5; ++k) ctx[k] = nullptr;
    return st;
  }

  // Rank test (with its ridge) then the inverse; the lower triangle of cov is valid afterwards.
  static int32_t invert(int64_t p, T* cov) {
    int32_t st;
    if constexpr (kDouble) st = _drudTestCovRank(int32_t(p), cov);
    else st = _drusTestCovRank(int32_t(p), cov);
    if (st) return st;
    if constexpr (kDouble) return _drudInvCov(int32_t(p), cov);
    else return _drusInvCov(int32_t(p), cov);
  }

 private:
  NrxSSTask* t_ = nullptr;
  int64_t dims_[3];
  int32_t status_ = 0;
};

}  // namespace nrx::stats
