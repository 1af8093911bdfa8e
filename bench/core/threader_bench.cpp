// The cost of one parallel loop of two items, per call: the named threader and the
// OpenMP table. "meet" items wait for each other, so a call lasts until a helper has
// started its item (the hand-off the quasi-random generators pay on every threaded
// call); "empty" items return at once, so the caller may run both. "after_idle" times
// a meeting call that follows a pause of the given microseconds, as a program calling
// now and then meets the helpers. "compute" loops show the scaling of each table.
#include <benchmark/benchmark.h>
#include <omp.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "nrx/core.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Meeting {
  std::atomic<int> arrived{0};
};

// Waits until both items have started; gives up after 50 ms, so that a loop run on one
// thread ends (its time then shows it).
void meet(int64_t, int64_t, int64_t, void* ctx) {
  auto* m = static_cast<Meeting*>(ctx);
  m->arrived.fetch_add(1, std::memory_order_acq_rel);
  const auto end = Clock::now() + std::chrono::milliseconds(50);
  while (m->arrived.load(std::memory_order_acquire) < 2 && Clock::now() < end) {}
}

void empty(int64_t, int64_t, int64_t, void*) {}

// About 10 us of arithmetic that stays in registers: a loop of such items shows how
// a threader scales, apart from memory.
void compute(int64_t item, int64_t, int64_t, void* ctx) {
  uint64_t x = uint64_t(item) + 1;
  for (int i = 0; i < 20000; ++i) x = x * 6364136223846793005u + 1442695040888963407u;
  static_cast<std::atomic<uint64_t>*>(ctx)->fetch_xor(x, std::memory_order_relaxed);
}

nrx_threader_for_fn threader() {
  return reinterpret_cast<nrx_threader_for_fn>(nrx_serv_load_thread_fun("nrx_dru_serv_threader_for"));
}

void threader_meet(benchmark::State& st) {
  omp_set_num_threads(2);
  const nrx_threader_for_fn loop = threader();
  for (auto _ : st) {
    Meeting m;
    loop(2, 0, &m, meet);
  }
}

void threader_empty(benchmark::State& st) {
  omp_set_num_threads(2);
  const nrx_threader_for_fn loop = threader();
  for (auto _ : st) loop(2, 0, nullptr, empty);
}

void threader_after_idle(benchmark::State& st) {
  omp_set_num_threads(2);
  const nrx_threader_for_fn loop = threader();
  const auto pause = std::chrono::microseconds(st.range(0));
  for (auto _ : st) {
    std::this_thread::sleep_for(pause);
    Meeting m;
    const auto t0 = Clock::now();
    loop(2, 0, &m, meet);
    st.SetIterationTime(std::chrono::duration<double>(Clock::now() - t0).count());
  }
}

// Eight items of compute on range(0) threads: the time on two against the time on one
// is the scaling.
void threader_compute(benchmark::State& st) {
  omp_set_num_threads(int(st.range(0)));
  const nrx_threader_for_fn loop = threader();
  std::atomic<uint64_t> sink{0};
  for (auto _ : st) loop(8, 0, &sink, compute);
  benchmark::DoNotOptimize(sink.load());
}

void openmp_compute(benchmark::State& st) {
  std::atomic<uint64_t> sink{0};
  for (auto _ : st) nrx_threading_openmp.for_items(8, st.range(0), &sink, compute);
  benchmark::DoNotOptimize(sink.load());
}

void serial_compute(benchmark::State& st) {
  std::atomic<uint64_t> sink{0};
  for (auto _ : st) nrx_threading_serial.for_items(8, 2, &sink, compute);
  benchmark::DoNotOptimize(sink.load());
}

void openmp_meet(benchmark::State& st) {
  for (auto _ : st) {
    Meeting m;
    nrx_threading_openmp.for_items(2, 2, &m, meet);
  }
}

void openmp_empty(benchmark::State& st) {
  for (auto _ : st) nrx_threading_openmp.for_items(2, 2, nullptr, empty);
}

void serial_empty(benchmark::State& st) {
  for (auto _ : st) nrx_threading_serial.for_items(2, 2, nullptr, empty);
}

BENCHMARK(threader_meet)->UseRealTime();
BENCHMARK(threader_empty)->UseRealTime();
BENCHMARK(threader_after_idle)->Arg(20)->Arg(200)->Arg(2000)->UseManualTime();
BENCHMARK(threader_compute)->Arg(1)->Arg(2)->UseRealTime();
BENCHMARK(openmp_compute)->Arg(1)->Arg(2)->UseRealTime();
BENCHMARK(serial_compute)->UseRealTime();
BENCHMARK(openmp_meet)->UseRealTime();
BENCHMARK(openmp_empty)->UseRealTime();
BENCHMARK(serial_empty)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
