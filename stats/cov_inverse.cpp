// The covariance rank test (with its regularisation) and the covariance inverse
// the robust estimators run before every Mahalanobis distance.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "common/buffer.h"
#include "common/core_calls.h"
#include "nrx/stats.h"

namespace nrx::stats {
namespace {

template <class T> struct RankLimits;
template <> struct RankLimits<double> {
  static constexpr double kTiny = 4.94e-321;  // the double with bit pattern 0x3E8
  static constexpr double kPass = 1e-15;
};
template <> struct RankLimits<float> {
  static constexpr float kTiny = 1.4e-42f;  // the float with bit pattern 0x3E8
  static constexpr float kPass = 1e-6f;
};

template <class T> int32_t test_cov_rank(int32_t p, T* m) {
  using L = RankLimits<T>;
  if (p <= 0) return NRX_SS_STATUS_BAD_DIMENSION;
  if (p == 1) {
    if (m[0] > T(0)) return NRX_SS_STATUS_OK;
    if (m[0] >= -L::kTiny && m[0] <= T(0)) {
      m[0] = L::kTiny;
      return NRX_SS_STATUS_OK;
    }
    return NRX_SS_STATUS_RANK_DEFICIENT;
  }
  const size_t pp = size_t(p) * size_t(p);
  common::Buffer<T> work(pp + 5 * size_t(p));
  if (!work) return NRX_SS_STATUS_NO_MEMORY;
  T* a = work.get();
  T* w = a + pp;
  std::memcpy(a, m, pp * sizeof(T));
  if (common::Core<T>::syev("N", "L", p, a, p, w, w + p, 4 * p) != 0) return NRX_SS_STATUS_EIGEN_FAILED;
  if (w[0] > L::kPass) return NRX_SS_STATUS_OK;
  int32_t i = 1;
  while (i < p && !(w[i] >= L::kTiny)) ++i;
  if (i == p) return NRX_SS_STATUS_RANK_DEFICIENT;
  // The ridge lifts the smallest eigenvalue to one hundredth of the first usable one.
  const T ridge = T(0.01) * w[i] + std::max(T(0), -w[0]);
  for (int32_t j = 0; j < p; ++j) m[j + size_t(j) * p] += ridge;
  return NRX_SS_STATUS_OK;
}

template <class T> int32_t inv_cov(int32_t p, T* m) {
  if (p < 0) return NRX_SS_STATUS_BAD_DIMENSION;
  switch (p) {
    case 0: return NRX_SS_STATUS_OK;
    case 1: m[0] = T(1) / m[0]; return NRX_SS_STATUS_OK;
    case 2: {
      const T a = m[0], b = m[1], d = m[3], det = a * d - b * b;
      m[0] = d / det;
      m[1] = -b / det;
      m[3] = a / det;
      return NRX_SS_STATUS_OK;
    }
    case 3: {
      const T a = m[0], b = m[1], c = m[2], d = m[4], e = m[5], f = m[8];
      const T c00 = d * f - e * e, c10 = c * e - b * f, c20 = b * e - c * d;
      const T det = a * c00 + b * c10 + c * c20;
      m[0] = c00 / det;
      m[1] = c10 / det;
      m[2] = c20 / det;
      m[4] = (a * f - c * c) / det;
      m[5] = (b * c - a * e) / det;
      m[8] = (a * d - b * b) / det;
      return NRX_SS_STATUS_OK;
    }
    default: break;
  }
  // Factor a copy so that a failed factorisation leaves the caller's matrix as it was.
  const size_t pp = size_t(p) * size_t(p);
  common::Buffer<T> work(pp);
  if (!work) return NRX_SS_STATUS_NO_MEMORY;
  std::memcpy(work.get(), m, pp * sizeof(T));
  if (common::Core<T>::potrf("L", p, work.get(), p) != 0) return NRX_SS_STATUS_FACTOR_FAILED;
  if (common::Core<T>::potri("L", p, work.get(), p) != 0) return NRX_SS_STATUS_INVERSE_FAILED;
  for (int32_t j = 0; j < p; ++j)
    for (int32_t i = j; i < p; ++i) m[i + size_t(j) * p] = work[i + size_t(j) * p];
  return NRX_SS_STATUS_OK;
}

}  // namespace
}  // namespace nrx::stats

using namespace nrx::stats;

extern "C" {
NRX_SS_API int32_t _drudTestCovRank(int32_t p, double* m) { return test_cov_rank(p, m); }
NRX_SS_API int32_t _drusTestCovRank(int32_t p, float* m) { return test_cov_rank(p, m); }
NRX_SS_API int32_t _drudInvCov(int32_t p, double* m) { return inv_cov(p, m); }
NRX_SS_API int32_t _drusInvCov(int32_t p, float* m) { return inv_cov(p, m); }
}
