// The one generator list drives the exported names: every row's four functions are in
// rng/exports.txt, every generator function there belongs to a row, and the statuses
// of the status list are distinct and named.
#include <dlfcn.h>

#include <fstream>
#include <set>
#include <string>

#include "tests/rng/rng_fixture.h"

namespace {

std::set<std::string> exported() {
  std::set<std::string> names;
  std::ifstream in(NRX_RNG_EXPORTS);
  for (std::string line; std::getline(in, line);)
    if (!line.empty() && line[0] != '#') names.insert(line);
  return names;
}

bool generator_function(const std::string& n) {
  const bool init = n.rfind("_druBRng", 0) == 0 && n.size() > 10 && n.substr(n.size() - 10) == "InitStream";
  const bool out = n.size() > 8 && n.rfind("_dru", 0) == 0 && n.compare(5, 4, "BRng") == 0 &&
                   (n[4] == 's' || n[4] == 'd' || n[4] == 'i');
  return init || out;
}

TEST(GeneratorList, ExportsFollowTheList) {
  const std::set<std::string> names = exported();
  ASSERT_FALSE(names.empty()) << NRX_RNG_EXPORTS;
  std::set<std::string> from_list;
#define NRX_TEST_NAMES(Name, ...)                                                                                \
  for (const char* f : {"_druBRng" #Name "InitStream", "_drusBRng" #Name, "_drudBRng" #Name, "_druiBRng" #Name}) \
    from_list.insert(f);
  NRX_BRNG_LIST(NRX_TEST_NAMES)
#undef NRX_TEST_NAMES
  for (const std::string& f : from_list) EXPECT_TRUE(names.count(f)) << f << " missing from exports.txt";
  for (const std::string& n : names) {
    if (generator_function(n)) {
      EXPECT_TRUE(from_list.count(n)) << n << " exported but not in the generator list";
    }
  }
  void* lib = dlopen("libnrx_zar_avx512.so.1", RTLD_NOW | RTLD_NOLOAD);
  ASSERT_NE(lib, nullptr);
  for (const std::string& f : from_list) EXPECT_NE(dlsym(lib, f.c_str()), nullptr) << f << " not in the library";
  dlclose(lib);
}

// Each row's registry record and splitting methods as the library reports them.
TEST(GeneratorList, RecordsAndSplittingFollowTheList) {
  struct Row {
    int32_t id, state, seeds, word, members;
    uint32_t split;
    bool ready, abstract;
  };
#define NRX_TEST_ABSTRACT_ALL false
#define NRX_TEST_ABSTRACT_I true
#define NRX_TEST_ABSTRACT_D true
#define NRX_TEST_ABSTRACT_S true
#define NRX_TEST_READY_READY true
#define NRX_TEST_READY_PENDING false
#define NRX_TEST_ROW(Name, NAME, id, state, seeds, zero, word, bits, members, split, cpu, avail, kind, label) \
  {id, state, seeds, word, members, split, NRX_TEST_READY_##avail, NRX_TEST_ABSTRACT_##kind},
  const Row rows[] = {NRX_BRNG_LIST(NRX_TEST_ROW)};
#undef NRX_TEST_ROW
  EXPECT_EQ(rows[sizeof rows / sizeof rows[0] - 1].id, 16 << 20);
  for (const Row& r : rows) {
    BrngProperties p{};
    ASSERT_EQ(_druGetBrngProperties(r.id + r.members - 1, &p), 0) << std::hex << r.id;
    EXPECT_EQ(p.StateSize, r.state);
    EXPECT_EQ(p.SeedCount, r.seeds);
    EXPECT_EQ(p.WordBytes, r.word);
    EXPECT_EQ(_druGetBrngProperties(r.id + r.members, &p), DRU_E_BRNG_INVALID) << std::hex << r.id;
    if (!r.ready) continue;
    DruStream* s = nullptr;
    const uint32_t seed[2] = {5, 0};
    if (r.abstract) {  // made only by their own constructors
      EXPECT_EQ(_druNewStreamEx(&s, r.id, 1, seed), DRU_E_BRNG_INVALID) << std::hex << r.id;
      EXPECT_EQ(s, nullptr);
      continue;
    }
    ASSERT_EQ(_druNewStreamEx(&s, r.id, 1, seed), 0) << std::hex << r.id;
    const BrngProperties q = [&] {
      BrngProperties x{};
      _druGetBrngProperties(r.id, &x);
      return x;
    }();
    const uint32_t lf[2] = {0, 1};
    EXPECT_EQ(q.Init(DRU_INIT_LEAPFROG, s, 1, lf) == DRU_E_NO_LEAPFROG, !(r.split & DRU_SPLIT_LEAPFROG))
        << std::hex << r.id;
    EXPECT_EQ(q.Init(DRU_INIT_SKIP_AHEAD, s, 2, seed) == DRU_E_NO_SKIP_AHEAD, !(r.split & DRU_SPLIT_SKIP))
        << std::hex << r.id;
    const uint64_t one = 1;
    EXPECT_EQ(q.Init(DRU_INIT_SKIP_AHEAD_EX, s, 1, reinterpret_cast<const uint32_t*>(&one)) == DRU_E_NO_SKIP_AHEAD_EX,
              !(r.split & DRU_SPLIT_SKIP_EX))
        << std::hex << r.id;
    EXPECT_EQ(q.Init(9, s, 0, seed), DRU_E_BAD_METHOD);
    _druDeleteStream(&s);
  }
}

TEST(StatusList, DistinctValuesAndMessages) {
  struct Row {
    const char* name;
    int32_t value;
    const char* message;
  };
#define NRX_TEST_STATUS(name, value, message) {#name, value, message},
  const Row rows[] = {NRX_RNG_STATUS_LIST(NRX_TEST_STATUS)};
#undef NRX_TEST_STATUS
  std::set<int32_t> values;
  for (const Row& r : rows) {
    EXPECT_TRUE(values.insert(r.value).second) << r.name << " repeats a value";
    EXPECT_LE(r.value, 0) << r.name;
    EXPECT_GT(std::string(r.message).size(), 3u) << r.name;
  }
  EXPECT_EQ(rows[0].value, DRU_OK);
  EXPECT_TRUE(values.count(DRU_E_ABSTRACT_KIND) && values.count(DRU_E_SHARED_TABLE_FULL));
}

}  // namespace
