// Argument shapes of the vector math functions: which arrays and scalars a call takes.
#pragma once

namespace nrx::zar {

enum class Shape { v1, v2, vs, v1r2, lf, c2r, r2c, packI, packM, packV, unpackI, unpackM, unpackV };

}  // namespace nrx::zar
