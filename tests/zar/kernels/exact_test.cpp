// Every vector kernel of the simple families against the C library, element by element:
// exact functions bit for bit, the EP reciprocal and division within their bound. Driven
// by the catalogue, so a new row of zar/functions.py with a kernel is tested here too.
#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <cstring>
#include <algorithm>
#include <bit>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "nrx/zar_functions.h"
#include "zar/service/catalog.h"

namespace {

using nrx::zar::catalog::Entry;
using nrx::zar::catalog::Shape;

// Reference results in the element type through the C library (correctly rounded for all of these).
template <class T> T fmax_ref(T a, T b) {
  if (std::isnan(a)) return std::isnan(b) ? a : b;
  if (std::isnan(b)) return a;
  if (a == b && a == 0) return std::signbit(a) ? b : a;
  return std::fmax(a, b);
}
template <class T> T fmin_ref(T a, T b) {
  if (std::isnan(a)) return std::isnan(b) ? a : b;
  if (std::isnan(b)) return a;
  if (a == b && a == 0) return std::signbit(a) ? a : b;
  return std::fmin(a, b);
}
template <class T> T mag_ref(T a, T b, bool larger) {
  if (std::isnan(a) || std::isnan(b) || std::fabs(a) == std::fabs(b)) return larger ? fmax_ref(a, b) : fmin_ref(a, b);
  return (std::fabs(a) > std::fabs(b)) == larger ? a : b;
}

const std::vector<std::string> kReferenced = {"Ceil", "Floor", "Trunc", "Rint", "NearbyInt", "Round", "Frac", "Abs",
                                              "Sqr", "Inv", "Add", "Sub", "Mul", "Div", "CopySign", "Fdim", "Fmax",
                                              "Fmin", "MaxMag", "MinMag", "Fmod", "Remainder"};

template <class T> T reference(const std::string& f, T a, T b) {
  if (f == "Ceil") return std::ceil(a);
  if (f == "Floor") return std::floor(a);
  if (f == "Trunc") return std::trunc(a);
  if (f == "Rint" || f == "NearbyInt") return std::nearbyint(a);
  if (f == "Round") return std::round(a);
  if (f == "Frac") return std::isinf(a) ? std::copysign(T(0), a) : std::copysign(a - std::trunc(a), a);
  if (f == "Abs") return std::fabs(a);
  if (f == "Sqr") return a * a;
  if (f == "Inv") return T(1) / a;
  if (f == "Add") return a + b;
  if (f == "Sub") return a - b;
  if (f == "Mul") return a * b;
  if (f == "Div") return a / b;
  if (f == "CopySign") return std::copysign(a, b);
  if (f == "Fdim") return std::fdim(a, b);
  if (f == "Fmax") return fmax_ref(a, b);
  if (f == "Fmin") return fmin_ref(a, b);
  if (f == "MaxMag") return mag_ref(a, b, true);
  if (f == "MinMag") return mag_ref(a, b, false);
  if (f == "Fmod") return std::fmod(a, b);
  if (f == "Remainder") return std::remainder(a, b);
  ADD_FAILURE() << "no reference for " << f;
  return a;
}

template <class T> struct Bits;
template <> struct Bits<float> { using U = uint32_t; };
template <> struct Bits<double> { using U = uint64_t; };

// Distance in representable numbers (0 when equal, both NaN, or the same zero).
template <class T> uint64_t ulp_distance(T got, T want) {
  if (std::isnan(got) || std::isnan(want)) return std::isnan(got) && std::isnan(want) ? 0 : UINT64_MAX;
  using U = typename Bits<T>::U;
  auto key = [](T x) {  // monotone map of the bit patterns onto the integers, both zeros at 0
    U u;
    std::memcpy(&u, &x, sizeof u);
    const U sign = U(1) << (sizeof(U) * 8 - 1);
    return (u & sign) ? -int64_t(u & ~sign) : int64_t(u);
  };
  const int64_t a = key(got), b = key(want);
  return a > b ? uint64_t(a - b) : uint64_t(b - a);
}

// Inputs that reach every class: specials, random bit patterns, integers and half-integers.
template <class T> std::vector<T> inputs(std::mt19937_64& rng, size_t n) {
  using L = std::numeric_limits<T>;
  std::vector<T> v = {T(0), T(-0.0), T(0.5), T(-0.5), T(1.5), T(-2.5), T(2.5), T(3), T(-3), L::infinity(),
                      -L::infinity(), L::quiet_NaN(), L::denorm_min(), -L::denorm_min(), L::min(), L::max(),
                      -L::max(), T(1) / L::epsilon(), T(0.5) / L::epsilon() + T(0.5), T(0.49999997)};
  using U = typename Bits<T>::U;
  while (v.size() < n) {
    const int kind = int(rng() % 3);
    if (kind == 0) {
      U u = U(rng());
      T x;
      std::memcpy(&x, &u, sizeof x);
      v.push_back(x);
    } else if (kind == 1) {
      v.push_back(T(int64_t(rng() % 2001) - 1000) * T(0.5));
    } else {
      v.push_back(T(std::ldexp(double(rng() % 100000) / 99999.0 - 0.5, int(rng() % 40) - 20)));
    }
  }
  return v;
}

// Bound in ulps: exact functions 0; the EP reciprocal and quotient keep half the mantissa.
template <class T> uint64_t bound(const Entry& e, int slot) {
  if (e.exact || slot != 2) return 0;
  return sizeof(T) == 4 ? (1u << 13) : (1ull << 27);
}

template <class T> void check_entry(const Entry& e) {
  std::mt19937_64 rng(42);
  const size_t n = 3001;
  std::vector<T> a = inputs<T>(rng, n), b = inputs<T>(rng, n);
  std::shuffle(b.begin(), b.end(), rng);
  const int stride = e.strided ? 3 : 1;
  std::vector<T> sa(n * stride), sb(n * stride), r(n * stride);
  for (size_t i = 0; i < n; ++i) sa[i * stride] = a[i], sb[i * stride] = b[i];
  const int32_t N = int32_t(n);
  for (int slot = 0; slot < 3; ++slot) {
    std::fill(r.begin(), r.end(), T(-7));
    const bool two = e.shape == Shape::v2;
    if (!e.strided && two) reinterpret_cast<void (*)(int32_t, const T*, const T*, T*)>(e.ttab[slot])(N, sa.data(), sb.data(), r.data());
    if (!e.strided && !two) reinterpret_cast<void (*)(int32_t, const T*, T*)>(e.ttab[slot])(N, sa.data(), r.data());
    if (e.strided && two)
      reinterpret_cast<void (*)(int32_t, const T*, int32_t, const T*, int32_t, T*, int32_t)>(e.ttab[slot])(
          N, sa.data(), stride, sb.data(), stride, r.data(), stride);
    if (e.strided && !two)
      reinterpret_cast<void (*)(int32_t, const T*, int32_t, T*, int32_t)>(e.ttab[slot])(N, sa.data(), stride, r.data(), stride);
    int failures = 0;
    for (size_t i = 0; i < n && failures < 5; ++i) {
      const T want = reference<T>(e.func, a[i], two ? b[i] : a[i]);
      const T got = r[i * stride];
      if (ulp_distance(got, want) > bound<T>(e, slot)) {
        ++failures;
        ADD_FAILURE() << e.names[slot] << "(" << a[i] << (two ? ", " + std::to_string(b[i]) : "") << ") = " << got
                      << ", want " << want;
      }
    }
  }
}

TEST(SimpleKernels, MatchTheCLibraryInEverySlot) {
  std::fesetround(FE_TONEAREST);
  int checked = 0;
  for (size_t k = 0; k < nrx::zar::catalog::count; ++k) {
    const Entry& e = nrx::zar::catalog::entries[k];
    if (!e.kernel || (e.type != 's' && e.type != 'd') || std::find(kReferenced.begin(), kReferenced.end(), e.func) == kReferenced.end()) continue;
    SCOPED_TRACE(e.names[3]);
    if (e.type == 's') check_entry<float>(e);
    else check_entry<double>(e);
    ++checked;
  }
  EXPECT_GE(checked, 2 * 2 * 21);  // s and d, unit and strided, every real simple function but Modf, NextAfter, LinearFrac
}

// Modf, NextAfter and LinearFrac have their own shapes or references.
TEST(SimpleKernels, ModfSplitsIntoIntegralAndFractionalParts) {
  const double x[] = {-3.0, 2.75, -0.25, 1e300, -INFINITY, 0.0, -0.0, 4503599627370495.5};
  double ip[8], fp[8];
  zardModf(8, x, ip, fp);
  for (int i = 0; i < 8; ++i) {
    double wi;
    const double wf = std::modf(x[i], &wi);
    EXPECT_EQ(std::bit_cast<uint64_t>(ip[i]), std::bit_cast<uint64_t>(wi)) << x[i];
    EXPECT_EQ(std::bit_cast<uint64_t>(fp[i]), std::bit_cast<uint64_t>(wf)) << x[i];
  }
}

TEST(SimpleKernels, NextAfterMatchesTheCLibrary) {
  std::mt19937_64 rng(7);
  for (int type = 0; type < 2; ++type) {
    std::vector<double> a = inputs<double>(rng, 500), b = inputs<double>(rng, 500), r(500);
    std::shuffle(b.begin(), b.end(), rng);
    b[3] = a[3];
    zardNextAfter(500, a.data(), b.data(), r.data());
    for (int i = 0; i < 500; ++i) {
      const double want = a[i] == b[i] ? a[i] : std::nextafter(a[i], b[i]);
      EXPECT_EQ(ulp_distance(r[i], want), 0u) << a[i] << " towards " << b[i];
    }
    std::vector<float> fa(a.begin(), a.end()), fb(b.begin(), b.end()), fr(500);
    zarsNextAfter(500, fa.data(), fb.data(), fr.data());
    for (int i = 0; i < 500; ++i) {
      const float want = fa[i] == fb[i] ? fa[i] : std::nextafter(fa[i], fb[i]);
      EXPECT_EQ(ulp_distance(fr[i], want), 0u) << fa[i] << " towards " << fb[i];
    }
  }
}

TEST(SimpleKernels, LinearFracIsWithinTwoUlpsOfTheExactQuotient) {
  std::mt19937_64 rng(3);
  std::uniform_real_distribution<double> u(-100, 100);
  std::vector<double> a(999), b(999), r(999);
  for (auto& x : a) x = u(rng);
  for (auto& x : b) x = u(rng);
  zardLinearFrac(999, a.data(), b.data(), 1.5, -2.0, 0.25, 3.0, r.data());
  for (int i = 0; i < 999; ++i) {
    const double want = double((1.5L * a[i] - 2.0L) / (0.25L * b[i] + 3.0L));
    EXPECT_LE(ulp_distance(r[i], want), 2u) << a[i] << ", " << b[i];
  }
}

// Complex products against long double, normwise: |error| <= 2 eps |a||b|.
template <class C, class R>
void check_products(void (*mul)(int32_t, const C*, const C*, C*), bool conj_b) {
  std::mt19937_64 rng(11);
  std::uniform_real_distribution<R> u(-1e3, 1e3);
  std::vector<C> a(101), b(101), r(101);
  for (auto& x : a) x = {u(rng), u(rng)};
  for (auto& x : b) x = {u(rng), u(rng)};
  mul(101, a.data(), b.data(), r.data());
  for (int i = 0; i < 101; ++i) {
    const long double br = b[i].real, bi = conj_b ? -(long double)b[i].imag : b[i].imag;
    const long double re = a[i].real * br - a[i].imag * bi, im = a[i].real * bi + a[i].imag * br;
    const long double tol = 2 * std::numeric_limits<R>::epsilon() * std::hypot((long double)a[i].real, (long double)a[i].imag) *
                            std::hypot(br, bi);
    EXPECT_NEAR(r[i].real, re, tol);
    EXPECT_NEAR(r[i].imag, im, tol);
  }
}

TEST(ComplexKernels, ProductsAreAccurateNormwise) {
  check_products<NrxComplex8, float>(zarcMul, false);
  check_products<NrxComplex8, float>(zarcMul_11, false);
  check_products<NrxComplex16, double>(zarzMul_50, false);
  check_products<NrxComplex8, float>(zarcMulByConj, true);
  check_products<NrxComplex16, double>(zarzMulByConj_26, true);
}

TEST(ComplexKernels, ConjAddSubAreExactPerComponent) {
  NrxComplex16 a[5] = {{1, 2}, {-0.0, 0.0}, {1e308, -1e308}, {INFINITY, NAN}, {3.5, -4.25}};
  NrxComplex16 b[5] = {{0.5, -2}, {0.0, -0.0}, {1e308, -1e308}, {1, 1}, {-3.5, 4.25}};
  NrxComplex16 r[5];
  zarzConj(5, a, r);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(std::bit_cast<uint64_t>(r[i].imag), std::bit_cast<uint64_t>(-a[i].imag));
  zarzAdd_26(5, a, b, r);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(std::bit_cast<uint64_t>(r[i].real), std::bit_cast<uint64_t>(a[i].real + b[i].real));
    if (!std::isnan(a[i].imag)) {
      EXPECT_EQ(r[i].imag, a[i].imag + b[i].imag);
    }
  }
  zarzSub(5, a, b, r);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(std::bit_cast<uint64_t>(r[i].real), std::bit_cast<uint64_t>(a[i].real - b[i].real));
}

}  // namespace
