// Complex Asin, Acos, Atan, Asinh, Acosh, Atanh: per-element kernels (celem_frame.h), one for
// all three flavours, over the extended-precision routines of cinv.h. They report no status.
#pragma once
#include <cmath>
#include <limits>

#include "zar/kernels/atrig.h"
#include "zar/kernels/celem_frame.h"
#include "zar/kernels/cinv.h"
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

template <class T, Flavour F>
requires is_complex<T>
struct Asin<T, F> : celem::Kernel<T, CinvRoutine<cinv::asin, kAsinName>> {
};
template <class T, Flavour F>
requires is_complex<T>
struct Acos<T, F> : celem::Kernel<T, CinvRoutine<cinv::acos, kAcosName>> {
};
template <class T, Flavour F>
requires is_complex<T>
struct Atan<T, F> : celem::Kernel<T, CinvRoutine<cinv::atan, kAtanName>> {
};
template <class T, Flavour F>
requires is_complex<T>
struct Asinh<T, F> : celem::Kernel<T, CinvRoutine<cinv::asinh, kAsinhName>> {
};
template <class T, Flavour F>
requires is_complex<T>
struct Acosh<T, F> : celem::Kernel<T, CinvRoutine<cinv::acosh, kAcoshName>> {
};
template <class T, Flavour F>
requires is_complex<T>
struct Atanh<T, F> : celem::Kernel<T, CinvRoutine<cinv::atanh, kAtanhName>> {
};

}  // namespace nrx::zar::ops
