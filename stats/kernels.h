// Accumulation kernels of the basic statistics over one block of observations, one
// algorithm for float and double. Deviations are taken from a centre c (0 for raw
// sums); out[k-1] receives sum of w (x - c)^k for k = 1..Order.
#pragma once
#include <cstdint>

#include "simd/vec.h"

namespace nrx::stats {

namespace sv = nrx::simd;

// Adds the powers of one register of deviations (and weights) into acc[0..Order).
template <class T, int Order, bool Weighted> inline void add_powers(sv::Reg<T>* acc, sv::Reg<T> d, sv::Reg<T> w) {
  sv::Reg<T> t = Weighted ? sv::mul(w, d) : d;  // w d
  acc[0] = sv::add(acc[0], t);
  if constexpr (Order >= 2) {
    acc[1] = sv::fma(t, d, acc[1]);
    if constexpr (Order >= 3) {
      const sv::Reg<T> t2 = sv::mul(t, d);  // w d^2
      acc[2] = sv::fma(t2, d, acc[2]);
      if constexpr (Order >= 4) acc[3] = sv::fma(t2, sv::mul(d, d), acc[3]);
    }
  }
}

template <class T> inline T reduce(sv::Reg<T> v) {
  alignas(64) T b[sv::lanes<T>];
  sv::store(b, v);
  T s = 0;
  for (int i = 0; i < sv::lanes<T>; ++i) s += b[i];
  return s;
}

// Contiguous values of one component (variable-major layout): x[0..m), weights w[0..m).
template <class T, int Order, bool Weighted> void segment_sums(const T* x, const T* w, int64_t m, T c, T* out) {
  constexpr int L = sv::lanes<T>;
  constexpr int U = 4;  // independent accumulator sets hide the add latency
  sv::Reg<T> acc[U][Order];
  for (auto& a : acc)
    for (auto& r : a) r = sv::splat(T(0));
  const sv::Reg<T> vc = sv::splat(c), one = sv::splat(T(1));
  int64_t i = 0;
  for (; i + U * L <= m; i += U * L)
    for (int u = 0; u < U; ++u) {
      const sv::Reg<T> d = sv::sub(sv::load(x + i + u * L), vc);
      add_powers<T, Order, Weighted>(acc[u], d, Weighted ? sv::load(w + i + u * L) : one);
    }
  for (; i < m; i += L) {
    const int64_t left = m - i;
    const auto mask = sv::first_lanes<sv::Mask<T>>(int(left < L ? left : L));
    const sv::Reg<T> d = sv::sub(sv::masked_load(x + i, mask, c), vc);  // masked lanes: d = 0
    add_powers<T, Order, Weighted>(acc[0], d, Weighted ? sv::masked_load(w + i, mask, T(0)) : one);
  }
  for (int k = 0; k < Order; ++k) {
    sv::Reg<T> s = acc[0][k];
    for (int u = 1; u < U; ++u) s = sv::add(s, acc[u][k]);
    out[k] = reduce<T>(s);
  }
}

// Observation-major rows with NV registers per row, all held in registers; U rows per step.
template <class T, int Order, bool Weighted, int NV>
void row_sums_fixed(const T* x, const T* w, int64_t m, int64_t p, const T* c, T* out) {
  constexpr int L = sv::lanes<T>, U = NV <= 2 ? 2 : 1;
  const int64_t pp = NV * L;
  sv::Mask<T> mask[NV];
  sv::Reg<T> vc[NV], acc[U][NV][Order];
  for (int v = 0; v < NV; ++v) {
    mask[v] = sv::first_lanes<sv::Mask<T>>(int(p - v * L < L ? p - v * L : L));
    vc[v] = sv::masked_load(c + v * L, mask[v], T(0));
    for (int u = 0; u < U; ++u)
      for (int k = 0; k < Order; ++k) acc[u][v][k] = sv::splat(T(0));
  }
  const sv::Reg<T> one = sv::splat(T(1));
  int64_t i = 0;
  for (; i + U <= m; i += U)
    for (int u = 0; u < U; ++u)
      for (int v = 0; v < NV; ++v) {
        const sv::Reg<T> d = sv::sub(sv::masked_load(x + (i + u) * p + v * L, mask[v], T(0)), vc[v]);
        add_powers<T, Order, Weighted>(acc[u][v], d, Weighted ? sv::splat(w[i + u]) : one);
      }
  for (; i < m; ++i)
    for (int v = 0; v < NV; ++v) {
      const sv::Reg<T> d = sv::sub(sv::masked_load(x + i * p + v * L, mask[v], T(0)), vc[v]);
      add_powers<T, Order, Weighted>(acc[0][v], d, Weighted ? sv::splat(w[i]) : one);
    }
  for (int v = 0; v < NV; ++v)
    for (int k = 0; k < Order; ++k) {
      sv::Reg<T> s = acc[0][v][k];
      for (int u = 1; u < U; ++u) s = sv::add(s, acc[u][v][k]);
      sv::store(out + k * pp + v * L, s);  // lanes past p hold 0
    }
}

// Observation-major rows: m rows of p values (row i at x + i p), centre c[0..p),
// out[(k-1) pp + j] for k = 1..Order, with pp = p rounded up to whole registers.
template <class T, int Order, bool Weighted>
void row_sums(const T* x, const T* w, int64_t m, int64_t p, const T* c, T* out) {
  constexpr int L = sv::lanes<T>;
  const int64_t nv = (p + L - 1) / L, pp = nv * L;
  switch (nv) {
    case 1: return row_sums_fixed<T, Order, Weighted, 1>(x, w, m, p, c, out);
    case 2: return row_sums_fixed<T, Order, Weighted, 2>(x, w, m, p, c, out);
    case 3: return row_sums_fixed<T, Order, Weighted, 3>(x, w, m, p, c, out);
    case 4: return row_sums_fixed<T, Order, Weighted, 4>(x, w, m, p, c, out);
    default: break;
  }
  // Wide rows: one register column at a time, two rows per step.
  const auto tail = sv::first_lanes<sv::Mask<T>>(int(p - (nv - 1) * L));
  const sv::Reg<T> one = sv::splat(T(1));
  for (int64_t v = 0; v < nv; ++v) {
    const auto mask = v == nv - 1 ? tail : sv::first_lanes<sv::Mask<T>>(L);
    const sv::Reg<T> vc = sv::masked_load(c + v * L, mask, T(0));
    sv::Reg<T> a[Order], b[Order];
    for (int k = 0; k < Order; ++k) a[k] = b[k] = sv::splat(T(0));
    const T* xv = x + v * L;
    int64_t i = 0;
    for (; i + 2 <= m; i += 2) {
      const sv::Reg<T> d0 = sv::sub(sv::masked_load(xv + i * p, mask, T(0)), vc);
      const sv::Reg<T> d1 = sv::sub(sv::masked_load(xv + (i + 1) * p, mask, T(0)), vc);
      add_powers<T, Order, Weighted>(a, d0, Weighted ? sv::splat(w[i]) : one);
      add_powers<T, Order, Weighted>(b, d1, Weighted ? sv::splat(w[i + 1]) : one);
    }
    if (i < m)
      add_powers<T, Order, Weighted>(a, sv::sub(sv::masked_load(xv + i * p, mask, T(0)), vc),
                                     Weighted ? sv::splat(w[i]) : one);
    for (int k = 0; k < Order; ++k) sv::store(out + k * pp + v * L, sv::add(a[k], b[k]));  // lanes past p hold 0
  }
}

// Cross-product of observation-major rows centred at c, upper triangle:
// P[r pp + s] += sum_i w_i (x_ir - c_r)(x_is - c_s) for r <= s. Eight rows per step: their
// deviations go to a small buffer `d` (8 pp reals, also kept in registers when NV > 0
// registers make a row) and each register of P takes eight multiply-adds per load and store.
template <class T, bool Weighted, int NV>
void outer_products_rows(const T* x, const T* w, int64_t m, int64_t p, const T* c, T* d, T* P) {
  constexpr int L = sv::lanes<T>, G = 8;
  const int64_t nv = NV > 0 ? NV : (p + L - 1) / L, pp = nv * L;
  const auto tail = sv::first_lanes<sv::Mask<T>>(int(p - (nv - 1) * L));
  constexpr int KV = NV > 0 ? NV : 1;
  sv::Reg<T> keep[G][KV];
  for (int64_t i = 0; i < m; i += G) {
    const int g = int(m - i < G ? m - i : G);
    for (int u = 0; u < G; ++u)
      for (int64_t v = 0; v < nv; ++v) {
        const auto mask = v == nv - 1 ? tail : sv::first_lanes<sv::Mask<T>>(L);
        sv::Reg<T> dv = sv::splat(T(0));
        if (u < g)
          dv = sv::sub(sv::masked_load(x + (i + u) * p + v * L, mask, T(0)), sv::masked_load(c + v * L, mask, T(0)));
        sv::store(d + u * pp + v * L, dv);  // lanes past p and rows past m hold 0
        if constexpr (NV > 0) keep[u][v] = dv;
      }
    T wt[G];
    for (int u = 0; u < G; ++u) wt[u] = Weighted && u < g ? w[i + u] : T(u < g ? 1 : 0);
    for (int64_t r = 0; r < p; ++r) {
      sv::Reg<T> s[G];
      for (int u = 0; u < G; ++u) s[u] = sv::splat(Weighted ? wt[u] * d[u * pp + r] : d[u * pp + r]);
      if constexpr (NV > 0) {
        for (int v = 0; v < NV; ++v) {  // fixed trip count: keep[][] stays in registers
          if (v < r / L) continue;
          sv::Reg<T> acc = sv::load(P + r * pp + v * L);
          for (int u = 0; u < G; ++u) acc = sv::fma(s[u], keep[u][v], acc);
          sv::store(P + r * pp + v * L, acc);
        }
      } else {
        for (int64_t v = r / L; v < nv; ++v) {
          sv::Reg<T> acc = sv::load(P + r * pp + v * L);
          for (int u = 0; u < G; ++u) acc = sv::fma(s[u], sv::load(d + u * pp + v * L), acc);
          sv::store(P + r * pp + v * L, acc);
        }
      }
    }
  }
}

template <class T, bool Weighted>
void outer_products(const T* x, const T* w, int64_t m, int64_t p, const T* c, T* d, T* P) {
  switch ((p + sv::lanes<T> - 1) / sv::lanes<T>) {
    case 1: return outer_products_rows<T, Weighted, 1>(x, w, m, p, c, d, P);
    case 2: return outer_products_rows<T, Weighted, 2>(x, w, m, p, c, d, P);
    default: return outer_products_rows<T, Weighted, 0>(x, w, m, p, c, d, P);
  }
}

// Cross-product of centred component segments (variable-major): d holds p rows of ms
// values (ms a multiple of the register width, zero-padded), dw the same rows times the
// weights (or d itself). P[r pp + s] += sum_i dw_ri d_si for r <= s; two rows of P by four
// columns per sweep (entries below the diagonal may be written and are not used).
template <class T> void segment_products(const T* d, const T* dw, int64_t ms, int64_t p, int64_t pp, T* P) {
  constexpr int L = sv::lanes<T>;
  for (int64_t r = 0; r < p; r += 2) {
    const bool two = r + 1 < p;
    const T* a0 = dw + r * ms;
    const T* a1 = two ? a0 + ms : a0;
    int64_t s = r;
    for (; s + 4 <= p; s += 4) {
      sv::Reg<T> c[2][4];
      for (auto& row : c)
        for (auto& e : row) e = sv::splat(T(0));
      const T* b = d + s * ms;
      for (int64_t i = 0; i < ms; i += L) {
        const sv::Reg<T> x0 = sv::load(a0 + i), x1 = sv::load(a1 + i);
        for (int k = 0; k < 4; ++k) {
          const sv::Reg<T> y = sv::load(b + k * ms + i);
          c[0][k] = sv::fma(x0, y, c[0][k]);
          c[1][k] = sv::fma(x1, y, c[1][k]);
        }
      }
      for (int k = 0; k < 4; ++k) {
        P[r * pp + s + k] += reduce<T>(c[0][k]);
        if (two) P[(r + 1) * pp + s + k] += reduce<T>(c[1][k]);
      }
    }
    for (; s < p; ++s) {
      sv::Reg<T> c0 = sv::splat(T(0)), c1 = c0;
      const T* b = d + s * ms;
      for (int64_t i = 0; i < ms; i += L) {
        const sv::Reg<T> y = sv::load(b + i);
        c0 = sv::fma(sv::load(a0 + i), y, c0);
        c1 = sv::fma(sv::load(a1 + i), y, c1);
      }
      P[r * pp + s] += reduce<T>(c0);
      if (two) P[(r + 1) * pp + s] += reduce<T>(c1);
    }
  }
}

}  // namespace nrx::stats
