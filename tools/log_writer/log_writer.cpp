#include "tools/log_writer/log_writer.h"

#include <cstdio>
#include <cstring>

VxpLogWriter& VxpLogWriter::begin(uint8_t descriptor_set) {
    if (open_) finish();
    vxp_packet_init(packet_, sizeof packet_, descriptor_set);
    open_ = true;
    return *this;
}

bool VxpLogWriter::raw_field(uint8_t descriptor, const void* data, std::size_t size, Encoder encode) {
    if (!open_ || size > room()) return false;
    uint8_t wire[VXP_MAX_PAYLOAD_SIZE];
    if (size > 0) std::memcpy(wire, data, size);
    if (encode != nullptr) encode(wire);
    return vxp_packet_add_field(packet_, sizeof packet_, wire, static_cast<uint16_t>(size), descriptor) == 0;
}

std::size_t VxpLogWriter::room() const {
    if (!open_) return 0;
    const std::size_t used = packet_[3];
    const std::size_t limit = VXP_MAX_PAYLOAD_SIZE - VXP_FIELD_HEADER_SIZE;
    return used >= limit ? 0 : limit - used;
}

void VxpLogWriter::finish() {
    if (!open_) return;
    const uint16_t size = vxp_packet_finalize(packet_);
    log_.insert(log_.end(), packet_, packet_ + size);
    open_ = false;
}

void VxpLogWriter::append_raw(const uint8_t* data, std::size_t size) {
    if (open_) finish();
    log_.insert(log_.end(), data, data + size);
}

const std::vector<uint8_t>& VxpLogWriter::bytes() {
    if (open_) finish();
    return log_;
}

bool VxpLogWriter::write_file(const std::string& path) {
    const std::vector<uint8_t>& data = bytes();
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    const bool written = data.empty() || std::fwrite(data.data(), 1, data.size(), file) == data.size();
    return std::fclose(file) == 0 && written;
}
