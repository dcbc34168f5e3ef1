// The lab's port list on Windows: only COM port names are taken from it, so a line of the file
// can never make the program open "\\.\" followed by some other device.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/serial.h"

namespace orvane::platform {
namespace {

class LabPortList : public ::testing::Test {
protected:
    void SetUp() override {
        char dir[512] = {};
        ASSERT_GT(GetTempPathA(sizeof dir, dir), 0u);
        file_ = std::string(dir) + "orvane-lab-ports-test.txt";
    }
    void TearDown() override {
        _putenv_s("ORVANE_LAB_SERIAL_PORTS", "");
        std::remove(file_.c_str());
    }
    std::vector<SerialPortEntry> listFrom(const std::string& text) {
        FILE* f = std::fopen(file_.c_str(), "wb");
        EXPECT_NE(f, nullptr);
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
        _putenv_s("ORVANE_LAB_SERIAL_PORTS", file_.c_str());
        std::vector<SerialPortEntry> out;
        EXPECT_TRUE(systemSerialPorts().listPorts(out));
        return out;
    }
    std::string file_;
};

TEST_F(LabPortList, TakesComPortNamesOnly) {
    const std::string id = "USB\\VID_0403&PID_6001&REV_0600";
    const auto ports = listFrom(id + "\tCOM5\n" +          // taken
                                id + "\tCOM12\r\n" +       // taken, written with CRLF
                                id + "\tpts/3\n" +         // a Linux name
                                id + "\tCOM5\\..\\PhysicalDrive0\n" + id + "\tCOM\n" + id + "\tCOM0\n" +
                                id + "\tCOM1234\n" + id + "\tCOMX\n" + id + "\tLPT1\n" + "no tab at all\n" +
                                id + "\tcom7\n");  // not as the system writes it
    ASSERT_EQ(ports.size(), 2u);
    EXPECT_EQ(ports[0].hardwareId, id);
    EXPECT_EQ(ports[0].portName, "COM5");
    EXPECT_EQ(ports[1].portName, "COM12");
}

TEST_F(LabPortList, AnEmptyListHasNoPortAndAMissingFileIsAnEmptyList) {
    EXPECT_TRUE(listFrom("").empty());
    std::remove(file_.c_str());
    std::vector<SerialPortEntry> out{SerialPortEntry{}};
    EXPECT_TRUE(systemSerialPorts().listPorts(out));
    EXPECT_TRUE(out.empty());
}

}  // namespace
}  // namespace orvane::platform
