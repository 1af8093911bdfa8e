// Root family: Sqrt, InvSqrt, Pow3o2, Hypot, Cbrt, InvCbrt and Pow2o3 (float and double,
// one algorithm each).
//
// Sqrt HA and LA use the correctly rounded square-root instruction; Sqrt EP starts from
// the 14-bit reciprocal square-root estimate y ~ 1/sqrt(x) and refines s = x y with fused
// steps. InvSqrt refines the same estimate by Newton steps; its HA flavour ends with a
// step whose residual 1 - x y^2 is formed exactly. Pow3o2 is x sqrt(x), in HA with the
// square root's rounding error put back. Hypot scales both inputs by the exponent of the
// larger one, so no square overflows or underflows. Zeros, infinities, negative and
// denormal inputs go to the scalar routines where the vector path does not cover them.
#pragma once
#include <cmath>
#include <limits>

#include "zar/kernels/log.h"

namespace nrx::zar::ops {

// 1/sqrt(x) for positive normal x: the 14-bit estimate refined per type and flavour.
// A plain step is y + (y/2)(1 - (x y) y); the exact step forms 1 - x y^2 from the exact
// product x y and adds the second-order term 3/8 e^2.
template <class T, Flavour F> inline Reg<T> rsqrt_body(Reg<T> x) {
  using simd::splat;
  constexpr bool dbl = sizeof(T) == 8;
  constexpr int plain = dbl ? (F == Flavour::HA   ? 1
                               : F == Flavour::LA ? 2
                                                  : 1)
                            : (F == Flavour::EP   ? 0
                               : F == Flavour::LA ? 1
                                                  : 0);
  constexpr bool exact = F == Flavour::HA;
  Reg<T> y = simd::rsqrt14(x);
  for (int k = 0; k < plain; ++k) {
    const Reg<T> e = simd::fnma(simd::mul(x, y), y, splat(T(1)));
    y = simd::fma(simd::mul(y, splat(T(0.5))), e, y);
  }
  if constexpr (exact) {  // x y ~ sqrt(x) stays in range where y^2 would not
    const Reg<T> xy = simd::mul(x, y);
    const Reg<T> xy_lo = simd::fms(x, y, xy);
    Reg<T> e = simd::fnma(xy, y, splat(T(1)));
    e = simd::fnma(xy_lo, y, e);
    const Reg<T> p = simd::mul(e, simd::fma(e, splat(T(0.375)), splat(T(0.5))));
    y = simd::fma(y, p, y);
  }
  return y;
}

// sqrt(s) for positive normal s, with h ~ 1/(2 sqrt s): t = s y and h = y / 2 from the
// estimate y ~ 1/sqrt(s), then Steps Goldschmidt steps g = 1/2 - t h, t += t g, h += h g.
// Each step squares the relative error (14, 28, 56 bits); no intermediate is tiny, so
// flushing subnormal results to zero does not disturb them.
template <class T, int Steps> inline Reg<T> sqrt_steps(Reg<T> s, Reg<T> y, Reg<T>& h) {
  using simd::splat;
  Reg<T> t = simd::mul(s, y);
  h = simd::mul(y, splat(T(0.5)));
  for (int k = 0; k < Steps; ++k) {
    const Reg<T> g = simd::fnma(t, h, splat(T(0.5)));
    t = simd::fma(t, g, t);
    h = simd::fma(h, g, h);
  }
  return t;
}

// sqrt(s + s_lo) from t ~ sqrt(s) and h ~ 1/(2 t): t + h (s - t^2 + s_lo), the residual formed
// exactly (for s well inside the normal range).
template <class T, bool Lo> inline Reg<T> sqrt_residual(Reg<T> s, Reg<T> s_lo, Reg<T> t, Reg<T> h) {
  const Reg<T> d = simd::fnma(t, t, s);
  return simd::fma(h, Lo ? simd::add(d, s_lo) : d, t);
}

// Refinement steps of the square roots per type and flavour: a few ulp need 28 bits for
// float and 56 for double, EP half of those.
template <class T, Flavour F> inline constexpr int kSqrtSteps = sizeof(T) == 8 ? (F == Flavour::EP ? 1 : 2)
                                                                               : (F == Flavour::EP ? 0 : 1);

// sqrt(s + lo) from the estimate y ~ 1/sqrt(s), the last of kSqrtSteps steps on the exact
// residual (one rounding closer than a Goldschmidt step; s well inside the normal range).
template <class T, Flavour F, bool Lo = false> inline Reg<T> sqrt_refined(Reg<T> s, Reg<T> y, Reg<T> lo = Reg<T>()) {
  constexpr int steps = kSqrtSteps<T, F>;
  Reg<T> h;
  const Reg<T> t = sqrt_steps<T, (steps == 0 ? 0 : steps - 1)>(s, y, h);
  if constexpr (steps == 0) return t;
  else return sqrt_residual<T, Lo>(s, lo, t, h);
}

template <class T, Flavour F> struct Sqrt : Unary<T> {
  static constexpr const char* kName = "Sqrt";
  using V = Reg<T>;
  static Mask<T> vec(const V (&a)[1], V (&r)[1], const NoExtra&) {
    const V x = a[0];
    // A zero gets the estimate of the least normal number, so x y is the zero itself.
    const V y = simd::rsqrt14(simd::max(x, simd::splat(std::numeric_limits<T>::min())));
    const Mask<T> sp = simd::fpclass<simd::kNegative | simd::kInf | simd::kDenormal>(x);
    if constexpr (sizeof(T) == 8 && F == Flavour::HA) {  // Goldschmidt steps alone leave 1.4 ulp
      r[0] = sqrt_refined<T, F>(x, y);
      // Below 2^-900 the residual may be flushed to zero: the scalar routine takes those.
      const Mask<T> tiny = simd::lt(x, simd::splat(T(0x1p-900)));
      return Mask<T>(sp | (tiny & ~simd::fpclass<simd::kZero>(x)));
    } else {
      V h;
      r[0] = sqrt_steps<T, kSqrtSteps<T, F>>(x, y, h);
      return sp;
    }
  }
  static int32_t scalar(const T* const* a, T* const* r, const NoExtra&) {
    const T x = simd::daz(*a[0]);
    if (x < 0 || x == -std::numeric_limits<T>::infinity())
      return *r[0] = std::numeric_limits<T>::quiet_NaN(), ZAR_ST_DOMAIN;
    *r[0] = std::sqrt(x);  // zeros keep their sign; +inf and NaN come back
    return ZAR_ST_NONE;
  }
};

template <class T, Flavour F> struct InvSqrt : Unary<T> {
  static constexpr const char* kName = "InvSqrt";
  using V = Reg<T>;
  static Mask<T> vec(const V (&a)[1], V (&r)[1], const NoExtra&) {
    r[0] = rsqrt_body<T, F>(a[0]);
    return simd::fpclass<simd::kZero | simd::kInf | simd::kDenormal | simd::kNegative>(a[0]);
  }
  static int32_t scalar(const T* const* a, T* const* r, const NoExtra&) {
    const T x = simd::daz(*a[0]);
    if (std::isnan(x)) return *r[0] = x + x, ZAR_ST_NONE;
    if (x == 0) return *r[0] = T(1) / x, ZAR_ST_POLE;
    if (x < 0) return *r[0] = std::numeric_limits<T>::quiet_NaN(), ZAR_ST_DOMAIN;
    *r[0] = T(1.0L / std::sqrt((long double)x));  // +inf gives +0
    return ZAR_ST_NONE;
  }
};

// x^(3/2) = x sqrt(x) with the square root of sqrt_refined; HA keeps its last correction
// apart and adds x times it to x t.
template <class T, Flavour F> struct Pow3o2 : Unary<T> {
  static constexpr const char* kName = "Pow3o2";
  using V = Reg<T>;
  static Mask<T> vec(const V (&a)[1], V (&r)[1], const NoExtra&) {
    using simd::splat;
    const V x = a[0];
    constexpr int steps = kSqrtSteps<T, F>;
    V h, p;
    const V t = sqrt_steps<T, (steps == 0 ? 0 : steps - 1)>(x, simd::rsqrt14(x), h);
    if constexpr (steps == 0) {
      p = simd::mul(x, t);
    } else {
      const V c = simd::mul(h, simd::fnma(t, t, x));  // sqrt(x) - t from the exact residual
      p = F == Flavour::HA ? simd::fma(x, t, simd::mul(x, c)) : simd::mul(x, simd::add(t, c));
    }
    r[0] = p;
    // Negative inputs, infinite results and results below the normal range.
    // Below 2^-968 (2^-100) the correction term would leave the normal range.
    const Mask<T> small = simd::lt(p, splat(T(sizeof(T) == 8 ? 0x1p-968 : 0x1p-100)));
    return Mask<T>(simd::fpclass<simd::kNegative | simd::kNegInf | simd::kInf | simd::kDenormal | simd::kZero>(x) |
                   simd::fpclass<simd::kInf>(p) | small);
  }
  static int32_t scalar(const T* const* a, T* const* r, const NoExtra&) {
    const T x = simd::daz(*a[0]);
    if (std::isnan(x)) return *r[0] = x + x, ZAR_ST_NONE;
    if (x < 0) return *r[0] = std::numeric_limits<T>::quiet_NaN(), ZAR_ST_DOMAIN;
    if (std::isinf(x) || x == 0) return *r[0] = x * x, ZAR_ST_NONE;  // -0 gives +0
    const long double lx = x, e = lx * std::sqrt(lx);
    *r[0] = T(e);
    if (std::isinf(*r[0])) return ZAR_ST_RESULT_TOO_LARGE;
    if (e < std::numeric_limits<T>::min() && x >= std::numeric_limits<T>::min()) return ZAR_ST_RESULT_TOO_SMALL;
    return ZAR_ST_NONE;
  }
};

// x^2 + y^2 = sum (+ lo) for x, y whose squares neither overflow nor lose bits to underflow.
// HA keeps the rest in lo, for the root's last step: with b the larger magnitude and s the
// smaller, sum = b^2 + s^2 rounded by one fused step lies in [b^2, 2 b^2], so b^2 - sum is
// exact and s^2 + (b^2 - sum) is the step's error, rounded once (2^-106 of the sum), beside
// the low part of b^2. The ordering passes over a NaN operand: callers test NaN lanes apart.
template <class T, Flavour F> inline Reg<T> hypot_sum(Reg<T> x, Reg<T> y, Reg<T>& lo) {
  using V = Reg<T>;
  if constexpr (F == Flavour::HA) {
    const V b = simd::abs_max(x, y), s = simd::abs_min(x, y);
    const twopart::Two<V> bb = twopart::two_prod(b, b);
    const V sum = simd::fma(s, s, bb.hi);
    lo = simd::add(simd::fma(s, s, simd::sub(bb.hi, sum)), bb.lo);
    return sum;
  } else {
    return simd::fma(x, x, simd::mul(y, y));
  }
}

// sqrt(a^2 + b^2) of a and b scaled by 2^-k, k the exponent of the larger magnitude, the
// root scaled back by 2^k: no square overflows or loses bits to underflow.
// k = getexp(abs_max(a, b)): two zeros give k = -inf and a NaN root, infinite inputs an
// infinite or NaN root, and abs_max passes over a NaN: the caller sends those lanes to the
// scalar routine.
template <class T, Flavour F> inline Reg<T> hypot_scaled(Reg<T> a, Reg<T> b, Reg<T> k) {
  const Reg<T> nk = simd::negate<T>(k);
  Reg<T> lo{};
  const Reg<T> sum = hypot_sum<T, F>(simd::scalef(a, nk), simd::scalef(b, nk), lo);
  return simd::scalef(sqrt_refined<T, F, F == Flavour::HA>(sum, simd::rsqrt14(sum), lo), k);
}

// Float LA and EP: sqrt(a^2 + b^2) scaled by multiplications. p = 2^k from the exponent field
// E of the larger magnitude by its bits, 2^-k by subtracting them from those of 2^127; the
// root of the scaled sum (in [1, 8)) from the 14-bit reciprocal root and the flavour's steps,
// times p (exact: the root lies in [1, 3)). A zero or subnormal larger part (p = 0: a zero
// result), a larger part from 2^127 on (E = 254, 2^-k = 0: a NaN root, so no estimate decides
// an overflow), infinite and NaN parts all give a zero, infinite or NaN root, returned as the
// lanes for the scalar routine; every other root is positive and finite.
template <Flavour F> inline Mask<float> hypot_by_exponent_bits(Reg<float> a, Reg<float> b, Reg<float>& r) {
  using V = Reg<float>;
  const V p = simd::bit_and(simd::abs_max(a, b), simd::splat(std::numeric_limits<float>::infinity()));
  const V inv = simd::as_real(simd::int_sub(simd::int_splat(0x7f000000, float()), simd::as_int(p), float()), float());
  const V x = simd::mul(a, inv), y = simd::mul(b, inv);
  const V s = simd::fma(x, x, simd::mul(y, y));
  r = simd::mul(sqrt_refined<float, F>(s, simd::rsqrt14(s)), p);
  return simd::fpclass<simd::kInf | simd::kNaN | simd::kZero>(r);
}

// sqrt(a^2 + b^2) unscaled where the exponent k of the larger magnitude lies in [-480, 506]
// (float [-50, 60]) for every lane of the register, so that the sum lies in [2^-960, 2^1015)
// ([2^-100, 2^123)); else scaled by 2^-k. The test reads k, which the scaled path needs
// anyway, so a register out of range pays for one sum only. Float LA and EP always scale, by
// exponent bits: the test costs them more than the scaling saves. Infinite and NaN inputs,
// two zeros and overflowing results go to the scalar routine.
template <class T, Flavour F> struct Hypot : Binary<T> {
  static constexpr const char* kName = "Hypot";
  using V = Reg<T>;
  static constexpr T kLow = sizeof(T) == 8 ? T(-480) : T(-50);
  static constexpr T kHigh = sizeof(T) == 8 ? T(506) : T(60);
  static Mask<T> vec(const V (&a)[2], V (&r)[1], const NoExtra&) {
    using simd::splat;
    if constexpr (sizeof(T) == 4 && F != Flavour::HA) {
      return hypot_by_exponent_bits<F>(a[0], a[1], r[0]);
    } else {
      const V k = simd::getexp(simd::abs_max(a[0], a[1]));
      const Mask<T> off =
          Mask<T>(simd::not_ge(k, splat(kLow)) | simd::not_le(k, splat(kHigh)) | simd::unordered(a[0], a[1]));
      if (__builtin_expect(off == 0, 1)) {  // every root finite and normal
        V lo{};
        const V sum = hypot_sum<T, F>(a[0], a[1], lo);
        r[0] = sqrt_refined<T, F, F == Flavour::HA>(sum, simd::rsqrt14(sum), lo);
        return 0;
      }
      r[0] = hypot_scaled<T, F>(a[0], a[1], k);
      // scalef can turn a NaN into 0 or inf: NaN inputs are tested apart.
      return Mask<T>(simd::fpclass<simd::kInf | simd::kNaN>(r[0]) | simd::unordered(a[0], a[1]));
    }
  }
  static int32_t scalar(const T* const* a, T* const* r, const NoExtra&) {
    const T x = simd::daz(*a[0]), y = simd::daz(*a[1]);
    if (std::isinf(x) || std::isinf(y)) return *r[0] = std::numeric_limits<T>::infinity(), ZAR_ST_NONE;
    if (std::isnan(x) || std::isnan(y)) return *r[0] = x + y, ZAR_ST_NONE;
    *r[0] = T(std::hypot((long double)x, (long double)y));
    return std::isinf(*r[0]) ? ZAR_ST_RESULT_TOO_LARGE : ZAR_ST_NONE;
  }
};

// ---- Cube-root powers x^(p/3): Cbrt (p = 1), InvCbrt (p = -1), Pow2o3 (p = 2) ----
//
// |x| = 2^e m with m in [1, 2); c = k/32 a reciprocal estimate of m (as in the logarithm),
// r = m c - 1 with |r| <= 1/32, p e = 3 q + j with j in {0, 1, 2}, and
//   |x|^(p/3) = 2^q * 2^(j/3) * (32/k)^(p/3) * (1 + r)^(p/3).
// HA multiplies the two tables in two-part arithmetic; LA and EP round their product.
enum class CubeRoot { Cbrt = 1, InvCbrt = -1, Pow2o3 = 2 };

template <class T, CubeRoot P> struct CubeTables;
#define NRX_CUBE_TABLES(Ty, Pw, Sfx)                                           \
  template <> struct CubeTables<Ty, CubeRoot::Pw> {                            \
    static constexpr const auto* hi = explog::k##Pw##TabHi_##Sfx;              \
    static constexpr const auto* lo = explog::k##Pw##TabLo_##Sfx;              \
    static constexpr const auto* two_hi = explog::kCbrt2Hi_##Sfx;              \
    static constexpr const auto* two_lo = explog::kCbrt2Lo_##Sfx;              \
    template <Flavour F> static constexpr const auto& poly() {                 \
      if constexpr (F == Flavour::HA) return explog::k##Pw##PolyHA_##Sfx;      \
      else if constexpr (F == Flavour::LA) return explog::k##Pw##PolyLA_##Sfx; \
      else return explog::k##Pw##PolyEP_##Sfx;                                 \
    }                                                                          \
  };
NRX_CUBE_TABLES(double, Cbrt, d)
NRX_CUBE_TABLES(double, InvCbrt, d)
NRX_CUBE_TABLES(double, Pow2o3, d)
NRX_CUBE_TABLES(float, Cbrt, s)
NRX_CUBE_TABLES(float, InvCbrt, s)
NRX_CUBE_TABLES(float, Pow2o3, s)
#undef NRX_CUBE_TABLES

// |x|^(p/3) for finite non-zero x.
template <class T, Flavour F, CubeRoot P> inline Reg<T> cube_root_body(Reg<T> x) {
  using simd::splat;
  using Tab = CubeTables<T, P>;
  constexpr T p = T(int(P));
  const auto [r, e, idx] = log_reduce<T>(x);
  const Reg<T> pe = P == CubeRoot::Cbrt ? e : simd::mul(e, splat(p));
  // (p e - 1) / 3 lies within 1/3 of q, so rounding it to nearest gives q.
  const Reg<T> q = simd::round<simd::kRoundNearest>(simd::mul(simd::sub(pe, splat(T(1))), splat(T(1.0 / 3))));
  const simd::IReg j = simd::to_int(simd::fnma(q, splat(T(3)), pe));
  auto look = [&](const auto* tab) { return table16<T>(tab, idx); };
  const Reg<T> t_hi = look(Tab::hi), two_hi = simd::lookup(simd::from_bits(Tab::two_hi), j);
  const Reg<T> poly = simd::mul(r, simd::horner(r, Tab::template poly<F>()));
  Reg<T> y;
  if constexpr (F == Flavour::HA) {
    const twopart::Two<Reg<T>> a = twopart::two_prod(t_hi, two_hi);
    Reg<T> a_lo = simd::fma(t_hi, simd::lookup(simd::from_bits(Tab::two_lo), j), a.lo);
    a_lo = simd::fma(look(Tab::lo), two_hi, a_lo);
    y = simd::add(a.hi, simd::fma(a.hi, poly, a_lo));
  } else {
    const Reg<T> a = simd::mul(t_hi, two_hi);
    y = simd::fma(a, poly, a);
  }
  return simd::scalef(y, q);
}

template <class T, Flavour F, CubeRoot P> struct CubeRootOp : Unary<T> {
  using V = Reg<T>;
  static Mask<T> vec(const V (&a)[1], V (&r)[1], const NoExtra&) {
    const V x = a[0];
    const V y = cube_root_body<T, F, P>(x);
    // y is positive: x's sign bit is or-ed in.
    r[0] = P == CubeRoot::Pow2o3 ? y : simd::bit_or(y, simd::bit_and(simd::sign_mask<T>(), x));
    return simd::fpclass<simd::kZero | simd::kInf | simd::kDenormal>(x);  // NaN runs through the body
  }
  static int32_t scalar(const T* const* a, T* const* r, const NoExtra&) {
    const T x = simd::daz(*a[0]);
    if (std::isnan(x)) return *r[0] = x + x, ZAR_ST_NONE;
    const long double lx = x;
    if constexpr (P == CubeRoot::Cbrt) {
      *r[0] = T(std::cbrt(lx));
    } else if constexpr (P == CubeRoot::Pow2o3) {
      *r[0] = T(std::cbrt(lx * lx));
    } else {
      if (x == 0) return *r[0] = T(1) / x, ZAR_ST_POLE;
      *r[0] = T(1.0L / std::cbrt(lx));  // infinities give zeros of their sign
    }
    return ZAR_ST_NONE;
  }
};
template <class T, Flavour F> struct Cbrt : CubeRootOp<T, F, CubeRoot::Cbrt> {
  static constexpr const char* kName = "Cbrt";
};
template <class T, Flavour F> struct InvCbrt : CubeRootOp<T, F, CubeRoot::InvCbrt> {
  static constexpr const char* kName = "InvCbrt";
};
template <class T, Flavour F> struct Pow2o3 : CubeRootOp<T, F, CubeRoot::Pow2o3> {
  static constexpr const char* kName = "Pow2o3";
};

}  // namespace nrx::zar::ops
