// Temporary files beside their final names: exclusive creation through the system's own calls
// (POSIX open, Windows _wopen with wide-character paths), then a C stream on top.
#include "platform/temporary_files.h"

#include <atomic>
#include <cerrno>
#include <string>
#include <system_error>

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
        // Built as a path, not as text: on Windows the name stays in wide characters.
        std::filesystem::path name = final_path.parent_path() / ".";
        name += final_path.filename();
        name += owner;
        name += std::to_string(next_number++);
        name += ".tmp";
        errno = 0;
        const int descriptor = create_new(name);
        if (descriptor < 0) {
            if (errno == EEXIST)
                continue;
            return nullptr;
        }
        std::FILE* file = stream_of(descriptor);
        if (file == nullptr) {
            const int error = errno;
            close_descriptor(descriptor);
            std::error_code ignored;
            std::filesystem::remove(name, ignored);
            errno = error;
            return nullptr;
        }
        temporary_path = name;
        return file;
    }
    errno = EEXIST;
    return nullptr;
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
