// The growable sequence the store keeps its records in: elements in fixed-size chunks that never
// move, so appending never copies what is held and memory grows without doubling spikes.
// Writers use only size(), empty(), operator[], front(), back() and range-for.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "store/store_memory.h"

template <class T>
class Sequence {
    // Large sequences grow by whole chunks of about this many bytes; the first chunks are smaller
    // and double up to that size, so the thousand-odd mostly short sequences of a store stay small.
    static constexpr std::size_t kChunkBytes = std::size_t{64} << 10;
    static constexpr std::size_t kFirstChunkBytes = 512;
    static constexpr std::size_t elements_in(std::size_t bytes) {
        return std::bit_floor(std::max<std::size_t>(1, bytes / sizeof(T)));
    }

  public:
    // Elements per full chunk (M) and in the first chunk (B); both powers of two. Chunk 0 holds
    // positions [0, B), chunk k >= 1 positions [B * 2^(k-1), B * 2^k) until a chunk holds M, and
    // every later chunk M positions: so a position maps to its chunk in constant time.
    static constexpr std::size_t kChunkElements = elements_in(kChunkBytes);
    static constexpr std::size_t kFirstChunkElements =
        std::min(kChunkElements, elements_in(kFirstChunkBytes));

    using value_type = T;
    using size_type = std::size_t;
    using difference_type = std::ptrdiff_t;
    using reference = T&;
    using const_reference = const T&;

    template <bool Const>
    class Iterator {
        using Owner = std::conditional_t<Const, const Sequence, Sequence>;
        using Element = std::conditional_t<Const, const T, T>;

      public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = T;
        using difference_type = std::ptrdiff_t;
        using pointer = Element*;
        using reference = Element&;

        Iterator() = default;
        Iterator(Owner* owner, std::size_t index) : owner_(owner), index_(index) { settle(); }
        // A mutable iterator converts to a constant one.
        operator Iterator<true>() const requires(!Const) { return Iterator<true>(owner_, index_); }

        reference operator*() const { return *here_; }
        pointer operator->() const { return here_; }
        Iterator& operator++() {
            ++index_;
            if (++here_ == chunk_end_)
                settle();
            return *this;
        }
        Iterator operator++(int) {
            Iterator before = *this;
            ++*this;
            return before;
        }
        friend bool operator==(const Iterator& a, const Iterator& b) { return a.index_ == b.index_; }

      private:
        // Points at the element `index_` and the end of its chunk (nothing past the last element).
        void settle() {
            if (owner_ == nullptr || index_ >= owner_->size_) {
                here_ = chunk_end_ = nullptr;
                return;
            }
            const Location at = locate(index_);
            here_ = owner_->chunks_[at.chunk] + at.offset;
            chunk_end_ = owner_->chunks_[at.chunk] + chunk_capacity(at.chunk);
        }

        Owner* owner_ = nullptr;
        std::size_t index_ = 0;
        Element* here_ = nullptr;
        Element* chunk_end_ = nullptr;
    };
    using iterator = Iterator<false>;
    using const_iterator = Iterator<true>;

    Sequence() = default;
    Sequence(std::initializer_list<T> values) { append(values.begin(), values.end()); }
    Sequence(const Sequence& other) { append(other.begin(), other.end()); }
    Sequence(Sequence&& other) noexcept { swap(other); }
    Sequence& operator=(const Sequence& other) {
        if (this != &other) {
            Sequence copy(other);
            swap(copy);
        }
        return *this;
    }
    Sequence& operator=(Sequence&& other) noexcept {
        if (this != &other) {
            clear();
            swap(other);
        }
        return *this;
    }
    // Filled from a vector of the same elements, as tests and tools build their records.
    Sequence(const std::vector<T>& values) { append(values.begin(), values.end()); }
    Sequence& operator=(const std::vector<T>& values) {
        assign(values.begin(), values.end());
        return *this;
    }
    Sequence& operator=(std::initializer_list<T> values) {
        clear();
        append(values.begin(), values.end());
        return *this;
    }
    ~Sequence() { clear(); }

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }

    T& operator[](std::size_t i) { return *address(i); }
    const T& operator[](std::size_t i) const { return *address(i); }
    T& front() { return *chunks_.front(); }
    const T& front() const { return *chunks_.front(); }
    T& back() { return *(tail_ - 1); }
    const T& back() const { return *(tail_ - 1); }

    iterator begin() { return iterator(this, 0); }
    iterator end() { return iterator(this, size_); }
    const_iterator begin() const { return const_iterator(this, 0); }
    const_iterator end() const { return const_iterator(this, size_); }

    void push_back(const T& value) { emplace_back(value); }
    void push_back(T&& value) { emplace_back(std::move(value)); }
    template <class... Args>
    T& emplace_back(Args&&... args) {
        if (tail_ == tail_end_)
            add_chunk();
        T* slot = ::new (static_cast<void*>(tail_)) T(std::forward<Args>(args)...);
        ++tail_;
        ++size_;
        return *slot;
    }

    // Nothing to prepare: chunks are added as elements arrive, and elements never move. Kept so
    // that code written for a vector still reads the same.
    void reserve(std::size_t) {}

    template <class It>
    void assign(It first, It last) {
        clear();
        append(first, last);
    }

    // Grows with value-initialised elements, or shrinks from the back (giving emptied chunks back).
    void resize(std::size_t n) {
        while (size_ < n)
            emplace_back();
        while (size_ > n) {
            --tail_;
            --size_;
            std::destroy_at(tail_);
            const std::size_t last = chunks_.size() - 1;
            if (size_ == chunk_start(last)) {
                release_chunk(last);
                chunks_.pop_back();
                tail_ = tail_end_ = chunks_.empty() ? nullptr : chunks_.back() + chunk_capacity(last - 1);
            }
        }
    }

    // Destroys every element and gives all memory back.
    void clear() {
        for (std::size_t k = 0; k < chunks_.size(); ++k) {
            const std::size_t first = chunk_start(k);
            const std::size_t held = std::min(size_ - std::min(size_, first), chunk_capacity(k));
            std::destroy_n(chunks_[k], held);
            release_chunk(k);
        }
        chunks_.clear();
        chunks_.shrink_to_fit();
        size_ = 0;
        tail_ = tail_end_ = nullptr;
    }

    void swap(Sequence& other) noexcept {
        chunks_.swap(other.chunks_);
        std::swap(size_, other.size_);
        std::swap(tail_, other.tail_);
        std::swap(tail_end_, other.tail_end_);
    }

  private:
    struct Location {
        std::size_t chunk;
        std::size_t offset;
    };

    // Chunks before the first full-size one: chunk 0 and the doubling chunks 1 .. log2(M / B).
    static constexpr std::size_t kGrowingChunks =
        static_cast<std::size_t>(std::countr_zero(kChunkElements / kFirstChunkElements)) + 1;

    static constexpr Location locate(std::size_t i) {
        if (i < kFirstChunkElements)
            return {0, i};
        if (i < kChunkElements) {
            const std::size_t k = static_cast<std::size_t>(std::bit_width(i / kFirstChunkElements));
            return {k, i - (kFirstChunkElements << (k - 1))};
        }
        return {kGrowingChunks - 1 + i / kChunkElements, i % kChunkElements};
    }
    static constexpr std::size_t chunk_capacity(std::size_t k) {
        if (k == 0)
            return kFirstChunkElements;
        if (k < kGrowingChunks)
            return kFirstChunkElements << (k - 1);
        return kChunkElements;
    }
    static constexpr std::size_t chunk_start(std::size_t k) {
        if (k == 0)
            return 0;
        if (k < kGrowingChunks)
            return kFirstChunkElements << (k - 1);
        return (k - kGrowingChunks + 1) * kChunkElements;
    }

    T* address(std::size_t i) const {
        const Location at = locate(i);
        return chunks_[at.chunk] + at.offset;
    }

    void add_chunk() {
        const std::size_t capacity = chunk_capacity(chunks_.size());
        T* chunk = static_cast<T*>(store_memory_allocate(capacity * sizeof(T)));
        chunks_.push_back(chunk);
        tail_ = chunk;
        tail_end_ = chunk + capacity;
    }

    void release_chunk(std::size_t k) noexcept {
        store_memory_release(chunks_[k], chunk_capacity(k) * sizeof(T));
    }

    template <class It>
    void append(It first, It last) {
        for (; first != last; ++first)
            emplace_back(*first);
    }

    std::vector<T*> chunks_;
    std::size_t size_ = 0;
    T* tail_ = nullptr;      // where the next element goes
    T* tail_end_ = nullptr;  // end of the last chunk
};
