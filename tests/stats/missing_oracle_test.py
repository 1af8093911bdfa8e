"""drudSSMissingValues / drusSSMissingValues against a numpy expectation-maximisation oracle and the
complete data: simulated means and covariances within their standard errors, imputations spread as
the conditional normal law says, the statuses of every refused call (which writes nothing)."""
import ctypes as C
import struct
import sys
import unittest

import numpy as np

from nrx_stats_ctypes import COLUMNS, ROWS, Lib

LIB = None
METHOD = 0x10
NEG_NAN = struct.unpack("<d", struct.pack("<Q", 0xFFF8000000000000))[0]
POS_NAN = struct.unpack("<d", struct.pack("<Q", 0x7FF8000000000000))[0]


def bind():
    lib = LIB.lib
    for t in "ds":
        getattr(lib, "dru%sSSMissingValues" % t).argtypes = [C.c_void_p, C.c_uint64, C.c_uint64, C.c_void_p]
        getattr(lib, "_dru%sSSEditMissingVals" % t).argtypes = [C.c_void_p] + [C.c_void_p] * 10
    return lib


def upper_rows(m):
    p = m.shape[0]
    return np.concatenate([m[i, i:] for i in range(p)])


def from_upper_rows(a, p):
    m = np.zeros((p, p))
    k = 0
    for i in range(p):
        m[i, i:] = a[k:k + p - i]
        m[i:, i] = a[k:k + p - i]
        k += p - i
    return m


def em_oracle(x, miss, iters=5000, tol=1e-13):
    """Textbook EM for the multivariate normal (n x p data, boolean mask of missing entries), the
    observations of one missing pattern handled together."""
    n, p = x.shape
    mu = np.array([x[~miss[:, j], j].mean() for j in range(p)])
    sig = np.diag([x[~miss[:, j], j].var() for j in range(p)])
    patterns, inverse = np.unique(miss, axis=0, return_inverse=True)
    groups = [(pat, np.nonzero(inverse.ravel() == g)[0]) for g, pat in enumerate(patterns)]
    for _ in range(iters):
        y = np.where(miss, 0.0, x)
        extra = np.zeros((p, p))
        for m, rows in groups:
            if not m.any():
                continue
            o = ~m
            b = np.linalg.solve(sig[np.ix_(o, o)], sig[np.ix_(o, m)]).T if o.any() else np.zeros((m.sum(), 0))
            y[np.ix_(rows, m)] = mu[m] + (x[np.ix_(rows, o)] - mu[o]) @ b.T
            extra[np.ix_(m, m)] += len(rows) * (sig[np.ix_(m, m)] - b @ sig[np.ix_(o, m)])
        new_mu = y.mean(axis=0)
        new_sig = (y.T @ y + extra) / n - np.outer(new_mu, new_mu)
        done = max(abs(new_mu - mu).max(), abs(new_sig - sig).max()) < tol
        mu, sig = new_mu, new_sig
        if done:
            break
    return mu, sig


class Problem:
    """Correlated Gaussian data with entries deleted at random (fixed seed)."""

    def __init__(self, n=1500, p=4, rate=0.1, seed=7, offset=0.0):
        rng = np.random.default_rng(seed)
        a = rng.normal(size=(p, p))
        self.cov = a @ a.T / p + np.eye(p)
        self.full = rng.multivariate_normal(np.arange(p) + offset, self.cov, size=n)
        self.miss = rng.random((n, p)) < rate
        self.miss[self.miss.all(axis=1), 0] = False
        self.x = self.full.copy()
        self.x[self.miss] = NEG_NAN
        self.n, self.p = n, p


class Run:
    """One call: data (n x p, NaN-marked), parameters, result arrays with a sentinel fill."""

    def __init__(self, x, params, layout=ROWS, dtype=np.float64, sim=True, est=True, init=None):
        self.t = "d" if dtype == np.float64 else "s"
        n, p = x.shape
        self.n, self.p, self.layout = n, p, layout
        self.data = np.ascontiguousarray(x.T if layout == ROWS else x, dtype=dtype)
        self.params = np.array(params, dtype=dtype)
        m, da, k = int(params[3]), int(params[1]) or 30, int(params[4])
        per = p * (p + 3) // 2
        self.ints = np.array([p, n, layout, len(params), max(m * da * per, 0), max(m * k, 0),
                              0 if init is None else len(init)], dtype=np.int32)
        self.sim = np.full(max(m * da * per, 1), 12345.0, dtype=dtype)
        self.est = np.full(max(m * k, 1), 12345.0, dtype=dtype)
        self.init = None if init is None else np.array(init, dtype=dtype)
        self.handle = C.c_void_p()
        lib = LIB.lib
        st = getattr(lib, "_dru%sSSNewTask" % self.t)(C.byref(self.handle), self.ints[0:].ctypes.data,
                                                      self.ints[1:].ctypes.data, self.ints[2:].ctypes.data,
                                                      self.data.ctypes.data, None, None, 0)
        assert st == 0
        a = self.ints.ctypes.data
        self.addr = dict(pc=a + 12, pa=self.params.ctypes.data, sc=a + 16 if sim else None,
                         sa=self.sim.ctypes.data if sim else None, ec=a + 20 if est else None,
                         ea=self.est.ctypes.data if est else None,
                         ic=a + 24 if init is not None else None,
                         ia=None if init is None else self.init.ctypes.data)

    def edit(self, **over):
        d = dict(self.addr, **over)
        return getattr(LIB.lib, "_dru%sSSEditMissingVals" % self.t)(
            self.handle, d["pc"], d["pa"], d["ic"], d["ia"], None, None, d["sc"], d["sa"], d["ec"], d["ea"])

    def call(self, method=METHOD, **over):
        assert self.edit(**over) == 0
        return getattr(LIB.lib, "dru%sSSMissingValues" % self.t)(self.handle, 0, method, LIB.threading["serial"])

    def draws(self):
        """Simulated (mean, covariance) pairs, in order."""
        per = self.p * (self.p + 3) // 2
        s = self.sim.astype(np.float64).reshape(-1, per)
        return s[:, :self.p], np.array([from_upper_rows(r[self.p:], self.p) for r in s])

    def __del__(self):
        if self.handle.value:
            LIB.lib._druSSDeleteTask(C.byref(self.handle))


def params(pr, m=5, da=20, em=100, acc=1e-6):
    return [em, da, acc, m, int(pr.miss.sum())]


class Estimates(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        bind()
        cls.pr = Problem()
        cls.res = Run(cls.pr.x, params(cls.pr))
        assert cls.res.call() == 0
        cls.em_mu, cls.em_sig = em_oracle(cls.pr.full * np.where(cls.pr.miss, np.nan, 1), cls.pr.miss)

    def test_means_and_covariance_near_the_complete_data(self):
        """A wrong E-step (conditional mean or its covariance term) biases the estimate by many standard errors."""
        pr, (mus, sigs) = self.pr, self.res.draws()
        full_mu, full_cov = pr.full.mean(axis=0), np.cov(pr.full.T, bias=True)
        d = np.sqrt(np.diag(full_cov))
        se_mu = d / np.sqrt(pr.n)
        se_cov = np.sqrt((np.outer(d, d) ** 2 + full_cov ** 2) / pr.n)
        self.assertLess(np.max(np.abs(mus.mean(axis=0) - full_mu) / se_mu), 4.0)
        self.assertLess(np.max(np.abs(sigs.mean(axis=0) - full_cov) / se_cov), 4.0)

    def test_draws_centre_on_the_em_oracle(self):
        """The chains start from the EM estimate and wander by the posterior spread around it."""
        (mus, sigs), pr = self.res.draws(), self.pr
        d = np.sqrt(np.diag(self.em_sig))
        self.assertLess(np.max(np.abs(mus.mean(axis=0) - self.em_mu) / (d / np.sqrt(pr.n))), 2.0)
        se = np.sqrt((np.outer(d, d) ** 2 + self.em_sig ** 2) / pr.n)
        self.assertLess(np.max(np.abs(sigs.mean(axis=0) - self.em_sig) / se), 2.0)

    def test_posterior_spread_of_the_mean(self):
        """The mean draw is N(ybar, Sigma / n): a missing 1 / sqrt(n) or a frozen draw shows here."""
        mus, _ = self.res.draws()
        ratio = mus.var(axis=0) / (np.diag(self.em_sig) / self.pr.n)
        self.assertTrue(np.all(ratio > 0.5) and np.all(ratio < 3.0), ratio)

    def test_imputations_within_the_conditional_spread(self):
        """Imputed minus conditional mean, over the conditional deviation, is standard normal."""
        pr, mu, sig = self.pr, self.em_mu, self.em_sig
        k = int(pr.miss.sum())
        cmean, csd, order = np.empty(k), np.empty(k), []
        # Estimates follow the data array: rows layout, component after component.
        for j in range(pr.p):
            for i in np.nonzero(pr.miss[:, j])[0]:
                order.append((i, j))
        for q, (i, j) in enumerate(order):
            o = ~pr.miss[i]
            w = np.linalg.solve(sig[np.ix_(o, o)], sig[o, j])
            cmean[q] = mu[j] + w @ (pr.x[i, o] - mu[o])
            csd[q] = np.sqrt(sig[j, j] - sig[j, o] @ w)
        z = ((self.res.est.reshape(-1, k) - cmean) / csd).ravel()
        self.assertLess(abs(z.mean()), 4.0 / np.sqrt(k))
        self.assertTrue(0.85 < z.var() < 1.15, z.var())

    def test_same_draws_again_and_in_the_columns_layout(self):
        """The stream is the call's own and fixed; the layout changes only where entries are stored."""
        again = Run(self.pr.x, params(self.pr), layout=COLUMNS)
        self.assertEqual(again.call(), 0)
        np.testing.assert_allclose(again.sim, self.res.sim, rtol=1e-9, atol=1e-9)
        rows_order = [(i, j) for j in range(self.pr.p) for i in np.nonzero(self.pr.miss[:, j])[0]]
        cols_order = [(i, j) for i in range(self.pr.n) for j in range(self.pr.p) if self.pr.miss[i, j]]
        k = len(rows_order)
        pos = {ij: q for q, ij in enumerate(cols_order)}
        perm = [pos[ij] for ij in rows_order]
        np.testing.assert_allclose(again.est.reshape(-1, k)[:, perm], self.res.est.reshape(-1, k), rtol=1e-9)

    def test_large_offset_keeps_its_digits(self):
        """Data shifted by 1e8: cross-products about the origin would lose every digit of the spread."""
        pr = Problem(n=800, p=3, seed=11, offset=1e8)
        run = Run(pr.x, params(pr, m=2, da=10))
        self.assertEqual(run.call(), 0)
        mus, sigs = run.draws()
        full_cov = np.cov(pr.full.T, bias=True)
        se = np.sqrt((np.outer(np.diag(full_cov), np.diag(full_cov)) + full_cov ** 2) / pr.n)
        self.assertLess(np.max(np.abs(sigs.mean(axis=0) - full_cov) / se), 4.0)
        self.assertLess(np.max(np.abs(mus.mean(axis=0) - pr.full.mean(axis=0)) /
                               np.sqrt(np.diag(full_cov) / pr.n)), 4.0)

    def test_float_twin(self):
        """The s routine runs the same algorithm in float: estimates within the same standard errors."""
        run = Run(self.pr.x, params(self.pr, m=2, da=10), dtype=np.float32)
        self.assertEqual(run.call(), 0)
        mus, _ = run.draws()
        se = np.sqrt(np.diag(self.em_sig) / self.pr.n)
        self.assertLess(np.max(np.abs(mus.mean(axis=0) - self.em_mu) / se), 3.0)

    def test_initial_estimates_are_a_start(self):
        """Initial estimates far off: with enough EM iterations the draws still centre on the oracle."""
        pr = self.pr
        init = np.concatenate([self.em_mu + 3.0, upper_rows(self.em_sig * 4.0)])
        run = Run(pr.x, params(pr, m=2, da=10, em=400), init=init)
        self.assertEqual(run.call(), 0)
        mus, _ = run.draws()
        se = np.sqrt(np.diag(self.em_sig) / pr.n)
        self.assertLess(np.max(np.abs(mus.mean(axis=0) - self.em_mu) / se), 3.0)
        one = Run(pr.x, params(pr, m=1, da=1, em=1), init=init)
        plain = Run(pr.x, params(pr, m=1, da=1, em=1))
        self.assertEqual(one.call(), 0)
        self.assertEqual(plain.call(), 0)
        # After one EM step the two starts still differ: the initial estimates were read.
        self.assertGreater(np.max(np.abs(one.draws()[0][0] - plain.draws()[0][0]) / se), 0.5)


class Statuses(unittest.TestCase):
    """One row per refusal; each leaves the result arrays as they were."""

    @classmethod
    def setUpClass(cls):
        bind()
        cls.pr = Problem(n=60, p=3, seed=3)

    def row(self, expect, x=None, prm=None, method=METHOD, layout=ROWS, ints=None, **over):
        pr = self.pr
        run = Run(pr.x if x is None else x, prm or params(pr, m=2, da=3), layout=layout)
        if ints:
            for k, v in ints.items():
                run.ints[k] = v
        st = run.call(method=method, **over)
        self.assertEqual(st, expect)
        if expect:
            self.assertTrue(np.all(run.sim == 12345.0) and np.all(run.est == 12345.0))
        return run

    def test_refusals(self):
        pr, k = self.pr, int(self.pr.miss.sum())
        rows = [
            (-4001, dict(ints={0: 0})),                               # p < 1
            (-4002, dict(ints={1: 3})),                               # n <= p
            (-4003, dict(ints={2: 7})),                               # layout code
            (-4048, dict(pa=None)),                                   # parameters
            (-4049, dict(pc=None)),                                   # their count
            (-4050, dict(ints={3: 4})),                               # count 4, not 5
            (-4055, dict(sc=None)),                                   # simulated values without their count
            (-4054, dict(sa=None, ea=None)),                          # a simulated count without the array
            (-4060, dict(sa=None, sc=None, ea=None)),                 # nothing requested
            (-4029, dict(method=0x8)),                                # method bit
            (-4063, dict(prm=[50, 3, 1e-3, 2, k + 1])),               # parameter 4 is not the count
            (-4051, dict(prm=[50, 3, 1e-3, 0, k])),                   # no sets
            (-4058, dict(ints={5: 2 * k - 1})),                       # estimate count
            (-4059, dict(ints={4: 1})),                               # simulated count
        ]
        for expect, over in rows:
            with self.subTest(expect=expect, over=over):
                self.row(expect, **over)

    def test_defaults_of_non_positive_parameters(self):
        """Parameter 1 <= 0 means 30 iterations: the simulated count must then be m x 30 x p (p + 3) / 2."""
        k = int(self.pr.miss.sum())
        run = self.row(0, prm=[0, 0, 0, 1, k])
        self.assertEqual(run.sim.size, 30 * 9)
        self.assertTrue(np.all(np.isfinite(run.sim)))

    def test_positive_nan_is_not_missing(self):
        """Only a negative quiet NaN marks a missing entry."""
        x = self.pr.x.copy()
        x[~self.pr.miss] = np.where(np.arange((~self.pr.miss).sum()) == 0, POS_NAN, x[~self.pr.miss])
        k = int(self.pr.miss.sum())
        self.row(-4063, x=x, prm=[50, 3, 1e-3, 1, k + 1])
        run = Run(x, [50, 3, 1e-3, 1, k])
        # The positive NaN is data: it reaches the estimates (or a factorisation refuses them).
        st = run.call()
        self.assertIn(st, (0, -4033))
        self.assertTrue(st == -4033 or np.isnan(run.sim).any())

    def test_only_estimates_or_only_simulated_values(self):
        k = int(self.pr.miss.sum())
        only_est = self.row(0, sa=None, sc=None)
        self.assertTrue(np.all(only_est.sim == 12345.0) and np.all(np.isfinite(only_est.est)))
        only_sim = self.row(0, ea=None)
        self.assertTrue(np.all(only_sim.est == 12345.0) and np.all(np.isfinite(only_sim.sim)))
        self.assertEqual(only_est.est.size, 2 * k)


if __name__ == "__main__":
    LIB = Lib(sys.argv[1] if len(sys.argv) > 1 else None)
    unittest.main(argv=sys.argv[:1], verbosity=1)
