/*
 * nrx data fitting: one-dimensional piecewise-polynomial splines driven by a
 * task object (DfTask): task creation, editing and query; spline
 * construction; cell search; interpolation; integration.
 *
 * Valid C99 and C++. Every function has C linkage and returns a status code
 * (DFK_OK or a negative DFK_ERR_* value). Integers are 64-bit unless stated.
 * Arrays belong to the caller; the task only points at them.
 *
 * Each typed operation exists as nrx_df_kernel_d<Op> (double) and
 * nrx_df_kernel_s<Op> (float); below, T stands for double or float.
 */
#ifndef NRX_FIT_H
#define NRX_FIT_H

#include <stddef.h>
#include <stdint.h>

#include "nrx/core.h"

#if defined(__GNUC__)
#define NRX_FIT_API __attribute__((visibility("default")))
#else
#define NRX_FIT_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Status codes --------------------------------------------------------
 * X(name, value, message): every status of the data fitting services with a
 * short message that says what is wrong and, where one exists, which edit or
 * argument fixes it. The enum below is expanded from this list. */
#define NRX_DF_STATUS_LIST(X)                                                                                      \
  X(DFK_OK, 0, "success")                                                                                          \
  X(DFK_ERR_NULL_TASK, -1000, "null task: create it with NewTask1D first")                                         \
  X(DFK_ERR_ALLOC, -1001, "memory allocation failed (an edit that replaces an owned array leaves it null)")        \
  X(DFK_ERR_METHOD, -1002, "construction method or spline type not supported by this kernel")                      \
  X(DFK_ERR_NX, -1004, "too few breakpoints for this spline: raise nx (item 14)")                                  \
  X(DFK_ERR_X, -1005, "partition pointer null: give x at creation or with EditPtr item 1")                         \
  X(DFK_ERR_XHINT, -1006, "x hint not 0, 1, 2 or 4")                                                               \
  X(DFK_ERR_NY, -1007, "bad number of functions: ny must be at least 1 (ny = 0 only without function values)")     \
  X(DFK_ERR_Y, -1008, "function values missing: give y with EditPtr item 2 or EditIdxPtr")                         \
  X(DFK_ERR_YHINT, -1009, "y hint not 0, 16, 32 or 128, or not usable with column storage")                        \
  X(DFK_ERR_ORDER, -1010, "spline order negative or not served by this kernel")                                    \
  X(DFK_ERR_TYPE, -1011, "spline type not accepted (0-5 or 9; order 0 kinds 6-8 for interpolation)")               \
  X(DFK_ERR_IC_TYPE, -1012, "bad internal-condition type (quadratic type 1 needs bit 8), or an array with type 0") \
  X(DFK_ERR_IC, -1013, "internal-condition array null: give it with EditPPSpline1D or EditPtr item 3")             \
  X(DFK_ERR_BC_TYPE, -1014, "boundary-condition type not accepted by this kernel")                                 \
  X(DFK_ERR_BC, -1015, "boundary-condition array null: this boundary type needs values (EditPtr item 4)")          \
  X(DFK_ERR_COEFF, -1016, "coefficient array missing: give it with EditPPSpline1D or EditPtr item 5")              \
  X(DFK_ERR_COEFF_HINT, -1017, "coefficient hint not 0, 16, 32 or 128")                                            \
  X(DFK_ERR_PERIODIC, -1018, "periodic boundary condition but a function's first and last values differ")          \
  X(DFK_ERR_ITEM, -1019, "item id not served by this edit or query")                                               \
  X(DFK_ERR_INDEX, -1020, "function index outside 0..ny-1")                                                        \
  X(DFK_ERR_NOT_BREAKPOINT, -1022, "look-up interpolation at a site that is not a breakpoint")                     \
  X(DFK_ERR_LOOKUP_COUNT, -1024, "look-up interpolation asked for more than one result per site")                  \
  X(DFK_ERR_LOOKUP_VALUE, -1025, "look-up interpolation without the value (order 0) requested")                    \
  X(DFK_ERR_DATAHINT, -1026, "bad data hint for the cell search")                                                  \
  X(DFK_ERR_RHINT, -1028, "interpolation result hint not 0, 16, 32, 128, 256 or 512")                              \
  X(DFK_ERR_RHINT_INTEGRAL, -1034, "integration result hint not 0, 16, 32 or 128")                                 \
  X(DFK_ERR_FLAG_VALUE, -1036, "auxiliary flag not 0 or 1")                                                        \
  X(DFK_ERR_NULL_OUT, -1037, "output pointer of a query null")                                                     \
  X(DFK_ERR_SOLVER, -1500, "the tridiagonal solver failed (a zero pivot: check for repeated breakpoints)")

#define NRX_DF_STATUS_ENUM_ENTRY(name, value, message) name = value,
enum { NRX_DF_STATUS_LIST(NRX_DF_STATUS_ENUM_ENTRY) };
#undef NRX_DF_STATUS_ENUM_ENTRY

/* ---- Edit and query items ------------------------------------------------ */
enum {
  DFK_ITEM_X = 1,     /* partition                     EditPtr/QueryPtr */
  DFK_ITEM_Y = 2,     /* function pointers             EditPtr/QueryPtr/EditIdxPtr/QueryIdxPtr */
  DFK_ITEM_IC = 3,    /* internal conditions           EditPtr/QueryPtr */
  DFK_ITEM_BC = 4,    /* boundary conditions           EditPtr/QueryPtr */
  DFK_ITEM_COEFF = 5, /* coefficient pointers          EditPtr/QueryPtr/EditIdxPtr/QueryIdxPtr */
  DFK_ITEM_NX = 14,   /* the remaining items: iEditVal / iQueryVal */
  DFK_ITEM_XHINT = 15,
  DFK_ITEM_NY = 16,
  DFK_ITEM_YHINT = 17,
  DFK_ITEM_ORDER = 18,
  DFK_ITEM_TYPE = 19,
  DFK_ITEM_IC_TYPE = 20,
  DFK_ITEM_BC_TYPE = 21,
  DFK_ITEM_COEFF_HINT = 22,
  DFK_ITEM_AUX_FLAG = 23
};

/* ---- Codes --------------------------------------------------------------- */
/* x hints */
#define DFK_NO_HINT 0
#define DFK_NON_UNIFORM 1
#define DFK_QUASI_UNIFORM 2
#define DFK_UNIFORM 4 /* x holds only x[0] and x[nx-1] */
/* y hints / coefficient hints (storage) */
#define DFK_ROWS 16     /* function i at y + i*nx (0 means the same) */
#define DFK_COLS 32     /* y[j*ny + i] */
#define DFK_BY_FUNC 128 /* one array per function, set with EditIdxPtr */
/* spline orders */
#define DFK_ORDER_STEP 0
#define DFK_ORDER_LINEAR 2
#define DFK_ORDER_QUADRATIC 3
#define DFK_ORDER_CUBIC 4
/* spline types */
#define DFK_TYPE_DEFAULT 0
#define DFK_TYPE_QUAD_KNOTS 1 /* quadratic with knots between the breakpoints (nx pieces) */
#define DFK_TYPE_NATURAL 2
#define DFK_TYPE_HERMITE 3
#define DFK_TYPE_BESSEL 4
#define DFK_TYPE_AKIMA 5
#define DFK_TYPE_LOOKUP 6     /* order 0 */
#define DFK_TYPE_STEP_RIGHT 7 /* order 0, continuous from the right */
#define DFK_TYPE_STEP_LEFT 8  /* order 0, continuous from the left */
#define DFK_TYPE_HYMAN 9
/* boundary-condition bits (bc[0] left value, bc[1] right value) */
#define DFK_BC_NOT_A_KNOT 1
#define DFK_BC_FREE_END 2
#define DFK_BC_1ST_LEFT 4
#define DFK_BC_1ST_RIGHT 8
#define DFK_BC_2ND_LEFT 16
#define DFK_BC_2ND_RIGHT 32
#define DFK_BC_PERIODIC 64
#define DFK_BC_QUAD_MIDPOINT 128 /* default quadratic: bc[0] = value at the middle of [x0, x1] */
/* internal conditions. Cubic Hermite: ic[i] = first derivative at x[i+1],
 * i = 0..nx-3 (any nonzero type). Quadratic type 1 needs DFK_IC_QUAD_KNOTS;
 * with DFK_IC_KNOTS_GIVEN also set, ic[i] (i = 0..nx-2) is the knot inside
 * (x[i], x[i+1]), otherwise the knots are the interval midpoints. */
#define DFK_IC_QUAD_KNOTS 8
#define DFK_IC_KNOTS_GIVEN 4
/* interpolation type bits */
#define DFK_INTERP 1
#define DFK_CELL 2
#define DFK_USER_CELL 4 /* cells given by the caller in `cell` */
/* site hints */
#define DFK_SORTED_DATA 64
#define DFK_UNIFORM_SITES 4 /* site holds site[0] and site[1], the first two sites of a uniform grid */
/* cell search methods */
#define DFK_SEARCH_UNIFORM 0
#define DFK_SEARCH_QUASI_UNIFORM 1
#define DFK_SEARCH_SORTED 2
#define DFK_SEARCH_PEAK 3
#define DFK_SEARCH_HYBRID 4
#define DFK_SEARCH_USER 5
#define DFK_SEARCH_UNIFORM_USER 6
/* search callback result meaning "cells are final" */
#define DFK_SEARCH_CELLS_FINAL 1000

/* ---- Interpolation result layouts (rhint), nres = results per site -------
 *   16 (or 0)  functions, sites, orders:  r[(f*nsite + s)*nres + k]
 *   32         sites, functions, orders:  r[(s*ny + f)*nres + k]
 *   128        functions, orders, sites:  r[(f*nres + k)*nsite + s]
 *   256        orders, sites, functions:  r[(k*nsite + s)*ny + f]
 *   512        orders, functions, sites:  r[(k*ny + f)*nsite + s]
 * k counts the requested orders in increasing order (the value first).
 *
 * ---- Integration result layouts -----------------------------------------
 *   0 or 32    limit pairs, functions:    r[l*ny + f]
 *   16 or 128  functions, limit pairs:    r[f*nlim + l]
 */

/* ---- The task record (64-bit layout; byte offsets) ----------------------- */
typedef struct DfTask {
  int32_t intwidth;   /*   0 integer-width flags (bit 0: caller uses 64-bit integers) */
  int32_t tag;        /*   4 always 4 */
  int32_t precision;  /*   8 1 double, 0 single */
  int32_t dimension;  /*  12 always 1 */
  int64_t nx;         /*  16 number of breakpoints */
  const void* x;      /*  24 partition */
  int64_t xhint;      /*  32 */
  int64_t ny;         /*  40 number of functions */
  const void** y;     /*  48 function pointers (owned array) */
  int64_t yhint;      /*  56 */
  int64_t order;      /*  64 coefficients per piece */
  int64_t type;       /*  72 spline type */
  int64_t ic_type;    /*  80 */
  const void* ic;     /*  88 internal conditions */
  int64_t bc_type;    /*  96 */
  const void* bc;     /* 104 boundary conditions */
  void** coeff;       /* 112 coefficient pointers (owned array) */
  int64_t coeff_hint; /* 120 */
  int32_t aux_flag;   /* 128 (4 bytes padding follow) */
  int64_t nbins;      /* 136 bins of the partition lookup table */
  uint32_t* table;    /* 144 (nbins + 2) pairs (low, high) of breakpoint indices (owned) */
  union {
    double d;
    float s;
  } scale; /* 152 nbins / (x[nx-1] - x[0]) in the task's precision */
} DfTask;  /* 160 bytes */

/* ---- Caller functions ----------------------------------------------------
 * Search (methods 5 and 6): called once per block of at most 1024 sites.
 *   n      in: number of sites of the block
 *   site   the block's sites
 *   cell   out: a cell (or a starting guess) per site
 *   flag   out: per site, nonzero when cell[i] is final (zeroed before the call)
 *   params the caller's parameter block
 *   x      the task's partition (two ends for a uniform partition)
 * Returns a negative status to stop, DFK_SEARCH_CELLS_FINAL when every cell
 * is final, any other non-negative value to have guesses with flag 0 refined.
 *
 * Interpolation (left/right extrapolation, interpolant): called per block of
 * sites and per function; must write, for each of the n sites, the nder
 * requested derivative orders der[0..nder-1] (increasing) at
 * r[i*nder + j]. cell holds the sites' cells. Returns a status (< 0 stops).
 * le_cb receives the sites of cell 0, re_cb those of cell nx, i_cb the others
 * (i_cb absent: the spline evaluates them).
 *
 * Integration: called per limit pair (a <= b after ordering) and function
 * with the part of the range it serves: le_cb gets [a, min(b, x[0])] for
 * a < x[0], re_cb gets [max(a, x[nx-1]), b] for b > x[nx-1], i_cb the rest of
 * the range (i_cb absent: the spline integrates it, its end pieces extended
 * where le_cb / re_cb are absent). Writes the integral to *r.
 */
typedef int32_t (*nrx_df_dsearch_cb)(int64_t* n, const double* site, int64_t* cell, int32_t* flag, void* params,
                                     const double* x);
typedef int32_t (*nrx_df_ssearch_cb)(int64_t* n, const float* site, int64_t* cell, int32_t* flag, void* params,
                                     const float* x);
typedef int32_t (*nrx_df_dinterp_cb)(int64_t n, const double* site, const int32_t* cell, int64_t func, int64_t nder,
                                     const int64_t* der, double* r, void* params);
typedef int32_t (*nrx_df_sinterp_cb)(int64_t n, const float* site, const int32_t* cell, int64_t func, int64_t nder,
                                     const int64_t* der, float* r, void* params);
typedef int32_t (*nrx_df_dinteg_cb)(double a, double b, int64_t func, double* r, void* params);
typedef int32_t (*nrx_df_sinteg_cb)(float a, float b, int64_t func, float* r, void* params);

/* ---- Task creation, editing, query, deletion ---------------------------- */

/* Creates a task. nx >= 2 breakpoints x (two ends when xhint = 4), ny
 * functions y stored by yhint (0/16 rows, 32 columns, 128 one array at a
 * time), intwidth flags. Checks in order: nx < 2 -1004; x null -1005; xhint
 * not 0/1/2/4 -1006; ny = 0 with y given -1007, ny != 0 with y null -1008;
 * yhint not 0/16/32/128 -1009; allocation -1001. Builds the lookup table
 * unless xhint is 4. On a failure after allocation *task stays set: release
 * it with nrx_df_kernel_DeleteTask. */
NRX_FIT_API int32_t nrx_df_kernel_dNewTask1D(DfTask** task, int64_t nx, const double* x, int64_t xhint, int64_t ny,
                                             const double* y, int64_t yhint, int32_t intwidth);
NRX_FIT_API int32_t nrx_df_kernel_sNewTask1D(DfTask** task, int64_t nx, const float* x, int64_t xhint, int64_t ny,
                                             const float* y, int64_t yhint, int32_t intwidth);

/* Releases the task and its owned arrays and nulls *task. -1000 when *task is null. */
NRX_FIT_API int32_t nrx_df_kernel_DeleteTask(DfTask** task);

/* Points item 1..5 at ptr. Null task -1000; other items -1019; null ptr:
 * x -1005, y -1008, ic -1013, bc -1015, coeff -1016; coeff with ny = 0 -1007;
 * allocation -1001. Items 2 and 5 release the old pointer array before the
 * new one is allocated: after -1001 the task holds no array for that item
 * (a null pointer; kernels then report -1008 / -1016). Any other refusal
 * leaves the task as it was. */
NRX_FIT_API int32_t nrx_df_kernel_dEditPtr(DfTask* task, int64_t item, const double* ptr);
NRX_FIT_API int32_t nrx_df_kernel_sEditPtr(DfTask* task, int64_t item, const float* ptr);

/* Writes the pointer of item 1..5 (pointer 0 for y and coeff; null when no
 * array is held) to *out. -1000, -1037 null out, -1019. */
NRX_FIT_API int32_t nrx_df_kernel_dQueryPtr(DfTask* task, int64_t item, const double** out);
NRX_FIT_API int32_t nrx_df_kernel_sQueryPtr(DfTask* task, int64_t item, const float** out);

/* Sets function pointer (item 2) or coefficient pointer (item 5) number
 * index. -1000; -1019; item 2 with yhint 32 -1009; index outside 0..ny-1
 * -1020; null ptr -1008 (item 2) / -1016 (item 5). The two names are one
 * operation. */
NRX_FIT_API int32_t nrx_df_kernel_dEditIdxPtr(DfTask* task, int64_t item, int64_t index, const void* ptr);
NRX_FIT_API int32_t nrx_df_kernel_sEditIdxPtr(DfTask* task, int64_t item, int64_t index, const void* ptr);

/* Reads pointer number index of item 2 or 5 into *out. -1000; -1037; -1019;
 * -1020; item 2 with yhint 32 -1009. */
NRX_FIT_API int32_t nrx_df_kernel_dQueryIdxPtr(DfTask* task, int64_t item, int64_t index, const double** out);
NRX_FIT_API int32_t nrx_df_kernel_sQueryIdxPtr(DfTask* task, int64_t item, int64_t index, const float** out);

/* Sets integer item 14..23 (see the item table): nx >= 2 (-1004); xhint
 * 0/1/2/4 (-1006; 1 rebuilds the lookup table, -1001); ny >= 1 (-1007);
 * yhint 0/16/32/128 (-1009); order >= 0 (-1010); type 0..5 or 9 (-1011);
 * ic type 0, 1, 2 or bit 8 set (-1012); bc type >= 0 (-1014); coeff hint
 * 0/16/32/128 (-1017); aux flag 0/1 (-1036). -1000; other items -1019. */
NRX_FIT_API int32_t nrx_df_kernel_iEditVal(DfTask* task, int64_t item, int64_t value);

/* Writes integer item 14..23 to out: as int64_t when the task's
 * integer-width flags are nonzero, as int32_t otherwise. -1000; -1037; -1019. */
NRX_FIT_API int32_t nrx_df_kernel_iQueryVal(DfTask* task, int64_t item, void* out);

/* Describes the spline: order, type, boundary type and array, internal type
 * and array, coefficient array (may be null) and its hint. -1000; order < 0
 * -1010; type < 0 -1011 (both checked first); bc type needing an array with
 * bc null -1015; ic type 0 with ic given or nonzero with ic null: -1012 /
 * -1013; scoeff with ny = 0 -1007; allocation -1001. The call works in
 * steps and each step stores what it has checked: order and type are stored
 * before the boundary check, the boundary type and array before the internal
 * check, the internal type and array before the coefficient step. A refused
 * call keeps what the earlier steps stored (a -1015 leaves the new order and
 * type, a -1012/-1013 also the new boundary condition); -1001 leaves the
 * coefficient pointer array null (the old one was released first) and the
 * coefficient hint unchanged. */
NRX_FIT_API int32_t nrx_df_kernel_dEditPPSpline1D(DfTask* task, int64_t order, int64_t type, int64_t bc_type,
                                                  const double* bc, int64_t ic_type, const double* ic, double* scoeff,
                                                  int64_t scoeffhint);
NRX_FIT_API int32_t nrx_df_kernel_sEditPPSpline1D(DfTask* task, int64_t order, int64_t type, int64_t bc_type,
                                                  const float* bc, int64_t ic_type, const float* ic, float* scoeff,
                                                  int64_t scoeffhint);

/* ---- Construction ---------------------------------------------------------
 * All kernels: (task, format, method, threading) -> status. format is not
 * read. Coefficients: piece i holds c[i*order + k], the polynomial
 * sum c_k (t - x[i])^k. Statuses: -1002 method != 0 (linear, natural) or
 * unsupported type; -1004 too few breakpoints; -1009 y hint; -1012 ic type
 * (quadratic type 1); -1013 ic null (Hermite interior derivatives); -1014
 * boundary type; -1015 boundary array missing; -1018 periodic with unequal
 * ends; -1500 solver failure; -1001 workspace. Boundary types accepted by the
 * cubic kinds: 1, 2, 12, 36, 24, 48, 64 (and 0 for Akima). */
#define NRX_DF_CONSTRUCT(name)                                                            \
  NRX_FIT_API int32_t nrx_df_kernel_d##name(DfTask* task, int64_t format, int64_t method, \
                                            const nrx_threading* threading);              \
  NRX_FIT_API int32_t nrx_df_kernel_s##name(DfTask* task, int64_t format, int64_t method, \
                                            const nrx_threading* threading);
NRX_DF_CONSTRUCT(DFLinearSpline1D)       /* order 2; nx >= 2; bc 0 or 64 (periodic check) */
NRX_DF_CONSTRUCT(DFQuadraticSpline1D)    /* order 3; type 0 (bc 128) or type 1 (ic bit 8; bc 12/36/24/48) */
NRX_DF_CONSTRUCT(DFNaturalCubicSpline1D) /* C2 cubic from first derivatives; nx >= 2 (3 with not-a-knot) */
NRX_DF_CONSTRUCT(DFDefaultCubicSpline1D) /* C2 cubic from second derivatives; nx >= 3 */
NRX_DF_CONSTRUCT(DFHermiteCubicSpline1D) /* interior derivatives from ic; nx >= 3 */
NRX_DF_CONSTRUCT(DFBesselCubicSpline1D)  /* nx >= 4 */
NRX_DF_CONSTRUCT(DFHymanCubicSpline1D)   /* monotonicity-preserving; nx >= 4 */
NRX_DF_CONSTRUCT(DFAkimaCubicSpline1D)   /* nx >= 5 */
#undef NRX_DF_CONSTRUCT

/* ---- Cell search methods --------------------------------------------------
 * Each: (nx, x, nsite, site, scale, table, cursor, cb, params, cell) ->
 * status, run on the calling thread. cell[i] receives the cell of site[i]:
 * 0 left of x[0], k for x[k-1] <= t < x[k], nx-1 for t = x[nx-1], nx right
 * of it. scale: uniform 1/h; quasi-uniform (nx-1)/(x[nx-1]-x[0]); sorted and
 * hybrid the task's scale; peak the most likely cell. table: the task's
 * lookup table (sorted, hybrid). cursor: sorted search position, read and
 * handed back (null starts at 0). cb/params: caller's search (5, 6). Only a
 * caller function's negative status is reported; nsite < 1 writes nothing.
 * The ...32 names are the same operations. */
#define NRX_DF_SEARCH(name)                                                                                            \
  NRX_FIT_API int32_t nrx_df_kernel_d##name(int64_t nx, const double* x, int64_t nsite, const double* site,            \
                                            double scale, const uint32_t* table, int64_t* cursor,                      \
                                            nrx_df_dsearch_cb cb, void* params, int32_t* cell);                        \
  NRX_FIT_API int32_t nrx_df_kernel_s##name(int64_t nx, const float* x, int64_t nsite, const float* site, float scale, \
                                            const uint32_t* table, int64_t* cursor, nrx_df_ssearch_cb cb,              \
                                            void* params, int32_t* cell);
NRX_DF_SEARCH(DFUniformSearch1D)
NRX_DF_SEARCH(DFQuasiUniformSearch1D)
NRX_DF_SEARCH(DFSortedSearch1D)
NRX_DF_SEARCH(DFPeakSearch1D)
NRX_DF_SEARCH(DFHybridSearch1D)
NRX_DF_SEARCH(DFUserDefSearch1D)
NRX_DF_SEARCH(DFUniUserDefSearch1D)
NRX_DF_SEARCH(DFUniformSearch1D32)
NRX_DF_SEARCH(DFQuasiUniformSearch1D32)
NRX_DF_SEARCH(DFSortedSearch1D32)
NRX_DF_SEARCH(DFPeakSearch1D32)
NRX_DF_SEARCH(DFHybridSearch1D32)
NRX_DF_SEARCH(DFUserDefSearch1D32)
NRX_DF_SEARCH(DFUniUserDefSearch1D32)
#undef NRX_DF_SEARCH

/* Cell search of nsite sites into cell (32-bit). The method is chosen from
 * the task: search_cb given -> 6 (uniform x) or 5; x hint 4 -> 0; x hint 2
 * -> 1; sitehint 64 -> 2; datahint null or datahint[1] = 0 -> 4;
 * datahint[1] = 1 -> 3 around cell datahint[4] (0..nx). The `method`
 * argument is not read. sitehint 4: site holds site[0] and site[1] of a
 * uniform grid of nsite sites. -1000; -1026 bad data hint; caller status. */
NRX_FIT_API int32_t nrx_df_kernel_dDFSearch1D(DfTask* task, int64_t method, int64_t nsite, const double* site,
                                              int64_t sitehint, const double* datahint, int32_t* cell,
                                              nrx_df_dsearch_cb search_cb, void* search_params,
                                              const nrx_threading* threading);
NRX_FIT_API int32_t nrx_df_kernel_sDFSearch1D(DfTask* task, int64_t method, int64_t nsite, const float* site,
                                              int64_t sitehint, const float* datahint, int32_t* cell,
                                              nrx_df_ssearch_cb search_cb, void* search_params,
                                              const nrx_threading* threading);

/* ---- Interpolation --------------------------------------------------------
 * Evaluates the task's spline at nsite sites: for every function the orders
 * q with dorder[q] = 1 (q < ndorder; value only when none is set; dorder
 * elements int64_t when bit 0 of the task's intwidth is set, else int32_t),
 * laid out in r by rhint (above). type bit 2 also stores cells in `cell`;
 * type 4 takes the cells from `cell`. sitehint 64 sorted, 4 uniform grid
 * (site[0], site[1]). datahint as in the search. Sites outside the partition
 * use the end pieces extended unless le_cb / re_cb are given. Order 0 kinds:
 * type 8 left-continuous step, 7 right-continuous step (derivatives 0), 6
 * look-up, others the caller's three functions. Statuses: -1000; -1011;
 * -1022, -1024, -1025 (look-up); -1026; -1028 bad rhint; -1001; negative
 * status of a caller function. */
NRX_FIT_API int32_t nrx_df_kernel_dDFInterpolate1D(DfTask* task, int64_t type, int64_t method, int64_t nsite,
                                                   const double* site, int64_t sitehint, int64_t ndorder,
                                                   const void* dorder, const double* datahint, double* r, int64_t rhint,
                                                   int32_t* cell, nrx_df_dinterp_cb le_cb, void* le_params,
                                                   nrx_df_dinterp_cb re_cb, void* re_params, nrx_df_dinterp_cb i_cb,
                                                   void* i_params, nrx_df_dsearch_cb search_cb, void* search_params,
                                                   const nrx_threading* threading);
NRX_FIT_API int32_t nrx_df_kernel_sDFInterpolate1D(DfTask* task, int64_t type, int64_t method, int64_t nsite,
                                                   const float* site, int64_t sitehint, int64_t ndorder,
                                                   const void* dorder, const float* datahint, float* r, int64_t rhint,
                                                   int32_t* cell, nrx_df_sinterp_cb le_cb, void* le_params,
                                                   nrx_df_sinterp_cb re_cb, void* re_params, nrx_df_sinterp_cb i_cb,
                                                   void* i_params, nrx_df_ssearch_cb search_cb, void* search_params,
                                                   const nrx_threading* threading);

/* ---- Integration ----------------------------------------------------------
 * For every limit pair (llim[l], rlim[l]) and function, the integral of the
 * spline from llim[l] to rlim[l] (negated when rlim < llim), end pieces
 * extended outside the partition unless le_cb / re_cb take those parts.
 * Limit hints: 64 sorted. Data hints as in the search. rhint: layouts above.
 * Statuses: -1000; -1011; -1008 (step kinds without function values);
 * -1026; -1034 bad rhint; -1001; negative status of a caller function. */
NRX_FIT_API int32_t nrx_df_kernel_dDFIntegrate1D(DfTask* task, int64_t method, int64_t nlim, const double* llim,
                                                 int64_t llimhint, const double* rlim, int64_t rlimhint,
                                                 const double* ldatahint, const double* rdatahint, double* r,
                                                 int64_t rhint, nrx_df_dinteg_cb le_cb, void* le_params,
                                                 nrx_df_dinteg_cb re_cb, void* re_params, nrx_df_dinteg_cb i_cb,
                                                 void* i_params, nrx_df_dsearch_cb search_cb, void* search_params,
                                                 const nrx_threading* threading);
NRX_FIT_API int32_t nrx_df_kernel_sDFIntegrate1D(DfTask* task, int64_t method, int64_t nlim, const float* llim,
                                                 int64_t llimhint, const float* rlim, int64_t rlimhint,
                                                 const float* ldatahint, const float* rdatahint, float* r,
                                                 int64_t rhint, nrx_df_sinteg_cb le_cb, void* le_params,
                                                 nrx_df_sinteg_cb re_cb, void* re_params, nrx_df_sinteg_cb i_cb,
                                                 void* i_params, nrx_df_ssearch_cb search_cb, void* search_params,
                                                 const nrx_threading* threading);

#ifdef __cplusplus
}
#endif

#endif /* NRX_FIT_H */
