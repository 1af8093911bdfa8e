"""Mean, variance and covariance of 10^6 observations x 10 variables (double), both layouts:
nrx (serial and OpenMP threading tables) beside numpy in one run.

    python3 bench/stats/bench_basic.py [LIBDIR]      (LIBDIR defaults to build/lib)
"""
import os
import sys

import numpy as np

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "tests", "stats"))
from nrx_stats_ctypes import COLUMNS, FAST, GIVEN_MEAN, ONE_PASS, ROWS, Lib, Task  # noqa: E402
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir))
from best import best_of  # noqa: E402

N, P, REPEAT = 1_000_000, 10, 7


def best(f):
    return best_of(f, REPEAT)


def main():
    lib = Lib(sys.argv[1] if len(sys.argv) > 1 else None)
    rng = np.random.default_rng(1)
    base = rng.normal(size=(P, N)) + 1e3
    gb = base.nbytes / 1e9
    dst = np.empty_like(base)
    copy = best(lambda: np.copyto(dst, base))
    flat = best(lambda: np.add.reduce(base, axis=None))
    print("data %.0f MB; numpy copy %.1f GB/s (read + write), numpy sum of all values %.1f GB/s (read)"
          % (base.nbytes / 1e6, 2 * gb / copy, gb / flat))
    print("%-8s %-10s %-22s %10s %8s" % ("layout", "estimate", "implementation", "ms", "GB/s"))
    for layout, name in ((ROWS, "rows"), (COLUMNS, "columns")):
        x = base if layout == ROWS else np.ascontiguousarray(base.T)
        ax = 1 if layout == ROWS else 0
        cases = [
            ("mean", ["mean"], FAST, lambda: np.mean(x, axis=ax)),
            ("variance", ["c2"], ONE_PASS, lambda: np.var(x, axis=ax, ddof=1)),
            ("variance", ["c2"], FAST, None),
            ("variance", ["c2"], GIVEN_MEAN, None),
            ("cov", ["cov"], ONE_PASS, lambda: np.cov(x, rowvar=layout == ROWS)),
        ]
        for est, names, method, ref in cases:
            mname = {FAST: "fast", ONE_PASS: "one-pass", GIVEN_MEAN: "given-mean"}[method]
            for th in ("serial", "openmp"):
                t = Task(lib, x, layout=layout)
                tm = best(lambda: t.basic(names, method, th))
                print("%-8s %-10s %-22s %10.2f %8.1f" % (name, est, "nrx %s %s" % (mname, th), tm * 1e3, gb / tm))
            if ref is not None:
                tm = best(ref)
                print("%-8s %-10s %-22s %10.2f %8.1f" % (name, est, "numpy", tm * 1e3, gb / tm))


if __name__ == "__main__":
    main()
