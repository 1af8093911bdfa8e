// Cell search, interpolation and integration: documented edge cases, caller
// functions, the order-0 kinds and the statuses of the three kernels.
#include <gtest/gtest.h>

#include <vector>

#include "nrx/fit.h"

namespace {

const nrx_threading* kSerial = &nrx_threading_serial;

// Calls every search method directly and through the task on the same sites.
TEST(fitSearch, DocumentedCells) {
  const double ends[2] = {0, 4};
  const double us[] = {-1, 0, 0.5, 1, 3.999, 4, 4.5};
  int32_t cell[7];
  ASSERT_EQ(nrx_df_kernel_dDFUniformSearch1D(5, ends, 7, us, 1.0, nullptr, nullptr, nullptr, nullptr, cell), 0);
  EXPECT_EQ(std::vector<int32_t>(cell, cell + 7), (std::vector<int32_t>{0, 1, 1, 2, 4, 4, 5}));

  const double x[] = {0, 1, 3, 7};
  const double s[] = {3, 7, 7.5, -0.1};
  const std::vector<int32_t> want{3, 3, 4, 0};
  DfTask* t = nullptr;
  ASSERT_EQ(nrx_df_kernel_dNewTask1D(&t, 4, x, 1, 0, nullptr, 0, 0), 0);
  struct M {
    const char* name;
    int32_t (*fn)(int64_t, const double*, int64_t, const double*, double, const uint32_t*, int64_t*, nrx_df_dsearch_cb,
                  void*, int32_t*);
    double scale;
  } methods[] = {{"quasi", nrx_df_kernel_dDFQuasiUniformSearch1D, 3.0 / 7.0},
                 {"peak", nrx_df_kernel_dDFPeakSearch1D, 2.0},
                 {"peak beyond", nrx_df_kernel_dDFPeakSearch1D, 4.0},
                 {"hybrid", nrx_df_kernel_dDFHybridSearch1D32, t->scale.d}};
  for (const auto& m : methods) {
    ASSERT_EQ(m.fn(4, x, 4, s, m.scale, t->table, nullptr, nullptr, nullptr, cell), 0);
    EXPECT_EQ(std::vector<int32_t>(cell, cell + 4), want) << m.name;
  }
  const double sorted[] = {-0.1, 3, 7, 7.5};
  int64_t cursor = 0;
  ASSERT_EQ(nrx_df_kernel_dDFSortedSearch1D(4, x, 4, sorted, 0, nullptr, &cursor, nullptr, nullptr, cell), 0);
  EXPECT_EQ(std::vector<int32_t>(cell, cell + 4), (std::vector<int32_t>{0, 3, 3, 4}));
  EXPECT_EQ(cursor, 4);
  // Through the task: peak search around a data hint; a bad hint is refused.
  const double peak[5] = {0, 1, 0, 0, 2}, bad[5] = {0, 1, 0, 0, 5}, odd[5] = {0, 7, 0, 0, 0};
  ASSERT_EQ(nrx_df_kernel_dDFSearch1D(t, 0, 4, s, 0, peak, cell, nullptr, nullptr, kSerial), 0);
  EXPECT_EQ(std::vector<int32_t>(cell, cell + 4), want);
  EXPECT_EQ(nrx_df_kernel_dDFSearch1D(t, 0, 4, s, 0, bad, cell, nullptr, nullptr, kSerial), DFK_ERR_DATAHINT);
  EXPECT_EQ(nrx_df_kernel_dDFSearch1D(t, 0, 4, s, 0, odd, cell, nullptr, nullptr, kSerial), DFK_ERR_DATAHINT);
  EXPECT_EQ(nrx_df_kernel_dDFSearch1D(nullptr, 0, 4, s, 0, nullptr, cell, nullptr, nullptr, kSerial),
            DFK_ERR_NULL_TASK);
  nrx_df_kernel_DeleteTask(&t);
}

TEST(fitSearch, HybridNarrowsCrowdedBins) {
  // 2000 breakpoints crowded into the first bin of 125: bisection first, same cells as a plain count.
  std::vector<double> x;
  for (int i = 0; i < 2000; ++i) x.push_back(i * 1e-6);
  x.push_back(1.0);
  DfTask* t = nullptr;
  ASSERT_EQ(nrx_df_kernel_dNewTask1D(&t, int64_t(x.size()), x.data(), 1, 0, nullptr, 0, 0), 0);
  std::vector<double> s;
  for (int i = 0; i < 5000; ++i) s.push_back(-0.001 + i * 2.3e-7);
  s.push_back(0.5);
  std::vector<int32_t> cell(s.size());
  ASSERT_EQ(nrx_df_kernel_dDFSearch1D(t, 0, int64_t(s.size()), s.data(), 0, nullptr, cell.data(), nullptr, nullptr,
                                      &nrx_threading_openmp),
            0);
  for (size_t i = 0; i < s.size(); ++i) {
    int32_t n = 0;
    for (double b : x) n += b <= s[i];
    EXPECT_EQ(cell[i], n) << s[i];
  }
  nrx_df_kernel_DeleteTask(&t);
}

int32_t final_cells(int64_t* n, const double*, int64_t* cell, int32_t*, void*, const double*) {
  for (int64_t i = 0; i < *n; ++i) cell[i] = 42 + i;
  return DFK_SEARCH_CELLS_FINAL;
}
int32_t guess_zero(int64_t* n, const double*, int64_t* cell, int32_t* flag, void*, const double*) {
  for (int64_t i = 0; i < *n; ++i) cell[i] = 0, flag[i] = i == 0;  // site 0 keeps its cell
  return 0;
}
int32_t fail(int64_t*, const double*, int64_t*, int32_t*, void*, const double*) { return -5; }

TEST(fitSearch, CallerFunctions) {
  const double x[] = {0, 1, 3, 7}, s[] = {2, 2, 5, 8};
  DfTask* t = nullptr;
  ASSERT_EQ(nrx_df_kernel_dNewTask1D(&t, 4, x, 1, 0, nullptr, 0, 0), 0);
  int32_t cell[4];
  ASSERT_EQ(nrx_df_kernel_dDFSearch1D(t, 0, 4, s, 0, nullptr, cell, final_cells, nullptr, kSerial), 0);
  EXPECT_EQ(std::vector<int32_t>(cell, cell + 4), (std::vector<int32_t>{42, 43, 44, 45}));
  ASSERT_EQ(nrx_df_kernel_dDFSearch1D(t, 0, 4, s, 0, nullptr, cell, guess_zero, nullptr, kSerial), 0);
  EXPECT_EQ(std::vector<int32_t>(cell, cell + 4), (std::vector<int32_t>{0, 2, 3, 4}));
  EXPECT_EQ(nrx_df_kernel_dDFSearch1D(t, 0, 4, s, 0, nullptr, cell, fail, nullptr, kSerial), -5);
  nrx_df_kernel_DeleteTask(&t);
  // Uniform partition: guesses refined on the grid arithmetic.
  const double ends[2] = {0, 4}, us[3] = {0.5, 3.5, 9};
  ASSERT_EQ(nrx_df_kernel_dNewTask1D(&t, 5, ends, 4, 0, nullptr, 0, 0), 0);
  ASSERT_EQ(nrx_df_kernel_dDFSearch1D(t, 0, 3, us, 0, nullptr, cell, guess_zero, nullptr, kSerial), 0);
  EXPECT_EQ(cell[1], 4);
  EXPECT_EQ(cell[2], 5);
  nrx_df_kernel_DeleteTask(&t);
}

// A linear spline through (0, 0) and (1, 2).
struct Line {
  double x[2] = {0, 1}, y[2] = {0, 2}, c[2];
  DfTask* t = nullptr;
  explicit Line(int64_t order = 2, int64_t type = 0) {
    nrx_df_kernel_dNewTask1D(&t, 2, x, 1, 1, y, 0, 0);
    nrx_df_kernel_dEditPPSpline1D(t, 2, 0, 0, nullptr, 0, nullptr, c, 0);
    nrx_df_kernel_dDFLinearSpline1D(t, 0, 0, kSerial);
    t->order = order, t->type = type;
  }
  ~Line() { nrx_df_kernel_DeleteTask(&t); }
  int32_t interp(int64_t n, const double* s, double* r, int64_t ndorder = 0, const int32_t* dorder = nullptr,
                 int64_t rhint = 16, const double* datahint = nullptr, nrx_df_dinterp_cb le = nullptr,
                 nrx_df_dinterp_cb re = nullptr, nrx_df_dinterp_cb ic = nullptr, int64_t type = 1,
                 int32_t* cell = nullptr) {
    return nrx_df_kernel_dDFInterpolate1D(t, type, 0, n, s, 0, ndorder, dorder, datahint, r, rhint, cell, le, nullptr,
                                          re, nullptr, ic, nullptr, nullptr, nullptr, kSerial);
  }
};

int32_t minus_one(int64_t n, const double*, const int32_t*, int64_t, int64_t nder, const int64_t*, double* r, void*) {
  for (int64_t i = 0; i < n * nder; ++i) r[i] = -1;
  return 0;
}
int32_t plus_seven(int64_t n, const double*, const int32_t*, int64_t, int64_t nder, const int64_t*, double* r, void*) {
  for (int64_t i = 0; i < n * nder; ++i) r[i] = 7;
  return 0;
}
int32_t refuse(int64_t, const double*, const int32_t*, int64_t, int64_t, const int64_t*, double*, void*) { return -77; }

TEST(fitInterpolate, ExtendedEndPiecesAndCallers) {
  Line l;
  const double s[3] = {2, -1, 0.5};
  double r[6];
  ASSERT_EQ(l.interp(3, s, r), 0);
  EXPECT_DOUBLE_EQ(r[0], 4);
  EXPECT_DOUBLE_EQ(r[1], -2);
  EXPECT_DOUBLE_EQ(r[2], 1);
  ASSERT_EQ(l.interp(3, s, r, 0, nullptr, 16, nullptr, minus_one, plus_seven), 0);
  EXPECT_EQ(std::vector<double>(r, r + 3), (std::vector<double>{7, -1, 1}));
  EXPECT_EQ(l.interp(3, s, r, 0, nullptr, 16, nullptr, refuse), -77);
  // Cells out (type bit 2) and cells in (type 4).
  int32_t cell[3] = {};
  ASSERT_EQ(l.interp(3, s, r, 0, nullptr, 16, nullptr, nullptr, nullptr, nullptr, 3, cell), 0);
  EXPECT_EQ(std::vector<int32_t>(cell, cell + 3), (std::vector<int32_t>{2, 0, 1}));
  int32_t given[3] = {1, 1, 1};
  ASSERT_EQ(l.interp(3, s, r, 0, nullptr, 16, nullptr, nullptr, nullptr, nullptr, 4, given), 0);
  EXPECT_DOUBLE_EQ(r[0], 4);
  // Derivatives: value and slope, orders above the spline order are zero.
  const int32_t d3[3] = {0, 1, 1};
  ASSERT_EQ(l.interp(1, s + 2, r, 3, d3), 0);
  EXPECT_DOUBLE_EQ(r[0], 2);
  EXPECT_DOUBLE_EQ(r[1], 0);
}

TEST(fitInterpolate, StatusCodes) {
  Line l;
  const double s[2] = {0.5, 1};
  double r[4];
  const double badhint[5] = {0, 1, 0, 0, 3};  // nx + 1
  const int32_t two[2] = {1, 1}, slope[2] = {0, 1};
  EXPECT_EQ(l.interp(2, s, r, 0, nullptr, 64), DFK_ERR_RHINT);
  EXPECT_EQ(l.interp(2, s, r, 0, nullptr, 16, badhint), DFK_ERR_DATAHINT);
  EXPECT_EQ(nrx_df_kernel_dDFInterpolate1D(nullptr, 1, 0, 1, s, 0, 0, nullptr, nullptr, r, 0, nullptr, nullptr, nullptr,
                                           nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, kSerial),
            DFK_ERR_NULL_TASK);
  for (auto [order, type] : std::vector<std::pair<int64_t, int64_t>>{{1, 0}, {3, 2}, {4, 1}, {0, 0}}) {
    Line bad(order, type);
    EXPECT_EQ(bad.interp(2, s, r), DFK_ERR_TYPE) << order << " " << type;
  }
  Line user(0, 0);  // the caller's interpolant needs all three functions
  EXPECT_EQ(user.interp(2, s, r, 0, nullptr, 16, nullptr, minus_one, plus_seven, plus_seven), 0);
  EXPECT_DOUBLE_EQ(r[0], 7);
  Line look(0, DFK_TYPE_LOOKUP);
  const double at[2] = {1, 0};
  ASSERT_EQ(look.interp(2, at, r), 0);
  EXPECT_EQ(r[0], 2);
  EXPECT_EQ(r[1], 0);
  EXPECT_EQ(look.interp(2, s, r), DFK_ERR_NOT_BREAKPOINT);
  EXPECT_EQ(look.interp(2, at, r, 2, two), DFK_ERR_LOOKUP_COUNT);
  EXPECT_EQ(look.interp(2, at, r, 2, slope), DFK_ERR_LOOKUP_VALUE);
}

TEST(fitInterpolate, StepFunctions) {
  const double x[4] = {0, 1, 2, 3}, y[4] = {10, 20, 30, 40};
  const double s[7] = {-1, 0, 0.5, 1, 2.5, 3, 4};
  DfTask* t = nullptr;
  ASSERT_EQ(nrx_df_kernel_dNewTask1D(&t, 4, x, 1, 1, y, 0, 0), 0);
  double r[7];
  struct Case {
    int64_t type;
    std::vector<double> want;
  } cases[] = {{DFK_TYPE_STEP_LEFT, {10, 10, 20, 20, 40, 40, 40}}, {DFK_TYPE_STEP_RIGHT, {10, 10, 10, 20, 30, 40, 40}}};
  for (const auto& c : cases) {
    t->order = 0, t->type = c.type;
    ASSERT_EQ(nrx_df_kernel_dDFInterpolate1D(t, 1, 0, 7, s, 0, 0, nullptr, nullptr, r, 0, nullptr, nullptr, nullptr,
                                             nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, kSerial),
              0);
    EXPECT_EQ(std::vector<double>(r, r + 7), c.want) << c.type;
    // Integral over [-1, 4]: both give the same areas on the intervals, the end values outside.
    const double a = -1, b = 4;
    double area;
    ASSERT_EQ(nrx_df_kernel_dDFIntegrate1D(t, 0, 1, &a, 0, &b, 0, nullptr, nullptr, &area, 0, nullptr, nullptr, nullptr,
                                           nullptr, nullptr, nullptr, nullptr, nullptr, kSerial),
              0);
    EXPECT_DOUBLE_EQ(area, c.type == DFK_TYPE_STEP_LEFT ? 10 + 20 + 30 + 40 + 40 : 10 + 10 + 20 + 30 + 40);
  }
  nrx_df_kernel_DeleteTask(&t);
}

int32_t area_five(double, double, int64_t, double* r, void*) {
  *r = 5;
  return 0;
}

TEST(fitIntegrate, EdgeCasesAndStatus) {
  const double x[2] = {0, 1}, y[2] = {0, 1};
  double c[2];
  DfTask* t = nullptr;
  ASSERT_EQ(nrx_df_kernel_dNewTask1D(&t, 2, x, 1, 1, y, 0, 0), 0);
  ASSERT_EQ(nrx_df_kernel_dEditPPSpline1D(t, 2, 0, 0, nullptr, 0, nullptr, c, 0), 0);
  ASSERT_EQ(nrx_df_kernel_dDFLinearSpline1D(t, 0, 0, kSerial), 0);
  const double a[3] = {0, 0.3, 2}, b[3] = {2, 0.3, 0};
  double r[3];
  auto run = [&](int64_t rhint, nrx_df_dinteg_cb le = nullptr, nrx_df_dinteg_cb re = nullptr) {
    return nrx_df_kernel_dDFIntegrate1D(t, 0, 3, a, 0, b, 0, nullptr, nullptr, r, rhint, le, nullptr, re, nullptr,
                                        nullptr, nullptr, nullptr, nullptr, kSerial);
  };
  ASSERT_EQ(run(0), 0);
  EXPECT_DOUBLE_EQ(r[0], 2);   // last piece extended beyond the partition
  EXPECT_DOUBLE_EQ(r[1], 0);   // equal limits
  EXPECT_DOUBLE_EQ(r[2], -2);  // exchanged limits
  ASSERT_EQ(run(16, nullptr, area_five), 0);
  EXPECT_DOUBLE_EQ(r[0], 0.5 + 5);
  EXPECT_EQ(run(256), DFK_ERR_RHINT_INTEGRAL);
  t->order = 0, t->type = DFK_TYPE_LOOKUP;
  EXPECT_EQ(run(0), DFK_ERR_TYPE);
  nrx_df_kernel_DeleteTask(&t);
}

}  // namespace
