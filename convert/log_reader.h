// One reading of a log: its bytes framed, and every packet routed to a consumer.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "convert/log_source.h"
#include "route/record_consumer.h"
#include "vxp/parser.h"

class LogReader {
  public:
    // Told the number of bytes read so far in this reading, after every block.
    using Progress = std::function<void(uint64_t bytes_read)>;

    explicit LogReader(LogSource& source) : source_(source), parser_(std::make_unique<vxp_parser>()) {}

    // Reads the whole log once, routing every packet to `consumer`. False on a read error
    // (source().error() says why); throws std::bad_alloc when a consumer ran out of memory.
    bool read(RecordConsumer& consumer, const Progress& progress = {});

  private:
    LogSource& source_;
    std::unique_ptr<vxp_parser> parser_;  // its ring and packet buffer: a few kilobytes
};
