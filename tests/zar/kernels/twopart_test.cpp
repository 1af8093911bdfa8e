// Two-part arithmetic against 113-bit binary128 arithmetic: the exact operations must be
// exact, the others within their stated bounds, and registers must give the scalar bits.
#include "zar/kernels/twopart.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

namespace {

using nrx::zar::twopart::Two;
namespace tp = nrx::zar::twopart;
using Q = __float128;

template <class T> Q q(Two<T> a) { return Q(a.hi) + Q(a.lo); }
template <class T> constexpr double unit() { return sizeof(T) == 4 ? 0x1p-24 : 0x1p-53; }

// A normalised two-part value near 1 * 2^e with a random low part.
template <class T> Two<T> random_two(std::mt19937_64& g, int emax) {
  std::uniform_real_distribution<T> m(T(-2), T(2));
  std::uniform_int_distribution<int> e(-emax, emax);
  T hi = std::ldexp(m(g), e(g));
  if (hi == 0) hi = T(1);
  T lo = T(m(g)) * T(unit<T>() / 4) * std::fabs(hi);
  return tp::fast_two_sum(hi, lo);
}

template <class T> void check_bounds() {
  std::mt19937_64 g(20261209);
  const Q u2 = Q(unit<T>()) * Q(unit<T>());
  for (int i = 0; i < 20000; ++i) {
    const Two<T> a = random_two<T>(g, 20), b = random_two<T>(g, 20);
    const T x = a.hi, y = b.hi;
    ASSERT_EQ(q(tp::two_sum(x, y)), Q(x) + Q(y));
    ASSERT_EQ(q(tp::two_prod(x, y)), Q(x) * Q(y));
    if (std::fabs(x) >= std::fabs(y)) {
      ASSERT_EQ(q(tp::fast_two_sum(x, y)), Q(x) + Q(y));
    }
    struct Case {
      const char* what;
      Q got, want, bound;
    };
    const Case cases[] = {
        {"add(Two, V)", q(tp::add(a, y)), q(a) + Q(y), 3 * u2},
        {"add(Two, Two)", q(tp::add(a, b)), q(a) + q(b), 3 * u2},
        {"mul(Two, V)", q(tp::mul(a, y)), q(a) * Q(y), 2 * u2},
        {"mul_loose(V, Two)", q(tp::mul_loose(y, a)), Q(y) * q(a), 2 * u2},
        {"mul(Two, Two)", q(tp::mul(a, b)), q(a) * q(b), 5 * u2},
        {"mul_loose(Two, Two)", q(tp::mul_loose(a, b)), q(a) * q(b), 5 * u2},
        {"sqr(Two)", q(tp::sqr(a)), q(a) * q(a), 5 * u2},
        {"div(Two, Two)", q(tp::div(a, b)), q(a) / q(b), 8 * u2},
        {"div(Two, V)", q(tp::div(a, y)), q(a) / Q(y), 8 * u2},
    };
    for (const Case& c : cases) {
      // Sums of nearly opposite values lose relative accuracy only through cancellation,
      // which the bound in terms of the operands covers.
      const Q scale = std::string(c.what).rfind("add", 0) == 0 ? (Q(std::fabs(x)) + Q(std::fabs(y))) : c.want;
      Q d = c.got - c.want;
      if (d < 0) d = -d;
      const Q s = scale < 0 ? -scale : scale;
      ASSERT_LE(double(d / s), double(c.bound)) << c.what << " i=" << i;
    }
  }
}

TEST(TwoPart, FloatWithinBounds) { check_bounds<float>(); }
TEST(TwoPart, DoubleWithinBounds) { check_bounds<double>(); }

// The register body and the scalar body give the same bits in every lane.
template <class T> void check_lanes() {
  using V = nrx::simd::Reg<T>;
  constexpr int L = nrx::simd::lanes<T>;
  std::mt19937_64 g(7);
  alignas(64) T ah[L], al[L], bh[L], bl[L], out_hi[L], out_lo[L];
  for (int rep = 0; rep < 200; ++rep) {
    for (int j = 0; j < L; ++j) {
      Two<T> a = random_two<T>(g, 30), b = random_two<T>(g, 30);
      ah[j] = a.hi, al[j] = a.lo, bh[j] = b.hi, bl[j] = b.lo;
    }
    const Two<V> a{nrx::simd::load(ah), nrx::simd::load(al)}, b{nrx::simd::load(bh), nrx::simd::load(bl)};
    const Two<V> r = tp::div(tp::add(tp::mul(a, b), a), b);
    nrx::simd::store(out_hi, r.hi);
    nrx::simd::store(out_lo, r.lo);
    for (int j = 0; j < L; ++j) {
      const Two<T> s = tp::div(tp::add(tp::mul(Two<T>{ah[j], al[j]}, Two<T>{bh[j], bl[j]}), Two<T>{ah[j], al[j]}),
                               Two<T>{bh[j], bl[j]});
      ASSERT_EQ(out_hi[j], s.hi);
      ASSERT_EQ(out_lo[j], s.lo);
    }
  }
}

TEST(TwoPart, FloatRegistersMatchScalars) { check_lanes<float>(); }
TEST(TwoPart, DoubleRegistersMatchScalars) { check_lanes<double>(); }

}  // namespace
