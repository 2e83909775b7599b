/* Millisecond tick for packet timeouts: a monotonic counter that wraps at 2^32.
 * The tick source can be replaced process-wide, so that timeouts are testable without sleeping. */
#ifndef VXP_TICK_H
#define VXP_TICK_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef uint32_t (*vxp_tick_fn)(void);

/* Milliseconds since an arbitrary start, wrapping at 2^32 (monotonic clock by default). */
uint32_t vxp_tick_ms(void);

/* Replaces the process-wide tick source; null restores the monotonic clock. */
void vxp_set_tick_source(vxp_tick_fn source);

/* Elapsed time from `start` to `now` with the wrap rule of the tick counter:
 * now >= start gives now - start, otherwise (0xFFFFFFFF - start) + now. */
uint32_t vxp_elapsed_ms(uint32_t start, uint32_t now);

/* 1 while vxp_elapsed_ms(start, vxp_tick_ms()) < timeout_ms, else 0. */
uint8_t vxp_within_timeout(uint32_t start, uint32_t timeout_ms);

#ifdef __cplusplus
}
#endif

#endif
