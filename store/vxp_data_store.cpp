// VxpDataStore construction, reset, observers and file loading: the log is pushed through the
// embedded parser as its ring has room; every packet it frames reaches route_packet via the callback.
#include "store/vxp_data_store.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include "platform/utf8_files.h"

namespace {

// The log is read from the file in large blocks: few system calls, and no copy through a stdio
// buffer.
constexpr std::size_t kReadBlockSize = std::size_t{1} << 20;

// Clock of the loader's parser. A file holds no real-time gaps, so the packet timeout must never
// expire while the file is read, however slowly the process runs: the clock stands still.
uint32_t frozen_clock() {
    return 0;
}

// A timeout of zero expires at once: used at the end of the file to give up on candidates that
// can never complete, so that packets hidden behind them are still framed.
constexpr uint32_t kGiveUpTimeoutMs = 0;

// Callback of the end-of-file pass. The candidates framed there lie in the bytes of a packet that
// the end of the file cut off (the normal end of a recording), so a failed checksum among them is a
// chance run of bytes that looks like a header, not damage: it is not counted. Good packets found
// there are delivered as any others.
void end_of_file_callback(void* user_ptr, uint8_t* packet, uint16_t size, uint8_t kind) {
    if (kind == VXP_PACKET_OK)
        vxp_store_packet_callback(user_ptr, packet, size, kind);
}

template <class Container>
void clear_all(Container& sequences) {
    for (auto& sequence : sequences)
        sequence.clear();
}

// Hands bytes to the parser as fast as its ring has room for them, draining after every receive
// (an update alone stops at the first damaged candidate). With the clock standing still the
// framing depends only on the order of the bytes, not on how they are cut: every packet,
// callback and counter, and the parser's state at the end, are those of the classic feed of at
// most 100 bytes per receive and drain; the pieces are just larger (a drained ring holds at most
// one unfinished packet, so each piece is over 2300 bytes) and the calls fewer. Nothing is ever
// offered beyond the free space, so the ring never counts an overrun.
void feed(vxp_parser& parser, const uint8_t* bytes, std::size_t count) {
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

}  // namespace

VxpDataStore::VxpDataStore() = default;

VxpDataStore::VxpDataStore(const char* path) {
    load_file(path);
}

void VxpDataStore::clear() {
    imu_timestamps.clear();
    imu_shared_timestamps.clear();
    imu_packet_timestamps.clear();
    scaled_accel.clear();
    scaled_gyro.clear();
    sensor_vector06.clear();
    sensor_scalar17.clear();
    delta_theta.clear();
    delta_velocity.clear();
    clear_all(gnss_timestamps);
    clear_all(gnss_shared_timestamps);
    clear_all(gnss_record03);
    clear_all(gnss_record05);
    clear_all(gnss_record04);
    clear_all(gnss_record06);
    clear_all(gnss_record0B);
    clear_all(gnss_record07);
    clear_all(gnss_record08);
    clear_all(gnss_record0A);
    clear_all(gnss_record0D);
    clear_all(raw_epochs);
    for (auto& slots : gps_ephemerides)
        clear_all(slots);
    for (auto& slots : galileo_ephemerides)
        clear_all(slots);
    for (auto& slots : glonass_ephemerides)
        clear_all(slots);
    clear_all(gps_iono);
    clear_all(galileo_iono);
    clear_all(leap_second_records);
    base_station_info.clear();
    filter_timestamps.clear();
    filter_shared_timestamps.clear();
    filter_record10.clear();
    filter_record01.clear();
    filter_vector02.clear();
    filter_vector05.clear();
    filter_vector06.clear();
    filter_vector07.clear();
    filter_vector08.clear();
    filter_vector09.clear();
    filter_vector0A.clear();
    filter_vector0B.clear();
    filter_vector0C.clear();
    raw_packets_01.clear();
    raw_packets_0C.clear();
    raw_packets_0D.clear();
}

bool VxpDataStore::set_sensor_packet_observer(PacketObserver observer) {
    if (observer == nullptr)
        return false;
    sensor_packet_observer = observer;
    return true;
}

bool VxpDataStore::set_gnss_packet_observer(PacketObserver observer) {
    if (observer == nullptr)
        return false;
    gnss_packet_observer = observer;
    return true;
}

bool VxpDataStore::set_filter_packet_observer(PacketObserver observer) {
    if (observer == nullptr)
        return false;
    filter_packet_observer = observer;
    return true;
}

extern "C" void vxp_store_packet_callback(void* user_ptr, uint8_t* packet, uint16_t size, uint8_t kind) {
    if (user_ptr == nullptr)
        return;
    static_cast<VxpDataStore*>(user_ptr)->route_packet(packet, size, kind);
}

bool VxpDataStore::load_file(const char* path) {
    read_error_.clear();
    if (path == nullptr)
        return false;
    // A directory opens for reading on some systems and then fails on the first read, after the
    // store would already have been emptied: it is no log. Anything else that opens (a named pipe
    // fed by a decompressor, a device) is read to its end, whatever its size.
    std::error_code status_error;
    if (std::filesystem::is_directory(path_from_utf8(path), status_error))
        return false;
    std::FILE* file = open_file(path, "rb");
    if (file == nullptr)
        return false;

    clear();
    vxp_parser_init(&parser, parser_timeout_ms, this, vxp_store_packet_callback);
    vxp_parser_set_clock(&parser, frozen_clock);

    std::setvbuf(file, nullptr, _IONBF, 0);
    std::vector<uint8_t> block(kReadBlockSize);
    bool read_failed = false;
    for (;;) {
        errno = 0;
        const std::size_t count = std::fread(block.data(), 1, block.size(), file);
        const int read_errno = errno;
        feed(parser, block.data(), count);
        if (count < block.size()) {
            if (std::ferror(file)) {
                read_failed = true;
                read_error_ = read_errno != 0 ? std::strerror(read_errno) : "read error";
            }
            break;
        }
    }

    // End of the file: a candidate still waiting for bytes will never get them. Give up on each
    // such candidate so that complete packets behind a damaged length byte are still delivered;
    // a packet cut off by the end of the file stays undelivered and uncounted.
    vxp_parser_set_timeout(&parser, kGiveUpTimeoutMs);
    vxp_parser_set_callback(&parser, this, end_of_file_callback);
    vxp_parser_drain(&parser);
    vxp_parser_set_callback(&parser, this, vxp_store_packet_callback);
    vxp_parser_set_timeout(&parser, parser_timeout_ms);

    std::fclose(file);
    return !read_failed;
}
