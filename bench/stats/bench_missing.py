"""Missing values at n = 10^5 x p = 10 (double, rows layout, 10% of the entries deleted at random):
drudSSMissingValues beside a numpy expectation-maximisation loop (the observations of one missing
pattern handled together, the same number of iterations) in the same run.

    python3 bench/stats/bench_missing.py [LIBDIR]
"""
import os
import sys

import numpy as np

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "tests", "stats"))
import missing_oracle_test as M  # noqa: E402
from nrx_stats_ctypes import Lib  # noqa: E402
sys.path.insert(0, os.path.dirname(__file__))
import bench_basic  # noqa: E402

N, P, EM_ITERATIONS = 100_000, 10, 20


def best(f):
    """The basic benchmark's timer (a warm-up run, then the best of 3)."""
    bench_basic.REPEAT = 3
    return bench_basic.best(f)


def main():
    M.LIB = Lib(sys.argv[1] if len(sys.argv) > 1 else None)
    M.bind()
    pr = M.Problem(n=N, p=P, rate=0.1, seed=5)
    k = int(pr.miss.sum())
    x = np.where(pr.miss, np.nan, pr.full)
    print("clock: time.perf_counter, best of 3 after a warm-up; ratio = numpy time / nrx time")
    print("n x p = %d x %d, %d missing entries in %d patterns" % (N, P, k, len(np.unique(pr.miss, axis=0))))
    ref = best(lambda: M.em_oracle(x, pr.miss, iters=EM_ITERATIONS, tol=0.0))
    print("%-34s %10.1f ms" % ("numpy EM x%d" % EM_ITERATIONS, ref * 1e3))
    # Accuracy 1e-300: every EM iteration runs; one augmentation step of one set on top.
    for name, prm in (("nrx EM x%d + 1 augmentation" % EM_ITERATIONS, [EM_ITERATIONS, 1, 1e-300, 1, k]),
                      ("nrx EM x%d + 5 sets x 30 augm." % EM_ITERATIONS, [EM_ITERATIONS, 30, 1e-300, 5, k])):
        run = M.Run(pr.x, prm)
        assert run.call() == 0
        t = best(lambda: run.call())
        print("%-34s %10.1f ms %7.2fx" % (name, t * 1e3, ref / t))


if __name__ == "__main__":
    main()
