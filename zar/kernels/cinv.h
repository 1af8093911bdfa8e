// Complex inverse circular and hyperbolic functions, one element at a time in x87 extended
// precision. Three cores serve the six functions through asin z = -i asinh(iz),
// atan z = -i atanh(iz) and acosh z = +-i acos z:
//   the arc sine core (Hull, Fairgrieve and Tang): real parts of asin and acos and the common
//     imaginary part from R = |z + 1|, S = |z - 1|, A = (R + S) / 2, with the differences
//     near the branch points and cuts formed without cancellation;
//   the inverse hyperbolic tangent core (Kahan): 1/4 log1p(4x / ((1 - x)^2 + y^2)) and
//     1/2 atan2(2y, (1 - x)(1 + x) - y^2).
// Parts of float and double inputs squared stay far inside the long double range (the square
// of the largest double is below 2^2048 and of the smallest subnormal above 2^-2150), so the
// cores need no scaling for huge or tiny parts. Infinite and NaN parts follow C99 Annex G.
#pragma once
#include <cmath>
#include <numbers>

namespace nrx::zar::cinv {

using ld = long double;

struct Cld {
  ld re, im;
};

inline constexpr ld kPi = std::numbers::pi_v<ld>;
inline constexpr ld kInf = __builtin_infl();
inline constexpr ld kNaN = __builtin_nanl("");

// Parts of asin(X + iY) and acos(X + iY) for finite X, Y >= 0: Re asin and Re acos in [0, pi/2],
// and the imaginary part's magnitude log(A + sqrt(A^2 - 1)).
struct ArcSine {
  ld re_asin, re_acos, im;
};

inline ArcSine arc_sine(ld X, ld Y) {
  constexpr ld kBCross = 0.6417L;  // above it asin(B) and acos(B) lose bits to B's rounding
  constexpr ld kACross = 1.5L;     // below it A - 1 is formed from its parts, not by subtraction
  const ld yy = Y * Y;
  const ld R = std::sqrt((X + 1) * (X + 1) + yy), S = std::sqrt((X - 1) * (X - 1) + yy);
  const ld A = (R + S) / 2, B = X / A;
  const ld rx1 = R + X + 1;  // R + (X + 1): no cancellation
  ArcSine out;
  if (B <= kBCross) {
    out.re_asin = std::asin(B);
    out.re_acos = std::acos(B);
  } else {
    // sqrt(A^2 - X^2) without cancellation: X <= 1 and X > 1 take A - X apart differently.
    const ld half = (A + X) / 2;
    const ld d =
        X <= 1 ? std::sqrt(half * (yy / rx1 + (S + (1 - X)))) : Y * std::sqrt(half / rx1 + half / (S + (X - 1)));
    out.re_asin = std::atan2(X, d);
    out.re_acos = std::atan2(d, X);
  }
  if (A <= kACross) {
    const ld am1 = X < 1 ? (yy / rx1 + yy / (S + (1 - X))) / 2 : (yy / rx1 + (S + (X - 1))) / 2;
    out.im = std::log1p(am1 + std::sqrt(am1 * (A + 1)));
  } else {
    out.im = std::log(A + std::sqrt(A * A - 1));
  }
  return out;
}

// Re atanh and |Im atanh| of X + iY for finite X, Y >= 0; X = 1, Y = 0 gives the pole +inf + 0i.
inline Cld arc_tanh(ld X, ld Y) {
  const ld yy = Y * Y, omx = 1 - X;
  return {std::log1p(4 * X / (omx * omx + yy)) / 4, std::atan2(2 * Y, omx * (1 + X) - yy) / 2};
}

// asinh(x + iy): odd, conj-symmetric; the arc sine core on (|y|, |x|) with the parts swapped.
inline Cld asinh(ld x, ld y) {
  if (std::isfinite(x) && std::isfinite(y)) {
    const ArcSine s = arc_sine(std::fabs(y), std::fabs(x));
    return {std::copysign(s.im, x), std::copysign(s.re_asin, y)};
  }
  if (std::isinf(y)) {
    if (std::isnan(x)) return {std::copysign(kInf, x), x};  // the sign of the infinite part is free
    return {std::copysign(kInf, x), std::copysign(std::isinf(x) ? kPi / 4 : kPi / 2, y)};
  }
  if (std::isinf(x)) return {x, std::isnan(y) ? y : std::copysign(ld(0), y)};
  if (std::isnan(x) && y == 0) return {x, y};
  return {kNaN, kNaN};
}

// asin z = -i asinh(iz).
inline Cld asin(ld x, ld y) {
  const Cld w = asinh(-y, x);
  return {w.im, -w.re};
}

// acos(x + iy): conj-symmetric; a negative real part reflects through pi - Re acos(|x| + iy).
inline Cld acos(ld x, ld y) {
  if (std::isfinite(x) && std::isfinite(y)) {
    const ArcSine s = arc_sine(std::fabs(x), std::fabs(y));
    return {std::signbit(x) ? kPi - s.re_acos : s.re_acos, std::copysign(s.im, -y)};
  }
  if (std::isinf(y)) {
    if (std::isnan(x)) return {x, -y};
    if (std::isinf(x)) return {x < 0 ? 3 * kPi / 4 : kPi / 4, -y};
    return {kPi / 2, -y};
  }
  if (std::isinf(x)) {
    if (std::isnan(y)) return {y, std::copysign(kInf, -y)};  // the sign of the infinite part is free
    return {x < 0 ? kPi : ld(0), std::copysign(kInf, -y)};
  }
  if (x == 0 && std::isnan(y)) return {kPi / 2, y};
  return {kNaN, kNaN};
}

// acosh z = +-i acos z, the sign chosen so that Re acosh >= 0.
inline Cld acosh(ld x, ld y) {
  if (std::isfinite(x) && x != 0 && std::isnan(y)) return {kNaN, kNaN};
  const Cld w = acos(x, y);
  return {std::fabs(w.im), std::isnan(y) ? w.re : std::copysign(w.re, y)};
}

// atanh(x + iy): odd, conj-symmetric.
inline Cld atanh(ld x, ld y) {
  if (std::isfinite(x) && std::isfinite(y)) {
    const Cld w = arc_tanh(std::fabs(x), std::fabs(y));
    return {std::copysign(w.re, x), std::copysign(w.im, y)};
  }
  if (std::isinf(y)) return {std::copysign(ld(0), x), std::copysign(kPi / 2, y)};
  if (std::isinf(x)) return {std::copysign(ld(0), x), std::isnan(y) ? y : std::copysign(kPi / 2, y)};
  if (x == 0 && std::isnan(y)) return {x, y};
  return {kNaN, kNaN};
}

// atan z = -i atanh(iz).
inline Cld atan(ld x, ld y) {
  const Cld w = atanh(-y, x);
  return {w.im, -w.re};
}

}  // namespace nrx::zar::cinv
