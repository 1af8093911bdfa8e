// Process termination.
#include "nrx/core.h"

#include <cstdio>
#include <cstdlib>

void nrx_serv_exit(int32_t code) {
  std::fflush(stderr);
  std::exit(code);
}
