// The seven cell-search methods, their exported forms and the task-level
// search nrx_df_kernel_<t>DFSearch1D.
//
// Cell of t: 0 for t < x[0]; k for x[k-1] <= t < x[k]; nx-1 for t = x[nx-1];
// nx for t > x[nx-1].
#include "fit/search.h"

#include "fit/sorted_runs.h"

namespace nrx::fit {
namespace {

template <class T> struct Args {
  int64_t nx;
  const T* x;
  T scale;
  const uint32_t* table;
  int64_t* cursor;
  SearchCb<T> cb;
  void* params;
};

// Breakpoint k of an explicit or a uniform partition.
template <class T> struct Explicit {
  const T* x;
  T operator()(int64_t k) const { return x[k]; }
};
template <class T> struct UniformX {
  T x0, xl, h;
  int64_t nx;
  T operator()(int64_t k) const { return k == nx - 1 ? xl : x0 + T(k) * h; }
};

// Corrects a guessed cell g for site t by walking the partition. With
// keep_equal, a site equal to x[g] keeps the guess g (caller-defined searches).
template <class T, class X> int32_t walk(const X& x, int64_t nx, T t, int64_t g, bool keep_equal) {
  if (g < 0) g = 0;
  int64_t k = g;
  if (g >= nx) {
    k = nx;
    while (k > 0 && x(k - 1) > t) --k;
  } else if (keep_equal ? t > x(g) : t >= x(g)) {
    while (k < nx && x(k) <= t) ++k;
  } else if (g > 0 && x(g - 1) > t) {
    while (k > 0 && x(k - 1) > t) --k;
  }
  if (k == nx && t == x(nx - 1)) k = nx - 1;
  return static_cast<int32_t>(k);
}

// Method 0: arithmetic on the two ends only.
template <class T> int32_t uniform(const Args<T>& a, int64_t n, const T* site, int32_t* cell) {
  using namespace simd;
  const auto x0 = splat(a.x[0]), xl = splat(a.x[1]), s = splat(a.scale), nxv = splat(T(a.nx));
  const auto top = splat32<T>(int32_t(a.nx)), last = splat32<T>(int32_t(a.nx - 1));
  const auto one = splat32<T>(1), zero = splat32<T>(0);
  for (int64_t i = 0; i < n; i += lanes<T>) {
    const auto m = tail<T>(n - i);
    const auto t = masked_load(site + i, m, T(0));
    const auto v = mul(sub(t, x0), s);
    auto c = min32(add32(truncate32(min(v, nxv)), one), top);
    c = select32(ge(v, nxv), top, c);
    c = select32(ge(t, x0), c, zero);
    c = select32(eq(t, xl), last, c);
    masked_store(cell + i, m, c);
  }
  return DFK_OK;
}

// Method 1: guess from the mean step, then walk.
template <class T> int32_t quasi_uniform(const Args<T>& a, int64_t n, const T* site, int32_t* cell) {
  const T* x = a.x;
  const int64_t nx = a.nx;
  const Explicit<T> X{x};
  for (int64_t i = 0; i < n; ++i) {
    const T t = site[i];
    if (!(t >= x[0])) {
      cell[i] = 0;
      continue;
    }
    if (t == x[nx - 1]) {
      cell[i] = int32_t(nx - 1);
      continue;
    }
    const T v = (t - x[0]) * a.scale;
    const int64_t g = v >= T(nx) ? nx : int64_t(v) + 1;
    cell[i] = walk(X, nx, t, g, false);
  }
  return DFK_OK;
}

// Method 2: ascending sites, a cursor that only moves right.
template <class T> int32_t sorted(const Args<T>& a, int64_t n, const T* site, int32_t* cell) {
  const T* x = a.x;
  const int64_t nx = a.nx;
  int64_t c = a.cursor ? std::clamp<int64_t>(*a.cursor, 0, nx) : 0;
  if (n > 0 && c < nx - nx / 2) {
    const int64_t m = (c + nx) / 2;
    if (m < nx && x[m] <= site[0]) c = m;
  }
  for (int64_t i = 0; i < n; ++i) {
    const T t = site[i];
    while (c < nx && x[c] <= t) ++c;
    cell[i] = int32_t(c == nx && t == x[nx - 1] ? nx - 1 : c);
  }
  if (a.cursor) *a.cursor = c;
  return DFK_OK;
}

// Method 3: walk from the most likely cell.
template <class T> int32_t peak(const Args<T>& a, int64_t n, const T* site, int32_t* cell) {
  const T* x = a.x;
  const int64_t nx = a.nx;
  const int64_t p = std::clamp<int64_t>(int64_t(a.scale), 0, nx);
  for (int64_t i = 0; i < n; ++i) {
    const T t = site[i];
    int64_t k;
    if (t == x[nx - 1]) {
      k = nx - 1;
    } else if (p >= nx) {
      if (t <= x[nx - 1]) {
        k = nx - 1;
        while (k > 0 && x[k - 1] > t) --k;
      } else {
        k = nx;
      }
    } else if (t >= x[p]) {
      k = p;
      while (k < nx && x[k] <= t) ++k;
    } else if (p > 0 && x[p - 1] > t) {
      k = p;
      while (k > 0 && x[k - 1] > t) --k;
    } else {
      k = p;
    }
    cell[i] = int32_t(k);
  }
  return DFK_OK;
}

// Method 4: the lookup table brackets each site, then a vector bisection
// (one gather per step for all lanes) narrows the bracket to one cell. Four
// vectors advance together so that their memory accesses overlap.
template <class T> int32_t hybrid(const Args<T>& a, int64_t n, const T* site, int32_t* cell) {
  using namespace simd;
  constexpr int U = 4, W = lanes<T>;
  const int64_t nx = a.nx;
  const T* x = a.x;
  const auto x0 = splat(x[0]), xl = splat(x[nx - 1]), sc = splat(a.scale), rzero = splat(T(0));
  const auto one = splat32<T>(1), zero = splat32<T>(0);
  const auto cnx = splat32<T>(int32_t(nx)), clast = splat32<T>(int32_t(nx - 1));
  // Bins are 0..nbins; nbins is recovered from the scale: bin of x[nx-1].
  const auto binmax = splat(std::floor(a.scale * (x[nx - 1] - x[0])));
  for (int64_t i = 0; i < n; i += U * W) {
    Reg<T> t[U];
    Idx<T> lo[U], hi[U];
    Mask<T> m[U], inside[U], active[U];
    bool any = false;
    for (int u = 0; u < U; ++u) {
      const int64_t k = i + u * W;
      m[u] = k < n ? tail<T>(n - k) : Mask<T>(0);
      t[u] = masked_load(site + (k < n ? k : 0), m[u], T(0));
      inside[u] = ge(t[u], x0) & lt(t[u], xl) & m[u];
      const auto v = min(max(mul(sub(t[u], x0), sc), rzero), binmax);
      const auto bin = select32(inside[u], truncate32(v), zero);
      const auto b2 = add32(bin, bin);
      // Clamped so that a table left from an earlier partition cannot index past this one.
      hi[u] = min32(gather(a.table, add32(b2, one)), clast);
      lo[u] = min32(gather(a.table, b2), hi[u]);
      active[u] = greater32(sub32(hi[u], lo[u]), one) & inside[u];
      any = any || active[u];
    }
    while (any) {
      any = false;
      for (int u = 0; u < U; ++u) {
        if (!active[u]) continue;
        const auto mid = shift_right32<1>(add32(lo[u], hi[u]));
        const Mask<T> below = le(gather(x, mid, active[u], t[u]), t[u]);
        lo[u] = select32(active[u] & below, mid, lo[u]);
        hi[u] = select32(active[u] & ~below, mid, hi[u]);
        active[u] = greater32(sub32(hi[u], lo[u]), one) & active[u];
        any = any || active[u];
      }
    }
    for (int u = 0; u < U; ++u) {
      if (!m[u]) break;
      auto c = select32(inside[u], hi[u], zero);
      c = select32(lt(xl, t[u]), cnx, c);
      c = select32(eq(t[u], xl), clast, c);
      masked_store(cell + i + u * W, m[u], c);
    }
  }
  return DFK_OK;
}

// Methods 5 and 6: the caller's function, in blocks of 1024 sites.
template <class T, class X> int32_t user(const Args<T>& a, const X& xs, int64_t n, const T* site, int32_t* cell) {
  int64_t cells[1024];
  int32_t flags[1024];
  int32_t result = DFK_OK;
  for (int64_t b = 0; b < n; b += 1024) {
    int64_t cnt = std::min<int64_t>(1024, n - b);
    for (int64_t i = 0; i < cnt; ++i) {
      cells[i] = 0;
      flags[i] = 0;
    }
    int64_t count = cnt;
    const int32_t r = a.cb(&count, site + b, cells, flags, a.params, a.x);
    if (r < 0) return r;
    for (int64_t i = 0; i < cnt; ++i) {
      if (r == DFK_SEARCH_CELLS_FINAL || flags[i]) cell[b + i] = int32_t(cells[i]);
      else cell[b + i] = walk(xs, a.nx, site[b + i], cells[i], true);
    }
    result = r == DFK_SEARCH_CELLS_FINAL ? DFK_OK : r;
  }
  return result;
}

template <class T> int32_t user_explicit(const Args<T>& a, int64_t n, const T* site, int32_t* cell) {
  return user(a, Explicit<T>{a.x}, n, site, cell);
}

template <class T> int32_t user_uniform(const Args<T>& a, int64_t n, const T* site, int32_t* cell) {
  const UniformX<T> X{a.x[0], a.x[1], (a.x[1] - a.x[0]) / T(a.nx - 1), a.nx};
  return user(a, X, n, site, cell);
}

template <class T> using Method = int32_t (*)(const Args<T>&, int64_t, const T*, int32_t*);

// Indexed by method number.
template <class T> constexpr Method<T> kMethods[] = {uniform<T>, quasi_uniform<T>, sorted<T>,      peak<T>,
                                                     hybrid<T>,  user_explicit<T>, user_uniform<T>};

}  // namespace

template <class T> int32_t search_cells(int method, int64_t nx, const T* x, int64_t n, const T* site, T scale,
                                        const uint32_t* table, int64_t* cursor, SearchCb<T> cb, void* params,
                                        int32_t* cell) {
  if (n < 1) return DFK_OK;
  if (method < 0 || method > 6) return DFK_ERR_METHOD;
  if ((method == DFK_SEARCH_USER || method == DFK_SEARCH_UNIFORM_USER) && !cb) return DFK_ERR_METHOD;
  if (method == DFK_SEARCH_HYBRID && !table) return DFK_ERR_METHOD;
  const Args<T> a{nx, x, scale, table, cursor, cb, params};
  return kMethods<T>[method](a, n, site, cell);
}

template <class T> int32_t plan_search(const DfTask* t, int64_t sitehint, const T* datahint, SearchCb<T> cb,
                                       void* params, SearchPlan<T>* p) {
  const T* x = static_cast<const T*>(t->x);
  p->nx = t->nx;
  p->x = x;
  p->table = t->table;
  p->cb = cb;
  p->params = params;
  const int64_t nx = t->nx;
  if (cb) {
    p->method = t->xhint == DFK_UNIFORM ? DFK_SEARCH_UNIFORM_USER : DFK_SEARCH_USER;
  } else if (t->xhint == DFK_UNIFORM) {
    p->method = DFK_SEARCH_UNIFORM;
    p->scale = T(nx - 1) / (x[1] - x[0]);
  } else if (t->xhint == DFK_QUASI_UNIFORM) {
    p->method = DFK_SEARCH_QUASI_UNIFORM;
    p->scale = T(nx - 1) / (x[nx - 1] - x[0]);
  } else if (sitehint == DFK_SORTED_DATA) {
    p->method = DFK_SEARCH_SORTED;
  } else if (!datahint || datahint[1] == T(0)) {
    p->method = DFK_SEARCH_HYBRID;
    p->scale = sizeof(T) == 8 ? T(t->scale.d) : T(t->scale.s);
  } else if (datahint[1] == T(1)) {
    const T c = datahint[4];
    if (!(c >= T(0) && c <= T(nx))) return DFK_ERR_DATAHINT;
    p->method = DFK_SEARCH_PEAK;
    p->scale = c;
  } else {
    return DFK_ERR_DATAHINT;
  }
  if (p->method == DFK_SEARCH_HYBRID && !p->table) {
    // A partition edited to non-uniform without a table: fall back on the quasi-uniform walk.
    p->method = DFK_SEARCH_QUASI_UNIFORM;
    p->scale = T(nx - 1) / (x[nx - 1] - x[0]);
  }
  return DFK_OK;
}

template <class T> int32_t search_block(const SearchPlan<T>& p, int64_t n, const T* site, int32_t* cell) {
  if (p.method == DFK_SEARCH_SORTED && n > 0) {
    // Narrow runs are counted in vectors, wide ones walked.
    sorted_runs(p.x, p.nx, n, site, kSortedRun, -1, [&](int64_t i, int64_t m, int64_t c0, int64_t c1) {
      if (c1 - c0 <= 16) {
        RunCells<T>(p.x, m, site + i, c0, c1).store_cells(p.x, p.nx, cell + i);
      } else {
        int64_t cursor = c0;
        search_cells<T>(p.method, p.nx, p.x, m, site + i, p.scale, p.table, &cursor, p.cb, p.params, cell + i);
      }
    });
    return DFK_OK;
  }
  return search_cells<T>(p.method, p.nx, p.x, n, site, p.scale, p.table, nullptr, p.cb, p.params, cell);
}

template int32_t search_cells<double>(int, int64_t, const double*, int64_t, const double*, double, const uint32_t*,
                                      int64_t*, SearchCb<double>, void*, int32_t*);
template int32_t search_cells<float>(int, int64_t, const float*, int64_t, const float*, float, const uint32_t*,
                                     int64_t*, SearchCb<float>, void*, int32_t*);
template int32_t plan_search<double>(const DfTask*, int64_t, const double*, SearchCb<double>, void*,
                                     SearchPlan<double>*);
template int32_t plan_search<float>(const DfTask*, int64_t, const float*, SearchCb<float>, void*, SearchPlan<float>*);
template int32_t search_block<double>(const SearchPlan<double>&, int64_t, const double*, int32_t*);
template int32_t search_block<float>(const SearchPlan<float>&, int64_t, const float*, int32_t*);

namespace {

constexpr int64_t kSearchBlock = 4096;

template <class T> int32_t task_search(DfTask* t, int64_t nsite, const T* site, int64_t sitehint, const T* datahint,
                                       int32_t* cell, SearchCb<T> cb, void* params, const nrx_threading* th) {
  if (!t) return DFK_ERR_NULL_TASK;
  SearchPlan<T> plan;
  int32_t st = plan_search(t, sitehint, datahint, cb, params, &plan);
  if (st != DFK_OK) return st;
  if (nsite < 1) return DFK_OK;
  const bool grid = (sitehint & DFK_UNIFORM_SITES) != 0 && sitehint != DFK_SORTED_DATA;
  const T s0 = site[0];
  const T ds = nsite > 1 && grid ? (site[1] - site[0]) / T(nsite - 1) : T(0);
  const int64_t nblocks = (nsite + kSearchBlock - 1) / kSearchBlock;
  const int64_t nth = nsite < 32 ? 1 : thread_count(th);
  FirstError err;
  std::atomic<int32_t> last{0};
  run_blocks(th, nblocks, nth, [&](int64_t b, int64_t) {
    const int64_t i0 = b * kSearchBlock, cnt = std::min(kSearchBlock, nsite - i0);
    const T* s = site + i0;
    T buf[kSearchBlock];
    if (grid) {
      for (int64_t i = 0; i < cnt; ++i) buf[i] = s0 + T(i0 + i) * ds;
      s = buf;
    }
    const int32_t r = search_block(plan, cnt, s, cell + i0);
    err.set(r);
    if (r > 0) last.store(r);
  });
  return err.get() < 0 ? err.get() : last.load();
}

}  // namespace
}  // namespace nrx::fit

using namespace nrx::fit;

extern "C" {

#define NRX_DF_SEARCH_EXPORT(name, id)                                                                                 \
  NRX_FIT_API int32_t nrx_df_kernel_d##name(int64_t nx, const double* x, int64_t n, const double* site, double scale,  \
                                            const uint32_t* table, int64_t* cursor, nrx_df_dsearch_cb cb,              \
                                            void* params, int32_t* cell) {                                             \
    return search_cells<double>(id, nx, x, n, site, scale, table, cursor, cb, params, cell);                           \
  }                                                                                                                    \
  NRX_FIT_API int32_t nrx_df_kernel_s##name(int64_t nx, const float* x, int64_t n, const float* site, float scale,     \
                                            const uint32_t* table, int64_t* cursor, nrx_df_ssearch_cb cb,              \
                                            void* params, int32_t* cell) {                                             \
    return search_cells<float>(id, nx, x, n, site, scale, table, cursor, cb, params, cell);                            \
  }                                                                                                                    \
  NRX_FIT_API int32_t nrx_df_kernel_d##name##32(int64_t nx, const double* x, int64_t n, const double* site,            \
                                                double scale, const uint32_t* table, int64_t* cursor,                  \
                                                nrx_df_dsearch_cb cb, void* params, int32_t* cell) {                   \
    return search_cells<double>(id, nx, x, n, site, scale, table, cursor, cb, params, cell);                           \
  }                                                                                                                    \
  NRX_FIT_API int32_t nrx_df_kernel_s##name##32(int64_t nx, const float* x, int64_t n, const float* site, float scale, \
                                                const uint32_t* table, int64_t* cursor, nrx_df_ssearch_cb cb,          \
                                                void* params, int32_t* cell) {                                         \
    return search_cells<float>(id, nx, x, n, site, scale, table, cursor, cb, params, cell);                            \
  }

NRX_DF_SEARCH_EXPORT(DFUniformSearch1D, DFK_SEARCH_UNIFORM)
NRX_DF_SEARCH_EXPORT(DFQuasiUniformSearch1D, DFK_SEARCH_QUASI_UNIFORM)
NRX_DF_SEARCH_EXPORT(DFSortedSearch1D, DFK_SEARCH_SORTED)
NRX_DF_SEARCH_EXPORT(DFPeakSearch1D, DFK_SEARCH_PEAK)
NRX_DF_SEARCH_EXPORT(DFHybridSearch1D, DFK_SEARCH_HYBRID)
NRX_DF_SEARCH_EXPORT(DFUserDefSearch1D, DFK_SEARCH_USER)
NRX_DF_SEARCH_EXPORT(DFUniUserDefSearch1D, DFK_SEARCH_UNIFORM_USER)

NRX_FIT_API int32_t nrx_df_kernel_dDFSearch1D(DfTask* task, int64_t, int64_t nsite, const double* site,
                                              int64_t sitehint, const double* datahint, int32_t* cell,
                                              nrx_df_dsearch_cb cb, void* params, const nrx_threading* th) {
  return task_search(task, nsite, site, sitehint, datahint, cell, cb, params, th);
}
NRX_FIT_API int32_t nrx_df_kernel_sDFSearch1D(DfTask* task, int64_t, int64_t nsite, const float* site, int64_t sitehint,
                                              const float* datahint, int32_t* cell, nrx_df_ssearch_cb cb, void* params,
                                              const nrx_threading* th) {
  return task_search(task, nsite, site, sitehint, datahint, cell, cb, params, th);
}

}  // extern "C"
