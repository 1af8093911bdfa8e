// Stream images in memory and in files: the 24-byte header (version 2, or the older
// 20-byte one on load), the state and every chunk. Loading checks each field before
// it is used and never hands back a partial stream.
#include <cpuid.h>

#include <cstdio>

#include "nrx/core.h"
#include "rng/internal.h"
#include "rng/registry/rows.h"

namespace nrx::rng {

bool cpu_has_rdrand() {
  unsigned a = 0, b = 0, c = 0, d = 0;
  return __get_cpuid(1, &a, &b, &c, &d) && (c & bit_RDRND);
}
bool cpu_has_aes() {
  unsigned a = 0, b = 0, c = 0, d = 0;
  return __get_cpuid(1, &a, &b, &c, &d) && (c & bit_AES) && (c & bit_SSE4_1);
}

namespace {

constexpr uint32_t kHeaderBytes = 24, kOldHeaderBytes = 20, kChunkHead = 24;
// The image counts chunks in 16 bits: a stream with more cannot be saved.
constexpr int32_t kMaxImageChunks = 0xFFFF;
// Largest chunk a memory image of unknown length may declare.
constexpr uint32_t kMaxChunkBytes = 1u << 28;

template <class T> T get(const unsigned char* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
template <class T> void put(unsigned char* p, T v) { std::memcpy(p, &v, sizeof v); }

struct Header {
  uint32_t state_size, chunks, brng;
};

void make_header(const DruStream* s, unsigned char* h) {
  std::memset(h, 0, kHeaderBytes);
  h[0] = 2;
  h[4] = 'R', h[5] = 'N', h[6] = 'G';
  put<uint16_t>(h + 8, uint16_t(kHeaderBytes));
  put<uint32_t>(h + 12, state_area(record_of(s->brng)));
  put<uint16_t>(h + 16, uint16_t(_druGetNumChunks(s)));
  put<uint32_t>(h + 20, s->brng);
}

uint32_t state_bytes(const DruStream* s) { return state_area(record_of(s->brng)); }

// Where the bytes of an image come from: a bounded memory block or an open file.
struct Source {
  virtual ~Source() = default;
  virtual bool read(void* dst, size_t n) = 0;
  virtual size_t remaining() const = 0;
};

struct MemorySource final : Source {
  const unsigned char* p;
  size_t left;
  MemorySource(const unsigned char* b, size_t n) : p(b), left(n) {}
  bool read(void* dst, size_t n) override {
    if (n > left) return false;
    std::memcpy(dst, p, n);
    p += n, left -= n;
    return true;
  }
  size_t remaining() const override { return left; }
};

struct FileSource final : Source {
  FILE* f;
  size_t left;
  explicit FileSource(FILE* file) : f(file), left(0) {
    const long here = std::ftell(f);
    if (here >= 0 && std::fseek(f, 0, SEEK_END) == 0) {
      const long end = std::ftell(f);
      left = end > here ? size_t(end - here) : 0;
      std::fseek(f, here, SEEK_SET);
    }
  }
  bool read(void* dst, size_t n) override {
    if (n > left || std::fread(dst, 1, n, f) != n) return false;
    left -= n;
    return true;
  }
  size_t remaining() const override { return left; }
};

// Header of either layout; false when it is not an image of a known generator.
bool parse_header(Source& src, int32_t& short_read, Header& h) {
  unsigned char b[kHeaderBytes] = {};
  if (!src.read(b, 8)) return short_read = 1, false;
  const bool current = b[0] == 2;
  if (!src.read(b + 8, current ? kHeaderBytes - 8 : kOldHeaderBytes - 8)) return short_read = 1, false;
  const bool magic = std::memcmp(b + 4, "RNG", 3) == 0 || std::memcmp(b, "RNG", 3) == 0;
  uint32_t header_size = kHeaderBytes;
  if (current) {
    header_size = get<uint16_t>(b + 8);
    h = Header{get<uint32_t>(b + 12), get<uint16_t>(b + 16), get<uint32_t>(b + 20)};
  } else {
    h = Header{get<uint16_t>(b + 10), get<uint16_t>(b + 12), get<uint32_t>(b + 16)};
  }
  const BrngProperties* r = valid_record(h.brng);
  return magic && header_size >= kHeaderBytes && r && r->Init && h.state_size == state_area(r);
}

// The processor feature a built-in generator's images need, as a load status.
int32_t cpu_status(const BrngProperties* table, int32_t index) {
  const BrngRow* row = table == _RegBrngsNew.records ? builtin_row(index) : nullptr;
  if (!row) return DRU_OK;
  if (row->cpu == DRU_CPU_RDRAND && !cpu_has_rdrand()) return DRU_E_NO_RDRAND;
  if (row->cpu == DRU_CPU_AES && !cpu_has_aes()) return DRU_E_NO_AES;
  return DRU_OK;
}

// Reverses a chunk list: chunks are attached in image order, newest first.
void reverse_chunks(DruStream* s) {
  DruChunk* prev = nullptr;
  for (DruChunk* c = s->chunks; c;) {
    DruChunk* next = c->next;
    c->next = prev, prev = c, c = next;
  }
  s->chunks = prev;
}

// The common loader: `bad` and `truncated` are the statuses of an unrecognised and of
// a short image for this source.
int32_t load(DruStream** out, Source& src, int32_t bad, int32_t truncated, bool bounded) {
  *out = nullptr;
  Header h{};
  int32_t short_read = 0;
  if (!parse_header(src, short_read, h)) return short_read ? truncated : bad;
  int32_t index = 0, member = 0;
  const BrngProperties* table = _druGetBrngBaseOffset(int32_t(h.brng), &index, &member);
  DruStream* s = nullptr;
  if (int32_t st = _druAllocateStream(&s, table, int32_t(h.brng), index, member); st != DRU_OK) return st;
  int32_t status = DRU_OK;
  if (!src.read(state_of<unsigned char>(s), h.state_size)) status = truncated;
  if (status == DRU_OK) status = cpu_status(table, index);
  for (uint32_t k = 0; k < h.chunks && status >= 0; ++k) {
    unsigned char ch[kChunkHead];
    if (!src.read(ch, kChunkHead)) {
      status = truncated;
      break;
    }
    const uint32_t id = get<uint32_t>(ch), size = get<uint32_t>(ch + 20);
    const uint64_t gid[2] = {get<uint64_t>(ch + 4), get<uint64_t>(ch + 12)};
    if (size > src.remaining()) {
      status = truncated;
      break;
    }
    if (!bounded && size > kMaxChunkBytes) {
      status = bad;
      break;
    }
    void* data = nrx_serv_allocate(size, 128);
    if (!data) {
      status = DRU_E_NO_MEMORY;
      break;
    }
    if (!src.read(data, size)) {
      nrx_serv_deallocate(data);
      status = truncated;
      break;
    }
    if (_druAddChunk(s, id, gid, data, size) != DRU_OK) {
      nrx_serv_deallocate(data);
      status = DRU_E_NO_MEMORY;
      break;
    }
    if (s->chunks->data != data) nrx_serv_deallocate(data);  // shared with an existing entry
  }
  if (status < 0) {
    _druDeleteStream(&s);
    return status;
  }
  reverse_chunks(s);
  *out = s;
  return status;
}

// Zero-terminated copy of a byte-string file name, or null.
char* file_name(const char* path, int32_t len) {
  if (!path || len < 0) return nullptr;
  char* name = static_cast<char*>(nrx_serv_allocate(size_t(len) + 1, 128));
  if (!name) return nullptr;
  std::memcpy(name, path, size_t(len));
  name[len] = 0;
  return name;
}

}  // namespace

int32_t load_image(DruStream** out, const unsigned char* buf, size_t len) {
  MemorySource src(buf, len);
  return load(out, src, DRU_E_BAD_IMAGE, DRU_E_BAD_IMAGE, len != SIZE_MAX);
}

}  // namespace nrx::rng

using namespace nrx::rng;

extern "C" {

NRX_RNG_API int32_t _druGetStreamSize(const DruStream* s) {
  int64_t n = int64_t(sizeof(DruStream)) + state_area(record_of(s->brng)) + 8;
  for (const DruChunk* c = s->chunks; c; c = c->next) n += kChunkHead + c->size;
  return int32_t(n);
}

NRX_RNG_API int32_t _druSaveStreamM(const DruStream* s, void* buffer) {
  if (_druGetNumChunks(s) > kMaxImageChunks) return DRU_E_BAD_ARGUMENT;
  auto* p = static_cast<unsigned char*>(buffer);
  make_header(s, p);
  p += kHeaderBytes;
  const uint32_t bytes = state_bytes(s);
  std::memcpy(p, state_of<unsigned char>(s), bytes);
  p += bytes;
  for (const DruChunk* c = s->chunks; c; c = c->next) {
    put<uint32_t>(p, c->id);
    put<uint64_t>(p + 4, c->gid[0]);
    put<uint64_t>(p + 12, c->gid[1]);
    put<uint32_t>(p + 20, c->size);
    if (c->size) std::memcpy(p + kChunkHead, c->data, c->size);
    p += kChunkHead + c->size;
  }
  return DRU_OK;
}

NRX_RNG_API int32_t _druLoadStreamM(DruStream** stream, const void* buffer) {
  return load_image(stream, static_cast<const unsigned char*>(buffer), SIZE_MAX);
}

NRX_RNG_API int32_t _druSaveStreamF(const DruStream* s, const char* path, int32_t path_len) {
  if (_druGetNumChunks(s) > kMaxImageChunks) return DRU_E_BAD_ARGUMENT;  // before the file is touched
  char* name = file_name(path, path_len);
  if (!name) return path && path_len >= 0 ? DRU_E_NO_MEMORY : DRU_E_FILE_OPEN;
  FILE* f = std::fopen(name, "wb");
  nrx_serv_deallocate(name);
  if (!f) return DRU_E_FILE_OPEN;
  int32_t status = DRU_OK;
  unsigned char h[kHeaderBytes];
  make_header(s, h);
  const uint32_t bytes = state_bytes(s);
  if (std::fwrite(h, kHeaderBytes, 1, f) != 1 || (bytes && std::fwrite(state_of<unsigned char>(s), bytes, 1, f) != 1))
    status = DRU_E_FILE_WRITE;
  for (const DruChunk* c = s->chunks; c && status == DRU_OK; c = c->next) {
    std::fwrite(&c->id, 4, 1, f);
    std::fwrite(c->gid, 8, 2, f);
    std::fwrite(&c->size, 4, 1, f);
    if (c->size && std::fwrite(c->data, c->size, 1, f) != 1) status = DRU_E_FILE_WRITE;
  }
  if (std::fflush(f) != 0 && status == DRU_OK) status = DRU_E_FILE_WRITE;
  if (std::fclose(f) != 0 && status == DRU_OK) status = DRU_E_FILE_CLOSE;
  return status;
}

NRX_RNG_API int32_t _druLoadStreamF(DruStream** stream, int32_t path_len, const char* path) {
  *stream = nullptr;
  char* name = file_name(path, path_len);
  if (!name) return path && path_len >= 0 ? DRU_E_NO_MEMORY : DRU_E_FILE_OPEN;
  FILE* f = std::fopen(name, "rb");
  nrx_serv_deallocate(name);
  if (!f) return DRU_E_FILE_OPEN;
  FileSource src(f);
  int32_t status = load(stream, src, DRU_E_BAD_FILE_IMAGE, DRU_E_FILE_READ, true);
  if (std::fclose(f) != 0 && status >= 0) {
    _druDeleteStream(stream);
    status = DRU_E_FILE_CLOSE;
  }
  return status;
}

}  // extern "C"
