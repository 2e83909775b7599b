/* Preloaded into the program by the interruption tests: the first rename of a temporary file (a
 * name ending in ".tmp") is preceded by the signal numbered in KELVARTIX_TEST_SIGNAL, sent to the
 * process itself. The signal so arrives, every time, while a whole temporary file waits for its
 * final name. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>

static const char kTemporarySuffix[] = ".tmp";

int rename(const char* from, const char* to) {
    static int signalled = 0;
    const char* number = getenv("KELVARTIX_TEST_SIGNAL");
    const size_t length = strlen(from);
    const size_t suffix_length = sizeof kTemporarySuffix - 1;
    if (!signalled && number != NULL && length > suffix_length &&
        strcmp(from + length - suffix_length, kTemporarySuffix) == 0) {
        signalled = 1;
        raise(atoi(number));
    }
    int (*next_rename)(const char*, const char*) =
        (int (*)(const char*, const char*))dlsym(RTLD_NEXT, "rename");
    return next_rename(from, to);
}
