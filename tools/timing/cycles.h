// Clock rates and timing of short calls.
#pragma once
#include <x86intrin.h>

#include <algorithm>
#include <cstdint>

namespace nrx::timing {

struct Clock {
  double core_ghz;  // core cycles per nanosecond, from a chain of dependent integer adds
  double tsc_ghz;   // time-stamp counter ticks per nanosecond
};

// Measured once per process, on first use.
const Clock& clock();

// Best time of one call of f in nanoseconds: `reps` rounds, each calling f repeatedly for at
// least min_ns, the fastest round's average. The caller makes f's effect observable.
template <class F> double best_ns(F&& f, int reps = 7, double min_ns = 1e6) {
  const double tsc = clock().tsc_ghz;
  f();  // warm caches and tables
  double best = 1e300;
  for (int k = 0; k < reps; ++k) {
    uint64_t calls = 0;
    const uint64_t t0 = __rdtsc();
    uint64_t t1 = t0;
    do {
      f();
      ++calls;
      t1 = __rdtsc();
    } while (double(t1 - t0) < min_ns * tsc);
    best = std::min(best, double(t1 - t0) / tsc / double(calls));
  }
  return best;
}

}  // namespace nrx::timing
