// Correlation parametrization: the nearest valid correlation matrix by raising
// small eigenvalues and renormalising the rows of V sqrt(L).
#include <cstdint>
#include <cstring>

#include "common/buffer.h"
#include "common/core_calls.h"
#include "common/vm_mode.h"
#include "nrx/stats.h"
#include "nrx/zar_functions.h"
#include "stats/sym_matrix.h"
#include "stats/task.h"

namespace nrx::stats {
namespace {

constexpr uint64_t kMethodParam = 0x4;
constexpr double kMinEigen = 1e-14;

template <class T> void vm_sqrt(int32_t n, const T* a, T* r) {
  const common::VmModeGuard mode(common::kInternalMode);
  if constexpr (sizeof(T) == 8) nrx_zar_kernel_dSqrt_ttab[0](n, a, r);
  else nrx_zar_kernel_sSqrt_ttab[0](n, a, r);
}
template <class T> void vm_inv(int32_t n, const T* a, T* r) {
  const common::VmModeGuard mode(common::kInternalMode);
  if constexpr (sizeof(T) == 8) nrx_zar_kernel_dInv_ttab[0](n, a, r);
  else nrx_zar_kernel_sInv_ttab[0](n, a, r);
}

template <class T> int32_t cor_parametrization(NrxSSTask* t, uint64_t, uint64_t method, const nrx_threading*) {
  if (!t) return NRX_SS_STATUS_NULL_TASK;
  const int64_t p64 = t->dimension ? read_int(t, t->dimension) : 0;
  if (p64 < 1) return NRX_SS_STATUS_BAD_DIMENSION;
  if (!t->correlation) return NRX_SS_STATUS_NULL_CORRELATION;
  if (!t->correlation_storage) return NRX_SS_STATUS_NULL_STORAGE;
  const int64_t in_code = read_int(t, t->correlation_storage);
  if (in_code < 0 || in_code > 2) return NRX_SS_STATUS_BAD_STORAGE;
  if (!t->parametrized_correlation) return NRX_SS_STATUS_NULL_PARAMETRIZED_CORRELATION;
  if (!t->parametrized_correlation_storage) return NRX_SS_STATUS_NULL_STORAGE;
  const int64_t out_code = read_int(t, t->parametrized_correlation_storage);
  if (out_code < 0 || out_code > 2) return NRX_SS_STATUS_BAD_STORAGE;
  if (t->correlation == t->parametrized_correlation && in_code != out_code) return NRX_SS_STATUS_BAD_STORAGE;
  if (!(method & kMethodParam)) return NRX_SS_STATUS_BAD_METHOD;
  const int32_t p = int32_t(p64);
  const size_t pp = size_t(p) * p;
  common::Buffer<T> work(2 * pp + 5 * size_t(p));
  if (!work) return NRX_SS_STATUS_NO_MEMORY;
  T* v = work.get();
  T* b = v + pp;
  T* w = b + pp;
  T* scratch = w + p;
  unpack_sym(int(in_code), p, static_cast<const T*>(t->correlation), v);
  if (common::Core<T>::syev("V", "L", p, v, p, w, scratch, 4 * p) != 0) return NRX_SS_STATUS_EIGEN_FAILED;
  int32_t raised = 0;
  for (int32_t i = 0; i < p; ++i)
    if (w[i] < T(kMinEigen)) {
      w[i] = T(kMinEigen);
      ++raised;
    }
  if (raised == p) return NRX_SS_STATUS_NO_POSITIVE_EIGENVALUE;
  vm_sqrt(p, w, w);
  for (int32_t j = 0; j < p; ++j)
    for (int32_t i = 0; i < p; ++i) b[i + size_t(j) * p] = v[i + size_t(j) * p] * w[j];
  T* norm = scratch;
  for (int32_t i = 0; i < p; ++i) {
    double s = 0.0;
    for (int32_t j = 0; j < p; ++j) s += double(b[i + size_t(j) * p]) * double(b[i + size_t(j) * p]);
    norm[i] = T(s);
  }
  vm_sqrt(p, norm, norm);
  vm_inv(p, norm, norm);
  for (int32_t j = 0; j < p; ++j)
    for (int32_t i = 0; i < p; ++i) b[i + size_t(j) * p] *= norm[i];
  common::Core<T>::syrk("L", "N", p, p, T(1), b, p, T(0), v, p);
  pack_sym_lower(int(out_code), p, v, static_cast<T*>(t->parametrized_correlation));
  return NRX_SS_STATUS_OK;
}

}  // namespace
}  // namespace nrx::stats

NRX_SS_ENTRIES(CorParametrization, nrx::stats::cor_parametrization)
