// x87 control, status and environment access. The kernels mask the x87
// exceptions around their work; the error routine raises one exception flag
// (and, when it is unmasked, the exception itself) through the environment.
#pragma once
#include <cstdint>

namespace nrx::simd {

// Exception bits, identical in the control word (mask) and status word (flag).
inline constexpr uint16_t kX87Invalid = 0x01;
inline constexpr uint16_t kX87Denormal = 0x02;
inline constexpr uint16_t kX87ZeroDivide = 0x04;
inline constexpr uint16_t kX87Overflow = 0x08;
inline constexpr uint16_t kX87Underflow = 0x10;
inline constexpr uint16_t kX87Precision = 0x20;
inline constexpr uint16_t kX87AllExceptions = 0x3F;

// The 28-byte environment image of fnstenv/fldenv (32-bit operand size).
struct X87Env {
  uint16_t control;
  uint16_t reserved0;
  uint16_t status;
  uint16_t reserved1;
  uint16_t tag;
  uint16_t reserved2;
  uint32_t ip_offset;
  uint16_t ip_selector;
  uint16_t opcode;
  uint32_t operand_offset;
  uint16_t operand_selector;
  uint16_t reserved3;
};
static_assert(sizeof(X87Env) == 28, "fnstenv image is 28 bytes");

inline uint16_t x87_control() {
  uint16_t cw;
  asm volatile("fnstcw %0" : "=m"(cw));
  return cw;
}

inline void x87_set_control(uint16_t cw) { asm volatile("fldcw %0" : : "m"(cw) : "memory"); }

// Clears the exception flags without delivering any pending exception.
inline void x87_clear_exceptions() { asm volatile("fnclex" ::: "memory"); }

// Stores the environment; as a side effect the unit then masks all exceptions.
inline void x87_store_env(X87Env* env) { asm volatile("fnstenv %0" : "=m"(*env) : : "memory"); }

// Loads an environment. This waits first, so an unmasked exception flagged by
// the previous environment is delivered (SIGFPE) before the load.
inline void x87_load_env(const X87Env* env) { asm volatile("fldenv %0" : : "m"(*env) : "memory"); }

inline uint16_t x87_status() {
  uint16_t sw;
  asm volatile("fnstsw %0" : "=m"(sw));
  return sw;
}

// Delivers a pending unmasked exception, if any.
inline void x87_wait() { asm volatile("fwait" ::: "memory"); }

// Precision (bits 8-9) and rounding (bits 10-11) fields of the control word.
inline constexpr uint16_t kX87PrecisionField = 0x300;
inline constexpr uint16_t kX87RoundingField = 0xC00;
// All exceptions masked, 64-bit extended precision, round to nearest.
inline constexpr uint16_t kX87Extended = 0x33F;
inline constexpr uint16_t kX87ExtendedFields = kX87AllExceptions | kX87PrecisionField | kX87RoundingField;

// While alive, x87 arithmetic (long double) runs masked, in 64-bit precision and rounding to
// nearest whatever the caller set; the caller's control word comes back on exit.
struct X87ClearPending {};
inline constexpr X87ClearPending kX87ClearPending{};

class X87Extended {
 public:
  X87Extended() : cw_(x87_control()) {
    // The new word masks every exception, so pending flags stay (the error routine's among them).
    if ((cw_ & kX87ExtendedFields) != kX87Extended) {
      x87_set_control(uint16_t((cw_ & ~kX87ExtendedFields) | kX87Extended));
      changed_ = true;
    }
    asm volatile("" ::: "memory");
  }
  ~X87Extended() {
    asm volatile("" ::: "memory");
    if (changed_) x87_set_control(cw_);
  }
  // As above, but pending exceptions are cleared before a new word is loaded.
  explicit X87Extended(X87ClearPending) : cw_(x87_control()) {
    if ((cw_ & kX87ExtendedFields) != kX87Extended) {
      x87_clear_exceptions();
      x87_set_control(uint16_t((cw_ & ~kX87ExtendedFields) | kX87Extended));
      changed_ = true;
    }
    asm volatile("" ::: "memory");
  }
  X87Extended(const X87Extended&) = delete;
  X87Extended& operator=(const X87Extended&) = delete;

 private:
  uint16_t cw_;
  bool changed_ = false;
};

}  // namespace nrx::simd
