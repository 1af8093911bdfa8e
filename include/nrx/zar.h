/*
 * nrx vector math: per-thread mode word, error status, error callback and the
 * error record handed to the callback.
 *
 * Every thread has its own mode word, status and callback; nothing here takes
 * a lock. Each zar... function behaves exactly like its nrx_zar_kernel_...
 * twin.
 *
 * Circular functions (Sin, Cos, SinCos, Tan, Sinpi, Cospi; s and d): every finite
 * argument is reduced exactly (beyond 2^24 by a 1/(2 pi) expansion of 1,280 bits inside
 * the vector kernel), so the bounds (HA 1 ulp, LA 4 ulp, EP 26 / 11 bits) hold over the
 * whole range; only +-Inf (NaN, status 1) and NaN reach the scalar routine of Sin, Cos,
 * SinCos and Tan. Float LA and EP work in float lanes up to |x| = 10000 and through the
 * double kernel above; float HA always through the double kernel. Sinpi and Cospi give
 * sinpi(+-n) = +-0, cospi(n + 1/2) = +0 and report nothing (+-Inf and NaN give NaN).
 */
#ifndef NRX_ZAR_H
#define NRX_ZAR_H

#include <stddef.h>
#include <stdint.h>

#if defined(__GNUC__)
#define NRX_ZAR_API __attribute__((visibility("default")))
#else
#define NRX_ZAR_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Mode word -------------------------------------------------------------
 *
 *   bits  0-3   accuracy             ZAR_LA, ZAR_HA, ZAR_EP
 *   bits  4-7   x87 precision        ZAR_DEFAULT_PRECISION ... ZAR_RESTORE; only the
 *                                    environment sets it, zarSetMode never changes it
 *   bits  8-15  error handling       ZAR_ERRMODE_*
 *   bits 18-21  denormal handling    ZAR_FTZDAZ_ON flushes; ZAR_FTZDAZ_OFF (or any other
 *                                    non-zero value) does not
 *   bits 24-27  traps                ZAR_TRAP_*
 *
 * A thread starts with HA and ZAR_ERRMODE_DEFAULT (0x1A02) unless the
 * environment variable NRX_ZAR_MODE says otherwise: a comma-separated list of
 * the token names below, without blanks (the ZAR_FTZDAZ_ values and the masks
 * are not tokens). Any other text voids the whole value.
 */
#define ZAR_LA 0x00000001u
#define ZAR_HA 0x00000002u
#define ZAR_EP 0x00000003u

#define ZAR_DEFAULT_PRECISION 0x00000000u
#define ZAR_FLOAT_CONSISTENT 0x00000010u
#define ZAR_DOUBLE_CONSISTEN 0x00000020u
#define ZAR_RESTORE 0x00000030u

#define ZAR_ERRMODE_IGNORE 0x00000100u
#define ZAR_ERRMODE_ERRNO 0x00000200u
#define ZAR_ERRMODE_STDERR 0x00000400u
#define ZAR_ERRMODE_EXCEPT 0x00000800u
#define ZAR_ERRMODE_CALLBACK 0x00001000u
#define ZAR_ERRMODE_NOERR 0x00002000u
#define ZAR_ERRMODE_DEFAULT (ZAR_ERRMODE_ERRNO | ZAR_ERRMODE_EXCEPT | ZAR_ERRMODE_CALLBACK)

#define ZAR_FTZDAZ_ON 0x00280000u
#define ZAR_FTZDAZ_OFF 0x00140000u

#define ZAR_TRAP_INVALID 0x01000000u
#define ZAR_TRAP_DIVBYZERO 0x02000000u
#define ZAR_TRAP_OVERFLOW 0x04000000u
#define ZAR_TRAP_UNDERFLOW 0x08000000u

/* Field masks of the mode word. */
#define ZAR_ACCURACY_MASK 0x0000000Fu
#define ZAR_FPUMODE_MASK 0x000000F0u
#define ZAR_ERRMODE_MASK 0x0000FF00u
#define ZAR_FTZDAZ_MASK 0x003C0000u
#define ZAR_TRAP_MASK 0x0F000000u

/* ---- Error status ------------------------------------------------------------
 * Kernels report codes 1 to 4 per element; -1 and -2 are for callers that
 * report argument errors through the same path. One row per code:
 * X(name, value, message). */
#define NRX_ZAR_STATUS_LIST(X)                                              \
  X(ZAR_ST_NONE, 0, "no error")                                             \
  X(ZAR_ST_DOMAIN, 1, "argument outside the function's domain, result NaN") \
  X(ZAR_ST_POLE, 2, "finite argument with an infinite exact result")        \
  X(ZAR_ST_RESULT_TOO_LARGE, 3, "result overflows")                         \
  X(ZAR_ST_RESULT_TOO_SMALL, 4, "result underflows")                        \
  X(ZAR_ST_BAD_LENGTH, -1, "bad vector length")                             \
  X(ZAR_ST_BAD_POINTER, -2, "bad (null) array pointer")

#define NRX_ZAR_STATUS_ENUM(name, value, message) name = value,
typedef enum ZarStatus { NRX_ZAR_STATUS_LIST(NRX_ZAR_STATUS_ENUM) } ZarStatus;
#undef NRX_ZAR_STATUS_ENUM

/* ---- Element types ----------------------------------------------------------- */
typedef struct {
  float real, imag;
} NrxComplex8;
typedef struct {
  double real, imag;
} NrxComplex16;

/* ---- Error record --------------------------------------------------------------
 * Handed to the callback for each element that needs attention; 144 bytes.
 *
 *   offset  type      field
 *     0     int32     code          status code of the element
 *     4     int32     index         element index, counted from the interface base
 *                                   pointer when one is set
 *     8     double    arg1          first argument (real part for complex types)
 *    16     double    arg2          second argument (== arg1 for one-input functions)
 *    24     double    res1          first result
 *    32     double    res2          second result (== res1 for one-result functions)
 *    40     char[64]  name          short function name ("vsSin"), NUL-terminated,
 *                                   at most 47 characters
 *   104     int32     name_length
 *   108     int32     padding
 *   112     double    arg1_imag     imaginary parts, complex types only
 *   120     double    arg2_imag
 *   128     double    res1_imag
 *   136     double    res2_imag
 *
 * Single-precision values are widened to double here. When the callback
 * returns 0 the element receives res2 and then res1 (narrowed back for single
 * precision), so the callback may change the delivered results. */
typedef struct ZarErrorContext {
  int32_t code;
  int32_t index;
  double arg1;
  double arg2;
  double res1;
  double res2;
  char name[64];
  int32_t name_length;
  int32_t padding;
  double arg1_imag;
  double arg2_imag;
  double res1_imag;
  double res2_imag;
} ZarErrorContext;

#if defined(__cplusplus)
#define NRX_ZAR_STATIC_ASSERT(c, m) static_assert(c, m)
#elif defined(__STDC_VERSION__) && __STDC_VERSION__ >= 201112L
#define NRX_ZAR_STATIC_ASSERT(c, m) _Static_assert(c, m)
#else
#define NRX_ZAR_STATIC_ASSERT_JOIN2(a, b) a##b
#define NRX_ZAR_STATIC_ASSERT_JOIN(a, b) NRX_ZAR_STATIC_ASSERT_JOIN2(a, b)
#define NRX_ZAR_STATIC_ASSERT(c, m) \
  typedef char NRX_ZAR_STATIC_ASSERT_JOIN(nrx_zar_layout_check_, __LINE__)[(c) ? 1 : -1]
#endif
NRX_ZAR_STATIC_ASSERT(sizeof(ZarErrorContext) == 144, "error record is 144 bytes");
NRX_ZAR_STATIC_ASSERT(offsetof(ZarErrorContext, index) == 4, "index at 4");
NRX_ZAR_STATIC_ASSERT(offsetof(ZarErrorContext, arg1) == 8, "arg1 at 8");
NRX_ZAR_STATIC_ASSERT(offsetof(ZarErrorContext, arg2) == 16, "arg2 at 16");
NRX_ZAR_STATIC_ASSERT(offsetof(ZarErrorContext, res1) == 24, "res1 at 24");
NRX_ZAR_STATIC_ASSERT(offsetof(ZarErrorContext, res2) == 32, "res2 at 32");
NRX_ZAR_STATIC_ASSERT(offsetof(ZarErrorContext, name) == 40, "name at 40");
NRX_ZAR_STATIC_ASSERT(offsetof(ZarErrorContext, name_length) == 104, "name_length at 104");
NRX_ZAR_STATIC_ASSERT(offsetof(ZarErrorContext, arg1_imag) == 112, "arg1_imag at 112");
NRX_ZAR_STATIC_ASSERT(offsetof(ZarErrorContext, arg2_imag) == 120, "arg2_imag at 120");
NRX_ZAR_STATIC_ASSERT(offsetof(ZarErrorContext, res1_imag) == 128, "res1_imag at 128");
NRX_ZAR_STATIC_ASSERT(offsetof(ZarErrorContext, res2_imag) == 136, "res2_imag at 136");
NRX_ZAR_STATIC_ASSERT(sizeof(NrxComplex8) == 8, "complex float is two floats");
NRX_ZAR_STATIC_ASSERT(sizeof(NrxComplex16) == 16, "complex double is two doubles");

/* Error callback: receives the record; a non-zero result means the callback
 * has dealt with the element (no default handling, nothing written back). */
typedef int32_t (*ZarCallBack)(ZarErrorContext*);

/* ---- Service functions ---------------------------------------------------------- */

/* Returns the calling thread's mode word, setting it first from the
 * environment (or to 0x1A02) if this thread has none yet. */
NRX_ZAR_API uint32_t zarGetMode(void);
NRX_ZAR_API uint32_t nrx_zar_kernel_GetMode(void);

/* Replaces each of the accuracy, error-handling, denormal and trap fields of
 * the thread's mode word for which `mode` holds a non-zero value; other
 * fields and bits stay. Returns the previous mode word. */
NRX_ZAR_API uint32_t zarSetMode(uint32_t mode);
NRX_ZAR_API uint32_t nrx_zar_kernel_SetMode(uint32_t mode);

/* Returns the thread's error status (0 until an error is recorded). */
NRX_ZAR_API int32_t zarGetErrStatus(void);
NRX_ZAR_API int32_t nrx_zar_kernel_GetErrStatus(void);

/* Stores `status` as the thread's error status; returns the previous one. */
NRX_ZAR_API int32_t zarSetErrStatus(int32_t status);
NRX_ZAR_API int32_t nrx_zar_kernel_SetErrStatus(int32_t status);

/* Stores 0 as the thread's error status; returns the previous one. */
NRX_ZAR_API int32_t zarClearErrStatus(void);
NRX_ZAR_API int32_t nrx_zar_kernel_ClearErrStatus(void);

/* Returns the thread's error callback, or null. */
NRX_ZAR_API ZarCallBack zarGetErrorCallBack(void);
NRX_ZAR_API ZarCallBack nrx_zar_kernel_GetErrorCallBack(void);

/* Stores `callback` (may be null) as the thread's error callback and sets
 * ZAR_ERRMODE_CALLBACK in the mode word when it is non-null, removes it when
 * null; an error-handling field that would become 0 is left as it was (as
 * with zarSetMode). Returns the previous callback. */
NRX_ZAR_API ZarCallBack zarSetErrorCallBack(ZarCallBack callback);
NRX_ZAR_API ZarCallBack nrx_zar_kernel_SetErrorCallBack(ZarCallBack callback);

/* Same as zarSetErrorCallBack(NULL); returns the previous callback. */
NRX_ZAR_API ZarCallBack zarClearErrorCallBack(void);
NRX_ZAR_API ZarCallBack nrx_zar_kernel_ClearErrorCallBack(void);

/* Stores `p` as the thread's interface base pointer: error indices are then
 * counted from `p` instead of from the start of the array passed to the
 * kernel. Null unsets it. Returns `p`. */
NRX_ZAR_API const void* zarSetInterfInputVectorPointer(const void* p);
NRX_ZAR_API const void* nrx_zar_kernel_SetInterfInputVectorPointer(const void* p);

/* Returns the function-table slot for the thread's mode word:
 * (mode & 15) - 1, i.e. 0 for LA, 1 for HA, 2 for EP. */
NRX_ZAR_API int32_t nrx_zar_kernel_GetTTableIndex(void);

/* Returns (mode & 15) - 1 for the given mode word, without range check; the
 * first argument is not read. */
NRX_ZAR_API int32_t nrx_zar_kernel_GetTTableIndexM(int32_t unused, uint32_t mode);

/* Returns 11, the identifier of this (AVX-512) kernel set. */
NRX_ZAR_API int32_t dll_cpu_version(void);

#ifdef __cplusplus
}
#endif

#endif /* NRX_ZAR_H */
