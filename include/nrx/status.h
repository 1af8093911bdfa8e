/*
 * nrx status names and messages.
 *
 * Valid C99 and C++, C linkage, served by the core service library
 * (libnrx_core). Each service keeps its own status codes (vector math in
 * nrx/zar.h, random numbers in nrx/rng.h, summary statistics in nrx/stats.h,
 * data fitting in nrx/fit.h); the same number can mean different things in
 * different services, so every lookup names the service.
 */
#ifndef NRX_STATUS_H
#define NRX_STATUS_H

#include <stdint.h>

#include "nrx/core.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef enum {
  NRX_SERVICE_VM = 0,    /* vector math: the per-thread status of zarGetErrStatus */
  NRX_SERVICE_RNG = 1,   /* random streams, generators and distributions */
  NRX_SERVICE_STATS = 2, /* summary statistics */
  NRX_SERVICE_FIT = 3    /* data fitting */
} nrx_service;

/* The name of status `code` of `service` as the service's header spells it,
 * for example "DFK_ERR_NX". NULL when the service is unknown or has no such
 * code. The string is static; do not free it. */
NRX_CORE_API const char* nrx_status_name(int32_t service, int32_t code);

/* A one-line English explanation of status `code` of `service`, without a
 * trailing period. NULL when the service is unknown or has no such code. */
NRX_CORE_API const char* nrx_status_message(int32_t service, int32_t code);

#ifdef __cplusplus
}
#endif

#endif /* NRX_STATUS_H */
