// MRG32K3A: L'Ecuyer's combined multiple recursive generator. Blocks of 32
// consecutive outputs are computed at once from the three newest words of each
// component through precomputed rows of the companion-matrix powers.
#include "rng/brng/mrg32k3a.h"

#include "rng/brng/entry_points.h"
#include "rng/brng/output.h"
#include "rng/internal.h"

namespace nrx::rng {
namespace {

struct MrgState {
  uint32_t x1[3];  // oldest first
  uint32_t x2[3];
};

constexpr int kBlock = 32;
constexpr int kGroups = kBlock / 8;

// Coefficients of x[t + j] (j = 0 .. 31) in terms of (x[t-3], x[t-2], x[t-1]): the
// last row of A^(j+1), stored per group of eight lanes and per state word.
struct Coeffs {
  alignas(64) uint64_t c[kGroups][3][8];
};
constexpr Coeffs make_coeffs(const Mat3& a, uint32_t m) {
  Coeffs r{};
  Mat3 p = a;
  for (int j = 0; j < kBlock; ++j) {
    for (int k = 0; k < 3; ++k) r.c[j / 8][k][j % 8] = p.e[6 + k];
    p = mat_mul(p, a, m);
  }
  return r;
}
constinit const Coeffs kC1 = make_coeffs(kMrgA1, kMrgM1);
constinit const Coeffs kC2 = make_coeffs(kMrgA2, kMrgM2);

// Lane-wise (c0 v0 + c1 v1 + c2 v2) mod m with m = 2^32 - D: every 64-bit product is
// folded once with 2^32 = D (mod m), the sum once more, then one conditional subtraction.
template <uint64_t D> struct Reducer {
  simd::IReg d = simd::splat_u64(D), lo = simd::splat_u64(0xFFFFFFFFull), m = simd::splat_u64((1ull << 32) - D);
  simd::IReg fold(simd::IReg p) const {
    return simd::add64(simd::mul32x32(simd::shift_right64<32>(p), d), simd::bit_and(p, lo));
  }
  simd::IReg combine(const uint64_t (&c)[3][8], simd::IReg v0, simd::IReg v1, simd::IReg v2) const {
    simd::IReg s = fold(simd::mul32x32(simd::load(c[0]), v0));
    s = simd::add64(s, fold(simd::mul32x32(simd::load(c[1]), v1)));
    s = simd::add64(s, fold(simd::mul32x32(simd::load(c[2]), v2)));
    s = fold(s);
    return simd::min_u64(s, simd::sub64(s, m));
  }
};

uint32_t step1(uint32_t* x) {
  const uint64_t p = (uint64_t(kMrgA12) * x[1] % kMrgM1 + uint64_t(kMrgM1 - kMrgA13) * x[0] % kMrgM1) % kMrgM1;
  x[0] = x[1], x[1] = x[2], x[2] = uint32_t(p);
  return x[2];
}
uint32_t step2(uint32_t* x) {
  const uint64_t p = (uint64_t(kMrgA21) * x[2] % kMrgM2 + uint64_t(kMrgM2 - kMrgA23) * x[0] % kMrgM2) % kMrgM2;
  x[0] = x[1], x[1] = x[2], x[2] = uint32_t(p);
  return x[2];
}
// u = x1 - x2, plus m1 when x1 <= x2: values 1 .. m1.
uint64_t combine_scalar(uint32_t a, uint32_t b) { return a > b ? uint64_t(a - b) : uint64_t(a) + kMrgM1 - b; }

template <class Sink> void generate(MrgState* st, int64_t n, const Sink& sink) {
  const Reducer<209> r1;
  const Reducer<22853> r2;
  const simd::IReg m1 = simd::splat_u64(kMrgM1);
  simd::IReg a0 = simd::splat_u64(st->x1[0]), a1 = simd::splat_u64(st->x1[1]), a2 = simd::splat_u64(st->x1[2]);
  simd::IReg b0 = simd::splat_u64(st->x2[0]), b1 = simd::splat_u64(st->x2[1]), b2 = simd::splat_u64(st->x2[2]);
  int64_t i = 0;
  if (n >= kBlock) {
    for (; n - i >= kBlock; i += kBlock) {
      simd::IReg y1[kGroups], y2[kGroups];
      for (int g = 0; g < kGroups; ++g) {
        y1[g] = r1.combine(kC1.c[g], a0, a1, a2);
        y2[g] = r2.combine(kC2.c[g], b0, b1, b2);
        const simd::IReg u = simd::add64_where(simd::le_u64(y1[g], y2[g]), simd::sub64(y1[g], y2[g]), m1);
        sink.put(i + 8 * g, u, 0xFF);
      }
      a0 = simd::broadcast_lane(y1[kGroups - 1], 5), a1 = simd::broadcast_lane(y1[kGroups - 1], 6);
      a2 = simd::broadcast_lane(y1[kGroups - 1], 7);
      b0 = simd::broadcast_lane(y2[kGroups - 1], 5), b1 = simd::broadcast_lane(y2[kGroups - 1], 6);
      b2 = simd::broadcast_lane(y2[kGroups - 1], 7);
    }
    const simd::IReg x1[3] = {a0, a1, a2}, x2[3] = {b0, b1, b2};
    for (int k = 0; k < 3; ++k)
      st->x1[k] = uint32_t(simd::first_lane(x1[k])), st->x2[k] = uint32_t(simd::first_lane(x2[k]));
  }
  // Tail: the scalar recurrence, eight at a time through the same sink.
  emit_blocks<8, uint64_t>(
      i, n,
      [st](uint64_t* u, int64_t k) {
        for (int64_t j = 0; j < k; ++j) u[j] = combine_scalar(step1(st->x1), step2(st->x2));
      },
      sink);
}

constexpr double kInvM1 = 1.0 / 4294967087.0;

uint32_t reduce_seed(uint32_t w, uint32_t m) { return w >= m ? w - m : w; }

struct Mrg {
  static int32_t seed(DruStream* s, int32_t n, const uint32_t* params) {
    MrgState* st = state_of<MrgState>(s);
    uint32_t w[6] = {1, 1, 1, 1, 1, 1};
    for (int32_t k = 0; k < n && k < 6; ++k) w[k] = params[k];
    for (int k = 0; k < 3; ++k) st->x1[k] = reduce_seed(w[k], kMrgM1), st->x2[k] = reduce_seed(w[3 + k], kMrgM2);
    if ((st->x1[0] | st->x1[1] | st->x1[2]) == 0) st->x1[0] = 1;
    if ((st->x2[0] | st->x2[1] | st->x2[2]) == 0) st->x2[0] = 1;
    return DRU_OK;
  }
  static int32_t skip(DruStream* s, uint64_t count) { return skip_words(s, 1, &count); }
  static int32_t skip_words(DruStream* s, int32_t n, const uint64_t* count) {
    MrgState* st = state_of<MrgState>(s);
    if (n > 0) mrg_skip(st->x1, st->x2, n, count);
    return DRU_OK;
  }
  template <class T> static void reals(DruStream* s, int64_t n, T* r, double a, double b) {
    generate(state_of<MrgState>(s), n, RealSink<T>(r, kInvM1, a, b));
  }
  static void words(DruStream* s, int64_t n, uint32_t* r) { generate(state_of<MrgState>(s), n, WordSink<1>{r}); }
};

}  // namespace

NRX_BRNG_ENTRY_POINTS(MRG32K3A, Mrg)

}  // namespace nrx::rng
