/*
 * nrx random streams: generator registry, stream objects, chunks, the shared
 * read-only data table, stream persistence, the generators, and the continuous
 * and integer laws with their list (NRX_RNG_LAW_LIST).
 *
 * Valid C99 and C++. Every function has C linkage and returns an int32_t
 * status from enum dru_status unless stated otherwise: 0 success, negative
 * failure. A refused call leaves the caller's data and the stream as they
 * were.
 *
 * Layouts on 64-bit Linux (pointers are 8 bytes, counts stay 32-bit):
 *   DruStream        16 bytes: brng u32 @0, flag u8 @4, u8 @5, u16 @6,
 *                    chunks pointer @8; the generator state follows @16.
 *   DruChunk         40 bytes: id u32 @0, size u32 @4, data @8, next @16,
 *                    gid u64[2] @24.
 *   DruGlobROEntry   32 bytes: gid u64[2] @0, refs u32 @16, data @24.
 *   BrngProperties   56 bytes: five i32 @0..@16, Init @24, GenS @32,
 *                    GenD @40, GenI @48.
 *   DruRegistry      records[512] @0, count i32 @28672, members[512] @28676.
 */
#ifndef NRX_RNG_H
#define NRX_RNG_H

#include <stddef.h>
#include <stdint.h>

#if defined(__GNUC__)
#define NRX_RNG_API __attribute__((visibility("default")))
#else
#define NRX_RNG_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Status codes ---------------------------------------------------------- */
/* Every status the random-number functions return: X(name, value, message). */
#define NRX_RNG_STATUS_LIST(X)                                                         \
  X(DRU_OK, 0, "success")                                                              \
  X(DRU_E_BAD_METHOD, -2, "unknown Init method code")                                  \
  X(DRU_E_BAD_ARGUMENT, -3, "bad argument")                                            \
  X(DRU_E_NO_MEMORY, -4, "an allocation returned null")                                \
  X(DRU_E_NULL_POINTER, -5, "a required pointer is null")                              \
  X(DRU_E_BRNG_INVALID, -1000, "identifier names no valid generator or member")        \
  X(DRU_E_NO_LEAPFROG, -1002, "generator does not support leapfrog")                   \
  X(DRU_E_NO_SKIP_AHEAD, -1003, "generator does not support skip-ahead")               \
  X(DRU_E_NO_SKIP_AHEAD_EX, -1004, "generator does not support multi-word skip-ahead") \
  X(DRU_E_BAD_STATE_SIZE, -1008, "registration: state size below 0")                   \
  X(DRU_E_BAD_WORD_SIZE, -1009, "registration: word size not 4, 8 or 16 bytes")        \
  X(DRU_E_BAD_SEED_COUNT, -1010, "registration: seed count below 1")                   \
  X(DRU_E_BAD_BIT_COUNT, -1011, "registration: bit count below 1")                     \
  X(DRU_E_QRNG_EXHAUSTED, -1012, "quasi-random stream past 2^32 - 1 values")           \
  X(DRU_E_TOO_MANY_STREAMS, -1013, "leapfrog stream count out of range")               \
  X(DRU_E_NO_FULL_BITS, -1014, "generator cannot deliver full-width words")            \
  X(DRU_E_FILE_CLOSE, -1100, "closing a stream file failed")                           \
  X(DRU_E_FILE_OPEN, -1101, "opening a stream file failed")                            \
  X(DRU_E_FILE_WRITE, -1102, "writing a stream file failed")                           \
  X(DRU_E_FILE_READ, -1103, "a stream file ended early")                               \
  X(DRU_E_BAD_FILE_IMAGE, -1110, "a stream file is not recognised")                    \
  X(DRU_E_BAD_CALLBACK_COUNT, -1120, "abstract stream callback returned a bad count")  \
  X(DRU_E_CALLBACK_EMPTY, -1121, "abstract stream callback returned no values")        \
  X(DRU_E_ABSTRACT_KIND, -1122, "output type the abstract stream was not made for")    \
  X(DRU_E_NO_RDRAND, -1130, "hardware generator without RDRAND")                       \
  X(DRU_E_RDRAND_RETRIES, -1131, "RDRAND kept failing")                                \
  X(DRU_E_NO_AES, -1140, "AES instructions missing")                                   \
  X(DRU_E_BAD_IMAGE, -1200, "a saved memory image is not recognised")                  \
  X(DRU_E_NO_SHARED_ENTRY, -3000, "shared-data lookup failed")                         \
  X(DRU_E_SHARED_TABLE_FULL, -3001, "shared-data table has 128 entries")

#define NRX_RNG_STATUS_ENUM(name, value, message) name = value,
typedef enum dru_status { NRX_RNG_STATUS_LIST(NRX_RNG_STATUS_ENUM) } dru_status;
#undef NRX_RNG_STATUS_ENUM

/* ---- Generators ------------------------------------------------------------ */
/* Splitting methods a generator supports (the `splitting` column below). */
#define DRU_SPLIT_LEAPFROG 1 /* Init method 1 */
#define DRU_SPLIT_SKIP 2     /* Init method 2 */
#define DRU_SPLIT_SKIP_EX 4  /* Init method 3 */
#define DRU_SPLIT_SELECT 8   /* Init method 1 as coordinate selection (quasi-random) */
/* Processor feature a generator's output and loading need (the `cpu` column). */
#define DRU_CPU_NONE 0
#define DRU_CPU_RDRAND 1
#define DRU_CPU_AES 2

/* The built-in generators, one row each, in identifier order:
 * X(Name, NAME, id, StateSize, SeedCount, HasZero, WordBytes, BitCount, members,
 *   splitting, cpu, state, kind, label)
 *   Name       the function names _druBRng<Name>InitStream and _dru<s|d|i>BRng<Name>
 *   NAME       the identifier constant DRU_BRNG_<NAME>; id = (index + 1) << 20
 *   StateSize, SeedCount, HasZero, WordBytes, BitCount: the registry record
 *   members    family members, addressed as id + member
 *   splitting  DRU_SPLIT_* bits; the other methods return -1002, -1003 or -1004
 *   cpu        DRU_CPU_*: loading an image without the feature gives -1130 / -1140
 *   state      READY, or PENDING: registered, but its functions return
 *              DRU_E_BRNG_INVALID until the generator is built
 *   kind       ALL (three outputs), or I, D, S: the one real output of an abstract
 *              stream, whose other two outputs return DRU_E_ABSTRACT_KIND
 *   label      the generator's name in the nrx program
 * Abstract stream states hold native pointers (48, 64 and 56 bytes with the header):
 *   integer  N i32 @16, read position @20, unread count @24, buffer @32, callback @40
 *   double   N @16, position @20, unread @24, a @32, b @40, buffer @48, callback @56
 *   single   N @16, position @20, unread @24, a @28, b @32, buffer @40, callback @48 */
#define NRX_BRNG_LIST(X)                                                                                            \
  X(MCG31M1, MCG31M1, 0x100000, 24, 1, 0, 4, 31, 1, DRU_SPLIT_LEAPFROG | DRU_SPLIT_SKIP, DRU_CPU_NONE, READY, ALL,  \
    "mcg31m1")                                                                                                      \
  X(R250, R250, 0x200000, 1024, 252, 1, 4, 32, 1, 0, DRU_CPU_NONE, READY, ALL, "r250")                              \
  X(MRG32K3A, MRG32K3A, 0x300000, 40, 6, 1, 4, 32, 1, DRU_SPLIT_SKIP | DRU_SPLIT_SKIP_EX, DRU_CPU_NONE, READY, ALL, \
    "mrg32k3a")                                                                                                     \
  X(MCG59, MCG59, 0x400000, 32, 1, 0, 8, 59, 1, DRU_SPLIT_LEAPFROG | DRU_SPLIT_SKIP, DRU_CPU_NONE, READY, ALL,      \
    "mcg59")                                                                                                        \
  X(WH, WH, 0x500000, 48, 4, 1, 16, 24, 273, DRU_SPLIT_LEAPFROG | DRU_SPLIT_SKIP, DRU_CPU_NONE, READY, ALL, "wh")   \
  X(Sobol, SOBOL, 0x600000, 11712, 2604, 0, 4, 32, 1, DRU_SPLIT_SELECT | DRU_SPLIT_SKIP, DRU_CPU_NONE, READY, ALL,  \
    "sobol")                                                                                                        \
  X(Niederr, NIEDERR, 0x700000, 84288, 10498, 0, 4, 32, 1, DRU_SPLIT_SELECT | DRU_SPLIT_SKIP, DRU_CPU_NONE, READY,  \
    ALL, "niederr")                                                                                                 \
  X(MT19937, MT19937, 0x800000, 2520, 625, 1, 4, 32, 1, DRU_SPLIT_SKIP, DRU_CPU_NONE, READY, ALL, "mt19937")        \
  X(MT2203, MT2203, 0x900000, 312, 70, 1, 4, 32, 6024, 0, DRU_CPU_NONE, READY, ALL, "mt2203")                       \
  X(iAbstract, IABSTRACT, 0xA00000, 48, 0, 1, 4, 32, 1, 0, DRU_CPU_NONE, READY, I, "")                              \
  X(dAbstract, DABSTRACT, 0xB00000, 64, 0, 1, 4, 32, 1, 0, DRU_CPU_NONE, READY, D, "")                              \
  X(sAbstract, SABSTRACT, 0xC00000, 56, 0, 1, 4, 32, 1, 0, DRU_CPU_NONE, READY, S, "")                              \
  X(SFMT19937, SFMT19937, 0xD00000, 2536, 625, 1, 4, 32, 1, DRU_SPLIT_SKIP, DRU_CPU_NONE, READY, ALL, "sfmt19937")  \
  X(TRNG, TRNG, 0xE00000, 24, 1, 0, 4, 32, 1, 0, DRU_CPU_RDRAND, READY, ALL, "trng")                                \
  X(ARS5, ARS5, 0xF00000, 72, 8, 1, 4, 32, 1, DRU_SPLIT_SKIP | DRU_SPLIT_SKIP_EX, DRU_CPU_AES, READY, ALL, "ars5")  \
  X(PHILOX4X32X10, PHILOX4X32X10, 0x1000000, 64, 8, 1, 4, 32, 1, DRU_SPLIT_SKIP | DRU_SPLIT_SKIP_EX, DRU_CPU_NONE,  \
    READY, ALL, "philox4x32x10")

/* NRX_BRNG_WHEN_USABLE(state, kind, ...) expands to its last arguments for a row that
 * is READY with all three outputs, and to nothing for the others. */
#define NRX_BRNG_WHEN_USABLE(state, kind, ...) NRX_BRNG_WHEN_##state##_##kind(__VA_ARGS__)
#define NRX_BRNG_WHEN_READY_ALL(...) __VA_ARGS__
#define NRX_BRNG_WHEN_READY_I(...)
#define NRX_BRNG_WHEN_READY_D(...)
#define NRX_BRNG_WHEN_READY_S(...)
#define NRX_BRNG_WHEN_PENDING_ALL(...)
#define NRX_BRNG_WHEN_PENDING_I(...)
#define NRX_BRNG_WHEN_PENDING_D(...)
#define NRX_BRNG_WHEN_PENDING_S(...)

/* Identifiers: main-table identifiers are (index + 1) << 20, plus a member number
 * for the families (WH 0..272, MT2203 0..6023); identifiers below 0x100000 name
 * the legacy table. */
#define NRX_BRNG_ENUM(Name, NAME, id, ...) DRU_BRNG_##NAME = id,
enum dru_brng { NRX_BRNG_LIST(NRX_BRNG_ENUM) };
#undef NRX_BRNG_ENUM

#define DRU_REGISTRY_CAPACITY 512
#define DRU_LEGACY_RECORDS 281
#define DRU_SHARED_TABLE_SIZE 128

/* Init method codes. */
#define DRU_INIT_STANDARD 0      /* seed from n parameter words */
#define DRU_INIT_LEAPFROG 1      /* params = {k, total}, n = total */
#define DRU_INIT_SKIP_AHEAD 2    /* params = 64-bit count, low word first, n = 2 */
#define DRU_INIT_SKIP_AHEAD_EX 3 /* params = n 64-bit words, least significant first */

/* Uniform law method codes. */
#define DRU_RNG_UNIFORM_STD 0
#define DRU_RNG_UNIFORM_ACCURATE 0x40000000 /* results clamped into [a, b] */

/* ---- Quasi-random generators (Sobol, Niederreiter) ------------------------------
 * Both are digital sequences in base 2 with 32 direction numbers v_0 .. v_31 per
 * dimension: point n (n = 1, 2, ...) is the XOR, coordinate by coordinate, of the v_c
 * for the bits c of n ^ (n >> 1) (Gray-code order; the origin, point 0, is never
 * delivered, so no value is 0). Values form one flat stream: the d coordinates of
 * point 1, then of point 2, ...; a call may end inside a point and the next continues
 * there. Word output is the 32-bit coordinate, real output a + (b - a) x 2^-32.
 *
 * Seeding, params[0] = d:
 *   n < 1: d = 1. n = 1: d = params[0] for 1 <= params[0] <= the built-in count, else 1.
 *   n >= 2: params[0] as int32 <= 0 gives d = 1. With n >= 4 and params[1] = 1,
 *   params[2] names a form of caller data; when the data do not fit in the n words or
 *   do not define direction numbers, the built-in ones are used and a d above the
 *   built-in count becomes 1 (no error). A polynomial is an integer whose bit k is the
 *   coefficient of x^k; dimension 1 of Sobol's forms 1 to 3 is always v_c = 2^(31 - c).
 *   Sobol (built in: dimensions 1 to 40; caller forms up to 2^24 dimensions):
 *     form 1   n >= d + 2: params[3 + j - 2] is the primitive polynomial of dimension
 *              j = 2 .. d; its initial numbers m_1 .. m_s are all 1.
 *     form 2   n >= (d - 1) params[3] + 4, params[3] = w >= 2: from params[4], one block
 *              of w words per dimension 2 .. d: the polynomial of degree s <= w - 1,
 *              then m_1 .. m_s (the rest of the block unread).
 *     form 3   n >= d + 3 and n >= (d - 1)(params[d + 2] + 1) + 4: polynomials of
 *              dimensions 2 .. d in params[3 .. d + 1], the top degree t = params[d + 2],
 *              then from params[d + 3] one block of t initial numbers per dimension.
 *     form 11  n >= 32 d + 3: ready direction numbers v_0 .. v_31 of every dimension,
 *              dimension 1 first, from params[3] (any 32 x 32 generator matrices).
 *   The initial numbers must be odd with m_k < 2^k, the polynomial odd of degree >= 1;
 *   then m_k = 2 a_1 m_(k-1) ^ 4 a_2 m_(k-2) ^ ... ^ 2^s m_(k-s) ^ m_(k-s) for k > s
 *   (a_i the coefficient of x^(s-i)) and v_(k-1) = m_k 2^(32-k).
 *   Niederreiter (built in: dimensions 1 to 318): dimension i uses the i-th irreducible
 *   polynomial p over GF(2) in increasing order (x, x + 1, x^2 + x + 1, ...) of degree
 *   e; bit 32 - j of v_r is the coefficient a_r of x^(-r-1) in x^(e-u-1) / p^(q+1),
 *   j - 1 = q e + u, 0 <= u < e. Caller data: form 11 only, as for Sobol.
 *
 * Splitting (DRU_SPLIT_SELECT | DRU_SPLIT_SKIP):
 *   Leapfrog is coordinate selection: only with total = 0x7FFFFFFF and 0 <= k < d
 *   (else DRU_E_NO_LEAPFROG). The stream then delivers coordinate k of successive
 *   points, starting with the point that holds the stream's position if its coordinate
 *   k is not behind that position, else the next point; a later selection restarts the
 *   same way from the position the last one reached. Each value passes a whole point.
 *   Skip-ahead counts points: skipping k moves the stream k d values on, also inside a
 *   point. DRU_E_NO_SKIP_AHEAD when n < 1 or k d, or the counter plus k d, reaches
 *   0xFFFFFFFF. Multi-word skip-ahead: DRU_E_NO_SKIP_AHEAD_EX.
 * Limit: the counter starts at 1 and advances by 1 per value (by d per value with a
 *   selected coordinate); a call that would take it past 0xFFFFFFFF returns
 *   DRU_E_QRNG_EXHAUSTED and writes nothing.
 * Threads: with d the dimension and c the number of whole points of the call (values
 *   before its first whole point and after its last, which finish or start a point, are
 *   not counted and are made on the calling thread), the whole points are threaded only
 *   when d > 32 and: for d < 64, d is a multiple of 32 (so never) and c >= 131072; for
 *   d >= 64, unless c < 131072 and (d < 250 or (c < 8192 and (d < 500 or (c < 256 and
 *   (d < 1000 or (c < 64 and (d < 2000 or (c < 32 and (d < 4000 or (c < 8 and (d < 16000
 *   or (c < 2 and d < 32000)))))))))))). Such a call asks
 *   nrx_serv_load_thread_fun("nrx_dru_serv_threader_get_num_threads_limit") for the
 *   limit and, when it is above 1, calls the function loaded as
 *   "nrx_dru_serv_threader_for" with (G = ceil(d / 32), 0, context, kernel). With L the
 *   limit, the call's whole points are cut into B = min(L, c, G / ceil(d / 4096)) blocks
 *   of consecutive points, and item floor(G b / B) + k makes chunk k (coordinates 4096 k
 *   on) of every point of block b: the items that start the ranges the core library's
 *   threader gives a team of L threads, so that each thread writes one stretch of the
 *   output and a thread that is done takes a block only from one that has not started;
 *   the other items do nothing. Output of 8 MB and more whose points do not all start
 *   at one offset from a 64-byte line (d not a multiple of 8 for doubles, of 16 for
 *   floats and words, or d > 4096) is instead made by item g for coordinates 32g ..
 *   32g + 31 of all the points. No lock is taken; the stream's point moves to the last
 *   point on the calling thread after the items. Otherwise, and when the limit is 1,
 *   the call runs on the calling thread. Results are the same either way.
 * Output of 8 MB and more in more than 16 dimensions (with the result pointer a
 *   multiple of the value size) is written past the caches in whole 64-byte lines, only
 *   lines shared with values outside an item's (or the call's) as ordinary stores.
 * State (offsets in the stream): counter u32 @16 (1 + position of the next value in the
 *   flat stream), d @20, selected coordinate @24 (0xFFFFFFFF for none), remaining @28
 *   (coordinates of the current point still to deliver; with a selection 1 while the
 *   current point's coordinate is pending), Gray-code index of the current point @32.
 *   A copy for small dimensions, 33 words per dimension (polynomial, v_0 .. v_31):
 *   Sobol d <= 48: point @64, dimensions @256; Niederreiter d <= 318: point @64,
 *   dimensions @1344.
 * Chunks: DRU_CHUNK_QRNG_ROWS holds the direction numbers row by row (row c: v_c of
 *   every dimension, rows padded to a multiple of 16 words), entered in the shared
 *   read-only table under a fresh identifier so that copies and loaded images share it;
 *   DRU_CHUNK_QRNG_POINT, private, holds the current point (the same padding). When
 *   either is missing, output rebuilds both from the state copy; above the copy's
 *   dimension it returns DRU_E_NO_SHARED_ENTRY. A state a damaged image left
 *   inconsistent gives DRU_E_BAD_IMAGE. */
#define DRU_CHUNK_QRNG_ROWS 9
#define DRU_CHUNK_QRNG_POINT 13

/* Cache chunk kind of the congruential generators (384 bytes). */
#define DRU_CHUNK_MCG_CACHE 14

/* ---- Objects --------------------------------------------------------------- */
typedef struct DruChunk {
  uint32_t id;   /* chunk kind chosen by the attaching code */
  uint32_t size; /* bytes of data */
  void* data;
  struct DruChunk* next; /* newest first */
  uint64_t gid[2];       /* shared-data identifier (low, high), zero when private */
} DruChunk;

typedef struct DruStream {
  uint32_t brng; /* identifier as given at creation */
  uint8_t flag;  /* 1 at creation */
  uint8_t reserved0;
  uint16_t reserved1;
  DruChunk* chunks; /* newest chunk first, null when none */
} DruStream;

typedef struct DruGlobROEntry {
  uint64_t gid[2];
  uint32_t refs;
  void* data;
} DruGlobROEntry;

typedef int32_t (*DruInitFn)(int32_t method, DruStream* stream, int32_t n, const uint32_t* params);
typedef int32_t (*DruGenSFn)(DruStream* stream, int32_t n, float* r, float a, float b);
typedef int32_t (*DruGenDFn)(DruStream* stream, int32_t n, double* r, double a, double b);
typedef int32_t (*DruGenIFn)(DruStream* stream, int32_t n, uint32_t* r);

typedef struct BrngProperties {
  int32_t StateSize; /* bytes of a stream including the 16-byte header */
  int32_t SeedCount; /* words of seed/state proper */
  int32_t HasZero;   /* 1 when the integer output can be 0 */
  int32_t WordBytes; /* bytes of one integer output: 4, 8 or 16 */
  int32_t BitCount;  /* significant bits of an output word */
  DruInitFn Init;
  DruGenSFn GenS;
  DruGenDFn GenD;
  DruGenIFn GenI;
} BrngProperties;

typedef struct DruRegistry {
  BrngProperties records[DRU_REGISTRY_CAPACITY];
  int32_t count;                          /* used records, 16 at start */
  int32_t members[DRU_REGISTRY_CAPACITY]; /* members per record */
} DruRegistry;

/* ---- Registry -------------------------------------------------------------- */
extern NRX_RNG_API DruRegistry _RegBrngsNew;
extern NRX_RNG_API BrngProperties _RegBrngs[DRU_LEGACY_RECORDS];

/* Splits `brng` into record index and member; returns the table (the main
 * table's records or the legacy table). Nothing is validated. */
NRX_RNG_API BrngProperties* _druGetBrngBaseOffset(int32_t brng, int32_t* index, int32_t* member);
/* 0 or DRU_E_BRNG_INVALID. Legacy: 0 <= index < 281; main: index below the
 * used count and member below the record's member count. */
NRX_RNG_API int32_t _druIsBrngValid(const BrngProperties* table, int32_t index, int32_t member);
/* Copies the record of `brng` into *props; DRU_E_BRNG_INVALID leaves it untouched. */
NRX_RNG_API int32_t _druGetBrngProperties(int32_t brng, BrngProperties* props);
/* Used records of the main table (16 + successful registrations). */
NRX_RNG_API int32_t _druGetNumRegBrngs(void);
/* Appends a caller generator; returns its identifier (used count + 1) << 20,
 * or DRU_E_BAD_STATE_SIZE, DRU_E_BAD_WORD_SIZE, DRU_E_BAD_SEED_COUNT,
 * DRU_E_BAD_BIT_COUNT, DRU_E_NULL_POINTER (checked in that order), or
 * DRU_E_NO_MEMORY when all 512 records are in use (table unchanged). Not locked. */
NRX_RNG_API int32_t _druRegisterBrng(const BrngProperties* props);

/* ---- Streams --------------------------------------------------------------- */
/* Creates and seeds a stream of `brng` from n parameter words. DRU_E_BRNG_INVALID
 * (also for the abstract identifiers), DRU_E_NO_MEMORY (handle left null), or
 * the generator's seeding status (the stream then stays allocated). */
NRX_RNG_API int32_t _druNewStreamEx(DruStream** stream, int32_t brng, int32_t n, const uint32_t* params);
/* Independent copy with its own chunks. DRU_E_BRNG_INVALID, DRU_E_NO_MEMORY
 * (the handle is then null). */
NRX_RNG_API int32_t _druCopyStream(DruStream** copy, const DruStream* src);
/* Overwrites dst's state and chunks with src's; dst->brng unchanged. dst == src
 * is a no-op. DRU_E_BRNG_INVALID, DRU_E_NO_MEMORY (dst unchanged). */
NRX_RNG_API int32_t _druCopyStreamState(DruStream* dst, const DruStream* src);
/* Frees the stream and its chunks and nulls the handle; returns 0. */
NRX_RNG_API int32_t _druDeleteStream(DruStream** stream);
/* Makes the stream its k-th of `total` interleaved sub-sequences (0 <= k < total):
 * x <- x A^k, A <- A^total, so it delivers the values of 0-based index
 * k + i total - 1 (i = 1, 2, ...) of the original sequence.
 * DRU_E_TOO_MANY_STREAMS for total < 1, DRU_E_BAD_ARGUMENT for k outside
 * [0, total), DRU_E_NO_LEAPFROG for MRG32K3A and R250. */
NRX_RNG_API int32_t _druLeapfrogStream(DruStream* stream, int32_t k, int32_t total);
/* Advances by `steps` outputs. DRU_E_NO_SKIP_AHEAD for R250. */
NRX_RNG_API int32_t _druSkipAheadStream(DruStream* stream, uint64_t steps);
/* Advances by the count of n 64-bit words (least significant first); MRG32K3A,
 * ARS5 and PHILOX4X32X10 support it, the others return DRU_E_NO_SKIP_AHEAD_EX. */
NRX_RNG_API int32_t _druSkipAheadStreamEx(DruStream* stream, int32_t n, const uint64_t* steps);
/* Validates (table, index, member) and allocates an unseeded stream with a
 * fresh header. DRU_E_BRNG_INVALID, DRU_E_NO_MEMORY. */
NRX_RNG_API int32_t _druAllocateStream(DruStream** stream, const BrngProperties* table, int32_t brng, int32_t index,
                                       int32_t member);
/* The stream's identifier. */
NRX_RNG_API int32_t _druGetStreamStateBrng(const DruStream* stream);

/* ---- Chunks ---------------------------------------------------------------- */
/* Attaches `size` bytes at `data` as a chunk of kind `id`, newest first. A
 * non-zero gid shares the data through the shared table (an existing entry's
 * data replaces `data`, which stays the caller's). DRU_E_NO_MEMORY. */
NRX_RNG_API int32_t _druAddChunk(DruStream* stream, uint32_t id, const uint64_t* gid, void* data, uint32_t size);
/* Data of the newest chunk of kind `id`, or null. */
NRX_RNG_API void* _druSearchChunk(const DruStream* stream, uint32_t id);
/* Number of attached chunks. */
NRX_RNG_API int32_t _druGetNumChunks(const DruStream* stream);
/* Frees every chunk of kind `id` (shared data by reference count); returns 0. */
NRX_RNG_API int32_t _druDeleteChunksById(DruStream* stream, uint32_t id);
/* Frees every chunk; returns 0. */
NRX_RNG_API int32_t _druDeleteChunks(DruStream* stream);
/* Appends copies of src's chunks to dst in src's order; shared data is
 * referenced, private data copied. DRU_E_NO_MEMORY (dst unchanged). */
NRX_RNG_API int32_t _druCopyChunks(DruStream* dst, const DruStream* src);

/* ---- Shared read-only data table (128 entries, spin-locked) ---------------- */
/* *entry = the entry of gid; DRU_E_NO_SHARED_ENTRY when gid is null, zero or absent. */
NRX_RNG_API int32_t _druFindGlobRODataTableEntry(DruGlobROEntry** entry, const uint64_t* gid);
/* Appends {gid, refs 1, data}; DRU_E_SHARED_TABLE_FULL at 128 entries. */
NRX_RNG_API int32_t _druCreateGlobRODataTableEntry(DruGlobROEntry** entry, const uint64_t* gid, void* data);
/* refs + 1 and chunk->data = entry data; DRU_E_NO_SHARED_ENTRY when absent. */
NRX_RNG_API int32_t _druRegisterGlobRODataReference(DruChunk* chunk, const uint64_t* gid);
/* refs - 1; at zero the data is freed and the entry removed. DRU_E_NO_SHARED_ENTRY. */
NRX_RNG_API int32_t _druUnregisterGlobRODataReference(const uint64_t* gid);
/* gid = {time-stamp counter, tag sign-extended}, unique in the table; returns 0. */
NRX_RNG_API int32_t _druGenerateNewGlobalRODataTableEntryId(uint64_t* gid, int32_t tag);

/* ---- Persistence ----------------------------------------------------------- */
/* Image: version 2 @0, "RNG" @4, header size 24 (u16) @8, state size (u32) @12,
 * chunk count (u16) @16, brng (u32) @20, state @24, then per chunk id u32,
 * gid 16 bytes, size u32, data. Older 20-byte headers load too. */
/* Byte size of the stream's image: StateSize + 8 + sum(24 + chunk size). */
NRX_RNG_API int32_t _druGetStreamSize(const DruStream* stream);
/* Writes the image into buffer (_druGetStreamSize bytes); returns 0. */
NRX_RNG_API int32_t _druSaveStreamM(const DruStream* stream, void* buffer);
/* New stream from a memory image. DRU_E_BAD_IMAGE, DRU_E_NO_MEMORY,
 * DRU_E_NO_RDRAND, DRU_E_NO_AES; on failure *stream is null. */
NRX_RNG_API int32_t _druLoadStreamM(DruStream** stream, const void* buffer);
/* Writes the image to the file named by path_len bytes at path.
 * DRU_E_NO_MEMORY, DRU_E_FILE_OPEN, DRU_E_FILE_WRITE, DRU_E_FILE_CLOSE. */
NRX_RNG_API int32_t _druSaveStreamF(const DruStream* stream, const char* path, int32_t path_len);
/* New stream from a file (note the argument order). DRU_E_FILE_OPEN,
 * DRU_E_FILE_READ (file ends early), DRU_E_BAD_FILE_IMAGE, DRU_E_NO_MEMORY,
 * DRU_E_FILE_CLOSE, DRU_E_NO_RDRAND, DRU_E_NO_AES; on failure *stream is null. */
NRX_RNG_API int32_t _druLoadStreamF(DruStream** stream, int32_t path_len, const char* path);

/* ---- Generators (registry functions) --------------------------------------- *
 * Init(method, stream, n, params) and the outputs: GenD/GenS write n values in
 * [a, b), GenI n words of WordBytes bytes. Outputs return 0.
 *   MCG31M1   x <- A x mod 2^31-1, a = 1132489760; real a+(b-a) x/(2^31-1)
 *   MCG59     x <- A x mod 2^59, a = 13^13; real a+(b-a) x 2^-59; 8-byte words
 *   MRG32K3A  L'Ecuyer's combined recurrence; u in 1..m1; real a+(b-a) u/m1
 *   R250      x[i] ^= x[i+103 mod 250]; real a+(b-a) u 2^-32
 *   WH        four Wichmann-Hill components per member (273 members);
 *             real frac(sum x_c/m_c); 16-byte words x1..x4
 *   MT19937   the 624-word Mersenne twister seeded by its array initialisation
 *             (params are the key; n < 1: the key {1}); 32-bit tempered words;
 *             real a + (b - a) u 2^-32. State: mt[624] @16, next word @2512 (624:
 *             regenerate first). Skip-ahead only; leapfrog -1002, multi-word -1004.
 *   MT2203    6024 twisters of 2203 bits (members 0..6023, identifier 0x900000 +
 *             member), seeded as MT19937 over 69 words; tempering y ^= y >> 12,
 *             y ^= (y << 7) & b, y ^= (y << 15) & c, y ^= y >> 18; real
 *             a + (b - a) u 2^-32. State: mt[69] @16, next word @292 (69: regenerate
 *             first), the member's matrix word a @296 and masks b @300, c @304, copied
 *             from the built-in table at seeding (outputs use these copies), 0 @308.
 *             Rows 0, 1, 2 and 6023 are the fixed ones; every other row is the first
 *             matrix word, top bit set, drawn from a generator seeded with the member
 *             number, whose characteristic polynomial is primitive, with masks chosen
 *             for equidistribution of the top 1..16 output bits: greedily bit by bit
 *             from the top, then the lower bits revised one at a time (tools/mt2203).
 *             No splitting: leapfrog -1002, skip-ahead -1003, multi-word -1004.
 *   SFMT19937 the SIMD-oriented twister over 156 blocks of 128 bits, array
 *             initialisation and period certification; words in array order; real
 *             a + (b - a) u 2^-32. State: 624 words @16, 16 spare bytes, next word
 *             @2528, @2532 1 once the array holds a generated block (0 after
 *             seeding: the first output regenerates). Skip-ahead only.
 *   PHILOX4X32X10  Philox4x32 with 10 rounds; params {k0, k1, c0, c1, c2, c3}
 *             (missing words 0). State: key[2] @16, counter[4] @24 (low word first),
 *             words used of the buffered block @40, the block @44.
 *   ARS5      counter ^ key, four AES rounds and a last one with round keys
 *             key + i W (W = 0x9E3779B97F4A7C15, 0xBB67AE8584CAA73B added to the two
 *             64-bit halves); params {k0..k3, c0..c3}. State: key[4] @16, counter[4]
 *             @32, words used @48, the block @52. Outputs and skip-ahead return
 *             DRU_E_NO_AES without the AES instructions.
 *   Both: four words per counter value in order, the counter a 128-bit number that
 *             carries through all four words and wraps; the stored counter is the one
 *             of the next block, and a used count of 0 means no buffered word is
 *             waiting (the block then is the previous counter's). Skip-ahead (one or
 *             many words) uses up waiting words, adds count / 4 to the counter (mod
 *             2^128) and makes the block for a remainder. Real a + (b - a) u 2^-32.
 *             Leapfrog -1002.
 *   TRNG      RDRAND words read in pairs (an odd count ends with one read); a pair
 *             with a failed read is read again at most `retry limit` more times, then
 *             the call returns DRU_E_RDRAND_RETRIES keeping the values written.
 *             params {ignored, limit}: the limit is params[1] when n >= 2 and it is
 *             non-zero, else 10. State: 0 @16, limit @20. Double: two reads as
 *             v = low | high << 32, a + ((b - a) 2^-64) v; single: fmaf((b - a) 2^-32,
 *             u, a) in float. DRU_E_NO_RDRAND without RDRAND. No splitting.
 *   Real outputs evaluate the conversion as written, without fused operations;
 *   R250 computes u ((b - a) 2^-32) + a. Single precision rounds the double.
 * Every row of NRX_BRNG_LIST has the four functions below. Rows in state PENDING
 * return DRU_E_BRNG_INVALID; an abstract stream's two outputs of the other kinds
 * are one function under six names that does nothing and returns
 * DRU_E_ABSTRACT_KIND. */
#define NRX_RNG_DECLARE_BRNG(Name, ...)                                                             \
  NRX_RNG_API int32_t _druBRng##Name##InitStream(int32_t method, DruStream* stream, int32_t n,      \
                                                 const uint32_t* params);                           \
  NRX_RNG_API int32_t _drusBRng##Name(DruStream* stream, int32_t n, float* r, float a, float b);    \
  NRX_RNG_API int32_t _drudBRng##Name(DruStream* stream, int32_t n, double* r, double a, double b); \
  NRX_RNG_API int32_t _druiBRng##Name(DruStream* stream, int32_t n, uint32_t* r);
NRX_BRNG_LIST(NRX_RNG_DECLARE_BRNG)

/* ---- Abstract streams ------------------------------------------------------- *
 * A stream over the caller's circular buffer of n values. When every value has been
 * read, the output calls the callback as cb(stream, &n, buffer, &nmin, &nmax, &idx):
 * n is the buffer length, idx the read position where the refill starts, and the
 * callback writes between nmin (1) and nmax (n) values at buffer[(idx + j) mod n] and
 * returns how many it wrote; reading resumes at idx. A return below 0 or above n gives
 * DRU_E_BAD_CALLBACK_COUNT, 0 gives DRU_E_CALLBACK_EMPTY; values written before
 * stay written. A null buffer in the state gives DRU_E_NULL_POINTER. The real kinds
 * take the buffered values as lying in [a, b) given at construction and return
 * a' + (x - a) ((b' - a') / (b - a)) for the a', b' of the call (x itself when they
 * agree). Init(0, stream, n, params) copies the state after the header from params
 * (the layout above) and sets the read position to 0 and the unread count to N.
 * Constructors: DRU_E_BAD_ARGUMENT for n < 1, a null buffer or callback, or
 * !(a < b); DRU_E_BRNG_INVALID; DRU_E_NO_MEMORY (handle untouched). */
typedef int32_t (*DruiAbstractCallback)(DruStream* stream, int32_t* n, uint32_t* buffer, int32_t* nmin, int32_t* nmax,
                                        int32_t* idx);
typedef int32_t (*DrudAbstractCallback)(DruStream* stream, int32_t* n, double* buffer, int32_t* nmin, int32_t* nmax,
                                        int32_t* idx);
typedef int32_t (*DrusAbstractCallback)(DruStream* stream, int32_t* n, float* buffer, int32_t* nmin, int32_t* nmax,
                                        int32_t* idx);
NRX_RNG_API int32_t _druiNewAbstractStream(DruStream** stream, int32_t n, uint32_t* buffer, DruiAbstractCallback cb);
NRX_RNG_API int32_t _drudNewAbstractStream(DruStream** stream, int32_t n, double* buffer, double a, double b,
                                           DrudAbstractCallback cb);
NRX_RNG_API int32_t _drusNewAbstractStream(DruStream** stream, int32_t n, float* buffer, float a, float b,
                                           DrusAbstractCallback cb);

/* ---- Processor features ------------------------------------------------------ */
/* 1 when the processor has RDRAND / AES with SSE4.1 / VAES with AVX-512, else 0. */
NRX_RNG_API int32_t _druCPUisRDRAND(void);
NRX_RNG_API int32_t _druCPUisAES(void);
NRX_RNG_API int32_t _druCPUisVAES(void);

/* ---- Modular helpers -------------------------------------------------------- */
/* a^e mod m (m >= 1), 1 when e = 0. */
NRX_RNG_API uint32_t _druiPowMod(uint32_t a, uint64_t e, uint32_t m);
/* a^e mod 2^31 - 1. */
NRX_RNG_API uint32_t _druiPowMod2P31M1(uint32_t a, uint64_t e);
/* a^e mod 2^59. */
NRX_RNG_API uint64_t _druiPowMod2P59(uint64_t a, uint64_t e);
/* v <- M^e v mod m; M row-major 3x3 with entries below m, v entries below m. */
NRX_RNG_API void _druiVect3PowMod(uint32_t v[3], const uint32_t M[9], uint32_t m, uint64_t e);
/* As above with the exponent given as nwords 64-bit words, least significant first. */
NRX_RNG_API void _druiVect3PowArrayMod(uint32_t v[3], const uint32_t M[9], uint32_t m, int32_t nwords,
                                       const uint64_t* e);
/* v <- A1^e v mod m1 (resp. A2^e v mod m2) for the MRG32K3A companion matrices
 * acting on (x[n-3], x[n-2], x[n-1]); built-in powers cover 4 words (2^256). */
NRX_RNG_API void _druiVect3PowArrayMod_M1(uint32_t v[3], int32_t nwords, const uint64_t* e);
NRX_RNG_API void _druiVect3PowArrayMod_M2(uint32_t v[3], int32_t nwords, const uint64_t* e);

/* ---- Polynomials over GF(2) ------------------------------------------------- */
/* rem = x^n mod phi as (degree + 31) / 32 words, bit i of the vector the coefficient
 * of x^i; phi = sum of x^terms[k], nterms ascending exponents ending with degree
 * (1 <= degree <= 19968). When n < degree the result is the single term x^n.
 * DRU_E_BAD_ARGUMENT for a null pointer or a malformed term list; DRU_E_NO_MEMORY when
 * its 5 KB work space cannot be allocated. */
NRX_RNG_API int32_t _druPolyRem(uint32_t* rem, uint64_t n, int32_t degree, int32_t nterms, const uint32_t* terms);

/* ---- Skip-ahead of GF(2)-linear generators ---------------------------------- */
/* The per-generator operations of the two skip-ahead helpers below. A working
 * state is a block of stream_size bytes (128-byte aligned) that the helpers allocate
 * and the callbacks alone interpret; the twisters keep the stream's layout and use
 * its position word as the head of a ring of state elements. */
typedef void (*DruSkipLoadFn)(void* work, const DruStream* stream);  /* the stream's state into work */
typedef void (*DruSkipStoreFn)(DruStream* stream, const void* work); /* work back into the stream */
typedef void (*DruSkipClearFn)(void* work);                          /* the zero state */
typedef void (*DruSkipCopyFn)(void* dst, const void* src);           /* dst = src */
typedef void (*DruSkipStepFn)(void* work);                           /* work = T work, one step */
typedef void (*DruSkipAddFn)(void* dst, const void* src);            /* dst = dst XOR src */

/* The stream's state replaced by its state n steps of T later: g = x^n mod phi, phi =
 * sum of x^terms[k] (nterms ascending exponents ending with degree, 1 <= degree <=
 * 19968, phi(T) = 0 on the states reached after one step), and state' = sum g_i T^i
 * state. When 32 * words > degree the state carries bits that one step discards (the
 * low 31 bits of MT19937's oldest word): one plain step is taken first. Horner steps
 * once per coefficient from the highest and adds the state for each one; the
 * sliding-window variant takes windows of 8 coefficients and adds one of 256
 * precomputed combinations h(T) state per window. Working states come from
 * nrx_serv_allocate and are freed before return. DRU_OK; DRU_E_BAD_ARGUMENT for a null
 * pointer, words < 1, stream_size < 16 + 4 * words, degree > 32 * words or a malformed
 * term list; DRU_E_NO_MEMORY when an allocation fails (the stream is then unchanged). */
NRX_RNG_API int32_t _dru_SkipAheadHorner(DruStream* stream, DruSkipLoadFn load, DruSkipStoreFn store,
                                         DruSkipClearFn clear, DruSkipCopyFn copy, DruSkipStepFn step, DruSkipAddFn add,
                                         uint64_t n, int32_t words, int32_t degree, int32_t stream_size, int32_t nterms,
                                         const uint32_t* terms);
NRX_RNG_API int32_t _dru_SkipAheadSWin(DruStream* stream, DruSkipLoadFn load, DruSkipStoreFn store,
                                       DruSkipClearFn clear, DruSkipCopyFn copy, DruSkipStepFn step, DruSkipAddFn add,
                                       uint64_t n, int32_t words, int32_t degree, int32_t stream_size, int32_t nterms,
                                       const uint32_t* terms);

/* ---- Uniform law ------------------------------------------------------------ */
/* n variates in [a, b) from any stream through its GenS / GenD; with
 * DRU_RNG_UNIFORM_ACCURATE every value is clamped into [a, b].
 * DRU_E_BAD_ARGUMENT for n < 0, r null with n > 0, !(a < b) or another
 * method code; a generator's negative status is returned unchanged. */
NRX_RNG_API int32_t drusRngUniform(int32_t method, DruStream* stream, int32_t n, float* r, float a, float b);
NRX_RNG_API int32_t drudRngUniform(int32_t method, DruStream* stream, int32_t n, double* r, double a, double b);

/* ---- Continuous laws ---------------------------------------------------------- *
 * dru<s|d>Rng<Law>(method, stream, n, r, parameters): n variates into r, float or
 * double throughout. Each call masks floating-point exceptions (nearest rounding,
 * no flushing), sets the vector-math mode word to ZAR_ERRMODE_CALLBACK with the
 * law's own error callback, runs its vector math through the third table entry
 * under ZAR_FTZDAZ_OFF, and restores the mode, callback and floating-point state
 * on every return; flags raised inside do not reach the caller. Work runs in
 * blocks of 1,024 results on the stack.
 * Statuses: 0; DRU_E_BAD_ARGUMENT (nothing drawn) for n < 0, a null stream, r null
 * with n > 0, an unknown method or storage code, or a parameter outside its range
 * (sigma, beta, alpha, p, q <= 0 or not a number, v < 1, dim < 1); DRU_E_NO_MEMORY
 * when Gaussian method 1 cannot attach its pending pair; a generator's negative
 * status unchanged (results before it stay in r). Laws whose method selects
 * nothing accept only 0. */
#define DRU_RNG_GAUSSIAN_BOX_MULLER 0   /* a + sigma sqrt(-2 ln u1) sin(2 pi u2), one per pair */
#define DRU_RNG_GAUSSIAN_BOX_MULLER2 1  /* sine and cosine variates of each pair */
#define DRU_RNG_GAUSSIAN_ICDF 2         /* a + sqrt(2) sigma erfinv(u), u in [-1, 1) */
#define DRU_RNG_LOGNORMAL_BOX_MULLER2 0 /* normals by Gaussian method 1 */
#define DRU_RNG_LOGNORMAL_ICDF 1        /* normals by Gaussian method 2 */
#define DRU_RNG_GAMMA_MARSAGLIA_TSANG 0 /* see drudRngGamma */
#define DRU_RNG_BETA_GAMMA_RATIO 0      /* see drudRngBeta */
/* GaussianMV storage of the lower Cholesky factor T of the covariance. */
#define DRU_RNG_MV_FULL 0     /* dim x dim, row i holds T[i][0..i] (upper part unread) */
#define DRU_RNG_MV_PACKED 1   /* T[j..dim-1][j] for j = 0, 1, ...: columns of the triangle */
#define DRU_RNG_MV_DIAGONAL 2 /* the dim diagonal entries */
/* Chunk kinds of Gaussian method 1's pending pair (u1, u2), both -1 when empty. */
#define DRU_CHUNK_GAUSSIAN_PAIR_S 1 /* two floats */
#define DRU_CHUNK_GAUSSIAN_PAIR_D 2 /* two doubles */

/* Normal law N(a, sigma^2). Methods 0 and 1 draw two uniforms in [0, 1) per pair,
 * method 2 one in [-1, 1). Method 1 keeps the cosine variate of an odd count's last
 * pair in the stream (chunk DRU_CHUNK_GAUSSIAN_PAIR_*): two calls of n = 1 give what
 * one call of n = 2 gives. ln 0 gives -744.4400719213812 (float -103.2789306640625)
 * and erfinv(-1) -5.8635847487551676: finite tails. */
NRX_RNG_API int32_t drusRngGaussian(int32_t method, DruStream* stream, int32_t n, float* r, float a, float sigma);
NRX_RNG_API int32_t drudRngGaussian(int32_t method, DruStream* stream, int32_t n, double* r, double a, double sigma);
/* b + beta exp(N(a, sigma^2)); method 0 consumes the stream as Gaussian method 1,
 * method 1 as Gaussian method 2. beta > 0. */
NRX_RNG_API int32_t drusRngLognormal(int32_t method, DruStream* stream, int32_t n, float* r, float a, float sigma,
                                     float b, float beta);
NRX_RNG_API int32_t drudRngLognormal(int32_t method, DruStream* stream, int32_t n, double* r, double a, double sigma,
                                     double b, double beta);
/* n vectors of dim values, each a + T z with z standard normals from Gaussian
 * `method` (n dim of them, in order). Full storage above dimension 10 and packed
 * storage go through the core library's triangular multiply; dim = 1 is Gaussian
 * with mean a[0] and sigma t[0]. */
NRX_RNG_API int32_t drusRngGaussianMV(int32_t method, DruStream* stream, int32_t n, float* r, int32_t dim,
                                      int32_t storage, const float* a, const float* t);
NRX_RNG_API int32_t drudRngGaussianMV(int32_t method, DruStream* stream, int32_t n, double* r, int32_t dim,
                                      int32_t storage, const double* a, const double* t);
/* One uniform u in [0, 1) per variate, E = -ln u (ln 0 finite as above):
 *   Exponential  max(a, a + beta E)
 *   Rayleigh     max(a, a + beta sqrt(E))
 *   Weibull      max(a, a + beta E^(1/alpha)), alpha > 0
 *   Gumbel       a + beta ln(E), E from an exponential call (the minimum-type law)
 * Laplace draws two uniforms per variate, the first for E, the second for the
 * sign: a + beta E when it is <= 0.5, a - beta E otherwise. Cauchy: a + beta
 * tan(u), u in [-pi/2, pi/2). */
NRX_RNG_API int32_t drusRngExponential(int32_t method, DruStream* stream, int32_t n, float* r, float a, float beta);
NRX_RNG_API int32_t drudRngExponential(int32_t method, DruStream* stream, int32_t n, double* r, double a, double beta);
NRX_RNG_API int32_t drusRngRayleigh(int32_t method, DruStream* stream, int32_t n, float* r, float a, float beta);
NRX_RNG_API int32_t drudRngRayleigh(int32_t method, DruStream* stream, int32_t n, double* r, double a, double beta);
NRX_RNG_API int32_t drusRngWeibull(int32_t method, DruStream* stream, int32_t n, float* r, float alpha, float a,
                                   float beta);
NRX_RNG_API int32_t drudRngWeibull(int32_t method, DruStream* stream, int32_t n, double* r, double alpha, double a,
                                   double beta);
NRX_RNG_API int32_t drusRngGumbel(int32_t method, DruStream* stream, int32_t n, float* r, float a, float beta);
NRX_RNG_API int32_t drudRngGumbel(int32_t method, DruStream* stream, int32_t n, double* r, double a, double beta);
NRX_RNG_API int32_t drusRngLaplace(int32_t method, DruStream* stream, int32_t n, float* r, float a, float beta);
NRX_RNG_API int32_t drudRngLaplace(int32_t method, DruStream* stream, int32_t n, double* r, double a, double beta);
NRX_RNG_API int32_t drusRngCauchy(int32_t method, DruStream* stream, int32_t n, float* r, float a, float beta);
NRX_RNG_API int32_t drudRngCauchy(int32_t method, DruStream* stream, int32_t n, double* r, double a, double beta);
/* Gamma with shape alpha, displacement a and scale beta: a + beta G.
 * Marsaglia and Tsang's method: per candidate three uniforms (a polar-method
 * normal x from the first two, the candidate failing when (2u1 - 1, 2u2 - 1) is
 * outside the unit disc; the acceptance uniform from the third), accepted when
 * ln u < x^2/2 + d - d v + d ln v, v = (1 + x / sqrt(9 d))^3, d = alpha - 1/3; each
 * block of up to 1,024 results draws its candidates in rounds and drops the unused
 * ones. Shape below 1 draws G(alpha + 1) and then one uniform per result for the
 * factor u^(1/alpha). Setup is two scalars, recomputed per call (no chunk). */
NRX_RNG_API int32_t drusRngGamma(int32_t method, DruStream* stream, int32_t n, float* r, float alpha, float a,
                                 float beta);
NRX_RNG_API int32_t drudRngGamma(int32_t method, DruStream* stream, int32_t n, double* r, double alpha, double a,
                                 double beta);
/* Chi-square with v >= 1 degrees of freedom: v = 1 or 3 sums v squared normals of
 * Gaussian method 2; even v <= 16 is -2 ln of a product of v/2 uniforms; otherwise
 * Gamma(0, v/2, 0, 2). Changes only the mode word and callback. */
NRX_RNG_API int32_t drusRngChiSquare(int32_t method, DruStream* stream, int32_t n, float* r, int32_t v);
NRX_RNG_API int32_t drudRngChiSquare(int32_t method, DruStream* stream, int32_t n, double* r, int32_t v);
/* Beta with shapes p, q, displacement a and scale beta: a + beta X / (X + Y), X and
 * Y gamma variates of shapes p and q (per block of up to 1,024: the X block, then
 * the Y block, as drudRngGamma draws them), combined as 1 / (1 + exp(ln Y - ln X))
 * so that tiny shapes do not underflow. */
NRX_RNG_API int32_t drusRngBeta(int32_t method, DruStream* stream, int32_t n, float* r, float p, float q, float a,
                                float beta);
NRX_RNG_API int32_t drudRngBeta(int32_t method, DruStream* stream, int32_t n, double* r, double p, double q, double a,
                                double beta);

/* ---- Integer laws ------------------------------------------------------------ *
 * druiRng<Law>(method, stream, n, r, parameters): n variates into the int32 array r
 * (Multinomial: n vectors of k counts; the bit outputs: words). Argument checks come
 * first and a refused call draws nothing: DRU_E_BAD_ARGUMENT for n < 0, a null stream,
 * r null with n > 0, a method code other than those below, or a parameter outside its
 * range (given per law). A generator's negative status is returned unchanged, the
 * results before it staying in r; DRU_E_NO_MEMORY when a setup chunk or work area
 * cannot be allocated. Floating-point exceptions are masked for the call and flags
 * raised inside do not reach the caller.
 * Setup chunks (kept in the stream, saved and loaded with it, replaced when the
 * parameters change): a 40-byte head {the parameters as three doubles, lo i32, len i32}
 * followed, when len > 0, by an inversion table of the values lo .. lo + len - 1 (len
 * doubles of the distribution function, then len i32 guide entries), and when len = 0
 * by the rejection method's hat constants. */
#define DRU_RNG_BERNOULLI_ICDF 0       /* u < (float)p on float uniforms */
#define DRU_RNG_GEOMETRIC_ICDF 0       /* floor(ln u / ln(1 - p)) on float uniforms */
#define DRU_RNG_BINOMIAL_BTPE 0        /* table inversion below a mean of 30, BTPE above */
#define DRU_RNG_POISSON_PTPE 0         /* table inversion below lambda = 27, PTPE above */
#define DRU_RNG_POISSON_NORMAL 1       /* normal-based from lambda = 100 */
#define DRU_RNG_POISSONV_PTPE 0        /* per element: inversion below 27, PTPE above */
#define DRU_RNG_NEGBINOMIAL_MIXTURE 0  /* Poisson with a gamma-distributed mean */
#define DRU_RNG_HYPERGEOMETRIC_ICDF 0  /* table inversion */
#define DRU_RNG_MULTINOMIAL_BINOMIAL 0 /* conditional binomials */
#define DRU_CHUNK_BINOMIAL 20          /* setup of druiRngBinomial */
#define DRU_CHUNK_POISSON 21           /* setup of druiRngPoisson method 0 */
#define DRU_CHUNK_HYPERGEOMETRIC 23    /* table of druiRngHypergeometric */

/* Integers uniform on [a, b), a < b: floor of double uniforms in [a, b) (one per
 * variate); a product that rounds up to b gives b - 1. */
NRX_RNG_API int32_t druiRngUniform(int32_t method, DruStream* stream, int32_t n, int32_t* r, int32_t a, int32_t b);
/* The generator's own integer output: n words of WordBytes bytes each (MCG59 8, WH 16,
 * the others 4), as its GenI gives them. */
NRX_RNG_API int32_t druiRngUniformBits(int32_t method, DruStream* stream, int32_t n, uint32_t* r);
/* n uniformly distributed 32-bit words / n 64-bit words (two 32-bit words each, the
 * first one low). MT19937, MT2203, SFMT19937, TRNG, ARS5 and PHILOX4X32X10 give their
 * own words; MCG59 the top 32 of its 59 bits (x >> 27). Every other generator, the
 * legacy ones apart from MCG59 and the caller's own get DRU_E_NO_FULL_BITS with the
 * stream unchanged. */
NRX_RNG_API int32_t druiRngUniformBits32(int32_t method, DruStream* stream, int32_t n, uint32_t* r);
NRX_RNG_API int32_t druiRngUniformBits64(int32_t method, DruStream* stream, int32_t n, uint64_t* r);
/* 1 with probability p, 0 <= p <= 1: one float uniform u per variate, 1 when u < (float)p
 * (p = 0 gives zeros, p = 1 ones). */
NRX_RNG_API int32_t druiRngBernoulli(int32_t method, DruStream* stream, int32_t n, int32_t* r, double p);
/* Failures before the first success, 0 < p <= 1: floor(ln u / ln(1 - p)) with one float
 * uniform per variate and the single-precision logarithm (ln 0 as -103.2789306640625);
 * counts stop at 2^31 - 128. */
NRX_RNG_API int32_t druiRngGeometric(int32_t method, DruStream* stream, int32_t n, int32_t* r, double p);
/* Successes in ntrial >= 0 trials of probability 0 <= p <= 1. With r = min(p, 1 - p):
 * ntrial r < 30 inverts a table of the law (one double uniform per variate, results
 * independent of how n is split over calls); otherwise BTPE (triangle, parallelogram
 * and exponential regions, Stirling's series in the final test), two uniforms per
 * candidate drawn 1,024 at a time (the unused ones of the last block are dropped).
 * ntrial = 0, p = 0 and p = 1 write their one value without drawing or touching the
 * chunk. Setup in chunk DRU_CHUNK_BINOMIAL. */
NRX_RNG_API int32_t druiRngBinomial(int32_t method, DruStream* stream, int32_t n, int32_t* r, int32_t ntrial, double p);
/* Poisson with mean 0 <= lambda <= 2^30. Method 0: lambda < 27 inverts a table (one
 * double uniform per variate); from 27 PTPE, the Poisson form of BTPE; setup in chunk
 * DRU_CHUNK_POISSON. Method 1 (no chunk): lambda < 1 sequential inversion, 1 <= lambda
 * < 100 table inversion, from 100 one float normal z per variate (Gaussian method 0)
 * through lambda + 1/2 + sqrt(lambda) z + (z^2 - 1)/6 + (z - z^3)/(72 sqrt(lambda)),
 * truncated: an approximation whose probabilities are off by O(1/lambda). */
NRX_RNG_API int32_t druiRngPoisson(int32_t method, DruStream* stream, int32_t n, int32_t* r, double lambda);
/* One Poisson variate per element with mean lambda[i] (each 0 <= lambda[i] <= 2^30),
 * exactly: sequential inversion below 27, PTPE with the element's own hat above. */
NRX_RNG_API int32_t druiRngPoissonV(int32_t method, DruStream* stream, int32_t n, int32_t* r, const double* lambda);
/* Failures before the a-th success, a > 0, 0 < p <= 1, mean a (1 - p) / p <= 2^26:
 * Poisson variates whose means are Gamma(a, 0, (1 - p) / p) variates (drudRngGamma),
 * 1,024 at a time. p = 1 gives zeros without drawing. No chunk: the setup is one
 * division. */
NRX_RNG_API int32_t druiRngNegbinomial(int32_t method, DruStream* stream, int32_t n, int32_t* r, double a, double p);
/* Marked items in a sample of s drawn without replacement from a lot of l holding m
 * marked ones; 0 <= s, m <= l. Inverts a table over the values whose probability is at
 * least 2^-66 of the mode's (one double uniform per variate); the table, up to about
 * 20 standard deviations wide, is kept in chunk DRU_CHUNK_HYPERGEOMETRIC. */
NRX_RNG_API int32_t druiRngHypergeometric(int32_t method, DruStream* stream, int32_t n, int32_t* r, int32_t l,
                                          int32_t s, int32_t m);
/* n vectors of k >= 1 counts summing to ntrial >= 0, category j with probability p[j]:
 * p[j] >= 0 and |sum - 1| <= 16 k DBL_EPSILON, n k <= 2^31 - 1. Category j takes a
 * binomial share of the trials left with probability p[j] / (p[j] + ... + p[k-1]), the
 * last one the rest. The k conditional probabilities live in a work area from
 * nrx_serv_allocate, freed before return. */
NRX_RNG_API int32_t druiRngMultinomial(int32_t method, DruStream* stream, int32_t n, int32_t* r, int32_t ntrial,
                                       int32_t k, const double* p);

/* ---- The laws, one row each ---------------------------------------------------
 * X(Law, label, types, shape, params, defaults, methods)
 *   Law       the function names dru<t>Rng<Law>
 *   label     the law's name in the nrx program
 *   types     SD: float and double members (drus, drud); I: integer results (drui)
 *   shape     SCALAR: the parameters after r are scalars, in the order of `params`;
 *             EACH: one real per variate (an array of n); SHARES: ntrial, k and k
 *             probabilities; MV: dim, storage, a[dim] and the factor t; WORDS: no
 *             parameters, r receives the generator's words
 *   params    the parameters' names, comma-separated
 *   defaults  their values when none are given
 *   methods   the method codes */
#define NRX_RNG_LAW_LIST(X)                                                                                        \
  X(Uniform, "uniform", SD, SCALAR, "a,b", "0,1", "0 standard, 0x40000000 accurate (clamped into [a, b])")         \
  X(Gaussian, "gaussian", SD, SCALAR, "a,sigma", "0,1", "0 Box-Muller, 1 Box-Muller pairs, 2 inverse CDF")         \
  X(Lognormal, "lognormal", SD, SCALAR, "a,sigma,b,beta", "0,1,0,1", "0 through Gaussian 1, 1 through Gaussian 2") \
  X(GaussianMV, "gaussian-mv", SD, MV, "dim,storage,a[dim],t", "1,2,0,1",                                          \
    "0, 1, 2 as Gaussian; storage 0 full, 1 packed, 2 diagonal")                                                   \
  X(Exponential, "exponential", SD, SCALAR, "a,beta", "0,1", "0")                                                  \
  X(Rayleigh, "rayleigh", SD, SCALAR, "a,beta", "0,1", "0")                                                        \
  X(Weibull, "weibull", SD, SCALAR, "alpha,a,beta", "1,0,1", "0")                                                  \
  X(Gumbel, "gumbel", SD, SCALAR, "a,beta", "0,1", "0")                                                            \
  X(Laplace, "laplace", SD, SCALAR, "a,beta", "0,1", "0")                                                          \
  X(Cauchy, "cauchy", SD, SCALAR, "a,beta", "0,1", "0")                                                            \
  X(Gamma, "gamma", SD, SCALAR, "alpha,a,beta", "1,0,1", "0 Marsaglia-Tsang")                                      \
  X(ChiSquare, "chi-square", SD, SCALAR, "v", "1", "0")                                                            \
  X(Beta, "beta", SD, SCALAR, "p,q,a,beta", "1,1,0,1", "0 gamma ratio")                                            \
  X(Uniform, "uniform-int", I, SCALAR, "a,b", "0,2", "0")                                                          \
  X(UniformBits, "bits", I, WORDS, "", "", "0")                                                                    \
  X(UniformBits32, "bits32", I, SCALAR, "", "", "0")                                                               \
  X(UniformBits64, "bits64", I, SCALAR, "", "", "0")                                                               \
  X(Bernoulli, "bernoulli", I, SCALAR, "p", "0.5", "0")                                                            \
  X(Geometric, "geometric", I, SCALAR, "p", "0.5", "0")                                                            \
  X(Binomial, "binomial", I, SCALAR, "ntrial,p", "10,0.5", "0 BTPE")                                               \
  X(Poisson, "poisson", I, SCALAR, "lambda", "1", "0 PTPE, 1 normal-based")                                        \
  X(PoissonV, "poisson-v", I, EACH, "lambda[n]", "1", "0")                                                         \
  X(Negbinomial, "negbinomial", I, SCALAR, "a,p", "1,0.5", "0")                                                    \
  X(Hypergeometric, "hypergeometric", I, SCALAR, "l,s,m", "10,5,5", "0")                                           \
  X(Multinomial, "multinomial", I, SHARES, "ntrial,p[k]", "10,0.5,0.5", "0 conditional binomials")

#ifdef __cplusplus
}
#endif

#endif /* NRX_RNG_H */
