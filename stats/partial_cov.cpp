// Partial covariance and correlation: S11 - S12 S22^-1 S21 over the components
// marked 1, conditioned on those marked -1.
#include <cmath>
#include <cstdint>

#include "common/buffer.h"
#include "common/core_calls.h"
#include "nrx/stats.h"
#include "stats/sym_matrix.h"
#include "stats/task.h"

namespace nrx::stats {
namespace {

constexpr uint64_t kMethodPartial = 0x1;

template <class T> int32_t partial_covariance(NrxSSTask* t, uint64_t est, uint64_t method, const nrx_threading*) {
  if (!t) return NRX_SS_STATUS_NULL_TASK;
  if (!t->covariance) return NRX_SS_STATUS_NULL_COVARIANCE;
  if (!t->covariance_storage) return NRX_SS_STATUS_NULL_STORAGE;
  if (!t->partial_indices) return NRX_SS_STATUS_NULL_PARTIAL_INDICES;
  const bool want_cov = est & NRX_SS_EST_PARTIAL_COVARIANCE, want_cor = est & NRX_SS_EST_PARTIAL_CORRELATION;
  if (want_cov && !t->partial_covariance) return NRX_SS_STATUS_NULL_PARTIAL_COVARIANCE;
  if (want_cov && !t->partial_covariance_storage) return NRX_SS_STATUS_NULL_STORAGE;
  if (want_cor && !t->partial_correlation) return NRX_SS_STATUS_NULL_PARTIAL_CORRELATION;
  if (want_cor && !t->partial_correlation_storage) return NRX_SS_STATUS_NULL_STORAGE;
  if (!(method & kMethodPartial)) return NRX_SS_STATUS_BAD_METHOD;
  const int64_t p = read_int(t, t->dimension);
  if (p <= 0) return NRX_SS_STATUS_BAD_PARTIAL_INDICES;
  common::Buffer<int64_t> marks(2 * size_t(p));
  if (!marks) return NRX_SS_STATUS_NO_MEMORY;
  int64_t* keep = marks.get();
  int64_t* given = keep + p;
  int64_t nk = 0, ng = 0;
  for (int64_t j = 0; j < p; ++j) {
    const int64_t mark = t->int64_flag ? static_cast<const int64_t*>(t->partial_indices)[j]
                                       : static_cast<const int32_t*>(t->partial_indices)[j];
    if (mark == 1) keep[nk++] = j;
    else if (mark == -1) given[ng++] = j;
  }
  if (nk == 0 || ng == 0) return NRX_SS_STATUS_BAD_PARTIAL_INDICES;
  const int32_t k = int32_t(nk), g = int32_t(ng);
  const int cs = matrix_storage(t, t->covariance_storage);
  common::Buffer<T> work(size_t(p) * p + size_t(g) * g + 2 * size_t(k) * g + size_t(k) * k);
  if (!work) return NRX_SS_STATUS_NO_MEMORY;
  T* full = work.get();
  T* s22 = full + size_t(p) * p;
  T* s21 = s22 + size_t(g) * g;  // g x k
  T* y = s21 + size_t(g) * k;    // S22^-1 S21, g x k
  T* r = y + size_t(g) * k;      // k x k
  unpack_sym(cs, p, static_cast<const T*>(t->covariance), full);
  for (int32_t b = 0; b < g; ++b)
    for (int32_t a = 0; a < g; ++a) s22[a + size_t(b) * g] = full[given[a] + given[b] * p];
  for (int32_t b = 0; b < k; ++b)
    for (int32_t a = 0; a < g; ++a) s21[a + size_t(b) * g] = full[given[a] + keep[b] * p];
  for (int32_t b = 0; b < k; ++b)
    for (int32_t a = 0; a < k; ++a) r[a + size_t(b) * k] = full[keep[a] + keep[b] * p];
  if (common::Core<T>::potrf("L", g, s22, g) != 0) return NRX_SS_STATUS_FACTOR_FAILED;
  if (common::Core<T>::potri("L", g, s22, g) != 0) return NRX_SS_STATUS_INVERSE_FAILED;
  mirror_lower(g, s22);
  common::Core<T>::gemm("N", "N", g, k, g, T(1), s22, g, s21, g, T(0), y, g);
  common::Core<T>::gemm("T", "N", k, k, g, T(-1), s21, g, y, g, T(1), r, k);
  if (want_cov)
    pack_sym_lower(matrix_storage(t, t->partial_covariance_storage), k, r, static_cast<T*>(t->partial_covariance));
  if (want_cor) {
    for (int32_t b = 0; b < k; ++b)
      for (int32_t a = b + 1; a < k; ++a)
        r[a + size_t(b) * k] /= std::sqrt(r[a + size_t(a) * k]) * std::sqrt(r[b + size_t(b) * k]);
    for (int32_t a = 0; a < k; ++a) r[a + size_t(a) * k] = T(1);
    pack_sym_lower(matrix_storage(t, t->partial_correlation_storage), k, r, static_cast<T*>(t->partial_correlation));
  }
  return NRX_SS_STATUS_OK;
}

}  // namespace
}  // namespace nrx::stats

NRX_SS_ENTRIES(PartialCovariance, nrx::stats::partial_covariance)
