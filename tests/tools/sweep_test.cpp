// Every catalogue table that has a vector kernel, every distinct kernel of it, against MPFR:
// the slot's ulp bound and no special-value mismatch, with the mode's flush-to-zero off and on
// (flushed, subnormal inputs count as zeros and subnormal results as zeros).
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "tools/accuracy/accuracy.h"

#ifdef NRX_SWEEP_LONG
#define NRX_SWEEP_SAMPLES 1000000
#define NRX_SWEEP_SUITE CatalogueLong
#else
#define NRX_SWEEP_SAMPLES 2000
#define NRX_SWEEP_SUITE Catalogue
#endif

namespace nrx::accuracy {
namespace {

std::vector<const catalog::Entry*> vector_kernels() {
  std::vector<const catalog::Entry*> v;
  for (size_t i = 0; i < catalog::count; ++i) {
    const catalog::Entry& e = catalog::entries[i];
    if (e.kernel && measurable(e)) v.push_back(&e);
  }
  return v;
}

class Sweep : public testing::TestWithParam<std::tuple<const catalog::Entry*, bool>> {};

TEST_P(Sweep, WithinBound) {
  const catalog::Entry& e = *std::get<0>(GetParam());
  Options o;
  o.samples = NRX_SWEEP_SAMPLES;
  o.ftz = std::get<1>(GetParam());
  for (const Result& r : measure_slots(e, distinct_slots(e), o)) {
    std::string why;
    for (const Sample& s : r.worst) why += "\n  worst: " + describe(e, s);
    for (const Sample& s : r.bad) why += "\n  mismatch: " + describe(e, s);
    EXPECT_LE(r.max_ulp, r.bound) << e.names[r.slot] << why;
    EXPECT_EQ(r.mismatches, 0u) << e.names[r.slot] << why;
  }
}

INSTANTIATE_TEST_SUITE_P(NRX_SWEEP_SUITE, Sweep, testing::Combine(testing::ValuesIn(vector_kernels()), testing::Bool()),
                         [](const testing::TestParamInfo<std::tuple<const catalog::Entry*, bool>>& p) {
                           return table_name(*std::get<0>(p.param)) + (std::get<1>(p.param) ? "_ftz" : "");
                         });

// No table with a kernel yet must not make the suite fail for want of instances.
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(Sweep);

}  // namespace
}  // namespace nrx::accuracy
