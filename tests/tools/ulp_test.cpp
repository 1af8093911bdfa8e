// Rounding into a format and ulp errors, against values worked out by hand.
#include <gtest/gtest.h>
#include <mpfr.h>

#include <cfloat>
#include <cmath>
#include <random>

#include "tools/accuracy/mp.h"
#include "tools/accuracy/ulp.h"

namespace nrx::accuracy {
namespace {

// m * 2^e + m2 * 2^e2 exactly, at 256 bits.
struct Value {
  double m;
  long e;
  double m2 = 0;
  long e2 = 0;
};
void set(Mp& x, Value v) {
  Mp t(256);
  mpfr_mul_2si(x, Mp(256, v.m), v.e, MPFR_RNDN);
  mpfr_mul_2si(t, Mp(256, v.m2), v.e2, MPFR_RNDN);
  mpfr_add(x, x, t, MPFR_RNDN);
}

struct RoundCase {
  const char* what;
  Format f;
  Value exact;
  double want;
};

const RoundCase kRound[] = {
    {"half the smallest subnormal ties to zero", kDouble, {1, -1075}, 0.0},
    {"just above half the smallest subnormal", kDouble, {1, -1075, 1, -1140}, 0x1p-1074},
    {"three quarters of the smallest subnormal", kDouble, {3, -1076}, 0x1p-1074},
    {"1.5 subnormal units tie to even", kDouble, {1.5, -1074}, 0x1p-1073},
    {"2.5 subnormal units tie to even", kDouble, {2.5, -1074}, 0x1p-1073},
    {"negative subnormal", kDouble, {-3.25, -1074}, -3 * 0x1p-1074},
    {"midpoint above the largest finite ties to infinity", kDouble, {1, 1024, -1, 970}, INFINITY},
    {"just below that midpoint", kDouble, {1, 1024, -(1 + 0x1p-20), 970}, DBL_MAX},
    {"above a midpoint rounds up", kDouble, {1, 0, 1 + 0x1p-27, -53}, 1 + 0x1p-52},
    {"single: half the smallest subnormal", kSingle, {1, -150}, 0.0},
    {"single: above half the smallest subnormal", kSingle, {1, -150, 1, -170}, 0x1p-149},
    {"single: subnormal tie to even", kSingle, {3, -150}, 0x1p-148},
    {"single: midpoint above FLT_MAX", kSingle, {1, 128, -1, 103}, INFINITY},
    {"single: below that midpoint", kSingle, {1, 128, -(1 + 0x1p-20), 103}, FLT_MAX},
};

TEST(Rounding, HandWorkedCases) {
  for (const RoundCase& c : kRound) {
    Mp x(256);
    set(x, c.exact);
    EXPECT_EQ(rounded(x, c.f), c.want) << c.what;
    EXPECT_EQ(std::signbit(rounded(x, c.f)), std::signbit(c.want)) << c.what;
  }
}

// A long double holds 64 bits, so converting one to double or float is a single correct
// rounding done by the hardware: the MPFR path must agree everywhere, subnormals included.
TEST(Rounding, AgreesWithHardwareConversion) {
  std::mt19937_64 g(7);
  for (int i = 0; i < 20000; ++i) {
    const long double m = 1.0L + (long double)(g() >> 1) * 0x1p-63L;
    const int e = int(g() % 2400) - 1200;
    const long double v = ldexpl((g() & 1) ? m : -m, e);
    Mp x(64);
    mpfr_set_ld(x, v, MPFR_RNDN);
    ASSERT_EQ(rounded(x, kDouble), (double)v) << (double)v;
    if (e > -170 && e < 140) {
      ASSERT_EQ(rounded(x, kSingle), (double)(float)v) << (double)v;
    }
  }
}

struct UlpExpCase {
  Format f;
  double x;
  long want;
};
const UlpExpCase kUlpExp[] = {
    {kDouble, 1.0, -52},         {kDouble, 0.75, -53},        {kDouble, 0.0, -1074},     {kDouble, 0x1p-1074, -1074},
    {kDouble, 0x1p-1022, -1074}, {kDouble, 0x1p-1021, -1073}, {kDouble, DBL_MAX, 971},   {kDouble, INFINITY, 971},
    {kSingle, 1.0, -23},         {kSingle, 0.0, -149},        {kSingle, 0x1p-126, -149}, {kSingle, FLT_MAX, 104},
};

TEST(UlpExponent, AtTheExactValue) {
  for (const UlpExpCase& c : kUlpExp) {
    Mp x(64, c.x);
    EXPECT_EQ(ulp_exponent(x, c.f), c.want) << c.x;
  }
  Mp huge(64);
  mpfr_set_ui_2exp(huge, 1, 3000, MPFR_RNDN);  // beyond the format: the ulp of its top binade
  EXPECT_EQ(ulp_exponent(huge, kDouble), 971);
}

struct ErrCase {
  const char* what;
  Format f;
  Value exact;
  double got;
  double ulp;
};
const ErrCase kErr[] = {
    {"one ulp above 1", kDouble, {1, 0}, 1 + 0x1p-52, 1.0},
    {"below 1 the ulp is halved, at the exact value", kDouble, {1, 0}, 1 - 0x1p-53, 0.5},
    {"exact just below 1, result 1", kDouble, {1, 0, -1, -54}, 1.0, 0.5},
    {"subnormal: three units against four", kDouble, {3, -1074}, 4 * 0x1p-1074, 1.0},
    {"largest subnormal for the smallest normal", kDouble, {1, -1022}, 0x1p-1022 - 0x1p-1074, 1.0},
    {"exact zero, smallest subnormal", kDouble, {0, 0}, 0x1p-1074, 1.0},
    {"two ulps off at 1e10", kDouble, {0x1.2a05f2p+33, 0}, 0x1.2a05f2p+33 + 2 * 0x1p-19, 2.0},
    {"single: one ulp above 1", kSingle, {1, 0}, 1 + 0x1p-23, 1.0},
    {"single: subnormal five units against seven", kSingle, {5, -149}, 7 * 0x1p-149, 2.0},
    {"single: 1.5 times the smallest normal", kSingle, {1.5, -126}, 1.5 * 0x1p-126 + 0x1p-149, 1.0},
    {"overflowing exact value, infinite result", kDouble, {1, 1024}, INFINITY, 0.0},
    {"just above DBL_MAX, infinite result: an ulp", kDouble, {1, 1024, -(1 - 0x1p-27), 971}, INFINITY, 1.0},
    {"a finite exact value near 1, infinite result", kDouble, {1, 0}, INFINITY, INFINITY},
};

TEST(UlpError, HandWorkedCases) {
  for (const ErrCase& c : kErr) {
    Mp x(256);
    set(x, c.exact);
    const Check k = compare(c.got, x, x, c.f, {});
    EXPECT_EQ(k.kind, Mismatch::none) << c.what;
    if (std::isinf(c.ulp)) {
      EXPECT_GT(k.ulp, 1e300) << c.what;
    } else {
      EXPECT_NEAR(k.ulp, c.ulp, 1e-6) << c.what;
    }
  }
}

// Complex parts are measured in ulps of the modulus: a part of 2^-60 that is off by 2^-52
// has an error of one ulp when the modulus is 1, and of 2^60 ulps of its own.
TEST(UlpError, UnitOtherThanTheExactValue) {
  Mp part(64, 0x1p-60), unit(64, 1.0);
  EXPECT_NEAR(ulp_error(0x1p-60 + 0x1p-52, part, unit, kDouble), 1.0, 1e-12);
  EXPECT_EQ(ulp_error(0x1p-60 + 0x1p-52, part, part, kDouble), 0x1p60);
}

struct MismatchCase {
  const char* what;
  double exact;  // NaN and infinities as MPFR values
  double got;
  CompareOptions o;
  Mismatch want;
};
const MismatchCase kMismatch[] = {
    {"NaN expected, number returned", NAN, 1.0, {}, Mismatch::nan},
    {"number expected, NaN returned", 2.0, NAN, {}, Mismatch::nan},
    {"both NaN", NAN, -NAN, {}, Mismatch::none},
    {"+Inf expected, -Inf returned", INFINITY, -INFINITY, {}, Mismatch::inf},
    {"+Inf expected, DBL_MAX returned", INFINITY, DBL_MAX, {}, Mismatch::inf},
    {"-0 expected, +0 returned", -0.0, 0.0, {}, Mismatch::zero_sign},
    {"-0 expected, +0 returned, signs not counted", -0.0, 0.0, {.signed_zero = false}, Mismatch::none},
    {"correctly rounded function one ulp off", 1.0, 1 + 0x1p-52, {.correctly_rounded = true}, Mismatch::inexact},
    {"correctly rounded, the second accepted pattern",
     1.0,
     1 + 0x1p-52,
     {.correctly_rounded = true, .also = &kErr[0].got},
     Mismatch::none},
    {"flush-to-zero run: zero for a subnormal", 0x1p-1070, 0.0, {.flush = true}, Mismatch::none},
    {"flush-to-zero run: a subnormal passed through for zero",
     0.0,
     0x1p-1070,
     {.correctly_rounded = true, .flush = true},
     Mismatch::none},
    {"flush-to-zero run: zero for a normal result",
     0x1p-1020,
     0.0,
     {.correctly_rounded = true, .flush = true},
     Mismatch::inexact},
    {"flush-to-zero run: a flushed intermediate",
     0x1.3p-1021,
     0x1.2p-1021,
     {.correctly_rounded = true, .flush = true},
     Mismatch::none},
};

TEST(Compare, SpecialValueMismatches) {
  for (const MismatchCase& c : kMismatch) {
    Mp x(64, c.exact);
    EXPECT_EQ(compare(c.got, x, x, kDouble, c.o).kind, c.want) << c.what;
  }
}

TEST(Compare, FlushOnlyExcusesSubnormalResults) {
  Mp sub(64, 0x1p-1070), normal(64, 0x1p-1020);
  EXPECT_EQ(compare(0.0, sub, sub, kDouble, {.flush = true}).ulp, 0.0);
  EXPECT_EQ(compare(0.0, sub, sub, kDouble, {}).ulp, 16.0);
  EXPECT_GT(compare(0.0, normal, normal, kDouble, {.flush = true}).ulp, 1e15);
}

}  // namespace
}  // namespace nrx::accuracy
