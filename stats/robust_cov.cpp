// Robust mean and covariance: an S-estimator with the translated biweight,
// tuned at the Gaussian model through the chi-square distribution functions.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "common/buffer.h"
#include "nrx/stats.h"
#include "stats/numeric.h"
#include "stats/sub_task.h"
#include "stats/sym_matrix.h"
#include "stats/task.h"

namespace nrx::stats {
namespace {

constexpr uint64_t kMethodRobust = 0x8;
constexpr double kTuneTolerance = 1e-4;            // the constants' solver stops below this change
constexpr double kMadToSigma = 1.482602218505602;  // 1 / Phi^-1(3/4)
constexpr int kSimpsonIntervals = 256;
constexpr int kConcentrationSteps = 10;

// Translated biweight: weight 1 up to M, (1 - ((d - M) / c)^2)^2 up to M + c, 0 beyond.
struct Biweight {
  double M, c;
  double weight(double d) const {
    if (d < M) return 1.0;
    if (d >= M + c) return 0.0;
    const double t = (d - M) / c, u = 1.0 - t * t;
    return u * u;
  }
  // rho(d) = integral of u weight(u) from 0 to d.
  double rho(double d) const {
    if (d < M) return 0.5 * d * d;
    const double t = std::min(1.0, (d - M) / c), t2 = t * t;
    return 0.5 * M * M + c * M * t * (1.0 - 2.0 * t2 / 3.0 + t2 * t2 / 5.0) +
           c * c * t2 * (0.5 - t2 / 2.0 + t2 * t2 / 6.0);
  }
  double rho_max() const { return 0.5 * M * M + c * (5.0 * c + 16.0 * M) / 30.0; }
};

// E[rho(d)] for d^2 chi-square with p degrees of freedom.
double expected_rho(const Biweight& b, int32_t p) {
  const double m2 = b.M * b.M, e2 = (b.M + b.c) * (b.M + b.c);
  double e = 0.5 * p * chi2_cdf(p + 2, m2) + b.rho_max() * (1.0 - chi2_cdf(p, e2));
  const double h = (e2 - m2) / kSimpsonIntervals;
  double s = 0.0;
  for (int i = 0; i <= kSimpsonIntervals; ++i) {
    const double x = m2 + i * h;
    const double f = b.rho(std::sqrt(x)) * _drudChi2PDF(p, x);
    s += f * (i == 0 || i == kSimpsonIntervals ? 1.0 : (i % 2 ? 4.0 : 2.0));
  }
  return e + s * h / 3.0;
}

// M and c with M + c the radius of rejection probability arp and rho's mean over its maximum the
// breakdown point; when no M reaches it the nearer end is taken.
Biweight tune(int32_t p, double breakdown, double arp, double* b0) {
  const double radius = std::sqrt(chi2_icdf(p, 1.0 - arp));
  auto gap = [&](double M) {
    const Biweight b{M, radius - M};
    return expected_rho(b, p) / b.rho_max() - breakdown;
  };
  double lo = 0.0, hi = radius * (1.0 - 1e-9);
  double glo = gap(lo), ghi = gap(hi);
  double M;
  if ((glo > 0) == (ghi > 0)) {
    M = std::fabs(glo) <= std::fabs(ghi) ? lo : hi;
  } else {
    while (hi - lo > kTuneTolerance) {
      const double mid = 0.5 * (lo + hi), g = gap(mid);
      if ((g > 0) == (glo > 0)) lo = mid, glo = g;
      else hi = mid;
    }
    M = 0.5 * (lo + hi);
  }
  const Biweight b{M, radius - M};
  *b0 = expected_rho(b, p);
  return b;
}

// The scale s with mean rho(d_i / s) = b0 (mean rho falls as s grows): Newton steps on s, whose
// derivative is -mean(weight(u) u^2) / s with u = d / s, kept inside a bracket that bisects otherwise.
template <class T> double m_scale(const Biweight& b, const T* d, int64_t n, double b0) {
  auto eval = [&](double s, double* slope) {
    double acc = 0.0, der = 0.0;
    for (int64_t i = 0; i < n; ++i) {
      const double u = double(d[i]) / s;
      acc += b.rho(u);
      der += b.weight(u) * u * u;
    }
    *slope = -der / (double(n) * s);
    return acc / double(n) - b0;
  };
  double slope, lo = 1.0, hi = 1.0;
  while (eval(lo, &slope) < 0.0 && lo > 1e-300) lo *= 0.5;
  while (eval(hi, &slope) > 0.0 && hi < 1e300) hi *= 2.0;
  double s = 0.5 * (lo + hi);
  for (int it = 0; it < 100 && hi - lo > 1e-12 * hi; ++it) {
    const double g = eval(s, &slope);
    if (g == 0.0) return s;
    if (g > 0.0) lo = s;
    else hi = s;
    const double next = slope < 0.0 ? s - g / slope : 0.5 * (lo + hi);
    if (std::fabs(next - s) <= 1e-12 * s) return next;
    s = next > lo && next < hi ? next : 0.5 * (lo + hi);
  }
  return s;
}

struct RobustParams {
  double breakdown, arp = 0.001, accuracy = 0.001;
  int64_t max_iter = 100;
};

template <class T> RobustParams robust_params(const NrxSSTask* t, int64_t p, int64_t n) {
  RobustParams rp;
  rp.breakdown = double(n - p) / double(2 * n);
  if (!t->robust_parameter_count || !t->robust_parameters || read_int(t, t->robust_parameter_count) != 4) return rp;
  const T* v = static_cast<const T*>(t->robust_parameters);
  if (double(v[0]) > 0.0) rp.breakdown = std::min(double(v[0]), rp.breakdown);
  if (v[1] > T(0) && v[1] < T(1)) rp.arp = double(v[1]);
  if (v[2] > T(0)) rp.accuracy = double(v[2]);
  const double it = std::trunc(double(v[3]));
  if (it >= 0.0) rp.max_iter = int64_t(it);
  return rp;
}

template <class T> int32_t robust_covariance(NrxSSTask* t, uint64_t, uint64_t method, const nrx_threading* th) {
  if (!t) return NRX_SS_STATUS_NULL_TASK;
  const int64_t p = t->dimension ? read_int(t, t->dimension) : 0;
  if (p < 1) return NRX_SS_STATUS_BAD_DIMENSION;
  const int64_t n = t->observations ? read_int(t, t->observations) : 0;
  if (n <= 2 * p) return NRX_SS_STATUS_BAD_OBSERVATIONS;
  if (!t->data_layout) return NRX_SS_STATUS_NULL_STORAGE;
  const int64_t layout = read_int(t, t->data_layout);
  if (!valid_layout(layout)) return NRX_SS_STATUS_BAD_STORAGE;
  if (!t->robust_mean) return NRX_SS_STATUS_NULL_ROBUST_MEAN;
  if (!t->robust_covariance) return NRX_SS_STATUS_NULL_ROBUST_COVARIANCE;
  if (!t->robust_covariance_storage) return NRX_SS_STATUS_NULL_STORAGE;
  const int64_t code = read_int(t, t->robust_covariance_storage);
  if (code < 0 || code > 2) return NRX_SS_STATUS_BAD_STORAGE;
  if (!(method & kMethodRobust)) return NRX_SS_STATUS_BAD_METHOD;
  if (!t->data) return NRX_SS_STATUS_NULL_DATA;
  const RobustParams rp = robust_params<T>(t, p, n);
  double b0 = 0.0;
  const Biweight bw = tune(int32_t(p), rp.breakdown, rp.arp, &b0);

  const T* x = static_cast<const T*>(t->data);
  const int64_t rs = layout == NRX_SS_STORAGE_ROWS ? n : 1, os = layout == NRX_SS_STORAGE_ROWS ? 1 : p;
  // Work: mean, next mean, covariance, its inverse (p + p + 2 p^2), distances and weights (2 n), gathered
  // data (n p, also the absolute deviations at the start).
  common::Buffer<T> work(size_t(2 * p + 2 * p * p + 2 * n + n * p));
  if (!work) return NRX_SS_STATUS_NO_MEMORY;
  T* mu = work.get();
  T* mu_next = mu + p;
  T* cov = mu_next + p;
  T* inv = cov + p * p;
  T* dist = inv + p * p;
  T* wts = dist + n;
  T* gathered = wts + n;
  SubTask<T> all(p, n, layout, x);
  SubTask<T> dev(p, n, NRX_SS_STORAGE_ROWS, gathered);
  SubTask<T> part(p, n, NRX_SS_STORAGE_COLUMNS, gathered);
  if (all.status() || dev.status() || part.status()) return NRX_SS_STATUS_NO_MEMORY;
  int32_t st;

  // Start: componentwise median and scaled median absolute deviation.
  const T half = T(0.5);
  if ((st = all.quantile(&half, mu, th))) return st;
  for (int64_t j = 0; j < p; ++j)
    for (int64_t i = 0; i < n; ++i) gathered[j * n + i] = std::fabs(x[j * rs + i * os] - mu[j]);
  if ((st = dev.quantile(&half, mu_next, th))) return st;
  std::fill(cov, cov + p * p, T(0));
  for (int64_t j = 0; j < p; ++j) cov[j + j * p] = T(kMadToSigma * kMadToSigma) * mu_next[j] * mu_next[j];

  // Concentration steps: mean and covariance of the half nearest under the current estimate pull a
  // start that heavy contamination has dragged back to the majority.
  const int64_t h = (n + p + 1) / 2;
  for (int c = 0; c < kConcentrationSteps; ++c) {
    std::memcpy(inv, cov, sizeof(T) * size_t(p * p));
    if ((st = SubTask<T>::invert(p, inv))) return st;
    if ((st = all.distances(mu, inv, dist))) return st;
    std::memcpy(wts, dist, sizeof(T) * size_t(n));
    std::nth_element(wts, wts + (h - 1), wts + n);
    const T limit = wts[h - 1];
    int64_t r = 0;
    for (int64_t i = 0; i < n && r < h; ++i) {
      if (!(dist[i] <= limit)) continue;
      for (int64_t j = 0; j < p; ++j) gathered[r * p + j] = x[j * rs + i * os];
      ++r;
    }
    part.set_observations(r);
    part.set_weights(nullptr);
    if ((st = part.mean_cov(mu, cov, th))) return st;
  }

  for (int64_t it = 0; it <= rp.max_iter; ++it) {
    std::memcpy(inv, cov, sizeof(T) * size_t(p * p));
    if ((st = SubTask<T>::invert(p, inv))) return st;
    if ((st = all.distances(mu, inv, dist))) return st;
    // Scale the covariance so that the M-scale of the distances is 1.
    const double s = m_scale(bw, dist, n, b0);
    for (int64_t k = 0; k < p * p; ++k) cov[k] = T(double(cov[k]) * s * s);
    if (it == rp.max_iter) break;
    int64_t r = 0;
    for (int64_t i = 0; i < n; ++i) {
      const double w = bw.weight(double(dist[i]) / s);
      if (w <= 0.0) continue;
      wts[r] = T(w);
      for (int64_t j = 0; j < p; ++j) gathered[r * p + j] = x[j * rs + i * os];
      ++r;
    }
    if (r <= p) return NRX_SS_STATUS_RANK_DEFICIENT;
    part.set_observations(r);
    part.set_weights(wts);
    std::memcpy(inv, cov, sizeof(T) * size_t(p * p));
    if ((st = part.mean_cov(mu_next, cov, th))) return st;
    // Relative change of the location (in units of the scale) and of the scatter.
    double dm = 0.0, dc = 0.0, cmax = 0.0;
    for (int64_t j = 0; j < p; ++j)
      dm = std::max(dm, std::fabs(double(mu_next[j] - mu[j])) / std::sqrt(double(inv[j + j * p])));
    // The weighted covariance is compared after its own rescaling on the next pass; here its shape.
    const double tr_old = [&] {
      double a = 0;
      for (int64_t j = 0; j < p; ++j) a += inv[j + j * p];
      return a;
    }();
    const double tr_new = [&] {
      double a = 0;
      for (int64_t j = 0; j < p; ++j) a += cov[j + j * p];
      return a;
    }();
    for (int64_t k = 0; k < p * p; ++k) {
      dc = std::max(dc, std::fabs(double(cov[k]) / tr_new - double(inv[k]) / tr_old));
      cmax = std::max(cmax, std::fabs(double(inv[k]) / tr_old));
    }
    std::memcpy(mu, mu_next, sizeof(T) * size_t(p));
    if (dm < rp.accuracy && dc < rp.accuracy * cmax) {
      // One more pass rescales the final shape.
      std::memcpy(inv, cov, sizeof(T) * size_t(p * p));
      if ((st = SubTask<T>::invert(p, inv))) return st;
      if ((st = all.distances(mu, inv, dist))) return st;
      const double s2 = m_scale(bw, dist, n, b0);
      for (int64_t k = 0; k < p * p; ++k) cov[k] = T(double(cov[k]) * s2 * s2);
      break;
    }
  }
  // Final reweighting: the plain estimate of the observations inside the rejection radius under the
  // S-estimate, the covariance corrected for the truncation of the Gaussian at that radius.
  std::memcpy(inv, cov, sizeof(T) * size_t(p * p));
  if ((st = SubTask<T>::invert(p, inv))) return st;
  if ((st = all.distances(mu, inv, dist))) return st;
  const double radius = bw.M + bw.c;
  int64_t r = 0;
  for (int64_t i = 0; i < n; ++i) {
    if (!(double(dist[i]) <= radius)) continue;
    for (int64_t j = 0; j < p; ++j) gathered[r * p + j] = x[j * rs + i * os];
    ++r;
  }
  if (r > p) {
    part.set_observations(r);
    part.set_weights(nullptr);
    if ((st = part.mean_cov(mu, cov, th))) return st;
    const double q = radius * radius;
    const double shrink = chi2_cdf(double(p + 2), q) / chi2_cdf(double(p), q);
    for (int64_t k = 0; k < p * p; ++k) cov[k] = T(double(cov[k]) / shrink);
  }
  std::memcpy(t->robust_mean, mu, sizeof(T) * size_t(p));
  mirror_lower(p, cov);
  pack_sym_lower(int(code), p, cov, static_cast<T*>(t->robust_covariance));
  return NRX_SS_STATUS_OK;
}

}  // namespace
}  // namespace nrx::stats

NRX_SS_ENTRIES(RobustCovariance, nrx::stats::robust_covariance)
