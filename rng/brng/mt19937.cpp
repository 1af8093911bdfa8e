// MT19937: the 624-word Mersenne twister. The state is regenerated in place sixteen
// words per register; outputs are the tempered words in array order.
#include "rng/brng/entry_points.h"
#include "rng/brng/skip_ring.h"
#include "rng/brng/twister.h"
#include "rng/internal.h"
#include "simd/word32.h"

namespace nrx::rng {
namespace {

constexpr int kN = 624, kM = 397;
constexpr uint32_t kMatrix = 0x9908B0DFu, kUpper = 0x80000000u, kLower = 0x7FFFFFFFu;

struct MtState {
  uint32_t mt[kN];
  uint32_t pos;  // next word to deliver; kN: regenerate first
  uint32_t spare;
};
static_assert(sizeof(DruStream) + sizeof(MtState) == 2520);

void regenerate(uint32_t* mt) { nrx::rng::regenerate<kN, kM, kUpper>(mt, kMatrix); }

// n tempered words into out.
void raw(MtState* st, uint32_t* out, int64_t n) {
  const Temper<11> temper(0x9D2C5680u, 0xEFC60000u);
  tempered_words<kN, kM, kUpper>(st->mt, &st->pos, out, n, kMatrix, temper);
}

// Ascending exponents of the characteristic polynomial of the one-word step.
constexpr uint32_t kPoly[] = {
#include "rng/brng/mt19937_poly.inc"
};

// The one-word step on a ring of 624 words whose oldest word is at head.
struct WordStep {
  using State = MtState;
  static constexpr int kElems = kN, kStep = 1;
  template <class S> static auto words(S* st) { return st->mt; }
  template <class S> static auto head(S* st) { return &st->pos; }
  static void step(uint32_t* r, int head) {
    const int next = head + 1 == kN ? 0 : head + 1, far = head + kM < kN ? head + kM : head + kM - kN;
    const uint32_t y = (r[head] & kUpper) | (r[next] & kLower);
    r[head] = r[far] ^ (y >> 1) ^ ((y & 1u) ? kMatrix : 0u);
  }
};
using Ring = SkipRing<WordStep>;
constexpr int32_t kPolyTerms = int32_t(sizeof kPoly / sizeof kPoly[0]);

// Below 2^23 words passing over regenerated words is cheaper than the polynomial.
constexpr uint64_t kPolySkipFrom = uint64_t(1) << 23;

struct Mt19937 : TwisterOutputs<MtState, raw> {
  static int32_t seed(DruStream* s, int32_t n, const uint32_t* params) {
    MtState* st = state_of<MtState>(s);
    init_by_key<kN>(st->mt, twister_key(n, params));
    st->pos = kN;
    st->spare = 0;
    return DRU_OK;
  }
  static int32_t skip(DruStream* s, uint64_t count) {
    MtState* st = state_of<MtState>(s);
    if (count < kPolySkipFrom) {
      walk<kN>(
          &st->pos, int64_t(count), [st] { regenerate(st->mt); }, [](uint32_t, int64_t, int64_t) {});
      return DRU_OK;
    }
    const Target t = target(st->pos, count);
    // Near 2^64 words the steps can pass 2^64: the last array is then regenerated here.
    const bool last = t.arrays * kN > ~uint64_t(0);
    const int32_t status = _dru_SkipAheadSWin(s, Ring::load, Ring::store, Ring::clear, Ring::copy, Ring::step,
                                              Ring::add, uint64_t((t.arrays - last) * kN), kN, 19937,
                                              int32_t(sizeof(DruStream) + sizeof(MtState)), kPolyTerms, kPoly);
    if (status != DRU_OK) return status;
    if (last) regenerate(st->mt);
    st->pos = t.pos;
    return DRU_OK;
  }
};

}  // namespace

NRX_BRNG_ENTRY_POINTS(MT19937, Mt19937)

}  // namespace nrx::rng
