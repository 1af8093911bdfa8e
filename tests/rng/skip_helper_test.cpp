// The exported skip-ahead helpers driven by callbacks written here from the published
// MT19937 recurrence (a plain ring of 624 words), against generating and discarding
// the same number of words with the library's generator.
#include <fstream>
#include <iterator>
#include <regex>
#include <string>

#include "tests/rng/rng_fixture.h"

using namespace nrx_test;

namespace {

// The stream's block: header, 624 words, position; the position word holds the ring head.
struct Ring {
  DruStream header;
  uint32_t mt[624];
  uint32_t head, spare;
};
static_assert(sizeof(Ring) == 2520);

void load(void* w, const DruStream* s) {
  std::memcpy(w, s, sizeof(Ring));
  static_cast<Ring*>(w)->head = 0;
}
void store(DruStream* s, const void* w) {
  const Ring* r = static_cast<const Ring*>(w);
  Ring* out = reinterpret_cast<Ring*>(s);
  for (int e = 0; e < 624; ++e) out->mt[e] = r->mt[(r->head + e) % 624];
}
void clear(void* w) { std::memset(w, 0, sizeof(Ring)); }
void copy(void* d, const void* s) { std::memcpy(d, s, sizeof(Ring)); }
void step(void* w) {
  Ring* r = static_cast<Ring*>(w);
  const uint32_t i = r->head;
  const uint32_t y = (r->mt[i] & 0x80000000u) | (r->mt[(i + 1) % 624] & 0x7FFFFFFFu);
  r->mt[i] = r->mt[(i + 397) % 624] ^ (y >> 1) ^ ((y & 1u) ? 0x9908B0DFu : 0u);
  r->head = (i + 1) % 624;
}
void add(void* d, const void* s) {
  Ring* a = static_cast<Ring*>(d);
  const Ring* b = static_cast<const Ring*>(s);
  for (int e = 0; e < 624; ++e) a->mt[(a->head + e) % 624] ^= b->mt[(b->head + e) % 624];
}

// The 135 exponents the library carries, read from its source.
std::vector<uint32_t> mt_terms() {
  std::ifstream f(NRX_MT_POLY);
  const std::string text((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  std::vector<uint32_t> t;
  const std::regex num("(\\d+)u");
  for (auto it = std::sregex_iterator(text.begin(), text.end(), num); it != std::sregex_iterator(); ++it)
    t.push_back(uint32_t(std::stoul((*it)[1])));
  return t;
}

using Helper = decltype(&_dru_SkipAheadSWin);

void discard(const Stream& s, uint64_t n) {
  std::vector<uint32_t> sink(1 << 20);
  const DruGenIFn gen_i = s.props().GenI;
  for (; n > 0; n -= std::min<uint64_t>(n, sink.size()))
    gen_i(s.s, int32_t(std::min<uint64_t>(n, sink.size())), sink.data());
}

// Guards against: a window or coefficient taken in the wrong order, a ring head lost
// between states, the discarded bits of the oldest word not stepped away first.
TEST(SkipHelpers, MatchGeneratingAndDiscarding) {
  const std::vector<uint32_t> terms = mt_terms();
  ASSERT_EQ(terms.size(), 135u);
  struct Row {
    const char* what;
    Helper helper;
    uint64_t n;
  } rows[] = {
      {"Horner, one step", _dru_SkipAheadHorner, 1},
      {"Horner, 19936 steps (a single term)", _dru_SkipAheadHorner, 19936},
      {"Horner, 19937 steps (the first reduced power)", _dru_SkipAheadHorner, 19937},
      {"Horner, 100000 steps", _dru_SkipAheadHorner, 100000},
      {"window, 623 steps", _dru_SkipAheadSWin, 623},
      {"window, 2^23 steps", _dru_SkipAheadSWin, uint64_t(1) << 23},
      {"window, 2^23 + 5 steps", _dru_SkipAheadSWin, (uint64_t(1) << 23) + 5},
      {"window, 10^8 steps", _dru_SkipAheadSWin, 100000000},
  };
  for (const Row& r : rows) {
    const Gen& g = gen(DRU_BRNG_MT19937);
    Stream jumped(g), walked(g);
    ASSERT_EQ(r.helper(jumped.s, load, store, clear, copy, step, add, r.n, 624, 19937, 2520, int32_t(terms.size()),
                       terms.data()),
              0)
        << r.what;
    discard(walked, r.n);
    EXPECT_EQ(jumped.ints(2000), walked.ints(2000)) << r.what;
  }
}

// Guards against: a malformed request touching the stream.
TEST(SkipHelpers, RefuseBadArguments) {
  const std::vector<uint32_t> terms = mt_terms();
  const uint32_t unordered[] = {0, 7, 5, 19937};
  struct Row {
    const char* what;
    DruSkipStepFn step;
    int32_t words, degree, size, nterms;
    const uint32_t* terms;
  } rows[] = {
      {"null callback", nullptr, 624, 19937, 2520, 135, terms.data()},
      {"degree above the state's bits", step, 600, 19937, 2520, 135, terms.data()},
      {"block smaller than the state", step, 624, 19937, 2000, 135, terms.data()},
      {"terms not ending with the degree", step, 624, 19936, 2520, 135, terms.data()},
      {"terms not ascending", step, 624, 19937, 2520, 4, unordered},
      {"no terms", step, 624, 19937, 2520, 135, nullptr},
  };
  for (const Row& r : rows)
    for (Helper h : {_dru_SkipAheadHorner, _dru_SkipAheadSWin}) {
      Stream s(gen(DRU_BRNG_MT19937));
      const auto before = s.image();
      EXPECT_EQ(h(s.s, load, store, clear, copy, r.step, add, 1u << 30, r.words, r.degree, r.size, r.nterms, r.terms),
                DRU_E_BAD_ARGUMENT)
          << r.what;
      EXPECT_EQ(s.image(), before) << r.what;
    }
}

}  // namespace
