// What an accuracy sweep draws: the domain's range of magnitudes, the special values, and
// for pow exponents that reach the whole result range without mostly overflowing.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>

#include "tools/accuracy/sampling.h"

namespace nrx::accuracy {
namespace {

using catalog::Entry;
using catalog::Shape;

Entry entry(const char* func, char type, Shape shape, const char* oracle, double lo, double hi) {
  static const float cost[3] = {1, 1, 1};
  static void* const tab[3] = {nullptr, nullptr, nullptr};
  return Entry{func,
               type,
               shape,
               false,
               tab,
               cost,
               "3",
               "test",
               oracle,
               lo,
               hi,
               false,
               nullptr,
               false,
               {"la", "ha", "ep", "plain"},
               {nullptr, nullptr, nullptr, nullptr},
               {}};
}

std::vector<Input> all(const std::vector<Group>& gs) {
  std::vector<Input> v;
  for (const Group& g : gs) v.insert(v.end(), g.begin(), g.end());
  return v;
}

TEST(Sampling, DomainMagnitudesAndSpecialValues) {
  Options o;
  o.samples = 4000;
  o.special = {1.5e-5};
  const std::vector<Input> in = all(draw_inputs(entry("Ln", 'd', Shape::v1, "log", 0, 1e30), o));
  size_t inside = 0, subnormal = 0, tiny = 0, big = 0;
  bool nan = false, pinf = false, ninf = false, nzero = false, extra = false;
  for (const Input& x : in) {
    const double v = x[0];
    if (v >= 0 && v <= 1e30) ++inside;
    if (v > 0 && v < DBL_MIN) ++subnormal;
    if (v > 0 && v < 1e-200) ++tiny;
    if (v > 1e25) ++big;
    nan |= std::isnan(v);
    pinf |= v == INFINITY;
    ninf |= v == -INFINITY;
    nzero |= v == 0 && std::signbit(v);
    extra |= v == 1.5e-5;
  }
  EXPECT_GE(inside, 4000u);
  EXPECT_GT(subnormal, 0u);  // log-uniform reaches down to the subnormals
  EXPECT_GT(tiny, 400u);
  EXPECT_GT(big, 1000u);  // uniform half sits near the top
  EXPECT_TRUE(nan && pinf && ninf && nzero && extra);
}

TEST(Sampling, SinglePrecisionInputsAreRepresentable) {
  Options o;
  o.samples = 2000;
  for (const Input& x : all(draw_inputs(entry("Exp", 's', Shape::v1, "exp", -80, 80), o)))
    if (!std::isnan(x[0])) {
      ASSERT_EQ(x[0], double(float(x[0])));
    }
}

TEST(Sampling, PowerPairsSpanTheResultRange) {
  Options o;
  o.samples = 4000;
  size_t finite = 0, over = 0, under = 0, negative = 0;
  const std::vector<Input> in = all(draw_inputs(entry("Pow", 'd', Shape::v2, "pow", 0, 100), o));
  for (size_t i = 0; i < 4000; ++i) {
    const double r = std::pow(in[i][0], in[i][2]);
    if (std::isfinite(r) && r != 0) ++finite;
    if (std::isinf(r)) ++over;
    if (r == 0) ++under;
    if (in[i][0] < 0) ++negative;
  }
  EXPECT_GT(finite, 3000u);
  EXPECT_GT(over, 10u);
  EXPECT_GT(under, 10u);
  EXPECT_GT(negative, 100u);
}

TEST(Sampling, ScalarsAreSharedWithinAGroup) {
  Options o;
  o.samples = 600;
  const std::vector<Group> gs = draw_inputs(entry("Powx", 'd', Shape::vs, "pow", 0, 100), o);
  ASSERT_GT(gs.size(), 5u);
  for (const Group& g : gs)
    for (const Input& x : g) {
      ASSERT_TRUE(x[2] == g[0][2] || (std::isnan(x[2]) && std::isnan(g[0][2])));
    }
}

TEST(Sampling, TypicalInputsHaveNoSpecialValues) {
  const std::vector<Input> in = typical_inputs(entry("Pow", 'd', Shape::v2, "pow", 0, 100), 5000, 3);
  ASSERT_EQ(in.size(), 5000u);
  for (const Input& x : in) {
    const double r = std::pow(x[0], x[2]);
    ASSERT_TRUE(std::isfinite(r) && r > 0) << x[0] << " " << x[2];
  }
}

}  // namespace
}  // namespace nrx::accuracy
