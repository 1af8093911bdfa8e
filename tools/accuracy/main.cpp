// nrx-accuracy: accuracy of one vector math function table against MPFR.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tools/accuracy/accuracy.h"

using namespace nrx::accuracy;

namespace {

void usage(FILE* to) {
  std::fprintf(to,
               "usage: nrx-accuracy NAME [--samples N] [--range LO HI] [--slot la|ha|ep|all]\n"
               "                    [--special X,Y,...] [--ftz] [--seed S] [--worst K]\n"
               "  NAME   a public name (zardExp_50, zarsLn) or a table (dExp, sLnI)\n"
               "  --slot which kernels of the table to measure (default: the public name's slot,\n"
               "         or every distinct kernel of a table)\n"
               "  --ftz  run the kernels with flush-to-zero / denormals-are-zero\n"
               "Prints the maximum and mean ulp error and the worst inputs of each kernel; the\n"
               "exit status is 1 when a kernel exceeds its bound or mishandles a special value.\n");
}

std::vector<double> parse_list(const char* s) {
  std::vector<double> v;
  std::string item;
  for (const char* p = s;; ++p) {
    if (*p == ',' || *p == 0) {
      if (!item.empty()) v.push_back(std::strtod(item.c_str(), nullptr));
      item.clear();
      if (!*p) break;
    } else {
      item += *p;
    }
  }
  return v;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || !std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h")) {
    usage(argc < 2 ? stderr : stdout);
    return argc < 2 ? 2 : 0;
  }
  Options o;
  std::string name = argv[1], slot_arg;
  for (int i = 2; i < argc; ++i) {
    const std::string a = argv[i];
    auto need = [&](int k) {
      if (i + k >= argc) {
        std::fprintf(stderr, "nrx-accuracy: %s needs %d value(s)\n", a.c_str(), k);
        std::exit(2);
      }
    };
    if (a == "--samples") {
      need(1);
      o.samples = std::strtoull(argv[++i], nullptr, 10);
    } else if (a == "--range") {
      need(2);
      o.range = true;
      o.lo = std::strtod(argv[++i], nullptr);
      o.hi = std::strtod(argv[++i], nullptr);
    } else if (a == "--slot") {
      need(1);
      slot_arg = argv[++i];
    } else if (a == "--special") {
      need(1);
      o.special = parse_list(argv[++i]);
    } else if (a == "--ftz") {
      o.ftz = true;
    } else if (a == "--seed") {
      need(1);
      o.seed = std::strtoull(argv[++i], nullptr, 10);
    } else if (a == "--worst") {
      need(1);
      o.keep_worst = std::strtoull(argv[++i], nullptr, 10);
    } else {
      std::fprintf(stderr, "nrx-accuracy: unknown option %s\n", a.c_str());
      usage(stderr);
      return 2;
    }
  }

  int named_slot = -1;
  const nrx::zar::catalog::Entry* e = find_entry(name, &named_slot);
  if (!e) {
    std::fprintf(stderr, "nrx-accuracy: no function table or public name '%s'\n", name.c_str());
    return 2;
  }
  if (!measurable(*e)) {
    std::fprintf(stderr, "nrx-accuracy: %s has no reference computation\n", table_name(*e).c_str());
    return 2;
  }
  std::vector<int> slots;
  if (slot_arg.empty()) {
    slots = named_slot >= 0 ? std::vector<int>{named_slot} : distinct_slots(*e);
  } else if (slot_arg == "all") {
    slots = {0, 1, 2};
  } else if (slot_arg == "la" || slot_arg == "ha" || slot_arg == "ep") {
    slots = {slot_arg == "la" ? 0 : slot_arg == "ha" ? 1 : 2};
  } else {
    std::fprintf(stderr, "nrx-accuracy: --slot takes la, ha, ep or all\n");
    return 2;
  }
  if (slots.empty()) {
    std::fprintf(stderr, "nrx-accuracy: %s has no kernel in any slot\n", table_name(*e).c_str());
    return 2;
  }
  for (int s : slots)
    if (!e->ttab[s]) {
      std::fprintf(stderr, "nrx-accuracy: slot %s of %s is empty\n", slot_name(s), table_name(*e).c_str());
      return 2;
    }

  std::printf("%s: %s kernel, reference %s, domain [%g, %g]%s\n", table_name(*e).c_str(), e->kernel ? e->kernel : "-",
              oracle_key(*e).c_str(), o.range ? o.lo : e->lo, o.range ? o.hi : e->hi, o.ftz ? ", flush-to-zero" : "");
  const std::vector<Result> rs = measure_slots(*e, slots, o);
  bool ok = true;
  for (const Result& r : rs) {
    std::string shared;
    for (int k = 0; k < 3; ++k)
      if (k != r.slot && e->ttab[k] == e->ttab[r.slot])
        shared += std::string(shared.empty() ? " (=" : "=") + slot_name(k);
    if (!shared.empty()) shared += ")";
    std::printf("  %s%s %s: max %.4g ulp, mean %.4g ulp over %zu results, bound %g; mismatches %zu%s\n",
                slot_name(r.slot), shared.c_str(), e->names[r.slot], r.max_ulp, r.mean_ulp, r.measured, r.bound,
                r.mismatches, r.pass() ? "" : "  FAIL");
    for (int k = 1; k < kMismatchKinds; ++k)
      if (r.by_kind[k]) std::printf("    %s: %zu\n", mismatch_name(Mismatch(k)), r.by_kind[k]);
    for (const Sample& s : r.worst) std::printf("    worst: %s\n", describe(*e, s).c_str());
    for (const Sample& s : r.bad) std::printf("    mismatch: %s\n", describe(*e, s).c_str());
    ok = ok && r.pass();
  }
  return ok ? 0 : 1;
}
