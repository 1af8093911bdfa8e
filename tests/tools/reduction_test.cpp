// The exponentials' shared reduction against MPFR where it is most fragile: on both sides of
// every switch of the table index k (x at (k + 1/2) steps, and its neighbours), where the
// scale 2^(k/N) falls below 1/2 (Expm1's s - 1 is then not exact by itself), and inputs
// that once failed. Each row: a table, the argument step of one k (ln 2/N, 1/N or
// log10(2)/N), and the k range.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "tools/accuracy/accuracy.h"

namespace nrx::accuracy {
namespace {

struct Row {
  const char* table;
  double step;     // argument change of one k
  int k_lo, k_hi;  // switch points (k + 1/2) step for k in [k_lo, k_hi]
  std::vector<double> extra;
};

const double kLn2 = 0.69314718055994530942, kLog10_2 = 0.30102999566398119521;

const Row kRows[] = {
    // Expm1 below x = -ln 2 / 2: 2^(k/N) < 1/2 from k = -N - 1 on.
    {"dExpm1", kLn2 / 16, -60, 60, {-0x1.86811d99c044p-1, -0x1.1b14bcea29368p+0, -0x1.e8049d94f96p-1}},
    {"sExpm1", kLn2 / 32, -120, 120, {}},
    {"dExp", kLn2 / 16, -40, 40, {}},
    {"sExp", kLn2 / 32, -80, 80, {}},
    {"dExp2", 1.0 / 16, -40, 40, {}},
    {"dExp10", kLog10_2 / 16, -40, 40, {}},
};

// x and its neighbours one and two ulps away, in the table's type.
void around(double x, bool single, std::vector<double>& out) {
  if (single) {
    float f = float(x);
    for (int k = 0; k < 2; ++k) f = std::nextafter(f, -INFINITY);
    for (int k = 0; k < 5; ++k, f = std::nextafter(f, INFINITY)) out.push_back(f);
  } else {
    for (int k = 0; k < 2; ++k) x = std::nextafter(x, -INFINITY);
    for (int k = 0; k < 5; ++k, x = std::nextafter(x, INFINITY)) out.push_back(x);
  }
}

TEST(ExpReduction, WithinBoundAtIndexSwitches) {
  for (const Row& row : kRows) {
    int unused = 0;
    const catalog::Entry* e = find_entry(row.table, &unused);
    ASSERT_NE(e, nullptr) << row.table;
    Options o;
    o.samples = 200;
    o.range = true;
    o.lo = (row.k_lo - 1) * row.step;
    o.hi = (row.k_hi + 1) * row.step;
    o.special = row.extra;
    for (int k = row.k_lo; k <= row.k_hi; ++k) around((k + 0.5) * row.step, e->type == 's', o.special);
    for (const Result& r : measure_slots(*e, distinct_slots(*e), o)) {
      std::string why;
      for (const Sample& s : r.worst) why += "\n  worst: " + describe(*e, s);
      EXPECT_LE(r.max_ulp, r.bound) << row.table << " " << slot_name(r.slot) << why;
      EXPECT_EQ(r.mismatches, 0u) << row.table << " " << slot_name(r.slot) << why;
    }
  }
}

}  // namespace
}  // namespace nrx::accuracy
