// A later reading of a log whose good packets a journal of its first framing knows: each packet is
// taken where the journal puts it, its length byte giving its size, and routed; nothing is hunted
// or checked again but the two sync bytes that must open it. Past the journal's end (a log too
// damaged for every run to be kept) the bytes are framed anew. Only good packets are routed.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "route/block_framer.h"
#include "route/framing_journal.h"
#include "route/packet_router.h"
#include "vxp/packet.h"

class JournalFramer {
  public:
    JournalFramer(PacketRouter& router, const FramingJournal& journal) : router_(router), journal_(journal) {}

    // The next bytes of the log (the framer's to modify, as the router converts packets in place).
    // False once they are not the bytes the journal was made from: the log changed meanwhile.
    bool feed(uint8_t* bytes, std::size_t count);
    // The end of the log; false when packets the journal knows never came.
    bool finish();

  private:
    // Routes the packet at `packet` (`size` bytes) found at next_, if it is where the journal says.
    bool take(uint8_t* packet, std::size_t size);
    // Completes the packet begun at the end of the last block; returns the bytes used.
    std::size_t complete_partial(const uint8_t* bytes, std::size_t count);

    PacketRouter& router_;
    const FramingJournal& journal_;
    std::size_t run_ = 0;  // the run of the next packet
    uint64_t next_ = 0;    // the place in the log of the next packet
    uint64_t offset_ = 0;  // the place in the log of the next block's first byte
    std::array<uint8_t, VXP_MAX_PACKET_SIZE> partial_{};  // a packet that straddles two blocks
    std::size_t partial_size_ = 0;
    std::optional<BlockFramer> rest_;  // frames what lies past the journal's end
    bool changed_ = false;
};
