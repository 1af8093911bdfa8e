// The peers of the pack and unpack kernels: the loops of their definitions, as the compiler
// makes them at -O3 -march=native.
#pragma once
#include <cstdint>

#include "nrx/zar.h"

namespace nrx::bench {

template <class T> struct Loops {
  static void packI(int32_t n, const T* a, int32_t inca, T* y);
  static void packV(int32_t n, const T* a, const int32_t* ia, T* y);
  static void packM(int32_t n, const T* a, const int32_t* ma, T* y);
  static void unpackI(int32_t n, const T* a, T* y, int32_t incy);
  static void unpackV(int32_t n, const T* a, T* y, const int32_t* iy);
  static void unpackM(int32_t n, const T* a, T* y, const int32_t* my);
};

}  // namespace nrx::bench
