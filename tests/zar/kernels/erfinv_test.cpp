// Inverse error-function kernels (ErfInv, ErfcInv, CdfNormInv), float and double, every
// flavour: MPFR ranges around the switch from the polynomial in w = -ln(1 - x^2) to the
// tail and down to the smallest subnormal distance from the ends, and registers that mix
// lanes of both parts giving each lane the bits it gets alone.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "tests/zar/kernels/within_bound.h"
#include "tools/accuracy/accuracy.h"

namespace {

struct Range {
  const char* fn;
  double lo, hi;
};

// w = 5 lies at |x| = sqrt(1 - e^-5) = 0.996625..., ErfcInv's p = 1 -+ that, CdfNormInv's
// (1 -+ that) / 2.
const Range kRanges[] = {
    {"dErfInv", 0.9962, 0.9970},     {"dErfInv", -0.9970, -0.9962},
    {"dErfcInv", 0.0030, 0.0038},    {"dErfcInv", 1.9962, 1.9970},
    {"dCdfNormInv", 0.0015, 0.0019}, {"dCdfNormInv", 0.9981, 0.9985},
    {"dErfcInv", 4.9e-324, 1e-300},  {"dCdfNormInv", 4.9e-324, 1e-300},
    {"dErfInv", 0, 1e-300},          {"sErfInv", 0.9962, 0.9970},
    {"sErfInv", -0.9970, -0.9962},   {"sErfcInv", 0.0030, 0.0038},
    {"sErfcInv", 1.9962, 1.9970},    {"sCdfNormInv", 0.0015, 0.0019},
    {"sCdfNormInv", 0.9981, 0.9985}, {"sErfcInv", 1.4e-45, 1e-37},
    {"sCdfNormInv", 1.4e-45, 1e-37}, {"sErfInv", 1 - 0x1p-20, 1},
    {"sErfInv", 0, 1e-37},           {"sErfcInv", 1.999, 2},
    {"sCdfNormInv", 0.999, 1},
};

// ErfInv HA at results near the smallest normal numbers, where the low parts of the product
// with x would underflow (x is scaled there; unscaled, double reached 0.92 ulp): float
// rounds once from double (0.51); double's subnormal results (x = 2^-1022 is among the
// special inputs) round twice, from the scaled value (0.75).
struct TinyRange {
  const char* fn;
  double lo, hi, bound;
};
const TinyRange kTiny[] = {
    {"zardErfInv_HA", 0, 1e-306, 0.75}, {"zardErfInv_HA", -1e-306, 0, 0.75},   {"zardErfInv_HA", 1e-300, 1e-280, 0.75},
    {"zarsErfInv_HA", 0, 1e-37, 0.51},  {"zarsErfInv_HA", 1e-36, 1e-28, 0.55},
};

TEST(InverseErf, HighAccuracyErfInvStaysNearHalfAnUlpAtTheSmallestResults) {
  for (const TinyRange& g : kTiny) {
    nrx::accuracy::Options o;
    o.samples = 2000;
    o.range = true;
    o.lo = g.lo;
    o.hi = g.hi;
    int slot;
    const auto* e = nrx::accuracy::find_entry(g.fn, &slot);
    ASSERT_NE(e, nullptr) << g.fn;
    const nrx::accuracy::Result r = nrx::accuracy::measure(*e, slot, o);
    EXPECT_GT(r.measured, 0u) << g.fn;
    EXPECT_LE(r.max_ulp, g.bound) << g.fn << " [" << g.lo << ", " << g.hi << "]";
  }
}

// HA takes ln(1 - x^2) apart by the binade of 1 - x^2 and its four leading mantissa bits:
// arguments on both sides of each binade's start (1 - x^2 = 2^-k, k = 0..7, up to w = 4.85;
// k = 0 is x near 0, where the table's terms cancel) stay well inside one ulp.
TEST(InverseErf, HighAccuracyAcrossTheBinadesOfOneMinusXSquared) {
  const char* const names[] = {"zarsErfInv_HA", "zarsErfcInv_HA", "zarsCdfNormInv_HA",
                               "zardErfInv_HA", "zardErfcInv_HA", "zardCdfNormInv_HA"};
  for (const char* name : names) {
    const std::string fn(name);
    for (int k = 0; k <= 7; ++k) {
      const double x = std::sqrt(1 - std::ldexp(1.0, -k));
      const double d = k == 0 ? 1e-3 : 1e-4 * (1 - x);
      double lo = x - d, hi = x + d;  // ErfInv's p = x
      if (fn.find("ErfcInv") != std::string::npos) lo = 1 - x - d, hi = 1 - x + d;
      if (fn.find("CdfNormInv") != std::string::npos) lo = (1 + x - d) / 2, hi = (1 + x + d) / 2;
      nrx::accuracy::Options o;
      o.samples = 400;
      o.range = true;
      o.lo = lo;
      o.hi = hi;
      int slot;
      const auto* e = nrx::accuracy::find_entry(name, &slot);
      ASSERT_NE(e, nullptr) << name;
      const nrx::accuracy::Result r = nrx::accuracy::measure(*e, slot, o);
      EXPECT_GT(r.measured, 0u) << name;
      EXPECT_LE(r.max_ulp, 0.8) << name << " [" << lo << ", " << hi << "]";
    }
  }
}

TEST(InverseErf, EveryFlavourWithinItsBoundAroundTheSwitchAndAtTheEnds) {
  for (const Range& g : kRanges) {
    nrx::accuracy::Options o;
    o.samples = 600;
    o.range = true;
    o.lo = g.lo;
    o.hi = g.hi;
    nrx::test::expect_within_bound(g.fn, o,
                                   "[" + ::testing::PrintToString(g.lo) + ", " + ::testing::PrintToString(g.hi) + "]");
  }
}

// Arguments in the tail (|x| > 0.9967) interleaved with central ones, so that every register
// takes both paths: each lane must equal the value of a call on that element alone.
template <class T> void mixed_registers_match_single_calls(const char* name, double lo, double hi) {
  std::vector<T> a;
  for (int i = 0; i < 64; ++i) {
    const double f =
        i % 5 == 0 ? std::ldexp(1.0, -(i % 40) - 9) : 0.05 + 0.9 * (i * 0.618034 - std::floor(i * 0.618034));
    a.push_back(T(i % 2 ? lo + (hi - lo) * f : hi - (hi - lo) * f));
  }
  const auto* e = nrx::accuracy::find_entry(name, nullptr);
  ASSERT_NE(e, nullptr) << name;
  using Fn = void (*)(int32_t, const T*, T*);
  for (int slot = 0; slot < 3; ++slot) {
    const Fn f = reinterpret_cast<Fn>(e->ttab[slot]);
    std::vector<T> all(a.size());
    f(int32_t(a.size()), a.data(), all.data());
    for (size_t i = 0; i < a.size(); ++i) {
      T one;
      f(1, &a[i], &one);
      EXPECT_EQ(std::memcmp(&one, &all[i], sizeof(T)), 0) << name << " slot " << slot << " at " << a[i];
    }
  }
}

TEST(InverseErf, RegistersMixingCentralAndTailLanesGiveEachLaneItsOwnBits) {
  mixed_registers_match_single_calls<double>("dErfInv", -1, 1);
  mixed_registers_match_single_calls<double>("dErfcInv", 0, 2);
  mixed_registers_match_single_calls<double>("dCdfNormInv", 0, 1);
  mixed_registers_match_single_calls<float>("sErfInv", -1, 1);
  mixed_registers_match_single_calls<float>("sErfcInv", 0, 2);
  mixed_registers_match_single_calls<float>("sCdfNormInv", 0, 1);
}

}  // namespace
