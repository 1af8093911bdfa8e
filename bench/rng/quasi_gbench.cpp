// Sobol double output on [0, 1) per call size, beside two store floors of the same
// buffer: a plain vector store loop and one of whole lines written past the caches, on
// one thread and on two.
// Arguments: dimension, points per call, threads of the core library's threader.
#include <benchmark/benchmark.h>
#include <omp.h>

#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "nrx/rng.h"
#include "simd/stream.h"
#include "simd/vec.h"
#include "tools/qrng/form11_words.h"

namespace {

double* buffer(size_t values) {
  auto* r = static_cast<double*>(std::aligned_alloc(64, (values * 8 + 63) & ~size_t(63)));
  std::memset(r, 0, values * 8);
  return r;
}

void sobol(benchmark::State& st) {
  const auto d = uint32_t(st.range(0)), points = uint32_t(st.range(1));
  omp_set_num_threads(int(st.range(2)));
  const std::vector<uint32_t> words = nrx::qrng_testing::form11_words(d);
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

// Threads (an OpenMP team, whose threads spin between loops) store contiguous parts of
// whole lines.
void store_floor(benchmark::State& st) {
  const size_t n = size_t(st.range(0)) * size_t(st.range(1));
  const bool stream = st.range(2) != 0;
  const int threads = int(st.range(3));
  double* r = buffer(n);
  const auto v = nrx::simd::splat(0.5);
  for (auto _ : st) {
#pragma omp parallel num_threads(threads)
    {
      const size_t t = size_t(omp_get_thread_num()), lines = n / 8;
      double* const from = r + lines * t / size_t(threads) * 8;
      double* const to = r + lines * (t + 1) / size_t(threads) * 8;
      if (stream) {
        for (double* p = from; p < to; p += 8) nrx::simd::stream_line(p, nrx::simd::as_int(v));
        nrx::simd::streaming_done();
      } else {
        for (double* p = from; p < to; p += 8) nrx::simd::store(p, v);
      }
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
constexpr std::pair<int, int> kSizes[] = {{10, 8192}, {10, 1 << 16}, {1000, 128}, {1000, 4096}};

BENCHMARK(sobol)
    ->Apply([](auto* b) {
      for (auto [d, points] : kSizes)
        for (int t = 1; t <= 2; ++t) b->Args({d, points, t});
      b->UseRealTime();
    }) -> ArgNames({"d", "points", "threads"});
BENCHMARK(store_floor)
    ->Apply([](auto* b) {
      for (auto [d, points] : kSizes)
        for (int stream = 0; stream <= 1; ++stream)
          for (int t = 1; t <= 2; ++t) b->Args({d, points, stream, t});
      b->UseRealTime();
    }) -> ArgNames({"d", "points", "stream", "threads"});

}  // namespace

BENCHMARK_MAIN();
