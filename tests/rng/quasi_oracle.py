#!/usr/bin/env python3
"""Sobol and Niederreiter streams of the library against independent references:
Sobol dimensions 1 and 2 against scipy.stats.qmc.Sobol(scramble=False); dimensions 3
to 40 against direction numbers built here from the polynomial table; Niederreiter
against generator matrices built here from reversed-polynomial power series and an
irreducible-polynomial sieve; the (t, m, s)-net property of the first 2^m points; the
caller forms; the real conversion.

Usage: quasi_oracle.py LIBRARY"""
import ctypes as C
import itertools
import os
import sys

import numpy as np
from scipy.stats import qmc

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
import qrng_tables  # noqa: E402  the Sobol table's definition and carry-less arithmetic

lib = C.CDLL(sys.argv[1])
SOBOL, NIEDERR = 0x600000, 0x700000
NAME = {SOBOL: "Sobol", NIEDERR: "Niederr"}
lib._druNewStreamEx.argtypes = [C.POINTER(C.c_void_p), C.c_int32, C.c_int32, C.POINTER(C.c_uint32)]
lib._druSkipAheadStream.argtypes = [C.c_void_p, C.c_uint64]
lib._druLeapfrogStream.argtypes = [C.c_void_p, C.c_int32, C.c_int32]
lib._druDeleteStream.argtypes = [C.POINTER(C.c_void_p)]
for b in NAME.values():
    getattr(lib, "_druiBRng" + b).argtypes = [C.c_void_p, C.c_int32, C.c_void_p]
    getattr(lib, "_drudBRng" + b).argtypes = [C.c_void_p, C.c_int32, C.c_void_p, C.c_double, C.c_double]
    getattr(lib, "_drusBRng" + b).argtypes = [C.c_void_p, C.c_int32, C.c_void_p, C.c_float, C.c_float]

failures = []


def check(ok, what):
    print(("ok    " if ok else "FAIL  ") + what)
    if not ok:
        failures.append(what)


class Stream:
    def __init__(self, brng, words):
        self.brng, self.h = brng, C.c_void_p()
        w = (C.c_uint32 * max(1, len(words)))(*words)
        assert lib._druNewStreamEx(C.byref(self.h), brng, len(words), w) == 0
        self.dim = C.cast(self.h.value + 20, C.POINTER(C.c_uint32))[0]

    def ints(self, n):
        out = np.zeros(n, dtype=np.uint32)
        assert getattr(lib, "_druiBRng" + NAME[self.brng])(self.h, n, out.ctypes.data) == 0
        return out

    def points(self, n):
        return self.ints(n * self.dim).reshape(n, self.dim).astype(np.uint64)

    def word(self, offset):
        return C.cast(self.h.value + offset, C.POINTER(C.c_uint32))[0]

    def __del__(self):
        lib._druDeleteStream(C.byref(self.h))


degree, clmul = qrng_tables.degree, qrng_tables.clmul


def clmod(a, b):
    return qrng_tables.cldivmod(a, b)[1]


def primitive(p):
    """x has order 2^s - 1 modulo p."""
    order, x, k = (1 << degree(p)) - 1, clmod(2, p), 1
    while x != 1 and k <= order:
        x, k = clmod(x << 1, p), k + 1
    return k == order


def gray_points(v, first, count):
    """Points first .. first + count - 1 as the XOR of the direction numbers of the bits
    of the Gray code: v[c][j] is number c of dimension j."""
    n = np.arange(first, first + count, dtype=np.uint64)
    g = n ^ (n >> np.uint64(1))
    x = np.zeros((count, v.shape[1]), dtype=np.uint64)
    for c in range(32):
        x ^= ((g >> np.uint64(c)) & np.uint64(1))[:, None] * v[c][None, :]
    return x


def sobol_v(poly, m):
    """Direction numbers as 32-bit fractions: V_k = a_1 V_(k-1) ^ ... ^ a_(s-1) V_(k-s+1)
    ^ V_(k-s) ^ (V_(k-s) >> s), started from m_k 2^(32-k)."""
    s = degree(poly)
    v = [m[k] << (31 - k) for k in range(min(s, 32))]
    for k in range(s, 32):
        x = v[k - s] ^ (v[k - s] >> s)
        for i in range(1, s):
            if poly >> (s - i) & 1:
                x ^= v[k - i]
        v.append(x)
    return v


def sobol_matrix(d, rows=None):
    cols = [[1 << (31 - c) for c in range(32)]]
    rows = rows or qrng_tables.SOBOL
    cols += [sobol_v(p, m) for p, m in rows[: d - 1]]
    return np.array(cols, dtype=np.uint64).T


def sieve_irreducible(count, top=11):
    composite = set()
    for a in range(2, 1 << (top // 2 + 1)):
        for b in range(a, 1 << top):
            if degree(a) + degree(b) > top:
                break
            composite.add(clmul(a, b))
    return [p for p in range(2, 1 << (top + 1)) if p not in composite][:count]


def reverse(p):
    return int(format(p, "b")[::-1], 2)


def niederr_v(p):
    """Column r of row j: coefficient of y^(r + 1 - j) in 1 / rev(p)^(q + 1), j - 1 = q e + u."""
    e, v = degree(p), [0] * 32
    for j in range(1, 33):
        q = (j - 1) // e
        den = 1
        for _ in range(q + 1):
            den = clmul(den, reverse(p))
        inv = [1]  # power series inverse by its recurrence
        for k in range(1, 32):
            inv.append(sum(inv[k - i] for i in range(1, min(k, degree(den)) + 1) if den >> i & 1) & 1)
        for r in range(j - 1, 32):
            if inv[r + 1 - j]:
                v[r] |= 1 << (32 - j)
    return v


def net_ok(x, m, t):
    """Every elementary interval of volume 2^(t - m) holds 2^t of the 2^m points x."""
    s = x.shape[1]
    for shape in itertools.product(range(m - t + 1), repeat=s):
        if sum(shape) != m - t:
            continue
        cell = np.zeros(len(x), dtype=np.uint64)
        for i, b in enumerate(shape):
            cell = (cell << np.uint64(b)) | (x[:, i] >> np.uint64(32 - b)) if b else cell
        if np.any(np.bincount(cell.astype(np.int64), minlength=1 << (m - t)) != 1 << t):
            return False
    return True


def with_origin(s, m):
    return np.vstack([np.zeros((1, s.dim), dtype=np.uint64), s.points((1 << m) - 1)])


# ---- Sobol --------------------------------------------------------------------------
check(all(primitive(p) and all(mk % 2 and mk < 1 << (k + 1) for k, mk in enumerate(m)) and len(m) == degree(p)
          for p, m in qrng_tables.SOBOL), "Sobol table: primitive polynomials, odd m_k below 2^k")

ref = qmc.Sobol(2, scramble=False, bits=32).random(8192)
got = Stream(SOBOL, [2]).points(8191)
check(np.array_equal(got, (ref[1:] * 2.0**32).astype(np.uint64)), "Sobol dimensions 1, 2 equal scipy's points 1 .. 8191")

V40 = sobol_matrix(40)
s = Stream(SOBOL, [40])
check(np.array_equal(s.points(5000), gray_points(V40, 1, 5000)), "Sobol 40 dimensions, points 1 .. 5000")
far = 100_000_000 + 12345  # near the value limit: 40 (far + 50) < 2^32
assert lib._druSkipAheadStream(s.h, far - 5001) == 0
check(np.array_equal(s.points(50), gray_points(V40, far, 50)), "Sobol 40 dimensions after skip-ahead to point 100,012,345")
check(net_ok(with_origin(Stream(SOBOL, [3]), 12), 12, 1), "Sobol dimensions 1 .. 3: (1, 12, 3)-net")

rows = [(p, [1] * degree(p)) for p, _ in qrng_tables.SOBOL[:9]]
form1 = Stream(SOBOL, [10, 1, 1] + [p for p, _ in rows])
check(np.array_equal(form1.points(3000), gray_points(sobol_matrix(10, rows), 1, 3000)), "Sobol form 1: m_k = 1")

# ---- Niederreiter ---------------------------------------------------------------------
polys = sieve_irreducible(318)
s = Stream(NIEDERR, [318])
check([s.word(1344 + 132 * j) for j in range(318)] == polys, "Niederr: dimension i on the i-th irreducible polynomial")
VN = np.array([niederr_v(p) for p in polys], dtype=np.uint64).T
check(np.array_equal(s.points(1000), gray_points(VN, 1, 1000)), "Niederr 318 dimensions, points 1 .. 1000")
assert lib._druSkipAheadStream(s.h, 3_000_000_000 // 318 - 1001) == 0
first = 3_000_000_000 // 318
check(np.array_equal(s.points(20), gray_points(VN, first, 20)), "Niederr 318 dimensions after skip-ahead")

t4 = sum(degree(p) - 1 for p in polys[:4])
check(net_ok(with_origin(Stream(NIEDERR, [4]), 12), 12, t4), "Niederr dimensions 1 .. 4: (%d, 12, 4)-net" % t4)
pair = []
for k in (29, 59):  # dimensions 30 and 60 alone, by coordinate selection
    q = Stream(NIEDERR, [60])
    assert lib._druLeapfrogStream(q.h, k, 0x7FFFFFFF) == 0
    pair.append(np.concatenate([[0], q.ints((1 << 17) - 1)]).astype(np.uint64))
t2 = degree(polys[29]) + degree(polys[59]) - 2
check(net_ok(np.stack(pair, axis=1), 17, t2), "Niederr dimensions 30 and 60: (%d, 17, 2)-net" % t2)

ready = Stream(SOBOL, [20, 1, 11] + [int(w) for w in VN[:, :20].T.reshape(-1)])
check(np.array_equal(ready.points(2000), Stream(NIEDERR, [20]).points(2000)),
      "Sobol form 11 with Niederreiter's direction numbers is the Niederreiter sequence")

# ---- real output ------------------------------------------------------------------------
for brng in (SOBOL, NIEDERR):
    a, b, c = Stream(brng, [7]), Stream(brng, [7]), Stream(brng, [7])
    words, d, f = a.ints(7000), np.zeros(7000), np.zeros(7000, dtype=np.float32)
    assert getattr(lib, "_drudBRng" + NAME[brng])(b.h, 7000, d.ctypes.data, -1.5, 2.0) == 0
    assert getattr(lib, "_drusBRng" + NAME[brng])(c.h, 7000, f.ctypes.data, 0.0, 1.0) == 0
    want = -1.5 + (3.5 * words.astype(np.float64)) * 2.0**-32
    check(np.array_equal(d, want) and np.array_equal(f, (words * 2.0**-32).astype(np.float32)),
          NAME[brng] + ": reals a + (b - a) x 2^-32")

# ---- whole points in groups of registers -------------------------------------------------
# Points run in groups of up to 128 coordinates over blocks of 32 points, and dimensions
# that are a multiple of the values per 64-byte line first fill the line the output starts
# in: every group width, the last register's lane count, output offsets from a line, calls
# starting and ending inside a point and after a skip, in each output type.
def aligned_view(n, dtype, offset):
    """n values of dtype starting offset values after a 64-byte boundary."""
    size = np.dtype(dtype).itemsize
    raw = np.zeros(n * size + 64 + offset * size, dtype=np.uint8)
    start = (-raw.ctypes.data) % 64 + offset * size
    return raw[start:start + n * size].view(dtype)


# Dimensions up to 16 run in blocks of sixteen points from an index 16k - 1: each
# dimension, the call starting inside a point and a block, after a skip into a block.
GROUPS = ((1000, "d", 3, 0, 0), (1000, "d", 0, 517, 0), (136, "d", 5, 130, 9), (129, "d", 7, 1, 0),
          (256, "d", 1, 0, 31), (255, "s", 9, 254, 0), (160, "s", 11, 7, 40), (144, "i", 13, 100, 3),
          (17, "d", 6, 16, 0))
BLOCKS = tuple((d, "dsi"[d % 3], (3 * d) % 16, (5 * d) % (2 * d + 1), d % 5 * 7) for d in range(1, 17))
# The block pattern at every phase of the output from a register (8 lanes of reals, 16 of
# words): from a fresh stream the blocks start after point 15, at output offset + 15 d.
PHASES = tuple((d, kind, offset, 0, 0)
               for d in range(1, 17) for kind in "dsi" for offset in range(8 if kind != "i" else 16))

# Blocks whose points cross indices 2^27, 2^28 and 2^30: the moves of the high rows.
FAR = ((10, "d", 3, 0, (1 << 28) - 40), (3, "i", 5, 1, (1 << 30) - 30), (16, "s", 0, 7, (1 << 27) - 20))


def check_call(d, kind, offset, before, skip):
    rows = [(7, [1, 1])] * (d - 1) if d > 16 else qrng_tables.SOBOL
    q = Stream(SOBOL, [d, 1, 1] + [7] * (d - 1) if d > 16 else [d])
    head = q.ints(before) if before else np.zeros(0, dtype=np.uint32)
    if skip:
        assert lib._druSkipAheadStream(q.h, skip) == 0
    n = 70 * d + 11  # more than two blocks of points (of either kind), ending inside a point
    first = before + skip * d  # flat position of the call's first value
    p0, p1 = first // d, (first + n + d - 1) // d
    flat = gray_points(sobol_matrix(d, rows), p0 + 1, p1 - p0).reshape(-1)
    want = flat[first - p0 * d:first - p0 * d + n]
    ok = np.array_equal(head.astype(np.uint64), gray_points(sobol_matrix(d, rows), 1, before // d + 1).reshape(-1)[:before])
    if kind == "d":
        out = aligned_view(n, np.float64, offset)
        assert lib._drudBRngSobol(q.h, n, out.ctypes.data, 0.0, 1.0) == 0
        ok &= np.array_equal(out, want.astype(np.float64) * 2.0**-32)
        out2 = aligned_view(n, np.float64, offset)
        assert lib._drudBRngSobol(q.h, n, out2.ctypes.data, -2.0, 5.0) == 0
        nxt = gray_points(sobol_matrix(d, rows), (first + n) // d + 1, n // d + 2).reshape(-1)
        nxt = nxt[(first + n) % d:(first + n) % d + n]
        ok &= np.array_equal(out2, -2.0 + (7.0 * nxt.astype(np.float64)) * 2.0**-32)
    elif kind == "s":
        out = aligned_view(n, np.float32, offset)
        assert lib._drusBRngSobol(q.h, n, out.ctypes.data, 0.0, 1.0) == 0
        ok &= np.array_equal(out, (want.astype(np.float64) * 2.0**-32).astype(np.float32))
    else:
        out = aligned_view(n, np.uint32, offset)
        assert lib._druiBRngSobol(q.h, n, out.ctypes.data) == 0
        ok &= np.array_equal(out.astype(np.uint64), want)
    check(ok, "Sobol d %d, %s output %d values off a line, after %d values and a skip of %d points"
          % (d, kind, offset, before, skip))



for case in GROUPS + BLOCKS + PHASES + FAR:
    check_call(*case)

sys.exit(1 if failures else 0)
