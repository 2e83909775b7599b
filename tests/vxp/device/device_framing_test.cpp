// The device's framing step and its callback table, fed through the receive ring.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <system_error>

#include "device_test_support.h"
#include "vxp/tick.h"

namespace {

constexpr uint32_t kTimeoutMs = 100;
constexpr uint8_t kSensorSet = 0x80;
constexpr uint8_t kGnssSet = 0x81;

class DeviceFraming : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(sim.ok());
        ManualClock::now = 0;
        vxp_set_tick_source(&ManualClock::tick);
        ASSERT_EQ(vxp_device_init_path(sim.path().c_str(), 115200, &device, kTimeoutMs), 0);
        ASSERT_EQ(vxp_device_register_callback(&device, kSensorSet, &sensor, &Recorder::callback), 0);
    }
    void TearDown() override {
        vxp_device_close(&device);
        vxp_set_tick_source(nullptr);
    }
    void receive(const Bytes& bytes) {
        uint32_t accepted = 0;
        ASSERT_EQ(vxp_device_receive(&device, bytes.data(), static_cast<uint32_t>(bytes.size()), &accepted),
                  0);
    }
    void steps(int count) {
        for (int i = 0; i < count; ++i)
            ASSERT_EQ(vxp_device_step(&device), 0);
    }

    SimulatedDevice sim;
    vxp_device device{};
    Recorder sensor;
};

const Bytes kEmptySensorPacket = {0x75, 0x65, 0x80, 0x00, 0x5A, 0x03};

}  // namespace

TEST_F(DeviceFraming, DeliversAGoodPacketToTheCallbackOfItsSet) {
    const Bytes packet = build_packet(kSensorSet, {{0x04, {1, 2, 3, 4}}});
    receive(packet);
    steps(1);
    ASSERT_EQ(sensor.events.size(), 1u);
    EXPECT_EQ(sensor.events[0].kind, VXP_PACKET_OK);
    EXPECT_EQ(sensor.events[0].bytes, packet);
    EXPECT_EQ(vxp_ring_count(&device.ring), 0u);
    EXPECT_EQ(device.framer.last_packet_ok, 1);
    steps(1);  // nothing more to deliver
    EXPECT_EQ(sensor.events.size(), 1u);
}

TEST_F(DeviceFraming, PacketOfAnUnlistenedSetIsConsumedSilently) {
    receive(build_packet(kGnssSet, {{0x01, {9}}}));
    receive(kEmptySensorPacket);
    steps(2);
    ASSERT_EQ(sensor.events.size(), 1u);
    EXPECT_EQ(sensor.events[0].bytes, kEmptySensorPacket);
    EXPECT_EQ(vxp_ring_count(&device.ring), 0u);
}

TEST_F(DeviceFraming, HandlesOnePacketPerStepAcrossSplitArrivals) {
    const Bytes packet = build_packet(kSensorSet, {{0x05, Bytes(20, 0x75)}});
    receive(Bytes(packet.begin(), packet.begin() + 3));
    steps(1);
    receive(Bytes(packet.begin() + 3, packet.end() - 1));
    steps(1);
    EXPECT_TRUE(sensor.events.empty());
    receive(Bytes(packet.end() - 1, packet.end()));
    receive(packet);
    steps(1);
    ASSERT_EQ(sensor.events.size(), 1u);
    steps(1);
    ASSERT_EQ(sensor.events.size(), 2u);
    EXPECT_EQ(sensor.events[1].bytes, packet);
}

TEST_F(DeviceFraming, RejectsASyncByteNotFollowedBySync2) {
    Bytes bytes = {0x75};
    bytes.insert(bytes.end(), kEmptySensorPacket.begin(), kEmptySensorPacket.end());
    receive(bytes);
    steps(2);
    EXPECT_EQ(device.framer.sync_errors, 1u);
    ASSERT_EQ(sensor.events.size(), 1u);
    EXPECT_EQ(sensor.events[0].bytes, kEmptySensorPacket);
}

TEST_F(DeviceFraming, ReportsChecksumFailuresAndCountsOnlyAfterAGoodPacket) {
    Bytes damaged = build_packet(kSensorSet, {{0x04, {1, 2, 3, 4}}});
    damaged[6] ^= 0x01;
    receive(damaged);
    steps(1);
    ASSERT_EQ(sensor.events.size(), 1u);
    EXPECT_EQ(sensor.events[0].kind, VXP_PACKET_CHECKSUM_ERROR);
    EXPECT_EQ(sensor.events[0].bytes, Bytes(damaged.begin(), damaged.begin() + 4));
    EXPECT_EQ(device.framer.checksum_errors, 0u);  // nothing good came before it

    vxp_ring_flush(&device.ring);
    receive(kEmptySensorPacket);
    receive(damaged);
    steps(2);
    ASSERT_EQ(sensor.events.size(), 3u);
    EXPECT_EQ(sensor.events[2].kind, VXP_PACKET_CHECKSUM_ERROR);
    EXPECT_EQ(device.framer.checksum_errors, 1u);
}

TEST_F(DeviceFraming, FindsAPacketHiddenInARejectedCandidate) {
    // A bad candidate whose declared payload swallows a complete good packet.
    Bytes bytes = {0x75, 0x65, kSensorSet, 0x08, 0x00, 0x00};
    bytes.insert(bytes.end(), kEmptySensorPacket.begin(), kEmptySensorPacket.end());
    bytes.insert(bytes.end(), {0x00, 0x00});
    receive(bytes);
    steps(4);
    ASSERT_EQ(sensor.events.size(), 2u);
    EXPECT_EQ(sensor.events[0].kind, VXP_PACKET_CHECKSUM_ERROR);
    EXPECT_EQ(sensor.events[1].kind, VXP_PACKET_OK);
    EXPECT_EQ(sensor.events[1].bytes, kEmptySensorPacket);
}

TEST_F(DeviceFraming, TimesOutAnIncompletePacket) {
    receive({0x75, 0x65, kSensorSet, 0x10, 0x01});
    steps(1);
    ManualClock::now = kTimeoutMs - 1;
    steps(1);
    EXPECT_TRUE(sensor.events.empty());
    ManualClock::now = kTimeoutMs;
    steps(1);
    ASSERT_EQ(sensor.events.size(), 1u);
    EXPECT_EQ(sensor.events[0].kind, VXP_PACKET_TIMEOUT);
    EXPECT_EQ(sensor.events[0].bytes, Bytes({0x75, 0x65, kSensorSet, 0x10}));
    EXPECT_EQ(device.framer.timeouts, 1u);
    EXPECT_EQ(device.framer.packet_byte_count, 0);
}

TEST_F(DeviceFraming, TimesOutAnIncompleteHeaderWithoutCallback) {
    receive({0x75, 0x65});
    steps(1);
    ManualClock::now = kTimeoutMs;
    steps(1);
    EXPECT_EQ(device.framer.timeouts, 1u);
    EXPECT_TRUE(sensor.events.empty());
}

TEST_F(DeviceFraming, CommandModeMutesApplicationCallbacks) {
    device.command_mode = 1;
    receive(kEmptySensorPacket);
    steps(1);
    EXPECT_TRUE(sensor.events.empty());
    EXPECT_EQ(vxp_ring_count(&device.ring), 0u);
    device.command_mode = 0;
    receive(kEmptySensorPacket);
    steps(1);
    EXPECT_EQ(sensor.events.size(), 1u);
}

TEST_F(DeviceFraming, ReceiveRefusesWhatTheRingCannotHold) {
    const Bytes bytes(VXP_DEVICE_RING_SIZE + 1, 0x00);
    uint32_t accepted = 0;
    EXPECT_EQ(vxp_device_receive(&device, bytes.data(), static_cast<uint32_t>(bytes.size()), &accepted), 1);
    EXPECT_EQ(accepted, VXP_DEVICE_RING_SIZE);
    EXPECT_EQ(vxp_device_receive_wait(&device, bytes.data(), VXP_DEVICE_RING_SIZE + 1, &accepted, 0), 1);
}

TEST_F(DeviceFraming, ReceiveWaitAnswersAtOnceWhenTheRingIsFull) {
    const Bytes bytes(VXP_DEVICE_RING_SIZE, 0x00);
    uint32_t accepted = 0;
    ASSERT_EQ(vxp_device_receive(&device, bytes.data(), VXP_DEVICE_RING_SIZE, &accepted), 0);
    // A clock that moves by a millisecond at every reading: a wait that spins reads it over and
    // over until the 50 ms are gone.
    vxp_set_tick_source([] { return ManualClock::now++; });
    EXPECT_EQ(vxp_device_receive_wait(&device, bytes.data(), 1, &accepted, 50), 1);
    EXPECT_LE(ManualClock::now, 1u);
    vxp_ring_flush(&device.ring);
    EXPECT_EQ(vxp_device_receive_wait(&device, bytes.data(), 1, &accepted, 50), 0);
    EXPECT_EQ(accepted, 1u);
}

TEST_F(DeviceFraming, AFailedPortReadIsAFramingFailureNotAPollFailure) {
    const Bytes packet = build_packet(kSensorSet, {{0x04, {1, 2, 3, 4}}});
    sim.send(packet);
    ASSERT_EQ(vxp_device_poll(&device), 0);
    ASSERT_EQ(sensor.events.size(), 1u);
    ASSERT_EQ(device.framer.last_packet_ok, 1);

    // The port's descriptor is replaced by the write end of a pipe that holds bytes: the driver
    // reports them waiting, and reading them fails.
    int port_fd = -1;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        const int fd = std::stoi(entry.path().filename().string());
        if (fd != sim.terminal_fd() && std::filesystem::read_symlink(entry.path(), error) == sim.path())
            port_fd = fd;
    }
    ASSERT_GE(port_fd, 0);
    int pipe_fds[2];
    ASSERT_EQ(pipe(pipe_fds), 0);
    ASSERT_EQ(write(pipe_fds[1], packet.data(), packet.size()), static_cast<ssize_t>(packet.size()));
    ASSERT_EQ(dup2(pipe_fds[1], port_fd), port_fd);
    ASSERT_EQ(vxp_serial_bytes_waiting(device.port), packet.size());

    EXPECT_EQ(vxp_device_poll(&device), 0);
    EXPECT_EQ(device.framer.last_packet_ok, 0);
    EXPECT_EQ(sensor.events.size(), 1u);
    close(pipe_fds[0]);
    close(pipe_fds[1]);
}

TEST_F(DeviceFraming, ClosedDeviceRefusesEverything) {
    EXPECT_EQ(vxp_device_close(&device), 0);
    EXPECT_EQ(vxp_device_close(&device), 1);
    uint32_t accepted = 0;
    EXPECT_EQ(vxp_device_receive(&device, kEmptySensorPacket.data(), 6, &accepted), 1);
    EXPECT_EQ(vxp_device_step(&device), 1);
    EXPECT_EQ(vxp_device_poll(&device), 1);
    EXPECT_EQ(vxp_device_send_command(&device, 0x0D, 0x01, nullptr, 0, 0, 1000), 1);
}

TEST(DeviceInit, FailsForAPortThatCannotBeOpened) {
    vxp_device device{};
    EXPECT_EQ(vxp_device_init_path("/nonexistent/tty", 115200, &device, 100), 1);
    EXPECT_EQ(vxp_device_step(&device), 1);
    EXPECT_EQ(vxp_device_poll(&device), 1);
    EXPECT_EQ(vxp_device_init_path("/nonexistent/tty", 115200, nullptr, 100), 1);
}

TEST_F(DeviceFraming, EleventhApplicationCallbackIsRefused) {
    Recorder others;
    for (uint8_t set = 1; set < 10; ++set) {  // entry 1 holds the sensor set already
        ASSERT_EQ(vxp_device_register_callback(&device, static_cast<uint8_t>(0xA0 + set), &others,
                                               &Recorder::callback),
                  0);
    }
    EXPECT_EQ(vxp_device_register_callback(&device, 0xB0, &others, &Recorder::callback), 1);
    // Freeing one entry makes room again.
    ASSERT_EQ(vxp_device_unregister_callback(&device, 0xA5), 0);
    EXPECT_EQ(vxp_device_register_callback(&device, 0xB0, &others, &Recorder::callback), 0);
    EXPECT_EQ(device.callback_sets[6], 0xB0);  // the entry 0xA5 had
}

TEST_F(DeviceFraming, RegisterRefusesSetZeroAndNullCallbacks) {
    EXPECT_EQ(vxp_device_register_callback(&device, 0, &sensor, &Recorder::callback), 1);
    EXPECT_EQ(vxp_device_register_callback(&device, kGnssSet, &sensor, nullptr), 1);
    EXPECT_EQ(vxp_device_register_callback(nullptr, kGnssSet, &sensor, &Recorder::callback), 1);
}

TEST_F(DeviceFraming, UnregisterRemovesEveryEntryOfTheSet) {
    Recorder second;
    ASSERT_EQ(vxp_device_register_callback(&device, kSensorSet, &second, &Recorder::callback), 0);
    EXPECT_EQ(vxp_device_unregister_callback(&device, kSensorSet), 0);
    EXPECT_EQ(vxp_device_unregister_callback(&device, kSensorSet), 1);
    EXPECT_EQ(vxp_device_unregister_callback(&device, 0), 1);
    receive(kEmptySensorPacket);
    steps(1);
    EXPECT_TRUE(sensor.events.empty());
    EXPECT_TRUE(second.events.empty());
    // The reply entry is not the application's to remove.
    EXPECT_EQ(device.callbacks[VXP_DEVICE_REPLY_ENTRY], &vxp_command_reply_callback);
}

TEST_F(DeviceFraming, FindGivesTheFirstEntryOfTheSet) {
    Recorder second;
    ASSERT_EQ(vxp_device_register_callback(&device, kSensorSet, &second, &Recorder::callback), 0);
    void* user = nullptr;
    vxp_packet_callback callback = nullptr;
    ASSERT_EQ(vxp_device_find_callback(&device, kSensorSet, &user, &callback), 0);
    EXPECT_EQ(user, &sensor);
    EXPECT_EQ(callback, &Recorder::callback);

    user = &second;
    EXPECT_EQ(vxp_device_find_callback(&device, kGnssSet, &user, &callback), 1);
    EXPECT_EQ(user, nullptr);
    user = &second;
    EXPECT_EQ(vxp_device_find_callback(&device, 0, &user, &callback), 1);
    EXPECT_EQ(user, nullptr);
    // Outside a command exchange the reply entry answers to no set.
    EXPECT_EQ(vxp_device_find_callback(&device, 0x0D, &user, &callback), 1);
}
