// The built-in generators as constexpr rows, expanded from NRX_BRNG_LIST in nrx/rng.h:
// the registry records, the splitting methods each Init accepts, the processor feature
// its images need and the name the nrx program knows it by.
#pragma once
#include <cstdint>

#include "nrx/rng.h"

namespace nrx::rng {

struct BrngRow {
  int32_t id;
  int32_t members;
  uint32_t splitting;  // DRU_SPLIT_* bits
  uint32_t cpu;        // DRU_CPU_*
  bool ready;          // false: registered, functions return DRU_E_BRNG_INVALID
  const char* label;
  BrngProperties props;
};

#define NRX_BRNG_ROW(Name, NAME, id, state, seeds, zero, word, bits, members, split, cpu, avail, kind, label) \
  BrngRow{id,                                                                                                 \
          members,                                                                                            \
          split,                                                                                              \
          cpu,                                                                                                \
          NRX_BRNG_READY_##avail,                                                                             \
          label,                                                                                              \
          {state, seeds, zero, word, bits, _druBRng##Name##InitStream, _drusBRng##Name, _drudBRng##Name,      \
           _druiBRng##Name}},
#define NRX_BRNG_READY_READY true
#define NRX_BRNG_READY_PENDING false
inline constexpr BrngRow kBrngs[] = {NRX_BRNG_LIST(NRX_BRNG_ROW)};
#undef NRX_BRNG_ROW
inline constexpr int32_t kBrngCount = int32_t(sizeof(kBrngs) / sizeof(kBrngs[0]));

constexpr bool ids_follow_index() {
  for (int32_t i = 0; i < kBrngCount; ++i)
    if (kBrngs[i].id != (i + 1) << 20) return false;
  return true;
}
static_assert(ids_follow_index(), "generator rows must be in identifier order");

// Splitting methods of a built-in generator, by function-name stem (entry points).
#define NRX_BRNG_SPLIT(Name, NAME, id, state, seeds, zero, word, bits, members, split, ...) \
  inline constexpr uint32_t kSplit##Name = split;
NRX_BRNG_LIST(NRX_BRNG_SPLIT)
#undef NRX_BRNG_SPLIT

// Row of a main-table index, or null for caller-registered records.
inline const BrngRow* builtin_row(int32_t index) { return index >= 0 && index < kBrngCount ? &kBrngs[index] : nullptr; }

}  // namespace nrx::rng
