// A whole conversion of an arbitrary file, in a private temporary directory: load, RINEX
// observation and navigation files, IMR and IMU CSV files, with the command line the real program gets.
// Output files are removed after every run, the directory when the fuzzer exits normally.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <system_error>
#include <vector>

#include "driver/run.h"
#include "driver/run_settings.h"

namespace {

namespace fs = std::filesystem;

// Damaged or hostile data is never a failure of the run, and the directory is writable: every
// input must convert with the success code.
constexpr int kExitSuccess = 0;

fs::path make_work_directory() {
    // A memory file system when there is one: the run writes several files per input.
    std::error_code error;
    const fs::path base =
        fs::is_directory("/dev/shm", error) ? fs::path("/dev/shm") : fs::temp_directory_path();
    std::string pattern = (base / "kelvartix-fuzz-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        std::abort();
    return pattern;
}

const fs::path& work_directory() {
    static const fs::path dir = make_work_directory();
    return dir;
}

void remove_work_directory() {
    std::error_code ignored;
    fs::remove_all(work_directory(), ignored);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The run prints progress on every input; keep the fuzzer's own output readable.
    std::cout.setstate(std::ios::failbit);
    work_directory();
    std::atexit(remove_work_directory);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const fs::path& dir = work_directory();
    const std::string input = (dir / "input.vxp").string();
    std::FILE* file = std::fopen(input.c_str(), "wb");
    if (file == nullptr)
        std::abort();
    if (size > 0 && std::fwrite(data, 1, size, file) != size)
        std::abort();
    if (std::fclose(file) != 0)
        std::abort();

    // Every run starts from the settings of a fresh process.
    run_settings = RunSettings();
    std::vector<std::string> words = {"kelvartix", input, "-inertial_data", "novatel,csv"};
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    // RINEX files go to the working directory: the run's own, the fuzzer's given back after it
    // (its corpus and artifact paths may be relative).
    const fs::path fuzzer_directory = fs::current_path();
    fs::current_path(dir);
    const int exit_code = run_conversion(static_cast<int>(words.size()), argv.data());
    fs::current_path(fuzzer_directory);
    if (exit_code != kExitSuccess)
        std::abort();

    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(dir))
        fs::remove(entry.path(), ignored);
    return 0;
}
