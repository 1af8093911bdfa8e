#!/usr/bin/env python3
"""The nrx program as its users meet it: no shell, every write checked, nothing partial left,
strict numbers and limits, output only after success, help and exit conventions, standard
input. Each row names the fault it guards against. Usage: cli_test.py NRX"""
import os
import subprocess
import sys
import tempfile

nrx = os.path.abspath(sys.argv[1])
failures = 0


def run(args, stdin=None, cwd=None, env=None):
    return subprocess.run([nrx, *args], input=stdin, capture_output=True, cwd=cwd, env=env, timeout=120)


def check(name, ok, p=None):
    global failures
    print(("ok   " if ok else "FAIL ") + name)
    if not ok:
        failures += 1
        if p is not None:
            print("     rc", p.returncode, "stderr", p.stderr.decode(errors="replace")[:400])


with tempfile.TemporaryDirectory() as d:
    demo = os.path.join(d, "pts.csv")
    with open(demo, "w") as f:
        f.write("t,v\n" + "".join(f"{i},{i * i}\n" for i in range(12)))

    # Usage errors: exit 2, nothing on standard output, the option named on standard error.
    usage_rows = [
        (["rng", "-n", "abc"], "-n"),
        (["rng", "-n", "12x"], "-n"),
        (["rng", "-n", "-1"], "-n"),
        (["rng", "-n", "99999999999999999999"], "-n"),
        (["rng", "-s", "1,,2"], "-s"),
        (["rng", "-s", "4294967296"], "-s"),
        (["rng", "-a", "nan"], "-a"),
        (["rng", "-g", "wh:273"], "-g"),
        (["rng", "-g", "wh:x"], "-g"),
        (["rng", "-n"], "-n"),
        (["fit", demo, "--grid", "-5"], "--grid"),
        (["fit", demo, "--grid", "100000000000"], "--grid"),
        (["fit", demo, "--grid", "1e3"], "--grid"),
        (["fit", demo, "--deriv", "7"], "--deriv"),
        (["fit", demo, "--at", "1,zz"], "--at"),
        (["fit", demo, "--bc", "clamped:1"], "--bc"),
        (["fit", demo, "--kind", "quartic"], "--kind"),
        (["fit", demo, "--bogus", "1"], "--bogus"),
        (["stats", "--bogus"], "--bogus"),
        (["stats", demo, demo], "more than one file"),
        (["vm", "--samples", "-1"], "--samples"),
        (["vm", "--samples", "0"], "--samples"),
        (["nosuch"], "unknown command"),
        ([], "usage"),
    ]
    for args, needle in usage_rows:
        p = run(args)
        check("usage error: " + " ".join(args), p.returncode == 2 and p.stdout == b"" and
              needle.encode() in p.stderr, p)

    # Help: standard output, exit 0, nothing on standard error, for the program and each subcommand.
    for args in (["--help"], ["help"], ["vm", "--help"], ["rng", "--help"], ["stats", "--help"], ["fit", "-h"]):
        p = run(args)
        check("help: " + " ".join(args), p.returncode == 0 and b"usage: nrx" in p.stdout and p.stderr == b"", p)
    p = run(["--version"])
    check("--version", p.returncode == 0 and p.stdout.startswith(b"nrx 1."), p)

    # Failed calls: exit 1, no output at all, and the reason.
    p = run(["rng", "-a", "1", "-b", "0", "-n", "2"])
    check("refused draw prints nothing", p.returncode == 1 and p.stdout == b"" and b"status -3" in p.stderr, p)
    p = run(["rng", "--load", os.path.join(d, "missing")])
    check("missing state named", p.returncode == 1 and b"missing" in p.stderr, p)

    # Writes: a bad path or a full device is an error, and no partial file is left behind.
    write_rows = [
        ("fit --out to a missing directory", ["fit", demo, "--out", "/nonexistent/o.csv"], None),
        ("fit --out to a full device", ["fit", demo, "--out", "/dev/full"], None),
        ("rng -o to a full device", ["rng", "-n", "200000", "-o", "/dev/full"], None),
        ("rng -o to a missing directory", ["rng", "-n", "5", "-o", "/nonexistent/r.bin"], None),
        ("rng --save to a missing directory", ["rng", "-n", "5", "--save", "/nonexistent/s"], None),
        ("rng text to a full standard output", ["rng", "-n", "200000"], "/dev/full"),
        ("stats to a full standard output", ["stats", demo], "/dev/full"),
        ("help to a full standard output", ["fit", "--help"], "/dev/full"),
    ]
    for name, args, stdout in write_rows:
        before = set(os.listdir(d))
        if stdout:
            with open(stdout, "w") as out:
                p = subprocess.run([nrx, *args], stdout=out, stderr=subprocess.PIPE, timeout=120)
        else:
            p = run(args)
        check(name, p.returncode == 1 and b"cannot write" in p.stderr and set(os.listdir(d)) == before, p)

    # A refused run leaves an earlier output file as it was.
    out = os.path.join(d, "keep.bin")
    with open(out, "wb") as f:
        f.write(b"earlier")
    p = run(["rng", "-a", "1", "-b", "0", "-n", "5", "-o", out])
    check("refused run keeps the old file", p.returncode == 1 and open(out, "rb").read() == b"earlier", p)
    p = run(["rng", "-n", "5", "-o", out])
    check("successful run replaces it whole", p.returncode == 0 and os.path.getsize(out) == 40 and
          sorted(os.listdir(d)) == ["keep.bin", "pts.csv"], p)

    # No shell: a file name full of shell syntax is only a file name.
    evil = "a';touch INJECTED;'b.csv"
    with open(os.path.join(d, evil), "w") as f:
        f.write(open(demo).read())
    p = run(["fit", evil, "--plot", "p.png"], cwd=d)
    check("plot without a shell", not os.path.exists(os.path.join(d, "INJECTED")) and p.returncode == 0 and
          open(os.path.join(d, "p.png"), "rb").read(8) == b"\x89PNG\r\n\x1a\n", p)
    check("plot leaves no temporary files", sorted(os.listdir(d)) == sorted(["keep.bin", "pts.csv", evil, "p.png"]))
    env = dict(os.environ, NRX_PYTHON="/bin/false")
    p = run(["fit", demo, "--plot", os.path.join(d, "q.png")], env=env)
    check("failed plot leaves no picture", p.returncode == 1 and not os.path.exists(os.path.join(d, "q.png")) and
          sorted(os.listdir(d)) == sorted(["keep.bin", "pts.csv", evil, "p.png"]), p)

    # Standard input, and the same numbers as from the file.
    data = open(demo, "rb").read()
    a, b = run(["stats", "-"], stdin=data), run(["stats", demo])
    check("stats reads standard input", a.returncode == 0 and a.stdout.split(b"\n")[1:] == b.stdout.split(b"\n")[1:], a)
    a, b = run(["fit", "-", "--grid", "7"], stdin=data), run(["fit", demo, "--grid", "7"])
    check("fit reads standard input", a.returncode == 0 and a.stdout == b.stdout and len(a.stdout.split(b"\n")) == 9, a)

    # Bad data: the line and field named, exit 1.
    p = run(["stats", "-"], stdin=b"a,b\n1,2\n3,x\n")
    check("bad cell named", p.returncode == 1 and b"standard input:3: field 2" in p.stderr, p)
    p = run(["fit", "-"], stdin=b"1,2\n3\n")
    check("short row named", p.returncode == 1 and b"standard input:2: 1 fields, expected 2" in p.stderr, p)
    p = run(["stats", "-"], stdin=(",".join(["1"] * 5000) + "\n").encode() * 2)
    check("too many variables refused", p.returncode == 1 and b"at most 4096" in p.stderr, p)

    # Progress on request goes to standard error only.
    a, b = run(["rng", "-n", "3000000", "--progress"]), run(["rng", "-n", "3000000"])
    check("progress on standard error", a.returncode == 0 and b"100%" in a.stderr and a.stdout == b.stdout and
          b"%" not in b.stderr, a)

print("failures:", failures)
sys.exit(1 if failures else 0)
