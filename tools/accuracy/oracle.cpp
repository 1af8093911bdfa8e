#include "tools/accuracy/oracle.h"

#include <cctype>
#include <cstring>

namespace nrx::accuracy {

using catalog::Shape;

static bool complex_type(char t) { return t == 'c' || t == 'z'; }

std::string oracle_key(const catalog::Entry& e) {
  std::string key;
  if (e.oracle) {
    key = e.oracle;
  } else {
    for (const char* p = e.func; *p; ++p) key += char(std::tolower(static_cast<unsigned char>(*p)));
  }
  if (e.shape == Shape::c2r || e.shape == Shape::r2c) return key;
  if (complex_type(e.type)) return "z" + key;
  if (key == "cabs") return "fabs";  // Abs of a real type
  return key;
}

const Oracle* find_oracle(const std::string& key) {
  for (OracleTable t : {real_oracles(), exact_oracles(), inverse_oracles(), complex_oracles()})
    for (const Oracle* o = t.begin; o != t.end; ++o)
      if (key == o->key) return o;
  return nullptr;
}

const Oracle* find_oracle(const catalog::Entry& e) {
  switch (e.shape) {
    case Shape::v1:
    case Shape::v2:
    case Shape::vs:
    case Shape::v1r2:
    case Shape::lf:
    case Shape::c2r:
    case Shape::r2c: return find_oracle(oracle_key(e));
    default: return nullptr;  // Pack and Unpack move data, they compute nothing
  }
}

int result_count(const catalog::Entry& e) {
  if (e.shape == Shape::v1r2 || e.shape == Shape::r2c) return 2;
  if (complex_type(e.type) && e.shape != Shape::c2r) return 2;
  return 1;
}

void set_input(mpfr_ptr x, double v) { mpfr_set_d(x, v, MPFR_RNDN); }

bool is_single(const EvalCtx& ctx) { return ctx.f.p == kSingle.p; }

}  // namespace nrx::accuracy
