#include "route/log_feed.h"

#include <algorithm>

namespace {

// A file holds no real-time gaps, so the packet timeout must never expire while the file is read,
// however slowly the process runs: the clock stands still.
uint32_t frozen_clock() {
    return 0;
}

// A timeout of zero expires at once: used at the end of the log to give up on candidates that can
// never complete, so that packets hidden behind them are still framed.
constexpr uint32_t kGiveUpTimeoutMs = 0;

// Callback of the end-of-log pass. The candidates framed there lie in the bytes of a packet that
// the end of the log cut off (the normal end of a recording), so a failed checksum among them is a
// chance run of bytes that looks like a header, not damage: it is not counted. Good packets found
// there are delivered as any others.
struct EndOfLogPass {
    void* user_ptr;
    vxp_packet_callback callback;
};

void end_of_log_callback(void* pass_ptr, uint8_t* packet, uint16_t size, uint8_t kind) {
    const auto* pass = static_cast<const EndOfLogPass*>(pass_ptr);
    if (kind == VXP_PACKET_OK)
        pass->callback(pass->user_ptr, packet, size, kind);
}

}  // namespace

void log_feed_start(vxp_parser& parser, PacketRouter& router, uint32_t timeout_ms) {
    vxp_parser_init(&parser, timeout_ms, &router, vxp_router_packet_callback);
    vxp_parser_set_clock(&parser, frozen_clock);
}

// Every packet, callback and counter, and the parser's state at the end, are those of a feed of a
// few bytes per receive and drain; the pieces are just larger (a drained ring holds at most one
// unfinished packet, so each piece is over 2300 bytes) and the calls fewer. Nothing is ever
// offered beyond the free space, so the ring never counts an overrun.
void log_feed_bytes(vxp_parser& parser, const uint8_t* bytes, std::size_t count) {
    while (count > 0) {
        const std::size_t piece = std::min<std::size_t>(count, vxp_parser_free_space(&parser));
        uint32_t accepted = 0;
        vxp_parser_receive(&parser, bytes, static_cast<uint32_t>(piece), &accepted);
        vxp_parser_drain(&parser);
        if (accepted == 0)
            break;  // cannot happen: a drained ring has room for more than a packet
        bytes += accepted;
        count -= accepted;
    }
}

void log_feed_end(vxp_parser& parser, uint32_t timeout_ms) {
    EndOfLogPass pass{parser.framer.user_ptr, parser.framer.callback};
    vxp_parser_set_timeout(&parser, kGiveUpTimeoutMs);
    vxp_parser_set_callback(&parser, &pass, end_of_log_callback);
    vxp_parser_drain(&parser);
    vxp_parser_set_callback(&parser, pass.user_ptr, pass.callback);
    vxp_parser_set_timeout(&parser, timeout_ms);
}
