// The whole trigonometric and hyperbolic family, every distinct kernel, against MPFR over the
// whole domain of each function (not only the catalogue's ordinary range): 10^6 arguments
// drawn uniform and log-uniform, and for the circular functions the floats and doubles nearest
// to multiples of pi/2 and the huge arguments (1e22, 1e300, the largest finite value). Prints
// every kernel's maximum error.
#include <gtest/gtest.h>

#include <cfloat>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/zar/kernels/trig_hard.h"
#include "tools/accuracy/accuracy.h"

namespace {

namespace acc = nrx::accuracy;

enum Domain { kAll, kUnit, kFromOne };

struct Fn {
  const char* name;
  Domain domain;
  bool circular;  // gets the reduction's hard arguments too
};

const Fn kFunctions[] = {
    {"Sin", kAll, true},      {"Cos", kAll, true},      {"SinCos", kAll, true},     {"Tan", kAll, true},
    {"Sinpi", kAll, false},   {"Cospi", kAll, false},   {"Tanpi", kAll, false},     {"Sind", kAll, false},
    {"Cosd", kAll, false},    {"Tand", kAll, false},    {"Asin", kUnit, false},     {"Acos", kUnit, false},
    {"Asinpi", kUnit, false}, {"Acospi", kUnit, false}, {"Atan", kAll, false},      {"Atanpi", kAll, false},
    {"Atan2", kAll, false},   {"Atan2pi", kAll, false}, {"Sinh", kAll, false},      {"Cosh", kAll, false},
    {"Tanh", kAll, false},    {"Asinh", kAll, false},   {"Acosh", kFromOne, false}, {"Atanh", kUnit, false},
};

std::vector<std::string> tables() {
  std::vector<std::string> v;
  for (const char* t : {"s", "d"})
    for (const Fn& f : kFunctions) v.push_back(t + std::string(f.name));
  return v;
}

class WholeDomain : public testing::TestWithParam<std::string> {};

TEST_P(WholeDomain, WithinBound) {
  const std::string table = GetParam();
  const bool single = table[0] == 's';
  const Fn* fn = nullptr;
  for (const Fn& f : kFunctions)
    if (table.substr(1) == f.name) fn = &f;
  ASSERT_NE(fn, nullptr);
  int slot;
  const nrx::zar::catalog::Entry* e = acc::find_entry(table.c_str(), &slot);
  ASSERT_NE(e, nullptr) << table;
  const double top = single ? double(FLT_MAX) : DBL_MAX;
  acc::Options o;
  o.samples = 1000000;
  o.range = true;
  o.lo = fn->domain == kAll ? -top : fn->domain == kUnit ? -1.0 : 1.0;
  o.hi = fn->domain == kUnit ? 1.0 : top;
  if (fn->circular) {
    o.special = single ? nrx::test::near_multiples_of_half_pi(24, -30, 104)
                       : nrx::test::near_multiples_of_half_pi(53, -60, 970);
    for (double x : nrx::test::huge_arguments(single)) o.special.push_back(x);
  }
  for (const acc::Result& r : acc::measure_slots(*e, acc::distinct_slots(*e), o)) {
    std::string why;
    for (const acc::Sample& s : r.worst) why += "\n  worst: " + acc::describe(*e, s);
    for (const acc::Sample& s : r.bad) why += "\n  mismatch: " + acc::describe(*e, s);
    std::printf("%-16s max %.4g ulp over %zu results, bound %g\n", e->names[r.slot], r.max_ulp, r.count, r.bound);
    EXPECT_LE(r.max_ulp, r.bound) << e->names[r.slot] << why;
    EXPECT_EQ(r.mismatches, 0u) << e->names[r.slot] << why;
  }
}

INSTANTIATE_TEST_SUITE_P(Family, WholeDomain, testing::ValuesIn(tables()),
                         [](const testing::TestParamInfo<std::string>& p) { return p.param; });

}  // namespace
