/* Running a command of set 0x0D on a live device: request from the table, acknowledgement wait,
 * reply values back in host order. */
#include "vxp/device/command_set.h"
#include "vxp/status.h"

uint16_t vxp_device_command(vxp_device* device, uint8_t command_descriptor, uint8_t selector,
                            const void* values, uint16_t values_size, void* reply, uint16_t reply_size) {
    uint8_t request[VXP_COMMAND_MAX_REQUEST];
    uint16_t request_length = 0;
    uint8_t* reply_field = NULL;
    int16_t reply_length = 0;
    const vxp_command_layout* command = vxp_command_find(command_descriptor);
    if (device == NULL || command == NULL) {
        return VXP_ERROR;
    }
    if (reply != NULL) {
        if (command->reply_descriptor == VXP_COMMAND_NO_REPLY) {
            return VXP_ERROR;
        }
        /* Checked before anything is sent, so a wrong buffer never costs an exchange. */
        if (reply_size != vxp_layout_size(command->reply_values)) {
            return VXP_SIZE_ERROR;
        }
    }
    uint16_t status = vxp_command_build_request(command, selector, values, values_size, request,
                                                sizeof request, &request_length);
    if (status != VXP_OK) {
        return status;
    }
    status = vxp_device_query_command(device, VXP_COMMAND_SET, command_descriptor, request, request_length,
                                      &reply_field, &reply_length, VXP_COMMAND_TIMEOUT_MS);
    if (status != VXP_OK || reply == NULL) {
        return status;
    }
    /* The reply field lives in the device's packet buffer until the next poll: read it now. */
    return vxp_command_read_reply(command, reply_field, reply_length, reply, reply_size);
}
