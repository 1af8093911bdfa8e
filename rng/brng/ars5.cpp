// ARS5: counter XOR key, four AES rounds and a final one with round keys key + i W
// (W the two 64-bit Weyl increments). One block per AES-NI round, or four per VAES
// round on processors that have it; both give the same words.
#include "nrx/core.h"
#include "rng/brng/counter.h"
#include "rng/brng/entry_points.h"
#include "simd/aes.h"

namespace nrx::rng {
namespace {

constexpr uint64_t kWeylLo = 0x9E3779B97F4A7C15ull;  // golden ratio
constexpr uint64_t kWeylHi = 0xBB67AE8584CAA73Bull;  // sqrt(3) - 1

struct Ars {
  static constexpr int kKeyWords = 4;
  struct State {
    uint32_t key[4];
    uint32_t ctr[4];
    uint32_t used;
    uint32_t buf[4];
  };

  static bool usable() {
    static const bool aes = cpu_has_aes();
    return aes;
  }

  NRX_AES_TARGET static void round_keys(const State* st, simd::Block k[6]) {
    const simd::Block w = simd::block_of(kWeylLo, kWeylHi);
    k[0] = simd::load_block(st->key);
    for (int i = 1; i < 6; ++i) k[i] = simd::block_add64(k[i - 1], w);
  }

  NRX_AES_TARGET static simd::Block block(const simd::Block k[6], simd::Block c) {
    simd::Block v = simd::block_xor(c, k[0]);
    for (int i = 1; i < 5; ++i) v = simd::aes_round(v, k[i]);
    return simd::aes_last_round(v, k[5]);
  }

  // Sixteen blocks from counters ctr + base .. ctr + base + 15, four per register.
  NRX_AES_TARGET static void run16(const simd::IReg k[6], const uint32_t ctr[4], uint64_t base, uint32_t* out) {
    using namespace simd;
    uint32_t first[4] = {ctr[0], ctr[1], ctr[2], ctr[3]};
    counter_add(first, base, 0);
    IReg c[4];
    if (uint64_t(first[0]) + (uint64_t(first[1]) << 32) <= ~uint64_t(0) - 15) {
      const IReg start = splat_block(load_block(first));
      for (int q = 0; q < 4; ++q) c[q] = add64(start, low_half_steps(uint64_t(4 * q)));
    } else {
      alignas(64) uint32_t run[64];
      counter_run(first, run);
      for (int q = 0; q < 4; ++q) c[q] = load_words(run + 16 * q);
    }
    for (int q = 0; q < 4; ++q) c[q] = bit_xor(c[q], k[0]);
    for (int i = 1; i < 5; ++i)
      for (int q = 0; q < 4; ++q) c[q] = aes_round(c[q], k[i]);
    for (int q = 0; q < 4; ++q) store_words(out + 16 * q, aes_last_round(c[q], k[5]));
  }

  NRX_AES_TARGET static void blocks(const State* st, const uint32_t ctr[4], int64_t nblocks, uint32_t* out) {
    static const bool vaes = nrx_serv_cpuisicx() != 0;
    simd::Block k[6];
    round_keys(st, k);
    int64_t j = 0;
    if (vaes && nblocks >= 16) {
      simd::IReg wide[6];
      for (int i = 0; i < 6; ++i) wide[i] = simd::splat_block(k[i]);
      for (; nblocks - j >= 16; j += 16) run16(wide, ctr, uint64_t(j), out + 4 * j);
    }
    for (; j < nblocks; ++j) {
      uint32_t c[4] = {ctr[0], ctr[1], ctr[2], ctr[3]};
      counter_add(c, uint64_t(j), 0);
      simd::store_block(out + 4 * j, block(k, simd::load_block(c)));
    }
  }
};
static_assert(sizeof(Ars::State) + sizeof(DruStream) <= 72, "fits the registered state size");

// Skip-ahead makes a block, so it needs the AES instructions as output does.
struct Ars5 : Counter<Ars> {
  static int32_t skip(DruStream* s, uint64_t count) {
    return Ars::usable() ? Counter<Ars>::skip(s, count) : int32_t(DRU_E_NO_AES);
  }
  static int32_t skip_words(DruStream* s, int32_t n, const uint64_t* count) {
    return Ars::usable() ? Counter<Ars>::skip_words(s, n, count) : int32_t(DRU_E_NO_AES);
  }
  static bool usable() { return Ars::usable(); }
  static constexpr int32_t kUnusable = DRU_E_NO_AES;
};

}  // namespace

NRX_BRNG_ENTRY_POINTS(ARS5, Ars5)

}  // namespace nrx::rng
