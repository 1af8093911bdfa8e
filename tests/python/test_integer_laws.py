"""The integer laws of nrx.random.Stream: each against scipy.stats by a chi-square test with a
fixed seed, each equal to the C call on an equal stream, argument checks before any draw."""
import ctypes as C

import numpy as np
import pytest
from scipy import stats as ss

import nrx
from nrx.random import GENERATORS, Stream
from conftest import ptr

N = 20000
P_MIN = 1e-4  # fixed seeds: a correct law passes every time, a wrong one fails every time


def chi_square_p(x, law):
    """p-value of the sample x against the discrete law; values expected fewer than 5 times
    share one bin with the last value."""
    lo, hi = int(law.ppf(1e-12)) - 1, int(law.ppf(1 - 1e-12)) + 1
    ks = np.arange(lo, hi + 1)
    expected = len(x) * law.pmf(ks)
    keep = expected >= 5
    ks, expected = ks[keep], expected[keep]
    observed = np.array([np.count_nonzero(x == k) for k in ks], np.float64)
    expected[-1] += len(x) - expected.sum()
    observed[-1] += len(x) - observed.sum()
    return ss.chisquare(observed, expected).pvalue


# call on a stream, scipy law, C law name, method and the parameters in call order
LAWS = [
    (lambda s, **k: s.integers(-3, 7, **k), ss.randint(-3, 7), "Uniform", 0, (-3, 7)),
    (lambda s, **k: s.bernoulli(0.3, **k), ss.bernoulli(0.3), "Bernoulli", 0, (0.3,)),
    (lambda s, **k: s.geometric(0.2, **k), ss.geom(0.2, loc=-1), "Geometric", 0, (0.2,)),
    (lambda s, **k: s.binomial(20, 0.3, **k), ss.binom(20, 0.3), "Binomial", 0, (20, 0.3)),
    (lambda s, **k: s.binomial(1000, 0.6, **k), ss.binom(1000, 0.6), "Binomial", 0, (1000, 0.6)),
    (lambda s, **k: s.poisson(3.5, **k), ss.poisson(3.5), "Poisson", 0, (3.5,)),
    (lambda s, **k: s.poisson(60.0, **k), ss.poisson(60), "Poisson", 0, (60.0,)),
    (lambda s, **k: s.poisson(20.0, method="normal", **k), ss.poisson(20), "Poisson", 1, (20.0,)),
    (lambda s, **k: s.negative_binomial(2.5, 0.3, **k), ss.nbinom(2.5, 0.3), "Negbinomial", 0, (2.5, 0.3)),
    (lambda s, **k: s.hypergeometric(100, 20, 30, **k), ss.hypergeom(100, 30, 20), "Hypergeometric", 0,
     (100, 20, 30)),
]
IDS = ["%s-%d-%s" % (row[2], row[3], "-".join(map(str, row[4]))) for row in LAWS]


@pytest.mark.parametrize("draw,law,name,method,prm", LAWS, ids=IDS)
def test_law_against_scipy(draw, law, name, method, prm):
    """A wrong transformation or parameter order moves the probabilities."""
    x = draw(Stream("mrg32k3a", seed=2024), size=N)
    assert x.dtype == np.int32 and x.shape == (N,)
    assert chi_square_p(x, law) > P_MIN


@pytest.mark.parametrize("draw,law,name,method,prm", LAWS, ids=IDS)
def test_law_equals_c_call(clib, draw, law, name, method, prm):
    """The binding passes method, parameters and stream unchanged: the C call gives the same values."""
    s = C.c_void_p()
    seed = (C.c_uint32 * 1)(77)
    assert clib._druNewStreamEx(C.byref(s), GENERATORS["mcg59"][0], 1, seed) == 0
    want = np.empty(3001, np.int32)
    args = [C.c_int32(v) if isinstance(v, int) else C.c_double(v) for v in prm]
    assert getattr(clib, "druiRng" + name)(C.c_int32(method), s, C.c_int32(want.size), ptr(want), *args) == 0
    clib._druDeleteStream(C.byref(s))
    np.testing.assert_array_equal(draw(Stream("mcg59", seed=77), size=want.size), want)


def test_poisson_normal_method_moments():
    """The normal-based method at a large mean: mean and variance lambda within their errors."""
    x = Stream("mt19937", seed=3).poisson(400.0, size=100000, method="normal").astype(np.float64)
    assert abs(x.mean() - 400) < 5 * np.sqrt(400 / len(x))
    assert abs(x.var() - 400) < 5 * 400 * np.sqrt(2 / len(x))


def test_poisson_v_each_element_its_own_mean(clib):
    """Alternating means: each half follows its own law, and the values equal the C call's."""
    lams = np.tile([2.0, 45.0], N // 2)
    x = Stream("mrg32k3a", seed=5).poisson_v(lams)
    assert x.shape == lams.shape and x.dtype == np.int32
    assert chi_square_p(x[0::2], ss.poisson(2)) > P_MIN
    assert chi_square_p(x[1::2], ss.poisson(45)) > P_MIN
    s = C.c_void_p()
    seed = (C.c_uint32 * 1)(5)
    assert clib._druNewStreamEx(C.byref(s), GENERATORS["mrg32k3a"][0], 1, seed) == 0
    want = np.empty(N, np.int32)
    assert clib.druiRngPoissonV(0, s, N, ptr(want), ptr(lams)) == 0
    clib._druDeleteStream(C.byref(s))
    np.testing.assert_array_equal(x, want)
    assert Stream().poisson_v(np.array([[1.0, 2.0], [3.0, 4.0]])).shape == (2, 2)


def test_multinomial_counts_and_marginals():
    """Rows sum to ntrial; each category's count is binomial with its own probability."""
    p = [0.1, 0.25, 0.05, 0.6]
    x = Stream("philox4x32x10", seed=8).multinomial(30, p, size=(N // 4, 4))
    assert x.shape == (N // 4, 4, 4) and x.dtype == np.int32
    assert np.all(x.sum(axis=-1) == 30)
    flat = x.reshape(-1, 4)
    for j, pj in enumerate(p):
        assert chi_square_p(flat[:, j], ss.binom(30, pj)) > P_MIN


def test_bits32_and_bits64_words():
    """bits64 joins two bits32 words, the first one low; both are uniform by bytes."""
    w32 = Stream("mt19937", seed=11).bits32(2 * N)
    w64 = Stream("mt19937", seed=11).bits64(N)
    assert w32.dtype == np.uint32 and w64.dtype == np.uint64
    np.testing.assert_array_equal(w64, w32[0::2].astype(np.uint64) | (w32[1::2].astype(np.uint64) << 32))
    counts = np.bincount(w64.view(np.uint8), minlength=256)
    assert ss.chisquare(counts).pvalue > P_MIN


def test_shapes_scalars_and_out():
    s = Stream("mcg59", seed=1)
    assert s.binomial(10, 0.5, size=(3, 4)).shape == (3, 4)
    assert isinstance(s.poisson(2.0), np.int32)
    out = np.empty(9, np.int32)
    assert s.hypergeometric(10, 5, 5, out=out) is out and np.all((out >= 0) & (out <= 5))


BAD = [
    (lambda s: s.integers(3, 3), ValueError),
    (lambda s: s.integers(0, 2 ** 31), ValueError),
    (lambda s: s.integers(0.0, 5), TypeError),
    (lambda s: s.bernoulli(1.5), ValueError),
    (lambda s: s.bernoulli(np.nan), ValueError),
    (lambda s: s.bernoulli("0.5"), TypeError),
    (lambda s: s.geometric(0.0), ValueError),
    (lambda s: s.geometric(1.01), ValueError),
    (lambda s: s.binomial(-1, 0.5), ValueError),
    (lambda s: s.binomial(10, -0.1), ValueError),
    (lambda s: s.binomial(10.0, 0.5), TypeError),
    (lambda s: s.poisson(-1.0), ValueError),
    (lambda s: s.poisson(2.0 ** 30 * 1.5), ValueError),
    (lambda s: s.poisson(1.0, method="ptrs"), ValueError),
    (lambda s: s.poisson_v([1.0, -2.0]), ValueError),
    (lambda s: s.poisson_v([1.0, np.inf]), ValueError),
    (lambda s: s.poisson_v(["a"]), TypeError),
    (lambda s: s.negative_binomial(0.0, 0.5), ValueError),
    (lambda s: s.negative_binomial(1.0, 0.0), ValueError),
    (lambda s: s.negative_binomial(1e9, 0.5), ValueError),
    (lambda s: s.hypergeometric(10, 11, 5), ValueError),
    (lambda s: s.hypergeometric(10, 5, 11), ValueError),
    (lambda s: s.hypergeometric(-1, 0, 0), ValueError),
    (lambda s: s.multinomial(10, [0.5, 0.6]), ValueError),
    (lambda s: s.multinomial(10, [1.2, -0.2]), ValueError),
    (lambda s: s.multinomial(10, []), ValueError),
    (lambda s: s.multinomial(-1, [1.0]), ValueError),
    (lambda s: s.binomial(10, 0.5, out=np.empty(3, np.int64)), TypeError),
    (lambda s: s.poisson(1.0, out=np.empty(3, np.float64)), TypeError),
]


@pytest.mark.parametrize("call,error", BAD, ids=range(len(BAD)))
def test_bad_arguments_refused_before_drawing(call, error):
    s = Stream("mrg32k3a", seed=3)
    with pytest.raises(error):
        call(s)
    np.testing.assert_array_equal(s.integers(0, 1000, size=50), Stream("mrg32k3a", seed=3).integers(0, 1000, size=50))


def test_status_raises_and_leaves_stream_unchanged():
    """A generator without full-width words refuses bits32 and bits64 with the library's status."""
    s = Stream("mcg31m1", seed=4)
    for call in (s.bits32, s.bits64):
        with pytest.raises(nrx.Error) as e:
            call(5)
        assert e.value.service == "random" and e.value.name == "DRU_E_NO_FULL_BITS"
    np.testing.assert_array_equal(s.integers(0, 1000, size=50), Stream("mcg31m1", seed=4).integers(0, 1000, size=50))
