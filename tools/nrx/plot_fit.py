"""Draws the data points and the fitted spline written by `nrx fit`.

Usage: plot_fit.py DATA.csv CURVE.csv OUT.png XCOL YCOL KIND
"""
import csv
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402


def rows(path):
    with open(path, newline="") as f:
        out = []
        for r in csv.reader(f):
            try:
                out.append([float(v) for v in r])
            except ValueError:
                header = r  # noqa: F841  (a header line)
        return out


def main():
    data, curve, png, cx, cy, kind = sys.argv[1:7]
    cx, cy = int(cx), int(cy)
    pts = rows(data)
    fit = rows(curve)
    with open(curve) as f:
        names = f.readline().strip().split(",")
    fig, ax = plt.subplots(figsize=(8, 4.5), dpi=110)
    ax.plot([r[0] for r in fit], [r[1] for r in fit], "-", color="tab:blue", lw=1.8, label=f"{kind} spline")
    ax.plot([r[cx] for r in pts], [r[cy] for r in pts], "o", color="tab:red", ms=5, label="data")
    for q in range(2, len(names)):
        ax.plot([r[0] for r in fit], [r[q] for r in fit], "--", lw=1, label=f"derivative {q - 1}")
    ax.set_xlabel(names[0])
    ax.set_ylabel(names[1])
    ax.grid(alpha=0.3)
    ax.legend()
    ax.set_title(f"nrx fit: {kind} spline through {len(pts)} points")
    fig.tight_layout()
    fig.savefig(png, format="png")  # the name nrx passes is a temporary one without .png


if __name__ == "__main__":
    main()
