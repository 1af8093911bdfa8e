// Two registers of double pairs as one register of the eight real parts and one of the eight
// imaginary parts, and back: bodies that take one element per lane (vec_two of the frame).
#pragma once
#include <cstdint>

#include "zar/kernels/cinv_vec.h"
#include "zar/kernels/trig.h"

namespace nrx::zar::ops::csplit {

using D = ::nrx::simd::Reg<double>;
using DM = ::nrx::simd::Mask<double>;
using cinvvec::Parts;

// The parts of the elements of a0 (lanes 0-3) and a1 (lanes 4-7), and back.
inline Parts split(D a0, D a1) { return simd::split_parts<double>(a0, a1); }
inline void join(Parts p, D& r0, D& r1) { simd::join_parts<double>(p, r0, r1); }

// cos t and sin t in two parts from one reduction (high parts not normalised); sin t is t
// itself where it rounds to t, passed through min so that a subnormal t becomes the zero of
// its sign when MXCSR treats denormal inputs as zero.
struct CircParts {
  twopart::Two<D> c, s;
};
inline CircParts circ_parts(D t) {
  DM big;
  const TrigReduced<double> r = trig_reduce<true>(t, big);
  const TrigPoly<double> p = trig_poly<double, Flavour::HA>(r);
  const twopart::Two<D> c = trig_assemble<double, Flavour::HA>(p, simd::int_add(r.n, simd::int_splat(8, 0.0), 0.0));
  const twopart::Two<D> s = trig_assemble<double, Flavour::HA>(p, r.n);
  const D bound = simd::splat(TrigConst<double>::tiny);
  const DM tiny = simd::lt(simd::abs_of<double>(t), bound);
  return {c, {simd::select(tiny, simd::min(t, bound), s.hi), simd::select(tiny, simd::splat(-0.0), s.lo)}};
}

}  // namespace nrx::zar::ops::csplit
