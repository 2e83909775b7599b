// Names of the files the run writes beside its input.
#include "driver/output_names.h"

#include <filesystem>
#include <system_error>

#include "platform/utf8_files.h"

namespace {

// What ends a directory name in a path: the extension is searched after the last of them.
#ifdef _WIN32
constexpr std::string_view kSeparators = "/\\:";
#else
constexpr std::string_view kSeparators = "/";
#endif

}  // namespace

std::string replace_last_extension(const std::string& path, std::string_view extension) {
    const std::size_t separator = path.find_last_of(kSeparators);
    const std::size_t file_name_start = separator == std::string::npos ? 0 : separator + 1;
    const std::size_t dot = path.rfind('.');
    const bool has_extension = dot != std::string::npos && dot >= file_name_start;
    std::string name = has_extension ? path.substr(0, dot) : path;
    name += extension;
    return name;
}

std::string output_name_beside_input(const std::string& input_path, std::string_view extension) {
    std::string name = replace_last_extension(input_path, extension);
    std::error_code error;
    // equivalent() also sees through links and different spellings of one path; it reports an
    // error (and we keep the name) when either file does not exist.
    if (std::filesystem::equivalent(path_from_utf8(input_path), path_from_utf8(name), error) && !error) {
        name = input_path;
        name += extension;
    }
    return name;
}
