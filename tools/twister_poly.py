#!/usr/bin/env python3
"""Characteristic polynomials of the Mersenne twisters' one-step maps. MT19937 steps
one word: Berlekamp-Massey on bit 0 of its output words finds the degree-19937
polynomial, its characteristic polynomial on the 19937 bits that matter. SFMT19937
steps one 128-bit block: Berlekamp-Massey on bit 0 of the first word of each block
finds the degree-19965 minimal polynomial m; the characteristic polynomial of the
19968-bit map is m q, with q = det M(x) / m(x) of degree 3, where M(x) = x^156 I +
D x^155 + C x^154 + B x^122 + L is the 128 x 128 matrix of the block recurrence
(r_{i+156} = L r_i + B r_{i+122} + C r_{i+154} + D r_{i+155}), whose determinant is the
characteristic polynomial. det M is evaluated at a root of three irreducible
polynomials of prime degree (31, 29, 61), q read off in the first and checked in the
others. The streams start from a fixed pseudo-random state loaded as a stream image,
so every component of the state shows in the sequence. Writes the exponents of the
non-zero coefficients, ascending, as C initialisers.

Usage: twister_poly.py LIBRARY OUT_DIR          write mt19937_poly.inc, sfmt19937_poly.inc
       twister_poly.py LIBRARY OUT_DIR --check  exit 1 unless the files are what it writes"""
import ctypes as C
import os
import random
import struct
import sys

lib = C.CDLL(sys.argv[1])
lib._druLoadStreamM.argtypes = [C.POINTER(C.c_void_p), C.c_void_p]
lib._druDeleteStream.argtypes = [C.POINTER(C.c_void_p)]

GENERATORS = [
    # file stem, name, identifier, state words after the array, degree, words per step
    ("mt19937", "MT19937", 0x800000, [624, 0], 19937, 1),
    ("sfmt19937", "SFMT19937", 0xD00000, [0, 0, 0, 0, 624, 1], 19965, 4),
]

M32, M128 = 0xFFFFFFFF, (1 << 128) - 1
SFMT_MASK = (0xDFFFFFEF, 0xDDFECB7F, 0xBFFAFFFF, 0xBFFFFFF6)
# x^31 + x^3 + 1, x^29 + x^2 + 1, x^61 + x^5 + x^2 + x + 1
FIELDS = [(1 << 31) | 9, (1 << 29) | 5, (1 << 61) | 0x27]


def clmul(a, b):
    r = 0
    while b:
        if b & 1:
            r ^= a
        a, b = a << 1, b >> 1
    return r


def pmod(a, r):
    dr = r.bit_length() - 1
    while a.bit_length() - 1 >= dr:
        a ^= r << (a.bit_length() - 1 - dr)
    return a


def words(x):
    return [(x >> (32 * k)) & M32 for k in range(4)]


def join(w):
    return sum(v << (32 * k) for k, v in enumerate(w))


# The block recurrence's linear maps, keyed by the lag of the block they act on.
SFMT_TERMS = {
    0: lambda a: a ^ ((a << 8) & M128),
    122: lambda b: join([(w >> 11) & SFMT_MASK[k] for k, w in enumerate(words(b))]),
    154: lambda c: c >> 8,
    155: lambda d: join([(w << 18) & M32 for w in words(d)]),
}


class Field:
    """GF(2)[x] / r for r irreducible of prime degree k (x^(2^k) = x mod r, r(0) = r(1) = 1)."""

    def __init__(self, r):
        self.r, self.k = r, r.bit_length() - 1
        x = 2
        for _ in range(self.k):
            x = self.mul(x, x)
        assert x == 2 and r & 1 and bin(r).count("1") % 2, "not irreducible: %#x" % r

    def mul(self, a, b):
        return pmod(clmul(a, b), self.r)

    def inv(self, a):
        e, res = (1 << self.k) - 2, 1
        while e:
            if e & 1:
                res = self.mul(res, a)
            a, e = self.mul(a, a), e >> 1
        return res


def sfmt_det(f):
    """det M(alpha) in the field f, alpha its generator, by Gaussian elimination."""
    xp = {e: pmod(1 << e, f.r) for e in (0, 122, 154, 155, 156)}
    m = [[xp[156] if i == j else 0 for j in range(128)] for i in range(128)]
    for lag, op in SFMT_TERMS.items():
        for j in range(128):
            col = op(1 << j)
            for i in range(128):
                if col >> i & 1:
                    m[i][j] ^= xp[lag]
    det = 1
    for c in range(128):
        p = next(i for i in range(c, 128) if m[i][c])
        m[c], m[p] = m[p], m[c]
        det = f.mul(det, m[c][c])
        pivot = [f.mul(f.inv(m[c][c]), v) for v in m[c]]
        for i in range(c + 1, 128):
            if m[i][c]:
                fac, row = m[i][c], m[i]
                for j in range(c, 128):
                    if pivot[j]:
                        row[j] ^= f.mul(fac, pivot[j])
    return det


def sfmt_characteristic(minimal, degree):
    """minimal times the cofactor q of degree - deg(minimal), found in FIELDS[0], checked in the rest."""
    fields = [Field(r) for r in FIELDS]
    f0 = fields[0]
    q = f0.mul(sfmt_det(f0), f0.inv(pmod(minimal, f0.r)))
    assert q.bit_length() - 1 == degree - (minimal.bit_length() - 1), "cofactor %#x" % q
    char = clmul(minimal, q)
    for f in fields[1:]:
        assert pmod(char, f.r) == sfmt_det(f), "determinant differs in GF(2)[x] / %#x" % f.r
    return char


CHARACTERISTIC = {"SFMT19937": 19968}


def stream_from(brng, words, tail):
    state = struct.pack("<%dI" % (len(words) + len(tail)), *(words + tail))
    image = bytes([2, 0, 0, 0]) + b"RNG\0" + struct.pack("<HHIHHI", 24, 0, len(state), 0, 0, brng) + state
    s = C.c_void_p()
    buf = C.create_string_buffer(image, len(image))
    assert lib._druLoadStreamM(C.byref(s), buf) == 0
    return s


def berlekamp_massey(bits):
    """Connection polynomial C (bit i = coefficient of x^i) and its length L."""
    c, b, length, m = 1, 1, 0, 1
    window, keep = 0, (1 << (len(bits) // 2 + 2)) - 1  # bit i of window = bits[n - i]
    for n, s in enumerate(bits):
        window = ((window << 1) | s) & keep
        d = (c & window).bit_count() & 1
        if d == 0:
            m += 1
        elif 2 * length <= n:
            t = c
            c ^= b << m
            length, b, m = n + 1 - length, t, 1
        else:
            c ^= b << m
            m += 1
    return c, length


def exponents(name, brng, tail, degree, step_words):
    rnd = random.Random(19937)
    s = stream_from(brng, [rnd.getrandbits(32) for _ in range(624)], tail)
    count = 2 * 19968 * step_words + 624
    buf = (C.c_uint32 * count)()
    getattr(lib, "_druiBRng" + name)(s, count, buf)
    lib._druDeleteStream(C.byref(s))
    bits = [buf[k] & 1 for k in range(0, count, step_words)]
    c, length = berlekamp_massey(bits)
    assert length == degree, "%s: sequence of linear complexity %d" % (name, length)
    # The minimal polynomial is the reciprocal of the connection polynomial.
    minimal = sum(1 << (length - i) for i in range(length + 1) if c >> i & 1)
    if name in CHARACTERISTIC:
        minimal = sfmt_characteristic(minimal, CHARACTERISTIC[name])
    return [i for i in range(minimal.bit_length()) if minimal >> i & 1]


def text(exps):
    rows = [", ".join("%du" % e for e in exps[i:i + 10]) for i in range(0, len(exps), 10)]
    return ("// Generated by tools/twister_poly.py from the library's own output; %d exponents.\n"
            % len(exps)) + ",\n".join(rows) + "\n"


def main():
    out_dir, check = sys.argv[2], "--check" in sys.argv
    stale = 0
    for stem, name, brng, tail, degree, step in GENERATORS:
        path = os.path.join(out_dir, stem + "_poly.inc")
        want = text(exponents(name, brng, tail, degree, step))
        if check:
            if not os.path.exists(path) or open(path).read() != want:
                print("stale:", path)
                stale = 1
        else:
            open(path, "w").write(want)
    sys.exit(stale)


main()
