"""The numerical routines shared by the robust estimators (chi-square functions, covariance rank
test and inverse, logarithm, floor) and the partial covariance, correlation parametrization and
Mahalanobis distances, against scipy.stats.chi2, numpy.linalg and the Schur complement."""
import ctypes as C
import math
import struct
import sys
import unittest

import numpy as np
from scipy import stats

from nrx_stats_ctypes import COLUMNS, ROWS, Lib

LIB = None
C_PDF = struct.unpack("<d", struct.pack("<Q", 0x3FE62E42FEFFBB3B))[0]
EST_PCOV, EST_PCOR = 0x100000, 0x200000
ID = dict(cov=19, cov_storage=20, cor=21, cor_storage=22, pindices=45, pcov=46, pcov_storage=47, pcor=48,
          pcor_storage=49, param=60, param_storage=61, groups=28, pooled_storage=29, pooled_mean=30, pooled_cov=31,
          requested=32, group_means=33, group_storage=34, group_covs=35, weights=6, out_count=41, out_params=42,
          out_weights=43, rob_storage=36, rob_count=37, rob_params=38, rob_mean=39, rob_cov=40)
EST_POOLED, EST_GROUP, EST_POOLED_MEAN, EST_GROUP_MEAN = 0x4000, 0x8000, 0x800000000, 0x1000000000


def bind():
    lib = LIB.lib
    real = dict(d=C.c_double, s=C.c_float)
    for name in ("_drudChi2CDF", "_drudChi2PDF", "_drudChi2ICDF"):
        getattr(lib, name).argtypes = [C.c_int32, C.c_double]
        getattr(lib, name).restype = C.c_double
    for name, t in (("_drudLn", "d"), ("_drusLn", "s"), ("_drudFloor", "d"), ("_drudSqrt", "d"),
                    ("_drudLGamma", "d")):
        getattr(lib, name).argtypes = [real[t]]
        getattr(lib, name).restype = real[t]
    for t in "ds":
        for name in ("TestCovRank", "InvCov"):
            getattr(lib, "_dru%s%s" % (t, name)).argtypes = [C.c_int32, C.c_void_p]
        for name in ("PartialCovariance", "CorParametrization", "PooledCovariance", "OutliersDetection",
                     "RobustCovariance"):
            getattr(lib, "dru%sSS%s" % (t, name)).argtypes = [C.c_void_p, C.c_uint64, C.c_uint64, C.c_void_p]
        getattr(lib, "dru%sSSMahDistance" % t).argtypes = [C.c_void_p]
    return lib


def pack(m, storage):
    """A symmetric matrix in storage 0 (full), 1 (columns of the upper triangle) or 2 (rows)."""
    p = m.shape[0]
    if storage == 0:
        return np.ascontiguousarray(m).ravel().copy()
    out = np.zeros(p * (p + 1) // 2, m.dtype)
    for i in range(p):
        for j in range(i, p):
            out[i + j * (j + 1) // 2 if storage == 1 else i * p - i * (i - 1) // 2 + (j - i)] = m[i, j]
    return out


def unpack(a, p, storage):
    if storage == 0:
        return a.reshape(p, p).copy()
    m = np.zeros((p, p), a.dtype)
    for i in range(p):
        for j in range(i, p):
            m[i, j] = m[j, i] = a[i + j * (j + 1) // 2 if storage == 1 else i * p - i * (i - 1) // 2 + (j - i)]
    return m


def spd(p, seed, cond=1e3):
    rng = np.random.default_rng(seed)
    q, _ = np.linalg.qr(rng.normal(size=(p, p)))
    return (q * np.geomspace(1.0, 1.0 / cond, p)) @ q.T


class Chi2(unittest.TestCase):
    DOF = [1, 2, 3, 5, 10, 31, 100, 333, 1000]

    def test_cdf_and_pdf_in_the_body(self):
        """Series / continued-fraction switch, the rescaling and the pdf constant c: 1e-12 relative."""
        lib = bind()
        for k in self.DOF:
            lo, hi = stats.chi2.ppf([1e-6, 1 - 1e-9], k)
            for x in np.geomspace(lo, hi, 41):
                cdf, ref = lib._drudChi2CDF(k, x), stats.chi2.cdf(x, k)
                self.assertLess(abs(cdf - ref), 1e-12 * ref + 1e-16, (k, x))
                pdf = lib._drudChi2PDF(k, x)
                ref = stats.chi2.pdf(x, k) * math.exp(-k / 2 * (C_PDF - math.log(2.0)))
                self.assertLess(abs(pdf / ref - 1), 1e-12, (k, x))

    def test_edges(self):
        lib = bind()
        rows = [("cdf", 5, 0.0, 0.0), ("cdf", 5, -3.0, 0.0), ("cdf", 0, 3.0, 0.0), ("cdf", -2, 3.0, 0.0),
                ("cdf", 3, 1e6, 1.0), ("cdf", 1000, 1e5, 1.0), ("pdf", 4, 0.0, 0.0), ("pdf", 4, -1.0, 0.0),
                ("icdf", 4, 0.0, 0.0), ("icdf", 4, 1.0, math.inf)]
        for fn, k, x, want in rows:
            got = getattr(lib, "_drudChi2" + fn.upper())(k, x)
            self.assertEqual(got, want, (fn, k, x))

    def test_quantile(self):
        """Newton in its bracket for the body; the bracketing search below 1e-3 by backward error."""
        lib = bind()
        for k in self.DOF:
            for q in [1e-3, 0.01, 0.1, 0.5, 0.9, 0.99, 0.9999, 1 - 1e-6]:
                x = lib._drudChi2ICDF(k, q)
                self.assertLess(abs(x / stats.chi2.ppf(q, k) - 1), 1e-12, (k, q))
            for q in [1e-300, 1e-100, 1e-20, 1e-10, 1e-5, 5e-4]:
                x = lib._drudChi2ICDF(k, q)
                # The search runs on 1 - q, so q is known to within the rounding of 1 - q.
                self.assertLess(abs(stats.chi2.cdf(x, k) - q), 4e-16, (k, q, x))


class Scalars(unittest.TestCase):
    def test_ln_against_math_log(self):
        lib = bind()
        rng = np.random.default_rng(3)
        xs = np.concatenate([np.exp(rng.uniform(-700, 700, 3000)), 1 + rng.uniform(-1e-3, 1e-3, 2000),
                             [1.0, np.nextafter(1.0, 0), np.nextafter(1.0, 2), 2.0, 0.75, 1.5, 5e-324, 2.2e-308,
                              1.7976931348623157e308]])
        for x in xs:
            ref = math.log(x)
            got = lib._drudLn(x)
            self.assertLessEqual(abs(got - ref), math.ulp(ref), x)
            got = lib._drusLn(x)
            if 1.4e-45 <= x <= 3.4e38:
                f = float(np.float32(x))
                self.assertLessEqual(abs(got - math.log(f)), abs(float(np.spacing(np.float32(math.log(f))))), x)

    def test_ln_invalid_arguments(self):
        lib = bind()
        for x in [0.0, -0.0, -1.0, math.inf, -math.inf, math.nan]:
            self.assertEqual(lib._drudLn(x), -744.4400719213812, x)
            self.assertAlmostEqual(lib._drusLn(x), math.log(2.0 ** -149), places=5)

    def test_floor_sqrt_lgamma(self):
        lib = bind()
        # (x, floor x): |x| < 1 of both signs, the half-odd values just below 2^52, beyond 2^52 unchanged.
        rows = [(0.5, 0.0), (-0.5, -1.0), (-0.0, -0.0), (0.0, 0.0), (-1e-300, -1.0), (2.0 ** 51 + 0.5, 2.0 ** 51),
                (-(2.0 ** 51 + 0.5), -(2.0 ** 51 + 1)), (2.0 ** 52 + 1, 2.0 ** 52 + 1), (-3.0, -3.0),
                (1e300, 1e300), (-math.inf, -math.inf)]
        for x, want in rows:
            self.assertEqual(struct.pack("<d", lib._drudFloor(x)), struct.pack("<d", want), x)
        for x in [2.0, 1e-300, 12345.678]:
            self.assertEqual(lib._drudSqrt(x), math.sqrt(x))
        for x in [0.5, 1.0, 2.5, 17.0, 500.5, 1e5]:
            self.assertLess(abs(lib._drudLGamma(x) - math.lgamma(x)), 2e-15 * max(1, abs(math.lgamma(x))))


class CovRank(unittest.TestCase):
    def test_scalar_cases(self):
        lib = bind()
        rows = [(2.5, 0, 2.5), (-0.0, 0, 4.94e-321), (0.0, 0, 4.94e-321), (-4e-321, 0, 4.94e-321),
                (-1.0, -4033, -1.0), (-1e-300, -4033, -1e-300)]
        for v, st, after in rows:
            a = np.array([v])
            self.assertEqual(lib._drudTestCovRank(1, a.ctypes.data), st, v)
            self.assertEqual(a[0], after, v)
        a = np.array([-0.0], np.float32)
        self.assertEqual(lib._drusTestCovRank(1, a.ctypes.data), 0)
        self.assertEqual(a[0], np.float32(1.4e-42))

    def test_matrices(self):
        """Full rank passes untouched; a rank-deficient one gets the ridge on its diagonal; zero is refused."""
        lib = bind()
        full = spd(6, 1)
        # (diagonal, ridge): the first eigenvalue after the smallest that is not ~0 sets the ridge,
        # and a negative smallest one is lifted as well.
        rows = [([0.0, 1e-3, 2.0, 5.0], 1e-5), ([-1e-16, 0.0, 4.0, 5.0], 0.04 + 1e-16),
                ([1e-300, 1e-300, 1e-300, 8.0], 0.01 * 1e-300)]
        for t, dt in (("d", np.float64), ("s", np.float32)):
            fn = getattr(lib, "_dru%sTestCovRank" % t)
            a = full.astype(dt)
            before = a.copy()
            self.assertEqual(fn(6, a.ctypes.data), 0)
            np.testing.assert_array_equal(a, before)
            for diag, ridge in rows[: 2 if t == "s" else 3]:
                a = np.diag(diag).astype(dt)
                self.assertEqual(fn(4, a.ctypes.data), 0, (t, diag))
                np.testing.assert_allclose(np.diag(a), np.array(diag, dt) + dt(ridge), rtol=1e-6)
                self.assertGreater(np.diag(a).min(), 0, (t, diag))
                self.assertTrue((a[~np.eye(4, dtype=bool)] == 0).all())
            z = np.zeros((4, 4), dt)
            self.assertEqual(fn(4, z.ctypes.data), -4033)
            np.testing.assert_array_equal(z, 0)


class InvCov(unittest.TestCase):
    def test_against_numpy_inverse(self):
        lib = bind()
        for t, dt, tol in (("d", np.float64, 1e-11), ("s", np.float32, 2e-3)):
            for p in [1, 2, 3, 4, 7, 20]:
                m = spd(p, p).astype(dt)
                a = np.asfortranarray(m.copy())
                self.assertEqual(getattr(lib, "_dru%sInvCov" % t)(p, a.ctypes.data), 0)
                ref = np.linalg.inv(m.astype(np.float64))
                got = np.tril(a)  # a is column-major: its lower triangle is m[i + j p], i >= j
                lower = np.tril(ref)
                self.assertLess(np.abs(got - lower).max() / np.abs(ref).max(), tol, (t, p))

    def test_documented_cases(self):
        lib = bind()
        a = np.array([4.0, 2.0, 2.0, 3.0])
        self.assertEqual(lib._drudInvCov(2, a.ctypes.data), 0)
        np.testing.assert_array_equal(a, [0.375, -0.25, 2.0, 0.5])
        for p in (2, 4):
            a = np.eye(p).ravel()
            self.assertEqual(lib._drudInvCov(p, a.ctypes.data), 0)
            np.testing.assert_array_equal(a, np.eye(p).ravel())

    def test_not_positive_definite_leaves_the_matrix(self):
        lib = bind()
        a = np.diag([1.0, 2.0, -3.0, 4.0, 5.0]).ravel()
        before = a.copy()
        self.assertEqual(lib._drudInvCov(5, a.ctypes.data), -5041)
        np.testing.assert_array_equal(a, before)


class Bare:
    """A task over data with nothing else registered (the basic-statistics helper registers its results)."""

    def __init__(self, data, layout):
        self.t = "d" if data.dtype == np.float64 else "s"
        p, n = data.shape if layout == ROWS else data.shape[::-1]
        self.ints = np.array([p, n, layout], np.int32)
        self.handle = C.c_void_p()
        st = getattr(LIB.lib, "_dru%sSSNewTask" % self.t)(C.byref(self.handle), self.ints.ctypes.data,
                                                            self.ints.ctypes.data + 4, self.ints.ctypes.data + 8,
                                                            data.ctypes.data, None, None, 0)
        assert st == 0, st

    def edit(self, pid, arr):
        return getattr(LIB.lib, "_dru%sSSEditTask" % self.t)(self.handle, pid, arr.ctypes.data)

    def edit_int(self, pid, arr):
        return LIB.lib._druiSSEditTask(self.handle, pid, arr.ctypes.data)

    def call(self, routine, estimates=0, method=0):
        return getattr(LIB.lib, "dru%sSS%s" % (self.t, routine))(self.handle, estimates, method,
                                                                 LIB.threading["serial"])

    def __del__(self):
        LIB.lib._druSSDeleteTask(C.byref(self.handle))


def edit_all(task, edits, keep):
    """Registers each named array (integer ids for int32 arrays), keeping the arrays alive in `keep`."""
    for name, arr in edits.items():
        keep.append(arr)
        (task.edit_int if arr.dtype == np.int32 else task.edit)(ID[name], arr)


def make_task(x, dtype, layout=ROWS):
    data = np.ascontiguousarray((x if layout == ROWS else x.T).astype(dtype))
    return Bare(data, layout), data


class Partial(unittest.TestCase):
    def test_schur_complement(self):
        """Every storage, both marks, both precisions, 32- and the separate marks ignored (0, 2)."""
        lib = bind()
        p = 7
        s = spd(p, 11, cond=50)
        marks = np.array([1, -1, 0, 1, -1, 2, 1], np.int32)
        keep, given = np.where(marks == 1)[0], np.where(marks == -1)[0]
        s11, s12, s22 = s[np.ix_(keep, keep)], s[np.ix_(keep, given)], s[np.ix_(given, given)]
        ref = s11 - s12 @ np.linalg.inv(s22) @ s12.T
        d = np.sqrt(np.diag(ref))
        ref_cor = ref / np.outer(d, d)
        for t, dt, tol in (("d", np.float64, 1e-12), ("s", np.float32, 1e-4)):
            for st_in, st_out in ((0, 0), (1, 2), (2, 1)):
                task, _ = make_task(np.zeros((p, 3)), dt)
                cov = pack(s.astype(dt), st_in)
                k = len(keep)
                out = {n: np.full(k * k, -9.0, dt) for n in ("pcov", "pcor")}
                ints = {n: np.array([v], np.int32) for n, v in (("cs", st_in), ("os", st_out))}
                task.edit(ID["cov"], cov)
                task.edit_int(ID["cov_storage"], ints["cs"])
                task.edit_int(ID["pindices"], marks)
                task.edit(ID["pcov"], out["pcov"])
                task.edit(ID["pcor"], out["pcor"])
                task.edit_int(ID["pcov_storage"], ints["os"])
                task.edit_int(ID["pcor_storage"], ints["os"])
                self.assertEqual(task.call("PartialCovariance", EST_PCOV | EST_PCOR, 1), 0)
                size = k * k if st_out == 0 else k * (k + 1) // 2
                got = unpack(out["pcov"][:size], k, st_out)
                self.assertLess(np.abs(got - ref).max(), tol * np.abs(ref).max(), (t, st_in, st_out))
                got = unpack(out["pcor"][:size], k, st_out)
                self.assertLess(np.abs(got - ref_cor).max(), tol, (t, st_in, st_out))

    def test_refusals_before_writing(self):
        lib = bind()
        p = 4
        task, _ = make_task(np.zeros((p, 3)), np.float64)
        cov, pcov = pack(spd(p, 2), 0), np.full(p * p, -9.0)
        storage = np.array([0], np.int32)
        rows = [
            ({}, EST_PCOV, 1, -4018),
            ({"cov": cov}, EST_PCOV, 1, -4044),
            ({"cov": cov, "cov_storage": storage}, EST_PCOV, 1, -4045),
            ({"pindices": np.array([1, -1, 0, 0], np.int32)}, EST_PCOV, 1, -4046),
            ({"pcov": pcov}, EST_PCOV, 1, -4044),
            ({"pcov_storage": storage}, EST_PCOV | EST_PCOR, 1, -4047),
            ({}, EST_PCOV, 2, -4029),
            ({"pindices": np.array([1, 1, 0, 0], np.int32)}, EST_PCOV, 1, -4073),
            ({"pindices": np.array([-1, -1, 0, 3], np.int32)}, EST_PCOV, 1, -4073),
        ]
        keep = []
        for edits, est, method, want in rows:
            edit_all(task, edits, keep)
            self.assertEqual(task.call("PartialCovariance", est, method), want, (edits.keys(), want))
            self.assertTrue((pcov == -9.0).all())


class CorParametrization(unittest.TestCase):
    def test_indefinite_correlation(self):
        """A 'correlation' with a negative eigenvalue comes back valid, close to the input elsewhere."""
        lib = bind()
        c = np.array([[1.0, 0.9, 0.7], [0.9, 1.0, -0.3], [0.7, -0.3, 1.0]])
        self.assertLess(np.linalg.eigvalsh(c)[0], -0.1)
        rng = np.random.default_rng(4)
        x = rng.normal(size=(8, 8))
        big = np.corrcoef(x @ x.T)
        big[0, 1] = big[1, 0] = -0.99
        big[1, 2] = big[2, 1] = 0.99
        big[0, 2] = big[2, 0] = 0.99
        for mat in (c, big):
            p = mat.shape[0]
            w, v = np.linalg.eigh(mat)
            b = v * np.sqrt(np.maximum(w, 1e-14))
            b /= np.linalg.norm(b, axis=1)[:, None]
            ref = b @ b.T
            for t, dt, tol in (("d", np.float64, 1e-12), ("s", np.float32, 1e-5)):
                for st_in, st_out in ((0, 0), (1, 2), (2, 0)):
                    task, _ = make_task(np.zeros((p, 3)), dt)
                    cor = pack(mat.astype(dt), st_in)
                    out = np.full(p * p, -9.0, dt)
                    codes = np.array([st_in, st_out], np.int32)
                    task.edit(ID["cor"], cor)
                    task.edit_int(ID["cor_storage"], codes[0:])
                    task.edit(ID["param"], out)
                    task.edit_int(ID["param_storage"], codes[1:])
                    self.assertEqual(task.call("CorParametrization", 0, 4), 0)
                    got = unpack(out[: p * p if st_out == 0 else p * (p + 1) // 2], p, st_out).astype(np.float64)
                    np.testing.assert_allclose(np.diag(got), 1.0, atol=4 * np.finfo(dt).eps)
                    self.assertGreater(np.linalg.eigvalsh(got)[0], -10 * np.finfo(dt).eps, (t, p))
                    self.assertLess(np.abs(got - ref).max(), tol, (t, p, st_in, st_out))

    def test_refusals(self):
        lib = bind()
        p = 3
        task, _ = make_task(np.zeros((p, 3)), np.float64)
        cor, out = pack(np.eye(p), 0), np.full(9, -9.0)
        rows = [({}, 4, -4019), ({"cor": cor}, 4, -4044), ({"cor_storage": np.array([5], np.int32)}, 4, -4003),
                ({"cor_storage": np.array([0], np.int32)}, 4, -4071), ({"param": out}, 4, -4044),
                ({"param_storage": np.array([3], np.int32)}, 4, -4003),
                ({"param_storage": np.array([1], np.int32)}, 1, -4029)]
        keep = []
        for edits, method, want in rows:
            edit_all(task, edits, keep)
            self.assertEqual(task.call("CorParametrization", 0, method), want)
            self.assertTrue((out == -9.0).all())
        same = np.array([0], np.int32)
        task.edit(ID["param"], cor)
        task.edit_int(ID["param_storage"], np.array([1], np.int32))
        self.assertEqual(task.call("CorParametrization", 0, 4), -4003)
        z = pack(np.full((p, p), -1.0), 0)
        task.edit(ID["cor"], z)
        task.edit(ID["param"], out)
        task.edit_int(ID["param_storage"], same)
        self.assertEqual(task.call("CorParametrization", 0, 4), -4072)


class Mahalanobis(unittest.TestCase):
    def run_record(self, x, mean, sinv, first, end, dt, layout):
        task, data = make_task(x, dt, layout)
        dist = np.full(x.shape[1], -1.0, dt)
        ints = np.array([first, end], np.int32)
        m, s = mean.astype(dt), np.asfortranarray(sinv.astype(dt))
        # Record words 82-89: first, end, mean, inverse covariance, distances.
        words = (C.c_void_p * 8).from_address(task.handle.value + 640)
        words[0], words[1], words[2], words[3], words[4] = (ints.ctypes.data, ints.ctypes.data + 4, m.ctypes.data,
                                                             s.ctypes.data, dist.ctypes.data)
        st = getattr(LIB.lib, "dru%sSSMahDistance" % ("d" if dt == np.float64 else "s"))(task.handle)
        for i in range(8):
            words[i] = None
        return st, dist

    def test_against_numpy(self):
        bind()
        rng = np.random.default_rng(9)
        for p, n in ((1, 50), (5, 200), (1100, 300)):
            cov = spd(p, p, cond=10)
            x = rng.normal(size=(p, n))
            mean = rng.normal(size=p)
            sinv = np.linalg.inv(cov)
            lower = np.tril(sinv) + np.triu(np.full((p, p), 1e30), 1)  # only the lower triangle may be read
            d = x - mean[:, None]
            ref = np.sqrt(np.einsum("in,ij,jn->n", d, sinv, d))
            for dt, tol in ((np.float64, 1e-10), (np.float32, 1e-3)):
                for layout in (ROWS, COLUMNS):
                    st, dist = self.run_record(x, mean, lower, 3, n - 2, dt, layout)
                    self.assertEqual(st, 0)
                    np.testing.assert_allclose(dist[3:n - 2], ref[3:n - 2], rtol=tol)
                    self.assertTrue((dist[:3] == -1).all() and (dist[n - 2:] == -1).all())
                    if p > 100:
                        break


class Pooled(unittest.TestCase):
    def setUp(self):
        bind()
        rng = np.random.default_rng(21)
        self.p, self.n, self.G = 12, 3000, 5
        self.groups = rng.integers(0, self.G, self.n).astype(np.int32)
        centres = rng.normal(size=(self.G, self.p)) * 50 + 1e4  # large offset, small spread
        self.x = (centres[self.groups] + rng.normal(size=(self.n, self.p)) @ np.diag(np.linspace(0.1, 3, self.p))).T

    def run_pooled(self, dt, layout, storage, threading, weights=None):
        task, data = make_task(self.x, dt, layout)
        p, G = self.p, self.G
        size = p * p if storage == 0 else p * (p + 1) // 2
        req = np.array([1, 0, 1, 1, 0], np.int32)
        out = dict(pooled_mean=np.full(p, -9.0, dt), pooled_cov=np.full(size, -9.0, dt),
                   group_means=np.full(G * p, -9.0, dt), group_covs=np.full(G * size, -9.0, dt))
        ints = np.array([storage], np.int32)
        task.edit_int(ID["groups"], self.groups)
        task.edit_int(ID["requested"], req)
        task.edit_int(ID["pooled_storage"], ints)
        task.edit_int(ID["group_storage"], ints)
        for k, v in out.items():
            task.edit(ID[k], v)
        w = None if weights is None else weights.astype(dt)
        if w is not None:
            task.edit(ID["weights"], w)
        st = getattr(LIB.lib, "dru%sSSPooledCovariance" % task.t)(task.handle, EST_POOLED | EST_GROUP, 2,
                                                                  LIB.threading[threading])
        self.assertEqual(st, 0)
        return out, req, size

    def test_against_numpy_per_group(self):
        """Each requested group's mean and covariance is numpy's on that group; pooled = within-group / (n - G)."""
        p, G = self.p, self.G
        for dt, tol in ((np.float64, 1e-10), (np.float32, 2e-3)):
            for layout, storage, threading in ((ROWS, 0, "serial"), (COLUMNS, 1, "openmp"), (ROWS, 2, "openmp")):
                out, req, size = self.run_pooled(dt, layout, storage, threading)
                within = np.zeros((p, p))
                slot = 0
                for g in range(G):
                    xg = self.x[:, self.groups == g]
                    within += np.cov(xg) * (xg.shape[1] - 1)
                    if req[g]:
                        np.testing.assert_allclose(out["group_means"][slot * p:(slot + 1) * p], xg.mean(axis=1),
                                                   rtol=tol)
                        got = unpack(out["group_covs"][slot * size:(slot + 1) * size], p, storage)
                        self.assertLess(np.abs(got - np.cov(xg)).max() / np.abs(np.cov(xg)).max(), tol, (g, dt))
                        slot += 1
                self.assertTrue((out["group_means"][slot * p:] == -9).all())
                np.testing.assert_allclose(out["pooled_mean"], self.x.mean(axis=1), rtol=tol)
                ref = within / (self.n - G)
                got = unpack(out["pooled_cov"], p, storage)
                self.assertLess(np.abs(got - ref).max() / np.abs(ref).max(), tol, (dt, layout, storage))

    def test_weights(self):
        """Integer weights equal repeating the observations: numpy's cov with fweights per group."""
        rng = np.random.default_rng(2)
        w = rng.integers(1, 4, self.n).astype(np.float64)
        out, req, size = self.run_pooled(np.float64, ROWS, 0, "serial", w)
        g = 2
        xg, wg = self.x[:, self.groups == g], w[self.groups == g]
        ref = np.cov(xg, fweights=wg.astype(int))
        got = out["group_covs"][size:2 * size].reshape(self.p, self.p)
        # The weighted divisor is W0 - W1 / W0, not numpy's sum(w) - 1: rescale.
        ref *= (wg.sum() - 1) / (wg.sum() - (wg ** 2).sum() / wg.sum())
        self.assertLess(np.abs(got - ref).max() / np.abs(ref).max(), 1e-10)

    def test_refusals(self):
        task, _ = make_task(self.x, np.float64)
        p = self.p
        pm, pc = np.full(p, -9.0), np.full(p * p, -9.0)
        bad_groups = self.groups.copy()
        bad_groups[7] = -1
        rows = [({}, EST_POOLED, 2, -4030), ({"groups": self.groups}, EST_POOLED, 2, -4035),
                ({"pooled_mean": pm}, EST_POOLED, 2, -4044),
                ({"pooled_storage": np.array([0], np.int32)}, EST_POOLED, 2, -4034),
                ({"pooled_cov": pc}, EST_GROUP, 2, -4030),
                ({"requested": np.array([1, 1, 1, 1, 1], np.int32)}, EST_GROUP, 2, -4037),
                ({}, EST_POOLED, 1, -4029), ({"groups": bad_groups}, EST_POOLED, 2, -4038),
                ({"groups": self.groups, "group_means": np.zeros(5 * p),
                  "requested": np.array([1, 2, 0, 0, 0], np.int32)}, EST_GROUP_MEAN, 2, -4038)]
        keep = []
        for edits, est, method, want in rows:
            edit_all(task, edits, keep)
            self.assertEqual(task.call("PooledCovariance", est, method), want, (list(edits), want))
            self.assertTrue((pm == -9.0).all() and (pc == -9.0).all())


def contaminated(p, n, frac, seed, shift=8.0):
    """Gaussian data (correlated, offset) with a fraction of the observations moved far along a direction."""
    rng = np.random.default_rng(seed)
    a = rng.normal(size=(p, p)) / np.sqrt(p) + np.eye(p)
    cov = a @ a.T
    mean = rng.normal(size=p) * 10
    x = rng.multivariate_normal(mean, cov, n).T
    bad = np.zeros(n, bool)
    bad[rng.choice(n, int(frac * n), replace=False)] = True
    direction = rng.normal(size=p)
    direction /= np.linalg.norm(direction)
    x[:, bad] += (shift * np.sqrt(np.diag(cov)).max() * direction)[:, None] + rng.normal(size=(p, bad.sum()))
    return x, bad, mean, cov


class Outliers(unittest.TestCase):
    def detect(self, x, dt=np.float64, layout=ROWS, params=None, threading="serial"):
        task, data = make_task(x, dt, layout)
        n = x.shape[1]
        w = np.full(n, -9.0, dt)
        task.edit(ID["out_weights"], w)
        if params is not None:
            pv, cnt = np.array(params, dt), np.array([len(params)], np.int32)
            task.edit(ID["out_params"], pv)
            task.edit_int(ID["out_count"], cnt)
        st = getattr(LIB.lib, "dru%sSSOutliersDetection" % task.t)(task.handle, 0, 0x20, LIB.threading[threading])
        return st, w

    def test_planted_outliers(self):
        """10% to 40% planted: all flagged, clean points kept; the subset's mean and covariance are the clean ones."""
        bind()
        for frac in (0.1, 0.25, 0.4):
            for dt, layout, method in ((np.float64, ROWS, 2), (np.float64, COLUMNS, 1), (np.float32, ROWS, 2)):
                x, bad, mean, cov = contaminated(6, 4000, frac, seed=int(frac * 100))
                if method == 1 and frac > 0.2:
                    continue  # distances from the contaminated mean do not start clean at this level
                st, w = self.detect(x, dt, layout, [method, 0.001, 0.005])
                self.assertEqual(st, 0)
                self.assertTrue(np.isin(w, [0, 1]).all())
                flagged = (w[bad] == 0).mean()
                kept = (w[~bad] == 1).mean()
                print("BACON %s frac %.2f method %d: outliers flagged %.4f, clean kept %.4f"
                      % (np.dtype(dt).name, frac, method, flagged, kept), file=sys.stderr)
                self.assertEqual(flagged, 1.0, (frac, dt))
                self.assertGreater(kept, 0.97, (frac, dt))
                sub = x[:, w == 1]
                clean = x[:, ~bad]
                scale = np.sqrt(np.diag(np.cov(clean)))
                self.assertLess(np.abs(sub.mean(axis=1) - clean.mean(axis=1)).max() / scale.max(), 0.05)
                self.assertGreater(np.abs(x.mean(axis=1) - clean.mean(axis=1)).max() / scale.max(), 0.5)
                # Trimming at the cut-off shrinks the scatter a little; the plain covariance is far off.
                ratio = np.linalg.eigvalsh(np.linalg.solve(np.cov(clean), np.cov(sub)))
                self.assertTrue((ratio > 0.8).all() and (ratio < 1.15).all(), ratio)
                ratio = np.linalg.eigvalsh(np.linalg.solve(np.cov(clean), np.cov(x)))
                self.assertGreater(ratio.max(), 3)

    def test_edges_and_parameters(self):
        bind()
        p = 4
        x, bad, _, _ = contaminated(p, 5 * p, 0.0, seed=3)
        st, w = self.detect(x)
        self.assertEqual(st, 0)
        self.assertGreater(w.sum(), p)
        st, w = self.detect(x[:, :-1])
        self.assertEqual(st, -4002)
        self.assertTrue((w == -9).all())
        x, bad, _, _ = contaminated(p, 500, 0.2, seed=4)
        ref = self.detect(x, params=[2, 0.05, 0.005])[1]
        rows = [[7, 0.05, 0.005], [2.9, 0.05, 0.005], [2, 3.0, 0.005], [2, 0.05, -1.0], [2, 0.05]]
        for params in rows:  # other methods are 2; out-of-range values and a count of 2 take the defaults
            st, w = self.detect(x, params=params)
            self.assertEqual(st, 0)
            np.testing.assert_array_equal(w, ref, params)
        st, w = self.detect(x, params=[2, 0.0, 0.005])  # alpha 0: an infinite cut-off keeps everything
        self.assertEqual(st, 0)
        self.assertTrue((w == 1).all())

    def test_refusals(self):
        bind()
        x = contaminated(3, 40, 0.0, seed=1)[0]
        task, _ = make_task(x, np.float64)
        self.assertEqual(task.call("OutliersDetection", 0, 0x20), -4041)
        w = np.full(40, -9.0)
        task.edit(ID["out_weights"], w)
        self.assertEqual(task.call("OutliersDetection", 0, 0x8), -4029)
        self.assertTrue((w == -9).all())


class Robust(unittest.TestCase):
    def estimate(self, x, dt=np.float64, layout=ROWS, storage=0, params=None, threading="serial"):
        task, data = make_task(x, dt, layout)
        p = x.shape[0]
        mean = np.full(p, -9.0, dt)
        cov = np.full(p * p if storage == 0 else p * (p + 1) // 2, -9.0, dt)
        code = np.array([storage], np.int32)
        task.edit(ID["rob_mean"], mean)
        task.edit(ID["rob_cov"], cov)
        task.edit_int(ID["rob_storage"], code)
        if params is not None:
            pv, cnt = np.array(params, dt), np.array([len(params)], np.int32)
            task.edit(ID["rob_params"], pv)
            task.edit_int(ID["rob_count"], cnt)
        st = getattr(LIB.lib, "dru%sSSRobustCovariance" % task.t)(task.handle, 0, 0x8, LIB.threading[threading])
        return st, mean, unpack(cov, p, storage).astype(np.float64)

    def test_planted_outliers(self):
        """Location and scatter near the clean sample's where the plain ones are far off, 0% to 40%."""
        bind()
        for frac in (0.0, 0.1, 0.25, 0.4):
            for dt, layout, storage, threading in ((np.float64, ROWS, 0, "serial"), (np.float64, COLUMNS, 1, "openmp"),
                                                   (np.float32, ROWS, 2, "serial")):
                x, bad, _, _ = contaminated(6, 4000, frac, seed=int(frac * 100) + 1)
                st, mean, cov = self.estimate(x, dt, layout, storage, threading=threading)
                self.assertEqual(st, 0, (frac, dt))
                clean = x[:, ~bad]
                scale = np.sqrt(np.diag(np.cov(clean))).max()
                err_mean = np.abs(mean - clean.mean(axis=1)).max() / scale
                ratio = np.linalg.eigvalsh(np.linalg.solve(np.cov(clean), cov))
                plain = np.linalg.eigvalsh(np.linalg.solve(np.cov(clean), np.cov(x)))
                print("S-estimate %s frac %.2f: mean error %.2e sd, scatter ratio [%.3f, %.3f] (plain up to %.1f)"
                      % (np.dtype(dt).name, frac, err_mean, ratio.min(), ratio.max(), plain.max()), file=sys.stderr)
                self.assertLess(err_mean, 0.05)
                self.assertTrue((ratio > 0.9).all() and (ratio < 1.1).all(), (frac, ratio))
                if frac > 0:
                    self.assertGreater(plain.max(), 3)

    def test_edges_and_parameters(self):
        bind()
        p = 3
        x = contaminated(p, 2 * p, 0.0, seed=6)[0]
        st, mean, _ = self.estimate(x)
        self.assertEqual(st, -4002)
        self.assertTrue((mean == -9).all())
        x = contaminated(p, 2 * p + 1, 0.0, seed=6)[0]
        self.assertEqual(self.estimate(x)[0], 0)
        x = contaminated(4, 600, 0.2, seed=8)[0]
        ref = self.estimate(x)
        n, p = 600, 4
        # A count of 3 is ignored; a breakdown point of 0.9 is capped at (n - p) / (2 n).
        for params in ([0.1, 0.5, 1e-9], [0.9, 0.001, 0.001, 100], [0.9, -1, 0, -5]):
            st, mean, cov = self.estimate(x, params=params)
            self.assertEqual(st, 0)
            np.testing.assert_array_equal(mean, ref[1], params)
            np.testing.assert_array_equal(cov, ref[2], params)

    def test_refusals(self):
        bind()
        x = contaminated(3, 40, 0.0, seed=1)[0]
        task, _ = make_task(x, np.float64)
        mean, cov = np.full(3, -9.0), np.full(9, -9.0)
        rows = [({}, 8, -4028), ({"rob_mean": mean}, 8, -4027), ({"rob_cov": cov}, 8, -4044),
                ({"rob_storage": np.array([4], np.int32)}, 8, -4003), ({"rob_storage": np.array([0], np.int32)}, 2, -4029)]
        keep = []
        for edits, method, want in rows:
            edit_all(task, edits, keep)
            self.assertEqual(task.call("RobustCovariance", 0, method), want)
            self.assertTrue((mean == -9).all() and (cov == -9).all())


if __name__ == "__main__":
    LIB = Lib(sys.argv.pop(1) if len(sys.argv) > 1 else None)
    unittest.main(verbosity=1)
