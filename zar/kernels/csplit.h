// Two registers of double pairs as one register of the eight real parts and one of the eight
// imaginary parts, and back: bodies that take one element per lane (vec2 of the frame).
#pragma once
#include <cstdint>

#include "zar/kernels/cinv_vec.h"
#include "zar/kernels/trig.h"

namespace nrx::zar::ops::csplit {

using D = ::nrx::simd::Reg<double>;
using DM = ::nrx::simd::Mask<double>;
using cinvvec::Parts;

// The parts of the elements of a0 (lanes 0-3) and a1 (lanes 4-7).
inline Parts split(D a0, D a1) {
  alignas(64) static constexpr int64_t kRe[8] = {0, 2, 4, 6, 8, 10, 12, 14};
  alignas(64) static constexpr int64_t kIm[8] = {1, 3, 5, 7, 9, 11, 13, 15};
  return {simd::lookup(a0, a1, simd::load_bits(kRe)), simd::lookup(a0, a1, simd::load_bits(kIm))};
}

// The pairs of lanes 0-3 in r0 and of lanes 4-7 in r1.
inline void join(Parts p, D& r0, D& r1) {
  alignas(64) static constexpr int64_t kLo[8] = {0, 8, 1, 9, 2, 10, 3, 11};
  alignas(64) static constexpr int64_t kHi[8] = {4, 12, 5, 13, 6, 14, 7, 15};
  r0 = simd::lookup(p.re, p.im, simd::load_bits(kLo));
  r1 = simd::lookup(p.re, p.im, simd::load_bits(kHi));
}

// An element mask of the split layout as the pair masks of the two registers.
inline void join(DM m, DM& m0, DM& m1) {
  const auto pairs = [](unsigned v) {  // four element bits to eight lane bits
    v &= 0xF;
    v = (v | (v << 2)) & 0x33;
    v = (v | (v << 1)) & 0x55;
    return DM(v | (v << 1));
  };
  m0 = pairs(unsigned(m)), m1 = pairs(unsigned(m) >> 4);
}

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
