// Complex Asin, Acos, Atan, Asinh, Acosh, Atanh: per-element kernels, one for all three
// flavours. The frame runs them in x87 extended precision, round to nearest, exceptions
// masked; each element goes through its routine in cinv.h and is rounded once to the type.
// They report no status.
#pragma once
#include "zar/kernels/atrig.h"
#include "zar/kernels/cinv.h"
#include "zar/kernels/frame.h"
#include "zar/kernels/hyperbolic.h"

namespace nrx::zar::ops {

template <class C, cinv::Cld (*Fn)(cinv::ld, cinv::ld)> struct ComplexElement {
  using TI = C;
  using TO = C;
  using TL = C;
  using Extra = NoExtra;
  static constexpr Shape kShape = Shape::v1;
  static constexpr int kIn = 1;
  static constexpr int kOut = 1;
  static constexpr int kRegs = 0;
  static int32_t scalar(const C* const* a, C* const* r, const NoExtra&) {
    const cinv::Cld w = Fn(a[0]->real, a[0]->imag);
    r[0]->real = RealOf<C>(w.re);
    r[0]->imag = RealOf<C>(w.im);
    return 0;
  }
};

template <Flavour F> struct Asin<NrxComplex8, F> : ComplexElement<NrxComplex8, cinv::asin> { static constexpr const char* kName = "Asin"; };
template <Flavour F> struct Asin<NrxComplex16, F> : ComplexElement<NrxComplex16, cinv::asin> { static constexpr const char* kName = "Asin"; };
template <Flavour F> struct Acos<NrxComplex8, F> : ComplexElement<NrxComplex8, cinv::acos> { static constexpr const char* kName = "Acos"; };
template <Flavour F> struct Acos<NrxComplex16, F> : ComplexElement<NrxComplex16, cinv::acos> { static constexpr const char* kName = "Acos"; };
template <Flavour F> struct Atan<NrxComplex8, F> : ComplexElement<NrxComplex8, cinv::atan> { static constexpr const char* kName = "Atan"; };
template <Flavour F> struct Atan<NrxComplex16, F> : ComplexElement<NrxComplex16, cinv::atan> { static constexpr const char* kName = "Atan"; };
template <Flavour F> struct Asinh<NrxComplex8, F> : ComplexElement<NrxComplex8, cinv::asinh> { static constexpr const char* kName = "Asinh"; };
template <Flavour F> struct Asinh<NrxComplex16, F> : ComplexElement<NrxComplex16, cinv::asinh> { static constexpr const char* kName = "Asinh"; };
template <Flavour F> struct Acosh<NrxComplex8, F> : ComplexElement<NrxComplex8, cinv::acosh> { static constexpr const char* kName = "Acosh"; };
template <Flavour F> struct Acosh<NrxComplex16, F> : ComplexElement<NrxComplex16, cinv::acosh> { static constexpr const char* kName = "Acosh"; };
template <Flavour F> struct Atanh<NrxComplex8, F> : ComplexElement<NrxComplex8, cinv::atanh> { static constexpr const char* kName = "Atanh"; };
template <Flavour F> struct Atanh<NrxComplex16, F> : ComplexElement<NrxComplex16, cinv::atanh> { static constexpr const char* kName = "Atanh"; };

}  // namespace nrx::zar::ops
