// The log as a stream of blocks, read twice (once for the facts the headers need, once for the
// records), in memory that does not depend on its size. A regular file is read again from its
// start; any other input (a pipe fed by a decompressor, a device) is copied to a spool file in the
// output folder while it is read the first time, and the second reading takes the copy.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

class LogSource {
  public:
    // Called with every block read, in order; a pass reports its progress through it too. The block
    // is the taker's to modify until the call returns (it is copied to the spool file before).
    using Take = std::function<void(uint8_t* bytes, std::size_t count)>;

    LogSource() = default;
    LogSource(const LogSource&) = delete;
    LogSource& operator=(const LogSource&) = delete;
    // Closes the input and removes the spool file, whatever happened.
    ~LogSource();

    // Opens the log; `spool_folder` is where an input that cannot be read twice is copied (empty:
    // the current folder). False when it cannot be opened (error() says why).
    bool open(const std::string& path, const std::string& spool_folder);
    // Bytes of the log when known before it is read (a regular file), else 0.
    uint64_t known_size() const { return known_size_; }
    // One reading of the whole log. False when a read (or the spool's write) fails; error() says why.
    // Every reading after the first hands on the bytes the first one read, no more: a log still
    // growing (a recording in progress) is converted as it was, and one that shrank is an error.
    bool read_pass(const Take& take);
    const std::string& error() const { return error_; }

  private:
    bool read_all(std::FILE* file, const Take& take, std::FILE* copy, uint64_t limit);

    std::string path_;
    std::string spool_folder_;
    std::FILE* input_ = nullptr;
    bool seekable_ = false;
    uint64_t known_size_ = 0;
    int passes_ = 0;
    uint64_t first_pass_bytes_ = 0;
    std::filesystem::path spool_path_;
    std::vector<uint8_t> block_;
    std::string error_;
};
