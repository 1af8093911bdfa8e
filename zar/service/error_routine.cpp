// The error routine: what happens to one element whose result needed special
// treatment. Kernels call it in ascending element order.
#include <cstring>

#include "zar/service/default_handler.h"
#include "zar/service/error.h"

namespace nrx::zar {
namespace {

constexpr size_t kMaxNameLength = 47;
// Error-handling bits that call for the default handler: every bit but
// CALLBACK (the handler itself acts only on ERRNO, STDERR and EXCEPT).
constexpr uint32_t kDefaultHandling =
    ZAR_ERRMODE_IGNORE | ZAR_ERRMODE_ERRNO | ZAR_ERRMODE_STDERR | ZAR_ERRMODE_EXCEPT | ZAR_ERRMODE_NOERR;
static_assert(kDefaultHandling == 0x2F00);

// An element as the record holds it: widened to double, real and imaginary part.
void widen(float v, double& re, double& /*im*/) { re = v; }
void widen(double v, double& re, double& /*im*/) { re = v; }
void widen(const NrxComplex8& v, double& re, double& im) {
  re = v.real;
  im = v.imag;
}
void widen(const NrxComplex16& v, double& re, double& im) {
  re = v.real;
  im = v.imag;
}

void narrow(double re, double /*im*/, float& out) { out = static_cast<float>(re); }
void narrow(double re, double /*im*/, double& out) { out = re; }
void narrow(double re, double im, NrxComplex8& out) {
  out.real = static_cast<float>(re);
  out.imag = static_cast<float>(im);
}
void narrow(double re, double im, NrxComplex16& out) {
  out.real = re;
  out.imag = im;
}

void copy_name(ZarErrorContext& record, const char* name) {
  size_t length = 0;
  if (name != nullptr) {
    while (length < kMaxNameLength && name[length] != '\0') ++length;
    std::memcpy(record.name, name, length);
  }
  record.name[length] = '\0';
  record.name_length = static_cast<int32_t>(length);
}

// Element index counted from the interface base pointer, when one is set.
template <class In> int32_t reported_index(int64_t index, const In* a, const void* base) {
  if (base != nullptr) {
    const auto bytes = static_cast<int64_t>(reinterpret_cast<intptr_t>(a) - reinterpret_cast<intptr_t>(base));
    index += bytes / static_cast<int64_t>(sizeof(In));
  }
  return static_cast<int32_t>(index);
}

}  // namespace

template <class In, class Out> void report_element_error(int32_t code, int64_t index, const In* a, int64_t inca,
                                                         const In* b, int64_t incb, Out* r1, int64_t incr1, Out* r2,
                                                         int64_t incr2, const char* name) {
  const uint32_t mode = current_mode();
  const uint32_t errmode = mode & ZAR_ERRMODE_MASK;
  if (errmode == ZAR_ERRMODE_NOERR) return;
  ThreadRecord* thread = thread_record();
  thread->status = code;
  if (errmode == ZAR_ERRMODE_IGNORE) return;

  ZarErrorContext record{};
  record.code = code;
  record.index = reported_index(index, a, thread->base);
  copy_name(record, name);

  // Argument errors (bad length, bad pointer) carry no element: no values
  // are read (the arrays may be null) and nothing is written back.
  const bool argument_error = code == ZAR_ST_BAD_LENGTH || code == ZAR_ST_BAD_POINTER;
  if (!argument_error) {
    widen(a[index * inca], record.arg1, record.arg1_imag);
    widen(b[index * incb], record.arg2, record.arg2_imag);
    widen(r1[index * incr1], record.res1, record.res1_imag);
    widen(r2[index * incr2], record.res2, record.res2_imag);
  }

  if ((mode & ZAR_ERRMODE_CALLBACK) != 0 && thread->callback != nullptr) {
    if (thread->callback(&record) != 0) return;
  }
  if (mode & kDefaultHandling) run_default_handler(record, mode);

  if (!argument_error) {
    // r2 first: a one-result kernel passes the same element twice, and r1 wins.
    narrow(record.res2, record.res2_imag, r2[index * incr2]);
    narrow(record.res1, record.res1_imag, r1[index * incr1]);
  }
}

#define NRX_ZAR_REPORT_ELEMENT_ERROR(In, Out)                                                                          \
  template void report_element_error<In, Out>(int32_t, int64_t, const In*, int64_t, const In*, int64_t, Out*, int64_t, \
                                              Out*, int64_t, const char*)
NRX_ZAR_REPORT_ELEMENT_ERROR(float, float);
NRX_ZAR_REPORT_ELEMENT_ERROR(double, double);
NRX_ZAR_REPORT_ELEMENT_ERROR(NrxComplex8, NrxComplex8);
NRX_ZAR_REPORT_ELEMENT_ERROR(NrxComplex16, NrxComplex16);
NRX_ZAR_REPORT_ELEMENT_ERROR(NrxComplex8, float);  // complex Abs, Arg
NRX_ZAR_REPORT_ELEMENT_ERROR(NrxComplex16, double);
NRX_ZAR_REPORT_ELEMENT_ERROR(float, NrxComplex8);  // CIS
NRX_ZAR_REPORT_ELEMENT_ERROR(double, NrxComplex16);
#undef NRX_ZAR_REPORT_ELEMENT_ERROR

}  // namespace nrx::zar
