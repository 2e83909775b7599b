#include "rinex/line.h"

#include <algorithm>
#include <cstring>

void RinexLineBuilder::clear() {
    buffer_.clear();
    width_ = 0;
}

void RinexLineBuilder::place(std::string_view text, int32_t column) {
    const std::size_t start = column > 1 ? static_cast<std::size_t>(column - 1) : 0;
    const std::size_t end = start + text.size();
    if (buffer_.size() < end)
        buffer_.resize(end, ' ');
    std::copy(text.begin(), text.end(), buffer_.begin() + static_cast<std::ptrdiff_t>(start));
    // One past the last character: the composer's width rule, which leaves one trailing blank.
    width_ = end + 1;
}

std::string_view RinexLineBuilder::line() {
    const std::size_t width = std::max(width_, RINEX_LINE_WIDTH);
    if (buffer_.size() < width)
        buffer_.resize(width, ' ');
    return buffer_;
}

std::string compose_rinex_line(const std::vector<RinexLineItem>& items) {
    RinexLineBuilder builder;
    for (const RinexLineItem& item : items)
        builder.place(item.text, item.column);
    return std::string(builder.line());
}

namespace {

// Lines up to this length go out with their line feed in one write (one lock of the stream,
// not two); a data line of four signals is 196 characters.
constexpr std::size_t kJoinedPieceLimit = 512;

bool write_piece(std::FILE* file, std::string_view piece) {
    if (piece.size() < kJoinedPieceLimit) {
        char joined[kJoinedPieceLimit];
        std::memcpy(joined, piece.data(), piece.size());
        joined[piece.size()] = '\n';
        return std::fwrite(joined, 1, piece.size() + 1, file) == piece.size() + 1;
    }
    return std::fwrite(piece.data(), 1, piece.size(), file) == piece.size() && std::fputc('\n', file) != EOF;
}

}  // namespace

bool write_rinex_line(std::FILE* file, std::string_view line, bool wrap) {
    if (file == nullptr)
        return false;
    if (wrap) {
        while (line.size() > RINEX_LINE_WIDTH) {
            if (!write_piece(file, line.substr(0, RINEX_LINE_WIDTH)))
                return false;
            line.remove_prefix(RINEX_LINE_WIDTH);
        }
    }
    if (line.size() > 1)
        return write_piece(file, line);
    return true;
}
