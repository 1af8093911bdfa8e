#!/usr/bin/env python3
"""Goodness of fit of every continuous law and method against scipy.stats: per row,
200,000 variates from a fixed seed, Kolmogorov-Smirnov against the law's CDF and the
mean and variance within 5 standard errors (where they exist). A row whose p-value
falls below 1e-3 is drawn again from a second seed and fails only if it fails there
too. Multivariate normal: the sample covariance of each storage against the given
one. Usage: dist_gof.py LIBRARY"""
import ctypes as C
import sys

import numpy as np
from scipy import stats

lib = C.CDLL(sys.argv[1])
MT19937 = 0x800000
N = 200_000
ALPHA = 1e-3
D, F, I = C.c_double, C.c_float, C.c_int32


def stream(seed):
    s = C.c_void_p()
    assert lib._druNewStreamEx(C.byref(s), MT19937, 1, (C.c_uint32 * 1)(seed)) == 0
    return s


def draw(prec, law, method, params, seed, n=N):
    s = stream(seed)
    dtype, ct = (np.float64, D) if prec == "d" else (np.float32, F)
    r = np.zeros(n, dtype=dtype)
    args = [p if isinstance(p, int) and law == "ChiSquare" else ct(p) for p in params]
    args = [I(p) if isinstance(p, int) else p for p in args]
    st = getattr(lib, f"dru{prec}Rng{law}")(method, s, n, r.ctypes.data_as(C.c_void_p), *args)
    lib._druDeleteStream(C.byref(s))
    assert st == 0, (law, st)
    return r.astype(np.float64)


# (law, methods, parameters, scipy law with the same parameters)
ROWS = [
    ("Gaussian", (0, 1, 2), (1.5, 2.0), stats.norm(1.5, 2.0)),
    ("Lognormal", (0, 1), (0.2, 0.5, 1.0, 3.0), stats.lognorm(0.5, loc=1.0, scale=3.0 * np.exp(0.2))),
    ("Exponential", (0,), (-1.0, 2.0), stats.expon(-1.0, 2.0)),
    ("Rayleigh", (0,), (0.5, 1.5), stats.rayleigh(0.5, 1.5 / np.sqrt(2))),
    ("Weibull", (0,), (1.7, 0.25, 2.0), stats.weibull_min(1.7, 0.25, 2.0)),
    ("Weibull", (0,), (1.0, 0.0, 1.0), stats.expon()),
    ("Gumbel", (0,), (0.5, 2.0), stats.gumbel_l(0.5, 2.0)),
    ("Laplace", (0,), (-0.5, 1.5), stats.laplace(-0.5, 1.5)),
    ("Cauchy", (0,), (2.0, 0.5), stats.cauchy(2.0, 0.5)),
    ("Gamma", (0,), (2.5, 1.0, 3.0), stats.gamma(2.5, 1.0, 3.0)),
    ("Gamma", (0,), (0.3, 0.0, 1.0), stats.gamma(0.3)),
    ("Gamma", (0,), (1.0, 0.0, 1.0), stats.gamma(1.0)),
    ("Gamma", (0,), (40.0, -2.0, 0.5), stats.gamma(40.0, -2.0, 0.5)),
    ("Beta", (0,), (2.0, 3.0, 0.0, 1.0), stats.beta(2.0, 3.0)),
    ("Beta", (0,), (0.2, 0.7, 0.0, 2.0), stats.beta(0.2, 0.7, 0.0, 2.0)),
    ("Beta", (0,), (30.0, 0.5, 0.0, 1.0), stats.beta(30.0, 0.5)),
] + [("ChiSquare", (0,), (v,), stats.chi2(v)) for v in (1, 2, 3, 4, 5, 16, 17, 40)]


def fit_failure(x, law):
    p = stats.kstest(x, law.cdf).pvalue
    if p < ALPHA:
        return f"KS p = {p:.2e}"
    mean, var = law.mean(), law.var()
    if np.isfinite(var):
        se_mean = np.sqrt(var / len(x))
        if abs(x.mean() - mean) > 5 * se_mean:
            return f"mean {x.mean()} vs {mean}"
        kurt = law.stats(moments="k")
        se_var = var * np.sqrt((kurt + 2) / len(x))
        if np.isfinite(se_var) and abs(x.var() - var) > 5 * se_var:
            return f"variance {x.var()} vs {var}"
    return None


failures = []
count = 0
for law_name, methods, params, law in ROWS:
    for method in methods:
        for prec in ("d", "s"):
            count += 1
            why = fit_failure(draw(prec, law_name, method, params, 2024), law)
            if why:
                # A low p-value happens once in a thousand rows: confirm on another seed.
                why2 = fit_failure(draw(prec, law_name, method, params, 77), law)
                if why2:
                    failures.append(f"{prec} {law_name} method {method} {params}: {why}; again: {why2}")


def mv_covariance(prec, method, storage):
    dim = 4
    L = np.array([[2.0, 0, 0, 0], [0.5, 1.0, 0, 0], [-0.3, 0.2, 0.7, 0], [0.1, -0.4, 0.3, 1.2]])
    if storage == 2:
        L = np.diag(np.diag(L))
    t = {0: L, 1: np.concatenate([L[j:, j] for j in range(dim)]), 2: np.diag(L)}[storage]
    a = np.array([1.0, -2.0, 0.5, 3.0])
    dtype, ct = (np.float64, D) if prec == "d" else (np.float32, F)
    n = 100_000
    r = np.zeros(n * dim, dtype=dtype)
    ta, aa = t.astype(dtype).ravel(), a.astype(dtype)
    s = stream(99)
    st = getattr(lib, f"dru{prec}RngGaussianMV")(method, s, n, r.ctypes.data_as(C.c_void_p), dim, storage,
                                                 aa.ctypes.data_as(C.c_void_p), ta.ctypes.data_as(C.c_void_p))
    lib._druDeleteStream(C.byref(s))
    assert st == 0, st
    x = r.reshape(n, dim).astype(np.float64)
    cov = L @ L.T
    se = np.sqrt((cov ** 2 + np.outer(np.diag(cov), np.diag(cov))) / n)
    if np.any(np.abs(np.cov(x.T) - cov) > 5 * se):
        return f"covariance {np.cov(x.T)} vs {cov}"
    if np.any(np.abs(x.mean(0) - a) > 5 * np.sqrt(np.diag(cov) / n)):
        return f"mean {x.mean(0)} vs {a}"
    return None


for prec in ("d", "s"):
    for storage in (0, 1, 2):
        for method in (0, 1, 2):
            count += 1
            why = mv_covariance(prec, method, storage)
            if why:
                failures.append(f"{prec} GaussianMV method {method} storage {storage}: {why}")

for f in failures:
    print("FAIL", f)
print(f"{count - len(failures)} passed, {len(failures)} failed")
sys.exit(1 if failures else 0)
