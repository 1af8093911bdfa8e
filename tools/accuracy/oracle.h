// Reference computations: one evaluator per oracle key of the function list.
#pragma once
#include <mpfr.h>

#include <string>

#include "tools/accuracy/ulp.h"
#include "zar/service/catalog.h"

namespace nrx::accuracy {

namespace catalog = ::nrx::zar::catalog;

// Inputs of one element, as doubles (single-precision inputs are widened exactly):
//   in[0], in[1]  first argument (real part, imaginary part)
//   in[2], in[3]  second argument or the scalar of an array-and-scalar function
//   in[4..7]      scalea, shifta, scaleb, shiftb of LinearFrac
inline constexpr int kInputs = 8;

struct EvalCtx {
  Format f;        // format of the results (and of each complex part)
  mpfr_prec_t wp;  // working precision for values that are rounded afterwards
};

// How an evaluator's outputs are to be read.
enum RefKind : int {
  kRefExact = 0,     // values at working precision, compared after rounding to the format
  kRefInFormat = 1,  // values already in the format (correctly rounded by construction)
  kRefAnnexG = 2,    // complex reference from the C library: only the class of each part counts
};

// Writes out[0] (and out[1] for two results or a complex result) and returns a RefKind.
// The outputs are initialised by the caller at precision ctx.wp; evaluators may change it.
using Eval = int (*)(mpfr_ptr* out, const double* in, const EvalCtx& ctx);

// An evaluator may accept a second bit pattern for a correctly rounded result (the unfused
// and the fused evaluation of LinearFrac, either zero for Fmax of +0 and -0). Returns false
// when there is none.
using Alt = bool (*)(const double* in, const EvalCtx& ctx, double* out);

struct Oracle {
  const char* key;
  Eval eval;
  Alt alt;  // may be null
};

// The key under which an entry's reference is registered: the list's oracle key, or for
// functions without one the lower-case function name; complex functions get a 'z' prefix
// ("zexp"), complex-to-real and real-to-complex ones keep their own ("cabs", "arg", "cis").
std::string oracle_key(const catalog::Entry& e);

// Null when no reference is registered for the entry.
const Oracle* find_oracle(const catalog::Entry& e);
const Oracle* find_oracle(const std::string& key);

// Number of result values per element (two for SinCos, Modf and complex results).
int result_count(const catalog::Entry& e);

// The tables of each family, joined by find_oracle.
struct OracleTable {
  const Oracle* begin;
  const Oracle* end;
};
OracleTable real_oracles();
OracleTable exact_oracles();
OracleTable inverse_oracles();
OracleTable complex_oracles();

// Helpers shared by the evaluators.
void set_input(mpfr_ptr x, double v);  // at x's precision, exact (precision >= 53)
bool is_single(const EvalCtx& ctx);

}  // namespace nrx::accuracy
