#!/usr/bin/env python3
"""Measured cycles per element against the cost figures of zar/functions.py.

Runs nrx_bench on a filter (n = 1,000 unless --n says otherwise), repeats each benchmark and
keeps the best run, then prints one row per nrx table and flavour: cycles per element, the
figure (the benchmark's ctab counter), their ratio, and the fastest peer of the same table in
the same run with ours over it (for HA rows the fastest SLEEF u05/u10 peer, or the loop over
glibc's complex function). Rows over their figure by more than --slack are marked.

The repetitions run in random order across the filter: on a shared (virtual) machine the
throughput of the core changes by up to 2x over tens of seconds while the clock, and the chain
of integer adds that measures it, stay put (most likely other work on the physical core, out of
this machine's view: loading the other CPU here changes nothing), so a row measured only while
that lasts reads slow. Spread over the run, each row's best
repetition comes from a quiet moment, and ours and its peers are compared at like moments.

  tools/bench_figures.py --filter '/[sd](Sin|Cos|Tan)(pi|d)?/' --reps 3
"""
import argparse
import json
import re
import subprocess
import sys


def run(bench, flt, n, reps, interleave, context=None):
    """{run name: (best cycles per element, cost figure)}; the run's context (clock, CPUs) into
    the dict `context` when one is given."""
    cmd = [bench, f"--benchmark_filter={flt}(.*/)?{n}(/real_time)?$", "--benchmark_format=json",
           f"--benchmark_repetitions={reps}"]
    if interleave:
        cmd.append("--benchmark_enable_random_interleaving=true")
    out = subprocess.run(cmd, check=True, capture_output=True, text=True).stdout
    data = json.loads(out)
    if context is not None:
        context.update(data.get("context", {}))
    best = {}
    for b in data["benchmarks"]:
        if b.get("run_type") != "iteration":
            continue
        name = b["run_name"]
        cyc = b["cyc/elem"]
        if name not in best or cyc < best[name][0]:
            best[name] = (cyc, b.get("ctab", 0.0))
    return best


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--bench", default="build/bin/nrx_bench")
    ap.add_argument("--filter", required=True, help="regular expression on the table part, e.g. '/dAsinh/'")
    ap.add_argument("--n", type=int, default=1000)
    ap.add_argument("--reps", type=int, default=3)
    ap.add_argument("--no-interleave", action="store_true",
                    help="run each benchmark's repetitions back to back instead of in random order across "
                         "the filter")
    ap.add_argument("--slack", type=float, default=1.0, help="mark rows with ours/figure above this")
    args = ap.parse_args()
    best = run(args.bench, args.filter, args.n, args.reps, not args.no_interleave)
    # The fastest peer per table, and per table among the peers of HA accuracy (SLEEF u05/u10).
    peers, peers_ha = {}, {}
    for name, (cyc, _) in best.items():
        who, table = name.split("/")[:2]
        if who == "nrx":
            continue
        for d, ok in ((peers, True), (peers_ha, who in ("sleef_u05", "sleef_u10", "sleef", "glibc"))):
            if ok and (table not in d or cyc < d[table][1]):
                d[table] = (who, cyc)
    print(f"{'table':<10} {'fl':<8} {'cyc':>7} {'figure':>7} {'/fig':>6}   {'peer':<10} {'cyc':>7} {'/peer':>6}")
    for name, (cyc, fig) in best.items():
        m = re.match(r"nrx/(\w+)/((?:LA|HA|EP)(?:=(?:LA|HA|EP))*)/", name)
        if not m:
            continue
        table, fl = m.groups()
        ratio = cyc / fig if fig else float("nan")
        who, pc = (peers_ha if "HA" in fl.split("=") else peers).get(table, ("-", float("nan")))
        mark = " *" if ratio > args.slack else ""
        print(f"{table:<10} {fl:<8} {cyc:7.3f} {fig:7.3f} {ratio:6.3f}   {who:<10} {pc:7.3f} {cyc / pc:6.3f}{mark}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
