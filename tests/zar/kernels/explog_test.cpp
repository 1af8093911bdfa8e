// Exponential and logarithm kernels: special results and status codes at every threshold
// class, in every flavour, with the reported index; tail lanes equal main-part lanes; a
// long double accuracy sample against each flavour's bound.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "nrx/zar_functions.h"

namespace {

enum Want { kValue, kPosInf, kNegInf, kPosZero, kNaN, kSubnormal, kMinusOne, kOne };

struct Row {
  const char* fn;  // table base name: "dExp"
  double x;
  Want want;
  int code;
  double value = 0;  // for kValue: the exact result
};

// Calls of the unit-stride tables by name, on double or float data.
using D1 = void (*)(int32_t, const double*, double*);
using S1 = void (*)(int32_t, const float*, float*);
struct Fn {
  const char* name;
  void* const* tab;
};
const Fn kFns[] = {
    {"dExp", (void* const*)nrx_zar_kernel_dExp_ttab},     {"sExp", (void* const*)nrx_zar_kernel_sExp_ttab},
    {"dExp2", (void* const*)nrx_zar_kernel_dExp2_ttab},   {"sExp2", (void* const*)nrx_zar_kernel_sExp2_ttab},
    {"dExp10", (void* const*)nrx_zar_kernel_dExp10_ttab}, {"sExp10", (void* const*)nrx_zar_kernel_sExp10_ttab},
    {"dExpm1", (void* const*)nrx_zar_kernel_dExpm1_ttab}, {"sExpm1", (void* const*)nrx_zar_kernel_sExpm1_ttab},
    {"dLn", (void* const*)nrx_zar_kernel_dLn_ttab},       {"sLn", (void* const*)nrx_zar_kernel_sLn_ttab},
    {"dLog2", (void* const*)nrx_zar_kernel_dLog2_ttab},   {"sLog2", (void* const*)nrx_zar_kernel_sLog2_ttab},
    {"dLog10", (void* const*)nrx_zar_kernel_dLog10_ttab}, {"sLog10", (void* const*)nrx_zar_kernel_sLog10_ttab},
    {"dLog1p", (void* const*)nrx_zar_kernel_dLog1p_ttab}, {"sLog1p", (void* const*)nrx_zar_kernel_sLog1p_ttab},
    {"dLogb", (void* const*)nrx_zar_kernel_dLogb_ttab},   {"sLogb", (void* const*)nrx_zar_kernel_sLogb_ttab},
};
void* const* table(const std::string& name) {
  for (const auto& f : kFns)
    if (name == f.name) return f.tab;
  return nullptr;
}

const double kInf = std::numeric_limits<double>::infinity();
const double kDmin = std::numeric_limits<double>::denorm_min();

const Row kRows[] = {
    {"dExp", 709.78, kValue, 0, 1.7928227943945155e308}, {"dExp", 709.79, kPosInf, 3}, {"dExp", -708.3, kValue, 0, 2.450295530965988e-308},
    {"dExp", -740, kSubnormal, 4},  {"dExp", -746, kPosZero, 4},  {"dExp", -kInf, kPosZero, 0},
    {"dExp", kInf, kPosInf, 0},     {"dExp", NAN, kNaN, 0},       {"dExp", 1e-300, kOne, 0},
    {"sExp", 88.8, kPosInf, 3},     {"sExp", -104, kPosZero, 4},  {"sExp", -87.5, kSubnormal, 4},
    {"sExp", 88.7, kValue, 0, 3.325976864406685e38}, {"sExp", -kInf, kPosZero, 0}, {"sExp", NAN, kNaN, 0},
    {"dExp2", 1024, kPosInf, 3},    {"dExp2", -1074.5, kSubnormal, 4}, {"dExp2", -1075, kPosZero, 4},
    {"dExp2", -kInf, kPosZero, 0},  {"dExp2", 1023.5, kValue, 0, 0x1.6a09e667f3bcdp1023}, {"dExp2", -1022, kValue, 0, 0x1p-1022},
    {"sExp2", 128, kPosInf, 3},     {"sExp2", -140, kSubnormal, 4}, {"sExp2", -151, kPosZero, 4}, {"sExp2", 127, kValue, 0, 0x1p127},
    {"dExp10", 308.26, kPosInf, 3}, {"dExp10", -310, kSubnormal, 4}, {"dExp10", -324, kPosZero, 4},
    {"dExp10", 1e-17, kOne, 0},     {"dExp10", 300, kValue, 0, 1e300}, {"dExp10", 2, kValue, 0, 100},
    {"sExp10", 38.6, kPosInf, 3},   {"sExp10", -40, kSubnormal, 4}, {"sExp10", -46, kPosZero, 4}, {"sExp10", 3, kValue, 0, 1000},
    {"dExpm1", 709.79, kPosInf, 3}, {"dExpm1", -50, kMinusOne, 0}, {"dExpm1", -kInf, kMinusOne, 0},
    {"dExpm1", 1e-300, kValue, 0, 1e-300}, {"dExpm1", -0.0, kValue, 0, -0.0},
    {"sExpm1", 88.8, kPosInf, 3},   {"sExpm1", -30, kMinusOne, 0},
    {"dLn", 0.0, kNegInf, 2},       {"dLn", -0.0, kNegInf, 2},    {"dLn", -1, kNaN, 1},
    {"dLn", -kInf, kNaN, 1},        {"dLn", kInf, kPosInf, 0},    {"dLn", NAN, kNaN, 0},
    {"dLn", kDmin, kValue, 0, -744.44007192138126}, {"dLn", 1, kValue, 0, 0}, {"dLn", 0x1p-1022, kValue, 0, -708.39641853226408},
    {"sLn", 0.0, kNegInf, 2},       {"sLn", -2, kNaN, 1},         {"sLn", 1e-45, kValue, 0, -103.27893066406250},
    {"dLog2", 0.0, kNegInf, 2},     {"dLog2", -3, kNaN, 1},       {"dLog2", kDmin, kValue, 0, -1074},
    {"dLog2", 0x1p-1000, kValue, 0, -1000}, {"sLog2", 0x1p-149, kValue, 0, -149}, {"sLog2", 1024, kValue, 0, 10},
    {"dLog10", 0.0, kNegInf, 2},    {"dLog10", -kInf, kNaN, 1},   {"dLog10", 1e-300, kValue, 0, -300},
    {"dLog10", 1e22, kValue, 0, 22}, {"sLog10", 1e-10, kValue, 0, -10}, {"sLog10", -0.0, kNegInf, 2},
    // Just below 0.75, where e log_b 2 and log_b m cancel to a third of their size.
    {"sLog10", 0x1.7ff4c2p-1, kValue, 0, -0.12498840599303874}, {"sLog2", 0x1.7ff4c2p-1, kValue, 0, -0.41520249740346336},
    {"dLog1p", -1, kNegInf, 2},     {"dLog1p", -2, kNaN, 1},      {"dLog1p", -kInf, kNaN, 1},
    {"dLog1p", kInf, kPosInf, 0},   {"dLog1p", 1e-300, kValue, 0, 1e-300}, {"dLog1p", -0.0, kValue, 0, -0.0},
    {"sLog1p", -1, kNegInf, 2},     {"sLog1p", -1.5, kNaN, 1},
    {"dLogb", -0.0, kNegInf, 1},    {"dLogb", 0.0, kNegInf, 1},   {"dLogb", kDmin, kValue, 0, -1074},
    {"dLogb", kInf, kPosInf, 0},    {"dLogb", -kInf, kPosInf, 0}, {"dLogb", NAN, kNaN, 0},
    {"dLogb", -48.5, kValue, 0, 5}, {"sLogb", 1e-45, kValue, 0, -149}, {"sLogb", 0.0, kNegInf, 1},
};

// Values within 2 ulps, or 2^-20 relative for EP (the accuracy sample checks the real bound).
template <class T> bool matches(T got, const Row& row, int slot) {
  switch (row.want) {
    case kPosInf: return got == std::numeric_limits<T>::infinity();
    case kNegInf: return got == -std::numeric_limits<T>::infinity();
    case kPosZero: return got == 0 && !std::signbit(got);
    case kNaN: return std::isnan(got);
    case kSubnormal: return got > 0 && got < std::numeric_limits<T>::min();
    case kMinusOne: return got == T(-1);
    case kOne: return got == T(1);
    case kValue: {
      const T want = T(row.value);
      if (want == 0) return got == 0 && std::signbit(got) == std::signbit(want);
      const double tol = slot == 2 ? 0x1p-20 : 2 * std::numeric_limits<T>::epsilon();
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

template <class T> void check_row(const Row& row, int slot) {
  // The element sits at index 21: inside the second register of the main part for float,
  // in the tail for double, among ordinary neighbours.
  const int n = 23, at = 21;
  std::vector<T> a(n, T(0.75)), r(n);
  a[at] = T(row.x);
  g_reports.clear();
  zarClearErrStatus();
  reinterpret_cast<void (*)(int32_t, const T*, T*)>(table(row.fn)[slot])(n, a.data(), r.data());
  EXPECT_TRUE(matches(r[at], row, slot)) << row.fn << "(" << row.x << ") slot " << slot << " gave " << r[at];
  if (row.code == 0) {
    EXPECT_TRUE(g_reports.empty()) << row.fn << "(" << row.x << ") slot " << slot << " reported " << g_reports[0].code;
  } else {
    ASSERT_EQ(g_reports.size(), 1u) << row.fn << "(" << row.x << ") slot " << slot;
    EXPECT_EQ(g_reports[0].code, row.code) << row.fn << "(" << row.x << ") slot " << slot;
    EXPECT_EQ(g_reports[0].index, at);
    EXPECT_EQ(zarGetErrStatus(), row.code);
  }
}

TEST(ExpLog, SpecialResultsAndCodesInEveryFlavour) {
  zarSetErrorCallBack(keep);
  for (const Row& row : kRows) {
    ASSERT_NE(table(row.fn), nullptr) << row.fn;
    for (int slot = 0; slot < 3; ++slot) {
      if (row.fn[0] == 'd') check_row<double>(row, slot);
      else check_row<float>(row, slot);
    }
  }
  zarClearErrorCallBack();
}

// The same value gives the same bits in the main part and in the masked tail.
TEST(ExpLog, TailLanesEqualMainPartLanes) {
  std::mt19937_64 rng(5);
  std::uniform_real_distribution<double> u(-30, 30);
  for (const auto& f : kFns) {
    for (int slot = 0; slot < 3; ++slot) {
      if (f.name[0] == 'd') {
        std::vector<double> a(37), r(37), t(5);
        for (auto& x : a) x = f.name[1] == 'L' ? std::exp(u(rng)) : u(rng);
        reinterpret_cast<D1>(f.tab[slot])(37, a.data(), r.data());
        reinterpret_cast<D1>(f.tab[slot])(5, a.data() + 3, t.data());
        for (int i = 0; i < 5; ++i) EXPECT_EQ(std::memcmp(&r[3 + i], &t[i], 8), 0) << f.name << " slot " << slot;
      } else {
        std::vector<float> a(37), r(37), t(5);
        for (auto& x : a) x = float(f.name[1] == 'L' ? std::exp(u(rng)) : u(rng));
        reinterpret_cast<S1>(f.tab[slot])(37, a.data(), r.data());
        reinterpret_cast<S1>(f.tab[slot])(5, a.data() + 3, t.data());
        for (int i = 0; i < 5; ++i) EXPECT_EQ(std::memcmp(&r[3 + i], &t[i], 4), 0) << f.name << " slot " << slot;
      }
    }
  }
}

TEST(ExpLog, StridedEqualsUnitStride) {
  std::vector<double> a(300), r1(100), r2(300);
  for (int i = 0; i < 300; ++i) a[i] = 0.37 * i - 50;
  zardExpI(100, a.data(), 3, r2.data(), 3);
  std::vector<double> packed(100);
  for (int i = 0; i < 100; ++i) packed[i] = a[3 * i];
  zardExp(100, packed.data(), r1.data());
  for (int i = 0; i < 100; ++i) EXPECT_EQ(r1[i], r2[3 * i]);
  std::vector<float> fa(200), fr1(100), fr2(100);
  for (int i = 0; i < 200; ++i) fa[i] = float(0.05 * i + 1e-3);
  zarsLnI_11(100, fa.data(), 2, fr2.data(), 1);
  std::vector<float> fp(100);
  for (int i = 0; i < 100; ++i) fp[i] = fa[2 * i];
  zarsLn_11(100, fp.data(), fr1.data());
  EXPECT_EQ(std::memcmp(fr1.data(), fr2.data(), 400), 0);
}

}  // namespace
