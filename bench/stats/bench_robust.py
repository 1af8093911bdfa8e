"""Robust covariance, BACON outlier detection, pooled covariance and Mahalanobis distances at
n = 10^5 x p = 10 and n = 10^6 x p = 20 (double, rows layout, 20% planted outliers): nrx with the
serial and OpenMP threading tables beside numpy's building blocks in the same run (numpy.cov plus
numpy.linalg.inv and the distances; a numpy reweighting loop of the same number of passes).

    python3 bench/stats/bench_robust.py [LIBDIR] [--small]
"""
import ctypes as C
import os
import sys
import numpy as np

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "tests", "stats"))
import robust_oracle_test as R  # noqa: E402
sys.path.insert(0, os.path.dirname(__file__))
import bench_basic  # noqa: E402
from nrx_stats_ctypes import ROWS, Lib  # noqa: E402

SIZES = [(100_000, 10), (1_000_000, 20)]


def best(f, repeat):
    """The basic benchmark's timer (a warm-up run, then the best of `repeat`)."""
    bench_basic.REPEAT = repeat
    return bench_basic.best(f)


def numpy_cov_inv_dist(x):
    mu = x.mean(axis=1)
    s = np.linalg.inv(np.cov(x))
    d = x - mu[:, None]
    return np.sqrt(np.einsum("in,ij,jn->n", d, s, d, optimize=True))


def numpy_reweighting(x, passes):
    """The work of one reweighting estimate: each pass a weighted mean and covariance, inverse, distances."""
    w = np.ones(x.shape[1])
    for _ in range(passes):
        mu = x @ w / w.sum()
        d = x - mu[:, None]
        s = np.linalg.inv((d * w) @ d.T / w.sum())
        dist = np.sqrt(np.einsum("in,ij,jn->n", d, s, d, optimize=True))
        u = np.clip(dist / (1.5 * np.median(dist)), 0, 1)
        w = (1 - u * u) ** 2 + 1e-12
    return mu


def main():
    args = [a for a in sys.argv[1:] if not a.startswith("--")]
    sizes = SIZES[:1] if "--small" in sys.argv else SIZES
    R.LIB = Lib(args[0] if args else None)
    R.bind()
    lib = R.LIB.lib
    print("clock: time.perf_counter, best of runs; ratio = numpy time / nrx time")
    print("%-14s %-22s %-16s %10s %8s" % ("n x p", "routine", "implementation", "ms", "ratio"))
    for n, p in sizes:
        repeat = 3 if n <= 100_000 else 1
        x, bad, _, _ = R.contaminated(p, n, 0.2, seed=1)
        task, data = R.make_task(x, np.float64, ROWS)
        keep = dict(rm=np.zeros(p), rc=np.zeros(p * p), code=np.array([0], np.int32), ow=np.zeros(n),
                    groups=(np.arange(n) % 5).astype(np.int32), pm=np.zeros(p), pc=np.zeros(p * p),
                    req=np.ones(5, np.int32), gm=np.zeros(5 * p), gc=np.zeros(5 * p * p))
        for pid, k in ((39, "rm"), (40, "rc"), (43, "ow"), (30, "pm"), (31, "pc"), (33, "gm"), (35, "gc")):
            task.edit(pid, keep[k])
        for pid, k in ((36, "code"), (28, "groups"), (29, "code"), (32, "req"), (34, "code")):
            task.edit_int(pid, keep[k])
        th = R.LIB.threading
        xs = [x[:, keep["groups"] == g] for g in range(5)]
        rows = [
            ("robust cov", lambda t: lib.drudSSRobustCovariance(task.handle, 0, 0x8, th[t]),
             "numpy reweight x20", lambda: numpy_reweighting(x, 20)),
            ("BACON", lambda t: lib.drudSSOutliersDetection(task.handle, 0, 0x20, th[t]),
             "numpy cov+inv x6", lambda: [numpy_cov_inv_dist(x) for _ in range(6)]),
            ("pooled cov", lambda t: lib.drudSSPooledCovariance(task.handle, 0x4000 | 0x8000, 0x2, th[t]),
             "numpy cov/group", lambda: [np.cov(g) for g in xs]),
        ]
        for name, call, ref_name, ref in rows:
            ref_ms = best(ref, repeat) * 1e3
            for t in ("serial", "openmp"):
                assert call(t) == 0, name
                ms = best(lambda: call(t), repeat) * 1e3
                print("%-14s %-22s %-16s %10.1f %7.2fx" % ("%d x %d" % (n, p), name, "nrx " + t, ms, ref_ms / ms))
            print("%-14s %-22s %-16s %10.1f" % ("%d x %d" % (n, p), name, ref_name, ref_ms))
        # Mahalanobis distances of all observations beside numpy.cov + inv + einsum.
        mean, inv = x.mean(axis=1), np.asfortranarray(np.linalg.inv(np.cov(x)))
        dist, ints = np.zeros(n), np.array([0, n], np.int32)
        words = (C.c_void_p * 8).from_address(task.handle.value + 640)

        def mah():
            words[0], words[1], words[2], words[3], words[4] = (ints.ctypes.data, ints.ctypes.data + 4,
                                                                 mean.ctypes.data, inv.ctypes.data, dist.ctypes.data)
            st = lib.drudSSMahDistance(task.handle)
            for i in range(5):
                words[i] = None
            assert st == 0
        ms = best(mah, repeat) * 1e3
        ref_ms = best(lambda: numpy_cov_inv_dist(x), repeat) * 1e3
        print("%-14s %-22s %-16s %10.1f %7.2fx" % ("%d x %d" % (n, p), "Mahalanobis", "nrx (serial)", ms,
                                                   ref_ms / ms))
        print("%-14s %-22s %-16s %10.1f" % ("%d x %d" % (n, p), "Mahalanobis", "numpy cov+inv+dist", ref_ms))


if __name__ == "__main__":
    main()
