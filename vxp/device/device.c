/* Device lifetime and the receive side: opening the port, filling the receive ring from the
 * caller or from the port, and handing each packet event the framer finds in it to the callback
 * of its descriptor set. */
#include "vxp/device/device.h"

#include <stddef.h>

#include "vxp/status.h"

static int is_initialised(const vxp_device* device) {
    return device != NULL && device->state == 1;
}

/* The framer's callback (user_ptr: the device): the event goes to the callback of the packet's
 * descriptor set, if there is one; while a command waits, only the reply callback hears anything. */
static void dispatch(void* user_ptr, uint8_t* packet, uint16_t size, uint8_t kind) {
    vxp_device* device = (vxp_device*)user_ptr;
    void* callback_user = NULL;
    vxp_packet_callback callback = NULL;
    if (vxp_device_find_callback(device, vxp_packet_descriptor_set(packet), &callback_user, &callback) !=
        VXP_OK) {
        return;
    }
    if (device->command_mode != 0 && callback != vxp_command_reply_callback) {
        return;
    }
    callback(callback_user, packet, size, kind);
}

/* Everything but the port returns to its starting value; entry 0 gets the reply callback. */
static uint16_t set_up(vxp_device* device, vxp_serial_port* port, uint32_t timeout_ms) {
    device->port = port;
    if (vxp_ring_init_static(&device->ring, device->ring_storage, VXP_DEVICE_RING_SIZE, 1) != VXP_OK) {
        vxp_serial_close(port);
        device->port = NULL;
        return VXP_ERROR;
    }
    /* The device has no clock of its own: its timeouts run on the process tick. */
    vxp_framer_init(&device->framer, timeout_ms, device, dispatch);
    for (uint32_t i = 0; i < VXP_DEVICE_CALLBACK_ENTRIES; ++i) {
        device->callback_sets[i] = 0;
        device->callbacks[i] = NULL;
        device->callback_users[i] = NULL;
    }
    device->command_mode = 0;
    device->reply_arrived = 0;
    device->reply_echo = 0;
    device->reply_error = 0;
    device->reply_field = NULL;
    device->reply_length = 0;
    /* The reply entry's set is filled in only while a command waits. */
    device->callbacks[VXP_DEVICE_REPLY_ENTRY] = vxp_command_reply_callback;
    device->callback_users[VXP_DEVICE_REPLY_ENTRY] = device;
    device->state = 1;
    return VXP_OK;
}

uint16_t vxp_device_init(uint32_t port_number, uint32_t baud_rate, vxp_device* device, uint32_t timeout_ms) {
    vxp_serial_port* port = NULL;
    if (device == NULL) {
        return VXP_ERROR;
    }
    device->state = 0;
    device->port = NULL;
    if (vxp_serial_open(&port, port_number, baud_rate) != VXP_OK) {
        return VXP_ERROR;
    }
    return set_up(device, port, timeout_ms);
}

uint16_t vxp_device_init_path(const char* path, uint32_t baud_rate, vxp_device* device, uint32_t timeout_ms) {
    vxp_serial_port* port = NULL;
    if (device == NULL) {
        return VXP_ERROR;
    }
    device->state = 0;
    device->port = NULL;
    if (vxp_serial_open_path(&port, path, baud_rate) != VXP_OK) {
        return VXP_ERROR;
    }
    return set_up(device, port, timeout_ms);
}

uint16_t vxp_device_close(vxp_device* device) {
    if (device == NULL || device->port == NULL) {
        return VXP_ERROR;
    }
    vxp_serial_close(device->port);
    /* A closed device must not reach the freed port through a later poll or command. */
    device->port = NULL;
    device->state = 0;
    return VXP_OK;
}

uint16_t vxp_device_receive(vxp_device* device, const uint8_t* bytes, uint32_t count, uint32_t* accepted) {
    if (!is_initialised(device)) {
        return VXP_ERROR;
    }
    return vxp_framer_receive(&device->ring, bytes, count, accepted);
}

uint16_t vxp_device_receive_wait(vxp_device* device, const uint8_t* bytes, uint32_t count, uint32_t* accepted,
                                 uint32_t wait_ms) {
    (void)wait_ms;
    if (!is_initialised(device) || count > VXP_DEVICE_RING_SIZE) {
        return VXP_ERROR;
    }
    /* Only a framing step frees ring space, and none runs while this call does (the device is
     * used from one thread): the space seen now is the space there will be, so waiting for more
     * could only burn the time. */
    if (vxp_ring_free_space(&device->ring) < count) {
        return VXP_ERROR;
    }
    return vxp_device_receive(device, bytes, count, accepted);
}

uint16_t vxp_device_poll(vxp_device* device) {
    uint8_t bytes[VXP_DEVICE_RING_SIZE];
    uint32_t read_count = 0;
    uint32_t written = 0;
    uint16_t read_status = VXP_OK;
    if (!is_initialised(device)) {
        return VXP_ERROR;
    }
    uint32_t wanted = vxp_ring_free_space(&device->ring);
    uint32_t waiting = vxp_serial_bytes_waiting(device->port);
    if (waiting < wanted) {
        wanted = waiting;
    }
    if (wanted > 0) {
        read_status = vxp_serial_read(device->port, bytes, wanted, &read_count);
        /* A short read still delivered bytes: they go to the ring like any others. */
        if (read_count > 0) {
            vxp_ring_write_multi(&device->ring, bytes, read_count, &written);
        }
    }
    vxp_device_step(device);
    /* Bytes may be missing between those before and after a failed read: it is reported as a
     * framing failure is, and a checksum failure it causes is not counted as the device's. */
    if (read_status != VXP_OK) {
        device->framer.last_packet_ok = 0;
    }
    return VXP_OK;
}

uint16_t vxp_device_step(vxp_device* device) {
    if (!is_initialised(device)) {
        return VXP_ERROR;
    }
    /* The caller polls: whether a packet came out of this step does not matter to it. */
    vxp_framer_step(&device->framer, &device->ring);
    return VXP_OK;
}
