// The per-element complex kernel: one kernel for all three flavours of Sin, Cos, Tan, Sinh,
// Cosh, Tanh, Asin, Acos, Atan, Asinh, Acosh, Atanh, Log10, Pow and Powx.
//
// A function plugs in a routine, a struct with
//   static constexpr const char* kName;   the function name ("Sin")
//   static constexpr bool kOverflow;      code 3 for finite inputs whose result has an infinite part
//   static cxl eval(cxl z);               one input, or
//   static cxl eval(cxl z, cxl w);        two inputs (Pow; Powx gets its scalar as w)
// computed in x87 extended precision, and declares its kernels with
//   template <class T, Flavour F> requires is_complex<T> struct Sin<T, F> : celem::Kernel<T, SinRoutine> {};
// The kernel masks the x87 exceptions and sets 64-bit precision and round to nearest (clearing
// pending exceptions first) unless the control word already says so, calls the routine once per
// element in ascending order, stores the rounded result and restores the caller's control word.
#pragma once
#include <cmath>
#include <complex>
#include <concepts>
#include <limits>

#include "zar/kernels/frame.h"

namespace nrx::zar {
namespace celem {

using cxl = std::complex<long double>;

template <class Routine>
concept Binary = requires(cxl z) {
  { Routine::eval(z, z) } -> std::same_as<cxl>;
};

// The operation type of a routine. Its shape follows from the routine's arity; Powx, whose
// second argument is one scalar for every element, asks for Shape::vs.
template <class C, class Rt, Shape S = Binary<Rt> ? Shape::v2 : Shape::v1> struct Kernel {
  using TI = C;
  using TO = C;
  using TL = C;
  using Routine = Rt;
  using Extra = std::conditional_t<S == Shape::vs, ScalarB<C>, NoExtra>;
  static constexpr Shape kShape = S;
  static constexpr int kIn = S == Shape::v2 ? 2 : 1;
  static constexpr int kOut = 1;
  static constexpr int kRegs = 0;
  static constexpr bool kPerElement = true;
  static constexpr const char* kName = Rt::kName;
};

template <class C> inline cxl widen(const C& x) { return {x.real, x.imag}; }

inline bool finite(cxl z) { return std::isfinite(z.real()) && std::isfinite(z.imag()); }

// With the mode's flush-to-zero, parts below R's normal range count as zeros of their sign,
// in the arguments and in the results (the vector kernels' DAZ and FTZ).
template <class R> inline long double flushed(long double x) {
  return std::fabs(x) < std::numeric_limits<R>::min() ? std::copysign(0.0L, x) : x;
}
template <class R> inline cxl flushed(cxl z, bool ftz) {
  return ftz ? cxl(flushed<R>(z.real()), flushed<R>(z.imag())) : z;
}

// One element through Routine as every complex kernel computes it off its vector path: the
// arguments and the result flushed by the mode, the result rounded to C, and code 3 by the
// routine's overflow rule. w is the second argument, or null for one argument. The caller has
// the x87 unit in extended precision (X87Extended).
template <class Routine, class C> inline int32_t element(const C& z_in, const C* w_in, C& out, bool ftz) {
  using R = RealOf<C>;
  const cxl z = flushed<R>(widen(z_in), ftz);
  const cxl w = w_in ? flushed<R>(widen(*w_in), ftz) : cxl(0);
  cxl v;
  if constexpr (Binary<Routine>) v = Routine::eval(z, w);
  else v = Routine::eval(z);
  v = flushed<R>(v, ftz);
  out.real = R(v.real());
  out.imag = R(v.imag());
  if constexpr (Routine::kOverflow) {
    if ((std::isinf(out.real) || std::isinf(out.imag)) && finite(z) && finite(w)) return ZAR_ST_RESULT_TOO_LARGE;
  }
  return 0;
}

// Routine as the scalar routine of a vector kernel (the frame's Op::scalar): the lanes its vector
// body leaves (non-finite parts, extreme magnitudes) get the per-element kernel's results and
// codes, each in its own x87 frame.
template <class Routine, class C, class Extra> inline int32_t scalar(const C* const* a, C* const* r, const Extra& ex) {
  const simd::X87Extended x87(simd::kX87ClearPending);
  const C* w = nullptr;
  if constexpr (requires { ex.b; }) w = &ex.b;
  else if constexpr (Binary<Routine>) w = a[1];
  return element<Routine>(*a[0], w, *r[0], flushes_denormals(current_mode()));
}

template <class Op> void run(int32_t n, const Arr<const typename Op::TI> (&a)[Op::kIn],
                             const Arr<typename Op::TO> (&r)[1], const typename Op::Extra& ex) {
  using Routine = typename Op::Routine;
  if (n <= 0) return;
  const simd::X87Extended x87(simd::kX87ClearPending);
  const bool ftz = flushes_denormals(current_mode());
  for (int64_t i = 0; i < n; ++i) {
    const typename Op::TI* w = nullptr;
    if constexpr (Op::kShape == Shape::vs) w = &ex.b;
    else if constexpr (Op::kIn == 2) w = &a[1][i];
    const int32_t code = element<Routine>(a[0][i], w, r[0][i], ftz);
    if (code != 0) report<Op>(code, i, a, r, ex);
  }
}

}  // namespace celem

template <class Op>
concept PerElementComplex = requires {
  requires Op::kPerElement;
};

template <class Op>
requires PerElementComplex<Op>
struct Frame<Op, Shape::v1> {
  using C = typename Op::TI;
  static void unit(int32_t n, const C* a, C* r) { celem::run<Op>(n, {{a, 1}}, {{r, 1}}, {}); }
  template <auto* Tab, int Slot> static void strided(int32_t n, const C* a, int32_t inca, C* r, int32_t incr) {
    if (inca == 1 && incr == 1) return (*Tab)[Slot](n, a, r);
    celem::run<Op>(n, {{a, inca}}, {{r, incr}}, {});
  }
};

template <class Op>
requires PerElementComplex<Op>
struct Frame<Op, Shape::v2> {
  using C = typename Op::TI;
  static void unit(int32_t n, const C* a, const C* b, C* r) { celem::run<Op>(n, {{a, 1}, {b, 1}}, {{r, 1}}, {}); }
  template <auto* Tab, int Slot>
  static void strided(int32_t n, const C* a, int32_t inca, const C* b, int32_t incb, C* r, int32_t incr) {
    if (inca == 1 && incb == 1 && incr == 1) return (*Tab)[Slot](n, a, b, r);
    celem::run<Op>(n, {{a, inca}, {b, incb}}, {{r, incr}}, {});
  }
};

template <class Op>
requires PerElementComplex<Op>
struct Frame<Op, Shape::vs> {
  using C = typename Op::TI;
  static void unit(int32_t n, const C* a, C b, C* r) { celem::run<Op>(n, {{a, 1}}, {{r, 1}}, ScalarB<C>{b}); }
  template <auto* Tab, int Slot> static void strided(int32_t n, const C* a, int32_t inca, C b, C* r, int32_t incr) {
    if (inca == 1 && incr == 1) return (*Tab)[Slot](n, a, b, r);
    celem::run<Op>(n, {{a, inca}}, {{r, incr}}, ScalarB<C>{b});
  }
};

}  // namespace nrx::zar
