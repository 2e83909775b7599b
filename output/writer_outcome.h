// What an output writer reports back to the run: written, or which file failed and why.
#pragma once

#include <string>

struct WriterOutcome {
    enum class Status {
        written,        // file complete and closed
        skipped,        // nothing to write (unusable file name, no record); no file, no message
        content_error,  // the writer logged an error line and gave up; what it wrote stays
        file_error,     // the file could not be created, written or closed
    };
    Status status = Status::written;
    std::string file_name;
    std::string reason;  // strerror text for file_error

    explicit operator bool() const { return status == Status::written; }
};
