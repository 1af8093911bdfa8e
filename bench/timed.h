// Per-element time of a Google Benchmark loop: thread CPU time (other processes on the
// machine do not count against a kernel) per element, and cycles at the measured core clock.
#pragma once
#include <benchmark/benchmark.h>

#include <cstdint>
#include <ctime>

#include "tools/timing/cycles.h"

namespace nrx::bench {

inline double cpu_ns() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return double(t.tv_sec) * 1e9 + double(t.tv_nsec);
}

// Runs call (n elements each time) for the benchmark's iterations; counters ns/elem, cyc/elem.
template <class F> void timed(benchmark::State& st, int64_t n, F call) {
  const double t0 = cpu_ns();
  for (auto _ : st) {
    call();
    benchmark::ClobberMemory();
  }
  const double ns = (cpu_ns() - t0) / double(st.iterations()) / double(n);
  st.counters["ns/elem"] = ns;
  st.counters["cyc/elem"] = ns * nrx::timing::clock().core_ghz;
  st.SetItemsProcessed(int64_t(st.iterations()) * n);
}

}  // namespace nrx::bench
