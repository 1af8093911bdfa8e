// Complex Asin, Acos, Atan, Asinh, Acosh, Atanh, one kernel for all three flavours, over the
// extended-precision routines of cinv.h. They report no status. Type c runs the vector bodies
// of cinv_vec.h, elements with an infinite or NaN part (and the poles of Atanh and Atan, whose
// vector results are infinite) through the routine. Type z runs the two-part double bodies
// over parts that are zero or in [2^-250, 2^250] (Atanh and Atan away from the unit circle),
// the other elements through the routine. Both take eight elements per call, parted into real
// and imaginary registers (type z two registers at a time, the frame's vec_two).
#pragma once
#include <cmath>
#include <limits>

#include "zar/kernels/atrig.h"
#include "zar/kernels/celem_frame.h"
#include "zar/kernels/cinv.h"
#include "zar/kernels/cinv_vec.h"
#include "zar/kernels/cvec.h"
#include "zar/kernels/hyperbolic.h"

namespace nrx::zar::ops {

template <cinv::Cld (*Fn)(cinv::ld, cinv::ld), const char* Name> struct CinvRoutine {
  static constexpr const char* kName = Name;
  static constexpr bool kOverflow = false;
  static celem::cxl eval(celem::cxl z) {
    const cinv::Cld w = Fn(z.real(), z.imag());
    return {w.re, w.im};
  }
};

inline constexpr char kAsinName[] = "Asin", kAcosName[] = "Acos", kAtanName[] = "Atan", kAsinhName[] = "Asinh",
                      kAcoshName[] = "Acosh", kAtanhName[] = "Atanh";

template <class Routine, class Body> struct CinvVec : Unary<NrxComplex8> {
  using V = Reg<float>;
  static constexpr const char* kName = Routine::kName;
  static Mask<float> vec(const V (&a)[1], V (&r)[1], const NoExtra&) {
    const cinvvec::Parts z = cinvvec::split(a[0]);
    r[0] = cinvvec::join(Body::eval(z.re, z.im));
    return Mask<float>(cvec::nonfinite_pairs<float>(a[0]) | cvec::nonfinite_pairs<float>(r[0]));
  }
  static int32_t scalar(const NrxComplex8* const* a, NrxComplex8* const* r, const NoExtra& ex) {
    return celem::scalar<Routine>(a, r, ex);
  }
};

// Type z where the body has a double form: its region in vector registers, the rest (off)
// through the routine.
template <class Routine, class Body> struct CinvVecWide : Unary<NrxComplex16> {
  using R = double;
  using V = Reg<double>;
  static constexpr const char* kName = Routine::kName;
  // Eight elements, two registers of pairs, parted into real and imaginary registers.
  static Mask<double> vec_two(const V (&a)[2][1], V (&r)[2][1], const NoExtra&) {
    const cinvvec::Parts z = simd::split_parts<double>(a[0][0], a[1][0]);
    Mask<double> off;
    simd::join_parts<double>(Body::eval_wide(z.re, z.im, off), r[0][0], r[1][0]);
    return off;
  }
  static Mask<double> vec(const V (&a)[1], V (&r)[1], const NoExtra& ex) {
    return cvec::one_register<CinvVecWide>(a, r, ex);
  }
  static int32_t scalar(const NrxComplex16* const* a, NrxComplex16* const* r, const NoExtra& ex) {
    return celem::scalar<Routine>(a, r, ex);
  }
};

template <class Body>
concept HasWide = requires(cinvvec::D z, cinvvec::DM m) {
  Body::eval_wide(z, z, m);
};

template <class T, class Routine, class Body> struct CinvPick { using type = celem::Kernel<T, Routine>; };
template <class Routine, class Body> struct CinvPick<NrxComplex8, Routine, Body> {
  using type = CinvVec<Routine, Body>;
};
template <class Routine, class Body>
requires HasWide<Body>
struct CinvPick<NrxComplex16, Routine, Body> {
  using type = CinvVecWide<Routine, Body>;
};

template <class T, cinv::Cld (*Fn)(cinv::ld, cinv::ld), const char* Name, class Body> using CinvKernel =
    typename CinvPick<T, CinvRoutine<Fn, Name>, Body>::type;

template <class T, Flavour F>
requires is_complex<T>
struct Asin<T, F> : CinvKernel<T, cinv::asin, kAsinName, cinvvec::AsinBody> {
};
template <class T, Flavour F>
requires is_complex<T>
struct Acos<T, F> : CinvKernel<T, cinv::acos, kAcosName, cinvvec::AcosBody> {
};
template <class T, Flavour F>
requires is_complex<T>
struct Atan<T, F> : CinvKernel<T, cinv::atan, kAtanName, cinvvec::AtanBody> {
};
template <class T, Flavour F>
requires is_complex<T>
struct Asinh<T, F> : CinvKernel<T, cinv::asinh, kAsinhName, cinvvec::AsinhBody> {
};
template <class T, Flavour F>
requires is_complex<T>
struct Acosh<T, F> : CinvKernel<T, cinv::acosh, kAcoshName, cinvvec::AcoshBody> {
};
template <class T, Flavour F>
requires is_complex<T>
struct Atanh<T, F> : CinvKernel<T, cinv::atanh, kAtanhName, cinvvec::AtanhBody> {
};

}  // namespace nrx::zar::ops
