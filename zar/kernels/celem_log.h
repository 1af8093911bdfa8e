// Complex Log10 as a per-element routine in x87 extended precision, and the natural logarithm
// it is built on (Pow uses it too), with the special values of C99 Annex G for clog.
#pragma once
#include <cmath>
#include <numbers>

#include "zar/kernels/celem_trig.h"
#include "zar/kernels/log.h"

namespace nrx::zar {
namespace celem {

// x and y of at most 53 bits split at 32 (Veltkamp, in x87 arithmetic: a float conversion here
// would be made with the caller's MXCSR rounding).
inline void split(ld x, ld& hi, ld& lo) {
  const ld c = x * 0x1.00000001p32L;
  hi = c - (c - x);
  lo = x - hi;
}

// x^2 - 1 + y^2 for |x|, |y| <= 2, correct to about 2^-120 of the largest square: with the parts
// split, every square and cross term is exact, and the terms are added with their rounding
// errors carried along (Neumaier's summation).
inline ld norm_minus_one(ld x, ld y) {
  ld xh, xl, yh, yl;
  split(x, xh, xl);
  split(y, yh, yl);
  const ld terms[] = {xh * xh, yh * yh, 2 * xh * xl, 2 * yh * yl, xl * xl, yl * yl};
  ld s = -1, err = 0;
  for (const ld t : terms) {
    const ld u = s + t;
    err += std::fabs(s) >= std::fabs(t) ? (s - u) + t : (t - u) + s;
    s = u;
  }
  return s + err;
}

// ln |z| + i arg z. Where |z|^2 lies in (1/2, 2) the real part is log1p(|z|^2 - 1) / 2 with
// |z|^2 - 1 free of cancellation, so values of z near the unit circle keep their digits.
inline cxl log_of(cxl z) {
  const ld x = z.real(), y = z.imag();
  const ld theta = std::atan2(y, x);
  const ld ax = std::fabs(x), ay = std::fabs(y);
  if (ax <= 1.5L && ay <= 1.5L && ax + ay > 0.7L) {
    const ld n = x * x + y * y;
    if (n > 0.5L && n < 2) return {std::log1p(norm_minus_one(x, y)) / 2, theta};
  }
  return {std::log(std::hypot(x, y)), theta};
}

struct Log10Routine {
  static constexpr const char* kName = "Log10";
  static constexpr bool kOverflow = false;
  static cxl eval(cxl z) {
    constexpr ld kLog10e = 1 / std::numbers::ln10_v<ld>;
    const cxl l = log_of(z);
    return {l.real() * kLog10e, l.imag() * kLog10e};
  }
};

}  // namespace celem

}  // namespace nrx::zar
