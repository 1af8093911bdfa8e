// Exponential integral E1 (float and double, one algorithm).
//
// x < 1/2: E1(x) = -ln x - gamma + x + x^2 P(x); the logarithm, gamma and x are summed in
// two parts (HA), the term x^2 P(x) is at most a ninth of the result. From 1/2 on,
// E1(x) = e^-x h(x): h a polynomial on one of 15 intervals of x picked by the leading bits
// of x + 2 up to 30, and w (1 - w S(w)) with w = 1/x beyond (tools/expint_gen.py). The
// exponential body's reduction and table are kept unscaled and 2^k applied last, so results
// in the subnormal range are rounded once. HA keeps the constant term of h, w and the
// exponential in two parts up to the last fused step; EP takes the short logarithm and
// exponential and lower degrees. Float HA runs the double body on each half register with
// the LA logarithm and exponential and double EP's polynomials; float EP runs the same body
// on float lanes with float polynomials. Zeros, negative
// arguments and NaN go to the scalar routine.
#pragma once
#include <cmath>
#include <limits>
#include <type_traits>

#include "zar/kernels/erf.h"
#include "zar/kernels/expint_data.h"
#include "zar/kernels/log.h"

namespace nrx::zar::ops {

// The generated set of an element type and flavour: float HA takes double EP's (2^-32 relative).
template <class T, Flavour F> using ExpInt1Set =
    std::conditional_t<std::is_same_v<T, double>,
                       std::conditional_t<F == Flavour::EP, special::ExpInt1EP_d, special::ExpInt1HA_d>,
                       std::conditional_t<F == Flavour::EP, special::ExpInt1EP_s, special::ExpInt1EP_d>>;

// -ln x - gamma + x + x^2 P(x) for 0 < x < 1/2; Wide (double only): the first three terms in
// two parts.
template <class T, class S, Flavour FX, bool Wide> inline Reg<T> e1_near(Reg<T> x) {
  using simd::splat;
  using D = Reg<T>;
  const double g_hi = simd::bits_to(special::EulerGamma::v[0]), g_lo = simd::bits_to(special::EulerGamma::v[1]);
  const D rest = simd::mul(simd::mul(x, x), simd::horner(x, S::near));
  if constexpr (!Wide) {
    const D ln = log_body<T, FX, Base::E, false>(x, x);
    return simd::sub(simd::add(simd::sub(x, splat(T(g_hi))), rest), ln);
  } else {
    using C = ExpConst<double>;
    const twopart::Two<D> l2 = log2_wide(x);
    const twopart::Two<D> ln = twopart::mul(l2, twopart::Two<D>{splat(C::ln2_hi), splat(C::ln2_lo)});
    twopart::Two<D> a = twopart::add(twopart::Two<D>{simd::negate<double>(ln.hi), simd::negate<double>(ln.lo)},
                                     twopart::Two<D>{splat(-g_hi), splat(-g_lo)});
    a = twopart::add(a, x);
    return simd::add(a.hi, simd::add(a.lo, rest));
  }
}

// h(x) = e^x E1(x) = hi + lo for 1/2 <= x < 30 (lo = 0 unless Wide); Wide: c0 + c1 t
// exactly in two parts, then the low parts and t^2 (c2 + c3 t + ...).
template <class T, class S, bool Wide> inline twopart::Two<Reg<T>> e1_tail(Reg<T> x) {
  using simd::splat;
  using D = Reg<T>;
  const auto& tab = S::tail;  // rows: centre, c0, c0_lo, c1, c1_lo, c2, ...
  constexpr int rows = int(std::extent_v<std::remove_reference_t<decltype(tab)>>);
  // Exponent and two leading mantissa bits of x + 2.
  const simd::IReg idx = simd::shift_right<simd::Traits<T>::mant_bits - 2>(simd::add(x, splat(T(2))));
  const D t = simd::sub(x, table16<T>(tab[0], idx));  // exact: x lies within the centre's binade
  D q = table16<T>(tab[rows - 1], idx);
  for (int k = rows - 2; k >= 5; --k) q = simd::fma(q, t, table16<T>(tab[k], idx));
  const D c0 = table16<T>(tab[1], idx), c1 = table16<T>(tab[3], idx);
  if constexpr (!Wide) return {simd::fma(t, simd::fma(q, t, c1), c0), splat(T(0))};
  const twopart::Two<D> p = twopart::two_prod(t, c1);
  const twopart::Two<D> s = twopart::fast_two_sum(c0, p.hi);  // |c1 t| < c0 on every interval
  D lo = simd::fma(t, table16<T>(tab[4], idx), simd::add(table16<T>(tab[2], idx), p.lo));
  lo = simd::fma(simd::mul(t, t), q, lo);
  return {s.hi, simd::add(s.lo, lo)};
}

// h(x) = w (1 - w S(w)) = hi + lo for x >= 30, w = 1/x; hi = w rounded, lo its error and the rest.
template <class T, class S, bool Wide> inline twopart::Two<Reg<T>> e1_far(Reg<T> x) {
  using simd::splat;
  using D = Reg<T>;
  const D w = simd::div(splat(T(1)), x);
  const D ws = simd::mul(w, simd::horner(w, S::far));
  if constexpr (!Wide) return {simd::fnma(w, ws, w), splat(T(0))};
  const D w_lo = simd::mul(simd::fnma(x, w, splat(T(1))), w);  // 1 - x w is exact
  return {w, simd::fnma(w, ws, w_lo)};
}

// E1(x) for x > 0 (+inf gives +0); other lanes hold unspecified values.
template <class T, class S, Flavour FX, bool Wide> inline Reg<T> e1_body(Reg<T> x) {
  using simd::splat;
  using D = Reg<T>;
  using M = Mask<T>;
  // The result is +0 from 750 (double) or 110 (float) on: e^-x is taken there.
  const D xe = simd::min(simd::max(x, splat(T(0.5))), splat(T(std::is_same_v<T, double> ? 750 : 110)));
  const M far = simd::ge(xe, splat(T(30)));
  twopart::Two<D> h;
  if (M(~far)) h = e1_tail<T, S, Wide>(xe);
  if (far) {
    const twopart::Two<D> f = e1_far<T, S, Wide>(xe);
    h = M(~far) ? twopart::Two<D>{simd::select(far, f.hi, h.hi), simd::select(far, f.lo, h.lo)} : f;
  }
  const ScaledExp<T> e = exp_neg_unscaled<T, FX>(xe, splat(T(0)));
  D v;
  if constexpr (Wide) v = simd::fma(e.hi, h.hi, simd::fma(e.hi, h.lo, simd::mul(e.lo, simd::add(h.hi, h.lo))));
  else v = simd::fma(e.hi, h.hi, simd::mul(e.lo, h.hi));
  D r = simd::scalef(v, e.scale);
  const M near = simd::lt(x, splat(T(0.5)));
  if (near) r = simd::select(near, e1_near<T, S, FX, Wide>(x), r);
  return r;
}

template <class T, Flavour F> struct ExpInt1 : Unary<T> {
  static constexpr const char* kName = "ExpInt1";
  using V = Reg<T>;
  using S = ExpInt1Set<T, F>;
  static constexpr bool kDouble = std::is_same_v<T, double>;
  static constexpr bool kWide = kDouble && F != Flavour::EP;
  // Flavour of the logarithm and exponential inside: float HA needs only LA's.
  static constexpr Flavour kInner = F == Flavour::EP ? Flavour::EP : kDouble ? Flavour::HA : Flavour::LA;

  static Mask<T> vec(const V (&in)[1], V (&r)[1], const NoExtra&) {
    if constexpr (kDouble || F == Flavour::EP) {
      r[0] = e1_body<T, S, kInner, kWide>(in[0]);
    } else {
      r[0] = simd::narrow(e1_body<double, S, kInner, kWide>(simd::widen_lo(in[0])),
                          e1_body<double, S, kInner, kWide>(simd::widen_hi(in[0])));
    }
    return simd::not_gt(in[0], simd::splat(T(0)));  // zeros, negative arguments, NaN
  }
  // +inf for zeros (code 2), NaN for negative arguments (code 1); a positive argument (a
  // subnormal read as zero excepted) never comes here, but would get the vector value.
  static int32_t scalar(const T* const* a, T* const* r, const NoExtra& ex) {
    const T x = simd::daz(*a[0]);
    if (std::isnan(x)) return *r[0] = x + x, ZAR_ST_NONE;
    if (x == 0) return *r[0] = std::numeric_limits<T>::infinity(), ZAR_ST_POLE;
    if (x < 0) return *r[0] = std::numeric_limits<T>::quiet_NaN(), ZAR_ST_DOMAIN;
    return scalar_by_vector<ExpInt1>(a, r, ex);
  }
};

}  // namespace nrx::zar::ops
