// One reading of a log: its bytes framed straight from the blocks read, and every packet routed to
// a consumer.
#pragma once

#include <cstdint>
#include <functional>

#include "convert/log_source.h"
#include "route/record_consumer.h"

class LogReader {
  public:
    // Told the number of bytes read so far in this reading, after every block.
    using Progress = std::function<void(uint64_t bytes_read)>;

    explicit LogReader(LogSource& source) : source_(source) {}

    // Reads the whole log once, routing every packet to `consumer`. False on a read error
    // (source().error() says why); throws std::bad_alloc when a consumer ran out of memory.
    bool read(RecordConsumer& consumer, const Progress& progress = {});

  private:
    LogSource& source_;
};
