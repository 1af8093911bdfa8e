"""Splines through the package against scipy.interpolate and numpy, and exact
reproduction of polynomials."""
import numpy as np
import pytest
from scipy import interpolate

import nrx
from nrx.fit import Spline

X = np.array([0.0, 0.3, 1.1, 1.5, 2.6, 3.0, 4.2, 5.0])
Y = np.sin(X) + 0.1 * X
SITES = np.concatenate([np.linspace(-0.2, 5.3, 101), X])

SCIPY = [  # bc argument, scipy's bc_type
    ("natural", "natural"),
    ("not-a-knot", "not-a-knot"),
    (((1, 0.5), (1, -1.0)), ((1, 0.5), (1, -1.0))),
    (((2, 0.2), (1, 0.3)), ((2, 0.2), (1, 0.3))),
]


@pytest.mark.parametrize("kind", ["natural", "cubic"])
@pytest.mark.parametrize("bc,scipy_bc", SCIPY)
def test_c2_cubic_against_scipy(kind, bc, scipy_bc):
    """Values, first and second derivatives and integrals of the C2 cubic."""
    s, ref = Spline(X, Y, kind=kind, bc=bc), interpolate.CubicSpline(X, Y, bc_type=scipy_bc)
    for nu in (0, 1, 2, 3):
        np.testing.assert_allclose(s(SITES, nu=nu), ref(SITES, nu=nu), rtol=1e-11, atol=1e-11, err_msg=str(nu))
    a, b = np.array([0.0, 0.5, 4.0, -0.1]), np.array([5.0, 2.0, 1.0, 5.2])
    np.testing.assert_allclose(s.integrate(a, b), [ref.integrate(p, q) for p, q in zip(a, b)], rtol=1e-11)


def test_periodic_against_scipy():
    y = np.cos(X * 2 * np.pi / 5.0)
    s, ref = Spline(X, y, bc="periodic"), interpolate.CubicSpline(X, y, bc_type="periodic")
    inside = SITES[(SITES >= 0) & (SITES <= 5)]
    np.testing.assert_allclose(s(inside), ref(inside), rtol=1e-11, atol=1e-12)


def test_linear_against_interp_and_step():
    np.testing.assert_allclose(Spline(X, Y, kind="linear")(SITES[(SITES >= 0) & (SITES <= 5)]),
                               np.interp(SITES[(SITES >= 0) & (SITES <= 5)], X, Y), rtol=1e-14, atol=1e-15)
    mids = (X[:-1] + X[1:]) / 2
    np.testing.assert_array_equal(Spline(X, Y, kind="step_left")(mids), Y[1:])
    np.testing.assert_array_equal(Spline(X, Y, kind="step_right")(mids), Y[:-1])


def test_hermite_against_scipy():
    d = np.cos(X) + 0.1
    s = Spline(X, Y, kind="hermite", ic=d[1:-1], bc=((1, d[0]), (1, d[-1])))
    ref = interpolate.CubicHermiteSpline(X, Y, d)
    inside = SITES[(SITES >= 0) & (SITES <= 5)]
    np.testing.assert_allclose(s(inside), ref(inside), rtol=1e-12, atol=1e-13)
    np.testing.assert_allclose(s(inside, nu=1), ref(inside, nu=1), rtol=1e-11, atol=1e-12)


@pytest.mark.parametrize("kind", ["natural", "cubic", "bessel", "akima", "hyman", "hermite", "quadratic_knots"])
def test_interpolates_the_data(kind):
    kw = {"ic": np.cos(X[1:-1])} if kind == "hermite" else {}
    np.testing.assert_allclose(Spline(X, Y, kind=kind, **kw)(X), Y, rtol=1e-12, atol=1e-14)


@pytest.mark.parametrize("kind,degree", [("linear", 1), ("cubic", 3), ("natural", 3), ("bessel", 2)])
def test_reproduces_polynomials(kind, degree):
    """A spline of a polynomial it can represent is that polynomial, with not-a-knot ends."""
    p = np.polynomial.Polynomial([0.3, -1.2, 0.7, 0.25][:degree + 1])
    bc = {"linear": None, "bessel": ((2, 1.4), (2, 1.4))}.get(kind, "not-a-knot")
    s = Spline(X, p(X), kind=kind, bc=bc)
    np.testing.assert_allclose(s(SITES), p(SITES), rtol=1e-11, atol=1e-11)
    np.testing.assert_allclose(s.integrate(0.0, 5.0), p.integ()(5.0) - p.integ()(0.0), rtol=1e-12)


def test_search_against_searchsorted():
    s = Spline(X, Y)
    cells = s.search(SITES)
    want = np.searchsorted(X, SITES, side="right")
    want[SITES == X[-1]] = len(X) - 1
    np.testing.assert_array_equal(cells, want)
    np.testing.assert_array_equal(s.search(np.sort(SITES)), np.sort(want))


def test_vector_valued_float32_and_shapes():
    y2 = np.column_stack([Y, 2 * Y, -Y])
    s = Spline(X, y2)
    r = s(SITES[:108].reshape(2, -1))
    assert r.shape == (2, SITES.size // 2, 3)
    np.testing.assert_allclose(r[..., 1], 2 * Spline(X, Y)(SITES[:108].reshape(2, -1)), rtol=1e-13)
    f = Spline(X.astype(np.float32), Y.astype(np.float32))
    assert f(SITES).dtype == np.float32
    np.testing.assert_allclose(f(SITES), Spline(X, Y)(SITES), rtol=2e-5, atol=2e-5)
    assert s.c.shape == (3, len(X) - 1, 4)


BAD = [
    (lambda: Spline(X, Y, kind="septic"), ValueError),
    (lambda: Spline(X[::-1], Y), ValueError),
    (lambda: Spline(X, Y[:-1]), ValueError),
    (lambda: Spline(X, Y, kind="hermite"), ValueError),
    (lambda: Spline(X, Y, kind="quadratic"), ValueError),
    (lambda: Spline(X, Y, bc=((3, 0), (1, 0))), ValueError),
    (lambda: Spline(X, Y, kind="linear", bc="not-a-knot"), ValueError),
    (lambda: Spline(X, Y)(SITES, nu=-1), ValueError),
    (lambda: Spline(X, Y)(["a"]), TypeError),
]


@pytest.mark.parametrize("call,exc", BAD)
def test_bad_arguments(call, exc):
    with pytest.raises(exc):
        call()


def test_library_status_becomes_error():
    """Periodic ends with unequal values are the library's refusal, carried with its code."""
    with pytest.raises(nrx.Error) as e:
        Spline(X, Y, bc="periodic")
    assert e.value.code == -1018 and e.value.service == "fit"


@pytest.mark.parametrize("kind", ["linear", "natural", "cubic", "bessel", "akima", "hyman", "quadratic_knots"])
@pytest.mark.parametrize("dtype", [np.float64, np.float32])
def test_equals_c_call_on_strided_sites(kind, dtype):
    """Values, derivatives, integrals and cells of the binding are the C task's, bit for bit."""
    import os
    import sys
    from conftest import BUILD
    sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "fit"))
    import nrxfit
    lib = nrxfit.Lib(os.path.join(BUILD, "lib"))
    bc = {"linear": "none", "akima": "none"}.get(kind, "2nd")
    xd = X.astype(dtype)
    ic = (xd[:-1] + xd[1:]) / 2 if kind == "quadratic_knots" else None  # the midpoints in the task's precision
    c = nrxfit.Spline(lib, X, Y, kind={"cubic": "default"}.get(kind, kind), bc=bc, bcv=None if bc == "none" else [0.0, 0.0],
                      ic_type=12 if ic is not None else 0, ic=ic, dtype=dtype)
    assert c.status == 0
    s = Spline(X.astype(dtype), Y.astype(dtype), kind=kind)
    sites = SITES.astype(dtype)[::3]
    for nu in (0, 1, 2):
        st, r, _ = c.interpolate(sites, ders=(nu,))
        assert st == 0
        np.testing.assert_array_equal(s(sites, nu=nu), r)
    a, b = sites[:10], sites[10:20]
    st, r = c.integrate(a, b)
    np.testing.assert_array_equal(s.integrate(a, b), r)
    np.testing.assert_array_equal(s.search(sites), c.search(sites)[1])
