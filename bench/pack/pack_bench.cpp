// Pack and unpack of every type and form beside the plain loops of their definitions
// (pack_loops.cpp, -O3 -march=native), at n = 1,000 (in cache) and 10^6 (memory), in one run.
// Strided forms at stride 1 (a copy) and 3, indexed forms through a random permutation,
// masked forms with half the entries set at random.
//
//   nrx_pack_bench --benchmark_filter='PackM/d'
//
// Counters, from the thread's CPU time: ns/elem and cyc/elem at the core clock measured at
// start-up.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <ctime>
#include <random>
#include <string>
#include <vector>

#include "bench/pack/pack_loops.h"
#include "bench/timed.h"
#include "nrx/zar_functions.h"
#include "tools/timing/cycles.h"

namespace {

using nrx::bench::Loops;

using nrx::bench::timed;

template <class T> struct Pub;
#define NRX_PUB(T, t)                                                       \
  template <> struct Pub<T> {                                               \
    static constexpr char letter = #t[0];                                   \
    static constexpr auto packI = zar##t##PackI, unpackI = zar##t##UnpackI; \
    static constexpr auto packV = zar##t##PackV, unpackV = zar##t##UnpackV; \
    static constexpr auto packM = zar##t##PackM, unpackM = zar##t##UnpackM; \
  };
NRX_PUB(float, s)
NRX_PUB(double, d)
NRX_PUB(NrxComplex8, c)
NRX_PUB(NrxComplex16, z)

template <class T> struct Data {
  int32_t n;
  std::vector<T> a, y;
  std::vector<int32_t> idx, mask;
  explicit Data(int32_t n_) : n(n_), a(size_t(n_) * 3), y(size_t(n_) * 3), idx(n_), mask(n_) {
    std::mt19937 g(5);
    for (auto& x : a) std::fill_n(reinterpret_cast<unsigned char*>(&x), sizeof(T), static_cast<unsigned char>(g()));
    for (int32_t i = 0; i < n; ++i) idx[i] = i;
    std::shuffle(idx.begin(), idx.end(), g);
    for (auto& m : mask) m = int32_t(g() & 1);
  }
};

// One nrx kernel and its loop, registered side by side.
template <class T, class K, class L> void pair(const std::string& form, int32_t n, K kernel, L loop) {
  const std::string base = form + "/" + Pub<T>::letter + "/" + std::to_string(n);
  benchmark::RegisterBenchmark((base + "/nrx").c_str(), [=](benchmark::State& st) {
    Data<T> d(n);
    timed(st, n, [&] { kernel(d); });
  });
  benchmark::RegisterBenchmark((base + "/loop").c_str(), [=](benchmark::State& st) {
    Data<T> d(n);
    timed(st, n, [&] { loop(d); });
  });
}

template <class T> void register_type(int32_t n) {
  using D = Data<T>;
  using P = Pub<T>;
  using Lp = Loops<T>;
  for (const int32_t inc : {1, 3}) {
    const std::string s = "/inc" + std::to_string(inc);
    pair<T>(
        "PackI" + s, n, [inc](D& d) { P::packI(d.n, d.a.data(), inc, d.y.data()); },
        [inc](D& d) { Lp::packI(d.n, d.a.data(), inc, d.y.data()); });
    pair<T>(
        "UnpackI" + s, n, [inc](D& d) { P::unpackI(d.n, d.a.data(), d.y.data(), inc); },
        [inc](D& d) { Lp::unpackI(d.n, d.a.data(), d.y.data(), inc); });
  }
  pair<T>(
      "PackV", n, [](D& d) { P::packV(d.n, d.a.data(), d.idx.data(), d.y.data()); },
      [](D& d) { Lp::packV(d.n, d.a.data(), d.idx.data(), d.y.data()); });
  pair<T>(
      "UnpackV", n, [](D& d) { P::unpackV(d.n, d.a.data(), d.y.data(), d.idx.data()); },
      [](D& d) { Lp::unpackV(d.n, d.a.data(), d.y.data(), d.idx.data()); });
  pair<T>(
      "PackM", n, [](D& d) { P::packM(d.n, d.a.data(), d.mask.data(), d.y.data()); },
      [](D& d) { Lp::packM(d.n, d.a.data(), d.mask.data(), d.y.data()); });
  pair<T>(
      "UnpackM", n, [](D& d) { P::unpackM(d.n, d.a.data(), d.y.data(), d.mask.data()); },
      [](D& d) { Lp::unpackM(d.n, d.a.data(), d.y.data(), d.mask.data()); });
}

}  // namespace

int main(int argc, char** argv) {
  for (const int32_t n : {1000, 1000000}) {
    register_type<float>(n);
    register_type<double>(n);
    register_type<NrxComplex8>(n);
    register_type<NrxComplex16>(n);
  }
  benchmark::AddCustomContext("core GHz", std::to_string(nrx::timing::clock().core_ghz));
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
}
