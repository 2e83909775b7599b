// Compact RINEX 3.0 (Hatanaka): the observation file's lines, as they are written, turned into
// the compact form: header as it is under two CRINEX lines; per observation epoch the epoch line
// with its satellites as a text difference from the last one, the clock line, and per satellite
// the observations as differences of up to third order and the flags as text differences.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class CompactRinexEncoder {
  public:
    // `program` and `date` ("dd-Mon-yy hh:mm") fill the CRINEX PROG / DATE line.
    CompactRinexEncoder(std::string_view program, std::string_view date);

    // One line of the RINEX 3 observation file (without its line feed), in file order; what it
    // gives appends to `out`, whole lines each with its line feed. An epoch comes out once its
    // last data line is in.
    void line(std::string_view line, std::string& out);
    // The end of the file: an epoch still waiting for data lines goes out with those it has.
    void finish(std::string& out);

    // The highest order of the differences of an observation, and of the clock offset.
    static constexpr int kObservationOrder = 3;
    static constexpr int kClockOrder = 2;

    // The differences of one quantity along its arc: the first value, then differences of the
    // order the values so far allow, up to the arc's.
    class Arc {
      public:
        bool active() const { return level_ >= 0; }
        void end() { level_ = -1; }
        // The text of the next value: "<order>&<value>" for the first of an arc, else the difference.
        void add(int64_t value, int order, std::string& out);

      private:
        int level_ = -1;  // order of the last difference given; -1: no arc
        std::array<int64_t, kObservationOrder + 1> differences_{};
    };

  private:
    // What the encoder knows of a satellite: its arcs, one per observation type of its system, and
    // its flags as last written; `last_epoch`: the epoch it was last seen in.
    struct Satellite {
        std::vector<Arc> arcs;
        std::string flags;
        uint64_t last_epoch = 0;
    };

    void header_line(std::string_view line, std::string& out);
    void epoch_line(std::string_view line, std::string& out);
    void data_line(std::string_view line);
    void write_epoch(std::string& out);
    Satellite& satellite(std::string_view id);

    std::string program_;
    std::string date_;
    bool started_ = false;
    bool in_header_ = true;
    // Observation types per system letter ('A' to 'Z'), from SYS / # / OBS TYPES.
    std::array<std::size_t, 26> types_{};
    char types_system_ = ' ';  // the system whose types record continues on the next line

    // The epoch being gathered: columns 1-41 of its line, its clock offset's text, the satellites
    // and their encoded data lines.
    bool gathering_ = false;
    std::string epoch_;
    std::string clock_;
    std::size_t expected_lines_ = 0;
    std::size_t received_lines_ = 0;
    std::string data_;
    std::size_t special_records_ = 0;  // lines of an event still to copy

    std::string last_epoch_;     // the last epoch text written; empty: the next is written whole
    uint64_t epoch_number_ = 2;  // a satellite never seen has epoch 0, two before
    Arc clock_arc_;
    std::vector<Satellite> satellites_;  // by system letter and number, made on first sight
    std::string flags_;                  // reused buffers
    std::string field_;
};
