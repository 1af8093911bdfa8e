// Sobol and Niederreiter streams: calls ending mid-point, skip-ahead, coordinate
// selection, copies, images and deleted chunks all equal slicing one long call; the
// value limit; seeding rules; and the threading rule with results equal on any
// threader. This executable interposes the core library's threader lookup.
#include <dlfcn.h>
#include <sys/mman.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstring>
#include <thread>

#include "tests/rng/rng_fixture.h"
#include "tools/qrng/form11_words.h"

namespace {

using nrx::qrng_testing::form11_words;

// 0: the core library's threader; otherwise a threader of this test reporting this
// limit and running the items in reverse order on two threads of its own.
std::atomic<int64_t> g_limit{0};
std::atomic<int64_t> g_groups{0};       // item count of the last parallel loop, 0 when none
std::atomic<bool> g_count_only{false};  // record the item count without running the items

int64_t fake_limit() { return g_limit.load(); }
void fake_for(int64_t count, int64_t, void* ctx, nrx_threader_worker w) {
  g_groups = count;
  if (g_count_only) return;
  auto half = [&](int64_t parity) {
    for (int64_t i = count - 1; i >= 0; --i)
      if (i % 2 == parity) w(i, parity, 2, ctx);
  };
  std::thread t(half, 1);
  half(0);
  t.join();
}

}  // namespace

extern "C" void* nrx_serv_load_thread_fun(const char* name) {
  static auto real = reinterpret_cast<void* (*)(const char*)>(dlsym(RTLD_NEXT, "nrx_serv_load_thread_fun"));
  if (g_limit.load() == 0) return real(name);
  if (std::strcmp(name, "nrx_dru_serv_threader_get_num_threads_limit") == 0)
    return reinterpret_cast<void*>(&fake_limit);
  if (std::strcmp(name, "nrx_dru_serv_threader_for") == 0) return reinterpret_cast<void*>(&fake_for);
  return nullptr;
}

using namespace nrx_test;

namespace {

struct Threader {  // sets the fake threader's limit for a scope
  explicit Threader(int64_t limit) { g_limit = limit, g_groups = 0; }
  ~Threader() { g_limit = 0; }
};

uint32_t field(const DruStream* s, int offset) {
  uint32_t v;
  std::memcpy(&v, reinterpret_cast<const unsigned char*>(s) + offset, 4);
  return v;
}

// A stream of brng seeded with the words p.
struct Q : Stream {
  explicit Q(int32_t brng, std::vector<uint32_t> p) {
    EXPECT_EQ(_druNewStreamEx(&s, brng, int32_t(p.size()), p.data()), 0);
  }
  uint32_t dim() const { return field(s, 20); }
};

// Form 1 seed words: dimension d, every dimension above 1 on polynomial x^2 + x + 1.
std::vector<uint32_t> form1(uint32_t d) {
  std::vector<uint32_t> p = {d, 1, 1};
  p.resize(d + 2, 7);
  return p;
}

struct Case {
  const char* name;
  int32_t brng;
  std::vector<uint32_t> seed;
};
const Case kCases[] = {
    {"sobol_7", DRU_BRNG_SOBOL, {7}},
    {"sobol_40", DRU_BRNG_SOBOL, {40}},
    {"sobol_form1_77", DRU_BRNG_SOBOL, form1(77)},
    {"niederr_3", DRU_BRNG_NIEDERR, {3}},
    {"niederr_318", DRU_BRNG_NIEDERR, {318}},
};

class Slicing : public testing::TestWithParam<Case> {};

// Guards against lost coordinates at call ends and heads, tails and whole points disagreeing.
TEST_P(Slicing, CallsOfAnyLengthEqualOneCall) {
  const Case& c = GetParam();
  Q whole(c.brng, c.seed), parts(c.brng, c.seed), reals(c.brng, c.seed), floats(c.brng, c.seed);
  const int32_t n = 30011;
  const auto want = whole.ints(n);
  std::vector<uint32_t> got;
  std::vector<double> r;
  std::vector<float> f;
  uint32_t lcg = 7;
  for (int32_t done = 0; done < n;) {
    lcg = lcg * 1103515245u + 12345u;
    const int32_t len = std::min<int32_t>(n - done, int32_t(lcg >> 16) % 900 + 1);
    const auto a = parts.ints(len);
    const auto b = reals.reals(len);
    const auto e = floats.floats(len);
    got.insert(got.end(), a.begin(), a.end());
    r.insert(r.end(), b.begin(), b.end());
    f.insert(f.end(), e.begin(), e.end());
    done += len;
  }
  ASSERT_EQ(got, want);
  for (int32_t i = 0; i < n; ++i) {  // a + (b - a) x 2^-32 on [-1, 3) and [0, 1)
    ASSERT_EQ(r[size_t(i)], -1.0 + (4.0 * double(want[size_t(i)])) * 0x1p-32) << i;
    ASSERT_EQ(f[size_t(i)], float((1.0 * double(want[size_t(i)])) * 0x1p-32)) << i;
  }
  EXPECT_EQ(std::count(want.begin(), want.end(), 0u), 0) << "the origin is skipped";
}

// Guards against skip-ahead counting values instead of points or losing a partial point.
TEST_P(Slicing, SkipMovesWholePoints) {
  const Case& c = GetParam();
  Q ref(c.brng, c.seed);
  const uint32_t d = ref.dim();
  const auto all = ref.ints(int32_t(700 * d));
  for (uint32_t before : {0u, 1u, d - 1, d + 2}) {
    for (uint64_t k : {0ull, 1ull, 5ull, 63ull, 64ull, 300ull}) {
      Q a(c.brng, c.seed);
      a.ints(int32_t(before));
      ASSERT_EQ(_druSkipAheadStream(a.s, k), 0);
      const size_t from = before + k * d;
      EXPECT_EQ(a.ints(int32_t(2 * d + 3)), std::vector<uint32_t>(all.begin() + from, all.begin() + from + 2 * d + 3))
          << c.name << " after " << before << " skip " << k;
    }
  }
}

// Guards against selection starting at the wrong point or coordinate, and against a
// later skip or reselection losing the position: position t selecting k delivers the
// values at the flat positions j >= t with j mod d = k, one per point.
TEST_P(Slicing, SelectionTakesOneCoordinate) {
  const Case& c = GetParam();
  Q ref(c.brng, c.seed);
  const uint32_t d = ref.dim();
  const auto all = ref.ints(int32_t(400 * d));
  auto from = [&](uint64_t t, uint32_t k, int count) {
    uint64_t j = t + (k + d - t % d) % d;
    std::vector<uint32_t> v;
    for (int i = 0; i < count; ++i, j += d) v.push_back(all[j]);
    return v;
  };
  for (uint32_t t : {0u, 1u, d / 2, d, 2 * d + 1}) {
    for (uint32_t k : {0u, d / 3, d - 1}) {
      Q a(c.brng, c.seed);
      a.ints(int32_t(t));
      ASSERT_EQ(_druLeapfrogStream(a.s, int32_t(k), 0x7FFFFFFF), 0);
      EXPECT_EQ(a.ints(37), from(t, k, 37)) << c.name << " at " << t << " coordinate " << k;
      ASSERT_EQ(_druSkipAheadStream(a.s, 11), 0);
      const uint64_t next = uint64_t(t) + (k + d - t % d) % d + (37 + 11) * uint64_t(d);
      EXPECT_EQ(a.ints(5), from(next, k, 5)) << c.name << " skip after selection";
      const uint32_t k2 = (k + 1) % d;
      ASSERT_EQ(_druLeapfrogStream(a.s, int32_t(k2), 0x7FFFFFFF), 0);
      EXPECT_EQ(a.ints(5), from(next + 5 * uint64_t(d), k2, 5)) << c.name << " reselection";
    }
  }
}

// Guards against images, copies and rebuilt chunks that lose the point or the rows,
// and against copies that duplicate the shared rows or share the private point.
TEST_P(Slicing, ImagesCopiesAndDeletedChunksContinue) {
  const Case& c = GetParam();
  Q a(c.brng, c.seed), ref(c.brng, c.seed);
  const uint32_t d = a.dim();
  a.ints(int32_t(3 * d + 1));
  ref.ints(int32_t(3 * d + 1));
  const auto img = a.image();
  Stream loaded, copy;
  ASSERT_EQ(_druLoadStreamM(&loaded.s, img.data()), 0);
  ASSERT_EQ(_druCopyStream(&copy.s, a.s), 0);
  EXPECT_EQ(_druSearchChunk(copy.s, 9), _druSearchChunk(a.s, 9)) << "rows are shared";
  EXPECT_EQ(_druSearchChunk(loaded.s, 9), _druSearchChunk(a.s, 9)) << "a loaded image shares the rows";
  EXPECT_NE(_druSearchChunk(copy.s, 13), _druSearchChunk(a.s, 13)) << "the point is private";
  const auto want = ref.ints(int32_t(5 * d + 7));
  EXPECT_EQ(loaded.ints(int32_t(5 * d + 7)), want);
  EXPECT_EQ(copy.ints(int32_t(5 * d + 7)), want);
  ASSERT_EQ(_druDeleteChunks(a.s), 0);
  if (d <= 48 || c.brng == DRU_BRNG_NIEDERR) {
    EXPECT_EQ(a.ints(int32_t(5 * d + 7)), want) << "rebuilt from the state";
    EXPECT_EQ(_druGetNumChunks(a.s), 2);
  } else {
    std::vector<uint32_t> w(8, 5);
    EXPECT_EQ(_drusBRngSobol(a.s, 1, reinterpret_cast<float*>(w.data()), 0.0f, 1.0f), DRU_E_NO_SHARED_ENTRY);
    EXPECT_EQ(w[0], 5u);
  }
}

INSTANTIATE_TEST_SUITE_P(Quasi, Slicing, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<Case>& i) { return std::string(i.param.name); });

// Guards against an off-by-one at the 2^32 - 1 limit and against refused calls that write.
TEST(QuasiLimit, ValuesStopBeforeTheCounterPasses) {
  for (int32_t brng : {DRU_BRNG_SOBOL, DRU_BRNG_NIEDERR}) {
    Q a(brng, {1});
    ASSERT_EQ(_druSkipAheadStream(a.s, 0xFFFFFFFEull), DRU_E_NO_SKIP_AHEAD) << "counter would reach 2^32 - 1";
    ASSERT_EQ(_druSkipAheadStream(a.s, 0xFFFFFFFDull - 5), 0);
    uint32_t w[8] = {1, 1, 1, 1, 1, 1, 1, 1};
    BrngProperties p = a.props();
    EXPECT_EQ(p.GenI(a.s, 7, w), DRU_E_QRNG_EXHAUSTED);
    EXPECT_EQ(w[0], 1u);
    ASSERT_EQ(p.GenI(a.s, 6, w), 0);
    // One dimension: point i is the bit reversal of its Gray code i ^ (i >> 1).
    for (uint32_t j = 0; j < 6; ++j) {
      const uint32_t i = 0xFFFFFFF9u + j, g = i ^ (i >> 1);
      uint32_t rev = 0;
      for (int b = 0; b < 32; ++b) rev |= ((g >> b) & 1u) << (31 - b);
      EXPECT_EQ(w[j], rev) << std::hex << brng << " index " << i;
    }
    EXPECT_EQ(p.GenI(a.s, 1, w), DRU_E_QRNG_EXHAUSTED);
    double r = 7;
    EXPECT_EQ(p.GenD(a.s, 1, &r, 0.0, 1.0), DRU_E_QRNG_EXHAUSTED);
    EXPECT_EQ(r, 7.0);
  }
  // With a selected coordinate every value passes a whole point.
  Q b(DRU_BRNG_SOBOL, {4});
  ASSERT_EQ(_druLeapfrogStream(b.s, 1, 0x7FFFFFFF), 0);
  ASSERT_EQ(_druSkipAheadStream(b.s, 0x3FFFFFFFull - 3), 0);
  uint32_t w[4];
  EXPECT_EQ(b.props().GenI(b.s, 4, w), DRU_E_QRNG_EXHAUSTED);
  EXPECT_EQ(b.props().GenI(b.s, 3, w), 0);
}

// Guards against seeding rules that accept a dimension the data cannot serve.
TEST(QuasiSeeding, DimensionFromTheWords) {
  struct Row {
    const char* what;
    int32_t brng;
    std::vector<uint32_t> p;
    uint32_t dim;
  };
  const std::vector<uint32_t> form2 = {3, 1, 2, 3, 3, 1, 0, 7, 1, 1};  // blocks {polynomial, m_1, m_2}
  const std::vector<uint32_t> form3 = {3, 1, 3, 3, 7, 2, 1, 0, 1, 1};  // polynomials, top degree, numbers
  std::vector<uint32_t> even = form1(45), short1 = form1(77);
  even.back() = 4;
  short1.pop_back();
  std::vector<uint32_t> form11(3 + 32 * 100, 0x80000000u);
  form11[0] = 100, form11[1] = 1, form11[2] = 11;
  const Row rows[] = {
      {"no words", DRU_BRNG_SOBOL, {}, 1},
      {"one word 40", DRU_BRNG_SOBOL, {40}, 40},
      {"one word 41", DRU_BRNG_SOBOL, {41}, 1},
      {"one word 0", DRU_BRNG_SOBOL, {0}, 1},
      {"two words, 0", DRU_BRNG_SOBOL, {0, 9}, 1},
      {"two words, 41 without data", DRU_BRNG_SOBOL, {41, 1}, 1},
      {"form 1", DRU_BRNG_SOBOL, form1(77), 77},
      {"form 1 one word short", DRU_BRNG_SOBOL, short1, 1},
      {"form 1 even polynomial", DRU_BRNG_SOBOL, even, 1},
      {"form 2", DRU_BRNG_SOBOL, form2, 3},
      {"form 2 short", DRU_BRNG_SOBOL, {3, 1, 2, 3, 3, 1, 0, 7, 1}, 3},  // built-in rows serve d = 3
      {"form 3", DRU_BRNG_SOBOL, form3, 3},
      {"form 11", DRU_BRNG_SOBOL, form11, 100},
      {"unknown form", DRU_BRNG_SOBOL, {50, 1, 4, 0, 0, 0, 0}, 1},
      {"niederr 318", DRU_BRNG_NIEDERR, {318}, 318},
      {"niederr 319", DRU_BRNG_NIEDERR, {319}, 1},
      {"niederr form 11", DRU_BRNG_NIEDERR, form11, 100},
  };
  for (const Row& r : rows) {
    Q q(r.brng, r.p);
    EXPECT_EQ(q.dim(), r.dim) << r.what;
    EXPECT_EQ(field(q.s, 16), 1u) << r.what << ": counter starts at 1";
    EXPECT_EQ(field(q.s, 24), 0xFFFFFFFFu) << r.what << ": no coordinate selected";
  }
  // Forms 2 and 3 restate dimensions 2 and 3 of the built-in table: the same sequence.
  Q builtin(DRU_BRNG_SOBOL, {3}), f2(DRU_BRNG_SOBOL, form2), f3(DRU_BRNG_SOBOL, form3);
  const auto want = builtin.ints(3000);
  EXPECT_EQ(f2.ints(3000), want);
  EXPECT_EQ(f3.ints(3000), want);
}

// Guards against splitting requests the generators cannot honour being accepted.
TEST(QuasiSeeding, RefusedSplitting) {
  for (int32_t brng : {DRU_BRNG_SOBOL, DRU_BRNG_NIEDERR}) {
    Q q(brng, {5});
    const auto before = q.image();
    EXPECT_EQ(_druLeapfrogStream(q.s, 1, 5), DRU_E_NO_LEAPFROG) << "total = d";
    EXPECT_EQ(_druLeapfrogStream(q.s, 5, 0x7FFFFFFF), DRU_E_NO_LEAPFROG) << "k = d";
    EXPECT_EQ(_druSkipAheadStream(q.s, 0xFFFFFFFFull / 5), DRU_E_NO_SKIP_AHEAD) << "count x d reaches 2^32 - 1";
    EXPECT_EQ(_druSkipAheadStream(q.s, 1ull << 40), DRU_E_NO_SKIP_AHEAD);
    const uint32_t one[2] = {1, 0};
    EXPECT_EQ(q.props().Init(DRU_INIT_SKIP_AHEAD, q.s, 0, one), DRU_E_NO_SKIP_AHEAD) << "n < 1";
    EXPECT_EQ(q.image(), before);
  }
}

// Output memory of `bytes` that costs nothing until written: the rule's calls are large,
// and those the threader would take are not run.
struct Untouched {
  explicit Untouched(size_t bytes) : size(bytes) {
    p = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    EXPECT_NE(p, MAP_FAILED);
  }
  ~Untouched() { munmap(p, size); }
  void* p;
  size_t size;
};

// Guards against a threading rule other than the documented one: with d the dimension
// and c the whole points of the call, it is threaded only when d > 32 and, for d < 64,
// d is a multiple of 32 (no such d) and c >= 131072; for d >= 64, unless c < 131072 and
// (d < 250 or (c < 8192 and (d < 500 or (c < 256 and (d < 1000 or (c < 64 and (d < 2000
// or (c < 32 and (d < 4000 or (c < 8 and (d < 16000 or (c < 2 and d < 32000)))))))))))).
// Each bound is taken at both sides; a threaded call is ceil(d / 32) items. Values
// before the first whole point and after the last do not count.
TEST(QuasiThreading, RuleDecidesWhoRuns) {
  struct Row {
    uint32_t d;
    int64_t c;  // whole points
    bool threaded;
    uint32_t before;  // values taken first: the call starts inside a point
    uint32_t after;   // values after the last whole point
  };
  const Row rows[] = {
      {32, 131072, false, 0, 0},   {33, 131072, false, 0, 0}, {63, 131072, false, 0, 0},  {64, 131071, false, 0, 0},
      {64, 131072, true, 0, 0},    {96, 131072, true, 0, 0},  {249, 131071, false, 0, 0}, {249, 131072, true, 0, 0},
      {250, 131071, true, 0, 0},   {250, 8191, false, 0, 0},  {250, 8192, true, 0, 0},    {499, 8191, false, 0, 0},
      {499, 8192, true, 0, 0},     {500, 8191, true, 0, 0},   {500, 255, false, 0, 0},    {500, 256, true, 0, 0},
      {999, 255, false, 0, 0},     {999, 256, true, 0, 0},    {1000, 255, true, 0, 0},    {1000, 63, false, 0, 0},
      {1000, 64, true, 0, 0},      {1999, 63, false, 0, 0},   {1999, 64, true, 0, 0},     {2000, 63, true, 0, 0},
      {2000, 31, false, 0, 0},     {2000, 32, true, 0, 0},    {3999, 31, false, 0, 0},    {3999, 32, true, 0, 0},
      {4000, 31, true, 0, 0},      {4000, 7, false, 0, 0},    {4000, 8, true, 0, 0},      {15999, 7, false, 0, 0},
      {15999, 8, true, 0, 0},      {16000, 7, true, 0, 0},    {16000, 1, false, 0, 0},    {16000, 2, true, 0, 0},
      {31999, 1, false, 0, 0},     {31999, 2, true, 0, 0},    {32000, 1, true, 0, 0},     {100000, 1, true, 0, 0},
      {1000, 63, false, 500, 999}, {1000, 64, true, 999, 1},  {1000, 0, false, 1, 999},   {2001, 32, true, 7, 2000},
  };
  g_count_only = true;
  for (const Row& r : rows) {
    Q q(DRU_BRNG_SOBOL, form1(r.d));
    ASSERT_EQ(q.dim(), r.d);
    q.ints(int32_t(r.before));
    const uint32_t head = r.before % r.d ? r.d - r.before % r.d : 0;
    const int64_t n = head + r.c * r.d + r.after;
    Untouched out(size_t(n) * 4);
    Threader t(2);
    ASSERT_EQ(q.props().GenI(q.s, int32_t(n), static_cast<uint32_t*>(out.p)), 0);
    EXPECT_EQ(g_groups.load(), r.threaded ? (r.d + 31) / 32 : 0) << "d " << r.d << " points " << r.c;
  }
  g_count_only = false;
  for (uint32_t d : {64u, 1000u, 100000u}) {  // a limit of 1 runs on the calling thread
    Q q(DRU_BRNG_SOBOL, form1(d));
    const int64_t n = int64_t(d) * (d == 64 ? 131072 : d == 1000 ? 64 : 2);
    Untouched out(size_t(n) * 4);
    Threader one(1);
    ASSERT_EQ(q.props().GenI(q.s, int32_t(n), static_cast<uint32_t*>(out.p)), 0);
    EXPECT_EQ(g_groups.load(), 0) << "d " << d;
  }
}

// Guards against items that share state, depend on their order or thread, or start from
// the wrong words of the point (a block's first point, made from the stream's point on
// the first thread and from the rows alone on the others), and against whole lines
// written in the wrong place: any threader and limit give the serial result, for every
// output type, calls that start and end inside a point, dimensions that are not
// multiples of 8, 16 or 32 (lines shared between items), wider than a chunk, and outputs
// at any offset from a line.
// Dimensions that all differ (form 11) and calls skipped to just below 2^k, whose steps
// name row k (one of them only in its last step, to the point after the call's last),
// guard against a group taking its window's words from the wrong coordinates or leaving
// out a row the call reaches.
TEST(QuasiThreading, ThreadedEqualsSerial) {
  enum Kind { kDouble, kFloat, kWord };
  struct Row {
    const char* what;
    int32_t brng;
    std::vector<uint32_t> seed;
    int32_t before;  // values taken first
    int32_t n;       // values of the call
    size_t offset;   // bytes from a 64-byte boundary to the output
    Kind kind;
    uint64_t skip = 0;  // points skipped after the values taken first
  };
  const Row rows[] = {
      {"sobol 300 doubles", DRU_BRNG_SOBOL, form1(300), 17, 300 * 9000 + 5, 0, kDouble},
      {"sobol 1000 floats, 1 MB", DRU_BRNG_SOBOL, form1(1000), 0, 1000 * 256, 0, kFloat},
      {"sobol 1000 words mid-point", DRU_BRNG_SOBOL, form1(1000), 999, 1000 * 300 + 1, 4, kWord},
      {"sobol 2003 doubles", DRU_BRNG_SOBOL, form1(2003), 2002, 2003 * 40 + 2000, 8, kDouble},
      {"sobol 4001 floats", DRU_BRNG_SOBOL, form1(4001), 3, 4001 * 9 - 3, 12, kFloat},
      {"sobol 40000, one point", DRU_BRNG_SOBOL, form1(40000), 100, 40000 + 39900, 0, kDouble},
      {"sobol 1000 doubles, 16 bytes off", DRU_BRNG_SOBOL, form1(1000), 0, 1000 * 128, 16, kDouble},
      {"sobol 1000 doubles mid-point, 56 bytes off", DRU_BRNG_SOBOL, form1(1000), 997, 1000 * 100 + 8, 56, kDouble},
      {"sobol 1024 words mid-point, 4 bytes off", DRU_BRNG_SOBOL, form1(1024), 1020, 1024 * 70 + 1004, 4, kWord},
      {"sobol 2048 floats, 60 bytes off", DRU_BRNG_SOBOL, form1(2048), 0, 2048 * 40 + 7, 60, kFloat},
      {"sobol 1024 doubles, 24 bytes off", DRU_BRNG_SOBOL, form1(1024), 0, 1024 * 128, 24, kDouble},
      {"sobol 1008 doubles mid-point, 56 bytes off", DRU_BRNG_SOBOL, form1(1008), 3, 1008 * 200, 56, kDouble},
      {"sobol 8000 doubles, 8 bytes off", DRU_BRNG_SOBOL, form1(8000), 8000, 8000 * 9, 8, kDouble},
      {"distinct 1000 doubles to index 2^20 - 1, 16 bytes off", DRU_BRNG_SOBOL, form11_words(1000), 0, 1000 * 128, 16,
       kDouble, (1u << 20) - 129},
      {"distinct 1000 doubles past 2^20, 16 bytes off", DRU_BRNG_SOBOL, form11_words(1000), 0, 1000 * 128, 16, kDouble,
       (1u << 20) - 5},
      {"distinct 1000 doubles mid-point past 2^13", DRU_BRNG_SOBOL, form11_words(1000), 7, 1000 * 90 + 3, 0, kDouble,
       (1u << 13) - 40},
      {"distinct 1000 doubles, 56 bytes off", DRU_BRNG_SOBOL, form11_words(1000), 0, 1000 * 100, 56, kDouble},
      {"distinct 1024 floats past 2^21, 36 bytes off", DRU_BRNG_SOBOL, form11_words(1024), 1000, 1024 * 70, 36, kFloat,
       (1u << 21) - 30},
      {"distinct 1008 words past 2^9, 4 bytes off", DRU_BRNG_SOBOL, form11_words(1008), 5, 1008 * 80 + 1003, 4, kWord,
       (1u << 9) - 1},
      {"niederreiter 300 words", DRU_BRNG_NIEDERR, {300}, 1, 300 * 8300, 0, kWord},
      {"niederreiter 318 doubles", DRU_BRNG_NIEDERR, {318}, 318, 318 * 8192 + 317, 0, kDouble},
      {"streamed 1024 doubles, lines", DRU_BRNG_SOBOL, form1(1024), 0, 1024 * 1030, 0, kDouble},
      {"streamed 1024 doubles, mid-point", DRU_BRNG_SOBOL, form1(1024), 1016, 1024 * 1040 + 9, 0, kDouble},
      {"streamed 1024 floats, lines", DRU_BRNG_SOBOL, form1(1024), 1024, 1024 * 2100, 0, kFloat},
      {"streamed 1024 words, off the line", DRU_BRNG_SOBOL, form1(1024), 0, 1024 * 2100, 8, kWord},
      {"streamed 1000 doubles", DRU_BRNG_SOBOL, form1(1000), 5, 1000 * 1100, 40, kDouble},
      {"streamed 1024 doubles, 24 bytes off", DRU_BRNG_SOBOL, form1(1024), 0, 1024 * 1030, 24, kDouble},
      {"streamed 1000 floats", DRU_BRNG_SOBOL, form1(1000), 0, 1000 * 2200, 0, kFloat},
      {"streamed 1003 doubles, 16 bytes off", DRU_BRNG_SOBOL, form1(1003), 2, 1003 * 1050, 16, kDouble},
      {"streamed 2051 floats, 4 bytes off", DRU_BRNG_SOBOL, form1(2051), 2050, 2051 * 1030 + 2, 4, kFloat},
      {"streamed niederreiter 300 words", DRU_BRNG_NIEDERR, {300}, 0, 300 * 8200, 60, kWord},
  };
  for (const Row& r : rows) {
    Q serial(r.brng, r.seed), fake(r.brng, r.seed), three(r.brng, r.seed), core(r.brng, r.seed);
    const uint32_t d = serial.dim();
    const size_t size = r.kind == kDouble ? 8 : 4, bytes = size_t(r.n) * size;
    std::vector<unsigned char> a(bytes + 128, 0xA5), b(bytes + 128, 0xA5), c(bytes + 128, 0xA5), e(bytes + 128, 0xA5);
    auto place = [&](std::vector<unsigned char>& v) {
      return v.data() + (64 - reinterpret_cast<uintptr_t>(v.data()) % 64) % 64 + r.offset;
    };
    // Bytes around the output that a call changed.
    auto around = [&](std::vector<unsigned char>& v) {
      unsigned char* out = place(v);
      return std::count_if(v.data(), out, [](unsigned char x) { return x != 0xA5; }) +
             std::count_if(out + bytes, v.data() + v.size(), [](unsigned char x) { return x != 0xA5; });
    };
    auto call = [&](const Q& q, void* out) {
      q.ints(r.before);
      if (r.skip > 0) {
        EXPECT_EQ(_druSkipAheadStream(q.s, r.skip), 0);
      }
      const BrngProperties p = q.props();
      if (r.kind == kDouble) return p.GenD(q.s, r.n, static_cast<double*>(out), -1.0, 3.0);
      if (r.kind == kFloat) return p.GenS(q.s, r.n, static_cast<float*>(out), 0.0f, 1.0f);
      return p.GenI(q.s, r.n, static_cast<uint32_t*>(out));
    };
    {
      Threader t(1);
      ASSERT_EQ(call(serial, place(a)), 0) << r.what;
      EXPECT_EQ(g_groups.load(), 0) << r.what;
    }
    {
      Threader t(2);
      ASSERT_EQ(call(fake, place(b)), 0) << r.what;
      EXPECT_EQ(g_groups.load(), (d + 31) / 32) << r.what << ": threaded";
    }
    {  // a limit of 3: blocks of points that start where no thread of two starts
      Threader t(3);
      ASSERT_EQ(call(three, place(e)), 0) << r.what;
    }
    ASSERT_EQ(call(core, place(c)), 0) << r.what;
    EXPECT_EQ(0, std::memcmp(place(a), place(b), bytes)) << r.what;
    EXPECT_EQ(0, std::memcmp(place(a), place(c), bytes)) << r.what << " on the core library's threader";
    EXPECT_EQ(0, std::memcmp(place(a), place(e), bytes)) << r.what << ": limit 3";
    EXPECT_EQ(around(e), 0) << r.what << ": limit 3, around the output";
    EXPECT_EQ(around(b), 0) << r.what << ": threaded, around the output";
    EXPECT_EQ(around(c), 0) << r.what << ": on the core library's threader, around the output";
    EXPECT_EQ(0, std::memcmp(_druSearchChunk(serial.s, 13), _druSearchChunk(fake.s, 13), d * 4))
        << r.what << ": the final point";
    const auto next = serial.ints(int32_t(2 * d + 5));
    EXPECT_EQ(fake.ints(int32_t(2 * d + 5)), next) << r.what << ": the stream continues";
    EXPECT_EQ(core.ints(int32_t(2 * d + 5)), next) << r.what << ": the stream continues";
    EXPECT_EQ(three.ints(int32_t(2 * d + 5)), next) << r.what << ": limit 3, the stream continues";
  }
}

// Guards against output of 8 MB and more, which goes past the caches in whole lines,
// losing or moving values: at line boundaries inside a point and between pieces, at the
// output's two ends, at any offset of the output from a line, in each output type.
// The reference is the same stream in calls too small to be streamed or threaded.
TEST(QuasiStreaming, LargeCallsEqualSmallCalls) {
  enum Kind { kDouble, kFloat, kWord };
  struct Row {
    const char* what;
    int32_t brng;
    std::vector<uint32_t> seed;
    int32_t before;  // values taken first, so that the call starts inside a point
    int32_t n;       // values of the large call
    size_t offset;   // bytes from a 64-byte boundary to the output
    Kind kind;
    uint64_t skip = 0;  // points skipped after the values taken first
  };
  const Row rows[] = {
      {"d 10, blocks of sixteen", DRU_BRNG_SOBOL, {10}, 0, 1100000, 0, kDouble},
      {"d 10, off the line", DRU_BRNG_SOBOL, {10}, 3, 1100003, 24, kDouble},
      {"d 999, points across lines", DRU_BRNG_SOBOL, form1(999), 500, 1050001, 8, kDouble},
      {"d 5000, a point in pieces", DRU_BRNG_SOBOL, form1(5000), 4321, 1060000, 56, kDouble},
      {"d 4, doubles off their size", DRU_BRNG_SOBOL, {4}, 1, 1100001, 4, kDouble},
      {"niederreiter 318 floats", DRU_BRNG_NIEDERR, {318}, 7, 2200000, 20, kFloat},
      {"d 40 words", DRU_BRNG_SOBOL, {40}, 13, 2100000, 28, kWord},
  };
  for (const Row& r : rows) {
    Q big(r.brng, r.seed), small(r.brng, r.seed);
    big.ints(r.before);
    small.ints(r.before);
    const size_t size = r.kind == kDouble ? 8 : 4, bytes = size_t(r.n) * size;
    std::vector<unsigned char> got(bytes + 128), want(bytes);
    unsigned char* at = got.data() + (64 - reinterpret_cast<uintptr_t>(got.data()) % 64) + r.offset;
    auto call = [&](const Q& q, int32_t n, void* out) {
      const BrngProperties p = q.props();
      if (r.kind == kDouble) return p.GenD(q.s, n, static_cast<double*>(out), -1.0, 3.0);
      if (r.kind == kFloat) return p.GenS(q.s, n, static_cast<float*>(out), 0.0f, 1.0f);
      return p.GenI(q.s, n, static_cast<uint32_t*>(out));
    };
    {
      Threader t(1);
      ASSERT_EQ(call(big, r.n, at), 0) << r.what;
      for (int32_t i = 0; i < r.n; i += 40000)
        ASSERT_EQ(call(small, std::min(40000, r.n - i), want.data() + size_t(i) * size), 0) << r.what;
    }
    EXPECT_EQ(0, std::memcmp(at, want.data(), bytes)) << r.what;
    EXPECT_EQ(big.ints(50), small.ints(50)) << r.what << ": the stream continues";
  }
}

}  // namespace
