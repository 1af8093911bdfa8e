"""The list of vector math functions.

One row per function. Everything that is written out per function -- the exported
function and cost tables, the public entry names, the public header, the exported
symbol list, the catalogue read by tests, benchmarks and the accuracy tool -- is
generated from this list by tools/zar_gen.py.

Columns of F(...):
  name    function name as it appears in the public names (zar<t><name>)
  shape   argument shape (one for all types, or per type letter): v1 (n,a,r), v2 (n,a,b,r), vs (n,a,scalar b,r),
          v1r2 (n,a,r1,r2), lf (LinearFrac), c2r (complex in, real out),
          r2c (real in, complex out), packI/packV/packM/unpackI/unpackV/unpackM
  share   kernel sharing per type letter: '1' one kernel for all flavours,
          'lh' LA and HA share, 'le' LA and EP share, '3' three kernels
  cost    per type letter: one figure (all slots) or (LA, HA, EP), cycles per element
  kernel  family file in zar/kernels/ that holds the kernel (one for all types, or per
          type letter); every table has one (tools/zar_gen.py refuses a row without).
  oracle  key of the reference computation used by the accuracy tool (None: exact
          functions checked bit for bit by their own tests)
  domain  (lo, hi) sampling interval of the first argument for accuracy sweeps and benchmarks
          (of each part for the complex types), for all types or per type letter
  exact   True when every flavour is correctly rounded (ulp bound 0), for all types or per type letter
  sleef   base name of the SLEEF / libmvec function for benchmarks, or None
  poles   True when a finite argument can give an infinite exact result (code 2)
"""

TYPES = "sdcz"


class F:
    def __init__(self, name, shape, share, cost, kernel=None, oracle=None,
                 domain=(-10.0, 10.0), exact=False, sleef=None, poles=False):
        self.name, self.shape, self.share, self.cost = name, shape, share, cost
        self.kernel, self.oracle, self.domain = kernel, oracle, domain
        self.exact, self.sleef, self.poles = exact, sleef, poles

    def domain_of(self, t):
        return self.domain[t] if isinstance(self.domain, dict) else self.domain


# Vector kernels of the real types (s, d), by function.
REAL_KERNEL = {name: {"s": fam, "d": fam} for name, fam in (
    ("Expm1", "exp"), ("Log1p", "log"), ("Log2", "log"), ("Log10", "log"),
    ("Sqrt", "root"), ("InvSqrt", "root"), ("Hypot", "root"), ("Pow3o2", "root"),
    ("Cbrt", "root"), ("InvCbrt", "root"), ("Pow2o3", "root"), ("Pow", "pow"), ("Powr", "pow"), ("Powx", "pow"),
    ("Erf", "erf"), ("Erfc", "erf"), ("CdfNorm", "erf"), ("ErfInv", "erfinv"), ("ErfcInv", "erfinv"),
    ("CdfNormInv", "erfinv"),
    ("Sin", "trig"), ("Cos", "trig"), ("SinCos", "trig"), ("Tan", "trig"), ("Sinpi", "trig"), ("Cospi", "trig"),
    ("Tanpi", "trig"), ("Sind", "trig"), ("Cosd", "trig"), ("Tand", "trig"),
    ("Atan", "atrig"), ("Atan2", "atrig"), ("Asin", "atrig"), ("Acos", "atrig"), ("Atanpi", "atrig"),
    ("Atan2pi", "atrig"), ("Asinpi", "atrig"), ("Acospi", "atrig"),
    ("Sinh", "hyperbolic"), ("Cosh", "hyperbolic"), ("Tanh", "hyperbolic"), ("Asinh", "hyperbolic"),
    ("Acosh", "hyperbolic"), ("Atanh", "hyperbolic"))}

# The vector complex kernels (zar/kernels/cvec.h) of functions whose real kernels live elsewhere.
COMPLEX_VEC = {"c": "cvec", "z": "cvec"}

ARITH_C = {"s": "arith", "d": "arith", "c": "complex", "z": "complex"}

# Complex kernels of the types c and z built on the per-element routines (zar/kernels/celem_*.h,
# cinv.h), by function: a vector body for the common region, the routine for the lanes it leaves.
COMPLEX_ELEMENT = {name: fam for name, fam in (
    ("Sin", "ctrig_vec"), ("Cos", "ctrig_vec"), ("Tan", "ctrig_vec"), ("Sinh", "ctrig_vec"),
    ("Cosh", "ctrig_vec"), ("Tanh", "ctrig_vec"), ("Log10", "cpow_vec"), ("Pow", "cpow_vec"),
    ("Powx", "cpow_vec"), ("Acos", "cinv_vec"), ("Acosh", "cinv_vec"), ("Asin", "cinv_vec"), ("Asinh", "cinv_vec"),
    ("Atan", "cinv_vec"), ("Atanh", "cinv_vec"))}


# Erfc and CdfNorm up to where their results turn subnormal (every element beyond reports
# underflow, and a sample of reports would time the error routine, not the kernel); the
# thresholds themselves are checked by the kernels' own tests.
ERFC_DOMAIN = {"s": (-6.0, 9.19), "d": (-6.0, 26.54)}
CDFNORM_DOMAIN = {"s": (-12.94, 9.0), "d": (-37.51, 9.0)}

# Sin and Cos of a complex argument overflow where |im| passes about 89 (c) or 710 (z), as
# cosh does: their parts are drawn from Cosh's interval, the real types' from +-1e4.
SIN_COS_DOMAIN = {"s": (-1e4, 1e4), "d": (-1e4, 1e4), "c": (-80.0, 80.0), "z": (-80.0, 80.0)}


def kernels(name):
    """Kernel family per type letter: the real kernels and the per-element complex ones."""
    k = dict(REAL_KERNEL.get(name) or {})
    if name in COMPLEX_ELEMENT:
        k.update(c=COMPLEX_ELEMENT[name], z=COMPLEX_ELEMENT[name])
    return k or None


def sd(share, s, d):
    return {"s": share, "d": share}, {"s": s, "d": d}


def rows():
    R = []

    def add(name, shape, share, cost, **kw):
        R.append(F(name, shape, share, cost, **kw))

    def exact1(name, s, d, kernel, shape="v1", oracle=None, sleef=None, **kw):
        sh, c = sd("1", s, d)
        add(name, shape, sh, c, kernel=kernel, exact=True, oracle=oracle, sleef=sleef, **kw)

    # Exact one-kernel functions.
    exact1("Ceil", 0.195, 0.39, "rounding", sleef="ceil", domain=(-1e4, 1e4))
    exact1("Floor", 0.195, 0.39, "rounding", sleef="floor", domain=(-1e4, 1e4))
    exact1("Frac", 0.31, 0.62, "rounding", domain=(-1e4, 1e4))
    exact1("NearbyInt", 0.195, 0.39, "rounding", domain=(-1e4, 1e4))
    exact1("Rint", 0.195, 0.39, "rounding", sleef="rint", domain=(-1e4, 1e4))
    exact1("Round", 0.27, 0.54, "rounding", sleef="round", domain=(-1e4, 1e4))
    exact1("Trunc", 0.195, 0.39, "rounding", sleef="trunc", domain=(-1e4, 1e4))
    exact1("Sqr", 0.17, 0.34, "arith")
    add("LGamma", "v1", *sd("1", 42.697, 98.808), kernel="gamma", oracle="lgamma", domain=(-2.0, 100.0), poles=True, sleef="lgamma_u10")
    add("TGamma", "v1", *sd("1", 21.5, 44.0), kernel="gamma", oracle="tgamma", domain=(-30.0, 30.0), poles=True, sleef="tgamma_u10")
    add("Exp2", "v1", *sd("1", 0.62, 1.45), kernel="exp", oracle="exp2", domain=(-120.0, 120.0), sleef="exp2")
    add("Exp10", "v1", *sd("1", 0.68, 1.62), kernel="exp", oracle="exp10", domain=(-35.0, 35.0), sleef="exp10")
    add("Logb", "v1", *sd("1", 0.25, 0.5), kernel="log", oracle="logb", domain=(-1e30, 1e30), poles=True, exact=True)
    exact1("CopySign", 0.2, 0.4, "arith", shape="v2", sleef="copysign")
    exact1("NextAfter", 0.4, 0.8, "arith", shape="v2", sleef="nextafter")
    exact1("Fdim", 0.25, 0.5, "arith", shape="v2", sleef="fdim")
    exact1("Fmax", 0.22, 0.44, "arith", shape="v2", sleef="fmax")
    exact1("Fmin", 0.22, 0.44, "arith", shape="v2", sleef="fmin")
    exact1("MaxMag", 0.3, 0.6, "arith", shape="v2")
    exact1("MinMag", 0.3, 0.6, "arith", shape="v2")
    exact1("Remainder", 4.5, 12.0, "remainder", shape="v2", domain=(-1e6, 1e6))
    exact1("Fmod", 4.0, 11.0, "remainder", shape="v2", sleef="fmod", domain=(-1e6, 1e6))
    exact1("Modf", 0.35, 0.7, "rounding", shape="v1r2", domain=(-1e4, 1e4))
    exact1("LinearFrac", 0.6, 1.2, "arith", shape="lf")

    add("Abs", {"s": "v1", "d": "v1", "c": "c2r", "z": "c2r"}, {"s": "1", "d": "1", "c": "3", "z": "3"},
        {"s": 0.17, "d": 0.34, "c": (1.1, 1.3, 0.55), "z": (2.2, 2.6, 1.1)},
        kernel={"s": "arith", "d": "arith", "c": "cvec", "z": "cvec"}, exact={"s": True, "d": True}, oracle="cabs", domain=(-1e30, 1e30), sleef="fabs")
    add("Inv", "v1", *sd("lh", (0.45, 0.45, 0.3), (1.1, 1.1, 0.62)), kernel="arith", poles=True)
    add("ExpInt1", "v1", *sd("lh", (9.5, 9.5, 6.0), (22.0, 22.0, 14.0)), kernel="expint", oracle="eint1", domain=(1e-3, 50.0), poles=True)
    add("Sqrt", "v1", {"s": "3", "d": "3", "c": "le", "z": "le"},
        {"s": (0.459, 0.539, 0.337), "d": (1.35, 1.55, 0.9), "c": (3.9, 5.2, 3.9), "z": (8.5, 11.0, 8.5)},
        kernel={**REAL_KERNEL["Sqrt"], **COMPLEX_VEC}, oracle="sqrt", domain=(0.0, 1e30), sleef="sqrt")
    add("Exp", "v1", {"s": "3", "d": "3", "c": "le", "z": "le"},
        {"s": (0.635, 0.724, 0.576), "d": (1.702, 1.875, 1.184), "c": (4.6, 6.1, 4.6), "z": (10.612, 1103.0, 10.612)},
        kernel={"s": "exp", "d": "exp", **COMPLEX_VEC}, oracle="exp", domain=(-80.0, 80.0), sleef="exp")

    three = [  # (name, s (LA,HA,EP), d (LA,HA,EP), oracle, domain, sleef, poles)
        ("InvSqrt", (0.4, 0.52, 0.3), (1.2, 1.6, 0.8), "rec_sqrt", (0.0, 1e30), None, True),
        ("Cbrt", (0.9, 1.1, 0.7), (2.2, 2.7, 1.6), "cbrt", (-1e30, 1e30), "cbrt", False),
        ("InvCbrt", (0.95, 1.15, 0.75), (2.3, 2.8, 1.7), "rec_cbrt", (-1e30, 1e30), None, True),
        ("Erf", (0.9, 1.1, 0.7), (2.6, 3.2, 1.9), "erf", (-6.0, 6.0), "erf", False),
        ("Erfc", (1.1, 1.4, 0.85), (3.1, 3.8, 2.3), "erfc", ERFC_DOMAIN, "erfc", False),
        ("ErfInv", (1.4, 1.7, 1.0), (4.0, 5.0, 3.0), "erfinv", (-1.0, 1.0), None, True),
        ("ErfcInv", (1.8, 2.2, 1.3), (4.8, 6.0, 3.6), "erfcinv", (0.0, 2.0), None, True),
        ("CdfNorm", (1.0, 1.3, 0.8), (3.0, 3.7, 2.2), "cdfnorm", CDFNORM_DOMAIN, None, False),
        ("CdfNormInv", (1.6, 2.0, 1.2), (4.5, 5.5, 3.4), "cdfnorminv", (0.0, 1.0), None, True),
        ("Expm1", (0.8, 1.0, 0.65), (2.1, 2.5, 1.5), "expm1", (-20.0, 80.0), "expm1", False),
        ("Log1p", (0.85, 1.1, 0.7), (2.2, 2.7, 1.6), "log1p", (-1.0, 1e10), "log1p", True),
        ("Log2", (0.72, 1.0, 0.62), (1.9, 2.3, 1.4), "log2", (0.0, 1e30), "log2", True),
        ("Pow3o2", (1.1, 1.4, 0.9), (2.8, 3.4, 2.1), "pow3o2", (0.0, 1e20), None, False),
        ("Pow2o3", (1.0, 1.3, 0.85), (2.7, 3.3, 2.0), "pow2o3", (-1e30, 1e30), None, False),
        ("Sinpi", (0.9, 1.1, 0.7), (2.0, 2.6, 1.5), "sinpi", (-1e4, 1e4), "sinpi", False),
        ("Cospi", (0.9, 1.1, 0.7), (2.0, 2.6, 1.5), "cospi", (-1e4, 1e4), "cospi", False),
        ("Tanpi", (3.38, 3.42, 3.29), (3.75, 5.87, 2.43), "tanpi", (-1e4, 1e4), None, True),
        ("Acospi", (1.0, 1.3, 0.8), (2.6, 3.2, 2.0), "acospi", (-1.0, 1.0), None, False),
        ("Asinpi", (1.0, 1.3, 0.8), (2.6, 3.2, 2.0), "asinpi", (-1.0, 1.0), None, False),
        ("Atanpi", (1.0, 1.3, 0.8), (2.6, 3.2, 2.0), "atanpi", (-1e6, 1e6), None, False),
        ("Sind", (2.22, 2.24, 2.22), (2.04, 2.98, 1.62), "sind", (-1e5, 1e5), None, False),
        ("Cosd", (2.25, 2.32, 2.25), (2.02, 2.71, 1.62), "cosd", (-1e5, 1e5), None, False),
        ("Tand", (3.43, 3.53, 3.43), (3.88, 6.02, 2.59), "tand", (-1e5, 1e5), None, True),
        ("Atan2", (1.6, 2.0, 1.3), (3.6, 4.4, 2.8), "atan2", (-1e6, 1e6), "atan2", False),
        ("Atan2pi", (1.7, 2.1, 1.35), (3.8, 4.6, 2.9), "atan2pi", (-1e6, 1e6), None, False),
        ("Hypot", (0.6, 0.8, 0.45), (1.6, 2.0, 1.2), "hypot", (-1e30, 1e30), "hypot", False),
        ("Powr", (2.6, 3.2, 1.7), (7.0, 8.0, 4.2), "powr", (0.0, 100.0), None, True),
        ("SinCos", (1.6, 2.4, 1.3), (3.4, 7.6, 2.9), "sincos", (-1e4, 1e4), "sincos", False),
    ]
    for name, cs, cd, oracle, dom, sl, poles in three:
        shape = {"Atan2": "v2", "Atan2pi": "v2", "Hypot": "v2", "Powr": "v2", "SinCos": "v1r2"}.get(name, "v1")
        add(name, shape, *sd("3", cs, cd), kernel=REAL_KERNEL.get(name), oracle=oracle, domain=dom, sleef=sl,
            poles=poles)

    add("Ln", "v1", {t: "3" for t in TYPES},
        {"s": (0.714, 1.008, 0.624), "d": (1.85, 2.2, 1.35), "c": (5.0, 7.0, 4.2), "z": (11.0, 15.0, 9.0)},
        kernel={"s": "log", "d": "log", **COMPLEX_VEC}, oracle="log", domain=(0.0, 1e30), sleef="log", poles=True)

    three_c1 = [  # s and d three kernels, c and z one
        ("Log10", (0.75, 1.05, 0.65), (1.95, 2.35, 1.45), 60.0, 110.0, "log10", (0.0, 1e30), "log10", True),
        ("Sin", (0.8, 1.9, 0.65), (1.897, 4.183, 1.586), 70.0, 140.0, "sin", (-1e4, 1e4), "sin", False),
        ("Tan", (1.2, 2.4, 1.0), (3.0, 5.5, 2.4), 90.0, 180.0, "tan", (-1e4, 1e4), "tan", False),
        ("Acos", (0.9, 1.2, 0.75), (2.3, 2.9, 1.8), 110.0, 220.0, "acos", (-1.0, 1.0), "acos", False),
        ("Acosh", (1.12, 1.85, 1.12), (3.5, 4.72, 2.86), 110.0, 220.0, "acosh", (1.0, 1e30), "acosh", False),
        ("Asin", (0.9, 1.2, 0.75), (2.3, 2.9, 1.8), 110.0, 220.0, "asin", (-1.0, 1.0), "asin", False),
        ("Asinh", (1.53, 2.05, 1.52), (4.65, 4.7, 3.77), 110.0, 220.0, "asinh", (-1e30, 1e30), "asinh", False),
        ("Atan", (0.85, 1.1, 0.7), (2.2, 2.8, 1.7), 100.0, 200.0, "atan", (-1e6, 1e6), "atan", False),
        ("Atanh", (1.02, 2.78, 1.02), (2.85, 6.21, 2.34), 100.0, 200.0, "atanh", (-1.0, 1.0), "atanh", True),
        ("Cosh", (0.66, 1.6, 0.53), (1.44, 3.68, 1.12), 75.0, 150.0, "cosh", (-80.0, 80.0), "cosh", False),
        ("Tanh", (1.02, 2.65, 0.82), (2.29, 6.01, 1.89), 80.0, 160.0, "tanh", (-20.0, 20.0), "tanh", False),
        ("Pow", (2.8, 3.4, 1.8), (7.192, 8.208, 4.28), 160.0, 320.0, "pow", (0.0, 100.0), "pow", True),
    ]
    for name, cs, cd, cc, cz, oracle, dom, sl, poles in three_c1:
        if name == "Sin":
            dom = SIN_COS_DOMAIN
        add(name, "v2" if name == "Pow" else "v1", {"s": "3", "d": "3", "c": "1", "z": "1"},
            {"s": cs, "d": cd, "c": cc, "z": cz}, kernel=kernels(name), oracle=oracle, domain=dom,
            sleef=sl, poles=poles)
    add("Cos", "v1", {"s": "3", "d": "le", "c": "1", "z": "1"},
        {"s": (0.8, 1.9, 0.65), "d": (1.9, 4.2, 1.9), "c": 70.0, "z": 140.0}, kernel=kernels("Cos"),
        oracle="cos", domain=SIN_COS_DOMAIN, sleef="cos")
    add("Sinh", "v1", {"s": "3", "d": "le", "c": "1", "z": "1"},
        {"s": (0.8, 1.84, 0.65), "d": (1.72, 4.1, 1.72), "c": 75.0, "z": 150.0},
        kernel=kernels("Sinh"), oracle="sinh", domain=(-80.0, 80.0), sleef="sinh")
    add("Div", "v2", {"s": "3", "d": "3", "c": "lh", "z": "lh"},
        {"s": (0.35, 0.42, 0.3), "d": (0.9, 1.0, 0.8), "c": (3.2, 3.2, 1.6), "z": (7.0, 7.0, 3.5)},
        kernel={"s": "arith", "d": "arith", **COMPLEX_VEC}, oracle="div", poles=True)
    for name in ("Add", "Sub"):
        add(name, "v2", {"s": "1", "d": "1", "c": "lh", "z": "lh"},
            {"s": 0.2, "d": 0.4, "c": (1.963, 1.963, 0.308), "z": (3.9, 3.9, 0.62)}, kernel=ARITH_C, exact=True)
    add("Mul", "v2", {"s": "1", "d": "1", "c": "lh", "z": "lh"},
        {"s": 0.2, "d": 0.4, "c": (2.2, 2.2, 0.6), "z": (4.4, 4.4, 1.2)}, kernel=ARITH_C,
        exact={"s": True, "d": True}, oracle="mul")
    add("Powx", "vs", {"s": "lh", "d": "3", "c": "1", "z": "1"},
        {"s": (2.4, 2.4, 1.5), "d": (6.5, 7.5, 3.9), "c": 150.0, "z": 300.0}, kernel=kernels("Powx"),
        oracle="pow", domain=(0.0, 100.0), poles=True)
    add("Conj", "v1", {"c": "1", "z": "1"}, {"c": 0.4, "z": 0.8}, kernel="complex", exact=True)
    add("CIS", "r2c", {"c": "3", "z": "3"}, {"c": (2.0, 3.0, 1.6), "z": (4.6, 9.0, 3.6)},
        kernel="cvec", oracle="cis", domain=(-1e4, 1e4))
    add("Arg", "c2r", {"c": "3", "z": "3"}, {"c": (1.8, 2.2, 1.4), "z": (4.0, 4.8, 3.2)},
        kernel="cvec", oracle="arg", domain=(-1e6, 1e6))
    add("MulByConj", "v2", {"c": "lh", "z": "lh"}, {"c": (2.2, 2.2, 0.6), "z": (4.4, 4.4, 1.2)},
        kernel="complex", oracle="mulbyconj")
    return R


def pack_rows():
    """Pack and unpack: one kernel for every flavour, no strided twin."""
    return [F(n, n[0].lower() + n[1:], {t: "1" for t in TYPES}, {t: 0.3 for t in TYPES},
              kernel="pack", exact=True)
            for n in ("PackI", "PackM", "PackV", "UnpackI", "UnpackM", "UnpackV")]


# Service entry points exported beside the generated names.
SERVICE = [
    "GetMode", "SetMode", "GetErrStatus", "SetErrStatus", "ClearErrStatus",
    "GetErrorCallBack", "SetErrorCallBack", "ClearErrorCallBack", "SetInterfInputVectorPointer",
]
EXTRA_EXPORTS = ["nrx_zar_kernel_GetTTableIndex", "nrx_zar_kernel_GetTTableIndexM", "dll_cpu_version"]


# Per function: a one-line description, the ulp bound per flavour when it is not the usual one,
# and the special-input rows. A row reads
#     [types] [ftz] [LA|HA|EP] args -> results [!code]
#   types    the type letters the row holds for (default: every type of the function)
#   ftz      run with the mode word's flush-to-zero and denormals-are-zero on
#   LA/HA/EP only that flavour (default: all three)
#   args     the inputs: first argument, second argument (or Powx's scalar), then LinearFrac's
#            scalea, shifta, scaleb, shiftb; a complex value is written re,im
#   results  one value, or two for SinCos and Modf; a complex result re,im. A value is
#            exact (sign of zero included, any NaN for nan) unless written ~v: then within the
#            flavour's ulp bound of v (~re,im: both parts; re,~im: that part only). sub is a
#            positive subnormal, * any value.
#   code     the status reported for the element (none: no report)
# Numbers are Python float() or float.fromhex() text; inf, -inf, nan, -0 as they read.
ABOUT = {
    "Ceil": ("rounds up to an integral value", [
        "1.5 -> 2", "-0.5 -> -0", "-0 -> -0", "inf -> inf", "-inf -> -inf", "nan -> nan"]),
    "Floor": ("rounds down to an integral value", [
        "-1.5 -> -2", "0.5 -> 0", "-0 -> -0", "-inf -> -inf", "nan -> nan"]),
    "Frac": ("fractional part x - trunc(x), with the sign of x", [
        "-3 -> -0", "2.75 -> 0.75", "-2.75 -> -0.75", "inf -> 0", "-inf -> -0", "nan -> nan",
        "d 4503599627370495.5 -> 0.5", "s 8388607.5 -> 0.5"]),
    "NearbyInt": ("rounds to the nearest integral value, ties to even", [
        "2.5 -> 2", "-2.5 -> -2", "3.5 -> 4", "-0.4 -> -0", "inf -> inf", "nan -> nan"]),
    "Rint": ("rounds to the nearest integral value, ties to even", [
        "2.5 -> 2", "-2.5 -> -2", "3.5 -> 4", "-0.4 -> -0", "-inf -> -inf", "nan -> nan"]),
    "Round": ("rounds to the nearest integral value, ties away from zero", [
        "2.5 -> 3", "-2.5 -> -3", "-0 -> -0", "-0.4 -> -0", "d 0.49999999999999994 -> 0",
        "s 0.49999997 -> 0", "inf -> inf", "nan -> nan"]),
    "Trunc": ("rounds toward zero to an integral value", [
        "-1.7 -> -1", "-0.5 -> -0", "1.5 -> 1", "inf -> inf", "nan -> nan"]),
    "Sqr": ("x squared", ["-3 -> 9", "-0 -> 0", "d 1e200 -> inf", "s 1e20 -> inf", "nan -> nan"]),
    "LGamma": ("natural logarithm of |Gamma(x)|; 1 ulp for x > 0 and where |result| >= 1/4, absolute "
               "error below 2^-52 near the negative zeros", [
        "0 -> inf !2", "-2 -> inf !2", "1 -> 0", "2 -> 0", "d 1e306 -> inf !3", "-inf -> inf", "inf -> inf",
        "nan -> nan"]),
    "TGamma": ("Gamma(x); a negative non-integer below -185 gives the zero of the sign of Gamma(x)", [
        "-0 -> -inf !2", "0 -> inf !2", "-3 -> nan !1", "5 -> 24", "-inf -> nan !1", "inf -> inf",
        "d 172 -> inf !3", "d 1e-310 -> inf !3", "s 36 -> inf !3", "nan -> nan",
        "d -185.5 -> 0", "d -186.5 -> -0", "s -45.5 -> 0", "s -46.5 -> -0"]),
    "Exp2": ("2^x", [
        "d 1024 -> inf !3", "d -1074.5 -> sub !4", "d -1075 -> 0 !4", "-inf -> 0", "inf -> inf", "nan -> nan",
        "d 1023.5 -> ~0x1.6a09e667f3bcdp1023", "d -1022 -> 0x1p-1022",
        "s 128 -> inf !3", "s -140 -> sub !4", "s -151 -> 0 !4", "s 127 -> 0x1p127"]),
    "Exp10": ("10^x", [
        "d 308.26 -> inf !3", "d -310 -> sub !4", "d -324 -> 0 !4", "d 1e-17 -> 1", "d 300 -> ~1e300",
        "2 -> 100", "s 38.6 -> inf !3", "s -40 -> sub !4", "s -46 -> 0 !4", "s 3 -> 1000", "-inf -> 0",
        "nan -> nan"]),
    "Logb": ("unbiased exponent of x as a floating value", [
        "-0 -> -inf !1", "0 -> -inf !1", "d 0x1p-1074 -> -1074", "s 0x1p-149 -> -149", "inf -> inf",
        "-inf -> inf", "nan -> nan", "-48.5 -> 5"]),
    "CopySign": ("magnitude of a with the sign of b", [
        "3 -0 -> -3", "-2 0 -> 2", "-0 1 -> 0", "inf -1 -> -inf", "1 -nan -> -1"]),
    "NextAfter": ("neighbour of a in the direction of b", [
        "d 1 2 -> 0x1.0000000000001p0", "s 1 2 -> 0x1.000002p0", "d 0 -1 -> -0x0.0000000000001p-1022",
        "s 0 1 -> 0x1p-149", "1 1 -> 1", "nan 1 -> nan", "1 nan -> nan"]),
    "Fdim": ("a - b when a > b, else +0", [
        "3 1 -> 2", "1 3 -> 0", "nan 1 -> nan", "1 nan -> nan", "inf inf -> 0"]),
    "Fmax": ("larger of a and b; the other one when exactly one is NaN", [
        "nan 2 -> 2", "2 nan -> 2", "1 -3 -> 1", "-inf 1 -> 1", "nan nan -> nan"]),
    "Fmin": ("smaller of a and b; the other one when exactly one is NaN", [
        "nan 2 -> 2", "2 nan -> 2", "1 -3 -> -3", "inf 1 -> 1", "nan nan -> nan"]),
    "MaxMag": ("argument of larger magnitude; Fmax on equal magnitudes", [
        "-3 2 -> -3", "3 -3 -> 3", "nan 1 -> 1", "1 nan -> 1"]),
    "MinMag": ("argument of smaller magnitude; Fmin on equal magnitudes", [
        "-3 2 -> 2", "3 -3 -> -3", "nan 1 -> 1", "1 nan -> 1"]),
    "Remainder": ("a - n b with n = a / b rounded to nearest, ties to even", [
        "5 3 -> -1", "7 2 -> -1", "-0 2 -> -0", "1 inf -> 1"]),
    "Fmod": ("a - n b with n = a / b truncated", ["5 3 -> 2", "-5 3 -> -2", "-0 2 -> -0", "1 inf -> 1"]),
    "Modf": ("integral part and fractional part, both with the sign of x", [
        "-3.5 -> -3 -0.5", "inf -> inf 0", "-0 -> -0 -0", "2 -> 2 0", "nan -> nan nan"]),
    "LinearFrac": ("(scalea a + shifta) / (scaleb b + shiftb)", [
        "1 2 1 0 1 0 -> 0.5", "3 1 2 1 1 1 -> 3.5", "1 -1 1 0 1 1 -> inf"]),
    "Abs": ("absolute value; the modulus of a complex value (code 3 where it overflows)", [
        "sd -0 -> 0", "sd -inf -> inf", "sd -3 -> 3", "sd nan -> nan",
        "cz 3,4 -> ~5", "cz inf,nan -> inf", "cz -0,-0 -> 0",
        "cz nan,-inf -> inf", "cz nan,0 -> nan", "z 1.5e308,1.5e308 -> inf !3", "c 3e38,3e38 -> inf !3",
        "z 0x1p-1074,-0 -> 0x1p-1074", "z 1e300,-1e300 -> ~1.4142135623730952e+300", "c 0x1p-149,0 -> 0x1p-149"]),
    "Inv": ("1 / x", [
        "-0 -> -inf !2", "0 -> inf !2", "inf -> 0", "-inf -> -0", "4 -> 0.25", "nan -> nan"]),
    "ExpInt1": ("exponential integral E1(x); results below the normal range are not reported", [
        "0 -> inf !2", "-0 -> inf !2", "-1 -> nan !1", "-inf -> nan !1", "inf -> 0", "nan -> nan",
        "d 705 -> sub", "d 760 -> 0", "s 95 -> sub", "s 110 -> 0", "d 1 -> ~0.21938393439552027"]),
    "Sqrt": ("square root; for complex values the principal root (re >= 0), without codes", [
        "sd -0 -> -0", "sd 0 -> 0", "sd -1 -> nan !1", "sd -inf -> nan !1", "sd inf -> inf", "sd nan -> nan",
        "d 0x1p-1074 -> 0x1p-537", "d 0x1p1022 -> 0x1p511", "d 2 -> ~1.4142135623730951", "d -0x1p-1074 -> nan !1",
        "s 0x1p-148 -> 0x1p-74", "s 1e38 -> ~1e19",
        # tiny normal inputs, whose residual step would be subnormal
        "d 0x1p-1000 -> 0x1p-500", "s 0x1p-120 -> 0x1p-60",
        "d ftz -1e-310 -> -0", "d ftz 0x1.8p-1000 -> ~0x1.3988e1409212ep-500", "s ftz 0x1.8p-120 -> ~0x1.3988e2p-60",
        "cz -4,0 -> ~0,2", "cz 4,0 -> ~2,0", "cz 0,0 -> ~0,0",
        # C99 Annex G: both sides of the cut, signed zeros, infinities and NaN parts
        "cz -4,-0 -> 0,-2", "cz -0,0 -> 0,0", "cz -0,-0 -> 0,-0", "cz 0,-0 -> 0,-0", "cz 0,2 -> 1,1",
        "cz 1,inf -> inf,inf", "cz nan,inf -> inf,inf", "cz -inf,-inf -> inf,-inf", "cz -inf,1 -> 0,inf",
        "cz -inf,-1 -> 0,-inf", "cz inf,1 -> inf,0", "cz inf,-1 -> inf,-0", "cz -inf,nan -> nan,inf",
        "cz inf,nan -> inf,nan", "cz 1,nan -> nan,nan", "cz nan,1 -> nan,nan", "z 0x1p-1074,0 -> 0x1p-537,0",
        "z -0x1p-1074,-0 -> 0,-0x1p-537", "z 1e308,1e308 -> ~1.09868411346781e+154,4.5508986056222734e+153", "c 0x1p-148,0 -> 0x1p-74,0"]),
    "Exp": ("e^x; for complex values e^re (cos im + i sin im), code 3 where a part overflows (a finite part is kept beside it), code 1 for an infinite im beside a non-NaN re, underflow not reported", [
        "d 709.78 -> ~1.7928227943945155e308", "d 709.79 -> inf !3", "d -708.3 -> ~2.450295530965988e-308",
        "d -740 -> sub !4", "d -746 -> 0 !4", "sd -inf -> 0", "sd inf -> inf", "sd nan -> nan", "d 1e-300 -> 1",
        "s 88.8 -> inf !3", "s -104 -> 0 !4", "s -87.5 -> sub !4", "s 88.7 -> ~3.325976864406685e38",
        "cz 0,0 -> ~1,0", "cz -0,-0 -> 1,-0",
        # C99 Annex G: infinite and NaN parts
        "cz inf,0 -> inf,0", "cz inf,-0 -> inf,-0", "cz -inf,1 -> 0,0", "cz -inf,3 -> -0,0", "cz inf,2 -> -inf,inf",
        "cz 1,inf -> nan,nan !1", "cz 1,nan -> nan,nan", "cz nan,0 -> nan,0", "cz nan,-0 -> nan,-0", "cz nan,1 -> nan,nan",
        "cz -inf,inf -> 0,0", "cz inf,inf -> inf,nan !1", "cz inf,nan -> inf,nan", "cz -inf,nan -> 0,0",
        # overflow is reported, underflow is not; e^x times a small sine stays finite past e^x's range
        "z 710,0 -> inf,0 !3", "c 89,0 -> inf,0 !3", "z 1000,1e-300 -> inf,* !3", "c 100,1e-30 -> inf,* !3",
        "z -800,1 -> 0,0", "c -110,1 -> 0,0", "z 800,1e-300 -> inf,* !3"]),
    "InvSqrt": ("1 / sqrt(x)", [
        "0 -> inf !2", "-0 -> -inf !2", "-4 -> nan !1", "-inf -> nan !1", "inf -> 0", "nan -> nan", "4 -> 0.5",
        "d 0x1p-1074 -> 0x1p537", "d 0x1p1020 -> 0x1p-510", "s 0x1p-148 -> 0x1p74",
        "d ftz 1e-310 -> inf !2", "s ftz 1e-40 -> inf !2"]),
    "Cbrt": ("cube root", [
        "-0 -> -0", "0 -> 0", "-inf -> -inf", "inf -> inf", "nan -> nan", "-27 -> ~-3", "1 -> 1", "s -8 -> -2",
        "d 0x1p-1074 -> 0x1p-358", "d 0x1p1023 -> 0x1p341", "s 0x1p-149 -> ~1.1190346870425511e-15",
        "d 0x0.012688b70e62bp-1022 -> 0x1.a9d1b0b5d7427p-344",
        "d ftz -1e-310 -> -0", "s ftz 1e-40 -> 0"]),
    "InvCbrt": ("1 / cube root", [
        "0 -> inf !2", "-0 -> -inf !2", "-inf -> -0", "inf -> 0", "-0.125 -> -2", "d 0x1p-1074 -> 0x1p358",
        "s 64 -> 0.25", "nan -> nan", "d ftz 1e-310 -> inf !2"]),
    "Erf": ("error function", ["d 6 -> 1", "-inf -> -1", "inf -> 1", "0 -> 0", "-0 -> -0", "nan -> nan"]),
    "Erfc": ("complementary error function", [
        "d -6 -> 2", "d 30 -> 0 !4", "d 26.6 -> sub !4", "inf -> 0", "-inf -> 2", "nan -> nan", "0 -> 1"]),
    "ErfInv": ("inverse error function", [
        "1 -> inf !2", "-1 -> -inf !2", "-1.5 -> nan !1", "inf -> nan !1", "0 -> 0", "nan -> nan"]),
    "ErfcInv": ("inverse complementary error function", [
        "0 -> inf !2", "2 -> -inf !2", "1 -> 0", "-1 -> nan !1", "3 -> nan !1", "inf -> nan !1", "nan -> nan"]),
    "CdfNorm": ("standard normal cumulative distribution function", [
        "d 9 -> 1", "d -38 -> sub !4", "d -40 -> 0 !4", "inf -> 1", "-inf -> 0", "0 -> 0.5", "nan -> nan"]),
    "CdfNormInv": ("inverse of the standard normal cumulative distribution function", [
        "0 -> -inf !2", "1 -> inf !2", "2 -> nan !1", "-1 -> nan !1", "inf -> nan !1", "nan -> nan"]),
    "Expm1": ("e^x - 1", [
        "d 709.79 -> inf !3", "d -50 -> -1", "-inf -> -1", "d 1e-300 -> 1e-300", "-0 -> -0", "s 88.8 -> inf !3",
        "s -30 -> -1", "nan -> nan"]),
    "Log1p": ("ln(1 + x)", [
        "-1 -> -inf !2", "-2 -> nan !1", "-inf -> nan !1", "inf -> inf", "d 1e-300 -> 1e-300", "-0 -> -0",
        "s -1.5 -> nan !1", "nan -> nan"]),
    "Log2": ("base-2 logarithm", [
        "0 -> -inf !2", "-0 -> -inf !2", "-3 -> nan !1", "d 0x1p-1074 -> -1074", "d 0x1p-1000 -> -1000",
        "s 0x1p-149 -> -149", "s 1024 -> 10", "inf -> inf", "nan -> nan",
        # just below 0.75, where e log2 2 and log2 m cancel to a third of their size
        "s 0x1.7ff4c2p-1 -> ~-0.41520249740346336"]),
    "Pow3o2": ("x^(3/2)", [
        "-1 -> nan !1", "-inf -> nan !1", "inf -> inf", "4 -> 8", "d 0x1p-1074 -> 0", "d 0x1p-700 -> sub !4",
        "d 0x1p-600 -> 0x1p-900", "d 1e300 -> inf !3", "d 0x1p680 -> 0x1p1020", "0 -> 0", "-0 -> 0",
        "nan -> nan", "s 1e30 -> inf !3", "s 0x1p-64 -> 0x1p-96", "d ftz 1e-310 -> 0"]),
    "Pow2o3": ("x^(2/3)", [
        "-8 -> 4", "-0 -> 0", "-inf -> inf", "d 0x1p-1074 -> 0x1p-716", "d 1e300 -> ~1e200", "nan -> nan",
        "s -27 -> ~9", "s 0x1p-149 -> ~0x1.965fea53d6e3dp-100", "inf -> inf", "d ftz -1e-310 -> 0"]),
    "Sinpi": ("sin(pi x)", ["0 -> 0", "-0 -> -0", "1 -> 0", "-2 -> -0", "0.5 -> 1", "nan -> nan"]),
    "Cospi": ("cos(pi x)", ["0 -> 1", "0.5 -> 0", "1 -> -1", "nan -> nan"]),
    "Tanpi": ("tan(pi x)", [
        "0 -> 0", "-0 -> -0", "0.25 -> ~1", "nan -> nan", "inf -> nan", "-inf -> nan",
        # IEEE 754 tanPi: +-0 at integers (sign of x, flipped for odd ones), +-inf at half-integers
        "1 -> -0", "-1 -> 0", "2 -> 0", "-2 -> -0", "0.5 -> inf", "-0.5 -> -inf", "1.5 -> -inf", "-1.5 -> inf",
        "2.5 -> inf", "d 0x1p60 -> 0", "d -0x1p60 -> -0", "d -4503599627370495.5 -> inf", "s -8388607.5 -> inf",
        "s 8388607.5 -> -inf", "d 1e-300 -> ~3.1415926535897933e-300"]),
    "Acospi": ("acos(x) / pi", [
        "1 -> 0", "-1 -> 1", "0 -> 0.5", "-0 -> 0.5", "0.5 -> ~0.3333333333333333", "-0.5 -> ~0.6666666666666666",
        "2 -> nan !1", "-1.5 -> nan !1", "inf -> nan !1", "-inf -> nan !1", "nan -> nan",
        "d 1.0000000000000002 -> nan !1", "s 1.00000012 -> nan !1", "d 0.9999999999999999 -> ~4.743186923619966e-09"]),
    "Asinpi": ("asin(x) / pi", [
        "0 -> 0", "-0 -> -0", "1 -> 0.5", "-1 -> -0.5", "0.5 -> ~0.16666666666666666", "-2 -> nan !1", "2 -> nan !1",
        "-inf -> nan !1", "inf -> nan !1", "nan -> nan", "d -1.0000000000000002 -> nan !1",
        "d 1e-300 -> ~3.183098861837907e-301", "d 0x1p-1074 -> 0", "s 1e-40 -> ~3.1830988e-41",
        "d ftz 1e-310 -> 0", "s ftz -1e-40 -> -0"]),
    "Atanpi": ("atan(x) / pi", [
        "0 -> 0", "-0 -> -0", "1 -> 0.25", "-1 -> -0.25", "inf -> 0.5", "-inf -> -0.5", "d 1e300 -> 0.5",
        "s 1e38 -> 0.5", "nan -> nan", "d 1e-300 -> ~3.183098861837907e-301", "d 0x1p-1073 -> 0x1p-1074",
        "d ftz -1e-310 -> -0"]),
    "Sind": ("sine of x degrees", ["-inf -> nan !1", "inf -> nan !1", "nan -> nan", "0 -> 0", "-0 -> -0",
                                   "90 -> 1", "180 -> 0", "30 -> ~0.5", "-180 -> -0", "360 -> 0", "-360 -> -0",
                                   "-90 -> -1", "270 -> -1", "d 0x1p60 -> ~0.69465837045899729",
                                   "d 1e300 -> 0", "d -1e300 -> -0", "d -1e22 -> ~0.98480775301220806",
                                   "d 1e-300 -> ~1.7453292519943296e-302", "s 1e30 -> ~0.8660254038"]),
    "Cosd": ("cosine of x degrees", ["-inf -> nan !1", "nan -> nan", "0 -> 1", "90 -> 0", "60 -> ~0.5",
                                     "inf -> nan !1", "-90 -> 0", "270 -> 0", "-0 -> 1", "180 -> -1", "-360 -> 1",
                                     "d 0x1p60 -> ~-0.71933980033865114", "d 1e300 -> 1",
                                     "s 1e30 -> ~-0.5"]),
    "Tand": ("tangent of x degrees", ["-inf -> nan !1", "nan -> nan", "0 -> 0", "-0 -> -0", "45 -> 1",
                                      "inf -> nan !1", "-45 -> -1", "135 -> -1", "225 -> 1",
                                      # IEEE 754 tanPi's rule in degrees: zeros at multiples of 180, poles between
                                      "180 -> -0", "-180 -> 0", "360 -> 0", "-360 -> -0", "90 -> inf", "-90 -> -inf",
                                      "270 -> -inf", "-270 -> inf", "d 0x1p60 -> ~-0.96568877480707405",
                                      "d 1e300 -> 0", "d -1e300 -> -0", "d 1e-300 -> ~1.7453292519943296e-302",
                                      "s 1e30 -> ~-1.732050808"]),
    "Atan2": ("angle of the point (b, a), in (-pi, pi]", [
        # zeros: the sign of a, and pi where b is negative (-0 included)
        "0 1 -> 0", "-0 1 -> -0", "0 0 -> 0", "-0 0 -> -0", "0 -1 -> ~3.141592653589793",
        "-0 -1 -> ~-3.141592653589793", "0 -0 -> ~3.141592653589793", "-0 -0 -> ~-3.141592653589793",
        "1 0 -> ~1.5707963267948966", "1 -0 -> ~1.5707963267948966", "-1 0 -> ~-1.5707963267948966",
        "-1 -0 -> ~-1.5707963267948966",
        # infinities
        "inf 1 -> ~1.5707963267948966", "-inf -1 -> ~-1.5707963267948966", "1 inf -> 0", "-1 inf -> -0",
        "1 -inf -> ~3.141592653589793", "-1 -inf -> ~-3.141592653589793", "inf inf -> ~0.7853981633974483",
        "-inf inf -> ~-0.7853981633974483", "inf -inf -> ~2.356194490192345", "-inf -inf -> ~-2.356194490192345",
        "nan 1 -> nan", "1 nan -> nan", "nan nan -> nan", "inf nan -> nan", "nan -0 -> nan",
        # range ends: no overflow in the reduction, quotients below the subnormals
        "d 1.7e308 1.7e308 -> ~0.7853981633974483", "d 1.7e308 -1.7e308 -> ~2.356194490192345",
        "d 1e-300 1e300 -> 0", "d -1e300 1e-300 -> ~-1.5707963267948966", "d 0x1p-1074 1 -> 0x1p-1074",
        "d 0x1p-1074 0x1p-1074 -> ~0.7853981633974483", "s 3e38 3e38 -> ~0.7853981633974483",
        "s 0x1p-149 1 -> 0x1p-149", "d ftz 1e-310 1 -> 0", "d ftz 1e-310 -1 -> ~3.141592653589793"]),
    "Atan2pi": ("atan2(a, b) / pi", [
        "0 1 -> 0", "-0 1 -> -0", "0 0 -> 0", "-0 0 -> -0", "0 -1 -> 1", "-0 -1 -> -1", "0 -0 -> 1", "-0 -0 -> -1",
        "1 0 -> 0.5", "-1 -0 -> -0.5", "inf 1 -> 0.5", "-inf -1 -> -0.5", "1 inf -> 0", "-1 inf -> -0",
        "1 -inf -> 1", "-1 -inf -> -1", "inf inf -> 0.25", "-inf inf -> -0.25", "inf -inf -> 0.75",
        "-inf -inf -> -0.75", "3 3 -> 0.25", "-2 2 -> -0.25", "2 -2 -> 0.75", "nan 1 -> nan", "1 nan -> nan",
        "d 1.7e308 -1.7e308 -> 0.75", "d 1e-300 1 -> ~3.183098861837907e-301", "d 0x1p-1073 1 -> 0x1p-1074"]),
    "Hypot": ("sqrt(a^2 + b^2) without intermediate overflow or underflow", [
        "inf nan -> inf", "nan -inf -> inf", "nan 1 -> nan", "3 -4 -> ~5", "d 1e300 1e300 -> ~1.4142135623730951e300",
        "d 1.5e308 -1.5e308 -> inf !3", "d 3e-320 4e-320 -> 5e-320", "0 -0 -> 0", "-0 -7 -> ~7",
        "s 3e38 3e38 -> inf !3", "s nan inf -> inf", "s 1e-30 1e-30 -> ~1.4142135623730951e-30",
        # sums of squares just beyond either end of the unscaled range: the scaled path
        "d 0x3p-500 0x4p-500 -> ~0x5p-500", "d 0x3p508 -0x4p508 -> ~0x5p508", "s 0x3p-50 0x4p-50 -> ~0x5p-50",
        "s -0x3p60 0x4p60 -> ~0x5p60", "d 0x1p-1074 0 -> 0x1p-1074", "s 0 -0x1p-149 -> 0x1p-149",
        "d ftz 1e-310 -1e-310 -> 0", "d ftz 0x1p-1000 0 -> 0x1p-1000",
        # a NaN beside a zero: scaling by 2^-k with k = -inf must not turn the NaN into 0
        "s nan 0 -> nan", "s -0 nan -> nan", "d nan -0 -> nan"]),
    "Powr": ("x^y for x >= 0, as exp(y ln x)", [
        "-2 3 -> nan !1", "-0 3 -> 0", "0 -1 -> inf !2", "0 0 -> nan !1", "inf 0 -> nan !1", "1 inf -> nan !1",
        "1 5 -> 1", "nan 0 -> nan", "4 0 -> 1", "10 400 -> inf !3", "4 0.5 -> 2", "inf -1 -> 0",
        "4 -0.5 -> 0.5", "d ftz 1e-310 -1 -> inf !2",
        "s -2 2 -> nan !1",
        # where x^y is representable, HA returns it exactly
        "s HA 3 5 -> 243", "s HA 7 8 -> 5764801", "s HA 1.5 4 -> 5.0625", "s HA 10 7 -> 1e7", "s HA 0.5 24 -> 0x1p-24", "s HA 9 0.5 -> 3",
        "s HA 16 0.25 -> 2", "s HA 0.25 -1.5 -> 8", "s HA 81 0.75 -> 27", "s HA 4 2.5 -> 32", "s HA 0.75 3 -> 0.421875", "s HA 0.8 0 -> 1"]),
    "SinCos": ("sine and cosine", ["inf -> nan nan !1", "0 -> 0 1", "-0 -> -0 1", "nan -> nan nan"]),
    "Ln": ("natural logarithm; for complex values ln|z| + i atan2(im, re), code 2 for a zero", [
        "sd 0 -> -inf !2", "sd -0 -> -inf !2", "sd -1 -> nan !1", "sd -inf -> nan !1", "sd inf -> inf",
        "sd nan -> nan", "s -2 -> nan !1", "d 0x1p-1074 -> ~-744.44007192138126", "sd 1 -> 0", "d 0x1p-1022 -> ~-708.39641853226408",
        "s 1e-45 -> ~-103.2789306640625", "cz 1,0 -> ~0,0", "cz 0,0 -> -inf,0 !2",
        # C99 Annex G: signed zeros, both sides of the cut, infinities and NaN parts
        "cz -0,0 -> -inf,* !2", "cz -0,-0 -> -inf,* !2", "cz 0,-0 -> -inf,-0 !2", "cz -1,0 -> ~0,3.141592653589793",
        "cz -1,-0 -> ~0,-3.141592653589793", "cz inf,1 -> inf,0", "cz inf,-1 -> inf,-0", "cz -inf,1 -> inf,*", "cz -inf,-1 -> inf,*",
        "cz 1,inf -> inf,*", "cz inf,inf -> inf,*", "cz -inf,inf -> inf,*", "cz inf,nan -> inf,nan",
        "cz nan,inf -> inf,nan", "cz 1,nan -> nan,nan", "cz nan,nan -> nan,nan",
        "z 1e308,1e308 -> ~709.542782232446,0.7853981633974483", "z 0x1p-1074,0 -> ~-744.4400719213812,0", "c 0x1p-149,0 -> ~-103.27892990343184,0"]),
    "Log10": ("base-10 logarithm; complex: principal branch (ln|z| + i arg z) / ln 10, C99 Annex G values of clog, no codes", [
        "sd 0 -> -inf !2", "sd -inf -> nan !1", "d 1e-300 -> ~-300", "d 1e22 -> ~22", "s 1e-10 -> ~-10",
        "sd -0 -> -inf !2", "sd nan -> nan",
        # just below 0.75, where e log10 2 and log10 m cancel to a third of their size
        "s 0x1.7ff4c2p-1 -> ~-0.12498840599303874", "cz 10,0 -> ~1,0",
        # complex: C99 Annex G values of clog, scaled; nothing is reported
        "cz 0,0 -> -inf,0", "z -0,0 -> -inf,1.3643763538418414", "c -0,0 -> -inf,1.3643763065338135", "z -0,-0 -> -inf,-1.3643763538418414", "c -0,-0 -> -inf,-1.3643763065338135",
        "z 1,inf -> inf,0.6821881769209207", "c 1,inf -> inf,0.6821881532669067", "z -1,-inf -> inf,-0.6821881769209207", "c -1,-inf -> inf,-0.6821881532669067",
        "z -inf,1 -> inf,1.3643763538418414", "c -inf,1 -> inf,1.3643763065338135", "z inf,inf -> inf,0.34109408846046035", "c inf,inf -> inf,0.34109407663345337",
        "z -inf,inf -> inf,1.0232822653813811", "c -inf,inf -> inf,1.0232822895050049",
        "cz inf,1 -> inf,0", "cz inf,nan -> inf,nan", "cz nan,-inf -> inf,nan",
        "cz 1,nan -> nan,nan", "cz nan,1 -> nan,nan", "cz 1,0 -> 0,0", "cz 1,-0 -> 0,-0",
        "cz 3,4 -> ~0.6989700043360189,0.40271919627337316",
        # near the unit circle |z|^2 - 1 is 2^-54.3: no digits lost to cancellation
        "z 0.6,0.8 -> ~9.643274665532871e-18,0.40271919627337316", "z 1e300,1e300 -> ~300.150514997832,0.34109408846046035",
        "z 1e-320,0 -> ~-320.000004834948,0"]),
    "Sin": ("sine; complex: -i sinh(iz), one vector kernel for every flavour, C99 Annex G values", ["sd inf -> nan !1", "sd -inf -> nan !1", "sd nan -> nan", "sd -0 -> -0",
                     "cz 0,0 -> ~0,0", "z 0,1000 -> *,inf !3", "c 0,100 -> *,inf !3",
                     # complex: -i sinh(iz) with the C99 Annex G values of csinh
                     "cz -0,0 -> -0,0", "cz 0,-0 -> 0,-0", "cz inf,0 -> nan,*", "cz 0,inf -> 0,inf",
                     "cz 0,nan -> 0,nan", "cz 1,inf -> inf,inf", "cz -1,inf -> -inf,inf", "cz nan,0 -> nan,*",
                     "cz nan,1 -> nan,nan", "cz nan,nan -> nan,nan", "cz 1,nan -> nan,nan",
                     "cz 1,1 -> ~1.2984575814159773,0.6349639147847361", "z 1,1000 -> inf,inf !3",
                     "c 1,100 -> inf,inf !3", "z 2,-800 -> inf,inf !3", "z 1e22,0 -> ~-0.8522008497671888,0"]),
    "Tan": ("tangent; complex: -i tanh(iz), +-i without overflow for large imaginary parts, no codes", ["sd inf -> nan !1", "sd nan -> nan", "sd -0 -> -0", "cz 0,0 -> ~0,0",
                     # complex: -i tanh(iz) with the C99 Annex G values of ctanh; nothing is reported
                     "cz -0,-0 -> -0,-0", "cz 0,inf -> 0,1", "cz 1,inf -> 0,1", "cz -1,-inf -> -0,-1",
                     "cz inf,0 -> nan,nan", "cz 0,nan -> 0,nan", "cz nan,1 -> nan,nan",
                     "cz 1,1 -> ~0.27175258531951174,1.0839233273386946",
                     # large imaginary parts: no overflow on the way to +-i
                     "cz 1,1000 -> 0,1", "cz -2,-1e30 -> 0,-1", "cz 2,-1e30 -> -0,-1", "z 1,-30 -> ~1.5924545408982667e-26,-1"]),
    "Acos": ("arc cosine", ["sd 1 -> 0", "d 1.0000001 -> nan !1", "sd -2 -> nan !1", "sd inf -> nan !1",
                            "sd -inf -> nan !1", "sd nan -> nan", "sd -1 -> ~3.141592653589793",
                            "sd 0 -> ~1.5707963267948966", "sd -0 -> ~1.5707963267948966",
                            "sd 0.5 -> ~1.0471975511965979", "sd -0.5 -> ~2.0943951023931957",
                            "s 1.00000012 -> nan !1", "d 0.9999999999999999 -> ~1.4901161193847656e-08",
                            "cz 0,0 -> ~1.5707963267948966,-0", "cz -0,-0 -> ~1.5707963267948966,0",
                            "cz 0,nan -> ~1.5707963267948966,nan", "cz 1,inf -> ~1.5707963267948966,-inf",
                            "cz 1,nan -> nan,nan", "cz -inf,1 -> ~3.141592653589793,-inf", "cz inf,-1 -> 0,inf",
                            "cz -inf,inf -> ~2.356194490192345,-inf", "cz inf,inf -> ~0.7853981633974483,-inf",
                            "cz inf,nan -> nan,*", "cz nan,1 -> nan,nan", "cz nan,inf -> nan,-inf",
                            "cz nan,nan -> nan,nan", "cz 2,0 -> 0,~-1.3169578969248166",
                            "cz 2,-0 -> 0,~1.3169578969248166",
                            "cz -2,0 -> ~3.141592653589793,~-1.3169578969248166"]),
    "Acosh": ("inverse hyperbolic cosine", ["sd 1 -> 0", "sd 0.5 -> nan !1", "sd -inf -> nan !1", "sd inf -> inf",
                                            "sd nan -> nan", "sd -0 -> nan !1", "sd -1 -> nan !1",
                                            "d 0x1.0000000000001p0 -> ~2.1073424255447017e-08",
                                            "d 1e300 -> ~691.46867507877365", "d 0x1.fffffffffffffp1023 -> ~710.47586007394394",
                                            "s 0x1.fffffep127 -> ~89.415986232628298",
                                            "cz 0,0 -> 0,~1.5707963267948966", "cz -0,-0 -> 0,~-1.5707963267948966",
                                            "cz 1,inf -> inf,~1.5707963267948966", "cz 0,nan -> nan,*",
                                            "cz 1,nan -> nan,nan", "cz -inf,1 -> inf,~3.141592653589793",
                                            "cz inf,1 -> inf,0", "cz inf,-1 -> inf,-0",
                                            "cz -inf,inf -> inf,~2.356194490192345",
                                            "cz inf,inf -> inf,~0.7853981633974483", "cz inf,nan -> inf,nan",
                                            "cz nan,1 -> nan,nan", "cz nan,inf -> inf,nan", "cz nan,nan -> nan,nan",
                                            "cz -2,0 -> ~1.3169578969248166,~3.141592653589793",
                                            "cz -2,-0 -> ~1.3169578969248166,~-3.141592653589793",
                                            "cz 0.5,0 -> 0,~1.0471975511965979", "cz 1,0 -> 0,0"]),
    "Asin": ("arc sine", ["sd -0 -> -0", "sd 0 -> 0", "sd 1.5 -> nan !1", "sd -1.5 -> nan !1", "sd -inf -> nan !1",
                          "sd inf -> nan !1", "sd nan -> nan", "sd 1 -> ~1.5707963267948966",
                          "sd -1 -> ~-1.5707963267948966", "sd 0.5 -> ~0.5235987755982989",
                          "d -1.0000000000000002 -> nan !1", "s 1.00000012 -> nan !1", "d 1e-300 -> 1e-300",
                          "d 0x1p-1074 -> 0x1p-1074", "s 0x1p-149 -> 0x1p-149", "d ftz 1e-310 -> 0",
                          "cz 0,0 -> 0,0", "cz -0,-0 -> -0,-0", "cz 2,0 -> ~1.5707963267948966,~1.3169578969248166",
                          "cz 2,-0 -> ~1.5707963267948966,~-1.3169578969248166", "cz inf,1 -> ~1.5707963267948966,inf",
                          "cz 1,inf -> 0,inf", "cz inf,inf -> ~0.7853981633974483,inf", "cz nan,inf -> nan,inf",
                          "cz 0,nan -> 0,nan", "cz nan,1 -> nan,nan", "cz inf,nan -> nan,*",
                          "cz nan,nan -> nan,nan"]),
    "Asinh": ("inverse hyperbolic sine", ["sd -0 -> -0", "sd inf -> inf", "sd -inf -> -inf", "sd nan -> nan",
                                          "sd 0 -> 0", "d 0x1p-1074 -> 0x1p-1074", "d -1e-300 -> -1e-300",
                                          "d 1e300 -> ~691.46867507877365", "d -0x1.fffffffffffffp1023 -> ~-710.47586007394394",
                                          "s 0x1.fffffep127 -> ~89.415986232628298", "s -0x1p-100 -> -0x1p-100",
                                          "cz 0,0 -> 0,0", "cz -0,-0 -> -0,-0", "cz 0,-0 -> 0,-0",
                                          "cz 1,inf -> inf,~1.5707963267948966",
                                          "cz -1,-inf -> -inf,~-1.5707963267948966", "cz 1,nan -> nan,nan",
                                          "cz inf,1 -> inf,0", "cz -inf,-1 -> -inf,-0",
                                          "cz inf,inf -> inf,~0.7853981633974483", "cz inf,nan -> inf,nan",
                                          "cz nan,0 -> nan,0", "cz nan,-0 -> nan,-0", "cz nan,1 -> nan,nan",
                                          "cz nan,inf -> *,nan", "cz nan,nan -> nan,nan",
                                          "cz 0,2 -> ~1.3169578969248166,~1.5707963267948966",
                                          "cz -0,2 -> ~-1.3169578969248166,~1.5707963267948966"]),
    "Atan": ("arc tangent", ["sd -0 -> -0", "sd 0 -> 0", "sd inf -> ~1.5707963267948966",
                             "sd -inf -> ~-1.5707963267948966", "sd nan -> nan", "sd 1 -> ~0.7853981633974483",
                             "sd -1 -> ~-0.7853981633974483", "d 1e300 -> ~1.5707963267948966",
                             "d 1e-300 -> 1e-300", "d 0x1p-1074 -> 0x1p-1074", "s 0x1p-149 -> 0x1p-149",
                             "d ftz 1e-310 -> 0", "cz 0,0 -> 0,0", "cz -0,-0 -> -0,-0", "cz nan,0 -> nan,0",
                             "cz 0,1 -> 0,inf", "cz inf,1 -> ~1.5707963267948966,0", "cz nan,inf -> nan,0",
                             "cz inf,nan -> ~1.5707963267948966,*", "cz inf,inf -> ~1.5707963267948966,0",
                             "cz nan,1 -> nan,nan", "cz nan,nan -> nan,nan",
                             "cz 0,2 -> ~1.5707963267948966,~0.5493061443340549",
                             "cz -0,2 -> ~-1.5707963267948966,~0.5493061443340549"]),
    "Atanh": ("inverse hyperbolic tangent", ["sd 1 -> inf !2", "sd -1 -> -inf !2", "sd 1.5 -> nan !1",
                                             "sd inf -> nan !1", "sd -0 -> -0", "sd nan -> nan", "sd -inf -> nan !1",
                                             "sd -1.5 -> nan !1", "sd 0 -> 0", "d 1e-300 -> 1e-300",
                                             "d 0x1.fffffffffffffp-1 -> ~18.714973875118523",
                                             "s 0x1.fffffep-1 -> ~8.664339742098155", "cz 0,0 -> 0,0",
                                             "cz -0,-0 -> -0,-0", "cz 0,nan -> 0,nan", "cz 1,0 -> inf,0",
                                             "cz -1,-0 -> -inf,-0", "cz 1,inf -> 0,~1.5707963267948966",
                                             "cz 1,nan -> nan,nan", "cz inf,1 -> 0,~1.5707963267948966",
                                             "cz inf,inf -> 0,~1.5707963267948966", "cz inf,nan -> 0,nan",
                                             "cz nan,1 -> nan,nan", "cz nan,inf -> *,~1.5707963267948966",
                                             "cz nan,nan -> nan,nan",
                                             "cz 2,0 -> ~0.5493061443340549,~1.5707963267948966",
                                             "cz 2,-0 -> ~0.5493061443340549,~-1.5707963267948966"]),
    "Cosh": ("hyperbolic cosine; complex: C99 Annex G values of ccosh", ["d 710.4 -> ~1.6663642832806496e308", "d 710.5 -> inf !3", "s 89.5 -> inf !3",
                                   "s 89 -> ~2.2448064095871728e38", "sd -inf -> inf", "sd 0 -> 1", "sd nan -> nan",
                                   "sd -0 -> 1", "d -710.5 -> inf !3", "sd inf -> inf",
                                   # the last finite result, the next argument, and the vector path's end
                                   "d -0x1.633ce8fb9f87dp9 -> ~1.7976931348621744e308", "d 0x1.633ce8fb9f87ep9 -> inf !3",
                                   "d 710.47 -> ~1.7871893267684049e308", "s 0x1.65a9f8p6 -> ~3.4028196375086208e38",
                                   "s -0x1.65a9fap6 -> inf !3", "s 89.375 -> ~3.2661740534292458e38",
                                   "cz 0,0 -> ~1,0", "z 1000,0 -> inf,* !3", "c 100,0 -> inf,* !3",
                                   # complex: the C99 Annex G values of ccosh
                                   "cz 0,inf -> nan,*", "cz 1,inf -> nan,nan", "cz inf,0 -> inf,0",
                                   "cz -inf,0 -> inf,-0", "cz inf,1 -> inf,inf", "cz -inf,1 -> inf,-inf",
                                   "cz inf,2 -> -inf,inf", "cz inf,inf -> *,nan", "cz inf,nan -> inf,nan",
                                   "cz nan,0 -> nan,*", "cz nan,1 -> nan,nan", "cz 0,nan -> nan,*",
                                   "cz 1,1 -> ~0.833730025131149,0.9888977057628651", "z 800,1 -> inf,inf !3",
                                   "c 95,-1 -> inf,-inf !3", "z 800,0 -> inf,0 !3"]),
    "Tanh": ("hyperbolic tangent; complex: Kahan's formula, +-1 without overflow for large real parts, tanh(x + i inf) = NaN + i NaN for every finite x (C99), no codes", ["sd -0 -> -0", "sd inf -> 1", "sd -inf -> -1", "sd 20 -> ~1", "sd nan -> nan",
                                    "sd 0 -> 0", "d 19.1 -> 1", "s -9.1 -> -1", "d 1e-300 -> 1e-300", "s 0x1p-100 -> 0x1p-100",
                                    "d 1e300 -> 1", "s -1e30 -> -1",
                                    "cz 0,0 -> ~0,0",
                                    # complex: the C99 Annex G values of ctanh; nothing is reported
                                    "cz -0,-0 -> -0,-0", "cz 1,inf -> nan,nan", "cz 1,nan -> nan,nan",
                                    "cz inf,1 -> 1,0", "cz inf,2 -> 1,-0", "cz -inf,1 -> -1,0", "cz inf,inf -> 1,*",
                                    "cz inf,nan -> 1,*", "cz nan,0 -> nan,0", "cz nan,-0 -> nan,-0", "cz nan,1 -> nan,nan",
                                    "cz 1,1 -> ~1.0839233273386946,0.27175258531951174",
                                    # large real parts: no overflow on the way to +-1
                                    "cz 1000,1 -> 1,0", "cz -1e30,2 -> -1,-0", "z 30,1 -> ~1,1.5924545408982667e-26"]),
    "Pow": ("x^y; complex: principal branch, z^0 = 1 for every z, integer exponents to 64 by products, else e^(w ln z), within 1 ulp per part where abs(w ln z) <= 64", [
        # the C99 cases: zeros
        "sd 0 3 -> 0", "sd -0 3 -> -0", "d -0 2 -> 0", "d -0 0.5 -> 0", "d -0 inf -> 0", "sd 0 -2 -> inf !1",
        "sd -0 -3 -> -inf !1", "d 0 -3 -> inf !1", "d -0 -0.5 -> inf !1", "d -0 -inf -> inf !1",
        # ones and zero exponents, NaN included
        "d 1 nan -> 1", "d 1 -inf -> 1", "sd nan 0 -> 1", "d -inf -0 -> 1", "sd -1 inf -> 1", "d -1 -inf -> 1",
        "d -1 0x1p60 -> 1", "d -1 3 -> -1", "d nan 1 -> nan", "d 2 nan -> nan",
        # infinite exponents
        "d 0.5 inf -> 0", "d -0.5 -inf -> inf", "d 2 inf -> inf", "d -2 -inf -> 0",
        # infinite bases
        "d -inf 3 -> -inf", "d -inf 2 -> inf", "d -inf 2.5 -> inf", "d -inf -3 -> -0", "d -inf -2 -> 0",
        "d inf -0.5 -> 0", "d inf 0.5 -> inf",
        # negative bases
        "sd -8 0.3333333333333333 -> nan !1", "sd -2 3 -> -8", "d -2 -2 -> 0.25", "d -3 0x1p53 -> inf !3",
        "d -2 -1075 -> -0", "d -1.5 0.5 -> nan !1", "s -3 0x1p25 -> inf !3",
        # range: overflow is reported, underflow is not
        "d 10 400 -> inf !3", "d 2 -1060 -> 0x1p-1060", "d 2 -1100 -> 0", "d 2 1023.5 -> ~0x1.6a09e667f3bcdp1023",
        "d 2 1024 -> inf !3", "d 0x1p-1074 0.5 -> 0x1p-537", "d 10 -2 -> ~0.01", "d 9 0.5 -> ~3",
        "s 10 40 -> inf !3", "s 2 -140 -> sub", "s 2 -151 -> 0", "s 2 127 -> 0x1p127",
        # float range edges: results from 2^126 up to the largest float and down to the smallest
        # normal stay finite and normal; one step beyond overflows or is subnormal
        "s 2 127.5 -> ~0x1.6a09e667f3bcdp127", "s 0x1.fffffep127 1 -> 0x1.fffffep127",
        "s 0x1.fffffep127 1.00000012 -> inf !3", "s 0.5 -128 -> inf !3", "s 2 -125.5 -> ~0x1.6a09e667f3bcdp-126",
        "s 4 -63 -> 0x1p-126", "s 4 -63.25 -> sub", "s 2 -149 -> 0x1p-149", "s 0x1p-100 1.5 -> 0",
        # large exponents: the logarithm's low parts carry y log x near the range ends
        "s 0.96875 2733.102294921875 -> ~2.0663697204620358e-38", "s 0x1.000002p0 0x1p29 -> ~6.2351252956527244e27",
        "s 0x1.fffffep-1 -0x1p30 -> ~6.235160973426506e27",
        "sd ftz 1e-310 1 -> 0", "d ftz -1e-310 -1 -> -inf !1", "d ftz 2 1e-310 -> 1", "s ftz 1e-40 2 -> 0",
        "s ftz -1e-40 -3 -> -inf !1",
        # where x^y is representable, HA returns it exactly
        "sd HA 3 5 -> 243", "sd HA 7 8 -> 5764801", "sd HA 1.5 4 -> 5.0625", "sd HA 10 7 -> 1e7", "sd HA 0.5 24 -> 0x1p-24",
        "sd HA 9 0.5 -> 3", "sd HA 16 0.25 -> 2", "sd HA 0.25 -1.5 -> 8", "sd HA 81 0.75 -> 27", "sd HA 4 2.5 -> 32", "sd HA 0.75 3 -> 0.421875", "sd HA 0.8 0 -> 1",
        "d HA 3 33 -> 5559060566555523", "d HA 10 22 -> 1e22", "d HA 0.5 1074 -> 0x1p-1074",
        "cz 2,0 3,0 -> ~8,0", "cz 1,0 5,5 -> ~1,0",
        # complex: z^0 = 1; real positive bases and real exponents stay real, integer exponents to 64
        # are exact where the products are; the rest is e^(w ln z). Code 3 for an overflow only.
        "cz nan,nan 0,0 -> 1,0", "cz inf,0 0,-0 -> 1,0", "cz 0,0 -2.5,0 -> inf,* !3", "cz 0,0 2,0 -> 0,0",
        "cz 0,0 0.5,1 -> 0,0", "cz 0,0 -1,1 -> inf,nan !3", "cz -2,0 3,0 -> -8,0", "cz 1,1 2,0 -> 0,2",
        "cz 0,1 0,1 -> ~0.2078795763507619,0", "cz 2,0 0.5,0 -> ~1.4142135623730951,0",
        "cz -8,0 0.3333333333333333,0 -> ~1,1.7320508075688772", "cz 1,2 3,-1 -> ~-27.43638199160605,19.7893103650107",
        "cz 2,-0 -3,0 -> 0.125,-0", "cz nan,0 2,0 -> nan,nan", "cz 2,0 nan,0 -> nan,nan",
        "z 10,0 400,0 -> inf,0 !3", "c 10,0 40,0 -> inf,0 !3", "z 1e300,1e300 2,0 -> 0,inf !3",
        "z 10,0 -400,0 -> 0,0"]),
    "Cos": ("cosine; complex: cosh(iz), C99 Annex G values", ["sd inf -> nan !1", "sd nan -> nan", "sd 0 -> 1", "cz 0,0 -> ~1,0", "z 0,1000 -> inf,* !3",
                   # complex: cosh(iz) with the C99 Annex G values of ccosh
                   "cz 0,inf -> inf,-0", "cz 0,-inf -> inf,0", "cz inf,0 -> nan,*", "cz 1,inf -> inf,-inf",
                   "cz nan,0 -> nan,*", "cz nan,1 -> nan,nan", "cz 1,nan -> nan,nan",
                   "cz 1,1 -> ~0.833730025131149,-0.9888977057628651", "z 1,1000 -> inf,-inf !3", "c 1,-95 -> inf,inf !3"]),
    "Sinh": ("hyperbolic sine; complex: C99 Annex G values of csinh", ["d 710.5 -> inf !3", "d -710.5 -> -inf !3", "s 89.5 -> inf !3", "sd -0 -> -0",
                                 "sd inf -> inf", "sd nan -> nan", "sd 0 -> 0", "sd -inf -> -inf", "d 1e-300 -> 1e-300",
                                 "s -0x1p-100 -> -0x1p-100", "d 1e300 -> inf !3", "s -1e30 -> -inf !3",
                                 # the last finite result, the next argument, and the vector path's end
                                 "d -0x1.633ce8fb9f87dp9 -> ~-1.7976931348621744e308", "d 0x1.633ce8fb9f87ep9 -> inf !3",
                                 "d 710.47 -> ~1.7871893267684049e308", "s 0x1.65a9f8p6 -> ~3.4028196375086208e38",
                                 "s -0x1.65a9fap6 -> -inf !3", "s -89.375 -> ~-3.2661740534292458e38", "cz 0,0 -> ~0,0", "z 1000,0 -> inf,* !3",
                                 # complex: the C99 Annex G values of csinh
                                 "cz -0,0 -> -0,0", "cz 0,-0 -> 0,-0", "cz 0,inf -> *,nan", "cz 0,nan -> *,nan",
                                 "cz 1,inf -> nan,nan", "cz 1,nan -> nan,nan", "cz inf,0 -> inf,0",
                                 "cz -inf,-0 -> -inf,-0", "cz inf,1 -> inf,inf", "cz inf,2 -> -inf,inf",
                                 "cz -inf,1 -> -inf,inf", "cz inf,inf -> *,nan", "cz inf,nan -> *,nan",
                                 "cz nan,0 -> nan,0", "cz nan,-0 -> nan,-0", "cz nan,1 -> nan,nan",
                                 "cz nan,nan -> nan,nan", "cz 1,1 -> ~0.6349639147847361,1.2984575814159773",
                                 "z 800,1 -> inf,inf !3", "c 100,1 -> inf,inf !3", "z -800,0 -> -inf,0 !3"]),
    "Div": ("a / b; for complex values code 2 for b = 0 beside a finite a, 3 where a part overflows, 1 for NaN parts of non-NaN operands, none from the EP kernel", [
        "sd 1 0 -> inf !2", "sd 0 0 -> nan !2", "sd -1 0 -> -inf !2", "sd 1 -0 -> -inf !2", "sd 6 3 -> ~2",
        "sd inf 2 -> inf", "cz 4,2 2,0 -> ~2,1",
        # C99 Annex G: division by zero, infinite and NaN parts; overflow and division by zero are
        # reported by LA and HA
        "cz HA 1,0 0,0 -> inf,nan !2", "cz LA 1,1 0,0 -> inf,inf !2", "cz HA 0,0 -0,0 -> nan,nan !2",
        "cz EP 1,1 0,0 -> inf,inf", "cz inf,0 1,1 -> inf,-inf", "cz 1,1 inf,0 -> 0,0", "cz 1,1 nan,0 -> nan,nan",
        "cz nan,1 1,1 -> nan,nan", "z HA 1e308,0 1e-10,0 -> inf,0 !3", "c LA 3e38,0 1e-10,0 -> inf,0 !3",
        "z EP 1e308,0 1e-10,0 -> inf,0", "z 0x1p1023,0x1p1023 0x1p1023,0x1p1023 -> ~1,0",
        "z 1e-300,1e-300 1e300,1e300 -> 0,0", "z HA 3,0 0x1p-1074,0 -> inf,0 !3"]),
    "Add": ("a + b", ["sd 1 2 -> 3", "sd inf -inf -> nan", "d 1e308 1e308 -> inf", "sd -0 -0 -> -0",
                      "cz 1,2 3,4 -> 4,6", "cz -0,-0 -0,-0 -> -0,-0"]),
    "Sub": ("a - b", ["sd 1 2 -> -1", "sd inf inf -> nan", "sd -0 0 -> -0", "cz 1,2 3,4 -> -2,-2"]),
    "Mul": ("a times b", ["sd -2 3 -> -6", "sd inf 0 -> nan", "sd -0 3 -> -0", "cz 1,2 3,4 -> ~-5,10",
                      # an infinite operand times a non-zero finite one is an infinity (C99 Annex G)
                      "cz 0,0.5 inf,inf -> -inf,inf", "cz inf,nan 2,0 -> inf,nan", "cz 0,0 inf,0 -> nan,nan",
                      "z 1e308,0 10,0 -> inf,0 !3"]),
    "Powx": ("x^b with one exponent b for every element; complex: as Pow", [
        "sd -0 -3 -> -inf !1", "sd -8 0.3333333333333333 -> nan !1", "sd -2 3 -> -8", "sd -1 inf -> 1",
        "d 10 400 -> inf !3", "d 2 -1060 -> 0x1p-1060", "sd nan 0 -> 1", "s 0 -2 -> inf !1", "s 3 2 -> ~9",
        "d ftz -1e-310 3 -> -0", "s ftz 1e-40 -0.5 -> inf !1", "cz 2,0 2,0 -> ~4,0",
        # complex: as Pow
        "cz 0,0 -2.5,0 -> inf,* !3", "cz nan,nan 0,0 -> 1,0", "cz -2,0 3,0 -> -8,0", "cz 1,1 2,0 -> 0,2",
        "cz 0,1 0,1 -> ~0.2078795763507619,0", "z 10,0 400,0 -> inf,0 !3", "c 10,0 40,0 -> inf,0 !3",
        # where x^y is representable, HA returns it exactly
        "s HA 3 5 -> 243", "s HA 7 8 -> 5764801", "s HA 1.5 4 -> 5.0625", "s HA 10 7 -> 1e7", "s HA 0.5 24 -> 0x1p-24", "s HA 9 0.5 -> 3",
        "s HA 16 0.25 -> 2", "s HA 0.25 -1.5 -> 8", "s HA 81 0.75 -> 27", "s HA 4 2.5 -> 32", "s HA 0.75 3 -> 0.421875", "s HA 0.8 0 -> 1"]),
    "Conj": ("complex conjugate", ["1,2 -> 1,-2", "0,0 -> 0,-0", "inf,nan -> inf,nan"]),
    "CIS": ("cos x + i sin x; NaN parts with code 1 for an infinite x", ["0 -> 1,0", "-0 -> 1,-0", "inf -> nan,nan !1", "-inf -> nan,nan !1", "nan -> nan,nan",
                              "z 1e22 -> ~0.523214785395139,-0.8522008497671888", "c 1e30 -> ~-0.6116047854178966,-0.7911634385219837"]),
    "Arg": ("argument of a complex value, atan2(im, re), without codes", ["1,0 -> 0", "-1,0 -> ~3.141592653589793", "0,1 -> ~1.5707963267948966",
                                          # atan2 of the parts, C99 Annex G
                                          "-1,-0 -> ~-3.141592653589793", "-0,0 -> ~3.141592653589793", "-0,-0 -> ~-3.141592653589793", "0,-0 -> -0",
                                          "-inf,inf -> ~2.356194490192345", "inf,-inf -> ~-0.7853981633974483", "nan,1 -> nan", "1,nan -> nan",
                                          "z 1,1e-320 -> 1e-320", "c 1,0x1p-140 -> 0x1p-140"]),
    "MulByConj": ("a times the conjugate of b", ["1,2 3,4 -> ~11,2", "0,0 1,1 -> ~0,0", "0,0.5 inf,-inf -> -inf,inf",
                                              "z 1e308,1e308 10,0 -> inf,inf !3"]),
}
