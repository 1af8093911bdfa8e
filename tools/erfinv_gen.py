#!/usr/bin/env python3
"""Writes zar/kernels/erfinv_data.h: the polynomials of the inverse error-function kernels
(ErfInv, ErfcInv, CdfNormInv), every coefficient as an exact double bit pattern.

  /usr/bin/python3 tools/erfinv_gen.py > zar/kernels/erfinv_data.h

Central part, |x| <= 9/16 (erfinv >= 1/2 beyond): erfinv(x) = x (c1 + c1_lo + z Q(z)), z = x^2, c1 = sqrt(pi)/2 in
two parts. Tail, u = 1 - |x| < 7/16: erfcinv(u) = g(v) with v = sqrt(-log2 u), v in [1, 33);
the interval of v is given by the exponent and the two leading mantissa bits of v + 2 (15
intervals, 1/2 wide at v = 1 and 8 wide at the end), g a polynomial in t = v - c (c the
interval's centre, v - c exact) whose constant term has two parts. CdfNormInv multiplies
these by sqrt(2) (kept here in two parts). Fits are Chebyshev interpolants at 160 bits on each interval
widened by 2^-10 of its width; each set's degree is the smallest whose rounded coefficients
meet the set's relative target on a grid of 65 points per interval (printed beside each set).
The float kernels' tails evaluate in double: HA and LA with the EP_d set, EP with its own.

The kernels' main body takes w = -ln(1 - x^2) = -ln(u (2 - u)) instead: for w <= W0,
erfinv(x) = x P(w), one polynomial in w over [0, W0] (Chebyshev interpolant at 160 bits,
coefficients rounded to the set's type, degree the smallest meeting its target on 257
points). W0 = 5 leaves about one lane in 300 of a uniform argument to the tail above, so
that most registers never reach it. Sets: LA_s and EP_s in float, EP_d (double EP and
float HA's tail in double), LA_d. HA (ErfInvWHA_d, _s; NormInvWHA_d, _s for CdfNormInv,
scaled by sqrt(2)) writes P(w) = c0 + c1 w + w^2 R(w - W0/2) with c0 + c1 w in terms of
the logarithm's reduction: a 16-entry table T = c0 - c1 ln(1/c) and K = c1 ln 2, both with
high parts on one grid so that T_hi - e K_hi is exact (w_set_wide).
"""
import mpmath as mp

import erf_gen
from erf_gen import cheb_monomial, horner

mp.mp.prec = 160

SHIFT = 2  # v + 2 selects the interval
W0 = 5  # the w body's polynomial covers w = -ln(1 - x^2) in [0, W0]
ZMAX = mp.mpf(9) ** 2 / 256  # the central part ends at |x| = 9/16
LN2 = mp.log(2)
C1 = mp.sqrt(mp.pi) / 2
_cache = {}


def erfcinv_v(v):
    """erfcinv(2^-v^2) by Newton's method on ln erfc(y) + v^2 ln 2."""
    key = ("t", v)
    if key not in _cache:
        target = -v * v * LN2
        y = v * mp.sqrt(LN2)
        for _ in range(60):
            e = mp.erfc(y)
            dy = (mp.log(e) - target) * e * mp.sqrt(mp.pi) / 2 * mp.exp(y * y)
            y += dy
            if abs(dy) < mp.mpf(2) ** -170 * y:
                break
        _cache[key] = y
    return _cache[key]


def q_central(z):
    """Q(z) = (erfinv(x) / x - c1) / z, x = sqrt(z)."""
    key = ("c", z)
    if key not in _cache:
        if z == 0:
            _cache[key] = C1 * mp.pi / 12
        else:
            x = mp.sqrt(z)
            _cache[key] = (mp.erfinv(x) / x - C1) / z
    return _cache[key]


def intervals():
    """(a, b, c): v + 2 in [2^e (1 + j/4), 2^e (1 + (j+1)/4)), from v = 1 to v = 38."""
    out = []
    for e in range(1, 6):
        for j in range(4):
            a = mp.mpf(2) ** e * (1 + mp.mpf(j) / 4) - SHIFT
            b = mp.mpf(2) ** e * (1 + mp.mpf(j + 1) / 4) - SHIFT
            if b <= 1 or a >= 34:
                continue
            out.append((e, j, a, b, mp.mpf(float((a + b) / 2))))
    return out


def tail_set(target, scale):
    """Rows (centre, c0, c0_lo, [c1..]) indexed by (exponent bits, j) mod 16; the smallest degree meeting target."""
    for degree in range(4, 30):
        rows, worst = [None] * 16, mp.mpf(0)
        for e, j, a, b, c in intervals():
            w = (b - a) * mp.mpf(2) ** -10
            p = [scale * v for v in cheb_monomial(erfcinv_v, a - w, b + w, c, degree)]
            hi = mp.mpf(float(p[0]))
            lo = mp.mpf(float(p[0] - hi))
            rest = [mp.mpf(float(v)) for v in p[1:]]
            q = [hi + lo] + rest
            for k in range(65):
                v = a - w + (b - a + 2 * w) * k / 64
                worst = max(worst, abs(horner(q, v - c) / (scale * erfcinv_v(v)) - 1))
            rows[(1023 * 4 + 4 * e + j) % 16] = (c, hi, lo, rest)
        if worst <= target:
            filler = next(r for r in rows if r)
            return degree, [r or filler for r in rows], worst
    raise RuntimeError("no degree meets the target")


def central_set(target, scale):
    c1 = scale * C1
    c1_hi = mp.mpf(float(c1))
    c1_lo = mp.mpf(float(c1 - c1_hi))
    for degree in range(2, 40):
        p = [mp.mpf(float(scale * v)) for v in cheb_monomial(q_central, mp.mpf(0), ZMAX, mp.mpf(0), degree)]
        worst = mp.mpf(0)
        for k in range(1, 129):
            x = mp.sqrt(ZMAX) * k / 128
            worst = max(worst, abs(x * (c1_hi + c1_lo + x * x * horner(p, x * x)) / (scale * mp.erfinv(x)) - 1))
        if worst <= target:
            return degree, c1_hi, c1_lo, p, worst
    raise RuntimeError("no degree meets the target")


def p_of_w(w):
    """erfinv(x) / x at x = sqrt(1 - e^-w)."""
    key = ("w", w)
    if key not in _cache:
        if w == 0:
            _cache[key] = C1
        else:
            x = mp.sqrt(-mp.expm1(-w))
            _cache[key] = mp.erfinv(x) / x
    return _cache[key]


def w_set(target, is_float):
    """P with erfinv(x) = x P(w) on [0, W0], coefficients rounded to the set's type."""
    for degree in range(2, 40):
        p = [erf_gen.rnd(v, is_float) for v in cheb_monomial(p_of_w, mp.mpf(0), mp.mpf(W0), mp.mpf(0), degree)]
        worst = max(abs(horner(p, mp.mpf(W0) * k / 256) / p_of_w(mp.mpf(W0) * k / 256) - 1) for k in range(257))
        if worst <= target:
            return degree, p, worst
    raise RuntimeError("no degree meets the target")


def ln_reduce(is_float):
    """HA's reduction of the logarithm: t = 2^e m, m in [1, 2), entry i of m's four leading
    mantissa bits, c_i = 2 / (2 + (2i + 1)/16) rounded (|m c_i - 1| < 1/33) and lam_i =
    ln(1/c_i) of the rounded c_i; H0[i] = -lam_i - W0/2 rounded."""
    c = [erf_gen.rnd(2 / (2 + mp.mpf(2 * i + 1) / 16), is_float) for i in range(16)]
    lam = [-mp.log(v) for v in c]
    return c, lam, [erf_gen.rnd(-v - mp.mpf(W0) / 2, is_float) for v in lam]


def w_set_wide(target, is_float, scale):
    """HA: scale P(w) = T[i] - e K + L with T[i] = scale (c0 - c1 lam_i), K = scale c1 ln 2 and
    L = -scale c1 ln(1 + r) + w^2 R(w - W0/2), for ln t = e ln 2 + lam_i + ln(1 + r) as
    ln_reduce splits it. T's and K's high parts are multiples of 2^(2 - p) (p the type's
    precision) and K's has at most p - 4 bits, so T_hi - e K_hi is exact for |e| < 16 and a
    sum below 4. Also c0 in two parts (ErfInv's smallest arguments)."""
    prec = 24 if is_float else 53
    q = mp.mpf(2) ** (2 - prec)
    c0 = C1
    c1 = C1 * mp.pi / 12
    lam = ln_reduce(is_float)[1]

    def split(v):
        hi = mp.nint(v / q) * q
        return hi, erf_gen.rnd(v - hi, is_float)

    t_parts = [split(scale * (c0 - c1 * l)) for l in lam]
    k_parts = split(scale * c1 * LN2)
    assert abs(k_parts[0] / q) < 2 ** (prec - 4)
    c0_hi = erf_gen.rnd(c0, is_float)
    fixed = {"c0": [c0_hi, erf_gen.rnd(c0 - c0_hi, is_float)], "c1": [erf_gen.rnd(scale * c1, is_float)],
             "k": list(k_parts), "t_hi": [t[0] for t in t_parts], "t_lo": [t[1] for t in t_parts]}

    def r_of(w):
        return scale * (p_of_w(w) - c0 - c1 * w) / (w * w)

    mid = mp.mpf(W0) / 2
    for degree in range(2, 40):
        r = [erf_gen.rnd(v, is_float) for v in cheb_monomial(r_of, mp.mpf(0), mp.mpf(W0), mid, degree)]
        worst = mp.mpf(0)
        for k in range(1, 257):
            w = mp.mpf(W0) * k / 256
            exact = scale * p_of_w(w)
            worst = max(worst, abs((scale * (c0 + c1 * w) + w * w * horner(r, w - mid)) / exact - 1))
        if worst <= target:
            return degree, fixed, r, worst
    raise RuntimeError("no degree meets the target")


def emit(name, values, comment, is_float=False):
    return erf_gen.emit(name, values, is_float, comment)


def emit_rows(name, rows, deg, comment):
    return erf_gen.emit_rows(name, rows, deg, False, comment)


def main():
    out = ["// Generated by tools/erfinv_gen.py; do not edit.",
           "// /usr/bin/python3 tools/erfinv_gen.py > zar/kernels/erfinv_data.h",
           "#pragma once", "#include <cstdint>", "", "namespace nrx::zar::special {", ""]
    # (struct name, relative target); float kernels compute in double: HA and LA with the EP_d set
    # (2^-30 is 1/64 of a float ulp), EP with EP_s.
    sets = (("HA_d", 2 ** -55), ("LA_d", 2 ** -53), ("EP_d", 2 ** -30), ("EP_s", 2 ** -15))
    scale, what = mp.mpf(1), "erfinv"
    s2 = mp.sqrt(2)
    s2_hi = mp.mpf(float(s2))
    out.append("// sqrt(2) in two parts (CdfNormInv)\nstruct InvSqrt2 {\n%s\n};\n" % (
        emit("v", [s2_hi, mp.mpf(float(s2 - s2_hi))], "sqrt(2)")))
    for sfx, target in sets:
        deg, c1_hi, c1_lo, p, worst = central_set(target, scale)
        members = [emit("c1", [c1_hi, c1_lo], "%s(x) / x at 0 in two parts" % what),
                   emit("near", p, "%s(x) = x (c1 + c1_lo + z Q(z)), z = x^2 <= 81/256: Q (degree %d, "
                                   "relative error %.3g)" % (what, deg, float(worst)))]
        deg, rows, worst = tail_set(target, scale)
        members.append(emit_rows("tail", rows, deg,
                                 "%s(1 - u) = c0 + c0_lo + c1 t + ... (t = v - centre, v = sqrt(-log2 u)) on "
                                 "15 intervals: degree %d, relative error %.3g" % (what, deg, float(worst))))
        out.append("// %s set\nstruct ErfInv%s {\n%s\n};\n" % (sfx, sfx, "\n".join(members)))
    out.append("// erfinv(x) = x P(w) for w = -ln(1 - x^2) <= W0\nconstexpr double kErfInvW0 = %d;\n" % W0)
    for sfx, target, is_float in (("LA_s", 2 ** -24.5, True), ("EP_s", 2 ** -15, True), ("EP_d", 2 ** -30, False),
                                  ("LA_d", 2 ** -52, False)):
        deg, p, worst = w_set(target, is_float)
        out.append("struct ErfInvW%s {\n%s\n};\n" % (sfx, emit(
            "p", p, "P(w) on [0, W0]: degree %d, relative error %.3g" % (deg, float(worst)), is_float)))
    for sfx, is_float in (("d", False), ("s", True)):
        c, lam, h0 = ln_reduce(is_float)
        out.append("// HA's reduction of ln t: t = 2^e m, entry i of m's four leading mantissa bits, r = m c_i - 1\n"
                   "struct ErfInvLn_%s {\n%s\n%s\n};\n" % (
                       sfx, emit("c", c, "c_i near 1 / m", is_float),
                       emit("h0", h0, "-lam_i - W0/2, lam_i = ln(1/c_i)", is_float)))
    for name, scale in (("ErfInv", 1), ("NormInv", s2)):
        for sfx, target, is_float in (("HA_d", 2 ** -57, False), ("HA_s", 2 ** -27, True)):
            deg, fx, r, worst = w_set_wide(target, is_float, scale)
            what = "P(w)" if scale == 1 else "sqrt(2) P(w)"
            sum_of = "c0 + c1 w" if scale == 1 else "sqrt(2) (c0 + c1 w)"
            members = [emit("c0", fx["c0"], "P(0) in two parts", is_float)] if scale == 1 else []
            members += [emit("c1", fx["c1"], "%s's slope at 0" % what, is_float),
                        emit("k", fx["k"], "%s's slope at 0 times ln 2, in two parts" % what, is_float),
                        emit("t_hi", fx["t_hi"], "%s at w = -lam_i (ErfInvLn), high part" % sum_of, is_float),
                        emit("t_lo", fx["t_lo"], "and its low part", is_float),
                        emit("r", r, "R: degree %d on [0, W0], relative error %.3g" % (deg, float(worst)), is_float)]
            out.append("// %s = T[i] - e K + L, L = -c1 ln(1 + r) + w^2 R(w - W0/2) (HA)\nstruct %sW%s {\n%s\n};\n" % (
                what, name, sfx, "\n".join(members)))
    out.append("}  // namespace nrx::zar::special")
    print("\n".join(out))


if __name__ == "__main__":
    main()
