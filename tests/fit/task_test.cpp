// Task creation, edits and queries: every status code, and a refused edit
// leaves the task byte-for-byte as it was.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "nrx/fit.h"

namespace {

struct fitTask : ::testing::Test {
  std::vector<double> x{0, 1, 3, 7, 8, 9, 10, 12, 13, 15};
  std::vector<double> y = std::vector<double>(20, 1.0);
  DfTask* t = nullptr;
  void SetUp() override { ASSERT_EQ(nrx_df_kernel_dNewTask1D(&t, 10, x.data(), 1, 2, y.data(), 0, 0), DFK_OK); }
  void TearDown() override {
    if (t) nrx_df_kernel_DeleteTask(&t);
  }
};

TEST(fitTaskCreate, StatusCodesInOrder) {
  double x[4] = {0, 1, 2, 3}, y[4] = {0, 1, 2, 3};
  struct Case {
    int64_t nx;
    const double* x;
    int64_t xhint, ny;
    const double* y;
    int64_t yhint;
    int32_t want;
  } cases[] = {
      {1, x, 1, 1, y, 0, DFK_ERR_NX}, {4, nullptr, 1, 1, y, 0, DFK_ERR_X}, {4, x, 3, 1, y, 0, DFK_ERR_XHINT},
      {4, x, 1, 0, y, 0, DFK_ERR_NY}, {4, x, 1, 1, nullptr, 0, DFK_ERR_Y}, {4, x, 1, 1, y, 8, DFK_ERR_YHINT},
      {2, x, 1, 1, y, 0, DFK_OK},     {4, x, 1, 0, nullptr, 0, DFK_OK},    {4, x, 4, 1, y, 32, DFK_OK},
  };
  for (const auto& c : cases) {
    DfTask* t = nullptr;
    EXPECT_EQ(nrx_df_kernel_dNewTask1D(&t, c.nx, c.x, c.xhint, c.ny, c.y, c.yhint, 0), c.want) << c.nx;
    EXPECT_EQ(t != nullptr, c.want == DFK_OK);
    if (t) {
      EXPECT_EQ(nrx_df_kernel_DeleteTask(&t), DFK_OK);
    }
    EXPECT_EQ(t, nullptr);
  }
  DfTask* none = nullptr;
  EXPECT_EQ(nrx_df_kernel_DeleteTask(&none), DFK_ERR_NULL_TASK);
}

TEST(fitTaskCreate, LookupTableBins) {
  for (auto [nx, bins] : std::vector<std::pair<int64_t, int64_t>>{{40, 16}, {400, 25}, {40000, 1024}}) {
    std::vector<double> x(nx);
    for (int64_t i = 0; i < nx; ++i) x[i] = double(i) * double(i) / double(nx);
    DfTask* t = nullptr;
    ASSERT_EQ(nrx_df_kernel_dNewTask1D(&t, nx, x.data(), 0, 0, nullptr, 0, 0), DFK_OK);
    EXPECT_EQ(t->nbins, bins);
    EXPECT_DOUBLE_EQ(t->scale.d, double(bins) / (x[nx - 1] - x[0]));
    // Every entry brackets its bin: x[low] <= bin start and bin end <= x[high].
    for (int64_t k = 0; k < bins; ++k) {
      const uint32_t lo = t->table[2 * k], hi = t->table[2 * k + 1];
      EXPECT_LE(x[lo], x[0] + double(k) / t->scale.d + 1e-12);
      EXPECT_GE(x[hi], x[0] + double(k + 1) / t->scale.d - 1e-12);
    }
    nrx_df_kernel_DeleteTask(&t);
  }
  double x2[2] = {0, 1}, y2[2] = {0, 1};
  DfTask* u = nullptr;
  ASSERT_EQ(nrx_df_kernel_dNewTask1D(&u, 5, x2, DFK_UNIFORM, 1, y2, 0, 0), DFK_OK);
  EXPECT_EQ(u->table, nullptr);
  nrx_df_kernel_DeleteTask(&u);
}

TEST_F(fitTask, RefusedEditsLeaveTaskUnchanged) {
  struct Edit {
    const char* what;
    int32_t want;
    int32_t (*op)(DfTask*);
  } edits[] = {
      {"ptr x null", DFK_ERR_X, [](DfTask* t) { return nrx_df_kernel_dEditPtr(t, DFK_ITEM_X, nullptr); }},
      {"ptr y null", DFK_ERR_Y, [](DfTask* t) { return nrx_df_kernel_dEditPtr(t, DFK_ITEM_Y, nullptr); }},
      {"ptr ic null", DFK_ERR_IC, [](DfTask* t) { return nrx_df_kernel_dEditPtr(t, DFK_ITEM_IC, nullptr); }},
      {"ptr bc null", DFK_ERR_BC, [](DfTask* t) { return nrx_df_kernel_dEditPtr(t, DFK_ITEM_BC, nullptr); }},
      {"ptr coeff null", DFK_ERR_COEFF, [](DfTask* t) { return nrx_df_kernel_dEditPtr(t, DFK_ITEM_COEFF, nullptr); }},
      {"ptr item", DFK_ERR_ITEM, [](DfTask* t) { return nrx_df_kernel_dEditPtr(t, 14, nullptr); }},
      {"idx y range", DFK_ERR_INDEX, [](DfTask* t) { return nrx_df_kernel_dEditIdxPtr(t, DFK_ITEM_Y, 2, t); }},
      {"idx y null", DFK_ERR_Y, [](DfTask* t) { return nrx_df_kernel_dEditIdxPtr(t, DFK_ITEM_Y, 1, nullptr); }},
      {"idx coeff range", DFK_ERR_INDEX, [](DfTask* t) { return nrx_df_kernel_sEditIdxPtr(t, DFK_ITEM_COEFF, -1, t); }},
      {"idx coeff null", DFK_ERR_COEFF,
       [](DfTask* t) { return nrx_df_kernel_dEditIdxPtr(t, DFK_ITEM_COEFF, 0, nullptr); }},
      {"idx item", DFK_ERR_ITEM, [](DfTask* t) { return nrx_df_kernel_dEditIdxPtr(t, DFK_ITEM_X, 0, t); }},
      {"nx", DFK_ERR_NX, [](DfTask* t) { return nrx_df_kernel_iEditVal(t, DFK_ITEM_NX, 1); }},
      {"xhint", DFK_ERR_XHINT, [](DfTask* t) { return nrx_df_kernel_iEditVal(t, DFK_ITEM_XHINT, 3); }},
      {"ny", DFK_ERR_NY, [](DfTask* t) { return nrx_df_kernel_iEditVal(t, DFK_ITEM_NY, 0); }},
      {"yhint", DFK_ERR_YHINT, [](DfTask* t) { return nrx_df_kernel_iEditVal(t, DFK_ITEM_YHINT, 64); }},
      {"order", DFK_ERR_ORDER, [](DfTask* t) { return nrx_df_kernel_iEditVal(t, DFK_ITEM_ORDER, -1); }},
      {"type", DFK_ERR_TYPE, [](DfTask* t) { return nrx_df_kernel_iEditVal(t, DFK_ITEM_TYPE, 6); }},
      {"ic type", DFK_ERR_IC_TYPE, [](DfTask* t) { return nrx_df_kernel_iEditVal(t, DFK_ITEM_IC_TYPE, 3); }},
      {"bc type", DFK_ERR_BC_TYPE, [](DfTask* t) { return nrx_df_kernel_iEditVal(t, DFK_ITEM_BC_TYPE, -2); }},
      {"coeff hint", DFK_ERR_COEFF_HINT, [](DfTask* t) { return nrx_df_kernel_iEditVal(t, DFK_ITEM_COEFF_HINT, 1); }},
      {"aux flag", DFK_ERR_FLAG_VALUE, [](DfTask* t) { return nrx_df_kernel_iEditVal(t, DFK_ITEM_AUX_FLAG, 2); }},
      {"val item", DFK_ERR_ITEM, [](DfTask* t) { return nrx_df_kernel_iEditVal(t, 24, 0); }},
      {"pp order", DFK_ERR_ORDER,
       [](DfTask* t) { return nrx_df_kernel_dEditPPSpline1D(t, -1, 2, 2, nullptr, 0, nullptr, nullptr, 0); }},
      {"pp type", DFK_ERR_TYPE,
       [](DfTask* t) { return nrx_df_kernel_dEditPPSpline1D(t, 4, -1, 2, nullptr, 0, nullptr, nullptr, 0); }},
  };
  std::vector<unsigned char> before(sizeof(DfTask));
  std::memcpy(before.data(), t, sizeof(DfTask));
  const void* y0 = t->y[0];
  const void* y1 = t->y[1];
  for (const auto& e : edits) {
    EXPECT_EQ(e.op(t), e.want) << e.what;
    EXPECT_EQ(std::memcmp(before.data(), t, sizeof(DfTask)), 0) << e.what;
    EXPECT_EQ(t->y[0], y0);
    EXPECT_EQ(t->y[1], y1);
  }
  // Null task: -1000 for every operation.
  EXPECT_EQ(nrx_df_kernel_dEditPtr(nullptr, 1, x.data()), DFK_ERR_NULL_TASK);
  EXPECT_EQ(nrx_df_kernel_iEditVal(nullptr, 14, 3), DFK_ERR_NULL_TASK);
  EXPECT_EQ(nrx_df_kernel_iQueryVal(nullptr, 14, nullptr), DFK_ERR_NULL_TASK);
  EXPECT_EQ(nrx_df_kernel_dEditIdxPtr(nullptr, 2, 0, nullptr), DFK_ERR_NULL_TASK);
  EXPECT_EQ(nrx_df_kernel_dEditPPSpline1D(nullptr, 4, 2, 2, nullptr, 0, nullptr, nullptr, 0), DFK_ERR_NULL_TASK);
}

TEST_F(fitTask, QueriesAndStatus) {
  const double* p = nullptr;
  EXPECT_EQ(nrx_df_kernel_dQueryPtr(t, DFK_ITEM_X, nullptr), DFK_ERR_NULL_OUT);
  EXPECT_EQ(nrx_df_kernel_dQueryPtr(t, 6, &p), DFK_ERR_ITEM);
  EXPECT_EQ(nrx_df_kernel_dQueryPtr(t, DFK_ITEM_Y, &p), DFK_OK);
  EXPECT_EQ(p, y.data());
  EXPECT_EQ(nrx_df_kernel_dQueryPtr(t, DFK_ITEM_COEFF, &p), DFK_OK);
  EXPECT_EQ(p, nullptr);
  EXPECT_EQ(nrx_df_kernel_dQueryIdxPtr(t, DFK_ITEM_Y, 1, &p), DFK_OK);
  EXPECT_EQ(p, y.data() + 10);
  EXPECT_EQ(nrx_df_kernel_dQueryIdxPtr(t, DFK_ITEM_Y, 2, &p), DFK_ERR_INDEX);
  EXPECT_EQ(nrx_df_kernel_dQueryIdxPtr(t, DFK_ITEM_Y, 0, nullptr), DFK_ERR_NULL_OUT);
  EXPECT_EQ(nrx_df_kernel_dQueryIdxPtr(t, DFK_ITEM_BC, 0, &p), DFK_ERR_ITEM);
  int64_t wide = -7;
  EXPECT_EQ(nrx_df_kernel_iQueryVal(t, DFK_ITEM_NX, nullptr), DFK_ERR_NULL_OUT);
  EXPECT_EQ(nrx_df_kernel_iQueryVal(t, 13, &wide), DFK_ERR_ITEM);
  // Integer-width flag 0: four bytes are written.
  EXPECT_EQ(nrx_df_kernel_iQueryVal(t, DFK_ITEM_NX, &wide), DFK_OK);
  EXPECT_EQ(int32_t(wide & 0xFFFFFFFF), 10);
  EXPECT_EQ(wide >> 32, -1);
  DfTask* w = nullptr;
  ASSERT_EQ(nrx_df_kernel_dNewTask1D(&w, 10, x.data(), 1, 2, y.data(), 32, 1), DFK_OK);
  wide = -7;
  EXPECT_EQ(nrx_df_kernel_iEditVal(w, DFK_ITEM_AUX_FLAG, 1), DFK_OK);
  EXPECT_EQ(nrx_df_kernel_iQueryVal(w, DFK_ITEM_AUX_FLAG, &wide), DFK_OK);
  EXPECT_EQ(wide, 1);
  // Column storage keeps one function pointer; indexed access is refused.
  EXPECT_EQ(nrx_df_kernel_dEditIdxPtr(w, DFK_ITEM_Y, 0, y.data()), DFK_ERR_YHINT);
  EXPECT_EQ(nrx_df_kernel_dQueryIdxPtr(w, DFK_ITEM_Y, 0, &p), DFK_ERR_YHINT);
  nrx_df_kernel_DeleteTask(&w);
  // A record whose dimension is not 1 ignores edits.
  t->dimension = 2;
  EXPECT_EQ(nrx_df_kernel_iEditVal(t, DFK_ITEM_NX, 1), DFK_OK);
  EXPECT_EQ(t->nx, 10);
  t->dimension = 1;
}

TEST_F(fitTask, CoefficientPointerStrides) {
  std::vector<double> c(100);
  struct Case {
    int64_t order, type, nx, hint;
    ptrdiff_t second;
  } cases[] = {{3, 1, 10, 0, 30}, {4, 2, 10, 0, 36}, {2, 0, 10, 16, 18}, {4, 0, 10, 128, -1}};
  for (const auto& k : cases) {
    ASSERT_EQ(nrx_df_kernel_dEditPPSpline1D(t, k.order, k.type, 2, nullptr, 0, nullptr, c.data(), k.hint), 0);
    EXPECT_EQ(t->coeff[0], c.data());
    if (k.second >= 0) EXPECT_EQ(t->coeff[1], c.data() + k.second);
    else EXPECT_EQ(t->coeff[1], nullptr);
  }
  // Item 5 through EditPtr uses the stride of the current description.
  ASSERT_EQ(nrx_df_kernel_dEditPPSpline1D(t, 4, 2, 2, nullptr, 0, nullptr, nullptr, 0), 0);
  ASSERT_EQ(nrx_df_kernel_dEditPtr(t, DFK_ITEM_COEFF, c.data()), 0);
  EXPECT_EQ(t->coeff[1], c.data() + 36);
  DfTask* e = nullptr;
  ASSERT_EQ(nrx_df_kernel_dNewTask1D(&e, 10, x.data(), 1, 0, nullptr, 0, 0), DFK_OK);
  EXPECT_EQ(nrx_df_kernel_dEditPtr(e, DFK_ITEM_COEFF, c.data()), DFK_ERR_NY);
  EXPECT_EQ(nrx_df_kernel_dEditPPSpline1D(e, 4, 2, 2, nullptr, 0, nullptr, c.data(), 0), DFK_ERR_NY);
  nrx_df_kernel_DeleteTask(&e);
}

}  // namespace

namespace {

// EditPPSpline1D works in steps and keeps what the steps before a refusal stored;
// an edit that replaces an owned array releases the old one first.
TEST_F(fitTask, RefusedSplineEditKeepsTheStepsBeforeIt) {
  static double bc[2] = {1, 2}, ic[8], c[64];
  struct Case {
    const char* what;
    int64_t order, type, bc_type;
    const double* bc;
    int64_t ic_type;
    const double* ic;
    double* scoeff;
    int32_t want;
    int64_t order_after, type_after, bc_type_after;
    const void* bc_after;
    int64_t ic_type_after;
  } cases[] = {
      // Old description: order 2, type 0, bc 2 (no array), ic 0.
      {"bc 12 without array", 4, 2, 12, nullptr, 0, nullptr, nullptr, DFK_ERR_BC, 4, 2, 2, nullptr, 0},
      {"ic array with type 0", 4, 3, 12, bc, 0, ic, nullptr, DFK_ERR_IC_TYPE, 4, 3, 12, bc, 0},
      {"ic type without array", 3, 1, 36, bc, 8, nullptr, nullptr, DFK_ERR_IC, 3, 1, 36, bc, 0},
      {"order refused first", -1, 2, 12, nullptr, 0, nullptr, nullptr, DFK_ERR_ORDER, 2, 0, 2, nullptr, 0},
      {"type refused first", 4, -1, 12, nullptr, 0, nullptr, nullptr, DFK_ERR_TYPE, 2, 0, 2, nullptr, 0},
  };
  for (const auto& k : cases) {
    ASSERT_EQ(nrx_df_kernel_dEditPPSpline1D(t, 2, 0, 2, nullptr, 0, nullptr, c, 0), DFK_OK);
    void** coeff = t->coeff;
    EXPECT_EQ(nrx_df_kernel_dEditPPSpline1D(t, k.order, k.type, k.bc_type, k.bc, k.ic_type, k.ic, k.scoeff, 16), k.want)
        << k.what;
    EXPECT_EQ(t->order, k.order_after) << k.what;
    EXPECT_EQ(t->type, k.type_after) << k.what;
    EXPECT_EQ(t->bc_type, k.bc_type_after) << k.what;
    EXPECT_EQ(t->bc, k.bc_after) << k.what;
    EXPECT_EQ(t->ic_type, k.ic_type_after) << k.what;
    EXPECT_EQ(t->coeff, coeff) << k.what;
    EXPECT_EQ(t->coeff_hint, 0) << k.what;
  }
}

TEST_F(fitTask, AllocationFailureInAnEditLeavesTheOwnedArrayNull) {
  std::vector<double> c(64);
  // 2^40 functions: the pointer array cannot be had.
  struct Case {
    const char* what;
    int32_t (*edit)(DfTask*, double*);
    bool coeff;
  } cases[] = {
      {"EditPtr coeff", [](DfTask* t, double* c) { return nrx_df_kernel_dEditPtr(t, DFK_ITEM_COEFF, c); }, true},
      {"EditPtr y", [](DfTask* t, double* c) { return nrx_df_kernel_dEditPtr(t, DFK_ITEM_Y, c); }, false},
      {"EditPPSpline1D coeff",
       [](DfTask* t, double* c) { return nrx_df_kernel_dEditPPSpline1D(t, 4, 2, 2, nullptr, 0, nullptr, c, 0); }, true},
  };
  for (const auto& k : cases) {
    DfTask* u = nullptr;
    ASSERT_EQ(nrx_df_kernel_dNewTask1D(&u, 10, x.data(), 1, 2, y.data(), 0, 0), DFK_OK);
    ASSERT_EQ(nrx_df_kernel_dEditPPSpline1D(u, 4, 2, 2, nullptr, 0, nullptr, c.data(), 0), DFK_OK);
    ASSERT_EQ(nrx_df_kernel_iEditVal(u, DFK_ITEM_NY, int64_t(1) << 40), DFK_OK);
    EXPECT_EQ(k.edit(u, c.data()), DFK_ERR_ALLOC) << k.what;
    EXPECT_EQ(k.coeff ? static_cast<const void*>(u->coeff) : static_cast<const void*>(u->y), nullptr) << k.what;
    // The task stays usable: kernels refuse the missing array, deletion frees the rest.
    ASSERT_EQ(nrx_df_kernel_iEditVal(u, DFK_ITEM_NY, 2), DFK_OK);
    EXPECT_EQ(nrx_df_kernel_dDFNaturalCubicSpline1D(u, 0, 0, &nrx_threading_serial),
              k.coeff ? DFK_ERR_COEFF : DFK_ERR_Y)
        << k.what;
    EXPECT_EQ(nrx_df_kernel_DeleteTask(&u), DFK_OK);
  }
}

// A function count raised by an edit beyond the pointer arrays is refused by the
// kernels instead of reading past them.
TEST_F(fitTask, KernelsRefuseCountsBeyondTheArrays) {
  std::vector<double> c(200);
  ASSERT_EQ(nrx_df_kernel_dEditPPSpline1D(t, 4, 2, 2, nullptr, 0, nullptr, c.data(), 0), 0);
  ASSERT_EQ(nrx_df_kernel_dDFNaturalCubicSpline1D(t, 0, 0, &nrx_threading_serial), 0);
  ASSERT_EQ(nrx_df_kernel_iEditVal(t, DFK_ITEM_NY, 3), 0);
  EXPECT_EQ(nrx_df_kernel_dDFNaturalCubicSpline1D(t, 0, 0, &nrx_threading_serial), DFK_ERR_Y);
  EXPECT_EQ(nrx_df_kernel_dEditIdxPtr(t, DFK_ITEM_Y, 2, y.data()), DFK_ERR_Y);
  const double s = 0.5;
  double r[3];
  EXPECT_EQ(nrx_df_kernel_dDFInterpolate1D(t, 1, 0, 1, &s, 0, 0, nullptr, nullptr, r, 0, nullptr, nullptr, nullptr,
                                           nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &nrx_threading_serial),
            DFK_ERR_COEFF);
}

}  // namespace
