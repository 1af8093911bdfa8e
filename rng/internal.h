// Internal helpers shared by the registry, the streams, the generators and the laws.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "nrx/rng.h"

namespace nrx::rng {

// Bytes of generator state after the header (records may declare less than a header).
inline uint32_t state_area(const BrngProperties* r) {
  return r->StateSize > int32_t(sizeof(DruStream)) ? uint32_t(r->StateSize) - uint32_t(sizeof(DruStream)) : 0;
}

// Record of a stream's identifier, without validation (leapfrog, skip-ahead and the
// output functions trust the identifier written at creation).
inline const BrngProperties* record_of(uint32_t brng, int32_t* member = nullptr) {
  int32_t index = 0, m = 0;
  const BrngProperties* table = _druGetBrngBaseOffset(int32_t(brng), &index, &m);
  if (member) *member = m;
  return table + index;
}

// Record of an identifier after validation, or null.
inline const BrngProperties* valid_record(uint32_t brng, int32_t* member = nullptr) {
  int32_t index = 0, m = 0;
  const BrngProperties* table = _druGetBrngBaseOffset(int32_t(brng), &index, &m);
  if (_druIsBrngValid(table, index, m) != DRU_OK) return nullptr;
  if (member) *member = m;
  return table + index;
}

// The generator state that follows the 16-byte header.
template <class State> inline State* state_of(DruStream* s) {
  return reinterpret_cast<State*>(reinterpret_cast<unsigned char*>(s) + sizeof(DruStream));
}
template <class State> inline const State* state_of(const DruStream* s) {
  return reinterpret_cast<const State*>(reinterpret_cast<const unsigned char*>(s) + sizeof(DruStream));
}

// The newest chunk of kind `id` holding at least `size` bytes, or null.
inline DruChunk* find_chunk(DruStream* s, uint32_t id, uint32_t size) {
  for (DruChunk* c = s->chunks; c; c = c->next)
    if (c->id == id) return c->size >= size && c->data ? c : nullptr;
  return nullptr;
}

inline bool gid_zero(const uint64_t* gid) { return gid == nullptr || (gid[0] == 0 && gid[1] == 0); }

// Frees one chunk record and its data (shared data by reference count).
void release_chunk(DruChunk* c);

// Memory image loader behind _druLoadStreamM, reading at most len bytes (SIZE_MAX when
// the length is unknown); also the entry of the fuzz target. DRU_E_BAD_IMAGE for an
// unrecognised or short image; on failure *out is null.
int32_t load_image(DruStream** out, const unsigned char* buf, size_t len);

// Processor features the loader checks for the hardware and AES generators.
bool cpu_has_rdrand();
bool cpu_has_aes();

}  // namespace nrx::rng

static_assert(sizeof(DruStream) == 16, "stream header is 16 bytes");
static_assert(sizeof(DruChunk) == 40, "chunk record layout");
static_assert(sizeof(DruGlobROEntry) == 32, "shared entry layout");
static_assert(sizeof(BrngProperties) == 56, "registry record layout");
static_assert(offsetof(DruRegistry, count) == 28672, "registry layout");
