// The gamma law (Marsaglia-Tsang, with the U^(1/alpha) boost below shape 1), the
// chi-square law by its three methods and the beta law from two gamma logarithms.
#include <algorithm>
#include <cmath>

#include "rng/dist/frame.h"
#include "rng/dist/gaussian.h"

namespace nrx::rng::dist {
namespace {

// m <= kBlock standard gamma variates of shape >= 1 into g. Each round draws three
// uniforms per candidate: a polar-method normal x from the first two (the candidate
// fails outside the unit disc), the acceptance test from the third; the first
// accepted candidates are kept in order and unused ones dropped. Only ln, sqrt.
template <class T> int32_t marsaglia_tsang(DruStream* s, int32_t m, T* g, T shape) {
  const T d = shape - T(1) / T(3), c = T(1) / std::sqrt(T(9) * d);
  alignas(64) T u[3 * kBlock], x[kBlock], v[kBlock], lu[kBlock], lv[kBlock], ok[kBlock];
  for (int32_t got = 0; got < m;) {
    const int32_t want = m - got;
    // The disc keeps pi/4 and the squeeze at least 95%: spare candidates avoid most second rounds.
    const int32_t k = std::min(kBlock, want + want / 3 + 16);
    if (int32_t st = draw(s, 3 * k, u, T(0), T(1)); st < 0) return st;
    // Flags as 0/1 values and selects keep these loops branch-free and vectorised.
    for (int32_t i = 0; i < k; ++i) {
      const T p = T(2) * u[3 * i] - T(1), q = T(2) * u[3 * i + 1] - T(1), r2 = p * p + q * q;
      const bool in = (r2 > T(0)) & (r2 < T(1));
      ok[i] = in ? T(1) : T(0);
      x[i] = p;
      v[i] = in ? r2 : T(0.5);
      lu[i] = u[3 * i + 2];
    }
    Vm<T>::ln(k, v, lv);
    for (int32_t i = 0; i < k; ++i) lv[i] = T(-2) * lv[i] / v[i];
    Vm<T>::sqrt(k, lv, lv);
    Vm<T>::ln(k, lu, lu);
    for (int32_t i = 0; i < k; ++i) {
      x[i] *= lv[i];
      const T t = T(1) + c * x[i];
      const bool positive = (ok[i] > T(0)) & (t > T(0));
      v[i] = positive ? t * t * t : T(0);
      lv[i] = positive ? v[i] : T(1);
    }
    Vm<T>::ln(k, lv, lv);
    for (int32_t i = 0; i < k; ++i) {
      const bool accept = (v[i] > T(0)) & (lu[i] < T(0.5) * x[i] * x[i] + d - d * v[i] + d * lv[i]);
      ok[i] = accept ? d * v[i] : T(0);
    }
    for (int32_t i = 0; i < k && got < m; ++i) {
      g[got] = ok[i];
      got += ok[i] > T(0);
    }
  }
  return DRU_OK;
}

// ln G for k <= kBlock gamma variates of any shape > 0: ln G1 + ln(u) / alpha below 1.
template <class T> int32_t log_gamma_block(DruStream* s, int32_t k, T* lg, T alpha) {
  if (int32_t st = marsaglia_tsang(s, k, lg, alpha < T(1) ? alpha + T(1) : alpha); st < 0) return st;
  Vm<T>::ln(k, lg, lg);
  if (alpha < T(1)) {
    alignas(64) T lu[kBlock];
    if (int32_t st = draw(s, k, lu, T(0), T(1)); st < 0) return st;
    Vm<T>::ln(k, lu, lu);
    for (int32_t i = 0; i < k; ++i) lg[i] += lu[i] / alpha;
  }
  return DRU_OK;
}

template <class T> bool positive(T x) { return x > T(0) && std::isfinite(x); }

template <class T> int32_t gamma_routine(DruStream* s, int32_t n, T* r, T alpha, T a, T beta) {
  alignas(64) T lu[kBlock];
  for (int32_t done = 0; done < n;) {
    const int32_t k = std::min(kBlock, n - done);
    T* g = r + done;
    if (int32_t st = marsaglia_tsang(s, k, g, alpha < T(1) ? alpha + T(1) : alpha); st < 0) return st;
    if (alpha < T(1)) {
      if (int32_t st = draw(s, k, lu, T(0), T(1)); st < 0) return st;
      Vm<T>::ln(k, lu, lu);
      for (int32_t i = 0; i < k; ++i) lu[i] /= alpha;
      Vm<T>::exp(k, lu, lu);
      for (int32_t i = 0; i < k; ++i) g[i] *= lu[i];
    }
    for (int32_t i = 0; i < k; ++i) g[i] = a + beta * g[i];
    done += k;
  }
  return DRU_OK;
}

template <class T> int32_t gamma(int32_t method, DruStream* s, int32_t n, T* r, T alpha, T a, T beta) {
  if (bad_call(s, n, r) || method != DRU_RNG_GAMMA_MARSAGLIA_TSANG || !positive(alpha) || !positive(beta))
    return DRU_E_BAD_ARGUMENT;
  Frame frame(&ln_zero_singular<T>);
  return gamma_routine(s, n, r, alpha, a, beta);
}

template <class T> int32_t chi_square(int32_t method, DruStream* s, int32_t n, T* r, int32_t v) {
  if (bad_call(s, n, r) || method != 0 || v < 1) return DRU_E_BAD_ARGUMENT;
  if (v != 1 && v != 3 && (v % 2 != 0 || v > 16)) return gamma(0, s, n, r, T(v) * T(0.5), T(0), T(2));
  common::VmModeGuard mode(common::kCallbackOnly, &ln_zero_singular<T>);
  alignas(64) T buf[kBlock];
  const bool normals = v % 2 != 0;
  const int32_t per = normals ? v : v / 2;
  for (int32_t done = 0; done < n;) {
    const int32_t m = std::min(n - done, kBlock / per);
    T* x = r + done;
    const int32_t st =
        normals ? gaussian<T>(DRU_RNG_GAUSSIAN_ICDF, s, per * m, buf, T(0), T(1)) : draw(s, per * m, buf, T(0), T(1));
    if (st < 0) return st;
    for (int32_t i = 0; i < m; ++i) {
      T acc = normals ? T(0) : T(1);
      for (int32_t j = 0; j < per; ++j) {
        const T z = buf[per * i + j];
        acc = normals ? acc + z * z : acc * z;
      }
      x[i] = acc;
    }
    if (!normals) {
      Vm<T>::ln(m, x, x);
      for (int32_t i = 0; i < m; ++i) x[i] *= T(-2);
    }
    done += m;
  }
  return DRU_OK;
}

template <class T> int32_t beta_law(int32_t method, DruStream* s, int32_t n, T* r, T p, T q, T a, T beta) {
  if (bad_call(s, n, r) || method != DRU_RNG_BETA_GAMMA_RATIO || !positive(p) || !positive(q) || !positive(beta))
    return DRU_E_BAD_ARGUMENT;
  Frame frame(&ln_zero_singular<T>);
  alignas(64) T ly[kBlock];
  for (int32_t done = 0; done < n;) {
    const int32_t k = std::min(kBlock, n - done);
    T* lx = r + done;
    if (int32_t st = log_gamma_block(s, k, lx, p); st < 0) return st;
    if (int32_t st = log_gamma_block(s, k, ly, q); st < 0) return st;
    // X / (X + Y) = 1 / (1 + exp(ln Y - ln X)): no underflow of tiny shapes' variates.
    for (int32_t i = 0; i < k; ++i) ly[i] -= lx[i];
    Vm<T>::exp(k, ly, ly);
    for (int32_t i = 0; i < k; ++i) lx[i] = a + beta * (T(1) / (T(1) + ly[i]));
    done += k;
  }
  return DRU_OK;
}

}  // namespace
}  // namespace nrx::rng::dist

using namespace nrx::rng::dist;

extern "C" {

NRX_RNG_API int32_t drusRngGamma(int32_t method, DruStream* stream, int32_t n, float* r, float alpha, float a,
                                 float beta) {
  return gamma(method, stream, n, r, alpha, a, beta);
}
NRX_RNG_API int32_t drudRngGamma(int32_t method, DruStream* stream, int32_t n, double* r, double alpha, double a,
                                 double beta) {
  return gamma(method, stream, n, r, alpha, a, beta);
}
NRX_RNG_API int32_t drusRngChiSquare(int32_t method, DruStream* stream, int32_t n, float* r, int32_t v) {
  return chi_square(method, stream, n, r, v);
}
NRX_RNG_API int32_t drudRngChiSquare(int32_t method, DruStream* stream, int32_t n, double* r, int32_t v) {
  return chi_square(method, stream, n, r, v);
}
NRX_RNG_API int32_t drusRngBeta(int32_t method, DruStream* stream, int32_t n, float* r, float p, float q, float a,
                                float beta) {
  return beta_law(method, stream, n, r, p, q, a, beta);
}
NRX_RNG_API int32_t drudRngBeta(int32_t method, DruStream* stream, int32_t n, double* r, double p, double q, double a,
                                double beta) {
  return beta_law(method, stream, n, r, p, q, a, beta);
}

}  // extern "C"
