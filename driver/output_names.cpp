// Names of the files the run writes beside its input, or in the output folder.
#include "driver/output_names.h"

#include <filesystem>
#include <system_error>

#include "platform/utf8_files.h"

namespace {

// `name`, unless it refers to the input itself (then `fallback`).
std::string unless_the_input(const std::string& input_path, std::string name, const std::string& fallback) {
    std::error_code error;
    // equivalent() also sees through links and different spellings of one path; it reports an
    // error (and we keep the name) when either file does not exist.
    if (std::filesystem::equivalent(path_from_utf8(input_path), path_from_utf8(name), error) && !error)
        return fallback;
    return name;
}

}  // namespace

std::string replace_last_extension(const std::string& path, std::string_view extension) {
    const std::size_t separator = path.find_last_of(kPathSeparators);
    const std::size_t file_name_start = separator == std::string::npos ? 0 : separator + 1;
    const std::size_t dot = path.rfind('.');
    // The dot that starts a hidden file's name (".hidden") is part of the name, not an extension:
    // otherwise every hidden input would share the outputs ".log" and ".imr".
    const bool has_extension = dot != std::string::npos && dot > file_name_start;
    std::string name = has_extension ? path.substr(0, dot) : path;
    name += extension;
    return name;
}

std::string output_name_beside_input(const std::string& input_path, std::string_view extension) {
    return unless_the_input(input_path, replace_last_extension(input_path, extension),
                            input_path + std::string(extension));
}

std::string output_name(const std::string& input_path, const std::string& output_folder,
                        std::string_view extension) {
    if (output_folder.empty())
        return output_name_beside_input(input_path, extension);
    const std::string input_name = last_path_component(input_path);
    return unless_the_input(input_path,
                            path_in_folder(output_folder, replace_last_extension(input_name, extension)),
                            path_in_folder(output_folder, input_name + std::string(extension)));
}
