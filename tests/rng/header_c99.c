/* The public random-stream header compiles as plain C99. */
#include "nrx/rng.h"

int nrx_rng_header_c99_probe(void) { return (int)sizeof(BrngProperties) + DRU_E_BAD_IMAGE; }
