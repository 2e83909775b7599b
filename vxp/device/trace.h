/* Hexadecimal trace of the bytes the serial layer reads and writes, for watching a live device.
 * Off until a stream is set: the trace goes to the process-wide vxp_trace_stream. */
#ifndef VXP_DEVICE_TRACE_H
#define VXP_DEVICE_TRACE_H

#include <stdint.h>
#include <stdio.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Where the trace is printed; null (the default) prints nothing. */
extern FILE* vxp_trace_stream;

typedef enum vxp_trace_direction { VXP_TRACE_READ, VXP_TRACE_WRITE } vxp_trace_direction;

/* Prints "Reading %i bytes:\n" or "Writing %i bytes:\n", each byte as "%.2X" without separator,
 * then "\n". Does nothing while vxp_trace_stream is null. */
void vxp_trace_bytes(vxp_trace_direction direction, const uint8_t* bytes, uint32_t count);

#ifdef __cplusplus
}
#endif

#endif
