// Threading tables and named threader entries: every item exactly once.
#include "nrx/core.h"

#include <gtest/gtest.h>
#include <omp.h>

#include <time.h>
#if defined(__linux__)
#include <dirent.h>
#include <sched.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <thread>
#include <vector>

namespace {

struct Tally {
  explicit Tally(int64_t n) : n(n), hits(new std::atomic<int>[n > 0 ? n : 1]()) {}
  int64_t n;
  std::unique_ptr<std::atomic<int>[]> hits;
  std::atomic<int64_t> bad_thread{0};
  std::atomic<int64_t> bad_word{0};
  std::atomic<int64_t> foreign_thread{0};
  int64_t nthreads = 0;
  std::thread::id caller = std::this_thread::get_id();

  void expect_each_once(const char* what) const {
    for (int64_t i = 0; i < n; ++i) ASSERT_EQ(hits[i].load(), 1) << what << " item " << i << " of " << n;
    EXPECT_EQ(bad_thread.load(), 0) << what;
    EXPECT_EQ(bad_word.load(), 0) << what;
  }
};

void item_worker(int64_t item, int64_t thread, int64_t, void* ctx) {
  auto* t = static_cast<Tally*>(ctx);
  if (item < 0 || item >= t->n) return;
  t->hits[item].fetch_add(1);
  if (thread < 0 || thread >= t->nthreads) t->bad_thread.fetch_add(1);
  if (std::this_thread::get_id() != t->caller) t->foreign_thread.fetch_add(1);
}

void thread_worker(int64_t thread, int64_t, int64_t nthreads, void* ctx) {
  auto* t = static_cast<Tally*>(ctx);
  if (thread < 0 || thread >= t->n) {
    t->bad_thread.fetch_add(1);
    return;
  }
  t->hits[thread].fetch_add(1);
  if (nthreads != t->nthreads) t->bad_word.fetch_add(1);
  if (std::this_thread::get_id() != t->caller) t->foreign_thread.fetch_add(1);
}

struct Table {
  const char* name;
  const nrx_threading* table;
  bool serial;
};
const Table kTables[] = {{"openmp", &nrx_threading_openmp, false}, {"serial", &nrx_threading_serial, true}};

}  // namespace

TEST(CoreThreading, ForItemsCoversEveryItemOnce) {
  const int64_t counts[] = {0, 1, 2, 7, 1001};
  const int64_t threads[] = {1, 2, 3, 8};
  for (const Table& tb : kTables)
    for (int64_t count : counts)
      for (int64_t nt : threads) {
        Tally t(count);
        t.nthreads = nt;
        tb.table->for_items(count, nt, &t, item_worker);
        t.expect_each_once(tb.name);
        if (tb.serial) {
          EXPECT_EQ(t.foreign_thread.load(), 0);
        }
      }
}

TEST(CoreThreading, ForThreadsCallsEachIndexOnce) {
  const int64_t threads[] = {0, 1, 2, 5, 17};
  for (const Table& tb : kTables)
    for (int64_t nt : threads) {
      Tally t(nt);
      t.nthreads = nt;
      tb.table->for_threads(nt, &t, thread_worker);
      t.expect_each_once(tb.name);
      if (tb.serial) {
        EXPECT_EQ(t.foreign_thread.load(), 0);
      }
    }
}

TEST(CoreThreading, ThreadCounts) {
  EXPECT_EQ(nrx_threading_serial.num_threads(), 1);
  EXPECT_GE(nrx_threading_openmp.num_threads(), 1);
  for (const Table& tb : kTables) {
    EXPECT_EQ(tb.table->reserved1, nullptr);
    EXPECT_EQ(tb.table->reserved3, nullptr);
  }
}

TEST(CoreThreader, NamedEntries) {
  auto limit = reinterpret_cast<nrx_threader_get_num_threads_limit_fn>(
      nrx_serv_load_thread_fun("nrx_dru_serv_threader_get_num_threads_limit"));
  auto loop = reinterpret_cast<nrx_threader_for_fn>(nrx_serv_load_thread_fun("nrx_dru_serv_threader_for"));
  ASSERT_NE(limit, nullptr);
  ASSERT_NE(loop, nullptr);
  EXPECT_GE(limit(), 1);
  EXPECT_EQ(nrx_serv_load_thread_fun("nrx_dru_serv_threader_while"), nullptr);
  EXPECT_EQ(nrx_serv_load_thread_fun(""), nullptr);
  EXPECT_EQ(nrx_serv_load_thread_fun(nullptr), nullptr);

  for (int64_t count : {0, 1, 5, 999}) {
    Tally t(count);
    t.nthreads = 1 << 20;  // the threader reports its own team; only items are checked
    loop(count, 0, &t, item_worker);
    t.expect_each_once("threader_for");
  }
}

namespace {

nrx_threader_for_fn threader_for() {
  return reinterpret_cast<nrx_threader_for_fn>(nrx_serv_load_thread_fun("nrx_dru_serv_threader_for"));
}

struct Gate {
  std::atomic<int> started{0};
  std::atomic<bool> open{false};
};

void held_worker(int64_t, int64_t, int64_t, void* ctx) {
  auto* g = static_cast<Gate*>(ctx);
  g->started.fetch_add(1);
  while (!g->open.load()) std::this_thread::yield();
}

struct Nest {
  Tally outer{4}, inner{6};
};

void nesting_worker(int64_t item, int64_t thread, int64_t b, void* ctx) {
  auto* n = static_cast<Nest*>(ctx);
  item_worker(item, thread, b, &n->outer);
  threader_for()(n->inner.n, 0, &n->inner, item_worker);
}

}  // namespace

// Guards against a loop that waits for helper threads it does not need: while the
// helpers are held by another thread's loop, a loop runs on its caller and finishes
// (waiting for the helpers would never end, the held loop being released after it).
TEST(CoreThreader, LoopFinishesWhileTheHelpersAreHeld) {
  Gate gate;
  std::thread holder([&] { threader_for()(2, 0, &gate, held_worker); });
  while (gate.started.load() == 0) std::this_thread::yield();
  Tally t(100);
  t.nthreads = 1 << 20;
  threader_for()(t.n, 0, &t, item_worker);
  gate.open.store(true);
  holder.join();
  t.expect_each_once("threader_for beside a held loop");
  EXPECT_EQ(gate.started.load(), 2);
}

// Guards against lost or repeated items when loops follow each other quickly (a late
// helper claiming an item of the next loop), when loops start on several threads at once,
// and when a worker starts a loop of its own.
TEST(CoreThreader, EveryItemOnceInSuccessiveConcurrentAndNestedLoops) {
  for (int round = 0; round < 2000; ++round) {
    Tally t(1 + round % 5);
    t.nthreads = 1 << 20;
    threader_for()(t.n, 0, &t, item_worker);
    t.expect_each_once("successive threader_for");
  }
  std::vector<std::unique_ptr<Tally>> tallies;
  std::vector<std::thread> callers;
  for (int c = 0; c < 4; ++c) tallies.push_back(std::make_unique<Tally>(97 + c));
  for (int c = 0; c < 4; ++c)
    callers.emplace_back([&, c] {
      for (int rep = 0; rep < 50; ++rep) {
        Tally t(tallies[c]->n);
        t.nthreads = 1 << 20;
        threader_for()(t.n, 0, &t, item_worker);
        for (int64_t i = 0; i < t.n; ++i) tallies[c]->hits[i].fetch_add(t.hits[i].load() == 1 ? 0 : 1);
      }
    });
  for (std::thread& th : callers) th.join();
  for (const auto& t : tallies)
    for (int64_t i = 0; i < t->n; ++i) EXPECT_EQ(t->hits[i].load(), 0) << "concurrent threader_for item " << i;
  Nest n;
  n.outer.nthreads = n.inner.nthreads = 1 << 20;
  threader_for()(n.outer.n, 0, &n, nesting_worker);
  n.outer.expect_each_once("outer threader_for");
  for (int64_t i = 0; i < n.inner.n; ++i) EXPECT_EQ(n.inner.hits[i].load(), int(n.outer.n)) << "nested item " << i;
}

namespace {

// The threader's team size for a test, restored afterwards.
struct TeamOf {
  explicit TeamOf(int n) { omp_set_num_threads(n); }
  ~TeamOf() { omp_set_num_threads(saved); }
  int saved = omp_get_max_threads();
};

}  // namespace

// Guards against items lost or run twice when each thread of the team starts on a range
// of its own: teams larger than the machine's processors (helpers late or not scheduled,
// so that the others take what is left of their ranges), teams that grow and shrink
// between loops, and loops of fewer items than threads. Thread indices stay below the
// team.
TEST(CoreThreader, EveryItemOnceInTeamsOfAnySize) {
  for (int team : {2, 3, 8, 2, 17, 5, 40, 2}) {
    const TeamOf size(team);
    for (int round = 0; round < 120; ++round) {
      Tally t(1 + (round * 7) % 45);
      t.nthreads = team;
      threader_for()(t.n, 0, &t, item_worker);
      t.expect_each_once("threader_for in a team larger than the machine");
      if (::testing::Test::HasFatalFailure()) return;
    }
  }
}

namespace {

// A loop in which each helper stops at the first item it takes, until every other item
// of the loop has finished or stopped the same way (at most 5 s).
struct Stalls {
  explicit Stalls(int64_t n) : n(n), hits(new std::atomic<int>[n]()) {}
  int64_t n;
  std::unique_ptr<std::atomic<int>[]> hits;
  std::atomic<bool> stalled[64] = {};
  std::atomic<int64_t> settled{0};
  std::atomic<bool> timed_out{false};
};

void stall_worker(int64_t item, int64_t thread, int64_t, void* ctx) {
  auto* s = static_cast<Stalls*>(ctx);
  s->hits[item].fetch_add(1);
  const bool stall = thread > 0 && thread < 64 && !s->stalled[thread].exchange(true);
  s->settled.fetch_add(1);
  if (!stall) return;
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (s->settled.load() < s->n) {
    if (std::chrono::steady_clock::now() > end) {
      s->timed_out.store(true);
      return;
    }
    std::this_thread::yield();
  }
}

}  // namespace

// Guards against a caller that waits for items no thread has started: helpers that stop
// in their first item leave the rest of their ranges, and the caller takes those of every
// helper, so that the loop ends without the stalled items' time-out.
TEST(CoreThreader, CallerTakesTheItemsHelpersLeave) {
  for (int team : {2, 4, 8}) {
    const TeamOf size(team);
    for (int round = 0; round < 5; ++round) {
      Stalls s(5 * team);
      threader_for()(s.n, 0, &s, stall_worker);
      ASSERT_FALSE(s.timed_out.load()) << "team " << team;
      for (int64_t i = 0; i < s.n; ++i) ASSERT_EQ(s.hits[i].load(), 1) << "team " << team << " item " << i;
    }
  }
}

namespace {

int64_t threader_limit() {
  return reinterpret_cast<nrx_threader_get_num_threads_limit_fn>(
      nrx_serv_load_thread_fun("nrx_dru_serv_threader_get_num_threads_limit"))();
}

// Two items that wait for each other (at most 10 s): a loop of them ends early only when
// a helper runs the item the caller does not.
struct Meeting {
  std::atomic<int> arrived{0};
  std::atomic<bool> met{false};
};

void meet(int64_t, int64_t, int64_t, void* ctx) {
  auto* m = static_cast<Meeting*>(ctx);
  m->arrived.fetch_add(1);
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (m->arrived.load() < 2)
    if (std::chrono::steady_clock::now() > end) return;
  m->met.store(true);
}

double process_cpu_seconds() {
  timespec t;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) + 1e-9 * double(t.tv_nsec);
}

}  // namespace

// Guards against lost wake-ups of helpers that wait for work, spinning or asleep: loops
// started right after the last one, after pauses shorter and longer than the helpers'
// spin, and after a long idle time, all find a helper to take the item the caller leaves.
TEST(CoreThreader, HelpersServeLoopsAfterAnyPause) {
  if (threader_limit() < 2) GTEST_SKIP() << "one thread";
  for (int us : {0, 0, 10, 30, 80, 200, 1000, 5000, 0, 200000, 0}) {
    std::this_thread::sleep_for(std::chrono::microseconds(us));
    Meeting m;
    threader_for()(2, 0, &m, meet);
    EXPECT_TRUE(m.met.load()) << "after a pause of " << us << " us";
    EXPECT_EQ(m.arrived.load(), 2);
  }
  for (int round = 0; round < 300; ++round) {  // back to back, items of every loop once
    if (round % 50 == 0) std::this_thread::sleep_for(std::chrono::microseconds(round * 4));
    Tally t(2 + round % 7);
    t.nthreads = 1 << 20;
    threader_for()(t.n, 0, &t, item_worker);
    t.expect_each_once("threader_for after a pause");
  }
}

// Guards against helpers that keep a core busy once the program stops calling: their
// wait for the next loop spins only briefly before it sleeps, so an idle process uses
// (almost) no processor time.
TEST(CoreThreader, IdleHelpersSleep) {
  if (threader_limit() < 2) GTEST_SKIP() << "one thread";
  for (int round = 0; round < 100; ++round) {
    Meeting m;
    threader_for()(2, 0, &m, meet);
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  const double before = process_cpu_seconds();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_LT(process_cpu_seconds() - before, 0.03) << "processor seconds used while idle for 0.3 s";
}

#if defined(__linux__)
namespace {

// Every thread of this process but the calling one.
std::vector<pid_t> other_threads() {
  std::vector<pid_t> ids;
  const pid_t self = pid_t(syscall(SYS_gettid));
  if (DIR* dir = opendir("/proc/self/task")) {
    while (const dirent* e = readdir(dir))
      if (e->d_name[0] != '.' && pid_t(std::atoi(e->d_name)) != self) ids.push_back(pid_t(std::atoi(e->d_name)));
    closedir(dir);
  }
  return ids;
}

struct Placed {
  Meeting m;
  std::atomic<int> cpu[2] = {-1, -1};
  std::atomic<int64_t> thread[2] = {-1, -1};
};

void placed_meet(int64_t item, int64_t thread, int64_t b, void* ctx) {
  auto* p = static_cast<Placed*>(ctx);
  p->cpu[item].store(sched_getcpu());
  p->thread[item].store(thread);
  meet(item, thread, b, &p->m);
}

}  // namespace

// Guards against a helper left on its caller's processor, where it runs only while the
// caller does not: the caller and every other thread are placed on one processor, and
// the helper's item of each loop (the caller waits in its own until both have started)
// must run on another.
TEST(CoreThreader, HelperLeavesTheCallersProcessor) {
  cpu_set_t all;
  ASSERT_EQ(sched_getaffinity(0, sizeof all, &all), 0);
  if (threader_limit() < 2 || CPU_COUNT(&all) < 2) GTEST_SKIP() << "one thread or one processor";
  Meeting warm;
  threader_for()(2, 0, &warm, meet);  // the helpers exist
  int c = 0;
  while (!CPU_ISSET(c, &all)) ++c;
  cpu_set_t one;
  CPU_ZERO(&one);
  CPU_SET(c, &one);
  const std::vector<pid_t> others = other_threads();
  ASSERT_EQ(sched_setaffinity(0, sizeof one, &one), 0);
  for (pid_t t : others) sched_setaffinity(t, sizeof one, &one);
  for (int round = 0; round < 5; ++round) {
    Placed p;
    threader_for()(2, 0, &p, placed_meet);
    EXPECT_TRUE(p.m.met.load()) << "round " << round;
    for (int i = 0; i < 2; ++i)
      if (p.thread[i].load() != 0) EXPECT_NE(p.cpu[i].load(), c) << "a helper's item, round " << round;
  }
  sched_setaffinity(0, sizeof all, &all);
  for (pid_t t : others) sched_setaffinity(t, sizeof all, &all);
}
#endif
