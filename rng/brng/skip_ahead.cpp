// Skip-ahead of GF(2)-linear generators through their callbacks: g = x^M mod phi, then
// g(T) s by Horner's rule, one coefficient or one window of coefficients at a time.
#include "nrx/core.h"
#include "rng/brng/gf2_jump.h"
#include "rng/internal.h"

namespace nrx::rng {
namespace {

struct Callbacks {
  DruSkipLoadFn load;
  DruSkipStoreFn store;
  DruSkipClearFn clear;
  DruSkipCopyFn copy;
  DruSkipStepFn step;
  DruSkipAddFn add;
  bool complete() const { return load && store && clear && copy && step && add; }
};

// 2^8 combinations of s, T s, ..., T^7 s: 640 KB for the twisters, inside L2.
constexpr int kWindow = 8;

// width 1 is Horner's rule: the table is s alone.
int32_t skip(DruStream* stream, const Callbacks& cb, uint64_t n, int32_t words, int32_t degree, int32_t size,
             int32_t nterms, const uint32_t* terms, int width) {
  if (!stream || !cb.complete() || words < 1 || size < int32_t(sizeof(DruStream)) + 4 * words ||
      int64_t(degree) > 32 * int64_t(words) || !gf2::valid_terms(degree, nterms, terms))
    return DRU_E_BAD_ARGUMENT;
  if (n == 0) return DRU_OK;
  const size_t stride = (size_t(size) + 127) / 128 * 128;
  const int entries = 1 << width;  // entry 0 holds the accumulator
  auto* blocks = static_cast<unsigned char*>(nrx_serv_allocate(stride * size_t(entries), 128));
  auto* poly = static_cast<gf2::Poly*>(nrx_serv_allocate(sizeof(gf2::Poly), 128));
  if (!blocks || !poly) {
    nrx_serv_deallocate(poly);
    nrx_serv_deallocate(blocks);
    return DRU_E_NO_MEMORY;
  }
  auto at = [&](int k) { return static_cast<void*>(blocks + stride * size_t(k)); };
  cb.load(at(1), stream);
  const bool discard = int64_t(degree) < 32 * int64_t(words);  // bits one step forgets
  if (discard) cb.step(at(1));
  gf2::power_of_x(*poly, n - (discard ? 1 : 0), gf2::Modulus(terms, nterms));
  for (int j = 1; j < width; ++j) {
    cb.copy(at(1 << j), at(1 << (j - 1)));
    cb.step(at(1 << j));
  }
  for (int h = 3; h < entries; ++h) {
    const int low = h & -h;
    if (h == low) continue;
    cb.copy(at(h), at(h - low));
    cb.add(at(h), at(low));
  }
  // Windows from the highest down: acc = T^width acc + h(T) s.
  int top = degree - 1;
  while (top > 0 && !poly->bit(top)) --top;
  bool started = false;
  for (int k = top / width; k >= 0; --k) {
    int h = 0;
    for (int b = width - 1; b >= 0; --b) h = 2 * h + (k * width + b < degree && poly->bit(k * width + b));
    if (started)
      for (int t = 0; t < width; ++t) cb.step(at(0));
    if (!h) continue;
    if (started) {
      cb.add(at(0), at(h));
    } else {
      cb.copy(at(0), at(h));
      started = true;
    }
  }
  if (!started) cb.clear(at(0));
  cb.store(stream, at(0));
  nrx_serv_deallocate(poly);
  nrx_serv_deallocate(blocks);
  return DRU_OK;
}

}  // namespace
}  // namespace nrx::rng

using nrx::rng::Callbacks;

extern "C" NRX_RNG_API int32_t _dru_SkipAheadHorner(DruStream* stream, DruSkipLoadFn load, DruSkipStoreFn store,
                                                    DruSkipClearFn clear, DruSkipCopyFn copy, DruSkipStepFn step,
                                                    DruSkipAddFn add, uint64_t n, int32_t words, int32_t degree,
                                                    int32_t stream_size, int32_t nterms, const uint32_t* terms) {
  return nrx::rng::skip(stream, Callbacks{load, store, clear, copy, step, add}, n, words, degree, stream_size, nterms,
                        terms, 1);
}

extern "C" NRX_RNG_API int32_t _dru_SkipAheadSWin(DruStream* stream, DruSkipLoadFn load, DruSkipStoreFn store,
                                                  DruSkipClearFn clear, DruSkipCopyFn copy, DruSkipStepFn step,
                                                  DruSkipAddFn add, uint64_t n, int32_t words, int32_t degree,
                                                  int32_t stream_size, int32_t nterms, const uint32_t* terms) {
  return nrx::rng::skip(stream, Callbacks{load, store, clear, copy, step, add}, n, words, degree, stream_size, nterms,
                        terms, nrx::rng::kWindow);
}
