// Per-thread status, callback and interface base pointer through the public
// API, both names of every service function, and the slot index functions.
#include <cstdint>
#include <latch>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "fresh_thread.h"
#include "nrx/zar.h"

namespace {

using zartest::on_fresh_thread;

// Both spellings of the service functions; every test runs with each pair of
// (setter spelling, getter spelling), so a twin wired to other state shows.
struct Api {
  const char* label;
  uint32_t (*get_mode)();
  uint32_t (*set_mode)(uint32_t);
  int32_t (*get_status)();
  int32_t (*set_status)(int32_t);
  int32_t (*clear_status)();
  ZarCallBack (*get_callback)();
  ZarCallBack (*set_callback)(ZarCallBack);
  ZarCallBack (*clear_callback)();
  const void* (*set_base)(const void*);
};

const Api kPublic = {"zar",
                     zarGetMode,
                     zarSetMode,
                     zarGetErrStatus,
                     zarSetErrStatus,
                     zarClearErrStatus,
                     zarGetErrorCallBack,
                     zarSetErrorCallBack,
                     zarClearErrorCallBack,
                     zarSetInterfInputVectorPointer};
const Api kKernel = {"nrx_zar_kernel",
                     nrx_zar_kernel_GetMode,
                     nrx_zar_kernel_SetMode,
                     nrx_zar_kernel_GetErrStatus,
                     nrx_zar_kernel_SetErrStatus,
                     nrx_zar_kernel_ClearErrStatus,
                     nrx_zar_kernel_GetErrorCallBack,
                     nrx_zar_kernel_SetErrorCallBack,
                     nrx_zar_kernel_ClearErrorCallBack,
                     nrx_zar_kernel_SetInterfInputVectorPointer};

struct ApiPair {
  const Api* set;
  const Api* get;
};
const ApiPair kPairs[] = {{&kPublic, &kPublic}, {&kPublic, &kKernel}, {&kKernel, &kPublic}, {&kKernel, &kKernel}};

int32_t callback_a(ZarErrorContext*) { return 0; }
int32_t callback_b(ZarErrorContext*) { return 1; }

class ServiceState : public ::testing::TestWithParam<ApiPair> {
 protected:
  const Api& set() const { return *GetParam().set; }
  const Api& get() const { return *GetParam().get; }
};

TEST_P(ServiceState, FreshThreadStartsClean) {
  zartest::ModeVariable unset(std::nullopt);
  const Api& g = get();
  const auto r = on_fresh_thread([&] { return std::tuple{g.get_mode(), g.get_status(), g.get_callback()}; });
  EXPECT_EQ(std::get<0>(r), 0x1A02u);
  EXPECT_EQ(std::get<1>(r), 0);
  EXPECT_EQ(std::get<2>(r), nullptr);
}

TEST_P(ServiceState, StatusExchange) {
  const Api& s = set();
  const Api& g = get();
  on_fresh_thread([&] {
    // (operation, argument, expected result, expected status afterwards)
    struct Row {
      char op;
      int32_t arg, result, after;
    };
    const Row rows[] = {
        {'s', 3, 0, 3}, {'s', 1, 3, 1},         {'s', -2, 1, -2},   {'c', 0, -2, 0},
        {'c', 0, 0, 0}, {'s', 12345, 0, 12345}, {'s', 0, 12345, 0},
    };
    for (const Row& r : rows) {
      const int32_t result = r.op == 's' ? s.set_status(r.arg) : s.clear_status();
      EXPECT_EQ(result, r.result) << r.op << " " << r.arg;
      EXPECT_EQ(g.get_status(), r.after) << r.op << " " << r.arg;
    }
  });
}

TEST_P(ServiceState, CallbackExchangeAndModeBit) {
  const Api& s = set();
  const Api& g = get();
  zartest::ModeVariable unset(std::nullopt);
  // (error field set first, callback to set or clear, expected previous, expected error field)
  struct Row {
    uint32_t errmode;  // 0: leave as it is
    ZarCallBack cb;
    bool clear;
    ZarCallBack previous;
    uint32_t field_after;
  };
  const std::vector<std::vector<Row>> scripts = {
      {{0, callback_a, false, nullptr, 0x1A00},
       {0, callback_b, false, callback_a, 0x1A00},
       {0, nullptr, true, callback_b, 0x0A00}},
      {{ZAR_ERRMODE_IGNORE, callback_a, false, nullptr, 0x1100}, {0, nullptr, false, callback_a, 0x0100}},
      {{ZAR_ERRMODE_STDERR, callback_a, false, nullptr, 0x1400}, {0, nullptr, true, callback_a, 0x0400}},
      // Removing the callback would leave an all-zero field, which is not applied.
      {{ZAR_ERRMODE_CALLBACK, callback_a, false, nullptr, 0x1000},
       {0, nullptr, false, callback_a, 0x1000},
       {0, nullptr, true, nullptr, 0x1000}},
      {{ZAR_ERRMODE_CALLBACK, nullptr, false, nullptr, 0x1000}},
      {{ZAR_ERRMODE_NOERR, callback_b, false, nullptr, 0x3000}, {0, nullptr, true, callback_b, 0x2000}},
  };
  for (const auto& script : scripts) {
    on_fresh_thread([&] {
      for (const Row& r : script) {
        if (r.errmode) s.set_mode(r.errmode);
        const uint32_t others = g.get_mode() & ~ZAR_ERRMODE_MASK;
        const ZarCallBack previous = r.clear ? s.clear_callback() : s.set_callback(r.cb);
        EXPECT_EQ(previous, r.previous);
        EXPECT_EQ(g.get_callback(), r.clear ? nullptr : r.cb);
        EXPECT_EQ(g.get_mode() & ZAR_ERRMODE_MASK, r.field_after);
        EXPECT_EQ(g.get_mode() & ~ZAR_ERRMODE_MASK, others);
      }
    });
  }
}

TEST_P(ServiceState, BasePointerReturnsArgument) {
  const Api& s = set();
  on_fresh_thread([&] {
    static const double v[4] = {};
    EXPECT_EQ(s.set_base(v + 2), v + 2);
    EXPECT_EQ(s.set_base(nullptr), nullptr);
    EXPECT_EQ(s.set_base(v), v);
  });
}

INSTANTIATE_TEST_SUITE_P(BothNames, ServiceState, ::testing::ValuesIn(kPairs),
                         [](const ::testing::TestParamInfo<ApiPair>& info) {
                           return std::string(info.param.set->label) + "_then_" + info.param.get->label;
                         });

TEST(ServiceState, ThreadsKeepTheirOwnState) {
  zartest::ModeVariable unset(std::nullopt);
  constexpr int kThreads = 6;
  std::latch configured(kThreads);
  std::latch checked(kThreads);
  std::vector<std::thread> threads;
  std::vector<int> failures(kThreads, 0);
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      // Thread t sets a distinct accuracy, status, callback; even threads leave everything alone.
      const bool touches = t % 2 == 1;
      if (touches) {
        zarSetMode(t % 3 + 1);
        zarSetErrStatus(100 + t);
        zarSetErrorCallBack(t % 4 == 1 ? callback_a : callback_b);
        if (t == 3) zarSetErrorCallBack(nullptr);
      }
      configured.arrive_and_wait();
      // Every thread has set its state before any thread checks its own.
      const uint32_t want_mode = touches ? (t == 3 ? 0x0A00u : 0x1A00u) | (t % 3 + 1) : 0x1A02u;
      const int32_t want_status = touches ? 100 + t : 0;
      const ZarCallBack want_cb = !touches || t == 3 ? nullptr : (t % 4 == 1 ? callback_a : callback_b);
      failures[t] += zarGetMode() != want_mode;
      failures[t] += zarGetErrStatus() != want_status;
      failures[t] += zarGetErrorCallBack() != want_cb;
      checked.arrive_and_wait();
    });
  }
  for (auto& th : threads) th.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(failures[t], 0) << "thread " << t;
}

TEST(TableIndex, FromThreadMode) {
  zartest::ModeVariable unset(std::nullopt);
  struct Row {
    uint32_t set;
    int32_t index;
  };
  const Row rows[] = {{0, 1}, {ZAR_LA, 0}, {ZAR_HA, 1}, {ZAR_EP, 2}, {ZAR_EP | ZAR_FTZDAZ_ON, 2}, {0xF, 14}};
  for (const Row& r : rows) {
    const int32_t index = on_fresh_thread([&] {
      if (r.set) zarSetMode(r.set);
      return nrx_zar_kernel_GetTTableIndex();
    });
    EXPECT_EQ(index, r.index) << std::hex << r.set;
  }
}

TEST(TableIndex, FromExplicitMode) {
  struct Row {
    int32_t unused;
    uint32_t mode;
    int32_t index;
  };
  const Row rows[] = {
      {0, 0x1A03, 2},     {12345, 0x1A03, 2},         {-1, 0x1A01, 0}, {7, 0x2, 1}, {0, 0x1A00, -1},  // no range check
      {0, 0xFFFFFFF3, 2}, {INT32_MIN, 0x0F3CFF01, 0},
  };
  for (const Row& r : rows) EXPECT_EQ(nrx_zar_kernel_GetTTableIndexM(r.unused, r.mode), r.index) << std::hex << r.mode;
  // The thread's own word plays no part.
  on_fresh_thread([] {
    zarSetMode(ZAR_LA);
    EXPECT_EQ(nrx_zar_kernel_GetTTableIndexM(0, ZAR_EP), 2);
  });
}

TEST(CpuVersion, IsEleven) { EXPECT_EQ(dll_cpu_version(), 11); }

}  // namespace
