// The store's memory pool. A log of gigabytes is held whole, and every 4 KiB page of it is a page
// fault when first written: on virtual machines a few microseconds each, more than the decoding
// of the page's records. So records live in regions of 64 MiB, aligned to 2 MiB and marked for
// transparent huge pages (Linux), carved front to back; blocks given back are kept on free lists
// by size and reused, and when the last block is back every region is returned to the system.
// Builds with AddressSanitizer use the ordinary heap, so that every block keeps its bounds checks.
#include "store/store_memory.h"

#include <array>
#include <cstdint>
#include <mutex>
#include <vector>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KELVARTIX_PLAIN_HEAP 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define KELVARTIX_PLAIN_HEAP 1
#endif

#if !defined(KELVARTIX_PLAIN_HEAP) && defined(__unix__)
#include <sys/mman.h>
#define KELVARTIX_MAPPED_REGIONS 1
#endif

namespace {

#if !defined(KELVARTIX_PLAIN_HEAP)

// Regions grow from one huge page, doubling up to the largest: a store that keeps only a few
// records (a streaming run's) reserves little, one that keeps a whole log few regions.
constexpr std::size_t kHugePageBytes = std::size_t{2} << 20;
constexpr std::size_t kFirstRegionBytes = kHugePageBytes;
constexpr std::size_t kLargestRegionBytes = std::size_t{64} << 20;
// Block sizes are rounded up to this (a cache line; also the alignment of every block).
constexpr std::size_t kGranule = 64;
// Larger blocks come from the ordinary heap: the store's chunks and epochs are all smaller.
constexpr std::size_t kLargestPooled = std::size_t{64} << 10;
constexpr std::size_t kSizeClasses = kLargestPooled / kGranule + 1;

std::size_t rounded(std::size_t bytes) {
    return (bytes + kGranule - 1) / kGranule * kGranule;
}

struct FreeBlock {
    FreeBlock* next;
};

class Pool {
  public:
    void* allocate(std::size_t bytes) {
        const std::size_t size = rounded(bytes == 0 ? 1 : bytes);
        if (size > kLargestPooled)
            return ::operator new(bytes);
        const std::lock_guard<std::mutex> lock(mutex_);
        ++live_blocks_;
        FreeBlock*& reusable = free_[size / kGranule];
        if (reusable != nullptr) {
            FreeBlock* block = reusable;
            reusable = block->next;
            return block;
        }
        if (static_cast<std::size_t>(end_ - next_) < size)
            add_region();
        void* block = next_;
        next_ += size;
        return block;
    }

    void release(void* block, std::size_t bytes) noexcept {
        const std::size_t size = rounded(bytes == 0 ? 1 : bytes);
        if (size > kLargestPooled) {
            ::operator delete(block);
            return;
        }
        const std::lock_guard<std::mutex> lock(mutex_);
        FreeBlock*& reusable = free_[size / kGranule];
        reusable = ::new (block) FreeBlock{reusable};
        if (--live_blocks_ == 0)
            release_regions();
    }

  private:
    struct Region {
        void* memory;
        std::size_t length;
        bool mapped;  // from mmap, else from the heap
    };

    void add_region() {
        region_bytes_ =
            region_bytes_ == 0 ? kFirstRegionBytes : std::min(2 * region_bytes_, kLargestRegionBytes);
#if defined(KELVARTIX_MAPPED_REGIONS)
        // Reserved with room to align to a huge page; only the pages written count as used.
        const std::size_t length = region_bytes_ + kHugePageBytes;
        void* mapping = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapping == MAP_FAILED) {
            add_heap_region();  // no mapping to be had: the heap, which fails as any allocation does
            return;
        }
        const auto address = reinterpret_cast<std::uintptr_t>(mapping);
        const std::uintptr_t aligned = (address + kHugePageBytes - 1) & ~(kHugePageBytes - 1);
        next_ = reinterpret_cast<char*>(aligned);
#if defined(MADV_HUGEPAGE)
        ::madvise(next_, region_bytes_, MADV_HUGEPAGE);  // a hint: without huge pages all still works
#endif
        end_ = next_ + region_bytes_;
        regions_.push_back({mapping, length, true});
#else
        add_heap_region();
#endif
    }

    void add_heap_region() {
        void* memory = ::operator new(region_bytes_);
        next_ = static_cast<char*>(memory);
        end_ = next_ + region_bytes_;
        regions_.push_back({memory, region_bytes_, false});
    }

    void release_regions() noexcept {
        for (const Region& region : regions_) {
#if defined(KELVARTIX_MAPPED_REGIONS)
            if (region.mapped) {
                ::munmap(region.memory, region.length);
                continue;
            }
#endif
            ::operator delete(region.memory);
        }
        regions_.clear();
        region_bytes_ = 0;
        free_.fill(nullptr);
        next_ = end_ = nullptr;
    }

    std::mutex mutex_;
    std::array<FreeBlock*, kSizeClasses> free_{};
    std::vector<Region> regions_;
    char* next_ = nullptr;
    char* end_ = nullptr;
    std::size_t region_bytes_ = 0;  // of the latest region
    std::size_t live_blocks_ = 0;
};

// Never destroyed: records of static objects may be given back during the program's exit.
Pool& pool() {
    static Pool* const instance = new Pool;
    return *instance;
}

#endif

}  // namespace

void* store_memory_allocate(std::size_t bytes) {
#if defined(KELVARTIX_PLAIN_HEAP)
    return ::operator new(bytes);
#else
    return pool().allocate(bytes);
#endif
}

void store_memory_release(void* block, std::size_t bytes) noexcept {
    if (block == nullptr)
        return;
#if defined(KELVARTIX_PLAIN_HEAP)
    (void)bytes;
    ::operator delete(block);
#else
    pool().release(block, bytes);
#endif
}
