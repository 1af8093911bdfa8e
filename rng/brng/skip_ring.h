// The skip-ahead callbacks of a twister whose working state is its stream block with
// the state array kept as a ring of elements (G::kStep words each) and the ring's head
// (the oldest element) in the position word.
#pragma once
#include <algorithm>
#include <cstring>

#include "rng/internal.h"
#include "simd/word32.h"

namespace nrx::rng {

// G: State (the stream's state struct), words(state) and head(state) (its array and
// its position word), kElems, kStep and step(ring, head), which writes the next
// element over the oldest at head.
template <class G> struct SkipRing {
  using State = typename G::State;
  static constexpr int kWords = G::kElems * G::kStep;
  static State* of(void* p) { return state_of<State>(static_cast<DruStream*>(p)); }
  static const State* of(const void* p) { return state_of<State>(static_cast<const DruStream*>(p)); }

  static void load(void* work, const DruStream* s) {
    std::memcpy(work, s, sizeof(DruStream) + sizeof(State));
    *G::head(of(work)) = 0;
  }
  static void store(DruStream* s, const void* work) {
    const State* w = of(work);
    const int h = int(*G::head(w)) * G::kStep;
    uint32_t* out = G::words(state_of<State>(s));
    std::memcpy(out, G::words(w) + h, size_t(kWords - h) * 4);
    std::memcpy(out + kWords - h, G::words(w), size_t(h) * 4);
  }
  static void clear(void* work) { std::memset(work, 0, sizeof(DruStream) + sizeof(State)); }
  static void copy(void* dst, const void* src) { std::memcpy(dst, src, sizeof(DruStream) + sizeof(State)); }
  static void step(void* work) {
    State* w = of(work);
    uint32_t* h = G::head(w);
    G::step(G::words(w), int(*h));
    *h = *h + 1 == uint32_t(G::kElems) ? 0 : *h + 1;
  }
  // Element e of dst (counted from its head) ^= element e of src: at most three runs.
  static void add(void* dst, const void* src) {
    State* d = of(dst);
    const State* s = of(src);
    int a = int(*G::head(d)) * G::kStep, b = int(*G::head(s)) * G::kStep;
    for (int left = kWords; left > 0;) {
      const int run = std::min(left, std::min(kWords - a, kWords - b));
      simd::xor_words(G::words(d) + a, G::words(s) + b, run);
      a = (a + run) % kWords, b = (b + run) % kWords, left -= run;
    }
  }
};

}  // namespace nrx::rng
