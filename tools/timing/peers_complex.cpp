// Loops over the C library's complex functions (cabs, carg, cexp, clog, csqrt, cexp(i x) for
// CIS, cpow for Pow and Powx) and the runtime's complex division: what a caller gets element
// by element. The other one-argument functions (csin, casinh, ...) are called through peers.cpp.
#include <cstring>

#include "tools/timing/peers.h"

extern "C" {
float cabsf(float _Complex);
double cabs(double _Complex);
float cargf(float _Complex);
double carg(double _Complex);
float _Complex cexpf(float _Complex);
double _Complex cexp(double _Complex);
float _Complex clogf(float _Complex);
double _Complex clog(double _Complex);
float _Complex csqrtf(float _Complex);
double _Complex csqrt(double _Complex);
float _Complex cpowf(float _Complex, float _Complex);
double _Complex cpow(double _Complex, double _Complex);
}

namespace nrx::timing {
namespace {

template <class T> struct C;
template <> struct C<float> {
  using Z = float _Complex;
  static float abs(Z z) { return cabsf(z); }
  static float arg(Z z) { return cargf(z); }
  static Z exp(Z z) { return cexpf(z); }
  static Z log(Z z) { return clogf(z); }
  static Z sqrt(Z z) { return csqrtf(z); }
  static Z pow(Z a, Z b) { return cpowf(a, b); }
};
template <> struct C<double> {
  using Z = double _Complex;
  static double abs(Z z) { return cabs(z); }
  static double arg(Z z) { return carg(z); }
  static Z exp(Z z) { return cexp(z); }
  static Z log(Z z) { return clog(z); }
  static Z sqrt(Z z) { return csqrt(z); }
  static Z pow(Z a, Z b) { return cpow(a, b); }
};

template <class T, class F> void to_real(size_t n, const void* a_, void* r_, F f) {
  const auto* a = static_cast<const typename C<T>::Z*>(a_);
  T* r = static_cast<T*>(r_);
  for (size_t i = 0; i < n; ++i) r[i] = f(a[i]);
}
template <class T, class F> void to_complex(size_t n, const void* a_, void* r_, F f) {
  const auto* a = static_cast<const typename C<T>::Z*>(a_);
  auto* r = static_cast<typename C<T>::Z*>(r_);
  for (size_t i = 0; i < n; ++i) r[i] = f(a[i]);
}

template <class T> void abs_(size_t n, const void* a, const void*, const double*, void* r) {
  to_real<T>(n, a, r, C<T>::abs);
}
template <class T> void arg_(size_t n, const void* a, const void*, const double*, void* r) {
  to_real<T>(n, a, r, C<T>::arg);
}
template <class T> void exp_(size_t n, const void* a, const void*, const double*, void* r) {
  to_complex<T>(n, a, r, C<T>::exp);
}
template <class T> void log_(size_t n, const void* a, const void*, const double*, void* r) {
  to_complex<T>(n, a, r, C<T>::log);
}
template <class T> void sqrt_(size_t n, const void* a, const void*, const double*, void* r) {
  to_complex<T>(n, a, r, C<T>::sqrt);
}
template <class T> void cis_(size_t n, const void* a_, const void*, const double*, void* r_) {
  const T* a = static_cast<const T*>(a_);
  auto* r = static_cast<typename C<T>::Z*>(r_);
  for (size_t i = 0; i < n; ++i) {
    typename C<T>::Z z;
    __real__ z = 0, __imag__ z = a[i];
    r[i] = C<T>::exp(z);
  }
}
template <class T> void pow_(size_t n, const void* a_, const void* b_, const double*, void* r_) {
  using Z = typename C<T>::Z;
  const Z* a = static_cast<const Z*>(a_);
  const Z* b = static_cast<const Z*>(b_);
  Z* r = static_cast<Z*>(r_);
  for (size_t i = 0; i < n; ++i) r[i] = C<T>::pow(a[i], b[i]);
}
// Powx: one exponent, the workload's first two scalars.
template <class T> void powx_(size_t n, const void* a_, const void*, const double* s, void* r_) {
  using Z = typename C<T>::Z;
  const Z* a = static_cast<const Z*>(a_);
  Z* r = static_cast<Z*>(r_);
  Z b;
  __real__ b = T(s[0]);
  __imag__ b = T(s[1]);
  for (size_t i = 0; i < n; ++i) r[i] = C<T>::pow(a[i], b);
}
template <class T> void div_(size_t n, const void* a_, const void* b_, const double*, void* r_) {
  using Z = typename C<T>::Z;
  const Z* a = static_cast<const Z*>(a_);
  const Z* b = static_cast<const Z*>(b_);
  Z* r = static_cast<Z*>(r_);
  for (size_t i = 0; i < n; ++i) r[i] = a[i] / b[i];
}

struct Row {
  const char* func;
  LoopFn c, z;
};
#define NRX_ROW(func, fn) \
  { func, fn<float>, fn<double> }
const Row kRows[] = {NRX_ROW("Abs", abs_), NRX_ROW("Arg", arg_),   NRX_ROW("Exp", exp_),
                     NRX_ROW("Ln", log_),  NRX_ROW("Sqrt", sqrt_), NRX_ROW("CIS", cis_),
                     NRX_ROW("Div", div_), NRX_ROW("Pow", pow_),   NRX_ROW("Powx", powx_)};

}  // namespace

LoopFn c_library_complex_loop(const catalog::Entry& e) {
  if (e.strided || (e.type != 'c' && e.type != 'z')) return nullptr;
  for (const Row& r : kRows)
    if (!std::strcmp(r.func, e.func)) return e.type == 'c' ? r.c : r.z;
  return nullptr;
}

}  // namespace nrx::timing
