// A scoped MPFR variable and the exponent-range guard used by the evaluators.
#pragma once
#include <mpfr.h>

#include "tools/accuracy/ulp.h"

namespace nrx::accuracy {

class Mp {
 public:
  explicit Mp(mpfr_prec_t p) { mpfr_init2(v_, p); }
  Mp(mpfr_prec_t p, double x) {
    mpfr_init2(v_, p < 64 ? 64 : p);
    mpfr_set_d(v_, x, MPFR_RNDN);
  }
  ~Mp() { mpfr_clear(v_); }
  Mp(const Mp&) = delete;
  Mp& operator=(const Mp&) = delete;
  operator mpfr_ptr() { return v_; }
  operator mpfr_srcptr() const { return v_; }
  mpfr_ptr get() { return v_; }
  // MPFR implements some calls as macros that dereference their argument.
  __mpfr_struct* operator->() { return v_; }
  const __mpfr_struct* operator->() const { return v_; }

 private:
  mpfr_t v_;
};

// Runs one MPFR operation directly in a format: precision f.p, the format's exponent range,
// then subnormalised. The result is the correctly rounded value in that format.
template <class Op> void in_format(mpfr_ptr out, Format f, Op op) {
  mpfr_set_prec(out, f.p);
  const mpfr_exp_t lo = mpfr_get_emin(), hi = mpfr_get_emax();
  mpfr_set_emin(f.emin);
  mpfr_set_emax(f.emax);
  int inex = op(out);
  inex = mpfr_check_range(out, inex, MPFR_RNDN);
  mpfr_subnormalize(out, inex, MPFR_RNDN);
  mpfr_set_emin(lo);
  mpfr_set_emax(hi);
}

}  // namespace nrx::accuracy
