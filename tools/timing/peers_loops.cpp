// Plain loops over the correctly rounded simple functions, for the compiler to vectorise
// (-O3 -fno-trapping-math with AVX-512): what a caller gets without a library.
#include <cmath>
#include <cstring>
#include <string>

#include "tools/timing/peers.h"

namespace nrx::timing {
namespace {

template <class T, class F> void each1(size_t n, const void* a_, void* r_, F f) {
  const T* __restrict a = static_cast<const T*>(a_);
  T* __restrict r = static_cast<T*>(r_);
  for (size_t i = 0; i < n; ++i) r[i] = f(a[i]);
}
template <class T, class F> void each2(size_t n, const void* a_, const void* b_, void* r_, F f) {
  const T* __restrict a = static_cast<const T*>(a_);
  const T* __restrict b = static_cast<const T*>(b_);
  T* __restrict r = static_cast<T*>(r_);
  for (size_t i = 0; i < n; ++i) r[i] = f(a[i], b[i]);
}

#define NRX_LOOP1(name, expr)                                                                  \
  template <class T> void name(size_t n, const void* a, const void*, const double*, void* r) { \
    each1<T>(n, a, r, [](T x) { return T(expr); });                                            \
  }
#define NRX_LOOP2(name, expr)                                                                    \
  template <class T> void name(size_t n, const void* a, const void* b, const double*, void* r) { \
    each2<T>(n, a, b, r, [](T x, T y) { return T(expr); });                                      \
  }

NRX_LOOP1(ceil_, std::ceil(x))
NRX_LOOP1(floor_, std::floor(x))
NRX_LOOP1(trunc_, std::trunc(x))
NRX_LOOP1(rint_, std::rint(x))
NRX_LOOP1(nearbyint_, std::nearbyint(x))
NRX_LOOP1(round_, std::round(x))
NRX_LOOP1(sqr_, x* x)
NRX_LOOP1(abs_, std::fabs(x))
NRX_LOOP1(inv_, T(1) / x)
NRX_LOOP1(sqrt_, std::sqrt(x))
NRX_LOOP2(add_, x + y)
NRX_LOOP2(sub_, x - y)
NRX_LOOP2(mul_, x* y)
NRX_LOOP2(div_, x / y)
NRX_LOOP2(copysign_, std::copysign(x, y))
// fmax, fmin and fdim written out as compares and selects, which the compiler vectorises
// (the library calls it does not); NaN handling as in C.
NRX_LOOP2(fmax_, x > y || y != y ? x : y)
NRX_LOOP2(fmin_, x < y || y != y ? x : y)
NRX_LOOP2(fdim_, x > y ? x - y : x != x || y != y ? x + y : T(0))

template <class T> void linear_frac(size_t n, const void* a_, const void* b_, const double* s, void* r_) {
  const T* __restrict a = static_cast<const T*>(a_);
  const T* __restrict b = static_cast<const T*>(b_);
  T* __restrict r = static_cast<T*>(r_);
  const T sa = T(s[0]), ha = T(s[1]), sb = T(s[2]), hb = T(s[3]);
  for (size_t i = 0; i < n; ++i) r[i] = (sa * a[i] + ha) / (sb * b[i] + hb);
}

// Complex arrays as interleaved reals.
template <class T> void cadd(size_t n, const void* a, const void* b, const double* s, void* r) {
  add_<T>(2 * n, a, b, s, r);
}
template <class T> void csub(size_t n, const void* a, const void* b, const double* s, void* r) {
  sub_<T>(2 * n, a, b, s, r);
}
template <class T> void cconj(size_t n, const void* a_, const void*, const double*, void* r_) {
  const T* __restrict a = static_cast<const T*>(a_);
  T* __restrict r = static_cast<T*>(r_);
  for (size_t i = 0; i < n; ++i) {
    r[2 * i] = a[2 * i];
    r[2 * i + 1] = -a[2 * i + 1];
  }
}
template <class T> void cmul(size_t n, const void* a_, const void* b_, const double*, void* r_) {
  const T* __restrict a = static_cast<const T*>(a_);
  const T* __restrict b = static_cast<const T*>(b_);
  T* __restrict r = static_cast<T*>(r_);
  for (size_t i = 0; i < n; ++i) {
    const T ar = a[2 * i], ai = a[2 * i + 1], br = b[2 * i], bi = b[2 * i + 1];
    r[2 * i] = ar * br - ai * bi;
    r[2 * i + 1] = ar * bi + ai * br;
  }
}

struct Row {
  const char* func;
  bool complex;
  LoopFn s, d;
};

#define NRX_ROW(func, fn) \
  { func, false, fn<float>, fn<double> }
const Row kRows[] = {
    NRX_ROW("Ceil", ceil_),
    NRX_ROW("Floor", floor_),
    NRX_ROW("Trunc", trunc_),
    NRX_ROW("Rint", rint_),
    NRX_ROW("NearbyInt", nearbyint_),
    NRX_ROW("Round", round_),
    NRX_ROW("Sqr", sqr_),
    NRX_ROW("Abs", abs_),
    NRX_ROW("Inv", inv_),
    NRX_ROW("Sqrt", sqrt_),
    NRX_ROW("Add", add_),
    NRX_ROW("Sub", sub_),
    NRX_ROW("Mul", mul_),
    NRX_ROW("Div", div_),
    NRX_ROW("CopySign", copysign_),
    NRX_ROW("Fmax", fmax_),
    NRX_ROW("Fmin", fmin_),
    NRX_ROW("Fdim", fdim_),
    NRX_ROW("LinearFrac", linear_frac),
    {"Add", true, cadd<float>, cadd<double>},
    {"Sub", true, csub<float>, csub<double>},
    {"Conj", true, cconj<float>, cconj<double>},
    {"Mul", true, cmul<float>, cmul<double>},
};

}  // namespace

LoopFn compiler_loop(const catalog::Entry& e) {
  if (e.strided) return nullptr;
  const bool cx = e.type == 'c' || e.type == 'z';
  if (cx && e.shape != catalog::Shape::v1 && e.shape != catalog::Shape::v2) return nullptr;
  for (const Row& r : kRows)
    if (r.complex == cx && !std::strcmp(r.func, e.func)) return e.type == 's' || e.type == 'c' ? r.s : r.d;
  return nullptr;
}

}  // namespace nrx::timing
