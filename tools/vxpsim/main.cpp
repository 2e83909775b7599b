// vxpsim: writes a simulated VXP log with its truth file (see usage_text for the options).
#include <cstdio>
#include <string>

#include "tools/vxpsim/scenario.h"
#include "tools/vxpsim/sim_options.h"
#include "tools/vxpsim/truth_file.h"

int main(int argc, char** argv) {
    SimOptions options;
    set_default_receivers(options);
    std::string error;
    bool help = false;
    if (!parse_options(argc - 1, argv + 1, options, error, help)) {
        if (help) {
            std::fputs(usage_text().c_str(), stdout);
            return 0;
        }
        std::fprintf(stderr, "vxpsim: %s\n", error.c_str());
        return 2;
    }
    RunTruth truth;
    if (!run_simulation(options, truth, error)) {
        std::fprintf(stderr, "vxpsim: %s\n", error.c_str());
        return 1;
    }
    if (!write_truth_file(options.truth, options, truth)) {
        std::fprintf(stderr, "vxpsim: cannot write %s\n", options.truth.c_str());
        return 1;
    }
    std::printf("vxpsim: %llu packets, %llu bytes in %s; truth in %s\n",
                static_cast<unsigned long long>(truth.packets), static_cast<unsigned long long>(truth.bytes),
                options.output.c_str(), options.truth.c_str());
    return 0;
}
