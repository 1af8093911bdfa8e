// Loops over the C library's complex power (cpow) for Pow and Powx, the baseline a caller
// without a vector library gets; the one-argument functions are called through peers.cpp.
#include <cstring>

#include "tools/timing/peers.h"

extern "C" {
float _Complex cpowf(float _Complex, float _Complex);
double _Complex cpow(double _Complex, double _Complex);
}

namespace nrx::timing {
namespace {

template <class T> struct CxOf;
template <> struct CxOf<float> { using type = float _Complex; };
template <> struct CxOf<double> { using type = double _Complex; };
template <class T> using Cx = typename CxOf<T>::type;

template <class T, Cx<T> (*F)(Cx<T>, Cx<T>)>
void loop2(size_t n, const void* a_, const void* b_, const double*, void* r_) {
  const Cx<T>* a = static_cast<const Cx<T>*>(a_);
  const Cx<T>* b = static_cast<const Cx<T>*>(b_);
  Cx<T>* r = static_cast<Cx<T>*>(r_);
  for (size_t i = 0; i < n; ++i) r[i] = F(a[i], b[i]);
}
// Powx: one exponent, the workload's first two scalars.
template <class T, Cx<T> (*F)(Cx<T>, Cx<T>)>
void loop_scalar(size_t n, const void* a_, const void*, const double* s, void* r_) {
  const Cx<T>* a = static_cast<const Cx<T>*>(a_);
  Cx<T>* r = static_cast<Cx<T>*>(r_);
  Cx<T> b;
  __real__ b = T(s[0]);
  __imag__ b = T(s[1]);
  for (size_t i = 0; i < n; ++i) r[i] = F(a[i], b);
}

struct Row {
  const char* func;
  const char* symbol;
  LoopFn c, z;
};

const Row kRows[] = {
    {"Pow", "cpow", loop2<float, cpowf>, loop2<double, cpow>},
    {"Powx", "cpow", loop_scalar<float, cpowf>, loop_scalar<double, cpow>},
};

}  // namespace

LoopFn glibc_complex_loop(const catalog::Entry& e, const char** symbol) {
  if (e.strided || (e.type != 'c' && e.type != 'z')) return nullptr;
  for (const Row& r : kRows)
    if (!std::strcmp(r.func, e.func)) {
      *symbol = r.symbol;
      return e.type == 'c' ? r.c : r.z;
    }
  return nullptr;
}

}  // namespace nrx::timing
