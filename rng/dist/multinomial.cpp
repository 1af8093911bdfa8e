// The multinomial law by conditional binomials: category j takes a binomial share of
// the trials left with probability p[j] / (p[j] + ... + p[k-1]).
#include <algorithm>
#include <cfloat>
#include <cmath>

#include "rng/dist/binomial.h"

namespace nrx::rng::dist {
namespace {

// Probabilities may miss a sum of 1 by this many rounding steps per category.
constexpr double kSumSlack = 16 * DBL_EPSILON;

bool bad_probabilities(int32_t k, const double* p) {
  double sum = 0;
  for (int32_t j = 0; j < k; ++j) {
    if (!(p[j] >= 0 && p[j] <= 1)) return true;
    sum += p[j];
  }
  return !(std::fabs(sum - 1) <= kSumSlack * k);
}

// Per category: its conditional probability, ln(1 - min(c, 1 - c)), and the hat or
// the inversion's first probability for the last trial count.
struct Category {
  double c, log_q, first;
  int32_t trials;
  BinomialHat hat;
};

// One binomial variate of t trials with the category's probability (0 < c < 1).
bool share(int32_t t, Category& cat, Uniforms& src, int32_t& out) {
  const double rare = std::min(cat.c, 1 - cat.c);
  int32_t x;
  const bool search = t * rare < kBinomialThreshold;
  if (cat.trials != t) {
    if (search) cat.first = std::exp(t * cat.log_q);
    else cat.hat = binomial_hat(t, rare);
    cat.trials = t;
  }
  if (search) {
    if (!binomial_search(t, rare, cat.first, src, x)) return false;
  } else {
    double y;
    if (!binomial_btpe(cat.hat, src, y)) return false;
    x = int32_t(y);
  }
  out = cat.c > 0.5 ? t - x : x;
  return true;
}

int32_t multinomial(int32_t method, DruStream* s, int32_t n, int32_t* r, int32_t trials, int32_t k, const double* p) {
  if (bad_call(s, n, r) || method != DRU_RNG_MULTINOMIAL_BINOMIAL || trials < 0 || k < 1 || !p ||
      bad_probabilities(k, p) || int64_t(n) * k > INT32_MAX)
    return DRU_E_BAD_ARGUMENT;
  auto* cat = static_cast<Category*>(nrx_serv_allocate(sizeof(Category) * size_t(k), 128));
  if (!cat) return DRU_E_NO_MEMORY;
  // Suffix sums give each category's share of what the earlier ones leave.
  double rest = 0;
  for (int32_t j = k - 1; j >= 0; --j) {
    rest += p[j];
    cat[j].c = rest > 0 ? std::min(1.0, p[j] / rest) : 0;
    cat[j].trials = -1;
    cat[j].log_q = std::log1p(-std::min(cat[j].c, 1 - cat[j].c));
  }
  int32_t st = DRU_OK;
  {
    Frame frame(nullptr);
    Uniforms src(s);
    for (int32_t v = 0; v < n && st == DRU_OK; ++v) {
      int32_t* x = r + int64_t(v) * k;
      int32_t left = trials;
      for (int32_t j = 0; j + 1 < k; ++j) {
        x[j] = 0;
        if (left == 0 || cat[j].c == 0) continue;
        if (cat[j].c == 1) {
          x[j] = left;
        } else if (!share(left, cat[j], src, x[j])) {
          st = src.status();
          break;
        }
        left -= x[j];
      }
      x[k - 1] = left;
    }
  }
  nrx_serv_deallocate(cat);
  return st;
}

}  // namespace
}  // namespace nrx::rng::dist

extern "C" NRX_RNG_API int32_t druiRngMultinomial(int32_t method, DruStream* stream, int32_t n, int32_t* r,
                                                  int32_t ntrial, int32_t k, const double* p) {
  return nrx::rng::dist::multinomial(method, stream, n, r, ntrial, k, p);
}
