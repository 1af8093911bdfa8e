"""The nrx fit subcommand against scipy on the shipped data and on a file of its own.

Usage: cmd_test.py DRIVER DATA_DIR
"""
import os
import subprocess
import sys
import tempfile

import numpy as np
from scipy.interpolate import Akima1DInterpolator, CubicSpline

driver, data_dir = sys.argv[1:3]
env = dict(os.environ, NRX_DATA_DIR=data_dir)


def run(*args):
    p = subprocess.run([driver, "fit", *args], capture_output=True, text=True, env=env)
    return p.returncode, p.stdout, p.stderr


def table(text):
    lines = text.strip().splitlines()
    return lines[0].split(","), np.array([[float(v) for v in ln.split(",")] for ln in lines[1:]])


demo = np.loadtxt(os.path.join(data_dir, "fit_demo.csv"), delimiter=",", skiprows=1)
x, y = demo[:, 0], demo[:, 1]
failures = passes = 0


def check(name, ok):
    global failures, passes
    print(("ok   " if ok else "FAIL ") + name)
    failures += not ok
    passes += bool(ok)


rc, out, err = run("--grid", "50", "--deriv", "2")
head, t = table(out)
check("default run", rc == 0 and head == ["time_s", "signal_mV", "d1", "d2"] and len(t) == 50)
ref = CubicSpline(x, y, bc_type="natural")
check("natural values and derivatives", all(np.allclose(t[:, 1 + q], ref(t[:, 0], q), atol=1e-8) for q in range(3)))

rc, out, _ = run("--kind", "akima", "--bc", "free", "--at", "1,2.5,7.25")
_, t = table(out)
check("akima at sites", rc == 0 and np.allclose(t[:, 1], Akima1DInterpolator(x, y)(t[:, 0]), atol=1e-3))

rc, out, err = run("--bc", "clamped:0.5,-1", "--integral", "--grid", "3")
ref = CubicSpline(x, y, bc_type=((1, 0.5), (1, -1.0)))
area = float(err.split("integral over")[1].split(":")[1].split()[0])
check("clamped integral", rc == 0 and abs(area - ref.integrate(x[0], x[-1])) < 1e-8)

with tempfile.TemporaryDirectory() as d:
    path = os.path.join(d, "pts.csv")
    with open(path, "w") as f:
        f.write("a,b,c\n3,9,1\n1,1,1\n2,4,1\n0,0,1\n")  # unsorted rows, y = x^2 in column b
    rc, out, _ = run(path, "--x", "a", "--y", "b", "--bc", "not-a-knot", "--at", "0.5,2.5")
    _, t = table(out)
    check("own file, named columns", rc == 0 and np.allclose(t[:, 1], [0.25, 6.25]))
    rc, _, err = run(path, "--kind", "akima")
    check("too few points refused", rc != 0 and "at least" in err)
    png = os.path.join(d, "fit.png")
    rc, _, err = run("--plot", png)
    check("plot written", rc == 0 and os.path.getsize(png) > 1000)
rc, _, err = run("--kind", "natural", "--bc", "periodic")
check("periodic refusal explained", rc != 0 and "periodic" in err)
check("bad option", run("--bogus")[0] == 2)
print(f"{passes} passed, {failures} failed")
sys.exit(1 if failures else 0)
