// Complex Log10, Pow and Powx as vector kernels (types c and z); the per-element routines of
// celem_log.h and celem_pow.h serve the lanes the vector bodies leave.
//
// Log10 = (ln|z| + i atan2(y, x)) / ln 10. Double takes log10 of |z|^2 in two parts through
// the base-10 logarithm body (halved; x and y scaled by 2^-k beyond 2^+-250, so that |z|^2
// and its low part stay normal under flush-to-zero) and atan2 in two parts times 1/ln 10 in
// two parts, each part rounded once. Float runs the same in double on the halves of its
// register, where |z|^2 is exact in two parts.
//
// Pow and Powx: z^w = e^(w ln z). Double forms ln z in two parts (half the natural logarithm of |z|^2 in two
// parts, atan2 in two parts), w ln z = u + iv in two parts, e^u from the exponential's
// reduction with u's low part added to the reduced argument, cos v and sin v from the sine
// body with v's low part added to first order (its square lies below 2^-100), and the product
// of the two rounded once. Float computes the same in double from one-part pieces, far inside
// a float ulp. Double takes two registers at a time (the frame's vec_two) with one element per
// lane (csplit), so that the logarithm, the angle and the exponential run once per element.
//
// The vector bodies take finite z with normal or zero parts, not both zero (Pow, double: the
// larger part within 2^+-400), and for Pow w with normal or zero parts, each at most 64 in
// magnitude (2^12 for float), that is not a real integer (the per-element routine takes
// those by products, so that real bases give real results), and |u| <= 700 (80 for float):
// the rounding error of ln z times w stays below 2^-57 of the result. Everything else, and
// the Log10 lanes whose angle falls below the normal range, goes to the per-element routine
// (celem::scalar), which gives the values of C99 Annex G and code 3 where finite z and w
// give an infinite part.
#pragma once
#include "zar/kernels/celem_pow.h"
#include "zar/kernels/csplit.h"
#include "zar/kernels/cvec.h"

namespace nrx::zar::ops {

namespace cpow {
using cvec::D;
using cvec::DM;
using cvec::TwoD;

inline D bits(uint64_t b) { return simd::splat(simd::bits_to(b)); }

// Lanes of pairs with a subnormal part.
template <class R> inline Mask<R> subnormal_pairs(Reg<R> v) {
  return simd::pairs_of<R>(simd::fpclass<simd::kDenormal>(v));
}

// log10 z for finite z with normal or zero parts, not both zero; tiny receives the lanes whose
// angle falls below the normal range.
inline D log10_pairs(D z, DM& tiny) {
  using simd::splat;
  const D x = simd::dup_even(z), y = simd::dup_odd(z);
  const D k0 = simd::getexp(simd::max(simd::abs_of<double>(x), simd::abs_of<double>(y)));
  const D k = simd::select(simd::gt(simd::abs_of<double>(k0), splat(250.0)), k0, splat(0.0));
  const D nk = simd::negate<double>(k);
  D lo;
  const D s = hypot_sum<double, Flavour::HA>(simd::scalef(x, nk), simd::scalef(y, nk), lo);
  // log10(s + lo); lo / s in full, since near |z| = 1 it is a large share of the result
  const D l = log_body<double, Flavour::HA, Base::Ten, true>(s, simd::mul(lo, cvec::reciprocal<2>(s)));
  using C = ExpConst<double>;
  const D re = simd::fma(k, splat(C::log10_2_hi), simd::fma(k, splat(C::log10_2_lo), simd::mul(l, splat(0.5))));
  TwoD t;
  tiny = DM(atan2_parts<double>(y, x, t) & ~simd::even_lanes<double>());
  const D e_hi = bits(explog::kLog10OfE_d[0]), e_lo = bits(explog::kLog10OfE_d[1]);
  const TwoD p = twopart::two_prod(t.hi, e_hi);
  const D im = simd::add(p.hi, simd::fma(t.hi, e_lo, simd::fma(t.lo, e_hi, p.lo)));
  // the angle has y's sign, zeros included (the low parts' sum of zeros is +0)
  return cvec::even_odd(re, simd::copysign<double>(im, y));
}

// log10 z for float parts held in double: x^2 + y^2 in two parts is exact.
inline D log10_pairs_of_floats(D z) {
  const D x = simd::dup_even(z), y = simd::dup_odd(z);
  const TwoD s = twopart::two_sum(simd::mul(x, x), simd::mul(y, y));
  const D l = log_body<double, Flavour::LA, Base::Ten, true>(s.hi, simd::mul(s.lo, simd::rcp14(s.hi)));
  D t;
  atan2_body<double, Flavour::LA, false>(y, x, t);
  return cvec::even_odd(simd::mul(l, simd::splat(0.5)), simd::mul(t, bits(explog::kLog10OfE_d[0])));
}

// Pairs (a, b) of w with b zero and a an integer of magnitude at most 64.
template <class R> inline Mask<R> real_integer_pairs(Reg<R> w) {
  const Mask<R> a_int = Mask<R>(simd::eq(simd::round<simd::kRoundNearest>(w), w) &
                                simd::le(simd::abs_of<R>(w), simd::splat(R(64))) & simd::even_lanes<R>());
  const Mask<R> b_zero = simd::fpclass<simd::kZero>(w);
  return simd::pairs_of<R>(Mask<R>(a_int & (b_zero >> 1)));
}

// Pairs whose even lane exceeds even_max or whose odd lane exceeds odd_max in magnitude (NaN too).
template <class R> inline Mask<R> beyond_pairs(Reg<R> v, R even_max, R odd_max) {
  const Reg<R> lim = simd::select(simd::even_lanes<R>(), simd::splat(even_max), simd::splat(odd_max));
  return simd::pairs_of<R>(simd::not_le(simd::abs_of<R>(v), lim));
}

// (u, v) = w ln z for float parts held in double.
inline D uv_of_floats(D z, D w) {
  const D x = simd::dup_even(z), y = simd::dup_odd(z);
  const TwoD s = twopart::two_sum(simd::mul(x, x), simd::mul(y, y));
  const D lr = simd::mul(log_body<double, Flavour::LA, Base::E, true>(s.hi, simd::mul(s.lo, simd::rcp14(s.hi))),
                         simd::splat(0.5));
  D t;
  atan2_body<double, Flavour::LA, false>(y, x, t);
  const D l = cvec::even_odd(lr, t);
  // a p - b q on the even lanes, a q + b p on the odd ones
  return simd::fmaddsub(simd::dup_even(w), l, simd::mul(simd::dup_odd(w), simd::swap_pairs(l)));
}

// The pairs of z and w the vector bodies leave to the per-element routine, before the result's range.
template <class R> inline Mask<R> off_pairs(Reg<R> z, Reg<R> w) {
  constexpr R kWMax = sizeof(R) == 8 ? R(64) : R(4096);
  Mask<R> off = Mask<R>(cvec::nonfinite_pairs<R>(z) | cvec::nonfinite_pairs<R>(w) | cvec::zero_pairs<R>(z) |
                        subnormal_pairs<R>(z) | subnormal_pairs<R>(w) | real_integer_pairs<R>(w) |
                        beyond_pairs<R>(w, kWMax, kWMax));
  if constexpr (sizeof(R) == 8) {
    const D m = simd::max(simd::abs_of<double>(z), simd::abs_of<double>(simd::swap_pairs(z)));
    off |= simd::pairs_of<double>(DM(simd::not_le(m, simd::splat(0x1p400)) | simd::lt(m, simd::splat(0x1p-400))));
  }
  return off;
}

// a p + b q in two parts for two-part p and q.
inline TwoD dot(D a, TwoD p, D b, TwoD q) {
  TwoD u = twopart::two_prod(a, p.hi), v = twopart::two_prod(b, q.hi);
  u.lo = simd::fma(a, p.lo, u.lo);
  v.lo = simd::fma(b, q.lo, v.lo);
  const TwoD s = twopart::two_sum(u.hi, v.hi);
  return twopart::fast_two_sum(s.hi, simd::add(s.lo, simd::add(u.lo, v.lo)));
}

// z^w with one element per lane (double): ln z and w ln z = u + iv in
// two parts, e^u times cos v and sin v from one reduction, each part rounded once. off
// receives the lanes whose angle falls below the normal range or whose u or v lies beyond the
// range the body serves.
inline csplit::Parts pow_split(csplit::Parts z, csplit::Parts w, DM& off) {
  using simd::splat;
  D lo;
  const D s = hypot_sum<double, Flavour::HA>(z.re, z.im, lo);
  const TwoD l = ln_wide(s);
  const D half = splat(0.5);
  const TwoD p = {simd::mul(l.hi, half), simd::mul(simd::fma(lo, simd::rcp14(s), l.lo), half)};  // ln|z|
  TwoD q;
  const DM tiny = atan2_parts<double>(z.im, z.re, q);
  const TwoD u = dot(w.re, p, simd::negate<double>(w.im), q), v = dot(w.re, q, w.im, p);
  off = DM(tiny | simd::not_le(simd::abs_of<double>(u.hi), splat(700.0)) |
           simd::not_le(simd::abs_of<double>(v.hi), splat(0x1p16)));
  const ExpReduced<double> e = exp_reduce<double, Base::E, Flavour::HA, true>(u.hi, u.lo);
  const D t = table2<double>(ExpConst<double>::hi, e.idx);
  const D t_rest = simd::fma(t, exp_poly<double, Flavour::HA>(e.r), table2<double>(ExpConst<double>::lo, e.idx));
  csplit::CircParts cis = csplit::circ_parts(v.hi);
  TwoD &sn = cis.s, &cs = cis.c;
  // cos(v + v_lo) = cos v - v_lo sin v, sin(v + v_lo) = sin v + v_lo cos v
  const D sv = twopart::value(sn), cv = twopart::value(cs);
  cs.lo = simd::fnma(v.lo, sv, cs.lo);
  sn.lo = simd::fma(v.lo, cv, sn.lo);
  const auto part = [&](TwoD c) {
    return simd::scalef(simd::fma(t, c.hi, simd::fma(t, c.lo, simd::mul(t_rest, twopart::value(c)))), e.scale);
  };
  // a zero v gives e^u and that zero
  return {part(cs), simd::select(simd::fpclass<simd::kZero>(v.hi), v.hi, part(sn))};
}

// z^w for two full double registers of pairs each; returns the elements for the per-element
// routine, bit j for element j of the eight.
inline DM pow_two(D z0, D z1, D w0, D w1, D& r0, D& r1) {
  DM off;
  csplit::join(pow_split(csplit::split(z0, z1), csplit::split(w0, w1), off), r0, r1);
  return DM(off | simd::elements_from_pairs<double>(off_pairs<double>(z0, w0), off_pairs<double>(z1, w1)));
}

// z^w for registers of pairs; returns the lanes for the per-element routine.
// z^w for float registers of pairs (double takes pow_two); returns the lanes for the
// per-element routine.
inline Mask<float> pow_pairs(Reg<float> z, Reg<float> w, Reg<float>& out) {
  const Mask<float> off = off_pairs<float>(z, w);
  const D lo = uv_of_floats(simd::widen_lo(z), simd::widen_lo(w));
  const D hi = uv_of_floats(simd::widen_hi(z), simd::widen_hi(w));
  constexpr Flavour F = Flavour::LA;
  out = simd::narrow(cvec::exp_pairs<double, F>(lo), cvec::exp_pairs<double, F>(hi));
  const unsigned range = unsigned(beyond_pairs<double>(lo, 80.0, 0x1p16)) |
                         (unsigned(beyond_pairs<double>(hi, 80.0, 0x1p16)) << simd::lanes<double>);
  return Mask<float>(off | Mask<float>(range));
}
}  // namespace cpow

template <class C> struct ComplexLog10 : Unary<C> {
  using R = RealOf<C>;
  using V = Reg<R>;
  static constexpr const char* kName = "Log10";
  static Mask<R> vec(const V (&a)[1], V (&r)[1], const NoExtra&) {
    Mask<R> tiny = 0;
    if constexpr (sizeof(R) == 8) r[0] = cpow::log10_pairs(a[0], tiny);
    else r[0] = cvec::on_halves(a[0], [](cvec::D v) { return cpow::log10_pairs_of_floats(v); });
    return Mask<R>(cvec::nonfinite_pairs<R>(a[0]) | cvec::zero_pairs<R>(a[0]) | cpow::subnormal_pairs<R>(a[0]) |
                   simd::pairs_of<R>(tiny));
  }
  static int32_t scalar(const C* const* a, C* const* r, const NoExtra& ex) {
    return celem::scalar<celem::Log10Routine>(a, r, ex);
  }
};

template <class C> struct ComplexPow : Binary<C> {
  using R = RealOf<C>;
  using V = Reg<R>;
  static constexpr const char* kName = "Pow";
  static Mask<R> vec(const V (&a)[2], V (&r)[1], const NoExtra& ex) {
    if constexpr (sizeof(R) == 8) return cvec::one_register<ComplexPow>(a, r, ex);
    else return cpow::pow_pairs(a[0], a[1], r[0]);
  }
  static Mask<R> vec_two(const V (&a)[2][2], V (&r)[2][1], const NoExtra&) requires(sizeof(R) == 8) {
    return cpow::pow_two(a[0][0], a[1][0], a[0][1], a[1][1], r[0][0], r[1][0]);
  }
  static int32_t scalar(const C* const* a, C* const* r, const NoExtra& ex) {
    return celem::scalar<celem::PowRoutine>(a, r, ex);
  }
};

template <class C> struct ComplexPowx : VectorOp<C, Shape::vs, 1, 1, ScalarB<C>> {
  using R = RealOf<C>;
  using V = Reg<R>;
  static constexpr const char* kName = "Powx";
  static Mask<R> vec(const V (&a)[1], V (&r)[1], const ScalarB<C>& ex) {
    if constexpr (sizeof(R) == 8) {
      return cvec::one_register<ComplexPowx>(a, r, ex);
    } else {
      const V w = simd::select(simd::even_lanes<R>(), simd::splat(ex.b.real), simd::splat(ex.b.imag));
      return cpow::pow_pairs(a[0], w, r[0]);
    }
  }
  static Mask<R> vec_two(const V (&a)[2][1], V (&r)[2][1], const ScalarB<C>& ex) requires(sizeof(R) == 8) {
    const V w = simd::select(simd::even_lanes<R>(), simd::splat(ex.b.real), simd::splat(ex.b.imag));
    return cpow::pow_two(a[0][0], a[1][0], w, w, r[0][0], r[1][0]);
  }
  static int32_t scalar(const C* const* a, C* const* r, const ScalarB<C>& ex) {
    return celem::scalar<celem::PowxRoutine>(a, r, ex);
  }
};

template <class T, Flavour F>
requires is_complex<T>
struct Log10<T, F> : ComplexLog10<T> {
};
template <class T, Flavour F>
requires is_complex<T>
struct Pow<T, F> : ComplexPow<T> {
};
template <class T, Flavour F>
requires is_complex<T>
struct Powx<T, F> : ComplexPowx<T> {
};

}  // namespace nrx::zar::ops
