#!/usr/bin/python3
"""Speed of the Python package, in one run: the call overhead at n = 1, the package
beside the C call at n = 10^6, and the random laws, statistics and splines beside numpy
and scipy. Prints a markdown table; times are the best of several repeats
(time.perf_counter).

    PYTHONPATH=build/python /usr/bin/python3 bench/python/bench_python.py [--build build]
"""
import argparse
import ctypes as C
import os
import time

import numpy as np
import scipy.interpolate
import scipy.stats

import nrx


def best(fn, repeat=7, number=1):
    times = []
    for _ in range(repeat):
        t = time.perf_counter()
        for _ in range(number):
            fn()
        times.append((time.perf_counter() - t) / number)
    return min(times)


def row(name, ours, theirs, other):
    ratio = "%.2f" % (theirs / ours) if theirs else ""
    print("| %s | %s | %s | %s | %s |" % (name, fmt(ours), fmt(theirs) if theirs else "", other, ratio))


def fmt(t):
    return "%.3f us" % (t * 1e6) if t < 1e-3 else "%.3f ms" % (t * 1e3)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", default=os.environ.get("NRX_BUILD_DIR", "build"))
    args = ap.parse_args()
    C.CDLL(os.path.join(args.build, "lib", "libnrx_core.so"), mode=C.RTLD_GLOBAL)
    lib = C.CDLL(os.path.join(args.build, "lib", "libnrx_zar_avx512.so"))
    p = lambda a: a.ctypes.data_as(C.c_void_p)  # noqa: E731

    print("## Call overhead (n = 1)\n")
    print("| call | time per call |")
    print("|---|---|")
    one, out1 = np.ones(1), np.empty(1)
    for label, fn in (("nrx.vm.exp(x)", lambda: nrx.vm.exp(one)),
                      ("nrx.vm.exp(x, out=o)", lambda: nrx.vm.exp(one, out=out1)),
                      ("nrx.vm.exp(x, out=o, accuracy='la')", lambda: nrx.vm.exp(one, out=out1, accuracy="la")),
                      ("nrx.vm.add(x, y, out=o)", lambda: nrx.vm.add(one, one, out=out1)),
                      ("numpy.exp(x, out=o) (for scale)", lambda: np.exp(one, out=out1))):
        print("| %s | %s |" % (label, fmt(best(fn, repeat=5, number=20000))))

    print("\n## n = 10^6 beside the C call (ctypes, contiguous)\n")
    print("| function | package | C call | | C / package |")
    print("|---|---|---|---|---|")
    n = 10**6
    x = np.random.default_rng(1).uniform(0.1, 10.0, n)
    y = np.random.default_rng(2).uniform(0.1, 10.0, n)
    o = np.empty(n)
    for name, cname, args in (("exp", "zardExp", (x,)), ("ln", "zardLn", (x,)), ("sin", "zardSin", (x,)),
                              ("pow", "zardPow", (x, y)), ("sqrt", "zardSqrt", (x,))):
        f = getattr(nrx.vm, name)
        cf = getattr(lib, cname)
        ours = best(lambda: f(*args, out=o))
        theirs = best(lambda: cf(C.c_int32(n), *[p(a) for a in args], p(o)))
        row("vm." + name + " (HA)", ours, theirs, "")
    xs = x[::2].copy()

    o2 = np.empty(n)[::2]
    ours = best(lambda: nrx.vm.exp(x[::2], out=o2))
    theirs = best(lambda: lib.zardExpI(C.c_int32(n // 2), p(x), C.c_int32(2), p(o2), C.c_int32(2)))
    row("vm.exp strided 2", ours, theirs, "")
    del xs

    print("\n## Random laws, statistics and splines beside numpy and scipy\n")
    print("| task | nrx | numpy / scipy | which | numpy / nrx |")
    print("|---|---|---|---|---|")
    s = nrx.random.Stream("mcg59", seed=1)
    g = np.random.default_rng(1)
    buf = np.empty(n)
    row("uniform 10^6 (mcg59)", best(lambda: s.uniform(out=buf)), best(lambda: g.random(out=buf)),
        "Generator(PCG64).random")
    s2 = nrx.random.Stream("mrg32k3a", seed=1)
    row("uniform 10^6 (mrg32k3a)", best(lambda: s2.uniform(out=buf)), best(lambda: g.random(out=buf)),
        "Generator(PCG64).random")
    for label, ours, theirs, which in (
            ("gaussian 10^6 (box_muller2)", lambda: s.gaussian(out=buf), lambda: g.standard_normal(out=buf),
             "Generator.standard_normal"),
            ("gaussian 10^6 (icdf)", lambda: s.gaussian(method="icdf", out=buf), lambda: g.standard_normal(out=buf),
             "Generator.standard_normal"),
            ("exponential 10^6", lambda: s.exponential(out=buf), lambda: g.standard_exponential(out=buf),
             "Generator.standard_exponential"),
            ("gamma(2.5) 10^6", lambda: s.gamma(2.5, out=buf), lambda: g.standard_gamma(2.5, out=buf),
             "Generator.standard_gamma"),
            ("beta(2, 5) 10^6", lambda: s.beta(2.0, 5.0, out=buf), lambda: g.beta(2.0, 5.0, size=n),
             "Generator.beta")):
        row(label, best(ours), best(theirs), which)
    ibuf = np.empty(n, np.int32)
    for label, ours, theirs, which in (
            ("integers [0, 100) 10^6", lambda: s.integers(0, 100, out=ibuf),
             lambda: g.integers(0, 100, size=n, dtype=np.int32), "Generator.integers"),
            ("binomial(20, 0.3) 10^6", lambda: s.binomial(20, 0.3, out=ibuf), lambda: g.binomial(20, 0.3, size=n),
             "Generator.binomial"),
            ("binomial(1000, 0.4) 10^6", lambda: s.binomial(1000, 0.4, out=ibuf),
             lambda: g.binomial(1000, 0.4, size=n), "Generator.binomial"),
            ("poisson(3.5) 10^6", lambda: s.poisson(3.5, out=ibuf), lambda: g.poisson(3.5, size=n),
             "Generator.poisson"),
            ("poisson(60) 10^6", lambda: s.poisson(60.0, out=ibuf), lambda: g.poisson(60.0, size=n),
             "Generator.poisson"),
            ("geometric(0.2) 10^6", lambda: s.geometric(0.2, out=ibuf), lambda: g.geometric(0.2, size=n),
             "Generator.geometric")):
        row(label, best(ours), best(theirs), which)
    data = np.random.default_rng(3).normal(size=(10**5, 8))
    qs = [0.05, 0.25, 0.5, 0.75, 0.95]
    row("quantile x5 (10^5 x 8)", best(lambda: nrx.stats.quantile(data, qs)),
        best(lambda: np.quantile(data, qs, axis=0)), "numpy.quantile")
    row("median (10^5 x 8)", best(lambda: nrx.stats.median(data)), best(lambda: np.median(data, axis=0)),
        "numpy.median")
    row("mean (10^5 x 8)", best(lambda: nrx.stats.mean(data)), best(lambda: data.mean(0)), "ndarray.mean")
    row("cov (10^5 x 8)", best(lambda: nrx.stats.cov(data)), best(lambda: np.cov(data.T)), "numpy.cov")
    row("corr (10^5 x 8)", best(lambda: nrx.stats.corr(data)), best(lambda: np.corrcoef(data.T)), "numpy.corrcoef")
    row("describe (10^5 x 8)", best(lambda: nrx.stats.describe(data)), best(lambda: scipy.stats.describe(data)),
        "scipy.stats.describe")
    kx = np.sort(np.random.default_rng(4).uniform(0, 100, 1000))
    ky = np.sin(kx)
    sites = np.random.default_rng(5).uniform(0, 100, n)
    row("natural cubic, build (1000 points)", best(lambda: nrx.fit.Spline(kx, ky)),
        best(lambda: scipy.interpolate.CubicSpline(kx, ky, bc_type="natural")), "CubicSpline")
    sp, ref = nrx.fit.Spline(kx, ky), scipy.interpolate.CubicSpline(kx, ky, bc_type="natural")
    row("natural cubic, 10^6 sites", best(lambda: sp(sites)), best(lambda: ref(sites)), "CubicSpline.__call__")
    ssorted = np.sort(sites)
    row("natural cubic, 10^6 sorted sites", best(lambda: sp(ssorted)), best(lambda: ref(ssorted)),
        "CubicSpline.__call__")
    row("linear, 10^6 sites", best(lambda: nrx.fit.Spline(kx, ky, kind="linear")(sites)),
        best(lambda: np.interp(sites, kx, ky)), "numpy.interp")
    a = np.random.default_rng(6).uniform(0, 100, 1000)
    row("integrate, 1000 intervals", best(lambda: sp.integrate(a, a + 1.0)),
        best(lambda: [ref.integrate(u, u + 1.0) for u in a], repeat=3), "CubicSpline.integrate (loop)")
    print("\nClock: time.perf_counter, best of 7 repeats (call overhead: 5 x 20000 calls).")


if __name__ == "__main__":
    main()
