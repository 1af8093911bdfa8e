"""Data fitting kernels against scipy and numpy.

Usage: test_fit_scipy.py LIBDIR   (the build's lib/ folder)
"""
import itertools
import os
import sys
import unittest

import numpy as np
from scipy.interpolate import Akima1DInterpolator, CubicSpline, PchipInterpolator

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from nrxfit import Lib, Spline  # noqa: E402

LIB = None
RNG = np.random.default_rng(20261206)
TOL = {np.float64: 1e-10, np.float32: 2e-3}


def partition(n, uniform, a=0.0, b=10.0):
    if uniform:
        return np.linspace(a, b, n)
    # Jittered steps: non-uniform, yet no pair of breakpoints closer than a fifth of the mean step.
    x = np.linspace(a, b, n)
    x[1:-1] += RNG.uniform(-0.4, 0.4, n - 2) * (b - a) / (n - 1)
    return x


def data(x, ny=2):
    return np.stack([np.sin(x * (1 + 0.3 * k)) + 0.1 * k * x for k in range(ny)])


def close(test, got, want, dtype, scale=1.0):
    err = np.max(np.abs(np.asarray(got, np.float64) - want)) / max(1.0, np.max(np.abs(want)))
    test.assertLess(err, TOL[dtype] * scale)


class CubicAgainstScipy(unittest.TestCase):
    """Natural and default kernels against CubicSpline for every end condition."""

    # (our boundary type, boundary values, scipy bc_type builder from the end values)
    CASES = [
        ("free", None, lambda v: "natural"),
        ("not-a-knot", None, lambda v: "not-a-knot"),
        ("clamped", (0.7, -1.3), lambda v: ((1, v[0]), (1, v[1]))),
        ("2nd", (0.4, 2.0), lambda v: ((2, v[0]), (2, v[1]))),
        ("1st-2nd", (0.7, 2.0), lambda v: ((1, v[0]), (2, v[1]))),
        ("2nd-1st", (0.4, -1.3), lambda v: ((2, v[0]), (1, v[1]))),
        ("periodic", (0.0, 0.0), lambda v: "periodic"),  # the default type takes an array
    ]

    def test_cubic(self):
        for (bc, bcv, ref_bc), kind, dtype, uniform, yhint, nx, th in itertools.product(
                self.CASES, ["natural", "default"], [np.float64, np.float32], [False, True], [0, 32],
                [4, 9, 700], ["openmp", "serial"]):
            with self.subTest(bc=bc, kind=kind, dtype=dtype.__name__, uniform=uniform, yhint=yhint, nx=nx, th=th):
                x = partition(nx, uniform).astype(dtype).astype(np.float64)
                y = data(x).astype(dtype).astype(np.float64)
                if bc == "periodic":
                    y[:, -1] = y[:, 0]
                xs = np.array([x[0], x[-1]]) if uniform else x
                sp = Spline(LIB, xs, y, kind, bc, bcv, xhint=4 if uniform else 1, dtype=dtype, threading=th,
                            yhint=yhint)
                self.assertEqual(sp.status, 0)
                sites = RNG.uniform(x[0] - (0 if bc == "periodic" else 1), x[-1], 500)
                st, r, _ = sp.interpolate(sites, ders=(0, 1, 2, 3))
                self.assertEqual(st, 0)
                r = r.reshape(2, len(sites), 4)
                # Conditioning of the float32 systems grows with the step ratio of random partitions.
                scale = 1.0 if dtype == np.float64 else (30.0 if not uniform else 3.0)
                for f in range(2):
                    ref = CubicSpline(x, y[f], bc_type=ref_bc(bcv))
                    for q in range(4):
                        close(self, r[f, :, q], ref(sites, q), dtype, scale * (10.0 ** q if q else 1.0))


class LocalAgainstScipy(unittest.TestCase):
    def test_akima(self):
        for dtype, uniform in itertools.product([np.float64, np.float32], [False, True]):
            with self.subTest(dtype=dtype.__name__, uniform=uniform):
                x = partition(40, uniform)
                y = data(x)
                sp = Spline(LIB, np.array([x[0], x[-1]]) if uniform else x, y, "akima", "none",
                            xhint=4 if uniform else 1, dtype=dtype)
                self.assertEqual(sp.status, 0)
                sites = RNG.uniform(x[0], x[-1], 400)
                st, r, _ = sp.interpolate(sites, ders=(0, 1))
                r = r.reshape(2, -1, 2)
                for f in range(2):
                    ref = Akima1DInterpolator(x, y[f])
                    close(self, r[f, :, 0], ref(sites), dtype, 10)
                    close(self, r[f, :, 1], ref(sites, 1), dtype, 100)

    def test_hermite_with_pchip_derivatives(self):
        # PCHIP is a cubic Hermite spline; given its breakpoint derivatives ours must coincide.
        x = partition(30, False)
        y = np.cumsum(RNG.uniform(0, 1, 30))
        ref = PchipInterpolator(x, y)
        d = ref.derivative()(x)
        for dtype in (np.float64, np.float32):
            sp = Spline(LIB, x, y, "hermite", "clamped", d[[0, -1]], ic_type=1, ic=d[1:-1], dtype=dtype)
            self.assertEqual(sp.status, 0)
            sites = RNG.uniform(x[0], x[-1], 300)
            st, r, _ = sp.interpolate(sites)
            close(self, r, ref(sites), dtype, 10)


class SearchAgainstNumpy(unittest.TestCase):
    def cells(self, x, s):
        c = np.searchsorted(x, s, side="right")
        c[s == x[-1]] = len(x) - 1
        return c

    def test_methods(self):
        # x hint 1 -> hybrid (or sorted with site hint 64, or peak with a data hint); 2 quasi-uniform; 4 uniform.
        for nx, xhint, sitehint, peak, dtype in itertools.product(
                [5, 40, 3000, 100000], [1, 2, 4], [0, 64], [None, 0.3], [np.float64, np.float32]):
            with self.subTest(nx=nx, xhint=xhint, sitehint=sitehint, peak=peak, dtype=dtype.__name__):
                x = partition(nx, xhint == 4).astype(dtype)
                if xhint == 4:
                    x = (np.arange(nx, dtype=np.float64) * (10.0 / (nx - 1))).astype(dtype)
                y = np.zeros((1, nx))
                sp = Spline(LIB, x[[0, -1]] if xhint == 4 else x, y, "linear", 0, xhint=xhint, dtype=dtype,
                            build=False)
                s = np.concatenate([RNG.uniform(-1, 11, 3000), x[RNG.integers(0, nx, 200)], [x[0], x[-1], -5, 15]])
                s = s.astype(dtype)
                if sitehint == 64:
                    s = np.sort(s)
                dh = None if peak is None else np.array([0, 1, 0, 0, peak * nx])
                st, c = sp.search(s, sitehint=sitehint, datahint=dh)
                self.assertEqual(st, 0)
                want = self.cells(x, s)
                if xhint == 4:
                    # Uniform search is arithmetic: agree wherever the site is not within rounding of a breakpoint.
                    h = 10.0 / (nx - 1)
                    frac = np.abs((s.astype(np.float64) / h) - np.round(s.astype(np.float64) / h))
                    ok = (frac > (1e-3 if dtype == np.float64 else 0.05)) | (s == x[-1]) | (s < 0) | (s > 10)
                    np.testing.assert_array_equal(c[ok], want[ok])
                else:
                    np.testing.assert_array_equal(c, want)


class IntegrateAgainstScipy(unittest.TestCase):
    def test_integrals(self):
        for bc, kind, dtype, rhint in itertools.product(["free", "not-a-knot"], ["natural", "akima"],
                                                        [np.float64, np.float32], [0, 16]):
            with self.subTest(bc=bc, kind=kind, dtype=dtype.__name__, rhint=rhint):
                x = partition(60, False)
                y = data(x)
                sp = Spline(LIB, x, y, kind, bc if kind == "natural" else "none", dtype=dtype)
                a = RNG.uniform(-1, 11, 700)
                b = RNG.uniform(-1, 11, 700)
                st, r = sp.integrate(a, b, rhint=rhint)
                self.assertEqual(st, 0)
                r = r.reshape(700, 2).T if rhint == 0 else r.reshape(2, 700)
                for f in range(2):
                    ref = (CubicSpline(x, y[f], bc_type="natural" if bc == "free" else bc) if kind == "natural"
                           else Akima1DInterpolator(x, y[f]))
                    if kind == "akima":
                        inside = (a > x[0]) & (a < x[-1]) & (b > x[0]) & (b < x[-1])
                        want = np.array([ref.integrate(p, q) for p, q in zip(a[inside], b[inside])])
                        close(self, r[f][inside], want, dtype, 30)
                    else:
                        want = np.array([ref.integrate(p, q) for p, q in zip(a, b)])
                        close(self, r[f], want, dtype, 30)


class SiteGrids(unittest.TestCase):
    def test_uniform_sites_and_sorted_hint(self):
        x = partition(300, False)
        y = data(x, 1)
        sp = Spline(LIB, x, y, "natural", "not-a-knot")
        ref = CubicSpline(x, y[0], bc_type="not-a-knot")
        for n, a, b in [(1, 3.0, 3.0), (5000, -0.5, 10.5), (40, 2.0, 2.1)]:
            grid = np.linspace(a, b, n) if n > 1 else np.array([a])
            st, r, cells = sp.interpolate(np.array([a, b]), sitehint=4, nsite=n, cells=True)
            self.assertEqual(st, 0)
            close(self, r, ref(grid), np.float64)
            st, r2, cells2 = sp.interpolate(grid, sitehint=64, cells=True)
            self.assertEqual(st, 0)
            close(self, r2, ref(grid), np.float64)
            want = np.searchsorted(x, grid, side="right")
            want[grid == x[-1]] = len(x) - 1
            np.testing.assert_array_equal(cells2, want)


class SortedSites(unittest.TestCase):
    """Ascending sites against scipy: many sites per interval (pieces held in registers), few (the
    general path), sites beyond both ends and on breakpoints, two functions, all derivatives."""

    def test_sorted_against_scipy(self):
        for dtype, nx, nsite, th in itertools.product([np.float64, np.float32], [5, 40, 3000], [7, 1000, 20000],
                                                      ["openmp", "serial"]):
            with self.subTest(dtype=dtype.__name__, nx=nx, nsite=nsite, th=th):
                x = partition(nx, False).astype(dtype).astype(np.float64)
                y = data(x).astype(dtype).astype(np.float64)
                sp = Spline(LIB, x, y, "natural", "free", dtype=dtype, threading=th)
                s = np.sort(np.concatenate([RNG.uniform(x[0] - 1, x[-1] + 1, nsite), x[::3], [x[-1]] * 3]))
                s = s.astype(dtype).astype(np.float64)
                # Function-major, then order, then site: each order's values contiguous.
                st, r, cells = sp.interpolate(s, ders=(0, 1, 2, 3), sitehint=64, cells=True, rhint=128)
                self.assertEqual(st, 0)
                want = np.searchsorted(x, s, side="right")
                want[s == x[-1]] = nx - 1
                np.testing.assert_array_equal(cells, want)
                r = r.reshape(2, 4, len(s))
                scale = 1.0 if dtype == np.float64 else 30.0
                for f in range(2):
                    ref = CubicSpline(x, y[f], bc_type="natural")
                    for q in range(4):
                        close(self, r[f, q], ref(s, q), dtype, scale * (10.0 ** q if q else 1.0))


class Layouts(unittest.TestCase):
    def test_result_layouts_agree(self):
        x = partition(20, False)
        y = data(x, 3)
        sp = Spline(LIB, x, y, "natural", "free")
        s = RNG.uniform(0, 10, 100)
        st, base, _ = sp.interpolate(s, ders=(0, 1, 3))
        base = base.reshape(3, 100, 3)  # functions, sites, orders
        perms = {32: (1, 0, 2), 128: (0, 2, 1), 256: (2, 1, 0), 512: (2, 0, 1)}
        for rhint, perm in perms.items():
            st, r, _ = sp.interpolate(s, ders=(0, 1, 3), rhint=rhint)
            self.assertEqual(st, 0)
            np.testing.assert_array_equal(r, base.transpose(perm).ravel())


if __name__ == "__main__":
    LIB = Lib(sys.argv.pop(1))
    unittest.main(verbosity=1)
