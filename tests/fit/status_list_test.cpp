// The status list of the data fitting services: the documented codes, each once,
// each with a message of its own.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "nrx/fit.h"

namespace {

struct Row {
    const char* name;
    int32_t value;
    const char* message;
};
#define ROW(name, value, message) {#name, value, message},
const Row kRows[] = {NRX_DF_STATUS_LIST(ROW)};
#undef ROW

TEST(fitStatusList, DocumentedCodesEachOnceWithAMessage) {
    // The interface's codes: 0, -1000..-1037 as listed, -1500.
    const std::set<int32_t> documented = {0,     -1000, -1001, -1002, -1004, -1005, -1006, -1007, -1008,
                                          -1009, -1010, -1011, -1012, -1013, -1014, -1015, -1016, -1017,
                                          -1018, -1019, -1020, -1022, -1024, -1025, -1026, -1028, -1034,
                                          -1036, -1037, -1500};
    std::set<int32_t> values;
    std::set<std::string> messages;
    for (const Row& r : kRows) {
        EXPECT_TRUE(values.insert(r.value).second) << r.name << " repeats " << r.value;
        EXPECT_TRUE(messages.insert(r.message).second) << r.name << " shares its message";
        EXPECT_GT(std::strlen(r.message), 6u) << r.name;
        EXPECT_EQ(std::strncmp(r.name, "DFK_", 4), 0) << r.name;
    }
    EXPECT_EQ(values, documented);
}

}  // namespace
