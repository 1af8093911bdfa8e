// nrx rng: writes n variates of a generator and law, as text on standard output or
// as raw binary to a file; reports throughput on standard error; saves and restores
// the stream so that a later run continues the same sequence.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "nrx/rng.h"

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

int usage() {
  std::fprintf(stderr,
               "usage: nrx rng [-g GEN[:MEMBER]] [-l LAW] [-n N] [-s SEED[,SEED...]] [-a A] [-b B] [--accurate]\n"
               "               [-o FILE] [--load STATE] [--save STATE]\n"
               "  GEN   mcg31m1 (default), mcg59, mrg32k3a, r250, wh (members 0..272)\n"
               "  LAW   uniform (double, default), uniform-float, bits (raw generator words)\n"
               "  -o    binary output to FILE instead of text on standard output\n"
               "  --load starts from a saved stream instead of seeding; --save writes the\n"
               "        stream after generating, so a later --load continues the sequence\n");
  return 2;
}

struct Options {
  int32_t brng = DRU_BRNG_MCG31M1;
  Law law = Law::uniform_double;
  long long n = 10;
  std::vector<uint32_t> seed{1};
  double a = 0.0, b = 1.0;
  int32_t method = DRU_RNG_UNIFORM_STD;
  const char *out = nullptr, *load = nullptr, *save = nullptr;
};

bool parse_generator(const char* text, int32_t& brng) {
  const char* colon = std::strchr(text, ':');
  const std::string base(text, colon ? size_t(colon - text) : std::strlen(text));
  for (const GenName& g : kGens)
    if (base == g.name) {
      brng = g.brng + (colon ? std::atoi(colon + 1) : 0);
      return !colon || g.brng == DRU_BRNG_WH;
    }
  return false;
}

bool parse(int argc, char** argv, Options& o) {
  for (int i = 1; i < argc; ++i) {
    const std::string k = argv[i];
    const bool has = i + 1 < argc;
    if (k == "--accurate") {
      o.method = DRU_RNG_UNIFORM_ACCURATE;
    } else if (!has) {
      return false;
    } else if (k == "-g") {
      if (!parse_generator(argv[++i], o.brng)) return false;
    } else if (k == "-l") {
      const std::string v = argv[++i];
      bool found = false;
      for (const LawName& l : kLaws) found |= v == l.name && ((o.law = l.law), true);
      if (!found) return false;
    } else if (k == "-n") {
      o.n = std::atoll(argv[++i]);
    } else if (k == "-s") {
      o.seed.clear();
      for (char* p = argv[++i]; *p;) {
        o.seed.push_back(uint32_t(std::strtoul(p, &p, 0)));
        if (*p == ',') ++p;
        else if (*p) return false;
      }
    } else if (k == "-a") {
      o.a = std::atof(argv[++i]);
    } else if (k == "-b") {
      o.b = std::atof(argv[++i]);
    } else if (k == "-o") {
      o.out = argv[++i];
    } else if (k == "--load") {
      o.load = argv[++i];
    } else if (k == "--save") {
      o.save = argv[++i];
    } else {
      return false;
    }
  }
  return o.n >= 0;
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
  if (!parse(argc, argv, o)) return usage();
  DruStream* s = nullptr;
  int32_t st = o.load ? _druLoadStreamF(&s, int32_t(std::strlen(o.load)), o.load)
                      : _druNewStreamEx(&s, o.brng, int32_t(o.seed.size()), o.seed.data());
  if (st < 0) {
    std::fprintf(stderr, "nrx rng: cannot %s the stream (status %d)\n", o.load ? "load" : "create", st);
    _druDeleteStream(&s);
    return 1;
  }
  BrngProperties p{};
  _druGetBrngProperties(int32_t(s->brng), &p);
  const int words = p.WordBytes / 4;
  const size_t bytes = o.law == Law::uniform_double ? 8 : o.law == Law::uniform_float ? 4 : size_t(p.WordBytes);
  FILE* out = o.out ? std::fopen(o.out, "wb") : nullptr;
  if (o.out && !out) {
    std::fprintf(stderr, "nrx rng: cannot open %s\n", o.out);
    _druDeleteStream(&s);
    return 1;
  }
  constexpr int32_t kBlock = 1 << 16;
  std::vector<unsigned char> buf(size_t(kBlock) * bytes);
  double seconds = 0;
  for (long long done = 0; done < o.n && st >= 0;) {
    const int32_t count = int32_t(o.n - done < kBlock ? o.n - done : kBlock);
    const auto t0 = std::chrono::steady_clock::now();
    st = draw(o, s, count, buf.data());
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    if (out)
      std::fwrite(buf.data(), bytes, size_t(count), out);
    else
      print_text(o, words, buf.data(), count);
    done += count;
  }
  if (out && std::fclose(out) != 0) st = DRU_E_FILE_WRITE;
  if (st >= 0 && o.save) st = _druSaveStreamF(s, o.save, int32_t(std::strlen(o.save)));
  _druDeleteStream(&s);
  if (st < 0) {
    std::fprintf(stderr, "nrx rng: failed with status %d\n", st);
    return 1;
  }
  if (seconds > 0)
    std::fprintf(stderr, "nrx rng: %lld values in %.3f ms, %.3f ns/value, %.2f GB/s\n", o.n, seconds * 1e3,
                 seconds * 1e9 / double(o.n ? o.n : 1), double(o.n) * double(bytes) / seconds / 1e9);
  return 0;
}
