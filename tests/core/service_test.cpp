// Memory, bounded copy, locks, environment, processor query and exit.
#include "nrx/core.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

extern "C" int nrx_core_header_c99_probe(void);

TEST(CoreHeader, UsableFromC99) { EXPECT_TRUE(nrx_core_header_c99_probe()); }

TEST(CoreMemory, BlocksAreAlignedAndWritable) {
  const size_t sizes[] = {0, 1, 7, 128, 129, 4095, 65536, 1u << 20, (3u << 20) + 5};
  const int32_t alignments[] = {1, 64, 128, 256, 4096, 1 << 16};
  for (int32_t align : alignments) {
    const uintptr_t expect = align < 128 ? 128 : static_cast<uintptr_t>(align);
    std::vector<void*> blocks;
    for (size_t size : sizes) {
      void* p = nrx_serv_allocate(size, align);
      ASSERT_NE(p, nullptr) << size << " " << align;
      EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % expect, 0u) << size << " " << align;
      std::memset(p, 0xA5, size);
      blocks.push_back(p);
    }
    for (size_t i = 0; i < blocks.size(); ++i)
      for (size_t j = i + 1; j < blocks.size(); ++j) EXPECT_NE(blocks[i], blocks[j]);
    for (void* p : blocks) nrx_serv_deallocate(p);
  }
}

TEST(CoreMemory, RejectsImpossibleRequests) {
  EXPECT_EQ(nrx_serv_allocate(64, 192), nullptr);  // not a power of two
  EXPECT_EQ(nrx_serv_allocate(SIZE_MAX - 64, 128), nullptr);
  nrx_serv_deallocate(nullptr);
}

TEST(CoreMemcpyS, CopiesWithinBounds) {
  char dst[8];
  std::memset(dst, 'x', sizeof dst);
  EXPECT_EQ(nrx_serv_memcpy_s(dst, sizeof dst, "abcdefgh", 8), 0);
  EXPECT_EQ(std::memcmp(dst, "abcdefgh", 8), 0);
  EXPECT_EQ(nrx_serv_memcpy_s(dst, sizeof dst, "ZZ", 2), 0);
  EXPECT_EQ(std::memcmp(dst, "ZZcdefgh", 8), 0);
  EXPECT_EQ(nrx_serv_memcpy_s(dst, sizeof dst, "Q", 0), 0);
  EXPECT_EQ(dst[0], 'Z');
}

TEST(CoreMemcpyS, ViolationsFailAndClearDestination) {
  const char src[16] = "0123456789abcde";
  struct Case {
    size_t dst_size;
    const void* src;
    size_t count;
  } cases[] = {{8, src, 9}, {8, src, 16}, {8, nullptr, 4}, {0, src, 1}};
  for (const Case& c : cases) {
    char dst[8];
    std::memset(dst, 'x', sizeof dst);
    EXPECT_NE(nrx_serv_memcpy_s(dst, c.dst_size, c.src, c.count), 0) << c.dst_size << " " << c.count;
    for (size_t i = 0; i < c.dst_size; ++i) EXPECT_EQ(dst[i], 0);
    for (size_t i = c.dst_size; i < sizeof dst; ++i) EXPECT_EQ(dst[i], 'x');
  }
  EXPECT_NE(nrx_serv_memcpy_s(nullptr, 8, src, 4), 0);
  char buf[16] = "0123456789abcde";
  EXPECT_NE(nrx_serv_memcpy_s(buf + 2, 8, buf, 8), 0);  // overlapping ranges
}

TEST(CoreLock, CounterUnderContentionIsExact) {
  int32_t lock = 0;
  int64_t counter = 0;
  std::atomic<int> inside{0};
  std::atomic<bool> overlap{false};
  constexpr int kThreads = 8, kIters = 100000;
  std::vector<std::thread> pool;
  for (int t = 0; t < kThreads; ++t)
    pool.emplace_back([&] {
      for (int i = 0; i < kIters; ++i) {
        nrx_serv_lock(&lock);
        if (inside.fetch_add(1) != 0) overlap = true;
        ++counter;
        inside.fetch_sub(1);
        nrx_serv_unlock(&lock);
      }
    });
  for (auto& th : pool) th.join();
  EXPECT_EQ(counter, int64_t{kThreads} * kIters);
  EXPECT_FALSE(overlap.load());
  EXPECT_EQ(lock, 0);
}

TEST(CoreGetenv, PresentAbsentEmptyTruncated) {
  ::setenv("NRX_CORE_TEST_VALUE", "ZAR_HA,ZAR_ERRMODE_ERRNO", 1);
  ::setenv("NRX_CORE_TEST_EMPTY", "", 1);
  ::unsetenv("NRX_CORE_TEST_ABSENT");
  struct Case {
    const char* name;
    int32_t buf_len;
    int32_t result;
    const char* text;
  } cases[] = {
      {"NRX_CORE_TEST_VALUE", 256, 24, "ZAR_HA,ZAR_ERRMODE_ERRNO"},
      {"NRX_CORE_TEST_VALUE", 25, 24, "ZAR_HA,ZAR_ERRMODE_ERRNO"},
      {"NRX_CORE_TEST_VALUE", 24, 23, "ZAR_HA,ZAR_ERRMODE_ERRN"},
      {"NRX_CORE_TEST_VALUE", 4, 3, "ZAR"},
      {"NRX_CORE_TEST_VALUE", 1, 0, ""},
      {"NRX_CORE_TEST_EMPTY", 256, 0, ""},
      {"NRX_CORE_TEST_ABSENT", 256, 0, ""},
  };
  for (const Case& c : cases) {
    char buf[256];
    std::memset(buf, '#', sizeof buf);
    EXPECT_EQ(nrx_serv_getenv(c.name, buf, c.buf_len), c.result) << c.name << " " << c.buf_len;
    EXPECT_STREQ(buf, c.text);
  }
  char buf[4] = "###";
  EXPECT_LT(nrx_serv_getenv("NRX_CORE_TEST_VALUE", buf, 0), 1);
  EXPECT_EQ(buf[0], '#');
}

TEST(CoreCpu, MatchesCompilerFeatureProbe) {
  const bool expected = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("vaes");
  EXPECT_EQ(nrx_serv_cpuisicx() != 0, expected);
}

TEST(CoreExitDeathTest, EndsProcessWithCode) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(nrx_serv_exit(3), ::testing::ExitedWithCode(3), "");
  EXPECT_EXIT(
      {
        nrx_serv_print(1, 773, 0);
        nrx_serv_exit(7);
      },
      ::testing::ExitedWithCode(7), "nrx: .*per-thread storage");
}
