// Interpolation: for each block of 64 sites, the cell search, the piece of
// every site, then values and derivatives of every function, written in the
// caller's result layout. Blocks run in tasks of 320 sites through the
// threading table when there are more than 1024 sites.
#include "fit/sorted_cubic.h"

namespace nrx::fit {
namespace {

constexpr int64_t kBlock = 64, kTask = 320, kMaxRes = 64;

template <class T> using InterpCb = std::conditional_t<sizeof(T) == 8, nrx_df_dinterp_cb, nrx_df_sinterp_cb>;

// Position of result (function f, site s, k-th requested order) in r.
struct Layout {
  int64_t sf, ss, sk;
  static bool make(int64_t rhint, int64_t ny, int64_t ns, int64_t nres, Layout* l) {
    switch (rhint) {
      case 0:
      case 16: *l = {ns * nres, nres, 1}; return true;
      case 32: *l = {nres, ny * nres, 1}; return true;
      case 128: *l = {nres * ns, 1, ns}; return true;
      case 256: *l = {1, ny, ns * ny}; return true;
      case 512: *l = {ns, 1, ny * ns}; return true;
      default: return false;
    }
  }
};

template <class T> struct Job {
  const DfTask* t;
  Interp kind;
  int64_t type, nsite;
  const T* site;
  bool grid;
  bool scattered;  // sites in no particular order: prefetch and gather coefficients
  T s0, ds;
  int64_t nres;
  int64_t ders[kMaxRes];
  T* r;
  Layout lay;
  int32_t* cell;
  InterpCb<T> le, re, ic;
  void *lep, *rep, *ip;
  SearchPlan<T> plan;
  PieceMap<T> pm;
  // Per thread: the last sorted-site chunk's end and the cell count there.
  int64_t* cursor = nullptr;
  int64_t threads = 0;
  Job(const DfTask* task) : t(task), pm(task, false) {}
};

// Hands the sites of a block selected by `pick` to a caller function, writes its results to out.
template <class T, class Pick> int32_t call_user(const Job<T>& j, InterpCb<T> cb, void* params, int64_t f, int64_t n,
                                                 const T* s, const int32_t* c, T* out, Pick pick) {
  T ss[kBlock], rr[kBlock * kMaxRes];
  int32_t cc[kBlock];
  int64_t idx[kBlock], m = 0;
  for (int64_t i = 0; i < n; ++i)
    if (pick(c[i])) idx[m] = i, ss[m] = s[i], cc[m] = c[i], ++m;
  if (m == 0) return DFK_OK;
  const int32_t st = cb(m, ss, cc, f, j.nres, j.ders, rr, params);
  if (st < 0) return st;
  for (int64_t q = 0; q < m; ++q)
    for (int64_t k = 0; k < j.nres; ++k) out[k * kBlock + idx[q]] = rr[q * j.nres + k];
  return DFK_OK;
}

template <class T> int32_t eval_values(const Job<T>& j, int64_t f, int64_t n, const T* s, const int32_t* c, T* out) {
  const DfTask* t = j.t;
  const Values<T> y(t);
  const Grid<T>& g = j.pm.g;
  const int64_t nx = t->nx;
  for (int64_t i = 0; i < n; ++i) {
    const int32_t k = c[i];
    T v;
    if (j.kind == Interp::StepLeft) {
      v = k <= 0 ? y(f, 0) : k >= nx ? y(f, nx - 1) : s[i] == g.at(k - 1) ? y(f, k - 1) : y(f, k);
    } else if (j.kind == Interp::StepRight) {
      v = k <= 0 ? y(f, 0) : k >= nx ? y(f, nx - 1) : s[i] == g.xl ? y(f, nx - 1) : y(f, k - 1);
    } else {
      // Look-up: the site must be a breakpoint.
      if (s[i] == g.xl) {
        v = y(f, nx - 1);
      } else if (k >= 1 && k <= nx - 1 && s[i] == g.at(k - 1)) {
        v = y(f, k - 1);
      } else if (k >= 1 && k <= nx - 1 && s[i] == g.at(k)) {
        v = y(f, k);
      } else {
        return DFK_ERR_NOT_BREAKPOINT;
      }
    }
    for (int64_t q = 0; q < j.nres; ++q) out[q * kBlock + i] = j.ders[q] == 0 ? v : T(0);
  }
  return DFK_OK;
}

// One task of at most 320 sites starting at site i0: the cells and pieces of
// all its sites first (so the coefficient lines are requested early), then
// the evaluation in blocks of 64.
template <class T> int32_t run_general(const Job<T>& j, int64_t i0, int64_t n) {
  alignas(64) T sb[kTask], base[kTask];
  alignas(64) int32_t cb[kTask], piece[kTask];
  alignas(64) T out[kBlock * kMaxRes];
  const T* s = j.site + i0;
  if (j.grid) {
    for (int64_t i = 0; i < n; ++i) sb[i] = j.s0 + T(i0 + i) * j.ds;
    s = sb;
  }
  int32_t* c = cb;
  if (j.type == DFK_USER_CELL) {
    c = j.cell + i0;
  } else {
    const int32_t st = search_block(j.plan, n, s, cb);
    if (st < 0) return st;
    if ((j.type & DFK_CELL) && j.cell)
      for (int64_t i = 0; i < n; ++i) j.cell[i0 + i] = cb[i];
  }
  if (!j.r) return DFK_OK;
  const DfTask* t = j.t;
  const bool poly = j.kind == Interp::Poly || j.kind == Interp::QuadKnots;
  if (poly) {
    j.pm.map(n, s, c, piece, base);
  }
  if (poly && j.scattered) {
    // Ask for every coefficient line at once; the sites' pieces may be scattered.
    for (int64_t f = 0; f < t->ny; ++f) {
      const T* cf = coeffs<T>(t, f);
      for (int64_t i = 0; i < n; ++i) __builtin_prefetch(cf + int64_t(piece[i]) * t->order);
    }
  }
  const int64_t nx = t->nx;
  for (int64_t b = 0; b < n; b += kBlock) {
    const int64_t m = std::min(kBlock, n - b);
    const T* sbk = s + b;
    const int32_t* cbk = c + b;
    for (int64_t f = 0; f < t->ny; ++f) {
      T* rf = j.r + f * j.lay.sf + (i0 + b) * j.lay.ss;
      if (poly && j.lay.ss == 1 && !j.le && !j.re && !j.ic) {
        // Sites contiguous in the result: evaluate straight into it.
        horner_block(t->order, coeffs<T>(t, f), m, piece + b, base + b, sbk, j.nres, j.ders, rf, j.lay.sk,
                     !j.scattered);
        continue;
      }
      if (poly) {
        horner_block(t->order, coeffs<T>(t, f), m, piece + b, base + b, sbk, j.nres, j.ders, out, kBlock, !j.scattered);
      } else if (j.kind != Interp::User) {
        const int32_t st = eval_values(j, f, m, sbk, cbk, out);
        if (st < 0) return st;
      }
      int32_t st = DFK_OK;
      if (j.le) st = call_user(j, j.le, j.lep, f, m, sbk, cbk, out, [](int32_t k) { return k <= 0; });
      if (st >= 0 && j.re) st = call_user(j, j.re, j.rep, f, m, sbk, cbk, out, [nx](int32_t k) { return k >= nx; });
      if (st >= 0 && j.ic) {
        const bool le = j.le != nullptr, re = j.re != nullptr;
        st = call_user(j, j.ic, j.ip, f, m, sbk, cbk, out,
                       [=](int32_t k) { return !(le && k <= 0) && !(re && k >= nx); });
      }
      if (st < 0) return st;
      for (int64_t k = 0; k < j.nres; ++k) {
        T* rk = rf + k * j.lay.sk;
        const T* ok = out + k * kBlock;
        if (j.lay.ss == 1) std::memcpy(rk, ok, sizeof(T) * m);
        else
          for (int64_t i = 0; i < m; ++i) rk[i * j.lay.ss] = ok[i];
      }
    }
  }
  return DFK_OK;
}

// Cubic pieces at ascending sites written straight into the result, run by
// run; a run whose pieces do not fit the register path takes the general one.
template <class T> bool sorted_cubic_ready(const Job<T>& j) {
  return j.plan.method == DFK_SEARCH_SORTED && j.type != DFK_USER_CELL && j.r && j.kind == Interp::Poly &&
         j.t->order == 4 && j.lay.ss == 1 && !j.le && !j.re && !j.ic && !j.grid;
}

template <class T> int32_t run_chunk(const Job<T>& j, int64_t i0, int64_t n, int64_t thread) {
  if (!sorted_cubic_ready(j)) return run_general(j, i0, n);
  const DfTask* t = j.t;
  const T* s = j.site + i0;
  int32_t* cells = (j.type & DFK_CELL) && j.cell ? j.cell + i0 : nullptr;
  int32_t st = DFK_OK;
  // A thread's chunks come in ascending order: its last count, checked, is a lower bound for this one.
  int64_t scratch[2] = {i0 + 1, 0};
  int64_t* cur = thread >= 0 && thread < j.threads ? j.cursor + 2 * thread : scratch;
  int64_t from = cur[0] <= i0 ? std::min(cur[1], j.plan.nx) : -1;
  if (from > 0 && !(j.plan.x[from - 1] <= s[0])) from = -1;
  cur[0] = i0 + n;
  const auto coef = [&](int64_t f) { return static_cast<const T*>(coeffs<T>(t, f)); };
  const auto run = [&](int64_t i, int64_t m, int64_t c0, int64_t c1) {
    const auto dest = [&](int64_t f) { return j.r + f * j.lay.sf + (i0 + i) * j.lay.ss; };
    if (!sorted_cubic_run(j.plan.x, j.plan.nx, m, s + i, c0, c1, t->ny, coef, dest, j.nres, j.ders, j.lay.sk,
                          cells ? cells + i : nullptr)) {
      const int32_t r = run_general(j, i0 + i, m);
      if (r < 0 && st == DFK_OK) st = r;
    }
  };
  cur[1] = sorted_runs(j.plan.x, j.plan.nx, n, s, kSortedRun, from, run);
  return st;
}

template <class T> int32_t interpolate(DfTask* t, int64_t type, int64_t nsite, const T* site, int64_t sitehint,
                                       int64_t ndorder, const void* dorder, const T* datahint, T* r, int64_t rhint,
                                       int32_t* cell, InterpCb<T> le, void* lep, InterpCb<T> re, void* rep,
                                       InterpCb<T> ic, void* ip, SearchCb<T> scb, void* sp, const nrx_threading* th) {
  if (!t) return DFK_ERR_NULL_TASK;
  Job<T> j(t);
  if (int32_t s = interp_kind(t, le && re && ic, &j.kind)) return s;
  j.nres = 0;
  for (int64_t q = 0; q < ndorder && dorder; ++q) {
    const int64_t flag =
        (t->intwidth & 1) ? static_cast<const int64_t*>(dorder)[q] : static_cast<const int32_t*>(dorder)[q];
    if (flag && j.nres < kMaxRes) j.ders[j.nres++] = q;
  }
  if (j.nres == 0) j.ders[j.nres++] = 0;
  if (j.kind == Interp::Lookup) {
    if (j.nres != 1) return DFK_ERR_LOOKUP_COUNT;
    if (j.ders[0] != 0) return DFK_ERR_LOOKUP_VALUE;
  }
  if (!Layout::make(rhint, t->ny, nsite, j.nres, &j.lay)) return DFK_ERR_RHINT;
  if (type != DFK_USER_CELL) {
    if (int32_t s = plan_search(t, sitehint, datahint, scb, sp, &j.plan)) return s;
  }
  if (j.kind == Interp::Poly || j.kind == Interp::QuadKnots) {
    if (!t->coeff || pointer_array_size(t->coeff) < t->ny) return DFK_ERR_COEFF;
    for (int64_t f = 0; f < t->ny; ++f)
      if (!t->coeff[f]) return DFK_ERR_COEFF;
  } else if (j.kind != Interp::User && r) {
    if (!t->y || !t->y[0]) return DFK_ERR_Y;
    if (!column_storage(t) && pointer_array_size(t->y) < t->ny) return DFK_ERR_Y;
    for (int64_t f = 0; !column_storage(t) && f < t->ny; ++f)
      if (!t->y[f]) return DFK_ERR_Y;
  }
  if (j.kind == Interp::QuadKnots) j.pm = PieceMap<T>(t, true);
  if (nsite < 1) return DFK_OK;
  j.type = type;
  j.nsite = nsite;
  j.site = site;
  j.grid = (sitehint & DFK_UNIFORM_SITES) != 0 && sitehint != DFK_SORTED_DATA;
  j.scattered = !j.grid && sitehint != DFK_SORTED_DATA;
  j.s0 = site[0];
  j.ds = j.grid && nsite > 1 ? (site[1] - site[0]) / T(nsite - 1) : T(0);
  j.r = r;
  j.cell = cell;
  j.le = le, j.re = re, j.ic = ic, j.lep = lep, j.rep = rep, j.ip = ip;
  const int64_t nth = nsite > 1024 ? thread_count(th) : 1;
  const int64_t ntasks = (nsite + kTask - 1) / kTask;
  Buffer<int64_t> cursor(size_t(2 * nth));
  if (!cursor) return DFK_ERR_ALLOC;
  for (int64_t k = 0; k < 2 * nth; ++k) cursor[k] = k % 2 ? 0 : nsite;
  j.cursor = cursor.p;
  j.threads = nth;
  FirstError err;
  run_blocks(th, ntasks, nth, [&](int64_t task, int64_t thread) {
    const int64_t a = task * kTask;
    err.set(run_chunk(j, a, std::min(kTask, nsite - a), thread));
  });
  return err.get();
}

}  // namespace
}  // namespace nrx::fit

using namespace nrx::fit;

extern "C" {
NRX_FIT_API int32_t nrx_df_kernel_dDFInterpolate1D(DfTask* task, int64_t type, int64_t, int64_t nsite,
                                                   const double* site, int64_t sitehint, int64_t ndorder,
                                                   const void* dorder, const double* datahint, double* r, int64_t rhint,
                                                   int32_t* cell, nrx_df_dinterp_cb le, void* lep, nrx_df_dinterp_cb re,
                                                   void* rep, nrx_df_dinterp_cb ic, void* ip, nrx_df_dsearch_cb scb,
                                                   void* sp, const nrx_threading* th) {
  return interpolate<double>(task, type, nsite, site, sitehint, ndorder, dorder, datahint, r, rhint, cell, le, lep, re,
                             rep, ic, ip, scb, sp, th);
}
NRX_FIT_API int32_t nrx_df_kernel_sDFInterpolate1D(DfTask* task, int64_t type, int64_t, int64_t nsite,
                                                   const float* site, int64_t sitehint, int64_t ndorder,
                                                   const void* dorder, const float* datahint, float* r, int64_t rhint,
                                                   int32_t* cell, nrx_df_sinterp_cb le, void* lep, nrx_df_sinterp_cb re,
                                                   void* rep, nrx_df_sinterp_cb ic, void* ip, nrx_df_ssearch_cb scb,
                                                   void* sp, const nrx_threading* th) {
  return interpolate<float>(task, type, nsite, site, sitehint, ndorder, dorder, datahint, r, rhint, cell, le, lep, re,
                            rep, ic, ip, scb, sp, th);
}
}
