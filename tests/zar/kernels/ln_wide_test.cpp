// The two-part logarithms (ln_wide, log2_wide) against MPFR at 200 bits: hi + lo within
// 2^-62 of max(|log x|, 1/16) (the tail polynomial's accuracy, eleven bits beyond a double)
// and normalised, on ranges that take every reduction path: subnormals, both sides of 1,
// each table interval, the largest doubles.
#include <gtest/gtest.h>
#include <mpfr.h>

#include <cmath>
#include <random>

#include "zar/kernels/log.h"

namespace {

using D = nrx::simd::Reg<double>;
constexpr int kLanes = nrx::simd::lanes<double>;

struct Range {
  double lo, hi;
  bool log_scale;
};

const Range kRanges[] = {
    {0x1p-1074, 0x1p-1022, true},      {1e-300, 1e-3, true}, {0.5, 0.97, false}, {0.97, 1.03, false},
    {1 - 0x1p-30, 1 + 0x1p-30, false}, {1.03, 2.0, false},   {2.0, 1e4, true},   {1e300, 1.7976931348623157e308, true},
};

// |(hi + lo) - log_b x| over max(|log_b x|, 1/16) from MPFR, base e or 2.
double rel_error(double x, double hi, double lo, bool base2) {
  mpfr_t v, g;
  mpfr_inits2(200, v, g, (mpfr_ptr) nullptr);
  mpfr_set_d(v, x, MPFR_RNDN);
  if (base2) mpfr_log2(v, v, MPFR_RNDN);
  else mpfr_log(v, v, MPFR_RNDN);
  mpfr_set_d(g, hi, MPFR_RNDN);
  mpfr_add_d(g, g, lo, MPFR_RNDN);
  mpfr_sub(g, g, v, MPFR_RNDN);
  const double scale = std::max(std::fabs(mpfr_get_d(v, MPFR_RNDN)), 1.0 / 16);
  const double e = std::fabs(mpfr_get_d(g, MPFR_RNDN)) / scale;
  mpfr_clears(v, g, (mpfr_ptr) nullptr);
  return e;
}

TEST(LnWide, TwoPartLogarithmsAgainstMpfr) {
  std::mt19937_64 g(15);
  for (const Range& r : kRanges) {
    std::uniform_real_distribution<double> u(r.log_scale ? std::log(r.lo) : r.lo, r.log_scale ? std::log(r.hi) : r.hi);
    double worst[2] = {0, 0};
    for (int i = 0; i < 4000; i += kLanes) {
      alignas(64) double x[kLanes], hi[2][kLanes], lo[2][kLanes];
      for (double& v : x) v = std::min(r.log_scale ? std::exp(u(g)) : u(g), r.hi);
      const D xv = nrx::simd::load(x);
      const auto ln = nrx::zar::ops::ln_wide(xv);
      const auto l2 = nrx::zar::ops::log2_wide(xv);
      nrx::simd::store(hi[0], ln.hi), nrx::simd::store(lo[0], ln.lo);
      nrx::simd::store(hi[1], l2.hi), nrx::simd::store(lo[1], l2.lo);
      for (int j = 0; j < kLanes; ++j)
        for (int b = 0; b < 2; ++b) {
          worst[b] = std::max(worst[b], rel_error(x[j], hi[b][j], lo[b][j], b == 1));
          EXPECT_LE(std::fabs(lo[b][j]), std::ldexp(std::fabs(hi[b][j]), -52)) << x[j] << " not normalised";
        }
    }
    EXPECT_LE(worst[0], 0x1p-62) << "ln_wide on [" << r.lo << ", " << r.hi << "]";
    EXPECT_LE(worst[1], 0x1p-62) << "log2_wide on [" << r.lo << ", " << r.hi << "]";
  }
}

}  // namespace
