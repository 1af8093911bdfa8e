// Pack and unpack: gather strided, indexed or masked elements of a into consecutive
// elements of y, and scatter back. One kernel for every flavour; nothing is reported and
// the floating-point state is not touched. Counts, strides and index or mask entries are
// 32-bit when flag is 1 (the low word of the 64-bit count and stride), 64-bit otherwise.
#pragma once
#include <cstdint>

namespace nrx::zar::pack {

inline int64_t count_of(int64_t n, int32_t flag) { return flag == 1 ? int64_t(int32_t(n)) : n; }
inline int64_t entry(const void* p, int64_t i, int32_t flag) {
  return flag == 1 ? int64_t(static_cast<const int32_t*>(p)[i]) : static_cast<const int64_t*>(p)[i];
}

template <class T> void packI(int64_t n, const T* a, int64_t inca, T* y, int32_t flag) {
  n = count_of(n, flag);
  inca = count_of(inca, flag);
  for (int64_t i = 0; i < n; ++i) y[i] = a[i * inca];
}
template <class T> void packV(int64_t n, const T* a, const void* ia, T* y, int32_t flag) {
  n = count_of(n, flag);
  for (int64_t i = 0; i < n; ++i) y[i] = a[entry(ia, i, flag)];
}
template <class T> void packM(int64_t n, const T* a, const void* ma, T* y, int32_t flag) {
  n = count_of(n, flag);
  for (int64_t i = 0, k = 0; i < n; ++i)
    if (entry(ma, i, flag) != 0) y[k++] = a[i];
}
template <class T> void unpackI(int64_t n, const T* a, T* y, int64_t incy, int32_t flag) {
  n = count_of(n, flag);
  incy = count_of(incy, flag);
  for (int64_t i = 0; i < n; ++i) y[i * incy] = a[i];
}
template <class T> void unpackV(int64_t n, const T* a, T* y, const void* iy, int32_t flag) {
  n = count_of(n, flag);
  for (int64_t i = 0; i < n; ++i) y[entry(iy, i, flag)] = a[i];
}
template <class T> void unpackM(int64_t n, const T* a, T* y, const void* my, int32_t flag) {
  n = count_of(n, flag);
  for (int64_t i = 0, k = 0; i < n; ++i)
    if (entry(my, i, flag) != 0) y[i] = a[k++];
}

}  // namespace nrx::zar::pack
