/* The public statistics header must stay plain C99. */
#include "nrx/stats.h"

int nrx_stats_header_is_c99(void) { return NRX_SS_STATUS_BAD_METHOD + (int)sizeof(NrxSSTask); }
