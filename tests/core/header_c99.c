/* Compiled as strict C99: the public header must be usable from C. */
#include "nrx/core.h"

int nrx_core_header_c99_probe(void);

int nrx_core_header_c99_probe(void) {
  int ok = sizeof(nrx_threading) == 5 * sizeof(void*);
  double* p = (double*)nrx_serv_allocate(64 * sizeof(double), 128);
  ok = ok && p != NULL && ((uintptr_t)p % 128u) == 0;
  nrx_serv_deallocate(p);
  ok = ok && nrx_threading_serial.num_threads() == 1;
  return ok;
}
