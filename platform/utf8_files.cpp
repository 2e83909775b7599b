// UTF-8 paths and arguments: the wide-character calls on Windows, the bytes unchanged elsewhere.
#include "platform/utf8_files.h"

#include <cerrno>

#ifdef _WIN32
#include <windows.h>
// windows.h comes first: shellapi.h uses its types.
#include <shellapi.h>
#endif

namespace {

#ifdef _WIN32
std::wstring wide_from_utf8(const std::string& text) {
    if (text.empty())
        return std::wstring();
    const int length =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

std::string utf8_from_wide(const wchar_t* wide) {
    const int length = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 1)
        return std::string();
    std::string text(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, text.data(), length, nullptr, nullptr);
    text.pop_back();  // the terminating null
    return text;
}
#endif

}  // namespace

std::filesystem::path path_from_utf8(const std::string& utf8_path) {
#ifdef _WIN32
    return std::filesystem::path(wide_from_utf8(utf8_path));
#else
    return std::filesystem::path(utf8_path);
#endif
}

std::string path_in_folder(const std::string& folder, const std::string& name) {
    if (folder.empty())
        return name;
    if (kPathSeparators.find(folder.back()) != std::string_view::npos)
        return folder + name;
    return folder + '/' + name;
}

std::string last_path_component(const std::string& path) {
    const std::size_t separator = path.find_last_of(kPathSeparators);
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

std::FILE* open_file(const std::string& utf8_path, const char* mode) {
#ifdef _WIN32
    const std::wstring path = wide_from_utf8(utf8_path);
    std::FILE* file = _wfopen(path.c_str(), wide_from_utf8(mode).c_str());
    // Windows refuses to open a folder as a file with "access denied"; say what it is, as POSIX
    // systems do.
    if (file == nullptr && errno == EACCES) {
        const DWORD attributes = GetFileAttributesW(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
            errno = EISDIR;
    }
    return file;
#else
    return std::fopen(utf8_path.c_str(), mode);
#endif
}

Utf8CommandLine::Utf8CommandLine(int argc, char** argv) {
#ifdef _WIN32
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide != nullptr) {
        for (int i = 0; i < count; ++i)
            words_.push_back(utf8_from_wide(wide[i]));
        LocalFree(wide);
    }
    // Messages name the paths they were given: the console shows them as the UTF-8 they are.
    SetConsoleOutputCP(CP_UTF8);
#endif
    if (words_.empty()) {
        for (int i = 0; i < argc; ++i)
            words_.emplace_back(argv[i]);
    }
    for (std::string& word : words_)
        pointers_.push_back(word.data());
    pointers_.push_back(nullptr);
}
