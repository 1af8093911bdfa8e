#!/usr/bin/env python3
"""Generates everything that is written out per vector math function from zar/functions.py.

  zar_gen.py OUTDIR            writes OUTDIR/nrx/zar_functions.h, zar_fn.h, the tables
                               (zar_tables_<block>.cpp), the stubs (zar_stubs_<t>.cpp),
                               zar_catalog.cpp, zar_symbols.txt (the vector math names) and
                               vm-functions.md
  zar_gen.py --check-readme F  fails unless README F carries that list between its markers
  zar_gen.py --docs            prints docs/vm-functions.md (functions, bounds, special results)
  zar_gen.py --symbols         prints every vector math name the library exports, one per line

The tables are written in blocks, one translation unit each, so that the kernels they
instantiate compile in parallel: unit-stride tables by type, strided tables by type, then
Pack and Unpack. zar/CMakeLists.txt links the blocks in that order, which keeps the tables
in storage order.
"""
import math
import os
import sys

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
sys.path.insert(0, os.path.join(ROOT, "zar"))
import functions as L  # noqa: E402

CTYPE = {"s": "float", "d": "double", "c": "NrxComplex8", "z": "NrxComplex16"}
REAL = {"s": "float", "d": "double", "c": "float", "z": "double"}
SUFFIX = {"s": ("_21", "_HA", "_11"), "c": ("_21", "_HA", "_11"),
          "d": ("_50", "_HA", "_26"), "z": ("_50", "_HA", "_26")}
# Flavour of the kernel in each slot (LA 1, HA 2, EP 3): shared slots hold one kernel.
SLOT_FLAVOUR = {"1": (2, 2, 2), "lh": (2, 2, 3), "le": (1, 2, 1), "3": (1, 2, 3)}
PACK = ("packI", "packM", "packV", "unpackI", "unpackM", "unpackV")


# ---- Bounds, descriptions and special rows ------------------------------------------------

# Ulp bound of each flavour (LA, HA, EP) of a function that is not correctly rounded; EP keeps
# half the mantissa: 11 correct bits of float, 26 of double.
USUAL_ULP = {"s": (4.0, 1.0, 2.0 ** 13), "d": (4.0, 1.0, 2.0 ** 27)}
USUAL_ULP["c"], USUAL_ULP["z"] = USUAL_ULP["s"], USUAL_ULP["d"]


def ulp_bounds(f, t):
    """(LA, HA, EP) ulp bounds of a function and type."""
    if exact_of(f, t):
        return (0.0, 0.0, 0.0)
    return USUAL_ULP[t]


def slot_bounds(f, t):
    """Bound of the kernel in each slot: a shared kernel has its own flavour's bound."""
    b = ulp_bounds(f, t)
    return tuple(b[fl - 1] for fl in SLOT_FLAVOUR[f.share[t]])


def description(f):
    return L.ABOUT[f.name][0]


def number(text):
    neg = text.startswith("-")
    body = text[1:] if neg else text
    v = float.fromhex(body) if body.lower().startswith("0x") else float(body)
    return -v if neg else v


FLAVOURS = {"LA": 0, "HA": 1, "EP": 2}


class Special:
    """One special-input row of the list (syntax in zar/functions.py)."""

    def __init__(self, f, text):
        self.f, self.text = f, text
        body, _, code = text.partition("!")
        self.code = int(code) if code.strip() else 0
        lhs, arrow, rhs = body.partition("->")
        assert arrow, (f.name, text)
        words = lhs.split()
        self.types, self.ftz, self.flavour = "".join(t for t in L.TYPES if t in f.share), False, -1
        while words and (set(words[0]) <= set(L.TYPES) or words[0] in ("ftz",) or words[0] in FLAVOURS):
            w = words.pop(0)
            if w == "ftz":
                self.ftz = True
            elif w in FLAVOURS:
                self.flavour = FLAVOURS[w]
            else:
                self.types = w
        assert all(t in f.share for t in self.types), (f.name, text)
        self.args = [self.value(w) for w in words]
        self.results = [self.result(w) for w in rhs.split()]
        assert self.args and self.results, (f.name, text)

    @staticmethod
    def value(word):
        parts = word.split(",")
        return [number(p) for p in parts] + [0.0] * (2 - len(parts))

    @staticmethod
    def result(word):
        """(kind, re, im) per part: kind 0 exact, 1 within the bound, 2 positive subnormal, 3 any."""
        approx = word.startswith("~")
        out = []
        for p in word.lstrip("~").split(","):
            part_approx, p = approx or p.startswith("~"), p.lstrip("~")  # "~" before a value or before one part
            if p == "sub":
                out.append((2, 0.0))
            elif p == "*":
                out.append((3, 0.0))
            else:
                v = number(p)
                out.append((1 if part_approx and math.isfinite(v) else 0, v))  # NaN and infinities are exact
        return out

    def reads(self):
        flav = " (%s)" % ("LA", "HA", "EP")[self.flavour] if self.flavour >= 0 else ""
        ftz = " flushing" if self.ftz else ""
        text = self.text.split("->")[1].split("!")[0].strip()
        words = self.text.split("->")[0].split()
        while words and (set(words[0]) <= set(L.TYPES) or words[0] == "ftz" or words[0] in FLAVOURS):
            words.pop(0)
        code = ", code %d" % self.code if self.code else ""
        return "%s%s%s: %s -> %s%s" % (self.types, ftz, flav, " ".join(words), text, code)


def specials(f):
    return [Special(f, text) for text in L.ABOUT[f.name][1]]


def shape_of(f, t):
    return f.shape[t] if isinstance(f.shape, dict) else f.shape


def kernel_of(f, t):
    return f.kernel.get(t) if isinstance(f.kernel, dict) else f.kernel


def exact_of(f, t):
    return bool(f.exact.get(t)) if isinstance(f.exact, dict) else bool(f.exact)


def costs(f, t):
    c = f.cost[t]
    c = (c, c, c) if isinstance(c, (int, float)) else c
    la, ha, ep = c
    share = f.share[t]
    assert ha >= la >= ep, (f.name, t, c)
    if share == "1":
        assert la == ha == ep, (f.name, t)
    if share == "lh":
        assert la == ha, (f.name, t)
    if share == "le":
        assert la == ep, (f.name, t)
    return c


class Table:
    """One function table: a function, a type letter, unit-stride or strided."""

    def __init__(self, f, t, strided):
        self.f, self.t, self.strided = f, t, strided
        self.shape = shape_of(f, t)
        self.base = "%s%s%s" % (t, f.name, "I" if strided else "")
        self.ttab = "nrx_zar_kernel_%s_ttab" % self.base
        self.ctab = "nrx_zar_kernel_%s_ctab" % self.base
        self.fn_type = "nrx_zar_%s%s_%s_fn" % (self.shape, "i" if strided else "", t)
        self.unit_ttab = "nrx_zar_kernel_%s%s_ttab" % (t, f.name)
        self.kernel = kernel_of(f, t)

    def public_names(self):
        """LA, HA, EP and plain name, in that order."""
        la, ha, ep = ("zar" + self.base + s for s in SUFFIX[self.t])
        return [la, ha, ep, "zar" + self.base]


def tables():
    unit, strided, pack = [], [], []
    for t in L.TYPES:
        for f in L.rows():
            if t in f.share:
                unit.append(Table(f, t, False))
    for tab in unit:
        strided.append(Table(tab.f, tab.t, True))
    for t in L.TYPES:
        for f in L.pack_rows():
            pack.append(Table(f, t, False))
    return unit + strided + pack


def params(shape, t, strided):
    """(C parameter list, argument names) of a kernel of this shape."""
    T, R = CTYPE[t], REAL[t]
    i = strided
    if shape in PACK:
        n, k = "int64_t n", "int32_t flag"
        return {
            "packI": ([n, "const %s* a" % T, "int64_t inca", "%s* y" % T, k], "n a inca y flag"),
            "packV": ([n, "const %s* a" % T, "const void* ia", "%s* y" % T, k], "n a ia y flag"),
            "packM": ([n, "const %s* a" % T, "const void* ma", "%s* y" % T, k], "n a ma y flag"),
            "unpackI": ([n, "const %s* a" % T, "%s* y" % T, "int64_t incy", k], "n a y incy flag"),
            "unpackV": ([n, "const %s* a" % T, "%s* y" % T, "const void* iy", k], "n a y iy flag"),
            "unpackM": ([n, "const %s* a" % T, "%s* y" % T, "const void* my", k], "n a y my flag"),
        }[shape]
    A = lambda name, ty=T: ["const %s* %s" % (ty, name)] + (["int32_t inc%s" % name] if i else [])
    O = lambda name, ty=T: ["%s* %s" % (ty, name)] + (["int32_t inc%s" % name] if i else [])
    if shape == "v1":
        p = A("a") + O("r")
    elif shape == "v2":
        p = A("a") + A("b") + O("r")
    elif shape == "vs":
        p = A("a") + ["%s b" % T] + O("r")
    elif shape == "v1r2":
        p = A("a") + O("r1") + O("r2")
    elif shape == "lf":
        p = A("a") + A("b") + ["%s %s" % (T, s) for s in ("scalea", "shifta", "scaleb", "shiftb")] + O("r")
    elif shape == "c2r":
        p = A("a") + O("r", R)
    elif shape == "r2c":
        p = A("a", R) + O("r")
    else:
        raise ValueError(shape)
    p = ["int32_t n"] + p
    return p, " ".join(x.split()[-1].lstrip("*") for x in p)


def public_params(shape, t):
    """Parameters of the public Pack/Unpack names: ordinary 32-bit counts, strides and index arrays."""
    T = CTYPE[t]
    return {
        "packI": "int32_t n, const %s* a, int32_t inca, %s* y" % (T, T),
        "packV": "int32_t n, const %s* a, const int32_t* ia, %s* y" % (T, T),
        "packM": "int32_t n, const %s* a, const int32_t* ma, %s* y" % (T, T),
        "unpackI": "int32_t n, const %s* a, %s* y, int32_t incy" % (T, T),
        "unpackV": "int32_t n, const %s* a, %s* y, const int32_t* iy" % (T, T),
        "unpackM": "int32_t n, const %s* a, %s* y, const int32_t* my" % (T, T),
    }[shape]


def pack_call(shape):
    return {"packI": "n, a, inca, y, 1", "packV": "n, a, ia, y, 1", "packM": "n, a, ma, y, 1",
            "unpackI": "n, a, y, incy, 1", "unpackV": "n, a, y, iy, 1", "unpackM": "n, a, y, my, 1"}[shape]


def fn_types(tabs):
    seen, out = set(), []
    for tab in tabs:
        if tab.fn_type in seen:
            continue
        seen.add(tab.fn_type)
        p, _ = params(tab.shape, tab.t, tab.strided)
        out.append("typedef void (*%s)(%s);" % (tab.fn_type, ", ".join(p)))
    return out


HEADER_TOP = """/* Vector math functions: function tables, cost tables and public entry names.
 * Generated by tools/zar_gen.py from zar/functions.py; do not edit.
 *
 * Public names: zar<t><Func>[I] and zar<t><Func>[I]_HA call slot 1 (HA) of the function's
 * table, _21 (s, c) / _50 (d, z) slot 0 (LA), _11 (s, c) / _26 (d, z) slot 2 (EP).
 * Unit-stride names take (n, a, [b,] r); strided I names take a stride (in elements)
 * after every array. n and the strides are signed 32-bit.
 *
 * Layout of the exported tables (64-bit build): a function table is three kernel
 * addresses (24 bytes, slot 0 LA, 1 HA, 2 EP); a cost table is three floats (12 bytes,
 * cycles per element of each slot's kernel). They lie in the library's writable data as
 * pairs (function table, cost table) 40 bytes apart: first every unit-stride table
 * (types s, d, c, z, each in list order), then the strided tables in the same order,
 * then Pack and Unpack.
 */
#ifndef NRX_ZAR_FUNCTIONS_H
#define NRX_ZAR_FUNCTIONS_H
#include <stdint.h>
#include "nrx/zar.h"
#ifdef __cplusplus
extern "C" {
#endif
"""


def bound_text(f):
    """The ulp bounds per flavour, one clause per group of types that share them."""
    by = {}
    for t in L.TYPES:
        if t in f.share:
            by.setdefault(ulp_bounds(f, t), []).append(t)
    parts = []
    for b, ts in by.items():
        if b == (0.0, 0.0, 0.0):
            parts.append("%s correctly rounded" % " ".join(ts))
        else:
            parts.append("%s LA %g, HA %g, EP %s ulp" % (" ".join(ts), b[0], b[1],
                                                         "2^%d" % round(math.log2(b[2])) if b[2] > 16 else "%g" % b[2]))
    return "; ".join(parts)


def doc_lines(f):
    """The header comment of one function."""
    types = [t for t in L.TYPES if t in f.share]
    out = ["%s: %s." % (f.name, description(f)),
           "  types %s; %s." % (" ".join(types), bound_text(f))]
    if f.oracle:
        out.append("  accuracy measured over [%g, %g]." % tuple(float(x) for x in f.domain_of(next(iter(f.share)))))
    rows = specials(f)
    if rows:
        out.append("  special results (types: arguments -> results, code):")
        out += ["    " + r.reads() for r in rows]
    codes = sorted({r.code for r in rows if r.code})
    names = {1: "1 domain", 2: "2 pole", 3: "3 overflow", 4: "4 underflow"}
    out.append("  codes: %s." % (", ".join(names[c] for c in codes) if codes else "none"))
    return out


def gen_header(tabs):
    out = [HEADER_TOP]
    out += fn_types(tabs)
    for f in L.rows() + L.pack_rows():
        out.append("")
        if f.name in L.ABOUT:
            out.append("/* " + "\n * ".join(doc_lines(f)) + " */")
        else:
            out.append("/* %s: one kernel for every flavour, 32-bit counts, strides and indices; no element errors.\n"
                       " * a and y must not overlap (the result is unspecified if they do); an index repeated in\n"
                       " * UnpackV leaves the element of its last occurrence. */" % f.name)
        for tab in tabs:
            if tab.f.name != f.name:
                continue
            out.append("extern NRX_ZAR_API %s %s[3];" % (tab.fn_type, tab.ttab))
            out.append("extern NRX_ZAR_API float %s[3];" % tab.ctab)
            if tab.shape in PACK:
                pp = public_params(tab.shape, tab.t)
            else:
                pp = ", ".join(params(tab.shape, tab.t, tab.strided)[0])
            for name in tab.public_names():
                out.append("NRX_ZAR_API void %s(%s);" % (name, pp))
    out.append("\n#ifdef __cplusplus\n}\n#endif\n#endif\n")
    return "\n".join(out)


def gen_docs():
    """docs/vm-functions.md: the functions, their bounds and special results."""
    out = ["# Vector math functions", "",
           "Generated by `tools/zar_gen.py --docs` from `zar/functions.py`; the header `include/nrx/zar_functions.h`",
           "carries the same text per function. Bounds are in ulps against the correctly rounded result; a code is",
           "the status the element reports (1 domain, 2 pole, 3 overflow, 4 underflow).", "",
           "| function | description | types | kernel | bounds | special results |",
           "|---|---|---|---|---|---|"]
    for f in L.rows():
        types = [t for t in L.TYPES if t in f.share]
        kern = ", ".join("%s %s" % (t, kernel_of(f, t)) for t in types)
        rows = "<br>".join(r.reads().replace("|", "\\|") for r in specials(f))
        out.append("| %s | %s | %s | %s | %s | %s |" % (f.name, description(f), " ".join(types), kern, bound_text(f), rows))
    return "\n".join(out) + "\n"


def op_expr(tab, flavour):
    T = CTYPE[tab.t]
    if tab.shape in PACK:
        return "&::nrx::zar::pack::%s<%s>" % (tab.shape, T)
    assert tab.kernel, "%s has no kernel in zar/functions.py" % tab.base
    op = "::nrx::zar::ops::%s<%s, ::nrx::zar::Flavour(%d)>" % (tab.f.name, T, flavour)
    if tab.strided:
        return "&::nrx::zar::Frame<%s>::strided<&%s, %d>" % (op, tab.unit_ttab, flavour - 1)
    return "&::nrx::zar::Frame<%s>::unit" % op


# Blocks of tables, one translation unit each, in storage order.
BLOCKS = ["unit_" + t for t in L.TYPES] + ["strided_" + t for t in L.TYPES] + ["pack"]


def block_of(tab):
    if tab.shape in PACK:
        return "pack"
    return ("strided_" if tab.strided else "unit_") + tab.t


def gen_tables(tabs):
    out = ["// Generated by tools/zar_gen.py from zar/functions.py; do not edit.",
           "// Compiled with -fno-toplevel-reorder so the tables keep the order written here.",
           '#include "zar/kernels/all.h"', '#include "nrx/zar_functions.h"', "",
           '#define NRX_TABLE __attribute__((section(".data.nrx_zar_tables"), aligned(8))) NRX_ZAR_API',
           'extern "C" {']
    for tab in tabs:
        fl = SLOT_FLAVOUR[tab.f.share[tab.t]]
        slots = ", ".join(op_expr(tab, x) for x in fl)
        c = ", ".join("%sf" % repr(float(x)) for x in costs(tab.f, tab.t))
        out.append("NRX_TABLE %s %s[3] = {%s};" % (tab.fn_type, tab.ttab, slots))
        out.append("NRX_TABLE float %s[3] = {%s};" % (tab.ctab, c))
    out.append("}")
    return "\n".join(out) + "\n"


def gen_stubs(tabs):
    out = ["// Generated by tools/zar_gen.py from zar/functions.py; do not edit.",
           "// Each public name is a tail jump through one slot of its function table.",
           '#include "nrx/zar_functions.h"', "", 'extern "C" {']
    for tab in tabs:
        if tab.shape in PACK:
            pp, call = public_params(tab.shape, tab.t), pack_call(tab.shape)
        else:
            p, names = params(tab.shape, tab.t, tab.strided)
            pp, call = ", ".join(p), ", ".join(names.split())
        for k, name in enumerate(tab.public_names()):
            slot = 1 if k == 3 else k
            out.append("void %s(%s) { %s[%d](%s); }" % (name, pp, tab.ttab, slot, call))
    out.append("}")
    return "\n".join(out) + "\n"


def gen_fn(tabs):
    rows = L.rows()
    out = ["// Generated by tools/zar_gen.py from zar/functions.py; do not edit.", "#pragma once",
           '#include "zar/service/catalog.h"', "", "namespace nrx::zar {",
           "// One tag per vector math function, in list order.",
           "enum class Fn { %s };" % ", ".join(f.name for f in rows), "",
           "constexpr const char* fn_name(Fn f) {",
           "  constexpr const char* names[] = {%s};" % ", ".join('"%s"' % f.name for f in rows),
           "  return names[int(f)];", "}", "",
           "// Argument shape of the real (complex = false) and complex tables of a function.",
           "constexpr catalog::Shape fn_shape(Fn f, bool complex) {"]
    for f in rows:
        sr = next((shape_of(f, t) for t in "sd" if t in f.share), None)
        sc = next((shape_of(f, t) for t in "cz" if t in f.share), None)
        out.append("  if (f == Fn::%s) return complex ? catalog::Shape::%s : catalog::Shape::%s;"
                   % (f.name, sc or sr, sr or sc))
    out += ["  return catalog::Shape::v1;", "}", "",
            "// True when a finite argument can give an infinite exact result.",
            "constexpr bool fn_poles(Fn f) {",
            "  return %s;" % " || ".join("f == Fn::%s" % f.name for f in rows if f.poles), "}", "}"]
    return "\n".join(out) + "\n"


def c_double(x):
    if x != x:
        return "%s__builtin_nan(\"\")" % ("-" if math.copysign(1.0, x) < 0 else "")
    if x in (float("inf"), float("-inf")):
        return "%s__builtin_inf()" % ("-" if x < 0 else "")
    return float(x).hex()


def c_str(x):
    return '"%s"' % x if x else "nullptr"


def gen_catalog(tabs):
    out = ["// Generated by tools/zar_gen.py from zar/functions.py; do not edit.",
           '#include "zar/service/catalog.h"', '#include "nrx/zar_functions.h"', "",
           "namespace nrx::zar::catalog {", "const Entry entries[] = {"]
    for tab in tabs:
        f = tab.f
        pub = ", ".join("(void*)&%s" % n for n in tab.public_names())
        pubn = ", ".join('"%s"' % n for n in tab.public_names())
        bound = ", ".join(c_double(b) for b in slot_bounds(f, tab.t)) if tab.shape not in PACK else "0, 0, 0"
        out.append("  {%s, '%s', Shape::%s, %s, (void* const*)%s, %s, %s, %s, %s, %r, %r, %s, %s, %s, {%s}, {%s}, {%s}},"
                   % (c_str(f.name), tab.t, tab.shape, "true" if tab.strided else "false", tab.ttab, tab.ctab,
                      c_str(f.share[tab.t]), c_str(tab.kernel), c_str(f.oracle),
                      float(f.domain_of(tab.t)[0]), float(f.domain_of(tab.t)[1]),
                      "true" if exact_of(f, tab.t) else "false", c_str(f.sleef), "true" if f.poles else "false", pubn, pub,
                      bound))
    out.append("};")
    out.append("const size_t count = sizeof(entries) / sizeof(entries[0]);")
    out.append("")
    out.append("const Special specials[] = {")
    kinds = ("Special::exact", "Special::within_bound", "Special::subnormal", "Special::any")
    for f in L.rows():
        for r in specials(f):
            args = ", ".join("{%s, %s}" % (c_double(a[0]), c_double(a[1])) for a in r.args)
            res = [(list(p) + [(0, 0.0)] * 2)[:2] for p in r.results]
            kind = ", ".join("{%s, %s}" % (kinds[p[0][0]], kinds[p[1][0]]) for p in res)
            want = ", ".join("{%s, %s}" % (c_double(p[0][1]), c_double(p[1][1])) for p in res)
            out.append('  {"%s", "%s", %s, %d, %d, {%s}, %d, {%s}, {%s}, %d, %s},'
                       % (f.name, r.types, "true" if r.ftz else "false", r.flavour, len(r.args), args, len(r.results),
                          kind, want, r.code, c_str(r.text)))
    out.append("};")
    out.append("const size_t special_count = sizeof(specials) / sizeof(specials[0]);")
    out.append("}")
    return "\n".join(out) + "\n"


def symbols(tabs):
    out = []
    for tab in tabs:
        out += [tab.ttab, tab.ctab] + tab.public_names()
    for s in L.SERVICE:
        out += ["zar" + s, "nrx_zar_kernel_" + s]
    out += L.EXTRA_EXPORTS
    return out


def write(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    if os.path.exists(path) and open(path).read() == text:
        return
    with open(path, "w") as fh:
        fh.write(text)


def main():
    tabs = tables()
    if sys.argv[1] == "--docs":
        sys.stdout.write(gen_docs())
        return
    if sys.argv[1] == "--symbols":
        print("\n".join(symbols(tabs)))
        return
    out = sys.argv[1]
    write(os.path.join(out, "nrx", "zar_functions.h"), gen_header(tabs))
    write(os.path.join(out, "zar_fn.h"), gen_fn(tabs))
    for block in BLOCKS:
        write(os.path.join(out, "zar_tables_%s.cpp" % block), gen_tables([t for t in tabs if block_of(t) == block]))
    for t in L.TYPES:
        write(os.path.join(out, "zar_stubs_%s.cpp" % t), gen_stubs([x for x in tabs if x.t == t]))
    write(os.path.join(out, "zar_catalog.cpp"), gen_catalog(tabs))
    write(os.path.join(out, "vm-functions.md"), gen_docs())
    write(os.path.join(out, "zar_symbols.txt"), "\n".join(symbols(tabs)) + "\n")


if __name__ == "__main__":
    main()
