#!/usr/bin/env python3
"""nrx rng: a run saved and continued equals one uninterrupted run, in text and in
binary, for raw words and for laws that keep setup chunks in the stream; every law of
the law list draws with its default parameters in each of its precisions; the help
lists every generator and law of the lists in rng.h; bad options are refused.
Usage: cmd_test.py DRIVER"""
import os
import re
import subprocess
import sys
import tempfile

drv = sys.argv[1]
HERE = os.path.dirname(os.path.abspath(__file__))
fail = 0


def run(*args):
    return subprocess.run([drv, "rng", *args], capture_output=True, check=True).stdout


def complain(*what):
    global fail
    print("FAIL:", *what)
    fail = 1


def header_rows(macro):
    """The X(...) rows of a list macro in rng.h, as lists of stripped fields."""
    hdr = open(os.path.join(HERE, "..", "..", "include", "nrx", "rng.h")).read()
    body = hdr[hdr.index(f"#define {macro}(X)"):]
    body = body[:body.index("\n\n")].replace("\\\n", " ")
    return [[f.strip() for f in re.findall(r'"[^"]*"|[^,]+', m.group(1))] for m in re.finditer(r"X\((.*?)\)\s*(?=X\(|$)", body)]


with tempfile.TemporaryDirectory() as d:
    st, b1, b2, ball = (os.path.join(d, x) for x in ("state", "b1", "b2", "ball"))
    for gen, law in (("mrg32k3a", ["-l", "uniform"]), ("wh:7", ["-l", "bits"]), ("mcg59", ["-l", "bits"]),
                     ("r250", ["-l", "uniform-float"]), ("mt19937", ["-l", "bits"]), ("sfmt19937", ["-l", "uniform"]),
                     ("mt19937", ["-l", "binomial", "-p", "40,0.3"]), ("mcg59", ["-l", "poisson", "-p", "12"]),
                     ("philox4x32x10", ["-l", "hypergeometric", "-p", "1000,300,200"]),
                     ("mrg32k3a", ["-l", "gaussian", "-m", "1"]), ("mt19937", ["-l", "geometric", "-p", "0.1"])):
        whole = run("-g", gen, *law, "-s", "3,4", "-n", "2500")
        first = run("-g", gen, *law, "-s", "3,4", "-n", "1001", "--save", st)
        rest = run("--load", st, *law, "-n", "1499")
        if first + rest != whole:
            complain("text continuation", gen, law)
        run("-g", gen, *law, "-s", "3,4", "-n", "2500", "-o", ball)
        run("-g", gen, *law, "-s", "3,4", "-n", "701", "-o", b1, "--save", st)
        run("--load", st, *law, "-n", "1799", "-o", b2)
        if open(b1, "rb").read() + open(b2, "rb").read() != open(ball, "rb").read():
            complain("binary continuation", gen, law)

    # Rejection methods drop a call's unused uniforms, so a split run differs from a whole
    # one; a saved stream, setup chunk included, still continues the same way every time.
    for law in (["-l", "binomial", "-p", "4000,0.3"], ["-l", "poisson", "-p", "300"],
                ["-l", "multinomial", "-p", "50,0.2,0.3,0.5"]):
        run("-g", "mt19937", *law, "-n", "100", "--save", st)
        again = [run("--load", st, *law, "-n", "500") for _ in range(2)]
        if again[0] != again[1] or len(again[0].split()) < 500:
            complain("continuation from a saved setup chunk", law)

    # Full-width words of MT19937 are its raw words; MRG32K3A has none.
    if run("-g", "mt19937", "-l", "bits32", "-n", "100") != run("-g", "mt19937", "-l", "bits", "-n", "100"):
        complain("bits32 differs from the raw words of mt19937")
    if subprocess.run([drv, "rng", "-g", "mrg32k3a", "-l", "bits32"], capture_output=True).returncode != 1:
        complain("bits32 on mrg32k3a not refused")

    # Every law and precision draws with its defaults; binary sizes follow the element type.
    laws = header_rows("NRX_RNG_LAW_LIST")
    sizes = {"s": 4, "d": 8, "i": 4}
    for row in laws:
        label = row[1].strip('"')
        for t in ("s", "d") if row[2] == "SD" else ("i",):
            args = ["-g", "mt19937", "-l", label, "-n", "64", "-o", b1] + (["-t", t] if t != "i" else [])
            r = subprocess.run([drv, "rng", *args], capture_output=True)
            if r.returncode != 0:
                complain("law", label, t, r.stderr.decode())
                continue
            per = {"multinomial": 2}.get(label, 1)
            size = 8 if label == "bits64" else sizes[t]
            if os.path.getsize(b1) != 64 * per * size:
                complain("binary size of", label, t, os.path.getsize(b1))

    text = run("--help").decode()
    for row in header_rows("NRX_BRNG_LIST"):
        label = row[13].strip('"')
        if label and not re.search(rf"\b{re.escape(label)}\b", text):
            complain("help does not list generator", label)
    for row in laws:
        if not re.search(rf"^\s+{re.escape(row[1].strip(chr(34)))}\s", text, re.M):
            complain("help does not list law", row[1])

    for bad in (["-g", "nosuch"], ["-l", "gauss"], ["-n"], ["-g", "mcg31m1:3"], ["-g", "wh:273"],
                ["-l", "binomial", "-p", "10"], ["-l", "poisson", "-p", "1,2"], ["-l", "gaussian-mv", "-p", "2,0,0,0,1"],
                ["-l", "multinomial", "-p", "10"], ["-l", "gaussian", "-m", "x1"], ["-t", "q"], ["-l", "poisson", "-a", "1"]):
        if subprocess.run([drv, "rng", *bad], capture_output=True).returncode != 2:
            complain("accepted", bad)
    # Parameters the library refuses fail with its status, writing nothing.
    r = subprocess.run([drv, "rng", "-l", "binomial", "-p", "10,1.5", "-o", b2], capture_output=True)
    if r.returncode != 1 or b"-3" not in r.stderr:
        complain("bad probability", r.returncode, r.stderr)
    if subprocess.run([drv, "rng", "--load", os.path.join(d, "missing")], capture_output=True).returncode != 1:
        complain("missing state accepted")
sys.exit(fail)
