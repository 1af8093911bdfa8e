// The kernel frame: tails, strides, the caller's floating-point state, and the order,
// index and delivery of element errors.
#include <gtest/gtest.h>
#include <immintrin.h>

#include <cmath>
#include <limits>
#include <vector>

#include "nrx/zar_functions.h"

namespace {

constexpr float kCanary = -12345.0f;

// Every length around the iteration widths: exactly n results written, nothing past them.
TEST(Frame, TailsWriteExactlyNElements) {
  for (int n = 0; n <= 70; ++n) {
    std::vector<float> a(80), r(80, kCanary);
    for (int i = 0; i < 80; ++i) a[i] = i + 0.25f;
    zarsCeil(n, a.data(), r.data());
    for (int i = 0; i < 80; ++i) EXPECT_EQ(r[i], i < n ? std::ceil(a[i]) : kCanary) << "n=" << n << " i=" << i;
    std::vector<double> x(80, 2.0), y(80, 3.0), z(80, kCanary);
    zardAdd(n, x.data(), y.data(), z.data());
    for (int i = 0; i < 80; ++i) EXPECT_EQ(z[i], i < n ? 5.0 : double(kCanary)) << "n=" << n;
  }
}

struct StrideCase {
  int inca, incr, n;
};

TEST(Frame, StridedReadsAndWritesOnlyItsElements) {
  const StrideCase cases[] = {{2, 1, 33}, {1, 3, 17}, {5, 2, 40}, {1, 1, 35}, {3, 3, 8}, {7, 1, 1}};
  for (const auto& c : cases) {
    std::vector<double> a(c.n * c.inca + 1), r(c.n * c.incr + 1, kCanary);
    for (size_t i = 0; i < a.size(); ++i) a[i] = double(i) - 0.5;
    zardFloorI(c.n, a.data(), c.inca, r.data(), c.incr);
    for (size_t i = 0; i < r.size(); ++i) {
      const bool mine = i % c.incr == 0 && int(i / c.incr) < c.n;
      EXPECT_EQ(r[i], mine ? std::floor(a[(i / c.incr) * c.inca]) : double(kCanary))
          << c.inca << "," << c.incr << " i=" << i;
    }
  }
}

TEST(Frame, StridedWithUnitStridesEqualsUnitStride) {
  std::vector<float> a(100), b(100), r1(100), r2(100);
  for (int i = 0; i < 100; ++i) a[i] = std::sin(float(i)) * 1e3f, b[i] = std::cos(float(i)) + 0.0f * (i % 7 == 0);
  b[13] = 0;
  zarsDivI_11(100, a.data(), 1, b.data(), 1, r1.data(), 1);
  zarsDiv_11(100, a.data(), b.data(), r2.data());
  for (int i = 0; i < 100; ++i) EXPECT_EQ(std::bit_cast<uint32_t>(r1[i]), std::bit_cast<uint32_t>(r2[i]));
}

TEST(Frame, NegativeOrZeroCountDoesNothing) {
  float a[4] = {1, 2, 3, 4}, r[4] = {kCanary, kCanary, kCanary, kCanary};
  zarsSqr(0, a, r);
  zarsSqrI(-5, a, 2, r, 2);
  for (float v : r) EXPECT_EQ(v, kCanary);
}

// Restores MXCSR around the test body.
struct Mxcsr {
  unsigned saved = _mm_getcsr();
  ~Mxcsr() { _mm_setcsr(saved); }
};

TEST(Frame, CallerRoundingModeNeitherLeaksInNorIsLost) {
  Mxcsr guard;
  const unsigned caller = (0x1F80 & ~0x6000u) | 0x6000u;  // round toward zero
  _mm_setcsr(caller);
  float x[2] = {2.5f, -2.5f}, r[2];
  zarsRint(2, x, r);
  EXPECT_EQ(r[0], 2.0f);
  EXPECT_EQ(r[1], -2.0f);
  zarsRound(2, x, r);
  EXPECT_EQ(r[0], 3.0f);
  EXPECT_EQ(r[1], -3.0f);
  double a[1] = {1.0}, b[1] = {3.0}, q[1];
  zardDiv(1, a, b, q);
  EXPECT_EQ(q[0], 1.0 / 3.0 + 0.0) << "division must round to nearest";
  EXPECT_EQ(_mm_getcsr() & 0xFFC0u, caller & 0xFFC0u);
}

TEST(Frame, DenormalsHonouredUnderCallerFlushAndFlagsCarriedBack) {
  Mxcsr guard;
  _mm_setcsr(0x9FC0 | 0x20);  // caller: FTZ + DAZ, precision flag already raised
  const double tiny = 1e-310;
  double a[1] = {tiny}, b[1] = {tiny}, r[1];
  zardAdd(1, a, b, r);
  EXPECT_EQ(r[0], 2e-310) << "default mode runs without flushing";
  double z[1] = {0.0}, inv[1];
  zardInv(1, z, inv);
  EXPECT_TRUE(std::isinf(inv[0]));
  const unsigned after = _mm_getcsr();
  EXPECT_EQ(after & 0xFFC0u, 0x9FC0u) << "caller's control bits restored";
  EXPECT_TRUE(after & 0x20u) << "caller's own flag kept";
  EXPECT_TRUE(after & 0x04u) << "divide-by-zero of the scalar routine carried back";
}

TEST(Frame, FlushModeWordFlushesDenormals) {
  Mxcsr guard;
  const uint32_t old = zarSetMode(ZAR_FTZDAZ_ON);
  double a[1] = {1e-310}, r[1];
  zardSqr(1, a, r);
  EXPECT_EQ(r[0], 0.0);
  zarSetMode(ZAR_FTZDAZ_OFF);
  zardAdd(1, a, a, r);
  EXPECT_EQ(r[0], 2e-310);
  zarSetMode(old);
}

TEST(Frame, X87ControlWordRestored) {
  uint16_t cw, unmasked = 0x037E & ~0x01;  // invalid unmasked
  asm volatile("fnstcw %0" : "=m"(cw));
  asm volatile("fldcw %0" ::"m"(unmasked));
  float a[3] = {1, 2, 3}, r[3];
  zarsAbs(3, a, r);
  uint16_t now;
  asm volatile("fnstcw %0" : "=m"(now));
  asm volatile("fldcw %0" ::"m"(cw));
  EXPECT_EQ(now, unmasked);
}

// Error reports seen by a callback: code, index, arguments; returns `answer`.
struct Seen {
  int code, index;
  double a, r;
};
std::vector<Seen> g_seen;
int g_answer = 0;
double g_replacement = 0;
int32_t recorder(ZarErrorContext* e) {
  g_seen.push_back({e->code, e->index, e->arg1, e->res1});
  e->res1 = g_replacement;
  e->res2 = g_replacement;
  return g_answer;
}

class Errors : public ::testing::Test {
 protected:
  void SetUp() override {
    g_seen.clear();
    old_mode_ = zarGetMode();
    zarSetErrorCallBack(recorder);
    zarClearErrStatus();
  }
  void TearDown() override {
    zarClearErrorCallBack();
    zarSetInterfInputVectorPointer(nullptr);
    zarSetMode(old_mode_);
    zarClearErrStatus();
  }
  uint32_t old_mode_ = 0;
};

TEST_F(Errors, ReportedInAscendingOrderWithTheirIndex) {
  std::vector<float> a(70, 2.0f), r(70);
  for (int i : {3, 17, 18, 40, 69}) a[i] = (i % 2) ? -0.0f : 0.0f;
  g_answer = 1;
  zarsInv(70, a.data(), r.data());
  ASSERT_EQ(g_seen.size(), 5u);
  const int want[] = {3, 17, 18, 40, 69};
  for (int k = 0; k < 5; ++k) {
    EXPECT_EQ(g_seen[k].index, want[k]);
    EXPECT_EQ(g_seen[k].code, ZAR_ST_POLE);
    EXPECT_TRUE(std::isinf(g_seen[k].r));
  }
  EXPECT_EQ(r[3], -INFINITY) << "callback returning 1 leaves the kernel's result";
  EXPECT_EQ(r[18], INFINITY);
  EXPECT_EQ(zarGetErrStatus(), ZAR_ST_POLE);
}

TEST_F(Errors, CallbackReturningZeroDeliversTheRecordResult) {
  double a[9] = {1, 2, 3, 4, 0, 6, 7, 8, 9}, r[9];
  g_answer = 0;
  g_replacement = 42.0;
  zardInv_26(9, a, r);
  ASSERT_EQ(g_seen.size(), 1u);
  EXPECT_EQ(r[4], 42.0);
  EXPECT_EQ(r[5], 1.0 / 6.0 + (r[5] - 1.0 / 6.0)) << "neighbours untouched";
}

TEST_F(Errors, IndexCountsFromTheInterfaceBasePointer) {
  std::vector<double> whole(2000, 1.0), r(1000);
  whole[1005] = 0.0;
  zarSetInterfInputVectorPointer(whole.data());
  g_answer = 1;
  zardInv(1000, whole.data() + 1000, r.data());
  ASSERT_EQ(g_seen.size(), 1u);
  EXPECT_EQ(g_seen[0].index, 1005);
}

TEST_F(Errors, StridedKernelsReportElementIndexAndWriteTheirElement) {
  double a[20], r[30];
  for (int i = 0; i < 20; ++i) a[i] = 1.0 + i;
  a[14] = 0.0;  // element 7 at stride 2
  g_answer = 0;
  g_replacement = -1.0;
  zardDivI(10, a, 2, a, 2, r, 3);
  ASSERT_EQ(g_seen.size(), 1u);
  EXPECT_EQ(g_seen[0].index, 7);
  EXPECT_EQ(r[21], -1.0);
  EXPECT_EQ(r[18], 1.0);
}

TEST_F(Errors, NoerrLeavesStatusAndIgnoreOnlyRecordsIt) {
  float a[2] = {0.0f, 1.0f}, r[2];
  zarSetMode(ZAR_ERRMODE_NOERR);
  zarsInv(2, a, r);
  EXPECT_EQ(zarGetErrStatus(), 0);
  EXPECT_TRUE(g_seen.empty());
  zarSetMode(ZAR_ERRMODE_IGNORE);
  zarsInv(2, a, r);
  EXPECT_EQ(zarGetErrStatus(), ZAR_ST_POLE);
  EXPECT_TRUE(g_seen.empty());
  EXPECT_EQ(r[0], INFINITY);
}

TEST_F(Errors, ComplexOverflowReportsCodeThree) {
  NrxComplex8 a[3] = {{1, 2}, {3e38f, 3e38f}, {1, 1}}, b[3] = {{1, 1}, {10, -10}, {2, 2}}, r[3];
  g_answer = 1;
  zarcMul(3, a, b, r);
  ASSERT_EQ(g_seen.size(), 1u);
  EXPECT_EQ(g_seen[0].code, ZAR_ST_RESULT_TOO_LARGE);
  EXPECT_EQ(g_seen[0].index, 1);
  EXPECT_FLOAT_EQ(r[2].imag, 4.0f);
  g_seen.clear();
  zarcAdd_11(3, a, a, r);
  EXPECT_TRUE(g_seen.empty()) << "the EP kernel of Add reports nothing";
}

TEST_F(Errors, RemainderByZeroIsADomainError) {
  double a[3] = {5, 1, INFINITY}, b[3] = {0, 2, 3}, r[3];
  g_answer = 1;
  zardFmod(3, a, b, r);
  ASSERT_EQ(g_seen.size(), 2u);
  EXPECT_EQ(g_seen[0].code, ZAR_ST_DOMAIN);
  EXPECT_EQ(g_seen[1].index, 2);
  EXPECT_TRUE(std::isnan(r[0]));
  EXPECT_EQ(r[1], 1.0);
}

}  // namespace
