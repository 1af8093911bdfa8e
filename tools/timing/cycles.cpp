#include "tools/timing/cycles.h"

#include <chrono>

namespace nrx::timing {
namespace {

using steady = std::chrono::steady_clock;

double elapsed_ns(steady::time_point a, steady::time_point b) {
  return double(std::chrono::duration_cast<std::chrono::nanoseconds>(b - a).count());
}

// An add depends on the one before it, so the chain runs at one add per core cycle whatever
// the frequency; adds per nanosecond is the clock. The loop counter runs beside the chain.
// The addend is a register: some cores fold chains of immediate adds at rename, which made
// the chain run several adds per cycle.
double core_ghz() {
  constexpr int kRounds = 7;
  constexpr uint64_t kIters = 10000;  // of 1000 adds each
  double best = 0;
  for (int k = 0; k < kRounds; ++k) {
    uint64_t x = k;
    const uint64_t one = 1;
    const auto t0 = steady::now();
    for (uint64_t i = 0; i < kIters; ++i) asm volatile(".rept 1000\n\taddq %1, %0\n\t.endr" : "+r"(x) : "r"(one));
    const auto t1 = steady::now();
    best = std::max(best, double(kIters) * 1000.0 / elapsed_ns(t0, t1));
  }
  return best;
}

double tsc_ghz() {
  double best = 0;
  for (int k = 0; k < 3; ++k) {
    const auto t0 = steady::now();
    const uint64_t c0 = __rdtsc();
    auto t1 = t0;
    while (elapsed_ns(t0, t1) < 2e7) t1 = steady::now();
    const uint64_t c1 = __rdtsc();
    best = std::max(best, double(c1 - c0) / elapsed_ns(t0, t1));
  }
  return best;
}

}  // namespace

const Clock& clock() {
  static const Clock c{core_ghz(), tsc_ghz()};
  return c;
}

}  // namespace nrx::timing
