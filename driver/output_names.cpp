// Names of the files the run writes beside its input.
#include "driver/output_names.h"

#include <filesystem>
#include <system_error>

#include "platform/utf8_files.h"

std::string replace_last_extension(const std::string& path, std::string_view extension) {
    const std::size_t dot = path.rfind('.');
    std::string name = dot == std::string::npos ? path : path.substr(0, dot);
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
