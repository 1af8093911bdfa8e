// Status names and messages of the four services, expanded from each service's status list.
#include "nrx/status.h"

#include "nrx/fit.h"
#include "nrx/rng.h"
#include "nrx/stats.h"
#include "nrx/zar.h"

namespace {

struct Entry {
  int32_t code;
  const char* name;
  const char* message;
};

#define NRX_STATUS_ROW(NAME, value, message) {int32_t(value), #NAME, message},
// Each table ends with a row without a name.
constexpr Entry kVm[] = {NRX_ZAR_STATUS_LIST(NRX_STATUS_ROW){0, nullptr, nullptr}};
constexpr Entry kRng[] = {NRX_RNG_STATUS_LIST(NRX_STATUS_ROW){0, nullptr, nullptr}};
constexpr Entry kStats[] = {NRX_SS_STATUS_LIST(NRX_STATUS_ROW){0, nullptr, nullptr}};
constexpr Entry kFit[] = {NRX_DF_STATUS_LIST(NRX_STATUS_ROW){0, nullptr, nullptr}};
#undef NRX_STATUS_ROW

const Entry* find(int32_t service, int32_t code) {
  static constexpr const Entry* kServices[] = {kVm, kRng, kStats, kFit};
  if (service < 0 || service >= int32_t(sizeof kServices / sizeof kServices[0])) return nullptr;
  for (const Entry* e = kServices[service]; e->name; ++e)
    if (e->code == code) return e;
  return nullptr;
}

}  // namespace

extern "C" const char* nrx_status_name(int32_t service, int32_t code) {
  const Entry* e = find(service, code);
  return e ? e->name : nullptr;
}

extern "C" const char* nrx_status_message(int32_t service, int32_t code) {
  const Entry* e = find(service, code);
  return e ? e->message : nullptr;
}
