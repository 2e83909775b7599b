// kelvartix: converts a binary VXP log into RINEX 3.05 files and, on request, a NovAtel IMR file.
#include "driver/run.h"

int main(int argc, char** argv) {
    return run_conversion(argc, argv);
}
