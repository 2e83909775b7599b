// The command table of set 0x0D: sizes, request data (selector rule, big-endian values) and the
// validation and decoding of reply fields.
#include "vxp/device/command_set.h"

#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

struct Listed {
    uint8_t descriptor;
    uint16_t request_size;
    uint8_t reply_descriptor;
    uint16_t reply_size;
};

// Request sizes include the selector; reply sizes are the values of the reply field.
constexpr Listed kListed[] = {
    {0x01, 0, 0, 0},      {0x02, 12, 0, 0},     {0x03, 4, 0, 0},      {0x04, 4, 0, 0},
    {0x10, 2, 0x80, 1},   {0x11, 13, 0x81, 12}, {0x12, 13, 0x82, 12}, {0x13, 13, 0x83, 12},
    {0x14, 3, 0x84, 2},   {0x15, 2, 0x86, 1},   {0x16, 70, 0, 0},     {0x17, 9, 0, 0},
    {0x18, 2, 0x87, 1},   {0x19, 2, 0x88, 1},   {0x1A, 13, 0x89, 12}, {0x1B, 13, 0x8A, 12},
    {0x1C, 25, 0x8B, 24}, {0x1D, 25, 0x8C, 24}, {0x1E, 6, 0x8D, 5},   {0x1F, 19, 0, 0},
    {0x20, 6, 0x8E, 5},   {0x21, 2, 0, 0},      {0x22, 0, 0, 0},      {0x23, 0, 0, 0},
    {0x26, 26, 0x90, 25}, {0x41, 3, 0xB0, 2},   {0x42, 13, 0xB1, 12}, {0x43, 2, 0xB2, 1},
    {0x44, 26, 0xB3, 25}, {0x45, 26, 0xB4, 25}, {0x46, 18, 0xB5, 17}, {0x4E, 37, 0xBE, 36},
    {0x4F, 17, 0xBF, 16},
};

Bytes request_of(uint8_t descriptor, uint8_t selector, const void* values, uint16_t values_size) {
    uint8_t request[VXP_COMMAND_MAX_REQUEST];
    uint16_t length = 0;
    const vxp_command_layout* command = vxp_command_find(descriptor);
    EXPECT_NE(command, nullptr);
    EXPECT_EQ(
        vxp_command_build_request(command, selector, values, values_size, request, sizeof request, &length),
        0);
    return Bytes(request, request + length);
}

}  // namespace

TEST(CommandTable, HasEveryCommandWithItsSizesAndReplyDescriptor) {
    size_t count = 0;
    const vxp_command_layout* table = vxp_command_table(&count);
    ASSERT_EQ(count, std::size(kListed));
    for (size_t i = 0; i < count; ++i) {
        const Listed& listed = kListed[i];
        SCOPED_TRACE(testing::Message() << "command 0x" << std::hex << int(listed.descriptor));
        ASSERT_EQ(table[i].descriptor, listed.descriptor);
        EXPECT_EQ(vxp_command_find(listed.descriptor), &table[i]);
        EXPECT_EQ(vxp_command_request_size(&table[i]), listed.request_size);
        EXPECT_EQ(table[i].reply_descriptor, listed.reply_descriptor);
        EXPECT_EQ(vxp_layout_size(table[i].reply_values), listed.reply_size);
        EXPECT_LE(listed.request_size, VXP_COMMAND_MAX_REQUEST);
    }
    EXPECT_EQ(vxp_command_find(0x05), nullptr);
    EXPECT_EQ(vxp_command_find(0x00), nullptr);
}

TEST(CommandLayout, SizesAndSwapsMembersOneByOne) {
    EXPECT_EQ(vxp_layout_size(""), 0);
    EXPECT_EQ(vxp_layout_size("dH3d9f"), 8 + 2 + 24 + 36);
    EXPECT_EQ(vxp_layout_size("3x"), 0);  // malformed
    EXPECT_EQ(vxp_layout_size("0f"), 0);
    EXPECT_EQ(vxp_layout_size(nullptr), 0);
    uint8_t values[] = {0xAA, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    vxp_layout_byteswap("BIHI", values);
    const uint8_t swapped[] = {0xAA, 4, 3, 2, 1, 6, 5, 10, 9, 8, 7};
    EXPECT_EQ(memcmp(values, swapped, sizeof values), 0);
}

TEST(CommandRequest, ApplySelectorSendsBigEndianValues) {
    const float axes[3] = {1.0f, -2.0f, 0.5f};
    EXPECT_EQ(request_of(0x11, VXP_FUNCTION_APPLY, axes, sizeof axes),
              Bytes({0x01, 0x3F, 0x80, 0x00, 0x00, 0xC0, 0x00, 0x00, 0x00, 0x3F, 0x00, 0x00, 0x00}));
    const uint8_t mode_and_rate[5] = {7, 0x78, 0x56, 0x34, 0x12};  // u8 then little-endian u32 0x12345678
    EXPECT_EQ(request_of(0x1E, VXP_FUNCTION_APPLY, mode_and_rate, sizeof mode_and_rate),
              Bytes({0x01, 0x07, 0x12, 0x34, 0x56, 0x78}));
}

TEST(CommandRequest, OtherSelectorsSendZerosAtFullLength) {
    const float axes[3] = {1.0f, -2.0f, 0.5f};
    Bytes expected(13, 0x00);
    expected[0] = 2;
    EXPECT_EQ(request_of(0x11, 2, axes, sizeof axes), expected);  // values given but not sent
    expected[0] = 5;
    EXPECT_EQ(request_of(0x11, 5, nullptr, 0), expected);
    EXPECT_EQ(request_of(0x21, 3, nullptr, 0), Bytes({0x03, 0x00}));
}

TEST(CommandRequest, CommandsWithoutSelectorSendTheirValues) {
    // 0x16: f64, u16, 3 x f64, 9 x f32.
    uint8_t values[70] = {};
    const double time = 1.0;
    const uint16_t week = 0x0898;
    const float last = -1.0f;
    memcpy(values, &time, 8);
    memcpy(values + 8, &week, 2);
    memcpy(values + 66, &last, 4);
    const Bytes request = request_of(0x16, 0x77, values, sizeof values);  // no selector: 0x77 is ignored
    ASSERT_EQ(request.size(), 70u);
    EXPECT_EQ(Bytes(request.begin(), request.begin() + 10),
              Bytes({0x3F, 0xF0, 0, 0, 0, 0, 0, 0, 0x08, 0x98}));
    EXPECT_EQ(Bytes(request.end() - 4, request.end()), Bytes({0xBF, 0x80, 0x00, 0x00}));
    EXPECT_TRUE(request_of(0x01, 0, nullptr, 0).empty());
}

TEST(CommandRequest, RefusesValuesThatDoNotMatchTheLayout) {
    const vxp_command_layout* command = vxp_command_find(0x11);
    uint8_t request[VXP_COMMAND_MAX_REQUEST];
    uint16_t length = 9;
    const float axes[2] = {};
    EXPECT_EQ(vxp_command_build_request(command, 1, axes, sizeof axes, request, sizeof request, &length), 2);
    EXPECT_EQ(length, 0);
    EXPECT_EQ(vxp_command_build_request(command, 1, nullptr, 12, request, sizeof request, &length), 2);
    EXPECT_EQ(vxp_command_build_request(command, 2, nullptr, 0, request, 12, &length), 2);  // no room
    EXPECT_EQ(vxp_command_build_request(nullptr, 2, nullptr, 0, request, sizeof request, &length), 1);
    EXPECT_EQ(
        vxp_command_build_request(vxp_command_find(0x02), 0, nullptr, 0, request, sizeof request, &length),
        2);
}

TEST(CommandReply, ChecksDescriptorAndLengthThenDecodes) {
    const vxp_command_layout* command = vxp_command_find(0x26);  // u8, 3 x f64
    uint8_t field[2 + 25] = {27, 0x90, 0x04, 0x3F, 0xF0};        // 4, then 1.0, 0.0, 0.0
    uint8_t reply[25] = {};
    ASSERT_EQ(vxp_command_read_reply(command, field, sizeof field, reply, sizeof reply), 0);
    double first = 0;
    memcpy(&first, reply + 1, sizeof first);
    EXPECT_EQ(reply[0], 4);
    EXPECT_EQ(first, 1.0);

    EXPECT_EQ(vxp_command_read_reply(command, field, sizeof field - 1, reply, sizeof reply),
              1);  // packet short
    EXPECT_EQ(vxp_command_read_reply(command, field, sizeof field, reply, sizeof reply - 1), 2);
    EXPECT_EQ(vxp_command_read_reply(command, nullptr, 0, reply, sizeof reply), 1);
    field[0] = 26;  // length byte short of 2 + 25
    EXPECT_EQ(vxp_command_read_reply(command, field, sizeof field, reply, sizeof reply), 1);
    field[0] = 27;
    field[1] = 0x8E;  // not this command's reply
    EXPECT_EQ(vxp_command_read_reply(command, field, sizeof field, reply, sizeof reply), 1);
    EXPECT_EQ(vxp_command_read_reply(vxp_command_find(0x01), field, sizeof field, reply, 0), 1);  // ack only
}
