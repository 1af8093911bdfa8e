"""One-dimensional splines in the manner of scipy.interpolate.

    s = Spline(x, y, kind="natural")          # y: (nx,) or (nx, m), axis 0 along x
    s(sites), s(sites, nu=1)                  # values, derivatives
    s.integrate(a, b)                         # definite integrals
    s.search(sites)                           # cell of each site

Kinds: linear, quadratic (bc=("midpoint", value): the value at the middle of the first
interval), quadratic_knots (knots between the breakpoints; ic: the knots, midpoints by
default), natural, cubic, hermite (ic: first derivatives at x[1:-1]), bessel, akima,
hyman, step_right, step_left. Boundary conditions of the cubic and quadratic_knots
kinds: "natural" (second derivative 0 at both ends, the default), "not-a-knot",
"periodic", or ((order, value), (order, value)) for the left and right ends with order
1 or 2. Outside [x[0], x[-1]] the end pieces are extended.
"""
import numpy as np

from . import _nrx

_fit = _nrx.fit
KINDS = {name: (order, type_) for name, order, type_ in _fit.kinds}
_BC = dict(_fit.BC)
_CUBIC = {name for name, (order, _) in KINDS.items() if order == 4} | {"quadratic_knots"}


def _boundary(kind, bc, dtype):
    """(boundary type, boundary values) of the library for the bc argument."""
    if kind in ("linear", "step_right", "step_left") or (kind == "akima" and bc is None):
        if bc not in (None, "periodic") or (kind != "linear" and bc is not None):
            raise ValueError("%s splines take no boundary conditions" % kind)
        return (_BC["periodic"] if bc == "periodic" else 0), None
    if kind == "quadratic":
        if not (isinstance(bc, tuple) and len(bc) == 2 and bc[0] == "midpoint"):
            raise ValueError('quadratic splines need bc=("midpoint", value)')
        return _BC["quad_midpoint"], np.array([bc[1], 0], dtype)
    bc = "natural" if bc is None else bc
    if bc == "natural":
        bc = ((2, 0.0), (2, 0.0))
    if bc == "not-a-knot" and kind != "quadratic_knots":
        return _BC["not-a-knot"], None
    if bc == "periodic" and kind != "quadratic_knots":
        return _BC["periodic"], None
    try:
        (lo, lv), (ro, rv) = bc
    except (TypeError, ValueError):
        raise ValueError("bc must be 'natural', 'not-a-knot', 'periodic' or ((order, value), (order, value))")
    if lo not in (1, 2) or ro not in (1, 2):
        raise ValueError("boundary derivative orders must be 1 or 2")
    code = _BC["first_left" if lo == 1 else "second_left"] | _BC["first_right" if ro == 1 else "second_right"]
    return code, np.array([lv, rv], dtype)


class Spline:
    """Spline(x, y, kind="natural", bc=None, ic=None); see the module text."""

    def __init__(self, x, y, kind="natural", bc=None, ic=None):
        if kind not in KINDS:
            raise ValueError("unknown kind %r; known: %s" % (kind, ", ".join(KINDS)))
        x, y = np.asarray(x), np.asarray(y)
        if x.dtype.kind not in "biuf" or y.dtype.kind not in "biuf":
            raise TypeError("x and y must be real numbers")
        dtype = np.float32 if x.dtype == np.float32 and y.dtype == np.float32 else np.float64
        if x.ndim != 1 or x.size < 2:
            raise ValueError("x must be 1-D with at least 2 points")
        if y.ndim not in (1, 2) or y.shape[0] != x.size:
            raise ValueError("y must have shape (nx,) or (nx, m) with nx = len(x)")
        if not np.all(np.diff(x) > 0):
            raise ValueError("x must be strictly increasing")
        self.kind, self.dtype, self._vector = kind, np.dtype(dtype), y.ndim == 2
        self.x = np.ascontiguousarray(x, dtype)
        self.y = np.ascontiguousarray(np.atleast_2d(y.T) if y.ndim == 2 else y[None, :], dtype)
        bc_type, bcv = _boundary(kind, bc, dtype)
        ic_type, icv = 0, None
        if kind == "hermite":
            if ic is None:
                raise ValueError("hermite splines need ic: the first derivatives at x[1:-1]")
            icv = np.asarray(ic, dtype).reshape(-1)
            if icv.size != x.size - 2:
                raise ValueError("ic needs len(x) - 2 derivatives")
            ic_type = 1
        elif kind == "quadratic_knots":
            ic_type = _fit.IC_QUAD_KNOTS | _fit.IC_KNOTS_GIVEN
            icv = (self.x[:-1] + self.x[1:]) / 2 if ic is None else np.asarray(ic, dtype).reshape(-1)
            if icv.size != x.size - 1 or not np.all((icv > self.x[:-1]) & (icv < self.x[1:])):
                raise ValueError("ic needs one knot inside each interval of x")
        elif ic is not None:
            raise ValueError("%s splines take no ic" % kind)
        empty = np.empty(0, dtype)
        self._s = _fit.Spline(self.x, self.y, kind, bc_type, empty if bcv is None else bcv, ic_type,
                              empty if icv is None else np.ascontiguousarray(icv))

    @property
    def c(self):
        """Coefficients (m, pieces, order): piece i is sum c[k] (t - x[i])^k."""
        c = self._s.coefficients
        return None if c is None else c.reshape(c.shape[0], -1, self._s.order)

    def _sites(self, sites):
        s = np.asarray(sites)
        if s.dtype.kind not in "biuf":
            raise TypeError("sites must be real numbers")
        flat = np.ascontiguousarray(s, self.dtype).reshape(-1)
        return s.shape, flat, bool(flat.size < 2 or np.all(flat[1:] >= flat[:-1]))

    def _shaped(self, r, shape):
        # r: (m, nsite) -> sites' shape, then the functions' axis when y was 2-D
        return np.moveaxis(r, 0, -1).reshape(shape + (r.shape[0],)) if self._vector else r[0].reshape(shape)

    def __call__(self, sites, nu=0):
        """Values (nu=0) or the nu-th derivative at the sites."""
        if not isinstance(nu, (int, np.integer)) or nu < 0:
            raise ValueError("nu must be a non-negative integer")
        shape, flat, ordered = self._sites(sites)
        dorder = [0] * nu + [1]
        return self._shaped(self._s.evaluate(flat, dorder, ordered)[:, :, 0], shape)

    def integrate(self, a, b):
        """Integral from a to b (broadcast together; negative when b < a)."""
        a, b = np.broadcast_arrays(np.asarray(a, self.dtype), np.asarray(b, self.dtype))
        shape = a.shape
        r = self._s.integrate(np.ascontiguousarray(a).reshape(-1), np.ascontiguousarray(b).reshape(-1))
        return self._shaped(r.T, shape)

    def search(self, sites):
        """Cell of each site: 0 left of x[0], k for x[k-1] <= t < x[k], len(x) right of x[-1]."""
        shape, flat, ordered = self._sites(sites)
        return self._s.search(flat, ordered).reshape(shape)


__all__ = ["Spline", "KINDS"]
