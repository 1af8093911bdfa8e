// The hypergeometric law (marked items in a sample drawn without replacement) by
// inversion of a table over the part of its support that carries probability; the
// table lives in a stream chunk until the parameters change.
#include <algorithm>
#include <cmath>
#include <vector>

#include "rng/dist/discrete.h"

namespace nrx::rng::dist {
namespace {

// Probabilities below 2^-66 of the mode's are left out of the table.
constexpr double kNegligible = 1.3552527156068805e-20;

// Weights f(x)/f(mode) over [lo, lo + size) for lot l, sample s, marked m.
int32_t weights(int32_t l, int32_t s, int32_t m, std::vector<double>& w) {
  const int64_t low = std::max<int64_t>(0, int64_t(s) + m - l), high = std::min(s, m);
  const int64_t mode =
      std::clamp<int64_t>(int64_t(std::floor((double(s) + 1) * (double(m) + 1) / (double(l) + 2))), low, high);
  // f(x + 1)/f(x) = (m - x)(s - x) / ((x + 1)(l - m - s + x + 1)).
  auto up = [&](int64_t x) {
    return (double(m - x) * double(s - x)) / (double(x + 1) * double(int64_t(l) - m - s + x + 1));
  };
  std::vector<double> right{1}, left;
  for (int64_t x = mode; x < high && right.back() > kNegligible; ++x) right.push_back(right.back() * up(x));
  double f = 1;
  for (int64_t x = mode; x > low && f > kNegligible; --x) left.push_back(f /= up(x - 1));
  w.assign(left.rbegin(), left.rend());
  w.insert(w.end(), right.begin(), right.end());
  return int32_t(mode - int64_t(left.size()));
}

int32_t hypergeometric(int32_t method, DruStream* st, int32_t n, int32_t* r, int32_t l, int32_t s, int32_t m) {
  if (bad_call(st, n, r) || method != DRU_RNG_HYPERGEOMETRIC_ICDF || l < 0 || s < 0 || m < 0 || s > l || m > l)
    return DRU_E_BAD_ARGUMENT;
  Frame frame(nullptr);
  const Key key{{double(l), double(s), double(m)}};
  auto* t = static_cast<const TableHead*>(find_setup(st, DRU_CHUNK_HYPERGEOMETRIC, [&](const void* d, uint32_t) {
    return static_cast<const TableHead*>(d)->key == key;
  }));
  if (!t) {
    std::vector<double> w;
    const int32_t lo = weights(l, s, m, w);
    const int32_t len = int32_t(w.size());
    t = static_cast<const TableHead*>(attach_setup(st, DRU_CHUNK_HYPERGEOMETRIC, table_bytes(len), [&](void* d) {
      auto* head = static_cast<TableHead*>(d);
      std::copy(w.begin(), w.end(), reinterpret_cast<double*>(head + 1));
      table_fill(head, key, lo, len, reinterpret_cast<double*>(head + 1));
    }));
    if (!t) return DRU_E_NO_MEMORY;
  }
  return table_draw(st, t, n, r);
}

}  // namespace
}  // namespace nrx::rng::dist

extern "C" NRX_RNG_API int32_t druiRngHypergeometric(int32_t method, DruStream* stream, int32_t n, int32_t* r,
                                                     int32_t l, int32_t s, int32_t m) {
  return nrx::rng::dist::hypergeometric(method, stream, n, r, l, s, m);
}
