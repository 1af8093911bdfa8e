// nrx vm: accuracy and speed of every implemented vector kernel.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "tools/accuracy/accuracy.h"
#include "tools/nrx/cli.h"
#include "tools/nrx/commands.h"
#include "tools/timing/cycles.h"
#include "tools/timing/peers.h"
#include "tools/timing/workload.h"

namespace nrx::demo {

namespace acc = nrx::accuracy;
namespace tim = nrx::timing;
namespace catalog = nrx::zar::catalog;

namespace {

constexpr size_t kN = 1000;

double cycles_per_element(const std::function<void()>& f) {
  return tim::best_ns(f) * tim::clock().core_ghz / double(kN);
}

std::string flavours(const catalog::Entry& e, int slot) {
  std::string s = acc::slot_name(slot);
  for (int k = 0; k < 3; ++k)
    if (k != slot && e.ttab[k] == e.ttab[slot]) s += std::string("=") + acc::slot_name(k);
  return s;
}

std::string ulp_text(const acc::Result& r) {
  char b[32];
  if (r.bound == 0) return r.max_ulp == 0 && r.mismatches == 0 ? "exact" : "NOT EXACT";
  std::snprintf(b, sizeof b, "%.3g", r.max_ulp);
  return b;
}

}  // namespace

int vm(int argc, char** argv) {
  acc::Options o;
  std::string filter;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "-h" || a == "--help") {
      std::printf(
          "usage: nrx vm [--samples N] [--filter SUBSTR]\n"
          "  N random samples per kernel besides the special values, 1 to 100000000\n"
          "  (default %zu); SUBSTR keeps the tables whose name contains it\n",
          o.samples);
      return 0;
    }
    if (a != "--samples" && a != "--filter") return nrx::cli::usage_error("vm", "unknown option " + a);
    if (i + 1 >= argc) return nrx::cli::usage_error("vm", a + " needs a value");
    long long samples = 0;
    if (a == "--filter") filter = argv[++i];
    else if (!nrx::cli::parse_int("vm", "--samples", argv[++i], 1, 100000000, samples)) return 2;
    else o.samples = size_t(samples);
  }

  std::vector<const catalog::Entry*> todo;
  for (size_t i = 0; i < catalog::count; ++i) {
    const catalog::Entry& e = catalog::entries[i];
    if (!e.kernel || e.strided || !acc::measurable(e)) continue;
    if (!filter.empty() && acc::table_name(e).find(filter) == std::string::npos) continue;
    todo.push_back(&e);
  }

  const tim::Clock& clk = tim::clock();
  std::printf(
      "Vector math kernels: ulp error against MPFR over %zu samples plus special values,\n"
      "cycles per element at n = %zu; core clock %.2f GHz (TSC %.2f GHz).\n\n",
      o.samples, kN, clk.core_ghz, clk.tsc_ghz);
  std::printf("%-14s %-9s %-10s %10s %8s  %-5s %9s %7s  %-18s %9s\n", "table", "flavour", "kernel", "max ulp", "bound",
              "ok", "cyc/elem", "cost", "SLEEF", "libmvec");

  int failed = 0;
  size_t done = 0;
  for (const catalog::Entry* e : todo) {
    const std::string name = acc::table_name(*e);
    std::fprintf(stderr, "\r[%3zu/%zu] %-16s", ++done, todo.size(), name.c_str());
    std::fflush(stderr);
    const std::vector<int> slots = acc::distinct_slots(*e);
    const std::vector<acc::Result> rs = acc::measure_slots(*e, slots, o);
    const tim::Workload w(*e, kN);
    const std::vector<tim::Peer> peers = tim::peers_for(*e);
    double mvec = -1;
    for (const tim::Peer& p : peers)
      if (p.tag == "libmvec") mvec = cycles_per_element([&] { p.run(p, w); });
    const tim::Peer* loop = nullptr;
    for (const tim::Peer& p : peers)
      if (p.tag == "loop") loop = &p;

    for (size_t k = 0; k < slots.size(); ++k) {
      const acc::Result& r = rs[k];
      const double cyc = cycles_per_element([&] { w.run(e->ttab[slots[k]]); });
      std::string peer = "-";
      char buf[64];
      if (const tim::Peer* s = tim::sleef_for_flavour(peers, acc::slot_flavour(*e, slots[k]))) {
        std::snprintf(buf, sizeof buf, "%.3g (%s)", cycles_per_element([&] { s->run(*s, w); }),
                      s->tag == "sleef" ? "exact" : s->tag.substr(6).c_str());
        peer = buf;
      } else if (loop) {
        std::snprintf(buf, sizeof buf, "%.3g (loop)", cycles_per_element([&] { loop->run(*loop, w); }));
        peer = buf;
      }
      std::string mv = "-";
      if (mvec >= 0) {
        std::snprintf(buf, sizeof buf, "%.3g", mvec);
        mv = buf;
      }
      char bound[16];
      std::snprintf(bound, sizeof bound, "%g", r.bound);
      std::fprintf(stderr, "\r%40s\r", "");
      std::printf("%-14s %-9s %-10s %10s %8s  %-5s %9.3g %7.3g  %-18s %9s\n", name.c_str(),
                  flavours(*e, slots[k]).c_str(), e->kernel, ulp_text(r).c_str(), bound, r.pass() ? "yes" : "NO", cyc,
                  e->ctab[slots[k]], peer.c_str(), mv.c_str());
      if (!r.pass()) {
        ++failed;
        const acc::Sample* s = !r.bad.empty() ? &r.bad.front() : !r.worst.empty() ? &r.worst.front() : nullptr;
        if (s) std::printf("    %s\n", acc::describe(*e, *s).c_str());
      }
      std::fflush(stdout);
    }
  }
  std::fprintf(stderr, "\r%40s\r", "");
  std::printf("\n%zu tables, %d kernel(s) outside their bound or with special-value mismatches.\n", todo.size(),
              failed);
  return failed ? 1 : 0;
}

}  // namespace nrx::demo
