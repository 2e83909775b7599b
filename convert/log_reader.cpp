#include "convert/log_reader.h"

#include "route/block_framer.h"
#include "route/journal_framer.h"
#include "route/packet_router.h"

bool LogReader::read(RecordConsumer& consumer, const Progress& progress) {
    PacketRouter router(consumer);
    uint64_t bytes_read = 0;
    const auto told = [&](std::size_t count) {
        bytes_read += count;
        if (progress)
            progress(bytes_read);
    };
    if (readings_++ == 0) {
        BlockFramer framer(router, &journal_);
        const bool complete = source_.read_pass([&](uint8_t* bytes, std::size_t count) {
            framer.feed(bytes, count);
            told(count);
        });
        // The end of the log, also after a failed read: what was read is framed to its end.
        framer.finish();
        return complete;
    }
    JournalFramer framer(router, journal_);
    bool same = true;
    const bool complete = source_.read_pass([&](uint8_t* bytes, std::size_t count) {
        same = same && framer.feed(bytes, count);
        told(count);
    });
    if (!complete)
        return false;
    changed_ = !(same && framer.finish());
    return !changed_;
}
