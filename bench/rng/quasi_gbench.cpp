// Sobol double output on [0, 1) per call size, beside two store floors of the same
// buffer: a plain vector store loop and one of whole lines written past the caches.
// Arguments: dimension, points per call, threads of the core library's threader.
#include <benchmark/benchmark.h>
#include <omp.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "nrx/rng.h"
#include "simd/stream.h"
#include "simd/vec.h"

namespace {

// Form 11 seed words: d dimensions of direction numbers v_c = 2^(31 - c) times an odd
// number below 2^(c + 1); the speed does not depend on which.
std::vector<uint32_t> seed_words(uint32_t d) {
  std::vector<uint32_t> p = {d, 1, 11};
  uint32_t x = 12345;
  for (uint32_t j = 0; j < d; ++j)
    for (uint32_t c = 0; c < 32; ++c) {
      x = x * 1664525u + 1013904223u;
      const uint64_t m = (uint64_t(x) | 1u) & ((uint64_t(2) << c) - 1);
      p.push_back(uint32_t(m << (31 - c)));
    }
  return p;
}

double* buffer(size_t values) {
  auto* r = static_cast<double*>(std::aligned_alloc(64, (values * 8 + 63) & ~size_t(63)));
  std::memset(r, 0, values * 8);
  return r;
}

void sobol(benchmark::State& st) {
  const auto d = uint32_t(st.range(0)), points = uint32_t(st.range(1));
  omp_set_num_threads(int(st.range(2)));
  const std::vector<uint32_t> words = seed_words(d);
  DruStream* s = nullptr;
  _druNewStreamEx(&s, DRU_BRNG_SOBOL, int32_t(words.size()), words.data());
  const int32_t n = int32_t(d * points);
  double* r = buffer(size_t(n));
  for (auto _ : st) {
    _drudBRngSobol(s, n, r, 0.0, 1.0);
    benchmark::DoNotOptimize(r);
    benchmark::ClobberMemory();
  }
  st.counters["ns/value"] =
      benchmark::Counter(double(st.iterations()) * n, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  std::free(r);
  _druDeleteStream(&s);
}

void store_floor(benchmark::State& st) {
  const size_t n = size_t(st.range(0)) * size_t(st.range(1));
  const bool stream = st.range(2) != 0;
  double* r = buffer(n);
  const auto v = nrx::simd::splat(0.5);
  for (auto _ : st) {
    if (stream) {
      for (size_t i = 0; i + 8 <= n; i += 8) nrx::simd::stream_line(r + i, nrx::simd::as_int(v));
      nrx::simd::streaming_done();
    } else {
      for (size_t i = 0; i + 8 <= n; i += 8) nrx::simd::store(r + i, v);
    }
    benchmark::DoNotOptimize(r);
    benchmark::ClobberMemory();
  }
  st.counters["ns/value"] = benchmark::Counter(double(st.iterations()) * double(n),
                                               benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  std::free(r);
}

// The sizes of quasi_bench.py: about 1 MB at d = 10 and 1,000, and 32 MB at d = 1,000.
// Wall-clock time: the threaded calls' work is on two threads.
void sizes(benchmark::internal::Benchmark* b, int first) {
  for (auto [d, points] : {std::pair{10, 8192}, {10, 1 << 16}, {1000, 128}, {1000, 4096}})
    for (int t = first; t <= first + 1; ++t) b->Args({d, points, t});
  b->UseRealTime();
}

BENCHMARK(sobol)->Apply([](auto* b) { sizes(b, 1); }) -> ArgNames({"d", "points", "threads"});
BENCHMARK(store_floor)->Apply([](auto* b) { sizes(b, 0); }) -> ArgNames({"d", "points", "stream"});

}  // namespace

BENCHMARK_MAIN();
