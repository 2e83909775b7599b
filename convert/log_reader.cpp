#include "convert/log_reader.h"

#include "route/log_feed.h"
#include "route/packet_router.h"

bool LogReader::read(RecordConsumer& consumer, const Progress& progress) {
    PacketRouter router(consumer);
    log_feed_start(*parser_, router);
    uint64_t bytes_read = 0;
    const bool complete = source_.read_pass([&](const uint8_t* bytes, std::size_t count) {
        log_feed_bytes(*parser_, bytes, count);
        router.rethrow_allocation_failure();
        bytes_read += count;
        if (progress)
            progress(bytes_read);
    });
    // The end of the log, also after a failed read: what was read is framed to its end.
    log_feed_end(*parser_);
    router.rethrow_allocation_failure();
    return complete;
}
