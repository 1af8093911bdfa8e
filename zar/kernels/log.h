// Logarithm family: Ln, Log2, Log10, Log1p and Logb (float and double, one algorithm).
//
// x = 2^e m with m in [1, 2); c = a reciprocal estimate of m rounded to a multiple of 1/32,
// r = m c - 1 (|r| <= 1/32), and log_b x = e log_b 2 + log_b(1/c) + log_b(1 + r). The high
// parts of e log_b 2 and of the table add exactly; the polynomial of ln(1 + r) and the low
// parts follow. Zeros, infinities, NaN and negative arguments go to the scalar routine.
#pragma once
#include <cmath>

#include "zar/kernels/exp.h"

namespace nrx::zar::ops {

template <class T, Base B> struct LogTables;
#define NRX_LOG_TABLES(Ty, Bs, Name, Sfx)                            \
  template <> struct LogTables<Ty, Base::Bs> {                       \
    static constexpr const auto* hi = explog::k##Name##Hi_##Sfx;     \
    static constexpr const auto* lo = explog::k##Name##Lo_##Sfx;     \
    static constexpr const auto* of2 = explog::k##Name##Of2_##Sfx;   \
    static constexpr const auto* full = explog::k##Name##Full_##Sfx; \
  };
NRX_LOG_TABLES(double, E, Ln, d)
NRX_LOG_TABLES(double, Two, Log2, d)
NRX_LOG_TABLES(double, Ten, Log10, d)
NRX_LOG_TABLES(float, E, Ln, s)
NRX_LOG_TABLES(float, Two, Log2, s)
NRX_LOG_TABLES(float, Ten, Log10, s)
#undef NRX_LOG_TABLES

// 1/ln(b) in two parts for b = 2, 10.
template <class T, Base B> inline const typename simd::Traits<T>::uint* log_of_e() {
  if constexpr (sizeof(T) == 8) return B == Base::Two ? explog::kLog2OfE_d : explog::kLog10OfE_d;
  else return B == Base::Two ? explog::kLog2OfE_s : explog::kLog10OfE_s;
}

// Coefficients c0.. of (ln(1 + r) - r) / r^2 on |r| <= 1/32, per type and flavour.
template <class T, Flavour F> struct LnPoly;
template <> struct LnPoly<double, Flavour::HA> {
  static constexpr uint64_t c[] = {0xBFDFFFFFFFFFFFC6, 0x3FD5555555555466, 0xBFD00000000C05BD, 0x3FC9999999CC9F5C,
                                   0xBFC55553FB28DB06, 0x3FC249229CEE81EF, 0xBFC007357E93AF62, 0x3FBC81CD309D7C70};
};
template <> struct LnPoly<double, Flavour::LA> : LnPoly<double, Flavour::HA> {};
template <> struct LnPoly<double, Flavour::EP> { static constexpr const auto& c = explog::kLnPolyEP_d; };
template <> struct LnPoly<float, Flavour::HA> { static constexpr const auto& c = explog::kLnPolyHA_s; };
template <> struct LnPoly<float, Flavour::LA> : LnPoly<float, Flavour::HA> {};
template <> struct LnPoly<float, Flavour::EP> { static constexpr const auto& c = explog::kLnPolyEP_s; };

// ln(1 + r) for a reduced |r| <= 1/32 (rr = r^2 rounded): r + r^2 q(r) with one rounding
// of the sum.
template <class T, Flavour F> inline Reg<T> ln1p_reduced(Reg<T> r, Reg<T> rr) {
  return simd::fma(rr, simd::horner_split(r, rr, LnPoly<T, F>::c), r);
}

template <class T> constexpr double log_of(Base b, double x) {
  return b == Base::E ? std::log(x) : b == Base::Two ? std::log2(x) : std::log10(x);
}

// x = 2^e m (m in [1, 2)), c = k/32 near 1/m (k = 16..32, e raised by one for k = 16) and
// r = m c - 1, |r| <= 1/32; r is exact (m's bits times c's 6). idx selects entry k & 15 of
// the 16-entry tables: c's top four mantissa bits (c = 1/2 and c = 1 both give entry 0).
template <class T> struct Reduced {
  Reg<T> r, e;
  simd::IReg idx;
};
template <class T> inline Reduced<T> log_reduce(Reg<T> x) {
  using simd::splat;
  const Reg<T> m = simd::mantissa(x);
  const Reg<T> c = simd::round_frac<5>(simd::rcp14(m));
  const Reg<T> e = simd::add_where(simd::eq(c, splat(T(0.5))), simd::getexp(x), splat(T(1)));
  simd::IReg idx;
  if constexpr (sizeof(T) == 8) idx = simd::shift_right64<48>(simd::as_int(c));
  else idx = simd::shift_right32<19>(simd::as_int(c));
  return {simd::fma(m, c, splat(T(-1))), e, idx};
}

// Entry idx & 15 of a 16-entry table: two registers of double, one of float.
template <class T> inline Reg<T> table16(const typename simd::Traits<T>::uint* tab, simd::IReg idx) {
  if constexpr (sizeof(T) == 8) return table2<T>(tab, idx);
  else return simd::lookup(simd::from_bits(tab), idx);
}

// Float LA and EP: x = 2^e m with m in [0.75, 1.5), log_b m = r (((A r + B) r + C) r + D)
// with r = m - 1 and the coefficients of m's interval (its four mantissa bits below the
// leading one) and base, then e log_b 2 in one fused step. No cancellation near x = 1,
// where e = 0.
template <Base B> struct LogPieces;
#define NRX_LOG_PIECES(Bs, Name)                                                                    \
  template <> struct LogPieces<Base::Bs> {                                                          \
    static constexpr const uint32_t* c[4] = {explog::k##Name##PieceA_s, explog::k##Name##PieceB_s,  \
                                             explog::k##Name##PieceC_s, explog::k##Name##PieceD_s}; \
  };
NRX_LOG_PIECES(E, Ln)
NRX_LOG_PIECES(Two, Log2)
NRX_LOG_PIECES(Ten, Log10)
#undef NRX_LOG_PIECES

// corr (Log1p's, natural base only) is added to ln m; with OnePlus, x is u = 1 + corr
// rounded and r = m - 1 comes from corr itself: u 2^-e - 1 = corr s + (s - 1), s = 2^-e,
// in one rounding (s - 1 is exact while e <= 24; beyond, u's rounding is below the ulp).
template <Base B, bool OnePlus = false> inline Reg<float> log_pieces(Reg<float> x, Reg<float> corr) {
  using simd::splat;
  const auto& c = LogPieces<B>::c;
  const Reg<float> m = simd::mantissa_p75(x);
  Reg<float> e = simd::getexp(x);
  e = simd::add_where(simd::lt(m, splat(1.0f)), e, splat(1.0f));
  const simd::IReg idx = simd::shift_right32<19>(simd::as_int(m));
  Reg<float> r;
  if constexpr (OnePlus) {
    const Reg<float> s = simd::scalef(splat(1.0f), simd::negate<float>(e));
    // From 2^18 on u's own m - 1 serves (and s may be flushed to zero).
    r = simd::select(simd::lt(x, splat(0x1p18f)), simd::fma(corr, s, simd::sub(s, splat(1.0f))),
                     simd::sub(m, splat(1.0f)));
    corr = splat(0.0f);
  } else {
    r = simd::sub(m, splat(1.0f));
  }
  Reg<float> g = simd::lookup(simd::from_bits(c[0]), idx);
  for (int k = 1; k < 4; ++k) g = simd::fma(g, r, simd::lookup(simd::from_bits(c[k]), idx));
  // The last step takes e log_b 2 inside a fused multiply-add: near x = 0.75 the two terms
  // cancel to a third of their size.
  if constexpr (B == Base::Two) return simd::fma(r, g, e);
  if constexpr (B == Base::E) return simd::fma(e, splat(float(log_of<float>(B, 2.0))), simd::fma(r, g, corr));
  const uint32_t* of2 = LogTables<float, B>::of2;  // high part: e times it is exact
  return simd::fma(e, splat(simd::bits_to(of2[1])), simd::fma(r, g, simd::mul(e, splat(simd::bits_to(of2[0])))));
}

// e log_b 2 + log_b(1/c) = hi + lo for the e and idx of log_reduce; the high parts
// add exactly (log_2 2 = 1 has no low part).
template <class T, Base B> inline Reg<T> log_parts(Reg<T> e, simd::IReg idx, Reg<T>& lo) {
  using Tab = LogTables<T, B>;
  if constexpr (B == Base::Two) {
    lo = table16<T>(Tab::lo, idx);
    return simd::add(e, table16<T>(Tab::hi, idx));
  } else {
    lo = simd::fma(e, simd::splat(simd::bits_to(Tab::of2[1])), table16<T>(Tab::lo, idx));
    return simd::fma(e, simd::splat(simd::bits_to(Tab::of2[0])), table16<T>(Tab::hi, idx));
  }
}

// The r of log_reduce(u) for u = 1 + x rounded, taken from x itself: u 2^-g c - 1 =
// x s + (s - 1) with s = c 2^-g (g the exponent of u), in one rounding. s - 1 is exact
// while g <= 48 (18 for float); from there on r, the reduction of u itself, serves (u's
// rounding is far below the result's ulp, and s may be flushed to zero).
//
// With Estimate, u is only an estimate of 1 + x (within 2^-12 relative): c and the exponent
// still come from u, and r is always the one-rounding form, (1 + x) s - 1 with |r| at most
// 2^-12 beyond 1/32. Past u = 2^48 s - 1 then drops the bits of s below 2^-53: an absolute
// error of 2^-53 in r, beside a logarithm above 33.
template <class T, bool Estimate = false> inline Reg<T> one_plus_r(Reg<T> u, Reg<T> x, Reg<T> r) {
  const Reg<T> c = simd::round_frac<5>(simd::rcp14(simd::mantissa(u)));
  const Reg<T> s = simd::scalef(c, simd::negate<T>(simd::getexp(u)));
  const Reg<T> one_r = simd::fma(x, s, simd::sub(s, simd::splat(T(1))));
  if constexpr (Estimate) return one_r;
  const Reg<T> big = simd::splat(sizeof(T) == 8 ? T(0x1p48) : T(0x1p18));
  return simd::select(simd::lt(u, big), one_r, r);
}

// log_b x for positive finite x (subnormals included); corr is added to ln(1 + r) as a
// correction of the argument (Log1p), zero otherwise. With OnePlus, x is u = 1 + corr
// rounded and r is recomputed from corr (one_plus_r) instead; with Estimate too, x is only
// an estimate of 1 + corr (double LA and EP: see one_plus_r), so the reduction need not wait
// for corr.
template <class T, Flavour F, Base B, bool Corr = true, bool OnePlus = false, bool Estimate = false>
inline Reg<T> log_body(Reg<T> x, Reg<T> corr) {
  static_assert(!Estimate || (OnePlus && sizeof(T) == 8 && F != Flavour::HA));
  constexpr bool kAdd = Corr && !OnePlus;
  const auto plus = [&](Reg<T> v) { return kAdd ? simd::add(v, corr) : v; };  // no add of a zero
  using simd::splat;
  using Tab = LogTables<T, B>;
  if constexpr (sizeof(T) == 4 && F != Flavour::HA) return log_pieces<B, OnePlus>(x, Corr ? corr : simd::splat(0.0f));
  auto [r, e, idx] = log_reduce<T>(x);
  if constexpr (OnePlus) r = one_plus_r<T, Estimate>(x, corr, r);
  auto look = [&](const auto* tab) { return table16<T>(tab, idx); };
  if constexpr (F == Flavour::EP) {
    // One rounded table and log_b(2): enough for half the mantissa, fewer operations.
    const Reg<T> q = simd::mul(simd::mul(r, r), simd::horner(r, LnPoly<T, F>::c));
    const Reg<T> hi = simd::fma(e, splat(T(log_of<T>(B, 2.0))), look(Tab::full));
    if constexpr (B == Base::E) return simd::add(hi, simd::add(r, plus(q)));
    else return simd::fma(simd::add(r, plus(q)), splat(T(log_of<T>(B, 2.718281828459045235))), hi);
  }
  Reg<T> lo;
  const Reg<T> hi = log_parts<T, B>(e, idx, lo);
  const auto* k_e = log_of_e<T, B>();
  const Reg<T> ke_hi = splat(simd::bits_to(k_e[0]));
  if constexpr (F == Flavour::LA) {
    // ln(1 + r) rounded once and 1/ln b in one part: a few ulp, the cancellation near
    // powers of two still covered by the two-part sum above.
    const Reg<T> rr = simd::mul(r, r);
    const Reg<T> s = plus(ln1p_reduced<T, F>(r, rr));
    if constexpr (B == Base::E) return simd::add(hi, simd::add(s, lo));
    else return simd::add(hi, simd::fma(s, ke_hi, lo));
  } else {
    const Reg<T> q = simd::mul(simd::mul(r, r), simd::horner(r, LnPoly<T, F>::c));
    if constexpr (B == Base::E) return simd::add(hi, simd::add(r, simd::add(q, plus(lo))));
    lo = simd::fma(plus(q), ke_hi, lo);
    return simd::add(hi, simd::fma(r, ke_hi, simd::fma(r, splat(simd::bits_to(k_e[1])), lo)));
  }
}

// ln(1 + r) = s + s_lo for an exact r (rr = r^2 rounded): r - r^2/2 in two parts (the
// square's error and the sum's) and the tail r^3 (c[0] + c[1] r + ...) in the low part.
template <class T, class U, size_t N> inline Reg<T> ln1p_wide(Reg<T> r, Reg<T> rr, const U (&tail)[N], Reg<T>& s_lo) {
  using simd::splat;
  const Reg<T> half = simd::mul(rr, splat(T(-0.5)));              // exact
  const twopart::Two<Reg<T>> s = twopart::fast_two_sum(r, half);  // |half| <= |r| / 64
  const Reg<T> t = simd::mul(simd::mul(rr, r), simd::horner_split(r, rr, tail));
  s_lo = simd::add(s.lo, simd::fma(simd::fms(r, r, rr), splat(T(-0.5)), t));
  return s.hi;
}

// log2 x in two parts (|lo| <= ulp(hi) / 2) for positive finite double x (the power's
// logarithm): r = m c - 1 is exact, r - r^2/2 is kept exact with the square's low part,
// the tail r^3 (1/3 - r/4 + ...) and the table's low part join the low half.
inline twopart::Two<Reg<double>> log2_wide(Reg<double> x) {
  using simd::splat;
  using D = Reg<double>;
  const auto [r, e, idx] = log_reduce<double>(x);
  D ln_lo;
  const D s = ln1p_wide<double>(r, simd::mul(r, r), explog::kPowLnTail_d, ln_lo);
  const D l2e_hi = splat(simd::bits_to(explog::kLog2OfE_d[0])), l2e_lo = splat(simd::bits_to(explog::kLog2OfE_d[1]));
  const twopart::Two<D> p = twopart::two_prod(s, l2e_hi);
  // a = e + table is exact; |a| >= |p| unless a = 0 (then h = p), so the sum's error is exact.
  D t_lo;
  const D a = log_parts<double, Base::Two>(e, idx, t_lo);
  const twopart::Two<D> h = twopart::fast_two_sum(a, p.hi);
  D l = simd::fma(ln_lo, l2e_hi, t_lo);
  l = simd::fma(s, l2e_lo, l);
  l = simd::add(h.lo, simd::add(p.lo, l));
  return twopart::fast_two_sum(h.hi, l);
}

// The tail r^3 (1/3 - r/4 + ...) of ln(1 + r) in the two-part logarithms, per type.
template <class T> struct LnWideTail { static constexpr const auto& c = explog::kPowLnTail_d; };
template <> struct LnWideTail<float> { static constexpr const auto& c = explog::kPowLnTail_s; };

// ln x in two parts for positive finite x, as log2_wide without the change of base:
// e ln 2 + ln(1/c) is exact (both high parts are short) and at least ln(1 + r) in size
// unless zero, so one exact sum and the low parts give the result.
template <class T = double> inline twopart::Two<Reg<T>> ln_wide(Reg<T> x) {
  using V = Reg<T>;
  const auto [r, e, idx] = log_reduce<T>(x);
  V s_lo, t_lo;
  const V s = ln1p_wide<T>(r, simd::mul(r, r), LnWideTail<T>::c, s_lo);
  const V a = log_parts<T, Base::E>(e, idx, t_lo);
  const twopart::Two<V> h = twopart::fast_two_sum(a, s);
  return twopart::fast_two_sum(h.hi, simd::add(h.lo, simd::add(s_lo, t_lo)));
}

// Scalar routine of Ln, Log2, Log10: -inf for zeros (code 2), NaN for negative arguments
// (code 1), the value in double precision otherwise.
template <class T> int32_t log_scalar(Base b, T x, T* r) {
  if (std::isnan(x) || x == T(HUGE_VAL)) return *r = x * x, ZAR_ST_NONE;
  if (x == 0) return *r = -T(HUGE_VAL), ZAR_ST_POLE;
  if (x < 0) return *r = std::numeric_limits<T>::quiet_NaN(), ZAR_ST_DOMAIN;
  *r = T(log_of<T>(b, double(x)));
  return ZAR_ST_NONE;
}

template <class Self, class T, Flavour F, Base B> struct LogOp : Unary<T> {
  using V = Reg<T>;
  static Mask<T> vec(const V (&a)[1], V (&r)[1], const NoExtra&) {
    r[0] = log_body<T, F, B, false>(a[0], simd::splat(T(0)));
    return simd::fpclass<0xDF>(a[0]);  // NaN, zeros, infinities, negative finite
  }
  static int32_t scalar(const T* const* a, T* const* r, const NoExtra&) { return log_scalar(B, *a[0], r[0]); }
};
template <class T, Flavour F> struct Ln : LogOp<Ln<T, F>, T, F, Base::E> { static constexpr const char* kName = "Ln"; };
template <class T, Flavour F> struct Log2 : LogOp<Log2<T, F>, T, F, Base::Two> {
  static constexpr const char* kName = "Log2";
};
template <class T, Flavour F> struct Log10 : LogOp<Log10<T, F>, T, F, Base::Ten> {
  static constexpr const char* kName = "Log10";
};

// ln(1 + x) with u = 1 + x rounded: HA adds (x - (u - 1)) / u to ln u; LA and EP reduce
// u as the logarithm does and take r from x exactly (one_plus_r), without the division.
template <class T, Flavour F> struct Log1p : Unary<T> {
  static constexpr const char* kName = "Log1p";
  using V = Reg<T>;
  static Mask<T> vec(const V (&a)[1], V (&r)[1], const NoExtra&) {
    using simd::splat;
    const V x = a[0];
    const V u = simd::add(x, splat(T(1)));
    const Mask<T> other = Mask<T>(simd::not_gt(x, splat(T(-1))) | simd::fpclass<simd::kInf>(x));
    if constexpr (F != Flavour::HA) {
      r[0] = simd::select(simd::fpclass<simd::kZero>(x), x, log_body<T, F, Base::E, true, true>(u, x));
      return other;
    }
    const V err = simd::sub(x, simd::sub(u, splat(T(1))));
    V inv = simd::rcp14(u);  // two Newton steps: near u = 1 the correction needs 1/u in full
    inv = simd::fma(inv, simd::fnma(u, inv, splat(T(1))), inv);
    inv = simd::fma(inv, simd::fnma(u, inv, splat(T(1))), inv);
    r[0] = simd::select(simd::fpclass<simd::kZero>(x), x, log_body<T, F, Base::E>(u, simd::mul(err, inv)));
    return other;
  }
  static int32_t scalar(const T* const* a, T* const* r, const NoExtra&) {
    const T x = *a[0];
    if (std::isnan(x) || x == T(HUGE_VAL)) return *r[0] = x + x, ZAR_ST_NONE;
    if (x == -1) return *r[0] = -T(HUGE_VAL), ZAR_ST_POLE;
    if (x < -1) return *r[0] = std::numeric_limits<T>::quiet_NaN(), ZAR_ST_DOMAIN;
    *r[0] = T(std::log1p(double(x)));
    return ZAR_ST_NONE;
  }
};

// The unbiased exponent of x, exact for subnormals; -inf for zeros with code 1.
template <class T, Flavour F> struct Logb : Unary<T> {
  static constexpr const char* kName = "Logb";
  using V = Reg<T>;
  static Mask<T> vec(const V (&a)[1], V (&r)[1], const NoExtra&) {
    r[0] = simd::getexp(a[0]);
    return simd::fpclass<simd::kZero | simd::kDenormal>(a[0]);
  }
  static int32_t scalar(const T* const* a, T* const* r, const NoExtra&) {
    const T x = *a[0];
    if (x == 0) return *r[0] = -T(HUGE_VAL), ZAR_ST_DOMAIN;
    *r[0] = std::logb(x);
    return ZAR_ST_NONE;
  }
};

}  // namespace nrx::zar::ops
