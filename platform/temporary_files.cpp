// Temporary files beside their final names: exclusive creation through the system's own calls
// (POSIX open, Windows _wopen with wide-character paths), then a C stream on top.
#include "platform/temporary_files.h"

#include <atomic>
#include <cerrno>
#include <string>
#include <system_error>

#include "platform/temporary_registry.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

// Names tried, each taken by some other file, before giving up.
constexpr int kNameAttempts = 100;
// The longest file name a folder holds (NAME_MAX; on Windows in UTF-16 units): a temporary name
// must fit wherever its final name fits.
constexpr std::size_t kLongestFileName = 255;

// Where to cut a name at or before `at` without splitting a character: UTF-8 bytes on POSIX
// systems, UTF-16 units on Windows.
#ifdef _WIN32
std::size_t character_start(const std::wstring& name, std::size_t at) {
    return at > 0 && name[at] >= 0xDC00 && name[at] <= 0xDFFF ? at - 1 : at;
}
#else
std::size_t character_start(const std::string& name, std::size_t at) {
    while (at > 0 && (static_cast<unsigned char>(name[at]) & 0xC0) == 0x80)
        --at;
    return at;
}
#endif

// "." + the final file name + `suffix`, the final name shortened as far as needed to keep the whole
// within kLongestFileName; `suffix` (process id and number) keeps it apart from other names.
std::filesystem::path temporary_name(const std::filesystem::path& final_path, const std::string& suffix) {
    std::filesystem::path::string_type name = final_path.filename().native();
    const std::size_t room = kLongestFileName - 1 - suffix.size();
    if (name.size() > room)
        name.resize(character_start(name, room));
    // Built as a path, not as text: on Windows the name stays in wide characters.
    std::filesystem::path path = final_path.parent_path() / ".";
    path += name;
    path += suffix;
    return path;
}

// Numbers the temporary files of this process, so that none of its own two files meet.
std::atomic<unsigned> next_number{0};

unsigned long process_id() {
#ifdef _WIN32
    return static_cast<unsigned long>(_getpid());
#else
    return static_cast<unsigned long>(getpid());
#endif
}

// A descriptor of the new file `path`, or -1 with errno set (EEXIST when the name is taken).
int create_new(const std::filesystem::path& path) {
#ifdef _WIN32
    return _wopen(path.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY | _O_NOINHERIT,
                  _S_IREAD | _S_IWRITE);
#else
    // 0666 less the umask: the mode std::fopen gives a file it creates.
    return open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
#endif
}

std::FILE* stream_of(int descriptor) {
#ifdef _WIN32
    return _fdopen(descriptor, "wb");
#else
    return fdopen(descriptor, "wb");
#endif
}

void close_descriptor(int descriptor) {
#ifdef _WIN32
    _close(descriptor);
#else
    close(descriptor);
#endif
}

}  // namespace

std::FILE* create_temporary_beside(const std::filesystem::path& final_path,
                                   std::filesystem::path& temporary_path) {
    std::string owner = ".";
    owner += std::to_string(process_id());
    owner += '-';
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        std::string suffix = owner;
        suffix += std::to_string(next_number++);
        suffix += ".tmp";
        const std::filesystem::path name = temporary_name(final_path, suffix);
        if (!register_temporary(name))
            return nullptr;
        errno = 0;
        const int descriptor = create_new(name);
        if (descriptor < 0) {
            const int error = errno;
            release_temporary(name);
            errno = error;
            if (errno == EEXIST)
                continue;
            return nullptr;
        }
        register_temporary_descriptor(name, descriptor);
        std::FILE* file = stream_of(descriptor);
        if (file == nullptr) {
            const int error = errno;
            close_descriptor(descriptor);
            remove_temporary(name);
            errno = error;
            return nullptr;
        }
        temporary_path = name;
        return file;
    }
    errno = EEXIST;
    return nullptr;
}

void rename_temporary(const std::filesystem::path& temporary_path, const std::filesystem::path& final_path,
                      std::error_code& error) {
    std::filesystem::rename(temporary_path, final_path, error);
    if (!error)
        release_temporary(temporary_path);
}

void remove_temporary(const std::filesystem::path& temporary_path) {
    std::error_code ignored;
    std::filesystem::remove(temporary_path, ignored);
    release_temporary(temporary_path);
}

int write_access_error(const std::filesystem::path& path) {
    errno = 0;
#ifdef _WIN32
    const int descriptor = _wopen(path.c_str(), _O_WRONLY | _O_BINARY | _O_NOINHERIT);
#else
    const int descriptor = open(path.c_str(), O_WRONLY | O_CLOEXEC);
#endif
    if (descriptor < 0)
        return errno != 0 ? errno : EIO;
    close_descriptor(descriptor);
    return 0;
}
