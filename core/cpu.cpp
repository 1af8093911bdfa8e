// Processor feature query.
#include "nrx/core.h"

#include <cpuid.h>

namespace {

constexpr unsigned kLeaf1EcxOsxsave = 1u << 27;
constexpr unsigned kLeaf7EbxAvx512f = 1u << 16;
constexpr unsigned kLeaf7EcxVaes = 1u << 9;
// XCR0: SSE and AVX state (bits 1-2) plus opmask, upper ZMM0-15 and ZMM16-31 (bits 5-7).
constexpr unsigned long long kXcr0Avx512 = 0xE6;

unsigned long long read_xcr0() {
  unsigned lo, hi;
  __asm__ volatile("xgetbv" : "=a"(lo), "=d"(hi) : "c"(0));
  return (static_cast<unsigned long long>(hi) << 32) | lo;
}

bool detect_vaes_avx512() {
  unsigned a, b, c, d;
  if (!__get_cpuid(1, &a, &b, &c, &d) || !(c & kLeaf1EcxOsxsave)) return false;
  if ((read_xcr0() & kXcr0Avx512) != kXcr0Avx512) return false;
  if (!__get_cpuid_count(7, 0, &a, &b, &c, &d)) return false;
  return (b & kLeaf7EbxAvx512f) && (c & kLeaf7EcxVaes);
}

}  // namespace

int32_t nrx_serv_cpuisicx(void) {
  static const bool supported = detect_vaes_avx512();
  return supported ? 1 : 0;
}
