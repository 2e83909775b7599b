#include "convert/log_source.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/temporary_files.h"
#include "platform/utf8_files.h"

namespace {

// The log is read in large blocks: few system calls, and no copy through a stdio buffer.
constexpr std::size_t kReadBlockSize = std::size_t{1} << 20;
constexpr const char* kSpoolSuffix = ".spool";
constexpr uint64_t kNoLimit = UINT64_MAX;

std::string reason(int error) {
    return std::strerror(error != 0 ? error : EIO);
}

}  // namespace

LogSource::~LogSource() {
    if (input_ != nullptr)
        std::fclose(input_);
    if (!spool_path_.empty())
        remove_temporary(spool_path_);
}

bool LogSource::open(const std::string& path, const std::string& spool_folder) {
    path_ = path;
    spool_folder_ = spool_folder;
    const std::filesystem::path native = path_from_utf8(path);
    std::error_code status_error;
    const std::filesystem::file_status status = std::filesystem::status(native, status_error);
    // A directory opens for reading on some systems and then fails on the first read: it is no log.
    if (std::filesystem::is_directory(status)) {
        error_ = reason(EISDIR);
        return false;
    }
    errno = 0;
    input_ = open_file(path, "rb");
    if (input_ == nullptr) {
        error_ = reason(errno);
        return false;
    }
    std::setvbuf(input_, nullptr, _IONBF, 0);
    seekable_ = std::filesystem::is_regular_file(status);
    if (seekable_) {
        std::error_code size_error;
        const auto size = std::filesystem::file_size(native, size_error);
        known_size_ = size_error ? 0 : static_cast<uint64_t>(size);
    }
    return true;
}

bool LogSource::read_pass(const Take& take) {
    if (input_ == nullptr)
        return false;
    const int pass = passes_++;
    if (block_.empty())
        block_.resize(kReadBlockSize);
    if (seekable_) {
        if (pass > 0 && std::fseek(input_, 0, SEEK_SET) != 0) {
            error_ = reason(errno);
            return false;
        }
        return read_all(input_, take, nullptr, pass == 0 ? kNoLimit : first_pass_bytes_);
    }
    if (pass == 0) {
        // The first reading of an input that cannot be read again keeps a copy of every byte.
        const std::filesystem::path spool_name =
            path_from_utf8(path_in_folder(spool_folder_, last_path_component(path_) + kSpoolSuffix));
        std::FILE* copy = create_temporary_beside(spool_name, spool_path_);
        if (copy == nullptr) {
            error_ = "cannot create a spool file in the output folder: " + reason(errno);
            return false;
        }
        std::setvbuf(copy, nullptr, _IONBF, 0);
        bool ok = read_all(input_, take, copy, kNoLimit);
        if (std::fclose(copy) != 0 && ok) {
            error_ = "cannot write the spool file: " + reason(errno);
            ok = false;
        }
        return ok;
    }
    std::fclose(input_);
    const std::u8string spool = spool_path_.u8string();
    input_ = open_file(std::string(spool.begin(), spool.end()), "rb");
    if (input_ == nullptr) {
        error_ = "cannot read the spool file: " + reason(errno);
        return false;
    }
    std::setvbuf(input_, nullptr, _IONBF, 0);
    return read_all(input_, take, nullptr, first_pass_bytes_);
}

bool LogSource::read_all(std::FILE* file, const Take& take, std::FILE* copy, uint64_t limit) {
    const bool first = limit == kNoLimit;
    uint64_t total = 0;
    for (;;) {
        const std::size_t wanted = static_cast<std::size_t>(std::min<uint64_t>(block_.size(), limit - total));
        errno = 0;
        const std::size_t count = wanted == 0 ? 0 : std::fread(block_.data(), 1, wanted, file);
        const int read_errno = errno;
        if (copy != nullptr && count != 0 && std::fwrite(block_.data(), 1, count, copy) != count) {
            error_ = "cannot write the spool file: " + reason(errno);
            return false;
        }
        total += count;
        take(block_.data(), count);
        if (count < wanted || wanted == 0) {
            if (std::ferror(file)) {
                error_ = reason(read_errno);
                return false;
            }
            if (first) {
                first_pass_bytes_ = total;
            } else if (total < limit) {
                error_ = "the log became shorter while it was converted";
                return false;
            }
            return true;
        }
    }
}
