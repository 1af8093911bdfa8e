// Error-function kernels (Erf, Erfc, CdfNorm and the inverses ErfInv, ErfcInv, CdfNormInv): the special results and
// status codes at every threshold, in every flavour, with the reported index; each flavour's ulp bound against MPFR on
// the ranges where the algorithm changes (near zero, interval edges, the underflow tails).
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "nrx/zar_functions.h"
#include "tests/zar/kernels/one_element.h"
#include "tests/zar/kernels/within_bound.h"
#include "tools/accuracy/accuracy.h"

namespace {

enum Want { kValue, kPosZero, kNegZero, kNaN, kSubnormal, kPosInf, kNegInf };

struct Row {
  const char* fn;  // table base name: "dErfc"
  double x;
  Want want;
  int code;
  double value = 0;  // for kValue: the exact result rounded to the type
};

// The unit-stride function table of a name ("dErfc"), from the catalogue.
void* const* table(const std::string& name) {
  const nrx::zar::catalog::Entry* e = nrx::accuracy::find_entry(name, nullptr);
  return e ? e->ttab : nullptr;
}

const double kInf = std::numeric_limits<double>::infinity();

const Row kRows[] = {
    // Erf: +-1 beyond the clamp and at infinity, signed zeros, NaN; never a code.
    {"dErf", 6, kValue, 0, 1},
    {"dErf", -kInf, kValue, 0, -1},
    {"dErf", kInf, kValue, 0, 1},
    {"dErf", -0.0, kNegZero, 0},
    {"dErf", 0.0, kPosZero, 0},
    {"dErf", NAN, kNaN, 0},
    {"dErf", 5.9921875, kValue, 0, 1},
    {"dErf", 1e-310, kValue, 0, 1.1283791670955126e-310},
    {"dErf", 0.5, kValue, 0, 0.52049987781304654},
    {"dErf", -1, kValue, 0, -0.84270079294971487},
    {"sErf", 4, kValue, 0, 1},
    {"sErf", -kInf, kValue, 0, -1},
    {"sErf", -0.0, kNegZero, 0},
    {"sErf", NAN, kNaN, 0},
    {"sErf", 1e-30, kValue, 0, 1.1283792e-30},
    // Erfc: 2 below -5.86, subnormal with code 4 from 26.543, +0 with code 4 beyond 26.699.
    {"dErfc", -6, kValue, 0, 2},
    {"dErfc", -kInf, kValue, 0, 2},
    {"dErfc", kInf, kPosZero, 0},
    {"dErfc", NAN, kNaN, 0},
    {"dErfc", 26.6, kSubnormal, 4},
    {"dErfc", 30, kPosZero, 4},
    {"dErfc", 26.543258454250982, kSubnormal, 4},
    {"dErfc", 26.543258454250978, kValue, 0, 2.2250738585076057e-308},
    {"dErfc", 26.7, kPosZero, 4},
    {"dErfc", 1e-30, kValue, 0, 1},
    {"dErfc", 0, kValue, 0, 1},
    {"dErfc", 0.5, kValue, 0, 0.47950012218695346},
    {"dErfc", 10, kValue, 0, 2.0884875837625446e-45},
    {"sErfc", -4, kValue, 0, 2},
    {"sErfc", kInf, kPosZero, 0},
    {"sErfc", 9.5, kSubnormal, 4},
    {"sErfc", 10.1, kPosZero, 4},
    {"sErfc", 9.0, kValue, 0, 4.1370317e-37},
    {"sErfc", NAN, kNaN, 0},
    // CdfNorm: 1 above 8.29, subnormal with code 4 below -37.52, +0 with code 4 below -38.49.
    {"dCdfNorm", 9, kValue, 0, 1},
    {"dCdfNorm", kInf, kValue, 0, 1},
    {"dCdfNorm", -38, kSubnormal, 4},
    {"dCdfNorm", -40, kPosZero, 4},
    {"dCdfNorm", -kInf, kPosZero, 0},
    {"dCdfNorm", NAN, kNaN, 0},
    {"dCdfNorm", 0, kValue, 0, 0.5},
    {"dCdfNorm", -37.5, kValue, 0, 4.605353e-308},
    {"dCdfNorm", -1, kValue, 0, 0.15865525393145705},
    {"dCdfNorm", 8.3, kValue, 0, 1},
    {"sCdfNorm", -13.5, kSubnormal, 4},
    {"sCdfNorm", -15, kPosZero, 4},
    {"sCdfNorm", 6, kValue, 0, 1},
    {"sCdfNorm", -12.5, kValue, 0, 3.7325643e-36},
    {"sCdfNorm", NAN, kNaN, 0},
    // ErfInv: +-inf with code 2 at +-1, NaN with code 1 beyond, odd, the linear term for tiny x.
    {"dErfInv", 1, kPosInf, 2},
    {"dErfInv", -1, kNegInf, 2},
    {"dErfInv", -1.5, kNaN, 1},
    {"dErfInv", kInf, kNaN, 1},
    {"dErfInv", -kInf, kNaN, 1},
    {"dErfInv", NAN, kNaN, 0},
    {"dErfInv", 0.0, kPosZero, 0},
    {"dErfInv", -0.0, kNegZero, 0},
    {"dErfInv", 0.5, kValue, 0, 0.47693627620446987},
    {"dErfInv", 1e-310, kValue, 0, 8.8622692545277e-311},
    {"dErfInv", 1 - 0x1p-53, kValue, 0, 5.8635847487551676},
    {"dErfInv", -(1 - 0x1p-53), kValue, 0, -5.8635847487551676},
    {"sErfInv", 1, kPosInf, 2},
    {"sErfInv", -2, kNaN, 1},
    {"sErfInv", -0.0, kNegZero, 0},
    {"sErfInv", 0x1p-140, kValue, 0, 0x1p-140 * 0.886226925452758},
    {"sErfInv", NAN, kNaN, 0},
    // ErfcInv: +inf at 0 and -inf at 2 with code 2, NaN with code 1 outside, 0 at 1, the
    // smallest subnormal.
    {"dErfcInv", 0, kPosInf, 2},
    {"dErfcInv", -0.0, kPosInf, 2},
    {"dErfcInv", 2, kNegInf, 2},
    {"dErfcInv", 1, kPosZero, 0},
    {"dErfcInv", -1, kNaN, 1},
    {"dErfcInv", 3, kNaN, 1},
    {"dErfcInv", kInf, kNaN, 1},
    {"dErfcInv", NAN, kNaN, 0},
    {"dErfcInv", 0x1p-1074, kValue, 0, 27.21329321081295},
    {"dErfcInv", 1e-300, kValue, 0, 26.209469960516124},
    {"dErfcInv", 0x1p-53, kValue, 0, 5.8635847487551676},
    {"dErfcInv", 1.5, kValue, 0, -0.47693627620446987},
    {"sErfcInv", 0, kPosInf, 2},
    {"sErfcInv", 2, kNegInf, 2},
    {"sErfcInv", 1, kPosZero, 0},
    {"sErfcInv", 0x1p-149, kValue, 0, 10.019834265884624},
    {"sErfcInv", 2.5, kNaN, 1},
    // CdfNormInv: -inf at 0 and +inf at 1 with code 2, NaN with code 1 outside, +0 at 1/2.
    {"dCdfNormInv", 0, kNegInf, 2},
    {"dCdfNormInv", 1, kPosInf, 2},
    {"dCdfNormInv", 0.5, kPosZero, 0},
    {"dCdfNormInv", 2, kNaN, 1},
    {"dCdfNormInv", -1, kNaN, 1},
    {"dCdfNormInv", kInf, kNaN, 1},
    {"dCdfNormInv", NAN, kNaN, 0},
    {"dCdfNormInv", 0.975, kValue, 0, 1.9599639845400538},
    {"dCdfNormInv", 0.2, kValue, 0, -0.8416212335729142},
    {"dCdfNormInv", 0x1p-1074, kValue, 0, -38.467405617144344},
    {"sCdfNormInv", 0, kNegInf, 2},
    {"sCdfNormInv", 1, kPosInf, 2},
    {"sCdfNormInv", 0.5, kPosZero, 0},
    {"sCdfNormInv", 0x1p-149, kValue, 0, -14.121426613350499},
    {"sCdfNormInv", -kInf, kNaN, 1},
};

// Values within 2^-20 relative (the MPFR ranges below check each flavour's bound).
template <class T> bool matches(T got, const Row& row) {
  switch (row.want) {
    case kPosZero: return got == 0 && !std::signbit(got);
    case kNegZero: return got == 0 && std::signbit(got);
    case kNaN: return std::isnan(got);
    case kSubnormal: return got > 0 && got < std::numeric_limits<T>::min();
    case kPosInf: return std::isinf(got) && got > 0;
    case kNegInf: return std::isinf(got) && got < 0;
    case kValue: return std::fabs(double(got) - T(row.value)) <= 0x1p-20 * std::fabs(double(T(row.value)));
  }
  return false;
}

void check_row(const Row& row, int slot) {
  const bool single = row.fn[0] == 's';
  void* fn = table(row.fn)[slot];
  bool ok;
  std::vector<nrx::test::Report> reports;
  double got;
  if (single) {
    const auto o = nrx::test::run_one<float>(fn, float(row.x));
    ok = matches(o.result, row), reports = o.reports, got = o.result;
  } else {
    const auto o = nrx::test::run_one<double>(fn, row.x);
    ok = matches(o.result, row), reports = o.reports, got = o.result;
  }
  EXPECT_TRUE(ok) << row.fn << "(" << row.x << ") slot " << slot << " gave " << got;
  if (row.code == 0) {
    EXPECT_TRUE(reports.empty()) << row.fn << "(" << row.x << ") slot " << slot << " reported";
  } else {
    ASSERT_EQ(reports.size(), 1u) << row.fn << "(" << row.x << ") slot " << slot;
    EXPECT_EQ(reports[0].code, row.code) << row.fn << "(" << row.x << ") slot " << slot;
    EXPECT_EQ(reports[0].index, 21);
    EXPECT_EQ(zarGetErrStatus(), row.code);
  }
}

TEST(ErfFamily, SpecialResultsAndCodesInEveryFlavour) {
  for (const Row& row : kRows) {
    ASSERT_NE(table(row.fn), nullptr) << row.fn;
    for (int slot = 0; slot < 3; ++slot) check_row(row, slot);
  }
}

// Ranges where a fault would hide from a uniform sample: the switch between the polynomial
// near zero and the tail or Erf's table, the edges of the tail's intervals (x + 3/2 = 2, 2.5, 3, ..., 28),
// the two-part argument of CdfNorm, and the tails down to the underflow thresholds.
struct Range {
  const char* fn;
  double lo, hi;
};
const Range kRanges[] = {
    {"dErf", -1.1, 1.1},
    {"dErf", 0.95, 2.1},
    {"dErf", 2.4, 6.1},
    {"dErf", 1e-300, 1e-3},
    // Erf LA and EP from one table: the first interval (centred at 0) from the subnormals,
    // and the edges of the intervals of |x| + 1/2 below 3/4.
    {"dErf", 5e-324, 2.3e-308},
    // HA from the same intervals: the switch to x (c1 + c1_lo) below 2^-960, and the second
    // interval's start, where t c1 is a third of the result.
    {"dErf", 0x1p-966, 0x1p-954},
    {"dErf", 0.1245, 0.1275},
    {"dErf", 0.12, 0.13},
    {"dErf", 0.245, 0.255},
    {"dErf", 0.37, 0.38},
    {"dErf", 0.495, 0.505},
    {"dErf", 0.745, 0.755},
    // Erfc: the intervals of |x| + 2 (the first from 0; each binade's first interval is the
    // widest for its degree), and 2 - erfc(|x|) just below 0, where the result's ulp is twice
    // erfc(|x|)'s.
    {"dErfc", -0.6, 0.6},
    {"dErfc", -0.5, -1e-6},
    {"dErfc", 0.45, 1.1},
    {"dErfc", 1.95, 3.05},
    {"dErfc", 4.45, 4.55},
    {"dErfc", 5.9, 6.1},
    {"dErfc", 13.9, 14.1},
    {"dErfc", 17.9, 18.1},
    {"dErfc", 21.9, 22.1},
    {"dErfc", 24, 26.69},
    {"dErfc", -6, -0.4},
    {"dCdfNorm", -1, 1},
    {"dCdfNorm", -38.4, -20},
    {"dCdfNorm", -20, -0.6},
    {"dCdfNorm", 0.6, 9},
    // CdfNorm's own intervals (x / sqrt 2 + 2 = 2.5, 4, 8, 16), and 1 - CdfNorm(-x) just
    // above 0, where the result's ulp is twice CdfNorm(-x)'s.
    {"dCdfNorm", -0.72, -0.69},
    {"dCdfNorm", 0.69, 0.72},
    {"dCdfNorm", -2.9, -2.75},
    {"dCdfNorm", -8.55, -8.4},
    {"dCdfNorm", -19.9, -19.7},
    {"dCdfNorm", 1e-6, 0.02},
    {"dCdfNorm", -0.02, -1e-6},
    {"sCdfNorm", -0.72, -0.69},
    {"sCdfNorm", -8.55, -8.4},
    {"sCdfNorm", 1e-4, 0.05},
    {"sErfc", -0.5, -1e-4},
    {"sErf", -1.1, 1.1},
    {"sErf", 0.9, 4.1},
    {"sErfc", -0.6, 0.6},
    {"sErfc", 0.45, 10.1},
    {"sErfc", -4, -0.4},
    {"sCdfNorm", -14.2, -1},
    {"sCdfNorm", -1, 6},
    // The vector path's last arguments before each subnormal threshold (2^k applied to the
    // exponent field, |x| clamped at the threshold) and the routine's first ones past it.
    {"dErfc", 26.5432584542, 26.5432584543},
    {"sErfc", 9.1945, 9.1946},
    {"dCdfNorm", -37.51937934715, -37.51937934714},
    {"sCdfNorm", -12.95, -12.9499},
    // The inverses: the switch at |x| = 9/16, the tail's intervals, and the ends down to the
    // smallest subnormal distance.
    {"dErfInv", -0.6, 0.6},
    {"dErfInv", 0.55, 0.58},
    {"dErfInv", 0.58, 0.999},
    {"dErfInv", 0.999, 1},
    {"dErfInv", 1e-300, 1e-5},
    {"dErfInv", 1 - 0x1p-40, 1},
    {"dErfInv", -1, -1 + 0x1p-40},
    {"dErfcInv", 1e-300, 0.45},
    {"dErfcInv", 0.42, 0.58},
    {"dErfcInv", 0.58, 1.6},
    {"dErfcInv", 1.55, 2},
    {"dCdfNormInv", 1e-300, 0.2},
    {"dCdfNormInv", 0.2, 0.8},
    {"dCdfNormInv", 0.8, 1},
    {"sErfInv", -1, 1},
    {"sErfcInv", 1e-38, 0.5},
    {"sErfcInv", 0.4, 2},
    {"sCdfNormInv", 1e-38, 1},
};

TEST(ErfFamily, EveryFlavourWithinItsBoundOnTheAlgorithmsEdges) {
  for (const Range& g : kRanges) {
    nrx::accuracy::Options o;
    o.samples = 1500;
    o.range = true;
    o.lo = g.lo;
    o.hi = g.hi;
    nrx::test::expect_within_bound(g.fn, o,
                                   "[" + ::testing::PrintToString(g.lo) + ", " + ::testing::PrintToString(g.hi) + "]");
  }
}

// Erfc(+-0) = 1 and CdfNorm(+-0) = 1/2 to the bit in every flavour (from an exact constant term
// or a test for zero, by flavour).
TEST(ErfFamily, ZeroGivesTheExactValueInEveryFlavour) {
  const struct {
    const char* fn;
    double want;
  } rows[] = {{"dErfc", 1}, {"sErfc", 1}, {"dCdfNorm", 0.5}, {"sCdfNorm", 0.5}};
  for (const auto& row : rows) {
    for (int slot = 0; slot < 3; ++slot) {
      for (double x : {0.0, -0.0}) {
        const double got = row.fn[0] == 's' ? nrx::test::run_one<float>(table(row.fn)[slot], float(x)).result
                                            : nrx::test::run_one<double>(table(row.fn)[slot], x).result;
        EXPECT_EQ(got, row.want) << row.fn << "(" << x << ") slot " << slot;
      }
    }
  }
}

// Lanes the routine takes (NaN, infinities, past the subnormal threshold) beside lanes the
// vector path keeps, in one register: each gives what it gives alone, and the special lanes
// their exact results (2 or 0 at -inf, NaN for NaN; Erfc(-30) = 2, CdfNorm(30) = 1).
template <class T> void expect_lanes_as_alone(const char* fn, const std::vector<T>& in, const std::vector<T>& exact) {
  for (int slot = 0; slot < 3; ++slot) {
    auto f = reinterpret_cast<void (*)(int32_t, const T*, T*)>(table(fn)[slot]);
    std::vector<T> together(in.size());
    f(int32_t(in.size()), in.data(), together.data());
    for (size_t i = 0; i < in.size(); ++i) {
      T alone;
      f(1, &in[i], &alone);
      EXPECT_EQ(std::memcmp(&alone, &together[i], sizeof(T)), 0) << fn << " lane " << i << " slot " << slot;
      if (std::isnan(exact[i])) EXPECT_EQ(std::isnan(in[i]), std::isnan(together[i])) << fn << " lane " << i;
      else if (exact[i] >= 0) EXPECT_EQ(together[i], exact[i]) << fn << " lane " << i << " slot " << slot;
    }
  }
}

TEST(ErfFamily, RoutineLanesBesideVectorLanes) {
  const double inf = std::numeric_limits<double>::infinity(), nan = std::numeric_limits<double>::quiet_NaN();
  // exact: the exact result, NaN where only NaN-ness is checked, -1 for no exact value.
  const std::vector<double> x = {-inf, 0.3, nan, 26.6, -30, 1.7, inf, -1e300, 5, 26.55, -2, 0, 12, -0.1, 27, 3};
  const std::vector<double> erfc = {2, -1, nan, -1, 2, -1, 0, 2, -1, -1, -1, 1, -1, -1, -1, -1};
  expect_lanes_as_alone<double>("dErfc", x, erfc);
  const std::vector<double> cx = {inf, -0.3, nan, -37.6, 30, -1.7, -inf, 1e300, -5, -38, 2, 0, -12, 0.1, -39, -3};
  const std::vector<double> cdf = {1, -1, nan, -1, 1, -1, 0, 1, -1, -1, -1, 0.5, -1, -1, 0, -1};
  expect_lanes_as_alone<double>("dCdfNorm", cx, cdf);
  std::vector<float> xs(32), es(32), cxs(32), cs(32);
  for (size_t i = 0; i < 32; ++i) {  // the double rows, scaled to float's thresholds
    const double k = std::fabs(x[i % 16]) > 20 && std::isfinite(x[i % 16]) ? 9.3 / 26.6 : 1;
    xs[i] = float(x[i % 16] * k), es[i] = float(erfc[i % 16]);
    const double kc = std::fabs(cx[i % 16]) > 20 && std::isfinite(cx[i % 16]) ? 14.5 / 39 : 1;
    cxs[i] = float(cx[i % 16] * kc), cs[i] = float(cdf[i % 16]);
  }
  expect_lanes_as_alone<float>("sErfc", xs, es);
  expect_lanes_as_alone<float>("sCdfNorm", cxs, cs);
}

// HA's 2 - erfc(|x|) and 1 - CdfNorm(-x) are one rounded difference. Where the result's ulp is
// twice the value's (Erfc below 0 down to erfc = 3/2, CdfNorm above 0 up to 3/4) the value's
// error and the difference's rounding add up (to about 0.87 ulp): sampled more densely there,
// on the HA kernel only, against MPFR.
TEST(ErfFamily, HaComplementWithinOneUlp) {
  const Range ranges[] = {{"dErfc", -0.477, -1e-300},  {"dErfc", -1e-3, -1e-300},  {"sErfc", -0.477, -1e-30},
                          {"dCdfNorm", 1e-300, 0.674}, {"dCdfNorm", 1e-300, 1e-3}, {"sCdfNorm", 1e-30, 0.674}};
  for (const Range& g : ranges) {
    int slot;
    const nrx::zar::catalog::Entry* e = nrx::accuracy::find_entry(g.fn, &slot);
    ASSERT_NE(e, nullptr) << g.fn;
    nrx::accuracy::Options o;
    o.samples = 20000;
    o.range = true;
    o.lo = g.lo;
    o.hi = g.hi;
    for (const nrx::accuracy::Result& r : nrx::accuracy::measure_slots(*e, {1}, o)) {  // slot 1: HA
      EXPECT_LE(r.max_ulp, 1.0) << g.fn << " [" << g.lo << ", " << g.hi << "]";
      EXPECT_EQ(r.mismatches, 0u) << g.fn;
    }
  }
}

// ErfInv is odd to the bit, also at the ends where it goes through 1 - |x|.
TEST(ErfFamily, ErfInvIsOdd) {
  std::vector<double> a;
  for (int k = 1; k <= 53; ++k) a.push_back(1 - std::ldexp(1.0, -k));
  for (double x : {1e-300, 0.1, 0.5, 0.5625, 0.5625000000000001, 0.75, 0.9999}) a.push_back(x);
  std::vector<double> neg(a.size()), pos(a.size()), rn(a.size());
  for (size_t i = 0; i < a.size(); ++i) neg[i] = -a[i];
  void* const* tab = table("dErfInv");
  for (int slot = 0; slot < 3; ++slot) {
    auto f = reinterpret_cast<void (*)(int32_t, const double*, double*)>(tab[slot]);
    f(int32_t(a.size()), a.data(), pos.data());
    f(int32_t(a.size()), neg.data(), rn.data());
    for (size_t i = 0; i < a.size(); ++i) EXPECT_EQ(-pos[i], rn[i]) << a[i] << " slot " << slot;
  }
}

// The same value gives the same bits in the main part and in the masked tail, and strided
// calls equal unit-stride ones.
TEST(ErfFamily, TailLanesAndStridesGiveTheUnitStrideBits) {
  std::vector<double> a(64);
  for (int i = 0; i < 64; ++i) a[i] = -7 + 0.53 * i;
  for (const char* name : {"dErf", "dErfc", "dCdfNorm", "dErfInv", "dErfcInv", "dCdfNormInv"}) {
    void* const* tab = table(name);
    for (int slot = 0; slot < 3; ++slot) {
      std::vector<double> r(37), t(5);
      reinterpret_cast<void (*)(int32_t, const double*, double*)>(tab[slot])(37, a.data(), r.data());
      reinterpret_cast<void (*)(int32_t, const double*, double*)>(tab[slot])(5, a.data() + 3, t.data());
      for (int i = 0; i < 5; ++i) EXPECT_EQ(std::memcmp(&r[3 + i], &t[i], 8), 0) << name << " slot " << slot;
    }
  }
  std::vector<double> r1(32), r2(64);
  zardErfcI(32, a.data(), 2, r2.data(), 2);
  std::vector<double> packed(32);
  for (int i = 0; i < 32; ++i) packed[i] = a[2 * i];
  zardErfc(32, packed.data(), r1.data());
  for (int i = 0; i < 32; ++i) EXPECT_EQ(r1[i], r2[2 * i]) << i;
}

}  // namespace
