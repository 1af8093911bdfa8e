// The reference computations against known values, round trips of the inverses, and the
// catalogue's coverage.
#include <gtest/gtest.h>
#include <mpfr.h>

#include <cfloat>
#include <cmath>
#include <vector>

#include "tools/accuracy/accuracy.h"
#include "tools/accuracy/mp.h"
#include "tools/accuracy/oracle.h"

namespace nrx::accuracy {
namespace {

struct Ref {
  double v[2];
};

Ref evaluate(const char* key, std::vector<double> args, Format f = kDouble) {
  const Oracle* o = find_oracle(key);
  EXPECT_NE(o, nullptr) << key;
  if (!o) return {{NAN, NAN}};
  double in[kInputs] = {};
  for (size_t i = 0; i < args.size() && i < kInputs; ++i) in[i] = args[i];
  const EvalCtx ctx{f, mpfr_prec_t(4 * f.p + 32)};
  Mp a(ctx.wp), b(ctx.wp);
  mpfr_ptr out[2] = {a, b};
  o->eval(out, in, ctx);
  return {{rounded(a, f), rounded(b, f)}};
}

// Inputs use the layout of oracle.h: a, (a imaginary), b, (b imaginary), LinearFrac scalars.
struct Known {
  const char* key;
  std::vector<double> in;
  double want;
};

const Known kKnown[] = {
    {"erfinv", {0.5}, 0.47693627620446987338},
    {"erfcinv", {0.5}, 0.47693627620446987338},
    {"cdfnorminv", {0.25}, -0.67448975019608174320},
    {"cdfnorm", {-1.0}, 0.15865525393145705141},
    {"eint1", {1.0}, 0.21938393439552027368},
    {"lgamma", {0.5}, 0.57236494292470008707},
    {"tgamma", {5.0}, 24.0},
    {"logb", {0x1p-1074}, -1074.0},
    {"logb", {-3.5}, 1.0},
    {"logb", {-0.0}, -INFINITY},
    {"pow2o3", {-8.0}, 4.0},
    {"rec_cbrt", {-8.0}, -0.5},
    {"pow3o2", {4.0}, 8.0},
    {"pow3o2", {-0.0}, 0.0},
    {"pow3o2", {-1.0}, NAN},
    {"pow3o2", {-INFINITY}, NAN},
    {"rec_sqrt", {-0.0}, -INFINITY},
    {"rec_sqrt", {4.0}, 0.5},
    {"sind", {30.0}, 0.5},
    {"cosd", {60.0}, 0.5},
    {"tand", {45.0}, 1.0},
    {"sinpi", {0.5}, 1.0},
    {"cospi", {0.5}, 0.0},
    {"tanpi", {0.25}, 1.0},
    {"asinpi", {1.0}, 0.5},
    {"acospi", {-1.0}, 1.0},
    {"atanpi", {INFINITY}, 0.5},
    {"atan2pi", {1.0, 0, 1.0}, 0.25},
    {"atan2", {1.0, 0, -INFINITY}, 3.14159265358979323846},
    {"eint1", {-1.0}, NAN},
    {"eint1", {0.0}, INFINITY},
    {"eint1", {INFINITY}, 0.0},
    {"erfinv", {1.0}, INFINITY},
    {"erfinv", {-0.0}, -0.0},
    {"erfcinv", {2.0}, -INFINITY},
    {"erfcinv", {0.0}, INFINITY},
    {"erfcinv", {1.0}, 0.0},
    {"cdfnorminv", {0.0}, -INFINITY},
    {"cdfnorminv", {0.5}, 0.0},
    {"cdfnorminv", {1.5}, NAN},
    {"pow", {-8.0, 0, 1.0 / 3}, NAN},
    {"pow", {NAN, 0, 0.0}, 1.0},
    {"powr", {0.0, 0, 0.0}, NAN},
    {"powr", {-1.0, 0, 2.0}, NAN},
    {"powr", {1.0, 0, NAN}, NAN},
    {"powr", {-0.0, 0, 1.0}, 0.0},
    {"inv", {-0.0}, -INFINITY},
    // Correctly rounded functions.
    {"frac", {-3.0}, -0.0},
    {"frac", {-2.5}, -0.5},
    {"frac", {INFINITY}, 0.0},
    {"round", {-2.5}, -3.0},
    {"round", {2.5}, 3.0},
    {"rint", {2.5}, 2.0},
    {"nextafter", {1.0, 0, 2.0}, 1 + 0x1p-52},
    {"nextafter", {0.0, 0, -0.0}, 0.0},
    {"remainder", {5.0, 0, 3.0}, -1.0},
    {"fmod", {-5.0, 0, 3.0}, -2.0},
    {"fdim", {1.0, 0, 3.0}, 0.0},
    {"maxmag", {-3.0, 0, 2.0}, -3.0},
    {"minmag", {-3.0, 0, 2.0}, 2.0},
    {"maxmag", {-2.0, 0, 2.0}, 2.0},
    {"minmag", {-2.0, 0, 2.0}, -2.0},
    {"fmax", {NAN, 0, 1.0}, 1.0},
    {"fmin", {0.0, 0, -0.0}, -0.0},
    {"copysign", {1.0, 0, -0.0}, -1.0},
    {"linearfrac", {1.0, 0, 2.0, 0, 2.0, 1.0, 3.0, -1.0}, 0.6},
    {"sqr", {3.0}, 9.0},
    {"fabs", {-0.0}, 0.0},
};

TEST(Oracle, KnownValues) {
  for (const Known& k : kKnown) {
    const double got = evaluate(k.key, k.in).v[0];
    if (std::isnan(k.want)) {
      EXPECT_TRUE(std::isnan(got)) << k.key << "(" << k.in[0] << ") = " << got;
    } else {
      EXPECT_EQ(got, k.want) << k.key << "(" << k.in[0] << ")";
      EXPECT_EQ(std::signbit(got), std::signbit(k.want)) << k.key << "(" << k.in[0] << ") sign";
    }
  }
}

TEST(Oracle, SingleFormatArithmeticRoundsOnceInSingle) {
  // (1 + 2^-23)^2 = 1 + 2^-22 + 2^-46 rounds to 1 + 2^-22 in single precision.
  EXPECT_EQ(evaluate("sqr", {1 + 0x1p-23}, kSingle).v[0], 1 + 0x1p-22);
  // a*b+c and a/b in single: 1/3 rounded to single is not the double 1/3.
  EXPECT_EQ(evaluate("linearfrac", {1.0, 0, 3.0, 0, 1.0, 0.0, 1.0, 0.0}, kSingle).v[0], double(1.0f / 3.0f));
}

TEST(Oracle, TwoResults) {
  const Ref m = evaluate("modf", {-3.5});
  EXPECT_EQ(m.v[0], -3.0);
  EXPECT_EQ(m.v[1], -0.5);
  const Ref sc = evaluate("sincos", {0.5});
  EXPECT_EQ(sc.v[0], std::sin(0.5));
  EXPECT_EQ(sc.v[1], std::cos(0.5));
}

struct KnownComplex {
  const char* key;
  std::vector<double> in;
  double re, im;
};

// Tiny imaginary parts test that the closed forms keep their relative precision where the
// inverse functions cancel.
const KnownComplex kComplex[] = {
    {"zlog", {3, 4}, 1.6094379124341003746, 0.92729521800161223243},
    {"zsqrt", {3, 4}, 2, 1},
    {"zsqrt", {-4, 1e-300}, 2.5e-301, 2},
    {"zexp", {1, 1}, 1.4686939399158851571, 2.2873552871788423912},
    {"zpow", {3, 4, 2, 0}, -7, 24},
    {"zasin", {0.5, 1e-300}, 0.52359877559829887308, 1.1547005383792515290e-300},
    {"zacos", {0.5, 1e-300}, 1.0471975511965977462, -1.1547005383792515290e-300},
    {"zatanh", {0.5, 1e-300}, 0.54930614433405484570, 1.3333333333333333333e-300},
    {"zacosh", {2, 1e-300}, 1.3169578969248167086, 5.7735026918962576451e-301},
    {"zasinh", {1e-300, 0.5}, 1.1547005383792515290e-300, 0.52359877559829887308},
    {"zatan", {1e-300, 0.5}, 1.3333333333333333333e-300, 0.54930614433405484570},
    {"ztan", {0.5, 1e-300}, 0.54630248984379051326, 1.2984464104095248e-300},
    {"ztanh", {1e-300, 0.5}, 1.2984464104095248e-300, 0.54630248984379051326},
    {"zdiv", {1, 2, 3, 4}, 0.44, 0.08},
    {"zmulbyconj", {1, 2, 3, 4}, 11, 2},
    {"cis", {0.5}, 0.87758256189037271612, 0.47942553860420300027},
    // One argument with parts of unequal size and sign (values from mpmath at 30 digits):
    // a swapped part, a lost sign or a circular function for a hyperbolic one shows.
    {"zsin", {0.75, -1.25}, 1.2872229100264918858, -1.172106359892702561},
    {"zcos", {0.75, -1.25}, 1.3817387306342588853, 1.0919301355539746617},
    {"zsinh", {0.75, -1.25}, 0.25929485455116277915, -1.2286345240950955222},
    {"zcosh", {0.75, -1.25}, 0.40824259187796880779, -0.78036593084585324039},
    {"zlog10", {0.75, -1.25}, 0.16367946719316517145, -0.44748697004049306707},
    {"zexp", {0.75, -1.25}, 0.66753744642913158694, -2.0090004549409487626},
    {"zpow", {0.75, -1.25, 0.5, 2}, 9.211580167028385042, 2.2404016149568000188},
    {"zmul", {0.75, -1.25, -2, 0.5}, -0.875, 2.875},
};

TEST(Oracle, ComplexClosedForms) {
  for (const KnownComplex& k : kComplex) {
    const Ref r = evaluate(k.key, k.in);
    EXPECT_NEAR(r.v[0], k.re, std::fabs(k.re) * 1e-15) << k.key;
    EXPECT_NEAR(r.v[1], k.im, std::fabs(k.im) * 1e-15) << k.key;
  }
}

TEST(Oracle, ComplexSpecialArgumentsFollowAnnexG) {
  // exp(-Inf + i y) is +-0; log(0) is -Inf + i 0; a division by zero is infinite.
  const Ref e = evaluate("zexp", {-INFINITY, 1.0});
  EXPECT_EQ(e.v[0], 0.0);
  const Ref l = evaluate("zlog", {0.0, 0.0});
  EXPECT_EQ(l.v[0], -INFINITY);
  EXPECT_EQ(l.v[1], 0.0);
  const Ref d = evaluate("zdiv", {1.0, 1.0, 0.0, 0.0});
  EXPECT_TRUE(std::isinf(d.v[0]) || std::isinf(d.v[1]));
}

// Inverses: f(reference(x)) must give x back to far more than double precision.
struct RoundTrip {
  const char* key;
  double x;
};
const RoundTrip kTrips[] = {
    {"erfinv", 1e-300},     {"erfinv", 1e-10},        {"erfinv", 0.3},
    {"erfinv", -0.75},      {"erfinv", 0.999},        {"erfinv", 1 - 0x1p-53},
    {"erfcinv", 0x1p-1074}, {"erfcinv", 1e-300},      {"erfcinv", 1e-10},
    {"erfcinv", 0.3},       {"erfcinv", 0.7},         {"erfcinv", 1.3},
    {"erfcinv", 1.999},     {"erfcinv", 2 - 0x1p-52}, {"cdfnorminv", 1e-300},
    {"cdfnorminv", 0.025},  {"cdfnorminv", 0.9},      {"cdfnorminv", 1 - 0x1p-53},
};

TEST(Oracle, InverseRoundTrips) {
  for (const RoundTrip& t : kTrips) {
    const Oracle* o = find_oracle(t.key);
    ASSERT_NE(o, nullptr);
    const EvalCtx ctx{kDouble, 244};
    Mp y(ctx.wp), back(400), s(400);
    mpfr_ptr out[2] = {y, y};
    double in[kInputs] = {t.x};
    o->eval(out, in, ctx);
    const std::string k = t.key;
    if (k == "erfinv") {
      mpfr_erf(back, y, MPFR_RNDN);
    } else if (k == "erfcinv") {
      mpfr_erfc(back, y, MPFR_RNDN);
    } else {  // Phi(y) = erfc(-y / sqrt 2) / 2
      mpfr_sqrt_ui(s, 2, MPFR_RNDN);
      mpfr_div(s, y, s, MPFR_RNDN);
      mpfr_neg(s, s, MPFR_RNDN);
      mpfr_erfc(back, s, MPFR_RNDN);
      mpfr_div_2ui(back, back, 1, MPFR_RNDN);
    }
    Mp x(400, t.x);
    mpfr_sub(back, back, x, MPFR_RNDN);
    mpfr_div(back, back, x, MPFR_RNDN);
    EXPECT_LT(std::fabs(mpfr_get_d(back, MPFR_RNDN)), 0x1p-200) << t.key << "(" << t.x << ")";
  }
}

// Every element-wise table of the catalogue has a reference; a function added to the list
// without one shows up here.
TEST(Oracle, EveryCatalogueFunctionHasAReference) {
  using catalog::Shape;
  for (size_t i = 0; i < catalog::count; ++i) {
    const catalog::Entry& e = catalog::entries[i];
    const bool elementwise = e.shape == Shape::v1 || e.shape == Shape::v2 || e.shape == Shape::vs ||
                             e.shape == Shape::v1r2 || e.shape == Shape::lf || e.shape == Shape::c2r ||
                             e.shape == Shape::r2c;
    if (elementwise) {
      EXPECT_NE(find_oracle(e), nullptr) << table_name(e) << " (key " << oracle_key(e) << ")";
    }
  }
}

}  // namespace
}  // namespace nrx::accuracy
