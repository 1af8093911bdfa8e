#!/usr/bin/env python3
"""Times Sobol and Niederreiter double output beside scipy.stats.qmc.Sobol(scramble=False)
in one run: ns per value at d = 10 and d = 1,000 (Sobol above 40 dimensions through
seeding form 1 with the first 999 primitive polynomials), and d = 1,000 on one and on
two threads of the core library's threader. Best of REPS calls each, wall clock
(time.perf_counter). With --busy the threaded rows are timed again while a process of
its own keeps one core busy (the 2-thread call must then stay near the 1-thread one).
With --sizes it shows instead how Sobol double output moves with the output's size on
one thread, from the first-level cache to 64 MB, beside scipy and numpy's fill of an
array of the same size (the store floor); scipy allocates its output on every call, as
its callers do, while ours and the fill write one array again. The rows "scipy _draw, one
array" time scipy's own loop (the one random() runs after allocating) writing one array
again, as ours does: both sides then measured the same way, warm, same n and output.
With --points it shows instead Sobol at d = 1,000 on two threads beside scipy for calls of 64
to 1,024 points (0.5 to 8 MB): the fixed costs of a call (the ctypes call, the helper's
start) weigh on the smallest.
With --base=LIBRARY2 the Sobol rows of a second build (an earlier version) are timed in
the same run, labelled "base". Both builds then run on one core library, the first one
loaded (they name it alike), so a change of the threader is compared in separate runs,
the other build's core library first on LD_LIBRARY_PATH.

Usage: quasi_bench.py LIBRARY [reps] [--busy | --sizes | --points] [--base=LIBRARY2]"""
import ctypes as C
import ctypes.util
import os
import sys

import numpy as np
from scipy.stats import qmc
from scipy.stats._sobol import _draw

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
from qrng_tables import cldivmod, clmul  # noqa: E402
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir))
from best import best_of  # noqa: E402

import subprocess  # noqa: E402
import time  # noqa: E402

args = [a for a in sys.argv[1:] if a not in ("--busy", "--sizes", "--points") and not a.startswith("--base=")]
BUSY = "--busy" in sys.argv
SIZES = "--sizes" in sys.argv
POINT_SWEEP = "--points" in sys.argv
BASE = [a[len("--base="):] for a in sys.argv[1:] if a.startswith("--base=")]
lib = C.CDLL(args[0])
REPS = int(args[1]) if len(args) > 1 else 21
# Outputs of about 1 MB (in the second-level cache), and 32 MB at d = 1,000.
POINTS = ((10, 1 << 13), (1000, 1 << 7), (1000, 1 << 12))
gomp = C.CDLL(ctypes.util.find_library("gomp") or "libgomp.so.1")
base = C.CDLL(BASE[0]) if BASE else None
for one in (lib, base) if base else (lib,):
    one._druNewStreamEx.argtypes = [C.POINTER(C.c_void_p), C.c_int32, C.c_int32, C.POINTER(C.c_uint32)]
    for name in ("_drudBRngSobol", "_drudBRngNiederr"):
        getattr(one, name).argtypes = [C.c_void_p, C.c_int32, C.c_void_p, C.c_double, C.c_double]


def xpow(e, p):
    """x^e modulo p."""
    r, x = 1, 2
    while e:
        if e & 1:
            r = cldivmod(clmul(r, x), p)[1]
        x, e = cldivmod(clmul(x, x), p)[1], e >> 1
    return r


def primitive_polys(count):
    out, p = [], 3
    while len(out) < count:
        s = p.bit_length() - 1
        order = (1 << s) - 1
        factors = [q for q in range(2, order + 1) if order % q == 0 and all(q % f for f in range(2, int(q**0.5) + 1))]
        if p & 1 and xpow(order, p) == 1 and all(xpow(order // q, p) != 1 for q in factors):
            out.append(p)
        p += 1
    return out


def stream(brng, words, of=None):
    h = C.c_void_p()
    w = (C.c_uint32 * len(words))(*words)
    assert (of or lib)._druNewStreamEx(C.byref(h), brng, len(words), w) == 0
    return h


def best(fn):
    return best_of(fn, REPS)


def ours(fn, h, values):
    """Best of REPS calls after calls for 20 ms: the core threader's helpers wait asleep
    for a loop some time after the last, and on a virtual machine a sleeping helper was
    seen to take milliseconds to wake on its idle processor (whose turn the host gives
    late), a whole row's calls then running on the caller alone."""
    out = np.empty(values)
    at = out.ctypes.data  # the array's address, taken once as a C caller holds it
    end = time.perf_counter() + 0.02
    while time.perf_counter() < end:
        fn(h, values, at, 0.0, 1.0)
    return best(lambda: fn(h, values, at, 0.0, 1.0))


def scipy_core(gen, points):
    """Seconds of scipy's generation loop writing one (points, d) array again."""
    out = np.empty((points, gen.d))
    gen.random(1)

    def draw():
        _draw(n=points, num_gen=gen.num_generated - 1, dim=gen.d, scale=gen._scale, sv=gen._sv, quasi=gen._quasi,
              sample=out)
        gen.num_generated += points
    return best(draw)


def sizes():
    gomp.omp_set_num_threads(1)
    print("clock: time.perf_counter, best of %d calls; one thread" % REPS)
    print("%6s %8s %8s %10s %10s %10s %8s %8s" % ("d", "points", "KB", "fill", "nrx", "scipy", "x scipy", "nrx/fill"))
    polys = primitive_polys(999)
    for d, counts in ((10, (1 << 8, 1 << 10, 1 << 12, 1 << 13, 1 << 14, 1 << 16, 1 << 18, 1 << 20)),
                      (1000, (4, 16, 32, 128, 512, 1024, 4096, 8192))):
        words = [d] if d <= 40 else [d, 1, 1] + polys[:d - 1]
        for points in counts:
            values = d * points
            out = np.empty(values)
            at = out.ctypes.data
            h = stream(0x600000, words)
            t_fill = best(lambda: out.fill(0.5))
            t_ours = best(lambda: lib._drudBRngSobol(h, values, at, 0.0, 1.0))
            gen = qmc.Sobol(d, scramble=False, bits=32)
            t_scipy = best(lambda: gen.random(points))
            ns = 1e9 / values
            print("%6d %8d %8d %10.3f %10.3f %10.3f %8.1f %8.2f" % (d, points, values // 128, t_fill * ns, t_ours * ns,
                                                                  t_scipy * ns, t_scipy / t_ours, t_ours / t_fill))


def point_sweep():
    gomp.omp_set_num_threads(2)
    print("clock: time.perf_counter, best of %d calls; d = 1,000, two threads" % REPS)
    print("%8s %8s %10s %10s %8s" % ("points", "KB", "scipy", "nrx", "x scipy"))
    words = [1000, 1, 1] + primitive_polys(999)
    for points in (64, 128, 256, 512, 1024):
        values = 1000 * points
        gen = qmc.Sobol(1000, scramble=False, bits=32)
        t_scipy = best(lambda: gen.random(points))
        t_ours = ours(lib._drudBRngSobol, stream(0x600000, words), values)
        print("%8d %8d %10.3f %10.3f %8.1f" % (points, values // 128, t_scipy / values * 1e9, t_ours / values * 1e9,
                                               t_scipy / t_ours))


if SIZES:
    sizes()
    sys.exit(0)
if POINT_SWEEP:
    point_sweep()
    sys.exit(0)

rows = []
for d, points in POINTS:
    values = d * points
    sobol_words = [d] if d <= 40 else [d, 1, 1] + primitive_polys(d - 1)
    gomp.omp_set_num_threads(2)
    scipy_gen = qmc.Sobol(d, scramble=False, bits=32)
    t_scipy = best(lambda: scipy_gen.random(points))
    t_core = scipy_core(qmc.Sobol(d, scramble=False, bits=32), points)
    t_sobol = ours(lib._drudBRngSobol, stream(0x600000, sobol_words), values)
    rows.append(("scipy Sobol.random", d, points, t_scipy / values * 1e9, 1.0))
    rows.append(("scipy _draw, one array", d, points, t_core / values * 1e9, t_scipy / t_core))
    rows.append(("nrx Sobol", d, points, t_sobol / values * 1e9, t_scipy / t_sobol))
    if d <= 318:
        t_nied = ours(lib._drudBRngNiederr, stream(0x700000, [d]), values)
        rows.append(("nrx Niederr", d, points, t_nied / values * 1e9, t_scipy / t_nied))
    if base:
        t = ours(base._drudBRngSobol, stream(0x600000, sobol_words, base), values)
        rows.append(("base Sobol", d, points, t / values * 1e9, t_scipy / t))
    if d == 1000:
        for busy in (False, True) if BUSY else (False,):
            spin = subprocess.Popen([sys.executable, "-c", "while 1: pass"]) if busy else None
            for threads in (1, 2):
                gomp.omp_set_num_threads(threads)
                for name, one in (("nrx", lib), ("base", base)) if base else (("nrx", lib),):
                    t = ours(one._drudBRngSobol, stream(0x600000, sobol_words, one), values)
                    rows.append(("%s Sobol, %d thread%s%s" % (name, threads, "s" if threads > 1 else "",
                                                              ", busy" if busy else ""),
                                 d, points, t / values * 1e9, t_scipy / t))
            if spin:
                spin.kill()
                spin.wait()

print("clock: time.perf_counter, best of %d calls" % REPS)
print("%-30s %6s %8s %12s %14s" % ("generator", "d", "points", "ns/value", "x scipy speed"))
for name, d, points, ns, ratio in rows:
    print("%-30s %6d %8d %12.3f %14.1f" % (name, d, points, ns, ratio))
