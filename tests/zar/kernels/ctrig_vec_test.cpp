// Complex Sin, Cos, Tan, Sinh, Cosh, Tanh (c and z) and Pow, Powx (z) where their vector bodies
// switch steps: the hyperbolic argument around 1/2 (sinh from its polynomial), the point where
// tanh rounds to 1, the clamps of the float bodies (60, 200) and the band edges, against MPC;
// arrays whose length leaves a tail after the frame's register pairs, specials in either
// register of a pair reported in ascending order, and every element computed alone (one
// register) giving the same bits as within its array (two registers at a time).
#include <gtest/gtest.h>
#include <mpc.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "nrx/zar_functions.h"
#include "tests/zar/kernels/mpc_parts.h"
#include "tests/zar/kernels/reports.h"

#undef I

namespace {

using nrx::test::Cx;
using nrx::test::Exact;
using nrx::test::part_error;

using Mpc1 = int (*)(mpc_ptr, mpc_srcptr, mpc_rnd_t);

struct Fn {
  const char* name;
  void (*z)(int32_t, const NrxComplex16*, NrxComplex16*);
  void (*c)(int32_t, const NrxComplex8*, NrxComplex8*);
  Mpc1 exact;
  bool circular;  // the hyperbolic argument is the imaginary part
};

const Fn kFns[] = {
    {"Sin", zarzSin, zarcSin, mpc_sin, true},      {"Cos", zarzCos, zarcCos, mpc_cos, true},
    {"Tan", zarzTan, zarcTan, mpc_tan, true},      {"Sinh", zarzSinh, zarcSinh, mpc_sinh, false},
    {"Cosh", zarzCosh, zarcCosh, mpc_cosh, false}, {"Tanh", zarzTanh, zarcTanh, mpc_tanh, false},
};

// Hyperbolic arguments at the switch points of the bodies, and circular ones of every kind.
const double kH[] = {0.0,  1e-300, 1e-9, 0.25, 0.4999, 0.5,  0.5001, 0.75, 9.0,   9.2,   19.0,  19.2,
                     36.0, 40.0,   41.0, 59.5, 60.5,   88.0, 89.5,   199., 201.0, 349.0, 373.5, 712.0};
const double kT[] = {0.0, 1e-20, 3e-9, 0.3, 1.5707963267948966, 3.141592653589793, -2.5, 100.5, 1e6, 0x1p60};

template <class C> std::vector<C> switch_inputs(bool circular) {
  using R = typename Cx<C>::R;
  std::mt19937_64 g(3);
  std::uniform_real_distribution<double> u(-1, 1);
  std::vector<C> a;
  for (double h : kH)
    for (double t : kT)
      for (int k = 0; k < 4; ++k) {
        const R hh = R(h * (1 + 1e-3 * u(g)) * (k & 1 ? -1 : 1)), tt = R(t * (1 + 1e-6 * u(g)) * (k & 2 ? -1 : 1));
        a.push_back(circular ? C{tt, hh} : C{hh, tt});
      }
  a.resize(a.size() - 5);  // a tail after the last full pair of registers
  return a;
}

template <class C> void check_switch_points(const Fn& f) {
  const std::vector<C> a = switch_inputs<C>(f.circular);
  std::vector<C> r(a.size());
  if constexpr (sizeof(C) == 8) f.c(int(a.size()), a.data(), r.data());
  else f.z(int(a.size()), a.data(), r.data());
  Exact z, w;
  double worst = 0;
  size_t at = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    mpc_set_d_d(z.v, a[i].real, a[i].imag, MPC_RNDNN);
    f.exact(w.v, z.v, MPC_RNDNN);
    const double e = part_error<C>(r[i], w);
    if (e > worst) worst = e, at = i;
  }
  EXPECT_LE(worst, 1.0) << f.name << (sizeof(C) == 8 ? " c" : " z") << " at (" << a[at].real << ", " << a[at].imag
                        << ")";
}

TEST(ComplexTrigVector, SwitchPointsWithinOneUlpOfMpc) {
  for (const Fn& f : kFns) {
    check_switch_points<NrxComplex16>(f);
    check_switch_points<NrxComplex8>(f);
  }
}

template <class C> bool same_bits(const C& a, const C& b) { return std::memcmp(&a, &b, sizeof(C)) == 0; }

// Each element alone (the one-register body) against the same element inside its array.
TEST(ComplexTrigVector, ElementAloneMatchesItsArray) {
  for (const Fn& f : kFns) {
    const std::vector<NrxComplex16> a = switch_inputs<NrxComplex16>(f.circular);
    std::vector<NrxComplex16> r(a.size());
    f.z(int(a.size()), a.data(), r.data());
    for (size_t i = 0; i < a.size(); ++i) {
      NrxComplex16 one;
      f.z(1, &a[i], &one);
      EXPECT_TRUE(same_bits(one, r[i])) << f.name << " element " << i;
    }
  }
}

// Strided arrays (gathered two registers at a time) give the bits of the unit-stride call.
TEST(ComplexTrigVector, StridedMatchesUnitStride) {
  const std::vector<NrxComplex16> a = switch_inputs<NrxComplex16>(true);
  const int n = int(a.size());
  std::vector<NrxComplex16> r(a.size()), a2(2 * a.size()), r3(3 * a.size());
  for (size_t i = 0; i < a.size(); ++i) a2[2 * i] = a[i], a2[2 * i + 1] = {NAN, NAN};
  zarzSin(n, a.data(), r.data());
  zarzSinI(n, a2.data(), 2, r3.data(), 3);
  for (size_t i = 0; i < a.size(); ++i) EXPECT_TRUE(same_bits(r[i], r3[3 * i])) << "Sin element " << i;
  std::vector<NrxComplex16> w(a.size(), NrxComplex16{0.75, -1.5});
  for (size_t i = 0; i < a.size(); ++i) a2[2 * i] = {1 + a[i].imag * 1e-3, a[i].real * 1e-3};
  std::vector<NrxComplex16> z(a.size());
  for (size_t i = 0; i < a.size(); ++i) z[i] = a2[2 * i];
  zarzPow(n, z.data(), w.data(), r.data());
  zarzPowI(n, a2.data(), 2, w.data(), 1, r3.data(), 3);
  for (size_t i = 0; i < a.size(); ++i) EXPECT_TRUE(same_bits(r[i], r3[3 * i])) << "Pow element " << i;
}

// Overflowing elements in the first and second register of a pair and in the tail: one report
// each (code 3), in ascending order.
TEST(ComplexTrigVector, PairedRegistersReportInOrder) {
  zarSetErrorCallBack(nrx::test::keep_report);
  const std::vector<int> hot = {1, 5, 6, 11, 12, 19};
  std::vector<NrxComplex16> a(21, NrxComplex16{0.5, -1.25}), r(a.size());
  for (int i : hot) a[size_t(i)] = {800.0, 0.5};
  nrx::test::reports().clear();
  zarzSinh(int(a.size()), a.data(), r.data());
  std::vector<int> got;
  for (const auto& rep : nrx::test::reports()) {
    EXPECT_EQ(rep.code, ZAR_ST_RESULT_TOO_LARGE);
    got.push_back(rep.index);
  }
  EXPECT_EQ(got, hot);

  std::vector<NrxComplex16> z(a.size(), NrxComplex16{1.5, 2.0}), w(a.size(), NrxComplex16{1.25, -0.5});
  for (int i : hot) z[size_t(i)] = {1e10, 1e10}, w[size_t(i)] = {40.0, 0.5};  // |e^(w ln z)| near e^937
  nrx::test::reports().clear();
  zarzPow(int(z.size()), z.data(), w.data(), r.data());
  got.clear();
  for (const auto& rep : nrx::test::reports()) {
    EXPECT_EQ(rep.code, ZAR_ST_RESULT_TOO_LARGE);
    got.push_back(rep.index);
  }
  EXPECT_EQ(got, hot);
  for (int i : hot) EXPECT_TRUE(std::isinf(r[size_t(i)].real) || std::isinf(r[size_t(i)].imag)) << i;
  zarClearErrorCallBack();
}

// Pow and Powx, two registers at a time: normwise within one ulp of MPC (the part of e^u cos v
// or e^u sin v near a zero of its factor is a cancellation), and each element alone the same.
TEST(ComplexPowVector, PairedRegistersWithinOneUlpOfMpc) {
  std::mt19937_64 g(9);
  std::uniform_real_distribution<double> u(-1, 1);
  std::vector<NrxComplex16> a, b;
  for (int i = 0; i < 1003; ++i) {
    const double m = std::exp(20 * u(g)), th = 3.14 * u(g);
    a.push_back({m * std::cos(th), m * std::sin(th)});
    b.push_back({8 * u(g), 8 * u(g)});
  }
  std::vector<NrxComplex16> r(a.size()), rx(a.size());
  zarzPow(int(a.size()), a.data(), b.data(), r.data());
  const NrxComplex16 wx{-2.5, 0.75};
  zarzPowx(int(a.size()), a.data(), wx, rx.data());
  Exact z, w, v, wxv;
  mpc_set_d_d(wxv.v, wx.real, wx.imag, MPC_RNDNN);
  mpfr_t m;
  mpfr_init2(m, nrx::test::kWork);
  double worst = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    mpc_set_d_d(z.v, a[i].real, a[i].imag, MPC_RNDNN);
    mpc_set_d_d(w.v, b[i].real, b[i].imag, MPC_RNDNN);
    for (int k = 0; k < 2; ++k) {
      mpc_pow(v.v, z.v, k ? wxv.v : w.v, MPC_RNDNN);
      mpc_abs(m, v.v, MPFR_RNDN);
      const NrxComplex16 got = k ? rx[i] : r[i];
      // each part's error in ulps of |z^w|
      for (int part = 0; part < 2; ++part) {
        mpfr_t d;
        mpfr_init2(d, nrx::test::kWork);
        mpfr_set_d(d, part ? got.imag : got.real, MPFR_RNDN);
        mpfr_sub(d, d, part ? mpc_imagref(v.v) : mpc_realref(v.v), MPFR_RNDN);
        mpfr_mul_2si(d, d, 53 - mpfr_get_exp(m), MPFR_RNDN);
        worst = std::max(worst, std::fabs(mpfr_get_d(d, MPFR_RNDN)));
        mpfr_clear(d);
      }
    }
    NrxComplex16 one;
    zarzPow(1, &a[i], &b[i], &one);
    EXPECT_TRUE(same_bits(one, r[i])) << "Pow element " << i;
    zarzPowx(1, &a[i], wx, &one);
    EXPECT_TRUE(same_bits(one, rx[i])) << "Powx element " << i;
  }
  mpfr_clear(m);
  EXPECT_LE(worst, 1.0);
}

}  // namespace
