#include "quality/single_point.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "quality/atmosphere.h"
#include "store/gps_time_window.h"

namespace {
constexpr int kMaxUnknowns = 5;  // x, y, z and a clock per system
constexpr int kMaxIterations = 10;
constexpr double kConvergedM = 1e-4;
// Below this distance from the Earth's centre the position is still too rough for elevations.
constexpr double kRoughPositionM = 1e6;
// A solution whose residuals scatter more than this is a wrong one (a bad range or orbit).
constexpr double kMaxResidualRmsM = 100.0;
// Heights a receiver on or above the ground can have, m.
constexpr double kLowestHeightM = -1000.0;
constexpr double kHighestHeightM = 100000.0;

using Matrix = std::array<std::array<double, kMaxUnknowns>, kMaxUnknowns>;
using Vector = std::array<double, kMaxUnknowns>;

// Solves N x = b for the first n unknowns by Gaussian elimination with partial pivoting.
bool solve(Matrix n_matrix, Vector b, int n, Vector& x) {
    for (int c = 0; c < n; ++c) {
        int pivot = c;
        for (int r = c + 1; r < n; ++r)
            if (std::fabs(n_matrix[r][c]) > std::fabs(n_matrix[pivot][c]))
                pivot = r;
        if (std::fabs(n_matrix[pivot][c]) < 1e-12)
            return false;
        std::swap(n_matrix[c], n_matrix[pivot]);
        std::swap(b[c], b[pivot]);
        for (int r = c + 1; r < n; ++r) {
            const double f = n_matrix[r][c] / n_matrix[c][c];
            for (int k = c; k < n; ++k)
                n_matrix[r][k] -= f * n_matrix[c][k];
            b[r] -= f * b[c];
        }
    }
    for (int r = n - 1; r >= 0; --r) {
        double s = b[r];
        for (int k = r + 1; k < n; ++k)
            s -= n_matrix[r][k] * x[k];
        x[r] = s / n_matrix[r][r];
    }
    return true;
}

struct Satellite {
    Ecef position;
    double clock_s = 0.0;
    int clock_column = 0;
    double pseudorange = 0.0;
};
}  // namespace

PositionFix single_point_position(double t, const std::vector<PseudorangeMeasurement>& measurements,
                                  const GpsIonoCorrection* ionosphere, const PositioningSettings& settings,
                                  const Ecef& start) {
    // Satellite states at their times of transmission, which the pseudorange gives in the
    // satellite's own time; each system present gets a clock column.
    std::vector<Satellite> satellites;
    satellites.reserve(measurements.size());
    std::array<int, 2> column_of_system{-1, -1};
    int unknowns = 3;
    for (const PseudorangeMeasurement& m : measurements) {
        if (m.ephemeris == nullptr || !(m.pseudorange > 0.0))
            continue;
        double transmit = t - m.pseudorange / kSpeedOfLight;
        transmit -= kepler_satellite(*m.ephemeris, m.system, transmit).clock_s;
        const SatelliteState state = kepler_satellite(*m.ephemeris, m.system, transmit);
        int& column = column_of_system[m.system == KeplerSystem::gps ? 0 : 1];
        if (column < 0)
            column = unknowns++;
        satellites.push_back({state.position, state.clock_s, column, m.pseudorange});
    }
    PositionFix fix;
    Vector x{start.x, start.y, start.z, 0.0, 0.0};
    const double mask = settings.elevation_mask_deg / kDegreesPerRadian;
    const double time_of_week = std::fmod(t, kSecondsPerGpsWeek);
    for (int iteration = 0; iteration < kMaxIterations; ++iteration) {
        const Ecef receiver{x[0], x[1], x[2]};
        const bool rough = std::sqrt(x[0] * x[0] + x[1] * x[1] + x[2] * x[2]) < kRoughPositionM;
        const Geodetic site = ecef_to_geodetic(receiver);
        Matrix normal{};
        Vector right{};
        int used = 0;
        double square_sum = 0.0;
        for (const Satellite& s : satellites) {
            // The Earth turns while the signal travels: the satellite's position in the frame of
            // the time of reception.
            const double turn = kEarthRotationRate * distance(s.position, receiver) / kSpeedOfLight;
            const Ecef p{std::cos(turn) * s.position.x + std::sin(turn) * s.position.y,
                         -std::sin(turn) * s.position.x + std::cos(turn) * s.position.y, s.position.z};
            const double range = distance(p, receiver);
            double weight = 1.0;
            double delay = 0.0;
            if (!rough) {
                const SkyPosition sky = sky_position(receiver, site, p);
                if (sky.elevation < mask)
                    continue;
                const double sine = std::sin(sky.elevation);
                weight = sine * sine;
                if (settings.ionosphere && ionosphere != nullptr)
                    delay += klobuchar_delay_m(*ionosphere, time_of_week, site, sky);
                if (settings.troposphere)
                    delay += troposphere_delay_m(site, sky.elevation);
            }
            const double residual =
                s.pseudorange - (range + x[s.clock_column] - kSpeedOfLight * s.clock_s + delay);
            std::array<double, kMaxUnknowns> row{};
            row[0] = (receiver.x - p.x) / range;
            row[1] = (receiver.y - p.y) / range;
            row[2] = (receiver.z - p.z) / range;
            row[s.clock_column] = 1.0;
            for (int i = 0; i < unknowns; ++i) {
                right[i] += weight * row[i] * residual;
                for (int k = 0; k < unknowns; ++k)
                    normal[i][k] += weight * row[i] * row[k];
            }
            square_sum += residual * residual;
            ++used;
        }
        // A system whose satellites all fell below the mask keeps a column with no equation,
        // which is held where it is.
        int systems_used = 0;
        for (int c = 3; c < unknowns; ++c) {
            if (normal[c][c] == 0.0)
                normal[c][c] = 1.0;
            else
                ++systems_used;
        }
        if (systems_used == 0 || used < 3 + systems_used)
            return fix;
        Vector step{};
        if (!solve(normal, right, unknowns, step))
            return fix;
        double change = 0.0;
        for (int i = 0; i < unknowns; ++i) {
            x[i] += step[i];
            if (i < 3)
                change += step[i] * step[i];
        }
        fix.satellites = used;
        fix.residual_rms_m = std::sqrt(square_sum / used);
        if (std::sqrt(change) < kConvergedM && !rough) {
            fix.position = {x[0], x[1], x[2]};
            const double height = ecef_to_geodetic(fix.position).height;
            fix.valid =
                fix.residual_rms_m < kMaxResidualRmsM && height > kLowestHeightM && height < kHighestHeightM;
            return fix;
        }
    }
    return fix;
}
