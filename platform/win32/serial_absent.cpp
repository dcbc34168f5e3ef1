// A serial family that finds no adapter: what the program links until the serial ports have
// their Windows side, as on a machine without one.
#include "platform/serial.h"

namespace orvane::platform {

namespace {

class NoSerialPorts final : public SerialPorts {
public:
    bool listPorts(std::vector<SerialPortEntry>& out) override {
        out.clear();
        return true;
    }
    std::string devicePath(std::string_view portName) override { return "\\\\.\\" + std::string(portName); }
    std::unique_ptr<SerialPort> open(const std::string&, SerialOpenError& error) override {
        error = SerialOpenError::CannotOpen;
        return nullptr;
    }
};

}  // namespace

SerialPorts& systemSerialPorts() {
    static NoSerialPorts ports;
    return ports;
}

}  // namespace orvane::platform
