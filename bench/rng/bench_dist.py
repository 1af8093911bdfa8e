#!/usr/bin/env python3
"""ns per variate of every law and method at n = 10^6 (continuous and integer), beside
numpy's Generator for the same law, in one run: the library's fastest generator (by its
double output) against the faster of numpy's PCG64 and SFC64, and MT19937 against
Generator(MT19937). Best of REPS calls each, wall clock (time.perf_counter).
Writes the markdown table to OUT (default: print only).

Usage: bench_dist.py LIBRARY [OUT]"""
import ctypes as C
import datetime
import os
import platform
import re
import sys

import numpy as np
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir))
from best import best_of  # noqa: E402

lib = C.CDLL(sys.argv[1])
OUT = sys.argv[2] if len(sys.argv) > 2 else None
N = 1_000_000
REPS = 5
D, I = C.c_double, C.c_int32
HERE = os.path.dirname(os.path.abspath(__file__))


def best(fn):
    return best_of(fn, REPS) / N * 1e9


def generators():
    """(label, identifier) of each ready generator with all outputs, from the list in rng.h."""
    hdr = open(os.path.join(HERE, "..", "..", "include", "nrx", "rng.h")).read()
    body = hdr[hdr.index("#define NRX_BRNG_LIST(X)"):]
    body = body[:body.index("\n\n")].replace("\\\n", " ")
    out = []
    for m in re.finditer(r"X\(([^()]*)\)", body):
        f = [x.strip() for x in m.group(1).split(",")]
        if f[11] == "READY" and f[12] == "ALL":
            out.append((f[13].strip('"'), int(f[2], 16)))
    return out


def stream(brng):
    s = C.c_void_p()
    assert lib._druNewStreamEx(C.byref(s), brng, 1, (C.c_uint32 * 1)(12345)) == 0
    return s


buf = np.zeros(N)
ptr = buf.ctypes.data_as(C.c_void_p)
ibuf = np.zeros(N, dtype=np.int32)
iptr = ibuf.ctypes.data_as(C.c_void_p)
DIM = 4
L = np.array([[2.0, 0, 0, 0], [0.5, 1.0, 0, 0], [-0.3, 0.2, 0.7, 0], [0.1, -0.4, 0.3, 1.2]])
MEAN = np.zeros(DIM)
COV = L @ L.T
T_FULL = np.ascontiguousarray(L)
T_PACKED = np.concatenate([L[j:, j] for j in range(DIM)])
T_DIAG = np.diag(L).copy()


def mv(storage, t):
    return lambda m, s: lib.drudRngGaussianMV(m, s, N // DIM, ptr, DIM, storage, MEAN.ctypes.data_as(C.c_void_p),
                                              t.ctypes.data_as(C.c_void_p))


def law(name, *params):
    f = getattr(lib, "drudRng" + name)
    args = [I(p) if isinstance(p, int) else D(p) for p in params]
    return lambda m, s: f(m, s, N, ptr, *args)


def ilaw(name, *params):
    f = getattr(lib, "druiRng" + name)
    args = [I(p) if isinstance(p, int) else D(p) for p in params]
    return lambda m, s: f(m, s, N, iptr, *args)


LAMBDAS = np.tile([0.5, 10.0, 1000.0], N // 3 + 1)[:N]
MULTI_P = np.array([0.1, 0.2, 0.3, 0.25, 0.15])
K = len(MULTI_P)


def multinomial(m, s):
    return lib.druiRngMultinomial(m, s, N // K, iptr, 100, K, MULTI_P.ctypes.data_as(C.c_void_p))


# (law, method, nrx call, numpy call on a Generator)
ROWS = [
    ("Gaussian", 0, law("Gaussian", 0.0, 1.0), lambda g: g.normal(0.0, 1.0, N)),
    ("Gaussian", 1, law("Gaussian", 0.0, 1.0), lambda g: g.normal(0.0, 1.0, N)),
    ("Gaussian", 2, law("Gaussian", 0.0, 1.0), lambda g: g.normal(0.0, 1.0, N)),
    ("Lognormal", 0, law("Lognormal", 0.0, 1.0, 0.0, 1.0), lambda g: g.lognormal(0.0, 1.0, N)),
    ("Lognormal", 1, law("Lognormal", 0.0, 1.0, 0.0, 1.0), lambda g: g.lognormal(0.0, 1.0, N)),
    ("GaussianMV full", 1, mv(0, T_FULL), lambda g: g.multivariate_normal(MEAN, COV, N // DIM)),
    ("GaussianMV packed", 1, mv(1, T_PACKED), lambda g: g.multivariate_normal(MEAN, COV, N // DIM)),
    ("GaussianMV diagonal", 1, mv(2, T_DIAG), lambda g: g.multivariate_normal(MEAN, np.diag(T_DIAG ** 2), N // DIM)),
    ("Exponential", 0, law("Exponential", 0.0, 1.0), lambda g: g.exponential(1.0, N)),
    ("Rayleigh", 0, law("Rayleigh", 0.0, 1.0), lambda g: g.rayleigh(1.0, N)),
    ("Weibull", 0, law("Weibull", 1.7, 0.0, 1.0), lambda g: g.weibull(1.7, N)),
    ("Gumbel", 0, law("Gumbel", 0.0, 1.0), lambda g: g.gumbel(0.0, 1.0, N)),
    ("Laplace", 0, law("Laplace", 0.0, 1.0), lambda g: g.laplace(0.0, 1.0, N)),
    ("Cauchy", 0, law("Cauchy", 0.0, 1.0), lambda g: g.standard_cauchy(N)),
    ("Gamma 2.5", 0, law("Gamma", 2.5, 0.0, 1.0), lambda g: g.gamma(2.5, 1.0, N)),
    ("Gamma 0.3", 0, law("Gamma", 0.3, 0.0, 1.0), lambda g: g.gamma(0.3, 1.0, N)),
    ("ChiSquare 1", 0, law("ChiSquare", 1), lambda g: g.chisquare(1, N)),
    ("ChiSquare 4", 0, law("ChiSquare", 4), lambda g: g.chisquare(4, N)),
    ("ChiSquare 5", 0, law("ChiSquare", 5), lambda g: g.chisquare(5, N)),
    ("Beta 2, 3", 0, law("Beta", 2.0, 3.0, 0.0, 1.0), lambda g: g.beta(2.0, 3.0, N)),
    ("Uniform integers [0, 1000)", 0, ilaw("Uniform", 0, 1000), lambda g: g.integers(0, 1000, N, dtype=np.int32)),
    ("Bernoulli 0.3", 0, ilaw("Bernoulli", 0.3), lambda g: g.binomial(1, 0.3, N)),
    ("Geometric 0.3", 0, ilaw("Geometric", 0.3), lambda g: g.geometric(0.3, N)),
    ("Binomial 100, 0.3", 0, ilaw("Binomial", 100, 0.3), lambda g: g.binomial(100, 0.3, N)),
    ("Binomial 100, 0.2", 0, ilaw("Binomial", 100, 0.2), lambda g: g.binomial(100, 0.2, N)),
    ("Binomial 10^6, 0.5", 0, ilaw("Binomial", 10**6, 0.5), lambda g: g.binomial(10**6, 0.5, N)),
    ("Poisson 0.5", 0, ilaw("Poisson", 0.5), lambda g: g.poisson(0.5, N)),
    ("Poisson 10", 0, ilaw("Poisson", 10.0), lambda g: g.poisson(10.0, N)),
    ("Poisson 1000", 0, ilaw("Poisson", 1000.0), lambda g: g.poisson(1000.0, N)),
    ("Poisson 1000", 1, ilaw("Poisson", 1000.0), lambda g: g.poisson(1000.0, N)),
    ("PoissonV 0.5, 10, 1000", 0, lambda m, s: lib.druiRngPoissonV(m, s, N, iptr, LAMBDAS.ctypes.data_as(C.c_void_p)),
     lambda g: g.poisson(LAMBDAS)),
    ("Negbinomial 2.5, 0.3", 0, ilaw("Negbinomial", 2.5, 0.3), lambda g: g.negative_binomial(2.5, 0.3, N)),
    ("Hypergeometric 100, 30, 40", 0, ilaw("Hypergeometric", 100, 30, 40), lambda g: g.hypergeometric(40, 60, 30, N)),
    ("Hypergeometric 10^6, 5*10^5, 10^5", 0, ilaw("Hypergeometric", 10**6, 5 * 10**5, 10**5),
     lambda g: g.hypergeometric(10**5, 9 * 10**5, 5 * 10**5, N)),
    ("Multinomial 100, k = 5", 0, multinomial, lambda g: g.multinomial(100, MULTI_P, N // K)),
]


def main():
    gens = generators()
    uniform = {label: best(lambda s=stream(brng): lib.drudRngUniform(0, s, N, ptr, D(0), D(1))) for label, brng in gens}
    fast_label = min(uniform, key=uniform.get)
    fast, mt = stream(dict(gens)[fast_label]), stream(dict(gens)["mt19937"])
    np_fast = {name: np.random.Generator(getattr(np.random, name)(12345)) for name in ("PCG64", "SFC64")}
    np_mt = np.random.Generator(np.random.MT19937(12345))
    lines = []
    for name, method, call, npcall in ROWS:
        assert call(method, fast) == 0, name
        nrx_fast = best(lambda: call(method, fast))
        numpy_fast = min(best(lambda g=g: npcall(g)) for g in np_fast.values())
        nrx_mt = best(lambda: call(method, mt))
        numpy_mt = best(lambda: npcall(np_mt))
        lines.append(f"| {name} | {method} | {nrx_fast:.2f} | {numpy_fast:.2f} | {numpy_fast / nrx_fast:.2f} "
                     f"| {nrx_mt:.2f} | {numpy_mt:.2f} | {numpy_mt / nrx_mt:.2f} |")
    cpu = next((l.split(":", 1)[1].strip() for l in open("/proc/cpuinfo") if l.startswith("model name")), "?")
    text = "\n".join([
        "# Laws: speed beside numpy",
        "",
        f"Made by `bench/rng/bench_dist.py` on {datetime.datetime.now(datetime.timezone.utc):%Y-%m-%d %H:%M} UTC, "
        f"{cpu}, numpy {np.__version__}, Python {platform.python_version()}: ns per variate (per value for the "
        f"multivariate rows, dimension {DIM}, and the multinomial counts, k = {K}) at n = 10^6, best of {REPS} calls by wall clock "
        "(`time.perf_counter`), every column from the same run on a shared, loaded machine. "
        f"The library's fastest generator by its double output in this run: {fast_label} "
        f"({uniform[fast_label]:.2f} ns per uniform); numpy's fast column is the faster of PCG64 and SFC64. "
        "Ratio = numpy ns / nrx ns (above 1: nrx faster).",
        "",
        "| law | method | nrx fastest ns | numpy PCG64/SFC64 ns | ratio | nrx MT19937 ns | numpy MT19937 ns | ratio |",
        "|---|---|---|---|---|---|---|---|",
    ] + lines) + "\n"
    print(text)
    if OUT:
        open(OUT, "w").write(text)


main()
