// Threading tables and the named threader entry points, on OpenMP.
#include "nrx/core.h"

#include <omp.h>
#if defined(__linux__)
#include <sched.h>
#endif

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
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
// loop with the calling thread. Each thread of the team starts on a contiguous range of
// the items of its own (the caller the first, helper t the t-th of team), which it claims
// one item at a time from the front; a thread whose range is used up takes the items left
// in the others' ranges one at a time from their back. A claim is a compare-and-swap on
// the range's word, alone on its cache line: while each thread works through its own
// range no line moves between processors (a move costs about as much as a short item,
// and every claim moved one when the team claimed from one word). The caller runs every
// item no helper has claimed and waits only for items in progress: a helper the system
// has not scheduled (the machine busy with other work) costs nothing, where a team
// barrier would wait for it. A loop run again gives each thread the same items as before,
// whose output is still in its own cache. One loop at a time uses the helpers; a loop
// started while they are taken (another thread's, or one nested in a worker) runs on its
// caller.
class Helpers {
 public:
  void run(int64_t count, void* ctx, ItemWorker w, int64_t team) {
    std::unique_lock<std::mutex> own(busy_, std::try_to_lock);
    if (!own.owns_lock() || uint64_t(count) > kMaxItems) return serial(count, ctx, w, team);
    start(team - 1);
    const uint32_t posted = loop_.posted.load(std::memory_order_relaxed) + 1;
    const uint64_t gen = stamp(posted);
    Range* const ranges = ranges_.load(std::memory_order_relaxed);
    for (int64_t t = 0; t < team; ++t)
      ranges[t].word.store(gen | uint64_t(count * t / team) << kFrontShift | uint64_t(count * (t + 1) / team),
                           std::memory_order_relaxed);
    loop_.count.store(count, std::memory_order_relaxed);
    loop_.ctx.store(ctx, std::memory_order_relaxed);
    loop_.worker.store(w, std::memory_order_relaxed);
    loop_.team.store(team, std::memory_order_release);  // after ranges_ grew to the team
    loop_.cpu.store(current_cpu(), std::memory_order_relaxed);
    done_.store(0, std::memory_order_relaxed);
    loop_.posted.store(posted, std::memory_order_release);
    loop_.posted.notify_all();
    const uint32_t others = uint32_t(count - work(gen, 0, team, ranges, ctx, w));
    if (spin_until([&] { return done_.load(std::memory_order_acquire) == others; })) return;
    for (uint32_t seen = done_.load(std::memory_order_acquire); seen != others;
         seen = done_.load(std::memory_order_acquire))
      done_.wait(seen, std::memory_order_acquire);
  }

 private:
  // A range's word: the loop's generation (16 bits), its next item from the front and
  // the end of the items left at the back (24 bits each). Longer loops run on the caller.
  static constexpr int kGenShift = 48, kFrontShift = 24;
  static constexpr uint64_t kGenMask = 0xFFFF, kItemMask = 0xFFFFFF, kMaxItems = kItemMask;

  struct alignas(64) Range {
    std::atomic<uint64_t> word{0};
  };

  // The posted loop on one line, which a waiting helper reads at once: the loop number,
  // then what the loop's items need.
  struct alignas(64) Loop {
    std::atomic<uint32_t> posted{0};
    std::atomic<int64_t> count{0}, team{0};
    std::atomic<void*> ctx{nullptr};
    std::atomic<ItemWorker> worker{nullptr};
    std::atomic<int> cpu{-1};  // the processor the caller posted from, -1 when unknown
  };

  static int current_cpu() {
#if defined(__linux__)
    return sched_getcpu();
#else
    return -1;
#endif
  }

  // A helper that finds itself on the processor its caller posted from moves to another
  // it may run on: sharing one, it runs only while the caller does not, so it takes none
  // of the caller's items and its spinning takes the caller's time. The scheduler leaves
  // a thread where it is when the other processors are busy (two threads of a loop were
  // seen sharing one of two processors for good while the other ran other programs). The
  // helper leaves by excluding the caller's processor from those it may run on, which
  // moves it at once, and then allows them all again: from there the scheduler has no
  // reason to move it back, but may, should the helper wait on a busy processor while the
  // caller's is idle. A helper allowed no other processor stays.
  struct Placement {
#if defined(__linux__)
    cpu_set_t allowed;
    bool known;
    Placement() { known = sched_getaffinity(0, sizeof allowed, &allowed) == 0; }
    void step_aside(int caller) {
      if (!known || caller < 0 || caller >= CPU_SETSIZE || current_cpu() != caller) return;
      cpu_set_t others = allowed;
      CPU_CLR(caller, &others);
      if (CPU_COUNT(&others) == 0 || sched_setaffinity(0, sizeof others, &others) != 0) return;
      sched_setaffinity(0, sizeof allowed, &allowed);
    }
#else
    void step_aside(int) {}
#endif
  };

  static uint64_t stamp(uint32_t posted) { return (posted & kGenMask) << kGenShift; }

  static void serial(int64_t count, void* ctx, ItemWorker w, int64_t team) {
    for (int64_t i = 0; i < count; ++i) w(i, 0, team, ctx);
  }

  // Helpers 1 .. n and ranges for a team of n + 1 exist afterwards (under busy_). A
  // range array outgrown stays allocated: a helper late for a loop may still read it.
  void start(int64_t n) {
    if (uint64_t(n) >= capacity_) {
      const size_t cap = std::max<size_t>(2 * capacity_, size_t(n) + 1);
      retired_.push_back(std::make_unique<Range[]>(cap));
      ranges_.store(retired_.back().get(), std::memory_order_release);
      capacity_ = cap;
    }
    for (int64_t id = int64_t(threads_) + 1; id <= n; ++id, ++threads_)
      std::thread([this, id] { wait_and_work(id); }).detach();
  }

  void wait_and_work(int64_t id) {
    uint32_t seen = 0;
    Placement place;
    for (;;) {
      if (!spin_until([&] { return loop_.posted.load(std::memory_order_acquire) != seen; }))
        loop_.posted.wait(seen, std::memory_order_acquire);
      seen = loop_.posted.load(std::memory_order_acquire);
      place.step_aside(loop_.cpu.load(std::memory_order_relaxed));
      // A late helper may read a later loop's fields, or a range array grown for a later
      // loop; its claims then fail. The ranges it reads are at least as many as the team
      // it read, and were made before they were published.
      const int64_t team = loop_.team.load(std::memory_order_acquire);
      if (id >= team) continue;
      Range* const ranges = ranges_.load(std::memory_order_acquire);
      work(stamp(seen), id, team, ranges, loop_.ctx.load(std::memory_order_relaxed),
           loop_.worker.load(std::memory_order_relaxed));
    }
  }

  // The next item of range r in loop `gen`, from its front or back; false when it has
  // none left or the loop has been replaced. A claim compares the whole word, so it
  // fails for a helper late for its loop, and a loop's fields stay as they are while an
  // item of it is in progress.
  static bool claim(Range& r, uint64_t gen, bool front, uint64_t& item) {
    uint64_t c = r.word.load(std::memory_order_relaxed);
    for (;;) {
      const uint64_t lo = (c >> kFrontShift) & kItemMask, hi = c & kItemMask;
      if ((c & ~(uint64_t(-1) >> (64 - kGenShift))) != gen || lo >= hi) return false;
      item = front ? lo : hi - 1;
      if (r.word.compare_exchange_weak(c, front ? c + (uint64_t(1) << kFrontShift) : c - 1, std::memory_order_acquire,
                                       std::memory_order_relaxed))
        return true;
    }
  }

  // Runs thread id's range of loop `gen`, then what is left of the others'; the items
  // it ran. A helper counts its items in done_ when its own range is used up and then
  // each item it takes from another, so that the caller does not wait for a helper
  // looking for items that are not there.
  int64_t work(uint64_t gen, int64_t id, int64_t team, Range* ranges, void* ctx, ItemWorker w) {
    int64_t n = 0;
    uint64_t item;
    const auto counted = [&](int64_t k) {
      if (id == 0 || k == 0) return;
      done_.fetch_add(uint32_t(k), std::memory_order_release);
      done_.notify_one();
    };
    for (; claim(ranges[id], gen, true, item); ++n) w(int64_t(item), id, team, ctx);
    counted(n);
    for (int64_t k = 1; k < team; ++k) {
      Range& other = ranges[(id + k) % team];
      while (claim(other, gen, false, item)) {
        w(int64_t(item), id, team, ctx);
        ++n;
        counted(1);
      }
    }
    return n;
  }

  std::mutex busy_;
  uint32_t threads_ = 0;
  size_t capacity_ = 0;
  std::vector<std::unique_ptr<Range[]>> retired_;
  std::atomic<Range*> ranges_{nullptr};
  Loop loop_;
  // Helpers' finished items, on a line of its own.
  alignas(64) std::atomic<uint32_t> done_{0};
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
