// nrx: demonstrations of the library's services.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "nrx/version.h"
#include "tools/nrx/cli.h"
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
    {"stats", nrx_cmd_stats, "stats [FILE.csv | -]   summary statistics of a data set (nrx stats --help)"},
#endif
#ifdef NRX_HAVE_FIT
    {"fit", nrx_cmd_fit, "fit [options]   spline fitting of a data set (nrx fit --help)"},
#endif
};

void usage(FILE* to) {
  std::fprintf(to, "usage: nrx COMMAND [options]   (nrx COMMAND --help for its options)\ncommands:\n");
  for (const Command& c : kCommands) std::fprintf(to, "  %s\n", c.help);
  std::fprintf(to,
               "  help, --help   this text\n  --version      the library version\n"
               "exit status: 0 done, 1 failed (the reason on standard error), 2 usage error\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    usage(stderr);
    return 2;
  }
  const std::string first = argv[1];
  if (first == "help" || first == "--help" || first == "-h") {
    usage(stdout);
    return 0;
  }
  if (first == "--version") {
    std::printf("nrx %s\n", NRX_VERSION_STRING);
    return 0;
  }
  for (const Command& c : kCommands)
    if (first == c.name) {
      int rc = 0;
      try {
        rc = c.run(argc - 1, argv + 1);
      } catch (const std::bad_alloc&) {
        return nrx::cli::fail(c.name, "out of memory");
      }
      if (std::fflush(stdout) != 0 || std::ferror(stdout))
        return nrx::cli::fail(c.name, "cannot write standard output");
      return rc;
    }
  std::fprintf(stderr, "nrx: unknown command '%s'\n", argv[1]);
  usage(stderr);
  return 2;
}
