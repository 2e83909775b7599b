/* The packet framing state machine, the one both the log parser and the live device step: it takes
 * bytes from a ring, finds 0x75 0x65 frames, verifies their checksum and hands every good packet,
 * checksum failure and payload timeout to a callback. No allocation, no files, no ports. */
#ifndef VXP_FRAMER_H
#define VXP_FRAMER_H

#include <stdint.h>

#include "vxp/packet.h"
#include "vxp/ring.h"
#include "vxp/tick.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Packet kinds handed to the callback. */
#define VXP_PACKET_OK 0u
#define VXP_PACKET_CHECKSUM_ERROR 1u
#define VXP_PACKET_TIMEOUT 2u

/* Framing states, carried by packet_byte_count: the bytes of the candidate known so far. */
enum vxp_parse_state {
    VXP_PARSE_HUNTING = 0,                      /* looking for VXP_SYNC1 */
    VXP_PARSE_SYNC_TAKEN = 1,                   /* VXP_SYNC1 taken, header not yet complete */
    VXP_PARSE_HEADER_ACCEPTED = VXP_HEADER_SIZE /* header accepted, waiting for payload and checksum */
};

/* Receives every packet event: the packet buffer (valid during the call only, and the callee's to
 * modify), the packet size (the header size for a failure) and the kind. */
typedef void (*vxp_packet_callback)(void* user_ptr, uint8_t* packet, uint16_t size, uint8_t kind);

typedef struct vxp_framer {
    uint8_t packet[VXP_MAX_PACKET_SIZE]; /* the candidate: header, then payload and checksum */
    uint16_t packet_byte_count;          /* a vxp_parse_state; the packet's size while it is handed out */
    uint32_t start_tick;                 /* when the candidate's VXP_SYNC1 was taken */
    uint32_t checksum_errors;            /* counted only right after a delivered packet */
    uint32_t timeouts;                   /* candidates abandoned, header or payload */
    uint8_t last_packet_ok;              /* 1 after a delivered packet, 0 after any failure */
    uint32_t sync_errors;                /* VXP_SYNC1 bytes not followed by VXP_SYNC2 */
    uint32_t timeout_ms;
    vxp_packet_callback callback; /* never null once initialised */
    void* user_ptr;
    vxp_tick_fn clock; /* null: vxp_tick_ms, the process-wide tick */
} vxp_framer;

/* Zeroes the candidate, the state and the counters, and sets the timeout and the callback; the
 * clock becomes the process tick. */
void vxp_framer_init(vxp_framer* framer, uint32_t timeout_ms, void* user_ptr, vxp_packet_callback callback);

/* One framing step over the bytes `ring` holds (1-byte entries): hunt, header, and in the same step
 * the payload of a header just accepted. At most one callback. VXP_OK when a good packet was
 * delivered, VXP_NO_PACKET otherwise. The ring keeps every byte not yet framed. */
uint16_t vxp_framer_step(vxp_framer* framer, vxp_ring_buffer* ring);

/* Bytes in: appends what fits of `bytes` to `ring`; the first byte refused counts one overrun and
 * the rest stays with the caller. accepted = bytes taken (may be null). VXP_OK when all were
 * taken, VXP_ERROR otherwise. */
uint16_t vxp_framer_receive(vxp_ring_buffer* ring, const uint8_t* bytes, uint32_t count, uint32_t* accepted);

#ifdef __cplusplus
}
#endif

#endif
