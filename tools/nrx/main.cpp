// nrx: demonstrations of the library's services.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tools/nrx/commands.h"

namespace {

struct Command {
  const char* name;
  int (*run)(int, char**);
  const char* help;
};

const Command kCommands[] = {
    {"vm", nrx::demo::vm,
     "vm [--samples N] [--filter SUBSTR]\n"
     "        every vector math kernel: measured ulp error against MPFR (bit-exact check for\n"
     "        the correctly rounded functions) and cycles per element at n = 1000, beside\n"
     "        SLEEF's and libmvec's where they have the function"},
#ifdef NRX_HAVE_RNG
    {"rng", nrx_cmd_rng, "rng [options]   random numbers from a generator and a law (nrx rng --help)"},
#endif
#ifdef NRX_HAVE_STATS
    {"stats", nrx_cmd_stats, "stats [FILE.csv]   summary statistics of a data set (nrx stats --help)"},
#endif
#ifdef NRX_HAVE_FIT
    {"fit", nrx_cmd_fit, "fit [options]   spline fitting of a data set (nrx fit --help)"},
#endif
};

void usage(FILE* to) {
  std::fprintf(to, "usage: nrx COMMAND [options]\ncommands:\n");
  for (const Command& c : kCommands) std::fprintf(to, "  %s\n", c.help);
  std::fprintf(to, "  help  this text\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || !std::strcmp(argv[1], "help") || !std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h")) {
    usage(stdout);
    return 0;
  }
  for (const Command& c : kCommands)
    if (!std::strcmp(argv[1], c.name)) return c.run(argc - 1, argv + 1);
  std::fprintf(stderr, "nrx: unknown command '%s'\n", argv[1]);
  usage(stderr);
  return 2;
}
