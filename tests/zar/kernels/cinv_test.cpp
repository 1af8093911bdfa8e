// Complex inverse kernels (Asin, Acos, Atan, Asinh, Acosh, Atanh): every component within
// 1 ulp of MPC over boxes, the neighbourhoods of the branch cuts and branch points, the unit
// circle (where 1 - |z|^2 cancels in atanh) and all magnitudes at uniform angles -- which a
// textbook log(iz + sqrt(1 - z^2)) or an overflowing |z|^2 fails; the signed zeros of finite
// grid inputs against MPC; infinite and NaN parts against the C library's Annex G results;
// and the same bits under every rounding mode of the caller.
#include <gtest/gtest.h>
#include <mpc.h>

#include <cfenv>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "nrx/zar.h"
#include "nrx/zar_functions.h"
#include "tools/accuracy/ulp.h"

#ifndef NRX_CINV_SAMPLES
#define NRX_CINV_SAMPLES 300
#endif

typedef __complex__ double Glibc;
extern "C" {
Glibc casin(Glibc);
Glibc cacos(Glibc);
Glibc catan(Glibc);
Glibc casinh(Glibc);
Glibc cacosh(Glibc);
Glibc catanh(Glibc);
}

namespace {

namespace acc = nrx::accuracy;

struct Fn {
  const char* name;
  int (*mpc)(mpc_ptr, mpc_srcptr, mpc_rnd_t);
  Glibc (*glibc)(Glibc);
  nrx_zar_v1_z_fn* z;
  nrx_zar_v1_c_fn* c;
  nrx_zar_v1i_z_fn* zi;  // strided
};

const Fn kFns[] = {
    {"Asin", mpc_asin, casin, nrx_zar_kernel_zAsin_ttab, nrx_zar_kernel_cAsin_ttab, nrx_zar_kernel_zAsinI_ttab},
    {"Acos", mpc_acos, cacos, nrx_zar_kernel_zAcos_ttab, nrx_zar_kernel_cAcos_ttab, nrx_zar_kernel_zAcosI_ttab},
    {"Atan", mpc_atan, catan, nrx_zar_kernel_zAtan_ttab, nrx_zar_kernel_cAtan_ttab, nrx_zar_kernel_zAtanI_ttab},
    {"Asinh", mpc_asinh, casinh, nrx_zar_kernel_zAsinh_ttab, nrx_zar_kernel_cAsinh_ttab, nrx_zar_kernel_zAsinhI_ttab},
    {"Acosh", mpc_acosh, cacosh, nrx_zar_kernel_zAcosh_ttab, nrx_zar_kernel_cAcosh_ttab, nrx_zar_kernel_zAcoshI_ttab},
    {"Atanh", mpc_atanh, catanh, nrx_zar_kernel_zAtanh_ttab, nrx_zar_kernel_cAtanh_ttab, nrx_zar_kernel_zAtanhI_ttab},
};

struct Z {
  double re, im;
};

template <class C> std::vector<C> typed(const std::vector<Z>& in) {
  std::vector<C> a(in.size());
  for (size_t i = 0; i < in.size(); ++i) a[i] = {decltype(C::real)(in[i].re), decltype(C::real)(in[i].im)};
  return a;
}

// Results of one type through the HA slot of the function's table.
template <class C> std::vector<Z> run(const Fn& f, const std::vector<C>& a) {
  std::vector<C> r(a.size());
  if constexpr (sizeof(C) == 16) f.z[1](int32_t(a.size()), a.data(), r.data());
  else f.c[1](int32_t(a.size()), a.data(), r.data());
  std::vector<Z> out(a.size());
  for (size_t i = 0; i < a.size(); ++i) out[i] = {r[i].real, r[i].imag};
  return out;
}
template <class C> std::vector<Z> run(const Fn& f, const std::vector<Z>& in) { return run<C>(f, typed<C>(in)); }

std::string show(Z z) {
  char b[96];
  std::snprintf(b, sizeof b, "(%a, %a)", z.re, z.im);
  return b;
}

// Every component of every result within 1 ulp of MPC's, signed zeros included.
template <class C> void expect_close_to_mpc(const Fn& f, const std::vector<Z>& in, const std::string& region) {
  const acc::Format fmt = sizeof(C) == 16 ? acc::kDouble : acc::kSingle;
  const std::vector<Z> got = run<C>(f, in);
  mpc_t z, w;
  mpc_init2(z, 64);
  mpc_init2(w, 192);
  double worst = 0;
  Z worst_at{};
  int bad = 0;
  acc::CompareOptions opt;
  for (size_t i = 0; i < in.size(); ++i) {
    mpc_set_d_d(z, in[i].re, in[i].im, MPC_RNDNN);
    f.mpc(w, z, MPC_RNDNN);
    const double parts[2] = {got[i].re, got[i].im};
    mpfr_ptr exact[2] = {mpc_realref(w), mpc_imagref(w)};
    for (int p = 0; p < 2; ++p) {
      const acc::Check c = acc::compare(parts[p], exact[p], exact[p], fmt, opt);
      if (c.kind != acc::Mismatch::none || !(c.ulp <= 1)) {
        if (++bad <= 5)
          ADD_FAILURE() << f.name << (sizeof(C) == 16 ? " z " : " c ") << region << " at " << show(in[i]) << ": got "
                        << show(got[i]) << ", part " << p << " " << c.ulp << " ulp, " << acc::mismatch_name(c.kind);
      } else if (c.ulp > worst) {
        worst = c.ulp, worst_at = in[i];
      }
    }
  }
  mpc_clear(z);
  mpc_clear(w);
  EXPECT_EQ(bad, 0) << f.name << " " << region;
  testing::Test::RecordProperty(std::string(f.name) + (sizeof(C) == 16 ? "_z_" : "_c_") + region,
                                std::to_string(worst));
}

// Sampling regions; each draws a point of the given format (bits 24 or 53).
using Draw = std::function<Z(std::mt19937_64&, int bits)>;
double uni(std::mt19937_64& g, double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(g); }
double sgn(std::mt19937_64& g) { return g() & 1 ? 1.0 : -1.0; }
// 2^u with u uniform over the format's whole exponent range (subnormals included) below 2^top.
double scale(std::mt19937_64& g, int bits, double top) { return std::exp2(uni(g, bits == 24 ? -149 : -1074, top)); }
Z polar(double r, double t) { return {r * std::cos(t), r * std::sin(t)}; }

struct Region {
  const char* name;
  Draw draw;
};
const Region kRegions[] = {
    {"box",
     [](auto& g, int) {
       return Z{uni(g, -4, 4), uni(g, -4, 4)};
     }},
    // next to the real axis: the cuts of asin, acos, atanh, acosh and the segment between them
    {"real_axis",
     [](auto& g, int b) {
       return Z{uni(g, -2.5, 2.5), sgn(g) * scale(g, b, -1)};
     }},
    // next to the imaginary axis: the cuts of asinh, atan
    {"imag_axis",
     [](auto& g, int b) {
       return Z{sgn(g) * scale(g, b, -1), uni(g, -2.5, 2.5)};
     }},
    // within a small distance of a branch point +-1 or +-i
    {"branch_points",
     [](auto& g, int b) {
       const Z d = polar(std::exp2(uni(g, b == 24 ? -30 : -60, -2)), uni(g, -M_PI, M_PI));
       const double s = sgn(g);
       return g() & 1 ? Z{s + d.re, d.im} : Z{d.re, s + d.im};
     }},
    // |z| = 1 + tiny: 1 - |z|^2 cancels
    {"unit_circle",
     [](auto& g, int b) {
       return polar(1 + sgn(g) * std::exp2(uni(g, b == 24 ? -24 : -53, -3)), uni(g, -M_PI, M_PI));
     }},
    {"magnitudes", [](auto& g, int b) { return polar(scale(g, b, b == 24 ? 127.9 : 1023.9), uni(g, -M_PI, M_PI)); }},
    // |x| on either side of 1 by a little, |y| of any size: the differences A - x and A - 1
    // change their form at x = 1
    {"either_side_of_one",
     [](auto& g, int b) {
       const double x = sgn(g) * (1 + sgn(g) * std::exp2(-uni(g, 1, b)));
       return g() & 1 ? Z{x, sgn(g) * scale(g, b, 3)} : Z{sgn(g) * scale(g, b, 3), x};
     }},
    // |z| from 2^12 to 2^32, a third of the points within 2^-20 of an axis: the arc sine's
    // parts take the large-|z| form where the larger part reaches 2^28, and ln(1 + q) of atanh
    // (q about 4/|z|) its series below q = 2^-15
    {"large_z_edge",
     [](auto& g, int) {
       const double t = g() % 3 ? uni(g, -M_PI, M_PI) : std::floor(uni(g, -2, 3)) * M_PI_2 + uni(g, -0x1p-20, 0x1p-20);
       return polar(std::exp2(uni(g, 12, 32)), t);
     }},
    // parts at the edges of the double body's range (2^-250 below, where the routine takes
    // over, and 2^28 above, where the large-|z| form does), zero or within 2^-20 of 1, in every
    // combination: the two-part core's roots, quotients and atan2 meet the extremes of each other
    {"range_edges",
     [](auto& g, int b) {
       const auto part = [&]() {
         switch (g() % 4) {
           case 0: return 0.0;
           case 1: return sgn(g) * std::exp2(b == 24 ? uni(g, -130, -118) : uni(g, -252, -246));
           case 2: return sgn(g) * std::exp2(uni(g, 26, 30));
           default: return sgn(g) * (1 + uni(g, -0x1p-20, 0x1p-20));
         }
       };
       return Z{part(), part()};
     }},
};

std::vector<Z> draw(const Region& r, int bits, unsigned seed, int n) {
  std::mt19937_64 g(seed);
  std::vector<Z> v;
  while (int(v.size()) < n) {
    Z z = r.draw(g, bits);
    if (bits == 24) z = {double(float(z.re)), double(float(z.im))};
    if (std::isfinite(z.re) && std::isfinite(z.im)) v.push_back(z);
  }
  return v;
}

class Cinv : public testing::TestWithParam<Fn> {};

TEST_P(Cinv, WithinOneUlpOfMpcEverywhere) {
  const Fn& f = GetParam();
  unsigned seed = 1;
  for (const Region& r : kRegions) {
    expect_close_to_mpc<NrxComplex16>(f, draw(r, 53, seed++, NRX_CINV_SAMPLES), r.name);
    expect_close_to_mpc<NrxComplex8>(f, draw(r, 24, seed++, NRX_CINV_SAMPLES), r.name);
  }
}

// Parts of the grid: signed zeros, the branch points, both sides of 1, the extremes of each format.
std::vector<double> grid_parts(int bits, bool non_finite) {
  std::vector<double> v = {0.0, 0.5, 1.0, 2.0, 1e-3};
  if (bits == 24) v.insert(v.end(), {0x1p-149, 0x1p-126, 0x1.fffffep127, 0x1.fffffep-1, 0x1.000002p0});
  else v.insert(v.end(), {0x1p-1074, 0x1p-1022, 0x1.fffffffffffffp1023, 0x1.fffffffffffffp-1, 0x1.0000000000001p0});
  // near half an ulp of 1: 1 + t rounds away most of a small argument of log1p
  if (bits == 53) v.insert(v.end(), {0x1.3482988b4f009p-53, 0x1.1bbf983b47c14p-54});
  else v.insert(v.end(), {0x1.34829p-24, 0x1.1bbf98p-25});
  const size_t n = v.size();
  for (size_t i = 0; i < n; ++i) v.push_back(-v[i]);
  if (non_finite) v.insert(v.end(), {HUGE_VAL, -HUGE_VAL, std::nan(""), -std::nan("")});
  if (bits == 24)
    for (double& x : v) x = double(float(x));
  return v;
}

TEST_P(Cinv, FiniteGridWithSignedZerosMatchesMpc) {
  const Fn& f = GetParam();
  for (int bits : {53, 24}) {
    std::vector<Z> in;
    for (double x : grid_parts(bits, false))
      for (double y : grid_parts(bits, false)) in.push_back({x, y});
    if (bits == 53) expect_close_to_mpc<NrxComplex16>(f, in, "grid");
    else expect_close_to_mpc<NrxComplex8>(f, in, "grid");
  }
}

// Result parts the C library gives for inputs with an infinite or NaN part: NaN where it has
// NaN (either sign), otherwise the same value -- the infinities and zeros with their signs,
// pi/2, pi/4, 3pi/4 and pi rounded to the type.
TEST_P(Cinv, InfiniteAndNanPartsAsAnnexG) {
  const Fn& f = GetParam();
  for (int bits : {53, 24}) {
    std::vector<Z> in;
    for (double x : grid_parts(bits, true))
      for (double y : grid_parts(bits, true))
        if (!std::isfinite(x) || !std::isfinite(y)) in.push_back({x, y});
    const std::vector<Z> got = bits == 53 ? run<NrxComplex16>(f, in) : run<NrxComplex8>(f, in);
    for (size_t i = 0; i < in.size(); ++i) {
      Glibc z;
      __real__ z = in[i].re;
      __imag__ z = in[i].im;
      const Glibc w = f.glibc(z);
      const double want[2] = {__real__ w, __imag__ w}, have[2] = {got[i].re, got[i].im};
      for (int p = 0; p < 2; ++p) {
        const double t = bits == 24 ? double(float(want[p])) : want[p];
        const bool same =
            std::isnan(t) ? std::isnan(have[p]) : have[p] == t && std::signbit(have[p]) == std::signbit(t);
        EXPECT_TRUE(same) << f.name << " " << bits << "-bit at " << show(in[i]) << ": got " << show(got[i]) << ", want "
                          << show({want[0], want[1]});
      }
    }
  }
}

// The kernel runs in round-to-nearest whatever the caller's mode, and gives the caller's back.
TEST_P(Cinv, SameBitsUnderEveryRoundingMode) {
  const Fn& f = GetParam();
  std::vector<Z> in;
  unsigned seed = 100;
  for (const Region& r : kRegions) {
    const std::vector<Z> v = draw(r, 53, seed++, 40);
    in.insert(in.end(), v.begin(), v.end());
  }
  for (double x : grid_parts(53, true))
    for (double y : grid_parts(53, true)) in.push_back({x, y});
  // converted before the mode changes, which would change the conversion to float
  const std::vector<NrxComplex16> in_z = typed<NrxComplex16>(in);
  const std::vector<NrxComplex8> in_c = typed<NrxComplex8>(in);
  const std::vector<Z> want_z = run(f, in_z), want_c = run(f, in_c);
  for (int mode : {FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO}) {
    ASSERT_EQ(std::fesetround(mode), 0);
    const std::vector<Z> got_z = run(f, in_z), got_c = run(f, in_c);
    const int after = std::fegetround();
    std::fesetround(FE_TONEAREST);
    EXPECT_EQ(after, mode) << f.name;
    for (size_t i = 0; i < in.size(); ++i) {
      EXPECT_EQ(std::memcmp(&got_z[i], &want_z[i], sizeof(Z)), 0)
          << f.name << " z mode " << mode << " at " << show(in[i]) << ": " << show(got_z[i]) << " vs "
          << show(want_z[i]);
      EXPECT_EQ(std::memcmp(&got_c[i], &want_c[i], sizeof(Z)), 0)
          << f.name << " c mode " << mode << " at " << show(in[i]) << ": " << show(got_c[i]) << " vs "
          << show(want_c[i]);
    }
  }
}

// No element reports a status, not even the pole of atanh at 1 or the invalid NaN parts.
TEST_P(Cinv, ReportsNothing) {
  const Fn& f = GetParam();
  std::vector<Z> in;
  for (double x : grid_parts(53, true))
    for (double y : grid_parts(53, true)) in.push_back({x, y});
  zarClearErrStatus();
  run<NrxComplex16>(f, in);
  run<NrxComplex8>(f, in);
  EXPECT_EQ(zarGetErrStatus(), 0) << f.name;
}

// Finite elements run in vector registers (type z: eight elements to a register of real parts
// and one of imaginary parts) and elements with an infinite or NaN part, the poles and, for z,
// parts beyond [2^-250, 2^250] go to the per-element routine: with both kinds in every
// register, at every length and offset of a tail, each finite element stays within 1 ulp of
// MPC and each other one matches the C library, whatever its neighbours.
template <class C> void mixed_registers(const Fn& f) {
  const int bits = sizeof(C) == 16 ? 53 : 24;
  std::vector<double> odd = grid_parts(bits, true);
  odd.erase(odd.begin(), odd.end() - 4);  // inf, -inf, nan, -nan
  std::mt19937_64 g(7);
  std::vector<Z> finite = draw(kRegions[0], bits, 11, 64);
  finite.push_back({1, 0});   // the pole of atanh
  finite.push_back({0, -1});  // and of atan
  if (bits == 53) finite.insert(finite.end(), {{0x1p-260, 0.5}, {-3, 0x1p300}, {0x1p-1074, -0x1p-1074}, {2e300, 1}});
  for (int n : {1, 7, 8, 9, 15, 16, 17, 33}) {
    std::vector<Z> in(size_t(n), Z{});
    std::vector<bool> special(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
      special[i] = g() % 3 == 0;
      const Z fz = finite[g() % finite.size()];
      const double o = odd[g() % 4], o2 = odd[g() % 4];
      const int k = int(g() % 3);  // the real part, the imaginary one or both
      in[i] = special[i] ? Z{k == 1 ? fz.re : o, k == 0 ? fz.im : o2} : fz;
    }
    const std::vector<Z> got = run<C>(f, in);
    std::vector<Z> fin;
    for (int i = 0; i < n; ++i) {
      Glibc z;
      __real__ z = in[i].re;
      __imag__ z = in[i].im;
      const Glibc w = f.glibc(z);
      volatile decltype(C::real) wf[2] = {decltype(C::real)(__real__ w), decltype(C::real)(__imag__ w)};
      const double want[2] = {wf[0], wf[1]};  // rounded to the type, kept rounded
      const double have[2] = {got[i].re, got[i].im};
      if (!special[i] && std::isfinite(want[0]) && std::isfinite(want[1])) {
        fin.push_back(in[i]);
        continue;
      }
      for (int p = 0; p < 2; ++p)
        EXPECT_TRUE(std::isnan(want[p]) ? std::isnan(have[p])
                                        : have[p] == want[p] && std::signbit(have[p]) == std::signbit(want[p]))
            << f.name << " " << bits << "-bit n " << n << " at " << show(in[i]) << ": got " << show(got[i]) << ", want "
            << show({want[0], want[1]});
    }
    expect_close_to_mpc<C>(f, fin, "mixed_" + std::to_string(n));
  }
}

TEST_P(Cinv, MixedRegistersKeepEachElementsResult) {
  mixed_registers<NrxComplex16>(GetParam());
  mixed_registers<NrxComplex8>(GetParam());
}

// The strided z kernel gathers the same elements the unit-stride one loads: the same bits at
// every length, and the elements between the strided results left as they were.
TEST_P(Cinv, StridedMatchesUnitStride) {
  const Fn& f = GetParam();
  std::vector<Z> in = draw(kRegions[0], 53, 21, 30);
  in[3] = {HUGE_VAL, 0.5}, in[12] = {0.25, std::nan("")}, in[20] = {1, 0}, in[27] = {0x1p300, 2};
  const std::vector<NrxComplex16> a = typed<NrxComplex16>(in);
  for (int n : {5, 8, 13, 30}) {
    std::vector<NrxComplex16> unit(static_cast<size_t>(n));
    f.z[1](n, a.data(), unit.data());
    std::vector<NrxComplex16> sa(static_cast<size_t>(3 * n)), sr(static_cast<size_t>(2 * n), NrxComplex16{-7, -7});
    for (int i = 0; i < n; ++i) sa[3 * i] = a[i];
    f.zi[1](n, sa.data(), 3, sr.data(), 2);
    for (int i = 0; i < n; ++i) {
      EXPECT_EQ(std::memcmp(&sr[2 * i], &unit[i], sizeof(NrxComplex16)), 0) << f.name << " n " << n << " at " << i;
      EXPECT_TRUE(sr[2 * i + 1].real == -7 && sr[2 * i + 1].imag == -7) << f.name << " n " << n << " gap " << i;
    }
  }
}

// Under the flush-to-zero mode a subnormal part reads as the zero of its sign and a result
// part below the normal range becomes a zero, in the vector body as in the routine; the
// results that stay normal are the unflushed ones.
TEST_P(Cinv, FlushToZeroInTheVectorBody) {
  const Fn& f = GetParam();
  const float tiny = 0x1p-140f, small = 0x1p-126f;
  const std::vector<Z> in = {{tiny, 0.5},  {-tiny, 2},     {0.5, tiny}, {3, -tiny}, {small, 2},    {2, small},
                             {-small, -3}, {0.25, -small}, {1.5, 0.75}, {-2, 5},    {small, small}};
  const std::vector<NrxComplex8> a = typed<NrxComplex8>(in);
  const std::vector<Z> plain = run(f, a);
  std::vector<NrxComplex8> zeroed = a;
  for (NrxComplex8& z : zeroed) {
    if (std::fabs(z.real) < small) z.real = std::copysign(0.0f, z.real);
    if (std::fabs(z.imag) < small) z.imag = std::copysign(0.0f, z.imag);
  }
  const std::vector<Z> want = run(f, zeroed);
  const uint32_t old = zarSetMode(ZAR_FTZDAZ_ON);
  const std::vector<Z> got = run(f, a);
  zarSetMode(old);
  for (size_t i = 0; i < in.size(); ++i) {
    const double w[2] = {want[i].re, want[i].im}, h[2] = {got[i].re, got[i].im}, u[2] = {plain[i].re, plain[i].im};
    for (int p = 0; p < 2; ++p) {
      const double e = std::fabs(w[p]) < small ? std::copysign(0.0, w[p]) : w[p];
      EXPECT_TRUE(h[p] == e && std::signbit(h[p]) == std::signbit(e))
          << f.name << " at " << show(in[i]) << " part " << p << ": got " << h[p] << ", want " << e;
      if (std::fabs(u[p]) >= small && in[i].re != tiny && in[i].re != -tiny && std::fabs(in[i].im) != tiny)
        EXPECT_EQ(h[p], u[p]) << f.name << " at " << show(in[i]);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Cinv, Cinv, testing::ValuesIn(kFns),
                         [](const testing::TestParamInfo<Fn>& i) { return std::string(i.param.name); });

}  // namespace
