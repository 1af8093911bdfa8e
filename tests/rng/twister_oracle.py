#!/usr/bin/env python3
"""The Mersenne twisters of the shipped library against independent oracles:

  MT19937    the published mt19937ar output for init_by_array {0x123, 0x234, 0x345,
             0x456} (first values 1067595299 955945823 477289528 ...) and numpy's
             MT19937 seeded the same way (RandomState(list) initialisation);
  SFMT19937  a plain scalar SFMT written here from the published algorithm (128-bit
             recursion, array initialisation, period certification), itself checked
             against the published first outputs of init_gen_rand(1234), then compared
             word for word with the library's vector generator.

Integer outputs in calls of odd sizes across block boundaries, real outputs
a + (b - a) u 2^-32 evaluated as written, skip-ahead on both sides of the switch to
the polynomial jump and far out, composed skips, the carried polynomials as
annihilators of the oracle sequences, and _druPolyRem against Python's big-integer
arithmetic over GF(2). Usage: twister_oracle.py LIBRARY"""
import ctypes as C
import os
import re
import sys

import numpy as np

lib = C.CDLL(sys.argv[1])
lib._druNewStreamEx.argtypes = [C.POINTER(C.c_void_p), C.c_int32, C.c_int32, C.POINTER(C.c_uint32)]
lib._druDeleteStream.argtypes = [C.POINTER(C.c_void_p)]
lib._druSkipAheadStream.argtypes = [C.c_void_p, C.c_uint64]
failures = []
M32 = 0xFFFFFFFF


def check(cond, what):
    if not cond:
        failures.append(what)


# ---- SFMT19937, scalar, from the published description ----
N, POS1, SL1, SL2, SR1, SR2 = 156, 122, 18, 1, 11, 1
MSK = (0xDFFFFFEF, 0xDDFECB7F, 0xBFFAFFFF, 0xBFFFFFF6)
PARITY = (0x00000001, 0x00000000, 0x00000000, 0x13C9E684)


def blk(w, i):
    return w[4 * i] | w[4 * i + 1] << 32 | w[4 * i + 2] << 64 | w[4 * i + 3] << 96


def words_of(x):
    return [(x >> (32 * k)) & M32 for k in range(4)]


def recursion(a, b, c, d):
    M128 = (1 << 128) - 1
    x = (a << (8 * SL2)) & M128
    y = c >> (8 * SR2)
    bw, dw = words_of(b), words_of(d)
    z = sum((((bw[k] >> SR1) & MSK[k]) << (32 * k)) for k in range(4))
    e = sum((((dw[k] << SL1) & M32) << (32 * k)) for k in range(4))
    return a ^ x ^ z ^ y ^ e


def sfmt_gen_all(w):
    st = [blk(w, i) for i in range(N)]
    r1, r2 = st[N - 2], st[N - 1]
    for i in range(N):
        st[i] = recursion(st[i], st[(i + POS1) % N], r1, r2)
        r1, r2 = r2, st[i]
    out = []
    for x in st:
        out += words_of(x)
    return out


def certify(w):
    inner = 0
    for k in range(4):
        inner ^= w[k] & PARITY[k]
    if bin(inner).count("1") % 2 == 1:
        return
    for k in range(4):
        for j in range(32):
            if PARITY[k] >> j & 1:
                w[k] ^= 1 << j
                return


def sfmt_init_gen_rand(seed):
    w = [seed & M32]
    for i in range(1, 4 * N):
        w.append((1812433253 * (w[-1] ^ (w[-1] >> 30)) + i) & M32)
    certify(w)
    return w


def sfmt_init_by_array(key):
    n, lag = 4 * N, 11
    mid = (n - lag) // 2
    w = [0x8B8B8B8B] * n
    f1 = lambda x: ((x ^ (x >> 27)) * 1664525) & M32
    f2 = lambda x: ((x ^ (x >> 27)) * 1566083941) & M32
    count = max(len(key) + 1, n)
    r = f1(w[0] ^ w[mid] ^ w[n - 1])
    w[mid] = (w[mid] + r) & M32
    r = (r + len(key)) & M32
    w[mid + lag] = (w[mid + lag] + r) & M32
    w[0] = r
    i = 1
    for j in range(count - 1):
        r = f1(w[i] ^ w[(i + mid) % n] ^ w[(i + n - 1) % n])
        w[(i + mid) % n] = (w[(i + mid) % n] + r) & M32
        r = (r + (key[j] if j < len(key) else 0) + i) & M32
        w[(i + mid + lag) % n] = (w[(i + mid + lag) % n] + r) & M32
        w[i] = r
        i = (i + 1) % n
    for _ in range(n):
        r = f2((w[i] + w[(i + mid) % n] + w[(i + n - 1) % n]) & M32)
        w[(i + mid) % n] ^= r
        r = (r - i) & M32
        w[(i + mid + lag) % n] ^= r
        w[i] = r
        i = (i + 1) % n
    certify(w)
    return w


def sfmt_outputs(w, count):
    out = []
    while len(out) < count:
        w = sfmt_gen_all(w)
        out += w
    return out[:count]


check(sfmt_outputs(sfmt_init_gen_rand(1234), 5) == [3440181298, 1564997079, 1510669302, 2930277156, 1452439940],
      "the scalar SFMT oracle does not reproduce the published init_gen_rand(1234) values")


# ---- the library ----
def stream(brng, key):
    s = C.c_void_p()
    k = (C.c_uint32 * max(1, len(key)))(*key)
    st = lib._druNewStreamEx(C.byref(s), brng, len(key), k)
    check(st == 0, "creation status %d" % st)
    return s


def ints(s, name, sizes):
    f = getattr(lib, "_druiBRng" + name)
    out = []
    for n in sizes:
        buf = (C.c_uint32 * max(n, 1))()
        f(s, n, buf)
        out += list(buf)[:n]
    return out


def reals(s, name, n, a, b):
    f = getattr(lib, "_drudBRng" + name)
    f.argtypes = [C.c_void_p, C.c_int32, C.POINTER(C.c_double), C.c_double, C.c_double]
    buf = (C.c_double * n)()
    f(s, n, buf, a, b)
    return list(buf)


SIZES = [1, 7, 16, 600, 17, 624, 1, 1000, 2048, 3000]
TOTAL = sum(SIZES)


def mt_numpy(key, count):
    bg = np.random.MT19937()
    bg._legacy_seeding(key)  # RandomState(list): mt19937ar's init_by_array
    return [int(v) for v in bg.random_raw(count)]


published = [1067595299, 955945823, 477289528, 4107218783, 4228976476, 3344332714, 3355579695, 227628506,
             810200273, 2591290167]
s = stream(0x800000, [0x123, 0x234, 0x345, 0x456])
got = ints(s, "MT19937", SIZES)
check(got[:10] == published, "MT19937 published init_by_array values %r" % got[:10])
check(got == mt_numpy([0x123, 0x234, 0x345, 0x456], TOTAL), "MT19937 against numpy")
lib._druDeleteStream(C.byref(s))

KEYS = [[0x1234, 0x5678, 0x9ABC, 0xDEF0], [5489], [], list(range(1, 700))]
for key in KEYS:
    for name, brng, oracle in (("MT19937", 0x800000, lambda k: mt_numpy(k or [1], TOTAL + 4000)),
                               ("SFMT19937", 0xD00000, lambda k: sfmt_outputs(sfmt_init_by_array(k or [1]), TOTAL + 4000))):
        want = oracle(key)
        s = stream(brng, key)
        check(ints(s, name, SIZES) == want[:TOTAL], "%s integers, key of %d words" % (name, len(key)))
        for a, b in ((0.0, 1.0), (-2.5, 7.1)):
            got = reals(s, name, 2000, a, b)
            exp = [a + (b - a) * float(u) * 2.0**-32 for u in want[TOTAL:TOTAL + 2000]]
            check(got == exp, "%s reals on [%r, %r), key of %d words" % (name, a, b, len(key)))
            want = want[:TOTAL] + want[TOTAL + 2000:]
        lib._druDeleteStream(C.byref(s))

# SFMT19937 makes whole arrays straight into the caller's buffer, each from the one before
# it there, and keeps the last as its state: fresh streams and calls that start and end on
# array boundaries (eleven arrays in one call); single-precision reals from the state words.
for sizes in ([1248, 5, 1873], [624, 624, 1], [619, 5, 1248, 3], [0, 2496], [7, 7481]):
    want = sfmt_outputs(sfmt_init_by_array([3]), sum(sizes) + 700)
    s = stream(0xD00000, [3])
    check(ints(s, "SFMT19937", sizes) == want[:sum(sizes)], "SFMT19937 integers in calls of %r" % sizes)
    fs = lib._drusBRngSFMT19937
    fs.argtypes = [C.c_void_p, C.c_int32, C.POINTER(C.c_float), C.c_float, C.c_float]
    buf = (C.c_float * 700)()
    fs(s, 700, buf, -1.0, 3.0)
    exp = np.float32(-1.0 + 4.0 * np.array(want[sum(sizes):], dtype=np.float64) * 2.0**-32)
    check(list(np.array(buf[:], dtype=np.float32)) == list(exp), "SFMT19937 floats after calls of %r" % sizes)
    lib._druDeleteStream(C.byref(s))

# Skip-ahead: the stream continues at word N of the oracle sequence.
for name, brng, oracle in (("MT19937", 0x800000, lambda: mt_numpy([7, 8], 40000)),
                           ("SFMT19937", 0xD00000, lambda: sfmt_outputs(sfmt_init_by_array([7, 8]), 40000))):
    want = oracle()
    for skip in (0, 1, 623, 624, 625, 19967, 19968, 30000):
        s = stream(brng, [7, 8])
        check(lib._druSkipAheadStream(s, skip) == 0, "%s skip status" % name)
        check(ints(s, name, [5, 100]) == want[skip:skip + 105], "%s after skip %d" % (name, skip))
        lib._druDeleteStream(C.byref(s))

# Far skips of MT19937 use the polynomial from 2^23 words on: against numpy's sequence.
def mt_numpy_at(key, start, count):
    bg = np.random.MT19937()
    bg._legacy_seeding(key)
    while start > 0:
        step = min(start, 1 << 22)
        bg.random_raw(step)
        start -= step
    return [int(v) for v in bg.random_raw(count)]


for pre, skip in ((0, 2**23 - 1), (0, 2**23), (5, 2**23), (624, 2**23 + 619), (0, 3 * 2**23 + 7)):
    s = stream(0x800000, [7, 8])
    ints(s, "MT19937", [pre] if pre else [])
    check(lib._druSkipAheadStream(s, skip) == 0, "MT19937 skip status")
    check(ints(s, "MT19937", [3, 700]) == mt_numpy_at([7, 8], pre + skip, 703), "MT19937 after %d + skip %d" % (pre, skip))
    lib._druDeleteStream(C.byref(s))

# Both twisters at the helpers' switch points and far out, against the library's own
# generation (itself checked above): skip N, or generate and discard N words.
def discard(s, name, n):
    f = getattr(lib, "_druiBRng" + name)
    buf = (C.c_uint32 * (1 << 22))()
    while n > 0:
        step = min(n, 1 << 22)
        f(s, step, buf)
        n -= step


for name, brng in (("MT19937", 0x800000), ("SFMT19937", 0xD00000)):
    for pre, skip in ((0, 19967), (0, 19968), (3, 19968), (0, 2**23 - 1), (7, 2**23), (0, 10**8)):
        jumped, walked = stream(brng, [0x5EED, 42]), stream(brng, [0x5EED, 42])
        ints(jumped, name, [pre] if pre else [])
        check(lib._druSkipAheadStream(jumped, skip) == 0, "%s skip status" % name)
        discard(walked, name, pre + skip)
        check(ints(jumped, name, [1000]) == ints(walked, name, [1000]), "%s after %d + skip %d" % (name, pre, skip))
        lib._druDeleteStream(C.byref(jumped))
        lib._druDeleteStream(C.byref(walked))

# Far skips compose: a then b lands where a + b does, up to the edge of 64 bits.
for name, brng in (("MT19937", 0x800000), ("SFMT19937", 0xD00000)):
    for a, b in ((2**40, 2**40), (10**15 + 3, 2**50 - 1), (2**62, 2**62 + 2**61 + 12345), (2**63 - 1, 2**63)):
        one, two = stream(brng, [9]), stream(brng, [9])
        check(lib._druSkipAheadStream(one, a) == 0 and lib._druSkipAheadStream(one, b) == 0, "%s skip status" % name)
        check(lib._druSkipAheadStream(two, a + b) == 0, "%s skip status" % name)
        check(ints(one, name, [700]) == ints(two, name, [700]), "%s skip %d then %d against %d" % (name, a, b, a + b))
        lib._druDeleteStream(C.byref(one))
        lib._druDeleteStream(C.byref(two))


# _druPolyRem against Python's big-integer polynomial arithmetic over GF(2).
def poly_terms(stem):
    here = os.path.dirname(os.path.abspath(__file__))
    text = open(os.path.join(here, "..", "..", "rng", "brng", stem + "_poly.inc")).read()
    return [int(v) for v in re.findall(r"(\d+)u", text)]


def gf2_powmod_x(n, phi, degree):
    def mulmod(a, b):
        r = 0
        while b:
            if b & 1:
                r ^= a
            b >>= 1
            a <<= 1
            if a >> degree & 1:
                a ^= phi
        return r
    result, base = 1, 2 if degree > 1 else 2 ^ phi
    while n:
        if n & 1:
            result = mulmod(result, base)
        base = mulmod(base, base)
        n >>= 1
    return result


lib._druPolyRem.argtypes = [C.POINTER(C.c_uint32), C.c_uint64, C.c_int32, C.c_int32, C.POINTER(C.c_uint32)]
for stem, powers in (("mt19937", (0, 5, 19936, 19937, 19938, 2**23, 2**64 - 1)),
                     ("sfmt19937", (19967, 19968, 19969, 39935, 2**40 + 3, 2**64 - 1))):
    terms = poly_terms(stem)
    degree = terms[-1]
    check(len(terms) == {"mt19937": 135, "sfmt19937": 6711}[stem], "%s: %d terms" % (stem, len(terms)))
    phi = sum(1 << e for e in terms)
    t = (C.c_uint32 * len(terms))(*terms)
    for n in powers:
        rem = (C.c_uint32 * ((degree + 31) // 32))()
        check(lib._druPolyRem(rem, n, degree, len(terms), t) == 0, "PolyRem status")
        got = sum(int(w) << (32 * i) for i, w in enumerate(rem))
        check(got == gf2_powmod_x(n, phi, degree), "PolyRem %s x^%d" % (stem, n))
# The carried polynomials annihilate the oracles' sequences: sum over the terms e of
# element k + e is zero (128-bit blocks of the scalar SFMT, numpy's MT19937 words).
sfmt_words = sfmt_outputs(sfmt_init_by_array([3, 1, 4]), 4 * (19968 + 8))
blocks = [blk(sfmt_words, i) for i in range(19968 + 8)]
mt_words = mt_numpy([3, 1, 4], 19937 + 8)
for stem, seq in (("sfmt19937", blocks), ("mt19937", mt_words)):
    terms = poly_terms(stem)
    for k in range(8):
        acc = 0
        for e in terms:
            acc ^= seq[k + e]
        check(acc == 0, "%s polynomial does not annihilate the sequence at %d" % (stem, k))

rem = (C.c_uint32 * 1)()
for bad in ([3, 1, 5], [0, 4]):  # not ascending; not ending with the degree
    check(lib._druPolyRem(rem, 9, 5, len(bad), (C.c_uint32 * len(bad))(*bad)) == -3, "PolyRem accepted %r" % bad)

for f in failures:
    print("FAIL:", f)
print("%d failures" % len(failures))
sys.exit(1 if failures else 0)
