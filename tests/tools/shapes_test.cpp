// The calling convention of every shape: correct fake kernels must measure as exact as their
// arithmetic allows. An argument passed in the wrong place (a and b swapped, a scalar in the
// wrong register, the two results exchanged, real and imaginary parts crossed) fails.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>

#include "nrx/zar.h"
#include "tools/accuracy/accuracy.h"

namespace nrx::accuracy {
namespace {

using catalog::Entry;
using catalog::Shape;

void atan2_k(int32_t n, const double* a, const double* b, double* r) {
  for (int32_t i = 0; i < n; ++i) r[i] = std::atan2(a[i], b[i]);
}
void atan2_strided(int32_t n, const double* a, int32_t ia, const double* b, int32_t ib, double* r, int32_t ir) {
  for (int32_t i = 0; i < n; ++i) r[i * ir] = std::atan2(a[i * ia], b[i * ib]);
}
void powx_k(int32_t n, const float* a, float b, float* r) {
  for (int32_t i = 0; i < n; ++i) r[i] = float(std::pow(double(a[i]), double(b)));
}
void sincos_k(int32_t n, const double* a, double* s, double* c) {
  for (int32_t i = 0; i < n; ++i) {
    s[i] = std::sin(a[i]);
    c[i] = std::cos(a[i]);
  }
}
void linearfrac_k(int32_t n, const double* a, const double* b, double sa, double ha, double sb, double hb, double* r) {
  for (int32_t i = 0; i < n; ++i) r[i] = std::fma(sa, a[i], ha) / std::fma(sb, b[i], hb);
}
void arg_k(int32_t n, const NrxComplex16* a, double* r) {
  for (int32_t i = 0; i < n; ++i) r[i] = std::atan2(a[i].imag, a[i].real);
}
void cis_k(int32_t n, const float* a, NrxComplex8* r) {
  for (int32_t i = 0; i < n; ++i) {
    r[i].real = float(std::cos(double(a[i])));
    r[i].imag = float(std::sin(double(a[i])));
  }
}
void zexp_k(int32_t n, const NrxComplex16* a, NrxComplex16* r) {
  for (int32_t i = 0; i < n; ++i) {
    const std::complex<long double> z = std::exp(std::complex<long double>(a[i].real, a[i].imag));
    r[i] = {double(z.real()), double(z.imag())};
  }
}
void zpowx_k(int32_t n, const NrxComplex16* a, NrxComplex16 b, NrxComplex16* r) {
  for (int32_t i = 0; i < n; ++i) {
    const std::complex<long double> z =
        std::pow(std::complex<long double>(a[i].real, a[i].imag), std::complex<long double>(b.real, b.imag));
    r[i] = {double(z.real()), double(z.imag())};
  }
}
void cdiv_k(int32_t n, const NrxComplex8* a, const NrxComplex8* b, NrxComplex8* r) {
  for (int32_t i = 0; i < n; ++i) {
    const std::complex<double> z =
        std::complex<double>(a[i].real, a[i].imag) / std::complex<double>(b[i].real, b[i].imag);
    r[i] = {float(z.real()), float(z.imag())};
  }
}

struct ShapeCase {
  const char* what;
  const char* func;
  char type;
  Shape shape;
  bool strided;
  const char* oracle;
  double lo, hi;
  void* kernel;
  bool exact;
  double max_ulp;  // what the fake kernel's own arithmetic may cost
};

const ShapeCase kCases[] = {
    {"two inputs: atan2(a, b), not atan2(b, a)", "Atan2", 'd', Shape::v2, false, "atan2", -10, 10, (void*)atan2_k,
     false, 1},
    {"strided two inputs", "Atan2", 'd', Shape::v2, true, "atan2", -10, 10, (void*)atan2_strided, false, 1},
    {"array and scalar, single precision", "Powx", 's', Shape::vs, false, "pow", 0, 100, (void*)powx_k, false, 0.5001},
    {"two results: sine first, cosine second", "SinCos", 'd', Shape::v1r2, false, "sincos", -10, 10, (void*)sincos_k,
     false, 1},
    {"LinearFrac's four scalars in order", "LinearFrac", 'd', Shape::lf, false, nullptr, -10, 10, (void*)linearfrac_k,
     true, 0},
    {"complex to real: arg(re + i im)", "Arg", 'z', Shape::c2r, false, "arg", -10, 10, (void*)arg_k, false, 1},
    {"real to complex: cos + i sin", "CIS", 'c', Shape::r2c, false, "cis", -10, 10, (void*)cis_k, false, 0.5001},
    {"complex elements", "Exp", 'z', Shape::v1, false, "exp", -10, 10, (void*)zexp_k, false, 1},
    {"complex scalar passed by value", "Powx", 'z', Shape::vs, false, "pow", 0, 100, (void*)zpowx_k, false, 1},
    {"complex quotient a / b", "Div", 'c', Shape::v2, false, "div", -10, 10, (void*)cdiv_k, false, 1},
};

TEST(Shapes, EachArgumentReachesItsParameter) {
  static const float cost[3] = {1, 1, 1};
  for (const ShapeCase& c : kCases) {
    void* const tab[3] = {c.kernel, c.kernel, c.kernel};
    const Entry e{c.func,
                  c.type,
                  c.shape,
                  c.strided,
                  tab,
                  cost,
                  "1",
                  "test",
                  c.oracle,
                  c.lo,
                  c.hi,
                  c.exact,
                  nullptr,
                  false,
                  {"la", "ha", "ep", "plain"},
                  {nullptr, nullptr, nullptr, nullptr},
                  {}};
    Options o;
    o.samples = 1500;
    const Result r = measure(e, 1, o);
    EXPECT_LE(r.max_ulp, c.max_ulp) << c.what;
    EXPECT_EQ(r.by_kind[int(Mismatch::stray)], 0u) << c.what;
    EXPECT_EQ(r.by_kind[int(Mismatch::inexact)], 0u) << c.what;
    EXPECT_GT(r.measured, 1000u) << c.what;
  }
}

// Exchanging the two results of SinCos must be seen.
void cossin_k(int32_t n, const double* a, double* s, double* c) { sincos_k(n, a, c, s); }

TEST(Shapes, ExchangedResultsFail) {
  static const float cost[3] = {1, 1, 1};
  void* const tab[3] = {(void*)cossin_k, (void*)cossin_k, (void*)cossin_k};
  const Entry e{"SinCos",
                'd',
                Shape::v1r2,
                false,
                tab,
                cost,
                "1",
                "test",
                "sincos",
                -10,
                10,
                false,
                nullptr,
                false,
                {"la", "ha", "ep", "plain"},
                {nullptr, nullptr, nullptr, nullptr},
                {}};
  EXPECT_GT(measure(e, 1, Options{}).max_ulp, 1e3);
}

// Public names and table bases of the catalogue.
struct NameCase {
  const char* name;
  const char* table;  // null: not found
  int slot;
};
const NameCase kNames[] = {
    {"zardExp_50", "dExp", 0}, {"zardExp_HA", "dExp", 1}, {"zardExp_26", "dExp", 2},   {"zardExp", "dExp", 1},
    {"zarsExp_21", "sExp", 0}, {"zarsExp_11", "sExp", 2}, {"zarcAbsI_11", "cAbsI", 2}, {"dExpI", "dExpI", -1},
    {"zPowx", "zPowx", -1},    {"zardExpp", nullptr, 0},  {"Exp", nullptr, 0},
};

TEST(Catalogue, FindsTablesAndPublicNames) {
  for (const NameCase& c : kNames) {
    int slot = 99;
    const Entry* e = find_entry(c.name, &slot);
    if (!c.table) {
      EXPECT_EQ(e, nullptr) << c.name;
      continue;
    }
    ASSERT_NE(e, nullptr) << c.name;
    EXPECT_EQ(table_name(*e), c.table) << c.name;
    EXPECT_EQ(slot, c.slot) << c.name;
  }
}

}  // namespace
}  // namespace nrx::accuracy
