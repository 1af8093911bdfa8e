// What the integer laws share: buffered uniforms for the rejection methods, setup data
// kept in a stream chunk, inversion tables with a guide, the logarithm of k! and the
// triangle-parallelogram-exponential rejection of the binomial and Poisson laws.
#pragma once
#include <cmath>
#include <cstdint>
#include <cstring>

#include "nrx/core.h"
#include "rng/dist/frame.h"
#include "simd/int64.h"

namespace nrx::rng::dist {

// Double uniforms in [0, 1) drawn kBlock at a time for methods that use a varying
// number per variate; what is left over at the end of a call is dropped.
class Uniforms {
 public:
  explicit Uniforms(DruStream* s) : s_(s) {}
  Uniforms(const Uniforms&) = delete;
  Uniforms& operator=(const Uniforms&) = delete;
  // False when the generator failed; status() then holds its code.
  bool next(double& u) {
    if (pos_ == kBlock) {
      if ((st_ = draw(s_, kBlock, buf_, 0.0, 1.0)) < 0) return false;
      pos_ = 0;
    }
    u = buf_[pos_++];
    return true;
  }
  int32_t status() const { return st_; }

 private:
  DruStream* s_;
  int32_t pos_ = kBlock, st_ = DRU_OK;
  alignas(64) double buf_[kBlock];
};

// The data of the newest chunk of kind `id` when `fits(data, size)` accepts it, else null.
template <class Fits> void* find_setup(DruStream* s, uint32_t id, Fits fits) {
  for (DruChunk* c = s->chunks; c; c = c->next)
    if (c->id == id) return c->data && fits(c->data, c->size) ? c->data : nullptr;
  return nullptr;
}

// Drops every chunk of kind `id` and attaches a new block of `size` bytes filled by
// `make(data)`; null when it cannot be allocated or attached.
template <class Make> void* attach_setup(DruStream* s, uint32_t id, uint32_t size, Make make) {
  _druDeleteChunksById(s, id);
  void* data = nrx_serv_allocate(size, 128);
  if (!data) return nullptr;
  make(data);
  if (_druAddChunk(s, id, nullptr, data, size) != DRU_OK) {
    nrx_serv_deallocate(data);
    return nullptr;
  }
  return data;
}

// Setup data of kind `id`: the stream's own when it fits, else made and attached anew.
template <class Fits, class Make> void* setup_chunk(DruStream* s, uint32_t id, uint32_t size, Fits fits, Make make) {
  if (void* d = find_setup(s, id, fits)) return d;
  return attach_setup(s, id, size, make);
}

// n variates from one uniform each in [lo, hi): blocks of kBlock uniforms of type U
// handed to f(k, u, done), done the number of variates before the block.
template <class U, class F> int32_t per_uniform(DruStream* s, int32_t n, U lo, U hi, F f) {
  alignas(64) U u[kBlock];
  for (int32_t done = 0; done < n;) {
    const int32_t k = std::min(kBlock, n - done);
    if (int32_t st = draw(s, k, u, lo, hi); st < 0) return st;
    f(k, u, done);
    done += k;
  }
  return DRU_OK;
}

// Parameters as stored in a chunk, compared bit for bit.
struct Key {
  double v[3];
  bool operator==(const Key& o) const { return std::memcmp(v, o.v, sizeof v) == 0; }
};

// Inversion table of a law on [lo, lo + len): the distribution function and a guide
// (guide[g] = first j with cdf[j] > g / len), laid out after the header in one block.
struct TableHead {
  Key key;
  int32_t lo, len;
};
inline uint32_t table_bytes(int32_t len) {
  return uint32_t(sizeof(TableHead) + size_t(len) * (sizeof(double) + sizeof(int32_t)));
}
inline const double* table_cdf(const TableHead* t) { return reinterpret_cast<const double*>(t + 1); }
inline const int32_t* table_guide(const TableHead* t) {
  return reinterpret_cast<const int32_t*>(table_cdf(t) + t->len);
}

// Fills the table from unnormalised probabilities w[0..len) (written over by the cdf).
inline void table_fill(TableHead* t, const Key& key, int32_t lo, int32_t len, const double* w) {
  t->key = key;
  t->lo = lo;
  t->len = len;
  auto* cdf = reinterpret_cast<double*>(t + 1);
  auto* guide = reinterpret_cast<int32_t*>(cdf + len);
  long double total = 0, acc = 0;
  for (int32_t j = 0; j < len; ++j) total += w[j];
  for (int32_t j = 0; j < len; ++j) cdf[j] = double((acc += w[j]) / total);
  cdf[len - 1] = 1.0;  // above every uniform: the search always stops
  for (int32_t g = 0, j = 0; g < len; ++g) {
    while (cdf[j] <= double(g) / len) ++j;
    guide[g] = j;
  }
}

// The variates of k uniforms u in [0, 1) by inversion, eight lanes at a time: each
// lane starts at its guide entry and steps on while the cdf is at or below its uniform.
inline void table_sample(const TableHead* t, int32_t k, const double* u, int32_t* r) {
  namespace v = nrx::simd;
  const double* cdf = table_cdf(t);
  const int32_t* guide = table_guide(t);
  const auto scale = v::splat(double(t->len));
  const auto one = v::splat_u64(1), lo = v::splat_u64(uint64_t(int64_t(t->lo)));
  for (int32_t i = 0; i < k; i += v::lanes<double>) {
    const auto lanes = v::tail<double>(k - i);
    const auto x = v::masked_load(u + i, lanes, 0.0);
    auto j = v::gather_at(guide, v::trunc_to_int64(v::mul(x, scale)));
    for (auto on = lanes; (on = v::Mask8(on & v::le(v::gather_at(cdf, j), x))) != 0;) j = v::add64_where(on, j, one);
    v::masked_store_low32(reinterpret_cast<uint32_t*>(r + i), lanes, v::add64(j, lo));
  }
}

// One uniform per variate through the table: the stream advances by exactly n.
inline int32_t table_draw(DruStream* s, const TableHead* t, int32_t n, int32_t* r) {
  return per_uniform(s, n, 0.0, 1.0,
                     [&](int32_t k, const double* u, int32_t done) { table_sample(t, k, u, r + done); });
}

// Tail of ln k! beyond Stirling's leading terms at x = k + 1: 1/12x - 1/360x^3 +
// 1/1260x^5 - 1/1680x^7.
inline double stirling_tail(double x) {
  const double x2 = x * x;
  return (1.0 / 12 - (1.0 / 360 - (1.0 / 1260 - (1.0 / 1680) / x2) / x2) / x2) / x;
}

// ln k! for k >= 0: a sum below 16, Stirling's series above.
inline double log_factorial(double k) {
  if (k < 16) {
    double f = 1;
    for (int i = 2; i <= int(k); ++i) f *= i;
    return std::log(f);
  }
  // 0.5 ln(2 pi) = 0.9189385332046728.
  return (k + 0.5) * std::log(k + 1) - (k + 1) + 0.9189385332046728 + stirling_tail(k + 1);
}

// The hat of the triangle, parallelogram and exponential regions around the mode m:
// region widths p1..p4 of the cumulative hat areas, centre xm, edges xl, xr,
// parallelogram height c, exponential slopes laml, lamr, and the variance the
// squeeze uses.
struct Tpe {
  double m, xm, xl, xr, c, laml, lamr, p1, p2, p3, p4, var;
};

// Up to this variance the values within 20 of the mode take the product test; above
// it the product's divisions cost more than the squeeze and one logarithm.
inline constexpr double kTpeProductVar = 60;

// Completes the hat from m, p1, c and the slopes (set by the law's setup).
inline void tpe_areas(Tpe& h) {
  h.xm = h.m + 0.5;
  h.xl = h.xm - h.p1;
  h.xr = h.xm + h.p1;
  h.p2 = h.p1 * (1 + 2 * h.c);
  h.p3 = h.p2 + h.c / h.laml;
  h.p4 = h.p3 + h.c / h.lamr;
}

// The test of one candidate outside the triangle (u = uniform * p4 > p1, v uniform):
// true with its value in y when accepted. The law gives its upper bound `top`, f(y)/f(m)
// by products (`ratio`) and ln f(y)/f(m) (`log_ratio`).
template <class Law> bool tpe_accept(const Tpe& h, const Law& law, double u, double v, double& y) {
  if (u <= h.p2) {
    const double x = h.xl + (u - h.p1) / h.c;
    v = v * h.c + 1 - std::fabs(h.m - x + 0.5) / h.p1;
    if (v > 1) return false;
    y = std::floor(x);
  } else if (u <= h.p3) {
    y = std::floor(h.xl + std::log(v) / h.laml);
    if (y < 0) return false;
    v *= (u - h.p2) * h.laml;
  } else {
    y = std::floor(h.xr - std::log(v) / h.lamr);
    if (y > law.top) return false;
    v *= (u - h.p3) * h.lamr;
  }
  const double k = std::fabs(y - h.m);
  // Products for the near values of a narrow law and the far tail; the squeeze elsewhere.
  if ((k <= 20 && h.var < kTpeProductVar) || k >= h.var / 2 - 1) return v <= law.ratio(h.m, y);
  // Squeeze on ln f(y)/f(m) around -k^2 / 2 var before the exact logarithm.
  const double rho = (k / h.var) * ((k * (k / 3 + 0.625) + 1.0 / 6) / h.var + 0.5);
  const double t = -k * k / (2 * h.var);
  const double a = std::log(v);
  if (a < t - rho) return true;
  if (a > t + rho) return false;
  return a <= law.log_ratio(h.m, y);
}

// One variate by the rejection of the hat, uniforms from src; false when they ran out
// (the generator failed).
template <class Law> bool tpe_variate(const Tpe& h, const Law& law, Uniforms& src, double& out) {
  for (;;) {
    double u, v;
    if (!src.next(u) || !src.next(v)) return false;
    u *= h.p4;
    if (u <= h.p1) return out = std::floor(h.xm - h.p1 * v + u), true;
    if (tpe_accept(h, law, u, v, out)) return true;
  }
}

// n variates offset + sign y of one hat, candidates kBlock / 2 at a time: the triangle's
// values for every candidate in one pass, the other regions' tests for the rest, then
// the accepted ones in candidate order; a block's candidates beyond n are dropped.
template <class Law>
int32_t tpe_draw(DruStream* s, const Tpe& h, const Law& law, int32_t n, int32_t* r, int32_t offset, int32_t sign) {
  constexpr int32_t kPairs = kBlock / 2;
  alignas(64) double u[kBlock], y[kPairs];
  alignas(64) int32_t ok[kPairs], rest[kPairs];
  for (int32_t done = 0; done < n;) {
    if (int32_t st = draw(s, kBlock, u, 0.0, 1.0); st < 0) return st;
    for (int32_t i = 0; i < kPairs; ++i) {
      const double a = u[2 * i] * h.p4;
      y[i] = std::floor(h.xm - h.p1 * u[2 * i + 1] + a);
      ok[i] = a <= h.p1;
    }
    int32_t others = 0;
    for (int32_t i = 0; i < kPairs; ++i) {
      rest[others] = i;
      others += 1 - ok[i];
    }
    for (int32_t j = 0; j < others; ++j) {
      const int32_t i = rest[j];
      ok[i] = tpe_accept(h, law, u[2 * i] * h.p4, u[2 * i + 1], y[i]);
    }
    for (int32_t i = 0; i < kPairs && done < n; ++i) {
      r[done] = offset + sign * int32_t(y[i]);
      done += ok[i];
    }
  }
  return DRU_OK;
}

}  // namespace nrx::rng::dist
