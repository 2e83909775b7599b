// Memory for the store's records: blocks carved from large regions that the system is asked to
// back with huge pages, so that holding a whole log costs one page fault per 2 MiB, not per 4 KiB.
#pragma once

#include <cstddef>
#include <new>

// A block of at least `bytes` bytes, aligned for any record; never null (an exhausted memory
// ends the program, as any failed allocation does).
void* store_memory_allocate(std::size_t bytes);
// Gives back a block of `store_memory_allocate(bytes)`; `bytes` is the size asked for then.
void store_memory_release(void* block, std::size_t bytes) noexcept;

// Standard allocator over the store's memory, for the record containers.
template <class T>
struct StoreAllocator {
    using value_type = T;

    StoreAllocator() noexcept = default;
    template <class U>
    StoreAllocator(const StoreAllocator<U>&) noexcept {}

    T* allocate(std::size_t n) { return static_cast<T*>(store_memory_allocate(n * sizeof(T))); }
    void deallocate(T* block, std::size_t n) noexcept { store_memory_release(block, n * sizeof(T)); }

    template <class U>
    bool operator==(const StoreAllocator<U>&) const noexcept {
        return true;
    }
};
