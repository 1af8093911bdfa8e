// The status lists of the data fitting services and the summary statistics: the
// documented codes, each once, each with a message of its own.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "nrx/fit.h"
#include "nrx/stats.h"

namespace {

struct Row {
  const char* name;
  int32_t value;
  const char* message;
};
#define ROW(name, value, message) {#name, value, message},
const Row kFitRows[] = {NRX_DF_STATUS_LIST(ROW)};
const Row kStatsRows[] = {NRX_SS_STATUS_LIST(ROW)};
#undef ROW

template <size_t N> void check_list(const Row (&rows)[N], const std::set<int32_t>& documented, const char* prefix) {
  std::set<int32_t> values;
  std::set<std::string> messages;
  for (const Row& r : rows) {
    EXPECT_TRUE(values.insert(r.value).second) << r.name << " repeats " << r.value;
    EXPECT_TRUE(messages.insert(r.message).second) << r.name << " shares its message";
    EXPECT_GT(std::strlen(r.message), 6u) << r.name;
    EXPECT_EQ(std::strncmp(r.name, prefix, std::strlen(prefix)), 0) << r.name;
  }
  EXPECT_EQ(values, documented);
}

TEST(StatusLists, DocumentedCodesEachOnceWithAMessage) {
  // Data fitting: 0, -1000..-1037 as listed, -1500.
  check_list(kFitRows,
             {0,     -1000, -1001, -1002, -1004, -1005, -1006, -1007, -1008, -1009, -1010, -1011, -1012, -1013, -1014,
              -1015, -1016, -1017, -1018, -1019, -1020, -1022, -1024, -1025, -1026, -1028, -1034, -1036, -1037, -1500},
             "DFK_");
  // Summary statistics: 0, -3, -4000..-4085 without -4025 and -4026, -5040..-5042.
  std::set<int32_t> stats = {0, -3, -5040, -5041, -5042};
  for (int32_t v = -4000; v >= -4085; --v)
    if (v != -4025 && v != -4026) stats.insert(v);
  check_list(kStatsRows, stats, "NRX_SS_STATUS_");
}

}  // namespace
