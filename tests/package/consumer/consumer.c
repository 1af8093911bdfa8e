/* A program of an nrx user: vector math from the kernel library, a status name from the
 * core library and the version macros. Prints one line; exits non-zero on a wrong result. */
#include <math.h>
#include <stdio.h>
#include <string.h>

#include "nrx/status.h"
#include "nrx/version.h"
#include "nrx/zar_functions.h"

int main(void) {
  const double a[3] = {0.0, 1.0, -1.0};
  double r[3];
  zardExp(3, a, r);
  const int ok = r[0] == 1.0 && fabs(r[1] - 2.718281828459045) < 1e-15 && fabs(r[2] - 0.36787944117144233) < 1e-16 &&
                 nrx_status_name(NRX_SERVICE_FIT, 1) == NULL && NRX_VERSION >= 10000 && strlen(NRX_VERSION_STRING) >= 5;
  printf("nrx %s consumer: exp(1) = %.17g\n", NRX_VERSION_STRING, r[1]);
  return ok ? 0 : 1;
}
