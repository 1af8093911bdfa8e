// The thread's error status.
#include "zar/service/error.h"

namespace {

int32_t get_status() { return nrx::zar::thread_record()->status; }

int32_t exchange_status(int32_t status) {
  nrx::zar::ThreadRecord* record = nrx::zar::thread_record();
  const int32_t previous = record->status;
  record->status = status;
  return previous;
}

}  // namespace

extern "C" {
NRX_ZAR_API int32_t zarGetErrStatus(void) { return get_status(); }
NRX_ZAR_API int32_t nrx_zar_kernel_GetErrStatus(void) { return get_status(); }
NRX_ZAR_API int32_t zarSetErrStatus(int32_t status) { return exchange_status(status); }
NRX_ZAR_API int32_t nrx_zar_kernel_SetErrStatus(int32_t status) { return exchange_status(status); }
NRX_ZAR_API int32_t zarClearErrStatus(void) { return exchange_status(ZAR_ST_NONE); }
NRX_ZAR_API int32_t nrx_zar_kernel_ClearErrStatus(void) { return exchange_status(ZAR_ST_NONE); }
}
