// Abstract streams: values come from the caller's buffer in circular order; callbacks
// that refill part of it, return 0, a negative count or too many; the real kinds'
// range mapping; constructor refusals and the wrong-kind outputs.
#include <gtest/gtest.h>

#include <vector>

#include "nrx/rng.h"

namespace {

// What the callback does: write `writes` values continuing the sequence 100, 101, ...
// at the refill position and return `returns` (the count, or a wrong one).
struct Plan {
  int32_t writes, returns;
  uint32_t next = 100;
  std::vector<int32_t> idx_seen;
};
Plan* plan = nullptr;

template <class T> int32_t refill(DruStream*, int32_t* n, T* buf, int32_t* nmin, int32_t* nmax, int32_t* idx) {
  EXPECT_EQ(*nmin, 1);
  EXPECT_EQ(*nmax, *n);
  plan->idx_seen.push_back(*idx);
  for (int32_t j = 0; j < plan->writes; ++j) buf[(*idx + j) % *n] = T(plan->next++);
  return plan->returns;
}

TEST(Abstract, IntegerRefillsAndStatuses) {
  struct Row {
    const char* fault;
    int32_t writes, returns, draw, status;
    std::vector<int32_t> idx_seen;  // refill positions: (5 + writes (j - 1)) mod 5
    int32_t good;                   // values delivered before the status
  } rows[] = {
      {"partial refills continue where reading stopped", 3, 3, 13, DRU_OK, {0, 3, 1}, 13},
      {"one value per refill", 1, 1, 8, DRU_OK, {0, 1, 2}, 8},
      {"a whole buffer per refill", 5, 5, 16, DRU_OK, {0, 0, 0}, 16},
      {"an empty refill stops the call", 0, 0, 7, DRU_E_CALLBACK_EMPTY, {0}, 5},
      {"a negative count stops the call", 2, -1, 7, DRU_E_BAD_CALLBACK_COUNT, {0}, 5},
      {"more values than the buffer holds", 5, 6, 7, DRU_E_BAD_CALLBACK_COUNT, {0}, 5},
  };
  for (const Row& r : rows) {
    Plan p{r.writes, r.returns, 100, {}};
    plan = &p;
    std::vector<uint32_t> buf = {1, 2, 3, 4, 5};
    DruStream* s = nullptr;
    ASSERT_EQ(_druiNewAbstractStream(&s, 5, buf.data(), refill<uint32_t>), DRU_OK);
    EXPECT_EQ(_druGetStreamStateBrng(s), DRU_BRNG_IABSTRACT);
    std::vector<uint32_t> out(size_t(r.draw), 0);
    // Two calls: the first ends inside the buffer, the second carries on.
    const int32_t first = 2;
    ASSERT_EQ(_druiBRngiAbstract(s, first, out.data()), DRU_OK) << r.fault;
    EXPECT_EQ(_druiBRngiAbstract(s, r.draw - first, out.data() + first), r.status) << r.fault;
    for (int32_t i = 0; i < r.draw; ++i) {
      const uint32_t want = i < 5 ? uint32_t(i + 1) : i < r.good ? uint32_t(100 + i - 5) : 0u;
      EXPECT_EQ(out[size_t(i)], want) << r.fault << ", value " << i;
    }
    EXPECT_EQ(p.idx_seen, r.idx_seen) << r.fault;
    _druDeleteStream(&s);
  }
}

// Buffered values in [a, b) map onto the call's [a', b'); the same range returns them.
TEST(Abstract, RealRangesMap) {
  Plan p{4, 4, 100, {}};
  plan = &p;
  std::vector<double> d = {0.0, 0.25, 0.5, 0.75};
  DruStream* s = nullptr;
  ASSERT_EQ(_drudNewAbstractStream(&s, 4, d.data(), 0.0, 1.0, refill<double>), DRU_OK);
  double r[6];
  ASSERT_EQ(_drudBRngdAbstract(s, 2, r, 0.0, 1.0), DRU_OK);
  ASSERT_EQ(_drudBRngdAbstract(s, 2, r + 2, 10.0, 20.0), DRU_OK);
  EXPECT_EQ(r[0], 0.0);
  EXPECT_EQ(r[1], 0.25);
  EXPECT_EQ(r[2], 15.0);
  EXPECT_EQ(r[3], 17.5);
  ASSERT_EQ(_drudBRngdAbstract(s, 1, r + 4, 0.0, 1.0), DRU_OK);
  EXPECT_EQ(r[4], 100.0);  // refilled value, unmapped in its own range
  EXPECT_EQ(_druiBRngdAbstract(s, 1, nullptr), DRU_E_ABSTRACT_KIND);
  EXPECT_EQ(_drusBRngdAbstract(s, 1, nullptr, 0.f, 1.f), DRU_E_ABSTRACT_KIND);
  _druDeleteStream(&s);

  std::vector<float> f = {-1.0f, 0.5f};
  ASSERT_EQ(_drusNewAbstractStream(&s, 2, f.data(), -2.0f, 2.0f, refill<float>), DRU_OK);
  float x[2];
  ASSERT_EQ(_drusBRngsAbstract(s, 2, x, 0.0f, 8.0f), DRU_OK);
  EXPECT_EQ(x[0], 2.0f);
  EXPECT_EQ(x[1], 5.0f);
  EXPECT_EQ(_drudBRngsAbstract(s, 1, nullptr, 0, 1), DRU_E_ABSTRACT_KIND);
  _druDeleteStream(&s);
}

TEST(Abstract, ConstructorRefusalsLeaveHandle) {
  DruStream* const mark = reinterpret_cast<DruStream*>(0x10);
  struct Row {
    const char* fault;
    int32_t (*make)(DruStream**);
  } rows[] = {
      {"n = 0",
       [](DruStream** s) {
         static uint32_t b[1];
         return _druiNewAbstractStream(s, 0, b, refill<uint32_t>);
       }},
      {"null buffer", [](DruStream** s) { return _druiNewAbstractStream(s, 2, nullptr, refill<uint32_t>); }},
      {"null callback",
       [](DruStream** s) {
         static uint32_t b[1];
         return _druiNewAbstractStream(s, 1, b, nullptr);
       }},
      {"a = b",
       [](DruStream** s) {
         static double b[1];
         return _drudNewAbstractStream(s, 1, b, 1.0, 1.0, refill<double>);
       }},
      {"a > b",
       [](DruStream** s) {
         static float b[1];
         return _drusNewAbstractStream(s, 1, b, 2.f, 1.f, refill<float>);
       }},
  };
  for (const Row& r : rows) {
    DruStream* s = mark;
    EXPECT_EQ(r.make(&s), DRU_E_BAD_ARGUMENT) << r.fault;
    EXPECT_EQ(s, mark) << r.fault;
  }
}

TEST(Abstract, SplittingRefused) {
  uint32_t b[3] = {1, 2, 3};
  DruStream* s = nullptr;
  ASSERT_EQ(_druiNewAbstractStream(&s, 3, b, refill<uint32_t>), DRU_OK);
  const uint64_t w[1] = {1};
  EXPECT_EQ(_druLeapfrogStream(s, 0, 2), DRU_E_NO_LEAPFROG);
  EXPECT_EQ(_druSkipAheadStream(s, 1), DRU_E_NO_SKIP_AHEAD);
  EXPECT_EQ(_druSkipAheadStreamEx(s, 1, w), DRU_E_NO_SKIP_AHEAD_EX);
  EXPECT_EQ(_drudBRngiAbstract(s, 1, nullptr, 0, 1), DRU_E_ABSTRACT_KIND);
  _druDeleteStream(&s);
}

}  // namespace
