// Inverse circular kernels (Atan, Atan2, Asin, Acos and their pi forms): accuracy against MPFR
// at the inputs hardest for the reduction -- where the table index j = round(8 t) switches
// (t = n/d at odd sixteenths, either side, and their reciprocals), at the table nodes, at
// 1 - 2^-k for every k and next to 1/2 where Asin and Acos change branch, below the
// normal range and at the bound beyond which atan rounds to pi/2 -- and the exact results of
// the pi forms in every flavour, which an inexact division by pi or an inexact quadrant
// constant would miss.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "nrx/zar.h"
#include "nrx/zar_functions.h"
#include "tests/zar/kernels/within_bound.h"
#include "tools/accuracy/accuracy.h"

namespace {

namespace acc = nrx::accuracy;

// Arguments of one type (bits = 24 or 53) next to the index switches and nodes (j/16 for LA
// and EP, the interval ends 2^e (1 + m/8) for HA), their
// reciprocals, the neighbourhoods of 1, 1/2 and 1/sqrt(2), tiny and huge values.
std::vector<double> hard_arguments(int bits) {
  std::vector<double> base;
  for (int j = 0; j <= 16; ++j) base.push_back(j / 16.0);
  // the HA intervals: eighths of each octave of [1/16, 1) (quarters for double)
  for (int e = -4; e <= -1; ++e)
    for (int m = 1; m < 8; ++m) base.push_back(std::ldexp(1 + m / 8.0, e));
  base.push_back(M_SQRT1_2);
  base.push_back(0x1p60);
  std::vector<double> out;
  auto near = [&](double x, int k) {
    const double u = std::ldexp(1.0, std::ilogb(x) - bits + 1);
    for (int i = -k; i <= k; ++i) out.push_back(x + i * u);
  };
  for (double x : base) {
    if (x == 0) continue;
    near(x, 6);
    near(1 / x, 6);
    // the 14-bit estimate may pick either neighbour of a switch
    for (double e : {0x1p-14, -0x1p-14, 0x1p-13, -0x1p-13})
      out.push_back(x * (1 + e)), out.push_back(1 / (x * (1 + e)));
  }
  // 1 - x at every scale, where sqrt((1 - x) / 2) carries a low part larger than its last bit
  for (int k = 2; k < bits; ++k)
    for (double m : {1.0, 1.3751, 1.8213}) out.push_back(1 - std::ldexp(m, -k));
  const double tiny = bits == 24 ? 0x1p-149 : 0x1p-1074, min_normal = bits == 24 ? 0x1p-126 : 0x1p-1022;
  for (double x : {tiny, 3 * tiny, min_normal, min_normal * 0x1p30, bits == 24 ? 0x1p-90 : 0x1p-960, 1e-20, 1e-8})
    out.push_back(x);
  const size_t n = out.size();
  for (size_t i = 0; i < n; ++i) out.push_back(-out[i]);
  if (bits == 24)
    for (double& x : out) x = double(float(x));
  return out;
}

class Hard : public testing::TestWithParam<const char*> {};

// Every distinct kernel of the table within its bound, no special-value mismatch; a binary
// function gets every pair of a sparser choice of the arguments.
TEST_P(Hard, WithinBound) {
  int slot;
  const nrx::zar::catalog::Entry* e = acc::find_entry(GetParam(), &slot);
  ASSERT_NE(e, nullptr);
  const bool single = GetParam()[0] == 's';
  acc::Options o;
  o.samples = 2000;
  o.special = hard_arguments(single ? 24 : 53);
  if (e->shape == nrx::zar::catalog::Shape::v2) {  // every pair is measured: a sparser set
    std::vector<double> some;
    for (size_t i = 0; i < o.special.size(); i += 23) some.push_back(o.special[i]);
    o.special = some;
  }
  for (bool ftz : {false, true}) {
    o.ftz = ftz;
    nrx::test::expect_within_bound(*e, o, ftz ? " ftz" : "");
  }
}

// Log-uniform over the whole finite range, and uniform inside [-1, 1] where the reduction
// uses every table entry.
TEST_P(Hard, WholeRange) {
  int slot;
  const nrx::zar::catalog::Entry* e = acc::find_entry(GetParam(), &slot);
  const bool single = GetParam()[0] == 's';
  const bool unit = std::string(GetParam()).find("As") != std::string::npos ||
                    std::string(GetParam()).find("Ac") != std::string::npos;
  for (double hi : {unit ? 1.0 : single ? double(FLT_MAX) : DBL_MAX, 1.0, 1e-3}) {
    acc::Options o;
    o.samples = 4000;
    o.range = true;
    o.lo = -hi, o.hi = hi;
    nrx::test::expect_within_bound(*e, o, " up to " + std::to_string(hi));
  }
}

INSTANTIATE_TEST_SUITE_P(InverseCircular, Hard,
                         testing::Values("dAtan", "sAtan", "dAtan2", "sAtan2", "dAsin", "sAsin", "dAcos", "sAcos",
                                         "dAtanpi", "sAtanpi", "dAtan2pi", "sAtan2pi", "dAsinpi", "sAsinpi", "dAcospi",
                                         "sAcospi"),
                         [](const testing::TestParamInfo<const char*>& p) { return std::string(p.param); });

// ---- exact results of the pi forms, every flavour ----

// One row: the function, how its arguments are made from a magnitude m, and the exact result.
struct Exact {
  const char* fn;
  double y_of_m, x_of_m;  // arguments y = y_of_m m, x = x_of_m m (x unused by unary functions)
  double want;
  const char* fault;
};

// Quadrant results are exact multiples of 1/4; a kernel that divides by a rounded pi, or adds
// a rounded pi/4 to a rounded quadrant, misses them by an ulp for some magnitudes.
const Exact kExact[] = {
    {"Atan2pi", 1, 1, 0.25, "atan(1)/pi through the table node j = 8"},
    {"Atan2pi", -1, 1, -0.25, "sign of y on the node"},
    {"Atan2pi", 1, -1, 0.75, "1 - 1/4 in the second quadrant"},
    {"Atan2pi", -1, -1, -0.75, "1 - 1/4 in the third quadrant"},
    {"Atan2pi", 1, 0, 0.5, "y axis"},
    {"Atan2pi", -1, -0.0, -0.5, "y axis, x = -0"},
    {"Atan2pi", 0, -1, 1, "negative x axis"},
    {"Atan2pi", -0.0, -1, -1, "negative x axis below"},
    {"Atan2pi", 0, 1, 0, "positive x axis"},
};

const double kMagnitudes[] = {
    1,         3, 0.1, 1e-300, 1e300, 0x1p-1074, 0x1.fffffffffffffp1023, 7e-45, 3e38, 0x1p-149, 1.7976931348623157e308,
    123456.789};

template <class T> void check_exact() {
  for (const Exact& row : kExact) {
    for (double m : kMagnitudes) {
      const T y = T(row.y_of_m * m), x = T(row.x_of_m * m);
      if (!std::isfinite(y) || !std::isfinite(x) || (row.y_of_m != 0 && y == 0) || (row.x_of_m != 0 && x == 0))
        continue;
      int slot;
      const std::string base = std::string(sizeof(T) == 4 ? "s" : "d") + row.fn;
      const nrx::zar::catalog::Entry* e = acc::find_entry(base, &slot);
      ASSERT_NE(e, nullptr) << base;
      for (int s = 0; s < 3; ++s) {
        T a[3] = {T(0.5), y, T(0.25)}, b[3] = {T(2), x, T(-3)}, r[3];
        reinterpret_cast<void (*)(int32_t, const T*, const T*, T*)>(e->ttab[s])(3, a, b, r);
        EXPECT_EQ(r[1], T(row.want)) << e->names[s] << "(" << double(y) << ", " << double(x) << "): " << row.fault;
      }
    }
  }
}

// Unary pi forms at their exact points: Atanpi(+-1), Asinpi(+-1), Acospi(-1, 0, 1) and the
// infinities of Atanpi.
template <class T> void check_exact_unary() {
  struct U {
    const char* fn;
    double x, want;
  };
  const U rows[] = {
      {"Atanpi", 1, 0.25},   {"Atanpi", -1, -0.25}, {"Atanpi", INFINITY, 0.5}, {"Atanpi", -INFINITY, -0.5},
      {"Asinpi", 1, 0.5},    {"Asinpi", -1, -0.5},  {"Acospi", -1, 1},         {"Acospi", 0, 0.5},
      {"Acospi", -0.0, 0.5}, {"Acospi", 1, 0}};
  for (const U& u : rows) {
    int slot;
    const nrx::zar::catalog::Entry* e = acc::find_entry(std::string(sizeof(T) == 4 ? "s" : "d") + u.fn, &slot);
    ASSERT_NE(e, nullptr);
    for (int s = 0; s < 3; ++s) {
      T a[17], r[17];
      for (int i = 0; i < 17; ++i) a[i] = T(u.x);  // a full register and a one-lane tail
      zarClearErrStatus();
      reinterpret_cast<void (*)(int32_t, const T*, T*)>(e->ttab[s])(17, a, r);
      for (int i = 0; i < 17; ++i) EXPECT_EQ(r[i], T(u.want)) << e->names[s] << "(" << u.x << ") lane " << i;
      EXPECT_EQ(zarGetErrStatus(), 0) << e->names[s];
    }
  }
}

TEST(InverseCircularExact, PiFormsAtQuadrantPoints) {
  check_exact<double>();
  check_exact<float>();
  check_exact_unary<double>();
  check_exact_unary<float>();
}

// Random points: atan2 is odd in y, and Atan2 of (x, y) equals Atan of y/x where that quotient
// is exact (x a power of two) -- two tables that must agree lane for lane in LA and EP. HA Atan
// leaves out the rest of the reduced quotient, which weighs little beside its last bit but can
// move a result that lies near a rounding boundary: there the two are one ulp apart at most.
template <class T> void check_agreement() {
  std::mt19937_64 rng(11);
  std::uniform_real_distribution<double> u(-8, 8);
  std::uniform_int_distribution<int> k(-20, 20);
  constexpr int n = 1000;
  std::vector<T> y(n), x(n), ny(n), q(n), r1(n), r2(n), r3(n);
  for (int i = 0; i < n; ++i) {
    y[i] = T(u(rng)), x[i] = T(std::ldexp(1.0, k(rng)));
    ny[i] = -y[i], q[i] = y[i] / x[i];
  }
  const char t = sizeof(T) == 4 ? 's' : 'd';
  int slot;
  for (const auto& [one, two] : {std::pair{"Atan", "Atan2"}, std::pair{"Atanpi", "Atan2pi"}}) {
    const nrx::zar::catalog::Entry* a1 = acc::find_entry(std::string(1, t) + one, &slot);
    const nrx::zar::catalog::Entry* a2b = acc::find_entry(std::string(1, t) + two, &slot);
    ASSERT_TRUE(a1 && a2b);
    for (int s = 0; s < 3; ++s) {
      reinterpret_cast<void (*)(int32_t, const T*, const T*, T*)>(a2b->ttab[s])(n, y.data(), x.data(), r1.data());
      reinterpret_cast<void (*)(int32_t, const T*, const T*, T*)>(a2b->ttab[s])(n, ny.data(), x.data(), r2.data());
      reinterpret_cast<void (*)(int32_t, const T*, T*)>(a1->ttab[s])(n, q.data(), r3.data());
      for (int i = 0; i < n; ++i) {
        ASSERT_EQ(r2[i], -r1[i]) << a2b->names[s] << " not odd at " << double(y[i]) << ", " << double(x[i]);
        if (s == 1)
          ASSERT_LE(std::fabs(double(r3[i]) - double(r1[i])),
                    double(std::nextafter(std::fabs(r1[i]), T(4)) - std::fabs(r1[i])))
              << a1->names[s] << " of " << double(q[i]) << " and " << a2b->names[s];
        else ASSERT_EQ(r3[i], r1[i]) << a1->names[s] << " of " << double(q[i]) << " and " << a2b->names[s];
      }
    }
  }
}

TEST(InverseCircularExact, Atan2AgreesWithAtanOnExactQuotients) {
  check_agreement<double>();
  check_agreement<float>();
}

// atan2(y 2^k, x 2^k) = atan2(y, x): registers whose |x| + |y| is inside the range the LA and
// EP kernels take as it is and registers outside it (scaled far up or down, or holding one NaN
// or zero pair) must give the same bits, lane for lane, in every flavour.
template <class T> void check_scaling() {
  std::mt19937_64 rng(5);
  std::uniform_real_distribution<double> mag(-3, 3);
  std::bernoulli_distribution neg(0.5);
  constexpr int n = 70;  // four full registers of float and a tail
  std::vector<T> y(n), x(n), ys(n), xs(n), r0(n), r1(n);
  for (int i = 0; i < n; ++i) {
    y[i] = T((neg(rng) ? -1 : 1) * std::exp2(mag(rng)));
    x[i] = T((neg(rng) ? -1 : 1) * std::exp2(mag(rng)));
  }
  const std::vector<int> scales = sizeof(T) == 4 ? std::vector<int>{-122, -103, -97, 0, 60, 119, 122}
                                                 : std::vector<int>{-1015, -963, -957, 0, 500, 1015, 1018};
  const char t = sizeof(T) == 4 ? 's' : 'd';
  int slot;
  for (const char* fn : {"Atan2", "Atan2pi"}) {
    const nrx::zar::catalog::Entry* e = acc::find_entry(std::string(1, t) + fn, &slot);
    ASSERT_NE(e, nullptr);
    for (int s = 0; s < 3; ++s) {
      const auto call = reinterpret_cast<void (*)(int32_t, const T*, const T*, T*)>(e->ttab[s]);
      call(n, y.data(), x.data(), r0.data());
      for (int k : scales) {
        for (int i = 0; i < n; ++i) ys[i] = std::ldexp(y[i], k), xs[i] = std::ldexp(x[i], k);
        call(n, ys.data(), xs.data(), r1.data());
        for (int i = 0; i < n; ++i)
          ASSERT_EQ(r1[i], r0[i]) << e->names[s] << " at 2^" << k << ": " << double(y[i]) << ", " << double(x[i]);
      }
      // one lane that needs the full treatment in the second register, zeros in the third
      ys = y, xs = x;
      ys[20] = std::numeric_limits<T>::quiet_NaN();
      ys[40] = 0, xs[40] = 0;
      call(n, ys.data(), xs.data(), r1.data());
      for (int i = 0; i < n; ++i) {
        if (i == 20) EXPECT_TRUE(std::isnan(r1[i])) << e->names[s];
        else if (i == 40) EXPECT_EQ(r1[i], T(0)) << e->names[s];
        else ASSERT_EQ(r1[i], r0[i]) << e->names[s] << " beside a NaN or zero lane, lane " << i;
      }
    }
  }
}

// Every pair of magnitudes around the bounds of |x| + |y| below which Atan2 scales its
// arguments (2^-260, 2^-40 for float) and of ratios around the bound below which HA takes
// the quotient y/x in long double (2^-700, 2^-60), both signs: the two paths and the two
// sides of the ratio bound must all stay within the flavour's bound against MPFR.
std::vector<double> ratio_edges(bool single) {
  const int scale = single ? -40 : -260, ratio = single ? -60 : -700, bits = single ? 24 : 53;
  std::vector<double> out;
  for (int k : {scale - 2, scale, scale + 1, 0, single ? 60 : 500}) {
    const double x = std::ldexp(1.3, k);
    out.push_back(x);
    for (double f : {0.5, 1.0, 2.0})
      for (int i = -2; i <= 2; ++i) out.push_back(x * std::ldexp(f, ratio) * (1 + std::ldexp(i, 1 - bits)));
  }
  const size_t n = out.size();
  for (size_t i = 0; i < n; ++i) out.push_back(-out[i]);
  if (single)
    for (double& v : out) v = double(float(v));
  return out;
}

TEST(InverseCircularExact, Atan2AtTheRangeAndRatioBounds) {
  for (const char* fn : {"dAtan2", "sAtan2", "dAtan2pi", "sAtan2pi"}) {
    acc::Options o;
    o.samples = 0;
    o.special = ratio_edges(fn[0] == 's');
    nrx::test::expect_within_bound(fn, o, "ratio edges");
  }
}

TEST(InverseCircularExact, Atan2ScaleFree) {
  check_scaling<double>();
  check_scaling<float>();
}

}  // namespace
