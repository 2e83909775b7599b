// The one-file FUSE file system: the kernel's request protocol answered directly on /dev/fuse,
// just far enough for stat, open, read and close of one read-only file.
#include "failing_file.h"

#include <fcntl.h>
#include <linux/fuse.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace robustness {
namespace {

constexpr uint64_t kFileNode = 2;
constexpr uint32_t kMaxWrite = 4096;
constexpr uint32_t kBlockSize = 4096;
constexpr std::size_t kRequestBufferSize = 256 * 1024;  // above the kernel's minimum of 8 KiB
constexpr mode_t kDirectoryMode = S_IFDIR | 0555;
constexpr mode_t kFileMode = S_IFREG | 0444;

std::string errno_text(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

class Server {
  public:
    Server(int device, const std::vector<uint8_t>& content, std::size_t fail_from)
        : device_(device), content_(content), fail_from_(fail_from) {}

    // Answers requests until the file system goes away.
    void run() {
        static uint8_t request[kRequestBufferSize];
        for (;;) {
            const ssize_t n = read(device_, request, sizeof request);
            if (n < 0) {
                if (errno == EINTR || errno == ENOENT || errno == EAGAIN)
                    continue;
                return;  // ENODEV: unmounted
            }
            if (static_cast<std::size_t>(n) < sizeof(fuse_in_header))
                continue;
            fuse_in_header header;
            std::memcpy(&header, request, sizeof header);
            if (!answer(header, request + sizeof header))
                return;
        }
    }

  private:
    void reply(uint64_t unique, int error, const void* body = nullptr, std::size_t size = 0) {
        fuse_out_header out{};
        out.len = static_cast<uint32_t>(sizeof out + size);
        out.error = -error;
        out.unique = unique;
        iovec parts[2] = {{&out, sizeof out}, {const_cast<void*>(body), size}};
        (void)writev(device_, parts, body != nullptr ? 2 : 1);
    }

    fuse_attr attributes(uint64_t node) const {
        fuse_attr attr{};
        attr.ino = node;
        attr.nlink = 1;
        attr.blksize = kBlockSize;
        if (node == kFileNode) {
            attr.mode = kFileMode;
            attr.size = content_.size();
            attr.blocks = (content_.size() + 511) / 512;
        } else {
            attr.mode = kDirectoryMode;
            attr.nlink = 2;
        }
        return attr;
    }

    // Returns false when the file system is being torn down.
    bool answer(const fuse_in_header& header, const uint8_t* body) {
        switch (header.opcode) {
            case FUSE_INIT: {
                fuse_init_in in;
                std::memcpy(&in, body, sizeof in);
                fuse_init_out out{};
                out.major = FUSE_KERNEL_VERSION;
                out.minor = FUSE_KERNEL_MINOR_VERSION;
                out.max_readahead = in.max_readahead;
                out.max_write = kMaxWrite;
                out.max_background = 1;
                out.congestion_threshold = 1;
                out.time_gran = 1;
                reply(header.unique, 0, &out, sizeof out);
                return true;
            }
            case FUSE_LOOKUP: {
                const char* name = reinterpret_cast<const char*>(body);
                if (header.nodeid != FUSE_ROOT_ID || std::strcmp(name, kFailingFileName) != 0) {
                    reply(header.unique, ENOENT);
                    return true;
                }
                fuse_entry_out out{};
                out.nodeid = kFileNode;
                out.attr = attributes(kFileNode);
                reply(header.unique, 0, &out, sizeof out);
                return true;
            }
            case FUSE_GETATTR: {
                fuse_attr_out out{};
                out.attr = attributes(header.nodeid);
                reply(header.unique, 0, &out, sizeof out);
                return true;
            }
            case FUSE_OPEN: {
                fuse_open_out out{};
                // Direct I/O: every read reaches this server, none is served from a cache.
                out.open_flags = FOPEN_DIRECT_IO;
                reply(header.unique, 0, &out, sizeof out);
                return true;
            }
            case FUSE_READ: {
                fuse_read_in in;
                std::memcpy(&in, body, sizeof in);
                if (in.offset >= fail_from_) {
                    reply(header.unique, EIO);
                    return true;
                }
                const std::size_t end =
                    std::min({content_.size(), fail_from_, static_cast<std::size_t>(in.offset) + in.size});
                const std::size_t begin = std::min(static_cast<std::size_t>(in.offset), end);
                reply(header.unique, 0, content_.data() + begin, end - begin);
                return true;
            }
            case FUSE_FLUSH:
            case FUSE_RELEASE:
                reply(header.unique, 0);
                return true;
            case FUSE_FORGET:
            case FUSE_BATCH_FORGET:
            case FUSE_INTERRUPT:
                return true;  // no answer expected
            case FUSE_DESTROY:
                reply(header.unique, 0);
                return false;
            default:
                reply(header.unique, ENOSYS);
                return true;
        }
    }

    int device_;
    const std::vector<uint8_t>& content_;
    std::size_t fail_from_;
};

}  // namespace

std::string serve_failing_file(const std::filesystem::path& mount_point, const std::vector<uint8_t>& content,
                               std::size_t fail_from) {
    if (unshare(CLONE_NEWNS) != 0)
        return errno_text("unshare");
    if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return errno_text("mount --make-rprivate /");
    const int device = open("/dev/fuse", O_RDWR | O_CLOEXEC);
    if (device < 0)
        return errno_text("open /dev/fuse");
    const std::string options = "fd=" + std::to_string(device) +
                                ",rootmode=40000,user_id=" + std::to_string(getuid()) +
                                ",group_id=" + std::to_string(getgid());
    if (mount("kelvartix-test", mount_point.c_str(), "fuse", MS_NOSUID | MS_NODEV | MS_RDONLY,
              options.c_str()) != 0) {
        const std::string failure = errno_text("mount fuse");
        close(device);
        return failure;
    }
    const pid_t program = getpid();
    const pid_t server = fork();
    if (server < 0)
        return errno_text("fork");
    if (server == 0) {
        // The server ends with the program it serves.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != program)
            _exit(0);
        Server(device, content, fail_from).run();
        _exit(0);
    }
    close(device);
    return "";
}

}  // namespace robustness
