#include "convert/log_reader.h"

#include "route/block_framer.h"
#include "route/packet_router.h"

bool LogReader::read(RecordConsumer& consumer, const Progress& progress) {
    PacketRouter router(consumer);
    BlockFramer framer(router);
    uint64_t bytes_read = 0;
    const bool complete = source_.read_pass([&](uint8_t* bytes, std::size_t count) {
        framer.feed(bytes, count);
        bytes_read += count;
        if (progress)
            progress(bytes_read);
    });
    // The end of the log, also after a failed read: what was read is framed to its end.
    framer.finish();
    return complete;
}
