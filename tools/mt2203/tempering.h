// Tempering masks b, c of a member chosen for equidistribution: k(v), the largest k for
// which the top v bits of k consecutive outputs are equidistributed over the period, by
// the lattice method over generator states, and the masks built bit by bit from the top,
// each step keeping the admissible choice that maximises k(v + 1), then the bits of the
// lower levels revised one at a time against the sum of all k(v) / floor(2203 / v).
#pragma once
#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "tools/mt2203/recurrence.h"

namespace mt2203 {

constexpr int kShiftB = 7, kShiftC = 15;
constexpr int kOptimisedBits = 16;  // masks scored on the top 1 .. 16 bits
constexpr int kPolishFrom = 10;     // the greedy's settings reaching no output bit above this are revisited

inline uint32_t top_bit(int v) { return 0x80000000u >> v; }

// A lattice vector: a generator state, the top bits of its latest output (its leading
// coefficient) and the number of steps taken (its degree, counted upward). The state is
// the window w[p .. p + 69) of a run of kRun words, oldest first: a step appends a word,
// so the sum of two states is one straight pass whatever their ages.
constexpr int kRun = 1024;
struct LatticeVector {
  uint32_t* w;
  int p = 0;
  uint32_t lead = 0;
  int count = 0;
  // The next untempered word of the recurrence with matrix word a (Ring::step).
  uint32_t step(uint32_t a) {
    if (p + kN == kRun) std::copy(w + p, w + p + kN, w), p = 0;
    const uint32_t y = (w[p] & kUpper) | (w[p + 1] & kLower);
    const uint32_t out = w[p + kM] ^ (y >> 1) ^ ((y & 1u) ? a : 0u);
    w[p + kN] = out;
    ++p;
    return out;
  }
};

struct Tempering {
  uint32_t a, b = 0, c = 0, top = 0;
  Ring seed;
  std::vector<uint32_t> runs = std::vector<uint32_t>(34 * kRun);

  void advance(LatticeVector& x) const {
    x.lead = temper(x.step(a), b, c) & top;
    ++x.count;
  }
  static void add(LatticeVector& x, const LatticeVector& y) {
    uint32_t* __restrict d = x.w + x.p;
    const uint32_t* __restrict s = y.w + y.p;
    for (int k = 0; k < kN; ++k) d[k] ^= s[k];
    x.lead ^= y.lead;
  }
  static bool zero(const LatticeVector& x) {
    if (x.w[x.p] & kUpper) return false;
    for (int k = 1; k < kN; ++k)
      if (x.w[x.p + k]) return false;
    return true;
  }

  // k(v) for the current masks: a reduced basis of v vectors from the unit vectors and
  // one generator vector; k(v) is the least degree left in the basis.
  int equidistribution(int v) {
    top = 0;
    for (int i = 0; i < v; ++i) top |= top_bit(i);
    LatticeVector store[33];
    LatticeVector* basis[33];  // swapped by pointer
    for (int i = 0; i <= v; ++i) basis[i] = &store[i], store[i].w = runs.data() + size_t(i) * kRun;
    for (int i = 0; i < v; ++i) {
      std::fill(basis[i]->w, basis[i]->w + kN, 0u);
      basis[i]->lead = top_bit(i);
    }
    LatticeVector* x = basis[v];
    for (int k = 0; k < kN; ++k) x->w[k] = seed.w[(seed.head + k) % kN];
    advance(*x);
    constexpr int kSteps = kDeg + 64;  // beyond the degree the working vector is zero
    while (true) {
      if (!x->lead) {
        if (zero(*x)) break;
        while (!x->lead && x->count < kSteps) advance(*x);
        if (!x->lead) break;
      }
      // The basis keeps the vector of larger degree; the other is reduced by it.
      const int pivot = __builtin_clz(x->lead);
      if (basis[pivot]->count < x->count) std::swap(basis[pivot], x);
      add(*x, *basis[pivot]);
    }
    int least = basis[0]->count;
    for (int i = 1; i < v; ++i) least = std::min(least, basis[i]->count);
    return least;
  }

  // The settings of bit v of c and of b, and of bit v + 15 of b when bit v of c is set
  // (bits of b below the top 25 and of c below the top 17 do not reach the output). Each
  // level leaves the top bits of the output above bit v as they were.
  std::vector<std::pair<uint32_t, uint32_t>> choices(int v) const {
    std::vector<std::pair<uint32_t, uint32_t>> out;
    for (uint32_t cv : v + kShiftC < 32 ? std::vector<uint32_t>{c | top_bit(v), c} : std::vector<uint32_t>{c}) {
      std::vector<uint32_t> bv{0};
      if (v + kShiftB >= 32) bv = {0};
      else if (v >= kShiftC && (cv & top_bit(v - kShiftC))) bv = {b & top_bit(v)};  // fixed: it reaches bit v - 15
      else bv = {top_bit(v), 0};
      std::vector<uint32_t> bt{0};
      if (v + kShiftC + kShiftB < 32 && (cv & top_bit(v))) bt = {top_bit(v + kShiftC), 0};
      uint32_t keep = ~top_bit(v);
      if (v + kShiftC < 32) keep &= ~top_bit(v + kShiftC);
      for (uint32_t t : bt)
        for (uint32_t x : bv) out.push_back({(b & keep) | x | t, cv});
    }
    return out;
  }

  // Bits 0 .. kOptimisedBits - 1 from the top, level by level, each level taking the
  // first setting with the largest k(v + 1) (final once level v is set), settings with
  // bits set first; k[v] receives k(v).
  void greedy(int* k) {
    b = c = 0;
    for (int v = 0; v < kOptimisedBits; ++v) {
      int best = -1;
      std::pair<uint32_t, uint32_t> pick{b, c};
      for (const auto& o : choices(v)) {
        b = o.first, c = o.second;
        const int kv = equidistribution(v + 1);
        if (kv > best) best = kv, pick = o;
        if (kv == kDeg / (v + 1)) break;  // the bound: no later setting can do better
      }
      b = pick.first, c = pick.second;
      k[v + 1] = best;
    }
  }
  // The sum of k(v) / floor(2203 / v) over v = 1 .. kOptimisedBits into k[v], with k(v)
  // made again only above v = from: the top `from` output bits are those k was made for.
  double score(int* k, int from) {
    double total = 0;
    for (int v = 1; v <= kOptimisedBits; ++v) {
      if (v > from) k[v] = equidistribution(v);
      total += double(k[v]) / double(kDeg / v);
    }
    return total;
  }
  // Single-bit changes of b (top 25 bits) and c (top 17 bits) that reach no output bit
  // above kPolishFrom, kept when they raise the score: a greedy level sees k(v + 1) only,
  // and a setting taken early can cost k(16) (137 or about 70) levels later. A bit of b
  // reaches output bit i, and bit i - 15 through a set bit of c; a bit of c its own.
  void polish(int* k) {
    double best = score(k, kOptimisedBits);
    for (int bit = 0; bit < 25 + 17; ++bit) {
      const uint32_t b0 = b, c0 = c;
      int from = bit < 25 ? bit : bit - 25;
      if (bit < 25 && bit >= kShiftC && (c & top_bit(bit - kShiftC))) from = bit - kShiftC;
      if (from < kPolishFrom || from >= kOptimisedBits) continue;
      if (bit < 25) b ^= top_bit(bit);
      else c ^= top_bit(from);
      int trial[33];
      std::copy(k, k + 33, trial);
      const double s = score(trial, from);
      if (s > best) best = s, std::copy(trial, trial + 33, k);
      else b = b0, c = c0;
    }
  }
  void optimise() {
    int k[33] = {};
    greedy(k);
    polish(k);
  }
};

}  // namespace mt2203
