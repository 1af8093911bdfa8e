// The error routine: what is recorded, when the callback runs, what reaches
// the result arrays, and how the index counts from the interface base pointer.
#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "callback_script.h"
#include "fresh_thread.h"
#include "zar/service/error.h"

namespace {

using nrx::zar::report_element_error;
using zartest::element;
using zartest::on_fresh_thread;
using zartest::parts;
using zartest::script;
using zartest::scripted_callback;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr int kUntouchedErrno = 12345;

// A new thread's error-handling field set to exactly `errmode`, with the
// scripted callback registered (whether the mode calls it is up to `errmode`).
void enter_mode(uint32_t errmode, int32_t callback_result = 0) {
  zarSetErrorCallBack(scripted_callback);
  zarSetMode(errmode);
  script = {};
  script.result = callback_result;
}

// ---- Mode gate: NOERR, IGNORE, callback, default handler ----------------------

TEST(ErrorRoutine, ErrorFieldSelectsSteps) {
  struct Row {
    uint32_t errmode;
    int32_t status;  // afterwards; 7 was stored before
    int calls;       // callback calls
    int err;         // errno afterwards
    bool delivered;  // the callback's replacement result reached the array
  };
  const Row rows[] = {
      {ZAR_ERRMODE_NOERR, 7, 0, kUntouchedErrno, false},
      {ZAR_ERRMODE_IGNORE, 1, 0, kUntouchedErrno, false},
      {ZAR_ERRMODE_IGNORE | ZAR_ERRMODE_ERRNO, 1, 0, 33, false},
      {ZAR_ERRMODE_NOERR | ZAR_ERRMODE_ERRNO, 1, 0, 33, false},
      {ZAR_ERRMODE_NOERR | ZAR_ERRMODE_CALLBACK, 1, 1, kUntouchedErrno, true},
      {ZAR_ERRMODE_IGNORE | ZAR_ERRMODE_CALLBACK, 1, 1, kUntouchedErrno, true},
      {ZAR_ERRMODE_CALLBACK, 1, 1, kUntouchedErrno, true},
      {ZAR_ERRMODE_ERRNO, 1, 0, 33, false},  // callback registered, but not in the mode
      {ZAR_ERRMODE_DEFAULT, 1, 1, 33, true},
  };
  for (const Row& row : rows) {
    on_fresh_thread([&] {
      enter_mode(row.errmode);
      script.replace_results = true;
      script.res1 = script.res2 = 42.0;
      zarSetErrStatus(7);
      const double a[1] = {-1.0};
      double r[1] = {kNaN};
      errno = kUntouchedErrno;
      report_element_error<double, double>(ZAR_ST_DOMAIN, 0, a, 1, a, 1, r, 1, r, 1, "vdLn");
      const int err = errno;
      SCOPED_TRACE(::testing::Message() << "error field 0x" << std::hex << row.errmode);
      EXPECT_EQ(zarGetErrStatus(), row.status);
      EXPECT_EQ(script.calls, row.calls);
      EXPECT_EQ(err, row.err);
      if (row.delivered) EXPECT_EQ(r[0], 42.0);
      else EXPECT_TRUE(std::isnan(r[0]));
    });
  }
}

TEST(ErrorRoutine, StatusIsReplacedNotCombined) {
  struct Row {
    int32_t before, code;
  };
  const Row rows[] = {{3, 1}, {1, 2}, {-2, 4}, {0, -1}, {4, 3}, {2, -2}};
  for (const Row& row : rows) {
    const int32_t status = on_fresh_thread([&] {
      zarSetMode(ZAR_ERRMODE_IGNORE);
      zarSetErrStatus(row.before);
      const float a[1] = {0.0f};
      float r[1] = {0.0f};
      report_element_error<float, float>(row.code, 0, a, 1, a, 1, r, 1, r, 1, "vsLn");
      return zarGetErrStatus();
    });
    EXPECT_EQ(status, row.code) << "status before " << row.before;
  }
}

// ---- Callback result and write-back --------------------------------------------

TEST(ErrorRoutine, CallbackResultDecidesWriteBack) {
  struct Row {
    int32_t result;   // the callback's return value
    bool replace;     // the callback changes the record's results
    bool one_result;  // r passed for r1 and r2
    double r1, r2;    // the arrays afterwards
    int err;
  };
  const double k1 = 5.0, k2 = 6.0;  // the kernel's results
  const Row rows[] = {
      {0, true, false, 10.0, 20.0, 33},
      {0, true, true, 10.0, 10.0, 33},  // r2 is written first, so r1 wins
      {0, false, false, k1, k2, 33},
      {1, true, false, k1, k2, kUntouchedErrno},  // dealt with: nothing written, no default handling
      {1, true, true, k1, k1, kUntouchedErrno},
      {-7, true, false, k1, k2, kUntouchedErrno},
  };
  for (const Row& row : rows) {
    on_fresh_thread([&] {
      enter_mode(ZAR_ERRMODE_CALLBACK | ZAR_ERRMODE_ERRNO, row.result);
      script.replace_results = row.replace;
      script.res1 = 10.0;
      script.res2 = 20.0;
      const double a[2] = {0.5, 0.25};
      double r1[2] = {k1, -1.0};
      double r2[2] = {k2, -1.0};
      double* second = row.one_result ? r1 : r2;
      errno = kUntouchedErrno;
      report_element_error<double, double>(ZAR_ST_DOMAIN, 0, a, 1, a, 1, r1, 1, second, 1, "vdSinCos");
      const int err = errno;
      SCOPED_TRACE(::testing::Message() << "callback returns " << row.result << (row.one_result ? ", one result" : ""));
      EXPECT_EQ(script.calls, 1);
      EXPECT_EQ(r1[0], row.r1);
      EXPECT_EQ(second[0], row.r2);
      EXPECT_EQ(r1[1], -1.0);
      EXPECT_EQ(r2[1], -1.0);
      EXPECT_EQ(err, row.err);
    });
  }
}

// ---- Record contents and write-back, per element-type pair -------------------------

template <class In, class Out> struct Pair {
  using in = In;
  using out = Out;
};

// What a written-back result of 1 + 2^-30 (imaginary -3.25) and 1e300 (imaginary 5.5) becomes.
template <class T> struct Delivered;
template <> struct Delivered<float> {
  static float first() { return 1.0f; }
  static float second() { return std::numeric_limits<float>::infinity(); }
};
template <> struct Delivered<double> {
  static double first() { return 1.0 + 0x1p-30; }
  static double second() { return 1e300; }
};
template <> struct Delivered<NrxComplex8> {
  static NrxComplex8 first() { return {1.0f, -3.25f}; }
  static NrxComplex8 second() { return {std::numeric_limits<float>::infinity(), 5.5f}; }
};
template <> struct Delivered<NrxComplex16> {
  static NrxComplex16 first() { return {1.0 + 0x1p-30, -3.25}; }
  static NrxComplex16 second() { return {1e300, 5.5}; }
};

template <class P> class RecordPerType : public ::testing::Test {};

using TypePairs = ::testing::Types<Pair<float, float>, Pair<double, double>, Pair<NrxComplex8, NrxComplex8>,
                                   Pair<NrxComplex16, NrxComplex16>, Pair<NrxComplex8, float>,
                                   Pair<NrxComplex16, double>, Pair<float, NrxComplex8>, Pair<double, NrxComplex16>>;
TYPED_TEST_SUITE(RecordPerType, TypePairs);

// Arrays whose every position holds a different value (0.1-steps, so widened
// floats differ from the decimal constants).
template <class In, class Out> struct StridedArrays {
  std::vector<In> a, b;
  std::vector<Out> r1, r2;
  StridedArrays() {
    for (int k = 0; k < 40; ++k) {
      a.push_back(element<In>(0.1 * (k + 1), -0.3 * (k + 1)));
      b.push_back(element<In>(100.1 + k, 200.7 + k));
      r1.push_back(element<Out>(300.1 + k, -400.9 - k));
      r2.push_back(element<Out>(500.3 + k, 600.6 + k));
    }
  }
};

constexpr int64_t kIndex = 3, kIncA = 2, kIncB = 3, kIncR1 = 4, kIncR2 = 5;

TYPED_TEST(RecordPerType, StridedElementsReachTheRecord) {
  using In = typename TypeParam::in;
  using Out = typename TypeParam::out;
  on_fresh_thread([] {
    enter_mode(ZAR_ERRMODE_CALLBACK, 1);
    StridedArrays<In, Out> v;
    const StridedArrays<In, Out> before = v;
    report_element_error<In, Out>(ZAR_ST_RESULT_TOO_LARGE, kIndex, v.a.data(), kIncA, v.b.data(), kIncB, v.r1.data(),
                                  kIncR1, v.r2.data(), kIncR2, "vzCosh");
    ASSERT_EQ(script.calls, 1);
    const ZarErrorContext& r = script.seen;
    EXPECT_EQ(r.code, ZAR_ST_RESULT_TOO_LARGE);
    EXPECT_EQ(r.index, kIndex);
    EXPECT_EQ(std::pair(r.arg1, r.arg1_imag), parts(before.a[kIndex * kIncA]));
    EXPECT_EQ(std::pair(r.arg2, r.arg2_imag), parts(before.b[kIndex * kIncB]));
    EXPECT_EQ(std::pair(r.res1, r.res1_imag), parts(before.r1[kIndex * kIncR1]));
    EXPECT_EQ(std::pair(r.res2, r.res2_imag), parts(before.r2[kIndex * kIncR2]));
    EXPECT_STREQ(r.name, "vzCosh");
    EXPECT_EQ(r.name_length, 6);
    // The callback dealt with it: no array changed.
    for (size_t k = 0; k < v.r1.size(); ++k) {
      EXPECT_TRUE(zartest::same_bits(v.r1[k], before.r1[k])) << k;
      EXPECT_TRUE(zartest::same_bits(v.r2[k], before.r2[k])) << k;
    }
  });
}

TYPED_TEST(RecordPerType, StridedResultsAreWrittenBackNarrowed) {
  using In = typename TypeParam::in;
  using Out = typename TypeParam::out;
  on_fresh_thread([] {
    enter_mode(ZAR_ERRMODE_CALLBACK, 0);
    script.replace_results = true;
    script.res1 = 1.0 + 0x1p-30;
    script.res1_imag = -3.25;
    script.res2 = 1e300;
    script.res2_imag = 5.5;
    StridedArrays<In, Out> v;
    const StridedArrays<In, Out> before = v;
    report_element_error<In, Out>(ZAR_ST_POLE, kIndex, v.a.data(), kIncA, v.b.data(), kIncB, v.r1.data(), kIncR1,
                                  v.r2.data(), kIncR2, "vcAbs");
    for (size_t k = 0; k < v.r1.size(); ++k) {
      const bool hit1 = k == static_cast<size_t>(kIndex * kIncR1);
      const bool hit2 = k == static_cast<size_t>(kIndex * kIncR2);
      EXPECT_TRUE(zartest::same_bits(v.r1[k], hit1 ? Delivered<Out>::first() : before.r1[k])) << "r1 " << k;
      EXPECT_TRUE(zartest::same_bits(v.r2[k], hit2 ? Delivered<Out>::second() : before.r2[k])) << "r2 " << k;
    }
  });
}

// ---- Index and interface base pointer ----------------------------------------------

// The reported index when the kernel's array `a` starts at element a_at of a
// caller's vector and the base pointer is at element base_at (none: unset).
template <class In, class Out>
int32_t reported_index(std::optional<int> base_at, int a_at, int64_t index, bool b_elsewhere) {
  return on_fresh_thread([=] {
    enter_mode(ZAR_ERRMODE_CALLBACK, 1);
    static std::vector<In> vector(2100, element<In>(0.75, 0.5));
    static std::vector<In> other(2100, element<In>(0.75, 0.5));
    static std::vector<Out> result(2100, element<Out>(0.0, 0.0));
    if (base_at) zarSetInterfInputVectorPointer(vector.data() + *base_at);
    const In* a = vector.data() + a_at;
    const In* b = b_elsewhere ? other.data() : a;
    report_element_error<In, Out>(ZAR_ST_DOMAIN, index, a, 1, b, 1, result.data(), 1, result.data(), 1, "vdExp");
    return script.seen.index;
  });
}

TEST(ErrorRoutine, IndexCountsFromBasePointer) {
  struct Row {
    const char* types;
    int32_t (*run)(std::optional<int>, int, int64_t, bool);
    std::optional<int> base_at;
    int a_at;
    int64_t index;
    bool b_elsewhere;
    int32_t reported;
  };
  const Row rows[] = {
      {"d", reported_index<double, double>, 0, 1000, 5, false, 1005},
      {"s", reported_index<float, float>, 0, 1000, 5, false, 1005},
      {"z", reported_index<NrxComplex16, NrxComplex16>, 0, 1000, 5, false, 1005},
      {"c->s", reported_index<NrxComplex8, float>, 0, 1000, 5, false, 1005},
      {"s->c", reported_index<float, NrxComplex8>, 0, 1000, 5, false, 1005},
      {"d", reported_index<double, double>, 1000, 1000, 5, false, 5},
      {"d", reported_index<double, double>, 10, 4, 2, false, -4},  // base after the array
      {"z", reported_index<NrxComplex16, NrxComplex16>, 2000, 0, 0, false, -2000},
      {"d", reported_index<double, double>, std::nullopt, 1000, 5, false, 5},
      {"d, b elsewhere", reported_index<double, double>, 0, 1000, 5, true, 1005},  // only a counts
      {"s", reported_index<float, float>, 0, 0, 2099, false, 2099},
  };
  for (const Row& r : rows)
    EXPECT_EQ(r.run(r.base_at, r.a_at, r.index, r.b_elsewhere), r.reported)
        << r.types << " base " << (r.base_at ? std::to_string(*r.base_at) : "unset") << " a at " << r.a_at;
}

// ---- Argument-error codes --------------------------------------------------------------

TEST(ErrorRoutine, ArgumentErrorCodesRecordNoValues) {
  struct Row {
    int32_t code;
    uint32_t errmode;
    int32_t callback_result;
    int calls;
    int err;
  };
  const Row rows[] = {
      {ZAR_ST_BAD_LENGTH, ZAR_ERRMODE_CALLBACK | ZAR_ERRMODE_ERRNO, 0, 1, 22},
      {ZAR_ST_BAD_LENGTH, ZAR_ERRMODE_CALLBACK | ZAR_ERRMODE_ERRNO, 1, 1, kUntouchedErrno},
      {ZAR_ST_BAD_LENGTH, ZAR_ERRMODE_ERRNO, 0, 0, 22},
      {ZAR_ST_BAD_POINTER, ZAR_ERRMODE_ERRNO, 0, 0, 13},
      {ZAR_ST_BAD_POINTER, ZAR_ERRMODE_CALLBACK | ZAR_ERRMODE_ERRNO, 0, 1, 13},
      {ZAR_ST_BAD_POINTER, ZAR_ERRMODE_CALLBACK | ZAR_ERRMODE_ERRNO, 1, 1, kUntouchedErrno},
      {ZAR_ST_BAD_POINTER, ZAR_ERRMODE_CALLBACK, 0, 1, kUntouchedErrno},
      {ZAR_ST_BAD_POINTER, ZAR_ERRMODE_IGNORE, 0, 0, kUntouchedErrno},
  };
  for (const Row& row : rows) {
    on_fresh_thread([&] {
      enter_mode(row.errmode, row.callback_result);
      script.replace_results = true;
      script.res1 = script.res2 = 99.0;
      errno = kUntouchedErrno;
      // Callers reporting argument errors may have no arrays at all.
      report_element_error<double, double>(row.code, 4, nullptr, 1, nullptr, 1, nullptr, 1, nullptr, 1, "vdAdd");
      const int err = errno;
      SCOPED_TRACE(::testing::Message() << "code " << row.code << ", field 0x" << std::hex << row.errmode);
      EXPECT_EQ(zarGetErrStatus(), row.code);
      EXPECT_EQ(script.calls, row.calls);
      EXPECT_EQ(err, row.err);
      if (row.calls) {
        const ZarErrorContext& r = script.seen;
        EXPECT_EQ(r.code, row.code);
        EXPECT_EQ(r.index, 4);
        EXPECT_STREQ(r.name, "vdAdd");
        EXPECT_EQ(r.arg1, 0.0);
        EXPECT_EQ(r.arg2, 0.0);
        EXPECT_EQ(r.res1, 0.0);
        EXPECT_EQ(r.res2, 0.0);
      }
    });
  }
  // With arrays present, nothing is written to them either.
  on_fresh_thread([] {
    enter_mode(ZAR_ERRMODE_CALLBACK, 0);
    script.replace_results = true;
    script.res1 = script.res2 = 99.0;
    const double a[1] = {1.0};
    double r[1] = {2.0};
    report_element_error<double, double>(ZAR_ST_BAD_LENGTH, 0, a, 1, a, 1, r, 1, r, 1, "vdAdd");
    report_element_error<double, double>(ZAR_ST_BAD_POINTER, 0, a, 1, a, 1, r, 1, r, 1, "vdAdd");
    EXPECT_EQ(r[0], 2.0);
    EXPECT_EQ(script.calls, 2);
  });
}

TEST(ErrorRoutine, NameIsCutAt47Characters) {
  struct Row {
    std::string name;
    std::string recorded;
  };
  const std::string long_name(60, 'q');
  const Row rows[] = {
      {"vsSin", "vsSin"},
      {"", ""},
      {std::string(47, 'x'), std::string(47, 'x')},
      {std::string(48, 'y'), std::string(47, 'y')},
      {long_name, long_name.substr(0, 47)},
  };
  for (const Row& row : rows) {
    const auto [name, length] = on_fresh_thread([&] {
      enter_mode(ZAR_ERRMODE_CALLBACK, 1);
      const float a[1] = {0};
      float r[1] = {0};
      report_element_error<float, float>(ZAR_ST_DOMAIN, 0, a, 1, a, 1, r, 1, r, 1, row.name.c_str());
      return std::pair{std::string(script.seen.name), script.seen.name_length};
    });
    EXPECT_EQ(name, row.recorded);
    EXPECT_EQ(length, static_cast<int32_t>(row.recorded.size()));
  }
}

}  // namespace
