// Chunk lists attached to streams: add, search, count, delete and copy.
#include "nrx/core.h"
#include "rng/internal.h"
#include "rng/stream/shared_table.h"

namespace nrx::rng {

void release_chunk(DruChunk* c) {
  if (gid_zero(c->gid) || !shared_release(c->gid)) nrx_serv_deallocate(c->data);
  nrx_serv_deallocate(c);
}

}  // namespace nrx::rng

using namespace nrx::rng;

namespace {

void release_list(DruChunk* c) {
  while (c) {
    DruChunk* next = c->next;
    release_chunk(c);
    c = next;
  }
}

// Copy of one chunk: shared data is referenced, private data duplicated.
DruChunk* copy_chunk(const DruChunk* src) {
  auto* c = static_cast<DruChunk*>(nrx_serv_allocate(sizeof(DruChunk), 128));
  if (!c) return nullptr;
  *c = DruChunk{src->id, src->size, nullptr, nullptr, {src->gid[0], src->gid[1]}};
  if (!gid_zero(src->gid) && shared_share(c, src->gid)) return c;
  c->data = nrx_serv_allocate(src->size, 128);
  if (!c->data) {
    nrx_serv_deallocate(c);
    return nullptr;
  }
  if (src->size) std::memcpy(c->data, src->data, src->size);
  return c;
}

}  // namespace

extern "C" {

NRX_RNG_API int32_t _druAddChunk(DruStream* stream, uint32_t id, const uint64_t* gid, void* data, uint32_t size) {
  auto* c = static_cast<DruChunk*>(nrx_serv_allocate(sizeof(DruChunk), 128));
  if (!c) return DRU_E_NO_MEMORY;
  *c = DruChunk{id, size, data, nullptr, {gid ? gid[0] : 0, gid ? gid[1] : 0}};
  shared_attach(c);
  c->next = stream->chunks;
  stream->chunks = c;
  return DRU_OK;
}

NRX_RNG_API void* _druSearchChunk(const DruStream* stream, uint32_t id) {
  for (const DruChunk* c = stream->chunks; c; c = c->next)
    if (c->id == id) return c->data;
  return nullptr;
}

NRX_RNG_API int32_t _druGetNumChunks(const DruStream* stream) {
  int32_t n = 0;
  for (const DruChunk* c = stream->chunks; c; c = c->next) ++n;
  return n;
}

NRX_RNG_API int32_t _druDeleteChunksById(DruStream* stream, uint32_t id) {
  DruChunk** link = &stream->chunks;
  while (DruChunk* c = *link) {
    if (c->id == id) {
      *link = c->next;
      release_chunk(c);
    } else {
      link = &c->next;
    }
  }
  return DRU_OK;
}

NRX_RNG_API int32_t _druDeleteChunks(DruStream* stream) {
  release_list(stream->chunks);
  stream->chunks = nullptr;
  return DRU_OK;
}

NRX_RNG_API int32_t _druCopyChunks(DruStream* dst, const DruStream* src) {
  DruChunk* head = nullptr;
  DruChunk** tail = &head;
  for (const DruChunk* s = src->chunks; s; s = s->next) {
    DruChunk* c = copy_chunk(s);
    if (!c) {
      release_list(head);
      return DRU_E_NO_MEMORY;
    }
    *tail = c;
    tail = &c->next;
  }
  DruChunk** end = &dst->chunks;
  while (*end) end = &(*end)->next;
  *end = head;
  return DRU_OK;
}

}  // extern "C"
