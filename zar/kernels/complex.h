// Simple complex family: Conj, Add, Sub, Mul, MulByConj. Registers hold (re, im) pairs.
// LA and HA share one kernel that reports code 3 for an element whose parts are finite
// and whose result has an infinite part; EP kernels of Add and Sub report nothing. Products
// with an infinite or NaN part are redone one by one in two-part arithmetic, with the
// infinities of C99 Annex G.
#pragma once
#include <algorithm>
#include <cmath>
#include <limits>

#include "zar/kernels/op_base.h"
#include "zar/kernels/twopart.h"

namespace nrx::zar::ops {

// Odd lanes (imaginary parts) negated.
template <class R> inline Reg<R> conj_of(Reg<R> a) {
  return simd::bit_xor(a, simd::select(Mask<R>(~simd::even_lanes<R>()), simd::splat(R(-0.0)), simd::splat(R(0))));
}

template <class C, Flavour F> struct Conj : AllLanes<Conj<C, F>, Unary<C>> {
  static constexpr const char* kName = "Conj";
  using V = Reg<RealOf<C>>;
  static Mask<RealOf<C>> vec(const V (&a)[1], V (&r)[1], const NoExtra&) {
    r[0] = conj_of<RealOf<C>>(a[0]);
    return 0;
  }
};

// Lanes whose inputs are finite and whose result is not.
template <class R> inline Mask<R> overflowed(Reg<R> a, Reg<R> b, Reg<R> r) {
  const Mask<R> bad_in = Mask<R>(simd::fpclass<simd::kInf | simd::kNaN>(a) | simd::fpclass<simd::kInf | simd::kNaN>(b));
  return Mask<R>(simd::fpclass<simd::kInf | simd::kNaN>(r) & ~simd::pairs_of<R>(bad_in));
}

// x y as a two-part value times 2^e, x and y scaled into [1, 2) so the product neither
// overflows nor loses its low part; a zero product keeps its sign with e = kNoExp.
inline constexpr int kNoExp = -100000;
template <class R> inline twopart::Two<R> scaled_prod(R x, R y, int& e) {
  if (x == 0 || y == 0) return e = kNoExp, twopart::Two<R>{x * y, R(0)};
  const int ex = std::ilogb(x), ey = std::ilogb(y);
  e = ex + ey;
  return twopart::two_prod(std::scalbn(x, -ex), std::scalbn(y, -ey));
}
template <class R> inline twopart::Two<R> shifted(twopart::Two<R> p, int k) {
  return {std::scalbn(p.hi, k), std::scalbn(p.lo, k)};
}

// x y + z w rounded once from its two-part value. Where the products leave the range (an
// infinite sum, or one too small for the low parts) each product is taken from operands
// scaled into [1, 2) and the smaller one is shifted to the larger one's exponent. Non-finite
// operands and zero sums take the plain products, whose infinities, NaNs and signed zeros
// C99 describes.
template <class R> inline R dot2(R x, R y, R z, R w) {
  using namespace twopart;
  const R plain = x * y + z * w;
  if (!(std::isfinite(x) && std::isfinite(y) && std::isfinite(z) && std::isfinite(w))) return plain;
  const R v = value(add(two_prod(x, y), two_prod(z, w)));
  constexpr R tiny = std::numeric_limits<R>::min() * R(1ull << (std::numeric_limits<R>::digits + 2));
  if (std::isfinite(v) && !(std::fabs(v) < tiny)) return v;
  int ep, eq;
  const Two<R> p = scaled_prod(x, y, ep), q = scaled_prod(z, w, eq);
  const int e = std::max(ep, eq);
  if (e == kNoExp) return plain;
  const R s = value(add(ep == kNoExp ? p : shifted(p, ep - e), eq == kNoExp ? q : shifted(q, eq - e)));
  return s == 0 && plain == 0 ? plain : std::scalbn(s, e);
}

// (a + b i)(c + d i) with the infinities of C99 Annex G: where both parts come out NaN, an
// infinite operand (or an overflowed product) is boxed to a unit of its sign, NaN parts beside
// it become zeros of their sign, and the product is taken again, times infinity.
template <class R> inline void product(R a, R b, R c, R d, R& x, R& y) {
  x = dot2(a, c, -b, d);
  y = dot2(a, d, b, c);
  if (!(std::isnan(x) && std::isnan(y))) return;
  const auto box = [](R& u, R& v) {
    u = std::copysign(std::isinf(u) ? R(1) : R(0), u);
    v = std::copysign(std::isinf(v) ? R(1) : R(0), v);
  };
  const auto zero_nan = [](R& u) { u = std::isnan(u) ? std::copysign(R(0), u) : u; };
  bool again = false;
  if (std::isinf(a) || std::isinf(b)) {
    box(a, b);
    zero_nan(c), zero_nan(d);
    again = true;
  }
  if (std::isinf(c) || std::isinf(d)) {
    box(c, d);
    zero_nan(a), zero_nan(b);
    again = true;
  }
  if (!again && (std::isinf(a * c) || std::isinf(b * d) || std::isinf(a * d) || std::isinf(b * c))) {
    zero_nan(a), zero_nan(b), zero_nan(c), zero_nan(d);
    again = true;
  }
  if (!again) return;
  constexpr R inf = std::numeric_limits<R>::infinity();
  x = inf * (a * c - b * d);
  y = inf * (a * d + b * c);
}

// The scalar routine of the reporting kernels: code 3 for an element whose parts are finite
// and whose result has an infinite part.
template <class C, int Kind> inline int32_t complex_scalar(const C* const* a, C* const* r) {
  using R = RealOf<C>;
  const R ar = a[0]->real, ai = a[0]->imag, br = a[1]->real, bi = Kind == 3 ? -a[1]->imag : a[1]->imag;
  R re, im;
  if constexpr (Kind == 0) re = ar + br, im = ai + bi;
  else if constexpr (Kind == 1) re = ar - br, im = ai - bi;
  else product(ar, ai, br, bi, re, im);
  r[0]->real = re;
  r[0]->imag = im;
  const bool finite_in = std::isfinite(ar) && std::isfinite(ai) && std::isfinite(br) && std::isfinite(bi);
  return finite_in && (std::isinf(re) || std::isinf(im)) ? ZAR_ST_RESULT_TOO_LARGE : ZAR_ST_NONE;
}

// Kind: 0 add, 1 sub, 2 mul, 3 mul by conj.
template <class C, Flavour F, int Kind> struct ComplexBinary : Binary<C> {
  using R = RealOf<C>;
  using V = Reg<R>;
  static constexpr bool kReports = F != Flavour::EP || Kind >= 2;
  static Mask<R> vec(const V (&in)[2], V (&r)[1], const NoExtra&) {
    const V a = in[0];
    V b = in[1];
    if constexpr (Kind == 0) r[0] = simd::add(a, b);
    if constexpr (Kind == 1) r[0] = simd::sub(a, b);
    if constexpr (Kind >= 2) {
      if constexpr (Kind == 3) b = conj_of<R>(b);
      // (ar br - ai bi, ar bi + ai br): even lanes subtract, odd lanes add.
      r[0] = simd::fmaddsub(simd::dup_even(a), b, simd::mul(simd::dup_odd(a), simd::swap_pairs(b)));
    }
    // Products: every element with an infinite or NaN part, for the overflow code and the
    // infinities that a NaN from inf * 0 hides.
    if constexpr (Kind >= 2) return simd::fpclass<simd::kInf | simd::kNaN>(r[0]);
    else if constexpr (kReports) return overflowed<R>(a, in[1], r[0]);
    else return 0;
  }
  static int32_t scalar(const C* const* a, C* const* r, const NoExtra&) { return complex_scalar<C, Kind>(a, r); }
};

template <class C, Flavour F> struct ComplexAdd : ComplexBinary<C, F, 0> {
  static constexpr const char* kName = "Add";
};
template <class C, Flavour F> struct ComplexSub : ComplexBinary<C, F, 1> {
  static constexpr const char* kName = "Sub";
};
template <class C, Flavour F> struct ComplexMul : ComplexBinary<C, F, 2> {
  static constexpr const char* kName = "Mul";
};
template <class C, Flavour F> struct MulByConj : ComplexBinary<C, F, 3> {
  static constexpr const char* kName = "MulByConj";
};

}  // namespace nrx::zar::ops
