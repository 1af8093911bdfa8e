// Vector math benchmarks: every catalogue table, every distinct kernel, at n = 1,000 and
// 1,000,000, beside SLEEF, glibc libmvec and a compiler-vectorised loop where they have the
// function. Names: <who>/<table>/[<flavours>/]<n>/real_time, <who> one of nrx, sleef_u10,
// sleef_u35, sleef_u05, sleef_u15, sleef (exact functions), libmvec, loop, glibc (loops over the C
// library's complex functions).
//
//   nrx_bench --benchmark_filter='/dExp/'           one table and its peers
//   nrx_bench --benchmark_filter='^nrx/s'           every single-precision table
//
// Counters, from the thread's CPU time: ns/elem, cyc/elem (at the core clock measured at
// start-up and printed in the context), and ctab, the table's cost figure for the kernel.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <ctime>
#include <memory>
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
namespace catalog = nrx::zar::catalog;

// Benchmarks run in registration order, grouped by table and length: one workload at a time
// is enough, and keeps the memory of the 10^6-element runs bounded.
const tim::Workload& workload(const catalog::Entry& e, size_t n) {
  static std::unique_ptr<tim::Workload> current;
  if (!current || &current->entry() != &e || current->size() != n) {
    current.reset();
    current = std::make_unique<tim::Workload>(e, n);
  }
  return *current;
}

template <class F> void timed(benchmark::State& st, size_t n, double cost, F call) {
  nrx::bench::timed(st, int64_t(n), call);
  if (cost > 0) st.counters["ctab"] = cost;
}

bool elementwise(const catalog::Entry& e) {
  using catalog::Shape;
  switch (e.shape) {
    case Shape::v1:
    case Shape::v2:
    case Shape::vs:
    case Shape::v1r2:
    case Shape::lf:
    case Shape::c2r:
    case Shape::r2c: return true;
    default: return false;
  }
}

std::string flavours(const catalog::Entry& e, int slot) {
  std::string s = acc::slot_name(slot);
  for (int k = 0; k < 3; ++k)
    if (k != slot && e.ttab[k] == e.ttab[slot]) s += std::string("=") + acc::slot_name(k);
  return s;
}

void register_all() {
  for (size_t i = 0; i < catalog::count; ++i) {
    const catalog::Entry* e = &catalog::entries[i];
    if (!elementwise(*e)) continue;
    const std::string table = acc::table_name(*e);
    for (int slot : acc::distinct_slots(*e)) {
      void* fn = e->ttab[slot];
      const double cost = e->ctab[slot];
      benchmark::RegisterBenchmark(("nrx/" + table + "/" + flavours(*e, slot)).c_str(),
                                   [e, fn, cost](benchmark::State& st) {
                                     const tim::Workload& w = workload(*e, size_t(st.range(0)));
                                     timed(st, w.size(), cost, [&] { w.run(fn); });
                                   })
          ->Arg(1000)
          ->Arg(1000000);
    }
    for (const tim::Peer& p : tim::peers_for(*e)) {
      benchmark::RegisterBenchmark((p.tag + "/" + table).c_str(),
                                   [e, p](benchmark::State& st) {
                                     const tim::Workload& w = workload(*e, size_t(st.range(0)));
                                     timed(st, w.size(), 0, [&] { p.run(p, w); });
                                   })
          ->Arg(1000)
          ->Arg(1000000);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  const tim::Clock& c = tim::clock();
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.3f", c.core_ghz);
  benchmark::AddCustomContext("core_clock_ghz", buf);
  std::snprintf(buf, sizeof buf, "%.3f", c.tsc_ghz);
  benchmark::AddCustomContext("tsc_ghz", buf);
  register_all();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
