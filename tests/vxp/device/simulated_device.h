// A device played by the test on the far side of a pseudo-terminal pair. The library opens the
// terminal side by path; the test reads commands from the controlling side and answers them from
// a fake millisecond clock, so a whole command exchange runs on one thread without sleeping.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

// Descriptor of the acknowledgement field in the packets this device sends.
inline constexpr uint8_t kAckFieldDescriptor = 0xF1;

// A complete packet built with the library's builder: one field per (descriptor, data) pair.
Bytes build_packet(uint8_t descriptor_set, const std::vector<std::pair<uint8_t, Bytes>>& fields);
// An acknowledgement of set 0x0D: echo and error code, then an optional reply field.
Bytes ack_packet(uint8_t echo, uint8_t error_code);
Bytes ack_packet(uint8_t echo, uint8_t error_code, uint8_t reply_descriptor, const Bytes& reply_data);
// Command descriptor of a command packet (its first field's descriptor).
uint8_t command_of(const Bytes& packet);

class SimulatedDevice {
  public:
    // Packets the device writes in answer to one command packet.
    using Responder = std::function<std::vector<Bytes>(const Bytes& command_packet)>;

    SimulatedDevice();
    ~SimulatedDevice();
    SimulatedDevice(const SimulatedDevice&) = delete;
    SimulatedDevice& operator=(const SimulatedDevice&) = delete;

    bool ok() const { return master_fd_ >= 0; }
    const std::string& path() const { return path_; }
    int terminal_fd() const { return slave_fd_; }

    // Makes this device's clock the library's tick source (undone by the destructor).
    void install_clock();
    uint32_t now() const { return now_; }

    void set_responder(Responder responder) { responder_ = std::move(responder); }
    // The clock stands still until this many more commands have arrived and been answered.
    void expect_commands(int count) { expected_ += count; }
    const std::vector<Bytes>& commands() const { return commands_; }

    // Writes bytes towards the library and returns once its side of the terminal can read them.
    void send(const Bytes& bytes);
    // Waits (within bounds) until `count` bytes arrived from the library and takes them.
    Bytes receive_raw(size_t count);
    // Reads what the library wrote, answers complete commands.
    void service();

  private:
    static uint32_t tick();
    uint32_t pending_for_library() const;
    void read_available();

    int master_fd_ = -1;
    int slave_fd_ = -1;
    std::string path_;
    uint32_t now_ = 0;
    int expected_ = 0;
    Bytes inbox_;
    std::vector<Bytes> commands_;
    Responder responder_;
};
