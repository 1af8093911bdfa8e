// The data fitting task: creation, deletion, edits, queries and the partition
// lookup table. A refused edit keeps the fields it had not stored yet; an edit that
// replaces an owned array releases the old one first and leaves null when the
// new one cannot be had.
#include <cstring>

#include "fit/common.h"

namespace nrx::fit {
namespace {

constexpr uint32_t kEmpty = 0xFFFFFFFFu;

// Pointer array for the function values of `y` under y hint `yhint`.
template <class T> const void** make_value_pointers(const T* y, int64_t nx, int64_t ny, int64_t yhint) {
  int64_t n = yhint == DFK_COLS ? 1 : ny;
  auto** p = pointer_array<const void*>(n > 0 ? n : 1);
  if (!p) return nullptr;
  if (yhint == DFK_COLS || yhint == DFK_BY_FUNC) {
    p[0] = y;
  } else {
    for (int64_t i = 0; i < n; ++i) p[i] = y + i * nx;
  }
  return p;
}

template <class T> void** make_coeff_pointers(T* c, int64_t ny, int64_t stride, int64_t hint) {
  auto** p = pointer_array<void*>(ny);
  if (!p) return nullptr;
  for (int64_t i = 0; i < ny; ++i) p[i] = (hint & DFK_BY_FUNC) ? nullptr : c + i * stride;
  p[0] = c;
  return p;
}

// Releases the coefficient pointer array, then makes the one for `c` under `hint`
// with the stride of the task's current order, type and nx; null when that fails.
template <class T> int32_t replace_coeff_pointers(DfTask* t, T* c, int64_t hint) {
  free_pointer_array(t->coeff);
  t->coeff = make_coeff_pointers(c, t->ny, coeff_stride(t->order, t->type, t->nx), hint);
  return t->coeff ? DFK_OK : DFK_ERR_ALLOC;
}

// Builds the lookup table of bins over [x[0], x[nx-1]]: entry k holds (low, high)
// with x[low] <= t < x[high] for every t of bin k.
template <class T> int32_t build_table(DfTask* t) {
  const T* x = static_cast<const T*>(t->x);
  const int64_t nx = t->nx;
  int64_t nbins = std::clamp<int64_t>(nx / 16, 16, 1024);
  auto* tab = static_cast<uint32_t*>(nrx_serv_allocate(sizeof(uint32_t) * 2 * (nbins + 2), 128));
  if (!tab) return DFK_ERR_ALLOC;
  for (int64_t k = 0; k < 2 * (nbins + 2); ++k) tab[k] = kEmpty;
  auto low = [&](int64_t k) -> uint32_t& { return tab[2 * k]; };
  auto high = [&](int64_t k) -> uint32_t& { return tab[2 * k + 1]; };
  low(0) = 0;
  const T scale = T(nbins) / (x[nx - 1] - x[0]);
  for (int64_t i = 1; i < nx; ++i) {
    const T v = scale * (x[i] - x[0]);
    const int64_t b = v >= T(nbins) ? nbins : v > T(0) ? static_cast<int64_t>(v) : 0;
    if (b != 0) {
      if (high(b - 1) == kEmpty) high(b - 1) = static_cast<uint32_t>(i);
      low(b + 1) = static_cast<uint32_t>(i);
    }
  }
  high(nbins - 1) = static_cast<uint32_t>(nx - 1);
  for (int64_t k = 1; k < nbins; ++k)
    if (low(k) == kEmpty) low(k) = low(k - 1);
  for (int64_t k = nbins - 2; k >= 0; --k)
    if (high(k) == kEmpty) high(k) = high(k + 1);
  low(nbins) = low(nbins - 1);
  high(nbins) = high(nbins - 1);
  nrx_serv_deallocate(t->table);
  t->table = tab;
  t->nbins = nbins;
  if constexpr (sizeof(T) == 8) t->scale.d = scale;
  else t->scale.s = scale;
  return DFK_OK;
}

int32_t rebuild_table(DfTask* t) { return t->precision ? build_table<double>(t) : build_table<float>(t); }

template <class T> int32_t new_task(DfTask** out, int64_t nx, const T* x, int64_t xhint, int64_t ny, const T* y,
                                    int64_t yhint, int32_t intwidth) {
  if (nx < 2) return DFK_ERR_NX;
  if (!x) return DFK_ERR_X;
  if (xhint != 0 && xhint != 1 && xhint != 2 && xhint != 4) return DFK_ERR_XHINT;
  if (ny == 0 && y) return DFK_ERR_NY;
  if (ny != 0 && !y) return DFK_ERR_Y;
  if (!valid_storage_hint(yhint)) return DFK_ERR_YHINT;
  auto* t = static_cast<DfTask*>(nrx_serv_allocate(sizeof(DfTask), 128));
  if (!t) return DFK_ERR_ALLOC;
  std::memset(static_cast<void*>(t), 0, sizeof(DfTask));
  if (out) *out = t;
  t->nx = nx;
  t->x = x;
  t->xhint = xhint;
  t->ny = ny;
  t->yhint = yhint;
  t->intwidth = intwidth;
  t->tag = 4;
  t->precision = sizeof(T) == 8;
  t->dimension = 1;
  if (y) {
    t->y = make_value_pointers(y, nx, ny, yhint);
    if (!t->y) return DFK_ERR_ALLOC;
  }
  if (xhint == DFK_UNIFORM) return DFK_OK;
  return build_table<T>(t);
}

// Common head of the edit and query operations: 1 means "return 0 now".
inline int32_t head(const DfTask* t, int32_t* st) {
  if (!t) {
    *st = DFK_ERR_NULL_TASK;
    return 1;
  }
  if (t->dimension != 1) {
    *st = DFK_OK;
    return 1;
  }
  return 0;
}

template <class T> int32_t edit_ptr(DfTask* t, int64_t item, const T* ptr) {
  int32_t st;
  if (head(t, &st)) return st;
  switch (item) {
    case DFK_ITEM_X:
      if (!ptr) return DFK_ERR_X;
      t->x = ptr;
      return DFK_OK;
    case DFK_ITEM_Y: {
      if (!ptr) return DFK_ERR_Y;
      free_pointer_array(t->y);
      t->y = make_value_pointers(ptr, t->nx, t->ny, t->yhint);
      return t->y ? DFK_OK : DFK_ERR_ALLOC;
    }
    case DFK_ITEM_IC:
      if (!ptr) return DFK_ERR_IC;
      t->ic = ptr;
      return DFK_OK;
    case DFK_ITEM_BC:
      if (!ptr) return DFK_ERR_BC;
      t->bc = ptr;
      return DFK_OK;
    case DFK_ITEM_COEFF: {
      if (!ptr) return DFK_ERR_COEFF;
      if (t->ny <= 0) return DFK_ERR_NY;
      return replace_coeff_pointers(t, const_cast<T*>(ptr), t->coeff_hint);
    }
    default: return DFK_ERR_ITEM;
  }
}

template <class T> int32_t query_ptr(DfTask* t, int64_t item, const T** out) {
  int32_t st;
  if (!t) return DFK_ERR_NULL_TASK;
  if (!out) return DFK_ERR_NULL_OUT;
  if (head(t, &st)) return st;
  switch (item) {
    case DFK_ITEM_X: *out = static_cast<const T*>(t->x); return DFK_OK;
    case DFK_ITEM_Y: *out = t->y ? static_cast<const T*>(t->y[0]) : nullptr; return DFK_OK;
    case DFK_ITEM_IC: *out = static_cast<const T*>(t->ic); return DFK_OK;
    case DFK_ITEM_BC: *out = static_cast<const T*>(t->bc); return DFK_OK;
    case DFK_ITEM_COEFF: *out = t->coeff ? static_cast<const T*>(t->coeff[0]) : nullptr; return DFK_OK;
    default: return DFK_ERR_ITEM;
  }
}

int32_t edit_idx_ptr(DfTask* t, int64_t item, int64_t index, const void* ptr) {
  int32_t st;
  if (head(t, &st)) return st;
  if (item == DFK_ITEM_Y) {
    if (t->yhint == DFK_COLS) return DFK_ERR_YHINT;
    if (index < 0 || index >= t->ny) return DFK_ERR_INDEX;
    if (!ptr) return DFK_ERR_Y;
    if (index >= pointer_array_size(t->y)) return DFK_ERR_Y;
    t->y[index] = ptr;
    return DFK_OK;
  }
  if (item == DFK_ITEM_COEFF) {
    if (index < 0 || index >= t->ny) return DFK_ERR_INDEX;
    if (!ptr) return DFK_ERR_COEFF;
    if (!t->coeff) {
      auto** p = pointer_array<void*>(t->ny);
      if (!p) return DFK_ERR_ALLOC;
      t->coeff = p;
    }
    if (index >= pointer_array_size(t->coeff)) return DFK_ERR_COEFF;
    t->coeff[index] = const_cast<void*>(ptr);
    return DFK_OK;
  }
  return DFK_ERR_ITEM;
}

template <class T> int32_t query_idx_ptr(DfTask* t, int64_t item, int64_t index, const T** out) {
  int32_t st;
  if (!t) return DFK_ERR_NULL_TASK;
  if (!out) return DFK_ERR_NULL_OUT;
  if (head(t, &st)) return st;
  if (item != DFK_ITEM_Y && item != DFK_ITEM_COEFF) return DFK_ERR_ITEM;
  if (index < 0 || index >= t->ny) return DFK_ERR_INDEX;
  if (item == DFK_ITEM_Y) {
    if (t->yhint == DFK_COLS) return DFK_ERR_YHINT;
    *out = index < pointer_array_size(t->y) ? static_cast<const T*>(t->y[index]) : nullptr;
  } else {
    *out = index < pointer_array_size(t->coeff) ? static_cast<const T*>(t->coeff[index]) : nullptr;
  }
  return DFK_OK;
}

// The integer items: where each lives and which values it accepts.
struct IntItem {
  int64_t id;
  int32_t status;  // when the value is refused
  bool (*accepts)(int64_t);
};

const IntItem kIntItems[] = {
    {DFK_ITEM_NX, DFK_ERR_NX, [](int64_t v) { return v >= 2; }},
    {DFK_ITEM_XHINT, DFK_ERR_XHINT, [](int64_t v) { return v == 0 || v == 1 || v == 2 || v == 4; }},
    {DFK_ITEM_NY, DFK_ERR_NY, [](int64_t v) { return v >= 1; }},
    {DFK_ITEM_YHINT, DFK_ERR_YHINT, valid_storage_hint},
    {DFK_ITEM_ORDER, DFK_ERR_ORDER, [](int64_t v) { return v >= 0; }},
    {DFK_ITEM_TYPE, DFK_ERR_TYPE, [](int64_t v) { return (v >= 0 && v <= 5) || v == 9; }},
    {DFK_ITEM_IC_TYPE, DFK_ERR_IC_TYPE, [](int64_t v) { return v == 0 || v == 1 || v == 2 || (v & 8) != 0; }},
    {DFK_ITEM_BC_TYPE, DFK_ERR_BC_TYPE, [](int64_t v) { return v >= 0; }},
    {DFK_ITEM_COEFF_HINT, DFK_ERR_COEFF_HINT, valid_storage_hint},
    {DFK_ITEM_AUX_FLAG, DFK_ERR_FLAG_VALUE, [](int64_t v) { return v == 0 || v == 1; }},
};

const IntItem* find_item(int64_t id) {
  for (const auto& it : kIntItems)
    if (it.id == id) return &it;
  return nullptr;
}

int64_t* int_field(DfTask* t, int64_t id) {
  switch (id) {
    case DFK_ITEM_NX: return &t->nx;
    case DFK_ITEM_XHINT: return &t->xhint;
    case DFK_ITEM_NY: return &t->ny;
    case DFK_ITEM_YHINT: return &t->yhint;
    case DFK_ITEM_ORDER: return &t->order;
    case DFK_ITEM_TYPE: return &t->type;
    case DFK_ITEM_IC_TYPE: return &t->ic_type;
    case DFK_ITEM_BC_TYPE: return &t->bc_type;
    case DFK_ITEM_COEFF_HINT: return &t->coeff_hint;
    default: return nullptr;
  }
}

int32_t edit_val(DfTask* t, int64_t item, int64_t v) {
  int32_t st;
  if (head(t, &st)) return st;
  const IntItem* it = find_item(item);
  if (!it) return DFK_ERR_ITEM;
  if (!it->accepts(v)) return it->status;
  if (item == DFK_ITEM_AUX_FLAG) {
    t->aux_flag = static_cast<int32_t>(v);
    return DFK_OK;
  }
  if (item == DFK_ITEM_XHINT && v == DFK_NON_UNIFORM) {
    // Build the table for the new hint first; keep the task intact if that fails.
    int64_t old = t->xhint;
    t->xhint = v;
    int32_t s = rebuild_table(t);
    if (s != DFK_OK) t->xhint = old;
    return s;
  }
  *int_field(t, item) = v;
  return DFK_OK;
}

int32_t query_val(DfTask* t, int64_t item, void* out) {
  int32_t st;
  if (!t) return DFK_ERR_NULL_TASK;
  if (!out) return DFK_ERR_NULL_OUT;
  if (head(t, &st)) return st;
  if (!find_item(item)) return DFK_ERR_ITEM;
  int64_t v = item == DFK_ITEM_AUX_FLAG ? int64_t(t->aux_flag) : *int_field(t, item);
  if (t->intwidth) std::memcpy(out, &v, 8);
  else {
    int32_t w = static_cast<int32_t>(v);
    std::memcpy(out, &w, 4);
  }
  return DFK_OK;
}

bool bc_needs_array(int64_t bc_type) { return !(bc_type == 0 || bc_type == 1 || bc_type == 2 || bc_type == 64); }

template <class T> int32_t edit_pp_spline(DfTask* t, int64_t order, int64_t type, int64_t bc_type, const T* bc,
                                          int64_t ic_type, const T* ic, T* scoeff, int64_t hint) {
  if (!t) return DFK_ERR_NULL_TASK;
  if (t->dimension != 1) return DFK_OK;
  if (order < 0) return DFK_ERR_ORDER;
  if (type < 0) return DFK_ERR_TYPE;
  // Each step stores what it has checked; a later refusal leaves the earlier steps' fields.
  t->order = order;
  t->type = type;
  if (bc_needs_array(bc_type) && !bc) return DFK_ERR_BC;
  t->bc_type = bc_type;
  t->bc = bc;
  if (ic_type == 0 && ic) return DFK_ERR_IC_TYPE;
  if (ic_type != 0 && !ic) return DFK_ERR_IC;
  t->ic_type = ic_type;
  t->ic = ic;
  if (scoeff) {
    if (t->ny <= 0) return DFK_ERR_NY;
    if (int32_t st = replace_coeff_pointers(t, scoeff, hint)) return st;
  }
  t->coeff_hint = hint;
  return DFK_OK;
}

}  // namespace
}  // namespace nrx::fit

using namespace nrx::fit;

extern "C" {

NRX_FIT_API int32_t nrx_df_kernel_dNewTask1D(DfTask** task, int64_t nx, const double* x, int64_t xhint, int64_t ny,
                                             const double* y, int64_t yhint, int32_t intwidth) {
  return new_task(task, nx, x, xhint, ny, y, yhint, intwidth);
}
NRX_FIT_API int32_t nrx_df_kernel_sNewTask1D(DfTask** task, int64_t nx, const float* x, int64_t xhint, int64_t ny,
                                             const float* y, int64_t yhint, int32_t intwidth) {
  return new_task(task, nx, x, xhint, ny, y, yhint, intwidth);
}

NRX_FIT_API int32_t nrx_df_kernel_DeleteTask(DfTask** task) {
  if (!task || !*task) return DFK_ERR_NULL_TASK;
  DfTask* t = *task;
  free_pointer_array(t->y);
  free_pointer_array(t->coeff);
  nrx_serv_deallocate(t->table);
  nrx_serv_deallocate(t);
  *task = nullptr;
  return DFK_OK;
}

NRX_FIT_API int32_t nrx_df_kernel_dEditPtr(DfTask* t, int64_t item, const double* p) { return edit_ptr(t, item, p); }
NRX_FIT_API int32_t nrx_df_kernel_sEditPtr(DfTask* t, int64_t item, const float* p) { return edit_ptr(t, item, p); }
NRX_FIT_API int32_t nrx_df_kernel_dQueryPtr(DfTask* t, int64_t item, const double** o) { return query_ptr(t, item, o); }
NRX_FIT_API int32_t nrx_df_kernel_sQueryPtr(DfTask* t, int64_t item, const float** o) { return query_ptr(t, item, o); }
NRX_FIT_API int32_t nrx_df_kernel_dEditIdxPtr(DfTask* t, int64_t item, int64_t i, const void* p) {
  return edit_idx_ptr(t, item, i, p);
}
NRX_FIT_API int32_t nrx_df_kernel_sEditIdxPtr(DfTask* t, int64_t item, int64_t i, const void* p) {
  return edit_idx_ptr(t, item, i, p);
}
NRX_FIT_API int32_t nrx_df_kernel_dQueryIdxPtr(DfTask* t, int64_t item, int64_t i, const double** o) {
  return query_idx_ptr(t, item, i, o);
}
NRX_FIT_API int32_t nrx_df_kernel_sQueryIdxPtr(DfTask* t, int64_t item, int64_t i, const float** o) {
  return query_idx_ptr(t, item, i, o);
}
NRX_FIT_API int32_t nrx_df_kernel_iEditVal(DfTask* t, int64_t item, int64_t v) { return edit_val(t, item, v); }
NRX_FIT_API int32_t nrx_df_kernel_iQueryVal(DfTask* t, int64_t item, void* o) { return query_val(t, item, o); }

NRX_FIT_API int32_t nrx_df_kernel_dEditPPSpline1D(DfTask* t, int64_t order, int64_t type, int64_t bc_type,
                                                  const double* bc, int64_t ic_type, const double* ic, double* scoeff,
                                                  int64_t hint) {
  return edit_pp_spline(t, order, type, bc_type, bc, ic_type, ic, scoeff, hint);
}
NRX_FIT_API int32_t nrx_df_kernel_sEditPPSpline1D(DfTask* t, int64_t order, int64_t type, int64_t bc_type,
                                                  const float* bc, int64_t ic_type, const float* ic, float* scoeff,
                                                  int64_t hint) {
  return edit_pp_spline(t, order, type, bc_type, bc, ic_type, ic, scoeff, hint);
}

}  // extern "C"
