// One thread's part of a basic-statistics data pass. The part's observations are taken in
// blocks that stay in cache. Method 0x1 sums raw powers. The one-pass family sums powers
// of deviations from a centre near the block mean (the previous block's mean, re-centred
// from cache when the block has drifted away from it; or the fixed shift of method 0x100)
// and derives raw and central sums exactly from them. A cross-product is then taken about
// the block mean, and the block is merged into the part's state by the pairwise formulas.
#pragma once
#include <cmath>
#include <cstdint>
#include <cstring>

#include "nrx/stats.h"
#include "stats/accumulator.h"
#include "stats/kernels.h"

namespace nrx::stats {

template <class T> struct PassInput {
  const T* x;
  const T* w;  // null: unit weights
  int64_t n, p;
  bool rows;     // variable-major layout
  const T* ref;  // p reference values: means are held relative to them (the shift of method 0x100)
  bool shifted;
};

// Work buffers of one part, in T, sized by block_buffer_elements().
template <class T> struct BlockScratch {
  T* sums;    // 4 x pp power sums
  T* centre;  // pp centre values
  T* prev;    // pp means of the previous block
  T* dev;     // centred block (and its weighted copy for the variable-major layout)
  T* cross;   // p x pp block cross-product
};

// Observations per block: 256 KiB of data, at least 64. Without a cross-product the
// variable-major layout is taken one component at a time, so 256 KiB per component.
inline int64_t block_rows(int64_t p, size_t elem, bool per_component) {
  const int64_t b = int64_t(262144 / (elem * size_t(per_component ? 1 : p)));
  return b < 64 ? 64 : b;
}

template <class T> constexpr int64_t padded(int64_t v) { return (v + sv::lanes<T> - 1) / sv::lanes<T> * sv::lanes<T>; }

// Reals of one part's buffers: sums, centre, previous means; with a cross-product the
// centred block (a weighted copy too) or the eight-row buffer, and the block's matrix.
template <class T> int64_t block_buffer_elements(int64_t p, bool cross, bool rows, bool weighted) {
  const int64_t pp = padded<T>(p), bs = padded<T>(block_rows(p, sizeof(T), false));
  int64_t e = 6 * pp;
  if (cross) e += (rows ? (weighted ? 2 : 1) * p * bs : 8 * pp) + p * pp;
  return e;
}

// Sums of powers 1..order of deviations from c over rows [i0, i0 + m) of component j
// (variable-major) or of all components (observation-major, into out[(k-1) pp + j]).
template <class T, bool W>
void power_sums(const PassInput<T>& in, int64_t j, int64_t i0, int64_t m, int order, const T* c, T* out) {
  const T* w = W ? in.w + i0 : nullptr;
  if (in.rows) {
    const T* xj = in.x + j * in.n + i0;
    switch (order) {
      case 1: segment_sums<T, 1, W>(xj, w, m, c[j], out); break;
      case 2: segment_sums<T, 2, W>(xj, w, m, c[j], out); break;
      case 3: segment_sums<T, 3, W>(xj, w, m, c[j], out); break;
      default: segment_sums<T, 4, W>(xj, w, m, c[j], out); break;
    }
    return;
  }
  const T* xb = in.x + i0 * in.p;
  switch (order) {
    case 1: row_sums<T, 1, W>(xb, w, m, in.p, c, out); break;
    case 2: row_sums<T, 2, W>(xb, w, m, in.p, c, out); break;
    case 3: row_sums<T, 3, W>(xb, w, m, in.p, c, out); break;
    default: row_sums<T, 4, W>(xb, w, m, in.p, c, out); break;
  }
}

// Centred cross-product of rows [i0, i0 + m) about c, into P (p x pp, upper triangle).
template <class T, bool W> void block_cross(const PassInput<T>& in, int64_t i0, int64_t m, const T* c, T* dev, T* P) {
  const int64_t p = in.p, pp = padded<T>(p);
  const T* w = W ? in.w + i0 : nullptr;
  std::memset(P, 0, sizeof(T) * p * pp);
  if (in.rows) {
    const int64_t ms = padded<T>(m);
    T* dw = W ? dev + p * ms : dev;
    for (int64_t j = 0; j < p; ++j) {
      const T* xj = in.x + j * in.n + i0;
      T* dj = dev + j * ms;
      for (int64_t i = 0; i < m; ++i) dj[i] = xj[i] - c[j];
      for (int64_t i = m; i < ms; ++i) dj[i] = 0;
      if (W)
        for (int64_t i = 0; i < ms; ++i) dw[j * ms + i] = i < m ? dj[i] * w[i] : T(0);
    }
    segment_products<T>(dev, dw, ms, p, pp, P);
    return;
  }
  outer_products<T, W>(in.x + i0 * p, w, m, p, c, dev, P);
}

// A centre or reference value must be finite: deviations from an infinity are NaN.
template <class T> T finite_or_zero(T v) { return std::isfinite(double(v)) ? v : T(0); }

// Folds observations [begin, end) into `part`; `blk` is a second state used per block.
template <class T, bool W> void run_part(const PassInput<T>& in, const Plan& plan, int64_t begin, int64_t end,
                                         const BlockScratch<T>& sc, Acc& part, Acc& blk) {
  const int64_t p = in.p, pp = padded<T>(p), B = block_rows(p, sizeof(T), in.rows && !plan.cross);
  part.clear(p);
  for (int64_t j = 0; j < p; ++j) sc.prev[j] = in.ref[j];
  for (int64_t i0 = begin; i0 < end; i0 += B) {
    const int64_t m = end - i0 < B ? end - i0 : B;
    double w0 = double(m), w1 = double(m);
    if (W) {
      w0 = w1 = 0;
      for (int64_t i = 0; i < m; ++i) {
        w0 += in.w[i0 + i];
        w1 += double(in.w[i0 + i]) * in.w[i0 + i];
      }
      if (w0 == 0) continue;  // weightless observations change nothing
    }
    blk.W0 = w0;
    blk.W1 = w1;
    // Variable-major data is summed one component at a time, observation-major data one
    // whole block at a time; sums of order k of component j land at sums[(k-1) stride + q].
    const int64_t jn = in.rows ? p : 1, stride = in.rows ? 1 : pp;
    for (int64_t jc = 0; jc < jn; ++jc) {
      const int64_t j0 = in.rows ? jc : 0, j1 = in.rows ? jc + 1 : p;
      if (plan.fast) {
        // Raw power sums; a first-order pass about the block mean then sharpens the mean
        // that centres the cross-product.
        for (int64_t j = j0; j < j1; ++j) sc.centre[j] = 0;
        power_sums<T, W>(in, j0, i0, m, plan.raw_order, sc.centre, sc.sums);
        for (int64_t j = j0; j < j1; ++j) {
          const int64_t q = in.rows ? 0 : j;
          for (int k = 0; k < plan.raw_order; ++k) blk.R[k][j] = sc.sums[k * stride + q];
          blk.M[j] = blk.R[0][j] / w0 - double(in.ref[j]);
        }
        if (!plan.cross) continue;
        for (int64_t j = j0; j < j1; ++j) sc.centre[j] = finite_or_zero(T(double(in.ref[j]) + blk.M[j]));
        power_sums<T, W>(in, j0, i0, m, 1, sc.centre, sc.sums);
        for (int64_t j = j0; j < j1; ++j)
          if (std::isfinite(blk.M[j]))  // an infinite mean stays as the raw sums give it
            blk.M[j] = (double(sc.centre[j]) - double(in.ref[j])) + sc.sums[in.rows ? 0 : j] / w0;
        continue;
      }
      // One sweep of deviations from a centre c near the block mean: the shift (method
      // 0x100) or the previous block's mean. Raw sums follow by the binomial expansion, and
      // central sums by removing the offset d = T1 / W. Should d be large against the
      // spread (more than 1.5 bits lost), the sweep is repeated about the block mean.
      const int order = plan.raw_order > plan.central_order ? plan.raw_order : plan.central_order;
      bool raw_again = false;
      for (int64_t j = j0; j < j1; ++j) sc.centre[j] = in.shifted ? in.ref[j] : sc.prev[j];
      power_sums<T, W>(in, j0, i0, m, order, sc.centre, sc.sums);
      if (!in.shifted && plan.central_order >= 2) {
        bool redo = false;
        for (int64_t j = j0; j < j1; ++j) {
          const int64_t q = in.rows ? 0 : j;
          const double d = sc.sums[q] / w0;
          const T moved = T(double(sc.centre[j]) + d);
          if (!(8 * w0 * d * d <= double(sc.sums[stride + q])) && std::isfinite(double(moved))) {
            redo = true;
            sc.centre[j] = moved;
          }
        }
        if (redo) power_sums<T, W>(in, j0, i0, m, order, sc.centre, sc.sums);
      }
      for (int64_t j = j0; j < j1; ++j) {
        const int64_t q = in.rows ? 0 : j;
        const double c = sc.centre[j], t1 = sc.sums[q];
        const double t2 = order >= 2 ? double(sc.sums[stride + q]) : 0.0;
        const double t3 = order >= 3 ? double(sc.sums[2 * stride + q]) : 0.0;
        const double t4 = order >= 4 ? double(sc.sums[3 * stride + q]) : 0.0;
        const double d = t1 / w0;
        blk.M[j] = (c - double(in.ref[j])) + d;
        sc.prev[j] = std::isfinite(c + d) ? T(c + d) : T(c);
        const double R[4] = {w0 * c + t1, (w0 * c + 2 * t1) * c + t2, ((w0 * c + 3 * t1) * c + 3 * t2) * c + t3,
                             (((w0 * c + 4 * t1) * c + 6 * t2) * c + 4 * t3) * c + t4};
        for (int k = 0; k < plan.raw_order; ++k) {
          blk.R[k][j] = R[k];
          raw_again |= !std::isfinite(R[k]);
        }
        if (plan.central_order >= 2) blk.S[0][j] = t2 - w0 * d * d;
        if (plan.central_order >= 3) blk.S[1][j] = t3 - 3 * d * t2 + 2 * w0 * d * d * d;
        if (plan.central_order >= 4) blk.S[2][j] = t4 - 4 * d * t3 + 6 * d * d * t2 - 3 * w0 * d * d * d * d;
      }
      // Infinite data: the expansion about c meets inf - inf, while the plain sums of
      // powers are the infinities the formulas give; take those.
      if (raw_again) {
        for (int64_t j = j0; j < j1; ++j) sc.centre[j] = 0;
        power_sums<T, W>(in, j0, i0, m, plan.raw_order, sc.centre, sc.sums);
        for (int64_t j = j0; j < j1; ++j)
          for (int k = 0; k < plan.raw_order; ++k)
            if (!std::isfinite(blk.R[k][j])) blk.R[k][j] = sc.sums[k * stride + (in.rows ? 0 : j)];
      }
    }
    if (plan.cross) {
      for (int64_t j = 0; j < p; ++j) sc.centre[j] = T(double(in.ref[j]) + blk.M[j]);
      block_cross<T, W>(in, i0, m, sc.centre, sc.dev, sc.cross);
      // Deviations were taken from the rounded mean; the offset e adds W e e^T.
      for (int64_t r = 0; r < p; ++r) blk.D[r] = (double(sc.centre[r]) - double(in.ref[r])) - blk.M[r];
      for (int64_t r = 0; r < p; ++r)
        for (int64_t s = r; s < p; ++s) blk.P[r * p + s] = double(sc.cross[r * pp + s]) - w0 * blk.D[r] * blk.D[s];
    }
    merge(part, blk, plan, p);
  }
}

}  // namespace nrx::stats
