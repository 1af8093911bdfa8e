#!/usr/bin/env python3
"""Writes zar/kernels/explog_data.h: the tables and polynomial coefficients of the
exponential and logarithm kernels, every constant as an exact bit pattern.

  python3 tools/explog_gen.py > zar/kernels/explog_data.h

Tables (high part rounded to nearest, low part the rounded remainder):
  exp2_<t>:  2^(j/N), j = 0..N-1 (N = 16 for double, 32 for float)
  ln_<t>, log2_<t>, log10_<t>: log_b(1/c) for c = k/32; entry k & 15 for k = 17..32 (k = 16,
             c = 1/2, uses entry 0 with the exponent raised by one). The high parts are
             rounded to a multiple of 2^-37 (double) or 2^-12 (float), like the high parts of
             log_b(2), so e*log_b(2)_hi + table_hi is exact for every exponent e.
  cbrt2_<t>: 2^(j/3), j = 0..2; cbrt_<t>, invcbrt_<t>, pow2o3_<t>: (32/k)^(p/3), p = 1, -1, 2,
             for the same k as the logarithm tables.
Polynomials are near-minimax (Chebyshev fits, mpmath at 200 bits) of
  q(r) = (f(r) - r) / r^2, so f(r) = r + r^2 q(r), f = e^r - 1 or ln(1 + r);
the fitted maximum relative error of each is printed beside it; the cube-root powers fit
  ((1 + r)^a - 1) / r directly.
The logarithm coefficients of double HA are the published set kept verbatim.
"""
import struct

import mpmath as mp

mp.mp.prec = 200


def bits_d(x):
    return struct.unpack("<Q", struct.pack("<d", float(x)))[0]


def bits_f(x):
    return struct.unpack("<I", struct.pack("<f", float(x)))[0]


def to_f(x):
    return struct.unpack("<f", struct.pack("<f", float(x)))[0]


def round_to(x, q):
    """x rounded to the nearest multiple of 2^-q."""
    return mp.nint(x * mp.mpf(2) ** q) / mp.mpf(2) ** q


def emit_array(name, ctype, values, is_float):
    fmt = (lambda v: "0x%08Xu" % bits_f(v)) if is_float else (lambda v: "0x%016Xull" % bits_d(v))
    body = "\n".join("    %s,  // %.17g" % (fmt(v), float(v)) for v in values)
    return "alignas(64) inline constexpr %s %s[] = {\n%s\n};\n" % (ctype, name, body)


def split(x, is_float, hi_bits=None):
    rnd = to_f if is_float else float
    hi = mp.mpf(rnd(round_to(x, hi_bits))) if hi_bits else mp.mpf(rnd(x))
    lo = rnd(x - hi)
    return hi, mp.mpf(lo)


def exp_table(n, is_float):
    his, los = [], []
    for j in range(n):
        hi, lo = split(mp.mpf(2) ** (mp.mpf(j) / n), is_float)
        his.append(hi)
        los.append(lo)
    return his, los


def log_table(base, is_float):
    his, los = [], []
    for idx in range(16):
        k = 32 if idx == 0 else 16 + idx
        v = mp.log(mp.mpf(32) / k) / mp.log(base)
        hi, lo = split(v, is_float, 12 if is_float else 37)
        his.append(hi)
        los.append(lo)
    return his, los


def fit(f, lo, hi, degree, is_float):
    """Coefficients c2.. of f(r) = r + c2 r^2 + ..., fitted to q(r) = (f(r) - r) / r^2."""
    q = lambda r: (f(r) - r) / r ** 2 if abs(r) > mp.mpf(2) ** -60 else q0(f)
    coeffs = mp.chebyfit(q, [lo, hi], degree - 1)[::-1]  # ascending
    rnd = to_f if is_float else float
    cs = [mp.mpf(rnd(c)) for c in coeffs]
    worst = 0
    for i in range(2001):
        r = lo + (hi - lo) * i / 2000
        if r == 0:
            continue
        p = r + r * r * sum(c * r ** k for k, c in enumerate(cs))
        worst = max(worst, abs(p / f(r) - 1))
    return cs, float(worst)


def q0(f):
    return (f(mp.mpf(2) ** -80) - mp.mpf(2) ** -80) / mp.mpf(2) ** -160


EXPM1 = lambda r: mp.expm1(r)
LOG1P = lambda r: mp.log1p(r)


def fit_power(a, w, degree, is_float):
    """Coefficients c0.. of ((1 + r)^a - 1) / r on [-w, w], so (1 + r)^a - 1 = r (c0 + c1 r + ...)."""
    g = lambda r: ((1 + r) ** a - 1) / r if abs(r) > mp.mpf(2) ** -60 else a
    coeffs = mp.chebyfit(g, [-w, w], degree)[::-1]
    rnd = to_f if is_float else float
    cs = [mp.mpf(rnd(c)) for c in coeffs]
    worst = 0
    for i in range(2001):
        r = -w + 2 * w * i / 2000
        if r == 0:
            continue
        p = r * sum(c * r ** k for k, c in enumerate(cs))
        worst = max(worst, abs(p / ((1 + r) ** a - 1) - 1) * abs(((1 + r) ** a - 1) / (1 + r) ** a))
    return cs, float(worst)


def pow_log_tail(degree, is_float=False):
    """Coefficients of (ln(1 + r) - r + r^2/2) / r^3 on [-1/30, 1/30] for the power's logarithm."""
    w = mp.mpf(1) / 30
    g = lambda r: (mp.log1p(r) - r + r * r / 2) / r ** 3 if abs(r) > mp.mpf(2) ** -40 else mp.mpf(1) / 3 - r / 4
    rnd = to_f if is_float else float
    cs = [mp.mpf(rnd(c)) for c in mp.chebyfit(g, [-w, w], degree)[::-1]]
    worst = 0
    for i in range(2001):
        r = -w + 2 * w * i / 2000
        if r == 0:
            continue
        p = r - r * r / 2 + r ** 3 * sum(c * r ** k for k, c in enumerate(cs))
        worst = max(worst, abs(p / mp.log1p(r) - 1))
    return cs, float(worst)


def root_tables():
    """Tables of the cube-root powers x^(p/3), p = 1, -1, 2 (Cbrt, InvCbrt, Pow2o3)."""
    out = []
    w = mp.mpf(1) / 30
    degrees = {"d": {"HA": 9, "LA": 8, "EP": 4}, "s": {"HA": 4, "LA": 3, "EP": 2}}
    for is_float, t in ((False, "d"), (True, "s")):
        ctype = "uint32_t" if is_float else "uint64_t"
        his, los = zip(*(split(mp.mpf(2) ** (mp.mpf(j) / 3), is_float) for j in range(3)))
        out.append("// 2^(j/3), j = 0..2")
        out.append(emit_array("kCbrt2Hi_%s" % t, ctype, list(his) + [0] * 5, is_float))
        out.append(emit_array("kCbrt2Lo_%s" % t, ctype, list(los) + [0] * 5, is_float))
        for name, p in (("Cbrt", 1), ("InvCbrt", -1), ("Pow2o3", 2)):
            a = mp.mpf(p) / 3
            vals = [(mp.mpf(32) / (32 if i == 0 else 16 + i)) ** a for i in range(16)]
            his, los = zip(*(split(v, is_float) for v in vals))
            out.append("// (32/k)^(%d/3) for k = 32, 17..31" % p)
            out.append(emit_array("k%sTabHi_%s" % (name, t), ctype, list(his), is_float))
            out.append(emit_array("k%sTabLo_%s" % (name, t), ctype, list(los), is_float))
            for fl in ("HA", "LA", "EP"):
                cs, err = fit_power(a, w, degrees[t][fl], is_float)
                out.append("// (1 + r)^(%d/3) - 1 = r (c[0] + c[1] r + ...), degree %d on [-1/30, 1/30], max error %.3g"
                           " relative to the power" % (p, degrees[t][fl], err))
                out.append(emit_array("k%sPoly%s_%s" % (name, fl, t), ctype, cs, is_float))
    cs, err = pow_log_tail(9)
    out.append("// ln(1 + r) = r - r^2/2 + r^3 (c[0] + c[1] r + ...), degree 9 on [-1/30, 1/30], max relative"
               " error %.3g (the power's logarithm)" % err)
    out.append(emit_array("kPowLnTail_d", "uint64_t", cs, False))
    return out


def pow_tables():
    """The power's own polynomials: float's logarithm tail, 2^f and double's logarithm of the EP flavour."""
    out = []
    cs, err = pow_log_tail(4, True)
    out.append("// ln(1 + r) = r - r^2/2 + r^3 (c[0] + c[1] r + ...), degree 6 on [-1/30, 1/30], max relative"
               " error %.3g (float Pow)" % err)
    out.append(emit_array("kPowLnTail_s", "uint32_t", cs, True))
    for name, w, n, is_float in (("kPowExp2EP_s", mp.mpf(1) / 2, 3, True), ("kPowExp2EP_d", mp.mpf(1) / 32, 3, False)):
        g2 = lambda f: mp.expm1(f * mp.log(2)) / f if f != 0 else mp.log(2)
        c2 = [(to_f if is_float else float)(c) for c in mp.chebyfit(g2, [-w, w], n)[::-1]]
        worst = max(abs((1 + f * sum(c * f ** k for k, c in enumerate(c2))) / mp.power(2, f) - 1)
                    for f in (w * (mp.mpf(i) / 200 - 1) for i in range(401)))
        out.append("// 2^f = 1 + f (c[0] + c[1] f + ...), degree %d on |f| <= %g, max relative error %.3g (Pow EP)"
                   % (n, float(w), float(worst)))
        out.append(emit_array(name, "uint32_t" if is_float else "uint64_t", c2, is_float))
    cs, err = fit(LOG1P, -mp.mpf(1) / 30, mp.mpf(1) / 30, 7, False)
    out.append("// degree 7 on [-1/30, 1/30], max relative error %.3g (double Pow EP)" % err)
    out.append(emit_array("kPowLnEP_d", "uint64_t", cs, False))
    return out


def main():
    out = ["// Generated by tools/explog_gen.py; do not edit.", "// python3 tools/explog_gen.py > zar/kernels/explog_data.h",
           "#pragma once", "#include <cstdint>", "", "namespace nrx::zar::explog {", ""]
    for is_float, t, n in ((False, "d", 16), (True, "s", 32)):
        ctype = "uint32_t" if is_float else "uint64_t"
        his, los = exp_table(n, is_float)
        out.append("// 2^(j/%d), j = 0..%d" % (n, n - 1))
        out.append(emit_array("kExp2Hi_%s" % t, ctype, his, is_float))
        out.append(emit_array("kExp2Lo_%s" % t, ctype, los, is_float))
        for name, base in (("Ln", mp.e), ("Log2", mp.mpf(2)), ("Log10", mp.mpf(10))):
            his, los = log_table(base, is_float)
            out.append("// log_b(32/k) for k = 32, 17..31 (b: %s)" % name)
            out.append(emit_array("k%sHi_%s" % (name, t), ctype, his, is_float))
            out.append(emit_array("k%sLo_%s" % (name, t), ctype, los, is_float))
            hi, lo = split(mp.log(2) / mp.log(base), is_float, 12 if is_float else 37)
            full = [mp.mpf(float(v) if not is_float else to_f(v)) for v in
                    (mp.log(mp.mpf(32) / (32 if i == 0 else 16 + i)) / mp.log(base) for i in range(16))]
            out.append("// log_b(32/k) rounded once (the LA flavour's table)")
            out.append(emit_array("k%sFull_%s" % (name, t), ctype, full, is_float))
            out.append("// log_b(2) high (a multiple of the table's step) and low parts")
            out.append(emit_array("k%sOf2_%s" % (name, t), ctype, [hi, lo], is_float))
        for name, base in (("Log2", mp.mpf(2)), ("Log10", mp.mpf(10))):
            hi, lo = split(1 / mp.log(base), is_float)
            out.append("// 1/ln(b) in two parts (b: %s)" % name)
            out.append(emit_array("k%sOfE_%s" % (name, t), ctype, [hi, lo], is_float))

    fits = [
        # name, function, interval half-width, degree, float?
        ("kExpPolyHA_d", EXPM1, mp.log(2) / 32, 7, False),
        ("kExpPolyLA_d", EXPM1, mp.log(2) / 32, 6, False),
        ("kExpPolyEP_d", EXPM1, mp.log(2) / 32, 4, False),
        ("kExpPolyHA_s", EXPM1, mp.log(2) / 64, 4, True),
        ("kExpPolyEP_s", EXPM1, mp.log(2) / 64, 2, True),
        ("kExpm1DirectHA_d", EXPM1, mp.log(2) / 2, 12, False),
        ("kExpm1DirectLA_d", EXPM1, mp.log(2) / 2, 11, False),
        ("kExpm1DirectEP_d", EXPM1, mp.log(2) / 2, 7, False),
        ("kExpm1DirectHA_s", EXPM1, mp.log(2) / 2, 7, True),
        ("kExpm1DirectEP_s", EXPM1, mp.log(2) / 2, 4, True),
        ("kLnPolyEP_d", LOG1P, mp.mpf(1) / 30, 5, False),
        ("kLnPolyHA_s", LOG1P, mp.mpf(1) / 30, 5, True),
        ("kLnPolyEP_s", LOG1P, mp.mpf(1) / 30, 3, True),
    ]
    # Piecewise log_b(1 + r) = r (((A r + B) r + C) r + D) for float LA and EP: 16 intervals of
    # m in [0.75, 1.5) chosen by the four mantissa bits below m's leading bit; one set of
    # coefficients per base (the natural one scaled by 1/ln b before rounding).
    for bname, base in (("Ln", mp.e), ("Log2", mp.mpf(2)), ("Log10", mp.mpf(10))):
        scale = 1 / mp.log(base)
        pieces = []
        for i in range(16):
            lo = mp.mpf(i) / 16 if i < 8 else mp.mpf(-0.25) + mp.mpf(i - 8) / 32
            width = mp.mpf(1) / 16 if i < 8 else mp.mpf(1) / 32
            g = lambda r: mp.log1p(r) / r if r != 0 else mp.mpf(1)
            cs = mp.chebyfit(g, [lo, lo + width], 4)  # descending: A, B, C, D
            pieces.append([to_f(c * scale) for c in cs])
        worst = 0
        for i, cs in enumerate(pieces):
            lo = i / 16 if i < 8 else -0.25 + (i - 8) / 32
            width = 1 / 16 if i < 8 else 1 / 32
            for j in range(1, 200):
                r = mp.mpf(lo + width * j / 200)
                if r == 0:
                    continue
                p = r * (((cs[0] * r + cs[1]) * r + cs[2]) * r + cs[3])
                worst = max(worst, abs(p / (mp.log1p(r) * scale) - 1))
        out.append("// log_b(1 + r) = r (((A r + B) r + C) r + D) on the 16 intervals of m = 1 + r in [0.75, 1.5)")
        out.append("// indexed by m's four mantissa bits below the leading one (b: %s); max relative error %.3g"
                   % (bname, float(worst)))
        for k, name in enumerate("ABCD"):
            out.append(emit_array("k%sPiece%s_s" % (bname, name), "uint32_t", [cs[k] for cs in pieces], True))
    # 2^f - 1 = f (c[0] + c[1] f + ...) on |f| <= 1/2, the float Exp2 without a table.
    g2 = lambda f: mp.expm1(f * mp.log(2)) / f if f != 0 else mp.log(2)
    c2 = [to_f(c) for c in mp.chebyfit(g2, [-0.5, 0.5], 6)[::-1]]
    worst = max(abs((f * sum(c * f ** k for k, c in enumerate(c2))) / mp.expm1(f * mp.log(2)) - 1)
                for f in (mp.mpf(i) / 400 - mp.mpf(0.5) for i in range(401)) if f != 0)
    out.append("// 2^f - 1 = f (c[0] + c[1] f + ...) on |f| <= 1/2, max relative error %.3g" % float(worst))
    out.append(emit_array("kExp2Direct_s", "uint32_t", c2, True))
    out.append("// Polynomials: f(r) = r + r^2 (c[0] + c[1] r + ...).")
    for name, f, w, deg, is_float in fits:
        cs, err = fit(f, -w, w, deg, is_float)
        out.append("// degree %d on [-%.6g, %.6g], max relative error %.3g" % (deg, float(w), float(w), err))
        out.append(emit_array(name, "uint32_t" if is_float else "uint64_t", cs, is_float))
    out += root_tables()
    out += pow_tables()
    out.append("}  // namespace nrx::zar::explog")
    print("\n".join(out))


if __name__ == "__main__":
    main()
