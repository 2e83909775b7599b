/* The device command set 0x0D: one table describes every command's request values, its reply
 * field and reply values; requests and replies are converted between host order and big-endian. */
#ifndef VXP_DEVICE_COMMAND_SET_H
#define VXP_DEVICE_COMMAND_SET_H

#include <stddef.h>
#include <stdint.h>

#include "vxp/device/device.h"

#ifdef __cplusplus
extern "C" {
#endif

#define VXP_COMMAND_SET 0x0Du        /* descriptor set of command packets and their acknowledgements */
#define VXP_COMMAND_TIMEOUT_MS 1000u /* wait for each acknowledgement */
#define VXP_FUNCTION_APPLY 1u        /* selector that sends the values; other selectors send zeros */
#define VXP_COMMAND_NO_REPLY 0u      /* reply descriptor of acknowledgement-only commands */
#define VXP_COMMAND_MAX_REQUEST 70u  /* longest request data in the set */

/* Value layouts are strings of members, each an optional decimal count and a type letter:
 * B u8, H u16, I u32, f f32, d f64. "B3f" is a u8 followed by three f32. Values are byte-packed. */
typedef struct vxp_command_layout {
    uint8_t descriptor;         /* command field descriptor */
    uint8_t has_selector;       /* 1: the request data begins with a function selector byte */
    const char* request_values; /* after the selector, if any */
    uint8_t reply_descriptor;   /* VXP_COMMAND_NO_REPLY for acknowledgement only */
    const char* reply_values;
} vxp_command_layout;

/* The layout of a command of set 0x0D; null for a descriptor the set does not have. */
const vxp_command_layout* vxp_command_find(uint8_t command_descriptor);
/* Every command in the set, in descriptor order; *count receives their number. */
const vxp_command_layout* vxp_command_table(size_t* count);

/* Bytes of a value layout; 0 for a null or malformed layout. */
uint16_t vxp_layout_size(const char* layout);
/* Reverses each multi-byte value of the layout in place (big-endian <-> host order). */
void vxp_layout_byteswap(const char* layout, uint8_t* values);
/* Request data length: the selector byte, if any, and the values. */
uint16_t vxp_command_request_size(const vxp_command_layout* command);

/* Builds the request data: [selector] then the values in big-endian order. For a settings command
 * the values (host order, packed, exactly the layout's size) are taken only when the selector is
 * VXP_FUNCTION_APPLY; otherwise they may be null and zeros are sent, at full length. `selector` is
 * ignored by commands without one. 1 for a null command or request; 2 when `values_size` does not
 * match the layout or the request does not fit in `request_size`. */
uint16_t vxp_command_build_request(const vxp_command_layout* command, uint8_t selector, const void* values,
                                   uint16_t values_size, uint8_t* request, uint16_t request_size,
                                   uint16_t* request_length);

/* Copies the reply values out of an acknowledgement's second field into `reply` (host order).
 * 1 when there is no reply field, its descriptor is not the command's reply descriptor, its
 * length byte or the bytes the packet holds (`reply_length`) fall short of 2 + the reply size, or
 * its length byte claims more than the packet holds;
 * 2 when `reply_size` is not the reply layout's size. */
uint16_t vxp_command_read_reply(const vxp_command_layout* command, const uint8_t* reply_field,
                                int16_t reply_length, void* reply, uint16_t reply_size);

/* Runs a command of set 0x0D with the 1000 ms acknowledgement wait. `selector` is ignored by
 * commands without one. When `reply` is given, the acknowledgement must carry the command's reply
 * field and its values land in `reply` (host order); a null `reply` ignores any reply field.
 * 0 when the command was accepted (and the reply read); 1 for an unknown command, no or a negative
 * acknowledgement, or a bad reply; 2 for values or a reply buffer that do not match the layout. */
uint16_t vxp_device_command(vxp_device* device, uint8_t command_descriptor, uint8_t selector,
                            const void* values, uint16_t values_size, void* reply, uint16_t reply_size);

#ifdef __cplusplus
}
#endif

#endif
