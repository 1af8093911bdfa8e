"""Random streams: every generator of the library by name, with copy, skip-ahead,
leapfrog, persistence and one method per distribution law.

    s = Stream("mrg32k3a", seed=42)
    u = s.uniform(-1.0, 1.0, size=(1000, 3))
    g = s.gaussian(0.0, 2.0, size=10**6, method="icdf")
    t = s.copy(); t.skip(10**6)
    image = s.save(); s2 = Stream.load(image)

Continuous laws: uniform, gaussian, lognormal, exponential, laplace, cauchy, rayleigh,
weibull, gumbel, gamma, chisquare, beta, gaussian_mv; integer laws (int32 results):
integers, bernoulli, geometric, binomial, poisson, poisson_v, negative_binomial,
hypergeometric, multinomial; the generator's raw words (bits) and uniform full-width words
(bits32, bits64). Parameters are checked before the library is called (TypeError for a non-number,
ValueError for a value outside the law's range); a status the library returns raises
nrx.Error with its name and message.
"""
import math
import numbers
import os

import numpy as np

from . import _nrx

_rnd = _nrx.random

# name -> (identifier, members); one row per generator of the library's list
GENERATORS = {name: (brng, members) for name, brng, members, _ in _rnd.generators}
# the generators that draw today (the others are registered and refuse with a status)
USABLE = frozenset(name for name, _, _, usable in _rnd.generators if usable)
_BY_ID = {brng: name for name, (brng, _) in GENERATORS.items()}
_UNIFORM_METHODS = {"standard": _rnd.UNIFORM_STANDARD, "accurate": _rnd.UNIFORM_ACCURATE}
_GAUSSIAN_METHODS = dict(_rnd.GAUSSIAN_METHODS)
_LOGNORMAL_METHODS = dict(_rnd.LOGNORMAL_METHODS)
_POISSON_METHODS = dict(_rnd.POISSON_METHODS)
_LAWS = {name: index for index, (name, _) in enumerate(_rnd.laws)}
_INT32_MAX = 0x7FFFFFFF
_LAMBDA_MAX = 2.0 ** 30


def _integer(name, value, lo=-_INT32_MAX - 1, hi=_INT32_MAX):
    if isinstance(value, (bool, np.bool_)) or not isinstance(value, numbers.Integral):
        raise TypeError("%s must be an integer, not %s" % (name, type(value).__name__))
    value = int(value)
    if not lo <= value <= hi:
        raise ValueError("%s must lie in %d .. %d" % (name, lo, hi))
    return value


def _probability(name, value, zero=True):
    value = _real(name, value)
    if not (0 <= value if zero else 0 < value) or not value <= 1:
        raise ValueError("%s must lie in %s0, 1]" % (name, "[" if zero else "("))
    return value


def _real_array(name, values):
    values = np.asarray(values)
    if values.dtype.kind not in "biuf":
        raise TypeError("%s must be real numbers" % name)
    values = np.ascontiguousarray(values, np.float64)
    if not np.all(np.isfinite(values)):
        raise ValueError("%s must be finite" % name)
    return values


def _real(name, value):
    if isinstance(value, (bool, np.bool_)) or not isinstance(value, numbers.Real):
        raise TypeError("%s must be a real number, not %s" % (name, type(value).__name__))
    value = float(value)
    if not math.isfinite(value):
        raise ValueError("%s must be finite" % name)
    return value


def _positive(name, value):
    value = _real(name, value)
    if not value > 0:
        raise ValueError("%s must be > 0" % name)
    return value


def _method(table, method):
    if method not in table:
        raise ValueError("method must be one of %s" % ", ".join(sorted(table)))
    return table[method]


def _seed_words(seed):
    if isinstance(seed, (int, np.integer)):
        seed = int(seed)
        if seed < 0:
            raise ValueError("seed must be >= 0")
        words = []
        while True:
            words.append(seed & 0xFFFFFFFF)
            seed >>= 32
            if not seed:
                return words
    words = [int(w) for w in seed]
    if any(w < 0 or w > 0xFFFFFFFF for w in words):
        raise ValueError("seed words must lie in 0 .. 2^32 - 1")
    return words


def _shape(size):
    if size is None:
        return ()
    shape = (int(size),) if isinstance(size, (int, np.integer)) else tuple(int(s) for s in size)
    if any(s < 0 for s in shape):
        raise ValueError("size must not be negative")
    return shape


class Stream:
    """A stream of one generator: Stream(generator, seed=1, member=0).

    generator: a name of GENERATORS; member picks one generator of a family (wh,
    mt2203). seed: a non-negative integer (split into 32-bit words, least significant
    first) or a sequence of 32-bit words."""

    def __init__(self, generator="mcg31m1", seed=1, member=0):
        if generator not in GENERATORS:
            raise ValueError("unknown generator %r; known: %s" % (generator, ", ".join(GENERATORS)))
        brng, members = GENERATORS[generator]
        if not isinstance(member, (int, np.integer)) or not 0 <= member < max(members, 1):
            raise ValueError("member of %s must lie in 0 .. %d" % (generator, max(members, 1) - 1))
        self._s = _rnd.Stream(brng + int(member), _seed_words(seed))

    @classmethod
    def _wrap(cls, raw):
        s = cls.__new__(cls)
        s._s = raw
        return s

    @property
    def generator(self):
        return _BY_ID[self._s.brng & ~0xFFFFF]

    @property
    def member(self):
        return self._s.brng & 0xFFFFF

    def __repr__(self):
        return "Stream(%r, member=%d)" % (self.generator, self.member)

    def copy(self):
        """An independent stream in the same state."""
        return self._wrap(self._s.copy())

    __copy__ = copy

    def skip(self, n):
        """Advances the stream by n outputs (any non-negative integer)."""
        if not isinstance(n, (int, np.integer)):
            raise TypeError("skip count must be an integer")
        if n < 0:
            raise ValueError("skip count must be >= 0")
        self._s.skip(int(n))
        return self

    def leapfrog(self, k, total):
        """Makes this stream the k-th of total interleaved sub-streams."""
        if not 0 < total <= 0x7FFFFFFF or not 0 <= k < total:
            raise ValueError("need 0 <= k < total <= 2^31 - 1")
        self._s.leapfrog(int(k), int(total))
        return self

    def save(self, path=None):
        """The stream's image as bytes, or written to the file at path."""
        if path is None:
            return self._s.save_bytes()
        self._s.save_file(os.fsencode(path).decode("utf-8", "surrogateescape"))
        return None

    @classmethod
    def load(cls, source):
        """A stream from an image (bytes-like) or from the file at a path."""
        if isinstance(source, (bytes, bytearray, memoryview)):
            return cls._wrap(_rnd.Stream.load_bytes(bytes(source)))
        if isinstance(source, (str, os.PathLike)):
            if not os.path.isfile(source):
                raise FileNotFoundError(source)
            return cls._wrap(_rnd.Stream.load_file(os.fsdecode(source)))
        raise TypeError("load takes bytes or a path")

    def uniform(self, a=0.0, b=1.0, size=None, dtype=np.float64, method="standard", out=None):
        """Uniform variates on [a, b) (method="accurate": clamped into [a, b])."""
        if method not in _UNIFORM_METHODS:
            raise ValueError("method must be 'standard' or 'accurate'")
        if not a < b:
            raise ValueError("need a < b")
        r = self._result(size, dtype, out, (np.float32, np.float64))
        self._s.uniform(r, float(a), float(b), _UNIFORM_METHODS[method])
        return r if out is not None or size is not None else r[()]

    def _draw(self, law, parameters, size, dtype, out, method=0, allowed=(np.float32, np.float64)):
        r = self._result(size, dtype, out, allowed)
        self._s.law(_LAWS[law], r, method, parameters)
        return r if out is not None or size is not None else r[()]

    def _draw_int(self, law, parameters, size, out, method=0):
        return self._draw(law, [float(p) for p in parameters], size, np.int32, out, method, (np.int32,))

    def gaussian(self, a=0.0, sigma=1.0, size=None, dtype=np.float64, method="box_muller2", out=None):
        """Normal law N(a, sigma^2); method "box_muller", "box_muller2" (two variates per pair)
        or "icdf" (inverse distribution function)."""
        m = _method(_GAUSSIAN_METHODS, method)
        return self._draw("gaussian", [_real("a", a), _positive("sigma", sigma)], size, dtype, out, m)

    def lognormal(self, a=0.0, sigma=1.0, b=0.0, beta=1.0, size=None, dtype=np.float64, method="box_muller2",
                  out=None):
        """b + beta exp(N(a, sigma^2)); method "box_muller2" or "icdf" (the normals' method)."""
        m = _method(_LOGNORMAL_METHODS, method)
        prm = [_real("a", a), _positive("sigma", sigma), _real("b", b), _positive("beta", beta)]
        return self._draw("lognormal", prm, size, dtype, out, m)

    def exponential(self, a=0.0, beta=1.0, size=None, dtype=np.float64, out=None):
        """a + beta E, E standard exponential."""
        return self._draw("exponential", [_real("a", a), _positive("beta", beta)], size, dtype, out)

    def laplace(self, a=0.0, beta=1.0, size=None, dtype=np.float64, out=None):
        """Laplace (double exponential) law with mean a and scale beta."""
        return self._draw("laplace", [_real("a", a), _positive("beta", beta)], size, dtype, out)

    def cauchy(self, a=0.0, beta=1.0, size=None, dtype=np.float64, out=None):
        """Cauchy law with location a and scale beta."""
        return self._draw("cauchy", [_real("a", a), _positive("beta", beta)], size, dtype, out)

    def rayleigh(self, a=0.0, beta=1.0, size=None, dtype=np.float64, out=None):
        """a + beta sqrt(E), E standard exponential (scipy's rayleigh with scale beta / sqrt(2))."""
        return self._draw("rayleigh", [_real("a", a), _positive("beta", beta)], size, dtype, out)

    def weibull(self, alpha, a=0.0, beta=1.0, size=None, dtype=np.float64, out=None):
        """a + beta E^(1/alpha), E standard exponential."""
        prm = [_positive("alpha", alpha), _real("a", a), _positive("beta", beta)]
        return self._draw("weibull", prm, size, dtype, out)

    def gumbel(self, a=0.0, beta=1.0, size=None, dtype=np.float64, out=None):
        """a + beta ln(E): the minimum-type Gumbel law (scipy's gumbel_l)."""
        return self._draw("gumbel", [_real("a", a), _positive("beta", beta)], size, dtype, out)

    def gamma(self, alpha, a=0.0, beta=1.0, size=None, dtype=np.float64, out=None):
        """a + beta G, G gamma with shape alpha."""
        prm = [_positive("alpha", alpha), _real("a", a), _positive("beta", beta)]
        return self._draw("gamma", prm, size, dtype, out)

    def chisquare(self, v, size=None, dtype=np.float64, out=None):
        """Chi-square law with v degrees of freedom (an integer >= 1)."""
        if isinstance(v, (bool, np.bool_)) or not isinstance(v, numbers.Integral):
            raise TypeError("v must be an integer")
        if not 1 <= v <= 0x7FFFFFFF:
            raise ValueError("v must lie in 1 .. 2^31 - 1")
        return self._draw("chisquare", [float(v)], size, dtype, out)

    def beta(self, p, q, a=0.0, beta=1.0, size=None, dtype=np.float64, out=None):
        """a + beta X / (X + Y), X and Y gamma with shapes p and q."""
        prm = [_positive("p", p), _positive("q", q), _real("a", a), _positive("beta", beta)]
        return self._draw("beta", prm, size, dtype, out)

    def gaussian_mv(self, mean, cov=None, factor=None, size=None, dtype=np.float64, method="box_muller2"):
        """Vectors of the multivariate normal law N(mean, cov), shape size + (dim,); give the
        covariance (symmetric positive definite) or its lower Cholesky factor, not both."""
        m = _method(_GAUSSIAN_METHODS, method)
        dtype = np.dtype(dtype)
        if dtype not in (np.float32, np.float64):
            raise TypeError("dtype must be float32 or float64")
        mean = np.asarray(mean)
        if mean.dtype.kind not in "biuf":
            raise TypeError("mean must be real numbers")
        if mean.ndim != 1 or mean.size < 1 or not np.all(np.isfinite(mean)):
            raise ValueError("mean must be a non-empty 1-D array of finite numbers")
        dim = mean.size
        if (cov is None) == (factor is None):
            raise ValueError("give cov or factor")
        given = np.asarray(cov if factor is None else factor)
        if given.dtype.kind not in "biuf":
            raise TypeError("cov and factor must be real numbers")
        if given.shape != (dim, dim) or not np.all(np.isfinite(given)):
            raise ValueError("cov or factor must be a finite %d x %d array" % (dim, dim))
        if factor is None:
            if not np.allclose(given, given.T, rtol=1e-12, atol=0):
                raise ValueError("cov must be symmetric")
            try:
                factor = np.linalg.cholesky(given.astype(np.float64))
            except np.linalg.LinAlgError:
                raise ValueError("cov must be positive definite") from None
        else:
            factor = np.tril(given)
            if not np.all(np.diag(factor) > 0):
                raise ValueError("factor must be lower triangular with a positive diagonal")
        r = np.empty(_shape(size) + (dim,), dtype)
        self._s.gaussian_mv(r, m, np.ascontiguousarray(mean, dtype), np.ascontiguousarray(factor, dtype))
        return r

    def integers(self, a, b, size=None, out=None):
        """Integers uniform on [a, b), a < b, both int32."""
        a, b = _integer("a", a), _integer("b", b)
        if not a < b:
            raise ValueError("need a < b")
        return self._draw_int("integers", [a, b], size, out)

    def bernoulli(self, p=0.5, size=None, out=None):
        """1 with probability p, else 0 (0 <= p <= 1)."""
        return self._draw_int("bernoulli", [_probability("p", p)], size, out)

    def geometric(self, p=0.5, size=None, out=None):
        """Failures before the first success, 0 < p <= 1 (scipy's geom shifted by -1)."""
        return self._draw_int("geometric", [_probability("p", p, zero=False)], size, out)

    def binomial(self, ntrial, p, size=None, out=None):
        """Successes in ntrial >= 0 trials of probability p (0 <= p <= 1)."""
        prm = [_integer("ntrial", ntrial, 0), _probability("p", p)]
        return self._draw_int("binomial", prm, size, out)

    def poisson(self, lam=1.0, size=None, method="ptpe", out=None):
        """Poisson law with mean 0 <= lam <= 2^30; method "ptpe" (exact) or "normal" (a normal-based
        approximation from lam = 100 on, off by O(1/lam))."""
        m = _method(_POISSON_METHODS, method)
        lam = _real("lam", lam)
        if not 0 <= lam <= _LAMBDA_MAX:
            raise ValueError("lam must lie in [0, 2^30]")
        return self._draw_int("poisson", [lam], size, out, m)

    def poisson_v(self, lams):
        """One Poisson variate per element of lams (each 0 <= lam <= 2^30), in the shape of lams."""
        lams = _real_array("lams", lams)
        if not np.all((lams >= 0) & (lams <= _LAMBDA_MAX)):
            raise ValueError("every lam must lie in [0, 2^30]")
        r = np.empty(lams.shape, np.int32)
        self._s.poisson_v(r, 0, lams)
        return r

    def negative_binomial(self, a, p, size=None, out=None):
        """Failures before the a-th success, a > 0 (real), 0 < p <= 1, mean a (1 - p) / p <= 2^26."""
        a, p = _positive("a", a), _probability("p", p, zero=False)
        if not a * (1 - p) / p <= 2.0 ** 26:
            raise ValueError("the mean a (1 - p) / p must be <= 2^26")
        return self._draw_int("negative_binomial", [a, p], size, out)

    def hypergeometric(self, lot, sample, marked, size=None, out=None):
        """Marked items in a sample drawn without replacement from a lot holding `marked` marked
        ones; 0 <= sample, marked <= lot."""
        lot = _integer("lot", lot, 0)
        prm = [lot, _integer("sample", sample, 0, lot), _integer("marked", marked, 0, lot)]
        return self._draw_int("hypergeometric", prm, size, out)

    def multinomial(self, ntrial, pvals, size=None):
        """Vectors of k = len(pvals) counts summing to ntrial >= 0, shape size + (k,); pvals >= 0
        summing to 1 within 16 k machine epsilons."""
        ntrial = _integer("ntrial", ntrial, 0)
        pvals = _real_array("pvals", pvals)
        k = pvals.size
        if pvals.ndim != 1 or not 1 <= k <= _INT32_MAX:
            raise ValueError("pvals must be a non-empty 1-D array")
        if np.any(pvals < 0) or not abs(pvals.sum() - 1) <= 16 * k * np.finfo(np.float64).eps:
            raise ValueError("pvals must be >= 0 and sum to 1")
        r = np.empty(_shape(size) + (k,), np.int32)
        self._s.multinomial(r, 0, ntrial, pvals)
        return r

    def bits32(self, size=None):
        """Uniformly distributed 32-bit words (uint32); generators without full-width output raise
        nrx.Error."""
        r = np.empty(_shape(size), np.uint32)
        self._s.full_bits(r)
        return r

    def bits64(self, size=None):
        """Uniformly distributed 64-bit words (uint64), each from two 32-bit words, the first low."""
        r = np.empty(_shape(size), np.uint64)
        self._s.full_bits(r)
        return r

    def bits(self, size=None):
        """The generator's raw output words as uint32, one row of WordBytes / 4 words each."""
        words = _rnd.Stream.word_bytes(self._s.brng) // 4
        shape = _shape(size) + ((words,) if words > 1 else ())
        r = np.empty(shape, np.uint32)
        self._s.bits(r)
        return r

    @staticmethod
    def _result(size, dtype, out, allowed):
        if out is not None:
            if not isinstance(out, np.ndarray) or out.dtype not in allowed or not out.flags.c_contiguous \
                    or not out.flags.writeable:
                raise TypeError("out must be a writeable contiguous array of dtype %s"
                                % " or ".join(np.dtype(t).name for t in allowed))
            return out
        dtype = np.dtype(dtype)
        if dtype not in allowed:
            raise TypeError("dtype must be %s" % " or ".join(np.dtype(t).name for t in allowed))
        return np.empty(_shape(size), dtype)


__all__ = ["Stream", "GENERATORS", "USABLE"]
