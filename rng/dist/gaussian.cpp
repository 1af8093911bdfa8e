// The normal law by its three methods, the lognormal law on top of it and the
// multivariate normal law through the Cholesky factor of its covariance.
#include <algorithm>

#include "common/core_calls.h"
#include "rng/dist/frame.h"
#include "rng/dist/gaussian.h"

namespace nrx::rng::dist {
namespace {

template <class T> struct PairChunk;
template <> struct PairChunk<double> { static constexpr uint32_t kId = DRU_CHUNK_GAUSSIAN_PAIR_D; };
template <> struct PairChunk<float> { static constexpr uint32_t kId = DRU_CHUNK_GAUSSIAN_PAIR_S; };

// The stream's pending pair (u1, u2), attached with -1 in both places when missing.
template <class T> T* pending_pair(DruStream* s) {
  if (DruChunk* c = find_chunk(s, PairChunk<T>::kId, 2 * sizeof(T))) return static_cast<T*>(c->data);
  auto* data = static_cast<T*>(nrx_serv_allocate(2 * sizeof(T), 64));
  if (!data) return nullptr;
  data[0] = data[1] = T(-1);
  if (_druAddChunk(s, PairChunk<T>::kId, nullptr, data, 2 * sizeof(T)) != DRU_OK) {
    nrx_serv_deallocate(data);
    return nullptr;
  }
  return data;
}

// Splits k interleaved pairs into radius rho = sqrt(-2 ln u1) and angle 2 pi u2; the
// u1 values are packed into the front of u on the way.
template <class T> void split_pairs(int32_t k, T* u, T* rho, T* angle) {
  for (int32_t i = 0; i < k; ++i) {
    angle[i] = T(kTwoPi) * u[2 * i + 1];
    u[i] = u[2 * i];
  }
  radius(k, u, rho);
}

// One variate per pair: a + sigma rho sin(angle).
template <class T> int32_t box_muller_one(DruStream* s, int32_t n, T* r, T a, T sigma) {
  alignas(64) T u[2 * kBlock], rho[kBlock], angle[kBlock];
  for (int32_t done = 0; done < n;) {
    const int32_t k = std::min(kBlock, n - done);
    if (int32_t st = draw(s, 2 * k, u, T(0), T(1)); st < 0) return st;
    split_pairs(k, u, rho, angle);
    Vm<T>::sin(k, angle, angle);
    for (int32_t i = 0; i < k; ++i) r[done + i] = a + sigma * rho[i] * angle[i];
    done += k;
  }
  return DRU_OK;
}

// Two variates per pair, the cosine of an odd tail pending in the stream.
template <class T> int32_t box_muller_two(DruStream* s, int32_t n, T* r, T a, T sigma) {
  T* pair = pending_pair<T>(s);
  if (!pair) return DRU_E_NO_MEMORY;
  alignas(64) T u[2 * kBlock], rho[kBlock], sn[kBlock], cs[kBlock];
  int32_t done = 0;
  if (n > 0 && pair[0] != T(-1)) {
    u[0] = pair[0];
    u[1] = pair[1];
    split_pairs(1, u, rho, sn);
    Vm<T>::sincos(1, sn, sn, cs);
    r[done++] = a + sigma * rho[0] * cs[0];
    pair[0] = pair[1] = T(-1);
  }
  while (n - done >= 2) {
    const int32_t k = std::min(kBlock, (n - done) / 2);
    if (int32_t st = draw(s, 2 * k, u, T(0), T(1)); st < 0) return st;
    split_pairs(k, u, rho, sn);
    Vm<T>::sincos(k, sn, sn, cs);
    for (int32_t i = 0; i < k; ++i) {
      r[done + 2 * i] = a + sigma * rho[i] * sn[i];
      r[done + 2 * i + 1] = a + sigma * rho[i] * cs[i];
    }
    done += 2 * k;
  }
  if (done < n) {
    if (int32_t st = draw(s, 2, u, T(0), T(1)); st < 0) return st;
    pair[0] = u[0];
    pair[1] = u[1];
    split_pairs(1, u, rho, sn);
    Vm<T>::sincos(1, sn, sn, cs);
    r[done] = a + sigma * rho[0] * sn[0];
  }
  return DRU_OK;
}

// Inverse distribution function: erfinv of uniforms in [-1, 1).
template <class T> int32_t inverse_cdf(DruStream* s, int32_t n, T* r, T a, T sigma) {
  const T scale = T(kSqrt2) * sigma;
  for (int32_t done = 0; done < n;) {
    const int32_t k = std::min(kBlock, n - done);
    T* block = r + done;
    if (int32_t st = draw(s, k, block, T(-1), T(1)); st < 0) return st;
    Vm<T>::erfinv(k, block, block);
    for (int32_t i = 0; i < k; ++i) block[i] = a + scale * block[i];
    done += k;
  }
  return DRU_OK;
}

template <class T> bool bad_sigma(T sigma) { return !(sigma > T(0)); }

template <class T> int32_t lognormal(int32_t method, DruStream* s, int32_t n, T* r, T a, T sigma, T b, T beta) {
  if (bad_call(s, n, r) || method < 0 || method > DRU_RNG_LOGNORMAL_ICDF || bad_sigma(sigma) || bad_sigma(beta))
    return DRU_E_BAD_ARGUMENT;
  Frame frame(&gaussian_callback<T>);
  const int32_t normal = method == DRU_RNG_LOGNORMAL_BOX_MULLER2 ? DRU_RNG_GAUSSIAN_BOX_MULLER2 : DRU_RNG_GAUSSIAN_ICDF;
  const int32_t st = gaussian_routine(normal, s, n, r, a, sigma);
  if (st >= 0) affine_of(&Vm<T>::exp, n, r, b, beta);
  return st;
}

// x = T z for `count` vectors of dim values; t the lower factor row by row (full),
// the lower triangle column by column (packed) or the diagonal.
template <class T> void factor_multiply(int32_t storage, int32_t dim, int32_t count, const T* t, T* x) {
  // Built-in code up to this dimension; the core library's multiply above it.
  constexpr int32_t kSmallDim = 10;
  if (storage == DRU_RNG_MV_FULL && dim > kSmallDim) {
    common::Core<T>::trmm("U", "T", dim, count, t, dim, x, dim);
  } else if (storage == DRU_RNG_MV_FULL) {
    for (int32_t v = 0; v < count; ++v) {
      T* z = x + int64_t(v) * dim;
      for (int32_t i = dim - 1; i >= 0; --i) {
        T sum = 0;
        for (int32_t j = 0; j <= i; ++j) sum += t[i * dim + j] * z[j];
        z[i] = sum;
      }
    }
  } else if (storage == DRU_RNG_MV_PACKED) {
    common::Core<T>::packed_trmm("L", "N", dim, count, t, x, dim);
  } else {
    for (int32_t v = 0; v < count; ++v)
      for (int32_t j = 0; j < dim; ++j) x[int64_t(v) * dim + j] *= t[j];
  }
}

template <class T> int32_t gaussian_mv(int32_t method, DruStream* s, int32_t n, T* r, int32_t dim, int32_t storage,
                                       const T* a, const T* t) {
  if (bad_call(s, n, r) || method < 0 || method > DRU_RNG_GAUSSIAN_ICDF || dim < 1 || storage < 0 ||
      storage > DRU_RNG_MV_DIAGONAL || !a || !t)
    return DRU_E_BAD_ARGUMENT;
  if (dim == 1) return gaussian(method, s, n, r, a[0], t[0]);
  // Vectors per normal call, so that each call's count fits 32 bits.
  const int32_t per_call = std::max<int32_t>(1, INT32_MAX / dim);
  for (int32_t done = 0; done < n;) {
    const int32_t count = std::min(per_call, n - done);
    T* x = r + int64_t(done) * dim;
    if (int32_t st = gaussian(method, s, count * dim, x, T(0), T(1)); st < 0) return st;
    factor_multiply(storage, dim, count, t, x);
    for (int32_t v = 0; v < count; ++v)
      for (int32_t j = 0; j < dim; ++j) x[int64_t(v) * dim + j] += a[j];
    done += count;
  }
  return DRU_OK;
}

}  // namespace

template <class T> int32_t gaussian_routine(int32_t method, DruStream* s, int32_t n, T* r, T a, T sigma) {
  using Routine = int32_t (*)(DruStream*, int32_t, T*, T, T);
  static constexpr Routine kMethods[] = {&box_muller_one<T>, &box_muller_two<T>, &inverse_cdf<T>};
  return kMethods[method](s, n, r, a, sigma);
}
template int32_t gaussian_routine<float>(int32_t, DruStream*, int32_t, float*, float, float);
template int32_t gaussian_routine<double>(int32_t, DruStream*, int32_t, double*, double, double);

template <class T> int32_t gaussian(int32_t method, DruStream* s, int32_t n, T* r, T a, T sigma) {
  if (bad_call(s, n, r) || method < 0 || method > DRU_RNG_GAUSSIAN_ICDF || bad_sigma(sigma)) return DRU_E_BAD_ARGUMENT;
  Frame frame(&gaussian_callback<T>);
  return gaussian_routine(method, s, n, r, a, sigma);
}
template int32_t gaussian<float>(int32_t, DruStream*, int32_t, float*, float, float);
template int32_t gaussian<double>(int32_t, DruStream*, int32_t, double*, double, double);

}  // namespace nrx::rng::dist

using namespace nrx::rng::dist;

extern "C" {

NRX_RNG_API int32_t drusRngGaussian(int32_t method, DruStream* stream, int32_t n, float* r, float a, float sigma) {
  return gaussian(method, stream, n, r, a, sigma);
}
NRX_RNG_API int32_t drudRngGaussian(int32_t method, DruStream* stream, int32_t n, double* r, double a, double sigma) {
  return gaussian(method, stream, n, r, a, sigma);
}
NRX_RNG_API int32_t drusRngLognormal(int32_t method, DruStream* stream, int32_t n, float* r, float a, float sigma,
                                     float b, float beta) {
  return lognormal(method, stream, n, r, a, sigma, b, beta);
}
NRX_RNG_API int32_t drudRngLognormal(int32_t method, DruStream* stream, int32_t n, double* r, double a, double sigma,
                                     double b, double beta) {
  return lognormal(method, stream, n, r, a, sigma, b, beta);
}
NRX_RNG_API int32_t drusRngGaussianMV(int32_t method, DruStream* stream, int32_t n, float* r, int32_t dim,
                                      int32_t storage, const float* a, const float* t) {
  return gaussian_mv(method, stream, n, r, dim, storage, a, t);
}
NRX_RNG_API int32_t drudRngGaussianMV(int32_t method, DruStream* stream, int32_t n, double* r, int32_t dim,
                                      int32_t storage, const double* a, const double* t) {
  return gaussian_mv(method, stream, n, r, dim, storage, a, t);
}

}  // extern "C"
