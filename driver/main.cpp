// kelvartix: converts a binary VXP log into RINEX 3.05 files and, on request, a NovAtel IMR file.
#include "driver/run.h"
#include "platform/temporary_registry.h"
#include "platform/utf8_files.h"

int main(int argc, char** argv) {
    // Ctrl-C or a request to terminate leaves no temporary file behind; the run ends with -1.
    remove_temporaries_on_interruption();
    Utf8CommandLine command_line(argc, argv);
    return run_conversion(command_line.argc(), command_line.argv());
}
