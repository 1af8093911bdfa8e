#!/usr/bin/env python3
"""Writes zar/kernels/trig_data.h: the constants, tables and polynomials of the circular
kernels, every constant as an exact bit pattern.

  python3 tools/trig_gen.py > zar/kernels/trig_data.h

  kInvTwoPi:    the binary fraction of 1/(2 pi) in 64-bit words, most significant first,
                after one zero word (bit k of the stream, counted from the top of word 0,
                has weight 2^(63 - k)); computed with Python integers from mpmath's pi at
                4,000 bits, so every bit shown is exact.
  kPi16:        pi/16 in three parts: the double nearest, the remainder rounded to a multiple
                of 2^-85 (29 bits, so N P2 is exact for N < 2^24), and the rounded rest.
  kPi16_s:      pi/16 in three float parts, the first two rounded down so all three are
                positive (x - N P1 - N P2 - N P3 then keeps the sign of a zero x).
  kSinHi/Lo, kCosHi/Lo: sin(j pi/16), cos(j pi/16), j = 0..15, high part rounded to nearest,
                low part the rounded remainder; the float tables (suffix _s) run j = 0..31, a
                whole period, so their entries carry the sign.
  kFloatWindow0/1: for float arguments above 2, by the group k = (E - 1) >> 3 of their
                exponent E (2^E <= |x| < 2^(E+1)): the bits of 16/pi of weights 2^(26-8k)
                down to 2^(-26-8k) and the 53 bits after them. Higher bits times such a float
                are multiples of 32, so x (window 0 + window 1) is x 16/pi mod 32 to 2^-69.
  kTanHi/Lo:    tan(k pi/16) for the row j = 0..15 of Tan, k = j - 8 for j = 4..11 (those rows
                take the cotangent) and k = j, j - 16 otherwise, so |k| <= 4; high and low parts.
                tan 0 is stored as -0, so T_0 + t keeps the sign of a zero t.
  kTanSigned:   the high parts with the sign of the cotangent rows flipped.
  kHalfTurn, kDegree: pi and pi/180 in two parts, the units of Sinpi and Sind.
  kCosHalfTurn*, kCosDegree*: the HA tables and polynomials of those units, whose reduced
                argument is f with r = u f (u the unit): cos(j pi/16) u in two parts, and the
                sine and cosine polynomials above with the coefficient of r^(2k) times
                u^(2k+2), so that sin r - r = u f^3 S(f^2) and cos r - 1 = f^2 C(f^2).
  polynomials:  near-minimax (Chebyshev fits in u = r^2, mpmath at 200 bits) on
                |r| <= pi/32 (1 + 2^-20) of (sin r - r) / r^3, (cos r - 1) / r^2 and
                (tan r - r) / r^3.
"""
import os
import struct
import sys

import mpmath as mp

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from explog_gen import emit_array, split  # noqa: E402

mp.mp.prec = 200

WORDS = 21  # zero word + 20: covers exponents up to 1023 with a 192-bit window


def inv_two_pi_words():
    with mp.workprec(4000):
        g = 1 / (2 * mp.pi)
        bits = int(mp.floor(g * mp.mpf(2) ** (64 * (WORDS - 1))))
    words = [0] + [(bits >> (64 * (WORDS - 2 - k))) & (2 ** 64 - 1) for k in range(WORDS - 1)]
    return words


def float_window(w):
    """Window w (0 or 1) of 16/pi for the exponent groups k = 0..15: 53 bits whose top has
    weight 2^(26 - 8k - 53 w)."""
    with mp.workprec(4000):
        v = 16 / mp.pi
        out = []
        for k in range(16):
            top = 26 - 8 * k - 53 * w
            bits = int(mp.floor(v * mp.mpf(2) ** (52 - top))) % 2 ** 53
            out.append(mp.mpf(bits) * mp.mpf(2) ** (top - 52))
    return out


def pi16_parts():
    p = mp.pi / 16
    p1 = mp.mpf(float(p))
    p2 = mp.nint((p - p1) * mp.mpf(2) ** 85) / mp.mpf(2) ** 85
    p3 = mp.mpf(float(p - p1 - p2))
    return [p1, p2, p3]


def to_f(x):
    return struct.unpack("<f", struct.pack("<f", float(x)))[0]


def float_down(x):
    """The largest float at most x (x > 0)."""
    f = mp.mpf(to_f(x))
    while f > x:
        f = mp.mpf(struct.unpack("<f", struct.pack("<I", struct.unpack("<I", struct.pack("<f", float(f)))[0] - 1))[0])
    return f


def fit(kind, n, rnd=float):
    """Coefficients (ascending in u = r^2) of (sin r - r)/r^3, (cos r - 1)/r^2 or
    (tan r - r)/r^3, and the largest error relative to sin r, cos r, resp. tan r."""
    w = (mp.pi / 32) * (1 + mp.mpf(2) ** -20)
    if kind == "sin":
        g = lambda u: (mp.sin(mp.sqrt(u)) - mp.sqrt(u)) / u ** mp.mpf(1.5) if u > mp.mpf(2) ** -80 else -mp.mpf(1) / 6
    elif kind == "tan":
        g = lambda u: (mp.tan(mp.sqrt(u)) - mp.sqrt(u)) / u ** mp.mpf(1.5) if u > mp.mpf(2) ** -80 else mp.mpf(1) / 3
    else:
        g = lambda u: (mp.cos(mp.sqrt(u)) - 1) / u if u > mp.mpf(2) ** -80 else -mp.mpf(1) / 2
    cs = [mp.mpf(rnd(c)) for c in mp.chebyfit(g, [0, w * w], n)[::-1]]
    worst = 0
    for i in range(1, 2001):
        r = w * i / 2000
        u = r * r
        q = sum(c * u ** k for k, c in enumerate(cs))
        if kind in ("sin", "tan"):
            f = mp.sin if kind == "sin" else mp.tan
            worst = max(worst, abs((r + r ** 3 * q) / f(r) - 1))
        else:
            worst = max(worst, abs((1 + u * q) / mp.cos(r) - 1))
    return cs, float(worst)


def unit_tables():
    out = []
    exact = lambda c: c
    for unit, u in (("HalfTurn", mp.pi), ("Degree", mp.pi / 180)):
        for t, ctype, is_float, n in (("", "uint64_t", False, 4), ("_s", "uint32_t", True, 2)):
            rnd = to_f if is_float else float
            parts = [split(mp.cospi(mp.mpf(j) / 16) * u, is_float) for j in range(32 if is_float else 16)]
            out.append("// cos(j pi/16) times the unit %s, high and low parts" % unit)
            out.append(emit_array("kCos%sHi%s" % (unit, t), ctype, [p[0] for p in parts], is_float))
            out.append(emit_array("kCos%sLo%s" % (unit, t), ctype, [p[1] for p in parts], is_float))
            for kind in ("sin", "cos"):
                cs, err = fit(kind, n, exact)
                scaled = [mp.mpf(rnd(c * u ** (2 * k + 2))) for k, c in enumerate(cs)]
                out.append("// %s of r = %s f in f, %d terms, max relative error %.3g before rounding the coefficients"
                           % (kind, unit, n, err))
                out.append(emit_array("k%s%sPoly%s" % (kind.capitalize(), unit, t), ctype, scaled, is_float))
    return out


def tan_high(parts, j):
    """High part of row j (-0 for tan 0), negated in the cotangent rows when signed."""
    return -0.0 if parts[j][0] == 0 else parts[j][0]


def tan_signed(parts, j):
    h = tan_high(parts, j)
    return -h if 4 <= j <= 11 else h


def tan_row(j):
    """k of row j of the tangent table: the cotangent rows j = 4..11 shift by 8."""
    return j - 8 if 4 <= j <= 11 else (j if j < 4 else j - 16)


def main():
    out = ["// Generated by tools/trig_gen.py; do not edit.", "// python3 tools/trig_gen.py > zar/kernels/trig_data.h",
           "#pragma once", "#include <cstdint>", "", "namespace nrx::zar::trig {", ""]
    words = inv_two_pi_words()
    out.append("// 1/(2 pi) as a binary fraction: a zero word, then bits 2^-1 .. 2^-%d" % (64 * (WORDS - 1)))
    out.append("alignas(64) inline constexpr uint64_t kInvTwoPi[] = {")
    out += ["    0x%016Xull," % w for w in words]
    out.append("};\n")
    out.append("// 16/pi, and pi/16 = P1 + P2 + P3 (P2 a multiple of 2^-85)")
    out.append(emit_array("kSixteenOverPi", "uint64_t", [16 / mp.pi], False))
    out.append(emit_array("kPi16", "uint64_t", pi16_parts(), False))
    sh, sl, ch, cl = [], [], [], []
    for j in range(16):
        a, b = split(mp.sinpi(mp.mpf(j) / 16), False)
        sh.append(a), sl.append(b)
        a, b = split(mp.cospi(mp.mpf(j) / 16), False)
        ch.append(a), cl.append(b)
    out.append("// sin(j pi/16) and cos(j pi/16), j = 0..15, high and low parts")
    out.append(emit_array("kSinHi", "uint64_t", sh, False))
    out.append(emit_array("kSinLo", "uint64_t", sl, False))
    out.append(emit_array("kCosHi", "uint64_t", ch, False))
    out.append(emit_array("kCosLo", "uint64_t", cl, False))
    tan_parts = [split(mp.tan(mp.pi * tan_row(j) / 16), False) for j in range(16)]
    out.append("// tan(k pi/16) of row j = 0..15 (k = j - 8 for the cotangent rows 4..11), high and low parts")
    out.append(emit_array("kTanHi", "uint64_t", [tan_high(tan_parts, j) for j in range(16)], False))
    out.append(emit_array("kTanLo", "uint64_t", [p[1] for p in tan_parts], False))
    out.append(emit_array("kTanSigned", "uint64_t", [tan_signed(tan_parts, j) for j in range(16)], False))
    for name, kind, n in (("kSinPoly", "sin", 4), ("kCosPoly", "cos", 4), ("kSinPolyShort", "sin", 2),
                          ("kCosPolyShort", "cos", 2), ("kTanPoly", "tan", 5), ("kTanPolyShort", "tan", 4)):
        cs, err = fit(kind, n)
        what = {"sin": "sin r = r + r^3 (c[0] + c[1] r^2 + ...)", "cos": "cos r = 1 + r^2 (c[0] + c[1] r^2 + ...)",
                "tan": "tan r = r + r^3 (c[0] + c[1] r^2 + ...)"}[kind]
        out.append("// %s, %d terms on |r| <= pi/32, max relative error %.3g" % (what, n, err))
        out.append(emit_array(name, "uint64_t", cs, False))
    # Float: the same reduction and tables in single precision (P2, P3 the float remainders).
    p = mp.pi / 16
    f1 = float_down(p)
    f2 = float_down(p - f1)
    f3 = mp.mpf(to_f(p - f1 - f2))
    out.append("// Float: 16/pi, pi/16 = P1 + P2 + P3, sin(j pi/16) and cos(j pi/16)")
    out.append(emit_array("kSixteenOverPi_s", "uint32_t", [16 / mp.pi], True))
    out.append(emit_array("kPi16_s", "uint32_t", [f1, f2, f3], True))
    for name, f in (("Sin", mp.sinpi), ("Cos", mp.cospi)):
        parts = [split(f(mp.mpf(j) / 16), True) for j in range(32)]
        out.append(emit_array("k%sHi_s" % name, "uint32_t", [p[0] for p in parts], True))
        out.append(emit_array("k%sLo_s" % name, "uint32_t", [p[1] for p in parts], True))
    tan_parts = [split(mp.tan(mp.pi * tan_row(j) / 16), True) for j in range(16)]
    out.append(emit_array("kTanHi_s", "uint32_t", [tan_high(tan_parts, j) for j in range(16)], True))
    out.append(emit_array("kTanLo_s", "uint32_t", [p[1] for p in tan_parts], True))
    out.append(emit_array("kTanSigned_s", "uint32_t", [tan_signed(tan_parts, j) for j in range(16)], True))
    out.append("// Float arguments above 2: 16/pi cut by the exponent group k = 0..15 (two 53-bit windows)")
    for name, w in (("kFloatWindow0", 0), ("kFloatWindow1", 1)):
        out.append(emit_array(name, "uint64_t", float_window(w), False))
    out.append("// pi and pi/180 in two parts (high rounded to nearest, low the rounded rest)")
    for name, u in (("kHalfTurn", mp.pi), ("kDegree", mp.pi / 180)):
        out.append(emit_array(name, "uint64_t", split(u, False), False))
        out.append(emit_array(name + "_s", "uint32_t", split(u, True), True))
    for name, kind, n in (("kSinPoly_s", "sin", 2), ("kCosPoly_s", "cos", 2), ("kSinPolyEP_s", "sin", 1),
                          ("kCosPolyEP_s", "cos", 1), ("kTanPoly_s", "tan", 3), ("kTanPolyShort_s", "tan", 2)):
        cs, err = fit(kind, n, to_f)
        out.append("// float %s, %d terms, max relative error %.3g" % (kind, n, err))
        out.append(emit_array(name, "uint32_t", cs, True))
    out += unit_tables()
    out.append("}  // namespace nrx::zar::trig")
    sys.stdout.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main()
