// drudSSStreamQuantiles / drusSSStreamQuantiles and _druSQuantilesFreeBuffers: quantiles of
// a stream of blocks within rank eps n. Each component's stream is cut into blocks of
// growing length m_k; inside block k new values are staged until a buffer of b_k is full,
// radix-sorted and pushed into a ladder of levels: a full buffer meeting a full one at
// level l is merged with it and every other value (alternating offsets) goes up to level
// l + 1 with twice the weight. Each compaction at level l moves ranks by at most 2^l, which
// keeps block k within rank eps m_k; the blocks add up to eps n.
#include <cmath>
#include <cstddef>
#include <cstring>
#include <new>

#include "nrx/stats.h"
#include "stats/order_stats.h"
#include "stats/radix_sort.h"
#include "stats/task.h"

namespace nrx::stats {
namespace {

constexpr uint64_t kMethodUpdate = 0x80, kMethodUpdateAndWrite = 0x40;

// One level of one block: `count` sorted values of weight 2^weight_log2 (the staging
// record, level index 0, holds unsorted values of weight 1).
struct LevelRecord {
  int32_t block;
  int32_t level;
  int32_t count;
  int32_t capacity;
  int32_t toggle;  // offset of the next compaction from this level
  void* values;
  int32_t weight_log2;
  int32_t reserved[2];
};

// One component: its level records (every block's, in block order), the current block
// and how many of its values have been folded.
struct ComponentRecord {
  int32_t level_count;
  int32_t block;
  int32_t filled;
  int32_t capacity;  // level records allocated
  LevelRecord* levels;
};

static_assert(sizeof(ComponentRecord) == 24 && offsetof(ComponentRecord, levels) == 16, "component record");
static_assert(sizeof(LevelRecord) == 48 && offsetof(LevelRecord, values) == 24, "level record");

// The component array carries its length in the word before it.
ComponentRecord* new_state(int64_t p) {
  auto* head = static_cast<int64_t*>(nrx_serv_allocate(sizeof(int64_t) * 2 + sizeof(ComponentRecord) * size_t(p), 128));
  if (!head) return nullptr;
  head[0] = p;
  auto* c = reinterpret_cast<ComponentRecord*>(head + 2);
  std::memset(static_cast<void*>(c), 0, sizeof(ComponentRecord) * size_t(p));
  return c;
}
int64_t state_size(const void* s) { return static_cast<const int64_t*>(s)[-2]; }

// Sizes of block k: m = floor((2^(k+3) - 1) / eps) - floor((2^(k+2) - 1) / eps),
// b = trunc(log2(eps m) / eps), L = trunc(log2(eps m) + 2).
struct BlockSize {
  int64_t m, b, levels;
  BlockSize(int k, double eps) {
    m = int64_t(std::floor((std::ldexp(1.0, k + 3) - 1) / eps)) -
        int64_t(std::floor((std::ldexp(1.0, k + 2) - 1) / eps));
    const double lg = std::log(eps * double(m)) * 1.4426950408889634;
    b = int64_t(lg / eps);
    levels = int64_t(lg + 2);
    if (b < 1) b = 1;
    // The staging record and enough levels that m values never overflow the top one.
    int64_t need = 2;
    while ((b << (need - 1)) - b < m) ++need;
    if (levels < need) levels = need;
  }
};

template <class T> struct Folder {
  ComponentRecord& c;
  double eps;
  common::Buffer<T>* scratch;  // 3 b values: a merge of two buffers and the compacted one
  size_t scratch_size;

  // The records of the current block start at `base`.
  int32_t base() const { return c.level_count - int32_t(BlockSize(c.block, eps).levels); }

  int32_t open_block() {
    const BlockSize s(c.block, eps);
    const int32_t need = c.level_count + int32_t(s.levels);
    if (need > c.capacity) {
      const int32_t cap = need * 2;
      auto* grown = static_cast<LevelRecord*>(nrx_serv_allocate(sizeof(LevelRecord) * size_t(cap), 128));
      if (!grown) return NRX_SS_STATUS_NO_MEMORY;
      std::memset(static_cast<void*>(grown), 0, sizeof(LevelRecord) * size_t(cap));
      if (c.levels) std::memcpy(static_cast<void*>(grown), c.levels, sizeof(LevelRecord) * size_t(c.level_count));
      nrx_serv_deallocate(c.levels);
      c.levels = grown;
      c.capacity = cap;
    }
    for (int32_t l = 0; l < s.levels; ++l) {
      LevelRecord& r = c.levels[c.level_count + l];
      r = LevelRecord{};
      r.block = c.block;
      r.level = l;
      r.capacity = int32_t(s.b);
      r.weight_log2 = l == 0 ? 0 : l - 1;
    }
    c.level_count = need;
    c.filled = 0;
    return NRX_SS_STATUS_OK;
  }

  T* values_of(LevelRecord& r) {
    if (!r.values) r.values = nrx_serv_allocate(sizeof(T) * size_t(r.capacity), 128);
    return static_cast<T*>(r.values);
  }

  bool scratch_for(int64_t b) {
    if (scratch_size >= size_t(3 * b) && *scratch) return true;
    scratch->~Buffer();
    new (scratch) common::Buffer<T>(size_t(3 * b));
    scratch_size = *scratch ? size_t(3 * b) : 0;
    return bool(*scratch);
  }

  // Pushes the b sorted values of `in` into level record `at` and up.
  int32_t push(int32_t at, const T* in, int64_t b, int32_t top) {
    for (;;) {
      LevelRecord& r = c.levels[at];
      T* v = values_of(r);
      if (!v) return NRX_SS_STATUS_NO_MEMORY;
      if (r.count == 0) {
        std::memcpy(v, in, sizeof(T) * size_t(b));
        r.count = int32_t(b);
        return NRX_SS_STATUS_OK;
      }
      // Merge the two sorted buffers, keep every other value.
      T* merged = scratch->p;
      int64_t i = 0, j = 0, k = 0;
      while (i < b && j < b) merged[k++] = v[i] <= in[j] ? v[i++] : in[j++];
      while (i < b) merged[k++] = v[i++];
      while (j < b) merged[k++] = in[j++];
      const int32_t off = r.toggle;
      r.toggle ^= 1;
      r.count = 0;
      if (at + 1 > top) return NRX_SS_STATUS_NO_MEMORY;  // the block sizes rule this out
      T* up = merged + 2 * b;
      for (int64_t q = 0; q < b; ++q) up[q] = merged[2 * q + off];
      in = up;
      ++at;
    }
  }

  int32_t fold(const DataView<T>& d, int64_t j) {
    int64_t i = 0;
    while (i < d.n) {
      if (c.level_count == 0 || c.filled >= BlockSize(c.block, eps).m) {
        if (c.level_count) ++c.block;
        if (int32_t st = open_block()) return st;
      }
      const BlockSize s(c.block, eps);
      if (!scratch_for(s.b)) return NRX_SS_STATUS_NO_MEMORY;
      const int32_t b0 = base();
      LevelRecord& stage = c.levels[b0];
      T* sv = values_of(stage);
      if (!sv) return NRX_SS_STATUS_NO_MEMORY;
      // Fill the staging buffer as far as the block and the data allow.
      int64_t take = s.b - stage.count;
      if (take > s.m - c.filled) take = s.m - c.filled;
      if (take > d.n - i) take = d.n - i;
      for (int64_t q = 0; q < take; ++q) sv[stage.count + q] = d.at(j, i + q);
      stage.count += int32_t(take);
      c.filled += int32_t(take);
      i += take;
      if (stage.count == s.b) {
        radix_sort(sv, scratch->p, s.b);
        stage.count = 0;
        if (int32_t st = push(b0 + 1, sv, s.b, c.level_count - 1)) return st;
      }
    }
    return NRX_SS_STATUS_OK;
  }
};

// Quantiles of one component's summary: every (value, weight) pair sorted by value,
// then the value whose weight span holds rank q (N - 1).
template <class T> int32_t read_quantiles(const ComponentRecord& c, const T* q, int64_t m, T* out) {
  int64_t pairs = 0;
  for (int32_t l = 0; l < c.level_count; ++l) pairs += c.levels ? c.levels[l].count : 0;
  if (pairs == 0) {
    for (int64_t o = 0; o < m; ++o) out[o] = T(NAN);
    return NRX_SS_STATUS_OK;
  }
  common::Buffer<T> v{size_t(pairs)};
  common::Buffer<double> w{size_t(pairs)};
  if (!v || !w) return NRX_SS_STATUS_NO_MEMORY;
  int64_t k = 0;
  double total = 0;
  for (int32_t l = 0; l < c.level_count; ++l) {
    const LevelRecord& r = c.levels[l];
    const double weight = std::ldexp(1.0, r.weight_log2);
    for (int32_t e = 0; e < r.count; ++e) {
      v.p[k] = static_cast<const T*>(r.values)[e];
      w.p[k++] = weight;
    }
    total += weight * r.count;
  }
  quick_sort(Access<T, double>{v.p, 1, w.p}, pairs);
  for (int64_t o = 0; o < m; ++o) {
    const double rank = double(q[o]) * (total - 1);
    double below = 0;
    int64_t e = 0;
    while (e + 1 < pairs && below + w.p[e] <= rank) below += w.p[e++];
    out[o] = v.p[e];
  }
  return NRX_SS_STATUS_OK;
}

template <class T> int32_t stream_quantiles(NrxSSTask* t, uint64_t, uint64_t meth, const nrx_threading* th) {
  if (!t) return NRX_SS_STATUS_NULL_TASK;
  if (!t->observations) return NRX_SS_STATUS_BAD_OBSERVATIONS;
  const int64_t n = read_int(t, t->observations);
  if (n < 0) return NRX_SS_STATUS_BAD_OBSERVATIONS;
  int64_t layout = NRX_SS_STORAGE_ROWS;
  if (n > 0) {
    if (!t->data) return NRX_SS_STATUS_NULL_DATA;
    if (int32_t st = data_layout(t, &layout)) return st;
  }
  if (!t->stream_quantiles) return NRX_SS_STATUS_NULL_STREAM_QUANTILES;
  if (!t->stream_orders) return NRX_SS_STATUS_NULL_STREAM_ORDERS;
  if (!t->stream_order_count) return NRX_SS_STATUS_BAD_STREAM_ORDER_COUNT;
  const int64_t m = read_int(t, t->stream_order_count);
  if (m < 0) return NRX_SS_STATUS_BAD_STREAM_ORDER_COUNT;
  const T* q = static_cast<const T*>(t->stream_orders);
  for (int64_t o = 0; o < m; ++o)
    if (!(q[o] >= T(0) && q[o] <= T(1))) return NRX_SS_STATUS_BAD_STREAM_ORDER_COUNT;
  if (!t->stream_parameter_count) return NRX_SS_STATUS_NULL_STREAM_PARAMETER_COUNT;
  if (read_int(t, t->stream_parameter_count) != 1) return NRX_SS_STATUS_BAD_STREAM_PARAMETER_COUNT;
  if (!t->stream_parameters) return NRX_SS_STATUS_NULL_STREAM_PARAMETERS;
  if (!(meth & (kMethodUpdate | kMethodUpdateAndWrite))) return NRX_SS_STATUS_BAD_METHOD;
  const double eps = double(*static_cast<const T*>(t->stream_parameters));
  if (!(eps > 0 && eps <= 1)) return NRX_SS_STATUS_BAD_STREAM_ACCURACY;
  if (!t->dimension) return NRX_SS_STATUS_BAD_DIMENSION;
  const int64_t p = read_int(t, t->dimension);
  if (p <= 0 || (t->stream_state && state_size(t->stream_state) != p)) return NRX_SS_STATUS_BAD_DIMENSION;

  if (!t->stream_state) {
    ComponentRecord* s = new_state(p);
    if (!s) return NRX_SS_STATUS_NO_MEMORY;
    t->stream_state = s;
    t->cleanup_count = 1;
    t->cleanup = &_druSQuantilesFreeBuffers;
  }
  auto* state = static_cast<ComponentRecord*>(t->stream_state);
  DataView<T> d;
  d.p = p;
  d.n = n;
  d.x = static_cast<const T*>(t->data);
  d.rows = layout == NRX_SS_STORAGE_ROWS;
  int64_t count = 0;
  common::Buffer<int64_t> list{size_t(p)};
  if (!list) return NRX_SS_STATUS_NO_MEMORY;
  for (int64_t j = 0; j < p; ++j)
    if (selected(t, j)) list.p[count++] = j;
  common::FirstError err;
  T* out = static_cast<T*>(t->stream_quantiles);
  common::run_blocks(th, count, common::thread_count(th), [&](int64_t c, int64_t) {
    const int64_t j = list.p[c];
    if (n > 0) {
      common::Buffer<T> scratch{1};
      Folder<T> f{state[j], eps, &scratch, 0};
      if (int32_t st = f.fold(d, j)) return err.set(st);
    }
    if (meth & kMethodUpdateAndWrite)
      if (int32_t st = read_quantiles(state[j], q, m, out + j * m)) err.set(st);
  });
  return err.get();
}

}  // namespace
}  // namespace nrx::stats

extern "C" {
NRX_SS_API void _druSQuantilesFreeBuffers(NrxSSTask* task) {
  if (!task || !task->stream_state) return;
  auto* state = static_cast<nrx::stats::ComponentRecord*>(task->stream_state);
  const int64_t p = nrx::stats::state_size(state);
  for (int64_t j = 0; j < p; ++j) {
    for (int32_t l = 0; l < state[j].level_count; ++l) nrx_serv_deallocate(state[j].levels[l].values);
    nrx_serv_deallocate(state[j].levels);
  }
  nrx_serv_deallocate(reinterpret_cast<int64_t*>(task->stream_state) - 2);
  task->stream_state = nullptr;
}
}

NRX_SS_ENTRIES(StreamQuantiles, nrx::stats::stream_quantiles)
