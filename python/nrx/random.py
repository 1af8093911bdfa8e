"""Random streams: every generator of the library by name, with copy, skip-ahead,
leapfrog, persistence and one method per distribution law.

    s = Stream("mrg32k3a", seed=42)
    u = s.uniform(-1.0, 1.0, size=(1000, 3))
    t = s.copy(); t.skip(10**6)
    image = s.save(); s2 = Stream.load(image)

The laws present today are `uniform` and the generator's raw words (`bits`); the others
join here as the library gains them.
"""
import os

import numpy as np

from . import _nrx

_rnd = _nrx.random

# name -> (identifier, members); one row per generator in the extension's table
GENERATORS = {name: (brng, members) for name, brng, members in _rnd.generators}
_BY_ID = {brng: name for name, (brng, _) in GENERATORS.items()}
_UNIFORM_METHODS = {"standard": _rnd.UNIFORM_STANDARD, "accurate": _rnd.UNIFORM_ACCURATE}


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


__all__ = ["Stream", "GENERATORS"]
