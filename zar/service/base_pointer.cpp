// The thread's interface base pointer: when set, the error routine counts
// element indices from it rather than from the array passed to the kernel.
#include "zar/service/error.h"

namespace {

const void* set_base(const void* p) {
  nrx::zar::thread_record()->base = p;
  return p;
}

}  // namespace

extern "C" {
NRX_ZAR_API const void* zarSetInterfInputVectorPointer(const void* p) { return set_base(p); }
NRX_ZAR_API const void* nrx_zar_kernel_SetInterfInputVectorPointer(const void* p) { return set_base(p); }
}
