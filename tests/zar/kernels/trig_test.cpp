// Circular kernels (Sin, Cos, SinCos, Tan and the pi-scaled and degree forms): special
// results and status codes in every flavour and for unit and strided tables; accuracy against
// MPFR next to the zeros and poles of the pi-scaled and degree forms and at the arguments hardest
// for the reduction (the doubles and floats nearest to multiples of pi/2, found from the
// continued fractions of pi/2^k), at huge arguments and on registers that mix huge and
// ordinary lanes.
#include <gtest/gtest.h>
#include <mpfr.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "nrx/zar.h"
#include "nrx/zar_functions.h"
#include "tests/zar/kernels/trig_hard.h"
#include "tests/zar/kernels/within_bound.h"
#include "tools/accuracy/accuracy.h"

namespace {

namespace acc = nrx::accuracy;
using nrx::test::huge_arguments;
using nrx::test::near_multiples_of_half_pi;

class Hard : public testing::TestWithParam<const char*> {};

// Every distinct kernel of the table against its bound: a short uniform sample plus the hard
// and huge arguments, and no special-value mismatch.
TEST_P(Hard, WithinBound) {
  const bool single = GetParam()[0] == 's';
  acc::Options o;
  o.samples = 2000;
  o.special = single ? near_multiples_of_half_pi(24, -30, 104) : near_multiples_of_half_pi(53, -60, 970);
  for (double x : huge_arguments(single)) o.special.push_back(x);
  nrx::test::expect_within_bound(GetParam(), o);
}

// Log-uniform over the whole finite range (with the huge arguments that only the long
// reduction reaches), and uniform over the ordinary range.
TEST_P(Hard, WholeRange) {
  const bool single = GetParam()[0] == 's';
  for (double hi : {single ? double(FLT_MAX) : DBL_MAX, 0x1p24, 10.0}) {
    acc::Options o;
    o.samples = 4000;
    o.range = true;
    o.lo = -hi, o.hi = hi;
    nrx::test::expect_within_bound(GetParam(), o, "up to " + std::to_string(hi));
  }
}

INSTANTIATE_TEST_SUITE_P(Circular, Hard,
                         testing::Values("dSin", "dCos", "dTan", "dSinCos", "sSin", "sCos", "sTan", "sSinCos", "dSinpi",
                                         "dCospi", "sSinpi", "sCospi"),
                         [](const testing::TestParamInfo<const char*>& p) { return std::string(p.param); });

// The count nearest floats (single) or doubles above x and below it, appended to out.
void push_neighbours(std::vector<double>& out, double x, int count, bool single) {
  double up = x, down = x;
  for (int s = 0; s < count; ++s) {
    up = single ? double(std::nextafter(float(up), INFINITY)) : std::nextafter(up, INFINITY);
    down = single ? double(std::nextafter(float(down), -INFINITY)) : std::nextafter(down, -INFINITY);
    out.push_back(up), out.push_back(down);
  }
}

// ---- the rows of the tangent ----

// The multiples of pi/32 and their neighbours, over two periods and at larger arguments:
// odd multiples are where tan x passes from one table row to the next (the reduced argument
// at its largest, where the tangent's polynomial and the sum T_k + t are worst), and every
// eighth row boundary is where the quotient turns from tan to -cot.
std::vector<double> tan_row_edges(bool single) {
  std::vector<double> out;
  for (int m = -64; m <= 64; ++m) {
    for (double base : {0.0, 1000.0, 7000.0}) {
      const double x = base + m * M_PI / 32;
      out.push_back(single ? double(float(x)) : x);
      push_neighbours(out, x, 2, single);
    }
  }
  return out;
}

class TanRows : public testing::TestWithParam<const char*> {};

TEST_P(TanRows, WithinBound) {
  acc::Options o;
  o.samples = 1000;
  o.special = tan_row_edges(GetParam()[0] == 's');
  nrx::test::expect_within_bound(GetParam(), o);
}

INSTANTIATE_TEST_SUITE_P(Tan, TanRows, testing::Values("dTan", "sTan"),
                         [](const testing::TestParamInfo<const char*>& p) { return std::string(p.param); });

// ---- float arguments beyond the ordinary reduction ----

// Floats from 10^4 to the top of the range: both neighbours of every power of two (the edges
// of the exponent groups whose windows of 16/pi the long path picks, eight exponents each),
// spread mantissas of every exponent, and the ordinary path's limit with its neighbours.
std::vector<double> float_long_path_arguments() {
  std::vector<double> out;
  for (int e = 13; e <= 127; ++e) {
    const float p = std::ldexp(1.0f, e);
    for (float x : {p, std::nextafter(p, 0.0f), std::nextafter(p, INFINITY)}) out.push_back(x), out.push_back(-x);
    for (int k = 1; k < 16; ++k) {
      const float x = std::ldexp(1.0f + k / 16.0f + k * 0x1p-19f, e);
      out.push_back(x), out.push_back(-x);
    }
  }
  push_neighbours(out, 10000.0, 3, true);
  return out;
}

class FloatLongPath : public testing::TestWithParam<const char*> {};

TEST_P(FloatLongPath, WithinBound) {
  acc::Options o;
  o.samples = 500;
  o.special = float_long_path_arguments();
  nrx::test::expect_within_bound(GetParam(), o);
}

INSTANTIATE_TEST_SUITE_P(Circular, FloatLongPath, testing::Values("sSin", "sCos", "sTan", "sSinCos"),
                         [](const testing::TestParamInfo<const char*>& p) { return std::string(p.param); });

// ---- pi-scaled and degree forms next to their zeros and poles ----

// The neighbours (one to three ulp away) of the multiples of a quarter period, where the
// results are tiny or huge: a reduction that rounds x by an inexact constant first loses
// the relative accuracy there.
std::vector<double> near_quarter_periods(double quarter, bool single) {
  std::vector<double> out;
  for (int k = -40; k <= 40; ++k) {
    for (double m : {double(k), k * 1024.0 + 1, k * 65536.0 + 3}) {
      push_neighbours(out, m * quarter, 3, single);
    }
  }
  return out;
}

class NearZeros : public testing::TestWithParam<const char*> {};

TEST_P(NearZeros, WithinBound) {
  const std::string name = GetParam();
  acc::Options o;
  o.samples = 1000;
  o.special = near_quarter_periods(name.find("pi") != std::string::npos ? 0.5 : 90.0, name[0] == 's');
  nrx::test::expect_within_bound(GetParam(), o);
}

INSTANTIATE_TEST_SUITE_P(Units, NearZeros,
                         testing::Values("dSinpi", "dCospi", "dTanpi", "dSind", "dCosd", "dTand", "sSinpi", "sCospi",
                                         "sTanpi", "sSind", "sCosd", "sTand"),
                         [](const testing::TestParamInfo<const char*>& p) { return std::string(p.param); });

// ---- exact values of the pi-scaled and degree forms ----

// Arguments whose sine or cosine is exactly +-1 or +-1/2. At the table points (the reduced
// argument 0) every flavour must return the table value itself; at 30 degrees and its
// relatives the result is one rounding of an exact 1/2, which HA must hit (the error near a
// power of two has half the room below it).
struct ExactRow {
  const char* fn;
  double x, want;
  bool table_point;
};

const ExactRow kExactRows[] = {
    {"Sinpi", 0.5, 1, true},  {"Sinpi", -1.5, 1, true},   {"Sinpi", 2.5, 1, true},     {"Cospi", 1, -1, true},
    {"Cospi", -2, 1, true},   {"Cospi", 3, -1, true},     {"Sind", 90, 1, true},       {"Sind", -270, 1, true},
    {"Sind", 450, 1, true},   {"Cosd", 180, -1, true},    {"Cosd", -360, 1, true},     {"Cosd", 540, -1, true},
    {"Sind", 30, 0.5, false}, {"Sind", 150, 0.5, false},  {"Sind", -30, -0.5, false},  {"Sind", 390, 0.5, false},
    {"Cosd", 60, 0.5, false}, {"Cosd", 120, -0.5, false}, {"Cosd", -240, -0.5, false}, {"Cosd", 300, 0.5, false},
};

template <class T> void check_exact_rows() {
  for (const ExactRow& row : kExactRows) {
    const std::string name = std::string(sizeof(T) == 4 ? "s" : "d") + row.fn;
    int slot;
    const nrx::zar::catalog::Entry* e = acc::find_entry(name, &slot);
    ASSERT_NE(e, nullptr) << name;
    for (int s = 0; s < 3; ++s) {
      if (!row.table_point && s != 1) continue;
      // the argument in every lane position of a register and the tail
      std::vector<T> x(37, T(row.x)), r(37);
      reinterpret_cast<void (*)(int32_t, const T*, T*)>(e->ttab[s])(37, x.data(), r.data());
      for (int i = 0; i < 37; ++i) ASSERT_EQ(r[i], T(row.want)) << e->names[s] << "(" << row.x << ") lane " << i;
    }
  }
}

TEST(UnitsExact, Values) {
  check_exact_rows<double>();
  check_exact_rows<float>();
}

// ---- special results and codes, every flavour, unit and strided ----

enum Want { kNaN, kPosZero, kNegZero, kOne, kSame, kRef };

struct Row {
  const char* fn;  // "Sin", "Cos", "Tan", "SinCos" (first result sin, second cos)
  double x;
  Want want, want2;  // want2: SinCos's cosine
  int code;
};

const double kInf = std::numeric_limits<double>::infinity();

// The fault each guards against: infinities not reported (code 1), NaN reported, the sign of
// zero lost by the sum with the table, huge arguments sent to the scalar routine (whose
// finite branch reports nothing either way, so the results are compared with MPFR).
const Row kRows[] = {
    {"Sin", kInf, kNaN, kNaN, 1},
    {"Sin", -kInf, kNaN, kNaN, 1},
    {"Sin", NAN, kNaN, kNaN, 0},
    {"Sin", -0.0, kNegZero, kNaN, 0},
    {"Sin", 0.0, kPosZero, kNaN, 0},
    {"Sin", 1e22, kRef, kNaN, 0},
    {"Sin", -1e-310, kSame, kNaN, 0},
    {"Sin", 1e-30, kSame, kNaN, 0},
    {"Sin", 20000, kRef, kNaN, 0},
    {"Cos", kInf, kNaN, kNaN, 1},
    {"Cos", -kInf, kNaN, kNaN, 1},
    {"Cos", NAN, kNaN, kNaN, 0},
    {"Cos", -0.0, kOne, kNaN, 0},
    {"Cos", 1e300, kRef, kNaN, 0},
    {"Cos", 1e-30, kOne, kNaN, 0},
    {"Tan", kInf, kNaN, kNaN, 1},
    {"Tan", -kInf, kNaN, kNaN, 1},
    {"Tan", NAN, kNaN, kNaN, 0},
    {"Tan", -0.0, kNegZero, kNaN, 0},
    {"Tan", 0.0, kPosZero, kNaN, 0},
    {"Tan", 1e22, kRef, kNaN, 0},
    {"Tan", -1e-30, kSame, kNaN, 0},
    {"SinCos", kInf, kNaN, kNaN, 1},
    {"SinCos", -kInf, kNaN, kNaN, 1},
    {"SinCos", NAN, kNaN, kNaN, 0},
    {"SinCos", -0.0, kNegZero, kOne, 0},
    {"SinCos", 1e22, kRef, kRef, 0},
    // Pi-scaled forms: IEEE 754 signs of exact zeros; no status ever; accuracy next to zeros.
    {"Sinpi", 1.0, kPosZero, kNaN, 0},
    {"Sinpi", -1.0, kNegZero, kNaN, 0},
    {"Sinpi", 2.0, kPosZero, kNaN, 0},
    {"Sinpi", -2.0, kNegZero, kNaN, 0},
    {"Sinpi", 0x1p60, kPosZero, kNaN, 0},
    {"Sinpi", -0x1p60, kNegZero, kNaN, 0},
    {"Sinpi", 0x1.fffffffffffffp52, kPosZero, kNaN, 0},
    {"Sinpi", -0.0, kNegZero, kNaN, 0},
    {"Sinpi", 1 - 0x1p-53, kRef, kNaN, 0},
    {"Sinpi", 1e-300, kRef, kNaN, 0},
    {"Sinpi", 0.25, kRef, kNaN, 0},
    {"Sinpi", kInf, kNaN, kNaN, 0},
    {"Sinpi", -kInf, kNaN, kNaN, 0},
    {"Sinpi", NAN, kNaN, kNaN, 0},
    {"Cospi", 0.5, kPosZero, kNaN, 0},
    {"Cospi", -0.5, kPosZero, kNaN, 0},
    {"Cospi", 1.5, kPosZero, kNaN, 0},
    {"Cospi", -2.5, kPosZero, kNaN, 0},
    {"Cospi", 1e300, kOne, kNaN, 0},
    {"Cospi", 0x1p52 + 1, kRef, kNaN, 0},
    {"Cospi", 0.5 - 0x1p-54, kRef, kNaN, 0},
    {"Cospi", kInf, kNaN, kNaN, 0},
    {"Cospi", NAN, kNaN, kNaN, 0},
};

double reference(const std::string& fn, double x, bool second, bool single) {
  mpfr_t a, y;
  mpfr_inits2(200, a, y, (mpfr_ptr)0);
  mpfr_set_d(a, x, MPFR_RNDN);
  if (fn == "Sinpi") mpfr_sinpi(y, a, MPFR_RNDN);
  else if (fn == "Cospi") mpfr_cospi(y, a, MPFR_RNDN);
  else if (fn == "Cos" || second) mpfr_cos(y, a, MPFR_RNDN);
  else if (fn == "Tan") mpfr_tan(y, a, MPFR_RNDN);
  else mpfr_sin(y, a, MPFR_RNDN);
  const double r = single ? double(mpfr_get_flt(y, MPFR_RNDN)) : mpfr_get_d(y, MPFR_RNDN);
  mpfr_clears(a, y, (mpfr_ptr)0);
  return r;
}

void check(Want w, double x, double got, double ref, double ulp, const std::string& what) {
  switch (w) {
    case kNaN: EXPECT_TRUE(std::isnan(got)) << what << " = " << got; break;
    case kPosZero: EXPECT_TRUE(got == 0 && !std::signbit(got)) << what << " = " << got; break;
    case kNegZero: EXPECT_TRUE(got == 0 && std::signbit(got)) << what << " = " << got; break;
    case kOne: EXPECT_EQ(got, 1.0) << what; break;
    case kSame: EXPECT_EQ(got, x) << what; break;
    case kRef:  // relative to the reference: next to a zero of sin(pi x) the result is tiny
      EXPECT_LE(std::fabs(got - ref), 4 * ulp * std::max(std::fabs(ref), 0x1p-1000))
          << what << " = " << got << ", want " << ref;
      break;
  }
}

// Each row through every slot of the s and d tables, in the unit-stride table and in the
// strided one with stride 2, element 3 of 5 (the others ordinary), with the reported index.
template <class T> void run_row(const Row& row) {
  const std::string base = std::string(sizeof(T) == 4 ? "s" : "d") + row.fn;
  int slot;
  const nrx::zar::catalog::Entry* unit = acc::find_entry(base, &slot);
  const nrx::zar::catalog::Entry* strided = acc::find_entry(base + "I", &slot);
  ASSERT_TRUE(unit && strided) << base;
  const bool two = std::string(row.fn) == "SinCos";
  const T x = T(row.x);
  if (std::isinf(x) && !std::isinf(row.x)) return;  // a double row beyond the float range
  for (int s = 0; s < 3; ++s) {
    for (bool str : {false, true}) {
      T a[10], r1[10], r2[10];
      for (int i = 0; i < 10; ++i) a[i] = T(0.5 + i), r1[i] = r2[i] = T(-7);
      const int at = 3, inc = str ? 2 : 1;
      a[at * inc] = x;
      zarClearErrStatus();
      void* fn = (str ? strided : unit)->ttab[s];
      if (!str && !two) reinterpret_cast<void (*)(int32_t, const T*, T*)>(fn)(5, a, r1);
      if (!str && two) reinterpret_cast<void (*)(int32_t, const T*, T*, T*)>(fn)(5, a, r1, r2);
      if (str && !two) reinterpret_cast<void (*)(int32_t, const T*, int32_t, T*, int32_t)>(fn)(5, a, 2, r1, 2);
      if (str && two)
        reinterpret_cast<void (*)(int32_t, const T*, int32_t, T*, int32_t, T*, int32_t)>(fn)(5, a, 2, r1, 2, r2, 2);
      const std::string what = base + (str ? "I" : "") + " slot " + std::to_string(s) + " of " + std::to_string(row.x);
      EXPECT_EQ(zarGetErrStatus(), row.code) << what;
      // Four ulp at 1 (the results lie in [-2, 2] here), EP's 11 / 26 bits in slot 2.
      const double ulp = std::ldexp(1.0, (sizeof(T) == 4 ? -23 : -52) + (s == 2 ? (sizeof(T) == 4 ? 11 : 25) : 0));
      const double got = r1[at * inc];
      check(row.want, double(x), got, reference(row.fn, double(x), false, sizeof(T) == 4), ulp, what);
      if (two)
        check(row.want2, double(x), r2[at * inc], reference(row.fn, double(x), true, sizeof(T) == 4), ulp,
              what + " cos");
      // Neighbours are ordinary values, never touched by the special path.
      const double y = double(a[(at - 1) * inc]);
      const std::string f = row.fn;
      const double want = f == "Cos"     ? std::cos(y)
                          : f == "Tan"   ? std::tan(y)
                          : f == "Sinpi" ? std::sin(M_PI * y)
                          : f == "Cospi" ? std::cos(M_PI * y)
                                         : std::sin(y);
      EXPECT_NEAR(r1[(at - 1) * inc], want, 1e-6) << what;
      if (str) {
        EXPECT_EQ(r1[1], T(-7)) << what << ": gap of the result stride written";
      }
    }
  }
}

TEST(CircularSpecial, Rows) {
  for (const Row& row : kRows) {
    run_row<double>(row);
    run_row<float>(row);
  }
}

}  // namespace
