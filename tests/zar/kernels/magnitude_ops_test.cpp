// Magnitude operations of the register layer (abs_max, abs_min, larger_mag, smaller_mag,
// range_key) on rows of literal operands and results, and the two-part sum of squares of the
// root kernels against binary128.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "zar/kernels/root.h"

namespace {

namespace simd = nrx::simd;
using Q = __float128;
constexpr double kInf = std::numeric_limits<double>::infinity(), kNaN = std::numeric_limits<double>::quiet_NaN();

struct Row {
  double a, b;
  double abs_max, abs_min, larger, smaller;
};
const Row kRows[] = {
    {2, -3, 3, 2, -3, 2},
    {-3, 2, 3, 2, -3, 2},
    {-1, -5, 5, 1, -5, -1},
    {4, -1, 4, 1, 4, -1},
    {-0.0, 0x1p-1074, 0x1p-1074, 0, 0x1p-1074, -0.0},
    {-kInf, 7, kInf, 7, -kInf, 7},
    {1e300, -1e-300, 1e300, 1e-300, 1e300, -1e-300},
    // a NaN operand is passed over: the other one comes out
    {kNaN, -3, 3, 3, -3, -3},
    {2, kNaN, 2, 2, 2, 2},
};

template <class T> T lane0(simd::Reg<T> v) {
  alignas(64) T out[simd::lanes<T>];
  simd::store(out, v);
  for (int j = 1; j < simd::lanes<T>; ++j) EXPECT_EQ(std::signbit(out[j]), std::signbit(out[0]));
  return out[0];
}

template <class T> void expect_same(T got, double want, const char* what, const Row& r) {
  const T w = T(want);
  if (std::isnan(w)) {
    EXPECT_TRUE(std::isnan(got)) << what << "(" << r.a << ", " << r.b << ")";
    return;
  }
  EXPECT_EQ(got, w) << what << "(" << r.a << ", " << r.b << ")";
  EXPECT_EQ(std::signbit(got), std::signbit(w)) << what << "(" << r.a << ", " << r.b << ") sign";
}

template <class T> void check_rows() {
  for (const Row& r : kRows) {
    if (sizeof(T) == 4 && (std::fabs(r.a) > 1e38 || std::fabs(r.b) > 1e38 || r.b == 0x1p-1074 || r.b == -1e-300))
      continue;
    const simd::Reg<T> a = simd::splat(T(r.a)), b = simd::splat(T(r.b));
    expect_same<T>(lane0<T>(simd::abs_max(a, b)), r.abs_max, "abs_max", r);
    expect_same<T>(lane0<T>(simd::abs_min(a, b)), r.abs_min, "abs_min", r);
    expect_same<T>(lane0<T>(simd::larger_mag(a, b)), r.larger, "larger_mag", r);
    expect_same<T>(lane0<T>(simd::smaller_mag(a, b)), r.smaller, "smaller_mag", r);
  }
}

TEST(MagnitudeOps, FloatRows) { check_rows<float>(); }
TEST(MagnitudeOps, DoubleRows) { check_rows<double>(); }

TEST(MagnitudeOps, RangeKeyPassesZerosAsOnesAndNaNAsInfinity) {
  const double rows[][2] = {{0.0, 1},       {-0.0, 1},    {kNaN, kInf}, {-kNaN, kInf},          {kInf, kInf},
                            {-kInf, -kInf}, {-2.5, -2.5}, {1, 1},       {0x1p-1074, 0x1p-1074}, {-1e300, -1e300}};
  for (const auto& r : rows) {
    EXPECT_EQ(lane0<double>(simd::range_key(simd::splat(r[0]))), r[1]) << r[0];
    if (float(r[0]) != 0 || r[0] == 0) {  // double subnormals are float zeros
      EXPECT_EQ(lane0<float>(simd::range_key(simd::splat(float(r[0])))), float(r[1])) << r[0];
    }
  }
}

// sum + lo against x^2 + y^2 in binary128: within 2^-100 (double) or 2^-42 (float) of the sum,
// for magnitudes of any ratio, equal ones and either sign.
template <class T> void check_hypot_sum() {
  using V = simd::Reg<T>;
  constexpr int L = simd::lanes<T>;
  const double bound = sizeof(T) == 8 ? 0x1p-100 : 0x1p-42;
  std::mt19937_64 g(20261209);
  std::uniform_real_distribution<double> m(-2, 2);
  std::uniform_int_distribution<int> e(-20, 20), gap(0, sizeof(T) == 8 ? 60 : 30);
  alignas(64) T x[L], y[L], s[L], lo[L];
  for (int rep = 0; rep < 2000; ++rep) {
    for (int j = 0; j < L; ++j) {
      const int ex = e(g);
      x[j] = T(std::ldexp(m(g), ex));
      const int kind = (rep + j) % 4;
      y[j] = kind == 0 ? -x[j] : kind == 1 ? T(std::ldexp(m(g), ex)) : T(std::ldexp(m(g), ex - gap(g)));
      if (kind == 3) std::swap(x[j], y[j]);
    }
    V l;
    simd::store(s, nrx::zar::ops::hypot_sum<T, nrx::zar::Flavour::HA>(simd::load(x), simd::load(y), l));
    simd::store(lo, l);
    for (int j = 0; j < L; ++j) {
      const Q want = Q(x[j]) * Q(x[j]) + Q(y[j]) * Q(y[j]);
      Q d = Q(s[j]) + Q(lo[j]) - want;
      if (d < 0) d = -d;
      ASSERT_LE(double(d / want), bound) << x[j] << " " << y[j];
    }
  }
}

TEST(MagnitudeOps, FloatHypotSumInTwoParts) { check_hypot_sum<float>(); }
TEST(MagnitudeOps, DoubleHypotSumInTwoParts) { check_hypot_sum<double>(); }

// The Hypot kernel on registers whose larger parts lie on either side of the ends of its
// unscaled window (exponents [-50, 60] for float, [-480, 506] for double), against the
// 64-bit-mantissa hypotl: within 1 ulp (HA), 4 (LA) and 2^12 (float EP) or 2^27 (double EP).
template <class T, nrx::zar::Flavour F> void check_hypot(double ulps) {
  using H = nrx::zar::ops::Hypot<T, F>;
  constexpr int L = 64 / sizeof(T);
  std::mt19937_64 g(99);
  std::uniform_real_distribution<double> m(-2, 2);
  const std::vector<int> centres = sizeof(T) == 4 ? std::vector<int>{-52, -50, -49, 0, 20, 59, 60, 61, 62, 63}
                                                  : std::vector<int>{-482, -480, -479, 0, 300, 505, 506, 507, 508};
  alignas(64) T x[L], y[L], out[L];
  for (int c : centres)
    for (int rep = 0; rep < 200; ++rep) {
      for (int j = 0; j < L; ++j) x[j] = T(std::ldexp(m(g), c)), y[j] = T(std::ldexp(m(g), c - j % 5));
      const simd::Reg<T> in[2] = {simd::load(x), simd::load(y)};
      simd::Reg<T> r[1];
      const auto special = H::vec(in, r, nrx::zar::NoExtra{});
      simd::store(out, r[0]);
      for (int j = 0; j < L; ++j) {
        if (special >> j & 1) continue;
        const long double want = hypotl(x[j], y[j]);
        const double ulp = std::ldexp(1.0, std::ilogb(T(want)) - std::numeric_limits<T>::digits + 1);
        EXPECT_LE(double(std::fabs((long double)out[j] - want) / ulp), ulps) << x[j] << " " << y[j];
      }
    }
}

TEST(MagnitudeOps, FloatHypotAtTheEndsOfItsWindow) {
  check_hypot<float, nrx::zar::Flavour::HA>(1);
  check_hypot<float, nrx::zar::Flavour::LA>(4);
  check_hypot<float, nrx::zar::Flavour::EP>(4096);
}
TEST(MagnitudeOps, DoubleHypotAtTheEndsOfItsWindow) {
  check_hypot<double, nrx::zar::Flavour::HA>(1);
  check_hypot<double, nrx::zar::Flavour::LA>(4);
  check_hypot<double, nrx::zar::Flavour::EP>(0x1p27);
}

}  // namespace
