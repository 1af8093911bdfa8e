// The default handler of element errors.
#include "zar/service/default_handler.h"

#include <cerrno>
#include <cstring>

#include "nrx/core.h"
#include "simd/x87.h"

namespace nrx::zar {
namespace {

constexpr int32_t kToStderr = 1;

int errno_for(int32_t code) {
  switch (code) {
    case ZAR_ST_NONE: return 0;
    case ZAR_ST_DOMAIN: return EDOM;
    case ZAR_ST_POLE:
    case ZAR_ST_RESULT_TOO_LARGE:
    case ZAR_ST_RESULT_TOO_SMALL: return ERANGE;
    case ZAR_ST_BAD_LENGTH: return EINVAL;
    case ZAR_ST_BAD_POINTER: return EACCES;
    default: return EFAULT;
  }
}

// ---- Messages -----------------------------------------------------------------

constexpr int32_t kMsgBadLength = 748;    // (name, index)
constexpr int32_t kMsgBadPointer = 749;   // (name)
constexpr int32_t kMsgDomain = 750;       // 750-753 by code, (name)
constexpr int32_t kMsgUnknownCode = 754;  // (name)

// The value messages, each (index, value), by the record's shape.
constexpr int32_t kMsgOneInOneOut = 755;  // argument, result
constexpr int32_t kMsgOneInTwoOut = 757;  // argument, first result, second result
constexpr int32_t kMsgTwoInOneOut = 760;  // first argument, second argument, result
constexpr int32_t kMsgTwoInTwoOut = 763;  // both arguments, both results

int32_t headline_for(int32_t code) {
  return code >= ZAR_ST_DOMAIN && code <= ZAR_ST_RESULT_TOO_SMALL ? kMsgDomain + (code - ZAR_ST_DOMAIN)
                                                                  : kMsgUnknownCode;
}

// A record holds two distinct values in a pair when the second differs from
// the first bit for bit and is not zero; otherwise the kernel passed the same
// element twice.
bool holds_two(double re1, double im1, double re2, double im2) {
  const double first[2] = {re1, im1};
  const double second[2] = {re2, im2};
  const bool same = std::memcmp(first, second, sizeof first) == 0;
  const bool second_zero = re2 == 0.0 && im2 == 0.0;
  return !same && !second_zero;
}

void print_value(int32_t msg, int32_t index, double value) { nrx_serv_print(kToStderr, msg, 2, index, value); }

void print_record(const ZarErrorContext& r) {
  switch (r.code) {
    case ZAR_ST_NONE: return;
    case ZAR_ST_BAD_LENGTH: nrx_serv_print(kToStderr, kMsgBadLength, 2, r.name, r.index); return;
    case ZAR_ST_BAD_POINTER: nrx_serv_print(kToStderr, kMsgBadPointer, 1, r.name); return;
    default: break;
  }
  nrx_serv_print(kToStderr, headline_for(r.code), 1, r.name);
  const bool two_in = holds_two(r.arg1, r.arg1_imag, r.arg2, r.arg2_imag);
  const bool two_out = holds_two(r.res1, r.res1_imag, r.res2, r.res2_imag);
  int32_t msg = two_in ? (two_out ? kMsgTwoInTwoOut : kMsgTwoInOneOut) : (two_out ? kMsgOneInTwoOut : kMsgOneInOneOut);
  print_value(msg++, r.index, r.arg1);
  if (two_in) print_value(msg++, r.index, r.arg2);
  print_value(msg++, r.index, r.res1);
  if (two_out) print_value(msg, r.index, r.res2);
}

// ---- x87 exception ----------------------------------------------------------------

uint16_t x87_flag_for(int32_t code) {
  switch (code) {
    case ZAR_ST_DOMAIN: return simd::kX87Invalid;
    case ZAR_ST_POLE: return simd::kX87ZeroDivide;
    case ZAR_ST_RESULT_TOO_LARGE: return simd::kX87Overflow;
    case ZAR_ST_RESULT_TOO_SMALL: return simd::kX87Underflow;
    default: return 0;
  }
}

uint16_t x87_unmasked_by(uint32_t mode) {
  uint16_t unmask = 0;
  if (mode & ZAR_TRAP_INVALID) unmask |= simd::kX87Invalid;
  if (mode & ZAR_TRAP_DIVBYZERO) unmask |= simd::kX87ZeroDivide;
  if (mode & ZAR_TRAP_OVERFLOW) unmask |= simd::kX87Overflow;
  if (mode & ZAR_TRAP_UNDERFLOW) unmask |= simd::kX87Underflow;
  return unmask;
}

// Loads an environment whose only flag is the code's, with the trapped
// exceptions unmasked; reloading the saved environment (all masked, the flag
// added) then delivers the exception if it is unmasked, and otherwise leaves
// just the sticky flag.
//
// Without a trap for the flag the end state is the same without the raising load: the
// saved environment, all masked, the flag added. After the first report of a call that is
// already the unit's state, and two register reads (no environment image) tell so.
void raise_x87(int32_t code, uint32_t mode) {
  const uint16_t flag = x87_flag_for(code);
  if (flag == 0) return;
  if ((x87_unmasked_by(mode) & flag) == 0) {
    constexpr uint16_t kAllMasked = simd::kX87AllExceptions;
    if ((simd::x87_status() & flag) != 0 && (simd::x87_control() & kAllMasked) == kAllMasked) return;
    simd::X87Env env;
    simd::x87_store_env(&env);
    env.control |= kAllMasked;
    env.status |= flag;
    simd::x87_load_env(&env);
    return;
  }
  constexpr uint16_t kFlagsAndSummary = 0x80FF;  // exception flags, stack fault, summary, busy
  simd::X87Env saved;
  simd::x87_store_env(&saved);
  simd::X87Env raising = saved;
  raising.control = static_cast<uint16_t>(saved.control & ~x87_unmasked_by(mode));
  raising.status = static_cast<uint16_t>((saved.status & ~kFlagsAndSummary) | flag);
  simd::x87_load_env(&raising);
  saved.control |= simd::kX87AllExceptions;
  saved.status |= flag;
  simd::x87_load_env(&saved);
  simd::x87_wait();
}

}  // namespace

void run_default_handler(const ZarErrorContext& record, uint32_t mode) {
  if (mode & ZAR_ERRMODE_ERRNO) errno = errno_for(record.code);
  if (mode & ZAR_ERRMODE_STDERR) print_record(record);
  if (mode & ZAR_ERRMODE_EXCEPT) raise_x87(record.code, mode);
}

}  // namespace nrx::zar
