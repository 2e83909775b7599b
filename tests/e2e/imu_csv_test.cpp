// The IMU CSV file against the log it came from: every cell the exact double of the logged record
// in SI units (read back with strtod), every timed sample a row, and the IMR file of the same run
// the same samples to its count.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <sstream>

#include "convert/log_reader.h"
#include "convert/log_source.h"
#include "tests/e2e/e2e_support.h"
#include "tests/support/lines.h"

namespace {

// gps_week, gps_seconds, then gyro, accel, delta theta and delta velocity, x, y and z each.
const std::vector<std::string> kColumns = {"gps_week",     "gps_seconds",  "gyro_x_rad_s", "gyro_y_rad_s",
                                           "gyro_z_rad_s", "accel_x_m_s2", "accel_y_m_s2", "accel_z_m_s2",
                                           "dtheta_x_rad", "dtheta_y_rad", "dtheta_z_rad", "dvel_x_m_s",
                                           "dvel_y_m_s",   "dvel_z_m_s"};
using Row = std::array<std::optional<double>, 14>;

// The rows the log calls for: every packet with a time tag and a sensor vector, in log order.
struct LoggedRows final : RecordConsumer {
    std::vector<Row> rows;

    void sensor_packet(const SensorPacketRecords& r) override {
        const SensorVector* const vectors[] = {r.scaled_gyro, r.scaled_accel, r.delta_theta,
                                               r.delta_velocity};
        Row row{};
        for (std::size_t v = 0; v < 4; ++v) {
            const double unit = v % 2 == 0 ? 1.0 : kStandardGravity;
            for (std::size_t a = 0; vectors[v] != nullptr && a < 3; ++a)
                row[2 + 3 * v + a] = static_cast<double>((&vectors[v]->x)[a]) * unit;
        }
        if (r.tag() == nullptr || std::none_of(row.begin(), row.end(), [](auto& c) { return c.has_value(); }))
            return;
        row[0] = r.tag()->week_number;
        row[1] = r.tag()->time_of_week;
        rows.push_back(row);
    }
};

// The cells of a line, each read back whole with strtod (none for an empty one), under the
// column of the header's name.
Row read_row(const std::string& line, const std::vector<std::string>& header) {
    Row row{};
    std::size_t start = 0;
    for (const std::string& column : header) {
        const std::size_t end = std::min(line.find(',', start), line.size());
        const std::string cell = start <= line.size() ? line.substr(start, end - start) : "";
        char* stop = nullptr;
        const auto k =
            static_cast<std::size_t>(std::find(kColumns.begin(), kColumns.end(), column) - kColumns.begin());
        if (!cell.empty() && k < row.size())
            row[k] = std::strtod(cell.c_str(), &stop);
        EXPECT_TRUE(cell.empty() || *stop == '\0') << line;
        start = end + 1;
    }
    EXPECT_EQ(start, line.size() + 1) << line;
    return row;
}

bool same(const std::optional<double>& a, const std::optional<double>& b) {
    return a.has_value() == b.has_value() && (!a || *a == *b || (std::isnan(*a) && std::isnan(*b)));
}

// Converts with "novatel,csv", then checks the CSV file against the log, and the IMR file against
// the CSV file: its records are the rows with both measurements of its kind, each count the
// nearest to the row's value.
void check_against_log(const Conversion& c, const std::string& expected_header, bool delta_mode) {
    ASSERT_EQ(c.exit_code, 0) << c.console;
    const std::vector<std::string> lines = read_lines(c.dir + "/log.imu.csv");
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], expected_header);
    std::vector<std::string> header;
    std::istringstream names(expected_header);
    for (std::string name; std::getline(names, name, ',');)
        header.push_back(name);
    LogSource source;
    LogReader reader(source);
    LoggedRows logged;
    ASSERT_TRUE(source.open(c.dir + "/log.vxp", "") && reader.read(logged));
    ASSERT_EQ(lines.size(), logged.rows.size() + 1);
    const std::vector<uint8_t> imr = read_bytes(c.dir + "/log.imr");
    const std::size_t first = delta_mode ? 8 : 2;  // the IMR file's six measurements
    std::size_t records = 0;
    for (std::size_t i = 0; i < logged.rows.size(); ++i) {
        const Row row = read_row(lines[i + 1], header);
        EXPECT_TRUE(std::equal(row.begin(), row.end(), logged.rows[i].begin(), same)) << lines[i + 1];
        if (!std::all_of(&row[first], &row[first] + 6, [](auto& v) { return v.has_value(); }))
            continue;
        const std::size_t base = kImrHeaderSize + records++ * kImrRecordSize;
        ASSERT_LE(base + kImrRecordSize, imr.size());
        EXPECT_EQ(little_endian<double>(imr, base), *row[1]);
        for (std::size_t k = 0; k < 6; ++k) {
            const double value = *row[first + k];
            const double counts = k < 3 ? value * kImrDegreesPerRadian / kImrGyroScale : value / kImrAccelScale;
            EXPECT_LE(std::abs(counts - little_endian<int32_t>(imr, base + 8 + 4 * k)), 0.5) << lines[i + 1];
        }
    }
    EXPECT_EQ(imr.size(), kImrHeaderSize + records * kImrRecordSize);
}

const std::string kIncrementColumns =
    ",dtheta_x_rad,dtheta_y_rad,dtheta_z_rad,dvel_x_m_s,dvel_y_m_s,dvel_z_m_s";

}  // namespace

TEST(ImuCsv, SampleValuesAreTheLoggedIncrementsAndAgreeWithTheImrFile) {
    check_against_log(convert_copy(SAMPLE_DIR "/sample.vxp", SAMPLE_DIR "/sample.truth.json", "-inertial_data novatel,csv"),
                      "gps_week,gps_seconds" + kIncrementColumns, true);
}

TEST(ImuCsv, SimulatedBothShapesAreTheLoggedValuesAndAgreeWithTheImrFile) {
    const Conversion c = simulate_and_convert(
        "--duration 60 --receivers 0 --imu-data both --imu-rate 200 --seed 11", "-inertial_data novatel,csv");
    ASSERT_TRUE(c.simulated) << c.dir;
    check_against_log(c,
                      "gps_week,gps_seconds,gyro_x_rad_s,gyro_y_rad_s,gyro_z_rad_s,accel_x_m_s2,accel_y_m_s2,"
                      "accel_z_m_s2" +
                          kIncrementColumns,
                      true);
}
