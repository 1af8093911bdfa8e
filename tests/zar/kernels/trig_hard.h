// The arguments hardest for the circular functions' reduction: the doubles or floats
// nearest to multiples of pi/2, and huge arguments that only the long reduction reaches.
#pragma once
#include <mpfr.h>

#include <cfloat>
#include <cmath>
#include <vector>

namespace nrx::test {

// Doubles (or floats, bits = 24) m 2^e nearest to multiples of pi/2: the convergents p/q of
// (pi/2) / 2^e with q < 2^bits give m = q, and the two neighbours of each are kept too.
inline std::vector<double> near_multiples_of_half_pi(int bits, int emin, int emax) {
  std::vector<double> out;
  mpfr_t a, f, t;
  mpfr_inits2(4000, a, f, t, (mpfr_ptr)0);
  for (int e = emin; e <= emax; ++e) {
    mpfr_const_pi(a, MPFR_RNDN);
    mpfr_div_2si(a, a, e + 1, MPFR_RNDN);  // (pi/2) / 2^e = q / m: m 2^e ~ q pi/2
    mpfr_ui_div(a, 1, a, MPFR_RNDN);       // m / q
    // Convergents h/k of a: h = m candidates.
    double h0 = 1, h1 = 0, k0 = 0, k1 = 1;  // h_{-1}, h_{-2}, k_{-1}, k_{-2}
    mpfr_set(f, a, MPFR_RNDN);
    for (int it = 0; it < 80; ++it) {
      mpfr_floor(t, f);
      const double c = mpfr_get_d(t, MPFR_RNDN);
      const double h = c * h0 + h1, k = c * k0 + k1;
      if (h >= std::ldexp(1.0, bits)) break;
      if (h >= 1) {
        const double x = std::ldexp(h, e);
        for (double y : {x, std::nextafter(x, 0.0), std::nextafter(x, INFINITY)}) out.push_back(y), out.push_back(-y);
      }
      h1 = h0, h0 = h, k1 = k0, k0 = k;
      mpfr_sub(f, f, t, MPFR_RNDN);
      if (mpfr_zero_p(f)) break;
      mpfr_ui_div(f, 1, f, MPFR_RNDN);
    }
  }
  mpfr_clears(a, f, t, (mpfr_ptr)0);
  if (bits == 24)
    for (double& x : out) x = double(float(x));
  return out;
}

inline std::vector<double> huge_arguments(bool single) {
  std::vector<double> v = {1e22,
                           1e300,
                           DBL_MAX,
                           0x1p24,
                           0x1.0000000000001p24,
                           0x1.fffffffffffffp23,
                           1e16,
                           0x1p1023,
                           6381956970095103.0 * 0x1p797,
                           5.319372648326541e+255,
                           0x1p-1074,
                           0x1p-1022,
                           1e-300};
  if (single) v = {20000.0, 1e4, 0x1p24, 0x1.000002p24, 0x1.fffffep23, FLT_MAX, 1e30f, 1e38f, 0x1p127, 0x1p-149, 1e-40};
  std::vector<double> out;
  for (double x : v) out.push_back(x), out.push_back(-x);
  return out;
}

}  // namespace nrx::test
