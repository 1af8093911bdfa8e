// The exponential of the Erfc and CdfNorm tails, e^-(s + s_lo) = 2^scale (hi + lo), against
// MPFR at 200 bits on every argument range the tails reach (s up to 800 for CdfNorm's
// x^2 / 2 below -40); and the halved form e^-((s + s_lo) / 2), which carries the halving in
// its constants, giving the bits of the plain form at (s + s_lo) / 2 in every flavour.
#include <gtest/gtest.h>
#include <mpfr.h>

#include <cmath>
#include <cstring>
#include <random>

#include "zar/kernels/erf.h"

namespace {

using nrx::zar::Flavour;
namespace ops = nrx::zar::ops;
namespace simd = nrx::simd;

// Relative error of 2^floor(scale) (hi + lo) from e^-(s + s_lo).
double rel_error(double s, double s_lo, double scale, double hi, double lo) {
  mpfr_t v, g;
  mpfr_inits2(200, v, g, (mpfr_ptr) nullptr);
  mpfr_set_d(v, s, MPFR_RNDN);
  mpfr_add_d(v, v, s_lo, MPFR_RNDN);
  mpfr_neg(v, v, MPFR_RNDN);
  mpfr_exp(v, v, MPFR_RNDN);
  mpfr_set_d(g, hi, MPFR_RNDN);
  mpfr_add_d(g, g, lo, MPFR_RNDN);
  mpfr_mul_2si(g, g, long(std::floor(scale)), MPFR_RNDN);  // hi holds the fraction of k / N
  mpfr_div(g, g, v, MPFR_RNDN);
  mpfr_sub_ui(g, g, 1, MPFR_RNDN);
  const double e = std::fabs(mpfr_get_d(g, MPFR_RNDN));
  mpfr_clears(v, g, (mpfr_ptr) nullptr);
  return e;
}

template <class T, Flavour F> void check(double bound) {
  constexpr int L = simd::lanes<T>;
  std::mt19937_64 rng(7);
  const struct { double lo, hi; } ranges[] = {{0, 1e-6}, {0, 1}, {1, 40}, {40, 800}};
  for (const auto& r : ranges) {
    std::uniform_real_distribution<double> u(r.lo, r.hi);
    for (int rep = 0; rep < 64; ++rep) {
      alignas(64) T s[L], s_lo[L], s2[L], s2_lo[L];
      for (int i = 0; i < L; ++i) {
        const T a = T(std::sqrt(u(rng)));  // s + s_lo = a^2 exactly, as in the tails
        s[i] = a * a, s_lo[i] = std::fma(a, a, -s[i]);
        s2[i] = 2 * s[i], s2_lo[i] = 2 * s_lo[i];
      }
      const auto plain = ops::exp_neg_unscaled<T, F>(simd::load(s), simd::load(s_lo));
      const auto halved = ops::exp_neg_unscaled<T, F, true>(simd::load(s2), simd::load(s2_lo));
      alignas(64) T h[4][L], g[4][L];
      simd::store(h[0], plain.hi), simd::store(h[1], plain.lo), simd::store(h[2], plain.scale),
          simd::store(h[3], plain.p);
      simd::store(g[0], halved.hi), simd::store(g[1], halved.lo), simd::store(g[2], halved.scale),
          simd::store(g[3], halved.p);
      EXPECT_EQ(std::memcmp(h, g, sizeof h), 0) << "range [" << r.lo << ", " << r.hi << "]";
      for (int i = 0; i < L; ++i) {
        const double err = rel_error(s[i], s_lo[i], h[2][i], h[0][i], h[1][i]);
        EXPECT_LE(err, bound) << "s = " << s[i] << " + " << s_lo[i];
      }
    }
  }
}

TEST(ExpNeg, HalvedGivesThePlainBitsAndBothMeetTheirBound) {
  check<double, Flavour::HA>(0x1p-56);
  check<double, Flavour::LA>(0x1p-51);
  check<double, Flavour::EP>(0x1p-28);
  check<float, Flavour::HA>(0x1p-22);
  check<float, Flavour::LA>(0x1p-22);
  check<float, Flavour::EP>(0x1p-12);
}

}  // namespace
