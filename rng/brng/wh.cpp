// WH: 273 members of combined Wichmann-Hill generators, four components
// x_c <- a_c x_c mod m_c each. Products stay below 2^48, so the reduction
// y - floor(y / m) m is exact in double. Blocks of 16 consecutive outputs per
// component come from the state times the multiplier powers a^1 .. a^16.
#include <cmath>

#include "rng/brng/entry_points.h"
#include "rng/brng/modmath.h"
#include "rng/brng/output.h"
#include "rng/internal.h"

namespace nrx::rng {
namespace {

struct WhRow {
  uint32_t m[4];
  uint8_t a[4];
};
constexpr WhRow kWh[] = {
#include "rng/brng/wh_table.inc"
};
constexpr int kMembers = int(sizeof(kWh) / sizeof(kWh[0]));
static_assert(kMembers == 273);

struct WhRecip {
  double r[kMembers][4];
};
constexpr WhRecip make_recip() {
  WhRecip t{};
  for (int k = 0; k < kMembers; ++k)
    for (int c = 0; c < 4; ++c) t.r[k][c] = 1.0 / double(kWh[k].m[c]);
  return t;
}
constinit const WhRecip kRecip = make_recip();

struct WhState {
  uint32_t x[4];
  uint32_t a[4];  // current multipliers (a^total after leapfrog)
};

int member_of(const DruStream* s) {
  int32_t member = 0;
  record_of(s->brng, &member);
  return member >= 0 && member < kMembers ? member : 0;
}

double reduce(double y, double m, double rm) { return std::fma(-std::floor(y * rm), m, y); }

struct Consts {
  double m[4], rm[4];
};

// Outputs go out in blocks of up to eight: emit.block(i, x, rm, k) receives the four
// component lanes x of outputs i .. i + k - 1. Kept out of line: inlined into the entry
// points the 16-output loop schedules about 2% slower.
template <class Emit> [[gnu::noinline]] void generate(DruStream* s, int64_t n, const Emit& emit) {
  if (n <= 0) return;
  WhState* st = state_of<WhState>(s);
  const int row = member_of(s);
  for (int q = 0; q < 4; ++q) {  // a damaged image may hold words outside 1 .. m - 1
    st->x[q] %= kWh[row].m[q], st->a[q] %= kWh[row].m[q];
    if (st->x[q] == 0) st->x[q] = 1;
  }
  Consts c{};
  simd::Reg<double> rm[4];
  for (int q = 0; q < 4; ++q) c.m[q] = kWh[row].m[q], c.rm[q] = kRecip.r[row][q], rm[q] = simd::splat(c.rm[q]);
  int64_t i = 0;
  if (n >= 16) {
    simd::Reg<double> p[4][2], x[4], m[4];
    for (int q = 0; q < 4; ++q) {
      alignas(64) double pw[16];
      uint32_t v = st->a[q] % kWh[row].m[q];
      for (int j = 0; j < 16; ++j) pw[j] = double(v), v = mulmod(v, st->a[q], kWh[row].m[q]);
      p[q][0] = simd::load(pw), p[q][1] = simd::load(pw + 8);
      x[q] = simd::splat(double(st->x[q])), m[q] = simd::splat(c.m[q]);
    }
    for (; n - i >= 16; i += 16) {
      simd::Reg<double> y[2][4];
      for (int q = 0; q < 4; ++q)
        for (int h = 0; h < 2; ++h) {
          const simd::Reg<double> t = simd::mul(x[q], p[q][h]);
          y[h][q] = simd::fnma(simd::round<simd::kRoundDown>(simd::mul(t, rm[q])), m[q], t);
        }
      for (int h = 0; h < 2; ++h) emit.block(i + 8 * h, y[h], rm, 8);
      for (int q = 0; q < 4; ++q) x[q] = simd::broadcast_lane(y[1][q], 7);
    }
    for (int q = 0; q < 4; ++q) st->x[q] = uint32_t(simd::first_lane(x[q]));
  }
  // Tail: the scalar recurrence into a block of up to eight, out through the same emit.
  while (i < n) {
    const int64_t k = n - i < 8 ? n - i : 8;
    alignas(64) double v[4][8];
    simd::Reg<double> x[4];
    for (int64_t j = 0; j < k; ++j)  // the four components' chains side by side
      for (int q = 0; q < 4; ++q) {
        v[q][j] = reduce(double(st->a[q]) * double(st->x[q]), c.m[q], c.rm[q]);
        st->x[q] = uint32_t(v[q][j]);
      }
    for (int q = 0; q < 4; ++q) x[q] = simd::masked_load(v[q], simd::tail<double>(k), 0.0);
    emit.block(i, x, rm, k);
    i += k;
  }
}

// frac(x1/m1 + x2/m2 + x3/m3 + x4/m4), summed left to right, to reals in [a, b).
template <class T> struct RealEmit {
  RealSink<T> sink;
  void block(int64_t i, const simd::Reg<double>* x, const simd::Reg<double>* rm, int64_t k) const {
    simd::Reg<double> s =
        simd::add(simd::add(simd::add(simd::mul(x[0], rm[0]), simd::mul(x[1], rm[1])), simd::mul(x[2], rm[2])),
                  simd::mul(x[3], rm[3]));
    sink.put_unit(i, simd::sub(s, simd::round<simd::kRoundDown>(s)), simd::tail<double>(k));
  }
};

// The four component words of each output.
struct WordEmit {
  uint32_t* r;
  void block(int64_t i, const simd::Reg<double>* x, const simd::Reg<double>*, int64_t k) const {
    alignas(64) double w[4][8];
    for (int q = 0; q < 4; ++q) simd::store(w[q], x[q]);
    for (int64_t j = 0; j < k; ++j)
      for (int q = 0; q < 4; ++q) r[4 * (i + j) + q] = uint32_t(w[q][j]);
  }
};

struct Wh {
  static int32_t seed(DruStream* s, int32_t n, const uint32_t* params) {
    WhState* st = state_of<WhState>(s);
    const WhRow& row = kWh[member_of(s)];
    for (int q = 0; q < 4; ++q) {
      const uint32_t x = q < n ? params[q] % row.m[q] : 1u;
      st->x[q] = x ? x : 1u;
      st->a[q] = row.a[q];
    }
    return DRU_OK;
  }
  static int32_t leapfrog(DruStream* s, int32_t k, int32_t total) {
    if (total < 1) return DRU_E_TOO_MANY_STREAMS;
    if (k < 0 || k >= total) return DRU_E_BAD_ARGUMENT;
    WhState* st = state_of<WhState>(s);
    const WhRow& row = kWh[member_of(s)];
    for (int q = 0; q < 4; ++q) {
      st->x[q] = mulmod(st->x[q], powmod(st->a[q], uint64_t(k), row.m[q]), row.m[q]);
      st->a[q] = powmod(st->a[q], uint64_t(total), row.m[q]);
    }
    return DRU_OK;
  }
  static int32_t skip(DruStream* s, uint64_t count) {
    WhState* st = state_of<WhState>(s);
    const WhRow& row = kWh[member_of(s)];
    for (int q = 0; q < 4; ++q) st->x[q] = mulmod(st->x[q], powmod(st->a[q], count, row.m[q]), row.m[q]);
    return DRU_OK;
  }
  template <class T> static void reals(DruStream* s, int64_t n, T* r, double a, double b) {
    generate(s, n, RealEmit<T>{RealSink<T>(r, 1.0, a, b)});  // units: no scale
  }
  static void words(DruStream* s, int64_t n, uint32_t* r) { generate(s, n, WordEmit{r}); }
};

}  // namespace

NRX_BRNG_ENTRY_POINTS(WH, Wh)

}  // namespace nrx::rng
