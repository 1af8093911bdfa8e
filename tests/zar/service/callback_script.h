// A scripted error callback for the error-routine tests: it counts its
// calls, keeps a copy of the record, optionally replaces the results and
// returns what the script says. The script is per thread.
#pragma once
#include <cstdint>
#include <utility>

#include "nrx/zar.h"

namespace zartest {

struct CallbackScript {
  int calls = 0;
  ZarErrorContext seen{};
  int32_t result = 0;
  bool replace_results = false;
  double res1 = 0, res1_imag = 0, res2 = 0, res2_imag = 0;
};

inline thread_local CallbackScript script;

inline int32_t scripted_callback(ZarErrorContext* r) {
  ++script.calls;
  script.seen = *r;
  if (script.replace_results) {
    r->res1 = script.res1;
    r->res1_imag = script.res1_imag;
    r->res2 = script.res2;
    r->res2_imag = script.res2_imag;
  }
  return script.result;
}

// Elements of the four types from (real, imaginary); real types drop the imaginary part.
template <class T> T element(double re, double im = 0);
template <> inline float element<float>(double re, double) { return static_cast<float>(re); }
template <> inline double element<double>(double re, double) { return re; }
template <> inline NrxComplex8 element<NrxComplex8>(double re, double im) {
  return {static_cast<float>(re), static_cast<float>(im)};
}
template <> inline NrxComplex16 element<NrxComplex16>(double re, double im) { return {re, im}; }

// (real, imaginary) of an element, widened; 0 imaginary for real types.
inline std::pair<double, double> parts(float v) { return {v, 0.0}; }
inline std::pair<double, double> parts(double v) { return {v, 0.0}; }
inline std::pair<double, double> parts(NrxComplex8 v) { return {v.real, v.imag}; }
inline std::pair<double, double> parts(NrxComplex16 v) { return {v.real, v.imag}; }

template <class T> bool same_bits(const T& x, const T& y) { return __builtin_memcmp(&x, &y, sizeof(T)) == 0; }

}  // namespace zartest
