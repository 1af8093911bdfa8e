// Random streams over numpy arrays: the generator names, streams, persistence, the laws.
#include <climits>
#include <cstring>
#include <optional>
#include <utility>
#include <vector>

#include "binding.h"
#include "nrx/rng.h"

namespace nrx::py_binding {
namespace {

// The generators of the library's list by their labels; abstract streams (no label) are made
// from Python data elsewhere. `usable`: ready, with all three outputs.
struct GeneratorRow {
  const char* name;
  int32_t brng;
  bool usable;
};
#define NRX_PY_GENERATOR(Name, NAME, id, size, seeds, zero, word, bits, members, split, cpu, state, kind, label) \
  {label, id, false NRX_BRNG_WHEN_USABLE(state, kind, || true)},
constexpr GeneratorRow generator_rows[] = {NRX_BRNG_LIST(NRX_PY_GENERATOR)};
#undef NRX_PY_GENERATOR

// The laws with scalar parameters, one row each: the Python name and the library's calls
// (float and double for the continuous laws, int32 for the integer ones). Parameters travel
// as doubles and are converted to each call's own parameter types.
// (clang-format would re-flow these lists differently on every run.)
// clang-format off
#define NRX_PY_LAWS(X)                                                                                 \
  X(gaussian, Gaussian) X(lognormal, Lognormal) X(exponential, Exponential) X(laplace, Laplace)        \
  X(cauchy, Cauchy) X(rayleigh, Rayleigh) X(weibull, Weibull) X(gumbel, Gumbel) X(gamma, Gamma)        \
  X(chisquare, ChiSquare) X(beta, Beta)
#define NRX_PY_INT_LAWS(X)                                                                             \
  X(integers, Uniform) X(bernoulli, Bernoulli) X(geometric, Geometric) X(binomial, Binomial)           \
  X(poisson, Poisson) X(negative_binomial, Negbinomial) X(hypergeometric, Hypergeometric)
// clang-format on

template <class T, class... P> int32_t call_law(int32_t (*f)(int32_t, DruStream*, int32_t, T*, P...), int32_t method,
                                                DruStream* s, int32_t n, T* r, const double* prm) {
  return [&]<size_t... I>(std::index_sequence<I...>) { return f(method, s, n, r, P(prm[I])...); }
  (std::index_sequence_for<P...>{});
}
template <class T, class... P> constexpr int arity(int32_t (*)(int32_t, DruStream*, int32_t, T*, P...)) {
  return int(sizeof...(P));
}

// A row has the float and double calls of a continuous law, or the int32 call of an integer law.
struct LawRow {
  const char* name;
  int parameters;
  int32_t (*single)(int32_t, DruStream*, int32_t, float*, const double*);
  int32_t (*dbl)(int32_t, DruStream*, int32_t, double*, const double*);
  int32_t (*integer)(int32_t, DruStream*, int32_t, int32_t*, const double*);
};
#define NRX_PY_LAW(name, Law)                                           \
  {#name, arity(drudRng##Law),                                          \
   [](int32_t m, DruStream* s, int32_t n, float* r, const double* p) {  \
     return call_law(drusRng##Law, m, s, n, r, p);                      \
   },                                                                   \
   [](int32_t m, DruStream* s, int32_t n, double* r, const double* p) { \
     return call_law(drudRng##Law, m, s, n, r, p);                      \
   },                                                                   \
   nullptr},
#define NRX_PY_INT_LAW(name, Law)                                                                                      \
  {#name, arity(druiRng##Law), nullptr, nullptr, [](int32_t m, DruStream* s, int32_t n, int32_t* r, const double* p) { \
     return call_law(druiRng##Law, m, s, n, r, p);                                                                     \
   }},
const LawRow law_rows[] = {NRX_PY_LAWS(NRX_PY_LAW) NRX_PY_INT_LAWS(NRX_PY_INT_LAW)};
#undef NRX_PY_INT_LAW
#undef NRX_PY_LAW

// Members of a generator family as the registry counts them (1 for a single generator).
int32_t members(int32_t brng) {
  int32_t index = 0, member = 0;
  _druGetBrngBaseOffset(brng, &index, &member);
  return index >= 0 && index < _RegBrngsNew.count ? _RegBrngsNew.members[index] : 0;
}

// Largest count of one library call.
constexpr int64_t chunk = INT32_MAX;
constexpr int64_t gil_threshold = 4096;

// Byte length that a stream image claims, or nothing when its header is unreadable.
std::optional<size_t> image_length(const uint8_t* p, size_t len) {
  auto u16 = [&](size_t at) {
    uint16_t v;
    std::memcpy(&v, p + at, 2);
    return v;
  };
  auto u32 = [&](size_t at) {
    uint32_t v;
    std::memcpy(&v, p + at, 4);
    return v;
  };
  if (len < 24) return std::nullopt;
  const bool current = p[0] == 2;  // older images have a 20-byte header with 16-bit fields
  if (std::memcmp(p + 4, "RNG", 3) != 0 && (current || std::memcmp(p, "RNG", 3) != 0)) return std::nullopt;
  size_t at = current ? 24 + size_t(u32(12)) : 20 + size_t(u16(10));
  const unsigned chunks = current ? u16(16) : u16(12);
  for (unsigned k = 0; k < chunks; ++k) {
    if (at + 24 > len) return std::nullopt;
    at += 24 + size_t(u32(at + 20));
  }
  return at;
}

class Stream {
 public:
  Stream(int32_t brng, const std::vector<uint32_t>& seed) {
    if (seed.size() > INT32_MAX) throw py::value_error("seed has too many words");
    DruStream* s = nullptr;
    const int32_t st = _druNewStreamEx(&s, brng, int32_t(seed.size()), seed.data());
    if (st != 0) {
      if (s) _druDeleteStream(&s);
      raise_status(svc_rng, st, "Stream");
    }
    s_ = s;
  }
  explicit Stream(DruStream* s) : s_(s) {}
  Stream(const Stream&) = delete;
  Stream(Stream&& o) noexcept : s_(std::exchange(o.s_, nullptr)) {}
  ~Stream() {
    if (s_) _druDeleteStream(&s_);
  }

  int32_t brng() const { return _druGetStreamStateBrng(s_); }

  Stream copy() const {
    DruStream* c = nullptr;
    check(svc_rng, _druCopyStream(&c, s_), "Stream.copy");
    return Stream(c);
  }

  void skip(const py::int_& steps) {
    if (py::int_(0) > steps) throw py::value_error("skip count must be >= 0");
    std::vector<uint64_t> words;
    py::object rest = steps;
    const py::int_ mask(~uint64_t(0));
    while (py::cast<bool>(rest)) {
      words.push_back(py::cast<uint64_t>(rest.attr("__and__")(mask)));
      rest = rest.attr("__rshift__")(64);
    }
    if (words.size() <= 1) check(svc_rng, _druSkipAheadStream(s_, words.empty() ? 0 : words[0]), "Stream.skip");
    else check(svc_rng, _druSkipAheadStreamEx(s_, int32_t(words.size()), words.data()), "Stream.skip");
  }

  void leapfrog(int32_t k, int32_t total) { check(svc_rng, _druLeapfrogStream(s_, k, total), "Stream.leapfrog"); }

  py::bytes save_bytes() const {
    const int32_t size = _druGetStreamSize(s_);
    std::string buf(size_t(size), '\0');
    check(svc_rng, _druSaveStreamM(s_, buf.data()), "Stream.save");
    return py::bytes(buf);
  }

  void save_file(const std::string& path) const {
    check(svc_rng, _druSaveStreamF(s_, path.data(), int32_t(path.size())), "Stream.save");
  }

  static Stream load_bytes(const py::bytes& image) {
    std::string_view v = image;
    auto need = image_length(reinterpret_cast<const uint8_t*>(v.data()), v.size());
    if (!need || *need > v.size()) throw py::value_error("not a stream image, or a truncated one");
    DruStream* s = nullptr;
    check(svc_rng, _druLoadStreamM(&s, v.data()), "Stream.load");
    return Stream(s);
  }

  static Stream load_file(const std::string& path) {
    DruStream* s = nullptr;
    check(svc_rng, _druLoadStreamF(&s, int32_t(path.size()), path.data()), "Stream.load");
    return Stream(s);
  }

  // Uniform variates in [a, b) into a contiguous float32 or float64 array, split into calls
  // of at most 2^31 - 1 values.
  void uniform(py::array out, double a, double b, int32_t method) {
    const int64_t n = out.size();
    const bool single = real_array(out);
    char* p = static_cast<char*>(out.mutable_data());
    int32_t st = 0;
    {
      std::optional<py::gil_scoped_release> nogil;
      if (n >= gil_threshold) nogil.emplace();
      for (int64_t off = 0; off < n && st == 0; off += chunk) {
        const int32_t m = int32_t(std::min(chunk, n - off));
        st = single ? drusRngUniform(method, s_, m, reinterpret_cast<float*>(p) + off, float(a), float(b))
                    : drudRngUniform(method, s_, m, reinterpret_cast<double*>(p) + off, a, b);
      }
    }
    check(svc_rng, st, "Stream.uniform");
  }

  // Variates of law `law` (a row of law_rows) into a C-contiguous float32 or float64 array, in
  // calls of at most 2^31 - 1 values, without the GIL.
  void law(int index, py::array out, int32_t method, const std::vector<double>& prm) {
    if (index < 0 || index >= int(std::size(law_rows))) throw py::value_error("unknown law");
    const LawRow& row = law_rows[index];
    if (int(prm.size()) != row.parameters) throw py::value_error(std::string(row.name) + ": wrong parameter count");
    const bool integer = row.integer != nullptr;
    const bool single = integer ? (int32_array(out), false) : real_array(out);
    char* p = static_cast<char*>(out.mutable_data());
    const int64_t n = out.size();
    int32_t st = 0;
    {
      py::gil_scoped_release nogil;
      for (int64_t off = 0; off < n && st == 0; off += chunk) {
        const int32_t m = int32_t(std::min(chunk, n - off));
        st = integer  ? row.integer(method, s_, m, reinterpret_cast<int32_t*>(p) + off, prm.data())
             : single ? row.single(method, s_, m, reinterpret_cast<float*>(p) + off, prm.data())
                      : row.dbl(method, s_, m, reinterpret_cast<double*>(p) + off, prm.data());
      }
    }
    check(svc_rng, st, row.name);
  }

  // One Poisson variate per element of lambdas (C-contiguous float64, out's size) into out.
  void poisson_v(py::array out, int32_t method, py::array lambdas) {
    int32_array(out);
    if (!lambdas.dtype().equal(py::dtype::of<double>()) || !(lambdas.flags() & py::array::c_style) ||
        lambdas.size() != out.size())
      throw py::type_error("lambdas must be a C-contiguous float64 array of out's size");
    auto r = static_cast<int32_t*>(out.mutable_data());
    auto lam = static_cast<const double*>(lambdas.data());
    const int64_t n = out.size();
    int32_t st = 0;
    {
      py::gil_scoped_release nogil;
      for (int64_t off = 0; off < n && st == 0; off += chunk)
        st = druiRngPoissonV(method, s_, int32_t(std::min(chunk, n - off)), r + off, lam + off);
    }
    check(svc_rng, st, "poisson_v");
  }

  // Vectors of k counts into out (count x k), k the length of pvals (C-contiguous float64).
  void multinomial(py::array out, int32_t method, int32_t ntrial, py::array pvals) {
    int32_array(out);
    const int64_t k = pvals.size();
    if (k < 1 || k > INT32_MAX || out.size() % k || !pvals.dtype().equal(py::dtype::of<double>()) ||
        !(pvals.flags() & py::array::c_style))
      throw py::type_error("pvals must be a non-empty C-contiguous float64 array dividing out's size");
    const int64_t n = out.size() / k, per_call = std::max<int64_t>(1, chunk / k);
    auto r = static_cast<int32_t*>(out.mutable_data());
    auto p = static_cast<const double*>(pvals.data());
    int32_t st = 0;
    {
      py::gil_scoped_release nogil;
      for (int64_t off = 0; off < n && st == 0; off += per_call)
        st = druiRngMultinomial(method, s_, int32_t(std::min(per_call, n - off)), r + off * k, ntrial, int32_t(k), p);
    }
    check(svc_rng, st, "multinomial");
  }

  // Uniform full-width words: uint32 through druiRngUniformBits32, uint64 through ...Bits64.
  void full_bits(py::array out) {
    const bool wide = out.itemsize() == 8;
    if (out.dtype().kind() != 'u' || (out.itemsize() != 4 && !wide) || !(out.flags() & py::array::c_style) ||
        !out.writeable())
      throw py::type_error("out must be a writeable C-contiguous uint32 or uint64 array");
    char* p = static_cast<char*>(out.mutable_data());
    const int64_t n = out.size();
    int32_t st = 0;
    {
      std::optional<py::gil_scoped_release> nogil;
      if (n >= gil_threshold) nogil.emplace();
      for (int64_t off = 0; off < n && st == 0; off += chunk) {
        const int32_t m = int32_t(std::min(chunk, n - off));
        st = wide ? druiRngUniformBits64(0, s_, m, reinterpret_cast<uint64_t*>(p) + off)
                  : druiRngUniformBits32(0, s_, m, reinterpret_cast<uint32_t*>(p) + off);
      }
    }
    check(svc_rng, st, wide ? "bits64" : "bits32");
  }

  // Vectors of the multivariate normal law into out (count x dim), the lower Cholesky factor in
  // full storage (row i holds T[i][0..i]).
  void gaussian_mv(py::array out, int32_t method, py::array mean, py::array factor) {
    const bool single = real_array(out);
    const int64_t dim = mean.size();
    if (dim < 1 || dim > INT32_MAX || out.size() % dim || factor.size() != dim * dim ||
        !mean.dtype().equal(out.dtype()) || !factor.dtype().equal(out.dtype()) ||
        !(mean.flags() & py::array::c_style) || !(factor.flags() & py::array::c_style))
      throw py::type_error("mean and factor must be C-contiguous arrays of the result's dtype and dim");
    const int64_t n = out.size() / dim, per_call = std::max<int64_t>(1, chunk / dim);
    char* p = static_cast<char*>(out.mutable_data());
    int32_t st = 0;
    {
      py::gil_scoped_release nogil;
      for (int64_t off = 0; off < n && st == 0; off += per_call) {
        const int32_t m = int32_t(std::min(per_call, n - off));
        st = single ? drusRngGaussianMV(method, s_, m, reinterpret_cast<float*>(p) + off * dim, int32_t(dim),
                                        DRU_RNG_MV_FULL, static_cast<const float*>(mean.data()),
                                        static_cast<const float*>(factor.data()))
                    : drudRngGaussianMV(method, s_, m, reinterpret_cast<double*>(p) + off * dim, int32_t(dim),
                                        DRU_RNG_MV_FULL, static_cast<const double*>(mean.data()),
                                        static_cast<const double*>(factor.data()));
      }
    }
    check(svc_rng, st, "gaussian_mv");
  }

  // Raw output words of the generator: rows of WordBytes / 4 uint32 words.
  void bits(py::array out) {
    BrngProperties props;
    check(svc_rng, _druGetBrngProperties(brng(), &props), "Stream.bits");
    const int64_t words = props.WordBytes / 4;
    if (out.dtype().kind() != 'u' || out.itemsize() != 4 || !(out.flags() & py::array::c_style) || !out.writeable() ||
        out.size() % words != 0)
      throw py::type_error("out must be a writeable C-contiguous uint32 array of whole words");
    const int64_t n = out.size() / words;
    auto p = static_cast<uint32_t*>(out.mutable_data());
    int32_t st = 0;
    {
      std::optional<py::gil_scoped_release> nogil;
      if (n >= gil_threshold) nogil.emplace();
      for (int64_t off = 0; off < n && st == 0; off += chunk / 4)
        st = props.GenI(s_, int32_t(std::min(chunk / 4, n - off)), p + off * words);
    }
    check(svc_rng, st, "Stream.bits");
  }

  static int32_t word_bytes(int32_t brng) {
    BrngProperties props;
    check(svc_rng, _druGetBrngProperties(brng, &props), "word_bytes");
    return props.WordBytes;
  }

 private:
  // True for float32, false for float64; anything else is refused.
  static bool real_array(const py::array& out) {
    const bool single = out.dtype().kind() == 'f' && out.itemsize() == 4;
    const bool dbl = out.dtype().kind() == 'f' && out.itemsize() == 8;
    if (!(single || dbl) || !(out.flags() & py::array::c_style) || !out.writeable())
      throw py::type_error("out must be a writeable C-contiguous float32 or float64 array");
    return single;
  }

  static void int32_array(const py::array& out) {
    if (out.dtype().kind() != 'i' || out.itemsize() != 4 || !(out.flags() & py::array::c_style) || !out.writeable())
      throw py::type_error("out must be a writeable C-contiguous int32 array");
  }

  DruStream* s_ = nullptr;
};

}  // namespace

void init_random(py::module_& m) {
  py::list rows;
  for (const auto& r : generator_rows)
    if (*r.name) rows.append(py::make_tuple(r.name, r.brng, members(r.brng), r.usable));
  m.attr("generators") = rows;
  py::list laws;
  for (const auto& r : law_rows) laws.append(py::make_tuple(r.name, r.parameters));
  m.attr("laws") = laws;
  m.attr("GAUSSIAN_METHODS") = named({{"box_muller", DRU_RNG_GAUSSIAN_BOX_MULLER},
                                      {"box_muller2", DRU_RNG_GAUSSIAN_BOX_MULLER2},
                                      {"icdf", DRU_RNG_GAUSSIAN_ICDF}});
  m.attr("LOGNORMAL_METHODS") =
      named({{"box_muller2", DRU_RNG_LOGNORMAL_BOX_MULLER2}, {"icdf", DRU_RNG_LOGNORMAL_ICDF}});
  m.attr("POISSON_METHODS") = named({{"ptpe", DRU_RNG_POISSON_PTPE}, {"normal", DRU_RNG_POISSON_NORMAL}});
  m.attr("UNIFORM_STANDARD") = DRU_RNG_UNIFORM_STD;
  m.attr("UNIFORM_ACCURATE") = DRU_RNG_UNIFORM_ACCURATE;

  py::class_<Stream>(m, "Stream")
      .def(py::init<int32_t, const std::vector<uint32_t>&>(), py::arg("brng"), py::arg("seed"))
      .def_property_readonly("brng", &Stream::brng)
      .def("copy", &Stream::copy)
      .def("skip", &Stream::skip, py::arg("steps"))
      .def("leapfrog", &Stream::leapfrog, py::arg("k"), py::arg("total"))
      .def("save_bytes", &Stream::save_bytes)
      .def("save_file", &Stream::save_file, py::arg("path"))
      .def_static("load_bytes", &Stream::load_bytes, py::arg("image"))
      .def_static("load_file", &Stream::load_file, py::arg("path"))
      .def("uniform", &Stream::uniform, py::arg("out"), py::arg("a"), py::arg("b"), py::arg("method"))
      .def("bits", &Stream::bits, py::arg("out"))
      .def("law", &Stream::law, py::arg("index"), py::arg("out"), py::arg("method"), py::arg("parameters"))
      .def("poisson_v", &Stream::poisson_v, py::arg("out"), py::arg("method"), py::arg("lambdas"))
      .def("multinomial", &Stream::multinomial, py::arg("out"), py::arg("method"), py::arg("ntrial"), py::arg("pvals"))
      .def("full_bits", &Stream::full_bits, py::arg("out"))
      .def("gaussian_mv", &Stream::gaussian_mv, py::arg("out"), py::arg("method"), py::arg("mean"), py::arg("factor"))
      .def_static("word_bytes", &Stream::word_bytes, py::arg("brng"));
}

}  // namespace nrx::py_binding
