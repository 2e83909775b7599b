// Framing a log read from a file: its bytes go through a parser whose clock stands still, and every
// packet the parser frames goes to a router.
#pragma once

#include <cstddef>
#include <cstdint>

#include "route/packet_router.h"
#include "vxp/parser.h"

// Packet timeout of a log's parser, in milliseconds of its (standing) clock.
inline constexpr uint32_t kLogPacketTimeoutMs = 1000;

// Readies the parser to frame a log for the router.
void log_feed_start(vxp_parser& parser, PacketRouter& router, uint32_t timeout_ms = kLogPacketTimeoutMs);
// Hands bytes to the parser as fast as its ring has room for them, draining after every receive.
// With the clock standing still the framing depends only on the order of the bytes, not on how
// they are cut.
void log_feed_bytes(vxp_parser& parser, const uint8_t* bytes, std::size_t count);
// The end of the log: a candidate still waiting for bytes will never get them. Each is given up
// so that complete packets behind a damaged length byte are still delivered; a packet cut off by
// the end of the log stays undelivered and uncounted. The parser then has its callback again and
// the given timeout.
void log_feed_end(vxp_parser& parser, uint32_t timeout_ms = kLogPacketTimeoutMs);
