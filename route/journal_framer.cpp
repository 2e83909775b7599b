#include "route/journal_framer.h"

#include <algorithm>
#include <cstring>

#include "vxp/framer.h"

namespace {

constexpr std::size_t kLengthOffset = 3;

std::size_t packet_size(const uint8_t* packet) {
    return VXP_HEADER_SIZE + packet[kLengthOffset] + VXP_CHECKSUM_SIZE;
}

}  // namespace

bool JournalFramer::take(uint8_t* packet, std::size_t size) {
    const FramingJournal::Run& run = journal_.runs()[run_];
    if (packet[0] != VXP_SYNC1 || packet[1] != VXP_SYNC2 || next_ + size > run.end) {
        changed_ = true;
        return false;
    }
    router_.route(packet, static_cast<uint16_t>(size), VXP_PACKET_OK);
    next_ += size;
    return true;
}

std::size_t JournalFramer::complete_partial(const uint8_t* bytes, std::size_t count) {
    std::size_t used = 0;
    while (partial_size_ > 0 && used < count && !changed_) {
        const std::size_t wanted =
            partial_size_ < VXP_HEADER_SIZE ? VXP_HEADER_SIZE : packet_size(partial_.data());
        const std::size_t n = std::min(wanted - partial_size_, count - used);
        std::memcpy(partial_.data() + partial_size_, bytes + used, n);
        partial_size_ += n;
        used += n;
        if (partial_size_ >= VXP_HEADER_SIZE && partial_size_ == packet_size(partial_.data())) {
            const std::size_t size = partial_size_;
            partial_size_ = 0;
            take(partial_.data(), size);
        }
    }
    return used;
}

bool JournalFramer::feed(uint8_t* bytes, std::size_t count) {
    const uint64_t block_end = offset_ + count;
    complete_partial(bytes, count);
    const std::vector<FramingJournal::Run>& runs = journal_.runs();
    while (!changed_ && partial_size_ == 0 && run_ < runs.size()) {
        const FramingJournal::Run& run = runs[run_];
        next_ = std::max(next_, run.begin);
        if (next_ >= run.end) {
            ++run_;
            continue;
        }
        if (next_ >= block_end)
            break;
        const std::size_t at = static_cast<std::size_t>(next_ - offset_);
        const std::size_t held = count - at;
        if (held < VXP_HEADER_SIZE || held < packet_size(bytes + at)) {
            // The packet goes on in the next block.
            std::memcpy(partial_.data(), bytes + at, held);
            partial_size_ = held;
            break;
        }
        take(bytes + at, packet_size(bytes + at));
    }
    if (!changed_ && !journal_.complete()) {
        const uint64_t from = std::max(journal_.covered_end(), offset_);
        if (from < block_end) {
            if (!rest_) {
                rest_.emplace(router_);
                rest_->start_after_packet();
            }
            rest_->feed(bytes + (from - offset_), static_cast<std::size_t>(block_end - from));
        }
    }
    offset_ = block_end;
    return !changed_;
}

bool JournalFramer::finish() {
    if (rest_)
        rest_->finish();
    while (run_ < journal_.runs().size() && next_ >= journal_.runs()[run_].end)
        ++run_;
    if (partial_size_ > 0 || run_ < journal_.runs().size())
        changed_ = true;
    return !changed_;
}
