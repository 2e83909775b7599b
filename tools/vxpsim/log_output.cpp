#include "tools/vxpsim/log_output.h"

#include <algorithm>

#include "vxp/packet.h"

namespace {
// Blocks of about this size go to the file at once.
constexpr std::size_t kFlushBytes = 1u << 20;
// A corrupted packet makes the reader slide through its bytes looking for a sync byte, and a false
// header found there may claim up to a full packet's length: a corrupted packet that ends closer than
// this to the end of the file could hide the packets after it, so it is left intact.
constexpr uint64_t kCorruptionEndMargin = VXP_MAX_PACKET_SIZE;
}  // namespace

const char* packet_kind_name(PacketKind kind) {
    switch (kind) {
        case PacketKind::imu:
            return "imu";
        case PacketKind::filter:
            return "filter";
        case PacketKind::command:
            return "command";
        case PacketKind::gnss_status:
            return "gnss_status";
        case PacketKind::gnss_observations:
            return "gnss_observations";
        case PacketKind::gnss_ephemeris:
            return "gnss_ephemeris";
        case PacketKind::gnss_aux:
            return "gnss_aux";
        case PacketKind::gnss_base:
            return "gnss_base";
    }
    return "unknown";
}

LogOutput::LogOutput(const DamageConfig& damage) : damage_(damage), rng_(damage.seed ^ 0x5bd1e995u) {}

LogOutput::~LogOutput() {
    if (file_ != nullptr)
        std::fclose(file_);
}

bool LogOutput::open(const std::string& path) {
    file_ = std::fopen(path.c_str(), "wb");
    return file_ != nullptr;
}

VxpLogWriter& LogOutput::begin(uint8_t descriptor_set) {
    // The newest bytes stay held, so corruption near the end of the file can still be withdrawn.
    if (pending_ >= kFlushBytes + kCorruptionEndMargin)
        flush(pending_ - kCorruptionEndMargin, true);
    if (packets_ > 0 && damage_.garbage_fraction > 0.0 &&
        std::uniform_real_distribution<double>(0.0, 1.0)(rng_) < damage_.garbage_fraction) {
        uint8_t garbage[256];
        const int n = std::uniform_int_distribution<int>(
            1, std::max(1, std::min(damage_.garbage_max_bytes, 256)))(rng_);
        for (int i = 0; i < n; ++i) {
            // No first sync byte: garbage must not start a packet candidate of its own.
            uint8_t b;
            do {
                b = static_cast<uint8_t>(rng_());
            } while (b == VXP_SYNC1);
            garbage[i] = b;
        }
        writer_.append_raw(garbage, static_cast<std::size_t>(n));
        pending_ += static_cast<std::size_t>(n);
        ++garbage_blocks_;
        garbage_bytes_ += static_cast<uint64_t>(n);
    }
    open_set_ = descriptor_set;
    return writer_.begin(descriptor_set);
}

void LogOutput::end(const PacketTag& tag) {
    writer_.finish();
    const std::size_t now = writer_.bytes().size();
    DamagedPacket p;
    p.index = packets_++;
    p.offset = flushed_ + pending_;
    p.size = static_cast<uint16_t>(now - pending_);
    p.descriptor_set = open_set_;
    p.tag = tag;
    pending_ = now;
    last_packet_ = p;
    if (damage_.corrupt_fraction > 0.0 &&
        std::uniform_real_distribution<double>(0.0, 1.0)(rng_) < damage_.corrupt_fraction) {
        // One byte of the payload or checksum flipped: the checksum then never matches.
        const uint64_t first = p.offset + VXP_HEADER_SIZE;
        const uint64_t count = p.size - VXP_HEADER_SIZE;
        const uint64_t at = first + std::uniform_int_distribution<uint64_t>(0, count - 1)(rng_);
        const uint8_t mask = static_cast<uint8_t>(std::uniform_int_distribution<int>(1, 255)(rng_));
        edits_.push_back({at, mask});
        damaged_.push_back(p);
    }
}

void LogOutput::flush(std::size_t count, bool keep_rest) {
    const std::vector<uint8_t>& bytes = writer_.bytes();
    const uint8_t* data = bytes.data();
    if (!edits_.empty()) {
        scratch_.assign(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(count));
        std::vector<Edit> later;
        for (const Edit& e : edits_) {
            if (e.offset < flushed_ + count)
                scratch_[e.offset - flushed_] ^= e.mask;
            else
                later.push_back(e);
        }
        edits_ = later;
        data = scratch_.data();
    }
    if (file_ != nullptr && count > 0 && std::fwrite(data, 1, count, file_) != count)
        io_ok_ = false;
    std::vector<uint8_t> rest;
    if (keep_rest)
        rest.assign(bytes.begin() + static_cast<std::ptrdiff_t>(count), bytes.end());
    flushed_ += count;
    writer_ = VxpLogWriter();
    if (!rest.empty())
        writer_.append_raw(rest.data(), rest.size());
    pending_ = rest.size();
}

bool LogOutput::close() {
    if (writer_.open())
        writer_.finish();
    pending_ = writer_.bytes().size();
    const uint64_t total = flushed_ + pending_;
    // Corruption too close to the end is withdrawn (see kCorruptionEndMargin).
    auto near_end = [&](const DamagedPacket& p) { return p.offset + p.size + kCorruptionEndMargin > total; };
    std::vector<Edit> kept;
    for (const Edit& e : edits_) {
        const bool withdrawn = std::any_of(damaged_.begin(), damaged_.end(), [&](const DamagedPacket& p) {
            return near_end(p) && e.offset >= p.offset && e.offset < p.offset + p.size;
        });
        if (!withdrawn)
            kept.push_back(e);
    }
    edits_ = kept;
    damaged_.erase(std::remove_if(damaged_.begin(), damaged_.end(), near_end), damaged_.end());
    std::size_t cut = 0;
    if (damage_.truncate_bytes > 0 && packets_ > 0) {
        cut = std::min<std::size_t>(damage_.truncate_bytes, last_packet_.size - 1u);
        DamagedPacket p = last_packet_;
        p.truncated = true;
        damaged_.push_back(p);
        truncated_bytes_ = static_cast<uint32_t>(cut);
    }
    flush(pending_ - cut, false);
    bool ok = io_ok_;
    if (file_ != nullptr) {
        ok = std::fclose(file_) == 0 && ok;
        file_ = nullptr;
    }
    return ok;
}
