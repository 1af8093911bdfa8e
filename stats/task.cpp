// Summary statistics task: creation, deletion and the edit operations. One table of
// edit-parameter ids drives _drudSSEditTask, _drusSSEditTask and _druiSSEditTask.
#include <cstring>
#include <initializer_list>
#include <utility>

#include "nrx/core.h"
#include "stats/task.h"

namespace nrx::stats {
namespace {

enum Kind : char { kReal = 'd', kInt = 'i' };

struct EditRow {
  int32_t id;
  Kind kind;
  size_t offset;  // of the address field in NrxSSTask
  int32_t null_status;
};

#define NRX_F(m) offsetof(NrxSSTask, m)
constexpr EditRow kEditRows[] = {
    {NRX_SS_PARAM_DIMENSION, kInt, NRX_F(dimension), NRX_SS_STATUS_BAD_DIMENSION},
    {NRX_SS_PARAM_OBSERVATIONS, kInt, NRX_F(observations), NRX_SS_STATUS_BAD_OBSERVATIONS},
    {NRX_SS_PARAM_DATA, kReal, NRX_F(data), NRX_SS_STATUS_NULL_DATA},
    {NRX_SS_PARAM_DATA_LAYOUT, kInt, NRX_F(data_layout), NRX_SS_STATUS_NULL_STORAGE},
    {NRX_SS_PARAM_INDICES, kInt, NRX_F(indices), NRX_SS_STATUS_NULL_INDICES},
    {NRX_SS_PARAM_WEIGHTS, kReal, NRX_F(weights), NRX_SS_STATUS_NULL_WEIGHTS},
    {NRX_SS_PARAM_MEAN, kReal, NRX_F(mean), NRX_SS_STATUS_NULL_MEAN},
    {NRX_SS_PARAM_RAW_MOMENT_2, kReal, NRX_F(raw_moment[0]), NRX_SS_STATUS_NULL_RAW_MOMENT_2},
    {NRX_SS_PARAM_RAW_MOMENT_3, kReal, NRX_F(raw_moment[1]), NRX_SS_STATUS_NULL_RAW_MOMENT_3},
    {NRX_SS_PARAM_RAW_MOMENT_4, kReal, NRX_F(raw_moment[2]), NRX_SS_STATUS_NULL_RAW_MOMENT_4},
    {NRX_SS_PARAM_CENTRAL_MOMENT_2, kReal, NRX_F(central_moment[0]), NRX_SS_STATUS_NULL_CENTRAL_MOMENT_2},
    {NRX_SS_PARAM_CENTRAL_MOMENT_3, kReal, NRX_F(central_moment[1]), NRX_SS_STATUS_NULL_CENTRAL_MOMENT_3},
    {NRX_SS_PARAM_CENTRAL_MOMENT_4, kReal, NRX_F(central_moment[2]), NRX_SS_STATUS_NULL_CENTRAL_MOMENT_4},
    {NRX_SS_PARAM_KURTOSIS, kReal, NRX_F(kurtosis), NRX_SS_STATUS_NULL_KURTOSIS},
    {NRX_SS_PARAM_SKEWNESS, kReal, NRX_F(skewness), NRX_SS_STATUS_NULL_SKEWNESS},
    {NRX_SS_PARAM_MINIMUM, kReal, NRX_F(minimum), NRX_SS_STATUS_NULL_MINIMUM},
    {NRX_SS_PARAM_MAXIMUM, kReal, NRX_F(maximum), NRX_SS_STATUS_NULL_MAXIMUM},
    {NRX_SS_PARAM_VARIATION, kReal, NRX_F(variation), NRX_SS_STATUS_NULL_VARIATION},
    {NRX_SS_PARAM_COVARIANCE, kReal, NRX_F(covariance), NRX_SS_STATUS_NULL_COVARIANCE},
    {NRX_SS_PARAM_COVARIANCE_STORAGE, kInt, NRX_F(covariance_storage), NRX_SS_STATUS_NULL_STORAGE},
    {NRX_SS_PARAM_CORRELATION, kReal, NRX_F(correlation), NRX_SS_STATUS_NULL_CORRELATION},
    {NRX_SS_PARAM_CORRELATION_STORAGE, kInt, NRX_F(correlation_storage), NRX_SS_STATUS_NULL_STORAGE},
    {NRX_SS_PARAM_ACCUMULATED_WEIGHTS, kReal, NRX_F(accumulated_weights), NRX_SS_STATUS_NULL_ACCUMULATED_WEIGHTS},
    {NRX_SS_PARAM_QUANTILE_ORDER_COUNT, kInt, NRX_F(quantile_order_count), NRX_SS_STATUS_BAD_QUANTILE_ORDER_COUNT},
    {NRX_SS_PARAM_QUANTILE_ORDERS, kReal, NRX_F(quantile_orders), NRX_SS_STATUS_NULL_QUANTILE_ORDERS},
    {NRX_SS_PARAM_QUANTILES, kReal, NRX_F(quantiles), NRX_SS_STATUS_NULL_QUANTILES},
    {NRX_SS_PARAM_ORDER_STATISTICS, kReal, NRX_F(order_statistics), NRX_SS_STATUS_NULL_ORDER_STATISTICS},
    {NRX_SS_PARAM_GROUP_INDICES, kInt, NRX_F(group_indices), NRX_SS_STATUS_BAD_GROUP_INDICES},
    {NRX_SS_PARAM_POOLED_COVARIANCE_STORAGE, kInt, NRX_F(pooled_covariance_storage), NRX_SS_STATUS_NULL_STORAGE},
    {NRX_SS_PARAM_POOLED_MEAN, kReal, NRX_F(pooled_mean), NRX_SS_STATUS_NULL_POOLED_MEAN},
    {NRX_SS_PARAM_POOLED_COVARIANCE, kReal, NRX_F(pooled_covariance), NRX_SS_STATUS_NULL_POOLED_COVARIANCE},
    {NRX_SS_PARAM_REQUESTED_GROUPS, kInt, NRX_F(requested_groups), NRX_SS_STATUS_BAD_GROUP_INDICES},
    {NRX_SS_PARAM_GROUP_MEANS, kReal, NRX_F(group_means), NRX_SS_STATUS_NULL_GROUP_MEANS},
    {NRX_SS_PARAM_GROUP_COVARIANCE_STORAGE, kInt, NRX_F(group_covariance_storage), NRX_SS_STATUS_NULL_STORAGE},
    {NRX_SS_PARAM_GROUP_COVARIANCES, kReal, NRX_F(group_covariances), NRX_SS_STATUS_NULL_GROUP_COVARIANCES},
    {NRX_SS_PARAM_ROBUST_COVARIANCE_STORAGE, kInt, NRX_F(robust_covariance_storage), NRX_SS_STATUS_NULL_STORAGE},
    {NRX_SS_PARAM_ROBUST_PARAMETER_COUNT, kInt, NRX_F(robust_parameter_count),
     NRX_SS_STATUS_NULL_ROBUST_PARAMETER_COUNT},
    {NRX_SS_PARAM_ROBUST_PARAMETERS, kReal, NRX_F(robust_parameters), NRX_SS_STATUS_NULL_ROBUST_PARAMETERS},
    {NRX_SS_PARAM_ROBUST_MEAN, kReal, NRX_F(robust_mean), NRX_SS_STATUS_NULL_ROBUST_MEAN},
    {NRX_SS_PARAM_ROBUST_COVARIANCE, kReal, NRX_F(robust_covariance), NRX_SS_STATUS_NULL_ROBUST_COVARIANCE},
    {NRX_SS_PARAM_OUTLIER_PARAMETER_COUNT, kInt, NRX_F(outlier_parameter_count),
     NRX_SS_STATUS_NULL_OUTLIER_PARAMETER_COUNT},
    {NRX_SS_PARAM_OUTLIER_PARAMETERS, kReal, NRX_F(outlier_parameters), NRX_SS_STATUS_NULL_OUTLIER_PARAMETERS},
    {NRX_SS_PARAM_OUTLIER_WEIGHTS, kReal, NRX_F(outlier_weights), NRX_SS_STATUS_NULL_OUTLIER_WEIGHTS},
    {NRX_SS_PARAM_ORDER_STATISTICS_STORAGE, kInt, NRX_F(order_statistics_storage), NRX_SS_STATUS_NULL_STORAGE},
    {NRX_SS_PARAM_PARTIAL_INDICES, kInt, NRX_F(partial_indices), NRX_SS_STATUS_NULL_PARTIAL_INDICES},
    {NRX_SS_PARAM_PARTIAL_COVARIANCE, kReal, NRX_F(partial_covariance), NRX_SS_STATUS_NULL_PARTIAL_COVARIANCE},
    {NRX_SS_PARAM_PARTIAL_COVARIANCE_STORAGE, kInt, NRX_F(partial_covariance_storage), NRX_SS_STATUS_NULL_STORAGE},
    {NRX_SS_PARAM_PARTIAL_CORRELATION, kReal, NRX_F(partial_correlation), NRX_SS_STATUS_NULL_PARTIAL_CORRELATION},
    {NRX_SS_PARAM_PARTIAL_CORRELATION_STORAGE, kInt, NRX_F(partial_correlation_storage), NRX_SS_STATUS_NULL_STORAGE},
    {NRX_SS_PARAM_MISSING_PARAMETER_COUNT, kInt, NRX_F(missing_parameter_count),
     NRX_SS_STATUS_NULL_MISSING_PARAMETER_COUNT},
    {NRX_SS_PARAM_MISSING_PARAMETERS, kReal, NRX_F(missing_parameters), NRX_SS_STATUS_NULL_MISSING_PARAMETERS},
    {NRX_SS_PARAM_INITIAL_ESTIMATE_COUNT, kInt, NRX_F(initial_estimate_count),
     NRX_SS_STATUS_NULL_INITIAL_ESTIMATE_COUNT},
    {NRX_SS_PARAM_INITIAL_ESTIMATES, kReal, NRX_F(initial_estimates), NRX_SS_STATUS_NULL_INITIAL_ESTIMATES},
    {NRX_SS_PARAM_SIMULATED_COUNT, kInt, NRX_F(simulated_count), NRX_SS_STATUS_NULL_SIMULATED_COUNT},
    {NRX_SS_PARAM_SIMULATED_VALUES, kReal, NRX_F(simulated_values), NRX_SS_STATUS_NULL_SIMULATED_VALUES},
    {NRX_SS_PARAM_ESTIMATE_COUNT, kInt, NRX_F(estimate_count), NRX_SS_STATUS_NULL_ESTIMATE_COUNT},
    {NRX_SS_PARAM_ESTIMATES, kReal, NRX_F(estimates), NRX_SS_STATUS_NULL_ESTIMATES},
    {NRX_SS_PARAM_PRIOR_COUNT, kInt, NRX_F(prior_count), NRX_SS_STATUS_NULL_PRIOR_COUNT},
    {NRX_SS_PARAM_PRIOR, kReal, NRX_F(prior), NRX_SS_STATUS_NULL_PRIOR},
    {NRX_SS_PARAM_PARAMETRIZED_CORRELATION, kReal, NRX_F(parametrized_correlation),
     NRX_SS_STATUS_NULL_PARAMETRIZED_CORRELATION},
    {NRX_SS_PARAM_PARAMETRIZED_CORRELATION_STORAGE, kInt, NRX_F(parametrized_correlation_storage),
     NRX_SS_STATUS_NULL_STORAGE},
    {NRX_SS_PARAM_STREAM_PARAMETER_COUNT, kInt, NRX_F(stream_parameter_count),
     NRX_SS_STATUS_BAD_STREAM_PARAMETER_COUNT},
    {NRX_SS_PARAM_STREAM_PARAMETERS, kReal, NRX_F(stream_parameters), NRX_SS_STATUS_NULL_STREAM_PARAMETERS},
    {NRX_SS_PARAM_STREAM_ORDER_COUNT, kInt, NRX_F(stream_order_count), NRX_SS_STATUS_BAD_STREAM_ORDER_COUNT},
    {NRX_SS_PARAM_STREAM_ORDERS, kReal, NRX_F(stream_orders), NRX_SS_STATUS_NULL_STREAM_ORDERS},
    {NRX_SS_PARAM_STREAM_QUANTILES, kReal, NRX_F(stream_quantiles), NRX_SS_STATUS_NULL_STREAM_QUANTILES},
    {NRX_SS_PARAM_SUM_1, kReal, NRX_F(sum[0]), NRX_SS_STATUS_NULL_SUM_1},
    {NRX_SS_PARAM_SUM_2, kReal, NRX_F(sum[1]), NRX_SS_STATUS_NULL_SUM_2},
    {NRX_SS_PARAM_SUM_3, kReal, NRX_F(sum[2]), NRX_SS_STATUS_NULL_SUM_3},
    {NRX_SS_PARAM_SUM_4, kReal, NRX_F(sum[3]), NRX_SS_STATUS_NULL_SUM_4},
    {NRX_SS_PARAM_CENTRAL_SUM_2, kReal, NRX_F(central_sum[0]), NRX_SS_STATUS_NULL_CENTRAL_SUM_2},
    {NRX_SS_PARAM_CENTRAL_SUM_3, kReal, NRX_F(central_sum[1]), NRX_SS_STATUS_NULL_CENTRAL_SUM_3},
    {NRX_SS_PARAM_CENTRAL_SUM_4, kReal, NRX_F(central_sum[2]), NRX_SS_STATUS_NULL_CENTRAL_SUM_4},
    {NRX_SS_PARAM_CROSS_PRODUCT, kReal, NRX_F(cross_product), NRX_SS_STATUS_NULL_CROSS_PRODUCT},
    {NRX_SS_PARAM_CROSS_PRODUCT_STORAGE, kInt, NRX_F(cross_product_storage), NRX_SS_STATUS_NULL_STORAGE},
    {NRX_SS_PARAM_MEDIAN_ABS_DEVIATION, kReal, NRX_F(median_abs_deviation), NRX_SS_STATUS_NULL_MEDIAN_ABS_DEVIATION},
    {NRX_SS_PARAM_MEAN_ABS_DEVIATION, kReal, NRX_F(mean_abs_deviation), NRX_SS_STATUS_NULL_MEAN_ABS_DEVIATION},
    {NRX_SS_PARAM_SORTED_DATA, kReal, NRX_F(sorted_data), NRX_SS_STATUS_NULL_SORTED_DATA},
    {NRX_SS_PARAM_SORTED_DATA_STORAGE, kInt, NRX_F(sorted_data_storage), NRX_SS_STATUS_NULL_STORAGE},
};
#undef NRX_F
static_assert(sizeof(kEditRows) / sizeof(kEditRows[0]) == 79, "one row per edit id 1..79");

constexpr bool rows_in_id_order() {
  for (int k = 0; k < 79; ++k)
    if (kEditRows[k].id != k + 1) return false;
  return true;
}
static_assert(rows_in_id_order(), "row k holds id k + 1");

const void** field_at(NrxSSTask* t, size_t offset) {
  return reinterpret_cast<const void**>(reinterpret_cast<char*>(t) + offset);
}

int32_t edit(NrxSSTask* t, int64_t id, const void* address, Kind kind) {
  if (!t) return NRX_SS_STATUS_NULL_TASK;
  if (id < 1 || id > 79 || kEditRows[id - 1].kind != kind) return NRX_SS_STATUS_BAD_PARAMETER;
  const EditRow& row = kEditRows[id - 1];
  if (!address) return row.null_status;
  *field_at(t, row.offset) = address;
  return NRX_SS_STATUS_OK;
}

// Stores each non-null address of a convenience editor into its field.
int32_t edit_list(NrxSSTask* t, std::initializer_list<std::pair<int32_t, const void*>> list) {
  if (!t) return NRX_SS_STATUS_NULL_TASK;
  for (const auto& [id, address] : list)
    if (address) *field_at(t, kEditRows[id - 1].offset) = address;
  return NRX_SS_STATUS_OK;
}

int32_t new_task(NrxSSTask** task, const void* p, const void* n, const void* layout, const void* data,
                 const void* weights, const void* indices, int32_t int64_flag) {
  auto rd = [&](const void* q) {
    return int64_flag ? *static_cast<const int64_t*>(q) : int64_t(*static_cast<const int32_t*>(q));
  };
  if (!p || rd(p) <= 0) return NRX_SS_STATUS_BAD_DIMENSION;
  if (data) {
    if (!layout) return NRX_SS_STATUS_NULL_STORAGE;
    if (!valid_layout(rd(layout))) return NRX_SS_STATUS_BAD_STORAGE;
    if (!n || rd(n) <= 0) return NRX_SS_STATUS_BAD_OBSERVATIONS;
  }
  auto* t = static_cast<NrxSSTask*>(nrx_serv_allocate(sizeof(NrxSSTask), 128));
  if (!t) {
    if (task) *task = nullptr;
    return NRX_SS_STATUS_NO_MEMORY;
  }
  std::memset(static_cast<void*>(t), 0, sizeof(NrxSSTask));
  t->int64_flag = int64_flag;
  t->version = 2;
  t->constant = 1;
  t->dimension = p;
  t->observations = n;
  t->indices = indices;
  t->data = data;
  t->weights = weights;
  t->data_layout = layout;
  *task = t;
  return NRX_SS_STATUS_OK;
}

}  // namespace
}  // namespace nrx::stats

using namespace nrx::stats;

extern "C" {

NRX_SS_API int32_t _drudSSNewTask(NrxSSTask** task, const void* p, const void* n, const void* layout,
                                  const double* data, const double* weights, const void* indices, int32_t int64_flag) {
  return new_task(task, p, n, layout, data, weights, indices, int64_flag);
}
NRX_SS_API int32_t _drusSSNewTask(NrxSSTask** task, const void* p, const void* n, const void* layout, const float* data,
                                  const float* weights, const void* indices, int32_t int64_flag) {
  return new_task(task, p, n, layout, data, weights, indices, int64_flag);
}

NRX_SS_API int32_t _druSSDeleteTask(NrxSSTask** task) {
  if (!task) return NRX_SS_STATUS_NULL_TASK;
  NrxSSTask* t = *task;
  if (!t) return NRX_SS_STATUS_NULL_TASK;
  if (t->basic_buffer) nrx_serv_deallocate(t->basic_buffer);
  // The cleanup list holds at most its first entry (the later words are other fields).
  if (t->cleanup_count > 0 && t->cleanup) t->cleanup(t);
  nrx_serv_deallocate(t);
  *task = nullptr;
  return NRX_SS_STATUS_OK;
}

NRX_SS_API int32_t _drudSSEditTask(NrxSSTask* t, int64_t id, const double* a) { return edit(t, id, a, kReal); }
NRX_SS_API int32_t _drusSSEditTask(NrxSSTask* t, int64_t id, const float* a) { return edit(t, id, a, kReal); }
NRX_SS_API int32_t _druiSSEditTask(NrxSSTask* t, int64_t id, const void* a) { return edit(t, id, a, kInt); }

#define NRX_SS_DEFINE_EDITORS(t, R)                                                                                    \
  NRX_SS_API int32_t _dru##t##SSEditMoments(NrxSSTask* task, R* mean, R* r2, R* r3, R* r4, R* c2, R* c3, R* c4) {      \
    return edit_list(task, {{7, mean}, {8, r2}, {9, r3}, {10, r4}, {11, c2}, {12, c3}, {13, c4}});                     \
  }                                                                                                                    \
  NRX_SS_API int32_t _dru##t##SSEditSums(NrxSSTask* task, R* s1, R* s2, R* s3, R* s4, R* cs2, R* cs3, R* cs4) {        \
    return edit_list(task, {{67, s1}, {68, s2}, {69, s3}, {70, s4}, {71, cs2}, {72, cs3}, {73, cs4}});                 \
  }                                                                                                                    \
  NRX_SS_API int32_t _dru##t##SSEditCovCor(NrxSSTask* task, R* mean, R* cov, const void* cov_storage, R* cor,          \
                                           const void* cor_storage) {                                                  \
    return edit_list(task, {{7, mean}, {19, cov}, {20, cov_storage}, {21, cor}, {22, cor_storage}});                   \
  }                                                                                                                    \
  NRX_SS_API int32_t _dru##t##SSEditCP(NrxSSTask* task, R* mean, R* sum1, R* cp, const void* cp_storage) {             \
    return edit_list(task, {{7, mean}, {67, sum1}, {74, cp}, {75, cp_storage}});                                       \
  }                                                                                                                    \
  NRX_SS_API int32_t _dru##t##SSEditPartialCovCor(NrxSSTask* task, const void* partial_indices, R* cov,                \
                                                  const void* cov_storage, R* cor, const void* cor_storage, R* pcov,   \
                                                  const void* pcov_storage, R* pcor, const void* pcor_storage) {       \
    return edit_list(task, {{45, partial_indices},                                                                     \
                            {19, cov},                                                                                 \
                            {20, cov_storage},                                                                         \
                            {21, cor},                                                                                 \
                            {22, cor_storage},                                                                         \
                            {46, pcov},                                                                                \
                            {47, pcov_storage},                                                                        \
                            {48, pcor},                                                                                \
                            {49, pcor_storage}});                                                                      \
  }                                                                                                                    \
  NRX_SS_API int32_t _dru##t##SSEditQuantiles(NrxSSTask* task, const void* order_count, const R* orders, R* quantiles, \
                                              R* order_stats, const void* order_stats_storage) {                       \
    return edit_list(                                                                                                  \
        task, {{24, order_count}, {25, orders}, {26, quantiles}, {27, order_stats}, {44, order_stats_storage}});       \
  }                                                                                                                    \
  NRX_SS_API int32_t _dru##t##SSEditPooledCovariance(NrxSSTask* task, const void* group_indices, R* pooled_mean,       \
                                                     R* pooled_cov, const void* requested_groups, R* group_means,      \
                                                     R* group_covs) {                                                  \
    return edit_list(task, {{28, group_indices},                                                                       \
                            {30, pooled_mean},                                                                         \
                            {31, pooled_cov},                                                                          \
                            {32, requested_groups},                                                                    \
                            {33, group_means},                                                                         \
                            {35, group_covs}});                                                                        \
  }                                                                                                                    \
  NRX_SS_API int32_t _dru##t##SSEditRCov(NrxSSTask* task, const void* rcov_storage, const void* param_count,           \
                                         const R* params, R* rmean, R* rcov) {                                         \
    return edit_list(task, {{36, rcov_storage}, {37, param_count}, {38, params}, {39, rmean}, {40, rcov}});            \
  }                                                                                                                    \
  NRX_SS_API int32_t _dru##t##SSEditOutDetect(NrxSSTask* task, const void* param_count, const R* params, R* weights) { \
    return edit_list(task, {{41, param_count}, {42, params}, {43, weights}});                                          \
  }                                                                                                                    \
  NRX_SS_API int32_t _dru##t##SSEditMissingVals(NrxSSTask* task, const void* param_count, const R* params,             \
                                                const void* init_count, const R* init, const void* prior_count,        \
                                                const R* prior, const void* simulated_count, R* simulated,             \
                                                const void* estimate_count, R* estimates) {                            \
    return edit_list(task, {{50, param_count},                                                                         \
                            {51, params},                                                                              \
                            {52, init_count},                                                                          \
                            {53, init},                                                                                \
                            {58, prior_count},                                                                         \
                            {59, prior},                                                                               \
                            {54, simulated_count},                                                                     \
                            {55, simulated},                                                                           \
                            {56, estimate_count},                                                                      \
                            {57, estimates}});                                                                         \
  }                                                                                                                    \
  NRX_SS_API int32_t _dru##t##SSEditMtxParametrz(NrxSSTask* task, R* cor, const void* cor_storage, R* pcor,            \
                                                 const void* pcor_storage) {                                           \
    return edit_list(task, {{21, cor}, {22, cor_storage}, {60, pcor}, {61, pcor_storage}});                            \
  }                                                                                                                    \
  NRX_SS_API int32_t _dru##t##SSEditStreamQuantiles(NrxSSTask* task, const void* order_count, const R* orders,         \
                                                    R* quantiles, const void* param_count, const R* params) {          \
    return edit_list(task, {{64, order_count}, {65, orders}, {66, quantiles}, {62, param_count}, {63, params}});       \
  }

NRX_SS_DEFINE_EDITORS(d, double)
NRX_SS_DEFINE_EDITORS(s, float)

}  // extern "C"
