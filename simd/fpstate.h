// The floating-point state of a kernel call: x87 exceptions masked, MXCSR with or without
// flushing of denormals, both restored on exit with the call's sticky flags kept.
#pragma once
#include "simd/intrinsics.h"

#include <cstdint>

#include "simd/x87.h"

namespace nrx::simd {

constexpr uint32_t kMxcsrFlush = 0x9FC0;  // all masked, nearest, FTZ and DAZ
constexpr uint32_t kMxcsrPlain = 0x1F80;  // all masked, nearest, no flushing

class FpState {
 public:
  explicit FpState(bool flush_denormals) {
    cw_ = x87_control();
    if ((cw_ & 0x3F) != 0x3F) {
      x87_clear_exceptions();
      x87_set_control(uint16_t(cw_ | 0x3F));
      cw_changed_ = true;
    }
    csr_ = _mm_getcsr();
    const uint32_t want = flush_denormals ? kMxcsrFlush : kMxcsrPlain;
    if ((csr_ & 0xFFC0u) != want) {
      _mm_setcsr((csr_ & 0xFFFF003Fu) | want);
      csr_changed_ = true;
    }
    asm volatile("" ::: "memory");
  }
  ~FpState() {
    asm volatile("" ::: "memory");
    if (cw_changed_) x87_set_control(cw_);
    if (csr_changed_) _mm_setcsr(csr_ | (_mm_getcsr() & 0x3Fu));
  }
  FpState(const FpState&) = delete;
  FpState& operator=(const FpState&) = delete;

 private:
  uint32_t csr_ = 0;
  uint16_t cw_ = 0;
  bool cw_changed_ = false;
  bool csr_changed_ = false;
};

}  // namespace nrx::simd
