// Every operation type the generated function tables refer to.
#pragma once
#include <type_traits>

#include "zar/kernels/arith.h"
#include "zar/kernels/atrig.h"
#include "zar/kernels/celem_frame.h"
#include "zar/kernels/celem_log.h"
#include "zar/kernels/celem_pow.h"
#include "zar/kernels/celem_trig.h"
#include "zar/kernels/cinv_ops.h"
#include "zar/kernels/cinv_vec.h"
#include "zar/kernels/complex.h"
#include "zar/kernels/cpow_vec.h"
#include "zar/kernels/ctrig_vec.h"
#include "zar/kernels/cvec.h"
#include "zar/kernels/erf.h"
#include "zar/kernels/erfinv.h"
#include "zar/kernels/exp.h"
#include "zar/kernels/expint.h"
#include "zar/kernels/gamma.h"
#include "zar/kernels/hyperbolic.h"
#include "zar/kernels/log.h"
#include "zar/kernels/pack.h"
#include "zar/kernels/pow.h"
#include "zar/kernels/remainder.h"
#include "zar/kernels/root.h"
#include "zar/kernels/rounding.h"
#include "zar/kernels/trig.h"

namespace nrx::zar::ops {

// Names shared by the real and complex families.
template <class T, Flavour F> using Abs = std::conditional_t<is_complex<T>, ComplexAbs<T, F>, RealAbs<T, F>>;
template <class T, Flavour F> using Div = std::conditional_t<is_complex<T>, ComplexDiv<T, F>, RealDiv<T, F>>;
template <class T, Flavour F> using CopySign = RealCopySign<T, F>;
template <class T, Flavour F> using Add = std::conditional_t<is_complex<T>, ComplexAdd<T, F>, RealAdd<T, F>>;
template <class T, Flavour F> using Sub = std::conditional_t<is_complex<T>, ComplexSub<T, F>, RealSub<T, F>>;
template <class T, Flavour F> using Mul = std::conditional_t<is_complex<T>, ComplexMul<T, F>, RealMul<T, F>>;

}  // namespace nrx::zar::ops
