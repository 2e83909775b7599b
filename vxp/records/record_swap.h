/* Helpers of the field decoders: reverse one member of a byte-packed record in place, located by
 * the record type's own layout, so that every offset and width comes from the struct itself. */
#ifndef VXP_RECORDS_RECORD_SWAP_H
#define VXP_RECORDS_RECORD_SWAP_H

#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include "vxp/packet.h"

/* Width in bytes of one member (of one element, for an array member). */
#define VXP_MEMBER_WIDTH(Type, member) ((uint16_t)sizeof(((Type*)0)->member))

/* Writes the `n` bytes at `source` reversed to `target` (which may be `source`). Inlined, so that
 * with the constant widths of the record members each becomes one load, one byte-swap instruction
 * and one store. Reading the bytes as received rather than a fresh copy of them keeps every load
 * clear of the stores just made. */
static inline void vxp_swap_member_bytes_to(const uint8_t* source, uint8_t* target, uint16_t n) {
    if (n == 2) {
        uint16_t v;
        memcpy(&v, source, sizeof v);
        v = __builtin_bswap16(v);
        memcpy(target, &v, sizeof v);
    } else if (n == 4) {
        uint32_t v;
        memcpy(&v, source, sizeof v);
        v = __builtin_bswap32(v);
        memcpy(target, &v, sizeof v);
    } else if (n == 8) {
        uint64_t v;
        memcpy(&v, source, sizeof v);
        v = __builtin_bswap64(v);
        memcpy(target, &v, sizeof v);
    } else {
        vxp_byteswap(source, target, n);
    }
}

static inline void vxp_swap_member_bytes(uint8_t* data, uint16_t n) {
    vxp_swap_member_bytes_to(data, data, n);
}

/* Reverses the member `member` of a `Type` record at `source` into the same member at `target`. */
#define VXP_SWAP_MEMBER_TO(source, target, Type, member)                                    \
    vxp_swap_member_bytes_to((source) + offsetof(Type, member), (target) + offsetof(Type, member), \
                             VXP_MEMBER_WIDTH(Type, member))

/* Reverses the member `member` of a `Type` record held at `data`. */
#define VXP_SWAP_MEMBER(data, Type, member) \
    vxp_swap_member_bytes((data) + offsetof(Type, member), VXP_MEMBER_WIDTH(Type, member))

/* Reverses element `index` of the array member `member` as a value of its own. */
#define VXP_SWAP_ELEMENT(data, Type, member, index)                                          \
    vxp_swap_member_bytes(                                                                   \
        (data) + offsetof(Type, member) + (size_t)(index)*VXP_MEMBER_WIDTH(Type, member[0]), \
        VXP_MEMBER_WIDTH(Type, member[0]))

#endif
