// Every distinct kernel of a table against MPFR, held to its ulp bound with no special-value
// mismatch; a failure names the kernel and lists its worst and mismatching inputs.
#pragma once
#include <gtest/gtest.h>

#include <string>

#include "tools/accuracy/accuracy.h"

namespace nrx::test {

inline void expect_within_bound(const zar::catalog::Entry& e, const accuracy::Options& o,
                                const std::string& what = "") {
  for (const accuracy::Result& r : accuracy::measure_slots(e, accuracy::distinct_slots(e), o)) {
    std::string why;
    for (const accuracy::Sample& s : r.worst) why += "\n  worst: " + accuracy::describe(e, s);
    for (const accuracy::Sample& s : r.bad) why += "\n  mismatch: " + accuracy::describe(e, s);
    EXPECT_LE(r.max_ulp, r.bound) << e.names[r.slot] << what << why;
    EXPECT_EQ(r.mismatches, 0u) << e.names[r.slot] << what << why;
  }
}

// The same for a table by name ("dSinh"), which must have a vector kernel.
inline void expect_within_bound(const char* table, const accuracy::Options& o, const std::string& what = "") {
  int slot;
  const zar::catalog::Entry* e = accuracy::find_entry(table, &slot);
  ASSERT_NE(e, nullptr) << table;
  ASSERT_NE(e->kernel, nullptr) << table << " has no vector kernel";
  expect_within_bound(*e, o, " " + what);
}

}  // namespace nrx::test
