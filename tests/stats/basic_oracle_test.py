"""Basic statistics against numpy/scipy on generated data: both layouts, the three data-pass
methods, weights, one observation, constant columns, a 1e9 offset, progressive blocks of
uneven sizes, serial against OpenMP threading, float tasks, packed storage, component
indices, the no-pass methods and the minimum/maximum."""
import itertools
import sys
import unittest

import numpy as np
from scipy import stats as sps

from nrx_stats_ctypes import (COLUMNS, CP_TO_COV, FAST, GIVEN_MEAN, ONE_PASS, ROWS, SUMS_TO_MOMENTS, Lib,
                              Task)

LIB = None
ALL = ["mean", "r2", "r3", "r4", "c2", "c3", "c4", "kurtosis", "skewness", "variation", "s1", "s2", "s3", "s4",
       "cs2", "cs3", "cs4", "cov", "cor", "cp"]


def oracle(x, w=None):
    """Reference estimates of x (shape (p, n)) with the routine's definitions, from numpy/scipy."""
    x64 = x
    x = x.astype(np.longdouble)  # extended precision and a refined mean keep the oracle exact enough
    w = np.ones(x.shape[1], dtype=np.longdouble) if w is None else w.astype(np.longdouble)
    W0, W1 = w.sum(), (w * w).sum()
    m = np.average(x, axis=1, weights=w)
    m = m + np.average(x - m[:, None], axis=1, weights=w)
    d = x - m[:, None]
    S = {k: (w * d ** k).sum(axis=1) for k in (2, 3, 4)}
    c2 = S[2] * W0 / (W0 * W0 - W1)
    if np.all(w == 1):  # the unweighted definitions match numpy/scipy's own estimators
        np.testing.assert_allclose(c2, np.var(x64, axis=1, ddof=1), rtol=1e-8)
        np.testing.assert_allclose(S[3] / W0, sps.moment(x64, 3, axis=1), rtol=1e-6, atol=1e-5)
    c3, c4 = S[3] / W0, S[4] / W0
    cp = (w * d) @ d.T
    cov = cp / (W0 - W1 / W0)
    if x.shape[1] > 1:
        np.testing.assert_allclose(cov, np.cov(x64, aweights=None if np.all(w == 1) else w.astype(float)),
                                   rtol=1e-8, atol=1e-12)
    sd = np.sqrt(np.diag(cp))
    out = dict(mean=m, r2=np.average(x ** 2, axis=1, weights=w), r3=np.average(x ** 3, axis=1, weights=w),
                r4=np.average(x ** 4, axis=1, weights=w), c2=c2, c3=c3, c4=c4, kurtosis=c4 / c2 ** 2 - 3,
                skewness=c3 / c2 ** 1.5, variation=np.sqrt(c2) / m, s1=(w * x).sum(1), s2=(w * x ** 2).sum(1),
                s3=(w * x ** 3).sum(1), s4=(w * x ** 4).sum(1), cs2=S[2], cs3=S[3], cs4=S[4], cov=cov,
                cor=cp / np.outer(sd, sd), cp=cp)
    return {k: v.astype(np.float64) for k, v in out.items()}


def make_task(x, layout, **kw):
    data = x if layout == ROWS else np.ascontiguousarray(x.T)
    return Task(LIB, np.ascontiguousarray(data), layout=layout, **kw)


def result(task, name):
    return task.matrix(name) if name in ("cov", "cor", "cp") else task.out[name]


class Basic(unittest.TestCase):
    def check(self, task, ref, names, rtol, atol=0.0):
        for name in names:
            np.testing.assert_allclose(result(task, name), ref[name], rtol=rtol, atol=atol, err_msg=name)

    def test_methods_layouts_weights(self):
        # Guards the per-layout kernels, the weighted paths and each method's finalisation.
        rng = np.random.default_rng(7)
        for p, n in [(1, 5), (3, 1000), (10, 2500), (17, 333), (40, 150)]:
            x = rng.gamma(2.0, size=(p, n)) + rng.normal(size=(p, 1)) * 3
            for weights in (None, rng.uniform(0.1, 3.0, size=n)):
                ref = oracle(x, weights)
                for layout in (ROWS, COLUMNS):
                    for method in (FAST, ONE_PASS, GIVEN_MEAN):
                        with self.subTest(p=p, n=n, w=weights is not None, layout=layout, method=method):
                            t = make_task(x, layout, weights=weights)
                            self.assertEqual(t.basic(ALL, method), 0)
                            # fast: central sums come from raw moments and lose a few digits
                            self.check(t, ref, ALL, rtol=1e-7 if method == FAST else 1e-10, atol=1e-12)

    def test_single_observation(self):
        # W0^2 = W1: the variance is the IEEE quotient 0/0, the mean is the observation.
        x = np.array([[1.5], [-2.0]])
        for layout in (ROWS, COLUMNS):
            t = make_task(x, layout)
            self.assertEqual(t.basic(["mean", "c2", "cov"], ONE_PASS), 0)
            np.testing.assert_array_equal(t.out["mean"], [1.5, -2.0])
            self.assertTrue(np.all(np.isnan(t.out["c2"])))
            self.assertTrue(np.all(~np.isfinite(t.matrix("cov"))))

    def test_constant_columns(self):
        # A constant component has zero variance, not a rounding residue.
        x = np.vstack([np.full(777, 0.1), np.full(777, -3e5), np.arange(777.0)])
        for layout in (ROWS, COLUMNS):
            for method in (ONE_PASS, GIVEN_MEAN):
                t = make_task(x, layout)
                self.assertEqual(t.basic(["c2", "c4", "cov"], method), 0)
                self.assertLessEqual(abs(t.out["c2"][0]), 1e-30)
                self.assertLessEqual(abs(t.out["c2"][1]), 1e-18)
                np.testing.assert_allclose(t.out["c2"][2], np.var(x[2], ddof=1), rtol=1e-12)

    def test_large_offset(self):
        # 1e9 + N(0, 1): a raw-sum formula would lose every digit of the variance.
        rng = np.random.default_rng(3)
        x = 1e9 + rng.normal(size=(4, 20000))
        ref = oracle(x)
        for layout in (ROWS, COLUMNS):
            for method in (ONE_PASS, GIVEN_MEAN):
                t = make_task(x, layout)
                self.assertEqual(t.basic(["mean", "c2", "c3", "c4", "cov", "cor", "cs2"], method), 0)
                self.check(t, ref, ["mean", "c2", "cov", "cor", "cs2"], rtol=1e-8)
                self.check(t, ref, ["c4"], rtol=1e-6)
            t = make_task(x, layout)  # the cross-product is centred in every method
            self.assertEqual(t.basic(["cov"], FAST), 0)
            self.check(t, ref, ["cov"], rtol=1e-8)

    def test_level_shift_between_blocks(self):
        # The mean jumps by 1e8 spreads inside the data: a centre carried over from the
        # previous block would cancel every digit of the next block's spread.
        rng = np.random.default_rng(8)
        x = rng.normal(size=(3, 30000))
        x[:, 12000:] += 1e8
        x[:, 20000:] -= 3e8
        ref = oracle(x)
        for layout in (ROWS, COLUMNS):
            for names in (["mean", "r2", "c2", "c3", "c4", "cs2", "cov"], ["c2", "c4"]):  # block sizes differ
                t = make_task(x, layout)
                self.assertEqual(t.basic(names, ONE_PASS), 0)
                self.check(t, ref, names, rtol=1e-9)

    def test_centre_far_from_next_block(self):
        # Nearly weightless observations at 1e8 come first: they set the centre of the next
        # block's sums without adding spread, so only re-centring keeps the variance. (The
        # mean is held relative to the first observation and keeps ~1e-8 absolute here.)
        rng = np.random.default_rng(13)
        x = rng.normal(size=(3, 40000))
        x[:, :8000] += 1e8
        w = np.ones(40000)
        w[:8000] = 1e-30
        ref = oracle(x, w)
        for layout in (ROWS, COLUMNS):
            for names in (["c2", "c4", "cov"], ["c2", "c4"]):
                t = make_task(x, layout, weights=w)
                self.assertEqual(t.basic(names, ONE_PASS), 0)
                self.check(t, ref, names, rtol=1e-8, atol=1e-9)
                self.check(t, ref, ["mean"], rtol=0, atol=1e-7)

    def test_progressive_uneven_blocks(self):
        # Folding blocks of 1, 6, 293, 1 and 4699 observations equals one pass over all of them.
        rng = np.random.default_rng(11)
        x = 1e6 + rng.normal(size=(5, 5000)) * rng.uniform(0.5, 4, size=(5, 1))
        w = rng.uniform(0.5, 2.0, size=5000)
        cuts = [0, 1, 7, 300, 301, 5000]
        for weights in (None, w):
            ref = oracle(x, weights)
            for layout in (ROWS, COLUMNS):
                for method in (FAST, ONE_PASS, GIVEN_MEAN):
                    with self.subTest(layout=layout, method=method, w=weights is not None):
                        blocks = [np.ascontiguousarray(x[:, a:b]) for a, b in zip(cuts, cuts[1:])]
                        wb = [None if weights is None else np.ascontiguousarray(weights[a:b])
                              for a, b in zip(cuts, cuts[1:])]
                        data = [b if layout == ROWS else np.ascontiguousarray(b.T) for b in blocks]
                        t = Task(LIB, data[0], layout=layout, weights=wb[0], accumulate=True)
                        for k, blk in enumerate(data):
                            t.set_block(blk, wb[k])
                            self.assertEqual(t.basic(ALL, method), 0)
                        W = np.ones(5000) if weights is None else weights
                        np.testing.assert_allclose(t.accw, [W.sum(), (W * W).sum()], rtol=1e-14)
                        names = ["mean", "r2", "s1", "s2", "cov", "cor", "cp"] if method == FAST else ALL
                        self.check(t, ref, names, rtol=1e-9, atol=1e-9)

    def test_progressive_float(self):
        # The float task keeps its running state in double: blocks fold as exactly as one pass.
        rng = np.random.default_rng(21)
        x = (500 + rng.normal(size=(4, 9000))).astype(np.float32)
        w = rng.uniform(0.5, 2.0, size=9000).astype(np.float32)
        for layout in (ROWS, COLUMNS):
            whole = make_task(x, layout, weights=w)
            self.assertEqual(whole.basic(["mean", "c2", "cov"], ONE_PASS), 0)
            data = [np.ascontiguousarray(b if layout == ROWS else b.T) for b in (x[:, :2500], x[:, 2500:])]
            t = Task(LIB, data[0], layout=layout, weights=np.ascontiguousarray(w[:2500]), accumulate=True)
            self.assertEqual(t.basic(["mean", "c2", "cov"], ONE_PASS), 0)
            t.set_block(data[1], np.ascontiguousarray(w[2500:]))
            self.assertEqual(t.basic(["mean", "c2", "cov"], ONE_PASS), 0)
            for name in ("mean", "c2", "cov"):
                np.testing.assert_allclose(result(t, name), result(whole, name), rtol=1e-6, atol=1e-5,
                                           err_msg=name)

    def test_progressive_from_result_arrays(self):
        # With a fresh task the earlier state is rebuilt from the registered results alone.
        rng = np.random.default_rng(5)
        x = 100 + rng.normal(size=(3, 4000))
        ref = oracle(x)
        a = Task(LIB, np.ascontiguousarray(x[:, :1500]), accumulate=True)
        self.assertEqual(a.basic(["mean", "c2", "c3", "c4", "cov"], ONE_PASS), 0)
        b = Task(LIB, np.ascontiguousarray(x[:, 1500:]), accumulate=True)
        b.accw[:] = a.accw
        for name in ("mean", "r2", "r3", "r4", "c2", "c3", "c4", "cov"):
            b.out[name][:] = a.out[name]
        self.assertEqual(b.basic(["mean", "c2", "c3", "c4", "cov"], ONE_PASS), 0)
        self.check(b, ref, ["mean", "c2", "c3", "c4", "cov"], rtol=1e-10)

    def test_serial_matches_openmp(self):
        # Enough work for several parts: the per-thread merge gives the serial result to rounding.
        rng = np.random.default_rng(2)
        x = rng.normal(size=(10, 200000)) + 50
        w = rng.uniform(0, 2, size=200000)
        for layout in (ROWS, COLUMNS):
            for method, weights in ((FAST, None), (ONE_PASS, None), (GIVEN_MEAN, None), (ONE_PASS, w)):
                s, o = make_task(x, layout, weights=weights), make_task(x, layout, weights=weights)
                self.assertEqual(s.basic(ALL, method, "serial"), 0)
                self.assertEqual(o.basic(ALL, method, "openmp"), 0)
                for name in ALL:  # fast: central moments from raw ones, a few digits less
                    np.testing.assert_allclose(result(o, name), result(s, name),
                                               atol=1e-4 if method == FAST else 1e-9,
                                               rtol=1e-4 if method == FAST else 1e-10, err_msg=name)

    def test_float_task(self):
        rng = np.random.default_rng(4)
        x = (1000 + rng.normal(size=(6, 30000))).astype(np.float32)
        ref = oracle(x.astype(np.float64))
        for layout in (ROWS, COLUMNS):
            t = make_task(x, layout)
            self.assertEqual(t.basic(["mean", "c2", "cov", "cor", "skewness"], ONE_PASS), 0)
            self.check(t, ref, ["mean"], rtol=2e-7)
            self.check(t, ref, ["c2"], rtol=1e-5)
            self.check(t, ref, ["cov", "cor"], rtol=0, atol=1e-4)

    def test_packed_storage_and_indices(self):
        # Both packed triangles; unselected components keep their values.
        rng = np.random.default_rng(9)
        x = rng.normal(size=(5, 400))
        ref = oracle(x)
        for storage in (1, 2, 3):
            t = make_task(x, COLUMNS, storage=storage)
            self.assertEqual(t.basic(["cov", "cor", "cp"], ONE_PASS), 0)
            self.check(t, ref, ["cov", "cor", "cp"], rtol=1e-12, atol=1e-14)
        idx = [1, 0, 1, 1, 0]
        t = make_task(x, ROWS, indices=idx)
        for name in ("mean", "c2"):
            t.out[name][:] = -7.0
        t.out["cov"][:] = -7.0
        self.assertEqual(t.basic(["mean", "c2", "cov"], ONE_PASS), 0)
        sel = np.array(idx, bool)
        np.testing.assert_allclose(t.out["c2"][sel], ref["c2"][sel], rtol=1e-12)
        np.testing.assert_array_equal(t.out["c2"][~sel], -7.0)
        cov = t.matrix("cov")
        np.testing.assert_allclose(cov[np.ix_(sel, sel)], ref["cov"][np.ix_(sel, sel)], rtol=1e-12)
        np.testing.assert_array_equal(cov[~sel, :], -7.0)

    def test_no_pass_methods(self):
        # Moments from registered sums and covariance/correlation from a registered cross-product.
        rng = np.random.default_rng(12)
        x = rng.normal(size=(4, 300)) + 2
        ref = oracle(x)
        t = make_task(x, ROWS)
        for name in ("s1", "s2", "s3", "s4", "cs2", "cs3", "cs4"):
            t.out[name][:] = ref[name]
        t.out["cp"][:] = ref["cp"].ravel()
        self.assertEqual(t.basic(["mean", "r2", "r3", "r4", "c2", "c3", "c4", "kurtosis", "skewness",
                                  "variation", "cov", "cor"], SUMS_TO_MOMENTS | CP_TO_COV), 0)
        self.check(t, ref, ["mean", "r2", "r3", "r4", "c2", "c3", "c4", "kurtosis", "skewness", "variation",
                            "cov", "cor"], rtol=1e-12, atol=1e-14)

    def test_minmax(self):
        # Folds into the caller's start values; NaN observations are skipped, a NaN start stays.
        x = np.array([[3.0, np.nan, -1.0, 8.0], [np.nan, np.nan, np.nan, np.nan], [2.0, 5.0, 1.0, 4.0]])
        for layout in (ROWS, COLUMNS):
            t = make_task(x, layout)
            t.out["minimum"][:] = [np.inf, np.inf, np.nan]
            t.out["maximum"][:] = [-np.inf, 0.5, 3.0]
            self.assertEqual(t.minmax(), 0)
            np.testing.assert_array_equal(t.out["minimum"], [-1.0, np.inf, np.nan])
            np.testing.assert_array_equal(t.out["maximum"], [8.0, 0.5, 5.0])


class ProgressiveState(unittest.TestCase):
    """The result arrays are the running state: what the caller puts there is what the next
    block folds into, also after the routine has carried exact sums of its own."""

    ROWS_ = [  # (method, estimates whose arrays are replaced by another data set's)
        (ONE_PASS, ["r2", "c2"]),
        (FAST, ["r2", "c2"]),
        (GIVEN_MEAN, ["r2", "c2"]),
        (ONE_PASS, ["r2", "r3", "r4", "c2", "c3", "c4"]),
        (FAST, ["r2", "r3", "r4", "c2", "c3", "c4"]),
        (GIVEN_MEAN, ["r2", "r3", "r4", "c2", "c3", "c4"]),
        (FAST, ["s1", "s2", "s3", "s4"]),
        (ONE_PASS, ["cs2", "cs3", "cs4"]),
        (GIVEN_MEAN, ["cs2", "cs3", "cs4"]),
        (ONE_PASS, ["cov"]),
        (FAST, ["cp"]),
    ]

    def test_edited_result_arrays_are_the_state(self):
        # Both sets have mean 4 and weights (4, 4); only their spread differs.
        set1, set2, block = [1.0, 3, 5, 7], [0.0, 4, 4, 8], [10.0, -2, 3]
        for (method, names), dtype in itertools.product(self.ROWS_, [np.float64, np.float32]):
            with self.subTest(method=method, names=names, dtype=dtype.__name__):
                asked = ["mean"] + names
                one = Task(LIB, np.array([set1], dtype), accumulate=True)
                two = Task(LIB, np.array([set2], dtype), accumulate=True)
                self.assertEqual(one.basic(asked, method), 0)
                self.assertEqual(two.basic(asked, method), 0)
                np.testing.assert_array_equal(one.accw, two.accw)
                for name in names:
                    one.out[name][:] = two.out[name]
                one.set_block(np.array([block], dtype))
                self.assertEqual(one.basic(asked, method), 0)
                ref = oracle(np.array([set2 + block]))
                tol = 1e-12 if dtype == np.float64 else 2e-6
                for name in names:
                    np.testing.assert_allclose(result(one, name), ref[name], rtol=tol, err_msg=name)


class InfiniteData(unittest.TestCase):
    """An infinite observation gives the infinities the formulas give, not NaN."""

    CASES = [  # (values, expected mean, raw moments 2-4, raw sums 1-4)
        ([np.inf, 1, 2], np.inf, [np.inf] * 3, [np.inf] * 4),
        ([1, 2, -np.inf, 4], -np.inf, [np.inf, -np.inf, np.inf], [-np.inf, np.inf, -np.inf, np.inf]),
        ([3, 1, 2, np.inf], np.inf, [np.inf] * 3, [np.inf] * 4),
    ]

    def test_infinities(self):
        for (values, mean, raw, sums), method, layout, dtype in itertools.product(
                self.CASES, [FAST, ONE_PASS, GIVEN_MEAN], [ROWS, COLUMNS], [np.float64, np.float32]):
            with self.subTest(values=values, method=method, layout=layout, dtype=dtype.__name__):
                # A finite second component must keep its ordinary estimates.
                finite = np.arange(len(values), dtype=np.float64) * 0.5 + 1
                x = np.array([values, finite], dtype)
                names = ["mean", "r2", "r3", "r4"] + (["s1", "s2", "s3", "s4"] if method == FAST else [])
                t = make_task(x, layout)
                self.assertEqual(t.basic(names, method), 0)
                np.testing.assert_array_equal(t.out["mean"][0], mean)
                np.testing.assert_array_equal(t.out["r2"][0], raw[0])
                np.testing.assert_array_equal(t.out["r3"][0], raw[1])
                np.testing.assert_array_equal(t.out["r4"][0], raw[2])
                if method == FAST:
                    np.testing.assert_array_equal([t.out["s%d" % k][0] for k in (1, 2, 3, 4)], sums)
                ref = oracle(np.array([finite]))
                for name in names:
                    np.testing.assert_allclose(t.out[name][1], ref[name][0], rtol=1e-6, err_msg=name)

    def test_infinity_across_blocks_and_threads(self):
        # Merges of a part or block with an infinite mean and one with a finite mean.
        x = np.random.default_rng(5).normal(size=(1, 60000))
        x[0, 45000] = np.inf
        for method, threading in itertools.product([FAST, ONE_PASS, GIVEN_MEAN], ["serial", "openmp"]):
            with self.subTest(method=method, threading=threading):
                t = Task(LIB, np.ascontiguousarray(x[:, :30000]), accumulate=True)
                self.assertEqual(t.basic(["mean", "r2"], method, threading), 0)
                t.set_block(np.ascontiguousarray(x[:, 30000:]))
                self.assertEqual(t.basic(["mean", "r2"], method, threading), 0)
                self.assertEqual(t.out["mean"][0], np.inf)
                self.assertEqual(t.out["r2"][0], np.inf)


if __name__ == "__main__":
    LIB = Lib(sys.argv.pop(1) if len(sys.argv) > 1 else None)
    unittest.main(verbosity=1)
