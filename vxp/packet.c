/* The VXP packet frame and its fields: header accessors, the two-sum checksum, field iteration,
 * packet building and the byte reversal that turns big-endian wire values into host order. */
#include "vxp/packet.h"

#include <stddef.h>
#include <string.h>

#include "vxp/status.h"

/* Offsets of the header bytes from the first sync byte. */
#define SYNC1_OFFSET 0u
#define SYNC2_OFFSET 1u
#define DESCRIPTOR_SET_OFFSET 2u
#define PAYLOAD_LENGTH_OFFSET 3u

/* The checksum takes whole blocks of this many bytes at once where SSE2 is there (every x86-64). */
#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define VXP_CHECKSUM_SSE2 1
#endif
#define CHECKSUM_BLOCK 16u

/* Offsets inside a field. */
#define FIELD_LENGTH_OFFSET 0u
#define FIELD_DESCRIPTOR_OFFSET 1u

static int has_sync(const uint8_t* packet) {
    return packet != NULL && packet[SYNC1_OFFSET] == VXP_SYNC1 && packet[SYNC2_OFFSET] == VXP_SYNC2;
}

uint16_t vxp_packet_check_sync(const uint8_t* packet) {
    if (packet == NULL)
        return VXP_ERROR;
    return has_sync(packet) ? VXP_OK : VXP_BAD_SYNC;
}

uint16_t vxp_packet_is_set(const uint8_t* packet, uint8_t descriptor_set) {
    return has_sync(packet) && packet[DESCRIPTOR_SET_OFFSET] == descriptor_set ? VXP_OK : VXP_ERROR;
}

uint8_t vxp_packet_descriptor_set(const uint8_t* packet) {
    return has_sync(packet) ? packet[DESCRIPTOR_SET_OFFSET] : 0;
}

uint8_t vxp_packet_payload_length(const uint8_t* packet) {
    return has_sync(packet) ? packet[PAYLOAD_LENGTH_OFFSET] : 0;
}

uint8_t* vxp_packet_payload(uint8_t* packet) {
    return has_sync(packet) ? packet + VXP_HEADER_SIZE : NULL;
}

uint16_t vxp_packet_size(const uint8_t* packet) {
    if (!has_sync(packet))
        return 0;
    return (uint16_t)(packet[PAYLOAD_LENGTH_OFFSET] + VXP_HEADER_SIZE + VXP_CHECKSUM_SIZE);
}

uint16_t vxp_packet_checksum(const uint8_t* packet) {
    if (packet == NULL)
        return 0;
    const uint32_t summed = VXP_HEADER_SIZE + packet[PAYLOAD_LENGTH_OFFSET];
    /* Running sums: sum1 += b, then sum2 += sum1, for every byte (mod 256 at the end; 32 bits
     * hold 259 * 258 / 2 * 255 with room to spare). Whole 16-byte blocks go faster in closed
     * form: a block adds its byte sum to sum1 and 16 * (sum1 before it) + 16 b0 + 15 b1 + ...
     * + 1 b15 to sum2. */
    uint32_t sum1 = 0;
    uint32_t sum2 = 0;
    uint32_t i = 0;
#if defined(VXP_CHECKSUM_SSE2)
    const __m128i zero = _mm_setzero_si128();
    const __m128i weights_first = _mm_setr_epi16(16, 15, 14, 13, 12, 11, 10, 9);
    const __m128i weights_last = _mm_setr_epi16(8, 7, 6, 5, 4, 3, 2, 1);
    __m128i byte_sums = zero;     /* sum1 so far, in two 64-bit halves */
    __m128i earlier_sums = zero;  /* sum over blocks of sum1 before the block, likewise */
    __m128i weighted_sums = zero; /* weighted block sums, four 32-bit parts */
    for (; i + CHECKSUM_BLOCK <= summed; i += CHECKSUM_BLOCK) {
        const __m128i bytes = _mm_loadu_si128((const __m128i*)(packet + i));
        earlier_sums = _mm_add_epi64(earlier_sums, byte_sums);
        byte_sums = _mm_add_epi64(byte_sums, _mm_sad_epu8(bytes, zero));
        weighted_sums =
            _mm_add_epi32(weighted_sums, _mm_madd_epi16(_mm_unpacklo_epi8(bytes, zero), weights_first));
        weighted_sums =
            _mm_add_epi32(weighted_sums, _mm_madd_epi16(_mm_unpackhi_epi8(bytes, zero), weights_last));
    }
    const __m128i weighted_pairs = _mm_add_epi32(weighted_sums, _mm_unpackhi_epi64(weighted_sums, weighted_sums));
    const uint32_t weighted = (uint32_t)_mm_cvtsi128_si32(weighted_pairs) +
                              (uint32_t)_mm_cvtsi128_si32(_mm_srli_si128(weighted_pairs, 4));
    sum1 = (uint32_t)_mm_cvtsi128_si32(byte_sums) +
           (uint32_t)_mm_cvtsi128_si32(_mm_unpackhi_epi64(byte_sums, byte_sums));
    const uint32_t earlier = (uint32_t)_mm_cvtsi128_si32(earlier_sums) +
                             (uint32_t)_mm_cvtsi128_si32(_mm_unpackhi_epi64(earlier_sums, earlier_sums));
    sum2 = CHECKSUM_BLOCK * earlier + weighted;
    if (i < summed) {
        /* The last n < 16 bytes as a block padded with zeros: its weights 16 - j exceed the
         * running sums' n - j by 16 - n for every byte, and sum1 before it counts n times. */
        const uint32_t n = summed - i;
        uint8_t tail[CHECKSUM_BLOCK] = {0};
        memcpy(tail, packet + i, n);
        const __m128i bytes = _mm_loadu_si128((const __m128i*)tail);
        const __m128i sums = _mm_sad_epu8(bytes, zero);
        const uint32_t tail_sum =
            (uint32_t)_mm_cvtsi128_si32(sums) + (uint32_t)_mm_cvtsi128_si32(_mm_unpackhi_epi64(sums, sums));
        __m128i tail_weighted = _mm_add_epi32(_mm_madd_epi16(_mm_unpacklo_epi8(bytes, zero), weights_first),
                                              _mm_madd_epi16(_mm_unpackhi_epi8(bytes, zero), weights_last));
        tail_weighted = _mm_add_epi32(tail_weighted, _mm_unpackhi_epi64(tail_weighted, tail_weighted));
        const uint32_t tail_weights = (uint32_t)_mm_cvtsi128_si32(tail_weighted) +
                                      (uint32_t)_mm_cvtsi128_si32(_mm_srli_si128(tail_weighted, 4));
        sum2 += n * sum1 + tail_weights - (CHECKSUM_BLOCK - n) * tail_sum;
        sum1 += tail_sum;
        i = summed;
    }
#endif
    for (; i < summed; i++) {
        sum1 += packet[i];
        sum2 += sum1;
    }
    return (uint16_t)(((sum1 & 0xFFu) << 8) | (sum2 & 0xFFu));
}

uint16_t vxp_packet_verify_checksum(const uint8_t* packet) {
    if (packet == NULL)
        return VXP_ERROR;
    if (!has_sync(packet))
        return VXP_BAD_SYNC;
    /* The stored value is big-endian: sum1 first, then sum2. */
    const uint32_t at = VXP_HEADER_SIZE + packet[PAYLOAD_LENGTH_OFFSET];
    const uint16_t stored = (uint16_t)((packet[at] << 8) | packet[at + 1]);
    return stored == vxp_packet_checksum(packet) ? VXP_OK : VXP_BAD_CHECKSUM;
}

uint16_t vxp_packet_first_field(uint8_t* packet, uint8_t** field, uint8_t** data, uint16_t* offset) {
    if (offset == NULL)
        return VXP_ERROR;
    *offset = 0;
    return vxp_packet_next_field(packet, field, data, offset);
}

uint16_t vxp_packet_next_field(uint8_t* packet, uint8_t** field, uint8_t** data, uint16_t* offset) {
    if (packet == NULL || offset == NULL)
        return VXP_ERROR;
    if (!has_sync(packet))
        return VXP_BAD_SYNC;
    if (*offset >= packet[PAYLOAD_LENGTH_OFFSET])
        return VXP_END_OF_FIELDS;
    uint8_t* here = packet + VXP_HEADER_SIZE + *offset;
    if (field != NULL)
        *field = here;
    if (data != NULL)
        *data = here + VXP_FIELD_HEADER_SIZE;
    /* A zero length would never advance: the walk ends here. */
    if (here[FIELD_LENGTH_OFFSET] == 0)
        return VXP_ERROR;
    *offset = (uint16_t)(*offset + here[FIELD_LENGTH_OFFSET]);
    return VXP_OK;
}

uint16_t vxp_field_data_length(const uint8_t* packet, const uint8_t* field) {
    if (!has_sync(packet) || field == NULL)
        return 0;
    const uint8_t* payload = packet + VXP_HEADER_SIZE;
    const uint8_t* payload_end = payload + packet[PAYLOAD_LENGTH_OFFSET];
    if (field < payload || field >= payload_end)
        return 0;
    uint32_t in_field = field[FIELD_LENGTH_OFFSET];
    const uint32_t in_payload = (uint32_t)(payload_end - field);
    if (in_field > in_payload)
        in_field = in_payload;
    return in_field > VXP_FIELD_HEADER_SIZE ? (uint16_t)(in_field - VXP_FIELD_HEADER_SIZE) : 0;
}

uint16_t vxp_packet_init(uint8_t* buffer, uint16_t buffer_length, uint8_t descriptor_set) {
    if (buffer == NULL)
        return VXP_ERROR;
    if (buffer_length < VXP_HEADER_SIZE + VXP_CHECKSUM_SIZE)
        return VXP_SIZE_ERROR;
    buffer[SYNC1_OFFSET] = VXP_SYNC1;
    buffer[SYNC2_OFFSET] = VXP_SYNC2;
    buffer[DESCRIPTOR_SET_OFFSET] = descriptor_set;
    buffer[PAYLOAD_LENGTH_OFFSET] = 0;
    return VXP_OK;
}

/* A packet grown to `size` bytes (checksum included) still fits the frame and the buffer. */
static int packet_fits(uint32_t size, uint16_t buffer_length) {
    return size <= VXP_MAX_PACKET_SIZE && size <= buffer_length;
}

uint16_t vxp_packet_add_field(uint8_t* buffer, uint16_t buffer_length, const uint8_t* data,
                              uint16_t data_length, uint8_t field_descriptor) {
    if (buffer == NULL || (data == NULL && data_length > 0))
        return VXP_ERROR;
    const uint32_t payload_length = buffer[PAYLOAD_LENGTH_OFFSET];
    const uint32_t field_length = (uint32_t)data_length + VXP_FIELD_HEADER_SIZE;
    if (!packet_fits(VXP_HEADER_SIZE + payload_length + field_length + VXP_CHECKSUM_SIZE, buffer_length)) {
        return VXP_SIZE_ERROR;
    }
    uint8_t* field = buffer + VXP_HEADER_SIZE + payload_length;
    field[FIELD_LENGTH_OFFSET] = (uint8_t)field_length;
    field[FIELD_DESCRIPTOR_OFFSET] = field_descriptor;
    if (data_length > 0)
        memcpy(field + VXP_FIELD_HEADER_SIZE, data, data_length);
    buffer[PAYLOAD_LENGTH_OFFSET] = (uint8_t)(payload_length + field_length);
    return VXP_OK;
}

uint16_t vxp_packet_append_field(uint8_t* buffer, uint16_t buffer_length, const uint8_t* field) {
    if (buffer == NULL || field == NULL)
        return VXP_ERROR;
    const uint32_t payload_length = buffer[PAYLOAD_LENGTH_OFFSET];
    const uint32_t field_length = field[FIELD_LENGTH_OFFSET];
    /* A length below the field header cannot describe a field; appending it would leave a
     * payload that the field walk cannot read back. */
    if (field_length < VXP_FIELD_HEADER_SIZE)
        return VXP_SIZE_ERROR;
    if (!packet_fits(VXP_HEADER_SIZE + payload_length + field_length + VXP_CHECKSUM_SIZE, buffer_length)) {
        return VXP_SIZE_ERROR;
    }
    memcpy(buffer + VXP_HEADER_SIZE + payload_length, field, field_length);
    buffer[PAYLOAD_LENGTH_OFFSET] = (uint8_t)(payload_length + field_length);
    return VXP_OK;
}

uint16_t vxp_packet_finalize(uint8_t* buffer) {
    if (buffer == NULL)
        return 0;
    const uint16_t checksum = vxp_packet_checksum(buffer);
    const uint32_t at = VXP_HEADER_SIZE + buffer[PAYLOAD_LENGTH_OFFSET];
    buffer[at] = (uint8_t)(checksum >> 8);
    buffer[at + 1] = (uint8_t)(checksum & 0xFFu);
    return (uint16_t)(at + VXP_CHECKSUM_SIZE);
}

void vxp_byteswap_inplace(uint8_t* data, uint16_t n) {
    if (data == NULL || n < 2)
        return;
    /* The widths of the record members are reversed as one word (compilers make these shifts a
     * single byte-swap instruction); the data may be unaligned, hence the copies. */
    if (n == 2) {
        uint16_t v;
        memcpy(&v, data, sizeof v);
        v = (uint16_t)((v >> 8) | (v << 8));
        memcpy(data, &v, sizeof v);
        return;
    }
    if (n == 4) {
        uint32_t v;
        memcpy(&v, data, sizeof v);
        v = (v >> 24) | ((v >> 8) & 0x0000FF00u) | ((v << 8) & 0x00FF0000u) | (v << 24);
        memcpy(data, &v, sizeof v);
        return;
    }
    if (n == 8) {
        uint64_t v;
        memcpy(&v, data, sizeof v);
        v = (v >> 56) | ((v >> 40) & UINT64_C(0xFF00)) | ((v >> 24) & UINT64_C(0xFF0000)) |
            ((v >> 8) & UINT64_C(0xFF000000)) | ((v << 8) & UINT64_C(0xFF00000000)) |
            ((v << 24) & UINT64_C(0xFF0000000000)) | ((v << 40) & UINT64_C(0xFF000000000000)) | (v << 56);
        memcpy(data, &v, sizeof v);
        return;
    }
    for (uint16_t low = 0, high = (uint16_t)(n - 1); low < high; low++, high--) {
        const uint8_t kept = data[low];
        data[low] = data[high];
        data[high] = kept;
    }
}

void vxp_byteswap(const uint8_t* source, uint8_t* destination, uint16_t n) {
    if (source == NULL || destination == NULL)
        return;
    /* Reversing a buffer onto itself must swap pairs, not mirror its first half. */
    if (source == destination) {
        vxp_byteswap_inplace(destination, n);
        return;
    }
    for (uint16_t i = 0; i < n; i++) {
        destination[i] = source[n - 1 - i];
    }
}
