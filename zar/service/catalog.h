// The catalogue of vector math function tables, generated from zar/functions.py.
// Read by the tests, the benchmarks, the accuracy tool and the demonstration program:
// everything that iterates over "every function" iterates over this array.
#pragma once
#include <cstddef>

#include "zar/service/shape.h"

namespace nrx::zar::catalog {

using Shape = ::nrx::zar::Shape;

struct Entry {
  const char* func;        // "Exp"
  char type;               // 's', 'd', 'c' or 'z'
  Shape shape;
  bool strided;            // the I variant
  void* const* ttab;       // slots 0 (LA), 1 (HA), 2 (EP)
  const float* ctab;       // cost figure of each slot, cycles per element
  const char* share;       // "1", "lh", "le" or "3"
  const char* kernel;      // family of the vector kernel, nullptr while interim
  const char* oracle;      // reference computation key, nullptr for exact functions
  double lo, hi;           // sampling interval of the first argument
  bool exact;              // correctly rounded in every flavour
  const char* sleef;       // SLEEF / libmvec base name, nullptr when they lack it
  bool poles;              // finite arguments can have infinite exact results
  const char* names[4];    // public names: LA, HA, EP, plain
  void* fns[4];            // their addresses, same order
};

extern const Entry entries[];
extern const size_t count;

}  // namespace nrx::zar::catalog
