#!/usr/bin/env python3
"""Markdown table of nrx_pack_bench: cycles per element of each pack and unpack kernel beside
the -O3 -march=native loop of its definition, and their ratio, from one run.

  report.py [--bench PATH] [--filter REGEX] [--min-time S]
"""
import argparse
import json
import os
import subprocess

HERE = os.path.dirname(os.path.abspath(__file__))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--bench", default=os.path.join(HERE, "..", "..", "build", "bin", "nrx_pack_bench"))
    ap.add_argument("--filter", default=".")
    ap.add_argument("--min-time", default="0.1")
    a = ap.parse_args()
    out = subprocess.run([a.bench, "--benchmark_format=json", "--benchmark_filter=" + a.filter,
                          "--benchmark_min_time=%s" % a.min_time], check=True, stdout=subprocess.PIPE, text=True).stdout
    run = json.loads(out)
    cyc = {b["name"]: b["cyc/elem"] for b in run["benchmarks"]}
    print("core clock %s GHz\n" % run["context"].get("core GHz", "?"))
    print("| kernel | type | n | nrx cyc/elem | loop cyc/elem | loop / nrx |")
    print("|---|---|---|---|---|---|")
    for name, v in cyc.items():
        if not name.endswith("/nrx"):
            continue
        base = name[:-4]
        loop = cyc.get(base + "/loop")
        *form, t, n = base.split("/")
        print("| %s | %s | %s | %.3f | %.3f | %.2f |" % ("/".join(form), t, n, v, loop, loop / v))


if __name__ == "__main__":
    main()
