// Complex Sinh, Cosh, Tanh and, through sin z = -i sinh(iz), cos z = cosh(iz) and
// tan z = -i tanh(iz), Sin, Cos and Tan (types c and z) as vector kernels.
//
// Each element has a hyperbolic argument h and a circular one t: (h, t) = (x, y) for the
// hyperbolic functions and (y, x) for the circular ones. sinh h and cosh h come from one
// exponential (sinh_cosh_two: e^|h| / 2 and its reciprocal, sinh |h| below 1/2 from its
// polynomial), cos t and sin t from one reduction (cis_parts: cos t on the even lanes, sin t
// on the odd ones), all in two parts, and every part is one product of a hyperbolic and a
// circular factor rounded once:
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

inline TwoD select(DM m, TwoD a, TwoD b) { return {simd::select(m, a.hi, b.hi), simd::select(m, a.lo, b.lo)}; }

// a b rounded once, for two-part a (normalised) and b (|b.lo| far below |b.hi| + |b.lo|).
inline D product(TwoD a, TwoD b) { return simd::fma(a.hi, b.hi, simd::fma(a.hi, b.lo, simd::mul(a.lo, b.hi))); }

// sinh h (with the sign of h) and cosh h in two parts, in every lane.
struct HypParts {
  TwoD s, c;
};
inline HypParts hyp_parts(D h) {
  const SinhCosh<double, true, true> sc = sinh_cosh_two<double, true, true>(simd::abs_of<double>(h));
  return {negate_where(simd::fpclass<simd::kNegative | simd::kNegZero>(h), sc.s), sc.c};
}

// The element pairs as (h, t) in both lanes of each element.
template <int K> inline void arguments(D z, D& h, D& t) {
  h = circular(K) ? simd::dup_odd(z) : simd::dup_even(z);
  t = circular(K) ? simd::dup_even(z) : simd::dup_odd(z);
}

// Sinh, Cosh, Sin and Cos of the pairs in z: every part a hyperbolic factor times a circular
// one (see the top of the file for which). F is the flavour of the circular body.
template <int K, Flavour F> inline D sinh_cosh_pairs(D z) {
  D h, t;
  arguments<K>(z, h, t);
  // beyond the band h is taken as +-710 and the result scaled up: +-inf, or the zero of a zero
  // circular factor
  const DM huge = simd::ge(simd::abs_of<double>(h), simd::splat(kBandHi<K>));
  if (huge) h = simd::select(huge, simd::copysign<double>(simd::splat(710.0), h), h);
  const HypParts p = hyp_parts(h);
  TwoD cs = cvec::cis_parts<double, F>(t);  // cos t on the even lanes, sin t on the odd ones
  if constexpr (K == kSinK) cs = {simd::swap_pairs(cs.hi), simd::swap_pairs(cs.lo)};
  const DM even = simd::even_lanes<double>();
  TwoD hyp;
  if constexpr (K == kSinhK) hyp = select(even, p.s, p.c);
  else hyp = select(even, p.c, p.s);
  if constexpr (K == kCosK) hyp = negate_where(DM(~even), hyp);
  // A zero factor (sinh 0, sin 0) gives the zero of the product's sign.
  const DM zero = DM(simd::fpclass<simd::kZero>(hyp.hi) | simd::fpclass<simd::kZero>(cs.hi));
  const D v = simd::select(zero, simd::mul(hyp.hi, cs.hi), product(hyp, cs));
  return huge ? simd::select(huge, simd::scalef(v, simd::splat(1000.0)), v) : v;
}

// Tanh and Tan of the pairs in z: (sinh h cosh h, sin t cos t) / (sinh^2 h + cos^2 t), each
// piece in two parts and the quotient rounded once.
template <int K, Flavour F> inline D tanh_pairs(D z) {
  using simd::splat;
  D h, t;
  arguments<K>(z, h, t);
  const HypParts p = hyp_parts(h);
  // the high part of cis_parts is not the rounded value: normalised for the two-part products
  const TwoD cis = cvec::cis_parts<double, F>(t);
  const TwoD cs = twopart::two_sum(cis.hi, cis.lo);
  const TwoD c = {simd::dup_even(cs.hi), simd::dup_even(cs.lo)};
  const TwoD s = {simd::dup_odd(cs.hi), simd::dup_odd(cs.lo)};
  const DM hyp_lane = circular(K) ? DM(~simd::even_lanes<double>()) : simd::even_lanes<double>();
  const TwoD n = twopart::mul(select(hyp_lane, p.s, s), select(hyp_lane, p.c, c));
  // the numerator's plain product keeps the sign of a zero (the two-part sum may not)
  const D n0 = simd::mul(simd::select(hyp_lane, p.s.hi, simd::dup_odd(cis.hi)),
                         simd::select(hyp_lane, p.c.hi, simd::dup_even(cis.hi)));
  const TwoD d = twopart::add(twopart::sqr(p.s), twopart::sqr(c));
  const D q = cvec::quotient(n.hi, n.lo, d.hi, d.lo);
  // +-1 where 1 - tanh |h| lies below half an ulp; a zero numerator keeps its sign, and so does
  // the circular part beyond the band, where it rounds to zero.
  const D ah = simd::abs_of<double>(h);
  const DM one = DM(hyp_lane & simd::ge(ah, splat(HypConst<double>::tanh_one)));
  const DM gone = DM(~hyp_lane & simd::ge(ah, splat(kBandHi<K>)));
  const D v = simd::select(DM(simd::fpclass<simd::kZero>(n0) | gone), simd::mul(n0, splat(0.0)), q);
  return simd::select(one, simd::copysign<double>(splat(1.0), h), v);
}

template <int K, Flavour F> inline D pairs(D z) {
  if constexpr (K == kTanhK || K == kTanK) return tanh_pairs<K, F>(z);
  else return sinh_cosh_pairs<K, F>(z);
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
  static Mask<R> vec(const V (&a)[1], V (&r)[1], const NoExtra&) {
    if constexpr (sizeof(R) == 8) r[0] = ctrig::pairs<K, Flavour::HA>(a[0]);
    else r[0] = ctrigf::pairs<K>(a[0]);
    const V h = simd::abs_of<R>(kHypOnOdd ? simd::dup_odd(a[0]) : simd::dup_even(a[0]));
    const V t = simd::abs_of<R>(kHypOnOdd ? simd::dup_even(a[0]) : simd::dup_odd(a[0]));
    Mask<R> band =
        Mask<R>(simd::not_le(h, simd::splat(R(ctrig::kBandLo<K>))) & simd::lt(h, simd::splat(R(ctrig::kBandHi<K>))));
    if constexpr (ctrig::kOverflows<K>)  // sin t ~ t may bring a part back into range
      band = Mask<R>(band | (simd::ge(h, simd::splat(R(ctrig::kBandHi<K>))) &
                             simd::lt(t, simd::splat(R(ctrig::kSmallT))) & ~simd::fpclass<simd::kZero>(t)));
    return Mask<R>(cvec::nonfinite_pairs<R>(a[0]) | simd::pairs_of<R>(band) |
                   simd::pairs_of<R>(simd::fpclass<simd::kInf>(r[0])));
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
