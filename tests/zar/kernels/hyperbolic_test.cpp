// Hyperbolic kernels (Sinh, Cosh, Tanh, Asinh, Acosh, Atanh) against MPFR at the points where
// their bodies switch formulas (and the neighbours on either side), at the overflow limits,
// and log-uniformly over the whole finite range; every distinct kernel of each table.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <string>
#include <vector>

#include "nrx/zar_functions.h"
#include "tests/zar/kernels/within_bound.h"
#include "tools/accuracy/accuracy.h"

namespace {

namespace acc = nrx::accuracy;

struct Case {
  const char* table;
  std::vector<double> points;  // each with its float or double neighbours and its negative
  double range;                // log-uniform sampling over [-range, range] (or [1, range] for Acosh)
};

// The fault each point guards against: the polynomial / exponential switch of sinh at 1/2
// (HA) and the Expm1 / exponential switch at 1 (LA, EP) where e^a - e^-a cancels, the end of
// the vector path and the overflow limit (a silent infinity, or an overflow where the result
// is finite), tanh's switch from its polynomial to 1 - 2/(e^2a + 1) at 0.55 (LA, EP) and to 1,
// the tiny-argument and ln(2a) switches of the inverses, and the inverses next to 1 (atanh's
// quotient 2a/(1 - a) at its largest). Double atanh LA and EP reduce w = (1 + a)/(1 - a) from
// a 14-bit estimate: w at 2^k (a = 1/3, 3/5, 1 - 2^-20) and at c's first step (a = 2^-7), where
// the estimate and w may lie on either side, and 1 - a = 2^-47, from where s - 1 is rounded.
const Case kCases[] = {
    {"dSinh", {0.5, 1, 710.44, 710.47, 0x1.633ce8fb9f87dp9, 1e-8, 0x1p-26}, 710},
    {"sSinh", {0.5, 1, 89.4, 0x1.65a9f8p6, 1e-4, 0x1p-12}, 89},
    {"dCosh", {0.5, 1, 710.44, 710.47, 0x1.633ce8fb9f87dp9, 1e-8}, 710},
    {"sCosh", {0.5, 1, 89.4, 0x1.65a9f8p6, 1e-4}, 89},
    {"dTanh", {0.5, 0.55, 0.6, 19.1, 1e-8, 0x1p-26, 18}, 1e300},
    {"sTanh", {0.5, 0.55, 0.6, 9.1, 1e-4, 0x1p-12, 8.5}, 1e30},
    {"dAsinh", {0x1p-26, 0x1p28, 0.5, 1, 1e-10, DBL_MAX}, DBL_MAX},
    {"sAsinh", {0x1p-12, 0x1p12, 0.5, 1, 1e-5, FLT_MAX}, FLT_MAX},
    {"dAcosh", {1, 0x1.0000000000001p0, 1.0000001, 0x1p28, 2, DBL_MAX}, DBL_MAX},
    {"sAcosh", {1, 0x1.000002p0, 1.001, 0x1p12, 2, FLT_MAX}, FLT_MAX},
    {"dAtanh",
     {0x1p-26, 0x1.fffffffffffffp-1, 0x1.ffffffffffffep-1, 0.5, 1e-10, 0.999999, 1.0 / 3, 0.6, 1 - 0x1p-20, 0x1p-7,
      1 - 0x1p-47},
     1},
    {"sAtanh", {0x1p-12, 0x1.fffffep-1, 0x1.fffffcp-1, 0.5, 1e-5, 0.999}, 1},
};

std::vector<double> around(const std::vector<double>& points, bool single) {
  std::vector<double> out;
  for (double p : points) {
    for (int k = -2; k <= 2; ++k) {
      double x = p;
      for (int s = 0; s < std::abs(k); ++s)
        x = single ? double(std::nextafter(float(x), k < 0 ? 0.0f : INFINITY))
                   : std::nextafter(x, k < 0 ? 0.0 : INFINITY);
      out.push_back(x), out.push_back(-x);
    }
  }
  return out;
}

class Hyperbolic : public testing::TestWithParam<Case> {};

TEST_P(Hyperbolic, SwitchPointsAndNeighbours) {
  const Case& c = GetParam();
  for (bool ftz : {false, true}) {
    acc::Options o;
    o.samples = 1000;
    o.ftz = ftz;
    o.special = around(c.points, c.table[0] == 's');
    nrx::test::expect_within_bound(c.table, o, ftz ? "switch points, ftz" : "switch points");
  }
}

TEST_P(Hyperbolic, WholeRange) {
  const Case& c = GetParam();
  acc::Options o;
  o.samples = 20000;
  o.range = true;
  o.lo = std::string(c.table).find("Acosh") != std::string::npos ? 1 : -c.range;
  o.hi = c.range;
  nrx::test::expect_within_bound(c.table, o, "whole range");
}

// Asinh and Acosh take ln 2|x| alone in registers whose lanes all lie from the switch on
// (2^28, 2^12 for float): such registers just above the switch, across the whole large range,
// and on the negative side for Asinh.
TEST(HyperbolicInverse, LargeRegisters) {
  struct Band {
    const char* table;
    double lo, hi;
  };
  const Band bands[] = {
      {"dAsinh", 0x1p28, 0x1p29},
      {"dAsinh", 0x1p28, DBL_MAX},
      {"dAsinh", -DBL_MAX, -0x1p28},
      {"dAcosh", 0x1p28, 0x1p29},
      {"dAcosh", 0x1p28, DBL_MAX},
      {"sAsinh", 0x1p12, 0x1p13},
      {"sAsinh", 0x1p12, FLT_MAX},
      {"sAsinh", -FLT_MAX, -0x1p12},
      {"sAcosh", 0x1p12, 0x1p13},
      {"sAcosh", 0x1p12, FLT_MAX},
      // atanh where (1 + a)/(1 - a) passes 2^48 and on to the largest quotient
      {"dAtanh", 1 - 0x1p-40, 1 - 0x1p-53},
      {"dAtanh", -1 + 0x1p-53, -1 + 0x1p-40},
  };
  for (const Band& b : bands) {
    acc::Options o;
    o.samples = 4000;
    o.range = true;
    o.lo = b.lo;
    o.hi = b.hi;
    nrx::test::expect_within_bound(b.table, o, "large registers");
  }
}

// From 9.1 (float) and 19.1 (double) on, tanh x rounds to 1 (1 - tanh x < 2^-26, 2^-55):
// every flavour gives exactly +-1 there, also where LA and EP take 1 - 2/(e^2a + 1) without a
// select, up to the infinities.
template <class T, size_t N>
void expect_plus_minus_one(std::initializer_list<void (*)(int32_t, const T*, T*)> fns, const T (&xs)[N]) {
  for (auto f : fns) {
    for (T x : xs) {
      const T in[2] = {x, -x};
      T out[2];
      f(2, in, out);
      EXPECT_EQ(out[0], T(1)) << x;
      EXPECT_EQ(out[1], T(-1)) << -x;
    }
  }
}

TEST(Tanh, ExactlyOneFromTheSwitchOn) {
  const float xs[] = {9.1f, 0x1.233334p3f, 9.5f, 17.7f, 20, 1e30f, FLT_MAX, INFINITY};
  const double xd[] = {19.1, 0x1.319999999999ap4, 19.5, 38.3, 40, 1e300, DBL_MAX, INFINITY};
  expect_plus_minus_one<float>({zarsTanh, zarsTanh_21, zarsTanh_11}, xs);
  expect_plus_minus_one<double>({zardTanh, zardTanh_50, zardTanh_26}, xd);
}

INSTANTIATE_TEST_SUITE_P(Kernels, Hyperbolic, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<Case>& p) { return std::string(p.param.table); });

}  // namespace
