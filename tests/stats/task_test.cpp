// Task creation, editing and deletion, and the status codes of refused compute requests.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "nrx/stats.h"
#include "nrx/zar.h"

namespace {

// Kind of each edit id 1..79 ('i' int address, 'd' real address) and its null-address status.
const char kKinds[] = "iidiiddddddddddddddidididddiiddididiidddiddiididiidididididdiididdddddddddidddi";
const int32_t kNullStatus[80] = {
    0,     -4001, -4002, -4032, -4044, -4004, -4005, -4006, -4007, -4008, -4009, -4010, -4011, -4012, -4013, -4014,
    -4015, -4016, -4017, -4018, -4044, -4019, -4044, -4020, -4022, -4021, -4023, -4024, -4038, -4044, -4035, -4034,
    -4038, -4037, -4044, -4036, -4044, -4043, -4042, -4028, -4027, -4040, -4039, -4041, -4044, -4045, -4046, -4044,
    -4047, -4044, -4049, -4048, -4052, -4053, -4055, -4054, -4056, -4057, -4061, -4062, -4071, -4044, -4066, -4065,
    -4069, -4068, -4070, -4074, -4075, -4076, -4077, -4078, -4079, -4080, -4081, -4044, -4082, -4083, -4084, -4044};

struct Fixture {
  int32_t p = 3, n = 4, layout = NRX_SS_STORAGE_ROWS;
  double x[12] = {1, 2, 3, 4, 2, 4, 6, 9, -1, 0, 1, 5};
  NrxSSTask* task = nullptr;
  Fixture() { EXPECT_EQ(_drudSSNewTask(&task, &p, &n, &layout, x, nullptr, nullptr, 0), 0); }
  ~Fixture() { _druSSDeleteTask(&task); }
};

bool same_record(const NrxSSTask* a, const std::vector<char>& snapshot) {
  return std::memcmp(a, snapshot.data(), sizeof(NrxSSTask)) == 0;
}
std::vector<char> snapshot(const NrxSSTask* t) {
  return std::vector<char>(reinterpret_cast<const char*>(t), reinterpret_cast<const char*>(t) + sizeof(NrxSSTask));
}

TEST(StatsEdit, EveryIdWithEveryEditorAndNullAddress) {
  // Catches a wrong kind, field or null status in the edit table, and edits of a refused call.
  ASSERT_EQ(sizeof(kKinds) - 1, 79u);
  Fixture f;
  double real = 0;
  int32_t integer = 0;
  for (int64_t id = -1; id <= 81; ++id) {
    const char kind = id >= 1 && id <= 79 ? kKinds[id - 1] : '?';
    const int32_t dstat = kind == 'd' ? kNullStatus[id] : -3, istat = kind == 'i' ? kNullStatus[id] : -3;
    const auto before = snapshot(f.task);
    EXPECT_EQ(_drudSSEditTask(f.task, id, nullptr), dstat) << id;
    EXPECT_EQ(_drusSSEditTask(f.task, id, nullptr), dstat) << id;
    EXPECT_EQ(_druiSSEditTask(f.task, id, nullptr), istat) << id;
    if (kind != 'd') {
      EXPECT_EQ(_drudSSEditTask(f.task, id, &real), -3) << id;
    }
    if (kind != 'i') {
      EXPECT_EQ(_druiSSEditTask(f.task, id, &integer), -3) << id;
    }
    EXPECT_TRUE(same_record(f.task, before)) << "refused edit of id " << id << " changed the task";
    if (kind == 'd') {
      EXPECT_EQ(_drudSSEditTask(f.task, id, &real), 0) << id;
    }
    if (kind == 'i') {
      EXPECT_EQ(_druiSSEditTask(f.task, id, &integer), 0) << id;
    }
  }
  EXPECT_EQ(_drudSSEditTask(nullptr, 7, &real), NRX_SS_STATUS_NULL_TASK);
  EXPECT_EQ(_druiSSEditTask(nullptr, 1, &integer), NRX_SS_STATUS_NULL_TASK);
}

TEST(StatsEdit, AddressIsReplacedNotCleared) {
  Fixture f;
  double a[3], b[3];
  EXPECT_EQ(_drudSSEditTask(f.task, NRX_SS_PARAM_MEAN, a), 0);
  EXPECT_EQ(f.task->mean, a);
  EXPECT_EQ(_drudSSEditTask(f.task, NRX_SS_PARAM_MEAN, nullptr), NRX_SS_STATUS_NULL_MEAN);
  EXPECT_EQ(f.task->mean, a);
  EXPECT_EQ(_drudSSEditTask(f.task, NRX_SS_PARAM_MEAN, b), 0);
  EXPECT_EQ(f.task->mean, b);
}

TEST(StatsEdit, ConvenienceEditorsStoreNonNullAndSkipNull) {
  Fixture f;
  double m[3], c2[3], cov[9];
  int32_t st = 1;
  EXPECT_EQ(_drudSSEditMoments(f.task, m, nullptr, nullptr, nullptr, c2, nullptr, nullptr), 0);
  EXPECT_EQ(f.task->mean, m);
  EXPECT_EQ(f.task->central_moment[0], c2);
  EXPECT_EQ(f.task->raw_moment[0], nullptr);
  EXPECT_EQ(_drudSSEditCovCor(f.task, nullptr, cov, &st, nullptr, nullptr), 0);
  EXPECT_EQ(f.task->mean, m);
  EXPECT_EQ(f.task->covariance, cov);
  EXPECT_EQ(f.task->covariance_storage, &st);
  EXPECT_EQ(_drudSSEditMissingVals(f.task, &st, m, nullptr, nullptr, nullptr, c2, nullptr, nullptr, nullptr, cov), 0);
  EXPECT_EQ(f.task->prior, c2);
  EXPECT_EQ(f.task->estimates, cov);
  EXPECT_EQ(_drusSSEditSums(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr),
            NRX_SS_STATUS_NULL_TASK);
}

TEST(StatsTask, NewTaskChecks) {
  // Catches checks made in the wrong order or on arguments that are not to be read.
  const int32_t good = 3, zero = 0, neg = -2, rows = NRX_SS_STORAGE_ROWS, bad_layout = 0x30000;
  double x[12] = {};
  struct Row {
    const int32_t *p, *n, *layout;
    const double* data;
    int32_t status;
  } rows_[] = {
      {nullptr, &good, &rows, x, NRX_SS_STATUS_BAD_DIMENSION},
      {&zero, &good, &rows, x, NRX_SS_STATUS_BAD_DIMENSION},
      {&neg, nullptr, nullptr, nullptr, NRX_SS_STATUS_BAD_DIMENSION},
      {&good, &good, nullptr, x, NRX_SS_STATUS_NULL_STORAGE},
      {&good, &good, &bad_layout, x, NRX_SS_STATUS_BAD_STORAGE},
      {&good, nullptr, &rows, x, NRX_SS_STATUS_BAD_OBSERVATIONS},
      {&good, &zero, &rows, x, NRX_SS_STATUS_BAD_OBSERVATIONS},
      {&good, nullptr, nullptr, nullptr, 0},
      {&good, &zero, &bad_layout, nullptr, 0},
  };
  for (const Row& r : rows_) {
    NrxSSTask* t = reinterpret_cast<NrxSSTask*>(0x1);
    EXPECT_EQ(_drudSSNewTask(&t, r.p, r.n, r.layout, r.data, nullptr, nullptr, 0), r.status);
    if (r.status == 0) {
      ASSERT_NE(t, nullptr);
      EXPECT_EQ(t->version, 2);
      EXPECT_EQ(t->constant, 1);
      EXPECT_EQ(_druSSDeleteTask(&t), 0);
      EXPECT_EQ(t, nullptr);
    } else {
      EXPECT_EQ(t, reinterpret_cast<NrxSSTask*>(0x1)) << "refused NewTask wrote the task address";
    }
  }
}

TEST(StatsTask, SixtyFourBitIntegers) {
  // p = 2^32 fits only when both words are read; a negative high word must be refused.
  const int64_t big = int64_t(1) << 32, negative = -(int64_t(1) << 32) + 5, n = 2;
  NrxSSTask* t = nullptr;
  EXPECT_EQ(_drudSSNewTask(&t, &big, &n, nullptr, nullptr, nullptr, nullptr, 1), 0);
  EXPECT_EQ(t->int64_flag, 1);
  _druSSDeleteTask(&t);
  EXPECT_EQ(_drusSSNewTask(&t, &negative, &n, nullptr, nullptr, nullptr, nullptr, 1), NRX_SS_STATUS_BAD_DIMENSION);
}

int g_cleanups = 0;
void count_cleanup(NrxSSTask* t) {
  ++g_cleanups;
  t->stream_state = nullptr;
}

TEST(StatsTask, DeleteRunsCleanupAndNullsTheTask) {
  EXPECT_EQ(_druSSDeleteTask(nullptr), NRX_SS_STATUS_NULL_TASK);
  NrxSSTask* none = nullptr;
  EXPECT_EQ(_druSSDeleteTask(&none), NRX_SS_STATUS_NULL_TASK);
  Fixture f;
  f.task->cleanup_count = 1;
  f.task->cleanup = count_cleanup;
  g_cleanups = 0;
  EXPECT_EQ(_druSSDeleteTask(&f.task), 0);
  EXPECT_EQ(g_cleanups, 1);
  EXPECT_EQ(f.task, nullptr);
}

// A fixture with every basic result registered (full storage) and filled with a sentinel.
struct Results : Fixture {
  static constexpr double kSentinel = -123.5;
  double vec[20][3];
  double mat[3][9];
  double accw[2] = {0, 0};
  int32_t full = 0;
  static constexpr int kVecIds[] = {7, 8, 9, 10, 11, 12, 13, 14, 15, 18, 67, 68, 69, 70, 71, 72, 73};
  Results() {
    for (auto& v : vec)
      for (double& e : v) e = kSentinel;
    for (auto& m : mat)
      for (double& e : m) e = kSentinel;
    for (int k = 0; k < 17; ++k) _drudSSEditTask(task, kVecIds[k], vec[k]);
    _drudSSEditTask(task, NRX_SS_PARAM_COVARIANCE, mat[0]);
    _drudSSEditTask(task, NRX_SS_PARAM_CORRELATION, mat[1]);
    _drudSSEditTask(task, NRX_SS_PARAM_CROSS_PRODUCT, mat[2]);
  }
  bool untouched() const {
    for (const auto& v : vec)
      for (double e : v)
        if (e != kSentinel) return false;
    for (const auto& m : mat)
      for (double e : m)
        if (e != kSentinel) return false;
    return true;
  }
};

TEST(StatsBasic, RefusedRequestsWriteNothing) {
  // Each row: the method or data fault the status names; nothing may be written before it.
  struct Row {
    const char* what;
    uint64_t est, meth;
    void (*setup)(Results&);
    int32_t status;
  } table[] = {
      {"two data methods", NRX_SS_EST_MEAN, 0x3, nullptr, NRX_SS_STATUS_BAD_METHOD},
      {"fast with given mean", NRX_SS_EST_MEAN, 0x101, nullptr, NRX_SS_STATUS_BAD_METHOD},
      {"no method", NRX_SS_EST_MEAN, 0, nullptr, NRX_SS_STATUS_BAD_METHOD},
      {"unknown bit", NRX_SS_EST_MEAN, 0x2 | 0x8, nullptr, NRX_SS_STATUS_BAD_METHOD},
      {"sum from sums", NRX_SS_EST_SUM_1, 0x400, nullptr, NRX_SS_STATUS_BAD_METHOD},
      {"cross-product from sums", NRX_SS_EST_CROSS_PRODUCT, 0x200, nullptr, NRX_SS_STATUS_BAD_METHOD},
      {"mean from sums without sum 1", NRX_SS_EST_MEAN, 0x400, [](Results& r) { r.task->sum[0] = nullptr; },
       NRX_SS_STATUS_NULL_SUM_1},
      {"kurtosis alone", NRX_SS_EST_KURTOSIS, 0x2,
       [](Results& r) {
         void* k = r.task->kurtosis;
         std::memset(&r.task->mean, 0, sizeof(void*) * 25);  // mean ... cross-product fields
         r.task->kurtosis = k;
       },
       NRX_SS_STATUS_NULL_MEAN},
      {"covariance without its matrix", NRX_SS_EST_COVARIANCE, 0x1, [](Results& r) { r.task->covariance = nullptr; },
       NRX_SS_STATUS_NULL_COVARIANCE},
      {"central sum 3 (fast needs raw 3)", NRX_SS_EST_CENTRAL_SUM_3, 0x1,
       [](Results& r) { r.task->raw_moment[1] = nullptr; }, NRX_SS_STATUS_NULL_RAW_MOMENT_3},
      {"central sum 3 (one-pass needs no raw 3)", NRX_SS_EST_CENTRAL_SUM_3, 0x2,
       [](Results& r) { r.task->central_sum[1] = nullptr; }, NRX_SS_STATUS_NULL_CENTRAL_SUM_3},
      {"variation", NRX_SS_EST_VARIATION, 0x2, [](Results& r) { r.task->variation = nullptr; },
       NRX_SS_STATUS_NULL_VARIATION},
      {"no observations", NRX_SS_EST_MEAN, 0x2, [](Results& r) { r.n = 0; }, NRX_SS_STATUS_BAD_OBSERVATIONS},
      {"no data", NRX_SS_EST_MEAN, 0x2, [](Results& r) { r.task->data = nullptr; }, NRX_SS_STATUS_NULL_DATA},
      {"no layout", NRX_SS_EST_MEAN, 0x2, [](Results& r) { r.task->data_layout = nullptr; },
       NRX_SS_STATUS_NULL_STORAGE},
      {"bad layout", NRX_SS_EST_MEAN, 0x100, [](Results& r) { r.layout = 7; }, NRX_SS_STATUS_BAD_STORAGE},
      {"from sums, weights but no total", NRX_SS_EST_MEAN, 0x400, [](Results& r) { r.task->weights = r.x; },
       NRX_SS_STATUS_NULL_ACCUMULATED_WEIGHTS},
      {"from sums, no count and no total", NRX_SS_EST_MEAN, 0x600, [](Results& r) { r.task->observations = nullptr; },
       NRX_SS_STATUS_NULL_ACCUMULATED_WEIGHTS},
  };
  for (const Row& row : table) {
    Results r;
    if (row.setup) row.setup(r);
    const auto before = snapshot(r.task);
    EXPECT_EQ(drudSSBasic(r.task, row.est, row.meth, &nrx_threading_serial), row.status) << row.what;
    EXPECT_TRUE(r.untouched()) << row.what;
    EXPECT_TRUE(same_record(r.task, before)) << row.what;
  }
  EXPECT_EQ(drudSSBasic(nullptr, 1, 2, &nrx_threading_serial), NRX_SS_STATUS_NULL_TASK);
}

TEST(StatsBasic, EveryMissingResultAddress) {
  // Requesting estimate i with only its own address missing gives its status (fast method).
  const struct {
    uint64_t bit;
    int field;
    int32_t status;
  } rows[] = {{NRX_SS_EST_MEAN, 0, -4006},
              {NRX_SS_EST_RAW_MOMENT_2, 1, -4007},
              {NRX_SS_EST_RAW_MOMENT_3, 2, -4008},
              {NRX_SS_EST_RAW_MOMENT_4, 3, -4009},
              {NRX_SS_EST_CENTRAL_MOMENT_2, 4, -4010},
              {NRX_SS_EST_CENTRAL_MOMENT_3, 5, -4011},
              {NRX_SS_EST_CENTRAL_MOMENT_4, 6, -4012},
              {NRX_SS_EST_KURTOSIS, 7, -4013},
              {NRX_SS_EST_SKEWNESS, 8, -4014},
              {NRX_SS_EST_VARIATION, 9, -4017},
              {NRX_SS_EST_SUM_1, 10, -4074},
              {NRX_SS_EST_SUM_2, 11, -4075},
              {NRX_SS_EST_SUM_3, 12, -4076},
              {NRX_SS_EST_SUM_4, 13, -4077},
              {NRX_SS_EST_CENTRAL_SUM_2, 14, -4078},
              {NRX_SS_EST_CENTRAL_SUM_3, 15, -4079},
              {NRX_SS_EST_CENTRAL_SUM_4, 16, -4080}};
  for (const auto& row : rows) {
    Results r;
    void** fields[] = {&r.task->mean,
                       &r.task->raw_moment[0],
                       &r.task->raw_moment[1],
                       &r.task->raw_moment[2],
                       &r.task->central_moment[0],
                       &r.task->central_moment[1],
                       &r.task->central_moment[2],
                       &r.task->kurtosis,
                       &r.task->skewness,
                       &r.task->variation,
                       &r.task->sum[0],
                       &r.task->sum[1],
                       &r.task->sum[2],
                       &r.task->sum[3],
                       &r.task->central_sum[0],
                       &r.task->central_sum[1],
                       &r.task->central_sum[2]};
    *fields[row.field] = nullptr;
    EXPECT_EQ(drudSSBasic(r.task, row.bit, NRX_SS_METHOD_FAST, &nrx_threading_serial), row.status) << row.status;
    EXPECT_TRUE(r.untouched());
  }
  for (const auto& [bit, status] : {std::pair{NRX_SS_EST_CORRELATION, -4019}, {NRX_SS_EST_CROSS_PRODUCT, -4081}}) {
    Results r;
    (bit == NRX_SS_EST_CORRELATION ? r.task->correlation : r.task->cross_product) = nullptr;
    EXPECT_EQ(drudSSBasic(r.task, bit, NRX_SS_METHOD_ONE_PASS, &nrx_threading_serial), status);
  }
}

TEST(StatsBasic, AcceptedMethodMasks) {
  // 0x600 alone and a data method with 0x200 / 0x400 are accepted.
  for (uint64_t meth : {0x600ull, 0x201ull, 0x402ull, 0x700ull}) {
    Results r;
    EXPECT_EQ(drudSSBasic(r.task, NRX_SS_EST_MEAN, meth, &nrx_threading_serial), 0) << meth;
  }
}

TEST(StatsBasic, CorrelationRestoresTheVectorMathMode) {
  // The inverse square roots run under their own mode word; the caller's must come back.
  Fixture f;
  double mean[3], cor[9];
  _drudSSEditCovCor(f.task, mean, nullptr, nullptr, cor, nullptr);
  const uint32_t before = zarSetMode(ZAR_EP | ZAR_ERRMODE_IGNORE | ZAR_FTZDAZ_ON);
  const uint32_t mine = zarGetMode();
  EXPECT_EQ(drudSSBasic(f.task, NRX_SS_EST_CORRELATION, NRX_SS_METHOD_ONE_PASS, &nrx_threading_serial), 0);
  EXPECT_EQ(zarGetMode(), mine);
  EXPECT_DOUBLE_EQ(cor[0], 1.0);
  EXPECT_NEAR(cor[1], 0.99437671268436878, 1e-14);  // numpy corrcoef of 1 2 3 4 and 2 4 6 9
  zarSetMode(before);
}

// The correlation's vector-math call runs under the library's own mode; the thread's
// word and callback come back exactly, also fields the mode setters cannot clear.
int32_t keep_callback(ZarErrorContext*) { return 1; }

TEST(StatsBasic, VectorMathModeAndCallbackComeBackExactly) {
  struct Row {
    uint32_t mode;  // set before the call with zarSetMode (0: the thread's start word)
    ZarCallBack callback;
  } table[] = {{0, nullptr},
               {ZAR_EP | ZAR_ERRMODE_IGNORE, nullptr},
               {ZAR_LA | ZAR_FTZDAZ_ON, keep_callback},
               {ZAR_HA | ZAR_ERRMODE_STDERR | ZAR_TRAP_INVALID, keep_callback}};
  for (const Row& row : table) {
    const uint32_t start = zarGetMode();
    const ZarCallBack start_cb = zarGetErrorCallBack();
    if (row.mode) zarSetMode(row.mode);
    if (row.callback) zarSetErrorCallBack(row.callback);
    const uint32_t mine = zarGetMode();
    const ZarCallBack mine_cb = zarGetErrorCallBack();
    Fixture f;
    double mean[3], cor[9];
    _drudSSEditCovCor(f.task, mean, nullptr, nullptr, cor, nullptr);
    EXPECT_EQ(drudSSBasic(f.task, NRX_SS_EST_CORRELATION, NRX_SS_METHOD_ONE_PASS, &nrx_threading_serial), 0);
    EXPECT_EQ(zarGetMode(), mine) << std::hex << row.mode;
    EXPECT_EQ(zarGetErrorCallBack(), mine_cb);
    zarSetErrorCallBack(start_cb);
    zarSetMode(start);
  }
}

// Work buffers that cannot be had give -4000 before anything is read or written.
TEST(StatsOrder, MemoryExhaustionIsReported) {
  const int64_t p = 2, n = int64_t(1) << 40, layout = NRX_SS_STORAGE_ROWS;
  double x[4] = {1, 2, 3, 4}, q[2] = {-7, -7}, orders[1] = {0.5}, sorted[4] = {-7, -7, -7, -7};
  double mad[2] = {-7, -7};
  const int64_t count = 1, sorted_layout = NRX_SS_STORAGE_ROWS;
  struct Row {
    const char* what;
    int32_t (*call)(NrxSSTask*);
  } table[] = {
      {"quantiles", [](NrxSSTask* t) { return drudSSQuantiles(t, NRX_SS_EST_QUANTILES, 1, &nrx_threading_serial); }},
      {"sort", [](NrxSSTask* t) { return drudSSSort(t, 0, 0x100000, &nrx_threading_serial); }},
      {"mad", [](NrxSSTask* t) { return drudSSMAD(t, NRX_SS_EST_MEDIAN_ABS_DEVIATION, 1, &nrx_threading_serial); }},
      {"weighted median", [](NrxSSTask* t) { return drudSSWMedian(t); }},
  };
  for (const Row& row : table) {
    NrxSSTask* t = nullptr;
    ASSERT_EQ(_drudSSNewTask(&t, &p, &n, &layout, x, nullptr, nullptr, 1), 0);
    _drudSSEditQuantiles(t, &count, orders, q, nullptr, nullptr);
    _drudSSEditTask(t, NRX_SS_PARAM_SORTED_DATA, sorted);
    _druiSSEditTask(t, NRX_SS_PARAM_SORTED_DATA_STORAGE, &sorted_layout);
    _drudSSEditTask(t, NRX_SS_PARAM_MEDIAN_ABS_DEVIATION, mad);
    EXPECT_EQ(row.call(t), NRX_SS_STATUS_NO_MEMORY) << row.what;
    EXPECT_EQ(q[0], -7) << row.what;
    EXPECT_EQ(sorted[0], -7) << row.what;
    EXPECT_EQ(mad[0], -7) << row.what;
    _druSSDeleteTask(&t);
  }
}

TEST(StatsMinmax, StatusCodes) {
  struct Row {
    uint64_t est, meth;
    void (*setup)(Fixture&);
    int32_t status;
  } table[] = {
      {NRX_SS_EST_MINIMUM, 1, [](Fixture& f) { f.layout = 3; }, NRX_SS_STATUS_BAD_STORAGE},
      {NRX_SS_EST_MINIMUM, 1, nullptr, NRX_SS_STATUS_NULL_MINIMUM},
      {NRX_SS_EST_MAXIMUM, 2, nullptr, NRX_SS_STATUS_NULL_MAXIMUM},
      {0, 0x100, nullptr, NRX_SS_STATUS_BAD_METHOD},
  };
  for (const Row& row : table) {
    Fixture f;
    if (row.setup) row.setup(f);
    EXPECT_EQ(drudSSMinmax(f.task, row.est, row.meth, &nrx_threading_serial), row.status);
  }
}

}  // namespace
