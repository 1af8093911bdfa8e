// Integration of the task's spline between pairs of limits. Limits are located
// with the cell searches in blocks of 64 pairs; a range is the partial integral
// of its first piece, the full integrals of the pieces between (from running
// sums when many pairs share them) and the partial integral of its last piece.
#include "fit/eval.h"
#include "fit/search.h"

namespace nrx::fit {
namespace {

constexpr int64_t kBlock = 64;

template <class T> using IntegCb = std::conditional_t<sizeof(T) == 8, nrx_df_dinteg_cb, nrx_df_sinteg_cb>;

// Antiderivative of piece coefficients c (order K) at u, zero at u = 0.
template <class T> inline T antiderivative(const T* c, int64_t K, T u) {
  T acc = 0;
  for (int64_t j = K - 1; j >= 0; --j) acc = acc * u + c[j] / T(j + 1);
  return acc * u;
}

template <class T> struct Integrator {
  const DfTask* t;
  Interp kind;
  PieceMap<T> pm;
  int64_t K;
  Buffer<T>* prefix;  // running sums of full pieces per function, or null

  T full_piece(int64_t f, int64_t p) const {
    return antiderivative(coeffs<T>(t, f) + p * K, K, pm.right(p) - pm.left(p));
  }
  T partial(int64_t f, int64_t p, T a, T b) const {
    const T* c = coeffs<T>(t, f) + p * K;
    const T l = pm.left(p);
    return antiderivative(c, K, b - l) - antiderivative(c, K, a - l);
  }
  T between(int64_t f, int64_t p0, int64_t p1) const {  // pieces p0+1 .. p1-1
    if (p1 - p0 < 2) return T(0);
    if (prefix) {
      const T* s = prefix->p + f * (pm.npieces + 1);
      return s[p1] - s[p0 + 1];
    }
    T acc = 0;
    for (int64_t p = p0 + 1; p < p1; ++p) acc += full_piece(f, p);
    return acc;
  }
  // Spline integral over [a, b], a <= b, with the pieces pa, pb of the two ends.
  T poly(int64_t f, T a, int64_t pa, T b, int64_t pb) const {
    if (pa == pb) return partial(f, pa, a, b);
    return partial(f, pa, a, pm.right(pa)) + between(f, pa, pb) + partial(f, pb, pm.left(pb), b);
  }
  // Step functions: a constant per interval, the end values outside.
  T step(int64_t f, T a, T b) const {
    const Values<T> y(t);
    const Grid<T>& g = pm.g;
    const int64_t nx = t->nx;
    T acc = 0;
    if (a < g.x0) acc += (std::min(b, g.x0) - a) * y(f, 0), a = g.x0;
    if (b > g.xl) acc += (b - std::max(a, g.xl)) * y(f, nx - 1), b = g.xl;
    if (!(a < b)) return acc;
    int64_t i = g.uniform ? int64_t((a - g.x0) / g.h) : int64_t(std::upper_bound(g.x, g.x + nx, a) - g.x) - 1;
    i = std::clamp<int64_t>(i, 0, nx - 2);
    for (; i < nx - 1; ++i) {
      const T l = std::max(a, g.at(i)), r = std::min(b, g.at(i + 1));
      if (r > l) acc += (r - l) * (kind == Interp::StepRight ? y(f, i) : y(f, i + 1));
      if (g.at(i + 1) >= b) break;
    }
    return acc;
  }
};

template <class T> int32_t integrate(DfTask* t, int64_t nlim, const T* llim, int64_t llimhint, const T* rlim,
                                     int64_t rlimhint, const T* ldh, const T* rdh, T* r, int64_t rhint, IntegCb<T> le,
                                     void* lep, IntegCb<T> re, void* rep, IntegCb<T> ic, void* ip, SearchCb<T> scb,
                                     void* sp, const nrx_threading* th) {
  if (!t) return DFK_ERR_NULL_TASK;
  Interp kind;
  if (int32_t s = interp_kind(t, le && re && ic, &kind)) return s;
  if (kind == Interp::Lookup) return DFK_ERR_TYPE;
  if (kind == Interp::StepLeft || kind == Interp::StepRight) {
    if (!t->y || !t->y[0]) return DFK_ERR_Y;
    if (!column_storage(t) && pointer_array_size(t->y) < t->ny) return DFK_ERR_Y;
    for (int64_t f = 0; !column_storage(t) && f < t->ny; ++f)
      if (!t->y[f]) return DFK_ERR_Y;
  }
  const bool by_pair = rhint == 0 || rhint == 32;
  if (!by_pair && rhint != 16 && rhint != 128) return DFK_ERR_RHINT_INTEGRAL;
  SearchPlan<T> lp, rp;
  if (int32_t s = plan_search(t, llimhint, ldh, scb, sp, &lp)) return s;
  if (int32_t s = plan_search(t, rlimhint, rdh, scb, sp, &rp)) return s;
  const bool poly = kind == Interp::Poly || kind == Interp::QuadKnots;
  if (poly) {
    if (!t->coeff || pointer_array_size(t->coeff) < t->ny) return DFK_ERR_COEFF;
    for (int64_t f = 0; f < t->ny; ++f)
      if (!t->coeff[f]) return DFK_ERR_COEFF;
  }
  if (nlim < 1) return DFK_OK;
  Integrator<T> in{t, kind, PieceMap<T>(t, kind == Interp::QuadKnots), t->order, nullptr};
  const int64_t ny = t->ny, np = in.pm.npieces;
  Buffer<T> pre(poly && nlim * 8 > np ? size_t((np + 1) * ny) : 0);
  if (poly && nlim * 8 > np) {
    if (!pre) return DFK_ERR_ALLOC;
    for (int64_t f = 0; f < ny; ++f) {
      T* s = pre.p + f * (np + 1);
      s[0] = 0;
      for (int64_t p = 0; p < np; ++p) s[p + 1] = s[p] + in.full_piece(f, p);
    }
    in.prefix = &pre;
  }
  const Grid<T>& g = in.pm.g;
  const int64_t nblocks = (nlim + kBlock - 1) / kBlock;
  const int64_t nth = nlim > kBlock ? thread_count(th) : 1;
  FirstError err;
  run_blocks(th, nblocks, nth, [&](int64_t blk, int64_t) {
    const int64_t i0 = blk * kBlock, n = std::min(kBlock, nlim - i0);
    int32_t ca[kBlock], cb[kBlock];
    int32_t st = search_block(lp, n, llim + i0, ca);
    if (st >= 0) st = search_block(rp, n, rlim + i0, cb);
    if (st < 0) return err.set(st);
    for (int64_t i = 0; i < n; ++i) {
      T a = llim[i0 + i], b = rlim[i0 + i];
      int32_t ka = ca[i], kb = cb[i];
      T sign = 1;
      if (b < a) std::swap(a, b), std::swap(ka, kb), sign = -1;
      for (int64_t f = 0; f < ny; ++f) {
        T acc = 0, part = 0;
        T ia = a, ib = b;
        int64_t pa = -1, pb = -1;
        if (le && a < g.x0) {
          if ((st = le(a, std::min(b, g.x0), f, &part, lep)) < 0) return err.set(st);
          acc += part;
          ia = g.x0, pa = 0;
        }
        if (re && b > g.xl) {
          if ((st = re(std::max(a, g.xl), b, f, &part, rep)) < 0) return err.set(st);
          acc += part;
          ib = g.xl, pb = np - 1;
        }
        if (ia < ib) {
          if (ic) {
            if ((st = ic(ia, ib, f, &part, ip)) < 0) return err.set(st);
            acc += part;
          } else if (poly) {
            if (pa < 0) pa = in.pm.piece(ka, ia);
            if (pb < 0) pb = in.pm.piece(kb, ib);
            acc += in.poly(f, ia, pa, ib, pb);
          } else {
            acc += in.step(f, ia, ib);
          }
        }
        r[by_pair ? (i0 + i) * ny + f : f * nlim + i0 + i] = sign * acc;
      }
    }
  });
  return err.get();
}

}  // namespace
}  // namespace nrx::fit

using namespace nrx::fit;

extern "C" {
NRX_FIT_API int32_t nrx_df_kernel_dDFIntegrate1D(DfTask* t, int64_t, int64_t nlim, const double* llim, int64_t llimhint,
                                                 const double* rlim, int64_t rlimhint, const double* ldh,
                                                 const double* rdh, double* r, int64_t rhint, nrx_df_dinteg_cb le,
                                                 void* lep, nrx_df_dinteg_cb re, void* rep, nrx_df_dinteg_cb ic,
                                                 void* ip, nrx_df_dsearch_cb scb, void* sp, const nrx_threading* th) {
  return integrate<double>(t, nlim, llim, llimhint, rlim, rlimhint, ldh, rdh, r, rhint, le, lep, re, rep, ic, ip, scb,
                           sp, th);
}
NRX_FIT_API int32_t nrx_df_kernel_sDFIntegrate1D(DfTask* t, int64_t, int64_t nlim, const float* llim, int64_t llimhint,
                                                 const float* rlim, int64_t rlimhint, const float* ldh,
                                                 const float* rdh, float* r, int64_t rhint, nrx_df_sinteg_cb le,
                                                 void* lep, nrx_df_sinteg_cb re, void* rep, nrx_df_sinteg_cb ic,
                                                 void* ip, nrx_df_ssearch_cb scb, void* sp, const nrx_threading* th) {
  return integrate<float>(t, nlim, llim, llimhint, rlim, rlimhint, ldh, rdh, r, rhint, le, lep, re, rep, ic, ip, scb,
                          sp, th);
}
}
