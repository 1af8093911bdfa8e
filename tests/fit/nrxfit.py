"""ctypes access to the data fitting kernels of libnrx_zar_avx512.so, for the
oracle tests and the benchmark."""
import ctypes as C
import os

import numpy as np

P = C.c_void_p
I64 = C.c_int64
I32 = C.c_int32

KERNELS = {  # spline kind -> (construction kernel, order, type)
    "linear": ("DFLinearSpline1D", 2, 0),
    "quadratic": ("DFQuadraticSpline1D", 3, 0),
    "quadratic_knots": ("DFQuadraticSpline1D", 3, 1),
    "natural": ("DFNaturalCubicSpline1D", 4, 2),
    "default": ("DFDefaultCubicSpline1D", 4, 0),
    "hermite": ("DFHermiteCubicSpline1D", 4, 3),
    "bessel": ("DFBesselCubicSpline1D", 4, 4),
    "akima": ("DFAkimaCubicSpline1D", 4, 5),
    "hyman": ("DFHymanCubicSpline1D", 4, 9),
}
BC = {"not-a-knot": 1, "free": 2, "clamped": 12, "1st-2nd": 36, "2nd-1st": 24, "2nd": 48, "periodic": 64,
      "none": 0, "midpoint": 128}


class Lib:
    def __init__(self, libdir):
        self.core = C.CDLL(os.path.join(libdir, "libnrx_core.so"), mode=C.RTLD_GLOBAL)
        self.lib = C.CDLL(os.path.join(libdir, "libnrx_zar_avx512.so"))
        self.threading = {
            "openmp": C.addressof(C.c_char.in_dll(self.core, "nrx_threading_openmp")),
            "serial": C.addressof(C.c_char.in_dll(self.core, "nrx_threading_serial")),
        }
        for t in "ds":
            self.fn(t + "NewTask1D", [P, I64, P, I64, I64, P, I64, I32])
            self.fn(t + "EditPPSpline1D", [P, I64, I64, I64, P, I64, P, P, I64])
            for k, _, _ in KERNELS.values():
                self.fn(t + k, [P, I64, I64, P])
            self.fn(t + "DFSearch1D", [P, I64, I64, P, I64, P, P, P, P, P])
            self.fn(t + "DFInterpolate1D", [P, I64, I64, I64, P, I64, I64, P, P, P, I64, P] + [P] * 8 + [P])
            self.fn(t + "DFIntegrate1D", [P, I64, I64, P, I64, P, I64, P, P, P, I64] + [P] * 8 + [P])
        self.fn("DeleteTask", [P])

    def fn(self, name, args):
        f = getattr(self.lib, "nrx_df_kernel_" + name)
        f.argtypes = args
        f.restype = I32
        setattr(self, name, f)


def ptr(a):
    return None if a is None else a.ctypes.data_as(P)


class Spline:
    """A task with its coefficient block; keeps the arrays it points at alive."""

    def __init__(self, lib, x, y, kind="natural", bc="free", bcv=None, ic_type=0, ic=None, xhint=1,
                 dtype=np.float64, threading="openmp", build=True, yhint=0):
        self.lib, self.t = lib, "d" if dtype == np.float64 else "s"
        self.dtype = dtype
        self.x = np.ascontiguousarray(x, dtype)
        self.y = np.ascontiguousarray(np.atleast_2d(y), dtype)
        self.ny, self.nx = self.y.shape
        if yhint == 32:  # column storage: y[j*ny + i]
            self.y = np.ascontiguousarray(self.y.T)
        self.kernel, self.order, self.type = KERNELS[kind]
        self.bcv = None if bcv is None else np.ascontiguousarray(bcv, dtype)
        self.ic = None if ic is None else np.ascontiguousarray(ic, dtype)
        npieces = self.nx if self.type == 1 and self.order == 3 else self.nx - 1
        self.coeff = np.empty((self.ny, npieces * self.order), dtype)
        self.th = lib.threading[threading]
        self.task = P()
        g = getattr(lib, self.t + "NewTask1D")
        st = g(C.byref(self.task), self.nx, ptr(self.x), xhint, self.ny, ptr(self.y), yhint, 0)
        assert st == 0, st
        st = getattr(lib, self.t + "EditPPSpline1D")(self.task, self.order, self.type, BC.get(bc, bc),
                                                      ptr(self.bcv), ic_type, ptr(self.ic), ptr(self.coeff), 0)
        assert st == 0, st
        self.status = self.construct() if build else None

    def construct(self):
        return getattr(self.lib, self.t + self.kernel)(self.task, 0, 0, self.th)

    def __del__(self):
        if getattr(self, "task", None):
            self.lib.DeleteTask(C.byref(self.task))

    def interpolate(self, sites, ders=(0,), sitehint=0, rhint=16, cells=False, datahint=None, nsite=None):
        s = np.ascontiguousarray(sites, self.dtype)
        n = len(s) if nsite is None else nsite  # nsite with sitehint 4: s holds the two ends
        flags = np.zeros(max(ders) + 1, np.int32)
        flags[list(ders)] = 1
        r = np.empty(self.ny * n * len(ders), self.dtype)
        cell = np.zeros(n, np.int32) if cells else None
        dh = None if datahint is None else np.ascontiguousarray(datahint, self.dtype)
        st = getattr(self.lib, self.t + "DFInterpolate1D")(self.task, 3 if cells else 1, 0, n, ptr(s), sitehint,
                                                            len(flags), ptr(flags), ptr(dh), ptr(r), rhint,
                                                            ptr(cell), *([None] * 8), self.th)
        return st, r, cell

    def search(self, sites, sitehint=0, datahint=None):
        s = np.ascontiguousarray(sites, self.dtype)
        cell = np.zeros(len(s), np.int32)
        dh = None if datahint is None else np.ascontiguousarray(datahint, self.dtype)
        st = getattr(self.lib, self.t + "DFSearch1D")(self.task, 0, len(s), ptr(s), sitehint, ptr(dh), ptr(cell),
                                                       None, None, self.th)
        return st, cell

    def integrate(self, a, b, rhint=0, hint=0):
        a = np.ascontiguousarray(a, self.dtype)
        b = np.ascontiguousarray(b, self.dtype)
        r = np.zeros(len(a) * self.ny, self.dtype)
        st = getattr(self.lib, self.t + "DFIntegrate1D")(self.task, 0, len(a), ptr(a), hint, ptr(b), hint, None,
                                                          None, ptr(r), rhint, *([None] * 8), self.th)
        return st, r
