// The process-wide table of shared read-only data that chunks may point into:
// 128 entries guarded by one spin lock.
#include <x86intrin.h>

#include "nrx/core.h"
#include "rng/internal.h"
#include "rng/stream/shared_table.h"

namespace nrx::rng {
namespace {

constexpr uint32_t kUnknownSize = ~0u;

// sizes[i]: bytes of entries[i]'s data when a chunk entered it, kUnknownSize when it came
// through _druCreateGlobRODataTableEntry.
struct SharedTable {
  DruGlobROEntry entries[DRU_SHARED_TABLE_SIZE];
  uint32_t sizes[DRU_SHARED_TABLE_SIZE];
  uint32_t count;
};
SharedTable g_table;
int32_t g_lock;

DruGlobROEntry* find_unlocked(const uint64_t* gid) {
  if (gid_zero(gid)) return nullptr;
  for (uint32_t i = 0; i < g_table.count; ++i)
    if (g_table.entries[i].gid[0] == gid[0] && g_table.entries[i].gid[1] == gid[1]) return &g_table.entries[i];
  return nullptr;
}

// Drops one reference of `e`; the last one frees the data and moves the table's last
// entry into the freed slot.
void unref_unlocked(DruGlobROEntry* e) {
  if (--e->refs > 0) return;
  nrx_serv_deallocate(e->data);
  DruGlobROEntry* last = &g_table.entries[g_table.count - 1];
  if (e != last) *e = *last, g_table.sizes[e - g_table.entries] = g_table.sizes[last - g_table.entries];
  *last = DruGlobROEntry{};
  --g_table.count;
}

struct Guard {
  Guard() { nrx_serv_lock(&g_lock); }
  ~Guard() { nrx_serv_unlock(&g_lock); }
};

}  // namespace

void shared_attach(DruChunk* c) {
  if (gid_zero(c->gid)) return;
  Guard g;
  if (DruGlobROEntry* e = find_unlocked(c->gid)) {
    if (g_table.sizes[e - g_table.entries] == c->size) {
      ++e->refs;
      c->data = e->data;
      return;
    }
    // An entry of another or unknown size (a damaged image, say): sharing it would let
    // the chunk's size reach past the entry's data, so the chunk keeps its own.
  } else if (g_table.count < DRU_SHARED_TABLE_SIZE - 1) {
    g_table.sizes[g_table.count] = c->size;
    g_table.entries[g_table.count++] = DruGlobROEntry{{c->gid[0], c->gid[1]}, 1, c->data};
    return;
  }
  c->gid[0] = c->gid[1] = 0;  // the data stays private
}

bool shared_share(DruChunk* c, const uint64_t* gid) {
  Guard g;
  DruGlobROEntry* e = find_unlocked(gid);
  if (!e) return false;
  ++e->refs;
  c->data = e->data;
  return true;
}

bool shared_release(const uint64_t* gid) {
  Guard g;
  DruGlobROEntry* e = find_unlocked(gid);
  if (!e) return false;
  unref_unlocked(e);
  return true;
}

uint32_t shared_count() {
  Guard g;
  return g_table.count;
}

}  // namespace nrx::rng

using namespace nrx::rng;

extern "C" {

NRX_RNG_API int32_t _druFindGlobRODataTableEntry(DruGlobROEntry** entry, const uint64_t* gid) {
  Guard g;
  DruGlobROEntry* e = find_unlocked(gid);
  if (!e) return DRU_E_NO_SHARED_ENTRY;
  *entry = e;
  return DRU_OK;
}

NRX_RNG_API int32_t _druCreateGlobRODataTableEntry(DruGlobROEntry** entry, const uint64_t* gid, void* data) {
  if (gid_zero(gid)) return DRU_E_BAD_ARGUMENT;
  Guard g;
  if (g_table.count >= DRU_SHARED_TABLE_SIZE) return DRU_E_SHARED_TABLE_FULL;
  g_table.sizes[g_table.count] = kUnknownSize;
  DruGlobROEntry* e = &g_table.entries[g_table.count++];
  *e = DruGlobROEntry{{gid[0], gid[1]}, 1, data};
  *entry = e;
  return DRU_OK;
}

NRX_RNG_API int32_t _druRegisterGlobRODataReference(DruChunk* chunk, const uint64_t* gid) {
  return shared_share(chunk, gid) ? DRU_OK : DRU_E_NO_SHARED_ENTRY;
}

NRX_RNG_API int32_t _druUnregisterGlobRODataReference(const uint64_t* gid) {
  return shared_release(gid) ? DRU_OK : DRU_E_NO_SHARED_ENTRY;
}

NRX_RNG_API int32_t _druGenerateNewGlobalRODataTableEntryId(uint64_t* gid, int32_t tag) {
  gid[1] = uint64_t(int64_t(tag));
  Guard g;
  do {
    gid[0] = __rdtsc();
  } while (find_unlocked(gid) != nullptr || gid_zero(gid));
  return DRU_OK;
}

}  // extern "C"
