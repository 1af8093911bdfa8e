// Integers uniform on [a, b) and the generators' raw words: as they come, and as
// full-width 32- and 64-bit words where the generator can deliver them.
#include <algorithm>
#include <cmath>

#include "rng/dist/discrete.h"
#include "simd/int64.h"

namespace nrx::rng::dist {
namespace {

int32_t uniform_int(int32_t method, DruStream* s, int32_t n, int32_t* r, int32_t a, int32_t b) {
  if (bad_call(s, n, r) || method != DRU_RNG_UNIFORM_STD || !(a < b)) return DRU_E_BAD_ARGUMENT;
  namespace v = nrx::simd;
  // A product that rounds up to b would leave the range: it counts as b - 1.
  const auto top = v::splat(double(b) - 1);
  return per_uniform(s, n, double(a), double(b), [&](int32_t k, const double* u, int32_t done) {
    for (int32_t i = 0; i < k; i += v::lanes<double>) {
      const auto lanes = v::tail<double>(k - i);
      const auto x = v::min(v::round<v::kRoundDown>(v::masked_load(u + i, lanes, 0.0)), top);
      v::masked_store_low32(reinterpret_cast<uint32_t*>(r + done + i), lanes, v::to_int(x));
    }
  });
}

// How a generator gives full-width words: its own 32-bit output, the top 32 of MCG59's
// 59 bits, or not at all.
enum class Full { words, mcg59, none };

Full full_bits(uint32_t brng) {
  int32_t index = 0, member = 0;
  const BrngProperties* table = _druGetBrngBaseOffset(int32_t(brng), &index, &member);
  if (table != _RegBrngsNew.records) return index == int32_t(DRU_BRNG_MCG59 >> 20) - 1 ? Full::mcg59 : Full::none;
  switch (int32_t(index + 1) << 20) {
    case DRU_BRNG_MT19937:
    case DRU_BRNG_MT2203:
    case DRU_BRNG_SFMT19937:
    case DRU_BRNG_TRNG:
    case DRU_BRNG_ARS5:
    case DRU_BRNG_PHILOX4X32X10: return Full::words;
    case DRU_BRNG_MCG59: return Full::mcg59;
    default: return Full::none;
  }
}

// `words` 32-bit words into r: the generator's own, or x >> 27 of MCG59 values.
int32_t full_words(DruStream* s, int64_t words, uint32_t* r) {
  const Full kind = full_bits(s->brng);
  if (kind == Full::none) return DRU_E_NO_FULL_BITS;
  DruGenIFn gen = record_of(s->brng)->GenI;
  // MCG59 values per round: two words each in the work area.
  constexpr int32_t kValues = 2048;
  alignas(64) uint64_t work[kValues];
  for (int64_t done = 0; done < words;) {
    const int32_t k = int32_t(std::min<int64_t>(kind == Full::words ? INT32_MAX : kValues, words - done));
    if (kind == Full::words) {
      if (int32_t st = gen(s, k, r + done); st < 0) return st;
    } else {
      if (int32_t st = gen(s, k, reinterpret_cast<uint32_t*>(work)); st < 0) return st;
      for (int32_t i = 0; i < k; ++i) r[done + i] = uint32_t(work[i] >> 27);
    }
    done += k;
  }
  return DRU_OK;
}

int32_t bits(int32_t method, DruStream* s, int32_t n, uint32_t* r) {
  if (bad_call(s, n, r) || method != DRU_RNG_UNIFORM_STD) return DRU_E_BAD_ARGUMENT;
  return record_of(s->brng)->GenI(s, n, r);
}

int32_t bits32(int32_t method, DruStream* s, int32_t n, uint32_t* r) {
  if (bad_call(s, n, r) || method != DRU_RNG_UNIFORM_STD) return DRU_E_BAD_ARGUMENT;
  return full_words(s, n, r);
}

int32_t bits64(int32_t method, DruStream* s, int32_t n, uint64_t* r) {
  if (bad_call(s, n, r) || method != DRU_RNG_UNIFORM_STD) return DRU_E_BAD_ARGUMENT;
  // Two words per value, the first one low: the words in order on a little-endian machine.
  return full_words(s, 2 * int64_t(n), reinterpret_cast<uint32_t*>(r));
}

}  // namespace
}  // namespace nrx::rng::dist

using namespace nrx::rng::dist;

extern "C" {

NRX_RNG_API int32_t druiRngUniform(int32_t method, DruStream* stream, int32_t n, int32_t* r, int32_t a, int32_t b) {
  return uniform_int(method, stream, n, r, a, b);
}
NRX_RNG_API int32_t druiRngUniformBits(int32_t method, DruStream* stream, int32_t n, uint32_t* r) {
  return bits(method, stream, n, r);
}
NRX_RNG_API int32_t druiRngUniformBits32(int32_t method, DruStream* stream, int32_t n, uint32_t* r) {
  return bits32(method, stream, n, r);
}
NRX_RNG_API int32_t druiRngUniformBits64(int32_t method, DruStream* stream, int32_t n, uint64_t* r) {
  return bits64(method, stream, n, r);
}

}  // extern "C"
