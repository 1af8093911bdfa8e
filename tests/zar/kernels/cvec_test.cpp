// Vector complex kernels (Abs, Arg, CIS, Exp, Ln, Sqrt, Div): C99 Annex G values against the
// C library's cabs, carg, cexp, clog, csqrt and the runtime's complex division; MPFR per part
// and normwise over boxes and over magnitudes with uniform angles; overflow and pole codes.
#include <gtest/gtest.h>

#include <complex.h>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "nrx/zar_functions.h"
#include "tests/zar/kernels/reports.h"
#include "tests/zar/kernels/within_bound.h"
#include "tools/accuracy/accuracy.h"
#include "tools/accuracy/kernel_call.h"
#include "tools/accuracy/mp.h"
#include "tools/accuracy/oracle.h"

#undef I

namespace {

using nrx::accuracy::Input;
namespace acc = nrx::accuracy;
namespace catalog = nrx::zar::catalog;

const catalog::Entry& entry(const char* table) {
  int slot;
  const catalog::Entry* e = acc::find_entry(table, &slot);
  if (!e) throw std::invalid_argument(table);
  return *e;
}

// Results of one slot at element `at` of a call whose other elements are ordinary.
std::vector<double> call_at(const catalog::Entry& e, int slot, const Input& special) {
  constexpr int n = 13, at = 9;
  Input ordinary{};
  ordinary[0] = 0.75, ordinary[1] = 0.5, ordinary[2] = 1.25, ordinary[3] = -0.5;
  std::vector<Input> in(n, ordinary);
  in[at] = special;
  std::vector<double> out(2 * n);
  EXPECT_EQ(acc::call_kernel(e, e.ttab[slot], in.data(), n, out.data()), 0u);
  return {out[2 * at], out[2 * at + 1]};
}

template <class R> using Native = std::conditional_t<sizeof(R) == 4, float _Complex, double _Complex>;

// The C library's value of each function at (x, y) (b = (u, v) for Div), computed in the part type.
template <class R> std::vector<double> c_library(const std::string& f, R x, R y, R u, R v) {
  Native<R> z, w;
  __real__ z = x, __imag__ z = y, __real__ w = u, __imag__ w = v;
  Native<R> r{};
  if constexpr (sizeof(R) == 4) {
    if (f == "Abs") return {cabsf(z), 0};
    if (f == "Arg") return {cargf(z), 0};
    if (f == "Exp") r = cexpf(z);
    if (f == "Ln") r = clogf(z);
    if (f == "Sqrt") r = csqrtf(z);
  } else {
    if (f == "Abs") return {cabs(z), 0};
    if (f == "Arg") return {carg(z), 0};
    if (f == "Exp") r = cexp(z);
    if (f == "Ln") r = clog(z);
    if (f == "Sqrt") r = csqrt(z);
  }
  if (f == "CIS") {
    Native<R> ix;
    __real__ ix = 0, __imag__ ix = x;
    r = sizeof(R) == 4 ? Native<R>(cexpf(ix)) : Native<R>(cexp(ix));
  }
  if (f == "Div") {
    volatile Native<R> a = z, b = w;  // the runtime's division, not a folded one
    r = a / b;
  }
  return {double(__real__ r), double(__imag__ r)};
}

// got agrees with want: the same class (NaN, infinity, zero, finite) and, for infinities and
// zeros, the same sign unless signs_free; finite values within rel of each other.
bool agrees(double got, double want, bool signs_free, double rel) {
  if (std::isnan(want)) return std::isnan(got);
  if (std::isinf(want) || want == 0) return got == want && (signs_free || std::signbit(got) == std::signbit(want));
  return std::fabs(got - want) <= rel * std::fabs(want);
}

struct Table {
  const char* f;
  int nargs;  // complex arguments (0 for CIS's real one)
  bool real_out;
};
const Table kTables[] = {{"Abs", 1, true}, {"Arg", 1, true},   {"CIS", 0, false}, {"Exp", 1, false},
                         {"Ln", 1, false}, {"Sqrt", 1, false}, {"Div", 2, false}};

template <class R> void annex_g_grid(char t) {
  const R inf = std::numeric_limits<R>::infinity(), nan = std::numeric_limits<R>::quiet_NaN();
  const R parts[] = {R(0), R(-0.0), R(1.5), R(-2.5), inf, -inf, nan};
  for (const Table& tab : kTables) {
    const catalog::Entry& e = entry((std::string(1, t) + tab.f).c_str());
    for (int slot = 0; slot < 3; ++slot) {
      const double rel = slot == 2 ? (sizeof(R) == 4 ? 0x1p-11 : 0x1p-26) : (sizeof(R) == 4 ? 0x1p-21 : 0x1p-50);
      std::vector<R> bs = tab.nargs == 2 ? std::vector<R>(std::begin(parts), std::end(parts)) : std::vector<R>{R(0)};
      for (R x : parts)
        for (R y : tab.nargs == 0 ? std::vector<R>{R(0)} : std::vector<R>(std::begin(parts), std::end(parts)))
          for (R u : bs)
            for (R v : bs) {
              Input in{};
              in[0] = x, in[1] = y, in[2] = u, in[3] = v;
              const std::vector<double> got = call_at(e, slot, in), want = c_library<R>(tab.f, x, y, u, v);
              // Annex G leaves the signs open where both parts of an argument are infinite or NaN;
              // a finite quotient's zero parts take their signs from the scaled formula.
              const bool free = (!std::isfinite(x) && !std::isfinite(y)) || (!std::isfinite(u) && !std::isfinite(v)) ||
                                std::string(tab.f) == "Div";
              for (int p = 0; p < (tab.real_out ? 1 : 2); ++p)
                EXPECT_TRUE(agrees(got[p], want[p], free, rel))
                    << e.names[slot] << "(" << x << ", " << y
                    << (tab.nargs == 2 ? "; " + std::to_string(u) + ", " + std::to_string(v) : "") << ") part " << p
                    << ": " << got[p] << ", the C library gives " << want[p];
            }
    }
  }
}

TEST(ComplexVector, AnnexGValuesAsTheCLibraryGivesThem) {
  annex_g_grid<float>('c');
  annex_g_grid<double>('z');
}

// ---- accuracy against MPFR ----

// Largest error over inputs, in ulps of each part (parts below 2^-cut of the modulus, where
// the part is a cancellation, excluded) and normwise (in ulps of the modulus).
struct Errors {
  double part = 0, norm = 0;
  std::string worst_part, worst_norm;
};

std::string show(const Input& x, const double* got, mpfr_ptr* refs) {
  char buf[256];
  std::snprintf(buf, sizeof buf, " at (%.17g, %.17g; %.17g, %.17g): got (%.17g, %.17g), want (%.17g, %.17g)", x[0],
                x[1], x[2], x[3], got[0], got[1], mpfr_get_d(refs[0], MPFR_RNDN), mpfr_get_d(refs[1], MPFR_RNDN));
  return buf;
}

Errors measure(const catalog::Entry& e, int slot, const std::vector<Input>& in, int cut) {
  const acc::Format f = acc::format_of(e);
  const acc::EvalCtx ctx{f, mpfr_prec_t(4 * f.p + 32)};
  const acc::Oracle* o = acc::find_oracle(e);
  std::vector<double> out(2 * in.size());
  EXPECT_EQ(acc::call_kernel(e, e.ttab[slot], in.data(), in.size(), out.data()), 0u);
  acc::Mp r0(ctx.wp), r1(ctx.wp), unit(ctx.wp);
  mpfr_ptr refs[2] = {r0, r1};
  Errors err;
  for (size_t i = 0; i < in.size(); ++i) {
    mpfr_set_prec(r0, ctx.wp), mpfr_set_prec(r1, ctx.wp), mpfr_set_prec(unit, ctx.wp);
    o->eval(refs, in[i].data(), ctx);
    mpfr_hypot(unit, r0, r1, MPFR_RNDN);
    for (int p = 0; p < 2; ++p) {
      const double got = out[2 * i + p];
      const double norm = acc::ulp_error(got, refs[p], unit, f);
      if (norm > err.norm) err.norm = norm, err.worst_norm = show(in[i], &out[2 * i], refs);
      if (mpfr_zero_p(refs[p]) || mpfr_get_exp(refs[p]) < mpfr_get_exp(unit) - cut) continue;
      const double part = acc::ulp_error(got, refs[p], refs[p], f);
      if (part > err.part) err.part = part, err.worst_part = show(in[i], &out[2 * i], refs);
    }
  }
  return err;
}

// Inputs of one complex argument (two for Div): points of the box [-m, m]^2 for m = 1, sqrt(box), box,
// and magnitudes spread log-uniformly over the format with uniform angles.
std::vector<Input> draw(bool single, int nargs, double max_log, double box, size_t count) {
  std::mt19937_64 rng(12345);
  std::uniform_real_distribution<double> u(0, 1);
  const auto fit = [single](double v) {
    volatile float f = float(v);  // rounded to float here, never folded away
    return single ? double(f) : v;
  };
  const auto point = [&](double* z, size_t k) {
    if (k % 2 == 0) {
      const double m = std::pow(box, double(k % 3) / 2);
      z[0] = fit(m * (2 * u(rng) - 1)), z[1] = fit(m * (2 * u(rng) - 1));
    } else {
      const double r = std::exp(max_log * (2 * u(rng) - 1)), a = 2 * M_PI * u(rng);
      z[0] = fit(r * std::cos(a)), z[1] = fit(r * std::sin(a));
    }
  };
  std::vector<Input> in(count);
  for (size_t k = 0; k < count; ++k) {
    point(&in[k][0], k);
    if (nargs == 2) point(&in[k][2], k / 2);
  }
  return in;
}

struct AccCase {
  const char* table;
  int nargs;
  double max_log;  // magnitudes up to e^max_log (e^x sampled up to the overflow)
  double box;      // largest box
  int cut;         // parts below 2^-cut of the modulus are cancellations
};
const AccCase kAcc[] = {
    {"zExp", 1, 6.5, 700, 1000}, {"cExp", 1, 4.4, 85, 1000}, {"zSqrt", 1, 700, 1e6, 1000}, {"cSqrt", 1, 85, 1e6, 1000},
    {"zLn", 1, 700, 1e6, 1000},  {"cLn", 1, 85, 1e6, 1000},  {"zDiv", 2, 340, 1e6, 40},    {"cDiv", 2, 40, 1e6, 20},
};

TEST(ComplexVector, WithinOneUlpPerPartAndNormwiseAgainstMpfr) {
  for (const AccCase& c : kAcc) {
    const catalog::Entry& e = entry(c.table);
    const std::vector<Input> in = draw(e.type == 'c', c.nargs, c.max_log, c.box, 6000);
    for (int slot : acc::distinct_slots(e)) {
      const Errors err = measure(e, slot, in, c.cut);
      EXPECT_LE(err.norm, e.bound[slot]) << e.names[slot] << " normwise" << err.worst_norm;
      EXPECT_LE(err.part, e.bound[slot]) << e.names[slot] << " per part" << err.worst_part;
    }
  }
}

// Inputs that leave the common paths of the vector bodies: float angles beyond the float
// reduction (the register then runs the double bodies on its halves) beside small ones, parts
// of a quotient's operands near 2^+-450 (float 2^+-30) and tiny parts beside ordinary ones
// (the scaled path), the bounds of the quotient's result test, a float numerator that cancels,
// and float logarithms whose argument falls below the float range.
struct EdgeCase {
  const char* table;
  std::vector<Input> in;
};
const EdgeCase kEdges[] = {
    {"cExp",
     {{0.5, 1e4}, {-1, 10001}, {2, 3e5}, {0.25, -1.5e7}, {1, 0.5}, {-3, 2.5}, {0.125, -7}, {4, 0x1p-10}, {0, 16000}}},
    {"zDiv",
     {{1, 0x1p-460, 0x1p-440, 0},
      {0x1p-600, 1, 0x1p-440, 0},
      {1, 2, 1, 0x1p-460},
      {0x1p449, 3, 5, 0x1p449},
      {0x1p451, 3, 5, 7},
      {3, 5, 0x1p-449, 0x1p-451},
      {1e-200, 1e-200, 1e-250, 3e-250},
      {0, 1, 0x1p-500, 0},
      {5, -7, 0x1p300, 0x1p200},
      // HA and LA test their results: |b| about 2^+-250, |a b| about 2^+-450, the quotient
      // near 2^-700, a zero numerator beside ordinary elements
      {3, -5, 0x1.fffffffffffffp249, 0x1p248},
      {3, -5, 0x1p250, 0x1p248},
      {3, -5, 0x1.0000000000001p250, -7},
      {-3, 5, 0x1p-250, 0x1p-252},
      {-3, 5, 0x1.fffffffffffffp-251, 0},
      {0x1p200, 3, 0x1.fffffffffffffp249, 1},
      {0x1p201, 3, 0x1p250, 1},
      {0x1p-200, 0x1.8p-203, 0x1p-250, 0x1p-251},
      {0x1p-201, 0x1.8p-203, 0x1p-250, 0x1p-251},
      {0x1p-449, 0x1p-460, 0x1p250, 0x1p249},
      {0, 0, 3, 4},
      {0, -0.0, -3, 4}}},
    {"cDiv",
     {{1, 0x1p-140, 0x1p-120, 0},
      {0x1p126, 3, 5, 0x1p127},
      {0x1p-100, 0x1p-126, 0x1p-133, 0x1.8p-135},
      {0x1p29, 3, 5, 0x1p29},
      {0x1p31, 3, 5, 7},
      {3, 5, 0x1p-29, 0x1p-31},
      {1, 0x1p-35, 0x1p-25, 0},
      {0x1.000002p0, 1, 1, 0x1.fffffcp-1},
      {1e-20f, 3e-21f, 7e-25f, 1e-30f},
      {0, 1, 0x1p-40, 0},
      // the result test of HA and LA: |b| about 2^+-30, |a b| about 2^+-60, a tiny quotient
      {3, -5, 0x1.fffffep29, 0x1p28},
      {3, -5, 0x1p30, 0x1p28},
      {3, -5, 0x1.000002p30, -7},
      {-3, 5, 0x1p-30, 0x1p-32},
      {-3, 5, 0x1.fffffep-31, 0},
      {0x1p30, 3, 0x1.fffffep29, 1},
      {0x1p31, 3, 0x1p30, 1},
      {0x1p-30, 0x1.8p-33, 0x1p-30, 0x1p-31},
      {0x1p-31, 0x1.8p-33, 0x1p-30, 0x1p-31},
      {0x1p-59, 0x1p-70, 0x1p30, 0x1p29},
      {0, 0, 3, 4}}},
    {"cLn",
     {{0x1p100, 0x1p-100},
      {-0x1p100, 0x1p-100},
      {0x1p-100, 0x1p100},
      {0x1.fffffep127, 0x1p-149},
      {1, 0x1p-33},
      {0.625, 0.75}}},
};

TEST(ComplexVector, EdgesOfTheVectorPathsAgainstMpfr) {
  for (const EdgeCase& c : kEdges) {
    const catalog::Entry& e = entry(c.table);
    for (int slot : acc::distinct_slots(e)) {
      const Errors err = measure(e, slot, c.in, 1000);
      EXPECT_LE(err.norm, e.bound[slot]) << e.names[slot] << " normwise" << err.worst_norm;
      EXPECT_LE(err.part, e.bound[slot]) << e.names[slot] << " per part" << err.worst_part;
    }
  }
}

// The library's own sweep (special values, domain draws) for every table of the family.
TEST(ComplexVector, AccuracyToolWithinBounds) {
  acc::Options o;
  o.samples = 3000;
  for (const char* t :
       {"cAbs", "zAbs", "cArg", "zArg", "cCIS", "zCIS", "cExp", "zExp", "cLn", "zLn", "cSqrt", "zSqrt", "cDiv", "zDiv"})
    nrx::test::expect_within_bound(t, o);
}

// ---- codes and ranges ----

class Codes : public ::testing::Test {
 protected:
  void SetUp() override {
    zarSetErrorCallBack(nrx::test::keep_report);
    nrx::test::reports().clear();
  }
  void TearDown() override { zarClearErrorCallBack(); }
};

// e^x overflows while e^x sin y does not: the finite part is kept, the element reports code 3.
TEST_F(Codes, ExpKeepsTheFinitePartBesideAnOverflow) {
  const NrxComplex16 a[3] = {{800, 1e-300}, {0.5, 0.25}, {-800, 1}};
  NrxComplex16 r[3];
  zarzExp(3, a, r);
  EXPECT_TRUE(std::isinf(r[0].real));
  EXPECT_NEAR(r[0].imag, std::exp(800 + std::log(1e-300)), 1e-11 * std::exp(800 + std::log(1e-300)));
  EXPECT_EQ(r[2].real, 0.0);
  ASSERT_EQ(nrx::test::reports().size(), 1u);
  EXPECT_EQ(nrx::test::reports()[0].code, ZAR_ST_RESULT_TOO_LARGE);
  EXPECT_EQ(nrx::test::reports()[0].index, 0);
}

// Quotients whose operands span the whole range stay exact where the quotient is representable.
TEST_F(Codes, DivScalesOperandsOfAnyMagnitude) {
  struct Case {
    NrxComplex16 a, b, want;
  };
  const Case cases[] = {
      {{0x1p1023, 0x1p1023}, {0x1p1023, 0x1p1023}, {1, 0}},
      {{0x1p-1074, 0}, {0x1p-1074, 0}, {1, 0}},
      {{0x1p1000, 0x1p-1000}, {0x1p1000, 0}, {1, 0}},
      {{0x1p-1000, 0x1p-1000}, {0x1p-1070, 0x1p-1070}, {0x1p70, 0}},
      {{3, 4}, {0x1p600, 0x1p600}, {7 * 0x1p-601, 1 * 0x1p-601}},
  };
  for (const Case& c : cases) {
    NrxComplex16 r;
    zarzDiv(1, &c.a, &c.b, &r);
    EXPECT_EQ(r.real, c.want.real) << c.a.real << " / " << c.b.real;
    EXPECT_EQ(r.imag, c.want.imag) << c.a.real << " / " << c.b.real;
  }
  EXPECT_TRUE(nrx::test::reports().empty());
}

// Abs, Arg, Ln and Sqrt take registers in twos in the main loop and one at a time in the tail:
// one special element at each position of a call of 37 (both registers of a pair, both halves
// of each, the tail) gives the C library's value and only its own report, and its ordinary
// neighbours keep theirs.
struct Placed {
  double x, y;
  int ln_code, abs_code;  // the element's code from Ln and from Abs (Arg and Sqrt report nothing)
};

template <class R> void specials_at_every_position(char t) {
  const R inf = std::numeric_limits<R>::infinity(), nan = std::numeric_limits<R>::quiet_NaN();
  const R big = std::numeric_limits<R>::max() * R(0.75), tiny = std::numeric_limits<R>::min();
  // |z| just below the largest value, a larger part of 2^emax (left to the routine by float EP
  // Abs) and of 2^(emax - 1) (the last exponent its estimates see), and subnormal parts only
  const R near_max = std::numeric_limits<R>::max() * R(0.7),
          top = std::ldexp(R(1), std::numeric_limits<R>::max_exponent - 1);
  const R sub = std::numeric_limits<R>::denorm_min() * 64;
  const Placed placed[] = {{0, 0, ZAR_ST_POLE, 0},
                           {near_max, -near_max, 0, 0},
                           {-top, 3, 0, 0},
                           {top / 2, -top / 2, 0, 0},
                           {sub, -sub / 4, 0, 0},
                           {-0.0, -0.0, ZAR_ST_POLE, 0},
                           {inf, 1, 0, 0},
                           {2, nan, 0, 0},
                           {-inf, nan, 0, 0},
                           {-3, -inf, 0, 0},
                           {big, -big, 0, ZAR_ST_RESULT_TOO_LARGE},
                           {4, tiny, 0, 0},
                           {-tiny, -4 * tiny, 0, 0}};
  constexpr int n = 37;
  for (const char* f : {"Abs", "Arg", "Ln", "Sqrt"}) {
    const catalog::Entry& e = entry((std::string(1, t) + f).c_str());
    const bool real_out = std::string(f) == "Abs" || std::string(f) == "Arg";
    for (int slot : acc::distinct_slots(e)) {
      const double rel = slot == 2 ? (sizeof(R) == 4 ? 0x1p-11 : 0x1p-26) : (sizeof(R) == 4 ? 0x1p-21 : 0x1p-50);
      for (const Placed& s : placed)
        for (int at = 0; at < n; ++at) {
          std::vector<Input> in(n);
          for (int i = 0; i < n; ++i) in[i][0] = double(R(0.75 + i / 8.0)), in[i][1] = double(R(-0.5 + i / 16.0));
          in[at][0] = double(R(s.x)), in[at][1] = double(R(s.y));
          std::vector<double> out(2 * n);
          nrx::test::reports().clear();
          EXPECT_EQ(acc::call_kernel(e, e.ttab[slot], in.data(), n, out.data()), 0u);
          const int code = std::string(f) == "Ln" ? s.ln_code : std::string(f) == "Abs" ? s.abs_code : 0;
          const auto& rep = nrx::test::reports();
          EXPECT_EQ(rep.size(), code ? 1u : 0u) << e.names[slot] << " at " << at << " (" << s.x << ", " << s.y << ")";
          if (code && rep.size() == 1) EXPECT_TRUE(rep[0].code == code && rep[0].index == at) << e.names[slot];
          for (int i = 0; i < n; ++i) {
            const std::vector<double> want = c_library<R>(f, R(in[i][0]), R(in[i][1]), 0, 0);
            const bool free = !std::isfinite(in[i][0]) && !std::isfinite(in[i][1]);
            for (int p = 0; p < (real_out ? 1 : 2); ++p)
              EXPECT_TRUE(agrees(out[2 * i + p], want[p], free, rel))
                  << e.names[slot] << " element " << i << " of a call with (" << s.x << ", " << s.y << ") at " << at
                  << ", part " << p << ": " << out[2 * i + p] << ", the C library gives " << want[p];
          }
        }
    }
  }
}

TEST_F(Codes, SpecialElementsInEitherRegisterOfAPair) {
  specials_at_every_position<float>('c');
  specials_at_every_position<double>('z');
}

// Every length around the register width: exactly n results, nothing past them, strided
// tables equal to unit-stride ones (the real sides of Abs, Arg and CIS fill half a register).
TEST(ComplexVector, TailsAndStridesOfTheRealSide) {
  for (int n = 0; n <= 21; ++n) {
    std::vector<NrxComplex16> z(3 * 24);
    std::vector<double> x(3 * 24);
    for (int i = 0; i < 3 * 24; ++i) z[i] = {0.5 + i, 1.0 - i}, x[i] = 0.25 * i;
    std::vector<double> abs(24, -7), abs3(3 * 24, -7);
    std::vector<NrxComplex16> cis(24, NrxComplex16{-7, -7}), cis2(2 * 24, NrxComplex16{-7, -7});
    std::vector<NrxComplex16> zg(24);
    std::vector<double> xg(24), absg(24);
    std::vector<NrxComplex16> cisg(24);
    for (int i = 0; i < 24; ++i) zg[i] = z[3 * i], xg[i] = x[3 * i];
    zarzAbs(n, z.data(), abs.data());
    zarzAbs(n, zg.data(), absg.data());
    zarzAbsI(n, z.data(), 3, abs3.data(), 3);
    zarzCIS(n, x.data(), cis.data());
    zarzCIS(n, xg.data(), cisg.data());
    zarzCISI(n, x.data(), 3, cis2.data(), 2);
    for (int i = 0; i < 24; ++i) {
      if (i < n) {
        EXPECT_NEAR(abs[i], std::hypot(z[i].real, z[i].imag), 1e-15 * abs[i]) << n << " " << i;
        EXPECT_NEAR(cis[i].real, std::cos(x[i]), 1e-15) << n << " " << i;
        EXPECT_NEAR(cis[i].imag, std::sin(x[i]), 1e-15) << n << " " << i;
      } else {
        EXPECT_EQ(abs[i], -7);
        EXPECT_EQ(cis[i].real, -7);
      }
      EXPECT_EQ(abs3[3 * i], i < n ? absg[i] : -7) << n << " " << i;
      EXPECT_EQ(abs3[3 * i + 1], -7);
      EXPECT_EQ(cis2[2 * i].real, i < n ? cisg[i].real : -7) << n << " " << i;
      EXPECT_EQ(cis2[2 * i].imag, i < n ? cisg[i].imag : -7) << n << " " << i;
      EXPECT_EQ(cis2[2 * i + 1].imag, -7);
    }
  }
}

}  // namespace
