// Pseudo-terminal device simulation for the device and serial tests.
#include "simulated_device.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>

#include "vxp/packet.h"
#include "vxp/tick.h"

namespace {

// Failsafe for a library that never sends what the test expects: give up after this long in
// real time instead of hanging the suite. Normal runs never come near it.
constexpr int kRealWaitStepMs = 1;
constexpr int kRealWaitLimitSteps = 2000;

SimulatedDevice* clock_owner = nullptr;

void make_raw(int fd) {
    termios settings{};
    if (tcgetattr(fd, &settings) == 0) {
        cfmakeraw(&settings);
        tcsetattr(fd, TCSANOW, &settings);
    }
}

}  // namespace

Bytes build_packet(uint8_t descriptor_set, const std::vector<std::pair<uint8_t, Bytes>>& fields) {
    uint8_t buffer[VXP_MAX_PACKET_SIZE];
    vxp_packet_init(buffer, sizeof buffer, descriptor_set);
    for (const auto& [descriptor, data] : fields) {
        vxp_packet_add_field(buffer, sizeof buffer, data.data(), static_cast<uint16_t>(data.size()),
                             descriptor);
    }
    const uint16_t size = vxp_packet_finalize(buffer);
    return Bytes(buffer, buffer + size);
}

Bytes ack_packet(uint8_t echo, uint8_t error_code) {
    return build_packet(0x0D, {{kAckFieldDescriptor, {echo, error_code}}});
}

Bytes ack_packet(uint8_t echo, uint8_t error_code, uint8_t reply_descriptor, const Bytes& reply_data) {
    return build_packet(0x0D, {{kAckFieldDescriptor, {echo, error_code}}, {reply_descriptor, reply_data}});
}

uint8_t command_of(const Bytes& packet) {
    return packet.size() > 5 ? packet[5] : 0;
}

SimulatedDevice::SimulatedDevice() {
    char name[256] = {};
    if (openpty(&master_fd_, &slave_fd_, name, nullptr, nullptr) != 0) {
        master_fd_ = slave_fd_ = -1;
        return;
    }
    path_ = name;
    make_raw(master_fd_);
    make_raw(slave_fd_);
    fcntl(master_fd_, F_SETFL, fcntl(master_fd_, F_GETFL) | O_NONBLOCK);
}

SimulatedDevice::~SimulatedDevice() {
    if (clock_owner == this) {
        vxp_set_tick_source(nullptr);
        clock_owner = nullptr;
    }
    if (master_fd_ >= 0)
        close(master_fd_);
    if (slave_fd_ >= 0)
        close(slave_fd_);
}

void SimulatedDevice::install_clock() {
    clock_owner = this;
    vxp_set_tick_source(&SimulatedDevice::tick);
}

// Time moves on only when the device has nothing left to do: every expected command answered and
// every answer taken in by the library. So the exchange never depends on how fast the kernel
// moves bytes through the terminal, and a timeout still elapses in a bounded number of ticks.
uint32_t SimulatedDevice::tick() {
    SimulatedDevice* device = clock_owner;
    if (device == nullptr)
        return 0;
    device->service();
    if (device->expected_ == 0 && device->pending_for_library() == 0)
        ++device->now_;
    return device->now_;
}

uint32_t SimulatedDevice::pending_for_library() const {
    int waiting = 0;
    ioctl(slave_fd_, FIONREAD, &waiting);
    return static_cast<uint32_t>(std::max(waiting, 0));
}

void SimulatedDevice::read_available() {
    uint8_t chunk[512];
    for (;;) {
        const ssize_t got = read(master_fd_, chunk, sizeof chunk);
        if (got <= 0)
            break;
        inbox_.insert(inbox_.end(), chunk, chunk + got);
    }
}

void SimulatedDevice::send(const Bytes& bytes) {
    const uint32_t target = pending_for_library() + static_cast<uint32_t>(bytes.size());
    size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t result = write(master_fd_, bytes.data() + sent, bytes.size() - sent);
        if (result > 0)
            sent += static_cast<size_t>(result);
        else
            poll(nullptr, 0, kRealWaitStepMs);
    }
    for (int step = 0; step < kRealWaitLimitSteps && pending_for_library() < target; ++step) {
        poll(nullptr, 0, kRealWaitStepMs);
    }
}

Bytes SimulatedDevice::receive_raw(size_t count) {
    read_available();
    for (int step = 0; step < kRealWaitLimitSteps && inbox_.size() < count; ++step) {
        pollfd readable{master_fd_, POLLIN, 0};
        poll(&readable, 1, kRealWaitStepMs);
        read_available();
    }
    Bytes raw;
    raw.swap(inbox_);
    return raw;
}

void SimulatedDevice::service() {
    int waited = 0;
    for (;;) {
        read_available();
        // Frame complete command packets; the library sends nothing else.
        size_t start = 0;
        while (start < inbox_.size() && !(inbox_[start] == VXP_SYNC1 &&
                                          (start + 1 == inbox_.size() || inbox_[start + 1] == VXP_SYNC2))) {
            ++start;
        }
        inbox_.erase(inbox_.begin(), inbox_.begin() + static_cast<long>(start));
        if (inbox_.size() >= VXP_HEADER_SIZE &&
            inbox_.size() >= inbox_[3] + VXP_HEADER_SIZE + VXP_CHECKSUM_SIZE) {
            const size_t size = inbox_[3] + VXP_HEADER_SIZE + VXP_CHECKSUM_SIZE;
            Bytes packet(inbox_.begin(), inbox_.begin() + static_cast<long>(size));
            inbox_.erase(inbox_.begin(), inbox_.begin() + static_cast<long>(size));
            commands_.push_back(packet);
            if (expected_ > 0)
                --expected_;
            if (responder_) {
                for (const Bytes& answer : responder_(packet))
                    send(answer);
            }
            continue;
        }
        if (expected_ == 0)
            return;
        // A command is on its way through the terminal: wait for it in real time, within bounds.
        if (++waited > kRealWaitLimitSteps) {
            expected_ = 0;
            return;
        }
        pollfd readable{master_fd_, POLLIN, 0};
        poll(&readable, 1, kRealWaitStepMs);
    }
}
