// nrx rng: writes n variates of a generator and law, as text on standard output or
// as raw binary to a file; reports throughput on standard error; saves and restores
// the stream so that a later run continues the same sequence.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "nrx/rng.h"
#include "nrx/status.h"
#include "tools/nrx/cli.h"

namespace {

struct GenName {
  const char* name;
  int32_t brng;
};
// The ready generators with all three outputs, from the one generator list.
#define NRX_CMD_GEN(Name, NAME, id, state, seeds, zero, word, bits, members, split, cpu, avail, kind, label) \
  NRX_BRNG_WHEN_USABLE(avail, kind, {label, id}, )
constexpr GenName kGens[] = {NRX_BRNG_LIST(NRX_CMD_GEN)};
#undef NRX_CMD_GEN

enum class Law { uniform_double, uniform_float, bits };
struct LawName {
  const char* name;
  Law law;
};
constexpr LawName kLaws[] = {{"uniform", Law::uniform_double}, {"uniform-float", Law::uniform_float}, {"bits", Law::bits}};

namespace cli = nrx::cli;

constexpr long long kMaxCount = 1000000000000LL;  // 10^12 values, hours of output

void help() {
  std::printf("usage: nrx rng [-g GEN[:MEMBER]] [-l LAW] [-n N] [-s SEED[,SEED...]] [-a A] [-b B] [--accurate]\n"
               "               [-o FILE] [--load STATE] [--save STATE] [--progress]\n"
               "  GEN   mcg31m1 (default), mcg59, mrg32k3a, r250, wh (members 0..272)\n"
               "  LAW   uniform (double, default), uniform-float, bits (raw generator words)\n"
               "  -o    binary output to FILE instead of text on standard output\n"
               "  --load starts from a saved stream instead of seeding; --save writes the\n"
               "        stream after generating, so a later --load continues the sequence\n"
               "  N     0 to 10^12 (default 10)\n"
               "  --progress  report progress on standard error even when it is not a terminal\n");
}

struct Options {
  int32_t brng = DRU_BRNG_MCG31M1;
  Law law = Law::uniform_double;
  long long n = 10;
  std::vector<uint32_t> seed{1};
  double a = 0.0, b = 1.0;
  int32_t method = DRU_RNG_UNIFORM_STD;
  const char *out = nullptr, *load = nullptr, *save = nullptr;
  bool progress = false;
};

bool parse_generator(const char* text, int32_t& brng) {
  const char* colon = std::strchr(text, ':');
  const std::string base(text, colon ? size_t(colon - text) : std::strlen(text));
  for (const GenName& g : kGens)
    if (base == g.name) {
      char* end = nullptr;
      const long member = colon ? std::strtol(colon + 1, &end, 10) : 0;
      if (colon && (g.brng != DRU_BRNG_WH || end == colon + 1 || *end || member < 0 || member > 272)) return false;
      brng = g.brng + int32_t(member);
      return true;
    }
  return false;
}

// Reads the options; 0 to go on, otherwise the exit status (after help or a usage error).
int parse(int argc, char** argv, Options& o) {
  for (int i = 1; i < argc; ++i) {
    const std::string k = argv[i];
    if (k == "-h" || k == "--help") return help(), -1;
    if (k == "--accurate") {
      o.method = DRU_RNG_UNIFORM_ACCURATE;
      continue;
    }
    if (k == "--progress") {
      o.progress = true;
      continue;
    }
    if (i + 1 >= argc) return cli::usage_error("rng", k[0] == '-' ? k + " needs a value" : "unexpected " + k);
    const char* v = argv[++i];
    if (k == "-g") {
      if (!parse_generator(v, o.brng)) return cli::usage_error("rng", std::string("-g: unknown generator or member '") + v + "'");
    } else if (k == "-l") {
      bool found = false;
      for (const LawName& l : kLaws) found |= std::strcmp(v, l.name) == 0 && ((o.law = l.law), true);
      if (!found) return cli::usage_error("rng", std::string("-l: unknown law '") + v + "'");
    } else if (k == "-n") {
      if (!cli::parse_int("rng", "-n", v, 0, kMaxCount, o.n)) return 2;
    } else if (k == "-s") {
      o.seed.clear();
      std::string list = v;
      for (size_t p = 0; p <= list.size();) {
        const size_t comma = std::min(list.find(',', p), list.size());
        long long word = 0;
        if (!cli::parse_int("rng", "-s", list.substr(p, comma - p).c_str(), 0, UINT32_MAX, word)) return 2;
        o.seed.push_back(uint32_t(word));
        p = comma + 1;
      }
    } else if (k == "-a") {
      if (!cli::parse_real("rng", "-a", v, o.a)) return 2;
    } else if (k == "-b") {
      if (!cli::parse_real("rng", "-b", v, o.b)) return 2;
    } else if (k == "-o") {
      o.out = v;
    } else if (k == "--load") {
      o.load = v;
    } else if (k == "--save") {
      o.save = v;
    } else {
      return cli::usage_error("rng", "unknown option " + k);
    }
  }
  return 0;
}

// Draws `count` values into buf (bytes per value given by the law and generator).
int32_t draw(const Options& o, DruStream* s, int32_t count, void* buf) {
  switch (o.law) {
    case Law::uniform_double:
      return drudRngUniform(o.method, s, count, static_cast<double*>(buf), o.a, o.b);
    case Law::uniform_float:
      return drusRngUniform(o.method, s, count, static_cast<float*>(buf), float(o.a), float(o.b));
    default: {
      BrngProperties p{};
      _druGetBrngProperties(int32_t(s->brng), &p);
      return p.GenI(s, count, static_cast<uint32_t*>(buf));
    }
  }
}

void print_text(const Options& o, int words, const void* buf, int32_t count) {
  for (int32_t i = 0; i < count; ++i) {
    if (o.law == Law::uniform_double) {
      std::printf("%.17g\n", static_cast<const double*>(buf)[i]);
    } else if (o.law == Law::uniform_float) {
      std::printf("%.9g\n", double(static_cast<const float*>(buf)[i]));
    } else {
      const uint32_t* w = static_cast<const uint32_t*>(buf) + size_t(i) * words;
      if (words == 2) {
        std::printf("%llu\n", (unsigned long long)w[0] | (unsigned long long)w[1] << 32);
      } else {
        for (int q = 0; q < words; ++q) std::printf(q + 1 < words ? "%u " : "%u\n", w[q]);
      }
    }
  }
}

}  // namespace

int nrx_cmd_rng(int argc, char** argv) {
  Options o;
  if (const int rc = parse(argc, argv, o)) return rc < 0 ? 0 : rc;
  DruStream* s = nullptr;
  int32_t st = o.load ? _druLoadStreamF(&s, int32_t(std::strlen(o.load)), o.load)
                      : _druNewStreamEx(&s, o.brng, int32_t(o.seed.size()), o.seed.data());
  if (st < 0) {
    _druDeleteStream(&s);
    return cli::fail("rng", std::string("cannot ") + (o.load ? "load the stream from " + std::string(o.load)
                                                                : std::string("create the stream")) +
                                ": " + cli::status_text(NRX_SERVICE_RNG, st));
  }
  BrngProperties p{};
  _druGetBrngProperties(int32_t(s->brng), &p);
  const int words = p.WordBytes / 4;
  const size_t bytes = o.law == Law::uniform_double ? 8 : o.law == Law::uniform_float ? 4 : size_t(p.WordBytes);
  // Binary output and the saved state appear whole or not at all.
  cli::Output out, state;
  std::string err;
  if ((o.out && !out.open(o.out, err)) || (o.save && !state.reserve(o.save, err))) {
    _druDeleteStream(&s);
    return cli::fail("rng", err);
  }
  constexpr int32_t kBlock = 1 << 16;
  std::vector<unsigned char> buf(size_t(kBlock) * bytes);
  double seconds = 0;
  cli::Progress bar("rng", "generating", o.progress);
  const bool report = o.n > 16 * kBlock;
  for (long long done = 0; done < o.n && st >= 0;) {
    const int32_t count = int32_t(o.n - done < kBlock ? o.n - done : kBlock);
    const auto t0 = std::chrono::steady_clock::now();
    st = draw(o, s, count, buf.data());
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    if (st < 0) break;  // nothing of a failed call is written
    if (o.out) {
      if (std::fwrite(buf.data(), bytes, size_t(count), out.file()) != size_t(count)) break;
    } else {
      print_text(o, words, buf.data(), count);
      if (std::ferror(stdout)) break;
    }
    done += count;
    if (report) bar.update(double(done) / double(o.n));
  }
  if (st >= 0 && o.save) st = _druSaveStreamF(s, state.path().c_str(), int32_t(state.path().size()));
  _druDeleteStream(&s);
  if (st < 0) return cli::fail("rng", cli::status_text(NRX_SERVICE_RNG, st));
  if (o.out ? !out.commit(err) : (std::fflush(stdout) != 0 || std::ferror(stdout)))
    return cli::fail("rng", o.out ? err : "cannot write standard output");
  if (o.save && !state.commit(err)) return cli::fail("rng", err);
  if (seconds > 0)
    std::fprintf(stderr, "nrx rng: %lld values in %.3f ms, %.3f ns/value, %.2f GB/s\n", o.n, seconds * 1e3,
                 seconds * 1e9 / double(o.n ? o.n : 1), double(o.n) * double(bytes) / seconds / 1e9);
  return 0;
}
