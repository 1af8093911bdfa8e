// Evaluation pieces shared by interpolation and integration: the interpolant
// kind of a task, the piece that serves each site and vectorised Horner
// evaluation of values and derivatives.
#pragma once

#include "fit/common.h"
#include "fit/quad_knots.h"
#include "fit/simd.h"

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
template <class T>
struct PieceMap {
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
        using S = simd::V<T>;
        if (!knots) {
            const auto lo = S::iset1(0), hi = S::iset1(int32_t(g.nx - 2)), one = S::iset1(1);
            for (int64_t i = 0; i < n; i += S::W) {
                const auto m = S::tail(n - i);
                auto p = S::iload(m, cell + i);
                p = S::imin(S::imax(S::isub(p, one), lo), hi);
                S::istore(piece_out + i, m, p);
                typename S::reg b;
                if (g.uniform)
                    b = S::fma(S::to_real(p), S::set1(g.h), S::set1(g.x0));
                else
                    b = S::gather(S::zero(), m, p, g.x);
                S::store(base + i, m, b);
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
template <class T>
inline T falling(int64_t j, int64_t q) {
    T f = 1;
    for (int64_t i = 0; i < q; ++i) f *= T(j - i);
    return f;
}

// The four coefficients of eight cubic pieces: one 256-bit load per piece and
// a transpose, cheaper than four gathers.
inline void load_cubic_pieces(const double* c, const int32_t* piece, __m512d& c0, __m512d& c1, __m512d& c2,
                              __m512d& c3) {
    auto pair = [&](int k) {
        const __m256d a = _mm256_loadu_pd(c + 4 * int64_t(piece[k]));
        const __m256d b = _mm256_loadu_pd(c + 4 * int64_t(piece[k + 1]));
        return _mm512_insertf64x4(_mm512_castpd256_pd512(a), b, 1);
    };
    const __m512d v01 = pair(0), v23 = pair(2), v45 = pair(4), v67 = pair(6);
    // lo: a0c0 a2c0 a0c2 a2c2 a1c0 a3c0 a1c2 a3c2 (hi: the same with c1, c3)
    const __m512d lo03 = _mm512_unpacklo_pd(v01, v23), hi03 = _mm512_unpackhi_pd(v01, v23);
    const __m512d lo47 = _mm512_unpacklo_pd(v45, v67), hi47 = _mm512_unpackhi_pd(v45, v67);
    const __m512i even = _mm512_setr_epi64(0, 4, 1, 5, 8, 12, 9, 13);
    const __m512i odd = _mm512_setr_epi64(2, 6, 3, 7, 10, 14, 11, 15);
    c0 = _mm512_permutex2var_pd(lo03, even, lo47);
    c2 = _mm512_permutex2var_pd(lo03, odd, lo47);
    c1 = _mm512_permutex2var_pd(hi03, even, hi47);
    c3 = _mm512_permutex2var_pd(hi03, odd, hi47);
}

// Derivatives ders[0..nres-1] of the pieces `piece` of coefficient block c
// (order K) at sites u = site - base; out[k*ld + s]. `contiguous`: neighbouring
// sites tend to share pieces (sorted sites), so whole pieces are loaded and
// transposed instead of gathered.
template <class T>
void horner_block(int64_t K, const T* c, int64_t n, const int32_t* piece, const T* base, const T* site,
                  int64_t nres, const int64_t* ders, T* out, int64_t ld, bool contiguous) {
    using S = simd::V<T>;
    if (K == 4) {
        // The cubic case keeps all four coefficients in registers.
        const auto two = S::set1(T(2)), three = S::set1(T(3)), six = S::set1(T(6));
        for (int64_t i = 0; i < n; i += S::W) {
            const auto m = S::tail(n - i);
            const auto p = S::ishl(S::iload(m, piece + i), 2);
            const auto u = S::sub(S::load(m, site + i), S::load(m, base + i));
            const auto z = S::zero();
            typename S::reg c0, c1, c2, c3;
            if constexpr (sizeof(T) == 8) {
                if (contiguous && n - i >= 8) {
                    load_cubic_pieces(c, piece + i, c0, c1, c2, c3);
                } else {
                    c0 = S::gather(z, m, p, c), c1 = S::gather(z, m, p, c + 1);
                    c2 = S::gather(z, m, p, c + 2), c3 = S::gather(z, m, p, c + 3);
                }
            } else {
                c0 = S::gather(z, m, p, c), c1 = S::gather(z, m, p, c + 1);
                c2 = S::gather(z, m, p, c + 2), c3 = S::gather(z, m, p, c + 3);
            }
            for (int64_t k = 0; k < nres; ++k) {
                typename S::reg v;
                switch (ders[k]) {
                    case 0: v = S::fma(S::fma(S::fma(c3, u, c2), u, c1), u, c0); break;
                    case 1: v = S::fma(S::fma(S::mul(three, c3), u, S::mul(two, c2)), u, c1); break;
                    case 2: v = S::fma(S::mul(six, c3), u, S::mul(two, c2)); break;
                    case 3: v = S::mul(six, c3); break;
                    default: v = z;
                }
                S::store(out + k * ld + i, m, v);
            }
        }
        return;
    }
    for (int64_t i = 0; i < n; i += S::W) {
        const auto m = S::tail(n - i);
        const auto p = S::iload(m, piece + i);
        const auto pk = K == 2 ? S::iadd(p, p) : S::iadd(S::iadd(p, p), p);
        const auto u = S::sub(S::load(m, site + i), S::load(m, base + i));
        for (int64_t k = 0; k < nres; ++k) {
            const int64_t q = ders[k];
            auto acc = S::zero();
            for (int64_t j = K - 1; j >= q; --j) {
                typename S::ireg idx;
                if (K == 2 || K == 3)
                    idx = pk;
                else
                    idx = S::iset1(0);
                typename S::reg cj;
                if (K == 2 || K == 3) {
                    cj = S::gather(S::zero(), m, idx, c + j);
                } else {
                    alignas(64) int32_t lane[16];
                    alignas(64) T vals[16];
                    S::istore(lane, m, p);
                    for (int l = 0; l < S::W; ++l) vals[l] = (i + l < n) ? c[int64_t(lane[l]) * K + j] : T(0);
                    cj = S::load(vals);
                }
                acc = S::fma(acc, u, S::mul(cj, S::set1(falling<T>(j, q))));
            }
            S::store(out + k * ld + i, m, acc);
        }
    }
}

}  // namespace nrx::fit
