// Framing a log straight from the blocks it is read in: the rules of the log parser with its clock
// standing still (hunt the sync byte, accept the header, check the whole packet, on a failure
// search again from the byte after the failed sync byte), without the parser's ring. A packet lies
// in the block and is routed where it lies; only a packet that straddles two blocks is copied.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "route/framing_journal.h"
#include "route/packet_router.h"
#include "vxp/packet.h"

class BlockFramer {
  public:
    // With a journal, the place of every good packet is written down in it.
    explicit BlockFramer(PacketRouter& router, FramingJournal* journal = nullptr)
        : router_(router), journal_(journal) {}

    // Frames as just after a good packet (the checksum failure that follows counts).
    void start_after_packet() { last_packet_ok_ = true; }

    // The next bytes of the log, routed where they lie; the bytes after the last packet framed are
    // kept for the next call.
    void feed(uint8_t* bytes, std::size_t count);
    // The end of the log: a candidate still waiting for bytes never gets them. Each is given up,
    // so that good packets behind a damaged length byte are still delivered; failures found in
    // what is left are not reported (they lie in a packet the end of the log cut off).
    void finish();

    // The parser's counters for the same bytes.
    uint32_t checksum_errors() const { return checksum_errors_; }
    uint32_t sync_errors() const { return sync_errors_; }
    uint32_t timeouts() const { return timeouts_; }

  private:
    // Frames bytes[0, count) from `from` on until a candidate needs bytes beyond `count` or the
    // hunt reaches `stop_at`; returns where framing stopped. With `at_end` every candidate that
    // cannot complete is given up instead.
    // `offset` is the place in the log of bytes[0].
    std::size_t frame(uint8_t* bytes, std::size_t count, uint64_t offset, std::size_t stop_at, bool at_end);
    void fail() { last_packet_ok_ = false; }

    PacketRouter& router_;
    FramingJournal* journal_;
    uint64_t offset_ = 0;  // the place in the log of the next block's first byte
    // A packet's bytes from the end of one block, and enough of the next block to finish it.
    static constexpr std::size_t kCarryCapacity = VXP_MAX_PACKET_SIZE;
    static constexpr std::size_t kJoinCapacity = kCarryCapacity + 2 * VXP_MAX_PACKET_SIZE;
    std::array<uint8_t, kJoinCapacity> join_{};
    std::size_t carried_ = 0;
    bool last_packet_ok_ = false;
    uint32_t checksum_errors_ = 0;
    uint32_t sync_errors_ = 0;
    uint32_t timeouts_ = 0;
};
