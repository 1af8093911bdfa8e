// Spline kinds reproduce the polynomials they must (table-driven over kinds,
// conditions, partitions and both precisions), plus the documented edge cases
// of construction.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "nrx/fit.h"

namespace {

using Kernel = int32_t (*)(DfTask*, int64_t, int64_t, const nrx_threading*);

template <class T> struct K;
template <> struct K<double> {
  static constexpr auto linear = nrx_df_kernel_dDFLinearSpline1D, quadratic = nrx_df_kernel_dDFQuadraticSpline1D,
                        natural = nrx_df_kernel_dDFNaturalCubicSpline1D, deflt = nrx_df_kernel_dDFDefaultCubicSpline1D,
                        hermite = nrx_df_kernel_dDFHermiteCubicSpline1D, bessel = nrx_df_kernel_dDFBesselCubicSpline1D,
                        akima = nrx_df_kernel_dDFAkimaCubicSpline1D, hyman = nrx_df_kernel_dDFHymanCubicSpline1D;
  static constexpr auto create = nrx_df_kernel_dNewTask1D;
  static constexpr auto edit = nrx_df_kernel_dEditPPSpline1D;
  static constexpr auto interp = nrx_df_kernel_dDFInterpolate1D;
  static constexpr double tol = 1e-9;
};
template <> struct K<float> {
  static constexpr auto linear = nrx_df_kernel_sDFLinearSpline1D, quadratic = nrx_df_kernel_sDFQuadraticSpline1D,
                        natural = nrx_df_kernel_sDFNaturalCubicSpline1D, deflt = nrx_df_kernel_sDFDefaultCubicSpline1D,
                        hermite = nrx_df_kernel_sDFHermiteCubicSpline1D, bessel = nrx_df_kernel_sDFBesselCubicSpline1D,
                        akima = nrx_df_kernel_sDFAkimaCubicSpline1D, hyman = nrx_df_kernel_sDFHymanCubicSpline1D;
  static constexpr auto create = nrx_df_kernel_sNewTask1D;
  static constexpr auto edit = nrx_df_kernel_sEditPPSpline1D;
  static constexpr auto interp = nrx_df_kernel_sDFInterpolate1D;
  static constexpr double tol = 2e-3;
};

// p(t) = 1 + t/2 - t^2/4 + t^3/8 truncated to `degree`, and its derivatives.
double poly(int degree, int q, double t) {
  const double a[4] = {1, 0.5, -0.25, 0.125};
  double s = 0;
  for (int j = q; j <= degree; ++j) {
    double f = 1;
    for (int i = 0; i < q; ++i) f *= j - i;
    s += a[j] * f * std::pow(t, j - q);
  }
  return s;
}

enum class Ic { None, Derivs, Knots, GivenKnots };

struct Case {
  const char* name;
  int which;  // index into the kernel list below
  int64_t order, type, bc_type;
  Ic ic;
  int degree;  // highest degree reproduced
};

// Kernel indices: 0 linear, 1 quadratic, 2 natural, 3 default, 4 hermite, 5 bessel, 6 akima, 7 hyman.
const Case kCases[] = {
    {"linear", 0, 2, 0, 0, Ic::None, 1},
    {"quadratic midpoint", 1, 3, 0, 128, Ic::None, 2},
    {"quadratic knots 1st", 1, 3, 1, 12, Ic::Knots, 2},
    {"quadratic knots 2nd", 1, 3, 1, 48, Ic::Knots, 2},
    {"quadratic knots 1st-2nd", 1, 3, 1, 36, Ic::Knots, 2},
    {"quadratic given knots 2nd-1st", 1, 3, 1, 24, Ic::GivenKnots, 2},
    {"natural free", 2, 4, 2, 2, Ic::None, 1},
    {"natural not-a-knot", 2, 4, 2, 1, Ic::None, 3},
    {"natural 1st", 2, 4, 2, 12, Ic::None, 3},
    {"natural 1st-2nd", 2, 4, 2, 36, Ic::None, 3},
    {"natural 2nd-1st", 2, 4, 2, 24, Ic::None, 3},
    {"natural 2nd", 2, 4, 2, 48, Ic::None, 3},
    {"default free", 3, 4, 0, 2, Ic::None, 1},
    {"default not-a-knot", 3, 4, 0, 1, Ic::None, 3},
    {"default 1st", 3, 4, 0, 12, Ic::None, 3},
    {"default 1st-2nd", 3, 4, 0, 36, Ic::None, 3},
    {"default 2nd", 3, 4, 0, 48, Ic::None, 3},
    {"hermite 1st", 4, 4, 3, 12, Ic::Derivs, 3},
    {"hermite 2nd", 4, 4, 3, 48, Ic::Derivs, 3},
    {"hermite not-a-knot", 4, 4, 3, 1, Ic::Derivs, 3},
    {"hermite free", 4, 4, 3, 2, Ic::Derivs, 1},
    {"bessel 1st", 5, 4, 4, 12, Ic::None, 2},
    {"bessel 2nd", 5, 4, 4, 48, Ic::None, 2},
    {"bessel not-a-knot", 5, 4, 4, 1, Ic::None, 2},
    {"akima", 6, 4, 5, 0, Ic::None, 1},
    {"akima 1st", 6, 4, 5, 12, Ic::None, 1},
    {"hyman 1st", 7, 4, 9, 12, Ic::None, 1},
};

template <class T> void check_case(const Case& c, bool uniform, int64_t nx, const nrx_threading* th) {
  const Kernel kernels[] = {K<T>::linear,  K<T>::quadratic, K<T>::natural, K<T>::deflt,
                            K<T>::hermite, K<T>::bessel,    K<T>::akima,   K<T>::hyman};
  std::mt19937 gen(int(nx) * 7 + int(uniform));
  std::uniform_real_distribution<double> jitter(-0.35, 0.35);
  std::vector<double> xd(nx);
  for (int64_t i = 0; i < nx; ++i) xd[i] = -2.0 + 5.0 * double(i) / double(nx - 1);
  if (!uniform)
    for (int64_t i = 1; i + 1 < nx; ++i) xd[i] += jitter(gen) * 5.0 / double(nx - 1);
  std::vector<T> x(xd.begin(), xd.end()), y(nx), ic, bc(2);
  for (int64_t i = 0; i < nx; ++i) y[i] = T(poly(c.degree, 0, double(x[i])));
  const int D = c.degree;
  if (c.ic == Ic::Derivs)
    for (int64_t i = 1; i + 1 < nx; ++i) ic.push_back(T(poly(D, 1, double(x[i]))));
  if (c.ic == Ic::GivenKnots)
    for (int64_t i = 0; i + 1 < nx; ++i) ic.push_back(T((2 * double(x[i]) + double(x[i + 1])) / 3));
  if (c.ic == Ic::Knots) ic.push_back(T(0));  // the type needs an array; midpoints do not read it
  const int64_t ic_type = c.ic == Ic::None ? 0 : c.ic == Ic::Derivs ? 1 : c.ic == Ic::Knots ? 8 : 12;
  const double xl = double(x[0]), xr = double(x[nx - 1]);
  if (c.bc_type == 128) bc[0] = T(poly(D, 0, (xl + double(x[1])) / 2));
  if (c.bc_type & 4) bc[0] = T(poly(D, 1, xl));
  if (c.bc_type & 16) bc[0] = T(poly(D, 2, xl));
  if (c.bc_type & 8) bc[1] = T(poly(D, 1, xr));
  if (c.bc_type & 32) bc[1] = T(poly(D, 2, xr));
  std::vector<T> coeff(size_t(c.order * nx), T(-99));
  T ends[2] = {x[0], x[nx - 1]};
  DfTask* t = nullptr;
  ASSERT_EQ(K<T>::create(&t, nx, uniform ? ends : x.data(), uniform ? 4 : 1, 1, y.data(), 0, 0), 0);
  ASSERT_EQ(
      K<T>::edit(t, c.order, c.type, c.bc_type, bc.data(), ic_type, ic.empty() ? nullptr : ic.data(), coeff.data(), 0),
      0);
  ASSERT_EQ(kernels[c.which](t, 0, 0, th), 0) << c.name;
  std::vector<T> s;
  // Sites across the partition and a few steps beyond either end (extended end pieces).
  const double hx = 5.0 / double(nx - 1), lo = -2.0 - 4 * hx, span = 5.0 + 8 * hx;
  for (int i = 0; i < 97; ++i) s.push_back(T(lo + span * i / 96.0));
  for (int64_t i = 0; i < nx; ++i) s.push_back(x[i]);
  const int32_t dorder[4] = {1, 1, 1, 1};
  const int64_t nres = std::min<int64_t>(4, c.order);
  std::vector<T> r(s.size() * 4);
  ASSERT_EQ(K<T>::interp(t, 1, 0, int64_t(s.size()), s.data(), 0, nres, dorder, nullptr, r.data(), 16, nullptr, nullptr,
                         nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, th),
            0);
  for (size_t i = 0; i < s.size(); ++i)
    for (int q = 0; q < nres; ++q) {
      const double want = poly(D, q, double(s[i]));
      // Rounding in a derivative of order q grows like eps / h^q (q = 2: the quadratic recurrence also
      // accumulates along the partition).
      const double h = 5.0 / double(nx - 1), eps = std::numeric_limits<T>::epsilon();
      const double grow = q == 0 ? 0.0 : eps * 1e3 * std::pow(h, -q) * (c.order == 3 ? double(nx) : 1.0);
      EXPECT_NEAR(double(r[i * nres + q]), want, K<T>::tol * 10 * (1 + std::fabs(want)) * (q + 1) + grow)
          << c.name << " uniform=" << uniform << " nx=" << nx << " site=" << s[i] << " q=" << q;
    }
  nrx_df_kernel_DeleteTask(&t);
}

TEST(fitSplineExactness, EveryKindReproducesItsPolynomials) {
  for (const Case& c : kCases)
    for (bool uniform : {false, true})
      for (int64_t nx : {7, 40, 3000}) {
        const nrx_threading* th = nx == 3000 ? &nrx_threading_openmp : &nrx_threading_serial;
        check_case<double>(c, uniform, nx, th);
        if (nx < 3000) check_case<float>(c, uniform, nx, th);
      }
}

// ---- Construction edge cases -------------------------------------------------

struct Small {
  std::vector<double> x, y, c;
  DfTask* t = nullptr;
  Small(std::vector<double> xs, std::vector<double> ys, int64_t order, int64_t type, int64_t bc_type,
        const double* bc = nullptr, int64_t ny = 1)
      : x(std::move(xs)), y(std::move(ys)), c(size_t(order * x.size() * ny + 8), -99.0) {
    nrx_df_kernel_dNewTask1D(&t, int64_t(x.size()), x.data(), 1, ny, y.data(), 0, 0);
    nrx_df_kernel_dEditPPSpline1D(t, order, type, bc_type, bc, 0, nullptr, c.data(), 0);
  }
  ~Small() { nrx_df_kernel_DeleteTask(&t); }
};

TEST(fitConstruct, StatusCodes) {
  const double bc[2] = {0, 0};
  std::vector<double> x4{0, 1, 2, 3}, x5{0, 1, 2, 3, 4};
  struct Expect {
    const char* what;
    int32_t want;
    int32_t got;
  };
  Small akima4(x4, x4, 4, 5, 0), akima5(x5, x5, 4, 5, 0), herm(x5, x5, 4, 3, 0), nat(x4, x4, 4, 2, 2);
  Small nak2({0, 1}, {0, 1}, 4, 2, 1), bad_bc(x5, x5, 4, 2, 7), per(x5, {0, 1, 2, 1, 0.5}, 2, 0, 64);
  Small quad_type(x5, x5, 3, 3, 128, bc), quad_bc(x5, x5, 3, 0, 2), quad_ic(x5, x5, 3, 1, 12, bc);
  Small bessel3({0, 1, 2}, {0, 1, 2}, 4, 4, 2);
  const std::vector<double> yp{0, 1, 2, 1, 0};
  Small per_default(x5, yp, 4, 0, 64), per_hermite(x5, yp, 4, 3, 64), per_natural(x5, yp, 4, 2, 64);
  Small per_bessel(x5, yp, 4, 4, 64);
  nrx_df_kernel_iEditVal(per_hermite.t, DFK_ITEM_IC_TYPE, 1);
  per_hermite.t->ic = yp.data();
  nrx_df_kernel_iEditVal(nat.t, DFK_ITEM_BC_TYPE, 12);  // boundary values needed but none given
  Expect cases[] = {
      {"akima nx=4", DFK_ERR_NX, nrx_df_kernel_dDFAkimaCubicSpline1D(akima4.t, 0, 0, &nrx_threading_serial)},
      {"akima nx=5", DFK_OK, nrx_df_kernel_dDFAkimaCubicSpline1D(akima5.t, 0, 0, &nrx_threading_serial)},
      {"hermite bc 0", DFK_ERR_BC_TYPE, nrx_df_kernel_dDFHermiteCubicSpline1D(herm.t, 0, 0, &nrx_threading_serial)},
      {"bc 12 no array", DFK_ERR_BC, nrx_df_kernel_dDFNaturalCubicSpline1D(nat.t, 0, 0, &nrx_threading_serial)},
      {"natural method", DFK_ERR_METHOD, nrx_df_kernel_dDFNaturalCubicSpline1D(nat.t, 0, 1, &nrx_threading_serial)},
      {"linear method", DFK_ERR_METHOD, nrx_df_kernel_dDFLinearSpline1D(per.t, 0, 1, &nrx_threading_serial)},
      {"natural nak nx=2", DFK_ERR_NX, nrx_df_kernel_dDFNaturalCubicSpline1D(nak2.t, 0, 0, &nrx_threading_serial)},
      {"default nx=2", DFK_ERR_NX, nrx_df_kernel_dDFDefaultCubicSpline1D(nak2.t, 0, 0, &nrx_threading_serial)},
      {"bc type 7", DFK_ERR_BC_TYPE, nrx_df_kernel_dDFDefaultCubicSpline1D(bad_bc.t, 0, 0, &nrx_threading_serial)},
      {"bessel nx=3", DFK_ERR_NX, nrx_df_kernel_dDFBesselCubicSpline1D(bessel3.t, 0, 0, &nrx_threading_serial)},
      {"quadratic type 3", DFK_ERR_METHOD, nrx_df_kernel_dDFQuadraticSpline1D(quad_type.t, 0, 0, nullptr)},
      {"quadratic bc", DFK_ERR_BC_TYPE, nrx_df_kernel_dDFQuadraticSpline1D(quad_bc.t, 0, 0, nullptr)},
      {"quadratic ic", DFK_ERR_IC_TYPE, nrx_df_kernel_dDFQuadraticSpline1D(quad_ic.t, 0, 0, nullptr)},
      // Periodic: the default (0) and Hermite (3) types take a boundary array, the others none.
      {"default periodic no array", DFK_ERR_BC,
       nrx_df_kernel_dDFDefaultCubicSpline1D(per_default.t, 0, 0, &nrx_threading_serial)},
      {"hermite periodic no array", DFK_ERR_BC,
       nrx_df_kernel_dDFHermiteCubicSpline1D(per_hermite.t, 0, 0, &nrx_threading_serial)},
      {"natural periodic no array", DFK_OK,
       nrx_df_kernel_dDFNaturalCubicSpline1D(per_natural.t, 0, 0, &nrx_threading_serial)},
      {"bessel periodic no array", DFK_OK,
       nrx_df_kernel_dDFBesselCubicSpline1D(per_bessel.t, 0, 0, &nrx_threading_serial)},
  };
  for (const auto& e : cases) EXPECT_EQ(e.got, e.want) << e.what;
  nrx_df_kernel_iEditVal(akima5.t, DFK_ITEM_YHINT, 0);
  akima5.t->yhint = 8;  // a y hint no kernel serves
  EXPECT_EQ(nrx_df_kernel_dDFAkimaCubicSpline1D(akima5.t, 0, 0, nullptr), DFK_ERR_YHINT);
}

TEST(fitConstruct, PeriodicMismatchWritesNothing) {
  std::vector<double> x{0, 1, 2, 3, 4, 5};
  // Function 0 is periodic, function 1 is not: the whole construction is refused.
  std::vector<double> y{1, 2, 3, 2, 0, 1, 1, 2, 3, 2, 0, 1.5};
  const double bc[2] = {0.5, 0.5};
  for (auto [order, type, kernel] :
       std::vector<std::tuple<int64_t, int64_t, Kernel>>{{2, 0, nrx_df_kernel_dDFLinearSpline1D},
                                                         {4, 2, nrx_df_kernel_dDFNaturalCubicSpline1D},
                                                         {4, 0, nrx_df_kernel_dDFDefaultCubicSpline1D},
                                                         {4, 4, nrx_df_kernel_dDFBesselCubicSpline1D},
                                                         {4, 5, nrx_df_kernel_dDFAkimaCubicSpline1D},
                                                         {4, 9, nrx_df_kernel_dDFHymanCubicSpline1D}}) {
    Small s(x, y, order, type, 64, bc, 2);
    EXPECT_EQ(kernel(s.t, 0, 0, &nrx_threading_serial), DFK_ERR_PERIODIC) << type;
    for (double v : s.c) EXPECT_EQ(v, -99.0);
  }
}

TEST(fitConstruct, TwoBreakpointNaturalIsTheLine) {
  Small s({1, 3}, {2, 6}, 4, 2, 2);
  ASSERT_EQ(nrx_df_kernel_dDFNaturalCubicSpline1D(s.t, 0, 0, &nrx_threading_serial), 0);
  EXPECT_DOUBLE_EQ(s.c[0], 2);
  EXPECT_DOUBLE_EQ(s.c[1], 2);
  EXPECT_DOUBLE_EQ(s.c[2], 0);
  EXPECT_DOUBLE_EQ(s.c[3], 0);
}

TEST(fitConstruct, AkimaFallbackOnEqualSlopes) {
  // Slopes 1, 1, 1, 1 around breakpoint 2: the weights vanish and the average is taken.
  Small s({0, 1, 2, 3, 4, 5}, {0, 1, 2, 3, 4, 6}, 4, 5, 0);
  ASSERT_EQ(nrx_df_kernel_dDFAkimaCubicSpline1D(s.t, 0, 0, &nrx_threading_serial), 0);
  EXPECT_DOUBLE_EQ(s.c[2 * 4 + 1], 1.0);
}

TEST(fitConstruct, HymanKeepsMonotoneDataMonotone) {
  std::vector<double> x{0, 1, 2, 3, 4, 5, 6, 7}, y{0, 0, 0.1, 5, 5.1, 5.1, 9, 9};
  Small s(x, y, 4, 9, 2);
  ASSERT_EQ(nrx_df_kernel_dDFHymanCubicSpline1D(s.t, 0, 0, &nrx_threading_serial), 0);
  std::vector<double> sites, r(700);
  for (int i = 0; i < 700; ++i) sites.push_back(7.0 * i / 699.0);
  ASSERT_EQ(nrx_df_kernel_dDFInterpolate1D(s.t, 1, 0, 700, sites.data(), 64, 0, nullptr, nullptr, r.data(), 0, nullptr,
                                           nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                           &nrx_threading_serial),
            0);
  for (int i = 1; i < 700; ++i) EXPECT_GE(r[i], r[i - 1] - 1e-12) << sites[i];
}

}  // namespace

namespace {

// Periodic local kinds: one period of sin sampled on a jittered grid; the
// spline's slope must agree across the wrap and follow the function closely.
TEST(fitConstruct, PeriodicLocalKindsWrapSmoothly) {
  const int64_t nx = 41;
  std::vector<double> x(nx), y(nx);
  for (int64_t i = 0; i < nx; ++i) x[i] = double(i) / double(nx - 1) + (i % 3 == 1 && i < nx - 1 ? 0.004 : 0.0);
  for (int64_t i = 0; i < nx; ++i) y[i] = std::sin(2 * M_PI * x[i]);
  y[nx - 1] = y[0];
  const double slope = 2 * M_PI;  // Hermite is given the exact end derivative
  std::vector<double> ic;
  for (int64_t i = 1; i + 1 < nx; ++i) ic.push_back(2 * M_PI * std::cos(2 * M_PI * x[i]));
  const double bc[2] = {slope, slope};
  for (auto [type, kernel] : std::vector<std::pair<int64_t, Kernel>>{{3, nrx_df_kernel_dDFHermiteCubicSpline1D},
                                                                     {4, nrx_df_kernel_dDFBesselCubicSpline1D},
                                                                     {5, nrx_df_kernel_dDFAkimaCubicSpline1D},
                                                                     {9, nrx_df_kernel_dDFHymanCubicSpline1D}}) {
    std::vector<double> c(4 * nx);
    DfTask* t = nullptr;
    ASSERT_EQ(nrx_df_kernel_dNewTask1D(&t, nx, x.data(), 1, 1, y.data(), 0, 0), 0);
    ASSERT_EQ(nrx_df_kernel_dEditPPSpline1D(t, 4, type, 64, bc, type == 3 ? 1 : 0, type == 3 ? ic.data() : nullptr,
                                            c.data(), 0),
              0);
    ASSERT_EQ(kernel(t, 0, 0, &nrx_threading_serial), 0) << type;
    const double sites[2] = {x[0], x[nx - 1]};
    const int32_t ders[2] = {1, 1};
    double r[4];
    ASSERT_EQ(
        nrx_df_kernel_dDFInterpolate1D(t, 1, 0, 2, sites, 0, 2, ders, nullptr, r, 16, nullptr, nullptr, nullptr,
                                       nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &nrx_threading_serial),
        0);
    EXPECT_NEAR(r[1], r[3], 1e-9) << type;  // slope at the left end = slope at the right end
    EXPECT_NEAR(r[1], slope, type == 9 ? 0.5 : 0.05) << type;
    for (int k = 0; k < 50; ++k) {
      const double s = (k + 0.5) / 50.0;
      double v;
      nrx_df_kernel_dDFInterpolate1D(t, 1, 0, 1, &s, 0, 0, nullptr, nullptr, &v, 0, nullptr, nullptr, nullptr, nullptr,
                                     nullptr, nullptr, nullptr, nullptr, nullptr, &nrx_threading_serial);
      EXPECT_NEAR(v, std::sin(2 * M_PI * s), 5e-3) << type << " " << s;
    }
    nrx_df_kernel_DeleteTask(&t);
  }
}

}  // namespace
