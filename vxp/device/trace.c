/* Hexadecimal trace of serial traffic. */
#include "vxp/device/trace.h"

FILE* vxp_trace_stream = NULL;

void vxp_trace_bytes(vxp_trace_direction direction, const uint8_t* bytes, uint32_t count) {
    FILE* stream = vxp_trace_stream;
    if (stream == NULL) {
        return;
    }
    fprintf(stream, direction == VXP_TRACE_READ ? "Reading %i bytes:\n" : "Writing %i bytes:\n", (int)count);
    for (uint32_t i = 0; i < count; ++i) {
        fprintf(stream, "%.2X", (unsigned)bytes[i]);
    }
    fprintf(stream, "\n");
}
