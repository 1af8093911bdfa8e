// Internal view of the summary statistics task: integer reads by the task's width,
// storage-code decoding and the layout checks of the record.
#pragma once
#include <cstddef>
#include <cstdint>

#include "nrx/stats.h"

namespace nrx::stats {

// The C entries of an estimator: drudSS<Name> and drusSS<Name> run fn<double> and fn<float>
// with the task, the estimate and method words and the threading table.
#define NRX_SS_ENTRIES(Name, fn)                                                                    \
  extern "C" NRX_SS_API int32_t drudSS##Name(NrxSSTask* task, uint64_t estimates, uint64_t methods, \
                                             const nrx_threading* threading) {                      \
    return fn<double>(task, estimates, methods, threading);                                         \
  }                                                                                                 \
  extern "C" NRX_SS_API int32_t drusSS##Name(NrxSSTask* task, uint64_t estimates, uint64_t methods, \
                                             const nrx_threading* threading) {                      \
    return fn<float>(task, estimates, methods, threading);                                          \
  }

static_assert(offsetof(NrxSSTask, dimension) == 16, "field 4 at 16");
static_assert(offsetof(NrxSSTask, stream_state) == 416, "field 54 at 416");
static_assert(offsetof(NrxSSTask, estimates) == 632, "field 81 at 632");
static_assert(offsetof(NrxSSTask, mahalanobis) == 640, "fields 82-89 at 640");
static_assert(offsetof(NrxSSTask, cleanup_count) == 704, "field 90 at 704");
static_assert(offsetof(NrxSSTask, cleanup) == 712, "field 91 at 712");
static_assert(offsetof(NrxSSTask, basic_buffer) == 736, "field 94 at 736");
static_assert(sizeof(NrxSSTask) == 744, "task record is 744 bytes");

// Reads the int behind `p` at the task's integer width (sign-extended from 32 bits).
inline int64_t read_int(const NrxSSTask* t, const void* p) {
  return t->int64_flag ? *static_cast<const int64_t*>(p) : int64_t(*static_cast<const int32_t*>(p));
}

inline bool valid_layout(int64_t code) { return code == NRX_SS_STORAGE_ROWS || code == NRX_SS_STORAGE_COLUMNS; }

// Matrix storage code, tested bit-wise; a missing address means full storage.
inline int matrix_storage(const NrxSSTask* t, const void* p) {
  if (!p) return NRX_SS_MATRIX_FULL;
  const int64_t c = read_int(t, p);
  return (c & 2) ? NRX_SS_MATRIX_PACKED_B : (c & 1) ? NRX_SS_MATRIX_PACKED_A : NRX_SS_MATRIX_FULL;
}

// Position of a(i, j), i <= j, of a symmetric p x p matrix in the given storage.
inline int64_t packed_index(int storage, int64_t p, int64_t i, int64_t j) {
  switch (storage) {
    case NRX_SS_MATRIX_PACKED_A: return i + j * (j + 1) / 2;
    case NRX_SS_MATRIX_PACKED_B: return i * p - i * (i - 1) / 2 + (j - i);
    default: return i * p + j;
  }
}

// True when component j takes part (no index array: every component).
inline bool selected(const NrxSSTask* t, int64_t j) {
  if (!t->indices) return true;
  return t->int64_flag ? static_cast<const int64_t*>(t->indices)[j] != 0
                       : static_cast<const int32_t*>(t->indices)[j] != 0;
}

}  // namespace nrx::stats
