// What every continuous law shares: the call frame (floating-point state, vector-math
// mode word and error callback), the uniform draws from the stream's record, and the
// vector-math calls through the third table entry under the internal mode.
#pragma once
#include <algorithm>
#include <cfenv>
#include <cstdint>

#include "common/vm_mode.h"
#include "nrx/zar_functions.h"
#include "rng/internal.h"
#include "simd/fpstate.h"

namespace nrx::rng::dist {

// Results per work block: the block's uniforms and transforms live on the stack.
inline constexpr int32_t kBlock = 1024;
// 2 pi as a double, 6.283185307179586.
inline constexpr double kTwoPi = 6.283185307179586;
// sqrt(2), 1.4142135623730951.
inline constexpr double kSqrt2 = 1.4142135623730951;

template <class T> struct Limits;
// ln of the smallest positive subnormal: the finite stand-in for ln 0.
template <> struct Limits<double> { static constexpr double kLnZero = -744.4400719213812; };
template <> struct Limits<float> { static constexpr double kLnZero = -103.2789306640625; };
// erfinv at the largest double below 1: the finite stand-in for erfinv(+-1).
inline constexpr double kErfInvOne = 5.8635847487551676;

// The frame of a law's call: exceptions masked with nearest rounding and no flushing,
// mode word ZAR_ERRMODE_CALLBACK and the law's callback; flags raised inside never
// reach the caller, whose own flags stay, and everything comes back on every way out.
class Frame {
 public:
  explicit Frame(ZarCallBack callback) : vm_(common::kCallbackOnly, callback) {
    std::fegetexceptflag(&flags_, FE_ALL_EXCEPT);
    std::feclearexcept(FE_ALL_EXCEPT);
  }
  ~Frame() { std::fesetexceptflag(&flags_, FE_ALL_EXCEPT); }
  Frame(const Frame&) = delete;
  Frame& operator=(const Frame&) = delete;

 private:
  std::fexcept_t flags_{};
  simd::FpState fp_{false};
  common::VmModeGuard vm_;
};

// The callbacks of the laws, for float and double (ln 0 differs).
template <class T> int32_t ln_zero_any(ZarErrorContext* e) {
  e->res1 = e->res2 = Limits<T>::kLnZero;
  return 0;
}
template <class T> int32_t ln_zero_singular(ZarErrorContext* e) {
  if (e->code == ZAR_ST_POLE) e->res1 = e->res2 = Limits<T>::kLnZero;
  return 0;
}
template <class T> int32_t gaussian_callback(ZarErrorContext* e) {
  if (e->code != ZAR_ST_POLE && e->code != ZAR_ST_DOMAIN) return 0;
  double v = kErfInvOne;
  if (e->code == ZAR_ST_POLE && e->arg1 == 0) v = Limits<T>::kLnZero;
  else if (e->arg1 < 0) v = -kErfInvOne;
  e->res1 = e->res2 = v;
  return 0;
}

// n reals in [a, b) from the stream's own output; the generator's status.
inline int32_t draw(DruStream* s, int32_t n, double* r, double a, double b) {
  return record_of(s->brng)->GenD(s, n, r, a, b);
}
inline int32_t draw(DruStream* s, int32_t n, float* r, float a, float b) {
  return record_of(s->brng)->GenS(s, n, r, a, b);
}

// Vector math of T through the third table entry, bracketed by the internal mode.
#define NRX_DIST_VM_UNARY(X) X(ln, Ln) X(sqrt, Sqrt) X(exp, Exp) X(sin, Sin) X(tan, Tan) X(erfinv, ErfInv)
template <class T> struct Vm {
  static constexpr bool kD = sizeof(T) == 8;
#define NRX_DIST_VM_DEFINE(name, Func)                           \
  static void name(int32_t n, const T* a, T* r) {                \
    common::VmModeGuard mode(common::kInternalMode);             \
    if constexpr (kD) nrx_zar_kernel_d##Func##_ttab[2](n, a, r); \
    else nrx_zar_kernel_s##Func##_ttab[2](n, a, r);              \
  }
  NRX_DIST_VM_UNARY(NRX_DIST_VM_DEFINE)
#undef NRX_DIST_VM_DEFINE
  static void sincos(int32_t n, const T* a, T* s, T* c) {
    common::VmModeGuard mode(common::kInternalMode);
    if constexpr (kD) nrx_zar_kernel_dSinCos_ttab[2](n, a, s, c);
    else nrx_zar_kernel_sSinCos_ttab[2](n, a, s, c);
  }
  static void powx(int32_t n, const T* a, T b, T* r) {
    common::VmModeGuard mode(common::kInternalMode);
    if constexpr (kD) nrx_zar_kernel_dPowx_ttab[2](n, a, b, r);
    else nrx_zar_kernel_sPowx_ttab[2](n, a, b, r);
  }
};

// Arguments every law refuses: a negative count, a missing stream or result array.
template <class T> bool bad_call(const DruStream* s, int32_t n, const T* r) { return !s || n < 0 || (n > 0 && !r); }

// rho = sqrt(-2 ln u), the Box-Muller radius. Not in place: the callback reads the
// logarithm's argument after the kernel has written its result.
template <class T> void radius(int32_t n, const T* u, T* rho) {
  Vm<T>::ln(n, u, rho);
  for (int32_t i = 0; i < n; ++i) rho[i] *= T(-2);
  Vm<T>::sqrt(n, rho, rho);
}

// r = a + beta f(r) block by block, f one of the vector functions above.
template <class T> void affine_of(void (*f)(int32_t, const T*, T*), int32_t n, T* r, T a, T beta) {
  for (int32_t done = 0; done < n; done += kBlock) {
    const int32_t k = std::min(kBlock, n - done);
    f(k, r + done, r + done);
    for (int32_t i = 0; i < k; ++i) r[done + i] = a + beta * r[done + i];
  }
}

}  // namespace nrx::rng::dist
