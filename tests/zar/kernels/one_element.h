// One element among ordinary neighbours (0.75) through a unit-stride kernel slot, with the
// error reports it caused and the status afterwards.
#pragma once
#include <cstdint>
#include <vector>

#include "nrx/zar_functions.h"

namespace nrx::test {

struct Report {
  int code, index;
};

template <class T> struct OneElement {
  T result;
  std::vector<Report> reports;
  int status;
};

inline std::vector<Report>& reports() {
  static std::vector<Report> r;
  return r;
}

// Index 21 of 23: the second register of the main part for float, the tail for double.
template <class T> OneElement<T> run_one(void* kernel, T x, int at = 21, int n = 23) {
  std::vector<T> a(n, T(0.75)), r(n);
  a[at] = x;
  reports().clear();
  zarClearErrStatus();
  zarSetErrorCallBack([](ZarErrorContext* e) -> int32_t {
    reports().push_back({e->code, e->index});
    return 1;
  });
  reinterpret_cast<void (*)(int32_t, const T*, T*)>(kernel)(n, a.data(), r.data());
  zarClearErrorCallBack();
  return {r[at], reports(), zarGetErrStatus()};
}

}  // namespace nrx::test
