// The binomial law: inversion through a table below a mean of 30 for the rarer
// outcome, BTPE at and above it; the setup lives in a stream chunk.
#include <algorithm>
#include <cmath>

#include "rng/dist/binomial.h"

namespace nrx::rng::dist {
namespace {

struct BinomialLaw {
  double n, r, q, top;
  // f(y)/f(m) as a product of the ratios f(i)/f(i - 1) = (n + 1 - i) r / (i q), one
  // division per 16 factors.
  double ratio(double m, double y) const {
    const double s = r / q, lo = std::min(m, y) + 1, hi = std::max(m, y);
    double f = 1, num = 1, den = 1;
    for (double i = lo; i <= hi; ++i) {
      num *= (n + 1 - i) * s;
      den *= i;
      if (int(i - lo) % 16 == 15) f *= num / den, num = den = 1;
    }
    f *= num / den;
    return m < y ? f : 1 / f;
  }
  // ln f(y)/f(m), by Stirling's series in differences that do not cancel.
  double log_ratio(double m, double y) const {
    const double x1 = y + 1, f1 = m + 1, z = n + 1 - m, w = n - y + 1;
    if (std::min(x1, w) < 16)
      return log_factorial(m) + log_factorial(n - m) - log_factorial(y) - log_factorial(n - y) +
             (y - m) * std::log(r / q);
    return (m + 0.5) * std::log(f1 / x1) + (n - m + 0.5) * std::log(z / w) + (y - m) * std::log(w * r / (x1 * q)) +
           stirling_tail(f1) + stirling_tail(z) - stirling_tail(x1) - stirling_tail(w);
  }
};

// The inversion table of the law, mirrored when p > 1/2: weights by f(k+1)/f(k).
uint32_t table_len(int32_t trials, double r) {
  const double mean = trials * r;
  return uint32_t(std::min<double>(trials, std::ceil(mean + 14 * std::sqrt(mean) + 20)) + 1);
}

void make_table(TableHead* t, const Key& key, int32_t trials, double p) {
  const double r = std::min(p, 1 - p), q = 1 - r;
  const int32_t len = int32_t(table_len(trials, r));
  auto* w = reinterpret_cast<double*>(t + 1);
  w[0] = 1;
  for (int32_t k = 0; k + 1 < len; ++k) w[k + 1] = w[k] * (double(trials - k) / (k + 1)) * (r / q);
  const bool mirror = p > 0.5;
  if (mirror) std::reverse(w, w + len);
  table_fill(t, key, mirror ? trials - len + 1 : 0, len, w);
}

struct HatSetup {
  TableHead head;  // len 0: the hat follows
  BinomialHat hat;
};

int32_t binomial(int32_t method, DruStream* s, int32_t n, int32_t* r, int32_t trials, double p) {
  if (bad_call(s, n, r) || method != DRU_RNG_BINOMIAL_BTPE || trials < 0 || !(p >= 0 && p <= 1))
    return DRU_E_BAD_ARGUMENT;
  if (trials == 0 || p == 0 || p == 1) {
    std::fill(r, r + n, p == 1 ? trials : 0);
    return DRU_OK;
  }
  Frame frame(nullptr);
  const double rare = std::min(p, 1 - p);
  const Key key{{double(trials), p, 0}};
  auto fits = [&](const void* d, uint32_t) { return static_cast<const TableHead*>(d)->key == key; };
  if (trials * rare < kBinomialThreshold) {
    const uint32_t len = table_len(trials, rare);
    auto* t =
        static_cast<const TableHead*>(setup_chunk(s, DRU_CHUNK_BINOMIAL, table_bytes(int32_t(len)), fits, [&](void* d) {
          make_table(static_cast<TableHead*>(d), key, trials, p);
        }));
    return t ? table_draw(s, t, n, r) : DRU_E_NO_MEMORY;
  }
  auto* setup = static_cast<const HatSetup*>(setup_chunk(s, DRU_CHUNK_BINOMIAL, sizeof(HatSetup), fits, [&](void* d) {
    auto* h = static_cast<HatSetup*>(d);
    h->head = TableHead{key, 0, 0};
    h->hat = binomial_hat(trials, rare);
  }));
  if (!setup) return DRU_E_NO_MEMORY;
  const BinomialHat& b = setup->hat;
  return p > 0.5 ? tpe_draw(s, b.hat, BinomialLaw{b.n, b.r, b.q, b.n}, n, r, trials, -1)
                 : tpe_draw(s, b.hat, BinomialLaw{b.n, b.r, b.q, b.n}, n, r, 0, 1);
}

}  // namespace

BinomialHat binomial_hat(int32_t trials, double r) {
  BinomialHat b{};
  b.n = trials;
  b.r = r;
  b.q = 1 - r;
  Tpe& h = b.hat;
  const double fm = b.n * r + r;
  h.m = std::floor(fm);
  h.var = b.n * r * b.q;
  // The published constants 2.195, 4.6, 0.134, 20.5 and 15.3, as floats.
  h.p1 = std::floor(double(2.195f) * std::sqrt(h.var) - double(4.6f) * b.q) + 0.5;
  h.c = double(0.134f) + double(20.5f) / (double(15.3f) + h.m);
  const double xl = h.m + 0.5 - h.p1, xr = h.m + 0.5 + h.p1;
  const double al = (fm - xl) / (fm - xl * r), ar = (xr - fm) / (xr * b.q);
  h.laml = al * (1 + al / 2);
  h.lamr = ar * (1 + ar / 2);
  tpe_areas(h);
  return b;
}

bool binomial_btpe(const BinomialHat& h, Uniforms& src, double& out) {
  return tpe_variate(h.hat, BinomialLaw{h.n, h.r, h.q, h.n}, src, out);
}

bool binomial_search(int32_t trials, double r, double first, Uniforms& src, int32_t& out) {
  const double s = r / (1 - r);
  for (;;) {
    double u;
    if (!src.next(u)) return false;
    double f = first;
    int32_t x = 0;
    while (u > f && x < trials) {
      u -= f;
      ++x;
      f *= (double(trials - x + 1) / x) * s;
    }
    // Rounding left u above the last probability: draw again rather than bias the top.
    if (u <= f) return out = x, true;
  }
}

}  // namespace nrx::rng::dist

using namespace nrx::rng::dist;

extern "C" NRX_RNG_API int32_t druiRngBinomial(int32_t method, DruStream* stream, int32_t n, int32_t* r, int32_t ntrial,
                                               double p) {
  return binomial(method, stream, n, r, ntrial, p);
}
