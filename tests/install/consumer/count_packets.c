/* Counts the good and the damaged packets of a VXP log with the installed protocol library, and
 * names the first serial port the device side would open. */
#include <stdio.h>

#include "vxp/device/serial.h"
#include "vxp/parser.h"

typedef struct counts {
    unsigned long good;
    unsigned long damaged;
} counts;

static void count_packet(void* user_ptr, uint8_t* packet, uint16_t size, uint8_t kind) {
    counts* seen = user_ptr;
    (void)packet;
    (void)size;
    if (kind == VXP_PACKET_OK) {
        ++seen->good;
    } else {
        ++seen->damaged;
    }
}

int main(int argc, char** argv) {
    static vxp_parser parser;
    counts seen = {0, 0};
    uint8_t block[4096];
    char port_name[32];
    if (argc != 2) {
        return 2;
    }
    FILE* log = fopen(argv[1], "rb");
    if (log == NULL || vxp_parser_init(&parser, 1000, &seen, count_packet) != 0) {
        return 1;
    }
    size_t count;
    while ((count = fread(block, 1, sizeof block, log)) > 0) {
        uint32_t accepted = 0;
        vxp_parser_feed(&parser, block, (uint32_t)count, &accepted);
    }
    fclose(log);
    if (vxp_serial_port_name(1, port_name, sizeof port_name) != 0) {
        return 1;
    }
    printf("%lu good packets, %lu damaged; port 1 is %s\n", seen.good, seen.damaged, port_name);
    return seen.good > 0 ? 0 : 1;
}
