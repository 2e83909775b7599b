#include "output/output_file.h"

#include <cerrno>
#include <cstring>

#include "platform/utf8_files.h"

namespace {

// A file is written by one thread only, so where the C library offers it the stream's lock is
// not taken for every line.
std::size_t write_bytes(const void* data, std::size_t size, std::FILE* file) {
#if defined(__GLIBC__)
    return fwrite_unlocked(data, 1, size, file);
#else
    return std::fwrite(data, 1, size, file);
#endif
}

}  // namespace

OutputFile::~OutputFile() {
    // A writer that gave up: what it wrote stays.
    if (file_ != nullptr)
        std::fclose(file_);
}

bool OutputFile::open(const std::string& name, std::size_t buffer_size) {
    name_ = name;
    error_ = 0;
    errno = 0;
    file_ = open_file(name, "wb");
    if (file_ == nullptr) {
        fail(errno);
        return false;
    }
    if (buffer_size != kSystemBuffer) {
        buffer_.resize(buffer_size);
        std::setvbuf(file_, buffer_.data(), _IOFBF, buffer_.size());
    }
    return true;
}

bool OutputFile::write(const void* data, std::size_t size) {
    if (error_ != 0 || file_ == nullptr)
        return false;
    errno = 0;
    if (write_bytes(data, size, file_) != size) {
        fail(errno);
        return false;
    }
    return true;
}

bool OutputFile::close() {
    if (file_ == nullptr)
        return error_ == 0;
    errno = 0;
    if (std::fflush(file_) != 0)
        fail(errno);
    if (std::ferror(file_) != 0)
        fail(EIO);
    errno = 0;
    if (std::fclose(file_) != 0)
        fail(errno);
    file_ = nullptr;
    return error_ == 0;
}

WriterOutcome OutputFile::failure() const {
    WriterOutcome outcome;
    outcome.status = WriterOutcome::Status::file_error;
    outcome.file_name = name_;
    outcome.reason = std::strerror(error_ != 0 ? error_ : EIO);
    return outcome;
}

void OutputFile::fail(int error) {
    // The first failure is the one reported; a system call that failed without saying why is an
    // input/output error.
    if (error_ == 0)
        error_ = error != 0 ? error : EIO;
}
