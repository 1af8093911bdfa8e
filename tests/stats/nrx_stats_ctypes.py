"""ctypes binding of the summary statistics task for the oracle tests and the benchmark."""
import ctypes as C
import os

import numpy as np

EST = dict(mean=0x1, r2=0x2, r3=0x4, r4=0x8, c2=0x10, c3=0x20, c4=0x40, kurtosis=0x80, skewness=0x100,
           variation=0x200, minimum=0x400, maximum=0x800, cov=0x1000, cor=0x2000, s1=0x2000000, s2=0x4000000,
           s3=0x8000000, s4=0x10000000, cs2=0x20000000, cs3=0x40000000, cs4=0x80000000, cp=0x100000000)
# Edit ids of the vector results and the matrices.
PARAM = dict(data=3, layout=4, indices=5, weights=6, mean=7, r2=8, r3=9, r4=10, c2=11, c3=12, c4=13, kurtosis=14,
             skewness=15, minimum=16, maximum=17, variation=18, cov=19, cov_storage=20, cor=21, cor_storage=22,
             accw=23, s1=67, s2=68, s3=69, s4=70, cs2=71, cs3=72, cs4=73, cp=74, cp_storage=75, observations=2)
VECTORS = ["mean", "r2", "r3", "r4", "c2", "c3", "c4", "kurtosis", "skewness", "variation", "minimum", "maximum",
           "s1", "s2", "s3", "s4", "cs2", "cs3", "cs4"]
MATRICES = ["cov", "cor", "cp"]
FAST, ONE_PASS, GIVEN_MEAN, CP_TO_COV, SUMS_TO_MOMENTS = 0x1, 0x2, 0x100, 0x200, 0x400
ROWS, COLUMNS = 0x10000, 0x20000


def library_dir():
    return os.environ.get("NRX_LIB_DIR", os.path.join(os.path.dirname(__file__), "..", "..", "build", "lib"))


class Lib:
    def __init__(self, libdir=None):
        libdir = libdir or library_dir()
        self.core = C.CDLL(os.path.join(libdir, "libnrx_core.so"), mode=C.RTLD_GLOBAL)
        self.lib = C.CDLL(os.path.join(libdir, "libnrx_zar_avx512.so"))
        self.threading = {name: C.addressof(C.c_char.in_dll(self.core, "nrx_threading_" + name))
                          for name in ("serial", "openmp")}
        for t in "ds":
            f = getattr(self.lib, "_dru%sSSNewTask" % t)
            f.argtypes = [C.POINTER(C.c_void_p)] + [C.c_void_p] * 6 + [C.c_int32]
            f = getattr(self.lib, "_dru%sSSEditTask" % t)
            f.argtypes = [C.c_void_p, C.c_int64, C.c_void_p]
            for name in ("Basic", "Minmax", "Quantiles", "Sort", "MAD", "StreamQuantiles"):
                f = getattr(self.lib, "dru%sSS%s" % (t, name))
                f.argtypes = [C.c_void_p, C.c_uint64, C.c_uint64, C.c_void_p]
            getattr(self.lib, "dru%sSSWMedian" % t).argtypes = [C.c_void_p]
            real = C.c_double if t == "d" else C.c_float
            getattr(self.lib, "_dru%sQSort" % t).argtypes = [C.c_int32, C.c_void_p]
            getattr(self.lib, "_dru%sQSortStep" % t).argtypes = [C.c_int32, C.c_void_p, C.c_int32]
            f = getattr(self.lib, "_dru%sQSortSelect" % t)
            f.argtypes = [C.c_int32, C.c_void_p, C.c_int32]
            f.restype = real
        self.lib._druiSSEditTask.argtypes = [C.c_void_p, C.c_int64, C.c_void_p]
        self.lib._druSQuantilesFreeBuffers.argtypes = [C.c_void_p]
        self.lib._druSQuantilesFreeBuffers.restype = None
        self.lib._druSSDeleteTask.argtypes = [C.POINTER(C.c_void_p)]


class Task:
    """A task over `x` (rows layout: shape (p, n); columns layout: shape (n, p)). Result arrays are
    allocated for every estimate and kept in self.out; matrices in full storage unless told."""

    def __init__(self, lib, x, layout=ROWS, weights=None, indices=None, accumulate=False, storage=0):
        self.L, self.x = lib, x
        self.dtype = x.dtype
        self.t = "d" if x.dtype == np.float64 else "s"
        p, n = x.shape if layout == ROWS else x.shape[::-1]
        self.p, self.n = p, n
        self.ints = {k: np.array([v], dtype=np.int32) for k, v in
                     dict(p=p, n=n, layout=layout, storage=storage).items()}
        self.weights = weights
        self.indices = None if indices is None else np.asarray(indices, dtype=np.int32)
        self.handle = C.c_void_p()
        st = getattr(lib.lib, "_dru%sSSNewTask" % self.t)(
            C.byref(self.handle), self.ints["p"].ctypes.data, self.ints["n"].ctypes.data,
            self.ints["layout"].ctypes.data, x.ctypes.data, None if weights is None else weights.ctypes.data,
            None if self.indices is None else self.indices.ctypes.data, 0)
        assert st == 0, st
        self.out = {}
        size = {0: p * p, 1: p * (p + 1) // 2, 2: p * (p + 1) // 2}[storage & 3 if storage != 3 else 2]
        for name in VECTORS:
            self.out[name] = np.zeros(p, dtype=self.dtype)
            self.edit(PARAM[name], self.out[name])
        for name in MATRICES:
            self.out[name] = np.zeros(size, dtype=self.dtype)
            self.edit(PARAM[name], self.out[name])
            self.edit_int(PARAM[name + "_storage"], self.ints["storage"])
        if accumulate:
            self.accw = np.zeros(2, dtype=self.dtype)
            self.edit(PARAM["accw"], self.accw)

    def edit(self, pid, arr):
        return getattr(self.L.lib, "_dru%sSSEditTask" % self.t)(self.handle, pid, arr.ctypes.data)

    def edit_int(self, pid, arr):
        return self.L.lib._druiSSEditTask(self.handle, pid, arr.ctypes.data)

    def set_block(self, x, weights=None):
        """Points the task at another block of observations (same layout and p)."""
        self.x = x
        self.ints["n"][0] = x.shape[1] if self.ints["layout"][0] == ROWS else x.shape[0]
        self.edit(PARAM["data"], x)
        if weights is not None:
            self.weights = weights
            self.edit(PARAM["weights"], weights)

    def basic(self, estimates, method=ONE_PASS, threading="serial"):
        mask = 0
        for e in estimates:
            mask |= EST[e]
        return getattr(self.L.lib, "dru%sSSBasic" % self.t)(self.handle, mask, method,
                                                            self.L.threading[threading])

    def minmax(self, method=FAST):
        return getattr(self.L.lib, "dru%sSSMinmax" % self.t)(self.handle, EST["minimum"] | EST["maximum"], method,
                                                             self.L.threading["serial"])

    def call(self, routine, estimates=0, method=0, threading="serial"):
        """One of the compute routines by name (Quantiles, Sort, MAD) with raw masks."""
        return getattr(self.L.lib, "dru%sSS%s" % (self.t, routine))(self.handle, estimates, method,
                                                                    self.L.threading[threading])

    def matrix(self, name):
        """Full p x p view of a matrix result in any storage."""
        p, a, st = self.p, self.out[name], self.ints["storage"][0]
        if st & 3 == 0:
            return a.reshape(p, p)
        m = np.zeros((p, p), dtype=a.dtype)
        for i in range(p):
            for j in range(i, p):
                k = i + j * (j + 1) // 2 if not st & 2 else i * p - i * (i - 1) // 2 + (j - i)
                m[i, j] = m[j, i] = a[k]
        return m

    def __del__(self):
        if getattr(self, "handle", None) and self.handle.value:
            self.L.lib._druSSDeleteTask(C.byref(self.handle))
