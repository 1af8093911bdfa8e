// Subcommands of the nrx demonstration program. Each takes the arguments from the
// subcommand's own name on (argv[0] is "vm", "rng", ...).
#pragma once

#include <string>

namespace nrx::demo {

// Path of a shipped demonstration data file: $NRX_DATA_DIR, else the source tree's
// tools/nrx/data (fixed at build time).
std::string data_file(const char* name);

// nrx vm [--samples N] [--filter SUBSTR]: accuracy and speed of every vector kernel.
int vm(int argc, char** argv);

}  // namespace nrx::demo

int nrx_cmd_rng(int argc, char** argv);    // rng_cmd.cpp
int nrx_cmd_stats(int argc, char** argv);  // stats_cmd.cpp
int nrx_cmd_fit(int argc, char** argv);    // fit_cmd.cpp
