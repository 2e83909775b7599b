#include "convert/log_source.h"

#include <cerrno>
#include <cstring>
#include <system_error>

#include "platform/temporary_files.h"
#include "platform/utf8_files.h"

namespace {

// The log is read in large blocks: few system calls, and no copy through a stdio buffer.
constexpr std::size_t kReadBlockSize = std::size_t{1} << 20;
constexpr const char* kSpoolSuffix = ".spool";

std::string reason(int error) {
    return std::strerror(error != 0 ? error : EIO);
}

}  // namespace

LogSource::~LogSource() {
    if (input_ != nullptr)
        std::fclose(input_);
    if (!spool_path_.empty()) {
        std::error_code ignored;
        std::filesystem::remove(spool_path_, ignored);
    }
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
        return read_all(input_, take, nullptr);
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
        bool ok = read_all(input_, take, copy);
        if (std::fclose(copy) != 0 && ok) {
            error_ = "cannot write the spool file: " + reason(errno);
            ok = false;
        }
        return ok;
    }
    std::fclose(input_);
    input_ = open_file(spool_path_.string(), "rb");
    if (input_ == nullptr) {
        error_ = "cannot read the spool file: " + reason(errno);
        return false;
    }
    std::setvbuf(input_, nullptr, _IONBF, 0);
    return read_all(input_, take, nullptr);
}

bool LogSource::read_all(std::FILE* file, const Take& take, std::FILE* copy) {
    for (;;) {
        errno = 0;
        const std::size_t count = std::fread(block_.data(), 1, block_.size(), file);
        const int read_errno = errno;
        if (copy != nullptr && count != 0 && std::fwrite(block_.data(), 1, count, copy) != count) {
            error_ = "cannot write the spool file: " + reason(errno);
            return false;
        }
        take(block_.data(), count);
        if (count < block_.size()) {
            if (std::ferror(file)) {
                error_ = reason(read_errno);
                return false;
            }
            return true;
        }
    }
}
