"""Vector math through the package against the same public names called through ctypes
on contiguous arrays, and against mpmath for accuracy of a few functions."""
import ctypes as C
import warnings
import zlib

import numpy as np
import pytest

import nrx
from conftest import ptr

DT = {"s": np.float32, "d": np.float64, "c": np.complex64, "z": np.complex128}
REAL = {"c": np.float32, "z": np.float64}
SKIP = {"pack_i", "pack_m", "pack_v", "unpack_i", "unpack_m", "unpack_v"}


def cases():
    for name, f in sorted(nrx.vm.info.items()):
        if name in SKIP:
            continue
        for t, (names, shape) in f.entries.items():
            yield pytest.param(name, t, shape, names, id="%s-%s" % (name, t))


def sample(t, shape, n, rng, real_in=False):
    if t in "cz" and not real_in:
        return (rng.uniform(0.1, 2, n) + 1j * rng.uniform(-2, 2, n)).astype(DT[t])
    return rng.uniform(0.1, 0.9, n).astype(REAL.get(t, DT.get(t)))


def c_call(clib, cname, shape, t, args, scalars):
    """The public name on contiguous copies; returns its result arrays."""
    fn = getattr(clib, cname)
    n = args[0].size
    rdt = REAL[t] if shape == "c2r" else DT[t]
    res = [np.empty(n, rdt) for _ in range(2 if shape == "v1r2" else 1)]
    cargs = [C.c_int32(n)] + [ptr(np.ascontiguousarray(a)) for a in args]
    if shape == "vs":
        if t in "cz":
            ct = C.c_float if t == "c" else C.c_double

            class Cx(C.Structure):
                _fields_ = [("re", ct), ("im", ct)]
            cargs.append(Cx(scalars[0].real, scalars[0].imag))
        else:
            cargs.append((C.c_float if t == "s" else C.c_double)(scalars[0]))
    if shape == "lf":
        cargs += [(C.c_float if t == "s" else C.c_double)(s) for s in scalars]
    keep = [np.ascontiguousarray(a) for a in args]
    cargs[1:1 + len(args)] = [ptr(a) for a in keep]
    fn(*cargs, *[ptr(r) for r in res])
    return res


@pytest.mark.parametrize("name,t,shape,names", list(cases()))
def test_strided_out_equals_c_call(clib, name, t, shape, names):
    """A strided call with out= gives the C call's bits: catches a wrong table, slot, stride or type."""
    rng = np.random.default_rng(zlib.crc32((name + t).encode()))
    n = 37
    f = nrx.vm.functions[name]
    nin = 2 if shape in ("v2", "lf") else 1
    src = [sample(t, shape, 2 * n, rng, real_in=shape == "r2c") for _ in range(nin)]
    views = [s[::2] for s in src]
    scalars = {"vs": [DT[t](1.5 + (0.5j if t in "cz" else 0))], "lf": [2.0, 0.5, 1.5, 3.0]}.get(shape, [])
    rdt = REAL[t] if shape == "c2r" else DT[t]
    outs = [np.zeros(3 * n, rdt)[::3] for _ in range(2 if shape == "v1r2" else 1)]
    with nrx.vm.mode(errors="ignore"):
        for slot, acc in enumerate(("la", "ha", "ep")):
            f(*views, *scalars, out=tuple(outs) if len(outs) == 2 else outs[0], accuracy=acc)
            want = c_call(clib, names[slot], shape, t, views, scalars)
            for got, w in zip(outs, want):
                np.testing.assert_array_equal(got, w)


ERRORS = [  # function, argument, status code, index of the first bad element
    ("ln", [1.0, 2.0, -1.0, 0.0], 1, 2),
    ("ln", [1.0, 0.0], 2, 1),
    ("exp", [1.0, 1000.0], 3, 1),
    ("sqrt", [4.0, 9.0, -4.0], 1, 2),
]


@pytest.mark.parametrize("fname,arg,code,index", ERRORS)
def test_element_errors(fname, arg, code, index):
    """Element errors raise VMError with the status and first index, warn, or pass silently."""
    f = getattr(nrx.vm, fname)
    a = np.array(arg)
    with pytest.raises(nrx.VMError) as e:
        f(a)
    assert (e.value.code, e.value.index, e.value.where) == (code, index, nrx.vm.info[fname].name)
    with nrx.vm.mode(errors="warn"), warnings.catch_warnings(record=True) as w:
        warnings.simplefilter("always")
        f(a)
    assert len(w) == 1 and issubclass(w[0].category, nrx.VMWarning)
    with nrx.vm.mode(errors="ignore"), warnings.catch_warnings():
        warnings.simplefilter("error")
        f(a)
    with nrx.vm.mode(errmode=0x2000):  # the library records nothing
        f(a)


def test_mode_restored_and_accuracy_from_mode(clib):
    """The context sets the flavour of calls without accuracy= and restores the word."""
    before = nrx.vm.get_mode()
    x = np.linspace(0.3, 5.0, 101)
    with nrx.vm.mode(accuracy="ep"):
        assert nrx.vm.get_mode() & 0xF == 3
        ep = nrx.vm.exp(x)
    assert nrx.vm.get_mode() & 0xFFFF == before & 0xFFFF
    want = np.empty_like(x)
    clib.zardExp_26(C.c_int32(x.size), ptr(x), ptr(want))
    np.testing.assert_array_equal(ep, want)
    np.testing.assert_array_equal(nrx.vm.exp(x, accuracy="ep"), want)


def test_accuracy_against_mpmath():
    """HA results within 1 ulp of mpmath at 50 digits."""
    mpmath = pytest.importorskip("mpmath")
    mpmath.mp.dps = 50
    rng = np.random.default_rng(3)
    x = rng.uniform(-20, 20, 200)
    for name, ref in (("exp", mpmath.exp), ("sin", mpmath.sin), ("atan", mpmath.atan), ("cbrt", lambda v: mpmath.sign(v) * mpmath.cbrt(abs(v)))):
        got = getattr(nrx.vm, name)(x, accuracy="ha")
        want = np.array([float(ref(mpmath.mpf(float(v)))) for v in x])
        ulp = np.abs(got - want) / np.spacing(np.abs(want))
        assert ulp.max() <= 1.0, name


def test_shapes_broadcast_scalars():
    """N-D, non-collapsible, broadcast and scalar arguments follow numpy's rules."""
    a = np.arange(24, dtype=np.float64).reshape(2, 3, 4)[:, ::2, 1:]
    r = nrx.vm.add(a, 1.0)
    np.testing.assert_array_equal(r, a + 1.0)
    b = np.arange(3, dtype=np.float32)
    assert nrx.vm.mul(b, 2).dtype == np.float32  # Python numbers take the array's precision
    np.testing.assert_array_equal(nrx.vm.mul(np.ones((2, 3)), b), np.ones((2, 3)) * b)
    assert isinstance(nrx.vm.sqrt(4.0), np.float64) and nrx.vm.sqrt(4.0) == 2.0
    np.testing.assert_array_equal(nrx.vm.sqrt(np.arange(4)[::-1]), nrx.vm.sqrt(np.array([3.0, 2.0, 1.0, 0.0])))
    base = np.zeros((4, 6))
    o = base[:, :3]  # no single step: computed in a temporary and copied back
    x = np.linspace(0.1, 1.2, 12).reshape(4, 3)
    assert nrx.vm.exp(x, out=o) is o
    np.testing.assert_array_equal(o, nrx.vm.exp(x.copy()))
    np.testing.assert_array_equal(base[:, 3:], 0.0)
    s, c = nrx.vm.sin_cos(np.zeros(5))
    np.testing.assert_array_equal((s, c), (np.zeros(5), np.ones(5)))


BAD = [  # call, exception
    (lambda: nrx.vm.exp(np.ones(3), accuracy="xx"), ValueError),
    (lambda: nrx.vm.exp(np.ones(3), out=np.ones(3, np.float32)), TypeError),
    (lambda: nrx.vm.exp(np.ones(3), out=np.ones(4)), ValueError),
    (lambda: nrx.vm.exp(np.array(["a"])), TypeError),
    (lambda: nrx.vm.erf(np.ones(2, np.complex128)), TypeError),
    (lambda: nrx.vm.exp(np.ones(3), np.ones(3)), TypeError),
    (lambda: nrx.vm.exp(np.ones(3), bogus=1), TypeError),
    (lambda: nrx.vm.pack_v(np.ones(3), [0, 3]), ValueError),
    (lambda: nrx.vm.unpack_i(np.ones(3), np.zeros(4), 2), ValueError),
    (lambda: nrx.vm.mode(accuracy="hi").__enter__(), ValueError),
]


@pytest.mark.parametrize("call,exc", BAD)
def test_bad_arguments(call, exc):
    """Bad arguments raise before the library is called, and leave out untouched."""
    with pytest.raises(exc):
        call()


def test_catalogue_names_every_function():
    """Each catalogue function is callable by its snake_case name with its own types."""
    assert len(nrx.vm.info) == len(nrx.vm.functions) >= 80
    for name, f in nrx.vm.info.items():
        assert callable(getattr(nrx.vm, name)) and set(f.types) <= set("sdcz")
    assert nrx.vm.info["exp"].types == "sdcz" and nrx.vm.info["erf"].types == "sd"


def test_out_untouched_on_refusal():
    o = np.full(3, 7.0)
    with pytest.raises(TypeError):
        nrx.vm.add(np.ones(3), np.ones(3), np.ones(3), out=o)
    np.testing.assert_array_equal(o, 7.0)


@pytest.mark.parametrize("dt", [np.float32, np.float64, np.complex64, np.complex128])
def test_pack_unpack_against_numpy_indexing(dt):
    a = (np.arange(10) * (1 + 1j if np.dtype(dt).kind == "c" else 1)).astype(dt)
    mask = np.array([0, 1, 0, 1, 1, 0, 0, 0, 1, 0])
    np.testing.assert_array_equal(nrx.vm.pack_i(a, 3), a[::3])
    np.testing.assert_array_equal(nrx.vm.pack_v(a, [9, 0, 4]), a[[9, 0, 4]])
    np.testing.assert_array_equal(nrx.vm.pack_m(a, mask), a[mask != 0])
    y = np.zeros(10, dt)
    nrx.vm.unpack_i(a[:4], y, 3)
    np.testing.assert_array_equal(y[::3], a[:4])
    y = np.full(10, -1, dt)
    nrx.vm.unpack_m(a[:4], y, mask)
    want = np.full(10, -1, dt)
    want[mask != 0] = a[:4]
    np.testing.assert_array_equal(y, want)
    y = np.zeros(10, dt)
    nrx.vm.unpack_v(a[:3], y, [5, 1, 7])
    np.testing.assert_array_equal(y[[5, 1, 7]], a[:3])


def test_mode_is_per_thread():
    """A mode block in one thread changes neither the flavour nor the error policy of another."""
    import threading
    seen = {}

    def other():
        seen["mode"] = nrx.vm.get_mode() & 0xF
        try:
            nrx.vm.ln(np.array([-1.0]))
        except nrx.VMError:
            seen["raised"] = True

    with nrx.vm.mode(accuracy="ep", errors="ignore"):
        t = threading.Thread(target=other)
        t.start()
        t.join()
        nrx.vm.ln(np.array([-1.0]))
    assert seen == {"mode": 2, "raised": True}
