/* The command table of set 0x0D and the conversions between host-order values and the big-endian
 * request and reply data. */
#include "vxp/device/command_set.h"

#include <string.h>

#include "vxp/packet.h"
#include "vxp/status.h"

#define SELECTOR_SIZE 1u
#define NONE ""

/* Descriptor, selector, request values after the selector, reply descriptor, reply values. */
static const vxp_command_layout commands[] = {
    {0x01, 0, NONE, VXP_COMMAND_NO_REPLY, NONE},
    {0x02, 0, "3f", VXP_COMMAND_NO_REPLY, NONE},
    {0x03, 0, "f", VXP_COMMAND_NO_REPLY, NONE},
    {0x04, 0, "f", VXP_COMMAND_NO_REPLY, NONE},
    {0x10, 1, "B", 0x80, "B"},
    {0x11, 1, "3f", 0x81, "3f"},
    {0x12, 1, "3f", 0x82, "3f"},
    {0x13, 1, "3f", 0x83, "3f"},
    {0x14, 1, "H", 0x84, "H"},
    {0x15, 1, "B", 0x86, "B"},
    {0x16, 0, "dH3d3f3f3f", VXP_COMMAND_NO_REPLY, NONE},
    {0x17, 0, "ffB", VXP_COMMAND_NO_REPLY, NONE},
    {0x18, 1, "B", 0x87, "B"},
    {0x19, 1, "B", 0x88, "B"},
    {0x1A, 1, "3f", 0x89, "3f"},
    {0x1B, 1, "3f", 0x8A, "3f"},
    {0x1C, 1, "6f", 0x8B, "6f"},
    {0x1D, 1, "6f", 0x8C, "6f"},
    {0x1E, 1, "BI", 0x8D, "BI"},
    {0x1F, 0, "dHffB", VXP_COMMAND_NO_REPLY, NONE},
    {0x20, 1, "BI", 0x8E, "BI"},
    {0x21, 1, "B", VXP_COMMAND_NO_REPLY, NONE},
    {0x22, 0, NONE, VXP_COMMAND_NO_REPLY, NONE},
    {0x23, 0, NONE, VXP_COMMAND_NO_REPLY, NONE},
    {0x26, 1, "B3d", 0x90, "B3d"},
    {0x41, 1, "H", 0xB0, "H"},
    {0x42, 1, "3f", 0xB1, "3f"},
    {0x43, 1, "B", 0xB2, "B"},
    {0x44, 1, "B6f", 0xB3, "B6f"},
    {0x45, 1, "B6f", 0xB4, "B6f"},
    {0x46, 1, "B4f", 0xB5, "B4f"},
    {0x4E, 1, "9f", 0xBE, "9f"},
    {0x4F, 1, "4f", 0xBF, "4f"},
};

#define COMMAND_COUNT (sizeof commands / sizeof commands[0])

const vxp_command_layout* vxp_command_find(uint8_t command_descriptor) {
    for (size_t i = 0; i < COMMAND_COUNT; ++i) {
        if (commands[i].descriptor == command_descriptor) {
            return &commands[i];
        }
    }
    return NULL;
}

const vxp_command_layout* vxp_command_table(size_t* count) {
    if (count != NULL) {
        *count = COMMAND_COUNT;
    }
    return commands;
}

static uint16_t type_width(char type) {
    switch (type) {
        case 'B':
            return 1;
        case 'H':
            return 2;
        case 'I':
            return 4;
        case 'f':
            return 4;
        case 'd':
            return 8;
        default:
            return 0;
    }
}

/* Reads one member "<count><type>" at *cursor; 0 at the end of the layout or for a malformed one. */
static int next_member(const char** cursor, uint16_t* count, uint16_t* width) {
    const char* p = *cursor;
    uint16_t repeat = 0;
    if (*p == '\0') {
        return 0;
    }
    while (*p >= '0' && *p <= '9') {
        repeat = (uint16_t)(repeat * 10 + (uint16_t)(*p - '0'));
        ++p;
    }
    *count = (p == *cursor) ? 1 : repeat;
    *width = type_width(*p);
    if (*width == 0 || *count == 0) {
        return 0;
    }
    *cursor = p + 1;
    return 1;
}

uint16_t vxp_layout_size(const char* layout) {
    uint16_t size = 0;
    uint16_t count = 0;
    uint16_t width = 0;
    if (layout == NULL) {
        return 0;
    }
    const char* cursor = layout;
    while (next_member(&cursor, &count, &width)) {
        size = (uint16_t)(size + count * width);
    }
    return *cursor == '\0' ? size : 0;
}

void vxp_layout_byteswap(const char* layout, uint8_t* values) {
    uint16_t count = 0;
    uint16_t width = 0;
    if (layout == NULL || values == NULL) {
        return;
    }
    const char* cursor = layout;
    while (next_member(&cursor, &count, &width)) {
        for (uint16_t i = 0; i < count; ++i) {
            vxp_byteswap_inplace(values, width);
            values += width;
        }
    }
}

uint16_t vxp_command_request_size(const vxp_command_layout* command) {
    if (command == NULL) {
        return 0;
    }
    return (uint16_t)((command->has_selector ? SELECTOR_SIZE : 0) + vxp_layout_size(command->request_values));
}

uint16_t vxp_command_build_request(const vxp_command_layout* command, uint8_t selector, const void* values,
                                   uint16_t values_size, uint8_t* request, uint16_t request_size,
                                   uint16_t* request_length) {
    if (request_length != NULL) {
        *request_length = 0;
    }
    if (command == NULL || request == NULL) {
        return VXP_ERROR;
    }
    uint16_t layout_size = vxp_layout_size(command->request_values);
    uint16_t length = vxp_command_request_size(command);
    int values_sent = !command->has_selector || selector == VXP_FUNCTION_APPLY;
    if (length > request_size ||
        (values_sent && layout_size > 0 && (values == NULL || values_size != layout_size))) {
        return VXP_SIZE_ERROR;
    }
    /* Unsent values stay zero: the request always has its full length. */
    memset(request, 0, length);
    uint8_t* value_bytes = request;
    if (command->has_selector) {
        request[0] = selector;
        value_bytes += SELECTOR_SIZE;
    }
    if (values_sent && layout_size > 0) {
        memcpy(value_bytes, values, layout_size);
        vxp_layout_byteswap(command->request_values, value_bytes);
    }
    if (request_length != NULL) {
        *request_length = length;
    }
    return VXP_OK;
}

uint16_t vxp_command_read_reply(const vxp_command_layout* command, const uint8_t* reply_field,
                                int16_t reply_length, void* reply, uint16_t reply_size) {
    if (command == NULL || reply == NULL || command->reply_descriptor == VXP_COMMAND_NO_REPLY) {
        return VXP_ERROR;
    }
    uint16_t size = vxp_layout_size(command->reply_values);
    if (reply_size != size) {
        return VXP_SIZE_ERROR;
    }
    uint16_t field_size = (uint16_t)(VXP_FIELD_HEADER_SIZE + size);
    /* A length byte beyond the bytes the packet holds marks a damaged field, even where the
     * values themselves would still be inside the packet. */
    if (reply_field == NULL || reply_length < (int16_t)field_size || reply_field[0] < field_size ||
        reply_field[0] > reply_length || reply_field[1] != command->reply_descriptor) {
        return VXP_ERROR;
    }
    memcpy(reply, reply_field + VXP_FIELD_HEADER_SIZE, size);
    vxp_layout_byteswap(command->reply_values, (uint8_t*)reply);
    return VXP_OK;
}
