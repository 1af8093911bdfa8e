// Stream images: sizes, both header layouts, and every damaged image refused with
// its status and a null handle.
#include <cstdio>
#include <fstream>
#include <string>

#include "tests/rng/rng_fixture.h"

using namespace nrx_test;

namespace {

using Bytes = std::vector<unsigned char>;

std::string temp_path(const char* tag) { return testing::TempDir() + "rng_persist_" + tag + ".bin"; }

void write_file(const std::string& path, const Bytes& b) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
}

int32_t load_file(const std::string& path, DruStream** s) {
  return _druLoadStreamF(s, int32_t(path.size()), path.data());
}

TEST(Persist, ImageSizes) {
  Stream mcg(gen(DRU_BRNG_MCG31M1)), mrg(gen(DRU_BRNG_MRG32K3A)), wh(gen(DRU_BRNG_WH));
  EXPECT_EQ(_druGetStreamSize(mcg.s), 24 + 8 + 24 + 384);
  EXPECT_EQ(_druGetStreamSize(mrg.s), 40 + 8);
  EXPECT_EQ(_druGetStreamSize(wh.s), 48 + 8);
  Stream mt(gen(DRU_BRNG_MT19937)), sfmt(gen(DRU_BRNG_SFMT19937));
  EXPECT_EQ(_druGetStreamSize(mt.s), 2520 + 8);
  EXPECT_EQ(_druGetStreamSize(sfmt.s), 2536 + 8);
  const Bytes img = mcg.image();
  EXPECT_EQ(img[0], 2);
  EXPECT_EQ(std::string(img.begin() + 4, img.begin() + 7), "RNG");
  // The cache chunk follows the 8-byte state: kind 14, 384 bytes, lanes x A^j, then
  // the multiplier powers A^8, A^16, A^24, A^32 of the documented layout.
  auto u64_at = [&](size_t off) {
    uint64_t v;
    std::memcpy(&v, &img[off], 8);
    return v;
  };
  const size_t chunk = 24 + 8, data = chunk + 24;
  EXPECT_EQ(img[chunk], DRU_CHUNK_MCG_CACHE);
  EXPECT_EQ(img[chunk + 21], 384 >> 8);
  EXPECT_EQ(u64_at(data + 64), 12345u);
  EXPECT_EQ(u64_at(data + 72), 12345ull * 1132489760ull % 2147483647ull);
  const uint64_t powers[4] = {0x4CA73C3C, 0x725BA016, 0x01D47D91, 0x31EAF8A2};
  for (int q = 0; q < 4; ++q)
    for (int j = 0; j < 8; ++j) EXPECT_EQ(u64_at(data + 128 + 64 * q + 8 * j), powers[q]);
}

// The older 20-byte header, with the magic at offset 0 or 4, loads to the same stream.
TEST(Persist, OldHeaderLoads) {
  Stream a(gen(DRU_BRNG_MRG32K3A));
  a.ints(10);
  const Bytes cur = a.image();
  for (int magic_at : {0, 4}) {
    Bytes old(20, 0);
    std::memcpy(&old[magic_at], "RNG", 3);
    if (magic_at == 4) old[0] = 1;
    const uint16_t state = 24, chunks = 0;
    const uint32_t brng = DRU_BRNG_MRG32K3A;
    std::memcpy(&old[10], &state, 2), std::memcpy(&old[12], &chunks, 2), std::memcpy(&old[16], &brng, 4);
    old.insert(old.end(), cur.begin() + 24, cur.end());
    Stream m;
    ASSERT_EQ(_druLoadStreamM(&m.s, old.data()), 0) << magic_at;
    EXPECT_EQ(m.image(), cur);
  }
}

// Damaged images: one edit per row, the status for memory and for file images.
TEST(Persist, DamagedImagesRefused) {
  struct Row {
    const char* what;
    void (*edit)(Bytes&);
    int32_t memory, file;
  };
  const Row rows[] = {
      {"no magic", [](Bytes& b) { b[4] = 'X'; }, DRU_E_BAD_IMAGE, DRU_E_BAD_FILE_IMAGE},
      {"state size + 1", [](Bytes& b) { b[12] += 1; }, DRU_E_BAD_IMAGE, DRU_E_BAD_FILE_IMAGE},
      {"header size 23", [](Bytes& b) { b[8] = 23; }, DRU_E_BAD_IMAGE, DRU_E_BAD_FILE_IMAGE},
      {"unknown generator", [](Bytes& b) { b[22] = 0x70; }, DRU_E_BAD_IMAGE, DRU_E_BAD_FILE_IMAGE},
      {"WH member 273",
       [](Bytes& b) {
         uint32_t v = DRU_BRNG_WH + 273;
         std::memcpy(&b[20], &v, 4);
       },
       DRU_E_BAD_IMAGE, DRU_E_BAD_FILE_IMAGE},
      {"absurd chunk count", [](Bytes& b) { b[16] = 0xFF, b[17] = 0xFF; }, DRU_E_BAD_IMAGE, DRU_E_FILE_READ},
      {"absurd chunk size", [](Bytes& b) { b[24 + 8 + 20 + 3] = 0xFF; }, DRU_E_BAD_IMAGE, DRU_E_FILE_READ},
  };
  Stream a(gen(DRU_BRNG_MCG31M1));
  const Bytes img = a.image();
  for (const Row& r : rows) {
    Bytes b = img;
    r.edit(b);
    b.resize(b.size() + (1u << 16));  // the memory loader must not read past what is declared
    DruStream* s = reinterpret_cast<DruStream*>(0x1);
    if (std::string(r.what) != "absurd chunk count") {
      EXPECT_EQ(_druLoadStreamM(&s, b.data()), r.memory) << r.what;
      EXPECT_EQ(s, nullptr) << r.what;
    }
    b.resize(img.size());
    const std::string path = temp_path("damaged");
    write_file(path, b);
    s = reinterpret_cast<DruStream*>(0x1);
    EXPECT_EQ(load_file(path, &s), r.file) << r.what;
    EXPECT_EQ(s, nullptr) << r.what;
    std::remove(path.c_str());
  }
}

// Every truncation of a file image is a short read.
TEST(Persist, TruncatedFilesRefused) {
  Stream a(gen(DRU_BRNG_MCG31M1));
  const Bytes img = a.image();
  const std::string path = temp_path("cut");
  for (size_t n = 0; n < img.size(); n += (n < 64 ? 1 : 37)) {
    write_file(path, Bytes(img.begin(), img.begin() + std::ptrdiff_t(n)));
    DruStream* s = reinterpret_cast<DruStream*>(0x1);
    EXPECT_EQ(load_file(path, &s), DRU_E_FILE_READ) << n;
    EXPECT_EQ(s, nullptr);
  }
  std::remove(path.c_str());
}

TEST(Persist, FileErrors) {
  Stream a(gen(DRU_BRNG_MCG31M1));
  DruStream* s = reinterpret_cast<DruStream*>(0x1);
  const std::string missing = testing::TempDir() + "no/such/dir/x.bin";
  EXPECT_EQ(load_file(missing, &s), DRU_E_FILE_OPEN);
  EXPECT_EQ(s, nullptr);
  EXPECT_EQ(_druSaveStreamF(a.s, missing.data(), int32_t(missing.size())), DRU_E_FILE_OPEN);
  const std::string full = "/dev/full";
  EXPECT_EQ(_druSaveStreamF(a.s, full.data(), int32_t(full.size())), DRU_E_FILE_WRITE);
  // Only path_len bytes name the file.
  const std::string path = temp_path("named") + "IGNORED";
  ASSERT_EQ(_druSaveStreamF(a.s, path.data(), int32_t(path.size() - 7)), 0);
  Stream b;
  ASSERT_EQ(_druLoadStreamF(&b.s, int32_t(path.size() - 7), path.data()), 0);
  EXPECT_EQ(b.image(), a.image());
  std::remove(path.substr(0, path.size() - 7).c_str());
}

// Chunks keep their order, kinds and identifiers; shared data is shared again on load.
TEST(Persist, ChunksRoundTrip) {
  Stream a(gen(DRU_BRNG_MCG31M1));
  uint64_t gid[2];
  _druGenerateNewGlobalRODataTableEntryId(gid, 3);
  auto* d = static_cast<unsigned char*>(nrx_serv_test_block());
  for (int i = 0; i < 64; ++i) d[i] = static_cast<unsigned char>(i);
  ASSERT_EQ(_druAddChunk(a.s, 7, gid, d, 64), 0);
  ASSERT_EQ(_druAddChunk(a.s, 8, nullptr, nrx_serv_test_block(), 0), 0);
  const Bytes img = a.image();
  Stream b;
  ASSERT_EQ(_druLoadStreamM(&b.s, img.data()), 0);
  EXPECT_EQ(b.image(), img);
  EXPECT_EQ(_druSearchChunk(b.s, 7), d) << "loaded chunk with a known gid did not share its data";
}

// A chunk naming a shared entry of another size (a damaged image; found by the loader fuzzer)
// keeps its own bytes: sharing the smaller entry let saving read past its end.
TEST(Persist, KnownGidOfAnotherSizeStaysPrivate) {
  Stream a(gen(DRU_BRNG_MCG31M1));
  uint64_t gid[2];
  _druGenerateNewGlobalRODataTableEntryId(gid, 4);
  auto* small = static_cast<unsigned char*>(nrx_serv_test_block());
  small[0] = 0xAB;
  ASSERT_EQ(_druAddChunk(a.s, 7, gid, small, 1), 0);
  auto* big = static_cast<unsigned char*>(nrx_serv_test_block());
  for (int i = 0; i < 16; ++i) big[i] = static_cast<unsigned char>(0x10 + i);
  ASSERT_EQ(_druAddChunk(a.s, 9, gid, big, 16), 0);
  EXPECT_EQ(_druSearchChunk(a.s, 9), big) << "a 16-byte chunk shared a 1-byte entry";
  const Bytes img = a.image();
  Stream b;
  ASSERT_EQ(_druLoadStreamM(&b.s, img.data()), 0);
  EXPECT_EQ(b.image(), img);
}

// The image counts chunks in 16 bits: 65,535 chunks save and load back, one more is
// refused by both save functions before anything is written.
TEST(Persist, ChunkCountLimit) {
  Stream a(gen(DRU_BRNG_MRG32K3A));
  for (int i = 0; i < 65535; ++i) {
    void* d = nrx_serv_allocate(4, 128);
    std::memcpy(d, &i, 4);
    ASSERT_EQ(_druAddChunk(a.s, uint32_t(i % 7), nullptr, d, 4), 0);
  }
  const Bytes img = a.image();
  Stream b;
  ASSERT_EQ(_druLoadStreamM(&b.s, img.data()), 0);
  EXPECT_EQ(_druGetNumChunks(b.s), 65535);
  EXPECT_EQ(b.image(), img);
  void* d = nrx_serv_allocate(4, 128);
  ASSERT_EQ(_druAddChunk(a.s, 99, nullptr, d, 4), 0);
  Bytes buf(size_t(_druGetStreamSize(a.s)), 0xA5);
  EXPECT_EQ(_druSaveStreamM(a.s, buf.data()), DRU_E_BAD_ARGUMENT);
  EXPECT_EQ(buf, Bytes(buf.size(), 0xA5)) << "a refused save wrote the buffer";
  const std::string path = temp_path("many_chunks");
  std::remove(path.c_str());
  EXPECT_EQ(_druSaveStreamF(a.s, path.data(), int32_t(path.size())), DRU_E_BAD_ARGUMENT);
  EXPECT_FALSE(std::ifstream(path).good()) << "a refused save created the file";
}

}  // namespace
