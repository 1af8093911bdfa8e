// Complex Sinh, Cosh, Tanh and, through sin z = -i sinh(iz), cos z = cosh(iz) and
// tan z = -i tanh(iz), Sin, Cos and Tan (types c and z) as vector kernels.
//
// Each element has a hyperbolic argument h and a circular one t: (h, t) = (x, y) for the
// hyperbolic functions and (y, x) for the circular ones. Double takes one element per lane
// (csplit: two registers of pairs as one of real parts and one of imaginary parts, through
// the frame's vec_two; the tail register pairs with itself). sinh h and cosh h come from one
// exponential (sinh_cosh_two: e^|h| / 2 and its reciprocal, sinh |h| below 1/2 from its
// polynomial), cos t and sin t from one reduction and one polynomial pair, all in two parts,
// and every part is one product of a hyperbolic and a circular factor rounded once:
//   sinh z = sinh x cos y + i cosh x sin y      sin z = sin x cosh y + i cos x sinh y
//   cosh z = cosh x cos y + i sinh x sin y      cos z = cos x cosh y - i sin x sinh y
// Tanh and Tan divide by sinh^2 h + cos^2 t, a sum of two non-negative terms (Kahan's formula
// rewritten, no cancellation):
//   tanh z = (sinh x cosh x + i sin y cos y) / (sinh^2 x + cos^2 y)
//   tan z  = (sin x cos x + i sinh y cosh y) / (sinh^2 y + cos^2 x)
// with the hyperbolic part +-1 from HypConst::tanh_one on. A part whose factor is an exact
// zero is the plain product (or quotient), so zeros carry the signs of C99 Annex G.
//
// Single precision takes one element per double lane (ctrig_float.h), rounded once to float.
//
// The lanes the body leaves go to the per-element routines of celem_trig.h (x87 extended
// precision, Annex G values): infinite and NaN parts, and |h| inside a band (kBandLo, kBandHi)
// between the range where the factors stay finite and the one where every part overflows (or,
// for Tanh and Tan, the circular part rounds to zero). Elements whose result has an infinite
// part run the body again alone for code 3 (finite arguments, infinite part).
#pragma once
#include "zar/kernels/celem_trig.h"
#include "zar/kernels/csplit.h"
#include "zar/kernels/ctrig_float.h"
#include "zar/kernels/cvec.h"
#include "zar/kernels/hyperbolic.h"

namespace nrx::zar::ops {

namespace ctrig {
using D = cvec::D;
using DM = cvec::DM;
using TwoD = cvec::TwoD;

// The band of |h| the body leaves to the per-element routine. Up to its low end the parts are
// finite in double; from its high end every part that is not an exact zero overflows (cosh h
// times the smallest |cos t| or |sin t| of a double |t| >= kSmallT, about 2^-62, overflows) for
// Sinh, Cosh, Sin and Cos, and the circular part of Tanh and Tan is below half the smallest
// subnormal (4 |sin t cos t| e^-2|h| <= 2 e^-746).
template <int K> inline constexpr double kBandLo = K == kTanhK || K == kTanK ? 350.0 : HypConst<double>::vector_limit;
template <int K> inline constexpr double kBandHi = K == kTanhK || K == kTanK ? 373.0 : 760.0;
// Sinh, Cosh, Sin and Cos overflow beyond the band only where |t| >= kSmallT (|sin t| cannot
// be below 2^-62 there); smaller non-zero t go to the per-element routine as well.
template <int K> inline constexpr bool kOverflows = K != kTanhK&& K != kTanK;
inline constexpr double kSmallT = 0x1p-50;

// -v where neg is set, exactly (both parts).
inline TwoD negate_where(DM neg, TwoD v) {
  return {simd::select(neg, simd::negate<double>(v.hi), v.hi), simd::select(neg, simd::negate<double>(v.lo), v.lo)};
}

// a b rounded once, for two-part a (normalised) and b (|b.lo| far below |b.hi| + |b.lo|).
inline D product(TwoD a, TwoD b) { return simd::fma(a.hi, b.hi, simd::fma(a.hi, b.lo, simd::mul(a.lo, b.hi))); }

// sinh h (with the sign of h) and cosh h in two parts.
struct HypParts {
  TwoD s, c;
};
inline HypParts hyp_parts(D h) {
  const SinhCosh<double, true, true> sc = sinh_cosh_two<double, true, true>(simd::abs_of<double>(h));
  return {negate_where(simd::fpclass<simd::kNegative | simd::kNegZero>(h), sc.s), sc.c};
}

// hyp circ rounded once; a zero factor gives the zero of the plain product's sign.
inline D part(TwoD hyp, TwoD circ) {
  const DM zero = DM(simd::fpclass<simd::kZero>(hyp.hi) | simd::fpclass<simd::kZero>(circ.hi));
  return simd::select(zero, simd::mul(hyp.hi, circ.hi), product(hyp, circ));
}

// Sinh, Cosh, Sin and Cos, one element per lane: every part a hyperbolic factor times a
// circular one (see the top of the file for which).
template <int K> inline csplit::Parts sinh_cosh_parts(csplit::Parts z) {
  D h = circular(K) ? z.im : z.re;
  const D t = circular(K) ? z.re : z.im;
  // beyond the band h is taken as +-710 and the result scaled up: +-inf, or the zero of a zero
  // circular factor
  const DM huge = simd::ge(simd::abs_of<double>(h), simd::splat(kBandHi<K>));
  if (huge) h = simd::select(huge, simd::copysign<double>(simd::splat(710.0), h), h);
  const HypParts p = hyp_parts(h);
  const csplit::CircParts q = csplit::circ_parts(t);
  csplit::Parts v;
  if constexpr (K == kSinhK) v = {part(p.s, q.c), part(p.c, q.s)};
  else if constexpr (K == kCoshK) v = {part(p.c, q.c), part(p.s, q.s)};
  else if constexpr (K == kSinK) v = {part(p.c, q.s), part(p.s, q.c)};
  else v = {part(p.c, q.c), simd::negate<double>(part(p.s, q.s))};
  if (huge) {
    const D up = simd::splat(1000.0);
    v = {simd::select(huge, simd::scalef(v.re, up), v.re), simd::select(huge, simd::scalef(v.im, up), v.im)};
  }
  return v;
}

// Tanh and Tan, one element per lane: (sinh h cosh h, sin t cos t) / (sinh^2 h + cos^2 t),
// each piece in two parts and each quotient rounded once, both from one reciprocal.
template <int K> inline csplit::Parts tanh_parts(csplit::Parts z) {
  using simd::splat;
  const D h = circular(K) ? z.im : z.re, t = circular(K) ? z.re : z.im;
  const HypParts p = hyp_parts(h);
  const csplit::CircParts q = csplit::circ_parts(t);
  // normalised for the two-part products
  const TwoD c = twopart::two_sum(q.c.hi, q.c.lo), s = twopart::two_sum(q.s.hi, q.s.lo);
  const TwoD nh = twopart::mul(p.s, p.c), nc = twopart::mul(s, c);
  const TwoD d = twopart::add(twopart::sqr(p.s), twopart::sqr(c));
  const D y = cvec::reciprocal<2>(d.hi);
  const auto quotient = [&](TwoD n) {  // n / d: q plus the exact remainder over d
    const D q0 = simd::mul(n.hi, y);
    return simd::fma(simd::add(simd::fnma(q0, d.hi, n.hi), simd::fnma(q0, d.lo, n.lo)), y, q0);
  };
  // the plain products keep the sign of a zero numerator (the two-part sums may not); the
  // hyperbolic part is +-1 where 1 - tanh |h| lies below half an ulp, the circular part beyond
  // the band rounds to zero
  const D ah = simd::abs_of<double>(h);
  const D n0h = simd::mul(p.s.hi, p.c.hi), n0c = simd::mul(q.s.hi, q.c.hi);
  const D hp = simd::select(simd::ge(ah, splat(HypConst<double>::tanh_one)), simd::copysign<double>(splat(1.0), h),
                            simd::select(simd::fpclass<simd::kZero>(n0h), n0h, quotient(nh)));
  const D cp = simd::select(DM(simd::fpclass<simd::kZero>(n0c) | simd::ge(ah, splat(kBandHi<K>))),
                            simd::mul(n0c, splat(0.0)), quotient(nc));
  return circular(K) ? csplit::Parts{cp, hp} : csplit::Parts{hp, cp};
}

template <int K> inline csplit::Parts parts(csplit::Parts z) {
  if constexpr (tangent(K)) return tanh_parts<K>(z);
  else return sinh_cosh_parts<K>(z);
}

// The pairs of a (input) and r (its results) the per-element routine takes.
template <class R, int K> inline Mask<R> special_pairs(Reg<R> a, Reg<R> r) {
  using V = Reg<R>;
  const V h = simd::abs_of<R>(circular(K) ? simd::dup_odd(a) : simd::dup_even(a));
  const V t = simd::abs_of<R>(circular(K) ? simd::dup_even(a) : simd::dup_odd(a));
  Mask<R> band = Mask<R>(simd::not_le(h, simd::splat(R(kBandLo<K>))) & simd::lt(h, simd::splat(R(kBandHi<K>))));
  if constexpr (kOverflows<K>)  // sin t ~ t may bring a part back into range
    band = Mask<R>(band | (simd::ge(h, simd::splat(R(kBandHi<K>))) & simd::lt(t, simd::splat(R(kSmallT))) &
                           ~simd::fpclass<simd::kZero>(t)));
  return Mask<R>(cvec::nonfinite_pairs<R>(a) | simd::pairs_of<R>(band) |
                 simd::pairs_of<R>(simd::fpclass<simd::kInf>(r)));
}

template <int K> struct Routine;
template <> struct Routine<kSinhK> : celem::SinhRoutine {};
template <> struct Routine<kCoshK> : celem::CoshRoutine {};
template <> struct Routine<kTanhK> : celem::TanhRoutine {};
template <> struct Routine<kSinK> : celem::SinRoutine {};
template <> struct Routine<kCosK> : celem::CosRoutine {};
template <> struct Routine<kTanK> : celem::TanRoutine {};
}  // namespace ctrig

// One kernel for every flavour: double runs the HA circular body, float the LA one in double.
// The elements the body leaves (non-finite parts, |h| inside the band) go to the per-element
// routine; those whose result has an infinite part (overflow, code 3) run the body again alone.
template <class C, int K> struct ComplexTrig : Unary<C> {
  using R = RealOf<C>;
  using V = Reg<R>;
  using Rt = ctrig::Routine<K>;
  static constexpr const char* kName = Rt::kName;
  static constexpr bool kHypOnOdd = ctrig::circular(K);
  static Mask<R> vec(const V (&a)[1], V (&r)[1], const NoExtra& ex) {
    if constexpr (sizeof(R) == 8) {
      return cvec::one_register<ComplexTrig>(a, r, ex);
    } else {
      r[0] = ctrigf::pairs<K>(a[0]);
      return ctrig::special_pairs<R, K>(a[0], r[0]);
    }
  }
  // Double: two registers fill the lanes with eight elements.
  static Mask<R> vec_two(const V (&a)[2][1], V (&r)[2][1], const NoExtra&) requires(sizeof(R) == 8) {
    csplit::join(ctrig::parts<K>(csplit::split(a[0][0], a[1][0])), r[0][0], r[1][0]);
    return Mask<R>(simd::elements_from_pairs<R>(ctrig::special_pairs<R, K>(a[0][0], r[0][0]),
                                                ctrig::special_pairs<R, K>(a[1][0], r[1][0])));
  }
  static int32_t scalar(const C* const* a, C* const* r, const NoExtra& ex) {
    const R x = a[0]->real, y = a[0]->imag;
    const R h = std::fabs(kHypOnOdd ? y : x), t = std::fabs(kHypOnOdd ? x : y);
    const bool small_t =
        ctrig::kOverflows<K> && h >= R(ctrig::kBandHi<K>) && t < R(ctrig::kSmallT) && simd::daz(t) != 0;
    if (!cvec::finite2(x, y) || (h > R(ctrig::kBandLo<K>) && h < R(ctrig::kBandHi<K>)) || small_t)
      return celem::scalar<Rt>(a, r, ex);
    scalar_by_vector<ComplexTrig>(a, r, ex);
    return std::isinf(r[0]->real) || std::isinf(r[0]->imag) ? ZAR_ST_RESULT_TOO_LARGE : ZAR_ST_NONE;
  }
};

template <class T, Flavour F>
requires is_complex<T>
struct Sinh<T, F> : ComplexTrig<T, ctrig::kSinhK> {
};
template <class T, Flavour F>
requires is_complex<T>
struct Cosh<T, F> : ComplexTrig<T, ctrig::kCoshK> {
};
template <class T, Flavour F>
requires is_complex<T>
struct Tanh<T, F> : ComplexTrig<T, ctrig::kTanhK> {
};
template <class T, Flavour F>
requires is_complex<T>
struct Sin<T, F> : ComplexTrig<T, ctrig::kSinK> {
};
template <class T, Flavour F>
requires is_complex<T>
struct Cos<T, F> : ComplexTrig<T, ctrig::kCosK> {
};
template <class T, Flavour F>
requires is_complex<T>
struct Tan<T, F> : ComplexTrig<T, ctrig::kTanK> {
};

}  // namespace nrx::zar::ops
