"""Shared pieces of the Python package tests: the C library through ctypes, as the
independent path to the same kernels."""
import ctypes as C
import os

import numpy as np
import pytest

BUILD = os.environ.get("NRX_BUILD_DIR", os.path.join(os.path.dirname(__file__), "..", "..", "build"))

CTYPES = {"s": C.c_float, "d": C.c_double}


@pytest.fixture(scope="session")
def clib():
    C.CDLL(os.path.join(BUILD, "lib", "libnrx_core.so"), mode=C.RTLD_GLOBAL)
    return C.CDLL(os.path.join(BUILD, "lib", "libnrx_zar_avx512.so"))


def ptr(a):
    return a.ctypes.data_as(C.c_void_p)
