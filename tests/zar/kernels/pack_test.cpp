// Pack and unpack of every element type through the function tables (both integer widths)
// and the public names, against the definitions y[i] = a[i inc], y[i] = a[ia[i]], and the
// masked compaction, at counts around the block widths, with canaries around every write.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "nrx/zar_functions.h"
#include "tests/zar/kernels/before_guard.h"

namespace {

using nrx::testing::BeforeGuard;

// Distinct bit patterns per element (NaN payloads included: elements move as bits).
template <class T> T element(int64_t i) {
  T x;
  unsigned char b[sizeof(T)];
  for (size_t k = 0; k < sizeof(T); ++k) b[k] = static_cast<unsigned char>(i * 131 + k * 7 + (i >> 8) + 1);
  std::memcpy(&x, b, sizeof(T));
  return x;
}
template <class T> T canary() {
  T x;
  std::memset(&x, 0xA5, sizeof(T));
  return x;
}
template <class T> bool same(const T& x, const T& y) { return std::memcmp(&x, &y, sizeof(T)) == 0; }

template <class T> struct Tabs;
#define NRX_PACK_TABS(T, t)                                            \
  template <> struct Tabs<T> {                                         \
    static auto packI() { return nrx_zar_kernel_##t##PackI_ttab; }     \
    static auto packV() { return nrx_zar_kernel_##t##PackV_ttab; }     \
    static auto packM() { return nrx_zar_kernel_##t##PackM_ttab; }     \
    static auto unpackI() { return nrx_zar_kernel_##t##UnpackI_ttab; } \
    static auto unpackV() { return nrx_zar_kernel_##t##UnpackV_ttab; } \
    static auto unpackM() { return nrx_zar_kernel_##t##UnpackM_ttab; } \
    static constexpr auto pubI = zar##t##PackI;                        \
    static constexpr auto pubM = zar##t##UnpackM;                      \
  };
NRX_PACK_TABS(float, s)
NRX_PACK_TABS(double, d)
NRX_PACK_TABS(NrxComplex8, c)
NRX_PACK_TABS(NrxComplex16, z)

template <class T> class Pack : public ::testing::Test {};
using Types = ::testing::Types<float, double, NrxComplex8, NrxComplex16>;
TYPED_TEST_SUITE(Pack, Types);

const int kCounts[] = {0, 1, 3, 4, 5, 7, 8, 9, 15, 16, 17, 31, 32, 33, 63, 64, 65, 100, 130, 257};
const int64_t kStrides[] = {2, 3, -1, -4, 7, 17};
constexpr int kPad = 8;  // canary elements on each side of every written array

// Entries of the index and mask arrays in the width the flag selects.
template <class Ix> std::vector<Ix> entries(const std::vector<int64_t>& v) { return {v.begin(), v.end()}; }

template <class T, class Ix, int Flag> void strided_cases() {
  for (const int n : kCounts)
    for (const int64_t inc : kStrides) {
      const int64_t span = n == 0 ? 1 : (n - 1) * (inc < 0 ? -inc : inc) + 1;
      std::vector<T> a(span + 2 * kPad), y(n + 2 * kPad, canary<T>());
      for (size_t i = 0; i < a.size(); ++i) a[i] = element<T>(i);
      const T* base = a.data() + kPad + (inc < 0 ? span - 1 : 0);
      Tabs<T>::packI()[Flag == 1 ? 1 : 2](n, base, inc, y.data() + kPad, Flag);
      for (int64_t i = -kPad; i < n + kPad; ++i)
        ASSERT_TRUE(same(y[i + kPad], i >= 0 && i < n ? base[i * inc] : canary<T>()))
            << "PackI n=" << n << " inc=" << inc << " flag=" << Flag << " i=" << i;

      std::vector<T> src(n), z(span + 2 * kPad, canary<T>());
      for (int i = 0; i < n; ++i) src[i] = element<T>(1000 + i);
      T* out = z.data() + kPad + (inc < 0 ? span - 1 : 0);
      Tabs<T>::unpackI()[0](n, src.data(), out, inc, Flag);
      std::vector<T> want(z.size(), canary<T>());
      for (int i = 0; i < n; ++i) want[out - z.data() + i * inc] = src[i];
      for (size_t k = 0; k < z.size(); ++k)
        ASSERT_TRUE(same(z[k], want[k])) << "UnpackI n=" << n << " inc=" << inc << " flag=" << Flag << " at " << k;
    }
}

TYPED_TEST(Pack, StridedFormsCopyEveryIncthElementAndNothingElse) {
  strided_cases<TypeParam, int32_t, 1>();
  strided_cases<TypeParam, int64_t, 0>();
}

template <class T, class Ix, int Flag> void indexed_cases(std::mt19937_64& g) {
  for (const int n : kCounts) {
    const int m = n + 11;
    std::vector<T> a(m);
    for (int i = 0; i < m; ++i) a[i] = element<T>(i);
    std::vector<int64_t> idx(n);
    for (auto& v : idx) v = int64_t(g() % m);
    const std::vector<Ix> ia = entries<Ix>(idx);
    std::vector<T> y(n + 2 * kPad, canary<T>());
    Tabs<T>::packV()[2](n, a.data(), ia.data(), y.data() + kPad, Flag);
    for (int64_t i = -kPad; i < n + kPad; ++i)
      ASSERT_TRUE(same(y[i + kPad], i >= 0 && i < n ? a[idx[i]] : canary<T>())) << "PackV n=" << n << " i=" << i;

    // A permutation, so no index repeats and every written place is checked.
    std::vector<int64_t> perm(m);
    for (int i = 0; i < m; ++i) perm[i] = i;
    std::shuffle(perm.begin(), perm.end(), g);
    perm.resize(n);
    const std::vector<Ix> iy = entries<Ix>(perm);
    std::vector<T> z(m, canary<T>()), want(m, canary<T>());
    Tabs<T>::unpackV()[1](n, a.data(), z.data(), iy.data(), Flag);
    for (int i = 0; i < n; ++i) want[perm[i]] = a[i];
    for (int k = 0; k < m; ++k) ASSERT_TRUE(same(z[k], want[k])) << "UnpackV n=" << n << " at " << k;
  }
}

TYPED_TEST(Pack, IndexedFormsFollowTheIndexArray) {
  std::mt19937_64 g(16);
  indexed_cases<TypeParam, int32_t, 1>(g);
  indexed_cases<TypeParam, int64_t, 0>(g);
}

template <class T, class Ix, int Flag> void masked_cases(std::mt19937_64& g) {
  for (const int n : kCounts)
    for (const unsigned density : {0u, 1u, 4u, 7u, 8u}) {  // eighths of entries selected
      std::vector<int64_t> mask(n);
      for (auto& v : mask) v = g() % 8 < density ? int64_t(g() % 5) - 2 + 3 * int64_t(g() % 2) : 0;
      for (auto& v : mask) v = v == 0 && g() % 8 < density ? int64_t(1) << 40 : v;
      if (Flag == 1)
        for (auto& v : mask) v = int32_t(v);  // the 32-bit entries keep the low word
      const std::vector<Ix> ma = entries<Ix>(mask);
      std::vector<T> a(n);
      for (int i = 0; i < n; ++i) a[i] = element<T>(i);
      std::vector<T> y(n + 2 * kPad, canary<T>()), want(n + 2 * kPad, canary<T>());
      int k = 0;
      for (int i = 0; i < n; ++i)
        if (mask[i] != 0) want[kPad + k++] = a[i];
      Tabs<T>::packM()[0](n, a.data(), ma.data(), y.data() + kPad, Flag);
      for (size_t j = 0; j < y.size(); ++j) ASSERT_TRUE(same(y[j], want[j])) << "PackM n=" << n << " at " << j;

      // UnpackM reads exactly k elements of a: the rest of src is past the array's end.
      std::vector<T> src(k + 2 * kPad, canary<T>()), z(n), wz(n);
      for (int j = 0; j < k; ++j) src[kPad + j] = element<T>(500 + j);
      for (int i = 0; i < n; ++i) z[i] = wz[i] = element<T>(9000 + i);
      for (int i = 0, j = 0; i < n; ++i)
        if (mask[i] != 0) wz[i] = src[kPad + j++];
      Tabs<T>::unpackM()[2](n, src.data() + kPad, z.data(), ma.data(), Flag);
      for (int i = 0; i < n; ++i) ASSERT_TRUE(same(z[i], wz[i])) << "UnpackM n=" << n << " i=" << i;
    }
}

TYPED_TEST(Pack, MaskedFormsCompactAndSpreadInAscendingOrder) {
  std::mt19937_64 g(61);
  masked_cases<TypeParam, int32_t, 1>(g);
  masked_cases<TypeParam, int64_t, 0>(g);
}

// The masked pack stores whole compressed registers while a register's worth of selected
// elements remains, and element by element after: every count of selected elements up to a
// few registers, at random places, with canaries after the output's last element.
TYPED_TEST(Pack, MaskedPackWithFewSelectedWritesOnlyThem) {
  using T = TypeParam;
  std::mt19937_64 g(23);
  for (const int n : {4, 8, 13, 16, 64, 67})
    for (int selected = 0; selected <= 20 && selected <= n; ++selected)
      for (int trial = 0; trial < 8; ++trial) {
        std::vector<int32_t> mask(n, 0);
        for (int i = 0; i < selected; ++i) mask[i] = int32_t(g() % 7) + 1;
        std::shuffle(mask.begin(), mask.end(), g);
        std::vector<T> a(n), y(selected + kPad, canary<T>()), want(selected + kPad, canary<T>());
        for (int i = 0, k = 0; i < n; ++i)
          if ((a[i] = element<T>(i), mask[i] != 0)) want[k++] = a[i];
        Tabs<T>::packM()[1](n, a.data(), mask.data(), y.data(), 1);
        for (size_t j = 0; j < y.size(); ++j)
          ASSERT_TRUE(same(y[j], want[j])) << "n=" << n << " selected=" << selected << " at " << j;
      }
}

// Strides 2, 3 and 4 assemble whole registers from whole-register loads: every count up to a
// few registers, the input ending just before a page the process may not read (the loads stay
// between the first and the last element), and strides beside them on the element path.
// packI (entry `entry` of its flavour table) of n elements at stride inc from an input
// that ends `gap` elements before a page the process may not read: every element, and
// nothing around the output.
template <class T> void expect_guarded_packI(int entry, int64_t n, int64_t inc, int64_t gap) {
  const BeforeGuard<T> in(size_t((n - 1) * inc + 1 + gap));
  T* a = in.data();
  ASSERT_NE(a, nullptr);
  for (int64_t i = 0; i < (n - 1) * inc + 1; ++i) a[i] = element<T>(i);
  std::vector<T> y(n + 2 * kPad, canary<T>());
  Tabs<T>::packI()[entry](n, a, inc, y.data() + kPad, 1);
  for (int64_t i = -kPad; i < n + kPad; ++i)
    ASSERT_TRUE(same(y[i + kPad], i >= 0 && i < n ? a[i * inc] : canary<T>()))
        << "n=" << n << " inc=" << inc << " line offset " << (reinterpret_cast<uintptr_t>(a) & 63u) << " i=" << i;
}

TYPED_TEST(Pack, SmallStridesReadNothingPastTheLastElement) {
  for (const int64_t inc : {2, 3, 4, 5})
    for (int n = 1; n <= 70; ++n) {
      expect_guarded_packI<TypeParam>(1, n, inc, 0);
      if (::testing::Test::HasFatalFailure()) return;
    }
}

// Strides 2 to 4 start their whole-register loads at the first element whose place begins a
// 64-byte line, beyond the private cache too: inputs from every element offset within a line,
// spans below and above a megabyte, the last element just before a page the process may not
// read, and counts that end just before and after a register of output.
TYPED_TEST(Pack, SmallStridesFromEveryPlaceInALine) {
  using T = TypeParam;
  const int per_line = 64 / int(sizeof(T));
  for (const int64_t inc : {2, 3, 4})
    for (const int64_t n0 : {int64_t(40), int64_t(3) << 20 >> 3})
      for (int64_t n = n0; n < n0 + 2; ++n)
        for (int gap = 0; gap < per_line; ++gap) {  // elements between the last one and the page
          expect_guarded_packI<T>(2, n, inc, gap);
          if (::testing::Test::HasFatalFailure()) return;
        }
}

// Outputs beyond the caches are streamed from the first 64-byte line of y on: outputs that
// start on a line, one element past it, and (double complex) half an element past it, which
// never meets a line and is stored plainly; unit stride, strides 2 and 3, an index array
// and the indexed unpack (fetched ahead) at that size.
TYPED_TEST(Pack, LargeOutputsMatchTheDefinitions) {
  using T = TypeParam;
  const int64_t n = (int64_t(13) << 20) / int64_t(sizeof(T)) + 5;
  std::vector<T> a(size_t(3 * n));
  for (int64_t i = 0; i < 3 * n; ++i) a[i] = element<T>(i);
  std::vector<int32_t> perm(n);
  for (int64_t i = 0; i < n; ++i) perm[i] = int32_t(i);
  std::shuffle(perm.begin(), perm.end(), std::mt19937_64(7));
  std::vector<unsigned char> mem((n + 2 * kPad) * sizeof(T) + 64);
  unsigned char* line = mem.data() + ((-reinterpret_cast<uintptr_t>(mem.data())) & 63u);
  for (const size_t shift : {size_t(0), sizeof(T), sizeof(T) / 2}) {
    if (shift % 4 != 0) continue;
    T* y = reinterpret_cast<T*>(line + shift) + kPad;
    const auto check = [&](const char* what, auto want) {
      for (int64_t i = -kPad; i < n + kPad; ++i)
        ASSERT_TRUE(same(y[i], i >= 0 && i < n ? want(i) : canary<T>())) << what << " shift=" << shift << " i=" << i;
    };
    for (const int32_t inc : {1, 2, 3}) {
      std::fill_n(y - kPad, n + 2 * kPad, canary<T>());
      Tabs<T>::packI()[1](n, a.data(), inc, y, 1);
      check("PackI", [&](int64_t i) { return a[i * inc]; });
    }
    std::fill_n(y - kPad, n + 2 * kPad, canary<T>());
    Tabs<T>::packV()[1](n, a.data(), perm.data(), y, 1);
    check("PackV", [&](int64_t i) { return a[perm[i]]; });
    std::fill_n(y - kPad, n + 2 * kPad, canary<T>());
    Tabs<T>::unpackI()[1](n, a.data(), y, 1, 1);
    check("UnpackI", [&](int64_t i) { return a[i]; });
    std::fill_n(y - kPad, n + 2 * kPad, canary<T>());
    Tabs<T>::unpackV()[1](n, a.data(), y, perm.data(), 1);
    std::vector<int64_t> from(n);
    for (int64_t i = 0; i < n; ++i) from[perm[i]] = i;
    check("UnpackV", [&](int64_t i) { return a[from[i]]; });
  }
}

// Flag 1 reads the low word of the count and the stride; a count below 1 does nothing.
TYPED_TEST(Pack, CountRulesOfTheFlagWord) {
  using T = TypeParam;
  std::vector<T> a(64), y(8, canary<T>());
  for (int i = 0; i < 64; ++i) a[i] = element<T>(i);
  const struct {
    int64_t n, inc;
    int32_t flag;
    int written;
  } rows[] = {
      {(int64_t(5) << 32) | 3, (int64_t(7) << 32) | 2, 1, 3},  // high words ignored
      {int64_t(1) << 32, 1, 1, 0},                             // low word 0
      {0xFFFFFFFFll, 1, 1, 0},                                 // low word -1
      {-3, 1, 0, 0},
      {0, 2, 0, 0},
      {4, 2, 7, 4},  // any flag but 1: 64-bit
  };
  for (const auto& r : rows) {
    std::fill(y.begin(), y.end(), canary<T>());
    Tabs<T>::packI()[1](r.n, a.data(), r.inc, y.data(), r.flag);
    for (int i = 0; i < 8; ++i)
      EXPECT_TRUE(same(y[i], i < r.written ? a[2 * i] : canary<T>()))
          << "n=" << r.n << " flag=" << r.flag << " i=" << i;
  }
}

// The edge rows of the documentation, through the public names (which store flag 1).
TEST(PackPublic, DocumentedRows) {
  const double a[5] = {10, 11, 12, 13, 14};
  double y[4] = {-1, -1, -1, -1};
  Tabs<double>::pubI(3, a, 2, y);
  EXPECT_EQ(std::vector<double>(y, y + 4), (std::vector<double>{10, 12, 14, -1}));

  const float b[4] = {1, 2, 3, 4};
  float yb[4] = {-1, -1, -1, -1};
  const int32_t m[4] = {0, 1, 0, 1};
  zarsPackM(4, b, m, yb);
  EXPECT_EQ(std::vector<float>(yb, yb + 4), (std::vector<float>{2, 4, -1, -1}));

  const NrxComplex16 c[2] = {{1, 2}, {3, 4}};
  NrxComplex16 yc[3] = {{-1, -1}, {-5, -5}, {-1, -1}};
  const int32_t mc[3] = {1, 0, 1};
  Tabs<NrxComplex16>::pubM(3, c, yc, mc);
  EXPECT_EQ(yc[0].real, 1);
  EXPECT_EQ(yc[0].imag, 2);
  EXPECT_EQ(yc[1].real, -5);
  EXPECT_EQ(yc[1].imag, -5);
  EXPECT_EQ(yc[2].real, 3);
  EXPECT_EQ(yc[2].imag, 4);
}

// Element offsets beyond 2^31 bytes: no 32-bit offset arithmetic (the array is reserved, not
// touched: only the pages of the elements used get memory).
TEST(PackPublic, StridesBeyondTwoGigabytes) {
  const int64_t inc = (int64_t(1) << 26) + 3;
  const int n = 17;
  const size_t bytes = size_t((n - 1) * inc + 1) * sizeof(float);
  void* mem = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  ASSERT_NE(mem, MAP_FAILED);
  float* a = static_cast<float*>(mem);
  for (int i = 0; i < n; ++i) a[i * inc] = float(i) + 0.5f;
  std::vector<float> y(n, -1.0f);
  zarsPackI(n, a, int32_t(inc), y.data());
  for (int i = 0; i < n; ++i) EXPECT_EQ(y[i], float(i) + 0.5f) << i;
  const std::vector<float> src(n, 7.0f);
  zarsUnpackI(n, src.data(), a, int32_t(inc));
  for (int i = 0; i < n; ++i) EXPECT_EQ(a[i * inc], 7.0f) << i;
  munmap(mem, bytes);
}

}  // namespace
