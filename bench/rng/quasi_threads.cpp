// Where the time of a threaded Sobol call goes: double output on [0, 1) of d x points values,
// its items (a block of points each, per thread of the limit) run three ways, each timed
// with the time-stamp counter, best and median of the calls:
//   items on one thread  the items one after another on the caller (a threader of this
//                        program with limit 2), the sum of the items' own times alone too;
//   two pinned threads   the first half of the items on the caller pinned to one processor,
//                        the second on a thread of this program pinned to another, which
//                        spins for the call: the items' scaling without the scheduler;
//   core threader        the core library's threader as a program meets it, and in how many
//                        calls a helper took items, with its start after the call's.
// The output sits off a line by `offset` bytes, as numpy's arrays do (16).
// Usage: quasi_threads [d] [points] [calls] [offset]
#include <dlfcn.h>
#include <omp.h>
#include <pthread.h>
#include <sched.h>
#include <x86intrin.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "tools/qrng/form11_words.h"

#include "nrx/core.h"
#include "nrx/rng.h"

namespace {

enum Mode { kCore, kSerial, kPinned };
std::atomic<int> g_mode{kCore};
double g_ticks_per_us = 0;

// Items of the current call: their own time in the serial mode; in the core threader's,
// whether a helper ran one and when it started.
std::atomic<uint64_t> g_item_ticks{0}, g_call_start{0}, g_helper_start{0};
std::atomic<bool> g_helper_ran{false};
std::atomic<int> g_caller_cpu{-1}, g_helper_cpu{-1};
nrx_threader_worker g_worker = nullptr;

void timed_worker(int64_t item, int64_t thread, int64_t b, void* ctx) {
  if (thread != 0 && !g_helper_ran.exchange(true)) g_helper_start = __rdtsc(), g_helper_cpu = sched_getcpu();
  if (thread == 0) g_caller_cpu = sched_getcpu();
  g_worker(item, thread, b, ctx);
}

int64_t limit_two() { return 2; }

void serial_for(int64_t count, int64_t, void* ctx, nrx_threader_worker w) {
  for (int64_t i = 0; i < count; ++i) {
    const uint64_t t0 = __rdtsc();
    w(i, 0, 2, ctx);
    g_item_ticks += __rdtsc() - t0;
  }
}

// The pinned helper: spins for a posted call, runs the second half of its items.
struct Pinned {
  std::atomic<int> posted{0}, done{0};
  nrx_threader_worker w = nullptr;
  void* ctx = nullptr;
  int64_t count = 0;
} g_pinned;

void pinned_for(int64_t count, int64_t, void* ctx, nrx_threader_worker w) {
  g_pinned.w = w, g_pinned.ctx = ctx, g_pinned.count = count;
  const int call = g_pinned.posted.load() + 1;
  g_pinned.posted.store(call, std::memory_order_release);
  for (int64_t i = 0; i < count / 2; ++i) w(i, 0, 2, ctx);
  while (g_pinned.done.load(std::memory_order_acquire) != call) {}
}

void* core_lookup(const char* name) {
  using Fn = void* (*)(const char*);
  static const Fn real = [] {
    // The core library's own lookup, behind this program's.
    return reinterpret_cast<Fn>(dlsym(RTLD_NEXT, "nrx_serv_load_thread_fun"));
  }();
  return real(name);
}

nrx_threader_for_fn g_core_for = nullptr;
void core_for(int64_t count, int64_t zero, void* ctx, nrx_threader_worker w) {
  g_worker = w;
  g_core_for(count, zero, ctx, timed_worker);
}

bool pin(int cpu) {
  cpu_set_t s;
  CPU_ZERO(&s);
  CPU_SET(cpu, &s);
  return pthread_setaffinity_np(pthread_self(), sizeof s, &s) == 0;
}

double ticks_per_us() {
  const auto t0 = std::chrono::steady_clock::now();
  const uint64_t c0 = __rdtsc();
  while (std::chrono::steady_clock::now() - t0 < std::chrono::milliseconds(20)) {}
  const double us = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count();
  return double(__rdtsc() - c0) / us;
}

}  // namespace

extern "C" void* nrx_serv_load_thread_fun(const char* name) {
  const Mode mode = Mode(g_mode.load());
  const bool for_fn = name && std::strcmp(name, "nrx_dru_serv_threader_for") == 0;
  if (mode == kCore) {
    if (!for_fn) return core_lookup(name);
    g_core_for = reinterpret_cast<nrx_threader_for_fn>(core_lookup(name));
    return reinterpret_cast<void*>(&core_for);
  }
  if (name && std::strcmp(name, "nrx_dru_serv_threader_get_num_threads_limit") == 0)
    return reinterpret_cast<void*>(&limit_two);
  if (for_fn) return reinterpret_cast<void*>(mode == kSerial ? &serial_for : &pinned_for);
  return nullptr;
}

int main(int argc, char** argv) {
  const uint32_t d = argc > 1 ? uint32_t(std::atoi(argv[1])) : 1000;
  const int points = argc > 2 ? std::atoi(argv[2]) : 128, calls = argc > 3 ? std::atoi(argv[3]) : 300;
  const size_t offset = argc > 4 ? size_t(std::atoi(argv[4])) : 16;
  g_ticks_per_us = ticks_per_us();
  const std::vector<uint32_t> words = nrx::qrng_testing::form11_words(d);
  const int32_t n = int32_t(d) * points;
  auto* raw = static_cast<unsigned char*>(std::aligned_alloc(64, size_t(n) * 8 + 128));
  std::memset(raw, 0, size_t(n) * 8 + 128);
  double* const r = reinterpret_cast<double*>(raw + offset);
  std::printf("d %u, %d points (%.0f KB), output %zu bytes off a line, %.0f ticks/us; ns per value\n", d, points,
              n * 8 / 1024.0, offset, g_ticks_per_us);

  cpu_set_t allowed;
  sched_getaffinity(0, sizeof allowed, &allowed);
  int cpus[2] = {-1, -1};
  for (int c = 0, k = 0; c < CPU_SETSIZE && k < 2; ++c)
    if (CPU_ISSET(c, &allowed)) cpus[k++] = c;
  std::thread helper([&] {
    if (cpus[1] < 0 || !pin(cpus[1])) return;
    for (int seen = 0;;) {
      int call;
      while ((call = g_pinned.posted.load(std::memory_order_acquire)) == seen) {}
      if (call < 0) return;
      seen = call;
      for (int64_t i = g_pinned.count / 2; i < g_pinned.count; ++i) g_pinned.w(i, 1, 2, g_pinned.ctx);
      g_pinned.done.store(call, std::memory_order_release);
    }
  });

  for (const Mode mode : {kSerial, kPinned, kCore}) {
    if (mode == kPinned && cpus[1] < 0) continue;
    if (mode == kCore) {  // the pinned helper's spinning would take a processor from the core's
      g_pinned.posted.store(-1);
      helper.join();
    }
    g_mode = mode;
    omp_set_num_threads(2);
    if (mode == kPinned) pin(cpus[0]);
    DruStream* s = nullptr;
    if (_druNewStreamEx(&s, DRU_BRNG_SOBOL, int32_t(words.size()), words.data()) != 0) return 1;
    std::vector<double> t, items, start;
    int helped = 0, shared = 0;
    for (int c = -5; c < calls; ++c) {
      g_item_ticks = 0, g_helper_ran = false;
      const uint64_t t0 = __rdtsc();
      g_call_start = t0;
      if (_drudBRngSobol(s, n, r, 0.0, 1.0) != 0) return 2;
      const uint64_t t1 = __rdtsc();
      if (c < 0) continue;
      t.push_back(double(t1 - t0));
      items.push_back(double(g_item_ticks.load()));
      if (g_helper_ran) {
        ++helped, shared += g_helper_cpu == g_caller_cpu;
        start.push_back(double(g_helper_start - t0) / g_ticks_per_us);
      }
    }
    _druDeleteStream(&s);
    if (mode == kPinned) sched_setaffinity(0, sizeof allowed, &allowed);
    std::sort(t.begin(), t.end());
    std::sort(items.begin(), items.end());
    std::sort(start.begin(), start.end());
    const double per = 1e3 / g_ticks_per_us / n;  // ns per value per tick
    const char* name[] = {"core threader", "items on one thread", "two pinned threads"};
    std::printf("%-20s best %.4f  median %.4f", name[mode], t[0] * per, t[t.size() / 2] * per);
    if (mode == kSerial) std::printf("  (items alone: best %.4f)", items[0] * per);
    if (mode == kCore)
      std::printf("  a helper took items in %d of %d calls (%d on the caller's processor), from %.2f us (median)",
                  helped, calls, shared, start.empty() ? -1.0 : start[start.size() / 2]);
    std::printf("\n");
  }
  std::free(raw);
}
