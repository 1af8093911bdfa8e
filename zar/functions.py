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
  kernel  family file in zar/kernels/ that holds the vector kernel (one for all types,
          or per type letter), or None while the function is served by the interim
          kernel (zar/kernels/interim.h). The rows without a kernel are the one list
          of interim kernels; README.md carries the same list, made by tools/zar_gen.py.
  oracle  key of the reference computation used by the accuracy tool (None: exact
          functions checked bit for bit by their own tests)
  domain  (lo, hi) sampling interval of the first argument for accuracy sweeps
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


# Vector kernels of the real types (s, d) only, by function: their complex tables stay interim.
REAL_KERNEL = {name: {"s": fam, "d": fam} for name, fam in (
    ("Expm1", "exp"), ("Log1p", "log"), ("Log2", "log"), ("Log10", "log"),
    ("Sqrt", "root"), ("InvSqrt", "root"), ("Hypot", "root"), ("Pow3o2", "root"),
    ("Cbrt", "root"), ("InvCbrt", "root"), ("Pow2o3", "root"), ("Pow", "pow"), ("Powr", "pow"), ("Powx", "pow"),
    ("Sin", "trig"), ("Cos", "trig"), ("SinCos", "trig"), ("Tan", "trig"), ("Sinpi", "trig"), ("Cospi", "trig"))}

ARITH_C = {"s": "arith", "d": "arith", "c": "complex", "z": "complex"}


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
    add("LGamma", "v1", *sd("1", 42.697, 98.808), oracle="lgamma", domain=(-50.0, 100.0), poles=True, sleef="lgamma_u10")
    add("TGamma", "v1", *sd("1", 21.5, 44.0), oracle="tgamma", domain=(-30.0, 30.0), poles=True, sleef="tgamma_u10")
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
        kernel={"s": "arith", "d": "arith"}, exact={"s": True, "d": True}, oracle="cabs", domain=(-1e30, 1e30), sleef="fabs")
    add("Inv", "v1", *sd("lh", (0.45, 0.45, 0.3), (1.1, 1.1, 0.62)), kernel="arith", poles=True)
    add("ExpInt1", "v1", *sd("lh", (9.5, 9.5, 6.0), (22.0, 22.0, 14.0)), oracle="eint1", domain=(1e-3, 50.0), poles=True)
    add("Sqrt", "v1", {"s": "3", "d": "3", "c": "le", "z": "le"},
        {"s": (0.459, 0.539, 0.337), "d": (1.35, 1.55, 0.9), "c": (3.9, 5.2, 3.9), "z": (8.5, 11.0, 8.5)},
        kernel=REAL_KERNEL["Sqrt"], oracle="sqrt", domain=(0.0, 1e30), sleef="sqrt")
    add("Exp", "v1", {"s": "3", "d": "3", "c": "le", "z": "le"},
        {"s": (0.635, 0.724, 0.576), "d": (1.702, 1.875, 1.184), "c": (4.6, 6.1, 4.6), "z": (10.612, 1103.0, 10.612)},
        kernel={"s": "exp", "d": "exp"}, oracle="exp", domain=(-80.0, 80.0), sleef="exp")

    three = [  # (name, s (LA,HA,EP), d (LA,HA,EP), oracle, domain, sleef, poles)
        ("InvSqrt", (0.4, 0.52, 0.3), (1.2, 1.6, 0.8), "rec_sqrt", (0.0, 1e30), None, True),
        ("Cbrt", (0.9, 1.1, 0.7), (2.2, 2.7, 1.6), "cbrt", (-1e30, 1e30), "cbrt", False),
        ("InvCbrt", (0.95, 1.15, 0.75), (2.3, 2.8, 1.7), "rec_cbrt", (-1e30, 1e30), None, True),
        ("Erf", (0.9, 1.1, 0.7), (2.6, 3.2, 1.9), "erf", (-6.0, 6.0), "erf", False),
        ("Erfc", (1.1, 1.4, 0.85), (3.1, 3.8, 2.3), "erfc", (-6.0, 27.0), "erfc", False),
        ("ErfInv", (1.4, 1.7, 1.0), (4.0, 5.0, 3.0), "erfinv", (-1.0, 1.0), None, True),
        ("ErfcInv", (1.8, 2.2, 1.3), (4.8, 6.0, 3.6), "erfcinv", (0.0, 2.0), None, True),
        ("CdfNorm", (1.0, 1.3, 0.8), (3.0, 3.7, 2.2), "cdfnorm", (-38.0, 9.0), None, False),
        ("CdfNormInv", (1.6, 2.0, 1.2), (4.5, 5.5, 3.4), "cdfnorminv", (0.0, 1.0), None, True),
        ("Expm1", (0.8, 1.0, 0.65), (2.1, 2.5, 1.5), "expm1", (-20.0, 80.0), "expm1", False),
        ("Log1p", (0.85, 1.1, 0.7), (2.2, 2.7, 1.6), "log1p", (-1.0, 1e10), "log1p", True),
        ("Log2", (0.72, 1.0, 0.62), (1.9, 2.3, 1.4), "log2", (0.0, 1e30), "log2", True),
        ("Pow3o2", (1.1, 1.4, 0.9), (2.8, 3.4, 2.1), "pow3o2", (0.0, 1e20), None, False),
        ("Pow2o3", (1.0, 1.3, 0.85), (2.7, 3.3, 2.0), "pow2o3", (-1e30, 1e30), None, False),
        ("Sinpi", (0.9, 1.1, 0.7), (2.0, 2.6, 1.5), "sinpi", (-1e4, 1e4), "sinpi", False),
        ("Cospi", (0.9, 1.1, 0.7), (2.0, 2.6, 1.5), "cospi", (-1e4, 1e4), "cospi", False),
        ("Tanpi", (1.3, 1.6, 1.0), (3.0, 3.8, 2.3), "tanpi", (-1e4, 1e4), None, True),
        ("Acospi", (1.0, 1.3, 0.8), (2.6, 3.2, 2.0), "acospi", (-1.0, 1.0), None, False),
        ("Asinpi", (1.0, 1.3, 0.8), (2.6, 3.2, 2.0), "asinpi", (-1.0, 1.0), None, False),
        ("Atanpi", (1.0, 1.3, 0.8), (2.6, 3.2, 2.0), "atanpi", (-1e6, 1e6), None, False),
        ("Sind", (1.1, 1.4, 0.9), (2.4, 3.0, 1.8), "sind", (-1e5, 1e5), None, False),
        ("Cosd", (1.1, 1.4, 0.9), (2.4, 3.0, 1.8), "cosd", (-1e5, 1e5), None, False),
        ("Tand", (1.5, 1.9, 1.2), (3.4, 4.2, 2.6), "tand", (-1e5, 1e5), None, True),
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
        kernel={"s": "log", "d": "log"}, oracle="log", domain=(0.0, 1e30), sleef="log", poles=True)

    three_c1 = [  # s and d three kernels, c and z one
        ("Log10", (0.75, 1.05, 0.65), (1.95, 2.35, 1.45), 60.0, 110.0, "log10", (0.0, 1e30), "log10", True),
        ("Sin", (0.8, 1.9, 0.65), (1.897, 4.183, 1.586), 70.0, 140.0, "sin", (-1e4, 1e4), "sin", False),
        ("Tan", (1.2, 2.4, 1.0), (3.0, 5.5, 2.4), 90.0, 180.0, "tan", (-1e4, 1e4), "tan", False),
        ("Acos", (0.9, 1.2, 0.75), (2.3, 2.9, 1.8), 110.0, 220.0, "acos", (-1.0, 1.0), "acos", False),
        ("Acosh", (1.0, 1.3, 0.8), (2.6, 3.2, 2.0), 110.0, 220.0, "acosh", (1.0, 1e30), "acosh", False),
        ("Asin", (0.9, 1.2, 0.75), (2.3, 2.9, 1.8), 110.0, 220.0, "asin", (-1.0, 1.0), "asin", False),
        ("Asinh", (1.0, 1.3, 0.8), (2.6, 3.2, 2.0), 110.0, 220.0, "asinh", (-1e30, 1e30), "asinh", False),
        ("Atan", (0.85, 1.1, 0.7), (2.2, 2.8, 1.7), 100.0, 200.0, "atan", (-1e6, 1e6), "atan", False),
        ("Atanh", (1.0, 1.3, 0.8), (2.6, 3.2, 2.0), 100.0, 200.0, "atanh", (-1.0, 1.0), "atanh", True),
        ("Cosh", (0.9, 1.1, 0.7), (2.2, 2.6, 1.6), 75.0, 150.0, "cosh", (-80.0, 80.0), "cosh", False),
        ("Tanh", (0.9, 1.1, 0.7), (2.3, 2.8, 1.7), 80.0, 160.0, "tanh", (-20.0, 20.0), "tanh", False),
        ("Pow", (2.8, 3.4, 1.8), (7.192, 8.208, 4.28), 160.0, 320.0, "pow", (0.0, 100.0), "pow", True),
    ]
    for name, cs, cd, cc, cz, oracle, dom, sl, poles in three_c1:
        add(name, "v2" if name == "Pow" else "v1", {"s": "3", "d": "3", "c": "1", "z": "1"},
            {"s": cs, "d": cd, "c": cc, "z": cz}, kernel=REAL_KERNEL.get(name), oracle=oracle, domain=dom,
            sleef=sl, poles=poles)
    add("Cos", "v1", {"s": "3", "d": "le", "c": "1", "z": "1"},
        {"s": (0.8, 1.9, 0.65), "d": (1.9, 4.2, 1.9), "c": 70.0, "z": 140.0}, kernel=REAL_KERNEL["Cos"],
        oracle="cos", domain=(-1e4, 1e4), sleef="cos")
    add("Sinh", "v1", {"s": "3", "d": "le", "c": "1", "z": "1"},
        {"s": (0.9, 1.1, 0.7), "d": (2.2, 2.6, 2.2), "c": 75.0, "z": 150.0},
        oracle="sinh", domain=(-80.0, 80.0), sleef="sinh")
    add("Div", "v2", {"s": "3", "d": "3", "c": "lh", "z": "lh"},
        {"s": (0.35, 0.42, 0.3), "d": (0.9, 1.0, 0.8), "c": (3.2, 3.2, 1.6), "z": (7.0, 7.0, 3.5)},
        kernel={"s": "arith", "d": "arith"}, oracle="div", poles=True)
    for name in ("Add", "Sub"):
        add(name, "v2", {"s": "1", "d": "1", "c": "lh", "z": "lh"},
            {"s": 0.2, "d": 0.4, "c": (1.963, 1.963, 0.308), "z": (3.9, 3.9, 0.62)}, kernel=ARITH_C, exact=True)
    add("Mul", "v2", {"s": "1", "d": "1", "c": "lh", "z": "lh"},
        {"s": 0.2, "d": 0.4, "c": (2.2, 2.2, 0.6), "z": (4.4, 4.4, 1.2)}, kernel=ARITH_C,
        exact={"s": True, "d": True}, oracle="mul")
    add("Powx", "vs", {"s": "lh", "d": "3", "c": "1", "z": "1"},
        {"s": (2.4, 2.4, 1.5), "d": (6.5, 7.5, 3.9), "c": 150.0, "z": 300.0}, kernel=REAL_KERNEL["Powx"],
        oracle="pow", domain=(0.0, 100.0), poles=True)
    add("Conj", "v1", {"c": "1", "z": "1"}, {"c": 0.4, "z": 0.8}, kernel="complex", exact=True)
    add("CIS", "r2c", {"c": "3", "z": "3"}, {"c": (2.0, 3.0, 1.6), "z": (4.6, 9.0, 3.6)},
        oracle="cis", domain=(-1e4, 1e4))
    add("Arg", "c2r", {"c": "3", "z": "3"}, {"c": (1.8, 2.2, 1.4), "z": (4.0, 4.8, 3.2)},
        oracle="arg", domain=(-1e6, 1e6))
    add("MulByConj", "v2", {"c": "lh", "z": "lh"}, {"c": (2.2, 2.2, 0.6), "z": (4.4, 4.4, 1.2)},
        kernel="complex", oracle="mulbyconj")
    return R


def pack_rows():
    """Pack and unpack: one kernel for every flavour, no strided twin."""
    return [F(n, n[0].lower() + n[1:], {t: "1" for t in TYPES}, {t: 0.3 for t in TYPES},
              kernel=None, exact=True)
            for n in ("PackI", "PackM", "PackV", "UnpackI", "UnpackM", "UnpackV")]


# Service entry points exported beside the generated names.
SERVICE = [
    "GetMode", "SetMode", "GetErrStatus", "SetErrStatus", "ClearErrStatus",
    "GetErrorCallBack", "SetErrorCallBack", "ClearErrorCallBack", "SetInterfInputVectorPointer",
]
EXTRA_EXPORTS = ["nrx_zar_kernel_GetTTableIndex", "nrx_zar_kernel_GetTTableIndexM", "dll_cpu_version"]
