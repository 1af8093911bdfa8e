// Float Sin, Cos and Tan in HA and LA at every finite float (the long run) or at every
// 4099th one (the ordinary run), against glibc's double sincos: its error, below a double
// ulp, is 2^-29 of a float ulp. Sin and Tan must also give x itself where sin x and tan x
// round to x, and each flavour stays within its ulp bound.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

#include "nrx/zar_functions.h"

#ifdef NRX_TRIG_EXHAUSTIVE
#define NRX_TRIG_STRIDE 1
#define NRX_TRIG_SUITE Exhaustive
#else
#define NRX_TRIG_STRIDE 4099
#define NRX_TRIG_SUITE Sampled
#endif

namespace {

enum Oracle { kSin, kCos, kTan };

struct Case {
  const char* name;
  void (*fn)(int32_t, const float*, float*);
  Oracle oracle;
  double bound;
};

const Case kCases[] = {
    {"zarsSin_HA", zarsSin_HA, kSin, 1}, {"zarsSin_21", zarsSin_21, kSin, 4}, {"zarsCos_HA", zarsCos_HA, kCos, 1},
    {"zarsCos_21", zarsCos_21, kCos, 4}, {"zarsTan_HA", zarsTan_HA, kTan, 1}, {"zarsTan_21", zarsTan_21, kTan, 4},
};
constexpr size_t kCaseCount = sizeof kCases / sizeof kCases[0];

struct Worst {
  double ulp = 0;
  float x = 0, got = 0;
  double want = 0;
};

// A float ulp at the value v (the subnormal ulp below 2^-126).
double float_ulp(double v) {
  int e;
  std::frexp(v, &e);
  return std::ldexp(1.0, std::max(e - 24, -149));
}

// Bit patterns [begin, end) of one sign's finite floats, every stride-th one, in blocks.
void scan(uint32_t begin, uint32_t end, uint32_t stride, Worst (&worst)[kCaseCount]) {
  constexpr size_t kBlock = 4096;
  std::vector<float> x(kBlock), got(kBlock);
  std::vector<double> ref[3] = {std::vector<double>(kBlock), std::vector<double>(kBlock), std::vector<double>(kBlock)};
  for (uint64_t b = begin; b < end;) {
    size_t n = 0;
    for (; n < kBlock && b < end; ++n, b += stride) {
      const uint32_t bits = uint32_t(b);
      std::memcpy(&x[n], &bits, 4);
      double s, c;
      sincos(double(x[n]), &s, &c);
      ref[kSin][n] = s, ref[kCos][n] = c, ref[kTan][n] = s / c;
    }
    for (size_t k = 0; k < kCaseCount; ++k) {
      kCases[k].fn(int32_t(n), x.data(), got.data());
      const std::vector<double>& want = ref[kCases[k].oracle];
      for (size_t i = 0; i < n; ++i) {
        const double e = std::fabs(double(got[i]) - want[i]) / float_ulp(want[i]);
        if (!(e <= worst[k].ulp)) worst[k] = {e, x[i], got[i], want[i]};
      }
    }
  }
}

TEST(NRX_TRIG_SUITE, FloatSinCosTanWithinBound) {
  const auto t0 = std::chrono::steady_clock::now();
  // Positive and negative finite floats, one thread each.
  Worst worst[2][kCaseCount];
  std::thread neg([&] { scan(0x80000000u, 0xFF800000u, NRX_TRIG_STRIDE, worst[1]); });
  scan(0, 0x7F800000u, NRX_TRIG_STRIDE, worst[0]);
  neg.join();
  const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  std::printf("every %d. finite float, %.1f s\n", NRX_TRIG_STRIDE, secs);
  for (size_t k = 0; k < kCaseCount; ++k) {
    const Worst& w = worst[0][k].ulp >= worst[1][k].ulp ? worst[0][k] : worst[1][k];
    std::printf("  %-11s max %.4f ulp at %a -> %a, want %a\n", kCases[k].name, w.ulp, w.x, w.got, w.want);
    EXPECT_LE(w.ulp, kCases[k].bound) << kCases[k].name << " at " << w.x << " gives " << w.got << ", want " << w.want;
  }
}

}  // namespace
