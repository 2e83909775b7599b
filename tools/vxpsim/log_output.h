// The simulator's log file: packets built with VxpLogWriter, written out in large blocks, with the
// optional damage of a real recording (corrupted bytes, garbage between packets, a truncated tail)
// and a record of every packet that the damage touched.
#pragma once

#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "tools/log_writer/log_writer.h"

enum class PacketKind : uint8_t {
    imu,
    filter,
    command,
    gnss_status,
    gnss_observations,
    gnss_ephemeris,
    gnss_aux,   // ionosphere and leap seconds
    gnss_base,  // base-station information
};
const char* packet_kind_name(PacketKind kind);

// What a packet carried, so that damage can be traced to epochs and samples.
struct PacketTag {
    PacketKind kind = PacketKind::imu;
    int receiver = -1;  // receiver index of GNSS packets
    int64_t item = -1;  // epoch index (observations) or sample index (IMU)
    double tow = 0.0;   // time tag of the packet's data
};

struct DamageConfig {
    double corrupt_fraction = 0.0;  // share of packets with one corrupted payload or checksum byte
    double garbage_fraction = 0.0;  // share of packet gaps that hold garbage
    int garbage_max_bytes = 48;
    uint32_t truncate_bytes = 0;  // bytes cut from the last packet (at most its size - 1)
    uint64_t seed = 1;
};

struct DamagedPacket {
    uint64_t index = 0;   // packet number in the log, from 0
    uint64_t offset = 0;  // byte offset of its first sync byte
    uint16_t size = 0;
    uint8_t descriptor_set = 0;
    bool truncated = false;  // cut by the end of the file rather than corrupted
    PacketTag tag;
};

class LogOutput {
  public:
    explicit LogOutput(const DamageConfig& damage);
    ~LogOutput();
    LogOutput(const LogOutput&) = delete;
    LogOutput& operator=(const LogOutput&) = delete;

    bool open(const std::string& path);
    // Starts a packet (after garbage, when the damage settings ask for it) and hands out the builder.
    VxpLogWriter& begin(uint8_t descriptor_set);
    // Finishes the packet begun last.
    void end(const PacketTag& tag);
    // Writes the rest, cuts the tail; false on a file error.
    bool close();

    uint64_t packet_count() const { return packets_; }
    uint64_t byte_count() const { return flushed_ + pending_; }
    uint64_t garbage_blocks() const { return garbage_blocks_; }
    uint64_t garbage_bytes() const { return garbage_bytes_; }
    uint32_t truncated_bytes() const { return truncated_bytes_; }
    // Complete after close(), in log order.
    const std::vector<DamagedPacket>& damaged() const { return damaged_; }

  private:
    struct Edit {
        uint64_t offset;
        uint8_t mask;
    };
    // Writes the first `count` held bytes to the file; the rest stay held when `keep_rest`.
    void flush(std::size_t count, bool keep_rest);

    DamageConfig damage_;
    std::mt19937_64 rng_;
    std::FILE* file_ = nullptr;
    bool io_ok_ = true;
    VxpLogWriter writer_;
    std::size_t pending_ = 0;  // bytes held by writer_
    uint64_t flushed_ = 0;     // bytes already in the file
    uint64_t packets_ = 0;
    uint64_t garbage_blocks_ = 0, garbage_bytes_ = 0;
    uint32_t truncated_bytes_ = 0;
    uint8_t open_set_ = 0;
    DamagedPacket last_packet_;
    std::vector<Edit> edits_;  // corruption of bytes not yet in the file (absolute offsets)
    std::vector<DamagedPacket> damaged_;
    std::vector<uint8_t> scratch_;
};
