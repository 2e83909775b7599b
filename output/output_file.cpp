#include "output/output_file.h"

#include <cerrno>
#include <cstring>
#include <system_error>

#include "platform/temporary_files.h"
#include "platform/utf8_files.h"

namespace fs = std::filesystem;

namespace {

// Symbolic links followed before the name is written in place (where the system then reports
// the loop).
constexpr int kMaxLinkHops = 40;

// The file that writing to `path` reaches: the path itself, or where its symbolic links lead.
// The links stay; the file they lead to is the one replaced.
fs::path file_behind_links(fs::path path) {
    std::error_code error;
    for (int hop = 0; hop < kMaxLinkHops && fs::is_symlink(fs::symlink_status(path, error)); ++hop) {
        const fs::path link = fs::read_symlink(path, error);
        if (error)
            break;
        path = link.is_absolute() ? link : path.parent_path() / link;
    }
    return path;
}

}  // namespace

OutputFile::~OutputFile() {
    if (file_ != nullptr)
        std::fclose(file_);
    discard_temporary();
}

bool OutputFile::open(const std::string& name, std::size_t buffer_size) {
    name_ = name;
    error_ = 0;
    target_ = file_behind_links(path_from_utf8(name));
    std::error_code error;
    const fs::file_status existing = fs::symlink_status(target_, error);
    errno = 0;
    if (existing.type() == fs::file_type::not_found) {
        file_ = create_temporary_beside(target_, temporary_);
    } else if (existing.type() == fs::file_type::regular) {
        // Refused as an open for writing would refuse it (a read-only file), before anything is
        // written; otherwise the new file keeps the old one's permissions.
        if (const int refusal = write_access_error(target_); refusal != 0) {
            fail(refusal);
            return false;
        }
        file_ = create_temporary_beside(target_, temporary_);
        if (file_ != nullptr)
            fs::permissions(temporary_, existing.permissions(), error);
    } else {
        // A device or a pipe cannot be replaced; a folder, a link loop or an unreachable path
        // fails here with the system's reason.
        file_ = open_file(name, "wb");
    }
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
    if (!temporary_.empty() && error_ == 0) {
        // Replaces an existing file on every system (on Windows through MoveFileExW).
        std::error_code error;
        rename_temporary(temporary_, target_, error);
        if (error)
            fail(error.value());
        else
            temporary_.clear();
    }
    discard_temporary();
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

void OutputFile::discard_temporary() {
    if (temporary_.empty())
        return;
    remove_temporary(temporary_);
    temporary_.clear();
}

WriterOutcome close_with_progress(OutputFile& file, bool progress_begun, const WriterContext& context) {
    if (!file.close()) {
        if (progress_begun)
            context.messages.write("\n");
        return file.failure();
    }
    context.messages.line("done.");
    WriterOutcome outcome;
    outcome.file_name = file.name();
    return outcome;
}
