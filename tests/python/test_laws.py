"""The continuous laws of nrx.random.Stream: each against scipy.stats by a Kolmogorov-Smirnov test
with a fixed seed, each equal to the C call on an equal stream, the multivariate normal's moments,
argument checks before any draw, every generator of the library's list."""
import ctypes as C
import threading

import numpy as np
import pytest
from scipy import stats as ss

import nrx
from nrx.random import GENERATORS, USABLE, Stream
from conftest import ptr

N = 20000
P_MIN = 1e-4  # fixed seeds: a correct law passes every time, a wrong one fails every time

# call on a stream, scipy law, the C law name and its parameters in call order
LAWS = [
    (lambda s, **k: s.gaussian(1.0, 2.0, method="box_muller", **k), ss.norm(1, 2), "Gaussian", 0, (1.0, 2.0)),
    (lambda s, **k: s.gaussian(1.0, 2.0, method="box_muller2", **k), ss.norm(1, 2), "Gaussian", 1, (1.0, 2.0)),
    (lambda s, **k: s.gaussian(1.0, 2.0, method="icdf", **k), ss.norm(1, 2), "Gaussian", 2, (1.0, 2.0)),
    (lambda s, **k: s.lognormal(0.5, 0.8, 1.0, 2.0, **k), ss.lognorm(0.8, loc=1, scale=2 * np.exp(0.5)),
     "Lognormal", 0, (0.5, 0.8, 1.0, 2.0)),
    (lambda s, **k: s.lognormal(0.5, 0.8, 1.0, 2.0, method="icdf", **k), ss.lognorm(0.8, loc=1, scale=2 * np.exp(0.5)),
     "Lognormal", 1, (0.5, 0.8, 1.0, 2.0)),
    (lambda s, **k: s.exponential(1.0, 2.0, **k), ss.expon(1, 2), "Exponential", 0, (1.0, 2.0)),
    (lambda s, **k: s.laplace(-1.0, 0.5, **k), ss.laplace(-1, 0.5), "Laplace", 0, (-1.0, 0.5)),
    (lambda s, **k: s.cauchy(3.0, 0.25, **k), ss.cauchy(3, 0.25), "Cauchy", 0, (3.0, 0.25)),
    (lambda s, **k: s.rayleigh(0.5, 2.0, **k), ss.rayleigh(0.5, 2 / np.sqrt(2)), "Rayleigh", 0, (0.5, 2.0)),
    (lambda s, **k: s.weibull(1.7, 0.5, 3.0, **k), ss.weibull_min(1.7, 0.5, 3), "Weibull", 0, (1.7, 0.5, 3.0)),
    (lambda s, **k: s.gumbel(2.0, 1.5, **k), ss.gumbel_l(2, 1.5), "Gumbel", 0, (2.0, 1.5)),
    (lambda s, **k: s.gamma(2.5, 1.0, 0.5, **k), ss.gamma(2.5, 1, 0.5), "Gamma", 0, (2.5, 1.0, 0.5)),
    (lambda s, **k: s.gamma(0.3, 0.0, 2.0, **k), ss.gamma(0.3, 0, 2), "Gamma", 0, (0.3, 0.0, 2.0)),
    (lambda s, **k: s.chisquare(1, **k), ss.chi2(1), "ChiSquare", 0, (1,)),
    (lambda s, **k: s.chisquare(4, **k), ss.chi2(4), "ChiSquare", 0, (4,)),
    (lambda s, **k: s.chisquare(37, **k), ss.chi2(37), "ChiSquare", 0, (37,)),
    (lambda s, **k: s.beta(2.0, 5.0, 1.0, 3.0, **k), ss.beta(2, 5, 1, 3), "Beta", 0, (2.0, 5.0, 1.0, 3.0)),
    (lambda s, **k: s.beta(0.4, 0.6, **k), ss.beta(0.4, 0.6), "Beta", 0, (0.4, 0.6, 0.0, 1.0)),
]
IDS = ["%s-%d-%s" % (row[2], row[3], "-".join(map(str, row[4]))) for row in LAWS]


@pytest.mark.parametrize("draw,law,name,method,prm", LAWS, ids=IDS)
@pytest.mark.parametrize("dtype", [np.float64, np.float32])
def test_law_against_scipy(draw, law, name, method, prm, dtype):
    """A wrong transformation, scale or parameter order moves the distribution function."""
    x = draw(Stream("mrg32k3a", seed=2024), size=N, dtype=dtype)
    assert x.dtype == dtype and x.shape == (N,)
    assert ss.kstest(x.astype(np.float64), law.cdf).pvalue > P_MIN


@pytest.mark.parametrize("draw,law,name,method,prm", LAWS, ids=IDS)
def test_law_equals_c_call(clib, draw, law, name, method, prm):
    """The binding passes method, parameters and stream unchanged: the C call gives the same bits."""
    s = C.c_void_p()
    seed = (C.c_uint32 * 1)(77)
    assert clib._druNewStreamEx(C.byref(s), GENERATORS["mcg59"][0], 1, seed) == 0
    want = np.empty(3001)
    f = getattr(clib, "drudRng" + name)
    args = [C.c_int32(int(v)) if name == "ChiSquare" else C.c_double(v) for v in prm]
    assert f(C.c_int32(method), s, C.c_int32(want.size), ptr(want), *args) == 0
    clib._druDeleteStream(C.byref(s))
    np.testing.assert_array_equal(draw(Stream("mcg59", seed=77), size=want.size), want)


def test_shapes_scalars_and_out():
    s = Stream("philox4x32x10", seed=1)
    assert s.gamma(2.0, size=(3, 4, 5)).shape == (3, 4, 5)
    assert isinstance(s.cauchy(), float)
    out = np.empty(7, np.float32)
    assert s.exponential(out=out) is out and np.all(out >= 0)


def test_gaussian_mv_moments_and_factor():
    """Sample mean and covariance within their standard errors; cov and its factor give one law."""
    mean = np.array([1.0, -2.0, 0.5])
    a = np.array([[2.0, 0.3, 0.1], [0.3, 1.0, -0.4], [0.1, -0.4, 0.7]])
    x = Stream("sfmt19937", seed=9).gaussian_mv(mean, a, size=200000)
    assert x.shape == (200000, 3)
    d = np.sqrt(np.diag(a))
    assert np.all(np.abs(x.mean(axis=0) - mean) < 5 * d / np.sqrt(len(x)))
    se = np.sqrt((np.outer(d, d) ** 2 + a ** 2) / len(x))
    assert np.all(np.abs(np.cov(x.T) - a) < 5 * se)
    y = Stream("sfmt19937", seed=9).gaussian_mv(mean, factor=np.linalg.cholesky(a), size=200000)
    np.testing.assert_array_equal(x, y)


@pytest.mark.parametrize("gen", sorted(GENERATORS))
def test_every_generator_of_the_list(gen):
    """Usable generators draw a normal sample; the others refuse with the library's status."""
    if gen in USABLE:
        # A one-dimensional quasi-random sequence is not independent in pairs, so it feeds
        # the inverse-cdf method, whose sample fills the normal law evenly.
        method = "icdf" if gen in ("sobol", "niederr") else "box_muller2"
        x = Stream(gen, seed=5).gaussian(size=20000, method=method)
        assert ss.kstest(x, "norm").pvalue > P_MIN
    else:
        with pytest.raises(nrx.Error) as e:
            Stream(gen, seed=5).gaussian(size=10)
        assert e.value.service == "random" and e.value.code < 0 and e.value.name.startswith("DRU_E")


def test_gil_is_released_while_drawing():
    """Another Python thread keeps running while a large draw is in the kernel."""
    s = Stream("mcg59", seed=1)
    t = threading.Thread(target=lambda: s.gaussian(size=30_000_000))
    t.start()
    spins = 0
    while t.is_alive():
        spins += 1
    t.join()
    assert spins > 1000


BAD = [
    (lambda s: s.gaussian(0.0, 0.0), ValueError),
    (lambda s: s.gaussian(0.0, -1.0), ValueError),
    (lambda s: s.gaussian(np.nan, 1.0), ValueError),
    (lambda s: s.gaussian("0", 1.0), TypeError),
    (lambda s: s.gaussian(method="polar"), ValueError),
    (lambda s: s.lognormal(beta=0.0), ValueError),
    (lambda s: s.exponential(beta=np.inf), ValueError),
    (lambda s: s.weibull(0.0), ValueError),
    (lambda s: s.gamma(-1.0), ValueError),
    (lambda s: s.gamma(True), TypeError),
    (lambda s: s.chisquare(0), ValueError),
    (lambda s: s.chisquare(2.5), TypeError),
    (lambda s: s.beta(1.0, 0.0), ValueError),
    (lambda s: s.laplace(size=-1), ValueError),
    (lambda s: s.cauchy(size=3, dtype=np.int64), TypeError),
    (lambda s: s.gaussian_mv([0.0, 0.0], [[1.0, 2.0], [2.0, 1.0]]), ValueError),
    (lambda s: s.gaussian_mv([0.0, 0.0], [[1.0, 0.0], [0.5, 1.0]]), ValueError),
    (lambda s: s.gaussian_mv([0.0, 0.0], np.eye(3)), ValueError),
    (lambda s: s.gaussian_mv([0.0], [[1.0]], factor=[[1.0]]), ValueError),
]


@pytest.mark.parametrize("call,exc", BAD)
def test_arguments_checked_before_any_draw(call, exc):
    """A refused call raises and leaves the stream where it was."""
    s, t = Stream("mcg31m1", seed=3), Stream("mcg31m1", seed=3)
    with pytest.raises(exc):
        call(s)
    np.testing.assert_array_equal(s.uniform(size=5), t.uniform(size=5))
