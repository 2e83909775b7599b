// The Win32 serial layer and a command exchange on a COM port that Wine maps to the simulated
// device's pseudo-terminal (serial_peer, started by .ci/windows.sh, which names the port in
// KELVARTIX_WINE_COM_PORT). Runs in the Windows build only.
#include <gtest/gtest.h>

#include <cstdlib>

#include "vxp/device/device.h"
#include "vxp/device/serial.h"

namespace {

constexpr uint8_t kCommandSet = 0x0D;
constexpr uint32_t kWaitMs = 5000;  // Wine's first transfers through the terminal can be slow

}  // namespace

TEST(SerialPortName, NumberedPortsAreTheComPorts) {
    char name[32];
    ASSERT_EQ(vxp_serial_port_name(3, name, sizeof name), 0);
    EXPECT_STREQ(name, "\\\\.\\COM3");
    char tiny[8];
    EXPECT_EQ(vxp_serial_port_name(12, tiny, sizeof tiny), 1);
    vxp_serial_port* port = reinterpret_cast<vxp_serial_port*>(&port);
    EXPECT_EQ(vxp_serial_open_path(&port, "\\\\.\\COM250", 115200), 1);  // no such port
    EXPECT_EQ(port, nullptr);
}

TEST(SerialOnWine, CommandExchangeWithTheSimulatedDevice) {
    const char* port_text = std::getenv("KELVARTIX_WINE_COM_PORT");
    if (port_text == nullptr)
        GTEST_SKIP() << "no COM port mapped to the simulated device (KELVARTIX_WINE_COM_PORT)";
    vxp_device device{};
    ASSERT_EQ(vxp_device_init(static_cast<uint32_t>(std::atoi(port_text)), 115200, &device, 1000), 0);
    EXPECT_EQ(vxp_device_send_command(&device, kCommandSet, 0x01, nullptr, 0, 1, kWaitMs), 0);

    const uint8_t read_selector[] = {2, 0};
    uint8_t* reply = nullptr;
    int16_t reply_length = 0;
    ASSERT_EQ(vxp_device_query_command(&device, kCommandSet, 0x10, read_selector, sizeof read_selector,
                                       &reply, &reply_length, kWaitMs),
              0);
    ASSERT_NE(reply, nullptr);
    EXPECT_EQ(reply_length, 3);
    EXPECT_EQ(reply[1], 0x80);  // the reply field's descriptor, then its value
    EXPECT_EQ(reply[2], 7);
    EXPECT_EQ(vxp_device_close(&device), 0);
}
