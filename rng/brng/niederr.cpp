// Niederreiter in base 2: 318 built-in dimensions, dimension i from the i-th irreducible
// polynomial over GF(2) (tools/qrng_tables.py), or the caller's ready direction numbers.
#include <vector>

#include "rng/brng/sobol_core.h"

namespace nrx::rng {
namespace {

struct Row {
  uint32_t poly, v[quasi::kBits];
};
constexpr Row kRows[] = {
#include "rng/brng/niederr_table.inc"
};
constexpr uint32_t kBuiltinDims = 318;
static_assert(sizeof kRows / sizeof kRows[0] == kBuiltinDims);

// State: header @16, point @64 (318 words), 318 x 33 words @1344.
constexpr quasi::Layout kLayout{64, 1344, kBuiltinDims};
static_assert(64 + 4 * kBuiltinDims <= 1344 && 1344 + kBuiltinDims * quasi::kDimWords * 4 <= 84288);

constexpr uint32_t kFormDirections = 11;

int32_t seed(DruStream* s, int32_t n, const uint32_t* p) {
  uint32_t d = 1;
  if (n == 1) d = p[0] >= 1 && p[0] <= kBuiltinDims ? p[0] : 1;
  if (n >= 2) d = int32_t(p[0]) <= 0 ? 1 : p[0];
  if (n >= 4 && p[1] == 1 && p[2] == kFormDirections && d <= quasi::kMaxDim && uint64_t(n) >= 32 * uint64_t(d) + 3) {
    const std::vector<uint32_t> polys(d, 0);
    return quasi::seed(s, kLayout, d, p + 3, polys.data());
  }
  if (d > kBuiltinDims) d = 1;
  std::vector<uint32_t> dirs(size_t(d) * quasi::kBits), polys(d);
  for (uint32_t j = 0; j < d; ++j) {
    polys[j] = kRows[j].poly;
    std::copy(kRows[j].v, kRows[j].v + quasi::kBits, dirs.begin() + ptrdiff_t(j) * quasi::kBits);
  }
  return quasi::seed(s, kLayout, d, dirs.data(), polys.data());
}

}  // namespace
}  // namespace nrx::rng

NRX_QRNG_ENTRY_POINTS(Niederr, nrx::rng::kLayout, nrx::rng::seed)
