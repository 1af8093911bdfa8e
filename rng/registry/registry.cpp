// The generator registry: the main table (512 records, 16 built in) and the legacy
// table (281 fixed records), identifier splitting, lookup and registration.
#include <cstddef>

#include "rng/internal.h"

namespace {

struct BuiltinRow {
  BrngProperties props;
  int32_t members;
};

#define NRX_ROW(Name, state, seeds, zero, word, bits, members)                                   \
  BuiltinRow {                                                                                   \
    {state, seeds, zero, word, bits, _druBRng##Name##InitStream, _drusBRng##Name, _drudBRng##Name, \
     _druiBRng##Name},                                                                           \
        members                                                                                  \
  }

// One row per built-in generator, in identifier order (index = (id >> 20) - 1).
constexpr BuiltinRow kBuiltin[] = {
    NRX_ROW(MCG31M1, 24, 1, 0, 4, 31, 1),
    NRX_ROW(R250, 1024, 252, 1, 4, 32, 1),
    NRX_ROW(MRG32K3A, 40, 6, 1, 4, 32, 1),
    NRX_ROW(MCG59, 32, 1, 0, 8, 59, 1),
    NRX_ROW(WH, 48, 4, 1, 16, 24, 273),
    NRX_ROW(Sobol, 11712, 2604, 0, 4, 32, 1),
    NRX_ROW(Niederr, 84288, 10498, 0, 4, 32, 1),
    NRX_ROW(MT19937, 2520, 625, 1, 4, 32, 1),
    NRX_ROW(MT2203, 312, 70, 1, 4, 32, 6024),
    {{40, 0, 1, 4, 32, _druBRngiAbstractInitStream, _drusBRngiAbstract, _drudBRngiAbstract, _druiBRngiAbstract}, 1},
    {{56, 0, 1, 4, 32, _druBRngdAbstractInitStream, _drusBRngdAbstract, _drudBRngdAbstract, _druiBRngdAbstract}, 1},
    {{48, 0, 1, 4, 32, _druBRngsAbstractInitStream, _drusBRngsAbstract, _drudBRngsAbstract, _druiBRngsAbstract}, 1},
    NRX_ROW(SFMT19937, 2536, 625, 1, 4, 32, 1),
    NRX_ROW(TRNG, 24, 1, 0, 4, 32, 1),
    NRX_ROW(ARS5, 72, 8, 1, 4, 32, 1),
    NRX_ROW(PHILOX4X32X10, 64, 8, 1, 4, 32, 1),
};
#undef NRX_ROW
constexpr int32_t kBuiltinCount = int32_t(sizeof(kBuiltin) / sizeof(kBuiltin[0]));
static_assert(kBuiltinCount == 16);

constexpr DruRegistry make_main() {
  DruRegistry r{};
  for (int32_t i = 0; i < kBuiltinCount; ++i) {
    r.records[i] = kBuiltin[i].props;
    r.members[i] = kBuiltin[i].members;
  }
  r.count = kBuiltinCount;
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
  for (int32_t i = 0; i < 4; ++i) t.r[i] = kBuiltin[i].props;
  for (int32_t i = kLegacyWhFirst; i <= kLegacyWhLast; ++i) t.r[i] = kBuiltin[4].props;
  t.r[277] = kBuiltin[5].props;
  t.r[278] = kBuiltin[6].props;
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
#define R100(i) R10(i), R10(i + 10), R10(i + 20), R10(i + 30), R10(i + 40), R10(i + 50), R10(i + 60), \
                R10(i + 70), R10(i + 80), R10(i + 90)
    R100(0), R100(100), R10(200), R10(210), R10(220), R10(230), R10(240), R10(250), R10(260), R10(270),
    R(280),
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
