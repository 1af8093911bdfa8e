// Laws made from one logarithm of uniforms (exponential, Rayleigh, Weibull, Gumbel,
// Laplace) and the Cauchy law from one tangent.
#include <algorithm>

#include "rng/dist/exponential.h"
#include "rng/dist/frame.h"

namespace nrx::rng::dist {
namespace {

// Uniforms in [lo, hi) into r block by block, each block handed to `finish`.
template <class T, class Finish> int32_t by_blocks(DruStream* s, int32_t n, T* r, T lo, T hi, Finish finish) {
  for (int32_t done = 0; done < n;) {
    const int32_t k = std::min(kBlock, n - done);
    if (int32_t st = draw(s, k, r + done, lo, hi); st < 0) return st;
    finish(k, r + done);
    done += k;
  }
  return DRU_OK;
}

// E = -ln u in place, u from the block.
template <class T> void exp1(int32_t k, T* x) {
  Vm<T>::ln(k, x, x);
  for (int32_t i = 0; i < k; ++i) x[i] = -x[i];
}

bool bad_scale(double beta) { return !(beta > 0); }

template <class T> int32_t rayleigh(DruStream* s, int32_t n, T* r, T a, T beta) {
  if (bad_call(s, n, r) || bad_scale(beta)) return DRU_E_BAD_ARGUMENT;
  Frame frame(&ln_zero_any<T>);
  return by_blocks(s, n, r, T(0), T(1), [&](int32_t k, T* x) {
    exp1(k, x);
    Vm<T>::sqrt(k, x, x);
    for (int32_t i = 0; i < k; ++i) x[i] = std::max(a, a + beta * x[i]);
  });
}

template <class T> int32_t weibull(DruStream* s, int32_t n, T* r, T alpha, T a, T beta) {
  if (bad_call(s, n, r) || bad_scale(beta) || bad_scale(alpha)) return DRU_E_BAD_ARGUMENT;
  Frame frame(&ln_zero_singular<T>);
  const T power = T(1) / alpha;
  return by_blocks(s, n, r, T(0), T(1), [&](int32_t k, T* x) {
    exp1(k, x);
    if (alpha != T(1)) Vm<T>::powx(k, x, power, x);
    for (int32_t i = 0; i < k; ++i) x[i] = std::max(a, a + beta * x[i]);
  });
}

template <class T> int32_t gumbel(DruStream* s, int32_t n, T* r, T a, T beta) {
  if (bad_call(s, n, r) || bad_scale(beta)) return DRU_E_BAD_ARGUMENT;
  Frame frame(&ln_zero_any<T>);
  const int32_t st = exponential_routine(s, n, r, T(0), T(1));
  if (st >= 0) affine_of(&Vm<T>::ln, n, r, a, beta);
  return st;
}

template <class T> int32_t laplace(DruStream* s, int32_t n, T* r, T a, T beta) {
  if (bad_call(s, n, r) || bad_scale(beta)) return DRU_E_BAD_ARGUMENT;
  Frame frame(&ln_zero_any<T>);
  alignas(64) T u[2 * kBlock], sign[kBlock];
  for (int32_t done = 0; done < n;) {
    const int32_t k = std::min(kBlock, n - done);
    if (int32_t st = draw(s, 2 * k, u, T(0), T(1)); st < 0) return st;
    T* x = r + done;
    for (int32_t i = 0; i < k; ++i) {
      x[i] = u[2 * i];
      sign[i] = u[2 * i + 1];
    }
    Vm<T>::ln(k, x, x);
    for (int32_t i = 0; i < k; ++i) x[i] = sign[i] <= T(0.5) ? a - beta * x[i] : a + beta * x[i];
    done += k;
  }
  return DRU_OK;
}

template <class T> int32_t cauchy(DruStream* s, int32_t n, T* r, T a, T beta) {
  if (bad_call(s, n, r) || bad_scale(beta)) return DRU_E_BAD_ARGUMENT;
  Frame frame(nullptr);
  // +-pi/2 as doubles, 1.5707963267948966.
  const T half_pi = T(1.5707963267948966);
  return by_blocks(s, n, r, -half_pi, half_pi, [&](int32_t k, T* x) {
    Vm<T>::tan(k, x, x);
    for (int32_t i = 0; i < k; ++i) x[i] = a + beta * x[i];
  });
}

}  // namespace

template <class T> int32_t exponential_routine(DruStream* s, int32_t n, T* r, T a, T beta) {
  return by_blocks(s, n, r, T(0), T(1), [&](int32_t k, T* x) {
    Vm<T>::ln(k, x, x);
    for (int32_t i = 0; i < k; ++i) x[i] = std::max(a, a - beta * x[i]);
  });
}

template <class T> int32_t exponential(DruStream* s, int32_t n, T* r, T a, T beta) {
  if (bad_call(s, n, r) || bad_scale(beta)) return DRU_E_BAD_ARGUMENT;
  Frame frame(&ln_zero_any<T>);
  return exponential_routine(s, n, r, a, beta);
}

template int32_t exponential_routine<float>(DruStream*, int32_t, float*, float, float);
template int32_t exponential_routine<double>(DruStream*, int32_t, double*, double, double);
template int32_t exponential<float>(DruStream*, int32_t, float*, float, float);
template int32_t exponential<double>(DruStream*, int32_t, double*, double, double);

}  // namespace nrx::rng::dist

using namespace nrx::rng::dist;

// The method argument selects nothing for these laws: 0 is the one code accepted.
#define NRX_DIST_TWO_PARAM(Law, fn)                                                                               \
  NRX_RNG_API int32_t drus##Law(int32_t method, DruStream* stream, int32_t n, float* r, float a, float beta) {    \
    return method != 0 ? DRU_E_BAD_ARGUMENT : fn(stream, n, r, a, beta);                                          \
  }                                                                                                               \
  NRX_RNG_API int32_t drud##Law(int32_t method, DruStream* stream, int32_t n, double* r, double a, double beta) { \
    return method != 0 ? DRU_E_BAD_ARGUMENT : fn(stream, n, r, a, beta);                                          \
  }

extern "C" {

NRX_DIST_TWO_PARAM(RngExponential, exponential)
NRX_DIST_TWO_PARAM(RngRayleigh, rayleigh)
NRX_DIST_TWO_PARAM(RngGumbel, gumbel)
NRX_DIST_TWO_PARAM(RngLaplace, laplace)
NRX_DIST_TWO_PARAM(RngCauchy, cauchy)

NRX_RNG_API int32_t drusRngWeibull(int32_t method, DruStream* stream, int32_t n, float* r, float alpha, float a,
                                   float beta) {
  return method != 0 ? DRU_E_BAD_ARGUMENT : weibull(stream, n, r, alpha, a, beta);
}
NRX_RNG_API int32_t drudRngWeibull(int32_t method, DruStream* stream, int32_t n, double* r, double alpha, double a,
                                   double beta) {
  return method != 0 ? DRU_E_BAD_ARGUMENT : weibull(stream, n, r, alpha, a, beta);
}

}  // extern "C"
