// Where the demonstration data lives.
#include <cstdlib>
#include <string>

#include "tools/nrx/commands.h"

std::string nrx::demo::data_file(const char* name) {
  const char* dir = std::getenv("NRX_DATA_DIR");
  return std::string(dir ? dir : NRX_SOURCE_DATA_DIR) + "/" + name;
}
