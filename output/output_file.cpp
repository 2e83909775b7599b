#include "output/output_file.h"

#include <zlib.h>

#include <algorithm>
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

// gzip: zlib's window of 2^15 bytes, plus 16 for the gzip wrapper instead of zlib's own.
constexpr int kGzipWindowBits = 15 + 16;
constexpr int kMemoryLevel = 8;  // zlib's default
// The gzip header's "operating system" byte: unknown, so that every system writes the same bytes
// (zlib would put the system it was built for).
constexpr int kUnknownSystem = 255;
// Bytes gathered before they are deflated (a RINEX file is written a line at a time), and the
// deflated bytes written to the file at once.
constexpr std::size_t kDeflateInput = 256 * 1024;
constexpr std::size_t kDeflateOutput = 256 * 1024;

}  // namespace

// The gzip stream of a file being written: zlib's deflate state, the bytes waiting to be deflated
// and the room for the deflated ones.
class OutputFile::Deflater {
  public:
    Deflater() : input(kDeflateInput), output(kDeflateOutput) {
        header.os = kUnknownSystem;
        ready = deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, kGzipWindowBits, kMemoryLevel,
                             Z_DEFAULT_STRATEGY) == Z_OK &&
                deflateSetHeader(&stream, &header) == Z_OK;
    }
    ~Deflater() { deflateEnd(&stream); }
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;

    z_stream stream{};
    gz_header header{};
    bool ready = false;
    std::vector<unsigned char> input;
    std::size_t held = 0;  // bytes of `input` in use
    std::vector<unsigned char> output;
};

OutputFile::OutputFile() = default;

OutputFile::~OutputFile() {
    if (file_ != nullptr)
        std::fclose(file_);
    discard_temporary();
}

bool OutputFile::open(const std::string& name, std::size_t buffer_size, Compression compression) {
    name_ = name;
    error_ = 0;
    deflater_.reset();
    if (compression == Compression::gzip) {
        deflater_ = std::make_unique<Deflater>();
        if (!deflater_->ready) {
            fail(ENOMEM);  // zlib's only reason to refuse its defaults
            return false;
        }
    }
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
    if (deflater_ != nullptr && error_ == 0)
        finish_deflating();
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

bool OutputFile::write_deflated(const void* data, std::size_t size) {
    Deflater& d = *deflater_;
    const auto* bytes = static_cast<const unsigned char*>(data);
    while (size > 0) {
        const std::size_t taken = std::min(size, d.input.size() - d.held);
        std::memcpy(d.input.data() + d.held, bytes, taken);
        d.held += taken;
        bytes += taken;
        size -= taken;
        if (d.held == d.input.size() && !deflate_held(Z_NO_FLUSH))
            return false;
    }
    return true;
}

bool OutputFile::finish_deflating() {
    return deflate_held(Z_FINISH);
}

bool OutputFile::deflate_held(int flush) {
    Deflater& d = *deflater_;
    d.stream.next_in = d.input.data();
    d.stream.avail_in = static_cast<uInt>(d.held);
    int status = Z_OK;
    do {
        d.stream.next_out = d.output.data();
        d.stream.avail_out = static_cast<uInt>(d.output.size());
        status = deflate(&d.stream, flush);
        if (status == Z_STREAM_ERROR) {
            fail(EIO);
            return false;
        }
        const std::size_t produced = d.output.size() - d.stream.avail_out;
        if (produced > 0 && write_bytes(d.output.data(), produced) != produced) {
            fail(errno);
            return false;
        }
    } while (d.stream.avail_out == 0 || (flush == Z_FINISH && status != Z_STREAM_END));
    d.held = 0;
    return true;
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
