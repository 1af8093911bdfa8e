// The default handler behind the error routine: errno, the messages, and the
// x87 exception.
#include <cerrno>
#include <csignal>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "callback_script.h"
#include "core_probe.h"
#include "fresh_thread.h"
#include "simd/x87.h"
#include "zar/service/error.h"

namespace {

using nrx::zar::report_element_error;
using zartest::on_fresh_thread;

// A one-input, one-result double error at element 0 with the thread's error
// field set to exactly `errmode`.
void report_double(int32_t code, uint32_t errmode, double a = 2.0, double r = 3.0) {
  zarSetMode(errmode);
  const double in[1] = {a};
  double out[1] = {r};
  report_element_error<double, double>(code, 0, in, 1, in, 1, out, 1, out, 1, "vdLog10");
}

// ---- errno ----------------------------------------------------------------------

TEST(DefaultHandler, ErrnoPerCode) {
  struct Row {
    int32_t code;
    int err;
  };
  const Row rows[] = {{0, 0}, {1, 33}, {2, 34}, {3, 34}, {4, 34}, {-1, 22}, {-2, 13}, {5, 14}, {-3, 14}, {1000, 14}};
  for (const Row& row : rows) {
    const int err = on_fresh_thread([&] {
      errno = 12345;
      report_double(row.code, ZAR_ERRMODE_ERRNO);
      return errno;
    });
    EXPECT_EQ(err, row.err) << "code " << row.code;
  }
}

// ---- Messages ---------------------------------------------------------------------

struct Expected {
  int32_t id;
  double value;  // value messages only
};

struct MessageRow {
  const char* label;
  int32_t code;
  double a, b, r1, r2;
  std::vector<Expected> messages;
};

constexpr int32_t kReported = 1005;  // element 5 of a part that starts at element 1000

const std::vector<MessageRow>& message_rows() {
  static const std::vector<MessageRow> rows = {
      {"one in, one out", 1, -1.0, -1.0, -5.0, -5.0, {{750, 0}, {755, -1.0}, {756, -5.0}}},
      {"one in, two out", 2, 0.5, 0.5, 1.5, 2.5, {{751, 0}, {757, 0.5}, {758, 1.5}, {759, 2.5}}},
      {"two in, one out", 3, 2.0, 3.0, 8.0, 8.0, {{752, 0}, {760, 2.0}, {761, 3.0}, {762, 8.0}}},
      {"two in, two out", 4, 2.0, 3.0, 4.0, 5.0, {{753, 0}, {763, 2.0}, {764, 3.0}, {765, 4.0}, {766, 5.0}}},
      {"unknown code", 9, 1.0, 1.0, 2.0, 2.0, {{754, 0}, {755, 1.0}, {756, 2.0}}},
      {"second argument zero", 1, 1.0, 0.0, 7.0, 7.0, {{750, 0}, {755, 1.0}, {756, 7.0}}},
      {"second argument -0", 1, 0.0, -0.0, 7.0, 7.0, {{750, 0}, {755, 0.0}, {756, 7.0}}},
      {"second result zero", 2, 1.0, 1.0, 7.0, 0.0, {{751, 0}, {755, 1.0}, {756, 7.0}}},
      {"first argument zero", 2, 0.0, 4.0, 7.0, 7.0, {{751, 0}, {760, 0.0}, {761, 4.0}, {762, 7.0}}},
      {"bad length", -1, 1.0, 1.0, 1.0, 1.0, {{748, 0}}},
      {"bad pointer", -2, 1.0, 1.0, 1.0, 1.0, {{749, 0}}},
      {"no error", 0, 1.0, 1.0, 1.0, 1.0, {}},
  };
  return rows;
}

std::vector<probe::PrintCall> printed_for(const MessageRow& row) {
  probe::clear_prints();
  on_fresh_thread([&] {
    zarSetMode(ZAR_ERRMODE_STDERR);
    static double a[1006], b[1006], r1[1006], r2[1006];
    zarSetInterfInputVectorPointer(a);
    a[1005] = row.a;
    b[1005] = row.b;
    r1[1005] = row.r1;
    r2[1005] = row.r2;
    report_element_error<double, double>(row.code, 5, a + 1000, 1, b + 1000, 1, r1 + 1000, 1, r2 + 1000, 1, "vdHypot");
  });
  return probe::prints();
}

TEST(DefaultHandler, MessagesByCodeAndShape) {
  probe::set_forward_prints(false);
  for (const MessageRow& row : message_rows()) {
    SCOPED_TRACE(row.label);
    const std::vector<probe::PrintCall> got = printed_for(row);
    ASSERT_EQ(got.size(), row.messages.size());
    for (size_t i = 0; i < got.size(); ++i) {
      const probe::PrintCall& c = got[i];
      const Expected& e = row.messages[i];
      EXPECT_EQ(c.dest, 1);
      EXPECT_EQ(c.id, e.id) << "message " << i;
      if (c.id == 748) {
        EXPECT_EQ(c.nargs, 2);
        EXPECT_EQ(c.name, "vdHypot");
        EXPECT_EQ(c.index, kReported);
      } else if (c.id >= 749 && c.id <= 754) {
        EXPECT_EQ(c.nargs, 1);
        EXPECT_EQ(c.name, "vdHypot");
      } else {
        EXPECT_EQ(c.nargs, 2);
        EXPECT_EQ(c.index, kReported);
        EXPECT_EQ(c.value, e.value) << "message " << c.id;
      }
    }
  }
  probe::set_forward_prints(true);
}

TEST(DefaultHandler, ComplexPairsCountWhole) {
  // Equal real parts, different imaginary parts: two inputs.
  probe::set_forward_prints(false);
  probe::clear_prints();
  on_fresh_thread([] {
    zarSetMode(ZAR_ERRMODE_STDERR);
    const NrxComplex16 a[1] = {{1.0, 2.0}};
    const NrxComplex16 b[1] = {{1.0, 3.0}};
    NrxComplex16 r[1] = {{4.0, 5.0}};
    report_element_error<NrxComplex16, NrxComplex16>(ZAR_ST_RESULT_TOO_LARGE, 0, a, 1, b, 1, r, 1, r, 1, "vzMul");
  });
  std::vector<int32_t> ids;
  for (const probe::PrintCall& c : probe::prints()) ids.push_back(c.id);
  EXPECT_EQ(ids, (std::vector<int32_t>{752, 760, 761, 762}));
  probe::set_forward_prints(true);
}

TEST(DefaultHandler, StderrNamesFunctionAndIndex) {
  probe::set_forward_prints(true);
  ::testing::internal::CaptureStderr();
  printed_for(message_rows()[0]);
  const std::string out = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(out.find("vdHypot"), std::string::npos) << out;
  EXPECT_NE(out.find(std::to_string(kReported)), std::string::npos) << out;
}

TEST(DefaultHandler, NothingPrintedWithoutItsBit) {
  probe::set_forward_prints(false);
  probe::clear_prints();
  on_fresh_thread([] { report_double(ZAR_ST_DOMAIN, ZAR_ERRMODE_ERRNO | ZAR_ERRMODE_EXCEPT); });
  EXPECT_TRUE(probe::prints().empty());
  probe::set_forward_prints(true);
}

// ---- x87 exception -------------------------------------------------------------------

void set_x87_flags(uint16_t flags) {
  nrx::simd::X87Env env;
  nrx::simd::x87_store_env(&env);
  env.status = static_cast<uint16_t>(env.status | flags);
  env.control |= nrx::simd::kX87AllExceptions;
  nrx::simd::x87_load_env(&env);
}

TEST(DefaultHandler, X87FlagPerCode) {
  struct Row {
    int32_t code;
    uint32_t mode;    // error field and traps
    uint16_t before;  // flags already set
    uint16_t after;   // flags afterwards
  };
  constexpr uint32_t E = ZAR_ERRMODE_EXCEPT;
  const Row rows[] = {
      {1, E, 0, 0x01},
      {2, E, 0, 0x04},
      {3, E, 0, 0x08},
      {4, E, 0, 0x10},
      {-1, E, 0, 0},
      {-2, E, 0, 0},
      {0, E, 0, 0},
      {7, E, 0, 0},
      {2, E | ZAR_TRAP_INVALID, 0, 0x04},  // another exception trapped: flag only
      {1, E | ZAR_TRAP_DIVBYZERO | ZAR_TRAP_OVERFLOW | ZAR_TRAP_UNDERFLOW, 0, 0x01},
      {2, E, 0x20, 0x24},  // earlier sticky flags stay
      {3, E, 0x01, 0x09},
      {2, E, 0x04, 0x04},  // the flag already up (a second report in one call)
      {2, E | ZAR_TRAP_INVALID, 0x05, 0x05},
      {2, ZAR_ERRMODE_ERRNO, 0, 0},  // no EXCEPT bit
      {2, ZAR_ERRMODE_DEFAULT, 0, 0x04},
  };
  for (const Row& row : rows) {
    const auto [status, control] = on_fresh_thread([&] {
      nrx::simd::x87_clear_exceptions();
      if (row.before) set_x87_flags(row.before);
      zarSetMode(row.mode);
      report_double(row.code, row.mode & ZAR_ERRMODE_MASK);
      return std::pair{nrx::simd::x87_status(), nrx::simd::x87_control()};
    });
    EXPECT_EQ(status & 0x3F, row.after) << "code " << row.code << " mode 0x" << std::hex << row.mode;
    EXPECT_EQ(control & 0x3F, 0x3F) << "code " << row.code;
  }
}

TEST(DefaultHandlerDeathTest, TrappedExceptionRaisesSigfpe) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  struct Row {
    uint32_t trap;
    int32_t code;
  };
  const Row rows[] = {{ZAR_TRAP_DIVBYZERO, 2}, {ZAR_TRAP_INVALID, 1}, {ZAR_TRAP_OVERFLOW, 3}, {ZAR_TRAP_UNDERFLOW, 4}};
  for (const Row& row : rows) {
    EXPECT_EXIT(
        {
          std::signal(SIGFPE, SIG_DFL);
          zarSetMode(ZAR_ERRMODE_EXCEPT | row.trap);
          report_double(row.code, ZAR_ERRMODE_EXCEPT);
          std::fprintf(stderr, "no exception\n");
          std::_Exit(0);
        },
        ::testing::KilledBySignal(SIGFPE), "")
        << "code " << row.code;
  }
}

}  // namespace
