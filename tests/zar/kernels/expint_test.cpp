// ExpInt1 kernels: the pole at zero, NaN for negative arguments, the values at the ends of
// the range without a status, each flavour's ulp bound against MPFR on the ranges where the
// algorithm changes, and strided and tail lanes against unit-stride ones.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "nrx/zar_functions.h"
#include "tests/zar/kernels/one_element.h"
#include "tests/zar/kernels/within_bound.h"

namespace {

enum Want { kValue, kPosZero, kNaN, kSubnormal, kPosInf };

struct Row {
  bool single;
  double x;
  Want want;
  int code;
  double value = 0;  // for kValue: E1(x) from MPFR, rounded to the type
};

const double kInf = std::numeric_limits<double>::infinity();

const Row kRows[] = {
    // The pole at both zeros, NaN below zero, NaN passed through, +0 at +inf: codes 2, 1, 0, 0.
    {false, 0.0, kPosInf, 2},
    {false, -0.0, kPosInf, 2},
    {false, -1, kNaN, 1},
    {false, -kInf, kNaN, 1},
    {false, -1e-310, kNaN, 1},
    {false, NAN, kNaN, 0},
    {false, kInf, kPosZero, 0},
    {true, 0.0f, kPosInf, 2},
    {true, -0.0f, kPosInf, 2},
    {true, -1, kNaN, 1},
    {true, -kInf, kNaN, 1},
    {true, NAN, kNaN, 0},
    {true, kInf, kPosZero, 0},
    // Underflow is not reported: subnormal and zero results have code 0.
    {false, 705, kSubnormal, 0},
    {false, 760, kPosZero, 0},
    {true, 95, kSubnormal, 0},
    {true, 110, kPosZero, 0},
    {true, 1e30, kPosZero, 0},
    {false, 700, kValue, 0, 1.4065187662340329228e-307},
    // Values on each range: near zero, the tail intervals, the far range.
    {false, 1e-300, kValue, 0, 690.19831223331217234},
    {false, 1e-6, kValue, 0, 13.238295893062491244},
    {false, 0.5, kValue, 0, 0.55977359477616081175},
    {false, 1, kValue, 0, 0.21938393439552027368},
    {false, 10, kValue, 0, 4.1569689296853242774e-6},
    {false, 30, kValue, 0, 3.0215520106888125448e-15},
    {true, 1e-30, kValue, 0, 68.500337121748760814},
    {true, 1, kValue, 0, 0.21938393439552027368},
    {true, 0x1p-149, kValue, 0, 102.70171423853031824},
};

template <class T> bool matches(T got, const Row& row) {
  switch (row.want) {
    case kPosZero: return got == 0 && !std::signbit(got);
    case kNaN: return std::isnan(got);
    case kSubnormal: return got > 0 && got < std::numeric_limits<T>::min();
    case kPosInf: return std::isinf(got) && got > 0;
    case kValue: return std::fabs(double(got) - T(row.value)) <= 0x1p-20 * std::fabs(double(T(row.value)));
  }
  return false;
}

template <class T> void check_row(const Row& row, void* const* tab, int slot) {
  const auto o = nrx::test::run_one<T>(tab[slot], T(row.x));
  EXPECT_TRUE(matches<T>(o.result, row)) << row.x << " slot " << slot << " gave " << o.result;
  if (row.code == 0) {
    EXPECT_TRUE(o.reports.empty()) << row.x << " slot " << slot << " reported";
    return;
  }
  ASSERT_EQ(o.reports.size(), 1u) << row.x << " slot " << slot;
  EXPECT_EQ(o.reports[0].code, row.code) << row.x << " slot " << slot;
  EXPECT_EQ(o.reports[0].index, 21);
  EXPECT_EQ(o.status, row.code);
}

TEST(ExpInt1, SpecialResultsAndCodesInEveryFlavour) {
  for (const Row& row : kRows)
    for (int slot = 0; slot < 3; ++slot) {
      if (row.single) check_row<float>(row, (void* const*)nrx_zar_kernel_sExpInt1_ttab, slot);
      else check_row<double>(row, (void* const*)nrx_zar_kernel_dExpInt1_ttab, slot);
    }
}

// The switch from the logarithmic form to e^-x h(x) at 1/2, the tail's interval edges
// (x + 2 = 3, 3.5, 4, 5, ..., 32), the far form from 30, and the subnormal results.
struct Range {
  const char* fn;
  double lo, hi;
};
const Range kRanges[] = {
    {"dExpInt1", 1e-308, 1e-3}, {"dExpInt1", 0.001, 0.45}, {"dExpInt1", 0.45, 0.55},  {"dExpInt1", 0.95, 1.05},
    {"dExpInt1", 1.45, 2.05},   {"dExpInt1", 2.9, 4.1},    {"dExpInt1", 5.9, 6.1},    {"dExpInt1", 7.9, 8.1},
    {"dExpInt1", 13.9, 14.1},   {"dExpInt1", 17.9, 18.1},  {"dExpInt1", 25.9, 26.1},  {"dExpInt1", 29.5, 30.5},
    {"dExpInt1", 30, 700},      {"dExpInt1", 700, 745},    {"sExpInt1", 1e-44, 0.55}, {"sExpInt1", 0.45, 31},
    {"sExpInt1", 29, 104},      {"sExpInt1", 0.95, 1.05},  {"sExpInt1", 5.9, 6.1},    {"sExpInt1", 100, 200},
};

TEST(ExpInt1, EveryFlavourWithinItsBoundOnTheAlgorithmsEdges) {
  for (const Range& g : kRanges) {
    nrx::accuracy::Options o;
    o.samples = 1500;
    o.range = true;
    o.lo = g.lo;
    o.hi = g.hi;
    nrx::test::expect_within_bound(g.fn, o, "[" + std::to_string(g.lo) + ", " + std::to_string(g.hi) + "]");
  }
}

// A register mixing all three ranges and special lanes gives each lane's own bits, in the
// main part, the masked tail and through strides.
TEST(ExpInt1, MixedLanesTailAndStridesGiveTheUnitStrideBits) {
  std::vector<double> a(64);
  for (int i = 0; i < 64; ++i) a[i] = i % 7 == 3 ? -1.0 : 0.013 * i * i * i / 7;
  void* const* tab = (void* const*)nrx_zar_kernel_dExpInt1_ttab;
  for (int slot = 0; slot < 3; ++slot) {
    const auto f = reinterpret_cast<void (*)(int32_t, const double*, double*)>(tab[slot]);
    std::vector<double> r(37), t(5), one(1);
    f(37, a.data(), r.data());
    f(5, a.data() + 3, t.data());
    for (int i = 0; i < 5; ++i) EXPECT_EQ(std::memcmp(&r[3 + i], &t[i], 8), 0) << "slot " << slot;
    for (int i = 0; i < 37; ++i) {
      f(1, &a[i], one.data());
      EXPECT_EQ(std::memcmp(&r[i], one.data(), 8), 0) << a[i] << " slot " << slot;
    }
  }
  std::vector<double> r1(32), r2(64), packed(32);
  zardExpInt1I(32, a.data(), 2, r2.data(), 2);
  for (int i = 0; i < 32; ++i) packed[i] = a[2 * i];
  zardExpInt1(32, packed.data(), r1.data());
  for (int i = 0; i < 32; ++i) EXPECT_EQ(std::memcmp(&r1[i], &r2[2 * i], 8), 0) << i;
  std::vector<float> fa(40), f1(20), f2(40), fp(20);
  for (int i = 0; i < 40; ++i) fa[i] = float(0.07 * i * i);
  zarsExpInt1I(20, fa.data(), 2, f2.data(), 2);
  for (int i = 0; i < 20; ++i) fp[i] = fa[2 * i];
  zarsExpInt1(20, fp.data(), f1.data());
  for (int i = 0; i < 20; ++i) EXPECT_EQ(f1[i], f2[2 * i]) << i;
}

}  // namespace
