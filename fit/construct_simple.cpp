// Linear and quadratic splines.
//
// Quadratic type 0: C1 with knots at the breakpoints, fixed by the value at the
// middle of the first interval (bc[0]); a forward recurrence of midpoint values.
// Quadratic type 1: C1 with one knot k[i] inside each interval (nx pieces),
// interpolating every breakpoint. Its derivatives s[i] at the breakpoints solve
// a tridiagonal system (the second derivative is constant across each
// breakpoint); the two end rows come from the first- or second-derivative
// boundary values.
#include "fit/construct_common.h"
#include "fit/quad_knots.h"

namespace nrx::fit {
namespace {

constexpr int64_t kPieceBlock = 1024, kFuncBlock = 4;

// Pieces [i0, i1) of one function: its value and slope on each interval; y(i)
// is its value at breakpoint i.
template <class T, class Y> void linear_pieces(const Grid<T>& g, Y y, int64_t i0, int64_t i1, T* c) {
  const T r = g.uniform ? T(1) / g.h : T(0);
  for (int64_t i = i0; i < i1; ++i) {
    const T dy = y(i + 1) - y(i);
    c[2 * i] = y(i);
    c[2 * i + 1] = g.uniform ? dy * r : dy / (g.x[i + 1] - g.x[i]);
  }
}

template <class T> int32_t linear(DfTask* t, int64_t method, const nrx_threading* th) {
  if (!t) return DFK_ERR_NULL_TASK;
  if (method != 0) return DFK_ERR_METHOD;
  if (t->nx < 2) return DFK_ERR_NX;
  if (!valid_storage_hint(t->yhint)) return DFK_ERR_YHINT;
  if (int32_t s = check_storage(t)) return s;
  if (t->bc_type == DFK_BC_PERIODIC)
    if (int32_t s = check_periodic<T>(t)) return s;
  const Grid<T> g(t);
  const Values<T> y(t);
  const int64_t nx = t->nx, ny = t->ny;
  const int64_t npb = (nx - 1 + kPieceBlock - 1) / kPieceBlock, nfb = (ny + kFuncBlock - 1) / kFuncBlock;
  const int64_t nblocks = npb * nfb;
  const int64_t nth = nx * ny < 128 || nblocks < 5 ? 1 : thread_count(th);
  run_blocks(th, nblocks, nth, [&](int64_t blk, int64_t) {
    const int64_t pb = blk % npb, fb = blk / npb;
    const int64_t i0 = pb * kPieceBlock, i1 = std::min(nx - 1, i0 + kPieceBlock);
    for (int64_t f = fb * kFuncBlock; f < std::min(ny, (fb + 1) * kFuncBlock); ++f) {
      T* c = coeffs<T>(t, f);
      if (!y.cols) {
        const T* yf = y.p[f];
        linear_pieces(
            g, [yf](int64_t i) { return yf[i]; }, i0, i1, c);
      } else {
        linear_pieces(
            g, [&y, f](int64_t i) { return y(f, i); }, i0, i1, c);
      }
    }
  });
  return DFK_OK;
}

// Type 0: midpoint values v[i] from the recurrence, then the coefficients.
template <class T> void quadratic_midpoint(const Prepared<T>& p, const T* y, T v0, T* v, T* c) {
  const int64_t nx = p.nx;
  v[0] = v0;
  for (int64_t i = 0; i + 2 < nx; ++i) {
    const T h0 = p.h[i], h1 = p.h[i + 1];
    v[i + 1] = (h1 / T(4)) * ((y[i] + T(3) * y[i + 1]) / h0 + (T(3) * y[i + 1] + y[i + 2]) / h1) - (h1 / h0) * v[i];
  }
  for (int64_t i = 0; i + 1 < nx; ++i) {
    const T r = p.inv[i];
    c[3 * i] = y[i];
    c[3 * i + 1] = (T(4) * v[i] - T(3) * y[i] - y[i + 1]) * r;
    c[3 * i + 2] = T(2) * (y[i] + y[i + 1] - T(2) * v[i]) * r * r;
  }
}

// Type 1, one function: derivatives s at the breakpoints (rhs in s), then coefficients.
template <class T>
void quadratic_knots_coeffs(const Prepared<T>& p, const QuadKnots<T>& k, const T* y, const T* s, T* c) {
  const int64_t nx = p.nx;
  auto g = [&](int64_t i) {
    const T a = k.at(i) - p.x[i], b = p.x[i + 1] - k.at(i);
    return T(2) * (y[i + 1] - y[i]) * p.inv[i] - (a * s[i] + b * s[i + 1]) * p.inv[i];
  };
  {
    const T a = k.at(0) - p.x[0];
    c[0] = y[0], c[1] = s[0], c[2] = (g(0) - s[0]) / (T(2) * a);
  }
  for (int64_t j = 1; j < nx; ++j) {
    const int64_t i = j - 1;
    const T a = k.at(i) - p.x[i], b = p.x[i + 1] - k.at(i), gi = g(i);
    c[3 * j] = y[i] + (s[i] + gi) * a / T(2);
    c[3 * j + 1] = gi;
    c[3 * j + 2] = (s[i + 1] - gi) / (T(2) * b);
  }
}

template <class T> int32_t quadratic(DfTask* t, const nrx_threading* th) {
  if (!t) return DFK_ERR_NULL_TASK;
  if (!valid_storage_hint(t->yhint)) return DFK_ERR_YHINT;
  const T* bc = static_cast<const T*>(t->bc);
  Variant v = kNone;
  if (t->type == DFK_TYPE_DEFAULT) {
    if (t->bc_type != DFK_BC_QUAD_MIDPOINT) return DFK_ERR_BC_TYPE;
    if (!bc) return DFK_ERR_BC;
  } else if (t->type == DFK_TYPE_QUAD_KNOTS) {
    if (!(t->ic_type & DFK_IC_QUAD_KNOTS)) return DFK_ERR_IC_TYPE;
    if (int32_t s = boundary_variant(t, false, false, &v)) return s;
    if (v < k1st1st || v > k2nd2nd) return DFK_ERR_BC_TYPE;
    if ((t->ic_type & DFK_IC_KNOTS_GIVEN) && !t->ic) return DFK_ERR_IC;
  } else {
    return DFK_ERR_METHOD;
  }
  if (t->nx < 2) return DFK_ERR_NX;
  if (int32_t s = check_storage(t)) return s;
  Prepared<T> p(t);
  if (!p.ok()) return DFK_ERR_ALLOC;
  const int64_t nx = t->nx, ny = t->ny;
  const int64_t nth = std::min(thread_count(th), ny);
  if (t->type == DFK_TYPE_DEFAULT) {
    Buffer<T> ws(size_t(2 * nx * nth));
    if (!ws) return DFK_ERR_ALLOC;
    run_blocks(th, ny, nth, [&](int64_t f, int64_t thread) {
      T* yb = ws.p + 2 * nx * thread;
      const T* y = function_values<T>(t, f, yb);
      quadratic_midpoint(p, y, bc[0], yb + nx, coeffs<T>(t, f));
    });
    return DFK_OK;
  }
  const QuadKnots<T> k(t, p.x);
  Buffer<T> ws(size_t(3 * nx + 2 * nx * nth));
  if (!ws) return DFK_ERR_ALLOC;
  T *dl = ws.p, *d = dl + nx, *du = d + nx;
  auto ab = [&](int64_t i, T* a, T* b) { *a = k.at(i) - p.x[i], *b = p.x[i + 1] - k.at(i); };
  for (int64_t i = 1; i + 1 < nx; ++i) {
    T ap, bp, ai, bi;
    ab(i - 1, &ap, &bp);
    ab(i, &ai, &bi);
    dl[i - 1] = ai * ap * p.inv[i - 1];
    d[i] = ai + ai * bp * p.inv[i - 1] + bp * ai * p.inv[i] + bp;
    du[i] = bp * bi * p.inv[i];
  }
  {
    T a, b;
    ab(0, &a, &b);
    if (left_first(v)) d[0] = 1, du[0] = 0;
    else d[0] = (a + p.h[0]) * p.inv[0], du[0] = b * p.inv[0];
    ab(nx - 2, &a, &b);
    if (right_first(v)) dl[nx - 2] = 0, d[nx - 1] = 1;
    else dl[nx - 2] = a * p.inv[nx - 2], d[nx - 1] = (p.h[nx - 2] + b) * p.inv[nx - 2];
  }
  if (Core<T>::tridiag_factor(int32_t(nx), dl, d, du)) return DFK_ERR_SOLVER;
  FirstError err;
  run_blocks(th, ny, nth, [&](int64_t f, int64_t thread) {
    T* yb = ws.p + 3 * nx + 2 * nx * thread;
    T* s = yb + nx;
    const T* y = function_values<T>(t, f, yb);
    auto m = [&](int64_t i) { return (y[i + 1] - y[i]) * p.inv[i]; };
    for (int64_t i = 1; i + 1 < nx; ++i) {
      T ap, bp, ai, bi;
      ab(i - 1, &ap, &bp);
      ab(i, &ai, &bi);
      s[i] = T(2) * ai * m(i - 1) + T(2) * bp * m(i);
    }
    T a, b;
    ab(0, &a, &b);
    s[0] = left_first(v) ? bc[0] : T(2) * m(0) - a * bc[0];
    ab(nx - 2, &a, &b);
    s[nx - 1] = right_first(v) ? bc[1] : T(2) * m(nx - 2) + b * bc[1];
    if (Core<T>::tridiag_solve(int32_t(nx), 1, dl, d, du, s, int32_t(nx))) {
      err.set(DFK_ERR_SOLVER);
      return;
    }
    quadratic_knots_coeffs(p, k, y, s, coeffs<T>(t, f));
  });
  return err.get();
}

}  // namespace
}  // namespace nrx::fit

using namespace nrx::fit;

extern "C" {
NRX_FIT_API int32_t nrx_df_kernel_dDFLinearSpline1D(DfTask* t, int64_t, int64_t method, const nrx_threading* th) {
  return linear<double>(t, method, th);
}
NRX_FIT_API int32_t nrx_df_kernel_sDFLinearSpline1D(DfTask* t, int64_t, int64_t method, const nrx_threading* th) {
  return linear<float>(t, method, th);
}
NRX_FIT_API int32_t nrx_df_kernel_dDFQuadraticSpline1D(DfTask* t, int64_t, int64_t, const nrx_threading* th) {
  return quadratic<double>(t, th);
}
NRX_FIT_API int32_t nrx_df_kernel_sDFQuadraticSpline1D(DfTask* t, int64_t, int64_t, const nrx_threading* th) {
  return quadratic<float>(t, th);
}
}
