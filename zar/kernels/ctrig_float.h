// Complex Sinh, Cosh, Tanh, Sin, Cos and Tan of float parts, computed in double with one
// element per lane.
//
// A float register of eight pairs becomes one double register of the real parts and one of
// the imaginary parts (cinvvec::split), so the exponential and the sine and cosine run once
// per element. Each element has a hyperbolic argument h and a circular one t ((x, y) for the
// hyperbolic functions, (y, x) for the circular ones, as in ctrig_vec.h): e = e^|h| / 2 from
// the double LA exponential, 1/(4e) from the reciprocal estimate and two Newton steps, sinh
// |h| = e - 1/(4e) (its polynomial below 1/2) and cosh |h| = e + 1/(4e); cos t and sin t
// from one reduction and one polynomial pair. Every part is then a product of one
// hyperbolic and one circular factor, and Tanh and Tan divide by sinh^2 h + cos^2 t, a sum of
// two non-negative terms (no cancellation). No step cancels, so each part lies within a few
// double ulps of the exact value and rounds once to float.
//
// |h| is clamped where the float result no longer depends on it: from 200 on every part with
// a non-zero circular factor overflows in float (cosh 200 times the smallest float subnormal
// exceeds the float range), and from 60 on the circular part of Tanh and Tan is below half the
// smallest float subnormal while the hyperbolic part rounds to +-1. A zero factor gives the
// zero of the product's sign, as the plain product does.
#pragma once
#include "zar/kernels/cinv_vec.h"
#include "zar/kernels/hyperbolic.h"
#include "zar/kernels/trig.h"

namespace nrx::zar::ops {

namespace ctrig {
enum Kind { kSinhK, kCoshK, kTanhK, kSinK, kCosK, kTanK };
inline constexpr bool circular(int K) { return K >= kSinK; }
inline constexpr bool tangent(int K) { return K == kTanhK || K == kTanK; }
}  // namespace ctrig

namespace ctrigf {

using D = ::nrx::simd::Reg<double>;
using cinvvec::Parts;

// sinh h (with the sign of h) and cosh h for |h| clamped to clamp.
struct Hyp {
  D s, c;
};
inline Hyp hyp(D h, double clamp) {
  constexpr Flavour F = Flavour::LA;
  const D a = simd::min(simd::abs_of<double>(h), simd::splat(clamp));
  const ExpReduced<double> r = half_exp_reduce<double, F>(a);
  const D e = exp_assemble<double, F>(r, exp_poly<double, F>(r.r));  // e^a / 2 >= 1/2
  const D q = simd::mul(simd::splat(0.25), cvec::reciprocal<2>(e));
  return {with_sign_of<double>(sinh_small<double>(a, simd::sub(e, q)), h), simd::add(e, q)};
}

// cos t and sin t from one reduction; sin t is t itself where it rounds to t (keeps a zero's sign).
struct Cis {
  D c, s;
};
inline Cis cis(D t) {
  constexpr Flavour F = Flavour::LA;
  ::nrx::simd::Mask<double> big;
  const TrigReduced<double> r = trig_reduce<false>(t, big);
  const TrigPoly<double> p = trig_poly<double, F>(r);
  const simd::IReg quarter = simd::int_add(r.n, simd::int_splat(8, 0.0), 0.0);
  return {twopart::value(trig_assemble<double, F>(p, quarter)),
          trig_tiny<double>(t, twopart::value(trig_assemble<double, F>(p, r.n)))};
}

// The real and imaginary parts of kind K (ctrig::Kind) for the elements z.
template <int K> inline Parts parts(Parts z) {
  using simd::mul;
  constexpr bool circ = ctrig::circular(K), tan = ctrig::tangent(K);
  const D h = circ ? z.im : z.re, t = circ ? z.re : z.im;
  const Hyp p = hyp(h, tan ? 60.0 : 200.0);
  const Cis q = cis(t);
  if constexpr (tan) {
    const D inv = cvec::reciprocal<2>(simd::fma(p.s, p.s, mul(q.c, q.c)));
    const D hp = mul(mul(p.s, p.c), inv), cp = mul(mul(q.s, q.c), inv);
    return circ ? Parts{cp, hp} : Parts{hp, cp};
  } else if constexpr (K == ctrig::kSinhK) {
    return {mul(p.s, q.c), mul(p.c, q.s)};
  } else if constexpr (K == ctrig::kCoshK) {
    return {mul(p.c, q.c), mul(p.s, q.s)};
  } else if constexpr (K == ctrig::kSinK) {
    return {mul(q.s, p.c), mul(q.c, p.s)};
  } else {  // ctrig::kCosK
    return {mul(q.c, p.c), simd::negate<double>(mul(q.s, p.s))};
  }
}

// Kind K for a float register of pairs.
template <int K> inline ::nrx::simd::Reg<float> pairs(::nrx::simd::Reg<float> z) {
  return cinvvec::join(parts<K>(cinvvec::split(z)));
}

}  // namespace ctrigf
}  // namespace nrx::zar::ops
