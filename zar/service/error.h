// What the kernels need from the service layer: the calling thread's record,
// its mode word, and the error routine for one element.
#pragma once
#include <cstdint>
#include "nrx/zar.h"
namespace nrx::zar {
struct ThreadRecord {
  uint32_t mode;
  int32_t status;
  ZarCallBack callback;
  int32_t reserved[2];
  const void* base;
};
ThreadRecord* thread_record();  // creates the calling thread's record on first use
uint32_t current_mode();        // == nrx_zar_kernel_GetMode()
// The error routine. In/Out are float, double, NrxComplex8, NrxComplex16 (In may differ from Out:
// complex Abs/Arg take complex and write real, CIS takes real and writes complex).
// Element i of an array with stride s is p[i*s]. One-input kernels pass a for b; one-result kernels pass r for r1 and
// r2.
template <class In, class Out> void report_element_error(int32_t code, int64_t index, const In* a, int64_t inca,
                                                         const In* b, int64_t incb, Out* r1, int64_t incr1, Out* r2,
                                                         int64_t incr2, const char* name);
}  // namespace nrx::zar
