#include "tools/timing/peers.h"

#include <dlfcn.h>
#include <immintrin.h>

#include <cstdlib>
#include <cstring>

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

using D1 = __m512d (*)(__m512d);
using D2 = __m512d (*)(__m512d, __m512d);
using F1 = __m512 (*)(__m512);
using F2 = __m512 (*)(__m512, __m512);
struct D8x2 {
  __m512d x, y;
};
struct F16x2 {
  __m512 x, y;
};
using D1x2 = D8x2 (*)(__m512d);
using F1x2 = F16x2 (*)(__m512);

// Vector loops with a masked tail, one per signature.
void run_d1(const Peer& p, const Workload& w) {
  const double* a = static_cast<const double*>(w.a());
  double* r = static_cast<double*>(w.r());
  const size_t n = w.size();
  const D1 f = reinterpret_cast<D1>(p.fn);
  size_t i = 0;
  for (; i + 8 <= n; i += 8) _mm512_storeu_pd(r + i, f(_mm512_loadu_pd(a + i)));
  if (i < n) {
    const __mmask8 m = __mmask8((1u << (n - i)) - 1);
    _mm512_mask_storeu_pd(r + i, m, f(_mm512_mask_loadu_pd(_mm512_set1_pd(0.75), m, a + i)));
  }
}
void run_d2(const Peer& p, const Workload& w) {
  const double* a = static_cast<const double*>(w.a());
  const double* b = static_cast<const double*>(w.b());
  double* r = static_cast<double*>(w.r());
  const size_t n = w.size();
  const D2 f = reinterpret_cast<D2>(p.fn);
  size_t i = 0;
  for (; i + 8 <= n; i += 8) _mm512_storeu_pd(r + i, f(_mm512_loadu_pd(a + i), _mm512_loadu_pd(b + i)));
  if (i < n) {
    const __mmask8 m = __mmask8((1u << (n - i)) - 1);
    const __m512d h = _mm512_set1_pd(0.75);
    _mm512_mask_storeu_pd(r + i, m, f(_mm512_mask_loadu_pd(h, m, a + i), _mm512_mask_loadu_pd(h, m, b + i)));
  }
}
void run_d1x2(const Peer& p, const Workload& w) {
  const double* a = static_cast<const double*>(w.a());
  double* r = static_cast<double*>(w.r());
  double* r2 = static_cast<double*>(w.r2());
  const size_t n = w.size();
  const D1x2 f = reinterpret_cast<D1x2>(p.fn);
  size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    const D8x2 v = f(_mm512_loadu_pd(a + i));
    _mm512_storeu_pd(r + i, v.x);
    _mm512_storeu_pd(r2 + i, v.y);
  }
  if (i < n) {
    const __mmask8 m = __mmask8((1u << (n - i)) - 1);
    const D8x2 v = f(_mm512_mask_loadu_pd(_mm512_set1_pd(0.75), m, a + i));
    _mm512_mask_storeu_pd(r + i, m, v.x);
    _mm512_mask_storeu_pd(r2 + i, m, v.y);
  }
}
void run_f1(const Peer& p, const Workload& w) {
  const float* a = static_cast<const float*>(w.a());
  float* r = static_cast<float*>(w.r());
  const size_t n = w.size();
  const F1 f = reinterpret_cast<F1>(p.fn);
  size_t i = 0;
  for (; i + 16 <= n; i += 16) _mm512_storeu_ps(r + i, f(_mm512_loadu_ps(a + i)));
  if (i < n) {
    const __mmask16 m = __mmask16((1u << (n - i)) - 1);
    _mm512_mask_storeu_ps(r + i, m, f(_mm512_mask_loadu_ps(_mm512_set1_ps(0.75f), m, a + i)));
  }
}
void run_f2(const Peer& p, const Workload& w) {
  const float* a = static_cast<const float*>(w.a());
  const float* b = static_cast<const float*>(w.b());
  float* r = static_cast<float*>(w.r());
  const size_t n = w.size();
  const F2 f = reinterpret_cast<F2>(p.fn);
  size_t i = 0;
  for (; i + 16 <= n; i += 16) _mm512_storeu_ps(r + i, f(_mm512_loadu_ps(a + i), _mm512_loadu_ps(b + i)));
  if (i < n) {
    const __mmask16 m = __mmask16((1u << (n - i)) - 1);
    const __m512 h = _mm512_set1_ps(0.75f);
    _mm512_mask_storeu_ps(r + i, m, f(_mm512_mask_loadu_ps(h, m, a + i), _mm512_mask_loadu_ps(h, m, b + i)));
  }
}
void run_f1x2(const Peer& p, const Workload& w) {
  const float* a = static_cast<const float*>(w.a());
  float* r = static_cast<float*>(w.r());
  float* r2 = static_cast<float*>(w.r2());
  const size_t n = w.size();
  const F1x2 f = reinterpret_cast<F1x2>(p.fn);
  size_t i = 0;
  for (; i + 16 <= n; i += 16) {
    const F16x2 v = f(_mm512_loadu_ps(a + i));
    _mm512_storeu_ps(r + i, v.x);
    _mm512_storeu_ps(r2 + i, v.y);
  }
  if (i < n) {
    const __mmask16 m = __mmask16((1u << (n - i)) - 1);
    const F16x2 v = f(_mm512_mask_loadu_ps(_mm512_set1_ps(0.75f), m, a + i));
    _mm512_mask_storeu_ps(r + i, m, v.x);
    _mm512_mask_storeu_ps(r2 + i, m, v.y);
  }
}
void run_loop(const Peer& p, const Workload& w) {
  reinterpret_cast<LoopFn>(p.fn)(w.size(), w.a(), w.b(), w.scalars(), w.r());
}

using Runner = void (*)(const Peer&, const Workload&);

Runner runner(const catalog::Entry& e) {
  const bool d = e.type == 'd';
  switch (e.shape) {
    case Shape::v1: return d ? run_d1 : run_f1;
    case Shape::v2: return d ? run_d2 : run_f2;
    case Shape::v1r2: return d ? run_d1x2 : run_f1x2;
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
          out.push_back({*u ? "sleef_" + std::string(u) : "sleef", sym, fn, runner(e),
                         *u ? std::atof(u + 1) / 10 : 0.5});
      }
    }
    if (void* h = libmvec(); h && e.shape != Shape::v1r2) {
      const std::string sym = std::string("_ZGVeN") + (e.type == 'd' ? "8" : "16") +
                              (e.shape == Shape::v2 ? "vv_" : "v_") + base + (e.type == 's' ? "f" : "");
      if (void* fn = dlsym(h, sym.c_str())) out.push_back({"libmvec", sym, fn, runner(e), -1});
    }
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
