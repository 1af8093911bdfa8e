// Power and root kernels: special results and status codes in every flavour, with the
// reported index; tail lanes equal main-part lanes; strided calls equal unit-stride ones.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "nrx/zar_functions.h"

namespace {

enum Want { kValue, kPosInf, kNegInf, kPosZero, kNegZero, kNaN, kSubnormal };

struct Row {
  const char* fn;  // table base name: "dPow"
  double x, y;     // y: second input of Pow, Powr, Hypot; the scalar of Powx
  Want want;
  int code;
  double value = 0;  // for kValue: the exact result
};

enum Kind { k1, k2, kX };
struct Fn {
  const char* name;
  void* const* tab;
  Kind kind;
};
#define NRX_FN(name, kind) {#name, (void* const*)nrx_zar_kernel_##name##_ttab, kind}
const Fn kFns[] = {
    NRX_FN(dSqrt, k1),   NRX_FN(sSqrt, k1),   NRX_FN(dInvSqrt, k1), NRX_FN(sInvSqrt, k1), NRX_FN(dCbrt, k1),
    NRX_FN(sCbrt, k1),   NRX_FN(dInvCbrt, k1), NRX_FN(sInvCbrt, k1), NRX_FN(dPow2o3, k1), NRX_FN(sPow2o3, k1),
    NRX_FN(dPow3o2, k1), NRX_FN(sPow3o2, k1), NRX_FN(dHypot, k2),   NRX_FN(sHypot, k2),   NRX_FN(dPow, k2),
    NRX_FN(sPow, k2),    NRX_FN(dPowr, k2),   NRX_FN(sPowr, k2),    NRX_FN(dPowx, kX),    NRX_FN(sPowx, kX),
};
#undef NRX_FN
const Fn* find(const std::string& name) {
  for (const auto& f : kFns)
    if (name == f.name) return &f;
  return nullptr;
}

const double kInf = std::numeric_limits<double>::infinity();
const double kDmin = std::numeric_limits<double>::denorm_min();

const Row kRows[] = {
    {"dSqrt", -0.0, 0, kNegZero, 0}, {"dSqrt", 0.0, 0, kPosZero, 0},  {"dSqrt", -1, 0, kNaN, 1},
    {"dSqrt", -kInf, 0, kNaN, 1},    {"dSqrt", kInf, 0, kPosInf, 0},  {"dSqrt", NAN, 0, kNaN, 0},
    {"dSqrt", kDmin, 0, kValue, 0, 0x1p-537}, {"dSqrt", 0x1p1022, 0, kValue, 0, 0x1p511}, {"dSqrt", 2, 0, kValue, 0, M_SQRT2},
    {"dSqrt", -kDmin, 0, kNaN, 1},
    {"sSqrt", -0.0, 0, kNegZero, 0}, {"sSqrt", -1, 0, kNaN, 1},      {"sSqrt", kInf, 0, kPosInf, 0},
    {"sSqrt", 0x1p-148, 0, kValue, 0, 0x1p-74}, {"sSqrt", 1e38, 0, kValue, 0, 1e19}, {"sSqrt", NAN, 0, kNaN, 0},
    {"dInvSqrt", 0.0, 0, kPosInf, 2}, {"dInvSqrt", -0.0, 0, kNegInf, 2}, {"dInvSqrt", -4, 0, kNaN, 1},
    {"dInvSqrt", -kInf, 0, kNaN, 1},  {"dInvSqrt", kInf, 0, kPosZero, 0}, {"dInvSqrt", NAN, 0, kNaN, 0},
    {"dInvSqrt", 4, 0, kValue, 0, 0.5}, {"dInvSqrt", 0x1p-1074, 0, kValue, 0, 0x1p537}, {"dInvSqrt", 0x1p1020, 0, kValue, 0, 0x1p-510},
    {"sInvSqrt", 0.0, 0, kPosInf, 2}, {"sInvSqrt", -4, 0, kNaN, 1},   {"sInvSqrt", 0x1p-148, 0, kValue, 0, 0x1p74},
    {"sInvSqrt", kInf, 0, kPosZero, 0},
    {"dCbrt", -0.0, 0, kNegZero, 0}, {"dCbrt", 0.0, 0, kPosZero, 0}, {"dCbrt", -kInf, 0, kNegInf, 0},
    {"dCbrt", kInf, 0, kPosInf, 0},  {"dCbrt", NAN, 0, kNaN, 0},      {"dCbrt", -27, 0, kValue, 0, -3},
    {"dCbrt", 0x1p-1074, 0, kValue, 0, 0x1p-358}, {"dCbrt", 0x1p1023, 0, kValue, 0, 0x1p341}, {"dCbrt", 1, 0, kValue, 0, 1},
    {"sCbrt", -8, 0, kValue, 0, -2}, {"sCbrt", 0x1p-149, 0, kValue, 0, 1.1190346870425511e-15}, {"sCbrt", -kInf, 0, kNegInf, 0},
    {"dInvCbrt", 0.0, 0, kPosInf, 2}, {"dInvCbrt", -0.0, 0, kNegInf, 2}, {"dInvCbrt", -kInf, 0, kNegZero, 0},
    {"dInvCbrt", kInf, 0, kPosZero, 0}, {"dInvCbrt", -0.125, 0, kValue, 0, -2}, {"dInvCbrt", 0x1p-1074, 0, kValue, 0, 0x1p358},
    {"sInvCbrt", -0.0, 0, kNegInf, 2}, {"sInvCbrt", 64, 0, kValue, 0, 0.25}, {"sInvCbrt", NAN, 0, kNaN, 0},
    {"dPow2o3", -8, 0, kValue, 0, 4},  {"dPow2o3", -0.0, 0, kPosZero, 0}, {"dPow2o3", -kInf, 0, kPosInf, 0},
    {"dPow2o3", 0x1p-1074, 0, kValue, 0, 0x1p-716}, {"dPow2o3", 1e300, 0, kValue, 0, 1e200}, {"dPow2o3", NAN, 0, kNaN, 0},
    {"sPow2o3", -27, 0, kValue, 0, 9}, {"sPow2o3", 0x1p-149, 0, kValue, 0, 0x1.965fea53d6e3dp-100}, {"sPow2o3", kInf, 0, kPosInf, 0},
    {"dPow3o2", -1, 0, kNaN, 1},      {"dPow3o2", -kInf, 0, kNaN, 1},   {"dPow3o2", kInf, 0, kPosInf, 0},
    {"dPow3o2", 4, 0, kValue, 0, 8},  {"dPow3o2", 0x1p-1074, 0, kPosZero, 0}, {"dPow3o2", 0x1p-700, 0, kSubnormal, 4},
    {"dPow3o2", 0x1p-600, 0, kValue, 0, 0x1p-900}, {"dPow3o2", 1e300, 0, kPosInf, 3}, {"dPow3o2", 0x1p680, 0, kValue, 0, 0x1p1020},
    {"dPow3o2", 0.0, 0, kPosZero, 0}, {"dPow3o2", -0.0, 0, kPosZero, 0}, {"dPow3o2", NAN, 0, kNaN, 0},
    {"sPow3o2", -1, 0, kNaN, 1},      {"sPow3o2", 1e30, 0, kPosInf, 3}, {"sPow3o2", 0x1p-64, 0, kValue, 0, 0x1p-96},
    {"dHypot", kInf, NAN, kPosInf, 0}, {"dHypot", NAN, -kInf, kPosInf, 0}, {"dHypot", NAN, 1, kNaN, 0},
    {"dHypot", 3, -4, kValue, 0, 5},   {"dHypot", 1e300, 1e300, kValue, 0, 1.4142135623730951e300},
    {"dHypot", 1.5e308, -1.5e308, kPosInf, 3}, {"dHypot", 3e-320, 4e-320, kValue, 0, 5e-320}, {"dHypot", 0.0, -0.0, kPosZero, 0},
    {"dHypot", -0.0, -7, kValue, 0, 7},
    // Pow: the C99 cases. Zeros.
    {"dPow", 0.0, 3, kPosZero, 0},   {"dPow", -0.0, 3, kNegZero, 0},  {"dPow", -0.0, 2, kPosZero, 0},
    {"dPow", -0.0, 0.5, kPosZero, 0}, {"dPow", -0.0, kInf, kPosZero, 0}, {"dPow", 0.0, -2, kPosInf, 1},
    {"dPow", -0.0, -3, kNegInf, 1},  {"dPow", 0.0, -3, kPosInf, 1},   {"dPow", -0.0, -0.5, kPosInf, 1},
    {"dPow", -0.0, -kInf, kPosInf, 1},
    // Ones and zero exponents, NaN included.
    {"dPow", 1, NAN, kValue, 0, 1},  {"dPow", 1, -kInf, kValue, 0, 1}, {"dPow", NAN, 0.0, kValue, 0, 1},
    {"dPow", -kInf, -0.0, kValue, 0, 1}, {"dPow", -1, kInf, kValue, 0, 1}, {"dPow", -1, -kInf, kValue, 0, 1},
    {"dPow", -1, 0x1p60, kValue, 0, 1}, {"dPow", -1, 3, kValue, 0, -1}, {"dPow", NAN, 1, kNaN, 0},
    {"dPow", 2, NAN, kNaN, 0},
    // Infinite exponents.
    {"dPow", 0.5, kInf, kPosZero, 0}, {"dPow", -0.5, -kInf, kPosInf, 0}, {"dPow", 2, kInf, kPosInf, 0},
    {"dPow", -2, -kInf, kPosZero, 0},
    // Infinite bases.
    {"dPow", -kInf, 3, kNegInf, 0},  {"dPow", -kInf, 2, kPosInf, 0},  {"dPow", -kInf, 2.5, kPosInf, 0},
    {"dPow", -kInf, -3, kNegZero, 0}, {"dPow", -kInf, -2, kPosZero, 0}, {"dPow", kInf, -0.5, kPosZero, 0},
    {"dPow", kInf, 0.5, kPosInf, 0},
    // Negative bases.
    {"dPow", -8, 1.0 / 3, kNaN, 1},  {"dPow", -2, 3, kValue, 0, -8},  {"dPow", -2, -2, kValue, 0, 0.25},
    {"dPow", -3, 0x1p53, kPosInf, 3}, {"dPow", -2, -1075, kNegZero, 0}, {"dPow", -1.5, 0.5, kNaN, 1},
    // Range: overflow is reported, underflow is not.
    {"dPow", 10, 400, kPosInf, 3},   {"dPow", 2, -1060, kValue, 0, 0x1p-1060}, {"dPow", 2, -1100, kPosZero, 0},
    {"dPow", 2, 1023.5, kValue, 0, 0x1.6a09e667f3bcdp1023}, {"dPow", 2, 1024, kPosInf, 3},
    {"dPow", 0x1p-1074, 0.5, kValue, 0, 0x1p-537}, {"dPow", 10, -2, kValue, 0, 0.01}, {"dPow", 9, 0.5, kValue, 0, 3},
    {"sPow", -0.0, -3, kNegInf, 1},  {"sPow", -8, 1.0 / 3, kNaN, 1},  {"sPow", -2, 3, kValue, 0, -8},
    {"sPow", -1, kInf, kValue, 0, 1}, {"sPow", 10, 40, kPosInf, 3},   {"sPow", 2, -140, kSubnormal, 0},
    {"sPow", 2, -151, kPosZero, 0},  {"sPow", 2, 127, kValue, 0, 0x1p127}, {"sPow", NAN, 0.0, kValue, 0, 1},
    {"sPow", -3, 0x1p25, kPosInf, 3},
    // Float range edges: results from 2^126 up to the largest float and down to the smallest
    // normal stay finite and normal; one step beyond overflows or is subnormal.
    {"sPow", 2, 127.5, kValue, 0, 0x1.6a09e667f3bcdp127}, {"sPow", 0x1.fffffep127, 1, kValue, 0, 0x1.fffffep127},
    {"sPow", 0x1.fffffep127, 1.00000012, kPosInf, 3}, {"sPow", 0.5, -128, kPosInf, 3},
    {"sPow", 2, -125.5, kValue, 0, 0x1.6a09e667f3bcdp-126}, {"sPow", 4, -63, kValue, 0, 0x1p-126},
    {"sPow", 4, -63.25, kSubnormal, 0}, {"sPow", 2, -149, kValue, 0, 0x1p-149}, {"sPow", 0x1p-100, 1.5, kPosZero, 0},
    // Large exponents: the logarithm's low parts carry y log x near the range ends.
    {"sPow", 0.96875, 2733.102294921875, kValue, 0, 2.0663697204620358e-38},
    {"sPow", 1 + 0x1p-23, 0x1p29, kValue, 0, 6.2351252956527244e27}, {"sPow", 1 - 0x1p-24, -0x1p30, kValue, 0, 6.235160973426506e27},
    // Powr: x >= 0 only, the IEEE cases.
    {"dPowr", -2, 3, kNaN, 1},       {"dPowr", -0.0, 3, kPosZero, 0}, {"dPowr", 0.0, -1, kPosInf, 2},
    {"dPowr", 0.0, 0.0, kNaN, 1},    {"dPowr", kInf, 0.0, kNaN, 1},   {"dPowr", 1, kInf, kNaN, 1},
    {"dPowr", 1, 5, kValue, 0, 1},   {"dPowr", NAN, 0.0, kNaN, 0},    {"dPowr", 4, 0.0, kValue, 0, 1},
    {"dPowr", 10, 400, kPosInf, 3},  {"dPowr", 4, 0.5, kValue, 0, 2}, {"dPowr", kInf, -1, kPosZero, 0},
    {"sPowr", -2, 2, kNaN, 1},       {"sPowr", 0.0, -1, kPosInf, 2},  {"sPowr", 4, -0.5, kValue, 0, 0.5},
    // Powx: the same rules with the exponent as a scalar.
    {"dPowx", -0.0, -3, kNegInf, 1}, {"dPowx", -8, 1.0 / 3, kNaN, 1}, {"dPowx", -2, 3, kValue, 0, -8},
    {"dPowx", -1, kInf, kValue, 0, 1}, {"dPowx", 10, 400, kPosInf, 3}, {"dPowx", 2, -1060, kValue, 0, 0x1p-1060},
    {"dPowx", NAN, 0.0, kValue, 0, 1}, {"sPowx", 0.0, -2, kPosInf, 1}, {"sPowx", -2, 3, kValue, 0, -8},
    {"sPowx", 3, 2, kValue, 0, 9},
    {"sHypot", NAN, kInf, kPosInf, 0}, {"sHypot", 3e38, 3e38, kPosInf, 3}, {"sHypot", 1e-30, 1e-30, kValue, 0, 1.4142135623730951e-30},
    // Sums of squares beyond the unscaled range, just past either end: the scaled path.
    {"dHypot", 0x3p-500, 0x4p-500, kValue, 0, 0x5p-500}, {"dHypot", 0x3p508, -0x4p508, kValue, 0, 0x5p508},
    {"sHypot", 0x3p-50, 0x4p-50, kValue, 0, 0x5p-50},    {"sHypot", -0x3p60, 0x4p60, kValue, 0, 0x5p60},
    {"dHypot", 0x1p-1074, 0.0, kValue, 0, 0x1p-1074},    {"sHypot", 0.0, -0x1p-149, kValue, 0, 0x1p-149},
    // A NaN beside a zero: scaling by 2^-k with k = -inf must not turn the NaN into 0.
    {"sHypot", NAN, 0.0, kNaN, 0},                       {"sHypot", -0.0, NAN, kNaN, 0},
    {"dHypot", NAN, -0.0, kNaN, 0},                      {"sHypot", 0.0, -0.0, kPosZero, 0},
    // Square roots of tiny normal numbers, whose residual step would be subnormal.
    {"dSqrt", 0x1p-1000, 0, kValue, 0, 0x1p-500},        {"sSqrt", 0x1p-120, 0, kValue, 0, 0x1p-60},
};

template <class T> bool matches(T got, const Row& row, int slot) {
  switch (row.want) {
    case kPosInf: return got == std::numeric_limits<T>::infinity();
    case kNegInf: return got == -std::numeric_limits<T>::infinity();
    case kPosZero: return got == 0 && !std::signbit(got);
    case kNegZero: return got == 0 && std::signbit(got);
    case kNaN: return std::isnan(got);
    case kSubnormal: return got > 0 && got < std::numeric_limits<T>::min();
    case kValue: {
      const T want = T(row.value);
      if (want == 0) return got == 0 && std::signbit(got) == std::signbit(want);
      const double tol = slot == 2 ? 0x1p-10 : 2 * std::numeric_limits<T>::epsilon();
      return std::fabs(double(got) - double(want)) <= tol * std::fabs(double(want));
    }
  }
  return false;
}

struct Report {
  int code, index;
};
std::vector<Report> g_reports;
int32_t keep(ZarErrorContext* e) {
  g_reports.push_back({e->code, e->index});
  return 1;
}

template <class T> void call(const Fn& f, int slot, int n, const T* a, const T* b, T y, T* r) {
  if (f.kind == k1) reinterpret_cast<void (*)(int32_t, const T*, T*)>(f.tab[slot])(n, a, r);
  else if (f.kind == k2) reinterpret_cast<void (*)(int32_t, const T*, const T*, T*)>(f.tab[slot])(n, a, b, r);
  else reinterpret_cast<void (*)(int32_t, const T*, T, T*)>(f.tab[slot])(n, a, y, r);
}

template <class T> void check_row(const Fn& f, const Row& row, int slot) {
  // The element sits at index 21: inside the second register of the main part for float,
  // in the tail for double, among ordinary neighbours.
  const int n = 23, at = 21;
  std::vector<T> a(n, T(0.75)), b(n, T(0.75)), r(n);
  a[at] = T(row.x);
  b[at] = T(row.y);
  g_reports.clear();
  zarClearErrStatus();
  call<T>(f, slot, n, a.data(), b.data(), T(row.y), r.data());
  char what[96];
  std::snprintf(what, sizeof what, "%s(%g, %g) slot %d", row.fn, row.x, row.y, slot);
  EXPECT_TRUE(matches(r[at], row, slot)) << what << " gave " << r[at];
  if (row.code == 0) {
    EXPECT_TRUE(g_reports.empty()) << what << " reported " << g_reports[0].code;
  } else {
    ASSERT_EQ(g_reports.size(), 1u) << what;
    EXPECT_EQ(g_reports[0].code, row.code) << what;
    EXPECT_EQ(g_reports[0].index, at) << what;
    EXPECT_EQ(zarGetErrStatus(), row.code) << what;
  }
}

TEST(PowRoot, SpecialResultsAndCodesInEveryFlavour) {
  zarSetErrorCallBack(keep);
  for (const Row& row : kRows) {
    const Fn* f = find(row.fn);
    ASSERT_NE(f, nullptr) << row.fn;
    for (int slot = 0; slot < 3; ++slot) {
      if (row.fn[0] == 'd') check_row<double>(*f, row, slot);
      else check_row<float>(*f, row, slot);
    }
  }
  zarClearErrorCallBack();
}

// With the mode's flushing on, a subnormal input counts as a zero of its sign, on the
// vector path and in the scalar routines alike.
TEST(PowRoot, SubnormalInputsAreZerosWhenFlushing) {
  const unsigned old = zarSetMode(ZAR_FTZDAZ_ON);
  zarSetErrorCallBack(keep);
  const Row rows[] = {
      {"dCbrt", -1e-310, 0, kNegZero, 0},  {"dInvCbrt", 1e-310, 0, kPosInf, 2}, {"dPow2o3", -1e-310, 0, kPosZero, 0},
      {"dInvSqrt", 1e-310, 0, kPosInf, 2}, {"dSqrt", -1e-310, 0, kNegZero, 0},  {"dPow3o2", 1e-310, 0, kPosZero, 0},
      {"dPow", 1e-310, 1, kPosZero, 0},    {"dPow", -1e-310, -1, kNegInf, 1},   {"dPow", 2, 1e-310, kValue, 0, 1},
      {"dHypot", 1e-310, -1e-310, kPosZero, 0}, {"dPowr", 1e-310, -1, kPosInf, 2}, {"dPowx", -1e-310, 3, kNegZero, 0},
      {"sCbrt", 1e-40, 0, kPosZero, 0},    {"sInvSqrt", 1e-40, 0, kPosInf, 2},  {"sPow", 1e-40, 2, kPosZero, 0},
      {"sPow", -1e-40, -3, kNegInf, 1},    {"sPowx", 1e-40, -0.5, kPosInf, 1},
      // Normal inputs whose refinement residuals are subnormal and flushed.
      {"dSqrt", 0x1.8p-1000, 0, kValue, 0, 0x1.3988e1409212ep-500}, {"dHypot", 0x1p-1000, 0, kValue, 0, 0x1p-1000},
      {"sSqrt", 0x1.8p-120, 0, kValue, 0, 0x1.3988e2p-60},
  };
  for (const Row& row : rows)
    for (int slot = 0; slot < 3; ++slot) {
      if (row.fn[0] == 'd') check_row<double>(*find(row.fn), row, slot);
      else check_row<float>(*find(row.fn), row, slot);
    }
  zarClearErrorCallBack();
  zarSetMode(old & ZAR_FTZDAZ_MASK ? old & ZAR_FTZDAZ_MASK : ZAR_FTZDAZ_OFF);
}

// Where x^y is representable, HA returns it exactly: its error before the last rounding is far
// below half an ulp. Every element of a main part and a tail holds the case.
struct ExactPower {
  double x, y, want;
};
const ExactPower kExactPowers[] = {
    {3, 5, 243},    {7, 8, 5764801}, {1.5, 4, 5.0625}, {10, 7, 1e7}, {0.5, 24, 0x1p-24},   {9, 0.5, 3},
    {16, 0.25, 2},  {0.25, -1.5, 8}, {81, 0.75, 27},   {4, 2.5, 32}, {0.75, 3, 0.421875}, {0.8, 0, 1},
};

template <class T> void exact_powers(const char* name, std::initializer_list<ExactPower> extra) {
  const Fn& f = *find(name);
  std::vector<ExactPower> cases(std::begin(kExactPowers), std::end(kExactPowers));
  cases.insert(cases.end(), extra);
  for (const auto& c : cases) {
    const int n = 2 * int(64 / sizeof(T)) + 3;
    std::vector<T> a(n, T(c.x)), b(n, T(c.y)), r(n);
    call<T>(f, 1, n, a.data(), b.data(), T(c.y), r.data());
    for (int i = 0; i < n; ++i) EXPECT_EQ(r[i], T(c.want)) << name << "(" << c.x << ", " << c.y << ") at " << i;
  }
}

TEST(PowRoot, HighAccuracyIsExactWhereThePowerIsRepresentable) {
  exact_powers<float>("sPow", {});
  exact_powers<float>("sPowr", {});
  exact_powers<float>("sPowx", {});
  exact_powers<double>("dPow", {{3, 33, 5559060566555523.0}, {10, 22, 1e22}, {0.5, 1074, 0x1p-1074}});
}

// The same value gives the same bits in the main part and in the masked tail.
template <class T> void tail_equals_main(const Fn& f, std::mt19937_64& rng) {
  std::uniform_real_distribution<double> u(-30, 30);
  std::vector<T> a(37), b(37), r(37), t(5);
  for (auto& x : a) x = T(std::exp(u(rng)));
  for (auto& x : b) x = T(u(rng) / 4);
  for (int slot = 0; slot < 3; ++slot) {
    call<T>(f, slot, 37, a.data(), b.data(), T(1.25), r.data());
    call<T>(f, slot, 5, a.data() + 3, b.data() + 3, T(1.25), t.data());
    for (int i = 0; i < 5; ++i) EXPECT_EQ(std::memcmp(&r[3 + i], &t[i], sizeof(T)), 0) << f.name << " slot " << slot;
  }
}

TEST(PowRoot, TailLanesEqualMainPartLanes) {
  std::mt19937_64 rng(7);
  for (const auto& f : kFns) {
    if (f.name[0] == 'd') tail_equals_main<double>(f, rng);
    else tail_equals_main<float>(f, rng);
  }
}

TEST(PowRoot, StridedEqualsUnitStride) {
  std::vector<double> a(300), b(300), r1(100), r2(300);
  for (int i = 0; i < 300; ++i) a[i] = 0.37 * i - 50, b[i] = 1e-3 * i - 0.1;
  std::vector<double> pa(100), pb(100);
  for (int i = 0; i < 100; ++i) pa[i] = a[3 * i], pb[i] = b[2 * i];
  zardHypotI(100, a.data(), 3, b.data(), 2, r2.data(), 3);
  zardHypot(100, pa.data(), pb.data(), r1.data());
  for (int i = 0; i < 100; ++i) EXPECT_EQ(r1[i], r2[3 * i]);
  zardPowI(100, a.data(), 3, b.data(), 2, r2.data(), 3);
  zardPow(100, pa.data(), pb.data(), r1.data());
  for (int i = 0; i < 100; ++i) EXPECT_EQ(std::memcmp(&r1[i], &r2[3 * i], 8), 0);
  zardPowxI(100, a.data(), 3, -1.5, r2.data(), 3);
  zardPowx(100, pa.data(), -1.5, r1.data());
  for (int i = 0; i < 100; ++i) EXPECT_EQ(std::memcmp(&r1[i], &r2[3 * i], 8), 0);
  // Negative elements among the strided ones: the errors name the strided positions.
  zarSetErrorCallBack(keep);
  g_reports.clear();
  zardCbrtI(100, a.data(), 3, r2.data(), 3);
  zardCbrt(100, pa.data(), r1.data());
  for (int i = 0; i < 100; ++i) EXPECT_EQ(r1[i], r2[3 * i]);
  g_reports.clear();
  zardSqrtI(100, a.data(), 3, r2.data(), 1);
  std::vector<int> want;
  for (int i = 0; i < 100; ++i)
    if (pa[i] < 0) want.push_back(i);
  ASSERT_EQ(g_reports.size(), want.size());
  for (size_t k = 0; k < want.size(); ++k) EXPECT_EQ(g_reports[k].index, want[k]);
  zarClearErrorCallBack();
  std::vector<float> fa(200), fr1(100), fr2(100), fp(100);
  for (int i = 0; i < 200; ++i) fa[i] = float(0.05 * i + 1e-3);
  for (int i = 0; i < 100; ++i) fp[i] = fa[2 * i];
  zarsInvSqrtI_11(100, fa.data(), 2, fr2.data(), 1);
  zarsInvSqrt_11(100, fp.data(), fr1.data());
  EXPECT_EQ(std::memcmp(fr1.data(), fr2.data(), 400), 0);
}

}  // namespace
