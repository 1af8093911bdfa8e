// Rounding to a binary floating-point format and ulp errors, computed in MPFR.
#pragma once
#include <mpfr.h>

namespace nrx::accuracy {

// A binary format in MPFR's exponent convention (x = m * 2^e, 1/2 <= |m| < 1):
// the smallest subnormal is 2^(emin-1), every finite value is below 2^emax.
struct Format {
  int p;     // significand bits
  int emin;  // exponent of the smallest subnormal, plus one
  int emax;  // exponent just above the largest finite value
};
inline constexpr Format kSingle{24, -148, 128};
inline constexpr Format kDouble{53, -1073, 1024};

// What went wrong with one result beyond a large ulp error.
enum class Mismatch {
  none,
  nan,        // NaN where the exact result is not NaN, or the reverse
  inf,        // wrong or missing infinity (the exact result is infinite, or the signs disagree)
  zero_sign,  // both results are zero, with different signs
  inexact,    // a function that must be correctly rounded is not
  stray,      // the kernel wrote outside the elements it was given
  annex_g,    // complex input with an infinite, NaN or (analytic functions) zero part: the class
              // of a result part differs from C99 Annex G
};
const char* mismatch_name(Mismatch m);

struct Check {
  double ulp = 0;  // |got - exact| / ulp(exact); NaN for a NaN or infinity mismatch
  Mismatch kind = Mismatch::none;
};

// Rounds x to the format (subnormals and overflow included) into y, which must have
// precision f.p. Returns the ternary value.
int round_to(mpfr_ptr y, mpfr_srcptr x, Format f);

// The correctly rounded value of x in the format, as a double (exact for both formats).
double rounded(mpfr_srcptr x, Format f);

// log2 of the format's ulp at the value x: 2^(clamp(E, emin+p-1, emax) - p).
long ulp_exponent(mpfr_srcptr x, Format f);

// Error of a computed value against the exact one, in ulps of `unit` (normally the exact
// value itself). A computed infinity stands for +-2^emax when the exact value is finite,
// so an overflow just above the largest finite value counts as the fraction of an ulp it is.
double ulp_error(double got, mpfr_srcptr exact, mpfr_srcptr unit, Format f);

struct CompareOptions {
  bool correctly_rounded = false;  // bit-exact result required
  bool flush = false;              // flush-to-zero run: errors below the smallest normal are excused
  bool signed_zero = true;         // count zero-sign mismatches
  bool overflow_sign = true;       // an infinity for an overflowing value must have its sign
  const double* also = nullptr;    // a second accepted bit pattern for correctly rounded results
};

// Full comparison of one result component with the exact value.
Check compare(double got, mpfr_srcptr exact, mpfr_srcptr unit, Format f, const CompareOptions& o);

}  // namespace nrx::accuracy
