/* Packet framing state machine: bytes go into the parser's ring, complete packets (and checksum
 * failures and payload timeouts) come out through the callback. Nothing is allocated. */
#include "vxp/parser.h"

#include <stddef.h>
#include <string.h>

#include "vxp/status.h"

#define PARSER_INITIALISED 1u
#define RING_ENTRY_SIZE 1u

/* Positions in the candidate buffer. */
#define SYNC2_OFFSET 1u
#define PAYLOAD_LENGTH_OFFSET 3u

/* Header bytes still in the ring once the sync byte has been taken out of it. */
#define HEADER_BYTES_AFTER_SYNC (VXP_HEADER_SIZE - 1u)

static int parser_ready(const vxp_parser* parser) {
    return parser != NULL && parser->state == PARSER_INITIALISED;
}

static uint32_t parser_now(const vxp_parser* parser) {
    return parser->clock != NULL ? parser->clock() : vxp_tick_ms();
}

/* The candidate started at start_tick has waited timeout_ms or longer (on the parser's clock). */
static int candidate_expired(const vxp_parser* parser) {
    return vxp_elapsed_ms(parser->start_tick, parser_now(parser)) >= parser->timeout_ms;
}

/* Copies `n` bytes held at ring offsets from `ring_offset` on into the packet buffer at `at`,
 * leaving them in the ring (one bulk lookahead: at most two memcpy segments). */
static void peek_into_packet(vxp_parser* parser, uint32_t ring_offset, uint32_t at, uint32_t n) {
    uint32_t copied = 0;
    vxp_ring_lookahead_multi(&parser->ring, ring_offset, &parser->packet[at], n, n, &copied);
}

uint16_t vxp_parser_init(vxp_parser* parser, uint32_t timeout_ms, void* user_ptr,
                         vxp_packet_callback callback) {
    if (parser == NULL || callback == NULL)
        return VXP_ERROR;
    parser->state = 0;
    if (vxp_ring_init_static(&parser->ring, parser->ring_storage, VXP_PARSER_BUFFER_SIZE, RING_ENTRY_SIZE) !=
        VXP_OK) {
        return VXP_ERROR;
    }
    parser->callback = callback;
    parser->user_ptr = user_ptr;
    memset(parser->packet, 0, sizeof parser->packet);
    parser->packet_byte_count = VXP_PARSE_HUNTING;
    parser->start_tick = 0;
    parser->checksum_errors = 0;
    parser->timeouts = 0;
    parser->last_packet_ok = 0;
    parser->sync_errors = 0;
    parser->timeout_ms = timeout_ms;
    parser->clock = NULL;
    parser->state = PARSER_INITIALISED;
    return VXP_OK;
}

uint16_t vxp_parser_receive(vxp_parser* parser, const uint8_t* bytes, uint32_t count, uint32_t* accepted) {
    if (!parser_ready(parser))
        return VXP_ERROR;
    if (accepted != NULL)
        *accepted = 0;
    if (count == 0)
        return VXP_OK;
    if (bytes == NULL)
        return VXP_ERROR;
    /* The bytes that fit go in with one bulk write. The first byte that does not fit is offered
     * on its own, so that the ring refuses it and counts exactly one overrun, as a byte-by-byte
     * receive stopping at the first refusal would; the rest stays with the caller. */
    const uint32_t space = vxp_ring_free_space(&parser->ring);
    const uint32_t fitting = count < space ? count : space;
    uint32_t written = 0;
    vxp_ring_write_multi(&parser->ring, bytes, fitting, &written);
    if (accepted != NULL)
        *accepted = written;
    if (fitting < count) {
        vxp_ring_write(&parser->ring, &bytes[fitting], RING_ENTRY_SIZE);
        return VXP_ERROR;
    }
    return VXP_OK;
}

uint16_t vxp_parser_receive_wait(vxp_parser* parser, const uint8_t* bytes, uint32_t count, uint32_t* accepted,
                                 uint32_t wait_ms) {
    (void)wait_ms;
    if (!parser_ready(parser) || count > VXP_PARSER_BUFFER_SIZE)
        return VXP_ERROR;
    /* Nothing can free ring space while this call runs (the parser is single-threaded and no
     * callback is made here), so the space seen now is the space there will be: polling until
     * wait_ms ran out could only burn time, and on a clock that stands still never return. */
    if (vxp_parser_free_space(parser) < count)
        return VXP_ERROR;
    return vxp_parser_receive(parser, bytes, count, accepted);
}

uint32_t vxp_parser_free_space(const vxp_parser* parser) {
    return parser_ready(parser) ? vxp_ring_free_space(&parser->ring) : 0;
}

/* Hunt: drops bytes until a VXP_SYNC1 is taken out of the ring or the ring is empty. The bytes
 * are searched where they lie (memchr over the run up to the end of the storage, then over the
 * run from its start) and removed in one go; byte 0 of the packet buffer ends up holding the
 * last byte taken, as if they had been read one at a time. */
static void hunt_sync(vxp_parser* parser) {
    vxp_ring_buffer* ring = &parser->ring;
    while (parser->packet_byte_count == VXP_PARSE_HUNTING && vxp_ring_count(ring) > 0) {
        const uint8_t* oldest = vxp_ring_peek_oldest(ring);
        const uint32_t to_end = ring->max_entries - ring->read_index;
        const uint32_t run = ring->count < to_end ? ring->count : to_end;
        const uint8_t* sync = memchr(oldest, VXP_SYNC1, run);
        const uint32_t taken = sync != NULL ? (uint32_t)(sync - oldest) + 1u : run;
        parser->packet[0] = oldest[taken - 1u];
        vxp_ring_remove(ring, taken);
        if (sync != NULL) {
            parser->packet_byte_count = VXP_PARSE_SYNC_TAKEN;
            parser->start_tick = parser_now(parser);
        }
    }
}

/* With the sync byte taken: accept or reject the header once its three bytes are held. */
static void take_header(vxp_parser* parser) {
    if (vxp_ring_count(&parser->ring) >= HEADER_BYTES_AFTER_SYNC) {
        peek_into_packet(parser, 0, SYNC2_OFFSET, HEADER_BYTES_AFTER_SYNC);
        if (parser->packet[SYNC2_OFFSET] == VXP_SYNC2) {
            /* Any 8-bit length gives a packet of at most VXP_MAX_PACKET_SIZE bytes. */
            parser->packet_byte_count = VXP_PARSE_HEADER_ACCEPTED;
        } else {
            /* The rejected sync byte is already out of the ring: the hunt resumes after it. */
            parser->last_packet_ok = 0;
            parser->packet_byte_count = VXP_PARSE_HUNTING;
            parser->sync_errors++;
        }
    } else if (candidate_expired(parser)) {
        parser->timeouts++;
        parser->packet_byte_count = VXP_PARSE_HUNTING;
        parser->last_packet_ok = 0;
    }
}

/* With the header accepted: check the candidate once all its bytes are held. Returns 1 when a
 * good packet was delivered. The ring holds the candidate from its byte 1 on. */
static int take_payload(vxp_parser* parser) {
    const uint32_t payload_length = parser->packet[PAYLOAD_LENGTH_OFFSET];
    const uint32_t held_after_sync = payload_length + VXP_HEADER_SIZE + VXP_CHECKSUM_SIZE - 1u;
    if (vxp_ring_count(&parser->ring) >= held_after_sync) {
        int delivered = 0;
        peek_into_packet(parser, HEADER_BYTES_AFTER_SYNC, VXP_HEADER_SIZE,
                         payload_length + VXP_CHECKSUM_SIZE);
        if (vxp_packet_verify_checksum(parser->packet) == VXP_OK) {
            const uint16_t size = (uint16_t)(held_after_sync + 1u);
            parser->packet_byte_count = size;
            parser->callback(parser->user_ptr, parser->packet, size, VXP_PACKET_OK);
            vxp_ring_remove(&parser->ring, held_after_sync);
            parser->last_packet_ok = 1;
            delivered = 1;
        } else {
            parser->callback(parser->user_ptr, parser->packet, VXP_HEADER_SIZE, VXP_PACKET_CHECKSUM_ERROR);
            /* Only the first failure after a delivered packet is counted: sliding byte by byte
             * through one damaged stretch is one error, not one per false candidate. */
            if (parser->last_packet_ok == 1)
                parser->checksum_errors++;
            parser->last_packet_ok = 0;
            /* Nothing is removed: the hunt resumes one byte after the rejected sync byte, so a
             * packet hidden inside the rejected bytes is still found. */
        }
        parser->packet_byte_count = VXP_PARSE_HUNTING;
        return delivered;
    }
    if (candidate_expired(parser)) {
        parser->callback(parser->user_ptr, parser->packet, VXP_HEADER_SIZE, VXP_PACKET_TIMEOUT);
        parser->timeouts++;
        parser->last_packet_ok = 0;
        parser->packet_byte_count = VXP_PARSE_HUNTING;
    }
    return 0;
}

uint16_t vxp_parser_step(vxp_parser* parser) {
    if (!parser_ready(parser))
        return VXP_ERROR;
    int delivered = 0;
    if (parser->packet_byte_count < VXP_PARSE_HEADER_ACCEPTED) {
        hunt_sync(parser);
        if (parser->packet_byte_count == VXP_PARSE_SYNC_TAKEN)
            take_header(parser);
    }
    /* A header accepted just above is followed by its payload in the same step. */
    if (parser->packet_byte_count >= VXP_PARSE_HEADER_ACCEPTED)
        delivered = take_payload(parser);
    return delivered ? VXP_OK : VXP_NO_PACKET;
}

uint16_t vxp_parser_step_once(vxp_parser* parser) {
    const uint16_t status = vxp_parser_step(parser);
    return status == VXP_NO_PACKET ? VXP_OK : status;
}

uint16_t vxp_parser_update(vxp_parser* parser) {
    uint16_t status;
    do {
        status = vxp_parser_step(parser);
    } while (status == VXP_OK);
    return status == VXP_NO_PACKET ? VXP_OK : VXP_ERROR;
}

uint16_t vxp_parser_drain(vxp_parser* parser) {
    if (!parser_ready(parser))
        return VXP_ERROR;
    /* Every pass that changes nothing ends the drain. A pass that changes something either takes
     * a byte out of the ring (finitely many) or moves the framing state without taking one,
     * which can happen at most twice in a row (sync taken -> header accepted -> hunting). */
    for (;;) {
        const uint32_t held_before = vxp_ring_count(&parser->ring);
        const uint16_t state_before = parser->packet_byte_count;
        if (vxp_parser_update(parser) != VXP_OK)
            return VXP_ERROR;
        if (vxp_ring_count(&parser->ring) == held_before && parser->packet_byte_count == state_before) {
            return VXP_OK;
        }
    }
}

uint16_t vxp_parser_feed(vxp_parser* parser, const uint8_t* bytes, uint32_t count, uint32_t* total_accepted) {
    if (!parser_ready(parser))
        return VXP_ERROR;
    if (total_accepted != NULL)
        *total_accepted = 0;
    if (bytes == NULL && count > 0)
        return VXP_ERROR;
    while (count > 0) {
        const uint32_t space = vxp_parser_free_space(parser);
        uint32_t accepted = 0;
        const uint16_t received = vxp_parser_receive(parser, bytes, count < space ? count : space, &accepted);
        if (total_accepted != NULL)
            *total_accepted += accepted;
        if (received != VXP_OK)
            return received;
        /* Drained rather than updated once: an update stops at the first damaged candidate and
         * would leave good packets behind it in the ring when the input ends. */
        const uint16_t framed = vxp_parser_drain(parser);
        if (framed != VXP_OK)
            return framed;
        bytes += accepted;
        count -= accepted;
    }
    return VXP_OK;
}

uint32_t vxp_parser_error_total(const vxp_parser* parser) {
    if (!parser_ready(parser))
        return 0;
    return parser->timeouts + parser->checksum_errors + parser->sync_errors;
}

uint16_t vxp_parser_set_callback(vxp_parser* parser, void* user_ptr, vxp_packet_callback callback) {
    /* The step calls the callback unconditionally, so it must never become null. */
    if (!parser_ready(parser) || callback == NULL)
        return VXP_ERROR;
    parser->user_ptr = user_ptr;
    parser->callback = callback;
    return VXP_OK;
}

uint16_t vxp_parser_set_timeout(vxp_parser* parser, uint32_t timeout_ms) {
    if (!parser_ready(parser))
        return VXP_ERROR;
    parser->timeout_ms = timeout_ms;
    return VXP_OK;
}

uint32_t vxp_parser_get_timeout(const vxp_parser* parser) {
    return parser_ready(parser) ? parser->timeout_ms : 0;
}

uint16_t vxp_parser_set_clock(vxp_parser* parser, vxp_tick_fn clock) {
    if (!parser_ready(parser))
        return VXP_ERROR;
    parser->clock = clock;
    return VXP_OK;
}
