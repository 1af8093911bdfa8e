// The status list of the summary statistics: the documented codes, each once,
// each with a message of its own.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "nrx/stats.h"

namespace {

struct Row {
    const char* name;
    int32_t value;
    const char* message;
};
#define ROW(name, value, message) {#name, value, message},
const Row kRows[] = {NRX_SS_STATUS_LIST(ROW)};
#undef ROW

TEST(StatsStatusList, DocumentedCodesEachOnceWithAMessage) {
    // 0, -3, -4000..-4085 without -4025, -4026, and -5040..-5042.
    std::set<int32_t> documented = {0, -3, -5040, -5041, -5042};
    for (int32_t v = -4000; v >= -4085; --v)
        if (v != -4025 && v != -4026) documented.insert(v);
    std::set<int32_t> values;
    std::set<std::string> messages;
    for (const Row& r : kRows) {
        EXPECT_TRUE(values.insert(r.value).second) << r.name << " repeats " << r.value;
        EXPECT_TRUE(messages.insert(r.message).second) << r.name << " shares its message";
        EXPECT_GT(std::strlen(r.message), 6u) << r.name;
        EXPECT_EQ(std::strncmp(r.name, "NRX_SS_STATUS_", 14), 0) << r.name;
    }
    EXPECT_EQ(values, documented);
}

}  // namespace
