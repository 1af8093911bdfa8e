// Special functions at n = 1,000 on ranges without status reports, beside their peers in the
// same run: CdfNorm beside a per-element loop over the C library's erfc(-x / sqrt 2) / 2 (SLEEF
// and libmvec lack it); Erfc below its underflow threshold beside SLEEF's u15 and libmvec's erfc (the
// catalogue range of nrx_bench reaches the underflow reports, whose handler dominates there);
// ErfcInv over (0, 2) (half the arguments log-uniform down to 1e-300) beside a per-element
// loop that solves erfc(y) = u by Newton's method on the C library's erfc; ErfInv, ErfcInv and
// CdfNormInv beside a per-element loop over the kernels' own two-part scalar routine;
// ExpInt1 over [1e-3, 50] log-uniform beside a per-element loop of the power series below 1
// and the continued fraction above (the C library, SLEEF and libmvec lack E1).
// LGamma and TGamma beside SLEEF's u10 (its only, and most accurate, gamma functions) and the C
// library per element, on positive arguments and on a range with negative ones.
//
//   nrx_erf_bench --benchmark_filter=CdfNorm
//
// Counters, from the thread's CPU time: ns/elem and cyc/elem at the core clock measured at
// start-up (printed in the context).
#include <benchmark/benchmark.h>
#include <immintrin.h>
#include <sleef.h>
#include "bench/timed.h"
#include "simd/vec.h"

#include <dlfcn.h>
#include <cmath>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <random>
#include <string>
#include <type_traits>
#include <vector>

#include "nrx/zar_functions.h"
#include "tools/timing/cycles.h"
#include "zar/kernels/erfinv.h"

namespace {

constexpr int kN = 1000;

template <class F> void timed(benchmark::State& st, F call) { nrx::bench::timed(st, kN, call); }

template <class T> std::vector<T> uniform(double lo, double hi) {
  std::mt19937_64 g(7);
  std::uniform_real_distribution<double> u(lo, hi);
  std::vector<T> v(kN);
  for (T& x : v) x = T(u(g));
  return v;
}

template <class T> using Kernel = void (*)(int32_t, const T*, T*);

template <class T> void kernel(benchmark::State& st, Kernel<T> f, double lo, double hi) {
  const std::vector<T> a = uniform<T>(lo, hi);
  std::vector<T> r(kN);
  timed(st, [&] { f(kN, a.data(), r.data()); });
}

template <class T, class F> void loop(benchmark::State& st, F f, double lo, double hi) {
  const std::vector<T> a = uniform<T>(lo, hi);
  std::vector<T> r(kN);
  timed(st, [&] {
    for (int i = 0; i < kN; ++i) r[i] = f(a[i]);
  });
}

template <class T, class V, class F> void vector_peer(benchmark::State& st, F f, double lo, double hi) {
  constexpr int L = int(sizeof(V) / sizeof(T));
  const std::vector<T> a = uniform<T>(lo, hi);
  std::vector<T> r(kN + L);
  timed(st, [&] {
    for (int i = 0; i < kN; i += L) {
      V v;
      std::memcpy(&v, a.data() + std::min(i, kN - L), sizeof v);
      v = f(v);
      std::memcpy(r.data() + i, &v, sizeof v);
    }
  });
}

// glibc libmvec's AVX-512 erfc, when the installed library has it.
template <class F> F libmvec(const char* name) {
  static void* h = dlopen("libmvec.so.1", RTLD_NOW | RTLD_LOCAL);
  return h ? reinterpret_cast<F>(dlsym(h, name)) : nullptr;
}

// erfc^-1 per element: Newton's method on log erfc from sqrt(-ln u), in the upper half by symmetry.
double erfcinv_libm(double p) {
  const double u = p > 1 ? 2 - p : p;
  double y = std::sqrt(-std::log(u));
  for (int i = 0; i < 40; ++i) {
    const double e = u < 0.5 ? std::erfc(y) : 1 - std::erf(y);
    const double step = (std::log(e) - std::log(u)) * e / (M_2_SQRTPI * std::exp(-y * y));
    y += step;
    if (std::fabs(step) <= 0x1p-52 * std::fabs(y)) break;
  }
  return p > 1 ? -y : y;
}

// Arguments of ErfcInv: half uniform on (0, 2), half log-uniform in (1e-300, 1); halved for
// CdfNormInv, and 1 - p for ErfInv with p down to 1e-15 only (1 - p stays below 1).
template <class T> std::vector<T> inverse_args(nrx::zar::ops::InvKind k) {
  const bool erf = k == nrx::zar::ops::InvKind::Erf;
  std::vector<T> a = uniform<T>(0x1p-20, 2 - 0x1p-20);
  std::mt19937_64 g(11);
  std::uniform_real_distribution<double> e(erf                        ? (std::is_same_v<T, float> ? -7 : -15)
                                           : std::is_same_v<T, float> ? -37
                                                                      : -300,
                                           0);
  for (int i = 0; i < kN; i += 2) a[i] = T(std::pow(10.0, e(g)));
  if (erf)
    for (T& x : a) x = T(1) - x;
  if (k == nrx::zar::ops::InvKind::CdfNorm)
    for (T& x : a) x = x / 2;
  return a;
}
template <class T, nrx::zar::ops::InvKind K = nrx::zar::ops::InvKind::Erfc>
void inverse(benchmark::State& st, Kernel<T> f) {
  const std::vector<T> a = inverse_args<T>(K);
  std::vector<T> r(kN);
  timed(st, [&] { f(kN, a.data(), r.data()); });
}
void inverse_loop(benchmark::State& st) {
  inverse<double>(st, [](int32_t n, const double* a, double* r) {
    for (int i = 0; i < n; ++i) r[i] = erfcinv_libm(a[i]);
  });
}

template <nrx::zar::ops::InvKind K> void inverse_two_part_loop(benchmark::State& st) {
  inverse<double, K>(st, [](int32_t n, const double* a, double* r) {
    for (int i = 0; i < n; ++i) r[i] = nrx::zar::ops::inv_two_part<K>(a[i]);
  });
}

// E1 per element: sum of (-x)^k / (k k!) below 1, the continued fraction (Lentz) above.
double e1_reference(double x) {
  if (x <= 1) {
    double sum = 0, term = 1;
    for (int k = 1; k < 40 && std::fabs(term) > 1e-18; ++k) {
      term *= -x / k;
      sum += term / k;
    }
    return -0.57721566490153286 - std::log(x) - sum;
  }
  double b = x + 1, c = 1e300, d = 1 / b, h = d;
  for (int i = 1; i < 1000; ++i) {
    const double an = -double(i) * i;
    b += 2;
    d = 1 / (an * d + b);
    c = b + an / c;
    h *= c * d;
    if (std::fabs(c * d - 1) < 1e-16) break;
  }
  return h * std::exp(-x);
}
template <class T> void e1(benchmark::State& st, Kernel<T> f) {
  std::vector<T> a = uniform<T>(std::log(1e-3), std::log(50.0));
  for (T& x : a) x = T(std::exp(double(x)));
  std::vector<T> r(kN);
  timed(st, [&] { f(kN, a.data(), r.data()); });
}
void e1_loop(benchmark::State& st) {
  e1<double>(st, [](int32_t n, const double* a, double* r) {
    for (int i = 0; i < n; ++i) r[i] = e1_reference(a[i]);
  });
}

double cdf_libm(double x) { return 0.5 * std::erfc(-x * M_SQRT1_2); }
float cdf_libm_f(float x) { return 0.5f * std::erfc(-x * float(M_SQRT1_2)); }

// One gamma benchmark set: the function and its peers on a range of double and of float
// arguments (one kernel serves every slot).
using D8 = ::nrx::simd::Reg<double> (*)(::nrx::simd::Reg<double>);
using F16 = ::nrx::simd::Reg<float> (*)(::nrx::simd::Reg<float>);
using SleefD = decltype(&Sleef_lgammad8_u10avx512f);
using SleefS = decltype(&Sleef_lgammaf16_u10avx512f);
using DR = double (*)(double);
using FR = float (*)(float);
struct GammaSet {
  const char *fn, *set;
  double lo, hi, slo, shi;
  Kernel<double> d;
  Kernel<float> s;
  SleefD sleef_d;
  SleefS sleef_s;
  DR libm_d;
  FR libm_f;
};
void register_gamma() {
  const GammaSet sets[] = {{"LGamma", "pos", 0.1, 100, 0.1, 100, zardLGamma_HA, zarsLGamma_HA,
                            Sleef_lgammad8_u10avx512f, Sleef_lgammaf16_u10avx512f, std::lgamma, std::lgamma},
                           {"LGamma", "mixed", -50, 100, -30, 100, zardLGamma_HA, zarsLGamma_HA,
                            Sleef_lgammad8_u10avx512f, Sleef_lgammaf16_u10avx512f, std::lgamma, std::lgamma},
                           {"TGamma", "pos", 0.1, 170, 0.1, 35, zardTGamma_HA, zarsTGamma_HA, Sleef_tgammad8_u10avx512f,
                            Sleef_tgammaf16_u10avx512f, std::tgamma, std::tgamma},
                           {"TGamma", "mixed", -30, 30, -30, 30, zardTGamma_HA, zarsTGamma_HA,
                            Sleef_tgammad8_u10avx512f, Sleef_tgammaf16_u10avx512f, std::tgamma, std::tgamma}};
  for (const GammaSet& g : sets) {
    const std::string d = std::string("/d") + g.fn + "/" + g.set, s = std::string("/s") + g.fn + "/" + g.set;
    benchmark::RegisterBenchmark(("nrx" + d).c_str(), kernel<double>, g.d, g.lo, g.hi);
    benchmark::RegisterBenchmark(("sleef_u10" + d).c_str(), vector_peer<double, ::nrx::simd::Reg<double>, SleefD>,
                                 g.sleef_d, g.lo, g.hi);
    benchmark::RegisterBenchmark(("libm_loop" + d).c_str(), loop<double, DR>, g.libm_d, g.lo, g.hi);
    benchmark::RegisterBenchmark(("nrx" + s).c_str(), kernel<float>, g.s, g.slo, g.shi);
    benchmark::RegisterBenchmark(("sleef_u10" + s).c_str(), vector_peer<float, ::nrx::simd::Reg<float>, SleefS>,
                                 g.sleef_s, g.slo, g.shi);
    benchmark::RegisterBenchmark(("libm_loop" + s).c_str(), loop<float, FR>, g.libm_f, g.slo, g.shi);
  }
}

void register_all() {
  using nrx::zar::ops::InvKind;
  const double lo = -37.5, hi = 9, slo = -12.9, shi = 6;  // no underflow reports
  benchmark::RegisterBenchmark("nrx/dCdfNorm/HA", kernel<double>, zardCdfNorm_HA, lo, hi);
  benchmark::RegisterBenchmark("nrx/dCdfNorm/LA", kernel<double>, zardCdfNorm_50, lo, hi);
  benchmark::RegisterBenchmark("nrx/dCdfNorm/EP", kernel<double>, zardCdfNorm_26, lo, hi);
  benchmark::RegisterBenchmark("libm_loop/dCdfNorm", loop<double, double (*)(double)>, cdf_libm, lo, hi);
  benchmark::RegisterBenchmark("nrx/sCdfNorm/HA", kernel<float>, zarsCdfNorm_HA, slo, shi);
  benchmark::RegisterBenchmark("nrx/sCdfNorm/LA", kernel<float>, zarsCdfNorm_21, slo, shi);
  benchmark::RegisterBenchmark("nrx/sCdfNorm/EP", kernel<float>, zarsCdfNorm_11, slo, shi);
  benchmark::RegisterBenchmark("libm_loop/sCdfNorm", loop<float, float (*)(float)>, cdf_libm_f, slo, shi);
  const double elo = -6, ehi = 26.5, eslo = -4, eshi = 9.1;
  benchmark::RegisterBenchmark("nrx/dErfc/HA", kernel<double>, zardErfc_HA, elo, ehi);
  benchmark::RegisterBenchmark("nrx/dErfc/LA", kernel<double>, zardErfc_50, elo, ehi);
  benchmark::RegisterBenchmark("nrx/dErfc/EP", kernel<double>, zardErfc_26, elo, ehi);
  benchmark::RegisterBenchmark("sleef_u15/dErfc",
                               vector_peer<double, ::nrx::simd::Reg<double>, decltype(&Sleef_erfcd8_u15avx512f)>,
                               Sleef_erfcd8_u15avx512f, elo, ehi);
  if (D8 f = libmvec<D8>("_ZGVeN8v_erfc"))
    benchmark::RegisterBenchmark("libmvec/dErfc", vector_peer<double, ::nrx::simd::Reg<double>, D8>, f, elo, ehi);
  benchmark::RegisterBenchmark("nrx/sErfc/HA", kernel<float>, zarsErfc_HA, eslo, eshi);
  benchmark::RegisterBenchmark("nrx/sErfc/LA", kernel<float>, zarsErfc_21, eslo, eshi);
  benchmark::RegisterBenchmark("nrx/sErfc/EP", kernel<float>, zarsErfc_11, eslo, eshi);
  benchmark::RegisterBenchmark("sleef_u15/sErfc",
                               vector_peer<float, ::nrx::simd::Reg<float>, decltype(&Sleef_erfcf16_u15avx512f)>,
                               Sleef_erfcf16_u15avx512f, eslo, eshi);
  if (F16 f = libmvec<F16>("_ZGVeN16v_erfcf"))
    benchmark::RegisterBenchmark("libmvec/sErfc", vector_peer<float, ::nrx::simd::Reg<float>, F16>, f, eslo, eshi);
  benchmark::RegisterBenchmark("nrx/dErfcInv/HA", inverse<double>, zardErfcInv_HA);
  benchmark::RegisterBenchmark("nrx/dErfcInv/LA", inverse<double>, zardErfcInv_50);
  benchmark::RegisterBenchmark("nrx/dErfcInv/EP", inverse<double>, zardErfcInv_26);
  benchmark::RegisterBenchmark("libm_newton_loop/dErfcInv", inverse_loop);
  benchmark::RegisterBenchmark("twopart_loop/dErfcInv", inverse_two_part_loop<InvKind::Erfc>);
  benchmark::RegisterBenchmark("nrx/dErfInv/HA", inverse<double, InvKind::Erf>, zardErfInv_HA);
  benchmark::RegisterBenchmark("nrx/dErfInv/EP", inverse<double, InvKind::Erf>, zardErfInv_26);
  benchmark::RegisterBenchmark("twopart_loop/dErfInv", inverse_two_part_loop<InvKind::Erf>);
  benchmark::RegisterBenchmark("nrx/dCdfNormInv/HA", inverse<double, InvKind::CdfNorm>, zardCdfNormInv_HA);
  benchmark::RegisterBenchmark("nrx/dCdfNormInv/EP", inverse<double, InvKind::CdfNorm>, zardCdfNormInv_26);
  benchmark::RegisterBenchmark("twopart_loop/dCdfNormInv", inverse_two_part_loop<InvKind::CdfNorm>);
  benchmark::RegisterBenchmark("nrx/dExpInt1/HA", e1<double>, zardExpInt1_HA);
  benchmark::RegisterBenchmark("nrx/dExpInt1/EP", e1<double>, zardExpInt1_26);
  benchmark::RegisterBenchmark("series_cf_loop/dExpInt1", e1_loop);
  benchmark::RegisterBenchmark("nrx/sExpInt1/HA", e1<float>, zarsExpInt1_HA);
  benchmark::RegisterBenchmark("nrx/sExpInt1/EP", e1<float>, zarsExpInt1_11);
  benchmark::RegisterBenchmark("nrx/sErfcInv/HA", inverse<float>, zarsErfcInv_HA);
  benchmark::RegisterBenchmark("nrx/sErfcInv/LA", inverse<float>, zarsErfcInv_21);
  benchmark::RegisterBenchmark("nrx/sErfcInv/EP", inverse<float>, zarsErfcInv_11);
  register_gamma();
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.3f", nrx::timing::clock().core_ghz);
  benchmark::AddCustomContext("core_clock_ghz", buf);
  register_all();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
