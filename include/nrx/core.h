/*
 * nrx core service library: memory, locks, environment, diagnostics, process
 * exit, threading, processor query, bounded copy, dense linear algebra and
 * tridiagonal solvers used by the kernel library.
 *
 * Valid C99 and C++. Every function has C linkage. Linear algebra routines
 * follow the Fortran calling convention of BLAS and LAPACK: every argument is
 * passed by reference, integers are 32-bit, matrices are column-major.
 */
#ifndef NRX_CORE_H
#define NRX_CORE_H

#include <stddef.h>
#include <stdint.h>

#if defined(__GNUC__)
#define NRX_CORE_API __attribute__((visibility("default")))
#define NRX_CORE_NORETURN __attribute__((noreturn))
#else
#define NRX_CORE_API
#define NRX_CORE_NORETURN
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ------------------------------------------------------------------------
 * Memory
 * ------------------------------------------------------------------------ */

/* Returns a block of `size` bytes aligned to `alignment` bytes, or null when
 * memory is exhausted or `alignment` is not a power of two. Alignments below
 * 128 are raised to 128. A zero size still yields a distinct block. */
NRX_CORE_API void* nrx_serv_allocate(size_t size, int32_t alignment);

/* Releases a block obtained from nrx_serv_allocate. Null is a no-op. */
NRX_CORE_API void nrx_serv_deallocate(void* p);

/* Copies `count` bytes from `src` to `dst` whose capacity is `dst_size`.
 * Returns 0 on success. Returns nonzero, copying nothing, when dst or src is
 * null, dst_size exceeds SIZE_MAX/2, count exceeds dst_size or the two
 * ranges overlap; in that case, when dst is non-null and dst_size is sane,
 * the whole of dst[0, dst_size) is set to zero. */
NRX_CORE_API int32_t nrx_serv_memcpy_s(void* dst, size_t dst_size, const void* src, size_t count);

/* ------------------------------------------------------------------------
 * Locks
 * ------------------------------------------------------------------------ */

/* Acquires the lock held in a zero-initialised 32-bit word (0 free, 1 held).
 * Spins briefly, then yields the processor between attempts. Not recursive. */
NRX_CORE_API void nrx_serv_lock(int32_t* lock);

/* Releases a lock acquired by nrx_serv_lock on the same word. */
NRX_CORE_API void nrx_serv_unlock(int32_t* lock);

/* ------------------------------------------------------------------------
 * Environment, diagnostics, process
 * ------------------------------------------------------------------------ */

/* Copies the value of environment variable `name` into `buf`, truncated to
 * buf_len - 1 characters and always NUL-terminated when buf_len >= 1.
 * Returns the number of characters stored; a result below 1 means the
 * variable is absent or empty (or nothing could be stored). */
NRX_CORE_API int32_t nrx_serv_getenv(const char* name, char* buf, int32_t buf_len);

/* Writes catalogue message `msg_id` as one line on the standard error
 * stream. `nargs` is the number of variadic arguments that follow; no more
 * than that many are read, and arguments the message expects but were not
 * given print as "?". `dest` selects the channel; every value currently
 * means standard error. Message arguments by id:
 *   748          const char* function name, int index   (bad vector length)
 *   749          const char* function name              (null array pointer)
 *   750 - 754    const char* function name              (domain error, pole,
 *                                                        overflow, underflow,
 *                                                        unknown status)
 *   755 - 766    int index, double value                (one value of the
 *                                                        failing element)
 *   773          none                                   (no per-thread storage)
 * Unknown ids print a generic line naming the id. */
NRX_CORE_API void nrx_serv_print(int32_t dest, int32_t msg_id, int32_t nargs, ...);

/* Ends the process with exit status `code`. Does not return. */
NRX_CORE_API NRX_CORE_NORETURN void nrx_serv_exit(int32_t code);

/* Nonzero when the processor and operating system support AVX-512F and the
 * vector AES instructions (VAES). */
NRX_CORE_API int32_t nrx_serv_cpuisicx(void);

/* ------------------------------------------------------------------------
 * Threading
 * ------------------------------------------------------------------------ */

/* Returns the address of a threader entry point by name, or null:
 *   "nrx_dru_serv_threader_get_num_threads_limit"
 *       int64_t f(void): the number of threads a parallel loop may use;
 *   "nrx_dru_serv_threader_for"
 *       void f(int64_t count, int64_t zero, void* ctx, nrx_threader_worker w):
 *       calls w(i, thread, nthreads, ctx) once for every i in [0, count),
 *       in parallel, and returns when all calls have finished. The calling
 *       thread and up to omp_get_max_threads() - 1 helper threads of this
 *       library (started on first use, never ended) claim items one at a
 *       time; the caller runs every item no helper has claimed and waits only
 *       for items in progress. A loop started while the helpers serve another
 *       (from another thread, or from inside a worker) runs on its caller.
 *       Between loops the helpers wait spinning for some 50 us, then asleep. */
NRX_CORE_API void* nrx_serv_load_thread_fun(const char* name);

typedef void (*nrx_threader_worker)(int64_t i, int64_t a, int64_t b, void* ctx);
typedef int64_t (*nrx_threader_get_num_threads_limit_fn)(void);
typedef void (*nrx_threader_for_fn)(int64_t count, int64_t zero, void* ctx, nrx_threader_worker worker);

/* Parallel loop over items: calls w(item, thread, 0, ctx) once for every item
 * in [0, count), with thread in [0, nthreads). */
typedef void (*nrx_for_items_fn)(int64_t count, int64_t nthreads, void* ctx,
                                 void (*w)(int64_t item, int64_t thread, int64_t unused, void* ctx));
/* Parallel loop over threads: calls w(thread, 0, nthreads, ctx) exactly once
 * for every thread in [0, nthreads). */
typedef void (*nrx_for_threads_fn)(int64_t nthreads, void* ctx,
                                   void (*w)(int64_t thread, int64_t unused, int64_t nthreads, void* ctx));
/* Number of threads a caller should plan for. */
typedef int64_t (*nrx_num_threads_fn)(void);

/* Threading table handed to statistics and data fitting kernels. Both loops
 * return only after every call has finished. */
typedef struct nrx_threading {
  nrx_for_items_fn for_items;
  void* reserved1;
  nrx_for_threads_fn for_threads;
  void* reserved3;
  nrx_num_threads_fn num_threads;
} nrx_threading;

/* OpenMP table: loops run on an OpenMP team; num_threads is
 * omp_get_max_threads(). */
extern NRX_CORE_API const nrx_threading nrx_threading_openmp;
/* Serial table: every call runs on the calling thread; num_threads is 1. */
extern NRX_CORE_API const nrx_threading nrx_threading_serial;

/* ------------------------------------------------------------------------
 * BLAS and LAPACK, forwarded to the system libraries. Argument lists are the
 * published ones. The x forms are serial variants with identical arguments.
 * ------------------------------------------------------------------------ */

NRX_CORE_API void nrx_blas_dgemm(const char* transa, const char* transb, const int32_t* m, const int32_t* n,
                                 const int32_t* k, const double* alpha, const double* a, const int32_t* lda,
                                 const double* b, const int32_t* ldb, const double* beta, double* c,
                                 const int32_t* ldc);
NRX_CORE_API void nrx_blas_sgemm(const char* transa, const char* transb, const int32_t* m, const int32_t* n,
                                 const int32_t* k, const float* alpha, const float* a, const int32_t* lda,
                                 const float* b, const int32_t* ldb, const float* beta, float* c, const int32_t* ldc);
NRX_CORE_API void nrx_blas_xdgemm(const char* transa, const char* transb, const int32_t* m, const int32_t* n,
                                  const int32_t* k, const double* alpha, const double* a, const int32_t* lda,
                                  const double* b, const int32_t* ldb, const double* beta, double* c,
                                  const int32_t* ldc);
NRX_CORE_API void nrx_blas_xsgemm(const char* transa, const char* transb, const int32_t* m, const int32_t* n,
                                  const int32_t* k, const float* alpha, const float* a, const int32_t* lda,
                                  const float* b, const int32_t* ldb, const float* beta, float* c, const int32_t* ldc);

NRX_CORE_API void nrx_blas_dgemv(const char* trans, const int32_t* m, const int32_t* n, const double* alpha,
                                 const double* a, const int32_t* lda, const double* x, const int32_t* incx,
                                 const double* beta, double* y, const int32_t* incy);
NRX_CORE_API void nrx_blas_sgemv(const char* trans, const int32_t* m, const int32_t* n, const float* alpha,
                                 const float* a, const int32_t* lda, const float* x, const int32_t* incx,
                                 const float* beta, float* y, const int32_t* incy);

NRX_CORE_API void nrx_blas_dsyr(const char* uplo, const int32_t* n, const double* alpha, const double* x,
                                const int32_t* incx, double* a, const int32_t* lda);
NRX_CORE_API void nrx_blas_ssyr(const char* uplo, const int32_t* n, const float* alpha, const float* x,
                                const int32_t* incx, float* a, const int32_t* lda);
NRX_CORE_API void nrx_blas_xdsyr(const char* uplo, const int32_t* n, const double* alpha, const double* x,
                                 const int32_t* incx, double* a, const int32_t* lda);
NRX_CORE_API void nrx_blas_xssyr(const char* uplo, const int32_t* n, const float* alpha, const float* x,
                                 const int32_t* incx, float* a, const int32_t* lda);

NRX_CORE_API void nrx_blas_dsyrk(const char* uplo, const char* trans, const int32_t* n, const int32_t* k,
                                 const double* alpha, const double* a, const int32_t* lda, const double* beta,
                                 double* c, const int32_t* ldc);
NRX_CORE_API void nrx_blas_ssyrk(const char* uplo, const char* trans, const int32_t* n, const int32_t* k,
                                 const float* alpha, const float* a, const int32_t* lda, const float* beta, float* c,
                                 const int32_t* ldc);
NRX_CORE_API void nrx_blas_xdsyrk(const char* uplo, const char* trans, const int32_t* n, const int32_t* k,
                                  const double* alpha, const double* a, const int32_t* lda, const double* beta,
                                  double* c, const int32_t* ldc);
NRX_CORE_API void nrx_blas_xssyrk(const char* uplo, const char* trans, const int32_t* n, const int32_t* k,
                                  const float* alpha, const float* a, const int32_t* lda, const float* beta, float* c,
                                  const int32_t* ldc);

NRX_CORE_API void nrx_blas_xdsymm(const char* side, const char* uplo, const int32_t* m, const int32_t* n,
                                  const double* alpha, const double* a, const int32_t* lda, const double* b,
                                  const int32_t* ldb, const double* beta, double* c, const int32_t* ldc);
NRX_CORE_API void nrx_blas_xssymm(const char* side, const char* uplo, const int32_t* m, const int32_t* n,
                                  const float* alpha, const float* a, const int32_t* lda, const float* b,
                                  const int32_t* ldb, const float* beta, float* c, const int32_t* ldc);

/* B := alpha * op(A) * B (side 'L') or alpha * B * op(A) (side 'R'), A triangular. */
NRX_CORE_API void nrx_blas_dtrmm(const char* side, const char* uplo, const char* transa, const char* diag,
                                 const int32_t* m, const int32_t* n, const double* alpha, const double* a,
                                 const int32_t* lda, double* b, const int32_t* ldb);
NRX_CORE_API void nrx_blas_strmm(const char* side, const char* uplo, const char* transa, const char* diag,
                                 const int32_t* m, const int32_t* n, const float* alpha, const float* a,
                                 const int32_t* lda, float* b, const int32_t* ldb);
NRX_CORE_API void nrx_blas_xdtrmm_4zar(const char* side, const char* uplo, const char* transa, const char* diag,
                                       const int32_t* m, const int32_t* n, const double* alpha, const double* a,
                                       const int32_t* lda, double* b, const int32_t* ldb);
NRX_CORE_API void nrx_blas_xstrmm_4zar(const char* side, const char* uplo, const char* transa, const char* diag,
                                       const int32_t* m, const int32_t* n, const float* alpha, const float* a,
                                       const int32_t* lda, float* b, const int32_t* ldb);
NRX_CORE_API void nrx_blas4zar_dtrmm(const char* side, const char* uplo, const char* transa, const char* diag,
                                     const int32_t* m, const int32_t* n, const double* alpha, const double* a,
                                     const int32_t* lda, double* b, const int32_t* ldb);
NRX_CORE_API void nrx_blas4zar_strmm(const char* side, const char* uplo, const char* transa, const char* diag,
                                     const int32_t* m, const int32_t* n, const float* alpha, const float* a,
                                     const int32_t* lda, float* b, const int32_t* ldb);

/* As nrx_blas4zar_dtrmm with A in packed storage (the layout of dtpmv: the
 * triangle's columns one after the other). A is m x m for side 'L' and n x n
 * for side 'R'. Invalid character arguments or negative sizes leave B
 * untouched. */
NRX_CORE_API void nrx_blas4zar_dptrmm(const char* side, const char* uplo, const char* transa, const char* diag,
                                      const int32_t* m, const int32_t* n, const double* alpha, const double* ap,
                                      double* b, const int32_t* ldb);
NRX_CORE_API void nrx_blas4zar_sptrmm(const char* side, const char* uplo, const char* transa, const char* diag,
                                      const int32_t* m, const int32_t* n, const float* alpha, const float* ap, float* b,
                                      const int32_t* ldb);

NRX_CORE_API void nrx_lapack_dpotrf(const char* uplo, const int32_t* n, double* a, const int32_t* lda, int32_t* info);
NRX_CORE_API void nrx_lapack_spotrf(const char* uplo, const int32_t* n, float* a, const int32_t* lda, int32_t* info);
NRX_CORE_API void nrx_lapack_dpotri(const char* uplo, const int32_t* n, double* a, const int32_t* lda, int32_t* info);
NRX_CORE_API void nrx_lapack_spotri(const char* uplo, const int32_t* n, float* a, const int32_t* lda, int32_t* info);
NRX_CORE_API void nrx_lapack_dtrtri(const char* uplo, const char* diag, const int32_t* n, double* a, const int32_t* lda,
                                    int32_t* info);
NRX_CORE_API void nrx_lapack_strtri(const char* uplo, const char* diag, const int32_t* n, float* a, const int32_t* lda,
                                    int32_t* info);
NRX_CORE_API void nrx_lapack_dsyev(const char* jobz, const char* uplo, const int32_t* n, double* a, const int32_t* lda,
                                   double* w, double* work, const int32_t* lwork, int32_t* info);
NRX_CORE_API void nrx_lapack_ssyev(const char* jobz, const char* uplo, const int32_t* n, float* a, const int32_t* lda,
                                   float* w, float* work, const int32_t* lwork, int32_t* info);
NRX_CORE_API void nrx_lapack_dspevd(const char* jobz, const char* uplo, const int32_t* n, double* ap, double* w,
                                    double* z, const int32_t* ldz, double* work, const int32_t* lwork, int32_t* iwork,
                                    const int32_t* liwork, int32_t* info);
NRX_CORE_API void nrx_lapack_sspevd(const char* jobz, const char* uplo, const int32_t* n, float* ap, float* w, float* z,
                                    const int32_t* ldz, float* work, const int32_t* lwork, int32_t* iwork,
                                    const int32_t* liwork, int32_t* info);

/* ------------------------------------------------------------------------
 * Tridiagonal systems, solved WITHOUT pivoting (intended for diagonally
 * dominant matrices). dl[0..n-2] is the sub-diagonal, d[0..n-1] the
 * diagonal, du[0..n-2] the super-diagonal. info: 0 success, -k when
 * argument k is invalid, i > 0 when pivot i (1-based) is exactly zero.
 * ------------------------------------------------------------------------ */

/* Factors A = L * U in place: dl receives the multipliers of the unit lower
 * bidiagonal L, d and du the diagonal and super-diagonal of U. Stops at the
 * first zero pivot. */
NRX_CORE_API void ddttrfb_4dfl(const int32_t* n, double* dl, double* d, double* du, int32_t* info);
NRX_CORE_API void sdttrfb_4dfl(const int32_t* n, float* dl, float* d, float* du, int32_t* info);

/* Solves op(A) X = B with A factored by ddttrfb_4dfl; trans is 'N' for A,
 * 'T' or 'C' for its transpose. B is n x nrhs with leading dimension ldb
 * and is overwritten by X. */
NRX_CORE_API void ddttrsb_4dfl(const char* trans, const int32_t* n, const int32_t* nrhs, const double* dl,
                               const double* d, const double* du, double* b, const int32_t* ldb, int32_t* info);
NRX_CORE_API void sdttrsb_4dfl(const char* trans, const int32_t* n, const int32_t* nrhs, const float* dl,
                               const float* d, const float* du, float* b, const int32_t* ldb, int32_t* info);

/* Factors A (as ddttrfb_4dfl) and solves A X = B (as ddttrsb_4dfl). */
NRX_CORE_API void ddtsvb_4dfl(const int32_t* n, const int32_t* nrhs, double* dl, double* d, double* du, double* b,
                              const int32_t* ldb, int32_t* info);
NRX_CORE_API void sdtsvb_4dfl(const int32_t* n, const int32_t* nrhs, float* dl, float* d, float* du, float* b,
                              const int32_t* ldb, int32_t* info);

#ifdef __cplusplus
}
#endif

#endif /* NRX_CORE_H */
