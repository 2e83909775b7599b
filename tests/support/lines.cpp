// Text cut into lines, for tests that compare whole lines.
#include "tests/support/lines.h"

#include <algorithm>

#include "tests/support/temp_dir.h"

std::vector<std::string> split_lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start) + "<no LF>");
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

std::vector<std::string> read_lines(const std::filesystem::path& path) {
    return split_lines(read_file(path));
}

std::vector<std::string> without_quality_summary(const std::vector<std::string>& lines) {
    const auto summary = std::find_if(lines.begin(), lines.end(), [](const std::string& line) {
        return line.starts_with("Quality of GNSS id ") || line.starts_with("IMU: ") ||
               line.starts_with("Damage: ");
    });
    return std::vector<std::string>(lines.begin(), summary);
}
