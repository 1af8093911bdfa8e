// Per-element complex kernels (Sin, Cos, Tan, Sinh, Cosh, Tanh, Log10, Pow, Powx): every part
// against MPC over boxes and over magnitudes with uniform angles, the same bits in every
// rounding mode and x87 control word of the caller, and the order of overflow reports.
#include <gtest/gtest.h>
#include <mpc.h>

#include <cfenv>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "nrx/zar_functions.h"
#include "simd/x87.h"
#include "tests/zar/kernels/mpc_parts.h"
#include "tests/zar/kernels/reports.h"

#undef I

namespace {

using Mpc1 = int (*)(mpc_ptr, mpc_srcptr, mpc_rnd_t);
using Mpc2 = int (*)(mpc_ptr, mpc_srcptr, mpc_srcptr, mpc_rnd_t);
using nrx::test::Cx;
using nrx::test::Exact;
using nrx::test::kWork;
using nrx::test::ulp_error;

// Normwise error: the larger part error in ulps of the modulus.
template <class R> double norm_error(R gr, R gi, mpc_srcptr exact, int p, int emin, int emax) {
  mpfr_t m;
  mpfr_init2(m, kWork);
  mpc_abs(m, exact, MPFR_RNDN);
  const auto part = [&](R got, mpfr_srcptr want) {
    if (!mpfr_regular_p(m) || mpfr_get_exp(m) > emax) return ulp_error(got, want, p, emin, emax);
    mpfr_t d;
    mpfr_init2(d, kWork);
    mpfr_set_d(d, double(got), MPFR_RNDN);
    mpfr_sub(d, d, want, MPFR_RNDN);
    mpfr_mul_2si(d, d, p - std::max<long>(mpfr_get_exp(m), emin), MPFR_RNDN);
    const double u = std::isfinite(got) ? std::fabs(mpfr_get_d(d, MPFR_RNDN)) : INFINITY;
    mpfr_clear(d);
    return u;
  };
  const double u = std::max(part(gr, mpc_realref(exact)), part(gi, mpc_imagref(exact)));
  mpfr_clear(m);
  return u;
}

struct Worst {
  double ulp = 0;
  double in[4] = {};
  void keep(double u, double a, double b, double c = 0, double d = 0) {
    if (u > ulp) ulp = u, in[0] = a, in[1] = b, in[2] = c, in[3] = d;
  }
  std::string text() const {
    char buf[160];
    std::snprintf(buf, sizeof buf, "%.3g ulp at (%.17g, %.17g; %.17g, %.17g)", ulp, in[0], in[1], in[2], in[3]);
    return buf;
  }
};

// Inputs: boxes |x|, |y| <= s for several s, and magnitudes 2^k at uniform angles.
template <class R> std::vector<std::pair<R, R>> inputs(double max_mag, double max_box, size_t per) {
  std::mt19937_64 g(7);
  std::uniform_real_distribution<double> u(-1, 1), angle(-M_PI, M_PI);
  std::vector<std::pair<R, R>> v;
  for (double s : {0.001, 1.0, 4.0, 30.0, max_box})
    for (size_t i = 0; i < per; ++i) v.push_back({R(s * u(g)), R(s * u(g))});
  for (int k = -30; std::ldexp(1.0, k) <= max_mag; ++k)
    for (size_t i = 0; i < per / 8 + 1; ++i) {
      const double a = angle(g), r = std::ldexp(1.0, k) * (1 + 0.5 * (u(g) + 1));
      v.push_back({R(r * std::cos(a)), R(r * std::sin(a))});
    }
  return v;
}

struct Unary {
  const char* name;
  void (*z)(int32_t, const NrxComplex16*, NrxComplex16*);
  void (*c)(int32_t, const NrxComplex8*, NrxComplex8*);
  Mpc1 exact;
  double max_mag, max_box;  // sampled magnitudes and box sides
};

template <class C> void check_unary(const Unary& f) {
  using R = typename Cx<C>::R;
  constexpr int p = Cx<C>::p, emin = Cx<C>::emin, emax = Cx<C>::emax;
  const double mag = std::min(f.max_mag, p == 24 ? 80.0 : f.max_mag);
  const auto in = inputs<R>(mag, std::min(f.max_box, mag), 300);
  std::vector<C> a(in.size()), r(in.size());
  for (size_t i = 0; i < in.size(); ++i) a[i] = {in[i].first, in[i].second};
  if constexpr (p == 24) f.c(int(a.size()), a.data(), r.data());
  else f.z(int(a.size()), a.data(), r.data());
  Exact z, w;
  Worst part, norm;
  for (size_t i = 0; i < a.size(); ++i) {
    mpc_set_d_d(z.v, a[i].real, a[i].imag, MPC_RNDNN);
    f.exact(w.v, z.v, MPC_RNDNN);
    part.keep(std::max(ulp_error(r[i].real, mpc_realref(w.v), p, emin, emax),
                       ulp_error(r[i].imag, mpc_imagref(w.v), p, emin, emax)),
              a[i].real, a[i].imag);
    norm.keep(norm_error(r[i].real, r[i].imag, w.v, p, emin, emax), a[i].real, a[i].imag);
  }
  EXPECT_LE(part.ulp, 1.0) << f.name << " per part: " << part.text();
  EXPECT_LE(norm.ulp, 1.0) << f.name << " normwise: " << norm.text();
}

const Unary kUnary[] = {
    {"Sin", zarzSin, zarcSin, mpc_sin, 700, 1e4},
    {"Cos", zarzCos, zarcCos, mpc_cos, 700, 1e4},
    {"Tan", zarzTan, zarcTan, mpc_tan, 300, 1e4},
    {"Sinh", zarzSinh, zarcSinh, mpc_sinh, 700, 1e4},
    {"Cosh", zarzCosh, zarcCosh, mpc_cosh, 700, 1e4},
    {"Tanh", zarzTanh, zarcTanh, mpc_tanh, 300, 1e4},
    {"Log10", zarzLog10, zarcLog10, mpc_log10, 1e300, 1e300},
};

TEST(ComplexElement, EveryPartWithinOneUlpOfMpc) {
  for (const Unary& f : kUnary) {
    check_unary<NrxComplex16>(f);
    check_unary<NrxComplex8>(f);
  }
}

// Far hyperbolic arguments (the imaginary part of Sin, Cos, Tan, the real part of the others):
// the edges of the range where every part overflows or the circular part of Tan and Tanh
// vanishes, and the band between, against MPC (an overflowed part wants the infinity of its
// sign), with code 3 exactly where a finite element gets an infinite part.
template <class C> void check_far(const Unary& f, bool circular, bool overflows) {
  using R = typename Cx<C>::R;
  constexpr int p = Cx<C>::p, emin = Cx<C>::emin, emax = Cx<C>::emax;
  std::mt19937_64 g(5);
  std::uniform_real_distribution<double> u(-1, 1);
  std::vector<C> a;
  for (double h : {80.0, 89.5, 349.0, 351.0, 372.0, 374.0, 709.0, 711.0, 755.0, 761.0, 2000.0, 1e30})
    for (double t : {0.0, -0.0, 0.5, -2.0, 1.5707963267948966, 1e4, -1e20, 1e-300, -0x1p-1074})
      for (int i = 0; i < 4; ++i) {
        const R hh = R(h * (1 + 0.01 * std::fabs(u(g))) * (i & 1 ? -1 : 1)), tt = R(t * (i < 2 ? 1 : 1 + u(g) * 1e-3));
        a.push_back(circular ? C{tt, hh} : C{hh, tt});
      }
  std::vector<C> r(a.size());
  nrx::test::reports().clear();
  if constexpr (p == 24) f.c(int(a.size()), a.data(), r.data());
  else f.z(int(a.size()), a.data(), r.data());
  std::vector<int64_t> want_reports, got_reports;
  for (size_t i = 0; i < a.size(); ++i)
    if (overflows && (std::isinf(r[i].real) || std::isinf(r[i].imag))) want_reports.push_back(int64_t(i));
  for (const auto& rep : nrx::test::reports()) {
    EXPECT_EQ(rep.code, ZAR_ST_RESULT_TOO_LARGE) << f.name;
    got_reports.push_back(rep.index);
  }
  EXPECT_EQ(got_reports, want_reports) << f.name;
  Exact z, w;
  Worst part;
  for (size_t i = 0; i < a.size(); ++i) {
    mpc_set_d_d(z.v, a[i].real, a[i].imag, MPC_RNDNN);
    f.exact(w.v, z.v, MPC_RNDNN);
    part.keep(std::max(ulp_error(r[i].real, mpc_realref(w.v), p, emin, emax),
                       ulp_error(r[i].imag, mpc_imagref(w.v), p, emin, emax)),
              a[i].real, a[i].imag);
  }
  EXPECT_LE(part.ulp, 1.0) << f.name << " far arguments: " << part.text();
}

TEST(ComplexElement, FarArgumentsWithinOneUlpOfMpc) {
  zarSetErrorCallBack(nrx::test::keep_report);
  for (int k = 0; k < 6; ++k) {
    const Unary& f = kUnary[k];
    const std::string n = f.name;
    const bool circular = n == "Sin" || n == "Cos" || n == "Tan";
    const bool overflows = n != "Tan" && n != "Tanh";
    check_far<NrxComplex16>(f, circular, overflows);
    check_far<NrxComplex8>(f, circular, overflows);
  }
  zarClearErrorCallBack();
}

// Pow: within one ulp per part where |w ln z| <= 64 (and the parts are not cancellations of
// e^a cos b, which the sampling avoids by keeping the result's angle away from the axes).
template <class C> void check_pow(double reach) {
  using R = typename Cx<C>::R;
  constexpr int p = Cx<C>::p, emin = Cx<C>::emin, emax = Cx<C>::emax;
  std::mt19937_64 g(11);
  std::uniform_real_distribution<double> u(-1, 1);
  std::vector<C> a, b;
  while (a.size() < 4000) {
    const double lr = u(g) * 40, th = u(g) * M_PI;
    const C z{R(std::exp(lr) * std::cos(th)), R(std::exp(lr) * std::sin(th))};
    const double scale = reach / std::max(1.0, std::hypot(lr, th)) * (0.5 + 0.5 * std::fabs(u(g)));
    const C w{R(scale * u(g)), R(scale * u(g))};
    const double ang = std::fmod(std::fabs(w.real * th + w.imag * lr), M_PI / 2);
    if (ang < 0.05 || ang > M_PI / 2 - 0.05) continue;
    a.push_back(z), b.push_back(w);
  }
  std::vector<C> r(a.size());
  if constexpr (p == 24) zarcPow(int(a.size()), a.data(), b.data(), r.data());
  else zarzPow(int(a.size()), a.data(), b.data(), r.data());
  Exact z, w, v;
  Worst part, norm;
  for (size_t i = 0; i < a.size(); ++i) {
    mpc_set_d_d(z.v, a[i].real, a[i].imag, MPC_RNDNN);
    mpc_set_d_d(w.v, b[i].real, b[i].imag, MPC_RNDNN);
    mpc_pow(v.v, z.v, w.v, MPC_RNDNN);
    part.keep(std::max(ulp_error(r[i].real, mpc_realref(v.v), p, emin, emax),
                       ulp_error(r[i].imag, mpc_imagref(v.v), p, emin, emax)),
              a[i].real, a[i].imag, b[i].real, b[i].imag);
    norm.keep(norm_error(r[i].real, r[i].imag, v.v, p, emin, emax), a[i].real, a[i].imag, b[i].real, b[i].imag);
  }
  EXPECT_LE(part.ulp, 1.0) << "Pow per part: " << part.text();
  EXPECT_LE(norm.ulp, 1.0) << "Pow normwise: " << norm.text();
}

TEST(ComplexElement, PowWithinOneUlpOfMpc) {
  check_pow<NrxComplex16>(64);
  check_pow<NrxComplex8>(64);
}

// Every function on a spread of inputs, specials included, as raw bits.
std::vector<NrxComplex16> run_all() {
  // exact in float too, so the narrowed inputs do not depend on the rounding mode
  const double v[] = {0.0, -0.0, 0.75, -1.5, 3.25, 40.0, -700.0, 0x1p-140, INFINITY, NAN};
  std::vector<NrxComplex16> a;
  for (double x : v)
    for (double y : v) a.push_back({x, y});
  const int n = int(a.size());
  std::vector<NrxComplex16> out;
  std::vector<NrxComplex16> r(a.size());
  for (auto f : {zarzSin, zarzCos, zarzTan, zarzSinh, zarzCosh, zarzTanh, zarzLog10}) {
    f(n, a.data(), r.data());
    out.insert(out.end(), r.begin(), r.end());
  }
  std::vector<NrxComplex16> b(a.rbegin(), a.rend());
  zarzPow(n, a.data(), b.data(), r.data());
  out.insert(out.end(), r.begin(), r.end());
  zarzPowx(n, a.data(), NrxComplex16{-2.5, 0.5}, r.data());
  out.insert(out.end(), r.begin(), r.end());
  std::vector<NrxComplex8> af(a.size()), rf(a.size());
  for (size_t i = 0; i < a.size(); ++i) af[i] = {float(a[i].real), float(a[i].imag)};
  for (auto f : {zarcSin, zarcCos, zarcTan, zarcSinh, zarcCosh, zarcTanh, zarcLog10}) {
    f(n, af.data(), rf.data());
    for (const NrxComplex8& x : rf) out.push_back({x.real, x.imag});
  }
  return out;
}

bool same_bits(const std::vector<NrxComplex16>& x, const std::vector<NrxComplex16>& y) {
  if (x.size() != y.size()) return false;
  for (size_t i = 0; i < x.size(); ++i) {
    const bool re = std::isnan(x[i].real) ? std::isnan(y[i].real) : std::memcmp(&x[i].real, &y[i].real, 8) == 0;
    const bool im = std::isnan(x[i].imag) ? std::isnan(y[i].imag) : std::memcmp(&x[i].imag, &y[i].imag, 8) == 0;
    if (!re || !im) return false;
  }
  return true;
}

TEST(ComplexElement, SameBitsInEveryRoundingMode) {
  zarSetErrorCallBack(nrx::test::keep_report);
  const auto want = run_all();
  for (int mode : {FE_DOWNWARD, FE_UPWARD, FE_TOWARDZERO, FE_TONEAREST}) {
    ASSERT_EQ(std::fesetround(mode), 0);
    const auto got = run_all();
    std::fesetround(FE_TONEAREST);
    EXPECT_TRUE(same_bits(got, want)) << "rounding mode " << mode;
  }
  zarClearErrorCallBack();
}

// A caller in 24-bit precision, rounding toward zero, gets the same bits and its word back;
// one already in 64-bit precision, nearest, masked keeps its pending flags.
TEST(ComplexElement, CallersX87WordIsRestored) {
  zarSetErrorCallBack(nrx::test::keep_report);
  const auto want = run_all();
  const uint16_t saved = nrx::simd::x87_control();
  const uint16_t odd = uint16_t((saved & ~nrx::simd::kX87ExtendedFields) | 0x3F | 0xC00);  // 24 bits, toward zero
  nrx::simd::x87_set_control(odd);
  const auto got = run_all();
  const uint16_t after = nrx::simd::x87_control();
  nrx::simd::x87_set_control(saved);
  EXPECT_EQ(after, odd);
  EXPECT_TRUE(same_bits(got, want));

  volatile long double big = 1e4000L;
  big = big * big;  // raises the overflow flag
  ASSERT_TRUE(nrx::simd::x87_status() & nrx::simd::kX87Overflow);
  NrxComplex16 z{1, 1}, r;
  zarzTanh(1, &z, &r);
  EXPECT_TRUE(nrx::simd::x87_status() & nrx::simd::kX87Overflow);
  EXPECT_EQ(nrx::simd::x87_control(), saved);
  nrx::simd::x87_clear_exceptions();
  zarClearErrorCallBack();
}

// Overflows are reported one by one in ascending order, unit-stride and strided alike;
// Tan, Tanh and Log10 report nothing.
TEST(ComplexElement, OverflowReportsInOrder) {
  zarSetErrorCallBack(nrx::test::keep_report);
  std::vector<NrxComplex16> a = {{1, 1}, {800, 1}, {1, 1}, {-900, 2}, {0, 0}, {1e300, 1e300}};
  std::vector<NrxComplex16> r(a.size() * 2);
  nrx::test::reports().clear();
  zarzCosh(6, a.data(), r.data());
  ASSERT_EQ(nrx::test::reports().size(), 3u);
  EXPECT_EQ(nrx::test::reports()[0].index, 1);
  EXPECT_EQ(nrx::test::reports()[1].index, 3);
  EXPECT_EQ(nrx::test::reports()[2].index, 5);
  nrx::test::reports().clear();
  zarzCoshI(3, a.data(), 2, r.data(), 2);  // elements 0, 2, 4
  EXPECT_TRUE(nrx::test::reports().empty());
  zarzCoshI(3, a.data() + 1, 2, r.data(), 2);  // elements 1, 3, 5
  ASSERT_EQ(nrx::test::reports().size(), 3u);
  for (int k = 0; k < 3; ++k) EXPECT_EQ(nrx::test::reports()[k].index, k);
  nrx::test::reports().clear();
  zarzTanh(6, a.data(), r.data());
  zarzLog10(6, a.data(), r.data());
  zarzTan(6, a.data(), r.data());
  EXPECT_TRUE(nrx::test::reports().empty());
  zarClearErrorCallBack();
}

}  // namespace
