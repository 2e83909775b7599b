/* The packet framing state machine: hunt for VXP_SYNC1, accept or reject the header, then check
 * the whole candidate once its bytes are held. Bytes stay in the ring until they are framed, so a
 * rejected candidate is searched again from the byte after its sync byte. */
#include "vxp/framer.h"

#include <stddef.h>
#include <string.h>

#include "vxp/status.h"

/* Positions in the candidate buffer. */
#define SYNC2_OFFSET 1u
#define PAYLOAD_LENGTH_OFFSET 3u

/* Header bytes still in the ring once the sync byte has been taken out of it. */
#define HEADER_BYTES_AFTER_SYNC (VXP_HEADER_SIZE - 1u)

static uint32_t framer_now(const vxp_framer* framer) {
    return framer->clock != NULL ? framer->clock() : vxp_tick_ms();
}

/* The candidate has waited timeout_ms or longer since its sync byte (on the framer's clock). */
static int candidate_expired(const vxp_framer* framer) {
    return vxp_elapsed_ms(framer->start_tick, framer_now(framer)) >= framer->timeout_ms;
}

/* Copies n bytes held from ring offset `from` on into the candidate at `at`, leaving them held. */
static void peek(vxp_framer* framer, const vxp_ring_buffer* ring, uint32_t from, uint32_t at, uint32_t n) {
    uint32_t copied = 0;
    vxp_ring_lookahead_multi(ring, from, &framer->packet[at], n, n, &copied);
}

static void fail(vxp_framer* framer) {
    framer->last_packet_ok = 0;
    framer->packet_byte_count = VXP_PARSE_HUNTING;
}

/* Drops the bytes up to and including the next VXP_SYNC1, which starts a candidate; without one,
 * every byte held. */
static void hunt_sync(vxp_framer* framer, vxp_ring_buffer* ring) {
    uint32_t at = 0;
    if (vxp_ring_find(ring, VXP_SYNC1, &at) != VXP_OK) {
        vxp_ring_remove(ring, at);
        return;
    }
    vxp_ring_remove(ring, at + 1u);
    framer->packet[0] = VXP_SYNC1;
    framer->packet_byte_count = VXP_PARSE_SYNC_TAKEN;
    framer->start_tick = framer_now(framer);
}

/* With the sync byte taken: accept or reject the header once its three bytes are held. */
static void take_header(vxp_framer* framer, const vxp_ring_buffer* ring) {
    if (vxp_ring_count(ring) >= HEADER_BYTES_AFTER_SYNC) {
        peek(framer, ring, 0, SYNC2_OFFSET, HEADER_BYTES_AFTER_SYNC);
        if (framer->packet[SYNC2_OFFSET] == VXP_SYNC2) {
            /* Any 8-bit length gives a packet of at most VXP_MAX_PACKET_SIZE bytes. */
            framer->packet_byte_count = VXP_PARSE_HEADER_ACCEPTED;
        } else {
            /* The rejected sync byte is already out of the ring: the hunt resumes after it. */
            fail(framer);
            framer->sync_errors++;
        }
    } else if (candidate_expired(framer)) {
        /* No callback: nothing of the packet is known yet. */
        framer->timeouts++;
        fail(framer);
    }
}

/* With the header accepted: check the candidate once all its bytes are held (the ring holds it
 * from its byte 1 on). Returns 1 when a good packet was delivered. */
static int take_payload(vxp_framer* framer, vxp_ring_buffer* ring) {
    const uint32_t rest = framer->packet[PAYLOAD_LENGTH_OFFSET] + VXP_CHECKSUM_SIZE;
    const uint32_t held_after_sync = HEADER_BYTES_AFTER_SYNC + rest;
    if (vxp_ring_count(ring) < held_after_sync) {
        if (candidate_expired(framer)) {
            framer->callback(framer->user_ptr, framer->packet, VXP_HEADER_SIZE, VXP_PACKET_TIMEOUT);
            framer->timeouts++;
            fail(framer);
        }
        return 0;
    }
    peek(framer, ring, HEADER_BYTES_AFTER_SYNC, VXP_HEADER_SIZE, rest);
    if (vxp_packet_verify_checksum(framer->packet) != VXP_OK) {
        framer->callback(framer->user_ptr, framer->packet, VXP_HEADER_SIZE, VXP_PACKET_CHECKSUM_ERROR);
        /* Only the first failure after a delivered packet is counted: sliding byte by byte through
         * one damaged stretch is one error, not one per false candidate. Nothing is removed, so a
         * packet hidden inside the rejected bytes is still found. */
        if (framer->last_packet_ok == 1)
            framer->checksum_errors++;
        fail(framer);
        return 0;
    }
    framer->packet_byte_count = (uint16_t)(held_after_sync + 1u);
    framer->callback(framer->user_ptr, framer->packet, framer->packet_byte_count, VXP_PACKET_OK);
    vxp_ring_remove(ring, held_after_sync);
    framer->last_packet_ok = 1;
    framer->packet_byte_count = VXP_PARSE_HUNTING;
    return 1;
}

void vxp_framer_init(vxp_framer* framer, uint32_t timeout_ms, void* user_ptr, vxp_packet_callback callback) {
    memset(framer->packet, 0, sizeof framer->packet);
    framer->packet_byte_count = VXP_PARSE_HUNTING;
    framer->start_tick = 0;
    framer->checksum_errors = 0;
    framer->timeouts = 0;
    framer->last_packet_ok = 0;
    framer->sync_errors = 0;
    framer->timeout_ms = timeout_ms;
    framer->callback = callback;
    framer->user_ptr = user_ptr;
    framer->clock = NULL;
}

uint16_t vxp_framer_step(vxp_framer* framer, vxp_ring_buffer* ring) {
    if (framer->packet_byte_count == VXP_PARSE_HUNTING)
        hunt_sync(framer, ring);
    if (framer->packet_byte_count == VXP_PARSE_SYNC_TAKEN)
        take_header(framer, ring);
    /* A header accepted just above is followed by its payload in the same step. */
    if (framer->packet_byte_count == VXP_PARSE_HEADER_ACCEPTED && take_payload(framer, ring))
        return VXP_OK;
    return VXP_NO_PACKET;
}

uint16_t vxp_framer_receive(vxp_ring_buffer* ring, const uint8_t* bytes, uint32_t count, uint32_t* accepted) {
    if (accepted != NULL)
        *accepted = 0;
    if (count == 0)
        return VXP_OK;
    if (bytes == NULL)
        return VXP_ERROR;
    /* The bytes that fit go in with one bulk write. The first byte that does not fit is offered on
     * its own, so that the ring refuses it and counts exactly one overrun, as a byte-by-byte
     * receive stopping at the first refusal would. */
    const uint32_t space = vxp_ring_free_space(ring);
    const uint32_t fitting = count < space ? count : space;
    uint32_t written = 0;
    vxp_ring_write_multi(ring, bytes, fitting, &written);
    if (accepted != NULL)
        *accepted = written;
    if (fitting < count) {
        vxp_ring_write(ring, &bytes[fitting], 1u);
        return VXP_ERROR;
    }
    return VXP_OK;
}
