// PHILOX4X32X10: ten Philox rounds over a four-word counter with a two-word key. Sixteen
// counters run side by side, word j of every counter in one register.
#include "rng/brng/counter.h"
#include "rng/brng/entry_points.h"
#include "simd/word_planes.h"

namespace nrx::rng {
namespace {

constexpr uint32_t kMul0 = 0xD2511F53u, kMul1 = 0xCD9E8D57u;
constexpr uint32_t kBump0 = 0x9E3779B9u, kBump1 = 0xBB67AE85u;  // golden ratio, sqrt(3) - 1
constexpr int kRounds = 10;

struct Philox {
  static constexpr int kKeyWords = 2;
  struct State {
    uint32_t key[2];
    uint32_t ctr[4];
    uint32_t used;
    uint32_t buf[4];
  };

  // Sixteen blocks from the counter planes c into out (64 words).
  static void run16(const State* st, simd::IReg c[4], uint32_t* out) {
    using namespace simd;
    const IReg m0 = splat_word(kMul0), m1 = splat_word(kMul1);
    uint32_t k0 = st->key[0], k1 = st->key[1];
    for (int r = 0; r < kRounds; ++r, k0 += kBump0, k1 += kBump1) {
      const IReg hi0 = mul_hi_words(c[0], m0), lo0 = mul_lo_words(c[0], m0);
      const IReg hi1 = mul_hi_words(c[2], m1), lo1 = mul_lo_words(c[2], m1);
      c[0] = bit_xor(bit_xor(hi1, c[1]), splat_word(k0));
      c[1] = lo1;
      c[2] = bit_xor(bit_xor(hi0, c[3]), splat_word(k1));
      c[3] = lo0;
    }
    IReg b[4];
    planes_to_blocks(c, b);
    for (int q = 0; q < 4; ++q) store_words(out + 16 * q, b[q]);
  }

  // Counter planes of ctr + base .. ctr + base + 15.
  static void planes(const uint32_t ctr[4], uint64_t base, simd::IReg c[4]) {
    uint32_t first[4] = {ctr[0], ctr[1], ctr[2], ctr[3]};
    counter_add(first, base, 0);
    if (first[0] <= 0xFFFFFFFFu - 15) {
      c[0] = simd::add_words(simd::splat_word(first[0]), simd::word_index());
      for (int w = 1; w < 4; ++w) c[w] = simd::splat_word(first[w]);
      return;
    }
    alignas(64) uint32_t run[64], plane[4][16];
    counter_run(first, run);
    for (int j = 0; j < 16; ++j)
      for (int w = 0; w < 4; ++w) plane[w][j] = run[4 * j + w];
    for (int w = 0; w < 4; ++w) c[w] = simd::load_words(plane[w]);
  }

  static void blocks(const State* st, const uint32_t ctr[4], int64_t nblocks, uint32_t* out) {
    simd::IReg c[4];
    int64_t j = 0;
    for (; nblocks - j >= 16; j += 16) {
      planes(ctr, uint64_t(j), c);
      run16(st, c, out + 4 * j);
    }
    if (j < nblocks) {
      alignas(64) uint32_t tmp[64];
      planes(ctr, uint64_t(j), c);
      run16(st, c, tmp);
      for (int64_t w = 0; w < 4 * (nblocks - j); ++w) out[4 * j + w] = tmp[w];
    }
  }
};
static_assert(sizeof(Philox::State) + sizeof(DruStream) <= 64, "fits the registered state size");

}  // namespace

NRX_BRNG_ENTRY_POINTS(PHILOX4X32X10, Counter<Philox>)

}  // namespace nrx::rng
