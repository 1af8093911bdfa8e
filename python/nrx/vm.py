"""Element-wise vector math over numpy arrays.

Every function of the library is here under a snake_case name made from its own
(Exp -> exp, CdfNormInv -> cdf_norm_inv, LGamma -> lgamma, SinCos -> sin_cos), built
at import from the library's catalogue; `functions` maps each name to its function.

    f(a, out=None, accuracy=None)           one input (exp, sqrt, abs, cis, ...)
    f(a, b, out=None, accuracy=None)        two inputs (add, pow, atan2, ...), broadcast
    powx(a, b)                              array and one number
    sin_cos(a), modf(a)                     two results, returned as a tuple (out=(r1, r2))
    linear_frac(a, b, scalea, shifta, scaleb, shiftb)

Arrays are float32, float64, complex64 or complex128 (integers count as float64;
Python numbers take the arrays' precision), of any shape and strides. `out` must have
the result's dtype and shape; `accuracy` is "ha", "la" or "ep" (None: the thread's
mode word). Element errors raise VMError, warn with VMWarning or pass silently, as
`mode(errors=...)` says.
"""
import contextlib
import re

import numpy as np

from . import _nrx
from .errors import VMError, VMWarning  # noqa: F401  (re-exported)

_vm = _nrx.vm

ACCURACY = {"la": 0x1, "ha": 0x2, "ep": 0x3}
ERRORS = ("raise", "warn", "ignore")
_FTZ_ON, _FTZ_OFF = 0x280000, 0x140000


def _snake(name):
    return re.sub(r"(?<=[a-z0-9])(?=[A-Z])", "_", name).lower()


# name -> the function's catalogue entry (name, types, shape, public names of each type)
info = {_snake(_f.name): _f for _f in _vm.functions}
functions = {}
for _name, _f in info.items():
    if _f.shape not in ("packI", "packM", "packV", "unpackI", "unpackM", "unpackV"):
        functions[_name] = globals()[_name] = _f.fast


def get_mode():
    """The calling thread's mode word (accuracy, error handling, denormal handling)."""
    return _vm.get_mode()


@contextlib.contextmanager
def mode(accuracy=None, errors=None, ftz=None, errmode=None):
    """Sets the thread's mode word and error policy for a block, restoring them after.

    accuracy: "ha", "la" or "ep", the flavour of calls without accuracy=.
    errors: "raise" (VMError, the default policy), "warn" (VMWarning) or "ignore".
    ftz: True runs kernels with denormals flushed to zero, False without.
    errmode: the library's own error-handling bits (ZAR_ERRMODE_* values), for
    example 0x2000 to record no element errors at all."""
    word = 0
    if accuracy is not None:
        if accuracy not in ACCURACY:
            raise ValueError("accuracy must be 'ha', 'la' or 'ep'")
        word |= ACCURACY[accuracy]
    if errors is not None and errors not in ERRORS:
        raise ValueError("errors must be 'raise', 'warn' or 'ignore'")
    if ftz is not None:
        word |= _FTZ_ON if ftz else _FTZ_OFF
    if errmode is not None:
        if not isinstance(errmode, int) or errmode & ~0xFF00 or not errmode & 0x3F00:
            raise ValueError("errmode must be a combination of the ZAR_ERRMODE_* bits 0x100 .. 0x2000")
        word |= errmode
    prev = _vm.get_mode()
    prev_policy = _vm.get_errors()
    _vm.set_mode(word)
    if errors is not None:
        _vm.set_errors(ERRORS.index(errors))
    try:
        yield
    finally:
        # a field the block cleared is restored by its previous value; an empty one by its default
        _vm.set_mode(prev | (0 if prev & 0x3C0000 else _FTZ_OFF))
        _vm.set_errors(prev_policy)


def _contiguous(a, dtype=None):
    a = np.asarray(a)
    if dtype is None:
        if a.dtype.kind in "biu":
            dtype = np.float64
        elif a.dtype not in (np.float32, np.float64, np.complex64, np.complex128):
            raise TypeError("unsupported dtype %s" % a.dtype)
        else:
            dtype = a.dtype
    return np.ascontiguousarray(a, dtype=dtype).reshape(-1)


def _index(ix, bound, what):
    ix = np.asarray(ix)
    if ix.dtype.kind not in "iu":
        raise TypeError("%s must be integers" % what)
    ix = ix.reshape(-1)
    if ix.size and (ix.min() < 0 or ix.max() >= bound):
        raise ValueError("%s outside 0 .. %d" % (what, bound - 1))
    return np.ascontiguousarray(ix, dtype=np.int32)


def _mask(m, n):
    m = np.asarray(m).reshape(-1)
    if m.size != n:
        raise ValueError("mask needs %d entries" % n)
    return np.ascontiguousarray(m != 0, dtype=np.int32)


def pack_i(a, inc, n=None):
    """y[i] = a[i * inc] for i < n (n: as many as a holds)."""
    a = _contiguous(a)
    if not isinstance(inc, (int, np.integer)) or inc < 1:
        raise ValueError("inc must be a positive integer")
    most = (a.size + inc - 1) // inc
    n = most if n is None else n
    if not 0 <= n <= most:
        raise ValueError("n outside 0 .. %d" % most)
    y = np.empty(n, a.dtype)
    info["pack_i"]._move(a, int(inc), y, n)
    return y


def pack_v(a, index):
    """y[i] = a[index[i]]."""
    a = _contiguous(a)
    ix = _index(index, a.size, "index")
    y = np.empty(ix.size, a.dtype)
    info["pack_v"]._move(a, ix, y, ix.size)
    return y


def pack_m(a, mask):
    """The elements of a whose mask entry is non-zero, in order."""
    a = _contiguous(a)
    m = _mask(mask, a.size)
    y = np.empty(int(m.sum()), a.dtype)
    info["pack_m"]._move(a, m, y, a.size)
    return y


def _target(y, dtype):
    if not isinstance(y, np.ndarray) or y.ndim != 1 or not y.flags.c_contiguous or not y.flags.writeable:
        raise TypeError("y must be a writeable contiguous 1-D numpy array")
    if y.dtype != dtype:
        raise TypeError("y has dtype %s, a has %s" % (y.dtype, dtype))
    return y


def unpack_i(a, y, inc):
    """y[i * inc] = a[i] for every element of a; y is changed in place and returned."""
    a = _contiguous(a)
    y = _target(y, a.dtype)
    if not isinstance(inc, (int, np.integer)) or inc < 1:
        raise ValueError("inc must be a positive integer")
    if a.size and (a.size - 1) * inc >= y.size:
        raise ValueError("y needs at least %d elements" % ((a.size - 1) * inc + 1))
    info["unpack_i"]._move(a, int(inc), y, a.size)
    return y


def unpack_v(a, y, index):
    """y[index[i]] = a[i]; y is changed in place and returned."""
    a = _contiguous(a)
    y = _target(y, a.dtype)
    ix = _index(index, y.size, "index")
    if ix.size != a.size:
        raise ValueError("index needs one entry per element of a")
    info["unpack_v"]._move(a, ix, y, a.size)
    return y


def unpack_m(a, y, mask):
    """The elements of a, in order, into the places of y whose mask entry is non-zero."""
    a = _contiguous(a)
    y = _target(y, a.dtype)
    m = _mask(mask, y.size)
    if int(m.sum()) > a.size:
        raise ValueError("the mask selects more elements than a holds")
    info["unpack_m"]._move(a, m, y, y.size)
    return y


for _name in ("pack_i", "pack_v", "pack_m", "unpack_i", "unpack_v", "unpack_m"):
    functions[_name] = globals()[_name]

__all__ = sorted(functions) + ["mode", "get_mode", "VMError", "VMWarning", "functions", "info"]
