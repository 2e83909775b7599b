// Serial layer on a pseudo-terminal: line settings, exclusive use, transfers and the hex trace.
#include "vxp/device/serial.h"

#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <termios.h>

#include <cstdio>
#include <string>

#include "simulated_device.h"
#include "vxp/device/trace.h"

namespace {

std::string read_all(FILE* stream) {
    std::string text;
    rewind(stream);
    for (int c = fgetc(stream); c != EOF; c = fgetc(stream))
        text.push_back(static_cast<char>(c));
    return text;
}

class SerialOnPty : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(sim.ok()); }
    void TearDown() override {
        vxp_serial_close(port);
        vxp_trace_stream = nullptr;
        if (trace != nullptr)
            fclose(trace);
    }
    void open_port(uint32_t baud = 115200) {
        ASSERT_EQ(vxp_serial_open_path(&port, sim.path().c_str(), baud), 0);
    }
    void start_trace() {
        trace = tmpfile();
        ASSERT_NE(trace, nullptr);
        vxp_trace_stream = trace;
    }

    SimulatedDevice sim;
    vxp_serial_port* port = nullptr;
    FILE* trace = nullptr;
};

}  // namespace

TEST(SerialPortName, PortNIsTheTerminalDeviceWindowsCallsComN) {
    char name[32];
    ASSERT_EQ(vxp_serial_port_name(1, name, sizeof name), 0);
    EXPECT_STREQ(name, "/dev/ttyS0");
    ASSERT_EQ(vxp_serial_port_name(3, name, sizeof name), 0);
    EXPECT_STREQ(name, "/dev/ttyS2");
    EXPECT_EQ(vxp_serial_port_name(0, name, sizeof name), 1);  // there is no COM0
    char tiny[8];
    EXPECT_EQ(vxp_serial_port_name(12, tiny, sizeof tiny), 1);
}

TEST(SerialOpen, RefusesMissingDevicesAndUnknownRates) {
    vxp_serial_port* port = reinterpret_cast<vxp_serial_port*>(&port);  // must be reset to null
    EXPECT_EQ(vxp_serial_open_path(&port, "/nonexistent/tty", 115200), 1);
    EXPECT_EQ(port, nullptr);
    EXPECT_EQ(vxp_serial_open_path(&port, "/dev/null", 115200), 1);  // not a terminal
    EXPECT_EQ(vxp_serial_open_path(&port, nullptr, 115200), 1);
    EXPECT_EQ(vxp_serial_open_path(nullptr, "/dev/null", 115200), 1);
}

TEST_F(SerialOnPty, SetsRaw8N1AtTheRequestedHighRate) {
    vxp_serial_port* refused = nullptr;
    EXPECT_EQ(vxp_serial_open_path(&refused, sim.path().c_str(), 123456), 1);
    open_port(921600);
    termios settings{};
    ASSERT_EQ(tcgetattr(sim.terminal_fd(), &settings), 0);
    EXPECT_EQ(cfgetospeed(&settings), static_cast<speed_t>(B921600));
    EXPECT_EQ(cfgetispeed(&settings), static_cast<speed_t>(B921600));
    EXPECT_EQ(settings.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(settings.c_cflag & (PARENB | CSTOPB), 0u);
    EXPECT_EQ(settings.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(settings.c_iflag & (ICRNL | IXON | ISTRIP), 0u);
    EXPECT_EQ(settings.c_oflag & OPOST, 0u);
}

TEST_F(SerialOnPty, IsExclusiveUntilClosed) {
    open_port(460800);
    vxp_serial_port* second = nullptr;
    EXPECT_EQ(vxp_serial_open_path(&second, sim.path().c_str(), 460800), 1);
    EXPECT_EQ(second, nullptr);
    EXPECT_EQ(vxp_serial_close(port), 0);
    port = nullptr;
    EXPECT_EQ(vxp_serial_open_path(&second, sim.path().c_str(), 460800), 0);
    EXPECT_EQ(vxp_serial_close(second), 0);
}

TEST_F(SerialOnPty, WritesAndReadsRawBytesUnchanged) {
    open_port();
    // Bytes that a cooked terminal would translate or swallow.
    const Bytes out = {0x0D, 0x0A, 0x03, 0x11, 0x13, 0xFF, 0x00};
    uint32_t written = 99;
    ASSERT_EQ(vxp_serial_write(port, out.data(), static_cast<uint32_t>(out.size()), &written), 0);
    EXPECT_EQ(written, out.size());
    EXPECT_EQ(sim.receive_raw(out.size()), out);

    const Bytes in = {0x75, 0x65, 0x0D, 0x0A, 0x13};
    sim.send(in);
    EXPECT_EQ(vxp_serial_bytes_waiting(port), in.size());
    Bytes buffer(in.size());
    uint32_t read_count = 0;
    ASSERT_EQ(vxp_serial_read(port, buffer.data(), static_cast<uint32_t>(buffer.size()), &read_count), 0);
    EXPECT_EQ(read_count, in.size());
    EXPECT_EQ(buffer, in);
    EXPECT_EQ(vxp_serial_bytes_waiting(port), 0u);
}

TEST_F(SerialOnPty, ShortReadFailsButReportsWhatArrived) {
    open_port();
    sim.send({0xAA, 0xBB});
    start_trace();
    uint8_t buffer[4] = {};
    uint32_t read_count = 0;
    EXPECT_EQ(vxp_serial_read(port, buffer, sizeof buffer, &read_count), 1);
    EXPECT_EQ(read_count, 2u);
    EXPECT_EQ(buffer[0], 0xAA);
    EXPECT_EQ(buffer[1], 0xBB);
    EXPECT_EQ(read_all(trace), "");  // failures print no trace
}

TEST_F(SerialOnPty, TracesEachTransferInHex) {
    open_port();
    start_trace();
    const Bytes out = {0x75, 0x65, 0x0A, 0xFF};
    uint32_t count = 0;
    ASSERT_EQ(vxp_serial_write(port, out.data(), static_cast<uint32_t>(out.size()), &count), 0);
    sim.send({0x01, 0xAB, 0x10});
    uint8_t buffer[3];
    ASSERT_EQ(vxp_serial_read(port, buffer, sizeof buffer, &count), 0);
    EXPECT_EQ(read_all(trace), "Writing 4 bytes:\n75650AFF\nReading 3 bytes:\n01AB10\n");
}

TEST(SerialNullPort, EveryOperationFails) {
    uint8_t byte = 0;
    uint32_t count = 7;
    EXPECT_EQ(vxp_serial_write(nullptr, &byte, 1, &count), 1);
    EXPECT_EQ(count, 0u);
    count = 7;
    EXPECT_EQ(vxp_serial_read(nullptr, &byte, 1, &count), 1);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(vxp_serial_bytes_waiting(nullptr), 0u);
    EXPECT_EQ(vxp_serial_close(nullptr), 1);
}
