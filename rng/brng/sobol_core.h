// The digital sequences in base 2 behind Sobol and Niederreiter: a generator is fixed
// by 32 direction numbers per dimension, and point n + 1 is point n XOR, coordinate by
// coordinate, direction number c, c the lowest zero bit of n (Gray-code order, the
// origin skipped). Values go out as one flat stream: the d coordinates of point 1, then
// those of point 2, ...
//
// Chunks: kind 9 holds the direction numbers row by row (row c: number c of every
// dimension, rows padded to 16 words), entered in the shared read-only table so that
// copies and loaded images share it; kind 13, private, holds the current point. The
// state keeps its own copy of both when the dimension fits, from which generation
// rebuilds the chunks when they are missing.
#pragma once
#include <cstdint>

#include "rng/internal.h"

namespace nrx::rng::quasi {

constexpr uint32_t kDirChunk = DRU_CHUNK_QRNG_ROWS, kPointChunk = DRU_CHUNK_QRNG_POINT;
constexpr int kBits = 32;
constexpr uint32_t kNoSelection = 0xFFFFFFFFu;
constexpr uint32_t kDimWords = 33;      // per dimension in the state: polynomial, 32 direction numbers
constexpr uint32_t kMaxDim = 1u << 24;  // keeps the row chunk below 2^32 bytes

struct Header {      // at stream offset 16
  uint32_t counter;  // 1 + position of the next value in the flat sequence
  uint32_t dim;
  uint32_t selected;   // the coordinate delivered alone, kNoSelection for all
  uint32_t remaining;  // coordinates of the current point still to deliver
  uint32_t index;      // Gray-code index of the current point, 0 for the origin
};

// Where a generator's state keeps its copy: byte offsets from the stream start, and
// the largest dimension the copy holds.
struct Layout {
  uint32_t point_at, dirs_at, dims;
};

// Seeds a stream of dimension d (1 <= d <= kMaxDim) from d x 32 direction numbers,
// dimension after dimension, and each dimension's polynomial (kept in the state
// copy only). DRU_E_NO_MEMORY when a chunk cannot be made.
int32_t seed(DruStream* s, const Layout& l, uint32_t d, const uint32_t* dirs, const uint32_t* polys);
// Selects coordinate k alone (total must be 0x7FFFFFFF, k < d): DRU_E_NO_LEAPFROG otherwise.
int32_t select(DruStream* s, const Layout& l, int32_t k, int32_t total);
// Moves the stream on by `points` points; DRU_E_NO_SKIP_AHEAD past the value limit.
int32_t skip(DruStream* s, const Layout& l, uint64_t points);
// n values; DRU_E_QRNG_EXHAUSTED past the limit, DRU_E_NO_SHARED_ENTRY when the chunks
// of a stream above the state copy's dimension are gone, DRU_E_NO_MEMORY.
template <class T> int32_t reals(DruStream* s, const Layout& l, int64_t n, T* r, double a, double b);
int32_t words(DruStream* s, const Layout& l, int64_t n, uint32_t* r);

// The Init method codes: 0 seed, 1 select (k = params[0], total = n), 2 skip-ahead
// (n < 1 refused with DRU_E_NO_SKIP_AHEAD), 3 DRU_E_NO_SKIP_AHEAD_EX, others DRU_E_BAD_METHOD.
using SeedFn = int32_t (*)(DruStream* s, int32_t n, const uint32_t* params);
int32_t init(int32_t method, DruStream* s, int32_t n, const uint32_t* params, const Layout& l, SeedFn seed);

// Whether a call of c whole points in dimension d goes to the threader (when its limit is
// above 1), as ceil(d / 32) items of 32 coordinates. Values before the call's first whole
// point and after its last are not counted: they come from the stream's point on the
// calling thread.
bool threaded(uint64_t d, uint64_t c);

// Sobol direction numbers v_1 .. v_32 of a primitive polynomial (degree s >= 1, odd) and
// its initial numbers m_1 .. m_min(s, 32); false when the data cannot define them (m_k
// even or not below 2^k).
bool sobol_directions(uint32_t poly, const uint32_t* m, uint32_t* v);

}  // namespace nrx::rng::quasi

// The four C entry points of a quasi-random generator with state layout `layout` and
// seeding function `seed_fn`.
#define NRX_QRNG_ENTRY_POINTS(Name, layout, seed_fn)                                                           \
  extern "C" {                                                                                                 \
  NRX_RNG_API int32_t _druBRng##Name##InitStream(int32_t method, DruStream* s, int32_t n, const uint32_t* p) { \
    return nrx::rng::quasi::init(method, s, n, p, layout, seed_fn);                                            \
  }                                                                                                            \
  NRX_RNG_API int32_t _drudBRng##Name(DruStream* s, int32_t n, double* r, double a, double b) {                \
    return nrx::rng::quasi::reals(s, layout, n, r, a, b);                                                      \
  }                                                                                                            \
  NRX_RNG_API int32_t _drusBRng##Name(DruStream* s, int32_t n, float* r, float a, float b) {                   \
    return nrx::rng::quasi::reals(s, layout, n, r, double(a), double(b));                                      \
  }                                                                                                            \
  NRX_RNG_API int32_t _druiBRng##Name(DruStream* s, int32_t n, uint32_t* r) {                                  \
    return nrx::rng::quasi::words(s, layout, n, r);                                                            \
  }                                                                                                            \
  }
