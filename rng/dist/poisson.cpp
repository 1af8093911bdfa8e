// The Poisson law: method 0 inverts a table below a mean of 27 and uses PTPE at and
// above it, its setup in a stream chunk; method 1 is normal-based above 100; the
// per-element law inverts or uses PTPE element by element.
#include <algorithm>
#include <climits>
#include <cmath>

#include "rng/dist/gaussian.h"
#include "rng/dist/poisson.h"

namespace nrx::rng::dist {
namespace {

// Upper end of the inversion tables: past it the probability is below 2^-64.
int32_t table_len(double lambda) { return int32_t(std::ceil(lambda + 14 * std::sqrt(lambda) + 20)) + 1; }

// f(k+1)/f(k) = lambda / (k + 1) from f(0) = 1, written where the cdf will be.
void make_table(TableHead* t, const Key& key, double lambda) {
  const int32_t len = table_len(lambda);
  auto* w = reinterpret_cast<double*>(t + 1);
  w[0] = 1;
  for (int32_t k = 0; k + 1 < len; ++k) w[k + 1] = w[k] * (lambda / (k + 1));
  table_fill(t, key, 0, len, w);
}

struct PoissonLaw {
  double lambda, top;
  double ratio(double m, double y) const {
    double f = 1;
    if (m < y)
      for (double i = m + 1; i <= y; ++i) f *= lambda / i;
    else
      for (double i = y + 1; i <= m; ++i) f *= i / lambda;
    return f;
  }
  // ln f(y)/f(m) = ln m!/y! + (y - m) ln lambda, by Stirling's series without cancellation.
  double log_ratio(double m, double y) const {
    if (y < 16) return log_factorial(m) - log_factorial(y) + (y - m) * std::log(lambda);
    const double x1 = y + 1, f1 = m + 1;
    return (m + 0.5) * std::log(f1 / x1) + (y - m) * (1 + std::log(lambda / x1)) + stirling_tail(f1) -
           stirling_tail(x1);
  }
};

// PTPE's hat around the mode floor(lambda).
Tpe poisson_hat(double lambda) {
  Tpe h{};
  h.m = std::floor(lambda);
  h.var = lambda;
  // The published constants 2.195, 2.2, 0.133, 8.56 and 6.83, as floats.
  h.p1 = std::floor(double(2.195f) * std::sqrt(lambda) - double(2.2f)) + 0.5;
  h.c = double(0.133f) + double(8.56f) / (double(6.83f) + h.m);
  const double xl = h.m + 0.5 - h.p1, xr = h.m + 0.5 + h.p1;
  // Slopes of ln f at the edges, -ln(1 - a) ~ a (1 + a/2), from below: the tails stay under the hat.
  const double al = (lambda - xl) / lambda, ar = (xr - lambda) / xr;
  h.laml = al * (1 + al / 2);
  h.lamr = ar * (1 + ar / 2);
  tpe_areas(h);
  return h;
}

bool ptpe(const Tpe& h, double lambda, Uniforms& src, int32_t& out) {
  double y;
  if (!tpe_variate(h, PoissonLaw{lambda, double(INT32_MAX)}, src, y)) return false;
  out = int32_t(y);
  return true;
}

// Sequential inversion from 0 for a small mean, given first = e^-lambda.
bool search(double lambda, double first, Uniforms& src, int32_t& out) {
  for (;;) {
    double u;
    if (!src.next(u)) return false;
    double f = first;
    int32_t x = 0;
    while (u > f && f > 0) {
      u -= f;
      f *= lambda / ++x;
    }
    // Rounding left u above the whole mass: draw again rather than bias the top.
    if (u <= f) return out = x, true;
  }
}

struct HatSetup {
  TableHead head;  // len 0: the hat follows
  Tpe hat;
};

int32_t ptpe_method(DruStream* s, int32_t n, int32_t* r, double lambda) {
  const Key key{{lambda, 0, 0}};
  auto fits = [&](const void* d, uint32_t) { return static_cast<const TableHead*>(d)->key == key; };
  if (lambda < kPoissonThreshold) {
    auto* t = static_cast<const TableHead*>(
        setup_chunk(s, DRU_CHUNK_POISSON, table_bytes(table_len(lambda)), fits,
                    [&](void* d) { make_table(static_cast<TableHead*>(d), key, lambda); }));
    return t ? table_draw(s, t, n, r) : DRU_E_NO_MEMORY;
  }
  auto* setup = static_cast<const HatSetup*>(setup_chunk(s, DRU_CHUNK_POISSON, sizeof(HatSetup), fits, [&](void* d) {
    auto* h = static_cast<HatSetup*>(d);
    h->head = TableHead{key, 0, 0};
    h->hat = poisson_hat(lambda);
  }));
  if (!setup) return DRU_E_NO_MEMORY;
  return tpe_draw(s, setup->hat, PoissonLaw{lambda, double(INT32_MAX)}, n, r, 0, 1);
}

// Normal-based: from 100 up a float normal z through the Cornish-Fisher expansion
// lambda + sqrt(lambda) z + (z^2 - 1)/6 + (z - z^3)/(72 sqrt(lambda)), shifted by 1/2
// and truncated; below 1 sequential inversion; in between a table on the heap.
int32_t normal_method(DruStream* s, int32_t n, int32_t* r, double lambda) {
  // Where the expansion takes over from the exact methods.
  constexpr double kNormalFrom = 100;
  if (lambda < 1) {
    Uniforms src(s);
    for (int32_t i = 0; i < n; ++i)
      if (!search(lambda, std::exp(-lambda), src, r[i])) return src.status();
    return DRU_OK;
  }
  if (lambda < kNormalFrom) {
    const int32_t len = table_len(lambda);
    auto* t = static_cast<TableHead*>(nrx_serv_allocate(table_bytes(len), 128));
    if (!t) return DRU_E_NO_MEMORY;
    make_table(t, Key{{lambda, 0, 0}}, lambda);
    const int32_t st = table_draw(s, t, n, r);
    nrx_serv_deallocate(t);
    return st;
  }
  alignas(64) float z[kBlock];
  const double sl = std::sqrt(lambda), shift = lambda + 0.5, cubic = 1 / (72 * sl);
  for (int32_t done = 0; done < n;) {
    const int32_t k = std::min(kBlock, n - done);
    if (int32_t st = gaussian_routine<float>(DRU_RNG_GAUSSIAN_BOX_MULLER, s, k, z, 0.0f, 1.0f); st < 0) return st;
    for (int32_t i = 0; i < k; ++i) {
      const double w = z[i], x = shift + sl * w + (w * w - 1) * (1.0 / 6) + (w - w * w * w) * cubic;
      r[done + i] = int32_t(std::min(std::max(x, 0.0), double(INT32_MAX)));
    }
    done += k;
  }
  return DRU_OK;
}

bool bad_lambda(double lambda) { return !(lambda >= 0 && lambda <= kPoissonMaxMean); }

int32_t poisson(int32_t method, DruStream* s, int32_t n, int32_t* r, double lambda) {
  if (bad_call(s, n, r) || bad_lambda(lambda)) return DRU_E_BAD_ARGUMENT;
  if (method != DRU_RNG_POISSON_PTPE && method != DRU_RNG_POISSON_NORMAL) return DRU_E_BAD_ARGUMENT;
  Frame frame(&gaussian_callback<float>);
  return method == DRU_RNG_POISSON_PTPE ? ptpe_method(s, n, r, lambda) : normal_method(s, n, r, lambda);
}

int32_t poisson_v(int32_t method, DruStream* s, int32_t n, int32_t* r, const double* lambda) {
  if (bad_call(s, n, r) || method != DRU_RNG_POISSONV_PTPE || (n > 0 && !lambda)) return DRU_E_BAD_ARGUMENT;
  for (int32_t i = 0; i < n; ++i)
    if (bad_lambda(lambda[i])) return DRU_E_BAD_ARGUMENT;
  Frame frame(nullptr);
  Uniforms src(s);
  return poisson_each(n, lambda, r, src);
}

}  // namespace

int32_t poisson_each(int32_t k, const double* lambda, int32_t* r, Uniforms& src) {
  alignas(64) double first[kBlock];
  for (int32_t done = 0; done < k; done += kBlock) {
    const int32_t m = std::min(kBlock, k - done);
    const double* mean = lambda + done;
    // e^-lambda of the whole block by the vector exponential.
    for (int32_t i = 0; i < m; ++i) first[i] = -std::min(mean[i], kPoissonThreshold);
    Vm<double>::exp(m, first, first);
    for (int32_t i = 0; i < m; ++i) {
      const bool ok = mean[i] < kPoissonThreshold ? search(mean[i], first[i], src, r[done + i])
                                                  : ptpe(poisson_hat(mean[i]), mean[i], src, r[done + i]);
      if (!ok) return src.status();
    }
  }
  return DRU_OK;
}

}  // namespace nrx::rng::dist

using namespace nrx::rng::dist;

extern "C" {

NRX_RNG_API int32_t druiRngPoisson(int32_t method, DruStream* stream, int32_t n, int32_t* r, double lambda) {
  return poisson(method, stream, n, r, lambda);
}
NRX_RNG_API int32_t druiRngPoissonV(int32_t method, DruStream* stream, int32_t n, int32_t* r, const double* lambda) {
  return poisson_v(method, stream, n, r, lambda);
}

}  // extern "C"
