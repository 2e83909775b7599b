#include "output/output_file.h"

#include <cerrno>
#include <cstring>

#include "platform/utf8_files.h"

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

bool OutputFile::close() {
    if (file_ == nullptr)
        return error_ == 0;  // never opened (EBADF), or closed already
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
