// Generator throughput: integer and double output of each generator in blocks of
// 2^16 values (bytes processed = bytes written).
#include <benchmark/benchmark.h>

#include <vector>

#include "nrx/rng.h"

namespace {

struct Row {
  const char* name;
  int32_t brng;
};
constexpr Row kRows[] = {{"MCG31M1", DRU_BRNG_MCG31M1}, {"MCG59", DRU_BRNG_MCG59}, {"MRG32K3A", DRU_BRNG_MRG32K3A},
                         {"R250", DRU_BRNG_R250},       {"WH", DRU_BRNG_WH}};
constexpr int32_t kN = 1 << 16;

void integers(benchmark::State& st, int32_t brng) {
  DruStream* s = nullptr;
  const uint32_t seed = 7;
  _druNewStreamEx(&s, brng, 1, &seed);
  BrngProperties p{};
  _druGetBrngProperties(brng, &p);
  std::vector<uint32_t> r(size_t(kN) * p.WordBytes / 4);
  for (auto _ : st) {
    p.GenI(s, kN, r.data());
    benchmark::DoNotOptimize(r.data());
  }
  st.SetItemsProcessed(int64_t(st.iterations()) * kN);
  st.SetBytesProcessed(int64_t(st.iterations()) * kN * p.WordBytes);
  _druDeleteStream(&s);
}

void doubles(benchmark::State& st, int32_t brng) {
  DruStream* s = nullptr;
  const uint32_t seed = 7;
  _druNewStreamEx(&s, brng, 1, &seed);
  std::vector<double> r(kN);
  for (auto _ : st) {
    drudRngUniform(DRU_RNG_UNIFORM_STD, s, kN, r.data(), 0.0, 1.0);
    benchmark::DoNotOptimize(r.data());
  }
  st.SetItemsProcessed(int64_t(st.iterations()) * kN);
  st.SetBytesProcessed(int64_t(st.iterations()) * kN * 8);
  _druDeleteStream(&s);
}

const bool registered = [] {
  for (const Row& r : kRows) {
    benchmark::RegisterBenchmark((std::string(r.name) + "/integer").c_str(), integers, r.brng);
    benchmark::RegisterBenchmark((std::string(r.name) + "/double").c_str(), doubles, r.brng);
  }
  return true;
}();

}  // namespace

BENCHMARK_MAIN();
