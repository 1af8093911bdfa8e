// Scalar routines the robust estimators share: log-gamma, the incomplete gamma
// ratios behind the chi-square functions, and one-element vector-math calls.
#pragma once
#include <cstdint>

namespace nrx::stats {

double ln_gamma(double x);
double vm_ln(double x);              // HA logarithm kernel under the internal mode
double vm_exp(double x);             // HA exponential kernel under the internal mode
double gamma_p(double a, double y);  // regularised lower incomplete gamma
double gamma_q(double a, double y);  // regularised upper incomplete gamma
double chi2_cdf(double k, double x);
double chi2_icdf(double k, double q);

}  // namespace nrx::stats
