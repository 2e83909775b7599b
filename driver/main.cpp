// kelvartix: converts a binary VXP log into RINEX 3.05 files and, on request, a NovAtel IMR file.
#include "driver/run.h"
#include "platform/utf8_files.h"

int main(int argc, char** argv) {
    Utf8CommandLine command_line(argc, argv);
    return run_conversion(command_line.argc(), command_line.argv());
}
