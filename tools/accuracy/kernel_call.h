// Calling one kernel of a function table.
#pragma once
#include <cstddef>
#include <cstdint>

#include "tools/accuracy/sampling.h"

namespace nrx::accuracy {

// Strides used for the strided (I) tables; unit-stride tables use 1 everywhere.
struct Strides {
  int a = 1, b = 1, r = 1, r2 = 1;
};
Strides strides_for(const catalog::Entry& e);

// Calls kernel `fn` with the argument list of the entry's shape: arrays of the entry's
// element type (real arrays for the real side of c2r and r2c), the scalars of Powx
// (scalars[0], scalars[1] for a complex exponent) or LinearFrac (scalars[0..3]) converted
// to the element type, and the strides when the entry is strided.
void invoke(const catalog::Entry& e, void* fn, int32_t n, const void* a, const void* b, const double* scalars, void* r,
            void* r2, const Strides& s);

// Calls kernel `fn` of entry e on in[0..n) and writes the results as doubles, two per
// element (result, second result or imaginary part), into out[0..2n). Arrays are laid out
// with the entry's strides; the gaps between elements and a guard zone after the last one
// are filled with a marker, and the number of marker words found changed afterwards is
// returned (a kernel must write nothing but its results).
size_t call_kernel(const catalog::Entry& e, void* fn, const Input* in, size_t n, double* out);

}  // namespace nrx::accuracy
