// The registry of this process's temporary files and the handlers that remove them when the run is
// interrupted. Writers on several threads register and release their files under a lock; a handler may run at
// any moment of the run, so it reads only fixed slots, each published by an atomic flag once its path is
// complete, and calls the system alone: on POSIX systems unlink and _exit, both async-signal-safe; on
// Windows, where the handler runs in a thread of its own, kernel calls after the run's thread is stopped.
#include "platform/temporary_registry.h"

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <mutex>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <signal.h>
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;

// The exit code of a failed run.
constexpr int kInterruptedExitCode = -1;
// Temporary files that exist at once: one per writer at work, with room to spare.
constexpr std::size_t kSlots = 8;
#ifdef _WIN32
// The longest path the wide-character calls take.
constexpr std::size_t kLongestPath = 32767;
#else
// PATH_MAX: no file is created under a longer path.
constexpr std::size_t kLongestPath = 4096;
#endif

struct Slot {
    std::atomic<bool> in_use{false};  // the path is complete: the handlers remove it
    fs::path::value_type path[kLongestPath + 1];
#ifdef _WIN32
    std::atomic<HANDLE> handle{nullptr};  // null until the file is open
#endif
};
static_assert(std::atomic<bool>::is_always_lock_free, "the handlers read the slots' flags");

Slot slots[kSlots];
// Held by registrations and releases, never by the handlers.
std::mutex registration;

Slot* slot_of(const fs::path& path) {
    for (Slot& slot : slots) {
        if (slot.in_use.load(std::memory_order_acquire) && path.native() == slot.path)
            return &slot;
    }
    return nullptr;
}

#ifdef _WIN32

HANDLE run_thread = nullptr;

BOOL WINAPI on_console_event(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT)
        return FALSE;
    // The run stops where it is, so that it creates no file while these are removed.
    SuspendThread(run_thread);
    for (Slot& slot : slots) {
        if (!slot.in_use.load(std::memory_order_acquire))
            continue;
        // A file open in the run cannot be removed: its handle is closed first.
        const HANDLE handle = slot.handle.load(std::memory_order_acquire);
        if (handle != nullptr && handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
        DeleteFileW(slot.path);
    }
    // At once, without the C runtime's exit steps, which could wait for a lock the run holds.
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(kInterruptedExitCode));
    return TRUE;
}

#else

void on_interruption(int) {
    for (Slot& slot : slots) {
        if (slot.in_use.load(std::memory_order_acquire))
            unlink(slot.path);
    }
    _exit(kInterruptedExitCode);
}

void remove_temporaries_on(int signal_number) {
    struct sigaction current {};
    if (sigaction(signal_number, nullptr, &current) != 0 || current.sa_handler == SIG_IGN)
        return;
    struct sigaction action {};
    action.sa_handler = on_interruption;
    // A second signal does not interrupt the removal.
    sigfillset(&action.sa_mask);
    sigaction(signal_number, &action, nullptr);
}

#endif

}  // namespace

void remove_temporaries_on_interruption() {
#ifdef _WIN32
    DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &run_thread, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
    SetConsoleCtrlHandler(on_console_event, TRUE);
#else
    for (int signal_number : {SIGINT, SIGTERM, SIGHUP})
        remove_temporaries_on(signal_number);
#endif
}

bool register_temporary(const fs::path& path) {
    const fs::path::string_type& text = path.native();
    if (text.size() > kLongestPath) {
        errno = ENAMETOOLONG;
        return false;
    }
    const std::lock_guard<std::mutex> lock(registration);
    for (Slot& slot : slots) {
        if (slot.in_use.load(std::memory_order_relaxed))
            continue;
        text.copy(slot.path, text.size());
        slot.path[text.size()] = 0;
#ifdef _WIN32
        slot.handle.store(nullptr, std::memory_order_relaxed);
#endif
        // Published only once whole: a handler never reads a path being written.
        slot.in_use.store(true, std::memory_order_release);
        return true;
    }
    errno = EMFILE;
    return false;
}

void register_temporary_descriptor([[maybe_unused]] const fs::path& path, [[maybe_unused]] int descriptor) {
#ifdef _WIN32
    const std::lock_guard<std::mutex> lock(registration);
    if (Slot* slot = slot_of(path))
        slot->handle.store(reinterpret_cast<HANDLE>(_get_osfhandle(descriptor)), std::memory_order_release);
#endif
}

void release_temporary(const fs::path& path) {
    const std::lock_guard<std::mutex> lock(registration);
    if (Slot* slot = slot_of(path))
        slot->in_use.store(false, std::memory_order_release);
}
