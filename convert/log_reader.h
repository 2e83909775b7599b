// The readings of a log: its bytes framed straight from the blocks read, and every packet routed to
// a consumer. The first reading writes down where the good packets lie; a later one takes them
// from there without hunting or checking them again, and routes only them.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "convert/log_source.h"
#include "route/framing_journal.h"
#include "route/record_consumer.h"

class LogReader {
  public:
    // Told the number of bytes read so far in this reading, after every block.
    using Progress = std::function<void(uint64_t bytes_read)>;

    explicit LogReader(LogSource& source) : source_(source) {}

    // Reads the whole log once, routing every packet to `consumer`. False on a read error, or when
    // a later reading finds other bytes than the first (error() says why); throws std::bad_alloc
    // when a consumer ran out of memory.
    bool read(RecordConsumer& consumer, const Progress& progress = {});
    std::string error() const { return changed_ ? kChanged : source_.error(); }

  private:
    static constexpr const char* kChanged = "the log changed while it was converted";

    LogSource& source_;
    FramingJournal journal_;
    int readings_ = 0;
    bool changed_ = false;
};
