// R250: the shift-register generator x[i] ^= x[i + 103 mod 250] over a ring of 250
// words (in time order x[n] = x[n-250] ^ x[n-147]). Requests of 250 or more values
// are computed as one linear block, 16 words per vector, and the ring restarts at 0.
#include "rng/brng/entry_points.h"
#include "rng/brng/output.h"
#include "rng/internal.h"

namespace nrx::rng {
namespace {

constexpr int kR = 250, kLag = 103, kBack = kR - kLag;  // 147

struct R250State {
  uint32_t x[kR];
  uint32_t i, j;
};

// dst[t] = a[t] ^ b[t]; b may point into dst at least 16 words behind.
void xor_run(uint32_t* dst, const uint32_t* a, const uint32_t* b, int64_t count) {
  int64_t t = 0;
  for (; t + 8 <= count; t += 8) {
    uint64_t va[4], vb[4];
    std::memcpy(va, a + t, 32), std::memcpy(vb, b + t, 32);
    for (int k = 0; k < 4; ++k) va[k] ^= vb[k];
    std::memcpy(dst + t, va, 32);
  }
  for (; t < count; ++t) dst[t] = a[t] ^ b[t];
}

// n >= 250 raw words into out; the ring becomes the last 250 of them.
void block(R250State* st, uint32_t* out, int64_t n) {
  uint32_t lin[kR];
  for (int k = 0; k < kR; ++k) lin[k] = st->x[(st->i + uint32_t(k)) % kR];
  xor_run(out, lin, lin + kLag, kBack);                // both lags in the ring
  xor_run(out + kBack, lin + kBack, out, kR - kBack);  // newer lag already produced
  xor_run(out + kR, out, out + kLag, n - kR);          // both lags produced
  std::memcpy(st->x, out + n - kR, sizeof(st->x));
  st->i = 0, st->j = kLag;
}

uint32_t step(R250State* st) {
  const uint32_t v = st->x[st->i] ^= st->x[st->j];
  st->i = st->i + 1 == kR ? 0 : st->i + 1;
  st->j = st->j + 1 == kR ? 0 : st->j + 1;
  return v;
}

void raw(R250State* st, uint32_t* out, int64_t n) {
  if (n >= kR) return block(st, out, n);
  for (int64_t t = 0; t < n; ++t) out[t] = step(st);
}

// A ring index outside 0..249 (a damaged image) is folded back before use.
R250State* checked(DruStream* s) {
  R250State* st = state_of<R250State>(s);
  st->i %= kR, st->j = (st->i + kLag) % kR;
  return st;
}

struct R250 {
  static int32_t seed(DruStream* s, int32_t n, const uint32_t* params) {
    R250State* st = state_of<R250State>(s);
    if (n >= kR) {
      std::memcpy(st->x, params, sizeof(st->x));
    } else {
      uint32_t x = (n >= 1 && params[0] != 0) ? params[0] : 1u;
      for (int k = 0; k < kR; k += 2) {  // s 69069^(k+1) mod 2^32, two at a time
        st->x[k] = x * 69069u;
        st->x[k + 1] = x * 475559465u;  // 69069^2 mod 2^32
        x *= 475559465u;
      }
      for (int j = 0; j < 32; ++j)  // 32 linearly independent words
        st->x[3 + 7 * j] = (st->x[3 + 7 * j] & (0xFFFFFFFFu >> j)) | (0x80000000u >> j);
    }
    st->i = 0, st->j = kLag;
    return DRU_OK;
  }
  // Reals through raw words in pieces of at most 2048, as u ((b - a) 2^-32) + a.
  template <class T> static void reals(DruStream* s, int64_t n, T* r, double a, double b) {
    R250State* st = checked(s);
    emit_blocks<2048, uint32_t>(
        0, n, [st](uint32_t* w, int64_t m) { raw(st, w, m); }, ScaledRangeSink<T>(r, 0x1p-32, a, b));
  }
  static void words(DruStream* s, int64_t n, uint32_t* r) {
    if (n > 0) raw(checked(s), r, n);
  }
};

}  // namespace

NRX_BRNG_ENTRY_POINTS(R250, R250)

}  // namespace nrx::rng
