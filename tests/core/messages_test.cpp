// Diagnostic messages: one stderr line per call, arguments honoured by count.
#include "nrx/core.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

std::string captured(const std::function<void()>& print) {
  testing::internal::CaptureStderr();
  print();
  return testing::internal::GetCapturedStderr();
}

struct Case {
  std::function<void()> print;
  std::vector<std::string> parts;  // every one must appear in the line
};

}  // namespace

TEST(CoreMessages, OneLineWithTheValuesGiven) {
  const Case cases[] = {
      {[] { nrx_serv_print(1, 748, 2, "vsAtan2", 123456); }, {"vsAtan2", "123456"}},
      {[] { nrx_serv_print(1, 749, 1, "vdLog10"); }, {"vdLog10", "null"}},
      {[] { nrx_serv_print(1, 750, 1, "vdLog10"); }, {"vdLog10", "domain"}},
      {[] { nrx_serv_print(1, 751, 1, "vdLog10"); }, {"vdLog10", "singularity"}},
      {[] { nrx_serv_print(1, 752, 1, "vdLog10"); }, {"vdLog10", "overflow"}},
      {[] { nrx_serv_print(1, 753, 1, "vdLog10"); }, {"vdLog10", "underflow"}},
      {[] { nrx_serv_print(1, 754, 1, "vdLog10"); }, {"vdLog10", "unknown"}},
      {[] { nrx_serv_print(1, 773, 0); }, {"per-thread storage"}},
      {[] { nrx_serv_print(1, 4242, 2, 1, 2); }, {"4242"}},
      // Fewer arguments than the text needs: the rest print as '?'.
      {[] { nrx_serv_print(1, 755, 1, 9876); }, {"9876", "?"}},
      {[] { nrx_serv_print(1, 748, 0); }, {"?"}},
  };
  for (const Case& c : cases) {
    const std::string out = captured(c.print);
    EXPECT_EQ(out.rfind("nrx: ", 0), 0u) << out;
    EXPECT_EQ(out.find('\n'), out.size() - 1) << out;
    for (const std::string& p : c.parts) EXPECT_NE(out.find(p), std::string::npos) << p << " in " << out;
  }
}

// The value messages as the error handler uses them: which value of the
// failing element each id announces.
TEST(CoreMessages, ElementValues) {
  const struct {
    int32_t id;
    const char* role;
  } cases[] = {{755, "argument"},       {756, "result"},          {757, "argument"},        {758, "first result"},
               {759, "second result"},  {760, "first argument"},  {761, "second argument"}, {762, "result"},
               {763, "first argument"}, {764, "second argument"}, {765, "first result"},    {766, "second result"}};
  for (const auto& c : cases) {
    const std::string out = captured([&] { nrx_serv_print(1, c.id, 2, 41 + c.id, -2.5e-300); });
    EXPECT_EQ(out.find('\n'), out.size() - 1) << out;
    for (const std::string& p : {std::string(c.role), std::to_string(41 + c.id), std::string("-2.5e-300")})
      EXPECT_NE(out.find(p), std::string::npos) << p << " in " << out;
    if (std::string(c.role).find(' ') == std::string::npos) {
      EXPECT_EQ(out.find("first"), std::string::npos) << out;
    }
  }
}
