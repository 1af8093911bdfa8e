// TRNG: words of the processor's RDRAND, read in pairs; a pair in which either read
// failed is read again, at most the stream's retry limit more times.
#include <cmath>

#include "rng/brng/entry_points.h"
#include "rng/brng/rdrand_source.h"
#include "simd/rdrand.h"

namespace nrx::rng {

RdrandSource rdrand_source = {cpu_has_rdrand, simd::rdrand_word};

namespace {

constexpr uint32_t kDefaultRetries = 10;

struct State {
  uint32_t reserved;  // always 0
  uint32_t retries;   // extra attempts allowed for a failed pair
};

// k (1 or 2) words into w, trying up to 1 + retries times; false when every try failed.
bool read_words(uint32_t retries, int k, uint32_t* w) {
  for (uint32_t t = 0; t <= retries; ++t) {
    bool ok = true;
    for (int j = 0; j < k; ++j) ok = rdrand_source.read(w + j) != 0 && ok;
    if (ok) return true;
  }
  return false;
}

// n values, each made by put(i, w) from `per` words; pairs of words are read together.
template <class Put> int32_t produce(DruStream* s, int64_t n, int per, Put&& put) {
  if (!rdrand_source.present()) return DRU_E_NO_RDRAND;
  const uint32_t retries = state_of<State>(s)->retries;
  uint32_t w[2];
  const int64_t total = n * per;
  int64_t done = 0;
  for (; done + 2 <= total; done += 2) {
    if (!read_words(retries, 2, w)) return DRU_E_RDRAND_RETRIES;
    if (per == 2) put(done / 2, w);
    else put(done, w), put(done + 1, w + 1);
  }
  if (done < total) {
    if (!read_words(retries, 1, w)) return DRU_E_RDRAND_RETRIES;
    put(done, w);
  }
  return DRU_OK;
}

struct Trng {
  static int32_t seed(DruStream* s, int32_t n, const uint32_t* p) {
    State* st = state_of<State>(s);
    st->reserved = 0;
    st->retries = n >= 2 && p[1] != 0 ? p[1] : kDefaultRetries;
    return DRU_OK;
  }
  static int32_t words(DruStream* s, int64_t n, uint32_t* r) {
    return produce(s, n, 1, [r](int64_t i, const uint32_t* w) { r[i] = w[0]; });
  }
  template <class T> static int32_t reals(DruStream* s, int64_t n, T* r, double a, double b) {
    if constexpr (sizeof(T) == sizeof(double)) {
      const double scale = (b - a) * 0x1p-64;
      return produce(s, n, 2, [=](int64_t i, const uint32_t* w) {
        const uint64_t v = uint64_t(w[0]) | uint64_t(w[1]) << 32;
        r[i] = a + scale * double(v);
      });
    } else {
      const float fa = float(a), scale = (float(b) - fa) * 0x1p-32f;
      return produce(s, n, 1, [=](int64_t i, const uint32_t* w) { r[i] = std::fmaf(scale, float(w[0]), fa); });
    }
  }
};

}  // namespace

NRX_BRNG_ENTRY_POINTS(TRNG, Trng)

}  // namespace nrx::rng
