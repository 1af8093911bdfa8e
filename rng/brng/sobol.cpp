// Sobol: 40 built-in dimensions from primitive polynomials and initial numbers, or
// dimensions of any number from the caller's polynomials, initial numbers or ready
// direction numbers (the forms documented in nrx/rng.h).
#include <bit>
#include <vector>

#include "rng/brng/sobol_core.h"

namespace nrx::rng {
namespace {

struct Row {
  uint32_t poly, degree, m[8];
};
constexpr Row kRows[] = {
#include "rng/brng/sobol_table.inc"
};
constexpr uint32_t kBuiltinDims = 40;
static_assert(sizeof kRows / sizeof kRows[0] == kBuiltinDims - 1, "dimensions 2 .. 40");

// State: header @16, point @64 (48 words), 48 x 33 words @256: the copy of dimensions up to 48.
constexpr quasi::Layout kLayout{64, 256, 48};
static_assert(sizeof(DruStream) + sizeof(quasi::Header) <= 64 && 64 + 4 * 48 <= 256);
static_assert(256 + 48 * quasi::kDimWords * 4 <= 11712, "fits the registered state size");

constexpr uint32_t kForm = 1, kFormWords = 2, kFormSplit = 3, kFormDirections = 11;

struct Tables {
  std::vector<uint32_t> dirs, polys;  // d x 32 direction numbers, d polynomials
  explicit Tables(uint32_t d) : dirs(size_t(d) * quasi::kBits), polys(d) {
    for (int k = 0; k < quasi::kBits; ++k) dirs[size_t(k)] = 0x80000000u >> k;  // 2^-1 .. 2^-32
    polys[0] = 1;
  }
  // Dimension j (>= 2) from a polynomial of degree at most max_degree and its numbers.
  bool set(uint32_t j, uint32_t poly, const uint32_t* m, uint64_t max_degree) {
    polys[j - 1] = poly;
    return poly != 0 && uint64_t(std::bit_width(poly) - 1) <= max_degree &&
           quasi::sobol_directions(poly, m, &dirs[size_t(j - 1) * quasi::kBits]);
  }
};

void from_table(uint32_t d, Tables& t) {
  for (uint32_t j = 2; j <= d; ++j) t.set(j, kRows[j - 2].poly, kRows[j - 2].m, kRows[j - 2].degree);
}

// The caller's data of params[2]'s form, when it fits in the n words and defines every
// dimension.
bool from_caller(uint32_t d, int32_t n, const uint32_t* p, Tables& t) {
  const uint64_t words = uint64_t(n), dims = d;
  switch (p[2]) {
    case kForm: {
      if (words < dims + 2) return false;
      const uint32_t ones[quasi::kBits] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,
                                           1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
      for (uint32_t j = 2; j <= d; ++j)
        if (!t.set(j, p[3 + j - 2], ones, quasi::kBits)) return false;
      return true;
    }
    case kFormWords: {
      const uint64_t block = p[3];
      if (block < 2 || words < (dims - 1) * block + 4) return false;
      for (uint32_t j = 2; j <= d; ++j) {
        const uint32_t* b = p + 4 + (j - 2) * block;
        if (!t.set(j, b[0], b + 1, block - 1)) return false;
      }
      return true;
    }
    case kFormSplit: {
      if (words < dims + 3) return false;
      const uint64_t top = p[d + 2];
      if (top < 1 || words < (dims - 1) * (top + 1) + 4) return false;
      for (uint32_t j = 2; j <= d; ++j)
        if (!t.set(j, p[3 + j - 2], p + d + 3 + (j - 2) * top, top)) return false;
      return true;
    }
    case kFormDirections:
      if (words < 32 * dims + 3) return false;
      t.dirs.assign(p + 3, p + 3 + 32 * dims);
      t.polys.assign(d, 0);
      return true;
    default: return false;
  }
}

int32_t seed(DruStream* s, int32_t n, const uint32_t* p) {
  uint32_t d = 1;
  if (n == 1) d = p[0] >= 1 && p[0] <= kBuiltinDims ? p[0] : 1;
  if (n >= 2) d = int32_t(p[0]) <= 0 ? 1 : p[0];
  if (n >= 4 && p[1] == 1 && d <= quasi::kMaxDim) {
    Tables t(d);
    if (from_caller(d, n, p, t)) return quasi::seed(s, kLayout, d, t.dirs.data(), t.polys.data());
  }
  if (d > kBuiltinDims) d = 1;
  Tables t(d);
  from_table(d, t);
  return quasi::seed(s, kLayout, d, t.dirs.data(), t.polys.data());
}

}  // namespace
}  // namespace nrx::rng

NRX_QRNG_ENTRY_POINTS(Sobol, nrx::rng::kLayout, nrx::rng::seed)
