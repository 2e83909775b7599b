/* A live device on a serial port: frames incoming packets with the library's framer, hands each one
 * to the callback registered for its descriptor set, and runs command exchanges with acknowledgements. */
#ifndef VXP_DEVICE_DEVICE_H
#define VXP_DEVICE_DEVICE_H

#include <stdint.h>

#include "vxp/device/serial.h"
#include "vxp/framer.h"
#include "vxp/packet.h"
#include "vxp/ring.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The receive ring holds one packet at most: the caller polls often. */
#define VXP_DEVICE_RING_SIZE VXP_MAX_PACKET_SIZE

/* Callback table: entry 0 receives command replies, entries 1 to 10 belong to the application. */
#define VXP_DEVICE_CALLBACK_ENTRIES 11u
#define VXP_DEVICE_REPLY_ENTRY 0u
#define VXP_DEVICE_FIRST_APP_ENTRY 1u

/* An acknowledgement's first field: length, descriptor, echoed command descriptor, error code. */
#define VXP_ACK_FIELD_SIZE 4u
#define VXP_ACK_ECHO_OFFSET 0u /* offsets in the field data */
#define VXP_ACK_ERROR_OFFSET 1u
#define VXP_ACK_ACCEPTED 0u /* error code of an accepted command */

typedef struct vxp_device {
    uint8_t state; /* 1 = initialised */
    vxp_serial_port* port;
    vxp_ring_buffer ring;
    uint8_t ring_storage[VXP_DEVICE_RING_SIZE];
    /* Frames the ring with the process tick; its callback dispatches by descriptor set. */
    vxp_framer framer;
    uint8_t command_mode;  /* 1 while a command waits for its acknowledgement */
    uint8_t reply_arrived; /* set by vxp_command_reply_callback */
    uint8_t reply_echo;    /* command descriptor echoed by the acknowledgement */
    uint8_t reply_error;   /* error code of the acknowledgement */
    uint8_t* reply_field;  /* the reply's second field (its length byte) inside framer.packet; null if none */
    uint8_t reply_length;  /* bytes of the payload from reply_field to its end */
    uint8_t callback_sets[VXP_DEVICE_CALLBACK_ENTRIES]; /* 0 = free */
    vxp_packet_callback callbacks[VXP_DEVICE_CALLBACK_ENTRIES];
    void* callback_users[VXP_DEVICE_CALLBACK_ENTRIES];
} vxp_device;

/* Opens numbered port `port_number` (or the device at `path`) at `baud_rate` and sets the device
 * up with an empty ring, zeroed counters, an empty callback table and the reply callback in entry
 * 0; 1 if the port cannot be opened or the device is null, else 0. */
uint16_t vxp_device_init(uint32_t port_number, uint32_t baud_rate, vxp_device* device, uint32_t timeout_ms);
uint16_t vxp_device_init_path(const char* path, uint32_t baud_rate, vxp_device* device, uint32_t timeout_ms);

/* Closes the port and leaves the device uninitialised; 0 when a port was closed, 1 if none was open. */
uint16_t vxp_device_close(vxp_device* device);

/* Appends bytes to the receive ring, as vxp_parser_receive / vxp_parser_receive_wait do. The wait
 * variant answers at once (nothing frees ring space during the call): 1 for a count above the
 * ring's capacity or beyond its free space, else as vxp_device_receive. */
uint16_t vxp_device_receive(vxp_device* device, const uint8_t* bytes, uint32_t count, uint32_t* accepted);
uint16_t vxp_device_receive_wait(vxp_device* device, const uint8_t* bytes, uint32_t count, uint32_t* accepted,
                                 uint32_t wait_ms);

/* Moves what the port holds (as much as the ring takes) into the ring and runs one framing step.
 * 1 if not initialised, else 0. A failed port read keeps the bytes read before the failure and
 * leaves framer.last_packet_ok at 0, as a framing failure does. */
uint16_t vxp_device_poll(vxp_device* device);

/* One framing step: at most one packet event, handed to the callback of its descriptor set (during
 * a command exchange only to the reply callback). 1 if not initialised, else 0. */
uint16_t vxp_device_step(vxp_device* device);

/* Takes the first free application entry; 1 if none is free, for set 0 or a null callback. */
uint16_t vxp_device_register_callback(vxp_device* device, uint8_t descriptor_set, void* user_ptr,
                                      vxp_packet_callback callback);
/* Empties every application entry of the set; 0 if at least one was removed, else 1. */
uint16_t vxp_device_unregister_callback(vxp_device* device, uint8_t descriptor_set);
/* First entry (reply entry included) with the set and a callback; 1 for set 0 or none found.
 * user_ptr is null unless 0 is returned. Either out pointer may be null. */
uint16_t vxp_device_find_callback(vxp_device* device, uint8_t descriptor_set, void** user_ptr,
                                  vxp_packet_callback* callback);

/* Sends a one-field command packet. Without `wait` returns 0 once written; with it returns 0 only
 * when the acknowledgement arrives within timeout_ms and accepts the command. */
uint16_t vxp_device_send_command(vxp_device* device, uint8_t descriptor_set, uint8_t command_descriptor,
                                 const uint8_t* data, uint16_t data_length, uint8_t wait,
                                 uint32_t timeout_ms);
/* As vxp_device_send_command with waiting; hands out the reply field and its length, valid until
 * the next vxp_device_poll. */
uint16_t vxp_device_query_command(vxp_device* device, uint8_t descriptor_set, uint8_t command_descriptor,
                                  const uint8_t* data, uint16_t data_length, uint8_t** reply_field,
                                  int16_t* reply_length, uint32_t timeout_ms);
/* Polls until an acknowledgement of `command_descriptor` arrives in `descriptor_set` (0) or the
 * timeout runs out (1). Hands out its error code, reply field and reply length (out pointers may
 * be null). */
uint16_t vxp_device_wait_reply(vxp_device* device, uint8_t descriptor_set, uint8_t command_descriptor,
                               uint8_t* error_code, uint8_t** reply_field, int16_t* reply_length,
                               uint32_t timeout_ms);

/* Callback of the reply entry; user_ptr is the device. */
void vxp_command_reply_callback(void* user_ptr, uint8_t* packet, uint16_t size, uint8_t kind);

#ifdef __cplusplus
}
#endif

#endif
