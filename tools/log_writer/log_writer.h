// Builds VXP logs from host-order records: one packet at a time with the protocol library's
// packet builder, each record encoded for the wire by its own field decoder (a byte reversal is
// its own inverse). Used by the log simulator and by the tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "vxp/packet.h"

class VxpLogWriter {
public:
    using Encoder = void (*)(uint8_t* data);

    // Starts a new packet of the given descriptor set; an unfinished packet is finished first.
    VxpLogWriter& begin(uint8_t descriptor_set);

    // Adds a field holding the record, encoded with `encode` (null: bytes copied as they are).
    // Returns false, leaving the packet unchanged, when the field does not fit.
    template <class Record>
    bool field(uint8_t descriptor, const Record& record, Encoder encode) {
        return raw_field(descriptor, &record, sizeof(Record), encode);
    }
    bool raw_field(uint8_t descriptor, const void* data, std::size_t size, Encoder encode = nullptr);

    // Room left for field data (after the field's 2 header bytes) in the open packet.
    std::size_t room() const;
    bool open() const { return open_; }

    // Appends the checksum of the open packet and moves it to the log.
    void finish();
    // Appends bytes as they are (garbage, damage, foreign data).
    void append_raw(const uint8_t* data, std::size_t size);

    // The log so far; an open packet is finished first.
    const std::vector<uint8_t>& bytes();
    bool write_file(const std::string& path);

private:
    std::vector<uint8_t> log_;
    uint8_t packet_[VXP_MAX_PACKET_SIZE] = {};
    bool open_ = false;
};
