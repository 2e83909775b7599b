/* The protocol library used from plain C, as a program outside the project would use it: only
 * the library's include root and the vxp and vxp_device libraries. One stream (garbage, a good
 * packet, a damaged one, a false sync byte, a good one) is framed by the log parser, by the framer
 * over a ring of the caller's own, and on POSIX systems by a device on a pseudo-terminal; all
 * three must report the same events and counters. */
#ifndef _WIN32
#define _XOPEN_SOURCE 600 /* posix_openpt, grantpt, unlockpt, ptsname */
#endif

#include <stdio.h>
#include <string.h>

#include "vxp/device/device.h"
#include "vxp/framer.h"
#include "vxp/parser.h"
#include "vxp/status.h"

#ifndef _WIN32
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>
#endif

#define MAX_EVENTS 8
#define LISTENED_SET 0x80u
#define OTHER_SET 0x82u

typedef struct events {
    unsigned count;
    uint8_t kinds[MAX_EVENTS];
    uint16_t sizes[MAX_EVENTS];
} events;

static int failures = 0;

static void check(int condition, const char* what) {
    if (!condition) {
        printf("FAILED: %s\n", what);
        failures++;
    }
}

static void record(void* user_ptr, uint8_t* packet, uint16_t size, uint8_t kind) {
    events* seen = user_ptr;
    (void)packet;
    if (seen->count < MAX_EVENTS) {
        seen->kinds[seen->count] = kind;
        seen->sizes[seen->count] = size;
    }
    seen->count++;
}

static uint16_t build(uint8_t* buffer, uint8_t set, uint8_t fill) {
    const uint8_t data[4] = {fill, fill, fill, fill};
    vxp_packet_init(buffer, VXP_MAX_PACKET_SIZE, set);
    vxp_packet_add_field(buffer, VXP_MAX_PACKET_SIZE, data, sizeof data, 0x04);
    return vxp_packet_finalize(buffer);
}

/* The stream and what framing it must give: a good packet (12 bytes), a damaged one (a checksum
 * event of size 4, counted: it follows a good packet), a false sync byte, a good one. */
static uint32_t make_stream(uint8_t* stream) {
    uint32_t size = 0;
    stream[size++] = 0x00;
    stream[size++] = 0x11;
    size += build(&stream[size], LISTENED_SET, 0x01);
    const uint32_t damaged = size;
    size += build(&stream[size], LISTENED_SET, 0x02);
    stream[damaged + 6] ^= 0x40u;
    check(memchr(&stream[damaged + 1], VXP_SYNC1, size - damaged - 1) == NULL,
          "no sync byte inside the damaged packet");
    stream[size++] = VXP_SYNC1;
    stream[size++] = 0x00;
    size += build(&stream[size], OTHER_SET, 0x03);
    return size;
}

static void check_framing(const char* who, const events* seen, unsigned expected_count,
                          const vxp_framer* framer) {
    static const uint8_t kinds[] = {VXP_PACKET_OK, VXP_PACKET_CHECKSUM_ERROR, VXP_PACKET_OK};
    static const uint16_t sizes[] = {12, VXP_HEADER_SIZE, 12};
    int same = seen->count == expected_count;
    for (unsigned i = 0; same && i < expected_count; i++)
        same = seen->kinds[i] == kinds[i] && seen->sizes[i] == sizes[i];
    printf("%s: %u events, %u checksum error, %u sync error, %u timeouts\n", who, seen->count,
           (unsigned)framer->checksum_errors, (unsigned)framer->sync_errors, (unsigned)framer->timeouts);
    check(same, who);
    check(framer->checksum_errors == 1 && framer->sync_errors == 1 && framer->timeouts == 0, who);
}

static void frame_with_parser(const uint8_t* stream, uint32_t size) {
    static vxp_parser parser;
    events seen = {0};
    uint32_t accepted = 0;
    check(vxp_parser_init(&parser, 1000, &seen, record) == VXP_OK, "parser init");
    check(vxp_parser_feed(&parser, stream, size, &accepted) == VXP_OK && accepted == size, "parser feed");
    check_framing("parser", &seen, 3, &parser.framer);
}

/* The framer over a ring of the caller's, a few bytes at a time, stepped until nothing moves. */
static void frame_with_own_ring(const uint8_t* stream, uint32_t size) {
    uint8_t storage[40];
    vxp_ring_buffer ring;
    vxp_framer framer;
    events seen = {0};
    vxp_ring_init_static(&ring, storage, sizeof storage, 1);
    vxp_framer_init(&framer, 1000, &seen, record);
    for (uint32_t at = 0; at < size; at += 7) {
        uint32_t accepted = 0;
        vxp_framer_receive(&ring, &stream[at], size - at < 7 ? size - at : 7, &accepted);
        for (;;) {
            const uint32_t held = vxp_ring_count(&ring);
            const uint16_t state = framer.packet_byte_count;
            if (vxp_framer_step(&framer, &ring) != VXP_OK && held == vxp_ring_count(&ring) &&
                state == framer.packet_byte_count)
                break;
        }
    }
    check_framing("framer", &seen, 3, &framer);
}

#ifndef _WIN32
/* A device on a pseudo-terminal: only the listened set reaches its callback. */
static void frame_with_device(const uint8_t* stream, uint32_t size) {
    static vxp_device device;
    events seen = {0};
    const int terminal = posix_openpt(O_RDWR | O_NOCTTY);
    check(terminal >= 0 && grantpt(terminal) == 0 && unlockpt(terminal) == 0, "pseudo-terminal");
    if (terminal < 0)
        return;
    check(vxp_device_init_path(ptsname(terminal), 115200, &device, 1000) == VXP_OK, "device init");
    check(vxp_device_register_callback(&device, LISTENED_SET, &seen, record) == VXP_OK, "register");
    check(write(terminal, stream, size) == (ssize_t)size, "write to the device");
    const uint32_t start = vxp_tick_ms();
    while (device.ring.total_written < size && vxp_within_timeout(start, 2000))
        vxp_device_poll(&device);
    for (int i = 0; i < 10; i++)
        vxp_device_step(&device);
    check_framing("device", &seen, 2, &device.framer);
    vxp_device_close(&device);
    close(terminal);
}
#endif

int main(void) {
    uint8_t stream[64];
    const uint32_t size = make_stream(stream);
    frame_with_parser(stream, size);
    frame_with_own_ring(stream, size);
#ifndef _WIN32
    frame_with_device(stream, size);
#endif
    return failures == 0 ? 0 : 1;
}
