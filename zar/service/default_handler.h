// The default handling of an element error: errno, messages, x87 exception.
#pragma once
#include <cstdint>

#include "nrx/zar.h"

namespace nrx::zar {

// Runs the steps that `mode`'s error-handling field selects, in this order:
// ZAR_ERRMODE_ERRNO sets errno from the record's code, ZAR_ERRMODE_STDERR
// prints the record through the core message catalogue, ZAR_ERRMODE_EXCEPT
// raises the code's x87 exception (delivered as SIGFPE when the mode's trap
// bits unmask it).
void run_default_handler(const ZarErrorContext& record, uint32_t mode);

}  // namespace nrx::zar
