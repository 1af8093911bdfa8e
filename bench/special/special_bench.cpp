// Special functions that SLEEF and libmvec lack, at n = 1,000, beside a per-element loop over
// the C library in the same run: CdfNorm beside erfc(-x / sqrt 2) / 2.
//
//   nrx_special_bench --benchmark_filter=CdfNorm
//
// Counters, from the thread's CPU time: ns/elem and cyc/elem at the core clock measured at
// start-up (printed in the context).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <ctime>
#include <random>
#include <vector>

#include "nrx/zar_functions.h"
#include "tools/timing/cycles.h"

namespace {

constexpr int kN = 1000;

double cpu_ns() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return double(t.tv_sec) * 1e9 + double(t.tv_nsec);
}

template <class F> void timed(benchmark::State& st, F call) {
  const double t0 = cpu_ns();
  for (auto _ : st) {
    call();
    benchmark::ClobberMemory();
  }
  const double ns = (cpu_ns() - t0) / double(st.iterations()) / kN;
  st.counters["ns/elem"] = ns;
  st.counters["cyc/elem"] = ns * nrx::timing::clock().core_ghz;
}

template <class T> std::vector<T> uniform(double lo, double hi) {
  std::mt19937_64 g(7);
  std::uniform_real_distribution<double> u(lo, hi);
  std::vector<T> v(kN);
  for (T& x : v) x = T(u(g));
  return v;
}

template <class T> using Kernel = void (*)(int32_t, const T*, T*);

template <class T> void kernel(benchmark::State& st, Kernel<T> f, double lo, double hi) {
  const std::vector<T> a = uniform<T>(lo, hi);
  std::vector<T> r(kN);
  timed(st, [&] { f(kN, a.data(), r.data()); });
}

template <class T, class F> void loop(benchmark::State& st, F f, double lo, double hi) {
  const std::vector<T> a = uniform<T>(lo, hi);
  std::vector<T> r(kN);
  timed(st, [&] {
    for (int i = 0; i < kN; ++i) r[i] = f(a[i]);
  });
}

double cdf_libm(double x) { return 0.5 * std::erfc(-x * M_SQRT1_2); }
float cdf_libm_f(float x) { return 0.5f * std::erfc(-x * float(M_SQRT1_2)); }

void register_all() {
  const double lo = -38, hi = 9, slo = -14, shi = 6;
  benchmark::RegisterBenchmark("nrx/dCdfNorm/HA", kernel<double>, zardCdfNorm_HA, lo, hi);
  benchmark::RegisterBenchmark("nrx/dCdfNorm/LA", kernel<double>, zardCdfNorm_50, lo, hi);
  benchmark::RegisterBenchmark("nrx/dCdfNorm/EP", kernel<double>, zardCdfNorm_26, lo, hi);
  benchmark::RegisterBenchmark("libm_loop/dCdfNorm", loop<double, double (*)(double)>, cdf_libm, lo, hi);
  benchmark::RegisterBenchmark("nrx/sCdfNorm/HA", kernel<float>, zarsCdfNorm_HA, slo, shi);
  benchmark::RegisterBenchmark("nrx/sCdfNorm/LA", kernel<float>, zarsCdfNorm_21, slo, shi);
  benchmark::RegisterBenchmark("nrx/sCdfNorm/EP", kernel<float>, zarsCdfNorm_11, slo, shi);
  benchmark::RegisterBenchmark("libm_loop/sCdfNorm", loop<float, float (*)(float)>, cdf_libm_f, slo, shi);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.3f", nrx::timing::clock().core_ghz);
  benchmark::AddCustomContext("core_clock_ghz", buf);
  register_all();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
