/* Vector math: natural logarithms in the high-accuracy mode, with an error callback that
 * counts the elements outside the domain and lets the default result stand. */
#include <math.h>
#include <stdio.h>

#include "nrx/status.h"
#include "nrx/zar_functions.h"

static int errors = 0;

static int32_t count_errors(ZarErrorContext* e) {
  printf("  element %d of %s: status %d (%s), argument %g\n", e->index, e->name, e->code,
         nrx_status_name(NRX_SERVICE_VM, e->code) ? nrx_status_name(NRX_SERVICE_VM, e->code) : "unnamed", e->arg1);
  ++errors;
  return 0; /* keep the default result (NaN or -inf) */
}

int main(void) {
  const double a[6] = {1.0, 2.718281828459045, 10.0, 1e-300, -1.0, 0.0};
  double r[6];
  const uint32_t old_mode = zarSetMode(ZAR_HA | ZAR_ERRMODE_CALLBACK);
  const ZarCallBack old_callback = zarSetErrorCallBack(count_errors);
  zarClearErrStatus();
  zardLn(6, a, r);
  const int32_t status = zarGetErrStatus();
  zarSetErrorCallBack(old_callback);
  zarSetMode(old_mode);

  for (int i = 0; i < 6; ++i) printf("ln(%g) = %.17g\n", a[i], r[i]);
  printf("status %d, %d element(s) reported\n", status, errors);
  /* ln(-1) is outside the domain (NaN), ln(0) a pole (-inf): two reports, and the thread's
   * status holds the last one. */
  const int ok = r[0] == 0.0 && fabs(r[1] - 1.0) <= 2.3e-16 && fabs(r[2] - 2.302585092994046) <= 5e-16 && isnan(r[4]) &&
                 isinf(r[5]) && r[5] < 0 && errors == 2 && status == ZAR_ST_POLE;
  return ok ? 0 : 1;
}
