/* The VXP packet frame and its fields: header accessors, checksum, field iteration,
 * packet building and the big-endian byte-order helpers. */
#ifndef VXP_PACKET_H
#define VXP_PACKET_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define VXP_SYNC1 0x75u
#define VXP_SYNC2 0x65u
#define VXP_HEADER_SIZE 4u
#define VXP_CHECKSUM_SIZE 2u
#define VXP_FIELD_HEADER_SIZE 2u
#define VXP_MAX_PAYLOAD_SIZE 255u
#define VXP_MAX_PACKET_SIZE 261u

/* Header accessors (packet = buffer starting with the first sync byte). */
uint16_t vxp_packet_check_sync(const uint8_t* packet);
uint16_t vxp_packet_is_set(const uint8_t* packet, uint8_t descriptor_set);
uint8_t vxp_packet_descriptor_set(const uint8_t* packet);
uint8_t vxp_packet_payload_length(const uint8_t* packet);
uint8_t* vxp_packet_payload(uint8_t* packet);
uint16_t vxp_packet_size(const uint8_t* packet);

/* Checksum: two running 8-bit sums over bytes 0 .. N+3, value sum1 * 256 + sum2. */
uint16_t vxp_packet_checksum(const uint8_t* packet);
uint16_t vxp_packet_verify_checksum(const uint8_t* packet);

/* Field iteration; offset is payload-relative. */
uint16_t vxp_packet_first_field(uint8_t* packet, uint8_t** field, uint8_t** data, uint16_t* offset);
uint16_t vxp_packet_next_field(uint8_t* packet, uint8_t** field, uint8_t** data, uint16_t* offset);
/* Data bytes of `field` (a field of `packet`) that lie inside both the field and the payload:
 * min(length byte, bytes left in the payload) - 2, or 0. A decoder reads at most this many. */
uint16_t vxp_field_data_length(const uint8_t* packet, const uint8_t* field);

/* Packet building. */
uint16_t vxp_packet_init(uint8_t* buffer, uint16_t buffer_length, uint8_t descriptor_set);
uint16_t vxp_packet_add_field(uint8_t* buffer, uint16_t buffer_length, const uint8_t* data,
                              uint16_t data_length, uint8_t field_descriptor);
uint16_t vxp_packet_append_field(uint8_t* buffer, uint16_t buffer_length, const uint8_t* field);
uint16_t vxp_packet_finalize(uint8_t* buffer);

/* Byte order. */
void vxp_byteswap_inplace(uint8_t* data, uint16_t n);
void vxp_byteswap(const uint8_t* source, uint8_t* destination, uint16_t n);

#ifdef __cplusplus
}
#endif

#endif
