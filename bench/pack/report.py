#!/usr/bin/env python3
"""Markdown table of nrx_pack_bench: cycles per element of each pack and unpack kernel beside
the -O3 -march=native loop of its definition, and their ratio, from one run.

Each benchmark runs --reps times in random order across the filter and keeps its best run: the
core's throughput drifts over tens of seconds on a shared machine, and a kernel and its loop
are compared at like moments only when their repetitions are spread over the run.

  report.py [--bench PATH] [--filter REGEX] [--min-time S] [--reps K] [--out FILE]
"""
import argparse
import json
import os
import subprocess

HERE = os.path.dirname(os.path.abspath(__file__))


INTRO = """# Pack and unpack: speed beside plain loops

Measured by `bench/pack/report.py --out` (nrx_pack_bench): each kernel beside the loop of its
definition compiled with `gcc -O3 -march=native`, in the same run, AMD Zen 5 (EPYC), n = 1,000
and 10^6. Stride 3 for the strided forms; indices a random permutation, masks with half the entries set at random.
Ratios near 1 are kernels that are that same loop (the scatters, and double complex moves);
between runs they move by several per cent either way.
"""


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--bench", default=os.path.join(HERE, "..", "..", "build", "bin", "nrx_pack_bench"))
    ap.add_argument("--filter", default=".")
    ap.add_argument("--min-time", default="0.05")
    ap.add_argument("--reps", type=int, default=5)
    ap.add_argument("--out", help="write the table here instead of standard output")
    a = ap.parse_args()
    out = subprocess.run([a.bench, "--benchmark_format=json", "--benchmark_filter=" + a.filter,
                          "--benchmark_min_time=" + a.min_time,
                          "--benchmark_repetitions=%d" % a.reps, "--benchmark_enable_random_interleaving=true"],
                         check=True, stdout=subprocess.PIPE, text=True).stdout
    run = json.loads(out)
    cyc = {}
    for b in run["benchmarks"]:
        if b.get("run_type", "iteration") == "iteration":
            name = b.get("run_name", b["name"])
            cyc[name] = min(cyc.get(name, float("inf")), b["cyc/elem"])
    lines = ["Pack and unpack, cycles per element, best of %d interleaved runs; core clock %s GHz." %
             (a.reps, run["context"].get("core GHz", "?")), "",
             "| kernel | type | n | nrx cyc/elem | loop cyc/elem | loop / nrx |", "|---|---|---|---|---|---|"]
    for name, v in sorted(cyc.items()):
        if not name.endswith("/nrx"):
            continue
        base = name[:-4]
        loop = cyc.get(base + "/loop")
        *form, t, n = base.split("/")
        lines.append("| %s | %s | %s | %.3f | %.3f | %.2f |" % ("/".join(form), t, n, v, loop, loop / v))
    text = "\n".join(lines) + "\n"
    if a.out:
        with open(a.out, "w") as f:
            f.write(INTRO + "\n" + text)
    else:
        print(text, end="")


if __name__ == "__main__":
    main()
