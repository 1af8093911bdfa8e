// Stream objects: creation, copies, deletion, leapfrog and skip-ahead.
#include <algorithm>

#include "nrx/core.h"
#include "rng/internal.h"

using namespace nrx::rng;

namespace {

bool is_abstract(int32_t brng) { return (brng & ~0x100000) == DRU_BRNG_IABSTRACT || brng == DRU_BRNG_SABSTRACT; }

size_t block_bytes(const BrngProperties* r) { return sizeof(DruStream) + state_area(r); }

}  // namespace

extern "C" {

NRX_RNG_API int32_t _druAllocateStream(DruStream** stream, const BrngProperties* table, int32_t brng, int32_t index,
                                       int32_t member) {
  if (_druIsBrngValid(table, index, member) != DRU_OK) return DRU_E_BRNG_INVALID;
  const BrngProperties* r = table + index;
  if (!r->Init) return DRU_E_BRNG_INVALID;  // the all-zero legacy records
  void* block = nrx_serv_allocate(block_bytes(r), 128);
  if (!block) return DRU_E_NO_MEMORY;
  std::memset(block, 0, block_bytes(r));
  auto* s = static_cast<DruStream*>(block);
  s->brng = uint32_t(brng);
  s->flag = 1;
  *stream = s;
  return DRU_OK;
}

NRX_RNG_API int32_t _druNewStreamEx(DruStream** stream, int32_t brng, int32_t n, const uint32_t* params) {
  *stream = nullptr;
  if (is_abstract(brng)) return DRU_E_BRNG_INVALID;
  int32_t index = 0, member = 0;
  const BrngProperties* table = _druGetBrngBaseOffset(brng, &index, &member);
  DruStream* s = nullptr;
  if (int32_t st = _druAllocateStream(&s, table, brng, index, member); st != DRU_OK) return st;
  *stream = s;
  return table[index].Init(DRU_INIT_STANDARD, s, n, params);
}

NRX_RNG_API int32_t _druCopyStream(DruStream** copy, const DruStream* src) {
  *copy = nullptr;
  int32_t index = 0, member = 0;
  const BrngProperties* table = _druGetBrngBaseOffset(int32_t(src->brng), &index, &member);
  DruStream* s = nullptr;
  if (int32_t st = _druAllocateStream(&s, table, int32_t(src->brng), index, member); st != DRU_OK) return st;
  std::memcpy(s, src, block_bytes(table + index));
  s->chunks = nullptr;
  if (_druCopyChunks(s, src) != DRU_OK) {
    _druDeleteStream(&s);
    return DRU_E_NO_MEMORY;
  }
  *copy = s;
  return DRU_OK;
}

NRX_RNG_API int32_t _druCopyStreamState(DruStream* dst, const DruStream* src) {
  if (dst == src) return DRU_OK;
  const BrngProperties* rs = valid_record(src->brng);
  const BrngProperties* rd = valid_record(dst->brng);
  if (!rs || !rd) return DRU_E_BRNG_INVALID;
  DruStream fresh{};  // collects the copied chunks so a failure leaves dst as it was
  if (_druCopyChunks(&fresh, src) != DRU_OK) return DRU_E_NO_MEMORY;
  const size_t bytes = std::min(block_bytes(rs), block_bytes(rd)) - sizeof(DruStream);
  std::memcpy(state_of<unsigned char>(dst), state_of<unsigned char>(src), bytes);
  _druDeleteChunks(dst);
  dst->chunks = fresh.chunks;
  return DRU_OK;
}

NRX_RNG_API int32_t _druDeleteStream(DruStream** stream) {
  if (!stream || !*stream) return DRU_OK;
  _druDeleteChunks(*stream);
  nrx_serv_deallocate(*stream);
  *stream = nullptr;
  return DRU_OK;
}

NRX_RNG_API int32_t _druLeapfrogStream(DruStream* stream, int32_t k, int32_t total) {
  if (uint64_t(int64_t(total)) >= 0xFFFFFFFFull) return DRU_E_TOO_MANY_STREAMS;
  const uint32_t params[2] = {uint32_t(k), uint32_t(total)};
  return record_of(stream->brng)->Init(DRU_INIT_LEAPFROG, stream, total, params);
}

NRX_RNG_API int32_t _druSkipAheadStream(DruStream* stream, uint64_t steps) {
  const uint32_t params[2] = {uint32_t(steps), uint32_t(steps >> 32)};
  return record_of(stream->brng)->Init(DRU_INIT_SKIP_AHEAD, stream, 2, params);
}

NRX_RNG_API int32_t _druSkipAheadStreamEx(DruStream* stream, int32_t n, const uint64_t* steps) {
  return record_of(stream->brng)->Init(DRU_INIT_SKIP_AHEAD_EX, stream, n, reinterpret_cast<const uint32_t*>(steps));
}

NRX_RNG_API int32_t _druGetStreamStateBrng(const DruStream* stream) { return int32_t(stream->brng); }

}  // extern "C"
