// SFMT19937: the SIMD-oriented twister over 156 blocks of 128 bits, regenerated in
// place: the terms of the old state four blocks per register, the carried recursion
// block by block. Outputs are the state words in array order.
#include "rng/brng/entry_points.h"
#include "rng/brng/output.h"
#include "rng/brng/skip_ring.h"
#include "rng/brng/twister.h"
#include "rng/internal.h"
#include "simd/word32.h"

namespace nrx::rng {
namespace {

constexpr int kBlocks = 156, kWords = 4 * kBlocks, kPos1 = 122;
constexpr uint32_t kMask[4] = {0xDFFFFFEFu, 0xDDFECB7Fu, 0xBFFAFFFFu, 0xBFFFFFF6u};
constexpr uint32_t kParity[4] = {0x00000001u, 0x00000000u, 0x00000000u, 0x13C9E684u};

// pos: next word to deliver (kWords: regenerate first); generated: 0 while the array
// still holds the seeded state, so a fresh stream regenerates before its first word.
struct SfmtState {
  uint32_t w[kWords];
  uint32_t spare[4];
  uint32_t pos, generated;
};
static_assert(sizeof(DruStream) + sizeof(SfmtState) == 2536);
static_assert(offsetof(SfmtState, pos) + sizeof(DruStream) == 2528);

// r_i = t_i ^ f r_{i-2} ^ g r_{i-1} per block, with t_i = a ^ (a << 8 bits) ^
// ((b >> 11) & mask), f the 8-bit shift right of the block and g the 18-bit shift left
// of its words. Since g g = 0 (a 36-bit word shift), r_i = u_i ^ f r_{i-2} ^ g f r_{i-3}
// with u_i = t_i ^ g t_{i-1}: each block waits for the one two places back only, one
// shift and one sum, while t and u are made four blocks per register.
inline simd::Block f(simd::Block x) { return simd::block_right_bytes<1>(x); }
inline simd::Block g(simd::Block x) { return simd::block_words_left<18>(x); }

// The carried recursion over the blocks u of one register: r = u ^ f r_{-2} ^ g f r_{-3},
// each block also stored at out when Out (the caller's words, a whole array at a time).
struct Carry {
  simd::Block f2, f1, gf3, gf2, gf1;
  template <bool Out> [[gnu::always_inline]] void step(uint32_t* w, uint32_t* out, simd::Block u) {
    const simd::Block r = simd::block_xor3(u, f2, gf3);
    simd::block_store(w, r);
    if constexpr (Out) simd::block_store(out, r);
    const simd::Block fr = f(r);
    f2 = f1, f1 = fr, gf3 = gf2, gf2 = gf1, gf1 = g(fr);
  }
};

// The next state in place (and at out when Out). Block j's far block is j + 122, old for
// j < 34 and already new from there on; the register of blocks 32..35 takes 154, 155
// (old) and 0, 1 (new). The carried chain (a byte shift and a sum per two blocks) sets
// the pace: fewer shifts or extracts per register did not make it faster.
template <bool Out> void regenerate(uint32_t* w, uint32_t* out) {
  using namespace simd;
  const IReg mask = splat_block(kMask[0], kMask[1], kMask[2], kMask[3]);
  // Block 0 has r_{-1} = old block 155 for g r_{-1}: t_{-1} stands in as r_{-1} ^ f r_{-3}.
  const Block r3 = block_load(w + 4 * (kBlocks - 3)), r2 = block_load(w + 4 * (kBlocks - 2)),
              r1 = block_load(w + 4 * (kBlocks - 1));
  alignas(64) uint32_t seed[16] = {};
  block_store(seed + 12, block_xor3(r1, f(r3), Block{}));  // r_{-1} ^ f r_{-3} ^ 0
  IReg t_prev = load_words(seed);
  Carry c{f(r2), f(r1), g(f(r3)), g(f(r2)), g(f(r1))};
  auto four = [w, out, &mask, &t_prev, &c](int j, IReg b) [[gnu::always_inline]] {
    const IReg a = load_words(w + 4 * j);
    const IReg t = bit_xor(bit_xor(a, blocks_left_bytes<1>(a)), bit_and(words_right<11>(b), mask));
    const IReg u = bit_xor(t, words_left<18>(blocks_carry<1>(t, t_prev)));
    t_prev = t;
    uint32_t* o = Out ? out + 4 * j : w + 4 * j;  // not written unless Out
    c.step<Out>(w + 4 * j, o, block_at<0>(u)), c.step<Out>(w + 4 * j + 4, o + 4, block_at<1>(u));
    c.step<Out>(w + 4 * j + 8, o + 8, block_at<2>(u)), c.step<Out>(w + 4 * j + 12, o + 12, block_at<3>(u));
  };
  constexpr int kWrap = kBlocks - kPos1 - 2;  // 32: the register whose far blocks wrap
  for (int j = 0; j < kWrap; j += 4) four(j, load_words(w + 4 * (j + kPos1)));
  alignas(64) uint32_t wrap[16];
  std::memcpy(wrap, w + 4 * (kWrap + kPos1), 32), std::memcpy(wrap + 8, w, 32);
  four(kWrap, load_words(wrap));
  for (int j = kWrap + 4; j < kBlocks; j += 4) four(j, load_words(w + 4 * (j + kPos1 - kBlocks)));
}

uint32_t func1(uint32_t x) { return (x ^ (x >> 27)) * 1664525u; }
uint32_t func2(uint32_t x) { return (x ^ (x >> 27)) * 1566083941u; }

// The array initialisation: bytes 0x8B, then the key mixed over the words with lag 11
// around the mid point 306, then period certification.
void init_by_array(uint32_t* w, TwisterKey key) {
  constexpr uint32_t n = kWords, lag = 11, mid = (n - lag) / 2;
  std::memset(w, 0x8B, n * sizeof(uint32_t));
  const uint32_t len = uint32_t(key.length);
  uint32_t count = len + 1 > n ? len + 1 : n;
  uint32_t r = func1(w[0] ^ w[mid] ^ w[n - 1]);
  w[mid] += r;
  r += len;
  w[mid + lag] += r;
  w[0] = r;
  --count;
  uint32_t i = 1, j = 0;
  for (; j < count; ++j) {
    r = func1(w[i] ^ w[(i + mid) % n] ^ w[(i + n - 1) % n]);
    w[(i + mid) % n] += r;
    r += (j < len ? key.words[j] : 0u) + i;
    w[(i + mid + lag) % n] += r;
    w[i] = r;
    i = (i + 1) % n;
  }
  for (j = 0; j < n; ++j) {
    r = func2(w[i] + w[(i + mid) % n] + w[(i + n - 1) % n]);
    w[(i + mid) % n] ^= r;
    r -= i;
    w[(i + mid + lag) % n] ^= r;
    w[i] = r;
    i = (i + 1) % n;
  }
  uint32_t inner = 0;
  for (int q = 0; q < 4; ++q) inner ^= w[q] & kParity[q];
  for (int sh = 16; sh > 0; sh >>= 1) inner ^= inner >> sh;
  if (inner & 1u) return;
  for (int q = 0; q < 4; ++q)  // flip the lowest parity bit: the state then lies on the full period
    if (kParity[q]) {
      w[q] ^= kParity[q] & (~kParity[q] + 1u);
      return;
    }
}

SfmtState* checked(DruStream* s) {
  SfmtState* st = state_of<SfmtState>(s);
  if (!st->generated) st->pos = kWords;
  return st;
}

template <class Take> void walk_words(SfmtState* st, int64_t n, Take&& take) {
  walk<kWords>(
      &st->pos, n, [st] { regenerate<false>(st->w, nullptr), st->generated = 1; }, take);
}

// The words left in the array, then whole arrays made straight into out, then the rest.
void raw(SfmtState* st, uint32_t* out, int64_t n) {
  auto copy = [st](uint32_t* to) {
    return [st, to](uint32_t p, int64_t i, int64_t m) { std::memcpy(to + i, st->w + p, size_t(m) * 4); };
  };
  const int64_t left = kWords - (st->pos < uint32_t(kWords) ? st->pos : uint32_t(kWords));
  int64_t i = n < left ? n : left;
  walk_words(st, i, copy(out));
  for (; n - i >= kWords; i += kWords) regenerate<true>(st->w, out + i), st->generated = 1;
  walk_words(st, n - i, copy(out + i));
}

// Reals straight from the state words, eight at a time.
template <class T> void reals_from_state(SfmtState* st, int64_t n, T* r, double a, double b) {
  const RealSink<T> sink(r, 0x1p-32, a, b);
  walk_words(st, n, [st, &sink](uint32_t p, int64_t i, int64_t m) {
    for (int64_t t = 0; t < m; t += 8) {
      const simd::Mask8 k = simd::tail<double>(m - t);
      sink.put(i + t, load_lanes(st->w + p + t, k), k);
    }
  });
}

// Ascending exponents of the characteristic polynomial of the one-block step.
constexpr uint32_t kPoly[] = {
#include "rng/brng/sfmt19937_poly.inc"
};

// The one-block step on a ring of 156 blocks whose oldest block is at head.
struct BlockStep {
  using State = SfmtState;
  static constexpr int kElems = kBlocks, kStep = 4;
  template <class S> static auto words(S* st) { return st->w; }
  template <class S> static auto head(S* st) { return &st->pos; }
  static void step(uint32_t* r, int head) {
    auto get = [r](int blk, uint64_t& lo, uint64_t& hi) {
      const uint32_t* x = r + 4 * (blk % kBlocks);
      lo = x[0] | uint64_t(x[1]) << 32, hi = x[2] | uint64_t(x[3]) << 32;
    };
    uint64_t alo, ahi, clo, chi;
    get(head, alo, ahi);
    get(head + kBlocks - 2, clo, chi);
    const uint32_t* b = r + 4 * ((head + kPos1) % kBlocks);
    const uint32_t* d = r + 4 * ((head + kBlocks - 1) % kBlocks);
    const uint64_t xlo = alo << 8, xhi = ahi << 8 | alo >> 56;  // a << 8 bits
    const uint64_t ylo = clo >> 8 | chi << 56, yhi = chi >> 8;  // c >> 8 bits
    uint32_t out[4];
    for (int q = 0; q < 4; ++q) {
      const uint64_t ax = q < 2 ? alo ^ xlo ^ ylo : ahi ^ xhi ^ yhi;
      out[q] = uint32_t(ax >> (32 * (q & 1))) ^ ((b[q] >> 11) & kMask[q]) ^ (d[q] << 18);
    }
    std::memcpy(r + 4 * head, out, sizeof out);
  }
};

using Ring = SkipRing<BlockStep>;
constexpr int32_t kPolyTerms = int32_t(sizeof kPoly / sizeof kPoly[0]);

// From the degree on x^M mod phi is no longer a single term: the sliding window pays.
constexpr uint64_t kWindowFrom = 19968;

struct Sfmt19937 {
  static int32_t seed(DruStream* s, int32_t n, const uint32_t* params) {
    SfmtState* st = state_of<SfmtState>(s);
    init_by_array(st->w, twister_key(n, params));
    std::memset(st->spare, 0, sizeof st->spare);
    st->pos = 0, st->generated = 0;
    return DRU_OK;
  }
  static int32_t skip(DruStream* s, uint64_t count) {
    SfmtState* st = checked(s);
    const Target t = target(st->pos, count);
    if (t.arrays == 0) {  // within the current array
      st->pos = t.pos;
      return DRU_OK;
    }
    const auto helper = count >= kWindowFrom ? _dru_SkipAheadSWin : _dru_SkipAheadHorner;
    const int32_t status =
        helper(s, Ring::load, Ring::store, Ring::clear, Ring::copy, Ring::step, Ring::add, uint64_t(t.arrays * kBlocks),
               kWords, 19968, int32_t(sizeof(DruStream) + sizeof(SfmtState)), kPolyTerms, kPoly);
    if (status != DRU_OK) return status;
    st->pos = t.pos, st->generated = 1;
    return DRU_OK;
  }
  template <class T> static void reals(DruStream* s, int64_t n, T* r, double a, double b) {
    if (n > 0) reals_from_state(checked(s), n, r, a, b);
  }
  static void words(DruStream* s, int64_t n, uint32_t* r) {
    if (n > 0) raw(checked(s), r, n);
  }
};

}  // namespace

NRX_BRNG_ENTRY_POINTS(SFMT19937, Sfmt19937)

}  // namespace nrx::rng
