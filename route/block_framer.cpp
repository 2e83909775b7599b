#include "route/block_framer.h"

#include <cstring>
#include <limits>

#include "vxp/framer.h"
#include "vxp/status.h"

namespace {

constexpr std::size_t kSync2Offset = 1;
constexpr std::size_t kLengthOffset = 3;
constexpr std::size_t kNoStop = std::numeric_limits<std::size_t>::max();

}  // namespace

std::size_t BlockFramer::frame(uint8_t* bytes, std::size_t count, uint64_t offset, std::size_t stop_at,
                               bool at_end) {
    std::size_t at = 0;
    while (at < count && at < stop_at) {
        const auto* sync = static_cast<const uint8_t*>(std::memchr(bytes + at, VXP_SYNC1, count - at));
        if (sync == nullptr)
            return count;
        const std::size_t start = static_cast<std::size_t>(sync - bytes);
        if (start >= stop_at)
            return start;
        const std::size_t held = count - start;
        if (held < VXP_HEADER_SIZE) {
            if (!at_end)
                return start;
            ++timeouts_;  // the header never completes: nothing of the packet is known
            fail();
            at = start + 1;
            continue;
        }
        uint8_t* const packet = bytes + start;
        if (packet[kSync2Offset] != VXP_SYNC2) {
            ++sync_errors_;
            fail();
            at = start + 1;
            continue;
        }
        const std::size_t size = VXP_HEADER_SIZE + packet[kLengthOffset] + VXP_CHECKSUM_SIZE;
        if (held < size) {
            if (!at_end)
                return start;
            ++timeouts_;  // the payload never completes
            fail();
            at = start + 1;
            continue;
        }
        if (vxp_packet_verify_checksum(packet) != VXP_OK) {
            // The failed bytes are searched again from the one after the sync byte (the router
            // reads them and leaves them as they are). Only the first failure after a good packet
            // counts: sliding through one damaged stretch is one error.
            if (!at_end)
                router_.route(packet, VXP_HEADER_SIZE, VXP_PACKET_CHECKSUM_ERROR);
            if (last_packet_ok_)
                ++checksum_errors_;
            fail();
            at = start + 1;
            continue;
        }
        if (journal_ != nullptr)
            journal_->add(offset + start, size);
        router_.route(packet, static_cast<uint16_t>(size), VXP_PACKET_OK);
        last_packet_ok_ = true;
        at = start + size;
    }
    return at < count ? at : count;
}

void BlockFramer::feed(uint8_t* bytes, std::size_t count) {
    std::size_t from = 0;
    if (carried_ > 0) {
        // The carried candidate is framed in a joint copy of its bytes and the block's first
        // ones; framing returns to the block itself as soon as the hunt passes the carried bytes.
        const std::size_t taken = std::min(count, join_.size() - carried_);
        if (taken > 0)
            std::memcpy(join_.data() + carried_, bytes, taken);
        const std::size_t joined = carried_ + taken;
        const std::size_t stopped = frame(join_.data(), joined, offset_ - carried_, carried_, false);
        if (stopped < carried_) {
            // Still incomplete: the block was shorter than the packet's rest, and is all carried.
            std::memmove(join_.data(), join_.data() + stopped, joined - stopped);
            carried_ = joined - stopped;
            offset_ += count;
            return;
        }
        from = stopped - carried_;
        carried_ = 0;
    }
    const std::size_t stopped = from + frame(bytes + from, count - from, offset_ + from, kNoStop, false);
    carried_ = count - stopped;
    if (carried_ > 0)
        std::memcpy(join_.data(), bytes + stopped, carried_);
    offset_ += count;
}

void BlockFramer::finish() {
    frame(join_.data(), carried_, offset_ - carried_, kNoStop, true);
    carried_ = 0;
}
