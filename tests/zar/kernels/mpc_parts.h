// Per-part errors of complex results against MPC values, for the complex kernel tests.
#pragma once
#include <mpc.h>

#include <algorithm>
#include <cmath>

#include "nrx/zar.h"

#undef I

namespace nrx::test {

// Precision and exponent range of each complex type's parts (emin: exponent of the smallest
// normal, as mpfr_get_exp counts).
template <class C> struct Cx;
template <> struct Cx<NrxComplex8> {
  using R = float;
  static constexpr int p = 24, emin = -125, emax = 128;
};
template <> struct Cx<NrxComplex16> {
  using R = double;
  static constexpr int p = 53, emin = -1021, emax = 1024;
};

inline constexpr mpfr_prec_t kWork = 320;

struct Exact {
  mpc_t v;
  Exact() { mpc_init2(v, kWork); }
  ~Exact() { mpc_clear(v); }
  Exact(const Exact&) = delete;
  Exact& operator=(const Exact&) = delete;
};

// Error of got in units of the last place of the format at exact (or at the smallest normal,
// for subnormal results); an overflowed exact value wants an infinity of its sign.
template <class R> double ulp_error(R got, mpfr_srcptr exact, int p, int emin, int emax) {
  if (mpfr_nan_p(exact)) return std::isnan(got) ? 0 : INFINITY;
  if (mpfr_inf_p(exact) || (mpfr_regular_p(exact) && mpfr_get_exp(exact) > emax))
    return std::isinf(got) && std::signbit(got) == bool(mpfr_signbit(exact)) ? 0 : INFINITY;
  if (!std::isfinite(got)) return INFINITY;
  mpfr_t d;
  mpfr_init2(d, kWork);
  mpfr_set_d(d, double(got), MPFR_RNDN);
  mpfr_sub(d, d, exact, MPFR_RNDN);
  const long e = mpfr_zero_p(exact) ? emin : std::max<long>(mpfr_get_exp(exact), emin);
  mpfr_mul_2si(d, d, p - e, MPFR_RNDN);
  const double u = std::fabs(mpfr_get_d(d, MPFR_RNDN));
  mpfr_clear(d);
  return u;
}

// The same in the format of the complex type C.
template <class C> double ulp_error(typename Cx<C>::R got, mpfr_srcptr exact) {
  return ulp_error(got, exact, Cx<C>::p, Cx<C>::emin, Cx<C>::emax);
}

// The larger of the two parts' errors.
template <class C> double part_error(const C& got, const Exact& want) {
  return std::max(ulp_error<C>(got.real, mpc_realref(want.v)), ulp_error<C>(got.imag, mpc_imagref(want.v)));
}

}  // namespace nrx::test
