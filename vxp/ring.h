/* Fixed-capacity FIFO of fixed-size entries with lookahead, bulk removal and overrun counting.
 * Writes into a full ring are refused and counted, never overwrite. */
#ifndef VXP_RING_H
#define VXP_RING_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct vxp_ring_buffer {
    uint8_t state;        /* 1 = initialised */
    uint8_t owns_storage; /* 1 when storage was allocated by vxp_ring_init_malloc */
    uint8_t* storage;
    uint32_t max_entries;
    uint32_t entry_size;
    uint32_t read_index;
    uint32_t count;
    uint32_t total_written;
    uint32_t total_read;
    uint32_t total_overruns;
} vxp_ring_buffer;

uint16_t vxp_ring_init_static(vxp_ring_buffer* ring, uint8_t* storage, uint32_t max_entries,
                              uint32_t entry_size);
uint16_t vxp_ring_init_malloc(vxp_ring_buffer* ring, uint32_t max_entries, uint32_t entry_size);
void vxp_ring_reset(vxp_ring_buffer* ring);
uint16_t vxp_ring_destroy(vxp_ring_buffer* ring);
uint32_t vxp_ring_count(const vxp_ring_buffer* ring);
uint32_t vxp_ring_free_space(const vxp_ring_buffer* ring);
uint16_t vxp_ring_flush(vxp_ring_buffer* ring);
uint16_t vxp_ring_write(vxp_ring_buffer* ring, const uint8_t* entry, uint32_t n);
uint16_t vxp_ring_write_multi(vxp_ring_buffer* ring, const uint8_t* entries, uint32_t k, uint32_t* written);
uint16_t vxp_ring_read(vxp_ring_buffer* ring, uint8_t* destination, uint32_t destination_length);
uint16_t vxp_ring_read_multi(vxp_ring_buffer* ring, uint8_t* destination, uint32_t destination_length,
                             uint32_t k, uint32_t* read);
uint16_t vxp_ring_lookahead(const vxp_ring_buffer* ring, uint32_t offset, uint8_t* destination,
                            uint32_t destination_length);
uint16_t vxp_ring_lookahead_multi(const vxp_ring_buffer* ring, uint32_t offset, uint8_t* destination,
                                  uint32_t destination_length, uint32_t k, uint32_t* read);
/* Search of a ring of 1-byte entries: position = offset of the oldest entry equal to `value`
 * (0 = the oldest); VXP_OK. When none is held, position = the count and VXP_NOT_FOUND. VXP_ERROR
 * (position 0) for a null position, a null or uninitialised ring, or entries wider than a byte. */
uint16_t vxp_ring_find(const vxp_ring_buffer* ring, uint8_t value, uint32_t* position);
uint16_t vxp_ring_remove(vxp_ring_buffer* ring, uint32_t n);
uint16_t vxp_ring_remove_one(vxp_ring_buffer* ring);
uint32_t vxp_ring_move(vxp_ring_buffer* destination, vxp_ring_buffer* source, uint32_t n);
uint32_t vxp_ring_lookahead_copy(vxp_ring_buffer* destination, uint32_t offset, const vxp_ring_buffer* source,
                                 uint32_t n);
uint8_t* vxp_ring_peek_oldest(vxp_ring_buffer* ring);
uint8_t* vxp_ring_next_write_slot(vxp_ring_buffer* ring);
uint16_t vxp_ring_commit_write(vxp_ring_buffer* ring);

#ifdef __cplusplus
}
#endif

#endif
