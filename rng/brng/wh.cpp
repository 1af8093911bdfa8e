// WH: 273 members of combined Wichmann-Hill generators, four components
// x_c <- a_c x_c mod m_c each. Products stay below 2^48, so the reduction
// y - floor(y / m) m is exact in double. Blocks of 16 consecutive outputs per
// component come from the state times the multiplier powers a^1 .. a^16.
#include <cmath>

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

// frac(x1/m1 + x2/m2 + x3/m3 + x4/m4), summed left to right.
double unit(const double* x, const double* rm) {
  const double s = x[0] * rm[0] + x[1] * rm[1] + x[2] * rm[2] + x[3] * rm[3];
  return s - std::floor(s);
}

struct Consts {
  double m[4], rm[4];
};

template <class Emit> void generate(DruStream* s, int64_t n, Emit&& emit) {
  if (n <= 0) return;
  WhState* st = state_of<WhState>(s);
  const int k = member_of(s);
  for (int q = 0; q < 4; ++q) {  // a damaged image may hold words outside 1 .. m - 1
    st->x[q] %= kWh[k].m[q], st->a[q] %= kWh[k].m[q];
    if (st->x[q] == 0) st->x[q] = 1;
  }
  Consts c{};
  for (int q = 0; q < 4; ++q) c.m[q] = kWh[k].m[q], c.rm[q] = kRecip.r[k][q];
  int64_t i = 0;
  if (n >= 16) {
    lanes::f64x8 p[4][2], x[4], m[4], rm[4];
    for (int q = 0; q < 4; ++q) {
      alignas(64) double pw[16];
      uint32_t v = st->a[q] % kWh[k].m[q];
      for (int j = 0; j < 16; ++j) pw[j] = double(v), v = mulmod(v, st->a[q], kWh[k].m[q]);
      p[q][0] = lanes::load_d(pw), p[q][1] = lanes::load_d(pw + 8);
      x[q] = lanes::splat_d(double(st->x[q])), m[q] = lanes::splat_d(c.m[q]), rm[q] = lanes::splat_d(c.rm[q]);
    }
    for (; n - i >= 16; i += 16) {
      lanes::f64x8 y[4][2];
      for (int q = 0; q < 4; ++q)
        for (int h = 0; h < 2; ++h) {
          const lanes::f64x8 t = lanes::mul(x[q], p[q][h]);
          y[q][h] = lanes::fnma(lanes::floor(lanes::mul(t, rm[q])), m[q], t);
        }
      for (int h = 0; h < 2; ++h) emit.block(i + 8 * h, y[0][h], y[1][h], y[2][h], y[3][h], rm);
      for (int q = 0; q < 4; ++q) x[q] = lanes::broadcast_lane(y[q][1], 7);
    }
    for (int q = 0; q < 4; ++q) {
      alignas(64) double w[8];
      lanes::store_d(w, x[q]);
      st->x[q] = uint32_t(w[0]);
    }
  }
  for (; i < n; ++i) {
    double v[4];
    for (int q = 0; q < 4; ++q) v[q] = reduce(double(st->a[q]) * double(st->x[q]), c.m[q], c.rm[q]);
    for (int q = 0; q < 4; ++q) st->x[q] = uint32_t(v[q]);
    emit.one(i, v, c.rm);
  }
}

template <class T> struct RealEmit {
  T* r;
  double a, ba;
  void block(int64_t i, lanes::f64x8 x1, lanes::f64x8 x2, lanes::f64x8 x3, lanes::f64x8 x4,
             const lanes::f64x8* rm) const {
    lanes::f64x8 s = lanes::add(lanes::add(lanes::add(lanes::mul(x1, rm[0]), lanes::mul(x2, rm[1])),
                                           lanes::mul(x3, rm[2])),
                                lanes::mul(x4, rm[3]));
    s = lanes::sub(s, lanes::floor(s));
    lanes::put_real(r + i, lanes::fma(s, lanes::splat_d(ba), lanes::splat_d(a)), 0xFF);
  }
  void one(int64_t i, const double* v, const double* rm) const { r[i] = T(std::fma(unit(v, rm), ba, a)); }
};

struct WordEmit {
  uint32_t* r;
  void block(int64_t i, lanes::f64x8 x1, lanes::f64x8 x2, lanes::f64x8 x3, lanes::f64x8 x4,
             const lanes::f64x8*) const {
    alignas(64) double w[4][8];
    lanes::store_d(w[0], x1), lanes::store_d(w[1], x2), lanes::store_d(w[2], x3), lanes::store_d(w[3], x4);
    for (int j = 0; j < 8; ++j)
      for (int q = 0; q < 4; ++q) r[4 * (i + j) + q] = uint32_t(w[q][j]);
  }
  void one(int64_t i, const double* v, const double*) const {
    for (int q = 0; q < 4; ++q) r[4 * i + q] = uint32_t(v[q]);
  }
};

int32_t init(int32_t method, DruStream* s, int32_t n, const uint32_t* params) {
  WhState* st = state_of<WhState>(s);
  const WhRow& row = kWh[member_of(s)];
  switch (method) {
    case DRU_INIT_STANDARD:
      for (int q = 0; q < 4; ++q) {
        const uint32_t x = q < n ? params[q] % row.m[q] : 1u;
        st->x[q] = x ? x : 1u;
        st->a[q] = row.a[q];
      }
      return DRU_OK;
    case DRU_INIT_LEAPFROG: {
      if (n < 1) return DRU_E_TOO_MANY_STREAMS;
      const int32_t k = int32_t(params[0]);
      if (k < 0 || k >= n) return DRU_E_BAD_ARGUMENT;
      for (int q = 0; q < 4; ++q) {
        st->x[q] = mulmod(st->x[q], powmod(st->a[q], uint64_t(k), row.m[q]), row.m[q]);
        st->a[q] = powmod(st->a[q], uint64_t(n), row.m[q]);
      }
      return DRU_OK;
    }
    case DRU_INIT_SKIP_AHEAD: {
      const uint64_t e = uint64_t(params[0]) | (n >= 2 ? uint64_t(params[1]) << 32 : 0);
      for (int q = 0; q < 4; ++q) st->x[q] = mulmod(st->x[q], powmod(st->a[q], e, row.m[q]), row.m[q]);
      return DRU_OK;
    }
    case DRU_INIT_SKIP_AHEAD_EX:
      return DRU_E_NO_SKIP_AHEAD_EX;
    default:
      return DRU_E_BAD_METHOD;
  }
}

}  // namespace

}  // namespace nrx::rng

using namespace nrx::rng;

extern "C" {

NRX_RNG_API int32_t _druBRngWHInitStream(int32_t method, DruStream* s, int32_t n, const uint32_t* params) {
  return init(method, s, n, params);
}
NRX_RNG_API int32_t _drudBRngWH(DruStream* s, int32_t n, double* r, double a, double b) {
  generate(s, n, RealEmit<double>{r, a, b - a});
  return DRU_OK;
}
NRX_RNG_API int32_t _drusBRngWH(DruStream* s, int32_t n, float* r, float a, float b) {
  generate(s, n, RealEmit<float>{r, double(a), double(b) - double(a)});
  return DRU_OK;
}
NRX_RNG_API int32_t _druiBRngWH(DruStream* s, int32_t n, uint32_t* r) {
  generate(s, n, WordEmit{r});
  return DRU_OK;
}

}  // extern "C"
