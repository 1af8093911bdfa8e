/* The data fitting header compiles as plain C99. */
#include "nrx/fit.h"

int nrx_fit_header_c99_dummy(void);
int nrx_fit_header_c99_dummy(void) { return (int)sizeof(DfTask) + DFK_ERR_SOLVER; }
