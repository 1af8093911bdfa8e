// The caller's rounding mode and x87 precision never change a result or a status code: every
// table of the catalogue, every slot, unit-stride and strided, run under the four rounding
// modes and the three x87 precision settings gives the bits and codes of round-to-nearest.
#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "nrx/zar_functions.h"
#include "simd/x87.h"
#include "tests/zar/kernels/reports.h"
#include "tools/accuracy/kernel_call.h"

namespace nrx::accuracy {
namespace {

struct Setting {
  int round;           // FE_ rounding mode, set in MXCSR and the x87 control word
  uint16_t precision;  // x87 precision field: 0 single, 0x200 double, 0x300 extended
  const char* name;
};

const Setting kNearest = {FE_TONEAREST, 0x300, "nearest/extended"};
const Setting kSettings[] = {
    {FE_DOWNWARD, 0x300, "downward/extended"},     {FE_UPWARD, 0x300, "upward/extended"},
    {FE_TOWARDZERO, 0x300, "towardzero/extended"}, {FE_TONEAREST, 0x000, "nearest/single"},
    {FE_DOWNWARD, 0x000, "downward/single"},       {FE_UPWARD, 0x000, "upward/single"},
    {FE_TOWARDZERO, 0x000, "towardzero/single"},   {FE_TONEAREST, 0x200, "nearest/double"},
    {FE_DOWNWARD, 0x200, "downward/double"},       {FE_UPWARD, 0x200, "upward/double"},
    {FE_TOWARDZERO, 0x200, "towardzero/double"},
};

// Sets the caller's state for the lifetime of the object.
class CallerState {
 public:
  explicit CallerState(const Setting& s) : cw_(simd::x87_control()) {
    std::fesetround(s.round);
    simd::x87_set_control(uint16_t((simd::x87_control() & ~simd::kX87PrecisionField) | s.precision));
  }
  ~CallerState() {
    std::fesetround(FE_TONEAREST);
    simd::x87_set_control(cw_);
  }

 private:
  uint16_t cw_;
};

using test::Report;

struct Outcome {
  std::vector<double> out;
  std::vector<Report> reports;
};

Outcome run(const catalog::Entry& e, int slot, const Group& g, const Setting& s) {
  Outcome o;
  o.out.assign(2 * g.size(), 0.0);
  test::reports().clear();
  {
    const CallerState state(s);
    call_kernel(e, e.ttab[slot], g.data(), g.size(), o.out.data());
  }
  o.reports = test::reports();
  return o;
}

bool same(double a, double b) { return (std::isnan(a) && std::isnan(b)) || std::memcmp(&a, &b, sizeof a) == 0; }

bool element_wise(const catalog::Entry& e) {
  using catalog::Shape;
  return e.shape != Shape::packI && e.shape != Shape::packM && e.shape != Shape::packV && e.shape != Shape::unpackI &&
         e.shape != Shape::unpackM && e.shape != Shape::unpackV;
}

TEST(CallerRoundingMode, NeverChangesResultsOrCodes) {
  zarSetErrorCallBack(test::keep_report);
  Options o;
  o.samples = 120;
  size_t tables = 0;
  for (size_t k = 0; k < catalog::count; ++k) {
    const catalog::Entry& e = catalog::entries[k];
    if (!element_wise(e)) continue;  // Pack and Unpack copy bits and do no arithmetic
    ++tables;
    const std::vector<Group> groups = draw_inputs(e, o);
    for (int slot = 0; slot < 3; ++slot)
      for (const Group& g : groups) {
        const Outcome want = run(e, slot, g, kNearest);
        for (const Setting& s : kSettings) {
          const Outcome got = run(e, slot, g, s);
          int bad = 0;
          for (size_t i = 0; i < g.size() && bad < 3; ++i)
            for (int c = 0; c < 2; ++c)
              if (!same(got.out[2 * i + c], want.out[2 * i + c]) && bad++ < 3)
                ADD_FAILURE() << e.names[slot] << " under " << s.name << ": element " << i << " (" << g[i][0] << ", "
                              << g[i][2] << ") part " << c << " gives " << got.out[2 * i + c] << ", "
                              << want.out[2 * i + c] << " when rounding to nearest";
          ASSERT_EQ(got.reports.size(), want.reports.size()) << e.names[slot] << " under " << s.name;
          for (size_t i = 0; i < want.reports.size(); ++i) {
            EXPECT_EQ(got.reports[i].code, want.reports[i].code) << e.names[slot] << " under " << s.name;
            EXPECT_EQ(got.reports[i].index, want.reports[i].index) << e.names[slot] << " under " << s.name;
          }
        }
      }
  }
  zarClearErrorCallBack();
  EXPECT_EQ(tables, catalog::count - 24);
}

// Cases that once followed the caller's x87 rounding: the scalar routines computed in long
// double with the caller's control word.
struct Regression {
  const char* table;
  Setting setting;
  double x, y, want;
  int code;
};
const Regression kRegressions[] = {
    {"dPow", {FE_TOWARDZERO, 0x300, "towardzero"}, 10, 400, INFINITY, 3},
    {"dPow3o2", {FE_DOWNWARD, 0x300, "downward"}, 1e300, 0, INFINITY, 3},
    {"dCbrt", {FE_UPWARD, 0x300, "upward"}, 0x0.012688b70e62bp-1022, 0, 0x1.a9d1b0b5d7427p-344, 0},
    {"dCbrt", {FE_TONEAREST, 0x000, "single precision"}, 0x0.012688b70e62bp-1022, 0, 0x1.a9d1b0b5d7427p-344, 0},
};

TEST(CallerRoundingMode, RegressionRows) {
  zarSetErrorCallBack(test::keep_report);
  for (const Regression& r : kRegressions) {
    int slot = -1;
    const catalog::Entry* e = find_entry(r.table, &slot);
    ASSERT_NE(e, nullptr) << r.table;
    Input in{};
    in[0] = r.x;
    in[2] = r.y;
    const Group g(19, in);  // in the main part and in the tail
    for (int s = 0; s < 3; ++s) {
      const Outcome got = run(*e, s, g, r.setting);
      for (size_t i = 0; i < g.size(); ++i)
        EXPECT_TRUE(same(got.out[2 * i], r.want))
            << e->names[s] << "(" << r.x << ", " << r.y << ") under " << r.setting.name << " gives " << got.out[2 * i];
      EXPECT_EQ(got.reports.size(), r.code ? g.size() : 0u) << e->names[s] << " under " << r.setting.name;
      for (const Report& rep : got.reports) EXPECT_EQ(rep.code, r.code) << e->names[s];
    }
  }
  zarClearErrorCallBack();
}

}  // namespace
}  // namespace nrx::accuracy
