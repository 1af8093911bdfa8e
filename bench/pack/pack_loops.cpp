#include "pack_loops.h"

namespace nrx::bench {

template <class T> void Loops<T>::packI(int32_t n, const T* a, int32_t inca, T* y) {
  for (int32_t i = 0; i < n; ++i) y[i] = a[int64_t(i) * inca];
}
template <class T> void Loops<T>::packV(int32_t n, const T* a, const int32_t* ia, T* y) {
  for (int32_t i = 0; i < n; ++i) y[i] = a[ia[i]];
}
template <class T> void Loops<T>::packM(int32_t n, const T* a, const int32_t* ma, T* y) {
  for (int32_t i = 0, k = 0; i < n; ++i)
    if (ma[i] != 0) y[k++] = a[i];
}
template <class T> void Loops<T>::unpackI(int32_t n, const T* a, T* y, int32_t incy) {
  for (int32_t i = 0; i < n; ++i) y[int64_t(i) * incy] = a[i];
}
template <class T> void Loops<T>::unpackV(int32_t n, const T* a, T* y, const int32_t* iy) {
  for (int32_t i = 0; i < n; ++i) y[iy[i]] = a[i];
}
template <class T> void Loops<T>::unpackM(int32_t n, const T* a, T* y, const int32_t* my) {
  for (int32_t i = 0, k = 0; i < n; ++i)
    if (my[i] != 0) y[i] = a[k++];
}

template struct Loops<float>;
template struct Loops<double>;
template struct Loops<NrxComplex8>;
template struct Loops<NrxComplex16>;

}  // namespace nrx::bench
