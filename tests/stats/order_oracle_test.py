"""Quantiles, order statistics, sorting, the weighted median, the absolute deviations and the
exported quicksort routines against numpy (numpy.quantile "linear", numpy.sort, numpy.median):
both layouts, both precisions, serial and OpenMP tables, component indices, special values,
and every refusal before anything is written."""
import ctypes
import itertools
import sys
import unittest

import numpy as np

from nrx_stats_ctypes import COLUMNS, FAST, GIVEN_MEAN, ROWS, Lib, Task

LIB = None
EST_Q, EST_OS, EST_MEDAD, EST_MEANAD = 0x10000, 0x20000, 0x200000000, 0x400000000
RADIX = 0x100000
ID = dict(count=24, orders=25, quantiles=26, os=27, os_storage=44, mean=7, medad=76, meanad=77, sorted=78,
          sorted_storage=79, indices=5)
ORDERS = [0.0, 0.1, 0.25, 0.5, 0.5, 0.9, 1.0, 0.3333]


class Order:
    """A task over x of shape (p, n) in the given layout, with the order-based results registered."""

    def __init__(self, x, layout=ROWS, orders=ORDERS, os_layout=ROWS, indices=None, weights=None):
        self.p, self.n = x.shape
        data = np.ascontiguousarray(x if layout == ROWS else x.T)
        self.task = Task(LIB, data, layout=layout, indices=indices, weights=weights)
        dt = x.dtype
        self.orders = np.array(orders, dt)
        self.ints = {k: np.array([v], np.int32) for k, v in
                     dict(count=len(orders), os_storage=os_layout, sorted_storage=os_layout).items()}
        self.res = dict(quantiles=np.full(self.p * len(orders), -7, dt), os=np.full(self.p * self.n, -7, dt),
                        sorted=np.full(self.p * self.n, -7, dt), medad=np.full(self.p, -7, dt),
                        meanad=np.full(self.p, -7, dt))
        t = self.task
        t.edit_int(ID["count"], self.ints["count"])
        t.edit(ID["orders"], self.orders)
        for k in ("quantiles", "os", "medad", "meanad", "sorted"):
            t.edit(ID[k], self.res[k])
        t.edit_int(ID["os_storage"], self.ints["os_storage"])
        t.edit_int(ID["sorted_storage"], self.ints["sorted_storage"])
        self.os_layout = os_layout

    def rows_of(self, name):
        """A p x n result in its layout, as rows of components."""
        a = self.res[name]
        return a.reshape(self.p, self.n) if self.os_layout == ROWS else a.reshape(self.n, self.p).T

    def snapshot(self):
        return {k: v.copy() for k, v in self.res.items()}


def data(p, n, dtype, seed=1):
    rng = np.random.default_rng(seed)
    x = rng.normal(size=(p, n)) * 10.0 ** rng.integers(-3, 4, size=(p, 1))
    x[:, : n // 3] = np.round(x[:, : n // 3])  # ties
    return x.astype(dtype)


def ulps(dtype):
    return 4 * np.finfo(dtype).eps


class Quantiles(unittest.TestCase):
    def test_against_numpy(self):
        # Many orders (the sorted path), one and two orders (selection of their ranks only).
        for orders, n, layout, os_layout, dtype, threading, with_os in itertools.product(
                [ORDERS, [0.5], [0.7, 0.3]], [1, 2, 5, 7, 8, 1000, 20001], [ROWS, COLUMNS], [ROWS, COLUMNS],
                [np.float64, np.float32], ["serial", "openmp"], [False, True]):
            if with_os and orders is not ORDERS:
                continue
            with self.subTest(orders=orders, n=n, layout=layout, os_layout=os_layout, dtype=dtype.__name__,
                              threading=threading, with_os=with_os):
                x = data(3, n, dtype, seed=n)
                o = Order(x, layout, os_layout=os_layout, orders=orders)
                est = EST_Q | (EST_OS if with_os else 0)
                self.assertEqual(o.task.call("Quantiles", est, FAST, threading), 0)
                want = np.quantile(x.astype(np.float64), np.array(orders), axis=1, method="linear").T
                got = o.res["quantiles"].reshape(3, len(orders))
                scale = np.max(np.abs(x.astype(np.float64)), axis=1, keepdims=True)
                err = np.abs(got - want) / scale
                self.assertLessEqual(float(np.max(err)), ulps(dtype), "worst relative to the data scale")
                if with_os:
                    np.testing.assert_array_equal(o.rows_of("os"), np.sort(x, axis=1))
                    # Order 0 and 1 are exactly the minimum and maximum.
                    np.testing.assert_array_equal(got[:, 0], x.min(axis=1))
                    np.testing.assert_array_equal(got[:, 6], x.max(axis=1))

    def test_indices_leave_other_components(self):
        x = data(4, 300, np.float64)
        o = Order(x, COLUMNS, indices=[1, 0, 1, 0])
        self.assertEqual(o.task.call("Quantiles", EST_Q | EST_OS, FAST, "openmp"), 0)
        got = o.res["quantiles"].reshape(4, len(ORDERS))
        want = np.quantile(x, ORDERS, axis=1, method="linear").T
        for j in range(4):
            if j in (0, 2):
                np.testing.assert_allclose(got[j], want[j], rtol=1e-15)
                np.testing.assert_array_equal(o.rows_of("os")[j], np.sort(x[j]))
            else:
                self.assertTrue(np.all(got[j] == -7) and np.all(o.rows_of("os")[j] == -7))

    def test_infinite_values(self):
        x = np.array([[np.inf, 1, 2, -np.inf, 3]])
        o = Order(x, orders=[0.0, 0.25, 0.5, 1.0])
        self.assertEqual(o.task.call("Quantiles", EST_Q, FAST), 0)
        np.testing.assert_array_equal(o.res["quantiles"], [-np.inf, 1, 2, np.inf])

    def test_refusals_write_nothing(self):
        cases = [  # (what, change to the task, estimates, method, status)
            ("order below 0", lambda o: o.orders.__setitem__(1, -0.1), EST_Q, FAST, -4022),
            ("order above 1", lambda o: o.orders.__setitem__(1, 1.1), EST_Q, FAST, -4022),
            ("order NaN", lambda o: o.orders.__setitem__(1, np.nan), EST_Q, FAST, -4022),
            ("negative count", lambda o: o.ints["count"].__setitem__(0, -1), EST_Q, FAST, -4022),
            ("bad method", None, EST_Q, 0x2, -4029),
            ("bad os layout", lambda o: o.ints["os_storage"].__setitem__(0, 3), EST_OS, FAST, -4003),
            ("bad data layout", lambda o: o.task.ints["layout"].__setitem__(0, 5), EST_Q, FAST, -4003),
            ("layout before orders", lambda o: (o.task.ints["layout"].__setitem__(0, 5),
                                                o.orders.__setitem__(1, 2.0)), EST_Q, FAST, -4003),
        ]
        for what, change, est, method, status in cases:
            with self.subTest(what):
                o = Order(data(2, 50, np.float64))
                if change:
                    change(o)
                before = o.snapshot()
                self.assertEqual(o.task.call("Quantiles", est, method), status)
                for k in before:
                    np.testing.assert_array_equal(o.res[k], before[k], err_msg=k)
        # Missing addresses, in the documented order.
        for est, skip, status in [(EST_Q, "quantiles", -4023), (EST_Q, "orders", -4021), (EST_Q, "count", -4022),
                                  (EST_OS, "os", -4024), (EST_OS, "os_storage", -4044)]:
            with self.subTest(missing=skip):
                t = Task(LIB, data(2, 10, np.float64))
                o = Order.__new__(Order)
                keep = {"count": np.array([2], np.int32), "orders": np.array([0.5, 0.1]),
                        "quantiles": np.zeros(4), "os": np.zeros(20), "os_storage": np.array([ROWS], np.int32)}
                for k, v in keep.items():
                    if k != skip:
                        (t.edit_int if v.dtype == np.int32 else t.edit)(ID[k], v)
                self.assertEqual(t.call("Quantiles", est, FAST), status)


class Sort(unittest.TestCase):
    SPECIAL = [0.0, -0.0, np.inf, -np.inf, 5e-324, -5e-324, 1.0, -1.0, 1e300, -1e300, 0.0, 2.0]

    def test_against_numpy(self):
        for n, layout, out_layout, dtype, threading, in_place in itertools.product(
                [1, 2, 3, 100, 65537], [ROWS, COLUMNS], [ROWS, COLUMNS], [np.float64, np.float32],
                ["serial", "openmp"], [False, True]):
            if in_place and layout != out_layout:
                continue
            with self.subTest(n=n, layout=layout, out=out_layout, dtype=dtype.__name__, threading=threading,
                              in_place=in_place):
                x = data(3, n, dtype, seed=n + 7)
                x[1, : min(n, len(self.SPECIAL))] = np.array(self.SPECIAL[:n], dtype)
                o = Order(x, layout, os_layout=out_layout)
                if in_place:
                    o.task.edit(ID["sorted"], o.task.x)
                self.assertEqual(o.task.call("Sort", 0, RADIX, threading), 0)
                if in_place:
                    got = o.task.x if layout == ROWS else o.task.x.T
                else:
                    got = o.rows_of("sorted")
                want = np.sort(x, axis=1)
                np.testing.assert_array_equal(got, want)
                # -0.0 sorts before +0.0 (numpy leaves them as they come).
                zeros = got[1][got[1] == 0]
                self.assertTrue(np.all(np.diff(np.signbit(zeros).astype(int)) <= 0), "negative zeros first")

    def test_refusals_write_nothing(self):
        cases = [
            ("in place with indices", True, [1, 1], ROWS, ROWS, RADIX, -4085),
            ("in place, layouts differ", True, None, ROWS, COLUMNS, RADIX, -4044),
            ("bad output layout", False, None, ROWS, 7, RADIX, -4003),
            ("bad method", False, None, ROWS, ROWS, 0x1, -4029),
        ]
        for what, in_place, indices, layout, out_layout, method, status in cases:
            with self.subTest(what):
                x = data(2, 40, np.float64)
                o = Order(x, layout, os_layout=out_layout, indices=indices)
                if in_place:
                    o.task.edit(ID["sorted"], o.task.x)
                before, data_before = o.snapshot(), o.task.x.copy()
                self.assertEqual(o.task.call("Sort", 0, method), status)
                np.testing.assert_array_equal(o.task.x, data_before)
                for k in before:
                    np.testing.assert_array_equal(o.res[k], before[k])


class QuickSort(unittest.TestCase):
    def test_sort_step_select(self):
        rng = np.random.default_rng(3)
        for n, dtype, stride in itertools.product([1, 2, 6, 7, 8, 13, 1000, 4097], [np.float64, np.float32],
                                                  [1, 3]):
            with self.subTest(n=n, dtype=dtype.__name__, stride=stride):
                t = "d" if dtype == np.float64 else "s"
                v = np.round(rng.normal(size=n) * 20).astype(dtype)  # many ties
                a = v.copy()
                self.assertEqual(getattr(LIB.lib, "_dru%sQSort" % t)(n, a.ctypes.data), 0)
                np.testing.assert_array_equal(a, np.sort(v))
                s = np.full(n * stride, 99, dtype)
                s[::stride] = v
                self.assertEqual(getattr(LIB.lib, "_dru%sQSortStep" % t)(n, s.ctypes.data, stride), 0)
                np.testing.assert_array_equal(s[::stride], np.sort(v))
                if stride > 1:
                    self.assertTrue(np.all(np.delete(s, np.arange(0, n * stride, stride)) == 99))
                for k in sorted({0, n // 2, n - 1}):
                    a = v.copy()
                    got = getattr(LIB.lib, "_dru%sQSortSelect" % t)(n, a.ctypes.data, k)
                    self.assertEqual(got, np.sort(v)[k])
                    self.assertTrue(np.all(a[:k] <= got) and np.all(a[k + 1:] >= got))


class WeightedMedian(unittest.TestCase):
    def test_against_median(self):
        rng = np.random.default_rng(4)
        for n, layout, dtype in itertools.product([1, 2, 5, 6, 501, 1000], [ROWS, COLUMNS],
                                                  [np.float64, np.float32]):
            with self.subTest(n=n, layout=layout, dtype=dtype.__name__):
                x = data(3, n, dtype, seed=n)
                # Unit weights: the median.
                o = Order(x, layout, orders=[0.5], weights=np.ones(n, dtype))
                self.assertEqual(LIB.lib.__getattr__("dru%sSSWMedian" % o.task.t)(o.task.handle), 0)
                np.testing.assert_allclose(o.res["quantiles"], np.median(x.astype(np.float64), axis=1),
                                           rtol=ulps(dtype))
                # Zero weights take no part: the median of the others.
                if n >= 5:
                    w = np.ones(n, dtype)
                    drop = rng.choice(n, size=2, replace=False)
                    w[drop] = 0
                    o = Order(x, layout, orders=[0.5], weights=w)
                    self.assertEqual(LIB.lib.__getattr__("dru%sSSWMedian" % o.task.t)(o.task.handle), 0)
                    keep = np.delete(x.astype(np.float64), drop, axis=1)
                    if keep.shape[1] % 2:  # odd count: the middle value itself
                        np.testing.assert_array_equal(o.res["quantiles"], np.median(keep, axis=1).astype(dtype))


class AbsoluteDeviations(unittest.TestCase):
    def test_against_numpy(self):
        for n, layout, dtype, threading, weighted in itertools.product(
                [1, 4, 7, 1000], [ROWS, COLUMNS], [np.float64, np.float32], ["serial", "openmp"], [False, True]):
            with self.subTest(n=n, layout=layout, dtype=dtype.__name__, threading=threading, weighted=weighted):
                x = data(3, n, dtype, seed=n + 1)
                w = np.random.default_rng(n).uniform(0.5, 2, n).astype(dtype) if weighted else None
                o = Order(x, layout, weights=w)
                self.assertEqual(o.task.call("MAD", EST_MEDAD | EST_MEANAD, FAST, threading), 0)
                x64 = x.astype(np.float64)
                med = np.median(x64, axis=1, keepdims=True)
                np.testing.assert_allclose(o.res["medad"], np.median(np.abs(x64 - med), axis=1),
                                           rtol=ulps(dtype) * 10, atol=ulps(dtype) * np.abs(x64).max())
                wf = None if w is None else w.astype(np.float64)
                mean = np.average(x64, axis=1, weights=wf)[:, None]
                np.testing.assert_allclose(o.res["meanad"], np.average(np.abs(x64 - mean), axis=1, weights=wf),
                                           rtol=1e-4 if dtype == np.float32 else 1e-12)

    def test_given_mean_and_refusals(self):
        x = data(2, 30, np.float64)
        o = Order(x)
        centre = np.array([0.5, -1.0])
        o.task.edit(ID["mean"], centre)
        self.assertEqual(o.task.call("MAD", EST_MEANAD, GIVEN_MEAN), 0)
        np.testing.assert_allclose(o.res["meanad"], np.mean(np.abs(x - centre[:, None]), axis=1), rtol=1e-14)
        for est, method, status in [(EST_MEDAD, GIVEN_MEAN, -4029), (EST_MEANAD, 0x2, -4029)]:
            o = Order(x)
            before = o.snapshot()
            self.assertEqual(o.task.call("MAD", est, method), status)
            np.testing.assert_array_equal(o.res["meanad"], before["meanad"])
            np.testing.assert_array_equal(o.res["medad"], before["medad"])


class StreamQuantiles(unittest.TestCase):
    ID = dict(params_count=62, params=63, count=64, orders=65, quantiles=66)
    UPDATE_AND_WRITE, UPDATE = 0x40, 0x80

    def make(self, x0, eps, orders, dtype, layout=ROWS):
        """A task over the first block x0 (p, n) with the streaming arrays registered."""
        t = Task(LIB, np.ascontiguousarray(x0 if layout == ROWS else x0.T), layout=layout)
        keep = dict(params_count=np.array([1], np.int32), params=np.array([eps], dtype),
                    count=np.array([len(orders)], np.int32), orders=np.array(orders, dtype),
                    quantiles=np.full(x0.shape[0] * len(orders), -7, dtype))
        for k, v in keep.items():
            (t.edit_int if v.dtype == np.int32 else t.edit)(self.ID[k], v)
        t.stream = keep
        return t

    def state(self, t):
        return ctypes.c_void_p.from_address(t.handle.value + 416).value

    def test_ranks_within_eps_n(self):
        orders = [0.0, 0.01, 0.1, 0.5, 0.77, 0.9, 1.0]
        for eps, dtype, layout, threading in itertools.product([0.01, 0.05, 0.3, 1.0], [np.float64, np.float32],
                                                              [ROWS, COLUMNS], ["serial", "openmp"]):
            with self.subTest(eps=eps, dtype=dtype.__name__, layout=layout, threading=threading):
                rng = np.random.default_rng(int(eps * 1000))
                sizes = [1, 999, 37, 20000, 5003, 1, 12000]
                blocks = [(rng.normal(size=(3, k)) * [[1], [100], [1e-3]]).astype(dtype) for k in sizes]
                blocks[3][1, :5000] = 4.0  # a long run of ties
                t = self.make(blocks[0], eps, orders, dtype, layout)
                for b in blocks:
                    t.set_block(np.ascontiguousarray(b if layout == ROWS else b.T))
                    self.assertEqual(t.call("StreamQuantiles", 0, self.UPDATE, threading), 0)
                self.assertTrue(np.all(t.stream["quantiles"] == -7), "method 0x80 alone writes nothing")
                t.ints["n"][0] = 0
                self.assertEqual(t.call("StreamQuantiles", 0, self.UPDATE_AND_WRITE, threading), 0)
                allx = np.sort(np.concatenate(blocks, axis=1), axis=1)
                n = allx.shape[1]
                got = t.stream["quantiles"].reshape(3, len(orders))
                for j, (o, q) in itertools.product(range(3), enumerate(orders)):
                    lo = np.searchsorted(allx[j], got[j, o], "left")
                    hi = np.searchsorted(allx[j], got[j, o], "right") - 1
                    target = q * (n - 1)
                    self.assertLess(lo, n, "a value of the data")
                    self.assertEqual(allx[j, lo], got[j, o])
                    miss = max(lo - target, target - hi, 0)
                    self.assertLessEqual(miss, eps * n, "component %d order %g" % (j, q))

    def test_statuses_in_order(self):
        x = np.random.default_rng(0).normal(size=(2, 100))
        cases = [  # (what, change, method, status)
            ("eps 1 accepted", lambda t: t.stream["params"].__setitem__(0, 1.0), 0x40, 0),
            ("eps 0", lambda t: t.stream["params"].__setitem__(0, 0.0), 0x40, -4067),
            ("eps above 1", lambda t: t.stream["params"].__setitem__(0, 1.5), 0x40, -4067),
            ("parameter count 2", lambda t: t.stream["params_count"].__setitem__(0, 2), 0x40, -4066),
            ("order above 1", lambda t: t.stream["orders"].__setitem__(0, 1.1), 0x40, -4069),
            ("negative order count", lambda t: t.stream["count"].__setitem__(0, -1), 0x40, -4069),
            ("method", None, 0x1, -4029),
            ("negative n", lambda t: t.ints["n"].__setitem__(0, -1), 0x40, -4002),
            ("bad layout", lambda t: t.ints["layout"].__setitem__(0, 9), 0x40, -4003),
            ("n = 0 needs no layout", lambda t: (t.ints["n"].__setitem__(0, 0),
                                                 t.ints["layout"].__setitem__(0, 9)), 0x40, 0),
        ]
        for what, change, method, status in cases:
            with self.subTest(what):
                t = self.make(x, 0.1, [0.5], np.float64)
                if change:
                    change(t)
                self.assertEqual(t.call("StreamQuantiles", 0, method), status)
                self.assertEqual(self.state(t) is not None, status == 0, "state only after an accepted call")
                if status:
                    self.assertTrue(np.all(t.stream["quantiles"] == -7))

    def test_free_buffers(self):
        t = self.make(np.arange(50.0).reshape(1, 50), 0.1, [0.5], np.float64)
        self.assertEqual(t.call("StreamQuantiles", 0, 0x40), 0)
        self.assertIsNotNone(self.state(t))
        LIB.lib._druSQuantilesFreeBuffers(t.handle)
        self.assertIsNone(self.state(t))
        # A later call starts a fresh summary.
        self.assertEqual(t.call("StreamQuantiles", 0, 0x40), 0)
        self.assertLessEqual(abs(t.stream["quantiles"][0] - 24.5), 0.1 * 50)


if __name__ == "__main__":
    LIB = Lib(sys.argv.pop(1) if len(sys.argv) > 1 else None)
    unittest.main(verbosity=1)
