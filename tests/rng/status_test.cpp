// Every refusal of the registry and the stream operations returns its documented
// status and leaves the table, the handle and the stream as they were.
#include <dlfcn.h>

#include <array>
#include <cmath>
#include <thread>
#include <vector>

#include "tests/rng/rng_fixture.h"

using namespace nrx_test;

namespace {

int32_t init_ok(int32_t, DruStream*, int32_t, const uint32_t*) { return 0; }
int32_t gen_s(DruStream*, int32_t, float*, float, float) { return 0; }
int32_t gen_d(DruStream*, int32_t, double*, double, double) { return 0; }
int32_t gen_i(DruStream*, int32_t, uint32_t*) { return 0; }

BrngProperties user_record() { return {16, 1, 1, 4, 32, init_ok, gen_s, gen_d, gen_i}; }

TEST(Registry, LookupByIdentifier) {
  struct Row {
    int32_t brng;
    int32_t status, state_size;
  };
  const Row rows[] = {
      {DRU_BRNG_MCG31M1, 0, 24},
      {DRU_BRNG_WH + 272, 0, 48},
      {DRU_BRNG_WH + 273, -1000, 0},
      {DRU_BRNG_MT2203 + 6023, 0, 312},
      {DRU_BRNG_MT2203 + 6024, -1000, 0},
      {0x1100000, -1000, 0},
      {276, 0, 48} /* legacy WH 272 */,
      {277, 0, 11712} /* Sobol */,
      {279, 0, 0} /* zero record */,
      {281, -1000, 0},
      {DRU_BRNG_PHILOX4X32X10, 0, 64},
      {-1, -1000, 0},
      // Abstract states hold a buffer and a callback pointer: 8-byte aligned on 64 bits.
      {DRU_BRNG_IABSTRACT, 0, 48},
      {DRU_BRNG_DABSTRACT, 0, 64},
      {DRU_BRNG_SABSTRACT, 0, 56},
  };
  for (const Row& r : rows) {
    BrngProperties p{};
    p.StateSize = -77;
    EXPECT_EQ(_druGetBrngProperties(r.brng, &p), r.status) << std::hex << r.brng;
    EXPECT_EQ(p.StateSize, r.status == 0 ? r.state_size : -77) << "refused lookup wrote the record";
  }
  EXPECT_EQ(_druGetNumRegBrngs(), 16);
}

TEST(Registry, RegistrationChecksInOrder) {
  struct Row {
    void (*edit)(BrngProperties&);
    int32_t status;
  };
  const Row rows[] = {
      {[](BrngProperties& p) {
         p.StateSize = -1;
         p.WordBytes = 12;
       },
       DRU_E_BAD_STATE_SIZE},
      {[](BrngProperties& p) {
         p.WordBytes = 12;
         p.SeedCount = 0;
       },
       DRU_E_BAD_WORD_SIZE},
      {[](BrngProperties& p) {
         p.SeedCount = 0;
         p.BitCount = 0;
       },
       DRU_E_BAD_SEED_COUNT},
      {[](BrngProperties& p) {
         p.BitCount = 0;
         p.Init = nullptr;
       },
       DRU_E_BAD_BIT_COUNT},
      {[](BrngProperties& p) { p.GenS = nullptr; }, DRU_E_NULL_POINTER},
      {[](BrngProperties& p) { p.Init = nullptr; }, DRU_E_NULL_POINTER},
  };
  for (const Row& r : rows) {
    BrngProperties p = user_record();
    r.edit(p);
    EXPECT_EQ(_druRegisterBrng(&p), r.status);
    EXPECT_EQ(_druGetNumRegBrngs(), 16) << "refused registration changed the table";
  }
  BrngProperties p = user_record();
  EXPECT_EQ(_druRegisterBrng(&p), 0x1100000);
  EXPECT_EQ(_druGetNumRegBrngs(), 17);
  BrngProperties q{};
  EXPECT_EQ(_druGetBrngProperties(0x1100000, &q), 0);
  EXPECT_EQ(q.Init, &init_ok);
  DruStream* s = nullptr;
  EXPECT_EQ(_druNewStreamEx(&s, 0x1100000, 0, nullptr), 0);
  _druDeleteStream(&s);
}

// The 513th record is refused and the table stays full but intact.
TEST(Registry, FullTableRefusesWithoutChange) {
  BrngProperties p = user_record();
  for (int32_t i = _druGetNumRegBrngs(); i < DRU_REGISTRY_CAPACITY; ++i) ASSERT_EQ(_druRegisterBrng(&p), (i + 1) << 20);
  const DruRegistry before = _RegBrngsNew;
  EXPECT_EQ(_druRegisterBrng(&p), DRU_E_NO_MEMORY);
  EXPECT_EQ(_druGetNumRegBrngs(), DRU_REGISTRY_CAPACITY);
  EXPECT_EQ(std::memcmp(&before, &_RegBrngsNew, sizeof before), 0);
}

TEST(Streams, CreationRefusals) {
  const int32_t bad[] = {DRU_BRNG_IABSTRACT,
                         DRU_BRNG_DABSTRACT,
                         DRU_BRNG_SABSTRACT,
                         DRU_BRNG_WH + 273,
                         0x1100001 /* member 1 of a one-member record */,
                         279,
                         280,
                         281};
  for (int32_t brng : bad) {
    DruStream* s = reinterpret_cast<DruStream*>(0x1);
    EXPECT_EQ(_druNewStreamEx(&s, brng, 0, nullptr), DRU_E_BRNG_INVALID) << std::hex << brng;
    EXPECT_EQ(s, nullptr) << "refused creation left a stale handle";
  }
  // Sobol without parameter words is one-dimensional.
  DruStream* s = nullptr;
  EXPECT_EQ(_druNewStreamEx(&s, DRU_BRNG_SOBOL, 0, nullptr), 0);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(_druDeleteStream(&s), 0);
  EXPECT_EQ(s, nullptr);
}

// The abstract records' outputs of the wrong kind: one function under six exported
// names, each returning DRU_E_ABSTRACT_KIND and writing nothing.
TEST(Registry, WrongKindOutputIsOneFunction) {
  void* lib = dlopen("libnrx_zar_avx512.so.1", RTLD_NOW | RTLD_NOLOAD);
  ASSERT_NE(lib, nullptr);
  const char* names[] = {"_drudBRngiAbstract", "_drudBRngsAbstract", "_druiBRngdAbstract",
                         "_druiBRngsAbstract", "_drusBRngdAbstract", "_drusBRngiAbstract"};
  void* first = dlsym(lib, names[0]);
  ASSERT_NE(first, nullptr);
  for (const char* n : names) EXPECT_EQ(dlsym(lib, n), first) << n << " is a function of its own";
  double d[2] = {7, 7};
  uint32_t w[2] = {7, 7};
  EXPECT_EQ(_drudBRngiAbstract(nullptr, 2, d, 0.0, 1.0), DRU_E_ABSTRACT_KIND);
  EXPECT_EQ(_druiBRngsAbstract(nullptr, 2, w), DRU_E_ABSTRACT_KIND);
  EXPECT_EQ(d[0] + d[1] + w[0] + w[1], 28.0);
  dlclose(lib);
}

// Refused leapfrog, skip-ahead and Init calls on every generator leave the image as it was.
TEST(Streams, SplittingRefusals) {
  struct Row {
    const char* what;
    int32_t (*call)(DruStream*);
    int32_t mcg, mrg, r250, wh, twister, counter, quasi;
  };
  static const uint64_t words[2] = {1, 2};
  const Row rows[] = {
      {"leapfrog total -1", [](DruStream* s) { return _druLeapfrogStream(s, 0, -1); }, -1013, -1013, -1013, -1013,
       -1013, -1013, -1013},
      {"leapfrog total 0", [](DruStream* s) { return _druLeapfrogStream(s, 0, 0); }, -1013, -1002, -1002, -1013, -1002,
       -1002, -1002},
      {"leapfrog k = total", [](DruStream* s) { return _druLeapfrogStream(s, 3, 3); }, -3, -1002, -1002, -3, -1002,
       -1002, -1002},
      {"leapfrog k < 0", [](DruStream* s) { return _druLeapfrogStream(s, -1, 3); }, -3, -1002, -1002, -3, -1002, -1002,
       -1002},
      {"leapfrog k = 1 of 2", [](DruStream* s) { return _druLeapfrogStream(s, 1, 2); }, 0, -1002, -1002, 0, -1002,
       -1002, -1002},
      {"multi-word skip", [](DruStream* s) { return _druSkipAheadStreamEx(s, 2, words); }, -1004, 0, -1004, -1004,
       -1004, 0, -1004},
      {"unknown method",
       [](DruStream* s) {
         BrngProperties p{};
         _druGetBrngProperties(int32_t(s->brng), &p);
         return p.Init(7, s, 0, nullptr);
       },
       -2, -2, -2, -2, -2, -2, -2},
  };
  for (const Gen& g : generators()) {
    for (const Row& r : rows) {
      Stream s(g);
      const auto before = s.image();
      const int32_t family = g.brng & ~0xFFFFF;
      const int32_t want = family == DRU_BRNG_MRG32K3A                              ? r.mrg
                           : family == DRU_BRNG_R250                                ? r.r250
                           : family == DRU_BRNG_MCG31M1 || family == DRU_BRNG_MCG59 ? r.mcg
                           : family == DRU_BRNG_WH                                  ? r.wh
                           : family == DRU_BRNG_MT19937 || family == DRU_BRNG_SFMT19937 || family == DRU_BRNG_MT2203
                               ? r.twister
                           : family == DRU_BRNG_ARS5 || family == DRU_BRNG_PHILOX4X32X10 ? r.counter
                           : family == DRU_BRNG_SOBOL || family == DRU_BRNG_NIEDERR      ? r.quasi
                                                                                         : -9999;
      EXPECT_EQ(r.call(s.s), want) << g.name << ": " << r.what;
      if (want != 0) {
        EXPECT_EQ(s.image(), before) << g.name << ": " << r.what;
      }
    }
  }
}

// Seeding rules at their edges, checked against the documented start values.
TEST(Streams, SeedEdges) {
  struct Row {
    int32_t brng;
    std::vector<uint32_t> seed, same_as;
  };
  const Row rows[] = {
      {DRU_BRNG_MCG31M1, {0}, {1}},
      {DRU_BRNG_MCG31M1, {2147483647u}, {1}},
      {DRU_BRNG_MCG59, {0, 0x08000000u}, {1}},
      {DRU_BRNG_MRG32K3A, {0, 0, 0, 0, 0, 0}, {1, 0, 0, 1, 0, 0}},
      {DRU_BRNG_MRG32K3A, {4294967087u + 5, 7, 8, 4294944443u + 2, 3, 4}, {5, 7, 8, 2, 3, 4}},
      {DRU_BRNG_R250, {}, {1}},
      {DRU_BRNG_R250, {0}, {1}},
      {DRU_BRNG_WH, {5, 6}, {5, 6, 1, 1}},
      {DRU_BRNG_MT19937, {}, {1}},
      {DRU_BRNG_SFMT19937, {}, {1}},
  };
  for (const Row& r : rows) {
    Stream a, b;
    ASSERT_EQ(_druNewStreamEx(&a.s, r.brng, int32_t(r.seed.size()), r.seed.data()), 0);
    ASSERT_EQ(_druNewStreamEx(&b.s, r.brng, int32_t(r.same_as.size()), r.same_as.data()), 0);
    EXPECT_EQ(a.ints(300), b.ints(300)) << std::hex << r.brng;
  }
}

// Shared chunk data lives while one stream refers to it.
TEST(Chunks, SharedDataReferenceCounted) {
  const Gen& g = gen(DRU_BRNG_MCG31M1);
  Stream a(g), b(g);
  uint64_t gid[2];
  ASSERT_EQ(_druGenerateNewGlobalRODataTableEntryId(gid, -7), 0);
  EXPECT_EQ(gid[1], uint64_t(int64_t(-7)));
  void* da = nrx_serv_test_block();
  void* db = nrx_serv_test_block();
  ASSERT_EQ(_druAddChunk(a.s, 99, gid, da, 64), 0);
  ASSERT_EQ(_druAddChunk(b.s, 99, gid, db, 64), 0);
  EXPECT_EQ(_druSearchChunk(b.s, 99), da) << "second attach did not share the entry";
  DruGlobROEntry* e = nullptr;
  ASSERT_EQ(_druFindGlobRODataTableEntry(&e, gid), 0);
  EXPECT_EQ(e->refs, 2u);
  Stream c;
  ASSERT_EQ(_druCopyStream(&c.s, a.s), 0);
  EXPECT_EQ(e->refs, 3u);
  _druDeleteStream(&a.s);
  _druDeleteStream(&c.s);
  ASSERT_EQ(_druFindGlobRODataTableEntry(&e, gid), 0);
  EXPECT_EQ(e->refs, 1u);
  _druDeleteStream(&b.s);
  EXPECT_EQ(_druFindGlobRODataTableEntry(&e, gid), DRU_E_NO_SHARED_ENTRY);
  nrx_serv_deallocate(db);
  const uint64_t zero[2] = {0, 0};
  EXPECT_EQ(_druFindGlobRODataTableEntry(&e, zero), DRU_E_NO_SHARED_ENTRY);
  EXPECT_EQ(_druUnregisterGlobRODataReference(gid), DRU_E_NO_SHARED_ENTRY);
}

TEST(Chunks, SharedTableFull) {
  std::vector<std::array<uint64_t, 2>> ids;
  DruGlobROEntry* e = nullptr;
  for (uint64_t i = 1;; ++i) {
    std::array<uint64_t, 2> gid{i, 42};
    void* data = nrx_serv_test_block();
    const int32_t st = _druCreateGlobRODataTableEntry(&e, gid.data(), data);
    if (st != 0) {
      EXPECT_EQ(st, DRU_E_SHARED_TABLE_FULL);
      nrx_serv_deallocate(data);
      break;
    }
    ids.push_back(gid);
  }
  EXPECT_EQ(ids.size(), size_t(DRU_SHARED_TABLE_SIZE));
  for (const auto& gid : ids) EXPECT_EQ(_druUnregisterGlobRODataReference(gid.data()), 0);
}

// Threads attaching and releasing the same shared data: the spin lock keeps the
// reference count exact, so the data is freed once, after the last release.
TEST(Chunks, SharedTableUnderContention) {
  uint64_t gid[2];
  _druGenerateNewGlobalRODataTableEntryId(gid, 1);
  std::vector<std::thread> pool;
  for (int t = 0; t < 4; ++t)
    pool.emplace_back([&gid] {
      for (int i = 0; i < 2000; ++i) {
        DruStream* s = nullptr;
        const uint32_t seed = 3;
        _druNewStreamEx(&s, DRU_BRNG_MRG32K3A, 1, &seed);
        void* d = nrx_serv_test_block();
        _druAddChunk(s, 5, gid, d, 64);
        if (_druSearchChunk(s, 5) != d) nrx_serv_deallocate(d);  // shared an existing entry
        _druDeleteStream(&s);
      }
    });
  for (auto& t : pool) t.join();
  DruGlobROEntry* e = nullptr;
  EXPECT_EQ(_druFindGlobRODataTableEntry(&e, gid), DRU_E_NO_SHARED_ENTRY);
}

TEST(Chunks, DeleteById) {
  Stream s(gen(DRU_BRNG_MCG59));
  for (uint32_t id : {5u, 6u, 5u}) ASSERT_EQ(_druAddChunk(s.s, id, nullptr, nrx_serv_test_block(), 64), 0);
  EXPECT_EQ(_druGetNumChunks(s.s), 4);  // with the cache chunk
  EXPECT_EQ(_druDeleteChunksById(s.s, 5), 0);
  EXPECT_EQ(_druGetNumChunks(s.s), 2);
  EXPECT_EQ(_druSearchChunk(s.s, 5), nullptr);
  EXPECT_NE(_druSearchChunk(s.s, 6), nullptr);
  EXPECT_NE(_druSearchChunk(s.s, DRU_CHUNK_MCG_CACHE), nullptr);
}

// Uniform: bad arguments refused, the accurate method clamps into [a, b].
TEST(Uniform, ArgumentsAndClamping) {
  Stream s(gen(DRU_BRNG_MCG31M1));
  double r[8];
  const auto before = s.image();
  EXPECT_EQ(drudRngUniform(1, s.s, 8, r, 0.0, 1.0), DRU_E_BAD_ARGUMENT);
  EXPECT_EQ(drudRngUniform(0, s.s, -1, r, 0.0, 1.0), DRU_E_BAD_ARGUMENT);
  EXPECT_EQ(drudRngUniform(0, s.s, 8, r, 1.0, 1.0), DRU_E_BAD_ARGUMENT);
  EXPECT_EQ(s.image(), before);
  // An interval so narrow that a + (b - a) u rounds up to b for u near 1.
  const float a = 1.0f, b = std::nextafter(1.0f, 2.0f);
  std::vector<float> f(20000);
  Stream t(gen(DRU_BRNG_MCG31M1)), u(gen(DRU_BRNG_MCG31M1));
  ASSERT_EQ(drusRngUniform(0, t.s, 20000, f.data(), a, b), 0);
  bool saw_b = false;
  for (float v : f) saw_b |= v == b;
  EXPECT_TRUE(saw_b) << "the interval does not exercise rounding to b";
  ASSERT_EQ(drusRngUniform(DRU_RNG_UNIFORM_ACCURATE, u.s, 20000, f.data(), a, b), 0);
  for (float v : f) ASSERT_TRUE(v >= a && v <= b);
  Stream m(gen(DRU_BRNG_MRG32K3A));
  EXPECT_EQ(drudRngUniform(0, m.s, 8, r, 2.0, 5.0), 0);
  for (double v : r) EXPECT_TRUE(v >= 2.0 && v < 5.0);
}

}  // namespace
