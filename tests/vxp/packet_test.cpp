// Packet frame and fields: checksum, header accessors, the field walk, the builder's size limits
// and byte reversal.
#include "vxp/packet.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "tests/vxp/vxp_test_support.h"
#include "vxp/status.h"

namespace {

using vxp_test::Bytes;
using vxp_test::make_packet;

TEST(Packet, ChecksumOfTheEmptyPacket) {
    Bytes packet = {0x75, 0x65, 0x80, 0x00, 0x5A, 0x03};
    EXPECT_EQ(vxp_packet_checksum(packet.data()), 0x5A03);
    EXPECT_EQ(vxp_packet_verify_checksum(packet.data()), VXP_OK);
    packet[5] = 0x04;
    EXPECT_EQ(vxp_packet_verify_checksum(packet.data()), VXP_BAD_CHECKSUM);
    packet[1] = 0x66;
    EXPECT_EQ(vxp_packet_verify_checksum(packet.data()), VXP_BAD_SYNC);
    EXPECT_EQ(vxp_packet_verify_checksum(nullptr), VXP_ERROR);
    EXPECT_EQ(vxp_packet_checksum(nullptr), 0u);
}

TEST(Packet, ChecksumSumsWrapAtEightBits) {
    // The payload drives both sums through many wraps; the reference in make_packet agrees.
    Bytes payload(200);
    for (size_t i = 0; i < payload.size(); i++)
        payload[i] = static_cast<uint8_t>(0xF0 + i * 7);
    Bytes packet = make_packet(0x93, payload);
    EXPECT_EQ(vxp_packet_checksum(packet.data()), (packet[204] << 8) | packet[205]);
    EXPECT_EQ(vxp_packet_verify_checksum(packet.data()), VXP_OK);
}

TEST(Packet, HeaderAccessors) {
    Bytes packet = make_packet(0x93, {4, 0x22, 0xAA, 0xBB});
    EXPECT_EQ(vxp_packet_check_sync(packet.data()), VXP_OK);
    EXPECT_EQ(vxp_packet_is_set(packet.data(), 0x93), VXP_OK);
    EXPECT_EQ(vxp_packet_is_set(packet.data(), 0x92), VXP_ERROR);
    EXPECT_EQ(vxp_packet_descriptor_set(packet.data()), 0x93);
    EXPECT_EQ(vxp_packet_payload_length(packet.data()), 4);
    EXPECT_EQ(vxp_packet_payload(packet.data()), packet.data() + 4);
    EXPECT_EQ(vxp_packet_size(packet.data()), 10);

    Bytes bad = {0x75, 0x66, 0x93, 0x00};
    EXPECT_EQ(vxp_packet_check_sync(bad.data()), VXP_BAD_SYNC);
    EXPECT_EQ(vxp_packet_is_set(bad.data(), 0x93), VXP_ERROR);
    EXPECT_EQ(vxp_packet_descriptor_set(bad.data()), 0);
    EXPECT_EQ(vxp_packet_payload(bad.data()), nullptr);
    EXPECT_EQ(vxp_packet_size(bad.data()), 0);
    EXPECT_EQ(vxp_packet_check_sync(nullptr), VXP_ERROR);
    EXPECT_EQ(vxp_packet_payload_length(nullptr), 0);
}

TEST(PacketFields, ThreeFieldsInOrderThenEnd) {
    Bytes packet = make_packet(0x80, {3, 0x04, 0x11, 2, 0x05, 4, 0x06, 0x22, 0x33});
    uint8_t* field = nullptr;
    uint8_t* data = nullptr;
    uint16_t offset = 0;
    const uint8_t* payload = packet.data() + 4;
    ASSERT_EQ(vxp_packet_first_field(packet.data(), &field, &data, &offset), VXP_OK);
    EXPECT_EQ(field, payload);
    EXPECT_EQ(data, payload + 2);
    EXPECT_EQ(field[1], 0x04);
    ASSERT_EQ(vxp_packet_next_field(packet.data(), &field, &data, &offset), VXP_OK);
    EXPECT_EQ(field, payload + 3);
    EXPECT_EQ(field[1], 0x05);
    ASSERT_EQ(vxp_packet_next_field(packet.data(), &field, &data, &offset), VXP_OK);
    EXPECT_EQ(field[1], 0x06);
    EXPECT_EQ(data[0], 0x22);
    EXPECT_EQ(vxp_packet_next_field(packet.data(), &field, &data, &offset), VXP_END_OF_FIELDS);
    EXPECT_EQ(offset, 9);
}

TEST(PacketFields, ZeroLengthFieldEndsTheWalk) {
    Bytes packet = make_packet(0x80, {3, 0x04, 0x11, 0, 0x05, 3, 0x06, 0x22});
    uint8_t* field = nullptr;
    uint8_t* data = nullptr;
    uint16_t offset = 0;
    ASSERT_EQ(vxp_packet_first_field(packet.data(), &field, &data, &offset), VXP_OK);
    EXPECT_EQ(vxp_packet_next_field(packet.data(), &field, &data, &offset), VXP_ERROR);
    EXPECT_EQ(offset, 3);  // not moved: calling again cannot loop forward
    EXPECT_EQ(vxp_packet_next_field(packet.data(), &field, &data, &offset), VXP_ERROR);
}

TEST(PacketFields, EmptyPayloadBadSyncAndNulls) {
    Bytes empty = {0x75, 0x65, 0x80, 0x00, 0x5A, 0x03};
    uint8_t* field = nullptr;
    uint8_t* data = nullptr;
    uint16_t offset = 0;
    EXPECT_EQ(vxp_packet_first_field(empty.data(), &field, &data, &offset), VXP_END_OF_FIELDS);
    Bytes bad = {0x75, 0x66, 0x80, 0x02, 2, 0x01, 0, 0};
    EXPECT_EQ(vxp_packet_first_field(bad.data(), &field, &data, &offset), VXP_BAD_SYNC);
    EXPECT_EQ(vxp_packet_first_field(empty.data(), &field, &data, nullptr), VXP_ERROR);
    EXPECT_EQ(vxp_packet_next_field(nullptr, &field, &data, &offset), VXP_ERROR);
}

TEST(PacketFields, DataLengthNeverReachesPastThePayload) {
    // Second field claims 20 bytes but only 3 payload bytes remain for it.
    Bytes packet = make_packet(0x80, {4, 0x04, 0x11, 0x12, 20, 0x05, 0x33});
    uint8_t* field = nullptr;
    uint8_t* data = nullptr;
    uint16_t offset = 0;
    ASSERT_EQ(vxp_packet_first_field(packet.data(), &field, &data, &offset), VXP_OK);
    EXPECT_EQ(vxp_field_data_length(packet.data(), field), 2);
    ASSERT_EQ(vxp_packet_next_field(packet.data(), &field, &data, &offset), VXP_OK);
    EXPECT_EQ(vxp_field_data_length(packet.data(), field), 1);
    EXPECT_EQ(vxp_packet_next_field(packet.data(), &field, &data, &offset), VXP_END_OF_FIELDS);
    EXPECT_EQ(vxp_field_data_length(packet.data(), packet.data() + 11), 0);  // outside the payload
    Bytes short_field = make_packet(0x80, {1, 0x04});
    EXPECT_EQ(vxp_field_data_length(short_field.data(), short_field.data() + 4), 0);
}

TEST(PacketBuild, LargestFieldFitsAndOneMoreByteIsRefused) {
    // The 261-byte frame limits the packet even when the caller's buffer is larger.
    for (uint16_t buffer_length : {uint16_t{VXP_MAX_PACKET_SIZE}, uint16_t{300}}) {
        std::vector<uint8_t> buffer(buffer_length);
        const Bytes data(254, 0x5C);
        ASSERT_EQ(vxp_packet_init(buffer.data(), buffer_length, 0x0D), VXP_OK);
        EXPECT_EQ(vxp_packet_add_field(buffer.data(), buffer_length, data.data(), 254, 0x01), VXP_SIZE_ERROR);
        EXPECT_EQ(buffer[3], 0);
        ASSERT_EQ(vxp_packet_add_field(buffer.data(), buffer_length, data.data(), 253, 0x01), VXP_OK);
        EXPECT_EQ(buffer[3], 255);
        EXPECT_EQ(buffer[4], 255);
        EXPECT_EQ(buffer[5], 0x01);
        EXPECT_EQ(vxp_packet_finalize(buffer.data()), VXP_MAX_PACKET_SIZE);
        EXPECT_EQ(vxp_packet_verify_checksum(buffer.data()), VXP_OK);
        EXPECT_EQ(vxp_packet_add_field(buffer.data(), buffer_length, nullptr, 0, 0x02), VXP_SIZE_ERROR);
        const uint8_t empty_field[2] = {2, 0x02};
        EXPECT_EQ(vxp_packet_append_field(buffer.data(), buffer_length, empty_field), VXP_SIZE_ERROR);
        EXPECT_EQ(buffer[3], 255);
    }
}

TEST(PacketBuild, FieldsMatchTheReferenceFrameAndRespectTheBufferLength) {
    uint8_t buffer[16];
    const uint8_t data[3] = {0xA1, 0xA2, 0xA3};
    EXPECT_EQ(vxp_packet_init(buffer, 5, 0x0D), VXP_SIZE_ERROR);
    EXPECT_EQ(vxp_packet_init(nullptr, 16, 0x0D), VXP_ERROR);
    ASSERT_EQ(vxp_packet_init(buffer, sizeof buffer, 0x0D), VXP_OK);
    EXPECT_EQ(vxp_packet_add_field(buffer, sizeof buffer, nullptr, 3, 0x01), VXP_ERROR);
    ASSERT_EQ(vxp_packet_add_field(buffer, sizeof buffer, data, 3, 0x01), VXP_OK);
    ASSERT_EQ(vxp_packet_add_field(buffer, sizeof buffer, nullptr, 0, 0x02), VXP_OK);
    const uint8_t field[4] = {4, 0x03, 0xB1, 0xB2};
    // 4 + 7 + 4 + 2 = 17 bytes would not fit the 16-byte buffer.
    EXPECT_EQ(vxp_packet_append_field(buffer, sizeof buffer, field), VXP_SIZE_ERROR);
    const uint8_t malformed[1] = {1};
    EXPECT_EQ(vxp_packet_append_field(buffer, sizeof buffer, malformed), VXP_SIZE_ERROR);
    const uint8_t small_field[3] = {3, 0x03, 0xB1};
    ASSERT_EQ(vxp_packet_append_field(buffer, sizeof buffer, small_field), VXP_OK);
    const uint16_t size = vxp_packet_finalize(buffer);
    const Bytes expected = make_packet(0x0D, {5, 0x01, 0xA1, 0xA2, 0xA3, 2, 0x02, 3, 0x03, 0xB1});
    ASSERT_EQ(size, expected.size());
    EXPECT_EQ(Bytes(buffer, buffer + size), expected);
    EXPECT_EQ(vxp_packet_finalize(nullptr), 0);
}

TEST(ByteOrder, ReversalInPlaceAndCopied) {
    Bytes odd = {1, 2, 3};
    vxp_byteswap_inplace(odd.data(), 3);
    EXPECT_EQ(odd, (Bytes{3, 2, 1}));
    Bytes even = {1, 2, 3, 4};
    vxp_byteswap_inplace(even.data(), 4);
    EXPECT_EQ(even, (Bytes{4, 3, 2, 1}));
    Bytes one = {9};
    vxp_byteswap_inplace(one.data(), 1);
    vxp_byteswap_inplace(one.data(), 0);
    EXPECT_EQ(one, Bytes{9});

    // A big-endian week number 2200 and the 12-byte time record rule.
    Bytes week = {0x08, 0x98};
    vxp_byteswap_inplace(week.data(), 2);
    uint16_t value = 0;
    std::memcpy(&value, week.data(), 2);
    EXPECT_EQ(value, 2200);

    const Bytes source = {1, 2, 3, 4, 5};
    Bytes destination(5);
    vxp_byteswap(source.data(), destination.data(), 5);
    EXPECT_EQ(destination, (Bytes{5, 4, 3, 2, 1}));
    Bytes same = {1, 2, 3, 4, 5};
    vxp_byteswap(same.data(), same.data(), 5);
    EXPECT_EQ(same, (Bytes{5, 4, 3, 2, 1}));
    vxp_byteswap(nullptr, destination.data(), 5);
    EXPECT_EQ(destination, (Bytes{5, 4, 3, 2, 1}));
}

}  // namespace
