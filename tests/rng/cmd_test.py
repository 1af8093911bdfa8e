#!/usr/bin/env python3
"""nrx rng: a run saved and continued equals one uninterrupted run, in text and in
binary, and bad options are refused. Usage: cmd_test.py DRIVER"""
import os
import subprocess
import sys
import tempfile

drv = sys.argv[1]
fail = 0


def run(*args):
    return subprocess.run([drv, "rng", *args], capture_output=True, check=True).stdout


with tempfile.TemporaryDirectory() as d:
    st, b1, b2, ball = (os.path.join(d, x) for x in ("state", "b1", "b2", "ball"))
    for gen, law in (("mrg32k3a", "uniform"), ("wh:7", "bits"), ("mcg59", "bits"), ("r250", "uniform-float"),
                     ("mt19937", "bits"), ("sfmt19937", "uniform")):
        whole = run("-g", gen, "-l", law, "-s", "3,4", "-n", "2500")
        first = run("-g", gen, "-l", law, "-s", "3,4", "-n", "1000", "--save", st)
        rest = run("--load", st, "-l", law, "-n", "1500")
        if first + rest != whole:
            print("FAIL: text continuation", gen, law)
            fail = 1
        run("-g", gen, "-l", law, "-s", "3,4", "-n", "2500", "-o", ball)
        run("-g", gen, "-l", law, "-s", "3,4", "-n", "700", "-o", b1, "--save", st)
        run("--load", st, "-l", law, "-n", "1800", "-o", b2)
        if open(b1, "rb").read() + open(b2, "rb").read() != open(ball, "rb").read():
            print("FAIL: binary continuation", gen, law)
            fail = 1
    for bad in (["-g", "nosuch"], ["-l", "gauss"], ["-n"], ["-g", "mcg31m1:3"]):
        if subprocess.run([drv, "rng", *bad], capture_output=True).returncode != 2:
            print("FAIL: accepted", bad)
            fail = 1
    if subprocess.run([drv, "rng", "--load", os.path.join(d, "missing")], capture_output=True).returncode != 1:
        print("FAIL: missing state accepted")
        fail = 1
sys.exit(fail)
