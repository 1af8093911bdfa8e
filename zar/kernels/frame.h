// The kernel frame: one loop for every vector math kernel.
//
// An operation type (Op) supplies the arithmetic; the frame supplies everything else:
// the floating-point state chosen by the mode word, full registers in the main part
// (Op::kRegs per iteration), a masked tail whose unused lanes hold 0.75, strided arrays
// moved into whole registers (simd/spaced.h: at strides 1 to 4 by whole-register loads,
// lane permutes and masked stores, at others element by element; masked gathers and
// scatters in the tail), special lanes sent to the scalar routine in ascending element
// order and reported through the error routine, and strided kernels whose strides are all
// 1 forwarding to the unit-stride table.
//
// An Op provides:
//   TI, TO                element types of inputs and results
//   kShape                argument shape (Shape)
//   kIn, kOut             number of input and result arrays
//   kRegs                 registers per main-loop iteration; 0 means a per-element kernel
//   kName                 function name ("Exp"); the reported name is "v" + type letter + kName
//   Extra                 by-value scalars of the call (Powx exponent, LinearFrac factors)
//   vec(a, r, extra)      vector body over registers of real lanes; returns the lanes that
//                         need the scalar routine (absent when kRegs is 0)
//   vec_two(a, r, extra)  optional: the body over two registers per argument at once (a[h][q],
//                         r[h][q] for register h); returns the elements that need the scalar
//                         routine, one bit per element. The main loop then takes registers in twos.
//   scalar(a, r, extra)   one element through pointers; returns a status code (0 = none)
#pragma once
#include <algorithm>
#include <array>
#include <concepts>
#include <cstdint>

#include "nrx/zar.h"
#include "simd/fpstate.h"
#include "simd/spaced.h"
#include "simd/vec.h"
#include "zar/kernels/flavour.h"
#include "zar/service/error.h"
#include "zar/service/mode.h"
#include "zar/service/shape.h"

namespace nrx::zar {

template <class T> struct Elem;
template <> struct Elem<float> {
  using R = float;
  static constexpr int width = 1;
  static constexpr char letter = 's';
};
template <> struct Elem<double> {
  using R = double;
  static constexpr int width = 1;
  static constexpr char letter = 'd';
};
template <> struct Elem<NrxComplex8> {
  using R = float;
  static constexpr int width = 2;
  static constexpr char letter = 'c';
};
template <> struct Elem<NrxComplex16> {
  using R = double;
  static constexpr int width = 2;
  static constexpr char letter = 'z';
};
template <class T> using RealOf = typename Elem<T>::R;
template <class T> inline constexpr bool is_complex = Elem<T>::width == 2;

struct NoExtra {};

// One array argument: base address and stride in elements.
template <class T> struct Arr {
  T* p;
  int64_t inc;
  T& operator[](int64_t i) const { return p[i * inc]; }
};

// The reported name, "v" + type letter + kName, spelled once at compile time: an element
// report must not pay for formatting a string.
template <class Op> struct ElementName {
  static constexpr size_t kMax = 47;
  static constexpr auto make() {
    std::array<char, kMax + 1> out{};
    out[0] = 'v';
    out[1] = Elem<typename Op::TL>::letter;
    size_t n = 2;
    for (const char* c = Op::kName; *c != '\0' && n < kMax; ++c) out[n++] = *c;
    return out;
  }
  static constexpr std::array<char, kMax + 1> value = make();
};

// Error call for element i: inputs a, b (b = a for one input), results r1, r2 (r2 = r1 for one result).
template <class Op> void report(int32_t code, int64_t i, const Arr<const typename Op::TI> (&a)[Op::kIn],
                                const Arr<typename Op::TO> (&r)[Op::kOut], const typename Op::Extra& ex) {
  using TI = typename Op::TI;
  Arr<const TI> b = a[Op::kIn - 1];
  if constexpr (Op::kShape == Shape::vs) b = Arr<const TI>{&ex.b, 0};
  const auto& r2 = r[Op::kOut - 1];
  report_element_error<TI, typename Op::TO>(code, i, a[0].p, a[0].inc, b.p, b.inc, r[0].p, r[0].inc, r2.p, r2.inc,
                                            ElementName<Op>::value.data());
}

// Element i through the scalar routine, reported when its code is not 0.
template <class Op> inline void scalar_element(int64_t i, const Arr<const typename Op::TI> (&a)[Op::kIn],
                                               const Arr<typename Op::TO> (&r)[Op::kOut],
                                               const typename Op::Extra& ex) {
  const typename Op::TI* ai[Op::kIn];
  typename Op::TO out[Op::kOut];
  typename Op::TO* ro[Op::kOut];
  for (int k = 0; k < Op::kIn; ++k) ai[k] = &a[k][i];
  for (int k = 0; k < Op::kOut; ++k) ro[k] = &out[k];
  const int32_t code = Op::scalar(ai, ro, ex);
  for (int k = 0; k < Op::kOut; ++k) r[k][i] = out[k];
  if (code != 0) report<Op>(code, i, a, r, ex);
}

// How a loop reaches its arrays' elements: consecutive (unit); at strides 1 to 4, elements of
// up to 8 bytes, by whole registers and lane permutes (near); at any stride, element by
// element (far). The two strided loops are apart because the element moves of any stride
// keep eight addresses per array live across the loop: beside the register paths they filled
// the integer registers, and the spilled addresses cost more than the moves they served (AMD
// Zen 5, n = 1,000, a double Add at strides 2, 3 and 2: 1.9-2.1 cycles per element in one
// loop, 1.4 apart, where the element moves alone took 2.1; a float Add 1.95 -> 0.65).
enum class Reach { unit, near, far };

// Complex-to-real and real-to-complex kernels (Abs, Arg, CIS) keep E elements per register:
// their real side fills the low half of its register.
template <class Op, Reach K> struct VectorLoop {
  static constexpr bool Strided = K != Reach::unit;
  using TI = typename Op::TI;
  using TO = typename Op::TO;
  using R = RealOf<TI>;
  using V = simd::Reg<R>;
  using M = simd::Mask<R>;
  static constexpr int WI = Elem<TI>::width;    // reals per input element
  static constexpr int WO = Elem<TO>::width;    // reals per result element
  static constexpr int W = WI > WO ? WI : WO;   // lanes per element in the special-lane mask
  static constexpr int E = simd::lanes<R> / W;  // elements per register
  struct Regs {
    V in[Op::kIn];
    V out[Op::kOut];
  };
  // The call's arrays, held by value so the hot loop keeps them in registers.
  struct Arrays {
    Arr<const TI> a[Op::kIn];
    Arr<TO> r[Op::kOut];
    int64_t n;
  };

  // `more`: another element follows the register's, so that strides 2 to 4 may read the
  // whole registers that span its elements.
  template <class T> static V load(const Arr<const T>& x, int64_t i, int k, bool full, bool more) {
    constexpr int Wx = Elem<T>::width;
    constexpr int B = int(sizeof(R)) * Wx;
    const M m = simd::first_lanes<M>(k * Wx);
    full = full && Wx == W;
    const R* p = reinterpret_cast<const R*>(x.p) + (Strided ? i * x.inc : i) * Wx;
    if (!Strided || x.inc == 1) return full ? simd::load(p) : simd::masked_load(p, m, R(0.75));
    if constexpr (K == Reach::near) {
      if (full && more)
        return simd::as_real(simd::with_stride<2, 3, 4>(x.inc, [&](auto s) { return simd::load_stride<B, s>(p); }),
                             R());
    } else if (full) {
      return simd::as_real(simd::load_spaced<B>(p, x.inc), R());
    }
    if constexpr (Wx == 1) return simd::gather(p, x.inc, m, R(0.75));
    else return simd::gather_pairs(p, x.inc, m, R(0.75));
  }
  template <class T> static void store(const Arr<T>& x, int64_t i, int k, bool full, V v) {
    constexpr int Wx = Elem<T>::width;
    constexpr int B = int(sizeof(R)) * Wx;
    const M m = simd::first_lanes<M>(k * Wx);
    full = full && Wx == W;
    R* p = reinterpret_cast<R*>(x.p) + (Strided ? i * x.inc : i) * Wx;
    if (!Strided || x.inc == 1) {
      if (full) simd::store(p, v);
      else simd::masked_store(p, m, v);
    } else if (full) {
      if constexpr (K == Reach::near)
        simd::with_stride<2, 3, 4>(x.inc, [&](auto s) { simd::store_stride<B, s>(p, simd::as_int(v)); });
      else simd::store_spaced<B>(p, x.inc, simd::as_int(v));
    } else if (Wx < W && k == E) {
      // A real result's E elements, the low half, element by element (the masked scatter
      // took twice the time: cAbsI 3.4 -> 1.7 cycles per element, zAbsI 3.4 -> 1.9), at a
      // constant stride in the near loop. Real inputs keep their masked gather: element loads
      // gained nothing for CIS.
      if constexpr (K == Reach::far) simd::store_spaced<B, 2>(p, x.inc, simd::as_int(v));
      else simd::with_stride<2, 3, 4>(x.inc, [&](auto s) { simd::store_spaced<B, 2>(p, s, simd::as_int(v)); });
    } else if constexpr (Wx == 1) {
      simd::scatter(p, x.inc, m, v);
    } else {
      simd::scatter_pairs(p, x.inc, m, v);
    }
  }

  // Special lanes: through the scalar routine one element at a time, ascending.
  [[gnu::noinline, gnu::cold]] static Regs specials(int64_t i, M sp, Regs regs, const Arrays& x,
                                                    const typename Op::Extra& ex) {
    constexpr int L = simd::lanes<R>;
    alignas(64) R ain[Op::kIn][L];
    alignas(64) R rout[Op::kOut][L];
    const simd::X87Extended x87;  // scalar routines may compute in long double
    for (int k = 0; k < Op::kIn; ++k) simd::store(ain[k], regs.in[k]);
    for (int k = 0; k < Op::kOut; ++k) simd::store(rout[k], regs.out[k]);
    for (int j = 0; j < E; ++j) {
      if (!((sp >> (j * W)) & ((1u << W) - 1))) continue;
      const TI* ap[Op::kIn];
      TO* rp[Op::kOut];
      for (int k = 0; k < Op::kIn; ++k) ap[k] = reinterpret_cast<const TI*>(ain[k]) + j;
      for (int k = 0; k < Op::kOut; ++k) rp[k] = reinterpret_cast<TO*>(rout[k]) + j;
      const int32_t code = Op::scalar(ap, rp, ex);
      if (code == 0) continue;
      for (int k = 0; k < Op::kOut; ++k) x.r[k][i + j] = *rp[k];
      report<Op>(code, i + j, x.a, x.r, ex);
      for (int k = 0; k < Op::kOut; ++k) *rp[k] = x.r[k][i + j];
    }
    for (int k = 0; k < Op::kOut; ++k) regs.out[k] = simd::load(rout[k]);
    return regs;
  }

  // The registers live in plain locals: only the cold path copies them to memory, so the hot
  // loop spills nothing.
  [[gnu::always_inline]] static inline void step(int64_t i, int k, const Arrays& x, const typename Op::Extra& ex) {
    const bool full = k == E;
    V in[Op::kIn], out[Op::kOut];
    for (int q = 0; q < Op::kIn; ++q) in[q] = load(x.a[q], i, k, full, i + E < x.n);
    const M sp = M(Op::vec(in, out, ex) & simd::first_lanes<M>(k * W));
    if (__builtin_expect(sp != 0, 0)) {
      Regs g;
      for (int q = 0; q < Op::kIn; ++q) g.in[q] = in[q];
      for (int q = 0; q < Op::kOut; ++q) g.out[q] = out[q];
      g = specials(i, sp, g, x, ex);
      for (int q = 0; q < Op::kOut; ++q) out[q] = g.out[q];
    }
    for (int q = 0; q < Op::kOut; ++q) store(x.r[q], i, k, full, out[q]);
  }

  // Ops with a body over two registers at once (vec_two: complex kernels that split the parts
  // of 2E elements into a register of real parts and one of imaginary parts, so no lane repeats
  // another's work) take the main loop's registers in twos. vec_two returns the elements for
  // the scalar routine, bit j for element j of the 2E.
  static constexpr bool kTwo = requires(const V (&a)[2][Op::kIn], V (&r)[2][Op::kOut], const typename Op::Extra& e) {
    { Op::vec_two(a, r, e) } -> std::same_as<M>;
  };

  [[gnu::always_inline]] static inline void step_two(int64_t i, const Arrays& x, const typename Op::Extra& ex) {
    V in[2][Op::kIn], out[2][Op::kOut];
    static_assert(W == 2);
    for (int h = 0; h < 2; ++h)
      for (int q = 0; q < Op::kIn; ++q) in[h][q] = load(x.a[q], i + h * E, E, true, i + (h + 1) * E < x.n);
    const M sp = Op::vec_two(in, out, ex);
    for (int h = 0; h < 2; ++h) {
      const unsigned part = (unsigned(sp) >> (h * E)) & ((1u << E) - 1);
      if (__builtin_expect(part != 0, 0)) {
        Regs g;
        for (int q = 0; q < Op::kIn; ++q) g.in[q] = in[h][q];
        for (int q = 0; q < Op::kOut; ++q) g.out[q] = out[h][q];
        g = specials(i + h * E, simd::pairs_from_elements<R>(part), g, x, ex);
        for (int q = 0; q < Op::kOut; ++q) out[h][q] = g.out[q];
      }
      for (int q = 0; q < Op::kOut; ++q) store(x.r[q], i + h * E, E, true, out[h][q]);
    }
  }

  static void run(int64_t n, const Arr<const TI> (&a)[Op::kIn], const Arr<TO> (&r)[Op::kOut],
                  const typename Op::Extra& extra) {
    Arrays x;
    for (int q = 0; q < Op::kIn; ++q) x.a[q] = a[q];
    for (int q = 0; q < Op::kOut; ++q) x.r[q] = r[q];
    x.n = n;
    const typename Op::Extra ex = extra;
    int64_t i = 0;
    if constexpr (kTwo) {
      static_assert(Op::kRegs % 2 == 0);
      for (; i + E * Op::kRegs <= n; i += E * Op::kRegs)
        for (int q = 0; q < Op::kRegs; q += 2) step_two(i + q * E, x, ex);
    } else {
      for (; i + E * Op::kRegs <= n; i += E * Op::kRegs)
        for (int q = 0; q < Op::kRegs; ++q) step(i + q * E, E, x, ex);
    }
    for (; i < n; i += E) step(i, int(std::min<int64_t>(E, n - i)), x, ex);
  }
};

// Whether every array is reached by whole registers: strides 1 to 4 of floats, and of doubles
// and single complex values over spans the private cache holds (simd::kWholeRegisterSpan).
template <class Op> bool near_strides(int64_t n, const Arr<const typename Op::TI> (&a)[Op::kIn],
                                      const Arr<typename Op::TO> (&r)[Op::kOut]) {
  constexpr size_t bi = sizeof(typename Op::TI), bo = sizeof(typename Op::TO);
  if (bi > 8 || bo > 8) return false;
  const int64_t most = bi == 4 && bo == 4 ? INT64_MAX : simd::kWholeRegisterSpan / 8;
  const auto near = [=](int64_t inc) { return inc >= 1 && inc <= 4 && n * inc <= most; };
  for (int q = 0; q < Op::kIn; ++q)
    if (!near(a[q].inc)) return false;
  for (int q = 0; q < Op::kOut; ++q)
    if (!near(r[q].inc)) return false;
  return true;
}

template <class Op, bool Strided> void run(int64_t n, const Arr<const typename Op::TI> (&a)[Op::kIn],
                                           const Arr<typename Op::TO> (&r)[Op::kOut],
                                           const typename Op::Extra& ex = {}) {
  if (n <= 0) return;
  simd::FpState fp(flushes_denormals(current_mode()));
  if constexpr (Op::kRegs == 0) {
    const simd::X87Extended x87;  // scalar routines may compute in long double
    for (int64_t i = 0; i < n; ++i) scalar_element<Op>(i, a, r, ex);
  } else if constexpr (!Strided) {
    VectorLoop<Op, Reach::unit>::run(n, a, r, ex);
  } else if (near_strides<Op>(n, a, r)) {
    VectorLoop<Op, Reach::near>::run(n, a, r, ex);
  } else {
    VectorLoop<Op, Reach::far>::run(n, a, r, ex);
  }
}

// Signatures of the kernels, one specialisation per shape.
template <class Op, Shape = Op::kShape> struct Frame;

template <class Op> struct Frame<Op, Shape::v1> {
  using TI = typename Op::TI;
  using TO = typename Op::TO;
  static void unit(int32_t n, const TI* a, TO* r) { run<Op, false>(n, {{a, 1}}, {{r, 1}}); }
  template <auto* Tab, int Slot> static void strided(int32_t n, const TI* a, int32_t inca, TO* r, int32_t incr) {
    if (inca == 1 && incr == 1) return (*Tab)[Slot](n, a, r);
    run<Op, true>(n, {{a, inca}}, {{r, incr}});
  }
};
template <class Op> struct Frame<Op, Shape::c2r> : Frame<Op, Shape::v1> {};
template <class Op> struct Frame<Op, Shape::r2c> : Frame<Op, Shape::v1> {};

template <class Op> struct Frame<Op, Shape::v2> {
  using T = typename Op::TI;
  static void unit(int32_t n, const T* a, const T* b, T* r) { run<Op, false>(n, {{a, 1}, {b, 1}}, {{r, 1}}); }
  template <auto* Tab, int Slot>
  static void strided(int32_t n, const T* a, int32_t inca, const T* b, int32_t incb, T* r, int32_t incr) {
    if (inca == 1 && incb == 1 && incr == 1) return (*Tab)[Slot](n, a, b, r);
    run<Op, true>(n, {{a, inca}, {b, incb}}, {{r, incr}});
  }
};

template <class Op> struct Frame<Op, Shape::vs> {
  using T = typename Op::TI;
  static void unit(int32_t n, const T* a, T b, T* r) { run<Op, false>(n, {{a, 1}}, {{r, 1}}, {b}); }
  template <auto* Tab, int Slot> static void strided(int32_t n, const T* a, int32_t inca, T b, T* r, int32_t incr) {
    if (inca == 1 && incr == 1) return (*Tab)[Slot](n, a, b, r);
    run<Op, true>(n, {{a, inca}}, {{r, incr}}, {b});
  }
};

template <class Op> struct Frame<Op, Shape::v1r2> {
  using T = typename Op::TI;
  static void unit(int32_t n, const T* a, T* r1, T* r2) { run<Op, false>(n, {{a, 1}}, {{r1, 1}, {r2, 1}}); }
  template <auto* Tab, int Slot>
  static void strided(int32_t n, const T* a, int32_t inca, T* r1, int32_t incr1, T* r2, int32_t incr2) {
    if (inca == 1 && incr1 == 1 && incr2 == 1) return (*Tab)[Slot](n, a, r1, r2);
    run<Op, true>(n, {{a, inca}}, {{r1, incr1}, {r2, incr2}});
  }
};

template <class Op> struct Frame<Op, Shape::lf> {
  using T = typename Op::TI;
  static void unit(int32_t n, const T* a, const T* b, T sa, T sha, T sb, T shb, T* r) {
    run<Op, false>(n, {{a, 1}, {b, 1}}, {{r, 1}}, {sa, sha, sb, shb});
  }
  template <auto* Tab, int Slot> static void strided(int32_t n, const T* a, int32_t inca, const T* b, int32_t incb,
                                                     T sa, T sha, T sb, T shb, T* r, int32_t incr) {
    if (inca == 1 && incb == 1 && incr == 1) return (*Tab)[Slot](n, a, b, sa, sha, sb, shb, r);
    run<Op, true>(n, {{a, inca}, {b, incb}}, {{r, incr}}, {sa, sha, sb, shb});
  }
};

// Extra scalars of the shapes that take them.
template <class T> struct ScalarB { T b; };
template <class T> struct LinearFactors { T sa, sha, sb, shb; };

}  // namespace nrx::zar
