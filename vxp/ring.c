/* Fixed-capacity FIFO of fixed-size entries: lookahead at any offset, bulk removal, and writes
 * into a full ring refused and counted rather than overwriting the oldest data. Runs of entries
 * are copied with at most two memcpy calls (up to the end of the storage, then from its start). */
#include "vxp/ring.h"

#include <stdlib.h>
#include <string.h>

#include "vxp/status.h"

#define RING_INITIALISED 1u

static int ring_ready(const vxp_ring_buffer* ring) {
    return ring != NULL && ring->state == RING_INITIALISED;
}

/* Slot of the entry `offset` places after `base` (offset <= max_entries), wrapped once. Written
 * without forming base + offset so that rings of nearly 2^32 entries cannot overflow. */
static uint32_t wrap_slot(const vxp_ring_buffer* ring, uint32_t base, uint32_t offset) {
    const uint32_t room_before_end = ring->max_entries - base;
    return offset >= room_before_end ? offset - room_before_end : base + offset;
}

static uint8_t* slot_address(const vxp_ring_buffer* ring, uint32_t slot) {
    return ring->storage + (size_t)slot * ring->entry_size;
}

/* Address of the i-th oldest entry (i < count). */
static uint8_t* entry_address(const vxp_ring_buffer* ring, uint32_t i) {
    return slot_address(ring, wrap_slot(ring, ring->read_index, i));
}

static uint8_t* write_address(const vxp_ring_buffer* ring) {
    return slot_address(ring, wrap_slot(ring, ring->read_index, ring->count));
}

static void drop_oldest(vxp_ring_buffer* ring, uint32_t n) {
    ring->read_index = wrap_slot(ring, ring->read_index, n);
    ring->count -= n;
    ring->total_read += n;
}

static void commit_one(vxp_ring_buffer* ring) {
    ring->count++;
    ring->total_written++;
}

/* Entries from slot `slot` to the end of the storage: the longest run one memcpy can cover. */
static uint32_t run_to_end(const vxp_ring_buffer* ring, uint32_t slot) {
    return ring->max_entries - slot;
}

/* Copies n entries, the i-th oldest first (i + n <= count), out of the ring in at most two
 * segments: up to the end of the storage, then from its start. */
static void copy_out(const vxp_ring_buffer* ring, uint32_t i, uint8_t* destination, uint32_t n) {
    if (n == 0)
        return;
    const uint32_t slot = wrap_slot(ring, ring->read_index, i);
    const uint32_t head = n < run_to_end(ring, slot) ? n : run_to_end(ring, slot);
    memcpy(destination, slot_address(ring, slot), (size_t)head * ring->entry_size);
    if (n > head)
        memcpy(destination + (size_t)head * ring->entry_size, ring->storage,
               (size_t)(n - head) * ring->entry_size);
}

/* Appends n packed entries (n <= free space) behind the newest, in at most two segments. */
static void copy_in(vxp_ring_buffer* ring, const uint8_t* source, uint32_t n) {
    if (n == 0)
        return;
    const uint32_t slot = wrap_slot(ring, ring->read_index, ring->count);
    const uint32_t head = n < run_to_end(ring, slot) ? n : run_to_end(ring, slot);
    memcpy(slot_address(ring, slot), source, (size_t)head * ring->entry_size);
    if (n > head)
        memcpy(ring->storage, source + (size_t)head * ring->entry_size,
               (size_t)(n - head) * ring->entry_size);
    ring->count += n;
    ring->total_written += n;
}

/* Appends n entries of `source`, its i-th oldest first, to `destination` (two different rings of
 * one entry size; n fits the destination, i + n <= source count), run by contiguous run. */
static void copy_between(vxp_ring_buffer* destination, const vxp_ring_buffer* source, uint32_t i,
                         uint32_t n) {
    while (n > 0) {
        const uint32_t from = wrap_slot(source, source->read_index, i);
        const uint32_t to = wrap_slot(destination, destination->read_index, destination->count);
        uint32_t run = n;
        if (run > run_to_end(source, from))
            run = run_to_end(source, from);
        if (run > run_to_end(destination, to))
            run = run_to_end(destination, to);
        memcpy(slot_address(destination, to), slot_address(source, from), (size_t)run * source->entry_size);
        destination->count += run;
        destination->total_written += run;
        i += run;
        n -= run;
    }
}

static uint32_t smaller(uint32_t a, uint32_t b) {
    return a < b ? a : b;
}

/* k entries of entry_size bytes fit in `length` bytes; computed wide so the product cannot wrap. */
static int fits(const vxp_ring_buffer* ring, uint32_t length, uint32_t k) {
    return (uint64_t)k * ring->entry_size <= length;
}

/* The end of both inits: an empty ring over `storage`, marked initialised. */
static void adopt_storage(vxp_ring_buffer* ring, uint8_t* storage, uint32_t max_entries, uint32_t entry_size,
                          uint8_t owns_storage) {
    vxp_ring_reset(ring);
    ring->storage = storage;
    ring->max_entries = max_entries;
    ring->entry_size = entry_size;
    ring->owns_storage = owns_storage;
    ring->state = RING_INITIALISED;
}

uint16_t vxp_ring_init_static(vxp_ring_buffer* ring, uint8_t* storage, uint32_t max_entries,
                              uint32_t entry_size) {
    if (ring == NULL)
        return VXP_ERROR;
    ring->state = 0;
    if (storage == NULL)
        return VXP_ERROR;
    adopt_storage(ring, storage, max_entries, entry_size, 0);
    return VXP_OK;
}

uint16_t vxp_ring_init_malloc(vxp_ring_buffer* ring, uint32_t max_entries, uint32_t entry_size) {
    if (ring == NULL)
        return VXP_ERROR;
    ring->state = 0;
    const uint64_t bytes = (uint64_t)max_entries * entry_size;
    if (bytes > SIZE_MAX)
        return VXP_SIZE_ERROR;
    /* A zero-sized request still gets a real block, so that destroy has something to free. */
    uint8_t* storage = malloc(bytes > 0 ? (size_t)bytes : 1u);
    if (storage == NULL)
        return VXP_SIZE_ERROR;
    adopt_storage(ring, storage, max_entries, entry_size, 1);
    return VXP_OK;
}

void vxp_ring_reset(vxp_ring_buffer* ring) {
    if (ring == NULL)
        return;
    ring->state = 0;
    ring->read_index = 0;
    ring->count = 0;
    ring->total_written = 0;
    ring->total_read = 0;
    ring->total_overruns = 0;
}

uint16_t vxp_ring_destroy(vxp_ring_buffer* ring) {
    if (ring == NULL || ring->owns_storage != 1)
        return VXP_ERROR;
    free(ring->storage);
    /* Forget the freed block: a second destroy, or any later use, must not touch it again. */
    ring->storage = NULL;
    ring->owns_storage = 0;
    ring->state = 0;
    ring->count = 0;
    ring->read_index = 0;
    return VXP_OK;
}

uint32_t vxp_ring_count(const vxp_ring_buffer* ring) {
    return ring_ready(ring) ? ring->count : 0;
}

uint32_t vxp_ring_free_space(const vxp_ring_buffer* ring) {
    return ring_ready(ring) ? ring->max_entries - ring->count : 0;
}

uint16_t vxp_ring_flush(vxp_ring_buffer* ring) {
    if (!ring_ready(ring))
        return VXP_ERROR;
    ring->read_index = 0;
    ring->count = 0;
    return VXP_OK;
}

uint16_t vxp_ring_write(vxp_ring_buffer* ring, const uint8_t* entry, uint32_t n) {
    if (!ring_ready(ring))
        return VXP_ERROR;
    if (ring->count >= ring->max_entries) {
        ring->total_overruns++;
        return VXP_FULL;
    }
    if (n == 0)
        return VXP_OK;
    if (entry == NULL)
        return VXP_ERROR;
    if (n > ring->entry_size)
        return VXP_SIZE_ERROR;
    /* Only the n bytes given are copied; the rest of the slot keeps its old bytes. */
    memcpy(write_address(ring), entry, n);
    commit_one(ring);
    return VXP_OK;
}

uint16_t vxp_ring_write_multi(vxp_ring_buffer* ring, const uint8_t* entries, uint32_t k, uint32_t* written) {
    if (written != NULL)
        *written = 0;
    if (!ring_ready(ring))
        return VXP_ERROR;
    if (entries == NULL && k > 0)
        return VXP_ERROR;
    /* As many as fit, in one go; every entry that does not fit is one overrun. */
    const uint32_t taken = smaller(k, ring->max_entries - ring->count);
    copy_in(ring, entries, taken);
    if (written != NULL)
        *written = taken;
    if (taken < k) {
        ring->total_overruns += k - taken;
        return VXP_FULL;
    }
    return VXP_OK;
}

uint16_t vxp_ring_read(vxp_ring_buffer* ring, uint8_t* destination, uint32_t destination_length) {
    if (!ring_ready(ring))
        return VXP_ERROR;
    if (ring->count == 0)
        return VXP_EMPTY;
    if (destination == NULL)
        return VXP_ERROR;
    if (!fits(ring, destination_length, 1))
        return VXP_SIZE_ERROR;
    memcpy(destination, entry_address(ring, 0), ring->entry_size);
    drop_oldest(ring, 1);
    return VXP_OK;
}

uint16_t vxp_ring_read_multi(vxp_ring_buffer* ring, uint8_t* destination, uint32_t destination_length,
                             uint32_t k, uint32_t* read) {
    if (read != NULL)
        *read = 0;
    if (!ring_ready(ring))
        return VXP_ERROR;
    if (destination == NULL && k > 0)
        return VXP_ERROR;
    if (!fits(ring, destination_length, k))
        return VXP_SIZE_ERROR;
    /* Entries taken before the ring ran empty stay taken. */
    const uint32_t taken = smaller(k, ring->count);
    copy_out(ring, 0, destination, taken);
    drop_oldest(ring, taken);
    if (read != NULL)
        *read = taken;
    return taken < k ? VXP_EMPTY : VXP_OK;
}

uint16_t vxp_ring_lookahead(const vxp_ring_buffer* ring, uint32_t offset, uint8_t* destination,
                            uint32_t destination_length) {
    if (!ring_ready(ring))
        return VXP_ERROR;
    if (ring->count == 0)
        return VXP_EMPTY;
    if (destination == NULL)
        return VXP_ERROR;
    if (!fits(ring, destination_length, 1))
        return VXP_SIZE_ERROR;
    if (offset >= ring->count)
        return VXP_ERROR;
    memcpy(destination, entry_address(ring, offset), ring->entry_size);
    return VXP_OK;
}

uint16_t vxp_ring_lookahead_multi(const vxp_ring_buffer* ring, uint32_t offset, uint8_t* destination,
                                  uint32_t destination_length, uint32_t k, uint32_t* read) {
    if (read != NULL)
        *read = 0;
    if (!ring_ready(ring))
        return VXP_ERROR;
    if (ring->count == 0)
        return VXP_EMPTY;
    if (destination == NULL && k > 0)
        return VXP_ERROR;
    if (!fits(ring, destination_length, k))
        return VXP_SIZE_ERROR;
    if ((uint64_t)offset + k > ring->count)
        return VXP_ERROR;
    copy_out(ring, offset, destination, k);
    if (read != NULL)
        *read = k;
    return VXP_OK;
}

uint16_t vxp_ring_find(const vxp_ring_buffer* ring, uint8_t value, uint32_t* position) {
    if (position == NULL)
        return VXP_ERROR;
    *position = 0;
    if (!ring_ready(ring) || ring->entry_size != 1u)
        return VXP_ERROR;
    /* Searched where the entries lie: the run up to the end of the storage, then the rest from
     * its start. */
    const uint32_t head = smaller(ring->count, run_to_end(ring, ring->read_index));
    const uint8_t* oldest = slot_address(ring, ring->read_index);
    const uint8_t* hit = memchr(oldest, value, head);
    if (hit != NULL) {
        *position = (uint32_t)(hit - oldest);
        return VXP_OK;
    }
    if (ring->count > head) {
        hit = memchr(ring->storage, value, ring->count - head);
        if (hit != NULL) {
            *position = head + (uint32_t)(hit - ring->storage);
            return VXP_OK;
        }
    }
    *position = ring->count;
    return VXP_NOT_FOUND;
}

uint16_t vxp_ring_remove(vxp_ring_buffer* ring, uint32_t n) {
    if (!ring_ready(ring))
        return 0;
    const uint32_t removed = n < ring->count ? n : ring->count;
    drop_oldest(ring, removed);
    return (uint16_t)removed;
}

uint16_t vxp_ring_remove_one(vxp_ring_buffer* ring) {
    if (!ring_ready(ring))
        return VXP_ERROR;
    if (ring->count == 0)
        return VXP_EMPTY;
    drop_oldest(ring, 1);
    return VXP_OK;
}

uint32_t vxp_ring_move(vxp_ring_buffer* destination, vxp_ring_buffer* source, uint32_t n) {
    if (!ring_ready(destination) || !ring_ready(source))
        return 0;
    if (destination->entry_size != source->entry_size)
        return 0;
    uint32_t moved = 0;
    if (destination == source) {
        /* A ring moved onto itself rotates entry by entry and never runs empty. */
        while (moved < n && source->count > 0 && destination->count < destination->max_entries) {
            memcpy(write_address(destination), entry_address(source, 0), source->entry_size);
            commit_one(destination);
            drop_oldest(source, 1);
            moved++;
        }
        return moved;
    }
    moved = smaller(n, smaller(source->count, destination->max_entries - destination->count));
    copy_between(destination, source, 0, moved);
    drop_oldest(source, moved);
    return moved;
}

uint32_t vxp_ring_lookahead_copy(vxp_ring_buffer* destination, uint32_t offset, const vxp_ring_buffer* source,
                                 uint32_t n) {
    if (!ring_ready(destination) || !ring_ready(source))
        return 0;
    if (destination->entry_size != source->entry_size)
        return 0;
    if ((uint64_t)offset + n > source->count)
        return 0;
    uint32_t copied = 0;
    if (destination == source) {
        /* Copying a ring's own entries behind them: one at a time, as the count grows. */
        while (copied < n && destination->count < destination->max_entries) {
            memcpy(write_address(destination), entry_address(source, offset + copied), source->entry_size);
            commit_one(destination);
            copied++;
        }
        return copied;
    }
    copied = smaller(n, destination->max_entries - destination->count);
    copy_between(destination, source, offset, copied);
    return copied;
}

uint8_t* vxp_ring_peek_oldest(vxp_ring_buffer* ring) {
    if (!ring_ready(ring) || ring->count == 0)
        return NULL;
    return entry_address(ring, 0);
}

uint8_t* vxp_ring_next_write_slot(vxp_ring_buffer* ring) {
    if (!ring_ready(ring) || ring->count >= ring->max_entries)
        return NULL;
    return write_address(ring);
}

uint16_t vxp_ring_commit_write(vxp_ring_buffer* ring) {
    if (!ring_ready(ring))
        return VXP_ERROR;
    if (ring->count >= ring->max_entries)
        return VXP_FULL;
    commit_one(ring);
    return VXP_OK;
}
