// Sin and Cos beside their peers on three argument sets, in one run: uniform on [-pi, pi],
// uniform on [-10^4, 10^4], and the latter with 1% of the elements above 2^24 (the long
// reduction); the inverse functions likewise: Atan and Atan2 (first argument) on [-1, 1] and
// [-10^4, 10^4], Asin and Acos on [-1, 1]; the hyperbolic functions on their catalogue domain
// and on a narrow interval around their formula switches. n = 1,000. Counters as in nrx_bench: cyc/elem at the
// measured core clock.
//
//   nrx_trig_bench --benchmark_filter=dSin
//   nrx_trig_bench --benchmark_filter='/[sd](Atan|Atan2|Asin|Acos)/'
//   nrx_trig_bench --benchmark_filter='[sd](Sinh|Cosh|Tanh|Asinh|Acosh|Atanh)/'

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <ctime>
#include <random>
#include <string>
#include <vector>

#include "bench/timed.h"
#include "tools/accuracy/accuracy.h"
#include "tools/timing/cycles.h"
#include "tools/timing/peers.h"
#include "tools/timing/workload.h"

namespace {

namespace acc = nrx::accuracy;
namespace tim = nrx::timing;

struct Set {
  const char* name;
  double lo, hi;
  double huge_share;
};
const Set kCircular[] = {{"pi", -M_PI, M_PI, 0}, {"1e4", -1e4, 1e4, 0}, {"1e4+1%huge", -1e4, 1e4, 0.01}};
// lo = hi keeps the workload's own arguments (the catalogue domain).
const Set kAtan[] = {{"1", -1, 1, 0}, {"1e4", -1e4, 1e4, 0}};
const Set kUnit[] = {{"1", -1, 1, 0}};
const Set kHyperbolic[] = {{"domain", 0, 0, 0}, {"narrow", -2, 2, 0}};
const Set kInverseInside1[] = {{"domain", 0, 0, 0}, {"narrow", -0.5, 0.5, 0}};
const Set kInverseNear1[] = {{"domain", 0, 0, 0}, {"narrow", 1, 3, 0}};

// Overwrites the workload's arguments (unit stride) with the set's.
template <class T> void fill(const tim::Workload& w, const Set& s) {
  T* a = const_cast<T*>(static_cast<const T*>(w.a()));
  std::mt19937_64 rng(7);
  if (s.lo == s.hi) return;
  std::uniform_real_distribution<double> u(s.lo, s.hi), huge(25, 120);
  std::bernoulli_distribution pick(s.huge_share);
  for (size_t i = 0; i < w.size(); ++i)
    a[i] = T(pick(rng) ? std::ldexp(1.0, int(huge(rng))) * (u(rng) / s.hi) : u(rng));
}

using nrx::bench::timed;

template <size_t N> void register_sets(const char* name, const Set (&sets)[N]) {
  int slot;
  const auto* e = acc::find_entry(name, &slot);
  if (!e) return;
  for (const Set& s : sets) {
    auto w = std::make_shared<tim::Workload>(*e, 1000);
    if (name[0] == 'd') fill<double>(*w, s);
    else fill<float>(*w, s);
    const std::string tail = std::string("/") + name + "/" + s.name;
    for (int k : acc::distinct_slots(*e))
      benchmark::RegisterBenchmark(
          ("nrx/" + std::string(acc::slot_name(k)) + tail).c_str(),
          [w, fn = e->ttab[k]](benchmark::State& st) { timed(st, w->size(), [&] { w->run(fn); }); });
    for (const tim::Peer& p : tim::peers_for(*e))
      benchmark::RegisterBenchmark((p.tag + tail).c_str(),
                                   [w, p](benchmark::State& st) { timed(st, w->size(), [&] { p.run(p, *w); }); });
  }
}

void register_all() {
  for (const char* name : {"dSin", "dCos", "sSin", "sCos"}) register_sets(name, kCircular);
  for (const char* t : {"d", "s"}) {
    for (const char* f : {"Atan", "Atan2", "Atanpi", "Atan2pi"}) register_sets((std::string(t) + f).c_str(), kAtan);
    for (const char* f : {"Asin", "Acos", "Asinpi", "Acospi"}) register_sets((std::string(t) + f).c_str(), kUnit);
  }
  for (const char* t : {"d", "s"}) {
    for (const char* f : {"Sinh", "Cosh", "Tanh", "Asinh"}) register_sets((std::string(t) + f).c_str(), kHyperbolic);
    register_sets((std::string(t) + "Atanh").c_str(), kInverseInside1);
    register_sets((std::string(t) + "Acosh").c_str(), kInverseNear1);
  }
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
