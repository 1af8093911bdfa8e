#include "tools/timing/peers.h"

#include <dlfcn.h>

#include <cctype>
#include <cstdlib>
#include <cstring>

#include "simd/vec.h"

namespace nrx::timing {

using catalog::Shape;

namespace {

void* library(const char* name) {
  void* h = dlopen(name, RTLD_NOW | RTLD_LOCAL);
  return h;
}
void* sleef() {
  static void* h = library("libsleef.so.3");
  return h;
}
void* libmvec() {
  static void* h = library("libmvec.so.1");
  return h;
}
void* libm() {
  static void* h = library("libm.so.6");
  return h;
}

// One call of the C library's complex function per element (casin, casinf, ...).
template <class T> struct CType;
template <> struct CType<float> { using type = __complex__ float; };
template <> struct CType<double> { using type = __complex__ double; };
template <class T> void run_libm_complex(const Peer& p, const Workload& w) {
  using C = typename CType<T>::type;
  const C* a = static_cast<const C*>(w.a());
  C* r = static_cast<C*>(w.r());
  const auto f = reinterpret_cast<C (*)(C)>(p.fn);
  for (size_t i = 0, n = w.size(); i < n; ++i) r[i] = f(a[i]);
}

// The C library's name of a complex one-argument function: Asinh -> casinh (z), casinhf (c).
std::string libm_complex_name(const catalog::Entry& e) {
  std::string s = std::strcmp(e.func, "Ln") == 0 ? "log" : e.func;
  for (char& ch : s) ch = char(std::tolower(static_cast<unsigned char>(ch)));
  return "c" + s + (e.type == 'c' ? "f" : "");
}

template <class T> using V = simd::Reg<T>;
// Two results in registers, as the peers return a sine and cosine pair.
template <class T> struct Pair { V<T> x, y; };

// A call of a peer with K register arguments and R register results.
template <class T, int K, int R> struct Call;
template <class T> struct Call<T, 1, 1> {
  static void go(void* f, const V<T>* a, V<T>* r) { r[0] = reinterpret_cast<V<T> (*)(V<T>)>(f)(a[0]); }
};
template <class T> struct Call<T, 2, 1> {
  static void go(void* f, const V<T>* a, V<T>* r) { r[0] = reinterpret_cast<V<T> (*)(V<T>, V<T>)>(f)(a[0], a[1]); }
};
template <class T> struct Call<T, 1, 2> {
  static void go(void* f, const V<T>* a, V<T>* r) {
    const Pair<T> v = reinterpret_cast<Pair<T> (*)(V<T>)>(f)(a[0]);
    r[0] = v.x, r[1] = v.y;
  }
};

// One pass over the arrays: full registers, then a masked tail whose unused lanes hold 0.75.
template <class T, int K, int R> void run_regs(const Peer& p, const Workload& w) {
  constexpr size_t L = simd::lanes<T>;
  const T* a[2] = {static_cast<const T*>(w.a()), static_cast<const T*>(w.b())};
  T* r[2] = {static_cast<T*>(w.r()), static_cast<T*>(w.r2())};
  const size_t n = w.size();
  V<T> x[K], y[R];
  size_t i = 0;
  for (; i + L <= n; i += L) {
    for (int k = 0; k < K; ++k) x[k] = simd::load(a[k] + i);
    Call<T, K, R>::go(p.fn, x, y);
    for (int q = 0; q < R; ++q) simd::store(r[q] + i, y[q]);
  }
  if (i < n) {
    const simd::Mask<T> m = simd::tail<T>(int64_t(n - i));
    for (int k = 0; k < K; ++k) x[k] = simd::masked_load(a[k] + i, m, T(0.75));
    Call<T, K, R>::go(p.fn, x, y);
    for (int q = 0; q < R; ++q) simd::masked_store(r[q] + i, m, y[q]);
  }
}

void run_loop(const Peer& p, const Workload& w) {
  reinterpret_cast<LoopFn>(p.fn)(w.size(), w.a(), w.b(), w.scalars(), w.r());
}

using Runner = void (*)(const Peer&, const Workload&);

Runner runner(const catalog::Entry& e) {
  const bool d = e.type == 'd';
  switch (e.shape) {
    case Shape::v1: return d ? run_regs<double, 1, 1> : run_regs<float, 1, 1>;
    case Shape::v2: return d ? run_regs<double, 2, 1> : run_regs<float, 2, 1>;
    case Shape::v1r2: return d ? run_regs<double, 1, 2> : run_regs<float, 1, 2>;
    default: return nullptr;
  }
}

}  // namespace

std::vector<Peer> peers_for(const catalog::Entry& e) {
  std::vector<Peer> out;
  if (e.strided) return out;
  const bool real = e.type == 's' || e.type == 'd';
  if (real && e.sleef && runner(e)) {
    std::string base = e.sleef, fixed;
    if (const size_t u = base.find("_u"); u != std::string::npos) {
      fixed = base.substr(u + 1);
      base = base.substr(0, u);
    }
    const std::string lanes = e.type == 'd' ? "d8" : "f16";
    if (void* h = sleef()) {
      for (const char* u : {"u05", "u10", "u15", "u35", ""}) {
        if (!fixed.empty() && fixed != u) continue;
        const std::string sym = "Sleef_" + base + lanes + "_" + u + "avx512f";
        if (void* fn = dlsym(h, sym.c_str()))
          out.push_back(
              {*u ? "sleef_" + std::string(u) : "sleef", sym, fn, runner(e), *u ? std::atof(u + 1) / 10 : 0.5});
      }
    }
    if (void* h = libmvec(); h && e.shape != Shape::v1r2) {
      const std::string sym = std::string("_ZGVeN") + (e.type == 'd' ? "8" : "16") +
                              (e.shape == Shape::v2 ? "vv_" : "v_") + base + (e.type == 's' ? "f" : "");
      if (void* fn = dlsym(h, sym.c_str())) out.push_back({"libmvec", sym, fn, runner(e), -1});
    }
  }
  if (LoopFn f = c_library_complex_loop(e)) {
    out.push_back({"glibc", "glibc", reinterpret_cast<void*>(f), run_loop, 0.5});
  } else if (!real && e.shape == Shape::v1 && libm()) {
    const std::string sym = libm_complex_name(e);
    if (void* fn = dlsym(libm(), sym.c_str()))
      out.push_back({"glibc", sym, fn, e.type == 'z' ? run_libm_complex<double> : run_libm_complex<float>, -1});
  }
  if (LoopFn f = compiler_loop(e)) out.push_back({"loop", "loop", reinterpret_cast<void*>(f), run_loop, 0.5});
  return out;
}

const Peer* sleef_for_flavour(const std::vector<Peer>& peers, int flavour) {
  const Peer* best = nullptr;
  for (const Peer& p : peers) {
    if (p.tag.rfind("sleef", 0) != 0) continue;
    // HA: the smallest ulp figure; LA and EP: the largest (the fastest variant).
    if (!best || (flavour == 2 ? p.ulps < best->ulps : p.ulps > best->ulps)) best = &p;
  }
  return best;
}

}  // namespace nrx::timing
