/* The public headers compile as C99; a C caller reaches a table slot and a public name. */
#include "nrx/zar.h"
#include "nrx/zar_functions.h"

int nrx_c99_call_through_table(void) {
  float a[3] = {1.5f, -2.5f, 3.25f}, r[3];
  nrx_zar_kernel_sFloor_ttab[0](3, a, r);
  zarsCeil_11(3, a, r);
  return r[0] == 2.0f && dll_cpu_version() == 11;
}
