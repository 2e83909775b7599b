/* The log parser: the receive side (ring, receive, update, drain, feed) of the one framer in
 * vxp/framer.c. Nothing is allocated. */
#include "vxp/parser.h"

#include <stddef.h>

#include "vxp/status.h"

#define PARSER_INITIALISED 1u
#define RING_ENTRY_SIZE 1u

static int parser_ready(const vxp_parser* parser) {
    return parser != NULL && parser->state == PARSER_INITIALISED;
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
    vxp_framer_init(&parser->framer, timeout_ms, user_ptr, callback);
    parser->state = PARSER_INITIALISED;
    return VXP_OK;
}

uint16_t vxp_parser_receive(vxp_parser* parser, const uint8_t* bytes, uint32_t count, uint32_t* accepted) {
    if (!parser_ready(parser))
        return VXP_ERROR;
    return vxp_framer_receive(&parser->ring, bytes, count, accepted);
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

uint16_t vxp_parser_step(vxp_parser* parser) {
    if (!parser_ready(parser))
        return VXP_ERROR;
    return vxp_framer_step(&parser->framer, &parser->ring);
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
        const uint16_t state_before = parser->framer.packet_byte_count;
        if (vxp_parser_update(parser) != VXP_OK)
            return VXP_ERROR;
        if (vxp_ring_count(&parser->ring) == held_before &&
            parser->framer.packet_byte_count == state_before) {
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
    return parser->framer.timeouts + parser->framer.checksum_errors + parser->framer.sync_errors;
}

uint16_t vxp_parser_set_callback(vxp_parser* parser, void* user_ptr, vxp_packet_callback callback) {
    /* The step calls the callback unconditionally, so it must never become null. */
    if (!parser_ready(parser) || callback == NULL)
        return VXP_ERROR;
    parser->framer.user_ptr = user_ptr;
    parser->framer.callback = callback;
    return VXP_OK;
}

uint16_t vxp_parser_set_timeout(vxp_parser* parser, uint32_t timeout_ms) {
    if (!parser_ready(parser))
        return VXP_ERROR;
    parser->framer.timeout_ms = timeout_ms;
    return VXP_OK;
}

uint32_t vxp_parser_get_timeout(const vxp_parser* parser) {
    return parser_ready(parser) ? parser->framer.timeout_ms : 0;
}

uint16_t vxp_parser_set_clock(vxp_parser* parser, vxp_tick_fn clock) {
    if (!parser_ready(parser))
        return VXP_ERROR;
    parser->framer.clock = clock;
    return VXP_OK;
}
