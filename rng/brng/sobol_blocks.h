// Whole points of a dimension d <= 16, sixteen at a time, written as aligned registers.
// From the point of an index 16k - 1, point 16k + i is point 16k XOR t_i, t_i the rows
// of the bits of i ^ (i >> 1) (rows 0 to 3), so a block of 16 points is a fixed pattern:
// register k of the block (lanes at flat positions kV - m + i, m the output's offset
// from a register boundary) is spread(point 16k) XOR f_k, spread one of R = d / gcd(d, V)
// lane permutations and f_k the t_i laid out the same way. Per block the point moves by
// one row and t_15, which moves the R spread registers; each output register then costs
// one XOR and its conversion.
#pragma once
#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <numeric>
#include <utility>

#include "rng/brng/output.h"
#include "simd/word32.h"

namespace nrx::rng::quasi {

// The generation state of a call: 32 rows of `stride` words (row c: direction number c
// of every dimension) and the current point.
struct Run {
  const uint32_t* rows;
  uint32_t* point;
  uint32_t d, stride;
};

inline const uint32_t* row(const Run& r, uint32_t index) {
  return r.rows + size_t(std::countr_zero(~index)) * r.stride;
}

// Raw words: sixteen 32-bit lanes, the point in one register.
struct WordLanes {
  static constexpr int V = 16;
  using Lane = uint32_t;
  using M = simd::Mask16;
  static constexpr Lane kOne = 0;
  uint32_t* r;
  // V words from w as lanes: as values, and as indices of the point's lanes.
  static simd::IReg lanes(const uint32_t* w) { return simd::load_words(w); }
  static simd::IReg indices(const uint32_t* w) { return simd::load_words(w); }
  static void load(const uint32_t* w, uint32_t d, simd::IReg& lo, simd::IReg& hi) {
    lo = simd::load_words(w, simd::first_words(d));
    hi = lo;
  }
  static simd::IReg spread(simd::IReg idx, simd::IReg lo, simd::IReg) { return simd::permute_lanes<Lane>(lo, idx); }
  static simd::IReg xor_where(M m, simd::IReg a, simd::IReg b) { return simd::xor_where_words(m, a, b); }
  int phase(int64_t i) const { return int(reinterpret_cast<uintptr_t>(r + i) / sizeof(uint32_t) % V); }
  void put(int64_t i, simd::IReg a) const { simd::store_words(r + i, a); }
  void put(int64_t i, simd::IReg a, M m) const { simd::store_words(r + i, m, a); }
};

// Reals: eight 64-bit lanes holding the bits of the double 1 + x 2^-32 (x under the
// exponent of 1), so that XOR acts on x and one subtraction gives x 2^-32 exactly; the
// point in two registers. a + (b - a) x 2^-32 is then a + (b - a) u with the same single
// roundings, since (b - a) 2^-32 is exact where this path is taken. Unit: a = 0, b = 1.
template <class T, bool Unit> struct RealLanes {
  static constexpr int V = 8;
  using Lane = uint64_t;
  using M = simd::Mask8;
  static constexpr Lane kOne = 0x3FF0000000000000u;  // 1.0
  T* r;
  simd::Reg<double> a, ba;
  static simd::IReg lanes(const uint32_t* w) { return simd::shift_left64<20>(indices(w)); }
  static simd::IReg indices(const uint32_t* w) { return simd::widen_load(w, M(0xFF)); }
  static void load(const uint32_t* w, uint32_t d, simd::IReg& lo, simd::IReg& hi) {
    lo = simd::shift_left64<20>(simd::widen_load(w, M(simd::first_words(d))));
    hi = simd::shift_left64<20>(simd::widen_load(w + 8, d > 8 ? M(simd::first_words(d - 8)) : M(0)));
  }
  static simd::IReg spread(simd::IReg idx, simd::IReg lo, simd::IReg hi) { return simd::pick_lanes<Lane>(lo, idx, hi); }
  static simd::IReg xor_where(M m, simd::IReg a, simd::IReg b) { return simd::xor_where_u64(m, a, b); }
  int phase(int64_t i) const { return int(reinterpret_cast<uintptr_t>(r + i) / sizeof(T) % V); }
  simd::Reg<double> value(simd::IReg w) const {
    const simd::Reg<double> u = simd::sub(simd::bits_as_double(w), simd::splat(1.0));
    if constexpr (Unit) return u;
    else return simd::add(a, simd::mul(ba, u));
  }
  void put(int64_t i, simd::IReg w, M m) const { store_reals(r, i, value(w), m); }
  void put(int64_t i, simd::IReg w) const {
    if constexpr (std::is_same_v<T, double>) simd::store(r + i, value(w));
    else put(i, w, M(0xFF));
  }
};

// q mod D for the 48 D + 16 words of a block pattern (point_blocks).
template <int D> constexpr auto dims_mod = [] {
  std::array<uint32_t, 48 * D + 16> a{};
  for (uint32_t q = 0; q < a.size(); ++q) a[q] = q % D;
  return a;
}();

// Points index + 1 .. index + 16 blocks (index % 16 == 15) to flat positions at, at + 1, ...
// in dimension D; the K registers of a block are stored in order, register k from spread
// register k mod R, all held in registers.
template <int D, class Lanes>
void point_blocks(const Run& caller_run, uint32_t index, int64_t blocks, int64_t at, const Lanes& sink) {
  using namespace simd;
  const Run run = caller_run;  // a copy the stores cannot alias: its rows stay in registers
  using Lane = typename Lanes::Lane;
  using M = typename Lanes::M;
  constexpr int V = Lanes::V, K = 16 * D / V, R = D / std::gcd(D, V);
  const Lanes out = sink;  // a copy the stores cannot alias
  constexpr uint32_t d = D;
  const int m = out.phase(at);
  const M all = M(~0u), before = M((1u << m) - 1);
  // The block's pattern flat, t_0 .. t_15 laid out as the output lays out points 0 .. 15,
  // three times over, so that lane i of register k, flat position kV - m + i of the
  // block (those before it from the last block's points), is word 16d + kV - m + i.
  alignas(64) uint32_t flat[48 * D + 16];
  alignas(64) Lane f[2 * 16 + 1][V], idx[16][V];
  const Mask16 dm = first_words(d);
  IReg t15 = splat_u64(0);
  for (uint32_t i = 0; i < 16; ++i) {
    if (i > 0) t15 = bit_xor(t15, load_words(run.rows + size_t(std::countr_zero(i)) * run.stride, dm));
    for (uint32_t c = 0; c < 3; ++c) store_words(flat + 16 * d * c + i * d, dm, t15);
  }
  const uint32_t from = 16 * d - uint32_t(m);
  for (int k = 0; k <= K; ++k) store_words(reinterpret_cast<uint32_t*>(f[k]), Lanes::lanes(flat + from + k * V));
  for (int r = 0; r < R; ++r)
    store_words(reinterpret_cast<uint32_t*>(idx[r]), Lanes::indices(dims_mod<D>.data() + from + r * V));
  // s: the spread point, kept one t_15 ahead so that each block adds its row and t_15,
  // both at once from moves[c] = row c XOR t_15 (blocks start at indices 16k - 1, so c >= 4,
  // and c stays below the highest bit in which the first and last index differ).
  alignas(64) uint32_t moves[32][16];
  const int rows = std::min(32, int(std::bit_width(uint64_t(index) ^ (uint64_t(index) + 16 * uint64_t(blocks)))));
  for (int c = 4; c < rows; ++c) store_words(moves[c], bit_xor(load_words(run.rows + size_t(c) * run.stride, dm), t15));
  IReg x = load_words(run.point, dm), lo, hi, s[16];
  alignas(64) uint32_t start[16];
  store_words(start, bit_xor(x, t15));
  Lanes::load(start, d, lo, hi);
  for (int r = 0; r < R; ++r) s[r] = bit_or(Lanes::spread(load_bits(idx[r]), lo, hi), splat_u64(Lanes::kOne));
  for (int64_t b = 0; b < blocks; ++b, index += 16) {
    const uint32_t* w = moves[std::countr_zero(~index)];
    x = bit_xor(x, load_words(w));
    Lanes::load(w, d, lo, hi);
    const IReg d0 = Lanes::spread(load_bits(idx[0]), lo, hi);
    s[0] = bit_xor(s[0], d0);
    for (int r = 1; r < R; ++r) s[r] = bit_xor(s[r], Lanes::spread(load_bits(idx[r]), lo, hi));
    const int64_t base = at + b * 16 * int64_t(d) - m;
    const IReg first = bit_xor(s[0], load_bits(f[0]));
    // Lanes before the block hold the last block's points: point 16k with its move undone.
    if (b == 0) out.put(base, first, M(all & ~before));
    else out.put(base, Lanes::xor_where(before, first, d0));
    [&]<int... k>(std::integer_sequence<int, k...>) {
      (out.put(base + int64_t(k + 1) * V, bit_xor(s[(k + 1) % R], load_bits(f[k + 1]))), ...);
    }
    (std::make_integer_sequence<int, K - 1>());
  }
  // The last point's lanes before the register boundary after the blocks.
  if (m > 0 && blocks > 0) out.put(at + blocks * 16 * int64_t(d) - m, bit_xor(s[0], load_bits(f[K])), before);
  store_words(run.point, dm, x);
}

template <class Lanes> void point_blocks(const Run& run, uint32_t index, int64_t blocks, int64_t at, const Lanes& out) {
  switch (run.d) {
    case 1: return point_blocks<1>(run, index, blocks, at, out);
    case 2: return point_blocks<2>(run, index, blocks, at, out);
    case 3: return point_blocks<3>(run, index, blocks, at, out);
    case 4: return point_blocks<4>(run, index, blocks, at, out);
    case 5: return point_blocks<5>(run, index, blocks, at, out);
    case 6: return point_blocks<6>(run, index, blocks, at, out);
    case 7: return point_blocks<7>(run, index, blocks, at, out);
    case 8: return point_blocks<8>(run, index, blocks, at, out);
    case 9: return point_blocks<9>(run, index, blocks, at, out);
    case 10: return point_blocks<10>(run, index, blocks, at, out);
    case 11: return point_blocks<11>(run, index, blocks, at, out);
    case 12: return point_blocks<12>(run, index, blocks, at, out);
    case 13: return point_blocks<13>(run, index, blocks, at, out);
    case 14: return point_blocks<14>(run, index, blocks, at, out);
    case 15: return point_blocks<15>(run, index, blocks, at, out);
    default: return point_blocks<16>(run, index, blocks, at, out);
  }
}

}  // namespace nrx::rng::quasi
