// Writes the IMU CSV file: each row's text is composed straight into a reused block, which goes
// out in one write when it fills, so that the numbers' text is the only cost per sample.
#include "imu_csv/imu_csv_writer.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <string_view>

#include "output/output_file.h"

namespace {

// Metres per second squared per g: the scaled accelerations and the velocity increments are
// logged in g and g*s.
constexpr double kStandardGravity = 9.80665;

constexpr std::string_view kTimeColumns = "gps_week,gps_seconds";
constexpr std::string_view kRateColumns =
    ",gyro_x_rad_s,gyro_y_rad_s,gyro_z_rad_s,accel_x_m_s2,accel_y_m_s2,accel_z_m_s2";
constexpr std::string_view kIncrementColumns =
    ",dtheta_x_rad,dtheta_y_rad,dtheta_z_rad,dvel_x_m_s,dvel_y_m_s,dvel_z_m_s";
// The spellings of the values that are no number, which C's strtod, Python, pandas and MATLAB
// all read back.
constexpr std::string_view kNotANumber = "NaN";
constexpr std::string_view kInfinity = "Inf";
constexpr std::string_view kMinusInfinity = "-Inf";

// Bytes of text gathered before one write.
constexpr std::size_t kBlockSize = 256 * 1024;
// Room that one number's text always fits in: in fixed notation a double has at most 309 integer
// digits, or 324 decimals after "-0."; in the shorter notation at most 24 characters.
constexpr std::size_t kNumberRoom = 330;
// Room that one row always fits in: the week (5 characters), a comma and the time in fixed
// notation, then twelve values of at most 24 characters after their commas, and the line end: 634.
constexpr std::size_t kRowRoom = 1024;

char* put_text(char* out, std::string_view text) {
    std::memcpy(out, text.data(), text.size());
    return out + text.size();
}

// The shortest text that reads back to the same double; the time in fixed notation, as seconds
// of week read best, each measurement in the shorter of fixed and scientific notation.
char* put_number(char* out, double value, std::chars_format format) {
    if (std::isnan(value))
        return put_text(out, kNotANumber);
    if (std::isinf(value))
        return put_text(out, value < 0 ? kMinusInfinity : kInfinity);
    return std::to_chars(out, out + kNumberRoom, value, format).ptr;
}

// Three cells of a vector in SI units (the logged value times `unit`), or three empty cells.
char* put_vector(char* out, const SensorVector* vector, double unit) {
    if (vector == nullptr)
        return put_text(out, ",,,");
    for (const float axis : {vector->x, vector->y, vector->z}) {
        *out++ = ',';
        out = put_number(out, static_cast<double>(axis) * unit, std::chars_format::general);
    }
    return out;
}

}  // namespace

// The text of the rows, gathered in one block that is written whenever a row might not fit.
class ImuCsvFileStream::Rows {
  public:
    explicit Rows(OutputFile& file) : file_(file), block_(new char[kBlockSize + kRowRoom]) {}

    // Where the next row's text goes: it may take kRowRoom bytes. Null once a write failed.
    char* next() {
        if (used_ >= kBlockSize && !flush())
            return nullptr;
        return block_.get() + used_;
    }
    void written(const char* end) { used_ = static_cast<std::size_t>(end - block_.get()); }

    bool flush() {
        const bool ok = file_.write(block_.get(), used_);
        used_ = 0;
        return ok;
    }

  private:
    OutputFile& file_;
    std::unique_ptr<char[]> block_;
    std::size_t used_ = 0;
};

ImuCsvFileStream::ImuCsvFileStream(const ImuCsvSettings& settings, const WriterContext& context)
    : settings_(settings), context_(context) {}

ImuCsvFileStream::~ImuCsvFileStream() = default;

bool ImuCsvFileStream::begin() {
    file_ = std::make_unique<OutputFile>();
    if (!file_->open(settings_.file_name))
        return false;
    rows_ = std::make_unique<Rows>(*file_);
    context_.messages.write("Writing inertial data to CSV file... ");
    char* out = rows_->next();
    out = put_text(out, kTimeColumns);
    if (settings_.columns.rates)
        out = put_text(out, kRateColumns);
    if (settings_.columns.increments)
        out = put_text(out, kIncrementColumns);
    *out++ = '\n';
    rows_->written(out);
    ok_ = true;
    return ok_;
}

bool ImuCsvFileStream::add(const GpsTimestamp& tag, const SensorVector* delta_theta,
                           const SensorVector* delta_velocity, const SensorVector* scaled_gyro,
                           const SensorVector* scaled_accel) {
    if (!ok_)
        return false;
    const ImuCsvColumns& columns = settings_.columns;
    const bool measured = (columns.rates && (scaled_gyro != nullptr || scaled_accel != nullptr)) ||
                          (columns.increments && (delta_theta != nullptr || delta_velocity != nullptr));
    if (!measured || !settings_.window.contains(gps_seconds(tag.time_of_week, tag.week_number)))
        return true;
    char* out = rows_->next();
    if (out == nullptr) {
        ok_ = false;
        return ok_;
    }
    out = std::to_chars(out, out + kNumberRoom, tag.week_number).ptr;
    *out++ = ',';
    out = put_number(out, tag.time_of_week, std::chars_format::fixed);
    if (columns.rates) {
        out = put_vector(out, scaled_gyro, 1.0);
        out = put_vector(out, scaled_accel, kStandardGravity);
    }
    if (columns.increments) {
        out = put_vector(out, delta_theta, 1.0);
        out = put_vector(out, delta_velocity, kStandardGravity);
    }
    *out++ = '\n';
    rows_->written(out);
    return true;
}

WriterOutcome ImuCsvFileStream::finish() {
    if (file_ == nullptr)
        return {};
    if (rows_ != nullptr)
        rows_->flush();
    return close_with_progress(*file_, rows_ != nullptr, context_);
}
