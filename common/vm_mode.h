// The thread's vector-math mode word and error callback, set for one scope
// and restored exactly (word and callback as they were) on every way out of it.
#pragma once

#include <cstdint>

#include "nrx/zar.h"
#include "zar/service/error.h"

namespace nrx::common {

// Vector math inside the library: denormals kept (no flushing).
inline constexpr uint32_t kInternalMode = ZAR_FTZDAZ_OFF;
// Error handling by the callback alone.
inline constexpr uint32_t kCallbackOnly = ZAR_ERRMODE_CALLBACK;

class VmModeGuard {
 public:
  // Sets the fields of `mode` that are non-zero; a callback is installed for the scope too.
  explicit VmModeGuard(uint32_t mode, ZarCallBack callback = nullptr) : record_(nrx::zar::thread_record()) {
    if (record_) {
      old_mode_ = record_->mode;
      old_callback_ = record_->callback;
    }
    if (callback) {
      const ZarCallBack previous = nrx_zar_kernel_SetErrorCallBack(callback);
      if (!record_) old_callback_ = previous;
    }
    const uint32_t previous = nrx_zar_kernel_SetMode(mode);
    if (!record_) old_mode_ = previous;
    with_callback_ = callback != nullptr;
  }
  ~VmModeGuard() {
    if (record_) {
      // The setters cannot clear a field, so the saved word goes back as it was.
      record_->mode = old_mode_;
      record_->callback = old_callback_;
      return;
    }
    if (with_callback_) nrx_zar_kernel_SetErrorCallBack(old_callback_);
    nrx_zar_kernel_SetMode(old_mode_);
  }
  VmModeGuard(const VmModeGuard&) = delete;
  VmModeGuard& operator=(const VmModeGuard&) = delete;

 private:
  nrx::zar::ThreadRecord* record_;
  uint32_t old_mode_ = 0;
  ZarCallBack old_callback_ = nullptr;
  bool with_callback_ = false;
};

}  // namespace nrx::common
