// An error callback that keeps the code and index of every element a kernel reports.
#pragma once
#include <vector>

#include "nrx/zar.h"

namespace nrx::test {

struct Report {
  int code, index;
};

// The reports since the last clear; the callback leaves the kernel's results in place.
inline std::vector<Report>& reports() {
  static thread_local std::vector<Report> kept;
  return kept;
}
inline int32_t keep_report(ZarErrorContext* e) {
  reports().push_back({e->code, e->index});
  return 1;
}

}  // namespace nrx::test
