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
// The addend is a register: cores that fold chains of immediate adds at renaming (recent
// Intel cores) would otherwise run several per cycle. The rounds are short (100,000 adds,
// some 30 us) and many, after a few milliseconds of the chain that bring the core to its
// clock: on a loaded machine a short round is seldom preempted, and the best of many is the
// clock (seven 10 ms rounds read 2-4% low beside two busy loops).
double chain_ghz(uint64_t iters) {
  uint64_t x = iters, one = 1;
  asm volatile("" : "+r"(one));  // not a constant the compiler could make an immediate
  const auto t0 = steady::now();
  for (uint64_t i = 0; i < iters; ++i) asm volatile(".rept 1000\n\taddq %1, %0\n\t.endr" : "+r"(x) : "r"(one));
  const auto t1 = steady::now();
  return double(iters) * 1000.0 / elapsed_ns(t0, t1);
}

double core_ghz() {
  constexpr int kRounds = 100;
  constexpr uint64_t kIters = 100;  // of 1000 adds each
  chain_ghz(20000);                 // some 5 ms at the core's clock
  double best = 0;
  for (int k = 0; k < kRounds; ++k) best = std::max(best, chain_ghz(kIters));
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
