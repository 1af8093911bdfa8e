// Accuracy of vector math kernels against MPFR.
//
// measure() calls one slot of a function table on a sample of inputs (uniform and
// log-uniform over the function's domain, plus special values) and compares every result
// with a reference computed in MPFR at more than three times the working precision, rounded
// into the result format with subnormals and overflow. Errors are in ulps of the format at
// the exact value. Complex results are measured part by part in ulps of the exact modulus.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/accuracy/oracle.h"
#include "tools/accuracy/ulp.h"
#include "zar/service/catalog.h"

namespace nrx::accuracy {

struct Options {
  size_t samples = 2000;  // drawn inputs, besides the special values
  bool range = false;     // use [lo, hi] instead of the entry's domain
  double lo = 0, hi = 0;
  std::vector<double> special;  // further inputs for the special-value list
  bool ftz = false;             // run the kernels with flush-to-zero and denormals-are-zero
  uint64_t seed = 1;
  size_t keep_worst = 3;
  size_t keep_bad = 8;
};

struct Sample {
  double in[kInputs] = {};
  double got[2] = {};
  double want[2] = {};  // the exact result rounded into the format
  int nout = 1;
  double ulp = 0;
  Mismatch kind = Mismatch::none;
};

inline constexpr int kMismatchKinds = 7;

struct Result {
  int slot = 0;
  size_t count = 0;     // results compared
  size_t measured = 0;  // results with a finite ulp error
  double max_ulp = 0;
  double mean_ulp = 0;
  double bound = 0;
  size_t mismatches = 0;                // special-value and exactness failures (no annex_g)
  size_t by_kind[kMismatchKinds] = {};  // indexed by Mismatch
  std::vector<Sample> worst;            // largest errors first
  std::vector<Sample> bad;              // first mismatching results
  bool pass() const { return max_ulp <= bound && mismatches == 0; }
};

const char* slot_name(int slot);  // "LA", "HA", "EP"

// Flavour of the kernel in a slot, 1 LA, 2 HA, 3 EP: a kernel shared by several slots is
// the kernel of one flavour ("1": HA everywhere; "lh": HA in LA's slot; "le": LA in EP's).
int slot_flavour(const catalog::Entry& e, int slot);

// Results must equal the correctly rounded value bit for bit.
bool correctly_rounded(const catalog::Entry& e);

// Ulp bound of a slot, as zar/functions.py gives it for the flavour of the slot's kernel.
double bound(const catalog::Entry& e, int slot);

Format format_of(const catalog::Entry& e);

// An entry the tool can measure: a reference exists and the shape computes element-wise.
bool measurable(const catalog::Entry& e);

// Slots whose kernel differs from every earlier slot's (a shared kernel is measured once).
std::vector<int> distinct_slots(const catalog::Entry& e);

Result measure(const catalog::Entry& e, int slot, const Options& o);
// The same inputs and references for several slots at once.
std::vector<Result> measure_slots(const catalog::Entry& e, const std::vector<int>& slots, const Options& o);

// "dExp" or "dExpI" for an entry.
std::string table_name(const catalog::Entry& e);

// A table base ("dExp", "sLnI") or a public name ("zardExp_50", "zarsExp"). For a public
// name *slot is set to its slot, for a base to -1. Null when nothing matches.
const catalog::Entry* find_entry(const std::string& name, int* slot);

// One line describing a sample: inputs, result, expected result, error.
std::string describe(const catalog::Entry& e, const Sample& s);

}  // namespace nrx::accuracy
