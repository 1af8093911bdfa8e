#!/usr/bin/env python3
"""Markdown table of the vector math benchmarks.

  report.py [--filter REGEX] [--n 1000] [--bench PATH] [--min-time S] [--json FILE]

Runs nrx_bench --benchmark_format=json for the tables whose name matches REGEX (the whole
table name, e.g. 'dExp', 'd(Exp|Ln)', 's.*'), or reads an earlier run's output with --json,
and prints one row per kernel: table, flavour(s), cycles per element at length n, the ratio
to the table's cost figure, and the cycles of SLEEF's u10 and u35 functions (u05, u15 or the
exact one where those are what SLEEF has), of glibc libmvec, of a compiler loop and of a loop over
the C library's complex function.
"""
import argparse
import json
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))


def run_bench(bench, table_regex, min_time):
    cmd = [bench, "--benchmark_format=json", "--benchmark_filter=^[a-z0-9_]+/(%s)/" % table_regex]
    if min_time:
        cmd.append("--benchmark_min_time=%s" % min_time)
    out = subprocess.run(cmd, check=True, stdout=subprocess.PIPE, text=True).stdout
    return json.loads(out)


def parse(name):
    """('nrx', 'dExp', 'LA=HA', 1000) or ('sleef_u10', 'dExp', None, 1000)."""
    parts = [p for p in name.split("/") if p != "real_time"]
    who, table = parts[0], parts[1]
    flavour = parts[2] if len(parts) == 4 else None
    return who, table, flavour, int(parts[-1])


def fmt(x):
    return "-" if x is None else ("%.3g" % x)


def table(data, n):
    kernels, peers, order = [], {}, []
    for b in data.get("benchmarks", []):
        if b.get("run_type", "iteration") != "iteration":
            continue
        who, tab, flavour, size = parse(b["name"])
        if size != n:
            continue
        cyc = b.get("cyc/elem")
        if tab not in order:
            order.append(tab)
        if who == "nrx":
            kernels.append((tab, flavour, cyc, b.get("ctab")))
        else:
            peers.setdefault(tab, {})[who] = cyc
    rows = ["| function | flavour | cycles/element | ratio to cost | SLEEF u10 | SLEEF u35 | libmvec | loop | glibc |",
            "|---|---|---:|---:|---:|---:|---:|---:|---:|"]
    slot = {"LA": 0, "HA": 1, "EP": 2}
    for tab, flavour, cyc, cost in sorted(kernels, key=lambda k: (order.index(k[0]), slot[k[1].split("=")[0]])):
        p = peers.get(tab, {})
        u10 = p.get("sleef_u10", p.get("sleef_u05", p.get("sleef")))
        u35 = p.get("sleef_u35", p.get("sleef_u15"))
        ratio = cyc / cost if cyc is not None and cost else None
        rows.append("| %s | %s | %s | %s | %s | %s | %s | %s | %s |" % (
            tab, flavour, fmt(cyc), fmt(ratio), fmt(u10), fmt(u35), fmt(p.get("libmvec")), fmt(p.get("loop")),
            fmt(p.get("glibc"))))
    return "\n".join(rows)


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--filter", default=".*", help="regular expression for the whole table name")
    ap.add_argument("--n", type=int, default=1000, help="vector length to report (1000 or 1000000)")
    ap.add_argument("--bench", default=os.path.join(HERE, "..", "build", "bin", "nrx_bench"))
    ap.add_argument("--min-time", default="0.1", help="seconds per benchmark (passed to nrx_bench)")
    ap.add_argument("--json", help="read this nrx_bench JSON output instead of running it")
    a = ap.parse_args()
    if a.json:
        with open(a.json) as fh:
            data = json.load(fh)
    else:
        data = run_bench(a.bench, a.filter, a.min_time)
    ctx = data.get("context", {})
    print("Core clock %s GHz (TSC %s GHz), n = %d.\n" % (ctx.get("core_clock_ghz", "?"), ctx.get("tsc_ghz", "?"), a.n))
    print(table(data, a.n))


if __name__ == "__main__":
    sys.exit(main())
