// The catalogue of vector math function tables, generated from zar/functions.py.
// Read by the tests, the benchmarks, the accuracy tool and the demonstration program:
// everything that iterates over "every function" iterates over this array.
#pragma once
#include <cstddef>

#include "zar/service/shape.h"

namespace nrx::zar::catalog {

using Shape = ::nrx::zar::Shape;

struct Entry {
  const char* func;  // "Exp"
  char type;         // 's', 'd', 'c' or 'z'
  Shape shape;
  bool strided;          // the I variant
  void* const* ttab;     // slots 0 (LA), 1 (HA), 2 (EP)
  const float* ctab;     // cost figure of each slot, cycles per element
  const char* share;     // "1", "lh", "le" or "3"
  const char* kernel;    // family of the kernel (zar/kernels/<family>.h)
  const char* oracle;    // reference computation key, nullptr for exact functions
  double lo, hi;         // sampling interval of the first argument
  bool exact;            // correctly rounded in every flavour
  const char* sleef;     // SLEEF / libmvec base name, nullptr when they lack it
  bool poles;            // finite arguments can have infinite exact results
  const char* names[4];  // public names: LA, HA, EP, plain
  void* fns[4];          // their addresses, same order
  double bound[3];       // ulp bound of each slot's kernel (0: correctly rounded)
};

// One special-input row of the list: the inputs of one element and what the element gives.
struct Special {
  enum Kind { exact, within_bound, subnormal, any };  // how a result part is checked
  const char* func;                                   // "Exp"
  const char* types;                                  // type letters the row holds for
  bool ftz;                                           // with the mode's flush-to-zero and denormals-are-zero
  int slot;                                           // the only slot checked, -1 for all three
  int nargs;         // arguments: a, b (or Powx's scalar), then LinearFrac's four scalars
  double arg[6][2];  // (real, imaginary) of each argument
  int nres;          // results: two for SinCos and Modf
  Kind kind[2][2];   // per result and part
  double want[2][2];
  int code;          // status reported for the element, 0 for none
  const char* text;  // the row as the list writes it
};

extern const Entry entries[];
extern const size_t count;
extern const Special specials[];
extern const size_t special_count;

}  // namespace nrx::zar::catalog
