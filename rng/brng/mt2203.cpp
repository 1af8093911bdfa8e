// MT2203: 6024 twisters of 2203 bits, one per member, each with its own matrix word and
// tempering masks (mt2203_table.inc), copied into the stream at seeding so a saved or
// copied stream needs no table. The 69-word state is regenerated in place sixteen words
// per register; outputs are the tempered words in array order.
#include "rng/brng/entry_points.h"
#include "rng/brng/twister.h"
#include "rng/internal.h"
#include "simd/word32.h"

namespace nrx::rng {
namespace {

constexpr int kN = 69, kM = 34, kMembers = 6024;
constexpr uint32_t kUpper = 0xFFFFFFE0u;  // 69 * 32 - 5 = 2203 state bits

struct Mt2203Row {
  uint32_t a, b, c;
};
constexpr Mt2203Row kRows[kMembers] = {
#include "rng/brng/mt2203_table.inc"
};

struct Mt2203State {
  uint32_t mt[kN];
  uint32_t pos;      // next word to deliver; kN: regenerate first
  uint32_t a, b, c;  // the member's matrix word and tempering masks
  uint32_t spare;
};
static_assert(sizeof(DruStream) + sizeof(Mt2203State) == 312);
static_assert(sizeof(DruStream) + offsetof(Mt2203State, pos) == 292);
static_assert(sizeof(DruStream) + offsetof(Mt2203State, a) == 296);

void raw(Mt2203State* st, uint32_t* out, int64_t n) {
  tempered_words<kN, kM, kUpper>(st->mt, &st->pos, out, n, st->a, Temper<12>(st->b, st->c));
}

struct Mt2203 : TwisterOutputs<Mt2203State, raw> {
  static int32_t seed(DruStream* s, int32_t n, const uint32_t* params) {
    int32_t member = 0;
    record_of(s->brng, &member);
    if (member < 0 || member >= kMembers) return DRU_E_BRNG_INVALID;
    Mt2203State* st = state_of<Mt2203State>(s);
    init_by_key<kN>(st->mt, twister_key(n, params));
    st->pos = kN;
    st->a = kRows[member].a, st->b = kRows[member].b, st->c = kRows[member].c;
    st->spare = 0;
    return DRU_OK;
  }
};

}  // namespace

NRX_BRNG_ENTRY_POINTS(MT2203, Mt2203)

}  // namespace nrx::rng
