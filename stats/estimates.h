// The twenty basic estimates: estimate bit, result field, missing-address status and the
// dependency rows of the three method families. One table drives the request check,
// the choice of what a data pass accumulates and what the finalisation writes.
#pragma once
#include <cstddef>
#include <cstdint>

#include "nrx/stats.h"

namespace nrx::stats {

enum Estimate : int {
  kMean,
  kRaw2,
  kRaw3,
  kRaw4,
  kCentral2,
  kCentral3,
  kCentral4,
  kCovariance,
  kCorrelation,
  kKurtosis,
  kSkewness,
  kVariation,
  kSum1,
  kSum2,
  kSum3,
  kSum4,
  kCentralSum2,
  kCentralSum3,
  kCentralSum4,
  kCrossProduct,
  kEstimateCount,
  kUnavailable = kEstimateCount
};

struct EstimateRow {
  uint64_t bit;
  size_t field;  // offset of the result address in NrxSSTask
  int32_t missing;
  uint32_t fast, one_pass, from_sums;  // sets of indices needed when this one is requested
};

#define NRX_R(m) offsetof(NrxSSTask, m)
inline constexpr EstimateRow kEstimateRows[kEstimateCount] = {
    {NRX_SS_EST_MEAN, NRX_R(mean), NRX_SS_STATUS_NULL_MEAN, 0x1, 0x1, 0x1001},
    {NRX_SS_EST_RAW_MOMENT_2, NRX_R(raw_moment[0]), NRX_SS_STATUS_NULL_RAW_MOMENT_2, 0x2, 0x2, 0x2002},
    {NRX_SS_EST_RAW_MOMENT_3, NRX_R(raw_moment[1]), NRX_SS_STATUS_NULL_RAW_MOMENT_3, 0x4, 0x4, 0x4004},
    {NRX_SS_EST_RAW_MOMENT_4, NRX_R(raw_moment[2]), NRX_SS_STATUS_NULL_RAW_MOMENT_4, 0x8, 0x8, 0x8008},
    {NRX_SS_EST_CENTRAL_MOMENT_2, NRX_R(central_moment[0]), NRX_SS_STATUS_NULL_CENTRAL_MOMENT_2, 0x13, 0x13, 0x10010},
    {NRX_SS_EST_CENTRAL_MOMENT_3, NRX_R(central_moment[1]), NRX_SS_STATUS_NULL_CENTRAL_MOMENT_3, 0x27, 0x27, 0x20020},
    {NRX_SS_EST_CENTRAL_MOMENT_4, NRX_R(central_moment[2]), NRX_SS_STATUS_NULL_CENTRAL_MOMENT_4, 0x4f, 0x4f, 0x40040},
    {NRX_SS_EST_COVARIANCE, NRX_R(covariance), NRX_SS_STATUS_NULL_COVARIANCE, 0x81, 0x81, 0x80080},
    {NRX_SS_EST_CORRELATION, NRX_R(correlation), NRX_SS_STATUS_NULL_CORRELATION, 0x101, 0x101, 0x80100},
    {NRX_SS_EST_KURTOSIS, NRX_R(kurtosis), NRX_SS_STATUS_NULL_KURTOSIS, 0x25f, 0x25f, 0x251},
    {NRX_SS_EST_SKEWNESS, NRX_R(skewness), NRX_SS_STATUS_NULL_SKEWNESS, 0x437, 0x437, 0x431},
    {NRX_SS_EST_VARIATION, NRX_R(variation), NRX_SS_STATUS_NULL_VARIATION, 0x813, 0x813, 0x811},
    {NRX_SS_EST_SUM_1, NRX_R(sum[0]), NRX_SS_STATUS_NULL_SUM_1, 0x1000, 0x1000, 0x100000},
    {NRX_SS_EST_SUM_2, NRX_R(sum[1]), NRX_SS_STATUS_NULL_SUM_2, 0x2000, 0x2000, 0x100000},
    {NRX_SS_EST_SUM_3, NRX_R(sum[2]), NRX_SS_STATUS_NULL_SUM_3, 0x4000, 0x4000, 0x100000},
    {NRX_SS_EST_SUM_4, NRX_R(sum[3]), NRX_SS_STATUS_NULL_SUM_4, 0x8000, 0x8000, 0x100000},
    {NRX_SS_EST_CENTRAL_SUM_2, NRX_R(central_sum[0]), NRX_SS_STATUS_NULL_CENTRAL_SUM_2, 0x10003, 0x10001, 0x100000},
    {NRX_SS_EST_CENTRAL_SUM_3, NRX_R(central_sum[1]), NRX_SS_STATUS_NULL_CENTRAL_SUM_3, 0x20007, 0x20001, 0x100000},
    {NRX_SS_EST_CENTRAL_SUM_4, NRX_R(central_sum[2]), NRX_SS_STATUS_NULL_CENTRAL_SUM_4, 0x4000f, 0x40001, 0x100000},
    {NRX_SS_EST_CROSS_PRODUCT, NRX_R(cross_product), NRX_SS_STATUS_NULL_CROSS_PRODUCT, 0x80001, 0x80001, 0x100000},
};
#undef NRX_R

inline void* result_address(const NrxSSTask* t, int index) {
  return *reinterpret_cast<void* const*>(reinterpret_cast<const char*>(t) + kEstimateRows[index].field);
}

inline bool has(uint32_t set, int index) { return (set >> index) & 1u; }

}  // namespace nrx::stats
