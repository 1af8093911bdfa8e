// measure() on kernels with known faults: each fault must show up in the result.
#include <gtest/gtest.h>

#include <cmath>

#include "tools/accuracy/accuracy.h"

namespace nrx::accuracy {
namespace {

using catalog::Entry;
using catalog::Shape;

void exp_right(int32_t n, const float* a, float* r) {
  for (int32_t i = 0; i < n; ++i) r[i] = float(std::exp(double(a[i])));
}
void exp_one_ulp_high(int32_t n, const float* a, float* r) {
  for (int32_t i = 0; i < n; ++i) r[i] = std::nextafter(float(std::exp(double(a[i]))), INFINITY);
}
void exp_overrun(int32_t n, const float* a, float* r) {
  exp_right(n, a, r);
  r[n] = 0;  // one element past the end
}
void exp_flushing(int32_t n, const float* a, float* r) {
  exp_right(n, a, r);
  for (int32_t i = 0; i < n; ++i)
    if (std::fpclassify(r[i]) == FP_SUBNORMAL) r[i] = 0;
}
void exp_strided_ignoring_incr(int32_t n, const float* a, int32_t inca, float* r, int32_t) {
  for (int32_t i = 0; i < n; ++i) r[i] = float(std::exp(double(a[i * inca])));
}
void exp_strided_right(int32_t n, const float* a, int32_t inca, float* r, int32_t incr) {
  for (int32_t i = 0; i < n; ++i) r[i * incr] = float(std::exp(double(a[i * inca])));
}
void ln_pole_as_nan(int32_t n, const double* a, double* r) {
  for (int32_t i = 0; i < n; ++i) r[i] = a[i] == 0 ? NAN : std::log(a[i]);
}
void sqrt_unsigned_zero(int32_t n, const double* a, double* r) {
  for (int32_t i = 0; i < n; ++i) r[i] = a[i] == 0 ? 0.0 : std::sqrt(a[i]);
}
void ceil_from_floor(int32_t n, const double* a, double* r) {
  for (int32_t i = 0; i < n; ++i) r[i] = std::floor(a[i]) + 1;  // wrong on integers
}
void ceil_right(int32_t n, const double* a, double* r) {
  for (int32_t i = 0; i < n; ++i) r[i] = std::ceil(a[i]);
}

Entry entry(const char* func, char type, const char* oracle, double lo, double hi, void* const* tab, bool exact = false,
            bool strided = false) {
  static const float cost[3] = {1, 1, 1};
  const double ep = type == 's' ? 0x1p13 : 0x1p27;
  return Entry{func,
               type,
               Shape::v1,
               strided,
               tab,
               cost,
               "3",
               "test",
               oracle,
               lo,
               hi,
               exact,
               nullptr,
               false,
               {"la", "ha", "ep", "plain"},
               {nullptr, nullptr, nullptr, nullptr},
               {exact ? 0 : 4.0, exact ? 0 : 1.0, exact ? 0 : ep}};
}

Options few() {
  Options o;
  o.samples = 3000;
  return o;
}

TEST(Measure, CorrectKernelPasses) {
  void* const tab[3] = {(void*)exp_right, (void*)exp_right, (void*)exp_right};
  const Result r = measure(entry("Exp", 's', "exp", -104, 88, tab), 1, few());
  EXPECT_TRUE(r.pass()) << r.max_ulp;
  EXPECT_LE(r.max_ulp, 0.5001);
  EXPECT_GT(r.measured, 3000u);
}

TEST(Measure, OneUlpHighFailsHighAccuracyOnly) {
  void* const tab[3] = {(void*)exp_one_ulp_high, (void*)exp_one_ulp_high, (void*)exp_one_ulp_high};
  const Entry e = entry("Exp", 's', "exp", -80, 80, tab);
  const std::vector<Result> r = measure_slots(e, {0, 1}, few());
  EXPECT_TRUE(r[0].pass()) << r[0].max_ulp;  // LA allows 4 ulp
  EXPECT_FALSE(r[1].pass());
  EXPECT_GT(r[1].max_ulp, 1.0);
  EXPECT_LE(r[1].max_ulp, 2.5001);  // 1 + 2^-23 for an exact value just below 1: 2 ulps there
  EXPECT_GT(r[1].mean_ulp, 0.5);
}

TEST(Measure, WriteBeyondTheLastElementIsCaught) {
  void* const tab[3] = {(void*)exp_overrun, (void*)exp_overrun, (void*)exp_overrun};
  const Result r = measure(entry("Exp", 's', "exp", -80, 80, tab), 1, few());
  EXPECT_GT(r.by_kind[int(Mismatch::stray)], 0u);
  EXPECT_FALSE(r.pass());
}

TEST(Measure, StridedKernelMustHonourTheResultStride) {
  void* const bad[3] = {(void*)exp_strided_ignoring_incr, (void*)exp_strided_ignoring_incr,
                        (void*)exp_strided_ignoring_incr};
  void* const good[3] = {(void*)exp_strided_right, (void*)exp_strided_right, (void*)exp_strided_right};
  EXPECT_FALSE(measure(entry("Exp", 's', "exp", -80, 80, bad, false, true), 1, few()).pass());
  EXPECT_TRUE(measure(entry("Exp", 's', "exp", -80, 80, good, false, true), 1, few()).pass());
}

TEST(Measure, FlushingKernelPassesOnlyInAFlushToZeroRun) {
  void* const tab[3] = {(void*)exp_flushing, (void*)exp_flushing, (void*)exp_flushing};
  const Entry e = entry("Exp", 's', "exp", -104, -87, tab);
  EXPECT_FALSE(measure(e, 1, few()).pass());
  Options o = few();
  o.ftz = true;
  EXPECT_TRUE(measure(e, 1, o).pass());
}

TEST(Measure, SpecialValueFaults) {
  void* const ln[3] = {(void*)ln_pole_as_nan, (void*)ln_pole_as_nan, (void*)ln_pole_as_nan};
  const Result l = measure(entry("Ln", 'd', "log", 0, 1e30, ln), 1, few());
  EXPECT_EQ(l.by_kind[int(Mismatch::nan)], 2u);  // +0 and -0 give -Inf
  void* const sq[3] = {(void*)sqrt_unsigned_zero, (void*)sqrt_unsigned_zero, (void*)sqrt_unsigned_zero};
  const Result s = measure(entry("Sqrt", 'd', "sqrt", 0, 1e30, sq), 1, few());
  EXPECT_EQ(s.by_kind[int(Mismatch::zero_sign)], 1u);  // sqrt(-0) is -0
  EXPECT_EQ(s.mismatches, 1u);
  ASSERT_EQ(s.bad.size(), 1u);
  EXPECT_TRUE(std::signbit(s.bad[0].in[0]));
}

TEST(Measure, CorrectlyRoundedFunctionsAreComparedBitForBit) {
  void* const bad[3] = {(void*)ceil_from_floor, (void*)ceil_from_floor, (void*)ceil_from_floor};
  const Result r = measure(entry("Ceil", 'd', nullptr, -1e4, 1e4, bad, true), 1, few());
  EXPECT_EQ(r.bound, 0.0);
  EXPECT_GT(r.by_kind[int(Mismatch::inexact)], 0u);
  void* const good[3] = {(void*)ceil_right, (void*)ceil_right, (void*)ceil_right};
  EXPECT_TRUE(measure(entry("Ceil", 'd', nullptr, -1e4, 1e4, good, true), 1, few()).pass());
}

}  // namespace
}  // namespace nrx::accuracy
