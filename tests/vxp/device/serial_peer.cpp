// The simulated device as a process of its own, for the Windows build's serial test under Wine
// (.ci/windows.sh maps a COM port to its pseudo-terminal): prints the terminal's path, then
// acknowledges every command that arrives, the settings read 0x10 with the value 7, until
// `commands` commands were answered or `seconds` have passed.
//   serial_peer [commands] [seconds]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "simulated_device.h"

namespace {

constexpr uint8_t kReadSetting = 0x10;
constexpr uint8_t kReadSettingReply = 0x80;
constexpr uint8_t kSettingValue = 7;

}  // namespace

int main(int argc, char** argv) {
    const std::size_t commands = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 2;
    const long seconds = argc > 2 ? std::strtol(argv[2], nullptr, 10) : 600;
    SimulatedDevice device;
    if (!device.ok())
        return 1;
    device.set_responder([](const Bytes& command) {
        const uint8_t echo = command_of(command);
        if (echo == kReadSetting)
            return std::vector<Bytes>{ack_packet(echo, 0, kReadSettingReply, {kSettingValue})};
        return std::vector<Bytes>{ack_packet(echo, 0)};
    });
    std::printf("%s\n", device.path().c_str());
    std::fflush(stdout);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (device.commands().size() < commands && std::chrono::steady_clock::now() < end) {
        device.service();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return device.commands().size() >= commands ? 0 : 1;
}
