#!/usr/bin/env python3
"""Writes zar/kernels/gamma_data.h: the polynomial coefficients of the gamma kernels
(LGamma, TGamma), every constant as an exact bit pattern.

  /usr/bin/python3 tools/gamma_gen.py > zar/kernels/gamma_data.h

On [1/2, 8) the interval of x is given by the low two bits of its exponent and its two
leading mantissa bits (16 intervals, a quarter of a binade each). ln Gamma and Gamma are
polynomials in t = x - c there (Gamma on [1/2, 4) only), c the interval's centre, except that the intervals next to
x = 1 and x = 2 take c = 1 or 2 so that ln Gamma's zeros come out with a relative error.
The constant and linear terms are the exact Taylor terms at c in two parts, the rest a
Chebyshev interpolant (at 200 bits) of what they leave, divided by t^2. From x = 8 on, ln Gamma(x) = (x - 1/2) ln x - x + ln(2 pi)/2 + y R(y^2),
y = 1/x. sin(pi f) = pi f (1 + b z + z^2 Q(z)) with z = f^2 <= 1/4, b = -pi^2/6 in two
parts. Each set's degree is the smallest whose rounded coefficients meet the target
(relative, printed beside each set) on a dense grid.
"""
import mpmath as mp

from erf_gen import cheb_monomial, emit, emit_struct, fmt_of, horner

mp.mp.prec = 200


def d(x):
    return mp.mpf(float(x))


def two(x):
    hi = d(x)
    return hi, d(x - hi)


def intervals():
    """(lo, hi, centre) of the 16 intervals, in the order of their index."""
    out = [None] * 16
    for e in range(-1, 3):
        for m in range(4):
            lo = mp.mpf(2) ** e * (1 + mp.mpf(m) / 4)
            hi = lo + mp.mpf(2) ** e / 4
            c = (lo + hi) / 2
            if lo == 1 or hi == 1:
                c = mp.mpf(1)
            if lo == 2 or hi == 2:
                c = mp.mpf(2)
            idx = ((e + 1023) & 3) << 2 | m
            out[idx] = (lo, hi, c)
    return out


def interval_rows(f, f1, degree, lo, hi, c):
    """centre, c0, c0_lo, c1, c1_lo, c2.. of f(c + t); f1 is f'."""
    c0, c1 = f(c), f1(c)
    c0h, c0l = two(c0)
    c1h, c1l = two(c1)
    a, b = lo - c, hi - c
    pad = (b - a) / 1024
    a, b = a - pad, b + pad

    def rest(t):
        if abs(t) < mp.mpf(2) ** -60:  # a node at the centre
            return mp.diff(f, c, 2) / 2
        return (f(c + t) - (c0h + c0l) - t * (c1h + c1l)) / (t * t)

    return [c, c0h, c0l, c1h, c1l] + [d(v) for v in cheb_monomial(rest, a, b, 0, degree - 2)]


def eval_rows(r, t):
    return r[1] + r[2] + t * (r[3] + r[4]) + horner(r[5:], t) * t * t


def table_set(f, f1, target, top):
    """Rows of the intervals below top; those above are zeros (not used)."""
    ivs = intervals()
    for degree in range(10, 30):
        rows, worst = [], mp.mpf(0)
        for lo, hi, c in ivs:
            if lo >= top:
                rows.append([mp.mpf(0)] * (degree + 4))
                continue
            r = interval_rows(f, f1, degree, lo, hi, c)
            for k in range(65):
                x = lo + (hi - lo) * k / 64
                want = f(x)
                scale = abs(want) if c0_nonzero(r) else abs((x - c) * r[3])
                if scale != 0:
                    worst = max(worst, abs(eval_rows(r, x - c) - want) / scale)
            rows.append(r)
        if worst <= target:
            return degree, rows, worst
    raise RuntimeError("no degree meets the target")


def c0_nonzero(r):
    return r[1] != 0


def emit_table(name, rows, degree, comment):
    fmt = fmt_of(False)
    names = ["centre", "c0", "c0_lo", "c1", "c1_lo"] + ["c%d" % k for k in range(2, degree + 1)]
    body = ["      {" + ", ".join(fmt(r[j]) for r in rows) + "},  // " + nm for j, nm in enumerate(names)]
    return "  // %s\n  alignas(64) static constexpr uint64_t %s[%d][16] = {\n%s\n  };" % (
        comment, name, len(names), "\n".join(body))


def lgamma(x):
    return mp.loggamma(x).real


def stirling_rest(x):
    return lgamma(x) - ((x - mp.mpf(0.5)) * mp.log(x) - x + mp.log(2 * mp.pi) / 2)


def stirling_set(target):
    """R with stirling_rest(x) = y R(y^2), y = 1/x, x >= 8."""
    zmax = mp.mpf(1) / 64

    def r(z):
        if z == 0:
            return mp.mpf(1) / 12
        y = mp.sqrt(z)
        return stirling_rest(1 / y) / y
    for degree in range(3, 20):
        c = [d(v) for v in cheb_monomial(r, 0, zmax * (1 + mp.mpf(1) / 1024), 0, degree)]
        worst = max(abs(horner(c, z) - r(z)) / r(z) for z in (zmax * k / 256 for k in range(257)))
        if worst <= target:
            return degree, c, worst
    raise RuntimeError("no degree meets the target")


def sinpi_set(target):
    """Q with sin(pi f) / (pi f) = 1 + b z + z^2 Q(z), z = f^2 <= 1/4, b = -pi^2/6."""
    b = -mp.pi ** 2 / 6
    zmax = mp.mpf(1) / 4

    def s(z):
        return mp.sin(mp.pi * mp.sqrt(z)) / (mp.pi * mp.sqrt(z)) if z else mp.mpf(1)

    def q(z):
        return (s(z) - 1 - b * z) / (z * z) if z else mp.pi ** 4 / 120
    for degree in range(3, 20):
        c = [d(v) for v in cheb_monomial(q, 0, zmax * (1 + mp.mpf(1) / 1024), 0, degree)]
        worst = max(abs(z * z * (horner(c, z) - q(z))) / s(z) for z in (zmax * k / 256 for k in range(257)))
        if worst <= target:
            return degree, two(b), c, worst
    raise RuntimeError("no degree meets the target")


def main():
    out = ["// Generated by tools/gamma_gen.py; do not edit.",
           "// /usr/bin/python3 tools/gamma_gen.py > zar/kernels/gamma_data.h",
           "#pragma once", "#include <cstdint>", "", "namespace nrx::zar::special {", ""]
    members = []
    deg, rows, worst = table_set(lgamma, lambda x: mp.digamma(x), mp.mpf(2) ** -55.5, 8)
    members.append(emit_table("lg", rows, deg, "ln Gamma(x) = c0 + c0_lo + (c1 + c1_lo) t + c2 t^2 + ... (t = x - centre) on "
                              "16 intervals of [1/2, 8): degree %d, relative error %.3g" % (deg, float(worst))))
    deg, rows, worst = table_set(mp.gamma, lambda x: mp.gamma(x) * mp.digamma(x), mp.mpf(2) ** -57, 4)
    members.append(emit_table("g", rows, deg, "Gamma(x) = c0 + c0_lo + (c1 + c1_lo) t + c2 t^2 + ... (t = x - centre) on "
                              "the 12 intervals of [1/2, 4) (zeros above): degree %d, relative error %.3g" % (
                                  deg, float(worst))))
    deg, c, worst = stirling_set(mp.mpf(2) ** -53.5)
    members.append(emit("stirling", c, False, "ln Gamma(x) - ((x - 1/2) ln x - x + ln(2 pi)/2) = y R(y^2), y = 1/x, x >= 8: "
                        "R (degree %d, relative error %.3g)" % (deg, float(worst))))
    members.append(emit("half_ln_2pi", list(two(mp.log(2 * mp.pi) / 2)), False, "ln(2 pi)/2 in two parts"))
    deg, lead, c, worst = sinpi_set(mp.mpf(2) ** -56)
    members.append(emit("sinpi_lead", list(lead), False, "-pi^2/6 in two parts"))
    members.append(emit("sinpi", c, False, "sin(pi f) / (pi f) = 1 + b z + z^2 Q(z), z = f^2 <= 1/4: Q (degree %d, "
                        "relative error %.3g)" % (deg, float(worst))))
    out.append(emit_struct("Gamma_d", "polynomials and constants, double", members))
    out.append("}  // namespace nrx::zar::special")
    print("\n".join(out))


if __name__ == "__main__":
    main()
