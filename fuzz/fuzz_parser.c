/* Feeds arbitrary bytes to the packet parser in arbitrary chunkings. Every event must be sound
 * (a delivered packet verifies and fits its size; a failure reports the 4 header bytes); and when
 * the parser is drained after every chunk, as the file loader does, the events must be exactly
 * those of a plain reference framer run over the whole stream at once: framing must not depend
 * on how the bytes were cut. */
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "vxp/packet.h"
#include "vxp/parser.h"

/* Events recorded per run: kind, size and the first bytes of the packet buffer. */
#define MAX_EVENTS 8192u

typedef struct event {
    uint8_t kind;
    uint16_t size;
    uint8_t bytes[VXP_MAX_PACKET_SIZE];
} event;

typedef struct event_log {
    event events[MAX_EVENTS];
    size_t count;
    int overflowed;
} event_log;

static event_log parsed;
static event_log expected;

static void record(event_log* log, uint8_t kind, uint16_t size, const uint8_t* bytes) {
    if (log->count == MAX_EVENTS) {
        log->overflowed = 1;
        return;
    }
    event* e = &log->events[log->count++];
    e->kind = kind;
    e->size = size;
    memcpy(e->bytes, bytes, kind == VXP_PACKET_OK ? size : VXP_HEADER_SIZE);
}

static uint32_t frozen_clock(void) {
    return 0;
}

static void on_packet(void* user, uint8_t* packet, uint16_t size, uint8_t kind) {
    (void)user;
    if (kind == VXP_PACKET_OK) {
        if (size > VXP_MAX_PACKET_SIZE || size != vxp_packet_size(packet))
            abort();
        if (vxp_packet_verify_checksum(packet) != 0)
            abort();
    } else if (kind == VXP_PACKET_CHECKSUM_ERROR || kind == VXP_PACKET_TIMEOUT) {
        if (size != VXP_HEADER_SIZE || packet[0] != VXP_SYNC1 || packet[1] != VXP_SYNC2)
            abort();
    } else {
        abort();
    }
    record(&parsed, kind, size, packet);
}

/* The framing rule, written plainly over the whole stream: at every position not consumed by a
 * delivered packet, a sync pair with a complete frame behind it is delivered when its checksum
 * holds, reported as a checksum error otherwise; a header cut off by the end of the stream is
 * given up (a timeout) and the scan goes on one byte later. */
static void reference_framer(const uint8_t* data, size_t size) {
    size_t i = 0;
    while (i < size) {
        if (data[i] != VXP_SYNC1 || i + VXP_HEADER_SIZE > size || data[i + 1] != VXP_SYNC2) {
            i++;
            continue;
        }
        const size_t length = (size_t)data[i + 3] + VXP_HEADER_SIZE + VXP_CHECKSUM_SIZE;
        if (i + length > size) {
            record(&expected, VXP_PACKET_TIMEOUT, VXP_HEADER_SIZE, data + i);
            i++;
            continue;
        }
        uint8_t frame[VXP_MAX_PACKET_SIZE];
        memcpy(frame, data + i, length);
        if (vxp_packet_verify_checksum(frame) == 0) {
            record(&expected, VXP_PACKET_OK, (uint16_t)length, frame);
            i += length;
        } else {
            record(&expected, VXP_PACKET_CHECKSUM_ERROR, VXP_HEADER_SIZE, frame);
            i++;
        }
    }
}

static int same_events(void) {
    if (parsed.count != expected.count)
        return 0;
    for (size_t i = 0; i < parsed.count; i++) {
        const event* a = &parsed.events[i];
        const event* b = &expected.events[i];
        if (a->kind != b->kind || a->size != b->size)
            return 0;
        if (memcmp(a->bytes, b->bytes, a->kind == VXP_PACKET_OK ? a->size : VXP_HEADER_SIZE) != 0)
            return 0;
    }
    return 1;
}

int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static vxp_parser parser;
    if (size < 1)
        return 0;
    /* The first byte chooses the chunk pattern and whether chunks are drained; the rest is the
     * stream. */
    const uint8_t pattern = data[0];
    const int drained = pattern & 1u;
    data++;
    size--;
    parsed.count = 0;
    parsed.overflowed = 0;
    if (vxp_parser_init(&parser, 1000, NULL, on_packet) != 0)
        abort();
    if (vxp_parser_set_clock(&parser, frozen_clock) != 0)
        abort();

    size_t offset = 0;
    unsigned chunk_index = 0;
    while (offset < size) {
        size_t chunk = 1u + (size_t)((pattern * 31u + chunk_index * 17u) % 300u);
        if (chunk > size - offset)
            chunk = size - offset;
        uint32_t accepted = 0;
        vxp_parser_receive(&parser, data + offset, (uint32_t)chunk, &accepted);
        if (accepted > chunk)
            abort();
        if (drained) {
            /* At most one unfinished packet stays behind a drain: the ring never refuses. */
            if (accepted != chunk)
                abort();
            vxp_parser_drain(&parser);
        } else {
            vxp_parser_update(&parser);
        }
        /* Bytes the ring refused are dropped, as a live reader would. */
        offset += chunk;
        chunk_index++;
    }
    /* The end of the stream, as the loader handles it: candidates still waiting are given up. */
    vxp_parser_set_timeout(&parser, 0);
    vxp_parser_drain(&parser);
    if (vxp_ring_count(&parser.ring) != 0 || parser.framer.packet_byte_count != VXP_PARSE_HUNTING)
        abort();

    if (drained) {
        expected.count = 0;
        expected.overflowed = 0;
        reference_framer(data, size);
        if (!parsed.overflowed && !expected.overflowed && !same_events())
            abort();
    }
    return 0;
}
