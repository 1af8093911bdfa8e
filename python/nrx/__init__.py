"""nrx for numpy users: vector math, random streams, summary statistics and splines.

    import nrx
    y = nrx.vm.exp(x, accuracy="la")
    s = nrx.random.Stream("mcg59", seed=7); u = s.uniform(size=10**6)
    d = nrx.stats.describe(data)
    f = nrx.fit.Spline(x, y, kind="natural"); f(sites, nu=1)

docs/python.md in the source tree describes the package."""
from . import errors, fit, random, stats, vm
from ._nrx import set_threading
from .errors import Error, VMError, VMWarning

__all__ = ["vm", "random", "stats", "fit", "Error", "VMError", "VMWarning", "errors", "set_threading"]
