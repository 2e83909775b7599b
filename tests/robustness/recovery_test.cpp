// Recovery from damaged logs: every packet the damage did not touch is delivered, except those
// consumed by a frame whose checksum holds by chance (recovery.h says how they are told apart).
#include "recovery.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>

#include "damage.h"
#include "packet_catalogue.h"
#include "tests/support/temp_dir.h"
#include "vxp/packet.h"
#include "vxp/records/sensor_records.h"

namespace robustness {
namespace {

constexpr uint32_t kFirstSeed = 1;
constexpr std::size_t kDamagedLogs = 1000;
constexpr std::size_t kPacketsPerLog = 40;

std::string describe(const RecoveryTally& tally) {
    char text[320];
    std::snprintf(text, sizeof text,
                  "%zu logs, %zu packets, %zu untouched by the damage, %zu of them delivered (%.4f%%); "
                  "%zu chance frames (%zu across damage), %zu losses explained by them",
                  tally.logs, tally.packets, tally.untouched, tally.untouched_delivered,
                  100.0 * tally.recovery_rate(), tally.chance_frames, tally.chance_frames_across_damage,
                  tally.lost_explained);
    return text;
}

void expect_only_accepted_losses(const RecoveryTally& tally) {
    EXPECT_EQ(tally.not_in_stream, 0u);
    EXPECT_EQ(tally.lost_unexplained, 0u);
    EXPECT_EQ(tally.untouched_delivered + tally.lost_explained, tally.untouched);
    for (const std::string& failure : tally.failures)
        ADD_FAILURE() << failure;
}

// A frame inserted before `target` that ends inside it: header, then two bytes chosen so that the
// checksum comes out equal to the two bytes of `target` where the frame's checksum lies. The
// frame reaches `covered` bytes into the target.
std::vector<uint8_t> chance_frame_prefix(const std::vector<uint8_t>& target, std::size_t covered) {
    constexpr std::size_t kChosen = 2;
    const std::size_t payload = kChosen + covered - VXP_CHECKSUM_SIZE;
    std::vector<uint8_t> frame = {VXP_SYNC1, VXP_SYNC2, VXP_SET_SENSOR, static_cast<uint8_t>(payload), 0, 0};
    frame.insert(frame.end(), target.begin(), target.begin() + static_cast<std::ptrdiff_t>(covered));
    // Two running sums: sum1 = sum of bytes, sum2 = sum of (n - i) * byte_i over n bytes.
    const std::size_t n = VXP_HEADER_SIZE + payload;
    unsigned sum1 = 0, sum2 = 0;
    for (std::size_t i = 0; i < n; ++i) {
        sum1 += frame[i];
        sum2 += static_cast<unsigned>(n - i) * frame[i];
    }
    const uint8_t want1 = frame[n], want2 = frame[n + 1];
    const uint8_t a = static_cast<uint8_t>(want1 - sum1);  // x + y
    const uint8_t b = static_cast<uint8_t>(want2 - sum2);  // (n-4) x + (n-5) y
    const uint8_t x = static_cast<uint8_t>(b - (n - 5) * a);
    const uint8_t y = static_cast<uint8_t>(a - x);
    return {VXP_SYNC1, VXP_SYNC2, VXP_SET_SENSOR, static_cast<uint8_t>(payload), x, y};
}

TEST(Recovery, AnUndamagedLogDeliversEveryPacketOnce) {
    TempDir dir;
    std::mt19937 random(kFirstSeed);
    const RandomLog original = random_log(random, 200);
    const RecoveryTally tally =
        check_recovery(undamaged(original.bytes), original.packet_starts, original.bytes.size(), dir.path());
    EXPECT_EQ(tally.untouched, 200u);
    EXPECT_EQ(tally.untouched_delivered, 200u);
    EXPECT_EQ(tally.chance_frames, 0u);
    expect_only_accepted_losses(tally);
}

TEST(Recovery, EveryUntouchedPacketOfDamagedLogsIsDelivered) {
    TempDir dir;
    const RecoveryTally tally = run_recovery_trials(kFirstSeed, kDamagedLogs, kPacketsPerLog, dir.path());
    std::printf("recovery: %s\n", describe(tally).c_str());
    RecordProperty("recovery", describe(tally));
    EXPECT_EQ(tally.logs, kDamagedLogs);
    // The damage must actually have touched packets, or the check proves nothing.
    EXPECT_LT(tally.untouched, tally.packets);
    EXPECT_GT(tally.untouched, tally.packets / 2);
    expect_only_accepted_losses(tally);
}

TEST(Recovery, AChanceChecksumMatchConsumesTheUntouchedPacketItOverlaps) {
    TempDir dir;
    std::mt19937 random(kFirstSeed);
    const RandomLog original = random_log(random, 5);
    DamagedLog log = undamaged(original.bytes);
    const std::size_t third = original.packet_starts[2];
    const std::vector<uint8_t> target(original.bytes.begin() + static_cast<std::ptrdiff_t>(third),
                                      original.bytes.begin() + static_cast<std::ptrdiff_t>(third) + 12);
    insert_garbage(log, third, chance_frame_prefix(target, 10));

    const RecoveryTally tally =
        check_recovery(log, original.packet_starts, original.bytes.size(), dir.path());
    EXPECT_EQ(tally.untouched, 5u);  // the garbage lies between packets: it touches none
    EXPECT_EQ(tally.untouched_delivered, 4u);
    EXPECT_EQ(tally.chance_frames, 1u);
    EXPECT_EQ(tally.chance_frames_across_damage, 1u);
    EXPECT_EQ(tally.lost_explained, 1u);
    expect_only_accepted_losses(tally);
}

TEST(Recovery, AFalseHeaderNearTheEndDoesNotHideTheLastPackets) {
    TempDir dir;
    std::mt19937 random(kFirstSeed + 1);
    const RandomLog original = random_log(random, 6);
    DamagedLog log = undamaged(original.bytes);
    // Announces 255 payload bytes: more than the rest of the file holds.
    insert_garbage(log, original.packet_starts[4], {VXP_SYNC1, VXP_SYNC2, VXP_SET_SENSOR, 0xFF});

    const RecoveryTally tally =
        check_recovery(log, original.packet_starts, original.bytes.size(), dir.path());
    EXPECT_EQ(tally.untouched_delivered, 6u);
    expect_only_accepted_losses(tally);
}

}  // namespace
}  // namespace robustness
