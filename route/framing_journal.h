// Where the good packets of a log lie, as the first framing found them: runs of packets that follow
// each other without a byte between, by their offsets in the log. A clean log is one run; every
// damaged stretch starts another. A later reading of the same bytes walks the packets from their
// length bytes alone, without hunting or checking them again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class FramingJournal {
  public:
    struct Run {
        uint64_t begin;  // the first packet's sync byte
        uint64_t end;    // one past the last packet's checksum
    };

    // At most this many runs are kept (16 bytes each): past it, the journal ends at the last run
    // and a later reading frames the rest of the log anew.
    static constexpr std::size_t kRunLimit = std::size_t{1} << 20;

    explicit FramingJournal(std::size_t run_limit = kRunLimit) : run_limit_(run_limit) {}

    // A good packet of `size` bytes at `offset`, after every earlier one.
    void add(uint64_t offset, uint64_t size) {
        if (!complete_)
            return;
        if (!runs_.empty() && runs_.back().end == offset) {
            runs_.back().end += size;
            return;
        }
        if (runs_.size() == run_limit_) {
            complete_ = false;
            return;
        }
        runs_.push_back(Run{offset, offset + size});
    }

    const std::vector<Run>& runs() const { return runs_; }
    // False when the runs stop short of the log's last packet: the bytes from covered_end() on are
    // to be framed again.
    bool complete() const { return complete_; }
    uint64_t covered_end() const { return runs_.empty() ? 0 : runs_.back().end; }

  private:
    std::size_t run_limit_;
    std::vector<Run> runs_;
    bool complete_ = true;
};
