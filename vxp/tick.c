/* Millisecond tick for packet timeouts: a monotonic clock truncated to 32 bits, replaceable
 * process-wide so that timeouts can be tested with a fake clock. */
#ifndef _WIN32
#define _POSIX_C_SOURCE 199309L
#endif

#include "vxp/tick.h"

#include <stddef.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <time.h>
#endif

#define MS_PER_SECOND 1000u
#define NS_PER_MS 1000000u

static vxp_tick_fn tick_source = NULL;

static uint32_t monotonic_ms(void) {
#ifdef _WIN32
    return (uint32_t)GetTickCount();
#else
    struct timespec now;
    if (clock_gettime(CLOCK_MONOTONIC, &now) != 0)
        return 0;
    /* Truncation to 32 bits is the wrap at 2^32 that the timeout rule expects. */
    const uint64_t ms = (uint64_t)now.tv_sec * MS_PER_SECOND + (uint64_t)now.tv_nsec / NS_PER_MS;
    return (uint32_t)ms;
#endif
}

uint32_t vxp_tick_ms(void) {
    return tick_source != NULL ? tick_source() : monotonic_ms();
}

void vxp_set_tick_source(vxp_tick_fn source) {
    tick_source = source;
}

uint32_t vxp_elapsed_ms(uint32_t start, uint32_t now) {
    if (now >= start)
        return now - start;
    /* The counter wrapped between start and now. */
    return (UINT32_MAX - start) + now;
}

uint8_t vxp_within_timeout(uint32_t start, uint32_t timeout_ms) {
    return vxp_elapsed_ms(start, vxp_tick_ms()) < timeout_ms ? 1u : 0u;
}
