// Sin and Cos beside their peers on three argument sets, in one run: uniform on [-pi, pi],
// uniform on [-10^4, 10^4], and the latter with 1% of the elements above 2^24 (the long
// reduction), n = 1,000. The inverse functions likewise: Atan and Atan2 (first argument) on
// [-1, 1] and [-10^4, 10^4], Asin and Acos on [-1, 1]. Counters as in nrx_bench: cyc/elem at
// the measured core clock.
//
//   nrx_trig_bench --benchmark_filter=dSin
//   nrx_trig_bench --benchmark_filter='/[sd](Atan|Atan2|Asin|Acos)/' 
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <ctime>
#include <random>
#include <string>
#include <vector>

#include "tools/accuracy/accuracy.h"
#include "tools/timing/cycles.h"
#include "tools/timing/peers.h"
#include "tools/timing/workload.h"

namespace {

namespace acc = nrx::accuracy;
namespace tim = nrx::timing;

struct Set {
  const char* name;
  double hi;
  double huge_share;
};
const std::vector<Set> kSets = {{"pi", M_PI, 0}, {"1e4", 1e4, 0}, {"1e4+1%huge", 1e4, 0.01}};
const std::vector<Set> kAtanSets = {{"1", 1, 0}, {"1e4", 1e4, 0}};
const std::vector<Set> kUnitSets = {{"1", 1, 0}};

struct Group {
  std::vector<const char*> names;
  const std::vector<Set>& sets;
};
const Group kGroups[] = {
    {{"dSin", "dCos", "sSin", "sCos"}, kSets},
    {{"dAtan", "sAtan", "dAtan2", "sAtan2", "dAtanpi", "sAtanpi", "dAtan2pi", "sAtan2pi"}, kAtanSets},
    {{"dAsin", "sAsin", "dAcos", "sAcos", "dAsinpi", "sAsinpi", "dAcospi", "sAcospi"}, kUnitSets},
};

// Overwrites the workload's arguments (unit stride) with the set's.
template <class T> void fill(const tim::Workload& w, const Set& s) {
  T* a = const_cast<T*>(static_cast<const T*>(w.a()));
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> u(-s.hi, s.hi), huge(25, 120);
  std::bernoulli_distribution pick(s.huge_share);
  for (size_t i = 0; i < w.size(); ++i) a[i] = T(pick(rng) ? std::ldexp(1.0, int(huge(rng))) * (u(rng) / s.hi) : u(rng));
}

double cpu_ns() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return double(t.tv_sec) * 1e9 + double(t.tv_nsec);
}

template <class F> void timed(benchmark::State& st, size_t n, F call) {
  const double t0 = cpu_ns();
  for (auto _ : st) {
    call();
    benchmark::ClobberMemory();
  }
  const double ns = (cpu_ns() - t0) / double(st.iterations()) / double(n);
  st.counters["cyc/elem"] = ns * tim::clock().core_ghz;
}

void register_one(const char* name, const std::vector<Set>& sets) {
  int slot;
  const auto* e = acc::find_entry(name, &slot);
  if (!e) return;
  for (const Set& s : sets) {
    auto w = std::make_shared<tim::Workload>(*e, 1000);
    if (name[0] == 'd') fill<double>(*w, s);
    else fill<float>(*w, s);
    const std::string tail = std::string("/") + name + "/" + s.name;
    for (int k : acc::distinct_slots(*e))
      benchmark::RegisterBenchmark(("nrx/" + std::string(acc::slot_name(k)) + tail).c_str(),
                                   [w, fn = e->ttab[k]](benchmark::State& st) { timed(st, w->size(), [&] { w->run(fn); }); });
    for (const tim::Peer& p : tim::peers_for(*e))
      benchmark::RegisterBenchmark((p.tag + tail).c_str(),
                                   [w, p](benchmark::State& st) { timed(st, w->size(), [&] { p.run(p, *w); }); });
  }
}

void register_all() {
  for (const Group& g : kGroups)
    for (const char* name : g.names) register_one(name, g.sets);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.3f", tim::clock().core_ghz);
  benchmark::AddCustomContext("core_clock_ghz", buf);
  register_all();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
