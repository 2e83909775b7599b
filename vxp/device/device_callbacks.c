/* The device's callback table: one entry per descriptor set the application listens to, plus the
 * reply entry that the command exchange fills in while a command waits. */
#include "vxp/device/device.h"
#include "vxp/status.h"

static int entry_is_free(const vxp_device* device, uint32_t entry) {
    return device->callback_sets[entry] == 0 && device->callbacks[entry] == NULL &&
           device->callback_users[entry] == NULL;
}

uint16_t vxp_device_register_callback(vxp_device* device, uint8_t descriptor_set, void* user_ptr,
                                      vxp_packet_callback callback) {
    /* Set 0 marks a free entry, and an entry without a callback could never be found. */
    if (device == NULL || descriptor_set == 0 || callback == NULL) {
        return VXP_ERROR;
    }
    for (uint32_t entry = VXP_DEVICE_FIRST_APP_ENTRY; entry < VXP_DEVICE_CALLBACK_ENTRIES; ++entry) {
        if (entry_is_free(device, entry)) {
            device->callback_sets[entry] = descriptor_set;
            device->callbacks[entry] = callback;
            device->callback_users[entry] = user_ptr;
            return VXP_OK;
        }
    }
    return VXP_ERROR;
}

uint16_t vxp_device_unregister_callback(vxp_device* device, uint8_t descriptor_set) {
    uint16_t status = VXP_ERROR;
    if (device == NULL || descriptor_set == 0) {
        return VXP_ERROR;
    }
    for (uint32_t entry = VXP_DEVICE_FIRST_APP_ENTRY; entry < VXP_DEVICE_CALLBACK_ENTRIES; ++entry) {
        if (device->callback_sets[entry] == descriptor_set) {
            device->callback_sets[entry] = 0;
            device->callbacks[entry] = NULL;
            device->callback_users[entry] = NULL;
            status = VXP_OK;
        }
    }
    return status;
}

uint16_t vxp_device_find_callback(vxp_device* device, uint8_t descriptor_set, void** user_ptr,
                                  vxp_packet_callback* callback) {
    if (user_ptr != NULL) {
        *user_ptr = NULL;
    }
    if (device == NULL || descriptor_set == 0) {
        return VXP_ERROR;
    }
    for (uint32_t entry = 0; entry < VXP_DEVICE_CALLBACK_ENTRIES; ++entry) {
        if (device->callback_sets[entry] == descriptor_set && device->callbacks[entry] != NULL) {
            if (user_ptr != NULL) {
                *user_ptr = device->callback_users[entry];
            }
            if (callback != NULL) {
                *callback = device->callbacks[entry];
            }
            return VXP_OK;
        }
    }
    return VXP_ERROR;
}
