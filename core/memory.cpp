// Aligned allocation and bounded copy.
#include "nrx/core.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

constexpr size_t kMinAlignment = 128;

bool is_power_of_two(size_t v) { return v != 0 && (v & (v - 1)) == 0; }

bool ranges_overlap(const void* a, const void* b, size_t n) {
  auto pa = reinterpret_cast<uintptr_t>(a);
  auto pb = reinterpret_cast<uintptr_t>(b);
  return pa < pb ? pb - pa < n : pa - pb < n;
}

}  // namespace

void* nrx_serv_allocate(size_t size, int32_t alignment) {
  size_t align = alignment > 0 ? static_cast<size_t>(alignment) : kMinAlignment;
  if (!is_power_of_two(align)) return nullptr;
  if (align < kMinAlignment) align = kMinAlignment;
  // No object may be larger than PTRDIFF_MAX bytes.
  if (size > static_cast<size_t>(PTRDIFF_MAX) - align) return nullptr;
  void* p = nullptr;
  // A zero-byte request still returns a unique block so that null keeps meaning failure.
  if (posix_memalign(&p, align, size != 0 ? size : 1) != 0) return nullptr;
  return p;
}

void nrx_serv_deallocate(void* p) { std::free(p); }

int32_t nrx_serv_memcpy_s(void* dst, size_t dst_size, const void* src, size_t count) {
  constexpr size_t kMaxSize = SIZE_MAX >> 1;
  constexpr int32_t kInvalid = 22;  // EINVAL
  constexpr int32_t kRange = 34;    // ERANGE
  if (dst == nullptr || dst_size > kMaxSize) return kInvalid;
  int32_t err = 0;
  if (src == nullptr) err = kInvalid;
  else if (count > dst_size) err = kRange;
  else if (ranges_overlap(dst, src, count)) err = kInvalid;
  if (err != 0) {
    std::memset(dst, 0, dst_size);
    return err;
  }
  if (count != 0) std::memcpy(dst, src, count);
  return 0;
}
