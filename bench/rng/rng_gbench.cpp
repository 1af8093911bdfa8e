// Generator throughput: integer and double output of each generator in calls of 2^16
// values (the vector blocks) and of 13 (the scalar tails); bytes processed = bytes written.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "nrx/rng.h"

namespace {

struct Row {
  const char* name;
  int32_t brng;
};
// Every ready generator with all three outputs, from the one generator list.
#define NRX_BENCH_ROW(Name, NAME, id, state, seeds, zero, word, bits, members, split, cpu, avail, kind, label) \
  NRX_BRNG_WHEN_USABLE(avail, kind, {#Name, id}, )
constexpr Row kRows[] = {NRX_BRNG_LIST(NRX_BENCH_ROW)};
#undef NRX_BENCH_ROW
constexpr int32_t kN = 1 << 16, kTail = 13;

void integers(benchmark::State& st, int32_t brng, int32_t n) {
  DruStream* s = nullptr;
  const uint32_t seed = 7;
  _druNewStreamEx(&s, brng, 1, &seed);
  BrngProperties p{};
  _druGetBrngProperties(brng, &p);
  std::vector<uint32_t> r(size_t(n) * p.WordBytes / 4);
  for (auto _ : st) {
    p.GenI(s, n, r.data());
    benchmark::DoNotOptimize(r.data());
  }
  st.SetItemsProcessed(int64_t(st.iterations()) * n);
  st.SetBytesProcessed(int64_t(st.iterations()) * n * p.WordBytes);
  _druDeleteStream(&s);
}

void doubles(benchmark::State& st, int32_t brng, int32_t n) {
  DruStream* s = nullptr;
  const uint32_t seed = 7;
  _druNewStreamEx(&s, brng, 1, &seed);
  std::vector<double> r(n);
  for (auto _ : st) {
    drudRngUniform(DRU_RNG_UNIFORM_STD, s, n, r.data(), 0.0, 1.0);
    benchmark::DoNotOptimize(r.data());
  }
  st.SetItemsProcessed(int64_t(st.iterations()) * n);
  st.SetBytesProcessed(int64_t(st.iterations()) * n * 8);
  _druDeleteStream(&s);
}

const bool registered = [] {
  for (const Row& r : kRows) {
    for (int32_t n : {kN, kTail}) {
      const std::string tag = n == kN ? "" : "/" + std::to_string(n);
      benchmark::RegisterBenchmark((r.name + std::string("/integer") + tag).c_str(), integers, r.brng, n);
      benchmark::RegisterBenchmark((r.name + std::string("/double") + tag).c_str(), doubles, r.brng, n);
    }
  }
  return true;
}();

}  // namespace

BENCHMARK_MAIN();
