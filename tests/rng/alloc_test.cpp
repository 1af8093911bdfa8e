// Allocation failures: this executable interposes the core allocator and fails the
// k-th request. Every operation then returns DRU_E_NO_MEMORY, leaves the stream as
// it was, a new handle null, and leaks nothing.
#include <dlfcn.h>

#include <atomic>
#include <functional>
#include <string>

#include "tests/rng/rng_fixture.h"

namespace {

std::atomic<int> g_fail_in{-1};  // requests left before the failing one; -1 never
std::atomic<long> g_live{0};

template <class Fn> Fn next(const char* name) { return reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name)); }

}  // namespace

extern "C" void* nrx_serv_allocate(size_t size, int32_t alignment) {
  static auto real = next<void* (*)(size_t, int32_t)>("nrx_serv_allocate");
  if (g_fail_in.load() >= 0 && g_fail_in.fetch_sub(1) == 0) return nullptr;
  void* p = real(size, alignment);
  if (p) ++g_live;
  return p;
}
extern "C" void nrx_serv_deallocate(void* p) {
  static auto real = next<void (*)(void*)>("nrx_serv_deallocate");
  if (p) --g_live;
  real(p);
}

using namespace nrx_test;

namespace {

struct Row {
  const char* what;
  int requests;  // allocations the operation makes on success
  // Runs the operation on `s`; returns its status. `out` receives a new handle if any.
  std::function<int32_t(DruStream* s, DruStream** out)> call;
};

TEST(AllocationFailure, EveryRequestRefusedCleanly) {
  static const std::string path = testing::TempDir() + "rng_alloc.bin";
  static std::vector<unsigned char> image;
  const Row rows[] = {
      {"new stream", 3,
       [](DruStream*, DruStream** o) {
         const uint32_t x = 5;
         return _druNewStreamEx(o, DRU_BRNG_MCG59, 1, &x);
       }},
      {"copy stream", 5, [](DruStream* s, DruStream** o) { return _druCopyStream(o, s); }},
      {"copy state", 4,
       [](DruStream* s, DruStream** o) {
         const uint32_t x = 9;
         DruStream* src = nullptr;
         const int g = g_fail_in.exchange(-1);
         _druNewStreamEx(&src, DRU_BRNG_MCG31M1, 1, &x);
         _druAddChunk(src, 3, nullptr, nrx_serv_allocate(64, 128), 64);
         g_fail_in = g;
         const int32_t st = _druCopyStreamState(s, src);
         g_fail_in = -1;
         _druDeleteStream(&src);
         (void)o;
         return st;
       }},
      {"add chunk", 1,
       [](DruStream* s, DruStream**) {
         const int g = g_fail_in.exchange(-1);
         void* d = nrx_serv_allocate(64, 128);
         g_fail_in = g;
         const int32_t st = _druAddChunk(s, 4, nullptr, d, 64);
         if (st != 0) nrx_serv_deallocate(d);
         return st;
       }},
      {"load memory image", 5, [](DruStream*, DruStream** o) { return _druLoadStreamM(o, image.data()); }},
      {"load file", 6, [](DruStream*, DruStream** o) { return _druLoadStreamF(o, int32_t(path.size()), path.data()); }},
      {"save file", 1, [](DruStream* s, DruStream**) { return _druSaveStreamF(s, path.data(), int32_t(path.size())); }},
      {"leapfrog rebuilding the cache", 2,
       [](DruStream* s, DruStream**) {
         _druDeleteChunksById(s, DRU_CHUNK_MCG_CACHE);
         return _druLeapfrogStream(s, 1, 3);
       }},
  };
  for (const Row& r : rows) {
    for (int k = 0; k <= r.requests; ++k) {  // the last round fails nothing and must succeed
      const uint32_t seed = 77;
      DruStream* s = nullptr;
      ASSERT_EQ(_druNewStreamEx(&s, DRU_BRNG_MCG31M1, 1, &seed), 0);
      ASSERT_EQ(_druAddChunk(s, 3, nullptr, nrx_serv_allocate(64, 128), 64), 0);
      image.resize(size_t(_druGetStreamSize(s)));
      _druSaveStreamM(s, image.data());
      ASSERT_EQ(_druSaveStreamF(s, path.data(), int32_t(path.size())), 0);
      if (std::string(r.what).find("leapfrog") != std::string::npos) _druDeleteChunksById(s, DRU_CHUNK_MCG_CACHE);
      std::vector<unsigned char> before(size_t(_druGetStreamSize(s)));
      _druSaveStreamM(s, before.data());
      const long live = g_live;
      DruStream* out = reinterpret_cast<DruStream*>(0x1);
      g_fail_in = k;
      const int32_t st = r.call(s, &out);
      g_fail_in = -1;
      if (k == r.requests) {
        EXPECT_GE(st, 0) << r.what << " needs more than " << k << " requests";
        if (out != reinterpret_cast<DruStream*>(0x1)) _druDeleteStream(&out);
        _druDeleteStream(&s);
        continue;
      }
      EXPECT_EQ(st, DRU_E_NO_MEMORY) << r.what << ", request " << k;
      const std::string w = r.what;
      const bool makes_handle = w == "new stream" || w == "copy stream" || w.rfind("load", 0) == 0;
      if (std::string(r.what) == "new stream" && k > 0 && out != nullptr) {
        _druDeleteStream(&out);  // seeding failed after the block was handed out
      } else if (makes_handle) {
        EXPECT_EQ(out, nullptr) << r.what << ": a failed create, copy or load leaves the handle null";
      } else {
        EXPECT_EQ(out, reinterpret_cast<DruStream*>(0x1)) << r.what;
      }
      std::vector<unsigned char> after(size_t(_druGetStreamSize(s)));
      _druSaveStreamM(s, after.data());
      EXPECT_EQ(after, before) << r.what << ", request " << k;
      EXPECT_EQ(g_live, live) << r.what << " leaked at request " << k;
      _druDeleteStream(&s);
    }
  }
  std::remove(path.c_str());
}

}  // namespace

namespace {

// Guards against: a skip-ahead that writes the stream before all its work space is
// granted, or leaks it when a later request fails.
TEST(AllocationFailure, TwisterSkipAheadLeavesTheStreamUnchanged) {
  const struct {
    const char* what;
    int32_t brng;
    uint64_t n;
  } rows[] = {
      {"MT19937 sliding window", DRU_BRNG_MT19937, uint64_t(1) << 40},
      {"SFMT19937 sliding window", DRU_BRNG_SFMT19937, uint64_t(1) << 40},
      {"SFMT19937 Horner", DRU_BRNG_SFMT19937, 5000},
  };
  constexpr int kRequests = 2;  // the working states, the polynomial
  for (const auto& r : rows)
    for (int k = 0; k <= kRequests; ++k) {
      Stream s(gen(r.brng));
      s.ints(10);
      const auto before = s.image();
      const long live = g_live;
      g_fail_in = k;
      const int32_t st = _druSkipAheadStream(s.s, r.n);
      g_fail_in = -1;
      EXPECT_EQ(g_live, live) << r.what << " leaked at request " << k;
      if (k == kRequests) {
        EXPECT_EQ(st, 0) << r.what;
        continue;
      }
      EXPECT_EQ(st, DRU_E_NO_MEMORY) << r.what << ", request " << k;
      EXPECT_EQ(s.image(), before) << r.what << ", request " << k;
    }
}

}  // namespace
