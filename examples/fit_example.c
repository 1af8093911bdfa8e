/* Data fitting: a cubic spline with not-a-knot ends through samples of a cubic polynomial,
 * evaluated with its first derivative and integrated; a cubic is reproduced exactly. */
#include <math.h>
#include <stdio.h>

#include "nrx/fit.h"
#include "nrx/status.h"

#define NX 7
#define NS 5

static double f(double x) { return x * x * x - 2 * x + 1; }
static double df(double x) { return 3 * x * x - 2; }
static double area(double a, double b) { return (b * b * b * b - a * a * a * a) / 4 - (b * b - a * a) + (b - a); }

int main(void) {
  const double x[NX] = {-1.0, -0.4, 0.0, 0.5, 1.1, 1.5, 2.0};
  const double site[NS] = {-0.9, -0.1, 0.3, 1.3, 1.95};
  const double llim = -0.75, rlim = 1.8;
  const int32_t dorder[2] = {1, 1}; /* value and first derivative */
  double y[NX], coeff[4 * (NX - 1)], r[2 * NS], integral = 0;
  for (int i = 0; i < NX; ++i) y[i] = f(x[i]);

  DfTask* task = NULL;
  int32_t st = nrx_df_kernel_dNewTask1D(&task, NX, x, DFK_NON_UNIFORM, 1, y, DFK_ROWS, 0);
  if (st == 0)
    st = nrx_df_kernel_dEditPPSpline1D(task, 4, DFK_TYPE_NATURAL, DFK_BC_NOT_A_KNOT, NULL, 0, NULL, coeff, 0);
  if (st == 0) st = nrx_df_kernel_dDFNaturalCubicSpline1D(task, 0, 0, &nrx_threading_openmp);
  if (st == 0)
    st = nrx_df_kernel_dDFInterpolate1D(task, DFK_INTERP, 0, NS, site, 0, 2, dorder, NULL, r, DFK_ROWS, NULL, NULL,
                                        NULL, NULL, NULL, NULL, NULL, NULL, NULL, &nrx_threading_openmp);
  if (st == 0)
    st = nrx_df_kernel_dDFIntegrate1D(task, 0, 1, &llim, 0, &rlim, 0, NULL, NULL, &integral, 0, NULL, NULL, NULL, NULL,
                                      NULL, NULL, NULL, NULL, &nrx_threading_openmp);
  nrx_df_kernel_DeleteTask(&task);
  if (st != 0) {
    const char* name = nrx_status_name(NRX_SERVICE_FIT, st);
    const char* msg = nrx_status_message(NRX_SERVICE_FIT, st);
    fprintf(stderr, "fitting failed: %s: %s (status %d)\n", name ? name : "?", msg ? msg : "?", st);
    return 1;
  }
  int ok = fabs(integral - area(llim, rlim)) <= 1e-13;
  for (int i = 0; i < NS; ++i) {
    printf("s(%5.2f) = %12.9f  s'(%5.2f) = %12.9f\n", site[i], r[2 * i], site[i], r[2 * i + 1]);
    ok &= fabs(r[2 * i] - f(site[i])) <= 1e-13 && fabs(r[2 * i + 1] - df(site[i])) <= 1e-12;
  }
  printf("integral over [%g, %g] = %.15f (exact %.15f)\n", llim, rlim, integral, area(llim, rlim));
  printf(ok ? "the cubic is reproduced\n" : "MISMATCH\n");
  return ok ? 0 : 1;
}
