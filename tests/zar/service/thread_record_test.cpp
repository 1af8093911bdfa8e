// The per-thread record: created on first use, zeroed, one per thread, freed
// at thread end; what happens when it cannot be created; and unloading the
// shipped library.
#include <cstdint>
#include <latch>
#include <thread>
#include <vector>

#include <dlfcn.h>
#include <gtest/gtest.h>

#include "core_probe.h"
#include "fresh_thread.h"
#include "zar/service/error.h"

namespace {

using nrx::zar::thread_record;
using nrx::zar::ThreadRecord;
using zartest::on_fresh_thread;

TEST(ThreadRecord, CreatedZeroedOnFirstUse) {
  struct Seen {
    ThreadRecord first;
    uintptr_t address;
    bool same_again;
    uint32_t mode;
  };
  zartest::ModeVariable unset(std::nullopt);
  const Seen s = on_fresh_thread([] {
    ThreadRecord* r = thread_record();
    const ThreadRecord first = *r;
    const bool same = thread_record() == r;
    return Seen{first, reinterpret_cast<uintptr_t>(r), same, zarGetMode()};
  });
  EXPECT_EQ(s.first.mode, 0u);  // not yet taken from the environment
  EXPECT_EQ(s.first.status, 0);
  EXPECT_EQ(s.first.callback, nullptr);
  EXPECT_EQ(s.first.reserved[0], 0);
  EXPECT_EQ(s.first.reserved[1], 0);
  EXPECT_EQ(s.first.base, nullptr);
  EXPECT_EQ(s.address % 128, 0u);
  EXPECT_TRUE(s.same_again);
  EXPECT_EQ(s.mode, 0x1A02u);
}

TEST(ThreadRecord, OnePerThreadFreedAtThreadEnd) {
  constexpr int kThreads = 8;
  const int baseline = probe::live_records();
  std::latch created(kThreads);
  std::latch release(1);
  std::vector<ThreadRecord*> records(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      zarGetMode();
      records[t] = thread_record();
      created.count_down();
      release.wait();
    });
  }
  created.wait();
  EXPECT_EQ(probe::live_records(), baseline + kThreads);
  for (int i = 0; i < kThreads; ++i)
    for (int j = i + 1; j < kThreads; ++j) EXPECT_NE(records[i], records[j]);
  release.count_down();
  for (auto& th : threads) th.join();
  EXPECT_EQ(probe::live_records(), baseline);
}

TEST(ThreadRecord, ThreadWithoutVectorMathHasNone) {
  const int baseline = probe::live_records();
  const int during = on_fresh_thread([] { return probe::live_records(); });
  EXPECT_EQ(during, baseline);
  const int with_status = on_fresh_thread([] {
    zarGetErrStatus();
    return probe::live_records();
  });
  EXPECT_EQ(with_status, baseline + 1);
  EXPECT_EQ(probe::live_records(), baseline);
}

TEST(ThreadRecordDeathTest, NoStoragePrints773AndExitsWith3) {
  // The record of a new thread cannot be allocated: message 773, then exit code 3.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        probe::set_forward_prints(false);
        probe::clear_prints();
        probe::fail_record_allocations();
        std::atexit([] {
          const auto calls = probe::prints();
          const bool ok = calls.size() == 1 && calls[0].id == 773 && calls[0].nargs == 0 && calls[0].dest == 1;
          std::fprintf(stderr, ok ? "printed 773 alone\n" : "wrong messages\n");
        });
        std::thread t([] { zarGetMode(); });
        t.join();
        std::_Exit(0);
      },
      ::testing::ExitedWithCode(3), "printed 773 alone");
}

// ---- The shipped library ----------------------------------------------------------

#ifdef NRX_ZAR_LIBRARY
TEST(LibraryUnload, FreesLoadingThreadRecordAndDeletesKey) {
  const int baseline = probe::live_records();
  void* lib = dlopen(NRX_ZAR_LIBRARY, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(lib, nullptr) << dlerror();
  if (probe::live_records() == baseline) {
    dlclose(lib);
    GTEST_SKIP() << "the library's allocations do not pass through this executable";
  }
  // Load gave this thread its record.
  EXPECT_EQ(probe::live_records(), baseline + 1);
  using GetMode = uint32_t (*)();
  using SetStatus = int32_t (*)(int32_t);
  const auto get_mode = reinterpret_cast<GetMode>(dlsym(lib, "zarGetMode"));
  const auto set_status = reinterpret_cast<SetStatus>(dlsym(lib, "nrx_zar_kernel_SetErrStatus"));
  ASSERT_NE(get_mode, nullptr);
  ASSERT_NE(set_status, nullptr);
  EXPECT_EQ(set_status(4), 0);
  EXPECT_EQ(set_status(0), 4);
  EXPECT_EQ(probe::live_records(), baseline + 1);

  // A thread that still holds a record when the library goes away.
  std::latch holding(1);
  std::latch unloaded(1);
  std::thread holder([&] {
    get_mode();
    holding.count_down();
    unloaded.wait();
    // Ending now must not call into the unloaded library.
  });
  holding.wait();
  EXPECT_EQ(probe::live_records(), baseline + 2);
  const pthread_t holder_id = holder.native_handle();

  dlclose(lib);
  if (void* still = dlopen(NRX_ZAR_LIBRARY, RTLD_NOW | RTLD_NOLOAD)) {
    dlclose(still);
    unloaded.count_down();
    holder.join();
    GTEST_SKIP() << "the library stays resident after dlclose";
  }
  EXPECT_EQ(probe::live_records(), baseline + 1);  // this thread's record went with the library
  unloaded.count_down();
  holder.join();
  // The holder's record was abandoned with the key; hand it back here.
  EXPECT_EQ(probe::release_records_of(holder_id), 1);
  EXPECT_EQ(probe::live_records(), baseline);
}
#endif

}  // namespace
