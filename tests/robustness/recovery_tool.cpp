// Prints the recovery figure over many damaged logs: robustness_recovery [logs] [first seed].
// Exits 1 when any untouched packet was lost for a reason other than a chance checksum match.
#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "recovery.h"

namespace {

constexpr std::size_t kDefaultLogs = 100000;
constexpr uint32_t kDefaultFirstSeed = 1000001;
constexpr std::size_t kPacketsPerLog = 40;

}  // namespace

int main(int argc, char** argv) {
    const std::size_t logs = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : kDefaultLogs;
    const uint32_t first_seed =
        argc > 2 ? static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10)) : kDefaultFirstSeed;
    std::string pattern = (std::filesystem::temp_directory_path() / "kelvartix-recovery-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        std::perror("mkdtemp");
        return 2;
    }
    const robustness::RecoveryTally tally =
        robustness::run_recovery_trials(first_seed, logs, kPacketsPerLog, pattern);
    std::filesystem::remove_all(pattern);

    std::printf("damaged logs:                 %zu (seeds %u to %zu, %zu packets each)\n", tally.logs,
                first_seed, first_seed + logs - 1, kPacketsPerLog);
    std::printf("packets untouched by damage:  %zu of %zu\n", tally.untouched, tally.packets);
    std::printf("untouched packets delivered:  %zu (%.6f%%)\n", tally.untouched_delivered,
                100.0 * tally.recovery_rate());
    std::printf("chance frames delivered:      %zu (%zu across damaged bytes)\n", tally.chance_frames,
                tally.chance_frames_across_damage);
    std::printf("losses explained by them:     %zu\n", tally.lost_explained);
    std::printf("unexplained losses:           %zu\n", tally.lost_unexplained);
    std::printf("deliveries not in the stream: %zu\n", tally.not_in_stream);
    for (const std::string& failure : tally.failures)
        std::printf("  %s\n", failure.c_str());
    return tally.lost_unexplained == 0 && tally.not_in_stream == 0 && tally.failures.empty() ? 0 : 1;
}
