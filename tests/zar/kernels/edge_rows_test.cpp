// The special-input rows of zar/functions.py, through every table they concern (unit-stride and
// strided), in every flavour: the element's result and its status code with the reported
// index, the element sitting among ordinary neighbours in the masked tail of a double
// register and in the main part of a float one. Beside them, for every table with a vector
// kernel: tail lanes equal main-part lanes, strided calls equal unit-stride ones, and every
// such table has special rows.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "nrx/zar_functions.h"
#include "tests/zar/kernels/reports.h"
#include "tools/accuracy/kernel_call.h"
#include "tools/accuracy/mode.h"

namespace nrx::accuracy {
namespace {

using catalog::Entry;
using catalog::Special;

bool element_wise(const Entry& e) { return e.shape < catalog::Shape::packI; }

// One ulp of the format at |v| (the smallest subnormal below the normal range).
double ulp_at(double v, bool single) {
  const int p = single ? 24 : 53, emin = single ? -126 : -1022;
  int e;
  std::frexp(v, &e);
  return std::ldexp(1.0, std::max(e - 1, emin) - p + 1);
}

bool part_ok(Special::Kind kind, double got, double want, double scale, double bound, bool single) {
  switch (kind) {
    case Special::exact: return (std::isnan(got) && std::isnan(want)) || std::memcmp(&got, &want, sizeof got) == 0;
    case Special::within_bound:
      if (!std::isfinite(want) || std::isnan(got)) return got == want;
      return std::fabs(got - want) <= bound * ulp_at(scale, single);
    case Special::subnormal: return got > 0 && got < (single ? 0x1p-126 : 0x1p-1022);
    case Special::any: return true;
  }
  return false;
}

void check(const Entry& e, const Special& row) {
  constexpr int n = 23, at = 21;
  Input ordinary{}, special{};
  for (int k = 0; k < row.nargs; ++k) {
    const int pos = k < 2 ? 2 * k : k + 2;  // a, b (re, im), then the four LinearFrac scalars
    special[pos] = row.arg[k][0];
    if (k < 2) special[pos + 1] = row.arg[k][1];
  }
  ordinary = special;  // the scalars of Powx and LinearFrac are common to the call
  ordinary[0] = 0.75 > e.lo && 0.75 < e.hi ? 0.75 : e.lo + 1, ordinary[1] = 0;  // inside the domain
  if (e.shape == catalog::Shape::v2) ordinary[2] = 0.75, ordinary[3] = 0;
  std::vector<Input> in(n, ordinary);
  in[at] = special;
  const bool single = e.type == 's' || e.type == 'c';
  const FlushToZero ftz(row.ftz);
  for (int slot = 0; slot < 3; ++slot) {
    if (row.slot >= 0 && row.slot != slot) continue;
    std::vector<double> out(2 * n);
    test::reports().clear();
    zarClearErrStatus();
    EXPECT_EQ(call_kernel(e, e.ttab[slot], in.data(), n, out.data()), 0u) << e.names[slot] << ": writes outside";
    const std::string what = std::string(e.names[slot]) + " [" + row.text + "]";
    const double* got = &out[2 * at];
    const bool complex_out = row.nres == 1 && (e.type == 'c' || e.type == 'z') && e.shape != catalog::Shape::c2r;
    // the larger finite part: an infinite part beside it is checked exactly
    const auto finite = [](double x) { return std::isfinite(x) ? std::fabs(x) : 0.0; };
    const double scale =
        complex_out ? std::max(finite(row.want[0][0]), finite(row.want[0][1])) : std::fabs(row.want[0][0]);
    for (int k = 0; k < row.nres; ++k)
      for (int p = 0; p < (complex_out ? 2 : 1); ++p) {
        const double w = row.want[k][p], g = got[row.nres == 2 ? k : p];
        EXPECT_TRUE(part_ok(row.kind[k][p], g, w, row.nres == 2 ? std::fabs(w) : scale, e.bound[slot], single))
            << what << ": result " << k << " part " << p << " is " << g << ", want " << w;
      }
    if (row.code == 0) {
      EXPECT_TRUE(test::reports().empty()) << what << " reported code " << test::reports()[0].code;
    } else {
      ASSERT_EQ(test::reports().size(), 1u) << what;
      EXPECT_EQ(test::reports()[0].code, row.code) << what;
      EXPECT_EQ(test::reports()[0].index, at) << what;
      EXPECT_EQ(zarGetErrStatus(), row.code) << what;
    }
  }
}

TEST(SpecialRows, EveryTableEveryFlavour) {
  zarSetErrorCallBack(test::keep_report);
  for (size_t r = 0; r < catalog::special_count; ++r) {
    const Special& row = catalog::specials[r];
    int tables = 0;
    for (size_t k = 0; k < catalog::count; ++k) {
      const Entry& e = catalog::entries[k];
      if (std::string(e.func) != row.func || !std::strchr(row.types, e.type)) continue;
      check(e, row);
      ++tables;
    }
    EXPECT_EQ(tables, 2 * int(std::strlen(row.types))) << row.func << " [" << row.text << "]";
  }
  zarClearErrorCallBack();
}

TEST(SpecialRows, EveryVectorKernelHasRows) {
  for (size_t k = 0; k < catalog::count; ++k) {
    const Entry& e = catalog::entries[k];
    if (!e.kernel || !element_wise(e)) continue;
    bool found = false;
    for (size_t r = 0; r < catalog::special_count && !found; ++r)
      found = std::string(catalog::specials[r].func) == e.func && std::strchr(catalog::specials[r].types, e.type);
    EXPECT_TRUE(found) << e.names[3] << " has a vector kernel and no special rows";
  }
}

std::vector<double> run(const Entry& e, int slot, const Input* in, size_t n) {
  std::vector<double> out(2 * n);
  EXPECT_EQ(call_kernel(e, e.ttab[slot], in, n, out.data()), 0u) << e.names[slot] << ": writes outside";
  return out;
}

// Index of the first element whose bits differ (any two NaNs alike), -1 when none does.
long first_difference(const std::vector<double>& a, size_t from, const std::vector<double>& b) {
  for (size_t i = 0; i < b.size(); ++i)
    if (!(std::isnan(a[from + i]) && std::isnan(b[i])) && std::memcmp(&a[from + i], &b[i], sizeof(double)) != 0)
      return long(i / 2);
  return -1;
}

// The same value gives the same bits in a full register and in the masked tail, and the
// strided kernel the bits of the unit-stride one.
TEST(VectorKernels, TailLanesAndStridesGiveTheSameBits) {
  zarSetErrorCallBack(test::keep_report);
  Options o;
  o.samples = 48;
  for (size_t k = 0; k < catalog::count; ++k) {
    const Entry& e = catalog::entries[k];
    if (!e.kernel || !element_wise(e) || e.strided) continue;
    const Entry* twin = nullptr;
    for (size_t j = 0; j < catalog::count; ++j)
      if (catalog::entries[j].strided && catalog::entries[j].ttab != e.ttab &&
          std::string(catalog::entries[j].func) == e.func && catalog::entries[j].type == e.type)
        twin = &catalog::entries[j];
    ASSERT_NE(twin, nullptr) << e.names[3];
    for (const Group& g : draw_inputs(e, o))
      for (int slot = 0; slot < 3; ++slot) {
        const std::vector<double> all = run(e, slot, g.data(), g.size());
        const long tail = first_difference(all, 2 * 3, run(e, slot, g.data() + 3, 5));
        EXPECT_EQ(tail, -1) << e.names[slot] << ": the tail differs at (" << g[3 + tail][0] << ", " << g[3 + tail][1]
                            << "; " << g[3 + tail][2] << ", " << g[3 + tail][3] << ")";
        const long at = first_difference(all, 0, run(*twin, slot, g.data(), g.size()));
        EXPECT_EQ(at, -1) << twin->names[slot] << " differs at (" << g[at][0] << ", " << g[at][1] << "; " << g[at][2]
                          << ", " << g[at][3] << "): " << all[2 * at] << ", " << all[2 * at + 1];
      }
  }
  zarClearErrorCallBack();
}

}  // namespace
}  // namespace nrx::accuracy
