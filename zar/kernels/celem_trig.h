// Complex Sinh, Cosh, Tanh and, through sin z = -i sinh(iz), cos z = cosh(iz) and
// tan z = -i tanh(iz), Sin, Cos and Tan: per-element routines in x87 extended precision with
// the special values of C99 Annex G. The vector kernels (ctrig_vec.h) send them the elements
// their bodies leave.
#pragma once
#include <cmath>
#include <limits>

#include "zar/kernels/celem_frame.h"
#include "zar/kernels/hyperbolic.h"
#include "zar/kernels/trig.h"

namespace nrx::zar {
namespace celem {

using ld = long double;
inline constexpr ld kInf = std::numeric_limits<ld>::infinity();

// sin y and cos y. Up to |y| = 2^19 y is reduced by k pi/2, pi/2 held in four parts of at most
// 32 bits so that k times each part is exact, and fsincos evaluates |r| <= pi/4, where it does no
// reduction of its own; near-multiples of pi/2 (r below 2^-30) and larger |y| take sincosl.
inline void sin_cos(ld y, ld& s, ld& c) {
  if (std::fabs(y) <= 0x1p19L) {
    constexpr ld kTwoOverPi = 0x1.45f306dc9c882a54p-1L;
    constexpr ld kP1 = 0x1.921fb544p+0L, kP2 = 0x1.0b4611a6p-34L, kP3 = 0x1.3198a2ep-69L, kP4 = 0x1.b839a252p-104L;
    constexpr ld kRound = 0x1.8p63L;  // adding and taking away 1.5 2^63 rounds to an integer
    const ld k = (y * kTwoOverPi + kRound) - kRound;
    const ld r = k == 0 ? y : (((y - k * kP1) - k * kP2) - k * kP3) - k * kP4;
    if (k == 0 || std::fabs(r) >= 0x1p-30L) {
      ld sr, cr;
      asm("fsincos" : "=t"(cr), "=u"(sr) : "0"(r));
      switch (long(k) & 3) {
        case 0: s = sr, c = cr; break;
        case 1: s = cr, c = -sr; break;
        case 2: s = -sr, c = -cr; break;
        default: s = -cr, c = sr; break;
      }
      return;
    }
  }
  ::sincosl(y, &s, &c);
}

struct SinhCosh {
  ld sh, ch;
};

// sinh x and cosh x of a finite x from one expm1: with t = e^|x| - 1, sinh = (t + t / (t + 1)) / 2
// and cosh = 1 + t^2 / (2 (t + 1)). Beyond |x| = 40 the e^-|x| terms are below the last bit.
inline SinhCosh sinh_cosh(ld x) {
  const ld ax = std::fabs(x);
  if (ax < 0x1p-34L) return {x, 1};  // x^3/6 is below half an ulp of x, x^2/2 of 1
  if (ax < 40) {
    const ld t = std::expm1(ax), u = t + 1;
    return {std::copysign((t + t / u) / 2, x), 1 + t * t / (2 * u)};
  }
  const ld h = std::exp(ax / 2);
  const ld e = h * (h / 2);  // e^|x| / 2 without overflow where e^|x| alone would
  return {std::copysign(e, x), e};
}

inline cxl sinh_of(cxl z) {
  const ld x = z.real(), y = z.imag();
  if (std::isfinite(x) && std::isfinite(y)) {
    if (y == 0) return {sinh_cosh(x).sh, y};
    const SinhCosh h = sinh_cosh(x);
    ld s, c;
    sin_cos(y, s, c);
    return {h.sh * c, h.ch * s};
  }
  if (x == 0) return {x, y - y};                // +-0 + i inf or NaN: +-0 + i NaN
  if (y == 0) return {x, y};                    // +-inf + i0, NaN + i0
  if (std::isfinite(x)) return {y - y, y - y};  // finite + i inf or NaN
  if (std::isinf(x)) {
    if (!std::isfinite(y)) return {kInf, y - y};  // inf + i inf or NaN: inf + i NaN
    ld s, c;
    sin_cos(y, s, c);
    return {x * c, kInf * s};
  }
  return {x + y, x + y};  // NaN + i y, y not 0
}

inline cxl cosh_of(cxl z) {
  const ld x = z.real(), y = z.imag();
  if (std::isfinite(x) && std::isfinite(y)) {
    if (y == 0) return {sinh_cosh(x).ch, x * y};
    const SinhCosh h = sinh_cosh(x);
    ld s, c;
    sin_cos(y, s, c);
    return {h.ch * c, h.sh * s};
  }
  if (x == 0) return {y - y, std::copysign(ld(0), x * y)};  // +-0 + i inf or NaN: NaN + i0
  if (y == 0) return {x * x, std::copysign(ld(0), x) * y};  // +-inf + i0: inf + i0; NaN + i0: NaN + i0
  if (std::isfinite(x)) return {y - y, y - y};
  if (std::isinf(x)) {
    if (!std::isfinite(y)) return {kInf, y - y};
    ld s, c;
    sin_cos(y, s, c);
    return {kInf * c, x * s};
  }
  return {x + y, x + y};
}

// tanh by Kahan's formula: with t = tan y, b = 1 + t^2, s = sinh x, r = sqrt(1 + s^2),
// tanh z = (b r s + i t) / (1 + b s^2), no cancellation anywhere. Beyond |x| = 40 the real
// part is +-1 and the imaginary part 4 sin y cos y e^-2|x|, so a large |x| cannot overflow.
inline cxl tanh_of(cxl z) {
  const ld x = z.real(), y = z.imag();
  if (!std::isfinite(x)) {
    if (std::isnan(x)) return {x, y == 0 ? y : x + y};
    ld s = 0, c = 1;
    if (std::isfinite(y)) sin_cos(y, s, c);
    return {std::copysign(ld(1), x), std::copysign(ld(0), std::isinf(y) ? y : s * c)};
  }
  if (!std::isfinite(y)) return {y - y, y - y};
  if (std::fabs(x) >= 40) {
    ld s, c;
    sin_cos(y, s, c);
    const ld e = std::exp(-std::fabs(x));
    return {std::copysign(ld(1), x), 4 * s * c * e * e};
  }
  ld sy, cy;
  sin_cos(y, sy, cy);
  const ld t = sy / cy, b = 1 + t * t, s = sinh_cosh(x).sh, r = std::sqrt(1 + s * s);
  const ld d = 1 + b * s * s;
  return {b * r * s / d, t / d};
}

// i z and -i z.
inline cxl times_i(cxl z) { return {-z.imag(), z.real()}; }
inline cxl times_minus_i(cxl z) { return {z.imag(), -z.real()}; }

struct SinhRoutine {
  static constexpr const char* kName = "Sinh";
  static constexpr bool kOverflow = true;
  static cxl eval(cxl z) { return sinh_of(z); }
};
struct CoshRoutine {
  static constexpr const char* kName = "Cosh";
  static constexpr bool kOverflow = true;
  static cxl eval(cxl z) { return cosh_of(z); }
};
struct TanhRoutine {
  static constexpr const char* kName = "Tanh";
  static constexpr bool kOverflow = false;
  static cxl eval(cxl z) { return tanh_of(z); }
};
struct SinRoutine {
  static constexpr const char* kName = "Sin";
  static constexpr bool kOverflow = true;
  static cxl eval(cxl z) { return times_minus_i(sinh_of(times_i(z))); }
};
struct CosRoutine {
  static constexpr const char* kName = "Cos";
  static constexpr bool kOverflow = true;
  static cxl eval(cxl z) { return cosh_of(times_i(z)); }
};
struct TanRoutine {
  static constexpr const char* kName = "Tan";
  static constexpr bool kOverflow = false;
  static cxl eval(cxl z) { return times_minus_i(tanh_of(times_i(z))); }
};

}  // namespace celem

}  // namespace nrx::zar
