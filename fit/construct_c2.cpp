// Twice continuously differentiable cubic splines: the natural kernel solves
// for the first derivatives, the default kernel for the second derivatives,
// both with the core tridiagonal solvers. The tridiagonal matrix depends only
// on the partition: it is factored once per construction.
// Periodic conditions give a cyclic system, solved by the Sherman-Morrison
// correction on top of the same factorisation.
#include "fit/construct_common.h"

namespace nrx::fit {
namespace {

enum class Form { First, Second };

// Shape of the solved system for one (form, variant, nx).
template <class T> struct Shape {
  int64_t n = 0;    // unknowns solved
  int64_t off = 0;  // breakpoint of the first unknown
  bool cyclic = false;
  bool direct = false;  // small cases solved in closed form
  T alpha = 0, gamma = 1;
};

template <class T> Shape<T> shape_of(Form f, Variant v, int64_t nx) {
  Shape<T> s;
  s.n = nx;
  if (v == kPeriodic) {
    s.cyclic = true;
    s.n = nx - 1;
    s.direct = s.n <= 2;
  } else if (v == kNotAKnot) {
    s.direct = nx == 3;
    if (f == Form::Second) {
      s.n = nx - 2;
      s.off = 1;
    }
  }
  return s;
}

// Matrix rows of the system; for cyclic systems the Sherman-Morrison-modified matrix.
template <class T> void build_matrix(Form f, Variant v, const Prepared<T>& p, Shape<T>& s, T* dl, T* d, T* du) {
  const T* h = p.h;
  const int64_t nx = p.nx;
  if (s.cyclic) {
    const int64_t N = s.n;
    auto hh = [&](int64_t i) { return h[(i + N) % N]; };
    for (int64_t i = 0; i < N; ++i) {
      d[i] = T(2) * (hh(i - 1) + hh(i));
      if (i + 1 < N) {
        du[i] = f == Form::First ? hh(i - 1) : hh(i);
        dl[i] = f == Form::First ? hh(i + 1) : hh(i);
      }
    }
    // Corners A[0][N-1] and A[N-1][0].
    const T a0 = f == Form::First ? h[0] : h[N - 1];
    const T bN = f == Form::First ? h[N - 2] : h[N - 1];
    // A = B + u v^T with u = (gamma, 0, ..., bN), v = (1, 0, ..., a0/gamma).
    s.gamma = -d[0];
    s.alpha = a0;
    d[0] -= s.gamma;
    d[N - 1] -= a0 * bN / s.gamma;
    dl[N - 1] = bN;  // past the N-1 sub-diagonal entries: keeps bN for the vector u
    return;
  }
  // Interior rows, indexed by breakpoint i = 1..nx-2, stored at i - off.
  for (int64_t i = 1; i + 1 < nx; ++i) {
    const int64_t r = i - s.off;
    if (f == Form::First) {
      d[r] = T(2) * (h[i - 1] + h[i]);
      if (r > 0) dl[r - 1] = h[i];
      du[r] = h[i - 1];
    } else {
      d[r] = T(2) * (h[i - 1] + h[i]);
      if (r > 0) dl[r - 1] = h[i - 1];
      if (r + 1 < s.n) du[r] = h[i];
    }
  }
  const int64_t n = s.n;
  if (f == Form::First) {
    switch (v) {
      case kNotAKnot:
        d[0] = h[1], du[0] = h[0] + h[1];
        dl[n - 2] = h[nx - 2] + h[nx - 3], d[n - 1] = h[nx - 3];
        break;
      case kFree: d[0] = 2, du[0] = 1, dl[n - 2] = 1, d[n - 1] = 2; break;
      default:
        if (left_first(v)) d[0] = 1, du[0] = 0;
        else d[0] = 2, du[0] = 1;
        if (right_first(v)) dl[n - 2] = 0, d[n - 1] = 1;
        else dl[n - 2] = 1, d[n - 1] = 2;
    }
    return;
  }
  switch (v) {
    case kNotAKnot: {
      const T h0 = h[0], h1 = h[1], hb = h[nx - 3], hc = h[nx - 2];
      if (n == 1) {
        // nx = 3 is solved directly; keep a valid 1x1 system.
        d[0] = 1;
        break;
      }
      d[0] = (h0 + h1) * (h0 + T(2) * h1), du[0] = h1 * h1 - h0 * h0;
      dl[n - 2] = hb * hb - hc * hc, d[n - 1] = (hb + hc) * (T(2) * hb + hc);
      break;
    }
    default:
      if (left_first(v)) d[0] = T(2) * h[0], du[0] = h[0];
      else d[0] = 1, du[0] = 0;
      if (right_first(v)) dl[n - 2] = h[nx - 2], d[n - 1] = T(2) * h[nx - 2];
      else dl[n - 2] = 0, d[n - 1] = 1;
  }
}

// Right-hand side of one function, rows as in build_matrix.
template <class T>
void build_rhs(Form f, Variant v, const Prepared<T>& p, const Shape<T>& s, const T* y, const T* bc, T* b) {
  const T* h = p.h;
  const int64_t nx = p.nx;
  auto m = [&](int64_t i) { return (y[i + 1] - y[i]) * p.inv[i]; };
  if (s.cyclic) {
    const int64_t N = s.n;
    for (int64_t i = 0; i < N; ++i) {
      const int64_t im = (i + N - 1) % N;
      b[i] = f == Form::First ? T(3) * (h[i] * m(im) + h[im] * m(i)) : T(6) * (m(i) - m(im));
    }
    return;
  }
  for (int64_t i = 1; i + 1 < nx; ++i)
    b[i - s.off] = f == Form::First ? T(3) * (h[i] * m(i - 1) + h[i - 1] * m(i)) : T(6) * (m(i) - m(i - 1));
  const int64_t n = s.n;
  const T bl = bc ? bc[0] : T(0), br = bc ? bc[1] : T(0);
  if (f == Form::First) {
    const T ml = m(0), mr = m(nx - 2);
    if (v == kNotAKnot) {
      const T h0 = h[0], h1 = h[1], hb = h[nx - 3], hc = h[nx - 2];
      b[0] = ((h0 + T(2) * (h0 + h1)) * h1 * ml + h0 * h0 * m(1)) / (h0 + h1);
      b[n - 1] = (hc * hc * m(nx - 3) + (T(2) * (hb + hc) + hc) * hb * mr) / (hb + hc);
      return;
    }
    b[0] = v == kFree ? T(3) * ml : left_first(v) ? bl : T(3) * ml - h[0] * bl / T(2);
    b[n - 1] = v == kFree ? T(3) * mr : right_first(v) ? br : T(3) * mr + h[nx - 2] * br / T(2);
    return;
  }
  if (v == kNotAKnot) {
    if (n == 1) return;
    b[0] *= h[1];
    b[n - 1] *= h[nx - 3];
    return;
  }
  b[0] = v == kFree ? T(0) : left_first(v) ? T(6) * (m(0) - bl) : bl;
  b[n - 1] = v == kFree ? T(0) : right_first(v) ? T(6) * (br - m(nx - 2)) : br;
}

// Closed forms of the small systems: nx = 3 not-a-knot (the parabola), periodic with nx <= 3.
template <class T> void solve_direct(Form f, Variant v, const Prepared<T>& p, const T* y, T* out) {
  const T* h = p.h;
  const T m0 = (y[1] - y[0]) * p.inv[0];
  if (v == kNotAKnot) {
    const T m1 = (y[2] - y[1]) * p.inv[1], c = (m1 - m0) / (h[0] + h[1]);
    if (f == Form::First) {
      out[0] = m0 - c * h[0], out[1] = m0 + c * h[0], out[2] = m0 + c * (h[0] + T(2) * h[1]);
    } else {
      out[0] = out[1] = out[2] = T(2) * c;
    }
    return;
  }
  if (p.nx == 2) {
    out[0] = out[1] = f == Form::First ? m0 : T(0);
    return;
  }
  const T m1 = (y[2] - y[1]) * p.inv[1], S = h[0] + h[1];
  if (f == Form::First) {
    out[0] = out[1] = out[2] = (h[0] * m1 + h[1] * m0) / S;
  } else {
    out[0] = out[2] = T(6) * (m0 - m1) / S;
    out[1] = -out[0];
  }
}

// Turns a solved column into the values at all nx breakpoints.
template <class T> void finish_column(Form f, Variant v, const Prepared<T>& p, const Shape<T>& s, const T* z, T* col) {
  const int64_t nx = p.nx;
  if (s.cyclic) {
    const int64_t N = s.n;
    const T va = s.alpha / s.gamma;
    const T fac = (col[0] + va * col[N - 1]) / (T(1) + z[0] + va * z[N - 1]);
    for (int64_t i = 0; i < N; ++i) col[i] -= fac * z[i];
    col[N] = col[0];
    return;
  }
  if (f == Form::Second && v == kNotAKnot) {
    const T* h = p.h;
    for (int64_t i = s.n; i > 0; --i) col[i] = col[i - 1];
    col[0] = ((h[0] + h[1]) * col[1] - h[0] * col[2]) / h[1];
    const T hb = h[nx - 3], hc = h[nx - 2];
    col[nx - 1] = ((hb + hc) * col[nx - 2] - hc * col[nx - 3]) / hb;
  }
}

template <class T> int32_t build_c2(DfTask* t, Form form, Variant v, const nrx_threading* th) {
  const int64_t nx = t->nx, ny = t->ny;
  if (v == kPeriodic) {
    int32_t s = check_periodic<T>(t);
    if (s) return s;
  }
  using Solver = Core<T>;
  Prepared<T> p(t);
  if (!p.ok()) return DFK_ERR_ALLOC;
  Shape<T> s = shape_of<T>(form, v, nx);
  const int64_t nt = std::min<int64_t>(thread_count(th), ny);
  const bool parallel = ny > 1 && nt > 1 && nx >= 300 && (nx >= 600 || nt >= 8);
  const int64_t nb = parallel ? nt : 1;
  // dl, d, du, z, one column of nx per function, one y buffer of nx per block.
  Buffer<T> ws(size_t(4 * nx + nx * ny + nx * nb + 8));
  if (!ws) return DFK_ERR_ALLOC;
  T *dl = ws.p, *d = dl + nx, *du = d + nx, *z = du + nx, *cols = z + nx, *ybuf = cols + nx * ny;
  const T* bc = static_cast<const T*>(t->bc);
  const int32_t n = int32_t(s.n), ldb = int32_t(nx);
  const bool single = ny == 1 && !s.cyclic && !s.direct;
  if (!s.direct) {
    build_matrix(form, v, p, s, dl, d, du);
    if (s.cyclic) {
      const T bN = dl[s.n - 1];
      for (int64_t i = 0; i < s.n; ++i) z[i] = 0;
      z[0] = s.gamma;
      z[s.n - 1] = bN;
    }
    if (!single) {
      if (Solver::tridiag_factor(n, dl, d, du)) return DFK_ERR_SOLVER;
      if (s.cyclic && Solver::tridiag_solve(n, 1, dl, d, du, z, ldb)) return DFK_ERR_SOLVER;
    }
  }
  FirstError err;
  const int64_t per = (ny + nb - 1) / nb;
  run_blocks(th, nb, nb, [&](int64_t b, int64_t) {
    const int64_t f0 = b * per, f1 = std::min(ny, f0 + per);
    if (f0 >= f1) return;
    T* yb = ybuf + nx * b;
    for (int64_t fn = f0; fn < f1; ++fn) {
      const T* y = function_values<T>(t, fn, yb);
      if (s.direct) solve_direct(form, v, p, y, cols + nx * fn);
      else build_rhs(form, v, p, s, y, bc, cols + nx * fn);
    }
    if (!s.direct) {
      const int32_t st = single ? Solver::tridiag_factor_solve(n, dl, d, du, cols, ldb)
                                : Solver::tridiag_solve(n, int32_t(f1 - f0), dl, d, du, cols + nx * f0, ldb);
      if (st) {
        err.set(DFK_ERR_SOLVER);
        return;
      }
    }
    for (int64_t fn = f0; fn < f1; ++fn) {
      T* col = cols + nx * fn;
      const T* y = function_values<T>(t, fn, yb);
      if (!s.direct) finish_column(form, v, p, s, z, col);
      if (form == Form::First) cubic_from_first(p, y, col, 0, nx - 1, coeffs<T>(t, fn));
      else cubic_from_second(p, y, col, coeffs<T>(t, fn));
    }
  });
  return err.get();
}

template <class T> int32_t natural(DfTask* t, int64_t method, const nrx_threading* th) {
  if (!t) return DFK_ERR_NULL_TASK;
  if (method != 0) return DFK_ERR_METHOD;
  if (t->nx < 2) return DFK_ERR_NX;
  if (!valid_storage_hint(t->yhint)) return DFK_ERR_YHINT;
  Variant v;
  if (int32_t s = boundary_variant(t, false, false, &v)) return s;
  if (v == kNotAKnot && t->nx < 3) return DFK_ERR_NX;
  if (int32_t s = check_storage(t)) return s;
  return build_c2<T>(t, Form::First, v, th);
}

template <class T> int32_t default_cubic(DfTask* t, const nrx_threading* th) {
  if (!t) return DFK_ERR_NULL_TASK;
  if (t->nx < 3) return DFK_ERR_NX;
  if (!valid_storage_hint(t->yhint)) return DFK_ERR_YHINT;
  Variant v;
  if (int32_t s = boundary_variant(t, false, false, &v)) return s;
  if (int32_t s = check_storage(t)) return s;
  return build_c2<T>(t, Form::Second, v, th);
}

}  // namespace
}  // namespace nrx::fit

using namespace nrx::fit;

extern "C" {
NRX_FIT_API int32_t nrx_df_kernel_dDFNaturalCubicSpline1D(DfTask* t, int64_t, int64_t method, const nrx_threading* th) {
  return natural<double>(t, method, th);
}
NRX_FIT_API int32_t nrx_df_kernel_sDFNaturalCubicSpline1D(DfTask* t, int64_t, int64_t method, const nrx_threading* th) {
  return natural<float>(t, method, th);
}
NRX_FIT_API int32_t nrx_df_kernel_dDFDefaultCubicSpline1D(DfTask* t, int64_t, int64_t, const nrx_threading* th) {
  return default_cubic<double>(t, th);
}
NRX_FIT_API int32_t nrx_df_kernel_sDFDefaultCubicSpline1D(DfTask* t, int64_t, int64_t, const nrx_threading* th) {
  return default_cubic<float>(t, th);
}
}
