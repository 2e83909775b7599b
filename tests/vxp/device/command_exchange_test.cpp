// Command exchanges with a simulated device on a pseudo-terminal: acknowledgements, timeouts,
// replies, the muting of application callbacks and the hex trace of a whole exchange.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <string>

#include "device_test_support.h"
#include "vxp/device/command_set.h"
#include "vxp/device/trace.h"
#include "vxp/packet.h"

namespace {

constexpr uint8_t kSensorSet = 0x80;
constexpr uint32_t kWaitMs = 1000;

class CommandExchange : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(sim.ok());
        sim.install_clock();
        ASSERT_EQ(vxp_device_init_path(sim.path().c_str(), 921600, &device, 100), 0);
    }
    void TearDown() override {
        vxp_device_close(&device);
        vxp_trace_stream = nullptr;
    }
    // The device answers every command with these packets, the command's echo filled in.
    void answer_with(std::function<std::vector<Bytes>(uint8_t command)> answers) {
        sim.set_responder([answers](const Bytes& packet) { return answers(command_of(packet)); });
    }
    uint16_t send_waiting(uint8_t command, const Bytes& data = {}) {
        sim.expect_commands(1);
        return vxp_device_send_command(&device, VXP_COMMAND_SET, command, data.data(),
                                       static_cast<uint16_t>(data.size()), 1, kWaitMs);
    }

    SimulatedDevice sim;
    vxp_device device{};
};

// A command packet as it must appear on the wire, checksum included.
Bytes expected_command(uint8_t command, const Bytes& data) {
    const uint8_t length = static_cast<uint8_t>(data.size() + 2);
    const uint8_t head[] = {0x75, 0x65, 0x0D, length, length, command};
    // Sized once and filled by copies: g++ 12 misreports an insert after a short initializer list.
    Bytes packet(sizeof head + data.size() + 2);
    std::copy(std::begin(head), std::end(head), packet.begin());
    std::copy(data.begin(), data.end(), packet.begin() + sizeof head);
    const uint16_t checksum = vxp_packet_checksum(packet.data());
    packet[packet.size() - 2] = static_cast<uint8_t>(checksum >> 8);
    packet[packet.size() - 1] = static_cast<uint8_t>(checksum & 0xFF);
    return packet;
}

std::string read_all(FILE* stream) {
    std::string text;
    rewind(stream);
    for (int c = fgetc(stream); c != EOF; c = fgetc(stream))
        text.push_back(static_cast<char>(c));
    return text;
}

std::string hex(const Bytes& bytes) {
    std::string text;
    char digits[3];
    for (uint8_t byte : bytes) {
        snprintf(digits, sizeof digits, "%.2X", byte);
        text += digits;
    }
    return text;
}

Bytes big_endian_floats(std::initializer_list<float> values) {
    Bytes bytes;
    for (float value : values) {
        uint32_t bits;
        memcpy(&bits, &value, sizeof bits);
        for (int shift = 24; shift >= 0; shift -= 8)
            bytes.push_back(static_cast<uint8_t>(bits >> shift));
    }
    return bytes;
}

}  // namespace

TEST_F(CommandExchange, AcceptedCommandSucceeds) {
    answer_with([](uint8_t command) { return std::vector<Bytes>{ack_packet(command, 0)}; });
    EXPECT_EQ(send_waiting(0x02, Bytes(12, 0x11)), 0);
    ASSERT_EQ(sim.commands().size(), 1u);
    EXPECT_EQ(sim.commands()[0], expected_command(0x02, Bytes(12, 0x11)));
    EXPECT_LT(sim.now(), kWaitMs);
    EXPECT_EQ(device.command_mode, 0);
    EXPECT_EQ(device.callback_sets[VXP_DEVICE_REPLY_ENTRY], 0);  // reply entry released
}

TEST_F(CommandExchange, ErrorCodeInTheAcknowledgementFails) {
    answer_with([](uint8_t command) { return std::vector<Bytes>{ack_packet(command, 3)}; });
    EXPECT_EQ(send_waiting(0x01), 1);
    EXPECT_LT(sim.now(), kWaitMs);  // failed on the acknowledgement, not by waiting
    EXPECT_EQ(device.command_mode, 0);
}

TEST_F(CommandExchange, AcknowledgementOfAnotherCommandIsIgnoredUntilTheTimeout) {
    answer_with([](uint8_t command) { return std::vector<Bytes>{ack_packet(command + 1, 0)}; });
    EXPECT_EQ(send_waiting(0x22), 1);
    EXPECT_GE(sim.now(), kWaitMs);
    EXPECT_EQ(vxp_ring_count(&device.ring), 0u);  // the stray acknowledgement was taken in
    EXPECT_EQ(device.command_mode, 0);
    EXPECT_EQ(device.callback_sets[VXP_DEVICE_REPLY_ENTRY], 0);
}

TEST_F(CommandExchange, DamagedAcknowledgementIsNotTakenForTheRightOne) {
    answer_with([](uint8_t command) {
        Bytes damaged = ack_packet(command, 0);
        damaged[7] ^= 0x40;  // error code becomes 0x40: the checksum no longer matches
        return std::vector<Bytes>{damaged, ack_packet(command, 0)};
    });
    EXPECT_EQ(send_waiting(0x23), 0);
    answer_with([](uint8_t command) {
        Bytes damaged = ack_packet(command, 0);
        damaged[7] ^= 0x40;
        return std::vector<Bytes>{damaged};
    });
    EXPECT_EQ(send_waiting(0x23), 1);
}

TEST_F(CommandExchange, WithoutWaitingReturnsOnceWritten) {
    EXPECT_EQ(vxp_device_send_command(&device, VXP_COMMAND_SET, 0x01, nullptr, 0, 0, kWaitMs), 0);
    EXPECT_EQ(sim.receive_raw(8), expected_command(0x01, {}));
    EXPECT_EQ(sim.now(), 0u);
}

TEST_F(CommandExchange, OtherSetReachesNoCallbackDuringACommandButDoesOutsideIt) {
    Recorder sensor;
    ASSERT_EQ(vxp_device_register_callback(&device, kSensorSet, &sensor, &Recorder::callback), 0);
    const Bytes sensor_packet = build_packet(kSensorSet, {{0x04, Bytes(12, 0x3F)}});
    answer_with([&](uint8_t command) { return std::vector<Bytes>{sensor_packet, ack_packet(command, 0)}; });
    EXPECT_EQ(send_waiting(0x01), 0);
    EXPECT_TRUE(sensor.events.empty());

    sim.send(sensor_packet);
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(vxp_device_poll(&device), 0);
    ASSERT_EQ(sensor.events.size(), 1u);
    EXPECT_EQ(sensor.events[0].kind, VXP_PACKET_OK);
    EXPECT_EQ(sensor.events[0].bytes, sensor_packet);
}

TEST_F(CommandExchange, ApplicationListeningToTheCommandSetHearsNoAcknowledgements) {
    Recorder listener;
    ASSERT_EQ(vxp_device_register_callback(&device, VXP_COMMAND_SET, &listener, &Recorder::callback), 0);
    answer_with([](uint8_t command) { return std::vector<Bytes>{ack_packet(command, 0)}; });
    EXPECT_EQ(send_waiting(0x01), 0);
    EXPECT_TRUE(listener.events.empty());
}

TEST_F(CommandExchange, QueryHandsOutTheReplyField) {
    const Bytes values = big_endian_floats({1.0f, -2.0f, 0.5f});
    answer_with([&](uint8_t command) { return std::vector<Bytes>{ack_packet(command, 0, 0x81, values)}; });
    const Bytes request = {2};
    uint8_t* reply_field = nullptr;
    int16_t reply_length = 0;
    sim.expect_commands(1);
    ASSERT_EQ(vxp_device_query_command(&device, VXP_COMMAND_SET, 0x11, request.data(), 1, &reply_field,
                                       &reply_length, kWaitMs),
              0);
    ASSERT_NE(reply_field, nullptr);
    EXPECT_EQ(reply_length, 14);
    EXPECT_EQ(reply_field[0], 14);
    EXPECT_EQ(reply_field[1], 0x81);
    EXPECT_EQ(Bytes(reply_field + 2, reply_field + 14), values);
}

TEST_F(CommandExchange, QueryWithoutAReplyFieldHandsOutNone) {
    answer_with([](uint8_t command) { return std::vector<Bytes>{ack_packet(command, 0)}; });
    uint8_t* reply_field = &device.framer.packet[0];
    int16_t reply_length = 5;
    sim.expect_commands(1);
    ASSERT_EQ(vxp_device_query_command(&device, VXP_COMMAND_SET, 0x01, nullptr, 0, &reply_field,
                                       &reply_length, kWaitMs),
              0);
    EXPECT_EQ(reply_field, nullptr);
    EXPECT_EQ(reply_length, 0);
}

TEST_F(CommandExchange, SettingsReplyIsDecodedIntoHostOrder) {
    answer_with([](uint8_t command) {
        return std::vector<Bytes>{ack_packet(command, 0, 0x81, big_endian_floats({1.5f, -0.25f, 1024.0f}))};
    });
    float reply[3] = {};
    sim.expect_commands(1);
    ASSERT_EQ(vxp_device_command(&device, 0x11, 2, nullptr, 0, reply, sizeof reply), 0);
    EXPECT_EQ(reply[0], 1.5f);
    EXPECT_EQ(reply[1], -0.25f);
    EXPECT_EQ(reply[2], 1024.0f);
    Bytes zeros_request = {2};
    zeros_request.resize(13);  // selector 2: the values go out as zeros, at full length
    EXPECT_EQ(sim.commands().back(), expected_command(0x11, zeros_request));
}

TEST_F(CommandExchange, SettingsReplyOfTheWrongShapeFails) {
    float reply[3] = {};
    struct Case {
        uint8_t descriptor;
        Bytes data;
    };
    const Case cases[] = {
        {0x82, big_endian_floats({1.0f, 2.0f, 3.0f})},  // another command's reply descriptor
        {0x81, big_endian_floats({1.0f, 2.0f})},        // too short
    };
    for (const Case& reply_case : cases) {
        answer_with([&](uint8_t command) {
            return std::vector<Bytes>{ack_packet(command, 0, reply_case.descriptor, reply_case.data)};
        });
        sim.expect_commands(1);
        EXPECT_EQ(vxp_device_command(&device, 0x11, 2, nullptr, 0, reply, sizeof reply), 1);
    }
    answer_with([](uint8_t command) { return std::vector<Bytes>{ack_packet(command, 0)}; });
    sim.expect_commands(1);
    EXPECT_EQ(vxp_device_command(&device, 0x11, 2, nullptr, 0, reply, sizeof reply), 1);  // no reply field
    // Without a reply buffer the same acknowledgement is a success.
    sim.expect_commands(1);
    EXPECT_EQ(vxp_device_command(&device, 0x11, 2, nullptr, 0, nullptr, 0), 0);
}

TEST_F(CommandExchange, ReplyFieldRunningPastThePacketFails) {
    // Each reply field's length byte is raised past the payload end, the checksum kept valid.
    const auto truncated = [](uint8_t command, uint8_t descriptor, const Bytes& data, uint8_t length_byte) {
        Bytes packet = ack_packet(command, 0, descriptor, data);
        packet[8] = length_byte;
        const uint16_t checksum = vxp_packet_checksum(packet.data());
        packet[packet.size() - 2] = static_cast<uint8_t>(checksum >> 8);
        packet[packet.size() - 1] = static_cast<uint8_t>(checksum & 0xFF);
        return std::vector<Bytes>{packet};
    };
    // Three floats expected, eight bytes present: the values would come from beyond the packet.
    answer_with([&](uint8_t command) {
        return truncated(command, 0x81, big_endian_floats({1.0f, 2.0f}), 14);
    });
    float axes[3] = {};
    sim.expect_commands(1);
    EXPECT_EQ(vxp_device_command(&device, 0x11, 2, nullptr, 0, axes, sizeof axes), 1);
    // The value is present, but the field claims more than the packet holds.
    answer_with([&](uint8_t command) { return truncated(command, 0x80, {7}, 0x20); });
    uint8_t mode = 0;
    sim.expect_commands(1);
    EXPECT_EQ(vxp_device_command(&device, 0x10, 2, nullptr, 0, &mode, 1), 1);
}

TEST_F(CommandExchange, CommandEntryPointChecksItsArgumentsBeforeSending) {
    FILE* trace = tmpfile();
    ASSERT_NE(trace, nullptr);
    vxp_trace_stream = trace;  // anything written to the port would show here
    float reply[3] = {};
    EXPECT_EQ(vxp_device_command(&device, 0x05, 0, nullptr, 0, nullptr, 0), 1);           // not in the set
    EXPECT_EQ(vxp_device_command(&device, 0x11, 2, nullptr, 0, reply, 8), 2);             // reply size
    EXPECT_EQ(vxp_device_command(&device, 0x01, 0, nullptr, 0, reply, sizeof reply), 1);  // no reply exists
    EXPECT_EQ(vxp_device_command(&device, 0x11, VXP_FUNCTION_APPLY, nullptr, 0, nullptr, 0),
              2);  // values missing
    EXPECT_EQ(read_all(trace), "");
    fclose(trace);
}

TEST_F(CommandExchange, ApplyingSettingsSendsBigEndianValues) {
    answer_with([](uint8_t command) { return std::vector<Bytes>{ack_packet(command, 0)}; });
    const uint16_t rate = 0x1234;
    sim.expect_commands(1);
    ASSERT_EQ(vxp_device_command(&device, 0x14, VXP_FUNCTION_APPLY, &rate, sizeof rate, nullptr, 0), 0);
    EXPECT_EQ(sim.commands().back(), expected_command(0x14, {0x01, 0x12, 0x34}));
}

TEST_F(CommandExchange, TraceShowsTheWholeExchange) {
    FILE* trace = tmpfile();
    ASSERT_NE(trace, nullptr);
    vxp_trace_stream = trace;
    const Bytes ack = ack_packet(0x01, 0);
    answer_with([&](uint8_t) { return std::vector<Bytes>{ack}; });
    EXPECT_EQ(send_waiting(0x01), 0);
    EXPECT_EQ(read_all(trace), "Writing 8 bytes:\n" + hex(expected_command(0x01, {})) +
                                   "\nReading 10 bytes:\n" + hex(ack) + "\n");
    EXPECT_EQ(hex(expected_command(0x01, {})), "75650D020201ECF6");
    fclose(trace);
}
