// Tempering masks b, c of a member chosen for equidistribution: k(v), the largest k for
// which the top v bits of k consecutive outputs are equidistributed over the period, by
// the lattice method over generator states, and the masks built bit by bit from the top,
// each step keeping the admissible choice that maximises k(v + 1).
#pragma once
#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "tools/mt2203/recurrence.h"

namespace mt2203 {

constexpr int kShiftB = 7, kShiftC = 15;
constexpr int kOptimisedBits = 16;  // masks tuned for the top 1 .. 16 bits
constexpr int kRestarts = 1;    // greedy passes per member

inline uint32_t top_bit(int v) { return 0x80000000u >> v; }

// A lattice vector: a generator state, the top bits of its latest output (its leading
// coefficient) and the number of steps taken (its degree, counted upward).
struct LatticeVector {
  Ring state;
  uint32_t lead = 0;
  int count = 0;
};

struct Tempering {
  uint32_t a, b = 0, c = 0, top = 0;
  Ring seed;

  void advance(LatticeVector& x) const {
    x.lead = temper(x.state.step(a), b, c) & top;
    ++x.count;
  }
  // x += y, word k after each head matched; three runs where neither ring wraps.
  static void add(LatticeVector& x, const LatticeVector& y) {
    int i = x.state.head, j = y.state.head, k = 0;
    while (k < kN) {
      const int run = std::min(kN - k, std::min(kN - i, kN - j));
      for (int t = 0; t < run; ++t) x.state.w[i + t] ^= y.state.w[j + t];
      k += run, i += run, j += run;
      if (i == kN) i = 0;
      if (j == kN) j = 0;
    }
    x.lead ^= y.lead;
  }
  static bool zero(const LatticeVector& x) {
    if (x.state.w[x.state.head] & kUpper) return false;
    for (int k = 0; k < kN; ++k)
      if (k != x.state.head && x.state.w[k]) return false;
    return true;
  }

  // k(v) for the current masks: a reduced basis of v vectors from the unit vectors and
  // one generator vector; k(v) is the least degree left in the basis.
  int equidistribution(int v) {
    top = 0;
    for (int i = 0; i < v; ++i) top |= top_bit(i);
    std::vector<LatticeVector> store(v + 1);
    LatticeVector* basis[33];  // swapped by pointer: a vector is 288 bytes
    for (int i = 0; i <= v; ++i) basis[i] = &store[i];
    for (int i = 0; i < v; ++i) {
      for (uint32_t& w : basis[i]->state.w) w = 0;
      basis[i]->lead = top_bit(i);
    }
    LatticeVector* x = basis[v];
    x->state = seed;
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
  // setting with the largest k(v + 1) and ties in an order drawn from `order`; returns
  // the sum of the k(v) reached.
  int optimise_once(uint64_t order) {
    b = c = 0;
    int total = 0;
    for (int v = 0; v < kOptimisedBits; ++v) {
      auto opts = choices(v);
      for (size_t i = opts.size(); i > 1; --i) {  // Fisher-Yates with xorshift64
        order ^= order << 13, order ^= order >> 7, order ^= order << 17;
        std::swap(opts[i - 1], opts[order % i]);
      }
      int best = -1;
      std::pair<uint32_t, uint32_t> pick = opts[0];
      for (const auto& o : opts) {
        b = o.first, c = o.second;
        const int k = equidistribution(v + 1);
        if (k > best) best = k, pick = o;
        if (k == kDeg / (v + 1)) break;  // the bound: no later setting can do better
      }
      b = pick.first, c = pick.second;
      total += best;
    }
    return total;
  }
  // The best of kRestarts greedy passes: ties decide early bits whose worth shows later.
  void optimise(uint64_t seed) {
    int best = -1;
    uint32_t bb = 0, cc = 0;
    for (int r = 0; r < kRestarts; ++r) {
      const int total = optimise_once(seed * 0x9E3779B97F4A7C15ull + uint64_t(r) + 1);
      if (total > best) best = total, bb = b, cc = c;
    }
    b = bb, c = cc;
  }
};

}  // namespace mt2203
