// Long double reference evaluations behind the interim kernel (see interim.h).
#include "zar/kernels/interim.h"

#include <cmath>
#include <numbers>

namespace nrx::zar::interim {
namespace {

constexpr ld kPi = std::numbers::pi_v<long double>;

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
    case Fn::Erf: return std::erf(x);
    case Fn::Erfc: return std::erfc(x);
    case Fn::CdfNorm: return std::erfc(-x / std::numbers::sqrt2_v<long double>) / 2;
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
    case Fn::Sqrt: return std::sqrt(z);
    case Fn::Exp: return std::exp(z);
    case Fn::Ln: return std::log(z);
    default: return {std::numeric_limits<ld>::quiet_NaN(), std::numeric_limits<ld>::quiet_NaN()};
  }
}

cld complex2(Fn f, cld z, cld w) {
  switch (f) {
    case Fn::Div: return z / w;
    default: return {std::numeric_limits<ld>::quiet_NaN(), std::numeric_limits<ld>::quiet_NaN()};
  }
}

ld complex_to_real(Fn f, cld z) { return f == Fn::Arg ? std::arg(z) : std::hypot(z.real(), z.imag()); }

cld real_to_complex(Fn, ld x) { return {std::cos(x), std::sin(x)}; }

bool is_pole(Fn f, ld x, ld y) {
  switch (f) {
    case Fn::Div: return y == 0;
    default: return true;
  }
}

}  // namespace nrx::zar::interim
