/*
 * nrx summary statistics: the task object, its editing, and the basic
 * statistics (moments, sums, covariance, correlation, cross-product,
 * minimum and maximum) of multivariate data sets.
 *
 * Valid C99 and C++. Every function has C linkage and returns a status:
 * 0 on success or a negative NRX_SS_STATUS_ code. A refused call changes
 * neither the task nor any caller array.
 *
 * The task records the caller's addresses and never copies data: the data
 * matrix, the weights, the index arrays and every result array stay the
 * caller's, and compute routines read every registered address afresh at
 * each call. "real" below is double in a d task (_drudSSNewTask) and float
 * in an s task (_drusSSNewTask); "int" is int32_t, or int64_t when the task
 * was created with a nonzero integer-width flag.
 */
#ifndef NRX_STATS_H
#define NRX_STATS_H

#include <stddef.h>
#include <stdint.h>

#include "nrx/core.h"

#if defined(__GNUC__)
#define NRX_SS_API __attribute__((visibility("default")))
#else
#define NRX_SS_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Status codes -------------------------------------------------------------
 * X(name, value, message): every status of the summary statistics with a short
 * message that says what is wrong and which registration fixes it. The enum
 * below is expanded from this list. */
#define NRX_SS_STATUS_LIST(X)                                                                                          \
  X(NRX_SS_STATUS_OK, 0, "success")                                                                                    \
  X(NRX_SS_STATUS_BAD_PARAMETER, -3,                                                                                   \
    "edit-parameter id outside 1..79, or an id of the other kind (real ids with _drud/_drusSSEditTask, integer ids "   \
    "with _druiSSEditTask)")                                                                                           \
  X(NRX_SS_STATUS_NO_MEMORY, -4000, "memory allocation failed; nothing was written")                                   \
  X(NRX_SS_STATUS_BAD_DIMENSION, -4001, "dimension address null or p not positive: register it with parameter 1")      \
  X(NRX_SS_STATUS_BAD_OBSERVATIONS, -4002,                                                                             \
    "observation count address null or n not positive: register it with parameter 2")                                  \
  X(NRX_SS_STATUS_BAD_STORAGE, -4003, "layout code not 0x10000 (rows) or 0x20000 (columns)")                           \
  X(NRX_SS_STATUS_NULL_INDICES, -4004, "component indices address null (parameter 5)")                                 \
  X(NRX_SS_STATUS_NULL_WEIGHTS, -4005, "weights address null (parameter 6)")                                           \
  X(NRX_SS_STATUS_NULL_MEAN, -4006, "mean array not registered: the requested estimates need the mean (parameter 7)")  \
  X(NRX_SS_STATUS_NULL_RAW_MOMENT_2, -4007,                                                                            \
    "raw moment 2 array not registered: the variance needs the mean and raw moment 2 arrays (parameter 8)")            \
  X(NRX_SS_STATUS_NULL_RAW_MOMENT_3, -4008,                                                                            \
    "raw moment 3 array not registered: central moment 3 and skewness need it (parameter 9)")                          \
  X(NRX_SS_STATUS_NULL_RAW_MOMENT_4, -4009,                                                                            \
    "raw moment 4 array not registered: central moment 4 and kurtosis need it (parameter 10)")                         \
  X(NRX_SS_STATUS_NULL_CENTRAL_MOMENT_2, -4010,                                                                        \
    "central moment 2 array not registered: skewness, kurtosis and variation need it (parameter 11)")                  \
  X(NRX_SS_STATUS_NULL_CENTRAL_MOMENT_3, -4011,                                                                        \
    "central moment 3 array not registered: skewness needs it (parameter 12)")                                         \
  X(NRX_SS_STATUS_NULL_CENTRAL_MOMENT_4, -4012,                                                                        \
    "central moment 4 array not registered: kurtosis needs it (parameter 13)")                                         \
  X(NRX_SS_STATUS_NULL_KURTOSIS, -4013, "kurtosis array not registered (parameter 14)")                                \
  X(NRX_SS_STATUS_NULL_SKEWNESS, -4014, "skewness array not registered (parameter 15)")                                \
  X(NRX_SS_STATUS_NULL_MINIMUM, -4015, "minimum array not registered (parameter 16)")                                  \
  X(NRX_SS_STATUS_NULL_MAXIMUM, -4016, "maximum array not registered (parameter 17)")                                  \
  X(NRX_SS_STATUS_NULL_VARIATION, -4017, "variation array not registered (parameter 18)")                              \
  X(NRX_SS_STATUS_NULL_COVARIANCE, -4018, "covariance array not registered (parameter 19)")                            \
  X(NRX_SS_STATUS_NULL_CORRELATION, -4019, "correlation array not registered (parameter 21)")                          \
  X(NRX_SS_STATUS_NULL_ACCUMULATED_WEIGHTS, -4020,                                                                     \
    "accumulated weights not registered: moments from sums need the weight pair (parameter 23) unless n is "           \
    "registered and no weights are")                                                                                   \
  X(NRX_SS_STATUS_NULL_QUANTILE_ORDERS, -4021, "quantile orders not registered (parameter 25)")                        \
  X(NRX_SS_STATUS_BAD_QUANTILE_ORDER_COUNT, -4022,                                                                     \
    "quantile order count not registered (parameter 24), negative, or an order outside [0, 1]")                        \
  X(NRX_SS_STATUS_NULL_QUANTILES, -4023, "quantiles array not registered (parameter 26)")                              \
  X(NRX_SS_STATUS_NULL_ORDER_STATISTICS, -4024, "order statistics array not registered (parameter 27)")                \
  X(NRX_SS_STATUS_NULL_ROBUST_COVARIANCE, -4027, "robust covariance array not registered (parameter 40)")              \
  X(NRX_SS_STATUS_NULL_ROBUST_MEAN, -4028, "robust mean array not registered (parameter 39)")                          \
  X(NRX_SS_STATUS_BAD_METHOD, -4029,                                                                                   \
    "method mask not accepted by this routine, or it cannot produce a requested estimate")                             \
  X(NRX_SS_STATUS_NULL_GROUP_INDICES, -4030,                                                                           \
    "group indices or requested group indices not registered (parameters 28, 32)")                                     \
  X(NRX_SS_STATUS_NULL_TASK, -4031, "null task: create it with _drudSSNewTask or _drusSSNewTask")                      \
  X(NRX_SS_STATUS_NULL_DATA, -4032, "data address not registered (NewTask or parameter 3)")                            \
  X(NRX_SS_STATUS_RANK_DEFICIENT, -4033, "the covariance matrix is rank-deficient")                                    \
  X(NRX_SS_STATUS_NULL_POOLED_COVARIANCE, -4034, "pooled covariance array not registered (parameter 31)")              \
  X(NRX_SS_STATUS_NULL_POOLED_MEAN, -4035, "pooled mean array not registered (parameter 30)")                          \
  X(NRX_SS_STATUS_NULL_GROUP_COVARIANCES, -4036, "group covariances array not registered (parameter 35)")              \
  X(NRX_SS_STATUS_NULL_GROUP_MEANS, -4037, "group means array not registered (parameter 33)")                          \
  X(NRX_SS_STATUS_BAD_GROUP_INDICES, -4038,                                                                            \
    "group index address null, a negative group index, or a requested-groups entry other than 0 and 1")                \
  X(NRX_SS_STATUS_NULL_OUTLIER_PARAMETERS, -4039, "outlier parameters not registered (parameter 42)")                  \
  X(NRX_SS_STATUS_NULL_OUTLIER_PARAMETER_COUNT, -4040, "outlier parameter count not registered (parameter 41)")        \
  X(NRX_SS_STATUS_NULL_OUTLIER_WEIGHTS, -4041, "outlier weights array not registered (parameter 43)")                  \
  X(NRX_SS_STATUS_NULL_ROBUST_PARAMETERS, -4042, "robust covariance parameters not registered (parameter 38)")         \
  X(NRX_SS_STATUS_NULL_ROBUST_PARAMETER_COUNT, -4043,                                                                  \
    "robust covariance parameter count not registered (parameter 37)")                                                 \
  X(NRX_SS_STATUS_NULL_STORAGE, -4044,                                                                                 \
    "a layout or matrix storage address not registered (data layout: parameter 4; result storage: its own parameter)") \
  X(NRX_SS_STATUS_NULL_PARTIAL_INDICES, -4045, "partial covariance index array not registered (parameter 45)")         \
  X(NRX_SS_STATUS_NULL_PARTIAL_COVARIANCE, -4046, "partial covariance array not registered (parameter 46)")            \
  X(NRX_SS_STATUS_NULL_PARTIAL_CORRELATION, -4047, "partial correlation array not registered (parameter 48)")          \
  X(NRX_SS_STATUS_NULL_MISSING_PARAMETERS, -4048, "missing-value method parameters not registered (parameter 51)")     \
  X(NRX_SS_STATUS_NULL_MISSING_PARAMETER_COUNT, -4049,                                                                 \
    "missing-value method parameter count not registered (parameter 50)")                                              \
  X(NRX_SS_STATUS_BAD_MISSING_PARAMETER_COUNT, -4050, "missing-value method parameter count is not 5")                 \
  X(NRX_SS_STATUS_BAD_MISSING_COUNTS, -4051, "non-positive set count or missing-value count")                          \
  X(NRX_SS_STATUS_NULL_INITIAL_ESTIMATE_COUNT, -4052, "initial estimate count not registered (parameter 52)")          \
  X(NRX_SS_STATUS_NULL_INITIAL_ESTIMATES, -4053, "initial estimates not registered (parameter 53)")                    \
  X(NRX_SS_STATUS_NULL_SIMULATED_VALUES, -4054, "simulated values array not registered (parameter 55)")                \
  X(NRX_SS_STATUS_NULL_SIMULATED_COUNT, -4055, "simulated value count not registered (parameter 54)")                  \
  X(NRX_SS_STATUS_NULL_ESTIMATE_COUNT, -4056, "estimate count not registered (parameter 56)")                          \
  X(NRX_SS_STATUS_NULL_ESTIMATES, -4057, "estimates array not registered (parameter 57)")                              \
  X(NRX_SS_STATUS_BAD_ESTIMATE_COUNT, -4058, "estimate count does not fit the data")                                   \
  X(NRX_SS_STATUS_BAD_SIMULATED_COUNT, -4059, "simulated value count does not fit the data")                           \
  X(NRX_SS_STATUS_NO_MISSING_RESULTS, -4060, "neither estimates nor simulated values requested")                       \
  X(NRX_SS_STATUS_NULL_PRIOR_COUNT, -4061, "prior count not registered (parameter 58)")                                \
  X(NRX_SS_STATUS_NULL_PRIOR, -4062, "prior not registered (parameter 59)")                                            \
  X(NRX_SS_STATUS_BAD_MISSING_VALUE_COUNT, -4063, "missing-value count differs from the data")                         \
  X(NRX_SS_STATUS_NULL_STREAM_PARAMETER_COUNT, -4064, "streaming parameter count not registered (parameter 62)")       \
  X(NRX_SS_STATUS_NULL_STREAM_PARAMETERS, -4065, "streaming parameters not registered (parameter 63)")                 \
  X(NRX_SS_STATUS_BAD_STREAM_PARAMETER_COUNT, -4066, "streaming parameter count address null or the count is not 1")   \
  X(NRX_SS_STATUS_BAD_STREAM_ACCURACY, -4067, "streaming accuracy not in (0, 1]")                                      \
  X(NRX_SS_STATUS_NULL_STREAM_ORDERS, -4068, "streaming quantile orders not registered (parameter 65)")                \
  X(NRX_SS_STATUS_BAD_STREAM_ORDER_COUNT, -4069,                                                                       \
    "streaming order count not registered (parameter 64), negative, or an order outside [0, 1]")                       \
  X(NRX_SS_STATUS_NULL_STREAM_QUANTILES, -4070, "streaming quantiles array not registered (parameter 66)")             \
  X(NRX_SS_STATUS_NULL_PARAMETRIZED_CORRELATION, -4071,                                                                \
    "parametrized correlation array not registered (parameter 60)")                                                    \
  X(NRX_SS_STATUS_NO_POSITIVE_EIGENVALUE, -4072, "correlation parametrization found no eigenvalue at or above 1e-14")  \
  X(NRX_SS_STATUS_BAD_PARTIAL_INDICES, -4073, "the partial covariance index array leaves one of its two sets empty")   \
  X(NRX_SS_STATUS_NULL_SUM_1, -4074, "raw sum 1 array not registered: the mean from sums needs it (parameter 67)")     \
  X(NRX_SS_STATUS_NULL_SUM_2, -4075, "raw sum 2 array not registered (parameter 68)")                                  \
  X(NRX_SS_STATUS_NULL_SUM_3, -4076, "raw sum 3 array not registered (parameter 69)")                                  \
  X(NRX_SS_STATUS_NULL_SUM_4, -4077, "raw sum 4 array not registered (parameter 70)")                                  \
  X(NRX_SS_STATUS_NULL_CENTRAL_SUM_2, -4078, "central sum 2 array not registered (parameter 71)")                      \
  X(NRX_SS_STATUS_NULL_CENTRAL_SUM_3, -4079, "central sum 3 array not registered (parameter 72)")                      \
  X(NRX_SS_STATUS_NULL_CENTRAL_SUM_4, -4080, "central sum 4 array not registered (parameter 73)")                      \
  X(NRX_SS_STATUS_NULL_CROSS_PRODUCT, -4081,                                                                           \
    "cross-product array not registered: covariance and correlation from sums need it (parameter 74)")                 \
  X(NRX_SS_STATUS_NULL_MEDIAN_ABS_DEVIATION, -4082, "median absolute deviation array not registered (parameter 76)")   \
  X(NRX_SS_STATUS_NULL_MEAN_ABS_DEVIATION, -4083, "mean absolute deviation array not registered (parameter 77)")       \
  X(NRX_SS_STATUS_NULL_SORTED_DATA, -4084, "sorted data array not registered (parameter 78)")                          \
  X(NRX_SS_STATUS_SORT_IN_PLACE_WITH_INDICES, -4085,                                                                   \
    "sorting in place (sorted data = data) while component indices are registered")                                    \
  X(NRX_SS_STATUS_EIGEN_FAILED, -5040, "the eigenvalue routine reported failure")                                      \
  X(NRX_SS_STATUS_FACTOR_FAILED, -5041, "the Cholesky factorisation reported failure")                                 \
  X(NRX_SS_STATUS_INVERSE_FAILED, -5042, "the Cholesky inversion reported failure")

#define NRX_SS_STATUS_ENUM_ENTRY(name, value, message) name = value,
typedef enum NrxSSStatus { NRX_SS_STATUS_LIST(NRX_SS_STATUS_ENUM_ENTRY) } NrxSSStatus;
#undef NRX_SS_STATUS_ENUM_ENTRY

/* ---- Data layout codes (the int behind the data-layout address) ----------------
 * ROWS: variable-major, element (j, i) of variable j, observation i at j*n + i.
 * COLUMNS: observation-major, element (j, i) at i*p + j. */
#define NRX_SS_STORAGE_ROWS 0x10000
#define NRX_SS_STORAGE_COLUMNS 0x20000

/* ---- Matrix storage codes of symmetric p x p results -----------------------------
 * Tested bit-wise: bit 0x2 selects PACKED_B, else bit 0x1 PACKED_A, else FULL.
 * For i <= j the entry a(i, j) lies at
 *   FULL      i*p + j and j*p + i                      (p*p entries)
 *   PACKED_A  i + j*(j+1)/2   (column j of the upper triangle after column j-1)
 *   PACKED_B  i*p - i*(i-1)/2 + (j - i)   (row i of the upper triangle) */
#define NRX_SS_MATRIX_FULL 0
#define NRX_SS_MATRIX_PACKED_A 1
#define NRX_SS_MATRIX_PACKED_B 2

/* ---- Edit-parameter ids ------------------------------------------------------------
 * (i) int address, edited with _druiSSEditTask; (d) real address, edited with
 * _drudSSEditTask / _drusSSEditTask. The comment gives the status for a null
 * address. */
enum NrxSSParam {
  NRX_SS_PARAM_DIMENSION = 1,                         /* i  -4001 */
  NRX_SS_PARAM_OBSERVATIONS = 2,                      /* i  -4002 */
  NRX_SS_PARAM_DATA = 3,                              /* d  -4032 */
  NRX_SS_PARAM_DATA_LAYOUT = 4,                       /* i  -4044 */
  NRX_SS_PARAM_INDICES = 5,                           /* i  -4004 */
  NRX_SS_PARAM_WEIGHTS = 6,                           /* d  -4005 */
  NRX_SS_PARAM_MEAN = 7,                              /* d  -4006 */
  NRX_SS_PARAM_RAW_MOMENT_2 = 8,                      /* d  -4007 */
  NRX_SS_PARAM_RAW_MOMENT_3 = 9,                      /* d  -4008 */
  NRX_SS_PARAM_RAW_MOMENT_4 = 10,                     /* d  -4009 */
  NRX_SS_PARAM_CENTRAL_MOMENT_2 = 11,                 /* d  -4010 */
  NRX_SS_PARAM_CENTRAL_MOMENT_3 = 12,                 /* d  -4011 */
  NRX_SS_PARAM_CENTRAL_MOMENT_4 = 13,                 /* d  -4012 */
  NRX_SS_PARAM_KURTOSIS = 14,                         /* d  -4013 */
  NRX_SS_PARAM_SKEWNESS = 15,                         /* d  -4014 */
  NRX_SS_PARAM_MINIMUM = 16,                          /* d  -4015 */
  NRX_SS_PARAM_MAXIMUM = 17,                          /* d  -4016 */
  NRX_SS_PARAM_VARIATION = 18,                        /* d  -4017 */
  NRX_SS_PARAM_COVARIANCE = 19,                       /* d  -4018 */
  NRX_SS_PARAM_COVARIANCE_STORAGE = 20,               /* i  -4044 */
  NRX_SS_PARAM_CORRELATION = 21,                      /* d  -4019 */
  NRX_SS_PARAM_CORRELATION_STORAGE = 22,              /* i  -4044 */
  NRX_SS_PARAM_ACCUMULATED_WEIGHTS = 23,              /* d  -4020 */
  NRX_SS_PARAM_QUANTILE_ORDER_COUNT = 24,             /* i  -4022 */
  NRX_SS_PARAM_QUANTILE_ORDERS = 25,                  /* d  -4021 */
  NRX_SS_PARAM_QUANTILES = 26,                        /* d  -4023 */
  NRX_SS_PARAM_ORDER_STATISTICS = 27,                 /* d  -4024 */
  NRX_SS_PARAM_GROUP_INDICES = 28,                    /* i  -4038 */
  NRX_SS_PARAM_POOLED_COVARIANCE_STORAGE = 29,        /* i  -4044 */
  NRX_SS_PARAM_POOLED_MEAN = 30,                      /* d  -4035 */
  NRX_SS_PARAM_POOLED_COVARIANCE = 31,                /* d  -4034 */
  NRX_SS_PARAM_REQUESTED_GROUPS = 32,                 /* i  -4038 */
  NRX_SS_PARAM_GROUP_MEANS = 33,                      /* d  -4037 */
  NRX_SS_PARAM_GROUP_COVARIANCE_STORAGE = 34,         /* i  -4044 */
  NRX_SS_PARAM_GROUP_COVARIANCES = 35,                /* d  -4036 */
  NRX_SS_PARAM_ROBUST_COVARIANCE_STORAGE = 36,        /* i  -4044 */
  NRX_SS_PARAM_ROBUST_PARAMETER_COUNT = 37,           /* i  -4043 */
  NRX_SS_PARAM_ROBUST_PARAMETERS = 38,                /* d  -4042 */
  NRX_SS_PARAM_ROBUST_MEAN = 39,                      /* d  -4028 */
  NRX_SS_PARAM_ROBUST_COVARIANCE = 40,                /* d  -4027 */
  NRX_SS_PARAM_OUTLIER_PARAMETER_COUNT = 41,          /* i  -4040 */
  NRX_SS_PARAM_OUTLIER_PARAMETERS = 42,               /* d  -4039 */
  NRX_SS_PARAM_OUTLIER_WEIGHTS = 43,                  /* d  -4041 */
  NRX_SS_PARAM_ORDER_STATISTICS_STORAGE = 44,         /* i  -4044 */
  NRX_SS_PARAM_PARTIAL_INDICES = 45,                  /* i  -4045 */
  NRX_SS_PARAM_PARTIAL_COVARIANCE = 46,               /* d  -4046 */
  NRX_SS_PARAM_PARTIAL_COVARIANCE_STORAGE = 47,       /* i  -4044 */
  NRX_SS_PARAM_PARTIAL_CORRELATION = 48,              /* d  -4047 */
  NRX_SS_PARAM_PARTIAL_CORRELATION_STORAGE = 49,      /* i  -4044 */
  NRX_SS_PARAM_MISSING_PARAMETER_COUNT = 50,          /* i  -4049 */
  NRX_SS_PARAM_MISSING_PARAMETERS = 51,               /* d  -4048 */
  NRX_SS_PARAM_INITIAL_ESTIMATE_COUNT = 52,           /* i  -4052 */
  NRX_SS_PARAM_INITIAL_ESTIMATES = 53,                /* d  -4053 */
  NRX_SS_PARAM_SIMULATED_COUNT = 54,                  /* i  -4055 */
  NRX_SS_PARAM_SIMULATED_VALUES = 55,                 /* d  -4054 */
  NRX_SS_PARAM_ESTIMATE_COUNT = 56,                   /* i  -4056 */
  NRX_SS_PARAM_ESTIMATES = 57,                        /* d  -4057 */
  NRX_SS_PARAM_PRIOR_COUNT = 58,                      /* i  -4061 */
  NRX_SS_PARAM_PRIOR = 59,                            /* d  -4062 */
  NRX_SS_PARAM_PARAMETRIZED_CORRELATION = 60,         /* d  -4071 */
  NRX_SS_PARAM_PARAMETRIZED_CORRELATION_STORAGE = 61, /* i  -4044 */
  NRX_SS_PARAM_STREAM_PARAMETER_COUNT = 62,           /* i  -4066 */
  NRX_SS_PARAM_STREAM_PARAMETERS = 63,                /* d  -4065 */
  NRX_SS_PARAM_STREAM_ORDER_COUNT = 64,               /* i  -4069 */
  NRX_SS_PARAM_STREAM_ORDERS = 65,                    /* d  -4068 */
  NRX_SS_PARAM_STREAM_QUANTILES = 66,                 /* d  -4070 */
  NRX_SS_PARAM_SUM_1 = 67,                            /* d  -4074 */
  NRX_SS_PARAM_SUM_2 = 68,                            /* d  -4075 */
  NRX_SS_PARAM_SUM_3 = 69,                            /* d  -4076 */
  NRX_SS_PARAM_SUM_4 = 70,                            /* d  -4077 */
  NRX_SS_PARAM_CENTRAL_SUM_2 = 71,                    /* d  -4078 */
  NRX_SS_PARAM_CENTRAL_SUM_3 = 72,                    /* d  -4079 */
  NRX_SS_PARAM_CENTRAL_SUM_4 = 73,                    /* d  -4080 */
  NRX_SS_PARAM_CROSS_PRODUCT = 74,                    /* d  -4081 */
  NRX_SS_PARAM_CROSS_PRODUCT_STORAGE = 75,            /* i  -4044 */
  NRX_SS_PARAM_MEDIAN_ABS_DEVIATION = 76,             /* d  -4082 */
  NRX_SS_PARAM_MEAN_ABS_DEVIATION = 77,               /* d  -4083 */
  NRX_SS_PARAM_SORTED_DATA = 78,                      /* d  -4084 */
  NRX_SS_PARAM_SORTED_DATA_STORAGE = 79               /* i  -4044 */
};

/* ---- Estimate-mask bits (64-bit) --------------------------------------------------- */
#define NRX_SS_EST_MEAN 0x1ULL
#define NRX_SS_EST_RAW_MOMENT_2 0x2ULL
#define NRX_SS_EST_RAW_MOMENT_3 0x4ULL
#define NRX_SS_EST_RAW_MOMENT_4 0x8ULL
#define NRX_SS_EST_CENTRAL_MOMENT_2 0x10ULL
#define NRX_SS_EST_CENTRAL_MOMENT_3 0x20ULL
#define NRX_SS_EST_CENTRAL_MOMENT_4 0x40ULL
#define NRX_SS_EST_KURTOSIS 0x80ULL
#define NRX_SS_EST_SKEWNESS 0x100ULL
#define NRX_SS_EST_VARIATION 0x200ULL
#define NRX_SS_EST_MINIMUM 0x400ULL
#define NRX_SS_EST_MAXIMUM 0x800ULL
#define NRX_SS_EST_COVARIANCE 0x1000ULL
#define NRX_SS_EST_CORRELATION 0x2000ULL
#define NRX_SS_EST_POOLED_COVARIANCE 0x4000ULL
#define NRX_SS_EST_GROUP_COVARIANCE 0x8000ULL
#define NRX_SS_EST_QUANTILES 0x10000ULL
#define NRX_SS_EST_ORDER_STATISTICS 0x20000ULL
#define NRX_SS_EST_PARTIAL_COVARIANCE 0x100000ULL
#define NRX_SS_EST_PARTIAL_CORRELATION 0x200000ULL
#define NRX_SS_EST_SUM_1 0x2000000ULL
#define NRX_SS_EST_SUM_2 0x4000000ULL
#define NRX_SS_EST_SUM_3 0x8000000ULL
#define NRX_SS_EST_SUM_4 0x10000000ULL
#define NRX_SS_EST_CENTRAL_SUM_2 0x20000000ULL
#define NRX_SS_EST_CENTRAL_SUM_3 0x40000000ULL
#define NRX_SS_EST_CENTRAL_SUM_4 0x80000000ULL
#define NRX_SS_EST_CROSS_PRODUCT 0x100000000ULL
#define NRX_SS_EST_MEDIAN_ABS_DEVIATION 0x200000000ULL
#define NRX_SS_EST_MEAN_ABS_DEVIATION 0x400000000ULL
#define NRX_SS_EST_POOLED_MEAN 0x800000000ULL
#define NRX_SS_EST_GROUP_MEAN 0x1000000000ULL

/* ---- Method-mask bits of the basic statistics (64-bit) -------------------------------
 * FAST: raw sums; central quantities derived from raw moments.
 * ONE_PASS: deviations from the running mean, merged by updating formulas
 *           (stable under large offsets).
 * FAST_GIVEN_MEAN: one-pass family measuring every deviation from one shift
 *           vector kept in the task between calls; a fresh accumulation takes
 *           the first observation, a continued one without kept state the
 *           registered mean (where finite). Precision depends on the shift being
 *           near the data: unlike ONE_PASS it is never re-centred.
 * CROSS_PRODUCT_TO_COVARIANCE / SUMS_TO_MOMENTS: no data pass; covariance,
 *           correlation and moments from the sums and cross-product the
 *           caller registered. */
#define NRX_SS_METHOD_FAST 0x1ULL
#define NRX_SS_METHOD_ONE_PASS 0x2ULL
#define NRX_SS_METHOD_FAST_GIVEN_MEAN 0x100ULL
#define NRX_SS_METHOD_CROSS_PRODUCT_TO_COVARIANCE 0x200ULL
#define NRX_SS_METHOD_SUMS_TO_MOMENTS 0x400ULL

/* ---- Task record -------------------------------------------------------------------
 * Allocated by NewTask (zero-filled, 128-byte aligned), freed by
 * _druSSDeleteTask. Callers only edit it through the operations below; the
 * layout is given for routines that build a record of their own. Every
 * address field is a native pointer (zero when not registered).
 *
 *   offset  field
 *     0     int32  integer-width flag (nonzero: 64-bit ints)
 *     4     int32  version word (2)
 *     8     int32  constant word (1)
 *    16     78 addresses: dimension ... estimates (fields 4-81 in order;
 *           field 54, at offset 16 + 50*8 = 416, is the streaming-quantile
 *           state and is not editable)
 *   640     8 words of Mahalanobis-distance context
 *   704     int32  cleanup count
 *   712     cleanup routine
 *   720     sorted data, 728 sorted-data storage
 *   736     persistent buffer of the basic statistics
 *   744     size */
typedef struct NrxSSTask NrxSSTask;
typedef void (*NrxSSCleanup)(NrxSSTask* task);
struct NrxSSTask {
  int32_t int64_flag;
  int32_t version;
  int32_t constant;
  int32_t reserved;
  const void* dimension;
  const void* observations;
  const void* indices;
  const void* data;
  const void* weights;
  void* accumulated_weights;
  const void* data_layout;
  void* parametrized_correlation;
  const void* parametrized_correlation_storage;
  void* mean;
  void* raw_moment[3];     /* orders 2, 3, 4 */
  void* central_moment[3]; /* orders 2, 3, 4 */
  void* sum[4];            /* raw sums of order 1 .. 4 */
  void* central_sum[3];    /* orders 2, 3, 4 */
  void* kurtosis;
  void* skewness;
  void* variation;
  void* minimum;
  void* maximum;
  const void* covariance_storage;
  void* covariance;
  const void* correlation_storage;
  void* correlation;
  const void* cross_product_storage;
  void* cross_product;
  const void* group_indices;
  const void* requested_groups;
  void* group_means;
  void* group_covariances;
  const void* group_covariance_storage;
  void* pooled_mean;
  void* pooled_covariance;
  const void* pooled_covariance_storage;
  const void* quantile_order_count;
  const void* quantile_orders;
  void* quantiles;
  void* order_statistics;
  const void* order_statistics_storage;
  const void* stream_order_count;
  const void* stream_orders;
  void* stream_quantiles;
  void* stream_state;
  const void* stream_parameter_count;
  const void* stream_parameters;
  void* mean_abs_deviation;
  void* median_abs_deviation;
  const void* robust_parameter_count;
  const void* robust_parameters;
  void* robust_mean;
  void* robust_covariance;
  const void* robust_covariance_storage;
  const void* outlier_parameter_count;
  const void* outlier_parameters;
  void* outlier_weights;
  const void* partial_indices;
  void* partial_covariance;
  const void* partial_covariance_storage;
  void* partial_correlation;
  const void* partial_correlation_storage;
  const void* missing_parameter_count;
  const void* missing_parameters;
  const void* initial_estimate_count;
  const void* initial_estimates;
  const void* prior_count;
  const void* prior;
  const void* simulated_count;
  void* simulated_values;
  const void* estimate_count;
  void* estimates;
  void* mahalanobis[8];
  int32_t cleanup_count;
  int32_t reserved2;
  NrxSSCleanup cleanup;
  void* sorted_data;
  const void* sorted_data_storage;
  void* basic_buffer;
};

/* ---- Task creation, editing, deletion ------------------------------------------------ */

/* Creates a task. Arguments: receives the task; -> int p (> 0); -> int n;
 * -> int layout code; -> real p x n data; -> real[n] weights (null: all 1);
 * -> int[p] component indices (null: all components); integer-width flag
 * (nonzero: every int the task points to is int64_t). With a non-null data
 * address, the layout address (-4044), the layout code (-4003) and n > 0
 * (-4002) are tested; p is always tested (-4001). -4000 when memory is
 * exhausted (the task address is then set to null). */
NRX_SS_API int32_t _drudSSNewTask(NrxSSTask** task, const void* p, const void* n, const void* layout,
                                  const double* data, const double* weights, const void* indices, int32_t int64_flag);
NRX_SS_API int32_t _drusSSNewTask(NrxSSTask** task, const void* p, const void* n, const void* layout, const float* data,
                                  const float* weights, const void* indices, int32_t int64_flag);

/* Frees the task's buffers (the basic-statistics buffer, then each cleanup
 * routine), then the record, and sets *task to null. -4031 for a null task
 * address. */
NRX_SS_API int32_t _druSSDeleteTask(NrxSSTask** task);

/* Registers one address. Real ids 3..78 that the table above marks (d) for
 * the d/s forms, int ids 1..79 marked (i) for the i form; any other id, or
 * one of the other kind, gives -3. A null task gives -4031; a null address
 * the status of the table, keeping the earlier address. */
NRX_SS_API int32_t _drudSSEditTask(NrxSSTask* task, int64_t param, const double* address);
NRX_SS_API int32_t _drusSSEditTask(NrxSSTask* task, int64_t param, const float* address);
NRX_SS_API int32_t _druiSSEditTask(NrxSSTask* task, int64_t param, const void* address);

/* Convenience editors: each stores every non-null address of its list into
 * its field and skips null ones. 0, or -4031 for a null task. Integer
 * arguments (storage codes, counts, index arrays) point to ints. */
#define NRX_SS_DECLARE_EDITORS(t, R)                                                                                   \
  NRX_SS_API int32_t _dru##t##SSEditMoments(NrxSSTask* task, R* mean, R* r2, R* r3, R* r4, R* c2, R* c3, R* c4);       \
  NRX_SS_API int32_t _dru##t##SSEditSums(NrxSSTask* task, R* s1, R* s2, R* s3, R* s4, R* cs2, R* cs3, R* cs4);         \
  NRX_SS_API int32_t _dru##t##SSEditCovCor(NrxSSTask* task, R* mean, R* cov, const void* cov_storage, R* cor,          \
                                           const void* cor_storage);                                                   \
  NRX_SS_API int32_t _dru##t##SSEditCP(NrxSSTask* task, R* mean, R* sum1, R* cp, const void* cp_storage);              \
  NRX_SS_API int32_t _dru##t##SSEditPartialCovCor(NrxSSTask* task, const void* partial_indices, R* cov,                \
                                                  const void* cov_storage, R* cor, const void* cor_storage, R* pcov,   \
                                                  const void* pcov_storage, R* pcor, const void* pcor_storage);        \
  NRX_SS_API int32_t _dru##t##SSEditQuantiles(NrxSSTask* task, const void* order_count, const R* orders, R* quantiles, \
                                              R* order_stats, const void* order_stats_storage);                        \
  NRX_SS_API int32_t _dru##t##SSEditPooledCovariance(NrxSSTask* task, const void* group_indices, R* pooled_mean,       \
                                                     R* pooled_cov, const void* requested_groups, R* group_means,      \
                                                     R* group_covs);                                                   \
  NRX_SS_API int32_t _dru##t##SSEditRCov(NrxSSTask* task, const void* rcov_storage, const void* param_count,           \
                                         const R* params, R* rmean, R* rcov);                                          \
  NRX_SS_API int32_t _dru##t##SSEditOutDetect(NrxSSTask* task, const void* param_count, const R* params, R* weights);  \
  NRX_SS_API int32_t _dru##t##SSEditMissingVals(NrxSSTask* task, const void* param_count, const R* params,             \
                                                const void* init_count, const R* init, const void* prior_count,        \
                                                const R* prior, const void* simulated_count, R* simulated,             \
                                                const void* estimate_count, R* estimates);                             \
  NRX_SS_API int32_t _dru##t##SSEditMtxParametrz(NrxSSTask* task, R* cor, const void* cor_storage, R* pcor,            \
                                                 const void* pcor_storage);                                            \
  NRX_SS_API int32_t _dru##t##SSEditStreamQuantiles(NrxSSTask* task, const void* order_count, const R* orders,         \
                                                    R* quantiles, const void* param_count, const R* params);

NRX_SS_DECLARE_EDITORS(d, double)
NRX_SS_DECLARE_EDITORS(s, float)
#undef NRX_SS_DECLARE_EDITORS

/* ---- Basic statistics -----------------------------------------------------------------
 * drudSSBasic(task, estimates, methods, threading): folds the current block
 * of observations (n, data, weights as registered now) into the estimates
 * that the result arrays and the accumulated-weights pair (W0 = sum of
 * weights, W1 = sum of squared weights) already hold; with W0 = 0, or no
 * accumulated-weights address, the block stands alone. Results, for every
 * component j with a nonzero index (others are left untouched):
 *   mean, raw moments r_k      weighted averages of x, x^k
 *   raw sums                   sum of w x^k
 *   central sums S_k           sum of w (x - mean)^k
 *   central moment 2           S2 W0 / (W0^2 - W1)   (unbiased; IEEE inf/NaN
 *                              when W0^2 = W1, e.g. one observation)
 *   central moments 3, 4       S3 / W0, S4 / W0
 *   kurtosis                   c4 / c2^2 - 3;  skewness  c3 / c2^(3/2)
 *   variation                  sqrt(c2) / mean
 *   cross-product P            sum of w (x - mean)(x - mean)^T
 *   covariance                 P / (W0 - W1 / W0);  correlation P_ij / sqrt(P_ii P_jj)
 * Matrix results use the storage code behind their storage address (FULL
 * when none is registered). Methods: exactly one of FAST, ONE_PASS,
 * FAST_GIVEN_MEAN, optionally with CROSS_PRODUCT_TO_COVARIANCE and/or
 * SUMS_TO_MOMENTS; or only those two (no data pass). Status: -4029 for a bad
 * method mask or an estimate the method cannot give; the missing-address
 * status of the lowest needed estimate (mean -4006 ... cross-product -4081);
 * -4002, -4032, -4044, -4003 for the data description; -4020 when the
 * no-pass methods have no weight total; -4000 without memory. Nothing is
 * written before every check has passed. Work is spread over the threading
 * table's threads in blocks of observations (null table: serial).
 * With the accumulated-weights pair registered the task also keeps the exact
 * running sums of the call in its persistent buffer, with a copy of every
 * result array it wrote; the next call uses them only while the pair and each
 * of those arrays still hold exactly what was written, and otherwise rebuilds
 * the earlier state from the result arrays (so values the caller puts there
 * are the state the next block folds into). Infinite observations give the
 * infinities of the formulas (mean, raw moments and raw sums), and NaN where
 * they meet inf - inf (central quantities). Minimum and
 * maximum (bits 0x400, 0x800) are computed by drudSSMinmax, not here. */

/* The estimators over a task record, from one list: each has a double form drudSS<Name>
 * and a single form drusSS<Name> taking (task, estimates, methods, threading) and
 * returning a status. The comments below describe each. */
#define NRX_SS_ESTIMATOR_LIST(X) \
  X(Basic)                       \
  X(Minmax)                      \
  X(Quantiles)                   \
  X(Sort)                        \
  X(MAD)                         \
  X(StreamQuantiles)             \
  X(PartialCovariance)           \
  X(CorParametrization)          \
  X(RobustCovariance)            \
  X(OutliersDetection)           \
  X(PooledCovariance)            \
  X(MissingValues)

#define NRX_SS_DECLARE_ESTIMATOR(Name)                                                   \
  NRX_SS_API int32_t drudSS##Name(NrxSSTask* task, uint64_t estimates, uint64_t methods, \
                                  const nrx_threading* threading);                       \
  NRX_SS_API int32_t drusSS##Name(NrxSSTask* task, uint64_t estimates, uint64_t methods, \
                                  const nrx_threading* threading);
NRX_SS_ESTIMATOR_LIST(NRX_SS_DECLARE_ESTIMATOR)
#undef NRX_SS_DECLARE_ESTIMATOR

/* drudSSMinmax: min[j] = min(min[j], x_ij), max[j] likewise, over the block,
 * for selected components; the arrays are never initialised here. NaN
 * observations leave them unchanged, a NaN starting value stays. Status:
 * -4003 bad layout, -4015 / -4016 missing minimum / maximum address for
 * estimate bits 0x400 / 0x800, -4029 when the method has neither FAST nor
 * ONE_PASS, -4002 / -4032 / -4044 for the data, -4000 without memory. */

/* ---- Quantiles, sorting and absolute deviations -----------------------------------------
 * Method bits of these routines. */
#define NRX_SS_METHOD_QUANTILES 0x1ULL       /* quantiles, order statistics, median absolute deviation */
#define NRX_SS_METHOD_RADIX_SORT 0x100000ULL /* drudSSSort */

/* drudSSQuantiles(task, estimates, methods, threading): for every selected
 * component j, bit 0x10000 writes quantile o of order q[o] to
 * quantiles[j m + o] (m = the order count); bit 0x20000 writes the component's
 * values in ascending order to row j of the p x n order-statistics result, in
 * the layout its storage address gives. Quantile of order q from the sorted
 * values v: h = q (n - 1), k = trunc(h), f = h - k,
 * v[k] + f (v[min(k + 1, n - 1)] - v[k]) (v[k] itself when f = 0); this is
 * numpy's "linear" quantile. Checks in order: -4044 / -4003 data layout;
 * quantiles -4023, orders -4021, order count -4022 (missing, negative, or an
 * order outside [0, 1] or NaN); order statistics -4024, its storage -4044 /
 * -4003; method without bit 0x1 -4029; then -4001, -4002, -4032 and -4000.
 * Nothing is written before every check has passed. NaN data: not ordered,
 * results unspecified. Components are spread over the table's item loop. */

/* drudSSSort(task, estimates (not read), methods, threading): row j of the
 * sorted-data result receives selected component j in ascending order (IEEE
 * total order of the bits: -0 before +0, negative NaNs first, positive NaNs
 * last), in the layout its storage address gives; with the sorted-data
 * address equal to the data address the data are sorted in place. Checks in
 * order: sorted data -4084, its storage -4044; in place: the data layout
 * address -4044 and a layout equal to the result's (-4044), no component
 * indices (-4085); both layout codes valid -4003; method without 0x100000
 * -4029; then -4001, -4002, -4032, -4000. */

/* drudSSWMedian(task): for every component j (component indices are not
 * read) the weighted quantile of order q = quantile_orders[0] with the task's
 * weights (none: 1) goes to quantiles[j]; with unit weights and q = 0.5 it is
 * the median (the mean of the two middle values for even n). Checks: -4044 /
 * -4003 layout, -4023 quantiles, -4021 orders, -4022 q outside [0, 1] (or
 * NaN), then -4001, -4002, -4032, -4000. */
NRX_SS_API int32_t drudSSWMedian(NrxSSTask* task);
NRX_SS_API int32_t drusSSWMedian(NrxSSTask* task);

/* drudSSMAD(task, estimates, methods, threading): bit 0x200000000, the median
 * of |x - median| (unweighted) to the median-absolute-deviation array (-4082;
 * method bit 0x1 or -4029); bit 0x400000000, the weighted mean of |x - c| to
 * the mean-absolute-deviation array (-4083; method bit 0x1 or 0x100, or
 * -4029), c the weighted mean of the component, or with 0x100 the registered
 * mean (-4006 when missing). The layout is checked first (-4044 / -4003); then
 * -4001, -4002, -4032, -4000. Selected components only. */

/* drudSSStreamQuantiles(task, estimates (not read), methods, threading): folds
 * the current block of n >= 0 observations into a per-component summary kept
 * in the task (field 54) and, with method bit 0x40, writes streaming quantile
 * o of order q[o] to stream_quantiles[j m + o] for each selected component;
 * bit 0x80 alone only updates the summary. Each quantile is a data value whose
 * rank is within eps n of q (n - 1), eps = parameters[0] in (0, 1]; NaN for a
 * component with no observation yet. Checks in order: -4002 (n missing or
 * negative); with n > 0 -4032, -4044, -4003; -4070, -4068, -4069 (count
 * missing or negative, an order outside [0, 1]); -4064, -4066 (count not 1),
 * -4065; -4029 (neither 0x40 nor 0x80); -4067; -4001 (p missing, not
 * positive, or not the p the summary was made for); -4000. The summary
 * state (64-bit layout): p component records of 24 bytes {int32 level count,
 * int32 current block, int32 values folded into it, int32 records allocated,
 * level records}, each level record 48 bytes {int32 block, level, count,
 * capacity, compaction offset, (pad), values at byte offset 24, int32 weight
 * exponent, 2 reserved}. It is released by _druSQuantilesFreeBuffers, which
 * the first call puts on the task's cleanup list (so _druSSDeleteTask frees
 * it), and which sets field 54 to null. */
NRX_SS_API void _druSQuantilesFreeBuffers(NrxSSTask* task);

/* Iterative quicksort of n values (ascending, in place; median of three
 * pivot, insertion sort below 7): _drudQSort(n, a); _drudQSortStep(n, a,
 * stride) on a[0], a[stride], ...; both return 0. _drudQSortSelect(n, a, k)
 * returns the k-th smallest (0-based) and leaves a partly reordered (NaN for
 * k outside 0..n-1). NaN values are not ordered. */
NRX_SS_API int32_t _drudQSort(int32_t n, double* a);
NRX_SS_API int32_t _drusQSort(int32_t n, float* a);
NRX_SS_API int32_t _drudQSortStep(int32_t n, double* a, int32_t stride);
NRX_SS_API int32_t _drusQSortStep(int32_t n, float* a, int32_t stride);
NRX_SS_API double _drudQSortSelect(int32_t n, double* a, int32_t k);
NRX_SS_API float _drusQSortSelect(int32_t n, float* a, int32_t k);

/* ---- Numerical routines of the robust estimators ------------------------------------------
 * Chi-square with k degrees of freedom (k > 0; a = k / 2), through the HA
 * logarithm and exponential kernels:
 * _drudChi2CDF(k, x): P(X <= x), the regularised lower incomplete gamma of
 *   (a, x / 2) by its series, or 1 minus the upper one by its continued
 *   fraction when x / 2 > max(1, a); 0 for x <= 0 or k <= 0; relative error
 *   about 1e-13 where the result is not tiny.
 * _drudChi2PDF(k, x): exp(a (ln x - c) - (ln x + x / 2 + lnGamma(a))) with
 *   c = 0.6931471805999999 (0x3FE62E42FEFFBB3B, 4e-11 above ln 2: the density
 *   is exp(-a (c - ln 2)) times the true one); 0 for x <= 0 or k <= 0.
 * _drudChi2ICDF(k, q): x with CDF(x) = q: a Wilson-Hilferty start, up to 10
 *   Newton steps in a bracket, else growth then bisection to a relative width
 *   of 5e-15. q <= 0 gives 0, q >= 1 +infinity, k <= 0 or NaN q a NaN.
 *   Accuracy: about 1e-12 relative for q in [1e-3, 1 - 1e-6]; below that the
 *   CDF of the result is within rounding of q (the search works on 1 - q).
 * _drudLGamma(x): ln |Gamma(x)| (the C library's reentrant lgamma). */
NRX_SS_API double _drudChi2CDF(int32_t k, double x);
NRX_SS_API double _drudChi2PDF(int32_t k, double x);
NRX_SS_API double _drudChi2ICDF(int32_t k, double q);
NRX_SS_API double _drudLGamma(double x);

/* _drudFloor: floor, exact for every double. _drudSqrt: the correctly rounded
 * square root. _drudLn / _drusLn: natural logarithm from two tables of 128
 * entries indexed by the leading 7 mantissa bits and a degree-10 series,
 * within 1 ulp; for zero, negative, infinite and NaN arguments it returns
 * -744.4400719213812 (double) or -103.27893 (float), the logarithms of the
 * least subnormals, instead of an infinity or a NaN. */
NRX_SS_API double _drudFloor(double x);
NRX_SS_API double _drudSqrt(double x);
NRX_SS_API double _drudLn(double x);
NRX_SS_API float _drusLn(float x);

/* _drudTestCovRank(p, m): m is a full p x p covariance (column-major). 0 when
 * it is usable, possibly after regularising it in place: p = 1 with a value in
 * [-4.94e-321, 0] (float: [-1.4e-42, 0]) becomes 4.94e-321 (1.4e-42); p > 1
 * whose smallest eigenvalue l0 is at most 1e-15 (float: 1e-6) has
 * 0.01 l_i + max(0, -l0) added to its diagonal, l_i the first eigenvalue after
 * l0 that is at least 4.94e-321 (1.4e-42), so its smallest eigenvalue becomes
 * at least 0.01 l_i. -4033 when no such eigenvalue exists (or p = 1 with a
 * value below the range), -5040 when the eigenvalue routine fails, -4000
 * without memory, -4001 for p <= 0. */
NRX_SS_API int32_t _drudTestCovRank(int32_t p, double* m);
NRX_SS_API int32_t _drusTestCovRank(int32_t p, float* m);

/* _drudInvCov(p, m): replaces the full p x p symmetric positive definite m by
 * its inverse; afterwards only the lower triangle m[i + j p], i >= j, is valid
 * (the rest is left as it was). p = 1, 2, 3 by closed forms (a singular matrix
 * gives IEEE infinities or NaNs, status 0); p >= 4 by Cholesky on a copy:
 * -5041 when the factorisation fails, -5042 when the inversion does, and then
 * m is unchanged (it stays the caller's). p = 0 does nothing and returns 0;
 * p < 0 gives -4001; -4000 without memory. */
NRX_SS_API int32_t _drudInvCov(int32_t p, double* m);
NRX_SS_API int32_t _drusInvCov(int32_t p, float* m);

/* drudSSMahDistance(record): a task record whose mahalanobis words hold
 *   [0] -> int first observation, [1] -> int end observation (exclusive,
 *   clipped to n), [2] -> real mean[p], [3] -> real inverse covariance
 *   (p x p, column-major, lower triangle read), [4] -> real distances[n];
 *   words [5] to [7] are not read.
 * distances[i] = sqrt((x_i - mean)^T S (x_i - mean)) for i in [first, end),
 * by direct loops for p <= 1024, by blocks of 256 observations through the
 * symmetric matrix product above. Checks: -4031 null record, -4032 data,
 * -4044 / -4003 layout, -3 a null context address, -4000 without memory. */
NRX_SS_API int32_t drudSSMahDistance(NrxSSTask* record);
NRX_SS_API int32_t drusSSMahDistance(NrxSSTask* record);

/* Method bits of the estimators below. */
#define NRX_SS_METHOD_PARTIAL_COVARIANCE 0x1ULL
#define NRX_SS_METHOD_POOLED_COVARIANCE 0x2ULL
#define NRX_SS_METHOD_CORRELATION_PARAMETRIZATION 0x4ULL

/* drudSSPartialCovariance(task, estimates, methods, threading): the partial
 * index array marks with 1 the components whose partial covariance is wanted
 * (set 1, k of them) and with -1 those conditioned on (set 2); other values
 * take no part. With S the registered covariance, bit 0x100000 writes the
 * k x k matrix S11 - S12 S22^-1 S21 (components of set 1 in index order) to
 * the partial covariance in its storage (as a k x k matrix); bit 0x200000 its
 * correlation form (entries over the square roots of the diagonal, unit
 * diagonal) to the partial correlation. Checks in order: -4018 covariance,
 * -4044 its storage, -4045 index array; for the requested bits -4046 / -4047
 * and -4044 their storages; -4029 method without 0x1; -4073 a set empty (or
 * p <= 0); -4000; -5041 / -5042 when S22 is not positive definite. */

/* drudSSCorParametrization(task, estimates, methods, threading): the
 * correlation matrix (storage code 0, 1 or 2) is decomposed V L V^T, every
 * eigenvalue below 1e-14 raised to 1e-14, B = V sqrt(L) with unit rows, and
 * B B^T (a valid correlation matrix: unit diagonal, eigenvalues >= ~1e-14)
 * written to the parametrized correlation in its storage; the two may be the
 * same array when their storage codes are equal. Checks in order: -4001,
 * -4019, -4044, -4003, -4071, -4044, -4003, -4003 (same array, other code),
 * -4029 (method without 0x4); -4000; -5040 eigenvalue failure; -4072 when all
 * eigenvalues were below 1e-14. */

/* ---- Robust estimators ---------------------------------------------------------------------
 * Method bits. */
#define NRX_SS_METHOD_ROBUST_COVARIANCE 0x8ULL
#define NRX_SS_METHOD_MISSING_VALUES 0x10ULL
#define NRX_SS_METHOD_OUTLIERS_DETECTION 0x20ULL

/* drudSSRobustCovariance(task, estimates (not read), methods, threading): an
 * S-estimator with the translated biweight (weight 1 up to M, (1 - ((d - M) /
 * c)^2)^2 up to M + c, 0 beyond). M + c is the radius whose chi-square (p)
 * tail is the rejection probability; M is solved (bisection to 1e-4) so that
 * E[rho] / max rho at the Gaussian equals the breakdown point, or the nearer
 * end when none does; b0 = E[rho] makes the scale consistent. Start: the
 * componentwise median and 1.4826 x MAD, then 10 concentration steps (mean and
 * covariance of the h = (n + p + 1) / 2 nearest). Iteration: distances, the
 * M-scale s with mean rho(d / s) = b0 rescales the covariance, biweight weights
 * give the next weighted mean and covariance; it stops when the location moves
 * less than the accuracy (in standard deviations) and the covariance shape
 * less than the accuracy relative to its largest entry, or after the maximum
 * number of iterations. Final step: the plain mean and covariance of the
 * observations within M + c, the covariance divided by
 * P(chi2(p + 2) <= (M + c)^2) / P(chi2(p) <= (M + c)^2) (the truncation).
 * Parameters (read only with a count of 4): breakdown point (capped at
 * (n - p) / (2 n), its default), rejection probability (0, 1) else 0.001,
 * accuracy > 0 else 0.001, maximum iterations (truncated) >= 0 else 100.
 * Task weights and component indices are not read. Checks in order: -4001
 * (p < 1), -4002 (n <= 2 p), -4044 / -4003 layout, -4028 robust mean, -4027
 * robust covariance, -4044 / -4003 its storage (code 0, 1 or 2), -4029 (no
 * 0x8), -4032; then -4000, -4033 when an estimate is rank-deficient beyond
 * the rank test's ridge or fewer than p + 1 observations keep a weight. */

/* drudSSOutliersDetection(task, estimates (not read), methods, threading):
 * BACON. The outlier weights (n reals) are cleared to 0, then the initial
 * basic subset is the 4 p observations nearest (method 1: Mahalanobis distance
 * from the mean under the covariance of all observations; method 2, the
 * default and any other value: Euclidean distance from the componentwise
 * medians). Repeat: mean and covariance of the subset (basic statistics), rank
 * test and inverse, distances of all observations; the new subset is every
 * observation with distance below sqrt(chi2 quantile(p, 1 - alpha)) x
 * (c_np + max(0, (h - r) / (h + r))), c_np = 1 + (p + 1) / (n - p) +
 * 2 / (n - 1 - 3 p), h = (n + p + 1) / 2, r the previous subset size; stop
 * when |r' - r| / r < the criterion (at most n rounds; a new subset of p or
 * fewer keeps the previous one). The final subset gets weight 1. Parameters
 * (count 3): method, alpha in [0, 1] else 0.05, criterion > 0 else 0.005.
 * With alpha = 0.05 about 5-10% of clean Gaussian points fall outside the
 * cut-off; alpha = 0.001 keeps about 99.9%. Task weights and component indices
 * are not read. Checks: -4001, -4002 (n < 5 p), -4003 (layout address or
 * code), -4041 weights, -4029 (no 0x20), -4032; then -4000, -4033. */

/* drudSSMissingValues(task, estimates (not read), methods, threading): mean
 * and covariance of data with missing entries, and imputations for multiple
 * imputation. A missing entry is a negative quiet NaN: a double whose bits
 * AND 0xFFF8000000000000 equal that mask (for float data 0xFFC00000); a
 * positive NaN is an ordinary value. Parameters (count exactly 5): maximum EM
 * iterations (truncated, <= 0: 50), data-augmentation iterations per set
 * (truncated, <= 0: 30), EM accuracy (<= 0: 0.001), number of sets m > 0,
 * number of missing entries (> 0, equal to the count in the data).
 * Matrices in the parameter arrays are the p (p + 3) / 2 values: the p means,
 * then the covariance's upper triangle row by row, (0,0), (0,1) .. (0,p-1),
 * (1,1) .. (p-1,p-1).
 * EM: starts from the initial estimates when their count is p (p + 3) / 2,
 * else from the observed means and variances (zero covariances; a component
 * seen fewer than twice starts at variance 1); the observations are grouped by
 * their pattern of missing entries; the E-step replaces the missing entries by
 * their conditional means and adds the conditional covariances, the M-step
 * divides by n; it stops after the maximum or when no mean moves by the
 * accuracy in standard deviations and no covariance by the accuracy in units
 * of sqrt(s_jj s_kk).
 * Data augmentation: each of the m sets starts again from the EM estimate and
 * runs its iterations; an iteration draws every missing entry from its
 * conditional normal law (observations in pattern order, the pattern's
 * entries in component order), then the covariance from its posterior under
 * the noninformative prior, Sigma^-1 ~ Wishart(n - 1, S^-1) by Bartlett's
 * factor (column by column: its normals below the diagonal, then a
 * chi-square), then the mean from N(ybar, Sigma / n) (p normals); that mean
 * and covariance are the
 * iteration's simulated values (set-major: set k, iteration i at
 * (k x iterations + i) x p (p + 3) / 2). The last imputations of set k go to
 * estimates[k x missing ..], the missing entries in the order they have in
 * the data array. Random numbers come from an MCG59 stream seeded with the
 * words 0 and 262144, standard normals by Gaussian method 1 in batches of
 * 1024, chi-squares by the gamma law; the prior array is not read. Each pass
 * takes the completed data's mean and covariance from drudSSBasic over the
 * threading table; the rest runs on the calling thread. Task weights and
 * component indices are not read.
 * Checks in order: -4001 (p < 1), -4002 (n <= p: the covariance would be
 * singular), -4003 (layout address or code), -4048, -4049, -4050 (parameter
 * count not 5), -4055 (simulated values without their count), -4054 (a count
 * without the array), -4060 (neither simulated values nor estimates with
 * address and count), -4029 (no 0x10), -4032, -4063 (missing count differs
 * from parameter 4), -4051 (m or parameter 4 <= 0), -4058, -4059; nothing is
 * written before these. Then -4000, a stream status, -4033 when a covariance
 * is not positive definite (results already written stay). */

/* drudSSPooledCovariance(task, estimates, methods, threading): groups are
 * 0 .. G - 1 with G the largest group index + 1. Bit 0x4000 or 0x800000000:
 * the pooled mean, the weighted mean of all observations; bit 0x4000: the
 * pooled covariance, the sum of the groups' cross-products over the sum of
 * their divisors W0 - W1 / W0 (n - G with unit weights). Bit 0x8000 or
 * 0x1000000000: for the groups marked 1 in the requested-groups array (G
 * entries of 0 or 1), in group order, the k-th such group's mean at
 * group_means[k p]; bit 0x8000 also its covariance (cross-product over
 * W0 - W1 / W0) at group_covariances[k s], s the entries of one matrix in the
 * group storage. Task weights are used; component indices are not read.
 * Checks in order: -4003 layout, -4030 group indices, -4035, -4044, -4034,
 * -4030 requested groups, -4037, -4044, -4036, -4029 (no 0x2), -4002, -4032,
 * -4038 (a negative group index or a requested entry other than 0 / 1),
 * -4000. One thread for p <= 10, else the table's threads over blocks of
 * 4096 observations, merged pairwise. */

#ifdef __cplusplus
}
#endif

#endif /* NRX_STATS_H */
