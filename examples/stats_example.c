/* Summary statistics over data that arrives in two blocks: the task accumulates the mean
 * and the variance block by block; the result equals that of the whole data set. */
#include <math.h>
#include <stdio.h>

#include "nrx/stats.h"
#include "nrx/status.h"

#define P 2 /* variables */
#define N 6 /* observations per block */

static int report(int32_t st, const char* what) {
  if (st != 0) {
    const char* msg = nrx_status_message(NRX_SERVICE_STATS, st);
    fprintf(stderr, "%s: %s (status %d)\n", what, msg ? msg : "unnamed", st);
  }
  return st;
}

int main(void) {
  /* One observation per column of the p x n matrix: variable j of observation i at
   * [i * P + j]; the second variable has a large offset and a small spread. */
  double block[2][P * N] = {{1, 1e9 + 0.1, 2, 1e9 + 0.2, 3, 1e9 + 0.3, 4, 1e9 + 0.4, 5, 1e9 + 0.5, 6, 1e9 + 0.6},
                            {7, 1e9 + 0.7, 8, 1e9 + 0.8, 9, 1e9 + 0.9, 10, 1e9 + 1.0, 11, 1e9 + 1.1, 12, 1e9 + 1.2}};
  double data[P * N] = {0}, mean[P] = {0}, raw2[P] = {0}, var[P] = {0}, weights[2] = {0, 0};
  const int32_t p = P, n = N, layout = NRX_SS_STORAGE_COLUMNS;
  NrxSSTask* task = NULL;

  /* The task reads `data` afresh at every call; the variance needs the mean and the raw
   * moment 2 registered as well, and the accumulated weights carry the blocks over. */
  if (report(_drudSSNewTask(&task, &p, &n, &layout, data, NULL, NULL, 0), "new task") ||
      report(_drudSSEditMoments(task, mean, raw2, NULL, NULL, var, NULL, NULL), "moments") ||
      report(_drudSSEditTask(task, NRX_SS_PARAM_ACCUMULATED_WEIGHTS, weights), "weights"))
    return 1;
  for (int b = 0; b < 2; ++b) {
    for (int i = 0; i < P * N; ++i) data[i] = block[b][i];
    if (report(drudSSBasic(task, NRX_SS_EST_MEAN | NRX_SS_EST_RAW_MOMENT_2 | NRX_SS_EST_CENTRAL_MOMENT_2,
                           NRX_SS_METHOD_ONE_PASS, &nrx_threading_openmp),
               "basic"))
      return 1;
    printf("after block %d: mean %.10g %.10g, variance %.10g %.10g\n", b + 1, mean[0], mean[1], var[0], var[1]);
  }
  _druSSDeleteTask(&task);

  /* The textbook two-pass formulas over all 12 observations. */
  int ok = 1;
  for (int j = 0; j < P; ++j) {
    double m = 0, s = 0;
    for (int b = 0; b < 2; ++b)
      for (int i = 0; i < N; ++i) m += block[b][i * P + j];
    m /= 2 * N;
    for (int b = 0; b < 2; ++b)
      for (int i = 0; i < N; ++i) s += (block[b][i * P + j] - m) * (block[b][i * P + j] - m);
    s /= 2 * N - 1;
    ok &= fabs(mean[j] - m) <= 1e-15 * fabs(m) && fabs(var[j] - s) <= 1e-6 * s;
  }
  printf(ok ? "equal to the whole data set's\n" : "MISMATCH\n");
  return ok ? 0 : 1;
}
