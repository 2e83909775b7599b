#include "quality/atmosphere.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double kSecondsPerDay = 86400.0;
// The model's night-time delay, its peak time of day (14:00 local) and shortest period, s.
constexpr double kNightDelay = 5e-9;
constexpr double kPeakTime = 50400.0;
constexpr double kShortestPeriod = 72000.0;
constexpr double kRelativeHumidity = 0.7;
}  // namespace

double klobuchar_delay_m(const GpsIonoCorrection& c, double time_of_week, const Geodetic& site,
                         const SkyPosition& sky) {
    // Angles in semicircles, as the model's coefficients are.
    const double e = sky.elevation / kPi;
    const double psi = 0.0137 / (e + 0.11) - 0.022;
    const double phi_i = std::clamp(site.latitude / kPi + psi * std::cos(sky.azimuth), -0.416, 0.416);
    const double lambda_i = site.longitude / kPi + psi * std::sin(sky.azimuth) / std::cos(phi_i * kPi);
    const double phi_m = phi_i + 0.064 * std::cos((lambda_i - 1.617) * kPi);
    double t = std::fmod(4.32e4 * lambda_i + time_of_week, kSecondsPerDay);
    if (t < 0.0)
        t += kSecondsPerDay;
    const double slant = 1.0 + 16.0 * std::pow(0.53 - e, 3.0);
    double amplitude = 0.0, period = 0.0, power = 1.0;
    for (int n = 0; n < 4; ++n) {
        amplitude += c.alpha[n] * power;
        period += c.beta[n] * power;
        power *= phi_m;
    }
    amplitude = std::max(amplitude, 0.0);
    period = std::max(period, kShortestPeriod);
    const double x = 2.0 * kPi * (t - kPeakTime) / period;
    const double day = std::fabs(x) < 1.57 ? amplitude * (1.0 - x * x / 2.0 + x * x * x * x / 24.0) : 0.0;
    return kSpeedOfLight * slant * (kNightDelay + day);
}

double troposphere_delay_m(const Geodetic& site, double elevation) {
    if (site.height < -100.0 || site.height > 1e4 || elevation <= 0.0)
        return 0.0;
    const double h = std::max(site.height, 0.0);
    const double pressure = 1013.25 * std::pow(1.0 - 2.2557e-5 * h, 5.2568);
    const double temperature = 15.0 - 6.5e-3 * h + 273.16;
    const double vapour =
        6.108 * kRelativeHumidity * std::exp((17.15 * temperature - 4684.0) / (temperature - 38.45));
    const double zenith_secant = 1.0 / std::cos(kPi / 2.0 - elevation);
    const double dry = 0.0022768 * pressure /
                       (1.0 - 0.00266 * std::cos(2.0 * site.latitude) - 0.00028 * h / 1e3) * zenith_secant;
    const double wet = 0.002277 * (1255.0 / temperature + 0.05) * vapour * zenith_secant;
    return dry + wet;
}
