// Circular functions: Sin, Cos, SinCos, Tan (float and double, one algorithm).
//
// x = N pi/16 + r (trig_reduce.h); with j = N mod 16 and the table S_j = sin(j pi/16),
// C_j = cos(j pi/16): sin x = +-(S_j cos r + C_j sin r), the sign from bit 4 of N (float
// tables run over j = N mod 32 and carry it), and cos x is the same with N + 8. HA keeps r,
// the table and the sum S_j + C_j r in two parts and rounds once at the end; LA and EP
// round S_j + C_j r and add the rest in one more step; EP uses short polynomials. Tan takes
// t = tan r from its own polynomial and T_k = tan(k pi/16) from a table: tan x = (T_k +
// t) / (1 - T_k t) with k = j, or -(1 - T_k t) / (T_k + t) with k = j - 8 for j = 4..11,
// so |k| <= 4, both sums stay within a factor 2 of their terms and one quotient remains
// (HA: both sums in two parts and a corrected quotient; LA: one division and a fused
// correction by T_k t; EP: the division alone). Float runs the same steps in float lanes
// (16 per register); only the reduction of lanes above 10000 runs in double lanes. Only NaN
// and infinities go to the scalar routine.
#pragma once
#include <cmath>
#include <limits>

#include "zar/kernels/exp.h"
#include "zar/kernels/recip.h"
#include "zar/kernels/trig_reduce.h"

namespace nrx::zar::ops {

// sin r = rh + sr and cos r = 1 + cm1.
template <class T> struct TrigPoly { Reg<T> rh, sr, cm1; };

template <class T, Flavour F> struct TrigCoeffs;
template <> struct TrigCoeffs<double, Flavour::HA> {
  static constexpr const auto& s = trig::kSinPoly;
  static constexpr const auto& c = trig::kCosPoly;
};
template <> struct TrigCoeffs<double, Flavour::LA> : TrigCoeffs<double, Flavour::HA> {};
template <> struct TrigCoeffs<double, Flavour::EP> {
  static constexpr const auto& s = trig::kSinPolyShort;
  static constexpr const auto& c = trig::kCosPolyShort;
};
template <> struct TrigCoeffs<float, Flavour::HA> {
  static constexpr const auto& s = trig::kSinPoly_s;  // within 2^-31 of sin r and cos r
  static constexpr const auto& c = trig::kCosPoly_s;
};
template <> struct TrigCoeffs<float, Flavour::LA> : TrigCoeffs<float, Flavour::HA> {};
template <> struct TrigCoeffs<float, Flavour::EP> {
  static constexpr const auto& s = trig::kSinPolyEP_s;
  static constexpr const auto& c = trig::kCosPolyEP_s;
};

template <class T, Flavour F> inline TrigPoly<T> trig_poly(const TrigReduced<T>& a) {
  using P = TrigCoeffs<T, F>;
  const Reg<T> r2 = simd::mul(a.rh, a.rh), r3 = simd::mul(r2, a.rh);
  if constexpr (F != Flavour::HA)
    return {a.rh, simd::mul(r3, simd::horner(r2, P::s)), simd::mul(r2, simd::horner(r2, P::c))};
  // rl enters sin r once and cos r through -r rl.
  const Reg<T> sr = simd::fma(r3, simd::horner(r2, P::s), a.rl);
  const Reg<T> cm1 = simd::fms(r2, simd::horner(r2, P::c), simd::mul(a.rh, a.rl));
  return {a.rh, sr, cm1};
}

// Entry (idx mod 16) of a 16-entry table: two double registers or one float register.
inline ::nrx::simd::Reg<double> trig_table(const uint64_t* t, simd::IReg idx) {
  return simd::lookup(simd::from_bits(t), simd::from_bits(t + 8), idx);
}
inline ::nrx::simd::Reg<float> trig_table(const uint32_t* t, simd::IReg idx) {
  return simd::lookup(simd::from_bits(t), idx);
}

// Entry of a sine or cosine table: idx mod 16 (double, the sign of bit 4 applied apart by
// trig_sign) or idx mod 32 (float, a whole period with the signs in the table).
inline ::nrx::simd::Reg<double> trig_table_sc(const uint64_t* t, simd::IReg idx) { return trig_table(t, idx); }
inline ::nrx::simd::Reg<float> trig_table_sc(const uint32_t* t, simd::IReg idx) {
  return simd::lookup(simd::from_bits(t), simd::from_bits(t + 16), idx);
}

// The sign bit of (-1)^(N >> 4) where the table leaves it out, else 0.
template <class T> inline Reg<T> trig_sign(simd::IReg idx) {
  if constexpr (sizeof(T) == 8) return simd::bit_and(simd::sign_of_bit4(idx, T(0)), simd::sign_mask<T>());
  else return simd::splat(T(0));
}

template <class T> struct TrigTables;
template <> struct TrigTables<double> {
  static constexpr const uint64_t *sin_hi = trig::kSinHi, *cos_hi = trig::kCosHi;
  static constexpr const uint64_t *sin_lo = trig::kSinLo, *cos_lo = trig::kCosLo;
  static constexpr const uint64_t *tan_hi = trig::kTanHi, *tan_lo = trig::kTanLo, *tan_signed = trig::kTanSigned;
};
template <> struct TrigTables<float> {
  static constexpr const uint32_t *sin_hi = trig::kSinHi_s, *cos_hi = trig::kCosHi_s;
  static constexpr const uint32_t *sin_lo = trig::kSinLo_s, *cos_lo = trig::kCosLo_s;
  static constexpr const uint32_t *tan_hi = trig::kTanHi_s, *tan_lo = trig::kTanLo_s, *tan_signed = trig::kTanSigned_s;
};

// (tan r - r) / r^3 per type and flavour: within 2^-57 (double) and 2^-33 (float) of tan r
// where the last bit matters (HA, and double LA), 2^-27 where it does not.
template <class T, Flavour F> struct TanCoeffs;
template <> struct TanCoeffs<double, Flavour::HA> { static constexpr const auto& c = trig::kTanPoly; };
template <> struct TanCoeffs<double, Flavour::LA> : TanCoeffs<double, Flavour::HA> {};
template <> struct TanCoeffs<double, Flavour::EP> { static constexpr const auto& c = trig::kTanPolyShort; };
template <> struct TanCoeffs<float, Flavour::HA> { static constexpr const auto& c = trig::kTanPoly_s; };
template <> struct TanCoeffs<float, Flavour::LA> { static constexpr const auto& c = trig::kTanPolyShort_s; };
template <> struct TanCoeffs<float, Flavour::EP> : TanCoeffs<float, Flavour::LA> {};

// sin(N pi/16 + r) in two parts (N from the low bits of idx), up to the sign of trig_sign.
// Tab may hold the cosines times a unit u, with p in terms of f = r/u (trig_units).
template <class T, Flavour F, class Tab = TrigTables<T>>
inline twopart::Two<Reg<T>> trig_sum(const TrigPoly<T>& p, simd::IReg idx) {
  const Reg<T> sh = trig_table_sc(Tab::sin_hi, idx), ch = trig_table_sc(Tab::cos_hi, idx);
  Reg<T> hi, lo;
  if constexpr (F == Flavour::HA) {
    // |S_j| >= |C_j r| for j != 0, and S_0 = 0: the quick sum is exact.
    const twopart::Two<Reg<T>> cr = twopart::two_prod(ch, p.rh);
    const twopart::Two<Reg<T>> s = twopart::fast_two_sum(sh, cr.hi);
    lo = simd::add(simd::add(s.lo, cr.lo), trig_table_sc(Tab::sin_lo, idx));
    lo = simd::fma(trig_table_sc(Tab::cos_lo, idx), p.rh, lo);
    lo = simd::fma(ch, p.sr, simd::fma(sh, p.cm1, lo));
    hi = s.hi;
  } else {
    hi = simd::fma(ch, p.rh, sh);
    lo = simd::fma(ch, p.sr, simd::mul(sh, p.cm1));
  }
  return {hi, lo};
}

// sin(N pi/16 + r) in two parts, the sign applied.
template <class T, Flavour F> inline twopart::Two<Reg<T>> trig_assemble(const TrigPoly<T>& p, simd::IReg idx) {
  twopart::Two<Reg<T>> s = trig_sum<T, F>(p, idx);
  if constexpr (sizeof(T) == 8) {
    const Reg<T> sign = trig_sign<T>(idx);
    s = {simd::bit_xor(s.hi, sign), simd::bit_xor(s.lo, sign)};
  }
  return s;
}

// LA and EP: (sin r - r) / r^3 and (cos r - 1) / r^2 from their polynomials, and r^2.
template <class T> struct TrigPolyShort { Reg<T> r, r2, ps, pc; };
template <class T, Flavour F> inline TrigPolyShort<T> trig_poly_short(const TrigReduced<T>& a) {
  using P = TrigCoeffs<T, F>;
  const Reg<T> r2 = simd::mul(a.rh, a.rh);
  return {a.rh, r2, simd::horner(r2, P::s), simd::horner(r2, P::c)};
}

// LA and EP: sin(N pi/16 + r) = S_j + C_j r + r^2 (S_j pc + C_j r ps), the sum S_j + C_j r
// rounded once and the rest added in one step: within 1.5 ulp before the polynomials'
// error, and where S_j = 0 exactly r + r^2 (r ps) rounded once.
template <class T> inline Reg<T> trig_value_short(const TrigPolyShort<T>& p, simd::IReg idx) {
  const Reg<T> sh = trig_table_sc(TrigTables<T>::sin_hi, idx), ch = trig_table_sc(TrigTables<T>::cos_hi, idx);
  const Reg<T> rest = simd::fma(sh, p.pc, simd::mul(simd::mul(ch, p.r), p.ps));
  return simd::bit_xor(simd::fma(p.r2, rest, simd::fma(ch, p.r, sh)), trig_sign<T>(idx));
}

enum TrigKind { kSinK, kCosK, kSinCosK, kTanK };

// (s.hi + s.lo) / (c.hi + c.lo) rounded once, the parts not normalised (|lo| well below
// |hi|): with c normalised, q = s.hi y (y = 1/c.hi from the estimate and Newton steps) is
// close enough that s.hi - q c.hi is exact, and the remainder over c.hi corrects q.
template <class T> inline Reg<T> trig_quotient(twopart::Two<Reg<T>> s, twopart::Two<Reg<T>> c) {
  c = twopart::fast_two_sum(c.hi, c.lo);
  const Reg<T> y = recip_newton < T, sizeof(T) == 8 ? 2 : 1 > (c.hi);
  const Reg<T> q = simd::mul(s.hi, y);
  const twopart::Two<Reg<T>> qc = twopart::mul_loose(q, c);
  const Reg<T> r = simd::add(simd::sub(simd::sub(s.hi, qc.hi), qc.lo), s.lo);
  return simd::fma(r, y, q);
}

// tan(N pi/16 + r) from the reduction a (N mod 16 in the low bits of a.n). With t = tan r
// and k the table row: n = T_k + t and d = 1 - T_k t, the result n / d, or -d / n in the
// cotangent rows (bit 3 of N + 4 set). |T_k| <= 1 and |t| <= tan(pi/32) keep d in [0.9,
// 1.1] and |n| >= |T_k| / 2 (or n = t for k = 0).
template <class T, Flavour F> inline Reg<T> tan_eval(const TrigReduced<T>& a) {
  using simd::splat;
  using V = Reg<T>;
  const V r2 = simd::mul(a.rh, a.rh), r3 = simd::mul(r2, a.rh);
  const V poly = simd::horner(r2, TanCoeffs<T, F>::c);  // (t - r) / r^3
  const V th = trig_table(TrigTables<T>::tan_hi, a.n);
  const Mask<T> cot = simd::bit_set<3>(simd::int_add(a.n, simd::int_splat(4, T(0)), T(0)), T(0));
  if constexpr (F == Flavour::HA) {
    // n and d in two parts: T_hi + rh exactly (|T_hi| >= |rh| or T_hi = 0), the error of
    // 1 - T_hi rh from one more fused step (1 - dh is exact); the rest joins the low parts.
    const V t_lo = simd::fma(r3, poly, a.rl);
    const twopart::Two<V> n0 = twopart::fast_two_sum(th, a.rh);
    const V tl = trig_table(TrigTables<T>::tan_lo, a.n);
    const twopart::Two<V> n{n0.hi, simd::add(n0.lo, simd::add(t_lo, tl))};
    const V dh = simd::fnma(th, a.rh, splat(T(1)));
    V dl = simd::fnma(th, a.rh, simd::sub(splat(T(1)), dh));
    dl = simd::fnma(th, t_lo, simd::fnma(tl, a.rh, dl));
    const twopart::Two<V> num{simd::select(cot, simd::negate<T>(dh), n.hi),
                              simd::select(cot, simd::negate<T>(dl), n.lo)};
    const twopart::Two<V> den{simd::select(cot, n.hi, dh), simd::select(cot, n.lo, dl)};
    return trig_quotient<T>(num, den);
  } else {
    // tt = +-T_k t, negated in the cotangent rows (the signed table), so d = 1 - tt in the
    // tangent rows and -d = -1 - tt in the others. T_0 = -0 keeps the sign of a zero t in n.
    const V t = simd::fma(r3, poly, a.rh);
    const V n = simd::add(th, t), tt = simd::mul(trig_table(TrigTables<T>::tan_signed, a.n), t);
    if constexpr (F == Flavour::EP)
      return simd::div(simd::select(cot, simd::sub(splat(T(-1)), tt), n),
                       simd::select(cot, n, simd::sub(splat(T(1)), tt)));
    // LA keeps the rounding of d = 1 - T_k t out, which would cost an ulp where d and the
    // result lie in different binades: n / d = n + (n / d) T_k t takes n / d rounded, whose
    // error the small T_k t scales down; -d / n = u - u T_k t with u = -1/n.
    const V p = simd::div(simd::select(cot, splat(T(-1)), n), simd::select(cot, n, simd::sub(splat(T(1)), tt)));
    return simd::fma(p, tt, simd::select(cot, p, n));
  }
}

// x itself where |x| is tiny: sin x and tan x round to x there (and keep the sign of zero).
template <class T> inline Reg<T> trig_tiny(Reg<T> x, Reg<T> y) {
  return simd::select(simd::lt(simd::abs_of<T>(x), simd::splat(TrigConst<T>::tiny)), x, y);
}

// The results of kind K from the reduction a of x.
template <class T, Flavour F, int K, bool Tiny = true>
inline void trig_eval(Reg<T> x, const TrigReduced<T>& a, Reg<T>* out) {
  if constexpr (K == kTanK) {
    // LA and EP need no tiny branch: the reduction keeps the sign of a zero (its parts of
    // pi/16 are positive), T_0 = -0 passes it on, and t rounds to x where tan x does.
    constexpr bool tiny = Tiny && F == Flavour::HA;
    const Reg<T> t = tan_eval<T, F>(a);
    out[0] = tiny ? trig_tiny<T>(x, t) : t;
  } else if constexpr (F == Flavour::HA) {
    const TrigPoly<T> p = trig_poly<T, F>(a);
    const simd::IReg quarter = simd::int_add(a.n, simd::int_splat(8, T(0)), T(0));
    if constexpr (K != kCosK) {
      const Reg<T> y = simd::bit_xor(twopart::value(trig_sum<T, F>(p, a.n)), trig_sign<T>(a.n));
      out[0] = Tiny ? trig_tiny<T>(x, y) : y;
    }
    if constexpr (K != kSinK)
      out[K == kSinCosK ? 1 : 0] = simd::bit_xor(twopart::value(trig_sum<T, F>(p, quarter)), trig_sign<T>(quarter));
  } else {
    const TrigPolyShort<T> p = trig_poly_short<T, F>(a);
    const simd::IReg quarter = simd::int_add(a.n, simd::int_splat(8, T(0)), T(0));
    if constexpr (K != kCosK) {
      const Reg<T> y = trig_value_short<T>(p, a.n);
      out[0] = Tiny ? trig_tiny<T>(x, y) : y;
    }
    if constexpr (K != kSinK) out[K == kSinCosK ? 1 : 0] = trig_value_short<T>(p, quarter);
  }
}

// One register of kind K; returns the NaN and infinite lanes.
template <class T, Flavour F, int K> inline Mask<T> trig_vec(Reg<T> x, Reg<T>* out) {
  Mask<T> sp;
  const TrigReduced<T> a = trig_reduce<F == Flavour::HA>(x, sp);
  trig_eval<T, F, K>(x, a, out);
  return sp;
}

// Scalar routine of the circular functions: infinities give NaN with code 1, NaN gives NaN.
template <class T> inline int32_t trig_scalar(T x, T* const* r, int nout) {
  const bool inf = std::isinf(x);
  const T y = inf ? std::numeric_limits<T>::quiet_NaN() : x * x;
  for (int k = 0; k < nout; ++k) *r[k] = y;
  return inf ? ZAR_ST_DOMAIN : ZAR_ST_NONE;
}

template <class T, Flavour F, int K, class Base> struct Circular : Base {
  using V = Reg<T>;
  static Mask<T> vec(const V (&a)[1], V (&r)[Base::kOut], const NoExtra&) { return trig_vec<T, F, K>(a[0], r); }
  static int32_t scalar(const T* const* a, T* const* r, const NoExtra&) { return trig_scalar(*a[0], r, Base::kOut); }
};

template <class T, Flavour F> struct Sin : Circular<T, F, kSinK, Unary<T>> {
  static constexpr const char* kName = "Sin";
};
template <class T, Flavour F> struct Cos : Circular<T, F, kCosK, Unary<T>> {
  static constexpr const char* kName = "Cos";
};
template <class T, Flavour F> struct SinCos : Circular<T, F, kSinCosK, VectorOp<T, Shape::v1r2, 1, 2>> {
  static constexpr const char* kName = "SinCos";
};
template <class T, Flavour F> struct Tan : Circular<T, F, kTanK, Unary<T>> {
  static constexpr const char* kName = "Tan";
};

}  // namespace nrx::zar::ops

namespace nrx::zar::ops {

// The pi-scaled and degree forms: the argument in half-turns (Sinpi, Cospi, Tanpi) or in
// degrees (Sind, Cosd, Tand). x2 = x - P round(x/P) over the period P (2 or 360) is exact,
// then N = round(x2 / s) with the step s = P/32 and f = x2 - N s are exact, and r = f u in
// two parts (u = pi or pi/180); the tables and polynomials of the circular functions follow.
// No inexact multiple of pi ever meets x, so exact points come out exact and zeros and poles
// get the signs of IEEE 754 sinPi, cosPi and tanPi (degrees by the same rule): sin gives
// +-0 with the sign of x, cos gives +0, tan gives +-0 with the sign of x flipped for odd
// multiples of the half period, and +-inf at the poles with the sign of x2.
struct HalfTurns {
  static constexpr double period = 2, step = 1.0 / 16, inv_step = 16;
  static constexpr const uint64_t* u = trig::kHalfTurn;  // pi
  static constexpr const uint32_t* u_s = trig::kHalfTurn_s;
  static constexpr const uint64_t *cos_hi = trig::kCosHalfTurnHi, *cos_lo = trig::kCosHalfTurnLo;
  static constexpr const uint32_t *cos_hi_s = trig::kCosHalfTurnHi_s, *cos_lo_s = trig::kCosHalfTurnLo_s;
  static constexpr const auto &sin_poly = trig::kSinHalfTurnPoly, &cos_poly = trig::kCosHalfTurnPoly;
  static constexpr const auto &sin_poly_s = trig::kSinHalfTurnPoly_s, &cos_poly_s = trig::kCosHalfTurnPoly_s;
  static constexpr double exact_limit = HUGE_VAL;  // x - 2 round(x/2) is exact for every double
  static constexpr float exact_limit_s = HUGE_VALF;
};
struct Degrees {
  static constexpr double period = 360, step = 11.25, inv_step = 1 / 11.25;
  static constexpr const uint64_t* u = trig::kDegree;  // pi/180
  static constexpr const uint32_t* u_s = trig::kDegree_s;
  static constexpr const uint64_t *cos_hi = trig::kCosDegreeHi, *cos_lo = trig::kCosDegreeLo;
  static constexpr const uint32_t *cos_hi_s = trig::kCosDegreeHi_s, *cos_lo_s = trig::kCosDegreeLo_s;
  static constexpr const auto &sin_poly = trig::kSinDegreePoly, &cos_poly = trig::kCosDegreePoly;
  static constexpr const auto &sin_poly_s = trig::kSinDegreePoly_s, &cos_poly_s = trig::kCosDegreePoly_s;
  static constexpr double exact_limit = 0x1p52;    // x - 360 k by one fused step is exact below
  static constexpr float exact_limit_s = 0x1p24f;  // and round(x/360) is off by at most one
};

// Part k of the unit of U in the lanes of T.
template <class U, class T> inline T unit_part(int k) {
  if constexpr (sizeof(T) == 8) return simd::bits_to(U::u[k]);
  else return simd::bits_to(U::u_s[k]);
}

// HA Sin and Cos in the units U: the sine tables of the circular functions and the cosines
// times u, so that the reduced argument is f itself, exact, and r = u f needs no two parts.
template <class T, class U> struct UnitTables;
template <class U> struct UnitTables<double, U> : TrigTables<double> {
  static constexpr const uint64_t *cos_hi = U::cos_hi, *cos_lo = U::cos_lo;
};
template <class U> struct UnitTables<float, U> : TrigTables<float> {
  static constexpr const uint32_t *cos_hi = U::cos_hi_s, *cos_lo = U::cos_lo_s;
};
template <class T, class U> constexpr const auto& unit_sin_poly() {
  if constexpr (sizeof(T) == 8) return U::sin_poly;
  else return U::sin_poly_s;
}
template <class T, class U> constexpr const auto& unit_cos_poly() {
  if constexpr (sizeof(T) == 8) return U::cos_poly;
  else return U::cos_poly_s;
}

// HA sin (K = kSinK) or cos of N pi/16 + u f: sin r - r = u f^3 S(f^2) goes with the
// cosine table times u, cos r - 1 = f^2 C(f^2) with the sine table (trig_sum).
template <class T, class U, int K> inline Reg<T> trig_units_ha(Reg<T> f, simd::IReg n) {
  const Reg<T> f2 = simd::mul(f, f);
  const TrigPoly<T> p{f, simd::mul(simd::mul(f2, f), simd::horner(f2, unit_sin_poly<T, U>())),
                      simd::mul(f2, simd::horner(f2, unit_cos_poly<T, U>()))};
  const simd::IReg idx = K == kSinK ? n : simd::int_add(n, simd::int_splat(8, T(0)), T(0));
  return simd::bit_xor(twopart::value(trig_sum<T, Flavour::HA, UnitTables<T, U>>(p, idx)), trig_sign<T>(idx));
}

// Below tiny the low part of f u would fall under the subnormals: x is scaled up by scale.
template <class T> struct UnitsTiny;
template <> struct UnitsTiny<double> { static constexpr double tiny = 0x1p-1000, scale = 0x1p200; };
template <> struct UnitsTiny<float> { static constexpr float tiny = 0x1p-100f, scale = 0x1p50f; };

// One register in the units U. Returns the lanes the exact reduction does not cover (NaN,
// infinities, |x| from the exact limit of U).
template <class T, class U, Flavour F, int K> inline Mask<T> trig_units(Reg<T> x, Reg<T>* out) {
  using simd::splat;
  using V = Reg<T>;
  const V k = simd::round<simd::kRoundNearest>(simd::mul(x, splat(T(1 / U::period))));
  const V x2 = simd::fnma(k, splat(T(U::period)), x);
  const V t = simd::fma(x2, splat(T(U::inv_step)), splat(TrigConst<T>::shifter));
  const V nf = simd::sub(t, splat(TrigConst<T>::shifter));
  const V f = simd::fnma(nf, splat(T(U::step)), x2);
  const V u_hi = splat(unit_part<U, T>(0)), u_lo = splat(unit_part<U, T>(1));
  if constexpr (F == Flavour::HA && K != kTanK) {
    out[0] = trig_units_ha<T, U, K>(f, simd::as_int(t));
  } else {
    const V rh = simd::mul(f, u_hi);
    const V rl = F == Flavour::HA ? simd::fma(f, u_lo, simd::fms(f, u_hi, rh)) : splat(T(0));
    trig_eval<T, F, K, false>(x, TrigReduced<T>{rh, rl, simd::as_int(t)}, out);
  }
  if constexpr (K != kCosK && F == Flavour::HA) {
    const Mask<T> tiny = simd::lt(simd::abs_of<T>(x), splat(UnitsTiny<T>::tiny));
    if (tiny) {
      const V xs = simd::mul(x, splat(UnitsTiny<T>::scale));
      const V y = simd::mul(simd::fma(xs, u_hi, simd::mul(xs, u_lo)), splat(1 / UnitsTiny<T>::scale));
      out[0] = simd::select(tiny, y, out[0]);
    }
  }
  const Mask<T> zero = simd::fpclass<simd::kZero>(out[0]);
  const V sign_x = simd::bit_and(x, simd::sign_mask<T>());
  if constexpr (K == kSinK) out[0] = simd::select(zero, sign_x, out[0]);
  if constexpr (K == kCosK) out[0] = simd::select(zero, splat(T(0)), out[0]);
  if constexpr (K == kTanK) {
    const V odd = simd::bit_and(simd::sign_of_bit4(simd::as_int(t), T(0)), simd::sign_mask<T>());
    out[0] = simd::select(zero, simd::bit_xor(sign_x, odd), out[0]);
    const Mask<T> pole = simd::eq(f, splat(T(0))) & simd::eq(simd::abs_of<T>(nf), splat(T(8)));
    out[0] = simd::select(pole, simd::copysign<T>(splat(T(HUGE_VAL)), x2), out[0]);
  }
  constexpr T limit = sizeof(T) == 8 ? T(U::exact_limit) : T(U::exact_limit_s);
  if constexpr (limit == T(HUGE_VAL)) return 0;
  else return simd::not_lt(simd::abs_of<T>(x), splat(limit));
}

template <class T, Flavour F, int K> struct CircularPi : AllLanes<CircularPi<T, F, K>, Unary<T>> {
  using V = Reg<T>;
  static Mask<T> vec(const V (&a)[1], V (&r)[1], const NoExtra&) { return trig_units<T, HalfTurns, F, K>(a[0], r); }
};

// Degrees: beyond the exact fused reduction x goes to the scalar routine, which reduces it
// by the exact remainder modulo 360 and runs the body on that; infinities give NaN (code 1).
template <class T, Flavour F, int K> struct CircularDeg : Unary<T> {
  using V = Reg<T>;
  static Mask<T> vec(const V (&a)[1], V (&r)[1], const NoExtra&) { return trig_units<T, Degrees, F, K>(a[0], r); }
  static int32_t scalar(const T* const* a, T* const* r, const NoExtra& ex) {
    const T x = *a[0];
    if (std::isnan(x)) return *r[0] = x + x, ZAR_ST_NONE;
    if (std::isinf(x)) return *r[0] = std::numeric_limits<T>::quiet_NaN(), ZAR_ST_DOMAIN;
    const T m = std::fmod(x, T(360));  // exact, with the sign of x
    const T* pm = &m;
    return scalar_by_vector<CircularDeg>(&pm, r, ex);
  }
};

template <class T, Flavour F> struct Sinpi : CircularPi<T, F, kSinK> { static constexpr const char* kName = "Sinpi"; };
template <class T, Flavour F> struct Cospi : CircularPi<T, F, kCosK> { static constexpr const char* kName = "Cospi"; };
template <class T, Flavour F> struct Tanpi : CircularPi<T, F, kTanK> { static constexpr const char* kName = "Tanpi"; };
template <class T, Flavour F> struct Sind : CircularDeg<T, F, kSinK> { static constexpr const char* kName = "Sind"; };
template <class T, Flavour F> struct Cosd : CircularDeg<T, F, kCosK> { static constexpr const char* kName = "Cosd"; };
template <class T, Flavour F> struct Tand : CircularDeg<T, F, kTanK> { static constexpr const char* kName = "Tand"; };

}  // namespace nrx::zar::ops
