// Mode-word helpers shared by the service functions.
#pragma once
#include <cstdint>

#include "nrx/zar.h"

namespace nrx::zar {

// The word a thread starts with when the environment does not set one.
inline constexpr uint32_t kInitialMode = ZAR_HA | ZAR_ERRMODE_DEFAULT;

// Replaces each field of the calling thread's mode word (accuracy, error
// handling, denormal handling, traps) for which `mode` is non-zero. Returns
// the previous word.
uint32_t set_mode(uint32_t mode);

// Whether a kernel running under `mode` flushes denormal inputs and results to zero.
inline constexpr bool flushes_denormals(uint32_t mode) { return (mode & ZAR_FTZDAZ_MASK) == ZAR_FTZDAZ_ON; }

}  // namespace nrx::zar
