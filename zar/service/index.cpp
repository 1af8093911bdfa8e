// Function-table slot selection and the kernel-set identifier.
#include "zar/service/error.h"

namespace {

// Slot = accuracy code - 1 (LA 0, HA 1, EP 2); no range check.
int32_t slot_of(uint32_t mode) { return static_cast<int32_t>(mode & ZAR_ACCURACY_MASK) - 1; }

constexpr int32_t kCpuVersion = 11;  // the AVX-512 kernel set

}  // namespace

extern "C" {
NRX_ZAR_API int32_t nrx_zar_kernel_GetTTableIndex(void) { return slot_of(nrx::zar::current_mode()); }
NRX_ZAR_API int32_t nrx_zar_kernel_GetTTableIndexM(int32_t /*unused*/, uint32_t mode) { return slot_of(mode); }
NRX_ZAR_API int32_t dll_cpu_version(void) { return kCpuVersion; }
}
