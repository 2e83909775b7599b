// An independent reader of the site records the options fill: RTKLIB's rnx2rtkp takes the antenna
// type and the antenna delta from the header of our observation file ("*" for the antenna type)
// and reports both in its solution header. Skipped when RTKLIB is not installed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "settings_reset.h"
#include "tests/support/lines.h"
#include "tests/support/program_runner.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

bool rnx2rtkp_available() {
    return std::system("command -v rnx2rtkp > /dev/null 2>&1") == 0;
}

// An antenna list that knows the antenna type, so that rnx2rtkp keeps it (an unknown type is
// dropped from its options).
const std::string kAntennaList =
    "     1.4            M                                       ANTEX VERSION / SYST\n"
    "A                                                           PCV TYPE / REFANT\n"
    "                                                            END OF HEADER\n"
    "                                                            START OF ANTENNA\n"
    "TRM59800.00     NONE                                        TYPE / SERIAL NO\n"
    "                                                            END OF ANTENNA\n";

// Kinematic processing, the rover's antenna type and delta from its RINEX header, the options in
// the solution header.
const std::string kProcessingOptions =
    "pos1-posmode       =kinematic\n"
    "ant1-anttype       =*\n"
    "file-rcvantfile    =antennas.atx\n"
    "out-outhead        =on\n"
    "out-outopt         =on\n";

TEST(OptionsRtklib, Rnx2rtkpReadsTheAntennaTypeAndDeltaWeGave) {
    if (!rnx2rtkp_available())
        GTEST_SKIP() << "RTKLIB rnx2rtkp not installed";
    TempDir dir;
    fs::copy_file(fs::path(KELVARTIX_SOURCE_DIR) / "samples" / "sample.vxp", dir / "sample.vxp");
    const ProgramRun conversion = run_kelvartix(
        dir.path(), {"sample.vxp", "-output_dir", "out", "-marker_name", "FIELD DAY 7", "-antenna_number",
                     "5000112233", "-antenna_type", "TRM59800.00     NONE", "-receiver_type", "KX RECEIVER",
                     "-observer", "Surveyor", "-agency", "Kelvartix", "-antenna_delta", "1.5,0.1,-0.02"});
    ASSERT_EQ(conversion.exit_code, 0) << conversion.out;
    const fs::path out = dir / "out";
    write_file(out / "antennas.atx", kAntennaList);
    write_file(out / "options.conf", kProcessingOptions);
    // Rover: receiver 0, which has no base-station records; base: receiver 2.
    const std::string command =
        "cd '" + out.string() +
        "' && rnx2rtkp -k options.conf -o solution.pos "
        "QRV_00USA_R_20240651200_00U_01S_MO.rnx QRV_02USA_S_20240651200_00U_01S_MO.rnx "
        "QRV_00USA_R_20240651200_00U_MN.rnx > rnx2rtkp.txt 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << read_file(out / "rnx2rtkp.txt");

    // RTKLIB gives the delta as east, north, up, and ends its header lines with CR LF.
    const std::string expected = "% antenna1  : TRM59800.00     NONE  ( 0.1000 -0.0200  1.5000)\r";
    const std::vector<std::string> solution = split_lines(read_file(out / "solution.pos"));
    EXPECT_NE(std::find(solution.begin(), solution.end(), expected), solution.end())
        << read_file(out / "solution.pos");
}

}  // namespace
