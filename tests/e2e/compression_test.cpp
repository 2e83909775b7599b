// -compress gz|crx|crx.gz against the run without it, on the sample, a damaged simulated log and a
// 10 Hz hour: every .gz passes `gzip -t` and unpacks to the uncompressed run's file; every compact
// file decodes (tests/support/crx_decoder, written apart from the encoder) to the uncompressed
// observation file line by line (trailing blanks aside, which RINEX does not count); the names; and
// RTKLIB's rnx2rtkp reads the .gz files directly.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <string>

#include "tests/e2e/e2e_support.h"
#include "tests/support/crx_decoder.h"
#include "tests/support/lines.h"

namespace fs = std::filesystem;

namespace {

// A line without its trailing blanks, and without the creation time, which differs between runs.
std::string comparable(std::string line) {
    while (!line.empty() && line.back() == ' ')
        line.pop_back();
    if (line.size() == 79 && line.compare(60, 19, "PGM / RUN BY / DATE") == 0)
        line.replace(40, 20, 20, ' ');
    return line;
}

std::string comparable_text(const std::string& text) {
    std::string out;
    for (const std::string& line : split_lines(text))
        out += comparable(line) + '\n';
    return out;
}

std::string ends(const std::string& name, const std::string& tail) {
    return name.size() >= tail.size() && name.compare(name.size() - tail.size(), tail.size(), tail) == 0
               ? tail
               : "";
}

// Converts the log in a folder of its own with the options; the RINEX files written, by name.
std::map<std::string, std::string> convert(const fs::path& log, const fs::path& dir,
                                           const std::string& options) {
    fs::create_directories(dir);
    fs::copy_file(log, dir / "log.vxp", fs::copy_options::overwrite_existing);
    const std::string command =
        "cd '" + dir.string() + "' && " + KELVARTIX_BIN + " log.vxp " + options + " > /dev/null";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("QRV_", 0) == 0)
            files[name] = read_text(entry.path().string());
    }
    return files;
}

std::string unzipped(const fs::path& file) {
    // Built by appending: g++ 12 warns falsely (-Wrestrict) on "literal" + a temporary string.
    std::string quoted(1, '\'');
    quoted += file.string();
    quoted += '\'';
    EXPECT_EQ(std::system(("gzip -t " + quoted).c_str()), 0) << file;
    EXPECT_EQ(std::system(("zcat " + quoted + " > " + quoted + ".out").c_str()), 0);
    return read_text(file.string() + ".out");
}

void expect_same_lines(const std::string& plain, const std::string& compact, const std::string& name) {
    const CompactRinexDecoded decoded = decode_compact_rinex(compact);
    ASSERT_EQ(decoded.error, "") << name;
    const std::vector<std::string> lines = split_lines(plain);
    ASSERT_EQ(decoded.lines.size(), lines.size()) << name;
    for (std::size_t i = 0; i < lines.size(); ++i)
        ASSERT_EQ(comparable(decoded.lines[i]), comparable(lines[i])) << name << " line " << i + 1;
}

// Every compression of the log against the plain run.
void check_compressions(const fs::path& log, const std::string& label,
                        const std::vector<std::string>& kinds = {"gz", "crx", "crx.gz"}) {
    const fs::path dir =
        fs::temp_directory_path() / ("kelvartix_compress_" + label + std::to_string(getpid()));
    fs::remove_all(dir);
    const std::map<std::string, std::string> plain = convert(log, dir / "plain", "");
    ASSERT_FALSE(plain.empty());
    for (const std::string& kind : kinds) {
        const fs::path out = dir / kind;
        const std::map<std::string, std::string> written = convert(log, out, "-compress " + kind);
        const bool gzip = kind.size() != 3;
        const bool compact = kind[0] != 'g';
        std::set<std::string> expected;
        for (const auto& [name, text] : plain) {
            const bool observation = !ends(name, "_MO.rnx").empty();
            std::string compressed = name;
            if (observation && compact)
                compressed.replace(compressed.size() - 3, 3, "crx");
            compressed += gzip ? ".gz" : "";
            expected.insert(compressed);
            const std::string content = gzip                        ? unzipped(out / compressed)
                                        : written.count(compressed) ? written.at(compressed)
                                                                    : "";
            if (observation && compact)
                expect_same_lines(text, content, label + " " + kind + " " + compressed);
            else
                EXPECT_TRUE(comparable_text(content) == comparable_text(text))
                    << label << " " << kind << " " << compressed;
        }
        std::set<std::string> names;
        for (const auto& entry : written)
            names.insert(entry.first);
        EXPECT_EQ(names, expected) << kind;
    }
    fs::remove_all(dir);
}

TEST(Compression, SampleLog) {
    check_compressions(fs::path(SAMPLE_DIR) / "sample.vxp", "sample");
}

TEST(Compression, DamagedSimulatedLog) {
    check_compressions(fs::path(REPLAY_DIR) / "damaged" / "damaged.vxp", "damaged");
}

TEST(Compression, TenHertzHour) {
    const fs::path log = fs::temp_directory_path() / ("kelvartix_10hz_" + std::to_string(getpid()) + ".vxp");
    const std::string sim = std::string(VXPSIM_BIN) + " -o '" + log.string() +
                            "' --duration 3600 --receivers 0 --systems G,E --obs-rate 10 --imu-rate 0 "
                            "--filter-rate 0 --seed 3 --no-truth-epochs > /dev/null";
    ASSERT_EQ(std::system(sim.c_str()), 0);
    check_compressions(log, "hour", {"crx.gz"});  // the other two as on the shorter logs
    fs::remove(log);
}

TEST(Compression, RtklibReadsTheGzipFiles) {
    if (!rtklib_available())
        GTEST_SKIP() << "rnx2rtkp (Debian package rtklib) is missing and could not be installed";
    const Conversion c = simulate_and_convert("--duration 60 --receivers 0 --systems G,E --seed 11");
    const fs::path gz = fs::path(c.dir) / "gz";
    const std::map<std::string, std::string> files = convert(fs::path(c.dir) / "log.vxp", gz, "-compress gz");
    const std::string obs = find_file(c.dir, "QRV_00", "_MO.rnx");
    const std::string nav = find_file(c.dir, "QRV_00", "_MN.rnx");
    const std::vector<Fix> plain = single_point_positions(c.dir, obs, nav, 1 + 8);
    const std::vector<Fix> zipped = single_point_positions(gz.string(), obs + ".gz", nav + ".gz", 1 + 8);
    ASSERT_GT(plain.size(), 50u);
    ASSERT_EQ(zipped.size(), plain.size());
    for (std::size_t i = 0; i < plain.size(); ++i)
        EXPECT_TRUE(zipped[i].tow == plain[i].tow && zipped[i].x == plain[i].x && zipped[i].z == plain[i].z)
            << i;
}

}  // namespace
