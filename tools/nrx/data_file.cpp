// Where the shipped data and the plot helper live.
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "tools/nrx/cli.h"
#include "tools/nrx/commands.h"

#ifndef NRX_SHARE_RELATIVE
#define NRX_SHARE_RELATIVE "share/nrx"
#endif

std::string nrx::demo::data_file(const char* name) {
  if (const char* dir = std::getenv("NRX_DATA_DIR")) return std::string(dir) + "/" + name;
  // bin/nrx finds share/nrx beside bin/, in the build tree as in an installed prefix.
  const std::string share = nrx::cli::self_dir() + "/../" NRX_SHARE_RELATIVE "/data/";
  if (access((share + name).c_str(), R_OK) == 0) return share + name;
#ifdef NRX_SOURCE_DATA_DIR
  return std::string(NRX_SOURCE_DATA_DIR) + "/" + name;
#else
  return share + name;
#endif
}
