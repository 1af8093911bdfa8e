// Long double reference evaluations behind the interim kernel (see interim.h).
#include "zar/kernels/interim.h"

#include <cmath>
#include <numbers>

namespace nrx::zar::interim {
namespace {

constexpr ld kPi = std::numbers::pi_v<long double>;
constexpr ld kEuler = std::numbers::egamma_v<long double>;

// erf^-1 by Newton's method on erfl from a logarithmic first guess.
ld erf_inv(ld x) {
  if (std::isnan(x)) return x;
  if (std::fabs(x) > 1) return std::numeric_limits<ld>::quiet_NaN();
  if (std::fabs(x) == 1) return std::copysign(std::numeric_limits<ld>::infinity(), x);
  if (x == 0) return x;
  const ld w = -std::log((1 - x) * (1 + x));
  ld y = std::copysign(std::sqrt(std::max<ld>(w - std::log(w) * 0.5L, 0.1L)), x) * 0.88L;
  if (std::fabs(x) < 0.5L) y = x * std::sqrt(kPi) / 2;
  for (int k = 0; k < 60; ++k) {
    const ld e = (std::fabs(x) > 0.5L ? (std::erfc(-y) - 1 - x) : (std::erf(y) - x));
    const ld step = e / (2 / std::sqrt(kPi) * std::exp(-y * y));
    y -= step;
    if (std::fabs(step) <= std::fabs(y) * 1e-19L) break;
  }
  return y;
}

// erfc^-1 by Newton's method on the relative error of erfcl, good down to the smallest erfc values.
ld erfc_inv(ld p) {
  if (std::isnan(p)) return p;
  if (p < 0 || p > 2) return std::numeric_limits<ld>::quiet_NaN();
  if (p == 0) return std::numeric_limits<ld>::infinity();
  if (p == 2) return -std::numeric_limits<ld>::infinity();
  if (p > 0.5L) return erf_inv(1 - p);
  ld y = std::sqrt(-std::log(p));
  for (int k = 0; k < 100; ++k) {
    const ld v = std::erfc(y);
    const ld step = (v - p) / (-2 / std::sqrt(kPi) * std::exp(-y * y));
    y -= step;
    if (std::fabs(step) <= std::fabs(y) * 1e-19L) break;
  }
  return y;
}

// E1(x) = integral from x to infinity of e^-t / t: the series below 1, Lentz's continued fraction above.
ld exp_int1(ld x) {
  if (std::isnan(x)) return x;
  if (x < 0) return std::numeric_limits<ld>::quiet_NaN();
  if (x == 0) return std::numeric_limits<ld>::infinity();
  if (std::isinf(x)) return 0;
  if (x <= 1) {
    ld sum = 0, term = 1;
    for (int k = 1; k < 200; ++k) {
      term *= -x / k;
      sum += term / k;
      if (std::fabs(term) < 1e-21L) break;
    }
    return -kEuler - std::log(x) - sum;
  }
  ld b = x + 1, c = 1 / std::numeric_limits<ld>::min(), d = 1 / b, h = d;
  for (int i = 1; i < 10000; ++i) {
    const ld an = -ld(i) * i;
    b += 2;
    d = 1 / (an * d + b);
    c = b + an / c;
    const ld del = c * d;
    h *= del;
    if (std::fabs(del - 1) < 1e-20L) break;
  }
  return h * std::exp(-x);
}

// sin(pi x), cos(pi x), tan(pi x) with the argument reduced exactly modulo 2.
ld sin_pi(ld x) {
  if (!std::isfinite(x)) return std::numeric_limits<ld>::quiet_NaN();
  const ld r = std::fmod(x, 2.0L);
  if (r == std::trunc(r)) return std::copysign(0.0L, x);
  return std::sin(kPi * r);
}
ld cos_pi(ld x) {
  if (!std::isfinite(x)) return std::numeric_limits<ld>::quiet_NaN();
  const ld r = std::fmod(std::fabs(x), 2.0L);
  if (r == 0.5L || r == 1.5L) return 0;
  return std::cos(kPi * r);
}
ld tan_pi(ld x) {
  if (!std::isfinite(x)) return std::numeric_limits<ld>::quiet_NaN();
  const ld r = std::fmod(x, 1.0L);
  if (r == 0) return std::copysign(0.0L, x);
  if (std::fabs(r) == 0.5L) return std::copysign(std::numeric_limits<ld>::infinity(), r);
  return std::tan(kPi * r);
}
// Degrees: reduced exactly modulo 360, zeros and poles at exact multiples of 90.
ld sin_deg(ld x) {
  if (!std::isfinite(x)) return std::numeric_limits<ld>::quiet_NaN();
  ld r = std::fmod(x, 360.0L);
  if (std::fmod(r, 180.0L) == 0) return std::copysign(0.0L, x);
  if (std::fabs(r) > 180) r -= std::copysign(360.0L, r);
  return std::sin(r * (kPi / 180));
}
ld cos_deg(ld x) {
  if (!std::isfinite(x)) return std::numeric_limits<ld>::quiet_NaN();
  ld r = std::fmod(std::fabs(x), 360.0L);
  if (r == 90 || r == 270) return 0;
  if (r > 180) r = 360 - r;  // exact
  return std::cos(r * (kPi / 180));
}
ld tan_deg(ld x) {
  if (!std::isfinite(x)) return std::numeric_limits<ld>::quiet_NaN();
  ld r = std::fmod(x, 180.0L);
  if (std::fabs(r) > 90) r -= std::copysign(180.0L, r);  // exact; keeps the argument of tan small
  if (r == 0) return std::copysign(0.0L, x);
  if (std::fabs(r) == 90) return std::copysign(std::numeric_limits<ld>::infinity(), r);
  return std::tan(r * (kPi / 180));
}

}  // namespace

ld real1(Fn f, ld x) {
  switch (f) {
    case Fn::LGamma: return std::lgamma(x);
    case Fn::TGamma: return std::tgamma(x);
    case Fn::ExpInt1: return exp_int1(x);
    case Fn::Erf: return std::erf(x);
    case Fn::Erfc: return std::erfc(x);
    case Fn::ErfInv: return erf_inv(x);
    case Fn::ErfcInv: return erfc_inv(x);
    case Fn::CdfNorm: return std::erfc(-x / std::numbers::sqrt2_v<long double>) / 2;
    case Fn::CdfNormInv: return -std::numbers::sqrt2_v<long double> * erfc_inv(2 * x);
    case Fn::Sinpi: return sin_pi(x);
    case Fn::Cospi: return cos_pi(x);
    case Fn::Tanpi: return tan_pi(x);
    case Fn::Acospi: return std::acos(x) / kPi;
    case Fn::Asinpi: return std::asin(x) / kPi;
    case Fn::Atanpi: return std::atan(x) / kPi;
    case Fn::Sind: return sin_deg(x);
    case Fn::Cosd: return cos_deg(x);
    case Fn::Tand: return tan_deg(x);
    case Fn::Sin: return std::sin(x);
    case Fn::Cos: return std::cos(x);
    case Fn::Tan: return std::tan(x);
    case Fn::Acos: return std::acos(x);
    case Fn::Acosh: return std::acosh(x);
    case Fn::Asin: return std::asin(x);
    case Fn::Asinh: return std::asinh(x);
    case Fn::Atan: return std::atan(x);
    case Fn::Atanh: return std::atanh(x);
    case Fn::Cosh: return std::cosh(x);
    case Fn::Sinh: return std::sinh(x);
    case Fn::Tanh: return std::tanh(x);
    default: return std::numeric_limits<ld>::quiet_NaN();
  }
}

ld real2(Fn f, ld x, ld y) {
  switch (f) {
    case Fn::Atan2: return std::atan2(x, y);
    case Fn::Atan2pi: return std::atan2(x, y) / kPi;
    default: return std::numeric_limits<ld>::quiet_NaN();
  }
}

cld complex1(Fn f, cld z) {
  switch (f) {
    case Fn::Log10: return std::log(z) / std::log(10.0L);
    case Fn::Sin: return std::sin(z);
    case Fn::Cos: return std::cos(z);
    case Fn::Tan: return std::tan(z);
    case Fn::Acos: return std::acos(z);
    case Fn::Acosh: return std::acosh(z);
    case Fn::Asin: return std::asin(z);
    case Fn::Asinh: return std::asinh(z);
    case Fn::Atan: return std::atan(z);
    case Fn::Atanh: return std::atanh(z);
    case Fn::Cosh: return std::cosh(z);
    case Fn::Sinh: return std::sinh(z);
    case Fn::Tanh: return std::tanh(z);
    default: return {std::numeric_limits<ld>::quiet_NaN(), std::numeric_limits<ld>::quiet_NaN()};
  }
}

cld complex2(Fn f, cld z, cld w) {
  switch (f) {
    case Fn::Pow:
    case Fn::Powx: return std::pow(z, w);
    default: return {std::numeric_limits<ld>::quiet_NaN(), std::numeric_limits<ld>::quiet_NaN()};
  }
}

bool is_pole(Fn f, ld x, ld y) {
  switch (f) {
    case Fn::TGamma:
    case Fn::LGamma: return x <= 0 && x == std::trunc(x);
    case Fn::Pow:
    case Fn::Powx: return x == 0 && y < 0;
    default: return true;
  }
}

}  // namespace nrx::zar::interim
