// The two-part scalar routine of ErfInv, ErfcInv and CdfNormInv against the correctly rounded
// roots from MPFR: on the central part, across the switch at |x| = 9/16, over the tail's
// intervals down to the smallest subnormal distance from the ends, and the linear term.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

#include "tools/accuracy/mp.h"
#include "tools/accuracy/oracle.h"
#include "zar/kernels/erfinv.h"

namespace {

using nrx::zar::ops::inv_two_part;
using nrx::zar::ops::InvKind;

struct Range {
  const char* oracle;
  InvKind kind;
  double lo, hi;
  bool log_scale;  // log-uniform samples (positive ranges)
};

const Range kRanges[] = {
    {"erfinv", InvKind::Erf, -0.56, 0.56, false},
    {"erfinv", InvKind::Erf, 0.55, 0.58, false},
    {"erfinv", InvKind::Erf, 0.58, 1.0, false},
    {"erfinv", InvKind::Erf, 1e-5, 0.5, true},
    {"erfinv", InvKind::Erf, 1e-320, 1e-9, true},
    {"erfinv", InvKind::Erf, -1.0, -0.999, false},
    {"erfcinv", InvKind::Erfc, 1e-300, 0.45, true},
    {"erfcinv", InvKind::Erfc, 4.9e-324, 1e-300, true},
    {"erfcinv", InvKind::Erfc, 0.42, 0.58, false},
    {"erfcinv", InvKind::Erfc, 0.58, 1.6, false},
    {"erfcinv", InvKind::Erfc, 1.55, 2.0, false},
    {"cdfnorminv", InvKind::CdfNorm, 1e-300, 0.2, true},
    {"cdfnorminv", InvKind::CdfNorm, 0.2, 0.8, false},
    {"cdfnorminv", InvKind::CdfNorm, 0.8, 1.0, false},
    {"cdfnorminv", InvKind::CdfNorm, 4.9e-324, 1e-300, true},
};

double routine(InvKind k, double x) {
  switch (k) {
    case InvKind::Erf: return inv_two_part<InvKind::Erf>(x);
    case InvKind::Erfc: return inv_two_part<InvKind::Erfc>(x);
    default: return inv_two_part<InvKind::CdfNorm>(x);
  }
}

// The HA polynomials' relative error (2^-56) above the half ulp of rounding.
constexpr double kBound = 0.625;

TEST(InverseTwoPart, WithinItsBoundOfTheMpfrRoot) {
  namespace acc = nrx::accuracy;
  const acc::EvalCtx ctx{acc::kDouble, 160};
  for (const Range& g : kRanges) {
    const acc::Oracle* o = acc::find_oracle(std::string(g.oracle));
    ASSERT_NE(o, nullptr) << g.oracle;
    std::mt19937_64 gen(5);
    std::uniform_real_distribution<double> uni(0, 1);
    double worst = 0, worst_x = 0;
    for (int i = 0; i < 1000; ++i) {
      const double s = uni(gen);
      const double x =
          g.log_scale ? std::exp(std::log(g.lo) + (std::log(g.hi) - std::log(g.lo)) * s) : g.lo + (g.hi - g.lo) * s;
      double in[acc::kInputs] = {x};
      acc::Mp exact(ctx.wp), spare(ctx.wp);
      mpfr_ptr out[2] = {exact, spare};
      o->eval(out, in, ctx);
      const double got = routine(g.kind, x);
      if (!std::isfinite(got) && mpfr_inf_p(exact)) continue;  // x rounded onto an end of the domain
      const double e = acc::ulp_error(got, exact, exact, acc::kDouble);
      if (!(e <= worst)) worst = e, worst_x = x;
    }
    RecordProperty(std::string(g.oracle) + "_" + std::to_string(g.lo) + "_max_ulp", std::to_string(worst));
    EXPECT_LE(worst, kBound) << g.oracle << " [" << g.lo << ", " << g.hi << "] worst at " << worst_x;
  }
}

// The linear term keeps subnormal arguments exact to the rounding of c1 x, and is odd.
TEST(InverseTwoPart, SubnormalArgumentsAndSigns) {
  const double c1 = 0.88622692545275801365;  // sqrt(pi) / 2
  for (double x : {4.9e-324, 1e-310, 2.2e-308}) {
    EXPECT_EQ(inv_two_part<InvKind::Erf>(x), std::ldexp(std::nearbyint(std::ldexp(x, 1074) * c1), -1074)) << x;
    EXPECT_EQ(inv_two_part<InvKind::Erf>(-x), -inv_two_part<InvKind::Erf>(x)) << x;
  }
  EXPECT_EQ(inv_two_part<InvKind::Erfc>(1.0), 0.0);
  EXPECT_FALSE(std::signbit(inv_two_part<InvKind::CdfNorm>(0.5)));
  EXPECT_TRUE(std::signbit(inv_two_part<InvKind::Erf>(-0.0)));
}

}  // namespace
