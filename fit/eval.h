// Evaluation pieces shared by interpolation and integration: the interpolant
// kind of a task, the piece that serves each site and vectorised Horner
// evaluation of values and derivatives.
#pragma once

#include "fit/common.h"
#include "fit/quad_knots.h"
#include "simd/index32.h"

namespace nrx::fit {

enum class Interp { Poly, QuadKnots, StepLeft, StepRight, Lookup, User };

// Kind of the task's interpolant; -1011 for an unsupported order/type.
inline int32_t interp_kind(const DfTask* t, bool have_user, Interp* k) {
  const int64_t o = t->order, ty = t->type;
  if (o == 2 || o > 4) {
    *k = Interp::Poly;
  } else if (o == 3 && ty == 0) {
    *k = Interp::Poly;
  } else if (o == 3 && ty == 1) {
    *k = Interp::QuadKnots;
  } else if (o == 4 && (ty == 0 || ty == 2 || ty == 3 || ty == 4 || ty == 5 || ty == 9)) {
    *k = Interp::Poly;
  } else if (o == 0 && ty == DFK_TYPE_STEP_LEFT) {
    *k = Interp::StepLeft;
  } else if (o == 0 && ty == DFK_TYPE_STEP_RIGHT) {
    *k = Interp::StepRight;
  } else if (o == 0 && ty == DFK_TYPE_LOOKUP) {
    *k = Interp::Lookup;
  } else if (o == 0 && have_user) {
    *k = Interp::User;
  } else {
    return DFK_ERR_TYPE;
  }
  return DFK_OK;
}

// Piece and its left end for each site of a block, from the sites' cells.
template <class T> struct PieceMap {
  Grid<T> g;
  bool knots;
  QuadKnots<T> k;
  int64_t npieces;
  PieceMap(const DfTask* t, bool quad_knots)
      : g(t), knots(quad_knots), k(t, g.uniform ? nullptr : g.x), npieces(quad_knots ? t->nx : t->nx - 1) {}

  // Interval of the partition (not the piece) for a cell.
  int64_t interval(int32_t c) const { return std::clamp<int64_t>(int64_t(c) - 1, 0, g.nx - 2); }
  // Left end of piece j.
  T left(int64_t j) const {
    if (!knots) return g.at(j);
    return j == 0 ? g.x0 : k.at(j - 1);
  }
  T right(int64_t j) const {
    if (!knots) return g.at(j + 1);
    return j == g.nx - 1 ? g.xl : k.at(j);
  }
  int64_t piece(int32_t c, T t) const {
    const int64_t i = interval(c);
    return knots && t >= k.at(i) ? i + 1 : i;
  }

  void map(int64_t n, const T* site, const int32_t* cell, int32_t* piece_out, T* base) const {
    using namespace simd;
    if (!knots) {
      const auto lo = splat32<T>(0), hi = splat32<T>(int32_t(g.nx - 2)), one = splat32<T>(1);
      for (int64_t i = 0; i < n; i += lanes<T>) {
        const auto m = tail<T>(n - i);
        const auto p = min32(max32(sub32(masked_load(cell + i, m, 0), one), lo), hi);
        masked_store(piece_out + i, m, p);
        const auto b = g.uniform ? fma(to_real(p), splat(g.h), splat(g.x0)) : gather(g.x, p, m, splat(T(0)));
        masked_store(base + i, m, b);
      }
      return;
    }
    for (int64_t i = 0; i < n; ++i) {
      const int64_t j = piece(cell[i], site[i]);
      piece_out[i] = int32_t(j);
      base[i] = left(j);
    }
  }
};

// j! / (j - q)!
template <class T> inline T falling(int64_t j, int64_t q) {
  T f = 1;
  for (int64_t i = 0; i < q; ++i) f *= T(j - i);
  return f;
}

// Derivative q of the cubic c[0] + c[1] u + c[2] u^2 + c[3] u^3, lane by lane.
template <class T> inline simd::Reg<T> cubic_derivative(int64_t q, const simd::Reg<T> c[4], simd::Reg<T> u) {
  using namespace simd;
  switch (q) {
    case 0: return fma(fma(fma(c[3], u, c[2]), u, c[1]), u, c[0]);
    case 1: return fma(fma(mul(splat(T(3)), c[3]), u, mul(splat(T(2)), c[2])), u, c[1]);
    case 2: return fma(mul(splat(T(6)), c[3]), u, mul(splat(T(2)), c[2]));
    case 3: return mul(splat(T(6)), c[3]);
    default: return splat(T(0));
  }
}

// Derivatives ders[0..nres-1] of the pieces `piece` of coefficient block c
// (order K) at sites u = site - base; out[k*ld + s]. `contiguous`: neighbouring
// sites tend to share pieces (sorted sites), so whole pieces are loaded and
// transposed instead of gathered.
template <class T> void horner_block(int64_t K, const T* c, int64_t n, const int32_t* piece, const T* base,
                                     const T* site, int64_t nres, const int64_t* ders, T* out, int64_t ld,
                                     bool contiguous) {
  using namespace simd;
  constexpr int W = lanes<T>;
  const auto z = splat(T(0));
  if (K == 4) {
    // The cubic case keeps all four coefficients in registers.
    for (int64_t i = 0; i < n; i += W) {
      const auto m = tail<T>(n - i);
      const auto u = sub(masked_load(site + i, m, T(0)), masked_load(base + i, m, T(0)));
      Reg<T> cq[4];
      bool rows = false;
      if constexpr (sizeof(T) == 8) {
        rows = contiguous && n - i >= W;
        if (rows) gather_rows4(c, piece + i, cq);
      }
      if (!rows) {
        const auto p = shift_left32<2>(masked_load(piece + i, m, 0));
        for (int q = 0; q < 4; ++q) cq[q] = gather(c + q, p, m, z);
      }
      for (int64_t k = 0; k < nres; ++k) masked_store(out + k * ld + i, m, cubic_derivative<T>(ders[k], cq, u));
    }
    return;
  }
  for (int64_t i = 0; i < n; i += W) {
    const auto m = tail<T>(n - i);
    const auto p = masked_load(piece + i, m, 0);
    const auto pk = K == 2 ? add32(p, p) : add32(add32(p, p), p);
    const auto u = sub(masked_load(site + i, m, T(0)), masked_load(base + i, m, T(0)));
    for (int64_t k = 0; k < nres; ++k) {
      const int64_t q = ders[k];
      auto acc = z;
      for (int64_t j = K - 1; j >= q; --j) {
        Reg<T> cj;
        if (K == 2 || K == 3) {
          cj = gather(c + j, pk, m, z);
        } else {
          alignas(64) int32_t lane[16];
          alignas(64) T vals[16];
          masked_store(lane, m, p);
          for (int l = 0; l < W; ++l) vals[l] = (i + l < n) ? c[int64_t(lane[l]) * K + j] : T(0);
          cj = load(vals);
        }
        acc = fma(acc, u, mul(cj, splat(falling<T>(j, q))));
      }
      masked_store(out + k * ld + i, m, acc);
    }
  }
}

}  // namespace nrx::fit
