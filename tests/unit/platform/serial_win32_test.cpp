#include <gtest/gtest.h>

#include "platform/serial.h"

namespace orvane::platform {
namespace {

TEST(Win32Serial, ListsWithoutFailingAndRefusesAPortThatIsNotThere) {
    SerialPorts& ports = systemSerialPorts();
    std::vector<SerialPortEntry> present;
    EXPECT_TRUE(ports.listPorts(present));
    // Whatever the machine has, a name read from the registry is never cut inside a character.
    for (const SerialPortEntry& e : present) {
        if (e.portName) {
            EXPECT_LT(e.portName->size(), 32u);
        }
    }

    EXPECT_EQ(ports.devicePath("COM5"), "\\\\.\\COM5");
    SerialOpenError error = SerialOpenError::None;
    EXPECT_EQ(ports.open(ports.devicePath("COM199"), error), nullptr);
    EXPECT_EQ(error, SerialOpenError::CannotOpen);
}
}  // namespace
}  // namespace orvane::platform
