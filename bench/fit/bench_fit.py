"""Natural cubic spline and cell search beside scipy and numpy, in one run.

Usage: bench_fit.py LIBDIR [--repeat N]
Times are the best of N runs, in milliseconds.
"""
import argparse
import os
import sys

import numpy as np
from scipy.interpolate import CubicSpline

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "fit"))
from nrxfit import Lib, Spline  # noqa: E402
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir))
from best import best_of  # noqa: E402


def best(fn, repeat):
    return 1e3 * best_of(fn, repeat)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("libdir")
    ap.add_argument("--repeat", type=int, default=5)
    ap.add_argument("--nx", type=int, default=100_000)
    ap.add_argument("--nsite", type=int, default=1_000_000)
    a = ap.parse_args()
    lib = Lib(a.libdir)
    rng = np.random.default_rng(7)
    x = np.sort(rng.uniform(0, 1000, a.nx))
    y = np.sin(x / 7) + 0.1 * rng.standard_normal(a.nx)
    sites = rng.uniform(x[0], x[-1], a.nsite)
    sorted_sites = np.sort(sites)
    rows = []

    def ours_spline(s, hint, th):
        sp = Spline(lib, x, y, "natural", "free", threading=th)
        assert sp.status == 0
        st, r, _ = sp.interpolate(s, sitehint=hint)
        assert st == 0
        return r

    def scipy_spline(s):
        return CubicSpline(x, y, bc_type="natural")(s)

    # Agreement first.
    err = np.max(np.abs(ours_spline(sites, 0, "openmp") - scipy_spline(sites)))
    assert err < 1e-9, err
    for label, s, hint in [("unsorted", sites, 0), ("sorted", sorted_sites, 64)]:
        ref = best(lambda: scipy_spline(s), a.repeat)
        for th in ("openmp", "serial"):
            ours = best(lambda: ours_spline(s, hint, th), a.repeat)
            rows.append((f"natural cubic build+eval, {label} sites, {th}", ref, ours, "scipy CubicSpline"))
    build_ref = best(lambda: CubicSpline(x, y, bc_type="natural"), a.repeat)
    sp = Spline(lib, x, y, "natural", "free", build=False)
    rows.append(("natural cubic build only, openmp", build_ref, best(sp.construct, a.repeat), "scipy CubicSpline"))

    task = Spline(lib, x, y, "natural", "free", build=False)
    for label, s, hint in [("unsorted", sites, 0), ("sorted", sorted_sites, 64)]:
        want = np.searchsorted(x, s, side="right")
        st, got = task.search(s, sitehint=hint)
        assert st == 0 and np.array_equal(got, want)
        ref = best(lambda: np.searchsorted(x, s, side="right"), a.repeat)
        for th in ("openmp", "serial"):
            task.th = lib.threading[th]
            rows.append((f"cell search, {label} sites, {th}", ref, best(lambda: task.search(s, sitehint=hint), a.repeat),
                         "numpy searchsorted"))
        task.th = lib.threading["openmp"]

    print(f"nx = {a.nx}, sites = {a.nsite}, best of {a.repeat}, threads available = {os.cpu_count()}")
    print(f"{'case':58s} {'reference':>11s} {'nrx':>9s} {'speed-up':>9s}  reference")
    for name, ref, ours, what in rows:
        print(f"{name:58s} {ref:9.2f}ms {ours:7.2f}ms {ref / ours:8.1f}x  {what}")


if __name__ == "__main__":
    main()
