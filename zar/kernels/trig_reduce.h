// Argument reduction of the circular functions: x = N pi/16 + r with |r| <= pi/32 (plus
// rounding), r in two parts, N mod 32 in the low bits of an integer lane.
//
// Up to 2^24 the reduction subtracts N times pi/16 held in three parts (the second a
// multiple of 2^-85, so N P2 splits exactly into two doubles): x - N P1 is exact, and the
// rest is kept exactly in two parts. Beyond 2^24 the lanes take the long path: the 192 bits
// of 1/(2 pi) that matter for the exponent of x are cut from a stored expansion and
// multiplied with the 53-bit significand in 32-bit integer pieces, giving x/(2 pi) mod 1 to
// 128 bits, exact for every finite double. Float lanes above TrigConst<float>::large take
// their own long path in double lanes (trig_reduce_large for float). Registers without such
// a lane never enter either.
#pragma once
#include "zar/kernels/op_base.h"
#include "zar/kernels/trig_data.h"
#include "zar/kernels/twopart.h"

namespace nrx::zar::ops {

// r = rh + rl and the integer lanes n (low five bits: N mod 32).
template <class T> struct TrigReduced {
  Reg<T> rh, rl;
  simd::IReg n;
};

template <class T> struct TrigConst;
template <> struct TrigConst<double> {
  static constexpr double shifter = 0x1.8p52;  // 0x4338000000000000: ulp 1, N in the low bits
  static constexpr double large = 0x1p24;      // 0x4170000000000000
  static constexpr double tiny = 0x1p-27;      // sin x and tan x round to x below
  static constexpr const uint64_t* pi16 = trig::kPi16;
  static constexpr const uint64_t* sixteen_over_pi = trig::kSixteenOverPi;
};
template <> struct TrigConst<float> {
  static constexpr float shifter = 0x1.8p23f;  // 0x4B400000
  static constexpr float large = 10000.0f;     // 0x461C4000: N P3 stays below 2^-34
  static constexpr float tiny = 0x1p-12f;
  static constexpr const uint32_t* pi16 = trig::kPi16_s;
  static constexpr const uint32_t* sixteen_over_pi = trig::kSixteenOverPi_s;
};

// Ordinary arguments: Two keeps the rounding errors of the last two steps in rl.
template <class T, bool Two> inline TrigReduced<T> trig_reduce_small(Reg<T> x) {
  using simd::bits_to;
  using simd::splat;
  using C = TrigConst<T>;
  const Reg<T> t = simd::fma(x, splat(bits_to(C::sixteen_over_pi[0])), splat(C::shifter));
  const Reg<T> nf = simd::sub(t, splat(C::shifter));
  const Reg<T> p1 = splat(bits_to(C::pi16[0])), p2 = splat(bits_to(C::pi16[1])), p3 = splat(bits_to(C::pi16[2]));
  const Reg<T> r1 = simd::fnma(nf, p1, x);  // exact
  if constexpr (Two) {
    const twopart::Two<Reg<T>> p = twopart::two_prod(nf, p2);
    const twopart::Two<Reg<T>> s = twopart::two_sum(r1, simd::negate<T>(p.hi));
    const Reg<T> lo = simd::fnma(nf, p3, simd::sub(s.lo, p.lo));
    return {s.hi, lo, simd::as_int(t)};
  } else {
    return {simd::fnma(nf, p3, simd::fnma(nf, p2, r1)), simd::splat(T(0)), simd::as_int(t)};
  }
}

// Any finite x (results of other lanes are unused): x/(2 pi) mod 1 in 128-bit fixed point,
// then 32 times it rounded to N, and r = (that - N) pi/16.
inline TrigReduced<double> trig_reduce_large(::nrx::simd::Reg<double> x) {
  using namespace simd;
  const IReg b = as_int(x);
  const IReg mask32 = int_splat64(0xFFFFFFFF);
  const IReg m = int_or(int_and(b, int_splat64((int64_t(1) << 52) - 1)), int_splat64(int64_t(1) << 52));
  // |x| = m 2^E with E = biased exponent - 1075; the window starts at the bit of weight
  // 2^-(E+1), bit E + 64 of the stream (after the zero word).
  IReg o = int_add64(int_and(shift_right64<52>(b), int_splat64(0x7FF)), int_splat64(64 - 1075));
  o = int_min64(int_max64(o, int_splat64(0)), int_splat64(17 * 64 + 63));
  const IReg q = shift_right64<6>(o);
  const IReg s = int_and(o, int_splat64(63));
  const IReg s_rest = int_sub64(int_splat64(64), s);
  IReg w[4];
  for (int k = 0; k < 4; ++k) w[k] = gather64(trig::kInvTwoPi, int_add64(q, int_splat64(k)));
  // G = G2 G1 G0, 192 bits; six 32-bit pieces g0 (lowest) .. g5.
  IReg g[6];
  for (int k = 0; k < 3; ++k) {
    const IReg word = int_or(shift_left64(w[2 - k], s), shift_right64(w[3 - k], s_rest));
    g[2 * k] = word;  // mul_u32 reads the low half only
    g[2 * k + 1] = shift_right64<32>(word);
  }
  const IReg m0 = m, m1 = shift_right64<32>(m);
  // Column sums of m G mod 2^192 in 32-bit pieces, carries propagated upward.
  IReg lo32[6], hi32[6];
  auto accumulate = [&](int k, IReg p) {
    lo32[k] = int_add64(lo32[k], int_and(p, mask32));
    if (k + 1 < 6) hi32[k + 1] = int_add64(hi32[k + 1], shift_right64<32>(p));
  };
  for (int k = 0; k < 6; ++k) lo32[k] = hi32[k] = int_splat64(0);
  for (int k = 0; k < 6; ++k) accumulate(k, mul_u32(m0, g[k]));
  for (int k = 0; k < 5; ++k) accumulate(k + 1, mul_u32(m1, g[k]));
  IReg limb[6], carry = int_splat64(0);
  for (int k = 0; k < 6; ++k) {
    const IReg acc = int_add64(int_add64(lo32[k], hi32[k]), carry);
    limb[k] = int_and(acc, mask32);
    carry = shift_right64<32>(acc);
  }
  // 32 x/(2 pi) mod 32 = u / 2^123 with u = limb5..limb2; N rounds it at bit 123.
  const IReg u_hi = int_add64(int_or(shift_left64<32>(limb[5]), limb[4]), int_splat64(int64_t(1) << 58));
  IReg n = shift_right64<59>(u_hi);
  const IReg d = int_sub64(int_and(u_hi, int_splat64((int64_t(1) << 59) - 1)), int_splat64(int64_t(1) << 58));
  const ::nrx::simd::Reg<double> d1 = mul(to_double(shift_right_arith64<32>(d)), splat(0x1p-27));
  const ::nrx::simd::Reg<double> d0 = mul(to_double(int_and(d, mask32)), splat(0x1p-59));
  const ::nrx::simd::Reg<double> u1 = mul(to_double(limb[3]), splat(0x1p-91));
  const ::nrx::simd::Reg<double> u0 = mul(to_double(limb[2]), splat(0x1p-123));
  const twopart::Two<::nrx::simd::Reg<double>> f = twopart::add(twopart::two_sum(d1, d0), twopart::two_sum(u1, u0));
  const twopart::Two<::nrx::simd::Reg<double>> pi16{splat(bits_to(trig::kPi16[0])), splat(bits_to(trig::kPi16[1]))};
  twopart::Two<::nrx::simd::Reg<double>> r = twopart::mul(f, pi16);
  // Negative x: N and r change sign.
  const ::nrx::simd::Mask<double> neg = fpclass<kNegative>(x);
  n = select(neg, int_sub64(int_splat64(0), n), n);
  r.hi = bit_xor(r.hi, bit_and(x, sign_mask<double>()));
  r.lo = bit_xor(r.lo, bit_and(x, sign_mask<double>()));
  return {r.hi, r.lo, n};
}

// Float x with |x| >= 2 (results of other lanes are unused), each half of the register in
// double lanes: the group k of the exponent picks two 53-bit windows W0, W1 of 16/pi whose
// higher bits times x are multiples of 32 (trig_data.h), so x 16/pi mod 32 = x W0 + x W1 to
// 2^-69. x W0 < 2^36 is kept exactly in two parts, N rounds the sum and f = (x W0 - N) + the
// rest is exact up to its final rounding; r = f pi/16 returns to float in two parts.
inline TrigReduced<float> trig_reduce_large(::nrx::simd::Reg<float> x) {
  using namespace simd;
  using D = ::nrx::simd::Reg<double>;
  const D w0_lo = from_bits(trig::kFloatWindow0), w0_hi = from_bits(trig::kFloatWindow0 + 8);
  const D w1_lo = from_bits(trig::kFloatWindow1), w1_hi = from_bits(trig::kFloatWindow1 + 8);
  const D shifter = splat(TrigConst<double>::shifter), pi16 = splat(bits_to(trig::kPi16[0]));
  D r[2];
  IReg n[2];
  for (int h = 0; h < 2; ++h) {
    const D xd = h == 0 ? widen_lo(x) : widen_hi(x);
    // The biased double exponent over 8 is the float group plus 128: its low four bits.
    const IReg k = shift_right<55>(xd);
    const D c0 = lookup(w0_lo, w0_hi, k), c1 = lookup(w1_lo, w1_hi, k);
    const D h0 = mul(xd, c0);
    const D u = add(fms(xd, c0, h0), mul(xd, c1));  // |u| < 2^-16
    const D t = add(add(h0, u), shifter);
    const D f = add(sub(h0, sub(t, shifter)), u);  // h0 - N is exact
    r[h] = mul(f, pi16);
    n[h] = as_int(t);
  }
  const Reg<float> rh = narrow(r[0], r[1]);
  const Reg<float> rl = narrow(sub(r[0], widen_lo(rh)), sub(r[1], widen_hi(rh)));
  return {rh, rl, narrow_int64(n[0], n[1])};
}

// The reduction of every lane; lanes that are NaN or infinite are set in special.
template <class T, bool Two> inline TrigReduced<T> trig_reduce_any(Reg<T> x, Mask<T>& special) {
  TrigReduced<T> a = trig_reduce_small<T, Two>(x);
  const Mask<T> big = simd::not_le(simd::abs_of<T>(x), simd::splat(TrigConst<T>::large));
  special = 0;
  if (__builtin_expect(big != 0, 0)) {
    const TrigReduced<T> l = trig_reduce_large(x);
    a.rh = simd::select(big, l.rh, a.rh);
    a.rl = simd::select(big, Two ? l.rl : simd::splat(T(0)), a.rl);
    a.n = simd::select(big, l.n, a.n);
    special = simd::fpclass<simd::kNaN | simd::kInf>(x);
  }
  return a;
}
template <bool Two>
inline TrigReduced<double> trig_reduce(::nrx::simd::Reg<double> x, ::nrx::simd::Mask<double>& special) {
  return trig_reduce_any<double, Two>(x, special);
}
template <bool Two>
inline TrigReduced<float> trig_reduce(::nrx::simd::Reg<float> x, ::nrx::simd::Mask<float>& special) {
  return trig_reduce_any<float, Two>(x, special);
}

}  // namespace nrx::zar::ops
