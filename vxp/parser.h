/* Packet framing: finds 0x75 0x65 frames in an arbitrary byte stream, verifies the two-byte
 * checksum and hands every good packet, checksum failure and payload timeout to a callback.
 * No allocation: the ring storage and the packet buffer are embedded. */
#ifndef VXP_PARSER_H
#define VXP_PARSER_H

#include <stdint.h>

#include "vxp/packet.h"
#include "vxp/ring.h"
#include "vxp/tick.h"

#ifdef __cplusplus
extern "C" {
#endif

#define VXP_PARSER_BUFFER_SIZE 2610u

/* Packet kinds handed to the callback. */
#define VXP_PACKET_OK 0u
#define VXP_PACKET_CHECKSUM_ERROR 1u
#define VXP_PACKET_TIMEOUT 2u

/* Framing states carried by packet_byte_count. */
#define VXP_PARSE_HUNTING 0u         /* looking for VXP_SYNC1 */
#define VXP_PARSE_SYNC_TAKEN 1u      /* VXP_SYNC1 taken, header not yet complete */
#define VXP_PARSE_HEADER_ACCEPTED 4u /* header accepted, waiting for payload and checksum */

typedef void (*vxp_packet_callback)(void* user_ptr, uint8_t* packet, uint16_t size, uint8_t kind);

typedef struct vxp_parser {
    uint8_t state; /* 1 = initialised */
    vxp_ring_buffer ring;
    uint8_t ring_storage[VXP_PARSER_BUFFER_SIZE];
    uint8_t packet[VXP_MAX_PACKET_SIZE];
    uint16_t packet_byte_count; /* 0 hunting, 1 sync byte taken, 4 header accepted */
    uint32_t start_tick;
    uint32_t checksum_errors;
    uint32_t timeouts;
    uint8_t last_packet_ok;
    uint32_t sync_errors;
    uint32_t timeout_ms;
    vxp_packet_callback callback;
    void* user_ptr;
    /* Clock of this parser's timeouts; null means vxp_tick_ms. A file loader sets a clock that
     * stands still, so that loading never depends on how fast the machine reads. */
    vxp_tick_fn clock;
} vxp_parser;

uint16_t vxp_parser_init(vxp_parser* parser, uint32_t timeout_ms, void* user_ptr,
                         vxp_packet_callback callback);
uint16_t vxp_parser_receive(vxp_parser* parser, const uint8_t* bytes, uint32_t count, uint32_t* accepted);
uint16_t vxp_parser_receive_wait(vxp_parser* parser, const uint8_t* bytes, uint32_t count, uint32_t* accepted,
                                 uint32_t wait_ms);
uint32_t vxp_parser_free_space(const vxp_parser* parser);
uint16_t vxp_parser_step(vxp_parser* parser);
uint16_t vxp_parser_step_once(vxp_parser* parser);
uint16_t vxp_parser_update(vxp_parser* parser);
/* Runs vxp_parser_update until a pass neither consumes a byte nor changes the framing state:
 * everything that can be framed from the bytes held is framed (vxp_parser_update alone stops
 * after the first failed candidate). Returns 1 if not initialised, else 0. */
uint16_t vxp_parser_drain(vxp_parser* parser);
uint16_t vxp_parser_feed(vxp_parser* parser, const uint8_t* bytes, uint32_t count, uint32_t* total_accepted);
uint32_t vxp_parser_error_total(const vxp_parser* parser);
uint16_t vxp_parser_set_callback(vxp_parser* parser, void* user_ptr, vxp_packet_callback callback);
uint16_t vxp_parser_set_timeout(vxp_parser* parser, uint32_t timeout_ms);
uint32_t vxp_parser_get_timeout(const vxp_parser* parser);
/* Sets the parser's own clock (null: vxp_tick_ms). Call after vxp_parser_init. */
uint16_t vxp_parser_set_clock(vxp_parser* parser, vxp_tick_fn clock);

#ifdef __cplusplus
}
#endif

#endif
