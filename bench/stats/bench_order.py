"""Quantiles and sorting of 10^6 observations x 10 variables (double and float), both layouts:
nrx (serial and OpenMP threading tables) beside numpy.quantile ("linear") and numpy.sort in one run.

    python3 bench/stats/bench_order.py [LIBDIR]      (LIBDIR defaults to build/lib)
"""
import os
import sys
import time

import numpy as np

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "tests", "stats"))
sys.path.insert(0, os.path.dirname(__file__))
from nrx_stats_ctypes import COLUMNS, FAST, ROWS, Lib, Task  # noqa: E402
from bench_basic import N, P, best  # noqa: E402

ORDERS = [0.01, 0.1, 0.25, 0.5, 0.75, 0.9, 0.99]
EST_Q, RADIX = 0x10000, 0x100000


def main():
    lib = Lib(sys.argv[1] if len(sys.argv) > 1 else None)
    base = np.random.default_rng(2).normal(size=(P, N)) + 1e3
    print("%-8s %-8s %-10s %-18s %10s %8s" % ("dtype", "layout", "estimate", "implementation", "ms", "ratio"))
    for dtype in (np.float64, np.float32):
        for layout, name in ((ROWS, "rows"), (COLUMNS, "columns")):
            xr = base.astype(dtype)
            x = xr if layout == ROWS else np.ascontiguousarray(xr.T)
            ax = 1 if layout == ROWS else 0
            t = Task(lib, x, layout=layout)
            count = np.array([len(ORDERS)], np.int32)
            orders = np.array(ORDERS, dtype)
            q = np.zeros(P * len(ORDERS), dtype)
            out = np.zeros(P * N, dtype)
            storage = np.array([layout], np.int32)
            t.edit_int(24, count)
            t.edit(25, orders)
            t.edit(26, q)
            t.edit(78, out)
            t.edit_int(79, storage)
            for est, call, ref in (
                    ("quantiles", lambda th: t.call("Quantiles", EST_Q, FAST, th),
                     lambda: np.quantile(x, ORDERS, axis=ax, method="linear")),
                    ("sort", lambda th: t.call("Sort", 0, RADIX, th), lambda: np.sort(x, axis=ax))):
                ref_ms = best(ref) * 1e3
                for th in ("serial", "openmp"):
                    assert call(th) == 0
                    ms = best(lambda: call(th)) * 1e3
                    print("%-8s %-8s %-10s %-18s %10.2f %7.2fx" % (np.dtype(dtype).name, name, est, "nrx " + th,
                                                                   ms, ref_ms / ms))
                print("%-8s %-8s %-10s %-18s %10.2f %8s" % (np.dtype(dtype).name, name, est, "numpy", ref_ms, ""))


if __name__ == "__main__":
    main()
