#pragma once
// The termios side of the serial ports, apart from the listing so that it can be used on any
// character device (a pseudo-terminal in tests).
#include <memory>
#include <string>

#include "platform/serial.h"

namespace orvane::platform::linux_serial {

std::unique_ptr<SerialPort> openTermiosPort(const std::string& path, SerialOpenError& error);

}  // namespace orvane::platform::linux_serial
