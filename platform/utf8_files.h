// Paths as users type them, on every system: the program keeps every path as UTF-8 text, and
// these turn it into what the system's file calls take (on Windows the wide-character calls, so
// that names with characters outside the ANSI code page open; elsewhere the bytes unchanged).
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

// What ends a folder name in a path.
#ifdef _WIN32
inline constexpr std::string_view kPathSeparators = "/\\:";
#else
inline constexpr std::string_view kPathSeparators = "/";
#endif

// The path of the file `name` in `folder` ("out" and "a.rnx" give "out/a.rnx"; "out/" gives the
// same); the name alone when the folder is empty.
std::string path_in_folder(const std::string& folder, const std::string& name);

// What follows the last separator of a path: its file name.
std::string last_path_component(const std::string& path);

// The path that `utf8_path` names, for the std::filesystem calls and the file streams.
std::filesystem::path path_from_utf8(const std::string& utf8_path);

// std::fopen of a UTF-8 path (Windows: _wfopen); null, with errno set, when the file cannot be
// opened (EISDIR for a folder on every system).
std::FILE* open_file(const std::string& utf8_path, const char* mode);

// The process's arguments as UTF-8 text. On Windows they are read from the wide command line
// (main's argv holds them in the ANSI code page, which loses characters); elsewhere they are
// main's own. argv() stays valid as long as this object.
class Utf8CommandLine {
  public:
    Utf8CommandLine(int argc, char** argv);
    Utf8CommandLine(const Utf8CommandLine&) = delete;
    Utf8CommandLine& operator=(const Utf8CommandLine&) = delete;

    int argc() const { return static_cast<int>(words_.size()); }
    char** argv() { return pointers_.data(); }

  private:
    std::vector<std::string> words_;
    std::vector<char*> pointers_;  // words_ and a final null, as main's argv
};
