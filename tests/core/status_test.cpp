// Status lookup: every row of each service's list is found by its own code, codes mean
// different things in different services, and unknown codes give NULL.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "nrx/fit.h"
#include "nrx/rng.h"
#include "nrx/stats.h"
#include "nrx/status.h"
#include "nrx/zar.h"

namespace {

struct Row {
  int32_t service;
  int32_t code;
  const char* name;
  const char* message;
};

#define ROW_VM(NAME, value, msg) {NRX_SERVICE_VM, int32_t(value), #NAME, msg},
#define ROW_RNG(NAME, value, msg) {NRX_SERVICE_RNG, int32_t(value), #NAME, msg},
#define ROW_SS(NAME, value, msg) {NRX_SERVICE_STATS, int32_t(value), #NAME, msg},
#define ROW_DF(NAME, value, msg) {NRX_SERVICE_FIT, int32_t(value), #NAME, msg},

// Every row of every list the headers carry, expanded here independently of the library.
const Row kListed[] = {
#ifdef NRX_ZAR_STATUS_LIST
    NRX_ZAR_STATUS_LIST(ROW_VM)
#endif
#ifdef NRX_RNG_STATUS_LIST
        NRX_RNG_STATUS_LIST(ROW_RNG)
#endif
#ifdef NRX_SS_STATUS_LIST
            NRX_SS_STATUS_LIST(ROW_SS)
#endif
#ifdef NRX_DF_STATUS_LIST
                NRX_DF_STATUS_LIST(ROW_DF)
#endif
                    {-1, 0, nullptr, nullptr}};

bool listed(int32_t service) {
  for (const Row& r : kListed)
    if (r.name && r.service == service) return true;
  return false;
}

TEST(StatusLookup, EveryListedRowIsFoundByItsCode) {
  for (const Row& r : kListed) {
    if (!r.name) continue;
    SCOPED_TRACE(r.name);
    ASSERT_NE(nrx_status_name(r.service, r.code), nullptr);
    EXPECT_STREQ(nrx_status_name(r.service, r.code), r.name);
    EXPECT_STREQ(nrx_status_message(r.service, r.code), r.message);
    EXPECT_GT(std::strlen(r.message), 0u);
  }
}

// A code listed twice in one service would make the lookup return only the first row.
TEST(StatusLookup, CodesAreUniqueWithinAService) {
  std::set<std::pair<int32_t, int32_t>> seen;
  for (const Row& r : kListed)
    if (r.name) {
      EXPECT_TRUE(seen.insert({r.service, r.code}).second) << r.name;
    }
}

// The header constants are the oracle: the lookup must agree with the value each name has.
TEST(StatusLookup, NamesMatchTheHeaderConstants) {
  const Row kKnown[] = {
      {NRX_SERVICE_VM, ZAR_ST_DOMAIN, "ZAR_ST_DOMAIN", nullptr},
      {NRX_SERVICE_VM, ZAR_ST_BAD_POINTER, "ZAR_ST_BAD_POINTER", nullptr},
      {NRX_SERVICE_RNG, DRU_E_BAD_ARGUMENT, "DRU_E_BAD_ARGUMENT", nullptr},
      {NRX_SERVICE_RNG, DRU_E_BAD_FILE_IMAGE, "DRU_E_BAD_FILE_IMAGE", nullptr},
      {NRX_SERVICE_STATS, NRX_SS_STATUS_BAD_PARAMETER, "NRX_SS_STATUS_BAD_PARAMETER", nullptr},
      {NRX_SERVICE_STATS, NRX_SS_STATUS_NULL_RAW_MOMENT_2, "NRX_SS_STATUS_NULL_RAW_MOMENT_2", nullptr},
      {NRX_SERVICE_FIT, DFK_ERR_NX, "DFK_ERR_NX", nullptr},
      {NRX_SERVICE_FIT, DFK_ERR_SOLVER, "DFK_ERR_SOLVER", nullptr},
  };
  int checked = 0;
  for (const Row& r : kKnown) {
    if (!listed(r.service)) continue;
    ++checked;
    const char* got = nrx_status_name(r.service, r.code);
    EXPECT_STREQ(got ? got : "(null)", r.name) << "code " << r.code;
  }
  if (!checked) GTEST_SKIP() << "no status list in the headers yet";
}

// -3 is a bad argument for random numbers and a bad parameter for statistics; -1000 a bad
// generator and a null fitting task: a lookup that ignores the service mixes them up.
TEST(StatusLookup, TheServiceSelectsTheMeaning) {
  const std::pair<int32_t, int32_t> kShared[] = {{NRX_SERVICE_RNG, NRX_SERVICE_STATS},
                                                 {NRX_SERVICE_RNG, NRX_SERVICE_FIT}};
  const int32_t kCodes[] = {-3, -1000, -1001};
  int checked = 0;
  for (auto [a, b] : kShared)
    for (int32_t c : kCodes) {
      const char *na = nrx_status_name(a, c), *nb = nrx_status_name(b, c);
      if (!na || !nb) continue;
      ++checked;
      EXPECT_STRNE(na, nb) << "code " << c;
    }
  if (!checked) GTEST_SKIP() << "no two services list a shared code yet";
}

TEST(StatusLookup, UnknownServiceOrCodeGivesNull) {
  const Row kUnknown[] = {
      {-1, 0, nullptr, nullptr},
      {4, DFK_ERR_NX, nullptr, nullptr},
      {NRX_SERVICE_VM, 5, nullptr, nullptr},
      {NRX_SERVICE_RNG, -999, nullptr, nullptr},
      {NRX_SERVICE_STATS, -1, nullptr, nullptr},
      {NRX_SERVICE_FIT, -1003, nullptr, nullptr},
      {NRX_SERVICE_FIT, INT32_MIN, nullptr, nullptr},
  };
  for (const Row& r : kUnknown) {
    EXPECT_EQ(nrx_status_name(r.service, r.code), nullptr) << r.service << " " << r.code;
    EXPECT_EQ(nrx_status_message(r.service, r.code), nullptr) << r.service << " " << r.code;
  }
}

}  // namespace
