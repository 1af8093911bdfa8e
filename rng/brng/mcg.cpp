// MCG31M1 and MCG59: multiplicative congruential generators modulo 2^31 - 1 and 2^59.
// Output blocks step eight lanes x A^j by the powers A^8 .. A^32 kept in the stream's
// cache chunk, so one call of any length continues the scalar sequence exactly.
#include "nrx/core.h"
#include "rng/brng/entry_points.h"
#include "rng/brng/modmath.h"
#include "rng/brng/output.h"
#include "rng/internal.h"

namespace nrx::rng {
namespace {

// Cache chunk of kind 14: lane start values and multiplier powers (384 bytes).
struct McgCache {
  uint32_t kind;  // 0 MCG31M1, 1 MCG59
  uint32_t reserved[15];
  uint64_t lanes[8];   // x A^j mod m, j = 0 .. 7
  uint64_t pow[4][8];  // A^8, A^16, A^24, A^32 mod m in every lane
};
static_assert(sizeof(McgCache) == 384);

struct Mcg31 {
  using word = uint32_t;
  static constexpr uint32_t kind = 0;
  static constexpr int words = 1;         // 32-bit words per integer output
  static constexpr word a = 1132489760u;  // 0x43806C20
  static constexpr double scale = 1.0 / 2147483647.0;
  static word mul(word x, word y) { return mulmod31(x, y); }
  static word pow(word x, uint64_t e) { return powmod31(x, e); }
  static word seed(int32_t n, const uint32_t* p) {
    const word x = n < 1 ? 1 : p[0] % kM31;
    return x ? x : 1;
  }
  static simd::IReg vmul(simd::IReg x, simd::IReg y) {
    const simd::IReg m = simd::splat_u64(kM31), p = simd::mul32x32(x, y);
    const simd::IReg r = simd::add64(simd::bit_and(p, m), simd::shift_right64<31>(p));
    return simd::min_u64(r, simd::sub64(r, m));
  }
};

struct Mcg59 {
  using word = uint64_t;
  static constexpr uint32_t kind = 1;
  static constexpr int words = 2;
  static constexpr word a = 302875106592253ull;  // 13^13
  static constexpr double scale = 0x1p-59;
  static word mul(word x, word y) { return (x * y) & kMask59; }
  static word pow(word x, uint64_t e) { return powmod59(x, e); }
  static word seed(int32_t n, const uint32_t* p) {
    word x = n < 1 ? 1 : p[0];
    if (n >= 2) x += uint64_t(p[1] & 0x7FFFFFFu) << 32;
    return x ? x : 1;
  }
  static simd::IReg vmul(simd::IReg x, simd::IReg y) {
    return simd::bit_and(simd::mul64(x, y), simd::splat_u64(kMask59));
  }
};

template <class F> struct State {
  typename F::word x;  // last output (the seed before the first)
  typename F::word A;  // current multiplier
};

template <class F> void fill_cache(McgCache* c, typename F::word x, typename F::word A) {
  *c = McgCache{};
  c->kind = F::kind;
  for (int j = 0; j < 8; ++j, x = F::mul(x, A)) c->lanes[j] = x;
  for (int q = 0; q < 4; ++q) {
    const typename F::word p = F::pow(A, uint64_t(8 * (q + 1)));
    for (int j = 0; j < 8; ++j) c->pow[q][j] = p;
  }
}

McgCache* cache_of(DruStream* s) {
  DruChunk* c = find_chunk(s, DRU_CHUNK_MCG_CACHE, sizeof(McgCache));
  return c ? static_cast<McgCache*>(c->data) : nullptr;
}

// The stream's cache, attached when missing; null when memory runs out.
McgCache* ensure_cache(DruStream* s) {
  if (McgCache* c = cache_of(s)) return c;
  void* data = nrx_serv_allocate(sizeof(McgCache), 128);
  if (!data) return nullptr;
  if (_druAddChunk(s, DRU_CHUNK_MCG_CACHE, nullptr, data, sizeof(McgCache)) != DRU_OK) {
    nrx_serv_deallocate(data);
    return nullptr;
  }
  return static_cast<McgCache*>(data);
}

// Outputs are S_1 .. S_n of S_k = x A^k; the lanes hold S_t .. S_t+7 with t outputs done.
template <class F, class Sink> void generate(DruStream* s, int64_t n, const Sink& sink) {
  if (n <= 0) return;
  State<F>* st = state_of<State<F>>(s);
  McgCache local;
  McgCache* c = cache_of(s);
  if (!c) fill_cache<F>(c = &local, st->x, st->A);  // a stream without its cache still generates
  simd::IReg L = simd::load(c->lanes);
  const simd::IReg p8 = simd::load(c->pow[0]), p16 = simd::load(c->pow[1]);
  const simd::IReg p24 = simd::load(c->pow[2]), p32 = simd::load(c->pow[3]);
  int64_t i = 0;
  for (; n - i >= 32; i += 32) {
    const simd::IReg v1 = F::vmul(L, p8), v2 = F::vmul(L, p16), v3 = F::vmul(L, p24), v4 = F::vmul(L, p32);
    sink.put(i, simd::slide1(v1, L), 0xFF);
    sink.put(i + 8, simd::slide1(v2, v1), 0xFF);
    sink.put(i + 16, simd::slide1(v3, v2), 0xFF);
    sink.put(i + 24, simd::slide1(v4, v3), 0xFF);
    L = v4;
  }
  while (i < n) {
    const int k = n - i < 8 ? int(n - i) : 8;
    const simd::IReg v1 = F::vmul(L, p8);
    sink.put(i, simd::slide1(v1, L), simd::tail<double>(k));
    L = simd::window(L, v1, k);
    i += k;
  }
  simd::store(c->lanes, L);
  st->x = typename F::word(c->lanes[0]);
}

template <class F> struct Mcg {
  static int32_t seed(DruStream* s, int32_t n, const uint32_t* params) { return rebuild(s, F::seed(n, params), F::a); }
  static int32_t leapfrog(DruStream* s, int32_t k, int32_t total) {
    if (total < 1) return DRU_E_TOO_MANY_STREAMS;
    if (k < 0 || k >= total) return DRU_E_BAD_ARGUMENT;
    const State<F>* st = state_of<State<F>>(s);
    return rebuild(s, F::mul(st->x, F::pow(st->A, uint64_t(k))), F::pow(st->A, uint64_t(total)));
  }
  // Counts outputs of the current (possibly leapfrogged) sequence.
  static int32_t skip(DruStream* s, uint64_t count) {
    const State<F>* st = state_of<State<F>>(s);
    return rebuild(s, F::mul(st->x, F::pow(st->A, count)), st->A);
  }
  template <class T> static void reals(DruStream* s, int64_t n, T* r, double a, double b) {
    generate<F>(s, n, RealSink<T>(r, F::scale, a, b));
  }
  static void words(DruStream* s, int64_t n, uint32_t* r) { generate<F>(s, n, WordSink<F::words>{r}); }

 private:
  // New x and A with their cache chunk; nothing changes when the chunk cannot be made.
  static int32_t rebuild(DruStream* s, typename F::word x, typename F::word A) {
    McgCache* c = ensure_cache(s);
    if (!c) return DRU_E_NO_MEMORY;
    State<F>* st = state_of<State<F>>(s);
    st->x = x, st->A = A;
    fill_cache<F>(c, x, A);
    return DRU_OK;
  }
};

}  // namespace

NRX_BRNG_ENTRY_POINTS(MCG31M1, Mcg<Mcg31>)
NRX_BRNG_ENTRY_POINTS(MCG59, Mcg<Mcg59>)

}  // namespace nrx::rng
