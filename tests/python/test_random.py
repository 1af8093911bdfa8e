"""Random streams through the package against big-integer recurrences and against
themselves (skip-ahead, leapfrog, copy, persistence)."""
import numpy as np
import pytest

import nrx
from nrx.random import Stream

M31 = 2**31 - 1
A31 = 1132489760
M59 = 2**59
A59 = 13**13


def mcg(a, m, x, n):
    out = []
    for _ in range(n):
        x = a * x % m
        out.append(x)
    return out


ORACLES = [  # generator, seed, exact recurrence outputs -> uniforms on [0, 1)
    ("mcg31m1", 1, lambda n: np.array(mcg(A31, M31, 1, n)) / M31),
    ("mcg31m1", 123456789, lambda n: np.array(mcg(A31, M31, 123456789, n)) / M31),
    ("mcg59", 1, lambda n: np.array(mcg(A59, M59, 1, n), dtype=np.float64) * 2.0**-59),
    ("mcg59", 2**40 + 5, lambda n: np.array(mcg(A59, M59, 2**40 + 5, n), dtype=np.float64) * 2.0**-59),
]


@pytest.mark.parametrize("gen,seed,oracle", ORACLES)
def test_uniform_against_recurrence(gen, seed, oracle):
    """Catches wrong seeding words, multipliers or scaling."""
    got = Stream(gen, seed=seed).uniform(size=1000)
    np.testing.assert_allclose(got, oracle(1000), rtol=0, atol=2e-16)


def test_mcg31_raw_words():
    np.testing.assert_array_equal(Stream("mcg31m1", seed=7).bits(50), mcg(A31, M31, 7, 50))


GENS = ["mcg31m1", "mcg59", "mrg32k3a", "wh", "r250"]


@pytest.mark.parametrize("gen", GENS)
def test_copy_save_load_continue(gen, tmp_path):
    """A copy, a memory image and a file image all continue the same sequence."""
    s = Stream(gen, seed=99)
    s.uniform(size=17)
    c = s.copy()
    image = s.save()
    path = tmp_path / "stream.bin"
    s.save(path)
    want = s.uniform(size=500)
    for t in (c, Stream.load(image), Stream.load(path), Stream.load(bytearray(image))):
        np.testing.assert_array_equal(t.uniform(size=500), want)
        assert t.generator == gen


@pytest.mark.parametrize("gen", [g for g in GENS if g != "r250"])
def test_skip_equals_drawing(gen):
    s, t = Stream(gen, seed=5), Stream(gen, seed=5)
    s.uniform(size=1234)
    t.skip(1234)
    np.testing.assert_array_equal(s.uniform(size=100), t.uniform(size=100))


@pytest.mark.parametrize("gen", ["mcg31m1", "mcg59", "wh"])
def test_leapfrog_is_every_kth(gen):
    """Sub-stream k of 3 delivers elements k + 3i - 1 (i = 1, 2, ...) of the whole sequence."""
    full = Stream(gen, seed=11).uniform(size=310)
    for k in range(3):
        np.testing.assert_array_equal(Stream(gen, seed=11).leapfrog(k, 3).uniform(size=100), full[k + 2::3][:100])


def test_shapes_dtypes_and_intervals():
    s = Stream("mrg32k3a", seed=1)
    u = s.uniform(-2.0, 3.0, size=(40, 25), dtype=np.float32)
    assert u.shape == (40, 25) and u.dtype == np.float32
    assert u.min() >= -2 and u.max() < 3
    assert isinstance(s.uniform(), float)
    o = np.empty(10)
    assert s.uniform(out=o) is o
    w = Stream("wh", seed=1, member=272).bits(4)
    assert w.shape == (4, 4) and w.dtype == np.uint32


def test_wh_members_differ_and_mean():
    a = Stream("wh", seed=1, member=0).uniform(size=100000)
    b = Stream("wh", seed=1, member=1).uniform(size=100000)
    assert not np.array_equal(a, b)
    assert abs(a.mean() - 0.5) < 5 * (1 / np.sqrt(12 * a.size))


def test_library_refusals_raise_with_status():
    with pytest.raises(nrx.Error) as e:
        Stream("r250", seed=1).leapfrog(0, 2)
    assert e.value.code == -1002 and e.value.service == "random"
    with pytest.raises(nrx.Error) as e:
        Stream("r250", seed=1).skip(10)
    assert e.value.code == -1003


BAD = [
    (lambda: Stream("nope"), ValueError),
    (lambda: Stream("wh", member=273), ValueError),
    (lambda: Stream("mcg31m1", seed=-1), ValueError),
    (lambda: Stream("mcg31m1", seed=[2**32]), ValueError),
    (lambda: Stream().uniform(1.0, 1.0), ValueError),
    (lambda: Stream().uniform(size=3, dtype=np.int32), TypeError),
    (lambda: Stream().uniform(method="fast"), ValueError),
    (lambda: Stream().skip(-1), ValueError),
    (lambda: Stream().leapfrog(3, 3), ValueError),
    (lambda: Stream.load(b"not an image at all, no no no"), ValueError),
    (lambda: Stream.load(Stream().save()[:-4]), ValueError),
    (lambda: Stream.load(12), TypeError),
    (lambda: Stream.load("/nonexistent/stream"), FileNotFoundError),
]


@pytest.mark.parametrize("call,exc", BAD)
def test_bad_arguments(call, exc):
    with pytest.raises(exc):
        call()


def test_refused_call_leaves_stream():
    s, t = Stream("mcg59", seed=3), Stream("mcg59", seed=3)
    with pytest.raises(ValueError):
        s.uniform(2.0, 1.0, size=5)
    np.testing.assert_array_equal(s.uniform(size=5), t.uniform(size=5))
