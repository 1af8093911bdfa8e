#!/usr/bin/env python3
"""Generator outputs of the shipped library against reference.json (big-integer
oracles, see make_reference.py): integer words at the start and after skip-ahead,
double outputs derived from the same integers, and WH reals as exact fractions.
Usage: oracle_test.py LIBRARY reference.json"""
import ctypes as C
import json
import re
import os
import sys
from fractions import Fraction

lib = C.CDLL(sys.argv[1])
ref = json.load(open(sys.argv[2]))
U32P, F64P = C.POINTER(C.c_uint32), C.POINTER(C.c_double)
lib._druNewStreamEx.argtypes = [C.POINTER(C.c_void_p), C.c_int32, C.c_int32, U32P]
lib._druSkipAheadStream.argtypes = [C.c_void_p, C.c_uint64]
lib._druDeleteStream.argtypes = [C.POINTER(C.c_void_p)]
failures = []


def check(cond, what):
    if not cond:
        failures.append(what)


def stream(row):
    s = C.c_void_p()
    p = (C.c_uint32 * len(row["params"]))(*row["params"])
    st = lib._druNewStreamEx(C.byref(s), row["brng"], len(row["params"]), p)
    assert st == 0, st
    return s


def ints(s, row, count):
    w = row["word"]
    buf = (C.c_uint32 * (count * w))()
    gen = {0x1: "MCG31M1", 0x2: "R250", 0x3: "MRG32K3A", 0x4: "MCG59", 0x5: "WH"}[row["brng"] >> 20]
    getattr(lib, "_druiBRng" + gen)(s, count, buf)
    if w == 1:
        return list(buf)
    if w == 2:
        return [buf[2 * i] | buf[2 * i + 1] << 32 for i in range(count)]
    return [list(buf[4 * i:4 * i + 4]) for i in range(count)]


def doubles(s, row, count, a=0.0, b=1.0):
    gen = {0x1: "MCG31M1", 0x2: "R250", 0x3: "MRG32K3A", 0x4: "MCG59", 0x5: "WH"}[row["brng"] >> 20]
    f = getattr(lib, "_drudBRng" + gen)
    f.argtypes = [C.c_void_p, C.c_int32, F64P, C.c_double, C.c_double]
    buf = (C.c_double * count)()
    f(s, count, buf, a, b)
    return list(buf)


# Integer words: from the start and after each skip-ahead.
for name, row in ref.items():
    if "runs" not in row:
        continue
    for run in row["runs"]:
        s = stream(row)
        if "skip_words" in run:
            w = (C.c_uint64 * len(run["skip_words"]))(*run["skip_words"])
            st = lib._druSkipAheadStreamEx(s, len(run["skip_words"]), w)
            check(st == 0, "%s multi-word skip status %d" % (name, st))
        elif run["skip"]:
            st = lib._druSkipAheadStream(s, run["skip"])
            check(st == 0, "%s skip status %d" % (name, st))
        got = ints(s, row, len(run["ints"]))
        check(got == run["ints"], "%s integers after skip %s" % (name, run.get("skip", run.get("skip_words"))))
        lib._druDeleteStream(C.byref(s))

# Doubles: the documented conversion of the same integers, bit for bit, evaluated as
# written (Python rounds every operation, no fused multiply-add). R250 scales the
# interval first; the others multiply left to right.
conversions = {
    "MCG31M1": lambda u, a, b: a + (b - a) * u * (1.0 / 2147483647.0),
    "MRG32K3A": lambda u, a, b: a + (b - a) * u * (1.0 / 4294967087.0),
    "MCG59": lambda u, a, b: a + (b - a) * u * 2.0**-59,
    "R250": lambda u, a, b: float(u) * ((b - a) * 2.0**-32) + a,
}
for name, conv in conversions.items():
    for a, b in ((0.0, 1.0), (-1.0, 3.0), (0.3, 2.2), (-7.25, 1e6)):
        row = ref[name]
        s = stream(row)
        got = doubles(s, row, 1000, a, b)
        want = [conv(float(v), a, b) for v in row["runs"][0]["ints"]]
        bad = sum(g != w for g, w in zip(got, want))
        check(bad == 0, "%s doubles on [%r, %r): %d of 1000 differ" % (name, a, b, bad))
        lib._druDeleteStream(C.byref(s))

# WH reals: frac(sum x_c / m_c) to within rounding of the double sum.
here = os.path.dirname(os.path.abspath(__file__))
rows = re.findall(r"\{\{([^}]*)\}", open(os.path.join(here, "..", "..", "rng", "brng", "wh_table.inc")).read())
for name, member in (("WH0", 0), ("WH200", 200)):
    ms = [int(v.strip().rstrip("u")) for v in rows[member].split(",")]
    row = ref[name]
    s = stream(row)
    got = doubles(s, row, 300)
    for g, xs in zip(got, row["runs"][0]["ints"]):
        exact = sum(Fraction(x, m) for x, m in zip(xs, ms))
        exact -= int(exact)
        if abs(g - float(exact)) > 2**-50:
            check(False, "%s real %r vs %r" % (name, g, float(exact)))
            break
    lib._druDeleteStream(C.byref(s))

# Every WH member uses its own row: three outputs of each against the closed form.
mults = re.findall(r"\}, \{([^}]*)\}\}", open(os.path.join(here, "..", "..", "rng", "brng", "wh_table.inc")).read())
for member in range(273):
    ms = [int(v.strip().rstrip("u")) for v in rows[member].split(",")]
    As = [int(v) for v in mults[member].split(",")]
    s = stream({"brng": 0x500000 + member, "params": [1, 2, 3, 4]})
    want = [[x * pow(a, k, m) % m for x, a, m in zip([1, 2, 3, 4], As, ms)] for k in (1, 2, 3)]
    check(ints(s, {"brng": 0x500000, "word": 4}, 3) == want, "WH member %d" % member)
    lib._druDeleteStream(C.byref(s))

# Published MRG32k3a outputs of a known seed.
pub = ref["MRG32K3A_published"]
s = stream({"brng": 0x300000, "params": pub["params"]})
got = ints(s, {"brng": 0x300000, "word": 1}, 5)
check(got == [v - 1 for v in pub["plus_one"]], "MRG32K3A published values %r" % got)
lib._druDeleteStream(C.byref(s))

# The exported modular helpers against Python's pow and big-integer matrix powers.
lib._druiPowMod.restype = C.c_uint32
lib._druiPowMod.argtypes = [C.c_uint32, C.c_uint64, C.c_uint32]
lib._druiPowMod2P31M1.restype = C.c_uint32
lib._druiPowMod2P31M1.argtypes = [C.c_uint32, C.c_uint64]
lib._druiPowMod2P59.restype = C.c_uint64
lib._druiPowMod2P59.argtypes = [C.c_uint64, C.c_uint64]
cases = [(3, 0, 7), (16770647 - 1, 2**64 - 1, 16770647), (4294967295, 12345678901234, 4294967291), (5, 1, 1)]
for a, e, m in cases:
    check(lib._druiPowMod(a, e, m) == pow(a, e, m), "PowMod %r" % ((a, e, m),))
    check(lib._druiPowMod2P31M1(a, e) == pow(a, e, 2**31 - 1), "PowMod2P31M1 %r" % ((a, e),))
    check(lib._druiPowMod2P59(a * 977, e) == pow(a * 977, e, 2**59), "PowMod2P59 %r" % ((a, e),))
U32x = C.POINTER(C.c_uint32)
lib._druiVect3PowMod.argtypes = [U32x, U32x, C.c_uint32, C.c_uint64]
lib._druiVect3PowArrayMod.argtypes = [U32x, U32x, C.c_uint32, C.c_int32, C.POINTER(C.c_uint64)]
M = [4294967290, 17, 3, 99, 0, 4000000000, 1, 2, 3]
m = 4294967291
for words in ([12345], [7, 3], [0, 0, 0, 0, 1]):
    e = sum(w << (64 * i) for i, w in enumerate(words))
    v = (C.c_uint32 * 3)(11, 22, 33)
    if len(words) == 1:
        lib._druiVect3PowMod(v, (C.c_uint32 * 9)(*M), m, C.c_uint64(words[0]))
    else:
        lib._druiVect3PowArrayMod(v, (C.c_uint32 * 9)(*M), m, len(words), (C.c_uint64 * len(words))(*words))
    r, b, x = [[int(i == j) for j in range(3)] for i in range(3)], [M[0:3], M[3:6], M[6:9]], e
    while x:
        if x & 1:
            r = [[sum(r[i][k] * b[k][j] for k in range(3)) % m for j in range(3)] for i in range(3)]
        b = [[sum(b[i][k] * b[k][j] for k in range(3)) % m for j in range(3)] for i in range(3)]
        x >>= 1
    want = [sum(r[i][k] * [11, 22, 33][k] for k in range(3)) % m for i in range(3)]
    check(list(v) == want, "Vect3PowArrayMod %d words" % len(words))

for f in failures:
    print("FAIL:", f)
print("%d failures" % len(failures))
sys.exit(1 if failures else 0)
