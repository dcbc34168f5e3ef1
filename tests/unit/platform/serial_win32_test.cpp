// The Windows serial side: the port list, and a port under Wine that is a pseudo-terminal of
// the build machine whose other end echoes while the line is 9600 8N1 (with_pty_com_port.sh
// makes it and names it in ORVANE_TEST_COM_PORT).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/serial.h"

namespace orvane::platform {
namespace {

std::string testPort() {
    const char* port = std::getenv("ORVANE_TEST_COM_PORT");
    return port != nullptr ? port : "";
}

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

// Opened, set to 9600 8N1 (the peer answers "BADCONF!" on any other setting), written and read
// back; a read with nothing coming ends within its time-outs with nothing. (Wine does not keep
// a serial device to one opener, so the exclusive opening cannot be seen here.)
TEST(Win32Serial, APortIsOpenedExclusivelyConfiguredWrittenAndRead) {
    const std::string name = testPort();
    ASSERT_FALSE(name.empty()) << "run through with_pty_com_port.sh, which makes the port";
    SerialPorts& ports = systemSerialPorts();
    SerialOpenError error = SerialOpenError::None;
    std::unique_ptr<SerialPort> port = ports.open(ports.devicePath(name), error);
    ASSERT_NE(port, nullptr) << "error " << static_cast<int>(error);
    EXPECT_EQ(error, SerialOpenError::None);

    for (const char* probe : {"PXXXXXXX", "P1234567"}) {
        ASSERT_TRUE(port->write(probe, 8));
        char back[16] = {};
        std::size_t got = 0;
        // The echo may come in pieces; each read ends within its time-outs.
        for (int reads = 0; reads < 40 && got < 8; ++reads) {
            std::size_t n = 0;
            ASSERT_TRUE(port->read(back + got, 8 - got, n));
            got += n;
        }
        EXPECT_EQ(std::string(back, got), probe);
    }
    char nothing[8];
    std::size_t n = 99;
    EXPECT_TRUE(port->read(nothing, sizeof nothing, n));
    EXPECT_EQ(n, 0u);
}

}  // namespace
}  // namespace orvane::platform
