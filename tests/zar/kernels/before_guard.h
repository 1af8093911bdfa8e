// An array whose last byte is the last before a page the process may not read: a load past
// its last element faults.
#pragma once
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>

namespace nrx::testing {

template <class T> class BeforeGuard {
 public:
  explicit BeforeGuard(size_t count) {
    const size_t page = size_t(sysconf(_SC_PAGESIZE)), span = count * sizeof(T);
    bytes_ = ((span + page - 1) / page + 1) * page;
    void* mem = mmap(nullptr, bytes_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mem == MAP_FAILED) return;
    mem_ = static_cast<unsigned char*>(mem);
    if (mprotect(mem_ + bytes_ - page, page, PROT_NONE) != 0) return;
    data_ = reinterpret_cast<T*>(mem_ + bytes_ - page - span);
  }
  ~BeforeGuard() {
    if (mem_) munmap(mem_, bytes_);
  }
  BeforeGuard(const BeforeGuard&) = delete;
  BeforeGuard& operator=(const BeforeGuard&) = delete;
  // The array, or null when the pages could not be set up.
  T* data() const { return data_; }

 private:
  unsigned char* mem_ = nullptr;
  size_t bytes_ = 0;
  T* data_ = nullptr;
};

}  // namespace nrx::testing
