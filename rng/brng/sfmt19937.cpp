// SFMT19937: the SIMD-oriented twister over 156 blocks of 128 bits. Each state is made
// from the one before (in place or into another array): the terms of the old state two
// blocks per register, the carried recursion block by block. Outputs are the state
// words in array order.
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
// ((b >> 11) & mask) from the old state, f the 8-bit shift right of the block and g the
// 18-bit shift left of its words. With s_i = t_i ^ f r_{i-2} = r_i ^ g r_{i-1}, and
// g g = 0 (a 36-bit word shift), g r_{i-1} = g s_{i-1}: r_i = t_i ^ f r_{i-2} ^ g s_{i-1}.
// So each block waits for f of the block two places back (one shift and one sum) and for
// g s of the one before, which is ready a step earlier; t is made two blocks per register.
// (f f is a 16-bit shift, not zero: the chain does not shorten further the same way.)
inline simd::Block f(simd::Block x) { return simd::block_right_bytes<1>(x); }
inline simd::Block g(simd::Block x) { return simd::block_words_left<18>(x); }

// The carried recursion: f r of the last two blocks by block number mod 2 and g s of
// the last block, so six blocks in a row leave every value where it was.
struct Carry {
  simd::Block fr[2], gs;
};
// Block I (mod 6) at d, whose t is stored there.
template <int I> [[gnu::always_inline]] inline void step(Carry& c, uint32_t* d, simd::Block t) {
  const simd::Block r = simd::block_xor3(t, c.fr[I % 2], c.gs);
  c.gs = g(simd::block_xor2(t, c.fr[I % 2]));
  simd::block_store(d, r);
  c.fr[I % 2] = f(r);
}

// The next state of src at dst, block by block.
struct Next {
  const uint32_t* src;
  uint32_t* dst;
  simd::BlockPair mask;
  Carry c;
  // Blocks j, j + 1 (j = I mod 6): t from old blocks j, j + 1 and the far blocks at far,
  // stored at dst and read back into the recursion one block at a time.
  template <int I> [[gnu::always_inline]] void pair(int j, const uint32_t* far) {
    using namespace simd;
    const BlockPair a = pair_load(src + 4 * j);
    uint32_t* d = dst + 4 * j;
    pair_store(d, pair_xor(pair_xor(a, pair_left_bytes<1>(a)), pair_and(pair_words_right<11>(pair_load(far)), mask)));
    step<I>(c, d, block_reload(d)), step<I + 1>(c, d + 4, block_reload(d + 4));
  }
  // Twelve blocks from j (a multiple of 6) whose far blocks lie in the old state (Old)
  // or in the new one.
  template <bool Old> [[gnu::always_inline]] void twelve(int j) {
    const uint32_t* far = Old ? src + 4 * (j + kPos1) : dst + 4 * (j + kPos1 - kBlocks);
    pair<0>(j, far), pair<2>(j + 2, far + 8), pair<4>(j + 4, far + 16);
    pair<0>(j + 6, far + 24), pair<2>(j + 8, far + 32), pair<4>(j + 10, far + 40);
  }
};

// dst = the state after src (dst may be src). Block j's far block is j + 122: old for
// j < 34, from the new state from there on (the pairs at 32 and 34 split there).
void next_state(const uint32_t* src, uint32_t* dst) {
  using namespace simd;
  // Block 0 takes r_{-2}, r_{-1} from the old state's last blocks, and g s_{-1} = g r_{-1}.
  const Block r2 = block_load(src + 4 * (kBlocks - 2)), r1 = block_load(src + 4 * (kBlocks - 1));
  Next n{src, dst, pair_splat(kMask[0], kMask[1], kMask[2], kMask[3]), Carry{{f(r2), f(r1)}, g(r1)}};
  n.twelve<true>(0), n.twelve<true>(12);
  constexpr int kSplit = kBlocks - kPos1;  // 34
  const uint32_t* far = src + 4 * (24 + kPos1);
  n.pair<0>(24, far), n.pair<2>(26, far + 8), n.pair<4>(28, far + 16);
  n.pair<0>(30, far + 24), n.pair<2>(32, far + 32), n.pair<4>(kSplit, dst);
  for (int j = kSplit + 2; j < kBlocks; j += 12) n.twelve<false>(j);
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
      &st->pos, n, [st] { next_state(st->w, st->w), st->generated = 1; }, take);
}

// The words left in the array, then whole arrays made straight into out, each from the
// one before it there, the last copied back as the state; then the rest.
void raw(SfmtState* st, uint32_t* out, int64_t n) {
  auto copy = [st](uint32_t* to) {
    return [st, to](uint32_t p, int64_t i, int64_t m) { std::memcpy(to + i, st->w + p, size_t(m) * 4); };
  };
  const int64_t left = kWords - (st->pos < uint32_t(kWords) ? st->pos : uint32_t(kWords));
  int64_t i = n < left ? n : left;
  walk_words(st, i, copy(out));
  if (n - i >= kWords) {
    const uint32_t* from = st->w;
    for (; n - i >= kWords; i += kWords) next_state(from, out + i), from = out + i;
    std::memcpy(st->w, from, sizeof st->w);
    st->generated = 1;
  }
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
