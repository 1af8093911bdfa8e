#!/usr/bin/env python3
"""Writes zar/kernels/erf_data.h: the polynomial coefficients and thresholds of the
error-function kernels (Erf, Erfc, CdfNorm), every constant as an exact bit pattern.

  /usr/bin/python3 tools/erf_gen.py > zar/kernels/erf_data.h

Near zero, erf(x) = x (c1 + z Q(z)) with z = x^2 on |x| <= 1, c1 = 2/sqrt(pi) in two parts.
Erfc takes every x >= 0 as erfc(x) = e^(-x^2) g(x), g(x) = e^(x^2) erfc(x), on 16 intervals: the
interval of x is given by the exponent and the two leading mantissa bits of x + 2 (so the
intervals are 1/2 wide up to x = 2 and grow with x beyond), and g is a polynomial in
t = x - c (c the interval's centre, x - c exact) whose constant term has two parts. Double LA and the EP sets centre the first
interval at 0 with the exact constant g(0) = 1, so that x = 0 gives 1 with no rounding; HA centres
it at 1/4 (from 0, t c1 would reach 0.6 of the result, beyond what its two-part constant term
absorbs), and so does float LA (one degree fewer). CdfNorm's
tail, CdfNorm(-x) = e^(-x^2/2) h(x), has its own polynomials on the intervals scaled by sqrt 2.
Fits are Chebyshev interpolants at 160 bits on each interval widened by 2^-10 of its width;
each set's degree is the smallest whose rounded coefficients meet the set's relative target
on a dense grid (printed beside each set). Float LA has tail sets of its own (its Erf takes the
HA set): its 4 ulp leave room for a relative error of 2^-24, one degree below HA's. The underflow thresholds are the least x whose
correctly rounded result is subnormal, and the least x above which it rounds to zero.

What sets the tail's degree (double LA, relative 2^-52.3): each binade's first interval,
[0, 1/2), [2, 3), [6, 8) and [14, 18), needs 13 (also [0, 1/2) centred at 1/4); the others 11
or 12. Intervals picked by the exponent and one mantissa bit of (x + 2)^2 instead (16 from 0
to 30) need 13 on six intervals: the degree does not come down without more intervals.
"""
import struct

import mpmath as mp

from explog_gen import bits_d, bits_f, to_f

mp.mp.prec = 160

SHIFT = mp.mpf(2)  # x + 2 selects the interval


def rnd(x, is_float):
    return mp.mpf(to_f(x)) if is_float else mp.mpf(float(x))


def fmt_of(is_float):
    return (lambda v: "0x%08Xu" % bits_f(v)) if is_float else (lambda v: "0x%016Xull" % bits_d(v))


def emit(name, values, is_float, comment):
    """A static member of a generated struct: one bit pattern per line."""
    ctype = "uint32_t" if is_float else "uint64_t"
    fmt = fmt_of(is_float)
    body = "\n".join("      %s,  // %.17g" % (fmt(v), float(v)) for v in values)
    return "  // %s\n  alignas(64) static constexpr %s %s[] = {\n%s\n  };" % (comment, ctype, name, body)


def cheb_monomial(f, a, b, c, degree):
    """Monomial coefficients in t = x - c of the Chebyshev interpolant of f on [a, b]."""
    n = degree + 1
    mid, half = (a + b) / 2, (b - a) / 2
    nodes = [mp.cos(mp.pi * (k + mp.mpf(0.5)) / n) for k in range(n)]
    vals = [f(mid + half * u) for u in nodes]
    cheb = [2 * mp.fsum(vals[k] * mp.cos(mp.pi * j * (k + mp.mpf(0.5)) / n) for k in range(n)) / n for j in range(n)]
    cheb[0] /= 2
    # sum_j cheb_j T_j(u), u = (x - mid) / half = (t + c - mid) / half: expand in t.
    s, off = 1 / half, (c - mid) / half
    poly = [mp.mpf(0)] * n  # coefficients in t
    t_prev, t_cur = [mp.mpf(1)], [off, s]  # T_0(u), T_1(u) as polynomials in t
    for j in range(n):
        if j >= 2:  # T_j = 2 u T_(j-1) - T_(j-2)
            nxt = [mp.mpf(0)] * (j + 1)
            for i, v in enumerate(t_cur):
                nxt[i] += 2 * off * v
                nxt[i + 1] += 2 * s * v
            for i, v in enumerate(t_prev):
                nxt[i] -= v
            t_prev, t_cur = t_cur, nxt
        for i, v in enumerate(t_prev if j == 0 else t_cur):
            poly[i] += cheb[j] * v
    return poly


def horner(c, t):
    p = mp.mpf(0)
    for v in reversed(c):
        p = p * t + v
    return p


def g(x):
    return mp.erfc(x) * mp.exp(x * x)


def g_cdf(x):
    """The same for CdfNorm(-x) = erfc(x / sqrt 2) / 2 = e^(-x^2/2) g_cdf(x)."""
    return mp.erfc(x / mp.sqrt(2)) * mp.exp(x * x / 2) / 2


def tail_intervals(is_float, scale=1):
    """(a, b, c) of the 16 intervals, x / scale + 2 in [2^e (1 + j/4), 2^e (1 + (j+1)/4)), from x = 0."""
    out = []
    for e in range(1, 5):
        for j in range(4):
            lo = scale * (mp.mpf(2) ** e * (1 + mp.mpf(j) / 4) - SHIFT)
            hi = scale * (mp.mpf(2) ** e * (1 + mp.mpf(j + 1) / 4) - SHIFT)
            c = rnd((lo + hi) / 2, is_float)
            out.append((lo, hi, c))
    return out


def tail_set(is_float, target, last, g=g, scale=1, zero_centre=False):
    """The smallest degree meeting target on every interval up to x = last; coefficient rows.
    zero_centre: the first interval is centred at 0 and its constant term set to the exact g(0)
    (1 or 1/2; the interpolant's own is within its error of that), so that x = 0 gives g(0) with
    no rounding."""
    ivs = tail_intervals(is_float, scale)
    if zero_centre:
        ivs[0] = (ivs[0][0], ivs[0][1], mp.mpf(0))
    for degree in range(4, 24):
        rows, worst = [], mp.mpf(0)
        for a, b, c in ivs:
            w = (b - a) * mp.mpf(2) ** -10
            if a > last:  # never reached: repeat the last fit
                rows.append(rows[-1])
                continue
            p = cheb_monomial(g, a - w, b + w, c, degree)
            if c == 0:
                p[0] = g(c)
            hi = rnd(p[0], is_float)
            lo = rnd(p[0] - hi, is_float)
            q = [hi + lo] + [rnd(v, is_float) for v in p[1:]]
            for k in range(65):
                x = a - w + (b - a + 2 * w) * k / 64
                worst = max(worst, abs(horner(q, x - c) / g(x) - 1))
            rows.append((c, hi, lo, [rnd(v, is_float) for v in p[1:]]))
        if worst <= target:
            return degree, rows, worst
    raise RuntimeError("no degree meets the target")


def erf_over_x(x):
    return mp.erf(x) / x if x != 0 else 2 / mp.sqrt(mp.pi)


def erf_set(is_float, target, last, whole, c1_lo=False):
    """erf(x) = c0 + c0_lo + c1 t + ... on the intervals of x + 1/2 in [2^e (1 + j/4), 2^e (1 + (j+1)/4)),
    e = 0..2, from x = 3/4 (absolute error); entry (12 + 4e + j) mod 16 (the exponent bias is 3 mod 4).
    whole: also e = -1, x from 0 (entries 8..11), and the error relative; the first interval is
    centred at 0 with c0 = 0, its polynomial t (erf(t) / t) so that erf keeps its relative error
    for the smallest x. c1_lo: c1 in two parts, the low parts returned apart (HA sums c0 + t c1
    with its error term: below x = 3/4, t c1 is as large as a third of the result)."""
    k = mp.mpf(0.5)
    for degree in range(4, 24):
        rows, worst, c1_los = [None] * 16, mp.mpf(0), [mp.mpf(0)] * 16
        for e in range(-1 if whole else 0, 3):
            for j in range(4):
                a = mp.mpf(2) ** e * (1 + mp.mpf(j) / 4) - k
                b = mp.mpf(2) ** e * (1 + mp.mpf(j + 1) / 4) - k
                if not whole and b <= mp.mpf(0.75):
                    continue
                a = a if whole else max(a, mp.mpf(0.75))
                c = mp.mpf(0) if a == 0 else rnd((a + b) / 2, is_float)
                w = (b - a) * mp.mpf(2) ** -10
                if a == 0:
                    p = [mp.mpf(0)] + cheb_monomial(erf_over_x, a - w, b + w, c, degree - 1)
                else:
                    p = cheb_monomial(mp.erf, a - w, min(b, last) + w, c, degree)
                hi = rnd(p[0], is_float)
                lo = rnd(p[0] - hi, is_float)
                q = [hi + lo] + [rnd(v, is_float) for v in p[1:]]
                coefs = [rnd(v, is_float) for v in p[1:]]
                if c1_lo:
                    c1_los[(12 + 4 * e + j) % 16] = rnd(p[1] - coefs[0], is_float)
                    q[1] = coefs[0] + c1_los[(12 + 4 * e + j) % 16]
                for i in range(65):
                    x = max(a - w + (min(b, last) - a + 2 * w) * i / 64, (b - a) * mp.mpf(2) ** -20)
                    err = abs(horner(q, x - c) - mp.erf(x))
                    worst = max(worst, err / abs(mp.erf(x)) if whole else err)
                rows[(12 + 4 * e + j) % 16] = (c, hi, lo, coefs)
        if worst <= target:
            filler = next(r for r in rows if r)
            return degree, [r or filler for r in rows], worst, c1_los
    raise RuntimeError("no degree meets the target")


def emit_rows(name, rows, deg, is_float, comment):
    ctype = "uint32_t" if is_float else "uint64_t"
    fmt = fmt_of(is_float)
    cols = [[r[0] for r in rows], [r[1] for r in rows], [r[2] for r in rows]]
    cols += [[r[3][k] for r in rows] for k in range(deg)]
    names = ["centre", "c0", "c0_lo"] + ["c%d" % (k + 1) for k in range(deg)]
    body = ["      {" + ", ".join(fmt(v) for v in col) + "},  // " + nm for nm, col in zip(names, cols)]
    return "  // %s\n  alignas(64) static constexpr %s %s[%d][16] = {\n%s\n  };" % (
        comment, ctype, name, len(cols), "\n".join(body))


def direct_set(is_float, target):
    """Q with erf(x) = x (c1 + z Q(z)), z = x^2 <= 1."""
    c1 = 2 / mp.sqrt(mp.pi)

    def q(z):
        if z == 0:
            return -2 / (3 * mp.sqrt(mp.pi))
        x = mp.sqrt(z)
        return (mp.erf(x) / x - c1) / z

    c1_hi = rnd(c1, is_float)
    c1_lo = rnd(c1 - c1_hi, is_float)
    for degree in range(2, 24):
        p = [rnd(v, is_float) for v in cheb_monomial(q, mp.mpf(0), mp.mpf(1), mp.mpf(0), degree)]
        worst = mp.mpf(0)
        for k in range(1, 129):
            x = mp.mpf(k) / 128
            worst = max(worst, abs(x * (c1_hi + c1_lo + x * x * horner(p, x * x)) / mp.erf(x) - 1))
        if worst <= target:
            return degree, c1_hi, c1_lo, p, worst
    raise RuntimeError("no degree meets the target")


def threshold(f, lo, hi, is_float, level):
    """Least representable x in [lo, hi] where f(x) rounded is below level (f decreasing)."""
    nxt = (lambda x: mp.mpf(to_f(float(x)))) if is_float else (lambda x: x)
    step = (lambda x: mp.mpf(struct.unpack("<f", struct.pack("<I", bits_f(x) + 1))[0])) if is_float else \
        (lambda x: mp.mpf(struct.unpack("<d", struct.pack("<Q", bits_d(x) + 1))[0]))
    a, b = rnd(lo, is_float), rnd(hi, is_float)
    while True:  # bisection on representable values
        m = rnd((a + b) / 2, is_float)
        if m == a or m == b:
            break
        if f(m) < level:
            b = m
        else:
            a = m
    x = a
    while not f(x) < level:
        x = step(x)
    return nxt(x)


def emit_struct(name, comment, members):
    return "// %s\nstruct %s {\n%s\n};\n" % (comment, name, "\n".join(members))


def main():
    out = ["// Generated by tools/erf_gen.py; do not edit.",
           "// /usr/bin/python3 tools/erf_gen.py > zar/kernels/erf_data.h",
           "#pragma once", "#include <cstdint>", "", "namespace nrx::zar::special {", ""]
    # (letter, float?, sets (suffix, direct target or None for a set of the tails only, tail target), last tail x, erf = +-1 from, cdf clamp,
    #  erfc = +0 from: None for the correctly rounded threshold)
    for t, is_float, sets, last, erf_one, cdf_low, erfc_zero in (
            ("d", False, (("HA", 2 ** -55.5, 2 ** -55.5), ("LA", 2 ** -53, 2 ** -52.3), ("EP", 2 ** -30, 2 ** -27)),
             28.0, 5.9921875, 40.0, mp.mpf(float.fromhex("0x1.ab30a0f9c4611p+4"))),
            ("s", True, (("HA", 2 ** -26, 2 ** -26), ("LA", None, 2 ** -24), ("EP", 2 ** -14, 2 ** -14)), 10.5, 4.0,
             15.0, None)):
        limits = []
        for sfx, dt, tt in sets:
            members = []
            if dt is not None:  # else a set of the Erfc and CdfNorm tails only (Erf takes the HA set)
                deg, c1_hi, c1_lo, p, worst = direct_set(is_float, dt)
                if sfx == "HA":
                    limits.append(emit("c1", [c1_hi, c1_lo], is_float, "2/sqrt(pi) in two parts"))
                    limits.append(emit("minus_inv_sqrt2", [rnd(-1 / mp.sqrt(2), is_float)], is_float,
                                       "-1/sqrt(2) rounded"))
                members.append(emit("near", p, is_float,
                                    "erf(x) = x (c1 + c1_lo + z Q(z)), z = x^2 <= 1: Q (degree %d, "
                                    "relative error %.3g)" % (deg, float(worst))))
            # Centre 0 for the first interval (see the module comment) but in HA and float LA: from
            # there float LA's rounded coefficients would need one degree more.
            zc = sfx == "EP" or (sfx == "LA" and not is_float)
            deg, rows, worst = tail_set(is_float, tt, last, zero_centre=zc)
            members.append(emit_rows("tail", rows, deg, is_float,
                                     "g(x) = e^(x^2) erfc(x) = c0 + c0_lo + c1 t + ... (t = x - centre) on 16 "
                                     "intervals: degree %d, relative error %.3g" % (deg, float(worst))))
            deg, rows, worst = tail_set(is_float, tt, cdf_low, g_cdf, mp.sqrt(2), zero_centre=zc)
            members.append(emit_rows("cdf_tail", rows, deg, is_float,
                                     "CdfNorm(-x) = e^(-x^2/2) (c0 + c0_lo + c1 t + ...) on the intervals of x / sqrt 2: "
                                     "degree %d, relative error %.3g" % (deg, float(worst))))
            if dt is None:
                out.append(emit_struct("Erf%s_%s" % (sfx, t), "%s tail polynomials, %s" % (sfx, "float" if is_float else "double"),
                                       members))
                continue
            whole = not is_float
            split = whole and sfx == "HA"
            deg, rows, worst, c1_los = erf_set(is_float, dt * ((1 if whole else 0.5) if sfx == "HA" else 2),
                                               4.0 if is_float else 6.0, whole, split)
            members.append(emit_rows("mid", rows, deg, is_float,
                                     "erf(x) = c0 + c0_lo + c1 t + ... (t = x - centre) from x = %s: degree %d, "
                                     "%s error %.3g" % ("0" if whole else "3/4", deg,
                                                        "relative" if whole else "absolute", float(worst))))
            if split:
                members.append(emit("mid_c1_lo", c1_los, is_float, "low parts of the c1 row"))
            members.append("  // whether Erf takes every |x| from mid (else near below 3/4)\n"
                           "  static constexpr bool mid_from_zero = %s;" % ("true" if whole else "false"))
            out.append(emit_struct("Erf%s_%s" % (sfx, t), "%s polynomials, %s" % (sfx, "float" if is_float else "double"),
                              members))
        tiny = mp.mpf(2) ** (-126 if is_float else -1022)
        least = mp.mpf(2) ** (-149 if is_float else -1074)
        hi = 12 if is_float else 28
        sub = threshold(mp.erfc, 1, hi, is_float, tiny)
        zero = threshold(mp.erfc, 1, hi, is_float, least / 2)
        limits.append(emit("erfc_under", [sub, zero, erfc_zero or zero], is_float,
                           "erfc(x) is subnormal from the first, rounds to zero from the second; the "
                           "scalar routine gives +0 from the third"))
        cdf = lambda x: mp.erfc(x / mp.sqrt(2)) / 2  # noqa: E731  (cdf(-x), decreasing in x)
        sub = threshold(cdf, 1, hi * 1.5, is_float, tiny)
        zero = threshold(cdf, 1, hi * 1.5, is_float, least / 2)
        limits.append(emit("cdf_under", [-sub, -zero], is_float,
                           "CdfNorm(x) is subnormal from the first down, rounds to zero from the second down"))
        limits.append(emit("clamp", [mp.mpf(erf_one), mp.mpf(last), mp.mpf(cdf_low)], is_float,
                           "|x| clamps: erf rounds to +-1 beyond the first, the erfc tail ends at the "
                           "second (+0 there), CdfNorm's argument past its zero threshold"))
        out.append(emit_struct("ErfLimits_%s" % t, "constants and thresholds, %s" % ("float" if is_float else "double"),
                          limits))
    out.append("}  // namespace nrx::zar::special")
    print("\n".join(out))


if __name__ == "__main__":
    main()
