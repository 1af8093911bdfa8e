// Symmetric p x p matrices in the task's three storages, moved to and from a
// full column-major work matrix.
#pragma once
#include <cstdint>

#include "stats/task.h"

namespace nrx::stats {

// Full work matrix w (p x p, both triangles) from the stored matrix a.
template <class T> void unpack_sym(int storage, int64_t p, const T* a, T* w) {
  for (int64_t j = 0; j < p; ++j)
    for (int64_t i = 0; i <= j; ++i) w[i + j * p] = w[j + i * p] = a[packed_index(storage, p, i, j)];
}

// Stores the lower triangle of the full work matrix w (column-major) into a.
template <class T> void pack_sym_lower(int storage, int64_t p, const T* w, T* a) {
  for (int64_t j = 0; j < p; ++j)
    for (int64_t i = 0; i <= j; ++i) {
      const T v = w[j + i * p];
      a[packed_index(storage, p, i, j)] = v;
      if (storage == NRX_SS_MATRIX_FULL) a[j * p + i] = v;
    }
}

// Copies the lower triangle of a column-major matrix onto its upper triangle.
template <class T> void mirror_lower(int64_t p, T* w) {
  for (int64_t j = 0; j < p; ++j)
    for (int64_t i = j + 1; i < p; ++i) w[j + i * p] = w[i + j * p];
}

}  // namespace nrx::stats
