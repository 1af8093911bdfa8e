#!/usr/bin/env python3
"""MT2203 of the shipped library against a scalar reference written here from the
dynamic-creator recurrence (n = 69, m = 34, 5 unused low bits, matrix word a, tempering
shifts 12, 7, 15, 18 with masks b, c) seeded by mt19937ar's init_by_array over 69 words.

Members 0, 1, 2 and 6023 with the fixed (a, b, c) written out below, and members taken
from the checked-in table; integer output in calls of odd sizes across regenerations,
double and float output a + (b - a) u 2^-32, the key {1} for n = 0, the refused members
and splitting methods, the state layout, copies and the persistence round trip.
Usage: mt2203_oracle.py LIBRARY TABLE"""
import ctypes as C
import re
import sys

import numpy as np

lib = C.CDLL(sys.argv[1])
TABLE = [tuple(int(v, 16) for v in row)
         for row in re.findall(r"\{0x([0-9A-F]{8})u, 0x([0-9A-F]{8})u, 0x([0-9A-F]{8})u\}", open(sys.argv[2]).read())]
lib._druNewStreamEx.argtypes = [C.POINTER(C.c_void_p), C.c_int32, C.c_int32, C.POINTER(C.c_uint32)]
lib._druDeleteStream.argtypes = [C.POINTER(C.c_void_p)]
lib._druSkipAheadStream.argtypes = [C.c_void_p, C.c_uint64]
lib._druSkipAheadStreamEx.argtypes = [C.c_void_p, C.c_int32, C.POINTER(C.c_uint64)]
lib._druLeapfrogStream.argtypes = [C.c_void_p, C.c_int32, C.c_int32]
lib._druBRngMT2203InitStream.argtypes = [C.c_int32, C.c_void_p, C.c_int32, C.POINTER(C.c_uint32)]
lib._druiBRngMT2203.argtypes = [C.c_void_p, C.c_int32, C.POINTER(C.c_uint32)]
lib._drudBRngMT2203.argtypes = [C.c_void_p, C.c_int32, C.POINTER(C.c_double), C.c_double, C.c_double]
lib._drusBRngMT2203.argtypes = [C.c_void_p, C.c_int32, C.POINTER(C.c_float), C.c_float, C.c_float]
lib._druGetStreamSize.argtypes = [C.c_void_p]
lib._druSaveStreamM.argtypes = [C.c_void_p, C.c_char_p]
lib._druLoadStreamM.argtypes = [C.POINTER(C.c_void_p), C.c_char_p]
lib._druCopyStream.argtypes = [C.POINTER(C.c_void_p), C.c_void_p]
failures = []
M32 = 0xFFFFFFFF
BRNG = 0x900000
FIXED = {0: (0xAF81055F, 0xDD7EEF80, 0xEFD78000), 1: (0x832604E1, 0x66AD7F80, 0xEBD58000),
         2: (0x92F70739, 0x656D7780, 0xEFC50000), 6023: (0xE8761D4B, 0x72967680, 0xEFEB0000)}


def check(cond, what):
    if not cond:
        failures.append(what)


# ---- the reference ----
N, M, UPPER, LOWER = 69, 34, 0xFFFFFFE0, 0x0000001F


def init_by_array(key):
    mt = [19650218]
    for i in range(1, N):
        mt.append((1812433253 * (mt[-1] ^ (mt[-1] >> 30)) + i) & M32)
    i, j = 1, 0
    for _ in range(max(N, len(key))):
        mt[i] = ((mt[i] ^ (((mt[i - 1] ^ (mt[i - 1] >> 30)) * 1664525) & M32)) + key[j] + j) & M32
        i, j = i + 1, j + 1
        if i >= N:
            mt[0], i = mt[N - 1], 1
        if j >= len(key):
            j = 0
    for _ in range(N - 1):
        mt[i] = ((mt[i] ^ (((mt[i - 1] ^ (mt[i - 1] >> 30)) * 1566083941) & M32)) - i) & M32
        i += 1
        if i >= N:
            mt[0], i = mt[N - 1], 1
    mt[0] = 0x80000000
    return mt


def reference(key, row, count):
    a, b, c = row
    mt, out = init_by_array(key), []
    while len(out) < count:
        for k in range(N):
            y = (mt[k] & UPPER) | (mt[(k + 1) % N] & LOWER)
            mt[k] = mt[(k + M) % N] ^ (y >> 1) ^ (a if y & 1 else 0)
        for y in mt:
            y ^= y >> 12
            y ^= (y << 7) & b
            y ^= (y << 15) & c
            out.append(y ^ (y >> 18))
    return out[:count]


# ---- the library ----
def stream(member, key):
    s = C.c_void_p()
    k = (C.c_uint32 * max(1, len(key)))(*key)
    st = lib._druNewStreamEx(C.byref(s), BRNG + member, len(key), k)
    check(st == 0, "creation status %d for member %d" % (st, member))
    return s


def ints(s, sizes):
    out = []
    for n in sizes:
        buf = (C.c_uint32 * max(n, 1))()
        check(lib._druiBRngMT2203(s, n, buf) == 0, "integer status")
        out += list(buf)[:n]
    return out


def reals(s, n, a, b, single=False):
    t = C.c_float if single else C.c_double
    buf = (t * n)()
    check((lib._drusBRngMT2203 if single else lib._drudBRngMT2203)(s, n, buf, a, b) == 0, "real status")
    return list(buf)


def state_words(s, first, count):
    return list((C.c_uint32 * count).from_address(s.value + first))


SIZES = [1, 15, 16, 17, 68, 69, 70, 1, 1000, 2048, 3]
TOTAL = sum(SIZES)
REALS = 1500
check(len(TABLE) == 6024, "the table has %d rows" % len(TABLE))
for m, row in FIXED.items():
    check(TABLE[m] == row, "table row %d" % m)

members = dict(FIXED)
members.update({m: TABLE[m] for m in (3, 1234, 3011, 3012, 6022)})
for member, row in members.items():
    for key in ([0x123, 0x234, 0x345, 0x456], [member], list(range(1, 100))):
        want = reference(key, row, TOTAL + 2 * REALS + 1000)
        s = stream(member, key)
        check(state_words(s, 296, 4) == list(row) + [0], "member %d: a, b, c and the spare word at 296" % member)
        check(state_words(s, 292, 1) == [69], "member %d: position 69 after seeding" % member)
        check(ints(s, SIZES) == want[:TOTAL], "member %d integers, key of %d words" % (member, len(key)))
        lo, hi = -2.5, 7.25
        exp = [lo + (hi - lo) * float(u) * 2.0**-32 for u in want[TOTAL:TOTAL + REALS]]
        check(reals(s, REALS, lo, hi) == exp, "member %d doubles, key of %d words" % (member, len(key)))
        exp = [float(np.float32(0.0 + 1.0 * float(u) * 2.0**-32)) for u in want[TOTAL + REALS:TOTAL + 2 * REALS]]
        check(reals(s, REALS, 0.0, 1.0, True) == exp, "member %d floats, key of %d words" % (member, len(key)))
        # A copy and a saved image continue the sequence where the stream stands.
        copy = C.c_void_p()
        check(lib._druCopyStream(C.byref(copy), s) == 0, "copy status")
        size = lib._druGetStreamSize(s)
        check(size == 312 + 8, "image size %d" % size)
        image = C.create_string_buffer(size)
        check(lib._druSaveStreamM(s, image) == 0, "save status")
        loaded = C.c_void_p()
        check(lib._druLoadStreamM(C.byref(loaded), image) == 0, "load status")
        rest = want[TOTAL + 2 * REALS:]
        for t, what in ((s, "stream"), (copy, "copy"), (loaded, "loaded image")):
            check(ints(t, [333, 667]) == rest, "member %d: %s continues" % (member, what))
            lib._druDeleteStream(C.byref(t))

# n = 0 seeds with the key {1}.
s, one = C.c_void_p(), stream(5, [1])
check(lib._druNewStreamEx(C.byref(s), BRNG + 5, 0, None) == 0, "n = 0 creation")
check(ints(s, [500]) == ints(one, [500]), "n = 0 differs from the key {1}")
check(ints(one, [10]) == reference([1], TABLE[5], 510)[500:], "key {1} against the reference")
lib._druDeleteStream(C.byref(one))

# Splitting is refused and leaves the stream as it was; members past the last are refused.
before = state_words(s, 16, 74)
check(lib._druLeapfrogStream(s, 0, 2) == -1002, "leapfrog")
check(lib._druSkipAheadStream(s, 5) == -1003, "skip-ahead")
steps = (C.c_uint64 * 2)(5, 0)
check(lib._druSkipAheadStreamEx(s, 2, steps) == -1004, "multi-word skip-ahead")
check(lib._druBRngMT2203InitStream(7, s, 0, None) == -2, "unknown method")
check(state_words(s, 16, 74) == before, "a refused split changed the state")
lib._druDeleteStream(C.byref(s))
bad = C.c_void_p()
check(lib._druNewStreamEx(C.byref(bad), BRNG + 6024, 1, (C.c_uint32 * 1)(1)) == -1000, "member 6024 accepted")
check(not bad.value, "member 6024 left a stream")

for f in failures:
    print("FAIL:", f)
print("%d failures" % len(failures))
sys.exit(1 if failures else 0)
