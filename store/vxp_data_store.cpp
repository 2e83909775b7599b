// VxpDataStore construction, reset, observers and file loading: the log is pushed through the
// embedded parser as its ring has room; every packet it frames reaches route_packet via the callback.
#include "store/vxp_data_store.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>
#include <vector>

#include "platform/utf8_files.h"
#include "route/log_feed.h"

namespace {

// The log is read from the file in large blocks: few system calls, and no copy through a stdio
// buffer.
constexpr std::size_t kReadBlockSize = std::size_t{1} << 20;

template <class Container>
void clear_all(Container& sequences) {
    for (auto& sequence : sequences)
        sequence.clear();
}

}  // namespace

VxpDataStore::VxpDataStore() = default;

VxpDataStore::VxpDataStore(const char* path) {
    load_file(path);
}

VxpDataStore::VxpDataStore(StoreContents contents) {
    filer_.set_contents(contents);
}

void VxpDataStore::clear() {
    router_.reset();
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

void VxpDataStore::route_packet(uint8_t* packet, uint16_t size, uint8_t kind) {
    router_.route(packet, size, kind);
}

extern "C" void vxp_store_packet_callback(void* user_ptr, uint8_t* packet, uint16_t size, uint8_t kind) {
    if (user_ptr == nullptr)
        return;
    static_cast<VxpDataStore*>(user_ptr)->router().route_from_parser(packet, size, kind);
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
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> input(open_file(path, "rb"), std::fclose);
    std::FILE* const file = input.get();
    if (file == nullptr)
        return false;

    clear();
    log_feed_start(parser, router_, parser_timeout_ms);

    std::setvbuf(file, nullptr, _IONBF, 0);
    std::vector<uint8_t> block(kReadBlockSize);
    bool read_failed = false;
    for (;;) {
        errno = 0;
        const std::size_t count = std::fread(block.data(), 1, block.size(), file);
        const int read_errno = errno;
        log_feed_bytes(parser, block.data(), count);
        router_.rethrow_allocation_failure();
        if (count < block.size()) {
            if (std::ferror(file)) {
                read_failed = true;
                read_error_ = read_errno != 0 ? std::strerror(read_errno) : "read error";
            }
            break;
        }
    }

    // End of the file: a candidate still waiting for bytes will never get them.
    log_feed_end(parser, parser_timeout_ms);
    router_.rethrow_allocation_failure();
    return !read_failed;
}
