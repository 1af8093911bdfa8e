// PHILOX4X32X10 and ARS5 against Random123's Philox4x32-10 and ARS-5 block functions:
// word streams across counter carries through all four words, odd call sizes, one- and
// multi-word skips, real outputs and the refusals.
#include <gtest/gtest.h>

#include <Random123/ars.h>
#include <Random123/philox.h>

#include <array>
#include <vector>

#include "nrx/rng.h"

namespace {

using Words4 = std::array<uint32_t, 4>;
using u128 = unsigned __int128;

u128 as128(const Words4& c) { return u128(c[0]) | u128(c[1]) << 32 | u128(c[2]) << 64 | u128(c[3]) << 96; }
Words4 words_of(u128 v) { return {uint32_t(v), uint32_t(v >> 32), uint32_t(v >> 64), uint32_t(v >> 96)}; }

Words4 philox_block(const uint32_t* key, Words4 c) {
  const philox4x32_ctr_t ctr = {{c[0], c[1], c[2], c[3]}};
  const philox4x32_key_t k = {{key[0], key[1]}};
  const philox4x32_ctr_t r = philox4x32_R(10, ctr, k);
  return {r.v[0], r.v[1], r.v[2], r.v[3]};
}
Words4 ars_block(const uint32_t* key, Words4 c) {
  const ars4x32_ctr_t ctr = {{c[0], c[1], c[2], c[3]}};
  const ars4x32_ukey_t uk = {{key[0], key[1], key[2], key[3]}};
  const ars4x32_ctr_t r = ars4x32_R(5, ctr, ars4x32keyinit(uk));
  return {r.v[0], r.v[1], r.v[2], r.v[3]};
}

struct Family {
  const char* name;
  int32_t brng;
  int key_words;
  Words4 (*block)(const uint32_t* key, Words4 c);
};
const Family kFamilies[] = {
    {"PHILOX4X32X10", DRU_BRNG_PHILOX4X32X10, 2, philox_block},
    {"ARS5", DRU_BRNG_ARS5, 4, ars_block},
};

// Word `index` of the sequence that starts at counter c0 (index mod 2^130).
uint32_t oracle_word(const Family& f, const uint32_t* key, const Words4& c0, u128 block, uint32_t word) {
  return f.block(key, words_of(as128(c0) + block))[word];
}

struct Seed {
  const char* fault;
  std::array<uint32_t, 4> key;
  Words4 ctr;
};
const Seed kSeeds[] = {
    {"zero key and counter", {0, 0, 0, 0}, {0, 0, 0, 0}},
    {"low word carries inside a vector batch", {0x243F6A88, 0x85A308D3, 0x13198A2E, 0x03707344}, {0xFFFFFFF7, 0, 0, 0}},
    {"carry runs through all four words", {0xA4093822, 0x299F31D0, 1, 2}, {0xFFFFFFFB, 0xFFFFFFFF, 0xFFFFFFFF, 5}},
    {"counter wraps to zero",
     {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF},
     {0xFFFFFFF0, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF}},
    {"64-bit half carries", {7, 8, 9, 10}, {0xFFFFFFFE, 0xFFFFFFFF, 0x1234, 0}},
};

DruStream* make(const Family& f, const Seed& s) {
  std::vector<uint32_t> p(s.key.begin(), s.key.begin() + f.key_words);
  p.insert(p.end(), s.ctr.begin(), s.ctr.end());
  DruStream* st = nullptr;
  EXPECT_EQ(_druNewStreamEx(&st, f.brng, int32_t(p.size()), p.data()), DRU_OK);
  return st;
}

// Published Philox4x32-10 known answers (Random123's kat_vectors).
TEST(Counter, PhiloxKnownAnswers) {
  struct Row {
    uint32_t in[6], out[4];
  } rows[] = {
      {{0, 0, 0, 0, 0, 0}, {0x6627e8d5, 0xe169c58d, 0xbc57ac4c, 0x9b00dbd8}},
      {{~0u, ~0u, ~0u, ~0u, ~0u, ~0u}, {0x408f276d, 0x41c83b0e, 0xa20bc7c6, 0x6d5451fd}},
      {{0xa4093822, 0x299f31d0, 0x243f6a88, 0x85a308d3, 0x13198a2e, 0x03707344},
       {0xd16cfe09, 0x94fdcceb, 0x5001e420, 0x24126ea1}},
  };
  for (const Row& r : rows) {
    DruStream* s = nullptr;
    ASSERT_EQ(_druNewStreamEx(&s, DRU_BRNG_PHILOX4X32X10, 6, r.in), DRU_OK);
    uint32_t w[4];
    ASSERT_EQ(_druiBRngPHILOX4X32X10(s, 4, w), DRU_OK);
    for (int j = 0; j < 4; ++j) EXPECT_EQ(w[j], r.out[j]) << j;
    _druDeleteStream(&s);
  }
}

// Calls of odd sizes continue one word sequence, whatever the vector batches and the
// buffered block; large calls cross the carries of the seed rows.
TEST(Counter, WordsAcrossCallsMatchOracle) {
  const int sizes[] = {1, 3, 7, 13, 64, 65, 250, 1023, 5, 2, 4096, 31};
  for (const Family& f : kFamilies)
    for (const Seed& sd : kSeeds) {
      DruStream* s = make(f, sd);
      uint64_t index = 0;
      for (int n : sizes) {
        std::vector<uint32_t> w(static_cast<size_t>(n));
        BrngProperties p{};
        ASSERT_EQ(_druGetBrngProperties(f.brng, &p), DRU_OK);
        ASSERT_EQ(p.GenI(s, n, w.data()), DRU_OK);
        for (int i = 0; i < n; ++i, ++index)
          ASSERT_EQ(w[size_t(i)], oracle_word(f, sd.key.data(), sd.ctr, index / 4, uint32_t(index % 4)))
              << f.name << ": " << sd.fault << ", word " << index;
      }
      _druDeleteStream(&s);
    }
}

// Skips land on the word the oracle gives for (taken + count): whole-block skips, skips
// inside the buffered block, counts above 2^64 and counts whose bits above 2^130 vanish.
TEST(Counter, SkipAheadMatchesOracle) {
  struct Row {
    const char* fault;
    uint32_t taken;
    std::vector<uint64_t> count;  // one word: _druSkipAheadStream; more: the Ex form
  } rows[] = {
      {"skip of 4 after seeding", 0, {4}},
      {"skip inside the buffered block", 1, {2}},
      {"skip ends the buffered block exactly", 3, {1}},
      {"skip past the buffered block with a remainder", 2, {11}},
      {"large one-word skip", 5, {0xFFFFFFFFFFFFFFF3ull}},
      {"two-word skip carries into the high half", 7, {0xFFFFFFFFFFFFFFFFull, 3}},
      {"three-word skip keeps bits 128 and 129", 1, {9, 0x8000000000000001ull, 3}},
      {"bits above 2^130 do not move the counter", 2, {6, 1, 4, 0xFFFF}},
      {"zero skip", 3, {0}},
  };
  for (const Family& f : kFamilies)
    for (const Seed& sd : kSeeds)
      for (const Row& r : rows) {
        DruStream* s = make(f, sd);
        std::vector<uint32_t> w(r.taken + 9);
        BrngProperties p{};
        ASSERT_EQ(_druGetBrngProperties(f.brng, &p), DRU_OK);
        ASSERT_EQ(p.GenI(s, int32_t(r.taken), w.data()), DRU_OK);
        const int32_t st = r.count.size() == 1 ? _druSkipAheadStream(s, r.count[0])
                                               : _druSkipAheadStreamEx(s, int32_t(r.count.size()), r.count.data());
        ASSERT_EQ(st, DRU_OK) << r.fault;
        ASSERT_EQ(p.GenI(s, 9, w.data()), DRU_OK);
        // Index (taken + count) mod 2^130 as block and word.
        const uint64_t c2 = r.count.size() > 2 ? r.count[2] : 0, c1 = r.count.size() > 1 ? r.count[1] : 0;
        const u128 low = u128(c1) << 64 | r.count[0];
        const u128 sum = low + r.taken;
        const uint64_t carry = sum < low ? 1 : 0;
        const u128 block = (sum >> 2) | u128((c2 + carry) & 3) << 126;
        for (uint32_t i = 0; i < 9; ++i) {
          const uint32_t word = uint32_t(sum & 3) + i;
          ASSERT_EQ(w[i], oracle_word(f, sd.key.data(), sd.ctr, block + word / 4, word % 4))
              << f.name << ": " << sd.fault << "; " << r.fault << ", word " << i;
        }
        _druDeleteStream(&s);
      }
}

// Reals are a + (b - a) u 2^-32 of the same words; float rounds the double value.
TEST(Counter, RealsFromOracleWords) {
  const double a = -3.5, b = 11.25;
  for (const Family& f : kFamilies) {
    const Seed& sd = kSeeds[2];
    DruStream* s = make(f, sd);
    BrngProperties p{};
    ASSERT_EQ(_druGetBrngProperties(f.brng, &p), DRU_OK);
    std::vector<double> d(101);
    std::vector<float> x(37);
    ASSERT_EQ(p.GenD(s, 101, d.data(), a, b), DRU_OK);
    ASSERT_EQ(p.GenS(s, 37, x.data(), float(a), float(b)), DRU_OK);
    for (uint64_t i = 0; i < 138; ++i) {
      const double u = oracle_word(f, sd.key.data(), sd.ctr, i / 4, uint32_t(i % 4));
      const double want = a + (b - a) * u * 0x1p-32;
      if (i < 101) ASSERT_EQ(d[i], want) << f.name << " double " << i;
      else
        ASSERT_EQ(x[i - 101], float(double(float(a)) + (double(float(b)) - double(float(a))) * u * 0x1p-32))
            << f.name << " float " << i;
    }
    _druDeleteStream(&s);
  }
}

// Saving mid-block and loading continues the sequence, buffered words included.
TEST(Counter, ImageContinuesMidBlock) {
  for (const Family& f : kFamilies) {
    DruStream* s = make(f, kSeeds[3]);
    uint32_t w[6], a[9], b[9];
    BrngProperties p{};
    ASSERT_EQ(_druGetBrngProperties(f.brng, &p), DRU_OK);
    ASSERT_EQ(p.GenI(s, 6, w), DRU_OK);
    std::vector<unsigned char> img(size_t(_druGetStreamSize(s)));
    ASSERT_EQ(_druSaveStreamM(s, img.data()), DRU_OK);
    DruStream* t = nullptr;
    ASSERT_EQ(_druLoadStreamM(&t, img.data()), DRU_OK);
    ASSERT_EQ(p.GenI(s, 9, a), DRU_OK);
    ASSERT_EQ(p.GenI(t, 9, b), DRU_OK);
    for (int i = 0; i < 9; ++i) EXPECT_EQ(a[i], b[i]) << f.name << " " << i;
    _druDeleteStream(&s);
    _druDeleteStream(&t);
  }
}

// Leapfrog and unknown methods are refused and leave the stream as it was.
TEST(Counter, RefusedMethodsChangeNothing) {
  for (const Family& f : kFamilies) {
    DruStream* s = make(f, kSeeds[1]);
    BrngProperties p{};
    ASSERT_EQ(_druGetBrngProperties(f.brng, &p), DRU_OK);
    uint32_t w[3], x[5];
    ASSERT_EQ(p.GenI(s, 3, w), DRU_OK);
    EXPECT_EQ(_druLeapfrogStream(s, 1, 4), DRU_E_NO_LEAPFROG) << f.name;
    const uint32_t params[2] = {0, 0};
    EXPECT_EQ(p.Init(7, s, 2, params), DRU_E_BAD_METHOD) << f.name;
    ASSERT_EQ(p.GenI(s, 5, x), DRU_OK);
    for (uint64_t i = 0; i < 5; ++i)
      EXPECT_EQ(x[i], oracle_word(f, kSeeds[1].key.data(), kSeeds[1].ctr, (i + 3) / 4, uint32_t((i + 3) % 4)));
    _druDeleteStream(&s);
  }
}

}  // namespace
