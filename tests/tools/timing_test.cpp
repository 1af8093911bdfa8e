// The timing library: the clock, workloads and the peers' calling wrappers.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "tools/timing/cycles.h"
#include "tools/timing/peers.h"
#include "tools/timing/workload.h"

namespace nrx::timing {
namespace {

using catalog::Entry;
using catalog::Shape;

Entry entry(const char* func, char type, Shape shape, const char* sleef, double lo, double hi, void* const* tab) {
  static const float cost[3] = {1, 1, 1};
  return Entry{func,
               type,
               shape,
               false,
               tab,
               cost,
               "1",
               "test",
               nullptr,
               lo,
               hi,
               false,
               sleef,
               false,
               {"la", "ha", "ep", "plain"},
               {nullptr, nullptr, nullptr, nullptr},
               {}};
}

TEST(Clock, PlausibleRates) {
  const Clock& c = clock();
  EXPECT_GT(c.core_ghz, 0.3);
  EXPECT_LT(c.core_ghz, 10.0);
  EXPECT_GT(c.tsc_ghz, 0.3);
  EXPECT_LT(c.tsc_ghz, 10.0);
  volatile double sink = 0;
  const double ns = best_ns(
      [&] {
        for (int i = 0; i < 1000; ++i) sink = sink + 1.0;
      },
      3, 1e5);
  EXPECT_GT(ns, 100.0);  // 1000 dependent adds take at least 1000 cycles
}

int32_t calls = 0, last_n = 0;
void count_k(int32_t n, const double* a, double* r) {
  ++calls;
  last_n = n;
  for (int32_t i = 0; i < n; ++i) r[i] = a[i];
}

TEST(Workload, DrawsFromTheDomainAndCallsTheKernel) {
  void* const tab[3] = {(void*)count_k, (void*)count_k, (void*)count_k};
  const Entry e = entry("Exp", 'd', Shape::v1, nullptr, -3, 5, tab);
  const Workload w(e, 1001);
  const double* a = static_cast<const double*>(w.a());
  for (size_t i = 0; i < 1001; ++i) {
    ASSERT_GE(a[i], -3);
    ASSERT_LE(a[i], 5);
  }
  calls = 0;
  w.run(tab[1]);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(last_n, 1001);
  EXPECT_EQ(std::memcmp(w.r(), w.a(), 1001 * sizeof(double)), 0);
}

// SLEEF's and libmvec's functions over an odd length: the masked tail must fill the last
// elements and the values must be the function's.
struct PeerCase {
  const char* func;
  char type;
  Shape shape;
  const char* sleef;
  double tolerance;  // relative
};
const PeerCase kPeers[] = {
    {"Exp", 'd', Shape::v1, "exp", 1e-15},        {"Exp", 's', Shape::v1, "exp", 1e-6},
    {"Atan2", 'd', Shape::v2, "atan2", 1e-15},    {"SinCos", 'd', Shape::v1r2, "sincos", 1e-15},
    {"SinCos", 's', Shape::v1r2, "sincos", 1e-6},
};

template <class T> double ref(const PeerCase& c, const Workload& w, size_t i, int which) {
  const T* a = static_cast<const T*>(w.a());
  const T* b = static_cast<const T*>(w.b());
  if (!std::strcmp(c.func, "Exp")) return std::exp(double(a[i]));
  if (!std::strcmp(c.func, "Atan2")) return std::atan2(double(a[i]), double(b[i]));
  return which == 0 ? std::sin(double(a[i])) : std::cos(double(a[i]));
}

template <class T> void check(const PeerCase& c, const Peer& p, const Workload& w) {
  for (size_t i = 0; i < w.size(); ++i)
    for (int k = 0; k < (c.shape == Shape::v1r2 ? 2 : 1); ++k) {
      const double got = double(static_cast<const T*>(k ? w.r2() : w.r())[i]);
      const double want = ref<T>(c, w, i, k);
      ASSERT_NEAR(got, want, std::fabs(want) * c.tolerance + 1e-300) << p.symbol << " at " << i;
    }
}

TEST(Peers, SleefAndLibmvecComputeTheFunction) {
  void* const tab[3] = {nullptr, nullptr, nullptr};
  for (const PeerCase& c : kPeers) {
    const Entry e = entry(c.func, c.type, c.shape, c.sleef, -5, 5, tab);
    const std::vector<Peer> peers = peers_for(e);
    bool sleef = false;
    for (const Peer& p : peers) {
      const Workload w(e, 1001, 5);
      p.run(p, w);
      if (c.type == 'd') check<double>(c, p, w);
      else check<float>(c, p, w);
      sleef |= p.tag.rfind("sleef", 0) == 0;
    }
    EXPECT_TRUE(sleef) << c.func << " " << c.type;
  }
}

TEST(Peers, ChoiceByFlavour) {
  void* const tab[3] = {nullptr, nullptr, nullptr};
  const std::vector<Peer> peers = peers_for(entry("Sin", 'd', Shape::v1, "sin", -5, 5, tab));
  const Peer* ha = sleef_for_flavour(peers, 2);
  const Peer* la = sleef_for_flavour(peers, 1);
  ASSERT_TRUE(ha && la);
  EXPECT_EQ(ha->tag, "sleef_u10");
  EXPECT_EQ(la->tag, "sleef_u35");
}

TEST(Peers, CompilerLoopsAreExact) {
  void* const tab[3] = {nullptr, nullptr, nullptr};
  const Entry e = entry("Ceil", 's', Shape::v1, nullptr, -100, 100, tab);
  const LoopFn f = compiler_loop(e);
  ASSERT_NE(f, nullptr);
  const Workload w(e, 333);
  f(w.size(), w.a(), w.b(), w.scalars(), w.r());
  for (size_t i = 0; i < w.size(); ++i)
    ASSERT_EQ(static_cast<const float*>(w.r())[i], std::ceil(static_cast<const float*>(w.a())[i]));
  EXPECT_EQ(compiler_loop(entry("Exp", 's', Shape::v1, nullptr, 0, 1, tab)), nullptr);
}

}  // namespace
}  // namespace nrx::timing
