// MRG32K3A constants: the two component recurrences as companion matrices acting on
// the state vectors (x[n-3], x[n-2], x[n-1]).
#pragma once
#include "rng/brng/modmath.h"

namespace nrx::rng {

constexpr uint32_t kMrgM1 = 4294967087u;  // 2^32 - 209
constexpr uint32_t kMrgM2 = 4294944443u;  // 2^32 - 22853
constexpr uint32_t kMrgA12 = 1403580u, kMrgA13 = 810728u;
constexpr uint32_t kMrgA21 = 527612u, kMrgA23 = 1370589u;

// x1[n] = a12 x1[n-2] - a13 x1[n-3] mod m1
constexpr Mat3 kMrgA1{{0, 1, 0, 0, 0, 1, kMrgM1 - kMrgA13, kMrgA12, 0}};
// x2[n] = a21 x2[n-1] - a23 x2[n-3] mod m2
constexpr Mat3 kMrgA2{{0, 1, 0, 0, 0, 1, kMrgM2 - kMrgA23, 0, kMrgA21}};

// Advances both state vectors by the count of nwords 64-bit words.
void mrg_skip(uint32_t x1[3], uint32_t x2[3], int32_t nwords, const uint64_t* e);

}  // namespace nrx::rng
