// nrx rng: writes n variates of a generator and any law of the law list, as text on
// standard output or as raw binary to a file; reports throughput on standard error;
// saves and restores the stream so that a later run continues the same sequence.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "nrx/rng.h"
#include "nrx/status.h"
#include "tools/nrx/cli.h"

namespace {

namespace cli = nrx::cli;

struct GenName {
  const char* name;
  int32_t brng, members;
};
// Every generator of the generator list that has a name in the program.
#define NRX_CMD_GEN(Name, NAME, id, state, seeds, zero, word, bits, members, split, cpu, avail, kind, label) \
  {label, id, members},
constexpr GenName kAllGens[] = {NRX_BRNG_LIST(NRX_CMD_GEN)};
#undef NRX_CMD_GEN

// ---- Calling a law with parameters given as reals ----

using Params = std::vector<double>;
using Caller = int32_t (*)(int32_t method, DruStream* s, int32_t n, void* r, const Params& p);

// Element type of the results: f float, d double, i int32, u uint32, q uint64.
template <class R> constexpr char elem_of() {
  return sizeof(R) == 8 ? (R(0.5) != 0 ? 'd' : 'q') : R(0.5) != 0 ? 'f' : R(-1) < 0 ? 'i' : 'u';
}

// Laws whose parameters are scalars, converted from reals in order.
template <class Fn> struct Scalar;
template <class R, class... P> struct Scalar<int32_t (*)(int32_t, DruStream*, int32_t, R*, P...)> {
  template <int32_t (*F)(int32_t, DruStream*, int32_t, R*, P...), size_t... I>
  static int32_t apply(int32_t m, DruStream* s, int32_t n, R* r, const Params& p, std::index_sequence<I...>) {
    return F(m, s, n, r, static_cast<P>(p[I])...);
  }
  template <int32_t (*F)(int32_t, DruStream*, int32_t, R*, P...)>
  static int32_t call(int32_t m, DruStream* s, int32_t n, void* r, const Params& p) {
    return apply<F>(m, s, n, static_cast<R*>(r), p, std::index_sequence_for<P...>{});
  }
  static constexpr char elem = elem_of<R>();
};

// One mean per variate, the given list repeated.
template <int32_t (*F)(int32_t, DruStream*, int32_t, int32_t*, const double*)>
int32_t each(int32_t m, DruStream* s, int32_t n, void* r, const Params& p) {
  std::vector<double> v(size_t(n) + 1);
  for (int32_t i = 0; i < n; ++i) v[size_t(i)] = p[size_t(i) % p.size()];
  return F(m, s, n, static_cast<int32_t*>(r), v.data());
}

// ntrial, then the k probabilities.
template <int32_t (*F)(int32_t, DruStream*, int32_t, int32_t*, int32_t, int32_t, const double*)>
int32_t shares(int32_t m, DruStream* s, int32_t n, void* r, const Params& p) {
  return F(m, s, n, static_cast<int32_t*>(r), int32_t(p[0]), int32_t(p.size() - 1), p.data() + 1);
}

// dim, storage, the dim means, then the factor's entries.
template <class T, int32_t (*F)(int32_t, DruStream*, int32_t, T*, int32_t, int32_t, const T*, const T*)>
int32_t mv(int32_t m, DruStream* s, int32_t n, void* r, const Params& p) {
  const auto dim = size_t(p[0]);
  const std::vector<T> a(p.begin() + 2, p.begin() + 2 + long(dim)), t(p.begin() + 2 + long(dim), p.end());
  return F(m, s, n, static_cast<T*>(r), int32_t(dim), int32_t(p[1]), a.data(), t.data());
}

template <int32_t (*F)(int32_t, DruStream*, int32_t, uint32_t*)>
int32_t words(int32_t m, DruStream* s, int32_t n, void* r, const Params&) {
  return F(m, s, n, static_cast<uint32_t*>(r));
}

enum class Shape { SCALAR, EACH, SHARES, MV, WORDS };

struct Member {
  char type;  // s, d or i; 0 for none
  Caller call;
  char elem;
};

struct LawRow {
  const char *label, *names, *defaults, *methods;
  Shape shape;
  Member members[2];
};

#define NRX_CMD_SCALAR(fn, T) &Scalar<decltype(&fn)>::template call<&fn>, Scalar<decltype(&fn)>::elem
#define NRX_CMD_EACH(fn, T) &each<&fn>, 'i'
#define NRX_CMD_SHARES(fn, T) &shares<&fn>, 'i'
#define NRX_CMD_MV(fn, T) &mv<T, &fn>, elem_of<T>()
#define NRX_CMD_WORDS(fn, T) &words<&fn>, 'u'
#define NRX_CMD_MEMBER(type, fn, shape, T) \
  Member { type, NRX_CMD_##shape(fn, T) }
#define NRX_CMD_MEMBERS_SD(Law, shape) \
  { NRX_CMD_MEMBER('s', drusRng##Law, shape, float), NRX_CMD_MEMBER('d', drudRng##Law, shape, double) }
#define NRX_CMD_MEMBERS_I(Law, shape)                                           \
  {                                                                             \
    NRX_CMD_MEMBER('i', druiRng##Law, shape, int32_t), Member { 0, nullptr, 0 } \
  }
#define NRX_CMD_LAW(Law, label, types, shape, params, defaults, methods) \
  LawRow{label, params, defaults, methods, Shape::shape, NRX_CMD_MEMBERS_##types(Law, shape)},
const LawRow kLaws[] = {NRX_RNG_LAW_LIST(NRX_CMD_LAW)};
#undef NRX_CMD_LAW

constexpr long long kMaxCount = 1000000000000LL;  // 10^12 values, hours of output

void help() {
  std::printf(
      "usage: nrx rng [-g GEN[:MEMBER]] [-l LAW] [-t s|d] [-m METHOD] [-p P1,P2,...] [-n N] [-s SEED[,SEED...]]\n"
      "               [-o FILE] [--load STATE] [--save STATE] [--progress]\n"
      "  -g GEN    generator (default mcg31m1); families take a member number:");
  for (const GenName& g : kAllGens)
    if (*g.name) std::printf(g.members > 1 ? " %s[:0..%d]" : " %s", g.name, g.members - 1);
  std::printf("\n  -l LAW    law (default uniform), with its parameters, defaults and method codes:\n");
  for (const LawRow& l : kLaws)
    std::printf("    %-15s %-4s %-22s %-14s methods: %s\n", l.label, l.members[1].type ? "s, d" : "i",
                *l.names ? l.names : "-", *l.defaults ? l.defaults : "-", l.methods);
  std::printf(
      "  -t        s: single precision results of the real laws; d (default): double\n"
      "  -m        method code, decimal or 0x hexadecimal (default 0)\n"
      "  -p        the law's parameters in the order above; poisson-v repeats its list of means\n"
      "            over the variates; multinomial takes ntrial then the k probabilities (k\n"
      "            counts per variate); gaussian-mv takes dim, storage, the dim means and the\n"
      "            factor (dim*dim full, dim(dim+1)/2 packed, dim diagonal; dim values per variate)\n"
      "  -a, -b    the first and second parameter (uniform's bounds); --accurate: method 0x40000000\n"
      "  -l uniform-float  is -l uniform -t s\n"
      "  -o        binary output to FILE instead of text on standard output\n"
      "  --load starts from a saved stream instead of seeding; --save writes the\n"
      "        stream after generating, so a later --load continues the sequence\n"
      "  N     0 to 10^12 (default 10)\n"
      "  --progress  report progress on standard error even when it is not a terminal\n");
}

struct Options {
  int32_t brng = DRU_BRNG_MCG31M1;
  const LawRow* law = &kLaws[0];
  char type = 'd';
  long long n = 10;
  std::vector<uint32_t> seed{1};
  Params params;
  bool params_given = false;
  double a = 0, b = 1;
  bool a_given = false, b_given = false;
  int32_t method = 0;
  const char *out = nullptr, *load = nullptr, *save = nullptr;
  bool progress = false;
};

bool parse_generator(const char* text, int32_t& brng) {
  const char* colon = std::strchr(text, ':');
  const std::string base(text, colon ? size_t(colon - text) : std::strlen(text));
  for (const GenName& g : kAllGens)
    if (*g.name && base == g.name) {
      char* end = nullptr;
      const long member = colon ? std::strtol(colon + 1, &end, 10) : 0;
      if (colon && (g.members < 2 || end == colon + 1 || *end || member < 0 || member >= g.members)) return false;
      brng = g.brng + int32_t(member);
      return true;
    }
  return false;
}

// Comma-separated reals; false on an empty or malformed entry.
bool parse_list(const char* opt, const std::string& list, Params& out) {
  out.clear();
  if (list.empty()) return true;
  for (size_t p = 0; p <= list.size();) {
    const size_t comma = std::min(list.find(',', p), list.size());
    double v = 0;
    if (!cli::parse_real("rng", opt, list.substr(p, comma - p).c_str(), v)) return false;
    out.push_back(v);
    p = comma + 1;
  }
  return true;
}

size_t count_names(const char* names) {
  return *names ? size_t(std::count(names, names + std::strlen(names), ',')) + 1 : 0;
}

// The parameters fit the law's shape; an error message otherwise.
std::string check_params(const LawRow& l, const Params& p) {
  const size_t want = count_names(l.names);
  switch (l.shape) {
    case Shape::SCALAR:
    case Shape::WORDS:
      return p.size() == want
                 ? ""
                 : std::string(l.label) + " takes " + std::to_string(want) + " parameters (" + l.names + ")";
    case Shape::EACH: return p.empty() ? std::string(l.label) + " needs at least one mean" : "";
    case Shape::SHARES: return p.size() < 2 ? std::string(l.label) + " needs ntrial and at least one probability" : "";
    case Shape::MV: {
      if (p.size() < 2 || !(p[0] >= 1 && p[0] <= 1000) || p[0] != int(p[0]))
        return "gaussian-mv needs dim (1 to 1000), storage, the means and the factor";
      const size_t dim = size_t(p[0]);
      const size_t factor = p[1] == 0 ? dim * dim : p[1] == 1 ? dim * (dim + 1) / 2 : dim;
      return p.size() == 2 + dim + factor ? ""
                                          : "gaussian-mv with dim " + std::to_string(dim) + " takes " +
                                                std::to_string(2 + dim + factor) + " parameters";
    }
  }
  return "";
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
      if (!parse_generator(v, o.brng))
        return cli::usage_error("rng", std::string("-g: unknown generator or member '") + v + "'");
    } else if (k == "-l" || k == "--law") {
      const std::string name = std::strcmp(v, "uniform-float") == 0 ? (o.type = 's', "uniform") : v;
      o.law = nullptr;
      for (const LawRow& l : kLaws)
        if (name == l.label) o.law = &l;
      if (!o.law) return cli::usage_error("rng", std::string("-l: unknown law '") + v + "'");
    } else if (k == "-t") {
      if (std::strcmp(v, "s") != 0 && std::strcmp(v, "d") != 0) return cli::usage_error("rng", "-t takes s or d");
      o.type = v[0];
    } else if (k == "-m" || k == "--method") {
      long long m = 0;
      char* end = nullptr;
      m = std::strtoll(v, &end, 0);
      if (end == v || *end || m < INT32_MIN || m > INT32_MAX)
        return cli::usage_error("rng", std::string("-m: not a method code '") + v + "'");
      o.method = int32_t(m);
    } else if (k == "-p" || k == "--params") {
      if (!parse_list("-p", v, o.params)) return 2;
      o.params_given = true;
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
      o.a_given = true;
    } else if (k == "-b") {
      if (!cli::parse_real("rng", "-b", v, o.b)) return 2;
      o.b_given = true;
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
  if (!o.params_given && !parse_list("-p", o.law->defaults, o.params)) return 2;
  if (o.a_given || o.b_given) {
    if (count_names(o.law->names) < 2 || o.law->shape != Shape::SCALAR)
      return cli::usage_error("rng", std::string("-a and -b set two parameters; ") + o.law->label + " has not two");
    if (o.a_given) o.params[0] = o.a;
    if (o.b_given) o.params[1] = o.b;
  }
  if (const std::string why = check_params(*o.law, o.params); !why.empty()) return cli::usage_error("rng", why);
  return 0;
}

// The member of the law for the requested precision.
const Member& member_of(const Options& o) { return o.law->members[o.law->members[1].type && o.type == 'd']; }

size_t elem_bytes(char elem) { return elem == 'd' || elem == 'q' ? 8 : 4; }

// Elements per variate: the vector laws' dimension, or the generator's words.
size_t per_variate(const Options& o, int32_t word_bytes) {
  switch (o.law->shape) {
    case Shape::SHARES: return o.params.size() - 1;
    case Shape::MV: return size_t(o.params[0]);
    case Shape::WORDS: return size_t(word_bytes / 4);
    default: return 1;
  }
}

void print_text(char elem, size_t per, const void* buf, int32_t count) {
  for (int32_t i = 0; i < count; ++i) {
    for (size_t q = 0; q < per; ++q) {
      const size_t at = size_t(i) * per + q;
      const char* sep = q + 1 < per ? " " : "\n";
      switch (elem) {
        case 'd': std::printf("%.17g%s", static_cast<const double*>(buf)[at], sep); break;
        case 'f': std::printf("%.9g%s", double(static_cast<const float*>(buf)[at]), sep); break;
        case 'i': std::printf("%d%s", static_cast<const int32_t*>(buf)[at], sep); break;
        case 'q': std::printf("%llu%s", (unsigned long long)static_cast<const uint64_t*>(buf)[at], sep); break;
        default: {
          const uint32_t* w = static_cast<const uint32_t*>(buf) + size_t(i) * per;
          // Two-word generator values (MCG59) print as one 64-bit number.
          if (per == 2) {
            std::printf("%llu\n", (unsigned long long)w[0] | (unsigned long long)w[1] << 32);
            q = per;
          } else {
            std::printf("%u%s", w[q], sep);
          }
        }
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
    return cli::fail(
        "rng", std::string("cannot ") +
                   (o.load ? "load the stream from " + std::string(o.load) : std::string("create the stream")) + ": " +
                   cli::status_text(NRX_SERVICE_RNG, st));
  }
  BrngProperties p{};
  _druGetBrngProperties(int32_t(s->brng), &p);
  const Member& law = member_of(o);
  const size_t per = per_variate(o, p.WordBytes), bytes = per * elem_bytes(law.elem);
  // Binary output and the saved state appear whole or not at all.
  cli::Output out, state;
  std::string err;
  if ((o.out && !out.open(o.out, err)) || (o.save && !state.reserve(o.save, err))) {
    _druDeleteStream(&s);
    return cli::fail("rng", err);
  }
  const int32_t block = int32_t(std::max<size_t>(1, (size_t(1) << 19) / bytes));
  std::vector<unsigned char> buf(size_t(block) * bytes + 8);
  double seconds = 0;
  cli::Progress bar("rng", "generating", o.progress);
  const bool report = o.n > 16LL * block;
  for (long long done = 0; done < o.n && st >= 0;) {
    const int32_t count = int32_t(o.n - done < block ? o.n - done : block);
    const auto t0 = std::chrono::steady_clock::now();
    st = law.call(o.method, s, count, buf.data(), o.params);
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    if (st < 0) break;  // nothing of a failed call is written
    if (o.out) {
      if (std::fwrite(buf.data(), bytes, size_t(count), out.file()) != size_t(count)) break;
    } else {
      print_text(law.elem, per, buf.data(), count);
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
