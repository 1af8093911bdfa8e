// Two-part arithmetic: a value held as hi + lo with |lo| <= ulp(hi) / 2, about twice the
// precision of one float or double. One body serves registers (Reg<float>, Reg<double>) and
// scalars (float, double), so a scalar routine and its vector body round alike.
//
// Error bounds (u = 2^-24 for float, 2^-53 for double), for results that neither overflow
// nor fall below the normal range in the low part:
//   two_sum, fast_two_sum, two_prod   exact
//   add(Two, V), add(Two, Two)        relative error <= 3u^2
//   add_same_sign(Two, Two)           relative error <= 3u^2 where a and b share their sign
//   mul(Two, V), mul_loose(V, Two)    relative error <= 2u^2
//   mul(Two, Two), sqr(Two)           relative error <= 5u^2 (mul_loose alike, unnormalised)
//   div(Two, Two), div(Two, V)        relative error <= 8u^2
#pragma once
#include <cmath>

#include "simd/vec.h"

namespace nrx::zar::twopart {

// Scalar spellings of the register operations, so one template serves both.
namespace ops {
using simd::add;
using simd::div;
using simd::fma;
using simd::fms;
using simd::mul;
using simd::splat;
using simd::sub;
inline float add(float a, float b) { return a + b; }
inline double add(double a, double b) { return a + b; }
inline float sub(float a, float b) { return a - b; }
inline double sub(double a, double b) { return a - b; }
inline float mul(float a, float b) { return a * b; }
inline double mul(double a, double b) { return a * b; }
inline float div(float a, float b) { return a / b; }
inline double div(double a, double b) { return a / b; }
inline float fma(float a, float b, float c) { return std::fma(a, b, c); }
inline double fma(double a, double b, double c) { return std::fma(a, b, c); }
inline float fms(float a, float b, float c) { return std::fma(a, b, -c); }
inline double fms(double a, double b, double c) { return std::fma(a, b, -c); }
}  // namespace ops

template <class V> struct Two { V hi, lo; };

// hi + lo rounded once.
template <class V> inline V value(Two<V> a) { return ops::add(a.hi, a.lo); }

// a + b exactly, for any order of magnitudes (six operations).
template <class V> inline Two<V> two_sum(V a, V b) {
  const V s = ops::add(a, b);
  const V bb = ops::sub(s, a);
  const V err = ops::add(ops::sub(a, ops::sub(s, bb)), ops::sub(b, bb));
  return {s, err};
}

// a + b exactly, where |a| >= |b| or a is zero (three operations).
template <class V> inline Two<V> fast_two_sum(V a, V b) {
  const V s = ops::add(a, b);
  return {s, ops::sub(b, ops::sub(s, a))};
}

// a * b exactly: the fused multiply-subtract gives the rounding error of the product.
template <class V> inline Two<V> two_prod(V a, V b) {
  const V p = ops::mul(a, b);
  return {p, ops::fms(a, b, p)};
}

template <class V> inline Two<V> add(Two<V> a, V b) {
  Two<V> s = two_sum(a.hi, b);
  return fast_two_sum(s.hi, ops::add(s.lo, a.lo));
}

template <class V> inline Two<V> add(Two<V> a, Two<V> b) {
  Two<V> s = two_sum(a.hi, b.hi);
  const Two<V> t = two_sum(a.lo, b.lo);
  s = fast_two_sum(s.hi, ops::add(s.lo, t.hi));
  return fast_two_sum(s.hi, ops::add(s.lo, t.lo));
}

// a + b for a and b of one sign: nothing cancels, so the low parts join the exact sum's error
// in one addition (eleven operations against add's twenty).
template <class V> inline Two<V> add_same_sign(Two<V> a, Two<V> b) {
  const Two<V> s = two_sum(a.hi, b.hi);
  return fast_two_sum(s.hi, ops::add(s.lo, ops::add(a.lo, b.lo)));
}

template <class V> inline Two<V> mul(Two<V> a, V b) {
  const Two<V> p = two_prod(a.hi, b);
  return fast_two_sum(p.hi, ops::fma(a.lo, b, p.lo));
}

// a * b left unnormalised (|lo| may exceed ulp(hi) / 2 by a's product with b.lo): two
// operations fewer than mul, for a result that is reduced further at once.
template <class V> inline Two<V> mul_loose(V a, Two<V> b) {
  const V p = ops::mul(a, b.hi);
  return {p, ops::fma(a, b.lo, ops::fms(a, b.hi, p))};
}

// a * b left unnormalised (lo a few ulp of hi at most): three operations fewer than mul.
template <class V> inline Two<V> mul_loose(Two<V> a, Two<V> b) {
  const Two<V> p = two_prod(a.hi, b.hi);
  return {p.hi, ops::fma(a.hi, b.lo, ops::fma(a.lo, b.hi, p.lo))};
}

template <class V> inline Two<V> mul(Two<V> a, Two<V> b) {
  const Two<V> p = two_prod(a.hi, b.hi);
  return fast_two_sum(p.hi, ops::fma(a.hi, b.lo, ops::fma(a.lo, b.hi, p.lo)));
}

template <class V> inline Two<V> sqr(Two<V> a) {
  const Two<V> p = two_prod(a.hi, a.hi);
  const V twice_hi = ops::add(a.hi, a.hi);
  return fast_two_sum(p.hi, ops::fma(twice_hi, a.lo, p.lo));
}

// a / b: the quotient of the high parts, corrected by the exact remainder a - q b.
template <class V> inline Two<V> div(Two<V> a, Two<V> b) {
  const V q = ops::div(a.hi, b.hi);
  const Two<V> qb = mul(b, q);
  const V r = ops::add(ops::sub(ops::sub(a.hi, qb.hi), qb.lo), a.lo);
  return fast_two_sum(q, ops::div(r, b.hi));
}

template <class V> inline Two<V> div(Two<V> a, V b) {
  const V q = ops::div(a.hi, b);
  const Two<V> qb = two_prod(q, b);
  const V r = ops::add(ops::sub(ops::sub(a.hi, qb.hi), qb.lo), a.lo);
  return fast_two_sum(q, ops::div(r, b));
}

}  // namespace nrx::zar::twopart
