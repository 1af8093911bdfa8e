// Mean and covariance of data with missing entries: expectation-maximisation to
// the maximum-likelihood estimate, then data augmentation from it for each
// imputation set (conditional-normal imputations, normal-inverse-Wishart draws).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "common/buffer.h"
#include "common/core_calls.h"
#include "nrx/rng.h"
#include "nrx/stats.h"
#include "rng/dist/gaussian.h"
#include "stats/sub_task.h"
#include "stats/sym_matrix.h"
#include "stats/task.h"

namespace nrx::stats {
namespace {

constexpr uint64_t kMethodMissing = 0x10;
constexpr int32_t kNormalBatch = 1024;
constexpr uint32_t kSeed[2] = {0, 262144};
constexpr int kPacked = NRX_SS_MATRIX_PACKED_B;  // the upper triangle row by row

// A missing entry is a negative quiet NaN: the sign, exponent and quiet bits all set.
inline bool is_missing(double v) {
  uint64_t b;
  std::memcpy(&b, &v, 8);
  return (b & 0xFFF8000000000000ULL) == 0xFFF8000000000000ULL;
}
inline bool is_missing(float v) {
  uint32_t b;
  std::memcpy(&b, &v, 4);
  return (b & 0xFFC00000U) == 0xFFC00000U;
}

struct MissingParams {
  int64_t em_iterations, da_iterations, sets, missing;
  double accuracy;
};

template <class T> MissingParams missing_params(const T* v) {
  MissingParams mp;
  const double em = std::trunc(double(v[0])), da = std::trunc(double(v[1]));
  mp.em_iterations = em > 0 ? int64_t(std::min(em, 1e15)) : 50;
  mp.da_iterations = da > 0 ? int64_t(std::min(da, 1e15)) : 30;
  mp.accuracy = double(v[2]) > 0 ? double(v[2]) : 0.001;
  mp.sets = int64_t(std::max(-1.0, std::min(std::trunc(double(v[3])), 1e15)));
  mp.missing = int64_t(std::max(-1.0, std::min(std::trunc(double(v[4])), 1e15)));
  return mp;
}

// Standard normals from the estimator's own stream, drawn in batches.
template <class T> class Normals {
 public:
  explicit Normals(DruStream* s) : s_(s) {}
  int32_t fill(T* out, int64_t k) {
    for (int64_t i = 0; i < k; ++i) {
      if (pos_ == kNormalBatch) {
        if (int32_t st = rng::dist::gaussian<T>(DRU_RNG_GAUSSIAN_BOX_MULLER2, s_, kNormalBatch, buf_, T(0), T(1)))
          return st;
        pos_ = 0;
      }
      out[i] = buf_[pos_++];
    }
    return 0;
  }
  int32_t chi_square(double v, T* out) {
    if constexpr (sizeof(T) == 8) return drudRngGamma(DRU_RNG_GAMMA_MARSAGLIA_TSANG, s_, 1, out, 0.5 * v, 0.0, 2.0);
    else return drusRngGamma(DRU_RNG_GAMMA_MARSAGLIA_TSANG, s_, 1, out, float(0.5 * v), 0.0f, 2.0f);
  }

 private:
  DruStream* s_;
  T buf_[kNormalBatch];
  int32_t pos_ = kNormalBatch;
};

class OwnStream {
 public:
  OwnStream() { status_ = _druNewStreamEx(&s_, DRU_BRNG_MCG59, 2, kSeed); }
  ~OwnStream() {
    if (s_) _druDeleteStream(&s_);
  }
  OwnStream(const OwnStream&) = delete;
  OwnStream& operator=(const OwnStream&) = delete;
  DruStream* get() const { return s_; }
  int32_t status() const { return status_; }

 private:
  DruStream* s_ = nullptr;
  int32_t status_ = 0;
};

// The incomplete observations, shifted by the centre and grouped by their pattern of missing
// components; z holds them row after row with the missing slots filled by the current imputation.
template <class T> struct Incomplete {
  int64_t p = 0, rows = 0, groups = 0;
  T* z = nullptr;
  const uint8_t* mask = nullptr;   // rows x p, 1 where missing
  const int64_t* start = nullptr;  // groups + 1 row offsets
};

// Conditional law of the missing components of one pattern given the observed ones:
// mean mu_M + B (z_O - mu_O), covariance C = S_MM - B S_OM, its lower Cholesky factor L.
template <class T> struct Conditional {
  int64_t p;
  T *soo, *smo, *b, *c, *l;
  int32_t *obs, *mis;
  int32_t no = 0, nm = 0;

  int32_t build(const uint8_t* mask, const T* sigma, bool factor) {
    using Core = common::Core<T>;
    no = nm = 0;
    for (int32_t j = 0; j < p; ++j) (mask[j] ? mis[nm++] : obs[no++]) = j;
    for (int32_t a = 0; a < nm; ++a)
      for (int32_t e = 0; e < nm; ++e) c[a + e * nm] = sigma[mis[a] + mis[e] * p];
    if (no > 0) {
      for (int32_t a = 0; a < no; ++a)
        for (int32_t e = 0; e < no; ++e) soo[a + e * no] = sigma[obs[a] + obs[e] * p];
      for (int32_t a = 0; a < nm; ++a)
        for (int32_t e = 0; e < no; ++e) smo[a + e * nm] = sigma[mis[a] + obs[e] * p];
      if (Core::potrf("L", no, soo, no) || Core::potri("L", no, soo, no)) return NRX_SS_STATUS_RANK_DEFICIENT;
      mirror_lower(no, soo);
      Core::gemm("N", "N", nm, no, no, T(1), smo, nm, soo, no, T(0), b, nm);
      Core::gemm("N", "T", nm, nm, no, T(-1), b, nm, smo, nm, T(1), c, nm);
    }
    if (!factor) return 0;
    std::memcpy(l, c, sizeof(T) * size_t(nm * nm));
    if (Core::potrf("L", nm, l, nm)) return NRX_SS_STATUS_RANK_DEFICIENT;
    return 0;
  }

  // Conditional mean of one row into its missing slots.
  void impute(T* row, const T* mu) const {
    for (int32_t a = 0; a < nm; ++a) {
      T s = mu[mis[a]];
      for (int32_t e = 0; e < no; ++e) s += b[a + e * nm] * (row[obs[e]] - mu[obs[e]]);
      row[mis[a]] = s;
    }
  }

  // Adds L e to the missing slots (e: nm standard normals).
  void perturb(T* row, const T* e) const {
    for (int32_t a = 0; a < nm; ++a) {
      T s = 0;
      for (int32_t k = 0; k <= a; ++k) s += l[a + k * nm] * e[k];
      row[mis[a]] += s;
    }
  }
};

template <class T> struct Estimator {
  int64_t p, n;
  Incomplete<T> inc;
  SubTask<T>* completed;  // all n rows: the incomplete ones first, then the complete ones
  const nrx_threading* th;
  T *mu, *sigma, *extra, *old, *e, *f;
  Conditional<T> cond;

  // One pass of the imputation `row_fn` over the groups, then the mean and covariance (divisor
  // n - 1) of the completed data into mu and sigma by the basic statistics; the E-step sums each
  // group's conditional covariance into extra.
  template <class RowFn> int32_t pass(bool estep, RowFn&& row_fn) {
    std::fill(extra, extra + p * p, T(0));
    for (int64_t g = 0; g < inc.groups; ++g) {
      const int64_t r0 = inc.start[g], r1 = inc.start[g + 1];
      if (int32_t st = cond.build(inc.mask + r0 * p, sigma, !estep)) return st;
      for (int64_t r = r0; r < r1; ++r)
        if (int32_t st = row_fn(inc.z + r * p)) return st;
      if (estep)
        for (int32_t a = 0; a < cond.nm; ++a)
          for (int32_t k = 0; k < cond.nm; ++k)
            extra[cond.mis[a] + cond.mis[k] * p] += T(r1 - r0) * cond.c[a + k * cond.nm];
    }
    return completed->mean_cov(mu, sigma, th);
  }

  // Largest change of the mean (in standard deviations) and of the covariance (in units of
  // sqrt(s_jj s_kk)) since `old` (mean then full covariance).
  double change() const {
    double d = 0;
    for (int64_t j = 0; j < p; ++j) {
      const double sd = std::sqrt(double(sigma[j + j * p]));
      d = std::max(d, std::fabs(double(mu[j] - old[j])) / sd);
      for (int64_t k = 0; k <= j; ++k)
        d = std::max(
            d, std::fabs(double(sigma[j + k * p] - old[p + j + k * p])) / (sd * std::sqrt(double(sigma[k + k * p]))));
    }
    return d;
  }

  int32_t em(int64_t iterations, double accuracy) {
    for (int64_t it = 0; it < iterations; ++it) {
      std::memcpy(old, mu, sizeof(T) * size_t(p));
      std::memcpy(old + p, sigma, sizeof(T) * size_t(p * p));
      if (int32_t st = pass(true, [&](T* row) {
            cond.impute(row, old);
            return 0;
          }))
        return st;
      const T inv_n = T(1) / T(n), ml = T(n - 1) * inv_n;
      for (int64_t k = 0; k < p * p; ++k) sigma[k] = sigma[k] * ml + extra[k] * inv_n;
      if (!(change() >= accuracy)) break;
    }
    return 0;
  }

  // One data-augmentation step. I-step: the missing entries drawn from their conditional laws.
  // P-step under the noninformative prior: Sigma^-1 ~ Wishart(n - 1, S^-1) by Bartlett's lower
  // factor A, i.e. Sigma = (A^-1 R)' (A^-1 R) with S = R' R the centred cross-product, then
  // mu ~ N(ybar, Sigma / n).
  int32_t augment(Normals<T>& normals) {
    using Core = common::Core<T>;
    const int32_t q = int32_t(p);
    // pass() leaves the completed data's mean (ybar) in mu and S / (n - 1) in sigma.
    int32_t st = pass(false, [&](T* row) {
      cond.impute(row, mu);
      if (int32_t s = normals.fill(e, cond.nm)) return s;
      cond.perturb(row, e);
      return 0;
    });
    if (st) return st;
    T* r = old;  // R, upper; then A^-1 R
    T* a = old + p * p;
    std::fill(r, r + p * p, T(0));
    for (int64_t k = 0; k < p; ++k)
      for (int64_t j = k; j < p; ++j) r[k + j * p] = sigma[j + k * p] * T(n - 1);
    if (Core::potrf("U", q, r, q)) return NRX_SS_STATUS_RANK_DEFICIENT;
    std::fill(a, a + p * p, T(0));
    for (int64_t k = 0; k < p; ++k) {
      if ((st = normals.fill(a + k * p + k + 1, p - k - 1))) return st;
      T chi2;
      if ((st = normals.chi_square(double(n - 1 - k), &chi2))) return st;
      a[k + k * p] = std::sqrt(chi2);
    }
    if (Core::trtri("L", q, a, q)) return NRX_SS_STATUS_RANK_DEFICIENT;
    Core::trmm("L", "N", q, q, a, q, r, q);
    Core::syrk("L", "T", q, q, T(1), r, q, T(0), sigma, q);
    mirror_lower(p, sigma);
    std::memcpy(f, sigma, sizeof(T) * size_t(p * p));
    if (Core::potrf("L", q, f, q)) return NRX_SS_STATUS_RANK_DEFICIENT;
    for (int64_t k = 0; k < p; ++k)
      for (int64_t j = 0; j < k; ++j) f[j + k * p] = T(0);
    if ((st = normals.fill(e, p))) return st;
    Core::gemv("N", q, q, T(1) / std::sqrt(T(n)), f, q, e, T(1), mu);
    return 0;
  }
};

template <class T> int32_t missing_values(NrxSSTask* t, uint64_t, uint64_t method, const nrx_threading* th) {
  if (!t) return NRX_SS_STATUS_NULL_TASK;
  const int64_t p = t->dimension ? read_int(t, t->dimension) : 0;
  if (p < 1) return NRX_SS_STATUS_BAD_DIMENSION;
  const int64_t n = t->observations ? read_int(t, t->observations) : 0;
  if (n <= p) return NRX_SS_STATUS_BAD_OBSERVATIONS;
  if (!t->data_layout || !valid_layout(read_int(t, t->data_layout))) return NRX_SS_STATUS_BAD_STORAGE;
  if (!t->missing_parameters) return NRX_SS_STATUS_NULL_MISSING_PARAMETERS;
  if (!t->missing_parameter_count) return NRX_SS_STATUS_NULL_MISSING_PARAMETER_COUNT;
  if (read_int(t, t->missing_parameter_count) != 5) return NRX_SS_STATUS_BAD_MISSING_PARAMETER_COUNT;
  if (t->simulated_values && !t->simulated_count) return NRX_SS_STATUS_NULL_SIMULATED_COUNT;
  if (!t->simulated_values && t->simulated_count) return NRX_SS_STATUS_NULL_SIMULATED_VALUES;
  const bool want_sim = t->simulated_values != nullptr;
  const bool want_est = t->estimates && t->estimate_count;
  if (!want_sim && !want_est) return NRX_SS_STATUS_NO_MISSING_RESULTS;
  if (!(method & kMethodMissing)) return NRX_SS_STATUS_BAD_METHOD;
  if (!t->data) return NRX_SS_STATUS_NULL_DATA;

  const int64_t layout = read_int(t, t->data_layout);
  const T* x = static_cast<const T*>(t->data);
  const int64_t rs = layout == NRX_SS_STORAGE_ROWS ? n : 1, os = layout == NRX_SS_STORAGE_ROWS ? 1 : p;
  const MissingParams mp = missing_params(static_cast<const T*>(t->missing_parameters));
  common::Buffer<uint8_t> mask(size_t(n * p));
  if (!mask) return NRX_SS_STATUS_NO_MEMORY;
  int64_t missing = 0, rows = 0;
  for (int64_t i = 0; i < n; ++i) {
    int64_t in_row = 0;
    for (int64_t j = 0; j < p; ++j) in_row += mask[size_t(i * p + j)] = is_missing(x[j * rs + i * os]);
    missing += in_row;
    rows += in_row > 0;
  }
  if (missing != mp.missing) return NRX_SS_STATUS_BAD_MISSING_VALUE_COUNT;
  if (mp.sets <= 0 || mp.missing <= 0) return NRX_SS_STATUS_BAD_MISSING_COUNTS;
  const int64_t per_set = p * (p + 3) / 2;
  // Products in double: exact below 2^53 and free of overflow for absurd parameters.
  if (want_est && double(read_int(t, t->estimate_count)) != double(mp.sets) * double(mp.missing))
    return NRX_SS_STATUS_BAD_ESTIMATE_COUNT;
  if (want_sim &&
      double(read_int(t, t->simulated_count)) != double(mp.sets) * double(mp.da_iterations) * double(per_set))
    return NRX_SS_STATUS_BAD_SIMULATED_COUNT;
  const bool has_initial =
      t->initial_estimates && t->initial_estimate_count && read_int(t, t->initial_estimate_count) == per_set;

  // Work: centre, mean, covariance, conditional covariances (2 p + 2 p^2), old estimate (p + 2 p^2),
  // normals (p), factor (p^2), the conditional's four matrices (4 p^2), the completed data (n p) and
  // the EM estimate (p + p^2).
  common::Buffer<T> work(size_t(5 * p + 10 * p * p + n * p));
  common::Buffer<int64_t> order(size_t(2 * rows + 1 + missing + n));
  common::Buffer<uint8_t> gmask(size_t(rows * p));
  common::Buffer<int32_t> idx(size_t(2 * p));
  if (!work || !order || !gmask || !idx) return NRX_SS_STATUS_NO_MEMORY;
  T* centre = work.get();
  Estimator<T> es;
  es.p = p;
  es.n = n;
  es.th = th;
  es.mu = centre + p;
  es.sigma = es.mu + p;
  es.extra = es.sigma + p * p;
  es.old = es.extra + p * p;
  es.e = es.old + p + 2 * p * p;
  es.f = es.e + p;
  Conditional<T>& c = es.cond;
  c.p = p;
  c.soo = es.f + p * p;
  c.smo = c.soo + p * p;
  c.b = c.smo + p * p;
  c.c = c.b + p * p;
  c.l = es.old + p;  // the old estimate is not needed while the I-step factors
  c.obs = idx.get();
  c.mis = idx.get() + p;
  T* z = c.c + p * p;
  T* em_mu = z + n * p;
  T* em_sigma = em_mu + p;
  SubTask<T> completed(p, n, NRX_SS_STORAGE_COLUMNS, z);
  if (completed.status()) return completed.status();
  es.completed = &completed;
  int64_t* sorted = order.get();
  int64_t* start = sorted + rows;
  int64_t* slot = start + rows + 1;
  int64_t* row_pos = slot + missing;

  // Centre: the observed mean of each component, so that sums of squares keep their digits.
  for (int64_t j = 0; j < p; ++j) {
    double s = 0;
    int64_t k = 0;
    for (int64_t i = 0; i < n; ++i)
      if (!mask[size_t(i * p + j)]) s += double(x[j * rs + i * os]), ++k;
    centre[j] = k ? T(s / double(k)) : T(0);
  }

  // Incomplete rows grouped by pattern at the top of z, the complete ones below them.
  int64_t r = 0, below = rows;
  for (int64_t i = 0; i < n; ++i) {
    const uint8_t* m = mask.get() + i * p;
    if (std::find(m, m + p, uint8_t(1)) != m + p) {
      sorted[r++] = i;
      continue;
    }
    for (int64_t j = 0; j < p; ++j) z[below * p + j] = x[j * rs + i * os] - centre[j];
    ++below;
  }
  const uint8_t* mk = mask.get();
  std::stable_sort(sorted, sorted + rows,
                   [&](int64_t u, int64_t v) { return std::memcmp(mk + u * p, mk + v * p, size_t(p)) < 0; });
  int64_t groups = 0;
  for (int64_t k = 0; k < rows; ++k) {
    const int64_t i = sorted[k];
    std::memcpy(gmask.get() + k * p, mk + i * p, size_t(p));
    if (k == 0 || std::memcmp(mk + i * p, mk + sorted[k - 1] * p, size_t(p))) start[groups++] = k;
    for (int64_t j = 0; j < p; ++j) z[k * p + j] = mk[i * p + j] ? T(0) : x[j * rs + i * os] - centre[j];
  }
  start[groups] = rows;
  es.inc = Incomplete<T>{p, rows, groups, z, gmask.get(), start};
  // Slot in z of each missing entry, in the order of the data array.
  for (int64_t k = 0; k < rows; ++k) row_pos[sorted[k]] = k;
  const bool by_rows = layout == NRX_SS_STORAGE_ROWS;
  for (int64_t a = 0, m = 0; a < (by_rows ? p : n); ++a)
    for (int64_t b = 0; b < (by_rows ? n : p); ++b) {
      const int64_t i = by_rows ? b : a, j = by_rows ? a : b;
      if (mk[i * p + j]) slot[m++] = row_pos[i] * p + j;
    }

  // Start: the initial estimates, or the observed means and variances.
  if (has_initial) {
    const T* init = static_cast<const T*>(t->initial_estimates);
    for (int64_t j = 0; j < p; ++j) es.mu[j] = init[j] - centre[j];
    unpack_sym(kPacked, p, init + p, es.sigma);
  } else {
    std::fill(es.mu, es.mu + p, T(0));
    std::fill(es.sigma, es.sigma + p * p, T(0));
    for (int64_t j = 0; j < p; ++j) {
      double s = 0;
      int64_t k = 0;
      for (int64_t i = 0; i < n; ++i)
        if (!mk[i * p + j]) {
          const double d = double(x[j * rs + i * os] - centre[j]);
          s += d * d, ++k;
        }
      // A component seen fewer than twice starts at unit variance.
      es.sigma[j + j * p] = k > 1 && s > 0 ? T(s / double(k)) : T(1);
    }
  }
  OwnStream stream;
  if (stream.status()) return stream.status();
  int32_t st = es.em(mp.em_iterations, mp.accuracy);
  if (st) return st;
  std::memcpy(em_mu, es.mu, sizeof(T) * size_t(p));
  std::memcpy(em_sigma, es.sigma, sizeof(T) * size_t(p * p));
  Normals<T> normals(stream.get());
  T* sim = static_cast<T*>(t->simulated_values);
  T* est = static_cast<T*>(t->estimates);
  // Each set is a chain of its own from the EM estimate; the stream runs on from set to set.
  for (int64_t set = 0; set < mp.sets; ++set) {
    std::memcpy(es.mu, em_mu, sizeof(T) * size_t(p));
    std::memcpy(es.sigma, em_sigma, sizeof(T) * size_t(p * p));
    for (int64_t it = 0; it < mp.da_iterations; ++it) {
      if ((st = es.augment(normals))) return st;
      if (!want_sim) continue;
      T* out = sim + (set * mp.da_iterations + it) * per_set;
      for (int64_t j = 0; j < p; ++j) out[j] = es.mu[j] + centre[j];
      pack_sym_lower(kPacked, p, es.sigma, out + p);
    }
    if (want_est)
      for (int64_t m = 0; m < missing; ++m) est[set * missing + m] = z[slot[m]] + centre[slot[m] % p];
  }
  return NRX_SS_STATUS_OK;
}

}  // namespace
}  // namespace nrx::stats

NRX_SS_ENTRIES(MissingValues, nrx::stats::missing_values)
