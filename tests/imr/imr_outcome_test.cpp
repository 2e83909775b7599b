// What write_imr_file reports: the written file and its messages, and file errors (a file that
// cannot be created, a full disk) with the file name and the system's reason.
#include <cerrno>
#include <filesystem>

#include "imr/imr_writer.h"
#include "imr_test_support.h"

using namespace imr_test;

namespace {

constexpr const char* kFullDevice = "/dev/full";

struct ExportRun {
    WriterOutcome outcome;
    std::string console;
};

ExportRun export_capturing_messages(const std::string& path, VxpDataStore& store) {
    CapturedMessages messages;
    ExportRun run;
    run.outcome = export_imr(path, store, messages);
    run.console = messages.text();
    return run;
}

void fill_samples(VxpDataStore& store, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) {
        store.imu_timestamps.push_back(tag(1000.0 + 0.01 * i));
        store.scaled_gyro.push_back({vec(1, 2, 3), i});
        store.scaled_accel.push_back({vec(0, 0, -1), i});
    }
}

}  // namespace

TEST(ImrOutcome, WrittenFileAndItsMessagesOnOneLine) {
    ScratchDir dir;
    VxpDataStore store;
    fill_samples(store, 3);
    const std::string path = dir.file("run.imr");
    const ExportRun run = export_capturing_messages(path, store);
    EXPECT_EQ(run.outcome.status, WriterOutcome::Status::written);
    EXPECT_TRUE(static_cast<bool>(run.outcome));
    EXPECT_EQ(run.outcome.file_name, path);
    EXPECT_EQ(run.console, "Writing inertial data to IMR file... done.\n");
    EXPECT_EQ(read_bytes(path).size(), kHeaderSize + 3 * kRecordSize);
}

// A window that holds no record writes no file: the one of that name keeps its bytes, and the
// run, not the writer, says so. Without a window, a log without records gives the header alone.
TEST(ImrOutcome, AnExistingFileIsReplacedUnlessTheWindowHoldsNoRecord) {
    ScratchDir dir;
    const std::string path = dir.file("run.imr");
    VxpDataStore big;
    fill_samples(big, 50);
    ASSERT_TRUE(export_imr(path, big));
    const std::vector<uint8_t> before = read_bytes(path);
    GpsTimeWindow after_the_samples;
    after_the_samples.start = gps_seconds(1000.5, kWeek);
    CapturedMessages messages;
    const ImrFileSettings settings{path, kGyroScale, kAccelScale, after_the_samples};
    EXPECT_EQ(write_imr_file(big, settings, test_context(messages)).status, WriterOutcome::Status::skipped);
    EXPECT_EQ(messages.text(), "");
    EXPECT_EQ(read_bytes(path), before);
    VxpDataStore empty;
    ASSERT_TRUE(export_imr(path, empty));
    EXPECT_EQ(read_bytes(path).size(), kHeaderSize);
}

TEST(ImrOutcome, FileThatCannotBeCreatedIsAFileErrorWithoutMessages) {
    ScratchDir dir;
    VxpDataStore store;
    fill_samples(store, 3);
    const std::string path = dir.file("missing/run.imr");
    const ExportRun run = export_capturing_messages(path, store);
    EXPECT_EQ(run.outcome.status, WriterOutcome::Status::file_error);
    EXPECT_FALSE(static_cast<bool>(run.outcome));
    EXPECT_EQ(run.outcome.file_name, path);
    EXPECT_EQ(run.outcome.reason, std::strerror(ENOENT));
    EXPECT_EQ(run.console, "");
    EXPECT_FALSE(std::filesystem::exists(path));

    const ExportRun on_directory = export_capturing_messages(dir.file(""), store);
    EXPECT_EQ(on_directory.outcome.status, WriterOutcome::Status::file_error);
    EXPECT_EQ(on_directory.outcome.reason, std::strerror(EISDIR));
}

TEST(ImrOutcome, FullDiskIsAFileError) {
    if (!std::filesystem::exists(kFullDevice))
        GTEST_SKIP() << kFullDevice << " is not available";
    VxpDataStore store;
    // The header alone stays in the stream buffer: the failure shows when the file is closed.
    ExportRun run = export_capturing_messages(kFullDevice, store);
    EXPECT_EQ(run.outcome.status, WriterOutcome::Status::file_error);
    EXPECT_EQ(run.outcome.file_name, kFullDevice);
    EXPECT_EQ(run.outcome.reason, std::strerror(ENOSPC));
    // The progress line is ended so that the run's error message starts a line of its own.
    EXPECT_EQ(run.console, "Writing inertial data to IMR file... \n");

    // Enough records for whole blocks: the failure shows at a block write.
    fill_samples(store, 30000);
    run = export_capturing_messages(kFullDevice, store);
    EXPECT_EQ(run.outcome.status, WriterOutcome::Status::file_error);
    EXPECT_EQ(run.outcome.reason, std::strerror(ENOSPC));
    EXPECT_EQ(run.console, "Writing inertial data to IMR file... \n");
}
