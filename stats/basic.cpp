// drudSSBasic / drusSSBasic: request check, data pass over the threading table's threads,
// merge with the state the task already holds, and finalisation into the result arrays.
#include <bit>
#include <cmath>
#include <cstring>
#include <new>

#include "common/parallel.h"
#include "common/vm_mode.h"
#include "nrx/core.h"
#include "nrx/stats.h"
#include "nrx/zar_functions.h"
#include "stats/accumulator.h"
#include "stats/block_pass.h"
#include "stats/estimates.h"
#include "stats/task.h"

namespace nrx::stats {
namespace {

constexpr uint64_t kDataMethods = NRX_SS_METHOD_FAST | NRX_SS_METHOD_ONE_PASS | NRX_SS_METHOD_FAST_GIVEN_MEAN;
constexpr uint64_t kSumMethods = NRX_SS_METHOD_CROSS_PRODUCT_TO_COVARIANCE | NRX_SS_METHOD_SUMS_TO_MOMENTS;

// Method mask, dependency closure and missing addresses, in the documented order.
int32_t check_request(const NrxSSTask* t, uint64_t est, uint64_t meth, Plan& plan) {
  const uint64_t data = meth & kDataMethods;
  if ((meth & ~(kDataMethods | kSumMethods)) || std::popcount(data) > 1 || (!data && !(meth & kSumMethods)))
    return NRX_SS_STATUS_BAD_METHOD;
  plan.fast = data == NRX_SS_METHOD_FAST;
  plan.shifted = data == NRX_SS_METHOD_FAST_GIVEN_MEAN;
  uint32_t need = 0;
  for (int i = 0; i < kEstimateCount; ++i) {
    if (!(est & kEstimateRows[i].bit)) continue;
    const EstimateRow& r = kEstimateRows[i];
    need |= plan.fast ? r.fast : data ? r.one_pass : r.from_sums;
  }
  for (int i = 0; i <= kEstimateCount; ++i) {
    if (!has(need, i)) continue;
    if (i == kUnavailable) return NRX_SS_STATUS_BAD_METHOD;
    if (!result_address(t, i)) return kEstimateRows[i].missing;
  }
  plan.need = need;
  plan.raw_order = 1;
  for (int k = 2; k <= 4; ++k)
    if (has(need, kRaw2 + k - 2) || has(need, kSum1 + k - 1)) plan.raw_order = k;
  plan.central_order = 0;
  if (!plan.fast)
    for (int k = 2; k <= 4; ++k)
      if (has(need, kCentral2 + k - 2) || has(need, kCentralSum2 + k - 2)) plan.central_order = k;
  plan.cross = has(need, kCovariance) || has(need, kCorrelation) || has(need, kCrossProduct);
  return NRX_SS_STATUS_OK;
}

// Typed access to the result arrays.
template <class T> struct Results {
  const NrxSSTask* t;
  T* at(int index) const { return static_cast<T*>(result_address(t, index)); }
  double get(int index, int64_t j) const { return double(at(index)[j]); }
  void put(int index, int64_t j, double v) const { at(index)[j] = T(v); }
};

// Entry (r, s) of a stored symmetric matrix.
template <class T> double matrix_get(const T* a, int storage, int64_t p, int64_t r, int64_t s) {
  return r <= s ? double(a[packed_index(storage, p, r, s)]) : double(a[packed_index(storage, p, s, r)]);
}
template <class T> void matrix_put(T* a, int storage, int64_t p, int64_t r, int64_t s, double v) {
  a[packed_index(storage, p, r, s)] = T(v);
  if (storage == NRX_SS_MATRIX_FULL) a[s * p + r] = T(v);
}

// State carried between calls in the task's persistent buffer: the exact running sums,
// and a copy of every result array as this routine left it. The sums are used only
// while the weight pair and each of those arrays still hold what was written, so they
// always equal what the arrays would give; a caller who edits any of them gets the
// state rebuilt from the arrays.
struct CarryHeader {
  uint64_t magic;
  int64_t p;
  int64_t bytes;  // of the whole buffer
  double W0, W1;
  int32_t raw_order, central_order, cross;
  uint32_t written;    // estimate indices whose arrays were copied
  int32_t storage[3];  // storage codes of the covariance, correlation and cross-product copies
  int32_t reserved;
};
constexpr uint64_t kCarryMagic = 0x6e72785353426173ULL;

inline int64_t matrix_entries(int storage, int64_t p) {
  return storage == NRX_SS_MATRIX_FULL ? p * p : p * (p + 1) / 2;
}
int64_t carry_bytes(int64_t p, bool cross) {
  return int64_t(sizeof(CarryHeader)) + 8 * (p + Acc::doubles(p) + kEstimateCount * p + (cross ? 3 * p * p : 0));
}

struct Carry {
  CarryHeader* h = nullptr;
  double* ref = nullptr;  // the reference values its means are relative to
  Acc acc;
  double* copy = nullptr;  // kEstimateCount vectors of p, then the three matrices
  int64_t p = 0;
  void bind(void* buf, int64_t np) {
    p = np;
    h = static_cast<CarryHeader*>(buf);
    ref = reinterpret_cast<double*>(h + 1);
    acc.bind(ref + p, p);
    copy = ref + p + Acc::doubles(p);
  }
  double* vector_copy(int index) const { return copy + int64_t(index) * p; }
  double* matrix_copy(int k) const { return copy + kEstimateCount * p + int64_t(k) * p * p; }
};

constexpr int kMatrixIndex[3] = {kCovariance, kCorrelation, kCrossProduct};

const void* matrix_storage_address(const NrxSSTask* t, int k) {
  return k == 0 ? t->covariance_storage : k == 1 ? t->correlation_storage : t->cross_product_storage;
}

// Bit equality, so that a NaN the routine wrote still matches.
template <class T> bool same(T a, double copied) {
  const T b = T(copied);
  return std::memcmp(&a, &b, sizeof(T)) == 0;
}

// Copies every array of `need` into the carry, as it stands after the call.
template <class T> void copy_results(const NrxSSTask* t, uint32_t need, int64_t p, Carry& c) {
  c.h->written = need;
  for (int i = 0; i < kEstimateCount; ++i) {
    if (!has(need, i)) continue;
    const T* a = static_cast<const T*>(result_address(t, i));
    for (int k = 0; k < 3; ++k)
      if (kMatrixIndex[k] == i) {
        const int st = matrix_storage(t, matrix_storage_address(t, k));
        c.h->storage[k] = st;
        for (int64_t e = 0; e < matrix_entries(st, p); ++e) c.matrix_copy(k)[e] = double(a[e]);
        a = nullptr;
      }
    if (a)
      for (int64_t j = 0; j < p; ++j) c.vector_copy(i)[j] = double(a[j]);
  }
}

template <class T> bool carry_valid(const NrxSSTask* t, const Carry& c, int64_t p, double W0, double W1) {
  if (!c.h || c.h->magic != kCarryMagic || c.h->p != p || c.h->W0 != W0 || c.h->W1 != W1) return false;
  for (int i = 0; i < kEstimateCount; ++i) {
    if (!has(c.h->written, i)) continue;
    const T* a = static_cast<const T*>(result_address(t, i));
    if (!a) return false;
    bool matrix = false;
    for (int k = 0; k < 3; ++k)
      if (kMatrixIndex[k] == i) {
        matrix = true;
        const int st = matrix_storage(t, matrix_storage_address(t, k));
        if (st != c.h->storage[k]) return false;
        for (int64_t e = 0; e < matrix_entries(st, p); ++e)
          if (!same(a[e], c.matrix_copy(k)[e])) return false;
      }
    if (!matrix)
      for (int64_t j = 0; j < p; ++j)
        if (!same(a[j], c.vector_copy(i)[j])) return false;
  }
  return true;
}

// The state of the earlier calls relative to `ref`: from the carry where it holds a
// quantity, else rebuilt from the result arrays of the estimates requested now.
template <class T>
void load_previous(const NrxSSTask* t, const Plan& plan, const Carry* carry, const T* ref, int64_t p, Acc& old) {
  const Results<T> res{t};
  const uint32_t need = plan.need;
  const double W0 = old.W0, W1 = old.W1;
  const CarryHeader* h = carry ? carry->h : nullptr;
  const Acc* c = carry ? &carry->acc : nullptr;
  const double sdiv = W0 * W0 - W1;  // S2 = c2 (W0^2 - W1) / W0
  for (int64_t j = 0; j < p; ++j) {
    double m;  // absolute mean
    if (c) {
      old.M[j] = (carry->ref[j] - double(ref[j])) + c->M[j];
      m = carry->ref[j] + c->M[j];
    } else {
      m = t->mean ? res.get(kMean, j) : t->sum[0] ? res.get(kSum1, j) / W0 : 0.0;
      old.M[j] = m - double(ref[j]);
    }
    for (int k = 1; k <= plan.raw_order; ++k) {
      double v;
      if (h && h->raw_order >= k) v = c->R[k - 1][j];
      else if (has(need, kSum1 + k - 1)) v = res.get(kSum1 + k - 1, j);
      else if (k == 1) v = W0 * m;
      else v = has(need, kRaw2 + k - 2) ? W0 * res.get(kRaw2 + k - 2, j) : 0.0;
      old.R[k - 1][j] = v;
    }
    for (int k = 2; k <= plan.central_order; ++k) {
      double v = 0.0;
      if (h && h->central_order >= k) v = c->S[k - 2][j];
      else if (has(need, kCentralSum2 + k - 2)) v = res.get(kCentralSum2 + k - 2, j);
      else if (has(need, kCentral2 + k - 2))
        v = k == 2 ? (sdiv == 0 ? 0.0 : res.get(kCentral2, j) * sdiv / W0) : W0 * res.get(kCentral2 + k - 2, j);
      else if (k == 3 && has(need, kRaw3)) {  // S3 for the S4 merge, from the raw moments
        const double r2 = res.get(kRaw2, j), r3 = res.get(kRaw3, j);
        v = W0 * (r3 - 3 * m * r2 + 2 * m * m * m);
      }
      old.S[k - 2][j] = v;
    }
  }
  if (!plan.cross) return;
  if (h && h->cross) {
    std::memcpy(old.P, c->P, sizeof(double) * p * p);
    return;
  }
  const double g = W0 - W1 / W0;
  for (int64_t r = 0; r < p; ++r)
    for (int64_t s = r; s < p; ++s) {
      double v;
      if (has(need, kCrossProduct))
        v = matrix_get(res.at(kCrossProduct), matrix_storage(t, t->cross_product_storage), p, r, s);
      else if (has(need, kCovariance))
        v = g == 0 ? 0.0 : g * matrix_get(res.at(kCovariance), matrix_storage(t, t->covariance_storage), p, r, s);
      else v = g * matrix_get(res.at(kCorrelation), matrix_storage(t, t->correlation_storage), p, r, s);
      old.P[r * p + s] = v;
    }
}

template <class T> void inv_sqrt(int32_t n, const T* a, T* r) {
  const common::VmModeGuard mode(common::kInternalMode);
  if constexpr (sizeof(T) == 8) nrx_zar_kernel_dInvSqrt_ttab[0](n, a, r);
  else nrx_zar_kernel_sInvSqrt_ttab[0](n, a, r);
}

// Covariance, correlation and cross-product of the selected components from a.P;
// `scratch` holds 2 p reals.
template <class T> void finalise_matrices(const NrxSSTask* t, uint32_t need, const Acc& a, int64_t p, T* scratch) {
  const Results<T> res{t};
  const double W0 = a.W0, W1 = a.W1;
  const double f = W0 > 0 ? 1.0 / (W0 - W1 / W0) : 1.0;
  const int cov_st = matrix_storage(t, t->covariance_storage), cor_st = matrix_storage(t, t->correlation_storage);
  const int cp_st = matrix_storage(t, t->cross_product_storage);
  T* dinv = scratch;
  if (has(need, kCorrelation)) {
    for (int64_t j = 0; j < p; ++j) scratch[p + j] = T(a.P[j * p + j]);
    inv_sqrt<T>(int32_t(p), scratch + p, dinv);
  }
  for (int64_t r = 0; r < p; ++r) {
    if (!selected(t, r)) continue;
    for (int64_t s = r; s < p; ++s) {
      if (!selected(t, s)) continue;
      const double v = a.P[r * p + s];
      if (has(need, kCrossProduct)) matrix_put(res.at(kCrossProduct), cp_st, p, r, s, v);
      if (has(need, kCovariance)) matrix_put(res.at(kCovariance), cov_st, p, r, s, v * f);
      if (has(need, kCorrelation))
        matrix_put(res.at(kCorrelation), cor_st, p, r, s, v * double(dinv[r]) * double(dinv[s]));
    }
  }
}

// Vector estimates of the selected components from the merged state.
template <class T> void finalise_vectors(const NrxSSTask* t, const Plan& plan, const Acc& a, const T* ref, int64_t p) {
  const Results<T> res{t};
  const double W0 = a.W0, W1 = a.W1;
  for (int64_t j = 0; j < p; ++j) {
    if (!selected(t, j)) continue;
    const double m = W0 != 0 ? double(ref[j]) + a.M[j] : std::nan("");  // no weight at all: 0/0
    double r[5] = {1, m, 0, 0, 0};
    for (int k = 2; k <= plan.raw_order; ++k) r[k] = a.R[k - 1][j] / W0;
    double S2 = 0, S3 = 0, S4 = 0;
    if (plan.fast) {
      S2 = W0 * (r[2] - m * m);
      S3 = W0 * (r[3] - 3 * m * r[2] + 2 * m * m * m);
      S4 = W0 * (r[4] - 4 * m * r[3] + 6 * m * m * r[2] - 3 * m * m * m * m);
    } else {
      if (plan.central_order >= 2) S2 = a.S[0][j];
      if (plan.central_order >= 3) S3 = a.S[1][j];
      if (plan.central_order >= 4) S4 = a.S[2][j];
    }
    const double c2 = S2 * W0 / (W0 * W0 - W1), c3 = S3 / W0, c4 = S4 / W0;
    double sums[4] = {0, 0, 0, 0};
    for (int k = 0; k < plan.raw_order; ++k) sums[k] = a.R[k][j];
    const double values[kEstimateCount] = {m,
                                           r[2],
                                           r[3],
                                           r[4],
                                           c2,
                                           c3,
                                           c4,
                                           0,
                                           0,
                                           c4 / (c2 * c2) - 3,
                                           c3 / std::sqrt(c2 * c2 * c2),
                                           std::sqrt(c2) / m,
                                           sums[0],
                                           sums[1],
                                           sums[2],
                                           sums[3],
                                           S2,
                                           S3,
                                           S4,
                                           0};
    for (int i = 0; i < kEstimateCount; ++i)
      if (has(plan.need, i) && i != kCovariance && i != kCorrelation && i != kCrossProduct) res.put(i, j, values[i]);
  }
}

// Methods 0x200 / 0x400 alone: moments from the registered sums, covariance and
// correlation from the registered cross-product.
template <class T> int32_t from_sums(NrxSSTask* t, const Plan& plan, int64_t p) {
  double W0, W1;
  if (t->accumulated_weights) {
    const T* w = static_cast<const T*>(t->accumulated_weights);
    W0 = w[0];
    W1 = w[1];
  } else {
    if (!t->observations || t->weights) return NRX_SS_STATUS_NULL_ACCUMULATED_WEIGHTS;
    W0 = W1 = double(read_int(t, t->observations));
  }
  const bool matrices = has(plan.need, kCovariance) || has(plan.need, kCorrelation);
  double* buf = nullptr;
  if (matrices) {
    buf = static_cast<double*>(nrx_serv_allocate(sizeof(double) * (Acc::doubles(p) + 2 * p), 128));
    if (!buf) return NRX_SS_STATUS_NO_MEMORY;
  }
  const Results<T> res{t};
  const uint32_t need = plan.need;
  for (int64_t j = 0; j < p; ++j) {
    if (!selected(t, j)) continue;
    auto sum = [&](int i) { return has(need, i) ? res.get(i, j) : 0.0; };
    const double m = sum(kSum1) / W0;
    const double c2 = sum(kCentralSum2) * W0 / (W0 * W0 - W1), c3 = sum(kCentralSum3) / W0;
    const double c4 = sum(kCentralSum4) / W0;
    const double values[kVariation + 1] = {m,
                                           sum(kSum2) / W0,
                                           sum(kSum3) / W0,
                                           sum(kSum4) / W0,
                                           c2,
                                           c3,
                                           c4,
                                           0,
                                           0,
                                           c4 / (c2 * c2) - 3,
                                           c3 / std::sqrt(c2 * c2 * c2),
                                           std::sqrt(c2) / m};
    for (int i = 0; i <= kVariation; ++i)
      if (has(need, i) && i != kCovariance && i != kCorrelation) res.put(i, j, values[i]);
  }
  if (!matrices) return NRX_SS_STATUS_OK;
  Acc a;
  a.bind(buf, p);
  a.W0 = W0;
  a.W1 = W1;
  const int cp_st = matrix_storage(t, t->cross_product_storage);
  for (int64_t r = 0; r < p; ++r)
    for (int64_t s = r; s < p; ++s) a.P[r * p + s] = matrix_get(res.at(kCrossProduct), cp_st, p, r, s);
  finalise_matrices<T>(t, need & ~(1u << kCrossProduct), a, p, reinterpret_cast<T*>(buf + Acc::doubles(p)));
  nrx_serv_deallocate(buf);
  return NRX_SS_STATUS_OK;
}

template <class T> struct PassContext {
  PassInput<T> in;
  const Plan* plan;
  int64_t parts;
  Acc* acc;  // 2 per part: the part's state and its block state
  BlockScratch<T>* scratch;
};

template <class T> void part_worker(int64_t part, PassContext<T>* c) {
  const int64_t n = c->in.n;
  const int64_t begin = n * part / c->parts, end = n * (part + 1) / c->parts;
  if (c->in.w) run_part<T, true>(c->in, *c->plan, begin, end, c->scratch[part], c->acc[2 * part], c->acc[2 * part + 1]);
  else run_part<T, false>(c->in, *c->plan, begin, end, c->scratch[part], c->acc[2 * part], c->acc[2 * part + 1]);
}

template <class T> int32_t data_pass(NrxSSTask* t, const Plan& plan, int64_t p, const nrx_threading* thr) {
  if (!t->observations) return NRX_SS_STATUS_BAD_OBSERVATIONS;
  const int64_t n = read_int(t, t->observations);
  if (n <= 0) return NRX_SS_STATUS_BAD_OBSERVATIONS;
  if (!t->data) return NRX_SS_STATUS_NULL_DATA;
  if (!t->data_layout) return NRX_SS_STATUS_NULL_STORAGE;
  const int64_t layout = read_int(t, t->data_layout);
  if (!valid_layout(layout)) return NRX_SS_STATUS_BAD_STORAGE;
  if (!plan.need) return NRX_SS_STATUS_OK;  // nothing requested: the weight pair stays as it is

  const nrx_threading* th = thr ? thr : &nrx_threading_serial;
  int64_t parts = th->num_threads ? th->num_threads() : 1;
  const int64_t work = n * p * (plan.cross ? p : 1);
  if (parts > work / 8192) parts = work / 8192;
  if (parts > n / 16) parts = n / 16;
  if (parts < 1) parts = 1;

  // One allocation: 2 states per part plus the previous and the merged state, the block
  // buffers of every part, 2 p reals for the finalisation and p reference values.
  const bool rows = layout == NRX_SS_STORAGE_ROWS, weighted = t->weights != nullptr;
  const int64_t acc_doubles = Acc::doubles(p);
  const int64_t blk_elems = block_buffer_elements<T>(p, plan.cross, rows, weighted);
  const int64_t head_bytes = int64_t((sizeof(Acc) * (2 * parts + 1) + sizeof(BlockScratch<T>) * parts + 63) / 64 * 64);
  const int64_t bytes =
      head_bytes + 8 * acc_doubles * (2 * parts + 1) + int64_t(sizeof(T)) * (blk_elems * parts + 3 * p);
  char* mem = static_cast<char*>(nrx_serv_allocate(size_t(bytes), 128));
  if (!mem) return NRX_SS_STATUS_NO_MEMORY;
  T* W = static_cast<T*>(t->accumulated_weights);
  Carry carry;
  bool use_carry = false;
  if (W) {
    void* buf = t->basic_buffer;
    const int64_t bytes_needed = carry_bytes(p, plan.cross);
    if (!buf || static_cast<CarryHeader*>(buf)->p != p || static_cast<CarryHeader*>(buf)->bytes < bytes_needed) {
      // A larger buffer for the cross-product copies keeps a valid carry.
      const int64_t keep = buf && static_cast<CarryHeader*>(buf)->p == p ? static_cast<CarryHeader*>(buf)->bytes : 0;
      void* fresh = nrx_serv_allocate(size_t(bytes_needed), 128);
      if (!fresh) {
        nrx_serv_deallocate(mem);
        return NRX_SS_STATUS_NO_MEMORY;
      }
      std::memset(fresh, 0, size_t(bytes_needed));
      if (keep) std::memcpy(fresh, buf, size_t(keep));
      static_cast<CarryHeader*>(fresh)->bytes = bytes_needed;
      nrx_serv_deallocate(buf);
      t->basic_buffer = buf = fresh;
    }
    carry.bind(buf, p);
    use_carry = W[0] != 0 && carry_valid<T>(t, carry, p, double(W[0]), double(W[1]));
  }

  Acc* acc = reinterpret_cast<Acc*>(mem);
  BlockScratch<T>* scratch = reinterpret_cast<BlockScratch<T>*>(acc + 2 * parts + 1);
  // Pointer records live at the front; the numeric areas follow, 64-byte aligned.
  double* dbl = reinterpret_cast<double*>(mem + head_bytes);
  for (int64_t k = 0; k < 2 * parts + 1; ++k) {
    new (&acc[k]) Acc();
    acc[k].bind(dbl + k * acc_doubles, p);
  }
  T* reals = reinterpret_cast<T*>(dbl + (2 * parts + 1) * acc_doubles);
  const int64_t pp = padded<T>(p), bs = padded<T>(block_rows(p, sizeof(T), false));
  for (int64_t k = 0; k < parts; ++k) {
    T* b = reals + k * blk_elems;
    scratch[k].sums = b;
    scratch[k].centre = b + 4 * pp;
    scratch[k].prev = b + 5 * pp;
    scratch[k].dev = b + 6 * pp;
    scratch[k].cross = scratch[k].dev + (rows ? (weighted ? 2 : 1) * p * bs : 8 * pp);
  }
  T* final_scratch = reals + parts * blk_elems;

  // Reference values: those of the carried state, else (method 0x100, continuing) the
  // mean given in the mean array, else the first observation. For method 0x100 they are
  // the shift that every deviation is measured from.
  T* ref = final_scratch + 2 * p;
  {
    const T* x = static_cast<const T*>(t->data);
    const T* mean = static_cast<const T*>(t->mean);
    for (int64_t j = 0; j < p; ++j) {
      T v = layout == NRX_SS_STORAGE_ROWS ? x[j * n] : x[j];
      if (use_carry) v = T(carry.ref[j]);
      else if (plan.shifted && W && W[0] != 0 && mean && std::isfinite(double(mean[j]))) v = mean[j];
      ref[j] = finite_or_zero(v);
    }
  }

  PassContext<T> ctx{{static_cast<const T*>(t->data), static_cast<const T*>(t->weights), n, p,
                      layout == NRX_SS_STORAGE_ROWS, ref, plan.shifted},
                     &plan,
                     parts,
                     acc,
                     scratch};
  common::run_parts(th, parts, [&ctx](int64_t part) { part_worker<T>(part, &ctx); });

  Acc& total = acc[2 * parts];
  total.clear(p);
  if (W && W[0] != 0) {
    total.W0 = double(W[0]);
    total.W1 = double(W[1]);
    load_previous<T>(t, plan, use_carry ? &carry : nullptr, ref, p, total);
  }
  for (int64_t k = 0; k < parts; ++k) merge(total, acc[2 * k], plan, p);

  if (W) {
    CarryHeader* h = carry.h;
    h->magic = kCarryMagic;
    h->p = p;
    h->raw_order = plan.raw_order;
    h->central_order = plan.central_order;
    h->cross = plan.cross;
    for (int64_t j = 0; j < p; ++j) carry.ref[j] = double(ref[j]);
    std::memcpy(carry.acc.M, total.M, sizeof(double) * acc_doubles);
    W[0] = T(total.W0);
    W[1] = T(total.W1);
    h->W0 = double(W[0]);
    h->W1 = double(W[1]);
  }
  finalise_vectors<T>(t, plan, total, ref, p);
  if (plan.cross) finalise_matrices<T>(t, plan.need, total, p, final_scratch);
  if (W) copy_results<T>(t, plan.need, p, carry);
  nrx_serv_deallocate(mem);
  return NRX_SS_STATUS_OK;
}

template <class T> int32_t basic(NrxSSTask* t, uint64_t est, uint64_t meth, const nrx_threading* thr) {
  if (!t) return NRX_SS_STATUS_NULL_TASK;
  Plan plan;
  if (const int32_t st = check_request(t, est, meth, plan)) return st;
  if (!t->dimension) return NRX_SS_STATUS_BAD_DIMENSION;
  const int64_t p = read_int(t, t->dimension);
  if (p <= 0) return NRX_SS_STATUS_BAD_DIMENSION;
  if (meth & kDataMethods) return data_pass<T>(t, plan, p, thr);
  return from_sums<T>(t, plan, p);
}

}  // namespace
}  // namespace nrx::stats

NRX_SS_ENTRIES(Basic, nrx::stats::basic)
