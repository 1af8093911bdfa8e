// Gamma kernels (LGamma, TGamma): the special results and status codes of every edge, in
// every slot, with the reported index; the 1-ulp bound against MPFR on the ranges where
// the algorithm changes; the absolute error of ln Gamma at its negative zeros; the sign
// of Gamma below -185; tail lanes and strides.
#include <gtest/gtest.h>
#include <mpfr.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "nrx/zar_functions.h"
#include "tests/zar/kernels/one_element.h"
#include "tests/zar/kernels/within_bound.h"
#include "tools/accuracy/accuracy.h"

namespace {

enum Want { kValue, kPosZero, kNegZero, kNaN, kPosInf, kNegInf };

struct Row {
  const char* fn;
  double x;
  Want want;
  int code;
  double value = 0;  // for kValue: the exact result rounded to the type
};

// The unit-stride function table of a name ("dErfc"), from the catalogue.
void* const* table(const std::string& name) {
  const nrx::zar::catalog::Entry* e = nrx::accuracy::find_entry(name, nullptr);
  return e ? e->ttab : nullptr;
}

const double kInf = std::numeric_limits<double>::infinity();

const Row kRows[] = {
    // LGamma: +inf with code 2 at zeros and negative integers (all of x <= -2^52), code 3
    // above 2.5599833278516383e305, +inf at both infinities without a code, exact zeros.
    {"dLGamma", 0.0, kPosInf, 2},
    {"dLGamma", -0.0, kPosInf, 2},
    {"dLGamma", -2, kPosInf, 2},
    {"dLGamma", -0x1p52, kPosInf, 2},
    {"dLGamma", -1e300, kPosInf, 2},
    {"dLGamma", 1e306, kPosInf, 3},
    {"dLGamma", 0x1.754d9278b51a8p+1014, kPosInf, 3},
    {"dLGamma", 0x1.754d9278b51a7p+1014, kValue, 0, 1.7976931348623157e308},
    {"dLGamma", -kInf, kPosInf, 0},
    {"dLGamma", kInf, kPosInf, 0},
    {"dLGamma", NAN, kNaN, 0},
    {"dLGamma", 1, kPosZero, 0},
    {"dLGamma", 2, kPosZero, 0},
    {"dLGamma", 0.5, kValue, 0, 0.57236494292470008},
    {"dLGamma", -0.5, kValue, 0, 1.2655121234846454},
    {"dLGamma", 1e-310, kValue, 0, 713.8013788281542},
    {"dLGamma", -0x1p52 + 0.5, kValue, 0, -1.5782258434492883e17},
    {"dLGamma", 100, kValue, 0, 359.13420536957540},
    {"dLGamma", -2.5, kValue, 0, -0.056243716497674054},
    {"sLGamma", 0.0f, kPosInf, 2},
    {"sLGamma", -3, kPosInf, 2},
    {"sLGamma", -0x1p23f, kPosInf, 2},
    {"sLGamma", 5e36f, kPosInf, 3},
    {"sLGamma", 4e36f, kValue, 0, 3.3311742e38},
    {"sLGamma", -kInf, kPosInf, 0},
    {"sLGamma", NAN, kNaN, 0},
    {"sLGamma", 1, kPosZero, 0},
    {"sLGamma", 3, kValue, 0, 0.69314718},
    // TGamma: +-inf with code 2 at +-0, NaN with code 1 at negative integers and -inf, +-inf
    // with code 3 below 2^-1019 and from 171.62437695630274, signed zeros below -185.
    {"dTGamma", -0.0, kNegInf, 2},
    {"dTGamma", 0.0, kPosInf, 2},
    {"dTGamma", -3, kNaN, 1},
    {"dTGamma", -0x1p52, kNaN, 1},
    {"dTGamma", -1e300, kNaN, 1},
    {"dTGamma", 172, kPosInf, 3},
    {"dTGamma", 171.62437695630274, kPosInf, 3},
    {"dTGamma", 171.62437695630271, kValue, 0, 1.7976931348622299e308},
    {"dTGamma", 1e-310, kPosInf, 3},
    {"dTGamma", -1e-310, kNegInf, 3},
    {"dTGamma", 0x1.fffffffffffffp-1020, kPosInf, 3},
    {"dTGamma", 0x1p-1019, kValue, 0, 5.617791046444737e306},
    {"dTGamma", 5, kValue, 0, 24},
    {"dTGamma", -kInf, kNaN, 1},
    {"dTGamma", kInf, kPosInf, 0},
    {"dTGamma", NAN, kNaN, 0},
    {"dTGamma", -185.5, kPosZero, 0},
    {"dTGamma", -186.5, kNegZero, 0},
    {"dTGamma", -1e15 - 0.5, kNegZero, 0},
    {"dTGamma", -0.5, kValue, 0, -3.5449077018110321},
    {"dTGamma", -170.5, kValue, 0, -3.3127395215386074e-308},
    {"dTGamma", -184.5, kNegZero, 0},
    {"dTGamma", 0.5, kValue, 0, 1.7724538509055161},
    {"dTGamma", 171, kValue, 0, 7.257415615307994e306},
    {"sTGamma", -0.0f, kNegInf, 2},
    {"sTGamma", -3, kNaN, 1},
    {"sTGamma", 36, kPosInf, 3},
    {"sTGamma", 1e-39f, kPosInf, 3},
    {"sTGamma", -kInf, kNaN, 1},
    {"sTGamma", kInf, kPosInf, 0},
    {"sTGamma", 35, kValue, 0, 2.9523279e38},
    {"sTGamma", -45.5, kPosZero, 0},
    {"sTGamma", 5, kValue, 0, 24},
    // Float Gamma of negative arguments from Gamma(|x|): subnormal results, and the signed
    // zeros from -48 on, where |x| is held at 48.
    {"sTGamma", -36.5, kValue, 0, -1.393e-42},
    {"sTGamma", -46.5, kNegZero, 0},
    {"sTGamma", -100.5, kNegZero, 0},
    {"sTGamma", -999999.5, kPosZero, 0},
    {"sTGamma", 1e30, kPosInf, 3},
};

template <class T> bool matches(T got, const Row& row) {
  switch (row.want) {
    case kPosZero: return got == 0 && !std::signbit(got);
    case kNegZero: return got == 0 && std::signbit(got);
    case kNaN: return std::isnan(got);
    case kPosInf: return std::isinf(got) && got > 0;
    case kNegInf: return std::isinf(got) && got < 0;
    case kValue: return std::fabs(double(got) - T(row.value)) <= 0x1p-20 * std::fabs(double(T(row.value)));
  }
  return false;
}

template <class T> void check_row(const Row& row, int slot) {
  const auto o = nrx::test::run_one<T>(table(row.fn)[slot], T(row.x));
  EXPECT_TRUE(matches(o.result, row)) << row.fn << "(" << row.x << ") slot " << slot << " gave " << o.result;
  if (row.code == 0) {
    EXPECT_TRUE(o.reports.empty()) << row.fn << "(" << row.x << ") slot " << slot << " reported";
    return;
  }
  ASSERT_EQ(o.reports.size(), 1u) << row.fn << "(" << row.x << ") slot " << slot;
  EXPECT_EQ(o.reports[0].code, row.code) << row.fn << "(" << row.x << ") slot " << slot;
  EXPECT_EQ(o.reports[0].index, 21);
  EXPECT_EQ(o.status, row.code);
}

TEST(Gamma, SpecialResultsAndCodesInEverySlot) {
  for (const Row& row : kRows) {
    ASSERT_NE(table(row.fn), nullptr) << row.fn;
    for (int slot = 0; slot < 3; ++slot) {
      if (row.fn[0] == 's') check_row<float>(row, slot);
      else check_row<double>(row, slot);
    }
  }
}

// Ranges where a fault would hide from a uniform sample: the polynomial intervals and their
// edges, |x| < 1/2, the switch to Stirling at 8, the product shifts of Gamma at 4 and 6,
// the reflection and its exponential, up to the overflow and down to the underflow. The
// negative ranges of LGamma keep away from its zeros (|ln Gamma| >= 1/2 there), where
// the bound is absolute (below).
struct Range {
  const char* fn;
  double lo, hi;
};
const Range kRanges[] = {
    {"dLGamma", 0x1p-1074, 0.5}, {"dLGamma", 0.5, 8},        {"dLGamma", 0.75, 1.25},     {"dLGamma", 1.75, 2.5},
    {"dLGamma", 7.9, 8.1},       {"dLGamma", 8, 1e4},        {"dLGamma", 1e4, 2.55e305},  {"dLGamma", -0.5, 0},
    {"dLGamma", -2, -0.5},       {"dLGamma", -2.35, -2},     {"dLGamma", -8, -5.1},       {"dLGamma", -171, -8},
    {"dLGamma", -1e15, -1e6},    {"sLGamma", 0x1p-149, 0.5}, {"sLGamma", 0.5, 100},       {"sLGamma", 100, 4e36},
    {"sLGamma", -2, -0.5},       {"sLGamma", -60, -6},       {"dTGamma", 0x1p-1019, 0.5}, {"dTGamma", 0.5, 4},
    {"dTGamma", 3.9, 6.1},       {"dTGamma", 6, 8.1},        {"dTGamma", 8, 171.62},      {"dTGamma", -0.5, -0x1p-1019},
    {"dTGamma", -8, -0.5},       {"dTGamma", -8.1, -7.9},    {"dTGamma", -171.6, -8},     {"dTGamma", -184.5, -170},
    {"sTGamma", 0x1p-126, 0.5},  {"sTGamma", 0.5, 35.04},    {"sTGamma", -40, -0.5},      {"sTGamma", 0.2, 0.3},
    {"sTGamma", 1.2, 1.3},       {"sTGamma", 7.9, 8.1},      {"sTGamma", -48.5, -35},
};

TEST(Gamma, WithinOneUlpOnTheAlgorithmsEdges) {
  for (const Range& g : kRanges) {
    nrx::accuracy::Options o;
    o.samples = 2000;
    o.range = true;
    o.lo = g.lo;
    o.hi = g.hi;
    nrx::test::expect_within_bound(g.fn, o, "[" + std::to_string(g.lo) + ", " + std::to_string(g.hi) + "]");
  }
}

double mpfr_lgamma_abs(double x) {
  mpfr_t v;
  mpfr_init2(v, 200);
  mpfr_set_d(v, x, MPFR_RNDN);
  int sign;
  mpfr_lgamma(v, &sign, v, MPFR_RNDN);
  const double r = mpfr_get_d(v, MPFR_RNDN);
  mpfr_clear(v);
  return r;
}

// Around each negative zero of ln Gamma (x in (-n-1, -n) where |Gamma(x)| = 1, n = 2..8),
// the error is absolute: at most 2^-52 on a dense sweep through both zeros of each interval.
TEST(Gamma, LGammaAbsoluteErrorAtTheNegativeZeros) {
  std::vector<double> x;
  for (int n = 2; n <= 8; ++n)
    for (int i = 1; i < 4000; ++i) x.push_back(-n - i / 4000.0);
  std::vector<double> r(x.size());
  double worst = 0, at = 0;
  zardLGamma(int32_t(x.size()), x.data(), r.data());
  for (size_t i = 0; i < x.size(); ++i) {
    const double want = mpfr_lgamma_abs(x[i]);
    if (std::fabs(want) > 1) continue;
    const double err = std::fabs(r[i] - want);
    if (err > worst) worst = err, at = x[i];
  }
  EXPECT_LE(worst, 0x1p-52) << "at " << at;
}

// Every float around the zeros of ln Gamma: 1 and 2, the two in each of (-n-1, -n) for
// n = 2..5 and the lower one in (-6, -5), each +-3e-4 (about 2,500 floats a side), and
// +-2e-3 around -6..-10, where the zeros close in on the poles. Float results are relative
// to the end: at most 1 ulp against MPFR, however small the result.
TEST(Gamma, FloatLGammaWithinOneUlpAroundItsZeros) {
  struct Window {
    double centre, half;
  };
  const Window kWindows[] = {{1, 3e-4},
                             {2, 3e-4},
                             {-2.4570247382208006, 3e-4},
                             {-2.7476826467274127, 3e-4},
                             {-3.1435808883499798, 3e-4},
                             {-3.9552942848585979, 3e-4},
                             {-4.0393618397405370, 3e-4},
                             {-4.9915446405600483, 3e-4},
                             {-5.0082181683225935, 3e-4},
                             {-5.9986074800808750, 3e-4},
                             {-6, 2e-3},
                             {-7, 2e-3},
                             {-8, 2e-3},
                             {-9, 2e-3},
                             {-10, 2e-3}};
  for (const Window& w : kWindows) {
    std::vector<float> x;
    for (float v = float(w.centre - w.half); v <= float(w.centre + w.half); v = std::nextafter(v, INFINITY))
      if (!(v < 0 && v == std::floor(v))) x.push_back(v);
    std::vector<float> r(x.size());
    zarsLGamma(int32_t(x.size()), x.data(), r.data());
    double worst = 0, at = 0;
    for (size_t i = 0; i < x.size(); ++i) {
      const double want = mpfr_lgamma_abs(x[i]);
      const float wf = float(want);
      if (wf == 0) {
        EXPECT_EQ(r[i], 0.0f) << x[i];
        continue;
      }
      int e;
      std::frexp(wf, &e);
      const double err = std::fabs(double(r[i]) - want) / std::ldexp(1.0, e - 24);
      if (err > worst) worst = err, at = x[i];
    }
    EXPECT_LE(worst, 1.0) << "around " << w.centre << ": at " << at;
  }
}

// Tail lanes give the main part's bits and strided calls the unit-stride ones.
TEST(Gamma, TailLanesAndStridesGiveTheUnitStrideBits) {
  std::vector<double> a(64);
  for (int i = 0; i < 64; ++i) a[i] = -9.7 + 0.61 * i;
  for (const char* name : {"dLGamma", "dTGamma"}) {
    auto call = reinterpret_cast<void (*)(int32_t, const double*, double*)>(table(name)[1]);
    std::vector<double> r(37), t(5);
    call(37, a.data(), r.data());
    call(5, a.data() + 3, t.data());
    for (int i = 0; i < 5; ++i) EXPECT_EQ(std::memcmp(&r[3 + i], &t[i], 8), 0) << name;
  }
  std::vector<double> r1(32), r2(64), packed(32);
  for (int i = 0; i < 32; ++i) packed[i] = a[2 * i];
  zardTGammaI(32, a.data(), 2, r2.data(), 2);
  zardTGamma(32, packed.data(), r1.data());
  for (int i = 0; i < 32; ++i) EXPECT_EQ(r1[i], r2[2 * i]) << i;
  std::vector<float> fa(32), fr1(32), fr2(64);
  for (int i = 0; i < 32; ++i) fa[i] = float(a[i]);
  zarsLGammaI(16, fa.data(), 2, fr2.data(), 2);
  std::vector<float> fp(16);
  for (int i = 0; i < 16; ++i) fp[i] = fa[2 * i];
  zarsLGamma(16, fp.data(), fr1.data());
  for (int i = 0; i < 16; ++i) EXPECT_EQ(fr1[i], fr2[2 * i]) << i;
}

}  // namespace
