// The quality survey's single-point positions against RTKLIB's rnx2rtkp on the RINEX files the
// program wrote from the same simulated log, both with the broadcast ionosphere and a troposphere.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "quality/quality_survey.h"
#include "tests/e2e/e2e_support.h"
#include "tests/support/log_fixtures.h"

namespace {
constexpr int kRtklibGpsGalileo = 1 | 8;

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.size() % 2 == 1 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2.0;
}

TEST(QualityEndToEnd, MedianPositionWithinFiveMetresOfRtklibSinglePoint) {
    const Conversion c =
        simulate_and_convert("--duration 300 --receivers 2,3 --systems G,E --imu-rate 0 --seed 21");
    ASSERT_TRUE(c.simulated) << c.dir;
    ASSERT_EQ(c.exit_code, 0) << c.console;
    if (!rtklib_available())
        GTEST_SKIP() << "rnx2rtkp (Debian package rtklib) is missing and could not be installed";
    QualitySurvey survey({}, {});
    ASSERT_TRUE(feed_log_file(c.dir + "/log.vxp", survey));
    survey.finish();
    for (int rx : {2, 3}) {
        const std::string prefix = "QRV_0" + std::to_string(rx);
        const std::vector<Fix> fixes =
            single_point_positions(c.dir, find_file(c.dir, prefix, "_MO.rnx"),
                                   find_file(c.dir, prefix, "_MN.rnx"), kRtklibGpsGalileo, true);
        ASSERT_GT(fixes.size(), 250u) << rx;
        std::vector<double> x, y, z;
        for (const Fix& f : fixes) {
            x.push_back(f.x);
            y.push_back(f.y);
            z.push_back(f.z);
        }
        const std::optional<MedianPosition> p = survey.median_position(rx);
        ASSERT_TRUE(p.has_value()) << rx;
        const double d =
            std::hypot(p->position.x - median(x), p->position.y - median(y), p->position.z - median(z));
        EXPECT_LT(d, 5.0) << "receiver " << rx;
        ::testing::Test::RecordProperty("rtklib_difference_rx" + std::to_string(rx), std::to_string(d));
    }
    std::system(("rm -rf '" + c.dir + "'").c_str());
}
}  // namespace
