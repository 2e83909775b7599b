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

namespace {

constexpr std::size_t kCells = 12;  // gyro, accel, delta theta, delta velocity: x, y, z each
const char* const kColumns[kCells] = {"gyro_x_rad_s", "gyro_y_rad_s", "gyro_z_rad_s", "accel_x_m_s2",
                                      "accel_y_m_s2", "accel_z_m_s2", "dtheta_x_rad", "dtheta_y_rad",
                                      "dtheta_z_rad", "dvel_x_m_s",   "dvel_y_m_s",   "dvel_z_m_s"};

struct Row {
    double week = 0;
    double seconds = 0;
    std::array<std::optional<double>, kCells> cells{};
};

// The rows the log calls for: every packet with a time tag and a sensor vector, in log order.
class LoggedRows final : public RecordConsumer {
  public:
    std::vector<Row> rows;

    void sensor_packet(const SensorPacketRecords& r) override {
        const SensorVector* const vectors[] = {r.scaled_gyro, r.scaled_accel, r.delta_theta,
                                               r.delta_velocity};
        const double units[] = {1.0, kStandardGravity, 1.0, kStandardGravity};
        Row row;
        for (std::size_t v = 0; v < 4; ++v) {
            if (vectors[v] == nullptr)
                continue;
            const float axes[] = {vectors[v]->x, vectors[v]->y, vectors[v]->z};
            for (std::size_t a = 0; a < 3; ++a)
                row.cells[3 * v + a] = static_cast<double>(axes[a]) * units[v];
        }
        const GpsTimestamp* const tag = r.tag();
        if (tag == nullptr || std::none_of(row.cells.begin(), row.cells.end(), [](auto& c) { return !!c; }))
            return;
        row.week = tag->week_number;
        row.seconds = tag->time_of_week;
        rows.push_back(row);
    }
};

std::vector<Row> logged_rows(const std::string& log) {
    LogSource source;
    LogReader reader(source);
    LoggedRows rows;
    EXPECT_TRUE(source.open(log, "") && reader.read(rows)) << log;
    return rows.rows;
}

// A number cell read back whole with strtod; an empty cell gives none.
std::optional<double> number(const std::string& text) {
    if (text.empty())
        return std::nullopt;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    EXPECT_EQ(end, text.c_str() + text.size()) << text;
    return value;
}

// The file's rows, each cell under its column; `header` gets the first line.
std::vector<Row> csv_rows(const std::string& text, std::string& header) {
    std::istringstream lines(text);
    std::getline(lines, header);
    std::vector<std::string> columns;
    std::istringstream names(header);
    for (std::string name; std::getline(names, name, ',');)
        columns.push_back(name);
    std::vector<Row> rows;
    for (std::string line; std::getline(lines, line);) {
        std::vector<std::string> cells;
        std::size_t start = 0;
        for (std::size_t comma; (comma = line.find(',', start)) != std::string::npos; start = comma + 1)
            cells.push_back(line.substr(start, comma - start));
        cells.push_back(line.substr(start));
        EXPECT_EQ(cells.size(), columns.size()) << line;
        Row row{number(cells[0]).value_or(-1), number(cells[1]).value_or(-1), {}};
        for (std::size_t c = 2; c < std::min(cells.size(), columns.size()); ++c)
            row.cells[std::find(kColumns, kColumns + kCells, columns[c]) - kColumns] = number(cells[c]);
        rows.push_back(row);
    }
    return rows;
}

void expect_exact(const std::optional<double>& file, const std::optional<double>& logged, std::size_t row) {
    ASSERT_EQ(file.has_value(), logged.has_value()) << "row " << row;
    if (file && !(std::isnan(*file) && std::isnan(*logged))) {
        EXPECT_EQ(*file, *logged) << "row " << row;
    }
}

// Converts with "novatel,csv", then checks the CSV file against the log and the IMR file against the
// CSV file: its records are the rows with both measurements of its kind, each count the nearest to
// the row's value.
void check_against_log(const Conversion& c, const std::string& expected_header, bool delta_mode) {
    ASSERT_EQ(c.exit_code, 0) << c.console;
    std::string header;
    const std::vector<Row> rows = csv_rows(read_text(c.dir + "/log.imu.csv"), header);
    const std::vector<Row> logged = logged_rows(c.dir + "/log.vxp");
    EXPECT_EQ(header, expected_header);
    ASSERT_EQ(rows.size(), logged.size());
    std::size_t records = 0;
    const std::vector<uint8_t> imr = read_bytes(c.dir + "/log.imr");
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].week, logged[i].week) << "row " << i;
        EXPECT_EQ(rows[i].seconds, logged[i].seconds) << "row " << i;
        for (std::size_t k = 0; k < kCells; ++k)
            expect_exact(rows[i].cells[k], logged[i].cells[k], i);
        const std::size_t first = delta_mode ? 6 : 0;
        if (!std::all_of(&rows[i].cells[first], &rows[i].cells[first + 6], [](auto& v) { return !!v; }))
            continue;
        const std::size_t base = kImrHeaderSize + records++ * kImrRecordSize;
        ASSERT_LE(base + kImrRecordSize, imr.size());
        EXPECT_EQ(little_endian<double>(imr, base), rows[i].seconds);
        for (std::size_t k = 0; k < 6; ++k) {
            const double scale = k < 3 ? kImrGyroScale / kDegreesPerRadian : kImrAccelScale;
            EXPECT_LE(
                std::abs(*rows[i].cells[first + k] / scale - little_endian<int32_t>(imr, base + 8 + 4 * k)),
                0.5);
        }
    }
    EXPECT_EQ(imr.size(), kImrHeaderSize + records * kImrRecordSize);
}

const std::string kTimeColumns = "gps_week,gps_seconds";
const std::string kRateColumns =
    ",gyro_x_rad_s,gyro_y_rad_s,gyro_z_rad_s,accel_x_m_s2,accel_y_m_s2,accel_z_m_s2";
const std::string kIncrementColumns =
    ",dtheta_x_rad,dtheta_y_rad,dtheta_z_rad,dvel_x_m_s,dvel_y_m_s,dvel_z_m_s";

}  // namespace

TEST(ImuCsv, SampleValuesAreTheLoggedIncrementsAndAgreeWithTheImrFile) {
    const Conversion c =
        convert_copy(SAMPLE_DIR "/sample.vxp", SAMPLE_DIR "/sample.truth.json", "novatel,csv");
    check_against_log(c, kTimeColumns + kIncrementColumns, true);
}

TEST(ImuCsv, SimulatedBothShapesAreTheLoggedValuesAndAgreeWithTheImrFile) {
    const Conversion c = simulate_and_convert(
        "--duration 60 --receivers 0 --imu-data both --imu-rate 200 --seed 11", "novatel,csv");
    ASSERT_TRUE(c.simulated) << c.dir;
    check_against_log(c, kTimeColumns + kRateColumns + kIncrementColumns, true);
}
