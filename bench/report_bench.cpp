// The cost of reporting elements: dLn at n = 1,000 with no element, 1% and every element at
// +0 (code 2, result -inf), under the error modes a caller picks, beside a loop over the C
// library's log on the same arguments (which sets errno and the division-by-zero flag per
// pole). Counters as in nrx_bench: ns/elem and cyc/elem at the measured core clock.
//
//   nrx_report_bench --benchmark_filter=every
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "bench/timed.h"
#include "nrx/zar.h"
#include "nrx/zar_functions.h"

namespace {

constexpr int32_t kN = 1000;

// Arguments in [1, 2) with every stride-th element at +0 (stride 0: none).
std::vector<double> arguments(int stride) {
  std::vector<double> a(kN);
  for (int32_t i = 0; i < kN; ++i) a[i] = 1.0 + i * 1e-3;
  if (stride > 0)
    for (int32_t i = 0; i < kN; i += stride) a[i] = 0.0;
  return a;
}

int32_t keep_result(ZarErrorContext*) { return 1; }

struct Mode {
  const char* name;
  uint32_t bits;
  ZarCallBack callback;
};

const Mode kModes[] = {
    {"default", ZAR_ERRMODE_DEFAULT, nullptr},       {"errno", ZAR_ERRMODE_ERRNO, nullptr},
    {"ignore", ZAR_ERRMODE_IGNORE, nullptr},         {"noerr", ZAR_ERRMODE_NOERR, nullptr},
    {"callback", ZAR_ERRMODE_CALLBACK, keep_result},
};

struct Load {
  const char* name;
  int stride;
};
const Load kLoads[] = {{"none", 0}, {"1pct", 100}, {"every", 1}};

void nrx_ln(benchmark::State& st, Mode m, int stride) {
  const std::vector<double> a = arguments(stride);
  std::vector<double> r(kN);
  const uint32_t saved = zarSetMode(m.bits);
  const ZarCallBack saved_cb = zarSetErrorCallBack(m.callback);
  nrx::bench::timed(st, kN, [&] { zardLn(kN, a.data(), r.data()); });
  zarSetErrorCallBack(saved_cb);
  zarSetMode(saved);
}

void libc_log(benchmark::State& st, int stride) {
  const std::vector<double> a = arguments(stride);
  std::vector<double> r(kN);
  nrx::bench::timed(st, kN, [&] {
    for (int32_t i = 0; i < kN; ++i) r[i] = std::log(a[i]);
  });
}

const bool registered = [] {
  for (const Load& l : kLoads) {
    for (const Mode& m : kModes)
      benchmark::RegisterBenchmark((std::string("nrx/dLn/") + l.name + "/" + m.name).c_str(), nrx_ln, m, l.stride)
          ->UseRealTime();
    benchmark::RegisterBenchmark((std::string("libc/log/") + l.name).c_str(), libc_log, l.stride)->UseRealTime();
  }
  return true;
}();

}  // namespace

BENCHMARK_MAIN();
