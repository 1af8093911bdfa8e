// Work spread over the caller's threading table: the thread count it offers,
// blocks of work run over its item loop, and the first error any worker saw.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <type_traits>

#include "nrx/core.h"

namespace nrx::common {

// Threads the table offers (1 without a table or an item loop).
inline int64_t thread_count(const nrx_threading* th) {
  if (!th || !th->num_threads || !th->for_items) return 1;
  const int64_t n = th->num_threads();
  return n < 1 ? 1 : n;
}

template <class F> void block_trampoline(int64_t item, int64_t thread, int64_t, void* ctx) {
  (*static_cast<F*>(ctx))(item, thread);
}

// Runs f(block, thread) for block = 0..nblocks-1 on at most nthreads threads of
// the table; on the calling thread when one thread or one block suffices.
template <class F> void run_blocks(const nrx_threading* th, int64_t nblocks, int64_t nthreads, F&& f) {
  using G = std::remove_reference_t<F>;
  nthreads = std::min(nthreads, nblocks);
  if (nthreads <= 1 || !th || !th->for_items) {
    for (int64_t b = 0; b < nblocks; ++b) f(b, 0);
    return;
  }
  th->for_items(nblocks, nthreads, static_cast<void*>(&f), &block_trampoline<G>);
}

template <class F> void part_trampoline(int64_t part, int64_t, int64_t, void* ctx) { (*static_cast<F*>(ctx))(part); }

// Runs f(part) once for each part = 0..nparts-1, one part per thread of the
// table's thread loop; on the calling thread for a single part.
template <class F> void run_parts(const nrx_threading* th, int64_t nparts, F&& f) {
  using G = std::remove_reference_t<F>;
  if (nparts <= 1 || !th || !th->for_threads) {
    for (int64_t k = 0; k < nparts; ++k) f(k);
    return;
  }
  th->for_threads(nparts, static_cast<void*>(&f), &part_trampoline<G>);
}

// First negative status reported by any worker; later ones are dropped.
struct FirstError {
  std::atomic<int32_t> st{0};
  void set(int32_t s) {
    int32_t z = 0;
    if (s < 0) st.compare_exchange_strong(z, s);
  }
  int32_t get() const { return st.load(); }
};

}  // namespace nrx::common
