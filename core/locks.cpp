// Spin-then-yield lock on a caller-owned 32-bit word.
#include "nrx/core.h"

#include <immintrin.h>
#include <sched.h>
#include <atomic>

namespace {

constexpr int kSpinsBeforeYield = 64;

bool try_acquire(std::atomic_ref<int32_t> word) {
  int32_t expected = 0;
  return word.compare_exchange_weak(expected, 1, std::memory_order_acquire, std::memory_order_relaxed);
}

}  // namespace

void nrx_serv_lock(int32_t* lock) {
  std::atomic_ref<int32_t> word(*lock);
  int spins = 0;
  while (!try_acquire(word)) {
    // Wait on plain loads so the cache line is not bounced by failed exchanges.
    while (word.load(std::memory_order_relaxed) != 0) {
      if (++spins < kSpinsBeforeYield) {
        _mm_pause();
      } else {
        sched_yield();
        spins = 0;
      }
    }
  }
}

void nrx_serv_unlock(int32_t* lock) { std::atomic_ref<int32_t>(*lock).store(0, std::memory_order_release); }
