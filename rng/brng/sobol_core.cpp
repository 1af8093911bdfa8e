// Generation, coordinate selection and skip-ahead of the base-2 digital sequences. On
// the calling thread the whole points of a call run per group of up to 128 coordinates,
// whose slice of the point stays in registers while the points of a block XOR in the
// rows the Gray code names (dimensions up to 16 in blocks of sixteen points, see
// sobol_blocks.h); output beyond the caches goes through a stage in whole lines written
// past them. A call the threading rule (threaded) gives to the core library's threader
// runs one item per block of points (and chunk of coordinates of wide points), each
// thread writing one stretch of the output; output beyond the caches whose points are
// not all at one offset from a line goes out as whole lines from items of 32
// coordinates over all the call's points, each line from the item in whose group it
// starts.
#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <type_traits>
#include <utility>

#include "nrx/core.h"
#include "rng/brng/entry_points.h"
#include "rng/brng/output.h"
#include "rng/brng/sobol_blocks.h"
#include "rng/brng/sobol_core.h"
#include "simd/stream.h"
#include "simd/word32.h"

namespace nrx::rng::quasi {
namespace {

using simd::IReg;
using simd::Mask16;

constexpr uint64_t kLimit = 0xFFFFFFFFu;
constexpr int64_t kStageBytes = 16384;       // the stage of streamed output, in the first-level cache
constexpr uint64_t kStreamBytes = 8u << 20;  // outputs from this size on are streamed

Header* header(DruStream* s) { return state_of<Header>(s); }
uint32_t* at(DruStream* s, uint32_t offset) {
  return reinterpret_cast<uint32_t*>(reinterpret_cast<unsigned char*>(s) + offset);
}
uint32_t row_stride(uint32_t d) { return (d + 15) & ~15u; }

// A header that a damaged image could not have made.
bool sane(const Header* h) {
  return h->dim >= 1 && h->dim <= kMaxDim && h->counter >= 1 &&
         (h->selected == kNoSelection ? h->remaining < h->dim : h->selected < h->dim && h->remaining <= 1);
}

void step(const Run& r, Header* h) {
  simd::xor_words(r.point, row(r, h->index), r.d);
  ++h->index;
}

uint32_t gray(uint32_t i) { return i ^ (i >> 1); }

// XORs into `to` coordinates c0 .. c0 + w - 1 of the rows of the bits of `rows` (by default
// into the whole point).
void xor_rows(const Run& r, uint32_t rows, uint32_t* to = nullptr, uint32_t c0 = 0, uint32_t w = 0) {
  if (!to) to = r.point, w = r.d;
  for (; rows; rows &= rows - 1) simd::xor_words(to, r.rows + size_t(std::countr_zero(rows)) * r.stride + c0, w);
}

// The point of Gray-code index i: the rows of the bits of gray(i).
void point_of_index(const Run& r, uint32_t i) {
  std::fill(r.point, r.point + r.d, 0u);
  xor_rows(r, gray(i));
}

// Chunks 9 and 13 from direction numbers held dimension after dimension, `pitch` words
// apart; the point starts at the origin.
int32_t attach(DruStream* s, uint32_t d, const uint32_t* dirs, size_t pitch) {
  const uint32_t stride = row_stride(d), rows_bytes = uint32_t(kBits) * stride * 4, point_bytes = stride * 4;
  auto* rows = static_cast<uint32_t*>(nrx_serv_allocate(rows_bytes, 128));
  auto* point = static_cast<uint32_t*>(nrx_serv_allocate(point_bytes, 128));
  if (!rows || !point) {
    nrx_serv_deallocate(rows);
    nrx_serv_deallocate(point);
    return DRU_E_NO_MEMORY;
  }
  std::memset(rows, 0, rows_bytes);
  std::memset(point, 0, point_bytes);
  for (uint32_t j = 0; j < d; ++j)
    for (int c = 0; c < kBits; ++c) rows[size_t(c) * stride + j] = dirs[j * pitch + size_t(c)];
  uint64_t gid[2];
  _druGenerateNewGlobalRODataTableEntryId(gid, int32_t(s->brng));
  if (_druAddChunk(s, kDirChunk, gid, rows, rows_bytes) != DRU_OK) {
    nrx_serv_deallocate(rows);
    nrx_serv_deallocate(point);
    return DRU_E_NO_MEMORY;
  }
  if (_druAddChunk(s, kPointChunk, nullptr, point, point_bytes) != DRU_OK) {
    nrx_serv_deallocate(point);
    _druDeleteChunksById(s, kDirChunk);
    return DRU_E_NO_MEMORY;
  }
  return DRU_OK;
}

// The stream's rows and point; chunks that were deleted are rebuilt from the state copy.
int32_t run_of(DruStream* s, const Layout& l, Run* run) {
  const Header* h = header(s);
  const uint32_t d = h->dim, stride = row_stride(d);
  DruChunk* rows = find_chunk(s, kDirChunk, uint32_t(kBits) * stride * 4);
  DruChunk* point = find_chunk(s, kPointChunk, stride * 4);
  const bool rebuild = !rows || !point;
  if (rebuild) {
    if (d > l.dims) return DRU_E_NO_SHARED_ENTRY;
    _druDeleteChunksById(s, kDirChunk);
    _druDeleteChunksById(s, kPointChunk);
    if (const int32_t st = attach(s, d, at(s, l.dirs_at) + 1, kDimWords); st != DRU_OK) return st;
    rows = find_chunk(s, kDirChunk, 0);
    point = find_chunk(s, kPointChunk, 0);
  }
  *run = Run{static_cast<const uint32_t*>(rows->data), static_cast<uint32_t*>(point->data), d, stride};
  if (rebuild) point_of_index(*run, h->index);
  return DRU_OK;
}

void keep_copy(DruStream* s, const Layout& l, const Run& r) {
  if (r.d <= l.dims) std::memcpy(at(s, l.point_at), r.point, size_t(r.d) * 4);
}

// Sixteen 32-bit coordinates to the caller: raw words, or reals a + (b - a) x 2^-32.
struct WordOut {
  uint32_t* r;
  void put(int64_t i, IReg w, Mask16 m) const { simd::store_words(r + i, m, w); }
  void put_all(int64_t i, IReg w) const { simd::store_words(r + i, w); }
  // Sixteen coordinates' words in registers of one line each.
  std::array<IReg, 1> lines_of(IReg v) const { return {v}; }
  template <class Fn> bool with_lanes(Fn fn) const {
    fn(WordLanes{r});
    return true;
  }
};
// (b - a) x 2^-32 is rounded once either way: scaling by 2^-32 is exact unless the
// product falls below 2^-1022, which needs |b - a| below 2^-990; then (kApart) it is done
// apart. On [0, 1) (kUnit) the value is x 2^-32 itself. The form is a template argument
// so that the loops carry no test of it.
enum Form { kPlain, kApart, kUnit };
template <class T, Form F> struct RealOut {
  T* r;
  simd::Reg<double> a, ba, step, scale;
  RealOut(T* out, double lo, double hi)
      : r(out),
        a(simd::splat(lo)),
        ba(simd::splat(hi - lo)),
        step(simd::splat((hi - lo) * 0x1p-32)),
        scale(simd::splat(0x1p-32)) {}
  simd::Reg<double> value(simd::Reg<double> x) const {
    if constexpr (F == kUnit) return simd::mul(scale, x);
    else if constexpr (F == kApart) return simd::add(a, simd::mul(simd::mul(ba, x), scale));
    else return simd::add(a, simd::mul(step, x));
  }
  void put(int64_t i, IReg w, Mask16 m) const {
    store_reals(r, i, value(simd::words_lo_to_double(w)), simd::Mask8(m));
    if (m >> 8) store_reals(r, i + 8, value(simd::words_hi_to_double(w)), simd::Mask8(m >> 8));
  }
  void put_all(int64_t i, IReg w) const {
    if constexpr (std::is_same_v<T, double>) {
      simd::store(r + i, value(simd::words_lo_to_double(w)));
      simd::store(r + i + 8, value(simd::words_hi_to_double(w)));
    } else {
      put(i, w, Mask16(0xFFFF));
    }
  }
  // Sixteen coordinates' values in registers of one line each.
  auto lines_of(IReg v) const {
    const simd::Reg<double> lo = value(simd::words_lo_to_double(v)), hi = value(simd::words_hi_to_double(v));
    if constexpr (std::is_same_v<T, double>) return std::array<IReg, 2>{simd::as_int(lo), simd::as_int(hi)};
    else return std::array<IReg, 1>{simd::as_int(simd::narrow(lo, hi))};
  }
  // The 1 + x 2^-32 lanes of the block path need (b - a) 2^-32 exact.
  template <class Fn> bool with_lanes(Fn fn) const {
    if constexpr (F == kApart) return false;
    else fn(RealLanes<T, F == kUnit>{r, a, ba});
    return true;
  }
};

template <class Out> void deliver(const uint32_t* from, int64_t count, int64_t at, const Out& out) {
  for (int64_t t = 0; t < count; t += 16) {
    const Mask16 m = simd::first_words(count - t);
    out.put(at + t, simd::load_words(from + t, m), m);
  }
}

// Coordinates j0 .. j0 + 16 NR - 1 (the last register's lanes m; rows and point are
// padded to whole registers) of points index + 1 ..
// index + points to flat positions at + j0, at + j0 + d, ...: the group's slice of the
// point stays in NR registers, into which each point XORs its row.
template <int G, int NR, class Out>
[[gnu::always_inline]] inline void next_register(IReg& v, const uint32_t* r, int64_t at, Mask16 m, const Out& out) {
  if constexpr (G < NR - 1) {
    v = simd::bit_xor(v, simd::load_words(r + 16 * G));
    out.put_all(at + 16 * G, v);
  } else {
    v = simd::bit_xor(v, simd::load_words(r + 16 * G, m));
    if (m == Mask16(0xFFFF)) out.put_all(at + 16 * G, v);
    else out.put(at + 16 * G, v, m);
  }
}

// The registers are named by constants of the expansion: indexed in a loop, they were
// also kept in memory, one more store per register and point.
template <int NR, class Out, int... G> void group(const Run& caller_run, uint32_t index, int64_t points, int64_t at,
                                                  uint32_t j0, Mask16 m, const Out& sink,
                                                  std::integer_sequence<int, G...>) {
  const Out out = sink;  // copies the stores cannot alias
  const Run run = caller_run;
  uint32_t* const x = run.point + j0;
  IReg v[NR] = {simd::load_words(x + 16 * G, G == NR - 1 ? m : Mask16(0xFFFF))...};
  at += j0;
  for (int64_t k = 0; k < points; ++k, ++index, at += run.d) {
    const uint32_t* r = row(run, index) + j0;
    (next_register<G, NR>(v[G], r, at, m, out), ...);
  }
  (simd::store_words(x + 16 * G, G == NR - 1 ? m : Mask16(0xFFFF), v[G]), ...);
}
template <int NR, class Out>
void group(const Run& run, uint32_t index, int64_t points, int64_t at, uint32_t j0, Mask16 m, const Out& out) {
  group<NR>(run, index, points, at, j0, m, out, std::make_integer_sequence<int, NR>());
}

// Coordinates j0 .. j1 - 1 of points index + 1 .. index + points to flat positions
// at + j0, at + j0 + d, ...: groups of up to 128 coordinates, each over a block of points
// whose slices of the output (1 KB of doubles per point) stay in the first-level cache
// until the next group completes their lines. When every point starts at the same
// offset from a 64-byte line (d a multiple of the values per line), the values up to the
// first line boundary go first, so that the groups' registers are stored whole lines.
template <class Out>
void coordinates(const Run& run, uint32_t index, int64_t points, int64_t at, uint32_t j0, uint32_t j1, const Out& out) {
  using E = std::remove_pointer_t<decltype(out.r)>;
  constexpr uint32_t kWidth = 128, kLine = 64 / sizeof(E);
  constexpr int64_t kBlock = 32;
  const uintptr_t first = reinterpret_cast<uintptr_t>(out.r + at + j0);
  const uint32_t head = run.d % kLine == 0 && first % sizeof(E) == 0
                            ? std::min<uint32_t>(j1 - j0, (kLine - uint32_t(first / sizeof(E) % kLine)) % kLine)
                            : 0;
  for (int64_t k = 0; k < points; k += kBlock) {
    const int64_t n = std::min(kBlock, points - k), base = at + k * run.d;
    const uint32_t i = index + uint32_t(k);
    if (head) group<1>(run, i, n, base, j0, simd::first_words(head), out);
    for (uint32_t j = j0 + head; j < j1; j += kWidth) {
      const uint32_t w = std::min(kWidth, j1 - j);
      const simd::Mask16 m = simd::first_words(w - (w - 1) / 16 * 16);
      switch ((w + 15) / 16) {
        case 1: group<1>(run, i, n, base, j, m, out); break;
        case 2: group<2>(run, i, n, base, j, m, out); break;
        case 3: group<3>(run, i, n, base, j, m, out); break;
        case 4: group<4>(run, i, n, base, j, m, out); break;
        case 5: group<5>(run, i, n, base, j, m, out); break;
        case 6: group<6>(run, i, n, base, j, m, out); break;
        case 7: group<7>(run, i, n, base, j, m, out); break;
        default: group<8>(run, i, n, base, j, m, out); break;
      }
    }
  }
}

// Points first_index + 1 .. first_index + points from flat position base, on the calling
// thread; run.point holds the point of first_index and is left at the last one.
template <class Out> void span(const Run& run, uint32_t first_index, int64_t points, int64_t base, const Out& out) {
  // Single points up to an index 16k - 1, then blocks of sixteen, then the rest.
  const int64_t lead = (15 - first_index % 16) % 16, blocks = (points - lead) / 16;
  if (run.d <= 16 && points >= 48 && out.with_lanes([&](const auto& lanes) {
        coordinates(run, first_index, lead, base, 0, run.d, out);
        point_blocks(run, first_index + uint32_t(lead), blocks, base + lead * run.d, lanes);
      })) {
    const int64_t k = lead + 16 * blocks;
    coordinates(run, first_index + uint32_t(k), points - k, base + k * run.d, 0, run.d, out);
    return;
  }
  coordinates(run, first_index, points, base, 0, run.d, out);
}

// Output made in pieces in a stage that stays in the first-level cache and goes out as
// whole 64-byte lines past the caches, so that no line of the output is read before it
// is written. A piece sits in the stage at its output's offset from a line boundary;
// the values of a line a piece leaves unfinished move to the stage's start for the next
// piece, and only the partial lines at the two ends of the output are ordinary stores.
template <class E> class Stage {
 public:
  static constexpr int64_t kLine = 64 / int64_t(sizeof(E)), kCap = kStageBytes / int64_t(sizeof(E));

  explicit Stage(E* r) : r_(r) {}
  // Where the values of output position at (the position after the last piece) go.
  E* at(int64_t at) { return v_ + off(at); }
  // The piece of n values at output position at is in the stage: out with what is done.
  void put(int64_t at, int64_t n, bool last) {
    const int64_t o = off(at), lo = lo_ < 0 ? o : lo_, total = o + n, full = total / kLine;
    E* const line0 = r_ + at - o;
    int64_t i = 0;
    if (lo > 0 && full > 0) {  // the output's first line, partly the caller's
      std::memcpy(line0 + lo, v_ + lo, size_t(kLine - lo) * sizeof(E));
      i = 1;
    }
    for (; i < full; ++i) simd::stream_line(line0 + i * kLine, simd::load_bits(v_ + i * kLine));
    const int64_t from = std::max(lo, full * kLine);
    if (last) std::memcpy(line0 + from, v_ + from, size_t(total - from) * sizeof(E));
    else std::memcpy(v_, v_ + full * kLine, size_t(total - full * kLine) * sizeof(E));
    lo_ = full > 0 ? 0 : lo;
  }

 private:
  int64_t off(int64_t at) const { return int64_t(reinterpret_cast<uintptr_t>(r_ + at) % 64) / int64_t(sizeof(E)); }
  alignas(64) E v_[kCap + kLine];
  E* r_;
  int64_t lo_ = -1;  // the stage's first value of the output, -1 before the first piece
};

// As span, for outputs larger than the caches (out.r a multiple of the value size).
template <class Out>
void span_streamed(const Run& run, uint32_t first_index, int64_t points, int64_t base, const Out& out) {
  using E = std::remove_pointer_t<decltype(out.r)>;
  Stage<E> stage(out.r);
  auto staged = [&](int64_t at) {
    Out o = out;
    o.r = stage.at(at);
    return o;
  };
  const int64_t d = run.d, cap = Stage<E>::kCap;
  if (d <= cap) {  // whole points per piece, whole blocks of sixteen for the block path
    const int64_t per = d <= 16 && cap / d >= 64 ? cap / d & ~int64_t(15) : cap / d;
    for (int64_t k = 0; k < points; k += per) {
      const int64_t c = std::min(per, points - k), at = base + k * d;
      span(run, first_index + uint32_t(k), c, 0, staged(at));
      stage.put(at, c * d, k + c == points);
    }
  } else {  // one point at a time, in pieces of whole registers
    const int64_t slice = cap & ~int64_t(15);
    for (int64_t k = 0; k < points; ++k)
      for (int64_t j = 0; j < d; j += slice) {
        const int64_t w = std::min(slice, d - j), at = base + k * d + j;
        coordinates(run, first_index + uint32_t(k), 1, -j, uint32_t(j), uint32_t(j + w), staged(at));
        stage.put(at, w, k + 1 == points && j + w == d);
      }
  }
  simd::streaming_done();
}

template <class Out>
void span_any(const Run& run, uint32_t first_index, int64_t points, int64_t base, const Out& out, bool stream) {
  if (stream) span_streamed(run, first_index, points, base, out);
  else span(run, first_index, points, base, out);
}

// A threaded call streamed past the caches whose points are not all at one offset from a
// line: item g makes coordinates 32g .. 32g + 31 (the last group shorter) of every point,
// from the group's words of the point, which it leaves at the last point. The groups'
// words of the point and their values in the output are disjoint.
template <class Out> struct Groups {
  Run run;
  uint32_t first_index;
  int64_t points, base;
  const Out* out;
  const uint32_t* from;  // a copy of the point before the call
};

// Streamed output is written in whole 64-byte lines past the caches, each line by the
// item of the group in which it starts; partial lines would be read in before they are
// written. A line that starts in group g runs on into the next group's coordinates or
// the next point's first ones, so the item follows the 48 flat coordinates from its
// first, register r holding 16r .. 16r + 15 on from it: those below d of the current
// point, the others (c - d) of the next one.
class Window {
 public:
  Window(const Run& run, uint32_t j0) : d_(run.d), j0_(j0) {
    for (int r = 0; r < 3; ++r) {
      const int64_t c = int64_t(j0) + 16 * r, same = std::clamp<int64_t>(int64_t(d_) - c, 0, 16);
      same_[r] = int(same);
      kind_[r] = same == 16 ? kSame : same == 0 ? kNext : kBoth;
    }
  }
  // Register r from words of the current point's coordinates at `cur` and of the next
  // point's at `next` (either null: zero there).
  IReg words(int r, const uint32_t* cur, const uint32_t* next) const {
    const int64_t c = int64_t(j0_) + 16 * r;
    const IReg zero = simd::splat_word(0);
    switch (kind_[r]) {
      case kSame: return cur ? simd::load_words(cur + c) : zero;
      case kNext: return next ? simd::load_words(next + (c - d_)) : zero;
      default: {
        const IReg a = cur ? simd::load_words(cur + c, simd::first_words(same_[r])) : zero;
        if (!next) return a;
        // The next point's first 16 - same words, moved up to lanes same .. 15.
        const IReg b = simd::load_words(next, simd::first_words(16 - same_[r]));
        return simd::bit_xor(a, simd::window_words(zero, b, 16 - same_[r]));
      }
    }
  }

 private:
  enum Kind { kSame, kBoth, kNext };
  int64_t d_;
  uint32_t j0_;
  int same_[3];
  Kind kind_[3];
};

// Group j0 (w coordinates) of points index + 1 .. index + points to flat positions
// at + j0, at + j0 + d, ... of an output larger than the caches, as whole lines; the
// lines at the two ends of the call's whole points, partly other values', are ordinary
// stores of the item's values alone. Offset: some point's group starts off a line
// boundary; Tail: the 48 coordinates pass the point's end.
template <bool Offset, bool Tail, class Out> void group_lines(const Run& caller_run, const uint32_t* from,
                                                              uint32_t index, int64_t points, int64_t at, uint32_t j0,
                                                              uint32_t w, const Out& sink) {
  using E = std::remove_pointer_t<decltype(sink.r)>;
  using Bits = std::conditional_t<sizeof(E) == 8, uint64_t, uint32_t>;
  using M = std::conditional_t<sizeof(E) == 8, simd::Mask8, Mask16>;
  constexpr int L = 64 / sizeof(E), NX = Offset ? 3 : 2, Q = 32 / L;
  const auto window = [](IReg lo, IReg hi, int k) {
    if constexpr (sizeof(E) == 8) return simd::window(lo, hi, k);
    else return simd::window_words(lo, hi, k);
  };
  const Out out = sink;  // copies the stores cannot alias
  const Run run = caller_run;
  const Window win(run, j0);
  const Mask16 m1 = w > 16 ? simd::first_words(w - 16) : Mask16(0);  // the group's second register
  // Register r of the current point's words at cur and the next point's at next.
  const auto words = [&](int r, const uint32_t* cur, const uint32_t* next) {
    if constexpr (Tail) return win.words(r, cur, next);
    else if (Offset || r == 0) return simd::load_words(cur + j0 + 16 * r);
    else return simd::load_words(cur + j0 + 16, m1);
  };
  const int64_t end = at + points * run.d;  // the flat end of the whole points
  IReg x[NX];
  for (int r = 0; r < NX; ++r) {
    x[r] = words(r, from, from);
    if constexpr (Tail) x[r] = simd::bit_xor(x[r], win.words(r, nullptr, row(run, index)));
  }
  int64_t p = at + j0;
  int o = int(reinterpret_cast<uintptr_t>(out.r + p) / sizeof(E) % L);
  const int step = int(run.d % L);
  for (int64_t k = 0; k < points; ++k, ++index, p += run.d, o = (o + step) % L) {
    const uint32_t* cur = row(run, index);
    const uint32_t* next = Tail ? row(run, index + 1) : nullptr;
    for (int r = 0; r < NX; ++r) x[r] = simd::bit_xor(x[r], words(r, cur, next));
    std::array<IReg, Q + 1> c;  // the group's values a line per register, then the next line
    for (int r = 0; r < 2; ++r) {
      const auto v = out.lines_of(x[r]);
      for (size_t i = 0; i < v.size(); ++i) c[r * v.size() + i] = v[i];
    }
    if constexpr (!Offset) {
      for (int t = 0; t * L < int(w); ++t) simd::stream_line(out.r + p + t * L, c[t]);
      continue;
    }
    c[Q] = out.lines_of(x[NX - 1])[0];
    const int s0 = (L - o) % L;  // the first line boundary from the group's first value
    if (s0 > 0 && p == at)       // the line before it, partly the caller's
      simd::masked_store_bits(reinterpret_cast<Bits*>(out.r + p), M((1u << s0) - 1), c[0]);
    for (int t = 0; s0 + t * L < int(w); ++t) {
      const int64_t q = p + s0 + t * L;
      const IReg line = s0 == 0 ? c[t] : window(c[t], c[t + 1], s0);
      if (q + L <= end) simd::stream_line(out.r + q, line);
      else simd::masked_store_bits(reinterpret_cast<Bits*>(out.r + q), M((1u << (end - q)) - 1), line);
    }
  }
  uint32_t* const point = run.point + j0;
  simd::store_words(point, simd::first_words(w), x[0]);
  if (w > 16) simd::store_words(point + 16, m1, x[1]);
}

template <class Out> void group_lines(const Run& run, const uint32_t* from, uint32_t index, int64_t points, int64_t at,
                                      uint32_t j0, uint32_t w, const Out& out) {
  using E = std::remove_pointer_t<decltype(out.r)>;
  const bool offset =
      reinterpret_cast<uintptr_t>(out.r + at + j0) % 64 != 0 || run.d * sizeof(E) % 64 != 0 || w * sizeof(E) % 64 != 0;
  if (!offset) group_lines<false, false>(run, from, index, points, at, j0, w, out);
  else if (j0 + 48 <= run.d) group_lines<true, false>(run, from, index, points, at, j0, w, out);
  else group_lines<true, true>(run, from, index, points, at, j0, w, out);
}

// A threaded call in the caches, or past them in whole lines, is ceil(d / 32) items, as
// the threading rule has it, of which those that start the threader's ranges for a team
// of `limit` threads (item floor(items t / limit) for thread t) each make one block of
// the call's points, as one stretch of the output written point after point, and the
// others nothing: each thread then writes a stretch of its own, and a thread that is
// done takes a block only from a thread that has not started. (Items of 32 coordinates
// over all the points laid every point's values on both processors, whose prefetchers
// took each other's lines at every point: two threads were slower than one. Blocks over
// all the items moved the blocks a thread took from another between processors at the
// next call, and each block paid for its first point.) Points wider than kChunk
// coordinates go in chunks of them, a block's chunks in consecutive items.
constexpr uint32_t kChunk = 4096;

template <class Out> struct Blocks {
  Run run;
  uint32_t first_index;
  int64_t points, base;
  const Out* out;
  int64_t items, blocks, chunks;
  bool lines;   // whole lines (point_lines): one chunk, every point at the same offset from a line
  bool stream;  // those lines past the caches
  int64_t start(int64_t b) const { return items * b / blocks; }  // block b's first item
};

template <bool Stream> void put_line(void* at, IReg v) {
  if constexpr (Stream) simd::stream_line(at, v);
  else simd::store_line(at, v);
}

// The whole lines of up to 16 values of x to a line boundary at, of which `left` are
// still the point's.
template <bool Stream, class Out> void put_lines(const Out& out, int64_t at, IReg x, uint32_t left) {
  const auto v = out.lines_of(x);
  put_line<Stream>(out.r + at, v[0]);
  if (v.size() == 2 && left > 8) put_line<Stream>(out.r + at + 8, v[1]);
}

// Register j of the N points after `index` (their coordinates from c0 on), from the words
// of the point of `index` in pt, which are left at the last of them.
template <int N> struct NextPoints {
  uint32_t* pt;
  const uint32_t* r[N];
  NextPoints(const Run& run, uint32_t* p, uint32_t index, uint32_t c0) : pt(p) {
    for (int n = 0; n < N; ++n) r[n] = row(run, index + uint32_t(n)) + c0;
  }
  void operator()(uint32_t j, IReg (&x)[N]) const {
    IReg v = simd::load_words(pt + j);
    for (int n = 0; n < N; ++n) x[n] = v = simd::bit_xor(v, simd::load_words(r[n] + j));
    simd::store_words(pt + j, v);
  }
};

// Points index + 1 .. index + points from the words of the point of `index` in pt
// (padded to whole registers), which it leaves at the last point; every point at the
// same offset from a line (d a multiple of the values per line), values to flat
// positions at, at + d, ... as whole lines. When points start `head` values before a line
// boundary, the 16 words from head + j are the last of register j and the first of the
// next, one word permute (moving each line's values into place took two permutes per 16
// values, and storing the words and loading them back at the offset 20% more time on two
// threads); a point's first head values and its last L - head, the two parts of the line
// across two points, are each point's own masked stores. The points go N at a time, the
// point loaded and stored once per N (two: median 0.072 -> 0.061 ns per double on two
// threads, d = 1,000 x 128; four: 0.066).
template <int N, bool Stream, class Out>
void points_lines(const Run& run, uint32_t* pt, uint32_t index, int64_t at, uint32_t head, const Out& out) {
  const uint32_t d = run.d, L = 64 / sizeof(*out.r), end = head ? d - (L - head) : d;
  const uint32_t last = (d - 1) & ~15u;  // the point's last register
  const NextPoints<N> step(run, pt, index, 0);
  IReg x[N];
  if (head == 0) {
    for (uint32_t j = 0; j < d; j += 16) {
      step(j, x);
      for (int n = 0; n < N; ++n) put_lines<Stream>(out, at + n * int64_t(d) + j, x[n], d - j);
    }
    return;
  }
  IReg prev[N];
  step(0, prev);
  for (int n = 0; n < N; ++n) out.put(at + n * int64_t(d), prev[n], simd::first_words(head));
  for (uint32_t j = 16; j <= last; j += 16) {
    step(j, x);
    for (int n = 0; n < N; ++n) {
      put_lines<Stream>(out, at + n * int64_t(d) + j - 16 + head, simd::window_words(prev[n], x[n], int(head)),
                        end - (j - 16 + head));
      prev[n] = x[n];
    }
  }
  const IReg zero = simd::splat_word(0);
  for (int n = 0; n < N; ++n) {
    if (last + head < end)
      put_lines<Stream>(out, at + n * int64_t(d) + last + head, simd::window_words(prev[n], zero, int(head)),
                        end - (last + head));
    out.put(at + n * int64_t(d) + end, simd::window_words(prev[n], zero, int(end - last)), simd::first_words(d - end));
  }
}

template <bool Stream, class Out>
void point_lines(const Run& run, uint32_t* pt, uint32_t index, int64_t points, int64_t at, const Out& out) {
  using E = std::remove_pointer_t<decltype(out.r)>;
  constexpr uint32_t L = 64 / sizeof(E);
  const uint32_t head = (L - uint32_t(reinterpret_cast<uintptr_t>(out.r + at) / sizeof(E) % L)) % L;
  int64_t k = 0;
  for (; k + 2 <= points; k += 2) points_lines<2, Stream>(run, pt, index + uint32_t(k), at + k * run.d, head, out);
  if (k < points) points_lines<1, Stream>(run, pt, index + uint32_t(k), at + k * run.d, head, out);
}

template <class Out> void block_item(int64_t item, int64_t thread, int64_t, void* ctx) {
  const Blocks<Out>& s = *static_cast<const Blocks<Out>*>(ctx);
  int64_t b = std::min(s.blocks - 1, item * s.blocks / s.items);  // the last block starting at or before item
  while (s.start(b) > item) --b;
  while (b + 1 < s.blocks && s.start(b + 1) <= item) ++b;
  if (item - s.start(b) >= s.chunks) return;
  const Out out = *s.out;  // a copy the stores cannot alias
  const Run run = s.run;
  const uint32_t c0 = uint32_t(item - s.start(b)) * kChunk, w = std::min(kChunk, run.d - c0), padded = (w + 15) & ~15u;
  const int64_t p0 = s.points * b / s.blocks, points = s.points * (b + 1) / s.blocks - p0;
  const uint32_t index = s.first_index + uint32_t(p0);
  // The chunk's words of the point of `index`. The caller's thread, which keeps the
  // stream's point, starts from it and the rows of the Gray-code bits in which the two
  // indices differ; the others from the rows of the bits of the index alone, which are
  // only read: the point's lines would move to their processors and back at every call.
  alignas(64) uint32_t pt[kChunk + 16];  // read up to 16 words past the chunk by point_lines
  uint32_t bits = gray(index);
  if (thread == 0) {
    std::memcpy(pt, run.point + c0, padded * 4);
    bits ^= gray(s.first_index);
  } else {
    std::memset(pt, 0, padded * 4);
  }
  std::memset(pt + padded, 0, 64);
  xor_rows(run, bits, pt, c0, padded);
  const int64_t at = s.base + p0 * run.d + c0;
  if (s.lines) {
    if (s.stream) {
      point_lines<true>(run, pt, index, points, at, out);
      simd::streaming_done();
    } else {
      point_lines<false>(run, pt, index, points, at, out);
    }
    return;
  }
  // Elsewhere each value register is stored as it is.
  for (int64_t k = 0; k < points; ++k) {
    const NextPoints<1> step(run, pt, index + uint32_t(k), c0);
    for (uint32_t j = 0; j < w; j += 16) {
      IReg x[1];
      step(j, x);
      if (j + 16 <= w) out.put_all(at + k * run.d + j, x[0]);
      else out.put(at + k * run.d + j, x[0], simd::first_words(w - j));
    }
  }
}

template <class Out> void group_worker(int64_t g, int64_t, int64_t, void* ctx) {
  const Groups<Out>& s = *static_cast<const Groups<Out>*>(ctx);
  const uint32_t j = 32 * uint32_t(g);
  group_lines(s.run, s.from, s.first_index, s.points, s.base, j, std::min(32u, s.run.d - j), *s.out);
  simd::streaming_done();
}

// Whether a call of `points` whole points goes to the threader (the rule, and a limit above
// 1), its parallel loop and the threads' limit.
bool threads_for(uint32_t d, int64_t points, nrx_threader_for_fn* parallel_for, int64_t* team) {
  if (!threaded(d, uint64_t(points))) return false;
  const auto limit = reinterpret_cast<nrx_threader_get_num_threads_limit_fn>(
      nrx_serv_load_thread_fun("nrx_dru_serv_threader_get_num_threads_limit"));
  if (!limit || (*team = limit()) <= 1) return false;
  *parallel_for = reinterpret_cast<nrx_threader_for_fn>(nrx_serv_load_thread_fun("nrx_dru_serv_threader_for"));
  return *parallel_for != nullptr;
}

template <class Out>
void whole_points(const Run& run, uint32_t first_index, int64_t points, int64_t base, const Out& out) {
  using E = std::remove_pointer_t<decltype(out.r)>;
  const uint64_t values = uint64_t(points) * run.d;
  // Dimensions up to 16 are not streamed: the stage's pieces are too short for the set-up
  // of the block path.
  const bool stream =
      run.d > 16 && values * sizeof(E) >= kStreamBytes && reinterpret_cast<uintptr_t>(out.r) % sizeof(E) == 0;
  nrx_threader_for_fn parallel_for;
  if (int64_t team; threads_for(run.d, points, &parallel_for, &team)) {
    constexpr uint64_t kLine = 64 / sizeof(E);
    const bool lines = run.d <= kChunk && run.d % kLine == 0 && reinterpret_cast<uintptr_t>(out.r) % sizeof(E) == 0;
    if (!stream || lines) {
      const int64_t items = (run.d + 31) / 32, chunks = (run.d + kChunk - 1) / kChunk;
      const int64_t blocks = std::max<int64_t>(1, std::min({team, points, items / chunks}));
      Blocks<Out> s{run, first_index, points, base, &out, items, blocks, chunks, lines, stream};
      parallel_for(items, 0, &s, block_item<Out>);
      xor_rows(run, gray(first_index) ^ gray(first_index + uint32_t(points)));  // to the last point
      return;
    }
    // Streamed, the items read the words of the point next to their own as they were.
    uint32_t* from = static_cast<uint32_t*>(nrx_serv_allocate(size_t(run.stride) * 4, 64));
    if (from) {
      std::memcpy(from, run.point, size_t(run.d) * 4);
      Groups<Out> s{run, first_index, points, base, &out, from};
      parallel_for((run.d + 31) / 32, 0, &s, group_worker<Out>);
      nrx_serv_deallocate(from);
      return;
    }
  }
  span_any(run, first_index, points, base, out, stream);
}

template <class Out> int32_t emit(DruStream* s, const Layout& l, int64_t n, const Out& out) {
  if (n <= 0) return DRU_OK;
  Header* h = header(s);
  if (!sane(h)) return DRU_E_BAD_IMAGE;
  const int64_t d = h->dim;
  const bool selection = h->selected != kNoSelection;
  const uint64_t need = selection ? uint64_t(n) * uint64_t(d) : uint64_t(n);
  if (h->counter + need > kLimit) return DRU_E_QRNG_EXHAUSTED;
  Run run;
  if (const int32_t st = run_of(s, l, &run); st != DRU_OK) return st;
  if (selection) {
    alignas(64) uint32_t buf[16];
    for (int64_t i = 0; i < n; i += 16) {
      const int64_t m = std::min<int64_t>(16, n - i);
      for (int64_t k = 0; k < m; ++k) {
        if (h->remaining == 0) step(run, h);
        h->remaining = 0;
        buf[k] = run.point[h->selected];
      }
      deliver(buf, m, i, out);
    }
  } else {
    int64_t i = 0;
    if (h->remaining > 0) {
      i = std::min<int64_t>(h->remaining, n);
      deliver(run.point + (d - h->remaining), i, 0, out);
      h->remaining -= uint32_t(i);
    }
    if (const int64_t points = (n - i) / d; points > 0) {
      whole_points(run, h->index, points, i, out);
      h->index += uint32_t(points);
      i += points * d;
    }
    if (i < n) {
      step(run, h);
      deliver(run.point, n - i, i, out);
      h->remaining = uint32_t(d - (n - i));
    }
  }
  h->counter += uint32_t(need);
  keep_copy(s, l, run);
  return DRU_OK;
}

}  // namespace

// Above 32 dimensions, from the dimension and the number of whole points c. Between 33
// and 63 dimensions no d is a multiple of 32, so those calls stay on one thread. From 64
// on, a call stays when it is small: c < 131072 and (d < 250 or (c < 8192 and (d < 500
// or (c < 256 and (d < 1000 or ... (c < 2 and d < 32000)))))), evaluated from the
// innermost pair of bounds out.
bool threaded(uint64_t d, uint64_t c) {
  if (d <= 32) return false;
  if (d < 64) return d % 32 == 0 && c >= 131072;
  constexpr struct {
    uint64_t c, d;
  } kSmall[] = {{131072, 250}, {8192, 500}, {256, 1000}, {64, 2000}, {32, 4000}, {8, 16000}, {2, 32000}};
  bool small = false;
  for (int i = std::size(kSmall) - 1; i >= 0; --i) small = c < kSmall[i].c && (d < kSmall[i].d || small);
  return !small;
}

bool sobol_directions(uint32_t poly, const uint32_t* m_init, uint32_t* v) {
  if ((poly & 1u) == 0 || poly < 2) return false;
  const int s = std::bit_width(poly) - 1;
  uint64_t m[kBits + 1];
  for (int k = 1; k <= kBits; ++k) {
    if (k <= s) {
      m[k] = m_init[k - 1];
      if ((m[k] & 1u) == 0 || m[k] >> k != 0) return false;
    } else {
      // m_k = 2 a_1 m_(k-1) ^ 4 a_2 m_(k-2) ^ ... ^ 2^s m_(k-s) ^ m_(k-s), a_i = bit s - i
      uint64_t x = m[k - s] ^ (m[k - s] << s);
      for (int i = 1; i < s; ++i)
        if ((poly >> (s - i)) & 1u) x ^= m[k - i] << i;
      m[k] = x;
    }
    v[k - 1] = uint32_t(m[k] << (kBits - k));
  }
  return true;
}

int32_t seed(DruStream* s, const Layout& l, uint32_t d, const uint32_t* dirs, const uint32_t* polys) {
  _druDeleteChunksById(s, kDirChunk);
  _druDeleteChunksById(s, kPointChunk);
  *header(s) = Header{1, d, kNoSelection, 0, 0};
  if (d <= l.dims) {
    uint32_t* copy = at(s, l.dirs_at);
    for (uint32_t j = 0; j < d; ++j) {
      copy[j * kDimWords] = polys[j];
      std::memcpy(copy + j * kDimWords + 1, dirs + size_t(j) * kBits, kBits * 4);
    }
    std::memset(at(s, l.point_at), 0, size_t(d) * 4);
  }
  return attach(s, d, dirs, kBits);
}

int32_t select(DruStream* s, const Layout& l, int32_t k, int32_t total) {
  Header* h = header(s);
  if (total != 0x7FFFFFFF || k < 0 || !sane(h) || uint32_t(k) >= h->dim) return DRU_E_NO_LEAPFROG;
  // The next value is coordinate k of the point holding the stream's position, or of
  // the point after it when that point's coordinate k lies behind the position.
  const uint64_t d = h->dim, v = h->counter - 1u, p = v / d;
  const uint64_t target = (uint64_t(k) >= v % d ? p : p + 1) + 1;  // its Gray-code index
  if ((target - 1) * d + uint64_t(k) + 1 > kLimit) return DRU_E_QRNG_EXHAUSTED;
  Run run;
  if (const int32_t st = run_of(s, l, &run); st != DRU_OK) return st;
  if (h->index + 1 < target) step(run, h);
  h->remaining = h->index == target ? 1 : 0;
  h->selected = uint32_t(k);
  h->counter = uint32_t((target - 1) * d + uint64_t(k) + 1);
  keep_copy(s, l, run);
  return DRU_OK;
}

int32_t skip(DruStream* s, const Layout& l, uint64_t points) {
  Header* h = header(s);
  if (!sane(h)) return DRU_E_NO_SKIP_AHEAD;
  const uint64_t d = h->dim;
  if (points > kLimit / d || points * d >= kLimit || h->counter + points * d >= kLimit) return DRU_E_NO_SKIP_AHEAD;
  if (points == 0) return DRU_OK;
  Run run;
  if (const int32_t st = run_of(s, l, &run); st != DRU_OK) return st;
  h->index += uint32_t(points);
  h->counter += uint32_t(points * d);
  point_of_index(run, h->index);
  keep_copy(s, l, run);
  return DRU_OK;
}

int32_t init(int32_t method, DruStream* s, int32_t n, const uint32_t* params, const Layout& l, SeedFn seed) {
  switch (method) {
    case DRU_INIT_STANDARD: return seed(s, n, params);
    case DRU_INIT_LEAPFROG: return select(s, l, int32_t(params[0]), n);
    case DRU_INIT_SKIP_AHEAD: return n < 1 ? int32_t(DRU_E_NO_SKIP_AHEAD) : skip(s, l, skip_count(n, params));
    case DRU_INIT_SKIP_AHEAD_EX: return DRU_E_NO_SKIP_AHEAD_EX;
    default: return DRU_E_BAD_METHOD;
  }
}

template <class T> int32_t reals(DruStream* s, const Layout& l, int64_t n, T* r, double a, double b) {
  if (!(std::fabs(b - a) >= 0x1p-960)) return emit(s, l, n, RealOut<T, kApart>(r, a, b));
  if (a == 0 && b - a == 1) return emit(s, l, n, RealOut<T, kUnit>(r, a, b));
  return emit(s, l, n, RealOut<T, kPlain>(r, a, b));
}
template int32_t reals<float>(DruStream*, const Layout&, int64_t, float*, double, double);
template int32_t reals<double>(DruStream*, const Layout&, int64_t, double*, double, double);

int32_t words(DruStream* s, const Layout& l, int64_t n, uint32_t* r) { return emit(s, l, n, WordOut{r}); }

}  // namespace nrx::rng::quasi
