#include "tools/accuracy/kernel_call.h"

#include <cstring>
#include <type_traits>
#include <vector>

#include "nrx/zar.h"

namespace nrx::accuracy {

using catalog::Shape;

namespace {

constexpr size_t kGuard = 37;  // words checked after the last element of each result array

template <class R> struct ComplexOf;
template <> struct ComplexOf<float> { using type = NrxComplex8; };
template <> struct ComplexOf<double> { using type = NrxComplex16; };

template <class E, class R> E element(const double* v) {
  if constexpr (std::is_same_v<E, R>) {
    return R(v[0]);
  } else {
    E x;
    x.real = R(v[0]);
    x.imag = R(v[1]);
    return x;
  }
}

// The argument lists of the element-wise shapes, E the element type.
template <class E, class R> void invoke_as(const catalog::Entry& e, void* fn, int32_t n, const void* a_, const void* b_,
                                           const double* sc, void* r_, void* r2_, const Strides& s) {
  const E* a = static_cast<const E*>(a_);
  const E* b = static_cast<const E*>(b_);
  E* r = static_cast<E*>(r_);
  E* r2 = static_cast<E*>(r2_);
  const bool i = e.strided;
  switch (e.shape) {
    case Shape::v1:
      if (i) reinterpret_cast<void (*)(int32_t, const E*, int32_t, E*, int32_t)>(fn)(n, a, s.a, r, s.r);
      else reinterpret_cast<void (*)(int32_t, const E*, E*)>(fn)(n, a, r);
      break;
    case Shape::v2:
      if (i)
        reinterpret_cast<void (*)(int32_t, const E*, int32_t, const E*, int32_t, E*, int32_t)>(fn)(n, a, s.a, b, s.b, r,
                                                                                                   s.r);
      else reinterpret_cast<void (*)(int32_t, const E*, const E*, E*)>(fn)(n, a, b, r);
      break;
    case Shape::vs: {
      const E x = element<E, R>(sc);
      if (i) reinterpret_cast<void (*)(int32_t, const E*, int32_t, E, E*, int32_t)>(fn)(n, a, s.a, x, r, s.r);
      else reinterpret_cast<void (*)(int32_t, const E*, E, E*)>(fn)(n, a, x, r);
      break;
    }
    case Shape::v1r2:
      if (i)
        reinterpret_cast<void (*)(int32_t, const E*, int32_t, E*, int32_t, E*, int32_t)>(fn)(n, a, s.a, r, s.r, r2,
                                                                                             s.r2);
      else reinterpret_cast<void (*)(int32_t, const E*, E*, E*)>(fn)(n, a, r, r2);
      break;
    case Shape::lf: {
      const R k0 = R(sc[0]), k1 = R(sc[1]), k2 = R(sc[2]), k3 = R(sc[3]);
      if (i)
        reinterpret_cast<void (*)(int32_t, const R*, int32_t, const R*, int32_t, R, R, R, R, R*, int32_t)>(fn)(
            n, (const R*)a, s.a, (const R*)b, s.b, k0, k1, k2, k3, (R*)r, s.r);
      else
        reinterpret_cast<void (*)(int32_t, const R*, const R*, R, R, R, R, R*)>(fn)(n, (const R*)a, (const R*)b, k0, k1,
                                                                                    k2, k3, (R*)r);
      break;
    }
    default: break;
  }
}

template <class R> void invoke_real(const catalog::Entry& e, void* fn, int32_t n, const void* a, const void* b,
                                    const double* sc, void* r, void* r2, const Strides& s) {
  using C = typename ComplexOf<R>::type;
  const bool i = e.strided;
  if (e.shape == Shape::c2r) {
    if (i) reinterpret_cast<void (*)(int32_t, const C*, int32_t, R*, int32_t)>(fn)(n, (const C*)a, s.a, (R*)r, s.r);
    else reinterpret_cast<void (*)(int32_t, const C*, R*)>(fn)(n, (const C*)a, (R*)r);
  } else if (e.shape == Shape::r2c) {
    if (i) reinterpret_cast<void (*)(int32_t, const R*, int32_t, C*, int32_t)>(fn)(n, (const R*)a, s.a, (C*)r, s.r);
    else reinterpret_cast<void (*)(int32_t, const R*, C*)>(fn)(n, (const R*)a, (C*)r);
  } else if (e.type == 'c' || e.type == 'z') {
    invoke_as<C, R>(e, fn, n, a, b, sc, r, r2, s);
  } else {
    invoke_as<R, R>(e, fn, n, a, b, sc, r, r2, s);
  }
}

template <class R> R marker() {
  using U = std::conditional_t<sizeof(R) == 4, uint32_t, uint64_t>;
  const U u = sizeof(R) == 4 ? U(0x7FA5A5A5u) : U(0x7FF4A5A5A5A5A5A5ull);
  R r;
  std::memcpy(&r, &u, sizeof r);
  return r;
}

// One array of n elements of `parts` reals each, every `inc`-th element used.
template <class R> struct Array {
  std::vector<R> v;
  int inc, parts;
  Array(size_t n, int inc_, int parts_) : v(n * inc_ * parts_ + kGuard, marker<R>()), inc(inc_), parts(parts_) {}
  R* at(size_t i) { return v.data() + i * inc * parts; }
  size_t strays(size_t n) const {
    const R m = marker<R>();
    size_t bad = 0;
    for (size_t k = 0; k < v.size(); ++k) {
      const bool used = k < n * inc * parts && (k / parts) % inc == 0;
      if (!used && std::memcmp(&v[k], &m, sizeof(R)) != 0) ++bad;
    }
    return bad;
  }
};

template <class R> size_t call(const catalog::Entry& e, void* fn, const Input* in, size_t count, double* out) {
  const int w = e.type == 'c' || e.type == 'z' ? 2 : 1;  // reals per element
  const int win = e.shape == Shape::r2c ? 1 : w;
  const int wout = e.shape == Shape::c2r ? 1 : w;
  const Strides s = strides_for(e);
  Array<R> a(count, s.a, win), b(count, s.b, win), r(count, s.r, wout), r2(count, s.r2, wout);
  for (size_t i = 0; i < count; ++i)
    for (int k = 0; k < win; ++k) {
      a.at(i)[k] = R(in[i][k]);
      b.at(i)[k] = R(in[i][2 + k]);
    }
  // The scalars of a group: Powx's exponent sits where the second argument does.
  const double* sc = e.shape == Shape::lf ? &in[0][4] : &in[0][2];
  invoke_real<R>(e, fn, int32_t(count), a.v.data(), b.v.data(), sc, r.v.data(), r2.v.data(), s);

  const bool two = e.shape == Shape::v1r2;
  for (size_t i = 0; i < count; ++i) {
    out[2 * i] = double(r.at(i)[0]);
    out[2 * i + 1] = two ? double(r2.at(i)[0]) : wout == 2 ? double(r.at(i)[1]) : 0.0;
  }
  return r.strays(count) + (two ? r2.strays(count) : 0);
}

}  // namespace

Strides strides_for(const catalog::Entry& e) {
  if (!e.strided) return {};
  return {2, 3, 2, 3};
}

void invoke(const catalog::Entry& e, void* fn, int32_t n, const void* a, const void* b, const double* scalars, void* r,
            void* r2, const Strides& s) {
  if (e.type == 's' || e.type == 'c') invoke_real<float>(e, fn, n, a, b, scalars, r, r2, s);
  else invoke_real<double>(e, fn, n, a, b, scalars, r, r2, s);
}

size_t call_kernel(const catalog::Entry& e, void* fn, const Input* in, size_t n, double* out) {
  if (n == 0) return 0;
  if (e.type == 's' || e.type == 'c') return call<float>(e, fn, in, n, out);
  return call<double>(e, fn, in, n, out);
}

}  // namespace nrx::accuracy
