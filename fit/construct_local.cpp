// Local cubic splines: the first derivative at each breakpoint comes from the
// data nearby (Hermite: given; Bessel: the parabola through three points;
// Hyman: Bessel with a monotonicity limiter; Akima: weighted slopes), the end
// derivatives from the boundary condition. Work runs in blocks of 2048
// breakpoints x 4 functions through the threading table.
#include "fit/construct_common.h"

namespace nrx::fit {
namespace {

enum class Kind { Hermite, Bessel, Hyman, Akima };

struct KindEntry {
  Kind kind;
  int64_t min_nx;
  bool allow_none;      // boundary type 0 accepted
  bool periodic_array;  // periodic condition reads bc[0]
};
constexpr KindEntry kKinds[] = {
    {Kind::Hermite, 3, false, true},
    {Kind::Bessel, 4, false, false},
    {Kind::Hyman, 4, false, false},
    {Kind::Akima, 5, true, false},
};

template <class T> struct Local {
  const Prepared<T>& p;
  const T* y;
  const T* ic;
  const T* bc;
  Kind kind;
  Variant v;
  int64_t nx;

  T m(int64_t i) const {
    if (v == kPeriodic) {
      const int64_t N = nx - 1;
      i = ((i % N) + N) % N;
    } else if (i < 0) {
      // Akima's extension of the slopes beyond the ends.
      const T m0 = m(0), m1 = m(1);
      return i == -1 ? T(2) * m0 - m1 : T(3) * m0 - T(2) * m1;
    } else if (i > nx - 2) {
      const T a = m(nx - 2), b = m(nx - 3);
      return i == nx - 1 ? T(2) * a - b : T(3) * a - T(2) * b;
    }
    return (y[i + 1] - y[i]) * p.inv[i];
  }
  T h(int64_t i) const {
    const int64_t N = nx - 1;
    return p.h[((i % N) + N) % N];
  }

  T bessel(int64_t i) const { return (h(i) * m(i - 1) + h(i - 1) * m(i)) / (h(i - 1) + h(i)); }

  static T limit(T d, T ma, T mb) {
    const T prod = ma * mb;
    if (std::isnan(prod)) return d;
    if (!(prod > T(0))) return T(0);
    const T bound = T(3) * std::min(std::fabs(ma), std::fabs(mb));
    if (std::isnan(bound)) return d;
    return std::copysign(std::min(std::fabs(d), bound), d);
  }

  T akima(int64_t i) const {
    const T w1 = std::fabs(m(i + 1) - m(i)), w2 = std::fabs(m(i - 1) - m(i - 2));
    const T den = w1 + w2;
    if (std::fabs(double(den)) < 1e-6) return (m(i - 1) + m(i)) / T(2);
    return (w1 * m(i - 1) + w2 * m(i)) / den;
  }

  // Derivative at an interior breakpoint (and at the ends for the periodic condition).
  T interior(int64_t i) const {
    switch (kind) {
      case Kind::Hermite: return ic[i - 1];
      case Kind::Bessel: return bessel(i);
      case Kind::Hyman: return limit(bessel(i), m(i - 1), m(i));
      case Kind::Akima: return akima(i);
    }
    return T(0);
  }

  // Cubic through (x0,y0), (x1,y1), (x2,y2) with slope d1 at x1; its slope at x0
  // (sign -1, left end) or x2 (sign +1, right end), h0/h1 the steps before/after x1.
  static T not_a_knot(T d1, T ha, T hb, T ma, T mb, bool right) {
    const T a = ((mb - d1) * ha * ha + (d1 - ma) * hb * hb) / (ha * hb * (ha + hb));
    const T b = ((mb - d1) - a * hb) / (hb * hb);
    return right ? d1 + T(2) * a * hb + T(3) * b * hb * hb : d1 - T(2) * a * ha + T(3) * b * ha * ha;
  }

  T left_end(T d1) const {
    const T m0 = m(0);
    switch (v) {
      case kNotAKnot: return not_a_knot(d1, p.h[0], p.h[1], m0, m(1), false);
      case kFree: return T(1.5) * m0 - T(0.5) * d1;
      case kNone: return (T(3) * m0 - m(1)) / T(2);
      default:
        if (left_first(v)) return bc[0];
        return T(1.5) * m0 - T(0.5) * d1 - T(0.25) * p.h[0] * bc[0];
    }
  }
  T right_end(T dn) const {
    const T mr = m(nx - 2);
    switch (v) {
      case kNotAKnot: return not_a_knot(dn, p.h[nx - 3], p.h[nx - 2], m(nx - 3), mr, true);
      case kFree: return T(1.5) * mr - T(0.5) * dn;
      case kNone: return (T(3) * mr - m(nx - 3)) / T(2);
      default:
        if (right_first(v)) return bc[1];
        return T(1.5) * mr - T(0.5) * dn + T(0.25) * p.h[nx - 2] * bc[1];
    }
  }

  T at(int64_t i) const {
    if (i > 0 && i < nx - 1) return interior(i);
    if (v == kPeriodic) return kind == Kind::Hermite ? bc[0] : interior(0);
    T d = i == 0 ? left_end(interior(1)) : right_end(interior(nx - 2));
    if (kind == Kind::Hyman) d = i == 0 ? limit(d, m(0), m(0)) : limit(d, m(nx - 2), m(nx - 2));
    return d;
  }
};

constexpr int64_t kPointBlock = 2048, kFuncBlock = 4;

template <class T> int32_t build_local(DfTask* t, Kind kind, const nrx_threading* th) {
  if (!t) return DFK_ERR_NULL_TASK;
  const KindEntry* e = nullptr;
  for (const auto& k : kKinds)
    if (k.kind == kind) e = &k;
  if (t->nx < e->min_nx) return DFK_ERR_NX;
  if (!valid_storage_hint(t->yhint)) return DFK_ERR_YHINT;
  Variant v;
  if (int32_t s = boundary_variant(t, e->allow_none, e->periodic_array, &v)) return s;
  if (kind == Kind::Hermite && !t->ic) return DFK_ERR_IC;
  if (int32_t s = check_storage(t)) return s;
  if (v == kPeriodic)
    if (int32_t s = check_periodic<T>(t)) return s;
  Prepared<T> p(t);
  if (!p.ok()) return DFK_ERR_ALLOC;
  const int64_t nx = t->nx, ny = t->ny;
  const bool cols = column_storage(t);
  const int64_t npb = (nx - 1 + kPointBlock - 1) / kPointBlock, nfb = (ny + kFuncBlock - 1) / kFuncBlock;
  const int64_t nth = thread_count(th);
  Buffer<T> ybuf(cols ? size_t(nx * ny) : 1);
  if (!ybuf) return DFK_ERR_ALLOC;
  if (cols)
    for (int64_t f = 0; f < ny; ++f) function_values<T>(t, f, ybuf.p + f * nx);
  Buffer<T> dbuf(size_t(std::min(nth, npb * nfb)) * (kPointBlock + 1));
  if (!dbuf) return DFK_ERR_ALLOC;
  run_blocks(th, npb * nfb, nth, [&](int64_t blk, int64_t thread) {
    const int64_t pb = blk % npb, fb = blk / npb;
    const int64_t i0 = pb * kPointBlock, i1 = std::min(nx - 1, i0 + kPointBlock);
    T* d = dbuf.p + thread * (kPointBlock + 1);
    for (int64_t f = fb * kFuncBlock; f < std::min(ny, (fb + 1) * kFuncBlock); ++f) {
      const T* y = cols ? ybuf.p + f * nx : Values<T>(t).p[f];
      const Local<T> L{p, y, static_cast<const T*>(t->ic), static_cast<const T*>(t->bc), kind, v, nx};
      for (int64_t i = i0; i <= i1; ++i) d[i - i0] = L.at(i);
      cubic_from_first(p, y, d - i0, i0, i1, coeffs<T>(t, f));
    }
  });
  return DFK_OK;
}

}  // namespace
}  // namespace nrx::fit

using namespace nrx::fit;

extern "C" {
#define NRX_DF_LOCAL_EXPORT(name, kind)                                                             \
  NRX_FIT_API int32_t nrx_df_kernel_d##name(DfTask* t, int64_t, int64_t, const nrx_threading* th) { \
    return build_local<double>(t, kind, th);                                                        \
  }                                                                                                 \
  NRX_FIT_API int32_t nrx_df_kernel_s##name(DfTask* t, int64_t, int64_t, const nrx_threading* th) { \
    return build_local<float>(t, kind, th);                                                         \
  }
NRX_DF_LOCAL_EXPORT(DFHermiteCubicSpline1D, Kind::Hermite)
NRX_DF_LOCAL_EXPORT(DFBesselCubicSpline1D, Kind::Bessel)
NRX_DF_LOCAL_EXPORT(DFHymanCubicSpline1D, Kind::Hyman)
NRX_DF_LOCAL_EXPORT(DFAkimaCubicSpline1D, Kind::Akima)
}
