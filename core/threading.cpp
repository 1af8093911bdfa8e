// Threading tables and the named threader entry points, on OpenMP.
#include "nrx/core.h"

#include <omp.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using ItemWorker = void (*)(int64_t, int64_t, int64_t, void*);

int team_size(int64_t requested) {
  if (requested < 1) return 1;
  const int64_t cap = 1 << 16;
  return static_cast<int>(requested < cap ? requested : cap);
}

#if defined(__SANITIZE_THREAD__)
// ThreadSanitizer cannot see the hand-offs of the uninstrumented OpenMP runtime, so its
// builds run every loop on threads started and joined around it: count items in static
// blocks over team threads, call(item, thread) each.
constexpr bool kOwnThreads = true;
template <class Call> void own_threads(int64_t team, int64_t count, Call call) {
  auto block = [&](int64_t t) {
    for (int64_t i = count * t / team; i < count * (t + 1) / team; ++i) call(i, t);
  };
  std::vector<std::thread> threads;
  for (int64_t t = 1; t < team; ++t) threads.emplace_back(block, t);
  block(0);
  for (std::thread& th : threads) th.join();
}
#else
constexpr bool kOwnThreads = false;
template <class Call> void own_threads(int64_t, int64_t, Call) {}
#endif

// Items are dealt in static blocks over a team of at most nthreads threads;
// the thread index handed to the worker is the OpenMP thread number, so it
// stays below nthreads even when the runtime grants a smaller team.
void omp_for_items(int64_t count, int64_t nthreads, void* ctx, ItemWorker w) {
  if (count <= 0) return;
  const int team = team_size(nthreads);
  if (team == 1 || count == 1) {
    for (int64_t i = 0; i < count; ++i) w(i, 0, 0, ctx);
    return;
  }
  if (kOwnThreads) return own_threads(team, count, [&](int64_t i, int64_t t) { w(i, t, 0, ctx); });
#pragma omp parallel num_threads(team)
  {
    const int64_t t = omp_get_thread_num();
#pragma omp for schedule(static)
    for (int64_t i = 0; i < count; ++i) w(i, t, 0, ctx);
  }
}

// One call per thread index. Written as a loop so that every index is called
// exactly once even if the runtime grants fewer threads than asked for.
void omp_for_threads(int64_t nthreads, void* ctx, ItemWorker w) {
  if (nthreads <= 0) return;
  if (nthreads == 1) {
    w(0, 0, 1, ctx);
    return;
  }
  if (kOwnThreads)
    return own_threads(team_size(nthreads), nthreads, [&](int64_t t, int64_t) { w(t, 0, nthreads, ctx); });
#pragma omp parallel for num_threads(team_size(nthreads)) schedule(static, 1)
  for (int64_t t = 0; t < nthreads; ++t) w(t, 0, nthreads, ctx);
}

int64_t omp_num_threads() { return omp_get_max_threads(); }

void serial_for_items(int64_t count, int64_t /*nthreads*/, void* ctx, ItemWorker w) {
  for (int64_t i = 0; i < count; ++i) w(i, 0, 0, ctx);
}

void serial_for_threads(int64_t nthreads, void* ctx, ItemWorker w) {
  for (int64_t t = 0; t < nthreads; ++t) w(t, 0, nthreads, ctx);
}

int64_t serial_num_threads() { return 1; }

int64_t threader_get_num_threads_limit() { return omp_get_max_threads(); }

// A busy-wait of about kSpin for `ready`, before a caller blocks in the kernel: a loop
// that follows within that time finds its helpers awake instead of paying their wake-up
// (several microseconds, the time of a whole call of 1 MB). The clock is read every 64
// pauses; true when `ready` held.
constexpr std::chrono::microseconds kSpin{50};

inline void cpu_relax() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#endif
}

template <class Ready> bool spin_until(Ready ready) {
  const auto end = std::chrono::steady_clock::now() + kSpin;
  for (;;) {
    for (int i = 0; i < 64; ++i) {
      if (ready()) return true;
      cpu_relax();
    }
    if (std::chrono::steady_clock::now() >= end) return ready();
  }
}

// The named threader runs on helper threads of its own that share the items of one
// loop with the calling thread. Items are claimed one at a time, so the caller runs
// every item no helper has claimed and waits only for items in progress: a helper the
// system has not scheduled (the machine busy with other work) costs nothing, where a
// team barrier would wait for it. The caller claims from the front and the helpers from
// the back, so on an idle machine a loop run again gives each thread about the same items
// as before, whose output is still in its own cache (the 1 MB Sobol call at d = 1,000 ran
// 1.5-3x slower on two threads than on one when items went to whoever came first). One loop at a time uses the helpers;
// a loop started while they are taken (another thread's, or one nested in a worker) runs on its caller.
class Helpers {
 public:
  void run(int64_t count, void* ctx, ItemWorker w, int64_t team) {
    std::unique_lock<std::mutex> own(busy_, std::try_to_lock);
    if (!own.owns_lock() || uint64_t(count) > kMaxItems) return serial(count, ctx, w, team);
    start(team - 1);
    const uint64_t gen = ((claim_.load(std::memory_order_relaxed) >> kGenShift) + 1) & kGenMask;
    claim_.store(gen << kGenShift, std::memory_order_relaxed);  // no item left to claim
    count_.store(count, std::memory_order_relaxed);
    ctx_.store(ctx, std::memory_order_relaxed);
    worker_.store(w, std::memory_order_relaxed);
    team_.store(team, std::memory_order_relaxed);
    done_.store(0, std::memory_order_relaxed);
    claim_.store(gen << kGenShift | uint64_t(count), std::memory_order_release);
    posted_.fetch_add(1, std::memory_order_release);
    posted_.notify_all();
    work(gen, 0);
    if (spin_until([&] { return done_.load(std::memory_order_acquire) == count; })) return;
    for (int64_t seen = done_.load(std::memory_order_acquire); seen != count;
         seen = done_.load(std::memory_order_acquire))
      done_.wait(seen, std::memory_order_acquire);
  }

 private:
  // The claim word: generation (16 bits), next item from the front, end of the items
  // left at the back (24 bits each). Longer loops run on the caller.
  static constexpr int kGenShift = 48, kFrontShift = 24;
  static constexpr uint64_t kGenMask = 0xFFFF, kItemMask = 0xFFFFFF, kMaxItems = kItemMask;

  static void serial(int64_t count, void* ctx, ItemWorker w, int64_t team) {
    for (int64_t i = 0; i < count; ++i) w(i, 0, team, ctx);
  }

  // Helpers 1 .. n exist afterwards (under busy_).
  void start(int64_t n) {
    for (int64_t id = int64_t(threads_) + 1; id <= n; ++id, ++threads_)
      std::thread([this, id] { wait_and_work(id); }).detach();
  }

  void wait_and_work(int64_t id) {
    uint32_t seen = 0;
    for (;;) {
      if (!spin_until([&] { return posted_.load(std::memory_order_acquire) != seen; }))
        posted_.wait(seen, std::memory_order_acquire);
      seen = posted_.load(std::memory_order_acquire);
      const uint64_t gen = claim_.load(std::memory_order_acquire) >> kGenShift;
      if (id < team_.load(std::memory_order_relaxed)) work(gen, id);
    }
  }

  // Claims and runs items of loop `gen` until none is left: the caller (id 0) from the
  // front, helpers from the back. A claim is a compare-and-swap on the whole word, so it
  // fails once the loop has been replaced, and the loop's fields stay as they are while
  // an item of it is in progress.
  void work(uint64_t gen, int64_t id) {
    uint64_t c = claim_.load(std::memory_order_acquire);
    for (;;) {
      if (c >> kGenShift != gen) return;
      const uint64_t front = (c >> kFrontShift) & kItemMask, back = c & kItemMask;
      if (front >= back) return;
      const uint64_t item = id == 0 ? front : back - 1, next = id == 0 ? c + (uint64_t(1) << kFrontShift) : c - 1;
      if (!claim_.compare_exchange_weak(c, next, std::memory_order_acq_rel, std::memory_order_acquire)) continue;
      const int64_t count = count_.load(std::memory_order_relaxed);
      worker_.load(std::memory_order_relaxed)(int64_t(item), id, team_.load(std::memory_order_relaxed),
                                              ctx_.load(std::memory_order_relaxed));
      if (done_.fetch_add(1, std::memory_order_acq_rel) + 1 == count) done_.notify_one();
      c = claim_.load(std::memory_order_acquire);
    }
  }

  std::mutex busy_;
  uint32_t threads_ = 0;
  std::atomic<uint64_t> claim_{0};
  // On a line of its own: idle helpers read it over and over while a loop's items run.
  alignas(64) std::atomic<uint32_t> posted_{0};
  alignas(64) std::atomic<int64_t> count_{0};
  std::atomic<int64_t> done_{0}, team_{0};
  std::atomic<void*> ctx_{nullptr};
  std::atomic<ItemWorker> worker_{nullptr};
};

void threader_for(int64_t count, int64_t /*zero*/, void* ctx, ItemWorker w) {
  if (count <= 0) return;
  const int64_t limit = omp_get_max_threads(), team = limit < count ? limit : count;
  if (team <= 1) {
    for (int64_t i = 0; i < count; ++i) w(i, 0, 1, ctx);
    return;
  }
  // Never freed: detached helpers may outlive every static destructor.
  static Helpers* const helpers = new Helpers;
  helpers->run(count, ctx, w, team);
}

struct NamedEntry {
  const char* name;
  void* address;
};

const NamedEntry kThreaderEntries[] = {
    {"nrx_dru_serv_threader_get_num_threads_limit", reinterpret_cast<void*>(&threader_get_num_threads_limit)},
    {"nrx_dru_serv_threader_for", reinterpret_cast<void*>(&threader_for)},
};

}  // namespace

const nrx_threading nrx_threading_openmp = {omp_for_items, nullptr, omp_for_threads, nullptr, omp_num_threads};
const nrx_threading nrx_threading_serial = {serial_for_items, nullptr, serial_for_threads, nullptr, serial_num_threads};

void* nrx_serv_load_thread_fun(const char* name) {
  if (name == nullptr) return nullptr;
  for (const NamedEntry& e : kThreaderEntries)
    if (std::strcmp(e.name, name) == 0) return e.address;
  return nullptr;
}
