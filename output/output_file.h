// The one way the writers put a file on disk: created, written and closed with every step
// checked. The first failure stops the writing and is kept with the file's name, so that the run
// can say which file failed and why. A file appears whole or not at all: it is written under a
// temporary name beside its own and takes its name only once it is complete and closed.
#pragma once

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "output/writer_context.h"
#include "output/writer_outcome.h"

// How the bytes given to a file are stored: as they are, or as one gzip member (RFC 1952).
enum class Compression { none, gzip };

class OutputFile {
  public:
    // The size of the C library's own buffer (BUFSIZ or the file system's block).
    static constexpr std::size_t kSystemBuffer = 0;

    OutputFile();
    // A file left open (its writer gave up) is discarded: its temporary file is removed.
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Starts the file `name` with a write buffer of `buffer_size` bytes: a new temporary file
    // beside it (or beside the file its symbolic links lead to), which close() renames over it;
    // until then a file of that name keeps its bytes. What is not a plain file (a device, a pipe)
    // is written in place. False when the file cannot be created, or when one of that name
    // exists that may not be written. With gzip, what is written is deflated on its way to the
    // file, which close() ends with the gzip trailer.
    bool open(const std::string& name, std::size_t buffer_size = kSystemBuffer,
              Compression compression = Compression::none);

    // False once any step on this file has failed; nothing more is written then. Inline: a
    // RINEX file is written a line at a time, millions of them.
    bool write(const void* data, std::size_t size) {
        if (error_ != 0)
            return false;
        if (deflater_ != nullptr)
            return write_deflated(data, size);
        if (write_bytes(data, size) == size)
            return true;
        fail(errno);  // a short write leaves the system's reason in errno
        return false;
    }
    bool write(std::string_view text) { return write(text.data(), text.size()); }

    // Writes out what is buffered, closes the file and gives it its name. False when anything on
    // this file failed, now or before (a full disk shows up here at the latest): the temporary
    // file is removed then, and a file that had the name keeps its bytes.
    bool close();

    const std::string& name() const { return name_; }
    bool failed() const { return error_ != 0; }
    // The outcome of a failed file: a file error naming it, with the system's reason.
    WriterOutcome failure() const;

  private:
    // A file is written by one thread only, so where the C library offers it the stream's lock
    // is not taken for every write.
    std::size_t write_bytes(const void* data, std::size_t size) {
#if defined(__GLIBC__)
        return fwrite_unlocked(data, 1, size, file_);
#else
        return std::fwrite(data, 1, size, file_);
#endif
    }
    void fail(int error);
    bool write_deflated(const void* data, std::size_t size);
    // Ends the gzip member: what is held is deflated and written, then the trailer.
    bool finish_deflating();
    // Deflates the bytes held, with zlib's flush mode, and writes what comes out.
    bool deflate_held(int flush);

    void discard_temporary();

    class Deflater;

    std::FILE* file_ = nullptr;
    std::string name_;                    // as given, for the messages
    std::filesystem::path target_;        // the file the name leads to, which the temporary replaces
    std::filesystem::path temporary_;     // empty when written in place or when done
    std::vector<char> buffer_;            // outlives the stream, which uses it until closed
    std::unique_ptr<Deflater> deflater_;  // with gzip only
    int error_ = EBADF;                   // errno of the first failure, 0 while every step succeeded
};

// The end of a file written under a progress line ("Writing ... file... "): closed, the line ended
// with "done." and the outcome named after the file. A file that cannot be closed gives its failure,
// and the progress line, if `progress_begun`, ends so that the run's error starts on a line of its own.
WriterOutcome close_with_progress(OutputFile& file, bool progress_begun, const WriterContext& context);
