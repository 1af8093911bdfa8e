#!/usr/bin/env python3
"""Times the library's generators (integer and double output) beside numpy's and, when
its headers are installed, Random123's Philox4x32-10 (built on the fly with g++), in
one run. Prints ns per value and GB/s of output.

Usage: rng_bench.py LIBRARY [n]"""
import ctypes as C
import os
import re
import shutil
import subprocess
import sys
import tempfile

import numpy as np
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir))
from best import best_of  # noqa: E402

lib = C.CDLL(sys.argv[1])
N = int(sys.argv[2]) if len(sys.argv) > 2 else 1 << 20
REPS = 30
lib._druNewStreamEx.argtypes = [C.POINTER(C.c_void_p), C.c_int32, C.c_int32, C.POINTER(C.c_uint32)]


def best(fn):
    return best_of(fn, REPS)



rows = []


def row(name, seconds, bytes_per_value):
    rows.append((name, seconds / N * 1e9, N * bytes_per_value / seconds / 1e9))




def generator_list():
    """(Name, identifier, word bytes) of each ready row with all outputs in NRX_BRNG_LIST."""
    hdr = open(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "include", "nrx", "rng.h")).read()
    body = hdr[hdr.index("#define NRX_BRNG_LIST(X)"):]
    body = body[:body.index("\n\n")]
    out = []
    for m in re.finditer(r"X\(([^()]*)\)", body.replace("\\\n", " ")):
        f = [x.strip() for x in m.group(1).split(",")]
        if f[11] == "READY" and f[12] == "ALL":
            out.append((f[0], int(f[2], 16), int(f[6])))
    return out


GENS = generator_list()
for name, brng, word in GENS:
    s = C.c_void_p()
    seed = (C.c_uint32 * 1)(12345)
    assert lib._druNewStreamEx(C.byref(s), brng, 1, seed) == 0
    ibuf = np.empty(N * word // 4, dtype=np.uint32)
    dbuf = np.empty(N, dtype=np.float64)
    gi = getattr(lib, "_druiBRng" + name)
    gd = getattr(lib, "_drudBRng" + name)
    gd.argtypes = [C.c_void_p, C.c_int32, C.c_void_p, C.c_double, C.c_double]
    gi.argtypes = [C.c_void_p, C.c_int32, C.c_void_p]
    ip, dp = ibuf.ctypes.data, dbuf.ctypes.data
    row("nrx %s integer" % name, best(lambda: gi(s, N, ip)), word)
    row("nrx %s double" % name, best(lambda: gd(s, N, dp, 0.0, 1.0)), 8)

out = np.empty(N)
rs = np.random.RandomState(1)
row("numpy RandomState.random_sample", best(lambda: rs.random_sample(N)), 8)
for bg in (np.random.MT19937, np.random.PCG64):
    g = np.random.Generator(bg(1))
    row("numpy Generator(%s).random" % bg.__name__, best(lambda: g.random(N, out=out)), 8)
    bits = bg(1)
    row("numpy %s random_raw (uint64)" % bg.__name__, best(lambda: bits.random_raw(N)), 8)

# Random123 Philox4x32-10, a counter-based reference, when its headers are present.
R123 = """
#include <Random123/philox.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>
int main(int argc, char** argv) {
  const long n = atol(argv[1]);
  std::vector<unsigned> out(n);
  r123::Philox4x32 g; r123::Philox4x32::key_type k = {{7, 9}}; r123::Philox4x32::ctr_type c = {{0, 0, 0, 0}};
  double best = 1e9;
  for (int rep = 0; rep < 30; ++rep) {
    auto t0 = std::chrono::steady_clock::now();
    for (long i = 0; i < n; i += 4) { c.v[0]++; auto r = g(c, k); for (int j = 0; j < 4; ++j) out[i + j] = r.v[j]; }
    double t = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    if (t < best) best = t;
  }
  printf("%.9f %u\\n", best, out[n / 2]);
}
"""
if os.path.exists("/usr/include/Random123/philox.h") and shutil.which("g++"):
    with tempfile.TemporaryDirectory() as d:
        src, exe = os.path.join(d, "r123.cpp"), os.path.join(d, "r123")
        open(src, "w").write(R123)
        subprocess.run(["g++", "-O3", "-march=native", src, "-o", exe], check=True)
        t = float(subprocess.run([exe, str(N)], capture_output=True, text=True, check=True).stdout.split()[0])
        row("Random123 Philox4x32-10 integer (g++ -O3)", t, 4)

# Skip-ahead of the twisters (ms per call) beside numpy's MT19937.jumped(), which
# moves 2^128 steps by the same polynomial method.
lib._druSkipAheadStream.argtypes = [C.c_void_p, C.c_uint64]
skips = []
for name, brng in (("MT19937", 0x800000), ("SFMT19937", 0xD00000)):
    s = C.c_void_p()
    seed = (C.c_uint32 * 1)(12345)
    assert lib._druNewStreamEx(C.byref(s), brng, 1, seed) == 0
    for label, n in (("2^40", 2**40), ("2^64 - 1", 2**64 - 1), ("19968", 19968)):
        skips.append(("nrx %s skip %s" % (name, label), best_of(lambda: lib._druSkipAheadStream(s, n), 20)))
numpy_mt = np.random.MT19937(1)
skips.append(("numpy MT19937.jumped() (2^128)", best_of(lambda: numpy_mt.jumped(), 20)))

print("%-45s %10s %8s" % ("generator (n = %d)" % N, "ns/value", "GB/s"))
for name, ns, gbs in rows:
    print("%-45s %10.3f %8.2f" % (name, ns, gbs))

# Ratios from this run: the twisters beside numpy's MT19937 (one 32-bit value per raw
# draw; Generator.random per double), SFMT19937 and MT2203 beside MT19937.
ns = {name: v for name, v, _ in rows}
for mine, theirs in (("nrx MT19937 integer", "numpy MT19937 random_raw (uint64)"),
                     ("nrx MT19937 double", "numpy Generator(MT19937).random"),
                     ("nrx SFMT19937 integer", "nrx MT19937 integer"),
                     ("nrx SFMT19937 double", "nrx MT19937 double"),
                     ("nrx MT2203 integer", "nrx MT19937 integer"),
                     ("nrx MT2203 double", "nrx MT19937 double"),
                     ("nrx MT2203 integer", "nrx SFMT19937 integer"),
                     ("nrx MT2203 double", "nrx SFMT19937 double"),
                     ("nrx MT2203 integer", "numpy MT19937 random_raw (uint64)"),
                     ("nrx MT2203 double", "numpy Generator(MT19937).random")):
    if mine in ns and theirs in ns:
        print("%-22s is %6.2fx as fast as %s" % (mine, ns[theirs] / ns[mine], theirs))

print("%-45s %10s" % ("skip-ahead", "ms"))
for name, sec in skips:
    print("%-45s %10.3f" % (name, sec * 1e3))
sk = dict(skips)
for mine in ("nrx MT19937 skip 2^64 - 1", "nrx SFMT19937 skip 2^64 - 1"):
    print("%-27s is %6.2fx as fast as numpy MT19937.jumped()" % (mine, sk["numpy MT19937.jumped() (2^128)"] / sk[mine]))
