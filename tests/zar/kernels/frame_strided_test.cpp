// Strided kernels move whole registers element by element, and the tail by masked gathers and
// scatters. Every count up to a few registers, strides 2 to 8 in every role, inputs that end
// just before a page the process may not read (nothing past the last element is loaded), and
// outputs with canaries between and after their elements (no byte between elements is
// written), for each element size: float, double, single and double complex.
#include <gtest/gtest.h>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "nrx/zar_functions.h"
#include "tests/zar/kernels/before_guard.h"

namespace {

using nrx::testing::BeforeGuard;

// One element type: its unary kernel with the exact result it must give (|x| for reals, the
// conjugate for complex values), its Add, a value per index and a bitwise comparison.
template <class T> struct Kind;
template <class T> struct RealKind {
  static T want_unary(T x) { return std::fabs(x); }
  static T sum(T a, T b) { return a + b; }
  static T value(int64_t i) { return T(i) * (i % 2 ? T(-0.75) : T(1.25)) + T(0.5); }
  static T canary() { return T(-12345); }
};
template <> struct Kind<float> : RealKind<float> {
  static constexpr auto unary = zarsAbsI;
  static constexpr auto add = zarsAddI;
};
template <> struct Kind<double> : RealKind<double> {
  static constexpr auto unary = zardAbsI;
  static constexpr auto add = zardAddI;
};
template <class C, class R> struct ComplexKind {
  static C want_unary(C x) { return {x.real, -x.imag}; }
  static C sum(C a, C b) { return {a.real + b.real, a.imag + b.imag}; }
  static C value(int64_t i) { return {R(i) + R(0.25), R(-2 * i) - R(0.5)}; }
  static C canary() { return {R(-12345), R(54321)}; }
};
template <> struct Kind<NrxComplex8> : ComplexKind<NrxComplex8, float> {
  static constexpr auto unary = zarcConjI;
  static constexpr auto add = zarcAddI;
};
template <> struct Kind<NrxComplex16> : ComplexKind<NrxComplex16, double> {
  static constexpr auto unary = zarzConjI;
  static constexpr auto add = zarzAddI;
};

template <class T> bool same(const T& a, const T& b) { return std::memcmp(&a, &b, sizeof(T)) == 0; }

// The output: n elements at stride inc, canaries in between and for two strides after.
template <class T> std::vector<T> fresh_output(int n, int inc) {
  return std::vector<T>(size_t((n + 2) * inc), Kind<T>::canary());
}
template <class T, class Want>
void expect_output(const std::vector<T>& r, int n, int inc, Want want, const char* what, int inca) {
  for (size_t i = 0; i < r.size(); ++i) {
    const bool mine = i % size_t(inc) == 0 && int(i / size_t(inc)) < n;
    ASSERT_TRUE(same(r[i], mine ? want(int64_t(i) / inc) : Kind<T>::canary()))
        << what << " n=" << n << " inca=" << inca << " incr=" << inc << " at " << i;
  }
}

template <class T> class FrameStrided : public ::testing::Test {};
using Elements = ::testing::Types<float, double, NrxComplex8, NrxComplex16>;
TYPED_TEST_SUITE(FrameStrided, Elements);

struct Strides {
  int a, b, r;
};
constexpr Strides kStrides[] = {{2, 2, 2}, {3, 3, 3}, {4, 4, 4}, {5, 5, 5}, {8, 8, 8}, {2, 3, 4},
                                {4, 1, 3}, {1, 5, 2}, {3, 2, 1}, {1, 1, 4}, {6, 4, 7}};

TYPED_TEST(FrameStrided, RegistersMoveOnlyTheirElements) {
  using T = TypeParam;
  using K = Kind<T>;
  for (const Strides s : kStrides)
    for (int n = 1; n <= 70; ++n) {
      BeforeGuard<T> a(size_t((n - 1) * s.a + 1)), b(size_t((n - 1) * s.b + 1));
      ASSERT_NE(a.data(), nullptr);
      ASSERT_NE(b.data(), nullptr);
      for (int64_t i = 0; i < (n - 1) * s.a + 1; ++i) a.data()[i] = K::value(i);
      for (int64_t i = 0; i < (n - 1) * s.b + 1; ++i) b.data()[i] = K::value(3 * i + 1);
      std::vector<T> r = fresh_output<T>(n, s.r);
      K::unary(n, a.data(), s.a, r.data(), s.r);
      expect_output(
          r, n, s.r, [&](int64_t i) { return K::want_unary(a.data()[i * s.a]); }, "unary", s.a);
      r = fresh_output<T>(n, s.r);
      K::add(n, a.data(), s.a, b.data(), s.b, r.data(), s.r);
      expect_output(
          r, n, s.r, [&](int64_t i) { return K::sum(a.data()[i * s.a], b.data()[i * s.b]); }, "add", s.a);
    }
}

// Complex-to-real and real-to-complex kernels hold their real side in half a register: the
// strided kernels must give the unit-stride kernels' results bit for bit, read nothing past the
// last input element and write nothing between or after the results.
template <class In, class Out, class Unit, class Strided>
void expect_strided_as_unit(Unit unit, Strided strided, In (*value)(int64_t), Out canary, const char* what) {
  for (const Strides s : kStrides)
    for (int n = 1; n <= 70; ++n) {
      BeforeGuard<In> a(size_t((n - 1) * s.a + 1));
      ASSERT_NE(a.data(), nullptr);
      std::vector<In> packed(static_cast<size_t>(n));
      for (int64_t i = 0; i < (n - 1) * s.a + 1; ++i) a.data()[i] = value(i);
      for (int i = 0; i < n; ++i) packed[size_t(i)] = a.data()[i * s.a];
      std::vector<Out> want(static_cast<size_t>(n)), r(static_cast<size_t>((n + 2) * s.r), canary);
      unit(n, packed.data(), want.data());
      strided(n, a.data(), s.a, r.data(), s.r);
      for (size_t i = 0; i < r.size(); ++i) {
        const bool mine = i % size_t(s.r) == 0 && int(i / size_t(s.r)) < n;
        ASSERT_TRUE(same(r[i], mine ? want[i / size_t(s.r)] : canary))
            << what << " n=" << n << " inca=" << s.a << " incr=" << s.r << " at " << i;
      }
    }
}

TEST(FrameStridedHalves, RealSidesMatchTheUnitStrideKernels) {
  expect_strided_as_unit(zarcAbs, zarcAbsI, Kind<NrxComplex8>::value, -12345.0f, "cAbsI");
  expect_strided_as_unit(zarcArg, zarcArgI, Kind<NrxComplex8>::value, -12345.0f, "cArgI");
  expect_strided_as_unit(zarzAbs, zarzAbsI, Kind<NrxComplex16>::value, -12345.0, "zAbsI");
  expect_strided_as_unit(zarcCIS, zarcCISI, Kind<float>::value, Kind<NrxComplex8>::canary(), "cCISI");
  expect_strided_as_unit(zarzCIS, zarzCISI, Kind<double>::value, Kind<NrxComplex16>::canary(), "zCISI");
}

}  // namespace
