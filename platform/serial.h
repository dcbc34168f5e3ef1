#pragma once
// Serial ports as the device link uses them: the present ports with their hardware identifier
// and port name, and one port opened exclusively at 9600 baud, 8 data bits, no parity, one stop
// bit, with read time-outs of 50 ms between bytes and 10 ms per requested byte plus 50 ms in all.
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvane::platform {

struct SerialPortEntry {
    // First string of the device's hardware identifier list, e.g. "USB\VID_0403&PID_6001&REV_0600";
    // nothing when it cannot be read.
    std::optional<std::string> hardwareId;
    // The port's name, e.g. "ttyUSB0" or "COM5"; nothing when the device has none.
    std::optional<std::string> portName;
};

class SerialPort {
public:
    virtual ~SerialPort() = default;  // closes the port
    // Writes all `length` bytes; false on failure (typically the adapter was unplugged).
    virtual bool write(const void* data, std::size_t length) = 0;
    // Reads up to `capacity` bytes within the time-outs; false on failure. `received` may be 0.
    virtual bool read(void* buffer, std::size_t capacity, std::size_t& received) = 0;
};

enum class SerialOpenError { None, CannotOpen, CannotConfigure };

class SerialPorts {
public:
    virtual ~SerialPorts() = default;
    // The present serial devices in the platform's enumeration order; false when the list is
    // unavailable.
    virtual bool listPorts(std::vector<SerialPortEntry>& out) = 0;
    // The path a port name is opened by ("/dev/ttyUSB0", "\\.\COM5").
    virtual std::string devicePath(std::string_view portName) = 0;
    // Opens the port exclusively and configures it; null with the reason on failure.
    virtual std::unique_ptr<SerialPort> open(const std::string& devicePath, SerialOpenError& error) = 0;
};

// The operating system's serial ports.
SerialPorts& systemSerialPorts();

}  // namespace orvane::platform
