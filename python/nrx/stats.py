"""Summary statistics of 2-D data: functions for one data set, an accumulator for data
that arrives in blocks, and the task object for full control.

Data are (observations, variables) by default, as in scipy.stats; rowvar=True takes
(variables, observations) as numpy.cov does. A 1-D array is one variable. float32
data give float32 results, anything else float64.

Definitions (W0 = sum of weights, W1 = sum of squared weights; all 1 by default):
mean; var = unbiased central moment 2 (S2 W0 / (W0^2 - W1), ddof=1 without weights);
central moments 3 and 4 = S3 / W0, S4 / W0; skewness = c3 / var^1.5;
kurtosis = c4 / var^2 - 3; cov = cross-product / (W0 - W1 / W0); corr.

Order statistics and robust estimates: quantile and median (numpy's "linear" rule), mad
(median or mean absolute deviation), robust_cov (an S-estimator), outliers (BACON) and
missing_values (expectation-maximisation, then multiple imputation by data augmentation).
"""
import collections

import numpy as np

from . import _nrx
from .errors import Error

_st = _nrx.stats
ESTIMATES = dict(_st.ESTIMATES)  # name -> (estimate bit, parameter id)
METHODS = dict(_st.METHODS)
_PARAMS = dict(_st.PARAMS)
_MINMAX = {"min", "max"}
_MATRIX = {"cov", "corr", "cross_product"}
_STORAGE = {"full": 0, "packed_a": 1, "packed_b": 2}
# status of a missing result array -> the estimate whose array it is
_MISSING = {code: name for code, param in _st.MISSING.items()
            for name, (_, p) in ESTIMATES.items() if p == param}

Description = collections.namedtuple("Description", "nobs minmax mean variance skewness kurtosis")
MissingValues = collections.namedtuple("MissingValues", "imputed means covs")


def _dtype(x):
    return np.float32 if x.dtype == np.float32 else np.float64


def _data(x, rowvar):
    x = np.asarray(x)
    if x.dtype.kind not in "biuf":
        raise TypeError("data must be real numbers, not %s" % x.dtype)
    if x.ndim == 1:
        x, rowvar = x[None, :], True
    if x.ndim != 2:
        raise ValueError("data must be 1-D or 2-D")
    if 0 in x.shape:
        raise ValueError("data must have at least one variable and one observation")
    return np.ascontiguousarray(x, dtype=_dtype(x)), bool(rowvar)


def _method(method):
    if isinstance(method, str):
        method = (method,)
    bits = 0
    for m in method:
        if m not in METHODS:
            raise ValueError("unknown method %r; known: %s" % (m, ", ".join(METHODS)))
        bits |= METHODS[m]
    return bits


class Task:
    """The library's task over one data set: Task(data, rowvar=False, weights=None,
    indices=None). Register result arrays with edit() or let compute() allocate them;
    every array stays the caller's and results are folded into what they hold when the
    accumulated weights are registered (see Accumulator)."""

    def __init__(self, data, rowvar=False, weights=None, indices=None):
        data, rows = _data(data, rowvar)
        self._t = _st.Task(data, rows)
        self.dtype = data.dtype
        self.p = self._t.dimension
        self.results = {}
        if weights is not None:
            self.set_weights(weights)
        if indices is not None:
            ix = np.asarray(indices).reshape(-1)
            if ix.size != self.p:
                raise ValueError("indices need one entry per variable")
            self._t.edit_int(_PARAMS["indices"], (ix != 0).astype(np.int32))

    @property
    def observations(self):
        return self._t.observations

    def set_data(self, data, weights=None):
        """Replaces the data block (same variables and layout) and its weights."""
        data, _ = _data(data, self._t.rows)
        if data.dtype != self.dtype:
            raise TypeError("data must keep the dtype %s" % self.dtype)
        self._t.set_data(data)
        if weights is not None or "weights" in self.results:
            self.set_weights(np.ones(self.observations, self.dtype) if weights is None else weights)

    def set_weights(self, weights):
        w = np.ascontiguousarray(np.asarray(weights, dtype=self.dtype).reshape(-1))
        if w.size != self.observations:
            raise ValueError("weights need one entry per observation")
        if not np.all(w >= 0):
            raise ValueError("weights must be non-negative")
        self.edit("weights", w)

    def set_storage(self, name, storage):
        """Storage of a matrix result: "full", "packed_a" or "packed_b"."""
        if name not in _MATRIX or storage not in _STORAGE:
            raise ValueError("storage is set for cov, corr or cross_product: full, packed_a or packed_b")
        key = {"cov": "cov_storage", "corr": "corr_storage", "cross_product": "cross_product_storage"}[name]
        self._t.edit_int(_PARAMS[key], _STORAGE[storage])

    def edit(self, name, array):
        """Registers array as the result (or input) `name`; it must be C-contiguous of the
        task's dtype."""
        if name in ESTIMATES:
            param = ESTIMATES[name][1]
        elif name in ("weights", "accumulated_weights"):
            param = _PARAMS[name]
        else:
            raise ValueError("unknown parameter %r" % name)
        if not isinstance(array, np.ndarray):
            raise TypeError("%s must be a numpy array" % name)
        self._t.edit(param, array)
        self.results[name] = array
        return array

    def compute(self, estimates, method="one_pass"):
        """Computes the named estimates; returns {name: array}."""
        estimates = [estimates] if isinstance(estimates, str) else list(estimates)
        for e in estimates:
            if e not in ESTIMATES:
                raise ValueError("unknown estimate %r; known: %s" % (e, ", ".join(ESTIMATES)))
            if e not in self.results:
                self._scratch(e)
        bits = _method(method)
        basic = sum(ESTIMATES[e][0] for e in estimates if e not in _MINMAX)
        minmax = sum(ESTIMATES[e][0] for e in estimates if e in _MINMAX)
        if basic:
            # estimates that build on others need those arrays too: register scratch ones
            for _ in range(len(ESTIMATES)):
                try:
                    self._t.basic(basic, bits)
                    break
                except Error as e:
                    if e.code not in _MISSING or _MISSING[e.code] in self.results:
                        raise
                    self._scratch(_MISSING[e.code])
        if minmax:
            self._t.minmax(minmax, bits & (METHODS["fast"] | METHODS["one_pass"]) or METHODS["one_pass"])
        return {e: self.results[e] for e in estimates}


    def _scratch(self, e):
        shape = (self.p, self.p) if e in _MATRIX else (self.p,)
        fill = np.inf if e == "min" else -np.inf if e == "max" else 0
        self.edit(e, np.full(shape, fill, self.dtype))


def _one(x, rowvar, weights, names, method):
    t = Task(x, rowvar, weights)
    return t.compute(names, method)


def mean(x, rowvar=False, weights=None, method="one_pass"):
    return _one(x, rowvar, weights, "mean", method)["mean"]


def var(x, rowvar=False, weights=None, method="one_pass"):
    return _one(x, rowvar, weights, "central_moment_2", method)["central_moment_2"]


def cov(x, rowvar=False, weights=None, method="one_pass"):
    return _one(x, rowvar, weights, "cov", method)["cov"]


def corr(x, rowvar=False, weights=None, method="one_pass"):
    return _one(x, rowvar, weights, "corr", method)["corr"]


def min(x, rowvar=False):  # noqa: A001  (numpy's name)
    return _one(x, rowvar, None, "min", "one_pass")["min"]


def max(x, rowvar=False):  # noqa: A001
    return _one(x, rowvar, None, "max", "one_pass")["max"]


def moments(x, rowvar=False, weights=None, method="one_pass"):
    """Raw moments 1-4 and central moments 2-4 as {"raw": (4, p), "central": (3, p)}."""
    names = ["mean", "raw_moment_2", "raw_moment_3", "raw_moment_4",
             "central_moment_2", "central_moment_3", "central_moment_4"]
    r = _one(x, rowvar, weights, names, method)
    return {"raw": np.stack([r[n] for n in names[:4]]), "central": np.stack([r[n] for n in names[4:]])}


def describe(x, rowvar=False, weights=None, method="one_pass"):
    """nobs, (min, max), mean, variance, skewness and kurtosis of each variable, in the
    manner of scipy.stats.describe (definitions in the module text)."""
    t = Task(x, rowvar, weights)
    r = t.compute(["mean", "central_moment_2", "skewness", "kurtosis", "min", "max"], method)
    return Description(t.observations, (r["min"], r["max"]), r["mean"], r["central_moment_2"],
                       r["skewness"], r["kurtosis"])


def _ordered_data(x, rowvar):
    """Data for the order-based routines: as _data, NaN refused (it has no place in an order)."""
    data, rows = _data(x, rowvar)
    if np.isnan(data).any():
        raise ValueError("data must not contain NaN")
    return data, rows


def _per_variable(r, x):
    """A per-variable result, a scalar for 1-D data."""
    return r[0] if np.ndim(x) == 1 else r


def quantile(x, q, rowvar=False):
    """Quantiles of order q (a number or array in [0, 1]) of each variable, as
    numpy.quantile(x, q, axis=0, method="linear"): shape q.shape + (p,), q.shape for 1-D x."""
    data, rows = _ordered_data(x, rowvar)
    qa = np.asarray(q)
    if qa.dtype.kind not in "biuf":
        raise TypeError("q must be real numbers")
    qa = qa.astype(np.float64)
    if qa.size == 0 or not np.all((qa >= 0) & (qa <= 1)):
        raise ValueError("quantile orders must lie in [0, 1]")
    r = _st.quantiles(data, rows, qa.ravel().astype(data.dtype))
    out = r.T.reshape(qa.shape + (r.shape[0],))
    return out[..., 0] if np.ndim(x) == 1 else out


def median(x, rowvar=False):
    """Median of each variable (the mean of the two middle values for an even count)."""
    return quantile(x, 0.5, rowvar)


def mad(x, rowvar=False, center="median"):
    """Absolute deviation of each variable: center="median", the median of |x - median(x)|;
    center="mean", the mean of |x - mean(x)|."""
    if center not in ("median", "mean"):
        raise ValueError("center must be 'median' or 'mean'")
    data, rows = _ordered_data(x, rowvar)
    by_median, by_mean = _st.mad(data, rows)
    return _per_variable(by_median if center == "median" else by_mean, x)


def _positive_real(name, v, upper=None):
    if isinstance(v, bool) or not isinstance(v, (int, float, np.integer, np.floating)):
        raise TypeError("%s must be a real number" % name)
    if not (v > 0 and np.isfinite(v)) or (upper is not None and not v < upper):
        raise ValueError("%s must lie in (0, %s)" % (name, upper if upper is not None else "inf"))
    return float(v)


def _count(name, v, low=0):
    if isinstance(v, bool) or not isinstance(v, (int, np.integer)):
        raise TypeError("%s must be an integer" % name)
    if not low <= v <= 2**31 - 1:
        raise ValueError("%s must lie in %d .. 2^31 - 1" % (name, low))
    return int(v)


def _variables(data, rows):
    return data.shape[0] if rows else data.shape[1]


def robust_cov(x, rowvar=False, breakdown=None, rejection=0.001, accuracy=0.001, max_iter=100):
    """Robust mean and covariance (p,), (p, p) by an S-estimator with the translated biweight.
    breakdown: at most and by default (n - p) / (2 n); rejection: the asymptotic rejection
    probability in (0, 1); accuracy: stopping tolerance; max_iter: at most this many passes.
    Needs n > 2 p observations."""
    data, rows = _ordered_data(x, rowvar)
    p = _variables(data, rows)
    n = data.size // p
    cap = (n - p) / (2.0 * n)
    b = cap if breakdown is None else min(_positive_real("breakdown", breakdown), cap)
    prm = [b, _positive_real("rejection", rejection, 1.0), _positive_real("accuracy", accuracy),
           _count("max_iter", max_iter)]
    mean_, cov_ = _st.robust_cov(data, rows, prm)
    return mean_, cov_


def outliers(x, rowvar=False, start="medians", alpha=0.05, stop=0.005):
    """Outliers by BACON: a boolean array, True for the observations outside the final clean
    subset. start: "medians" (distances from the componentwise medians) or "mahalanobis"
    (from the mean under the covariance of all data); alpha: significance of the cut-off in
    [0, 1]; stop: relative change of the subset size that ends the growth. Needs n >= 5 p."""
    if start not in ("medians", "mahalanobis"):
        raise ValueError("start must be 'medians' or 'mahalanobis'")
    if isinstance(alpha, bool) or not isinstance(alpha, (int, float, np.integer, np.floating)):
        raise TypeError("alpha must be a real number")
    if not 0 <= alpha <= 1:
        raise ValueError("alpha must lie in [0, 1]")
    data, rows = _ordered_data(x, rowvar)
    prm = [1.0 if start == "mahalanobis" else 2.0, float(alpha), _positive_real("stop", stop)]
    return _st.outliers(data, rows, prm) == 0


def missing_values(x, rowvar=False, sets=5, em_iterations=50, da_iterations=30, accuracy=0.001, initial=None):
    """Multiple imputation of the NaN entries of x (normal model).

    Expectation-maximisation gives the maximum-likelihood mean and covariance; from it each
    of `sets` data-augmentation chains runs da_iterations steps (conditional-normal draws of
    the missing entries, then a mean and covariance drawn from their posterior). initial:
    optional (mean, cov) start of the EM. Returns MissingValues(imputed, means, covs):
    imputed (sets,) + x.shape, x with the last draws of each chain in its NaN entries;
    means (sets, da_iterations, p) and covs (sets, da_iterations, p, p), every step's draws.
    The draws come from a fixed-seed stream: the same call gives the same numbers."""
    data, rows = _data(x, rowvar)
    missing = np.isnan(data)
    k = int(missing.sum())
    if k == 0:
        raise ValueError("x has no NaN entry to impute")
    p = _variables(data, rows)
    if data.size // p <= p:
        raise ValueError("need more observations than variables")
    prm = [_count("em_iterations", em_iterations, 1), _count("da_iterations", da_iterations, 1),
           _positive_real("accuracy", accuracy), _count("sets", sets, 1), k]
    init = []
    if initial is not None:
        m0, c0 = (np.asarray(a, dtype=np.float64) for a in initial)
        if m0.shape != (p,) or c0.shape != (p, p):
            raise ValueError("initial must be (mean of %d, %d x %d covariance)" % (p, p, p))
        init = list(m0) + [c0[i, j] for i in range(p) for j in range(i, p)]
    marked = data.copy()
    marked[missing] = -np.abs(np.asarray(np.nan, data.dtype))  # the negative quiet NaN marks a missing entry
    sim, est = _st.missing_values(marked, rows, prm, init)
    imputed = np.repeat(data[None], prm[3], axis=0)
    imputed[:, missing] = est.reshape(prm[3], k)
    per = p * (p + 3) // 2
    sim = sim.reshape(prm[3], prm[1], per)
    covs = np.empty((prm[3], prm[1], p, p), data.dtype)
    iu = np.triu_indices(p)
    covs[..., iu[0], iu[1]] = sim[..., p:]
    covs[..., iu[1], iu[0]] = sim[..., p:]
    if np.ndim(x) == 1:
        imputed = imputed[:, 0]
    return MissingValues(imputed, sim[..., :p], covs)


class Accumulator:
    """Estimates over data that arrive in blocks: Accumulator(p, estimates=("mean",
    "cov"), method="one_pass", dtype=np.float64, rowvar=False); update(block) for each
    block (shape (n, p), or (p, n) with rowvar=True); the properties of the estimate
    names hold the estimates over everything seen so far."""

    def __init__(self, p, estimates=("mean", "cov"), method="one_pass", dtype=np.float64, rowvar=False):
        estimates = [estimates] if isinstance(estimates, str) else list(estimates)
        for e in estimates:
            if e not in ESTIMATES:
                raise ValueError("unknown estimate %r" % e)
        _method(method)
        if np.dtype(dtype) not in (np.float32, np.float64):
            raise TypeError("dtype must be float32 or float64")
        if int(p) < 1:
            raise ValueError("p must be >= 1")
        self.p, self.estimates, self.method = int(p), estimates, method
        self.dtype, self.rowvar = np.dtype(dtype), rowvar
        self._task = None
        self._weights = np.zeros(2, self.dtype)
        self._weighted = False

    def update(self, block, weights=None):
        block = np.asarray(block, dtype=self.dtype)
        if block.ndim == 1:
            block = block[None, :] if self.rowvar else block[:, None]
        data, rows = _data(block, self.rowvar)
        if (data.shape[0] if rows else data.shape[1]) != self.p:
            raise ValueError("block must have %d variables" % self.p)
        if self._task is None:
            self._task = Task(data, rows)
            self._task.edit("accumulated_weights", self._weights)
        else:
            self._task.set_data(data)
        if weights is not None or self._weighted:
            self._weighted = True
            self._task.set_weights(np.ones(self._task.observations) if weights is None else weights)
        self._task.compute(self.estimates, self.method)
        return self

    @property
    def weights(self):
        """(sum of weights, sum of squared weights) so far."""
        return tuple(self._weights)

    def result(self):
        if self._task is None:
            raise ValueError("no data yet")
        return {e: self._task.results[e].copy() for e in self.estimates}

    def __getattr__(self, name):
        if name in ESTIMATES and name in self.__dict__.get("estimates", ()):
            return self.result()[name]
        raise AttributeError(name)


__all__ = ["describe", "mean", "var", "cov", "corr", "min", "max", "moments", "quantile", "median", "mad",
           "robust_cov", "outliers", "missing_values", "Accumulator", "Task", "Description", "MissingValues",
           "ESTIMATES", "METHODS"]
