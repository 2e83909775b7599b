/* Framing of the device's receive ring: the frame rules of the log parser (sync bytes, header,
 * payload, checksum, timeout), one step per poll, each packet event dispatched by descriptor set. */
#include "vxp/device/device.h"
#include "vxp/status.h"
#include "vxp/tick.h"

/* Frame bytes that follow the sync byte: SYNC2, descriptor set, payload length. */
#define HEADER_BYTES_AFTER_SYNC (VXP_HEADER_SIZE - 1u)
#define DESCRIPTOR_SET_OFFSET 2u
#define PAYLOAD_LENGTH_OFFSET 3u

/* The callback of the packet's descriptor set, if there is one; while a command waits, only the
 * reply callback hears anything. */
static void dispatch(vxp_device* device, uint16_t size, uint8_t kind) {
    void* user_ptr = NULL;
    vxp_packet_callback callback = NULL;
    if (vxp_device_find_callback(device, device->packet[DESCRIPTOR_SET_OFFSET], &user_ptr, &callback) !=
        VXP_OK) {
        return;
    }
    if (device->command_mode != 0 && callback != vxp_command_reply_callback) {
        return;
    }
    callback(user_ptr, device->packet, size, kind);
}

static void restart_hunt(vxp_device* device) {
    device->packet_byte_count = 0;
    device->last_packet_ok = 0;
}

/* Discards bytes up to and including the next sync byte, which starts a candidate. */
static void hunt_sync(vxp_device* device) {
    while (device->packet_byte_count == 0 && vxp_ring_count(&device->ring) > 0) {
        vxp_ring_read(&device->ring, &device->packet[0], 1);
        if (device->packet[0] == VXP_SYNC1) {
            device->packet_byte_count = 1;
            device->start_tick = vxp_tick_ms();
        }
    }
}

/* Peeks the rest of the header; a wrong second sync byte rejects the candidate, and the hunt goes
 * on from the byte after the rejected sync byte. */
static void take_header(vxp_device* device) {
    uint32_t copied = 0;
    if (vxp_ring_count(&device->ring) >= HEADER_BYTES_AFTER_SYNC) {
        vxp_ring_lookahead_multi(&device->ring, 0, &device->packet[1], HEADER_BYTES_AFTER_SYNC,
                                 HEADER_BYTES_AFTER_SYNC, &copied);
        if (device->packet[1] == VXP_SYNC2) {
            device->packet_byte_count = VXP_HEADER_SIZE;
        } else {
            restart_hunt(device);
            ++device->sync_errors;
        }
    } else if (!vxp_within_timeout(device->start_tick, device->timeout_ms)) {
        /* No callback: nothing of the packet is known yet. */
        restart_hunt(device);
        ++device->timeouts;
    }
}

/* Once payload and checksum are in the ring, checks the packet and reports it. A good packet
 * leaves the ring; a bad one stays, so a packet hidden inside it is still found. */
static void take_payload(vxp_device* device) {
    uint32_t payload_length = device->packet[PAYLOAD_LENGTH_OFFSET];
    uint32_t rest_length = payload_length + VXP_CHECKSUM_SIZE;        /* payload and checksum */
    uint32_t held_after_sync = HEADER_BYTES_AFTER_SYNC + rest_length; /* the frame minus its sync byte */
    uint32_t copied = 0;
    if (vxp_ring_count(&device->ring) >= held_after_sync) {
        vxp_ring_lookahead_multi(&device->ring, HEADER_BYTES_AFTER_SYNC, &device->packet[VXP_HEADER_SIZE],
                                 rest_length, rest_length, &copied);
        if (vxp_packet_verify_checksum(device->packet) == VXP_OK) {
            device->packet_byte_count = (uint16_t)(VXP_HEADER_SIZE + rest_length);
            dispatch(device, device->packet_byte_count, VXP_PACKET_OK);
            vxp_ring_remove(&device->ring, held_after_sync);
            device->last_packet_ok = 1;
        } else {
            dispatch(device, VXP_HEADER_SIZE, VXP_PACKET_CHECKSUM_ERROR);
            /* A run of failures while sliding through damaged bytes counts once. */
            if (device->last_packet_ok == 1) {
                ++device->checksum_errors;
            }
            device->last_packet_ok = 0;
        }
        device->packet_byte_count = 0;
    } else if (!vxp_within_timeout(device->start_tick, device->timeout_ms)) {
        dispatch(device, VXP_HEADER_SIZE, VXP_PACKET_TIMEOUT);
        ++device->timeouts;
        restart_hunt(device);
    }
}

uint16_t vxp_device_step(vxp_device* device) {
    if (device == NULL || device->state != 1) {
        return VXP_ERROR;
    }
    if (device->packet_byte_count < VXP_HEADER_SIZE) {
        hunt_sync(device);
        if (device->packet_byte_count == 1) {
            take_header(device);
        }
    }
    if (device->packet_byte_count >= VXP_HEADER_SIZE) {
        take_payload(device);
    }
    return VXP_OK;
}
