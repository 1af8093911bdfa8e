// Vector kernels of complex Log10, Pow and Powx against MPC where their bodies and the
// per-element routine meet: Powx over a table of exponents, elements on both sides of the
// bodies' bounds mixed in one call (codes included), real integer exponents, and Log10 on
// and near the unit circle and at the ends of the range.
#include <gtest/gtest.h>
#include <mpc.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "nrx/zar_functions.h"
#include "tests/zar/kernels/mpc_parts.h"
#include "tests/zar/kernels/reports.h"

#undef I

namespace {

using nrx::test::Cx;
using nrx::test::Exact;
using nrx::test::part_error;
using nrx::test::ulp_error;

template <class C> std::string show(const C& z, const C& w, const C& got) {
  char buf[200];
  std::snprintf(buf, sizeof buf, "(%.17g, %.17g)^(%.17g, %.17g) gave (%.17g, %.17g)", double(z.real), double(z.imag),
                double(w.real), double(w.imag), double(got.real), double(got.imag));
  return buf;
}

template <class C> void pow_call(int n, const C* a, const C* b, C* r) {
  if constexpr (sizeof(C) == 8) zarcPow(n, a, b, r);
  else zarzPow(n, a, b, r);
}
template <class C> void powx_call(int n, const C* a, C b, C* r) {
  if constexpr (sizeof(C) == 8) zarcPowx(n, a, b, r);
  else zarzPowx(n, a, b, r);
}
template <class C> void log10_call(int n, const C* a, C* r) {
  if constexpr (sizeof(C) == 8) zarcLog10(n, a, r);
  else zarzLog10(n, a, r);
}

// z^b for one b over bases whose result angle keeps away from the axes (where a part is the
// cancellation of e^u cos v), within one ulp per part.
template <class C> void check_powx(C b) {
  using R = typename Cx<C>::R;
  std::mt19937_64 g(5);
  std::uniform_real_distribution<double> u(-1, 1);
  std::vector<C> a;
  while (a.size() < 3000) {
    const double lr = u(g) * 12, th = u(g) * M_PI;
    const double ang = std::fmod(std::fabs(b.real * th + b.imag * lr), M_PI / 2);
    if (ang < 0.05 || ang > M_PI / 2 - 0.05) continue;
    a.push_back({R(std::exp(lr) * std::cos(th)), R(std::exp(lr) * std::sin(th))});
  }
  std::vector<C> r(a.size());
  powx_call<C>(int(a.size()), a.data(), b, r.data());
  Exact z, w, v;
  mpc_set_d_d(w.v, b.real, b.imag, MPC_RNDNN);
  double worst = 0;
  std::string at;
  for (size_t i = 0; i < a.size(); ++i) {
    mpc_set_d_d(z.v, a[i].real, a[i].imag, MPC_RNDNN);
    mpc_pow(v.v, z.v, w.v, MPC_RNDNN);
    const double e = part_error<C>(r[i], v);
    if (e > worst) worst = e, at = show(a[i], b, r[i]);
  }
  EXPECT_LE(worst, 1.0) << at;
}

TEST(ComplexPowVector, PowxWithinOneUlpOfMpc) {
  const double bs[][2] = {{0.5, 0}, {-2.5, 0.5}, {1.0 / 3, 0}, {0, 1}, {3.75, -2.25}, {-0.1, 0.02}, {7.5, 0}};
  for (const auto& b : bs) {
    SCOPED_TRACE(std::to_string(b[0]) + " " + std::to_string(b[1]));
    check_powx<NrxComplex16>({b[0], b[1]});
    check_powx<NrxComplex8>({float(b[0]), float(b[1])});
  }
}

// Elements on either side of the bodies' bounds in one call: |w ln z| near the overflow and
// underflow thresholds, exponents near 64, bases near 2^+-400, subnormal parts and zeros.
// Each part is within one ulp of MPC (or the infinity it overflows to), with code 3 exactly
// where finite inputs give an infinite part.
template <class C> void check_edges() {
  using R = typename Cx<C>::R;
  constexpr bool kDouble = sizeof(R) == 8;
  struct Case {
    double x, y, a, b;
  };
  // z = e^L cis 0.2 and w = (t / L, 0.01): u = t - 0.002, below and above the body's bound
  // (700, 80), past overflow and toward underflow
  const double L = kDouble ? 100 : 10;
  const double zx = std::exp(L) * std::cos(0.2), zy = std::exp(L) * std::sin(0.2);
  std::vector<Case> cases;
  for (double t :
       kDouble ? std::vector<double>{699, 701, 710, -699, -703, -750} : std::vector<double>{79, 81, 89, -79, -83, -110})
    cases.push_back({zx, zy, t / L, 0.01});
  const std::vector<Case> more = {
      {1.5, -2, 63.5, 0.25}, {1.5, -2, 64.5, 0.25}, {0.3, 0.2, -63.75, 1}, {0.3, 0.2, -64.25, 1},
      {2, 1, 0.5, 63.9},     {2, 1, 0.5, 64.1},     {-3, 0, 2.25, 0},      {-3, -0.0, 2.25, 0},
      {0, 2, 1.5, -0.5},     {0, 0, 1.5, 0.5},      {0, 0, -1.5, 0.5},     {1e-310, 1, 1.5, 0.5},
      {1, 1, 1e-310, 1.5},   {0.75, 0.5, 0, 0},     {-0.75, 0.5, -7, 0},   {2, 3, 4000, 0.5},
  };
  cases.insert(cases.end(), more.begin(), more.end());
  if (kDouble) {
    for (double m : {0x1p399, 0x1p401, 0x1p-399, 0x1p-401, 1e300, 1e-300})
      cases.push_back({m, m / 3, 0.125, 0.0625}), cases.push_back({-m, m / 5, -0.125, 0.0625});
  } else {
    for (double m : {1e38, 1e-37, 3e-39}) cases.push_back({m, m / 3, 0.375, 0.125});
  }
  std::vector<C> a, b;
  for (const Case& c : cases) a.push_back({R(c.x), R(c.y)}), b.push_back({R(c.a), R(c.b)});
  std::vector<C> r(a.size());
  zarSetErrorCallBack(nrx::test::keep_report);
  nrx::test::reports().clear();
  pow_call<C>(int(a.size()), a.data(), b.data(), r.data());
  std::vector<int> want_codes, got_codes;
  for (const auto& rep : nrx::test::reports()) {
    EXPECT_EQ(rep.code, ZAR_ST_RESULT_TOO_LARGE) << rep.index;
    got_codes.push_back(rep.index);
  }
  zarClearErrorCallBack();
  Exact z, w, v;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i].real == 0 && a[i].imag == 0) continue;  // the values of zero are the routine's own
    mpc_set_d_d(z.v, a[i].real, a[i].imag, MPC_RNDNN);
    mpc_set_d_d(w.v, b[i].real, b[i].imag, MPC_RNDNN);
    mpc_pow(v.v, z.v, w.v, MPC_RNDNN);
    EXPECT_LE(part_error<C>(r[i], v), 1.0) << i << ": " << show(a[i], b[i], r[i]);
    if (std::isinf(r[i].real) || std::isinf(r[i].imag)) want_codes.push_back(int(i));
  }
  for (size_t i = 0; i < a.size(); ++i)  // 0^(negative real part) overflows too
    if (a[i].real == 0 && a[i].imag == 0 && b[i].real < 0) want_codes.push_back(int(i));
  std::sort(want_codes.begin(), want_codes.end());
  EXPECT_EQ(got_codes, want_codes);
}

TEST(ComplexPowVector, BoundsOfTheBodiesMeetTheRoutine) {
  check_edges<NrxComplex16>();
  check_edges<NrxComplex8>();
}

// Real integer exponents up to 64 give real powers of real bases (a zero imaginary part of
// the base's sign pattern), and a positive real base with a real exponent a real power; the
// real part within one ulp of MPC.
template <class C> void check_real_powers() {
  using R = typename Cx<C>::R;
  struct Case {
    double x, a;
  };
  // negative bases only with integer exponents: elsewhere a part may be a cancellation
  const Case cases[] = {{-2, 3},    {-2, -5},  {-1.25, 64}, {-0.75, -63}, {3, 2},     {0.5, 17},  {-3, 0},  {2, 0.5},
                        {2, -2.75}, {10, 1.5}, {0.1, 30.5}, {-1.5, 64},   {7, 0.125}, {1.5, 6.5}, {-5, -1}, {3, 64.5}};
  for (const Case& c : cases) {
    const C z{R(c.x), R(0)}, w{R(c.a), R(0)};
    C r;
    pow_call<C>(1, &z, &w, &r);
    Exact ez, ew, v;
    mpc_set_d_d(ez.v, z.real, z.imag, MPC_RNDNN);
    mpc_set_d_d(ew.v, w.real, w.imag, MPC_RNDNN);
    mpc_pow(v.v, ez.v, ew.v, MPC_RNDNN);
    EXPECT_LE(ulp_error<C>(r.real, mpc_realref(v.v)), 1.0) << show(z, w, r);
    const bool integer = c.a == std::trunc(c.a) && std::fabs(c.a) <= 64;
    if (integer || c.x > 0) EXPECT_EQ(r.imag, 0) << show(z, w, r);
    else EXPECT_LE(ulp_error<C>(r.imag, mpc_imagref(v.v)), 1.0) << show(z, w, r);
  }
}

TEST(ComplexPowVector, RealPowersStayReal) {
  check_real_powers<NrxComplex16>();
  check_real_powers<NrxComplex8>();
}

// Log10 on rings |z| = 1 + 2^-k, on the unit circle itself, and at the ends of the range.
template <class C> void check_log10_rings() {
  using R = typename Cx<C>::R;
  constexpr bool kDouble = sizeof(R) == 8;
  std::mt19937_64 g(3);
  std::uniform_real_distribution<double> angle(-M_PI, M_PI);
  std::vector<C> a;
  for (int k = 1; k <= (kDouble ? 45 : 20); ++k)
    for (int sign : {-1, 1})
      for (int i = 0; i < 20; ++i) {
        const double t = angle(g), m = 1 + sign * std::ldexp(1.0, -k);
        a.push_back({R(m * std::cos(t)), R(m * std::sin(t))});
      }
  for (double m : kDouble ? std::vector<double>{1e308, 0x1p501, 0x1p-501, 1e-300, 3e-308}
                          : std::vector<double>{3e38, 1e-37, 2e-38})
    for (int i = 0; i < 20; ++i) {
      const double t = angle(g);
      a.push_back({R(m * std::cos(t)), R(m * std::sin(t))});
    }
  a.push_back({R(1), R(0)}), a.push_back({R(-1), R(-0.0)}), a.push_back({R(0.6), R(0.8)});
  std::vector<C> r(a.size());
  log10_call<C>(int(a.size()), a.data(), r.data());
  Exact z, v;
  for (size_t i = 0; i < a.size(); ++i) {
    mpc_set_d_d(z.v, a[i].real, a[i].imag, MPC_RNDNN);
    mpc_log10(v.v, z.v, MPC_RNDNN);
    EXPECT_LE(part_error<C>(r[i], v), 1.0) << i << ": " << show(a[i], C{}, r[i]);
  }
}

TEST(ComplexPowVector, Log10NearTheUnitCircleAndAtTheEnds) {
  check_log10_rings<NrxComplex16>();
  check_log10_rings<NrxComplex8>();
}

}  // namespace
