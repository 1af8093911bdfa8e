// The thread's error callback. Registering one turns on callback handling in
// the mode word, removing it turns that off.
#include "zar/service/error.h"
#include "zar/service/mode.h"

namespace {

ZarCallBack get_callback() { return nrx::zar::thread_record()->callback; }

ZarCallBack exchange_callback(ZarCallBack callback) {
  nrx::zar::ThreadRecord* record = nrx::zar::thread_record();
  const ZarCallBack previous = record->callback;
  record->callback = callback;
  // Goes through set_mode, so an error-handling field that would become 0
  // (callback handling alone, then removed) is not applied.
  uint32_t errmode = nrx::zar::current_mode() & ZAR_ERRMODE_MASK;
  errmode = callback != nullptr ? (errmode | ZAR_ERRMODE_CALLBACK) : (errmode & ~ZAR_ERRMODE_CALLBACK);
  nrx::zar::set_mode(errmode);
  return previous;
}

}  // namespace

extern "C" {
NRX_ZAR_API ZarCallBack zarGetErrorCallBack(void) { return get_callback(); }
NRX_ZAR_API ZarCallBack nrx_zar_kernel_GetErrorCallBack(void) { return get_callback(); }
NRX_ZAR_API ZarCallBack zarSetErrorCallBack(ZarCallBack callback) { return exchange_callback(callback); }
NRX_ZAR_API ZarCallBack nrx_zar_kernel_SetErrorCallBack(ZarCallBack callback) { return exchange_callback(callback); }
NRX_ZAR_API ZarCallBack zarClearErrorCallBack(void) { return exchange_callback(nullptr); }
NRX_ZAR_API ZarCallBack nrx_zar_kernel_ClearErrorCallBack(void) { return exchange_callback(nullptr); }
}
