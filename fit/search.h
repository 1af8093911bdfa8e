// Cell search methods: one block of sites at a time, on the calling thread.
#pragma once

#include "fit/common.h"

namespace nrx::fit {

template <class T> using SearchCb = std::conditional_t<sizeof(T) == 8, nrx_df_dsearch_cb, nrx_df_ssearch_cb>;

// Everything a method needs, taken from the task and the caller's hints.
template <class T> struct SearchPlan {
  int method = DFK_SEARCH_HYBRID;
  int64_t nx = 0;
  const T* x = nullptr;  // breakpoints, or the two ends for a uniform partition
  T scale = 0;           // per method, see the public header
  const uint32_t* table = nullptr;
  SearchCb<T> cb = nullptr;
  void* params = nullptr;
};

// Chooses the method for a task; -1026 for a bad data hint.
template <class T> int32_t plan_search(const DfTask* t, int64_t sitehint, const T* datahint, SearchCb<T> cb,
                                       void* params, SearchPlan<T>* plan);

// Cells of n sites by one method. cursor: the sorted method's position (may be null).
template <class T> int32_t search_cells(int method, int64_t nx, const T* x, int64_t n, const T* site, T scale,
                                        const uint32_t* table, int64_t* cursor, SearchCb<T> cb, void* params,
                                        int32_t* cell);

// Cells of a block under a plan; the sorted method starts from the block's first site.
template <class T> int32_t search_block(const SearchPlan<T>& p, int64_t n, const T* site, int32_t* cell);

}  // namespace nrx::fit
