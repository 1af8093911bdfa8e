// Work blocks from the core allocator (128-byte aligned), released on scope exit.
#pragma once

#include <cstddef>

#include "nrx/core.h"

namespace nrx::common {

template <class T> struct Buffer {
  T* p = nullptr;
  // One spare byte keeps a zero-length request from looking like a failure.
  explicit Buffer(size_t n) : p(static_cast<T*>(nrx_serv_allocate(n * sizeof(T) + 1, 128))) {}
  ~Buffer() { nrx_serv_deallocate(p); }
  Buffer(const Buffer&) = delete;
  Buffer& operator=(const Buffer&) = delete;
  T& operator[](size_t i) { return p[i]; }
  T* get() const { return p; }
  explicit operator bool() const { return p != nullptr; }
};

// One buffer of `per_thread` elements for each of `threads` threads.
template <class T> struct ThreadBuffers {
  Buffer<T> all;
  size_t per_thread;
  ThreadBuffers(size_t threads, size_t per) : all(threads * per), per_thread(per) {}
  T* of(int64_t thread) const { return all.p + size_t(thread) * per_thread; }
  explicit operator bool() const { return bool(all); }
};

}  // namespace nrx::common
