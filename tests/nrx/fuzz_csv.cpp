// libFuzzer target for the CSV reader of nrx stats and nrx fit: any input either gives a
// message or a table whose shape is consistent.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "tools/nrx/csv.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  nrx::cli::Table t;
  const std::string err = nrx::cli::read_csv(in, "fuzz", t);
  if (err.empty()) {
    const bool ok = t.rows > 0 && t.columns > 0 && t.values.size() == size_t(t.rows) * t.columns &&
                    (t.names.empty() || t.names.size() == t.columns);
    if (!ok) std::abort();
  } else if (err.rfind("fuzz", 0) != 0) {
    std::abort();  // every message names its source
  }
  return 0;
}
