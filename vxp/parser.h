/* The log parser: a receive ring of ten packets' worth in front of the framer (vxp/framer.h),
 * which finds 0x75 0x65 frames, verifies the two-byte checksum and hands every good packet,
 * checksum failure and payload timeout to a callback. No allocation: everything is embedded. */
#ifndef VXP_PARSER_H
#define VXP_PARSER_H

#include <stdint.h>

#include "vxp/framer.h"
#include "vxp/packet.h"
#include "vxp/ring.h"
#include "vxp/tick.h"

#ifdef __cplusplus
extern "C" {
#endif

#define VXP_PARSER_BUFFER_SIZE 2610u

typedef struct vxp_parser {
    uint8_t state; /* 1 = initialised */
    vxp_ring_buffer ring;
    uint8_t ring_storage[VXP_PARSER_BUFFER_SIZE];
    /* The framing state, counters, timeout and callback. Its clock may be set on its own
     * (vxp_parser_set_clock): a file loader sets one that stands still, so that loading never
     * depends on how fast the machine reads. */
    vxp_framer framer;
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
