// References of the correctly rounded functions, evaluated in the element format itself with
// the C library and IEEE arithmetic (both correctly rounded for these operations).
// Built with -ffp-contract=off: a*b+c below must stay two roundings.
#include <cmath>

#include "tools/accuracy/mp.h"
#include "tools/accuracy/oracle.h"

namespace nrx::accuracy {
namespace {

int put(mpfr_ptr o, double v) {
  mpfr_set_d(o, v, MPFR_RNDN);
  return kRefInFormat;
}

template <class F> int one(mpfr_ptr* o, const double* in, const EvalCtx& c, F f) {
  return put(o[0], is_single(c) ? double(f(float(in[0]))) : f(in[0]));
}
template <class F> int two(mpfr_ptr* o, const double* in, const EvalCtx& c, F f) {
  return put(o[0], is_single(c) ? double(f(float(in[0]), float(in[2]))) : f(in[0], in[2]));
}

#define NRX_ONE(name, expr)                                   \
  int name(mpfr_ptr* o, const double* in, const EvalCtx& c) { \
    return one(o, in, c, [](auto x) { return expr; });        \
  }
#define NRX_TWO(name, expr)                                                 \
  int name(mpfr_ptr* o, const double* in, const EvalCtx& c) {               \
    return two(o, in, c, [](auto x, auto y) { return decltype(x)(expr); }); \
  }

template <class T> T frac(T x) {
  T whole;
  return std::modf(x, &whole);  // carries the sign of x, +-0 for infinities
}
// Larger and smaller of two values, the other one when exactly one is NaN; of two zeros the
// maximum is +0 and the minimum -0 (the other zero is accepted as well, see zero_pair_*).
template <class T> T max_(T x, T y) {
  if (x == 0 && y == 0) return std::signbit(x) ? y : x;
  return std::fmax(x, y);
}
template <class T> T min_(T x, T y) {
  if (x == 0 && y == 0) return std::signbit(x) ? x : y;
  return std::fmin(x, y);
}
template <class T> T maxmag(T x, T y) {
  const T ax = std::fabs(x), ay = std::fabs(y);
  return ax > ay ? x : ay > ax ? y : max_(x, y);
}
template <class T> T minmag(T x, T y) {
  const T ax = std::fabs(x), ay = std::fabs(y);
  return ax < ay ? x : ay < ax ? y : min_(x, y);
}

NRX_ONE(ceil_, std::ceil(x))
NRX_ONE(floor_, std::floor(x))
NRX_ONE(trunc_, std::trunc(x))
NRX_ONE(rint_, std::rint(x))
NRX_ONE(nearbyint_, std::nearbyint(x))
NRX_ONE(round_, std::round(x))
NRX_ONE(frac_, frac(x))
NRX_ONE(fabs_, std::fabs(x))
NRX_ONE(logb_, std::logb(x))
NRX_ONE(sqr_, x* x)
NRX_TWO(add_, x + y)
NRX_TWO(sub_, x - y)
NRX_TWO(mul_, x* y)
NRX_TWO(copysign_, std::copysign(x, y))
NRX_TWO(nextafter_, x == y ? x : std::nextafter(x, y))
NRX_TWO(fdim_, std::fdim(x, y))
NRX_TWO(fmax_, max_(x, y))
NRX_TWO(fmin_, min_(x, y))
NRX_TWO(maxmag_, maxmag(x, y))
NRX_TWO(minmag_, minmag(x, y))
NRX_TWO(remainder_, std::remainder(x, y))
NRX_TWO(fmod_, std::fmod(x, y))

// Integral part and fractional part.
int modf_(mpfr_ptr* o, const double* in, const EvalCtx& c) {
  if (is_single(c)) {
    float whole;
    const float f = std::modf(float(in[0]), &whole);
    put(o[0], whole);
    return put(o[1], f);
  }
  double whole;
  const double f = std::modf(in[0], &whole);
  put(o[0], whole);
  return put(o[1], f);
}

template <class T> T linear_frac(const double* in, bool fused) {
  const T a = T(in[0]), b = T(in[2]), sa = T(in[4]), ha = T(in[5]), sb = T(in[6]), hb = T(in[7]);
  if (fused) return std::fma(sa, a, ha) / std::fma(sb, b, hb);
  const T num = sa * a + ha, den = sb * b + hb;
  return num / den;
}

int linearfrac_(mpfr_ptr* o, const double* in, const EvalCtx& c) {
  return put(o[0], is_single(c) ? linear_frac<float>(in, true) : linear_frac<double>(in, true));
}
bool linearfrac_alt(const double* in, const EvalCtx& c, double* out) {
  *out = is_single(c) ? linear_frac<float>(in, false) : linear_frac<double>(in, false);
  return true;
}

// Zeros of opposite signs: either zero is an acceptable maximum or minimum.
bool zero_pair(const double* in) { return in[0] == 0 && in[2] == 0 && std::signbit(in[0]) != std::signbit(in[2]); }
bool zero_pair_max(const double* in, const EvalCtx&, double* out) {
  *out = -0.0;
  return zero_pair(in);
}
bool zero_pair_min(const double* in, const EvalCtx&, double* out) {
  *out = 0.0;
  return zero_pair(in);
}
bool nextafter_alt(const double* in, const EvalCtx&, double* out) {
  if (in[0] != in[2]) return false;
  *out = in[2];
  return true;
}

// Complex sum, difference and conjugate, part by part.
int zadd_(mpfr_ptr* o, const double* in, const EvalCtx& c) {
  const bool s = is_single(c);
  put(o[0], s ? double(float(in[0]) + float(in[2])) : in[0] + in[2]);
  return put(o[1], s ? double(float(in[1]) + float(in[3])) : in[1] + in[3]);
}
int zsub_(mpfr_ptr* o, const double* in, const EvalCtx& c) {
  const bool s = is_single(c);
  put(o[0], s ? double(float(in[0]) - float(in[2])) : in[0] - in[2]);
  return put(o[1], s ? double(float(in[1]) - float(in[3])) : in[1] - in[3]);
}
int zconj_(mpfr_ptr* o, const double* in, const EvalCtx&) {
  put(o[0], in[0]);
  return put(o[1], -in[1]);
}

const Oracle kTable[] = {
    {"ceil", ceil_, nullptr},
    {"floor", floor_, nullptr},
    {"trunc", trunc_, nullptr},
    {"rint", rint_, nullptr},
    {"nearbyint", nearbyint_, nullptr},
    {"round", round_, nullptr},
    {"frac", frac_, nullptr},
    {"modf", modf_, nullptr},
    {"fabs", fabs_, nullptr},
    {"logb", logb_, nullptr},
    {"sqr", sqr_, nullptr},
    {"add", add_, nullptr},
    {"sub", sub_, nullptr},
    {"mul", mul_, nullptr},
    {"copysign", copysign_, nullptr},
    {"nextafter", nextafter_, nextafter_alt},
    {"fdim", fdim_, nullptr},
    {"fmax", fmax_, zero_pair_max},
    {"fmin", fmin_, zero_pair_min},
    {"maxmag", maxmag_, zero_pair_max},
    {"minmag", minmag_, zero_pair_min},
    {"remainder", remainder_, nullptr},
    {"fmod", fmod_, nullptr},
    {"linearfrac", linearfrac_, linearfrac_alt},
    {"zadd", zadd_, nullptr},
    {"zsub", zsub_, nullptr},
    {"zconj", zconj_, nullptr},
};

}  // namespace

OracleTable exact_oracles() { return {std::begin(kTable), std::end(kTable)}; }

}  // namespace nrx::accuracy
