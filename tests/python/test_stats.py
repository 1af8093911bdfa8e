"""Summary statistics through the package against numpy/scipy and textbook formulas,
on well- and ill-conditioned data."""
import numpy as np
import pytest
import scipy.stats

import nrx
from nrx import stats


def data(kind, rng):
    if kind == "normal":
        return rng.normal(size=(500, 4))
    if kind == "offset":  # large offset, small spread: naive sums lose every digit
        return 1e8 + rng.normal(scale=1e-2, size=(500, 4))
    if kind == "correlated":
        z = rng.normal(size=(500, 2))
        return np.column_stack([z[:, 0], z[:, 0] + 0.1 * z[:, 1], -z[:, 1]])
    raise ValueError(kind)


KINDS = ["normal", "offset", "correlated"]


def reference(x, w=None):
    w = np.ones(len(x)) if w is None else w
    w0, w1 = w.sum(), (w * w).sum()
    mean = np.average(x, axis=0, weights=w)
    d = x - mean
    s2, s3, s4 = [(w[:, None] * d**k).sum(axis=0) for k in (2, 3, 4)]
    var = s2 * w0 / (w0 * w0 - w1)
    c3, c4 = s3 / w0, s4 / w0
    return {"mean": mean, "central_moment_2": var, "skewness": c3 / var**1.5, "kurtosis": c4 / var**2 - 3,
            "cov": np.cov(x.T, aweights=w), "corr": np.corrcoef(x.T), "min": x.min(0), "max": x.max(0),
            "central_moment_3": c3, "central_moment_4": c4,
            "raw_moment_2": np.average(x**2, axis=0, weights=w)}


@pytest.mark.parametrize("kind", KINDS)
@pytest.mark.parametrize("method", ["one_pass", "fast_given_mean"])
def test_estimates_against_numpy(kind, method):
    """Catches lost precision, biased denominators and swapped layouts."""
    x = data(kind, np.random.default_rng(1))
    ref = reference(x)
    tol = {"normal": 1e-12, "offset": 1e-6, "correlated": 1e-12}[kind]
    for name, got in stats.Task(x).compute(list(ref), method).items():
        if kind == "offset" and name == "raw_moment_2":
            continue  # raw moments of offset data carry the offset's magnitude only
        # the reference's own deviations of offset data keep only ~1e-6 of their digits
        power = {"skewness": 0, "kurtosis": 0, "central_moment_3": 3, "central_moment_4": 4}
        if kind == "offset" and name in power:
            atol = 1e-4 * ref["central_moment_2"].max() ** (power[name] / 2)
        else:
            atol = tol * np.abs(ref[name]).max()
        np.testing.assert_allclose(got, ref[name], rtol=tol, atol=atol, err_msg=name)


def test_functions_rowvar_and_describe():
    x = data("correlated", np.random.default_rng(2))
    np.testing.assert_allclose(stats.mean(x), x.mean(0), rtol=1e-14, atol=1e-16)
    np.testing.assert_allclose(stats.var(x), x.var(0, ddof=1), rtol=1e-12)
    np.testing.assert_allclose(stats.cov(x.T, rowvar=True), np.cov(x.T), rtol=1e-12)
    np.testing.assert_allclose(stats.corr(x), np.corrcoef(x.T), rtol=1e-12)
    np.testing.assert_array_equal(stats.min(x), x.min(0))
    np.testing.assert_array_equal(stats.max(x.T, rowvar=True), x.max(0))
    d, s = stats.describe(x), scipy.stats.describe(x)
    assert d.nobs == s.nobs
    np.testing.assert_allclose(d.mean, s.mean, rtol=1e-13)
    np.testing.assert_allclose(d.variance, s.variance, rtol=1e-12)
    n = len(x)  # scipy's skewness and kurtosis use the biased variance
    np.testing.assert_allclose(d.skewness, s.skewness * ((n - 1) / n) ** 1.5, rtol=1e-10)
    np.testing.assert_allclose(d.kurtosis + 3, (s.kurtosis + 3) * ((n - 1) / n) ** 2, rtol=1e-10)
    m = stats.moments(x)
    np.testing.assert_allclose(m["raw"][1], (x**2).mean(0), rtol=1e-12)


def test_weights_against_numpy():
    rng = np.random.default_rng(3)
    x, w = rng.normal(size=(300, 3)), rng.uniform(0.1, 2, 300)
    ref = reference(x, w)
    np.testing.assert_allclose(stats.mean(x, weights=w), ref["mean"], rtol=1e-13)
    np.testing.assert_allclose(stats.cov(x, weights=w), ref["cov"], rtol=1e-12)
    np.testing.assert_allclose(stats.var(x, weights=w), ref["central_moment_2"], rtol=1e-12)


@pytest.mark.parametrize("blocks", [[500], [1, 499], [100] * 5, [7, 93, 250, 150]])
def test_accumulator_equals_one_shot(blocks):
    """Blocks folded in one by one give the estimates of the whole data set."""
    x = data("offset", np.random.default_rng(4))
    acc = stats.Accumulator(4, estimates=("mean", "cov", "central_moment_2", "min", "max"))
    at = 0
    for b in blocks:
        acc.update(x[at:at + b])
        at += b
    ref = reference(x)
    np.testing.assert_allclose(acc.mean, ref["mean"], rtol=4e-15)
    np.testing.assert_allclose(acc.cov, ref["cov"], rtol=1e-6)
    np.testing.assert_allclose(acc.central_moment_2, ref["central_moment_2"], rtol=1e-6)
    np.testing.assert_array_equal(acc.min, ref["min"])
    np.testing.assert_array_equal(acc.max, ref["max"])
    assert acc.weights == (500.0, 500.0)


def test_float32_and_packed_storage():
    x = data("normal", np.random.default_rng(5)).astype(np.float32)
    c = stats.cov(x)
    assert c.dtype == np.float32
    np.testing.assert_allclose(c, np.cov(x.T.astype(np.float64)), rtol=1e-5, atol=1e-6)
    t = stats.Task(x.astype(np.float64))
    t.set_storage("cov", "packed_a")
    packed = t.edit("cov", np.zeros(10))
    t.compute(["cov"])
    full = np.cov(x.T.astype(np.float64))
    iu = [(i, j) for j in range(4) for i in range(j + 1)]  # column j of the upper triangle
    np.testing.assert_allclose(packed, [full[i, j] for i, j in iu], rtol=1e-12)


def test_indices_select_variables():
    x = data("normal", np.random.default_rng(6))
    t = stats.Task(x, indices=[1, 0, 1, 0])
    m = t.edit("mean", np.full(4, 42.0))
    t.compute(["mean"])
    np.testing.assert_allclose(m[[0, 2]], x.mean(0)[[0, 2]], rtol=1e-14)
    np.testing.assert_array_equal(m[[1, 3]], 42.0)


BAD = [
    (lambda: stats.mean(np.ones((2, 2, 2))), ValueError),
    (lambda: stats.mean(np.array(["a", "b"])), TypeError),
    (lambda: stats.mean(np.ones((0, 3))), ValueError),
    (lambda: stats.Task(np.ones((5, 2))).compute(["median"]), ValueError),
    (lambda: stats.Task(np.ones((5, 2))).compute(["mean"], method="magic"), ValueError),
    (lambda: stats.Task(np.ones((5, 2))).edit("mean", np.zeros(2, np.float32)), TypeError),
    (lambda: stats.Task(np.ones((5, 2))).set_weights(np.ones(4)), ValueError),
    (lambda: stats.Task(np.ones((5, 2))).set_weights(-np.ones(5)), ValueError),
    (lambda: stats.Accumulator(3).update(np.ones((4, 2))), ValueError),
    (lambda: nrx.set_threading("many"), ValueError),
]


@pytest.mark.parametrize("call,exc", BAD)
def test_bad_arguments(call, exc):
    with pytest.raises(exc):
        call()


def test_small_result_array_refused_before_the_call():
    t = stats.Task(np.ones((5, 3)))
    t.edit("cov", np.zeros(4))
    with pytest.raises(ValueError):
        t.compute(["cov"])


def test_library_status_becomes_error():
    """An estimate the method cannot give is the library's refusal, carried with its code."""
    t = stats.Task(np.random.default_rng(0).normal(size=(5, 2)))
    with pytest.raises(nrx.Error) as e:
        t.compute(["mean"], method=("fast", "one_pass"))
    assert e.value.code == -4029 and e.value.service == "stats"


@pytest.mark.parametrize("threading", ["serial", "openmp"])
@pytest.mark.parametrize("dtype", [np.float64, np.float32])
def test_equals_c_call_on_a_strided_view(dtype, threading):
    """The binding's copy of a strided view and its arrays give the C task's results."""
    import os
    import sys
    from conftest import BUILD
    sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "stats"))
    import nrx_stats_ctypes as cs
    x = data("correlated", np.random.default_rng(7)).astype(dtype)[::2]
    c = cs.Task(cs.Lib(os.path.join(BUILD, "lib")), np.ascontiguousarray(x), layout=cs.COLUMNS)
    assert c.basic(["mean", "c2", "c3", "cov", "cor"], threading=threading) == 0
    previous = nrx.set_threading(threading)
    try:
        got = stats.Task(x).compute(["mean", "central_moment_2", "central_moment_3", "cov", "corr"])
    finally:
        nrx.set_threading(previous)
    for ours, theirs in (("mean", "mean"), ("central_moment_2", "c2"), ("central_moment_3", "c3")):
        np.testing.assert_array_equal(got[ours], c.out[theirs])
    np.testing.assert_array_equal(got["cov"], c.matrix("cov"))
    np.testing.assert_array_equal(got["corr"], c.matrix("cor"))
