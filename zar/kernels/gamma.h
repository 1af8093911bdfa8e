// Gamma functions: LGamma and TGamma, one kernel for every flavour (float runs the same
// steps in plain double arithmetic on each half of its register and rounds once at the end).
//
// On [1/2, 8) ln Gamma and Gamma are polynomials in t = x - c on 16 intervals (the low
// exponent bits and two leading mantissa bits of x pick one; tools/gamma_gen.py), kept in
// two parts through the constant and linear terms; the intervals next to 1 and 2 are
// centred there, so ln Gamma keeps a relative error at its positive zeros. Gamma uses its
// table below 4 and Gamma(x) = (x-1)(x-2)[(x-3)(x-4)] Gamma(x-2[-4]) with exact products
// above. For |x| < 1/2 the same tables at 1 + x, with t taken from x exactly, give
// ln Gamma(x) = ln Gamma(1 + x) - ln|x| and Gamma(x) = Gamma(1 + x) / x. From 8 on, Stirling's
// series with a two-part logarithm; Gamma is e to the two-part ln Gamma. Below -1/2 the
// reflection Gamma(x) Gamma(-x) = -pi / (x sin(pi x)) with |x sin(pi x)| / pi in two parts
// from the exact remainder f = |x| - round(|x|). Every sum that cancels is carried in two parts,
// so near the negative zeros of ln Gamma the absolute error stays far below 2^-52. A register
// whose lanes all lie at 8 or beyond skips the tables.
#pragma once
#include <cmath>
#include <limits>
#include <type_traits>

#include "zar/kernels/erf.h"
#include "zar/kernels/gamma_data.h"

namespace nrx::zar::ops {

namespace gamma {

using D = Reg<double>;
using M = Mask<double>;
using Two = twopart::Two<D>;
using Data = special::Gamma_d;

inline D k(double v) { return simd::splat(v); }
inline D bits(uint64_t b) { return simd::splat(simd::bits_to(b)); }
inline Two pair(const uint64_t (&c)[2]) { return {bits(c[0]), bits(c[1])}; }
inline Two select(M m, Two a, Two b) { return {simd::select(m, a.hi, b.hi), simd::select(m, a.lo, b.lo)}; }
inline Two neg(Two a) { return {simd::negate<double>(a.hi), simd::negate<double>(a.lo)}; }

// Table lookup for x in [1/2, 8): the low two exponent bits and two leading mantissa bits.
inline simd::IReg index_of(D x) { return simd::shift_right<50>(x); }

// c0 + c1 t + c2 t^2 + ... of the table's row idx, in two parts: c0, c1 t and t^2 (c2 + t Q)
// each kept in two parts, so that where c1 t and the rest cancel (near the zeros of
// ln Gamma) only t Q is rounded.
template <size_t R> inline Two table_two(const uint64_t (&tab)[R][16], simd::IReg idx, D t) {
  auto row = [&](size_t j) { return table16<double>(tab[j], idx); };
  D q = row(R - 1);
  for (size_t j = R - 2; j >= 6; --j) q = simd::fma(q, t, row(j));
  const Two c2q = twopart::two_sum(row(5), simd::mul(t, q));
  const Two rest = twopart::mul(c2q, twopart::two_prod(t, t));
  const Two p = twopart::two_prod(t, row(3));
  const Two lin = twopart::add(Two{row(1), row(2)}, Two{p.hi, simd::fma(t, row(4), p.lo)});
  return twopart::add(lin, rest);
}

// The table at x (x in [1/2, 8)) and, on near lanes, at 1 + y with t = y - (centre - 1)
// exact (|y| < 1/2): one evaluation for both kinds of lane.
template <size_t R> inline Two table_at(const uint64_t (&tab)[R][16], D x, M near, D y) {
  const simd::IReg idx = index_of(simd::select(near, simd::add(y, k(1)), x));
  const D c = table16<double>(tab[0], idx);
  const D t = simd::select(near, simd::sub(y, simd::sub(c, k(1))), simd::sub(x, c));
  return table_two(tab, idx, t);
}

inline Two ln_two(D x) { return ln_wide(x); }

// ln of a two-part positive value: ln hi + lo / hi, the quotient (below 2^-52 in size) from
// the reciprocal estimate and added to the low part, which the next two-part sum normalises.
inline Two ln_two(Two p) {
  const Two l = ln_two(p.hi);
  return {l.hi, simd::fma(p.lo, simd::rcp14(p.hi), l.lo)};
}

// ln Gamma(x) for x >= 8 from L = ln x: x (L - 1) - L/2 + ln(2 pi)/2 + R(1/x), where
// L - 1 is exact and x (L - 1) is kept whole, so huge x near the overflow stays finite.
inline Two stirling(D x, Two l) {
  const Two p = twopart::two_prod(x, simd::sub(l.hi, k(1)));
  const Two s1 = twopart::fast_two_sum(p.hi, simd::mul(l.hi, k(-0.5)));
  const Two c = pair(Data::half_ln_2pi);
  const Two s2 = twopart::fast_two_sum(s1.hi, c.hi);
  const D y = simd::div(k(1), x);
  const D r = simd::mul(y, simd::horner(simd::mul(y, y), Data::stirling));
  const D lo = simd::fma(x, l.lo, simd::fma(l.lo, k(-0.5), simd::add(c.lo, r)));
  return twopart::fast_two_sum(s2.hi, simd::add(simd::add(p.lo, s1.lo), simd::add(s2.lo, lo)));
}

// a |sin(pi a)| / pi in two parts for a >= 1/2 not an integer, and where sin(pi a) is
// negative: a |f| (1 + b z + z^2 Q(z)) with the exact remainder f = a - round(a), z = f^2.
struct SinPi {
  Two mag;
  M negative;
};
inline SinPi sin_pi(D a) {
  const D n = simd::round<simd::kRoundNearest>(a);
  const D f = simd::sub(a, n);  // exact, |f| <= 1/2
  const D af = simd::abs_of<double>(f);
  const Two z = twopart::two_prod(af, af);
  const D q = simd::horner(z.hi, Data::sinpi);
  const Two b = twopart::fast_two_sum(bits(Data::sinpi_lead[0]), simd::fma(z.hi, q, bits(Data::sinpi_lead[1])));
  const Two w = twopart::mul_loose(b, z);           // |w| < 0.37
  const Two u = twopart::fast_two_sum(k(1), w.hi);  // 1 + w
  const Two p = twopart::mul_loose(Two{u.hi, simd::add(u.lo, w.lo)}, twopart::two_prod(af, a));
  const D half = simd::mul(n, k(0.5));
  const M odd = simd::ne(half, simd::round<simd::kRoundDown>(half));
  return {p, M(odd ^ simd::lt(f, k(0)))};
}

// ln Gamma(x) in two parts, for every finite x that is not a pole and below the overflow.
// Below -1/2, ln|Gamma(x)| = -ln(|x| |sin(pi x)| / pi) - ln Gamma(|x|); the table runs only
// when a lane lies below 8 and Stirling's series only when one lies above.
inline Two lgamma_two(D x) {
  const D a = simd::abs_of<double>(x);
  const M near = simd::lt(a, k(0.5));
  const M big = simd::ge(a, k(8));
  const M negative = simd::le(x, k(-0.5));
  const D ap = simd::max(a, k(0.5));
  // ln Gamma(|x|) from 1/2 on (table or Stirling), and ln Gamma(1 + x) on near lanes.
  Two g{};
  if (M(~big)) g = table_at(Data::lg, ap, near, x);
  Two ln_a{};
  if (M(near | big)) ln_a = ln_two(simd::select(near, a, simd::max(a, k(8))));
  Two r = g;
  if (big) r = select(big, stirling(simd::max(a, k(8)), ln_a), r);
  if (near) r = select(near, twopart::add(g, neg(ln_a)), r);
  if (negative) r = select(negative, neg(twopart::add(ln_two(sin_pi(ap).mag), r)), r);
  return r;
}

// Gamma(a) in two parts for a in [1/2, 8), and Gamma(1 + y) on near lanes (|y| < 1/2).
inline Two gamma_mid(D a, M near, D y) {
  const M ge4 = M(simd::ge(a, k(4)) & ~near);
  if (!ge4) return table_at(Data::g, a, near, y);
  const M ge6 = simd::ge(a, k(6));
  const Two p1 = twopart::two_prod(simd::sub(a, k(1)), simd::sub(a, k(2)));  // exact factors from 4 on
  const Two p2 =
      twopart::two_prod(simd::select(ge6, simd::sub(a, k(3)), k(1)), simd::select(ge6, simd::sub(a, k(4)), k(1)));
  const D arg = simd::select(ge4, simd::sub(a, simd::select(ge6, k(4), k(2))), a);
  const Two g = table_at(Data::g, arg, near, y);
  return select(ge4, twopart::mul(g, twopart::mul(p1, p2)), g);
}

// 1 / (b.hi + b.lo) rounded once: the quotient q of the high part corrected by q (1 - q b),
// with 1 - q b from the exact product (one division instead of twopart::div's two).
inline D recip_value(Two b) {
  const D q = simd::div(k(1), b.hi);
  const Two p = twopart::two_prod(q, b.hi);
  const D r = simd::fnma(q, b.lo, simd::sub(simd::sub(k(1), p.hi), p.lo));
  return simd::fma(q, r, q);
}

// e^(e.hi + e.lo), rounded once before the scaling (subnormal results round twice).
inline D exp_two(Two e) {
  const D hi = simd::max(e.hi, k(-1100));  // e^-1100 is zero: keeps the reduction in range
  const ScaledExp<double> v =
      exp_neg_unscaled<double, Flavour::HA>(simd::negate<double>(hi), simd::negate<double>(e.lo));
  return simd::scalef(simd::add(v.hi, v.lo), v.scale);
}

// Gamma(x) for every finite x that is not a pole and below the overflow; below -185 the
// zero that underflows takes the sign of Gamma(x).
inline D tgamma_body(D x) {
  const D a = simd::abs_of<double>(x);
  const M near = simd::lt(a, k(0.5));
  const M big = simd::ge(a, k(8));
  const M negative = simd::le(x, k(-0.5));
  const D ap = simd::max(a, k(0.5));
  Two g{k(1), k(0)};
  if (M(~big)) g = gamma_mid(simd::select(big, k(1), ap), near, x);  // the table only when a lane needs it
  D r = twopart::value(g);
  if (near) r = simd::select(near, twopart::value(twopart::div(g, x)), r);
  SinPi s{};
  if (negative) {
    s = sin_pi(ap);
    // Gamma(x) = -1 / ((|x| |sin(pi x)| / pi) Gamma(|x|)), the sign below.
    r = simd::select(negative, recip_value(twopart::mul_loose(s.mag, g)), r);
  }
  if (big) {
    const D a8 = simd::max(a, k(8));
    const Two l = stirling(a8, ln_two(a8));
    Two e = l;
    if (negative) e = select(negative, neg(twopart::add(ln_two(s.mag), l)), l);
    r = simd::select(big, exp_two(e), r);
  }
  if (negative) r = simd::select(M(negative & ~s.negative), simd::negate<double>(r), r);
  return r;
}

// Float results run the same steps in plain double arithmetic on each half of the register:
// 2^-27 relative is ample for Gamma (shortened table and series; negative arguments from
// Gamma(|x|) itself, which stays finite in double), and ln Gamma keeps an absolute error near
// 2^-52 at its negative zeros with the full tables and the double logarithm (one rounding
// per term).

// The table's polynomial at x (or 1 + y on near lanes), plain Horner from c1 down, through
// row Use - 1 only.
template <size_t R, size_t Use = R> inline D table_plain(const uint64_t (&tab)[R][16], D x, M near, D y) {
  static_assert(Use > 5 && Use <= R);
  const simd::IReg idx = index_of(simd::select(near, simd::add(y, k(1)), x));
  const D c = table16<double>(tab[0], idx);
  const D t = simd::select(near, simd::sub(y, simd::sub(c, k(1))), simd::sub(x, c));
  D q = table16<double>(tab[Use - 1], idx);
  for (size_t j = Use - 2; j >= 5; --j) q = simd::fma(q, t, table16<double>(tab[j], idx));
  q = simd::fma(q, t, table16<double>(tab[3], idx));
  return simd::fma(q, t, table16<double>(tab[1], idx));
}

inline D ln_plain(D x) { return log_body<double, Flavour::HA, Base::E, false>(x, k(0)); }

// Gamma's float results need only the series' first three terms: from x = 8 on the rest is
// below 3e-10, relative to Gamma.
inline constexpr uint64_t kStirlingShort[] = {Data::stirling[0], Data::stirling[1], Data::stirling[2]};

template <const auto& C = Data::stirling> inline D stirling_plain(D x, D l) {
  const D y = simd::div(k(1), x);
  const D r = simd::fma(y, simd::horner(simd::mul(y, y), C), bits(Data::half_ln_2pi[0]));
  return simd::fma(x, simd::sub(l, k(1)), simd::fma(l, k(-0.5), r));
}

// a |sin(pi a)| / pi for a >= 1/2 not an integer, and where sin(pi a) is negative.
struct SinPiPlain {
  D mag;
  M negative;
};
inline SinPiPlain sin_pi_plain(D a) {
  const D n = simd::round<simd::kRoundNearest>(a);
  const D f = simd::sub(a, n);
  const D af = simd::abs_of<double>(f);
  const D z = simd::mul(af, af);
  const D u = simd::fma(z, simd::fma(z, simd::horner(z, Data::sinpi), bits(Data::sinpi_lead[0])), k(1));
  const D half = simd::mul(n, k(0.5));
  const M odd = simd::ne(half, simd::round<simd::kRoundDown>(half));
  return {simd::mul(simd::mul(af, a), u), M(odd ^ simd::lt(f, k(0)))};
}

inline D lgamma_plain(D x) {
  const D a = simd::abs_of<double>(x);
  const M near = simd::lt(a, k(0.5));
  const M big = simd::ge(a, k(8));
  const M negative = simd::le(x, k(-0.5));
  const D ap = simd::max(a, k(0.5));
  D r = k(0);
  if (M(~big)) r = table_plain(Data::lg, ap, near, x);
  D ln_a = k(0);
  if (M(near | big)) ln_a = ln_plain(simd::select(near, a, simd::max(a, k(8))));
  if (big) r = simd::select(big, stirling_plain(simd::max(a, k(8)), ln_a), r);
  if (near) r = simd::select(near, simd::sub(r, ln_a), r);
  if (negative) r = simd::select(negative, simd::negate<double>(simd::add(ln_plain(sin_pi_plain(ap).mag), r)), r);
  return r;
}

// Gamma's float results take the table through c12: the terms beyond add about 2^-27
// relative at most (next to 1 + y = 5/4), a tenth of a float ulp.
constexpr size_t kGammaRows = 16;

inline D tgamma_plain(D x) {
  const D a = simd::abs_of<double>(x);
  const M near = simd::lt(a, k(0.5));
  const M big = simd::ge(a, k(8));
  const M negative = simd::le(x, k(-0.5));
  const D ap = simd::max(a, k(0.5));
  D g = k(1);
  if (M(~big)) {
    // Gamma(a) = (a-1)(a-2) Gamma(a-2) from 4 on (a < 8 here, the table below 4).
    const D a4 = simd::select(M(near | big), k(1), ap);
    const M ge4 = simd::ge(a4, k(4)), ge6 = simd::ge(a4, k(6));
    const D arg = simd::sub(a4, simd::select(ge6, k(4), simd::select(ge4, k(2), k(0))));
    g = table_plain<std::size(Data::g), kGammaRows>(Data::g, arg, near, x);
    if (ge4) {
      const D p1 = simd::mul(simd::sub(a4, k(1)), simd::sub(a4, k(2)));
      const D p2 =
          simd::mul(simd::select(ge6, simd::sub(a4, k(3)), k(1)), simd::select(ge6, simd::sub(a4, k(4)), k(1)));
      g = simd::select(ge4, simd::mul(g, simd::mul(p1, p2)), g);
    }
  }
  if (big) {
    // Gamma(a) = e^(ln Gamma(a)) with a at most 48: Gamma(48) ~ 2.6e59 stays finite in double,
    // and from there every float result is an overflow, or below -48 a zero.
    const D a8 = simd::min(simd::max(a, k(8)), k(48));
    const D e = stirling_plain<kStirlingShort>(a8, ln_plain(a8));
    const ScaledExp<double> v = exp_neg_unscaled<double, Flavour::LA>(simd::negate<double>(e), k(0));
    g = simd::select(big, simd::scalef(simd::add(v.hi, v.lo), v.scale), g);
  }
  D r = g;
  if (near) r = simd::select(near, simd::div(g, x), r);
  SinPiPlain s{};
  if (negative) {
    s = sin_pi_plain(ap);
    r = simd::select(negative, simd::div(k(1), simd::mul(s.mag, g)), r);
  }
  if (negative) r = simd::select(M(negative & ~s.negative), simd::negate<double>(r), r);
  return r;
}

// Element type T's arguments that the vector body does not give: NaN, infinities, zeros,
// negative integers (every float below -2^23 and double below -2^52 is one).
template <class T> inline Mask<T> poles_and_ends(Reg<T> x) {
  using simd::splat;
  const Mask<T> negint = simd::eq(x, simd::round<simd::kRoundNearest>(simd::min(x, splat(T(0)))));
  return Mask<T>(simd::fpclass<simd::kNaN | simd::kInf | simd::kZero>(x) | negint);
}

// The double body, or the plain one on each half of a float register, rounded once.
template <class T, D (*Body)(D), D (*Plain)(D)> inline Reg<T> run(Reg<T> x) {
  if constexpr (std::is_same_v<T, double>) return Body(x);
  else return simd::narrow(Plain(simd::widen_lo(x)), Plain(simd::widen_hi(x)));
}

inline D lgamma_value(D x) { return twopart::value(lgamma_two(x)); }

// Double thresholds: ln Gamma overflows above the first, Gamma from the second on; Gamma
// of |x| below 2^-1019 overflows.
constexpr double kLgammaOverflow = 0x1.754d9278b51a7p+1014;  // 2.5599833278516383e305
constexpr double kTgammaOverflow = 0x1.573fae561f648p+7;     // 171.62437695630274
constexpr double kTgammaTiny = 0x1p-1019;

}  // namespace gamma

// ln|Gamma(x)|: +inf with code 2 at zeros and negative integers, code 3 above the overflow;
// +inf for both infinities.
template <class T, Flavour F> struct LGamma : Unary<T> {
  static constexpr const char* kName = "LGamma";
  using V = Reg<T>;
  static Mask<T> vec(const V (&in)[1], V (&r)[1], const NoExtra&) {
    r[0] = gamma::run<T, gamma::lgamma_value, gamma::lgamma_plain>(in[0]);
    Mask<T> m = Mask<T>(gamma::poles_and_ends<T>(in[0]) | simd::fpclass<simd::kInf>(r[0]));
    if constexpr (std::is_same_v<T, double>) m = Mask<T>(m | simd::gt(in[0], simd::splat(gamma::kLgammaOverflow)));
    return m;
  }
  static int32_t scalar(const T* const* a, T* const* r, const NoExtra& ex) {
    const T x = simd::daz(*a[0]);
    constexpr T inf = std::numeric_limits<T>::infinity();
    if (std::isnan(x)) return *r[0] = x * x, ZAR_ST_NONE;
    if (std::isinf(x)) return *r[0] = inf, ZAR_ST_NONE;
    if (x == 0 || (x < 0 && x == std::floor(x))) return *r[0] = inf, ZAR_ST_POLE;
    if (double(x) > gamma::kLgammaOverflow) return *r[0] = inf, ZAR_ST_RESULT_TOO_LARGE;
    const T* q[1] = {&x};
    scalar_by_vector<LGamma>(q, r, ex);
    return std::isinf(*r[0]) ? ZAR_ST_RESULT_TOO_LARGE : ZAR_ST_NONE;
  }
};

// Gamma(x): +-inf with code 2 at +-0, NaN with code 1 at negative integers and -inf, +-inf
// with code 3 where the result overflows (tiny |x|, large x).
template <class T, Flavour F> struct TGamma : Unary<T> {
  static constexpr const char* kName = "TGamma";
  using V = Reg<T>;
  static Mask<T> vec(const V (&in)[1], V (&r)[1], const NoExtra&) {
    using simd::splat;
    const V x = in[0];
    r[0] = gamma::run<T, gamma::tgamma_body, gamma::tgamma_plain>(x);
    Mask<T> m = Mask<T>(gamma::poles_and_ends<T>(x) | simd::fpclass<simd::kInf>(r[0]));
    if constexpr (std::is_same_v<T, double>)
      m = Mask<T>(m | simd::lt(simd::abs_of<T>(x), splat(gamma::kTgammaTiny)) |
                  simd::ge(x, splat(gamma::kTgammaOverflow)));
    return m;
  }
  static int32_t scalar(const T* const* a, T* const* r, const NoExtra& ex) {
    const T x = simd::daz(*a[0]);
    constexpr T inf = std::numeric_limits<T>::infinity();
    if (std::isnan(x)) return *r[0] = x + x, ZAR_ST_NONE;
    if (x == inf) return *r[0] = inf, ZAR_ST_NONE;
    if (x == 0) return *r[0] = std::copysign(inf, x), ZAR_ST_POLE;
    if (x < 0 && x == std::floor(x)) return *r[0] = std::numeric_limits<T>::quiet_NaN(), ZAR_ST_DOMAIN;
    if (std::is_same_v<T, double> && (std::fabs(double(x)) < gamma::kTgammaTiny || double(x) >= gamma::kTgammaOverflow))
      return *r[0] = std::copysign(inf, x), ZAR_ST_RESULT_TOO_LARGE;
    const T* q[1] = {&x};
    scalar_by_vector<TGamma>(q, r, ex);
    return std::isinf(*r[0]) ? ZAR_ST_RESULT_TOO_LARGE : ZAR_ST_NONE;
  }
};

}  // namespace nrx::zar::ops
