// The suites' entry point on Windows: as GoogleTest's own, but with standard output in binary
// mode. The suites compare what the code under test prints byte for byte, "\n" as written, not
// as the C runtime's text mode would turn it into "\r\n" on its way out.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <io.h>

#include <cstdio>

int main(int argc, char** argv) {
    _setmode(_fileno(stdout), _O_BINARY);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
