// The replay corpus: every folder beside this file is a case (a log, the options of its command
// line, the exit code and every file the conversion must write). Each case is converted in-process
// in a scratch directory with a fixed creation time, and every output file is compared whole. Each
// case runs on one thread and on several: the files must not depend on it.
// `test_replay --update` rewrites the expected files instead (tools/replay_update.sh).
#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "driver/run.h"
#include "driver/run_settings.h"
#include "rinex/gnss_time.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

const fs::path kSourceDir = KELVARTIX_SOURCE_DIR;
const fs::path kCorpusDir = kSourceDir / "tests" / "replay";
bool update_mode = false;

// Creation time written into every RINEX header: 2024-03-05 12:34:56 UTC.
std::time_t fixed_creation_time() {
    return 1709642096;
}

std::set<std::string> file_names(const fs::path& dir) {
    std::set<std::string> names;
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(dir, ignored))
        names.insert(entry.path().filename().string());
    return names;
}

std::vector<std::string> case_names() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(kCorpusDir))
        if (entry.is_directory())
            names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// The log a case converts: its own <name>.vxp, or the one named (from the repository root) in
// its file "input".
fs::path case_input(const fs::path& folder) {
    if (fs::exists(folder / "input")) {
        std::istringstream named(read_file(folder / "input"));
        std::string path;
        named >> path;
        return kSourceDir / path;
    }
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().extension() == ".vxp")
            return entry.path();
    return {};
}

// The line of `text` that holds byte `at`, or a mark when the text ends before it.
std::string line_at(const std::string& text, std::size_t at) {
    if (at >= text.size())
        return "<end of file>";
    const std::size_t newline = at == 0 ? std::string::npos : text.rfind('\n', at - 1);
    const std::size_t begin = newline == std::string::npos ? 0 : newline + 1;
    const std::size_t end = text.find('\n', at);
    if (end == std::string::npos)
        return text.substr(begin) + "<no line feed>";
    return text.substr(begin, end - begin);
}

// Empty when the files are equal, else where they first differ: the line of each file (by byte
// offset for the binary IMR file).
std::string first_difference(const std::string& name, const std::string& expected,
                             const std::string& actual) {
    if (expected == actual)
        return {};
    const std::size_t at =
        std::mismatch(expected.begin(), expected.end(), actual.begin(), actual.end()).first -
        expected.begin();
    std::ostringstream out;
    if (fs::path(name).extension() == ".imr") {
        out << name << ": first difference at byte " << at << " (sizes " << expected.size() << " expected, "
            << actual.size() << " written)";
        return out.str();
    }
    const auto line =
        1 + std::count(expected.begin(), expected.begin() + static_cast<std::ptrdiff_t>(at), '\n');
    out << name << " line " << line << ":\n  expected: " << line_at(expected, at)
        << "\n  written:  " << line_at(actual, at);
    return out.str();
}

// Converts the input (copied into `dir` under its own name) with the case's options, as a fresh
// process would, and returns the exit code.
int convert(const fs::path& input, const fs::path& folder, const fs::path& dir, int threads,
            std::string& console) {
    const std::string input_name = input.filename().string();
    fs::copy_file(input, dir / input_name);
    std::vector<std::string> words = {"kelvartix", input_name};
    std::istringstream options(fs::exists(folder / "options") ? read_file(folder / "options") : "");
    for (std::string word; options >> word;)
        words.push_back(word);
    words.push_back("-threads");
    words.push_back(std::to_string(threads));
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    run_settings = RunSettings();
    set_creation_time_source(fixed_creation_time);
    const fs::path previous = fs::current_path();
    fs::current_path(dir);
    testing::internal::CaptureStdout();
    const int exit_code = run_conversion(static_cast<int>(words.size()), argv.data());
    console = testing::internal::GetCapturedStdout();
    fs::current_path(previous);
    set_creation_time_source(nullptr);
    run_settings = RunSettings();
    fs::remove(dir / input_name);
    return exit_code;
}

// A case and the threads it is converted with.
using ReplayRun = std::tuple<std::string, int>;

class Replay : public testing::TestWithParam<ReplayRun> {};

TEST_P(Replay, OutputFilesAndExitCodeAsExpected) {
    const auto& [name, threads] = GetParam();
    const fs::path folder = kCorpusDir / name;
    const fs::path input = case_input(folder);
    ASSERT_TRUE(!input.empty() && fs::is_regular_file(input)) << folder << ": no input log";
    TempDir scratch;
    std::string console;
    const int exit_code = convert(input, folder, scratch.path(), threads, console);
    const fs::path expected_dir = folder / "expected";

    if (update_mode) {
        fs::remove_all(expected_dir);
        fs::create_directories(expected_dir);
        for (const std::string& name : file_names(scratch.path()))
            fs::copy_file(scratch.path() / name, expected_dir / name);
        write_file(folder / "exit_code", std::to_string(exit_code) + "\n");
        return;
    }

    EXPECT_EQ(std::to_string(exit_code) + "\n", read_file(folder / "exit_code")) << "exit code; console:\n"
                                                                                 << console;
    const std::set<std::string> expected = file_names(expected_dir);
    const std::set<std::string> written = file_names(scratch.path());
    for (const std::string& name : expected)
        if (!written.count(name))
            ADD_FAILURE() << "missing output file " << name;
    for (const std::string& name : written) {
        if (!expected.count(name)) {
            ADD_FAILURE() << "unexpected output file " << name;
            continue;
        }
        const std::string difference =
            first_difference(name, read_file(expected_dir / name), read_file(scratch.path() / name));
        if (!difference.empty())
            ADD_FAILURE() << difference;
    }
}

INSTANTIATE_TEST_SUITE_P(Corpus, Replay,
                         testing::Combine(testing::ValuesIn(case_names()), testing::Values(1, 3)),
                         [](const testing::TestParamInfo<ReplayRun>& info) {
                             return std::get<0>(info.param) + "_threads" +
                                    std::to_string(std::get<1>(info.param));
                         });

}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    for (int i = 1; i < argc; ++i)
        update_mode |= std::string(argv[i]) == "--update";
    return RUN_ALL_TESTS();
}
