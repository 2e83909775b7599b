// The few POSIX calls the test suites use, on Windows, where the suites are cross-built and run
// under Wine: a fresh temporary directory (mkdtemp) and environment changes (setenv, unsetenv).
// Included before every test source of the Windows build.
#pragma once

#ifdef _WIN32
#include <direct.h>
#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

// Replaces the trailing "XXXXXX" of `pattern` with characters that make a name no entry has yet,
// and creates that directory; returns `pattern`, or null.
static inline char* mkdtemp(char* pattern) {
    static const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    const size_t length = strlen(pattern);
    if (length < 6 || strcmp(pattern + length - 6, "XXXXXX") != 0) {
        errno = EINVAL;
        return NULL;
    }
    unsigned long long seed = GetTickCount64() ^ ((unsigned long long)GetCurrentProcessId() << 20);
    for (int attempt = 0; attempt < 1000; ++attempt) {
        unsigned long long value = seed + (unsigned long long)attempt * 7919u;
        for (size_t i = length - 6; i < length; ++i) {
            pattern[i] = letters[value % (sizeof letters - 1)];
            value /= sizeof letters - 1;
        }
        if (_mkdir(pattern) == 0)
            return pattern;
        if (errno != EEXIST)
            return NULL;
    }
    return NULL;
}

static inline int setenv(const char* name, const char* value, int overwrite) {
    if (!overwrite && getenv(name) != NULL)
        return 0;
    return _putenv_s(name, value) == 0 ? 0 : -1;
}

static inline int unsetenv(const char* name) {
    return _putenv_s(name, "") == 0 ? 0 : -1;
}
#endif
