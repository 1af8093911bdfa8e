// The interim kernel: every function that has no vector kernel yet runs here, element by
// element through the C library in long double, inside the same frame (floating-point
// state, error routine, ascending order). Which functions those are is the rows of
// zar/functions.py without a kernel; each family's vector kernels replace their rows.
#pragma once
#include <cmath>
#include <complex>
#include <limits>
#include <type_traits>

#include "zar/kernels/frame.h"
#include "zar_fn.h"

namespace nrx::zar {

using ld = long double;
using cld = std::complex<long double>;

namespace interim {
ld real1(Fn f, ld x);
ld real2(Fn f, ld x, ld y);
cld complex1(Fn f, cld z);
cld complex2(Fn f, cld z, cld w);
// True when the infinite exact result of f at these arguments is a pole, not an overflow.
bool is_pole(Fn f, ld x, ld y);
}  // namespace interim

template <class T> inline ld widen(const T& x) { return ld(x); }
inline cld widen(const NrxComplex8& x) { return {x.real, x.imag}; }
inline cld widen(const NrxComplex16& x) { return {x.real, x.imag}; }

template <class T> inline void narrow(ld x, T* out) { *out = T(x); }
template <class C> inline void narrow(cld z, C* out) {
  out->real = RealOf<C>(z.real());
  out->imag = RealOf<C>(z.imag());
}

inline bool any_nan(ld x) { return std::isnan(x); }
inline bool any_nan(cld z) { return std::isnan(z.real()) || std::isnan(z.imag()); }
inline bool all_finite(ld x) { return std::isfinite(x); }
inline bool all_finite(cld z) { return std::isfinite(z.real()) && std::isfinite(z.imag()); }
inline ld magnitude(ld x) { return std::fabs(x); }
inline ld magnitude(cld z) { return std::max(std::fabs(z.real()), std::fabs(z.imag())); }

// Status of one result part: exact is the long double value, got the delivered one.
template <class R> int32_t part_code(Fn f, ld exact, R got, bool inputs_nan, bool inputs_finite, ld x, ld y,
                                     ld input_size) {
  if (std::isnan(got)) return inputs_nan ? ZAR_ST_NONE : ZAR_ST_DOMAIN;
  if (std::isinf(got)) {
    if (!inputs_finite) return ZAR_ST_NONE;
    return fn_poles(f) && std::isinf(exact) && interim::is_pole(f, x, y) ? ZAR_ST_POLE : ZAR_ST_RESULT_TOO_LARGE;
  }
  const ld tiny = std::numeric_limits<R>::min();
  if (exact != 0 && std::fabs(exact) < tiny && !(input_size < tiny)) return ZAR_ST_RESULT_TOO_SMALL;
  return ZAR_ST_NONE;
}

template <class R> int32_t result_code(Fn f, ld exact, R got, bool n, bool fin, ld x, ld y, ld size) {
  return part_code<R>(f, exact, got, n, fin, x, y, size);
}
template <class C> int32_t result_code(Fn f, cld exact, const C& got, bool n, bool fin, ld x, ld y, ld size) {
  const int32_t re = part_code<RealOf<C>>(f, exact.real(), got.real, n, fin, x, y, size);
  return re != 0 ? re : part_code<RealOf<C>>(f, exact.imag(), got.imag, n, fin, x, y, size);
}

template <Fn F, class T, int Flavour>
struct Interim {
  static constexpr Shape kShape = fn_shape(F, is_complex<T>);
  using TL = T;
  using TI = std::conditional_t<kShape == Shape::r2c, RealOf<T>, T>;
  using TO = std::conditional_t<kShape == Shape::c2r, RealOf<T>, T>;
  using Extra = std::conditional_t<kShape == Shape::vs, ScalarB<T>,
                                   std::conditional_t<kShape == Shape::lf, LinearFactors<T>, NoExtra>>;
  static constexpr int kIn = kShape == Shape::v2 || kShape == Shape::lf ? 2 : 1;
  static constexpr int kOut = kShape == Shape::v1r2 ? 2 : 1;
  static constexpr int kRegs = 0;
  static constexpr const char* kName = fn_name(F);

  static int32_t scalar(const TI* const* a, TO* const* r, const Extra& ex) {
    const auto x = widen(*a[0]);
    auto y = x;
    if constexpr (kIn == 2) y = widen(*a[1]);
    if constexpr (kShape == Shape::vs) y = widen(ex.b);
    const bool nan_in = any_nan(x) || any_nan(y);
    const bool finite_in = all_finite(x) && all_finite(y);
    const ld px = real_part(x), py = real_part(y), size = magnitude(x);
    if constexpr (kShape == Shape::v1r2) {  // SinCos
      const ld s = std::sin(x), c = std::cos(x);
      *r[0] = TO(s);
      *r[1] = TO(c);
      const int32_t cs = result_code<TO>(F, s, *r[0], nan_in, finite_in, px, py, size);
      return cs != 0 ? cs : result_code<TO>(F, c, *r[1], nan_in, finite_in, px, py, size);
    } else {
      const auto exact = evaluate(x, y);
      narrow(exact, r[0]);
      return result_code(F, exact, *r[0], nan_in, finite_in, px, py, size);
    }
  }

 private:
  static ld real_part(ld x) { return x; }
  static ld real_part(cld z) { return z.real(); }
  template <class X> static auto evaluate(X x, X y) {
    if constexpr (std::is_same_v<X, cld>) return kIn == 2 || kShape == Shape::vs ? interim::complex2(F, x, y) : interim::complex1(F, x);
    else if constexpr (kShape == Shape::v2 || kShape == Shape::vs) return interim::real2(F, x, y);
    else return interim::real1(F, x);
  }
};

}  // namespace nrx::zar
