// Complex Mul and MulByConj: infinities, NaNs and signed zeros against the compiler's C99
// Annex G product (the _Complex multiply of the C runtime), finite products against binary128
// arithmetic, overflow codes, and results that do not depend on the caller's rounding mode.
#include <gtest/gtest.h>

#include <complex.h>
#include <cfenv>
#include <cmath>
#include <limits>
#include <vector>

#include "nrx/zar_functions.h"
#include "tests/zar/kernels/reports.h"

#undef I

namespace {

template <class C> struct Cx;
template <> struct Cx<NrxComplex8> {
  using R = float;
  using Native = float _Complex;
  static constexpr R big = 3e38f;
  static void mul(int n, const NrxComplex8* a, const NrxComplex8* b, NrxComplex8* r, bool ep) {
    (ep ? zarcMul_11 : zarcMul_HA)(n, a, b, r);
  }
  static void mul_by_conj(int n, const NrxComplex8* a, const NrxComplex8* b, NrxComplex8* r, bool ep) {
    (ep ? zarcMulByConj_11 : zarcMulByConj)(n, a, b, r);
  }
};
template <> struct Cx<NrxComplex16> {
  using R = double;
  using Native = double _Complex;
  static constexpr R big = 1.5e308;
  static void mul(int n, const NrxComplex16* a, const NrxComplex16* b, NrxComplex16* r, bool ep) {
    (ep ? zarzMul_26 : zarzMul_HA)(n, a, b, r);
  }
  static void mul_by_conj(int n, const NrxComplex16* a, const NrxComplex16* b, NrxComplex16* r, bool ep) {
    (ep ? zarzMulByConj_26 : zarzMulByConj_50)(n, a, b, r);
  }
};

// The runtime's Annex G product, kept out of line so the compiler cannot fold it.
template <class C> [[gnu::noinline]] C annex_g(C a, C b) {
  using N = typename Cx<C>::Native;
  N x, y;
  __real__ x = a.real, __imag__ x = a.imag, __real__ y = b.real, __imag__ y = b.imag;
  const N p = x * y;
  return {__real__ p, __imag__ p};
}

// One part of the product in binary128, rounded once: exact products, one rounding of their sum
// to 113 bits, one to R.
template <class R> R exact_part(R x, R y, R z, R w) {
  return R(__float128(x) * __float128(y) + __float128(z) * __float128(w));
}

template <class R> bool same_value(R got, R want) {
  if (std::isnan(want)) return std::isnan(got);
  return got == want && std::signbit(got) == std::signbit(want);
}

// Within one unit in the last place of want; a zero of either sign for a zero (a finite
// product that underflows keeps the sign of its rounded terms).
template <class R> bool within_ulp(R got, R want) {
  if (std::isnan(want) ? std::isnan(got) : got == want) return true;
  const R inf = std::numeric_limits<R>::infinity();
  return std::nextafter(want, inf) == got || std::nextafter(want, -inf) == got;
}

template <class C> std::vector<typename Cx<C>::R> grid() {
  using R = typename Cx<C>::R;
  const R inf = std::numeric_limits<R>::infinity(), nan = std::numeric_limits<R>::quiet_NaN();
  return {R(0), R(-0.0), R(0.5), R(-2), inf, -inf, nan, Cx<C>::big, -Cx<C>::big, std::numeric_limits<R>::denorm_min()};
}

template <class C> class ComplexProduct : public ::testing::Test {};
using Types = ::testing::Types<NrxComplex8, NrxComplex16>;
TYPED_TEST_SUITE(ComplexProduct, Types);

// Every pair of grid values in every part: 10^4 products through one call, so lanes of one
// register mix ordinary and special elements.
template <class C> void all_pairs(std::vector<C>& a, std::vector<C>& b) {
  const auto g = grid<C>();
  for (auto p : g)
    for (auto q : g)
      for (auto u : g)
        for (auto v : g) a.push_back({p, q}), b.push_back({u, v});
}

template <class C> void check_products(bool conj_b, bool ep) {
  using R = typename Cx<C>::R;
  std::vector<C> a, b;
  all_pairs(a, b);
  const int n = int(a.size());
  std::vector<C> r(n);
  nrx::test::reports().clear();
  zarSetErrorCallBack(nrx::test::keep_report);
  if (conj_b) Cx<C>::mul_by_conj(n, a.data(), b.data(), r.data(), ep);
  else Cx<C>::mul(n, a.data(), b.data(), r.data(), ep);
  zarClearErrorCallBack();
  std::vector<int> code(n, 0);
  for (const auto& rep : nrx::test::reports()) code[rep.index] = rep.code;
  int mismatches = 0;
  for (int i = 0; i < n && mismatches < 10; ++i) {
    C y = b[i];
    if (conj_b) y.imag = -y.imag;
    const C w = annex_g(a[i], y);
    const bool finite_in =
        std::isfinite(a[i].real) && std::isfinite(a[i].imag) && std::isfinite(y.real) && std::isfinite(y.imag);
    bool ok;
    if (finite_in) {
      const R xr = exact_part(a[i].real, y.real, -a[i].imag, y.imag);
      const R xi = exact_part(a[i].real, y.imag, a[i].imag, y.real);
      ok = within_ulp(r[i].real, xr) && within_ulp(r[i].imag, xi);
      ok = ok && code[i] == (std::isinf(xr) || std::isinf(xi) ? ZAR_ST_RESULT_TOO_LARGE : 0);
    } else {
      ok = same_value(r[i].real, w.real) && same_value(r[i].imag, w.imag) && code[i] == 0;
    }
    if (!ok) {
      ++mismatches;
      ADD_FAILURE() << (conj_b ? "MulByConj" : "Mul") << (ep ? " EP" : " HA") << " (" << a[i].real << ", " << a[i].imag
                    << ") x (" << b[i].real << ", " << b[i].imag << ") = (" << r[i].real << ", " << r[i].imag
                    << ") code " << code[i] << "; Annex G (" << w.real << ", " << w.imag << ")";
    }
  }
}

TYPED_TEST(ComplexProduct, GridAgainstAnnexGAndBinary128) {
  for (const bool ep : {false, true}) {
    check_products<TypeParam>(false, ep);
    check_products<TypeParam>(true, ep);
  }
}

// Rows that once came out NaN + NaN i or overflowed inside the product.
TYPED_TEST(ComplexProduct, DocumentedRows) {
  using C = TypeParam;
  using R = typename Cx<C>::R;
  const R inf = std::numeric_limits<R>::infinity(), nan = std::numeric_limits<R>::quiet_NaN();
  const R big = Cx<C>::big;
  const struct {
    C a, b, want;
  } rows[] = {
      {{0, 0.5}, {inf, inf}, {-inf, inf}},  // an infinite operand times a non-zero finite one
      {{inf, nan}, {2, 0}, {inf, nan}},     {{nan, inf}, {0, 1}, {-inf, nan}},
      {{big, big / 2}, {2, 2}, {big, inf}},  // the real part cancels back into range; the imaginary overflows
      {{big, 1}, {-big, 0}, {-inf, -big}},  {{0, 0}, {inf, 0}, {nan, nan}},  // zero times infinity stays undefined
  };
  for (const auto& row : rows) {
    C r;
    Cx<C>::mul(1, &row.a, &row.b, &r, false);
    EXPECT_TRUE(same_value(r.real, row.want.real) && within_ulp(r.imag, row.want.imag))
        << "(" << row.a.real << ", " << row.a.imag << ") x (" << row.b.real << ", " << row.b.imag << ") = (" << r.real
        << ", " << r.imag << ")";
  }
}

// The caller's rounding direction changes nothing: every bit equals the round-to-nearest run.
TYPED_TEST(ComplexProduct, ResultsDoNotDependOnTheRoundingMode) {
  using C = TypeParam;
  std::vector<C> a, b;
  all_pairs(a, b);
  for (int i = 0; i < 2000; ++i)
    a.push_back({std::ldexp(1.0f + i / 2048.0f, i % 200 - 100), -1.0f / (i + 3.0f)}),
        b.push_back({1.0f / 3, i * 0.37f});
  const int n = int(a.size());
  std::vector<C> near(n), other(n);
  zarSetErrorCallBack(nrx::test::keep_report);
  Cx<C>::mul(n, a.data(), b.data(), near.data(), false);
  for (const int mode : {FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO}) {
    std::fesetround(mode);
    Cx<C>::mul(n, a.data(), b.data(), other.data(), false);
    std::fesetround(FE_TONEAREST);
    for (int i = 0; i < n; ++i)
      ASSERT_TRUE(same_value(other[i].real, near[i].real) && same_value(other[i].imag, near[i].imag))
          << "mode " << mode << " element " << i;
  }
  zarClearErrorCallBack();
}

}  // namespace
