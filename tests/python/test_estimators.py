"""nrx.stats order statistics and robust estimates: quantile, median and mad against numpy (the
"linear" rule), robust_cov and outliers against planted contamination and the C calls, and
missing_values against the complete data."""
import os
import sys

import numpy as np
import pytest

import nrx
from nrx import stats
from conftest import BUILD

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "stats"))
import nrx_stats_ctypes as cs  # noqa: E402


def sample(kind, rng, n=501, p=3):
    if kind == "normal":
        return rng.normal(size=(n, p))
    if kind == "offset":  # large offset, small spread
        return 1e8 + rng.normal(size=(n, p)) * 1e-3
    if kind == "ties":
        return np.round(rng.normal(size=(n, p)), 1)
    return rng.exponential(size=(n, p)) ** 3  # skewed


KINDS = ["normal", "offset", "ties", "skewed"]
ORDERS = [0.0, 0.001, 0.25, 0.5, 0.6180339887, 0.99, 1.0]


@pytest.mark.parametrize("kind", KINDS)
@pytest.mark.parametrize("n", [1, 2, 500, 501])
def test_quantile_median_mad_against_numpy(kind, n):
    x = sample(kind, np.random.default_rng(n), n=n)
    np.testing.assert_allclose(stats.quantile(x, ORDERS), np.quantile(x, ORDERS, axis=0, method="linear"),
                               rtol=1e-15, atol=0)
    np.testing.assert_allclose(stats.median(x), np.median(x, axis=0), rtol=1e-15)
    med = np.median(x, axis=0)
    np.testing.assert_allclose(stats.mad(x), np.median(np.abs(x - med), axis=0), rtol=1e-12, atol=1e-300)
    # Each deviation carries the rounding of the data themselves (large under an offset).
    np.testing.assert_allclose(stats.mad(x, center="mean"), np.mean(np.abs(x - x.mean(axis=0)), axis=0),
                               rtol=1e-9, atol=4 * np.spacing(np.abs(x).max()))


def test_quantile_shapes_layouts_and_float32():
    x = np.random.default_rng(3).normal(size=(200, 4))
    q = np.array([[0.1, 0.2], [0.7, 0.9]])
    assert stats.quantile(x, q).shape == (2, 2, 4)
    assert stats.quantile(x, 0.3).shape == (4,)
    assert np.ndim(stats.quantile(x[:, 0], 0.3)) == 0 and np.ndim(stats.median(x[:, 1])) == 0
    np.testing.assert_array_equal(stats.quantile(x.T, ORDERS, rowvar=True), stats.quantile(x, ORDERS))
    f = x.astype(np.float32)
    got = stats.quantile(f, ORDERS)
    assert got.dtype == np.float32
    # float orders: the rounding of q (n - 1) moves the interpolation point by a few float ulps
    np.testing.assert_allclose(got, np.quantile(f.astype(np.float64), ORDERS, axis=0), rtol=1e-6, atol=1e-30)


def contaminated(rng, n=2000, p=3, share=0.15):
    a = rng.normal(size=(p, p))
    cov = a @ a.T / p + np.eye(p)
    x = rng.multivariate_normal(np.zeros(p), cov, size=n)
    bad = rng.random(n) < share
    x[bad] = rng.normal(8.0, 0.5, size=(bad.sum(), p))
    return x, bad, cov


def test_robust_cov_resists_contamination():
    """The plain covariance is pulled far by 15% planted outliers; the robust one stays near."""
    x, bad, cov = contaminated(np.random.default_rng(5))
    m, c = stats.robust_cov(x)
    d = np.sqrt(np.diag(cov))
    assert np.all(np.abs(m) < 6 * d / np.sqrt((~bad).sum()))
    assert np.max(np.abs(c - cov) / np.outer(d, d)) < 0.15
    assert np.max(np.abs(np.cov(x.T) - cov) / np.outer(d, d)) > 1.0


def test_robust_cov_and_outliers_equal_the_c_calls():
    """The binding passes data, parameters and storage unchanged."""
    x, _, _ = contaminated(np.random.default_rng(6), n=600)
    lib = cs.Lib(os.path.join(BUILD, "lib"))
    import ctypes as C
    for t in "d":
        getattr(lib.lib, "drudSSRobustCovariance").argtypes = [C.c_void_p, C.c_uint64, C.c_uint64, C.c_void_p]
        getattr(lib.lib, "drudSSOutliersDetection").argtypes = [C.c_void_p, C.c_uint64, C.c_uint64, C.c_void_p]
    task = cs.Task(lib, np.ascontiguousarray(x), layout=cs.COLUMNS)
    n, p = x.shape
    prm = np.array([(n - p) / (2.0 * n), 0.001, 0.001, 100.0])
    ints = np.array([0, 4, 3], np.int32)
    rm, rc, ow, op = np.zeros(p), np.zeros(p * p), np.zeros(n), np.array([2.0, 0.05, 0.005])
    task.edit_int(36, ints[0:])
    task.edit_int(37, ints[1:])
    task.edit(38, prm)
    task.edit(39, rm)
    task.edit(40, rc)
    task.edit_int(41, ints[2:])
    task.edit(42, op)
    task.edit(43, ow)
    th = lib.threading["serial"]
    assert lib.lib.drudSSRobustCovariance(task.handle, 0, 0x8, th) == 0
    assert lib.lib.drudSSOutliersDetection(task.handle, 0, 0x20, th) == 0
    previous = nrx.set_threading("serial")
    try:
        m, c = stats.robust_cov(x)
        out = stats.outliers(x)
    finally:
        nrx.set_threading(previous)
    np.testing.assert_array_equal(m, rm)
    np.testing.assert_array_equal(c, rc.reshape(p, p))
    np.testing.assert_array_equal(out, ow == 0)


def test_outliers_finds_the_planted_ones():
    x, bad, _ = contaminated(np.random.default_rng(8))
    for start in ("medians", "mahalanobis"):
        out = stats.outliers(x, start=start, alpha=0.01)
        assert np.all(out[bad])
        assert out[~bad].mean() < 0.05


def test_missing_values_against_the_complete_data():
    """Draws centre on the complete-data mean and covariance; observed entries are kept exactly."""
    rng = np.random.default_rng(12)
    a = rng.normal(size=(3, 3))
    cov = a @ a.T + np.eye(3)
    full = rng.multivariate_normal([1.0, 2.0, 3.0], cov, size=3000)
    x = full.copy()
    x[rng.random(x.shape) < 0.1] = np.nan
    r = stats.missing_values(x, sets=3, da_iterations=10)
    assert r.imputed.shape == (3, 3000, 3) and r.means.shape == (3, 10, 3) and r.covs.shape == (3, 10, 3, 3)
    keep = ~np.isnan(x)
    assert np.all(r.imputed[:, keep] == x[keep]) and not np.isnan(r.imputed).any()
    d = np.sqrt(np.diag(cov))
    assert np.all(np.abs(r.means.mean(axis=(0, 1)) - full.mean(axis=0)) < 4 * d / np.sqrt(3000))
    se = np.sqrt((np.outer(d, d) ** 2 + cov ** 2) / 3000)
    assert np.all(np.abs(r.covs.mean(axis=(0, 1)) - np.cov(full.T, bias=True)) < 4 * se)
    again = stats.missing_values(x, sets=3, da_iterations=10)
    np.testing.assert_array_equal(again.imputed, r.imputed)
    col = stats.missing_values(x[:, 0], sets=2, da_iterations=3)
    assert col.imputed.shape == (2, 3000)


BAD = [
    (lambda: stats.quantile([1.0, 2.0], 1.5), ValueError),
    (lambda: stats.quantile([1.0, 2.0], "a"), TypeError),
    (lambda: stats.quantile([1.0, np.nan], 0.5), ValueError),
    (lambda: stats.mad([1.0, 2.0], center="mode"), ValueError),
    (lambda: stats.robust_cov(np.ones((10, 2)), rejection=1.0), ValueError),
    (lambda: stats.robust_cov(np.ones((10, 2)), max_iter=1.5), TypeError),
    (lambda: stats.outliers(np.ones((10, 2)), alpha=2.0), ValueError),
    (lambda: stats.outliers(np.ones((10, 2)), start="mean"), ValueError),
    (lambda: stats.missing_values(np.ones((10, 2))), ValueError),
    (lambda: stats.missing_values(np.array([[np.nan, 1.0], [1.0, 2.0]])), ValueError),
    (lambda: stats.missing_values(np.array([[np.nan, 1.0]] * 5), sets=0), ValueError),
]


@pytest.mark.parametrize("call,exc", BAD)
def test_bad_arguments(call, exc):
    with pytest.raises(exc):
        call()


def test_library_refusal_carries_its_status():
    """Too few observations for the robust estimate: the library's -4002 with its name."""
    with pytest.raises(nrx.Error) as e:
        stats.robust_cov(np.random.default_rng(1).normal(size=(4, 2)))
    assert e.value.code == -4002 and e.value.name == "NRX_SS_STATUS_BAD_OBSERVATIONS"
