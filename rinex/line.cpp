#include "rinex/line.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

// Starting size of the blank buffer: a data line of four signals is 196 characters.
constexpr std::size_t kInitialBufferSize = 256;

// Copies n bytes; texts of a line are short, and two overlapping fixed-size copies cost less
// than a call to memcpy for every number.
void copy_text(char* to, const char* from, std::size_t n) {
    if (n >= 8 && n <= 16) {
        std::memcpy(to, from, 8);
        std::memcpy(to + n - 8, from + n - 8, 8);
    } else if (n >= 4 && n < 8) {
        std::memcpy(to, from, 4);
        std::memcpy(to + n - 4, from + n - 4, 4);
    } else if (n < 4) {
        for (std::size_t i = 0; i < n; ++i)
            to[i] = from[i];
    } else {
        std::memcpy(to, from, n);
    }
}

}  // namespace

void RinexLineBuilder::clear() {
    std::memset(buffer_.data(), ' ', end_);
    width_ = 0;
    end_ = 0;
}

void RinexLineBuilder::place(std::string_view text, int32_t column) {
    const std::size_t start = column > 1 ? static_cast<std::size_t>(column - 1) : 0;
    const std::size_t end = start + text.size();
    if (buffer_.size() < end)
        buffer_.resize(std::max({end, 2 * buffer_.size(), kInitialBufferSize}), ' ');
    copy_text(buffer_.data() + start, text.data(), text.size());
    end_ = std::max(end_, end);
    // One past the last character: the composer's width rule, which leaves one trailing blank.
    width_ = end + 1;
}

char* RinexLineBuilder::columns(int32_t column, std::size_t count) {
    const std::size_t start = column > 1 ? static_cast<std::size_t>(column - 1) : 0;
    const std::size_t end = start + count;
    if (buffer_.size() < end)
        buffer_.resize(std::max({end, 2 * buffer_.size(), kInitialBufferSize}), ' ');
    return buffer_.data() + start;
}

void RinexLineBuilder::placed(int32_t last_column) {
    const std::size_t end = last_column > 0 ? static_cast<std::size_t>(last_column) : 0;
    end_ = std::max(end_, end);
    width_ = end + 1;
}

std::string_view RinexLineBuilder::line() {
    const std::size_t width = std::max({width_, end_, RINEX_LINE_WIDTH});
    if (buffer_.size() < width)
        buffer_.resize(width, ' ');
    // The blanks up to the width are part of the line from now on, as if written.
    end_ = width;
    return std::string_view(buffer_.data(), width);
}

std::string compose_rinex_line(const std::vector<RinexLineItem>& items) {
    RinexLineBuilder builder;
    for (const RinexLineItem& item : items)
        builder.place(item.text, item.column);
    return std::string(builder.line());
}

std::string rinex_fixed_field(double value, int width, int decimals) {
    char text[64];
    int length = -1;
    // Values of a few hundred digits are refused before they are printed.
    if (std::isfinite(value) && std::fabs(value) < 1e30)
        length = std::snprintf(text, sizeof text, "%*.*f", width, decimals, value);
    if (length < 0 || length > width)
        std::snprintf(text, sizeof text, "%*.*f", width, decimals, 0.0);
    return text;
}

std::string rinex_integer_field(long value, int width) {
    char text[32];
    std::snprintf(text, sizeof text, "%*ld", width, value);
    return text;
}

namespace {

// Lines up to this length go out with their line feed in one write; a data line of four signals
// is 196 characters.
constexpr std::size_t kJoinedPieceLimit = 512;

bool write_piece(OutputFile& file, std::string_view piece) {
    if (piece.size() < kJoinedPieceLimit) {
        char joined[kJoinedPieceLimit];
        std::memcpy(joined, piece.data(), piece.size());
        joined[piece.size()] = '\n';
        return file.write(joined, piece.size() + 1);
    }
    return file.write(piece) && file.write("\n", 1);
}

}  // namespace

bool write_rinex_line(OutputFile& file, std::string_view line, bool wrap) {
    if (wrap) {
        while (line.size() > RINEX_LINE_WIDTH) {
            if (!write_piece(file, line.substr(0, RINEX_LINE_WIDTH)))
                return false;
            line.remove_prefix(RINEX_LINE_WIDTH);
        }
    }
    if (line.size() > 1)
        return write_piece(file, line);
    return !file.failed();
}
