// The counter-based generators' common body: a keyed block function of a 128-bit
// counter gives four words per counter value, taken in order. The state keeps the key,
// the counter of the next block, the words already taken from the buffered block and
// that block. A consumed count of 0 means no word is waiting: the buffered block, when
// one is, was made from the counter before the stored one.
// G supplies
//   struct State { key[], uint32_t ctr[4]; uint32_t used; uint32_t buf[4]; };
//   static constexpr int kKeyWords;
//   static void blocks(const State* st, const uint32_t ctr[4], int64_t nblocks, uint32_t* out);
#pragma once
#include "rng/brng/output.h"
#include "rng/internal.h"

namespace nrx::rng {

// c <- c + (hi, lo) modulo 2^128, words least significant first.
inline void counter_add(uint32_t c[4], uint64_t lo, uint64_t hi) {
  const uint64_t c_lo = uint64_t(c[0]) | uint64_t(c[1]) << 32, c_hi = uint64_t(c[2]) | uint64_t(c[3]) << 32;
  const uint64_t s_lo = c_lo + lo, s_hi = c_hi + hi + (s_lo < c_lo ? 1 : 0);
  c[0] = uint32_t(s_lo), c[1] = uint32_t(s_lo >> 32), c[2] = uint32_t(s_hi), c[3] = uint32_t(s_hi >> 32);
}

// Counters c, c + 1, ..., c + 15 as sixteen blocks of four words.
inline void counter_run(const uint32_t c[4], uint32_t out[64]) {
  for (int j = 0; j < 16; ++j) {
    for (int w = 0; w < 4; ++w) out[4 * j + w] = c[w];
    counter_add(out + 4 * j, uint64_t(j), 0);
  }
}

template <class G> struct Counter {
  using State = typename G::State;

  static int32_t seed(DruStream* s, int32_t n, const uint32_t* p) {
    State* st = state_of<State>(s);
    *st = State{};
    for (int i = 0; i < G::kKeyWords && i < n; ++i) st->key[i] = p[i];
    for (int i = 0; i < 4 && G::kKeyWords + i < n; ++i) st->ctr[i] = p[G::kKeyWords + i];
    return DRU_OK;
  }

  static int32_t skip(DruStream* s, uint64_t count) {
    const uint64_t c[1] = {count};
    return advance(s, 1, c);
  }
  static int32_t skip_words(DruStream* s, int32_t n, const uint64_t* count) { return advance(s, n, count); }

  static void words(DruStream* s, int64_t n, uint32_t* r) {
    State* st = state_of<State>(s);
    int64_t i = 0;
    for (; st->used != 0 && i < n; ++i) {
      r[i] = st->buf[st->used];
      st->used = (st->used + 1) & 3;
    }
    const int64_t whole = (n - i) / 4;
    if (whole > 0) {
      G::blocks(st, st->ctr, whole, r + i);
      counter_add(st->ctr, uint64_t(whole), 0);
      i += 4 * whole;
    }
    if (i < n) {
      refill(st);
      for (; i < n; ++i) r[i] = st->buf[st->used++];
    }
  }

  template <class T> static void reals(DruStream* s, int64_t n, T* r, double a, double b) {
    emit_blocks<2048, uint32_t>(
        0, n, [s](uint32_t* w, int64_t m) { words(s, m, w); }, RealSink<T>(r, 0x1p-32, a, b));
  }

 private:
  // The block of the stored counter into the buffer; the counter moves on.
  static void refill(State* st) {
    G::blocks(st, st->ctr, 1, st->buf);
    counter_add(st->ctr, 1, 0);
  }

  // Skips the count of n 64-bit words: the words waiting in the buffer first, then whole
  // blocks by counter arithmetic (only the count's bits below 2^130 reach the counter).
  static int32_t advance(DruStream* s, int32_t n, const uint64_t* count) {
    State* st = state_of<State>(s);
    uint64_t c[3] = {0, 0, 0};
    bool above = false;  // a word above the third is non-zero: the count exceeds any waiting words
    for (int32_t k = 0; k < n; ++k) {
      if (k < 3) c[k] = count[k];
      else if (count[k] != 0) above = true;
    }
    const uint64_t waiting = st->used ? 4 - st->used : 0;
    if (!above && c[1] == 0 && c[2] == 0 && c[0] < waiting) {
      st->used += uint32_t(c[0]);
      return DRU_OK;
    }
    const uint64_t b0 = c[0] < waiting ? 1 : 0, b1 = (c[1] < b0) ? 1 : 0;
    c[0] -= waiting, c[1] -= b0, c[2] -= b1;
    st->used = 0;
    const uint32_t rest = uint32_t(c[0] & 3);
    counter_add(st->ctr, c[0] >> 2 | c[1] << 62, c[1] >> 2 | c[2] << 62);
    if (rest != 0) {
      refill(st);
      st->used = rest;
    }
    return DRU_OK;
  }
};

}  // namespace nrx::rng
