// Running state of the basic statistics for one set of observations (a block, a thread's
// part, the task's earlier calls), kept in double: weight sums, mean, raw power sums,
// central sums and the cross-product, with the pairwise merge of two such sets.
#pragma once
#include <cmath>
#include <cstdint>
#include <cstring>

namespace nrx::stats {

// What a data pass accumulates.
struct Plan {
  uint32_t need = 0;      // estimate indices to compute and write
  int raw_order = 1;      // raw power sums of order 1..raw_order
  int central_order = 0;  // central sums of order 2..central_order (one-pass family)
  bool cross = false;     // cross-product matrix
  bool fast = false;      // method 0x1
  bool shifted = false;   // method 0x100
};

struct Acc {
  double W0 = 0, W1 = 0;
  double* M = nullptr;  // mean, relative to the pass's reference values
  double* R[4] = {};    // sum of w x^k
  double* S[3] = {};    // sum of w (x - mean)^k, k = 2, 3, 4
  double* P = nullptr;  // p x p, upper triangle P[r p + s], r <= s
  double* D = nullptr;  // scratch for the mean differences of a merge

  static int64_t doubles(int64_t p) { return 9 * p + p * p; }
  void bind(double* buf, int64_t p) {
    M = buf;
    for (int k = 0; k < 4; ++k) R[k] = buf + (1 + k) * p;
    for (int k = 0; k < 3; ++k) S[k] = buf + (5 + k) * p;
    D = buf + 8 * p;
    P = buf + 9 * p;
  }
  void clear(int64_t p) {
    W0 = W1 = 0;
    std::memset(M, 0, sizeof(double) * doubles(p));
  }
};

// a := a + b. Central sums follow the pairwise formulas for weighted sets; the
// cross-product gains f (mb - ma)(mb - ma)^T with f = Wa Wb / (Wa + Wb).
inline void merge(Acc& a, const Acc& b, const Plan& plan, int64_t p) {
  if (b.W0 == 0) return;
  if (a.W0 == 0) {
    a.W0 = b.W0;
    a.W1 = b.W1;
    std::memcpy(a.M, b.M, sizeof(double) * p);
    for (int k = 0; k < plan.raw_order; ++k) std::memcpy(a.R[k], b.R[k], sizeof(double) * p);
    for (int k = 0; k + 2 <= plan.central_order; ++k) std::memcpy(a.S[k], b.S[k], sizeof(double) * p);
    if (plan.cross) std::memcpy(a.P, b.P, sizeof(double) * p * p);
    return;
  }
  const double na = a.W0, nb = b.W0, W = na + nb;
  const double fb = nb / W, f = na * nb / W;
  for (int64_t j = 0; j < p; ++j) {
    const double d = b.M[j] - a.M[j];
    a.D[j] = d;
    if (plan.central_order >= 4) {
      a.S[2][j] += b.S[2][j] + d * d * d * d * f * (na * na - na * nb + nb * nb) / (W * W) +
                   6 * d * d * (na * na * b.S[0][j] + nb * nb * a.S[0][j]) / (W * W) +
                   4 * d * (na * b.S[1][j] - nb * a.S[1][j]) / W;
    }
    if (plan.central_order >= 3)
      a.S[1][j] += b.S[1][j] + d * d * d * f * (na - nb) / W + 3 * d * (na * b.S[0][j] - nb * a.S[0][j]) / W;
    if (plan.central_order >= 2) a.S[0][j] += b.S[0][j] + d * d * f;
    // An infinite mean on either side: the weighted average, not a + (b - a) f.
    a.M[j] = std::isfinite(d) ? a.M[j] + d * fb : a.M[j] * (na / W) + b.M[j] * fb;
    for (int k = 0; k < plan.raw_order; ++k) a.R[k][j] += b.R[k][j];
  }
  if (plan.cross)
    for (int64_t r = 0; r < p; ++r)
      for (int64_t s = r; s < p; ++s) a.P[r * p + s] += b.P[r * p + s] + f * a.D[r] * a.D[s];
  a.W0 = W;
  a.W1 += b.W1;
}

}  // namespace nrx::stats
