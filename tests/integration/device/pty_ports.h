#pragma once
// The real termios port code behind a listing of one simulated FTDI adapter on a pty.
#include <string>
#include <vector>

#include "platform/linux/serial_termios.h"
#include "platform/serial.h"

namespace orvane::test {

class PtyPorts final : public platform::SerialPorts {
public:
    explicit PtyPorts(std::string portName) : portName_(std::move(portName)) {}
    bool listPorts(std::vector<platform::SerialPortEntry>& out) override {
        out = {{std::string("USB\\VID_0403&PID_6001&REV_0600"), portName_}};
        return true;
    }
    std::string devicePath(std::string_view name) override { return "/dev/" + std::string(name); }
    std::unique_ptr<platform::SerialPort> open(const std::string& path, platform::SerialOpenError& error) override {
        return platform::linux_serial::openTermiosPort(path, error);
    }

private:
    std::string portName_;
};

}  // namespace orvane::test
