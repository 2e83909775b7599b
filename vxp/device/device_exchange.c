/* Command exchange with a live device: a one-field command packet goes out, and the reply entry
 * of the callback table catches the acknowledgement that echoes the command descriptor. */
#include "vxp/device/device.h"
#include "vxp/status.h"
#include "vxp/tick.h"

static void clear_reply(vxp_device* device) {
    device->reply_echo = 0;
    device->reply_error = 0;
    device->reply_field = NULL;
    device->reply_length = 0;
}

void vxp_command_reply_callback(void* user_ptr, uint8_t* packet, uint16_t size, uint8_t kind) {
    vxp_device* device = (vxp_device*)user_ptr;
    uint8_t* field = NULL;
    uint8_t* data = NULL;
    uint16_t offset = 0;
    (void)size;
    if (device == NULL) {
        return;
    }
    device->reply_arrived = 1;
    clear_reply(device);
    if (kind != VXP_PACKET_OK) {
        return;
    }
    uint8_t payload_length = vxp_packet_payload_length(packet);
    /* The acknowledgement field must hold its echo and error bytes within the payload; anything
     * else is not an acknowledgement of any command. */
    if (vxp_packet_first_field(packet, &field, &data, &offset) != VXP_OK || field[0] < VXP_ACK_FIELD_SIZE ||
        offset > payload_length) {
        return;
    }
    device->reply_echo = data[VXP_ACK_ECHO_OFFSET];
    device->reply_error = data[VXP_ACK_ERROR_OFFSET];
    uint16_t reply_offset = offset;
    if (vxp_packet_next_field(packet, &field, &data, &offset) == VXP_OK) {
        device->reply_field = field;
        /* What the payload holds from the reply field on: a reader checks the field against it. */
        device->reply_length = (uint8_t)(payload_length - reply_offset);
    }
}

uint16_t vxp_device_wait_reply(vxp_device* device, uint8_t descriptor_set, uint8_t command_descriptor,
                               uint8_t* error_code, uint8_t** reply_field, int16_t* reply_length,
                               uint32_t timeout_ms) {
    uint16_t status = VXP_ERROR;
    if (error_code != NULL) {
        *error_code = 0;
    }
    if (reply_field != NULL) {
        *reply_field = NULL;
    }
    if (reply_length != NULL) {
        *reply_length = 0;
    }
    if (device == NULL || device->state != 1) {
        return VXP_ERROR;
    }
    uint32_t start = vxp_tick_ms();
    device->callback_sets[VXP_DEVICE_REPLY_ENTRY] = descriptor_set;
    device->reply_arrived = 0;
    clear_reply(device);
    /* Busy polling: the port read never blocks, and the caller asked to wait. */
    while (vxp_within_timeout(start, timeout_ms)) {
        vxp_device_poll(device);
        if (device->reply_arrived == 1 && device->reply_echo == command_descriptor) {
            if (error_code != NULL) {
                *error_code = device->reply_error;
            }
            if (reply_field != NULL) {
                *reply_field = device->reply_field;
            }
            if (reply_length != NULL) {
                *reply_length = device->reply_length;
            }
            status = VXP_OK;
            break;
        }
    }
    device->callback_sets[VXP_DEVICE_REPLY_ENTRY] = 0;
    clear_reply(device);
    return status;
}

/* Builds the one-field command packet and writes it to the port. */
static uint16_t write_command(vxp_device* device, uint8_t descriptor_set, uint8_t command_descriptor,
                              const uint8_t* data, uint16_t data_length) {
    uint8_t packet[VXP_MAX_PACKET_SIZE];
    uint32_t written = 0;
    uint16_t status = vxp_packet_init(packet, sizeof packet, descriptor_set);
    if (status == VXP_OK) {
        status = vxp_packet_add_field(packet, sizeof packet, data, data_length, command_descriptor);
    }
    if (status != VXP_OK) {
        return status;
    }
    uint16_t size = vxp_packet_finalize(packet);
    return vxp_serial_write(device->port, packet, size, &written) == VXP_OK ? VXP_OK : VXP_ERROR;
}

/* Waits for the acknowledgement with application callbacks muted; 0 only for an accepted command. */
static uint16_t await_acceptance(vxp_device* device, uint8_t descriptor_set, uint8_t command_descriptor,
                                 uint8_t** reply_field, int16_t* reply_length, uint32_t timeout_ms) {
    uint8_t error_code = 0;
    device->command_mode = 1;
    uint16_t status = vxp_device_wait_reply(device, descriptor_set, command_descriptor, &error_code,
                                            reply_field, reply_length, timeout_ms);
    device->command_mode = 0;
    if (status != VXP_OK || error_code != VXP_ACK_ACCEPTED) {
        if (reply_field != NULL) {
            *reply_field = NULL;
        }
        if (reply_length != NULL) {
            *reply_length = 0;
        }
        return VXP_ERROR;
    }
    return VXP_OK;
}

uint16_t vxp_device_send_command(vxp_device* device, uint8_t descriptor_set, uint8_t command_descriptor,
                                 const uint8_t* data, uint16_t data_length, uint8_t wait,
                                 uint32_t timeout_ms) {
    if (device == NULL || device->state != 1) {
        return VXP_ERROR;
    }
    uint16_t status = write_command(device, descriptor_set, command_descriptor, data, data_length);
    if (status != VXP_OK || wait == 0) {
        return status;
    }
    return await_acceptance(device, descriptor_set, command_descriptor, NULL, NULL, timeout_ms);
}

uint16_t vxp_device_query_command(vxp_device* device, uint8_t descriptor_set, uint8_t command_descriptor,
                                  const uint8_t* data, uint16_t data_length, uint8_t** reply_field,
                                  int16_t* reply_length, uint32_t timeout_ms) {
    if (reply_field != NULL) {
        *reply_field = NULL;
    }
    if (reply_length != NULL) {
        *reply_length = 0;
    }
    if (device == NULL || device->state != 1) {
        return VXP_ERROR;
    }
    uint16_t status = write_command(device, descriptor_set, command_descriptor, data, data_length);
    if (status != VXP_OK) {
        return status;
    }
    return await_acceptance(device, descriptor_set, command_descriptor, reply_field, reply_length,
                            timeout_ms);
}
