// The generator registry: the main table (512 records, 16 built in) and the legacy
// table (281 fixed records), identifier splitting, lookup and registration.
#include <cstddef>

#include "rng/internal.h"
#include "rng/registry/rows.h"

using namespace nrx::rng;

namespace {

constexpr int32_t index_of(int32_t id) { return (id >> 20) - 1; }

constexpr DruRegistry make_main() {
  DruRegistry r{};
  for (int32_t i = 0; i < kBrngCount; ++i) {
    r.records[i] = kBrngs[i].props;
    r.members[i] = kBrngs[i].members;
  }
  r.count = kBrngCount;
  return r;
}

// Legacy records 0-3 are the first four generators, 4-276 one WH record per member,
// 277 Sobol, 278 Niederreiter, 279 and 280 zero.
constexpr int32_t kLegacyWhFirst = 4, kLegacyWhLast = 276;
struct Legacy {
  BrngProperties r[DRU_LEGACY_RECORDS];
};
constexpr Legacy make_legacy() {
  Legacy t{};
  const int32_t first[] = {DRU_BRNG_MCG31M1, DRU_BRNG_R250, DRU_BRNG_MRG32K3A, DRU_BRNG_MCG59};
  for (int32_t i = 0; i < 4; ++i) t.r[i] = kBrngs[index_of(first[i])].props;
  for (int32_t i = kLegacyWhFirst; i <= kLegacyWhLast; ++i) t.r[i] = kBrngs[index_of(DRU_BRNG_WH)].props;
  t.r[277] = kBrngs[index_of(DRU_BRNG_SOBOL)].props;
  t.r[278] = kBrngs[index_of(DRU_BRNG_NIEDERR)].props;
  return t;
}
constexpr Legacy kLegacy = make_legacy();

constexpr int32_t kMainMin = 0x100000;

}  // namespace

extern "C" {

NRX_RNG_API constinit DruRegistry _RegBrngsNew = make_main();
NRX_RNG_API constinit BrngProperties _RegBrngs[DRU_LEGACY_RECORDS] = {
#define R(i) kLegacy.r[i]
#define R10(i) R(i), R(i + 1), R(i + 2), R(i + 3), R(i + 4), R(i + 5), R(i + 6), R(i + 7), R(i + 8), R(i + 9)
#define R100(i)                                                                                                   \
  R10(i), R10(i + 10), R10(i + 20), R10(i + 30), R10(i + 40), R10(i + 50), R10(i + 60), R10(i + 70), R10(i + 80), \
      R10(i + 90)
    R100(0), R100(100), R10(200), R10(210), R10(220), R10(230), R10(240), R10(250), R10(260), R10(270), R(280),
#undef R100
#undef R10
#undef R
};

NRX_RNG_API BrngProperties* _druGetBrngBaseOffset(int32_t brng, int32_t* index, int32_t* member) {
  if (brng >= kMainMin) {
    *index = (brng >> 20) - 1;
    *member = brng & 0xFFFFF;
    return _RegBrngsNew.records;
  }
  if (brng >= kLegacyWhFirst && brng <= kLegacyWhLast) {
    *index = kLegacyWhFirst;
    *member = brng - kLegacyWhFirst;
  } else {
    *index = brng;
    *member = 0;
  }
  return _RegBrngs;
}

NRX_RNG_API int32_t _druIsBrngValid(const BrngProperties* table, int32_t index, int32_t member) {
  if (table == _RegBrngs) return (index >= 0 && index < DRU_LEGACY_RECORDS) ? DRU_OK : DRU_E_BRNG_INVALID;
  if (table != _RegBrngsNew.records) return DRU_E_BRNG_INVALID;
  if (index < 0 || index >= _RegBrngsNew.count) return DRU_E_BRNG_INVALID;
  if (member < 0 || member >= _RegBrngsNew.members[index]) return DRU_E_BRNG_INVALID;
  return DRU_OK;
}

NRX_RNG_API int32_t _druGetBrngProperties(int32_t brng, BrngProperties* props) {
  int32_t index = 0, member = 0;
  const BrngProperties* table = _druGetBrngBaseOffset(brng, &index, &member);
  if (_druIsBrngValid(table, index, member) != DRU_OK) return DRU_E_BRNG_INVALID;
  *props = table[index];
  return DRU_OK;
}

NRX_RNG_API int32_t _druGetNumRegBrngs(void) { return _RegBrngsNew.count; }

NRX_RNG_API int32_t _druRegisterBrng(const BrngProperties* p) {
  if (p->StateSize < 0) return DRU_E_BAD_STATE_SIZE;
  if (p->WordBytes != 4 && p->WordBytes != 8 && p->WordBytes != 16) return DRU_E_BAD_WORD_SIZE;
  if (p->SeedCount < 1) return DRU_E_BAD_SEED_COUNT;
  if (p->BitCount < 1) return DRU_E_BAD_BIT_COUNT;
  if (!p->GenD || !p->GenS || !p->GenI || !p->Init) return DRU_E_NULL_POINTER;
  const int32_t used = _RegBrngsNew.count;
  // Identifiers are (index + 1) << 20 in a signed 32-bit word: index 511 is the last.
  if (used >= DRU_REGISTRY_CAPACITY) return DRU_E_NO_MEMORY;
  _RegBrngsNew.records[used] = *p;
  _RegBrngsNew.members[used] = 1;
  _RegBrngsNew.count = used + 1;
  return (used + 1) << 20;
}

}  // extern "C"
