"""nrx stats: the median, quantile and absolute-deviation rows it prints for the columns of a CSV
file against numpy (numpy.quantile with the "linear" method), and its refusals of bad orders."""
import subprocess
import sys
import unittest

import numpy as np

NRX = None


def run(args, stdin=None):
    return subprocess.run([NRX, "stats"] + args, input=stdin, capture_output=True, timeout=120)


def rows(stdout):
    """The printed rows, label -> values: a label in columns 2-19, then the numbers."""
    out = {}
    for line in stdout.decode().splitlines():
        label, rest = line[2:20].strip(), line[20:].split()
        try:
            vals = [float(v) for v in rest]
        except ValueError:
            continue
        if label and vals:
            out.setdefault(label, vals)
    return out


def csv(x, names=True):
    lines = [",".join("c%d" % j for j in range(x.shape[1]))] if names else []
    lines += [",".join(repr(float(v)) for v in r) for r in x]
    return ("\n".join(lines) + "\n").encode()


class Order(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        rng = np.random.default_rng(21)
        # Odd and even counts, a skewed column, ties and a large offset: the interpolation and the
        # median of the absolute deviations show their faults on such columns.
        cls.data = {
            "odd": np.column_stack([rng.normal(size=101), rng.exponential(size=101),
                                    np.round(rng.normal(size=101), 1), 1e6 + rng.normal(size=101)]),
            "even": np.column_stack([rng.normal(size=64), rng.gamma(0.5, size=64)]),
        }

    def check(self, x, orders, args):
        p = run(args + ["-"], stdin=csv(x))
        self.assertEqual(p.returncode, 0, p.stderr)
        got = rows(p.stdout)
        med = np.median(x, axis=0)
        want = {"median": med,
                "median abs. dev.": np.median(np.abs(x - med), axis=0),
                "mean abs. dev.": np.mean(np.abs(x - x.mean(axis=0)), axis=0)}
        for q in orders:
            want["quantile %g" % q] = np.quantile(x, q, axis=0, method="linear")
        for label, v in want.items():
            with self.subTest(label=label):
                # Six significant digits are printed.
                np.testing.assert_allclose(got[label], v, rtol=6e-6, atol=1e-9)
        return got

    def test_default_orders(self):
        for name, x in self.data.items():
            with self.subTest(data=name):
                got = self.check(x, [0.05, 0.25, 0.75, 0.95], [])
                self.assertEqual(len([k for k in got if k.startswith("quantile")]), 4)

    def test_given_orders_including_the_ends(self):
        for name, x in self.data.items():
            with self.subTest(data=name):
                self.check(x, [0, 0.01, 0.333, 0.5, 0.9, 1], ["--quantiles", "0,0.01,0.333,0.5,0.9,1"])

    def test_no_quantile_rows(self):
        got = self.check(self.data["odd"], [], ["--quantiles", "none"])
        self.assertFalse([k for k in got if k.startswith("quantile")])

    def test_refused_orders(self):
        for arg, text in (("1.5", b"not in [0, 1]"), ("-0.1", b"not in [0, 1]"), ("0.5,x", b"'x'"),
                          ("", b"no orders"), ("nan", b"finite")):
            with self.subTest(arg=arg):
                p = run(["--quantiles", arg, "-"], stdin=csv(self.data["even"]))
                self.assertEqual(p.returncode, 2)
                self.assertIn(text, p.stderr)
                self.assertEqual(p.stdout, b"")
        p = run(["--quantiles"])
        self.assertEqual(p.returncode, 2)


if __name__ == "__main__":
    NRX = sys.argv[1]
    unittest.main(argv=sys.argv[:1], verbosity=1)
