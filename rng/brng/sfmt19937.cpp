// SFMT19937: the SIMD-oriented twister over 156 blocks of 128 bits, regenerated in
// place four blocks per register. Outputs are the state words in array order.
#include "rng/brng/entry_points.h"
#include "rng/brng/output.h"
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

// r = a ^ (a << 8 bits) ^ ((b >> 11) & mask) ^ (c >> 8 bits) ^ (d << 18), per block,
// with c and d the two blocks made before r: four blocks per register, the chain
// through c and d resolved in four passes (pass k makes block k exact).
inline simd::IReg step4(simd::IReg a, simd::IReg b, simd::IReg prev) {
  using namespace simd;
  const IReg t = bit_xor(bit_xor(a, blocks_left_bytes<1>(a)),
                         bit_and(words_right<11>(b), splat_block(kMask[0], kMask[1], kMask[2], kMask[3])));
  IReg r = t;
  for (int pass = 0; pass < 4; ++pass) {
    const IReg c = blocks_carry<2>(r, prev), d = blocks_carry<1>(r, prev);
    r = bit_xor(t, bit_xor(blocks_right_bytes<1>(c), words_left<18>(d)));
  }
  return r;
}

// The next state in place. Block j's far block is j + 122, old for j < 34 and already
// new from there on; the register of blocks 32..35 takes 154, 155 (old) and 0, 1 (new).
void regenerate(uint32_t* w) {
  using namespace simd;
  IReg prev = load_words(w + kWords - 16);
  for (int v = 0; v < kBlocks / 4; ++v) {
    const int j = 4 * v, far = (j + kPos1) % kBlocks;
    IReg b;
    if (far + 4 <= kBlocks) {
      b = load_words(w + 4 * far);
    } else {
      alignas(64) uint32_t tmp[16];
      const int head = 4 * (kBlocks - far);
      for (int t = 0; t < 16; ++t) tmp[t] = t < head ? w[4 * far + t] : w[t - head];
      b = load_words(tmp);
    }
    prev = step4(load_words(w + 4 * j), b, prev);
    store_words(w + 4 * j, prev);
  }
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
  walk<kWords>(&st->pos, n, [st] { regenerate(st->w), st->generated = 1; }, take);
}

void raw(SfmtState* st, uint32_t* out, int64_t n) {
  walk_words(st, n, [st, out](uint32_t p, int64_t i, int64_t m) { std::memcpy(out + i, st->w + p, size_t(m) * 4); });
}

struct Sfmt19937 {
  static int32_t seed(DruStream* s, int32_t n, const uint32_t* params) {
    SfmtState* st = state_of<SfmtState>(s);
    init_by_array(st->w, twister_key(n, params));
    std::memset(st->spare, 0, sizeof st->spare);
    st->pos = 0, st->generated = 0;
    return DRU_OK;
  }
  static int32_t skip(DruStream* s, uint64_t count) {
    walk_words(checked(s), int64_t(count), [](uint32_t, int64_t, int64_t) {});
    return DRU_OK;
  }
  template <class T> static void reals(DruStream* s, int64_t n, T* r, double a, double b) {
    SfmtState* st = checked(s);
    emit_blocks<2048, uint32_t>(0, n, [st](uint32_t* w, int64_t m) { raw(st, w, m); }, RealSink<T>(r, 0x1p-32, a, b));
  }
  static void words(DruStream* s, int64_t n, uint32_t* r) {
    if (n > 0) raw(checked(s), r, n);
  }
};

}  // namespace

NRX_BRNG_ENTRY_POINTS(SFMT19937, Sfmt19937)

}  // namespace nrx::rng
