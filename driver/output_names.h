// Names of the files the run writes beside its input (the .log and the .imr file): the input
// path with its extension replaced; or, given an output folder, the input's file name so changed
// in that folder.
#pragma once

#include <string>
#include <string_view>

// Everything before the last "." of the path's file name followed by `extension`; the whole path
// followed by `extension` when the file name holds no "." after its first character (a "." in a
// directory name does not count: "data.v2/run" gives "data.v2/run.log"; nor does the leading "."
// of a hidden file: ".hidden" gives ".hidden.log", ".hidden.bin" gives ".hidden.log").
std::string replace_last_extension(const std::string& path, std::string_view extension);

// As replace_last_extension, but never the input file itself: when that name refers to the
// input (an input called "day.log" would be truncated by its own log file), `extension` is
// appended to the whole input path instead ("day.log.log").
std::string output_name_beside_input(const std::string& input_path, std::string_view extension);

// The name of the log or IMR file: output_name_beside_input without an output folder; with one,
// the input's file name (its last path component) with its extension replaced, in that folder,
// and never the input file itself either.
std::string output_name(const std::string& input_path, const std::string& output_folder,
                        std::string_view extension);
